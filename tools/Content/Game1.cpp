// Game1: two swordsmen duel in a temple courtyard at dusk while feathers drift around them.
// Units are centimetres; the ground is y = 0.

#include <cmath>

#include "Content.h"

static const float _pi = 3.14159265358979f;
static const int _frames = 320;
static const float _height = 170;
static const float _sword = 90;

static float _smooth(float a, float b, float f)
{
    float t = std::min(1.0f, std::max(0.0f, (f - a) / (b - a)));
    return t * t * (3 - 2 * t);
}

// The duel: where the pair stands, how far apart and which way the line between them points.
struct _duel {
    kbSpline gap{{0, {300, 0, 0}},   {45, {260, 0, 0}},  {68, {115, 0, 0}},  {92, {210, 0, 0}},  {113, {115, 0, 0}},
                 {138, {220, 0, 0}}, {152, {190, 0, 0}}, {176, {115, 0, 0}},  {200, {230, 0, 0}}, {214, {110, 0, 0}},
                 {230, {200, 0, 0}}, {244, {110, 0, 0}}, {262, {190, 0, 0}}, {284, {95, 0, 0}},  {319, {170, 0, 0}}};
    kbSpline centre{{0, {0, 0, 0}}, {120, {60, 0, -40}}, {220, {-40, 0, 30}}, {319, {20, 0, 0}}};
    float Turn(int f) const { return 0.5f + f * 0.006f + _pi * _smooth(150, 202, (float)f); }
    kbVec3 Mid(int f) const { return centre.At((float)f); }
    kbVec3 Dir(int f) const { return kbVec3(std::cos(Turn(f)), 0, std::sin(Turn(f))); }
    float Leap(int f) const { return f > 152 && f < 200 ? 70 * std::sin(_pi * (f - 152) / 48.0f) : 0.0f; }
    kbVec3 Pos(int f, int side) const
    {
        float g = gap.At((float)f).x * 0.5f;
        kbVec3 p = Mid(f) + Dir(f) * (side == 0 ? -g : g);
        p.y = 95 + Leap(f);
        return p;
    }
};

void ctOnGuard(kbRig *aRigP)
{
    aRigP->Pose(CT_UARM_R, 0, kbVec3(-1.0f, 0, -0.2f));
    aRigP->Pose(CT_FARM_R, 0, kbVec3(-0.6f, 0, 0));
    aRigP->Pose(CT_UARM_L, 0, kbVec3(-0.7f, 0, 0.5f));
    aRigP->Pose(CT_FARM_L, 0, kbVec3(-1.1f, 0, 0));
    aRigP->Pose(CT_TORSO, 0, kbVec3(0.12f, 0, 0));
}

void ctCut(kbRig *aRigP, int aAt, bool aHigh, int aWind, int aRecover)
{
    kbRig &r = *aRigP;
    r.Pose(CT_UARM_R, aAt - aWind, kbVec3(aHigh ? -2.8f : -1.9f, 0.3f, aHigh ? -0.2f : -1.1f));
    r.Pose(CT_UARM_R, aAt, kbVec3(-0.55f, -0.4f, 0.1f));
    r.Pose(CT_UARM_R, aAt + aRecover, kbVec3(-1.0f, 0, -0.2f));
    r.Pose(CT_FARM_R, aAt - aWind, kbVec3(-1.2f, 0, 0));
    r.Pose(CT_FARM_R, aAt, kbVec3(-0.1f, 0, 0));
    r.Pose(CT_FARM_R, aAt + aRecover, kbVec3(-0.6f, 0, 0));
    r.Pose(CT_TORSO, aAt - aWind, kbVec3(0.0f, 0.35f, 0));
    r.Pose(CT_TORSO, aAt, kbVec3(0.3f, -0.35f, 0));
    r.Pose(CT_TORSO, aAt + aRecover, kbVec3(0.12f, 0, 0));
}

void ctStrike(kbRig *aRigP, int aAt, bool aHigh)
{
    // The arm holds its guard until 16 frames before the cut.
    aRigP->Pose(CT_UARM_R, aAt - 16, kbVec3(-1.0f, 0, -0.2f));
    aRigP->Pose(CT_FARM_R, aAt - 16, kbVec3(-0.6f, 0, 0));
    ctCut(aRigP, aAt, aHigh, 6, 12);
}

