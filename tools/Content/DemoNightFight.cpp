// The rooftop fight and the sliding-door interior (03, 04; Light l21, l02, and l22 for the hall battle).
// The swordsman keeps the hall battle's look; units are metres, the ground (03) and the floor (04) are y = 0.
// Each scene is written from one function for both editions: the Light one with half the round
// detail, coarser grids and 256-texel (or smaller) pictures in its own package.

#include <cmath>

#include "Content.h"
#include "DemoNightFight.h"

static const float _pi = 3.14159265358979f;

static float _smooth(float a, float b, float f)
{
    float t = std::min(1.0f, std::max(0.0f, (f - a) / (b - a)));
    return t * t * (3 - 2 * t);
}

static float _bump(float f, float at, float width) { return std::exp(-((f - at) / width) * ((f - at) / width)); }

namespace {

// What differs between the editions.
struct _quality {
    bool light;
    int detail;  // slices of round parts
    int div;     // grid divisions of large flat parts
    int Box() const { return light ? 1 : 4; }
    uint32_t Tex(uint32_t aSize) const { return light ? std::min(aSize, 256u) / (aSize <= 256 ? 2 : 1) : aSize; }
};

// The hall battle's swordsman and lord, so the three scenes show the same two people.
const ctFighterLook _heroLook(const _quality &q, const std::string &aTex) { return {"Hero", 0x2A3050, 0x141414, 0xE0C0A0, aTex, q.detail}; }
const ctFighterLook _lordLook(const _quality &q, const std::string &aTex) { return {"Lord", 0x4A2A50, 0x302018, 0xC8A888, aTex, q.detail}; }

// Rounded clay tiles in courses: channels across u, each course shading toward its lower lip.
// Textures have a single level, so the picture is filtered in advance: soft channels, a lip that
// darkens over a band rather than a step, and no fine grain, or the roofs shimmer where the
// camera sees them edge on.
kbImage _texTiles(uint32_t aSize, uint32_t aSeed)
{
    kbImage img = kbImageMake(aSize, aSize);
    for (uint32_t y = 0; y < aSize; y++)
        for (uint32_t x = 0; x < aSize; x++) {
            float u = (float)x / aSize, v = (float)y / aSize;
            float channel = 0.5f + 0.5f * std::cos(u * 8 * 2 * _pi);
            float course = std::fmod(v * 8, 1.0f);
            float edge = std::min(1.0f, std::max(0.0f, (course - 0.78f) / 0.2f));
            float lip = (0.8f + 0.2f * course) * (1 - edge) + 0.6f * edge;
            float n = kbFbm(u, v, 8, 2, aSeed);
            float k = (0.65f + 0.35f * channel) * lip * (0.9f + 0.2f * n);
            img.pixels[y * aSize + x] = kbShade(0x58606CFF, std::min(1.6f, k * 1.2f));
        }
    return img;
}

// A painted sliding door: gold leaf in squares, a pine bough in dark ink, a lacquered frame and the
// recessed pull.
kbImage _texFusuma(uint32_t aSize, uint32_t aSeed)
{
    kbImage img = kbImageMake(aSize, aSize);
    int border = (int)aSize / 24;
    for (uint32_t y = 0; y < aSize; y++)
        for (uint32_t x = 0; x < aSize; x++) {
            float u = (float)x / aSize, v = (float)y / aSize;
            float leaf = kbFbm(u, v, 6, 3, aSeed);
            bool seam = std::fmod(u * 6, 1.0f) < 0.012f || std::fmod(v * 6, 1.0f) < 0.012f;
            // Pale leaf: the lanterns' warm light takes it to gold, a deeper one reads orange.
            uint32_t c = kbMixColor(0xB89A4CFF, 0xF0DC94FF, leaf);
            if (seam)
                c = kbShade(c, 0.85f);
            // Pine: a trunk curving up from the lower left and clumps of needles.
            float trunk = std::fabs(u - (0.2f + 0.25f * (1 - v) * (1 - v)) ) - 0.025f * (0.6f + v);
            float clumps = 0;
            const float cx[5] = {0.3f, 0.55f, 0.75f, 0.45f, 0.2f}, cy[5] = {0.35f, 0.25f, 0.42f, 0.55f, 0.2f};
            for (int i = 0; i < 5; i++) {
                float dx = (u - cx[i]) / 0.16f, dy = (v - cy[i]) / 0.07f;
                clumps = std::max(clumps, 1 - (dx * dx + dy * dy) + 0.5f * (kbFbm(u, v, 16, 2, aSeed + 7) - 0.5f));
            }
            if (clumps > 0.2f)
                c = kbMixColor(c, 0x1E3A24FF, std::min(1.0f, (clumps - 0.2f) * 3));
            if (trunk < 0 && v > 0.3f)
                c = kbMixColor(c, 0x2A1E16FF, 0.9f);
            img.pixels[y * aSize + x] = c;
        }
    kbFillRect(&img, 0, 0, (int)aSize, border, 0x1A1010);
    kbFillRect(&img, 0, (int)aSize - border, (int)aSize, (int)aSize, 0x1A1010);
    kbFillRect(&img, 0, 0, border, (int)aSize, 0x1A1010);
    kbFillRect(&img, (int)aSize - border, 0, (int)aSize, (int)aSize, 0x1A1010);
    int cx = (int)aSize - border * 3, cy = (int)aSize / 2, r = border;
    for (int y = cy - r; y <= cy + r; y++)
        for (int x = cx - r; x <= cx + r; x++)
            if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r)
                img.pixels[y * aSize + x] = (x - cx) * (x - cx) + (y - cy) * (y - cy) <= (r - 3) * (r - 3) ? 0x302418FF : 0x8A6A30FF;
    return img;
}

// A night sky for the edition that draws no clouds: deep blue to the horizon, stars above.
kbImage _texNight(uint32_t aSize, uint32_t aSeed)
{
    kbImage img = kbImageMake(aSize, aSize);
    kbImage stars = kbTexStars(aSize, aSeed + 1);
    for (uint32_t i = 0; i < img.pixels.size(); i++) {
        float v = (float)(i / aSize) / aSize, up = 1.0f - v;
        float haze = 0.15f * kbFbm((float)(i % aSize) / aSize, v, 4, 4, aSeed);
        img.pixels[i] = kbMixColor(0x03060EFF, 0x1C2A44FF, std::min(1.0f, v * v + haze));
        uint32_t s = stars.pixels[i];
        float b = ((s >> 24) & 0xFF) / 255.0f;
        if (b > 0.3f && up > 0.35f)
            img.pixels[i] = kbMixColor(img.pixels[i], s, std::min(1.0f, b * up));
    }
    return img;
}

// A vertical quad facing +Z, w wide and h high, standing on y = 0.
kbMesh _panel(float aW, float aH, int aDivX, int aDivY)
{
    kbMesh m = kbMeshPlane(aW, aH, aDivX, aDivY, 1);
    for (_vertexDef &v : m.vertices)
        v.u0 = v.u1 = v.vx / aW + 0.5f, v.v0 = v.v1 = v.vz / aH + 0.5f;
    kbMeshTransform(&m, kbVec3(0, aH / 2, 0), kbVec3(_pi / 2, 0, 0));
    return m;
}

