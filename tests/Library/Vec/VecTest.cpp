// Vector routines, every variant through the dispatch pointers.

#include "../Maths/MathsTestUtil.h"

#include <cstdio>

using namespace mtest;

namespace {

struct DVec {
    double x, y, z;
};

DVec dvec(const D3DVECTOR &aV)
{
    return {aV.x, aV.y, aV.z};
}

double dlen(const DVec &aV)
{
    return std::sqrt(aV.x * aV.x + aV.y * aV.y + aV.z * aV.z);
}

// A spread of directions and magnitudes from 1e-10 to 1e10.
D3DVECTOR randomVec(Rand &aRnd)
{
    const float scale = std::pow(10.0f, aRnd.Next(-10.0f, 10.0f));
    const D3DVECTOR v = aRnd.NextVec(-1.0f, 1.0f);
    return vec(v.x * scale, v.y * scale, v.z * scale);
}

bool sameBits(const D3DVECTOR &aA, const D3DVECTOR &aB)
{
    return bits(aA.x) == bits(aB.x) && bits(aA.y) == bits(aB.y) && bits(aA.z) == bits(aB.z);
}

} // namespace

class VecNormalize : public VariantTest {};

TEST_P(VecNormalize, ZeroVectorStaysZero)
{
    for (const D3DVECTOR zero : {vec(0, 0, 0), vec(-0.0f, 0, -0.0f)}) {
        D3DVECTOR v = zero;
        sVecNormalize(&v);
        if (variant() == MathsVariantSSE) {
            EXPECT_TRUE(sameBits(v, vec(0, 0, 0))); // NaN from 0·∞ set to 0
        } else {
            EXPECT_TRUE(sameBits(v, zero)); // untouched
        }
    }
}

TEST_P(VecNormalize, DegenerateInputGivesTheStatedResult)
{
    // A length that underflows to 0: left as it is, or 0 for the estimate-based SSE variant.
    D3DVECTOR tiny = vec(1e-30f, -1e-30f, 0);
    const D3DVECTOR tinyIn = tiny;
    sVecNormalize(&tiny);
    if (variant() == MathsVariantSSE) {
        EXPECT_TRUE(sameBits(tiny, vec(0, 0, 0)));
    } else {
        EXPECT_TRUE(sameBits(tiny, tinyIn));
    }

    // A non-finite input never comes back as a finite direction: SSE zeroes it, the others keep
    // the NaN where it was.
    D3DVECTOR withNaN = vec(NAN, 1, 2);
    sVecNormalize(&withNaN);
    if (variant() == MathsVariantSSE) {
        EXPECT_TRUE(sameBits(withNaN, vec(0, 0, 0)));
    } else {
        EXPECT_TRUE(std::isnan(withNaN.x));
    }

    D3DVECTOR withInf = vec(INFINITY, 1, 2);
    sVecNormalize(&withInf);
    if (variant() == MathsVariantSSE) {
        EXPECT_TRUE(sameBits(withInf, vec(0, 0, 0)));
    } else {
        EXPECT_FALSE(std::isfinite(withInf.x));
    }
    EXPECT_EQ(x87TagWord(), 0xFFFFu);
}

TEST_P(VecNormalize, PrecisionClassAgainstDouble)
{
    // Normal: exact square root and divisions. 3DNow!: refined estimates. SSE: the raw
    // reciprocal-square-root estimate (about 12 bits), and no better on a real processor.
    const double bound = variant() == MathsVariantSSE     ? std::ldexp(1.0, -11)
                         : variant() == MathsVariant3DNow ? std::ldexp(1.0, -20)
                                                          : std::ldexp(1.0, -22);
    Rand rnd(3);
    double maxLenErr = 0, maxCompErr = 0;
    for (int i = 0; i < 3000; i++) {
        const D3DVECTOR in = randomVec(rnd);
        D3DVECTOR v = in;
        sVecNormalize(&v);
        const DVec d = dvec(in);
        const double len = dlen(d);
        maxLenErr = std::fmax(maxLenErr, std::fabs(dlen(dvec(v)) - 1));
        maxCompErr = std::fmax(maxCompErr, std::fabs(v.x - d.x / len));
        maxCompErr = std::fmax(maxCompErr, std::fabs(v.y - d.y / len));
        maxCompErr = std::fmax(maxCompErr, std::fabs(v.z - d.z / len));
    }
    printf("%s normalise: max |length - 1| %.3g (2^%.1f), max component error %.3g\n",
           GetParam().name, maxLenErr, std::log2(maxLenErr), maxCompErr);
    EXPECT_LE(maxLenErr, bound);
    EXPECT_LE(maxCompErr, bound);
    if (variant() == MathsVariantSSE && estimatesAreApproximate(MathsVariantSSE)) {
        EXPECT_GE(maxLenErr, std::ldexp(1.0, -16)) << "more precise than the unrefined estimate";
    }
}

MTEST_INSTANTIATE_VARIANTS(VecNormalize);

class VecMagnitude : public VariantTest {};

