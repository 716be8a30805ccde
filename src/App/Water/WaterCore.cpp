#include "App/Water/WaterCore.h"

#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <xmmintrin.h>

#include "Library/Maths/MathsLib.h"
#include "Library/Vec/VECLIB.h"

const int8_t waterPosOffset[8][2] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}, {-1, -1}, {1, -1}, {-1, 1}, {1, 1}};

static const double _wavePi = 3.14159265358979323846;
static const double _waveSlope = 0.2857142984867096;  // 1 / 3.5 as the float stores it
static const float _waveArg = static_cast<float>(_wavePi * _waveSlope);

// ---------------------------------------------------------------------------------------------
// Spring step

void _conputWaveNormal(const _waterVertex *aVertP, _wave *aWaveP, long aWidth, long aHeight)
{
    for (long z = 0; z < aHeight; z++) {
        for (long x = 0; x < aWidth; x++) {
            const _waterVertex &v = aVertP[z * aWidth + x];
            float f = 0.0f;
            for (const int8_t *o : waterPosOffset) {
                const long nx = x + o[0], nz = z + o[1];
                if (nx < 0 || nx >= aWidth || nz < 0 || nz >= aHeight)
                    continue;
                const _waterVertex &n = aVertP[nz * aWidth + nx];
                const float dx = v.x - n.x, dy = v.y - n.y, dz = v.z - n.z;
                const float len = gMathsSqrtPtr(dx * dx + dy * dy + dz * dz);
                f += len * static_cast<float>(std::sin(_wavePi * (dy / len) * _waveSlope));
            }
            aWaveP[z * aWidth + x].pos.y -= f;
        }
    }
}

// The packed variants work on the positions as three planes and sum the forces direction by
// direction, so every vertex still adds its neighbours in the order of waterPosOffset. The
// planes have room for a pair read past the last vertex.
struct _wavePlanes {
    float x[WATER_VERTEX_CNT + 4];
    float y[WATER_VERTEX_CNT + 4];
    float z[WATER_VERTEX_CNT + 4];
    float f[WATER_VERTEX_CNT + 4];
};
enum : long { _PLANE = (WATER_VERTEX_CNT + 4) * 4 };  // bytes from one plane to the next
static_assert(offsetof(_wavePlanes, y) == _PLANE && offsetof(_wavePlanes, z) == 2 * _PLANE, "plane offsets");

static void _waveSplit(const _waterVertex *aVertP, long aCnt, _wavePlanes *aPlP)
{
    for (long i = 0; i < aCnt; i++) {
        aPlP->x[i] = aVertP[i].x;
        aPlP->y[i] = aVertP[i].y;
        aPlP->z[i] = aVertP[i].z;
        aPlP->f[i] = 0.0f;
    }
    for (long i = aCnt; i < aCnt + 4; i++)
        aPlP->x[i] = aPlP->y[i] = aPlP->z[i] = aPlP->f[i] = 0.0f;
}

static void _waveApply(const _wavePlanes *aPlP, _wave *aWaveP, long aCnt)
{
    for (long i = 0; i < aCnt; i++)
        aWaveP[i].pos.y -= aPlP->f[i];
}

// One run of a direction: columns x0..x1-1 of row z against row z + dz shifted by dx.
struct _waveRun {
    long from;  // first vertex
    long to;    // its neighbour
    long cnt;
};

enum { _RUN_MAX = 8 * WATER_GRID };

// Every run of every direction, directions in order; returns the count.
static long _waveRuns(long aWidth, long aHeight, _waveRun *aRunP)
{
    long n = 0;
    for (const int8_t *o : waterPosOffset) {
        const long x0 = o[0] < 0 ? 1 : 0;
        const long x1 = o[0] > 0 ? aWidth - 1 : aWidth;
        for (long z = 0; z < aHeight; z++) {
            const long nz = z + o[1];
            if (nz < 0 || nz >= aHeight)
                continue;
            aRunP[n++] = _waveRun{z * aWidth + x0, nz * aWidth + x0 + o[0], x1 - x0};
        }
    }
    return n;
}

