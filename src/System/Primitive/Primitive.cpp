#include "System/Primitive/Primitive.h"

#include <cstring>
#include <new>

#include "Library/Matrix/MATLIB.h"
#include "Common/DEBUGWIN.h"
#include "System/Shape/Shape.h"
#include "System/Sys/SYSTEM.h"
#include "System/Texture/TEXMAN.h"

static long _stageLimit;

static void _error(const char *aMsgP)
{
    sDebugWinPrintMsg(aMsgP);
}

static IDirect3DDevice7 *_dev(void)
{
    return drawMan.d3dDevP;
}

// Locks a buffer and checks that it holds at least aBytes.
static uint8_t *_lock(IDirect3DVertexBuffer7 *aVbP, DWORD aFlags, DWORD aBytes)
{
    void *p = nullptr;
    DWORD size = 0;
    if (FAILED(DEBUGWIN_CHECK(aVbP->Lock(aFlags, &p, &size))) || !p)
        return nullptr;
    sDrawCountLock(aFlags, size);
    if (size < aBytes) {
        _error("頂点バッファロックサイズと頂点テーブルサイズが違う");
        DEBUGWIN_CHECK(aVbP->Unlock());
        return nullptr;
    }
    return (uint8_t *)p;
}

long sPrimGetStageLimit(void)
{
    if (_stageLimit > 0)
        return _stageLimit;
    if (_sysD3DCaps *caps = sSysGetCurD3DCaps())
        return caps->desc.wMaxSimultaneousTextures;
    D3DDEVICEDESC7 desc = {};
    if (_dev() && SUCCEEDED(DEBUGWIN_CHECK(_dev()->GetCaps(&desc))))
        return desc.wMaxSimultaneousTextures;
    return 0;
}

void sPrimSetStageLimit(long aLimit)
{
    _stageLimit = aLimit > 0 ? aLimit : 0;
}

long sPrimEntryTexSet(_textureSet *aTexSetP)
{
    _textureSet &set = *aTexSetP;
    // A name without its terminator (a damaged package) names no file.
    if (!std::memchr(set.fileName, 0, sizeof set.fileName) ||
        !std::memchr(set.alphaFileName, 0, sizeof set.alphaFileName)) {
        set.texPageNum = -1;
        set.texNum = -1;
        return -1;
    }
    set.texPageNum = sTexPageEntry(set.fileName, set.alphaFileName, (uint16_t)set.texFlg, set.color, set.opacity,
                                   &set.pageInfo);
    const long tex = sTexInfoEntry(set.texPageNum, &set.info);
    set.texNum = (int16_t)tex;
    return tex;
}

// ---------------------------------------------------------------- vertex set base

_primVertexSetBase::_primVertexSetBase()
    : _vertexNum(0), _vertexP(nullptr), _vertexType(0), _morphVertexNum(0), _morphVertexP(nullptr),
      _morphVertexType(0), _vertexBufferP(nullptr), _indexSetNum(0), _indexSetP(nullptr), _shadowVolP(nullptr)
{
    _defVertexType = 0;
}

_primVertexSetBase::~_primVertexSetBase()
{
    if (_vertexBufferP)
        _vertexBufferP->Release();
    _primShadowFreeVol(&_shadowVolP);
    delete[] _indexSetP;
}

void _primVertexSetBase::_Reject(const char *aMsgP)
{
    _error(aMsgP);
    _vertexNum = 0;
    _vertexP = nullptr;
    _morphVertexP = nullptr;
    _indexSetNum = 0;
    delete[] _indexSetP;
    _indexSetP = nullptr;
}

