#include "Synth.h"

#include <algorithm>
#include <cmath>
#include <map>

static const double _pi = 3.14159265358979323846;

float synSinTbl[SYN_SIN_N + 1];

namespace {

// tan(pi * f / rate) for the filters, over f / rate in 0 .. 0.45: filters retune every few
// samples, and the library's tan would dominate the rendering time.
enum { _TAN_N = 2048 };
float _tanTbl[_TAN_N + 2];
const float _tanTop = 0.45f;

struct _sinInit {
    _sinInit()
    {
        for (int i = 0; i <= SYN_SIN_N; i++)
            synSinTbl[i] = (float)std::sin(2.0 * _pi * i / SYN_SIN_N);
        for (int i = 0; i <= _TAN_N + 1; i++)
            _tanTbl[i] = (float)std::tan(_pi * _tanTop * i / _TAN_N);
    }
};

// Removes the step of a naive saw or square at a phase wrap (polynomial band-limited step).
inline float _polyBlep(float aT, float aDt)
{
    if (aT < aDt) {
        aT /= aDt;
        return aT + aT - aT * aT - 1.0f;
    }
    if (aT > 1.0f - aDt) {
        aT = (aT - 1.0f) / aDt;
        return aT * aT + aT + aT + 1.0f;
    }
    return 0.0f;
}

inline float _osc(_synWave aWave, float aPhase, float aDt, float aWidth, _synNoise &aNoise)
{
    switch (aWave) {
    case SYN_SINE:
        return sSynSin(aPhase);
    case SYN_SAW:
        return 2.0f * aPhase - 1.0f - _polyBlep(aPhase, aDt);
    case SYN_SQUARE: {
        float v = aPhase < aWidth ? 1.0f : -1.0f;
        v += _polyBlep(aPhase, aDt);
        float t2 = aPhase - aWidth;
        if (t2 < 0)
            t2 += 1.0f;
        v -= _polyBlep(t2, aDt);
        return v;
    }
    case SYN_TRI:
        return aPhase < 0.5f ? 4.0f * aPhase - 1.0f : 3.0f - 4.0f * aPhase;
    case SYN_NOISE:
        return aNoise.Next();
    }
    return 0.0f;
}

// Linear attack, exponential decay toward the sustain level, exponential release.
struct _env {
    long gate, t = 0;
    bool attack = true;
    float level = 0, sustain, attackInc, decayMul, releaseMul;
    _env(const _synEnvDef &aDef, long aGate) : gate(aGate), sustain(aDef.sustain)
    {
        attackInc = aDef.attack > 0 ? 1.0f / (aDef.attack * SYN_RATE) : 1.0f;
        decayMul = aDef.decay > 0 ? (float)std::exp(-1.0 / (aDef.decay * SYN_RATE)) : 0.0f;
        // The release time is where the note has fallen by about 26 dB.
        releaseMul = aDef.release > 0 ? (float)std::exp(-3.0 / (aDef.release * SYN_RATE)) : 0.0f;
    }
    // Samples from the note start until the envelope is inaudible (-60 dB).
    static long Length(const _synEnvDef &aDef, long aGate)
    {
        return aGate + (long)(aDef.release * SYN_RATE * 2.4f) + 64;
    }
    // Past the attack and below -60 dB for good: the rest of the note is not worth rendering.
    bool Done() const { return !attack && level < 1e-3f && (t >= gate || sustain < 1e-3f); }
    float Next()
    {
        if (t < gate) {
            if (attack) {
                level += attackInc;
                if (level >= 1.0f) {
                    level = 1.0f;
                    attack = false;
                }
            } else {
                level = sustain + (level - sustain) * decayMul;
            }
        } else {
            level *= releaseMul;
        }
        t++;
        return level;
    }
};

const _sinInit _sinInitOnce;

} // namespace

float sSynMidiFreq(float aNote)
{
    return (float)(440.0 * std::pow(2.0, (aNote - 69.0) / 12.0));
}

