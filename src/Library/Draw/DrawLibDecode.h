#ifndef KESTREL_LIBRARY_DRAW_DRAWLIBDECODE_H
#define KESTREL_LIBRARY_DRAW_DRAWLIBDECODE_H

// Image decoding that needs no surface: KSM packed images and Targa files into pixel memory,
// one 32-bit 0xRRGGBBAA value per pixel, rows top to bottom. The caller frees the memory.

#include <cstddef>
#include <cstdint>

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

#endif