long _primVertexSetBase::_TakeDef(const _primVertexDefSet *aVertexDefP, bool aIndexSetsB)
{
    if (!aVertexDefP)
        return -1;
    const _primVertexDefSet &def = *aVertexDefP;
    _primLayout layout;
    // Indices are 16 bits: a set never holds more vertices than they can reach.
    if (def.vertexNum < 0 || def.vertexNum > 0xFFFF || (def.vertexNum > 0 && !def.vertexP) ||
        sPrimGetLayout(def.vertexType, &layout) != 0 || sPrimGetStructSize(def.vertexType) < 0) {
        _Reject("頂点定義が壊れている");
        return -1;
    }
    if (aIndexSetsB) {
        if (def.indexSetNum < 0 || (def.indexSetNum > 0 && !def.indexSetP)) {
            _Reject("インデックス定義が壊れている");
            return -1;
        }
        for (long i = 0; i < def.indexSetNum; ++i) {
            const _primIndexDefSet &idx = def.indexSetP[i];
            if (sPrimCheckIndexSet(idx.indexNum, idx.indexP, idx.primitiveType, def.vertexNum) != 0) {
                _Reject("インデックスが頂点数を超えている");
                return -1;
            }
        }
    }
    _vertexNum = def.vertexNum;
    _vertexP = def.vertexP;
    _vertexType = def.vertexType;
    _defVertexType = def.vertexType;
    _primLayout morph;
    _morphVertexP = (def.morphVertexP && sPrimGetLayout(def.morphVertexType, &morph) == 0) ? def.morphVertexP : nullptr;
    _morphVertexType = def.morphVertexType;
    if (aIndexSetsB && def.indexSetNum > 0) {
        _indexSetP = new (std::nothrow) _primIndexSet[def.indexSetNum];
        if (!_indexSetP) {
            _Reject("インデックスセット確保失敗");
            return -1;
        }
        _indexSetNum = def.indexSetNum;
        for (long i = 0; i < _indexSetNum; ++i) {
            _indexSetP[i]._indexNum = def.indexSetP[i].indexNum;
            _indexSetP[i]._indexP = def.indexSetP[i].indexP;
            _indexSetP[i]._primitiveType = (D3DPRIMITIVETYPE)def.indexSetP[i].primitiveType;
        }
    }
    return 0;
}

long _primVertexSetBase::_CreateVB(void)
{
    if (!drawMan.d3dP || _vertexNum <= 0) {
        _error("頂点バッファ作成失敗");
        return -1;
    }
    D3DVERTEXBUFFERDESC desc = {};
    desc.dwSize = sizeof desc;
    // Video memory only where the hardware transforms the vertices itself.
    desc.dwCaps = (drawMan.status & DRAW_STAT_TNLHAL) ? 0 : D3DVBCAPS_SYSTEMMEMORY;
    desc.dwFVF = _vertexType;
    desc.dwNumVertices = (DWORD)_vertexNum;
    if (FAILED(DEBUGWIN_CHECK(drawMan.d3dP->CreateVertexBuffer(&desc, &_vertexBufferP, 0)))) {
        _vertexBufferP = nullptr;
        _error("頂点バッファ作成失敗");
        return -1;
    }
    return 0;
}

long _primVertexSetBase::_FillVB(void)
{
    void *p = nullptr;
    DWORD size = 0;
    if (FAILED(DEBUGWIN_CHECK(_vertexBufferP->Lock(DDLOCK_WAIT | DDLOCK_WRITEONLY, &p, &size))) || !p) {
        _error("頂点バッファロック失敗");
        return -1;
    }
    sDrawCountLock(DDLOCK_WRITEONLY, size);
    DWORD bytes = (DWORD)(sPrimGetStructSize(_vertexType) * _vertexNum);
    if (size != bytes) {
        _error("頂点バッファロックサイズと頂点テーブルサイズが違う");
        if (size < bytes)
            bytes = size;
    }
    std::memcpy(p, _vertexP, bytes);
    DEBUGWIN_CHECK(_vertexBufferP->Unlock());
    return 0;
}

void _primVertexSetBase::_DrawIndexed(void)
{
    IDirect3DDevice7 *dev = _dev();
    if (!dev || !_vertexBufferP)
        return;
    for (long i = 0; i < _indexSetNum; ++i) {
        const _primIndexSet &s = _indexSetP[i];
        if (s._indexNum > 0) {
            sDrawCountDraw(s._primitiveType, (DWORD)s._indexNum, (DWORD)s._indexNum * 2);
            DEBUGWIN_CHECK(dev->DrawIndexedPrimitiveVB(s._primitiveType, _vertexBufferP, 0, (DWORD)_vertexNum,
                                                       s._indexP, (DWORD)s._indexNum, 0));
        }
    }
}

