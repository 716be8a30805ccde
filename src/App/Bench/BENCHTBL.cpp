#include "App/Bench/BENCHTBL.h"

#include <windows.h>
#include <ddraw.h>
#include <d3d.h>

#include <cstdlib>
#include <cstring>
#include <new>

#include "App/AfterImage/AfterImage.h"
#include "App/App/AppCore.h"
#include "App/Bench2d/Bench2d.h"
#include "App/Effect/Effect.h"
#include "App/Effect/EfxBench.h"
#include "App/Scene/Scene.h"
#include "App/Space/Space.h"
#include "App/Water/Water.h"
#include "Common/DEBUGWIN.h"
#include "Library/Vec/VECLIB.h"
#include "System/Draw/DrawMan.h"
#include "System/Shape/Shape.h"
#include "System/Sys/SYSTEM.h"
#include "System/Texture/TEXMAN.h"

typedef void *_cbResult;
#define CB_ARGS uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP
#define CB_PASS aSceneP, aFrameNum, aWorkP, aOptionP

static const uint32_t NONE = 0xFFFFFFFFu;  // option word: effect not selected

static Scene *_scene(uint8_t *aSceneP)
{
    return (Scene *)aSceneP;
}

static long _frameCnt(uint8_t *aSceneP)
{
    return aSceneP ? _scene(aSceneP)->GetFrameCnt() : 0;
}

// Locking the back buffer makes the driver finish the frame's work.
static void _waitDevice(void)
{
    IDirectDrawSurface7 *back = drawMan.backP;
    if (!back)
        return;
    DDSURFACEDESC2 desc = {};
    desc.dwSize = sizeof desc;
    if (SUCCEEDED(DEBUGWIN_CHECK(back->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr)))) {
        sDrawCountLock(DDLOCK_READONLY, 0);
        DEBUGWIN_CHECK(back->Unlock(nullptr));
    }
}

static void _startAfterImage(CB_ARGS, uint32_t aWord)
{
    uint32_t words[5] = {aWord, 0, 0, 0, 0};
    (void)aOptionP;
    AfterImage_init(aSceneP, aFrameNum, aWorkP, words);
}

static bool _roomSelected(const uint32_t *aOptionP)
{
    return aOptionP && aOptionP[4] != NONE;
}

// ---- Benchmark sf_ninja: feathers ---------------------------------------------------------

static _benchFeather *_featherP;
static long _featherTex = -1;
static long _swordNum[BENCH_SWORD_NUM] = {-1, -1};
static uint32_t _fadeAlpha;

static long _findShape(Scene *aSceneP, const char *aNameP)
{
    for (long i = 0; aSceneP && i < aSceneP->GetShapeCnt(); ++i) {
        const _sceneShape *s = aSceneP->GetShape(i);
        if (s && s->nameP && std::strcmp(s->nameP, aNameP) == 0)
            return i;
    }
    return -1;
}

static _cbResult _sf_ninja_init(CB_ARGS)
{
    sEfxFadeInit();
    _fadeAlpha = 0;
    Scene *scene = _scene(aSceneP);
    _swordNum[0] = _findShape(scene, "L_Sword");
    _swordNum[1] = _findShape(scene, "R_sword");
    delete[] _featherP;
    _featherP = new (std::nothrow) _benchFeather[BENCH_FEATHER_NUM];
    if (_featherP)
        sBenchFeatherInit(_featherP, BENCH_FEATHER_NUM);
    _featherTex = -1;
    uint32_t w = 0, h = 0, d = 0;
    if (void *bmp = loadKsfFile("Data\\Ksf\\03.ksf", "Data\\SF_Ninja\\Fulea.bmp", &w, &h, &d))
        _featherTex = sTexPageBmpEntry((HBITMAP)bmp, w, h, d, DRAW_FLG_BLT | DRAW_FLG_TEXTURE);
    _startAfterImage(CB_PASS, 0x783CFFDC);
    return nullptr;
}

static _cbResult _sf_ninja_exec(CB_ARGS)
{
    const long frameCnt = _frameCnt(aSceneP);
    _fadeAlpha = sBenchFeatherFadeAlpha(aFrameNum, frameCnt);
    Scene *scene = _scene(aSceneP);
    D3DVECTOR swordPos[BENCH_SWORD_NUM];
    const D3DVECTOR *swordP[BENCH_SWORD_NUM] = {nullptr, nullptr};
    for (int w = 0; w < BENCH_SWORD_NUM; ++w) {
        _sceneShape *s = scene ? scene->GetShape(_swordNum[w]) : nullptr;
        if (s && s->shapeP) {
            const D3DMATRIX &m = s->shapeP->GetCoordPtr()->world;
            swordPos[w] = {m._41, m._42, m._43};
            swordP[w] = &swordPos[w];
        }
    }
    if (_featherP)
        sBenchFeatherMove(_featherP, BENCH_FEATHER_NUM, aFrameNum, swordP);
    AfterImage_exec(CB_PASS);
    return nullptr;
}

static _cbResult _sf_ninja_draw(CB_ARGS)
{
    AfterImage_draw(CB_PASS);
    sEfxFeatherDraw(_featherP, BENCH_FEATHER_NUM, _featherTex);
    if (aFrameNum >= 271)
        sEfxFadeDraw(sBenchFadeBlack(_fadeAlpha), EFX_FADE_BLACK);
    return nullptr;
}

static _cbResult _sf_ninja_exit(CB_ARGS)
{
    delete[] _featherP;
    _featherP = nullptr;
    if (_featherTex >= 0)
        sTexPageFree(_featherTex);
    _featherTex = -1;
    AfterImage_exit(CB_PASS);
    return nullptr;
}

// ---- Benchmark ninja_last: attractors -------------------------------------------------------

static _benchAttractor _attr[BENCH_ATTRACTOR_NUM];
static _benchPoint *_pointP;
static long _pointNum;

