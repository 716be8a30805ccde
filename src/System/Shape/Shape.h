#ifndef KESTREL_SYSTEM_SHAPE_SHAPE_H
#define KESTREL_SYSTEM_SHAPE_SHAPE_H

// A shape: one placed 3D object of a scene. Its coordinate node, its abilities (materials and
// geometry), a bounding box for culling, and optional extras: a projected-texture shadow it
// casts, a ground plane receiving flattened shadows of other shapes, and motion blur drawn from
// its recent positions.

#include <windows.h>
#include <d3d.h>

#include <cstdint>

#include "Common/SceneDef.h"
#include "Library/Coord/COORDLIB.h"
#include "System/Ability/Ability.h"
#include "System/Draw/DrawMan.h"
#include "System/Shape/ShapeCore.h"

class _shape {
public:
    _shape();
    _shape(_shapeDef *aShapeDefP, DWORD aShadowOption);
    ~_shape();
    // 0, or -1 for a missing or damaged definition (the shape then stays uninitialised and draws
    // nothing) or for damaged geometry in an ability (that geometry alone is left out).
    long Init(_shapeDef *aShapeDefP, DWORD aShadowOption);
    // aMatrixP replaces the world matrix when given.
    void Draw(DWORD aDrawFlg, const D3DMATRIX *aMatrixP);
    void SpotLightDraw(_spotLightInfo *aSpotP);
    void MakeLocalMatrix(void);
    void Update(void);
    void ConnectCoordSuper(struct _coord *aSuperP);
    // Ability aAbilityNum, or every ability for -1.
    void ChangeTexture(long aAbilityNum, long aTexStageNum, _textureSet *aTexSetP);
    void Dissolve(float aRate);
    void Morph(float aRate);
    // Diffuse colour of ability aAbilityNum (the particles' colour).
    void SetDiffuse(long aAbilityNum, const D3DCOLORVALUE &aColor);

    DWORD GetStatus(void) const { return _status; }
    struct _coord *GetCoordPtr(void) { return &_coord; }
    const D3DVECTOR *GetBox(void) const { return _boxA; }
    ShapeEffect *GetEffectPtr(void) { return _effectP; }
    // The shape owns aEffectP from then on (released with delete).
    void SetEffectPtr(ShapeEffect *aEffectP);
    long GetAbilityNum(void) const { return _abilityNum; }
    _ability *GetAbility(long aNum) { return aNum >= 0 && aNum < _abilityNum ? &_abilityP[aNum] : nullptr; }

    void SetTransX(float aV) { _coord.nowStat.tx = aV; }
    void SetTransY(float aV) { _coord.nowStat.ty = aV; }
    void SetTransZ(float aV) { _coord.nowStat.tz = aV; }
    void SetAngleX(float aV) { _coord.nowStat.rx = aV; }
    void SetAngleY(float aV) { _coord.nowStat.ry = aV; }
    void SetAngleZ(float aV) { _coord.nowStat.rz = aV; }
    void SetScaleX(float aV) { _coord.nowStat.sx = aV; }
    void SetScaleY(float aV) { _coord.nowStat.sy = aV; }
    void SetScaleZ(float aV) { _coord.nowStat.sz = aV; }

    DWORD _status;
    struct _coord _coord;
    long _abilityNum;
    _ability *_abilityP;
    _shadowCast *_shadowCastP;
    ShadowReceive *_shadowReceiveP;
    ShapeEffect *_effectP;
    D3DVECTOR _boxA[8];
    DWORD _vertexCnt;
    DWORD _polyCnt;

private:
    void _Release(void);
    void _drawBlur(_ability *aAbilityP, struct _coord *aCoordP, DWORD aDrawFlg, ShapeEffect *aEffectP);
    void _drawGlow(_ability *aAbilityP, const D3DMATRIX *aWorldP, DWORD aDrawFlg, ShapeEffect *aEffectP);
    void _shadowReceive(void);

    _shape(const _shape &) = delete;
    _shape &operator=(const _shape &) = delete;
};

#endif
