// Space Fighter and Your Fighter: a fighter and its escort thread an asteroid field under a
// galaxy. The second scene flies one ship only, the one a user's object may replace.

#include <cmath>

#include "Content.h"
#include "KbPicture.h"

static const float _pi = 3.14159265358979f;
static const int _frames = 1050;

static kbSpline _route()
{
    kbSpline s;
    kbRandom rnd(2401);
    kbVec3 p(0, 0, 0);
    float heading = 0, climb = 0;
    for (int f = 0; f <= _frames + 150; f += 75) {
        s.Key((float)f, p);
        heading += ((int)rnd.Below(100) - 50) / 60.0f;
        climb = ((int)rnd.Below(100) - 50) / 160.0f;
        p = p + kbVec3(std::sin(heading), climb, std::cos(heading)) * 230.0f;
    }
    return s;
}

ctScene ctFighter(bool aUserShip)
{
    ctScene out;
    out.number = aUserShip ? "25" : "24";
    kbScene &sc = out.scene;
    ctTextures &tx = out.textures;
    kbSceneBegin(&sc, _frames, 1.0f, 6000.0f, 0x000000, 0x283040, 0.5f);

    std::string heroT = tx.Add("sf_hull_lead.bmp", kbTexHull(1024, 0xC8CCD0, 2402));
    std::string rockT = tx.Add("sf_rock.bmp", kbTexStone(1024, 0x7A7064, 2403));
    std::string glowT = tx.Add("sf_glow.bmp", kbPictureGlow(128, 128, 0x80C0FFFF));
    std::string wingT, userT;
    if (aUserShip)
        userT = tx.Add("sf_hull_user.bmp", kbTexHull(1024, 0xD8B048, 2404));
    else
        wingT = tx.Add("sf_hull_wing.bmp", kbTexHull(512, 0x7088B0, 2405));

    kbSpline route = _route();
    kbCurve lead = [route](int f) { return route.At(f * 1.0f); };

    // Rocks line the route, never on it.
    int rockCnt = aUserShip ? 15 : 37;
    int detail = 16;
    std::vector<std::shared_ptr<kbShapeBody>> rocks;
    for (int i = 0; i < 8; i++)
        rocks.push_back(ctAsteroidBody(1.0f, detail, 2410 + i, rockT));
    kbRandom rnd(aUserShip ? 2501 : 2420);
    for (int i = 0; i < rockCnt; i++) {
        float f = (float)(i * (_frames + 60) / rockCnt);
        kbVec3 p = route.At(f), d = kbNormalize(route.At(f + 5) - route.At(f - 5));
        kbVec3 side = kbNormalize(kbCross(kbVec3(0, 1, 0), d)), up = kbCross(d, side);
        float a = rnd.Below(6283) / 1000.0f, r = 70 + rnd.Below(160);
        float size = 14 + rnd.Below(40);
        kbVec3 at = p + side * (r * std::cos(a)) + up * (r * std::sin(a)) + d * (float)rnd.Below(60);
        float spin = 0.002f + rnd.Below(10) * 0.0015f;
        kbVec3 tilt(rnd.Below(628) / 100.0f, rnd.Below(628) / 100.0f, 0);
        kbAddShape(&sc, "Asteroid" + std::to_string(i % 8), rocks[i % 8], -1, kbConstant(at),
                   [tilt, spin](int f) { return tilt + kbVec3(f * spin, f * spin * 0.7f, 0); }, kbConstant(kbVec3(size, size * 0.85f, size)));
    }

    if (aUserShip) {
        // The one replaceable ship: nose to +Z, up +Y, with key frames of its own.
        auto ship = ctShipBody(16, 24, 0xE8C860, userT, glowT);
        ctAddFlyer(&sc, "Ship_change2_", ship, lead, 5.0f, "UserFlight");
    } else {
        auto ship = ctShipBody(16, 40, 0xE0E4E8, heroT, glowT);
        ctAddFlyer(&sc, "LeadFighter", ship, lead, 5.0f);
        auto wing = ctShipBody(14, 24, 0xB0C0E0, wingT, glowT);
        for (int i = 0; i < 4; i++) {
            kbVec3 off((i % 2 ? 1 : -1) * (26.0f + 16 * (i / 2)), (i / 2 ? -7.0f : 5.0f), 6.0f - 14 * (i / 2));
            float ph = i * 1.3f;
            kbCurve path = [route, off, ph](int f) {
                kbVec3 p = route.At((float)f), d = kbNormalize(route.At(f + 3.0f) - route.At(f - 3.0f));
                kbVec3 side = kbNormalize(kbCross(kbVec3(0, 1, 0), d)), up = kbCross(d, side);
                kbVec3 bob(4 * std::sin(f * 0.03f + ph), 3 * std::cos(f * 0.025f + ph), 0);
                return p + side * (off.x + bob.x) + up * (off.y + bob.y) + d * off.z;
            };
            ctAddFlyer(&sc, "Wingman", wing, path, 5.0f, "Wingman" + std::to_string(i + 1) + "Path");
        }
    }
    // The ship being replaced must keep its key tables.
    for (kbShape &s : sc.shapes)
        if (s.motion.runs.empty() && s.body)
            s.motion = kbBakeMotion(_frames, kbConstant(kbVec3(s.def.trans.vx, s.def.trans.vy, s.def.trans.vz)),
                                    kbConstant(kbVec3(s.def.angle.vx, s.def.angle.vy, s.def.angle.vz)),
                                    kbConstant(kbVec3(s.def.scale.vx, s.def.scale.vy, s.def.scale.vz)));

    // Chase camera: behind and above, swinging round to the side and ahead on the turns.
    kbCurve eye = [lead](int f) {
        kbVec3 p = lead(f), d = kbNormalize(lead(f + 2) - lead(f - 2));
        kbVec3 side = kbNormalize(kbCross(kbVec3(0, 1, 0), d));
        float swing = std::sin(f / 130.0f) * 0.8f;
        kbVec3 back = kbNormalize(d * -std::cos(swing) + side * std::sin(swing));
        float dist = 40 + 8 * std::sin(f / 70.0f);
        return p + back * dist + kbVec3(0, 13 + 5 * std::cos(f / 90.0f), 0);
    };
    kbCurve look = [lead](int f) { return lead(f + 20); };
    kbAddCamera(&sc, eye, look, 1.0f);
    kbAddLight(&sc, kbLightDirectional(kbVec3(-0.4f, -0.5f, 0.75f), 0xFFF4E8, 1.0f));
    kbAddLight(&sc, kbLightDirectional(kbVec3(0.5f, 0.6f, -0.6f), 0x5068A0, 0.45f));
    kbSceneCount(&sc);
    return out;
}
