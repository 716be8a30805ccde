// Matrix routines, every variant through the dispatch pointers.

#include "Common/DrawLink.h"
#include "../Maths/MathsTestUtil.h"

#include "Library/Coord/COORDLIB.h"

using namespace mtest;

namespace {

bool sameBits(const D3DMATRIX &aA, const D3DMATRIX &aB)
{
    return memcmp(&aA, &aB, sizeof aA) == 0;
}

D3DMATRIX fromD(const DMat &aM)
{
    D3DMATRIX r;
    float *f = &r._11;
    for (int i = 0; i < 16; i++)
        f[i] = static_cast<float>(aM.e[i / 4][i % 4]);
    return r;
}

D3DMATRIX unit()
{
    D3DMATRIX m;
    sMatrixCreateUnit(&m);
    return m;
}

// Element-wise bound for a float product: each term's magnitude times a few float ulps.
void expectProductNear(const D3DMATRIX &aGot, const D3DMATRIX &aA, const D3DMATRIX &aB)
{
    const DMat a = dmat(aA), b = dmat(aB), ref = dmul(a, b);
    const float *g = &aGot._11;
    for (int i = 0; i < 4; i++)
        for (int j = 0; j < 4; j++) {
            double scale = 0;
            for (int k = 0; k < 4; k++)
                scale += std::fabs(a.e[i][k] * b.e[k][j]);
            ASSERT_LE(std::fabs(g[i * 4 + j] - ref.e[i][j]), scale * std::ldexp(1.0, -21))
                << i << j;
        }
}

// The camera that the draw manager would report.
D3DMATRIX gCameraView, gCameraProj;
float gCameraNear;
long getView(D3DMATRIX *aMatP)
{
    *aMatP = gCameraView;
    return 1;
}
long getProj(D3DMATRIX *aMatP)
{
    *aMatP = gCameraProj;
    return 1;
}
long getNear(float *aNearP)
{
    *aNearP = gCameraNear;
    return 1;
}
float gVanishX = 320, gVanishY = 240;

} // namespace

class MatrixOps : public VariantTest {};

TEST_P(MatrixOps, MulMatchesDoubleAndMayOverwriteEitherInput)
{
    Rand rnd(29);
    for (int i = 0; i < 1000; i++) {
        const D3DMATRIX a = rnd.NextMatrix(-100, 100), b = rnd.NextMatrix(-100, 100);
        D3DMATRIX out;
        sMatrixMul(&a, &b, &out);
        expectProductNear(out, a, b);

        D3DMATRIX intoA = a, intoB = b, square = a, squareRef;
        sMatrixMul(&intoA, &b, &intoA);
        sMatrixMul(&a, &intoB, &intoB);
        sMatrixMul(&a, &a, &squareRef);
        sMatrixMul(&square, &square, &square);
        ASSERT_TRUE(sameBits(intoA, out));
        ASSERT_TRUE(sameBits(intoB, out));
        ASSERT_TRUE(sameBits(square, squareRef));
    }
}

TEST_P(MatrixOps, ApplyVectorUsesTheFirstThreeColumnsWithoutDivide)
{
    Rand rnd(31);
    for (int i = 0; i < 1000; i++) {
        const D3DMATRIX m = rnd.NextMatrix(-10, 10);
        const D3DVECTOR src = rnd.NextVec(-100, 100);
        D3DVECTOR dst;
        sMatrixApplyVector(&m, &src, &dst);
        const DMat d = dmat(m);
        const float got[3] = {dst.x, dst.y, dst.z};
        for (int j = 0; j < 3; j++) {
            const double ref =
                src.x * d.e[0][j] + src.y * d.e[1][j] + src.z * d.e[2][j] + d.e[3][j];
            const double scale = std::fabs(src.x * d.e[0][j]) + std::fabs(src.y * d.e[1][j]) +
                                 std::fabs(src.z * d.e[2][j]) + std::fabs(d.e[3][j]);
            ASSERT_LE(std::fabs(got[j] - ref), scale * std::ldexp(1.0, -21)) << i << " " << j;
        }
        D3DVECTOR inPlace = src;
        sMatrixApplyVector(&m, &inPlace, &inPlace);
        ASSERT_EQ(memcmp(&inPlace, &dst, sizeof dst), 0);
    }
}

