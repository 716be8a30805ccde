#include "System/Particle/Particle.h"

// The images every emitter is built from. An emitter copies its texture into the template just
// before building its sprite or shape, which registers the texture then; nothing of the copy is
// kept afterwards.

static _textureSet _particle_texSetDef;

// A centred unit square blended additively, as the shape's quad.
static _spriteDef _particle_sprDef = {
    SPRITE_STAT_ALPHA, 1, &_particle_texSetDef, {-0.5f, 0.5f, -0.5f, 0.5f}, {0.5f, 0.5f, -0.5f, -0.5f},
    D3DBLEND_SRCALPHA, D3DBLEND_ONE,
};

static _textureSet _particle_PrimTexSet;

// A unit square centred on the particle in its XY plane, facing -Z.
static _vertexDef _particle_Vertex[4] = {
    {-0.5f, 0.5f, 0.0f, 0.0f, 0.0f, -1.0f, 0.0f, -1.0f, 0.0f, -1.0f},
    {0.5f, 0.5f, 0.0f, 0.0f, 0.0f, -1.0f, 1.0f, -1.0f, 1.0f, -1.0f},
    {-0.5f, -0.5f, 0.0f, 0.0f, 0.0f, -1.0f, 0.0f, 0.0f, 0.0f, 0.0f},
    {0.5f, -0.5f, 0.0f, 0.0f, 0.0f, -1.0f, 1.0f, 0.0f, 1.0f, 0.0f},
};
static uint16_t _particle_Index[6] = {0, 1, 2, 1, 3, 2};
static _primIndexDefSet _particle_IndexSet = {6, _particle_Index, D3DPT_TRIANGLELIST};
static _primVertexDefSet _particle_VertexDefSet = {4, _particle_Vertex, 0x212, nullptr, 0, 1, &_particle_IndexSet};

static _abilityDef _particle_AbilityDef = {
    ABL_STAT_ALPHA | ABL_STAT_GOURAUD,
    {},  // material: _templateMaterial
    1,
    &_particle_PrimTexSet,
    {},
    D3DBLEND_SRCALPHA,
    D3DBLEND_ONE,
    1,
    &_particle_VertexDefSet,
};
static _abilityDef *_particle_AbilityTbl[1] = {&_particle_AbilityDef};

static _shapeDef _particle_ShapeDef = {
    0, 1, _particle_AbilityTbl, nullptr, nullptr, -1, -1, 0,
    -0.5, -0.5, 0.0, 0.5, 0.5, 0.0,  // the square, for culling
    4, 2, nullptr, 0,
};

// Diffuse and ambient (1, 1, 1, 0.5), no specular or emissive, power 40.
static void _templateMaterial(void)
{
    D3DMATERIAL7 &m = _particle_AbilityDef.material;
    m = D3DMATERIAL7{};
    m.diffuse.r = m.diffuse.g = m.diffuse.b = 1.0f;
    m.diffuse.a = 0.5f;
    m.ambient = m.diffuse;
    m.power = 40.0f;
}

_particle::_particle() : _particleBase(), _sprite(), _shape()
{
}

_particle::_particle(_particleDef *aParticleDefP, struct _coord *aSuperP) : _particle()
{
    Init(aParticleDefP, aSuperP);
}

_particle::~_particle()
{
}

long _particle::Init(_particleDef *aParticleDefP, struct _coord *aSuperP)
{
    if (_InitMotion(aParticleDefP, aSuperP) != 0)
        return -1;
    if (_status & PARTICLE_STAT_SPRITE) {
        _particle_texSetDef = *_texSetP;
        _sprite.Init(&_particle_sprDef, nullptr);
    } else {
        _particle_PrimTexSet = *_texSetP;
        _templateMaterial();
        _shape.Init(&_particle_ShapeDef, 0);
    }
    return 0;
}

void _particle::Draw(void)
{
    if (!(_status & PARTICLE_STAT_INIT))
        return;
    const bool sprite = (_status & PARTICLE_STAT_SPRITE) != 0;
    for (long i = 0, n = GetNum(); i < n; ++i) {
        _particleWork &p = _workP[i];
        if (!(p.status & PARTICLE_WORK_ALIVE))
            continue;
        if (sprite) {
            _sprite.SetScale(p.coord.nowStat.sx, p.coord.nowStat.sy);
            _sprite.SetColor(&p.col);
            _sprite.Draw(SpriteDrawFlgAlpha, &p.coord.world);
        } else {
            _shape.SetDiffuse(0, p.col);
            _shape.Draw(ShapeDrawFlgAlpha, &p.coord.world);
        }
    }
}

void _particle::ChangeTexture(long aTexStageNum, _textureSet *aTexSetP)
{
    if (!(_status & PARTICLE_STAT_INIT))
        return;
    _texSetP = aTexSetP;
    if (!(_status & PARTICLE_STAT_SPRITE))
        _shape.ChangeTexture(-1, aTexStageNum, aTexSetP);
}
