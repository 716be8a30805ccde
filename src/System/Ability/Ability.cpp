#include "System/Ability/Ability.h"

#include <cstring>

#include "Common/DEBUGWIN.h"
#include "System/Draw/DrawMan.h"

// The portable rules name the render states by number.
#define _SAME(n) static_assert((uint32_t)ABL_RS_##n == (uint32_t)D3DRENDERSTATE_##n, #n)
_SAME(SHADEMODE);
_SAME(CULLMODE);
_SAME(COLORKEYENABLE);
_SAME(SPECULARENABLE);
_SAME(ALPHABLENDENABLE);
_SAME(ZWRITEENABLE);
_SAME(SRCBLEND);
_SAME(DESTBLEND);
_SAME(ZBIAS);
_SAME(ZFUNC);
_SAME(LIGHTING);
_SAME(ZENABLE);
_SAME(FILLMODE);
_SAME(ALPHATESTENABLE);
_SAME(EMISSIVEMATERIALSOURCE);
#undef _SAME

_ability::_ability() : _status(0), _material(), _alphaVal(0.0f), _ablRenderState(), _primitive(), _saveState()
{
    _material.diffuse.r = _material.diffuse.g = _material.diffuse.b = _material.diffuse.a = 1.0f;
    _material.ambient = _material.diffuse;
}

_ability::_ability(const _abilityDef *aAblDefP, DWORD aTransmission) : _ability()
{
    Init(aAblDefP, aTransmission);
}

long _ability::Init(const _abilityDef *aAblDefP, DWORD aTransmission)
{
    if (!aAblDefP)
        return -1;
    const _abilityDef &d = *aAblDefP;
    _status = d.abilityStatus;
    _material = d.material;
    _alphaVal = d.material.diffuse.a;
    std::memcpy(_ablRenderState.rendStat, d.rendStat, sizeof _ablRenderState.rendStat);
    _ablRenderState.srcBlend = d.srcBlend;
    _ablRenderState.destBlend = d.destBlend;
    const long result = _primitive.Init(d.vertexDefSetP, d.vertexDefSetNum, d.texStageNum, d.texSetP,
                                        sAbilityTransmission(_status, aTransmission));
    _status |= ABL_STAT_INIT;
    return result;
}

void _ability::_SetRenderState(DWORD aStatus, DWORD aSrcBlend, DWORD aDestBlend)
{
    _renderState tbl[ABL_STATE_TBL_NUM];
    sAbilityStateTable(aStatus, aSrcBlend, aDestBlend, tbl);
    for (const _renderState &rs : tbl)
        sDrawSetState((D3DRENDERSTATETYPE)rs.type, rs.state);
}

void _ability::Draw(DWORD aDrawFlg)
{
    IDirect3DDevice7 *dev = drawMan.d3dDevP;
    if (!(_status & ABL_STAT_INIT) || !dev || !sAbilityDrawsInPass(_status, aDrawFlg))
        return;
    if (!(aDrawFlg & ShapeDrawFlgNotMaterial))
        sDrawSetMaterial(&_material);
    if (!(aDrawFlg & ShapeDrawFlgNotRenderState))
        _SetRenderState(_status, _ablRenderState.srcBlend, _ablRenderState.destBlend);
    const _renderState *rs = _ablRenderState.rendStat;
    for (int i = 0; i < ABL_RENDSTAT_NUM; ++i) {
        if (rs[i].type == 0)
            continue;
        _saveState[i] = sDrawGetState((D3DRENDERSTATETYPE)rs[i].type);
        sDrawSetState((D3DRENDERSTATETYPE)rs[i].type, rs[i].state);
    }
    _primitive.Draw();
    // Restored in reverse so that an entry repeated in the table ends at the first saved value.
    for (int i = ABL_RENDSTAT_NUM - 1; i >= 0; --i)
        if (rs[i].type != 0)
            sDrawSetState((D3DRENDERSTATETYPE)rs[i].type, _saveState[i]);
}

void _ability::EffectDraw(DWORD aDrawFlg, D3DMATERIAL7 *aMaterialP, DWORD aStatus,
                          const _abilityRenderState *aRenderP, DWORD aZbias)
{
    IDirect3DDevice7 *dev = drawMan.d3dDevP;
    if (!(_status & ABL_STAT_INIT) || !dev || !aMaterialP || !aRenderP || !sAbilityDrawsInPass(aStatus, aDrawFlg))
        return;
    _SetRenderState(aStatus, aRenderP->srcBlend, aRenderP->destBlend);
    sDrawSetState(D3DRENDERSTATE_ZBIAS, aZbias);
    sDrawSetMaterial(aMaterialP);
    _primitive.Draw();
    sDrawSetState(D3DRENDERSTATE_ZBIAS, 0);
}

void _ability::SpotLightDraw(const D3DMATRIX *aWorldMatrixP, const _spotLightInfo *aSpotInfoP)
{
    _primitive.SpotLightDraw(aWorldMatrixP, aSpotInfoP);
}

void _ability::Update(const D3DMATRIX *aWorldMatrixP)
{
    _primitive.Update(aWorldMatrixP);
}

void _ability::ChangeTexture(long aTexStageNum, _textureSet *aTexSetP)
{
    _primitive.ChangeTexture(aTexStageNum, aTexSetP);
}

void _ability::Morph(float aRate)
{
    _primitive.Morph(aRate);
}

void _ability::ChangeAlpha(long aAlphaFlg, DWORD aSrcBlend, DWORD aDestBlend, float aAlphaVal)
{
    uint32_t status = _status;
    sAbilityChangeAlpha(&status, &_material, &_ablRenderState, _alphaVal, aAlphaFlg, aSrcBlend, aDestBlend,
                        aAlphaVal);
    _status = status;
}
