#include "KbTexture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "KbPicture.h"

#define STB_TRUETYPE_IMPLEMENTATION
#include <stb/stb_truetype.h>

static const float _pi = 3.14159265358979f;

static uint32_t _hash(int aX, int aY, uint32_t aSeed)
{
    uint32_t h = (uint32_t)aX * 374761393u + (uint32_t)aY * 668265263u + aSeed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return h ^ (h >> 16);
}

static float _fade(float t) { return t * t * (3 - 2 * t); }

float kbNoise(float aX, float aY, int aPeriod, uint32_t aSeed)
{
    float x = aX * aPeriod, y = aY * aPeriod;
    int x0 = (int)std::floor(x), y0 = (int)std::floor(y);
    float fx = _fade(x - x0), fy = _fade(y - y0);
    auto at = [&](int i, int j) {
        int p = aPeriod > 0 ? aPeriod : 1;
        return (_hash(((i % p) + p) % p, ((j % p) + p) % p, aSeed) & 0xFFFF) / 65535.0f;
    };
    float a = at(x0, y0), b = at(x0 + 1, y0), c = at(x0, y0 + 1), d = at(x0 + 1, y0 + 1);
    return (a + (b - a) * fx) * (1 - fy) + (c + (d - c) * fx) * fy;
}

float kbFbm(float aX, float aY, int aPeriod, int aOctaves, uint32_t aSeed)
{
    float sum = 0, amp = 0.5f, norm = 0;
    for (int o = 0; o < aOctaves; o++) {
        sum += kbNoise(aX, aY, aPeriod << o, aSeed + o * 101) * amp;
        norm += amp;
        amp *= 0.5f;
    }
    return sum / norm;
}

static uint32_t _ch(uint32_t c, int s) { return (c >> s) & 0xFF; }
static uint32_t _clamp8(float v) { return v <= 0 ? 0 : v >= 255 ? 255 : (uint32_t)v; }

uint32_t kbMixColor(uint32_t aA, uint32_t aB, float aT)
{
    aT = std::min(1.0f, std::max(0.0f, aT));
    uint32_t out = 0;
    for (int s = 0; s < 32; s += 8)
        out |= _clamp8(_ch(aA, s) + ((float)_ch(aB, s) - _ch(aA, s)) * aT + 0.5f) << s;
    return out;
}

uint32_t kbShade(uint32_t aColor, float aFactor)
{
    return kbRgb(_clamp8(_ch(aColor, 24) * aFactor), _clamp8(_ch(aColor, 16) * aFactor), _clamp8(_ch(aColor, 8) * aFactor),
                 aColor & 0xFF);
}

static uint32_t _rgbA(uint32_t aRgb) { return (aRgb << 8) | 0xFF; }  // 0xRRGGBB to a pixel

template <typename F>
static kbImage _paint(uint32_t aSize, F aF)
{
    kbImage img = kbImageMake(aSize, aSize);
    for (uint32_t y = 0; y < aSize; y++)
        for (uint32_t x = 0; x < aSize; x++)
            img.pixels[y * aSize + x] = aF((x + 0.5f) / aSize, (y + 0.5f) / aSize, x, y);
    return img;
}

kbImage kbTexWood(uint32_t aSize, uint32_t aColor, uint32_t aSeed)
{
    uint32_t base = _rgbA(aColor);
    return _paint(aSize, [&](float u, float v, uint32_t, uint32_t) {
        // Rings along v bent by noise, planks across u.
        float bend = kbFbm(u, v, 4, 4, aSeed) * 6;
        float ring = std::sin((v * 18 + bend) * 2 * _pi) * 0.5f + 0.5f;
        float grain = kbNoise(u * 1.0f, v, 256, aSeed + 7);
        int plank = (int)(u * 4);
        float seam = std::fmod(u * 4, 1.0f) < 0.012f ? 0.55f : 1.0f;
        float k = (0.78f + 0.22f * ring - 0.08f * grain) * seam * (0.92f + 0.08f * ((_hash(plank, 0, aSeed) & 255) / 255.0f));
        return kbShade(base, k);
    });
}

