// Shapes, abilities and primitives drawn by the real device under Wine, pixels read back.

#include <gtest/gtest.h>

#include <cstring>

#include "Library/Matrix/MATLIB.h"
#include "DeviceFixture.h"
#include "System/Draw/DrawMan.h"
#include "System/Shape/Shape.h"
#include "System/Texture/TEXMAN.h"

namespace {

const uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kGrey = 0x808080, kBack = 0x202020;
const int kTol = 6;

class ShapeDraw : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(0, fx::OpenScene()); }
    static void TearDownTestSuite() { fx::Close(); }
    void SetUp() override
    {
        ASSERT_NE(nullptr, drawMan.d3dDevP);
        sPrimSetStageLimit(0);
        for (int i = 0; i < DRAW_LIGHT_MAX; ++i)
            drawMan.lightP[i]->SetEnable(0);
        sDrawFreeShapeInfo();
        sDrawSetState(D3DRENDERSTATE_ZFUNC, D3DCMP_LESSEQUAL);
    }
    void TearDown() override { sDrawFreeShapeInfo(); }

    // Clears, draws each shape with aFlg and reads the pixel at aP (the centre by default).
    static uint32_t Draw(std::initializer_list<_shape *> aShapes, DWORD aFlg, POINT aP = {320, 240})
    {
        fx::Clear(kBack);
        if (fx::Begin()) {
            for (_shape *s : aShapes)
                s->Draw(aFlg, nullptr);
            fx::End();
        }
        return fx::Pixel(aP.x, aP.y);
    }
    static void Place(_shape &aShape, float aX, float aY, float aZ)
    {
        aShape.SetTransX(aX), aShape.SetTransY(aY), aShape.SetTransZ(aZ);
        aShape.MakeLocalMatrix();
        aShape.Update();
    }
};

#define EXPECT_RGB(want, got) EXPECT_LE(fx::Distance((want), (got)), kTol) << std::hex << (want) << " / " << (got)

TEST_F(ShapeDraw, OpaqueAbilityInTheFirstPassTranslucentInTheSecond)
{
    fx::Quad opaque(kRed), clear(kRed);
    clear.Alpha(0.5f);
    _shape a(&opaque.def, 0), b(&clear.def, 0);
    a.Update();
    b.Update();
    EXPECT_RGB(kRed, Draw({&a}, ShapeDrawFlgNil));
    EXPECT_RGB(kBack, Draw({&a}, ShapeDrawFlgAlpha));
    EXPECT_RGB(kBack, Draw({&b}, ShapeDrawFlgNil));
    EXPECT_RGB(fx::Blend(kRed, kBack, 0.5f), Draw({&b}, ShapeDrawFlgAlpha));
}

TEST_F(ShapeDraw, BackFacesCulledUnlessTwoSided)
{
    fx::Quad q(kRed);
    q.Flip();
    _shape one(&q.def, 0);
    one.Update();
    EXPECT_RGB(kBack, Draw({&one}, ShapeDrawFlgNil));
    q.ability.abilityStatus |= ABL_STAT_TWOSIDE;
    _shape two(&q.def, 0);
    two.Update();
    EXPECT_RGB(kRed, Draw({&two}, ShapeDrawFlgNil));
}

TEST_F(ShapeDraw, EveryIndexSetDrawsWithItsOwnPrimitiveType)
{
    fx::Quad q(kRed);
    uint16_t list[3] = {0, 1, 2}, strip[3] = {2, 1, 3};
    _primIndexDefSet sets[2] = {{3, list, D3DPT_TRIANGLELIST}, {3, strip, D3DPT_TRIANGLESTRIP}};
    q.vertexSet.indexSetNum = 2;
    q.vertexSet.indexSetP = sets;
    _shape s(&q.def, 0);
    s.Update();
    fx::Start();
    const POINT upperLeft = fx::Screen(-0.5f, 0.5f, 0), lowerRight = fx::Screen(0.5f, -0.5f, 0);
    EXPECT_RGB(kRed, Draw({&s}, ShapeDrawFlgNil, upperLeft));
    EXPECT_RGB(kRed, fx::Pixel(lowerRight.x, lowerRight.y));
    std::vector<DWORD> types;
    for (const fx::Call &c : fx::Stop())
        if (c.kind == fx::Call::Draw)
            types.push_back(c.a);
    EXPECT_EQ((std::vector<DWORD>{D3DPT_TRIANGLELIST, D3DPT_TRIANGLESTRIP}), types);
}

