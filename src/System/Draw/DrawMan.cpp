#include "System/Draw/DrawMan.h"

#include <vfw.h>

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "Common/DrawLink.h"
#include "App/App/AppCore.h"
#include "Library/Draw/DrawLib.h"
#include "Library/Matrix/MATLIB.h"
#include "System/D3DFrame/d3dutil.h"
#include "System/Debug/DEBUGWIN.h"
#include "System/Sys/SYSTEM.h"
#include "System/Texture/TEXMAN.h"

_drawMan drawMan;

static _drawShapeOps _shapeOps;

static const float _PI = 3.14159265f;

static D3DMATRIX _identity(void)
{
    D3DMATRIX m = {};
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

// ---------------------------------------------------------------- debug hooks

void sPrintMsgFile(const char *aFormatP, ...)
{
    if (!aFormatP)
        return;
    char text[DRAW_TEXT_SIZE];
    va_list args;
    va_start(args, aFormatP);
    std::vsnprintf(text, sizeof text, aFormatP, args);
    va_end(args);
    sDebugWinPrintMsg(text);
}

void _dwError(const char *aFormatP)
{
    if (aFormatP)
        sDebugWinPrintMsg(aFormatP);
}

// ---------------------------------------------------------------- camera, light, font, file

_drawCamera::_drawCamera()
    : _status(1), _nearDist(1.0f), _farDist(256.0f), _fovAngle(_PI / 4.0f), _projMatrix(_identity()), _eyePos(),
      _lookAtPos(), _upVec(), _viewMatrix(_identity())
{
    _upVec.y = 1.0f;
}

long _drawCamera::Update(void)
{
    IDirect3DDevice7 *dev = drawMan.d3dDevP;
    if (!dev)
        return 0;
    D3DVIEWPORT7 vp = {};
    dev->GetViewport(&vp);
    const float aspect = vp.dwWidth ? (float)vp.dwHeight / (float)vp.dwWidth : 1.0f;
    sCoordSetProjectionMatrix(&_projMatrix, _fovAngle, aspect, _nearDist, _farDist);
    dev->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &_projMatrix);
    sCoordSetViewMatrix(&_viewMatrix, &_eyePos, &_lookAtPos, &_upVec);
    dev->SetTransform(D3DTRANSFORMSTATE_VIEW, &_viewMatrix);
    return 0;
}

_drawLight::_drawLight()
    : _status(0), _lightNum(0), _light(), _shadowType(0), _shadowTexNum(-1), _lightTexNum(-1),
      _viewMatrix(_identity()), _projMatrix(_identity())
{
}

long _drawLight::SetEnable(long aEnableB)
{
    if (aEnableB)
        _status |= 1;
    else
        _status &= ~1;
    if (drawMan.d3dDevP)
        drawMan.d3dDevP->LightEnable(_lightNum, aEnableB ? TRUE : FALSE);
    return 0;
}

bool _drawLight::_isSpotMap(void) const
{
    return _shadowType == DRAW_SHADOW_SPOTMAP && _light.dltType == D3DLIGHT_SPOT;
}

_drawFont::_drawFont() : _status(1), _logFont(), _fontH(nullptr)
{
    _logFont.lfHeight = -27;
    _logFont.lfWeight = 400;
    _logFont.lfCharSet = 0;
    _logFont.lfOutPrecision = 3;
    _logFont.lfClipPrecision = 2;
    _logFont.lfQuality = 1;
    _logFont.lfPitchAndFamily = 18;
    std::strcpy(_logFont.lfFaceName, "Verdana");
}

_drawFont::~_drawFont()
{
    if (_fontH)
        DeleteObject(_fontH);
}

long _drawFont::Update(void)
{
    HFONT font = CreateFontIndirectA(&_logFont);
    if (!font)
        return E_INVALIDARG;
    if (_fontH)
        DeleteObject(_fontH);
    _fontH = font;
    return 0;
}

_drawFile::_drawFile()
    : _status(0), _type(0), _fileNum(0), _width(0), _height(0), _depth(0), _key(0), _name(), _imageP(nullptr)
{
}

_drawFile::~_drawFile()
{
    Delete();
}

long _drawFile::EntryImage(const char *aFileNameP, void *aImageP, uint32_t aWidth, uint32_t aHeight, uint32_t aDepth,
                           uint16_t aType, uint32_t aKey)
{
    std::strncpy(_name, aFileNameP ? aFileNameP : "", DRAW_FILE_NAME - 1);
    _name[DRAW_FILE_NAME - 1] = '\0';
    _imageP = aImageP;
    _width = aWidth;
    _height = aHeight;
    _depth = aDepth;
    _type = aType;
    _key = aKey;
    _status |= 1;
    return 0;
}

