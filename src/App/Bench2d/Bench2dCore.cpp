#include "App/Bench2d/Bench2dCore.h"

#include <cstdlib>
#include <cstring>
#include <emmintrin.h>

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
//
// Every pixel of a row reads the background at (x + s, y + s) for s = 0..7. Per row the eight
// rows below are clamped to the picture once, so the displaced read is one table offset from the
// undisplaced one; only the last columns, whose reads may pass the right edge, clamp per pixel.
// The field is smooth, so most runs of pixels share one displacement: those are plain copies.

// Bytes from a pixel's own place in the background to its displaced source, per displacement.
struct _b2dRowOff {
    long off[8];
};

static void _rowOffsets(_b2dRowOff *aOffP, long aY, long aH, long aPitch, long aBpp)
{
    for (long s = 0; s < 8; s++) {
        const long sy = aY + s < aH ? aY + s : aH - 1;
        aOffP->off[s] = (sy - aY) * aPitch + s * aBpp;
    }
}

// The largest displacement a run of aRun pixels at aX may have with its reads inside the row.
static inline long _room(long aX, long aRun, long aW)
{
    return aW - aRun - aX;
}

// The right end of a row, pixel by pixel with the column clamped; field bytes cleared.
template <int Bpp>
static void _bltTail(uint8_t *aMetaP, const uint8_t *aSrcP, uint8_t *aDstP, const _b2dRowOff &aOff, long aX, long aW)
{
    for (long x = aX; x < aW; x++) {
        const long s = aMetaP[x] >> 5;
        aMetaP[x] = 0;
        const long over = x + s < aW ? 0 : x + s - (aW - 1);  // columns past the last one
        memcpy(aDstP + x * Bpp, aSrcP + x * Bpp + aOff.off[s] - over * Bpp, Bpp);
    }
}

// Plain code, eight pixels at a time: a run of eight with one displacement is one block copy.
template <int Bpp>
static void _spanNormal(uint8_t *aMetaP, const uint8_t *aSrcP, uint8_t *aDstP, const _b2dRowOff &aOff, long aW)
{
    long x = 0;
    for (; x + 8 <= aW; x += 8) {
        uint32_t lo, hi;
        memcpy(&lo, aMetaP + x, 4);
        memcpy(&hi, aMetaP + x + 4, 4);
        lo = lo >> 5 & 0x07070707u;
        hi = hi >> 5 & 0x07070707u;
        const uint8_t *src = aSrcP + x * Bpp;
        uint8_t *dst = aDstP + x * Bpp;
        const long room = _room(x, 8, aW);
        if (lo == hi && lo == (lo & 0xffu) * 0x01010101u) {
            if (static_cast<long>(lo & 0xffu) > room)
                break;
            memset(aMetaP + x, 0, 8);
            memcpy(dst, src + aOff.off[lo & 0xffu], 8 * Bpp);
            continue;
        }
        if (room < 7)  // the right end clamps per pixel
            break;
        memset(aMetaP + x, 0, 8);
        for (long i = 0; i < 4; i++, lo >>= 8)
            memcpy(dst + i * Bpp, src + i * Bpp + aOff.off[lo & 0xffu], Bpp);
        for (long i = 4; i < 8; i++, hi >>= 8)
            memcpy(dst + i * Bpp, src + i * Bpp + aOff.off[hi & 0xffu], Bpp);
    }
    _bltTail<Bpp>(aMetaP, aSrcP, aDstP, aOff, x, aW);
}

static void _spanNormalAny(uint8_t *aMetaP, const uint8_t *aSrcP, uint8_t *aDstP, const _b2dRowOff &aOff, long aW,
                           long aBpp)
{
    switch (aBpp) {
    case 1:
        _spanNormal<1>(aMetaP, aSrcP, aDstP, aOff, aW);
        break;
    case 2:
        _spanNormal<2>(aMetaP, aSrcP, aDstP, aOff, aW);
        break;
    case 3:
        _spanNormal<3>(aMetaP, aSrcP, aDstP, aOff, aW);
        break;
    default:
        _spanNormal<4>(aMetaP, aSrcP, aDstP, aOff, aW);
        break;
    }
}

// SSE2, sixteen pixels at a time: a run of one displacement is Bpp vector copies; a mixed run
// gathers each displacement present under its byte mask.
#define B2D_TARGET_SSE2 __attribute__((target("sse2")))

template <int Bpp>
B2D_TARGET_SSE2 static inline void _maskFor(__m128i aEq, __m128i *aMaskP)
{
    if (Bpp == 1) {
        aMaskP[0] = aEq;
    } else {
        const __m128i lo = _mm_unpacklo_epi8(aEq, aEq), hi = _mm_unpackhi_epi8(aEq, aEq);
        if (Bpp == 2) {
            aMaskP[0] = lo, aMaskP[1] = hi;
        } else {
            aMaskP[0] = _mm_unpacklo_epi16(lo, lo), aMaskP[1] = _mm_unpackhi_epi16(lo, lo);
            aMaskP[2] = _mm_unpacklo_epi16(hi, hi), aMaskP[3] = _mm_unpackhi_epi16(hi, hi);
        }
    }
}