// What the packed variants share before their runs: the net in planes and its runs (the count),
// or -1 once the plain way has run for a net wider than aMaxWidth or outside the planes.
static long _wavePrepare(const _waterVertex *aVertP, _wave *aWaveP, long aWidth, long aHeight, long aMaxWidth,
                         _wavePlanes *aPlP, _waveRun *aRunP)
{
    const long cnt = aWidth * aHeight;
    if (cnt > WATER_VERTEX_CNT || aWidth < 2 || aWidth > aMaxWidth || aHeight < 1 || aHeight > WATER_GRID) {
        _conputWaveNormal(aVertP, aWaveP, aWidth, aHeight);
        return -1;
    }
    _waveSplit(aVertP, cnt, aPlP);
    return _waveRuns(aWidth, aHeight, aRunP);
}

MATHS_TARGET_SSE static inline __m128 _sseWaveTerm(__m128 aDx, __m128 aDy, __m128 aDz)
{
    const __m128 len = _mm_sqrt_ps(_mm_add_ps(_mm_add_ps(_mm_mul_ps(aDx, aDx), _mm_mul_ps(aDy, aDy)),
                                              _mm_mul_ps(aDz, aDz)));
    const __m128 t = _mm_mul_ps(_mm_div_ps(aDy, len), _mm_set1_ps(_waveArg));
    // |t| <= π/3.5: the odd series to t^9 is below float rounding there.
    const __m128 t2 = _mm_mul_ps(t, t);
    __m128 p = _mm_set1_ps(1.0f / 362880.0f);
    p = _mm_add_ps(_mm_mul_ps(p, t2), _mm_set1_ps(-1.0f / 5040.0f));
    p = _mm_add_ps(_mm_mul_ps(p, t2), _mm_set1_ps(1.0f / 120.0f));
    p = _mm_add_ps(_mm_mul_ps(p, t2), _mm_set1_ps(-1.0f / 6.0f));
    p = _mm_mul_ps(_mm_mul_ps(p, t2), t);
    return _mm_mul_ps(len, _mm_add_ps(t, p));
}

MATHS_TARGET_SSE void _conputWaveSSE(const _waterVertex *aVertP, _wave *aWaveP, long aWidth, long aHeight)
{
    static _wavePlanes pl;
    _waveRun runs[_RUN_MAX];
    const long runCnt = _wavePrepare(aVertP, aWaveP, aWidth, aHeight, WATER_VERTEX_CNT, &pl, runs);
    if (runCnt < 0)
        return;
    for (long ri = 0; ri < runCnt; ri++) {
        const _waveRun &r = runs[ri];
        long i = 0;
        for (; i + 4 <= r.cnt; i += 4) {
            const long a = r.from + i, b = r.to + i;
            const __m128 t = _sseWaveTerm(_mm_sub_ps(_mm_loadu_ps(pl.x + a), _mm_loadu_ps(pl.x + b)),
                                          _mm_sub_ps(_mm_loadu_ps(pl.y + a), _mm_loadu_ps(pl.y + b)),
                                          _mm_sub_ps(_mm_loadu_ps(pl.z + a), _mm_loadu_ps(pl.z + b)));
            _mm_storeu_ps(pl.f + a, _mm_add_ps(_mm_loadu_ps(pl.f + a), t));
        }
        // The rest lane by lane through the same arithmetic.
        for (; i < r.cnt; i++) {
            const long a = r.from + i, b = r.to + i;
            const __m128 t = _sseWaveTerm(_mm_set_ss(pl.x[a] - pl.x[b]), _mm_set_ss(pl.y[a] - pl.y[b]),
                                          _mm_set_ss(pl.z[a] - pl.z[b]));
            pl.f[a] += _mm_cvtss_f32(t);
        }
    }
    _waveApply(&pl, aWaveP, aWidth * aHeight);
}

// 3DNow!: a packed block per run gives each pair's length and sine argument from the estimates
// (the high lane reaches its own estimate by unpacking, or with Enhanced 3DNow! by swapping);
// the FPU then takes the sines. A run of odd length computes one lane past its end, which the
// planes' padding makes harmless and nothing reads.
static const float _waveArgPair[2] = {_waveArg, _waveArg};

