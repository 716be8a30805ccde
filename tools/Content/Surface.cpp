// The Surface: a garden pool seen from its edge, koi turning under the water. Shape 0 is the
// pool itself: the water sheet is laid 0.75 above its origin, centred on it.

#include <cmath>

#include "Content.h"
#include "KbPicture.h"

static const float _pi = 3.14159265358979f;
static const int _frames = 1050;

// The pool basin: a tiled floor at y = 0, walls rising past the water to the stone rim at 0.95.
static std::shared_ptr<kbShapeBody> _basin(const std::string &aTileT, const std::string &aDeckT)
{
    const ctPoolLook look = {2.72f, 0.95f, -0.055f, 0.055f,  // opening, rim, centre
                             20,    4,     16,      4,      1,  // floor and wall tiles
                             6.5f,  2,     2.5f,    2.5f,       // flagstones
                             0.5f,  0.12f, 0.25f,   0.12f,  4};  // the stone lip, part of the deck
    ctPoolMeshes m = ctPoolBasin(look);
    kbMeshAppend(&m.deck, m.lip);
    return kbBodyOf({kbSurfaceOf(m.floor, 0xFFFFFF, aTileT), kbSurfaceOf(m.walls, 0xD0D8E0, aTileT), kbSurfaceOf(m.deck, 0xFFFFFF, aDeckT)});
}

// A koi: a lathe body with fins; the tail is its own part so it can beat.
static void _koi(kbScene *aSceneP, int aIndex, const std::shared_ptr<kbShapeBody> &aBody,
                 const std::shared_ptr<kbShapeBody> &aTail)
{
    float r = 1.1f + 0.35f * (aIndex % 3), speed = 0.006f + 0.0015f * aIndex, ph = aIndex * 1.7f;
    float depth = 0.25f + 0.07f * (aIndex % 4);
    bool ccw = aIndex % 2;
    kbCurve path = [r, speed, ph, depth, ccw](int f) {
        float a = (ccw ? 1 : -1) * f * speed + ph;
        float wob = 0.35f * std::sin(f * 0.011f + ph * 2);
        return kbVec3(-0.055f + (r + wob) * std::cos(a), depth + 0.05f * std::sin(f * 0.02f + ph), 0.055f + (r + wob) * 0.85f * std::sin(a));
    };
    kbCurve aim = [path](int f) { return kbAimAngles(path(f + 1) - path(f - 1)); };
    int body = kbAddShape(aSceneP, "Koi", aBody, -1, path, aim);
    kbAddShape(aSceneP, "KoiTail", aTail, body, kbConstant(kbVec3(0, 0, -0.2f)),
               [ph](int f) { return kbVec3(0, 0.45f * std::sin(f * 0.25f + ph), 0); });
}