static bool _ninjaLastFadeIn(long aFrame) { return aFrame < 80; }
static bool _ninjaLastFadeOut(long aFrame) { return aFrame > 1000; }

static uint32_t _ninjaLastFadeColor(long aFrame, long aFrameCnt)
{
    if (_ninjaLastFadeIn(aFrame))
        return sBenchFadeWhite(sBenchFadeInAlpha(aFrame));
    return sBenchFadeBlack(sBenchFadeOutAlpha(aFrame, 1000, aFrameCnt));
}

static _cbResult _ninja_last_init(CB_ARGS)
{
    sEfxFadeInit();
    delete[] _pointP;
    _pointP = new (std::nothrow) _benchPoint[BENCH_POINT_NUM];
    _pointNum = _pointP ? sBenchAttractorInit(_attr, _pointP) : 0;
    if (_roomSelected(aOptionP))
        EffectNeyaSceneInit(CB_PASS);
    EffectShapeSceneInit(CB_PASS);
    _startAfterImage(CB_PASS, 0xFFAAC8FF);
    return nullptr;
}

static _cbResult _ninja_last_exec(CB_ARGS)
{
    if (_pointP)
        sBenchAttractorMove(_attr, _pointP, _pointNum);
    if (_roomSelected(aOptionP))
        EffectNeyaSceneExec(CB_PASS);
    EffectShapeSceneExec(CB_PASS);
    AfterImage_exec(CB_PASS);
    return nullptr;
}

// The closing part shared by the benchmark and demo versions.
static void _ninjaLastDrawTail(CB_ARGS, bool aShapeB)
{
    if (aShapeB)
        EffectShapeSceneDraw(CB_PASS);
    if (_ninjaLastFadeIn(aFrameNum) || _ninjaLastFadeOut(aFrameNum))
        sEfxFadeDraw(_ninjaLastFadeColor(aFrameNum, _frameCnt(aSceneP)), EFX_FADE_ALPHA);
    if (aFrameNum >= 671 && aFrameNum <= 704)
        _waitDevice();
}

static _cbResult _ninja_last_draw(CB_ARGS)
{
    if (_roomSelected(aOptionP))
        EffectNeyaSceneDraw(CB_PASS);
    AfterImage_draw(CB_PASS);
    if (aFrameNum >= 296 && aFrameNum <= 629)
        sEfxPointDraw(_pointP, _pointNum);
    _ninjaLastDrawTail(CB_PASS, true);
    return nullptr;
}

static _cbResult _ninja_last_exit(CB_ARGS)
{
    if (_roomSelected(aOptionP))
        EffectNeyaSceneExit(CB_PASS);
    delete[] _pointP;
    _pointP = nullptr;
    _pointNum = 0;
    EffectShapeSceneExit(CB_PASS);
    AfterImage_exit(CB_PASS);
    return nullptr;
}

static _cbResult _ninja_last_rest(CB_ARGS)
{
    if (_roomSelected(aOptionP))
        EffectNeyaSceneRest(CB_PASS);
    EffectShapeSceneRest(CB_PASS);
    return nullptr;
}

// ---- Demo sf_ninja ------------------------------------------------------------------------

static _cbResult _demo_sf_ninja_init(CB_ARGS)
{
    sEfxFadeInit();
    _startAfterImage(CB_PASS, 0x783CFFDC);
    if (_roomSelected(aOptionP))
        EffectNeyaSceneInit(CB_PASS);
    return nullptr;
}

static _cbResult _demo_sf_ninja_exec(CB_ARGS)
{
    if (_roomSelected(aOptionP))
        EffectNeyaSceneExec(CB_PASS);
    AfterImage_exec(CB_PASS);
    return nullptr;
}

static _cbResult _demo_sf_ninja_draw(CB_ARGS)
{
    if (_roomSelected(aOptionP))
        EffectNeyaSceneDraw(CB_PASS);
    AfterImage_draw(CB_PASS);
    if (aFrameNum > 650)
        sEfxFadeDraw(sBenchFadeBlack(sBenchFadeOutAlpha(aFrameNum, 650, _frameCnt(aSceneP))), EFX_FADE_BLACK);
    return nullptr;
}

static _cbResult _demo_sf_ninja_exit(CB_ARGS)
{
    if (_roomSelected(aOptionP))
        EffectNeyaSceneExit(CB_PASS);
    AfterImage_exit(CB_PASS);
    return nullptr;
}

static _cbResult _demo_sf_ninja_rest(CB_ARGS)
{
    if (_roomSelected(aOptionP))
        EffectNeyaSceneRest(CB_PASS);
    return nullptr;
}

// ---- Demo ninja_last (light: without the shape effect) -------------------------------------

static void _demoNinjaLastInit(CB_ARGS, bool aShapeB)
{
    sEfxFadeInit();
    if (_roomSelected(aOptionP))
        EffectNeyaSceneInit(CB_PASS);
    if (aShapeB)
        EffectShapeSceneInit(CB_PASS);
    _startAfterImage(CB_PASS, 0xFFFFFFFF);
}

static void _demoNinjaLastExec(CB_ARGS, bool aShapeB)
{
    if (_roomSelected(aOptionP))
        EffectNeyaSceneExec(CB_PASS);
    if (aShapeB)
        EffectShapeSceneExec(CB_PASS);
    AfterImage_exec(CB_PASS);
}

static void _demoNinjaLastDraw(CB_ARGS, bool aShapeB)
{
    if (_roomSelected(aOptionP))
        EffectNeyaSceneDraw(CB_PASS);
    AfterImage_draw(CB_PASS);
    _ninjaLastDrawTail(CB_PASS, aShapeB);
}

static void _demoNinjaLastExit(CB_ARGS, bool aShapeB)
{
    if (_roomSelected(aOptionP))
        EffectNeyaSceneExit(CB_PASS);
    if (aShapeB)
        EffectShapeSceneExit(CB_PASS);
    AfterImage_exit(CB_PASS);
}