void _synFilter::Set(float aCutoffHz, float aReso)
{
    float fc = std::min(std::max(aCutoffHz, 20.0f), SYN_RATE * 0.45f);
    float x = fc / SYN_RATE * (_TAN_N / _tanTop);
    int i = (int)x;
    g = _tanTbl[i] + (_tanTbl[i + 1] - _tanTbl[i]) * (x - (float)i);
    k = 2.0f - 1.96f * std::min(std::max(aReso, 0.0f), 1.0f);
    a1 = 1.0f / (1.0f + g * (g + k));
    a2 = g * a1;
    a3 = g * a2;
}

// ---- instrument voices ------------------------------------------------------------------------

// One oscillator over a block: the wave is chosen once per block, not once per sample.
static void _oscBlock(_synWave aWave, float &aPhase, const float *aDtP, float aWidth, float aLevel, float *aOutP,
                      int aN, _synNoise &aNoise)
{
    float ph = aPhase;
    switch (aWave) {
    case SYN_SINE:
        for (int k = 0; k < aN; k++) {
            aOutP[k] += aLevel * sSynSin(ph);
            ph += aDtP[k];
            ph -= (float)(int)ph;
        }
        break;
    case SYN_SAW:
        for (int k = 0; k < aN; k++) {
            aOutP[k] += aLevel * (2.0f * ph - 1.0f - _polyBlep(ph, aDtP[k]));
            ph += aDtP[k];
            ph -= (float)(int)ph;
        }
        break;
    case SYN_NOISE:
        for (int k = 0; k < aN; k++)
            aOutP[k] += aLevel * aNoise.Next();
        break;
    default:
        for (int k = 0; k < aN; k++) {
            aOutP[k] += aLevel * _osc(aWave, ph, aDtP[k], aWidth, aNoise);
            ph += aDtP[k];
            ph -= (float)(int)ph;
        }
        break;
    }
    aPhase = ph;
}

static void _noteSub(const _synInstDef &aI, float aNote, float aVel, long aStart, long aGate, float *aOutP,
                     long aEnd, _synNoise &aNoise, float aGain)
{
    enum { BLOCK = 16 }; // also the filter's retuning interval
    _env amp(aI.amp, aGate), filt(aI.filt, aGate);
    _synFilter f;
    float base = sSynMidiFreq(aNote);
    float ratio2 = (float)std::pow(2.0, aI.detune2 / 12.0);
    float ph1 = 0, ph2 = 0.37f, phSub = 0, vibPh = 0;
    float keyCut = aI.cutoff * (float)std::pow(base / 261.6f, aI.keyTrack);
    long vibDelay = (long)(aI.vibDelay * SYN_RATE);
    float glide = aI.glideFrom;
    float glideMul = (float)std::exp(-1.0 / (0.04 * SYN_RATE));
    float gain = aVel * aGain;
    const float baseDt = base / SYN_RATE;
    float dt1[BLOCK], dt2[BLOCK], dtSub[BLOCK], v[BLOCK], env[BLOCK];
    long t = 0;
    for (long i = aStart; i < aEnd; i += BLOCK) {
        int n = (int)std::min<long>(BLOCK, aEnd - i);
        bool done = false;
        for (int k = 0; k < n; k++, t++) {
            env[k] = amp.Next();
            done = amp.Done();
            v[k] = 0;
        }
        // Pitch: constant unless vibrato or the scoop bends it.
        for (int k = 0; k < n; k++) {
            float m = 1.0f;
            long tk = t - n + k;
            if (aI.vibDepth > 0 && tk > vibDelay) {
                vibPh += aI.vibRate / SYN_RATE;
                float ramp = std::min(1.0f, (tk - vibDelay) / (0.3f * SYN_RATE));
                m += aI.vibDepth * ramp * sSynSin(vibPh) * 0.0577623f; // semitones, small-angle
            }
            if (glide != 0) {
                m -= glide * 0.0577623f;
                glide *= glideMul;
                if (std::fabs(glide) < 1e-4f)
                    glide = 0;
            }
            dt1[k] = baseDt * m;
            dt2[k] = dt1[k] * ratio2;
            dtSub[k] = dt1[k] * 0.5f;
        }
        float fe = filt.Next();
        for (int k = 1; k < n; k++)
            filt.Next();
        f.Set(keyCut * (float)std::exp2(aI.filtEnvAmt * fe * (0.5f + 0.5f * aVel)), aI.reso);
        _oscBlock(aI.wave1, ph1, dt1, aI.pulseWidth, 1.0f, v, n, aNoise);
        if (aI.mix2 != 0)
            _oscBlock(aI.wave2, ph2, dt2, aI.pulseWidth, aI.mix2, v, n, aNoise);
        if (aI.subLevel != 0)
            _oscBlock(SYN_SINE, phSub, dtSub, 0.5f, aI.subLevel, v, n, aNoise);
        if (aI.noiseLevel != 0)
            _oscBlock(SYN_NOISE, phSub, dtSub, 0.5f, aI.noiseLevel, v, n, aNoise);
        for (int k = 0; k < n; k++)
            aOutP[i + k] += f.Run(v[k]) * env[k] * gain;
        if (done)
            break;
    }
}

