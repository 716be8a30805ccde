// The effect scenes drawn by the real device under Wine, each over a small scene of its own with
// the pictures it needs written into a temporary Data folder; pixels read back.

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "DeviceFixture.h"
#include "App/AfterImage/AfterImage.h"
#include "App/AfterImage/AfterImageCore.h"
#include "App/Bom/Bom.h"
#include "App/Effect/Effect.h"
#include "App/Effect/EfxCloud.h"
#include "App/Lightning/Lightning.h"
#include "App/Scene/Scene.h"
#include "App/Space/Space.h"
#include "KbImage.h"
#include "KbKsf.h"
#include "System/Draw/DrawMan.h"
#include "System/Shape/Shape.h"
#include "System/Texture/TEXMAN.h"

namespace {

const uint32_t kBlack = 0x000000, kRed = 0xFF0000;

bool Lit(uint32_t aRgb)
{
    return ((aRgb >> 16) & 0xFF) + ((aRgb >> 8) & 0xFF) + (aRgb & 0xFF) > 24;
}

// Lit back-buffer pixels in [aX0, aX1) x [aY0, aY1), read under one lock.
long LitIn(long aX0, long aY0, long aX1, long aY1)
{
    DDSURFACEDESC2 d;
    memset(&d, 0, sizeof(d));
    d.dwSize = sizeof(d);
    if (FAILED(drawMan.backP->Lock(nullptr, &d, DDLOCK_WAIT | DDLOCK_READONLY, nullptr)))
        return -1;
    const long bits = (long)d.ddpfPixelFormat.dwRGBBitCount;
    long lit = 0;
    for (long y = aY0 < 0 ? 0 : aY0; y < aY1 && y < (long)d.dwHeight; y++) {
        const uint8_t *row = (const uint8_t *)d.lpSurface + y * d.lPitch;
        for (long x = aX0 < 0 ? 0 : aX0; x < aX1 && x < (long)d.dwWidth; x++) {
            uint32_t v = bits == 32 ? ((const uint32_t *)row)[x] : ((const uint16_t *)row)[x];
            v &= d.ddpfPixelFormat.dwRBitMask | d.ddpfPixelFormat.dwGBitMask | d.ddpfPixelFormat.dwBBitMask;
            // A few low bits of noise are not a lit pixel.
            if (bits == 32 ? Lit(v) : (v & 0xE71C) != 0)
                lit++;
        }
    }
    drawMan.backP->Unlock(nullptr);
    return lit;
}

kbBytes Bmp(uint32_t aW, uint32_t aH, uint32_t aRgba)
{
    kbBytes out;
    std::string err;
    kbBmpWrite(kbImageMake(aW, aH, aRgba), 24, &out, &err);
    return out;
}

void WritePack(const std::string &aPath, const std::vector<kbKsfEntry> &aEntries)
{
    kbBytes pack;
    std::string err;
    ASSERT_TRUE(kbKsfWrite(aEntries, &pack, &err)) << err;
    ASSERT_TRUE(kbWriteFile(aPath, pack, &err)) << err;
}

// A temporary folder holding Data\Ksf, Data\Cloud, made the current folder for the suite.
std::string gRoot;
char gOldDir[MAX_PATH];

// Two quad shapes of a scene, named, placed and with their dissolve rates.
struct TwoShapes {
    fx::Quad qa, qb;
    _shape a, b;
    _sceneShape rec[2];
    _sceneShapeDef defs[2];
    _sceneDef def;
    Scene scene;
    TwoShapes(const char *aNameA, const char *aNameB, uint32_t aRgb, float aSize)
        : qa(aRgb, aSize), qb(aRgb, aSize), a(&qa.def, 0), b(&qb.def, 0)
    {
        memset(rec, 0, sizeof(rec));
        memset(defs, 0, sizeof(defs));
        memset(&def, 0, sizeof(def));
        strcpy(defs[0].name, aNameA);
        strcpy(defs[1].name, aNameB);
        def.shapeCnt = 2;
        def.shapeP = defs;
        rec[0].shapeP = &a;
        rec[1].shapeP = &b;
        rec[0].nameP = defs[0].name;
        rec[1].nameP = defs[1].name;
        scene._shapeP = rec;
        scene._shapeCnt = 2;
        scene._frameCnt = 300;
    }
    ~TwoShapes()
    {
        scene._shapeP = nullptr;
        scene._shapeCnt = 0;
    }
    static void Place(_shape &aShape, float aX, float aY, float aZ)
    {
        aShape.SetTransX(aX), aShape.SetTransY(aY), aShape.SetTransZ(aZ);
        aShape.MakeLocalMatrix();
        aShape.Update();
    }
};

class EffectScene : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_EQ(0, fx::OpenScene());
        char tmp[MAX_PATH];
        GetTempPathA(sizeof(tmp), tmp);
        gRoot = std::string(tmp) + "kestrel_effects";
        for (const char *d : {"", "\\Data", "\\Data\\Ksf", "\\Data\\Cloud"})
            CreateDirectoryA((gRoot + d).c_str(), nullptr);
        GetCurrentDirectoryA(sizeof(gOldDir), gOldDir);
        SetCurrentDirectoryA(gRoot.c_str());
        WritePack("Data\\Ksf\\13.ksf", {{"lightning.bmp", Bmp(16, 16, 0xFFFFFFFF)}});
        std::vector<kbKsfEntry> bom;
        char name[64];
        for (long n = 0; n < BOM_TEX_A_NUM; n++) {
            sBomTexName(0, n, name, sizeof(name));
            bom.push_back({name, Bmp(8, 8, 0xFFFFFFFF)});
        }
        for (long n = 0; n < BOM_TEX_B_NUM; n++) {
            sBomTexName(1, n, name, sizeof(name));
            bom.push_back({name, Bmp(8, 8, 0xFFFFFFFF)});
        }
        WritePack("Data\\Ksf\\10.ksf", bom);
        WritePack("Data\\Ksf\\Galaxy.ksf", {{"Galaxy01.bmp", Bmp(32, 32, 0xFFFFFFFF)}});
        kbBytes moon = Bmp(32, 32, 0xFFFFFFFF);
        std::string err;
        kbWriteFile("Data\\Cloud\\moon.bmp", moon, &err);
    }
    static void TearDownTestSuite()
    {
        SetCurrentDirectoryA(gOldDir);
        fx::Close();
    }
    void SetUp() override
    {
        ASSERT_NE(nullptr, drawMan.d3dDevP);
        for (int i = 0; i < DRAW_LIGHT_MAX; ++i)
            drawMan.lightP[i]->SetEnable(0);
        sDrawSetState(D3DRENDERSTATE_ZFUNC, D3DCMP_LESSEQUAL);
    }
    static void DrawShapes(std::initializer_list<_shape *> aShapes)
    {
        if (fx::Begin()) {
            for (_shape *s : aShapes)
                s->Draw(ShapeDrawFlgNil, nullptr);
            fx::End();
        }
    }
};