TEST_F(ShapeDraw, ExtraRenderStateIsSetForTheDrawAndRestored)
{
    // A near green quad, then a far red one whose ability draws with Z function "always".
    fx::Quad nearQ(kGreen, 1.0f, 0, 0, -1.0f), farQ(kRed, 1.0f, 0, 0, 1.0f), plainQ(kRed, 1.0f, 0, 0, 1.0f);
    farQ.ability.rendStat[0] = {D3DRENDERSTATE_ZFUNC, D3DCMP_ALWAYS};
    farQ.ability.rendStat[2] = {0, 1234};  // empty entry
    _shape n(&nearQ.def, 0), f(&farQ.def, 0), p(&plainQ.def, 0);
    n.Update(), f.Update(), p.Update();
    EXPECT_RGB(kGreen, Draw({&n, &p}, ShapeDrawFlgNil));

    fx::Start();
    const uint32_t px = Draw({&n, &f}, ShapeDrawFlgNil);
    const std::vector<fx::Call> log = fx::Stop();
    EXPECT_RGB(kRed, px);
    DWORD zfunc = 0;
    drawMan.d3dDevP->GetRenderState(D3DRENDERSTATE_ZFUNC, &zfunc);
    EXPECT_EQ((DWORD)D3DCMP_LESSEQUAL, zfunc);
    // Around the far quad's draw: set to "always" before, back to "less or equal" after; the
    // empty entry touches nothing.
    std::vector<DWORD> zfuncs;
    int drawsUnderAlways = 0;
    for (const fx::Call &c : log) {
        if (c.kind == fx::Call::SetState && c.a == D3DRENDERSTATE_ZFUNC)
            zfuncs.push_back(c.b);
        if (c.kind == fx::Call::SetState && c.a == 0)
            ADD_FAILURE() << "render state 0 was set";
        if (c.kind == fx::Call::Draw && !zfuncs.empty() && zfuncs.back() == D3DCMP_ALWAYS)
            ++drawsUnderAlways;
    }
    ASSERT_EQ(2u, zfuncs.size());
    EXPECT_EQ((DWORD)D3DCMP_ALWAYS, zfuncs[0]);
    EXPECT_EQ((DWORD)D3DCMP_LESSEQUAL, zfuncs[1]);
    EXPECT_EQ(1, drawsUnderAlways);
}

// The surface of a texture set registered by a primitive.
IDirectDrawSurface7 *Surface(const _textureSet &aSet)
{
    _texInfo *info = sTexGetInfoPtr(aSet.texNum);
    return info ? sTexGetSurfacePtr(info->pageNum) : nullptr;
}