TEST_P(MatrixOps, RotateXYZIsRxThenRyThenRz)
{
    Rand rnd(37);
    for (int i = 0; i < 500; i++) {
        const D3DMATRIX m = rnd.NextMatrix(-10, 10);
        const float ax = rnd.Next(-400, 400), ay = rnd.Next(-400, 400), az = rnd.Next(-400, 400);
        D3DMATRIX got = m;
        sMatrixRotateXYZ(&got, ax, ay, az);
        const DMat ref = dmul(dmat(m), dmul(dmul(drot(0, ax), drot(1, ay)), drot(2, az)));
        ASSERT_LE(maxDiff(got, ref), 2e-4) << i; // elements up to ~17, angles through a float π/180
        for (int r = 0; r < 4; r++)
            ASSERT_EQ(bits((&got._14)[r * 4]), bits((&m._14)[r * 4])) << "column 4, row " << r;
    }
}

TEST_P(MatrixOps, ZeroAnglesLeaveTheMatrixUntouched)
{
    D3DMATRIX m = unit();
    m._12 = INFINITY; // any multiply-add with it would leave a NaN behind
    m._23 = -0.0f;
    m._31 = NAN;
    const D3DMATRIX before = m;
    sMatrixRotateXYZ(&m, 0.0f, 0.0f, 0.0f);
    EXPECT_TRUE(sameBits(m, before));
    sMatrixRotateXYZ(&m, -0.0f, 0.0f, -0.0f);
    EXPECT_TRUE(sameBits(m, before));
}

TEST_P(MatrixOps, ScaleMultipliesColumnsAndLeavesColumnFour)
{
    Rand rnd(41);
    for (int i = 0; i < 500; i++) {
        const D3DMATRIX m = rnd.NextMatrix(-100, 100);
        const float s[3] = {rnd.Next(-5, 5), rnd.Next(-5, 5), rnd.Next(-5, 5)};
        D3DMATRIX got = m;
        sMatrixScale(&got, s[0], s[1], s[2]);
        for (int r = 0; r < 4; r++) {
            for (int c = 0; c < 3; c++) {
                const float want = (&m._11)[r * 4 + c] * s[c];
                ASSERT_EQ(bits((&got._11)[r * 4 + c]), bits(want)) << r << c;
            }
            ASSERT_EQ(bits((&got._14)[r * 4]), bits((&m._14)[r * 4]));
        }
    }
}

TEST_P(MatrixOps, InvertTimesOriginalIsIdentity)
{
    Rand rnd(43);
    for (int i = 0; i < 500; i++) {
        const DMat a =
            dmul(dmul(dscale(rnd.Next(0.2f, 5), rnd.Next(0.2f, 5), rnd.Next(0.2f, 5)),
                      dmul(drot(0, rnd.Next(0, 360)), drot(2, rnd.Next(0, 360)))),
                 dtranslate(rnd.Next(-100, 100), rnd.Next(-100, 100), rnd.Next(-100, 100)));
        const D3DMATRIX m = fromD(a);
        D3DMATRIX inv, prod;
        ASSERT_EQ(sMatrixInvert(&m, &inv), 0);
        sMatrixMul(&inv, &m, &prod);
        ASSERT_LE(maxDiff(prod, didentity()), 1e-4) << i;
        sMatrixMul(&m, &inv, &prod);
        ASSERT_LE(maxDiff(prod, didentity()), 1e-4) << i;
        EXPECT_EQ(inv._14, 0.0f);
        EXPECT_EQ(inv._44, 1.0f);
        D3DMATRIX inPlace = m;
        ASSERT_EQ(sMatrixInvert(&inPlace, &inPlace), 0);
        ASSERT_TRUE(sameBits(inPlace, inv));
    }
}

MTEST_INSTANTIATE_VARIANTS(MatrixOps);

// ---------------------------------------------------------------------------------------------
// Direct routines

TEST(MatrixRotate, SingleAxisRotationsAppendTheDirect3DMatrices)
{
    Rand rnd(47);
    void (*const rotate[3])(D3DMATRIX *, float) = {sMatrixRotateX, sMatrixRotateY, sMatrixRotateZ};
    for (int axis = 0; axis < 3; axis++) {
        for (int i = 0; i < 200; i++) {
            const D3DMATRIX m = rnd.NextMatrix(-10, 10);
            const float deg = rnd.Next(-720, 720);
            D3DMATRIX got = m;
            rotate[axis](&got, deg);
            ASSERT_LE(maxDiff(got, dmul(dmat(m), drot(axis, deg))), 2e-5) << axis;
        }
        D3DMATRIX m = unit();
        m._13 = INFINITY;
        m._22 = NAN;
        const D3DMATRIX before = m;
        rotate[axis](&m, 0.0f);
        EXPECT_TRUE(sameBits(m, before)) << "angle 0 must not touch m, axis " << axis;
    }
    // About Z by 90°: x goes to y.
    D3DMATRIX m = unit();
    sMatrixRotateZ(&m, 90);
    D3DVECTOR v = vec(1, 0, 0);
    sMatrixApplyVectorNormal(&m, &v, &v);
    EXPECT_NEAR(v.x, 0, 1e-7);
    EXPECT_NEAR(v.y, 1, 1e-7);
}

