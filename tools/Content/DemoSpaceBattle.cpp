// The space battle and its finale (13-18; Light l10, l11, l13, l14, l15).
//
// 13: three fighters strafe a raider with rapid fire until it blows apart. 14: the squadron
// regroups beside the flagship. 15: a pursuit through drifting rocks. 16: the escorts of the
// enemy dreadnought are picked off. 17: the fleets close; cruisers trade lightning, fighters die
// between them and a raider breaks up. 18: the dreadnought is hammered, burns, and goes up in one
// great blast; the fleet turns away into the galaxy.
//
// Every explosion a scene stages is listed with the cue the program's explosion table holds for
// it; the scenes' events land on the frames of their sound cue lists.

#include "DemoSpaceBattle.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>

namespace {

const float _pi = 3.14159265358979f;

// The sound cue frames of the demo table, scene by scene.
const std::vector<int> _cues13 = {4, 10, 17, 23, 29, 35, 42, 48, 54, 60, 67, 73, 79, 86, 92, 98, 104, 111, 117};
const std::vector<int> _cues16 = {80, 86, 91, 97, 102, 108, 114, 119, 125, 131, 136, 142, 148, 153, 159, 164, 170};
std::vector<int> _cues17()
{
    return {60,  69,  78,  87,  96,  105, 113, 122, 131, 140, 149, 158, 167, 176, 185, 194, 203, 211, 220,
            229, 238, 247, 256, 265, 274, 283, 292, 301, 309, 318, 327, 336, 345, 354, 363, 372, 381, 390,
            399, 407, 416, 425, 434, 443, 452, 461, 470, 479, 488, 497, 505, 514, 523, 532, 541, 550};
}
// Cues 1-25 spread over the attack; cue 26 is the great blast, and the rest wait behind it.
std::vector<int> _cues18()
{
    std::vector<int> c;
    for (int i = 0; i < 25; i++)
        c.push_back(5 + (i * 215 + 12) / 24);
    c.push_back(505);
    return c;
}

float _smooth(float a, float b, float x)
{
    float t = std::min(1.0f, std::max(0.0f, (x - a) / (b - a)));
    return t * t * (3 - 2 * t);
}

// A curve through keys, carried on in a straight line beyond the first and last.
kbCurve _path(std::vector<std::pair<float, kbVec3>> aKeys)
{
    kbSpline s;
    for (auto &k : aKeys)
        s.Key(k.first, k.second);
    float f0 = aKeys.front().first, f1 = aKeys.back().first;
    kbVec3 v0 = (aKeys[1].second - aKeys[0].second) * (1.0f / (aKeys[1].first - f0));
    size_t n = aKeys.size();
    kbVec3 v1 = (aKeys[n - 1].second - aKeys[n - 2].second) * (1.0f / (f1 - aKeys[n - 2].first));
    return [s, f0, f1, v0, v1](int f) {
        if (f < f0)
            return s.At(f0) + v0 * (f - f0);
        if (f > f1)
            return s.At(f1) + v1 * (f - f1);
        return s.At((float)f);
    };
}

// Cross-fades two camera curves over [aFrom, aTo]; before it the first, after it the second.
kbCurve _blend(kbCurve a, kbCurve b, int aFrom, int aTo)
{
    return [=](int f) { return kbLerp(a(f), b(f), _smooth((float)aFrom, (float)aTo, (float)f)); };
}

// A hard cut at aAt.
kbCurve _cut(kbCurve a, kbCurve b, int aAt)
{
    return [=](int f) { return f < aAt ? a(f) : b(f); };
}

const kbImage &_cached(const std::string &aKey, const std::function<kbImage()> &aMake)
{
    static std::map<std::string, kbImage> cache;
    auto it = cache.find(aKey);
    if (it == cache.end())
        it = cache.emplace(aKey, aMake()).first;
    return it->second;
}

struct _kit;

enum _kind { K_SPARK, K_FIGHTER, K_HULL, K_DEATH, K_GREAT, K_RING };

struct _kit {
    _kit(int aNumber, bool aLight, float aScale) : number(aNumber), light(aLight), k(aScale) {}
    int number;
    bool light;
    float k;  // world scale: 1 is the scale of the first battle's fighters
    int det = 8, capDet = 12;
    int frames = 1;
    dsbBuilt out;
    kbCurve eye, look;
    std::string hullA, hullB, lightsA, lightsB, blueT, redT, glowT, rockT;
    std::shared_ptr<kbShapeBody> blue, red, boltBlue, boltRed;

    kbScene &Sc() { return out.scene.scene; }
    ctTextures &Tx() { return out.scene.textures; }

    std::string Pic(const std::string &aFull, const std::string &aLite, uint32_t aSize, std::function<kbImage(uint32_t)> aMake)
    {
        uint32_t size = light ? std::min<uint32_t>(aSize, 256) : aSize;
        std::string name = light ? aLite : aFull;
        const kbImage &img = _cached(name + "/" + std::to_string(size), [&] { return aMake(size); });
        return Tx().Add(name, img);
    }

    // Where the camera sees a point: screen x, y (640 x 480) and depth; false when behind it.
    bool See(int f, kbVec3 p, float *aX = nullptr, float *aY = nullptr, float *aZ = nullptr) const
    {
        kbVec3 e = eye(f), fwd = kbNormalize(look(f) - e);
        kbVec3 right = kbNormalize(kbCross(kbVec3(0, 1, 0), fwd)), up = kbCross(fwd, right);
        kbVec3 d = p - e;
        float z = kbDot(d, fwd);
        if (aZ)
            *aZ = z;
        if (z < 1)
            return false;
        float ys = 1.0f / std::tan(0.5f), xs = ys * 480.0f / 640.0f;
        float x = (kbDot(d, right) * xs / z * 0.5f + 0.5f) * 640, y = (0.5f - kbDot(d, up) * ys / z * 0.5f) * 480;
        if (aX)
            *aX = x;
        if (aY)
            *aY = y;
        return x > 24 && x < 616 && y > 24 && y < 456;
    }
    // A point in view at a frame: screen fractions (-1..1) and the distance ahead.
    kbVec3 InView(int f, float aSx, float aSy, float aDist) const
    {
        kbVec3 e = eye(f), fwd = kbNormalize(look(f) - e);
        kbVec3 right = kbNormalize(kbCross(kbVec3(0, 1, 0), fwd)), up = kbCross(fwd, right);
        float th = std::tan(0.5f);
        return e + fwd * aDist + right * (aSx * aDist * th * 640.0f / 480.0f) + up * (aSy * aDist * th);
    }

