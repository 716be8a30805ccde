// The water part, the duel among the ruins and the ending (28, 20, 22, 26; Light l18, l19, l16).
// The Light scenes come from the same builders with fewer slices, fewer props and smaller
// pictures, so they keep every name, frame and cue of their counterparts.

#include "DemoWaterEnd.h"

#include <cmath>

static const float _pi = 3.14159265358979f;

static float _smooth(float a, float b, float f)
{
    float t = std::min(1.0f, std::max(0.0f, (f - a) / (b - a)));
    return t * t * (3 - 2 * t);
}

// How much of everything a scene gets.
struct _quality {
    bool light;
    int detail;     // slices of round parts
    uint32_t tex;   // side of the main pictures
    uint32_t sky;   // side of the sky picture
};
static _quality _qualityOf(bool aLight)
{
    return aLight ? _quality{true, 8, 256, 256} : _quality{false, 16, 512, 1024};
}

// A flat glow facing +Z, drawn additively.
static std::shared_ptr<kbShapeBody> _glowCard(float aWidth, float aHeight, const std::string &aTex, uint32_t aTint)
{
    kbMesh m = kbMeshPlane(aWidth, aHeight, 1, 1, 1);
    kbMeshTransform(&m, kbVec3(), kbVec3(-_pi / 2, 0, 0));
    for (_vertexDef &v : m.vertices)
        v.nx = 0, v.ny = 0, v.nz = 1;
    kbSurface s = kbSurfaceOf(m, 0x000000, aTex);
    s.diffuse = kbColor(0x000000);
    s.emissive = kbColor(aTint);
    s.blend = 1;
    s.twoSided = true;
    return kbBodyOf({s});
}

// A torii: two posts, the curved upper beam and the tie beam.
static std::shared_ptr<kbShapeBody> _torii(float aH, int aDetail, const std::string &aWoodT, const std::string &aRoofT)
{
    float w = aH * 0.45f, r = aH * 0.045f;
    kbMesh posts;
    for (int s = -1; s <= 1; s += 2) {
        kbMesh p = kbMeshCylinder(r, aH, aDetail, 4);
        kbMeshTransform(&p, kbVec3(s * w, aH / 2, 0));
        kbMeshAppend(&posts, p);
    }
    kbMesh tie = kbMeshBox(kbVec3(w * 2.5f, aH * 0.05f, r * 1.4f), 4);
    kbMeshTransform(&tie, kbVec3(0, aH * 0.8f, 0));
    kbMeshAppend(&posts, tie);
    std::vector<kbVec3> path;
    for (int i = 0; i <= 8; i++) {
        float t = i / 8.0f * 2 - 1;
        path.push_back(kbVec3(t * w * 1.55f, aH * 0.96f + aH * 0.05f * t * t, 0));
    }
    kbMesh beam = kbMeshExtrude({{-r * 1.6f, -aH * 0.035f}, {r * 1.6f, -aH * 0.035f}, {r * 2.0f, aH * 0.035f}, {-r * 2.0f, aH * 0.035f}},
                                path, {}, kbVec3(0, 1, 0));
    return kbBodyOf({kbSurfaceOf(posts, 0xD04A2A, aWoodT), kbSurfaceOf(beam, 0x383030, aRoofT)});
}

// ---------------------------------------------------------------------------------------------
// 28: dawn over the lake. A torii stands in still water; the sun comes up behind it while the
// camera glides in low over the lily pads. Metres; the water is y = 0.

