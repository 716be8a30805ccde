#ifndef KESTREL_APP_SCENE_SCENE_H
#define KESTREL_APP_SCENE_SCENE_H

// The scene runtime: one scene definition turned into live shapes, lights, cameras, sprites and
// particle emitters, its music and sound-effect cues, played against the wall clock and drawn in
// a fixed order; and the loading screen shown while a scene loads.

#include <windows.h>

#include <cstdint>

#include "App/Scene/SceneCore.h"

// Effects that find their shapes by name in a definition (pairs, bolts) and keep what they found
// for the scene's callbacks.
typedef void (*_sceneLoadProc)(const _sceneDef *aDefP, long aShapeCnt);

// What a run hands a scene besides its stored records.
struct _sceneRunOpt {
    uint32_t benchOption;      // the run's benchmark option word: Challenge Mode and loop skip the wait
    _sceneLoadProc loadProcP;  // called by Load before the objects are built; null: none
};

class Scene {
public:
    Scene();
    ~Scene();
    Scene(const Scene &) = delete;
    Scene &operator=(const Scene &) = delete;

    // Builds the scene. aDefP, aOptionDefP, aSeDefP and aRunP may be null (no run options, no
    // load hook). aSoundFlg bit 0x1 loads the music "Data\Kss\<aSoundNameP>", bit 0x2 fades it
    // at the end. 0, or E_INVALIDARG when the scene cannot be built (it then stays unloaded).
    // The definition must outlive the Scene.
    long Load(_sceneDef *aDefP, const _sceneOptionDef *aOptionDefP, const char *aSoundNameP,
              const _sceneSeDef *aSeDefP, uint32_t aSoundFlg, const _sceneRunOpt *aRunP = nullptr);
    // Moves the clock to aMilliSeconds (the system's ms timer) and, when the frame advanced,
    // brings every object record to the new frame. The status word.
    uint16_t Frame(uint32_t aMilliSeconds);

    // Push record i into its engine object; an index out of range does nothing. Always 0.
    long SetShape(long aNum);
    long SetLight(long aNum);
    long SetCamera(long aNum);
    long SetSprite(long aNum);
    long SetParticle(long aNum);
    long UpdateShape(long aNum);
    long UpdateSprite(long aNum);
    long UpdateParticle(long aNum);
    long SetIlluminate(void);
    long SetFog(void);
    // Draws the scene into the current back buffer. Always 0.
    long Render(void);

    // Record i, or null when i is not below the count.
    _sceneShape *GetShape(long aNum);
    _sceneLight *GetLight(long aNum);
    _sceneCamera *GetCamera(long aNum);
    _sceneSprite *GetSprite(long aNum);
    _sceneParticle *GetParticle(long aNum);

    uint16_t GetShapeCnt(void) const { return _shapeCnt; }
    uint16_t GetLightCnt(void) const { return _lightCnt; }
    uint16_t GetCameraCnt(void) const { return _cameraCnt; }
    uint16_t GetSpriteCnt(void) const { return _spriteCnt; }
    uint16_t GetParticleCnt(void) const { return _particleCnt; }
    uint16_t GetFrameCnt(void) const { return _frameCnt; }
    uint16_t GetFramePos(void) const { return _framePos; }
    uint16_t GetStatus(void) const { return _status; }
    float GetNear(void) const { return _nearDist; }
    float GetFar(void) const { return _farDist; }
    uint32_t GetBackColor(void) const { return _backColor; }
    uint32_t GetVertexCnt(void) const { return _vertexCnt; }
    uint32_t GetPolygonCnt(void) const { return _polyCnt; }
    long GetFps(void) const { return (long)_fps; }
    double GetCps(void) const { return _cps; }
    void SetCps(double aCps) { _cps = aCps; }
    void SetStatus(uint16_t aStatus) { _status = aStatus; }
    // Only frames below the scene length are taken.
    void SetFramePos(long aFramePos);
    // The clock's last reading (the system's ms timer, as Frame takes it): a run in the background
    // holds its scene by moving this to the present.
    void SetPrevTime(uint32_t aTime) { _prevTime = aTime; }
    // Option word 0-4; others are ignored.
    void SetOptionFlg(long aNum, uint32_t aFlg);

    // The scene's callbacks, when present, with (this, _framePos, _workP, _sceneOptionFlg).
    void CallInit(void);
    void CallExec(void);
    void CallDraw(void);
    void CallExit(void);
    void CallRest(void);

    uint16_t _status;
    uint32_t _prevTime;
    float _addTime;
    uint16_t _framePos;
    uint16_t _frameCnt;
    uint16_t _frameStep;
    float _fps;
    uint16_t _shapeCnt;
    uint16_t _lightCnt;
    uint16_t _cameraCnt;
    uint16_t _spriteCnt;
    uint16_t _particleCnt;
    _sceneShape *_shapeP;
    _sceneLight *_lightP;
    _sceneCamera *_cameraP;
    _sceneSprite *_spriteP;
    _sceneParticle *_particleP;
    _sceneIlluminate _illuminate;
    _sceneFog _fog;
    uint16_t _seCnt;
    _sceneSe *_seP;
    _sceneSe *_curSeP;
    uint32_t _vertexCnt;
    uint32_t _polyCnt;
    float _nearDist;
    float _farDist;
    uint32_t _backColor;
    double _cps;
    uint16_t _workSize;
    uint8_t *_workP;
    _sceneProc _initProcP;
    _sceneProc _execProcP;
    _sceneProc _drawProcP;
    _sceneProc _exitProcP;
    _sceneProc _restProcP;
    uint32_t _sceneOptionFlg[5];

private:
    long _loadObjects(_sceneDef *aDefP, const _sceneOptionDef *aOptionDefP, const _sceneRunOpt *aRunP);
    void _loadSound(const char *aSoundNameP, const _sceneSeDef *aSeDefP, uint32_t aSoundFlg);
    void _keepLoadingScreen(uint32_t aStartTime, uint32_t aWaitTime);
    void _updateRecords(void);
    long _updateMovies(_sceneShape *aShapeP);
    void _callProc(_sceneProc aProcP);
    void _release(void);

    bool _drawHeldB;  // the draw manager's registries and light slots were taken by Load
};

// Performance-counter ticks spent bringing scene records to their frames (the run reads it).
extern int64_t gSceneFrameTime;
// The system's high-resolution performance counter.
int64_t mGetPerformanceCounter(void);

// The loading screen of a scene's options at 0 % and at 10 %.
// Brings every object of the scene to the frame its clock just reached (aStatus is what Frame
// returned) and runs the scene's per-frame callback.
void sceneUpdateAll(Scene *aSceneP, uint16_t aStatus);

void sceneDrawLodingScreen(const _sceneOptionDef *aOptionDefP);
void sceneDrawLodingStart(const _sceneOptionDef *aOptionDefP);

#endif
