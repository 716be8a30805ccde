#include "Music.h"

#include <cstdio>

// ---- instruments ------------------------------------------------------------------------------
// Fields: kind, wave1, wave2, mix2, detune2, pulseWidth, subLevel, noiseLevel, cutoff, reso,
// filtEnvAmt, keyTrack, amp {a, d, s, r}, filt {a, d, s, r}, fmRatio, fmIndex, fmIndexDecay,
// vibRate, vibDepth, vibDelay, pluckDamp, pluckBright, gain, glideFrom. Every instrument is levelled
// to the same loudness (gain 1); the songs' tracks set the balance.

static const _synInstDef _bassSaw = {SYN_SUB, SYN_SAW, SYN_SQUARE, 0.5f, -12.0f, 0.5f, 0.6f, 0, 180, 0.35f, 3.2f,
                                     0.3f, {0.002f, 0.3f, 0.75f, 0.06f}, {0.0f, 0.12f, 0.1f, 0.1f}, 0, 0, 0, 0, 0, 0,
                                     0, 0, 1.0f, 0};
static const _synInstDef _bassSub = {SYN_SUB, SYN_TRI, SYN_SINE, 0.8f, 0.0f, 0.5f, 0.5f, 0, 600, 0.1f, 0.5f,
                                     0.0f, {0.01f, 0.5f, 0.85f, 0.15f}, {0.0f, 0.3f, 0.3f, 0.2f}, 0, 0, 0, 0, 0, 0,
                                     0, 0, 1.0f, 0};
static const _synInstDef _bassPluck = {SYN_PLUCK, SYN_SINE, SYN_SINE, 0, 0, 0.5f, 0, 0, 0, 0, 0, 0,
                                       {0.0f, 0.0f, 1.0f, 0.08f}, {0, 0, 0, 0}, 0, 0, 0, 0, 0, 0,
                                       0.992f, 0.75f, 1.0f, 0};
static const _synInstDef _leadSaw = {SYN_SUB, SYN_SAW, SYN_SAW, 0.7f, 0.12f, 0.5f, 0, 0, 900, 0.25f, 2.4f,
                                     0.5f, {0.008f, 0.5f, 0.8f, 0.18f}, {0.0f, 0.35f, 0.35f, 0.2f}, 0, 0, 0, 5.6f,
                                     0.16f, 0.22f, 0, 0, 1.0f, 0};
static const _synInstDef _leadSquare = {SYN_SUB, SYN_SQUARE, SYN_SAW, 0.3f, 0.07f, 0.38f, 0, 0, 1400, 0.2f, 1.8f,
                                        0.4f, {0.005f, 0.3f, 0.75f, 0.12f}, {0.0f, 0.25f, 0.3f, 0.2f}, 0, 0, 0,
                                        5.2f, 0.12f, 0.25f, 0, 0, 1.0f, 0};
static const _synInstDef _flute = {SYN_BREATH, SYN_SINE, SYN_SINE, 0, 0, 0.5f, 0, 0.45f, 0, 0, 0, 0,
                                   {0.07f, 0.6f, 0.8f, 0.25f}, {0, 0, 0, 0}, 0, 0, 0, 4.8f, 0.22f, 0.3f, 0, 0, 1.0f, 0.9f};
static const _synInstDef _koto = {SYN_PLUCK, SYN_SINE, SYN_SINE, 0, 0, 0.5f, 0, 0, 0, 0, 0, 0,
                                  {0.0f, 0.0f, 1.0f, 0.35f}, {0, 0, 0, 0}, 0, 0, 0, 0, 0, 0, 0.996f, 0.6f, 1.0f,
                                  0};
static const _synInstDef _harp = {SYN_PLUCK, SYN_SINE, SYN_SINE, 0, 0, 0.5f, 0, 0, 0, 0, 0, 0,
                                  {0.002f, 0.0f, 1.0f, 0.9f}, {0, 0, 0, 0}, 0, 0, 0, 0, 0, 0, 0.998f, 0.35f, 1.0f,
                                  0};
static const _synInstDef _bell = {SYN_FM, SYN_SINE, SYN_SINE, 0, 0, 0.5f, 0, 0, 0, 0, 0, 0,
                                  {0.002f, 1.6f, 0.0f, 1.2f}, {0, 0, 0, 0}, 3.5f, 2.6f, 0.9f, 0, 0, 0, 0, 0, 1.0f, 0};
static const _synInstDef _epiano = {SYN_FM, SYN_SINE, SYN_SINE, 0, 0, 0.5f, 0, 0, 0, 0, 0, 0,
                                    {0.002f, 1.4f, 0.25f, 0.35f}, {0, 0, 0, 0}, 1.0f, 1.9f, 0.45f, 4.5f, 0.03f, 0.0f,
                                    0, 0, 1.0f, 0};
static const _synInstDef _brass = {SYN_SUB, SYN_SAW, SYN_SAW, 0.8f, 0.09f, 0.5f, 0, 0, 500, 0.15f, 2.6f,
                                   0.4f, {0.04f, 0.6f, 0.8f, 0.2f}, {0.07f, 0.5f, 0.45f, 0.3f}, 0, 0, 0, 5.0f,
                                   0.08f, 0.4f, 0, 0, 1.0f, 0.3f};
static const _synInstDef _pad = {SYN_SUB, SYN_SAW, SYN_SAW, 0.9f, 0.11f, 0.5f, 0, 0, 700, 0.12f, 1.3f,
                                 0.2f, {1.2f, 2.0f, 0.85f, 1.6f}, {1.8f, 3.0f, 0.5f, 1.5f}, 0, 0, 0, 0.3f, 0.04f,
                                 0.0f, 0, 0, 1.0f, 0};
static const _synInstDef _strings = {SYN_SUB, SYN_SAW, SYN_SAW, 0.8f, 0.07f, 0.5f, 0, 0, 1600, 0.08f, 0.8f,
                                     0.3f, {0.35f, 1.0f, 0.9f, 0.7f}, {0.3f, 1.0f, 0.7f, 0.6f}, 0, 0, 0, 5.3f, 0.07f,
                                     0.3f, 0, 0, 1.0f, 0};
static const _synInstDef _arpPluck = {SYN_SUB, SYN_SAW, SYN_SQUARE, 0.4f, 0.0f, 0.3f, 0, 0, 500, 0.3f, 3.4f,
                                      0.5f, {0.001f, 0.22f, 0.0f, 0.1f}, {0.0f, 0.1f, 0.0f, 0.1f}, 0, 0, 0, 0, 0, 0,
                                      0, 0, 1.0f, 0};
static const _synInstDef _glass = {SYN_FM, SYN_SINE, SYN_SINE, 0, 0, 0.5f, 0, 0, 0, 0, 0, 0,
                                   {0.001f, 0.5f, 0.0f, 0.4f}, {0, 0, 0, 0}, 2.0f, 1.2f, 0.2f, 0, 0, 0, 0, 0, 1.0f,
                                   0};