TEST_F(EffectScene, BoltRibbonRunsBetweenItsTwoShapesUnlessOneDissolves)
{
    TwoShapes s("thand01a", "thand01b", kRed, 0.1f);
    TwoShapes::Place(s.a, -3.0f, 0.0f, 0.0f);
    TwoShapes::Place(s.b, 3.0f, 0.0f, 0.0f);
    LightningLoad(&s.def, 2);
    ASSERT_NE(_lightningEffectListP, nullptr);
    LightningSceneInit(&s.scene, &gLightningAllScnTbl[0]);
    ASSERT_TRUE(_lightningEffectListP->_status & LIGHTNING_STAT_READY);
    const POINT p1 = fx::Screen(-3.0f, 0.0f, 0.0f), p2 = fx::Screen(3.0f, 0.0f, 0.0f);
    auto columnLit = [](long aX) { return LitIn(aX, 100, aX + 1, 380) > 0; };
    fx::Clear(kBlack);
    LightningSceneExec();
    LightningSceneDraw();
    EXPECT_TRUE(columnLit((p1.x + p2.x) / 2));
    EXPECT_TRUE(columnLit(p1.x + 20));
    EXPECT_FALSE(columnLit(p1.x - 60));
    EXPECT_FALSE(columnLit(p2.x + 60));
    s.rec[1].dissolveRate = 0.5f;
    fx::Clear(kBlack);
    LightningSceneExec();
    LightningSceneDraw();
    EXPECT_FALSE(columnLit((p1.x + p2.x) / 2));
    s.rec[1].dissolveRate = 0.49f;
    fx::Clear(kBlack);
    LightningSceneExec();
    LightningSceneDraw();
    EXPECT_TRUE(columnLit((p1.x + p2.x) / 2));
    LightningSceneExit();
    EXPECT_EQ(_lightningEffectListP, nullptr);
}

