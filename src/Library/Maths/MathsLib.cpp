#include "Library/Maths/MathsLib.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

float (*gMathsSqrtPtr)(float aX) = sMathsSqrtNormal;
float (*gMathsAtanPtr)(float aX) = sMathsAtanNormal;

_mathsVariant sMathsGetVariant(DWORD aCpuOption)
{
    if (aCpuOption & MATHS_OPT_3DNOW)
        return MathsVariant3DNow;
    if (aCpuOption & MATHS_OPT_SSE)
        return MathsVariantSSE;
    return MathsVariantNormal;
}

// One row per variant column; the SSE column of the scalar routines is the Normal one.
struct _mathsFuncRow {
    float (*sqrtP)(float);
    float (*atanP)(float);
};

static const _mathsFuncRow _mathsFuncTbl[3] = {
    {sMathsSqrtNormal, sMathsAtanNormal},
    {sMathsSqrtNormal, sMathsAtanNormal},
    {sMathsSqrt3DNow, sMathsAtan3DNow},
};

void sMathsSetFuncPtr(DWORD aCpuOption)
{
    const _mathsFuncRow &row = _mathsFuncTbl[sMathsGetVariant(aCpuOption)];
    gMathsSqrtPtr = row.sqrtP;
    gMathsAtanPtr = row.atanP;
}

static inline uint32_t _floatBits(float aF)
{
    uint32_t bits;
    memcpy(&bits, &aF, sizeof bits);
    return bits;
}

static inline float _bitsFloat(uint32_t aBits)
{
    float f;
    memcpy(&f, &aBits, sizeof f);
    return f;
}

// ---------------------------------------------------------------------------------------------
// Square root

float sMathsSqrtNormal(float aX)
{
    if (aX < 0.0f)
        return aX;
    return std::sqrt(aX);
}

// x times the raw reciprocal-square-root estimate: about 15 bits, deliberately unrefined.
float sMathsSqrt3DNow(float aX)
{
    // The estimate of ±0 is not finite on every processor; 0 times it must stay 0.
    if ((_floatBits(aX) & 0x7fffffffu) == 0)
        return aX;
    float result;
    __asm__ __volatile__("movd     %1, %%mm0\n\t"
                         "pfrsqrt  %%mm0, %%mm1\n\t"
                         "pfmul    %%mm0, %%mm1\n\t"
                         "movd     %%mm1, %0\n\t"
                         "femms\n\t"
                         : "=m"(result)
                         : "m"(aX)
                         : MATHS_X87_CLOBBERS);
    return result;
}

// ---------------------------------------------------------------------------------------------
// Arc tangent: argument reduction to one of five breakpoints xi (tan 22.5° ... 67.5°) or to
// 1/x, then an odd polynomial. Every constant is a float; hi/lo pairs carry the residual.

static constexpr float atan_coeff[7] = {1.0f,       -0.333333313f,  0.19999887f,  -0.142816499f,
                                        0.1104118f, -0.0845975578f, 0.0471424349f};
static constexpr float one_over_xi_hi[6] = {2.41421294f,  1.49660575f,  1.0f,
                                            0.668178618f, 0.414213568f, 0.198912367f};