ctScene ctDemoDawn(bool aLight)
{
    _quality q = _qualityOf(aLight);
    ctScene out = ctSceneOf(aLight, "28", "l18", "14.ksf", "l20.ksf");
    kbScene &sc = out.scene;
    ctTextures &tx = out.textures;
    const int frames = 390;
    kbSceneBegin(&sc, frames, 0.5f, 5000.0f, 0xE8A878, 0x806878, 0.55f);

    std::string skyT = tx.Add("d28_dawn.bmp", kbTexSky(q.tex, 0x24306A, 0xF8B070, 2801));
    std::string lakeT = tx.Add("d28_lake.bmp", kbTexWater(q.tex, 2802));
    std::string hillT = tx.Add("d28_hills.bmp", kbTexGround(q.tex / 2, 0x34405A, 2803));
    std::string woodT = tx.Add("d28_lacquer.bmp", kbTexWood(q.tex / 2, 0xB83A22, 2804));
    std::string roofT = tx.Add("d28_beam.bmp", kbTexWood(q.tex / 2, 0x302828, 2805));
    std::string barkT = tx.Add("d28_bark.bmp", kbTexWood(128, 0x4A3A30, 2806));
    std::string leafT = tx.Add("d28_pine.bmp", kbTexGround(q.tex / 2, 0x2E4A3A, 2807));
    std::string padT = tx.Add("d28_pad.bmp", kbTexPaper(128, 0x4A8A3A, 2808));
    std::string sunT = tx.Add("d28_sun.bmp", kbPictureGlow(128, 128, kbRgb(255, 200, 140)));
    std::string rockT = tx.Add("d28_rock.bmp", kbTexStone(q.tex / 2, 0x6A6460, 2809));

    // The lake: a sheet that takes the dawn colour, the far shore a ring of dark hills.
    // Fine cells where the camera glides, coarse ones out to the shore just below them.
    kbMesh lake = kbMeshPlane(1200, 1200, aLight ? 16 : 32, aLight ? 16 : 32, 24);
    kbMeshTransform(&lake, kbVec3(0, 0, -100));
    kbMesh far = kbMeshPlane(5000, 5000, aLight ? 8 : 16, aLight ? 8 : 16, 100);
    kbMeshTransform(&far, kbVec3(0, -0.1f, 0));
    kbMeshAppend(&lake, far);
    kbSurface water = kbSurfaceOf(lake, 0xB08C90, lakeT);
    water.emissive = kbColor(0x805048);
    water.specular = 1.0f;
    kbAddShape(&sc, "Lake", kbBodyOf({water}), -1, kbConstant(kbVec3()));
    auto hills = [](float x, float z) {
        float r = std::sqrt(x * x + z * z);
        return -4.0f + std::max(0.0f, r - 700) * 0.16f * (0.4f + 0.9f * kbFbm(x / 5000 + 0.5f, z / 5000 + 0.5f, 5, 3, 2810));
    };
    kbMesh shore = kbMeshTerrain(5000, 5000, aLight ? 24 : 48, aLight ? 24 : 48, hills, 20);
    kbAddShape(&sc, "FarShore", kbBodyOf({kbSurfaceOf(shore, 0xFFFFFF, hillT)}), -1, kbConstant(kbVec3()));
    kbAddShape(&sc, "DawnSky", ctSkyDome(2600, aLight ? 16 : 24, skyT), -1, kbConstant(kbVec3()));

    // The sun climbs behind the gate; its glow lies on the water as a long streak.
    kbCurve sunPos = [](int f) { return kbVec3(0, -20 + 150 * _smooth(0, 389, (float)f), -2300); };
    kbSurface disc = kbSurfaceOf(kbMeshSphere(45, q.detail, q.detail / 2 + 2), 0x000000);
    disc.emissive = kbColor(0xFFE8B0);
    kbAddShape(&sc, "Sun", kbBodyOf({disc}), -1, sunPos);
    kbAddShape(&sc, "SunGlow", _glowCard(900, 900, sunT, 0xFFC890), -1, [sunPos](int f) { return sunPos(f) + kbVec3(0, 0, 60); });
    {
        kbMesh m = kbMeshPlane(90, 2200, 1, 4, 1);
        kbSurface s = kbSurfaceOf(m, 0x000000, sunT);
        s.diffuse = kbColor(0x000000);
        s.emissive = kbColor(0xC08060);
        s.blend = 1;
        kbAddShape(&sc, "SunPath", kbBodyOf({s}), -1, kbConstant(kbVec3(0, 0.05f, -1150)),
                   kbConstant(kbVec3()), [](int f) { return kbVec3(0.6f + 0.8f * _smooth(0, 389, (float)f), 1, 1); });
    }

    // The gate in the water and a pine island beside it.
    kbAddShape(&sc, "LakeTorii", _torii(16, q.detail, woodT, roofT), -1, kbConstant(kbVec3(0, -0.5f, -260)));
    {
        kbMesh island = kbMeshLathe({{0, 2.2f}, {14, 2.0f}, {26, 1.0f}, {34, -1.5f}}, q.detail * 2);
        kbMeshDisplace(&island, [](kbVec3 p) { return (ctNoise3(p * 0.12f, 2811) - 0.5f) * 3.0f; });
        kbAddShape(&sc, "PineIsle", kbBodyOf({kbSurfaceOf(island, 0xFFFFFF, rockT)}), -1, kbConstant(kbVec3(-70, 0, -330)));
        auto pine = ctTreeBody(22, q.detail, barkT, leafT);
        int n = aLight ? 3 : 6;
        for (int i = 0; i < n; i++) {
            float a = i * 2.4f, r = 4 + 14 * (i % 3) / 2.0f;
            kbAddShape(&sc, "IslePine", pine, -1, kbConstant(kbVec3(-70 + r * std::cos(a), 1.5f, -330 + r * std::sin(a))),
                       kbConstant(kbVec3(0, i * 0.9f, 0)), kbConstant(kbVec3(1, 0.7f + 0.12f * (i % 3), 1)));
        }
    }
    // Lily pads along the glide, a few with a closed bud.
    {
        kbMesh pad = kbMeshCylinder(1.0f, 0.04f, q.detail, 1);
        kbMesh bud = kbMeshLathe({{0, 0}, {0.18f, 0.12f}, {0.14f, 0.4f}, {0, 0.55f}}, q.detail / 2 + 2);
        auto padB = kbBodyOf({kbSurfaceOf(pad, 0xFFFFFF, padT)});
        kbSurface budS = kbSurfaceOf(bud, 0xF0A0B8);
        budS.emissive = kbColor(0x402028);
        auto budB = kbBodyOf({kbSurfaceOf(pad, 0xFFFFFF, padT), budS});
        kbRandom rnd(2812);
        int n = aLight ? 24 : 60;
        for (int i = 0; i < n; i++) {
            float z = 100 - 240.0f * i / n + (float)rnd.Below(100) / 10.0f;
            float side = (i % 2 ? 1 : -1) * (5 + (float)rnd.Below(400) / 10.0f);
            float s = 0.8f + (float)rnd.Below(100) / 80.0f;
            kbAddShape(&sc, i % 5 == 0 ? "LotusBud" : "LilyPad", i % 5 == 0 ? budB : padB, -1, kbConstant(kbVec3(side, 0.03f, z)),
                       kbConstant(kbVec3(0, (float)rnd.Below(628) / 100.0f, 0)), kbConstant(kbVec3(s, 1, s)));
        }
    }

    // The glide: low over the pads, rising toward the gate as the sun clears the hills.
    kbCurve eye = [](int f) {
        float t = _smooth(0, 389, (float)f);
        return kbVec3(6 * std::sin(f / 90.0f), 2.2f + 5.0f * t, 130 - 250 * t);
    };
    kbCurve look = [](int f) {
        float t = _smooth(0, 389, (float)f);
        return kbVec3(0, 4 + 10 * t, -260);
    };
    kbAddCamera(&sc, eye, look, 0.8f);
    kbAddLight(&sc, kbLightDirectional(kbVec3(0, -0.25f, 1.0f), 0xFFC090, 1.0f));
    kbAddLight(&sc, kbLightDirectional(kbVec3(0.3f, -0.6f, -0.6f), 0x505C90, 0.5f));
    kbSceneCount(&sc);
    return out;
}

// ---------------------------------------------------------------------------------------------
// 20: the sunlit pool. Shape 0 is the basin: the water sheet lies 0.75 above its origin, centred
// on it, so the basin's opening matches the sheet and its floor and walls show through. A bamboo
// spout drips into the pool, koi turn below, and the camera takes the garden in slowly.

static const float _poolCx = -0.055f, _poolCz = 0.055f, _poolIn = 2.72f, _poolRim = 0.95f, _waterY = 0.75f;

static std::shared_ptr<kbShapeBody> _poolBasin(const _quality &q, const std::string &aTileT, const std::string &aDeckT)
{
    const ctPoolLook look = {_poolIn,          _poolRim, _poolCx,          _poolCz,     // opening, rim, centre
                             q.light ? 8 : 16, 5,        q.light ? 6 : 12, 3,    0.9f,  // floor and wall tiles
                             5.2f,             1.5f,     3.0f,             1.2f,        // boards across the garden's axis
                             0.4f,             0.1f,     0.2f,             0.1f, 3};    // the edge, in a colour of its own
    ctPoolMeshes m = ctPoolBasin(look);
    return kbBodyOf({kbSurfaceOf(m.floor, 0xFFFFFF, aTileT), kbSurfaceOf(m.walls, 0xD8E4EC, aTileT), kbSurfaceOf(m.deck, 0xFFFFFF, aDeckT),
                     kbSurfaceOf(m.lip, 0xC8B8A0, aDeckT)});
}

static void _poolKoi(kbScene *aSceneP, int aIndex, const std::string &aName, const std::shared_ptr<kbShapeBody> &aBody,
                     const std::shared_ptr<kbShapeBody> &aTail)
{
    float r = 0.9f + 0.4f * (aIndex % 3), speed = 0.005f + 0.0012f * aIndex, ph = aIndex * 2.3f;
    float depth = 0.22f + 0.08f * (aIndex % 4);
    bool ccw = aIndex % 2 == 0;
    kbCurve path = [r, speed, ph, depth, ccw](int f) {
        float a = (ccw ? 1 : -1) * f * speed + ph;
        float wob = 0.4f * std::sin(f * 0.013f + ph * 2);
        return kbVec3(_poolCx + (r + wob) * std::cos(a), depth + 0.05f * std::sin(f * 0.02f + ph),
                      _poolCz + (r + wob) * 0.8f * std::sin(a));
    };
    kbCurve aim = [path](int f) { return kbAimAngles(path(f + 1) - path(f - 1)); };
    int body = kbAddShape(aSceneP, aName, aBody, -1, path, aim);
    kbAddShape(aSceneP, "PoolKoiTail", aTail, body, kbConstant(kbVec3(0, 0, -0.2f)),
               [ph](int f) { return kbVec3(0, 0.5f * std::sin(f * 0.22f + ph), 0); });
}

