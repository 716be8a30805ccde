#include "System/Draw/DrawPixel.h"

#include <cmath>
#include <cstring>

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

void _splitFileName(char *aNameP, const char *aFileNameP, unsigned aSize)
{
    if (!aSize)
        return;
    const char *slash = std::strrchr(aFileNameP, '\\');
    const char *base = (slash && slash[1]) ? slash + 1 : aFileNameP;
    std::strncpy(aNameP, base, aSize - 1);
    aNameP[aSize - 1] = '\0';
}

void sDrawLowerName(char *aNameP)
{
    for (char *p = aNameP; *p; ++p)
        *p = _lower(*p);
}