long _primVertexSetBase::_InitCopy(const _primVertexDefSet *aVertexDefP, bool aIndexSetsB, DWORD aTransmission)
{
    if (_TakeDef(aVertexDefP, aIndexSetsB) != 0 || _CreateVB() != 0)
        return -1;
    _FillVB();
    if (aTransmission & PRIM_TRANS_SHADOWVOL)
        _CreateShadowWork();
    return 0;
}

// ---------------------------------------------------------------- plain

long _primVertexSet::Init(const _primVertexDefSet *aVertexDefP, long aTexStageNum, DWORD aTransmission)
{
    (void)aTexStageNum;
    return _InitCopy(aVertexDefP, true, aTransmission);
}

void _primVertexSet::Draw(void)
{
    _DrawIndexed();
}

void _primVertexSet::Update(const D3DMATRIX *aWorldMatrixP, long aTexStageNum, const _primitiveTexInfo *aTexInfoP,
                            DWORD aStatus)
{
    (void)aWorldMatrixP;
    if (!(aStatus & PRIM_STAT_PROJECTED) || !_vertexBufferP || !aTexInfoP)
        return;
    _primLayout l;
    if (sPrimGetLayout(_vertexType, &l) != 0)
        return;
    // One work record per coordinate set, filled by the stage that projects into it.
    _setUVWork work[8];
    uint32_t marks = 0;
    for (long i = 0; i < aTexStageNum; ++i) {
        const _primitiveTexInfo &t = aTexInfoP[i];
        const long s = t.texUVIndex < 0 ? i : t.texUVIndex;
        // Only a set of at least two coordinates can take (u, v).
        if (!(t.texFlg & PRIM_TEX_PROJECTED) || s >= l.texNum || l.texSize[s] < 8)
            continue;
        _texInfo *info = sTexGetInfoPtr(t.texNum);
        _texPage *page = info ? sTexGetPagePtr(info->pageNum) : nullptr;
        if (!page)
            continue;
        const _pageInfo &pi = page->pageInfo;
        _setUVWork &w = work[s];
        w.proj = pi.proj;
        w.axis = pi.axis;
        w.texSize.x = pi.texSize[0], w.texSize.y = pi.texSize[1], w.texSize.z = pi.texSize[2];
        w.texCenter.x = pi.texCenter[0], w.texCenter.y = pi.texCenter[1], w.texCenter.z = pi.texCenter[2];
        w.wrpw = pi.wrpw;
        w.wrph = pi.wrph;
        w.refNum = pi.refNum;
        sMatrixCreateUnit(&w.refMat);
        if (pi.refNum >= 0 && pi.refNum <= 0xFFFF) {
            _shapeInfo *si = sDrawGetShapeInfo((uint16_t)pi.refNum);
            if (si && si->shapeP)
                sMatrixInvert(&si->shapeP->GetCoordPtr()->world, &w.refMat);
        }
        marks |= 1u << s;
    }
    if (!marks)
        return;
    // The positions are read back: a morph may have moved them.
    uint8_t *buf = _lock(_vertexBufferP, DDLOCK_WAIT | DDLOCK_NOSYSLOCK, (DWORD)(l.size * _vertexNum));
    if (!buf)
        return;
    for (long s = 0; s < l.texNum; ++s) {
        if (!(marks & (1u << s)))
            continue;
        for (long v = 0; v < _vertexNum; ++v) {
            uint8_t *vtx = buf + v * l.size;
            D3DVECTOR pos;
            std::memcpy(&pos, vtx + l.pos, sizeof pos);
            float uv[2];
            std::memcpy(uv, vtx + l.tex[s], sizeof uv);
            _setUV(&pos, uv, &work[s]);
            std::memcpy(vtx + l.tex[s], uv, sizeof uv);
        }
    }
    DEBUGWIN_CHECK(_vertexBufferP->Unlock());
}