ctScene ctDemoPool(bool aLight)
{
    _quality q = _qualityOf(aLight);
    // The Light scene draws from the FullSpec package too.
    ctScene out = ctSceneOf(aLight, "20", "l19", "05.ksf", "05.ksf");
    kbScene &sc = out.scene;
    ctTextures &tx = out.textures;
    const int frames = 1600;
    kbSceneBegin(&sc, frames, 0.1f, 120.0f, 0x8CB8E8, 0x8898A8, 0.62f);
    kbSceneFog(&sc, 30, 100, 0xA8C8E8);

    // One set of pictures, small enough for both editions: the Light scene must find them in 05.ksf.
    std::string tileT = tx.Add("d20_mosaic.bmp", kbPictureTiles(256, 256, 16, 16, kbRgb(96, 176, 196), 2001));
    std::string deckT = tx.Add("d20_boards.bmp", kbTexWood(256, 0xB08A60, 2002));
    std::string mossT = tx.Add("d20_moss.bmp", kbTexGround(256, 0x5E8A3C, 2003));
    std::string koiT = tx.Add("d20_koi.bmp", kbTexPaper(128, 0xF4E8E0, 2004));
    std::string koi2T = tx.Add("d20_koi_gold.bmp", kbTexPaper(128, 0xF0A030, 2005));
    std::string barkT = tx.Add("d20_bark.bmp", kbTexWood(128, 0x5A4030, 2006));
    std::string mapleT = tx.Add("d20_maple.bmp", kbTexGround(256, 0xC84A28, 2007));
    std::string leafT = tx.Add("d20_leaves.bmp", kbTexGround(256, 0x4E8034, 2008));
    std::string bambooT = tx.Add("d20_bamboo.bmp", kbTexWood(128, 0x7A9A40, 2009));
    std::string stoneT = tx.Add("d20_stone.bmp", kbTexStone(256, 0xA8A49A, 2010));
    std::string skyT = tx.Add("d20_sky.bmp", kbTexSky(256, 0x2E64C0, 0xD0E4F8, 2011));

    // Shape 0: the basin, a root shape resting on its base pose.
    kbAddShape(&sc, "PoolBasin", _poolBasin(q, tileT, deckT), -1, kbConstant(kbVec3()));

    // The garden: a mossy lawn around the deck rising to a low bank, maples and a bamboo grove.
    auto ground = [](float x, float z) {
        float r = std::sqrt(x * x + z * z);
        return 0.9f + std::max(0.0f, r - 9) * 0.1f * (0.5f + kbFbm(x / 80 + 0.5f, z / 80 + 0.5f, 4, 3, 2012));
    };
    kbMesh lawn = kbMeshTerrain(80, 80, aLight ? 16 : 28, aLight ? 16 : 28, ground, 20);
    kbMesh cut;
    cut.vertices = lawn.vertices;
    for (size_t t = 0; t + 2 < lawn.indices.size(); t += 3) {
        bool inside = true;
        for (int k = 0; k < 3; k++) {
            const _vertexDef &v = lawn.vertices[lawn.indices[t + k]];
            inside = inside && std::fabs(v.vx) < 5.1f && std::fabs(v.vz) < 5.1f;
        }
        if (!inside)
            cut.indices.insert(cut.indices.end(), {lawn.indices[t], lawn.indices[t + 1], lawn.indices[t + 2]});
    }
    kbAddShape(&sc, "GardenMoss", kbBodyOf({kbSurfaceOf(cut, 0xFFFFFF, mossT)}), -1, kbConstant(kbVec3()));
    auto maple = ctTreeBody(5.0f, q.detail, barkT, mapleT);
    auto pine = ctTreeBody(7.0f, q.detail, barkT, leafT);
    int trees = aLight ? 6 : 12;
    for (int i = 0; i < trees; i++) {
        float a = _pi * 2 * i / trees + 0.25f * std::sin(i * 2.7f), r = 12.5f + 3.0f * std::sin(i * 1.9f);
        kbVec3 p(r * std::cos(a), 0, r * std::sin(a));
        p.y = ground(p.x, p.z) - 0.05f;
        kbAddShape(&sc, i % 2 ? "GardenMaple" : "GardenPine", i % 2 ? maple : pine, -1, kbConstant(p),
                   kbConstant(kbVec3(0, i * 1.1f, 0)), kbConstant(kbVec3(1, 0.8f + 0.07f * (i % 4), 1)));
    }
    {
        kbMesh grove;
        kbRandom rnd(2013);
        int n = aLight ? 14 : 36;
        for (int i = 0; i < n; i++) {
            float h = 5 + (float)rnd.Below(300) / 100.0f;
            kbMesh c = kbMeshCylinder(0.05f, h, aLight ? 5 : 6, 3, false);
            kbMeshTransform(&c, kbVec3(-7.5f + (float)rnd.Below(1500) / 100.0f, 0.9f + h / 2, -7.0f - (float)rnd.Below(200) / 100.0f),
                            kbVec3((float)rnd.Below(10) / 100.0f - 0.05f, 0, (float)rnd.Below(10) / 100.0f - 0.05f));
            kbMeshAppend(&grove, c);
        }
        kbAddShape(&sc, "BambooGrove", kbBodyOf({kbSurfaceOf(grove, 0xFFFFFF, bambooT)}), -1, kbConstant(kbVec3()));
    }
    auto lantern = ctLanternBody(1.2f, q.detail, stoneT);
    for (int i = 0; i < 2; i++)
        kbAddShape(&sc, "PoolLantern", lantern, -1, kbConstant(kbVec3(i ? 4.4f : -4.4f, _poolRim, 4.4f)));
    // Rocks in one corner of the pool, breaking the surface.
    {
        kbMesh rocks;
        const float at[3][4] = {{-2.0f, 0.0f, -1.9f, 0.55f}, {-1.35f, 0.0f, -2.2f, 0.4f}, {-2.25f, 0.0f, -1.15f, 0.35f}};
        for (const auto &r : at) {
            kbMesh s = kbMeshSphere(r[3], q.detail, q.detail / 2 + 2);
            kbMeshTransform(&s, kbVec3(r[0], r[3] * 1.6f, r[2]), kbVec3(), kbVec3(1, 1.9f, 1));
            kbMeshAppend(&rocks, s);
        }
        kbMeshDisplace(&rocks, [](kbVec3 p) { return (ctNoise3(p * 3.0f, 2014) - 0.5f) * 0.12f; });
        kbAddShape(&sc, "PoolRocks", kbBodyOf({kbSurfaceOf(rocks, 0xFFFFFF, stoneT)}), -1, kbConstant(kbVec3()));
    }
    // The bamboo spout on its post, and the drops it lets fall into the pool.
    const kbVec3 mouth(1.75f, 1.6f, -1.9f);
    {
        kbMesh post = kbMeshCylinder(0.09f, 1.4f, q.detail / 2 + 2, 2);
        kbMeshTransform(&post, kbVec3(3.6f, _poolRim + 0.7f, -1.9f));
        kbMesh pipe = kbMeshCylinder(0.06f, 1.95f, q.detail / 2 + 2, 3);
        kbMeshTransform(&pipe, kbVec3(2.7f, 1.68f, -1.9f), kbVec3(0, 0, _pi / 2 - 0.08f));
        kbMeshAppend(&post, pipe);
        kbAddShape(&sc, "BambooSpout", kbBodyOf({kbSurfaceOf(post, 0xFFFFFF, bambooT)}), -1, kbConstant(kbVec3()));
        kbSurface drop = kbSurfaceOf(kbMeshSphere(0.035f, 6, 4), 0xC8E0F0);
        drop.specular = 1.0f;
        drop.emissive = kbColor(0x405060);
        auto dropB = kbBodyOf({drop});
        for (int d = 0; d < 3; d++) {
            int phase = d * 7;
            auto fall = [mouth, phase](int f) {
                float t = (float)((f + phase) % 21) / 30.0f;
                return mouth + kbVec3(-0.05f * t, -4.9f * t * t, 0);
            };
            int s = kbAddShape(&sc, "SpoutDrop", dropB, -1, fall, kbCurve(), kbConstant(kbVec3(1, 1.6f, 1)));
            std::vector<float> seen(frames, 0.0f);
            for (int f = 0; f < frames; f++)
                seen[f] = fall(f).y < _waterY ? 1.0f : 0.0f;
            sc.shapes[s].dissolve = seen;
        }
    }
    kbAddShape(&sc, "MiddaySky", ctSkyDome(60, aLight ? 16 : 24, skyT), -1, kbConstant(kbVec3()));

    // Koi.
    {
        kbMesh body = kbMeshLathe({{0, 0.22f}, {0.03f, 0.2f}, {0.055f, 0.12f}, {0.06f, 0.02f}, {0.045f, -0.1f}, {0.02f, -0.18f}, {0, -0.2f}},
                                  aLight ? 8 : 12);
        kbMeshTransform(&body, kbVec3(), kbVec3(_pi / 2, 0, 0), kbVec3(0.85f, 1, 1));
        kbMesh tail = kbMeshSlab({{0, 0.02f}, {0.08f, -0.14f}, {0, -0.09f}, {-0.08f, -0.14f}}, 0.004f);
        kbMeshTransform(&tail, kbVec3(), kbVec3(0, 0, _pi / 2));
        kbSurface tailS = kbSurfaceOf(tail, 0xF0C0A0);
        tailS.twoSided = true;
        auto koiA = kbBodyOf({kbSurfaceOf(body, 0xFFFFFF, koiT)});
        auto koiB = kbBodyOf({kbSurfaceOf(body, 0xFFFFFF, koi2T)});
        auto tailB = kbBodyOf({tailS});
        int n = aLight ? 4 : 8;
        for (int i = 0; i < n; i++)
            _poolKoi(&sc, i, i % 3 == 1 ? "GoldKoi" : "PoolKoi", i % 3 == 1 ? koiB : koiA, tailB);
    }

    // The camera: down from above the garden, round the pool's edge, in to the dripping spout,
    // then up and away while the picture fades.
    kbSpline eye{{0, {1.0f, 7.5f, 6.8f}},     {300, {4.8f, 3.4f, 4.6f}},   {520, {5.6f, 2.7f, -0.8f}}, {760, {2.6f, 2.9f, -5.4f}},
                 {980, {-3.6f, 2.5f, -4.9f}}, {1180, {-1.2f, 1.9f, 1.2f}}, {1380, {3.2f, 3.4f, 4.2f}}, {1599, {2.0f, 7.5f, 7.0f}}};
    kbSpline look{{0, {0, 0.6f, 0}},         {300, {-0.3f, 0.7f, -0.4f}}, {520, {-0.6f, 0.7f, -0.2f}}, {760, {0.2f, 0.7f, 0.3f}},
                  {980, {1.4f, 0.9f, -1.6f}}, {1180, {1.7f, 0.9f, -1.9f}}, {1380, {0.2f, 0.7f, -0.4f}}, {1599, {0, 0.6f, 0}}};
    kbAddCamera(&sc, kbCurveOf(eye), kbCurveOf(look), 0.95f);
    kbAddLight(&sc, kbLightDirectional(kbVec3(-0.35f, -0.85f, 0.4f), 0xFFF6E0, 1.05f));
    kbAddLight(&sc, kbLightDirectional(kbVec3(0.5f, -0.3f, -0.6f), 0x7090C0, 0.45f));
    kbSceneCount(&sc);
    return out;
}