// A floor lantern of paper on a wooden frame, standing on y = 0.
std::shared_ptr<kbShapeBody> _andon(int aDetail, const std::string &aPaperTex, const std::string &aWoodTex)
{
    kbMesh paper = kbMeshCylinder(0.17f, 0.42f, aDetail / 2 + 2, 1, true);
    kbMeshTransform(&paper, kbVec3(0, 0.52f, 0));
    kbSurface p = kbSurfaceOf(paper, 0xFFE0A0, aPaperTex);
    p.emissive = kbColor(0xE09848);
    kbMesh frame;
    for (int i = 0; i < 4; i++) {
        kbMesh leg = kbMeshBox(kbVec3(0.03f, 0.78f, 0.03f));
        float a = _pi / 2 * i + _pi / 4;
        kbMeshTransform(&leg, kbVec3(0.19f * std::cos(a), 0.39f, 0.19f * std::sin(a)));
        kbMeshAppend(&frame, leg);
    }
    kbMesh top = kbMeshBox(kbVec3(0.42f, 0.03f, 0.42f));
    kbMeshTransform(&top, kbVec3(0, 0.76f, 0));
    kbMeshAppend(&frame, top);
    return kbBodyOf({p, kbSurfaceOf(frame, 0x3A2418, aWoodTex)});
}

// A white sheet just in front of the eye, shown by a dissolve track: the flash of the clash.
int _addFlash(kbScene *aSceneP, const kbCurve &aEye, const kbCurve &aLook, const std::vector<float> &aDissolve)
{
    kbMesh m = kbMeshPlane(2.0f, 2.0f, 1, 1, 1);
    kbMeshTransform(&m, kbVec3(), kbVec3(-_pi / 2, 0, 0));  // faces -Z, toward the eye once turned
    kbSurface s = kbSurfaceOf(m, 0x000000);
    s.diffuse = kbColor(0x000000);
    s.emissive = kbColor(0xFFFFFF);
    s.twoSided = true;
    kbCurve at = [aEye, aLook](int f) { return aEye(f) + kbNormalize(aLook(f) - aEye(f)) * 0.4f; };
    kbCurve turn = [aEye, aLook](int f) { return kbAimAngles(aLook(f) - aEye(f)); };
    int i = kbAddShape(aSceneP, "Flash", kbBodyOf({s}), -1, at, turn);
    aSceneP->shapes[i].dissolve = aDissolve;
    return i;
}

// ---- 03: the rooftop -------------------------------------------------------------------------

const float _ridge = 6.4f;   // top of the ridge cap, where the fighters stand
const float _eaveY = 3.6f;   // height of the eaves
const float _eaveZ = 6.5f;   // distance of the eaves from the ridge line
const float _roofX = 13.0f;  // half the ridge's length
const float _heroH = 1.7f, _guardH = 1.8f;

float _roofY(float aZ)
{
    float t = std::min(1.0f, std::fabs(aZ) / _eaveZ);
    return 6.05f - (6.05f - _eaveY) * t - 0.25f * t * t;
}

// The duel on the ridge: a centre that drifts along X and a gap that closes on every blow.
struct _ridgeDuel {
    std::vector<int> heroBlows{270, 320, 450, 630, 720};
    std::vector<int> guardBlows{230, 360, 410, 590, 680};
    float Gap(int f) const
    {
        float g = 2.5f + 0.15f * std::sin(f * 0.05f);
        for (int b : heroBlows)
            g -= 0.65f * _bump((float)f, (float)b, 9);
        for (int b : guardBlows)
            g -= 0.65f * _bump((float)f, (float)b, 9);
        g -= 0.75f * _bump((float)f, 525, 14);       // the leaping cut
        g -= 0.75f * _smooth(745, 768, (float)f);    // the blades lock for the clashes
        if (f < 200)
            g += 9.0f * (1 - _smooth(80, 200, (float)f));
        return g;
    }
    float Centre(int f) const
    {
        float c = -1.2f + 0.6f * std::sin(f * 0.011f);
        for (int b : heroBlows)
            c += 0.3f * _bump((float)f, (float)b, 10);
        for (int b : guardBlows)
            c -= 0.3f * _bump((float)f, (float)b, 10);
        c += 0.6f * _bump((float)f, 525, 16);
        return c;
    }
    float HeroX(int f) const { return Centre(f) - Gap(f) / 2; }
    float GuardX(int f) const { return Centre(f) + Gap(f) / 2; }
};

