#ifndef KESTREL_TESTS_LIBRARY_MATHS_MATHSTESTUTIL_H
#define KESTREL_TESTS_LIBRARY_MATHS_MATHSTESTUTIL_H

// Shared by the maths, vector, matrix and coordinate tests: the processor variants, the raw
// estimate instructions and double-precision references.

#include <gtest/gtest.h>

#include <cmath>
#include <cpuid.h>
#include <cstdint>
#include <cstring>
#include <string>
#include <xmmintrin.h>

#include "Library/Maths/MathsLib.h"
#include "Library/Matrix/MATLIB.h"
#include "Library/Vec/VECLIB.h"

namespace mtest {

constexpr double kPi = 3.14159265358979323846;

inline bool cpuHasSSE()
{
    unsigned a, b, c, d;
    return __get_cpuid(1, &a, &b, &c, &d) && (d & (1u << 25));
}

inline bool cpuHas3DNow()
{
    unsigned a, b, c, d;
    return __get_cpuid(0x80000001u, &a, &b, &c, &d) && (d & (1u << 31));
}

struct Variant {
    const char *name;
    DWORD cpuOption;
};

inline const Variant kVariants[] = {
    {"Normal", 0},
    {"SSE", MATHS_OPT_SSE},
    {"ThreeDNow", MATHS_OPT_3DNOW},
};

// Every dispatch group, in the order system initialisation sets them.
inline void selectVariant(DWORD aCpuOption)
{
    sMatrixSetFuncPtr(aCpuOption);
    sVecSetFuncPtr(aCpuOption);
    sMathsSetFuncPtr(aCpuOption);
}

// Runs a test once per variant through the dispatch pointers; a variant that the processor
// cannot execute is skipped (3DNow! runs under qemu-i386 -cpu athlon).
class VariantTest : public ::testing::TestWithParam<Variant> {
protected:
    void SetUp() override
    {
        const _mathsVariant v = variant();
        if (v == MathsVariant3DNow && !cpuHas3DNow())
            GTEST_SKIP() << "processor without 3DNow!";
        if (v == MathsVariantSSE && !cpuHasSSE())
            GTEST_SKIP() << "processor without SSE";
        selectVariant(GetParam().cpuOption);
    }
    void TearDown() override { selectVariant(0); }
    _mathsVariant variant() const { return sMathsGetVariant(GetParam().cpuOption); }
};

#define MTEST_INSTANTIATE_VARIANTS(Suite)                                                \
    INSTANTIATE_TEST_SUITE_P(Variants, Suite, ::testing::ValuesIn(mtest::kVariants),     \
                             [](const ::testing::TestParamInfo<mtest::Variant> &aInfo) { \
                                 return std::string(aInfo.param.name);                   \
                             })

inline uint32_t bits(float aF)
{
    uint32_t b;
    memcpy(&b, &aF, sizeof b);
    return b;
}

inline D3DVECTOR vec(float aX, float aY, float aZ)
{
    D3DVECTOR v;
    v.x = aX;
    v.y = aY;
    v.z = aZ;
    return v;
}

// Raw estimate instructions, to tell a real processor from an emulator that computes the
// estimates exactly (the "no better than its class" checks only hold on the former).
__attribute__((target("sse"))) inline float rsqrtSSE(float aX)
{
    return _mm_cvtss_f32(_mm_rsqrt_ss(_mm_set_ss(aX)));
}

inline float rsqrt3DNow(float aX)
{
    float r;
    __asm__ __volatile__("movd %1, %%mm0\n\tpfrsqrt %%mm0, %%mm1\n\tmovd %%mm1, %0\n\tfemms"
                         : "=m"(r)
                         : "m"(aX)
                         : MATHS_X87_CLOBBERS);
    return r;
}

// An estimate within a few float ulps of 1/√x (emulators compute it as 1/sqrt(x) in floats);
// a real processor's table lookup is off by hundreds of ulps for some of these.
inline bool estimateIsExact(float (*aRsqrt)(float))
{
    for (float x : {2.0f, 3.0f, 5.0f, 7.0f, 0.3f, 11.0f, 1.7f})
        if (std::fabs(aRsqrt(x) * std::sqrt(static_cast<double>(x)) - 1) > std::ldexp(1.0, -21))
            return false;
    return true;
}

inline bool sseEstimateIsExact()
{
    return estimateIsExact(rsqrtSSE);
}

inline bool estimate3DNowIsExact()
{
    return estimateIsExact(rsqrt3DNow);
}

// Whether the variant's estimates are what a real processor gives.
inline bool estimatesAreApproximate(_mathsVariant aVariant)
{
    switch (aVariant) {
    case MathsVariantSSE:
        return !sseEstimateIsExact();
    case MathsVariant3DNow:
        return !estimate3DNowIsExact();
    default:
        return false;
    }
}

// The x87 tag word: 0xFFFF when every register is empty, as femms leaves it.
inline unsigned x87TagWord()
{
    uint16_t env[14];
    __asm__ __volatile__("fnstenv %0\n\tfldenv %0" : "=m"(env));
    return env[4];
}

// Deterministic pseudo-random floats in [aLo, aHi).
class Rand {
public:
    explicit Rand(uint32_t aSeed) : _state(aSeed) {}
    float Next(float aLo, float aHi)
    {
        _state = _state * 1664525u + 1013904223u;
        return aLo + (aHi - aLo) * static_cast<float>((_state >> 8) * (1.0 / 16777216.0));
    }
    D3DVECTOR NextVec(float aLo, float aHi)
    {
        const float x = Next(aLo, aHi), y = Next(aLo, aHi), z = Next(aLo, aHi);
        return vec(x, y, z);
    }
    D3DMATRIX NextMatrix(float aLo, float aHi)
    {
        D3DMATRIX m;
        for (float *e = &m._11; e <= &m._44; e++)
            *e = Next(aLo, aHi);
        return m;
    }

private:
    uint32_t _state;
};

// Double-precision 4×4 reference in the same row-vector convention.
struct DMat {
    double e[4][4];
};

inline DMat dmat(const D3DMATRIX &aM)
{
    DMat r;
    const float *f = &aM._11;
    for (int i = 0; i < 16; i++)
        r.e[i / 4][i % 4] = f[i];
    return r;
}

inline DMat dmul(const DMat &aA, const DMat &aB)
{
    DMat r;
    for (int i = 0; i < 4; i++)
        for (int j = 0; j < 4; j++) {
            r.e[i][j] = 0;
            for (int k = 0; k < 4; k++)
                r.e[i][j] += aA.e[i][k] * aB.e[k][j];
        }
    return r;
}

inline DMat didentity()
{
    DMat r = {};
    for (int i = 0; i < 4; i++)
        r.e[i][i] = 1;
    return r;
}

// Direct3D rotation about one axis (0 X, 1 Y, 2 Z), degrees.
inline DMat drot(int aAxis, double aDeg)
{
    const double a = aDeg * kPi / 180.0, c = std::cos(a), s = std::sin(a);
    DMat r = didentity();
    const int p = (aAxis + 1) % 3, q = (aAxis + 2) % 3; // X: (y, z), Y: (z, x), Z: (x, y)
    r.e[p][p] = c;
    r.e[p][q] = s;
    r.e[q][p] = -s;
    r.e[q][q] = c;
    return r;
}

inline DMat dscale(double aX, double aY, double aZ)
{
    DMat r = didentity();
    r.e[0][0] = aX;
    r.e[1][1] = aY;
    r.e[2][2] = aZ;
    return r;
}

inline DMat dtranslate(double aX, double aY, double aZ)
{
    DMat r = didentity();
    r.e[3][0] = aX;
    r.e[3][1] = aY;
    r.e[3][2] = aZ;
    return r;
}

// Largest element difference between a float matrix and a reference.
inline double maxDiff(const D3DMATRIX &aM, const DMat &aRef)
{
    const float *f = &aM._11;
    double d = 0;
    for (int i = 0; i < 16; i++)
        d = std::fmax(d, std::fabs(f[i] - aRef.e[i / 4][i % 4]));
    return d;
}

} // namespace mtest

#endif
