#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "App/Space/SpaceCore.h"

namespace {

struct Field {
    _starField f{};
    Field(long aNum, long aOption, long aMul = 0)
    {
        srand(11);
        EXPECT_TRUE(sSpaceStarInit(&f, aNum, aOption, aMul, 640, 480));
    }
    ~Field() { sSpaceStarFree(&f); }
};

const D3DVECTOR kLevel = {{0.0f}, {0.0f}, {0.0f}};

}  // namespace

TEST(SpaceStars, SameFieldOnEveryRunWithCrossesFirst)
{
    Field a(100, 0), b(100, 0);
    for (long i = 0; i < 100; i++) {
        EXPECT_EQ(a.f._starVertP[i].x, b.f._starVertP[i].x);
        EXPECT_EQ(a.f._starVertP[i].col, b.f._starVertP[i].col);
        EXPECT_GE(a.f._starScrSpeedP[i], 0.5f);
        EXPECT_LE(a.f._starScrSpeedP[i], 1.0f);
        // Cross arms may reach one pixel past the field.
        EXPECT_LE(a.f._starVertP[i].x, 1920.0f);
        EXPECT_GE(a.f._starVertP[i].x, -1.0f);
        EXPECT_LE(a.f._starVertP[i].y, 1440.0f);
        EXPECT_EQ(a.f._starVertP[i].z, sSpaceStarZ());
    }
    // Star 0 and its four neighbours.
    const _STAR_VERTEX *v = a.f._starVertP;
    EXPECT_EQ(v[1].x, v[0].x + 1.0f);
    EXPECT_EQ(v[2].x, v[0].x - 1.0f);
    EXPECT_EQ(v[3].y, v[0].y + 1.0f);
    EXPECT_EQ(v[4].y, v[0].y - 1.0f);
    EXPECT_EQ(v[4].col, v[0].col);
    EXPECT_EQ(a.f._starScrSpeedP[4], a.f._starScrSpeedP[0]);
    EXPECT_EQ(v[0].col >> 24, 0x80u);
}

TEST(SpaceStars, OptionsSetSpeedAndTrails)
{
    Field one(50, SPACE_OPT_SPEED_ONE, 3);
    EXPECT_EQ(one.f._starScrSpeedP[7], 3.0f);
    Field trail(50, SPACE_OPT_TRAIL | SPACE_OPT_SPEED_ONE, 3);
    EXPECT_EQ(trail.f._starScrSpeedP[7], 1.0f);  // the multiplier is for stars without trails
    ASSERT_EQ(trail.f.indexCnt, 400);
    EXPECT_EQ(trail.f._starIndexP[0], 200);
    EXPECT_EQ(trail.f._starIndexP[1], 150);
    EXPECT_EQ(trail.f._starIndexP[398], 99);
    EXPECT_EQ(trail.f._starIndexP[399], 49);
    const uint32_t c0 = trail.f._starVertP[10].col, c2 = trail.f._starVertP[2 * 50 + 10].col;
    EXPECT_EQ(c2 >> 24, 0u);
    EXPECT_EQ(c2 & 0xFF, (uint32_t)((float)(c0 & 0xFF) * 0.5f));
    _starField tooMany{};
    EXPECT_FALSE(sSpaceStarInit(&tooMany, 20000, SPACE_OPT_TRAIL, 0, 640, 480));
}

TEST(SpaceLens, CentreStaysAndNearCentreStaysWithTheOption)
{
    float x = 320.0f, y = 240.0f;
    sSpaceLens(&x, &y, 640, 480, 0);
    EXPECT_FLOAT_EQ(x, 320.0f);
    EXPECT_FLOAT_EQ(y, 240.0f);
    x = 380.0f;
    y = 240.0f;
    sSpaceLens(&x, &y, 640, 480, SPACE_OPT_NO_LENS);
    EXPECT_FLOAT_EQ(x, 380.0f);
    sSpaceLens(&x, &y, 640, 480, 0);
    EXPECT_GT(x, 380.0f);  // bulges outward
    // Outside the lens circle the point is left where it is.
    x = 1000.0f;
    y = 240.0f;
    sSpaceLens(&x, &y, 640, 480, 0);
    EXPECT_FLOAT_EQ(x, 1000.0f);
}