// ---- drums ------------------------------------------------------------------------------------
// Fields: toneStart, toneEnd, toneSweep, toneDecay, toneLevel, noiseDecay, noiseLevel, noiseLow,
// noiseHigh, metalLevel, metalFreq, attack, bursts, clip, gain. Every hit peaks at the same level
// (gain 1); the songs' tracks set the balance.

static const _synDrumDef _kick = {170, 48, 0.028f, 0.16f, 1.0f, 0.005f, 0.35f, 800, 7000, 0, 0, 0.0005f, 0, 1.6f, 1.0f};
static const _synDrumDef _softKick = {120, 50, 0.03f, 0.25f, 1.0f, 0.004f, 0.1f, 300, 3000, 0, 0, 0.002f, 0, 1.0f, 1.0f};
static const _synDrumDef _snare = {210, 180, 0.02f, 0.09f, 0.5f, 0.13f, 0.8f, 700, 9000, 0, 0, 0.0005f, 0, 1.2f, 1.0f};
static const _synDrumDef _clap = {0, 0, 0, 0, 0, 0.12f, 1.0f, 900, 5200, 0, 0, 0.0005f, 3, 0, 1.0f};
static const _synDrumDef _hatC = {0, 0, 0, 0, 0, 0.035f, 0.45f, 7000, 16000, 0.7f, 410, 0.0003f, 0, 0, 1.0f};
static const _synDrumDef _hatO = {0, 0, 0, 0, 0, 0.22f, 0.45f, 6500, 16000, 0.7f, 410, 0.0003f, 0, 0, 1.0f};
static const _synDrumDef _crash = {0, 0, 0, 0, 0, 1.1f, 0.7f, 3500, 15000, 0.5f, 380, 0.001f, 0, 0, 1.0f};
static const _synDrumDef _taiko = {115, 68, 0.05f, 0.35f, 1.0f, 0.07f, 0.4f, 150, 2200, 0, 0, 0.001f, 0, 1.3f, 1.0f};
static const _synDrumDef _shime = {430, 390, 0.02f, 0.07f, 0.7f, 0.045f, 0.5f, 1200, 6500, 0, 0, 0.0004f, 0, 1.1f, 1.0f};
static const _synDrumDef _wood = {1150, 1080, 0.01f, 0.035f, 0.8f, 0.01f, 0.2f, 2000, 8000, 0, 0, 0.0002f, 0, 0, 1.0f};
static const _synDrumDef _tom = {190, 105, 0.06f, 0.32f, 1.0f, 0.05f, 0.2f, 300, 3000, 0, 0, 0.001f, 0, 1.2f, 1.0f};
static const _synDrumDef _shaker = {0, 0, 0, 0, 0, 0.04f, 0.6f, 5000, 12000, 0, 0, 0.012f, 0, 0, 1.0f};
static const _synDrumDef _rim = {800, 760, 0.01f, 0.02f, 0.6f, 0.012f, 0.5f, 1500, 9000, 0, 0, 0.0002f, 0, 0, 1.0f};
static const _synDrumDef _gong = {0, 0, 0, 0, 0, 2.5f, 0.12f, 200, 4000, 0.9f, 97, 0.02f, 0, 0, 1.0f};

// ---- helpers ----------------------------------------------------------------------------------

// One chord per bar over a list: pads, arpeggios and bass lines follow the same progression.
struct _prog {
    const char *chords[16];
    int n;
    const char *at(int aBar) const { return chords[aBar % n]; }
};

static void _padBars(_seqTrack &aT, int aBar0, int aBars, const _prog &aP, int aOctave, float aVel,
                     double aBeatsPerBar = 4)
{
    for (int b = 0; b < aBars; b++)
        sSeqChord(aT, (aBar0 + b) * aBeatsPerBar, aBeatsPerBar * 0.98, aP.at(b), aOctave, aVel);
}

static void _arpBars(_seqTrack &aT, int aBar0, int aBars, const _prog &aP, int aOctave, double aStep,
                     const char *aOrder, float aVel, double aBeatsPerBar = 4, double aGate = 0.9)
{
    for (int b = 0; b < aBars; b++)
        sSeqArp(aT, (aBar0 + b) * aBeatsPerBar, aBeatsPerBar, aStep, aP.at(b), aOctave, aOrder, aVel, aGate);
}

static void _bassBars(_seqTrack &aT, int aBar0, int aBars, const _prog &aP, int aOctave, double aStep,
                      const char *aFigure, float aVel, double aBeatsPerBar = 4)
{
    for (int b = 0; b < aBars; b++)
        sSeqBass(aT, (aBar0 + b) * aBeatsPerBar, aBeatsPerBar, aStep, aP.at(b), aOctave, aFigure, aVel);
}

// The same drum bar (16 steps of a sixteenth) repeated.
static void _drumBars(_seqTrack &aT, int aBar0, int aBars, const char *aBar, float aVel, double aBeatsPerBar = 4)
{
    for (int b = 0; b < aBars; b++)
        sSeqHits(aT, (aBar0 + b) * aBeatsPerBar, aBeatsPerBar / 16.0, aBar, aVel);
}

// A roll that swells over aBars bars: sixteenths, then thirty-seconds in the last bar.
static void _roll(_seqTrack &aT, int aBar0, int aBars, float aVel0, float aVel1, double aBeatsPerBar = 4)
{
    int steps = aBars * 16;
    for (int s = 0; s < steps; s++) {
        double beat = aBar0 * aBeatsPerBar + s * aBeatsPerBar / 16.0;
        float v = aVel0 + (aVel1 - aVel0) * s / steps;
        aT.notes.push_back({beat, 0.1, 60, v});
        if (s >= steps - 16)
            aT.notes.push_back({beat + aBeatsPerBar / 32.0, 0.1, 60, v * 0.8f});
    }
}

static void _hit(_seqTrack &aT, double aBeat, float aVel)
{
    aT.notes.push_back({aBeat, 0.25, 60, aVel});
}

// Scattered high notes from the chords, like stars: each eighth of a bar sounds with
// probability aDensity (the song's own seeded generator decides).
static void _sparkle(_seqTrack &aT, int aBar0, int aBars, const _prog &aP, int aOctave, float aDensity, float aVel,
                     _synNoise &aRng, double aBeatsPerBar = 4)
{
    for (int b = 0; b < aBars; b++) {
        int tones[6];
        int n = sSeqChordTones(aP.at(b), aOctave, tones);
        for (int e = 0; e < (int)(aBeatsPerBar * 2); e++) {
            if (aRng.Below(1000) >= (uint32_t)(aDensity * 1000))
                continue;
            int note = tones[aRng.Below((uint32_t)n)];
            if (aRng.Below(3) == 0 && note < 90)
                note += 12;
            aT.notes.push_back({(aBar0 + b) * aBeatsPerBar + e * 0.5, 0.5, (float)note,
                                aVel * (0.6f + 0.4f * aRng.Below(100) / 100.0f)});
        }
    }
}

