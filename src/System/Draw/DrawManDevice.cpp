// The draw manager's device: the DirectDraw object and its surfaces, the Direct3D device and
// Z-buffer, opening and closing them, the start and end of the manager and screen-mode changes.

#include "System/Draw/DrawMan.h"

#include <vfw.h>

#include <cstring>
#include <new>

#include "Common/DEBUGWIN.h"
#include "Common/DrawLink.h"
#include "Library/Draw/DrawLib.h"
#include "System/D3DFrame/d3dutil.h"
#include "System/Sys/SYSTEM.h"

_drawMan drawMan;

// The device's first projection: 45 degrees.
static const float _FOV = 3.14159265f / 4.0f;

template <class T> static void _release(T *&aP)
{
    if (aP) {
        aP->Release();
        aP = nullptr;
    }
}

// ---------------------------------------------------------------- DirectDraw part

static IDirectDrawSurface7 *_createPlain(long aWidth, long aHeight)
{
    DDSURFACEDESC2 ddsd = {};
    ddsd.dwSize = sizeof ddsd;
    ddsd.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    ddsd.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE;
    ddsd.dwWidth = (DWORD)aWidth;
    ddsd.dwHeight = (DWORD)aHeight;
    IDirectDrawSurface7 *suf = nullptr;
    if (FAILED(DEBUGWIN_CHECK(drawMan.ddrawP->CreateSurface(&ddsd, &suf, nullptr))))
        return nullptr;
    return suf;
}

static void _directDrawRelease(void)
{
    if (drawMan.ddrawP)
        DEBUGWIN_CHECK(drawMan.ddrawP->SetCooperativeLevel(sysWork.rootWinH, DDSCL_NORMAL));
    _release(drawMan.palP);
    _release(drawMan.clipP);
    _release(drawMan.thirdP);
    _release(drawMan.backP);
    _release(drawMan.frontP);
    _release(drawMan.ddrawP);
    drawMan.status &= ~DRAW_STAT_DDRAW;
}

static long _directDrawFail(const char *aTextP)
{
    if (aTextP)
        _dwError(aTextP);
    if (drawMan.ddrawP && (drawMan.status & DRAW_STAT_FULLSCREEN))
        DEBUGWIN_CHECK(drawMan.ddrawP->RestoreDisplayMode());
    _directDrawRelease();
    return -1;
}

static int _desktopBits(void)
{
    HDC dc = GetDC(nullptr);
    if (!dc)
        return 0;
    const int bits = GetDeviceCaps(dc, BITSPIXEL);
    ReleaseDC(nullptr, dc);
    return bits;
}

// On an 8-bit desktop the buffers share the system palette, with the static colours read-only.
static long _setPalette(bool aFull)
{
    HDC dc = GetDC(nullptr);
    if (!dc)
        return -1;
    GetSystemPaletteEntries(dc, 0, 256, drawMan.palEntry);
    ReleaseDC(nullptr, dc);
    for (int i = 0; i < 256; ++i)
        drawMan.palEntry[i].peFlags = (i < 10 || i >= 246) ? 0x40 : 0x1;
    if (FAILED(DEBUGWIN_CHECK(drawMan.ddrawP->CreatePalette(DDPCAPS_8BIT, drawMan.palEntry, &drawMan.palP, nullptr))))
        return -1;
    if (aFull) {
        DEBUGWIN_CHECK(drawMan.backP->SetPalette(drawMan.palP));
    } else {
        if (drawMan.thirdP)
            DEBUGWIN_CHECK(drawMan.thirdP->SetPalette(drawMan.palP));
        DEBUGWIN_CHECK(drawMan.backP->SetPalette(drawMan.palP));
        DEBUGWIN_CHECK(drawMan.frontP->SetPalette(drawMan.palP));
    }
    return 0;
}

static void _colorFill(IDirectDrawSurface7 *aSufP)
{
    if (!aSufP)
        return;
    DDBLTFX fx = {};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = 0;
    DEBUGWIN_CHECK(aSufP->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx));
}

