// Game2: the battle in the lantern-lit hall. A swordsman faces the masked lord: a thrown star, the
// lord's mask taking flight, lightning from the lord's hands and a last exchange of blows.
// The floor is y = 0 and the hall is centred where the floor glow is drawn.

#include <cmath>

#include "Content.h"

static const float _pi = 3.14159265358979f;
static const int _frames = 1080;
static const kbVec3 _centre(-0.73f, 0, -0.132f);
static const float _half = 7.6f;  // half the hall's width
static const float _wall = 4.2f;  // wall height

static float _smooth(float a, float b, float f)
{
    float t = std::min(1.0f, std::max(0.0f, (f - a) / (b - a)));
    return t * t * (3 - 2 * t);
}

static kbVec3 _at(float x, float y, float z) { return _centre + kbVec3(x, y, z); }

ctScene ctGame2(bool aLight)
{
    ctScene out;
    out.number = aLight ? "l22" : "05";
    // The Light edition: half the round detail, coarser grids, pictures of 256 texels or less.
    auto size = [aLight](uint32_t aSize) { return aLight ? std::min(aSize, 256u) / (aSize <= 256 ? 2 : 1) : aSize; };
    const int detail = aLight ? 6 : 12, grid = aLight ? 2 : 1;
    kbScene &sc = out.scene;
    ctTextures &tx = out.textures;
    kbSceneBegin(&sc, _frames, 0.05f, 60.0f, 0x100C0A, 0x907060, 0.6f);
    kbSceneFog(&sc, 10, 30, 0x100C0A);

    std::string tatamiT = tx.Add("g2_tatami.bmp", kbTexTatami(size(512), 201));
    std::string shojiT = tx.Add("g2_shoji.bmp", kbTexShoji(size(1024), 202));
    std::string woodT = tx.Add("g2_pillar.bmp", kbTexWood(size(512), 0x5A3520, 203));
    std::string ceilT = tx.Add("g2_ceiling.bmp", kbTexWood(size(512), 0x3A2618, 204));
    std::string heroT = tx.Add("g2_hero.bmp", kbTexPaper(size(512), 0x2A3050, 205));
    std::string bossT = tx.Add("g2_lord.bmp", kbTexHull(size(512), 0x4A2A50, 206));
    std::string maskT = tx.Add("g2_mask.bmp", kbTexPaper(size(256), 0xE8E0D0, 207));
    std::string paperT = tx.Add("g2_lantern.bmp", kbTexPaper(size(512), 0xF0D8A0, 208));
    std::string steelT = tx.Add("g2_steel.bmp", kbTexMetal(size(256), 0xC8CCD4, 209));
    std::string plasterT = tx.Add("g2_plaster.bmp", kbTexPaper(size(512), 0xB8A888, 210));

    // The hall: mats, paper walls between posts, beams and a coffered ceiling.
    kbMesh floor = kbMeshPlane(_half * 2, _half * 2, 32 / grid, 32 / grid, 1);
    for (_vertexDef &v : floor.vertices) {
        v.u0 = v.u1 = (v.vx + _half) / 1.9f;
        v.v0 = v.v1 = (v.vz + _half) / 3.8f;
    }
    kbAddShape(&sc, "Tatami", kbBodyOf({kbSurfaceOf(floor, 0xFFFFFF, tatamiT)}), -1, kbConstant(_centre));
    kbMesh walls, posts, beams, upper;
    for (int side = 0; side < 4; side++) {
        float a = side * _pi / 2;
        kbMesh w = kbMeshPlane(_half * 2, _wall * 0.72f, 16 / grid, 6 / grid, 1);
        for (_vertexDef &v : w.vertices)
            v.u0 = v.u1 = (v.vx + _half) / 3.8f, v.v0 = v.v1 = (v.vz + _wall * 0.36f) / (_wall * 0.72f);
        kbMeshTransform(&w, kbVec3(0, _wall * 0.36f, 0), kbVec3(-_pi / 2, 0, 0));  // stand it up facing -Z
        kbMeshTransform(&w, kbVec3(0, 0, _half));
        kbMeshTransform(&w, kbVec3(), kbVec3(0, a, 0));
        kbMeshAppend(&walls, w);
        kbMesh band = kbMeshPlane(_half * 2, _wall * 0.28f, 8 / grid, 2 / grid, 1);
        for (_vertexDef &v : band.vertices)
            v.u0 = v.u1 = v.vx / 2, v.v0 = v.v1 = v.vz / 2;
        kbMeshTransform(&band, kbVec3(0, _wall * 0.86f, 0), kbVec3(-_pi / 2, 0, 0));
        kbMeshTransform(&band, kbVec3(0, 0, _half));
        kbMeshTransform(&band, kbVec3(), kbVec3(0, a, 0));
        kbMeshAppend(&upper, band);
        for (int i = 0; i < 4; i++) {
            kbMesh p = kbMeshBox(kbVec3(0.28f, _wall, 0.28f), 2 / grid);
            kbMeshTransform(&p, kbVec3(-_half + i * (_half * 2 / 4), _wall / 2, _half - 0.1f));
            kbMeshTransform(&p, kbVec3(), kbVec3(0, a, 0));
            kbMeshAppend(&posts, p);
        }
        kbMesh lintel = kbMeshBox(kbVec3(_half * 2, 0.25f, 0.3f), 4 / grid);
        kbMeshTransform(&lintel, kbVec3(0, _wall * 0.72f, _half - 0.1f), kbVec3());
        kbMeshTransform(&lintel, kbVec3(), kbVec3(0, a, 0));
        kbMeshAppend(&posts, lintel);
    }
    for (int i = 0; i < 7; i++) {
        kbMesh b = kbMeshBox(kbVec3(_half * 2, 0.3f, 0.25f), 6 / grid / grid);
        kbMeshTransform(&b, kbVec3(0, _wall - 0.15f, -_half + (i + 0.5f) * (_half * 2 / 7)));
        kbMeshAppend(&beams, b);
        kbMesh c = kbMeshBox(kbVec3(0.2f, 0.2f, _half * 2), 6 / grid / grid);
        kbMeshTransform(&c, kbVec3(-_half + (i + 0.5f) * (_half * 2 / 7), _wall - 0.1f, 0));
        kbMeshAppend(&beams, c);
    }
    kbMesh ceiling = kbMeshPlane(_half * 2, _half * 2, 8 / grid, 8 / grid, 3);
    kbMeshTransform(&ceiling, kbVec3(0, _wall, 0), kbVec3(_pi, 0, 0));
    kbAddShape(&sc, "Hall", kbBodyOf({kbSurfaceOf(walls, 0xFFFFFF, shojiT), kbSurfaceOf(posts, 0xFFFFFF, woodT),
                                      kbSurfaceOf(beams, 0xFFFFFF, ceilT), kbSurfaceOf(ceiling, 0xA09080, ceilT),
                                      kbSurfaceOf(upper, 0xFFFFFF, plasterT)}),
               -1, kbConstant(_centre));
    // Paper lanterns hang from the beams, swaying a little.
    {
        kbMesh l = kbMeshLathe({{0, -0.45f}, {0.12f, -0.44f}, {0.26f, -0.3f}, {0.3f, -0.1f}, {0.3f, 0.1f}, {0.26f, 0.3f}, {0.12f, 0.44f}, {0, 0.45f}}, 16 / grid);
        kbSurface paper = kbSurfaceOf(l, 0xFFE0A0, paperT);
        paper.emissive = kbColor(0xD09040);
        kbMesh cord = kbMeshCylinder(0.01f, 0.8f, 4, 1);
        kbMeshTransform(&cord, kbVec3(0, 0.85f, 0));
        auto lantern = kbBodyOf({paper, kbSurfaceOf(cord, 0x202020)});
        for (int i = 0; i < 8; i++) {
            float x = (i % 4 - 1.5f) * 3.6f, z = (i / 4 - 0.5f) * 7.0f;
            float ph = i * 0.9f;
            kbAddShape(&sc, "PaperLantern", lantern, -1, kbConstant(_at(x, _wall - 1.0f, z)),
                       [ph](int f) { return kbVec3(0.04f * std::sin(f * 0.03f + ph), 0, 0.03f * std::cos(f * 0.027f + ph)); });
            kbAddLight(&sc, kbLightPoint(_at(x, _wall - 1.1f, z), 0xFFB060, 0.8f, 6.0f));
        }
    }

    // The swordsman and the lord.
    kbSpline heroPath{{0, _at(-1, 0, -6.5f)},   {80, _at(-0.5f, 0, -3.5f)}, {140, _at(-2.2f, 0, -2.2f)}, {200, _at(-1.2f, 0, -0.8f)},
                      {260, _at(-2.5f, 0, 0.5f)}, {380, _at(-3.8f, 0, -1.5f)}, {520, _at(-2.0f, 0, -3.5f)}, {640, _at(0.5f, 0, -2.5f)},
                      {720, _at(1.4f, 0, -0.6f)}, {800, _at(0.2f, 0, 0.6f)}, {900, _at(-0.9f, 0, 1.1f)}, {1079, _at(-0.6f, 0, 0.9f)}};
    kbSpline bossPath{{0, _at(0.5f, 0, 4.5f)},   {120, _at(0.8f, 0, 3.5f)},  {200, _at(2.5f, 0, 2.8f)},  {230, _at(-0.2f, 0, 0.6f)},
                      {300, _at(1.5f, 0, 2.2f)},  {400, _at(2.8f, 0, 0.0f)},  {480, _at(1.2f, 0, 2.6f)},  {600, _at(2.2f, 0, 1.8f)},
                      {720, _at(2.6f, 0, 0.8f)}, {800, _at(1.0f, 0, 1.8f)}, {900, _at(0.4f, 0, 2.2f)}, {1079, _at(0.4f, 0, 2.2f)}};
    auto heading = [](const kbSpline &from, const kbSpline &to) {
        return [from, to](int f) {
            kbVec3 d = to.At((float)f) - from.At((float)f);
            return kbVec3(0, kbAimAngles(d).y, 0);
        };
    };
    ctFighterLook heroLook{"Hero", 0x2A3050, 0x141414, 0xE0C0A0, heroT, detail};
    kbRig hero = ctFighterRig(heroLook, 1.7f);
    hero.Pose(CT_UARM_R, 0, kbVec3(-1.0f, 0, -0.2f));
    hero.Pose(CT_FARM_R, 0, kbVec3(-0.6f, 0, 0));
    hero.Pose(CT_UARM_L, 0, kbVec3(-0.3f, 0, 0.3f));
    hero.Pose(CT_TORSO, 0, kbVec3(0.12f, 0, 0));
    // The throw of the star with the left hand.
    hero.Pose(CT_UARM_L, 125, kbVec3(-0.4f, 0, 1.2f));
    hero.Pose(CT_UARM_L, 140, kbVec3(-1.6f, 0, -0.4f));
    hero.Pose(CT_UARM_L, 160, kbVec3(-0.3f, 0, 0.3f));
    for (int at : {228, 300, 452, 600, 724, 800, 880})
        ctStrike(&hero, at, at % 3 != 0);
    for (int at : {360, 520, 690, 840})
        ctParry(&hero, at);
    ctFootwork(&hero, 900, 1079);
    hero.Pose(CT_TORSO, 900, kbVec3(0.4f, 0.2f, 0));  // the final cut held
    hero.Pose(CT_UARM_R, 900, kbVec3(-0.5f, -0.4f, 0.1f));
    // The hips ride at leg height; a leap before the final cut.
    kbCurve heroRoot = [heroPath](int f) {
        kbVec3 p = heroPath.At((float)f);
        p.y = 0.93f + (f > 860 && f < 900 ? 0.4f * std::sin(_pi * (f - 860) / 40.0f) : 0.0f);
        return p;
    };
    std::vector<int> heroShapes = hero.Place(&sc, -1, heroRoot, heading(heroPath, bossPath));
    auto sword = ctSwordBody(1.0f, steelT);
    int swordI = kbAddShape(&sc, "HeroSword", sword, heroShapes[CT_FARM_R], kbConstant(ctHand(1.7f)), kbConstant(kbVec3(0.1f, 0, 0)));
    kbAddShape(&sc, "s_img1", nullptr, swordI, kbConstant(kbVec3(0, 0.04f, 1.18f)));
    kbAddShape(&sc, "e_img1", nullptr, swordI, kbConstant(kbVec3(0, 0, 0.2f)));

    // The lord: bigger, armoured, slow; the root carries his name for the blur trail.
    ctFighterLook bossLook{"Lord", 0x4A2A50, 0x302018, 0xC8A888, bossT, detail};
    kbRig boss = ctFighterRig(bossLook, 2.3f);
    boss.Pose(CT_UARM_R, 0, kbVec3(-0.3f, 0, -0.3f));
    boss.Pose(CT_UARM_L, 0, kbVec3(-0.3f, 0, 0.3f));
    boss.Pose(CT_TORSO, 0, kbVec3(0.05f, 0, 0));
    // Casting: both arms thrown forward while the bolts fly.
    for (int at : {300, 420, 560, 700, 880}) {
        boss.Pose(CT_UARM_R, at - 20, kbVec3(-0.3f, 0, -0.3f));
        boss.Pose(CT_UARM_R, at, kbVec3(-1.5f, 0, -0.1f));
        boss.Pose(CT_UARM_R, at + 45, kbVec3(-1.5f, 0, -0.1f));
        boss.Pose(CT_UARM_R, at + 60, kbVec3(-0.3f, 0, -0.3f));
        boss.Pose(CT_UARM_L, at - 20, kbVec3(-0.3f, 0, 0.3f));
        boss.Pose(CT_UARM_L, at, kbVec3(-1.4f, 0, 0.2f));
        boss.Pose(CT_UARM_L, at + 60, kbVec3(-0.3f, 0, 0.3f));
    }
    boss.Pose(CT_TORSO, 920, kbVec3(0.05f, 0, 0));
    boss.Pose(CT_TORSO, 950, kbVec3(0.7f, 0, 0));  // struck, he bows and sinks
    boss.Pose(CT_THIGH_R, 930, kbVec3(0, 0, 0));
    boss.Pose(CT_THIGH_R, 960, kbVec3(-1.4f, 0, 0));
    boss.Pose(CT_SHIN_R, 930, kbVec3(0, 0, 0));
    boss.Pose(CT_SHIN_R, 960, kbVec3(2.0f, 0, 0));
    ctFootwork(&boss, 900, 1079);
    boss[CT_HIPS].name = "Boss02";
    kbCurve bossTrans = [bossPath](int f) {
        kbVec3 p = bossPath.At((float)f);
        p.y = 1.25f - (f > 930 ? 0.45f * _smooth(930, 960, (float)f) : 0.0f);
        return p;
    };
    kbCurve heroTrans = kbCurveOf(heroPath);
    std::vector<int> bossShapes = boss.Place(&sc, -1, bossTrans, heading(bossPath, heroPath));
    // The lord's half mask leaves his face at 255 and hunts around the swordsman.
    {
        auto maskBody = kbBodyOf({ctMaskFace(0.3f, 16 / grid + 2 * (grid - 1), 8 / grid + 2 * (grid - 1), maskT),
                                  ctMaskHorns(8 / grid, kbVec3(0.15f, 0.2f, 0.12f))});
        kbSpline flight;
        for (int f = 255; f <= 1079; f += 45) {
            float a = f * 0.02f;
            kbVec3 h = heroPath.At((float)f);
            flight.Key((float)f, h + kbVec3(1.6f * std::cos(a), 2.0f + 0.4f * std::sin(a * 1.7f), 1.6f * std::sin(a)));
        }
        kbCurve maskTrans = [flight, bossTrans](int f) {
            kbVec3 face = bossTrans(f) + kbVec3(0, 0.95f, 0);
            if (f < 255)
                return face;
            float k = _smooth(255, 300, (float)f);
            return kbLerp(face, flight.At((float)f), k);
        };
        kbCurve maskAngle = [maskTrans, heroTrans, bossPath](int f) {
            kbVec3 d = heroTrans(f) + kbVec3(0, 1.5f, 0) - maskTrans(f);
            if (f < 255)
                d = heroTrans(f) - bossPath.At((float)f);
            kbVec3 a = kbAimAngles(d);
            return kbVec3(a.x, a.y, 0.3f * std::sin(f * 0.07f));
        };
        kbAddShape(&sc, "HanMen", maskBody, -1, maskTrans, maskAngle);
    }

    // The star: held at the hip, thrown at 140, it curves round the hall and bites into a post at 500.
    {
        kbSpline path;
        path.Key(140, heroPath.At(140) + kbVec3(0.3f, 1.4f, 0.3f));
        path.Key(200, _at(2.0f, 1.6f, 3.0f));
        path.Key(260, _at(5.2f, 1.8f, 0.5f));
        path.Key(330, _at(3.0f, 2.2f, -4.5f));
        path.Key(400, _at(-3.5f, 1.7f, -4.0f));
        path.Key(460, _at(-5.5f, 1.5f, 1.0f));
        path.Key(500, _at(-_half + 0.25f, 1.5f, 3.8f));
        kbCurve trans = [path, heroTrans](int f) {
            if (f < 140)
                return heroTrans(f) + kbVec3(0.15f, 0.95f, 0.1f);
            return path.At((float)f);
        };
        kbCurve spin = [](int f) { return kbVec3(_pi / 2 - 0.2f, 0, f < 140 ? 0.0f : (float)(std::min(f, 500) - 140) * 0.9f); };
        kbAddShape(&sc, "Shuriken01", ctShurikenBody(steelT), -1, trans, spin);
    }

    // Lightning: from the lord's right hand to the swordsman's blade, in five bursts.
    {
        ctAddBolt(&sc, "01", bossShapes[CT_FARM_R], kbConstant(ctHand(2.3f)), swordI, kbConstant(kbVec3(0, 0.03f, 0.9f)),
                  ctBursts(_frames, {{300, 345}, {420, 465}, {560, 605}, {700, 745}, {880, 925}}));
        ctAddBolt(&sc, "02", bossShapes[CT_FARM_L], kbConstant(ctHand(2.3f)), -1,
                  [heroTrans](int f) { return heroTrans(f) + kbVec3(0.6f, 0.05f, -0.4f); },
                  ctBursts(_frames, {{565, 600}, {885, 920}}));
    }

    // The camera: a slow entrance, then it circles the pair, close in for the bolts.
    kbCurve mid = [heroTrans, bossTrans](int f) { return kbLerp(heroTrans(f), bossTrans(f), 0.5f); };
    kbCurve eye = [mid, heroTrans, bossTrans](int f) {
        // Beside the line between the two, far enough back to hold both.
        kbVec3 d = bossTrans(f) - heroTrans(f);
        d.y = 0;
        float sep = kbLength(d);
        kbVec3 perp = kbNormalize(kbVec3(-d.z, 0, d.x));
        kbVec3 dir = kbRotate(perp, kbVec3(0, 0.5f * std::sin(f / 90.0f) - 0.3f, 0));
        float r = 0.8f * sep + 2.6f + 2.5f * (1 - _smooth(0, 140, (float)f)) - 0.8f * _smooth(850, 940, (float)f);
        kbVec3 m = mid(f);
        kbVec3 e = m + dir * r + kbVec3(0, 1.5f + 0.4f * std::sin(f / 55.0f), 0);
        // Stay inside the hall.
        e.x = std::min(_centre.x + _half - 0.6f, std::max(_centre.x - _half + 0.6f, e.x));
        e.z = std::min(_centre.z + _half - 0.6f, std::max(_centre.z - _half + 0.6f, e.z));
        return e;
    };
    kbCurve look = [mid](int f) { return mid(f) + kbVec3(0, 1.1f, 0); };
    kbAddCamera(&sc, eye, look, 1.0f);
    kbAddLight(&sc, kbLightDirectional(kbVec3(0.3f, -1.0f, 0.4f), 0x8090C0, 0.35f));
    kbSceneCount(&sc);
    return out;
}