void _primVertexSet::MulUVRate(long aTexStageNum, const float *aURateP, const float *aVRateP)
{
    _primLayout l;
    if (!_vertexBufferP || !aURateP || !aVRateP || sPrimGetLayout(_vertexType, &l) != 0)
        return;
    const long n = aTexStageNum < l.texNum ? aTexStageNum : l.texNum;
    uint8_t *buf = _lock(_vertexBufferP, DDLOCK_WAIT | DDLOCK_WRITEONLY, (DWORD)(l.size * _vertexNum));
    if (!buf)
        return;
    const uint8_t *src = (const uint8_t *)_vertexP;
    for (long v = 0; v < _vertexNum; ++v) {
        for (long j = 0; j < n; ++j) {
            if (l.texSize[j] < 8)
                continue;
            float uv[2];
            std::memcpy(uv, src + v * l.size + l.tex[j], sizeof uv);
            uv[0] *= aURateP[j];
            uv[1] *= aVRateP[j];
            std::memcpy(buf + v * l.size + l.tex[j], uv, sizeof uv);
        }
    }
    DEBUGWIN_CHECK(_vertexBufferP->Unlock());
}

void _primVertexSet::Morph(float aRate)
{
    _primLayout ld, lm;
    if (!_vertexBufferP || !_morphVertexP || sPrimGetLayout(_vertexType, &ld) != 0 ||
        sPrimGetLayout(_morphVertexType, &lm) != 0)
        return;
    uint8_t *buf = _lock(_vertexBufferP, DDLOCK_WAIT | DDLOCK_WRITEONLY, (DWORD)(ld.size * _vertexNum));
    if (!buf)
        return;
    const uint8_t *def = (const uint8_t *)_vertexP, *target = (const uint8_t *)_morphVertexP;
    const bool normals = ld.normal >= 0 && lm.normal >= 0;
    for (long v = 0; v < _vertexNum; ++v) {
        D3DVECTOR a, b;
        std::memcpy(&a, def + v * ld.size + ld.pos, sizeof a);
        std::memcpy(&b, target + v * lm.size + lm.pos, sizeof b);
        const D3DVECTOR p = a + (b - a) * aRate;
        std::memcpy(buf + v * ld.size + ld.pos, &p, sizeof p);
        if (normals) {
            std::memcpy(&a, def + v * ld.size + ld.normal, sizeof a);
            std::memcpy(&b, target + v * lm.size + lm.normal, sizeof b);
            const D3DVECTOR n = a + (b - a) * aRate;
            std::memcpy(buf + v * ld.size + ld.normal, &n, sizeof n);
        }
    }
    DEBUGWIN_CHECK(_vertexBufferP->Unlock());
}

// ---------------------------------------------------------------- DOT3 bump

_primVertexSetBump::~_primVertexSetBump()
{
    delete[] _normalTblP;
    delete[] _rotTblP;
}

long _primVertexSetBump::Init(const _primVertexDefSet *aVertexDefP, long aTexStageNum, DWORD aTransmission)
{
    if (_TakeDef(aVertexDefP, true) != 0)
        return -1;
    _primLayout ld, lb;
    _vertexType = (_defVertexType & ~(DWORD)PRIM_FVF_NORMAL) | PRIM_FVF_DIFFUSE;
    sPrimGetLayout(_defVertexType, &ld);
    sPrimGetLayout(_vertexType, &lb);
    const uint8_t *def = (const uint8_t *)_vertexP;
    if (ld.normal >= 0 && _vertexNum > 0) {
        _normalTblP = new (std::nothrow) D3DVECTOR[_vertexNum];
        _rotTblP = new (std::nothrow) D3DMATRIX[_vertexNum];
        if (_normalTblP && _rotTblP) {
            for (long v = 0; v < _vertexNum; ++v) {
                std::memcpy(&_normalTblP[v], def + v * ld.size + ld.normal, sizeof(D3DVECTOR));
                sPrimTangentRotation(&_normalTblP[v], &_rotTblP[v]);
            }
        } else {
            delete[] _normalTblP;
            delete[] _rotTblP;
            _normalTblP = nullptr;
            _rotTblP = nullptr;
        }
    }
    if (_CreateVB() != 0)
        return -1;
    uint8_t *buf = _lock(_vertexBufferP, DDLOCK_WAIT | DDLOCK_WRITEONLY, (DWORD)(lb.size * _vertexNum));
    if (buf) {
        _primLayout lp;
        sPrimGetLayout(_defVertexType & PRIM_FVF_POSITION_MASK, &lp);
        const long posBytes = lp.size;
        const long texNum = aTexStageNum < ld.texNum ? aTexStageNum : ld.texNum;
        const uint32_t white = 0x00FFFFFF;
        for (long v = 0; v < _vertexNum; ++v) {
            uint8_t *dst = buf + v * lb.size;
            const uint8_t *src = def + v * ld.size;
            std::memcpy(dst + lb.pos, src + ld.pos, (size_t)posBytes);
            std::memcpy(dst + lb.diffuse, &white, sizeof white);
            for (long j = 0; j < texNum; ++j)
                std::memcpy(dst + lb.tex[j], src + ld.tex[j], (size_t)ld.texSize[j]);
        }
        DEBUGWIN_CHECK(_vertexBufferP->Unlock());
    }
    if (aTransmission & PRIM_TRANS_SHADOWVOL)
        _CreateShadowWork();
    return 0;
}

