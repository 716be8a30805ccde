#ifndef KESTREL_SYSTEM_PARTICLE_PARTICLE_H
#define KESTREL_SYSTEM_PARTICLE_PARTICLE_H

// A particle system: the emitter and pool of ParticleCore.h, drawn either as camera-facing
// sprites or as small textured quad shapes, one sprite or shape serving every particle.

#include <windows.h>
#include <d3d.h>

#include "Common/SceneDef.h"
#include "System/Particle/ParticleCore.h"
#include "System/Shape/Shape.h"
#include "System/Sprite/Sprite.h"

class _particle : public _particleBase {
public:
    _particle();
    _particle(_particleDef *aParticleDefP, struct _coord *aSuperP);
    ~_particle() override;
    // 0, or -1 for a missing definition or an empty pool (the emitter then neither moves nor draws).
    long Init(_particleDef *aParticleDefP, struct _coord *aSuperP);
    void Draw(void);
    void ChangeTexture(long aTexStageNum, _textureSet *aTexSetP);

    class _sprite _sprite;
    class _shape _shape;
};

#endif
