#include "Sequencer.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>

int seqBadTokens = 0;

_seqTrack &_seqSong::Add(const _synInstDef *aInst, float aGain, float aPan, float aReverb, float aDelay)
{
    tracks.emplace_back();
    _seqTrack &t = tracks.back();
    t.inst = aInst;
    t.gain = aGain;
    t.pan = aPan;
    t.reverb = aReverb;
    t.delay = aDelay;
    return t;
}

_seqTrack &_seqSong::AddDrum(const _synDrumDef *aDrum, float aGain, float aPan, float aReverb)
{
    tracks.emplace_back();
    _seqTrack &t = tracks.back();
    t.drum = aDrum;
    t.gain = aGain;
    t.pan = aPan;
    t.reverb = aReverb;
    return t;
}

int sSeqNoteNum(const char *aName)
{
    static const int letter[7] = {9, 11, 0, 2, 4, 5, 7}; // A B C D E F G
    char c = (char)std::toupper((unsigned char)aName[0]);
    if (c < 'A' || c > 'G')
        return -1;
    int n = letter[c - 'A'];
    const char *p = aName + 1;
    while (*p == '#' || *p == 'b') {
        n += *p == '#' ? 1 : -1;
        p++;
    }
    if (!std::isdigit((unsigned char)*p))
        return -1;
    int octave = *p - '0';
    if (p[1] != 0)
        return -1;
    return (octave + 1) * 12 + n;
}

double sSeqLine(_seqTrack &aTrack, double aBeat, double aStep, const char *aPattern, float aVel, int aTranspose)
{
    double beat = aBeat;
    _seqNote *last = nullptr;
    const char *p = aPattern;
    while (*p) {
        while (*p && std::isspace((unsigned char)*p))
            p++;
        if (!*p)
            break;
        const char *tok = p;
        while (*p && !std::isspace((unsigned char)*p))
            p++;
        std::string t(tok, p);
        if (t == "|")
            continue;
        if (t == "-") {
            if (last)
                last->len += aStep;
            beat += aStep;
            continue;
        }
        if (t == ".") {
            last = nullptr;
            beat += aStep;
            continue;
        }
        float vel = aVel;
        if (t.back() == '!')
            vel = std::min(1.0f, aVel * 1.25f);
        else if (t.back() == '?')
            vel = aVel * 0.6f;
        if (t.back() == '!' || t.back() == '?')
            t.pop_back();
        int n = sSeqNoteNum(t.c_str());
        if (n >= 0) {
            aTrack.notes.push_back({beat, aStep, (float)(n + aTranspose), vel});
            last = &aTrack.notes.back();
        } else {
            seqBadTokens++;
            last = nullptr;
        }
        beat += aStep;
    }
    return beat - aBeat;
}

double sSeqHits(_seqTrack &aTrack, double aBeat, double aStep, const char *aPattern, float aVel)
{
    double beat = aBeat;
    for (const char *p = aPattern; *p; p++) {
        if (*p == '|' || *p == ' ')
            continue;
        float v = *p == 'X' ? std::min(1.0f, aVel * 1.3f) : *p == 'x' ? aVel : *p == 'o' ? aVel * 0.45f : 0.0f;
        if (v > 0)
            aTrack.notes.push_back({beat, aStep, 60.0f, v});
        beat += aStep;
    }
    return beat - aBeat;
}

