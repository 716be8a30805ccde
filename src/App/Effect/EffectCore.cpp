#include "App/Effect/EffectCore.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "Library/Maths/MathsLib.h"

static int _rand(void)
{
    return rand() & 0x7FFF;
}

static uint8_t _clampByte(long aV)
{
    return (uint8_t)(aV < 0 ? 0 : (aV > 255 ? 255 : aV));
}

void _hsi2rgb(float aH, float aS, float aI, uint8_t *aRP, uint8_t *aGP, uint8_t *aBP)
{
    if (aS == 0.0f) {
        *aRP = *aGP = *aBP = 0;
        return;
    }
    // Double throughout so that every build truncates the same products.
    const double h = aH, sat = aS, in = aI;
    const long k = (long)(h * 0.9549298876152563);
    const double f = h - (double)k * 1.0471973;
    const uint8_t i = _clampByte((long)in);
    const uint8_t p = _clampByte((long)((1.0 - sat) * in));
    const uint8_t q = _clampByte((long)(in * (1.0 - sat * f)));
    const uint8_t t = _clampByte((long)(in * (1.0 - sat * (1.0 - f))));
    uint8_t r, g, b;
    switch (k) {
    case 1: r = q; g = i; b = p; break;
    case 2: r = p; g = i; b = t; break;
    case 3: r = p; g = q; b = i; break;
    case 4: r = t; g = p; b = i; break;
    case 5: r = i; g = p; b = q; break;
    default: r = i; g = t; b = p; break;
    }
    *aRP = r;
    *aGP = g;
    *aBP = b;
}

// The grid wraps at its edges.
static inline long _cell(long aX, long aY)
{
    return (aY & 0xFF) * CLOUD_SIZE + (aX & 0xFF);
}

static void _displace(uint8_t *aGridP, uint8_t *aWriteCntP, long aCell, long aSum, long aStep)
{
    const unsigned long v = (unsigned long)((long)(_rand() % aStep) + (aSum >> 2) - aStep / 2);
    aGridP[aCell] = (uint8_t)(v >= 256 ? 255 : v);
    if (aWriteCntP != nullptr && aWriteCntP[aCell] < 255)
        aWriteCntP[aCell]++;
}

void _drawCloudGrid(uint8_t *aGridP, uint8_t *aWriteCntP)
{
    memset(aGridP, 0, CLOUD_SIZE * CLOUD_SIZE);
    if (aWriteCntP != nullptr)
        memset(aWriteCntP, 0, CLOUD_SIZE * CLOUD_SIZE);
    srand(987654321);
    uint8_t *g = aGridP;
    g[0] = 120;
    for (long s = CLOUD_SIZE; s >= 2; s /= 2) {
        const long h = s / 2;
        for (long x = 0; x < CLOUD_SIZE; x += s) {
            for (long y = 0; y < CLOUD_SIZE; y += s) {
                const long sum = g[_cell(x + s, y)] + g[_cell(x, y + s)] + g[_cell(x, y)] + g[_cell(x + s, y + s)];
                _displace(g, aWriteCntP, _cell(x + h, y + h), sum, s);
            }
        }
        for (long x = 0; x < CLOUD_SIZE; x += s) {
            for (long y = 0; y < CLOUD_SIZE; y += s) {
                long sum = g[_cell(x - h, y + h)] + g[_cell(x + h, y + h)] + g[_cell(x, y + s)] + g[_cell(x, y)];
                _displace(g, aWriteCntP, _cell(x, y + h), sum, s);
                sum = g[_cell(x + h, y - h)] + g[_cell(x + h, y + h)] + g[_cell(x + s, y)] + g[_cell(x, y)];
                _displace(g, aWriteCntP, _cell(x + h, y), sum, s);
            }
        }
    }
}

