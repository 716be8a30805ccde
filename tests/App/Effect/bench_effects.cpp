// Share of frame time each effect scene costs under Wine: a frame of 200 quad shapes, cleared,
// drawn and presented, with one effect's update and draw calls added; run by hand.

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "DeviceFixture.h"
#include "App/AfterImage/AfterImage.h"
#include "App/AfterImage/AfterImageCore.h"
#include "App/Bom/Bom.h"
#include "App/Effect/Effect.h"
#include "App/Lightning/Lightning.h"
#include "App/Scene/Scene.h"
#include "App/Space/Space.h"
#include "KbImage.h"
#include "KbKsf.h"
#include "System/Draw/DrawMan.h"
#include "System/Shape/Shape.h"

namespace {

const long kFrames = 16, kShapes = 200;

double Now()
{
    LARGE_INTEGER c, f;
    QueryPerformanceCounter(&c);
    QueryPerformanceFrequency(&f);
    return (double)c.QuadPart / (double)f.QuadPart;
}

kbBytes Bmp(uint32_t aW, uint32_t aH)
{
    kbBytes out;
    std::string err;
    kbBmpWrite(kbImageMake(aW, aH, 0xFFFFFFFF), 24, &out, &err);
    return out;
}

void Pack(const char *aPathP, const std::vector<kbKsfEntry> &aEntries)
{
    kbBytes pack;
    std::string err;
    kbKsfWrite(aEntries, &pack, &err);
    kbWriteFile(aPathP, pack, &err);
}

void Content()
{
    char tmp[MAX_PATH];
    GetTempPathA(sizeof(tmp), tmp);
    const std::string root = std::string(tmp) + "kestrel_effects_bench";
    for (const char *d : {"", "\\Data", "\\Data\\Ksf", "\\Data\\Cloud"})
        CreateDirectoryA((root + d).c_str(), nullptr);
    SetCurrentDirectoryA(root.c_str());
    Pack("Data\\Ksf\\13.ksf", {{"lightning.bmp", Bmp(16, 64)}});
    std::vector<kbKsfEntry> bom;
    char name[64];
    for (long n = 0; n < BOM_TEX_A_NUM; n++) {
        sBomTexName(0, n, name, sizeof(name));
        bom.push_back({name, Bmp(32, 32)});
    }
    for (long n = 0; n < BOM_TEX_B_NUM; n++) {
        sBomTexName(1, n, name, sizeof(name));
        bom.push_back({name, Bmp(32, 32)});
    }
    Pack("Data\\Ksf\\10.ksf", bom);
    Pack("Data\\Ksf\\Galaxy.ksf", {{"Galaxy04.bmp", Bmp(128, 128)}});
    std::string err;
    kbWriteFile("Data\\Cloud\\moon.bmp", Bmp(64, 64), &err);
}

struct World {
    std::vector<fx::Quad *> quads;
    std::vector<_shape *> shapes;
    std::vector<_sceneShape> rec;
    std::vector<_sceneShapeDef> defs;
    _sceneDef def;
    Scene scene;
    World()
    {
        rec.resize(kShapes);
        defs.resize(kShapes);
        memset(rec.data(), 0, sizeof(_sceneShape) * kShapes);
        memset(defs.data(), 0, sizeof(_sceneShapeDef) * kShapes);
        for (long n = 0; n < kShapes; n++) {
            quads.push_back(new fx::Quad(0x406080, 0.3f, (float)(n % 20) * 0.7f - 7.0f, (float)(n / 20) * 0.6f - 3.0f, 0.0f));
            shapes.push_back(new _shape(&quads.back()->def, 0));
            shapes.back()->Update();
            rec[n].shapeP = shapes.back();
            snprintf(defs[n].name, sizeof(defs[n].name), "q%ld", n);
            rec[n].nameP = defs[n].name;
        }
        // Bolts and a blade among the shapes.
        strcpy(defs[0].name, "thand01a");
        strcpy(defs[19].name, "thand01b");
        strcpy(defs[180].name, "thand02a");
        strcpy(defs[199].name, "thand02b");
        strcpy(defs[100].name, "blade_s_img1");
        strcpy(defs[101].name, "blade_e_img1");
        memset(&def, 0, sizeof(def));
        def.shapeCnt = kShapes;
        def.shapeP = defs.data();
        scene._shapeP = rec.data();
        scene._shapeCnt = kShapes;
        scene._frameCnt = kFrames;
    }
    ~World()
    {
        scene._shapeP = nullptr;
        scene._shapeCnt = 0;
        for (_shape *s : shapes)
            delete s;
        for (fx::Quad *q : quads)
            delete q;
    }
    void Draw()
    {
        if (fx::Begin()) {
            for (_shape *s : shapes)
                s->Draw(ShapeDrawFlgNil, nullptr);
            fx::End();
        }
    }
};

typedef void (*Step)(World &aW, long aFrame);

void Measure(const char *aNameP, World &aW, Step aInit, Step aStep, Step aExit)
{
    if (aInit != nullptr)
        aInit(aW, 0);
    double frame = 0.0, effect = 0.0;
    for (long f = 0; f < kFrames; f++) {
        // Blade moves so that its trail has length.
        aW.shapes[100]->SetTransX((float)(f % 10) * 0.5f);
        aW.shapes[100]->MakeLocalMatrix();
        aW.shapes[100]->Update();
        const double t0 = Now();
        fx::Clear(0);
        aW.Draw();
        const double t1 = Now();
        if (aStep != nullptr)
            aStep(aW, f);
        const double t2 = Now();
        sDrawFlipBuffer();
        const double t3 = Now();
        frame += t3 - t0;
        effect += t2 - t1;
    }
    if (aExit != nullptr)
        aExit(aW, 0);
    printf("%-22s frame %7.3f ms  effect %7.3f ms  share %5.1f %%\n", aNameP, 1000.0 * frame / kFrames,
           1000.0 * effect / kFrames, aStep != nullptr ? 100.0 * effect / frame : 0.0);
}

uint32_t gOpt[5];

}  // namespace