void _primVertexSetBump::Draw(void)
{
    IDirect3DDevice7 *dev = _dev();
    if (!dev || !_vertexBufferP)
        return;
    for (long i = 0; i < _indexSetNum; ++i) {
        const _primIndexSet &s = _indexSetP[i];
        if (s._indexNum <= 0)
            continue;
        // The DOT3 pass: the stages combine the vertex colours with the normal map.
        sDrawCountDraw(s._primitiveType, (DWORD)s._indexNum, (DWORD)s._indexNum * 2);
        DEBUGWIN_CHECK(dev->DrawIndexedPrimitiveVB(s._primitiveType, _vertexBufferP, 0, (DWORD)_vertexNum, s._indexP,
                                                   (DWORD)s._indexNum, 0));
        // A lit, translucent copy 1 % larger lays the material's shading over it.
        D3DMATRIX world, grown;
        sDrawGetTransform(D3DTRANSFORMSTATE_WORLD, &world);
        grown = world;
        float *row = &grown._11;
        for (int k = 0; k < 12; ++k)
            row[k] *= 1.01f;
        sDrawSetTransform(D3DTRANSFORMSTATE_WORLD, &grown);
        D3DMATERIAL7 mtrl = {};
        mtrl.diffuse.r = mtrl.diffuse.g = mtrl.diffuse.b = 1.0f;
        mtrl.diffuse.a = 0.8f;
        mtrl.ambient.a = 1.0f;
        sDrawSetMaterial(&mtrl);
        sDrawSetState(D3DRENDERSTATE_LIGHTING, TRUE);
        sDrawSetState(D3DRENDERSTATE_SHADEMODE, D3DSHADE_GOURAUD);
        sDrawSetState(D3DRENDERSTATE_ALPHABLENDENABLE, TRUE);
        sDrawSetState(D3DRENDERSTATE_ZWRITEENABLE, FALSE);
        sDrawSetState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA);
        sDrawSetState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA);
        sDrawSetStage(0, DRAW_STAGE_OFF);
        sDrawCountDrawUp(s._primitiveType, _defVertexType, (DWORD)_vertexNum, (DWORD)s._indexNum);
        DEBUGWIN_CHECK(dev->DrawIndexedPrimitive(s._primitiveType, _defVertexType, _vertexP, (DWORD)_vertexNum,
                                                 s._indexP, (DWORD)s._indexNum, 0));
        // The larger copy must not grow what is drawn after it.
        sDrawSetTransform(D3DTRANSFORMSTATE_WORLD, &world);
    }
}