ctScene ctSurface()
{
    ctScene out;
    out.number = "19";
    kbScene &sc = out.scene;
    ctTextures &tx = out.textures;
    kbSceneBegin(&sc, _frames, 0.1f, 120.0f, 0x7FA8D8, 0x8090A0, 0.6f);
    kbSceneFog(&sc, 25, 90, 0x9DB8D8);

    std::string tileT = tx.Add("w_pool_tiles.bmp", kbPictureTiles(512, 512, 32, 32, kbRgb(70, 150, 170), 1901));
    std::string deckT = tx.Add("w_deck.bmp", kbTexStone(512, 0xB4AC9C, 1902));
    std::string grassT = tx.Add("w_grass.bmp", kbTexGround(512, 0x5A7A40, 1903));
    std::string koiT = tx.Add("w_koi.bmp", kbTexPaper(256, 0xF07030, 1904));
    std::string barkT = tx.Add("w_bark.bmp", kbTexWood(256, 0x5A4030, 1905));
    std::string leafT = tx.Add("w_leaves.bmp", kbTexGround(256, 0x44702E, 1906));
    // The sky the water reflects.
    std::string skyT = tx.Add("se152.bmp", kbTexSky(256, 0x3A70C0, 0xC8DCF0, 1907));

    // Shape 0: the pool, a root shape on its base pose.
    kbAddShape(&sc, "Pool", _basin(tileT, deckT), -1, kbConstant(kbVec3()));

    // The garden: lawn, pines, lanterns, a low stone wall, under a dome of the same sky.
    auto ground = [](float x, float z) {
        float r = std::sqrt(x * x + z * z);
        return 0.93f + std::max(0.0f, r - 8) * 0.08f * (0.5f + kbFbm(x / 80 + 0.5f, z / 80 + 0.5f, 4, 3, 19));
    };
    kbMesh lawn = kbMeshTerrain(80, 80, 30, 30, ground, 20);
    // Cut the lawn away over the deck.
    kbMesh cut;
    cut.vertices = lawn.vertices;
    for (size_t t = 0; t + 2 < lawn.indices.size(); t += 3) {
        bool inside = true;
        for (int k = 0; k < 3; k++) {
            const _vertexDef &v = lawn.vertices[lawn.indices[t + k]];
            inside = inside && std::fabs(v.vx) < 6.4f && std::fabs(v.vz) < 6.4f;
        }
        if (!inside)
            cut.indices.insert(cut.indices.end(), {lawn.indices[t], lawn.indices[t + 1], lawn.indices[t + 2]});
    }
    kbAddShape(&sc, "Lawn", kbBodyOf({kbSurfaceOf(cut, 0xFFFFFF, grassT)}), -1, kbConstant(kbVec3()));
    auto tree = ctTreeBody(6.0f, 12, barkT, leafT);
    for (int i = 0; i < 10; i++) {
        float a = _pi * 2 * i / 10 + 0.3f * std::sin(i * 3.1f), r = 10 + 4 * std::sin(i * 1.3f);
        kbVec3 p(r * std::cos(a), 0, r * std::sin(a));
        p.y = ground(p.x, p.z) - 0.05f;
        kbAddShape(&sc, "GardenPine", tree, -1, kbConstant(p), kbConstant(kbVec3(0, i * 0.9f, 0)),
                   kbConstant(kbVec3(1, 0.8f + 0.06f * (i % 4), 1)));
    }
    auto lantern = ctLanternBody(1.3f, 12, deckT);
    for (int i = 0; i < 4; i++) {
        // At the deck's corners, clear of the camera's circle.
        float x = i % 2 ? 5.9f : -5.9f, z = i / 2 ? 5.9f : -5.9f;
        kbAddShape(&sc, "PoolLantern", lantern, -1, kbConstant(kbVec3(x, 0.95f, z)));
    }
    {
        std::vector<kbPoint2> p;
        for (int i = 0; i <= 10; i++) {
            float a = _pi / 2 * i / 10;
            p.push_back({60 * std::cos(a), 60 * std::sin(a) * 0.6f - 2});
        }
        p.back().a = 0;
        kbMesh dome = kbMeshLathe(p, 24);
        for (_vertexDef &v : dome.vertices) {
            v.nx = -v.nx, v.ny = -v.ny, v.nz = -v.nz;
            v.u0 = v.u1 = 0.5f + v.vx / 130, v.v0 = v.v1 = 0.5f + v.vz / 130;
        }
        kbMeshOrient(&dome);
        kbSurface s = kbSurfaceOf(dome, 0x000000, skyT);
        s.emissive = kbColor(0xFFFFFF);
        kbAddShape(&sc, "SkyDome", kbBodyOf({s}), -1, kbConstant(kbVec3()));
    }

    // Koi.
    {
        kbMesh body = kbMeshLathe({{0, 0.22f}, {0.03f, 0.2f}, {0.055f, 0.12f}, {0.06f, 0.02f}, {0.045f, -0.1f}, {0.02f, -0.18f}, {0, -0.2f}}, 12);
        kbMeshTransform(&body, kbVec3(), kbVec3(_pi / 2, 0, 0), kbVec3(0.85f, 1, 1));
        kbMesh fins = kbMeshSlab({{0.0f, 0.06f}, {0.12f, -0.02f}, {0.0f, -0.03f}}, 0.004f);
        kbMesh fin2 = fins;
        kbMeshTransform(&fin2, kbVec3(), kbVec3(), kbVec3(-1, 1, 1));
        kbMeshAppend(&fins, fin2);
        kbMeshTransform(&fins, kbVec3(0, -0.02f, 0.05f));
        kbSurface finS = kbSurfaceOf(fins, 0xF8E8E0);
        finS.twoSided = true;
        kbMesh tail = kbMeshSlab({{0, 0.02f}, {0.08f, -0.14f}, {0, -0.09f}, {-0.08f, -0.14f}}, 0.004f);
        kbMeshTransform(&tail, kbVec3(), kbVec3(0, 0, _pi / 2));
        kbSurface tailS = kbSurfaceOf(tail, 0xF08040);
        tailS.twoSided = true;
        auto koiBody = kbBodyOf({kbSurfaceOf(body, 0xFFFFFF, koiT), finS});
        auto koiTail = kbBodyOf({tailS});
        for (int i = 0; i < 7; i++)
            _koi(&sc, i, koiBody, koiTail);
    }

    // The camera circles the pool's edge, looking down through the water.
    kbCurve eye = [](int f) {
        float a = 0.6f + f * 0.0035f;
        float r = 5.6f + 0.8f * std::sin(f / 120.0f);
        return kbVec3(r * std::cos(a), 3.0f + 0.7f * std::sin(f / 90.0f), r * std::sin(a));
    };
    kbCurve look = [](int f) { return kbVec3(0.4f * std::sin(f / 100.0f), 0.5f, 0.4f * std::cos(f / 130.0f)); };
    kbAddCamera(&sc, eye, look, 0.95f);
    kbAddLight(&sc, kbLightDirectional(kbVec3(-0.4f, -0.8f, 0.45f), 0xFFF4E0, 1.0f));
    kbAddLight(&sc, kbLightDirectional(kbVec3(0.5f, -0.3f, -0.6f), 0x6080B0, 0.4f));
    kbSceneCount(&sc);
    return out;
}