#define WAVE_3DNOW_BLOCK(HIGH_SQ, HIGH_L)                                                          \
    __asm__ __volatile__("1:\n\t"                                                                  \
                         "movq     (%0), %%mm0\n\t"                                                \
                         "pfsub    (%1), %%mm0\n\t"                                                \
                         "movq     %c[py](%0), %%mm1\n\t"                                          \
                         "pfsub    %c[py](%1), %%mm1\n\t"                                          \
                         "movq     %c[pz](%0), %%mm2\n\t"                                          \
                         "pfsub    %c[pz](%1), %%mm2\n\t"                                          \
                         "pfmul    %%mm0, %%mm0\n\t"                                               \
                         "pfmul    %%mm2, %%mm2\n\t"                                               \
                         "movq     %%mm1, %%mm3\n\t"                                               \
                         "pfmul    %%mm3, %%mm3\n\t"                                               \
                         "pfadd    %%mm3, %%mm0\n\t"                                               \
                         "pfadd    %%mm2, %%mm0\n\t" /* squared length */                          \
                         "pfrsqrt  %%mm0, %%mm4\n\t"                                               \
                         HIGH_SQ                     /* mm5 = high lane in the low one */          \
                         "pfrsqrt  %%mm5, %%mm5\n\t"                                               \
                         "punpckldq %%mm5, %%mm4\n\t"                                              \
                         "pfmul    %%mm4, %%mm0\n\t" /* length */                                  \
                         "pfrcp    %%mm0, %%mm4\n\t"                                               \
                         HIGH_L                      /* mm5 = high length in the low lane */       \
                         "pfrcp    %%mm5, %%mm5\n\t"                                               \
                         "punpckldq %%mm5, %%mm4\n\t"                                              \
                         "pfmul    %%mm4, %%mm1\n\t" /* dy / length */                             \
                         "pfmul    %[k], %%mm1\n\t"                                                \
                         "movq     %%mm0, (%2)\n\t"                                                \
                         "movq     %%mm1, 256(%2)\n\t"                                             \
                         "addl     $8, %0\n\t"                                                     \
                         "addl     $8, %1\n\t"                                                     \
                         "addl     $8, %2\n\t"                                                     \
                         "decl     %3\n\t"                                                         \
                         "jnz      1b\n\t"                                                         \
                         "femms\n\t"                                                               \
                         : "+r"(a), "+r"(b), "+r"(out), "+r"(pairs)                                \
                         : [k] "m"(_waveArgPair), [py] "i"(_PLANE), [pz] "i"(2 * _PLANE)               \
                         : "memory", "cc", MATHS_X87_CLOBBERS)

static inline float _fsin(float aX)
{
    long double r = aX;
    __asm__("fsin" : "+t"(r));
    return static_cast<float>(r);
}

// Length (0..63) and argument (64..127) of one run; runs are at most 50 long.
struct _waveRunOut {
    float len[64];
    float arg[64];
};
static_assert(offsetof(_waveRunOut, arg) == 256, "argument offset used by the 3DNow! block");

template <bool Enhanced>
static void _conputWave3DNowAny(const _waterVertex *aVertP, _wave *aWaveP, long aWidth, long aHeight)
{
    static _wavePlanes pl;
    _waveRun runs[_RUN_MAX];
    const long runCnt = _wavePrepare(aVertP, aWaveP, aWidth, aHeight, 64, &pl, runs);
    if (runCnt < 0)
        return;
    for (long ri = 0; ri < runCnt; ri++) {
        const _waveRun &r = runs[ri];
        _waveRunOut o;
        const float *a = pl.x + r.from;
        const float *b = pl.x + r.to;
        float *out = o.len;
        long pairs = (r.cnt + 1) / 2;
        if (Enhanced)
            WAVE_3DNOW_BLOCK("pswapd   %%mm0, %%mm5\n\t", "pswapd   %%mm0, %%mm5\n\t");
        else
            WAVE_3DNOW_BLOCK("movq     %%mm0, %%mm5\n\tpunpckhdq %%mm5, %%mm5\n\t",
                             "movq     %%mm0, %%mm5\n\tpunpckhdq %%mm5, %%mm5\n\t");
        float *f = pl.f + r.from;
        for (long i = 0; i < r.cnt; i++)
            f[i] += o.len[i] * _fsin(o.arg[i]);
    }
    _waveApply(&pl, aWaveP, aWidth * aHeight);
}

void _conputWave3DNow(const _waterVertex *aVertP, _wave *aWaveP, long aWidth, long aHeight)
{
    _conputWave3DNowAny<false>(aVertP, aWaveP, aWidth, aHeight);
}

void _conputWaveE3DNow(const _waterVertex *aVertP, _wave *aWaveP, long aWidth, long aHeight)
{
    _conputWave3DNowAny<true>(aVertP, aWaveP, aWidth, aHeight);
}

