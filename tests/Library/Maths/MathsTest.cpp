// Variant selection, square root and arc tangent.

#include "MathsTestUtil.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

using namespace mtest;

// Read during static initialisation, before any test selects a variant.
static void (*const kLoadNormalize)(D3DVECTOR *) = sVecNormalize;
static void (*const kLoadMul)(const D3DMATRIX *, const D3DMATRIX *, D3DMATRIX *) = sMatrixMul;
static float (*const kLoadSqrt)(float) = gMathsSqrtPtr;
static float (*const kLoadAtan)(float) = gMathsAtanPtr;

TEST(MathsDispatch, PointersHoldTheNormalFunctionsFromProgramLoad)
{
    EXPECT_EQ(kLoadNormalize, &sVecNormalizeNormal);
    EXPECT_EQ(kLoadMul, &sMatrixMulNormal);
    EXPECT_EQ(kLoadSqrt, &sMathsSqrtNormal);
    EXPECT_EQ(kLoadAtan, &sMathsAtanNormal);
}

// Every pointer of every group, for one column of the variant table.
struct Column {
    void (*normalize)(D3DVECTOR *);
    void (*dot)(const D3DVECTOR *, const D3DVECTOR *, float *);
    float (*dotRet)(const D3DVECTOR *, const D3DVECTOR *);
    void (*cross)(const D3DVECTOR *, const D3DVECTOR *, D3DVECTOR *);
    float (*magnitude)(const D3DVECTOR *);
    void (*mul)(const D3DMATRIX *, const D3DMATRIX *, D3DMATRIX *);
    void (*apply)(const D3DMATRIX *, const D3DVECTOR *, D3DVECTOR *);
    void (*rotateXYZ)(D3DMATRIX *, float, float, float);
    void (*scale)(D3DMATRIX *, float, float, float);
    float (*sqrt)(float);
    float (*atan)(float);
};

static const Column kNormalColumn = {
    sVecNormalizeNormal, sVecDotProductNormal, sVecDotProductRetNormal,  sVecCrossProductNormal,
    sVecMagnitudeNormal, sMatrixMulNormal,     sMatrixApplyVectorNormal, sMatrixRotateXYZNormal,
    sMatrixScaleNormal,  sMathsSqrtNormal,     sMathsAtanNormal};
static const Column kSSEColumn = {
    sVecNormalizeSSE,    sVecDotProductSSE, sVecDotProductRetNormal, sVecCrossProductSSE,
    sVecMagnitudeNormal, sMatrixMulSSE,     sMatrixApplyVectorSSE,   sMatrixRotateXYZNormal,
    sMatrixScaleNormal,  sMathsSqrtNormal,  sMathsAtanNormal};
static const Column k3DNowColumn = {
    sVecNormalize3DNow, sVecDotProduct3DNow, sVecDotProductRet3DNow,  sVecCrossProduct3DNow,
    sVecMagnitude3DNow, sMatrixMul3DNow,     sMatrixApplyVector3DNow, sMatrixRotateXYZ3DNow,
    sMatrixScale3DNow,  sMathsSqrt3DNow,     sMathsAtan3DNow};

TEST(MathsDispatch, OptionWordSelectsOneColumnForEveryPointer)
{
    const struct {
        DWORD option;
        const Column *column;
    } cases[] = {
        {0x00, &kNormalColumn}, {0x01, &kNormalColumn}, {0x04, &kNormalColumn},
        {0x10, &kNormalColumn}, {0x15, &kNormalColumn}, {0xFFFFFFF5u, &kNormalColumn},
        {0x02, &kSSEColumn},    {0x07, &kSSEColumn},    {0x08, &k3DNowColumn},
        {0x0A, &k3DNowColumn},  {0x1F, &k3DNowColumn},  {0x18, &k3DNowColumn},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "cpuOption 0x" << std::hex << c.option);
        // Start from another column so that every pointer must really be written.
        selectVariant(c.column == &k3DNowColumn ? 0 : MATHS_OPT_3DNOW);
        selectVariant(c.option);
        const Column &e = *c.column;
        EXPECT_EQ(sVecNormalize, e.normalize);
        EXPECT_EQ(sVecDotProduct, e.dot);
        EXPECT_EQ(sVecDotProductRet, e.dotRet);
        EXPECT_EQ(sVecCrossProduct, e.cross);
        EXPECT_EQ(sVecMagnitude, e.magnitude);
        EXPECT_EQ(sMatrixMul, e.mul);
        EXPECT_EQ(sMatrixApplyVector, e.apply);
        EXPECT_EQ(sMatrixRotateXYZ, e.rotateXYZ);
        EXPECT_EQ(sMatrixScale, e.scale);
        EXPECT_EQ(gMathsSqrtPtr, e.sqrt);
        EXPECT_EQ(gMathsAtanPtr, e.atan);
    }
    selectVariant(0);
}

