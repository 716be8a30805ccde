// The processor work of one bolt of the widest lightning row (40.0 wide, 60 rows) per frame: the
// shaking of its five strands and the screen-space building of their ribbons.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "App/Lightning/LightningCore.h"
#include "Library/Maths/MathsLib.h"
#include "Library/Matrix/MATLIB.h"
#include "Library/Vec/VECLIB.h"

namespace {

struct Bolt {
    std::vector<_thund> base, work[LIGHTNING_STRAND_NUM];
    std::vector<_lightningVertex> vert;
    _lightningCore core{};
    D3DMATRIX view, proj;
    Bolt()
    {
        sMathsSetFuncPtr(0);
        sMatrixSetFuncPtr(0);
        sVecSetFuncPtr(0);
        const _lightningAllScnTable &row = gLightningAllScnTbl[3];
        const long rows = row.vertHeightCnt;
        base.assign(rows, _thund{});
        vert.assign(2 * rows, _lightningVertex{});
        core._vertexHeightCnt = (int16_t)rows;
        core._divCnt = 1;
        core._polyWidthRange = row.polyWidth;
        core._thunderWidth = 1.0f;
        core._thunderWidthMax = 1.0f;
        core._thunderBaseP = base.data();
        for (long s = 0; s < LIGHTNING_STRAND_NUM; s++) {
            work[s].assign(rows, _thund{});
            core._thunderWorkP[s] = work[s].data();
        }
        // The eye 60 units in front of a bolt across the screen; a 60-degree lens.
        sMatrixCreateUnit(&view);
        view._43 = 60.0f;
        memset(&proj, 0, sizeof(proj));
        proj._11 = 1.732f;
        proj._22 = 2.309f;
        proj._33 = 1.0f;
        proj._34 = 1.0f;
        proj._43 = -1.0f;
    }
};

const D3DVECTOR kP1 = {{-30.0f}, {10.0f}, {0.0f}}, kP2 = {{30.0f}, {-10.0f}, {5.0f}};

void BM_LightningShake(benchmark::State &aState)
{
    Bolt b;
    srand(1);
    for (auto _ : aState) {
        sLightningShake(&b.core, &kP1, &kP2);
        benchmark::DoNotOptimize(b.work[4].data());
    }
}
BENCHMARK(BM_LightningShake);

void BM_LightningRibbons(benchmark::State &aState)
{
    Bolt b;
    srand(1);
    sLightningShake(&b.core, &kP1, &kP2);
    for (auto _ : aState) {
        for (long s = 0; s < LIGHTNING_STRAND_NUM; s++)
            benchmark::DoNotOptimize(sLightningStrandVertices(b.work[s].data(), b.core._vertexHeightCnt, &b.view,
                                                              &b.proj, 1.0f, 640.0f, 480.0f, b.core._polyWidthRange,
                                                              1.0f, b.vert.data()));
    }
}
BENCHMARK(BM_LightningRibbons);

}  // namespace

BENCHMARK_MAIN();