static constexpr float one_over_xi_lo[6] = {5.62000025e-07f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
static constexpr float onep_one_over_xisqr_hi[6] = {6.82842016f, 3.23982811f, 2.0f,
                                                    1.44646204f, 1.17157292f, 1.03956616f};
static constexpr float onep_one_over_xisqr_lo[6] = {
    7.13500003e-06f, 8.20000025e-07f, 0.0f, 6.29999988e-07f, 0.0f, 0.0f};
static constexpr float atan_xi_hi[7] = {0.0f,         0.392690003f, 0.589048624f, 0.785398126f,
                                        0.981746972f, 1.17809701f,  1.37444603f};
static constexpr float atan_xi_lo[7] = {0.0f,            9.08169841e-06f, 2.30000001e-08f,
                                        6.30000017e-08f, 7.04000001e-07f, 2.49999999e-07f,
                                        7.90000001e-07f};

static constexpr float _atanInvLimit = 2.4142136f;     // tan 67.5°
static constexpr float _atanDirectLimit = 0.41421357f; // tan 22.5°
static constexpr float _atanHalfPi = 1.5707964f;

enum _atanPath { _atanDirect = 0, _atanReduced = 1, _atanInverted = 2 };

// Breakpoint row for |x| in (tan 22.5°, tan 67.5°), chosen from the float's bit pattern.
static int _atanRow(uint32_t aAbsBits)
{
    int j = 0;
    if (aAbsBits >= 0x3f000000u && aAbsBits < 0x3f800000u) { // [0.5, 1)
        if (aAbsBits >= 0x3f08d5b9u) // tan 28.125°
            j += 1;
        if (aAbsBits >= 0x3f521801u) // tan 39.375°
            j += 1;
    } else if (aAbsBits >= 0x3f800000u && aAbsBits < 0x40000000u) { // [1, 2)
        j += 2;
        if (aAbsBits >= 0x3f9bf7ecu) // tan 50.625°
            j += 1;
        if (aAbsBits >= 0x3fef789eu) // tan 61.875°
            j += 1;
    } else if (aAbsBits >= 0x40000000u && aAbsBits < 0x40800000u) { // [2, 4)
        j += 4;
    }
    return j;
}

float sMathsAtanNormal(float aX)
{
    const uint32_t sign = _floatBits(aX) & 0x80000000u;
    const uint32_t absBits = _floatBits(aX) & 0x7fffffffu;
    const float x = _bitsFloat(absBits);
    int j = -1;
    bool inv = false;
    float z;

    if (x >= _atanInvLimit) {
        z = 1.0f / x;
        inv = true;
    } else if (x <= _atanDirectLimit) {
        z = x;
    } else {
        j = _atanRow(absBits);
        const float q = 1.0f / (x + one_over_xi_lo[j] + one_over_xi_hi[j]);
        z = (one_over_xi_lo[j] - q * onep_one_over_xisqr_lo[j]) +
            (one_over_xi_hi[j] - q * onep_one_over_xisqr_hi[j]);
    }

    const float zz = z * z;
    const float p = atan_coeff[1] +
                    zz * (atan_coeff[2] +
                          zz * (atan_coeff[3] +
                                zz * (atan_coeff[4] + zz * (atan_coeff[5] + zz * atan_coeff[6]))));
    z = z + z * zz * p;
    z += atan_xi_lo[j + 1];
    z += atan_xi_hi[j + 1];

    if (inv) {
        z = z - _atanHalfPi;
        return sign ? z : -z;
    }
    return _bitsFloat(_floatBits(z) | sign);
}

// Per-call operands of the packed arc tangent, at the offsets its block addresses.
struct _atan3DNowArgs {
    float x;      // |x|
    float lo;     // one_over_xi_lo[j]
    float hi;     // one_over_xi_hi[j]
    float olo;    // onep_one_over_xisqr_lo[j]
    float ohi;    // onep_one_over_xisqr_hi[j]
    float xiLo;   // atan_xi_lo[j + 1]
    float xiHi;   // atan_xi_hi[j + 1]
    int32_t path; // _atanPath
    float result;
};
static_assert(offsetof(_atan3DNowArgs, lo) == 4 && offsetof(_atan3DNowArgs, ohi) == 16 &&
                  offsetof(_atan3DNowArgs, xiHi) == 24 && offsetof(_atan3DNowArgs, path) == 28 &&
                  offsetof(_atan3DNowArgs, result) == 32,
              "offsets used by the 3DNow! arc tangent");

// The same reduction in packed arithmetic; both divisions use the raw reciprocal estimate.
float sMathsAtan3DNow(float aX)
{
    const uint32_t sign = _floatBits(aX) & 0x80000000u;
    const uint32_t absBits = _floatBits(aX) & 0x7fffffffu;

    _atan3DNowArgs k = {};
    // Loop-invariant constants: c1 ... c6 at 4 ... 24, π/2 at 28.
    static constexpr float coeff[8] = {0.0f,          atan_coeff[1], atan_coeff[2], atan_coeff[3],
                                       atan_coeff[4], atan_coeff[5], atan_coeff[6], _atanHalfPi};

    int j = -1;
    k.x = _bitsFloat(absBits);
    if (absBits >= _floatBits(_atanInvLimit)) {
        k.path = _atanInverted;
    } else if (absBits <= _floatBits(_atanDirectLimit)) {
        k.path = _atanDirect;
    } else {
        k.path = _atanReduced;
        j = _atanRow(absBits);
        k.lo = one_over_xi_lo[j];
        k.hi = one_over_xi_hi[j];
        k.olo = onep_one_over_xisqr_lo[j];
        k.ohi = onep_one_over_xisqr_hi[j];
    }
    k.xiLo = atan_xi_lo[j + 1];
    k.xiHi = atan_xi_hi[j + 1];

    __asm__ __volatile__("movd     0(%0), %%mm0\n\t" // mm0 = x
                         "cmpl     $1, 28(%0)\n\t"
                         "jb       3f\n\t"
                         "ja       2f\n\t"
                         // reduced: q = 1/(x + lo + hi); z = (lo - q·olo) + (hi - q·ohi)
                         "movq     %%mm0, %%mm1\n\t"
                         "movd     4(%0), %%mm2\n\t"
                         "pfadd    %%mm2, %%mm1\n\t"
                         "movd     8(%0), %%mm3\n\t"
                         "pfadd    %%mm3, %%mm1\n\t"
                         "pfrcp    %%mm1, %%mm4\n\t"
                         "movd     12(%0), %%mm5\n\t"
                         "pfmul    %%mm4, %%mm5\n\t"
                         "movd     16(%0), %%mm6\n\t"
                         "pfmul    %%mm4, %%mm6\n\t"
                         "movq     %%mm2, %%mm0\n\t"
                         "pfsub    %%mm5, %%mm0\n\t"
                         "pfsub    %%mm6, %%mm3\n\t"
                         "pfadd    %%mm3, %%mm0\n\t"
                         "jmp      3f\n"
                         "2:\n\t" // inverted: z = 1/x
                         "pfrcp    %%mm0, %%mm0\n"
                         "3:\n\t" // z += z·zz·P(zz)
                         "movq     %%mm0, %%mm1\n\t"
                         "pfmul    %%mm1, %%mm1\n\t"
                         "movd     24(%1), %%mm2\n\t"
                         "pfmul    %%mm1, %%mm2\n\t"
                         "movd     20(%1), %%mm3\n\t"
                         "pfadd    %%mm3, %%mm2\n\t"
                         "pfmul    %%mm1, %%mm2\n\t"
                         "movd     16(%1), %%mm3\n\t"
                         "pfadd    %%mm3, %%mm2\n\t"
                         "pfmul    %%mm1, %%mm2\n\t"
                         "movd     12(%1), %%mm3\n\t"
                         "pfadd    %%mm3, %%mm2\n\t"
                         "pfmul    %%mm1, %%mm2\n\t"
                         "movd     8(%1), %%mm3\n\t"
                         "pfadd    %%mm3, %%mm2\n\t"
                         "pfmul    %%mm1, %%mm2\n\t"
                         "movd     4(%1), %%mm3\n\t"
                         "pfadd    %%mm3, %%mm2\n\t"
                         "pfmul    %%mm1, %%mm2\n\t"
                         "pfmul    %%mm0, %%mm2\n\t"
                         "pfadd    %%mm2, %%mm0\n\t"
                         "movd     20(%0), %%mm3\n\t"
                         "pfadd    %%mm3, %%mm0\n\t"
                         "movd     24(%0), %%mm3\n\t"
                         "pfadd    %%mm3, %%mm0\n\t"
                         "cmpl     $2, 28(%0)\n\t"
                         "jne      4f\n\t"
                         "movd     28(%1), %%mm3\n\t" // π/2 - z, the negation of z - π/2
                         "pfsubr   %%mm3, %%mm0\n"
                         "4:\n\t"
                         "movd     %%mm0, 32(%0)\n\t"
                         "femms\n\t"
                         :
                         : "r"(&k), "r"(coeff)
                         : "memory", "cc", MATHS_X87_CLOBBERS);

    const uint32_t bits = _floatBits(k.result);
    return _bitsFloat(k.path == _atanInverted ? bits ^ sign : bits | sign);
}

// ---------------------------------------------------------------------------------------------
// Timing statistics

void sMathsTimeInit(_mathsTime *aTimeP)
{
    aTimeP->timeMin = 0x0FFFFFFFFFFFFFFFLL;
    aTimeP->timeMax = aTimeP->timeAvr = aTimeP->timeOld = aTimeP->timeCnt = 0;
}

void sMathsTimeAdd(_mathsTime *aTimeP, int64_t aTicks)
{
    if (aTicks < aTimeP->timeMin)
        aTimeP->timeMin = aTicks;
    else if (aTicks > aTimeP->timeMax)
        aTimeP->timeMax = aTicks;
    aTimeP->timeAvr += aTicks;
    aTimeP->timeCnt += 1;
}