kbImage kbTexPaper(uint32_t aSize, uint32_t aColor, uint32_t aSeed)
{
    uint32_t base = _rgbA(aColor);
    return _paint(aSize, [&](float u, float v, uint32_t, uint32_t) {
        float fibre = kbFbm(u, v, 16, 4, aSeed) * 0.12f + kbNoise(u, v, 128, aSeed + 3) * 0.05f;
        return kbShade(base, 0.9f + fibre);
    });
}

kbImage kbTexShoji(uint32_t aSize, uint32_t aSeed)
{
    kbImage paper = kbTexPaper(aSize, 0xEEE6D2, aSeed);
    kbImage wood = kbTexWood(aSize, 0x6A4424, aSeed + 1);
    for (uint32_t y = 0; y < aSize; y++)
        for (uint32_t x = 0; x < aSize; x++) {
            float u = (x + 0.5f) / aSize, v = (y + 0.5f) / aSize;
            float cu = std::fmod(u * 3, 1.0f), cv = std::fmod(v * 4, 1.0f);
            bool frame = u < 0.04f || u > 0.96f || v < 0.03f || v > 0.97f;
            bool bar = cu < 0.025f || cu > 0.975f || cv < 0.02f || cv > 0.98f;
            if (frame || bar)
                paper.pixels[y * aSize + x] = wood.pixels[y * aSize + x];
            else {
                // Warm light behind the paper, brightest in the middle of each pane.
                float g = std::sin(cu * _pi) * std::sin(cv * _pi);
                paper.pixels[y * aSize + x] = kbShade(paper.pixels[y * aSize + x], 0.9f + 0.15f * g);
            }
        }
    return paper;
}

kbImage kbTexTatami(uint32_t aSize, uint32_t aSeed)
{
    return _paint(aSize, [&](float u, float v, uint32_t, uint32_t) {
        // Woven rush along u, a dark cloth border along the mat's long edges.
        float weave = std::sin(v * aSize * _pi * 0.5f) * 0.5f + 0.5f;
        float streak = kbNoise(u, v * 0.02f, 64, aSeed) * 0.3f + kbFbm(u, v, 8, 3, aSeed + 5) * 0.2f;
        uint32_t c = kbMixColor(_rgbA(0xB8B070), _rgbA(0x9C9A58), streak + weave * 0.25f);
        if (v < 0.06f || v > 0.94f)
            c = kbShade(_rgbA(0x2C3A2A), 0.85f + 0.3f * kbNoise(u, v, 64, aSeed + 9));
        else if (v < 0.07f || v > 0.93f)
            c = kbShade(c, 0.6f);
        return c;
    });
}

kbImage kbTexStone(uint32_t aSize, uint32_t aColor, uint32_t aSeed)
{
    uint32_t base = _rgbA(aColor);
    return _paint(aSize, [&](float u, float v, uint32_t, uint32_t) {
        // Irregular flagstones: cells of 4 × 4 with jittered joints.
        float ju = u + (kbFbm(u, v, 8, 3, aSeed) - 0.5f) * 0.05f, jv = v + (kbFbm(u, v, 8, 3, aSeed + 1) - 0.5f) * 0.05f;
        float fu = std::fmod(ju * 4 + 4, 1.0f), fv = std::fmod(jv * 4 + 4, 1.0f);
        float joint = std::min(std::min(fu, 1 - fu), std::min(fv, 1 - fv));
        int cell = (int)(ju * 4 + 4) * 7 + (int)(jv * 4 + 4);
        float tone = 0.8f + 0.2f * ((_hash(cell, 1, aSeed) & 255) / 255.0f);
        float grit = kbFbm(u, v, 32, 4, aSeed + 2);
        float k = tone * (0.75f + 0.35f * grit);
        if (joint < 0.03f)
            k *= 0.45f + joint * 10;
        return kbShade(base, k);
    });
}

kbImage kbTexMetal(uint32_t aSize, uint32_t aColor, uint32_t aSeed)
{
    uint32_t base = _rgbA(aColor);
    return _paint(aSize, [&](float u, float v, uint32_t, uint32_t) {
        float brush = kbNoise(u, v * 0.01f, 256, aSeed) * 0.12f;
        float spot = kbFbm(u, v, 4, 4, aSeed + 1) * 0.2f;
        return kbShade(base, 0.8f + brush + spot);
    });
}

