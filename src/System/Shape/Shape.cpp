#include "System/Shape/Shape.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "Library/Matrix/MATLIB.h"
#include "Common/DEBUGWIN.h"
#include "System/Texture/TEXMAN.h"

static void _error(const char *aMsgP)
{
    sDebugWinPrintMsg(aMsgP);
}

// ---------------------------------------------------------------- the light passes' view of a shape

static uint32_t _opStatus(_shape *aShapeP)
{
    return aShapeP->GetStatus();
}

static const D3DMATRIX *_opWorld(_shape *aShapeP)
{
    return &aShapeP->GetCoordPtr()->world;
}

static const D3DVECTOR *_opBox(_shape *aShapeP)
{
    return aShapeP->GetBox();
}

static long _opDraw(_shape *aShapeP, uint16_t aDrawFlg, const D3DMATRIX *aMatP)
{
    aShapeP->Draw(aDrawFlg, aMatP);
    return 0;
}

static long _opSpotLightDraw(_shape *aShapeP, _spotLightInfo *aInfoP)
{
    aShapeP->SpotLightDraw(aInfoP);
    return 0;
}

static const bool _opsSet = [] {
    const _drawShapeOps ops = {_opStatus, _opWorld, _opBox, _opDraw, _opSpotLightDraw};
    sDrawSetShapeOps(&ops);
    return true;
}();

// ---------------------------------------------------------------- life

_shape::_shape()
    : _status(0), _abilityNum(0), _abilityP(nullptr), _shadowCastP(nullptr), _shadowReceiveP(nullptr),
      _effectP(nullptr), _vertexCnt(0), _polyCnt(0)
{
    (void)_opsSet;
    sCoordInit(nullptr, &_coord);
    std::memset(_boxA, 0, sizeof _boxA);
}

_shape::_shape(_shapeDef *aShapeDefP, DWORD aShadowOption) : _shape()
{
    Init(aShapeDefP, aShadowOption);
}

_shape::~_shape()
{
    _Release();
}

void _shape::_Release(void)
{
    delete[] _abilityP;
    _abilityP = nullptr;
    _abilityNum = 0;
    std::free(_shadowCastP);
    _shadowCastP = nullptr;
    delete _shadowReceiveP;
    _shadowReceiveP = nullptr;
    delete _effectP;
    _effectP = nullptr;
    _status = 0;
}

long _shape::Init(_shapeDef *aShapeDefP, DWORD aShadowOption)
{
    _Release();
    sCoordInit(nullptr, &_coord);
    if (!aShapeDefP)
        return -1;
    const _shapeDef &d = *aShapeDefP;
    if (d.abilityDefNum < 0 || (d.abilityDefNum > 0 && !d.abilityDefP)) {
        _error("シェイプ定義が壊れている");
        return -1;
    }
    // Run-time bits never come from a definition.
    _status = sShapeStatusWithOptions(d.shapeStatus, aShadowOption) & ~(DWORD)(SHAPE_STAT_INIT | SHAPE_STAT_DISSOLVED);
    if (d.abilityDefNum > 0) {
        _abilityP = new (std::nothrow) _ability[d.abilityDefNum];
        if (!_abilityP) {
            _status = 0;
            return -1;
        }
    }
    _abilityNum = d.abilityDefNum;

    if (_status & SHAPE_STAT_RECEIVER) {
        ShadowReceive r;
        if (sShapeReceivePlane(&d, &r) == 0)
            _shadowReceiveP = new (std::nothrow) ShadowReceive(r);
    }
    const DWORD transmission = (_status & SHAPE_STAT_SHADOWVOL) ? (DWORD)PRIM_TRANS_SHADOWVOL : 0;
    if ((_status & SHAPE_STAT_CASTSHADOW) && d.shadowCastDefP) {
        const _shadowCastDef &c = *d.shadowCastDefP;
        _shadowCastP = (_shadowCast *)std::calloc(1, sizeof(_shadowCast));
        if (_shadowCastP) {
            _shadowCastP->texNum = sTexPageEntry(c.fileNameP ? c.fileNameP : "", "", 1, c.color, 1.0f, nullptr);
            _shadowCastP->sizeU = (float)c.sizeU;
            _shadowCastP->sizeV = (float)c.sizeV;
            _shadowCastP->lightMask = c.lightMask;
        }
    }
    if (d.effectDefP) {
        const _shapeEffectDef &e = *d.effectDefP;
        _effectP = new (std::nothrow) ShapeEffect();
        if (_effectP) {
            _effectP->option = e.option;
            _effectP->glowBlend = e.glowBlend;
            _effectP->glowCnt = e.glowCnt;
            _effectP->glowScale = e.glowScale;
            _effectP->glowColor = e.glowColor;
            _effectP->glowEmissive = e.glowEmissive;
            _effectP->blurBlend = e.blurBlend;
            _effectP->blurCnt = e.blurCnt;
            _effectP->blurFrameRate = e.blurFrameRate;
            _effectP->blurAlphaBias = e.blurAlphaBias;
            _effectP->blurEmissive = e.blurEmissive;
        }
    }
    sShapeBoxCorners(&d, _boxA);
    long result = 0;
    for (long i = 0; i < _abilityNum; ++i)
        if (_abilityP[i].Init(d.abilityDefP[i], transmission) != 0)
            result = -1;
    _vertexCnt = d.vertexCnt;
    _polyCnt = d.polyCnt;
    _status |= SHAPE_STAT_INIT;
    return result;
}