// Melody over several bars from a list of one-bar strings.
static void _lines(_seqTrack &aT, int aBar0, double aStep, const char *const *aBars, int aCount, float aVel,
                   int aTranspose = 0, double aBeatsPerBar = 4)
{
    for (int b = 0; b < aCount; b++)
        sSeqLine(aT, (aBar0 + b) * aBeatsPerBar, aStep, aBars[b], aVel, aTranspose);
}

// ---- 00: benchmark ----------------------------------------------------------------------------
// A driving electronic loop in A minor; it repeats for a whole benchmark run, so it starts on
// the groove and ends on a break that leads back into it.
static void _song00(_seqSong &s)
{
    s.bpm = 128;
    s.beats = 56 * 4;
    s.loop = true;
    s.revRoom = 0.55f;
    s.revWidth = 0.2f;
    s.delayBeats = 0.75;
    s.seed = 100;
    const _prog pA = {{"Am", "F", "C", "G"}, 4};
    const _prog pB = {{"F", "G", "Am", "Em", "F", "G", "Am", "Am"}, 8};
    const _prog pBreak = {{"Fmaj7", "G", "Em7", "Am"}, 4};

    _seqTrack &kick = s.AddDrum(&_kick, 0.7f, 0, 0.02f);
    _seqTrack &clap = s.AddDrum(&_clap, 0.75f, 0.05f, 0.2f);
    _seqTrack &hat = s.AddDrum(&_hatC, 0.35f, 0.12f, 0.05f);
    _seqTrack &ohat = s.AddDrum(&_hatO, 0.3f, -0.1f, 0.08f);
    _seqTrack &snare = s.AddDrum(&_snare, 0.75f, 0, 0.2f);
    _seqTrack &crash = s.AddDrum(&_crash, 0.35f, 0.08f, 0.2f);
    _seqTrack &bass = s.Add(&_bassSaw, 0.3f, 0, 0.02f);
    _seqTrack &arp = s.Add(&_arpPluck, 0.13f, -0.12f, 0.25f, 0.3f);
    _seqTrack &pad = s.Add(&_pad, 0.06f, 0.05f, 0.4f);
    _seqTrack &lead = s.Add(&_leadSaw, 0.26f, 0.0f, 0.25f, 0.3f);
    _seqTrack &lead2 = s.Add(&_leadSquare, 0.16f, 0.1f, 0.3f, 0.2f);

    const char *kick4 = "x...x...x...x...";
    // Intro (0-7): the groove builds up.
    _drumBars(kick, 0, 8, kick4, 0.9f);
    _drumBars(hat, 2, 6, "..x...x...x...x.", 0.7f);
    _drumBars(clap, 4, 4, "....x.......x...", 0.8f);
    _bassBars(bass, 4, 4, pA, 2, 0.5, "rrorrfro", 0.6f);
    _arpBars(arp, 0, 8, pA, 5, 0.25, "012+01+2", 0.45f);
    // A (8-23).
    static const char *const melA[8] = {
        "A4 - - C5 E5 - D5 C5", "A4 - - - F4 - G4 A4", "G4 - - E4 G4 - C5 -", "B4 - - A4 G4 - D5 -",
        "E5 - - D5 C5 - B4 C5", "A4 - - C5 F5 - E5 C5", "E5 - - D5 C5 - G4 -", "B4 - - G4 D5 - B4 -"};
    _hit(crash, 8 * 4, 0.9f);
    _drumBars(kick, 8, 16, kick4, 0.95f);
    _drumBars(clap, 8, 16, "....x.......x...", 0.8f);
    _drumBars(hat, 8, 16, "xoxoxoxoxoxoxoxo", 0.7f);
    _drumBars(ohat, 8, 16, "..x...x...x...x.", 0.5f);
    _bassBars(bass, 8, 16, pA, 2, 0.5, "rrorrfro", 0.75f);
    _arpBars(arp, 8, 16, pA, 5, 0.25, "012+01+2", 0.5f);
    _lines(lead, 8, 0.5, melA, 8, 0.85f);
    _lines(lead, 16, 0.5, melA, 8, 0.85f);
    _lines(lead2, 16, 0.5, melA, 8, 0.6f, 12);
    // Break (24-31): chords and arpeggio, then a snare roll into B.
    _padBars(pad, 24, 8, pBreak, 4, 0.75f);
    _arpBars(arp, 24, 8, pBreak, 5, 0.25, "0123+0321", 0.45f);
    _bassBars(bass, 24, 6, pBreak, 2, 2.0, "r-", 0.55f);
    _drumBars(hat, 26, 4, "..x...x...x...x.", 0.5f);
    _roll(snare, 30, 2, 0.15f, 0.6f);
    // B (32-47): the higher tune over a new progression.
    static const char *const melB[8] = {
        "C6 - A5 - F5 - A5 C6", "D6 - B5 - G5 - B5 D6", "E6 - - - C6 - A5 -", "B5 - - G5 E5 - G5 B5",
        "A5 - C6 - A5 - F5 -",  "G5 - B5 - D6 - B5 -",  "C6 - - B5 A5 - E5 -", "A5 - - - - - . ."};
    _hit(crash, 32 * 4, 1.0f);
    _drumBars(kick, 32, 16, kick4, 0.95f);
    _drumBars(clap, 32, 16, "....x.......x..o", 0.8f);
    _drumBars(hat, 32, 16, "xoxoxoxoxoxoxoxo", 0.75f);
    _drumBars(ohat, 32, 16, "..x...x...x...x.", 0.5f);
    _bassBars(bass, 32, 16, pB, 2, 0.25, "r.rrr.ro", 0.75f);
    _padBars(pad, 32, 16, pB, 4, 0.55f);
    _arpBars(arp, 32, 16, pB, 5, 0.25, "0+012+01", 0.45f);
    _lines(lead, 32, 0.5, melB, 8, 0.8f, -12);
    _lines(lead, 40, 0.5, melB, 8, 0.85f, -12);
    _lines(lead2, 40, 0.5, melB, 8, 0.55f);
    _hit(crash, 40 * 4, 0.8f);
    // Outro (48-55): the intro's groove again; the last half bar breaks before the loop.
    _hit(crash, 48 * 4, 0.9f);
    _drumBars(kick, 48, 7, kick4, 0.95f);
    _drumBars(kick, 55, 1, "x...x...x.......", 0.95f);
    _drumBars(clap, 48, 8, "....x.......x...", 0.75f);
    _drumBars(hat, 48, 7, "..x...x...x...x.", 0.65f);
    _bassBars(bass, 48, 7, pA, 2, 0.5, "rrorrfro", 0.7f);
    _bassBars(bass, 55, 1, pA, 2, 0.5, "rror....", 0.7f);
    _arpBars(arp, 48, 8, pA, 5, 0.25, "012+01+2", 0.4f);
}

