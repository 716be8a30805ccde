// Decoding speed of the .kss streams: the program's decoder against sox's decoder on the same
// bytes (a minute of interleaved stereo music-like signal), in samples per second of processor
// time (sox's is the whole child process, start-up included, so a loaded machine skews neither).
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Library/Adpcm/AdpcmLib.h"
#include "TestSignals.h"

static const std::vector<uint8_t> &_stream()
{
    static const std::vector<uint8_t> code = [] {
        const long frames = 44100 * 60;
        std::vector<int16_t> l = sTestSweep(frames, 30, 9000, 12000, 400, 1);
        std::vector<int16_t> st(2 * (size_t)frames);
        for (long i = 0; i < frames; i++)
            st[2 * i] = st[2 * i + 1] = l[(size_t)i];
        return sTestEncode(st);
    }();
    return code;
}

static void BM_sAdpcmDecoder(benchmark::State &aState)
{
    const std::vector<uint8_t> &code = _stream();
    std::vector<int16_t> out(code.size() * 2);
    for (auto _ : aState) {
        _adpcmState st{0, 0};
        sAdpcmDecoder(code.data(), out.data(), (long)out.size(), &st);
        benchmark::DoNotOptimize(out.data());
    }
    aState.SetItemsProcessed((int64_t)aState.iterations() * (int64_t)out.size());
}
BENCHMARK(BM_sAdpcmDecoder)->Unit(benchmark::kMillisecond);

static double _childCpuSeconds()
{
    rusage ru{};
    getrusage(RUSAGE_CHILDREN, &ru);
    return ru.ru_utime.tv_sec + ru.ru_stime.tv_sec + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) * 1e-6;
}

// The whole sox process on the same file, output thrown away.
static void BM_SoxDecode(benchmark::State &aState)
{
    const std::vector<uint8_t> &code = _stream();
    std::string path = "/tmp/kestrel_bench_" + std::to_string(getpid()) + ".ima";
    FILE *fp = std::fopen(path.c_str(), "wb");
    if (!fp || std::fwrite(code.data(), 1, code.size(), fp) != code.size()) {
        aState.SkipWithError("cannot write the stream");
        return;
    }
    std::fclose(fp);
    std::string cmd = "sox -t ima -r 44100 -c 1 " + path + " -t s16 /dev/null 2>/dev/null";
    for (auto _ : aState) {
        double before = _childCpuSeconds();
        if (std::system(cmd.c_str()) != 0) {
            aState.SkipWithError("sox failed");
            break;
        }
        aState.SetIterationTime(_childCpuSeconds() - before);
    }
    std::remove(path.c_str());
    aState.SetItemsProcessed((int64_t)aState.iterations() * (int64_t)code.size() * 2);
}
BENCHMARK(BM_SoxDecode)->Unit(benchmark::kMillisecond)->UseManualTime();

BENCHMARK_MAIN();