TEST_P(VecMagnitude, ZeroAndNaNGiveZero)
{
    const D3DVECTOR cases[] = {vec(0, 0, 0), vec(-0.0f, 0, 0), vec(NAN, 0, 0), vec(1, NAN, 1)};
    for (const D3DVECTOR &v : cases)
        EXPECT_EQ(bits(sVecMagnitude(&v)), bits(0.0f)) << v.x << " " << v.y << " " << v.z;
}

TEST_P(VecMagnitude, PrecisionAgainstDouble)
{
    const double bound =
        variant() == MathsVariant3DNow ? std::ldexp(1.0, -20) : std::ldexp(1.0, -22);
    Rand rnd(5);
    double maxRel = 0;
    for (int i = 0; i < 3000; i++) {
        const D3DVECTOR v = randomVec(rnd);
        maxRel = std::fmax(maxRel, std::fabs(sVecMagnitude(&v) / dlen(dvec(v)) - 1));
    }
    printf("%s magnitude: max relative error %.3g\n", GetParam().name, maxRel);
    EXPECT_LE(maxRel, bound);
}

MTEST_INSTANTIATE_VARIANTS(VecMagnitude);

class VecProducts : public VariantTest {};

TEST_P(VecProducts, DotProductMatchesDouble)
{
    Rand rnd(9);
    for (int i = 0; i < 3000; i++) {
        const D3DVECTOR a = randomVec(rnd), b = randomVec(rnd);
        const double ref = double(a.x) * b.x + double(a.y) * b.y + double(a.z) * b.z;
        // Products are exact in double; only the additions round.
        const double scale = std::fabs(double(a.x) * b.x) + std::fabs(double(a.y) * b.y) +
                             std::fabs(double(a.z) * b.z);
        float out = 0;
        sVecDotProduct(&a, &b, &out);
        ASSERT_LE(std::fabs(out - ref), scale * std::ldexp(1.0, -22)) << i;
        ASSERT_LE(std::fabs(sVecDotProductRet(&a, &b) - ref), scale * std::ldexp(1.0, -22)) << i;
    }
}

TEST_P(VecProducts, CrossProductMatchesDoubleAndMayOverwriteAnInput)
{
    Rand rnd(13);
    for (int i = 0; i < 3000; i++) {
        const D3DVECTOR a = randomVec(rnd), b = randomVec(rnd);
        D3DVECTOR out;
        sVecCrossProduct(&a, &b, &out);
        const double ref[3] = {double(a.y) * b.z - double(a.z) * b.y,
                               double(a.z) * b.x - double(a.x) * b.z,
                               double(a.x) * b.y - double(a.y) * b.x};
        const double scale[3] = {std::fabs(double(a.y) * b.z) + std::fabs(double(a.z) * b.y),
                                 std::fabs(double(a.z) * b.x) + std::fabs(double(a.x) * b.z),
                                 std::fabs(double(a.x) * b.y) + std::fabs(double(a.y) * b.x)};
        const float got[3] = {out.x, out.y, out.z};
        for (int k = 0; k < 3; k++)
            ASSERT_LE(std::fabs(got[k] - ref[k]), scale[k] * std::ldexp(1.0, -22)) << i << " " << k;

        D3DVECTOR intoA = a, intoB = b;
        sVecCrossProduct(&intoA, &b, &intoA);
        sVecCrossProduct(&a, &intoB, &intoB);
        ASSERT_TRUE(sameBits(intoA, out));
        ASSERT_TRUE(sameBits(intoB, out));
    }
    const D3DVECTOR x = vec(1, 0, 0), y = vec(0, 1, 0);
    D3DVECTOR z;
    sVecCrossProduct(&x, &y, &z);
    EXPECT_TRUE(sameBits(z, vec(0, 0, 1)));
}

// Every 3DNow! routine clears the MMX state (femms) before it returns.
TEST_P(VecProducts, LeaveTheX87StackEmpty)
{
    // The results are read too: a routine that skipped its work would also leave the stack empty.
    const double k = 1 / std::sqrt(14.0); // 1 / |(1, 2, 3)|
    D3DVECTOR a = vec(1, 2, 3), b = vec(-2, 0.5f, 4), out;
    float f = 0;
    sVecNormalize(&a);
    EXPECT_EQ(x87TagWord(), 0xFFFFu);
    EXPECT_NEAR(a.x, k, 1e-3);
    EXPECT_NEAR(a.z, 3 * k, 1e-3);
    sVecDotProduct(&a, &b, &f);
    EXPECT_EQ(x87TagWord(), 0xFFFFu);
    EXPECT_NEAR(f, 11 * k, 1e-2); // -2 + 1 + 12
    EXPECT_NEAR(sVecDotProductRet(&a, &b), f, 1e-5);
    EXPECT_EQ(x87TagWord(), 0xFFFFu);
    sVecCrossProduct(&a, &b, &out);
    EXPECT_EQ(x87TagWord(), 0xFFFFu);
    // (1, 2, 3) x (-2, 0.5, 4) = (6.5, -10, 4.5)
    EXPECT_NEAR(out.x, 6.5 * k, 1e-2);
    EXPECT_NEAR(out.y, -10 * k, 1e-2);
    EXPECT_NEAR(out.z, 4.5 * k, 1e-2);
    EXPECT_NEAR(sVecMagnitude(&b), std::sqrt(20.25), 1e-3);
    EXPECT_EQ(x87TagWord(), 0xFFFFu);
}