void _drawCloud(CloudPixel *aCloudImageP)
{
    uint8_t *grid = (uint8_t *)malloc(CLOUD_SIZE * CLOUD_SIZE);
    if (grid == nullptr) {
        memset(aCloudImageP, 0, sizeof(CloudPixel) * CLOUD_SIZE * CLOUD_SIZE);
        return;
    }
    _drawCloudGrid(grid, nullptr);
    // Each grey level's colour once, then the (transposed) picture from that ramp.
    CloudPixel ramp[256];
    for (long v = 0; v < 256; v++) {
        ramp[v].pad = 0;
        _hsi2rgb(3.665191411972046f, 0.3f, (float)v, &ramp[v].r, &ramp[v].g, &ramp[v].b);
    }
    for (long y = 0; y < CLOUD_SIZE; y++)
        for (long x = 0; x < CLOUD_SIZE; x++)
            aCloudImageP[x * CLOUD_SIZE + y] = ramp[grid[y * CLOUD_SIZE + x]];
    free(grid);
}

void sCloudFalloff(uint8_t *aGladImageP)
{
    for (long i = 0; i < CLOUD_SIZE; i++) {
        for (long l = 0; l < CLOUD_SIZE; l++) {
            const float dx = (float)(l - 128), dy = (float)(i - 128);
            const float d = gMathsSqrtPtr(dx * dx + dy * dy);
            aGladImageP[i * CLOUD_SIZE + l] = _clampByte(lrintf((256.0f - d) * 255.0f / 256.0f));
        }
    }
}

void sCloudMultTable(uint8_t *aMultTblP)
{
    for (long a = 0; a < 256; a++)
        for (long b = 0; b < 256; b++)
            aMultTblP[a * 256 + b] = (uint8_t)((a * b) >> 8);
}

void sCloudMaskShift(uint32_t aMask, uint16_t *aShiftP, uint16_t *aBitP)
{
    uint16_t shift = 0;
    while (shift < 32 && !(aMask & (1u << shift)))
        shift++;
    uint16_t width = 0;
    while (shift + width < 32 && (aMask & (1u << (shift + width))))
        width++;
    *aShiftP = shift >= 32 ? 0 : shift;
    *aBitP = (uint16_t)(width >= 8 ? 0 : 8 - width);
}

// One stretch of a row: the cloud under the falloff, plus the overlay at a quarter where there is
// one (aOverP null: the cleared picture, nothing to add).
template <bool Over>
static inline void _cloudSpan(CloudPixel *aDstP, const CloudPixel *aCloudRowP, const uint8_t *aFallP,
                              const uint8_t *aMultTblP, const CloudPixel *aOverP, long aOverX, long aXShift,
                              long aFrom, long aTo)
{
    for (long j = aFrom; j < aTo; j++) {
        const CloudPixel c = aCloudRowP[(j + aXShift) & 0xFF];
        const long f = aFallP[j];
        long r = aMultTblP[c.r * 256 + f], g = aMultTblP[c.g * 256 + f], b = aMultTblP[c.b * 256 + f];
        CloudPixel &d = aDstP[j];
        if (Over) {
            const CloudPixel &o = aOverP[j - aOverX];
            r += o.r >> 2;
            g += o.g >> 2;
            b += o.b >> 2;
            r = r > 255 ? 255 : r;
            g = g > 255 ? 255 : g;
            b = b > 255 ? 255 : b;
        }
        d.r = (uint8_t)r;
        d.g = (uint8_t)g;
        d.b = (uint8_t)b;
        d.pad = 0;
    }
}

