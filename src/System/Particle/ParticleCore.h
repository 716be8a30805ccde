#ifndef KESTREL_SYSTEM_PARTICLE_PARTICLECORE_H
#define KESTREL_SYSTEM_PARTICLE_PARTICLECORE_H

// The emitter's pool and motion model without drawing: births around the emitter, speed in a
// spread cone, gravity, flicker, pulls toward the emitter and the birth point, growth, colour
// fade and life. Every random draw is one rand() of the shared C library sequence, in a fixed
// order that scenes rely on after reseeding. _particle (Particle.h) adds the sprite or shape
// that draws the particles.

#include <cstdint>

#include "Common/SceneDef.h"
#include "Library/Coord/COORDLIB.h"
#include "Common/D3DTYPES.h"

enum : uint32_t {
    PARTICLE_STAT_SPRITE = 0x2,    // drawn as sprites (else as quad shapes)
    PARTICLE_STAT_PERIODIC = 0x4,  // one birth every _birthRate frames (else rate x scale)
    PARTICLE_STAT_INIT = 0x10000,
};
enum : uint32_t { PARTICLE_WORK_ALIVE = 0x1 };
enum { PARTICLE_STEP_MAX = 8 };

// rand() in [0, 1]: R x (1 / 32767).
const float PARTICLE_RAND_K = 3.0518509447574615e-05f;

// One draw R of the shared rand() sequence, 0..32767 (the platform's own range; C libraries
// with a wider range are cut to fifteen bits).
int sParticleRand(void);

struct _particleWork {
    uint32_t status;
    _coord coord;  // no parent: position, orientation (facing the camera) and scale
    int32_t lifeCnt;
    D3DVECTOR birthPos;
    D3DVECTOR move;  // velocity per step
    float rotate;
    float scale;     // growth per step
    D3DCOLORVALUE col;
    D3DCOLORVALUE colChange;
    float centripetalForce;
    float birthDirForce;
};

class _particleBase {
public:
    _particleBase();
    virtual ~_particleBase();

    // Advances the simulation to frame aFrameCnt (at most eight steps per call).
    void Move(uint32_t aFrameCnt);
    void Update(void);
    void ResetFrame(void) { _previousFrame = 0; }
    void SetParameter(_particleDef *aParticleDefP);
    void GetParameter(_particleDef *aParticleDefP) const;
    void ConnectCoordSuper(struct _coord *aSuperP);
    struct _coord *GetCoordPtr(void) { return &_coord; }
    uint32_t GetStatus(void) const { return _status; }
    long GetNum(void) const { return _workMax < _num ? _workMax : _num; }
    const _particleWork *GetWork(long aNum) const { return aNum >= 0 && aNum < GetNum() ? &_workP[aNum] : nullptr; }

    void SetTransX(float aV) { _coord.nowStat.tx = aV; }
    void SetTransY(float aV) { _coord.nowStat.ty = aV; }
    void SetTransZ(float aV) { _coord.nowStat.tz = aV; }
    void SetAngleX(float aV) { _coord.nowStat.rx = aV; }
    void SetAngleY(float aV) { _coord.nowStat.ry = aV; }
    void SetAngleZ(float aV) { _coord.nowStat.rz = aV; }
    void SetScaleX(float aV) { _coord.nowStat.sx = aV; }
    void SetScaleY(float aV) { _coord.nowStat.sy = aV; }
    void SetScaleZ(float aV) { _coord.nowStat.sz = aV; }

protected:
    // The emitter without its image: node, parameters, pool. 0, or -1 when the definition is
    // missing or asks for no particles (the emitter then stays uninitialised).
    long _InitMotion(_particleDef *aParticleDefP, struct _coord *aSuperP);
    void _Birth(_particleWork *aWorkP, const _stat3d &aEmitter, const D3DVECTOR &aFacing);
    void _Step(_particleWork *aWorkP, const _stat3d &aEmitter, bool aLastB);

public:
    uint32_t _status;
    struct _coord _coord;
    int32_t _num;
    _particleWork *_workP;
    _textureSet *_texSetP;
    uint32_t _previousFrame;
    int32_t _birthRate;
    D3DVECTOR _size;
    float _initSpeedMin, _initSpeedMax;
    float _spreadMin, _spreadMax;
    float _gridAngle;
    float _initRotateMin, _initRotateMax;
    float _rotateMin, _rotateMax;
    float _initScaleMin, _initScaleMax;
    float _scaleMin, _scaleMax;
    D3DCOLORVALUE _colorStart, _colorEnd;
    uint32_t _lifeMin, _lifeMax;
    float _gravityAcceleration;
    D3DVECTOR _gravityOrientation;
    float _flickerAngleMin, _flickerAngleMax;
    float _centripetalForceMin, _centripetalForceMax;
    float _birthDirForceMin, _birthDirForceMax;
    D3DVECTOR _windPos, _windOrientation;
    float _windRadius, _windRadiusFalloff;
    uint32_t _windStrangth, _windInwardStrangth;

private:
    // Slots actually allocated; SetParameter may later ask for a different count.
    int32_t _workMax;

    _particleBase(const _particleBase &) = delete;
    _particleBase &operator=(const _particleBase &) = delete;
};

#endif