// ---- 01: opening ------------------------------------------------------------------------------
// The demo's title music in D minor: a drone and a bell motif, strings and harp, then the
// brass theme over big drums, and the motif again as it fades.
static void _song01(_seqSong &s)
{
    s.bpm = 90;
    s.beats = 32 * 4;
    s.revRoom = 0.8f;
    s.revWidth = 0.25f;
    s.delayBeats = 1.5;
    s.seed = 101;
    const _prog pO = {{"Dm", "Bb", "F", "C", "Dm", "Bb", "Gm", "A"}, 8};
    const _prog pDrone = {{"D5"}, 1};

    _seqTrack &taiko = s.AddDrum(&_taiko, 0.85f, 0, 0.3f);
    _seqTrack &tom = s.AddDrum(&_tom, 0.6f, -0.1f, 0.3f);
    _seqTrack &snare = s.AddDrum(&_snare, 0.75f, 0.05f, 0.35f);
    _seqTrack &crash = s.AddDrum(&_crash, 0.35f, 0.08f, 0.3f);
    _seqTrack &gong = s.AddDrum(&_gong, 0.4f, 0, 0.4f);
    _seqTrack &pad = s.Add(&_strings, 0.07f, 0, 0.45f);
    _seqTrack &drone = s.Add(&_pad, 0.06f, 0, 0.4f);
    _seqTrack &bell = s.Add(&_bell, 0.18f, 0.1f, 0.4f, 0.25f);
    _seqTrack &harp = s.Add(&_harp, 0.2f, -0.12f, 0.35f);
    _seqTrack &bass = s.Add(&_bassSub, 0.32f, 0, 0.1f);
    _seqTrack &brass = s.Add(&_brass, 0.1f, 0.05f, 0.35f, 0.1f);

    static const char *const motif[4] = {"D5 - - - A5 - - -", "F5 - - E5 D5 - - -", "D5 - - - A5 - - -",
                                         "C6 - - A5 E5 - - -"};
    // Drone and motif (0-3).
    _hit(gong, 0, 0.7f);
    _padBars(drone, 0, 4, pDrone, 2, 0.8f);
    _lines(bell, 0, 0.5, motif, 4, 0.75f);
    // Strings and harp (4-11).
    _padBars(pad, 4, 8, pO, 3, 0.6f);
    _arpBars(harp, 4, 8, pO, 4, 0.5, "012+0+1+2+01", 0.6f);
    _bassBars(bass, 4, 8, pO, 2, 2.0, "r-", 0.6f);
    _lines(bell, 8, 0.5, motif, 4, 0.55f, 12);
    _hit(taiko, 10 * 4, 0.6f);
    _hit(taiko, 11 * 4, 0.7f);
    _hit(taiko, 11 * 4 + 2, 0.8f);
    _roll(snare, 11, 1, 0.1f, 0.5f);
    // The theme over drums (12-19).
    static const char *const theme[8] = {"D4 - F4 A4", "Bb4 - A4 G4", "A4 - - F4", "G4 - E4 -",
                                         "D4 - F4 A4", "D5 - C5 Bb4", "Bb4 - A4 G4", "A4 - - -"};
    _hit(crash, 12 * 4, 0.8f);
    _drumBars(taiko, 12, 8, "X.......x...x...", 0.85f);
    _drumBars(tom, 12, 8, "..........o.x.x.", 0.7f);
    _padBars(pad, 12, 8, pO, 3, 0.55f);
    _arpBars(harp, 12, 8, pO, 4, 0.5, "012+0+1+2+01", 0.5f);
    _bassBars(bass, 12, 8, pO, 2, 1.0, "rrro", 0.65f);
    _lines(brass, 12, 1.0, theme, 8, 0.8f);
    _roll(snare, 19, 1, 0.15f, 0.6f);
    // Climax (20-27): the theme an octave up, strings doubling it.
    for (int b = 20; b < 28; b += 4)
        _hit(crash, b * 4, 0.9f);
    _drumBars(taiko, 20, 8, "X...x...X.x.x...", 0.9f);
    _drumBars(tom, 20, 8, "....o.......o.xx", 0.7f);
    _drumBars(snare, 20, 8, "....x.......x...", 0.6f);
    _padBars(pad, 20, 8, pO, 3, 0.6f);
    _arpBars(harp, 20, 8, pO, 5, 0.25, "012+0", 0.4f);
    _bassBars(bass, 20, 8, pO, 2, 0.5, "rrrorrro", 0.65f);
    _lines(brass, 20, 1.0, theme, 8, 0.85f, 12);
    _lines(pad, 20, 1.0, theme, 8, 0.5f, 12);
    // Outro (28-31).
    _hit(taiko, 28 * 4, 1.0f);
    _hit(gong, 28 * 4, 0.9f);
    _padBars(drone, 28, 4, pDrone, 2, 0.7f);
    sSeqChord(pad, 28 * 4, 12, "Dm", 3, 0.55f);
    _lines(bell, 28, 0.5, motif, 3, 0.6f);
    sSeqLine(bell, 31 * 4, 0.5, "D5 - - - . . . .", 0.5f);
}

