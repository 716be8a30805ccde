// Direct3D utility routines and the vector operators.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "System/D3DFrame/d3dmath.h"
#include "System/D3DFrame/d3dutil.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

D3DVECTOR vec(float aX, float aY, float aZ)
{
    D3DVECTOR v;
    v.x = aX;
    v.y = aY;
    v.z = aZ;
    return v;
}

D3DMATRIX filled()
{
    D3DMATRIX m;
    memset(&m, 0xA5, sizeof m);
    return m;
}

bool sameBits(const D3DMATRIX &aA, const D3DMATRIX &aB)
{
    return memcmp(&aA, &aB, sizeof aA) == 0;
}

// Element i (0.._44 = 15) of an expected matrix given as 16 values.
void expectMatrix(const D3DMATRIX &aM, const float (&aWant)[16], float aTol)
{
    for (int i = 0; i < 16; i++)
        EXPECT_NEAR((&aM._11)[i], aWant[i], aTol) << "element _" << i / 4 + 1 << i % 4 + 1;
}

} // namespace

TEST(D3DUtil, IdentityOverwritesEveryElement)
{
    const float unit[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    D3DMATRIX m = filled();
    D3DUtil_SetIdentityMatrix(m);
    expectMatrix(m, unit, 0);
}

TEST(D3DUtil, InitMaterialZeroesEverythingButDiffuseAndAmbient)
{
    D3DMATERIAL7 mtrl;
    memset(&mtrl, 0xA5, sizeof mtrl);
    D3DUtil_InitMaterial(mtrl, 0.25f, 0.5f, 0.75f, 0.125f);
    for (const D3DCOLORVALUE &cv : {mtrl.diffuse, mtrl.ambient}) {
        EXPECT_EQ(cv.r, 0.25f);
        EXPECT_EQ(cv.g, 0.5f);
        EXPECT_EQ(cv.b, 0.75f);
        EXPECT_EQ(cv.a, 0.125f);
    }
    const D3DCOLORVALUE zero = {};
    EXPECT_EQ(memcmp(&mtrl.specular, &zero, sizeof zero), 0);
    EXPECT_EQ(memcmp(&mtrl.emissive, &zero, sizeof zero), 0);
    EXPECT_EQ(mtrl.power, 0.0f);
}

TEST(D3DUtil, ProjectionRefusesDegenerateInputAndLeavesTheMatrix)
{
    const struct {
        float fov, nearZ, farZ;
    } bad[] = {{1.0f, 10, 10}, {1.0f, 10, 10.005f}, {0.0f, 1, 100}, {0.019f, 1, 100}};
    for (const auto &b : bad) {
        D3DMATRIX m = filled();
        EXPECT_EQ(D3DUtil_SetProjectionMatrix(m, b.fov, 1, b.nearZ, b.farZ), E_INVALIDARG) << b.fov;
        EXPECT_TRUE(sameBits(m, filled()));
    }
}

TEST(D3DUtil, ProjectionMatrix)
{
    D3DMATRIX m = filled();
    ASSERT_EQ(D3DUtil_SetProjectionMatrix(m, static_cast<float>(kPi / 2), 0.75f, 1, 101), S_OK);
    const float want[16] = {0.75f, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1.01f, 1, 0, 0, -1.01f, 0};
    expectMatrix(m, want, 1e-6f);
}

TEST(D3DMath, VectorMatrixMultiplyDividesByW)
{
    D3DMATRIX m;
    D3DUtil_SetProjectionMatrix(m, static_cast<float>(kPi / 2), 1, 1, 101);
    m._41 = 2; // and a shift before the divide
    D3DVECTOR out = vec(9, 9, 9);
    ASSERT_EQ(D3DMath_VectorMatrixMultiply(out, vec(4, -2, 10), m), S_OK);
    EXPECT_FLOAT_EQ(out.x, (4 + 2) / 10.0f);
    EXPECT_FLOAT_EQ(out.y, -2 / 10.0f);
    EXPECT_FLOAT_EQ(out.z, (10 * 1.01f - 1.01f) / 10);

    D3DVECTOR v = vec(4, -2, 10); // in place
    ASSERT_EQ(D3DMath_VectorMatrixMultiply(v, v, m), S_OK);
    EXPECT_EQ(memcmp(&v, &out, sizeof v), 0);
}

TEST(D3DMath, VectorMatrixMultiplyRefusesAZeroW)
{
    D3DMATRIX m;
    D3DUtil_SetProjectionMatrix(m, 1, 1, 1, 100);
    for (float z : {0.0f, 5e-6f, -9e-6f}) {
        D3DVECTOR out = vec(7, 8, 9);
        EXPECT_EQ(D3DMath_VectorMatrixMultiply(out, vec(1, 1, z), m), E_INVALIDARG) << z;
        EXPECT_EQ(out.x, 7.0f);
        EXPECT_EQ(out.y, 8.0f);
        EXPECT_EQ(out.z, 9.0f);
    }
    D3DVECTOR out;
    EXPECT_EQ(D3DMath_VectorMatrixMultiply(out, vec(1, 1, 2e-5f), m), S_OK);
}

TEST(D3DVectorOperators, AreComponentWise)
{
    const D3DVECTOR a = vec(1, 2, 3), b = vec(0.5f, -4, 8);
    const struct {
        D3DVECTOR got, want;
        const char *op;
    } cases[] = {
        {a + b, vec(1.5f, -2, 11), "+"},  {a - b, vec(0.5f, 6, -5), "-"},
        {-a, vec(-1, -2, -3), "unary -"}, {a * 2.0f, vec(2, 4, 6), "* s"},
        {2.0f * a, vec(2, 4, 6), "s *"},  {b / 2.0f, vec(0.25f, -2, 4), "/ s"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(c.got.x, c.want.x) << c.op;
        EXPECT_EQ(c.got.y, c.want.y) << c.op;
        EXPECT_EQ(c.got.z, c.want.z) << c.op;
    }
    D3DVECTOR v = a;
    EXPECT_EQ(&(v += b), &v);
    EXPECT_EQ(v.z, 11.0f);
    v /= 4.0f;
    EXPECT_EQ(v.x, 0.375f);
    EXPECT_EQ(v.y, -0.5f);
    EXPECT_EQ(v.z, 2.75f);
}
