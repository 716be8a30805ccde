// Speed of the maths variants that run on this processor, each through its dispatch pointers.
// Names are "<routine>/<variant>"; compare the variants of one routine within one run.

#include <benchmark/benchmark.h>

#include <cpuid.h>
#include <vector>

#include "Library/Coord/COORDLIB.h"
#include "Library/Maths/MathsLib.h"
#include "Library/Matrix/MATLIB.h"
#include "Library/Vec/VECLIB.h"

namespace {

const int kCount = 1024; // vertices, vectors or scalars per iteration

void select(DWORD aCpuOption)
{
    sMatrixSetFuncPtr(aCpuOption);
    sVecSetFuncPtr(aCpuOption);
    sMathsSetFuncPtr(aCpuOption);
}

float frand(uint32_t &aState, float aLo, float aHi)
{
    aState = aState * 1664525u + 1013904223u;
    return aLo + (aHi - aLo) * static_cast<float>((aState >> 8) * (1.0 / 16777216.0));
}

std::vector<D3DVECTOR> vectors()
{
    std::vector<D3DVECTOR> v(kCount);
    uint32_t s = 1;
    for (D3DVECTOR &e : v) {
        e.x = frand(s, -100, 100);
        e.y = frand(s, -100, 100);
        e.z = frand(s, -100, 100);
    }
    return v;
}

D3DMATRIX transform(float aAngle)
{
    D3DMATRIX m;
    sMatrixCreateUnit(&m);
    sMatrixScaleNormal(&m, 1.5f, 0.5f, 2);
    sMatrixRotateXYZNormal(&m, aAngle, aAngle * 2, aAngle * 3);
    sMatrixTranslate(&m, 10, -20, 30);
    return m;
}

void BM_MatrixMul(benchmark::State &aState, DWORD aCpuOption)
{
    select(aCpuOption);
    D3DMATRIX a = transform(10), b = transform(20), out;
    for (auto _ : aState) {
        sMatrixMul(&a, &b, &out);
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
    select(0);
}

void BM_MatrixApplyVector(benchmark::State &aState, DWORD aCpuOption)
{
    select(aCpuOption);
    const D3DMATRIX m = transform(30);
    const std::vector<D3DVECTOR> src = vectors();
    std::vector<D3DVECTOR> dst(kCount);
    for (auto _ : aState) {
        for (int i = 0; i < kCount; i++)
            sMatrixApplyVector(&m, &src[i], &dst[i]);
        benchmark::ClobberMemory();
    }
    aState.SetItemsProcessed(aState.iterations() * kCount);
    select(0);
}

void BM_VecNormalize(benchmark::State &aState, DWORD aCpuOption)
{
    select(aCpuOption);
    // Normalising a unit vector again costs the same as the first time.
    std::vector<D3DVECTOR> v = vectors();
    for (auto _ : aState) {
        for (D3DVECTOR &e : v)
            sVecNormalize(&e);
        benchmark::ClobberMemory();
    }
    aState.SetItemsProcessed(aState.iterations() * kCount);
    select(0);
}

void BM_VecCrossProduct(benchmark::State &aState, DWORD aCpuOption)
{
    select(aCpuOption);
    const std::vector<D3DVECTOR> a = vectors();
    std::vector<D3DVECTOR> out(kCount);
    for (auto _ : aState) {
        for (int i = 0; i < kCount; i++)
            sVecCrossProduct(&a[i], &a[kCount - 1 - i], &out[i]);
        benchmark::ClobberMemory();
    }
    aState.SetItemsProcessed(aState.iterations() * kCount);
    select(0);
}

void BM_MathsSqrt(benchmark::State &aState, DWORD aCpuOption)
{
    select(aCpuOption);
    std::vector<float> x(kCount), out(kCount);
    uint32_t s = 3;
    for (float &e : x)
        e = frand(s, 0, 1000);
    for (auto _ : aState) {
        for (int i = 0; i < kCount; i++)
            out[i] = gMathsSqrtPtr(x[i]);
        benchmark::ClobberMemory();
    }
    aState.SetItemsProcessed(aState.iterations() * kCount);
    select(0);
}

void BM_MathsAtan(benchmark::State &aState, DWORD aCpuOption)
{
    select(aCpuOption);
    std::vector<float> x(kCount), out(kCount);
    uint32_t s = 5;
    for (float &e : x)
        e = frand(s, -8, 8);
    for (auto _ : aState) {
        for (int i = 0; i < kCount; i++)
            out[i] = gMathsAtanPtr(x[i]);
        benchmark::ClobberMemory();
    }
    aState.SetItemsProcessed(aState.iterations() * kCount);
    select(0);
}

// A four-level hierarchy (root, body, arm, hand) moved and updated, parents first, as the scene
// runtime does every frame.
void BM_CoordUpdate(benchmark::State &aState, DWORD aCpuOption)
{
    select(aCpuOption);
    _coord node[4];
    for (int i = 0; i < 4; i++) {
        sCoordInit(i == 0 ? nullptr : &node[i - 1], &node[i]);
        node[i].nowStat.tx = 1.0f + i;
        node[i].nowStat.sx = 1.5f;
    }
    float angle = 0;
    for (auto _ : aState) {
        angle += 1.0f;
        for (_coord &n : node) {
            n.nowStat.ry = angle;
            n.nowStat.rz = angle * 0.5f;
            sCoordMakeLocalMatrixAuto(&n);
            sCoordUpdate(&n);
        }
        benchmark::DoNotOptimize(node[3].view);
    }
    select(0);
}

bool has3DNow()
{
    unsigned a, b, c, d;
    return __get_cpuid(0x80000001u, &a, &b, &c, &d) && (d & (1u << 31));
}

bool hasSSE()
{
    unsigned a, b, c, d;
    return __get_cpuid(1, &a, &b, &c, &d) && (d & (1u << 25));
}

} // namespace

int main(int argc, char **argv)
{
    const struct {
        const char *name;
        void (*fn)(benchmark::State &, DWORD);
    } routines[] = {
        {"sMatrixMul", BM_MatrixMul},       {"sMatrixApplyVector", BM_MatrixApplyVector},
        {"sVecNormalize", BM_VecNormalize}, {"sVecCrossProduct", BM_VecCrossProduct},
        {"gMathsSqrtPtr", BM_MathsSqrt},    {"gMathsAtanPtr", BM_MathsAtan},
        {"sCoordUpdate", BM_CoordUpdate},
    };
    const struct {
        const char *name;
        DWORD option;
        bool runs;
    } variants[] = {{"Normal", 0, true},
                    {"SSE", MATHS_OPT_SSE, hasSSE()},
                    {"3DNow", MATHS_OPT_3DNOW, has3DNow()}};
    for (const auto &r : routines)
        for (const auto &v : variants)
            if (v.runs)
                benchmark::RegisterBenchmark((std::string(r.name) + "/" + v.name).c_str(), r.fn,
                                             v.option);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
