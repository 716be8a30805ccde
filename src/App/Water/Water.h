#ifndef KESTREL_APP_WATER_WATER_H
#define KESTREL_APP_WATER_WATER_H

// The water surface: a mass-spring net with refraction and sky passes (scene callbacks).

#include <cstdint>

#include "App/Scene/SceneCore.h"
#include "App/Water/WaterCore.h"
#include "Common/D3DTYPES.h"
#include "Library/Maths/MathsLib.h"

class Scene;
struct IDirect3DVertexBuffer7;
struct IDirectDrawSurface7;

class _water {
public:
    _water();
    ~_water();
    // 1, or 0 with the water not ready (no layers could be made).
    long Init(Scene *aSceneP, const D3DVECTOR *aTransP, float aRenge);
    void Release(void);
    // (Re)creates the layers and textures; 0 leaves the water not ready.
    long Rest(void);
    void Run(void);
    void Draw(void);
    void Clic(long aPosX, long aPosY, float aPower);
    // Fastest, slowest and mean spring step in counter ticks, and the step count; all 0 before
    // the first step.
    void GetBenchTime(int64_t *aTimeMinP, int64_t *aTimeMaxP, int64_t *aTimeArvP, int64_t *aLoopCntP);
    uint16_t GetStatus(void) const { return _status; }

private:
    void conputNormal(void);
    void renderScene(void);
    void releaseSurfaces(void);
    void upload(void);
    void _benchBegin(void);
    void _benchEnd(void);

    Scene *_sceneP;
    _waterWaveProc _conWaveP;
    uint16_t _status;
    int16_t _dispZip;
    IDirect3DVertexBuffer7 *_vertexBufferP;
    IDirect3DVertexBuffer7 *_vertexBuffer2P;
    // The layers as the processor keeps them: the step reads its heights from here, and the
    // buffers are only written, once a frame, before they are drawn.
    _waterVertex *_surfP;
    _waterVertex *_skyP;
    IDirectDrawSurface7 *_skyTextureP;
    IDirectDrawSurface7 *_textureP;
    _wave *_waveP;
    uint16_t *_indexP;
    D3DMATERIAL7 _material;
    D3DMATERIAL7 _material2;
    D3DMATRIX _screenMat;
    D3DVECTOR *_normalsP;
    D3DVECTOR _trans;
    float _texRange;
    float _transY;
    float _range;
    float _oppRange;
    float _ratioWidth, _ratioHeight;
    float _rendWidth, _rendHeight;
    _mathsTime _time;
};

extern _water _waterEffect;

// Scene callbacks: (scene, frame number, work area, option words).
void *WaterSceneInit(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP);
void *WaterSceneExec(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP);
void *WaterSceneDraw(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP);
void *WaterSceneExit(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP);
void *WaterSceneRest(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP);

#endif