void _shape::SetEffectPtr(ShapeEffect *aEffectP)
{
    if (aEffectP == _effectP)
        return;
    delete _effectP;
    _effectP = aEffectP;
}

// ---------------------------------------------------------------- per frame

void _shape::MakeLocalMatrix(void)
{
    sCoordMakeLocalMatrixAuto(&_coord);
}

void _shape::Update(void)
{
    // The node's world matrix still holds the previous frame's placement.
    if (_effectP)
        sShapeSaveState(_effectP, &_coord.world);
    sCoordUpdate(&_coord);
    if (_status & SHAPE_STAT_INIT)
        for (long i = 0; i < _abilityNum; ++i)
            _abilityP[i].Update(&_coord.world);
    if ((_status & SHAPE_STAT_CASTSHADOW) && _shadowCastP)
        sDrawEntryShadowCast(&_coord, _shadowCastP->sizeU, _shadowCastP->sizeV, _shadowCastP->texNum);
}

void _shape::ConnectCoordSuper(struct _coord *aSuperP)
{
    _coord.superP = aSuperP;
    _coord.flg |= COORD_FLG_DIRTY;
}

void _shape::ChangeTexture(long aAbilityNum, long aTexStageNum, _textureSet *aTexSetP)
{
    if (!(_status & SHAPE_STAT_INIT))
        return;
    if (aAbilityNum == -1) {
        for (long i = 0; i < _abilityNum; ++i)
            _abilityP[i].ChangeTexture(aTexStageNum, aTexSetP);
    } else if (aAbilityNum >= 0 && aAbilityNum < _abilityNum) {
        _abilityP[aAbilityNum].ChangeTexture(aTexStageNum, aTexSetP);
    }
}

void _shape::Dissolve(float aRate)
{
    if (!(_status & SHAPE_STAT_INIT))
        return;
    if (aRate >= 1.0f) {
        _status |= SHAPE_STAT_DISSOLVED;
        return;
    }
    _status &= ~(DWORD)SHAPE_STAT_DISSOLVED;
    for (long i = 0; i < _abilityNum; ++i) {
        if (aRate > 0.0f)
            _abilityP[i].ChangeAlpha(1, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, 1.0f - aRate);
        else
            _abilityP[i].ChangeAlpha(0, D3DBLEND_ONE, D3DBLEND_ONE, 1.0f);
    }
}

void _shape::Morph(float aRate)
{
    for (long i = 0; i < _abilityNum; ++i)
        _abilityP[i].Morph(aRate);
}

void _shape::SetDiffuse(long aAbilityNum, const D3DCOLORVALUE &aColor)
{
    if (aAbilityNum >= 0 && aAbilityNum < _abilityNum)
        _abilityP[aAbilityNum].SetDiffuse(aColor);
}

// ---------------------------------------------------------------- drawing

static void _cameraMatrices(D3DMATRIX *aViewP, D3DMATRIX *aProjP)
{
    if (drawMan.cameraP) {
        *aViewP = drawMan.cameraP->GetViewMatrix();
        *aProjP = drawMan.cameraP->GetProjMatrix();
    } else {
        sMatrixCreateUnit(aViewP);
        sMatrixCreateUnit(aProjP);
    }
}

