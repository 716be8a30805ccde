#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "AdpcmEncoder.h"
#include "Music.h"
#include "Sequencer.h"
#include "TestSignals.h"

// The content builder's encoder against the program's decoder.

static std::vector<int16_t> _roundTrip(const std::vector<int16_t> &aPcm, _adpcmState aFrom = {0, 0},
                                       _adpcmState *aEncEndP = nullptr, _adpcmState *aDecEndP = nullptr)
{
    std::vector<uint8_t> code((aPcm.size() + 1) / 2);
    _adpcmState enc = aFrom, dec = aFrom;
    sAdpcmEncoder(aPcm.data(), code.data(), (long)aPcm.size(), &enc);
    std::vector<int16_t> out(aPcm.size());
    sAdpcmDecoder(code.data(), out.data(), (long)out.size(), &dec);
    if (aEncEndP)
        *aEncEndP = enc;
    if (aDecEndP)
        *aDecEndP = dec;
    return out;
}

static std::vector<int16_t> _interleave(const std::vector<int16_t> &aL, const std::vector<int16_t> &aR)
{
    std::vector<int16_t> v(aL.size() * 2);
    for (size_t i = 0; i < aL.size(); i++) {
        v[2 * i] = aL[i];
        v[2 * i + 1] = aR[i];
    }
    return v;
}

TEST(AdpcmEncoder, TracksTheDecoderExactly)
{
    // Whatever the signal and the starting state, the encoder's state is the decoder's state.
    std::vector<int16_t> square(20000);
    for (size_t i = 0; i < square.size(); i++)
        square[i] = (i / 50) % 2 ? 32767 : -32768;
    std::vector<int16_t> noise(20000);
    std::vector<uint8_t> rnd = sTestNoiseBytes(40000, 5);
    for (size_t i = 0; i < noise.size(); i++)
        noise[i] = (int16_t)(rnd[2 * i] | (rnd[2 * i + 1] << 8));
    struct _case {
        const char *name;
        std::vector<int16_t> pcm;
        _adpcmState from;
    } cases[] = {
        {"sweep", sTestSweep(30000, 30, 12000, 20000, 0, 1), {0, 0}},
        {"full-scale square", square, {0, 0}},
        {"white noise", noise, {0, 0}},
        {"from a running state", sTestSweep(10001, 100, 3000, 9000, 50, 2), {-20000, 60}},
    };
    for (const auto &c : cases) {
        _adpcmState enc{}, dec{};
        _roundTrip(c.pcm, c.from, &enc, &dec);
        EXPECT_EQ(enc.prevVal, dec.prevVal) << c.name;
        EXPECT_EQ(enc.index, dec.index) << c.name;
    }
}

TEST(AdpcmEncoder, ErrorDoesNotDrift)
{
    // A slow tone over a long stream: the error stays at the size of the last step, from the
    // first second to the last.
    std::vector<int16_t> pcm = sTestSweep(44100 * 30, 200, 200, 10000, 0, 1);
    std::vector<int16_t> out = _roundTrip(pcm);
    int worstEarly = 0, worstLate = 0;
    for (size_t i = 2000; i < pcm.size(); i++) {
        int e = std::abs(pcm[i] - out[i]);
        (i < 44100 ? worstEarly : worstLate) = std::max(i < 44100 ? worstEarly : worstLate, e);
    }
    EXPECT_LT(worstLate, 200);
    EXPECT_LE(worstLate, worstEarly + 50);
}

TEST(AdpcmEncoder, SilenceReturnsTheStateToZero)
{
    std::vector<int16_t> pcm = sTestSweep(20000, 50, 5000, 25000, 0, 1);
    pcm.resize(pcm.size() + 512, 0);
    _adpcmState enc{};
    std::vector<int16_t> out = _roundTrip(pcm, {0, 0}, &enc);
    EXPECT_EQ(enc.prevVal, 0);
    EXPECT_EQ(enc.index, 0);
    EXPECT_EQ(out.back(), 0);
}

TEST(AdpcmEncoder, SineSweepSignalToNoise)
{
    // 20 Hz to 10 kHz at half scale, mono and as one interleaved stereo stream whose right
    // channel is a little quieter, as a mildly panned instrument is in the music.
    const long n = 44100 * 10;
    std::vector<int16_t> mono = sTestSweep(n, 20, 10000, 16000, 0, 1);
    std::vector<int16_t> right = sTestSweep(n, 20, 10000, 14000, 0, 1);
    std::vector<int16_t> stereo = _interleave(mono, right);

    std::vector<int16_t> outMono = _roundTrip(mono);
    std::vector<int16_t> outStereo = _roundTrip(stereo);
    double snrMono = sAdpcmSnr(mono.data(), outMono.data(), n, 0, 1);
    double snrL = sAdpcmSnr(stereo.data(), outStereo.data(), 2 * n, 0, 2);
    double snrR = sAdpcmSnr(stereo.data(), outStereo.data(), 2 * n, 1, 2);
    RecordProperty("snr_mono", std::to_string(snrMono));
    RecordProperty("snr_left", std::to_string(snrL));
    RecordProperty("snr_right", std::to_string(snrR));
    std::printf("sweep 20 Hz - 10 kHz: SNR mono %.2f dB, stereo L %.2f dB R %.2f dB\n", snrMono, snrL, snrR);
    EXPECT_GT(snrMono, 25.0);
    EXPECT_GT(snrL, 25.0);
    EXPECT_GT(snrR, 25.0);
}

// The opening bars of a generated piece: the music as the program will decode it.
TEST(AdpcmEncoder, GeneratedPieceSignalToNoise)
{
    const int songs[] = {2, 3};
    for (int num : songs) {
        _seqSong song;
        sMusicSong(num, song);
        song.beats = 16 * 4; // the first sixteen bars
        std::vector<int16_t> pcm;
        sSeqRender(song, pcm);
        _adpcmState dec{};
        std::vector<int16_t> out = _roundTrip(pcm, {0, 0}, nullptr, &dec);
        long n = (long)pcm.size();
        double snrL = sAdpcmSnr(pcm.data(), out.data(), n, 0, 2);
        double snrR = sAdpcmSnr(pcm.data(), out.data(), n, 1, 2);
        std::printf("piece %02d, 16 bars: SNR L %.2f dB R %.2f dB\n", num, snrL, snrR);
        EXPECT_GT(snrL, 28.0) << num;
        EXPECT_GT(snrR, 28.0) << num;
        EXPECT_EQ(dec.prevVal, 0) << num;
        EXPECT_EQ(dec.index, 0) << num;
    }
}