// The floor runs (qemu as an i586 with MMX and as a K6-2, named by KESTREL_FLOOR_CPU): the
// processor reports only its own extensions, and the option word built from that report puts
// the Normal or 3DNow! column on every pointer, never SSE.
TEST(MathsDispatch, FloorProcessorChoosesOnlyWhatItReports)
{
    const char *cpu = std::getenv("KESTREL_FLOOR_CPU");
    if (!cpu)
        GTEST_SKIP() << "not a floor processor run";
    const struct {
        const char *cpu;
        bool sse, threeDNow;
        const Column *column;
    } cases[] = {
        {"i586", false, false, &kNormalColumn},
        {"k6-2", false, true, &k3DNowColumn},
    };
    int matched = 0;
    for (const auto &c : cases) {
        if (std::strcmp(cpu, c.cpu) != 0)
            continue;
        ++matched;
        EXPECT_EQ(cpuHasSSE(), c.sse);
        EXPECT_EQ(cpuHas3DNow(), c.threeDNow);
        selectVariant((cpuHasSSE() ? MATHS_OPT_SSE : 0) | (cpuHas3DNow() ? MATHS_OPT_3DNOW : 0));
        EXPECT_EQ(sMatrixMul, c.column->mul);
        EXPECT_EQ(sVecNormalize, c.column->normalize);
        EXPECT_EQ(gMathsSqrtPtr, c.column->sqrt);
        selectVariant(0);
    }
    EXPECT_EQ(matched, 1) << "unknown floor processor " << cpu;
}

// ---------------------------------------------------------------------------------------------
// Square root

TEST(MathsSqrt, NormalIsCorrectlyRoundedAndPassesNegativesThrough)
{
    const struct {
        float x, expect;
    } cases[] = {{-4.0f, -4.0f},       {-1e-30f, -1e-30f},    {0.0f, 0.0f},
                 {4.0f, 2.0f},         {1e-30f, 1e-15f},      {2.0f, 1.41421354f},
                 {INFINITY, INFINITY}, {-INFINITY, -INFINITY}};
    for (const auto &c : cases)
        EXPECT_EQ(bits(sMathsSqrtNormal(c.x)), bits(c.expect)) << c.x;
    EXPECT_EQ(bits(sMathsSqrtNormal(-0.0f)), bits(-0.0f));
    EXPECT_TRUE(std::isnan(sMathsSqrtNormal(NAN)));

    Rand rnd(7);
    for (int i = 0; i < 2000; i++) {
        const float x = std::ldexp(rnd.Next(1.0f, 2.0f), static_cast<int>(rnd.Next(-60, 60)));
        EXPECT_EQ(bits(sMathsSqrtNormal(x)),
                  bits(static_cast<float>(std::sqrt(static_cast<double>(x)))))
            << x;
    }
}

TEST(MathsSqrt, ThreeDNowIsXTimesTheRawEstimate)
{
    if (!cpuHas3DNow())
        GTEST_SKIP() << "processor without 3DNow!";
    EXPECT_EQ(bits(sMathsSqrt3DNow(0.0f)), bits(0.0f));
    EXPECT_EQ(bits(sMathsSqrt3DNow(-0.0f)), bits(-0.0f));
    EXPECT_EQ(x87TagWord(), 0xFFFFu) << "femms missing";

    Rand rnd(11);
    double maxRel = 0;
    for (int i = 0; i < 4000; i++) {
        const float x = std::ldexp(rnd.Next(1.0f, 4.0f), static_cast<int>(rnd.Next(-40, 40)));
        const float r = sMathsSqrt3DNow(x);
        // Unrefined: exactly x times the processor's estimate, whatever its precision.
        ASSERT_EQ(bits(r), bits(x * rsqrt3DNow(x))) << x;
        maxRel = std::fmax(maxRel, std::fabs(r / std::sqrt(static_cast<double>(x)) - 1));
    }
    printf("3DNow! sqrt: max relative error %.3g (2^%.1f)\n", maxRel, std::log2(maxRel));
    EXPECT_LE(maxRel, std::ldexp(1.0, -14)); // the 15-bit class
    if (estimatesAreApproximate(MathsVariant3DNow)) {
        EXPECT_GE(maxRel, std::ldexp(1.0, -20)) << "more precise than the raw estimate";
    }
}

// ---------------------------------------------------------------------------------------------
// Arc tangent, through gMathsAtanPtr

class MathsAtan : public VariantTest {
protected:
    // Absolute error bound in radians. Normal: about 2 ulps of π/2 (extended-precision
    // intermediates). 3DNow!: single-precision intermediates, and on a real processor the
    // reciprocal estimate's 14 bits scaled by 1/xi (at most 2.414).
    double Bound() const
    {
        if (variant() != MathsVariant3DNow)
            return 2.5e-7;
        return estimatesAreApproximate(MathsVariant3DNow) ? 2.5e-4 : 1e-6;
    }
};

