#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <vector>

#include "App/Scene/SceneCore.h"

// What the scene hands the device, computed without one: lights, ambient, fog, the camera's
// vectors, the loading screen's geometry and the movie frames copied into texture pages.

namespace {

_sceneLight Light(D3DLIGHTTYPE aType, uint16_t aFallOff, float aRange)
{
    _sceneLight l{};
    l.type = aType;
    l.fallOffType = aFallOff;
    l.range = aRange;
    l.color = {0.5f, 0.25f, 1.0f, 0.3f};
    l.intensity = 2.0f;
    l.fallOff = 1.5f;
    l.angle = {0, 0, 1};
    l.coneAngle = 0.5f;
    l.edgeAngle = 0.25f;
    return l;
}

TEST(SceneLight, FallOffTypesGiveRangeAndAttenuation)
{
    struct Row {
        uint16_t type;
        float range, a0, a1, a2;
    } rows[] = {
        {0, std::sqrt(FLT_MAX), 1, 0, 0},
        {1, 30.0f, 1, 0, 1.0f / 400.0f},  // f = 30 x 1/3 x 2 = 20
        {2, 200.0f, 0, 0.05f, 0},
        {3, 400.0f, 0, 0.025f, 0},
    };
    const D3DVECTOR pos = {1, 2, 3};
    for (const Row &r : rows) {
        D3DLIGHT7 d;
        _sceneLight point = Light(D3DLIGHT_POINT, r.type, r.type == 1 ? 30.0f : 10.0f);
        sSceneLightMake(&point, pos, &d);
        EXPECT_FLOAT_EQ(d.dvRange, r.range) << r.type;
        EXPECT_FLOAT_EQ(d.dvAttenuation0, r.a0) << r.type;
        EXPECT_FLOAT_EQ(d.dvAttenuation1, r.a1) << r.type;
        EXPECT_FLOAT_EQ(d.dvAttenuation2, r.a2) << r.type;
        _sceneLight sun = Light(D3DLIGHT_DIRECTIONAL, r.type, r.type == 1 ? 30.0f : 10.0f);
        sSceneLightMake(&sun, pos, &d);
        EXPECT_FLOAT_EQ(d.dvRange, r.range) << "directional keeps its row's range";
        EXPECT_EQ(d.dvAttenuation0, 1.0f);
        EXPECT_EQ(d.dvAttenuation1, 0.0f);
        EXPECT_EQ(d.dvAttenuation2, 0.0f);
    }
}

TEST(SceneLight, ColourTimesIntensityPositionDirectionAndSpotAngles)
{
    _sceneLight spot = Light(D3DLIGHT_SPOT, 0, 10.0f);
    D3DLIGHT7 d;
    sSceneLightMake(&spot, {4, 5, 6}, &d);
    EXPECT_EQ(d.dltType, D3DLIGHT_SPOT);
    EXPECT_EQ(d.dcvDiffuse.r, 1.0f);
    EXPECT_EQ(d.dcvDiffuse.g, 0.5f);
    EXPECT_EQ(d.dcvDiffuse.b, 2.0f);
    EXPECT_EQ(d.dcvDiffuse.a, 1.0f);
    EXPECT_EQ(d.dcvSpecular.r + d.dcvSpecular.g + d.dcvSpecular.b + d.dcvSpecular.a, 4.0f);
    EXPECT_EQ(d.dcvAmbient.r + d.dcvAmbient.g + d.dcvAmbient.b + d.dcvAmbient.a, 0.0f);
    EXPECT_EQ(d.dvPosition.y, 5.0f);
    EXPECT_EQ(d.dvDirection.z, 1.0f);
    EXPECT_EQ(d.dvFalloff, 1.5f);
    EXPECT_EQ(d.dvTheta, 0.5f);
    EXPECT_EQ(d.dvPhi, 0.75f);

    spot.coneAngle = 3.1f;
    sSceneLightMake(&spot, {0, 0, 0}, &d);
    EXPECT_EQ(d.dvTheta, 3.0543263f);
    EXPECT_EQ(d.dvPhi, 3.0543263f) << "cone plus edge is held too";
    spot.coneAngle = 3.0f;
    spot.edgeAngle = 0.01f;
    sSceneLightMake(&spot, {0, 0, 0}, &d);
    EXPECT_EQ(d.dvTheta, 3.0f);
    EXPECT_FLOAT_EQ(d.dvPhi, 3.01f);

    _sceneLight point = Light(D3DLIGHT_POINT, 0, 10.0f);
    point.coneAngle = 3.1f;
    sSceneLightMake(&point, {0, 0, 0}, &d);
    EXPECT_EQ(d.dvTheta, 0.0f) << "only spot lights have cone angles";
    EXPECT_EQ(d.dvPhi, 0.0f);
}

TEST(SceneLight, SpotCapHoldsFromOneHundredSeventyFiveDegrees)
{
    EXPECT_EQ(sSceneSpotCap(3.1f), 3.0543263f);
    EXPECT_EQ(sSceneSpotCap((float)(175.0 * M_PI / 180.0)), 3.0543263f);
    EXPECT_EQ(sSceneSpotCap(3.054325f), 3.054325f);
    EXPECT_EQ(sSceneSpotCap(100.0f), 3.0543263f);
    EXPECT_EQ(sSceneSpotCap(0.0f), 0.0f);
}

TEST(SceneLight, ZeroRangeGivesTheDeviceFiniteAttenuation)
{
    for (uint16_t type : {1, 2, 3}) {
        _sceneLight l = Light(D3DLIGHT_POINT, type, 0.0f);
        D3DLIGHT7 d;
        sSceneLightMake(&l, {0, 0, 0}, &d);
        EXPECT_TRUE(std::isfinite(d.dvAttenuation0) && std::isfinite(d.dvAttenuation1) &&
                    std::isfinite(d.dvAttenuation2))
            << type;
        EXPECT_GT(d.dvAttenuation0 + d.dvAttenuation1 + d.dvAttenuation2, 0.0f) << type;
        EXPECT_EQ(d.dvRange, 0.0f);
    }
}

TEST(SceneAmbient, ChannelsScaleTruncateAndHoldAtFull)
{
    EXPECT_EQ(sSceneAmbientColor(0xFFFFFF, 0.1f), 0x191919u);
    EXPECT_EQ(sSceneAmbientColor(0x804020, 1.0f), 0x804020u);
    EXPECT_EQ(sSceneAmbientColor(0x804020, 2.5f), 0xFFA050u) << "red would carry into the unused byte";
    EXPECT_EQ(sSceneAmbientColor(0xFFFFFF, 2.0f), 0xFFFFFFu) << "no channel bleeds into its neighbour";
    EXPECT_EQ(sSceneAmbientColor(0xFFFFFF, -1.0f), 0u);
    EXPECT_EQ(sSceneAmbientColor(0xFF000000, 1.0f), 0u) << "the top byte is not a channel";
}

TEST(SceneFogValue, StartEndDensityAndColour)
{
    _sceneFog f{};
    f.mode = 1;
    f.minDist = 100.0f;
    f.maxDist = 1100.0f;
    f.minAmount = 0.2f;
    f.maxAmount = 0.6f;
    f.color = 0x123456;
    _sceneFogValue v = sSceneFogValue(&f, 0xABCDEF);
    EXPECT_EQ(v.start, 100.0f);
    EXPECT_NEAR(v.end, 1375.0f, 0.01f);
    EXPECT_NEAR(v.density, 0.0004f, 1e-9f);
    EXPECT_EQ(v.color, 0x123456u);

    f.minAmount = f.maxAmount = 0.0f;
    v = sSceneFogValue(&f, 0);
    EXPECT_EQ(v.end, 1100.0f) << "zero amounts end at maxDist";
    EXPECT_EQ(v.density, 0.0f);

    f.minDist = f.maxDist = 500.0f;
    f.backDropB = 1;
    v = sSceneFogValue(&f, 0xABCDEF);
    EXPECT_EQ(v.density, 1.0f) << "no span: full density";
    EXPECT_EQ(v.color, 0xABCDEFu) << "the backdrop takes the background colour";
}

void ExpectVec(const D3DVECTOR &aV, float aX, float aY, float aZ)
{
    EXPECT_NEAR(aV.x, aX, 1e-5f);
    EXPECT_NEAR(aV.y, aY, 1e-5f);
    EXPECT_NEAR(aV.z, aZ, 1e-5f);
}

TEST(SceneCameraVectors, LookAlongTheRotatedZAxisOrAtTheTarget)
{
    const float q = (float)(M_PI / 2);
    D3DVECTOR look, up;
    sSceneCameraVectors({1, 2, 3}, {0, 0, 0}, 10.0f, nullptr, &look, &up);
    ExpectVec(look, 1, 2, 13);
    ExpectVec(up, 0, 1, 0);
    sSceneCameraVectors({0, 0, 0}, {0, q, 0}, 10.0f, nullptr, &look, &up);
    ExpectVec(look, 10, 0, 0);
    sSceneCameraVectors({0, 0, 0}, {q, 0, 0}, 10.0f, nullptr, &look, &up);
    ExpectVec(look, 0, -10, 0);
    ExpectVec(up, 0, 0, 1);
    // X is applied before Y: pitched down first, the yaw then leaves the view straight down.
    sSceneCameraVectors({0, 0, 0}, {q, q, 0}, 10.0f, nullptr, &look, &up);
    ExpectVec(look, 0, -10, 0);
    sSceneCameraVectors({0, 0, 0}, {0, 0, q}, 10.0f, nullptr, &look, &up);
    ExpectVec(up, -1, 0, 0);
    const D3DVECTOR target = {5, 6, 7};
    sSceneCameraVectors({0, 0, 0}, {0, q, 0}, 10.0f, &target, &look, &up);
    ExpectVec(look, 5, 6, 7);
}

// ---------------------------------------------------------------- loading screen

TEST(SceneLoadingScreen, BarGrowsFromTheLeftAlongTheBottom)
{
    struct Row {
        long w, h, percent;
        bool bench;
        _sceneRect r;
    } rows[] = {
        {640, 480, 0, false, {5, 462, 5, 471}},       {640, 480, 10, false, {5, 462, 56, 471}},
        {640, 480, 100, false, {5, 462, 515, 471}},   {640, 480, 10, true, {5, 462, 55, 471}},
        {640, 480, 100, true, {5, 462, 514, 471}},    {1024, 768, 50, false, {8, 739, 416, 753}},
        {1600, 1200, 100, true, {12, 1155, 1285, 1177}},
    };
    for (const Row &r : rows) {
        const _sceneRect b = sSceneLoadBarRect(r.w, r.h, r.percent, r.bench);
        EXPECT_EQ(b.left, r.r.left) << r.w << " " << r.percent;
        EXPECT_EQ(b.top, r.r.top) << r.w << " " << r.percent;
        EXPECT_EQ(b.right, r.r.right) << r.w << " " << r.percent << (r.bench ? " bench" : "");
        EXPECT_EQ(b.bottom, r.r.bottom) << r.w << " " << r.percent;
    }
}

TEST(SceneLoadingScreen, ScoreDigitsAreCentredCellsOfATenthOfTheWidth)
{
    uint8_t d[9];
    ASSERT_EQ(sSceneScoreDigits(1234, d), 4);
    EXPECT_EQ(std::vector<int>(d, d + 4), (std::vector<int>{1, 2, 3, 4}));
    ASSERT_EQ(sSceneScoreDigits(0, d), 1);
    EXPECT_EQ(d[0], 0);
    ASSERT_EQ(sSceneScoreDigits(-5, d), 1);
    EXPECT_EQ(d[0], 0);
    ASSERT_EQ(sSceneScoreDigits(2000000000, d), 9);
    EXPECT_EQ(d[0], 9) << "held to nine digits";

    _sceneRect r = sSceneScoreDigitRect(640, 480, 4, 0);
    EXPECT_EQ(r.left, 197);
    EXPECT_EQ(r.right, 261);
    EXPECT_EQ(r.top, 192);
    EXPECT_EQ(r.bottom, 288);
    r = sSceneScoreDigitRect(640, 480, 4, 3);
    EXPECT_EQ(r.left, 389);
    r = sSceneScoreDigitRect(640, 480, 9, 0);
    EXPECT_EQ(r.left, 37);
    r = sSceneScoreDigitRect(640, 480, 1, 0);
    EXPECT_EQ(r.left, 293) << "a lone digit sits in the middle";
    r = sSceneScoreDigitRect(1280, 960, 4, 1);
    EXPECT_EQ(r.left, 522);
    EXPECT_EQ(r.right - r.left, 128);
}

TEST(SceneLoadingScreen, ReferencePositionsScaleFromSixFortyByFourEighty)
{
    EXPECT_EQ(sSceneScaleX(208, 640), 208);
    EXPECT_EQ(sSceneScaleX(208, 800), 260);
    EXPECT_EQ(sSceneScaleY(64, 600), 80);
    EXPECT_EQ(sSceneScaleX(335, 1024), 536);
    EXPECT_EQ(sSceneScaleY(139, 768), 222);  // 222.4 truncated
}

std::vector<int> Glyphs(double aNum, long aDecimals, long aOption)
{
    uint8_t g[SCENE_NUM_GLYPH_MAX];
    const long n = sSceneNumGlyphs(aNum, aDecimals, aOption, g);
    return std::vector<int>(g, g + n);
}

TEST(SceneLoadingScreen, NumbersSkipLeadingZerosAndTruncateDecimals)
{
    EXPECT_EQ(Glyphs(59.876, 2, 11), (std::vector<int>{5, 9, 10, 8, 7, 11}));
    EXPECT_EQ(Glyphs(0.5, 2, -1), (std::vector<int>{0, 10, 5, 0}));
    EXPECT_EQ(Glyphs(0.0, 0, -1), (std::vector<int>{0}));
    EXPECT_EQ(Glyphs(1005.0, 0, 12), (std::vector<int>{1, 0, 0, 5, 12}));
    EXPECT_EQ(Glyphs(1234567.0, 0, -1), (std::vector<int>{2, 3, 4, 5, 6, 7})) << "six places";
    EXPECT_EQ(Glyphs(3.14159265, 9, -1), (std::vector<int>{3, 10, 1, 4, 1, 5})) << "at most four decimals";
    EXPECT_EQ(Glyphs(-2.0, 1, -1), (std::vector<int>{0, 10, 0}));
    EXPECT_EQ(Glyphs(7.0, 0, 13), (std::vector<int>{7})) << "no such glyph";
    long width = 0;
    for (int g : Glyphs(59.876, 2, 11))
        width += sSceneGlyphWidth(g);
    EXPECT_EQ(width, 13 + 11 + 4 + 13 + 11 + 24);
}

// ---------------------------------------------------------------- movies

TEST(SceneMovie, BindingPlaysOnlyInsideItsFrames)
{
    _sceneAvi a{0, 0, 10, 20, 1.0f};
    EXPECT_EQ(sSceneAviFrame(&a, 9, 100), -1);
    EXPECT_EQ(sSceneAviFrame(&a, 10, 100), 0);
    EXPECT_EQ(sSceneAviFrame(&a, 15, 100), 5);
    EXPECT_EQ(sSceneAviFrame(&a, 20, 100), 10);
    EXPECT_EQ(sSceneAviFrame(&a, 21, 100), -1);
    a.frameUnit = 0.5f;
    EXPECT_EQ(sSceneAviFrame(&a, 13, 100), 1) << "truncated";
    // Past the movie's end, by type.
    a.frameUnit = 1.0f;
    EXPECT_EQ(sSceneAviFrame(&a, 15, 5), -1);
    a.type = 1;
    EXPECT_EQ(sSceneAviFrame(&a, 15, 5), 4);
    a.type = 2;
    EXPECT_EQ(sSceneAviFrame(&a, 17, 5), 2);
    EXPECT_EQ(sSceneAviFrame(&a, 14, 5), 4);
    for (float unit : {-1.0f, NAN, INFINITY}) {
        a.frameUnit = unit;
        a.type = 1;
        EXPECT_EQ(sSceneAviFrame(&a, 10, 5), unit == -1.0f ? 0 : -1) << unit;
        EXPECT_LE(sSceneAviFrame(&a, 15, 5), 4) << unit;
    }
    a.frameUnit = 1.0f;
    EXPECT_EQ(sSceneAviFrame(&a, 15, 0), -1) << "an empty movie never plays";
}

TEST(SceneMovie, PixelsConvertIntoFiveSixFiveAndFiveFiveFive)
{
    EXPECT_EQ(sSceneAviPixel16(0x7C00, true), 0xF800);
    EXPECT_EQ(sSceneAviPixel16(0x03E0, true), 0x07C0);
    EXPECT_EQ(sSceneAviPixel16(0x001F, true), 0x001F);
    EXPECT_EQ(sSceneAviPixel16(0x7FFF, true), 0xFFDF);
    EXPECT_EQ(sSceneAviPixel16(0x1234, false), 0x1234);
    EXPECT_EQ(sSceneAviPixel24(0xFF, 0x80, 0x08, true), 0x0C1F);
    EXPECT_EQ(sSceneAviPixel24(0xFF, 0x80, 0x08, false), 0x061F);
    EXPECT_EQ(sSceneAviPixel24(0x07, 0x07, 0x07, true), 0x0020) << "green keeps six bits";
}

TEST(SceneMovie, StretchShowsEverySourceLineAndFillsEveryTarget)
{
    auto map = [](uint32_t aSrc, uint32_t aDst) {
        std::vector<int32_t> m(aDst);
        sSceneAviStretchMap(aSrc, aDst, m.data());
        return m;
    };
    EXPECT_EQ(map(2, 4), (std::vector<int32_t>{0, 0, 1, 1}));
    EXPECT_EQ(map(3, 8), (std::vector<int32_t>{0, 0, 1, 1, 1, 2, 2, 2}));
    EXPECT_EQ(map(4, 4), (std::vector<int32_t>{0, 1, 2, 3}));
    EXPECT_EQ(map(4, 2), (std::vector<int32_t>{1, 3}));
    EXPECT_EQ(map(0, 3), (std::vector<int32_t>{-1, -1, -1}));
    for (uint32_t src : {7u, 100u, 160u, 240u}) {
        std::vector<int32_t> m = map(src, 256);
        EXPECT_EQ(m.front(), 0) << src;
        EXPECT_EQ(m.back(), (int32_t)src - 1) << src << ": the running sum's rounding leaves no stale line";
        for (size_t d = 1; d < m.size(); d++)
            ASSERT_TRUE(m[d] == m[d - 1] || m[d] == m[d - 1] + 1) << src << " at " << d;
    }
}

TEST(SceneMovie, FrameCopyReadsPaddedRowsAndWritesOnlyTheSurface)
{
    // 2 x 2, 24 bits: rows of 6 bytes padded to 8; blue, green, red.
    const uint8_t frame[16] = {0xFF, 0, 0, 0, 0xFF, 0, 0xEE, 0xEE,
                               0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xEE, 0xEE};
    const long pitch = 10;  // 4 pixels and 2 bytes of padding
    std::vector<uint8_t> surface(pitch * 4, 0xAB);
    ASSERT_EQ(sSceneAviCopy(frame, 2, 2, 24, surface.data(), 4, 4, pitch, true), 0);
    auto px = [&](int x, int y) { return (uint16_t)(surface[y * pitch + 2 * x] | surface[y * pitch + 2 * x + 1] << 8); };
    EXPECT_EQ(px(0, 0), 0x001F);
    EXPECT_EQ(px(1, 1), 0x001F);
    EXPECT_EQ(px(2, 0), 0x07E0);
    EXPECT_EQ(px(3, 1), 0x07E0);
    EXPECT_EQ(px(0, 2), 0xF800) << "stored row 1 lands on surface rows 2 and 3";
    EXPECT_EQ(px(3, 3), 0xFFFF);
    for (int y = 0; y < 4; y++)
        EXPECT_EQ(surface[y * pitch + 8], 0xAB) << "padding of row " << y;

    // 16-bit 5-5-5 frame into a 5-5-5 surface of the same size: copied as is.
    const uint8_t frame16[8] = {0x34, 0x12, 0x00, 0x7C, 0x1F, 0x00, 0xE0, 0x03};
    std::vector<uint8_t> same(8);
    ASSERT_EQ(sSceneAviCopy(frame16, 2, 2, 16, same.data(), 2, 2, 4, false), 0);
    EXPECT_EQ(0, std::memcmp(same.data(), frame16, 8));
    EXPECT_EQ(sSceneAviCopy(frame16, 2, 2, 8, same.data(), 2, 2, 4, false), -1) << "paletted frames are refused";
}

}  // namespace