static long _directDrawInit(long aWidth, long aHeight, long aDepth, GUID *aDrvGuidP)
{
    // Tests and tools open the device without the start-up's library handle.
    _directDrawCreateExProc create = sysDirectDrawCreateExP ? sysDirectDrawCreateExP : DirectDrawCreateEx;
    HWND win = sysWork.rootWinH;
    const bool full = (drawMan.status & DRAW_STAT_FULLSCREEN) != 0;
    const bool triple = (drawMan.status & DRAW_STAT_TRIPLE) != 0;

    if (FAILED(DEBUGWIN_CHECK(create(aDrvGuidP, (void **)&drawMan.ddrawP, IID_IDirectDraw7, nullptr))) ||
        !drawMan.ddrawP) {
        drawMan.ddrawP = nullptr;
        return _directDrawFail(nullptr);
    }
    if (full) {
        if (FAILED(DEBUGWIN_CHECK(drawMan.ddrawP->SetCooperativeLevel(win, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN))))
            return _directDrawFail(nullptr);
        if (FAILED(DEBUGWIN_CHECK(drawMan.ddrawP->SetDisplayMode((DWORD)aWidth, (DWORD)aHeight, (DWORD)aDepth, 0, 0))))
            return _directDrawFail(nullptr);
        DDSURFACEDESC2 ddsd = {};
        ddsd.dwSize = sizeof ddsd;
        ddsd.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
        ddsd.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE;
        ddsd.dwBackBufferCount = 1;
        if (FAILED(DEBUGWIN_CHECK(drawMan.ddrawP->CreateSurface(&ddsd, &drawMan.frontP, nullptr))))
            return _directDrawFail("フロントサーフェイス作成でエラー");
        DDSCAPS2 caps = {};
        caps.dwCaps = DDSCAPS_BACKBUFFER;
        if (triple) {
            if (FAILED(DEBUGWIN_CHECK(drawMan.frontP->GetAttachedSurface(&caps, &drawMan.thirdP))))
                return _directDrawFail("トリプルサーフェイス作成でエラー");
            if (!(drawMan.backP = _createPlain(aWidth, aHeight)))
                return _directDrawFail("バックサーフェイス作成でエラー");
        } else if (FAILED(DEBUGWIN_CHECK(drawMan.frontP->GetAttachedSurface(&caps, &drawMan.backP)))) {
            return _directDrawFail("バックサーフェイス作成でエラー");
        }
    } else {
        if (FAILED(DEBUGWIN_CHECK(drawMan.ddrawP->SetCooperativeLevel(win, DDSCL_NORMAL))))
            return _directDrawFail(nullptr);
        DDSURFACEDESC2 ddsd = {};
        ddsd.dwSize = sizeof ddsd;
        ddsd.dwFlags = DDSD_CAPS;
        ddsd.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
        if (FAILED(DEBUGWIN_CHECK(drawMan.ddrawP->CreateSurface(&ddsd, &drawMan.frontP, nullptr))))
            return _directDrawFail("フロントサーフェイス作成でエラー");
        if (!(drawMan.backP = _createPlain(aWidth, aHeight)))
            return _directDrawFail("バックサーフェイス作成でエラー");
        if (triple && !(drawMan.thirdP = _createPlain(aWidth, aHeight)))
            return _directDrawFail("トリプルサーフェイス作成でエラー");
        if (FAILED(DEBUGWIN_CHECK(drawMan.ddrawP->CreateClipper(0, &drawMan.clipP, nullptr))) ||
            FAILED(DEBUGWIN_CHECK(drawMan.clipP->SetHWnd(0, win))) ||
            FAILED(DEBUGWIN_CHECK(drawMan.frontP->SetClipper(drawMan.clipP))))
            return _directDrawFail(nullptr);
    }
    if ((!full || triple) && _desktopBits() == 8 && _setPalette(full) != 0)
        return _directDrawFail(nullptr);
    _colorFill(drawMan.frontP);
    _colorFill(drawMan.backP);
    _colorFill(drawMan.thirdP);
    drawMan.status |= DRAW_STAT_DDRAW;
    return 0;
}

