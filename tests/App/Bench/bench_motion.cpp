// What one new frame position of the ninja benchmark scenes costs the processor: the 4200
// feathers with two swords, and the 4000 points drawn to 16 attractors.
#include <benchmark/benchmark.h>

#include <vector>

#include "App/Bench/BenchCore.h"

namespace {

void FeatherFrame(benchmark::State &aState)
{
    std::vector<_benchFeather> f(BENCH_FEATHER_NUM);
    sBenchFeatherInit(f.data(), BENCH_FEATHER_NUM);
    const D3DVECTOR left = {0.0f, 250.0f, 0.0f}, right = {300.0f, 200.0f, -100.0f};
    const D3DVECTOR *swords[2] = {&left, &right};
    long frame = 0;
    for (auto _ : aState)
        sBenchFeatherMove(f.data(), BENCH_FEATHER_NUM, ++frame % 600, swords);
    aState.SetItemsProcessed(aState.iterations() * BENCH_FEATHER_NUM);
}
BENCHMARK(FeatherFrame)->Unit(benchmark::kMicrosecond);

void AttractorFrame(benchmark::State &aState)
{
    std::vector<_benchAttractor> a(BENCH_ATTRACTOR_NUM);
    std::vector<_benchPoint> p(BENCH_POINT_NUM);
    const long n = sBenchAttractorInit(a.data(), p.data());
    for (auto _ : aState)
        sBenchAttractorMove(a.data(), p.data(), n);
    aState.SetItemsProcessed(aState.iterations() * n);
}
BENCHMARK(AttractorFrame)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