static void _demoNinjaLastRest(CB_ARGS, bool aShapeB)
{
    if (_roomSelected(aOptionP))
        EffectNeyaSceneRest(CB_PASS);
    if (aShapeB)
        EffectShapeSceneRest(CB_PASS);
}

static _cbResult _demo_ninja_last_init(CB_ARGS) { return _demoNinjaLastInit(CB_PASS, true), nullptr; }
static _cbResult _demo_ninja_last_exec(CB_ARGS) { return _demoNinjaLastExec(CB_PASS, true), nullptr; }
static _cbResult _demo_ninja_last_draw(CB_ARGS) { return _demoNinjaLastDraw(CB_PASS, true), nullptr; }
static _cbResult _demo_ninja_last_exit(CB_ARGS) { return _demoNinjaLastExit(CB_PASS, true), nullptr; }
static _cbResult _demo_ninja_last_rest(CB_ARGS) { return _demoNinjaLastRest(CB_PASS, true), nullptr; }
static _cbResult _light_ninja_last_init(CB_ARGS) { return _demoNinjaLastInit(CB_PASS, false), nullptr; }
static _cbResult _light_ninja_last_exec(CB_ARGS) { return _demoNinjaLastExec(CB_PASS, false), nullptr; }
static _cbResult _light_ninja_last_draw(CB_ARGS) { return _demoNinjaLastDraw(CB_PASS, false), nullptr; }
static _cbResult _light_ninja_last_exit(CB_ARGS) { return _demoNinjaLastExit(CB_PASS, false), nullptr; }
static _cbResult _light_ninja_last_rest(CB_ARGS) { return _demoNinjaLastRest(CB_PASS, false), nullptr; }

// ---- ninja_fusuma: shape effect, fade to white ----------------------------------------------

static _cbResult _ninja_fusuma_init(CB_ARGS)
{
    sEfxFadeInit();
    EffectShapeSceneInit(CB_PASS);
    return nullptr;
}

static _cbResult _ninja_fusuma_exec(CB_ARGS)
{
    EffectShapeSceneExec(CB_PASS);
    return nullptr;
}

static _cbResult _ninja_fusuma_draw(CB_ARGS)
{
    EffectShapeSceneDraw(CB_PASS);
    if (aFrameNum > 1000)
        sEfxFadeDraw(sBenchFadeWhite(sBenchFadeOutAlpha(aFrameNum, 1000, _frameCnt(aSceneP))), EFX_FADE_ALPHA);
    return nullptr;
}

static _cbResult _ninja_fusuma_exit(CB_ARGS)
{
    EffectShapeSceneExit(CB_PASS);
    return nullptr;
}

static _cbResult _ninja_fusuma_rest(CB_ARGS)
{
    EffectShapeSceneRest(CB_PASS);
    return nullptr;
}

// ---- ninja_yane: after-image and clouds (light: clouds not drawn) -------------------------

static _cbResult _ninja_yane_init(CB_ARGS)
{
    _startAfterImage(CB_PASS, 0xFFFFFFFF);
    EfxCloudSceneInit(CB_PASS);
    return nullptr;
}

static _cbResult _ninja_yane_exec(CB_ARGS)
{
    AfterImage_exec(CB_PASS);
    EfxCloudSceneExec(CB_PASS);
    return nullptr;
}

static _cbResult _ninja_yane_draw(CB_ARGS)
{
    AfterImage_draw(CB_PASS);
    if (aFrameNum < 771 || aFrameNum > 789)
        EfxCloudSceneDraw(CB_PASS);
    return nullptr;
}

static _cbResult _light_ninja_yane_draw(CB_ARGS)
{
    AfterImage_draw(CB_PASS);
    return nullptr;
}

static _cbResult _ninja_yane_exit(CB_ARGS)
{
    AfterImage_exit(CB_PASS);
    EfxCloudSceneExit(CB_PASS);
    return nullptr;
}

static _cbResult _ninja_yane_rest(CB_ARGS)
{
    EfxCloudSceneRest(CB_PASS);
    return nullptr;
}

// ---- ninja: clouds, fade to black (light: clouds not drawn) -------------------------------

static _cbResult _ninja_init(CB_ARGS)
{
    sEfxFadeInit();
    EfxCloudSceneInit(CB_PASS);
    return nullptr;
}

static _cbResult _ninja_exec(CB_ARGS)
{
    EfxCloudSceneExec(CB_PASS);
    return nullptr;
}

static void _ninjaFade(CB_ARGS)
{
    (void)aWorkP;
    (void)aOptionP;
    if (aFrameNum > 820)
        sEfxFadeDraw(sBenchFadeBlack(sBenchFadeOutAlpha(aFrameNum, 820, _frameCnt(aSceneP))), EFX_FADE_BLACK);
}

static _cbResult _ninja_draw(CB_ARGS)
{
    EfxCloudSceneDraw(CB_PASS);
    _ninjaFade(CB_PASS);
    return nullptr;
}

static _cbResult _light_ninja_draw(CB_ARGS)
{
    _ninjaFade(CB_PASS);
    return nullptr;
}

static _cbResult _ninja_exit(CB_ARGS)
{
    EfxCloudSceneExit(CB_PASS);
    return nullptr;
}

static _cbResult _ninja_rest(CB_ARGS)
{
    EfxCloudSceneRest(CB_PASS);
    return nullptr;
}

// ---- water: the water effect, fade to black ---------------------------------------------

static _cbResult _water_init(CB_ARGS)
{
    sEfxFadeInit();
    WaterSceneInit(CB_PASS);
    return nullptr;
}

static _cbResult _water_exec(CB_ARGS)
{
    WaterSceneExec(CB_PASS);
    return nullptr;
}

static _cbResult _water_draw(CB_ARGS)
{
    WaterSceneDraw(CB_PASS);
    if (aFrameNum > 1550)
        sEfxFadeDraw(sBenchFadeBlack(sBenchFadeOutAlpha(aFrameNum, 1550, _frameCnt(aSceneP))), EFX_FADE_BLACK);
    return nullptr;
}