// ---------------------------------------------------------------------------------------------
// 22: two armoured swordsmen (the Game1 pair) duel in a ruined arena at night. They circle in,
// then trade five exchanges, each a swing that misses, a clash, a blow that lands and two blasts
// among the ruins behind them. Centimetres; the ground is y = 0.

const int ctRuinsRound[CT_RUINS_ROUNDS] = {315, 387, 459, 531, 616};
const int ctRuinsBeat[5] = {0, 12, 26, 40, 54};
static const int _ruinsFrames = 720;
static const float _ruinsHeight = 170;
static const float _ruinsSword = 90;

namespace {
struct _ruinsDuel {
    kbSpline gap, centre;
    _ruinsDuel()
    {
        gap.Key(0, {760, 0, 0}).Key(110, {540, 0, 0}).Key(230, {330, 0, 0}).Key(300, {250, 0, 0});
        for (int b : ctRuinsRound) {
            gap.Key((float)b - 8, {215, 0, 0}).Key((float)b, {150, 0, 0}).Key((float)b + 12, {112, 0, 0});
            gap.Key((float)b + 19, {150, 0, 0}).Key((float)b + 26, {108, 0, 0}).Key((float)b + 38, {250, 0, 0});
        }
        gap.Key(719, {260, 0, 0});
        centre.Key(0, {0, 0, 0}).Key(300, {80, 0, -60}).Key(500, {-60, 0, 40}).Key(719, {30, 0, 0});
    }
    float Turn(int f) const { return 0.4f + f * 0.0032f; }
    kbVec3 Mid(int f) const { return centre.At((float)f); }
    kbVec3 Dir(int f) const { return kbVec3(std::cos(Turn(f)), 0, std::sin(Turn(f))); }
    float Gap(int f) const { return gap.At((float)f).x; }
    kbVec3 Pos(int f, int side) const
    {
        kbVec3 p = Mid(f) + Dir(f) * (side == 0 ? -Gap(f) * 0.5f : Gap(f) * 0.5f);
        p.y = 95;
        return p;
    }
};
const _ruinsDuel &_duel()
{
    static const _ruinsDuel d;
    return d;
}
}  // namespace

// The camera beside the duel line: wide and high while the pair walks in, close for the fight.
static kbVec3 _ruinsEye(int f)
{
    const _ruinsDuel &d = _duel();
    float wide = 1 - _smooth(60, 280, (float)f);
    float t = d.Turn(f) + _pi / 2 + 0.4f * std::sin(f / 70.0f) + 0.9f * wide;
    float r = 0.7f * d.Gap(f) + 360 + 80 * std::cos(f / 55.0f) + 700 * wide;
    float y = 150 + 35 * std::sin(f / 41.0f) + 420 * wide;
    return d.Mid(f) + kbVec3(r * std::cos(t), y, r * std::sin(t));
}
static kbVec3 _ruinsTarget(int f) { return _duel().Mid(f) + kbVec3(0, 105, 0); }

