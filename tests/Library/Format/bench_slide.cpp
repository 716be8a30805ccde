// Slide decoding against zlib's inflate on the same pictures, and the packed sizes of the slide
// encoder against zlib level 6. Sizes are printed before the timings.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "KbImage.h"
#include "KbPicture.h"
#include "KbSlide.h"
#include "Library/Format/FORMLIB.h"

namespace {

struct Sample {
    std::string name;
    kbBytes body;   // the expanded KSM block behind its header: what both coders pack
    kbBytes slide;  // slide payload
    kbBytes zlib;   // zlib level 6
};

std::vector<Sample> &Samples()
{
    static std::vector<Sample> samples;
    if (!samples.empty())
        return samples;
    struct Pic {
        const char *name;
        kbImage image;
        int depth;
    } pics[] = {
        {"sky256_24", kbPictureSky(256, 256, kbRgb(20, 40, 120), kbRgb(200, 220, 255), 1), 24},
        {"tiles256_24", kbPictureTiles(256, 256, 32, 16, kbRgb(150, 90, 60), 2), 24},
        {"panel640_24", kbPicturePanel(640, 480, 3), 24},
        {"glow128_24", kbPictureGlow(128, 128, kbRgb(255, 180, 80)), 24},
        {"indexed256_8", kbPictureIndexed(256, 256, 64, 4), 8},
    };
    for (Pic &p : pics) {
        kbBytes ksm;
        std::string error;
        if (!kbKsmWrite(p.image, p.depth, KB_KSM_STORED, p.name, &ksm, &error)) {
            fprintf(stderr, "%s: %s\n", p.name, error.c_str());
            abort();
        }
        Sample s;
        s.name = p.name;
        s.body.assign(ksm.begin() + sizeof(_ninjaHead), ksm.end());
        s.slide = kbSlideEncode(s.body.data(), s.body.size());
        uLongf zsize = compressBound(s.body.size());
        s.zlib.resize(zsize);
        compress2(s.zlib.data(), &zsize, s.body.data(), s.body.size(), 6);
        s.zlib.resize(zsize);
        samples.push_back(s);
    }
    return samples;
}

void BM_SlideDecode(benchmark::State &aState)
{
    const Sample &s = Samples()[aState.range(0)];
    for (auto _ : aState) {
        uint8_t *outP = sFormatSlideDecode(s.slide.data(), (long)s.slide.size(), (long)s.body.size());
        benchmark::DoNotOptimize(outP);
        free(outP);
    }
    aState.SetLabel(s.name);
    aState.SetBytesProcessed((int64_t)aState.iterations() * (int64_t)s.body.size());
}

void BM_ZlibInflate(benchmark::State &aState)
{
    const Sample &s = Samples()[aState.range(0)];
    for (auto _ : aState) {
        // Same shape of work as the slide decoder: a new output buffer per image.
        uint8_t *outP = (uint8_t *)malloc(s.body.size());
        uLongf size = s.body.size();
        uncompress(outP, &size, s.zlib.data(), s.zlib.size());
        benchmark::DoNotOptimize(outP);
        free(outP);
    }
    aState.SetLabel(s.name);
    aState.SetBytesProcessed((int64_t)aState.iterations() * (int64_t)s.body.size());
}

BENCHMARK(BM_SlideDecode)->DenseRange(0, 4);
BENCHMARK(BM_ZlibInflate)->DenseRange(0, 4);

}  // namespace

int main(int argc, char **argv)
{
    size_t slideTotal = 0, zlibTotal = 0, rawTotal = 0;
    printf("%-14s %10s %10s %10s %8s\n", "picture", "raw", "slide", "zlib-6", "slide/zlib");
    for (const Sample &s : Samples()) {
        uint8_t *checkP = sFormatSlideDecode(s.slide.data(), (long)s.slide.size(), (long)s.body.size());
        if (checkP == nullptr || memcmp(checkP, s.body.data(), s.body.size()) != 0) {
            fprintf(stderr, "%s: slide round trip failed\n", s.name.c_str());
            return 1;
        }
        free(checkP);
        printf("%-14s %10zu %10zu %10zu %8.3f\n", s.name.c_str(), s.body.size(), s.slide.size(), s.zlib.size(),
               (double)s.slide.size() / s.zlib.size());
        slideTotal += s.slide.size();
        zlibTotal += s.zlib.size();
        rawTotal += s.body.size();
    }
    printf("%-14s %10zu %10zu %10zu %8.3f\n", "all", rawTotal, slideTotal, zlibTotal, (double)slideTotal / zlibTotal);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
