#include "Library/Draw/DrawCore.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Library/Format/FORMLIB.h"
#include "Common/DEBUGWIN.h"

// ---------------------------------------------------------------- image files

// The whole file in a new buffer; null when it cannot be opened or read.
static uint8_t *_readFile(const char *aNameP, long *aSizeP)
{
    FILE *fileP = fopen(aNameP, "rb");
    if (fileP == nullptr)
        return nullptr;
    uint8_t *bufP = nullptr;
    long size = -1;
    if (fseek(fileP, 0, SEEK_END) == 0)
        size = ftell(fileP);
    if (size >= 0 && fseek(fileP, 0, SEEK_SET) == 0) {
        bufP = (uint8_t *)malloc(size > 0 ? (size_t)size : 1);
        if (bufP != nullptr && fread(bufP, 1, (size_t)size, fileP) != (size_t)size) {
            free(bufP);
            bufP = nullptr;
        }
    }
    fclose(fileP);
    *aSizeP = size;
    return bufP;
}

// A whole image file through its decoder; a refused image is reported.
static uint32_t *_loadImageFile(const char *aNameP,
                                uint32_t *(*aDecodeP)(const void *, long, uint32_t *, uint32_t *, uint32_t *),
                                const char *aRefusedP, uint32_t *aWidthP, uint32_t *aHeightP, uint32_t *aDepthP)
{
    long size;
    uint8_t *fileP = _readFile(aNameP, &size);
    if (fileP == nullptr)
        return nullptr;
    uint32_t *imageP = aDecodeP(fileP, size, aWidthP, aHeightP, aDepthP);
    if (imageP == nullptr)
        sDebugWinPrintMsg(aRefusedP);
    free(fileP);
    return imageP;
}

// Pixel memory for aWidth x aHeight pixels (both > 0).
static uint32_t *_allocPixels(uint32_t aWidth, uint32_t aHeight)
{
    if ((uint64_t)aWidth * aHeight * sizeof(uint32_t) > SIZE_MAX / 2)
        return nullptr;
    return (uint32_t *)malloc((size_t)aWidth * aHeight * sizeof(uint32_t));
}

// Converts the pixels of an expanded KSM block (aBodySize bytes).
static uint32_t *_ksmPixels(const uint8_t *aBodyP, uint32_t aBodySize, uint32_t *aWidthP, uint32_t *aHeightP,
                            uint32_t *aDepthP)
{
    if (aBodySize < sizeof(_ninjaHead) + sizeof(_ksmHead))
        return nullptr;
    _ksmHead head;
    memcpy(&head, aBodyP + sizeof(_ninjaHead), sizeof(head));
    if (head.width <= 0 || head.height <= 0 || (head.depth != 8 && head.depth != 24) || head.headSize < 0 ||
        head.colorSize < 0)
        return nullptr;
    uint64_t colorAt = sizeof(_ninjaHead) + (uint64_t)head.headSize;
    uint64_t pixelAt = colorAt + (uint64_t)head.colorSize;
    uint64_t count = (uint64_t)head.width * (uint64_t)head.height;
    uint64_t bytes = count * (uint64_t)(head.depth / 8);
    if (pixelAt > aBodySize || bytes > aBodySize - pixelAt)
        return nullptr;

    const uint8_t *srcP = aBodyP + pixelAt;
    uint32_t *imageP = _allocPixels((uint32_t)head.width, (uint32_t)head.height);
    if (imageP == nullptr)
        return nullptr;
    if (head.depth == 24) {
        for (uint64_t i = 0; i < count; i++, srcP += 3)
            imageP[i] = (uint32_t)srcP[0] << 24 | (uint32_t)srcP[1] << 16 | (uint32_t)srcP[2] << 8 | 0xFF;
    } else {
        const uint8_t *paletteP = aBodyP + colorAt;
        uint32_t colors = (uint32_t)head.colorSize / sizeof(_ksmRGB);
        for (uint64_t i = 0; i < count; i++) {
            uint32_t index = srcP[i];
            if (index >= colors) {
                free(imageP);
                return nullptr;
            }
            const uint8_t *rgbP = paletteP + index * sizeof(_ksmRGB);
            imageP[i] = (uint32_t)rgbP[0] << 24 | (uint32_t)rgbP[1] << 16 | (uint32_t)rgbP[2] << 8 | 0xFF;
        }
    }
    *aWidthP = (uint32_t)head.width;
    *aHeightP = (uint32_t)head.height;
    *aDepthP = (uint32_t)head.depth;
    return imageP;
}

