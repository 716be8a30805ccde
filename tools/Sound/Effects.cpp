#include "Music.h"

#include <algorithm>
#include <cmath>

// The sound effects of the scenes' cues: blades and hits for the ninja scenes, lasers,
// explosions and the warp for the space battle. Each is rendered on floats and scaled to a
// common peak.

namespace {

struct _fx {
    std::vector<float> v;
    explicit _fx(double aSeconds) : v((size_t)(aSeconds * SYN_RATE), 0.0f) {}
    long n() const { return (long)v.size(); }
    static float t(long i) { return (float)i / SYN_RATE; }
};

inline float _decay(float aT, float aTau)
{
    return std::exp(-aT / aTau);
}

// Attack-decay envelope: linear rise over aA seconds, exponential fall with aTau.
inline float _ad(float aT, float aA, float aTau)
{
    return aT < aA ? aT / aA : std::exp(-(aT - aA) / aTau);
}

// Metal: inharmonic partials, each a pair slightly apart so that they beat.
void _metal(_fx &aFx, long aStart, const float *aFreqs, const float *aTaus, int aCount, float aLevel, float aBeat)
{
    for (int k = 0; k < aCount; k++) {
        float ph1 = 0.13f * k, ph2 = 0.51f * k;
        float d1 = aFreqs[k] / SYN_RATE, d2 = (aFreqs[k] + aBeat * (1 + k % 3)) / SYN_RATE;
        float amp = aLevel / (1.0f + 0.35f * k);
        for (long i = aStart; i < aFx.n(); i++) {
            float t = _fx::t(i - aStart);
            float e = _ad(t, 0.002f, aTaus[k]);
            if (e < 1e-4f && t > 0.01f)
                break;
            aFx.v[i] += amp * e * 0.5f * (sSynSin(ph1) + sSynSin(ph2));
            ph1 += d1;
            ph1 -= (float)(int)ph1;
            ph2 += d2;
            ph2 -= (float)(int)ph2;
        }
    }
}

// Sword swish: air torn by a blade, a band of noise that sweeps up as the blade passes.
void _swish(_fx &aFx)
{
    _synNoise nz(11);
    _synFilter bp1, bp2;
    for (long i = 0; i < aFx.n(); i++) {
        float t = _fx::t(i);
        float x = t / 0.32f;
        float env = x < 0.35f ? std::pow(x / 0.35f, 2.0f) : std::exp(-(x - 0.35f) * 5.0f);
        float centre = 500.0f + 3600.0f * std::sin(3.14159f * std::min(1.0f, x * 0.9f));
        if ((i & 15) == 0) {
            bp1.Set(centre, 0.55f);
            bp2.Set(centre * 1.9f, 0.4f);
        }
        float n = nz.Next(), b1, b2;
        bp1.Run(n, &b1);
        bp2.Run(n, &b2);
        aFx.v[i] = env * (b1 + 0.5f * b2);
    }
}

// A blade drawn and ringing: a short scrape, then long metallic partials.
void _shing(_fx &aFx)
{
    _synNoise nz(21);
    _synFilter hp;
    hp.Set(3500, 0.3f);
    for (long i = 0; i < aFx.n(); i++) {
        float t = _fx::t(i);
        float h;
        hp.Run(nz.Next(), nullptr, &h);
        aFx.v[i] += 0.6f * h * _ad(t, 0.06f, 0.05f);
    }
    static const float freqs[6] = {1870, 2963, 4211, 5569, 7030, 8650};
    static const float taus[6] = {0.9f, 0.7f, 0.5f, 0.38f, 0.27f, 0.2f};
    _metal(aFx, (long)(0.04f * SYN_RATE), freqs, taus, 6, 0.7f, 2.5f);
}

// Blades meeting: a crack and a bright clang.
void _clash(_fx &aFx)
{
    _synNoise nz(31);
    _synFilter hp;
    hp.Set(2200, 0.2f);
    for (long i = 0; i < aFx.n(); i++) {
        float t = _fx::t(i);
        float h;
        hp.Run(nz.Next(), nullptr, &h);
        aFx.v[i] += 1.1f * h * _ad(t, 0.0008f, 0.018f);
        aFx.v[i] += 0.35f * sSynSin(t * 140.0f) * _ad(t, 0.001f, 0.04f);
    }
    static const float freqs[6] = {1334, 2209, 3467, 4651, 6123, 7717};
    static const float taus[6] = {0.32f, 0.26f, 0.2f, 0.15f, 0.11f, 0.08f};
    _metal(aFx, 0, freqs, taus, 6, 0.9f, 4.0f);
}

// A heavy blow: a falling low thump with a dull slap on top.
void _thump(_fx &aFx)
{
    _synNoise nz(41);
    _synFilter lp;
    lp.Set(1400, 0.2f);
    float ph = 0;
    for (long i = 0; i < aFx.n(); i++) {
        float t = _fx::t(i);
        float f = 48.0f + 110.0f * _decay(t, 0.035f);
        ph += f / SYN_RATE;
        ph -= (float)(int)ph;
        float body = sSynSin(ph) * _ad(t, 0.001f, 0.13f);
        float slap = lp.Run(nz.Next()) * _ad(t, 0.0005f, 0.03f);
        aFx.v[i] = std::tanh(1.8f * (body + 1.2f * slap));
    }
}

// Explosion: a crack, a noise body whose brightness falls away, and a low rumble. aSize stretches
// the time constants; aSeed varies the texture; aCrackle adds burning debris.
void _explosion(_fx &aFx, float aSize, uint32_t aSeed, float aCrackle, float aDrive)
{
    _synNoise nz(aSeed);
    _synFilter lp, rumble;
    rumble.Set(90, 0.3f);
    float ph = 0, brown = 0;
    for (long i = 0; i < aFx.n(); i++) {
        float t = _fx::t(i);
        if ((i & 15) == 0)
            lp.Set(180.0f + 4800.0f * _decay(t, 0.12f * aSize), 0.15f);
        float n = nz.Next();
        brown = 0.985f * brown + 0.05f * n;
        float body = lp.Run(n) * _ad(t, 0.003f, 0.35f * aSize);
        float low = rumble.Run(brown * 6.0f) * _ad(t, 0.02f, 0.55f * aSize);
        float f = 32.0f + 60.0f * _decay(t, 0.08f);
        ph += f / SYN_RATE;
        ph -= (float)(int)ph;
        float boom = sSynSin(ph) * _ad(t, 0.002f, 0.25f * aSize);
        float crack = n * _ad(t, 0.0005f, 0.012f);
        float s = 1.1f * body + 1.3f * low + 0.9f * boom + 0.8f * crack;
        // Debris: sparse clicks that thin out as the fire dies.
        if (aCrackle > 0 && nz.Below(1000) < (uint32_t)(aCrackle * 40.0f * _decay(t, 0.4f * aSize)))
            s += 0.7f * (nz.Next() > 0 ? 1.0f : -1.0f) * _decay(t, 0.6f * aSize);
        aFx.v[i] = std::tanh(aDrive * s) / std::tanh(aDrive);
    }
    // The clicks are single samples; round them off.
    float z = 0;
    for (float &v : aFx.v) {
        z += 0.45f * (v - z);
        v = z;
    }
}

// Laser: a bright tone that dives in pitch, short enough for rapid fire.
void _laser(_fx &aFx)
{
    _synFilter bp;
    float ph = 0, ph2 = 0;
    for (long i = 0; i < aFx.n(); i++) {
        float t = _fx::t(i);
        float f = 280.0f + 2300.0f * _decay(t, 0.045f);
        ph += f / SYN_RATE;
        ph -= (float)(int)ph;
        ph2 += f * 1.503f / SYN_RATE;
        ph2 -= (float)(int)ph2;
        float sq = (ph < 0.5f ? 1.0f : -1.0f) + 0.5f * sSynSin(ph2);
        if ((i & 15) == 0)
            bp.Set(f * 2.0f, 0.5f);
        float band;
        float low = bp.Run(sq, &band);
        aFx.v[i] = (0.6f * band + 0.4f * low) * _ad(t, 0.002f, 0.06f);
    }
}

// Warp: a tone and noise rising through a resonant band while a comb sweeps, then a thump as
// the ship jumps.
void _warp(_fx &aFx)
{
    _synNoise nz(81);
    _synFilter bp;
    std::vector<float> comb(2048, 0.0f);
    size_t w = 0;
    float ph = 0;
    const float rise = 1.25f;
    for (long i = 0; i < aFx.n(); i++) {
        float t = _fx::t(i);
        float x = std::min(1.0f, t / rise);
        float f = 80.0f * std::pow(40.0f, x * x);
        ph += f / SYN_RATE;
        ph -= (float)(int)ph;
        float saw = 2.0f * ph - 1.0f;
        if ((i & 15) == 0)
            bp.Set(f * 2.5f, 0.75f);
        float band;
        bp.Run(0.6f * saw + nz.Next(), &band);
        float env = t < rise ? 0.15f + 0.85f * x * x : _decay(t - rise, 0.08f);
        float s = band * env;
        // Flanger: a short delay that shrinks as the pitch climbs.
        float d = 40.0f + 900.0f * (1.0f - x);
        size_t r = (w + comb.size() - (size_t)d) % comb.size();
        float out = s + 0.7f * comb[r];
        comb[w] = s;
        w = (w + 1) % comb.size();
        float boom = t >= rise ? sSynSin((t - rise) * 55.0f) * _ad(t - rise, 0.003f, 0.18f) : 0.0f;
        aFx.v[i] = 0.7f * out + 0.9f * boom;
    }
}

// Energy blast: a short charge that rises, then a beam that falls with a noisy burst.
void _blast(_fx &aFx)
{
    _synNoise nz(91);
    _synFilter lp;
    float ph = 0;
    const float charge = 0.22f;
    for (long i = 0; i < aFx.n(); i++) {
        float t = _fx::t(i);
        float s;
        if (t < charge) {
            float f = 400.0f * std::pow(4.0f, t / charge);
            ph += f / SYN_RATE;
            ph -= (float)(int)ph;
            s = 0.45f * sSynSin(ph) * (t / charge);
        } else {
            float u = t - charge;
            float f = 70.0f + 850.0f * _decay(u, 0.12f);
            ph += f / SYN_RATE;
            ph -= (float)(int)ph;
            if ((i & 15) == 0)
                lp.Set(400.0f + 5000.0f * _decay(u, 0.15f), 0.6f);
            float saw = 2.0f * ph - 1.0f;
            s = lp.Run(0.8f * saw + 0.7f * nz.Next()) * _ad(u, 0.002f, 0.35f);
        }
        aFx.v[i] = std::tanh(1.5f * s);
    }
}

struct _effectRow {
    const char *title;
    double seconds;
    void (*render)(_fx &);
};

void _explosionA(_fx &aFx) { _explosion(aFx, 1.0f, 51, 0.0f, 1.4f); }
void _explosionB(_fx &aFx) { _explosion(aFx, 1.4f, 61, 0.3f, 2.2f); }
void _explosionC(_fx &aFx) { _explosion(aFx, 1.1f, 71, 1.0f, 1.6f); }

const _effectRow _effectTbl[EFFECT_NUM] = {
    {"sword swish", 0.42, _swish},
    {"blade ring", 2.3, _shing},
    {"sword clash", 0.9, _clash},
    {"heavy blow", 0.5, _thump},
    {"explosion", 1.5, _explosionA},
    {"laser shot", 0.24, _laser},
    {"big explosion", 1.9, _explosionB},
    {"explosion with debris", 1.6, _explosionC},
    {"warp", 1.8, _warp},
    {"energy blast", 1.5, _blast},
};

} // namespace

void sMusicEffect(int aNum, std::vector<int16_t> &aPcmOut)
{
    aPcmOut.clear();
    if (aNum < 0 || aNum >= EFFECT_NUM)
        return;
    _fx fx(_effectTbl[aNum].seconds);
    _effectTbl[aNum].render(fx);
    float peak = 1e-9f;
    for (float v : fx.v)
        peak = std::max(peak, std::fabs(v));
    // A 2 ms fade at each end, so that the sound starts and stops without a click.
    long n = fx.n() & ~1L, edge = SYN_RATE / 500;
    aPcmOut.resize((size_t)n);
    for (long i = 0; i < n; i++) {
        float g = 0.89f * 32767.0f / peak;
        if (i < edge)
            g *= (float)i / edge;
        if (i >= n - edge)
            g *= (float)(n - 1 - i) / edge;
        aPcmOut[i] = (int16_t)std::lrint(std::max(-32768.0f, std::min(32767.0f, fx.v[i] * g)));
    }
}

const char *sMusicEffectTitle(int aNum)
{
    return aNum >= 0 && aNum < EFFECT_NUM ? _effectTbl[aNum].title : "";
}
