#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Library/Adpcm/AdpcmLib.h"
#include "ReferenceTools.h"
#include "TestSignals.h"

namespace fs = std::filesystem;

static std::vector<int16_t> _decode(const std::vector<uint8_t> &aCode, _adpcmState aState = {0, 0},
                                    _adpcmState *aEndP = nullptr)
{
    std::vector<int16_t> out(aCode.size() * 2);
    sAdpcmDecoder(aCode.data(), out.data(), (long)out.size(), &aState);
    if (aEndP)
        *aEndP = aState;
    return out;
}

// ---- the arithmetic ---------------------------------------------------------------------------

struct _firstCodes {
    const char *name;
    std::vector<uint8_t> code;
    _adpcmState from;
    std::vector<int16_t> samples;
    _adpcmState end;
};

TEST(AdpcmDecoder, KnownSequences)
{
    const _firstCodes cases[] = {
        // Zero codes from (0, 0): the step stays 7 and 7 >> 3 is 0.
        {"zeros stay silent", {0, 0, 0, 0}, {0, 0}, {0, 0, 0, 0, 0, 0, 0, 0}, {0, 0}},
        // Code 7: 0 + 7 + 3 + 1 = 11; the index goes to 8 (step 16), then code 0 adds 16 >> 3.
        {"code 7 first", {0x70}, {0, 0}, {11, 13}, {13, 7}},
        // The same magnitude with the sign bit goes down.
        {"code 15 first", {0xF8}, {0, 0}, {-11, -13}, {-13, 7}},
        // High nibble first: 0x07 is code 0 then code 7.
        {"high nibble first", {0x07}, {0, 0}, {0, 11}, {11, 8}},
        // Index 88 (step 32767) stays clamped; the predictor saturates exactly.
        {"saturates high", {0x77}, {30000, 88}, {32767, 32767}, {32767, 88}},
        {"saturates low", {0xFF}, {-30000, 88}, {-32768, -32768}, {-32768, 88}},
        // Index runs down to 0 and stays.
        {"index floor", {0x11}, {100, 1}, {103, 104}, {104, 0}},
    };
    for (const auto &c : cases) {
        _adpcmState end{};
        EXPECT_EQ(_decode(c.code, c.from, &end), c.samples) << c.name;
        EXPECT_EQ(end.prevVal, c.end.prevVal) << c.name;
        EXPECT_EQ(end.index, c.end.index) << c.name;
    }
}

TEST(AdpcmDecoder, StateCarriesAcrossCalls)
{
    std::vector<uint8_t> code = sTestNoiseBytes(10000, 7);
    _adpcmState whole{};
    std::vector<int16_t> expect = _decode(code, {0, 0}, &whole);

    // Uneven even-sized pieces, as the refills of a stream make them.
    std::vector<int16_t> got(expect.size());
    _adpcmState st{0, 0};
    size_t pos = 0;
    const size_t pieces[] = {1, 2, 333, 4096, 17, 5000};
    for (size_t k = 0; pos < code.size(); k++) {
        size_t n = std::min(pieces[k % 6], code.size() - pos);
        sAdpcmDecoder(code.data() + pos, got.data() + 2 * pos, (long)(2 * n), &st);
        pos += n;
    }
    EXPECT_EQ(got, expect);
    EXPECT_EQ(st.prevVal, whole.prevVal);
    EXPECT_EQ(st.index, whole.index);
}

TEST(AdpcmDecoder, OddCountStopsOnHighNibbleAndNextCallStartsOnAHighNibble)
{
    const uint8_t code[2] = {0x70, 0x40};
    int16_t out[4] = {-1, -1, -1, -1};
    _adpcmState st{0, 0};
    sAdpcmDecoder(code, out, 1, &st);
    EXPECT_EQ(out[0], 11);
    EXPECT_EQ(out[1], -1) << "one sample asked, one written";
    EXPECT_EQ(st.prevVal, 11);
    EXPECT_EQ(st.index, 8);
    // The low nibble of the first byte is never decoded: the next call reads byte 1's high one.
    sAdpcmDecoder(code + 1, out + 1, 1, &st);
    EXPECT_EQ(out[1], 11 + 2 + 16); // code 4 at step 16
}

TEST(AdpcmDecoder, NothingToDecodeLeavesTheStateAlone)
{
    _adpcmState st{1234, 40};
    sAdpcmDecoder(nullptr, nullptr, 0, &st);
    EXPECT_EQ(st.prevVal, 1234);
    EXPECT_EQ(st.index, 40);
}

// ---- references that nobody here wrote --------------------------------------------------------

// A scratch folder per test process.
static fs::path _scratch()
{
    fs::path dir = fs::temp_directory_path() / ("kestrel_adpcm_" + std::to_string(getpid()));
    fs::create_directories(dir);
    return dir;
}

