#include "System/Particle/ParticleCore.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "Common/DrawLink.h"
#include "Library/Matrix/MATLIB.h"
#include "Library/Vec/VECLIB.h"

int sParticleRand(void)
{
#if RAND_MAX == 32767
    return std::rand();
#else
    return std::rand() & 0x7FFF;
#endif
}

// One draw between aMin and aMax, evaluated as R x (max - min) x K + min.
static float _randRange(float aMin, float aMax)
{
    const float r = (float)sParticleRand();
    return r * (aMax - aMin) * PARTICLE_RAND_K + aMin;
}

_particleBase::_particleBase()
{
    // Plain record: the parameters, pool pointer and nodes start zeroed.
    _status = 0;
    std::memset(&_coord, 0, sizeof _coord);
    _num = 0;
    _workP = nullptr;
    _texSetP = nullptr;
    _previousFrame = 0xFFFFFFFF;
    _birthRate = 0;
    _size = D3DVECTOR{};
    _initSpeedMin = _initSpeedMax = _spreadMin = _spreadMax = _gridAngle = 0.0f;
    _initRotateMin = _initRotateMax = _rotateMin = _rotateMax = 0.0f;
    _initScaleMin = _initScaleMax = _scaleMin = _scaleMax = 0.0f;
    _colorStart = _colorEnd = D3DCOLORVALUE{};
    _lifeMin = _lifeMax = 0;
    _gravityAcceleration = 0.0f;
    _gravityOrientation = D3DVECTOR{};
    _flickerAngleMin = _flickerAngleMax = 0.0f;
    _centripetalForceMin = _centripetalForceMax = _birthDirForceMin = _birthDirForceMax = 0.0f;
    _windPos = _windOrientation = D3DVECTOR{};
    _windRadius = _windRadiusFalloff = 0.0f;
    _windStrangth = _windInwardStrangth = 0;
    _workMax = 0;
}

_particleBase::~_particleBase()
{
    std::free(_workP);
}

long _particleBase::_InitMotion(_particleDef *aParticleDefP, struct _coord *aSuperP)
{
    sCoordInit(aSuperP, &_coord);
    if (!aParticleDefP)
        return -1;
    SetParameter(aParticleDefP);
    if (_num < 1)
        return -1;
    std::free(_workP);
    _workP = (_particleWork *)std::calloc((size_t)_num, sizeof(_particleWork));
    if (!_workP) {
        _workMax = 0;
        return -1;
    }
    _workMax = _num;
    _status |= PARTICLE_STAT_INIT;
    return 0;
}

void _particleBase::SetParameter(_particleDef *aParticleDefP)
{
    const _particleDef &d = *aParticleDefP;
    _status = (_status & 0xFFFF0000u) | (d.particleStatus & 0xFFFFu);
    _num = d.workNum;
    _texSetP = &aParticleDefP->texSet;
    _birthRate = d.birthRate;
    _size.x = d.size.x, _size.y = d.size.y, _size.z = d.size.z;
    _initSpeedMin = d.initSpeedMin, _initSpeedMax = d.initSpeedMax;
    _spreadMin = d.spreadMin, _spreadMax = d.spreadMax;
    _gridAngle = d.gridAngle;
    _initRotateMin = d.initRotateMin, _initRotateMax = d.initRotateMax;
    _rotateMin = d.rotateMin, _rotateMax = d.rotateMax;
    _initScaleMin = d.initScaleMin, _initScaleMax = d.initScaleMax;
    _scaleMin = d.scaleMin, _scaleMax = d.scaleMax;
    _colorStart = d.colorStart, _colorEnd = d.colorEnd;
    _lifeMin = d.lifeMin, _lifeMax = d.lifeMax;
    _gravityAcceleration = d.gravityAcceleration;
    _gravityOrientation.x = d.gravityOrientation.x;
    _gravityOrientation.y = d.gravityOrientation.y;
    _gravityOrientation.z = d.gravityOrientation.z;
    _flickerAngleMin = d.flickerAngleMin, _flickerAngleMax = d.flickerAngleMax;
    _centripetalForceMin = d.centripetalForceMin, _centripetalForceMax = d.centripetalForceMax;
    _birthDirForceMin = d.birthDirForceMin, _birthDirForceMax = d.birthDirForceMax;
    _windPos = _windOrientation = D3DVECTOR{};
    _windRadius = _windRadiusFalloff = 0.0f;
    _windStrangth = _windInwardStrangth = 0;
    sVecNormalize(&_gravityOrientation);
    if (_lifeMax == _lifeMin)
        _lifeMax += 1;
}