kbVec3 ctRuinsBlastSpot(int aFrame, float aSide, int aStep)
{
    kbVec3 e = _ruinsEye(aFrame), t = _ruinsTarget(aFrame);
    kbVec3 fwd = t - e;
    fwd.y = 0;
    fwd = kbNormalize(fwd);
    kbVec3 right(-fwd.z, 0, fwd.x);
    return t + fwd * (420.0f + 150.0f * aStep) + right * (aSide * (170.0f + 70.0f * aStep)) + kbVec3(0, 30.0f + 45.0f * aStep, 0);
}

// Leaning away from a swing, and reeling from a blow.
static void _ruinsLean(kbRig *aRigP, int aAt, float aHow, int aBack)
{
    kbRig &r = *aRigP;
    r.Pose(CT_TORSO, aAt - 4, kbVec3(0.12f, 0, 0));
    r.Pose(CT_TORSO, aAt + 2, kbVec3(-aHow, 0.25f * aHow, 0));
    r.Pose(CT_TORSO, aAt + aBack, kbVec3(0.12f, 0, 0));
}

static kbRig _ruinsFighter(const ctFighterLook &aLook, int aSide)
{
    kbRig rig = ctFighterRig(aLook, _ruinsHeight);
    ctOnGuard(&rig);
    for (int k = 0; k < CT_RUINS_ROUNDS; k++) {
        int b = ctRuinsRound[k];
        bool attacker = k % 2 == aSide;
        // The exchanges are quick: cuts straight from the guard, short blocks.
        if (attacker) {
            ctCut(&rig, b + ctRuinsBeat[0], true, 7, 6);
            ctParry(&rig, b + ctRuinsBeat[1], 5, 5);
            ctCut(&rig, b + ctRuinsBeat[2], false, 7, 6);
        } else {
            _ruinsLean(&rig, b + ctRuinsBeat[0], 0.35f, 6);
            ctCut(&rig, b + ctRuinsBeat[1], true, 7, 6);
            _ruinsLean(&rig, b + ctRuinsBeat[2], 0.6f, 18);
        }
    }
    ctFootwork(&rig, 100000, 100000);
    rig[CT_HEAD].extra = [](int f) { return kbVec3(0.05f * std::sin(f * 0.05f), 0.1f * std::sin(f * 0.031f), 0); };
    return rig;
}

// A broken column: a shaft with a ragged top.
static kbMesh _brokenColumn(float aRadius, float aHeight, int aSlices, uint32_t aSeed)
{
    kbMesh m = kbMeshCylinder(aRadius, aHeight, aSlices, 4);
    for (_vertexDef &v : m.vertices)
        if (v.vy > aHeight * 0.45f)
            v.vy += (ctNoise3(kbVec3(v.vx, 0, v.vz) * (3.0f / aRadius), aSeed) - 0.5f) * aRadius * 1.6f;
    kbMeshTransform(&m, kbVec3(0, aHeight / 2, 0));
    kbMeshSmoothNormals(&m);
    return m;
}

