#ifndef KESTREL_LIBRARY_DRAW_DRAWCORE_H
#define KESTREL_LIBRARY_DRAW_DRAWCORE_H

// The image side of the draw library that needs no surface: KSM packed images and Targa files
// decoded into pixel memory (one 32-bit 0xRRGGBBAA value per pixel, rows top to bottom, freed by
// the caller), and the pixel arithmetic of the draw manager and the image loaders: channel packing
// by a pixel format's masks, texture sizing, normal maps from heights, texture compositing, the
// spotlight's light map, YUV conversion, and image-registry names.

#include <cstddef>
#include <cstdint>

// ---------------------------------------------------------------- image files

struct _ksmHead {
    int32_t headSize;   // the palette starts this many bytes after the header's start
    int32_t colorSize;  // palette bytes; 0 for none
    int32_t pixelSize;  // pixel bytes
    int16_t width;
    int16_t height;
    int16_t depth;      // 8 or 24
    int16_t colors;     // palette entries
    char reserve[12];
    char name[32];
};
static_assert(sizeof(_ksmHead) == 64, "_ksmHead");
static_assert(offsetof(_ksmHead, colorSize) == 4, "_ksmHead.colorSize");
static_assert(offsetof(_ksmHead, pixelSize) == 8, "_ksmHead.pixelSize");
static_assert(offsetof(_ksmHead, width) == 12, "_ksmHead.width");
static_assert(offsetof(_ksmHead, height) == 14, "_ksmHead.height");
static_assert(offsetof(_ksmHead, depth) == 16, "_ksmHead.depth");
static_assert(offsetof(_ksmHead, colors) == 18, "_ksmHead.colors");
static_assert(offsetof(_ksmHead, reserve) == 20, "_ksmHead.reserve");
static_assert(offsetof(_ksmHead, name) == 32, "_ksmHead.name");

struct _ksmRGB {
    uint8_t r, g, b, a;  // a is not used
};
static_assert(sizeof(_ksmRGB) == 4, "_ksmRGB");

struct _targaHeader {
    uint8_t IDLength;
    uint8_t ColormapType;
    uint8_t ImageType;
    uint8_t colormapSpec[5];
    uint16_t XOrigin;
    uint16_t YOrigin;
    uint16_t ImageWidth;
    uint16_t ImageHeight;
    uint8_t PixelDepth;
    uint8_t ImageDescriptor;  // bit 0x20: rows stored top to bottom
};
static_assert(sizeof(_targaHeader) == 18, "_targaHeader");
static_assert(offsetof(_targaHeader, XOrigin) == 8, "_targaHeader.XOrigin");
static_assert(offsetof(_targaHeader, ImageWidth) == 12, "_targaHeader.ImageWidth");
static_assert(offsetof(_targaHeader, ImageHeight) == 14, "_targaHeader.ImageHeight");
static_assert(offsetof(_targaHeader, PixelDepth) == 16, "_targaHeader.PixelDepth");
static_assert(offsetof(_targaHeader, ImageDescriptor) == 17, "_targaHeader.ImageDescriptor");

enum {
    TARGA_TRUECOLOR = 2,
    TARGA_TRUECOLOR_RLE = 10,
    TARGA_TOP_DOWN = 0x20
};

// A KSM image (stored, run-length or slide coded) of depth 8 or 24: pixel memory with its width,
// height and depth, or null for a file that is missing, not "@KSM", truncated or corrupt.
uint32_t *sDrawLoadKsmFile(const char *aKsmNameP, uint32_t *aWidthP, uint32_t *aHeightP, uint32_t *aDepthP);
uint32_t *sDrawDecodeKsm(const void *aDataP, long aSize, uint32_t *aWidthP, uint32_t *aHeightP, uint32_t *aDepthP);

// A Targa file of type 2 or 10 with 24 or 32 bits: pixel memory with its width, height and pixel
// depth, or null.
uint32_t *sDrawLoadTargaFile(const char *aTgaNameP, uint32_t *aWidthP, uint32_t *aHeightP, uint32_t *aDepthP);
uint32_t *sDrawDecodeTarga(const void *aDataP, long aSize, uint32_t *aWidthP, uint32_t *aHeightP, uint32_t *aDepthP);

// Width, height and depth of a Targa file that sDrawLoadTargaFile would load: 0, else -1.
long sDrawGetTargaSize(const char *aTgaNameP, uint32_t *aWidthP, uint32_t *aHeightP, uint32_t *aDepthP);