// ---------------------------------------------------------------- Direct3D part

static void _direct3dRelease(void)
{
    if (drawMan.zBufP && drawMan.backP)
        DEBUGWIN_CHECK(drawMan.backP->DeleteAttachedSurface(0, drawMan.zBufP));
    _release(drawMan.zBufP);
    _release(drawMan.d3dDevP);
    _release(drawMan.d3dP);
    drawMan.status &= ~DRAW_STAT_D3D;
}

static long _direct3dFail(const char *aTextP)
{
    if (aTextP)
        _dwError(aTextP);
    _direct3dRelease();
    return -1;
}

static HRESULT CALLBACK _enumZBufBppCallback(DDPIXELFORMAT *aFormatP, void *aContextP)
{
    DDPIXELFORMAT *want = (DDPIXELFORMAT *)aContextP;
    if (aFormatP->dwFlags == DDPF_ZBUFFER && aFormatP->dwZBufferBitDepth == want->dwZBufferBitDepth) {
        *want = *aFormatP;
        return D3DENUMRET_CANCEL;
    }
    return D3DENUMRET_OK;
}

static bool _findZFormat(const GUID &aDevGuid, DWORD aBits, DDPIXELFORMAT *aFormatP)
{
    DDPIXELFORMAT want = {};
    want.dwSize = sizeof want;
    want.dwZBufferBitDepth = aBits;
    DEBUGWIN_CHECK(drawMan.d3dP->EnumZBufferFormats(aDevGuid, _enumZBufBppCallback, &want));
    if (want.dwFlags != DDPF_ZBUFFER)
        return false;
    *aFormatP = want;
    return true;
}

static const struct {
    const GUID *guidP;
    uint32_t bit;
    const char *textP;
} _deviceTbl[] = {
    {&IID_IDirect3DHALDevice, DRAW_STAT_HAL, "ＨＡＬ"},
    {&IID_IDirect3DTnLHalDevice, DRAW_STAT_TNLHAL, "ＴｎＬＨａｌ"},
    {&IID_IDirect3DRGBDevice, DRAW_STAT_RGB, "ＲＧＢ"},
    {&IID_IDirect3DRefDevice, DRAW_STAT_REF, "リファレンスラスタライザ"},
};

