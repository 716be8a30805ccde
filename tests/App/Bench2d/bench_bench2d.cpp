// The metaball field (plain against MMX) and the displacement copy (plain and SSE2) against
// memcpy of the same bytes, at 640 × 480 with 16- and 32-bit pixels.
#include <benchmark/benchmark.h>

#include <cpuid.h>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "App/Bench2d/Bench2dCore.h"

namespace {

const long kW = 640, kH = 480;

struct Frame {
    std::vector<uint8_t> kernels[BENCH2D_BALL_KIND];
    std::vector<_ballRec> balls = std::vector<_ballRec>(BENCH2D_BALL_CNT);
    std::vector<uint8_t> field = std::vector<uint8_t>(kW * kH);
    Frame()
    {
        for (int c = 0; c < BENCH2D_BALL_KIND; c++) {
            kernels[c].resize(ballInfo[c].diameter * ballInfo[c].diameter);
            sBench2dMakeKernel(kernels[c].data(), ballInfo[c].diameter);
        }
        srand(5);
        sBench2dInitBalls(balls.data(), kW, kH);
        for (auto &b : balls)
            sBench2dMoveBall(&b, ballInfo[b.num].diameter, kW, kH);
    }
    void build(_metaProc aProc)
    {
        for (auto &b : balls)
            sBench2dAddBall(aProc, &b, kernels[b.num].data(), field.data(), kW, kH);
    }
};

void runField(benchmark::State &aState, _metaProc aProc)
{
    Frame f;
    for (auto _ : aState) {
        memset(f.field.data(), 0, f.field.size());
        f.build(aProc);
        benchmark::DoNotOptimize(f.field.data());
    }
}

void BM_Bench2dFieldNormal(benchmark::State &aState) { runField(aState, _conputMetaNormal); }
void BM_Bench2dFieldMMX(benchmark::State &aState)
{
    unsigned a, b, c, d;
    if (!__get_cpuid(1, &a, &b, &c, &d) || !(d & (1u << 23)))
        return aState.SkipWithError("no MMX");
    runField(aState, _conputMetaMMX);
}

bool cpuHasSSE2()
{
    unsigned a, b, c, d;
    return __get_cpuid(1, &a, &b, &c, &d) && (d & (1u << 26));
}

// The copy of a built field at aBpp bytes per pixel; the field is restored outside the timing.
void runCopy(benchmark::State &aState, _bltProc aProc, long aBpp, bool aEmpty = false)
{
    Frame f;
    if (!aEmpty)
        f.build(_conputMetaNormal);
    const std::vector<uint8_t> built = f.field;
    std::vector<uint8_t> src(kW * kH * aBpp, 0x56), dst(kW * kH * aBpp);
    _b2dPixels s = {src.data(), kW * aBpp, kW, kH, aBpp};
    _b2dPixels d = {dst.data(), kW * aBpp, kW, kH, aBpp};
    for (auto _ : aState) {
        aState.PauseTiming();
        memcpy(f.field.data(), built.data(), built.size());
        aState.ResumeTiming();
        aProc(f.field.data(), kW, kH, &s, &d);
        benchmark::DoNotOptimize(dst.data());
    }
    aState.SetBytesProcessed(aState.iterations() * kW * kH * aBpp);
}

void runMemcpy(benchmark::State &aState, long aBpp)
{
    std::vector<uint8_t> src(kW * kH * aBpp, 0x56), dst(kW * kH * aBpp);
    for (auto _ : aState) {
        memcpy(dst.data(), src.data(), src.size());
        benchmark::DoNotOptimize(dst.data());
    }
    aState.SetBytesProcessed(aState.iterations() * kW * kH * aBpp);
}

void BM_Bench2dCopyNormal(benchmark::State &aState) { runCopy(aState, _bltBackNormal, aState.range(0)); }
void BM_Bench2dCopySSE2(benchmark::State &aState)
{
    if (!cpuHasSSE2())
        return aState.SkipWithError("no SSE2");
    runCopy(aState, _bltBackSSE2, aState.range(0));
}
// No ball on the screen: the bound of the copy's own overhead.
void BM_Bench2dCopyEmptySSE2(benchmark::State &aState)
{
    if (!cpuHasSSE2())
        return aState.SkipWithError("no SSE2");
    runCopy(aState, _bltBackSSE2, aState.range(0), true);
}
void BM_Bench2dMemcpy(benchmark::State &aState) { runMemcpy(aState, aState.range(0)); }

BENCHMARK(BM_Bench2dFieldNormal);
BENCHMARK(BM_Bench2dFieldMMX);
// Bytes per pixel: the benchmark row's 16-bit mode and 32-bit.
BENCHMARK(BM_Bench2dCopyNormal)->Arg(2)->Arg(4);
BENCHMARK(BM_Bench2dCopySSE2)->Arg(2)->Arg(4);
BENCHMARK(BM_Bench2dCopyEmptySSE2)->Arg(2)->Arg(4);
BENCHMARK(BM_Bench2dMemcpy)->Arg(2)->Arg(4);

}  // namespace

BENCHMARK_MAIN();