    void Blast(int aFrame, _kind aKind, kbVec3 aPos, bool aLight, float aSize = 1.0f)
    {
        dsbBlast b;
        b.frame = aFrame;
        b.pos = kbVec3(std::round(aPos.x), std::round(aPos.y), std::round(aPos.z));
        b.light = aLight;
        float s = k * aSize;
        // Turn each blast a little so no two look the same.
        static const float turns[4][2] = {{0, 0}, {90, 0}, {45, 90}, {0, 270}};
        const float *t = turns[out.blasts.size() % 4];
        b.rotate = kbVec3(t[0], t[1], 0);
        switch (aKind) {
        case K_SPARK: b.bomType = 7, b.texType = 0, b.scale = 2.5f * s, b.texScale = 1.0f * s, b.coef = 0.6f; break;
        case K_FIGHTER: b.bomType = 8, b.texType = 3, b.scale = 2.5f * s, b.texScale = 0.5f * s, b.coef = 0.8f; break;
        case K_HULL: b.bomType = 4, b.texType = 1, b.scale = 6.0f * s, b.texScale = 2.0f * s, b.coef = 0.7f; break;
        case K_DEATH: b.bomType = 0, b.texType = 1, b.scale = 12.0f * s, b.texScale = 4.0f * s, b.coef = 1.0f; break;
        case K_GREAT: b.bomType = 1, b.texType = 1, b.scale = 16.0f * s, b.texScale = 6.0f * s, b.coef = 1.2f; break;
        case K_RING: b.bomType = 6, b.texType = 1, b.scale = 10.0f * s, b.texScale = 3.0f * s, b.coef = 1.0f; break;
        }
        b.scale = std::round(b.scale * 10) / 10, b.texScale = std::round(b.texScale * 10) / 10;
        if (aLight || !light)
            out.blasts.push_back(b);
    }
};

void _begin(_kit &k, int aFrames, float aNear, float aFar, kbVec3 aSun = kbVec3(0.55f, -0.35f, -0.75f))
{
    k.frames = aFrames;
    kbSceneBegin(&k.Sc(), aFrames, aNear, aFar, 0x000000, 0x262C3A, 0.55f);
    ctScene &s = k.out.scene;
    static const char *light[] = {"l10", "l11", "", "l13", "l14", "l15"};
    static const char *lightPack[] = {"l14.ksf", "l15.ksf", "", "l17.ksf", "l18.ksf", "l19.ksf"};
    s.number = k.light ? light[k.number - 13] : std::to_string(k.number);
    s.package = k.light ? lightPack[k.number - 13] : "04.ksf";
    k.det = k.light ? 5 : 8;
    k.capDet = k.light ? 6 : 12;
    // The textures of the first battle, so the fleet keeps its look.
    k.hullA = k.Pic("g3_hull_a.bmp", "dsb_hull_a.bmp", 1024, [](uint32_t n) { return kbTexHull(n, 0x8A9098, 301); });
    k.hullB = k.Pic("g3_hull_b.bmp", "dsb_hull_b.bmp", 512, [](uint32_t n) { return kbTexHull(n, 0x8C7C70, 302); });
    k.lightsA = k.Pic("g3_lights_a.bmp", "dsb_lights_a.bmp", 512, [](uint32_t n) { return kbTexLights(n, 0xFFE8A0, 303); });
    k.lightsB = k.Pic("g3_lights_b.bmp", "dsb_lights_b.bmp", 256, [](uint32_t n) { return kbTexLights(n, 0xFF9070, 304); });
    k.blueT = k.Pic("g3_fighter_blue.bmp", "dsb_fighter_blue.bmp", 512, [](uint32_t n) { return kbTexHull(n, 0x5070A8, 305); });
    k.redT = k.Pic("g3_fighter_red.bmp", "dsb_fighter_red.bmp", 512, [](uint32_t n) { return kbTexHull(n, 0xA04838, 306); });
    k.glowT = k.Pic("g3_glow.bmp", "dsb_glow.bmp", 256, [](uint32_t n) { return kbPictureGlow(n, n, 0x80C0FFFF); });
    k.blue = ctShipBody(22 * k.k, k.det, 0xB0C0E0, k.blueT, k.glowT);
    k.red = ctShipBody(20 * k.k, k.det, 0xE0B0A0, k.redT, k.glowT);
    auto bolt = [&](uint32_t aCore, uint32_t aHalo) {
        float L = 16 * k.k, w = 0.5f * k.k;
        kbSurface core = kbSurfaceOf(kbMeshBox(kbVec3(w, w, L)), 0x000000);
        core.emissive = kbColor(aCore);
        core.blend = 1;
        kbSurface halo = kbSurfaceOf(kbMeshBox(kbVec3(w * 4, w * 4, L * 1.2f)), 0x000000);
        halo.emissive = kbColor(aHalo);
        halo.blend = 1;
        halo.twoSided = true;
        return kbBodyOf({core, halo});
    };
    k.boltBlue = bolt(0xC0F0FF, 0x204878);
    k.boltRed = bolt(0xFFD0A0, 0x782810);
    // One hard sun, cold fill from the ambient.
    kbAddLight(&k.Sc(), kbLightDirectional(aSun, 0xE8F0FF, 1.25f));
}

// The camera and the flash that lights the hulls around each blast.
void _finish(_kit &k, float aFlashRange)
{
    kbAddCamera(&k.Sc(), k.eye, k.look, 1.0f);
    if (!k.out.blasts.empty()) {
        std::vector<dsbBlast> bl = k.out.blasts;
        std::sort(bl.begin(), bl.end(), [](const dsbBlast &a, const dsbBlast &b) { return a.frame < b.frame; });
        kbCurve at = [bl](int f) {
            kbVec3 p = bl.front().pos;
            for (const dsbBlast &b : bl)
                if (b.frame <= f)
                    p = b.pos;
            return p;
        };
        kbLight flash = kbLightPoint(bl.front().pos, 0xFFB070, 0.0f, aFlashRange * k.k);
        flash.motion = kbBakeMotion(k.frames, at, kbCurve());
        for (int f = 0; f < k.frames; f++) {
            float v = 0;
            for (const dsbBlast &b : bl)
                if (f >= b.frame)
                    v = std::max(v, std::exp(-(f - b.frame) / 10.0f) * std::min(1.5f, b.scale / (3.0f * k.k)));
            flash.intensities.push_back(std::min(1.6f, v));
        }
        kbAddLight(&k.Sc(), flash);
    }
    kbSceneCount(&k.Sc());
}

// A fighter flying a path; gone two frames after aDieAt (when >= 0). Returns the body's shape.
int _flyer(_kit &k, const std::string &aName, bool aBlue, const kbCurve &aPath, const std::string &aPathName, int aDieAt = -1)
{
    int i = ctAddFlyer(&k.Sc(), aName, aBlue ? k.blue : k.red, aPath, 5.0f, aPathName);
    if (aDieAt >= 0)
        k.Sc().shapes[i].dissolve = kbDissolveWindow(k.frames, 0, aDieAt + 2);
    return i;
}

struct _shot {
    int fire, hit;
    kbVec3 from, to;
};

// Bolts in flight: each bolt shape carries one shot at a time and is hidden between shots.
void _shots(_kit &k, const std::string &aName, bool aBlue, std::vector<_shot> aShots)
{
    std::sort(aShots.begin(), aShots.end(), [](const _shot &a, const _shot &b) { return a.fire < b.fire; });
    std::vector<std::vector<_shot>> lanes;
    for (const _shot &s : aShots) {
        size_t l = 0;
        while (l < lanes.size() && lanes[l].back().hit + 1 >= s.fire)
            l++;
        if (l == lanes.size())
            lanes.emplace_back();
        lanes[l].push_back(s);
    }
    for (const auto &lane : lanes) {
        auto which = [lane](int f) {
            size_t w = 0;
            for (size_t i = 0; i < lane.size(); i++)
                if (lane[i].fire <= f)
                    w = i;
            return lane[w];
        };
        kbCurve trans = [which](int f) {
            _shot s = which(f);
            float t = std::min(1.0f, std::max(0.0f, (float)(f - s.fire) / (float)std::max(1, s.hit - s.fire)));
            return kbLerp(s.from, s.to, t);
        };
        kbCurve angle = [which](int f) {
            _shot s = which(f);
            return kbAimAngles(s.to - s.from);
        };
        int i = kbAddShape(&k.Sc(), aName, aBlue ? k.boltBlue : k.boltRed, -1, trans, angle);
        std::vector<float> d(k.frames, 1.0f);
        for (const _shot &s : lane)
            for (int f = std::max(0, s.fire); f <= s.hit && f < k.frames; f++)
                d[f] = 0.0f;
        k.Sc().shapes[i].dissolve = d;
    }
}

// A shot from a point to a target that arrives at aHit, travelling at aSpeed a frame.
_shot _shotTo(kbVec3 aFrom, kbVec3 aTo, int aFire, float aSpeed)
{
    int t = std::max(3, std::min(12, (int)(kbLength(aTo - aFrom) / aSpeed)));
    return _shot{aFire, aFire + t, aFrom, aTo};
}

kbVec3 _nose(const kbCurve &aPath, int f, float aAhead)
{
    return aPath(f) + kbNormalize(aPath(f + 1) - aPath(f - 1)) * aAhead;
}

// A capital ship on a straight course; returns its shape index.
struct _capital {
    int shape;
    kbCurve path;
    kbVec3 angle;
    float length;
    kbVec3 World(int f, kbVec3 aLocal) const { return path(f) + kbRotate(aLocal, angle); }
    // Points along the spine and the flanks where hits show.
    kbVec3 Hull(int f, float aAlong, float aSide) const
    {
        float L = length;
        return World(f, kbVec3(aSide * 0.1f * L, 0.06f * L - std::fabs(aSide) * 0.04f * L, aAlong * 0.45f * L));
    }
};

_capital _addCapital(_kit &k, const std::string &aName, bool aBlueFleet, float aLength, kbCurve aPath, kbVec3 aAngle,
                     int aDieAt = -1)
{
    auto body = ctCruiserBody(aLength, k.capDet, aBlueFleet ? k.hullA : k.hullB, aBlueFleet ? k.lightsA : k.lightsB);
    _capital c;
    c.shape = kbAddShape(&k.Sc(), aName, body, -1, aPath, kbConstant(aAngle));
    c.path = aPath;
    c.angle = aAngle;
    c.length = aLength;
    if (aDieAt >= 0)
        k.Sc().shapes[c.shape].dissolve = kbDissolveWindow(k.frames, 0, aDieAt + 4);
    return c;
}

// Wreckage thrown out of a dying ship: tumbling hull chunks that appear with the blast.
void _wreck(_kit &k, const _capital &aShip, int aAt, int aCount, uint32_t aSeed)
{
    auto chunk = ctAsteroidBody(aShip.length * 0.05f, k.light ? 3 : 4, aSeed, k.hullB);
    for (int i = 0; i < aCount; i++) {
        float a = i * 2.39996f, along = (i % 5) / 2.0f - 1.0f;
        kbVec3 from = aShip.Hull(aAt, along * 0.8f, 0);
        kbVec3 v = kbVec3(std::cos(a), 0.5f * std::sin(a * 1.7f), std::sin(a)) * (aShip.length * (0.004f + 0.002f * (i % 3)));
        kbCurve p = [from, v, aAt](int f) { return from + v * (float)std::max(0, f - aAt); };
        kbCurve r = [i](int f) { return kbVec3(f * 0.03f * (1 + i % 3), f * 0.02f * (1 + i % 2), 0); };
        float s = 0.6f + 0.25f * (i % 4);
        int sh = kbAddShape(&k.Sc(), "Wreck", chunk, -1, p, r, kbConstant(kbVec3(s, s * 0.6f, s * 1.4f)));
        k.Sc().shapes[sh].dissolve = kbDissolveWindow(k.frames, aAt + 2, k.frames + 1);
    }
}

// ---- 13: the strafing run -------------------------------------------------------------------

dsbBuilt _scene13(bool aLight)
{
    _kit k(13, aLight, 1.0f);
    _begin(k, 240, 2.0f, 12000.0f);
    k.out.cues = _cues13;
    const float L = 520;
    _capital raider = _addCapital(k, "Raider", false, L, [](int f) { return kbVec3(-80 + 0.45f * f, -40, 0); },
                                  kbVec3(0, _pi / 2, 0.06f), 132);
    // Three fighters dive on the raider's stern and run its length over the deck.
    std::vector<kbCurve> wing;
    for (int i = 0; i < 3; i++) {
        float side = (i - 1) * 26.0f, low = -std::fabs(i - 1.0f) * 6, lag = std::fabs(i - 1.0f) * 7;
        kbCurve p = _path({{-30 + lag, kbVec3(-760, 190 + low, -260 + side)},
                           {0 + lag, kbVec3(-600, 150 + low, -170 + side)},
                           {40 + lag, kbVec3(-360, 70 + low, -50 + side)},
                           {80 + lag, kbVec3(-80, 48 + low, side * 0.7f)},
                           {115 + lag, kbVec3(190, 52 + low, 10 + side * 0.7f)},
                           {145 + lag, kbVec3(400, 130 + low, 90 + side)},
                           {200 + lag, kbVec3(640, 330 + low, 320 + side)},
                           {270 + lag, kbVec3(920, 540 + low, 600 + side)}});
        wing.push_back(p);
        _flyer(k, "BlueFighter", true, p, "Blue" + std::to_string(i + 1) + "Path");
    }
    // Rapid fire on every cue, walking up the hull from the stern.
    std::vector<_shot> shots;
    for (size_t n = 0; n < _cues13.size(); n++) {
        int f = _cues13[n];
        const kbCurve &p = wing[n % 3];
        float along = -0.9f + 1.7f * (float)n / (float)(_cues13.size() - 1);
        float side = ((int)n % 3 - 1) * 0.5f;
        shots.push_back(_shotTo(_nose(p, f, 14), raider.Hull(f + 6, along, side), f, 45.0f));
    }
    _shots(k, "Bolt", true, shots);
    // Hits walk up the hull; the fifth tears it open and the raider goes up.
    k.Blast(30, K_SPARK, raider.Hull(30, -0.75f, -0.4f), false);
    k.Blast(52, K_SPARK, raider.Hull(52, -0.5f, 0.5f), false);
    k.Blast(74, K_HULL, raider.Hull(74, -0.25f, 0), true);
    k.Blast(96, K_SPARK, raider.Hull(96, 0.05f, 0.4f), false);
    k.Blast(112, K_HULL, raider.Hull(112, 0.3f, -0.3f), true);
    k.Blast(124, K_HULL, raider.Hull(124, 0.7f, 0), false);
    k.Blast(132, K_DEATH, raider.Hull(132, 0, 0), true, 0.8f);
    _wreck(k, raider, 133, k.light ? 4 : 8, 1301);

    // Chase the leader down, watch the run from beside the deck, then pull back for the blast.
    kbCurve lead = wing[1];
    kbCurve chaseEye = [lead](int f) {
        kbVec3 d = kbNormalize(lead(f + 1) - lead(f - 1));
        return lead(f) - d * 70 + kbVec3(0, 22, 0) + kbVec3(-d.z, 0, d.x) * 18;
    };
    kbCurve chaseLook = [lead, raider](int f) { return kbLerp(lead(f + 20), raider.Hull(f, -0.2f, 0), 0.45f); };
    kbCurve sideEye = [](int f) { return kbVec3(-160 + f * 1.6f, 28, 190); };
    kbCurve sideLook = [lead, raider](int f) { return kbLerp(lead(f), raider.Hull(f, 0, 0), 0.35f); };
    kbCurve wideEye = _path({{120, kbVec3(120, 150, 620)}, {170, kbVec3(200, 190, 640)}, {240, kbVec3(560, 400, 720)}});
    kbCurve wideLook = [raider, lead](int f) {
        return kbLerp(raider.Hull(std::min(f, 132), 0.1f, 0), lead(f + 10), _smooth(150, 205, (float)f));
    };
    k.eye = _cut(_cut(chaseEye, sideEye, 64), wideEye, 120);
    k.look = _cut(_cut(chaseLook, sideLook, 64), wideLook, 120);
    _finish(k, 260);
    return k.out;
}

// ---- 14: regrouping beside the flagship -----------------------------------------------------

dsbBuilt _scene14(bool aLight)
{
    _kit k(14, aLight, 1.0f);
    _begin(k, 210, 2.0f, 14000.0f, kbVec3(-0.75f, -0.45f, 0.5f));
    std::string planetT = k.Pic("g3_planet.bmp", "dsb_planet.bmp", 1024, [](uint32_t n) { return kbTexPlanet(n, 0x9A6A48, 307); });
    _capital flag = _addCapital(k, "Flagship", true, 600, [](int f) { return kbVec3(0, -70, -260 + 0.7f * f); }, kbVec3(0, 0, 0));
    (void)flag;
    kbSurface globe = kbSurfaceOf(kbMeshSphere(900, aLight ? 16 : 24, aLight ? 8 : 12), 0xFFFFFF, planetT);
    kbAddShape(&k.Sc(), "Planet", kbBodyOf({globe}), -1, kbConstant(kbVec3(-3200, -1100, 7400)),
               [](int f) { return kbVec3(0.35f, f * 0.001f, 0.2f); });
    // Five fighters come back from the strike one by one and slide into a vee off the flagship's bow.
    kbCurve lead = [](int f) { return kbVec3(170, 20, -120 + 1.2f * f); };
    const kbVec3 slot[5] = {{0, 0, 0}, {-30, -4, -34}, {30, -4, -34}, {-60, -8, -68}, {60, -8, -68}};
    const kbVec3 from[5] = {{-40, 90, -420}, {-260, 160, -520}, {260, -40, -560}, {-380, 60, -700}, {420, 120, -660}};
    std::vector<kbCurve> ships;
    for (int i = 0; i < 5; i++) {
        kbVec3 s = slot[i], o = from[i];
        float settle = 90.0f + i * 14;
        kbCurve p = [lead, s, o, settle](int f) {
            float t = _smooth(0, settle, (float)f);
            kbVec3 weave(std::sin(f * 0.05f + s.x) * 12 * (1 - t), std::cos(f * 0.04f + s.z) * 8 * (1 - t), 0);
            return lead(f) + s + o * (1 - t) + weave;
        };
        ships.push_back(p);
        _flyer(k, "BlueFighter", true, p, "Blue" + std::to_string(i + 1) + "Path");
    }
    // From ahead of the formation watching them come in, round to behind them as they pass.
    kbCurve centre = [lead](int f) { return lead(f) + kbVec3(0, -4, -30); };
    kbCurve eye = [centre](int f) {
        float a = _pi * (0.1f + 0.85f * _smooth(20, 200, (float)f));
        float r = 150 - 50 * _smooth(0, 200, (float)f);
        return centre(f) + kbVec3(r * std::sin(a) + 30, 30 + 20 * std::sin(f / 60.0f), r * std::cos(a));
    };
    k.eye = eye;
    k.look = [centre](int f) { return centre(f) + kbVec3(-40 * _smooth(120, 210, (float)f), 0, 60 * _smooth(120, 210, (float)f)); };
    _finish(k, 200);
    return k.out;
}

// ---- 15: pursuit through the rocks (stars only) ---------------------------------------------

dsbBuilt _scene15()
{
    _kit k(15, false, 1.0f);
    _begin(k, 210, 2.0f, 12000.0f, kbVec3(0.3f, -0.5f, 0.8f));
    k.rockT = k.Pic("g3_rock.bmp", "dsb_rock.bmp", 256, [](uint32_t n) { return kbTexStone(n, 0x706660, 308); });
    kbCurve prey = [](int f) { return kbVec3(70 * std::sin(f / 23.0f), 35 * std::sin(f / 31.0f), 3.4f * f); };
    _flyer(k, "RedFighter", false, prey, "Red1Path");
    std::vector<kbCurve> hunters;
    for (int i = 0; i < 2; i++) {
        float side = i ? 18.0f : -18.0f;
        kbCurve p = [prey, side, i](int f) { return prey(f - 16 - i * 5) + kbVec3(side, 6 - i * 10, -12); };
        hunters.push_back(p);
        _flyer(k, "BlueFighter", true, p, "Blue" + std::to_string(i + 1) + "Path");
    }
    // Rocks the chase threads through.
    for (int i = 0; i < 10; i++) {
        auto rock = ctAsteroidBody(14 + (i % 4) * 7, 6, 1500 + i, k.rockT);
        float z = 90 + i * 62, x = (i % 2 ? 1 : -1) * (70 + (i * 37) % 60), y = ((i * 53) % 90) - 45;
        kbAddShape(&k.Sc(), "Rock" + std::to_string(i), rock, -1, kbConstant(kbVec3(x, y, z)),
                   [i](int f) { return kbVec3(f * 0.01f * (i % 3 + 1), f * 0.008f, 0); });
    }
    // The hunters fire in short bursts that miss as the prey jinks.
    std::vector<_shot> shots;
    for (int n = 0; n < 16; n++) {
        int f = 24 + n * 10 + (n % 2) * 3;
        const kbCurve &h = hunters[n % 2];
        kbVec3 miss((n % 3 - 1) * 9.0f, ((n + 1) % 3 - 1) * 6.0f, 0);
        shots.push_back(_shotTo(_nose(h, f, 12), prey(f + 5) + miss, f, 30.0f));
    }
    _shots(k, "Bolt", true, shots);
    kbCurve h0 = hunters[0];
    k.eye = [h0](int f) {
        kbVec3 d = kbNormalize(h0(f + 1) - h0(f - 1));
        return h0(f) - d * 46 + kbVec3(0, 13, 0) + kbVec3(-d.z, 0, d.x) * (14 * std::sin(f / 40.0f));
    };
    k.look = [prey, h0](int f) { return kbLerp(prey(f + 4), h0(f + 20), 0.3f); };
    _finish(k, 200);
    return k.out;
}

// ---- 16: the escorts ---------------------------------------------------------------------

std::shared_ptr<kbShapeBody> _dreadBody(_kit &k, float aLength, const std::string &aHull)
{
    // A heavier cruiser: the main hull with two flanking hulls and a raised bridge.
    auto main = ctCruiserBody(aLength, k.capDet, aHull, k.lightsB);
    kbMesh pods;
    for (int side = -1; side <= 1; side += 2) {
        kbMesh pod = kbMeshCylinder(0.045f * aLength, 0.55f * aLength, k.capDet, 3);
        kbMeshTransform(&pod, kbVec3(side * 0.15f * aLength, -0.01f * aLength, -0.05f * aLength), kbVec3(_pi / 2, 0, 0));
        kbMeshAppend(&pods, pod);
        kbMesh fin = kbMeshBox(kbVec3(0.1f * aLength, 0.01f * aLength, 0.12f * aLength), 2);
        kbMeshTransform(&fin, kbVec3(side * 0.1f * aLength, 0, -0.2f * aLength));
        kbMeshAppend(&pods, fin);
    }
    kbMesh bridge = kbMeshBox(kbVec3(0.05f * aLength, 0.07f * aLength, 0.08f * aLength), 2);
    kbMeshTransform(&bridge, kbVec3(0, 0.16f * aLength, -0.3f * aLength));
    kbMeshAppend(&pods, bridge);
    kbSurface podS = kbSurfaceOf(pods, 0x8A8088, aHull);
    podS.specular = 0.3f;
    std::shared_ptr<kbShapeBody> extra = kbBodyOf({podS});
    // One body: the cruiser's surfaces and the pods'.
    auto out = std::make_shared<kbShapeBody>(*main);
    for (const kbAbility &a : extra->abilities)
        out->abilities.push_back(a);
    out->def.abilityDefNum = (int32_t)out->abilities.size();
    out->def.polyCnt += extra->def.polyCnt;
    out->def.vertexCnt += extra->def.vertexCnt;
    out->def.minX = std::min(out->def.minX, extra->def.minX), out->def.maxX = std::max(out->def.maxX, extra->def.maxX);
    out->def.minY = std::min(out->def.minY, extra->def.minY), out->def.maxY = std::max(out->def.maxY, extra->def.maxY);
    out->def.minZ = std::min(out->def.minZ, extra->def.minZ), out->def.maxZ = std::max(out->def.maxZ, extra->def.maxZ);
    return out;
}

dsbBuilt _scene16(bool aLight)
{
    _kit k(16, aLight, 1.0f);
    _begin(k, 260, 2.0f, 14000.0f, kbVec3(-0.3f, -0.5f, 0.8f));
    k.out.cues = _cues16;
    std::string dreadT = k.Pic("d16_dread_hull.bmp", "dsb_dread_hull.bmp", 1024, [](uint32_t n) { return kbTexHull(n, 0x6A5C62, 1601); });
    const float L = 1100;
    kbCurve dPath = [](int f) { return kbVec3(200 - 0.5f * f, -60, 900); };
    kbVec3 dAngle(0, -_pi / 2 + 0.25f, 0);
    _capital dread;
    dread.shape = kbAddShape(&k.Sc(), "Dreadnought", _dreadBody(k, L, dreadT), -1, dPath, kbConstant(dAngle));
    dread.path = dPath, dread.angle = dAngle, dread.length = L;
    // Three escorts weave off the dreadnought's flank; one dies on each of the kill cues.
    const int kills[3] = {91, 125, 159};
    std::vector<kbCurve> escorts;
    for (int i = 0; i < 3; i++) {
        kbVec3 base(-60 + i * 110.0f, 40 - i * 30.0f, 620 - i * 40.0f);
        float ph = i * 2.1f;
        kbCurve p = [base, ph](int f) {
            return base + kbVec3(-0.9f * f + 40 * std::sin(f / 37.0f + ph), 25 * std::sin(f / 29.0f + ph), 30 * std::cos(f / 41.0f + ph));
        };
        escorts.push_back(p);
        k.Blast(kills[i], K_FIGHTER, p(kills[i]), i == 1);
        if (aLight && i != 1)
            continue;
        _flyer(k, "RedFighter", false, p, "Red" + std::to_string(i + 1) + "Path", kills[i]);
    }
    // Three blue fighters come in from the camera's side and pick them off.
    std::vector<kbCurve> wing;
    for (int i = 0; i < 3; i++) {
        float side = (i - 1) * 30.0f;
        kbCurve p = _path({{-20, kbVec3(420 + side, 200, -300)},
                           {40, kbVec3(260 + side, 130, 260)},
                           {85, kbVec3(110 + side, 85 - i * 10, 520)},
                           {125, kbVec3(-30 + side, 65 - i * 10, 570)},
                           {170, kbVec3(-170 + side, 50, 620)},
                           {230, kbVec3(-420 + side, 110, 860)},
                           {290, kbVec3(-700 + side, 170, 1150)}});
        wing.push_back(p);
        _flyer(k, "BlueFighter", true, p, "Blue" + std::to_string(i + 1) + "Path");
    }
    // Cue rows run hit, shot, blast: a bolt lands on the dreadnought, a bolt leaves for an escort,
    // an escort dies or the dreadnought's cannon answers.
    std::vector<_shot> blue, red;
    for (size_t n = 0; n < _cues16.size(); n++) {
        int f = _cues16[n];
        int target = std::min(2, (int)(f - 80) / 34);
        const kbCurve &shooter = wing[n % 3];
        switch (n % 3) {
        case 0:
            blue.push_back(_shot{f - 6, f, _nose(shooter, f - 6, 14), dread.Hull(f, -0.2f + 0.1f * (n % 5), 0.8f)});
            break;
        case 1:
            blue.push_back(_shotTo(_nose(shooter, f, 14), escorts[target](f + 6), f, 40.0f));
            break;
        default:
            if (f == kills[0] || f == kills[1] || f == kills[2]) {
                int e = f == kills[0] ? 0 : f == kills[1] ? 1 : 2;
                blue.push_back(_shot{f - 6, f, _nose(wing[(n + 1) % 3], f - 6, 14), escorts[e](f)});
            } else
                red.push_back(_shotTo(dread.Hull(f, 0.3f, -0.6f), wing[n % 3](f + 10), f, 45.0f));
        }
    }
    _shots(k, "Bolt", true, blue);
    _shots(k, "RedBolt", false, red);
    // Behind the wing toward the dreadnought, then watching the escorts die, then past the hull.
    kbCurve w0 = wing[1];
    kbCurve approachEye = [w0](int f) { return w0(f) + kbVec3(30, 28, -90); };
    kbCurve approachLook = [dPath](int f) { return dPath(f) + kbVec3(-150, 60, -200); };
    kbCurve fightLook = [escorts](int f) {
        float a = _smooth(80, 100, (float)f), b = _smooth(118, 140, (float)f);
        kbVec3 e = kbLerp(kbLerp(escorts[0](f), escorts[1](f), a), escorts[2](f), b);
        return kbLerp(e, escorts[1](f), 0.3f);
    };
    kbCurve fightEye = [fightLook](int f) { return fightLook(f) + kbVec3(170 - f * 0.3f, 70, -230); };
    kbCurve passEye = _path({{170, kbVec3(-120, 180, 420)}, {260, kbVec3(-470, 210, 640)}});
    kbCurve w1 = wing[1];
    kbCurve passLook = [dPath, w1](int f) { return kbLerp(dPath(f) + kbVec3(-200 + f * 0.4f, 40, 0), w1(f + 15), 0.5f); };
    k.eye = _cut(_blend(approachEye, fightEye, 62, 82), passEye, 176);
    k.look = _cut(_blend(approachLook, fightLook, 62, 82), passLook, 176);
    _finish(k, 220);
    return k.out;
}

// ---- 17: the battle ----------------------------------------------------------------------

dsbBuilt _scene17(bool aLight)
{
    _kit k(17, aLight, 3.5f);
    _begin(k, 640, 6.0f, 40000.0f);
    std::vector<int> cues = _cues17();
    k.out.cues = cues;
    // The fleets on either side of the gap, a little over seven thousand units ahead.
    const float CL = 2400;
    _capital flagship = _addCapital(k, "Flagship", true, 2800, [](int f) { return kbVec3(-2600, -300, -6400 - 0.8f * f); },
                                    kbVec3(0, _pi + 0.25f, 0));
    _capital escort = _addCapital(k, "Cruiser", true, CL, [](int f) { return kbVec3(-3000, 700, -9400 - 0.8f * f); },
                                  kbVec3(0.03f, _pi + 0.3f, 0));
    const int death = 548;
    _capital raider = _addCapital(k, "Raider", false, CL, [](int f) { return kbVec3(2300, 500, -7000 + 0.6f * f); },
                                  kbVec3(0, -0.3f, 0.04f), death);
    _capital raider2 = _addCapital(k, "Raider2", false, CL * 0.9f, [](int f) { return kbVec3(3200, -600, -10200 + 0.6f * f); },
                                   kbVec3(-0.02f, -0.25f, 0));

    // Shots: wide across the gap, then with the wing diving into the red line, then along the
    // raider's hull, then back to watch it break up.
    kbCurve wingPath = _path({{120, kbVec3(-1300, 300, -2600)},
                              {200, kbVec3(-300, 420, -4200)},
                              {280, kbVec3(900, 520, -5600)},
                              {340, kbVec3(1500, 900, -6400)}});
    kbCurve wideEye = _path({{0, kbVec3(-1500, 900, -2400)}, {170, kbVec3(-900, 1000, -3000)}});
    kbCurve wideLook = _path({{0, kbVec3(-900, 200, -7600)}, {170, kbVec3(900, 300, -7800)}});
    kbCurve rideEye = [wingPath](int f) {
        kbVec3 d = kbNormalize(wingPath(f + 1) - wingPath(f - 1));
        return wingPath(f) - d * 280 + kbVec3(0, 80, 0);
    };
    kbCurve rideLook = [wingPath, raider](int f) { return kbLerp(wingPath(f + 40), raider.Hull(f, -0.3f, 0), 0.35f); };
    kbCurve hullEye = _path({{330, kbVec3(700, 1400, -4400)}, {470, kbVec3(1500, 1500, -5000)}});
    kbCurve hullLook = [raider](int f) { return raider.Hull(f, -0.7f + 1.2f * _smooth(330, 470, (float)f), 0); };
    kbCurve backEye = _path({{470, kbVec3(700, 1100, -4200)}, {640, kbVec3(-500, 1500, -3400)}});
    kbCurve backLook = [raider, death](int f) { return raider.Hull(std::min(f, death), 0, 0) + kbVec3(-900 * _smooth(470, 640, (float)f), 0, 0); };
    k.eye = _cut(_cut(_cut(wideEye, rideEye, 165), hullEye, 330), backEye, 470);
    k.look = _cut(_cut(_cut(wideLook, rideLook, 165), hullLook, 330), backLook, 470);

    // The escorting wing the camera rides with in the second shot.
    for (int i = 0; i < 3; i++) {
        kbVec3 off((i - 1) * 150.0f, (i % 2) * -60.0f, std::fabs(i - 1.0f) * -160);
        _flyer(k, "BlueFighter", true, [wingPath, off](int f) { return wingPath(f) + off; }, "Wing" + std::to_string(i + 1) + "Path");
    }
    // Lightning: turrets of each line reach for the other's hulls.
    struct _arc {
        const _capital *from, *to;
        kbVec3 a, b;
        int sa = 0, sb = 0;
        std::vector<float> on = {};
    };
    std::vector<_arc> arcs = {
        {&flagship, &raider, kbVec3(0, 0.08f * 2800, 0.3f * 2800), kbVec3(-0.1f * CL, 0.04f * CL, -0.2f * CL)},
        {&raider, &flagship, kbVec3(0, 0.08f * CL, 0.25f * CL), kbVec3(0.1f * 2800, 0.05f * 2800, 0.1f * 2800)},
        {&escort, &raider, kbVec3(0, 0.08f * CL, 0.2f * CL), kbVec3(-0.08f * CL, 0.05f * CL, 0.25f * CL)},
        {&raider2, &escort, kbVec3(0, 0.08f * CL, 0.2f * CL), kbVec3(0.1f * CL, 0.03f * CL, -0.1f * CL)},
    };
    for (size_t i = 0; i < arcs.size(); i++) {
        std::string n = "thand0" + std::to_string(i + 1);
        arcs[i].sa = kbAddShape(&k.Sc(), n + "a", nullptr, arcs[i].from->shape, kbConstant(arcs[i].a));
        arcs[i].sb = kbAddShape(&k.Sc(), n + "b", nullptr, arcs[i].to->shape, kbConstant(arcs[i].b));
        arcs[i].on.assign(k.frames, 1.0f);
    }

    // Events on the cue rows: a fighter dies (s04), a hull is hit (s06), lightning strikes (s09).
    int fighter = 0;
    std::vector<_shot> blueShots, redShots;
    for (size_t n = 0; n < cues.size(); n++) {
        int f = cues[n];
        bool keep = ((n + 1) * 22 / cues.size()) > (n * 22 / cues.size());
        if (f >= death - 6 && f <= death + 6)
            continue;  // the raider's end has its own blasts
        if (n % 3 == 0) {
            // A fighter crossing the view is caught by fire from behind.
            float sx = ((int)(n * 7) % 9 - 4) * 0.12f, sy = ((int)(n * 5) % 7 - 3) * 0.1f;
            float dist = 1800 + (n * 131) % 1400;
            kbVec3 at = k.InView(f, sx, sy, dist);
            kbVec3 e = k.eye(f), fwd = kbNormalize(k.look(f) - e);
            kbVec3 right = kbNormalize(kbCross(kbVec3(0, 1, 0), fwd));
            float dir = sx > 0 ? -1.0f : 1.0f;
            kbVec3 v = (right * dir + fwd * 0.6f + kbVec3(0, 0.15f * (n % 2 ? 1 : -1), 0)) * (16.0f * k.k / 1.2f);
            bool victimBlue = n % 4 == 3;
            kbCurve path = [at, v, f](int t) {
                float dt = (float)(t - f);
                return at + v * dt + kbVec3(0, 40 * std::sin(dt / 15.0f), 0);
            };
            k.Blast(f, K_FIGHTER, at, keep);
            if (!aLight || keep) {
                std::string id = std::to_string(++fighter);
                _flyer(k, victimBlue ? "BlueFighter" : "RedFighter", victimBlue, path, "Doomed" + id + "Path", f);
                kbCurve hunter = [path, n](int t) { return path(t - 14) + kbVec3(0, 60 + (n % 3) * 20.0f, -40); };
                _flyer(k, victimBlue ? "RedFighter" : "BlueFighter", !victimBlue, hunter, "Hunter" + id + "Path");
                for (int s = 0; s < 2; s++) {
                    _shot sh = _shot{f - 7 + s * 3, f - 1 + s, _nose(hunter, f - 7 + s * 3, 20 * k.k), path(f - 1 + s)};
                    (victimBlue ? redShots : blueShots).push_back(sh);
                }
            }
        } else if (n % 3 == 1) {
            // A hull hit on whichever capital ship is best in view.
            const _capital *ships[4] = {&raider, &raider2, &flagship, &escort};
            kbVec3 best;
            float bestD = 1e30f;
            for (int s = 0; s < 4; s++)
                for (int a = -2; a <= 2; a++) {
                    kbVec3 p = ships[s]->Hull(f, a * 0.4f, (a % 2) * 0.5f);
                    float x, y, z;
                    if (!k.See(f, p, &x, &y, &z))
                        continue;
                    float d = std::fabs(x - 320) + std::fabs(y - 240) + (s == 0 ? 0 : 60);
                    if (d < bestD)
                        bestD = d, best = p;
                }
            if (bestD < 1e29f)
                k.Blast(f, K_HULL, best, keep);
            else
                k.Blast(f, K_HULL, k.InView(f, 0.2f, -0.1f, 4000), keep);
        } else {
            // Lightning: the arc whose far end is best in view strikes for a second; the hull burns.
            int pick = -1;
            float bestD = 1e30f;
            for (size_t i = 0; i < arcs.size(); i++) {
                kbVec3 p = arcs[i].to->World(f, arcs[i].b);
                float x, y;
                bool busy = arcs[i].on[f] == 0.0f;
                if (busy || !k.See(f, p, &x, &y))
                    continue;
                float d = std::fabs(x - 320) + std::fabs(y - 240);
                if (d < bestD)
                    bestD = d, pick = (int)i;
            }
            if (pick < 0)
                pick = (int)(n / 3 % arcs.size());
            for (int t = f; t < std::min(k.frames, f + 26); t++)
                arcs[pick].on[t] = 0.0f;
            k.Blast(f + 2, K_HULL, arcs[pick].to->World(f + 2, arcs[pick].b), keep, 0.8f);
        }
    }
    for (auto &a : arcs) {
        // Nothing reaches from or to the raider once it is gone.
        if (a.from == &raider || a.to == &raider)
            for (int t = death + 1; t < k.frames; t++)
                a.on[t] = 1.0f;
        k.Sc().shapes[a.sa].dissolve = a.on;
        k.Sc().shapes[a.sb].dissolve = a.on;
    }
    // The raider breaks up from stern to bow.
    const float along[8] = {-0.8f, -0.45f, 0.6f, -0.1f, 0.3f, -0.6f, 0.85f, 0.0f};
    const int at[8] = {478, 486, 494, 502, 514, 524, 534, death};
    for (int i = 0; i < 8; i++)
        k.Blast(at[i], i == 7 ? K_DEATH : K_HULL, raider.Hull(at[i], along[i], (i % 2) * 0.6f - 0.3f), true, i == 7 ? 1.2f : 1.0f);
    _wreck(k, raider, death + 1, aLight ? 5 : 10, 1701);
    // Fighters that live through it: a dogfight in the gap.
    for (int i = 0; i < (aLight ? 4 : 8); i++) {
        kbVec3 c(-200 + (i % 4) * 200.0f, 300 - (i / 4) * 500.0f, -6000 - (i % 3) * 600.0f);
        float ph = i * 0.9f, r = 500 + 90 * (i % 3);
        kbCurve p = [c, ph, r](int f) {
            float a = ph + f * 0.012f;
            return c + kbVec3(r * std::cos(a), 150 * std::sin(a * 1.7f), r * 0.7f * std::sin(a));
        };
        _flyer(k, i % 2 ? "RedFighter" : "BlueFighter", i % 2 == 0, p, "Dogfight" + std::to_string(i + 1) + "Path");
    }
    _shots(k, "Bolt", true, blueShots);
    _shots(k, "RedBolt", false, redShots);
    _finish(k, 1400);
    std::sort(k.out.blasts.begin(), k.out.blasts.end(), [](const dsbBlast &a, const dsbBlast &b) { return a.frame < b.frame; });
    return k.out;
}

// ---- 18: the finale ----------------------------------------------------------------------

dsbBuilt _scene18(bool aLight)
{
    _kit k(18, aLight, 3.5f);
    _begin(k, 720, 6.0f, 40000.0f);
    std::vector<int> cues = _cues18();
    k.out.cues = cues;
    std::string dreadT = k.Pic("d16_dread_hull.bmp", "dsb_dread_hull.bmp", 1024, [](uint32_t n) { return kbTexHull(n, 0x6A5C62, 1601); });
    const float L = 3600;
    const int great = 505;
    kbCurve dPath = [](int f) { return kbVec3(400 - 0.3f * f, 300, -8200); };
    kbVec3 dAngle(0.02f, -_pi / 2 - 0.35f, 0.03f);
    _capital dread;
    dread.shape = kbAddShape(&k.Sc(), "Dreadnought", _dreadBody(k, L, dreadT), -1, dPath, kbConstant(dAngle));
    dread.path = dPath, dread.angle = dAngle, dread.length = L;
    // The hull comes apart under the last blasts of the great one.
    k.Sc().shapes[dread.shape].dissolve = kbDissolveWindow(k.frames, 0, 537);
    // The blue fleet stands off toward the camera and turns for home at the end.
    kbCurve fleet = _path({{0, kbVec3(-1800, -200, -2400)}, {480, kbVec3(-2000, -200, -2600)}, {560, kbVec3(-2100, -150, -2300)},
                           {720, kbVec3(-1800, 200, 2600)}});
    kbCurve fleetAngle = [fleet](int f) { return kbAimAngles(fleet(f + 10) - fleet(f - 10) + kbVec3(0, 0, 0.01f)); };
    int flagShape = kbAddShape(&k.Sc(), "Flagship", ctCruiserBody(2800, k.capDet, k.hullA, k.lightsA), -1, fleet, fleetAngle);
    (void)flagShape;

    // Cameras: orbiting the attack, along the burning hull, watching from the fleet, then with the
    // fleet as it turns away into the galaxy.
    kbCurve orbitEye = [](int f) {
        float a = -0.5f + 0.45f * _smooth(0, 230, (float)f);
        return kbVec3(400, 300, -8200) + kbVec3(4200 * std::sin(a), 1000, 4200 * std::cos(a));
    };
    kbCurve orbitLook = [dPath](int f) { return dPath(f) + kbVec3(0, -200, 0); };
    kbCurve hullEye = _path({{230, kbVec3(-2400, 1400, -4600)}, {480, kbVec3(1800, 1200, -4300)}});
    kbCurve hullLook = [dread](int f) { return dread.Hull(f, -0.8f + 1.6f * _smooth(230, 480, (float)f), 0); };
    kbCurve standEye = _path({{480, kbVec3(-2300, 300, 1400)}, {560, kbVec3(-2200, 350, 1000)}});
    kbCurve standLook = [dPath](int f) { return dPath(std::min(f, 505)) + kbVec3(-600, 200, 0); };
    kbCurve homeEye = [fleet](int f) {
        float s = _smooth(560, 700, (float)f);
        return fleet(f) + kbVec3(1500 - 2700 * s, 800 + 100 * s, -2200 - 1400 * s);
    };
    kbCurve homeLook = [fleet](int f) { return fleet(f) + kbVec3(0, 0, 3000 * _smooth(560, 690, (float)f) - 500); };
    k.eye = _cut(_cut(_cut(orbitEye, hullEye, 232), standEye, 480), _blend(standEye, homeEye, 560, 640), 560);
    k.look = _cut(_cut(_cut(orbitLook, hullLook, 232), standLook, 480), _blend(standLook, homeLook, 560, 640), 560);

    // Bombers and the escorts that try to stop them.
    std::vector<kbCurve> bombers;
    for (int i = 0; i < 4; i++) {
        kbVec3 off((i - 1.5f) * 220, (i % 2) * 120.0f, i * 150.0f);
        kbCurve p = _path({{-20, kbVec3(-3800, 900, -3000) + off},
                           {110, kbVec3(-1200, 800, -6400) + off},
                           {200, kbVec3(800, 1100, -7000) + off},
                           {280, kbVec3(2600, 900, -5200) + off},
                           {420, kbVec3(1200, 400, -2800) + off},
                           {560, kbVec3(-1600, -100, -2200) + off},
                           {720, kbVec3(-1500, 200, 2800) + off}});
        bombers.push_back(p);
        _flyer(k, "BlueFighter", true, p, "Bomber" + std::to_string(i + 1) + "Path");
    }
    // Cue rows run hit, shot, blast: bolts land on the dreadnought, bombers fire, escorts die.
    std::vector<_shot> blue;
    int killed = 0, hits = 0;
    for (int n = 0; n < 25; n++) {
        int f = cues[n];
        const kbCurve &b = bombers[n % 4];
        if (n % 3 == 0) {
            kbVec3 p = dread.Hull(f, -0.7f + 0.14f * hits, ((hits % 3) - 1) * 0.6f);
            blue.push_back(_shot{f - 8, f, _nose(b, f - 8, 30 * k.k), p});
            k.Blast(f, hits % 3 == 1 ? K_HULL : K_SPARK, p, hits == 2 || hits == 6, hits % 3 == 1 ? 1.0f : 2.0f);
            hits++;
        } else if (n % 3 == 1) {
            blue.push_back(_shotTo(_nose(b, f, 30 * k.k), dread.Hull(f + 10, 0.1f * (n % 7) - 0.3f, 0.7f), f, 140.0f));
        } else {
            float sx = (killed % 2 ? 0.35f : -0.35f) + 0.05f * (killed % 3), sy = 0.25f - 0.1f * (killed % 4);
            kbVec3 at = k.InView(f, sx, sy, 3000 + 400 * (killed % 3));
            kbVec3 v = kbVec3(sx > 0 ? -1.0f : 1.0f, 0.1f, 0.4f) * (14.0f * k.k);
            kbCurve path = [at, v, f](int t) { return at + v * (float)(t - f); };
            k.Blast(f, K_FIGHTER, at, killed == 3);
            if (!aLight || killed == 3) {
                _flyer(k, "RedFighter", false, path, "Escort" + std::to_string(killed + 1) + "Path", f);
                blue.push_back(_shot{f - 6, f, path(f - 6) + kbVec3(0, 180, 300) - v * 4.0f, at});
            }
            killed++;
        }
    }
    // The dreadnought burns: blasts walk along it while the camera passes.
    for (int i = 0; i < 11; i++) {
        int f = 250 + i * 22;
        k.Blast(f, i % 2 ? K_SPARK : K_HULL, dread.Hull(f, -0.8f + 0.16f * i, ((i % 3) - 1) * 0.5f), i == 4 || i == 9,
                i % 2 ? 2.5f : 1.2f);
    }
    // The great blast, and the hull coming apart behind it.
    k.Blast(great, K_GREAT, dread.Hull(great, 0, 0), true, 1.3f);
    k.Blast(great, K_RING, dread.Hull(great, -0.2f, 0), true, 1.3f);
    const int late[8] = {507, 509, 512, 515, 519, 523, 528, 534};
    const float along[8] = {0.6f, -0.7f, 0.3f, -0.4f, 0.85f, -0.9f, 0.1f, 0.5f};
    for (int i = 0; i < 8; i++)
        k.Blast(late[i], i % 2 ? K_SPARK : K_HULL, dread.Hull(late[i], along[i], (i % 2) - 0.5f), i == 2 || i == 5, i % 2 ? 3.0f : 1.6f);
    _wreck(k, dread, great + 1, aLight ? 6 : 12, 1801);
    _shots(k, "Bolt", true, blue);
    _finish(k, 1600);
    std::stable_sort(k.out.blasts.begin(), k.out.blasts.end(), [](const dsbBlast &a, const dsbBlast &b) { return a.frame < b.frame; });
    return k.out;
}

// Pose of one shape at a frame from its keys.
void _pose(const kbShape &aShape, int aFrame, kbVec3 *aT, kbVec3 *aA, kbVec3 *aS)
{
    const _sceneShapeDef &d = aShape.def;
    *aT = kbVec3(d.trans.vx, d.trans.vy, d.trans.vz);
    *aA = kbVec3(d.angle.vx, d.angle.vy, d.angle.vz);
    *aS = kbVec3(d.scale.vx, d.scale.vy, d.scale.vz);
    const kbMotion &m = aShape.motion;
    if (m.runs.empty())
        return;
    int t = 0, a = 0, s = 0, f = 0;
    for (const _sceneIndexDef &r : m.runs)
        for (int i = 0; i < r.length && f <= aFrame; i++, f++)
            t += r.trans, a += r.angle, s += r.scale;
    if (!m.transKeys.empty()) {
        const _sceneVectorDef &v = m.transKeys[std::min(t, (int)m.transKeys.size() - 1)];
        *aT = kbVec3(v.vx, v.vy, v.vz);
    }
    if (!m.angleKeys.empty()) {
        const _sceneVectorDef &v = m.angleKeys[std::min(a, (int)m.angleKeys.size() - 1)];
        *aA = kbVec3(v.vx, v.vy, v.vz);
    }
    if (!m.scaleKeys.empty()) {
        const _sceneVectorDef &v = m.scaleKeys[std::min(s, (int)m.scaleKeys.size() - 1)];
        *aS = kbVec3(v.vx, v.vy, v.vz);
    }
}

}  // namespace

