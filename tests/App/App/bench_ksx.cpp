// Relocating a large scene package against reading it from disk (the file is in the page cache,
// so the read is the fastest a disk read can be).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "App/App/AppCore.h"
#include "KbSample.h"

namespace {

struct Package {
    std::string path;
    kbBytes data;  // the stored data, not relocated
    size_t fileSize = 0;
};

const Package &Large()
{
    static Package p;
    if (!p.path.empty())
        return p;
    kbScene scene = kbSampleScene(400, 600, 900);
    kbBytes file;
    std::string error;
    if (!kbKsxData(scene, &p.data, &error) || !kbKsxWrite(scene, &file, &error)) {
        fprintf(stderr, "%s\n", error.c_str());
        abort();
    }
    p.path = "/tmp/kestrel_bench_large.ksx";
    if (!kbWriteFile(p.path, file, &error))
        abort();
    p.fileSize = file.size();
    return p;
}

void BM_ReadPackage(benchmark::State &aState)
{
    const Package &p = Large();
    for (auto _ : aState) {
        uint8_t *dataP = loadKsx(p.path.c_str());
        benchmark::DoNotOptimize(dataP);
        free(dataP);
    }
    aState.SetBytesProcessed((int64_t)aState.iterations() * (int64_t)p.fileSize);
}

void BM_Relocate(benchmark::State &aState)
{
    const Package &p = Large();
    uint8_t *dataP = (uint8_t *)malloc(p.data.size());
    for (auto _ : aState) {
        aState.PauseTiming();
        memcpy(dataP, p.data.data(), p.data.size());
        aState.ResumeTiming();
        if (relocKsx(dataP, (long)p.data.size()) != 0)
            abort();
    }
    free(dataP);
    aState.SetBytesProcessed((int64_t)aState.iterations() * (int64_t)p.data.size());
}

void BM_EntryKsx(benchmark::State &aState)
{
    const Package &p = Large();
    for (auto _ : aState) {
        uint8_t *dataP = entryKsx(p.path.c_str());
        if (dataP == nullptr)
            abort();
        free(dataP);
    }
    aState.SetBytesProcessed((int64_t)aState.iterations() * (int64_t)p.fileSize);
}

BENCHMARK(BM_ReadPackage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Relocate)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EntryKsx)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char **argv)
{
    printf("package: %zu bytes\n", Large().fileSize);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    remove(Large().path.c_str());
    return 0;
}
