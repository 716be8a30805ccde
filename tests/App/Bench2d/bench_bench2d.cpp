// The metaball field (plain against MMX) and the displacement copy against memcpy of the same
// bytes, at 640 × 480 with 32-bit pixels.
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

// The copy of a built field; the field is rebuilt outside the timing.
void BM_Bench2dCopy(benchmark::State &aState)
{
    Frame f;
    std::vector<uint32_t> src(kW * kH, 0x123456), dst(kW * kH);
    _b2dPixels s = {reinterpret_cast<uint8_t *>(src.data()), kW * 4, kW, kH, 4};
    _b2dPixels d = {reinterpret_cast<uint8_t *>(dst.data()), kW * 4, kW, kH, 4};
    for (auto _ : aState) {
        aState.PauseTiming();
        f.build(_conputMetaNormal);
        aState.ResumeTiming();
        _bltBackNormal(f.field.data(), kW, kH, &s, &d);
        benchmark::DoNotOptimize(dst.data());
    }
    aState.SetBytesProcessed(aState.iterations() * kW * kH * 4);
}

void BM_Bench2dMemcpy(benchmark::State &aState)
{
    std::vector<uint32_t> src(kW * kH, 0x123456), dst(kW * kH);
    for (auto _ : aState) {
        memcpy(dst.data(), src.data(), src.size() * 4);
        benchmark::DoNotOptimize(dst.data());
    }
    aState.SetBytesProcessed(aState.iterations() * kW * kH * 4);
}

BENCHMARK(BM_Bench2dFieldNormal);
BENCHMARK(BM_Bench2dFieldMMX);
BENCHMARK(BM_Bench2dCopy);
BENCHMARK(BM_Bench2dMemcpy);

}  // namespace

BENCHMARK_MAIN();