kbImage kbTexHull(uint32_t aSize, uint32_t aColor, uint32_t aSeed)
{
    uint32_t base = _rgbA(aColor);
    kbImage img = _paint(aSize, [&](float u, float v, uint32_t, uint32_t) {
        int pu = (int)(u * 4), pv = (int)(v * 8);
        float fu = u * 4 - pu, fv = v * 8 - pv;
        float tone = 0.85f + 0.15f * ((_hash(pu, pv, aSeed) & 255) / 255.0f);
        float wear = kbFbm(u, v, 8, 4, aSeed + 3);
        float k = tone * (0.8f + 0.3f * wear);
        if (fu < 0.01f || fv < 0.02f)
            k *= 0.5f;
        else if (fu < 0.02f || fv < 0.04f)
            k *= 1.15f;
        // Rivets along the plate edges.
        float ru = std::fmod(u * 64, 1.0f), rv = fv * 8;
        if (fv > 0.06f && fv < 0.1f && std::fabs(ru - 0.5f) < 0.18f)
            k *= 1.25f;
        (void)rv;
        return kbShade(base, k);
    });
    // A few darker hatches and a stripe of markings.
    kbRandom rnd(aSeed);
    for (int i = 0; i < 6; i++) {
        int x = (int)rnd.Below(aSize - aSize / 8), y = (int)rnd.Below(aSize - aSize / 8);
        kbShadeRect(&img, x, y, x + aSize / 10, y + aSize / 16, 0x20242A, 0.45f);
    }
    kbShadeRect(&img, 0, aSize * 5 / 8, aSize, aSize * 5 / 8 + aSize / 32, 0xC04020, 0.6f);
    return img;
}

kbImage kbTexGround(uint32_t aSize, uint32_t aColor, uint32_t aSeed)
{
    uint32_t base = _rgbA(aColor);
    return _paint(aSize, [&](float u, float v, uint32_t, uint32_t) {
        float a = kbFbm(u, v, 4, 5, aSeed), b = kbNoise(u, v, 128, aSeed + 1);
        uint32_t c = kbMixColor(kbShade(base, 0.7f), kbShade(base, 1.15f), a);
        return kbShade(c, 0.9f + 0.2f * b);
    });
}

kbImage kbTexWater(uint32_t aSize, uint32_t aSeed)
{
    return _paint(aSize, [&](float u, float v, uint32_t, uint32_t) {
        float w = kbFbm(u, v, 6, 5, aSeed);
        float caustic = std::pow(1 - std::fabs(kbNoise(u, v, 12, aSeed + 1) * 2 - 1), 8.0f);
        return kbMixColor(_rgbA(0x0A3A5C), _rgbA(0x48A8C8), w * 0.8f + caustic * 0.4f);
    });
}

kbImage kbTexSky(uint32_t aSize, uint32_t aTop, uint32_t aHorizon, uint32_t aSeed)
{
    return _paint(aSize, [&](float u, float v, uint32_t, uint32_t) {
        uint32_t sky = kbMixColor(_rgbA(aTop), _rgbA(aHorizon), v);
        float cloud = kbFbm(u, v, 4, 6, aSeed);
        cloud = std::max(0.0f, (cloud - 0.45f) * 2.6f);
        return kbMixColor(sky, _rgbA(0xF4F6FA), std::min(1.0f, cloud));
    });
}

static void _addGlow(kbImage *img, float cx, float cy, float r, uint32_t rgb, float k)
{
    int s = (int)img->width;
    for (int y = (int)(cy - r * 3); y <= (int)(cy + r * 3); y++)
        for (int x = (int)(cx - r * 3); x <= (int)(cx + r * 3); x++) {
            if (x < 0 || y < 0 || x >= s || y >= (int)img->height)
                continue;
            float d2 = ((x - cx) * (x - cx) + (y - cy) * (y - cy)) / (r * r);
            float a = k * std::exp(-d2);
            uint32_t &p = img->pixels[y * s + x];
            p = kbRgb(_clamp8(_ch(p, 24) + _ch(rgb, 16) * a), _clamp8(_ch(p, 16) + _ch(rgb, 8) * a),
                      _clamp8(_ch(p, 8) + _ch(rgb, 0) * a));
        }
}