int sSeqChordTones(const char *aName, int aOctave, int *aOutP)
{
    char root[4] = {aName[0], 0, 0, 0};
    const char *q = aName + 1;
    if (*q == '#' || *q == 'b')
        root[1] = *q++;
    char rootName[8];
    std::snprintf(rootName, sizeof rootName, "%s%d", root, aOctave);
    int r = sSeqNoteNum(rootName);
    if (r < 0) {
        seqBadTokens++;
        return 0;
    }
    static const struct {
        const char *name;
        int n, iv[6];
    } kinds[] = {
        {"maj7", 4, {0, 4, 7, 11}}, {"m7b5", 4, {0, 3, 6, 10}}, {"madd9", 4, {0, 3, 7, 14}},
        {"add9", 4, {0, 4, 7, 14}}, {"sus2", 3, {0, 2, 7}},     {"sus4", 3, {0, 5, 7}},
        {"dim", 3, {0, 3, 6}},      {"m9", 5, {0, 3, 7, 10, 14}}, {"m7", 4, {0, 3, 7, 10}},
        {"m6", 4, {0, 3, 7, 9}},    {"6", 4, {0, 4, 7, 9}},      {"9", 5, {0, 4, 7, 10, 14}},
        {"7", 4, {0, 4, 7, 10}},    {"m", 3, {0, 3, 7}},         {"5", 2, {0, 7}},
        {"", 3, {0, 4, 7}},
    };
    for (const auto &k : kinds) {
        if (std::strcmp(q, k.name) == 0) {
            for (int i = 0; i < k.n; i++)
                aOutP[i] = r + k.iv[i];
            return k.n;
        }
    }
    seqBadTokens++;
    return 0;
}

void sSeqChord(_seqTrack &aTrack, double aBeat, double aLen, const char *aName, int aOctave, float aVel)
{
    int tones[6];
    int n = sSeqChordTones(aName, aOctave, tones);
    for (int i = 0; i < n; i++)
        aTrack.notes.push_back({aBeat, aLen, (float)tones[i], aVel});
}

void sSeqArp(_seqTrack &aTrack, double aBeat, double aLen, double aStep, const char *aName, int aOctave,
             const char *aOrder, float aVel, double aGate)
{
    int tones[6];
    int n = sSeqChordTones(aName, aOctave, tones);
    if (n == 0 || !*aOrder)
        return;
    const char *p = aOrder;
    for (double b = 0; b + 1e-9 < aLen; b += aStep) {
        int up = 0;
        while (*p == '+') {
            up += 12;
            p++;
        }
        if (!*p) {
            p = aOrder;
            continue;
        }
        int idx = *p - '0';
        p++;
        if (!*p)
            p = aOrder;
        if (idx < 0 || idx > 9)
            continue;
        int note = tones[idx % n] + 12 * (idx / n) + up;
        aTrack.notes.push_back({aBeat + b, aStep * aGate, (float)note, aVel * (b == 0 ? 1.1f : 1.0f)});
    }
}

void sSeqBass(_seqTrack &aTrack, double aBeat, double aLen, double aStep, const char *aName, int aOctave,
              const char *aFigure, float aVel)
{
    int tones[6];
    int n = sSeqChordTones(aName, aOctave, tones);
    if (n == 0 || !*aFigure)
        return;
    size_t len = std::strlen(aFigure);
    _seqNote *last = nullptr;
    size_t k = 0;
    for (double b = 0; b + 1e-9 < aLen; b += aStep, k++) {
        char c = aFigure[k % len];
        int note = -1;
        switch (c) {
        case 'r': note = tones[0]; break;
        case 'o': note = tones[0] + 12; break;
        case 'f': note = tones[0] + 7; break;
        case 't': note = n > 1 ? tones[1] : tones[0]; break;
        case 'l': note = tones[0] - 5; break; // the fifth below
        case '-':
            if (last)
                last->len += aStep;
            continue;
        default:
            last = nullptr;
            continue;
        }
        aTrack.notes.push_back({aBeat + b, aStep * 0.92, (float)note, aVel});
        last = &aTrack.notes.back();
    }
}