static void _noteFm(const _synInstDef &aI, float aNote, float aVel, long aStart, long aGate, float *aOutP, long aEnd,
                    float aGain)
{
    _env amp(aI.amp, aGate);
    float base = sSynMidiFreq(aNote);
    float dtC = base / SYN_RATE, dtM = base * aI.fmRatio / SYN_RATE;
    float idx = aI.fmIndex * (0.4f + 0.6f * aVel);
    float idxMul = aI.fmIndexDecay > 0 ? (float)std::exp(-1.0 / (aI.fmIndexDecay * SYN_RATE)) : 1.0f;
    float floorIdx = aI.fmIndex * 0.08f;
    float phC = 0, phM = 0, vibPh = 0;
    for (long t = 0, i = aStart; i < aEnd; t++, i++) {
        float a = amp.Next();
        if (amp.Done())
            break;
        float mod = sSynSin(phM) * (idx + floorIdx);
        float vib = 1.0f;
        if (aI.vibDepth > 0 && t > (long)(aI.vibDelay * SYN_RATE)) {
            vibPh += aI.vibRate / SYN_RATE;
            vib += aI.vibDepth * 0.0577623f * sSynSin(vibPh);
        }
        float v = sSynSin(phC + mod * 0.159155f);
        phC += dtC * vib;
        phC -= (float)(int)phC;
        phM += dtM * vib;
        phM -= (float)(int)phM;
        idx *= idxMul;
        aOutP[i] += v * a * aVel * aGain;
    }
}

// Karplus-Strong string: a noise burst circulating in a delay line of one period, low-passed on
// every pass. Fractional delay by linear interpolation keeps high notes in tune.
static void _notePluck(const _synInstDef &aI, float aNote, float aVel, long aStart, long aGate, float *aOutP,
                       long aEnd, _synNoise &aNoise, float aGain)
{
    // The two-point average in the loop delays by half a sample more; take it off the line.
    float period = SYN_RATE / sSynMidiFreq(aNote) - 0.5f;
    size_t n = (size_t)period + 2;
    std::vector<float> line(n, 0.0f);
    float lp = 0, bright = aI.pluckBright * (0.6f + 0.4f * aVel);
    for (size_t k = 0; k < n; k++) {
        float x = aNoise.Next();
        lp += bright * (x - lp);
        line[k] = lp;
    }
    float mean = 0;
    for (float v : line)
        mean += v;
    mean /= n;
    for (float &v : line)
        v -= mean;
    float frac = period - (float)(size_t)period;
    size_t len = (size_t)period;
    size_t w = 0;
    float prev = 0;
    float loss = aI.pluckDamp;
    float releaseMul = (float)std::exp(-3.0 / (std::max(aI.amp.release, 0.01f) * SYN_RATE));
    float blockPeak = 0;
    float rel = 1.0f;
    float att = 0;
    float attInc = aI.amp.attack > 0 ? 1.0f / (aI.amp.attack * SYN_RATE) : 1.0f;
    for (long t = 0, i = aStart; i < aEnd; t++, i++) {
        size_t r0 = (w + n - len) % n;
        size_t r1 = (r0 + n - 1) % n;
        float y = line[r0] * (1.0f - frac) + line[r1] * frac;
        float out = 0.5f * (y + prev) * loss;
        prev = y;
        line[w] = out;
        w = (w + 1) % n;
        if (t >= aGate)
            rel *= releaseMul;
        att = std::min(1.0f, att + attInc);
        aOutP[i] += out * att * rel * aVel * aGain;
        // The string has died away (or been damped): stop at -60 dB.
        blockPeak = std::max(blockPeak, std::fabs(out) * rel);
        if ((t & 1023) == 1023) {
            if (blockPeak < 1e-3f)
                break;
            blockPeak = 0;
        }
    }
}