static _cbResult _water_exit(CB_ARGS)
{
    WaterSceneExit(CB_PASS);
    return nullptr;
}

static _cbResult _water_rest(CB_ARGS)
{
    WaterSceneRest(CB_PASS);
    return nullptr;
}

// ---- Option sets --------------------------------------------------------------------------

#define PROCS(p) p##_init, p##_exec, p##_draw, p##_exit, p##_rest

static _sceneOptionDef _benchSfNinjaOpt = {SCENE_OPT_PROGRESS_BAR | SCENE_OPT_BENCH_SCREEN, 0, 5000, _sf_ninja_init,
                                           _sf_ninja_exec, _sf_ninja_draw, _sf_ninja_exit, nullptr};
static _sceneOptionDef _benchNinjaLastOpt = {SCENE_OPT_PROGRESS_BAR | SCENE_OPT_BENCH_SCREEN, 0, 5000,
                                             PROCS(_ninja_last)};
static _sceneOptionDef _benchWaterOpt = {SCENE_OPT_PROGRESS_BAR | SCENE_OPT_BENCH_SCREEN, 0, 5000, WaterSceneInit,
                                         WaterSceneExec, WaterSceneDraw, WaterSceneExit, WaterSceneRest};
static _sceneOptionDef _bench2DOpt = {SCENE_OPT_PROGRESS_BAR | SCENE_OPT_BENCH_SCREEN, 0, 5000, Bench2DSceneInit,
                                      Bench2DSceneExec, Bench2DSceneDraw, Bench2DSceneExit, Bench2DSceneRest};
static _sceneOptionDef _benchSpaceOpt = {SCENE_OPT_PROGRESS_BAR | SCENE_OPT_BENCH_SCREEN, 4, 5000, PROCS(Space)};
static _sceneOptionDef _benchUnscoredOpt = {SCENE_OPT_BENCH_SCREEN | SCENE_OPT_SKIP_SCREEN, 0, 5000, nullptr, nullptr,
                                            nullptr, nullptr, nullptr};

static _sceneOptionDef _demoPlainOpt = {SCENE_OPT_NO_BOX, 0, 2000, nullptr, nullptr, nullptr, nullptr, nullptr};
static _sceneOptionDef _demoNinjaOpt = {SCENE_OPT_CLOSING_SCREEN | SCENE_OPT_PROGRESS_BAR, 0, 2000, PROCS(_ninja)};
static _sceneOptionDef _demoNinjaYaneOpt = {0, 0, 2000, PROCS(_ninja_yane)};
static _sceneOptionDef _demoNinjaFusumaOpt = {0, 0, 2000, PROCS(_ninja_fusuma)};
static _sceneOptionDef _demoNinjaLastOpt = {0, 0, 2000, PROCS(_demo_ninja_last)};
static _sceneOptionDef _demoBarOpt = {SCENE_OPT_CLOSING_SCREEN | SCENE_OPT_PROGRESS_BAR, 0, 2000, nullptr, nullptr,
                                      nullptr, nullptr, nullptr};
static _sceneOptionDef _demoNoneOpt = {0, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr};
static _sceneOptionDef _demoNeyaOpt = {0, 0, 0, EffectNeyaSceneInit, EffectNeyaSceneExec, EffectNeyaSceneDraw,
                                       EffectNeyaSceneExit, EffectNeyaSceneRest};
static _sceneOptionDef _demoSpaceOpt = {0, 4, 0, PROCS(Space)};
static _sceneOptionDef _demoWarpOpt = {0, 4, 0, Warp_init, Warp_exec, Warp_draw, Warp_exit, nullptr};
static _sceneOptionDef _demoWaterOpt = {0, 0, 0, PROCS(_water)};
static _sceneOptionDef _demoSfNinjaOpt = {SCENE_OPT_CLOSING_SCREEN | SCENE_OPT_PROGRESS_BAR, 0, 2000,
                                          PROCS(_demo_sf_ninja)};
static _sceneOptionDef _demoShapeOpt = {0, 0, 2000, EffectShapeSceneInit, EffectShapeSceneExec, EffectShapeSceneDraw,
                                        EffectShapeSceneExit, EffectShapeSceneRest};

// The light editions' own copies: the same values, lighter drawing.
static _sceneOptionDef _lightNinjaOpt = {SCENE_OPT_CLOSING_SCREEN | SCENE_OPT_PROGRESS_BAR, 0, 2000, _ninja_init,
                                         _ninja_exec, _light_ninja_draw, _ninja_exit, _ninja_rest};
static _sceneOptionDef _lightNinjaYaneOpt = {0, 0, 2000, _ninja_yane_init, _ninja_yane_exec, _light_ninja_yane_draw,
                                             _ninja_yane_exit, _ninja_yane_rest};
static _sceneOptionDef _lightNinjaLastOpt = {0, 0, 2000, PROCS(_light_ninja_last)};