kbVec3 dsbShapeWorld(const kbScene &aScene, int aShape, int aFrame, kbVec3 aLocal)
{
    kbVec3 p = aLocal;
    for (int i = aShape, depth = 0; i >= 0 && i < (int)aScene.shapes.size() && depth < 64; depth++) {
        kbVec3 t, a, s;
        _pose(aScene.shapes[i], aFrame, &t, &a, &s);
        p = kbRotate(kbVec3(p.x * s.x, p.y * s.y, p.z * s.z), a) + t;
        i = aScene.shapes[i].def.parentShapeNum;
    }
    return p;
}

void dsbCamera(const kbScene &aScene, int aFrame, kbVec3 *aEyeP, kbVec3 *aLookP)
{
    const kbCamera &cam = aScene.cameras.back();
    kbShape probe;
    probe.def.trans = cam.def.trans;
    probe.def.scale = {1, 1, 1};
    probe.motion = cam.motion;
    kbVec3 a, s;
    _pose(probe, aFrame, aEyeP, &a, &s);
    *aLookP = cam.def.targetShapeNum >= 0 ? dsbShapeWorld(aScene, cam.def.targetShapeNum, aFrame)
                                          : kbVec3(cam.def.lookAt.vx, cam.def.lookAt.vy, cam.def.lookAt.vz);
}

