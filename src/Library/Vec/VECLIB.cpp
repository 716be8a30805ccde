#include "Library/Vec/VECLIB.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <xmmintrin.h>

#include "Library/Maths/MathsLib.h"
#include "Library/Matrix/MATLIB.h"

void (*sVecNormalize)(D3DVECTOR *aVecP) = sVecNormalizeNormal;
void (*sVecDotProduct)(const D3DVECTOR *aAP, const D3DVECTOR *aBP,
                       float *aOutP) = sVecDotProductNormal;
float (*sVecDotProductRet)(const D3DVECTOR *aAP, const D3DVECTOR *aBP) = sVecDotProductRetNormal;
void (*sVecCrossProduct)(const D3DVECTOR *aAP, const D3DVECTOR *aBP,
                         D3DVECTOR *aOutP) = sVecCrossProductNormal;
float (*sVecMagnitude)(const D3DVECTOR *aAP) = sVecMagnitudeNormal;

struct _vecFuncRow {
    void (*normalizeP)(D3DVECTOR *);
    void (*dotProductP)(const D3DVECTOR *, const D3DVECTOR *, float *);
    float (*dotProductRetP)(const D3DVECTOR *, const D3DVECTOR *);
    void (*crossProductP)(const D3DVECTOR *, const D3DVECTOR *, D3DVECTOR *);
    float (*magnitudeP)(const D3DVECTOR *);
};

// Indexed by _mathsVariant.
static const _vecFuncRow _vecFuncTbl[3] = {
    {sVecNormalizeNormal, sVecDotProductNormal, sVecDotProductRetNormal, sVecCrossProductNormal,
     sVecMagnitudeNormal},
    {sVecNormalizeSSE, sVecDotProductSSE, sVecDotProductRetNormal, sVecCrossProductSSE,
     sVecMagnitudeNormal},
    {sVecNormalize3DNow, sVecDotProduct3DNow, sVecDotProductRet3DNow, sVecCrossProduct3DNow,
     sVecMagnitude3DNow},
};

void sVecSetFuncPtr(DWORD aCpuOption)
{
    const _vecFuncRow &row = _vecFuncTbl[sMathsGetVariant(aCpuOption)];
    sVecNormalize = row.normalizeP;
    sVecDotProduct = row.dotProductP;
    sVecDotProductRet = row.dotProductRetP;
    sVecCrossProduct = row.crossProductP;
    sVecMagnitude = row.magnitudeP;
}

// ---------------------------------------------------------------------------------------------
// Normal: x87 arithmetic, intermediate sums in extended precision.

void sVecNormalizeNormal(D3DVECTOR *aVecP)
{
    const float len =
        gMathsSqrtPtr(aVecP->x * aVecP->x + aVecP->y * aVecP->y + aVecP->z * aVecP->z);
    if (len == 0.0f)
        return;
    aVecP->x /= len;
    aVecP->y /= len;
    aVecP->z /= len;
}

void sVecDotProductNormal(const D3DVECTOR *aAP, const D3DVECTOR *aBP, float *aOutP)
{
    *aOutP = aAP->x * aBP->x + aAP->y * aBP->y + aAP->z * aBP->z;
}

float sVecDotProductRetNormal(const D3DVECTOR *aAP, const D3DVECTOR *aBP)
{
    return aAP->x * aBP->x + aAP->y * aBP->y + aAP->z * aBP->z;
}

void sVecCrossProductNormal(const D3DVECTOR *aAP, const D3DVECTOR *aBP, D3DVECTOR *aOutP)
{
    const float x = aAP->y * aBP->z - aAP->z * aBP->y;
    const float y = aAP->z * aBP->x - aAP->x * aBP->z;
    const float z = aAP->x * aBP->y - aAP->y * aBP->x;
    aOutP->x = x;
    aOutP->y = y;
    aOutP->z = z;
}

float sVecMagnitudeNormal(const D3DVECTOR *aAP)
{
    const float len = gMathsSqrtPtr(aAP->x * aAP->x + aAP->y * aAP->y + aAP->z * aAP->z);
    return std::isnan(len) ? 0.0f : len;
}

// ---------------------------------------------------------------------------------------------
// SSE: packed single precision. A vector is loaded as (x, y, z, 0) without touching memory
// past z.