int main()
{
    if (fx::OpenScene() != 0) {
        printf("no device\n");
        return 1;
    }
    Content();
    {
        World w;
        LightningLoad(&w.def, kShapes);
        AfterImageLoad(&w.def, kShapes);
        Measure("scene alone", w, nullptr, nullptr, nullptr);
        Measure("lightning (row 3)", w,
                [](World &aW, long) { LightningSceneInit(&aW.scene, &gLightningAllScnTbl[3]); },
                [](World &, long) { LightningSceneExec(); LightningSceneDraw(); }, nullptr);
        Measure("clouds", w, [](World &, long) { EfxCloudSceneInit(nullptr, 0, nullptr, nullptr); },
                [](World &, long aF) {
                    EfxCloudSceneExec(nullptr, (uint16_t)aF, nullptr, nullptr);
                    EfxCloudSceneDraw(nullptr, (uint16_t)aF, nullptr, nullptr);
                },
                [](World &, long) { EfxCloudSceneExit(nullptr, 0, nullptr, nullptr); });
        BomInit();
        Measure("explosions (cue 3)", w, [](World &, long) { BomSceneInit(&gBomScnAllTbl[3]); },
                [](World &, long aF) { BomSceneExec(aF, &gBomScnAllTbl[3]); BomSceneDraw(); },
                [](World &, long) { BomSceneExit(&gBomScnAllTbl[3]); });
        const uint32_t game3[5] = {3, 5000, 0, 0, (uint32_t)-1};
        memcpy(gOpt, game3, sizeof(gOpt));
        Measure("space (5000 stars)", w, [](World &aW, long) { Space_init((uint8_t *)&aW.scene, 0, nullptr, gOpt); },
                [](World &aW, long aF) {
                    Space_exec((uint8_t *)&aW.scene, (uint16_t)aF, nullptr, gOpt);
                    Space_draw((uint8_t *)&aW.scene, (uint16_t)aF, nullptr, gOpt);
                },
                [](World &aW, long) { Space_exit((uint8_t *)&aW.scene, 0, nullptr, gOpt); });
        const uint32_t trail[5] = {(uint32_t)-1, 4096, 1, 0, (uint32_t)-1};
        memcpy(gOpt, trail, sizeof(gOpt));
        Measure("space trails (4096)", w, [](World &aW, long) { Space_init((uint8_t *)&aW.scene, 0, nullptr, gOpt); },
                [](World &aW, long aF) {
                    Space_exec((uint8_t *)&aW.scene, (uint16_t)aF, nullptr, gOpt);
                    Space_draw((uint8_t *)&aW.scene, (uint16_t)aF, nullptr, gOpt);
                },
                [](World &aW, long) { Space_exit((uint8_t *)&aW.scene, 0, nullptr, gOpt); });
        Measure("warp", w, [](World &aW, long) { Warp_init((uint8_t *)&aW.scene, 0, nullptr, nullptr); },
                [](World &aW, long aF) {
                    Warp_exec((uint8_t *)&aW.scene, (uint16_t)aF, nullptr, nullptr);
                    Warp_draw((uint8_t *)&aW.scene, (uint16_t)aF, nullptr, nullptr);
                },
                [](World &aW, long) { Warp_exit((uint8_t *)&aW.scene, 0, nullptr, nullptr); });
        memset(gOpt, 0, sizeof(gOpt));
        Measure("after-image", w, [](World &aW, long) { AfterImage_init((uint8_t *)&aW.scene, 0, nullptr, gOpt); },
                [](World &aW, long aF) {
                    AfterImage_exec((uint8_t *)&aW.scene, (uint16_t)aF, nullptr, gOpt);
                    AfterImage_draw((uint8_t *)&aW.scene, (uint16_t)aF, nullptr, gOpt);
                },
                [](World &aW, long) { AfterImage_exit((uint8_t *)&aW.scene, 0, nullptr, gOpt); });
        BomRelease();
    }
    fx::Close();
    return 0;
}
