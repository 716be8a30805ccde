// The spring step per processor variant (compare each with Normal).
#include <benchmark/benchmark.h>

#include <cpuid.h>
#include <cstdlib>
#include <vector>

#include "App/Water/WaterCore.h"

namespace {

bool cpuHas(unsigned aLeaf, int aBit)
{
    unsigned a, b, c, d;
    return __get_cpuid(aLeaf, &a, &b, &c, &d) && (d & (1u << aBit));
}

void runWave(benchmark::State &aState, _waterWaveProc aProc)
{
    std::vector<_waterVertex> vert(WATER_VERTEX_CNT);
    std::vector<_wave> wave(WATER_VERTEX_CNT);
    const D3DVECTOR trans = {{-2.75f}, {0.75f}, {2.75f}};
    srand(1);
    sWaterRestVertex(vert.data(), &trans, 0.11f);
    sWaterDrop(vert.data(), 25, 25, 0.1f, 0.75f);
    for (auto _ : aState) {
        aProc(vert.data(), wave.data(), WATER_GRID, WATER_GRID);
        benchmark::DoNotOptimize(wave.data());
    }
    aState.SetItemsProcessed(aState.iterations() * WATER_VERTEX_CNT);
}

void BM_WaterWaveNormal(benchmark::State &aState) { runWave(aState, _conputWaveNormal); }
void BM_WaterWaveSSE(benchmark::State &aState)
{
    if (!cpuHas(1, 25))
        return aState.SkipWithError("no SSE");
    runWave(aState, _conputWaveSSE);
}
void BM_WaterWave3DNow(benchmark::State &aState)
{
    if (!cpuHas(0x80000001u, 31))
        return aState.SkipWithError("no 3DNow!");
    runWave(aState, _conputWave3DNow);
}
void BM_WaterWaveE3DNow(benchmark::State &aState)
{
    if (!cpuHas(0x80000001u, 30))
        return aState.SkipWithError("no Enhanced 3DNow!");
    runWave(aState, _conputWaveE3DNow);
}

BENCHMARK(BM_WaterWaveNormal);
BENCHMARK(BM_WaterWaveSSE);
BENCHMARK(BM_WaterWave3DNow);
BENCHMARK(BM_WaterWaveE3DNow);

}  // namespace

BENCHMARK_MAIN();