void _primVertexSetBump::Update(const D3DMATRIX *aWorldMatrixP, long aTexStageNum,
                                const _primitiveTexInfo *aTexInfoP, DWORD aStatus)
{
    (void)aTexStageNum, (void)aTexInfoP, (void)aStatus;
    if (!_vertexBufferP || !_rotTblP || !aWorldMatrixP)
        return;
    D3DMATRIX inv;
    sMatrixCreateUnit(&inv);
    sMatrixInvert(aWorldMatrixP, &inv);
    D3DLIGHT7 lights[DRAW_LIGHT_MAX];
    long lightNum = 0;
    for (int i = 0; i < DRAW_LIGHT_MAX; ++i) {
        _drawLight *l = drawMan.lightP[i];
        if (l && l->GetEnable())
            sPrimDot3ObjectLight(&inv, l->GetLight(), &lights[lightNum++]);
    }
    _primLayout ld, lb;
    sPrimGetLayout(_defVertexType, &ld);
    sPrimGetLayout(_vertexType, &lb);
    void *p = nullptr;
    DWORD size = 0;
    if (FAILED(DEBUGWIN_CHECK(_vertexBufferP->Lock(DDLOCK_WAIT | DDLOCK_WRITEONLY, &p, &size))) || !p)
        return;
    sDrawCountLock(DDLOCK_WRITEONLY, size);
    if (size != (DWORD)(sPrimGetStructSize(_vertexType) * _vertexNum) || size < (DWORD)(lb.size * _vertexNum)) {
        _error("頂点バッファロックサイズと頂点テーブルサイズが違う");
        DEBUGWIN_CHECK(_vertexBufferP->Unlock());
        return;
    }
    uint8_t *buf = (uint8_t *)p;
    const uint8_t *def = (const uint8_t *)_vertexP;
    for (long v = 0; v < _vertexNum; ++v) {
        D3DVECTOR q;
        std::memcpy(&q, def + v * ld.size + ld.pos, sizeof q);
        const uint32_t color = sPrimDot3ColorRot(&q, &_rotTblP[v], lights, lightNum);
        std::memcpy(buf + v * lb.size + lb.diffuse, &color, sizeof color);
    }
    DEBUGWIN_CHECK(_vertexBufferP->Unlock());
}

// ---------------------------------------------------------------- sphere environment map

long _primVertexSetEnv::Init(const _primVertexDefSet *aVertexDefP, long aTexStageNum, DWORD aTransmission)
{
    (void)aTexStageNum;
    return _InitCopy(aVertexDefP, true, aTransmission);
}

void _primVertexSetEnv::Draw(void)
{
    _DrawIndexed();
}

void _primVertexSetEnv::Update(const D3DMATRIX *aWorldMatrixP, long aTexStageNum,
                               const _primitiveTexInfo *aTexInfoP, DWORD aStatus)
{
    (void)aStatus;
    _primLayout l;
    if (!_vertexBufferP || !aWorldMatrixP || !aTexInfoP || sPrimGetLayout(_vertexType, &l) != 0 || l.normal < 0)
        return;
    long s = -1;
    for (long i = 0; i < aTexStageNum && s < 0; ++i)
        if (aTexInfoP[i].texFlg & PRIM_TEX_ENVMAP)
            s = aTexInfoP[i].texUVIndex < 0 ? i : aTexInfoP[i].texUVIndex;
    if (s < 0 || s >= l.texNum || l.texSize[s] < 8)
        return;
    D3DMATRIX view, m;
    sMatrixCreateUnit(&view);
    if (drawMan.cameraP)
        view = drawMan.cameraP->GetViewMatrix();
    sMatrixMul(aWorldMatrixP, &view, &m);
    D3DVECTOR c[3];
    sPrimSphereBasis(&m, c);
    uint8_t *buf = _lock(_vertexBufferP, DDLOCK_WAIT | DDLOCK_WRITEONLY, (DWORD)(l.size * _vertexNum));
    if (!buf)
        return;
    const uint8_t *def = (const uint8_t *)_vertexP;
    for (long v = 0; v < _vertexNum; ++v) {
        D3DVECTOR n;
        std::memcpy(&n, def + v * l.size + l.normal, sizeof n);
        float uv[2];
        if (sPrimSphereUV(&n, c, uv))
            std::memcpy(buf + v * l.size + l.tex[s], uv, sizeof uv);
    }
    DEBUGWIN_CHECK(_vertexBufferP->Unlock());
}

// ---------------------------------------------------------------- points

long _primVertexSetDotPoly::Init(const _primVertexDefSet *aVertexDefP, long aTexStageNum, DWORD aTransmission)
{
    (void)aTexStageNum;
    return _InitCopy(aVertexDefP, false, aTransmission);
}

