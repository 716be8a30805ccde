#ifndef KESTREL_APP_APP_APPCORE_H
#define KESTREL_APP_APP_APPCORE_H

// The part of the application flow that needs no platform call: the frame-rate counter and the
// content packages. Scene packages (.ksx) hold one relocatable scene definition; image packages
// (.ksf) a directory of bitmap and Targa files. Headers, the image directory and the first word
// of every image are XOR-scrambled. Every reader checks what it is told against what it read: a
// damaged package gives null (or registers nothing), never a read outside the file.
// File names are split by splitFileName of the draw library (Library/Draw/DrawCore.h).

#include <cstddef>
#include <cstdint>

#include "App/Scene/SceneCore.h"
#include "Library/Draw/DrawCore.h"

// ---------------------------------------------------------------- frame rate

// Millisecond clock of the frame-rate counter (sSysMilliTime in the program; tests replace it).
extern uint32_t (*appMilliClockP)(void);

void clearFps(void);
// Counts one frame; refreshes the rate at most once a second and holds it in between.
void calcFps(float *aFps, float *aFpsAve, float *aFpsPeak);

// ---------------------------------------------------------------- packages

// Platform objects the image side hands through; declared by the DirectDraw headers on Windows.
struct IDirectDrawSurface7;
struct _DDPIXELFORMAT;

struct _ksxHead {
    int32_t size;      // bytes of package data after the header
    int32_t cnt;       // not read
    int16_t revs;      // not read
    int16_t compress;  // not read
    int32_t reserve;
};

struct _ksfHead {
    int32_t size;  // not read
    int32_t cnt;   // directory entries
    int16_t revs;
    int16_t compress;
    int32_t reserve;
};

enum { KSF_NAME_SIZE = 32, KSF_ENTRY_MAX = 512 };

struct _ksfInfo {
    char name[KSF_NAME_SIZE];  // lower case, no folders, NUL-terminated
    int32_t size;              // bytes of the entry
    int32_t pos;               // offset of the entry from the start of the package file
    int32_t reserve;
};

static_assert(sizeof(_ksxHead) == 16, "_ksxHead");
static_assert(offsetof(_ksxHead, cnt) == 4, "_ksxHead.cnt");
static_assert(offsetof(_ksxHead, revs) == 8, "_ksxHead.revs");
static_assert(offsetof(_ksxHead, compress) == 10, "_ksxHead.compress");
static_assert(offsetof(_ksxHead, reserve) == 12, "_ksxHead.reserve");
static_assert(sizeof(_ksfHead) == 16, "_ksfHead");
static_assert(offsetof(_ksfHead, cnt) == 4, "_ksfHead.cnt");
static_assert(offsetof(_ksfHead, reserve) == 12, "_ksfHead.reserve");
static_assert(sizeof(_ksfInfo) == 44, "_ksfInfo");
static_assert(offsetof(_ksfInfo, size) == 32, "_ksfInfo.size");
static_assert(offsetof(_ksfInfo, pos) == 36, "_ksfInfo.pos");
static_assert(offsetof(_ksfInfo, reserve) == 40, "_ksfInfo.reserve");

// Scrambling keys.
const uint32_t KSX_HEAD_KEY = 0x3A5C9E17;
const uint32_t KSF_HEAD_KEY = 0x6D21B4C8;
const uint32_t KSF_INFO_KEY = 0x91E7035B;
const uint32_t KSF_ENTRY_KEY = 0x2F48D6A3;

// Image registry types of registered images.
enum { KSF_TYPE_BITMAP = 1, KSF_TYPE_TARGA = 2 };

// XORs every whole little-endian word of the buffer with aMagicNum; the last aSize mod 4 bytes
// stay. The same call scrambles and unscrambles.
void _encodeBuf(void *aBufP, long aSize, uint32_t aMagicNum);

// The package data of a scene package in a new buffer (not relocated); null when the file cannot
// be opened, is shorter than its header says, or memory runs out.
uint8_t *loadKsx(const char *aNameP);

// A scene package loaded and relocated: the _sceneDef at the start of a buffer that the caller
// frees with free() once no Scene uses it. Null for a missing or damaged package.
uint8_t *entryKsx(const char *aNameP);
// The same for a whole package file held in memory.
uint8_t *entryKsxMem(const void *aFileP, long aFileSize);

// Turns the offsets of the aSize bytes of package data into addresses, in place. Every offset and
// count is checked first and every record may be fixed up once only; on failure (-1) the data is
// left untouched. 0 on success.
long relocKsx(uint8_t *aDataP, long aSize);

// What image packages need from the draw manager and the image loaders. The program sets it at
// start (entryKsfDrawHook); without it entryKsf registers nothing and bitmaps and surfaces are not
// loaded (Targa pixel memory still is).
struct _ksfDrawHook {
    uint32_t (*timeP)();                           // milliseconds
    void (*flipP)();                               // present the back buffer
    uint32_t (*makeKeyP)(const char *aFileNameP);  // registry key of a name
    // Hands an image to registry slot aSlot, which then owns it.
    long (*entryImageP)(long aSlot, const char *aFileNameP, void *aImageP, uint32_t aWidth, uint32_t aHeight,
                        uint32_t aDepth, uint16_t aType, uint32_t aKey);
    // A bitmap file held in memory as a bitmap handle, with its size and bits per pixel.
    void *(*loadBitMapP)(const uint8_t *aDataP, long aSize, uint32_t *aWidthP, uint32_t *aHeightP,
                         uint32_t *aDepthP);
    // A bitmap file held in memory as a surface.
    IDirectDrawSurface7 *(*loadBitMapSurfaceP)(const uint8_t *aDataP, long aSize, _DDPIXELFORMAT *aPixelP,
                                               uint16_t aDrawFlg);
    // Pixel memory as a surface; the pixels stay the caller's.
    IDirectDrawSurface7 *(*loadTargaImageP)(uint32_t *aImageP, uint32_t aWidth, uint32_t aHeight, uint32_t aDepth,
                                            _DDPIXELFORMAT *aPixelP, uint16_t aDrawFlg);
};
void setKsfDrawHook(const _ksfDrawHook *aHookP);

// One image of an image package as a new surface; null when the package cannot be opened, the
// image is not in it or it cannot be loaded.
IDirectDrawSurface7 *loadKsf(const char *aKsfNameP, const char *aImageNameP, _DDPIXELFORMAT *aPixelP,
                             uint16_t aDrawFlg);

// One image of an image package decoded into memory, with its width, height and depth: a bitmap
// handle for a bitmap entry, pixel memory (free()) for a Targa entry; null as for loadKsf.
void *loadKsfFile(const char *aKsfNameP, const char *aImageNameP, uint32_t *aWidthP, uint32_t *aHeightP,
                  uint32_t *aDepthP);
void *loadKsfFileMem(const void *aPackP, long aPackSize, const char *aImageNameP, uint32_t *aWidthP,
                     uint32_t *aHeightP, uint32_t *aDepthP);

// Registers every image of the package in the image registry, slot i receiving entry i. A package
// whose directory does not describe its entries back to back, or with more entries than the
// registry has slots, registers nothing. Always -1.
long entryKsf(const char *aNameP);
long entryKsfMem(const void *aPackP, long aPackSize);

// ---------------------------------------------------------------- temporary files

// Writes the buffer to a new file "Gen????.tmp" in the temporary folder and returns its path in
// aNameP (room for 260 characters): 0, or -1 when no file could be written.
long _saveFile(const void *aBufP, long aSize, char *aNameP);

#endif
