#ifndef KESTREL_SYSTEM_ABILITY_ABILITYCORE_H
#define KESTREL_SYSTEM_ABILITY_ABILITYCORE_H

// The rules of an ability that need no device: in which pass it draws, the render states its
// status stands for, the transmission word for its primitive and the alpha changes of fades.

#include <cstdint>

#include "Common/SceneDef.h"
#include "Common/D3DTYPES.h"
#include "System/Primitive/PrimitiveCore.h"

// Ability status bits.
enum : uint32_t {
    ABL_STAT_ALPHA = 0x1,      // translucent: blended, no Z writes, translucent pass
    ABL_STAT_GOURAUD = 0x2,
    ABL_STAT_BUMP = 0x4,       // DOT3 bump-mapped geometry
    ABL_STAT_ENV = 0x8,        // sphere environment-mapped geometry
    ABL_STAT_TWOSIDE = 0x10,   // no culling
    ABL_STAT_SPECULAR = 0x20,
    ABL_STAT_COLORKEY = 0x40,
    ABL_STAT_DOTPOLY = 0x80,   // point geometry
    ABL_STAT_INIT = 0x10000,
};

// Render-state numbers and values the ability sets (the Direct3D 7 values).
enum : uint32_t {
    ABL_RS_ZENABLE = 7,
    ABL_RS_FILLMODE = 8,
    ABL_RS_SHADEMODE = 9,
    ABL_RS_ZWRITEENABLE = 14,
    ABL_RS_ALPHATESTENABLE = 15,
    ABL_RS_SRCBLEND = 19,
    ABL_RS_DESTBLEND = 20,
    ABL_RS_CULLMODE = 22,
    ABL_RS_ZFUNC = 23,
    ABL_RS_ALPHABLENDENABLE = 27,
    ABL_RS_SPECULARENABLE = 29,
    ABL_RS_COLORKEYENABLE = 41,
    ABL_RS_ZBIAS = 47,
    ABL_RS_LIGHTING = 137,
    ABL_RS_EMISSIVEMATERIALSOURCE = 148,
};
enum : uint32_t { ABL_SHADE_FLAT = 1, ABL_SHADE_GOURAUD = 2, ABL_CULL_NONE = 1, ABL_CULL_CCW = 3 };
enum { ABL_RENDSTAT_NUM = 5, ABL_STATE_TBL_NUM = 8 };

// The ability's extra render states and its blend factors for the translucent pass.
struct _abilityRenderState {
    _renderState rendStat[ABL_RENDSTAT_NUM];  // type 0: empty entry
    uint32_t srcBlend;
    uint32_t destBlend;
};

// False when the pass flags of aDrawFlg exclude an ability of status aStatus: opaque abilities
// skip the translucent pass (2), translucent ones the opaque pass (1).
bool sAbilityDrawsInPass(uint32_t aStatus, uint32_t aDrawFlg);

// The render states of _SetRenderState in the order they are set: shade mode, cull mode,
// colour key, specular, alpha blending, Z writes, source and destination blend.
void sAbilityStateTable(uint32_t aStatus, uint32_t aSrcBlend, uint32_t aDestBlend,
                        _renderState aTblP[ABL_STATE_TBL_NUM]);

// The primitive's transmission word: the shape's bits plus the geometry kind of the status.
uint32_t sAbilityTransmission(uint32_t aStatus, uint32_t aShapeTransmission);

// Fades: aAlphaFlg != 0 makes an authored-opaque ability translucent with the given blend and
// scales the diffuse alpha by aAlphaVal; 0 returns it to what was authored.
void sAbilityChangeAlpha(uint32_t *aStatusP, D3DMATERIAL7 *aMaterialP, _abilityRenderState *aRenderP,
                         float aAuthoredAlpha, long aAlphaFlg, uint32_t aSrcBlend, uint32_t aDestBlend,
                         float aAlphaVal);

#endif
