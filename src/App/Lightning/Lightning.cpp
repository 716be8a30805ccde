#include "App/Lightning/Lightning.h"

#include <cstring>
#include <new>

#include "App/App/AppCore.h"
#include "App/Scene/Scene.h"
#include "Common/DEBUGWIN.h"
#include "Library/Coord/COORDLIB.h"
#include "Library/Matrix/MATLIB.h"
#include "Library/Vec/VECLIB.h"
#include "System/Draw/DrawMan.h"
#include "System/Shape/Shape.h"

_lightning *_lightningEffectListP;

static const char _lightningKsf[] = "Data\\Ksf\\13.ksf";
static const char _lightningTex[] = "Data\\Lightning\\lightning.bmp";

_lightning::_lightning()
    : _nextP(nullptr), _sceneP(nullptr), _startNum(0), _endNum(0), _status(0), _indexCnt(0), _vertexCnt(0),
      _polyCnt(0), _faceCnt(0), _vertexWidthCnt(0), _vertexHeightCnt(0), _divCnt(1), _raitioDisp(1.0f),
      _polyWidthRange(0.0f), _polyHeightRange(0.0f), _thunderWidth(1.0f), _thunderWidthMax(1.0f),
      _thunderBaseP(nullptr), _indexP(nullptr), _vertexBufferP(nullptr), _textureP(nullptr)
{
    for (long s = 0; s < LIGHTNING_STRAND_NUM; s++)
        _thunderWorkP[s] = nullptr;
}

_lightning::~_lightning()
{
    Release();
}

void _lightning::Release(void)
{
    if (_vertexBufferP != nullptr)
        _vertexBufferP->Release();
    if (_textureP != nullptr)
        _textureP->Release();
    _vertexBufferP = nullptr;
    _textureP = nullptr;
    delete[] _thunderBaseP;
    _thunderBaseP = nullptr;
    for (long s = 0; s < LIGHTNING_STRAND_NUM; s++) {
        delete[] _thunderWorkP[s];
        _thunderWorkP[s] = nullptr;
    }
    delete[] _indexP;
    _indexP = nullptr;
    _status &= (uint16_t)~LIGHTNING_STAT_READY;
}

long _lightning::Init(Scene *aSceneP, long aStartNum, long aEndNum, float aPolyWidth, long aVertexHeightCnt)
{
    Release();
    // The arch divides by rows - 2; 16-bit indices cap the rows.
    if (aSceneP == nullptr || aVertexHeightCnt < 3 || aVertexHeightCnt > 1024)
        return 0;
    _sceneP = aSceneP;
    _startNum = (int16_t)aStartNum;
    _endNum = (int16_t)aEndNum;
    const long rows = aVertexHeightCnt;
    _vertexHeightCnt = (int16_t)rows;
    _vertexWidthCnt = 2;
    _vertexCnt = (int16_t)(2 * rows);
    _polyWidthRange = aPolyWidth;
    _polyCnt = (int16_t)(2 * (rows - 1));
    _faceCnt = (int16_t)(rows - 1);
    _indexCnt = (int16_t)(6 * rows - 6);
    if (!Rest())
        return 0;
    _indexP = new (std::nothrow) uint16_t[_indexCnt];
    _thunderBaseP = new (std::nothrow) _thund[rows]();
    bool ok = _indexP != nullptr && _thunderBaseP != nullptr;
    for (long s = 0; s < LIGHTNING_STRAND_NUM; s++) {
        _thunderWorkP[s] = new (std::nothrow) _thund[rows]();
        ok = ok && _thunderWorkP[s] != nullptr;
    }
    if (!ok) {
        Release();
        return 0;
    }
    sLightningIndices(rows, _indexP);
    _raitioDisp = (float)drawMan.screenWidth * 0.0015625f;
    _status |= LIGHTNING_STAT_READY;
    return 1;
}

