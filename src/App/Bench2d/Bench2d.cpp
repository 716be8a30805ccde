#include "App/Bench2d/Bench2d.h"

#include <windows.h>
#include <ddraw.h>

#include <cstdlib>
#include <cstring>

#include "App/App/AppCore.h"
#include "App/Scene/Scene.h"
#include "Library/Draw/DrawLib.h"
#include "Common/DEBUGWIN.h"
#include "System/Draw/DrawMan.h"
#include "System/Sys/SYSTEM.h"

const _surfInfo surfInfo = {"Data\\Bench2D\\siro.bmp", 1};
static const char *const _bench2dKsf = "Data\\Ksf\\06.ksf";

_bench2D _bench2DInfo;

_bench2D::_bench2D()
    : _status(0), _conMetaP(_conputMetaNormal), _bltSurfP(_bltBackNormal), _ballDrawP(nullptr), _ballP(nullptr),
      _surfP(nullptr), _metaP(nullptr), _metaWidth(0), _metaHeight(0)
{
    sMathsTimeInit(&_time);
    sMathsTimeInit(&_timeDrwa);
}

_bench2D::~_bench2D()
{
    // The device is gone by the time statics are destroyed: only the memory is ours to free.
    if (_ballDrawP)
        for (int c = 0; c < BENCH2D_BALL_KIND; c++)
            free(_ballDrawP[c].dataP);
    free(_ballDrawP);
    free(_ballP);
    free(_surfP);
    free(_metaP);
}

long _bench2D::Init(void)
{
    Release();
    sMathsTimeInit(&_time);
    sMathsTimeInit(&_timeDrwa);

    _metaWidth = drawMan.screenWidth;
    _metaHeight = drawMan.screenHeight;
    if (_metaWidth > 0 && _metaHeight > 0)
        _metaP = (uint8_t *)calloc((size_t)(_metaWidth * _metaHeight), 1);
    _surfP = (_surfRec *)calloc(1, sizeof(_surfRec));
    _ballDrawP = (_ballSurfRec *)calloc(BENCH2D_BALL_KIND, sizeof(_ballSurfRec));
    _ballP = (_ballRec *)calloc(BENCH2D_BALL_CNT, sizeof(_ballRec));
    if (!_metaP || !_surfP || !_ballDrawP || !_ballP) {
        sDebugWinPrintMsg("ワーク確保失敗！");
        return 0;
    }
    if (!Rest())
        return 0;
    for (int c = 0; c < BENCH2D_BALL_KIND; c++) {
        if (!_makeMetaBall(ballInfo[c].diameter, c)) {
            sDebugWinPrintMsg("２Ｄベンチ初期化失敗！");
            return 0;
        }
    }
    sBench2dInitBalls(_ballP, _metaWidth, _metaHeight);
    _conMetaP = sBench2dSelectMeta(sysWork.caps.cpuOption);
    _bltSurfP = sBench2dSelectBlt(sysWork.caps.cpuOption);
    _status |= BENCH2D_STAT_READY;
    return 1;
}

long _bench2D::_makeMetaBall(long aDiameter, long aCnt)
{
    uint8_t *data = (uint8_t *)malloc((size_t)(aDiameter * aDiameter));
    if (!data) {
        sDebugWinPrintMsg("ワーク確保失敗！");
        return 0;
    }
    sBench2dMakeKernel(data, aDiameter);
    free(_ballDrawP[aCnt].dataP);
    _ballDrawP[aCnt].dataP = data;
    return 1;
}

void _bench2D::Release(void)
{
    if (_surfP && _surfP->surfP)
        _surfP->surfP->Release();
    if (_ballDrawP)
        for (int c = 0; c < BENCH2D_BALL_KIND; c++)
            free(_ballDrawP[c].dataP);
    free(_ballDrawP), _ballDrawP = nullptr;
    free(_ballP), _ballP = nullptr;
    free(_surfP), _surfP = nullptr;
    free(_metaP), _metaP = nullptr;
    _status = 0;
}