// Breath instrument: a sine and its octave, breath noise band-passed at the pitch, delayed
// vibrato. Close to a bamboo flute in the upper register.
static void _noteBreath(const _synInstDef &aI, float aNote, float aVel, long aStart, long aGate, float *aOutP,
                        long aEnd, _synNoise &aNoise, float aGain)
{
    _env amp(aI.amp, aGate);
    float base = sSynMidiFreq(aNote);
    _synFilter bp;
    bp.Set(base * 1.5f, 0.8f);
    float ph = 0, vibPh = 0;
    long vibDelay = (long)(aI.vibDelay * SYN_RATE);
    float glide = aI.glideFrom;
    float glideMul = (float)std::exp(-1.0 / (0.05 * SYN_RATE));
    for (long t = 0, i = aStart; i < aEnd; t++, i++) {
        float a = amp.Next();
        if (amp.Done())
            break;
        float bend = 0;
        if (aI.vibDepth > 0 && t > vibDelay) {
            vibPh += aI.vibRate / SYN_RATE;
            float ramp = std::min(1.0f, (t - vibDelay) / (0.4f * SYN_RATE));
            bend += aI.vibDepth * ramp * sSynSin(vibPh);
        }
        if (glide != 0) {
            bend -= glide;
            glide *= glideMul;
        }
        float dt = base * (1.0f + bend * 0.0577623f) / SYN_RATE;
        float band;
        bp.Run(aNoise.Next(), &band);
        // More breath at the onset, as when the player starts the note.
        float chiff = t < 4000 ? 1.0f + 2.0f * (1.0f - t / 4000.0f) : 1.0f;
        float v = sSynSin(ph) + 0.18f * sSynSin(2 * ph) + 0.06f * sSynSin(3 * ph) + aI.noiseLevel * chiff * band;
        ph += dt;
        ph -= (float)(int)ph;
        aOutP[i] += v * a * aVel * aGain;
    }
}

static void _noteRender(const _synInstDef &aInst, float aNote, float aVel, long aStart, long aGate, float *aOutP,
                        long aOutLen, uint32_t aSeed, float aGain)
{
    if (aStart < 0 || aStart >= aOutLen || aGate <= 0)
        return;
    long len = _env::Length(aInst.amp, aGate);
    if (aInst.kind == SYN_PLUCK)
        len = aGate + (long)(std::max(aInst.amp.release, 0.01f) * SYN_RATE * 2.4f) + 64;
    long end = std::min(aOutLen, aStart + len);
    _synNoise noise(aSeed * 2654435761u + 12345u);
    switch (aInst.kind) {
    case SYN_SUB:
        _noteSub(aInst, aNote, aVel, aStart, aGate, aOutP, end, noise, aGain);
        break;
    case SYN_FM:
        _noteFm(aInst, aNote, aVel, aStart, aGate, aOutP, end, aGain);
        break;
    case SYN_PLUCK:
        _notePluck(aInst, aNote, aVel, aStart, aGate, aOutP, end, noise, aGain);
        break;
    case SYN_BREATH:
        _noteBreath(aInst, aNote, aVel, aStart, aGate, aOutP, end, noise, aGain);
        break;
    }
}

