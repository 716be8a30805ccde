// The cloud layer's per-frame composition against a plain saturating byte add over the same
// pixels and channels.

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "App/Effect/EffectCore.h"

namespace {

struct Cloud {
    std::vector<CloudPixel> draw, cloud, moon;
    std::vector<uint8_t> fall, mult;
    Cloud() : draw(65536), cloud(65536), moon(64 * 64, CloudPixel{200, 200, 200, 0}), fall(65536), mult(65536)
    {
        _drawCloud(cloud.data());
        sCloudFalloff(fall.data());
        sCloudMultTable(mult.data());
    }
};

void BM_CloudCompose(benchmark::State &aState)
{
    Cloud c;
    long shift = 0;
    for (auto _ : aState) {
        sCloudCompose(c.draw.data(), c.cloud.data(), c.fall.data(), c.mult.data(), c.moon.data(), 64, 64, 32, -32,
                      -3 * shift, shift);
        shift++;
        benchmark::DoNotOptimize(c.draw.data());
    }
    aState.SetBytesProcessed(aState.iterations() * 65536 * 3);
}
BENCHMARK(BM_CloudCompose);

// Clear, then one saturating add per channel and pixel from a second picture.
void BM_PlainByteAdd(benchmark::State &aState)
{
    Cloud c;
    for (auto _ : aState) {
        memset(c.draw.data(), 0, c.draw.size() * sizeof(CloudPixel));
        CloudPixel *d = c.draw.data();
        const CloudPixel *s = c.cloud.data();
        for (long n = 0; n < 65536; n++) {
            const long r = d[n].r + s[n].r, g = d[n].g + s[n].g, b = d[n].b + s[n].b;
            d[n].r = (uint8_t)(r > 255 ? 255 : r);
            d[n].g = (uint8_t)(g > 255 ? 255 : g);
            d[n].b = (uint8_t)(b > 255 ? 255 : b);
        }
        benchmark::DoNotOptimize(c.draw.data());
    }
    aState.SetBytesProcessed(aState.iterations() * 65536 * 3);
}
BENCHMARK(BM_PlainByteAdd);

}  // namespace

BENCHMARK_MAIN();
