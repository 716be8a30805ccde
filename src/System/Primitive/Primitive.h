#ifndef KESTREL_SYSTEM_PRIMITIVE_PRIMITIVE_H
#define KESTREL_SYSTEM_PRIMITIVE_PRIMITIVE_H

// Primitives: the drawable geometry of one ability. A primitive holds vertex sets, each one
// device vertex buffer built from a vertex definition with its index sets, and the texture-stage
// table shared by all of them. Four kinds of vertex set: plain (projected coordinates, morphs),
// DOT3 bump-mapped, sphere environment-mapped and points. Definitions are read, never owned.

#include <windows.h>
#include <ddraw.h>
#include <d3d.h>

#include <cstdint>

#include "Common/SceneDef.h"
#include "System/Draw/DrawMan.h"
#include "System/Primitive/PrimitiveCore.h"

struct _primIndexSet {
    long _indexNum;
    uint16_t *_indexP;  // the definition's indices
    D3DPRIMITIVETYPE _primitiveType;
};

// One texture stage of the material.
struct _primitiveTexInfo {
    uint32_t texFlg;   // PRIM_TEX_ENVMAP, PRIM_TEX_PROJECTED
    long texNum;       // texture info number, -1 none
    long texUVIndex;   // coordinate set; -1: the stage's own number
    DWORD texOp, texArg1, texArg2;
    DWORD alphaOp, alphaArg1, alphaArg2;
    float uRate, vRate;
};

class _primVertexSetBase {
public:
    _primVertexSetBase();
    virtual ~_primVertexSetBase();
    // 0, or -1 when the definition is missing or damaged (the set then draws nothing).
    virtual long Init(const _primVertexDefSet *aVertexDefP, long aTexStageNum, DWORD aTransmission) = 0;
    virtual void Draw(void) = 0;
    virtual void Update(const D3DMATRIX *aWorldMatrixP, long aTexStageNum, const _primitiveTexInfo *aTexInfoP,
                        DWORD aStatus) = 0;
    virtual void MulUVRate(long aTexStageNum, const float *aURateP, const float *aVRateP) = 0;
    virtual void Morph(float aRate) = 0;

    // The spotlight pass: triangles facing the light, coordinates from its square.
    void SpotLightDraw(const D3DMATRIX *aWorldMatrixP, const _spotLightInfo *aSpotInfoP);

protected:
    // Checks and copies the definition's counts and pointers (index sets when aIndexSetsB).
    long _TakeDef(const _primVertexDefSet *aVertexDefP, bool aIndexSetsB);
    long _CreateVB(void);
    // Copies the definition's vertices into the buffer.
    long _FillVB(void);
    long _CreateShadowWork(void);
    // Init of the sets whose buffer holds the definition's vertices as they are.
    long _InitCopy(const _primVertexDefSet *aVertexDefP, bool aIndexSetsB, DWORD aTransmission);
    void _DrawIndexed(void);
    void _Reject(const char *aMsgP);

    DWORD _defVertexType;  // the definition's format (the bump buffer's differs)

public:
    long _vertexNum;
    void *_vertexP;
    DWORD _vertexType;
    DWORD _morphVertexNum;
    void *_morphVertexP;
    DWORD _morphVertexType;
    IDirect3DVertexBuffer7 *_vertexBufferP;
    long _indexSetNum;
    _primIndexSet *_indexSetP;
    _shadowVol *_shadowVolP;

private:
    _primVertexSetBase(const _primVertexSetBase &) = delete;
    _primVertexSetBase &operator=(const _primVertexSetBase &) = delete;
};

class _primVertexSet : public _primVertexSetBase {
public:
    long Init(const _primVertexDefSet *aVertexDefP, long aTexStageNum, DWORD aTransmission) override;
    void Draw(void) override;
    void Update(const D3DMATRIX *aWorldMatrixP, long aTexStageNum, const _primitiveTexInfo *aTexInfoP,
                DWORD aStatus) override;
    void MulUVRate(long aTexStageNum, const float *aURateP, const float *aVRateP) override;
    void Morph(float aRate) override;
};