void sCloudCompose(CloudPixel *aDrawImageP, const CloudPixel *aCloudImageP, const uint8_t *aGladImageP,
                   const uint8_t *aMultTblP, const CloudPixel *aBmImageP, long aBmWidth, long aBmHeight,
                   long aX, long aY, long aXShift, long aYShift)
{
    // The overlay's part inside the picture. Everywhere else the cleared picture adds nothing, so
    // no clear is needed and no sum there can pass 255 (a product of bytes >> 8 is at most 254).
    long x0 = 0, x1 = 0, y0 = 0, y1 = 0;
    if (aBmImageP != nullptr && aBmWidth > 0 && aBmHeight > 0) {
        x0 = aX < 0 ? 0 : aX;
        x1 = aX + aBmWidth < CLOUD_SIZE ? aX + aBmWidth : (long)CLOUD_SIZE;
        y0 = aY < 0 ? 0 : aY;
        y1 = aY + aBmHeight < CLOUD_SIZE ? aY + aBmHeight : (long)CLOUD_SIZE;
        if (x0 >= x1 || y0 >= y1)
            x0 = x1 = y0 = y1 = 0;
    }
    for (long i = 0; i < CLOUD_SIZE; i++) {
        const CloudPixel *cloudRow = aCloudImageP + (((i + aYShift) & 0xFF) << 8);
        const uint8_t *fall = aGladImageP + i * CLOUD_SIZE;
        CloudPixel *dst = aDrawImageP + i * CLOUD_SIZE;
        if (i < y0 || i >= y1) {
            _cloudSpan<false>(dst, cloudRow, fall, aMultTblP, nullptr, 0, aXShift, 0, CLOUD_SIZE);
            continue;
        }
        // Overlay pixel (column j, row i - aY) lies under picture column aX + j.
        const CloudPixel *over = aBmImageP + (i - aY) * aBmWidth;
        _cloudSpan<false>(dst, cloudRow, fall, aMultTblP, nullptr, 0, aXShift, 0, x0);
        _cloudSpan<true>(dst, cloudRow, fall, aMultTblP, over, aX, aXShift, x0, x1);
        _cloudSpan<false>(dst, cloudRow, fall, aMultTblP, nullptr, 0, aXShift, x1, CLOUD_SIZE);
    }
}

template <typename Pixel>
static void _cloudUploadAs(const CloudPixel *aDrawImageP, uint8_t *aSurfaceP, long aPitch, long aW, long aH,
                           const _cloudFormat &aF)
{
    for (long y = 0; y < aH; y++) {
        const CloudPixel *src = aDrawImageP + y * CLOUD_SIZE;
        Pixel *line = (Pixel *)(aSurfaceP + y * aPitch);
        for (long x = 0; x < aW; x++)
            line[x] = (Pixel)(((uint32_t)(src[x].r >> aF.rBit) << aF.rShift) +
                              ((uint32_t)(src[x].g >> aF.gBit) << aF.gShift) +
                              ((uint32_t)(src[x].b >> aF.bBit) << aF.bShift));
    }
}

void sCloudUpload(const CloudPixel *aDrawImageP, uint8_t *aSurfaceP, long aPitch, long aWidth, long aHeight,
                  const _cloudFormat *aFormatP)
{
    const long w = aWidth < CLOUD_SIZE ? aWidth : (long)CLOUD_SIZE;
    const long h = aHeight < CLOUD_SIZE ? aHeight : (long)CLOUD_SIZE;
    if (aFormatP->bitCount == 16)
        _cloudUploadAs<uint16_t>(aDrawImageP, aSurfaceP, aPitch, w, h, *aFormatP);
    else if (aFormatP->bitCount == 32)
        _cloudUploadAs<uint32_t>(aDrawImageP, aSurfaceP, aPitch, w, h, *aFormatP);
}

void sCloudQuad(CloudVertex *aVertexP, long aScWidth, long aScHeight)
{
    const float right = (float)(aScWidth - 1), bottom = (float)(aScHeight - 1);
    const float xs[4] = {0.0f, right, 0.0f, right};
    const float ys[4] = {0.0f, 0.0f, bottom, bottom};
    const float us[4] = {0.0f, 1.0f, 0.0f, 1.0f};
    const float vs[4] = {0.0f, 0.0f, 0.75f, 0.75f};
    for (long n = 0; n < 4; n++) {
        aVertexP[n].x = xs[n];
        aVertexP[n].y = ys[n];
        aVertexP[n].z = 0.99999f;
        aVertexP[n].rhw = 1.0f;
        aVertexP[n].tu = us[n];
        aVertexP[n].tv = vs[n];
    }
    sCloudSetBright(aVertexP, 255);
}