ctScene _rooftop(const _quality &q)
{
    ctScene out = ctSceneOf(q.light, "03", "l21", "02.ksf", "l03.ksf");
    const int frames = 840;
    kbScene &sc = out.scene;
    ctTextures &tx = out.textures;
    kbSceneBegin(&sc, frames, 0.05f, q.light ? 420.0f : 260.0f, 0x080C1C, 0x405080, 0.6f);
    kbSceneFog(&sc, 120, 700, 0x0A1224);

    std::string tileT = tx.Add("d03_tiles.bmp", _texTiles(q.Tex(512), 301));
    std::string heroT = tx.Add("g2_hero.bmp", kbTexPaper(q.Tex(512), 0x2A3050, 205));
    std::string guardT = tx.Add("d03_guard.bmp", kbTexHull(q.Tex(512), 0x4A3A30, 302));
    std::string steelT = tx.Add("g2_steel.bmp", kbTexMetal(q.Tex(256), 0xC8CCD4, 209));
    std::string plasterT = tx.Add("g2_plaster.bmp", kbTexPaper(q.Tex(512), 0xB8A888, 210));
    std::string woodT = tx.Add("g2_pillar.bmp", kbTexWood(q.Tex(512), 0x5A3520, 203));
    std::string groundT = tx.Add("d03_ground.bmp", kbTexGround(q.Tex(256), 0x2A3426, 303));
    std::string goldT = tx.Add("d03_gold.bmp", kbTexMetal(q.Tex(256), 0xD0A040, 304));
    std::string stoneT = tx.Add("d03_stone.bmp", kbTexStone(q.Tex(256), 0x8A8880, 305));

    // The hall's roof: two tiled slopes meeting at a capped ridge, gables, white walls below.
    auto roofBody = [&](float aLen, float aDepth, float aTop, float aEave) {
        kbMesh slopes;
        for (int side = -1; side <= 1; side += 2) {
            kbMesh s = kbMeshTerrain(aLen * 2, aDepth, q.div, q.div / 4, [&](float, float z) {
                float t = (z * side + aDepth / 2) / aDepth;  // 0 at the ridge .. 1 at the eave
                return aTop - (aTop - aEave) * t - 0.25f * t * t;
            });
            kbMeshTransform(&s, kbVec3(0, 0, side * aDepth / 2));
            for (_vertexDef &v : s.vertices)
                v.u0 = v.u1 = v.vx / 1.8f, v.v0 = v.v1 = std::fabs(v.vz) / 2.4f;
            kbMeshAppend(&slopes, s);
        }
        kbMesh trim;
        kbMesh cap = kbMeshBox(kbVec3(aLen * 2 + 0.6f, 0.35f, 0.45f), q.Box());
        kbMeshTransform(&cap, kbVec3(0, aTop + 0.175f, 0));
        kbMeshAppend(&trim, cap);
        for (int side = -1; side <= 1; side += 2) {
            kbMesh fascia = kbMeshBox(kbVec3(aLen * 2 + 0.3f, 0.25f, 0.12f), q.Box());
            kbMeshTransform(&fascia, kbVec3(0, aEave - 0.35f, side * aDepth));
            kbMeshAppend(&trim, fascia);
        }
        kbMesh gables;
        for (int end = -1; end <= 1; end += 2) {
            kbMesh g = kbMeshSlab({{-aDepth + 0.6f, 0}, {aDepth - 0.6f, 0}, {0, -(aTop - aEave) * 0.9f}}, 0.1f);
            kbMeshTransform(&g, kbVec3(), kbVec3(_pi / 2, 0, 0));
            kbMeshTransform(&g, kbVec3(end * (aLen - 0.4f), aEave - 0.1f, 0), kbVec3(0, _pi / 2, 0));
            kbMeshAppend(&gables, g);
        }
        kbSurface tiles = kbSurfaceOf(slopes, 0xFFFFFF, tileT);
        tiles.twoSided = true;
        return kbBodyOf({tiles, kbSurfaceOf(trim, 0x505862, tileT), kbSurfaceOf(gables, 0xD8D0C0, plasterT)});
    };
    kbAddShape(&sc, "HallRoof", roofBody(_roofX, _eaveZ, 6.05f, _eaveY), -1, kbConstant(kbVec3()));
    // Walls and posts under the eaves, the ground and a second hall behind.
    {
        kbMesh walls, posts;
        for (int side = 0; side < 4; side++) {
            float len = side % 2 ? 10.0f : 23.0f, off = side % 2 ? 11.5f : 5.0f;
            kbMesh w = _panel(len, _eaveY - 0.3f, q.div / 4, 2);
            kbMeshTransform(&w, kbVec3(0, 0, off));
            kbMeshTransform(&w, kbVec3(), kbVec3(0, side * _pi / 2, 0));
            kbMeshAppend(&walls, w);
        }
        for (int i = 0; i < 10; i++) {
            kbMesh p = kbMeshBox(kbVec3(0.3f, _eaveY, 0.3f));
            kbMeshTransform(&p, kbVec3(-11.5f + i * 23.0f / 9, _eaveY / 2, 5.1f));
            kbMeshAppend(&posts, p);
        }
        kbMesh beam = kbMeshBox(kbVec3(23.4f, 0.3f, 0.3f), q.Box());
        kbMeshTransform(&beam, kbVec3(0, _eaveY - 0.45f, 5.15f));
        kbMeshAppend(&posts, beam);
        kbAddShape(&sc, "HallWalls", kbBodyOf({kbSurfaceOf(walls, 0xE0D8C8, plasterT), kbSurfaceOf(posts, 0xFFFFFF, woodT)}), -1,
                   kbConstant(kbVec3()));
        kbMesh ground = kbMeshPlane(160, 160, q.div, q.div, 24);
        kbAddShape(&sc, "Ground", kbBodyOf({kbSurfaceOf(ground, 0xFFFFFF, groundT)}), -1, kbConstant(kbVec3()));
        kbAddShape(&sc, "FarHall", roofBody(9.0f, 5.0f, 4.6f, 2.6f), -1, kbConstant(kbVec3(-26, 0, -24)),
                   kbConstant(kbVec3(0, 0.5f, 0)));
        kbMesh farWalls = _panel(16, 2.4f, 4, 1);
        kbMeshTransform(&farWalls, kbVec3(0, 0, 3.6f));
        kbAddShape(&sc, "FarHallWall", kbBodyOf({kbSurfaceOf(farWalls, 0xC0B8A8, plasterT)}), -1, kbConstant(kbVec3(-26, 0, -24)),
                   kbConstant(kbVec3(0, 0.5f, 0)));
    }
    // Gilded ornaments at the ridge ends catch the moon.
    {
        kbMesh orn = kbMeshLathe({{0.0f, 0}, {0.3f, 0.05f}, {0.34f, 0.4f}, {0.18f, 0.85f}, {0.3f, 1.15f}, {0.12f, 1.35f}, {0, 1.4f}},
                                 q.detail);
        kbMeshTransform(&orn, kbVec3(), kbVec3(), kbVec3(0.6f, 1, 1));
        kbSurface g = kbSurfaceOf(orn, 0xF0C060, goldT);
        g.specular = 1.0f;
        auto body = kbBodyOf({g});
        for (int end = -1; end <= 1; end += 2)
            kbAddShape(&sc, "RidgeOrnament", body, -1, kbConstant(kbVec3(end * (_roofX + 0.1f), _ridge, 0)));
    }
    // Pines and stone lanterns on the ground.
    {
        auto tree = ctTreeBody(9.0f, q.detail, woodT, groundT);
        int n = q.light ? 6 : 12;
        for (int i = 0; i < n; i++) {
            float a = 2 * _pi * i / n + 0.3f * std::sin(i * 2.3f), r = 31 + 4 * std::sin(i * 1.9f);
            kbAddShape(&sc, "Pine", tree, -1, kbConstant(kbVec3(r * std::cos(a), 0, r * std::sin(a))),
                       kbConstant(kbVec3(0, i * 0.9f, 0)), kbConstant(kbVec3(1, 0.8f + 0.07f * (i % 4), 1)));
        }
        auto lantern = ctLanternBody(1.6f, q.detail, stoneT);
        for (int i = 0; i < 4; i++)
            kbAddShape(&sc, "StoneLantern", lantern, -1, kbConstant(kbVec3(-9 + i * 6.0f, 0, 9.5f)));
    }
    if (q.light) {
        // No clouds are drawn in this edition: its own sky and moon.
        std::string nightT = tx.Add("d03_night.bmp", _texNight(256, 306));
        kbAddShape(&sc, "NightSky", ctSkyDome(300, 16, nightT, 6, 0.6f, 0.08f, 0.55f), -1, kbConstant(kbVec3()));
        kbSurface m = kbSurfaceOf(kbMeshSphere(6, 16, 8), 0x000000);
        m.diffuse = kbColor(0x000000);
        m.emissive = kbColor(0xF4EED8);
        kbAddShape(&sc, "Moon", kbBodyOf({m}), -1, kbConstant(kbVec3(-40, 48, -175)));
    }

    // The fighters.
    _ridgeDuel duel;
    const float heroHip = _heroH * 0.547f, guardHip = _guardH * 0.547f;
    kbRig hero = ctFighterRig(_heroLook(q, heroT), _heroH);
    hero.Pose(CT_UARM_R, 0, kbVec3(-1.0f, 0, -0.2f));
    hero.Pose(CT_FARM_R, 0, kbVec3(-0.6f, 0, 0));
    hero.Pose(CT_UARM_L, 0, kbVec3(-0.3f, 0, 0.3f));
    hero.Pose(CT_TORSO, 0, kbVec3(0.5f, 0, 0));  // crouched below the eave
    hero.Pose(CT_TORSO, 40, kbVec3(0.5f, 0, 0));
    hero.Pose(CT_TORSO, 60, kbVec3(0.12f, 0, 0));
    ctBendKnees(&hero, {{0, -1.2f, 1.8f},
                        {40, -1.2f, 1.8f},
                        {55, -0.1f, 0.2f},
                        {70, -1.1f, 1.6f},
                        {85, -0.3f, 0.3f},
                        {505, -0.2f, 0.3f},
                        {518, -1.2f, 1.7f},
                        {540, -0.2f, 0.3f},
                        {812, -0.1f, 0.2f},
                        {822, -1.3f, 1.9f},
                        {830, -0.2f, 0.3f}});
    for (int at : duel.heroBlows)
        ctStrike(&hero, at, at % 20 == 0);
    for (int at : duel.guardBlows)
        ctParry(&hero, at);
    ctStrike(&hero, 525, true);  // the leaping cut
    ctFootwork(&hero, 0, 86);
    kbRig guard = ctFighterRig({"Guard", 0x4A3A30, 0x201810, 0xD0B090, guardT, q.detail}, _guardH);
    guard.Pose(CT_UARM_R, 0, kbVec3(-1.0f, 0, -0.2f));
    guard.Pose(CT_FARM_R, 0, kbVec3(-0.6f, 0, 0));
    guard.Pose(CT_UARM_L, 0, kbVec3(-0.5f, 0, 0.4f));
    guard.Pose(CT_FARM_L, 0, kbVec3(-1.0f, 0, 0));
    guard.Pose(CT_TORSO, 0, kbVec3(0.1f, 0, 0));
    for (int at : duel.guardBlows)
        ctStrike(&guard, at, at % 20 != 0);
    for (int at : duel.heroBlows)
        ctParry(&guard, at);
    ctParry(&guard, 522);
    // The two clashes: both blades raised and driven together, twice; the second breaks the guard.
    for (kbRig *r : {&hero, &guard}) {
        r->Pose(CT_UARM_R, 744, kbVec3(-1.0f, 0, -0.2f));
        r->Pose(CT_UARM_R, 760, kbVec3(-2.6f, 0.3f, -0.3f));
        r->Pose(CT_UARM_R, 770, kbVec3(-0.95f, 0.35f, 0.1f));
        r->Pose(CT_UARM_R, 775, kbVec3(-2.2f, 0.2f, -0.2f));
        r->Pose(CT_UARM_R, 780, kbVec3(-0.9f, 0.35f, 0.1f));
        r->Pose(CT_FARM_R, 744, kbVec3(-0.6f, 0, 0));
        r->Pose(CT_FARM_R, 760, kbVec3(-1.1f, 0, 0));
        r->Pose(CT_FARM_R, 770, kbVec3(0.1f, 0, 0));
        r->Pose(CT_FARM_R, 775, kbVec3(-0.8f, 0, 0));
        r->Pose(CT_FARM_R, 780, kbVec3(0.1f, 0, 0));
        r->Pose(CT_TORSO, 760, kbVec3(-0.1f, 0.3f, 0));
        r->Pose(CT_TORSO, 770, kbVec3(0.25f, 0.1f, 0));
        r->Pose(CT_TORSO, 780, kbVec3(0.3f, 0.1f, 0));
    }
    hero.Pose(CT_UARM_R, 792, kbVec3(-0.5f, -0.5f, 0.1f));  // follows through and holds
    hero.Pose(CT_UARM_R, 815, kbVec3(-0.6f, -0.4f, 0.1f));
    hero.Pose(CT_TORSO, 792, kbVec3(0.35f, -0.3f, 0));
    hero.Pose(CT_TORSO, 815, kbVec3(0.15f, 0, 0));
    guard.Pose(CT_UARM_R, 788, kbVec3(-2.8f, 0.4f, -1.0f));  // his blade flung wide
    guard.Pose(CT_UARM_L, 780, kbVec3(-0.5f, 0, 0.4f));
    guard.Pose(CT_UARM_L, 790, kbVec3(-2.4f, 0, 0.8f));
    guard.Pose(CT_TORSO, 790, kbVec3(-0.5f, 0.2f, 0));
    ctFootwork(&guard, 782, 840);
    guard[CT_HEAD].extra = [](int f) { return kbVec3(0, f < 160 ? 0.5f * std::sin(f * 0.04f) : 0.0f, 0); };

    kbCurve heroTrans = [duel, heroHip](int f) {
        float y = _ridge + heroHip;
        if (f < 80) {
            // Crouched under the eave, then the leap up to the ridge.
            kbVec3 from(-8.5f, _eaveY - 0.55f + heroHip * 0.6f, _eaveZ + 0.45f), to(duel.HeroX(80), y, 0);
            float t = _smooth(42, 80, (float)f);
            kbVec3 p = kbLerp(from, to, t);
            p.y += 2.2f * std::sin(_pi * t);
            return p;
        }
        if (f > 505 && f < 545)
            y += 0.7f * std::sin(_pi * (f - 505) / 40.0f);
        if (f > 822)
            y += 0.25f * (f - 822) - 0.004f * (f - 822) * (f - 822);  // off into the dark
        kbVec3 p(duel.HeroX(f), y, 0);
        if (f > 822)
            p.z -= 0.09f * (f - 822);
        return p;
    };
    kbCurve guardTrans = [duel, guardHip](int f) {
        kbVec3 p(duel.GuardX(std::min(f, 782)), _ridge + guardHip, 0);
        if (f > 782) {
            // Knocked off his feet, he slides down the tiles toward the eave and over it.
            float t = (float)(f - 782);
            p.x += 0.4f * _smooth(782, 800, (float)f);
            p.z = std::min(_eaveZ + 2.5f, 0.004f * t * t + 0.02f * t);
            p.y = (p.z < _eaveZ ? _roofY(p.z) + 0.35f * (1 - _smooth(782, 800, (float)f)) + 0.25f : _eaveY - 0.8f * (p.z - _eaveZ) * (p.z - _eaveZ)) +
                  guardHip * (1 - _smooth(782, 800, (float)f)) * 0.9f;
        }
        return p;
    };
    kbCurve heroAngle = [](int f) {
        if (f < 80)
            return kbVec3(0, _pi, 0);
        return kbVec3(0, _pi / 2 + (f > 800 ? -0.6f * _smooth(800, 820, (float)f) : 0.0f), 0);
    };
    kbCurve guardAngle = [](int f) {
        float turn = f < 120 ? 0.6f * std::sin(f * 0.03f) : 0.0f;
        return kbVec3(-1.35f * _smooth(782, 800, (float)f), -_pi / 2 + turn + 0.5f * _smooth(782, 820, (float)f), 0);
    };
    std::vector<int> heroShapes = hero.Place(&sc, -1, heroTrans, heroAngle);
    int heroSword = kbAddShape(&sc, "HeroSword", ctSwordBody(1.0f, steelT), heroShapes[CT_FARM_R], kbConstant(ctHand(_heroH)),
                               kbConstant(kbVec3(0.1f, 0, 0)));
    kbAddShape(&sc, "s_img1", nullptr, heroSword, kbConstant(kbVec3(0, 0.04f, 1.18f)));
    kbAddShape(&sc, "e_img1", nullptr, heroSword, kbConstant(kbVec3(0, 0, 0.2f)));
    std::vector<int> guardShapes = guard.Place(&sc, -1, guardTrans, guardAngle);
    int guardSword = kbAddShape(&sc, "GuardSword", ctSwordBody(1.05f, steelT), guardShapes[CT_FARM_R], kbConstant(ctHand(_guardH)),
                                kbConstant(kbVec3(0.1f, 0, 0)));
    kbAddShape(&sc, "s_img2", nullptr, guardSword, kbConstant(kbVec3(0, 0.04f, 1.24f)));
    kbAddShape(&sc, "e_img2", nullptr, guardSword, kbConstant(kbVec3(0, 0, 0.21f)));

    // Shots: the hall against the sky, over the swordsman's shoulder, the duel from the side, the
    // leap from below, the locked blades from above (the sky hidden for the flash), the guard's fall.
    kbCurve mid = [heroTrans, duel](int f) {
        kbVec3 a = heroTrans(f), b(duel.GuardX(std::min(f, 782)), _ridge + 1.0f, 0);
        return kbLerp(a, b, 0.5f);
    };
    kbCurve eye = [mid, heroTrans](int f) {
        if (f < 90) {
            float t = _smooth(0, 90, (float)f);
            return kbVec3(-13 + 5 * t, 1.7f + 2.5f * t, 19 - 4 * t);
        }
        if (f < 200) {
            kbVec3 h = heroTrans(f);
            return kbVec3(h.x - 2.6f, _ridge + 1.9f, 1.6f + 0.3f * std::sin(f * 0.02f));
        }
        kbVec3 m = mid(f);
        if (f >= 500 && f < 560)
            return kbVec3(m.x + 1.2f, _ridge + 0.3f, 3.2f);
        if (f >= 760 && f < 790)
            return kbVec3(m.x + 0.4f, _ridge + 3.6f, 1.8f);
        if (f >= 790)
            return kbVec3(m.x + 2.5f, _ridge - 0.6f, 7.8f);
        float swing = f < 500 ? 0.35f * std::sin((f - 200) / 70.0f) : 0.3f - 0.6f * _smooth(560, 760, (float)f);
        float r = 4.6f + 0.5f * std::cos(f / 50.0f);
        return kbVec3(m.x + r * std::sin(swing), _ridge + 0.6f + 0.3f * std::sin(f / 40.0f), r * std::cos(swing));
    };
    kbCurve look = [mid, heroTrans, guardTrans](int f) {
        if (f < 90)
            return kbVec3(-2, 5.5f, 0);
        if (f < 200)
            return kbLerp(heroTrans(f), guardTrans(f), 0.75f) + kbVec3(0, 0.3f, 0);
        if (f >= 760 && f < 790)
            return mid(f) + kbVec3(0, 0.6f, 0);
        if (f >= 790)
            return kbLerp(heroTrans(f), guardTrans(f), 0.5f) + kbVec3(0, 0.2f, 0);
        return mid(f) + kbVec3(0, 0.4f, 0);
    };
    kbAddCamera(&sc, eye, look, 0.9f);
    std::vector<float> flash(frames, 1.0f);
    for (int f = 771; f <= 789; f++)
        flash[f] = std::min(0.97f, 0.1f + 0.9f * (f - 771) / 18.0f - (f >= 780 ? 0.5f * _bump((float)f, 781, 3) : 0.0f));
    _addFlash(&sc, eye, look, flash);

    // The moon over the left shoulder, the cold sky behind, a warm glow from the lanterns below.
    kbAddLight(&sc, kbLightDirectional(kbVec3(0.45f, -0.6f, -0.65f), 0xC8D4F8, 1.3f));
    kbAddLight(&sc, kbLightDirectional(kbVec3(-0.3f, -0.2f, 0.9f), 0x405488, 0.5f));
    kbAddLight(&sc, kbLightPoint(kbVec3(0, 1.6f, 9.5f), 0xFFB060, 0.8f, 10.0f));
    kbSceneCount(&sc);
    return out;
}