TEST(MatrixTranslate, AppendsATranslation)
{
    Rand rnd(53);
    for (int i = 0; i < 200; i++) {
        const D3DMATRIX m = rnd.NextMatrix(-10, 10);
        const float x = rnd.Next(-50, 50), y = rnd.Next(-50, 50), z = rnd.Next(-50, 50);
        D3DMATRIX got = m;
        sMatrixTranslate(&got, x, y, z);
        ASSERT_LE(maxDiff(got, dmul(dmat(m), dtranslate(x, y, z))), 1e-4);
    }
}

TEST(MatrixInvert, RefusesNonAffineMatricesWithoutWritingDst)
{
    const struct {
        int index; // element 0.._44 = 15
        float value;
        long result;
    } cases[] = {
        {15, 1.002f, -1}, {15, 0.998f, -1}, {3, 0.002f, -1},  {7, -0.002f, -1}, {11, 0.01f, -1},
        {15, NAN, -1},    {3, NAN, -1},     {15, 1.0009f, 0}, {3, -0.0009f, 0}, {11, 0.0f, 0},
    };
    for (const auto &c : cases) {
        D3DMATRIX src = unit();
        src._41 = 5;
        (&src._11)[c.index] = c.value;
        D3DMATRIX dst;
        memset(&dst, 0xA5, sizeof dst);
        D3DMATRIX sentinel = dst;
        EXPECT_EQ(sMatrixInvert(&src, &dst), c.result) << c.index << " = " << c.value;
        if (c.result == -1) {
            EXPECT_TRUE(sameBits(dst, sentinel));
        } else {
            EXPECT_NEAR(dst._41, -5, 1e-6);
            EXPECT_EQ(dst._44, 1.0f);
        }
    }
}

TEST(MatrixInvert, SingularAffineMatrixIsNotTested)
{
    D3DMATRIX m = unit();
    m._22 = 0; // flattened
    D3DMATRIX inv;
    EXPECT_EQ(sMatrixInvert(&m, &inv), 0);
    EXPECT_FALSE(std::isfinite(inv._22));
}

// ---------------------------------------------------------------------------------------------
// Projection and box visibility, with the camera that the draw manager reports

class MatrixCamera : public VariantTest {
protected:
    void SetUp() override
    {
        VariantTest::SetUp();
        if (IsSkipped())
            return;
        gCameraView = unit();
        ASSERT_EQ(sCoordSetProjectionMatrix(&gCameraProj, static_cast<float>(kPi / 2), 1, 1, 100),
                  0);
        gCameraNear = 1;
        drawManLink = {};
        drawManLink.getViewMatrixP = getView;
        drawManLink.getProjMatrixP = getProj;
        drawManLink.getNearP = getNear;
        drawManLink.vanishXP = &gVanishX;
        drawManLink.vanishYP = &gVanishY;
    }
    void TearDown() override
    {
        drawManLink = {};
        VariantTest::TearDown();
    }
    // Corners of the box centred at c with half size h.
    static void Box(float aCx, float aCy, float aCz, float aH, D3DVECTOR aBox[8])
    {
        for (int i = 0; i < 8; i++)
            aBox[i] = vec(aCx + ((i & 1) ? aH : -aH), aCy + ((i & 2) ? aH : -aH),
                          aCz + ((i & 4) ? aH : -aH));
    }
};

TEST_P(MatrixCamera, RotTransPersProjectsAboutTheVanishingPoint)
{
    // Camera looking down +Z from (0, 0, -10); a point in the world 5 units right and up.
    const D3DVECTOR eye = vec(0, 0, -10), at = vec(0, 0, 0), up = vec(0, 1, 0);
    ASSERT_EQ(sCoordSetViewMatrix(&gCameraView, &eye, &at, &up), 0);
    D3DMATRIX world = unit();
    sMatrixTranslate(&world, 5, 5, 0);
    const D3DVECTOR src = vec(0, 0, 0);
    D3DVECTOR dst;
    const float w = sMatrixRotTransPers(&world, &src, &dst);
    EXPECT_NEAR(w, 10, 1e-5);                        // depth in view space
    EXPECT_NEAR(dst.x, (0.5 + 1) * 320, 1e-3);       // x/w = 0.5
    EXPECT_NEAR(dst.y, (1 - 0.5) * 240, 1e-3);       // screen y grows downwards
    EXPECT_NEAR(dst.z, 100.0 / 99 * (10 - 1), 1e-4); // undivided Q·(z - near)

    drawManLink.getViewMatrixP = nullptr; // no camera: identity view and projection
    drawManLink.getProjMatrixP = nullptr;
    const D3DVECTOR p = vec(0.5f, -0.25f, 3);
    EXPECT_EQ(sMatrixRotTransPers(&world, &p, &dst), 1.0f);
    EXPECT_NEAR(dst.x, (5.5 + 1) * 320, 1e-3);
    EXPECT_NEAR(dst.y, (1 - 4.75) * 240, 1e-3);
    EXPECT_EQ(dst.z, 3.0f);
}