static void _writeBytes(const fs::path &aPath, const void *aP, size_t aN)
{
    std::ofstream f(aPath, std::ios::binary);
    f.write(static_cast<const char *>(aP), (std::streamsize)aN);
}

static std::vector<int16_t> _readSamples(const fs::path &aPath)
{
    std::ifstream f(aPath, std::ios::binary);
    std::vector<char> b((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    std::vector<int16_t> s(b.size() / 2);
    std::memcpy(s.data(), b.data(), s.size() * 2);
    return s;
}

// The code stream of a long test signal, from the content builder's encoder, and a stream of
// random bytes that reaches the step table's ends.
static std::vector<uint8_t> _longStream()
{
    std::vector<int16_t> pcm = sTestSweep(441000, 40.0, 8000.0, 6000.0, 300, 3);
    return sTestEncode(pcm);
}

TEST(AdpcmReference, PythonAudioopDecodesExactlyTheSame)
{
    // Python's audioop implements the Intel/DVI reference decoder, high nibble first.
    const std::string python = sTestPython();
    ASSERT_TRUE(sTestRuns(python + " -W ignore -c 'import audioop'"))
        << "the reference decoder is missing: " << python << " has no audioop";
    fs::path dir = _scratch();
    const std::vector<std::vector<uint8_t>> streams = {_longStream(), sTestNoiseBytes(200000, 11)};
    for (size_t k = 0; k < streams.size(); k++) {
        _writeBytes(dir / "in.ima", streams[k].data(), streams[k].size());
        std::string cmd = "cd '" + dir.string() +
                          "' && " + python + " -W ignore -c \"import audioop;d,s=audioop.adpcm2lin(open('in.ima','rb').read(),2,"
                          "None);open('out.raw','wb').write(d);open('state.txt','w').write('%d %d'%s)\"";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        _adpcmState end{};
        std::vector<int16_t> ours = _decode(streams[k], {0, 0}, &end);
        EXPECT_EQ(_readSamples(dir / "out.raw"), ours) << "stream " << k;
        int pred = 0, index = 0;
        FILE *fp = std::fopen((dir / "state.txt").string().c_str(), "r");
        ASSERT_TRUE(fp);
        ASSERT_EQ(std::fscanf(fp, "%d %d", &pred, &index), 2);
        std::fclose(fp);
        EXPECT_EQ(end.prevVal, pred);
        EXPECT_EQ(end.index, index);
    }
    fs::remove_all(dir);
}

TEST(AdpcmReference, SoxAgreesWithinItsRoundingOverALongStream)
{
    // sox -t ima reads the same headerless stream, high nibble first, but keeps its predictor in
    // 13 bits and multiplies where the reference adds shifted steps. Its samples therefore
    // differ by rounding on every sample, and the differences add up to a slow drift. Take the
    // drift out (a moving average over 513 samples) and what is left is the rounding alone.
    const std::string sox = sTestSox();
    ASSERT_TRUE(sTestRuns(sox + " --version")) << "the reference decoder is missing: " << sox;
    fs::path dir = _scratch();
    std::vector<uint8_t> code = _longStream();
    _writeBytes(dir / "in.ima", code.data(), code.size());
    std::string cmd = sox + " -t ima -r 44100 -c 1 '" + (dir / "in.ima").string() + "' -t s16 '" +
                      (dir / "out.raw").string() + "' 2>/dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    std::vector<int16_t> theirs = _readSamples(dir / "out.raw");
    std::vector<int16_t> ours = _decode(code);
    ASSERT_EQ(theirs.size(), ours.size());

    const long n = (long)ours.size(), w = 256;
    std::vector<int64_t> acc(n + 1, 0);
    for (long i = 0; i < n; i++)
        acc[i + 1] = acc[i] + (ours[i] - theirs[i]);
    double worstResidual = 0, worstDrift = 0;
    for (long i = 0; i < n; i++) {
        long lo = std::max(0L, i - w), hi = std::min(n, i + w + 1);
        double drift = (double)(acc[hi] - acc[lo]) / (hi - lo);
        worstDrift = std::max(worstDrift, std::fabs(drift));
        worstResidual = std::max(worstResidual, std::fabs((ours[i] - theirs[i]) - drift));
    }
    std::printf("sox over %ld samples: rounding within %.1f, drift within %.1f\n", n, worstResidual, worstDrift);
    EXPECT_LE(worstResidual, 32.0) << "per-sample agreement";
    EXPECT_LE(worstDrift, 1024.0) << "the drift stays small beside the signal (peak about 6300)";
    fs::remove_all(dir);
}
