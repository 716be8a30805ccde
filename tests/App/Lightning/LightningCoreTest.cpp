#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "App/Lightning/LightningCore.h"
#include "Library/Matrix/MATLIB.h"

namespace {

struct DefOf {
    std::vector<_sceneShapeDef> shapes;
    _sceneDef def{};
    explicit DefOf(std::initializer_list<const char *> aNames)
    {
        for (const char *n : aNames) {
            _sceneShapeDef s{};
            strncpy(s.name, n, SCENE_NAME_SIZE - 1);
            shapes.push_back(s);
        }
        def.shapeCnt = (uint16_t)shapes.size();
        def.shapeP = shapes.data();
    }
    long Pair(long aI)
    {
        char prefix[16];
        return _jodgName(&def, aI, (long)shapes.size(), prefix, sizeof(prefix));
    }
};

struct Bolt {
    std::vector<_thund> base, work[LIGHTNING_STRAND_NUM];
    _lightningCore core{};
    Bolt(long aRows, float aWidth)
    {
        base.assign(aRows, _thund{});
        core._vertexHeightCnt = (int16_t)aRows;
        core._divCnt = 1;
        core._polyWidthRange = aWidth;
        core._thunderWidth = 1.0f;
        core._thunderWidthMax = 1.0f;
        core._thunderBaseP = base.data();
        for (long s = 0; s < LIGHTNING_STRAND_NUM; s++) {
            work[s].assign(aRows, _thund{});
            core._thunderWorkP[s] = work[s].data();
        }
    }
};

}  // namespace

TEST(LightningPairs, NamesPairByTheCharactersBeforeTheLetter)
{
    DefOf d{"ship", "thand1b", "thand1a", "thand123a", "thand123b", "thand07a", "thand7b", "thand08a", "thand08"};
    EXPECT_EQ(d.Pair(2), 1);   // thand1a -> thand1b
    EXPECT_EQ(d.Pair(1), -1);  // an end starts nothing
    EXPECT_EQ(d.Pair(3), -1);  // three characters make no bolt
    EXPECT_EQ(d.Pair(5), -1);  // thand7b does not share thand07
    EXPECT_EQ(d.Pair(7), -1);  // thand08 has no letter after the digits
    EXPECT_EQ(d.Pair(0), -1);
}

TEST(LightningPairs, NameReaderRefusesAThirdCharacter)
{
    char beam[3];
    EXPECT_EQ(_jodgName2("thand7a", beam), 'a');
    EXPECT_STREQ(beam, "7");
    EXPECT_EQ(_jodgName2("thand12b", beam), 'b');
    EXPECT_STREQ(beam, "12");
    EXPECT_EQ(_jodgName2("thand123a", beam), 0);
    EXPECT_EQ(_jodgName2("thand", beam), 0);
    EXPECT_EQ(_jodgName1("than"), 0);
    EXPECT_EQ(_jodgName1(nullptr), 0);
}

TEST(LightningPairs, UnterminatedNameFieldIsReadOnlyToItsEnd)
{
    DefOf d{"x"};
    memset(d.shapes[0].name, 'a', SCENE_NAME_SIZE);
    memcpy(d.shapes[0].name, "thand1", 6);
    EXPECT_EQ(d.Pair(0), -1);
}

TEST(LightningGate, HalfDissolvedEndHidesTheBolt)
{
    EXPECT_TRUE(sLightningVisible(0.0f, 0.49f));
    EXPECT_FALSE(sLightningVisible(0.0f, 0.5f));
    EXPECT_FALSE(sLightningVisible(0.5f, 0.0f));
}

TEST(LightningShake, AmplitudeLimitNeverPassesTenSegments)
{
    srand(5);
    Bolt b(30, 0.5f);
    const D3DVECTOR p1 = {{0.0f}, {0.0f}, {0.0f}};
    // 28 segments over 14 units: ten segment lengths are 5 units.
    const D3DVECTOR p2 = {{14.0f}, {0.0f}, {0.0f}};
    float last = 0.0f;
    for (long f = 0; f < 400; f++) {
        sLightningShake(&b.core, &p1, &p2);
        EXPECT_LE(b.core._thunderWidthMax, 10.0f * b.core._polyHeightRange + 1e-4f);
        last = b.core._thunderWidthMax;
    }
    EXPECT_NEAR(last, 5.0f, 1e-4f);  // grew up to the cap
}