TEST_F(ShapeDraw, StagesBeyondTheDeviceLimitTakeSeveralPasses)
{
    fx::Quad q(0xFFFFFF);
    q.Textures({fx::TexSet(fx::Bitmap("kobj_r.bmp", kRed)), fx::TexSet(fx::Bitmap("kobj_g.bmp", kGreen)),
                fx::TexSet(fx::Bitmap("kobj_b.bmp", kBlue))});
    // red, then + green, then x blue: black in one pass; the third stage alone shows blue.
    q.texSet[1].texOp = D3DTOP_ADD;
    q.texSet[1].texArg2 = q.texSet[2].texArg2 = D3DTA_CURRENT;
    _shape s(&q.def, 0);
    s.Update();
    IDirectDrawSurface7 *suf[3] = {Surface(q.texSet[0]), Surface(q.texSet[1]), Surface(q.texSet[2])};
    ASSERT_TRUE(suf[0] && suf[1] && suf[2]);

    struct Pass {
        std::vector<std::pair<DWORD, IDirectDrawSurface7 *>> textures;
        std::vector<DWORD> disabled;  // stages whose colour operation was disabled
    };
    auto passes = [](const std::vector<fx::Call> &aLog) {
        std::vector<Pass> out(1);
        for (const fx::Call &c : aLog) {
            if (c.kind == fx::Call::SetTexture)
                out.back().textures.push_back({c.a, (IDirectDrawSurface7 *)(uintptr_t)c.b});
            else if (c.kind == fx::Call::SetStage && c.b == D3DTSS_COLOROP && c.c == D3DTOP_DISABLE)
                out.back().disabled.push_back(c.a);
            else if (c.kind == fx::Call::Draw)
                out.push_back(Pass());
        }
        out.pop_back();
        return out;
    };

    sPrimSetStageLimit(2);
    fx::Start();
    const uint32_t px = Draw({&s}, ShapeDrawFlgNil);
    std::vector<Pass> p = passes(fx::Stop());
    ASSERT_EQ(2u, p.size());
    ASSERT_EQ(2u, p[0].textures.size());
    EXPECT_EQ(0u, p[0].textures[0].first);
    EXPECT_EQ(suf[0], p[0].textures[0].second);
    EXPECT_EQ(1u, p[0].textures[1].first);
    EXPECT_EQ(suf[1], p[0].textures[1].second);
    EXPECT_EQ(std::vector<DWORD>{2}, p[0].disabled);
    ASSERT_EQ(1u, p[1].textures.size());
    EXPECT_EQ(0u, p[1].textures[0].first);
    EXPECT_EQ(suf[2], p[1].textures[0].second);
    EXPECT_EQ(std::vector<DWORD>{1}, p[1].disabled);
    // The second pass, opaque, covers the first: stage 0 of it shows the third texture.
    EXPECT_RGB(kBlue, px);

    sPrimSetStageLimit(8);
    fx::Start();
    const uint32_t all = Draw({&s}, ShapeDrawFlgNil);
    p = passes(fx::Stop());
    ASSERT_EQ(1u, p.size());
    EXPECT_EQ(3u, p[0].textures.size());
    EXPECT_EQ(std::vector<DWORD>{3}, p[0].disabled);
    EXPECT_RGB(0x000000, all);
}

TEST_F(ShapeDraw, DissolveBlendsOverWhatLiesBehind)
{
    fx::Quad q(kRed);
    _shape s(&q.def, 0);
    s.Update();
    s.Dissolve(0.25f);
    EXPECT_RGB(kBack, Draw({&s}, ShapeDrawFlgNil));
    EXPECT_RGB(fx::Blend(kRed, kBack, 0.75f), Draw({&s}, ShapeDrawFlgAlpha));
    s.Dissolve(1.0f);
    EXPECT_NE(0u, s.GetStatus() & SHAPE_STAT_DISSOLVED);
    EXPECT_RGB(kBack, Draw({&s}, ShapeDrawFlgNil | ShapeDrawFlgNoBoundingBox));
    EXPECT_RGB(kBack, Draw({&s}, ShapeDrawFlgAlpha));
    s.Dissolve(0.0f);
    EXPECT_RGB(kRed, Draw({&s}, ShapeDrawFlgNil));
    EXPECT_RGB(kBack, Draw({&s}, ShapeDrawFlgAlpha));
}

TEST_F(ShapeDraw, BoxOffScreenIsCulledUnlessCullingIsOff)
{
    fx::Quad q(kRed);
    q.def.minX = 100.0, q.def.maxX = 101.0;  // the box claims the quad is far to the right
    _shape s(&q.def, 0);
    s.Update();
    EXPECT_RGB(kBack, Draw({&s}, ShapeDrawFlgNil));
    EXPECT_RGB(kBack, Draw({&s}, ShapeDrawFlgNil | ShapeDrawFlgBoundingBoxLoose));
    EXPECT_RGB(kRed, Draw({&s}, ShapeDrawFlgNil | ShapeDrawFlgNoBoundingBox));

    // Just off the right edge (less than half a screen): only the loose test lets it through.
    q.def.minX = 6.0, q.def.maxX = 7.0;
    _shape edge(&q.def, 0);
    edge.Update();
    EXPECT_RGB(kBack, Draw({&edge}, ShapeDrawFlgNil));
    EXPECT_RGB(kRed, Draw({&edge}, ShapeDrawFlgNil | ShapeDrawFlgBoundingBoxLoose));
}

