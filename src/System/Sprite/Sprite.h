#ifndef KESTREL_SYSTEM_SPRITE_SPRITE_H
#define KESTREL_SYSTEM_SPRITE_SPRITE_H

// A sprite: a textured rectangle of four pre-transformed vertices. A screen sprite is placed by
// fractions of the screen (title cards, overlays, full-screen pictures); a world sprite stands at
// the origin of its node, faces the viewer and takes its size from the node's scale. It shows
// one of its texture patterns at a time.

#include <windows.h>
#include <d3d.h>

#include <cstdint>

#include "Common/SceneDef.h"
#include "Library/Coord/COORDLIB.h"
#include "System/Sprite/SpriteCore.h"

// One pattern: its texture and the stage-0 operations that show it.
struct _spriteTexInfo {
    long texNum;
    DWORD texUVIndex;
    DWORD texOp, texArg1, texArg2;
    DWORD alphaOp, alphaArg1, alphaArg2;
};

class _sprite {
public:
    _sprite();
    _sprite(_spriteDef *aSpriteDefP, struct _coord *aSuperP);
    ~_sprite();
    // 0, or -1 for a missing definition or one without patterns (the sprite never draws).
    long Init(_spriteDef *aSpriteDefP, struct _coord *aSuperP);
    // aMatrixP: the world matrix of a world sprite; null takes the node's.
    void Draw(DWORD aDrawFlg, const D3DMATRIX *aMatrixP);
    void MakeLocalMatrix(void);
    void Update(void);
    void ConnectCoordSuper(struct _coord *aSuperP);
    // 0xFFFFFFFF hides the sprite; a pattern number shows it; anything else changes nothing.
    void CangePattern(DWORD aPatternNum);
    float GetPosH(void) const { return _coord.nowStat.tx; }
    float GetPosV(void) const { return _coord.nowStat.ty; }
    float GetRotate(void) const { return _coord.nowStat.rz; }
    void SetPosX(float aV) { _coord.nowStat.tx = aV; }
    void SetPosY(float aV) { _coord.nowStat.ty = aV; }
    void SetPosZ(float aV) { _coord.nowStat.tz = aV; }
    void SetRotate(float aV) { _coord.nowStat.rz = aV; }
    void SetColor(const D3DCOLORVALUE *aColP);
    void SetScale(float aH, float aV);
    DWORD GetStatus(void) const { return _status; }
    struct _coord *GetCoordPtr(void) { return &_coord; }
    const _spriteTlVertex *GetVertex(void) const { return _vertex; }

    DWORD _status;
    struct _coord _coord;
    DWORD _curInfoNum;
    DWORD _texInfoNum;
    _spriteTexInfo *_texInfoP;
    _spriteTlVertex _vertex[4];  // top-left, top-right, bottom-left, bottom-right
    float _scaleH, _scaleV;
    float _posX[4], _posY[4];
    D3DMATERIAL7 _material;
    DWORD _srcBlend, _destBlend;

private:
    void _calcuPos(const D3DMATRIX *aMatrixP);
    void _camera2screen(const D3DVECTOR *aSrcVecP, D3DVECTOR *aDstVecP);
    // The current pattern's texture info and surface, or false.
    bool _pattern(_texInfo **aInfoPP, IDirectDrawSurface7 **aSufPP) const;

    _sprite(const _sprite &) = delete;
    _sprite &operator=(const _sprite &) = delete;
};

#endif