_waterWaveProc sWaterSelectWave(uint32_t aCpuOption)
{
    _waterWaveProc proc = _conputWaveNormal;
    if (aCpuOption & WATER_OPT_3DNOW)
        proc = _conputWave3DNow;
    else if (aCpuOption & WATER_OPT_SSE)
        proc = _conputWaveSSE;
    if (aCpuOption & WATER_OPT_E3DNOW)
        proc = _conputWaveE3DNow;
    return proc;
}

// ---------------------------------------------------------------------------------------------
// Grid

void sWaterMakeIndex(uint16_t *aIndexP)
{
    uint16_t *p = aIndexP;
    for (int i = 0; i < WATER_GRID - 1; i++) {
        for (int j = 0; j < WATER_GRID - 1; j++) {
            const uint16_t o = static_cast<uint16_t>(i * WATER_GRID + j);
            *p++ = o;
            *p++ = static_cast<uint16_t>(o + 1);
            *p++ = static_cast<uint16_t>(o + WATER_GRID);
            *p++ = static_cast<uint16_t>(o + 1);
            *p++ = static_cast<uint16_t>(o + WATER_GRID + 1);
            *p++ = static_cast<uint16_t>(o + WATER_GRID);
        }
    }
}

long sWaterDispZip(long aScreenWidth, long aScreenHeight, float *aRendWidthP, float *aRendHeightP)
{
    long zip;
    float scale;
    switch (aScreenWidth) {
    case 640:
    case 800:
    case 960:
    case 1024:
        zip = 2, scale = 0.5f;
        break;
    case 1152:
    case 1280:
        zip = 4, scale = 0.25f;
        break;
    default:
        zip = 8, scale = 0.125f;
        break;
    }
    *aRendWidthP = static_cast<float>(aScreenWidth) * scale;
    *aRendHeightP = static_cast<float>(aScreenHeight) * scale;
    return zip;
}

void sWaterRestVertex(_waterVertex *aVertP, const D3DVECTOR *aTransP, float aRange)
{
    const float step = 1.0f / 49.0f;
    for (int z = 0; z < WATER_GRID; z++) {
        for (int x = 0; x < WATER_GRID; x++) {
            _waterVertex &v = aVertP[z * WATER_GRID + x];
            // The jitter is scaled for a 15-bit rand(), whatever the library's range.
            const float r = static_cast<float>(rand() & 0x7fff);
            v.x = static_cast<float>(x) * aRange + aTransP->x;
            v.y = r * (0.005f / 32767.0f) - 0.0025f + aTransP->y;
            v.z = static_cast<float>(z) * aRange * -1.0f + aTransP->z;
            v.nx = 0.0f, v.ny = 1.0f, v.nz = 0.0f;
            v.tu = static_cast<float>(x) * step;
            v.tv = static_cast<float>(z) * step;
        }
    }
}

long sWaterDrop(_waterVertex *aVertP, long aPosX, long aPosY, float aPower, float aTransY)
{
    if (aPosX < 1 || aPosX > WATER_GRID - 2 || aPosY < 1 || aPosY > WATER_GRID - 2)
        return 0;
    aVertP[aPosY * WATER_GRID + aPosX].y = aPower + aTransY;
    return 1;
}

// ---------------------------------------------------------------------------------------------
// Texture coordinates

float sWaterRotTransPers(const D3DMATRIX *aScreenMatP, float aVanishX, float aVanishY, const D3DVECTOR *aSrcP,
                         D3DVECTOR *aDstP)
{
    const D3DMATRIX &m = *aScreenMatP;
    const float sx = aSrcP->x, sy = aSrcP->y, sz = aSrcP->z;
    const float x = sx * m._11 + sy * m._21 + sz * m._31 + m._41;
    const float y = sx * m._12 + sy * m._22 + sz * m._32 + m._42;
    const float z = sx * m._13 + sy * m._23 + sz * m._33 + m._43;
    const float w = std::fabs(sx * m._14 + sy * m._24 + sz * m._34 + m._44);
    aDstP->x = (x / w + 1.0f) * aVanishX;
    aDstP->y = (1.0f - y / w) * aVanishY;
    aDstP->z = z;
    return w;
}

// A coordinate that is not a number (a vertex in the eye's plane) counts as below the image.
static inline float _clampLow(float aV, float aMax)
{
    if (!(aV >= 0.0f))
        return 0.1f;
    return aV > aMax ? aMax : aV;
}