TEST_F(ShapeDraw, BillboardTurnsToTheCameraKeepingItsScale)
{
    fx::Quad q(kRed, 1.0f);
    q.def.minZ = -1.0, q.def.maxZ = 1.0;
    _shape plain(&q.def, 0);
    q.def.shapeStatus = SHAPE_STAT_BILLBOARD;
    _shape board(&q.def, 0);
    for (_shape *s : {&plain, &board}) {
        s->SetAngleY(90.0f);  // edge-on to the camera
        s->SetScaleX(2.0f), s->SetScaleY(2.0f), s->SetScaleZ(2.0f);
        s->MakeLocalMatrix();
        s->Update();
    }
    EXPECT_RGB(kBack, Draw({&plain}, ShapeDrawFlgNil));
    EXPECT_RGB(kRed, Draw({&board}, ShapeDrawFlgNil));
    const POINT in = fx::Screen(1.5f, 1.5f, 0.0f), out = fx::Screen(2.5f, 0.0f, 0.0f);
    EXPECT_RGB(kRed, Draw({&board}, ShapeDrawFlgNil, in));
    EXPECT_RGB(kBack, Draw({&board}, ShapeDrawFlgNil, out));
}

TEST_F(ShapeDraw, PlanarShadowDarkensTheReceiverOnce)
{
    // A grey wall at z = 5 receives; a small caster near the origin, a light at z = -5: the
    // shadow of the caster's square (0.75..1.25) lands twice as large about x = 2 on the wall.
    fx::Quad wall(kGrey, 4.0f, 0, 0, 5.0f), caster(kRed, 0.25f, 1.0f, 0, 0);
    wall.def.shapeStatus = SHAPE_STAT_RECEIVER;
    caster.def.shapeStatus = SHAPE_STAT_CASTER;
    _shape w(&wall.def, 0), c(&caster.def, 0);
    w.Update(), c.Update();
    sDrawInitShapeInfo(2);
    sDrawEntryShapeInfo(0, &w);
    sDrawEntryShapeInfo(1, &c);
    D3DLIGHT7 l = {};
    l.dltType = D3DLIGHT_POINT;
    l.dcvDiffuse.r = l.dcvDiffuse.g = l.dcvDiffuse.b = 1.0f;
    l.dvPosition.z = -5.0f;
    l.dvRange = 100.0f;
    l.dvAttenuation0 = 1.0f;
    drawMan.lightP[0]->SetLight(&l);
    drawMan.lightP[0]->SetShadowType(1);
    drawMan.lightP[0]->Update();
    drawMan.lightP[0]->SetEnable(1);

    const POINT shadow = fx::Screen(2.0f, 0.0f, 5.0f), lit = fx::Screen(-2.0f, 0.0f, 5.0f);
    EXPECT_RGB(fx::Blend(kGrey, 0, 0.8f), Draw({&w}, ShapeDrawFlgNil, shadow));
    EXPECT_RGB(kGrey, fx::Pixel(lit.x, lit.y));
    // No shadow without the receiver pass, nor from a light of another shadow kind.
    EXPECT_RGB(kGrey, Draw({&w}, ShapeDrawFlgNil | ShapeDrawFlgShadowReceive, shadow));
    drawMan.lightP[0]->SetShadowType(0);
    EXPECT_RGB(kGrey, Draw({&w}, ShapeDrawFlgNil, shadow));
    drawMan.lightP[0]->SetShadowType(1);

    // A receiver that also casts does not lay its own flattened copy over itself.
    wall.def.shapeStatus = SHAPE_STAT_RECEIVER | SHAPE_STAT_CASTER;
    _shape both(&wall.def, 0);
    both.Update();
    sDrawEntryShapeInfo(0, &both);
    EXPECT_RGB(kGrey, Draw({&both}, ShapeDrawFlgNil, lit));
    EXPECT_RGB(fx::Blend(kGrey, 0, 0.8f), fx::Pixel(shadow.x, shadow.y));
    sDrawEntryShapeInfo(0, &w);

    // Both passes of a frame: the shadow is laid once.
    fx::Clear(kBack);
    if (fx::Begin()) {
        w.Draw(ShapeDrawFlgNil, nullptr);
        w.Draw(ShapeDrawFlgAlpha, nullptr);
        fx::End();
    }
    EXPECT_RGB(fx::Blend(kGrey, 0, 0.8f), fx::Pixel(shadow.x, shadow.y));
    drawMan.lightP[0]->SetEnable(0);
}