ctScene ctDemoRuins(bool aLight)
{
    _quality q = _qualityOf(aLight);
    ctScene out = ctSceneOf(aLight, "22", "l16", "03.ksf", "l06.ksf");
    kbScene &sc = out.scene;
    ctTextures &tx = out.textures;
    kbSceneBegin(&sc, _ruinsFrames, 5.0f, 9000.0f, 0x180C14, 0x504060, 0.5f);
    kbSceneFog(&sc, 1800, 6000, 0x2A1418);

    // The pair's pictures are Game1's, the same bytes, so the package holds them once.
    std::string stoneT = tx.Add("g1_courtyard.bmp", kbTexStone(q.tex, 0x9C968A, 101));
    std::string robeAT = tx.Add("g1_robe_a.bmp", kbTexPaper(q.tex, 0x283C78, 105));
    std::string robeBT = tx.Add("g1_robe_b.bmp", kbTexPaper(q.tex, 0x8A2020, 106));
    std::string metalT = tx.Add("g1_steel.bmp", kbTexMetal(256, 0xC8CCD4, 107));
    std::string ruinT = tx.Add("d22_ruin.bmp", kbTexStone(q.tex, 0x6A625C, 2201));
    std::string skyT = tx.Add("d22_storm.bmp", kbTexSky(q.tex, 0x0A0610, 0x9A3A22, 2202));
    std::string panelT = tx.Add("d22_panels.bmp", kbTexLights(256, 0x40C8FF, 2203));
    std::string armorAT = tx.Add("d22_armor_a.bmp", kbTexHull(256, 0x3A4A70, 2204));
    std::string armorBT = tx.Add("d22_armor_b.bmp", kbTexHull(256, 0x6A2A28, 2205));
    std::string fireT = tx.Add("d22_fire.bmp", kbTexFire(128, 0.25f, 2206));

    // The arena floor, the ring of broken columns and the outer wall with its gaps.
    kbMesh floor = kbMeshPlane(3600, 3600, aLight ? 18 : 36, aLight ? 18 : 36, 7);
    kbAddShape(&sc, "ArenaFloor", kbBodyOf({kbSurfaceOf(floor, 0xC8C0B8, stoneT)}), -1, kbConstant(kbVec3()));
    kbAddShape(&sc, "StormSky", ctSkyDome(4200, aLight ? 16 : 24, skyT), -1, kbConstant(kbVec3()));
    {
        kbMesh cols, bands, rubble;
        kbRandom rnd(2207);
        int n = aLight ? 8 : 14;
        for (int i = 0; i < n; i++) {
            float a = _pi * 2 * i / n + 0.1f * std::sin(i * 3.0f);
            float h = 180 + (float)rnd.Below(520);
            kbMesh c = _brokenColumn(48, h, q.detail, 2208 + i);
            kbMeshTransform(&c, kbVec3(1050 * std::cos(a), 0, 1050 * std::sin(a)));
            kbMeshAppend(&cols, c);
            if (h > 300) {
                kbMesh band = kbMeshCylinder(50, 26, q.detail, 1, false);
                kbMeshTransform(&band, kbVec3(1050 * std::cos(a), 140, 1050 * std::sin(a)));
                kbMeshAppend(&bands, band);
            }
            // A fallen drum beside every third column.
            if (i % 3 == 0) {
                kbMesh d = kbMeshCylinder(46, 160, q.detail, 2);
                kbMeshTransform(&d, kbVec3(900 * std::cos(a + 0.12f), 46, 900 * std::sin(a + 0.12f)), kbVec3(_pi / 2, a, 0));
                kbMeshAppend(&cols, d);
            }
        }
        int blocks = aLight ? 14 : 40;
        for (int i = 0; i < blocks; i++) {
            float a = (float)rnd.Below(628) / 100.0f, r = 600 + (float)rnd.Below(900);
            float s = 20 + (float)rnd.Below(50);
            kbMesh b = kbMeshBox(kbVec3(s * 1.6f, s, s * 1.2f));
            kbMeshTransform(&b, kbVec3(r * std::cos(a), s * 0.4f, r * std::sin(a)), kbVec3(0.2f * (i % 3), a, 0.15f * (i % 2)));
            kbMeshAppend(&rubble, b);
        }
        kbSurface glow = kbSurfaceOf(bands, 0x000000, panelT);
        glow.emissive = kbColor(0xFFFFFF);
        kbAddShape(&sc, "RuinColumns", kbBodyOf({kbSurfaceOf(cols, 0xFFFFFF, ruinT), glow, kbSurfaceOf(rubble, 0xB0A8A0, ruinT)}), -1,
                   kbConstant(kbVec3()));
        kbMesh wall;
        int segs = aLight ? 14 : 28;
        for (int i = 0; i < segs; i++) {
            if (i % 7 == 3)
                continue;  // breaches
            float a = _pi * 2 * (i + 0.5f) / segs;
            float h = 250 + (float)rnd.Below(450);
            kbMesh w = kbMeshBox(kbVec3(2 * _pi * 1800 / segs + 10, h, 90), 2);
            for (_vertexDef &v : w.vertices)
                if (v.vy > 0)
                    v.vy += (ctNoise3(kbVec3(v.vx, v.vz, (float)i) * 0.02f, 2230) - 0.5f) * 160;
            kbMeshTransform(&w, kbVec3(0, h / 2, 1800));
            kbMeshTransform(&w, kbVec3(), kbVec3(0, _pi / 2 - a, 0));
            kbMeshAppend(&wall, w);
        }
        kbAddShape(&sc, "ArenaWall", kbBodyOf({kbSurfaceOf(wall, 0xFFFFFF, ruinT)}), -1, kbConstant(kbVec3()));
    }
    // Fires burning in the rubble: crossed glow cards that flicker.
    {
        auto fire = _glowCard(150, 220, fireT, 0xFFB070);
        int n = aLight ? 3 : 6;
        for (int i = 0; i < n; i++) {
            float a = _pi * 2 * i / n + 0.5f;
            kbVec3 p(820 * std::cos(a), 100, 820 * std::sin(a));
            for (int k = 0; k < 2; k++)
                kbAddShape(&sc, "RuinFire", fire, -1, kbConstant(p), kbConstant(kbVec3(0, k * _pi / 2 + a, 0)),
                           [i](int f) { return kbVec3(1, 1 + 0.15f * std::sin(f * 0.4f + i), 1); });
            kbAddLight(&sc, kbLightPoint(p, 0xFF8040, 0.9f, 900));
        }
    }

    // The fighters in Game1's looks, with armour plates and lit visors.
    const _ruinsDuel &duel = _duel();
    ctFighterLook lookA{"A_", 0x2A3C70, 0x181818, 0xE8C8A8, robeAT, q.detail};
    ctFighterLook lookB{"B_", 0x802828, 0x2A2020, 0xD8B090, robeBT, q.detail};
    for (int side = 0; side < 2; side++) {
        kbRig rig = _ruinsFighter(side ? lookB : lookA, side);
        kbCurve trans = [side](int f) { return _duel().Pos(f, side); };
        kbCurve angle = [side](int f) {
            kbVec3 d = _duel().Pos(f, 1 - side) - _duel().Pos(f, side);
            return kbVec3(0, kbAimAngles(d).y, 0);
        };
        std::vector<int> shapes = rig.Place(&sc, -1, trans, angle);
        std::string p = side ? "B_" : "A_";
        const std::string &armorT = side ? armorBT : armorAT;
        float h = _ruinsHeight;
        kbMesh pad = kbMeshSphere(h * 0.06f, q.detail, q.detail / 2 + 1);
        kbMeshTransform(&pad, kbVec3(), kbVec3(), kbVec3(1.1f, 0.7f, 1.1f));
        auto padB = kbBodyOf({kbSurfaceOf(pad, 0xFFFFFF, armorT)});
        kbAddShape(&sc, p + "Pauldron", padB, shapes[CT_UARM_R], kbConstant(kbVec3(0, h * 0.01f, 0)));
        kbAddShape(&sc, p + "Pauldron", padB, shapes[CT_UARM_L], kbConstant(kbVec3(0, h * 0.01f, 0)));
        kbMesh chest = kbMeshLathe({{h * 0.11f, h * 0.08f}, {h * 0.135f, h * 0.17f}, {h * 0.125f, h * 0.25f}, {h * 0.06f, h * 0.28f}},
                                   q.detail);
        kbMeshTransform(&chest, kbVec3(), kbVec3(), kbVec3(1.2f, 1, 0.8f));
        kbSurface chestS = kbSurfaceOf(chest, 0xFFFFFF, armorT);
        chestS.specular = 0.7f;
        kbAddShape(&sc, p + "Cuirass", kbBodyOf({chestS}), shapes[CT_TORSO], kbConstant(kbVec3()));
        kbMesh visor = kbMeshCylinder(h * 0.066f, h * 0.018f, q.detail, 1, false);
        kbSurface visorS = kbSurfaceOf(visor, 0x000000);
        visorS.emissive = kbColor(side ? 0xFF5030 : 0x40E0FF);
        kbAddShape(&sc, p + "Visor", kbBodyOf({visorS}), shapes[CT_HEAD], kbConstant(kbVec3(0, h * 0.085f, h * 0.004f)));
        int sword = kbAddShape(&sc, p + "Sword", ctSwordBody(_ruinsSword, metalT), shapes[CT_FARM_R], kbConstant(ctHand(_ruinsHeight)),
                               kbConstant(kbVec3(0.1f, 0, 0)));
        std::string n = std::to_string(side + 1);
        kbAddShape(&sc, "s_img" + n, nullptr, sword, kbConstant(kbVec3(0, _ruinsSword * 0.04f, _ruinsSword * 1.18f)));
        kbAddShape(&sc, "e_img" + n, nullptr, sword, kbConstant(kbVec3(0, 0, _ruinsSword * 0.2f)));
    }
    (void)duel;

    kbAddCamera(&sc, _ruinsEye, _ruinsTarget, 0.9f);
    kbAddLight(&sc, kbLightDirectional(kbVec3(0.4f, -0.7f, 0.55f), 0x8090D0, 0.55f));
    kbAddLight(&sc, kbLightDirectional(kbVec3(-0.6f, -0.2f, -0.7f), 0xFF7040, 0.5f));
    kbSceneCount(&sc);
    return out;
}

// ---------------------------------------------------------------------------------------------
// 26: the ending. Sunset over a shrine court: the masked lord walks in and kneels, a thrown star
// flies past and round him, his mask lifts from his face and drifts up into the evening, the star
// bites into a post, and the camera draws back on the still picture while the music fades.
// Metres; the gravel is y = 0.

static const int _endFrames = 540;