long _drawFile::Delete(void)
{
    if (!(_status & 1))
        return 0;
    switch (_type) {
    case DRAW_FILE_BITMAP:
        DeleteObject((HGDIOBJ)_imageP);
        break;
    case DRAW_FILE_PIXELS:
    case DRAW_FILE_PIXELS2:
        std::free(_imageP);
        break;
    default:
        sPrintMsgFile("%s (%d)は未対応のファイルです", _name, _type);
        return E_INVALIDARG;
    }
    _type = 0;
    _width = _height = _depth = 0;
    _key = 0;
    _name[0] = '\0';
    _imageP = nullptr;
    _status &= ~1;
    return 0;
}

long _drawFile::GetInfo(void **aImageP, uint32_t *aWidthP, uint32_t *aHeightP, uint32_t *aDepthP) const
{
    if (!(_status & 1))
        return 0;
    if (aImageP)
        *aImageP = _imageP;
    if (aWidthP)
        *aWidthP = _width;
    if (aHeightP)
        *aHeightP = _height;
    if (aDepthP)
        *aDepthP = _depth;
    return 1;
}

long sDrawFileCheckList(const char *aFileNameP)
{
    if (!aFileNameP)
        return -1;
    char name[MAX_PATH];
    _splitFileName(name, aFileNameP, sizeof name);
    sDrawLowerName(name);
    const uint32_t key = sDrawFileMakeKey(name);
    for (int i = 0; i < DRAW_FILE_MAX; ++i) {
        const _drawFile *file = drawMan.fileP[i];
        if (file && file->GetEnable() && file->GetKey() == key && std::strcmp(file->GetName(), name) == 0)
            return i;
    }
    return -1;
}

// ---------------------------------------------------------------- registries

void sDrawInitShapeInfo(uint16_t aShapeNum)
{
    sDrawFreeShapeInfo();
    if (aShapeNum) {
        drawMan.shapeInfoP = (_shapeInfo *)std::calloc(aShapeNum, sizeof(_shapeInfo));
        if (drawMan.shapeInfoP)
            drawMan.shapeInfoMax = aShapeNum;
    }
}

void sDrawFreeShapeInfo(void)
{
    std::free(drawMan.shapeInfoP);
    drawMan.shapeInfoP = nullptr;
    drawMan.shapeInfoMax = 0;
}

void sDrawEntryShapeInfo(uint16_t aShapeNum, _shape *aShapeP)
{
    if (aShapeNum < drawMan.shapeInfoMax)
        drawMan.shapeInfoP[aShapeNum].shapeP = aShapeP;
}

_shapeInfo *sDrawGetShapeInfo(uint16_t aShapeNum)
{
    return aShapeNum < drawMan.shapeInfoMax ? &drawMan.shapeInfoP[aShapeNum] : nullptr;
}

void sDrawInitParticleInfo(uint16_t aParticleNum)
{
    sDrawFreeParticleInfo();
    if (aParticleNum) {
        drawMan.particleInfoP = (_particleInfo *)std::calloc(aParticleNum, sizeof(_particleInfo));
        if (drawMan.particleInfoP)
            drawMan.particleInfoMax = aParticleNum;
    }
}

void sDrawFreeParticleInfo(void)
{
    std::free(drawMan.particleInfoP);
    drawMan.particleInfoP = nullptr;
    drawMan.particleInfoMax = 0;
}

void sDrawEntryParticleInfo(uint16_t aParticleNum, _particle *aParticleP, _particleDef *aDefP, const char *aName)
{
    if (aParticleNum >= drawMan.particleInfoMax)
        return;
    _particleInfo &info = drawMan.particleInfoP[aParticleNum];
    info.particleP = aParticleP;
    info.defP = aDefP;
    std::strncpy(info.name, aName ? aName : "", sizeof info.name - 1);
    info.name[sizeof info.name - 1] = '\0';
}

_particleInfo *sDrawGetParticleInfo(uint16_t aParticleNum)
{
    return aParticleNum < drawMan.particleInfoMax ? &drawMan.particleInfoP[aParticleNum] : nullptr;
}

void sDrawInitShadowCast(uint16_t aLightNum, uint16_t aShapeNum)
{
    sDrawFreeShadowCast();
    const uint16_t max = (uint16_t)(aLightNum * aShapeNum);
    if (max) {
        drawMan.shadowCastP = (_shadowCast *)std::calloc(max, sizeof(_shadowCast));
        if (drawMan.shadowCastP)
            drawMan.shadowCastMax = max;
    }
}

void sDrawFreeShadowCast(void)
{
    std::free(drawMan.shadowCastP);
    drawMan.shadowCastP = nullptr;
    drawMan.shadowCastMax = 0;
    drawMan.shadowCastCnt = 0;
}

void sDrawStartShadowCastFrame(void)
{
    drawMan.shadowCastCnt = 0;
}