void sCloudSetBright(CloudVertex *aVertexP, long aBright)
{
    const uint32_t grey = (uint32_t)(aBright & 0xFF) * 0x010101u;
    for (long n = 0; n < 4; n++) {
        aVertexP[n].color = grey;
        aVertexP[n].specular = 0x00FFFFFF;
    }
}

long sCloudBright(long aFramePos)
{
    const uint16_t bright = (uint16_t)(aFramePos * 8);
    return bright > 255 ? 255 : bright;
}

// Combined effect rows; the lightning rows are the same in both editions.
#define LT(n) (&gLightningAllScnTbl[n])
const _efxNeyaScnTable _efxScnTbl[EFX_NEYA_SCN_TBL_NUM] = {
    {nullptr, nullptr},        {LT(0), nullptr},          {LT(1), nullptr},          {LT(2), nullptr},
    {LT(3), &gBomScnAllTbl[3]}, {nullptr, &gBomScnAllTbl[0]}, {nullptr, &gBomScnAllTbl[1]},
    {nullptr, &gBomScnAllTbl[2]}, {nullptr, &gBomScnAllTbl[4]}, {nullptr, &gBomScnAllTbl[5]},
    {LT(4), nullptr},
};
const _efxNeyaScnTable _efxScnTblL[EFX_NEYA_SCN_TBL_NUM] = {
    {nullptr, nullptr},         {LT(0), nullptr},           {LT(1), nullptr},           {LT(2), nullptr},
    {LT(3), &gBomScnAllTblL[3]}, {nullptr, &gBomScnAllTblL[0]}, {nullptr, &gBomScnAllTblL[1]},
    {nullptr, &gBomScnAllTblL[2]}, {nullptr, &gBomScnAllTblL[4]}, {nullptr, &gBomScnAllTblL[5]},
    {LT(4), nullptr},
};
#undef LT

const _efxNeyaScnTable *sEffectNeyaRow(long aRow, long aFullSpec)
{
    if (aRow < 0 || aRow >= EFX_NEYA_SCN_TBL_NUM)
        return nullptr;
    return aFullSpec ? &_efxScnTbl[aRow] : &_efxScnTblL[aRow];
}

#define BLUR_EFFECT(rate, bias, emi)                                                              \
    {EffectOptionsBlur, BlendingModeNil, 0, 1.0f, {{1.0f}, {1.0f}, {1.0f}, {1.0f}},               \
     {{1.0f}, {1.0f}, {1.0f}, {1.0f}}, BlendingModeTransparency, 5, rate, bias,                  \
     {{emi}, {emi}, {emi}, {emi}}, {}, 0}
const EffectDef _effectTbl[EFFECT_TBL_NUM] = {
    {"Boss02", 0, 480, BLUR_EFFECT(2, 0.1f, 1.0f)},
    {"HanMen", 255, 9999, BLUR_EFFECT(1, 0.5f, 0.0f)},
    {"Shuriken01", 140, 500, BLUR_EFFECT(1, 0.5f, 0.0f)},
};
#undef BLUR_EFFECT

const EffectDef *sEffectShapeFind(const char *aNameP)
{
    if (aNameP == nullptr)
        return nullptr;
    for (long n = 0; n < EFFECT_TBL_NUM; n++)
        if (strcmp(_effectTbl[n].name, aNameP) == 0)
            return &_effectTbl[n];
    return nullptr;
}

uint32_t sEffectShapeOption(const EffectDef *aDefP, long aFrame, long aFrameCnt)
{
    long end = aDefP->endFrame;
    if (end > aFrameCnt - 1)
        end = aFrameCnt - 1;
    const long start = aDefP->startFrame > 0 ? aDefP->startFrame : 0;
    if (aFrame < start || aFrame > end)
        return 0;
    return aDefP->effect.option;
}