long _bench2D::Rest(void)
{
    if (!_surfP) {
        _status &= ~BENCH2D_STAT_READY;
        return 0;
    }
    if (_surfP->surfP)
        _surfP->surfP->Release(), _surfP->surfP = nullptr;
    if (!_loadBmp(surfInfo.fileName, _surfP, surfInfo.sysMemFlg)) {
        _status &= ~BENCH2D_STAT_READY;
        return 0;
    }
    return 1;
}

long _createSurface(IDirectDrawSurface7 **aDDSurfPP, long aWidth, long aHeight, long aSysFlg)
{
    if (*aDDSurfPP)
        (*aDDSurfPP)->Release(), *aDDSurfPP = nullptr;
    if (!drawMan.ddrawP || aWidth <= 0 || aHeight <= 0)
        return 0;
    DDSURFACEDESC2 ddsd = {};
    ddsd.dwSize = sizeof ddsd;
    ddsd.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    ddsd.dwWidth = (DWORD)aWidth;
    ddsd.dwHeight = (DWORD)aHeight;
    ddsd.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | (aSysFlg ? DDSCAPS_SYSTEMMEMORY : 0);
    if (FAILED(DEBUGWIN_CHECK(drawMan.ddrawP->CreateSurface(&ddsd, aDDSurfPP, nullptr))) || !*aDDSurfPP) {
        *aDDSurfPP = nullptr;
        return 0;
    }
    DDCOLORKEY key = {0, 0};
    DEBUGWIN_CHECK((*aDDSurfPP)->SetColorKey(DDCKEY_SRCBLT, &key));
    return 1;
}

long _copyBmpToSurface(void *aBmpH, IDirectDrawSurface7 *aDDSurfP)
{
    return sDrawCopyBitMap(aDDSurfP, (HBITMAP)aBmpH, 0, 0, 0, 0) == 0 ? 1 : 0;
}

long _bench2D::_loadBmp(const char *aFileNameP, _surfRec *aSurfP, long aSysFlg)
{
    uint32_t w = 0, h = 0, d = 0;
    void *bmp = loadKsfFile(_bench2dKsf, aFileNameP, &w, &h, &d);
    if (!bmp) {
        sDebugWinPrintMsg("ビットマップ読み込み失敗！");
        return 0;
    }
    long ok = 0;
    if (!_createSurface(&aSurfP->surfP, (long)w, (long)h, aSysFlg))
        sDebugWinPrintMsg("サーフェイス生成に失敗！");
    else if (!_copyBmpToSurface(bmp, aSurfP->surfP))
        sDebugWinPrintMsg("ビットマップの転送に失敗！");
    else
        ok = 1;
    DeleteObject((HBITMAP)bmp);
    if (!ok) {
        if (aSurfP->surfP)
            aSurfP->surfP->Release(), aSurfP->surfP = nullptr;
        return 0;
    }
    aSurfP->rect.left = aSurfP->rect.top = 0;
    aSurfP->rect.right = (int32_t)w;
    aSurfP->rect.bottom = (int32_t)h;
    aSurfP->posX = aSurfP->posY = aSurfP->movX = aSurfP->movY = 0;
    return 1;
}

void _bench2D::_benchBegin(void)
{
    _time.timeOld = mGetPerformanceCounter();
}

void _bench2D::_benchEnd(void)
{
    sMathsTimeAdd(&_time, mGetPerformanceCounter() - _time.timeOld);
}

void _bench2D::_benchDrawBegin(void)
{
    _timeDrwa.timeOld = mGetPerformanceCounter();
}

void _bench2D::_benchDrawEnd(void)
{
    sMathsTimeAdd(&_timeDrwa, mGetPerformanceCounter() - _timeDrwa.timeOld);
}

void _bench2D::_ballFase00Run(void)
{
    _benchBegin();
    for (int j = 0; j < BENCH2D_BALL_CNT; j++) {
        _ballRec *b = &_ballP[j];
        const int kind = b->num & (BENCH2D_BALL_KIND - 1);
        sBench2dMoveBall(b, ballInfo[kind].diameter, _metaWidth, _metaHeight);
        sBench2dAddBall(_conMetaP, b, _ballDrawP[kind].dataP, _metaP, _metaWidth, _metaHeight);
    }
    _benchEnd();
}

