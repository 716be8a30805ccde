// Screen and world sprites drawn by the real device under Wine, pixels read back.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "DeviceFixture.h"
#include "System/Draw/DrawMan.h"
#include "System/Shape/Shape.h"
#include "System/Sprite/Sprite.h"

namespace {

const uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBack = 0x202020;
const int kTol = 6;

#define EXPECT_RGB(want, got) EXPECT_LE(fx::Distance((want), (got)), kTol) << std::hex << (want) << " / " << (got)

// A sprite body with one pattern per bitmap colour; patterns show the texture alone.
struct Body {
    std::vector<_textureSet> sets;
    _spriteDef def;
    Body(uint32_t aStatus, std::initializer_list<uint32_t> aColours)
    {
        int n = 0;
        for (uint32_t c : aColours) {
            char name[32];
            std::snprintf(name, sizeof name, "kspr_%06x.bmp", c);
            _textureSet t = fx::TexSet(fx::Bitmap(name, c));
            t.texOp = D3DTOP_SELECTARG1;
            sets.push_back(t);
            ++n;
        }
        std::memset(&def, 0, sizeof def);
        def.spriteStatus = aStatus;
        def.texSetNum = (uint32_t)sets.size();
        def.texSetP = sets.data();
        def.posX[0] = def.posY[0] = 1.0f;
        def.srcBlend = D3DBLEND_SRCALPHA;
        def.destBlend = D3DBLEND_INVSRCALPHA;
    }
};

class SpriteDraw : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(0, fx::OpenScene()); }
    static void TearDownTestSuite() { fx::Close(); }
    void SetUp() override
    {
        ASSERT_NE(nullptr, drawMan.d3dDevP);
        sDrawSetState(D3DRENDERSTATE_ZFUNC, D3DCMP_LESSEQUAL);
        sDrawSetState(D3DRENDERSTATE_ZWRITEENABLE, TRUE);
    }
    static void Frame(std::initializer_list<_sprite *> aSprites, DWORD aFlg)
    {
        fx::Clear(kBack);
        if (fx::Begin()) {
            for (_sprite *s : aSprites)
                s->Draw(aFlg, nullptr);
            fx::End();
        }
    }
    static void Place(_sprite &aSprite, float aX, float aY, float aRotate = 0.0f)
    {
        aSprite.SetPosX(aX);
        aSprite.SetPosY(aY);
        aSprite.SetRotate(aRotate);
        aSprite.MakeLocalMatrix();
        aSprite.Update();
    }
};

TEST_F(SpriteDraw, FullScreenSpriteCoversTheWholeScreen)
{
    Body b(SPRITE_STAT_SCREEN | SPRITE_STAT_FULLSCREEN, {kRed});
    _sprite s(&b.def, nullptr);
    Place(s, 0.5f, 0.5f);
    Frame({&s}, SpriteDrawFlgNil);
    EXPECT_RGB(kRed, fx::Pixel(0, 0));
    EXPECT_RGB(kRed, fx::Pixel(639, 479));
    EXPECT_RGB(kRed, fx::Pixel(320, 240));
    EXPECT_EQ(0.0f, s.GetVertex()[0].x);
    EXPECT_EQ(640.0f, s.GetVertex()[3].x);
    Frame({&s}, SpriteDrawFlgAlpha);  // opaque: the alpha pass leaves it out
    EXPECT_RGB(kBack, fx::Pixel(320, 240));
}

TEST_F(SpriteDraw, ScreenSpriteSitsWhereTheFractionsPutIt)
{
    Body b(SPRITE_STAT_SCREEN, {kRed});
    b.def.posX[0] = 4.0f;  // 64 x 32 from the 16 x 16 rectangle
    b.def.posY[0] = 2.0f;
    _sprite s(&b.def, nullptr);
    Place(s, 0.25f, 0.75f);  // centred on (160, 360)
    Frame({&s}, SpriteDrawFlgNil);
    EXPECT_RGB(kRed, fx::Pixel(160, 360));
    EXPECT_RGB(kRed, fx::Pixel(129, 345));
    EXPECT_RGB(kRed, fx::Pixel(190, 374));
    EXPECT_RGB(kBack, fx::Pixel(126, 360));
    EXPECT_RGB(kBack, fx::Pixel(160, 378));
    // A quarter turn stands it upright: 32 wide, 64 high.
    Place(s, 0.25f, 0.75f, 90.0f);
    Frame({&s}, SpriteDrawFlgNil);
    EXPECT_RGB(kRed, fx::Pixel(160, 390));
    EXPECT_RGB(kBack, fx::Pixel(182, 360));
}