ctScene ctDemoEnding()
{
    _quality q = _qualityOf(false);
    ctScene out;
    out.number = "26";
    out.package = "08.ksf";
    kbScene &sc = out.scene;
    ctTextures &tx = out.textures;
    kbSceneBegin(&sc, _endFrames, 0.05f, 400.0f, 0xE89060, 0x906050, 0.6f);
    kbSceneFog(&sc, 40, 200, 0xD08860);

    std::string skyT = tx.Add("d26_sunset.bmp", kbTexSky(512, 0x3A2A5A, 0xF8A050, 2601));
    std::string gravelT = tx.Add("d26_gravel.bmp", kbTexGround(512, 0xB8A890, 2602));
    std::string pathT = tx.Add("d26_flags.bmp", kbTexStone(256, 0xA09888, 2603));
    std::string woodT = tx.Add("d26_pillar.bmp", kbTexWood(256, 0xA8402A, 2604));
    std::string roofT = tx.Add("d26_roof.bmp", kbTexWood(256, 0x3A3230, 2605));
    std::string lordT = tx.Add("d26_lord.bmp", kbTexHull(512, 0x6A4474, 2606));
    std::string maskT = tx.Add("d26_mask.bmp", kbTexPaper(256, 0xE8E0D0, 2607));
    std::string steelT = tx.Add("d26_steel.bmp", kbTexMetal(128, 0xC8CCD4, 2608));
    std::string barkT = tx.Add("d26_bark.bmp", kbTexWood(128, 0x4A3428, 2609));
    std::string mapleT = tx.Add("d26_maple.bmp", kbTexGround(256, 0xD05A28, 2610));
    std::string sunT = tx.Add("d26_sun.bmp", kbPictureGlow(128, 128, kbRgb(255, 190, 120)));

    // The court, the path to the hall and the hall itself.
    kbMesh court = kbMeshPlane(160, 160, 24, 24, 40);
    kbAddShape(&sc, "Gravel", kbBodyOf({kbSurfaceOf(court, 0xFFFFFF, gravelT)}), -1, kbConstant(kbVec3()));
    {
        kbMesh path;
        for (int i = 0; i < 9; i++) {
            kbMesh s = kbMeshBox(kbVec3(1.6f, 0.06f, 0.9f), 1);
            kbMeshTransform(&s, kbVec3(0.05f * std::sin(i * 1.7f), 0.03f, 4.5f - i * 1.05f), kbVec3(0, 0.05f * std::sin(i * 2.3f), 0));
            kbMeshAppend(&path, s);
        }
        kbAddShape(&sc, "StonePath", kbBodyOf({kbSurfaceOf(path, 0xFFFFFF, pathT)}), -1, kbConstant(kbVec3()));
    }
    {
        kbMesh deck = kbMeshBox(kbVec3(7.0f, 0.6f, 4.0f), 4);
        kbMeshTransform(&deck, kbVec3(0, 0.3f, -6.6f));
        kbMesh posts;
        for (int i = 0; i < 4; i++)
            for (int row = 0; row < 2; row++) {
                kbMesh p = kbMeshCylinder(0.13f, 3.4f, q.detail, 3);
                kbMeshTransform(&p, kbVec3(-3.0f + i * 2.0f, 0.6f + 1.7f, -4.8f - row * 3.4f));
                kbMeshAppend(&posts, p);
            }
        kbMesh beam = kbMeshBox(kbVec3(7.4f, 0.3f, 0.3f), 4);
        kbMeshTransform(&beam, kbVec3(0, 3.9f, -4.8f));
        kbMeshAppend(&posts, beam);
        kbMesh back = kbMeshBox(kbVec3(6.4f, 3.0f, 0.1f), 4);
        kbMeshTransform(&back, kbVec3(0, 2.1f, -8.1f));
        std::vector<kbVec3> ridge;
        for (int i = 0; i <= 8; i++) {
            float t = i / 8.0f * 2 - 1;
            ridge.push_back(kbVec3(t * 5.0f, 4.1f + 0.35f * t * t, -6.5f));
        }
        kbMesh roof = kbMeshExtrude({{-2.8f, 0}, {2.8f, 0}, {0.3f, 1.5f}, {-0.3f, 1.5f}}, ridge, {}, kbVec3(0, 1, 0));
        kbSurface roofS = kbSurfaceOf(roof, 0xFFFFFF, roofT);
        roofS.twoSided = true;
        kbAddShape(&sc, "ShrineHall", kbBodyOf({kbSurfaceOf(deck, 0xFFFFFF, roofT), kbSurfaceOf(posts, 0xFFFFFF, woodT),
                                                kbSurfaceOf(back, 0xE8D8B0), roofS}),
                   -1, kbConstant(kbVec3()));
    }
    auto lantern = ctLanternBody(1.5f, q.detail, pathT);
    for (int s = -1; s <= 1; s += 2) {
        kbAddShape(&sc, "CourtLantern", lantern, -1, kbConstant(kbVec3(s * 2.3f, 0, 0.5f)));
        kbAddLight(&sc, kbLightPoint(kbVec3(s * 2.3f, 1.0f, 0.5f), 0xFFA050, 0.7f, 5.0f));
    }
    auto maple = ctTreeBody(6.0f, q.detail, barkT, mapleT);
    for (int i = 0; i < 8; i++) {
        float x = (i % 2 ? 1 : -1) * (6.5f + 2.5f * (i / 2 % 2)), z = 3.0f - i * 2.2f;
        kbAddShape(&sc, "CourtMaple", maple, -1, kbConstant(kbVec3(x, 0, z)), kbConstant(kbVec3(0, i * 1.3f, 0)),
                   kbConstant(kbVec3(1, 0.8f + 0.08f * (i % 3), 1)));
    }
    kbAddShape(&sc, "SunsetSky", ctSkyDome(150, 24, skyT), -1, kbConstant(kbVec3()));
    kbAddShape(&sc, "SettingSun", _glowCard(60, 60, sunT, 0xFFD0A0), -1, kbConstant(kbVec3(-15, 12, -120)));

    // Leaves drifting down through the whole scene.
    {
        kbMesh leaf = kbMeshSlab({{0, 0.06f}, {0.05f, 0.0f}, {0, -0.06f}, {-0.05f, 0.0f}}, 0.004f);
        kbSurface s = kbSurfaceOf(leaf, 0xE06030);
        s.twoSided = true;
        auto leafB = kbBodyOf({s});
        for (int i = 0; i < 24; i++) {
            float x0 = -4 + (i * 37 % 80) / 10.0f, z0 = 3 - (i * 53 % 90) / 10.0f, ph = i * 0.7f;
            int period = 300 + (i * 29) % 160;
            kbAddShape(&sc, "MapleLeaf", leafB, -1,
                       [x0, z0, ph, period](int f) {
                           float t = (float)((f + (int)(ph * 100)) % period) / period;
                           return kbVec3(x0 + 0.5f * std::sin(f * 0.03f + ph), 5.0f - 5.0f * t, z0 + 0.4f * std::cos(f * 0.025f + ph));
                       },
                       [ph](int f) { return kbVec3(f * 0.05f + ph, f * 0.03f, 0.6f * std::sin(f * 0.04f + ph)); });
        }
    }

    // The lord walks up the path, kneels as the bell sounds (241) and bows.
    ctFighterLook lordLook{"Lord", 0x4A2A50, 0x302018, 0xC8A888, lordT, q.detail};
    kbRig lord = ctFighterRig(lordLook, 2.3f);
    lord.Pose(CT_UARM_R, 0, kbVec3(-0.2f, 0, -0.25f));
    lord.Pose(CT_UARM_L, 0, kbVec3(-0.2f, 0, 0.25f));
    lord.Pose(CT_TORSO, 0, kbVec3(0.05f, 0, 0));
    for (int leg = 0; leg < 2; leg++) {
        float ph = leg ? _pi : 0;
        lord[leg ? CT_THIGH_L : CT_THIGH_R].extra = [ph](int f) {
            float k = 1 - _smooth(190, 215, (float)f);
            return kbVec3(k * 0.3f * std::sin(f * 0.16f + ph), 0, 0);
        };
    }
    lord.Pose(CT_THIGH_R, 215, kbVec3(0, 0, 0));
    lord.Pose(CT_THIGH_R, 241, kbVec3(-1.5f, 0, 0));
    lord.Pose(CT_SHIN_R, 215, kbVec3(0, 0, 0));
    lord.Pose(CT_SHIN_R, 241, kbVec3(1.5f, 0, 0));
    lord.Pose(CT_THIGH_L, 215, kbVec3(0, 0, 0));
    lord.Pose(CT_THIGH_L, 241, kbVec3(0.2f, 0, 0));
    lord.Pose(CT_SHIN_L, 215, kbVec3(0, 0, 0));
    lord.Pose(CT_SHIN_L, 241, kbVec3(1.6f, 0, 0));
    lord.Pose(CT_TORSO, 241, kbVec3(0.1f, 0, 0));
    lord.Pose(CT_TORSO, 330, kbVec3(0.35f, 0, 0));
    lord.Pose(CT_TORSO, 480, kbVec3(0.55f, 0, 0));
    lord.Pose(CT_UARM_R, 241, kbVec3(-0.2f, 0, -0.25f));
    lord.Pose(CT_UARM_R, 300, kbVec3(-0.5f, 0, -0.1f));
    lord.Pose(CT_UARM_L, 241, kbVec3(-0.2f, 0, 0.25f));
    lord.Pose(CT_UARM_L, 300, kbVec3(-0.5f, 0, 0.1f));
    lord[CT_HIPS].name = "Boss02";
    kbSpline walk{{0, {0.1f, 0, 5.5f}}, {120, {0.0f, 0, 3.0f}}, {215, {-0.05f, 0, 1.0f}}, {539, {-0.05f, 0, 1.0f}}};
    kbCurve lordTrans = [walk](int f) {
        kbVec3 p = walk.At((float)f);
        p.y = 1.25f - 0.5f * _smooth(215, 241, (float)f) + 0.02f * std::sin(f * 0.32f) * (1 - _smooth(190, 215, (float)f));
        return p;
    };
    kbCurve lordAngle = [](int f) { return kbVec3(0, _pi + 0.1f * std::sin(f / 80.0f) * (1 - _smooth(215, 260, (float)f)), 0); };
    std::vector<int> lordShapes = lord.Place(&sc, -1, lordTrans, lordAngle);
    (void)lordShapes;

    // The mask leaves his face and drifts up past the sun (394) to hang over the court.
    {
        kbSurface face = ctMaskFace(0.22f, q.detail, q.detail / 2, maskT);
        face.emissive = kbColor(0x302820);
        auto maskBody = kbBodyOf({face, ctMaskHorns(8, kbVec3(0.11f, 0.15f, 0.09f), 0.75f)});
        kbSpline flight{{300, {0, 0, 0}},           {317, {0.1f, 0.5f, 0.4f}},  {360, {0.9f, 1.6f, 0.2f}},
                        {394, {0.3f, 2.6f, -1.0f}}, {440, {-0.8f, 3.0f, -0.4f}}, {500, {-0.3f, 3.2f, 0.5f}},
                        {539, {0.1f, 3.25f, 0.6f}}};
        kbCurve face0 = [lordTrans](int f) {
            kbVec3 p = lordTrans(f);
            // The face sits in front of the head; the bow tips it forward.
            float bow = 0.05f + 0.5f * _smooth(241, 480, (float)f);
            return p + kbVec3(0, 0.9f - 0.35f * bow, -0.12f - 0.6f * bow);
        };
        kbCurve maskTrans = [face0, flight](int f) {
            kbVec3 base = face0(std::min(f, 300));
            return f < 300 ? face0(f) : base + flight.At((float)f);
        };
        kbCurve maskAngle = [](int f) {
            float turn = _smooth(300, 394, (float)f);
            // From facing the hall with the lord to facing the court.
            return kbVec3(0.2f - 0.5f * turn, _pi * (1 - turn) + 0.4f * std::sin(f * 0.015f) * turn, 0.25f * std::sin(f * 0.03f) * turn);
        };
        kbAddShape(&sc, "HanMen", maskBody, -1, maskTrans, maskAngle);
    }

    // The star: flung from behind the camera at 140, it whips past (165), circles the lord and
    // bites into the hall's right front post (470).
    {
        kbSpline path{{140, {5.0f, 1.9f, 9.0f}},   {165, {1.3f, 1.7f, 3.6f}},  {220, {-1.6f, 1.8f, 0.2f}}, {290, {-1.2f, 2.1f, -2.6f}},
                      {350, {1.2f, 2.3f, -2.4f}}, {420, {2.3f, 1.9f, -0.6f}}, {470, {0.87f, 1.7f, -4.66f}}};
        kbCurve trans = [path](int f) { return path.At((float)std::max(140, std::min(f, 470))); };
        kbCurve spin = [](int f) { return kbVec3(_pi / 2 - 0.2f, 0, (float)(std::max(140, std::min(f, 470)) - 140) * 0.7f); };
        kbAddShape(&sc, "Shuriken01", ctShurikenBody(steelT), -1, trans, spin);
    }

    // The camera: a slow approach behind the lord, round to his face, up with the mask, then
    // back for the last still picture.
    kbSpline eye{{0, {2.6f, 2.2f, 9.5f}},    {140, {2.2f, 1.8f, 6.2f}}, {241, {1.6f, 1.5f, 3.6f}}, {317, {1.4f, 1.2f, -2.4f}},
                 {394, {1.9f, 1.2f, -1.2f}}, {470, {2.0f, 1.9f, -1.5f}}, {539, {3.6f, 3.0f, 7.5f}}};
    kbSpline look{{0, {0, 1.4f, 3.0f}},      {140, {0, 1.5f, 1.8f}},   {241, {0, 1.2f, 0.8f}},  {317, {0, 1.8f, 0.8f}},
                  {394, {0.3f, 2.6f, 0.5f}}, {470, {0.9f, 2.0f, -3.0f}}, {539, {0.2f, 1.9f, -2.0f}}};
    kbAddCamera(&sc, kbCurveOf(eye), kbCurveOf(look), 0.9f);
    kbAddLight(&sc, kbLightDirectional(kbVec3(0.15f, -0.35f, 0.9f), 0xFFB070, 1.0f));
    kbAddLight(&sc, kbLightDirectional(kbVec3(-0.4f, -0.5f, -0.7f), 0x6050A0, 0.45f));
    // The glow of the sky behind the camera: the sun is ahead of the lord, and without it he is a
    // silhouette through the whole approach.
    kbAddLight(&sc, kbLightDirectional(kbVec3(0.25f, -0.3f, -0.9f), 0xE0A080, 0.6f));
    kbSceneCount(&sc);
    return out;
}

void ctDemoWaterEnd(std::vector<ctScene> *aOutP)
{
    aOutP->push_back(ctDemoDawn(false));
    aOutP->push_back(ctDemoPool(false));
    aOutP->push_back(ctDemoRuins(false));
    aOutP->push_back(ctDemoEnding());
    aOutP->push_back(ctDemoDawn(true));
    aOutP->push_back(ctDemoPool(true));
    aOutP->push_back(ctDemoRuins(true));
}