void ctParry(kbRig *aRigP, int aAt, int aRaise, int aHold)
{
    kbRig &r = *aRigP;
    r.Pose(CT_UARM_R, aAt - aRaise, kbVec3(-1.0f, 0, -0.2f));
    r.Pose(CT_UARM_R, aAt, kbVec3(-2.2f, 0, -0.9f));
    r.Pose(CT_UARM_R, aAt + aHold, kbVec3(-1.0f, 0, -0.2f));
    r.Pose(CT_TORSO, aAt, kbVec3(-0.15f, 0.2f, 0));
    r.Pose(CT_TORSO, aAt + aHold, kbVec3(0.12f, 0, 0));
}

void ctFootwork(kbRig *aRigP, int aQuietFrom, int aQuietTo)
{
    // Footwork: the legs step while the pair circles, quiet in the air.
    for (int leg = 0; leg < 2; leg++) {
        float phase = leg ? _pi : 0;
        (*aRigP)[leg ? CT_THIGH_L : CT_THIGH_R].extra = [phase, aQuietFrom, aQuietTo](int f) {
            float k = (f > aQuietFrom && f < aQuietTo) ? 0.0f : 1.0f;
            return kbVec3(k * 0.35f * std::sin(f * 0.22f + phase), 0, 0);
        };
        (*aRigP)[leg ? CT_SHIN_L : CT_SHIN_R].extra = [phase, aQuietFrom, aQuietTo](int f) {
            float k = (f > aQuietFrom && f < aQuietTo) ? 0.0f : 1.0f;
            return kbVec3(k * 0.35f * std::max(0.0f, std::sin(f * 0.22f + phase + 0.8f)), 0, 0);
        };
    }
}

void ctBendKnees(kbRig *aRigP, const std::vector<ctKnee> &aKeys)
{
    for (int leg : {CT_THIGH_R, CT_THIGH_L})
        for (const ctKnee &k : aKeys)
            aRigP->Pose(leg, k.at, kbVec3(k.thigh, 0, 0));
    for (int leg : {CT_SHIN_R, CT_SHIN_L})
        for (const ctKnee &k : aKeys)
            aRigP->Pose(leg, k.at, kbVec3(k.shin, 0, 0));
}

static kbRig _fighter(const ctFighterLook &aLook, const std::vector<int> &aStrikes, const std::vector<int> &aParries,
                      bool aFalls)
{
    kbRig rig = ctFighterRig(aLook, _height);
    ctOnGuard(&rig);
    for (size_t i = 0; i < aStrikes.size(); i++)
        ctStrike(&rig, aStrikes[i], i % 2 == 0);
    for (int p : aParries)
        ctParry(&rig, p);
    // Knees tuck during the leap.
    ctBendKnees(&rig, {{150, -0.2f, 0.3f}, {170, -1.2f, 1.6f}, {198, -0.2f, 0.3f}});
    ctFootwork(&rig, 150, 200);
    rig[CT_HEAD].extra = [](int f) { return kbVec3(0.05f * std::sin(f * 0.05f), 0.1f * std::sin(f * 0.031f), 0); };
    if (aFalls) {
        rig.Pose(CT_TORSO, 284, kbVec3(0.12f, 0, 0));
        rig.Pose(CT_TORSO, 296, kbVec3(-0.55f, 0.2f, 0));
        rig.Pose(CT_TORSO, 319, kbVec3(-0.35f, 0.1f, 0));
        rig.Pose(CT_UARM_R, 296, kbVec3(-0.3f, 0, -0.9f));
    }
    return rig;
}