uint32_t *sDrawDecodeKsm(const void *aDataP, long aSize, uint32_t *aWidthP, uint32_t *aHeightP, uint32_t *aDepthP)
{
    if (aDataP == nullptr || aSize < (long)sizeof(_ninjaHead))
        return nullptr;
    _ninjaHead head;
    memcpy(&head, aDataP, sizeof(head));
    if (head.type != FORMAT_TYPE_KSM || head.size < (int32_t)sizeof(head) || head.size > aSize)
        return nullptr;
    if (head.compress == FORMAT_STORED)
        return _ksmPixels((const uint8_t *)aDataP, (uint32_t)head.size, aWidthP, aHeightP, aDepthP);

    uint8_t *bodyP = sFormatExtract(aDataP, head.size);
    if (bodyP == nullptr)
        return nullptr;
    uint32_t *imageP = _ksmPixels(bodyP, (uint32_t)head.expSize, aWidthP, aHeightP, aDepthP);
    free(bodyP);
    return imageP;
}

uint32_t *sDrawLoadKsmFile(const char *aKsmNameP, uint32_t *aWidthP, uint32_t *aHeightP, uint32_t *aDepthP)
{
    return _loadImageFile(aKsmNameP, sDrawDecodeKsm, "KSM image refused", aWidthP, aHeightP, aDepthP);
}

// One Targa pixel (blue, green, red[, alpha]) as 0xRRGGBBAA.
static inline uint32_t _targaPixel(const uint8_t *aSrcP, uint32_t aBytes)
{
    uint32_t alpha = aBytes == 4 ? aSrcP[3] : 0xFF;
    return (uint32_t)aSrcP[2] << 24 | (uint32_t)aSrcP[1] << 16 | (uint32_t)aSrcP[0] << 8 | alpha;
}

uint32_t *sDrawDecodeTarga(const void *aDataP, long aSize, uint32_t *aWidthP, uint32_t *aHeightP, uint32_t *aDepthP)
{
    if (aDataP == nullptr || aSize < (long)sizeof(_targaHeader))
        return nullptr;
    _targaHeader head;
    memcpy(&head, aDataP, sizeof(head));
    if (head.ColormapType != 0 || (head.ImageType != TARGA_TRUECOLOR && head.ImageType != TARGA_TRUECOLOR_RLE) ||
        (head.PixelDepth != 24 && head.PixelDepth != 32) || head.ImageWidth == 0 || head.ImageHeight == 0)
        return nullptr;
    uint32_t width = head.ImageWidth, height = head.ImageHeight;
    uint32_t bytes = head.PixelDepth / 8;
    uint32_t dataAt = sizeof(head) + head.IDLength;
    if (dataAt > (uint32_t)aSize)
        return nullptr;
    const uint8_t *srcP = (const uint8_t *)aDataP + dataAt;
    const uint8_t *endP = (const uint8_t *)aDataP + aSize;
    uint32_t count = width * height;
    uint32_t avail = (uint32_t)(endP - srcP);
    // Refuse before allocating what the file could never fill.
    if (head.ImageType == TARGA_TRUECOLOR ? (uint64_t)count * bytes > avail
                                          : (uint64_t)(count + 127) / 128 * (1 + bytes) > avail)
        return nullptr;

    uint32_t *imageP = _allocPixels(width, height);
    if (imageP == nullptr)
        return nullptr;
    bool topDown = (head.ImageDescriptor & TARGA_TOP_DOWN) != 0;
    // Pixels come in file order; p counts them and picks the destination row.
    uint32_t p = 0, x = 0, row = 0;
    uint32_t *dstP = imageP + (topDown ? 0 : (height - 1) * width);
    auto put = [&](uint32_t aValue) {
        dstP[x] = aValue;
        if (++x == width) {
            x = 0;
            if (++row < height)
                dstP = imageP + (topDown ? row : height - 1 - row) * width;
        }
        p++;
    };
    if (head.ImageType == TARGA_TRUECOLOR) {
        for (uint32_t i = 0; i < count; i++, srcP += bytes)
            put(_targaPixel(srcP, bytes));
    } else {
        while (p < count) {
            if (srcP >= endP)
                break;
            uint32_t h = *srcP++;
            uint32_t n = (h & 0x7F) + 1;
            if (n > count - p)
                break;
            if (h & 0x80) {
                if ((uint32_t)(endP - srcP) < bytes)
                    break;
                uint32_t value = _targaPixel(srcP, bytes);
                srcP += bytes;
                while (n--)
                    put(value);
            } else {
                if ((uint32_t)(endP - srcP) < n * bytes)
                    break;
                for (; n > 0; n--, srcP += bytes)
                    put(_targaPixel(srcP, bytes));
            }
        }
        if (p < count) {
            free(imageP);
            return nullptr;
        }
    }
    *aWidthP = width;
    *aHeightP = height;
    *aDepthP = head.PixelDepth;
    return imageP;
}