TEST(SpaceStars, LevelCameraKeepsStarsAtHome)
{
    Field a(200, 0);
    sSpaceStarExec(&a.f, &kLevel);
    for (long i = 0; i < 200; i++) {
        // Home, wrapped into the star's own (speed-scaled) field, then through the lens.
        const float s = a.f._starScrSpeedP[i];
        const float mx = (float)(long)(640.0f * 3.0f * s), my = (float)(long)(480.0f * 3.0f * s);
        float x = a.f._starVertDefP[i].x, y = a.f._starVertDefP[i].y;
        if (x > mx)
            x = fmodf(x, mx);
        if (y > my)
            y = fmodf(y, my);
        if (x < 0.0f)
            x += mx;
        if (y < 0.0f)
            y += my;
        if ((float)i > 60.0f)
            sSpaceLens(&x, &y, 640, 480, 0);
        ASSERT_FLOAT_EQ(a.f._starVertP[i].x, x) << i;
        ASSERT_FLOAT_EQ(a.f._starVertP[i].y, y) << i;
    }
}

TEST(SpaceStars, WrappedStarRestartsItsTrail)
{
    Field a(20, SPACE_OPT_TRAIL | SPACE_OPT_SPEED_ONE | SPACE_OPT_NO_LENS);
    _starField &f = a.f;
    sSpaceStarExec(&f, &kLevel);
    EXPECT_FLOAT_EQ(f._starVertP[4 * 20 + 3].x, f._starVertP[3].x + 1.0f);
    // Turn a little: trails follow one step behind.
    D3DVECTOR turn = {{0.0f}, {1.0f}, {0.0f}};
    const float before = f._starVertP[3].x;
    sSpaceStarExec(&f, &turn);
    EXPECT_FLOAT_EQ(f._starVertP[20 + 3].x, before + 1.0f);
    // Put star 3 at the field's edge so that the turn wraps it to the other side.
    f._starVertDefP[3].x = 1.0f;
    sSpaceStarExec(&f, &kLevel);
    turn.y = 0.5f;  // 1920 x 0.5 / 360 = 2.67 pixels to the left: wraps to about 1918
    sSpaceStarExec(&f, &turn);
    const float x = f._starVertP[3].x;
    EXPECT_GT(x, 1900.0f);
    for (long k = 1; k < SPACE_LAYER_NUM; k++)
        EXPECT_FLOAT_EQ(f._starVertP[k * 20 + 3].x, x + 1.0f) << k;
}

TEST(SpaceGalaxy, PlacedFromTheRowAndWrapped)
{
    float x, y;
    sSpaceGalaxyPos(&_galaxyTbl[0], 640, 480, &kLevel, &x, &y);
    EXPECT_FLOAT_EQ(x, 320.0f);
    EXPECT_FLOAT_EQ(y, 240.0f);
    const D3DVECTOR turn = {{0.0f}, {180.0f}, {0.0f}};
    sSpaceGalaxyPos(&_galaxyTbl[0], 640, 480, &turn, &x, &y);
    EXPECT_FLOAT_EQ(x, 320.0f - 480.0f);  // within half a field to the left: not wrapped
    const D3DVECTOR far = {{0.0f}, {330.0f}, {0.0f}};
    sSpaceGalaxyPos(&_galaxyTbl[0], 640, 480, &far, &x, &y);
    EXPECT_FLOAT_EQ(x, 320.0f - 880.0f + 960.0f);
    EXPECT_STREQ(_galaxyTbl[5].texName, "Data\\Galaxy\\Galaxy02.bmp");
}

TEST(Warp, StillUntilFrame40AndFadedOnTheLastFrame)
{
    srand(11);
    _warpField w{};
    ASSERT_TRUE(sWarpInit(&w, 640, 480));
    EXPECT_EQ(w._starIndexP[0], 2048);
    EXPECT_EQ(w._starIndexP[1], 0);
    EXPECT_EQ(w._starVertP[2048 + 9].col, 0u);
    const float hx = w._starVertDefP[2000].x;
    sWarpExec(&w, 0, 200);
    EXPECT_FLOAT_EQ(w._starVertP[2048 + 2000].x, hx + 2.0f);
    sWarpExec(&w, 40, 200);
    EXPECT_FLOAT_EQ(w._starVertP[2000].x, hx);
    EXPECT_EQ(w._screenVert[0].col, 0u);
    sWarpExec(&w, 50, 200);
    EXPECT_FLOAT_EQ(w._starVertP[2000].x, hx + (hx - 320.0f) * 0.5f);
    EXPECT_FLOAT_EQ(w._starVertP[2048 + 2000].x, hx + 2.0f);  // the streak's tail stays
    sWarpExec(&w, 90, 200);
    EXPECT_EQ(w._screenVert[3].col, 0u);
    sWarpExec(&w, 91, 200);
    EXPECT_GT(w._screenVert[3].col >> 24, 0u);
    sWarpExec(&w, 199, 200);
    EXPECT_EQ(w._screenVert[2].col, 0xFF000000u);
    EXPECT_EQ(sWarpFadeAlpha(95, 60), 255u);  // a scene shorter than the fade is dark at once
    sWarpFree(&w);
}
