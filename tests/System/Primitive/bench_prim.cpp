// The per-frame arithmetic of the object model, per vertex and per emitter step: DOT3 light
// colours, projected coordinates, the spotlight filter and particle motion.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "Library/Matrix/MATLIB.h"
#include "System/Particle/ParticleCore.h"
#include "System/Primitive/PrimitiveCore.h"

namespace {

D3DLIGHT7 Light(D3DLIGHTTYPE aType, float aX, float aY, float aZ)
{
    D3DLIGHT7 l = {};
    l.dltType = aType;
    l.dcvDiffuse.r = l.dcvDiffuse.g = l.dcvDiffuse.b = 1.0f;
    l.dvPosition.x = aX, l.dvPosition.y = aY, l.dvPosition.z = aZ;
    l.dvDirection.x = -aX, l.dvDirection.y = -aY, l.dvDirection.z = -aZ;
    l.dvRange = 1000.0f;
    l.dvAttenuation0 = 1.0f;
    l.dvFalloff = 1.0f;
    l.dvTheta = 0.5f;
    l.dvPhi = 1.0f;
    return l;
}

void BM_Dot3Color(benchmark::State &aState)
{
    const D3DLIGHT7 lights[3] = {Light(D3DLIGHT_DIRECTIONAL, 1, 2, -3), Light(D3DLIGHT_POINT, 4, 4, -4),
                                 Light(D3DLIGHT_SPOT, 0, 5, -5)};
    const long n = (long)aState.range(0);
    D3DVECTOR q = {}, nrm = {};
    nrm.y = 0.6f, nrm.z = -0.8f;
    for (auto _ : aState)
        benchmark::DoNotOptimize(sPrimDot3Color(&q, &nrm, lights, n));
    aState.SetItemsProcessed(aState.iterations());
}
BENCHMARK(BM_Dot3Color)->Arg(1)->Arg(3);

void BM_SetUV(benchmark::State &aState)
{
    _setUVWork w = {};
    w.proj = (uint16_t)aState.range(0);
    w.axis = PRIM_AXIS_Y;
    w.texSize.x = w.texSize.y = w.texSize.z = 4.0f;
    w.wrpw = w.wrph = 2.0f;
    sMatrixCreateUnit(&w.refMat);
    D3DVECTOR p = {};
    p.x = 1.0f, p.y = 0.5f, p.z = -2.0f;
    float uv[2];
    for (auto _ : aState) {
        _setUV(&p, uv, &w);
        benchmark::DoNotOptimize(uv);
    }
    aState.SetItemsProcessed(aState.iterations());
}
BENCHMARK(BM_SetUV)->Arg(PRIM_PROJ_PLANAR)->Arg(PRIM_PROJ_CYLINDRICAL)->Arg(PRIM_PROJ_SPHERICAL);

// The spotlight filter over a 100 x 100 grid (20 000 triangles).
void BM_SpotLightFilter(benchmark::State &aState)
{
    const int n = 101;
    std::vector<float> pos;
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x)
            pos.insert(pos.end(), {x / 50.0f - 1.0f, 1.0f - y / 50.0f, 0.0f});
    std::vector<uint16_t> idx;
    for (int y = 0; y + 1 < n; ++y)
        for (int x = 0; x + 1 < n; ++x) {
            const uint16_t a = (uint16_t)(y * n + x), b = (uint16_t)(a + 1), c = (uint16_t)(a + n), d = (uint16_t)(c + 1);
            idx.insert(idx.end(), {a, b, c, b, d, c});
        }
    std::vector<_primSpotVertex> v(n * n);
    std::vector<D3DVECTOR> proj(n * n);
    std::vector<uint16_t> out(idx.size());
    D3DMATRIX m;
    sMatrixCreateUnit(&m);
    for (auto _ : aState) {
        sPrimSpotLightProject((const uint8_t *)pos.data(), 12, n * n, &m, v.data(), proj.data());
        benchmark::DoNotOptimize(sPrimSpotLightFilter(v.data(), proj.data(), idx.data(), (long)idx.size(), out.data()));
    }
    aState.SetItemsProcessed(aState.iterations() * (int64_t)idx.size() / 3);
}
BENCHMARK(BM_SpotLightFilter);

struct Emitter : _particleBase {
    long Init(_particleDef *aDefP) { return _InitMotion(aDefP, nullptr); }
};

// One step of a full emitter of 1000 particles with every force on.
void BM_ParticleStep(benchmark::State &aState)
{
    _particleDef d;
    std::memset(&d, 0, sizeof d);
    d.workNum = 1000;
    d.birthRate = 20;
    d.size.x = d.size.y = d.size.z = 1.0f;
    d.initSpeedMin = 0.1f, d.initSpeedMax = 0.2f;
    d.spreadMax = 30.0f;
    d.initScaleMin = d.initScaleMax = 1.0f;
    d.lifeMin = 40, d.lifeMax = 60;
    d.gravityAcceleration = 0.01f;
    d.gravityOrientation.y = -1.0f;
    d.flickerAngleMin = 1.0f, d.flickerAngleMax = 5.0f;
    d.centripetalForceMin = d.centripetalForceMax = 0.01f;
    d.birthDirForceMin = d.birthDirForceMax = 0.01f;
    Emitter e;
    e.Init(&d);
    std::srand(1);
    uint32_t frame = 0;
    for (int i = 0; i < 60; ++i)
        e.Move(frame++);
    for (auto _ : aState)
        e.Move(frame++);
    aState.SetItemsProcessed(aState.iterations());
}
BENCHMARK(BM_ParticleStep);

} // namespace

BENCHMARK_MAIN();