TEST_F(SpriteDraw, BackSpriteStaysBehindShapes)
{
    fx::Quad q(kGreen);
    _shape shape(&q.def, 0);
    shape.Update();
    Body back(SPRITE_STAT_SCREEN | SPRITE_STAT_FULLSCREEN | SPRITE_STAT_BACK, {kRed});
    Body front(SPRITE_STAT_SCREEN | SPRITE_STAT_FULLSCREEN, {kRed});
    _sprite b(&back.def, nullptr), f(&front.def, nullptr);
    Place(b, 0.5f, 0.5f);
    Place(f, 0.5f, 0.5f);
    for (_sprite *s : {&b, &f}) {
        fx::Clear(kBack);
        if (fx::Begin()) {
            shape.Draw(ShapeDrawFlgNil, nullptr);
            s->Draw(SpriteDrawFlgNil, nullptr);
            fx::End();
        }
        EXPECT_RGB(s == &b ? kGreen : kRed, fx::Pixel(320, 240));
        EXPECT_RGB(kRed, fx::Pixel(10, 10));
    }
}

TEST_F(SpriteDraw, WorldSpriteStandsAtItsNodeOnWholePixels)
{
    Body b(0, {kRed});
    const float px[4] = {-1, 1, -1, 1}, py[4] = {1, 1, -1, -1};
    std::memcpy(b.def.posX, px, sizeof px);
    std::memcpy(b.def.posY, py, sizeof py);
    _sprite s(&b.def, nullptr);
    s.SetPosX(2.0f);
    s.SetPosY(1.0f);
    s.MakeLocalMatrix();
    s.Update();
    Frame({&s}, SpriteDrawFlgNil);
    const POINT tl = fx::Screen(1.0f, 2.0f, 0.0f), br = fx::Screen(3.0f, 0.0f, 0.0f);
    const _spriteTlVertex *v = s.GetVertex();
    EXPECT_NEAR((float)tl.x, v[0].x, 1.0f);
    EXPECT_NEAR((float)tl.y, v[0].y, 1.0f);
    EXPECT_NEAR((float)br.x, v[3].x, 1.0f);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(std::floor(v[i].x), v[i].x);
        EXPECT_EQ(std::floor(v[i].y), v[i].y);
    }
    EXPECT_RGB(kRed, fx::Pixel((tl.x + br.x) / 2, (tl.y + br.y) / 2));
    EXPECT_RGB(kBack, fx::Pixel(tl.x - 3, tl.y - 3));
    EXPECT_RGB(kBack, fx::Pixel(320, 240));
}

TEST_F(SpriteDraw, AlphaSpriteOnlyInTheAlphaPass)
{
    Body b(SPRITE_STAT_SCREEN | SPRITE_STAT_FULLSCREEN | SPRITE_STAT_ALPHA, {kRed});
    b.sets[0].alphaOp = D3DTOP_SELECTARG2;  // the vertex colour's alpha
    _sprite s(&b.def, nullptr);
    Place(s, 0.5f, 0.5f);
    D3DCOLORVALUE half;
    half.r = half.g = half.b = 1.0f;
    half.a = 0.5f;
    s.SetColor(&half);
    Frame({&s}, SpriteDrawFlgNil);
    EXPECT_RGB(kBack, fx::Pixel(320, 240));
    Frame({&s}, SpriteDrawFlgAlpha);
    EXPECT_RGB(fx::Blend(kRed, kBack, 0.5f), fx::Pixel(320, 240));
}

TEST_F(SpriteDraw, PatternsShowHideAndIgnoreUnknownNumbers)
{
    Body b(SPRITE_STAT_SCREEN | SPRITE_STAT_FULLSCREEN, {kRed, kGreen});
    _sprite s(&b.def, nullptr);
    Place(s, 0.5f, 0.5f);
    s.CangePattern(1);
    Frame({&s}, SpriteDrawFlgNil);
    EXPECT_RGB(kGreen, fx::Pixel(320, 240));
    s.CangePattern(0xFFFFFFFF);
    Frame({&s}, SpriteDrawFlgNil);
    EXPECT_RGB(kBack, fx::Pixel(320, 240));
    s.CangePattern(2);  // the pattern count: nothing changes, it stays hidden
    Frame({&s}, SpriteDrawFlgNil);
    EXPECT_RGB(kBack, fx::Pixel(320, 240));
    s.CangePattern(0);
    Frame({&s}, SpriteDrawFlgNil);
    EXPECT_RGB(kRed, fx::Pixel(320, 240));
    // The definition received the numbers of its registrations.
    EXPECT_NE(-1, b.sets[1].texPageNum);
    EXPECT_NE(-1, b.sets[1].texNum);
}

TEST_F(SpriteDraw, SpriteWithoutPatternsNeverDraws)
{
    _sprite none(nullptr, nullptr);
    EXPECT_EQ(0u, none.GetStatus());
    Body b(SPRITE_STAT_SCREEN | SPRITE_STAT_FULLSCREEN, {kRed});
    b.def.texSetNum = 0;
    _sprite empty(&b.def, nullptr);
    EXPECT_EQ(0u, empty.GetStatus() & SPRITE_STAT_INIT);
    Place(empty, 0.5f, 0.5f);
    Frame({&none, &empty}, SpriteDrawFlgNil);
    EXPECT_RGB(kBack, fx::Pixel(320, 240));
}

} // namespace