static long _direct3dInit(long aWidth, long aHeight, GUID *aDevGuidP)
{
    if (!aDevGuidP)
        return -1;
    if (FAILED(DEBUGWIN_CHECK(drawMan.ddrawP->QueryInterface(IID_IDirect3D7, (void **)&drawMan.d3dP))))
        return _direct3dFail(nullptr);
    if (FAILED(DEBUGWIN_CHECK(drawMan.d3dP->CreateDevice(*aDevGuidP, drawMan.backP, &drawMan.d3dDevP))))
        return _direct3dFail(nullptr);
    sDrawInvalidateStates();
    sDrawForgetSentStates();
    for (const auto &dev : _deviceTbl) {
        if (IsEqualGUID(*aDevGuidP, *dev.guidP)) {
            drawMan.status |= dev.bit;
            _dwError(dev.textP);
        }
    }
    IDirect3DDevice7 *dev = drawMan.d3dDevP;
    D3DVIEWPORT7 vp = {0, 0, (DWORD)aWidth, (DWORD)aHeight, 0.0f, 1.0f};
    sDrawSetViewport(&vp);
    D3DMATRIX world;
    D3DUtil_SetIdentityMatrix(world);
    sDrawSetTransform(D3DTRANSFORMSTATE_WORLD, &world);
    drawMan.viewRec.nowStat.tz = -15.0f;
    sCoordStandByUpdate();
    D3DMATRIX proj;
    D3DUtil_SetProjectionMatrix(proj, _FOV, (float)aHeight / (float)aWidth, 1.0f, 1024.0f);
    sDrawSetTransform(D3DTRANSFORMSTATE_PROJECTION, &proj);

    DDSURFACEDESC2 ddsd = {};
    ddsd.dwSize = sizeof ddsd;
    DEBUGWIN_CHECK(drawMan.backP->GetSurfaceDesc(&ddsd));
    const bool software = (drawMan.status & (DRAW_STAT_RGB | DRAW_STAT_REF)) != 0;
    DDPIXELFORMAT zFormat = {};
    if (!_findZFormat(*aDevGuidP, ddsd.ddpfPixelFormat.dwRGBBitCount, &zFormat) &&
        !_findZFormat(*aDevGuidP, 16, &zFormat))
        return _direct3dFail("Ｚバッファの列挙失敗");
    ddsd.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    ddsd.ddsCaps.dwCaps = DDSCAPS_ZBUFFER | (software ? DDSCAPS_SYSTEMMEMORY : DDSCAPS_VIDEOMEMORY);
    ddsd.ddsCaps.dwCaps2 = 0;
    ddsd.ddpfPixelFormat = zFormat;
    if (FAILED(DEBUGWIN_CHECK(drawMan.ddrawP->CreateSurface(&ddsd, &drawMan.zBufP, nullptr)))) {
        drawMan.zBufP = nullptr;
        return _direct3dFail("Ｚバッファの生成失敗");
    }
    if (FAILED(DEBUGWIN_CHECK(drawMan.backP->AddAttachedSurface(drawMan.zBufP)))) {
        _release(drawMan.zBufP);
        return _direct3dFail("Ｚバッファのアタッチ失敗");
    }

    sDrawSetState(D3DRENDERSTATE_ZENABLE, TRUE);
    sDrawSetState(D3DRENDERSTATE_TEXTUREPERSPECTIVE, TRUE);
    sDrawSetState(D3DRENDERSTATE_DITHERENABLE, TRUE);
    sDrawSetStageState(0, D3DTSS_ADDRESS, D3DTADDRESS_WRAP);
    sDrawSetState(D3DRENDERSTATE_NORMALIZENORMALS, TRUE);
    // Setting the target again makes the device take up the Z-buffer attached after it was made.
    sDrawForgetViewport();
    if (SUCCEEDED(DEBUGWIN_CHECK(dev->SetRenderTarget(drawMan.backP, 0)))) {
        sDrawSetState(D3DRENDERSTATE_ZENABLE, FALSE);
        sDrawSetState(D3DRENDERSTATE_ZENABLE, TRUE);
        for (DWORD stage = 0; stage < 8; ++stage) {
            sDrawSetStageState(stage, D3DTSS_MAGFILTER, D3DTFG_LINEAR);
            sDrawSetStageState(stage, D3DTSS_MINFILTER, D3DTFN_LINEAR);
        }
    }
    drawMan.status |= DRAW_STAT_D3D;
    return 0;
}

// Both parts, releasing the DirectDraw part again when the device cannot be had.
static long _openDevice(void)
{
    if (_directDrawInit(drawMan.screenWidth, drawMan.screenHeight, drawMan.screenDepth, drawMan.drvGuidP) != 0)
        return -1;
    if (_direct3dInit(drawMan.screenWidth, drawMan.screenHeight, drawMan.devGuidP) != 0) {
        _directDrawFail(nullptr);
        return -1;
    }
    return 0;
}

static void _closeDevice(void)
{
    if (drawMan.ddrawP && (drawMan.status & DRAW_STAT_FULLSCREEN))
        DEBUGWIN_CHECK(drawMan.ddrawP->RestoreDisplayMode());
    _direct3dRelease();
    _directDrawRelease();
}

// ---------------------------------------------------------------- the maths core's view

static long _linkViewMatrix(D3DMATRIX *aMatP)
{
    if (!drawMan.cameraP)
        return 0;
    *aMatP = drawMan.cameraP->GetViewMatrix();
    return 1;
}

static long _linkProjMatrix(D3DMATRIX *aMatP)
{
    if (!drawMan.cameraP)
        return 0;
    *aMatP = drawMan.cameraP->GetProjMatrix();
    return 1;
}