kbImage kbTexStars(uint32_t aSize, uint32_t aSeed)
{
    kbImage img = _paint(aSize, [&](float u, float v, uint32_t, uint32_t) {
        float band = std::exp(-std::pow((v - 0.5f - 0.1f * std::sin(u * 2 * _pi)) * 5, 2.0f));
        float dust = kbFbm(u, v, 6, 5, aSeed) * band * 0.5f;
        return kbRgb(_clamp8(dust * 70), _clamp8(dust * 60), _clamp8(dust * 90));
    });
    kbRandom rnd(aSeed);
    for (uint32_t i = 0; i < aSize * aSize / 180; i++) {
        float x = (float)rnd.Below(aSize), y = (float)rnd.Below(aSize);
        float b = (rnd.Below(1000) / 1000.0f);
        b = b * b * b;
        uint32_t tint = rnd.Below(3) == 0 ? 0xFFD8B0 : rnd.Below(2) ? 0xC8D8FF : 0xFFFFFF;
        _addGlow(&img, x, y, 0.6f + b * 1.2f, tint, 0.4f + b);
    }
    return img;
}

kbImage kbTexGalaxy(uint32_t aSize, uint32_t aTint, int aArms, uint32_t aSeed)
{
    kbImage img = _paint(aSize, [&](float u, float v, uint32_t, uint32_t) {
        float x = (u - 0.5f) * 2, y = (v - 0.5f) * 2.6f;  // tilted disc
        float r = std::sqrt(x * x + y * y), a = std::atan2(y, x);
        float spiral = std::cos(aArms * (a - std::log(r + 0.05f) * 2.6f)) * 0.5f + 0.5f;
        float dust = kbFbm(u, v, 8, 5, aSeed);
        float disc = std::exp(-r * 3.2f) * (0.35f + 0.9f * std::pow(spiral, 3.0f) * dust);
        float core = std::exp(-r * r * 60) * 1.2f;
        float k = std::min(1.3f, disc + core);
        float warm = core / (disc + core + 1e-3f);
        uint32_t c = kbMixColor(_rgbA(aTint), _rgbA(0xFFF0D0), warm);
        uint32_t out = kbShade(c, k);
        // Hard black outside, so additive drawing leaves no frame.
        if (r > 0.95f)
            out = kbShade(out, std::max(0.0f, 1 - (r - 0.95f) * 20));
        return out;
    });
    kbRandom rnd(aSeed + 9);
    for (uint32_t i = 0; i < aSize / 2; i++) {
        float a = rnd.Below(6283) / 1000.0f, r = (rnd.Below(1000) / 1000.0f) * 0.42f;
        _addGlow(&img, aSize * (0.5f + r * std::cos(a)), aSize * (0.5f + r * std::sin(a) / 1.3f), 0.7f, 0xE0E8FF,
                 0.5f);
    }
    return img;
}

kbImage kbTexNebula(uint32_t aSize, uint32_t aTint, uint32_t aSeed)
{
    kbImage img = _paint(aSize, [&](float u, float v, uint32_t, uint32_t) {
        float x = (u - 0.5f) * 2, y = (v - 0.5f) * 2;
        float r = std::sqrt(x * x + y * y);
        float cloud = kbFbm(u, v, 3, 6, aSeed);
        float wisps = std::pow(1 - std::fabs(kbFbm(u, v, 4, 5, aSeed + 3) * 2 - 1), 4.0f);
        float mask = std::max(0.0f, 1 - r * 1.05f);
        float k = std::max(0.0f, cloud - 0.35f) * 2.2f * mask + wisps * mask * 0.6f;
        uint32_t c = kbMixColor(_rgbA(aTint), _rgbA(0x50A0FF), wisps);
        return kbShade(c, std::min(1.2f, k));
    });
    kbRandom rnd(aSeed + 5);
    for (uint32_t i = 0; i < aSize / 3; i++)
        _addGlow(&img, (float)rnd.Below(aSize), (float)rnd.Below(aSize), 0.7f, 0xFFFFFF, 0.4f);
    return img;
}

