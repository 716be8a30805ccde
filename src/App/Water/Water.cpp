#include "App/Water/Water.h"

#include <windows.h>
#include <ddraw.h>
#include <d3d.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "App/App/AppCore.h"
#include "App/Scene/Scene.h"
#include "Library/Draw/DrawLib.h"
#include "Library/Matrix/MATLIB.h"
#include "Common/DEBUGWIN.h"
#include "System/Draw/DrawMan.h"
#include "System/Sys/SYSTEM.h"

static_assert(sizeof(D3DVERTEX) == sizeof(_waterVertex), "the layers' vertices are the net's vertices");

_water _waterEffect;

static const char *const _skyKsf = "Data\\Ksf\\05.ksf";
static const char *const _skyImage = "Data\\WaterScene\\Se152.bmp";

_water::_water()
    : _sceneP(nullptr), _conWaveP(_conputWaveNormal), _status(0), _dispZip(2), _vertexBufferP(nullptr),
      _vertexBuffer2P(nullptr), _surfP(nullptr), _skyP(nullptr), _skyTextureP(nullptr), _textureP(nullptr), _waveP(nullptr), _indexP(nullptr),
      _material(), _material2(), _screenMat(), _normalsP(nullptr), _trans(), _texRange(WATER_TEX_RANGE),
      _transY(0.0f), _range(0.0f), _oppRange(0.0f), _ratioWidth(0.0f), _ratioHeight(0.0f), _rendWidth(0.0f),
      _rendHeight(0.0f)
{
    sMathsTimeInit(&_time);
}

_water::~_water()
{
    // The device is gone by the time statics are destroyed: only the memory is ours to free.
    free(_waveP);
    free(_indexP);
    free(_normalsP);
    free(_surfP);
    free(_skyP);
}

static void _setMaterial(D3DMATERIAL7 *aMatP, float aColor, float aEmissive)
{
    memset(aMatP, 0, sizeof *aMatP);
    aMatP->diffuse.r = aMatP->diffuse.g = aMatP->diffuse.b = aColor;
    aMatP->diffuse.a = 1.0f;
    aMatP->ambient = aMatP->diffuse;
    aMatP->emissive.r = aMatP->emissive.g = aMatP->emissive.b = aEmissive;
    aMatP->emissive.a = 0.1f;
}

long _water::Init(Scene *aSceneP, const D3DVECTOR *aTransP, float aRenge)
{
    Release();
    _trans = *aTransP;
    _range = aRenge;
    _sceneP = aSceneP;
    _oppRange = std::sqrt(aRenge * aRenge * 2.0f);
    sMathsTimeInit(&_time);

    _indexP = (uint16_t *)malloc(WATER_INDEX_CNT * sizeof(uint16_t));
    _normalsP = (D3DVECTOR *)calloc(WATER_VERTEX_CNT, sizeof(D3DVECTOR));
    _waveP = (_wave *)calloc(WATER_VERTEX_CNT, sizeof(_wave));
    _surfP = (_waterVertex *)calloc(WATER_VERTEX_CNT, sizeof(_waterVertex));
    _skyP = (_waterVertex *)calloc(WATER_VERTEX_CNT, sizeof(_waterVertex));
    if (!_indexP || !_normalsP || !_waveP || !_surfP || !_skyP) {
        sDebugWinPrintMsg("ワーク確保失敗！");
        Release();
        return 0;
    }
    sWaterMakeIndex(_indexP);

    _setMaterial(&_material, 0.7f, 0.1f);
    _setMaterial(&_material2, 0.1f, 1.0f);

    long zip = sWaterDispZip(drawMan.screenWidth, drawMan.screenHeight, &_rendWidth, &_rendHeight);
    // The reflection is drawn into a texture no larger than the device takes (256 x 256 on the
    // 16-bit-only cards): the same picture at a coarser step.
    uint32_t maxW = 0, maxH = 0;
    sDrawCalcTexSize((uint32_t)WATER_TEX_RANGE, (uint32_t)WATER_TEX_RANGE, &maxW, &maxH);
    _texRange = sWaterFitTexture(maxW, maxH, &zip, &_rendWidth, &_rendHeight);
    _dispZip = (int16_t)zip;
    _ratioWidth = _rendWidth / _texRange;
    _ratioHeight = _rendHeight / _texRange;

    if (!Rest())
        return 0;
    _conWaveP = sWaterSelectWave(sysWork.caps.cpuOption);
    _status |= WATER_STAT_READY;
    return 1;
}