long _lightning::Rest(void)
{
    if (_vertexBufferP != nullptr)
        _vertexBufferP->Release();
    if (_textureP != nullptr)
        _textureP->Release();
    _vertexBufferP = nullptr;
    _textureP = nullptr;
    if (drawMan.d3dP == nullptr || _vertexCnt <= 0)
        return 0;
    // One buffer holds the five strands, so a frame fills it with a single lock.
    D3DVERTEXBUFFERDESC desc;
    memset(&desc, 0, sizeof(desc));
    desc.dwSize = sizeof(desc);
    desc.dwCaps = (drawMan.status & DRAW_STAT_TNLHAL) ? 0 : D3DVBCAPS_SYSTEMMEMORY;
    desc.dwFVF = LIGHTNING_FVF;
    desc.dwNumVertices = (DWORD)_vertexCnt * LIGHTNING_STRAND_NUM;
    if (FAILED(DEBUGWIN_CHECK(drawMan.d3dP->CreateVertexBuffer(&desc, &_vertexBufferP, 0))))
        return 0;
    _lightningVertex *v = nullptr;
    if (FAILED(DEBUGWIN_CHECK(_vertexBufferP->Lock(DDLOCK_WAIT | DDLOCK_WRITEONLY, (void **)&v, nullptr)))) {
        _vertexBufferP->Release();
        _vertexBufferP = nullptr;
        return 0;
    }
    for (long s = 0; s < LIGHTNING_STRAND_NUM; s++)
        sLightningVertexInit(v + s * _vertexCnt, _vertexHeightCnt);
    DEBUGWIN_CHECK(_vertexBufferP->Unlock());
    _textureP = loadKsf(_lightningKsf, _lightningTex, nullptr, DRAW_FLG_TEXTURE | DRAW_FLG_BLT);
    return _textureP != nullptr;
}

// Scene shape record aNum, or null outside the scene.
static _sceneShape *_shapeOf(Scene *aSceneP, long aNum)
{
    if (aSceneP == nullptr || aSceneP->_shapeP == nullptr || aNum < 0 || aNum >= aSceneP->GetShapeCnt())
        return nullptr;
    return &aSceneP->_shapeP[aNum];
}

static void _worldPos(_sceneShape *aShapeP, D3DVECTOR *aPosP)
{
    D3DMATRIX m;
    sCoordGetGlobalMatrix(aShapeP->shapeP->GetCoordPtr(), &m, 0);
    aPosP->x = m._41;
    aPosP->y = m._42;
    aPosP->z = m._43;
}

long _lightning::_ends(D3DVECTOR *aP1P, D3DVECTOR *aP2P)
{
    if (!(_status & LIGHTNING_STAT_READY) || _sceneP == nullptr)
        return 0;
    _sceneShape *startP = _shapeOf(_sceneP, _startNum);
    _sceneShape *endP = _shapeOf(_sceneP, _endNum);
    if (startP == nullptr || endP == nullptr || startP->shapeP == nullptr || endP->shapeP == nullptr)
        return 0;
    if (!sLightningVisible(startP->dissolveRate, endP->dissolveRate))
        return 0;
    _worldPos(startP, aP1P);
    _worldPos(endP, aP2P);
    return 1;
}

static _lightningCore _coreOf(_lightning *aP)
{
    _lightningCore c;
    c._vertexHeightCnt = aP->_vertexHeightCnt;
    c._divCnt = aP->_divCnt;
    c._polyWidthRange = aP->_polyWidthRange;
    c._polyHeightRange = aP->_polyHeightRange;
    c._thunderWidth = aP->_thunderWidth;
    c._thunderWidthMax = aP->_thunderWidthMax;
    c._thunderBaseP = aP->_thunderBaseP;
    for (long s = 0; s < LIGHTNING_STRAND_NUM; s++)
        c._thunderWorkP[s] = aP->_thunderWorkP[s];
    return c;
}

void _lightning::Run(void)
{
    D3DVECTOR p1, p2;
    if (!_ends(&p1, &p2))
        return;
    _lightningCore c = _coreOf(this);
    sLightningShake(&c, &p1, &p2);
    _divCnt = c._divCnt;
    _polyHeightRange = c._polyHeightRange;
    _thunderWidth = c._thunderWidth;
    _thunderWidthMax = c._thunderWidthMax;
}

static void _frameMatrices(D3DMATRIX *aViewP, D3DMATRIX *aProjP)
{
    sDrawGetTransform(D3DTRANSFORMSTATE_VIEW, aViewP);
    sDrawGetTransform(D3DTRANSFORMSTATE_PROJECTION, aProjP);
}