// ---- 04: the sliding-door interior -------------------------------------------------------------

const float _corrHalf = 1.3f, _corrEnd = 9.0f, _corrTop = 2.6f;     // corridor: z from -2 to the doors
const float _roomHalf = 5.0f, _roomEnd = 19.0f, _roomTop = 3.3f;    // the lord's chamber beyond
const float _dais = 0.25f, _daisFrom = 15.5f;
const float _lordH = 2.3f;

ctScene _interior(const _quality &q)
{
    ctScene out = ctSceneOf(q.light, "04", "l02", "02.ksf", "l04.ksf");
    const int frames = 1050;
    kbScene &sc = out.scene;
    ctTextures &tx = out.textures;
    kbSceneBegin(&sc, frames, 0.05f, 60.0f, 0x050302, 0x302018, 0.35f);
    kbSceneFog(&sc, 8, 26, 0x080504);

    std::string boardT = tx.Add("d04_boards.bmp", kbTexWood(q.Tex(512), 0x6A4A30, 401));
    std::string fusumaT = tx.Add("d04_fusuma.bmp", _texFusuma(q.Tex(512), 402));
    std::string tatamiT = tx.Add("g2_tatami.bmp", kbTexTatami(q.Tex(512), 201));
    std::string woodT = tx.Add("g2_pillar.bmp", kbTexWood(q.Tex(512), 0x5A3520, 203));
    std::string ceilT = tx.Add("g2_ceiling.bmp", kbTexWood(q.Tex(512), 0x3A2618, 204));
    std::string heroT = tx.Add("g2_hero.bmp", kbTexPaper(q.Tex(512), 0x2A3050, 205));
    std::string bossT = tx.Add("g2_lord.bmp", kbTexHull(q.Tex(512), 0x4A2A50, 206));
    std::string maskT = tx.Add("g2_mask.bmp", kbTexPaper(q.Tex(256), 0xE8E0D0, 207));
    std::string paperT = tx.Add("g2_lantern.bmp", kbTexPaper(q.Tex(512), 0xF0D8A0, 208));
    std::string steelT = tx.Add("g2_steel.bmp", kbTexMetal(q.Tex(256), 0xC8CCD4, 209));

    // Corridor: boards, closed painted doors on both sides between posts, a low board ceiling.
    {
        float len = _corrEnd + 2;
        kbMesh floor = kbMeshPlane(_corrHalf * 2, len, q.div / 8, q.div / 2, 1);
        for (_vertexDef &v : floor.vertices)
            v.u0 = v.u1 = v.vx / 1.3f, v.v0 = v.v1 = v.vz / 2.0f;
        kbMesh ceil = floor;
        kbMeshTransform(&ceil, kbVec3(0, _corrTop, 0), kbVec3(_pi, 0, 0));
        kbMesh doors, posts;
        int n = 5;
        for (int side = -1; side <= 1; side += 2)
            for (int i = 0; i < n; i++) {
                float w = len / n;
                kbMesh d = _panel(w - 0.12f, _corrTop - 0.45f, 2, 4);
                kbMeshTransform(&d, kbVec3(0, 0, 0), kbVec3(0, side * _pi / 2, 0));
                kbMeshTransform(&d, kbVec3(-side * _corrHalf, 0.05f, -2 + w * (i + 0.5f)));
                kbMeshAppend(&doors, d);
                kbMesh p = kbMeshBox(kbVec3(0.14f, _corrTop, 0.14f));
                kbMeshTransform(&p, kbVec3(side * (_corrHalf - 0.02f), _corrTop / 2, -2 + w * i));
                kbMeshAppend(&posts, p);
            }
        for (int side = -1; side <= 1; side += 2) {
            kbMesh lintel = kbMeshBox(kbVec3(0.16f, 0.4f, len), q.Box());
            kbMeshTransform(&lintel, kbVec3(side * _corrHalf, _corrTop - 0.2f, -2 + len / 2));
            kbMeshAppend(&posts, lintel);
        }
        kbMeshTransform(&floor, kbVec3(0, 0, -2 + len / 2));
        kbMeshTransform(&ceil, kbVec3(0, 0, -2 + len / 2));
        kbSurface d = kbSurfaceOf(doors, 0xFFFFFF, fusumaT);
        d.twoSided = true;
        kbAddShape(&sc, "Corridor", kbBodyOf({kbSurfaceOf(floor, 0xFFFFFF, boardT), kbSurfaceOf(ceil, 0x806050, ceilT), d,
                                              kbSurfaceOf(posts, 0xFFFFFF, woodT)}),
                   -1, kbConstant(kbVec3()));
    }
    // The chamber: mats, painted walls, a raised dais, posts and a coffered ceiling.
    {
        float depth = _roomEnd - _corrEnd;
        kbMesh mats = kbMeshPlane(_roomHalf * 2, depth, q.div / 2, q.div / 2, 1);
        for (_vertexDef &v : mats.vertices)
            v.u0 = v.u1 = v.vx / 1.9f, v.v0 = v.v1 = v.vz / 3.8f;
        kbMeshTransform(&mats, kbVec3(0, 0, _corrEnd + depth / 2));
        kbMesh dais = kbMeshBox(kbVec3(_roomHalf * 2, _dais, _roomEnd - _daisFrom), q.Box());
        for (_vertexDef &v : dais.vertices)
            v.u0 = v.u1 = v.vx / 1.9f, v.v0 = v.v1 = v.vz / 3.8f;
        kbMeshTransform(&dais, kbVec3(0, _dais / 2, (_roomEnd + _daisFrom) / 2));
        kbMesh walls, posts;
        for (int side = -1; side <= 1; side += 2) {
            for (int i = 0; i < 4; i++) {
                kbMesh w = _panel(depth / 4 - 0.1f, _roomTop - 0.6f, 2, 4);
                kbMeshTransform(&w, kbVec3(), kbVec3(0, side * _pi / 2, 0));
                kbMeshTransform(&w, kbVec3(-side * _roomHalf, 0.05f, _corrEnd + depth * (i + 0.5f) / 4));
                kbMeshAppend(&walls, w);
                kbMesh p = kbMeshBox(kbVec3(0.22f, _roomTop, 0.22f));
                kbMeshTransform(&p, kbVec3(side * (_roomHalf - 0.05f), _roomTop / 2, _corrEnd + depth * i / 4));
                kbMeshAppend(&posts, p);
            }
            // The front wall beside the corridor's doors.
            kbMesh front = _panel(_roomHalf - _corrHalf, _roomTop - 0.6f, 2, 4);
            kbMeshTransform(&front, kbVec3(side * (_roomHalf + _corrHalf) / 2, 0.05f, _corrEnd - 0.02f), kbVec3(0, _pi, 0));
            kbMeshAppend(&walls, front);
        }
        for (int i = 0; i < 4; i++) {
            kbMesh w = _panel(_roomHalf / 2 - 0.1f, _roomTop - 0.6f - _dais, 2, 4);
            kbMeshTransform(&w, kbVec3(-_roomHalf + _roomHalf * (i + 0.5f) / 2, _dais, _roomEnd), kbVec3(0, _pi, 0));
            kbMeshAppend(&walls, w);
        }
        kbMesh beams;
        for (int i = 0; i < 6; i++) {
            kbMesh b = kbMeshBox(kbVec3(_roomHalf * 2, 0.22f, 0.18f), q.Box());
            kbMeshTransform(&b, kbVec3(0, _roomTop - 0.1f, _corrEnd + depth * (i + 0.5f) / 6));
            kbMeshAppend(&beams, b);
        }
        for (int i = 0; i < 3; i++) {
            kbMesh l = kbMeshBox(kbVec3(i == 1 ? _roomHalf * 2 : 0.3f, 0.5f, i == 1 ? 0.3f : depth), q.Box());
            kbMeshTransform(&l, i == 1 ? kbVec3(0, _roomTop - 0.5f, _roomEnd - 0.1f) : kbVec3((i - 1) * _roomHalf, _roomTop - 0.5f, _corrEnd + depth / 2));
            kbMeshAppend(&beams, l);
        }
        kbMesh ceil = kbMeshPlane(_roomHalf * 2, depth, q.div / 4, q.div / 4, 3);
        kbMeshTransform(&ceil, kbVec3(0, _roomTop, _corrEnd + depth / 2), kbVec3(_pi, 0, 0));
        kbSurface w = kbSurfaceOf(walls, 0xC8B8A8, fusumaT);
        w.twoSided = true;
        kbAddShape(&sc, "Chamber", kbBodyOf({kbSurfaceOf(mats, 0xFFFFFF, tatamiT), kbSurfaceOf(dais, 0xE0D8C0, tatamiT), w,
                                             kbSurfaceOf(posts, 0xFFFFFF, woodT), kbSurfaceOf(beams, 0xFFFFFF, ceilT),
                                             kbSurfaceOf(ceil, 0xA09080, ceilT)}),
                   -1, kbConstant(kbVec3()));
    }
    // The doors at the corridor's end part between 95 and 135.
    {
        kbMesh d = _panel(_corrHalf + 0.02f, _corrTop - 0.45f, 2, 4);
        kbSurface s = kbSurfaceOf(d, 0xFFFFFF, fusumaT);
        s.twoSided = true;
        for (int side = -1; side <= 1; side += 2)
            kbAddShape(&sc, side < 0 ? "DoorLeft" : "DoorRight", kbBodyOf({s}), -1, [side](int f) {
                float open = _smooth(95, 135, (float)f);
                return kbVec3(side * (_corrHalf / 2 + open * (_corrHalf + 0.1f)), 0.05f, _corrEnd + 0.05f * (side + 1));
            });
    }
    // Lanterns: two dim ones in the corridor, six in the chamber; their flames waver.
    auto andon = _andon(q.detail, paperT, woodT);
    const kbVec3 lamps[8] = {{0.9f, 0, 1.5f}, {-0.9f, 0, 6.0f}, {-4.3f, 0, 10.0f}, {4.3f, 0, 10.0f},
                             {-4.3f, 0, 14.5f}, {4.3f, 0, 14.5f}, {-2.2f, _dais, 17.8f}, {2.2f, _dais, 17.8f}};
    for (int i = 0; i < 8; i++) {
        kbAddShape(&sc, "Andon", andon, -1, kbConstant(lamps[i]));
        // Candle light, warm but short of orange: the leaf of the doors has to stay gold under it.
        kbLight l = kbLightPoint(lamps[i] + kbVec3(0, 0.55f, 0), 0xFFC886, i < 2 ? 0.5f : 0.9f, i < 2 ? 4.0f : 7.0f);
        l.intensities.resize(frames);
        for (int f = 0; f < frames; f++) {
            float flicker = 0.08f * std::sin(f * 0.37f + i * 1.7f) + 0.05f * std::sin(f * 0.91f + i);
            float surge = i >= 2 ? 0.7f * _smooth(880, 1000, (float)f) : 0.0f;  // the lord's power builds
            l.intensities[f] = l.def.intensity * (1 + flicker + surge);
        }
        kbAddLight(&sc, l);
    }

    // The swordsman drops from the ceiling, creeps down the corridor, parries the star, charges.
    const float heroHip = _heroH * 0.547f;
    kbSpline heroPath{{0, {0.2f, 0, 0.8f}},   {50, {0.2f, 0, 0.8f}},  {140, {0.0f, 0, 7.6f}},  {200, {0.0f, 0, 8.0f}},
                      {215, {0.0f, 0, 8.2f}}, {245, {-0.4f, 0, 13.6f}}, {300, {-1.2f, 0, 12.8f}}, {400, {-2.4f, 0, 13.4f}},
                      {480, {-1.8f, 0, 12.6f}}, {600, {0.3f, 0, 12.2f}}, {720, {1.8f, 0, 13.0f}}, {840, {0.6f, 0, 12.4f}},
                      {960, {-0.2f, 0, 12.9f}}, {1049, {-0.1f, 0, 14.0f}}};
    kbRig hero = ctFighterRig(_heroLook(q, heroT), _heroH);
    hero.Pose(CT_UARM_R, 0, kbVec3(-1.0f, 0, -0.2f));
    hero.Pose(CT_FARM_R, 0, kbVec3(-0.6f, 0, 0));
    hero.Pose(CT_UARM_L, 0, kbVec3(-0.3f, 0, 0.3f));
    hero.Pose(CT_TORSO, 0, kbVec3(0.12f, 0, 0));
    hero.Pose(CT_TORSO, 22, kbVec3(0.6f, 0, 0));  // lands low
    hero.Pose(CT_TORSO, 48, kbVec3(0.35f, 0, 0));
    hero.Pose(CT_TORSO, 140, kbVec3(0.25f, 0, 0));
    ctBendKnees(&hero, {{14, -0.2f, 0.2f}, {24, -1.4f, 2.0f}, {48, -0.3f, 0.3f}, {935, -0.3f, 0.3f}, {965, -1.1f, 1.6f},
                        {1000, -0.3f, 0.3f}});
    ctParry(&hero, 198);
    ctStrike(&hero, 250, true);  // the cut that takes the mask
    for (int at : {360, 470, 650, 780})
        ctParry(&hero, at);
    ctStrike(&hero, 990, true);
    ctFootwork(&hero, 0, 50);
    kbCurve heroTrans = [heroPath, heroHip](int f) {
        kbVec3 p = heroPath.At((float)f);
        p.y = heroHip;
        if (f < 24)
            p.y += (_corrTop - 0.6f) * (1 - (float)(f * f) / (24.0f * 24.0f));  // dropping from the ceiling
        if (f > 940 && f < 1000)
            p.y += 0.9f * std::sin(_pi * (f - 940) / 60.0f);
        return p;
    };

    // The lord: back turned on his dais, he turns, throws, loses his mask, paces, then raises his power.
    kbSpline lordPath{{0, {0.0f, 0, 17.0f}},   {100, {0.1f, 0, 17.1f}}, {140, {0.0f, 0, 16.8f}}, {255, {0.2f, 0, 16.4f}},
                      {300, {0.6f, 0, 17.2f}}, {380, {2.0f, 0, 16.6f}}, {440, {1.2f, 0, 15.9f}}, {480, {0.3f, 0, 16.3f}},
                      {600, {-1.0f, 0, 16.2f}}, {720, {-0.2f, 0, 16.0f}}, {850, {0.4f, 0, 16.2f}}, {1049, {0.2f, 0, 15.9f}}};
    const float lordHip = _lordH * 0.547f;
    kbRig lord = ctFighterRig(_lordLook(q, bossT), _lordH);
    lord.Pose(CT_UARM_R, 0, kbVec3(-0.3f, 0, -0.3f));
    lord.Pose(CT_UARM_L, 0, kbVec3(-0.3f, 0, 0.3f));
    lord.Pose(CT_TORSO, 0, kbVec3(0.05f, 0, 0));
    lord.Pose(CT_UARM_L, 118, kbVec3(-0.3f, 0, 0.3f));  // the throw with the left hand
    lord.Pose(CT_UARM_L, 132, kbVec3(-0.5f, 0, 1.3f));
    lord.Pose(CT_UARM_L, 142, kbVec3(-1.6f, 0, -0.3f));
    lord.Pose(CT_UARM_L, 170, kbVec3(-0.3f, 0, 0.3f));
    lord.Pose(CT_TORSO, 252, kbVec3(0.05f, 0, 0));  // recoils as the mask goes
    lord.Pose(CT_TORSO, 262, kbVec3(-0.35f, 0.3f, 0));
    lord.Pose(CT_TORSO, 300, kbVec3(0.05f, 0, 0));
    lord.Pose(CT_UARM_R, 252, kbVec3(-0.3f, 0, -0.3f));
    lord.Pose(CT_UARM_R, 265, kbVec3(-2.4f, 0, -0.6f));
    lord.Pose(CT_UARM_R, 300, kbVec3(-0.3f, 0, -0.3f));
    lord.Pose(CT_FARM_R, 252, kbVec3(0, 0, 0));
    lord.Pose(CT_FARM_R, 265, kbVec3(-1.6f, 0, 0));
    lord.Pose(CT_FARM_R, 300, kbVec3(0, 0, 0));
    for (int at : {360, 470, 650, 780}) {  // sweeps of the arm the swordsman turns aside
        lord.Pose(CT_UARM_R, at - 18, kbVec3(-0.3f, 0, -0.3f));
        lord.Pose(CT_UARM_R, at, kbVec3(-1.5f, 0.4f, -0.6f));
        lord.Pose(CT_UARM_R, at + 20, kbVec3(-0.3f, 0, -0.3f));
    }
    // Both arms rise as the lanterns flare.
    lord.Pose(CT_UARM_R, 880, kbVec3(-0.3f, 0, -0.3f));
    lord.Pose(CT_UARM_R, 960, kbVec3(-2.6f, 0, -0.5f));
    lord.Pose(CT_UARM_L, 880, kbVec3(-0.3f, 0, 0.3f));
    lord.Pose(CT_UARM_L, 960, kbVec3(-2.6f, 0, 0.5f));
    lord.Pose(CT_TORSO, 880, kbVec3(0.05f, 0, 0));
    lord.Pose(CT_TORSO, 960, kbVec3(-0.2f, 0, 0));
    ctFootwork(&lord, 0, 255);
    lord[CT_HIPS].name = "Boss02";
    kbCurve heroFlat = [heroPath](int f) { return heroPath.At((float)f); };
    kbCurve lordTrans = [lordPath, lordHip](int f) {
        kbVec3 p = lordPath.At((float)f);
        // He breathes: the body never holds quite still, so its blur trail keeps going.
        p.y = _dais + lordHip + 0.015f * std::sin(f * 0.09f);
        p.x += 0.01f * std::sin(f * 0.05f);
        return p;
    };
    kbCurve lordAngle = [lordPath, heroFlat](int f) {
        kbVec3 d = heroFlat(f) - lordPath.At((float)f);
        float face = kbAimAngles(d).y;
        float away = face + _pi;
        float t = _smooth(95, 135, (float)f);
        return kbVec3(0, away + (face - away) * t, 0);
    };
    kbCurve heroAngle = [heroFlat, lordPath](int f) {
        kbVec3 d = lordPath.At((float)f) - heroFlat(f);
        return kbVec3(0, kbAimAngles(d).y, 0);
    };
    std::vector<int> heroShapes = hero.Place(&sc, -1, heroTrans, heroAngle);
    int sword = kbAddShape(&sc, "HeroSword", ctSwordBody(1.0f, steelT), heroShapes[CT_FARM_R], kbConstant(ctHand(_heroH)),
                           kbConstant(kbVec3(0.1f, 0, 0)));
    kbAddShape(&sc, "s_img1", nullptr, sword, kbConstant(kbVec3(0, 0.04f, 1.18f)));
    kbAddShape(&sc, "e_img1", nullptr, sword, kbConstant(kbVec3(0, 0, 0.2f)));
    std::vector<int> lordShapes = lord.Place(&sc, -1, lordTrans, lordAngle);
    (void)lordShapes;

    // The mask: on his face until the cut at 250, then it tears free and circles above the two.
    {
        auto maskBody = kbBodyOf({ctMaskFace(0.3f, q.detail + 4, q.detail / 2 + 4, maskT),
                                  ctMaskHorns(q.detail / 2 + 2, kbVec3(0.15f, 0.2f, 0.12f))});
        kbCurve onFace = [lordTrans, lordAngle](int f) {
            return lordTrans(f) + kbVec3(0, _lordH * 0.43f, 0) + kbRotate(kbVec3(0, 0, 0.1f), lordAngle(f));
        };
        kbCurve trans = [onFace, lordTrans, heroTrans](int f) {
            if (f < 255)
                return onFace(f);
            kbVec3 centre = kbLerp(lordTrans(f), heroTrans(f), 0.4f) + kbVec3(0, 1.4f, 0);
            float a = (f - 255) * 0.025f;
            kbVec3 orbit = centre + kbVec3(1.5f * std::cos(a), 0.3f * std::sin(a * 2.3f), 1.2f * std::sin(a));
            // Flung up and back first, then it settles into its circling.
            kbVec3 flung = onFace(255) + kbVec3(0.6f, 1.4f, 0.8f);
            float k = _smooth(255, 275, (float)f), settle = _smooth(275, 330, (float)f);
            return kbLerp(kbLerp(onFace(255), flung, k), orbit, settle);
        };
        kbCurve angle = [trans, heroTrans, lordAngle](int f) {
            if (f < 255)
                return lordAngle(f);
            kbVec3 a = kbAimAngles(heroTrans(f) + kbVec3(0, 0.6f, 0) - trans(f));
            float spin = 6.0f * (1 - _smooth(255, 300, (float)f)) * (f - 255) * 0.1f;
            return kbVec3(a.x + spin, a.y, 0.3f * std::sin(f * 0.07f));
        };
        kbAddShape(&sc, "HanMen", maskBody, -1, trans, angle);
    }

    // The star: thrown at 140 straight at the swordsman, turned aside by his blade at 198, it skims
    // the ceiling round the chamber and bites into the corner post at 500.
    {
        kbSpline path;
        kbVec3 hit = heroTrans(198) + kbVec3(0.1f, 0.45f, 0.75f);
        path.Key(140, kbVec3(0.3f, 2.0f, 16.5f));
        path.Key(170, kbLerp(kbVec3(0.3f, 2.0f, 16.5f), hit, 0.5f));
        path.Key(198, hit);
        path.Key(230, kbVec3(1.0f, 2.9f, 10.5f));
        path.Key(300, kbVec3(4.2f, 3.0f, 13.0f));
        path.Key(370, kbVec3(3.5f, 2.8f, 18.2f));
        path.Key(440, kbVec3(-3.5f, 2.6f, 17.5f));
        path.Key(500, kbVec3(-_roomHalf + 0.2f, 1.9f, _corrEnd + 0.25f));
        kbCurve trans = [path, lordTrans, lordAngle](int f) {
            if (f < 140)
                return lordTrans(f) + kbRotate(kbVec3(0.35f, 0.0f, -0.1f), lordAngle(f));
            return path.At((float)f);
        };
        kbCurve spin = [](int f) { return kbVec3(_pi / 2 - 0.2f, 0, f < 140 ? 0.0f : (float)(std::min(f, 500) - 140) * 0.9f); };
        kbAddShape(&sc, "Shuriken01", ctShurikenBody(steelT), -1, trans, spin);
    }

    // Shots: the drop seen from down the corridor, following him to the doors, the lord's view of the
    // throw, the parry, the charge from the side, then circling the standoff until the white.
    kbCurve mid = [heroTrans, lordTrans](int f) { return kbLerp(heroTrans(f), lordTrans(f), 0.5f); };
    kbCurve eye = [heroTrans, mid](int f) {
        if (f < 50)
            return kbVec3(-0.6f, 0.9f, 4.2f - 0.01f * f);
        if (f < 140) {
            kbVec3 h = heroTrans(f);
            return kbVec3(h.x + 0.45f, 1.75f, h.z - 2.0f);
        }
        if (f < 190)
            return kbVec3(1.3f, 2.3f, 18.4f);
        if (f < 212) {
            kbVec3 h = heroTrans(f);
            return kbVec3(h.x + 1.0f, 1.5f, h.z + 2.6f);
        }
        if (f < 320)
            return kbVec3(4.2f, 1.7f, 10.6f + 0.01f * (f - 212));
        kbVec3 m = mid(f);
        float a = -0.9f + (f - 320) * 0.0032f;
        float r = 4.2f - 1.2f * _smooth(880, 1040, (float)f);
        kbVec3 e = m + kbVec3(r * std::sin(a), 0.2f + 0.3f * std::sin(f / 60.0f), -r * std::cos(a));
        e.x = std::min(_roomHalf - 0.4f, std::max(-_roomHalf + 0.4f, e.x));
        e.z = std::min(_roomEnd - 0.4f, std::max(_corrEnd + 0.3f, e.z));
        e.y = std::max(0.8f, std::min(_roomTop - 0.3f, e.y));
        return e;
    };
    kbCurve look = [heroTrans, lordTrans, mid](int f) {
        if (f < 50)
            return heroTrans(f) + kbVec3(0, 0.2f, 0);
        if (f < 140)
            return kbVec3(0, 1.2f, 16.0f);
        if (f < 190)
            return heroTrans(f) + kbVec3(0, 0.3f, 1.5f);
        if (f < 212)
            return heroTrans(f) + kbVec3(0, 0.5f, 0.4f);
        if (f < 320)
            return kbLerp(heroTrans(f), lordTrans(f), 0.6f) + kbVec3(0, 0.5f, 0);
        return mid(f) + kbVec3(0, 0.6f, 0);
    };
    kbAddCamera(&sc, eye, look, 1.0f);
    kbAddLight(&sc, kbLightDirectional(kbVec3(0.2f, -1.0f, 0.3f), 0x504060, 0.3f));
    kbSceneCount(&sc);
    return out;
}

}  // namespace

ctScene ctNightRooftop(bool aLight) { return _rooftop(aLight ? _quality{true, 6, 16} : _quality{false, 12, 48}); }
ctScene ctNightInterior(bool aLight) { return _interior(aLight ? _quality{true, 6, 16} : _quality{false, 12, 32}); }

void ctDemoNightFight(std::vector<ctScene> *aOutP)
{
    aOutP->push_back(ctNightRooftop(false));
    aOutP->push_back(ctNightInterior(false));
    aOutP->push_back(ctNightRooftop(true));
    aOutP->push_back(ctNightInterior(true));
    ctScene hall = ctGame2(true);
    hall.package = "l05.ksf";
    aOutP->push_back(hall);
}
