#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "AdpcmEncoder.h"
#include "Music.h"
#include "Sequencer.h"

// The music and effects the sound content builder writes.

static std::vector<int16_t> _roundTrip(const std::vector<int16_t> &aPcm)
{
    std::vector<uint8_t> code((aPcm.size() + 1) / 2);
    _adpcmState enc = {0, 0}, dec = {0, 0};
    sAdpcmEncoder(aPcm.data(), code.data(), (long)aPcm.size(), &enc);
    std::vector<int16_t> out(aPcm.size());
    sAdpcmDecoder(code.data(), out.data(), (long)out.size(), &dec);
    return out;
}

TEST(MusicContent, ScoresAreWellFormed)
{
    int before = seqBadTokens;
    for (int num = 0; num < MUSIC_NUM; num++) {
        _seqSong song;
        sMusicSong(num, song);
        // Long enough for two halves of the streaming ring, a few minutes at most.
        double seconds = song.beats * 60.0 / song.bpm;
        EXPECT_GE(seconds, 60.0) << num;
        EXPECT_LE(seconds, 300.0) << num;
        size_t notes = 0;
        for (const _seqTrack &t : song.tracks) {
            EXPECT_TRUE((t.inst != nullptr) != (t.drum != nullptr)) << num;
            notes += t.notes.size();
            for (const _seqNote &n : t.notes) {
                EXPECT_GE(n.beat, 0.0) << num;
                EXPECT_LT(n.beat, song.beats) << num;
                EXPECT_GT(n.vel, 0.0f) << num;
                if (t.inst) {
                    EXPECT_GE(n.note, 24.0f) << num;
                    EXPECT_LE(n.note, 108.0f) << num;
                }
            }
        }
        EXPECT_GT(notes, 300u) << num;
    }
    EXPECT_EQ(seqBadTokens, before) << "a note or chord name in a score did not read";
}

TEST(MusicContent, PatternsRead)
{
    _seqTrack t;
    int before = seqBadTokens;
    EXPECT_DOUBLE_EQ(sSeqLine(t, 4, 0.5, "C4 - . D#5! | Bb3? Q7"), 3.0) << "an unread token still takes its step";
    EXPECT_EQ(seqBadTokens, before + 1) << "Q7 is not a note";
    ASSERT_EQ(t.notes.size(), 3u);
    EXPECT_EQ(t.notes[0].note, 60);
    EXPECT_DOUBLE_EQ(t.notes[0].len, 1.0);
    EXPECT_DOUBLE_EQ(t.notes[1].beat, 5.5);
    EXPECT_EQ(t.notes[1].note, 75);
    EXPECT_EQ(t.notes[2].note, 58);
    EXPECT_LT(t.notes[2].vel, t.notes[1].vel);

    int tones[6];
    const struct {
        const char *name;
        std::vector<int> tones;
    } chords[] = {{"Am", {57, 60, 64}}, {"F#m7", {54, 57, 61, 64}}, {"Bbmaj7", {58, 62, 65, 69}},
                  {"E5", {52, 59}}, {"Dadd9", {50, 54, 57, 64}}};
    for (const auto &c : chords) {
        int n = sSeqChordTones(c.name, 3, tones);
        EXPECT_EQ(std::vector<int>(tones, tones + n), c.tones) << c.name;
    }
    before = seqBadTokens;
    EXPECT_EQ(sSeqChordTones("Hm", 3, tones), 0);
    EXPECT_EQ(sSeqChordTones("Cm13", 3, tones), 0);
    EXPECT_EQ(seqBadTokens, before + 2);
}

TEST(MusicContent, RenderingIsDeterministic)
{
    _seqSong song;
    sMusicSong(5, song);
    song.beats = 4 * 4;
    std::vector<int16_t> a, b;
    sSeqRender(song, a);
    sSeqRender(song, b);
    EXPECT_EQ(a, b);
    for (int num = 0; num < EFFECT_NUM; num++) {
        sMusicEffect(num, a);
        sMusicEffect(num, b);
        EXPECT_EQ(a, b) << num;
    }
}

TEST(MusicContent, EffectsAreShortAndClean)
{
    for (int num = 0; num < EFFECT_NUM; num++) {
        std::vector<int16_t> pcm;
        sMusicEffect(num, pcm);
        ASSERT_FALSE(pcm.empty()) << num;
        EXPECT_EQ(pcm.size() % 2, 0u) << num << ": whole bytes of code";
        EXPECT_LE(pcm.size(), 44100u * 3) << num;
        EXPECT_LE(std::abs(pcm.front()) + std::abs(pcm.back()), 2) << num << ": no click at either end";
        int peak = 0;
        for (int16_t v : pcm)
            peak = std::max(peak, std::abs((int)v));
        EXPECT_GT(peak, 20000) << num;
        std::vector<int16_t> out = _roundTrip(pcm);
        EXPECT_GT(sAdpcmSnr(pcm.data(), out.data(), (long)pcm.size(), 0, 1), 18.0) << num;
    }
}