void _shape::Draw(DWORD aDrawFlg, const D3DMATRIX *aMatrixP)
{
    IDirect3DDevice7 *dev = drawMan.d3dDevP;
    if ((_status & SHAPE_STAT_DISSOLVED) || !(_status & SHAPE_STAT_INIT) || !dev)
        return;
    D3DMATRIX view, proj, world;
    _cameraMatrices(&view, &proj);
    if (aMatrixP)
        world = *aMatrixP;
    else if (_status & SHAPE_STAT_BILLBOARD)
        sShapeBillboardMatrix(&_coord.world, &view, _coord.nowStat.rz, &world);
    else
        world = _coord.world;
    if (!(aDrawFlg & ShapeDrawFlgNoBoundingBox)) {
        const long visible = (aDrawFlg & ShapeDrawFlgBoundingBoxLoose) ? sMatrixCheckBoxLoose(&world, &view, &proj, _boxA)
                                                                       : sMatrixCheckBox(&world, &view, &proj, _boxA);
        if (!visible)
            return;
    }
    if ((aDrawFlg & ShapeDrawFlgAlpha) && _effectP && (_effectP->option & EffectOptionsBlur))
        for (long i = 0; i < _abilityNum; ++i)
            _drawBlur(&_abilityP[i], &_coord, aDrawFlg, _effectP);
    if ((aDrawFlg & ShapeDrawFlgAlpha) && _effectP && (_effectP->option & EffectOptionsGlow))
        for (long i = 0; i < _abilityNum; ++i)
            _drawGlow(&_abilityP[i], &world, aDrawFlg, _effectP);
    sDrawSetTransform(D3DTRANSFORMSTATE_WORLD, &world);
    for (long i = 0; i < _abilityNum; ++i)
        _abilityP[i].Draw(aDrawFlg);
    // Once a frame, with the opaque pass: a second pass would darken the shadows twice.
    if (!(aDrawFlg & ShapeDrawFlgShadowReceive) && (aDrawFlg & ShapeDrawFlgNil) && (_status & SHAPE_STAT_RECEIVER) &&
        _shadowReceiveP)
        _shadowReceive();
}

void _shape::SpotLightDraw(_spotLightInfo *aSpotP)
{
    IDirect3DDevice7 *dev = drawMan.d3dDevP;
    if (!(_status & SHAPE_STAT_INIT) || !dev)
        return;
    sDrawSetTransform(D3DTRANSFORMSTATE_WORLD, &_coord.world);
    for (long i = 0; i < _abilityNum; ++i)
        _abilityP[i].SpotLightDraw(&_coord.world, aSpotP);
}

void _shape::_shadowReceive(void)
{
    D3DMATERIAL7 mtrl = {};
    mtrl.diffuse.r = mtrl.diffuse.g = mtrl.diffuse.b = 1.0f;
    mtrl.diffuse.a = 0.8f;
    mtrl.ambient = mtrl.diffuse;
    sDrawSetMaterial(&mtrl);
    _drawStateScope scope;
    sDrawOpenStates(&scope);
    // The receiver's pixels are multiplied by the shadow's alpha, 0.8.
    sDrawSetState(D3DRENDERSTATE_SHADEMODE, D3DSHADE_FLAT);
    sDrawSetState(D3DRENDERSTATE_FILLMODE, D3DFILL_SOLID);
    sDrawSetState(D3DRENDERSTATE_ZENABLE, TRUE);
    sDrawSetState(D3DRENDERSTATE_ZWRITEENABLE, FALSE);
    sDrawSetBlend(DRAW_BLEND_SHADE);
    sDrawSetState(D3DRENDERSTATE_ZBIAS, 8);
    sDrawSetState(D3DRENDERSTATE_EMISSIVEMATERIALSOURCE, D3DMCS_MATERIAL);
    sDrawSetStage(0, DRAW_STAGE_OFF);

    float plane[4];
    sShapeWorldPlane(_shadowReceiveP, &_coord.world, plane);
    for (int l = 0; l < DRAW_LIGHT_MAX; ++l) {
        _drawLight *light = drawMan.lightP[l];
        if (!light || !light->GetEnable() || light->_shadowType != 1)
            continue;
        const D3DVECTOR &p = light->GetLight()->dvPosition;
        const float lightPos[4] = {p.x, p.y, p.z, 1.0f};
        D3DMATRIX flat;
        _createShadowMatrix(&flat, plane, lightPos);
        for (uint16_t k = 0; k < drawMan.shapeInfoMax; ++k) {
            _shape *caster = drawMan.shapeInfoP[k].shapeP;
            if (!caster || caster == this || !(caster->_status & SHAPE_STAT_CASTER))
                continue;
            D3DMATRIX m;
            sMatrixMul(&caster->_coord.world, &flat, &m);
            caster->Draw(ShapeDrawFlgNotRenderState | ShapeDrawFlgNotMaterial | ShapeDrawFlgShadowReceive, &m);
        }
    }
    sDrawCloseStates(&scope);
}

