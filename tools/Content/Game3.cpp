// Game3: a fleet action in deep space. Two cruisers trade lightning across the gap while fighter
// squadrons dogfight between them; the camera rides with the lead fighter and turns with it.

#include <cmath>

#include "Content.h"

static const float _pi = 3.14159265358979f;
static const int _frames = 600;

// A dogfight path: loops around a centre with the given radius and phase, drifting forward.
static kbCurve _loop(kbVec3 aCentre, float aRadius, float aPhase, float aRate, float aClimb, kbVec3 aDrift)
{
    return [=](int f) {
        float a = aPhase + f * aRate;
        return aCentre + aDrift * (float)f +
               kbVec3(aRadius * std::cos(a), aClimb * std::sin(a * 1.6f), aRadius * std::sin(a) * 0.7f);
    };
}

ctScene ctGame3(bool aLight)
{
    ctScene out;
    out.number = aLight ? "l07" : "10";
    // The Light copy: the same shots with fewer slices and pictures of 256 or less.
    uint32_t big = aLight ? 256 : 1024, mid = aLight ? 256 : 512, small = aLight ? 128 : 256;
    int ship = aLight ? 4 : 8, hull = aLight ? 6 : 12, rockD = aLight ? 4 : 6, globeS = aLight ? 16 : 24;
    kbScene &sc = out.scene;
    ctTextures &tx = out.textures;
    kbSceneBegin(&sc, _frames, 2.0f, 12000.0f, 0x000000, 0x606878, 0.6f);

    std::string hullA = tx.Add("g3_hull_a.bmp", kbTexHull(big, 0x8A9098, 301));
    std::string hullB = tx.Add("g3_hull_b.bmp", kbTexHull(mid, 0x8C7C70, 302));
    std::string lightsA = tx.Add("g3_lights_a.bmp", kbTexLights(mid, 0xFFE8A0, 303));
    std::string lightsB = tx.Add("g3_lights_b.bmp", kbTexLights(small, 0xFF9070, 304));
    std::string blueT = tx.Add("g3_fighter_blue.bmp", kbTexHull(mid, 0x5070A8, 305));
    std::string redT = tx.Add("g3_fighter_red.bmp", kbTexHull(mid, 0xA04838, 306));
    std::string planetT = tx.Add("g3_planet.bmp", kbTexPlanet(big, 0x9A6A48, 307));
    std::string glowT = tx.Add("g3_glow.bmp", kbPictureGlow(small, small, 0x80C0FFFF));
    std::string rockT = tx.Add("g3_rock.bmp", kbTexStone(small, 0x706660, 308));

    // The two cruisers crawl past each other.
    auto cruiserA = ctCruiserBody(600, hull, hullA, lightsA);
    auto cruiserB = ctCruiserBody(520, hull, hullB, lightsB);
    kbCurve aPath = [](int f) { return kbVec3(-320, -20, -200 + f * 0.5f); };
    kbCurve bPath = [](int f) { return kbVec3(360, 60, 700 - f * 0.4f); };
    int a = kbAddShape(&sc, "Flagship", cruiserA, -1, aPath, kbConstant(kbVec3(0, 0.15f, 0)));
    int b = kbAddShape(&sc, "Raider", cruiserB, -1, bPath, kbConstant(kbVec3(0, _pi + 0.2f, 0.1f)));

    // A ringed planet far off and some drifting rocks give the sense of place and speed.
    {
        kbSurface globe = kbSurfaceOf(kbMeshSphere(900, globeS, globeS / 2), 0xFFFFFF, planetT);
        kbMesh ring = kbMeshLathe({{1300, 0}, {1800, 0}}, globeS * 2);
        kbSurface ringS = kbSurfaceOf(ring, 0x907860);
        ringS.twoSided = true;
        ringS.blend = 2;
        ringS.diffuse.a = 0.6f;
        kbAddShape(&sc, "Planet", kbBodyOf({globe, ringS}), -1, kbConstant(kbVec3(-2600, -900, 6400)),
                   [](int f) { return kbVec3(0.35f, f * 0.001f, 0.2f); });
        for (int i = 0; i < 6; i++) {
            auto rock = ctAsteroidBody(18 + i * 5, rockD, 330 + i, rockT);
            kbVec3 p0((i - 2.5f) * 260, -180 + (i % 3) * 140, 200 + (i * 97 % 300));
            kbAddShape(&sc, "Rock" + std::to_string(i), rock, -1, [p0, i](int f) { return p0 + kbVec3(0, 0, -f * (0.8f + i * 0.1f)); },
                       [i](int f) { return kbVec3(f * 0.01f * (i + 1), f * 0.007f, 0); });
        }
    }

    // Squadrons: three blue, three red, chasing round the gap between the cruisers.
    auto blue = ctShipBody(22, ship, 0xB0C0E0, blueT, glowT);
    auto red = ctShipBody(20, ship, 0xE0B0A0, redT, glowT);
    kbVec3 gap(0, 20, 250);
    std::vector<kbCurve> paths;
    for (int i = 0; i < 6; i++) {
        float phase = i * 1.05f + (i >= 3 ? 0.35f : 0.0f);
        kbCurve p = _loop(gap, 170 + 25 * (i % 3), phase, 0.011f + 0.0008f * i, 60 + 15 * i, kbVec3(0, 0, 0.15f));
        paths.push_back(p);
        bool isBlue = i < 3;
        ctAddFlyer(&sc, isBlue ? "BlueFighter" : "RedFighter", isBlue ? blue : red, p, 6.0f,
                   (isBlue ? "Blue" : "Red") + std::to_string(i % 3 + 1) + "Path");
    }

    // Cruiser lightning: the flagship's forward turret strikes the raider; the raider answers at a fighter.
    {
        ctAddBolt(&sc, "01", a, kbConstant(kbVec3(0, 42, 160)), b, kbConstant(kbVec3(20, 10, -60)),
                  ctBursts(_frames, {{60, 110}, {200, 250}, {330, 380}, {470, 520}}));
        ctAddBolt(&sc, "02", b, kbConstant(kbVec3(0, 36, 120)), -1, paths[1],
                  ctBursts(_frames, {{130, 165}, {270, 305}, {400, 435}, {540, 575}}));
    }

    // The camera chases the lead blue fighter, drawing back and swinging wide now and then.
    kbCurve lead = paths[0];
    kbCurve eye = [lead](int f) {
        kbVec3 p = lead(f), d = kbNormalize(lead(f + 1) - lead(f - 1));
        float back = 36 + 12 * std::sin(f / 80.0f);
        kbVec3 side = kbNormalize(kbCross(kbVec3(0, 1, 0), d));
        return p - d * back + kbVec3(0, 12 + 6 * std::sin(f / 50.0f), 0) + side * (22 * std::sin(f / 110.0f));
    };
    kbCurve look = [lead](int f) { return lead(f + 25); };
    kbAddCamera(&sc, eye, look, 1.0f);
    kbAddLight(&sc, kbLightDirectional(kbVec3(0.6f, -0.4f, 0.7f), 0xFFF0E0, 1.0f));
    kbAddLight(&sc, kbLightDirectional(kbVec3(-0.5f, 0.3f, -0.6f), 0x4060A0, 0.5f));
    kbSceneCount(&sc);
    return out;
}