TEST_F(ShapeDraw, SpotlightPassLightsShapesInsideTheCone)
{
    fx::Quad q(0x404040, 4.0f);
    q.def.shapeStatus = SHAPE_STAT_SPOTLIT;
    _shape s(&q.def, 0);
    s.Update();
    sDrawInitShapeInfo(1);
    sDrawEntryShapeInfo(0, &s);
    _drawLight *light = drawMan.lightP[1];
    D3DLIGHT7 l = {};
    l.dltType = D3DLIGHT_SPOT;
    l.dcvDiffuse.r = l.dcvDiffuse.g = l.dcvDiffuse.b = 1.0f;
    l.dvPosition.z = -5.0f;
    l.dvDirection.z = 1.0f;
    l.dvRange = 100.0f;
    l.dvAttenuation0 = 1.0f;
    l.dvTheta = 0.15f;
    l.dvPhi = 0.3f;  // the light's square spans 1.55 units about the centre at z = 0
    light->SetLight(&l);
    light->SetShadowType(DRAW_SHADOW_SPOTMAP);
    ASSERT_EQ(0, light->InitMapTexture());
    ASSERT_NE(-1, light->_lightTexNum);
    light->SetEnable(1);
    light->Update();

    // The corner of the light's square lies outside the map's disc: no light there.
    const POINT centre = {320, 240}, corner = fx::Screen(1.45f, 1.45f, 0.0f);
    fx::Clear(kBack);
    uint32_t before = 0, after = 0, cornerBefore = 0, cornerAfter = 0;
    if (fx::Begin()) {
        s.Draw(ShapeDrawFlgNil, nullptr);
        fx::End();
    }
    before = fx::Pixel(centre.x, centre.y);
    cornerBefore = fx::Pixel(corner.x, corner.y);
    if (fx::Begin()) {
        light->DrawMapTexture();
        fx::End();
    }
    after = fx::Pixel(centre.x, centre.y);
    cornerAfter = fx::Pixel(corner.x, corner.y);
    EXPECT_RGB(0x404040, before);
    EXPECT_GT((int)(after & 0xFF), (int)(before & 0xFF) + 32) << std::hex << after;
    EXPECT_RGB(cornerBefore, cornerAfter);

    // A caster between the light and the quad darkens the shadow map, and so the lit spot.
    fx::Quad block(kRed, 0.5f, 0, 0, -2.0f);
    block.def.shapeStatus = SHAPE_STAT_CASTER;
    _shape c(&block.def, 0);
    c.Update();
    sDrawInitShapeInfo(2);
    sDrawEntryShapeInfo(0, &s);
    sDrawEntryShapeInfo(1, &c);
    light->Update();
    fx::Clear(kBack);
    if (fx::Begin()) {
        s.Draw(ShapeDrawFlgNil, nullptr);
        light->DrawMapTexture();
        fx::End();
    }
    const uint32_t shaded = fx::Pixel(centre.x, centre.y);
    EXPECT_LT((int)(shaded & 0xFF), (int)(after & 0xFF) - 32) << std::hex << shaded;
    light->SetEnable(0);
    light->FreeMapTexture();
}