// ---- 02: ninja --------------------------------------------------------------------------------
// The ninja scenes: a bamboo flute in the Japanese scale on E over taiko drums, a plucked bass
// and koto; a battle section with a driving kick, a quiet bridge of drum calls and a climax.
static void _song02(_seqSong &s)
{
    s.bpm = 132;
    s.beats = 88 * 4;
    s.revRoom = 0.65f;
    s.revWidth = 0.2f;
    s.delayBeats = 0.75;
    s.seed = 102;
    const _prog pN = {{"Am", "F", "E5", "E5", "Dm", "F", "E5", "E5"}, 8};
    const _prog pA = {{"Am", "F", "E5", "E5", "Dm", "F", "E5", "E5", "Am", "F", "Am", "E5", "F", "Dm", "E5", "E5"},
                      16};
    const _prog pDrone = {{"E5"}, 1};

    _seqTrack &taiko = s.AddDrum(&_taiko, 0.85f, 0, 0.25f);
    _seqTrack &shime = s.AddDrum(&_shime, 0.5f, 0.12f, 0.2f);
    _seqTrack &wood = s.AddDrum(&_wood, 0.4f, -0.12f, 0.2f);
    _seqTrack &kick = s.AddDrum(&_kick, 0.7f, 0, 0.05f);
    _seqTrack &gong = s.AddDrum(&_gong, 0.4f, 0, 0.4f);
    _seqTrack &flute = s.Add(&_flute, 0.3f, 0.05f, 0.35f, 0.2f);
    _seqTrack &koto = s.Add(&_koto, 0.3f, -0.15f, 0.3f);
    _seqTrack &bass = s.Add(&_bassPluck, 0.28f, 0, 0.1f);
    _seqTrack &pad = s.Add(&_strings, 0.07f, 0.05f, 0.4f);
    _seqTrack &drone = s.Add(&_pad, 0.06f, 0, 0.35f);

    // Intro (0-7): the flute alone over a drone; single drum strokes.
    static const char *const intro[8] = {"E5 - - -", "- - F5 E5", "A5 - - -", "B5 - A5 F5",
                                         "E5 - - -", "F5 - E5 C5", "B4 - - -", "- - . ."};
    _hit(gong, 0, 0.6f);
    _padBars(drone, 0, 8, pDrone, 2, 0.75f);
    _lines(flute, 0, 1.0, intro, 8, 0.75f);
    for (int b = 2; b < 8; b += 2)
        _hit(taiko, b * 4, 0.6f + 0.1f * b / 2);
    _drumBars(taiko, 7, 1, "X.x.X.x.X.x.XxXx", 0.6f);
    // Groove (8-15).
    const char *taikoBar = "X.....x.X...x...";
    const char *shimeBar = "x.xx..x.x.xx..x.";
    _drumBars(taiko, 8, 8, taikoBar, 0.85f);
    _drumBars(shime, 8, 8, shimeBar, 0.7f);
    _drumBars(wood, 8, 8, "x...x...x...x...", 0.6f);
    _bassBars(bass, 8, 8, pN, 2, 0.5, "rr.rfr.l", 0.8f);
    _arpBars(koto, 12, 4, pN, 4, 0.5, "0+0120+12", 0.6f);
    // Theme A (16-31).
    static const char *const themeA[16] = {
        "E5 - - F5", "A5 - B5 -",  "C6 - B5 A5", "B5 - - -", "A5 - F5 E5", "F5 - A5 -", "E5 - - -",   "- - . .",
        "E5 - F5 A5", "B5 - C6 -", "E6 - D6 C6", "B5 - - -", "C6 - B5 A5", "F5 - E5 F5", "E5 - - -", "- - . ."};
    _drumBars(taiko, 16, 16, taikoBar, 0.85f);
    _drumBars(shime, 16, 16, shimeBar, 0.7f);
    _drumBars(wood, 16, 16, "x...x...x...x...", 0.5f);
    _bassBars(bass, 16, 16, pA, 2, 0.5, "rr.rfr.l", 0.8f);
    _arpBars(koto, 16, 16, pA, 4, 0.5, "0+0120+12", 0.55f);
    _padBars(pad, 16, 16, pA, 3, 0.45f);
    _lines(flute, 16, 1.0, themeA, 16, 0.8f);
    // Breakdown (32-39): the koto alone with strings.
    _hit(gong, 32 * 4, 0.5f);
    _arpBars(koto, 32, 8, pN, 4, 0.25, "012+0+1+2+10", 0.55f);
    _padBars(pad, 32, 8, pN, 3, 0.5f);
    _drumBars(shime, 36, 4, "x...x...x...x.x.", 0.5f);
    _drumBars(taiko, 39, 1, "X...X...X.X.XXXX", 0.7f);
    // Battle (40-55): a kick under the taiko, the bass in sixteenths, the fast theme.
    static const char *const themeB[8] = {
        "E6 - D6 C6 B5 - A5 -", "F5 - A5 - C6 - B5 A5", "B5 - - - E5 - F5 -", "B5 - C6 - B5 - A5 F5",
        "D6 - C6 - A5 - F5 -",  "A5 - - C6 B5 - A5 F5", "E5 - F5 - B5 - - -", "E6 - - - - - . ."};
    _drumBars(kick, 40, 16, "x...x...x...x.x.", 0.85f);
    _drumBars(taiko, 40, 16, "X..x..x.X..x.xx.", 0.8f);
    _drumBars(shime, 40, 16, "xxx.xxx.xxx.xx.x", 0.6f);
    _drumBars(wood, 40, 16, "..x...x...x...x.", 0.5f);
    _bassBars(bass, 40, 16, pN, 2, 0.25, "rrorrfrorrorrlro", 0.8f);
    _padBars(pad, 40, 16, pN, 3, 0.5f);
    _lines(flute, 40, 0.5, themeB, 8, 0.85f);
    _lines(flute, 48, 0.5, themeB, 8, 0.85f);
    _lines(koto, 48, 0.5, themeB, 8, 0.6f, -12);
    // Bridge (56-63): drum calls and answers, long flute notes.
    _hit(gong, 56 * 4, 0.6f);
    for (int b = 56; b < 64; b += 2) {
        _drumBars(taiko, b, 1, "X...X...X.X.X...", 0.8f);
        _drumBars(shime, b + 1, 1, "x.x.x.x.xxxxx...", 0.6f);
    }
    static const char *const bridge[8] = {"B5 - - -", "- - A5 -", "C6 - - -", "B5 - - -",
                                          "F5 - - -", "- - E5 -", "F5 - - -", "E5 - . ."};
    _lines(flute, 56, 1.0, bridge, 8, 0.7f);
    _padBars(drone, 56, 8, pDrone, 2, 0.6f);
    _padBars(pad, 56, 8, pN, 3, 0.4f);
    // Climax (64-79): theme A an octave up with koto doubling, the full band.
    _drumBars(kick, 64, 16, "x...x...x...x...", 0.8f);
    _drumBars(taiko, 64, 16, taikoBar, 0.9f);
    _drumBars(shime, 64, 16, shimeBar, 0.7f);
    _drumBars(wood, 64, 16, "x.x.x.x.x.x.x.x.", 0.45f);
    _bassBars(bass, 64, 16, pA, 2, 0.5, "rrorrfro", 0.8f);
    _padBars(pad, 64, 16, pA, 3, 0.5f);
    _lines(flute, 64, 1.0, themeA, 16, 0.85f, 12);
    _lines(koto, 64, 1.0, themeA, 16, 0.55f);
    // Outro (80-87).
    _drumBars(taiko, 80, 4, "X.......X.......", 0.7f);
    _lines(flute, 80, 1.0, themeA, 6, 0.7f);
    _padBars(drone, 80, 8, pDrone, 2, 0.7f);
    _hit(taiko, 86 * 4, 1.0f);
    _hit(gong, 86 * 4, 0.9f);
}