MATHS_TARGET_SSE static inline __m128 _sseLoad3(const D3DVECTOR *aP)
{
    const __m128 xy = _mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64 *>(&aP->x));
    return _mm_movelh_ps(xy, _mm_load_ss(&aP->z));
}

MATHS_TARGET_SSE static inline void _sseStore3(D3DVECTOR *aP, __m128 aV)
{
    _mm_storel_pi(reinterpret_cast<__m64 *>(&aP->x), aV);
    _mm_store_ss(&aP->z, _mm_movehl_ps(aV, aV));
}

// x + y + z of (x, y, z, w) into lane 0.
MATHS_TARGET_SSE static inline __m128 _sseSum3(__m128 aV)
{
    const __m128 xy = _mm_add_ss(aV, _mm_shuffle_ps(aV, aV, _MM_SHUFFLE(1, 1, 1, 1)));
    return _mm_add_ss(xy, _mm_movehl_ps(aV, aV));
}

MATHS_TARGET_SSE void sVecNormalizeSSE(D3DVECTOR *aVecP)
{
    alignas(16) static const uint32_t absMask[4] = {0x7fffffffu, 0x7fffffffu, 0x7fffffffu,
                                                    0x7fffffffu};
    const __m128 v = _sseLoad3(aVecP);
    __m128 s = _sseSum3(_mm_mul_ps(v, v));
    s = _mm_shuffle_ps(s, s, _MM_SHUFFLE(0, 0, 0, 0));
    __m128 r = _mm_mul_ps(v, _mm_rsqrt_ps(s));
    // A zero length gives 0·inf = NaN; a length that underflows gives inf. Both become 0.
    const __m128 finite =
        _mm_cmplt_ps(_mm_and_ps(r, _mm_load_ps(reinterpret_cast<const float *>(absMask))),
                     _mm_set1_ps(INFINITY));
    r = _mm_and_ps(r, finite);
    _sseStore3(aVecP, r);
}

MATHS_TARGET_SSE void sVecDotProductSSE(const D3DVECTOR *aAP, const D3DVECTOR *aBP, float *aOutP)
{
    _mm_store_ss(aOutP, _sseSum3(_mm_mul_ps(_sseLoad3(aAP), _sseLoad3(aBP))));
}

MATHS_TARGET_SSE void sVecCrossProductSSE(const D3DVECTOR *aAP, const D3DVECTOR *aBP,
                                          D3DVECTOR *aOutP)
{
    const __m128 a = _sseLoad3(aAP);
    const __m128 b = _sseLoad3(aBP);
    const __m128 aYZX = _mm_shuffle_ps(a, a, _MM_SHUFFLE(3, 0, 2, 1));
    const __m128 bZXY = _mm_shuffle_ps(b, b, _MM_SHUFFLE(3, 1, 0, 2));
    const __m128 aZXY = _mm_shuffle_ps(a, a, _MM_SHUFFLE(3, 1, 0, 2));
    const __m128 bYZX = _mm_shuffle_ps(b, b, _MM_SHUFFLE(3, 0, 2, 1));
    _sseStore3(aOutP, _mm_sub_ps(_mm_mul_ps(aYZX, bZXY), _mm_mul_ps(aZXY, bYZX)));
}

// ---------------------------------------------------------------------------------------------
// 3DNow!: each routine is one block of packed arithmetic that reads all of its input before it
// writes, and ends with femms. (x, y) travels in one MMX register, (z, 0) in another.

