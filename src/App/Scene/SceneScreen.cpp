// The loading screen: the last result or the loading picture, the progress bar, and the wait
// that keeps it up.

#include "App/Scene/Scene.h"

#include <mmsystem.h>
#include <ddraw.h>
#include <d3d.h>


#include "App/App/AppCore.h"
#include "App/CtrlPanel/CtrlPanel.h"
#include "Common/DEBUGWIN.h"
#include "System/Draw/DrawMan.h"
#include "System/Sys/SYSTEM.h"
#include "App/Scene/SceneInt.h"

// ---------------------------------------------------------------- loading screen

// Keeps the loading screen up until waitTime has passed since loading began: the last flip must
// lie between the start and now and more than waitTime after the start. Unsigned differences, so
// the timer's wrap and a flip from before the start are both read right.
static uint32_t _lastFlipTime = 0;

void Scene::_keepLoadingScreen(uint32_t aStartTime, uint32_t aWaitTime)
{
    for (;;) {
        const uint32_t now = sSysMilliTime(), flipAt = _lastFlipTime - aStartTime;
        if (flipAt <= now - aStartTime && flipAt > aWaitTime)
            return;
        if (now - _lastFlipTime > 33) {
            sDrawFlipBuffer();
            _lastFlipTime = now;
        } else {
            Sleep(1);
        }
    }
}

static const char _interfacePack[] = "Data\\Ksf\\09.ksf";

struct _resultDef {
    const char *thumbNailBmpName;
    const char *BenchDataBmpName;
};

static const _resultDef _resultDefTbl[CP_TEST_NUM] = {
    {"Data\\Com\\sf_ninja_2.bmp", "Data\\Com\\BenchMarkData01.bmp"},
    {"Data\\Com\\sf_ninja_2.bmp", "Data\\Com\\BenchMarkData02.bmp"},
    {"Data\\Com\\last_2.bmp", "Data\\Com\\BenchMarkData03.bmp"},
    {"Data\\Com\\last_2.bmp", "Data\\Com\\BenchMarkData04.bmp"},
    {"Data\\Com\\space_21_2.bmp", "Data\\Com\\BenchMarkData05.bmp"},
    {"Data\\Com\\space_21_2.bmp", "Data\\Com\\BenchMarkData06.bmp"},
    {"Data\\Com\\water_2.bmp", "Data\\Com\\BenchMarkData07.bmp"},
    {"Data\\Com\\2d_2.bmp", "Data\\Com\\BenchMarkData08.bmp"},
    {"Data\\Com\\default_ship_2.bmp", "Data\\Com\\BenchMarkData09.bmp"},
    {"Data\\Com\\user_ship_2.bmp", "Data\\Com\\BenchMarkData10.bmp"},
};

enum { _BMP_OPAQUE = 0, _BMP_KEY_BLACK = 1, _BMP_KEY_WHITE = 2 };

// A picture of the interface package, loaded for this one call.
static IDirectDrawSurface7 *_loadBmp(const char *aBmpNameP, long aMode)
{
    IDirectDrawSurface7 *suf = loadKsf(_interfacePack, aBmpNameP, nullptr, 0);
    if (suf != nullptr && aMode != _BMP_OPAQUE) {
        DDCOLORKEY key;
        key.dwColorSpaceLowValue = key.dwColorSpaceHighValue = aMode == _BMP_KEY_BLACK ? 0 : 0xFFFFFFFF;
        suf->SetColorKey(DDCKEY_SRCBLT, &key);
    }
    return suf;
}

static void _blt(IDirectDrawSurface7 *aSufP, RECT *aSrcP, long aX, long aY, long aW, long aH, long aMode)
{
    RECT dst = {aX, aY, aX + aW, aY + aH};
    if (drawMan.backP && aW > 0 && aH > 0)
        DEBUGWIN_CHECK(
            drawMan.backP->Blt(&dst, aSufP, aSrcP, DDBLT_WAIT | (aMode != _BMP_OPAQUE ? DDBLT_KEYSRC : 0), nullptr));
}

static void _drawBmp(const char *aBmpNameP, long aPosX, long aPosY, long aWidth, long aHeight, long aMode)
{
    IDirectDrawSurface7 *suf = _loadBmp(aBmpNameP, aMode);
    if (suf == nullptr)
        return;
    _blt(suf, nullptr, aPosX, aPosY, aWidth, aHeight, aMode);
    suf->Release();
}

static void _drawNum(double aNum, long aPosX, long aPosY, long aOption, long aFloatingBeam, long aRightFlg)
{
    uint8_t glyph[SCENE_NUM_GLYPH_MAX];
    const long n = sSceneNumGlyphs(aNum, aFloatingBeam, aOption, glyph);
    IDirectDrawSurface7 *suf = _loadBmp("Data\\Com\\r_Number.bmp", _BMP_KEY_BLACK);
    if (suf == nullptr)
        return;
    long x = aPosX;
    if (aRightFlg == 1)
        for (long i = 0; i < n; i++)
            x -= sSceneGlyphWidth(glyph[i]);
    for (long i = 0; i < n; i++) {
        RECT src = {sceneGlyphTbl[glyph[i]][0], 0, sceneGlyphTbl[glyph[i]][1], SCENE_GLYPH_HEIGHT};
        const long w = sSceneGlyphWidth(glyph[i]);
        _blt(suf, &src, x, aPosY, w, SCENE_GLYPH_HEIGHT, _BMP_KEY_BLACK);
        x += w;
    }
    suf->Release();
}

