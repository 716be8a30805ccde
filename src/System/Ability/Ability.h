#ifndef KESTREL_SYSTEM_ABILITY_ABILITY_H
#define KESTREL_SYSTEM_ABILITY_ABILITY_H

// An ability: one material unit of a shape. A Direct3D material, render-state switches, up to
// five extra render states, blend factors for translucency and the primitive with its geometry
// and texture stages. The shape draws its abilities in an opaque and a translucent pass; each
// ability decides whether it takes part, sets its states, draws and restores its extra states.

#include <windows.h>
#include <d3d.h>

#include <cstdint>

#include "Common/SceneDef.h"
#include "System/Ability/AbilityCore.h"
#include "System/Primitive/Primitive.h"

class _ability {
public:
    _ability();
    _ability(const _abilityDef *aAblDefP, DWORD aTransmission);
    // 0, or -1 for a missing definition or damaged geometry.
    long Init(const _abilityDef *aAblDefP, DWORD aTransmission);
    void Draw(DWORD aDrawFlg);
    // Draws the primitive again with a caller's material, status and blend (glow and blur).
    void EffectDraw(DWORD aDrawFlg, D3DMATERIAL7 *aMaterialP, DWORD aStatus, const _abilityRenderState *aRenderP,
                    DWORD aZbias);
    void SpotLightDraw(const D3DMATRIX *aWorldMatrixP, const _spotLightInfo *aSpotInfoP);
    void Update(const D3DMATRIX *aWorldMatrixP);
    void ChangeTexture(long aTexStageNum, _textureSet *aTexSetP);
    void Morph(float aRate);
    void ChangeAlpha(long aAlphaFlg, DWORD aSrcBlend, DWORD aDestBlend, float aAlphaVal);
    D3DCOLORVALUE GetEmissive(void) const { return _material.emissive; }
    D3DCOLORVALUE GetDiffuse(void) const { return _material.diffuse; }
    void SetDiffuse(const D3DCOLORVALUE &aColor) { _material.diffuse = aColor; }
    DWORD GetStatus(void) const { return _status; }
    _primPrimitive *GetPrimitive(void) { return &_primitive; }

    DWORD _status;
    D3DMATERIAL7 _material;
    float _alphaVal;
    _abilityRenderState _ablRenderState;
    _primPrimitive _primitive;

private:
    void _SetRenderState(DWORD aStatus, DWORD aSrcBlend, DWORD aDestBlend);

    DWORD _saveState[ABL_RENDSTAT_NUM];

    _ability(const _ability &) = delete;
    _ability &operator=(const _ability &) = delete;
};

#endif