ctScene ctGame1()
{
    ctScene out;
    out.number = "23";
    kbScene &sc = out.scene;
    ctTextures &tx = out.textures;
    kbSceneBegin(&sc, _frames, 5.0f, 9000.0f, 0x283450, 0x6070A0, 0.55f);
    kbSceneFog(&sc, 2200, 7000, 0x404868);

    std::string stoneT = tx.Add("g1_courtyard.bmp", kbTexStone(512, 0x9C968A, 101));
    std::string grassT = tx.Add("g1_grass.bmp", kbTexGround(512, 0x50703A, 102));
    std::string skyT = tx.Add("g1_sky.bmp", kbTexSky(1024, 0x1A2448, 0xE08850, 103));
    std::string woodT = tx.Add("g1_wood.bmp", kbTexWood(512, 0x7A3A22, 104));
    std::string robeAT = tx.Add("g1_robe_a.bmp", kbTexPaper(512, 0x283C78, 105));
    std::string robeBT = tx.Add("g1_robe_b.bmp", kbTexPaper(512, 0x8A2020, 106));
    std::string metalT = tx.Add("g1_steel.bmp", kbTexMetal(256, 0xC8CCD4, 107));
    std::string lanternT = tx.Add("g1_lantern.bmp", kbTexStone(512, 0xA8A498, 108));
    std::string barkT = tx.Add("g1_bark.bmp", kbTexWood(256, 0x5A4030, 109));
    std::string leafT = tx.Add("g1_leaves.bmp", kbTexGround(512, 0x3C6A30, 110));
    std::string roofT = tx.Add("g1_roof.bmp", kbTexWood(512, 0x3A3634, 111));

    // Feathers are a callback picture drawn additively: a soft white plume on black.
    kbImage feather = kbImageMake(64, 64, 0x000000FF);
    for (int y = 0; y < 64; y++)
        for (int x = 0; x < 64; x++) {
            float u = (x - 31.5f) / 32, v = (y - 31.5f) / 32;
            float along = v, across = u + 0.15f * v * v;
            float vane = std::max(0.0f, 1 - std::fabs(across) / (0.45f * std::sqrt(std::max(0.0f, 1 - along * along))));
            float barbs = 0.75f + 0.25f * std::sin((along * 18 + std::fabs(across) * 10));
            float shaft = std::fabs(across) < 0.04f && along > -0.95f ? 1.0f : 0.0f;
            float k = std::min(1.0f, vane * barbs + shaft * 0.6f);
            uint32_t c = (uint32_t)(k * 235);
            feather.pixels[y * 64 + x] = kbRgb(c, c, (uint32_t)std::min(255.0f, c * 1.05f), 255);
        }
    tx.Add("fulea.bmp", feather, 32);

    // Ground: a flagstone court inside a grassy rise.
    kbMesh court = kbMeshPlane(1800, 1800, 36, 36, 6);
    kbAddShape(&sc, "Courtyard", kbBodyOf({kbSurfaceOf(court, 0xFFFFFF, stoneT)}), -1, kbConstant(kbVec3()));
    auto hills = [](float x, float z) {
        float r = std::sqrt(x * x + z * z);
        float rise = std::max(0.0f, r - 950) * 0.22f;
        return -2.0f + rise * (0.6f + 0.4f * kbFbm(x / 9000 + 0.5f, z / 9000 + 0.5f, 4, 3, 7));
    };
    kbMesh field = kbMeshTerrain(9000, 9000, 45, 45, hills, 18);
    kbAddShape(&sc, "Field", kbBodyOf({kbSurfaceOf(field, 0xFFFFFF, grassT)}), -1, kbConstant(kbVec3()));
    kbAddShape(&sc, "Dusk", ctSkyDome(4200, 24, skyT), -1, kbConstant(kbVec3()));

    // Lanterns ring the court; a wooden gate and pines stand behind.
    auto lantern = ctLanternBody(150, 16, lanternT);
    for (int i = 0; i < 8; i++) {
        float a = _pi * 2 * i / 8 + 0.2f;
        kbAddShape(&sc, "StoneLantern", lantern, -1, kbConstant(kbVec3(820 * std::cos(a), 0, 820 * std::sin(a))));
    }
    {
        kbMesh gate = kbMeshCylinder(22, 520, 16, 4);
        kbMeshTransform(&gate, kbVec3(-260, 260, 0));
        kbMesh post = kbMeshCylinder(22, 520, 16, 4);
        kbMeshTransform(&post, kbVec3(260, 260, 0));
        kbMeshAppend(&gate, post);
        kbMesh beam = kbMeshExtrude({{-20, -14}, {20, -14}, {26, 16}, {-26, 16}},
                                    {{-380, 500, 0}, {-200, 490, 0}, {0, 486, 0}, {200, 490, 0}, {380, 500, 0}}, {});
        kbMesh lower = kbMeshBox(kbVec3(620, 26, 30), 4);
        kbMeshTransform(&lower, kbVec3(0, 420, 0));
        kbMeshAppend(&gate, lower);
        kbSurface s = kbSurfaceOf(gate, 0xC04028, woodT);
        kbSurface top = kbSurfaceOf(beam, 0x505050, roofT);
        kbAddShape(&sc, "Gate", kbBodyOf({s, top}), -1, kbConstant(kbVec3(0, 0, 1250)));
    }
    auto tree = ctTreeBody(900, 14, barkT, leafT);
    for (int i = 0; i < 14; i++) {
        float a = _pi * 2 * i / 14 + 0.4f * std::sin(i * 2.1f), r = 1500 + 300 * std::sin(i * 1.7f);
        kbAddShape(&sc, "Pine", tree, -1, kbConstant(kbVec3(r * std::cos(a), hills(r * std::cos(a), r * std::sin(a)), r * std::sin(a))),
                   kbConstant(kbVec3(0, i * 0.7f, 0)), kbConstant(kbVec3(1, 0.8f + 0.05f * (i % 5), 1)));
    }

    // The fighters.
    _duel duel;
    ctFighterLook lookA{"A_", 0x2A3C70, 0x181818, 0xE8C8A8, robeAT, 16};
    ctFighterLook lookB{"B_", 0x802828, 0x2A2020, 0xD8B090, robeBT, 16};
    kbRig a = _fighter(lookA, {68, 176, 214, 284}, {113, 244}, false);
    kbRig b = _fighter(lookB, {113, 176, 244}, {68, 214}, true);
    for (int side = 0; side < 2; side++) {
        kbRig &rig = side ? b : a;
        kbCurve trans = [duel, side](int f) { return duel.Pos(f, side); };
        kbCurve angle = [duel, side](int f) {
            kbVec3 d = duel.Pos(f, 1 - side) - duel.Pos(f, side);
            return kbVec3(0, kbAimAngles(d).y, 0);
        };
        std::vector<int> shapes = rig.Place(&sc, -1, trans, angle);
        // The sword rides in the right fist; its ends are located by name.
        int sword = kbAddShape(&sc, side ? "R_sword" : "L_Sword", ctSwordBody(_sword, metalT), shapes[CT_FARM_R], kbConstant(ctHand(_height)),
                               kbConstant(kbVec3(0.1f, 0, 0)));
        std::string n = std::to_string(side + 1);
        kbAddShape(&sc, "s_img" + n, nullptr, sword, kbConstant(kbVec3(0, _sword * 0.04f, _sword * 1.18f)));
        kbAddShape(&sc, "e_img" + n, nullptr, sword, kbConstant(kbVec3(0, 0, _sword * 0.2f)));
    }

    // The camera keeps to the side of the duel line, swinging low for the leap.
    kbCurve eye = [duel](int f) {
        float t = duel.Turn(f) + _pi / 2 + 0.45f * std::sin(f / 45.0f);
        float r = 430 + 90 * std::cos(f / 60.0f) - 120 * _smooth(150, 175, (float)f) + 120 * _smooth(200, 230, (float)f);
        float y = 150 + 40 * std::sin(f / 37.0f) - 70 * _smooth(150, 175, (float)f) + 70 * _smooth(195, 225, (float)f);
        return duel.Mid(f) + kbVec3(r * std::cos(t), y, r * std::sin(t));
    };
    kbCurve target = [duel](int f) { return duel.Mid(f) + kbVec3(0, 105 + duel.Leap(f) * 0.6f, 0); };
    kbAddCamera(&sc, eye, target, 0.9f);

    kbAddLight(&sc, kbLightDirectional(kbVec3(-0.5f, -0.6f, 0.62f), 0xFFC8A0, 1.0f));
    kbAddLight(&sc, kbLightDirectional(kbVec3(0.6f, -0.3f, -0.7f), 0x6070B0, 0.6f));
    kbSceneCount(&sc);
    return out;
}