void sDrawEntryShadowCast(_coord *aShapeCoordP, float aSizeU, float aSizeV, long aTexNum)
{
    if (drawMan.shadowCastCnt >= drawMan.shadowCastMax)
        return;
    _shadowCast &cast = drawMan.shadowCastP[drawMan.shadowCastCnt];
    cast.sizeU = aSizeU;
    cast.sizeV = aSizeV;
    sMatrixInvert(&aShapeCoordP->world, &cast.invMat);
    cast.texNum = aTexNum;
    drawMan.shadowCastCnt++;
}

void sDrawSetShapeOps(const _drawShapeOps *aOpsP)
{
    _shapeOps = aOpsP ? *aOpsP : _drawShapeOps{};
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
    if (FAILED(drawMan.ddrawP->CreateSurface(&ddsd, &suf, nullptr)))
        return nullptr;
    return suf;
}

template <class T> static void _release(T *&aP)
{
    if (aP) {
        aP->Release();
        aP = nullptr;
    }
}

static void _directDrawRelease(void)
{
    if (drawMan.ddrawP)
        drawMan.ddrawP->SetCooperativeLevel(sysWork.rootWinH, DDSCL_NORMAL);
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
        drawMan.ddrawP->RestoreDisplayMode();
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
    if (FAILED(drawMan.ddrawP->CreatePalette(DDPCAPS_8BIT, drawMan.palEntry, &drawMan.palP, nullptr)))
        return -1;
    if (aFull) {
        drawMan.backP->SetPalette(drawMan.palP);
    } else {
        if (drawMan.thirdP)
            drawMan.thirdP->SetPalette(drawMan.palP);
        drawMan.backP->SetPalette(drawMan.palP);
        drawMan.frontP->SetPalette(drawMan.palP);
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
    aSufP->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
}

static long _directDrawInit(long aWidth, long aHeight, long aDepth, GUID *aDrvGuidP)
{
    // Tests and tools open the device without the start-up's library handle.
    _directDrawCreateExProc create = sysDirectDrawCreateExP ? sysDirectDrawCreateExP : DirectDrawCreateEx;
    HWND win = sysWork.rootWinH;
    const bool full = (drawMan.status & DRAW_STAT_FULLSCREEN) != 0;
    const bool triple = (drawMan.status & DRAW_STAT_TRIPLE) != 0;

    if (FAILED(create(aDrvGuidP, (void **)&drawMan.ddrawP, IID_IDirectDraw7, nullptr)) || !drawMan.ddrawP) {
        drawMan.ddrawP = nullptr;
        return _directDrawFail(nullptr);
    }
    if (full) {
        if (FAILED(drawMan.ddrawP->SetCooperativeLevel(win, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN)))
            return _directDrawFail(nullptr);
        if (FAILED(drawMan.ddrawP->SetDisplayMode((DWORD)aWidth, (DWORD)aHeight, (DWORD)aDepth, 0, 0)))
            return _directDrawFail(nullptr);
        DDSURFACEDESC2 ddsd = {};
        ddsd.dwSize = sizeof ddsd;
        ddsd.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
        ddsd.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE;
        ddsd.dwBackBufferCount = 1;
        if (FAILED(drawMan.ddrawP->CreateSurface(&ddsd, &drawMan.frontP, nullptr)))
            return _directDrawFail("フロントサーフェイス作成でエラー");
        DDSCAPS2 caps = {};
        caps.dwCaps = DDSCAPS_BACKBUFFER;
        if (triple) {
            if (FAILED(drawMan.frontP->GetAttachedSurface(&caps, &drawMan.thirdP)))
                return _directDrawFail("トリプルサーフェイス作成でエラー");
            if (!(drawMan.backP = _createPlain(aWidth, aHeight)))
                return _directDrawFail("バックサーフェイス作成でエラー");
        } else if (FAILED(drawMan.frontP->GetAttachedSurface(&caps, &drawMan.backP))) {
            return _directDrawFail("バックサーフェイス作成でエラー");
        }
    } else {
        if (FAILED(drawMan.ddrawP->SetCooperativeLevel(win, DDSCL_NORMAL)))
            return _directDrawFail(nullptr);
        DDSURFACEDESC2 ddsd = {};
        ddsd.dwSize = sizeof ddsd;
        ddsd.dwFlags = DDSD_CAPS;
        ddsd.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
        if (FAILED(drawMan.ddrawP->CreateSurface(&ddsd, &drawMan.frontP, nullptr)))
            return _directDrawFail("フロントサーフェイス作成でエラー");
        if (!(drawMan.backP = _createPlain(aWidth, aHeight)))
            return _directDrawFail("バックサーフェイス作成でエラー");
        if (triple && !(drawMan.thirdP = _createPlain(aWidth, aHeight)))
            return _directDrawFail("トリプルサーフェイス作成でエラー");
        if (FAILED(drawMan.ddrawP->CreateClipper(0, &drawMan.clipP, nullptr)) ||
            FAILED(drawMan.clipP->SetHWnd(0, win)) || FAILED(drawMan.frontP->SetClipper(drawMan.clipP)))
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
        drawMan.backP->DeleteAttachedSurface(0, drawMan.zBufP);
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
    drawMan.d3dP->EnumZBufferFormats(aDevGuid, _enumZBufBppCallback, &want);
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
    if (FAILED(drawMan.ddrawP->QueryInterface(IID_IDirect3D7, (void **)&drawMan.d3dP)))
        return _direct3dFail(nullptr);
    if (FAILED(drawMan.d3dP->CreateDevice(*aDevGuidP, drawMan.backP, &drawMan.d3dDevP)))
        return _direct3dFail(nullptr);
    for (const auto &dev : _deviceTbl) {
        if (IsEqualGUID(*aDevGuidP, *dev.guidP)) {
            drawMan.status |= dev.bit;
            _dwError(dev.textP);
        }
    }
    IDirect3DDevice7 *dev = drawMan.d3dDevP;
    D3DVIEWPORT7 vp = {0, 0, (DWORD)aWidth, (DWORD)aHeight, 0.0f, 1.0f};
    dev->SetViewport(&vp);
    D3DMATRIX world = _identity();
    dev->SetTransform(D3DTRANSFORMSTATE_WORLD, &world);
    drawMan.viewRec.nowStat.tz = -15.0f;
    sCoordStandByUpdate();
    D3DMATRIX proj;
    D3DUtil_SetProjectionMatrix(proj, _PI / 4.0f, (float)aHeight / (float)aWidth, 1.0f, 1024.0f);
    dev->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &proj);

    DDSURFACEDESC2 ddsd = {};
    ddsd.dwSize = sizeof ddsd;
    drawMan.backP->GetSurfaceDesc(&ddsd);
    const bool software = (drawMan.status & (DRAW_STAT_RGB | DRAW_STAT_REF)) != 0;
    DDPIXELFORMAT zFormat = {};
    if (!_findZFormat(*aDevGuidP, ddsd.ddpfPixelFormat.dwRGBBitCount, &zFormat) &&
        !_findZFormat(*aDevGuidP, 16, &zFormat))
        return _direct3dFail("Ｚバッファの列挙失敗");
    ddsd.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    ddsd.ddsCaps.dwCaps = DDSCAPS_ZBUFFER | (software ? DDSCAPS_SYSTEMMEMORY : DDSCAPS_VIDEOMEMORY);
    ddsd.ddsCaps.dwCaps2 = 0;
    ddsd.ddpfPixelFormat = zFormat;
    if (FAILED(drawMan.ddrawP->CreateSurface(&ddsd, &drawMan.zBufP, nullptr))) {
        drawMan.zBufP = nullptr;
        return _direct3dFail("Ｚバッファの生成失敗");
    }
    if (FAILED(drawMan.backP->AddAttachedSurface(drawMan.zBufP))) {
        _release(drawMan.zBufP);
        return _direct3dFail("Ｚバッファのアタッチ失敗");
    }

    dev->SetRenderState(D3DRENDERSTATE_ZENABLE, TRUE);
    dev->SetRenderState(D3DRENDERSTATE_TEXTUREPERSPECTIVE, TRUE);
    dev->SetRenderState(D3DRENDERSTATE_DITHERENABLE, TRUE);
    dev->SetTextureStageState(0, D3DTSS_ADDRESS, D3DTADDRESS_WRAP);
    dev->SetRenderState(D3DRENDERSTATE_NORMALIZENORMALS, TRUE);
    // Setting the target again makes the device take up the Z-buffer attached after it was made.
    if (SUCCEEDED(dev->SetRenderTarget(drawMan.backP, 0))) {
        dev->SetRenderState(D3DRENDERSTATE_ZENABLE, FALSE);
        dev->SetRenderState(D3DRENDERSTATE_ZENABLE, TRUE);
        for (DWORD stage = 0; stage < 8; ++stage) {
            dev->SetTextureStageState(stage, D3DTSS_MAGFILTER, D3DTFG_LINEAR);
            dev->SetTextureStageState(stage, D3DTSS_MINFILTER, D3DTFN_LINEAR);
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
        drawMan.ddrawP->RestoreDisplayMode();
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
        drawMan.d3dDevP->SetTransform(D3DTRANSFORMSTATE_VIEW, (D3DMATRIX *)aMatP);
}

static void _setLink(bool aOn)
{
    if (!aOn) {
        drawManLink = _drawManLink{};
        return;
    }
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

static uint32_t _ksfTime(void)
{
    return timeGetTime();
}

// An image package hands its images to the registry slot by slot; a slot's old image goes.
static long _ksfEntryImage(long aSlot, const char *aFileNameP, void *aImageP, uint32_t aWidth, uint32_t aHeight,
                           uint32_t aDepth, uint16_t aType, uint32_t aKey)
{
    if (aSlot < 0 || aSlot >= DRAW_FILE_MAX || !drawMan.fileP[aSlot])
        return -1;
    drawMan.fileP[aSlot]->Delete();
    return drawMan.fileP[aSlot]->EntryImage(aFileNameP, aImageP, aWidth, aHeight, aDepth, aType, aKey);
}

static void _setKsfHook(bool aOn)
{
    static const _ksfDrawHook hook = {
        _ksfTime,
        sDrawFlipBuffer,
        sDrawFileMakeKey,
        _ksfEntryImage,
        sDrawLoadBitMapMem,
        sDrawLoadBitMapMemSurface,
        sDrawLoadTargaImage,
    };
    setKsfDrawHook(aOn ? &hook : nullptr);
}

long sDrawManInit(long aWidth, long aHeight, long aDepth, GUID *aDrvGuidP, GUID *aDevGuidP, long aFullFlg,
                  long aBuffFlg)
{
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
    _setKsfHook(true);
    return 0;
}

void sDrawManExit(void)
{
    if (!(drawMan.status & DRAW_STAT_INIT))
        return;
    _setKsfHook(false);
    AVIFileExit();
    _closeDevice();
    _setLink(false);
    _deleteObjects();
    sDrawFreeShapeInfo();
    sDrawFreeParticleInfo();
    sDrawFreeShadowCast();
    drawMan.status &= ~DRAW_STAT_INIT;
}

// ---------------------------------------------------------------- frame

void sDrawClear(void)
{
    if ((drawMan.status & DRAW_STAT_CLEAR) && drawMan.d3dDevP)
        drawMan.d3dDevP->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, drawMan.backCol, 1.0f, 0);
}

int sDrawBeginScene(void)
{
    return drawMan.d3dDevP && SUCCEEDED(drawMan.d3dDevP->BeginScene()) ? 1 : 0;
}

void sDrawEndScene(void)
{
    if (drawMan.d3dDevP)
        drawMan.d3dDevP->EndScene();
}

static HRESULT _restoreSurface(void)
{
    const HRESULT hr = drawMan.ddrawP ? drawMan.ddrawP->RestoreAllSurfaces() : DDERR_NOTINITIALIZED;
    if (drawMan.texCallBackP)
        drawMan.texCallBackP();
    sPrintMsgFile("Restore");
    return hr;
}

void sDrawRestoreSurface(void)
{
    _restoreSurface();
}

static void _updateClientRect(void)
{
    if (drawMan.status & DRAW_STAT_FULLSCREEN) {
        sysWork.clientRect = sysWork.winRect;
        return;
    }
    POINT p = {0, 0};
    ClientToScreen(sysWork.rootWinH, &p);
    SetRect(&sysWork.clientRect, p.x, p.y, p.x + sysWork.winRect.right, p.y + sysWork.winRect.bottom);
}

static bool _surfacesLost(void)
{
    return drawMan.frontP->IsLost() == DDERR_SURFACELOST || drawMan.backP->IsLost() == DDERR_SURFACELOST;
}

static void _present(bool aDirect)
{
    if (!(drawMan.status & DRAW_STAT_DDRAW) || !drawMan.frontP || !drawMan.backP)
        return;
    const bool full = (drawMan.status & DRAW_STAT_FULLSCREEN) != 0;
    const bool triple = !aDirect && (drawMan.status & DRAW_STAT_TRIPLE) && drawMan.thirdP;
    if (triple) {
        HRESULT hr = DDERR_SURFACELOST;
        if (!_surfacesLost())
            hr = drawMan.thirdP->Blt(&sysWork.winRect, drawMan.backP, &sysWork.winRect, DDBLT_WAIT, nullptr);
        if (hr == DDERR_SURFACELOST && FAILED(_restoreSurface()))
            return;
    }
    long attempts = 0;
    HRESULT hr;
    do {
        ++attempts;
        _updateClientRect();
        // Some drivers take a present onto a lost surface without a word; asking first restores
        // the surfaces here, as a driver that reports the loss would.
        if (_surfacesLost())
            hr = DDERR_SURFACELOST;
        else if (!triple)
            hr = drawMan.frontP->Blt(&sysWork.clientRect, drawMan.backP, &sysWork.winRect, DDBLT_WAIT, nullptr);
        else if (full)
            hr = drawMan.frontP->Flip(nullptr, 0);
        else
            hr = drawMan.frontP->Blt(&sysWork.clientRect, drawMan.thirdP, &sysWork.winRect, 0, nullptr);
        // While another program holds the display the surfaces cannot come back: this frame is
        // dropped rather than reloading every texture thousands of times.
        if (hr == DDERR_SURFACELOST && FAILED(_restoreSurface()))
            break;
    } while (FAILED(hr) && attempts < DRAW_FLIP_MAX);
    if (attempts > drawMan.flipErr)
        drawMan.flipErr = attempts;
}

void sDrawFlipBuffer(void)
{
    _present(false);
}

void sDrawFlipBufferDirect(void)
{
    _present(true);
}

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

void sDrawSetBackColor(long aR, long aG, long aB)
{
    drawMan.backCol = (uint32_t)((aR & 0xFF) << 16 | (aG & 0xFF) << 8 | (aB & 0xFF));
}

void sDrawShowText(long aPosX, long aPosY, const char *aFormatP, ...)
{
    static char text[DRAW_TEXT_SIZE];
    if (!aFormatP || !aFormatP[0] || !drawMan.fontP || !drawMan.fontP->GetFontHandle() || !drawMan.backP)
        return;
    va_list args;
    va_start(args, aFormatP);
    // A longer text is cut at the buffer, never written past it.
    const int len = std::vsnprintf(text, sizeof text, aFormatP, args);
    va_end(args);
    if (len <= 0)
        return;
    HDC dc = nullptr;
    if (FAILED(drawMan.backP->GetDC(&dc)))
        return;
    HGDIOBJ old = SelectObject(dc, drawMan.fontP->GetFontHandle());
    SetTextColor(dc, RGB(255, 0, 0));
    SetBkMode(dc, TRANSPARENT);
    ExtTextOutA(dc, (int)aPosX, (int)aPosY, 0, nullptr, text, (UINT)std::strlen(text), nullptr);
    SelectObject(dc, old);
    drawMan.backP->ReleaseDC(dc);
}

// ---------------------------------------------------------------- spotlight maps

// Fills the light map: full colour inside theta, fading to black at phi.
static long _fillLightMap(IDirectDrawSurface7 *aSufP, const D3DLIGHT7 &aLight)
{
    DDSURFACEDESC2 ddsd = {};
    ddsd.dwSize = sizeof ddsd;
    if (FAILED(aSufP->Lock(nullptr, &ddsd, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr)))
        return -1;
    const _drawMasks masks = sDrawSurfaceMasks(ddsd.ddpfPixelFormat);
    const bool bits16 = ddsd.ddpfPixelFormat.dwRGBBitCount == 16;
    const float ratio = aLight.dvPhi != 0.0f ? aLight.dvTheta / aLight.dvPhi : 0.0f;
    for (DWORD i = 0; i < ddsd.dwHeight; ++i) {
        uint8_t *row = (uint8_t *)ddsd.lpSurface + i * ddsd.lPitch;
        for (DWORD j = 0; j < ddsd.dwWidth; ++j) {
            const uint32_t texel = sDrawLightMapTexel((int)i, (int)j, ratio, aLight.dcvDiffuse.r, aLight.dcvDiffuse.g,
                                                      aLight.dcvDiffuse.b, masks, bits16);
            if (bits16)
                ((uint16_t *)row)[j] = (uint16_t)texel;
            else
                ((uint32_t *)row)[j] = texel;
        }
    }
    aSufP->Unlock(nullptr);
    return 0;
}

long _drawLight::InitMapTexture(void)
{
    if (!_isSpotMap() || !(drawMan.status & DRAW_STAT_INIT))
        return 0;
    FreeMapTexture();
    IDirectDrawSurface7 *shadow = sDrawCreateTextureSurface(DRAW_MAP_SIZE, DRAW_MAP_SIZE, -1);
    IDirectDrawSurface7 *light = sDrawCreateTextureSurface(DRAW_MAP_SIZE, DRAW_MAP_SIZE, -1);
    if (!shadow || !light || _fillLightMap(light, _light) != 0) {
        _release(light);
        _release(shadow);
        return 0;
    }
    _shadowTexNum = sTexPageSufEntry(shadow, DRAW_FLG_TEXTURE | DRAW_FLG_RENDER);
    _lightTexNum = sTexPageSufEntry(light, DRAW_FLG_TEXTURE);
    // A surface the texture manager could not take would be lost to everyone: give both back.
    if (_shadowTexNum == -1 || _lightTexNum == -1) {
        sTexPageFree(_shadowTexNum);
        sTexPageFree(_lightTexNum);
        _shadowTexNum = _lightTexNum = -1;
        _release(light);
        _release(shadow);
    }
    return 0;
}

long _drawLight::FreeMapTexture(void)
{
    const long nums[2] = {_shadowTexNum, _lightTexNum};
    for (long num : nums) {
        if (num == -1)
            continue;
        IDirectDrawSurface7 *suf = sTexGetSurfacePtr(num);
        sTexPageFree(num);
        if (suf)
            suf->Release();
    }
    _shadowTexNum = _lightTexNum = -1;
    return 0;
}

static D3DMATRIX _mul3(const D3DMATRIX &aA, const D3DMATRIX &aB, const D3DMATRIX &aC)
{
    D3DMATRIX ab, abc;
    sMatrixMul(&aA, &aB, &ab);
    sMatrixMul(&ab, &aC, &abc);
    return abc;
}

static void _drawShadowMap(_drawLight &aLight)
{
    IDirect3DDevice7 *dev = drawMan.d3dDevP;
    IDirectDrawSurface7 *suf = sTexGetSurfacePtr(aLight._shadowTexNum);
    if (!dev || !suf)
        return;
    D3DVIEWPORT7 savedVp = {};
    dev->GetViewport(&savedVp);
    if (sDrawChangeRenderTarget(suf) != 0)
        return;
    D3DVIEWPORT7 vp = {0, 0, DRAW_MAP_SIZE, DRAW_MAP_SIZE, 0.0f, 1.0f};
    dev->SetViewport(&vp);
    dev->Clear(0, nullptr, D3DCLEAR_TARGET | (sDrawHasDepth(suf) ? D3DCLEAR_ZBUFFER : 0), 0x80FFFFFF, 1.0f, 0);

    D3DMATRIX savedProj, savedView;
    dev->GetTransform(D3DTRANSFORMSTATE_PROJECTION, &savedProj);
    dev->GetTransform(D3DTRANSFORMSTATE_VIEW, &savedView);
    const D3DLIGHT7 &l = aLight._light;
    const float fov = std::tan(l.dvPhi * 0.5f) * 4.0f;
    D3DMATERIAL7 mtrl;
    D3DUtil_InitMaterial(mtrl, 0.2f, 0.2f, 0.2f, 0.2f);
    dev->SetMaterial(&mtrl);
    const D3DMATRIX ident = _identity();
    dev->SetTransform(D3DTRANSFORMSTATE_PROJECTION, (D3DMATRIX *)&ident);
    dev->SetTransform(D3DTRANSFORMSTATE_VIEW, (D3DMATRIX *)&ident);
    D3DMATRIX camView = ident, camProj = ident;
    if (drawMan.cameraP) {
        camView = drawMan.cameraP->GetViewMatrix();
        camProj = drawMan.cameraP->GetProjMatrix();
        drawMan.cameraP->SetViewMatrix(&ident);
        drawMan.cameraP->SetProjMatrix(&ident);
    }
    sCoordSetProjectionMatrix(&aLight._projMatrix, fov, 1.0f, 1.0f, 512.0f);
    D3DVECTOR at = {};
    at.x = l.dvPosition.x + l.dvDirection.x;
    at.y = l.dvPosition.y + l.dvDirection.y;
    at.z = l.dvPosition.z + l.dvDirection.z;
    D3DVECTOR up = {};
    up.y = 1.0f;
    sCoordSetViewMatrix(&aLight._viewMatrix, &l.dvPosition, &at, &up);

    if (sDrawBeginScene()) {
        for (uint16_t i = 0; i < drawMan.shapeInfoMax; ++i) {
            _shape *shape = drawMan.shapeInfoP[i].shapeP;
            if (!shape || !_shapeOps.statusP || !_shapeOps.worldP || !_shapeOps.drawP)
                continue;
            if (!(_shapeOps.statusP(shape) & DRAW_SHAPE_SHADOWMAP))
                continue;
            const D3DMATRIX m = _mul3(*_shapeOps.worldP(shape), aLight._viewMatrix, aLight._projMatrix);
            _shapeOps.drawP(shape, DRAW_SHAPE_NORENDERSTATE | DRAW_SHAPE_NOMATERIAL, &m);
        }
        sDrawEndScene();
    }

    sDrawChangeRenderTarget(drawMan.backP);
    dev->SetViewport(&savedVp);
    dev->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &savedProj);
    dev->SetTransform(D3DTRANSFORMSTATE_VIEW, &savedView);
    if (drawMan.cameraP) {
        drawMan.cameraP->SetViewMatrix(&camView);
        drawMan.cameraP->SetProjMatrix(&camProj);
    }
}

long _drawLight::Update(void)
{
    if (!drawMan.d3dDevP)
        return 0;
    drawMan.d3dDevP->SetLight(_lightNum, &_light);
    if (_isSpotMap() && _shadowTexNum != -1)
        _drawShadowMap(*this);
    return 0;
}

// Stage states of one map: modulate the texture onto what the stages before made.
static void _mapStage(IDirect3DDevice7 *aDevP, DWORD aStage, IDirectDrawSurface7 *aSufP)
{
    aDevP->SetTexture(aStage, aSufP);
    aDevP->SetTextureStageState(aStage, D3DTSS_TEXCOORDINDEX, 0);
    aDevP->SetTextureStageState(aStage, D3DTSS_COLOROP, D3DTOP_MODULATE);
    aDevP->SetTextureStageState(aStage, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    aDevP->SetTextureStageState(aStage, D3DTSS_COLORARG2, D3DTA_CURRENT);
    aDevP->SetTextureStageState(aStage, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    aDevP->SetTextureStageState(aStage, D3DTSS_ALPHAARG1, D3DTA_CURRENT);
    aDevP->SetTextureStageState(aStage, D3DTSS_ALPHAARG2, D3DTA_CURRENT);
}

long _drawLight::DrawMapTexture(void)
{
    IDirect3DDevice7 *dev = drawMan.d3dDevP;
    if (!dev || !_isSpotMap() || !GetEnable())
        return 0;
    DWORD alphaBlend, srcBlend, destBlend, lighting, zBias, address;
    dev->GetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, &alphaBlend);
    dev->GetRenderState(D3DRENDERSTATE_SRCBLEND, &srcBlend);
    dev->GetRenderState(D3DRENDERSTATE_DESTBLEND, &destBlend);
    dev->GetRenderState(D3DRENDERSTATE_LIGHTING, &lighting);
    dev->GetRenderState(D3DRENDERSTATE_ZBIAS, &zBias);
    dev->GetTextureStageState(0, D3DTSS_ADDRESS, &address);
    dev->SetRenderState(D3DRENDERSTATE_ZBIAS, 8);
    dev->SetRenderState(D3DRENDERSTATE_LIGHTING, FALSE);
    dev->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, TRUE);
    dev->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_ONE);
    dev->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_DESTALPHA);
    dev->SetTextureStageState(0, D3DTSS_ADDRESS, D3DTADDRESS_CLAMP);

    DWORD stage = 0;
    if (IDirectDrawSurface7 *shadow = sTexGetSurfacePtr(_shadowTexNum))
        _mapStage(dev, stage++, shadow);
    if (IDirectDrawSurface7 *light = sTexGetSurfacePtr(_lightTexNum))
        _mapStage(dev, stage++, light);
    dev->SetTextureStageState(stage, D3DTSS_COLOROP, D3DTOP_DISABLE);
    dev->SetTextureStageState(stage, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    D3DMATERIAL7 mtrl = {};
    mtrl.diffuse.r = mtrl.diffuse.g = mtrl.diffuse.b = mtrl.diffuse.a = 0.5f;
    mtrl.ambient = mtrl.specular = mtrl.emissive = mtrl.diffuse;
    mtrl.power = 0.5f;
    dev->SetMaterial(&mtrl);

    D3DMATRIX view = _identity(), proj = _identity();
    if (drawMan.cameraP) {
        view = drawMan.cameraP->GetViewMatrix();
        proj = drawMan.cameraP->GetProjMatrix();
    }
    for (uint16_t i = 0; i < drawMan.shapeInfoMax; ++i) {
        _shape *shape = drawMan.shapeInfoP[i].shapeP;
        if (!shape || !_shapeOps.statusP || !_shapeOps.worldP || !_shapeOps.boxP || !_shapeOps.spotLightDrawP)
            continue;
        if (!(_shapeOps.statusP(shape) & DRAW_SHAPE_SPOTLIGHT))
            continue;
        const D3DMATRIX &world = *_shapeOps.worldP(shape);
        if (!sMatrixCheckBox(&world, &view, &proj, _shapeOps.boxP(shape)))
            continue;
        _spotLightInfo info;
        info.screenMatrix = _mul3(world, _viewMatrix, _projMatrix);
        _shapeOps.spotLightDrawP(shape, &info);
    }

    dev->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, alphaBlend);
    dev->SetRenderState(D3DRENDERSTATE_SRCBLEND, srcBlend);
    dev->SetRenderState(D3DRENDERSTATE_DESTBLEND, destBlend);
    dev->SetRenderState(D3DRENDERSTATE_LIGHTING, lighting);
    dev->SetRenderState(D3DRENDERSTATE_ZBIAS, zBias);
    dev->SetTextureStageState(0, D3DTSS_ADDRESS, address);
    return 0;
}