void _bench2D::Run(void)
{
    if (_status & BENCH2D_STAT_READY)
        _ballFase00Run();
}

static bool _lockPixels(IDirectDrawSurface7 *aSurfP, DDSURFACEDESC2 *aDescP, _b2dPixels *aPixP)
{
    memset(aDescP, 0, sizeof *aDescP);
    aDescP->dwSize = sizeof *aDescP;
    if (!aSurfP || FAILED(DEBUGWIN_CHECK(aSurfP->Lock(nullptr, aDescP, DDLOCK_WAIT, nullptr))))
        return false;
    sDrawCountLock(0, (DWORD)(aDescP->lPitch * (long)aDescP->dwHeight));
    aPixP->bitsP = (uint8_t *)aDescP->lpSurface;
    aPixP->pitch = aDescP->lPitch;
    aPixP->width = (long)aDescP->dwWidth;
    aPixP->height = (long)aDescP->dwHeight;
    aPixP->bytesPerPixel = (long)(aDescP->ddpfPixelFormat.dwRGBBitCount / 8);
    return true;
}

void _bench2D::_surfFase00Run(void)
{
    DDSURFACEDESC2 surfDesc, backDesc;
    _b2dPixels surf, back;
    if (!_lockPixels(_surfP->surfP, &surfDesc, &surf))
        return;
    if (!_lockPixels(drawMan.backP, &backDesc, &back)) {
        DEBUGWIN_CHECK(_surfP->surfP->Unlock(nullptr));
        return;
    }
    _benchDrawBegin();
    _bltSurfP(_metaP, _metaWidth, _metaHeight, &surf, &back);
    _benchDrawEnd();
    DEBUGWIN_CHECK(drawMan.backP->Unlock(nullptr));
    DEBUGWIN_CHECK(_surfP->surfP->Unlock(nullptr));
}

void _bench2D::Draw(void)
{
    if (_status & BENCH2D_STAT_READY)
        _surfFase00Run();
}

void _bench2D::GetBenchDrawTime(int64_t *aTimeMinP, int64_t *aTimeMaxP, int64_t *aTimeArvP, int64_t *aLoopCntP)
{
    sBench2dTimeReport(&_timeDrwa, BENCH2D_DRAW_FACTOR, aTimeMinP, aTimeMaxP, aTimeArvP, aLoopCntP);
}

void _bench2D::GetBenchTime(int64_t *aTimeMinP, int64_t *aTimeMaxP, int64_t *aTimeArvP, int64_t *aLoopCntP)
{
    sBench2dTimeReport(&_time, BENCH2D_RUN_FACTOR, aTimeMinP, aTimeMaxP, aTimeArvP, aLoopCntP);
    int64_t mn, mx, avr, cnt;
    GetBenchDrawTime(&mn, &mx, &avr, &cnt);
    *aTimeMinP += mn;
    *aTimeMaxP += mx;
    *aTimeArvP += avr;
    *aLoopCntP += cnt;
}

// ---------------------------------------------------------------------------------------------
// Scene callbacks

void *Bench2DSceneInit(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    _bench2DInfo.Init();
    return nullptr;
}

void *Bench2DSceneExec(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    _bench2DInfo.Run();
    return nullptr;
}

void *Bench2DSceneDraw(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    _bench2DInfo.Draw();
    return nullptr;
}

void *Bench2DSceneExit(uint8_t *aSceneP, uint16_t, uint8_t *, uint32_t *)
{
    int64_t tmin, tmax, tavr, cnt;
    _bench2DInfo.GetBenchTime(&tmin, &tmax, &tavr, &cnt);
    ((Scene *)aSceneP)->SetCps((double)tavr);
    _bench2DInfo.Release();
    return nullptr;
}

void *Bench2DSceneRest(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    _bench2DInfo.Rest();
    return nullptr;
}