void sWaterTexUV(const _waterTexParam *aParamP, _waterVertex *aVertP, const D3DVECTOR *aNormalP, float aRef)
{
    const _waterTexParam &p = *aParamP;
    D3DVECTOR src, s;
    src.x = aVertP->x, src.y = aVertP->y, src.z = aVertP->z;
    sWaterRotTransPers(&p.screenMat, p.vanishX, p.vanishY, &src, &s);
    s.x /= p.dispZip;
    s.y /= p.dispZip;

    float tu, tv;
    if (s.x < 0.0f)
        tu = 0.1f;
    else if (s.x > p.rendWidth)
        tu = p.ratioWidth;
    else
        tu = s.x / p.texRange;
    if (s.y < 0.0f)
        tv = 0.1f;
    else if (s.y > p.rendHeight)
        tv = p.ratioHeight;
    else
        tv = s.y / p.texRange;

    const float cx = -p.eyePos.x, cz = -p.eyePos.z;
    const float k = 1.0f - aRef;
    const float rx = k * (cx * aRef) * aNormalP->x + cx;
    const float rz = k * (cz * aRef) * aNormalP->z + cz;
    aVertP->tu = _clampLow(tu + 0.0003f * rx, p.ratioWidth);
    aVertP->tv = _clampLow(tv + 0.0003f * rz, p.ratioHeight);
}

void sWaterMove(_waterVertex *aVertP, const _wave *aWavesP, const D3DVECTOR *aNormalsP,
                const _waterTexParam *aParamP)
{
    for (int i = 0; i < WATER_VERTEX_CNT; i++) {
        aVertP[i].y += 0.1f * aWavesP[i].pos.y;
        sWaterTexUV(aParamP, &aVertP[i], &aNormalsP[i], WATER_REFRACT);
    }
}

static inline float _clamp01(float aV)
{
    return aV < 0.0f ? 0.0f : (aV > 1.0f ? 1.0f : aV);
}

void sWaterSkyUV(_waterVertex *aSkyP, const D3DVECTOR *aNormalsP)
{
    const float step = 1.0f / 49.0f;
    for (int z = 0; z < WATER_GRID; z++) {
        for (int x = 0; x < WATER_GRID; x++) {
            _waterVertex &v = aSkyP[z * WATER_GRID + x];
            const D3DVECTOR &n = aNormalsP[z * WATER_GRID + x];
            v.tu = _clamp01(static_cast<float>(x) * step + (n.x - v.nx) * 3.9f);
            v.tv = _clamp01(static_cast<float>(z) * step + (n.y - v.ny) * 3.9f);
        }
    }
}

void sWaterNormals(_waterVertex *aVertP, const uint16_t *aIndexP, D3DVECTOR *aNormalsP)
{
    for (int t = 0; t < WATER_INDEX_CNT; t += 3) {
        const _waterVertex &a = aVertP[aIndexP[t]];
        const _waterVertex &b = aVertP[aIndexP[t + 1]];
        const _waterVertex &c = aVertP[aIndexP[t + 2]];
        D3DVECTOR e1, e2, n;
        e1.x = b.x - a.x, e1.y = b.y - a.y, e1.z = b.z - a.z;
        e2.x = c.x - b.x, e2.y = c.y - b.y, e2.z = c.z - b.z;
        sVecCrossProduct(&e1, &e2, &n);
        sVecNormalize(&n);
        for (int k = 0; k < 3; k++) {
            D3DVECTOR &acc = aNormalsP[aIndexP[t + k]];
            acc.x += n.x, acc.y += n.y, acc.z += n.z;
        }
    }
    for (int i = 0; i < WATER_VERTEX_CNT; i++) {
        D3DVECTOR n = aNormalsP[i];
        sVecNormalize(&n);
        _waterVertex &v = aVertP[i];
        aNormalsP[i].x = v.nx, aNormalsP[i].y = v.ny, aNormalsP[i].z = v.nz;
        v.nx = n.x, v.ny = n.y, v.nz = n.z;
    }
}

float sWaterFitTexture(uint32_t aMaxWidth, uint32_t aMaxHeight, long *aZipP, float *aRendWidthP,
                       float *aRendHeightP)
{
    uint32_t side = static_cast<uint32_t>(WATER_TEX_RANGE);
    while (side > 1 && (side > aMaxWidth || side > aMaxHeight))
        side >>= 1;
    const uint32_t step = static_cast<uint32_t>(WATER_TEX_RANGE) / side;
    *aZipP *= static_cast<long>(step);
    *aRendWidthP /= static_cast<float>(step);
    *aRendHeightP /= static_cast<float>(step);
    return static_cast<float>(side);
}