// Instruments are levelled by ear-like measure, not by their raw arithmetic: a half-second
// middle C at full velocity has an RMS of 1 before the instrument's own gain.
static float _instScale(const _synInstDef &aInst)
{
    static std::map<const _synInstDef *, float> cache;
    auto it = cache.find(&aInst);
    if (it != cache.end())
        return it->second;
    std::vector<float> probe(SYN_RATE, 0.0f);
    _noteRender(aInst, 60, 1.0f, 0, SYN_RATE / 2, probe.data(), SYN_RATE, 1, 1.0f);
    double sum = 0;
    for (long i = 0; i < SYN_RATE / 2; i++)
        sum += (double)probe[i] * probe[i];
    double rms = std::sqrt(sum / (SYN_RATE / 2));
    float scale = rms > 1e-6 ? (float)(1.0 / rms) : 1.0f;
    cache[&aInst] = scale;
    return scale;
}

void sSynNote(const _synInstDef &aInst, float aNote, float aVel, long aStart, long aGate, float *aOutP,
              long aOutLen, uint32_t aSeed)
{
    _noteRender(aInst, aNote, aVel, aStart, aGate, aOutP, aOutLen, aSeed, aInst.gain * _instScale(aInst));
}

// ---- drums ------------------------------------------------------------------------------------

static void _drumRender(const _synDrumDef &aD, float aVel, long aStart, float *aOutP, long aOutLen, uint32_t aSeed,
                        float aGain)
{
    if (aStart < 0 || aStart >= aOutLen)
        return;
    float longest = std::max(aD.toneDecay, aD.noiseDecay);
    long end = std::min(aOutLen, aStart + (long)(longest * 7.0f * SYN_RATE) + 64);
    _synNoise noise(aSeed * 2246822519u + 977u);
    _synFilter hp, lp;
    hp.Set(aD.noiseLow > 0 ? aD.noiseLow : 20.0f, 0.1f);
    lp.Set(aD.noiseHigh > 0 ? aD.noiseHigh : 20000.0f, 0.1f);
    float toneMul = aD.toneDecay > 0 ? (float)std::exp(-1.0 / (aD.toneDecay * SYN_RATE)) : 0.0f;
    float noiseMul = aD.noiseDecay > 0 ? (float)std::exp(-1.0 / (aD.noiseDecay * SYN_RATE)) : 0.0f;
    float sweepMul = aD.toneSweep > 0 ? (float)std::exp(-1.0 / (aD.toneSweep * SYN_RATE)) : 0.0f;
    float toneEnv = 1, noiseEnv = 1, sweep = 1, ph = 0;
    // Six square waves at inharmonic ratios, on 32-bit phases whose top bit is the square.
    static const double metalRatio[6] = {1.0, 1.342, 1.2312, 1.6532, 1.9523, 2.1523};
    uint32_t metalPh[6], metalInc[6];
    for (int k = 0; k < 6; k++) {
        metalPh[k] = (uint32_t)k * 0x1999999Au;
        metalInc[k] = (uint32_t)(aD.metalFreq * metalRatio[k] / SYN_RATE * 4294967296.0);
    }
    long attackLen = (long)(aD.attack * SYN_RATE);
    long burstLen = (long)(0.011f * SYN_RATE);
    for (long t = 0, i = aStart; i < end; t++, i++) {
        float freq = aD.toneEnd + (aD.toneStart - aD.toneEnd) * sweep;
        sweep *= sweepMul;
        float v = aD.toneLevel * toneEnv * sSynSin(ph);
        ph += freq / SYN_RATE;
        ph -= (float)(int)ph;
        toneEnv *= toneMul;
        float nz = 0;
        if (aD.noiseLevel > 0 || aD.metalLevel > 0) {
            float src = aD.noiseLevel * noise.Next();
            if (aD.metalLevel > 0) {
                int m = 0;
                for (int k = 0; k < 6; k++) {
                    metalPh[k] += metalInc[k];
                    m += (int)(metalPh[k] >> 31);
                }
                src += aD.metalLevel * (float)(3 - m) * (1.0f / 3.0f);
            }
            float h;
            hp.Run(src, nullptr, &h);
            nz = lp.Run(h);
            float env = noiseEnv;
            if (aD.bursts > 1 && t < burstLen * aD.bursts)
                env = 1.0f - (float)(t % burstLen) / burstLen;
            nz *= env;
            noiseEnv *= noiseMul;
        }
        float s = v + nz;
        if (toneEnv < 1e-4f && noiseEnv < 1e-4f && t > burstLen * aD.bursts)
            break;
        if (t < attackLen)
            s *= (float)t / attackLen;
        if (aD.clip > 0)
            s = sSynSat(s * aD.clip) / sSynSat(aD.clip);
        aOutP[i] += s * aVel * aGain;
    }
}