_becnhDef benchDef[BENCH_ROW_NUM] = {
    {BENCH_ROW_ENTRYKSF | BENCH_ROW_CLEARFILE, nullptr, &_benchSfNinjaOpt, {0, 0, 0, 0, 0}, nullptr, "Data\\Ksx\\23.ksx", "Data\\Ksf\\03.ksf", 640, 480, 16, "00.kss", nullptr},
    {BENCH_ROW_ENTRYKSF | BENCH_ROW_CLEARFILE, nullptr, &_benchSfNinjaOpt, {0, 0, 0, 0, 0}, nullptr, "Data\\Ksx\\23.ksx", "Data\\Ksf\\03.ksf", 1280, 1024, 16, "00.kss", nullptr},
    {BENCH_ROW_ENTRYKSF | BENCH_ROW_CLEARFILE, nullptr, &_benchNinjaLastOpt, {0, 0, 0, 0, 10}, nullptr, "Data\\Ksx\\05.ksx", "Data\\Ksf\\02.ksf", 640, 480, 16, "00.kss", nullptr},
    {BENCH_ROW_ENTRYKSF | BENCH_ROW_CLEARFILE, nullptr, &_benchNinjaLastOpt, {0, 0, 0, 0, 10}, nullptr, "Data\\Ksx\\05.ksx", "Data\\Ksf\\02.ksf", 1280, 1024, 16, "00.kss", nullptr},
    {BENCH_ROW_ENTRYKSF | BENCH_ROW_CLEARFILE, nullptr, &_benchSpaceOpt, {3, 5000, 0, 0, 3}, nullptr, "Data\\Ksx\\10.ksx", "Data\\Ksf\\04.ksf", 640, 480, 16, "00.kss", nullptr},
    {BENCH_ROW_ENTRYKSF | BENCH_ROW_CLEARFILE, nullptr, &_benchSpaceOpt, {3, 5000, 0, 0, 3}, nullptr, "Data\\Ksx\\10.ksx", "Data\\Ksf\\04.ksf", 1280, 1024, 16, "00.kss", nullptr},
    {BENCH_ROW_ENTRYKSF | BENCH_ROW_CLEARFILE, nullptr, &_benchWaterOpt, {0, 0, 0, 0, 0}, nullptr, "Data\\Ksx\\19.ksx", "Data\\Ksf\\05.ksf", 640, 480, 32, "00.kss", nullptr},
    {BENCH_ROW_ENTRYKSF | BENCH_ROW_CLEARFILE, nullptr, &_bench2DOpt, {0, 0, 0, 0, 0}, nullptr, "Data\\Ksx\\21.ksx", "Data\\Ksf\\06.ksf", 640, 480, 16, "00.kss", nullptr},
    {BENCH_ROW_ENTRYKSF | BENCH_ROW_CLEARFILE, nullptr, &_benchSpaceOpt, {5, 4096, 4, 1, NONE}, nullptr, "Data\\Ksx\\24.ksx", "Data\\Ksf\\07.ksf", 640, 480, 16, "00.kss", nullptr},
    {BENCH_ROW_USEROBJ | BENCH_ROW_ENTRYKSF | BENCH_ROW_CLEARFILE, nullptr, &_benchSpaceOpt, {5, 4096, 4, 1, NONE}, nullptr, "Data\\Ksx\\25.ksx", "Data\\Ksf\\07.ksf", 640, 480, 16, "00.kss", nullptr},
    {BENCH_ROW_NOSCORE, nullptr, &_benchUnscoredOpt, {0, 0, 0, 0, 0}, nullptr, "Data\\Ksx\\27.ksx", nullptr, 640, 480, 16, "00.kss", nullptr},
};

// Each test once, at 640 x 480; the other steps are the closing row.
_becnhDef lightBenchDef[BENCH_ROW_NUM] = {
    {BENCH_ROW_ENTRYKSF | BENCH_ROW_CLEARFILE, nullptr, &_benchSfNinjaOpt, {0, 0, 0, 0, 0}, nullptr, "Data\\Ksx\\23.ksx", "Data\\Ksf\\03.ksf", 640, 480, 16, "00.kss", nullptr},
    {BENCH_ROW_NOSCORE, nullptr, &_benchUnscoredOpt, {0, 0, 0, 0, 0}, nullptr, "Data\\Ksx\\27.ksx", nullptr, 640, 480, 16, "00.kss", nullptr},
    {BENCH_ROW_ENTRYKSF | BENCH_ROW_CLEARFILE, nullptr, &_benchNinjaLastOpt, {0, 0, 0, 0, 10}, nullptr, "Data\\Ksx\\05.ksx", "Data\\Ksf\\02.ksf", 640, 480, 16, "00.kss", nullptr},
    {BENCH_ROW_NOSCORE, nullptr, &_benchUnscoredOpt, {0, 0, 0, 0, 0}, nullptr, "Data\\Ksx\\27.ksx", nullptr, 640, 480, 16, "00.kss", nullptr},
    {BENCH_ROW_ENTRYKSF | BENCH_ROW_CLEARFILE, nullptr, &_benchSpaceOpt, {3, 5000, 0, 0, 3}, nullptr, "Data\\Ksx\\10.ksx", "Data\\Ksf\\04.ksf", 640, 480, 16, "00.kss", nullptr},
    {BENCH_ROW_NOSCORE, nullptr, &_benchUnscoredOpt, {0, 0, 0, 0, 0}, nullptr, "Data\\Ksx\\27.ksx", nullptr, 640, 480, 16, "00.kss", nullptr},
    {BENCH_ROW_ENTRYKSF | BENCH_ROW_CLEARFILE, nullptr, &_benchWaterOpt, {0, 0, 0, 0, 0}, nullptr, "Data\\Ksx\\19.ksx", "Data\\Ksf\\05.ksf", 640, 480, 32, "00.kss", nullptr},
    {BENCH_ROW_ENTRYKSF | BENCH_ROW_CLEARFILE, nullptr, &_bench2DOpt, {0, 0, 0, 0, 0}, nullptr, "Data\\Ksx\\21.ksx", "Data\\Ksf\\06.ksf", 640, 480, 16, "00.kss", nullptr},
    {BENCH_ROW_ENTRYKSF | BENCH_ROW_CLEARFILE, nullptr, &_benchSpaceOpt, {5, 4096, 4, 1, NONE}, nullptr, "Data\\Ksx\\24.ksx", "Data\\Ksf\\07.ksf", 640, 480, 16, "00.kss", nullptr},
    {BENCH_ROW_USEROBJ | BENCH_ROW_ENTRYKSF | BENCH_ROW_CLEARFILE, nullptr, &_benchSpaceOpt, {5, 4096, 4, 1, NONE}, nullptr, "Data\\Ksx\\25.ksx", "Data\\Ksf\\07.ksf", 640, 480, 16, "00.kss", nullptr},
    {BENCH_ROW_NOSCORE, nullptr, &_benchUnscoredOpt, {0, 0, 0, 0, 0}, nullptr, "Data\\Ksx\\27.ksx", nullptr, 640, 480, 16, "00.kss", nullptr},
};