TEST_P(MathsAtan, MatchesDoubleOverTheWholeRange)
{
    std::vector<float> xs;
    for (float x = 0.0f; x < 4.0f; x += 1.0f / 4096) // every row and both limits, densely
        xs.push_back(x);
    for (double e = -30; e <= 30; e += 1.0 / 64) // magnitudes from 1e-9 to 1e9
        xs.push_back(static_cast<float>(std::pow(10.0, e / 3.3)));
    xs.push_back(std::ldexp(1.0f, -126));
    xs.push_back(3.4e38f);

    // Absolute error overall; relative error (ulps of the result) where the argument is not
    // reduced, so that tiny arguments keep their precision.
    double maxErr = 0, maxDirectUlps = 0;
    float worst = 0;
    for (float x : xs) {
        for (float sx : {x, -x}) {
            const float r = gMathsAtanPtr(sx);
            const double ref = std::atan(static_cast<double>(sx));
            const double err = std::fabs(r - ref);
            if (err > maxErr) {
                maxErr = err;
                worst = sx;
            }
            if (x != 0.0f && x <= 0.41421357f) {
                const double ulp = std::ldexp(1.0, std::ilogb(ref) - 23);
                maxDirectUlps = std::fmax(maxDirectUlps, err / ulp);
            }
        }
        ASSERT_EQ(bits(gMathsAtanPtr(-x)), bits(gMathsAtanPtr(x)) ^ 0x80000000u) << "odd at " << x;
    }
    printf("%s atan: max abs error %.3g rad at %.9g; unreduced arguments within %.2f ulps (%zu "
           "arguments)\n",
           GetParam().name, maxErr, worst, maxDirectUlps, xs.size() * 2);
    RecordProperty("maxAbsError", std::to_string(maxErr));
    EXPECT_LE(maxErr, Bound());
    EXPECT_LE(maxDirectUlps, variant() == MathsVariant3DNow ? 4.0 : 2.0);
}

TEST_P(MathsAtan, BothSidesOfEveryReductionLimitAgree)
{
    // Reduction limits and the bit-pattern row thresholds.
    const uint32_t limits[] = {0x3ed413cdu /* tan 22.5° */,
                               0x3f000000u,
                               0x3f08d5b9u,
                               0x3f521801u,
                               0x3f800000u,
                               0x3f9bf7ecu,
                               0x3fef789eu,
                               0x40000000u,
                               0x401a827au /* 2.4142136 */};
    for (uint32_t b : limits) {
        float at, below;
        memcpy(&at, &b, sizeof at);
        below = std::nextafter(at, 0.0f);
        const float ra = gMathsAtanPtr(at), rb = gMathsAtanPtr(below);
        EXPECT_NEAR(ra, std::atan(static_cast<double>(at)), Bound()) << at;
        EXPECT_NEAR(rb, std::atan(static_cast<double>(below)), Bound()) << below;
        EXPECT_NEAR(ra, rb, 2 * Bound()) << "step at " << at;
    }
    EXPECT_EQ(2.4142136f, std::nextafter(2.41421342f, 3.0f)); // the inverted path starts here
}

TEST_P(MathsAtan, SpecialArguments)
{
    EXPECT_NEAR(gMathsAtanPtr(1.0f), 0.785398163397448,
                variant() == MathsVariant3DNow ? Bound() : 6e-8);
    EXPECT_EQ(bits(gMathsAtanPtr(0.0f)), bits(0.0f));
    EXPECT_EQ(bits(gMathsAtanPtr(-0.0f)), bits(-0.0f));
    EXPECT_NEAR(gMathsAtanPtr(1e30f), 1.5707963267949, Bound());
    EXPECT_NEAR(gMathsAtanPtr(-1e30f), -1.5707963267949, Bound());
    if (variant() != MathsVariant3DNow) {
        EXPECT_FLOAT_EQ(gMathsAtanPtr(INFINITY), 1.5707964f);
        EXPECT_FLOAT_EQ(gMathsAtanPtr(-INFINITY), -1.5707964f);
        EXPECT_TRUE(std::isnan(gMathsAtanPtr(NAN)));
    }
    EXPECT_EQ(x87TagWord(), 0xFFFFu) << "MMX state left behind";
}

MTEST_INSTANTIATE_VARIANTS(MathsAtan);

TEST(MathsTime, KeepsMinimumMaximumSumAndCount)
{
    _mathsTime t;
    sMathsTimeInit(&t);
    EXPECT_EQ(0x0FFFFFFFFFFFFFFFLL, t.timeMin);
    sMathsTimeAdd(&t, 50);
    sMathsTimeAdd(&t, 70);
    sMathsTimeAdd(&t, 30);
    EXPECT_EQ(30, t.timeMin);
    EXPECT_EQ(70, t.timeMax);
    EXPECT_EQ(150, t.timeAvr);
    EXPECT_EQ(3, t.timeCnt);
}
