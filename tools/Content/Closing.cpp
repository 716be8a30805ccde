// The 2D test's scene (its callback draws the whole screen, so the scene is only a clock) and
// the closing scene, whose textures are loose packed images because no image package is
// registered when it plays.

#include <cmath>

#include "Content.h"
#include "KbPicture.h"

static const float _pi = 3.14159265358979f;

// The 2D test's background: a detailed picture, so the lenses bending it show.
static kbImage _siro()
{
    kbImage img = kbImageMake(640, 480);
    for (int y = 0; y < 480; y++)
        for (int x = 0; x < 640; x++) {
            float u = x / 640.0f, v = y / 480.0f;
            uint32_t c = kbMixColor(kbRgb(30, 50, 120), kbRgb(250, 170, 110), std::pow(v / 0.62f, 1.6f));
            float cloud = kbFbm(u, v * 0.5f, 6, 5, 2101);
            if (v < 0.62f)
                c = kbMixColor(c, kbRgb(255, 230, 220), std::max(0.0f, cloud - 0.5f) * 1.6f);
            // The sun low over the hills.
            float d = std::hypot((u - 0.68f) * 1.33f, v - 0.5f);
            c = kbMixColor(c, kbRgb(255, 240, 200), std::max(0.0f, 1 - d * 9));
            // Three ridges of hills, nearer ones darker.
            for (int r = 0; r < 3; r++) {
                float h = 0.5f + r * 0.06f + 0.08f * (kbFbm(u, 0.3f * r + 0.1f, 4 + r * 2, 4, 2102 + r) - 0.5f);
                if (v > h)
                    c = kbMixColor(kbRgb(90 - r * 25, 70 - r * 15, 120 - r * 30), kbRgb(30, 30, 40), v - h);
            }
            // The lake with the sky's checker of reflections and rice terraces at the front.
            if (v > 0.7f) {
                float w = kbFbm(u * 4, (v - 0.7f) * 8, 8, 3, 2105);
                c = kbMixColor(kbRgb(40, 70, 120), kbRgb(240, 160, 110), (1 - (v - 0.7f) / 0.3f) * 0.7f * w);
                if (v > 0.86f) {
                    int row = (int)((v - 0.86f) * 60);
                    float stripe = std::fmod(u * (8 + row * 3) + row * 0.37f, 1.0f);
                    c = stripe < 0.08f ? kbRgb(60, 40, 20) : kbMixColor(kbRgb(70, 140, 50), kbRgb(150, 190, 70), kbNoise(u, v, 64, row));
                }
            }
            img.pixels[y * 640 + x] = c;
        }
    kbDrawText(&img, 22, 20, 40, 0xFFFFFF, "KESTREL");
    kbDrawText(&img, 24, 64, 18, 0xF0E0C0, "2D Graphics");
    // A pagoda silhouette on the ridge.
    for (int t = 0; t < 5; t++) {
        int w = 60 - t * 10, y = 300 - t * 22, x0 = 180 - w / 2;
        kbFillRect(&img, x0, y, x0 + w, y + 6, 0x201820);
        kbFillRect(&img, x0 + 8, y + 6, x0 + w - 8, y + 22, 0x302428);
    }
    return img;
}

ctScene ctEmpty2d()
{
    ctScene out;
    out.number = "21";
    // Only its length counts: 30 seconds.
    kbSceneBegin(&out.scene, 900, 1.0f, 1000.0f, 0x000000, 0x000000, 0.0f);
    out.textures.Add("siro.bmp", _siro());
    return out;
}

