#ifndef KESTREL_TESTS_LIBRARY_ADPCM_TESTSIGNALS_H
#define KESTREL_TESTS_LIBRARY_ADPCM_TESTSIGNALS_H

// Test signals shared by the ADPCM tests and benchmark: deterministic, no files.

#include <cmath>
#include <cstdint>
#include <vector>

#include "AdpcmEncoder.h"

// Random bytes from a fixed seed (xorshift32).
inline std::vector<uint8_t> sTestNoiseBytes(size_t aN, uint32_t aSeed)
{
    std::vector<uint8_t> v(aN);
    uint32_t s = aSeed * 2654435761u + 1;
    for (auto &b : v) {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        b = (uint8_t)(s >> 24);
    }
    return v;
}

// Exponential sine sweep from aF0 to aF1 Hz with amplitude aAmp, plus uniform noise of
// +-aNoise, at 44100 Hz.
inline std::vector<int16_t> sTestSweep(long aN, double aF0, double aF1, double aAmp, int aNoise, uint32_t aSeed)
{
    std::vector<int16_t> v((size_t)aN);
    double ph = 0;
    uint32_t s = aSeed * 2654435761u + 1;
    for (long i = 0; i < aN; i++) {
        double f = aF0 * std::pow(aF1 / aF0, (double)i / aN);
        ph += 2.0 * 3.14159265358979 * f / 44100.0;
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        int noise = aNoise ? (int)(s % (uint32_t)(2 * aNoise + 1)) - aNoise : 0;
        v[(size_t)i] = (int16_t)std::lrint(aAmp * std::sin(ph) + noise);
    }
    return v;
}

// The content builder's encoding of aPcm from the zero state (an odd count is padded).
inline std::vector<uint8_t> sTestEncode(const std::vector<int16_t> &aPcm)
{
    std::vector<uint8_t> code((aPcm.size() + 1) / 2);
    _adpcmState st{0, 0};
    sAdpcmEncoder(aPcm.data(), code.data(), (long)aPcm.size(), &st);
    return code;
}

#endif