void _water::releaseSurfaces(void)
{
    if (_skyTextureP)
        _skyTextureP->Release(), _skyTextureP = nullptr;
    if (_textureP)
        _textureP->Release(), _textureP = nullptr;
    if (_vertexBufferP)
        _vertexBufferP->Release(), _vertexBufferP = nullptr;
    if (_vertexBuffer2P)
        _vertexBuffer2P->Release(), _vertexBuffer2P = nullptr;
}

void _water::Release(void)
{
    releaseSurfaces();
    free(_waveP), _waveP = nullptr;
    free(_indexP), _indexP = nullptr;
    free(_normalsP), _normalsP = nullptr;
    free(_surfP), _surfP = nullptr;
    free(_skyP), _skyP = nullptr;
    _status = 0;
}

// A texture format of the device in the screen's depth, else any plain RGB one.
static HRESULT CALLBACK _texFormatCb(DDPIXELFORMAT *aFormatP, void *aCtxP)
{
    DDPIXELFORMAT *best = (DDPIXELFORMAT *)aCtxP;
    if (!(aFormatP->dwFlags & DDPF_RGB) || (aFormatP->dwFlags & (DDPF_PALETTEINDEXED8 | DDPF_FOURCC)))
        return D3DENUMRET_OK;
    if (aFormatP->dwRGBBitCount < 16)
        return D3DENUMRET_OK;
    if (best->dwSize == 0 || aFormatP->dwRGBBitCount == (DWORD)drawMan.screenDepth) {
        *best = *aFormatP;
        if (aFormatP->dwRGBBitCount == (DWORD)drawMan.screenDepth && !(aFormatP->dwFlags & DDPF_ALPHAPIXELS))
            return D3DENUMRET_CANCEL;
    }
    return D3DENUMRET_OK;
}

static IDirect3DVertexBuffer7 *_createLayer(void)
{
    D3DVERTEXBUFFERDESC desc = {};
    desc.dwSize = sizeof desc;
    desc.dwCaps = (drawMan.status & DRAW_STAT_TNLHAL) ? 0 : D3DVBCAPS_SYSTEMMEMORY;
    desc.dwFVF = WATER_FVF;
    desc.dwNumVertices = WATER_VERTEX_CNT;
    IDirect3DVertexBuffer7 *vb = nullptr;
    if (!drawMan.d3dP || FAILED(DEBUGWIN_CHECK(drawMan.d3dP->CreateVertexBuffer(&desc, &vb, 0))))
        return nullptr;
    return vb;
}

// Writes a whole layer, write-only: nothing is handed back. Not with DDLOCK_DISCARDCONTENTS: on a
// buffer in system memory a discarding lock made each frame slower under the measured driver.
static bool _uploadLayer(IDirect3DVertexBuffer7 *aVbP, const _waterVertex *aVertP)
{
    const DWORD flags = DDLOCK_WAIT | DDLOCK_WRITEONLY;
    void *p = nullptr;
    DWORD size = 0;
    if (FAILED(DEBUGWIN_CHECK(aVbP->Lock(flags, &p, &size))) || !p) {
        sDebugWinPrintMsg("頂点バッファロック失敗！");
        return false;
    }
    const DWORD bytes = WATER_VERTEX_CNT * sizeof(_waterVertex);
    sDrawCountLock(flags, bytes);
    if (size >= bytes)
        memcpy(p, aVertP, bytes);
    DEBUGWIN_CHECK(aVbP->Unlock());
    return size >= bytes;
}

void _water::upload(void)
{
    _uploadLayer(_vertexBufferP, _surfP);
    _uploadLayer(_vertexBuffer2P, _skyP);
}

long _water::Rest(void)
{
    releaseSurfaces();
    if (!_indexP || !_surfP || !_skyP) {
        _status &= ~WATER_STAT_READY;
        return 0;
    }
    _vertexBufferP = _createLayer();
    _vertexBuffer2P = _createLayer();
    bool ok = _vertexBufferP && _vertexBuffer2P;
    if (ok) {
        sWaterRestVertex(_surfP, &_trans, _range);
        memcpy(_skyP, _surfP, WATER_VERTEX_CNT * sizeof(_waterVertex));
        ok = _uploadLayer(_vertexBufferP, _surfP) && _uploadLayer(_vertexBuffer2P, _skyP);
    }

    if (ok) {
        DDPIXELFORMAT format = {};
        if (drawMan.d3dDevP)
            DEBUGWIN_CHECK(drawMan.d3dDevP->EnumTextureFormats(_texFormatCb, &format));
        format.dwSize = sizeof format;
        _skyTextureP = loadKsf(_skyKsf, _skyImage, &format, DRAW_FLG_TEXTURE);
        _textureP = sDrawCreateTextureSurface((long)_texRange, (long)_texRange, -1);
        ok = _skyTextureP && _textureP;
    }
    if (!ok) {
        releaseSurfaces();
        _status &= ~WATER_STAT_READY;
        return 0;
    }
    return 1;
}