template <int Bpp>
B2D_TARGET_SSE2 static void _spanSSE2(uint8_t *aMetaP, const uint8_t *aSrcP, uint8_t *aDstP, const _b2dRowOff &aOff,
                                      long aW)
{
    alignas(16) static const uint8_t each[8][16] = {
        {0}, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, {2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2},
        {3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3}, {4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4},
        {5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5}, {6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6},
        {7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7},
    };
    const __m128i seven = _mm_set1_epi8(7), zero = _mm_setzero_si128();
    long x = 0;
    for (; x + 16 <= aW; x += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(aMetaP + x));
        const __m128i s = _mm_and_si128(_mm_srli_epi16(v, 5), seven);
        const long room = _room(x, 16, aW);
        // At the right end the block goes by vector only when no read passes the last column.
        if (room < 7 && _mm_movemask_epi8(_mm_cmpgt_epi8(s, _mm_set1_epi8(static_cast<char>(room)))) != 0)
            break;
        _mm_storeu_si128(reinterpret_cast<__m128i *>(aMetaP + x), zero);
        const unsigned s0 = static_cast<unsigned>(_mm_cvtsi128_si32(s)) & 0xffu;
        const uint8_t *src = aSrcP + x * Bpp;
        __m128i *dst = reinterpret_cast<__m128i *>(aDstP + x * Bpp);
        const __m128i eq0 = _mm_cmpeq_epi8(s, *reinterpret_cast<const __m128i *>(each[s0]));
        if (_mm_movemask_epi8(eq0) == 0xffff) {
            const __m128i *p = reinterpret_cast<const __m128i *>(src + aOff.off[s0]);
            for (int k = 0; k < Bpp; k++)
                _mm_storeu_si128(dst + k, _mm_loadu_si128(p + k));
            continue;
        }
        __m128i acc[Bpp];
        for (int k = 0; k < Bpp; k++)
            acc[k] = zero;
        for (unsigned d = 0; d < 8; d++) {
            const __m128i eq = _mm_cmpeq_epi8(s, *reinterpret_cast<const __m128i *>(each[d]));
            if (_mm_movemask_epi8(eq) == 0)
                continue;
            __m128i mask[Bpp];
            _maskFor<Bpp>(eq, mask);
            const __m128i *p = reinterpret_cast<const __m128i *>(src + aOff.off[d]);
            for (int k = 0; k < Bpp; k++)
                acc[k] = _mm_or_si128(acc[k], _mm_and_si128(_mm_loadu_si128(p + k), mask[k]));
        }
        for (int k = 0; k < Bpp; k++)
            _mm_storeu_si128(dst + k, acc[k]);
    }
    _bltTail<Bpp>(aMetaP, aSrcP, aDstP, aOff, x, aW);
}

B2D_TARGET_SSE2 static void _spanSSE2Any(uint8_t *aMetaP, const uint8_t *aSrcP, uint8_t *aDstP, const _b2dRowOff &aOff,
                                         long aW, long aBpp)
{
    switch (aBpp) {
    case 1:
        _spanSSE2<1>(aMetaP, aSrcP, aDstP, aOff, aW);
        break;
    case 2:
        _spanSSE2<2>(aMetaP, aSrcP, aDstP, aOff, aW);
        break;
    case 4:
        _spanSSE2<4>(aMetaP, aSrcP, aDstP, aOff, aW);
        break;
    default:  // three-byte pixels do not split into vectors
        _spanNormal<3>(aMetaP, aSrcP, aDstP, aOff, aW);
        break;
    }
}

typedef void (*_b2dSpanProc)(uint8_t *aMetaP, const uint8_t *aSrcP, uint8_t *aDstP, const _b2dRowOff &aOff, long aW,
                             long aBpp);

static long _bltBack(_b2dSpanProc aSpan, uint8_t *aMetaP, long aMetaWidth, long aMetaHeight, const _b2dPixels *aSurfP,
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

    _b2dRowOff off;
    for (long y = 0; y < h; y++) {
        uint8_t *meta = aMetaP + y * aMetaWidth;
        const uint8_t *src = aSurfP->bitsP + y * aSurfP->pitch;
        uint8_t *dst = aBackP->bitsP + y * aBackP->pitch;
        _rowOffsets(&off, y, h, aSurfP->pitch, bpp);
        aSpan(meta, src, dst, off, w, bpp);
        // The rest of the row lies outside the picture: cleared all the same.
        memset(meta + w, 0, static_cast<size_t>(aMetaWidth - w));
    }
    if (h < aMetaHeight)
        memset(aMetaP + h * aMetaWidth, 0, static_cast<size_t>((aMetaHeight - h) * aMetaWidth));
    return 0;
}

long _bltBackNormal(uint8_t *aMetaP, long aMetaWidth, long aMetaHeight, const _b2dPixels *aSurfP,
                    const _b2dPixels *aBackP)
{
    return _bltBack(_spanNormalAny, aMetaP, aMetaWidth, aMetaHeight, aSurfP, aBackP);
}

long _bltBackSSE2(uint8_t *aMetaP, long aMetaWidth, long aMetaHeight, const _b2dPixels *aSurfP,
                  const _b2dPixels *aBackP)
{
    return _bltBack(_spanSSE2Any, aMetaP, aMetaWidth, aMetaHeight, aSurfP, aBackP);
}

_bltProc sBench2dSelectBlt(uint32_t aCpuOption)
{
    return (aCpuOption & BENCH2D_OPT_SSE2) ? _bltBackSSE2 : _bltBackNormal;
}

// ---------------------------------------------------------------------------------------------
// Statistics

void sBench2dTimeReport(const _mathsTime *aTimeP, double aFactor, int64_t *aMinP, int64_t *aMaxP, int64_t *aAvrP,
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