void sVecNormalize3DNow(D3DVECTOR *aVecP)
{
    __asm__ __volatile__("movq     (%0), %%mm0\n\t"  // x y
                         "movd     8(%0), %%mm1\n\t" // z 0
                         "movq     %%mm0, %%mm2\n\t"
                         "pfmul    %%mm2, %%mm2\n\t"
                         "movq     %%mm1, %%mm3\n\t"
                         "pfmul    %%mm3, %%mm3\n\t"
                         "pfacc    %%mm2, %%mm2\n\t" // x²+y² in both halves
                         "pfadd    %%mm3, %%mm2\n\t" // s in the low half
                         "movd     %%mm2, %%eax\n\t"
                         "testl    %%eax, %%eax\n\t" // bit pattern 0: leave the vector as it is
                         "jz       1f\n\t"
                         "punpckldq %%mm2, %%mm2\n\t" // s s
                         // 1/√s: estimate plus one Newton-Raphson step
                         "pfrsqrt  %%mm2, %%mm4\n\t"
                         "movq     %%mm4, %%mm5\n\t"
                         "pfmul    %%mm4, %%mm4\n\t"
                         "pfrsqit1 %%mm2, %%mm4\n\t"
                         "pfrcpit2 %%mm5, %%mm4\n\t"
                         "pfmul    %%mm4, %%mm2\n\t" // len = s·(1/√s)
                         // 1/len: estimate plus two iteration steps
                         "pfrcp    %%mm2, %%mm6\n\t"
                         "pfrcpit1 %%mm6, %%mm2\n\t"
                         "pfrcpit2 %%mm6, %%mm2\n\t"
                         "pfmul    %%mm2, %%mm0\n\t"
                         "pfmul    %%mm2, %%mm1\n\t"
                         "movq     %%mm0, (%0)\n\t"
                         "movd     %%mm1, 8(%0)\n"
                         "1:\n\t"
                         "femms\n\t"
                         :
                         : "r"(aVecP)
                         : "eax", "memory", "cc", MATHS_X87_CLOBBERS);
}

void sVecDotProduct3DNow(const D3DVECTOR *aAP, const D3DVECTOR *aBP, float *aOutP)
{
    __asm__ __volatile__("movq     (%0), %%mm0\n\t"
                         "movq     (%1), %%mm2\n\t"
                         "pfmul    %%mm2, %%mm0\n\t" // ax·bx ay·by
                         "movd     8(%0), %%mm1\n\t"
                         "movd     8(%1), %%mm3\n\t"
                         "pfmul    %%mm3, %%mm1\n\t" // az·bz 0
                         "pfacc    %%mm0, %%mm0\n\t"
                         "pfadd    %%mm1, %%mm0\n\t"
                         "movd     %%mm0, (%2)\n\t"
                         "femms\n\t"
                         :
                         : "r"(aAP), "r"(aBP), "r"(aOutP)
                         : "memory", MATHS_X87_CLOBBERS);
}

float sVecDotProductRet3DNow(const D3DVECTOR *aAP, const D3DVECTOR *aBP)
{
    float result;
    sVecDotProduct3DNow(aAP, aBP, &result);
    return result;
}

void sVecCrossProduct3DNow(const D3DVECTOR *aAP, const D3DVECTOR *aBP, D3DVECTOR *aOutP)
{
    __asm__ __volatile__("movq     (%0), %%mm0\n\t"  // ax ay
                         "movd     8(%0), %%mm1\n\t" // az 0
                         "movq     (%1), %%mm2\n\t"  // bx by
                         "movd     8(%1), %%mm3\n\t" // bz 0
                         "movq     %%mm0, %%mm4\n\t"
                         "psrlq    $32, %%mm4\n\t"
                         "punpckldq %%mm1, %%mm4\n\t" // ay az
                         "movq     %%mm3, %%mm5\n\t"
                         "punpckldq %%mm2, %%mm5\n\t" // bz bx
                         "movq     %%mm1, %%mm6\n\t"
                         "punpckldq %%mm0, %%mm6\n\t" // az ax
                         "movq     %%mm2, %%mm7\n\t"
                         "psrlq    $32, %%mm7\n\t"
                         "punpckldq %%mm3, %%mm7\n\t" // by bz
                         "pfmul    %%mm5, %%mm4\n\t"
                         "pfmul    %%mm7, %%mm6\n\t"
                         "pfsub    %%mm6, %%mm4\n\t" // ay·bz-az·by  az·bx-ax·bz
                         "movq     %%mm2, %%mm5\n\t"
                         "psrlq    $32, %%mm5\n\t"
                         "punpckldq %%mm2, %%mm5\n\t" // by bx
                         "pfmul    %%mm5, %%mm0\n\t"  // ax·by ay·bx
                         "movq     %%mm0, %%mm1\n\t"
                         "psrlq    $32, %%mm1\n\t"
                         "pfsub    %%mm1, %%mm0\n\t" // ax·by-ay·bx
                         "movq     %%mm4, (%2)\n\t"
                         "movd     %%mm0, 8(%2)\n\t"
                         "femms\n\t"
                         :
                         : "r"(aAP), "r"(aBP), "r"(aOutP)
                         : "memory", MATHS_X87_CLOBBERS);
}