_becnhDef demoDef[DEMO_ROW_NUM] = {
    {BENCH_ROW_FADEBGM | BENCH_ROW_ENTRYKSF | BENCH_ROW_CLEARFILE, nullptr, &_demoPlainOpt, {0, 0, 0, 0, 0}, nullptr, "Data\\Ksx\\01.ksx", "Data\\Ksf\\01.ksf", 0, 0, 0, "01.kss", nullptr},
    {BENCH_ROW_ENTRYKSF | BENCH_ROW_URLLOGO, nullptr, &_demoNinjaOpt, {0, 0, 0, 0, 0}, nullptr, "Data\\Ksx\\02.ksx", "Data\\Ksf\\02.ksf", 0, 0, 0, "02.kss", nullptr},
    {BENCH_ROW_URLLOGO, nullptr, &_demoNinjaYaneOpt, {0, 0, 0, 0, 0}, nullptr, "Data\\Ksx\\03.ksx", nullptr, 0, 0, 0, "02.kss", traNinjya1SeDef},
    {BENCH_ROW_URLLOGO, nullptr, &_demoNinjaFusumaOpt, {0, 0, 0, 0, 0}, nullptr, "Data\\Ksx\\04.ksx", nullptr, 0, 0, 0, "02.kss", nullptr},
    {BENCH_ROW_FADEBGM | BENCH_ROW_CLEARFILE | BENCH_ROW_URLLOGO, nullptr, &_demoNinjaLastOpt, {0, 0, 0, 0, 10}, nullptr, "Data\\Ksx\\05.ksx", nullptr, 0, 0, 0, "02.kss", traNinjya2SeDef},
    {BENCH_ROW_ENTRYKSF | BENCH_ROW_CPULOGO, nullptr, &_demoBarOpt, {0, 0, 0, 0, 0}, nullptr, "Data\\Ksx\\06.ksx", "Data\\Ksf\\04.ksf", 0, 0, 0, "03.kss", nullptr},
    {BENCH_ROW_CPULOGO, nullptr, &_demoNoneOpt, {0, 0, 0, 0, 0}, nullptr, "Data\\Ksx\\07.ksx", nullptr, 0, 0, 0, "03.kss", ss1_1SeDef},
    {BENCH_ROW_CPULOGO, nullptr, &_demoNoneOpt, {0, 0, 0, 0, 0}, nullptr, "Data\\Ksx\\08.ksx", nullptr, 0, 0, 0, "03.kss", nullptr},
    {BENCH_ROW_CPULOGO, nullptr, &_demoNeyaOpt, {0, 0, 0, 0, 2}, nullptr, "Data\\Ksx\\09.ksx", nullptr, 0, 0, 0, "03.kss", nullptr},
    {BENCH_ROW_CPULOGO, nullptr, &_demoSpaceOpt, {3, 3072, 0, 0, 3}, nullptr, "Data\\Ksx\\10.ksx", nullptr, 0, 0, 0, "03.kss", ss2_1SeDef},
    {BENCH_ROW_CPULOGO, nullptr, &_demoWarpOpt, {0, 0, 0, 0, 0}, nullptr, "Data\\Ksx\\11.ksx", nullptr, 0, 0, 0, "03.kss", ss2_2SeDef},
    {BENCH_ROW_CPULOGO, nullptr, &_demoSpaceOpt, {1, 3072, 0, 0, NONE}, nullptr, "Data\\Ksx\\12.ksx", nullptr, 0, 0, 0, "03.kss", nullptr},
    {BENCH_ROW_CPULOGO, nullptr, &_demoSpaceOpt, {2, 3072, 0, 0, 6}, nullptr, "Data\\Ksx\\13.ksx", nullptr, 0, 0, 0, "03.kss", ss2_6SeDef},
    {BENCH_ROW_CPULOGO, nullptr, &_demoSpaceOpt, {0, 3072, 0, 0, NONE}, nullptr, "Data\\Ksx\\14.ksx", nullptr, 0, 0, 0, "03.kss", nullptr},
    {BENCH_ROW_CPULOGO, nullptr, &_demoSpaceOpt, {NONE, 3072, 0, 0, NONE}, nullptr, "Data\\Ksx\\15.ksx", nullptr, 0, 0, 0, "03.kss", nullptr},
    {BENCH_ROW_CPULOGO, nullptr, &_demoSpaceOpt, {0, 3072, 0, 0, 7}, nullptr, "Data\\Ksx\\16.ksx", nullptr, 0, 0, 0, "03.kss", ss3_3SeDef},
    {BENCH_ROW_CPULOGO, nullptr, &_demoSpaceOpt, {2, 3072, 0, 0, 4}, nullptr, "Data\\Ksx\\17.ksx", nullptr, 0, 0, 0, "03.kss", ss4_1SeDef},
    {BENCH_ROW_FADEBGM | BENCH_ROW_CLEARFILE | BENCH_ROW_CPULOGO, nullptr, &_demoSpaceOpt, {4, 3072, 0, 0, 8}, nullptr, "Data\\Ksx\\18.ksx", nullptr, 0, 0, 0, "03.kss", ss4_2SeDef},
    {BENCH_ROW_ENTRYKSF | BENCH_ROW_CLEARFILE | BENCH_ROW_URLLOGO, nullptr, &_demoBarOpt, {0, 0, 0, 0, 0}, nullptr, "Data\\Ksx\\28.ksx", "Data\\Ksf\\14.ksf", 0, 0, 0, "06.kss", nullptr},
    {BENCH_ROW_FADEBGM | BENCH_ROW_ENTRYKSF | BENCH_ROW_CLEARFILE | BENCH_ROW_URLLOGO, nullptr, &_demoWaterOpt, {0, 0, 0, 0, 0}, nullptr, "Data\\Ksx\\20.ksx", "Data\\Ksf\\05.ksf", 640, 480, 32, "06.kss", nullptr},
    {BENCH_ROW_ENTRYKSF | BENCH_ROW_CLEARFILE | BENCH_ROW_CPULOGO, nullptr, &_demoSfNinjaOpt, {0, 0, 0, 0, 9}, nullptr, "Data\\Ksx\\22.ksx", "Data\\Ksf\\03.ksf", 0, 0, 0, "05.kss", sfNinjyaSeDef},
    {BENCH_ROW_FADEBGM | BENCH_ROW_ENTRYKSF | BENCH_ROW_CLEARFILE | BENCH_ROW_CPULOGO, nullptr, &_demoShapeOpt, {0, 0, 0, 0, 0}, nullptr, "Data\\Ksx\\26.ksx", "Data\\Ksf\\08.ksf", 0, 0, 0, "05.kss", endingSeDef},
    {0, nullptr, nullptr, {0, 0, 0, 0, 0}, nullptr, nullptr, nullptr, 0, 0, 0, "", nullptr},
    {0, nullptr, nullptr, {0, 0, 0, 0, 0}, nullptr, nullptr, nullptr, 0, 0, 0, "", nullptr},
    {0, nullptr, nullptr, {0, 0, 0, 0, 0}, nullptr, nullptr, nullptr, 0, 0, 0, "", nullptr},
};