kbImage kbTexFire(uint32_t aSize, float aAge, uint32_t aSeed)
{
    return _paint(aSize, [&](float u, float v, uint32_t, uint32_t) {
        float x = (u - 0.5f) * 2, y = (v - 0.5f) * 2;
        float r = std::sqrt(x * x + y * y);
        float radius = 0.25f + 0.7f * std::sqrt(aAge);
        float n = kbFbm(u + aAge * 0.3f, v - aAge * 0.2f, 4, 5, aSeed);
        float edge = radius * (0.75f + 0.5f * n);
        float body = std::max(0.0f, 1 - r / edge);
        float heat = body * (1.3f - aAge) * (0.6f + 0.8f * n);
        float smoke = body * aAge * 0.5f;
        float fade = aAge > 0.7f ? std::max(0.0f, 1 - (aAge - 0.7f) / 0.3f) : 1.0f;
        float rr = std::min(1.0f, heat * 1.6f + smoke * 0.5f), gg = std::min(1.0f, heat * 1.1f + smoke * 0.45f),
              bb = std::min(1.0f, heat * heat * 0.6f + smoke * 0.4f);
        // A white flash in the first frames.
        float flash = std::max(0.0f, 1 - aAge * 6) * std::exp(-r * r * 6);
        return kbRgb(_clamp8((rr + flash) * 255 * fade), _clamp8((gg + flash) * 255 * fade),
                     _clamp8((bb + flash) * 255 * fade));
    });
}

kbImage kbTexSmoke(uint32_t aSize, uint32_t aSeed)
{
    return _paint(aSize, [&](float u, float v, uint32_t, uint32_t) {
        float x = (u - 0.5f) * 2, y = (v - 0.5f) * 2;
        float r = std::sqrt(x * x + y * y);
        float k = std::max(0.0f, 1 - r) * kbFbm(u, v, 4, 5, aSeed) * 1.4f;
        return kbRgb(_clamp8(k * 150), _clamp8(k * 145), _clamp8(k * 140), _clamp8(k * 255));
    });
}

kbImage kbTexPlanet(uint32_t aSize, uint32_t aColor, uint32_t aSeed)
{
    uint32_t base = _rgbA(aColor);
    return _paint(aSize, [&](float u, float v, uint32_t, uint32_t) {
        float x = (u - 0.5f) * 2.1f, y = (v - 0.5f) * 2.1f;
        float r2 = x * x + y * y;
        if (r2 > 1) {
            float halo = std::max(0.0f, 1 - (std::sqrt(r2) - 1) * 12);
            return kbShade(_rgbA(0x5080C0), halo * 0.5f);
        }
        float z = std::sqrt(1 - r2);
        float light = std::max(0.0f, -x * 0.6f - y * 0.3f + z * 0.74f);
        float bands = kbFbm(u * 0.3f, v + kbFbm(u, v, 4, 3, aSeed) * 0.1f, 16, 4, aSeed + 1);
        return kbShade(kbMixColor(base, _rgbA(0xF0E8D8), bands * 0.6f), 0.08f + light * 1.1f);
    });
}

kbImage kbTexLights(uint32_t aSize, uint32_t aColor, uint32_t aSeed)
{
    uint32_t hull = _rgbA(0x303438), lamp = _rgbA(aColor);
    return _paint(aSize, [&](float u, float v, uint32_t, uint32_t) {
        int cu = (int)(u * 32), cv = (int)(v * 16);
        float fu = u * 32 - cu, fv = v * 16 - cv;
        bool lit = (_hash(cu, cv, aSeed) & 3) != 0 && fu > 0.2f && fu < 0.8f && fv > 0.3f && fv < 0.7f;
        return lit ? kbShade(lamp, 0.8f + 0.2f * kbNoise(u, v, 64, aSeed)) : kbShade(hull, 0.8f + 0.3f * kbFbm(u, v, 8, 3, aSeed));
    });
}

// Text.

namespace {
struct _font {
    bool tried = false;
    std::vector<unsigned char> data;
    stbtt_fontinfo info{};
    bool ok = false;
};
}  // namespace

static _font &_fontOf(bool aBold)
{
    static _font fonts[2];
    _font &f = fonts[aBold ? 1 : 0];
    if (!f.tried) {
        f.tried = true;
        const char *paths[] = {aBold ? "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
                                     : "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
                               "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf"};
        for (const char *p : paths) {
            FILE *fp = fopen(p, "rb");
            if (!fp)
                continue;
            int c;
            while ((c = fgetc(fp)) != EOF)
                f.data.push_back((unsigned char)c);
            fclose(fp);
            if (stbtt_InitFont(&f.info, f.data.data(), stbtt_GetFontOffsetForIndex(f.data.data(), 0))) {
                f.ok = true;
                break;
            }
            f.data.clear();
        }
    }
    return f;
}