void _lightning::Draw(void)
{
    D3DVECTOR p1, p2;
    if (drawMan.d3dDevP == nullptr || _vertexBufferP == nullptr || _textureP == nullptr || !_ends(&p1, &p2))
        return;
    D3DMATRIX view, proj;
    _frameMatrices(&view, &proj);
    const float w = (float)drawMan.screenWidth, h = (float)drawMan.screenHeight;
    D3DVECTOR c1, c2;
    sMatrixApplyVector(&view, &p1, &c1);
    sMatrixApplyVector(&view, &p2, &c2);
    float x1, y1, z1, x2, y2, z2;
    if (sLightningProject(&proj, w, h, &c1, &x1, &y1, &z1) && sLightningProject(&proj, w, h, &c2, &x2, &y2, &z2) &&
        !sLightningOnScreen(x1, y1, x2, y2, w, h))
        return;
    const float nearDist = drawMan.cameraP != nullptr && drawMan.cameraP->GetNear() > 0.0f ? drawMan.cameraP->GetNear() : 1.0f;

    IDirect3DDevice7 *dev = drawMan.d3dDevP;
    _drawStateScope scope;
    sDrawOpenStates(&scope);
    sDrawSetStage(0, DRAW_STAGE_MODULATE);
    sDrawSetStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    sDrawSetStage(1, DRAW_STAGE_OFF);
    sDrawSetBlend(DRAW_BLEND_ADDITIVE);
    // Glow does not hide what is behind it.
    sDrawSetState(D3DRENDERSTATE_ZWRITEENABLE, FALSE);
    sDrawSetTexture(0, _textureP);
    // All five strands are written under one lock that discards the last frame's: locking a buffer
    // the device may still be drawing from would wait for it, once per strand.
    _lightningVertex *v = nullptr;
    long drawn[LIGHTNING_STRAND_NUM] = {};
    if (SUCCEEDED(DEBUGWIN_CHECK(
            _vertexBufferP->Lock(DDLOCK_WAIT | DDLOCK_WRITEONLY | DDLOCK_DISCARDCONTENTS, (void **)&v, nullptr)))) {
        sDrawCountLock(DDLOCK_WRITEONLY, (DWORD)(LIGHTNING_STRAND_NUM * _vertexCnt * sizeof *v));
        for (long s = 0; s < LIGHTNING_STRAND_NUM; s++) {
            _lightningVertex *strandP = v + s * _vertexCnt;
            sLightningVertexInit(strandP, _vertexHeightCnt);
            drawn[s] = sLightningStrandVertices(_thunderWorkP[s], _vertexHeightCnt, &view, &proj, nearDist, w, h,
                                                _polyWidthRange, _raitioDisp, strandP);
        }
        DEBUGWIN_CHECK(_vertexBufferP->Unlock());
        for (long s = 0; s < LIGHTNING_STRAND_NUM; s++)
            if (drawn[s]) {
                sDrawCountDraw(D3DPT_TRIANGLELIST, (DWORD)_indexCnt, (DWORD)_indexCnt * 2);
                DEBUGWIN_CHECK(dev->DrawIndexedPrimitiveVB(D3DPT_TRIANGLELIST, _vertexBufferP, (DWORD)(s * _vertexCnt),
                                                           (DWORD)_vertexCnt, _indexP, (DWORD)_indexCnt, 0));
            }
    }
    sDrawSetTexture(0, nullptr);
    sDrawCloseStates(&scope);
}

static void _deleteList(void)
{
    while (_lightningEffectListP != nullptr) {
        _lightning *nextP = _lightningEffectListP->_nextP;
        delete _lightningEffectListP;
        _lightningEffectListP = nextP;
    }
}

void LightningLoad(const _sceneDef *aSceneDefP, long aShapeCnt)
{
    _deleteList();
    if (aSceneDefP == nullptr || aSceneDefP->shapeP == nullptr)
        return;
    if (aShapeCnt > aSceneDefP->shapeCnt)
        aShapeCnt = aSceneDefP->shapeCnt;
    for (long i = 0; i < aShapeCnt; i++) {
        char prefix[16];
        const long j = _jodgName(aSceneDefP, i, aShapeCnt, prefix, sizeof(prefix));
        if (j < 0)
            continue;
        _lightning *boltP = new (std::nothrow) _lightning;
        if (boltP == nullptr)
            return;
        boltP->_startNum = (int16_t)i;
        boltP->_endNum = (int16_t)j;
        boltP->_nextP = _lightningEffectListP;
        _lightningEffectListP = boltP;
    }
}

void LightningSceneInit(Scene *aSceneP, const _lightningAllScnTable *aScnTblP)
{
    if (aScnTblP == nullptr)
        return;
    for (_lightning *p = _lightningEffectListP; p != nullptr; p = p->_nextP)
        p->Init(aSceneP, p->_startNum, p->_endNum, aScnTblP->polyWidth, aScnTblP->vertHeightCnt);
}

void LightningSceneExec(void)
{
    for (_lightning *p = _lightningEffectListP; p != nullptr; p = p->_nextP)
        p->Run();
}

void LightningSceneDraw(void)
{
    if (_lightningEffectListP == nullptr || !sDrawBeginScene())
        return;
    for (_lightning *p = _lightningEffectListP; p != nullptr; p = p->_nextP)
        p->Draw();
    sDrawEndScene();
}

void LightningSceneExit(void)
{
    _deleteList();
}

void LightningSceneRest(void)
{
    for (_lightning *p = _lightningEffectListP; p != nullptr; p = p->_nextP)
        if (p->_status & LIGHTNING_STAT_READY)
            p->Rest();
}