void _particleBase::GetParameter(_particleDef *aParticleDefP) const
{
    _particleDef &d = *aParticleDefP;
    d.particleStatus = _status;
    d.workNum = _num;
    if (_texSetP && _texSetP != &d.texSet)
        d.texSet = *_texSetP;
    d.birthRate = _birthRate;
    d.size.x = _size.x, d.size.y = _size.y, d.size.z = _size.z;
    d.initSpeedMin = _initSpeedMin, d.initSpeedMax = _initSpeedMax;
    d.spreadMin = _spreadMin, d.spreadMax = _spreadMax;
    d.gridAngle = _gridAngle;
    d.initRotateMin = _initRotateMin, d.initRotateMax = _initRotateMax;
    d.rotateMin = _rotateMin, d.rotateMax = _rotateMax;
    d.initScaleMin = _initScaleMin, d.initScaleMax = _initScaleMax;
    d.scaleMin = _scaleMin, d.scaleMax = _scaleMax;
    d.colorStart = _colorStart, d.colorEnd = _colorEnd;
    d.lifeMin = _lifeMin, d.lifeMax = _lifeMax;
    d.gravityAcceleration = _gravityAcceleration;
    d.gravityOrientation.x = _gravityOrientation.x;
    d.gravityOrientation.y = _gravityOrientation.y;
    d.gravityOrientation.z = _gravityOrientation.z;
    d.flickerAngleMin = _flickerAngleMin, d.flickerAngleMax = _flickerAngleMax;
    d.centripetalForceMin = _centripetalForceMin, d.centripetalForceMax = _centripetalForceMax;
    d.birthDirForceMin = _birthDirForceMin, d.birthDirForceMax = _birthDirForceMax;
}

void _particleBase::ConnectCoordSuper(struct _coord *aSuperP)
{
    _coord.superP = aSuperP;
    _coord.flg |= COORD_FLG_DIRTY;
}

void _particleBase::Update(void)
{
    sCoordUpdate(&_coord);
    if (!(_status & PARTICLE_STAT_INIT))
        return;
    for (long i = 0, n = GetNum(); i < n; ++i)
        if (_workP[i].status & PARTICLE_WORK_ALIVE)
            sCoordUpdate(&_workP[i].coord);
}

void _particleBase::Move(uint32_t aFrameCnt)
{
    int32_t steps = (int32_t)(aFrameCnt - _previousFrame);
    if (steps <= 0)
        return;
    if (steps > PARTICLE_STEP_MAX)
        steps = PARTICLE_STEP_MAX;

    D3DMATRIX global;
    sCoordMakeLocalMatrixAuto(&_coord);
    sCoordGetGlobalMatrix(&_coord, &global, 0);
    _stat3d e;
    sCoordDecomposition(&global, &e);

    // The angles that turn a particle to face the camera.
    D3DMATRIX view, inv;
    if (!drawManLink.getViewMatrixP || drawManLink.getViewMatrixP(&view) == 0)
        sMatrixCreateUnit(&view);
    sMatrixCreateUnit(&inv);
    sMatrixInvert(&view, &inv);
    _stat3d c;
    sCoordDecomposition(&inv, &c);
    D3DVECTOR facing;
    facing.x = c.rx, facing.y = c.ry, facing.z = c.rz;

    const long num = GetNum();
    for (int32_t n = 0; n < steps && (_status & PARTICLE_STAT_INIT); ++n) {
        long births;
        if (_status & PARTICLE_STAT_PERIODIC) {
            // A period of 0 never comes round (it would divide by zero).
            births = (_birthRate != 0 && aFrameCnt % (uint32_t)_birthRate == 0) ? 1 : 0;
        } else {
            // More births than slots would all be lost; they draw no numbers either.
            const float b = (float)_birthRate * _coord.nowStat.sx;
            births = b >= (float)num ? num : (b > 0.0f ? (long)b : 0);
        }
        long slot = 0;
        for (long b = 0; b < births; ++b) {
            while (slot < num && (_workP[slot].status & PARTICLE_WORK_ALIVE))
                ++slot;
            if (slot == num)
                break;
            _Birth(&_workP[slot], e, facing);
        }
        const bool last = n == steps - 1;
        for (long i = 0; i < num; ++i)
            if (_workP[i].status & PARTICLE_WORK_ALIVE)
                _Step(&_workP[i], e, last);
    }
    _previousFrame = aFrameCnt;
}