uint32_t *sDrawLoadTargaFile(const char *aTgaNameP, uint32_t *aWidthP, uint32_t *aHeightP, uint32_t *aDepthP)
{
    return _loadImageFile(aTgaNameP, sDrawDecodeTarga, "Targa image refused", aWidthP, aHeightP, aDepthP);
}

long sDrawGetTargaSize(const char *aTgaNameP, uint32_t *aWidthP, uint32_t *aHeightP, uint32_t *aDepthP)
{
    uint32_t *imageP = sDrawLoadTargaFile(aTgaNameP, aWidthP, aHeightP, aDepthP);
    if (imageP == nullptr)
        return -1;
    free(imageP);
    return 0;
}

// ---------------------------------------------------------------- pixel arithmetic

uint32_t sDrawGetShiftNum(uint32_t aMask)
{
    if (!aMask)
        return 0;
    uint32_t shift = 0;
    while (!(aMask & 1)) {
        aMask >>= 1;
        ++shift;
    }
    return shift;
}

uint32_t sDrawGetMaskWidth(uint32_t aMask)
{
    aMask >>= sDrawGetShiftNum(aMask);
    uint32_t width = 0;
    while (aMask & 1) {
        aMask >>= 1;
        ++width;
    }
    return width;
}

uint32_t sDrawPackChannel(uint32_t aByte, uint32_t aMask)
{
    if (!aMask)
        return 0;
    const uint32_t width = sDrawGetMaskWidth(aMask);
    const uint32_t value = width >= 8 ? (aByte & 0xFF) << (width - 8) : (aByte & 0xFF) >> (8 - width);
    return (value << sDrawGetShiftNum(aMask)) & aMask;
}

uint32_t sDrawPackRgba(uint32_t aRgba, const _drawMasks &aMasks)
{
    return sDrawPackChannel(aRgba >> 24, aMasks.r) + sDrawPackChannel(aRgba >> 16, aMasks.g) +
           sDrawPackChannel(aRgba >> 8, aMasks.b) + sDrawPackChannel(aRgba, aMasks.a);
}

static uint32_t _nextPow2(uint32_t aValue)
{
    uint32_t size = 1;
    while (size < aValue && size < 0x80000000u)
        size <<= 1;
    return size;
}

void sDrawCalcTexSizeCaps(const _drawTexCaps &aCaps, uint32_t aWidth, uint32_t aHeight, uint32_t *aTexWidthP,
                          uint32_t *aTexHeightP)
{
    uint32_t w = aWidth, h = aHeight;
    if (aCaps.textureCaps & DRAW_TEXCAPS_POW2) {
        w = _nextPow2(w);
        h = _nextPow2(h);
    }
    if (aCaps.textureCaps & DRAW_TEXCAPS_SQUAREONLY)
        w = h = (w > h ? w : h);
    const uint32_t maxW = aCaps.maxWidth ? aCaps.maxWidth : 256;
    const uint32_t maxH = aCaps.maxHeight ? aCaps.maxHeight : 256;
    *aTexWidthP = w > maxW ? maxW : w;
    *aTexHeightP = h > maxH ? maxH : h;
}

uint32_t sDrawHeightOf(uint32_t aPixel, const _drawMasks &aMasks)
{
    const uint32_t r = (aPixel & aMasks.r) >> sDrawGetShiftNum(aMasks.r);
    const uint32_t g = (aPixel & aMasks.g) >> sDrawGetShiftNum(aMasks.g);
    const uint32_t b = (aPixel & aMasks.b) >> sDrawGetShiftNum(aMasks.b);
    return (r + g + b) / 3;
}

uint32_t sDrawNormalPixel(int32_t aH00, int32_t aH01, int32_t aH10, int32_t aLevel, bool aBits16)
{
    const int32_t m = aBits16 ? 15 : 127;
    const int32_t bias = aBits16 ? 16 : 128;
    const float du = (float)(aH00 - aH01);
    const float dv = (float)(aH10 - aH00);
    const float dz = (float)(m - (aBits16 ? aLevel : aLevel * 8));
    const float len = std::sqrt(dz * dz + du * du + dv * dv);
    // A level that cancels the depth on a flat spot leaves no direction: the normal is the bias.
    auto scale = [&](float aC) -> uint32_t {
        if (len <= 0.0f)
            return (uint32_t)bias;
        return (uint32_t)((int32_t)(m * aC / len) + bias);
    };
    const uint32_t u = scale(du), z = scale(dz), v = scale(dv);
    if (aBits16)
        return (u & 0x1F) << 10 | (z & 0x1F) << 5 | (v & 0x1F);
    return (u & 0xFF) << 16 | (z & 0xFF) << 8 | (v & 0xFF);
}