void _shape::_drawBlur(_ability *aAbilityP, struct _coord *aCoordP, DWORD aDrawFlg, ShapeEffect *aEffectP)
{
    const ShapeEffect &e = *aEffectP;
    if (e.blurCnt == 0)
        return;
    // The copies stand in the world: a node under a parent becomes a root at its world place.
    struct _coord work = *aCoordP;
    if (work.superP) {
        sCoordInit(nullptr, &work);
        sCoordDecomposition(&aCoordP->world, &work.nowStat);
    }
    D3DMATERIAL7 mtrl = {};
    mtrl.diffuse = aAbilityP->GetDiffuse();
    mtrl.emissive = e.blurEmissive.a > 0.0f ? e.blurEmissive : aAbilityP->GetEmissive();
    _abilityRenderState rs = {};
    sPrimGetBlendingMode((long)e.blurBlend, &rs.srcBlend, &rs.destBlend);
    const float step = e.blurAlphaBias / (float)e.blurCnt;
    D3DVECTOR cur;
    cur.x = aCoordP->world._41, cur.y = aCoordP->world._42, cur.z = aCoordP->world._43;

    long idx[SHAPE_SAVE_STAT_NUM];
    D3DVECTOR trans[SHAPE_SAVE_STAT_NUM];
    const bool history = e.blurFrameRate > 0;
    const long n = history ? sShapeBlurHistory(&e, &cur, idx) : sShapeBlurInterp(&e, &cur, trans);
    for (long k = 0; k < n; ++k) {
        const long i = history ? idx[k] : k;
        mtrl.diffuse.a = e.blurAlphaBias - step * (float)i;
        if (history) {
            work.nowStat = e.saveStat[i];
        } else {
            work.nowStat.tx = trans[k].x;
            work.nowStat.ty = trans[k].y;
            work.nowStat.tz = trans[k].z;
        }
        sCoordMakeLocalMatrixAuto(&work);
        sCoordUpdate(&work);
        sDrawSetTransform(D3DTRANSFORMSTATE_WORLD, &work.world);
        aAbilityP->EffectDraw(aDrawFlg, &mtrl, ABL_STAT_ALPHA | ABL_STAT_GOURAUD, &rs, (DWORD)(i < 16 ? 16 - i : 0));
    }
}

// Copies growing about the object's origin in the glow colour, fading outward.
void _shape::_drawGlow(_ability *aAbilityP, const D3DMATRIX *aWorldP, DWORD aDrawFlg, ShapeEffect *aEffectP)
{
    const ShapeEffect &e = *aEffectP;
    D3DMATERIAL7 mtrl = {};
    mtrl.emissive = e.glowEmissive;
    _abilityRenderState rs = {};
    sPrimGetBlendingMode((long)e.glowBlend, &rs.srcBlend, &rs.destBlend);
    float scale, alpha;
    for (long k = 1; sShapeGlowCopy(&e, k, &scale, &alpha); ++k) {
        D3DMATRIX m;
        sMatrixCreateUnit(&m);
        sMatrixScale(&m, scale, scale, scale);
        sMatrixMul(&m, aWorldP, &m);
        sDrawSetTransform(D3DTRANSFORMSTATE_WORLD, &m);
        mtrl.diffuse = e.glowColor;
        mtrl.diffuse.a = alpha;
        aAbilityP->EffectDraw(aDrawFlg, &mtrl, ABL_STAT_ALPHA | ABL_STAT_GOURAUD, &rs, 0);
    }
}