void _primVertexSetDotPoly::Draw(void)
{
    IDirect3DDevice7 *dev = _dev();
    if (dev && _vertexBufferP) {
        sDrawCountDraw(D3DPT_POINTLIST, (DWORD)_vertexNum, 0);
        DEBUGWIN_CHECK(dev->DrawPrimitiveVB(D3DPT_POINTLIST, _vertexBufferP, 0, (DWORD)_vertexNum, 0));
    }
}

// ---------------------------------------------------------------- primitive

_primPrimitive::_primPrimitive()
    : _kind(PrimitiveKindNil), _status(0), _texStageNum(0), _texInfoP(nullptr), _vertexSetNum(0),
      _vertexSetPP(nullptr)
{
}

_primPrimitive::_primPrimitive(const _primVertexDefSet *aVertexDefP, long aVertexDefNum, long aTexStageNum,
                               _textureSet *aTexSetP, DWORD aTransmission)
    : _primPrimitive()
{
    Init(aVertexDefP, aVertexDefNum, aTexStageNum, aTexSetP, aTransmission);
}

_primPrimitive::~_primPrimitive()
{
    _Release();
}

void _primPrimitive::_Release(void)
{
    for (long i = 0; i < _vertexSetNum && _vertexSetPP; ++i)
        delete _vertexSetPP[i];
    delete[] _vertexSetPP;
    _vertexSetPP = nullptr;
    _vertexSetNum = 0;
    delete[] _texInfoP;
    _texInfoP = nullptr;
    _texStageNum = 0;
    _status = 0;
}

long _primPrimitive::Init(const _primVertexDefSet *aVertexDefP, long aVertexDefNum, long aTexStageNum,
                          _textureSet *aTexSetP, DWORD aTransmission)
{
    _Release();
    _kind = PrimitiveKindNil;
    if (aTransmission & PRIM_TRANS_BUMP)
        _kind = PrimitiveKindBumpMap;
    if (aTransmission & PRIM_TRANS_ENV)
        _kind = PrimitiveKindEnvMap;
    if (aTransmission & PRIM_TRANS_DOTPOLY)
        _kind = PrimitiveKindDotPoly;
    ChangeTexture(aTexStageNum, aTexSetP);
    if (aVertexDefNum < 0 || (aVertexDefNum > 0 && !aVertexDefP)) {
        _error("頂点定義セットが壊れている");
        return -1;
    }
    if (aVertexDefNum > 0) {
        _vertexSetPP = new (std::nothrow) _primVertexSetBase *[aVertexDefNum]();
        if (!_vertexSetPP)
            return -1;
    }
    _vertexSetNum = aVertexDefNum;
    long result = 0;
    for (long i = 0; i < _vertexSetNum; ++i) {
        _primVertexSetBase *set;
        switch (_kind) {
        case PrimitiveKindBumpMap:
            set = new (std::nothrow) _primVertexSetBump;
            break;
        case PrimitiveKindEnvMap:
            set = new (std::nothrow) _primVertexSetEnv;
            break;
        case PrimitiveKindDotPoly:
            set = new (std::nothrow) _primVertexSetDotPoly;
            break;
        default:
            set = new (std::nothrow) _primVertexSet;
            break;
        }
        _vertexSetPP[i] = set;
        if (!set || set->Init(&aVertexDefP[i], aTexStageNum, aTransmission) != 0)
            result = -1;
    }
    _status |= PRIM_STAT_INIT;
    return result;
}

void _primPrimitive::ChangeTexture(long aTexStageNum, _textureSet *aTexSetP)
{
    delete[] _texInfoP;
    _texInfoP = nullptr;
    _texStageNum = 0;
    _status &= ~(DWORD)PRIM_STAT_PROJECTED;
    if (aTexStageNum <= 0 || !aTexSetP)
        return;
    _texInfoP = new (std::nothrow) _primitiveTexInfo[aTexStageNum];
    if (!_texInfoP)
        return;
    _texStageNum = aTexStageNum;
    for (long i = 0; i < aTexStageNum; ++i) {
        _textureSet &set = aTexSetP[i];
        _primitiveTexInfo &t = _texInfoP[i];
        t.texNum = sPrimEntryTexSet(&set);
        t.texFlg = set.texFlg;
        t.texUVIndex = (long)(int32_t)set.texUVIndex;
        t.texOp = set.texOp, t.texArg1 = set.texArg1, t.texArg2 = set.texArg2;
        t.alphaOp = set.alphaOp, t.alphaArg1 = set.alphaArg1, t.alphaArg2 = set.alphaArg2;
        t.uRate = t.vRate = 1.0f;
        if (set.pageInfo.refNum != -1)
            _status |= PRIM_STAT_PROJECTED;
    }
}

