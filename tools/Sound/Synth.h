#ifndef KESTREL_TOOLS_SOUND_SYNTH_H
#define KESTREL_TOOLS_SOUND_SYNTH_H

// The content builder's synthesiser: instrument voices (subtractive, FM, plucked string, breath),
// drum voices, and the send effects of a mix. Everything runs at 44100 Hz on float samples and is
// deterministic: noise comes from a seeded generator, nothing depends on the clock.

#include <cstddef>
#include <cstdint>
#include <vector>

enum { SYN_RATE = 44100 };

// Seeded white noise (xorshift32), -1..1.
struct _synNoise {
    uint32_t s;
    explicit _synNoise(uint32_t aSeed) : s(aSeed ? aSeed : 0x9E3779B9u) {}
    uint32_t NextU()
    {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        return s;
    }
    float Next() { return (float)((int32_t)NextU()) * (1.0f / 2147483648.0f); }
    // 0 <= value < aN
    uint32_t Below(uint32_t aN) { return (uint32_t)(((uint64_t)NextU() * aN) >> 32); }
};

// One period of a sine for a phase 0..1 (table, linear interpolation).
enum { SYN_SIN_N = 4096 };
extern float synSinTbl[SYN_SIN_N + 1];
inline float sSynSin(float aPhase)
{
    float x = (aPhase - (float)(int)aPhase) * SYN_SIN_N;
    if (x < 0)
        x += SYN_SIN_N;
    int i = (int)x;
    if (i >= SYN_SIN_N)
        i = SYN_SIN_N - 1;
    return synSinTbl[i] + (synSinTbl[i + 1] - synSinTbl[i]) * (x - (float)i);
}
// Soft saturation, close to tanh and cheap enough for every sample.
inline float sSynSat(float aX)
{
    if (aX > 3.0f)
        return 1.0f;
    if (aX < -3.0f)
        return -1.0f;
    float x2 = aX * aX;
    return aX * (27.0f + x2) / (27.0f + 9.0f * x2);
}
// Frequency of a MIDI note number (69 = A 440).
float sSynMidiFreq(float aNote);

// Topology-preserving state-variable filter (stable under fast cutoff changes).
struct _synFilter {
    float ic1 = 0, ic2 = 0, g = 0, k = 2, a1 = 0, a2 = 0, a3 = 0;
    void Set(float aCutoffHz, float aReso);
    // Returns the low-pass output; aBandP/aHighP receive the other two when non-null.
    float Run(float aIn, float *aBandP = nullptr, float *aHighP = nullptr)
    {
        float v3 = aIn - ic2;
        float v1 = a1 * ic1 + a2 * v3;
        float v2 = ic2 + a2 * ic1 + a3 * v3;
        ic1 = 2 * v1 - ic1;
        ic2 = 2 * v2 - ic2;
        if (aBandP)
            *aBandP = v1;
        if (aHighP)
            *aHighP = aIn - k * v1 - v2;
        return v2;
    }
};

struct _synEnvDef {
    float attack, decay, sustain, release; // seconds, seconds, level 0..1, seconds
};

enum _synWave : uint8_t { SYN_SINE, SYN_SAW, SYN_SQUARE, SYN_TRI, SYN_NOISE };

enum _synKind : uint8_t {
    SYN_SUB,   // oscillators through a resonant low-pass
    SYN_FM,    // two-operator FM (bells, electric piano, brass)
    SYN_PLUCK, // plucked string (koto, harp, guitar)
    SYN_BREATH // flute: sine with breath noise, vibrato after an onset delay
};

struct _synInstDef {
    _synKind kind;
    _synWave wave1, wave2;
    float mix2;         // level of the second oscillator
    float detune2;      // semitones
    float pulseWidth;   // square duty 0..1
    float subLevel;     // sine one octave down
    float noiseLevel;
    float cutoff;       // Hz at envelope 0
    float reso;         // 0..1
    float filtEnvAmt;   // octaves added at full envelope
    float keyTrack;     // 0..1: cutoff follows the note
    _synEnvDef amp, filt;
    float fmRatio, fmIndex, fmIndexDecay; // modulator ratio, peak index, index decay seconds
    float vibRate, vibDepth, vibDelay;    // Hz, semitones, seconds
    float pluckDamp, pluckBright;         // loop loss 0..1 (1 rings for ever), excitation brightness
    float gain;
    float glideFrom;                      // semitones of a short scoop into the note (0: none)
};

// Renders one note into aOutP (mono, aOutLen samples): gate aGate samples from aStart, then the
// release. aSeed varies the noise of one note.
void sSynNote(const _synInstDef &aInst, float aNote, float aVel, long aStart, long aGate, float *aOutP,
              long aOutLen, uint32_t aSeed);

struct _synDrumDef {
    float toneStart, toneEnd, toneSweep; // Hz at the hit, Hz after the sweep, sweep time constant s
    float toneDecay, toneLevel;          // s, level
    float noiseDecay, noiseLevel;        // s, level
    float noiseLow, noiseHigh;           // band of the noise, Hz (0: open)
    float metalLevel, metalFreq;         // square cluster for cymbals and bells, base Hz
    float attack;                        // s, softens clicks (claps use it for their bursts)
    int bursts;                          // clap: several short noise bursts
    float clip;                          // drive of a soft clipper, 0: none
    float gain;
};

// Renders one drum hit into aOutP.
void sSynDrum(const _synDrumDef &aDrum, float aVel, long aStart, float *aOutP, long aOutLen, uint32_t aSeed);

// Stereo reverb (eight combs and four all-passes a side). aWidth 0 gives a mono tail, which the
// shared predictor of the music streams prefers.
struct _synReverb {
    struct _comb {
        std::vector<float> buf;
        size_t pos = 0;
        float store = 0;
    };
    struct _allpass {
        std::vector<float> buf;
        size_t pos = 0;
    };
    _comb combL[8], combR[8];
    _allpass apL[4], apR[4];
    float feedback, damp, wet, width;
    _synReverb(float aRoom, float aDamp, float aWet, float aWidth);
    // Adds the reverb of the mono send aInP (aLen samples) onto aLP / aRP.
    void Process(const float *aInP, float *aLP, float *aRP, long aLen);
};

// Tempo echo with a darkening feedback path, mono in, slightly spread out.
void sSynDelay(const float *aInP, float *aLP, float *aRP, long aLen, long aDelay, float aFeedback, float aWet,
               float aSpread);

#endif