ctScene ctClosing(std::vector<std::pair<std::string, kbBytes>> *aLooseP)
{
    ctScene out;
    out.number = "27";
    kbScene &sc = out.scene;
    kbSceneBegin(&sc, 330, 0.5f, 800.0f, 0x06080E, 0x404860, 0.5f);
    kbSceneFog(&sc, 80, 300, 0x06080E);

    // The six packed pictures: both depths in each of the three packings.
    struct _ksm {
        const char *name;
        int depth, compress;
        kbImage image;
    };
    kbImage floorI = kbTexStone(256, 0x7C8090, 2701);
    kbImage metalI = kbTexHull(256, 0x9098A8, 2702);
    kbImage woodI = kbTexWood(256, 0x70482C, 2703);
    kbImage tileI = kbPictureIndexed(256, 256, 64, 2704);
    kbImage patI = kbPictureIndexed(128, 128, 16, 2705);
    kbImage bandI = kbPictureIndexed(256, 128, 200, 2706);
    std::vector<_ksm> ksms = {{"c27_floor.ksm", 24, KB_KSM_SLIDE, floorI},   {"c27_metal.ksm", 24, KB_KSM_RUNLENGTH, metalI},
                              {"c27_wood.ksm", 24, KB_KSM_STORED, woodI},    {"c27_tiles.ksm", 8, KB_KSM_SLIDE, tileI},
                              {"c27_pattern.ksm", 8, KB_KSM_RUNLENGTH, patI}, {"c27_band.ksm", 8, KB_KSM_STORED, bandI}};
    std::vector<std::string> names;
    for (_ksm &k : ksms) {
        kbBytes bytes;
        std::string err;
        if (k.depth == 8 && k.image.palette.empty())
            kbImageIndex(&k.image);
        if (!kbKsmWrite(k.image, k.depth, k.compress, k.name, &bytes, &err))
            continue;
        aLooseP->push_back(std::make_pair(std::string("Data/Ksm/") + k.name, bytes));
        names.push_back(std::string("Data\\Ksm\\") + k.name);
        out.textures.images[kbKsfName(names.back())] = k.image;
        out.textures.bytes += (double)k.image.width * k.image.height * 2;
    }
    auto tex = [&](size_t i) { return i < names.size() ? names[i] : std::string(); };

    // A round stage: the floor, a ring of pillars, and in the middle a slowly turning monument of
    // six panels around a metal spire.
    kbMesh floor = kbMeshLathe({{0, 0}, {40, 0}, {42, -1}}, 48, 8);
    for (_vertexDef &v : floor.vertices)
        v.u0 = v.u1 = v.vx / 10, v.v0 = v.v1 = v.vz / 10;
    kbAddShape(&sc, "Stage", kbBodyOf({kbSurfaceOf(floor, 0xFFFFFF, tex(0))}), -1, kbConstant(kbVec3()));
    auto pillar = kbBodyOf({kbSurfaceOf(kbMeshCylinder(0.8f, 14, 16, 4), 0xFFFFFF, tex(2))});
    for (int i = 0; i < 12; i++) {
        float a = _pi * 2 * i / 12;
        kbAddShape(&sc, "Pillar", pillar, -1, kbConstant(kbVec3(30 * std::cos(a), 7, 30 * std::sin(a))));
    }
    kbMesh spire = kbMeshLathe({{0, 0}, {2.5f, 0}, {2.2f, 1}, {1.2f, 2}, {0.9f, 9}, {1.4f, 10}, {0.3f, 14}, {0, 15}}, 24);
    kbSurface spireS = kbSurfaceOf(spire, 0xFFFFFF, tex(1));
    spireS.specular = 0.8f;
    int centre = kbAddShape(&sc, "Monument", kbBodyOf({spireS}), -1, kbConstant(kbVec3()),
                            [](int f) { return kbVec3(0, f * 0.008f, 0); });
    for (int i = 0; i < 6; i++) {
        kbMesh panel = kbMeshBox(kbVec3(4, 5, 0.3f), 2);
        kbSurface s = kbSurfaceOf(panel, 0xFFFFFF, tex(i));
        float a = _pi * 2 * i / 6;
        kbAddShape(&sc, "Panel" + std::to_string(i + 1), kbBodyOf({s}), centre, kbConstant(kbVec3(7 * std::sin(a), 5, 7 * std::cos(a))),
                   [a, i](int f) { return kbVec3(0.1f * std::sin(f * 0.02f + i), a, 0); });
    }
    // The camera draws back and rises as the run ends.
    kbCurve eye = [](int f) {
        float t = f / 329.0f, a = -0.6f + t * 1.4f;
        float r = 16 + 26 * t * t;
        return kbVec3(r * std::sin(a), 4 + 12 * t, -r * std::cos(a));
    };
    kbAddCamera(&sc, eye, [](int f) { return kbVec3(0, 6 - 2 * (f / 329.0f), 0); }, 0.9f);
    kbAddLight(&sc, kbLightDirectional(kbVec3(-0.3f, -0.8f, 0.5f), 0xE0E8FF, 0.9f));
    kbAddLight(&sc, kbLightPoint(kbVec3(0, 12, 0), 0xFFC070, 1.0f, 40));
    kbSceneCount(&sc);
    return out;
}
