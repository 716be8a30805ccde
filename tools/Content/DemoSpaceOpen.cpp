// The space part opens: the fleet launches over its home world (06), warps in (07), cruises past a
// ringed giant (08), crosses an ion storm (09), jumps to warp (11) and arrives before a galaxy
// (12). The battle between them is Game3's (10; its Light copy is l07). Every scene is made from
// one function with a quality switch, so the Light packages tell the same story with less.

#include <algorithm>
#include <cmath>
#include <functional>

#include "Content.h"

namespace {

const float _pi = 3.14159265358979f;

struct _quality {
    bool light;
    int ship, cruiser, rock, sky;  // slices of the round parts
    uint32_t big, mid, small;      // picture sizes
};

_quality _qualityOf(bool aLight)
{
    if (aLight)
        return {true, 4, 6, 4, 14, 256, 256, 128};
    return {false, 8, 12, 6, 32, 1024, 512, 256};
}

float _clamp01(float t) { return std::max(0.0f, std::min(1.0f, t)); }
float _smooth(float t)
{
    t = _clamp01(t);
    return t * t * (3 - 2 * t);
}

// Pictures are made once per run and size: several scenes share them.
const kbImage &_picture(const std::string &aKey, const std::function<kbImage()> &aMake)
{
    static std::map<std::string, kbImage> cache;
    auto it = cache.find(aKey);
    if (it == cache.end())
        it = cache.emplace(aKey, aMake()).first;
    return it->second;
}

std::string _add(ctTextures *aTxP, const std::string &aName, uint32_t aSize, const std::function<kbImage()> &aMake)
{
    return aTxP->Add(aName, _picture(aName + "@" + std::to_string(aSize), aMake));
}

// The battle's looks: same names and, in FullSpec, the same pictures as Game3, so 04.ksf holds them once.
std::string _hullTex(ctTextures *aTxP, const _quality &q)
{
    uint32_t s = std::min(q.big, 1024u);
    return _add(aTxP, "g3_hull_a.bmp", s, [s] { return kbTexHull(s, 0x8A9098, 301); });
}
std::string _lightsTex(ctTextures *aTxP, const _quality &q)
{
    uint32_t s = q.mid;
    return _add(aTxP, "g3_lights_a.bmp", s, [s] { return kbTexLights(s, 0xFFE8A0, 303); });
}
std::string _blueTex(ctTextures *aTxP, const _quality &q)
{
    uint32_t s = q.mid;
    return _add(aTxP, "g3_fighter_blue.bmp", s, [s] { return kbTexHull(s, 0x5070A8, 305); });
}
std::string _glowTex(ctTextures *aTxP, const _quality &q)
{
    uint32_t s = q.small;
    return _add(aTxP, "g3_glow.bmp", s, [s] { return kbPictureGlow(s, s, 0x80C0FFFF); });
}
std::string _rockTex(ctTextures *aTxP, const _quality &q)
{
    uint32_t s = q.small;
    return _add(aTxP, "g3_rock.bmp", s, [s] { return kbTexStone(s, 0x706660, 308); });
}

// The home world: oceans, grey-green land, cloud bands and ice caps, wrapped round a sphere.
kbImage _worldMap(uint32_t aW, uint32_t aH)
{
    kbImage img = kbImageMake(aW, aH);
    for (uint32_t y = 0; y < aH; y++)
        for (uint32_t x = 0; x < aW; x++) {
            float u = (x + 0.5f) / aW, v = (y + 0.5f) / aH;
            float lat = std::fabs(v - 0.5f) * 2;
            float land = kbFbm(u, v, 5, 5, 611);
            // Shores and ice edges fade over a few texels: a hard edge shows its texel steps as
            // straight segments when the camera skims the surface.
            uint32_t c = kbMixColor(kbMixColor(0x123A78FF, 0x2A64A8FF, _clamp01(land * 1.8f)),
                                    kbMixColor(0x5C6A4CFF, 0x8A7A5CFF, _clamp01((land - 0.56f) * 5)),
                                    _clamp01((land - 0.545f) / 0.03f));
            float cloud = kbFbm(u * 2, v, 8, 5, 612);
            float band = 0.5f + 0.5f * std::sin(v * 40 + kbFbm(u, v, 4, 3, 613) * 6);
            float k = _clamp01((cloud - 0.45f) * 3.0f) * (0.55f + 0.45f * band);
            c = kbMixColor(c, 0xF4F6FFFF, k * 0.85f);
            c = kbMixColor(c, 0xEEF4FFFF, 0.9f * _clamp01((lat - 0.82f - 0.06f * kbNoise(u, v, 12, 614)) / 0.03f));
            img.pixels[y * aW + x] = c;
        }
    return img;
}

// The ringed giant: soft bands of ochre and cream.
kbImage _giantMap(uint32_t aW, uint32_t aH)
{
    kbImage img = kbImageMake(aW, aH);
    for (uint32_t y = 0; y < aH; y++)
        for (uint32_t x = 0; x < aW; x++) {
            float u = (x + 0.5f) / aW, v = (y + 0.5f) / aH;
            float swirl = kbFbm(u, v, 6, 4, 621) * 0.08f;
            float b = 0.5f + 0.5f * std::sin((v + swirl) * 60) * std::cos((v + swirl) * 17);
            uint32_t c = kbMixColor(0x9A6A48FF, 0xE8D8B8FF, b);
            c = kbMixColor(c, 0x6A4030FF, _clamp01((kbFbm(u * 3, v, 8, 4, 622) - 0.6f) * 3));
            img.pixels[y * aW + x] = c;
        }
    return img;
}

std::string _worldTex(ctTextures *aTxP, const _quality &q)
{
    uint32_t w = q.light ? 256 : 1024;
    return _add(aTxP, "d06_world.bmp", w, [w] { return _worldMap(w, w / 2); });
}
std::string _starsTex(ctTextures *aTxP, const _quality &q)
{
    uint32_t s = q.light ? 256 : 512;
    return _add(aTxP, "d06_stars.bmp", s, [s] { return kbTexStars(s, 631); });
}

// Sky, planets and flares.

// A star sphere that rides with the eye, far inside the far plane: only for the scenes that draw no
// star field of their own.
void _addSky(kbScene *aSceneP, ctTextures *aTxP, const _quality &q, const kbCurve &aEye)
{
    kbMesh m = kbMeshSphere(9000, q.sky, q.sky / 2 + 2);
    // Tiled so the stars stay small on screen.
    for (_vertexDef &v : m.vertices)
        v.u0 *= q.light ? 12 : 6, v.v0 *= q.light ? 6 : 3;
    kbSurface s = kbSurfaceOf(m, 0x000000, _starsTex(aTxP, q));
    s.emissive = kbColor(0xFFFFFF);
    s.twoSided = true;
    kbAddShape(aSceneP, "StarSky", kbBodyOf({s}), -1, aEye);
}

// A flat glow facing the eye: warp flashes, engine flares, a planet's air.
std::shared_ptr<kbShapeBody> _flareBody(const std::string &aTex, uint32_t aRgb)
{
    kbMesh quad = kbMeshPlane(1, 1, 1, 1);
    kbMeshTransform(&quad, kbVec3(), kbVec3(_pi / 2, 0, 0));
    kbSurface s = kbSurfaceOf(quad, 0x000000, aTex);
    s.emissive = kbColor(aRgb);
    s.twoSided = true;
    s.blend = 1;
    return kbBodyOf({s});
}

int _addFlare(kbScene *aSceneP, const std::string &aName, std::shared_ptr<kbShapeBody> aBody, const kbCurve &aPos,
              const std::function<float(int)> &aSize, const kbCurve &aEye)
{
    int n = kbAddShape(aSceneP, aName, aBody, -1, aPos, [aPos, aEye](int f) { return kbAimAngles(aEye(f) - aPos(f)); },
                       [aSize](int f) {
                           float s = std::max(0.01f, aSize(f));
                           return kbVec3(s, s, s);
                       });
    std::vector<float> d(aSceneP->def.frameCnt);
    for (int f = 0; f < (int)d.size(); f++)
        d[f] = aSize(f) > 0.02f ? 0.0f : 1.0f;
    aSceneP->shapes[n].dissolve = d;
    return n;
}

// A long glowing wake: two crossed strips along -Z of unit length, stretched by the shape's scale.
std::shared_ptr<kbShapeBody> _trailBody(const std::string &aTex, uint32_t aRgb)
{
    kbMesh a = kbMeshPlane(1, 1, 1, 1);
    kbMeshTransform(&a, kbVec3(0, 0, -0.5f));
    kbMesh b = a;
    kbMeshTransform(&b, kbVec3(), kbVec3(0, 0, _pi / 2));
    kbMeshAppend(&a, b);
    kbSurface s = kbSurfaceOf(a, 0x000000, aTex);
    s.emissive = kbColor(aRgb);
    s.twoSided = true;
    s.blend = 1;
    return kbBodyOf({s});
}

void _addPlanet(kbScene *aSceneP, ctTextures *aTxP, const _quality &q, kbVec3 aCentre, float aRadius)
{
    // The camera skims the home world: Light's sky detail would show the limb as straight runs.
    const int slices = q.light ? 48 : q.sky * 2;
    kbSurface globe = kbSurfaceOf(kbMeshSphere(aRadius, slices, slices / 2), 0xFFFFFF, _worldTex(aTxP, q));
    // The air: a thin additive shell, a blue haze over the disc and a bright band at the limb.
    kbSurface air = kbSurfaceOf(kbMeshSphere(aRadius * 1.015f, slices, slices / 2), 0x000000);
    air.emissive = kbColor(0x182a4a);
    air.blend = 1;
    kbAddShape(aSceneP, "HomeWorld", kbBodyOf({globe, air}), -1, kbConstant(aCentre),
               [](int f) { return kbVec3(0.25f, 1.0f + f * 0.0004f, 0.0f); });
}

void _addGiant(kbScene *aSceneP, ctTextures *aTxP, const _quality &q, kbVec3 aCentre, float aRadius)
{
    uint32_t w = q.light ? 256 : 512;
    std::string tex = _add(aTxP, "d08_giant.bmp", w, [w] { return _giantMap(w, w / 2); });
    kbSurface globe = kbSurfaceOf(kbMeshSphere(aRadius, q.sky * 3 / 2, q.sky * 3 / 4), 0xFFFFFF, tex);
    kbMesh ring = kbMeshLathe({{aRadius * 1.45f, 0}, {aRadius * 1.9f, 0}, {aRadius * 2.15f, 0}}, q.sky * 2);
    kbSurface ringS = kbSurfaceOf(ring, 0xA08868);
    ringS.twoSided = true;
    ringS.blend = 2;
    ringS.diffuse.a = 0.55f;
    kbAddShape(aSceneP, "RingedGiant", kbBodyOf({globe, ringS}), -1, kbConstant(aCentre),
               [](int f) { return kbVec3(0.42f, f * 0.0008f, 0.22f); });
}

// Cold space: one hard sun and a dim blue fill.
void _addLights(kbScene *aSceneP, kbVec3 aSun)
{
    kbAddLight(aSceneP, kbLightDirectional(aSun, 0xFFF6EA, 1.15f));
    kbAddLight(aSceneP, kbLightDirectional(aSun * -1 + kbVec3(0, 0.6f, 0), 0x284070, 0.35f));
}

// aLength 22 beside the 600 of the flagship; the wide shots that hold the whole fleet take a
// larger escort, or the fighters shrink to specks.
std::shared_ptr<kbShapeBody> _fighter(ctTextures *aTxP, const _quality &q, float aLength = 22)
{
    return ctShipBody(aLength, q.ship, 0xB0C0E0, _blueTex(aTxP, q), _glowTex(aTxP, q));
}

std::shared_ptr<kbShapeBody> _flagship(ctTextures *aTxP, const _quality &q)
{
    return ctCruiserBody(600, q.cruiser, _hullTex(aTxP, q), _lightsTex(aTxP, q));
}

// Cuts between shots: the curve of the shot whose start frame is the last one not after f.
kbCurve _shots(std::vector<std::pair<int, kbCurve>> aShots)
{
    return [aShots](int f) {
        size_t i = 0;
        while (i + 1 < aShots.size() && f >= aShots[i + 1].first)
            i++;
        return aShots[i].second(f);
    };
}

// Every FullSpec scene of this part packs its pictures with the battle's in 04.ksf; each Light
// scene has a package of its own.
ctScene _begin(const char *aFull, const char *aLight, bool aLightQ, int aFrames, const char *aLightPackage)
{
    ctScene out = ctSceneOf(aLightQ, aFull, aLight, "04.ksf", aLightPackage);
    kbSceneBegin(&out.scene, aFrames, 2.0f, 12000.0f, 0x000000, 0x404858, 0.3f);
    return out;
}

// The camera, the sun from aSun with its fill, and the counts.
void _finish(kbScene *aSceneP, const kbCurve &aEye, const kbCurve &aLook, float aFov, kbVec3 aSun)
{
    kbAddCamera(aSceneP, aEye, aLook, aFov);
    _addLights(aSceneP, aSun);
    kbSceneCount(aSceneP);
}

// 06: the flagship glides over the home world and its fighters drop out of the hangar under its
// belly, pair by pair, and form up ahead of it.
ctScene _launch(bool aLight)
{
    _quality q = _qualityOf(aLight);
    const int frames = 330;
    ctScene out = _begin("06", "l03", aLight, frames, "l07.ksf");
    kbScene &sc = out.scene;
    ctTextures &tx = out.textures;

    kbCurve carrier = [](int f) { return kbVec3(0, 0, -200 + f * 0.8f); };
    // Fighters: three pairs resting in the bay, launched one pair after another.
    auto lead = [carrier](int aI) {
        int pair = aI / 2;
        float side = aI % 2 ? 1.0f : -1.0f;
        int at = 60 + 40 * pair + (aI % 2) * 6;
        kbVec3 rest(side * 13, -31, 95 - 35 * pair);
        kbVec3 slot(side * (25 + 30 * pair), -20 - 15 * pair, 0);
        return [=](int f) {
            float s = (float)(f - at);
            float dz = s <= 0 ? 0 : s < 60 ? 0.035f * s * s : 126 + 4.2f * (s - 60);
            kbVec3 p = rest + kbVec3(0, -12 * _smooth(s / 50), dz) + kbVec3(slot.x - rest.x, slot.y, 0) * _smooth((s - 30) / 80);
            return carrier(f) + p;
        };
    };
    kbCurve eye = _shots({
        {0, [](int f) { return kbVec3(-540, 70, -100 + f * 0.5f); }},
        {110, [carrier](int f) { return carrier(f) + kbVec3(-110, -70, 230 + (f - 110) * 0.3f); }},
        {210, [lead](int f) { return lead(0)(f) + kbVec3(-26 + (f - 210) * 0.1f, 14, -55 - (f - 210) * 0.2f); }},
    });
    kbCurve look = _shots({
        {0, [carrier](int f) { return carrier(f) + kbVec3(0, -70, 40); }},
        {110, [carrier](int f) { return carrier(f) + kbVec3(0, -32, 70); }},
        {210, [lead](int f) { return lead(0)(f) + kbVec3(30, -60, 400); }},
    });

    _addSky(&sc, &tx, q, eye);
    _addPlanet(&sc, &tx, q, kbVec3(0, -8600, 600), 8000);

    int flag = kbAddShape(&sc, "Flagship", _flagship(&tx, q), -1, carrier);
    // The hangar: an open box under the hull, lit inside, its mouth forward.
    {
        uint32_t s = q.light ? 128 : 256;
        std::string deck = _add(&tx, "d06_deck.bmp", s, [s] { return kbTexMetal(s, 0x5A6068, 641); });
        kbMesh shell;
        for (kbVec3 box : {kbVec3(0, -20, 40), kbVec3(0, -42, 40)}) {
            kbMesh m = kbMeshBox(kbVec3(66, 4, 160), 2);
            kbMeshTransform(&m, box);
            kbMeshAppend(&shell, m);
        }
        for (float x : {-32.0f, 32.0f}) {
            kbMesh m = kbMeshBox(kbVec3(3, 22, 160), 2);
            kbMeshTransform(&m, kbVec3(x, -31, 40));
            kbMeshAppend(&shell, m);
        }
        kbSurface shellS = kbSurfaceOf(shell, 0x9098A0, deck);
        shellS.emissive = kbColor(0x1A1A20);
        kbMesh back = kbMeshBox(kbVec3(60, 18, 2), 1);
        kbMeshTransform(&back, kbVec3(0, -31, -39));
        kbMesh strips;
        for (float x : {-20.0f, 0.0f, 20.0f}) {
            kbMesh m = kbMeshBox(kbVec3(2.5f, 0.6f, 150), 1);
            kbMeshTransform(&m, kbVec3(x, -22.4f, 40));
            kbMeshAppend(&strips, m);
        }
        kbMeshAppend(&back, strips);
        kbSurface lamps = kbSurfaceOf(back, 0xFFE8C0, _lightsTex(&tx, q));
        lamps.emissive = kbColor(0xC0B090);
        kbAddShape(&sc, "HangarBay", kbBodyOf({shellS, lamps}), flag, kbConstant(kbVec3()));
        // Status and radar screens under the mouth, beacons at its corners.
        ctAddBayScreens(&out, flag, kbVec3(0, -53, 121));
        ctAddBayBeacons(&out, flag, {kbVec3(-34, -17, 121.5f), kbVec3(34, -17, 121.5f), kbVec3(-34, -45, 121.5f),
                                     kbVec3(34, -45, 121.5f)}, 22, q.light ? 64 : 128);
    }
    auto fighter = _fighter(&tx, q);
    for (int i = 0; i < 6; i++)
        ctAddFlyer(&sc, "BlueFighter", fighter, lead(i), 4.0f, "Blue" + std::to_string(i + 1) + "Path");

    _finish(&sc, eye, look, 1.0f, kbVec3(0.65f, -0.45f, -0.35f));
    return out;
}

// Arrival out of warp: a rip of light, then the ship shoots out of it and brakes into its slot.
struct _arrival {
    kbCurve slot;   // where the ship cruises after arriving
    int at;         // frame of the flash
    float reach;    // how far behind the slot it comes out
    float stretch;  // hull stretch at the flash
};

kbVec3 _arrivalPos(const _arrival &a, int f)
{
    float s = (float)(f - a.at);
    return a.slot(f) - kbVec3(0, 0, a.reach * std::exp(-std::max(0.0f, s) / 2.2f));
}

void _addArrival(kbScene *aSceneP, const std::string &aName, std::shared_ptr<kbShapeBody> aBody, const _arrival &a,
                 std::shared_ptr<kbShapeBody> aFlash, std::shared_ptr<kbShapeBody> aTrail, float aFlashSize,
                 float aTrailWidth, const kbCurve &aEye)
{
    int frames = aSceneP->def.frameCnt;
    int n = kbAddShape(aSceneP, aName, aBody, -1, [a](int f) { return _arrivalPos(a, f); }, kbConstant(kbVec3()),
                       [a](int f) {
                           float s = std::max(0.0f, (float)(f - a.at));
                           return kbVec3(1, 1, 1 + a.stretch * std::exp(-s / 1.5f));
                       });
    aSceneP->shapes[n].dissolve = kbDissolveWindow(frames, a.at, frames);
    kbVec3 rip = _arrivalPos(a, a.at);
    _addFlare(aSceneP, "WarpFlash", aFlash, kbConstant(rip), [a, aFlashSize](int f) {
        float s = (float)(f - a.at);
        return s < 0 ? 0.0f : s < 2 ? aFlashSize * (0.5f + s / 4) : s > 22 ? 0.0f : aFlashSize * std::exp(-(s - 2) / 5);
    }, aEye);
    int t = kbAddShape(aSceneP, "WarpTrail", aTrail, -1, [a](int f) { return _arrivalPos(a, f); }, kbConstant(kbVec3()),
                       [a, aTrailWidth](int f) {
                           float s = std::max(0.0f, (float)(f - a.at));
                           return kbVec3(aTrailWidth, aTrailWidth, std::max(0.01f, a.reach * 0.9f * std::exp(-s / 3.0f)));
                       });
    aSceneP->shapes[t].dissolve = kbDissolveWindow(frames, a.at, a.at + 12);
}

// 07: three warp-ins over the home world: two fighter pairs, then the flagship.
ctScene _warpIn(bool aLight)
{
    _quality q = _qualityOf(aLight);
    const int frames = 180;
    ctScene out = _begin("07", "l04", aLight, frames, "l08.ksf");
    kbScene &sc = out.scene;
    ctTextures &tx = out.textures;

    kbCurve leader = [](int f) { return kbVec3(0, 0, 1.5f * (f - 80)); };
    kbSpline eyeKeys{{0, kbVec3(-300, 70, 150)}, {75, kbVec3(-260, 50, 120)}, {130, kbVec3(-200, 30, 200)},
                     {179, kbVec3(-150, 20, 300)}};
    kbCurve eye = kbCurveOf(eyeKeys);
    kbCurve look = [leader](int f) {
        return kbLerp(kbVec3(0, -10, -250), leader(f) + kbVec3(0, -10, 60), _smooth((f - 76) / 30.0f));
    };
    _addSky(&sc, &tx, q, eye);
    _addPlanet(&sc, &tx, q, kbVec3(5200, -3200, -3000), 2600);

    auto flash = _flareBody(_glowTex(&tx, q), 0xC0E0FF);
    auto trail = _trailBody(_glowTex(&tx, q), 0x80B0FF);
    auto fighter = _fighter(&tx, q);
    const kbVec3 slots[4] = {kbVec3(-25, 8, 40), kbVec3(25, 8, 40), kbVec3(-62, 0, 8), kbVec3(62, 0, 8)};
    for (int i = 0; i < 4; i++) {
        kbVec3 o = slots[i];
        _arrival a{[leader, o, i](int f) { return leader(f) + o + kbVec3(0, 2 * std::sin(f / 20.0f + i), 0); }, i < 2 ? 75 : 77,
                   420, 9};
        _addArrival(&sc, "BlueFighter", fighter, a, flash, trail, 70, 5, eye);
    }
    _arrival big{[leader](int f) { return leader(f) + kbVec3(0, -45, -340); }, 79, 900, 3};
    _addArrival(&sc, "Flagship", _flagship(&tx, q), big, flash, trail, 420, 22, eye);

    _finish(&sc, eye, look, 1.0f, kbVec3(-0.55f, -0.4f, -0.7f));
    return out;
}

// 08: the fleet cruises past the ringed giant, through the rocks of its outer belt.
ctScene _cruise(bool aLight)
{
    _quality q = _qualityOf(aLight);
    const int frames = 300;
    ctScene out = _begin("08", "l05", aLight, frames, "l09.ksf");
    kbScene &sc = out.scene;
    ctTextures &tx = out.textures;

    kbCurve flag = [](int f) { return kbVec3(0, 0, -200 + 2.0f * f); };
    kbCurve eye = _shots({
        {0, [flag](int f) { return flag(f) + kbVec3(-560, 150, 300 - 1.5f * f); }},
        {150, [flag](int f) { return kbVec3(70, -150, flag(150).z + 430 + 0.2f * (f - 150)); }},
    });
    kbCurve look = _shots({
        {0, [flag](int f) { return flag(f) + kbVec3(200, 20, 60 - 1.0f * f); }},
        {150, [flag](int f) { return flag(f) + kbVec3(0, 0, 200); }},
    });
    _addSky(&sc, &tx, q, eye);
    _addGiant(&sc, &tx, q, kbVec3(6200, 1500, 1400), 1700);

    int fl = kbAddShape(&sc, "Flagship", _flagship(&tx, q), -1, flag, [](int f) { return kbVec3(0, 0, 0.03f * std::sin(f / 70.0f)); });
    (void)fl;
    auto fighter = _fighter(&tx, q, 40);
    const kbVec3 slots[6] = {kbVec3(-95, 45, 210), kbVec3(95, 45, 210), kbVec3(-150, 20, 60),
                             kbVec3(150, 20, 60), kbVec3(-120, -35, -130), kbVec3(120, -35, -130)};
    for (int i = 0; i < 6; i++) {
        kbVec3 o = slots[i];
        ctAddFlyer(&sc, "BlueFighter", fighter, [flag, o, i](int f) {
            return flag(f) + o + kbVec3(6 * std::sin(f / 45.0f + i), 4 * std::sin(f / 33.0f + 2 * i), 0);
        }, 6.0f, "Blue" + std::to_string(i + 1) + "Path");
    }
    // The belt: two rock shapes reused at many sizes, tumbling slowly along the way.
    auto rockA = ctAsteroidBody(30, q.rock, 801, _rockTex(&tx, q));
    auto rockB = ctAsteroidBody(24, q.rock, 802, _rockTex(&tx, q));
    kbRandom rnd(808);
    int count = aLight ? 12 : 24;
    for (int i = 0; i < count; i++) {
        float x = (float)rnd.Below(1400) - 700, y = (float)rnd.Below(500) - 300, z = (float)rnd.Below(1400) - 100;
        if (std::fabs(x) < 220 && y > -120)
            x += x < 0 ? -260 : 260;
        float sz = 0.6f + rnd.Below(100) / 50.0f;
        float spin = 0.004f + rnd.Below(100) * 0.0001f;
        kbVec3 p0(x, y, z), drift(((float)rnd.Below(100) - 50) * 0.004f, ((float)rnd.Below(100) - 50) * 0.003f, -0.3f);
        // None may drift into the lens.
        bool clear = true;
        for (int f = 0; f < frames; f += 10)
            clear = clear && kbLength(p0 + drift * (float)f - eye(f)) > 200 * sz;
        if (!clear)
            continue;
        kbAddShape(&sc, i % 2 ? "BeltRock" : "BeltBoulder", i % 2 ? rockA : rockB, -1,
                   [p0, drift](int f) { return p0 + drift * (float)f; },
                   [spin, i](int f) { return kbVec3(f * spin, f * spin * 0.7f + i, 0); }, kbConstant(kbVec3(sz, sz, sz)));
    }

    _finish(&sc, eye, look, 1.0f, kbVec3(0.6f, 0.35f, -0.55f));
    return out;
}

// 09: an ion storm among charged rocks. Bolts jump from rock to rock and catch a fighter crossing
// the cluster; the camera circles close, so every bolt is 20-200 units from the eye.
ctScene _storm(bool aLight)
{
    _quality q = _qualityOf(aLight);
    const int frames = 240;
    ctScene out = _begin("09", "l06", aLight, frames, "l10.ksf");
    kbScene &sc = out.scene;
    ctTextures &tx = out.textures;

    kbCurve eye = [](int f) {
        float a = -0.95f + f * 0.0034f;
        return kbVec3(135 * std::sin(a), 30 + 10 * std::sin(f / 60.0f), -135 * std::cos(a));
    };
    kbCurve look = [](int f) { return kbVec3(4 + 10 * std::sin(f / 90.0f), -2, 6); };
    _addSky(&sc, &tx, q, eye);
    // The storm's glow: a violet nebula hung far behind the cluster.
    {
        uint32_t s = q.light ? 256 : 512;
        std::string neb = _add(&tx, "d09_nebula.bmp", s, [s] { return kbTexNebula(s, 0xA040C0, 651); });
        auto cloud = _flareBody(neb, 0xFFFFFF);
        kbVec3 at = kbVec3(2600, 300, 7400);
        _addFlare(&sc, "StormCloud", cloud, kbConstant(at), [](int) { return 9000.0f; }, eye);
    }

    std::string rockT = _rockTex(&tx, q);
    struct _rock {
        kbVec3 p;
        float r;
        uint32_t seed;
    };
    const _rock rocks[4] = {{kbVec3(-45, 8, 10), 24, 901}, {kbVec3(40, -6, 25), 28, 902}, {kbVec3(0, 32, -30), 18, 903},
                            {kbVec3(10, -38, -20), 16, 904}};
    int rockShape[4];
    for (int i = 0; i < 4; i++) {
        kbVec3 p = rocks[i].p;
        auto body = ctAsteroidBody(rocks[i].r, q.rock, rocks[i].seed, rockT);
        rockShape[i] = kbAddShape(&sc, "StormRock" + std::to_string(i + 1), body, -1,
                                  [p, i](int f) { return p + kbVec3(0, 2 * std::sin(f / 40.0f + i), 0); },
                                  [i](int f) { return kbVec3(f * 0.0008f * (i + 1), f * 0.0012f, 0); });
    }
    // Far rocks for depth.
    auto farRock = ctAsteroidBody(40, q.rock, 905, rockT);
    for (int i = 0; i < (aLight ? 3 : 6); i++) {
        kbVec3 p(-500 + i * 210.0f, -120 + (i % 3) * 110.0f, 420 + (i * 137 % 300));
        kbAddShape(&sc, "FarRock", farRock, -1, kbConstant(p), [i](int f) { return kbVec3(f * 0.002f, i + f * 0.001f, 0); });
    }

    // Three fighters thread the cluster; the second is struck and rolls away.
    auto fighter = _fighter(&tx, q);
    std::vector<kbCurve> paths;
    const int starts[3] = {14, 4, 30};
    for (int i = 0; i < 3; i++) {
        kbVec3 o(-30 + 34.0f * i, 18 - 6.0f * i, 0);
        int start = starts[i];
        paths.push_back([o, start, i](int f) {
            float s = (float)(f - start);
            kbVec3 p = o + kbVec3(0, 0, -260 + 2.4f * s);
            if (i == 1)
                p = p + kbVec3(30 * _smooth((s - 122) / 30), 16 * _smooth((s - 122) / 40), 0);
            return p;
        });
        ctAddFlyer(&sc, "BlueFighter", fighter, paths.back(), i == 1 ? 14.0f : 5.0f, "Blue" + std::to_string(i + 1) + "Path");
    }

    // The bolts: locators on the rocks' faces toward each other, and one on the struck fighter.
    auto face = [&](int aFrom, int aTo) {
        kbVec3 d = kbNormalize(rocks[aTo].p - rocks[aFrom].p);
        return d * (rocks[aFrom].r * 0.7f);
    };
    ctAddBolt(&sc, "01", rockShape[0], kbConstant(face(0, 1)), rockShape[1], kbConstant(face(1, 0)),
              ctBursts(frames, {{24, 44}, {70, 84}, {150, 175}, {205, 222}}));
    ctAddBolt(&sc, "02", rockShape[2], kbConstant(face(2, 3)), rockShape[3], kbConstant(face(3, 2)),
              ctBursts(frames, {{50, 62}, {95, 108}, {180, 196}}));
    // The struck fighter is the body shape under its path locator.
    int struck = -1;
    for (int i = 0; i < (int)sc.shapes.size(); i++)
        if (std::string(sc.shapes[i].def.name) == "Blue2Path")
            struck = i + 1;
    kbVec3 toFighter = kbNormalize(kbVec3(4, 12, 18) - rocks[1].p) * (rocks[1].r * 0.7f);
    ctAddBolt(&sc, "03", rockShape[1], kbConstant(toFighter), struck, kbConstant(kbVec3()), ctBursts(frames, {{112, 128}}));

    _finish(&sc, eye, look, 1.05f, kbVec3(0.5f, -0.5f, 0.7f));
    return out;
}

// A jump to warp: the engines flare, the hull stretches and the ship is gone down the view.
struct _jump {
    kbCurve cruise;  // before the jump
    int at;
    float stretch;
    float half;  // half the hull's length: the stern stays put while the hull stretches
};

float _jumpStretch(const _jump &j, int f)
{
    float s = std::max(0.0f, (float)(f - j.at));
    return 1 + std::min(j.stretch, 0.8f * s * s);
}

kbVec3 _jumpPos(const _jump &j, int f)
{
    float s = (float)(f - j.at);
    kbVec3 p = j.cruise(std::min(f, j.at));
    if (s > 0)
        p = p + kbVec3(0, 0, 14 * s * s + 2 * s + j.half * (_jumpStretch(j, f) - 1));
    else
        p = p + (j.cruise(f) - j.cruise(j.at));
    return p;
}

void _addJump(kbScene *aSceneP, const std::string &aName, std::shared_ptr<kbShapeBody> aBody, const _jump &j,
              std::shared_ptr<kbShapeBody> aFlare, std::shared_ptr<kbShapeBody> aFlash, float aFlashSize, float aTail,
              const kbCurve &aEye)
{
    int frames = aSceneP->def.frameCnt;
    int n = kbAddShape(aSceneP, aName, aBody, -1, [j](int f) { return _jumpPos(j, f); }, kbConstant(kbVec3()),
                       [j](int f) { return kbVec3(1, 1, _jumpStretch(j, f)); });
    aSceneP->shapes[n].dissolve = kbDissolveWindow(frames, 0, j.at + 16);
    // Engines charging, then the flash where the ship was.
    _addFlare(aSceneP, "EngineFlare", aFlare, [j, aTail](int f) { return _jumpPos(j, f) - kbVec3(0, 0, aTail); },
              [j, aFlashSize](int f) {
                  float s = (float)(f - (j.at - 25));
                  return f >= j.at + 3 ? 0.0f : aFlashSize * 0.35f * _smooth(s / 25);
              },
              aEye);
    kbVec3 rip = _jumpPos(j, j.at);
    _addFlare(aSceneP, "WarpFlash", aFlash, kbConstant(rip), [j, aFlashSize](int f) {
        float s = (float)(f - j.at);
        return s < 0 ? 0.0f : s < 2 ? aFlashSize * (0.6f + s / 5) : s > 24 ? 0.0f : aFlashSize * std::exp(-(s - 2) / 6);
    }, aEye);
}

// 11: the fleet jumps: the flagship at 40, the fighter pairs at 42 and 44. Nothing else is in the
// sky: the streaking stars are drawn behind the scene.
ctScene _jumpOut(bool aLight)
{
    _quality q = _qualityOf(aLight);
    const int frames = 150;
    ctScene out = _begin("11", "l08", aLight, frames, "l12.ksf");
    kbScene &sc = out.scene;
    ctTextures &tx = out.textures;

    kbCurve eye = [](int f) { return kbVec3(-20, 40, -80 + 1.6f * std::min(f, 40) + 1.0f * std::max(0, f - 40)); };
    kbCurve look = [eye](int f) { return eye(f) + kbVec3(30, -35, 1000); };
    auto flash = _flareBody(_glowTex(&tx, q), 0xC8E0FF);
    auto flare = _flareBody(_glowTex(&tx, q), 0xFFC090);
    auto fighter = _fighter(&tx, q);
    _addJump(&sc, "Flagship", _flagship(&tx, q), {[](int f) { return kbVec3(60, -50, 700 + 1.0f * f); }, 40, 12, 300}, flare,
             flash, 420, 330, eye);
    const kbVec3 slots[4] = {kbVec3(-35, 18, 150), kbVec3(35, 18, 150), kbVec3(-65, -12, 100), kbVec3(65, -12, 100)};
    for (int i = 0; i < 4; i++) {
        kbVec3 o = slots[i];
        _addJump(&sc, "BlueFighter", fighter,
                 {[o, i](int f) { return o + kbVec3(0, 2 * std::sin(f / 15.0f + i), 1.0f * f); }, i < 2 ? 42 : 44, 20, 11}, flare,
                 flash, 60, 12, eye);
    }
    _finish(&sc, eye, look, 1.0f, kbVec3(0.5f, -0.55f, 0.65f));
    return out;
}

// 12: out of warp before a galaxy. The camera starts on the flagship's bow and swings round behind
// the fleet to look where it is heading; the galaxy is drawn behind, so the sky stays empty.
ctScene _vista(bool aLight)
{
    _quality q = _qualityOf(aLight);
    const int frames = 300;
    ctScene out = _begin("12", "l09", aLight, frames, "l13.ksf");
    kbScene &sc = out.scene;
    ctTextures &tx = out.textures;

    kbCurve flag = [](int f) { return kbVec3(0, 0, 1.2f * f); };
    // From ahead of the bow round to above the port quarter, looking down across the hull: the
    // turn carries the galaxy from the left of the view to behind the flagship.
    kbSpline eyeAt{{0, kbVec3(-250, 60, 420)}, {120, kbVec3(-420, 120, 160)}, {270, kbVec3(-420, 220, -150)}};
    kbSpline lookAt{{0, kbVec3(0, 0, 100)}, {120, kbVec3(40, -10, 80)}, {270, kbVec3(96, -32, 18)}};
    kbCurve eye = [flag, eyeAt](int f) { return flag(f) + eyeAt.At((float)f); };
    kbCurve look = [flag, lookAt](int f) { return flag(f) + lookAt.At((float)f); };
    auto flash = _flareBody(_glowTex(&tx, q), 0xC0E0FF);
    auto trail = _trailBody(_glowTex(&tx, q), 0x80B0FF);
    _arrival big{flag, 4, 900, 3};
    _addArrival(&sc, "Flagship", _flagship(&tx, q), big, flash, trail, 380, 22, eye);
    auto fighter = _fighter(&tx, q, 40);
    const kbVec3 slots[4] = {kbVec3(-110, 40, 150), kbVec3(110, 40, 150), kbVec3(-160, -30, -60), kbVec3(160, -30, -60)};
    for (int i = 0; i < 4; i++) {
        kbVec3 o = slots[i];
        _arrival a{[flag, o, i](int f) { return flag(f) + o + kbVec3(0, 3 * std::sin(f / 30.0f + i), 0); }, 8 + 3 * i, 420, 9};
        _addArrival(&sc, "BlueFighter", fighter, a, flash, trail, 70, 5, eye);
    }
    _finish(&sc, eye, look, 1.0f, kbVec3(0.5f, -0.3f, -0.8f));
    return out;
}

}  // namespace

void ctDemoSpaceOpen(std::vector<ctScene> *aOutP)
{
    for (bool light : {false, true}) {
        aOutP->push_back(_launch(light));
        aOutP->push_back(_warpIn(light));
        aOutP->push_back(_cruise(light));
        aOutP->push_back(_storm(light));
        if (light) {
            // The battle's Light copy stands between the storm and the jump.
            ctScene battle = ctGame3(true);
            battle.package = "l11.ksf";
            aOutP->push_back(battle);
        }
        aOutP->push_back(_jumpOut(light));
        aOutP->push_back(_vista(light));
    }
}