bool dsbProject(const kbScene &aScene, int aFrame, kbVec3 aWorld, float *aXP, float *aYP)
{
    kbVec3 eye, look;
    dsbCamera(aScene, aFrame, &eye, &look);
    const kbCamera &cam = aScene.cameras.back();
    kbVec3 fwd = kbNormalize(look - eye), right = kbNormalize(kbCross(kbVec3(0, 1, 0), fwd)), up = kbCross(fwd, right);
    kbVec3 d = aWorld - eye;
    float z = kbDot(d, fwd);
    if (z <= aScene.def.nearDist)
        return false;
    float ys = 1.0f / std::tan(cam.def.fovAngle / 2), xs = ys * 480.0f / 640.0f;
    *aXP = (kbDot(d, right) * xs / z * 0.5f + 0.5f) * 640.0f;
    *aYP = (0.5f - kbDot(d, up) * ys / z * 0.5f) * 480.0f;
    return true;
}

dsbBuilt dsbScene(int aScene, bool aLight)
{
    switch (aScene) {
    case 13: return _scene13(aLight);
    case 14: return _scene14(aLight);
    case 15: return _scene15();
    case 16: return _scene16(aLight);
    case 17: return _scene17(aLight);
    default: return _scene18(aLight);
    }
}

void ctDemoSpaceBattle(std::vector<ctScene> *aOutP)
{
    for (int n = 13; n <= 18; n++) {
        aOutP->push_back(dsbScene(n, false).scene);
        if (n != 15)
            aOutP->push_back(dsbScene(n, true).scene);
    }
}