// The demo with the light packages; every row registers its images and clears them after.
_becnhDef lightDef[DEMO_ROW_NUM] = {
    {BENCH_ROW_FADEBGM | BENCH_ROW_ENTRYKSF | BENCH_ROW_CLEARFILE, nullptr, &_demoPlainOpt, {0, 0, 0, 0, 0}, nullptr, "Data\\Ksx\\l01.ksx", "Data\\Ksf\\l01.ksf", 0, 0, 0, "01.kss", nullptr},
    {BENCH_ROW_ENTRYKSF | BENCH_ROW_CLEARFILE | BENCH_ROW_URLLOGO, nullptr, &_lightNinjaOpt, {0, 0, 0, 0, 0}, nullptr, "Data\\Ksx\\l20.ksx", "Data\\Ksf\\l02.ksf", 0, 0, 0, "02.kss", nullptr},
    {BENCH_ROW_ENTRYKSF | BENCH_ROW_CLEARFILE | BENCH_ROW_URLLOGO, nullptr, &_lightNinjaYaneOpt, {0, 0, 0, 0, 0}, nullptr, "Data\\Ksx\\l21.ksx", "Data\\Ksf\\l03.ksf", 0, 0, 0, "02.kss", traNinjya1SeDef},
    {BENCH_ROW_ENTRYKSF | BENCH_ROW_CLEARFILE | BENCH_ROW_URLLOGO, nullptr, &_demoNinjaFusumaOpt, {0, 0, 0, 0, 0}, nullptr, "Data\\Ksx\\l02.ksx", "Data\\Ksf\\l04.ksf", 0, 0, 0, "02.kss", nullptr},
    {BENCH_ROW_FADEBGM | BENCH_ROW_ENTRYKSF | BENCH_ROW_CLEARFILE | BENCH_ROW_URLLOGO, nullptr, &_lightNinjaLastOpt, {0, 0, 0, 0, 10}, nullptr, "Data\\Ksx\\l22.ksx", "Data\\Ksf\\l05.ksf", 0, 0, 0, "02.kss", traNinjya2SeDef},
    {BENCH_ROW_ENTRYKSF | BENCH_ROW_CLEARFILE | BENCH_ROW_CPULOGO, nullptr, &_demoBarOpt, {0, 0, 0, 0, 0}, nullptr, "Data\\Ksx\\l03.ksx", "Data\\Ksf\\l07.ksf", 0, 0, 0, "03.kss", nullptr},
    {BENCH_ROW_ENTRYKSF | BENCH_ROW_CLEARFILE | BENCH_ROW_CPULOGO, nullptr, &_demoNoneOpt, {0, 0, 0, 0, 0}, nullptr, "Data\\Ksx\\l04.ksx", "Data\\Ksf\\l08.ksf", 0, 0, 0, "03.kss", ss1_1SeDef},
    {BENCH_ROW_ENTRYKSF | BENCH_ROW_CLEARFILE | BENCH_ROW_CPULOGO, nullptr, &_demoNoneOpt, {0, 0, 0, 0, 0}, nullptr, "Data\\Ksx\\l05.ksx", "Data\\Ksf\\l09.ksf", 0, 0, 0, "03.kss", nullptr},
    {BENCH_ROW_ENTRYKSF | BENCH_ROW_CLEARFILE | BENCH_ROW_CPULOGO, nullptr, &_demoNeyaOpt, {0, 0, 0, 0, 2}, nullptr, "Data\\Ksx\\l06.ksx", "Data\\Ksf\\l10.ksf", 0, 0, 0, "03.kss", nullptr},
    {BENCH_ROW_ENTRYKSF | BENCH_ROW_CLEARFILE | BENCH_ROW_CPULOGO, nullptr, &_demoSpaceOpt, {3, 3072, 0, 0, 3}, nullptr, "Data\\Ksx\\l07.ksx", "Data\\Ksf\\l11.ksf", 0, 0, 0, "03.kss", ss2_1SeDef},
    {BENCH_ROW_ENTRYKSF | BENCH_ROW_CLEARFILE | BENCH_ROW_CPULOGO, nullptr, &_demoWarpOpt, {0, 0, 0, 0, 0}, nullptr, "Data\\Ksx\\l08.ksx", "Data\\Ksf\\l12.ksf", 0, 0, 0, "03.kss", ss2_2SeDef},
    {BENCH_ROW_ENTRYKSF | BENCH_ROW_CLEARFILE | BENCH_ROW_CPULOGO, nullptr, &_demoSpaceOpt, {1, 3072, 0, 0, NONE}, nullptr, "Data\\Ksx\\l09.ksx", "Data\\Ksf\\l13.ksf", 0, 0, 0, "03.kss", nullptr},
    {BENCH_ROW_ENTRYKSF | BENCH_ROW_CLEARFILE | BENCH_ROW_CPULOGO, nullptr, &_demoSpaceOpt, {2, 3072, 0, 0, 6}, nullptr, "Data\\Ksx\\l10.ksx", "Data\\Ksf\\l14.ksf", 0, 0, 0, "03.kss", ss2_6SeDef},
    {BENCH_ROW_ENTRYKSF | BENCH_ROW_CLEARFILE | BENCH_ROW_CPULOGO, nullptr, &_demoSpaceOpt, {0, 3072, 0, 0, NONE}, nullptr, "Data\\Ksx\\l11.ksx", "Data\\Ksf\\l15.ksf", 0, 0, 0, "03.kss", nullptr},
    {BENCH_ROW_ENTRYKSF | BENCH_ROW_CLEARFILE | BENCH_ROW_CPULOGO, nullptr, &_demoSpaceOpt, {0, 3072, 0, 0, 7}, nullptr, "Data\\Ksx\\l13.ksx", "Data\\Ksf\\l17.ksf", 0, 0, 0, "03.kss", ss3_3SeDef},
    {BENCH_ROW_ENTRYKSF | BENCH_ROW_CLEARFILE | BENCH_ROW_CPULOGO, nullptr, &_demoSpaceOpt, {2, 3072, 0, 0, 4}, nullptr, "Data\\Ksx\\l14.ksx", "Data\\Ksf\\l18.ksf", 0, 0, 0, "03.kss", ss4_1SeDef},
    {BENCH_ROW_FADEBGM | BENCH_ROW_ENTRYKSF | BENCH_ROW_CLEARFILE | BENCH_ROW_CPULOGO, nullptr, &_demoSpaceOpt, {4, 3072, 0, 0, 8}, nullptr, "Data\\Ksx\\l15.ksx", "Data\\Ksf\\l19.ksf", 0, 0, 0, "03.kss", ss4_2SeDef},
    {BENCH_ROW_ENTRYKSF | BENCH_ROW_CLEARFILE | BENCH_ROW_URLLOGO, nullptr, &_demoBarOpt, {0, 0, 0, 0, 0}, nullptr, "Data\\Ksx\\l18.ksx", "Data\\Ksf\\l20.ksf", 0, 0, 0, "06.kss", nullptr},
    {BENCH_ROW_FADEBGM | BENCH_ROW_ENTRYKSF | BENCH_ROW_CLEARFILE | BENCH_ROW_URLLOGO, nullptr, &_demoWaterOpt, {0, 0, 0, 0, 0}, nullptr, "Data\\Ksx\\l19.ksx", "Data\\Ksf\\05.ksf", 640, 480, 32, "06.kss", nullptr},
    {BENCH_ROW_ENTRYKSF | BENCH_ROW_CLEARFILE | BENCH_ROW_CPULOGO, nullptr, &_demoSfNinjaOpt, {0, 0, 0, 0, 9}, nullptr, "Data\\Ksx\\l16.ksx", "Data\\Ksf\\l06.ksf", 0, 0, 0, "05.kss", sfNinjyaSeDef},
    {BENCH_ROW_FADEBGM | BENCH_ROW_ENTRYKSF | BENCH_ROW_CLEARFILE | BENCH_ROW_CPULOGO, nullptr, &_demoShapeOpt, {0, 0, 0, 0, 0}, nullptr, "Data\\Ksx\\26.ksx", "Data\\Ksf\\08.ksf", 0, 0, 0, "05.kss", endingSeDef},
    {0, nullptr, nullptr, {0, 0, 0, 0, 0}, nullptr, nullptr, nullptr, 0, 0, 0, "", nullptr},
    {0, nullptr, nullptr, {0, 0, 0, 0, 0}, nullptr, nullptr, nullptr, 0, 0, 0, "", nullptr},
    {0, nullptr, nullptr, {0, 0, 0, 0, 0}, nullptr, nullptr, nullptr, 0, 0, 0, "", nullptr},
    {0, nullptr, nullptr, {0, 0, 0, 0, 0}, nullptr, nullptr, nullptr, 0, 0, 0, "", nullptr},
};