void sSeqRender(const _seqSong &aSong, std::vector<int16_t> &aPcmOut)
{
    const long body = aSong.Samples(aSong.beats);
    const long tail = 5 * SYN_RATE;
    const long total = body + tail;
    std::vector<float> mono(total), busL(total), busR(total), rev(total), dly(total);
    _synNoise human(aSong.seed);
    uint32_t noteSeed = aSong.seed * 7919u;

    for (const _seqTrack &tr : aSong.tracks) {
        std::fill(mono.begin(), mono.end(), 0.0f);
        for (const _seqNote &n : tr.notes) {
            long start = aSong.Samples(n.beat);
            long gate = std::max(1L, aSong.Samples(n.beat + n.len) - start);
            float vel = std::min(1.0f, std::max(0.0f, n.vel * (1.0f + tr.humanize * human.Next())));
            if (tr.drum)
                sSynDrum(*tr.drum, vel, start, mono.data(), total, ++noteSeed);
            else if (tr.inst)
                sSynNote(*tr.inst, n.note, vel, start, gate, mono.data(), total, ++noteSeed);
        }
        // Constant-power pan; the music keeps its channels close together.
        float angle = (tr.pan + 1.0f) * 0.25f * 3.14159265f;
        float gl = tr.gain * std::cos(angle) * 1.41421356f, gr = tr.gain * std::sin(angle) * 1.41421356f;
        for (long i = 0; i < total; i++) {
            float v = mono[i];
            busL[i] += v * gl;
            busR[i] += v * gr;
            rev[i] += v * tr.gain * tr.reverb;
            dly[i] += v * tr.gain * tr.delay;
        }
    }
    // The echo feeds the reverb a little, as a desk would route it.
    std::vector<float> dl(total, 0.0f), dr(total, 0.0f);
    sSynDelay(dly.data(), dl.data(), dr.data(), total, aSong.Samples(aSong.delayBeats), aSong.delayFeedback,
              aSong.delayWet, 0.08f);
    for (long i = 0; i < total; i++) {
        busL[i] += dl[i];
        busR[i] += dr[i];
        rev[i] += 0.25f * (dl[i] + dr[i]);
    }
    _synReverb verb(aSong.revRoom, aSong.revDamp, aSong.revWet, aSong.revWidth);
    verb.Process(rev.data(), busL.data(), busR.data(), total);

    long outLen = total;
    if (aSong.loop) {
        // What rings past the end sounds again over the start of the next pass.
        for (long i = 0; i < tail && i < body; i++) {
            busL[i] += busL[body + i];
            busR[i] += busR[body + i];
        }
        outLen = body;
    } else {
        // Trim the tail where it has died away, keeping whole seconds of it at most.
        long end = total;
        while (end > body && std::fabs(busL[end - 1]) < 1e-4f && std::fabs(busR[end - 1]) < 1e-4f)
            end--;
        outLen = std::min(total, end + SYN_RATE / 10);
    }

    // No DC: pulse waves of uneven duty carry some, and the predictor would spend steps on it.
    for (std::vector<float> *bus : {&busL, &busR}) {
        float x1 = 0, y1 = 0;
        for (long i = 0; i < outLen; i++) {
            float x = (*bus)[i];
            y1 = x - x1 + 0.9993f * y1;
            x1 = x;
            (*bus)[i] = y1;
        }
    }

    // Level: peaks to aSong.level of full scale through a gentle soft knee.
    float peak = 1e-9f;
    for (long i = 0; i < outLen; i++)
        peak = std::max(peak, std::max(std::fabs(busL[i]), std::fabs(busR[i])));
    float gain = aSong.fixedGain > 0 ? aSong.fixedGain : 1.0f / peak;
    const float knee = 0.8f;
    auto shape = [&](float aV) {
        float v = aV * gain;
        float a = std::fabs(v);
        if (a > knee)
            a = knee + (1.0f - knee) * std::tanh((a - knee) / (1.0f - knee));
        return std::copysign(a, v) * aSong.level * 32767.0f;
    };

    // Silence at both ends: a short ramp in, a fade and digital zeros out.
    const long rampIn = 256, fadeOut = 1024, zeros = 1024;
    outLen += zeros;
    aPcmOut.assign((size_t)outLen * 2, 0);
    long audible = outLen - zeros;
    for (long i = 0; i < audible; i++) {
        float g = 1.0f;
        if (i < rampIn)
            g = (float)i / rampIn;
        if (i >= audible - fadeOut)
            g = std::min(g, (float)(audible - i) / fadeOut);
        float l = shape(busL[i]) * g, r = shape(busR[i]) * g;
        aPcmOut[2 * i] = (int16_t)std::lrint(std::max(-32768.0f, std::min(32767.0f, l)));
        aPcmOut[2 * i + 1] = (int16_t)std::lrint(std::max(-32768.0f, std::min(32767.0f, r)));
    }
}