float sVecMagnitude3DNow(const D3DVECTOR *aAP)
{
    float len;
    __asm__ __volatile__("movq     (%1), %%mm0\n\t"
                         "pfmul    %%mm0, %%mm0\n\t"
                         "movd     8(%1), %%mm1\n\t"
                         "pfmul    %%mm1, %%mm1\n\t"
                         "pfacc    %%mm0, %%mm0\n\t"
                         "pfadd    %%mm1, %%mm0\n\t" // s
                         "movd     %%mm0, %%eax\n\t"
                         "testl    %%eax, %%eax\n\t" // bit pattern 0: length 0
                         "jz       1f\n\t"
                         "pfrsqrt  %%mm0, %%mm2\n\t"
                         "movq     %%mm2, %%mm3\n\t"
                         "pfmul    %%mm2, %%mm2\n\t"
                         "pfrsqit1 %%mm0, %%mm2\n\t"
                         "pfrcpit2 %%mm3, %%mm2\n\t"
                         "pfmul    %%mm2, %%mm0\n\t" // s·(1/√s)
                         "movd     %%mm0, %%eax\n"
                         "1:\n\t"
                         "movl     %%eax, %0\n\t"
                         "femms\n\t"
                         : "=m"(len)
                         : "r"(aAP)
                         : "eax", "memory", "cc", MATHS_X87_CLOBBERS);
    return std::isnan(len) ? 0.0f : len;
}

// ---------------------------------------------------------------------------------------------
// Angles

void sVecRotate(const D3DVECTOR *aAngleP, const D3DVECTOR *aSrcP, D3DVECTOR *aDstP)
{
    D3DMATRIX m;
    sMatrixCreateUnit(&m);
    sMatrixRotateZ(&m, aAngleP->z);
    sMatrixRotateY(&m, aAngleP->y);
    sMatrixRotateX(&m, aAngleP->x);
    sMatrixApplyVector(&m, aSrcP, aDstP);
}

float sVecClipAngle(float aDeg)
{
    float r = std::fmod(aDeg, 360.0f);
    if (r < 0.0f) {
        // A tiny negative remainder rounds up to exactly 360, outside the range. The sum is
        // stored first: x87 code may otherwise test it with extra precision and round later.
        volatile float wrapped = r + 360.0f;
        r = wrapped;
        if (r >= 360.0f)
            r = 0.0f;
    }
    return r;
}

void sVecHV2Angle(float aH, float aV, float *aAngleP)
{
    const float d = gMathsSqrtPtr(aV * aV + aH * aH);
    float c = 0.0f;
    float s = 0.0f;
    if (d != 0.0f) {
        c = aH / d;
        s = aV / d;
    }
    float angle;
    if (c == 0.0f) {
        angle = (s < 0.0f) ? 0.0f : 180.0f;
    } else if (s == 0.0f) {
        angle = (c < 0.0f) ? 270.0f : 90.0f;
    } else {
        angle = static_cast<float>(gMathsAtanPtr(s / c) * 0.15915494309188485 * 360.0);
        angle += (c > 0.0f) ? 90.0f : 270.0f;
    }
    *aAngleP = angle;
}

void sVecSearchAngle(const D3DVECTOR *aFromP, const D3DVECTOR *aToP, D3DVECTOR *aAngleP)
{
    D3DVECTOR d;
    d.x = aFromP->x - aToP->x;
    d.y = aFromP->y - aToP->y;
    d.z = aFromP->z - aToP->z;
    aAngleP->x = aAngleP->y = aAngleP->z = 0.0f;

    float angle;
    sVecHV2Angle(-d.x, d.z, &angle);
    aAngleP->y = sVecClipAngle(angle);

    D3DVECTOR turn;
    turn.x = 0.0f;
    turn.y = -aAngleP->y;
    turn.z = 0.0f;
    sVecRotate(&turn, &d, &d);
    sVecHV2Angle(d.y, d.z, &angle);
    aAngleP->x = sVecClipAngle(angle);
}