class _primVertexSetBump : public _primVertexSetBase {
public:
    _primVertexSetBump() : _normalTblP(nullptr), _rotTblP(nullptr) {}
    ~_primVertexSetBump() override;
    long Init(const _primVertexDefSet *aVertexDefP, long aTexStageNum, DWORD aTransmission) override;
    void Draw(void) override;
    void Update(const D3DMATRIX *aWorldMatrixP, long aTexStageNum, const _primitiveTexInfo *aTexInfoP,
                DWORD aStatus) override;
    void MulUVRate(long, const float *, const float *) override {}
    void Morph(float) override {}

    D3DVECTOR *_normalTblP;

private:
    // Each normal's tangent rotation: the normals never change, so it is made once.
    D3DMATRIX *_rotTblP;
};

class _primVertexSetEnv : public _primVertexSetBase {
public:
    _primVertexSetEnv() : _normalTblP(nullptr) {}
    long Init(const _primVertexDefSet *aVertexDefP, long aTexStageNum, DWORD aTransmission) override;
    void Draw(void) override;
    void Update(const D3DMATRIX *aWorldMatrixP, long aTexStageNum, const _primitiveTexInfo *aTexInfoP,
                DWORD aStatus) override;
    void MulUVRate(long, const float *, const float *) override {}
    void Morph(float) override {}

    D3DVECTOR *_normalTblP;  // not used: the definition's normals serve
};

class _primVertexSetDotPoly : public _primVertexSetBase {
public:
    long Init(const _primVertexDefSet *aVertexDefP, long aTexStageNum, DWORD aTransmission) override;
    void Draw(void) override;
    void Update(const D3DMATRIX *, long, const _primitiveTexInfo *, DWORD) override {}
    void MulUVRate(long, const float *, const float *) override {}
    void Morph(float) override {}
};

enum : DWORD {
    PRIM_STAT_PROJECTED = 0x1,  // a stage projects from a reference object: Update must run
    PRIM_STAT_INIT = 0x10000,
};

class _primPrimitive {
public:
    _primPrimitive();
    _primPrimitive(const _primVertexDefSet *aVertexDefP, long aVertexDefNum, long aTexStageNum,
                   _textureSet *aTexSetP, DWORD aTransmission);
    ~_primPrimitive();
    // 0, or -1 when a vertex set was rejected (the others still draw).
    long Init(const _primVertexDefSet *aVertexDefP, long aVertexDefNum, long aTexStageNum, _textureSet *aTexSetP,
              DWORD aTransmission);
    void Draw(void);
    void Update(const D3DMATRIX *aWorldMatrixP);
    void SpotLightDraw(const D3DMATRIX *aWorldMatrixP, const _spotLightInfo *aSpotInfoP);
    void Morph(float aRate);
    void MulUVRate(const float *aURateP, const float *aVRateP);
    // Registers the texture sets and rebuilds the stage table.
    void ChangeTexture(long aTexStageNum, _textureSet *aTexSetP);

    _primitiveKind _kind;
    DWORD _status;
    long _texStageNum;
    _primitiveTexInfo *_texInfoP;
    long _vertexSetNum;
    _primVertexSetBase **_vertexSetPP;

private:
    void _Release(void);

    _primPrimitive(const _primPrimitive &) = delete;
    _primPrimitive &operator=(const _primPrimitive &) = delete;
};

// Registers a texture set with the texture manager, writes the page and texture numbers back
// into it and returns the texture number (-1 for none).
long sPrimEntryTexSet(_textureSet *aTexSetP);

// Texture stages the device blends at once: from the current device's capability record, else
// from the device itself. A limit above 0 set here replaces both (0 restores them).
long sPrimGetStageLimit(void);
void sPrimSetStageLimit(long aLimit);

#endif