TEST(LightningShake, StrandsRunFromEndToStartWithQuietEnds)
{
    srand(9);
    Bolt b(16, 8.5f);
    const D3DVECTOR p1 = {{0.0f}, {10.0f}, {0.0f}};
    const D3DVECTOR p2 = {{0.0f}, {-6.0f}, {0.0f}};
    sLightningShake(&b.core, &p1, &p2);
    EXPECT_FLOAT_EQ(b.core._polyHeightRange, 16.0f / 14.0f);
    for (long s = 0; s < LIGHTNING_STRAND_NUM; s++) {
        EXPECT_FLOAT_EQ(b.work[s][0].baseTrans.y, -6.0f);
        EXPECT_FLOAT_EQ(b.work[s][15].baseTrans.y, -6.0f + 15.0f * 1.0f);
        EXPECT_EQ(b.work[s][15].shakeTransX, 0.0f);
        EXPECT_EQ(b.work[s][0].boneTransX, 0.0f);  // ends carry no arch
    }
    // The same draws give the same bolt.
    srand(9);
    Bolt c(16, 8.5f);
    sLightningShake(&c.core, &p1, &p2);
    for (long k = 0; k < 16; k++)
        EXPECT_EQ(b.work[4][k].shakeTransX, c.work[4][k].shakeTransX);
}

TEST(LightningShake, TooFewRowsLeaveTheBoltAlone)
{
    Bolt b(2, 1.0f);
    const D3DVECTOR p = {{1.0f}, {1.0f}, {1.0f}};
    sLightningShake(&b.core, &p, &p);
    EXPECT_EQ(b.core._polyHeightRange, 0.0f);
}

TEST(LightningRibbon, IndicesPairTheRowsIntoQuads)
{
    uint16_t idx[12];
    sLightningIndices(3, idx);
    const uint16_t want[12] = {0, 1, 2, 1, 3, 2, 2, 3, 4, 3, 5, 4};
    EXPECT_EQ(memcmp(idx, want, sizeof(want)), 0);
}

TEST(LightningRibbon, VerticesRunTheTextureAcrossAndAlongTheBolt)
{
    _lightningVertex v[6];
    memset(v, 0x55, sizeof(v));
    sLightningVertexInit(v, 3);
    for (long n = 0; n < 6; n++) {
        EXPECT_EQ(v[n].x, 0.0f);
        EXPECT_EQ(v[n].rhw, 1.0f);
        EXPECT_EQ(v[n].diffuse, 0x00FFFFFFu);
        EXPECT_EQ(v[n].specular, 0x00FFFFFFu);
        EXPECT_EQ(v[n].tu, (float)(n & 1));
        EXPECT_EQ(v[n].tv, (float)(n / 2) * 0.5f);
    }
}

TEST(LightningRibbon, WidthShrinksWithDistance)
{
    EXPECT_FLOAT_EQ(sLightningHalfWidth(0.0f, 0.5f, 1.0f), 50.0f);
    EXPECT_FLOAT_EQ(sLightningHalfWidth(100.0f, 0.5f, 1.0f), 0.5f);
    EXPECT_FLOAT_EQ(sLightningHalfWidth(200.0f, 0.5f, 2.0f), 0.5f);
}

TEST(LightningRibbon, RowsBehindTheNearPlaneMoveOntoIt)
{
    // Identity view; a projection with w = z.
    D3DMATRIX view, proj;
    sMatrixCreateUnit(&view);
    memset(&proj, 0, sizeof(proj));
    proj._11 = 1.0f;
    proj._22 = 1.0f;
    proj._33 = 1.0f;
    proj._34 = 1.0f;
    proj._43 = -1.0f;
    _thund rows[4] = {};
    const float zs[4] = {-10.0f, 2.0f, 6.0f, 10.0f};
    for (long k = 0; k < 4; k++)
        rows[k].baseTrans.z = zs[k];
    _lightningVertex v[8] = {};
    ASSERT_TRUE(sLightningStrandVertices(rows, 4, &view, &proj, 1.0f, 640.0f, 480.0f, 1.0f, 1.0f, v));
    // Row 0 lies on the near plane: depth (z - 1) / z = 0 there.
    EXPECT_NEAR(v[0].z, 0.0f, 1e-5f);
    // The ribbon is wider near the eye than far from it.
    const float nearW = fabsf(v[2].x - v[3].x) + fabsf(v[2].y - v[3].y);
    const float farW = fabsf(v[6].x - v[7].x) + fabsf(v[6].y - v[7].y);
    EXPECT_GT(nearW, farW);
    // All behind: nothing to draw.
    for (long k = 0; k < 4; k++)
        rows[k].baseTrans.z = -5.0f;
    EXPECT_FALSE(sLightningStrandVertices(rows, 4, &view, &proj, 1.0f, 640.0f, 480.0f, 1.0f, 1.0f, v));
}

TEST(LightningRibbon, OffScreenRectangleDrawsNothing)
{
    EXPECT_TRUE(sLightningOnScreen(-10.0f, -10.0f, 700.0f, 500.0f, 640.0f, 480.0f));
    EXPECT_FALSE(sLightningOnScreen(-100.0f, 10.0f, -5.0f, 50.0f, 640.0f, 480.0f));
    EXPECT_FALSE(sLightningOnScreen(10.0f, 480.0f, 50.0f, 900.0f, 640.0f, 480.0f));
}