TEST_P(MatrixCamera, CheckBoxAgainstScreenAndNearDistance)
{
    const struct {
        float cx, cy, cz, h;
        long strict, loose;
        const char *what;
    } cases[] = {
        {0, 0, 10, 1, 1, 1, "in front, centred"},
        {0, 0, -10, 2, 0, 0, "behind the camera"},
        {0, 0, 1.4f, 0.3f, 0, 1, "projected z at most the near distance"},
        {13, 0, 10, 0.5f, 0, 1, "right, within half a screen"},
        {-13, 0, 10, 0.5f, 0, 1, "left, within half a screen"},
        {0, 13, 10, 0.5f, 0, 1, "above, within half a screen"},
        {0, -13, 10, 0.5f, 0, 1, "below, within half a screen"},
        {25, 0, 10, 0.5f, 0, 0, "right, beyond half a screen"},
        {0, -25, 10, 0.5f, 0, 0, "below, beyond half a screen"},
        {10.2f, 0, 10, 0.5f, 1, 1, "straddling the right edge"},
        {0, 0, 50, 60, 1, 1, "enclosing the view"},
    };
    const D3DMATRIX world = unit();
    for (const auto &c : cases) {
        D3DVECTOR box[8];
        Box(c.cx, c.cy, c.cz, c.h, box);
        EXPECT_EQ(sMatrixCheckBox(&world, &gCameraView, &gCameraProj, box), c.strict) << c.what;
        EXPECT_EQ(sMatrixCheckBoxLoose(&world, &gCameraView, &gCameraProj, box), c.loose) << c.what;
    }
    // The world matrix places the box: moved from behind the camera into view.
    D3DVECTOR box[8];
    Box(0, 0, -10, 1, box);
    D3DMATRIX world2 = unit();
    sMatrixTranslate(&world2, 0, 0, 20);
    EXPECT_EQ(sMatrixCheckBox(&world2, &gCameraView, &gCameraProj, box), 1);
}

// A box with no screen extent (every corner at the eye, or not finite) is never drawn, and the
// test does not trap.
TEST_P(MatrixCamera, DegenerateBoxesAreNotVisibleAndDoNotTrap)
{
    D3DVECTOR box[8];
    Box(0, 0, 0, 0, box); // w = 0 for every corner
    const D3DMATRIX world = unit();
    EXPECT_EQ(sMatrixCheckBox(&world, &gCameraView, &gCameraProj, box), 0);
    EXPECT_EQ(sMatrixCheckBoxLoose(&world, &gCameraView, &gCameraProj, box), 0);
    box[3].x = NAN;
    box[5].z = INFINITY;
    EXPECT_EQ(sMatrixCheckBox(&world, &gCameraView, &gCameraProj, box), 0);
    EXPECT_EQ(sMatrixCheckBoxLoose(&world, &gCameraView, &gCameraProj, box), 0);
    EXPECT_EQ(x87TagWord(), 0xFFFFu);
}

MTEST_INSTANTIATE_VARIANTS(MatrixCamera);

TEST(MatrixCheckBox, WithoutACameraTheNearDistanceIsZero)
{
    drawManLink = {};
    D3DMATRIX proj;
    ASSERT_EQ(sCoordSetProjectionMatrix(&proj, static_cast<float>(kPi / 2), 1, 1, 100), 0);
    const D3DMATRIX unitM = unit();
    D3DVECTOR box[8];
    for (int i = 0; i < 8; i++)
        box[i] = vec((i & 1) ? 0.3f : -0.3f, (i & 2) ? 0.3f : -0.3f, (i & 4) ? 1.5f : 1.2f);
    EXPECT_EQ(sMatrixCheckBox(&unitM, &unitM, &proj, box), 1); // max Z = Q·0.5 > 0
}
