#ifndef KESTREL_APP_LIGHTNING_LIGHTNING_H
#define KESTREL_APP_LIGHTNING_LIGHTNING_H

// Lightning bolts between thandNNa/thandNNb shape pairs: five shaking additive ribbons per bolt,
// drawn in screen space between the two shapes as the scene moves them.

#include <windows.h>
#include <d3d.h>

#include <cstdint>

#include "App/Lightning/LightningCore.h"
#include "App/Scene/SceneCore.h"

class Scene;

enum : uint16_t { LIGHTNING_STAT_READY = 0x1 };

class _lightning {
public:
    _lightning();
    ~_lightning();
    // 1, or 0 with the bolt left not ready.
    long Init(Scene *aSceneP, long aStartNum, long aEndNum, float aPolyWidth, long aVertexHeightCnt);
    void Run(void);
    void Draw(void);
    // Buffer and texture (again, after a device reset); 1 or 0.
    long Rest(void);
    void Release(void);

    _lightning *_nextP;
    Scene *_sceneP;
    int16_t _startNum, _endNum;
    uint16_t _status;
    int16_t _indexCnt, _vertexCnt, _polyCnt, _faceCnt;
    int16_t _vertexWidthCnt, _vertexHeightCnt, _divCnt;
    float _raitioDisp;
    float _polyWidthRange, _polyHeightRange;
    float _thunderWidth, _thunderWidthMax;
    _thund *_thunderBaseP;
    _thund *_thunderWorkP[LIGHTNING_STRAND_NUM];
    uint16_t *_indexP;
    IDirect3DVertexBuffer7 *_vertexBufferP;
    IDirectDrawSurface7 *_textureP;

private:
    // Both ends' world positions when both shapes are there and neither is dissolving.
    long _ends(D3DVECTOR *aP1P, D3DVECTOR *aP2P);
};

extern _lightning *_lightningEffectListP;

// Rebuilds the bolt list from the shape names of a scene definition; called while a scene loads.
void LightningLoad(const _sceneDef *aSceneDefP, long aShapeCnt);

// Scene callbacks of the lightning scenes (through the combined effect).
void LightningSceneInit(Scene *aSceneP, const _lightningAllScnTable *aScnTblP);
void LightningSceneExec(void);
void LightningSceneDraw(void);
void LightningSceneExit(void);
void LightningSceneRest(void);

#endif
