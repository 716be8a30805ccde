#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cpuid.h>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "App/Water/WaterCore.h"
#include "Library/Maths/MathsLib.h"
#include "Library/Vec/VECLIB.h"

namespace {

bool cpuHas(unsigned aLeaf, int aBit)
{
    unsigned a, b, c, d;
    return __get_cpuid(aLeaf, &a, &b, &c, &d) && (d & (1u << aBit));
}

struct Surface {
    std::vector<_waterVertex> vert = std::vector<_waterVertex>(WATER_VERTEX_CNT);
    std::vector<_wave> wave = std::vector<_wave>(WATER_VERTEX_CNT);

    explicit Surface(unsigned aSeed = 7)
    {
        const D3DVECTOR trans = {{-2.75f}, {0.75f}, {2.75f}};
        srand(aSeed);
        sWaterRestVertex(vert.data(), &trans, 0.11f);
        memset(wave.data(), 0, wave.size() * sizeof(_wave));
    }
    void steps(_waterWaveProc aProc, int aCnt)
    {
        for (int s = 0; s < aCnt; s++) {
            aProc(vert.data(), wave.data(), WATER_GRID, WATER_GRID);
            for (int i = 0; i < WATER_VERTEX_CNT; i++)
                vert[i].y += 0.1f * wave[i].pos.y;
        }
    }
};

struct WaveVariant {
    const char *name;
    _waterWaveProc proc;
    unsigned leaf;
    int bit;
    float heightTol;  // largest height difference from Normal after 200 steps
};

// SSE differs from Normal only by float roundings of its sine series: 1e-5 of height (a
// hundredth of a percent of the 0.1 drop). The 3DNow! estimates carry 14 to 15 bits per force
// term on the processor (the emulator's are exact): 5e-4, half a percent of the drop. A missing
// or misplaced neighbour moves heights by about 1e-2.
const WaveVariant kWaveVariants[] = {
    {"SSE", _conputWaveSSE, 1, 25, 1e-5f},
    {"ThreeDNow", _conputWave3DNow, 0x80000001u, 31, 5e-4f},
    {"EnhancedThreeDNow", _conputWaveE3DNow, 0x80000001u, 30, 5e-4f},
};

class WaterWave : public ::testing::TestWithParam<WaveVariant> {
protected:
    void SetUp() override
    {
        if (!cpuHas(GetParam().leaf, GetParam().bit))
            GTEST_SKIP() << "processor without " << GetParam().name;
    }
};

// The Normal run every variant is held against, made once (it is slow under the emulator).
const Surface &normalAfterDrop()
{
    static Surface *normal = [] {
        Surface *s = new Surface;
        sWaterDrop(s->vert.data(), 20, 30, 0.1f, 0.75f);
        s->steps(_conputWaveNormal, 200);
        return s;
    }();
    return *normal;
}

TEST_P(WaterWave, AgreesWithNormalAfterTwoHundredStepsFromOneDrop)
{
    const Surface &normal = normalAfterDrop();
    Surface variant;
    ASSERT_EQ(1, sWaterDrop(variant.vert.data(), 20, 30, 0.1f, 0.75f));
    variant.steps(GetParam().proc, 200);

    float worst = 0.0f, moved = 0.0f;
    for (int i = 0; i < WATER_VERTEX_CNT; i++) {
        ASSERT_TRUE(std::isfinite(variant.vert[i].y)) << i;
        worst = std::max(worst, std::fabs(variant.vert[i].y - normal.vert[i].y));
        moved = std::max(moved, std::fabs(normal.vert[i].y - 0.75f));
    }
    EXPECT_LE(worst, GetParam().heightTol);
    EXPECT_GT(moved, 0.005f) << "the ripple must have spread";
    // The far corner has been reached by the ripple too.
    EXPECT_NE(normal.vert[0].y, Surface().vert[0].y);
}

TEST_P(WaterWave, LevelSurfaceHasNoForceAndJitterOnlySmallOnes)
{
    Surface s;
    for (auto &v : s.vert)
        v.y = 0.75f;
    GetParam().proc(s.vert.data(), s.wave.data(), WATER_GRID, WATER_GRID);
    for (const auto &w : s.wave)
        ASSERT_EQ(0.0f, w.pos.y);

    // Jitter of ±0.0025: each of eight neighbours pulls by at most π/3.5 times 0.005.
    Surface j;
    GetParam().proc(j.vert.data(), j.wave.data(), WATER_GRID, WATER_GRID);
    float largest = 0.0f;
    for (const auto &w : j.wave)
        largest = std::max(largest, std::fabs(w.pos.y));
    EXPECT_GT(largest, 0.0f);
    EXPECT_LE(largest, 8 * 0.8976f * 0.005f);
}

INSTANTIATE_TEST_SUITE_P(Variants, WaterWave, ::testing::ValuesIn(kWaveVariants),
                         [](const ::testing::TestParamInfo<WaveVariant> &aInfo) { return std::string(aInfo.param.name); });

TEST(WaterWaveNormal, PullsARaisedVertexDownAndItsNeighboursUp)
{
    Surface s;
    for (auto &v : s.vert)
        v.y = 0.0f;
    s.vert[25 * WATER_GRID + 25].y = 0.1f;
    _conputWaveNormal(s.vert.data(), s.wave.data(), WATER_GRID, WATER_GRID);
    // Eight neighbours each at distance √(0.11² + 0.1²) or √(2·0.11² + 0.1²).
    const double l1 = std::sqrt(0.11 * 0.11 + 0.01), l2 = std::sqrt(2 * 0.11 * 0.11 + 0.01);
    const double k = 3.14159265358979 / 3.5;
    const double f = 4 * l1 * std::sin(k * 0.1 / l1) + 4 * l2 * std::sin(k * 0.1 / l2);
    EXPECT_NEAR(-f, s.wave[25 * WATER_GRID + 25].pos.y, 1e-5);
    EXPECT_NEAR(l1 * std::sin(k * 0.1 / l1), s.wave[25 * WATER_GRID + 24].pos.y, 1e-6);
    EXPECT_EQ(0.0f, s.wave[25 * WATER_GRID + 27].pos.y);
}

TEST(WaterWaveSelect, ThreeDNowWinsOverSseAndEnhancedOverrides)
{
    EXPECT_EQ(_conputWaveNormal, sWaterSelectWave(0x1 | 0x4));
    EXPECT_EQ(_conputWaveSSE, sWaterSelectWave(WATER_OPT_SSE));
    EXPECT_EQ(_conputWave3DNow, sWaterSelectWave(WATER_OPT_SSE | WATER_OPT_3DNOW));
    EXPECT_EQ(_conputWaveE3DNow, sWaterSelectWave(WATER_OPT_E3DNOW));
    EXPECT_EQ(_conputWaveE3DNow, sWaterSelectWave(WATER_OPT_SSE | WATER_OPT_3DNOW | WATER_OPT_E3DNOW));
}

TEST(WaterGrid, RestSurfaceLiesOnTheGridWithinTheJitter)
{
    Surface s;
    const _waterVertex &v = s.vert[3 * WATER_GRID + 49];
    EXPECT_FLOAT_EQ(49 * 0.11f - 2.75f, v.x);
    EXPECT_FLOAT_EQ(-3 * 0.11f + 2.75f, v.z);
    EXPECT_FLOAT_EQ(1.0f, v.tu);
    EXPECT_FLOAT_EQ(3.0f / 49.0f, v.tv);
    for (const auto &w : s.vert) {
        ASSERT_LE(std::fabs(w.y - 0.75f), 0.0025f + 1e-6f);
        ASSERT_EQ(1.0f, w.ny);
    }
}

TEST(WaterGrid, DropsOnTheBorderAreIgnored)
{
    Surface s;
    const auto before = s.vert;
    for (long p : {0L, 49L, -1L, 50L}) {
        EXPECT_EQ(0, sWaterDrop(s.vert.data(), p, 10, 0.1f, 0.75f));
        EXPECT_EQ(0, sWaterDrop(s.vert.data(), 10, p, 0.1f, 0.75f));
    }
    EXPECT_EQ(0, memcmp(before.data(), s.vert.data(), before.size() * sizeof(_waterVertex)));
    EXPECT_EQ(1, sWaterDrop(s.vert.data(), 48, 1, 0.1f, 0.75f));
    EXPECT_FLOAT_EQ(0.85f, s.vert[1 * WATER_GRID + 48].y);
    EXPECT_EQ(1, sWaterDrop(s.vert.data(), 1, 48, 0.1f, 0.75f));
    EXPECT_FLOAT_EQ(0.85f, s.vert[48 * WATER_GRID + 1].y);
}

TEST(WaterGrid, RefractionImageDivisorFollowsTheScreenWidth)
{
    float w, h;
    EXPECT_EQ(2, sWaterDispZip(640, 480, &w, &h));
    EXPECT_EQ(320.0f, w);
    EXPECT_EQ(240.0f, h);
    EXPECT_EQ(2, sWaterDispZip(1024, 768, &w, &h));
    EXPECT_EQ(4, sWaterDispZip(1280, 1024, &w, &h));
    EXPECT_EQ(320.0f, w);
    EXPECT_EQ(8, sWaterDispZip(1600, 1200, &w, &h));
    EXPECT_EQ(200.0f, w);
    EXPECT_EQ(150.0f, h);
    EXPECT_EQ(8, sWaterDispZip(1920, 1080, &w, &h));
}

// The refraction image keeps its share of a smaller texture: viewport (screen / zip) and image
// size shrink by the texture's step, so coordinates (image / side) are the same fraction.
TEST(WaterGrid, RefractionTextureFitsTheDeviceAndKeepsItsProportions)
{
    const struct {
        long screenW, screenH;
        uint32_t maxW, maxH;
        float side;
        long zip;
        float rendW, rendH;
    } caseTbl[] = {
        {640, 480, 2048, 2048, 512.0f, 2, 320.0f, 240.0f},  // the cards that offer 512: unchanged
        {640, 480, 512, 512, 512.0f, 2, 320.0f, 240.0f},
        {640, 480, 256, 256, 256.0f, 4, 160.0f, 120.0f},    // 16-bit-only cards
        {1024, 768, 256, 256, 256.0f, 4, 256.0f, 192.0f},
        {1280, 1024, 256, 256, 256.0f, 8, 160.0f, 128.0f},
        {800, 600, 300, 1024, 256.0f, 4, 200.0f, 150.0f},   // a limit between powers of two
        {640, 480, 128, 64, 64.0f, 16, 40.0f, 30.0f},
    };
    for (const auto &c : caseTbl) {
        float w, h;
        long zip = sWaterDispZip(c.screenW, c.screenH, &w, &h);
        const float side = sWaterFitTexture(c.maxW, c.maxH, &zip, &w, &h);
        EXPECT_EQ(c.side, side) << c.screenW << " " << c.maxW;
        EXPECT_EQ(c.zip, zip) << c.screenW << " " << c.maxW;
        EXPECT_EQ(c.rendW, w) << c.screenW << " " << c.maxW;
        EXPECT_EQ(c.rendH, h) << c.screenW << " " << c.maxW;
        EXPECT_EQ((float)(c.screenW / zip), w) << "the viewport is the image";
        EXPECT_LE(w, side);
        EXPECT_LE(h, side);
    }
}

TEST(WaterGrid, NormalsOfATiltedSurfaceReplaceTheVertexNormalsAndKeepThePreviousOnes)
{
    Surface s;
    std::vector<uint16_t> index(WATER_INDEX_CNT);
    sWaterMakeIndex(index.data());
    for (uint16_t i : index)
        ASSERT_LT(i, WATER_VERTEX_CNT);
    // Heights rising with x: every face normal leans toward -x.
    for (auto &v : s.vert)
        v.y = v.x;
    std::vector<D3DVECTOR> normals(WATER_VERTEX_CNT);
    for (auto &n : normals)
        n.x = 0.0f, n.y = 1.0f, n.z = 0.0f;
    sWaterNormals(s.vert.data(), index.data(), normals.data());
    const float h = std::sqrt(0.5f);
    for (int i : {0, 1275, 2499}) {
        EXPECT_NEAR(0.0f, normals[i].x, 1e-6f) << "the previous normal is kept";
        EXPECT_EQ(1.0f, normals[i].y);
        EXPECT_LT(s.vert[i].nx, -0.1f) << i;
        EXPECT_GT(s.vert[i].ny, 0.1f) << i;
        EXPECT_NEAR(1.0f, std::hypot(s.vert[i].nx, s.vert[i].ny, s.vert[i].nz), 1e-5f);
    }
    // An inner vertex with six faces plus the previous (0, 1, 0) leans less than a pure face.
    EXPECT_GT(s.vert[1275].ny, h);
}

_waterTexParam screenParam()
{
    _waterTexParam p = {};
    p.screenMat._11 = p.screenMat._22 = p.screenMat._33 = p.screenMat._44 = 1.0f;
    p.vanishX = 320.0f, p.vanishY = 240.0f;
    p.dispZip = 2.0f;
    p.rendWidth = 320.0f, p.rendHeight = 240.0f;
    p.ratioWidth = 320.0f / 512.0f, p.ratioHeight = 240.0f / 512.0f;
    p.texRange = 512.0f;
    return p;
}

TEST(WaterTexture, RefractionCoordinatesClampToATenthOnTheLowSide)
{
    _waterTexParam p = screenParam();
    const D3DVECTOR up = {{0.0f}, {1.0f}, {0.0f}};
    _waterVertex v = {};
    // Screen x = (-2 + 1)·320 < 0, y = (1 - 2)·240 < 0.
    v.x = -2.0f, v.y = 2.0f;
    sWaterTexUV(&p, &v, &up, WATER_REFRACT);
    EXPECT_FLOAT_EQ(0.1f, v.tu);
    EXPECT_FLOAT_EQ(0.1f, v.tv);
    // Beyond the right and bottom: the used part of the texture.
    v.x = 2.0f, v.y = -2.0f;
    sWaterTexUV(&p, &v, &up, WATER_REFRACT);
    EXPECT_FLOAT_EQ(p.ratioWidth, v.tu);
    EXPECT_FLOAT_EQ(p.ratioHeight, v.tv);
    // Inside: the centre of the screen is the centre of the image.
    v.x = 0.0f, v.y = 0.0f;
    sWaterTexUV(&p, &v, &up, WATER_REFRACT);
    EXPECT_FLOAT_EQ(160.0f / 512.0f, v.tu);
    EXPECT_FLOAT_EQ(120.0f / 512.0f, v.tv);
    // Bent below 0 by the eye term: again 0.1, not 0. Eye at x = -10 with normal x = 1:
    // r.x = -9.5·(10·10.5) + 10 = -987.5; eye at x = 10 bends the other way.
    const D3DVECTOR lean = {{1.0f}, {0.0f}, {0.0f}};
    p.eyePos.x = -10.0f;
    v.x = -0.999f;  // screen x 0.32, image x 0.16, tu 0.0003125
    sWaterTexUV(&p, &v, &lean, WATER_REFRACT);
    EXPECT_FLOAT_EQ(0.1f, v.tu);
    p.eyePos.x = 10.0f;
    sWaterTexUV(&p, &v, &lean, WATER_REFRACT);
    EXPECT_NEAR(0.0003125f + 0.0003f * 987.5f, v.tu, 1e-5f);
    // A vertex in the eye's plane (W = 0) gives no non-number.
    p.screenMat._44 = 0.0f;
    v.x = v.y = v.z = 0.0f;
    sWaterTexUV(&p, &v, &up, WATER_REFRACT);
    EXPECT_TRUE(std::isfinite(v.tu) && std::isfinite(v.tv));
}

TEST(WaterTexture, SkyCoordinatesBendWithTheNormalsAndStayInTheTexture)
{
    Surface s;
    std::vector<D3DVECTOR> n(WATER_VERTEX_CNT);
    for (auto &v : n)
        v.x = 0.0f, v.y = 1.0f, v.z = 0.0f;
    n[10 * WATER_GRID + 10].x = 0.01f;
    n[0].x = -0.5f;
    n[2499].x = 0.5f;
    sWaterSkyUV(s.vert.data(), n.data());
    EXPECT_FLOAT_EQ(10.0f / 49.0f + 0.039f, s.vert[10 * WATER_GRID + 10].tu);
    EXPECT_FLOAT_EQ(10.0f / 49.0f, s.vert[10 * WATER_GRID + 10].tv);
    EXPECT_EQ(0.0f, s.vert[0].tu);
    EXPECT_EQ(1.0f, s.vert[2499].tu);
}

}  // namespace