// The score row of the last finished step: a test, or after the last test the overall score.
static const _cpScore *_lastScore(void)
{
    const int32_t step = cpWork.lastStep;
    if (step >= 0 && step < CP_TEST_NUM)
        return &cpWork.score[step];
    return step == CP_TEST_NUM ? &cpWork.overallScore : nullptr;
}

static void _drawResult(long aWidth, long aHeight)
{
    _drawBmp("Data\\Com\\result3_fin.bmp", 0, 0, aWidth, aHeight, _BMP_OPAQUE);
    if (const _cpScore *score = _lastScore()) {
        uint8_t digit[9];
        const long k = sSceneScoreDigits(score->score, digit);
        if (IDirectDrawSurface7 *suf = _loadBmp("Data\\Com\\r_Score.bmp", _BMP_KEY_BLACK)) {
            for (long i = 0; i < k; i++) {
                RECT src = {64 * digit[i], 0, 64 * digit[i] + 64, 96};
                const _sceneRect r = sSceneScoreDigitRect(aWidth, aHeight, k, i);
                _blt(suf, &src, r.left, r.top, r.right - r.left, r.bottom - r.top, _BMP_KEY_BLACK);
            }
            suf->Release();
        }
        _drawBmp("Data\\Com\\r_FpsTitle.bmp", sSceneScaleX(208, aWidth), sSceneScaleY(64, aHeight),
                 sSceneScaleX(128, aWidth), sSceneScaleY(64, aHeight), _BMP_KEY_BLACK);
        _drawNum(score->fpsAve, sSceneScaleX(336, aWidth), sSceneScaleY(112, aHeight), 11, 2, 0);
    }
    if (cpWork.lastStep >= 0 && cpWork.lastStep < CP_TEST_NUM) {
        const _resultDef &row = _resultDefTbl[cpWork.lastStep];
        _drawBmp(row.thumbNailBmpName, sSceneScaleX(496, aWidth), sSceneScaleY(140, aHeight),
                 sSceneScaleX(128, aWidth), sSceneScaleY(128, aHeight), _BMP_OPAQUE);
        _drawBmp(row.BenchDataBmpName, sSceneScaleX(488, aWidth), sSceneScaleY(272, aHeight),
                 sSceneScaleX(144, aWidth), sSceneScaleY(160, aHeight), _BMP_OPAQUE);
    }
}

static void _clearRect(long aLeft, long aTop, long aRight, long aBottom, uint32_t aColor)
{
    D3DRECT r = {aLeft, aTop, aRight, aBottom};
    if (drawMan.d3dDevP && aRight > aLeft && aBottom > aTop)
        DEBUGWIN_CHECK(drawMan.d3dDevP->Clear(1, &r, D3DCLEAR_TARGET, aColor, 1.0f, 0));
}

void _sceneDrawLodingBar(const _sceneOptionDef *aOptionDefP, long aPercent)
{
    if (aOptionDefP == nullptr || drawMan.d3dDevP == nullptr || drawMan.backP == nullptr)
        return;
    const long w = drawMan.screenWidth, h = drawMan.screenHeight;
    const uint16_t status = aOptionDefP->status;
    const uint32_t bench = cpWork.env[0].benchOption;
    bool bar = false, benchScreen = false;
    if (status & SCENE_OPT_CLOSING_SCREEN) {
        if (aPercent == 0) {
            sDrawSetBackColor(0, 0, 0);
            sDrawClear();
            _drawBmp("Data\\Com\\NowLoading_fin.bmp", 0, 0, w, h, _BMP_OPAQUE);
        }
        bar = (status & SCENE_OPT_PROGRESS_BAR) != 0;
    } else if (status & SCENE_OPT_BENCH_SCREEN) {
        if ((status & SCENE_OPT_SKIP_SCREEN) && (bench & CP_OPTION_LOOP))
            return;
        benchScreen = true;
        if (aPercent == 0) {
            sDrawSetBackColor(0, 0, 0);
            sDrawClear();
            if (cpWork.lastStep == -1)
                _drawBmp("Data\\Com\\NowLoading_fin.bmp", 0, 0, w, h, _BMP_OPAQUE);
            else
                _drawResult(w, h);
        }
        if (!(bench & CP_OPTION_CHALLENGE)) {
            if (status & SCENE_OPT_PROGRESS_BAR) {
                if (aPercent == 0) {
                    const long top = (long)((double)h * 0.9395833);
                    _drawBmp("Data\\Com\\r_NowLoading.bmp", 0, top, w, h - top, _BMP_OPAQUE);
                }
                bar = true;
            }
        } else {
            _clearRect(0, h * 15 / 16, w, h, 0);  // 0.9375 of the height
        }
    } else {
        return;
    }
    if (bar) {
        const _sceneRect r = sSceneLoadBarRect(w, h, aPercent, benchScreen);
        _clearRect(r.left, r.top, r.right, r.bottom, 0x54FCAF);
    }
    const uint32_t now = sSysMilliTime();
    if (now - _lastFlipTime > 33 || aPercent < 5 || aPercent > 95) {
        sDrawFlipBufferDirect();
        _lastFlipTime = now;
    }
}

void sceneDrawLodingScreen(const _sceneOptionDef *aOptionDefP)
{
    _sceneDrawLodingBar(aOptionDefP, 0);
}

void sceneDrawLodingStart(const _sceneOptionDef *aOptionDefP)
{
    _sceneDrawLodingBar(aOptionDefP, 10);
}