void _water::_benchBegin(void)
{
    _time.timeOld = mGetPerformanceCounter();
}

void _water::_benchEnd(void)
{
    sMathsTimeAdd(&_time, mGetPerformanceCounter() - _time.timeOld);
}

void _water::Run(void)
{
    if (!(_status & WATER_STAT_READY))
        return;
    IDirect3DDevice7 *dev = drawMan.d3dDevP;
    D3DMATRIX ident, view, proj, m;
    memset(&ident, 0, sizeof ident);
    ident._11 = ident._22 = ident._33 = ident._44 = 1.0f;
    view = proj = ident;
    if (dev) {
        sDrawGetTransform(D3DTRANSFORMSTATE_VIEW, &view);
        sDrawGetTransform(D3DTRANSFORMSTATE_PROJECTION, &proj);
    }
    sMatrixMul(&ident, &view, &m);
    sMatrixMul(&m, &proj, &_screenMat);

    _waterTexParam param;
    param.screenMat = _screenMat;
    param.vanishX = drawMan.vanishX;
    param.vanishY = drawMan.vanishY;
    param.dispZip = (float)_dispZip;
    param.rendWidth = _rendWidth, param.rendHeight = _rendHeight;
    param.ratioWidth = _ratioWidth, param.ratioHeight = _ratioHeight;
    param.texRange = _texRange;
    memset(&param.eyePos, 0, sizeof param.eyePos);
    if (drawMan.cameraP)
        param.eyePos = drawMan.cameraP->_eyePos;

    _benchBegin();
    _conWaveP(_surfP, _waveP, WATER_GRID, WATER_GRID);
    _benchEnd();
    sWaterMove(_surfP, _waveP, _normalsP, &param);
    sWaterSkyUV(_skyP, _normalsP);
}

void _water::conputNormal(void)
{
    sWaterNormals(_surfP, _indexP, _normalsP);
}

void _water::renderScene(void)
{
    const uint16_t status = _sceneP->GetStatus();
    _sceneP->SetStatus((uint16_t)(status & ~SCENE_HIDDEN));
    _sceneP->Render();
    _sceneP->SetStatus((uint16_t)(_sceneP->GetStatus() | (status & SCENE_HIDDEN)));
}