// ---------------------------------------------------------------- shadow volumes

static uint32_t _shadowVolSerial;

_shadowVol *_primShadowCreateVol(uint32_t aVertNum)
{
    if (!drawMan.d3dP)
        return nullptr;
    _shadowVol *vol = (_shadowVol *)std::calloc(1, sizeof(_shadowVol));
    if (!vol)
        return nullptr;
    D3DVERTEXBUFFERDESC desc = {};
    desc.dwSize = sizeof desc;
    desc.dwCaps = D3DVBCAPS_SYSTEMMEMORY;
    desc.dwFVF = D3DFVF_XYZ | D3DFVF_DIFFUSE;
    desc.dwNumVertices = 2 * aVertNum;
    if (FAILED(drawMan.d3dP->CreateVertexBuffer(&desc, &vol->vertBufP, 0))) {
        std::free(vol);
        return nullptr;
    }
    vol->indexP = (uint16_t *)std::calloc(3 * (size_t)aVertNum + 3, sizeof(uint16_t));
    if (!vol->indexP) {
        vol->vertBufP->Release();
        std::free(vol);
        return nullptr;
    }
    vol->id = _shadowVolSerial++;
    return vol;
}

void _primShadowFreeVol(_shadowVol **aVolPP)
{
    if (!aVolPP || !*aVolPP)
        return;
    _shadowVol *vol = *aVolPP;
    if (vol->vertBufP)
        vol->vertBufP->Release();
    std::free(vol->indexP);
    std::free(vol);
    *aVolPP = nullptr;
}
