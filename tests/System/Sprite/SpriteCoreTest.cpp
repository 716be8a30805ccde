#include <gtest/gtest.h>

#include "Common/DrawLink.h"
#include "Library/Coord/COORDLIB.h"
#include "Library/Matrix/MATLIB.h"
#include "System/Sprite/SpriteCore.h"

namespace {

TEST(SpriteColor, ChannelsTruncateAndStayInTheirBytes)
{
    const struct {
        float r, g, b, a;
        uint32_t color;
    } rows[] = {
        {1.0f, 0.5f, 0.0f, 1.0f, 0xFFFF7F00u},  // 127.5 truncates to 127
        {0.0f, 0.0f, 0.0f, 0.0f, 0x00000000u},
        {0.2f, 0.4f, 0.6f, 0.8f, 0xCC336699u},
        {1.5f, -0.2f, 2.0f, 1.0f, 0xFFFF00FFu},  // out of range: limited, not spilled
    };
    for (const auto &r : rows) {
        D3DCOLORVALUE c;
        c.r = r.r, c.g = r.g, c.b = r.b, c.a = r.a;
        EXPECT_EQ(r.color, sSpriteColor(&c)) << r.r << " " << r.g << " " << r.b << " " << r.a;
    }
}

TEST(SpritePixel, WholePixelsTowardZeroWithinSixteenBits)
{
    const struct {
        float in, out;
    } rows[] = {{-3.7f, -3.0f}, {3.7f, 3.0f}, {0.99f, 0.0f}, {639.5f, 639.0f}, {70000.0f, 32767.0f},
                {-1e9f, -32768.0f}};
    for (const auto &r : rows)
        EXPECT_EQ(r.out, sSpritePixel(r.in)) << r.in;
}

TEST(SpritePass, AlphaSpritesInTheAlphaPassOnly)
{
    EXPECT_TRUE(sSpriteDrawsInPass(0x2, SpriteDrawFlgAlpha));
    EXPECT_FALSE(sSpriteDrawsInPass(0x2, SpriteDrawFlgNil));
    EXPECT_TRUE(sSpriteDrawsInPass(0x0, SpriteDrawFlgNil));
    EXPECT_FALSE(sSpriteDrawsInPass(0x0, SpriteDrawFlgAlpha));
}

TEST(SpriteScreen, FullScreenQuadCoversTheScreenExactly)
{
    _texInfoRect rect = {0, 0, 16, 16};
    _spriteTlVertex v[4] = {};
    sSpriteScreenPos(SPRITE_STAT_SCREEN | SPRITE_STAT_FULLSCREEN | SPRITE_STAT_BACK, &rect, 3.0f, 3.0f, 640.0f,
                     480.0f, 0.5f, 0.5f, 0.0f, v);
    const float want[4][2] = {{0, 0}, {640, 0}, {0, 480}, {640, 480}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(want[i][0], v[i].x) << i;
        EXPECT_EQ(want[i][1], v[i].y) << i;
        EXPECT_EQ(SPRITE_BACK_Z, v[i].z);
        EXPECT_EQ(1.0f, v[i].rhw);
    }
}

TEST(SpriteScreen, TextureRectangleScaledAndFractionsKept)
{
    _texInfoRect rect = {8, 4, 72, 36};  // 64 x 32
    _spriteTlVertex v[4] = {};
    sSpriteScreenPos(SPRITE_STAT_SCREEN, &rect, 1.5f, 0.75f, 640.0f, 480.0f, 0.3f, 0.25f, 0.0f, v);
    // 96 x 24 about (192, 120).
    EXPECT_FLOAT_EQ(144.0f, v[0].x);
    EXPECT_FLOAT_EQ(108.0f, v[0].y);
    EXPECT_FLOAT_EQ(240.0f, v[3].x);
    EXPECT_FLOAT_EQ(132.0f, v[3].y);
    EXPECT_EQ(0.0f, v[0].z);

    rect.right = 73;  // 65 wide: the corners keep their half pixels
    sSpriteScreenPos(SPRITE_STAT_SCREEN, &rect, 1.0f, 1.0f, 640.0f, 480.0f, 0.5f, 0.5f, 0.0f, v);
    EXPECT_FLOAT_EQ(287.5f, v[0].x);
    EXPECT_FLOAT_EQ(352.5f, v[1].x);
}

TEST(SpriteScreen, TurnedQuadTurnsAboutItsCentre)
{
    _texInfoRect rect = {0, 0, 100, 50};
    _spriteTlVertex v[4] = {};
    sSpriteScreenPos(SPRITE_STAT_SCREEN, &rect, 1.0f, 1.0f, 640.0f, 480.0f, 0.5f, 0.5f, 90.0f, v);
    // A quarter turn: offset (x, y) goes to (y, -x).
    const float want[4][2] = {{320 - 25, 240 + 50}, {320 - 25, 240 - 50}, {320 + 25, 240 + 50}, {320 + 25, 240 - 50}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(want[i][0], v[i].x, 1e-3f) << i;
        EXPECT_NEAR(want[i][1], v[i].y, 1e-3f) << i;
    }
}

// A camera at the origin looking down +z, 90 degree field of view, near 1, far 100.
struct Camera {
    static D3DMATRIX proj;
    static float vanishX, vanishY;
    static long View(D3DMATRIX *aMatP)
    {
        sMatrixCreateUnit(aMatP);
        return 1;
    }
    static long Proj(D3DMATRIX *aMatP)
    {
        *aMatP = proj;
        return 1;
    }
    Camera()
    {
        sCoordSetProjectionMatrix(&proj, 1.5707963f, 1.0f, 1.0f, 100.0f);
        vanishX = 321.0f;
        vanishY = 241.0f;
        drawManLink = _drawManLink{};
        drawManLink.getViewMatrixP = View;
        drawManLink.getProjMatrixP = Proj;
        drawManLink.vanishXP = &vanishX;
        drawManLink.vanishYP = &vanishY;
    }
    ~Camera() { drawManLink = _drawManLink{}; }
};
D3DMATRIX Camera::proj;
float Camera::vanishX, Camera::vanishY;

TEST(SpriteWorld, CornersScaleWithTheNodeAndLandOnWholePixels)
{
    Camera cam;
    D3DMATRIX w;
    sMatrixCreateUnit(&w);
    sMatrixScale(&w, 2, 2, 2);
    sMatrixTranslate(&w, 1.0f, 0.5f, 8.0f);
    const float px[4] = {-1, 1, -1, 1}, py[4] = {1, 1, -1, -1};
    _spriteTlVertex v[4] = {};
    ASSERT_EQ(0, sSpriteWorldPos(&w, px, py, 0.0f, v));
    // Top-left at camera (-1, 2.5, 8): x = 0.875 x 321 = 280.875, y = 0.6875 x 241 = 165.69.
    EXPECT_EQ(280.0f, v[0].x);
    EXPECT_EQ(165.0f, v[0].y);
    // Bottom-right at (3, -1.5, 8): x = 1.375 x 321 = 441.375, y = 1.1875 x 241 = 286.19.
    EXPECT_EQ(441.0f, v[3].x);
    EXPECT_EQ(286.0f, v[3].y);
    EXPECT_EQ(8.0f, v[0].rhw);
    EXPECT_NEAR(Camera::proj._33 * 7.0f / 8.0f, v[0].z, 1e-5f);
}

TEST(SpriteWorld, TurnAboutTheViewAxis)
{
    Camera cam;
    D3DMATRIX w;
    sMatrixCreateUnit(&w);
    sMatrixTranslate(&w, 0.0f, 0.0f, 8.0f);
    const float px[4] = {-1, 1, -1, 1}, py[4] = {1, 1, -1, -1};
    _spriteTlVertex flat[4] = {}, turned[4] = {};
    sSpriteWorldPos(&w, px, py, 0.0f, flat);
    sSpriteWorldPos(&w, px, py, 90.0f, turned);
    // A quarter turn takes the top-left corner to where the bottom-left one was.
    EXPECT_EQ(flat[2].x, turned[0].x);
    EXPECT_EQ(flat[2].y, turned[0].y);
    EXPECT_EQ(flat[1].x, turned[3].x);
}

TEST(SpriteWorld, BehindTheViewerKeepsThePreviousCorners)
{
    Camera cam;
    D3DMATRIX w;
    sMatrixCreateUnit(&w);
    sMatrixTranslate(&w, 0.0f, 0.0f, -5.0f);
    const float px[4] = {-1, 1, -1, 1}, py[4] = {1, 1, -1, -1};
    _spriteTlVertex v[4] = {};
    for (int i = 0; i < 4; ++i)
        v[i].x = v[i].y = 77.0f;
    EXPECT_EQ(-1, sSpriteWorldPos(&w, px, py, 0.0f, v));
    EXPECT_EQ(77.0f, v[0].x);
    EXPECT_EQ(77.0f, v[3].y);
    EXPECT_EQ(-5.0f, v[0].rhw);
}

}  // namespace