void _water::Draw(void)
{
    if (!(_status & WATER_STAT_READY) || !_sceneP)
        return;
    IDirect3DDevice7 *dev = drawMan.d3dDevP;
    if (!dev)
        return;
    const bool advanced = (_sceneP->GetStatus() & SCENE_ADVANCED) != 0;
    // The scene drawn again here sets the states of its shapes; they go back with the water's.
    _drawStateScope all;
    sDrawOpenStates(&all);

    if (advanced) {
        D3DVIEWPORT7 keep;
        sDrawGetViewport(&keep);
        sDrawForgetViewport();  // a new target resets the viewport
        if (sDrawChangeRenderTarget(_textureP) == 0) {
            D3DVIEWPORT7 vp = {0, 0, (DWORD)(drawMan.screenWidth / _dispZip), (DWORD)(drawMan.screenHeight / _dispZip),
                               0.0f, 1.0f};
            sDrawSetViewport(&vp);
            DEBUGWIN_CHECK(dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0));
            // The reflection is drawn without depth.
            _drawStateScope scope;
            sDrawOpenStates(&scope);
            sDrawSetState(D3DRENDERSTATE_ZENABLE, FALSE);
            renderScene();
            sDrawCloseStates(&scope);
            sDrawForgetViewport();  // a new target resets the viewport
            sDrawChangeRenderTarget(drawMan.backP);
            sDrawSetViewport(&keep);
            DEBUGWIN_CHECK(dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0));
        }
    }
    renderScene();

    D3DMATRIX ident;
    memset(&ident, 0, sizeof ident);
    ident._11 = ident._22 = ident._33 = ident._44 = 1.0f;
    sDrawSetTransform(D3DTRANSFORMSTATE_WORLD, &ident);
    // Both layers as this frame's step, drop and last frame's normals left them.
    if (advanced)
        upload();
    if (sDrawBeginScene()) {
        if (advanced) {
            _drawStateScope scope;
            sDrawOpenStates(&scope);
            sDrawSetStage(0, DRAW_STAGE_MODULATE);
            sDrawSetStageState(0, D3DTSS_TEXCOORDINDEX, 0);

            sDrawSetBlend(DRAW_BLEND_OFF);
            sDrawSetMaterial(&_material);
            sDrawSetTexture(0, _textureP);
            sDrawCountDraw(D3DPT_TRIANGLELIST, WATER_INDEX_CNT, WATER_INDEX_CNT * 2);
            DEBUGWIN_CHECK(dev->DrawIndexedPrimitiveVB(D3DPT_TRIANGLELIST, _vertexBufferP, 0, WATER_VERTEX_CNT, _indexP,
                                                       WATER_INDEX_CNT, 0));

            sDrawSetBlend(DRAW_BLEND_COLORKEEP);
            sDrawSetMaterial(&_material2);
            sDrawSetTexture(0, _skyTextureP);
            sDrawCountDraw(D3DPT_TRIANGLELIST, WATER_INDEX_CNT, WATER_INDEX_CNT * 2);
            DEBUGWIN_CHECK(dev->DrawIndexedPrimitiveVB(D3DPT_TRIANGLELIST, _vertexBuffer2P, 0, WATER_VERTEX_CNT,
                                                       _indexP, WATER_INDEX_CNT, 0));
            sDrawSetTexture(0, nullptr);
            sDrawCloseStates(&scope);
        }
        sDrawEndScene();
    }
    sDrawCloseStates(&all);
    conputNormal();
}

void _water::Clic(long aPosX, long aPosY, float aPower)
{
    if (aPosX < 1 || aPosX > WATER_GRID - 2 || aPosY < 1 || aPosY > WATER_GRID - 2 || !_vertexBufferP || !_surfP)
        return;
    sWaterDrop(_surfP, aPosX, aPosY, aPower, _trans.y);
}

void _water::GetBenchTime(int64_t *aTimeMinP, int64_t *aTimeMaxP, int64_t *aTimeArvP, int64_t *aLoopCntP)
{
    if (_time.timeAvr == 0 || _time.timeCnt == 0) {
        *aTimeMinP = *aTimeMaxP = *aTimeArvP = *aLoopCntP = 0;
        return;
    }
    *aTimeMinP = _time.timeMin;
    *aTimeMaxP = _time.timeMax;
    *aTimeArvP = _time.timeAvr / _time.timeCnt;
    *aLoopCntP = _time.timeCnt;
}

// ---------------------------------------------------------------------------------------------
// Scene callbacks

void *WaterSceneInit(uint8_t *aSceneP, uint16_t, uint8_t *, uint32_t *)
{
    Scene *scene = (Scene *)aSceneP;
    D3DVECTOR pos = {};
    const _sceneShape *shape = scene->GetShape(0);
    if (shape)
        pos = shape->trans;
    pos.x += -2.75f;
    pos.y += 0.75f;
    pos.z += 2.75f;
    _waterEffect.Init(scene, &pos, 0.11f);
    scene->SetStatus((uint16_t)(scene->GetStatus() | SCENE_HIDDEN));
    return nullptr;
}

void *WaterSceneExec(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    _waterEffect.Run();
    return nullptr;
}

void *WaterSceneDraw(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    static long frame = 0;
    if (frame % WATER_DROP_FRAMES == 0) {
        const long y = rand() % 40 + 5;
        const long x = rand() % 40 + 5;
        _waterEffect.Clic(x, y, 0.1f);
    }
    frame = (frame + 1) % WATER_DROP_CYCLE;
    _waterEffect.Draw();
    return nullptr;
}

void *WaterSceneExit(uint8_t *aSceneP, uint16_t, uint8_t *, uint32_t *)
{
    int64_t tmin, tmax, tavr, cnt;
    _waterEffect.GetBenchTime(&tmin, &tmax, &tavr, &cnt);
    ((Scene *)aSceneP)->SetCps((double)tavr);
    _waterEffect.Release();
    return nullptr;
}

void *WaterSceneRest(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    _waterEffect.Rest();
    return nullptr;
}