uint32_t sDrawCompositPixel(uint32_t aPixel, uint16_t aDrawFlg, const _drawMasks &aMasks, bool aBits16,
                            uint8_t aAlphaByte, float aOpacity, uint32_t aKey)
{
    const uint32_t rgb = aMasks.r | aMasks.g | aMasks.b;
    const uint32_t a = aMasks.a;
    const uint32_t s = sDrawGetShiftNum(a);
    uint32_t p = aPixel;
    if (aDrawFlg & DRAW_FLG_NEGATIVE)
        p = (p & ~rgb) | (rgb - (p & rgb));
    if (aDrawFlg & DRAW_FLG_ALPHAIMAGE) {
        uint32_t byte = aAlphaByte;
        if (aDrawFlg & DRAW_FLG_INVALPHA)
            byte = 255 - byte;
        p = (p & ~a) | ((byte << s) & a);
    }
    if (aDrawFlg & DRAW_FLG_OPACITY) {
        uint32_t old = p >> s;
        if (aBits16)
            old &= 0xFFFF;
        p = (p & ~a) | (((uint32_t)(old * aOpacity) << s) & a);
    }
    if (aDrawFlg & DRAW_FLG_COLORKEY) {
        p &= ~a;
        // The key read back through the device context may carry alpha bits; colours decide.
        if ((p & rgb) != (aKey & rgb))
            p |= a;
    }
    if (aBits16)
        p &= 0xFFFF;
    return p;
}

uint32_t sDrawLightMapTexel(int aI, int aJ, float aRatio, float aR, float aG, float aB, const _drawMasks &aMasks,
                            bool aBits16)
{
    auto clamp = [](float aV) { return aV < 0.0f ? 0.0f : (aV > 1.0f ? 1.0f : aV); };
    const float r = clamp(aR), g = clamp(aG), b = clamp(aB);
    const float di = (float)(aI - 256), dj = (float)(aJ - 256);
    const float d = std::sqrt(di * di + dj * dj) / 254.0f;
    if (d > 1.0f)
        return 0;
    auto pack = [&](float aScale) {
        return sDrawPackChannel((uint32_t)(r * aScale * 255.0f), aMasks.r) +
               sDrawPackChannel((uint32_t)(g * aScale * 255.0f), aMasks.g) +
               sDrawPackChannel((uint32_t)(b * aScale * 255.0f), aMasks.b);
    };
    if (d < aRatio) {
        if (aBits16)
            return pack(1.0f);
        return 0x7F000000u | (uint32_t)(r * 255.0f) << 16 | (uint32_t)(g * 255.0f) << 8 | (uint32_t)(b * 255.0f);
    }
    // At the rim of a cone without a fading band there is nothing left to fade.
    const float band = 1.0f - aRatio;
    return pack(band > 0.0f ? (1.0f - d) / band : 0.0f);
}

static uint8_t _clampByte(float aValue)
{
    if (aValue < 0.0f)
        return 0;
    if (aValue > 255.0f)
        return 255;
    return (uint8_t)aValue;
}

void sDrawRgbPairToYuv(const uint8_t aRgb0[3], const uint8_t aRgb1[3], bool aUyvy, uint8_t aOut[4])
{
    auto luma = [](const uint8_t *aRgb) { return _clampByte(0.299f * aRgb[0] + 0.587f * aRgb[1] + 0.114f * aRgb[2]); };
    const uint8_t y0 = luma(aRgb0), y1 = luma(aRgb1);
    const uint8_t u = _clampByte(128.0f - 0.14f * aRgb0[0] - 0.29f * aRgb0[1] + 0.43f * aRgb0[2]);
    const uint8_t v = _clampByte(128.0f + 0.36f * aRgb1[0] - 0.29f * aRgb1[1] - 0.07f * aRgb1[2]);
    if (aUyvy) {
        aOut[0] = u, aOut[1] = y0, aOut[2] = v, aOut[3] = y1;
    } else {
        aOut[0] = y0, aOut[1] = u, aOut[2] = y1, aOut[3] = v;
    }
}

// ---------------------------------------------------------------- image-registry names

static char _lower(char aC)
{
    return (aC >= 'A' && aC <= 'Z') ? (char)(aC - 'A' + 'a') : aC;
}

uint32_t sDrawFileMakeKey(const char *aFileNameP)
{
    uint32_t key = 0;
    for (const char *p = aFileNameP; p && *p; ++p)
        key += (uint8_t)_lower(*p);
    return key;
}

void splitFileName(char *aNameP, const char *aPathP, size_t aSize)
{
    if (!aSize)
        return;
    const char *slash = std::strrchr(aPathP, '\\');
    const char *base = (slash && slash[1]) ? slash + 1 : aPathP;
    std::strncpy(aNameP, base, aSize - 1);
    aNameP[aSize - 1] = '\0';
}

void sDrawLowerName(char *aNameP)
{
    for (char *p = aNameP; *p; ++p)
        *p = _lower(*p);
}