// ---- 03: space --------------------------------------------------------------------------------
// The space part of the demo: pads and starry bells, a sequencer arpeggio, a singing lead; the
// battle in the middle gets a driving beat and brass; the theme returns and drifts away.
static void _song03(_seqSong &s)
{
    s.bpm = 100;
    s.beats = 92 * 4;
    s.revRoom = 0.85f;
    s.revWidth = 0.3f;
    s.delayBeats = 0.75;
    s.delayFeedback = 0.45f;
    s.seed = 103;
    _synNoise rng(303);
    const _prog pS = {{"Em9", "Cmaj7", "Am9", "Bsus4", "Em9", "Cmaj7", "Am9", "B"}, 8};
    const _prog pBat = {{"Em", "C", "D", "B", "Em", "C", "Am", "B"}, 8};

    _seqTrack &kick = s.AddDrum(&_kick, 0.7f, 0, 0.05f);
    _seqTrack &snare = s.AddDrum(&_snare, 0.75f, 0.05f, 0.3f);
    _seqTrack &hat = s.AddDrum(&_hatC, 0.35f, 0.12f, 0.1f);
    _seqTrack &tom = s.AddDrum(&_tom, 0.6f, -0.1f, 0.25f);
    _seqTrack &crash = s.AddDrum(&_crash, 0.35f, 0.08f, 0.3f);
    _seqTrack &pad = s.Add(&_pad, 0.06f, 0, 0.5f);
    _seqTrack &glass = s.Add(&_glass, 0.2f, 0.15f, 0.5f, 0.4f);
    _seqTrack &arp = s.Add(&_arpPluck, 0.13f, -0.12f, 0.3f, 0.35f);
    _seqTrack &bass = s.Add(&_bassSub, 0.32f, 0, 0.05f);
    _seqTrack &bassDrive = s.Add(&_bassSaw, 0.3f, 0, 0.05f);
    _seqTrack &lead = s.Add(&_leadSaw, 0.26f, 0.03f, 0.35f, 0.35f);
    _seqTrack &lead2 = s.Add(&_leadSquare, 0.16f, -0.08f, 0.35f, 0.3f);
    _seqTrack &brass = s.Add(&_brass, 0.1f, 0.06f, 0.3f);
    _seqTrack &strings = s.Add(&_strings, 0.07f, -0.05f, 0.45f);

    // Drift (0-7): pads and stars.
    _padBars(pad, 0, 8, pS, 3, 0.7f);
    _sparkle(glass, 0, 8, pS, 5, 0.3f, 0.6f, rng);
    // Sequence (8-23).
    _padBars(pad, 8, 16, pS, 3, 0.55f);
    _arpBars(arp, 8, 16, pS, 4, 0.25, "0+012+0+1+2+30", 0.45f);
    _bassBars(bass, 8, 16, pS, 2, 0.5, "r---o---", 0.65f);
    _sparkle(glass, 8, 16, pS, 5, 0.15f, 0.5f, rng);
    _drumBars(kick, 16, 8, "x...x...x...x...", 0.6f);
    _drumBars(hat, 20, 4, "..x...x...x...x.", 0.5f);
    // Theme A (24-39).
    static const char *const themeA[8] = {
        "B4 - - - E5 - F#5 G5", "G5 - - - F#5 - E5 -", "E5 - - - C5 - B4 A4", "B4 - - - - - . .",
        "B4 - - - E5 - F#5 G5", "B5 - - - A5 - G5 -",  "A5 - G5 - F#5 - E5 D5", "D#5 - - - F#5 - - -"};
    _hit(crash, 24 * 4, 0.7f);
    _drumBars(kick, 24, 16, "x...x...x...x...", 0.75f);
    _drumBars(snare, 24, 16, "....x.......x...", 0.6f);
    _drumBars(hat, 24, 16, "x.x.x.x.x.x.x.xo", 0.55f);
    _padBars(pad, 24, 16, pS, 3, 0.5f);
    _arpBars(arp, 24, 16, pS, 4, 0.25, "0+012+0+1+2+30", 0.4f);
    _bassBars(bass, 24, 16, pS, 2, 0.5, "r-.ro-.r", 0.7f);
    _lines(lead, 24, 0.5, themeA, 8, 0.8f);
    _lines(lead, 32, 0.5, themeA, 8, 0.8f);
    _lines(lead2, 32, 0.5, themeA, 8, 0.55f, 12);
    // Breakdown (40-47).
    _padBars(pad, 40, 8, pS, 3, 0.65f);
    _arpBars(arp, 40, 8, pS, 4, 0.25, "0+012+0+1+2+30", 0.4f);
    _bassBars(bass, 40, 8, pS, 2, 2.0, "r-", 0.6f);
    _sparkle(glass, 40, 8, pS, 5, 0.35f, 0.55f, rng);
    _roll(snare, 46, 2, 0.1f, 0.55f);
    // Battle (48-63).
    static const char *const themeB[8] = {
        "E5 - G5 - B5 - A5 G5", "E5 - - - C5 - E5 -", "F#5 - A5 - D6 - C6 B5", "B5 - - - D#5 - F#5 -",
        "E5 - G5 - B5 - E6 -",  "C6 - B5 - G5 - E5 -", "A5 - C6 - B5 - A5 G5", "F#5 - - - D#5 - B4 -"};
    for (int b = 48; b < 64; b += 4) {
        _hit(crash, b * 4, 0.85f);
        _drumBars(tom, b + 3, 1, "..........x.x.xx", 0.7f);
    }
    _drumBars(kick, 48, 16, "x.x...x.x.x...x.", 0.85f);
    _drumBars(snare, 48, 16, "....x.......x..o", 0.7f);
    _drumBars(hat, 48, 16, "xoxoxoxoxoxoxoxo", 0.6f);
    _bassBars(bassDrive, 48, 16, pBat, 2, 0.25, "rrorrrfrrrorrfro", 0.75f);
    for (int b = 48; b < 64; b++)
        for (double off : {0.0, 0.75, 1.5, 2.5})
            sSeqChord(brass, b * 4 + off, 0.4, pBat.at(b - 48), 4, 0.65f);
    _padBars(strings, 48, 16, pBat, 3, 0.45f);
    _lines(lead, 48, 0.5, themeB, 8, 0.85f);
    _lines(lead, 56, 0.5, themeB, 8, 0.85f);
    _lines(lead2, 56, 0.5, themeB, 8, 0.5f, 12);
    // Theme A again (64-79).
    _hit(crash, 64 * 4, 0.8f);
    _drumBars(kick, 64, 16, "x...x...x...x...", 0.75f);
    _drumBars(snare, 64, 16, "....x.......x...", 0.6f);
    _drumBars(hat, 64, 16, "x.x.x.x.x.x.x.x.", 0.5f);
    _padBars(pad, 64, 16, pS, 3, 0.5f);
    _padBars(strings, 64, 16, pS, 4, 0.35f);
    _arpBars(arp, 64, 16, pS, 4, 0.25, "0+012+0+1+2+30", 0.4f);
    _bassBars(bass, 64, 16, pS, 2, 0.5, "r-.ro-.r", 0.7f);
    _lines(lead, 64, 0.5, themeA, 8, 0.8f);
    _lines(lead, 72, 0.5, themeA, 8, 0.8f, 12);
    _sparkle(glass, 64, 16, pS, 6, 0.1f, 0.4f, rng);
    // Drift away (80-91).
    _padBars(pad, 80, 8, pS, 3, 0.55f);
    _arpBars(arp, 80, 8, pS, 4, 0.5, "0+012+0+1", 0.35f);
    _bassBars(bass, 80, 8, pS, 2, 2.0, "r-", 0.55f);
    _sparkle(glass, 80, 12, pS, 5, 0.25f, 0.45f, rng);
    sSeqChord(pad, 88 * 4, 14, "Em9", 3, 0.5f);
}