TEST_F(EffectScene, CloudsShowOnlyWhereNothingElseWasDrawnAndFadeIn)
{
    fx::Quad q(kRed, 1.0f);
    _shape shape(&q.def, 0);
    shape.Update();
    const POINT c = fx::Screen(0.0f, 0.0f, 0.0f);
    EfxCloudSceneInit(nullptr, 0, nullptr, nullptr);
    ASSERT_NE(gEfxCloudP, nullptr);
    ASSERT_NE(gEfxCloudP->_drawSufP, nullptr);
    EXPECT_NE(gEfxCloudP->_bmImageP, nullptr);
    fx::Clear(kBlack);
    DrawShapes({&shape});
    EfxCloudSceneDraw(nullptr, 0, nullptr, nullptr);
    EXPECT_FALSE(Lit(fx::Pixel(320, 120))) << "black at the first frame";
    fx::Clear(kBlack);
    DrawShapes({&shape});
    EfxCloudSceneDraw(nullptr, 40, nullptr, nullptr);
    EXPECT_TRUE(Lit(fx::Pixel(320, 120)));
    const uint32_t sky = fx::Pixel(320, 120);
    EXPECT_GE(sky & 0xFF, (sky >> 16) & 0xFF) << "blue sky";
    EXPECT_LE(fx::Distance(kRed, fx::Pixel(c.x, c.y)), 6) << "the shape stays in front";
    // A scene drawn with specular light on leaves the sky as it was, not washed white.
    DWORD specular = FALSE;
    drawMan.d3dDevP->GetRenderState(D3DRENDERSTATE_SPECULARENABLE, &specular);
    fx::Clear(kBlack);
    DrawShapes({&shape});
    sDrawSetState(D3DRENDERSTATE_SPECULARENABLE, TRUE);
    EfxCloudSceneDraw(nullptr, 40, nullptr, nullptr);
    EXPECT_LE(fx::Distance(sky, fx::Pixel(320, 120)), 8) << "specular left on by the scene";
    DWORD after = FALSE;
    drawMan.d3dDevP->GetRenderState(D3DRENDERSTATE_SPECULARENABLE, &after);
    EXPECT_EQ(after, (DWORD)TRUE) << "the scene's state is given back";
    sDrawSetState(D3DRENDERSTATE_SPECULARENABLE, specular);
    EfxCloudSceneExit(nullptr, 0, nullptr, nullptr);
    EXPECT_EQ(gEfxCloudP, nullptr);
}

TEST_F(EffectScene, ExplosionSpriteAppearsWithItsCue)
{
    ASSERT_TRUE(BomInit());
    _bomScnTable cue{};
    cue.frameCnt = 3;
    cue.bomType = 9;
    cue.texType = 0;
    cue.bomParam.scale = 0.2f;
    cue.bomParam.texScale = 0.2f;
    cue.bomParam.coef = 1.0f;
    const _bomScnAll tbl = {1, &cue};
    BomSceneInit(&tbl);
    auto centreLit = [] { return LitIn(260, 180, 380, 300); };
    for (long f = 0; f <= 3; f++) {
        fx::Clear(kBlack);
        BomSceneExec(f, &tbl);
        BomSceneDraw();
        EXPECT_EQ(centreLit(), 0) << "frame " << f;
    }
    fx::Clear(kBlack);
    BomSceneExec(4, &tbl);
    BomSceneDraw();
    EXPECT_GT(centreLit(), 0);
    BomSceneExit(&tbl);
    fx::Clear(kBlack);
    BomSceneDraw();
    EXPECT_EQ(centreLit(), 0);
    BomRelease();
}