MTEST_INSTANTIATE_VARIANTS(VecProducts);

// ---------------------------------------------------------------------------------------------
// Angles

TEST(VecClipAngle, WrapsIntoZeroTo360)
{
    const struct {
        float in, out;
    } cases[] = {{-30, 330}, {725, 5},    {0, 0},         {360, 0},   {-360, 0}, {359.5f, 359.5f},
                 {720, 0},   {-725, 355}, {1e-3f, 1e-3f}, {-1e-6f, 0} /* rounds to 360 */};
    for (const auto &c : cases)
        EXPECT_NEAR(sVecClipAngle(c.in), c.out, 1e-4) << c.in;
    Rand rnd(17);
    for (int i = 0; i < 2000; i++) {
        const float r = sVecClipAngle(rnd.Next(-1e5f, 1e5f) * rnd.Next(-1e-3f, 1.0f));
        ASSERT_GE(r, 0.0f);
        ASSERT_LT(r, 360.0f);
    }
}

class VecAngles : public VariantTest {
protected:
    // Degrees; the 3DNow! arc tangent uses the raw reciprocal estimate on a real processor.
    double Tol() const { return variant() == MathsVariant3DNow ? 0.02 : 2e-4; }
};

TEST_P(VecAngles, HV2AngleCardinalDirections)
{
    const struct {
        float h, v, angle;
    } cases[] = {{0, 0, 180},   {1, 0, 90},       {0, -1, 0},  {-1, 0, 270},
                 {0, 1, 180},   {1, 1, 135},      {1, -1, 45}, {-1, 1, 225},
                 {-1, -1, 315}, {0, -1e-30f, 180} /* length underflows: zero */};
    for (const auto &c : cases) {
        float a = -1;
        sVecHV2Angle(c.h, c.v, &a);
        EXPECT_NEAR(a, c.angle, Tol()) << c.h << ", " << c.v;
    }
}

TEST_P(VecAngles, HV2AngleFollowsTheHeadingAllRound)
{
    for (double deg = 0.25; deg < 360; deg += 0.5) {
        const double r = deg * kPi / 180;
        for (double len : {1e-3, 1.0, 1e4}) {
            float a;
            sVecHV2Angle(static_cast<float>(len * std::sin(r)),
                         static_cast<float>(-len * std::cos(r)), &a);
            ASSERT_NEAR(a, deg, Tol()) << len;
        }
    }
}

TEST_P(VecAngles, RotateTurnsAboutZThenYThenX)
{
    Rand rnd(19);
    for (int i = 0; i < 500; i++) {
        const D3DVECTOR angle = rnd.NextVec(-360, 360);
        const D3DVECTOR src = rnd.NextVec(-10, 10);
        const DMat m = dmul(dmul(drot(2, angle.z), drot(1, angle.y)), drot(0, angle.x));
        const double ref[3] = {src.x * m.e[0][0] + src.y * m.e[1][0] + src.z * m.e[2][0],
                               src.x * m.e[0][1] + src.y * m.e[1][1] + src.z * m.e[2][1],
                               src.x * m.e[0][2] + src.y * m.e[1][2] + src.z * m.e[2][2]};
        D3DVECTOR dst;
        sVecRotate(&angle, &src, &dst);
        ASSERT_NEAR(dst.x, ref[0], 2e-5) << i;
        ASSERT_NEAR(dst.y, ref[1], 2e-5) << i;
        ASSERT_NEAR(dst.z, ref[2], 2e-5) << i;
        D3DVECTOR inPlace = src;
        sVecRotate(&angle, &inPlace, &inPlace);
        ASSERT_TRUE(sameBits(inPlace, dst));
    }
}

TEST_P(VecAngles, SearchAngleTurnsPlusZTowardTheTarget)
{
    Rand rnd(23);
    for (int i = 0; i < 500; i++) {
        const D3DVECTOR from = rnd.NextVec(-50, 50), to = rnd.NextVec(-50, 50);
        D3DVECTOR angle;
        sVecSearchAngle(&from, &to, &angle);
        EXPECT_EQ(angle.z, 0.0f);
        ASSERT_GE(angle.x, 0.0f);
        ASSERT_LT(angle.x, 360.0f);
        ASSERT_GE(angle.y, 0.0f);
        ASSERT_LT(angle.y, 360.0f);
        // +Z turned about X, then about Y (a type 0 node's order) points from "from" to "to".
        const DMat m = dmul(drot(0, angle.x), drot(1, angle.y));
        const DVec d = {double(to.x) - from.x, double(to.y) - from.y, double(to.z) - from.z};
        const double len = dlen(d);
        ASSERT_NEAR(m.e[2][0], d.x / len, 1e-3) << i;
        ASSERT_NEAR(m.e[2][1], d.y / len, 1e-3) << i;
        ASSERT_NEAR(m.e[2][2], d.z / len, 1e-3) << i;
    }
}

MTEST_INSTANTIATE_VARIANTS(VecAngles);