static long _linkNear(float *aNearP)
{
    if (!drawMan.cameraP)
        return 0;
    *aNearP = drawMan.cameraP->GetNear();
    return 1;
}

static void _linkViewTransform(const D3DMATRIX *aMatP)
{
    if (drawMan.d3dDevP)
        sDrawSetTransform(D3DTRANSFORMSTATE_VIEW, aMatP);
}

// The image registry's pixel memory for the loaders.
static long _linkFindPixels(const char *aNameP, void **aImageP, uint32_t *aWidthP, uint32_t *aHeightP,
                            uint32_t *aDepthP)
{
    const long slot = sDrawFileCheckList(aNameP);
    if (slot < 0)
        return 0;
    const _drawFile *file = drawMan.fileP[slot];
    if (file->_type != DRAW_FILE_PIXELS && file->_type != DRAW_FILE_PIXELS2)
        return 0;
    file->GetInfo(aImageP, aWidthP, aHeightP, aDepthP);
    return 1;
}

static void _setLink(bool aOn)
{
    if (!aOn) {
        drawManLink = _drawManLink{};
        drawLibLink = _drawLibLink{};
        return;
    }
    drawLibLink.ddrawPP = &drawMan.ddrawP;
    drawLibLink.d3dDevPP = &drawMan.d3dDevP;
    drawLibLink.backPP = &drawMan.backP;
    drawLibLink.statusP = &drawMan.status;
    drawLibLink.initMask = DRAW_STAT_INIT;
    drawLibLink.hardwareMask = DRAW_STAT_TNLHAL | DRAW_STAT_HAL;
    drawLibLink.instH = sysWork.instH;
    drawLibLink.findPixelsP = _linkFindPixels;
    drawLibLink.setStateP = sDrawSetState;
    drawManLink.getViewMatrixP = _linkViewMatrix;
    drawManLink.getProjMatrixP = _linkProjMatrix;
    drawManLink.getNearP = _linkNear;
    drawManLink.setViewTransformP = _linkViewTransform;
    drawManLink.vanishXP = &drawMan.vanishX;
    drawManLink.vanishYP = &drawMan.vanishY;
    drawManLink.worldRecP = &drawMan.worldRec;
    drawManLink.viewPP = &drawMan.viewP;
}

// ---------------------------------------------------------------- life cycle

static void _deleteObjects(void)
{
    delete drawMan.cameraP;
    drawMan.cameraP = nullptr;
    for (auto &light : drawMan.lightP) {
        delete light;
        light = nullptr;
    }
    delete drawMan.fontP;
    drawMan.fontP = nullptr;
    for (auto &file : drawMan.fileP) {
        delete file;
        file = nullptr;
    }
}

static long _createObjects(void)
{
    if (!(drawMan.cameraP = new (std::nothrow) _drawCamera))
        return -1;
    for (int i = 0; i < DRAW_LIGHT_MAX; ++i) {
        if (!(drawMan.lightP[i] = new (std::nothrow) _drawLight))
            return -1;
        drawMan.lightP[i]->_lightNum = (uint16_t)i;
    }
    if (!(drawMan.fontP = new (std::nothrow) _drawFont))
        return -1;
    drawMan.fontP->Update();
    for (int i = 0; i < DRAW_FILE_MAX; ++i) {
        if (!(drawMan.fileP[i] = new (std::nothrow) _drawFile))
            return -1;
        drawMan.fileP[i]->_fileNum = (uint16_t)i;
    }
    return 0;
}

// The render window's requests while another program has or had the display.
static void _restoreLostFront(void)
{
    if ((drawMan.status & DRAW_STAT_DDRAW) && drawMan.frontP &&
        DEBUGWIN_EXPECT(drawMan.frontP->IsLost(), DDERR_SURFACELOST) == DDERR_SURFACELOST)
        sDrawRestoreSurface();
}