// ---- 04: interlude ----------------------------------------------------------------------------
// A short, easy groove in F: electric piano, bass and brushes, a tune on top. No scene names it;
// it is kept with the other pieces as the set's spare.
static void _song04(_seqSong &s)
{
    s.bpm = 92;
    s.beats = 28 * 4;
    s.revRoom = 0.5f;
    s.revWidth = 0.25f;
    s.delayBeats = 0.75;
    s.seed = 104;
    const _prog pI = {{"Fmaj7", "Am7", "Bbmaj7", "C", "Dm7", "Am7", "Bbmaj7", "C7"}, 8};

    _seqTrack &kick = s.AddDrum(&_softKick, 0.65f, 0, 0.05f);
    _seqTrack &rim = s.AddDrum(&_rim, 0.4f, 0.1f, 0.2f);
    _seqTrack &shaker = s.AddDrum(&_shaker, 0.25f, -0.12f, 0.1f);
    _seqTrack &ep = s.Add(&_epiano, 0.08f, -0.05f, 0.3f);
    _seqTrack &bass = s.Add(&_bassSub, 0.32f, 0, 0.05f);
    _seqTrack &lead = s.Add(&_leadSquare, 0.16f, 0.08f, 0.3f, 0.3f);
    _seqTrack &bell = s.Add(&_bell, 0.18f, 0.12f, 0.4f, 0.3f);

    for (int b = 0; b < 28; b++) {
        const char *c = pI.at(b);
        double at = b * 4;
        sSeqChord(ep, at, 1.4, c, 4, 0.6f);
        sSeqChord(ep, at + 1.5, 0.9, c, 4, 0.45f);
        sSeqChord(ep, at + 2.5, 1.4, c, 4, 0.55f);
    }
    _bassBars(bass, 4, 20, pI, 2, 0.5, "r--r.f-o", 0.7f);
    _drumBars(kick, 4, 20, "x.....x...x.....", 0.75f);
    _drumBars(rim, 4, 20, "....x.......x...", 0.6f);
    _drumBars(shaker, 6, 18, "xoxoxoxoxoxoxoxo", 0.5f);
    static const char *const tune[8] = {
        "A5 - - G5 F5 - C5 -", "E5 - - - C5 - - -", "D5 - F5 - A5 - G5 F5", "G5 - - - - - . .",
        "F5 - - E5 D5 - A4 -", "C5 - E5 - A5 - - -", "Bb5 - A5 G5 F5 - D5 -", "E5 - - - G5 - - -"};
    _lines(lead, 12, 0.5, tune, 8, 0.75f);
    _lines(lead, 20, 0.5, tune, 4, 0.7f);
    _lines(bell, 20, 0.5, tune, 4, 0.5f, 12);
    _bassBars(bass, 24, 4, pI, 2, 2.0, "r-", 0.6f);
    sSeqChord(ep, 27 * 4, 4, "Fmaj7", 4, 0.5f);
}

// ---- 05: sf ninja and ending ------------------------------------------------------------------
// Two scenes in one stream: a hard-hitting action cue in D minor for the future ninja, a short
// lift, then the closing anthem in D major.
static void _song05(_seqSong &s)
{
    s.bpm = 120;
    s.beats = 60 * 4;
    s.revRoom = 0.7f;
    s.revWidth = 0.25f;
    s.delayBeats = 0.75;
    s.seed = 105;
    const _prog pSf = {{"Dm", "Bb", "C", "Dm", "Dm", "Bb", "Gm", "A"}, 8};
    const _prog pLift = {{"Bb", "C", "Asus4", "A"}, 4};
    const _prog pEnd = {{"D", "A", "Bm", "G", "D", "A", "G", "A"}, 8};

    _seqTrack &kick = s.AddDrum(&_kick, 0.7f, 0, 0.05f);
    _seqTrack &taiko = s.AddDrum(&_taiko, 0.85f, 0, 0.25f);
    _seqTrack &snare = s.AddDrum(&_snare, 0.75f, 0.05f, 0.3f);
    _seqTrack &hat = s.AddDrum(&_hatC, 0.35f, 0.12f, 0.1f);
    _seqTrack &crash = s.AddDrum(&_crash, 0.35f, 0.08f, 0.3f);
    _seqTrack &gong = s.AddDrum(&_gong, 0.4f, 0, 0.4f);
    _seqTrack &bassDrive = s.Add(&_bassSaw, 0.3f, 0, 0.05f);
    _seqTrack &bass = s.Add(&_bassSub, 0.32f, 0, 0.05f);
    _seqTrack &koto = s.Add(&_koto, 0.3f, -0.15f, 0.3f);
    _seqTrack &lead = s.Add(&_leadSaw, 0.26f, 0.04f, 0.3f, 0.35f);
    _seqTrack &brass = s.Add(&_brass, 0.1f, 0.06f, 0.3f);
    _seqTrack &pad = s.Add(&_pad, 0.06f, 0, 0.45f);
    _seqTrack &strings = s.Add(&_strings, 0.07f, -0.04f, 0.45f);
    _seqTrack &harp = s.Add(&_harp, 0.2f, -0.12f, 0.35f);
    _seqTrack &bell = s.Add(&_bell, 0.18f, 0.12f, 0.4f, 0.25f);
    _seqTrack &flute = s.Add(&_flute, 0.3f, 0.05f, 0.35f, 0.2f);

    // Action (0-23).
    _drumBars(taiko, 0, 4, "X..x..x.X...x.x.", 0.8f);
    _arpBars(koto, 0, 24, pSf, 4, 0.25, "0+01+0+20+1", 0.5f);
    _drumBars(kick, 4, 20, "x...x...x...x..x", 0.85f);
    _drumBars(taiko, 4, 20, "X.....x.....x...", 0.75f);
    _drumBars(snare, 8, 16, "....x.......x...", 0.65f);
    _drumBars(hat, 8, 16, "xoxoxoxoxoxoxoxo", 0.55f);
    _bassBars(bassDrive, 4, 20, pSf, 2, 0.25, "rrorrrorrrorrfro", 0.75f);
    static const char *const theme[8] = {
        "D5 - - F5 E5 - D5 C5", "D5 - - - Bb4 - A4 -", "C5 - E5 - G5 - F5 E5", "D5 - - - - - A4 -",
        "D5 - F5 - A5 - G5 F5", "Bb5 - A5 - F5 - D5 -", "G5 - F5 - E5 - D5 -", "C#5 - - - E5 - A5 -"};
    for (int b = 8; b < 24; b += 8)
        _hit(crash, b * 4, 0.85f);
    _lines(lead, 8, 0.5, theme, 8, 0.8f);
    _lines(lead, 16, 0.5, theme, 8, 0.85f);
    for (int b = 16; b < 24; b++)
        for (double off : {0.0, 1.5, 3.0})
            sSeqChord(brass, b * 4 + off, 0.5, pSf.at(b - 16), 4, 0.6f);
    // Lift (24-27).
    _hit(gong, 24 * 4, 0.6f);
    _padBars(pad, 24, 4, pLift, 3, 0.7f);
    _synNoise rng(505);
    _sparkle(bell, 24, 4, pLift, 5, 0.3f, 0.5f, rng);
    _roll(snare, 27, 1, 0.1f, 0.5f);
    // Anthem (28-55).
    static const char *const anthem[16] = {
        "F#5 - E5 D5", "E5 - - A4",   "B4 - C#5 D5", "D5 - - -",  "F#5 - G5 A5", "A5 - G5 F#5", "G5 - F#5 E5",
        "E5 - - -",    "F#5 - E5 D5", "E5 - - A4",   "B4 - C#5 D5", "B5 - A5 -", "A5 - F#5 D5", "E5 - F#5 G5",
        "F#5 - E5 -",  "D5 - - -"};
    _padBars(strings, 28, 8, pEnd, 3, 0.55f);
    _arpBars(harp, 28, 28, pEnd, 4, 0.5, "012+0+1+2+10", 0.55f);
    _bassBars(bass, 28, 8, pEnd, 2, 2.0, "r-", 0.6f);
    _lines(bell, 28, 1.0, anthem, 8, 0.7f);
    _hit(crash, 36 * 4, 0.8f);
    _drumBars(kick, 36, 16, "x.......x.x.....", 0.75f);
    _drumBars(snare, 36, 16, "........x.......", 0.65f);
    _drumBars(hat, 36, 16, "x.x.x.x.x.x.x.x.", 0.45f);
    _padBars(strings, 36, 16, pEnd, 3, 0.55f);
    _bassBars(bass, 36, 16, pEnd, 2, 1.0, "rrro", 0.7f);
    _lines(flute, 36, 1.0, anthem, 16, 0.8f);
    _lines(brass, 44, 1.0, anthem, 8, 0.55f, -12);
    _hit(crash, 44 * 4, 0.85f);
    // Close (52-59).
    _hit(crash, 52 * 4, 0.7f);
    _hit(taiko, 52 * 4, 0.8f);
    sSeqChord(strings, 52 * 4, 14, "D", 3, 0.55f);
    sSeqChord(pad, 52 * 4, 16, "Dadd9", 3, 0.5f);
    sSeqLine(bell, 52 * 4, 1.0, "D5 - F#5 A5 | D6 - - - | A5 - - - | D6 - - -", 0.6f);
    sSeqChord(bass, 52 * 4, 12, "D5", 2, 0.6f);
}