void _particleBase::_Birth(_particleWork *aWorkP, const _stat3d &aEmitter, const D3DVECTOR &aFacing)
{
    _particleWork &p = *aWorkP;
    std::memset(&p, 0, sizeof p);
    p.status = PARTICLE_WORK_ALIVE;
    sCoordInit(nullptr, &p.coord);

    const float e[3] = {aEmitter.tx, aEmitter.ty, aEmitter.tz};
    const float size[3] = {_size.x, _size.y, _size.z};
    float *pos[3] = {&p.birthPos.x, &p.birthPos.y, &p.birthPos.z};
    float *node[3] = {&p.coord.nowStat.tx, &p.coord.nowStat.ty, &p.coord.nowStat.tz};
    for (int k = 0; k < 3; ++k) {
        const float r = (float)sParticleRand();
        *pos[k] = r * size[k] * PARTICLE_RAND_K + e[k] - size[k] * 0.5f;
        *node[k] = *pos[k];
    }

    p.move.x = 0.0f;
    p.move.y = _randRange(_initSpeedMin, _initSpeedMax);
    p.move.z = 0.0f;

    D3DVECTOR a;
    a.x = 0.0f;
    a.y = (float)sParticleRand() * 360.0f * PARTICLE_RAND_K;
    a.z = _randRange(_spreadMin, _spreadMax);
    if (sParticleRand() & 1)
        a.z = -a.z;
    if (_gridAngle != 0.0f) {
        a.y -= std::fmod(a.y, _gridAngle);
        a.z -= std::fmod(a.z, _gridAngle);
    }
    sVecRotate(&a, &p.move, &p.move);
    D3DVECTOR emitterAngle;
    emitterAngle.x = aEmitter.rx, emitterAngle.y = aEmitter.ry, emitterAngle.z = aEmitter.rz;
    sVecRotate(&emitterAngle, &p.move, &p.move);

    p.coord.nowStat.rx = aFacing.x;
    p.coord.nowStat.ry = aFacing.y;
    p.coord.nowStat.rz = aFacing.z;
    const float s = _randRange(_initScaleMin, _initScaleMax);
    p.coord.nowStat.sx = p.coord.nowStat.sy = p.coord.nowStat.sz = s;
    p.scale = _randRange(_scaleMin, _scaleMax);

    const uint32_t range = _lifeMax - _lifeMin;
    const uint32_t r = (uint32_t)sParticleRand();
    p.lifeCnt = (int32_t)(range ? r % range + _lifeMin : _lifeMin);

    p.col = _colorStart;
    if (p.lifeCnt != 0) {
        const float life = (float)p.lifeCnt;
        p.colChange.r = (_colorEnd.r - _colorStart.r) / life;
        p.colChange.g = (_colorEnd.g - _colorStart.g) / life;
        p.colChange.b = (_colorEnd.b - _colorStart.b) / life;
        p.colChange.a = (_colorEnd.a - _colorStart.a) / life;
    }
    p.centripetalForce = _randRange(_centripetalForceMin, _centripetalForceMax);
    p.birthDirForce = _randRange(_birthDirForceMin, _birthDirForceMax);
}

// Pulls the position toward aTarget by aForce without passing it.
static void _pull(_stat3d &aStat, const D3DVECTOR &aTarget, float aForce)
{
    D3DVECTOR gap;
    gap.x = aTarget.x - aStat.tx, gap.y = aTarget.y - aStat.ty, gap.z = aTarget.z - aStat.tz;
    D3DVECTOR d = gap;
    sVecNormalize(&d);
    d.x *= aForce, d.y *= aForce, d.z *= aForce;
    if (std::fabs(d.x) > std::fabs(gap.x))
        d.x = gap.x;
    if (std::fabs(d.y) > std::fabs(gap.y))
        d.y = gap.y;
    if (std::fabs(d.z) > std::fabs(gap.z))
        d.z = gap.z;
    aStat.tx += d.x, aStat.ty += d.y, aStat.tz += d.z;
}

void _particleBase::_Step(_particleWork *aWorkP, const _stat3d &aEmitter, bool aLastB)
{
    _particleWork &p = *aWorkP;
    p.lifeCnt -= 1;
    if (p.lifeCnt < 0) {
        p.status &= ~(uint32_t)PARTICLE_WORK_ALIVE;
        return;
    }
    _stat3d &s = p.coord.nowStat;
    s.tx += p.move.x, s.ty += p.move.y, s.tz += p.move.z;
    s.sx += p.scale, s.sy += p.scale, s.sz += p.scale;
    if (p.centripetalForce != 0.0f) {
        D3DVECTOR e;
        e.x = aEmitter.tx, e.y = aEmitter.ty, e.z = aEmitter.tz;
        _pull(s, e, p.centripetalForce);
    }
    if (p.birthDirForce != 0.0f)
        _pull(s, p.birthPos, p.birthDirForce);
    p.move.x += _gravityAcceleration * _gravityOrientation.x;
    p.move.y += _gravityAcceleration * _gravityOrientation.y;
    p.move.z += _gravityAcceleration * _gravityOrientation.z;

    float fx = _randRange(_flickerAngleMin, _flickerAngleMax);
    float fz = _randRange(_flickerAngleMin, _flickerAngleMax);
    if (fx > 0.001f && fz > 0.001f) {
        if (sParticleRand() & 1)
            fx = -fx;
        if (sParticleRand() & 1)
            fz = -fz;
        D3DVECTOR a;
        a.x = fx, a.y = 0.0f, a.z = fz;
        sVecRotate(&a, &p.move, &p.move);
    }
    p.col.r += p.colChange.r;
    p.col.g += p.colChange.g;
    p.col.b += p.colChange.b;
    p.col.a += p.colChange.a;
    if (aLastB)
        sCoordMakeLocalMatrixAuto(&p.coord);
}
