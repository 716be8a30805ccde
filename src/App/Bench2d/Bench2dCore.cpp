#include "App/Bench2d/Bench2dCore.h"

#include <cstdlib>
#include <cstring>

#include "Library/Maths/MathsLib.h"

const _ballInfo ballInfo[BENCH2D_BALL_KIND] = {
    {32, {0, 0, 32, 32}},
    {64, {0, 0, 64, 64}},
    {96, {0, 0, 96, 96}},
    {128, {0, 0, 128, 128}},
};

void sBench2dMakeKernel(uint8_t *aDataP, long aDiameter)
{
    const long r = aDiameter / 2;
    for (long y = 0; y < aDiameter; y++) {
        for (long x = 0; x < aDiameter; x++) {
            const long dy = y - r, dx = x - r;
            const float d = gMathsSqrtPtr(static_cast<float>(dy * dy + dx * dx));
            const double q = static_cast<double>(d) / static_cast<double>(r);
            uint8_t v = 0;
            if (q <= 1.0) {
                const double a = 1.0 - q * q;
                v = static_cast<uint8_t>(a * a * 255.0);
            }
            aDataP[y * aDiameter + x] = v;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Field

void _conputMetaNormal(const _b2dRect *aRectP, uint8_t *aMetaP, long aMetaPitch, const uint8_t *aBallP,
                       long aDiameter)
{
    const long w = aRectP->right - aRectP->left;
    const long h = aRectP->bottom - aRectP->top;
    const uint8_t *src = aBallP + aRectP->top * aDiameter + aRectP->left;
    for (long y = 0; y < h; y++, src += aDiameter, aMetaP += aMetaPitch) {
        for (long x = 0; x < w; x++) {
            const unsigned k = src[x];
            if (k != 0) {
                const unsigned v = aMetaP[x] + k;
                aMetaP[x] = static_cast<uint8_t>(v > 255 ? 255 : v);
            }
        }
    }
}

// Balls lie at any byte of the field: eight bytes read and written at any address.
struct _bytes8 {
    uint8_t b[8];
};

static inline void _addsb8(uint8_t *aDstP, const uint8_t *aSrcP)
{
    __asm__ __volatile__("movq     %1, %%mm0\n\t"
            "paddusb  %2, %%mm0\n\t"
            "movq     %%mm0, %0\n\t"
            : "=m"(*reinterpret_cast<_bytes8 *>(aDstP))
            : "m"(*reinterpret_cast<const _bytes8 *>(aDstP)), "m"(*reinterpret_cast<const _bytes8 *>(aSrcP))
            : MATHS_X87_CLOBBERS);
}

static void _metaMMXRows(uint8_t *aMetaP, long aMetaPitch, const uint8_t *aSrcP, long aDiameter, long aWidth,
                         long aPasses)
{
    for (long p = 0; p < aPasses; p++) {
        uint8_t *d0 = aMetaP, *d1 = d0 + aMetaPitch, *d2 = d1 + aMetaPitch, *d3 = d2 + aMetaPitch;
        const uint8_t *s0 = aSrcP, *s1 = s0 + aDiameter, *s2 = s1 + aDiameter, *s3 = s2 + aDiameter;
        for (long x = 0; x < aWidth; x += 8) {
            _addsb8(d0 + x, s0 + x);
            _addsb8(d1 + x, s1 + x);
            _addsb8(d2 + x, s2 + x);
            _addsb8(d3 + x, s3 + x);
        }
        aMetaP += 4 * aMetaPitch;
        aSrcP += 4 * aDiameter;
    }
    // The block leaves the MMX registers in use: give the x87 stack back.
    __asm__ __volatile__("emms" ::: MATHS_X87_CLOBBERS);
}

void _conputMetaMMX(const _b2dRect *aRectP, uint8_t *aMetaP, long aMetaPitch, const uint8_t *aBallP,
                    long aDiameter)
{
    const long w = aRectP->right - aRectP->left;
    const long h = aRectP->bottom - aRectP->top;
    if (w <= 0 || h <= 0 || (w & 7) != 0 || (h & 3) != 0) {
        _conputMetaNormal(aRectP, aMetaP, aMetaPitch, aBallP, aDiameter);
        return;
    }
    _metaMMXRows(aMetaP, aMetaPitch, aBallP + aRectP->top * aDiameter + aRectP->left, aDiameter, w, h / 4);
}

_metaProc sBench2dSelectMeta(uint32_t aCpuOption)
{
    return (aCpuOption & BENCH2D_OPT_MMX) ? _conputMetaMMX : _conputMetaNormal;
}

// ---------------------------------------------------------------------------------------------
// Balls

void sBench2dInitBalls(_ballRec *aBallP, long aWidth, long aHeight)
{
    for (int j = 0; j < BENCH2D_BALL_CNT; j++) {
        _ballRec &b = aBallP[j];
        b.posX = static_cast<int16_t>(rand() % aWidth);
        b.posY = static_cast<int16_t>(rand() % aHeight);
        b.movX = static_cast<int16_t>(rand() % 10 - 5);
        b.movY = static_cast<int16_t>(rand() % 10 - 5);
        if (b.movX == 0 || b.movY == 0) {
            b.movX = static_cast<int16_t>(rand() % 5 + 1);
            b.movY = static_cast<int16_t>(rand() % 5 + 1);
        }
        b.num = j % BENCH2D_BALL_KIND;
    }
}

void sBench2dMoveBall(_ballRec *aBallP, long aDiameter, long aWidth, long aHeight)
{
    _ballRec &b = *aBallP;
    long x = b.posX + b.movX, y = b.posY + b.movY;
    if (x < 0 || x + aDiameter > aWidth) {
        b.movX = static_cast<int16_t>(-b.movX);
        x = x < 0 ? 0 : aWidth - aDiameter;
    }
    if (y < 0 || y + aDiameter > aHeight) {
        b.movY = static_cast<int16_t>(-b.movY);
        y = y < 0 ? 0 : aHeight - aDiameter;
    }
    b.posX = static_cast<int16_t>(x);
    b.posY = static_cast<int16_t>(y);
}

void sBench2dAddBall(_metaProc aProc, const _ballRec *aBallP, const uint8_t *aKernelP, uint8_t *aMetaP, long aWidth,
                     long aHeight)
{
    const _ballInfo &info = ballInfo[aBallP->num & (BENCH2D_BALL_KIND - 1)];
    _b2dRect r = info.rect;
    long x = aBallP->posX, y = aBallP->posY;
    // A ball larger than the screen still lies partly outside after its bounce.
    if (x < 0)
        r.left -= x, x = 0;
    if (y < 0)
        r.top -= y, y = 0;
    if (x + (r.right - r.left) > aWidth)
        r.right = r.left + (aWidth - x);
    if (y + (r.bottom - r.top) > aHeight)
        r.bottom = r.top + (aHeight - y);
    if (r.right <= r.left || r.bottom <= r.top)
        return;
    aProc(&r, aMetaP + y * aWidth + x, aWidth, aKernelP, info.diameter);
}

// ---------------------------------------------------------------------------------------------
// Copy

template <int Bpp>
static inline void _copyPixel(uint8_t *aDstP, const uint8_t *aSrcP, long)
{
    memcpy(aDstP, aSrcP, Bpp);
}

template <>
inline void _copyPixel<0>(uint8_t *aDstP, const uint8_t *aSrcP, long aBpp)
{
    memcpy(aDstP, aSrcP, static_cast<size_t>(aBpp));
}

// One row: eight field bytes at a time, so the common undisturbed stretch is a plain copy.
template <int Bpp>
static void _bltRow(uint8_t *aMetaP, const _b2dPixels &aSurf, uint8_t *aDstP, long aY, long aW, long aH, long aBpp)
{
    const uint8_t *srcRow = aSurf.bitsP + aY * aSurf.pitch;
    long x = 0;
    for (; x + 8 <= aW; x += 8) {
        uint64_t v8;
        memcpy(&v8, aMetaP + x, 8);
        if (v8 == 0) {
            memcpy(aDstP + x * aBpp, srcRow + x * aBpp, static_cast<size_t>(8 * aBpp));
            continue;
        }
        memset(aMetaP + x, 0, 8);
        if (x + 15 < aW && aY + 7 < aH) {
            // Inside: no displacement can reach the last column or row.
            for (long i = 0; i < 8; i++) {
                const long s = (v8 >> (8 * i) & 0xff) >> 5;
                _copyPixel<Bpp>(aDstP + (x + i) * aBpp, srcRow + s * aSurf.pitch + (x + i + s) * aBpp, aBpp);
            }
            continue;
        }
        for (long i = 0; i < 8; i++) {
            const long s = (v8 >> (8 * i) & 0xff) >> 5;
            const long sx = x + i + s < aW ? x + i + s : aW - 1;
            const long sy = aY + s < aH ? aY + s : aH - 1;
            _copyPixel<Bpp>(aDstP + (x + i) * aBpp, aSurf.bitsP + sy * aSurf.pitch + sx * aBpp, aBpp);
        }
    }
    for (; x < aW; x++) {
        const long s = aMetaP[x] >> 5;
        aMetaP[x] = 0;
        const long sx = x + s < aW ? x + s : aW - 1;
        const long sy = aY + s < aH ? aY + s : aH - 1;
        _copyPixel<Bpp>(aDstP + x * aBpp, aSurf.bitsP + sy * aSurf.pitch + sx * aBpp, aBpp);
    }
}

long _bltBackNormal(uint8_t *aMetaP, long aMetaWidth, long aMetaHeight, const _b2dPixels *aSurfP,
                    const _b2dPixels *aBackP)
{
    const long bpp = aBackP->bytesPerPixel;
    if (bpp != aSurfP->bytesPerPixel || bpp < 1 || bpp > 4) {
        memset(aMetaP, 0, static_cast<size_t>(aMetaWidth * aMetaHeight));
        return -1;
    }
    long w = aMetaWidth, h = aMetaHeight;
    if (w > BENCH2D_COPY_WIDTH)
        w = BENCH2D_COPY_WIDTH;
    if (h > BENCH2D_COPY_HEIGHT)
        h = BENCH2D_COPY_HEIGHT;
    if (w > aSurfP->width)
        w = aSurfP->width;
    if (h > aSurfP->height)
        h = aSurfP->height;
    if (w > aBackP->width)
        w = aBackP->width;
    if (h > aBackP->height)
        h = aBackP->height;
    if (w < 0)
        w = 0;
    if (h < 0)
        h = 0;

    for (long y = 0; y < h; y++) {
        uint8_t *meta = aMetaP + y * aMetaWidth;
        uint8_t *dst = aBackP->bitsP + y * aBackP->pitch;
        switch (bpp) {
        case 2:
            _bltRow<2>(meta, *aSurfP, dst, y, w, h, 2);
            break;
        case 4:
            _bltRow<4>(meta, *aSurfP, dst, y, w, h, 4);
            break;
        default:
            _bltRow<0>(meta, *aSurfP, dst, y, w, h, bpp);
            break;
        }
        // The rest of the row lies outside the picture: cleared all the same.
        memset(meta + w, 0, static_cast<size_t>(aMetaWidth - w));
    }
    if (h < aMetaHeight)
        memset(aMetaP + h * aMetaWidth, 0, static_cast<size_t>((aMetaHeight - h) * aMetaWidth));
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Statistics

void sBench2dTimeInit(_b2dTime *aTimeP)
{
    aTimeP->timeMin = 0x0FFFFFFFFFFFFFFFLL;
    aTimeP->timeMax = aTimeP->timeAvr = aTimeP->timeOld = aTimeP->timeCnt = 0;
}

void sBench2dTimeAdd(_b2dTime *aTimeP, int64_t aTicks)
{
    if (aTicks < aTimeP->timeMin)
        aTimeP->timeMin = aTicks;
    else if (aTicks > aTimeP->timeMax)
        aTimeP->timeMax = aTicks;
    aTimeP->timeAvr += aTicks;
    aTimeP->timeCnt += 1;
}

void sBench2dTimeReport(const _b2dTime *aTimeP, double aFactor, int64_t *aMinP, int64_t *aMaxP, int64_t *aAvrP,
                        int64_t *aCntP)
{
    if (aTimeP->timeAvr == 0 || aTimeP->timeCnt == 0) {
        *aMinP = *aMaxP = *aAvrP = *aCntP = 0;
        return;
    }
    int64_t mean = aTimeP->timeAvr / aTimeP->timeCnt;
    // Frames shorter than one tick on average: count them as one, not as a division by zero.
    if (mean < 1)
        mean = 1;
    *aMinP = aTimeP->timeMin;
    *aMaxP = aTimeP->timeMax;
    *aAvrP = static_cast<int64_t>(10000000.0 / static_cast<double>(mean) * aFactor);
    *aCntP = aTimeP->timeCnt;
}