bool kbFontReady() { return _fontOf(true).ok && _fontOf(false).ok; }

static std::vector<int> _codepoints(const std::string &aText)
{
    std::vector<int> out;
    for (size_t i = 0; i < aText.size();) {
        unsigned char c = (unsigned char)aText[i];
        int n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        int cp = n == 1 ? c : c & (0x3F >> (n - 1));
        for (int k = 1; k < n && i + k < aText.size(); k++)
            cp = (cp << 6) | (aText[i + k] & 0x3F);
        out.push_back(cp);
        i += n;
    }
    return out;
}

float kbTextWidth(const std::string &aText, float aHeight, bool aBold)
{
    _font &f = _fontOf(aBold);
    if (!f.ok)
        return 0;
    float scale = stbtt_ScaleForPixelHeight(&f.info, aHeight), w = 0;
    std::vector<int> cps = _codepoints(aText);
    for (size_t i = 0; i < cps.size(); i++) {
        int adv, lsb;
        stbtt_GetCodepointHMetrics(&f.info, cps[i], &adv, &lsb);
        w += adv * scale;
        if (i + 1 < cps.size())
            w += stbtt_GetCodepointKernAdvance(&f.info, cps[i], cps[i + 1]) * scale;
    }
    return w;
}

void kbDrawText(kbImage *aImageP, float aX, float aY, float aHeight, uint32_t aColor, const std::string &aText,
                bool aBold)
{
    _font &f = _fontOf(aBold);
    if (!f.ok)
        return;
    float scale = stbtt_ScaleForPixelHeight(&f.info, aHeight);
    int ascent, descent, gap;
    stbtt_GetFontVMetrics(&f.info, &ascent, &descent, &gap);
    float baseline = aY + ascent * scale, x = aX;
    std::vector<int> cps = _codepoints(aText);
    uint32_t color = _rgbA(aColor);
    for (size_t i = 0; i < cps.size(); i++) {
        int w = 0, h = 0, xo = 0, yo = 0;
        float sx = x - std::floor(x);
        unsigned char *bmp =
            stbtt_GetCodepointBitmapSubpixel(&f.info, scale, scale, sx, 0, cps[i], &w, &h, &xo, &yo);
        int ox = (int)std::floor(x) + xo, oy = (int)std::floor(baseline) + yo;
        for (int yy = 0; yy < h; yy++)
            for (int xx = 0; xx < w; xx++) {
                int px = ox + xx, py = oy + yy;
                if (px < 0 || py < 0 || px >= (int)aImageP->width || py >= (int)aImageP->height)
                    continue;
                uint32_t &p = aImageP->pixels[py * aImageP->width + px];
                p = kbMixColor(p, color, bmp[yy * w + xx] / 255.0f);
            }
        stbtt_FreeBitmap(bmp, nullptr);
        int adv, lsb;
        stbtt_GetCodepointHMetrics(&f.info, cps[i], &adv, &lsb);
        x += adv * scale;
        if (i + 1 < cps.size())
            x += stbtt_GetCodepointKernAdvance(&f.info, cps[i], cps[i + 1]) * scale;
    }
}

void kbFillRect(kbImage *aImageP, int aX0, int aY0, int aX1, int aY1, uint32_t aColor)
{
    kbShadeRect(aImageP, aX0, aY0, aX1, aY1, aColor, 1.0f);
}

void kbShadeRect(kbImage *aImageP, int aX0, int aY0, int aX1, int aY1, uint32_t aColor, float aAlpha)
{
    for (int y = std::max(0, aY0); y < std::min((int)aImageP->height, aY1); y++)
        for (int x = std::max(0, aX0); x < std::min((int)aImageP->width, aX1); x++) {
            uint32_t &p = aImageP->pixels[y * aImageP->width + x];
            p = aAlpha >= 1.0f ? _rgbA(aColor) : kbMixColor(p, _rgbA(aColor), aAlpha);
        }
}