// A drum hit at full velocity peaks at 1 before the drum's own gain.
static float _drumScale(const _synDrumDef &aD)
{
    static std::map<const _synDrumDef *, float> cache;
    auto it = cache.find(&aD);
    if (it != cache.end())
        return it->second;
    std::vector<float> probe(3 * SYN_RATE, 0.0f);
    _drumRender(aD, 1.0f, 0, probe.data(), (long)probe.size(), 1, 1.0f);
    float peak = 0;
    for (float v : probe)
        peak = std::max(peak, std::fabs(v));
    float scale = peak > 1e-6f ? 1.0f / peak : 1.0f;
    cache[&aD] = scale;
    return scale;
}

void sSynDrum(const _synDrumDef &aD, float aVel, long aStart, float *aOutP, long aOutLen, uint32_t aSeed)
{
    _drumRender(aD, aVel, aStart, aOutP, aOutLen, aSeed, aD.gain * _drumScale(aD));
}

// ---- effects ----------------------------------------------------------------------------------

_synReverb::_synReverb(float aRoom, float aDamp, float aWet, float aWidth)
    : feedback(0.7f + 0.28f * aRoom), damp(aDamp * 0.4f), wet(aWet), width(aWidth)
{
    static const int combTuning[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
    static const int apTuning[4] = {556, 441, 341, 225};
    const int spread = 23;
    for (int k = 0; k < 8; k++) {
        combL[k].buf.assign(combTuning[k], 0.0f);
        combR[k].buf.assign(combTuning[k] + spread, 0.0f);
    }
    for (int k = 0; k < 4; k++) {
        apL[k].buf.assign(apTuning[k], 0.0f);
        apR[k].buf.assign(apTuning[k] + spread, 0.0f);
    }
}

static inline float _combRun(_synReverb::_comb &c, float aIn, float aFeedback, float aDamp)
{
    float out = c.buf[c.pos];
    c.store = out * (1.0f - aDamp) + c.store * aDamp;
    c.buf[c.pos] = aIn + c.store * aFeedback;
    if (++c.pos == c.buf.size())
        c.pos = 0;
    return out;
}

static inline float _allpassRun(_synReverb::_allpass &a, float aIn)
{
    float b = a.buf[a.pos];
    float out = b - aIn;
    a.buf[a.pos] = aIn + b * 0.5f;
    if (++a.pos == a.buf.size())
        a.pos = 0;
    return out;
}

void _synReverb::Process(const float *aInP, float *aLP, float *aRP, long aLen)
{
    float wet1 = wet * (0.5f + 0.5f * width), wet2 = wet * (0.5f - 0.5f * width);
    for (long i = 0; i < aLen; i++) {
        float in = aInP[i] * 0.015f;
        float l = 0, r = 0;
        for (int k = 0; k < 8; k++) {
            l += _combRun(combL[k], in, feedback, damp);
            r += _combRun(combR[k], in, feedback, damp);
        }
        for (int k = 0; k < 4; k++) {
            l = _allpassRun(apL[k], l);
            r = _allpassRun(apR[k], r);
        }
        aLP[i] += l * wet1 + r * wet2;
        aRP[i] += r * wet1 + l * wet2;
    }
}

void sSynDelay(const float *aInP, float *aLP, float *aRP, long aLen, long aDelay, float aFeedback, float aWet,
               float aSpread)
{
    if (aDelay <= 0)
        return;
    std::vector<float> line((size_t)aDelay, 0.0f);
    size_t pos = 0;
    float lp = 0;
    for (long i = 0; i < aLen; i++) {
        float out = line[pos];
        lp += 0.35f * (out - lp);
        line[pos] = aInP[i] + lp * aFeedback;
        if (++pos == line.size())
            pos = 0;
        aLP[i] += aWet * out * (1.0f + aSpread);
        aRP[i] += aWet * out * (1.0f - aSpread);
    }
}