// ---------------------------------------------------------------- pixel arithmetic

// The channel masks of a 16- or 32-bit pixel format.
struct _drawMasks {
    uint32_t r, g, b, a;
};

// Bit position of the lowest set bit of a mask; 0 for an empty mask.
uint32_t sDrawGetShiftNum(uint32_t aMask);
// Number of bits of a mask's field (counted from its lowest set bit).
uint32_t sDrawGetMaskWidth(uint32_t aMask);
// A channel byte reduced to the mask's width and moved to its position.
uint32_t sDrawPackChannel(uint32_t aByte, uint32_t aMask);
// A 0xRRGGBBAA pixel of pixel memory in the format of aMasks.
uint32_t sDrawPackRgba(uint32_t aRgba, const _drawMasks &aMasks);

// What texture sizing needs of a device: its texture capability bits (power of two 0x2,
// square only 0x20) and its largest texture (0 means 256).
struct _drawTexCaps {
    uint32_t textureCaps;
    uint32_t maxWidth;
    uint32_t maxHeight;
};
enum : uint32_t { DRAW_TEXCAPS_POW2 = 0x2, DRAW_TEXCAPS_SQUAREONLY = 0x20 };
void sDrawCalcTexSizeCaps(const _drawTexCaps &aCaps, uint32_t aWidth, uint32_t aHeight, uint32_t *aTexWidthP,
                          uint32_t *aTexHeightP);

// Height of one pixel for the normal map: the mean of its three colour channels, each taken down
// to its own bits.
uint32_t sDrawHeightOf(uint32_t aPixel, const _drawMasks &aMasks);
// The normal-map pixel of heights h00 (the pixel), h01 (its right neighbour) and h10 (the one
// below): 5-5-5 for a 16-bit map, 8-8-8 otherwise; du in red, dz in green, dv in blue.
uint32_t sDrawNormalPixel(int32_t aH00, int32_t aH01, int32_t aH10, int32_t aLevel, bool aBits16);

// Texture request flags that change pixels after loading.
enum : uint16_t {
    DRAW_FLG_TEXTURE = 0x0001,
    DRAW_FLG_32BIT = 0x0002,
    DRAW_FLG_ALPHAIMAGE = 0x0004,
    DRAW_FLG_RENDER = 0x0010,
    DRAW_FLG_HEIGHT = 0x0020,
    DRAW_FLG_COLORKEY = 0x0040,
    DRAW_FLG_OPACITY = 0x0080,
    DRAW_FLG_NEGATIVE = 0x0100,
    DRAW_FLG_INVALPHA = 0x0200,
    DRAW_FLG_PROJECTION = 0x0400,
    DRAW_FLG_BLT = 0x1000,
};
// One pixel of a 16- or 32-bit texture through the compositing steps of aDrawFlg, in their
// order: negative, alpha image (aAlphaByte), opacity, colour key (aKey, compared on colour bits).
uint32_t sDrawCompositPixel(uint32_t aPixel, uint16_t aDrawFlg, const _drawMasks &aMasks, bool aBits16,
                            uint8_t aAlphaByte, float aOpacity, uint32_t aKey);

// Texel (row aI, column aJ) of a 512 x 512 spotlight light map of colour (aR, aG, aB) (0-1) for a
// cone whose full-light part is aRatio (theta / phi) of its radius.
uint32_t sDrawLightMapTexel(int aI, int aJ, float aRatio, float aR, float aG, float aB, const _drawMasks &aMasks,
                            bool aBits16);

// Luma and chroma bytes of a pixel pair (r, g, b of each); aUyvy chooses U Y0 V Y1, else Y0 U Y1 V.
void sDrawRgbPairToYuv(const uint8_t aRgb0[3], const uint8_t aRgb1[3], bool aUyvy, uint8_t aOut[4]);

// ---------------------------------------------------------------- image-registry names

// Image-registry key of a name: the sum of its bytes in lower case.
uint32_t sDrawFileMakeKey(const char *aFileNameP);
// The file-name part of a backslash path (after its last backslash), or the whole path when that
// part is empty; at most aSize - 1 characters are kept, and the result always ends with a NUL.
void splitFileName(char *aNameP, const char *aPathP, size_t aSize);
// Lower-cases ASCII letters in place (bytes of double-byte characters stay).
void sDrawLowerName(char *aNameP);

#endif