TEST_F(EffectScene, StarsAndGalaxyStayBehindTheShips)
{
    fx::Quad q(kRed, 1.0f);
    _shape ship(&q.def, 0);
    ship.Update();
    Scene scene;
    scene._frameCnt = 100;
    uint32_t opt[5] = {0, 3000, 0, 0, (uint32_t)-1};
    const int16_t pages = texMan.pageCnt;
    Space_init((uint8_t *)&scene, 0, nullptr, opt);
    EXPECT_GT(texMan.pageCnt, pages) << "galaxy page registered";
    Space_exec((uint8_t *)&scene, 0, nullptr, opt);
    fx::Clear(kBlack);
    DrawShapes({&ship});
    Space_draw((uint8_t *)&scene, 0, nullptr, opt);
    const POINT c = fx::Screen(0.0f, 0.0f, 0.0f);
    EXPECT_LE(fx::Distance(kRed, fx::Pixel(c.x, c.y)), 6);
    // The galaxy covers 0.6 of the screen about its centre: grey where no star or ship is.
    const uint32_t g = fx::Pixel(320 - 150, 240 + 100);
    EXPECT_TRUE(Lit(g)) << std::hex << g;
    EXPECT_GT(LitIn(0, 4, 640, 60), 10) << "stars";
    EXPECT_FALSE(Lit(fx::Pixel(5, 0)) && Lit(fx::Pixel(300, 0)) && Lit(fx::Pixel(600, 0))) << "black top row";
    Space_exit((uint8_t *)&scene, 0, nullptr, opt);

    uint32_t none[5] = {(uint32_t)-1, 3000, 0, 0, (uint32_t)-1};
    const int16_t before = texMan.pageCnt;
    Space_init((uint8_t *)&scene, 0, nullptr, none);
    EXPECT_EQ(texMan.pageCnt, before) << "no galaxy, no page";
    Space_exit((uint8_t *)&scene, 0, nullptr, none);
}

TEST_F(EffectScene, AfterImageRibbonTrailsAMovingBlade)
{
    TwoShapes s("blade_s_img1", "blade_e_img1", kRed, 0.05f);
    AfterImageLoad(&s.def, 2);
    ASSERT_EQ(_imgInfoCnt, 1u);
    TwoShapes::Place(s.a, -3.0f, 1.0f, 0.0f);
    TwoShapes::Place(s.b, -3.0f, -1.0f, 0.0f);
    uint32_t opt[5] = {0, 0, 0, 0, 0};
    AfterImage_init((uint8_t *)&s.scene, 0, nullptr, opt);
    for (long f = 0; f <= 6; f++) {
        const float x = -3.0f + (float)f;
        TwoShapes::Place(s.a, x, 1.0f, 0.0f);
        TwoShapes::Place(s.b, x, -1.0f, 0.0f);
        AfterImage_exec((uint8_t *)&s.scene, (uint16_t)f, nullptr, opt);
        AfterImage_exec((uint8_t *)&s.scene, (uint16_t)f, nullptr, opt);  // a repeated frame is harmless
    }
    fx::Clear(kBlack);
    AfterImage_draw((uint8_t *)&s.scene, 6, nullptr, opt);
    // Behind the blade (now at x = 3) the ribbon glows cyan; ahead of it nothing.
    const POINT behind = fx::Screen(1.5f, 0.5f, 0.0f), ahead = fx::Screen(4.5f, 0.5f, 0.0f);
    const uint32_t glow = fx::Pixel(behind.x, behind.y);
    EXPECT_TRUE(Lit(glow)) << std::hex << glow;
    EXPECT_GT((glow >> 8) & 0xFF, (glow >> 16) & 0xFF) << "cyan";
    EXPECT_FALSE(Lit(fx::Pixel(ahead.x, ahead.y)));
    AfterImage_exit((uint8_t *)&s.scene, 6, nullptr, opt);
}

}  // namespace