static long _showLast(bool aFullScreen)
{
    if (!(drawMan.status & DRAW_STAT_INIT))
        return 0;
    if (!aFullScreen)
        sDrawFlipBuffer();
    else if (drawMan.ddrawP)
        DEBUGWIN_CHECK(drawMan.ddrawP->FlipToGDISurface());
    return 1;
}

long sDrawManInit(long aWidth, long aHeight, long aDepth, GUID *aDrvGuidP, GUID *aDevGuidP, long aFullFlg,
                  long aBuffFlg)
{
    sysDrawHook.restoreLostP = _restoreLostFront;
    sysDrawHook.showLastP = _showLast;
    std::memset(&drawMan, 0, sizeof drawMan);
    drawMan.screenWidth = aWidth;
    drawMan.screenHeight = aHeight;
    drawMan.screenDepth = aDepth;
    drawMan.drvGuidP = aDrvGuidP;
    drawMan.devGuidP = aDevGuidP;
    drawMan.numberTexNum = -1;
    if (aFullFlg == 1)
        drawMan.status |= DRAW_STAT_FULLSCREEN;
    if (aBuffFlg == 1)
        drawMan.status |= DRAW_STAT_TRIPLE;
    drawMan.status |= DRAW_STAT_CLEAR;
    drawMan.vanishX = aWidth * 0.5f;
    drawMan.vanishY = aHeight * 0.5f;
    drawMan.backCol = 0x888888;
    if (_createObjects() != 0) {
        _deleteObjects();
        return -1;
    }
    _setLink(true);
    sCoordInitWorld();
    sCoordInitView(&drawMan.viewRec);
    if (_openDevice() != 0) {
        _setLink(false);
        _deleteObjects();
        return -1;
    }
    drawMan.status |= DRAW_STAT_INIT;
    AVIFileInit();
    return 0;
}

void sDrawManExit(void)
{
    if (!(drawMan.status & DRAW_STAT_INIT))
        return;
    AVIFileExit();
    _closeDevice();
    _setLink(false);
    _deleteObjects();
    sDrawFreeShapeInfo();
    sDrawFreeParticleInfo();
    sDrawFreeShadowCast();
    drawMan.status &= ~DRAW_STAT_INIT;
}

// ---------------------------------------------------------------- screen modes

long sDrawChangeScreenMode(long aWidth, long aHeight, long aDepth, long aFullFlg)
{
    if (!(drawMan.status & DRAW_STAT_INIT))
        return 0;
    const long width = drawMan.screenWidth, height = drawMan.screenHeight, depth = drawMan.screenDepth;
    const float vanishX = drawMan.vanishX, vanishY = drawMan.vanishY;
    const uint32_t full = drawMan.status & DRAW_STAT_FULLSCREEN;
    _closeDevice();

    drawMan.screenWidth = aWidth;
    drawMan.screenHeight = aHeight;
    drawMan.screenDepth = aDepth;
    drawMan.vanishX = aWidth * 0.5f;
    drawMan.vanishY = aHeight * 0.5f;
    drawMan.status = (drawMan.status & ~DRAW_STAT_FULLSCREEN) | (aFullFlg == 1 ? (uint32_t)DRAW_STAT_FULLSCREEN : 0u);
    drawMan.status |= DRAW_STAT_CLEAR;
    if (_openDevice() == 0) {
        if (drawMan.texCallBackP)
            drawMan.texCallBackP();
        return 0;
    }
    sPrintMsgFile("スクリーンモードを元に戻す");
    sPrintMsgFile("W(%d), H(%d), D(%d)", (int)aWidth, (int)aHeight, (int)aDepth);
    drawMan.screenWidth = width;
    drawMan.screenHeight = height;
    drawMan.screenDepth = depth;
    drawMan.vanishX = vanishX;
    drawMan.vanishY = vanishY;
    drawMan.status = (drawMan.status & ~DRAW_STAT_FULLSCREEN) | full | DRAW_STAT_CLEAR;
    if (_openDevice() == 0 && drawMan.texCallBackP)
        drawMan.texCallBackP();
    return -1;
}
