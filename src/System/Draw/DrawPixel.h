#ifndef KESTREL_SYSTEM_DRAW_DRAWPIXEL_H
#define KESTREL_SYSTEM_DRAW_DRAWPIXEL_H

// Pixel arithmetic of the draw manager and the image loaders that needs no surface: channel
// packing by a pixel format's masks, texture sizing, normal maps from heights, texture
// compositing, the spotlight's light map, YUV conversion and image-registry names.

#include <cstdint>

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

// Image-registry key of a name: the sum of its bytes in lower case.
uint32_t sDrawFileMakeKey(const char *aFileNameP);
// The part of a path after its last backslash, or the whole path when that part is empty;
// at most aSize - 1 characters are kept.
void _splitFileName(char *aNameP, const char *aFileNameP, unsigned aSize = 260);
// Lower-cases ASCII letters in place (bytes of double-byte characters stay).
void sDrawLowerName(char *aNameP);

#endif