void _primPrimitive::Draw(void)
{
    IDirect3DDevice7 *dev = _dev();
    if (!(_status & PRIM_STAT_INIT) || !dev)
        return;
    if (_texStageNum <= 0) {
        for (DWORD s = 0; s < 3; ++s)
            sDrawSetStage(s, DRAW_STAGE_OFF);
        for (long k = 0; k < _vertexSetNum; ++k)
            if (_vertexSetPP[k])
                _vertexSetPP[k]->Draw();
        return;
    }
    // Materials with more stages than the device blends at once take several passes.
    const long limit = sPrimGetStageLimit();
    for (long i = 0, j = 0; i < _texStageNum; ++i, ++j) {
        const _primitiveTexInfo &t = _texInfoP[i];
        if (_texInfo *info = sTexGetInfoPtr(t.texNum)) {
            if (IDirectDrawSurface7 *suf = sTexGetSurfacePtr(info->pageNum)) {
                sDrawSetTexture((DWORD)j, suf);
                sDrawSetStageState((DWORD)j, D3DTSS_TEXCOORDINDEX, (DWORD)(t.texUVIndex < 0 ? i : t.texUVIndex));
                sDrawSetStageState((DWORD)j, D3DTSS_COLOROP, t.texOp);
                sDrawSetStageState((DWORD)j, D3DTSS_COLORARG1, t.texArg1);
                sDrawSetStageState((DWORD)j, D3DTSS_COLORARG2, t.texArg2);
                sDrawSetStageState((DWORD)j, D3DTSS_ALPHAOP, t.alphaOp);
                sDrawSetStageState((DWORD)j, D3DTSS_ALPHAARG1, t.alphaArg1);
                sDrawSetStageState((DWORD)j, D3DTSS_ALPHAARG2, t.alphaArg2);
            }
        } else {
            sDrawSetStage((DWORD)j, DRAW_STAGE_OFF);
        }
        if (sPrimStageEndsPass(i, j, _texStageNum, limit)) {
            if (j < 7)
                sDrawSetStage((DWORD)j + 1, DRAW_STAGE_OFF);
            for (long k = 0; k < _vertexSetNum; ++k)
                if (_vertexSetPP[k])
                    _vertexSetPP[k]->Draw();
            j = -1;
        }
    }
}

void _primPrimitive::Update(const D3DMATRIX *aWorldMatrixP)
{
    if (!(_status & PRIM_STAT_INIT))
        return;
    for (long k = 0; k < _vertexSetNum; ++k)
        if (_vertexSetPP[k])
            _vertexSetPP[k]->Update(aWorldMatrixP, _texStageNum, _texInfoP, _status);
}

void _primPrimitive::SpotLightDraw(const D3DMATRIX *aWorldMatrixP, const _spotLightInfo *aSpotInfoP)
{
    if (!(_status & PRIM_STAT_INIT))
        return;
    for (long k = 0; k < _vertexSetNum; ++k)
        if (_vertexSetPP[k])
            _vertexSetPP[k]->SpotLightDraw(aWorldMatrixP, aSpotInfoP);
}

void _primPrimitive::Morph(float aRate)
{
    if (!(_status & PRIM_STAT_INIT))
        return;
    for (long k = 0; k < _vertexSetNum; ++k)
        if (_vertexSetPP[k])
            _vertexSetPP[k]->Morph(aRate);
}

void _primPrimitive::MulUVRate(const float *aURateP, const float *aVRateP)
{
    if (!(_status & PRIM_STAT_INIT))
        return;
    for (long k = 0; k < _vertexSetNum; ++k)
        if (_vertexSetPP[k])
            _vertexSetPP[k]->MulUVRate(_texStageNum, aURateP, aVRateP);
}
