#include "System/Ability/AbilityCore.h"

bool sAbilityDrawsInPass(uint32_t aStatus, uint32_t aDrawFlg)
{
    const bool alpha = (aStatus & ABL_STAT_ALPHA) != 0;
    if ((aDrawFlg & ShapeDrawFlgNil) && alpha)
        return false;
    if ((aDrawFlg & ShapeDrawFlgAlpha) && !alpha)
        return false;
    return true;
}

void sAbilityStateTable(uint32_t aStatus, uint32_t aSrcBlend, uint32_t aDestBlend,
                        _renderState aTblP[ABL_STATE_TBL_NUM])
{
    const bool alpha = (aStatus & ABL_STAT_ALPHA) != 0;
    const _renderState tbl[ABL_STATE_TBL_NUM] = {
        {ABL_RS_SHADEMODE, (aStatus & ABL_STAT_GOURAUD) ? ABL_SHADE_GOURAUD : ABL_SHADE_FLAT},
        {ABL_RS_CULLMODE, (aStatus & ABL_STAT_TWOSIDE) ? ABL_CULL_NONE : ABL_CULL_CCW},
        {ABL_RS_COLORKEYENABLE, (aStatus & ABL_STAT_COLORKEY) ? 1u : 0u},
        {ABL_RS_SPECULARENABLE, (aStatus & ABL_STAT_SPECULAR) ? 1u : 0u},
        {ABL_RS_ALPHABLENDENABLE, alpha ? 1u : 0u},
        {ABL_RS_ZWRITEENABLE, alpha ? 0u : 1u},
        {ABL_RS_SRCBLEND, alpha ? aSrcBlend : 2u},
        {ABL_RS_DESTBLEND, alpha ? aDestBlend : 1u},
    };
    for (int i = 0; i < ABL_STATE_TBL_NUM; ++i)
        aTblP[i] = tbl[i];
}

uint32_t sAbilityTransmission(uint32_t aStatus, uint32_t aShapeTransmission)
{
    uint32_t t = aShapeTransmission;
    if (aStatus & ABL_STAT_BUMP)
        t |= PRIM_TRANS_BUMP;
    if (aStatus & ABL_STAT_ENV)
        t |= PRIM_TRANS_ENV;
    if (aStatus & ABL_STAT_DOTPOLY)
        t |= PRIM_TRANS_DOTPOLY;
    return t;
}

void sAbilityChangeAlpha(uint32_t *aStatusP, D3DMATERIAL7 *aMaterialP, _abilityRenderState *aRenderP,
                         float aAuthoredAlpha, long aAlphaFlg, uint32_t aSrcBlend, uint32_t aDestBlend,
                         float aAlphaVal)
{
    const bool authoredOpaque = aAuthoredAlpha >= 1.0f;
    if (aAlphaFlg) {
        if (authoredOpaque) {
            *aStatusP |= ABL_STAT_ALPHA;
            aRenderP->srcBlend = aSrcBlend;
            aRenderP->destBlend = aDestBlend;
        }
        aMaterialP->diffuse.a = aAuthoredAlpha * aAlphaVal;
    } else if (authoredOpaque) {
        *aStatusP &= ~(uint32_t)ABL_STAT_ALPHA;
        aMaterialP->diffuse.a = 1.0f;
    } else {
        aMaterialP->diffuse.a = aAuthoredAlpha;
    }
}