// ---- Selection and bulk loading -----------------------------------------------------------

static _becnhDef *_curTable(long *aRowNumP)
{
    const bool demo = (sysWork.status & SYS_DEMO) != 0, full = (sysWork.status & SYS_FULLSPEC) != 0;
    *aRowNumP = demo ? DEMO_ROW_NUM : BENCH_ROW_NUM;
    if (demo)
        return full ? demoDef : lightDef;
    return full ? benchDef : lightBenchDef;
}

_becnhDef *benchGetDefPtr(long aStep)
{
    long rowNum = 0;
    _becnhDef *tbl = _curTable(&rowNum);
    return sBenchTableRow(tbl, rowNum, aStep);
}

long benchGetRowNum(void)
{
    long rowNum = 0;
    _curTable(&rowNum);
    return rowNum;
}

static _becnhDef *const _fullTbl[2] = {demoDef, benchDef};
static const long _fullRowNum[2] = {DEMO_ROW_NUM, BENCH_ROW_NUM};

static _sceneDef *_loadScene(const char *aPathP)
{
    return (_sceneDef *)entryKsx(aPathP);
}

static void _freeScene(_sceneDef *aDefP)
{
    std::free(aDefP);
}

void benchLoadSceneAll(void)
{
    sBenchLoadScenes(_fullTbl, _fullRowNum, 2, _loadScene);
}

void benchFreeSceneAll(void)
{
    sBenchFreeScenes(_fullTbl, _fullRowNum, 2, _freeScene);
}