TEST_F(ShapeDraw, MotionBlurLeavesFadingCopiesBehind)
{
    fx::Quad q(kRed, 0.5f);
    _shape s(&q.def, 0);
    ShapeEffect *e = new ShapeEffect();
    e->option = EffectOptionsBlur;
    e->blurBlend = BlendingModeTransparency;
    e->blurCnt = 2;
    e->blurFrameRate = 1;
    e->blurAlphaBias = 0.8f;
    s.SetEffectPtr(e);
    Place(s, -2.0f, 0, 0);
    Place(s, 0.0f, 0, 0);
    Place(s, 2.0f, 0, 0);
    const POINT now = fx::Screen(2, 0, 0), one = fx::Screen(0, 0, 0), two = fx::Screen(-2, 0, 0);
    EXPECT_RGB(kRed, Draw({&s}, ShapeDrawFlgNil, now));
    Draw({&s}, ShapeDrawFlgAlpha);
    EXPECT_RGB(fx::Blend(kRed, kBack, 0.8f), fx::Pixel(one.x, one.y));
    EXPECT_RGB(fx::Blend(kRed, kBack, 0.4f), fx::Pixel(two.x, two.y));
    EXPECT_RGB(kBack, fx::Pixel(now.x, now.y));  // the opaque body is not drawn in this pass
}

TEST_F(ShapeDraw, GlowSurroundsTheShapeInTheTranslucentPass)
{
    fx::Quad q(kRed, 1.0f);
    q.def.minX = q.def.minY = -2.0, q.def.maxX = q.def.maxY = 2.0;
    _shape s(&q.def, 0);
    ShapeEffect *e = new ShapeEffect();
    e->option = EffectOptionsGlow;
    e->glowBlend = BlendingModeTransparency;
    e->glowCnt = 1;
    e->glowScale = 2.0f;
    e->glowColor.a = 0.5f;
    e->glowEmissive.g = 1.0f;
    s.SetEffectPtr(e);
    s.Update();
    const POINT halo = fx::Screen(1.5f, 0.0f, 0.0f), out = fx::Screen(2.5f, 0.0f, 0.0f);
    EXPECT_RGB(kBack, Draw({&s}, ShapeDrawFlgNil, halo));
    EXPECT_RGB(fx::Blend(kGreen, kBack, 0.5f), Draw({&s}, ShapeDrawFlgAlpha, halo));
    EXPECT_RGB(kBack, fx::Pixel(out.x, out.y));
}

TEST_F(ShapeDraw, MorphMovesTheVerticesTowardTheTarget)
{
    fx::Quad q(kRed, 0.5f), target(kRed, 0.5f, 3.0f, 0, 0);
    q.vertexSet.morphVertexP = target.vertex;
    q.vertexSet.morphVertexType = 0x212;
    q.def.minX = -1, q.def.maxX = 4;
    _shape s(&q.def, 0);
    s.Update();
    const POINT start = fx::Screen(0, 0, 0), half = fx::Screen(1.5f, 0, 0), end = fx::Screen(3, 0, 0);
    EXPECT_RGB(kRed, Draw({&s}, ShapeDrawFlgNil, start));
    s.Morph(0.5f);
    EXPECT_RGB(kRed, Draw({&s}, ShapeDrawFlgNil, half));
    EXPECT_RGB(kBack, fx::Pixel(start.x, start.y));
    s.Morph(1.0f);
    EXPECT_RGB(kRed, Draw({&s}, ShapeDrawFlgNil, end));
}

// The first vertex set's buffer, read back.
std::vector<uint8_t> Buffer(_shape &aShape)
{
    _primVertexSetBase *set = aShape.GetAbility(0)->GetPrimitive()->_vertexSetPP[0];
    void *p = nullptr;
    DWORD size = 0;
    std::vector<uint8_t> out;
    if (set->_vertexBufferP && SUCCEEDED(set->_vertexBufferP->Lock(DDLOCK_WAIT | DDLOCK_READONLY, &p, &size))) {
        out.assign((uint8_t *)p, (uint8_t *)p + size);
        set->_vertexBufferP->Unlock();
    }
    return out;
}