// ---- 06: water --------------------------------------------------------------------------------
// The water scenes: D lydian, harp and electric piano, a glassy tune and a flute, soft drums.
static void _song06(_seqSong &s)
{
    s.bpm = 84;
    s.beats = 44 * 4;
    s.revRoom = 0.8f;
    s.revWidth = 0.3f;
    s.delayBeats = 0.75;
    s.delayFeedback = 0.4f;
    s.seed = 106;
    _synNoise rng(606);
    const _prog pW = {{"Dmaj7", "Eadd9", "Bm7", "Gmaj7", "Dmaj7", "Eadd9", "F#m7", "Gmaj7"}, 8};

    _seqTrack &kick = s.AddDrum(&_softKick, 0.65f, 0, 0.1f);
    _seqTrack &rim = s.AddDrum(&_rim, 0.4f, 0.1f, 0.3f);
    _seqTrack &shaker = s.AddDrum(&_shaker, 0.25f, -0.12f, 0.15f);
    _seqTrack &harp = s.Add(&_harp, 0.26f, -0.1f, 0.4f);
    _seqTrack &ep = s.Add(&_epiano, 0.08f, 0.05f, 0.35f);
    _seqTrack &pad = s.Add(&_pad, 0.035f, 0, 0.5f);
    _seqTrack &glass = s.Add(&_glass, 0.3f, 0.12f, 0.45f, 0.4f);
    _seqTrack &flute = s.Add(&_flute, 0.3f, 0.04f, 0.4f, 0.25f);
    _seqTrack &bass = s.Add(&_bassSub, 0.32f, 0, 0.05f);

    // Ripples (0-7).
    _arpBars(harp, 0, 44, pW, 4, 0.5, "0123+0+1+2+3", 0.55f);
    _padBars(pad, 0, 44, pW, 3, 0.5f);
    _sparkle(glass, 0, 8, pW, 6, 0.12f, 0.4f, rng);
    // Tune (8-23).
    static const char *const tune[8] = {
        "A5 - - - F#5 - E5 -", "G#5 - - - F#5 - B4 -", "D5 - - - C#5 - B4 -", "D5 - - - - - . .",
        "A5 - - - C#6 - B5 -", "G#5 - - - F#5 - E5 -", "F#5 - E5 - C#5 - A4 -", "B4 - - - - - . ."};
    for (int b = 8; b < 40; b++) {
        double at = b * 4;
        sSeqChord(ep, at, 1.8, pW.at(b), 4, 0.5f);
        sSeqChord(ep, at + 2, 1.8, pW.at(b), 4, 0.4f);
    }
    _bassBars(bass, 8, 32, pW, 2, 1.0, "r-.f", 0.65f);
    _lines(glass, 8, 0.5, tune, 8, 0.75f);
    _lines(glass, 16, 0.5, tune, 8, 0.75f);
    // Flute (24-31) over soft drums.
    static const char *const song2[8] = {
        "F#5 - - - A5 - - -", "B5 - - - G#5 - - -", "F#5 - - - D5 - - -", "E5 - - - - - - -",
        "F#5 - - - A5 - C#6 -", "B5 - - - G#5 - E5 -", "C#6 - - - A5 - F#5 -", "G5 - - - - - . ."};
    _drumBars(kick, 24, 16, "x.......x.x.....", 0.7f);
    _drumBars(rim, 24, 16, "....x.......x...", 0.55f);
    _drumBars(shaker, 24, 16, "x.xox.xox.xox.xo", 0.5f);
    _lines(flute, 24, 0.5, song2, 8, 0.75f);
    // The tune again on flute and glass (32-39).
    _lines(flute, 32, 0.5, tune, 8, 0.7f);
    _lines(glass, 32, 0.5, tune, 8, 0.45f, 12);
    // Still water (40-43).
    _sparkle(glass, 40, 4, pW, 6, 0.15f, 0.4f, rng);
    sSeqChord(ep, 40 * 4, 12, "Dmaj7", 4, 0.45f);
    sSeqChord(bass, 40 * 4, 12, "D5", 2, 0.5f);
}

// ---- music table ------------------------------------------------------------------------------

static const struct {
    void (*build)(_seqSong &);
    const char *title;
} _songTbl[MUSIC_NUM] = {
    {_song00, "benchmark loop, A minor, 128 BPM"},
    {_song01, "opening, D minor, 90 BPM"},
    {_song02, "ninja, E in-scale, 132 BPM"},
    {_song03, "space, E minor, 100 BPM"},
    {_song04, "interlude, F major, 92 BPM"},
    {_song05, "sf ninja and ending, D minor to D major, 120 BPM"},
    {_song06, "water, D lydian, 84 BPM"},
};

void sMusicSong(int aNum, _seqSong &aSong)
{
    aSong = _seqSong();
    if (aNum >= 0 && aNum < MUSIC_NUM)
        _songTbl[aNum].build(aSong);
}

const char *sMusicTitle(int aNum)
{
    return aNum >= 0 && aNum < MUSIC_NUM ? _songTbl[aNum].title : "";
}