TEST_F(ShapeDraw, PerFrameCoordinatesAndColoursReachTheBuffers)
{
    // DOT3: a directional light straight onto the quad gives every vertex (128, 255, 128).
    fx::Quad bump(kRed);
    bump.ability.abilityStatus |= ABL_STAT_BUMP;
    _shape b(&bump.def, 0);
    D3DLIGHT7 l = {};
    l.dltType = D3DLIGHT_DIRECTIONAL;
    l.dcvDiffuse.r = l.dcvDiffuse.g = l.dcvDiffuse.b = 1.0f;
    l.dvDirection.z = 1.0f;
    drawMan.lightP[0]->SetLight(&l);
    drawMan.lightP[0]->SetEnable(1);
    b.Update();
    std::vector<uint8_t> buf = Buffer(b);
    ASSERT_EQ(4u * 32u, buf.size());  // position, colour, two coordinate pairs
    for (int v = 0; v < 4; ++v) {
        uint32_t c;
        std::memcpy(&c, &buf[v * 32 + 12], 4);
        EXPECT_EQ(0x80FF80u, c) << v;
    }
    drawMan.lightP[0]->SetEnable(0);
    EXPECT_NE(kBack, Draw({&b}, ShapeDrawFlgNil));

    // Sphere map: a normal straight at the camera maps to the middle of the map.
    fx::Quad env(kRed);
    env.ability.abilityStatus |= ABL_STAT_ENV;
    env.Textures({fx::TexSet(fx::Bitmap("kobj_e.bmp", kGreen), 1)});
    env.texSet[0].texFlg |= 0x8;
    _shape e(&env.def, 0);
    e.Update();
    buf = Buffer(e);
    ASSERT_EQ(4u * 40u, buf.size());
    float uv[2];
    std::memcpy(uv, &buf[2 * 40 + 32], sizeof uv);
    EXPECT_FLOAT_EQ(0.5f, uv[0]);
    EXPECT_FLOAT_EQ(0.5f, uv[1]);

    // Planar projection along z from the reference shape 0 (this one, at the origin).
    fx::Quad proj(kRed);
    proj.Textures({fx::TexSet(fx::Bitmap("kobj_p.bmp", kGreen))});
    proj.texSet[0].texFlg |= 0x0400 | 0x0800;
    proj.texSet[0].pageInfo = {PRIM_PROJ_PLANAR, PRIM_AXIS_Z, {4, 4, 4}, {0, 0, 0}, 1, 1, 0};
    _shape p(&proj.def, 0);
    sDrawInitShapeInfo(1);
    sDrawEntryShapeInfo(0, &p);
    p.Update();
    buf = Buffer(p);
    ASSERT_EQ(4u * 40u, buf.size());
    for (int v = 0; v < 4; ++v) {
        std::memcpy(uv, &buf[v * 40 + 24], sizeof uv);
        EXPECT_FLOAT_EQ(proj.vertex[v].vx / 4 + 0.5f, uv[0]) << v;
        EXPECT_FLOAT_EQ(-proj.vertex[v].vy / 4 + 0.5f, uv[1]) << v;
    }
}

TEST_F(ShapeDraw, DamagedOrMissingDefinitionsDrawNothing)
{
    _shape none(nullptr, 0);
    EXPECT_EQ(0u, none.GetStatus() & SHAPE_STAT_INIT);

    fx::Quad q(kRed);
    q.index[4] = 7;  // beyond the four vertices
    _shape bad;
    EXPECT_EQ(-1, bad.Init(&q.def, 0));
    bad.Update();
    fx::Start();
    EXPECT_RGB(kBack, Draw({&bad}, ShapeDrawFlgNil));
    std::vector<fx::Call> log = fx::Stop();
    for (const fx::Call &c : log)
        EXPECT_NE(fx::Call::Draw, c.kind);

    fx::Quad neg(kRed);
    neg.def.abilityDefNum = -3;
    _shape n;
    EXPECT_EQ(-1, n.Init(&neg.def, 0));
    EXPECT_EQ(0u, n.GetStatus() & SHAPE_STAT_INIT);

    fx::Quad nullAbl(kRed);
    nullAbl.abilityTbl[0] = nullptr;
    _shape a(&nullAbl.def, 0);
    a.Update();
    EXPECT_RGB(kBack, Draw({&a}, ShapeDrawFlgNil));
}

} // namespace
