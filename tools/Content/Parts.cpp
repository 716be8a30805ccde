#include <cmath>

#include "Content.h"

static const float _pi = 3.14159265358979f;

bool ctOutput::Write(const std::string &aRelPath, const kbBytes &aBytes)
{
    std::string path = dataDir + "/../" + aRelPath;
    std::string err;
    if (!kbWriteFile(path, aBytes, &err)) {
        error = aRelPath + ": " + err;
        return false;
    }
    written.push_back(std::make_pair(aRelPath, aBytes.size()));
    return true;
}

std::string ctTextures::Add(const std::string &aName, const kbImage &aImage, int aDepth)
{
    kbKsfEntry e;
    e.name = aName;
    std::string err;
    kbBmpWrite(aImage, aDepth, &e.data, &err);
    entries.push_back(e);
    images[aName] = aImage;
    bytes += (double)aImage.width * aImage.height * 2;
    return aName;
}

std::string ctTextures::AddTarga(const std::string &aName, const kbImage &aImage)
{
    kbKsfEntry e;
    e.name = aName;
    std::string err;
    kbTargaWrite(aImage, 10, 32, false, &e.data, &err);
    entries.push_back(e);
    images[aName] = aImage;
    bytes += (double)aImage.width * aImage.height * 4;
    return aName;
}

ctScene ctSceneOf(bool aLight, const char *aFull, const char *aLightNumber, const char *aFullPackage, const char *aLightPackage)
{
    ctScene out;
    out.number = aLight ? aLightNumber : aFull;
    out.package = aLight ? aLightPackage : aFullPackage;
    return out;
}

bool ctWriteScene(ctOutput *aOutP, const ctScene &aScene)
{
    kbBytes ksx;
    std::string err;
    if (!kbKsxWrite(aScene.scene, &ksx, &err)) {
        aOutP->error = "scene " + aScene.number + ": " + err;
        return false;
    }
    return aOutP->Write("Data/Ksx/" + aScene.number + ".ksx", ksx);
}

bool ctWritePackage(ctOutput *aOutP, const std::string &aName, const std::vector<kbKsfEntry> &aEntries)
{
    kbBytes ksf;
    std::string err;
    if (!kbKsfWrite(aEntries, &ksf, &err)) {
        aOutP->error = aName + ": " + err;
        return false;
    }
    return aOutP->Write("Data/Ksf/" + aName, ksf);
}

bool ctAddBitmap(std::vector<kbKsfEntry> *aEntriesP, const std::string &aName, const kbImage &aImage, int aDepth)
{
    kbKsfEntry e;
    e.name = aName;
    std::string err;
    if (!kbBmpWrite(aImage, aDepth, &e.data, &err))
        return false;
    aEntriesP->push_back(e);
    return true;
}

bool ctAddToPackage(ctPackages *aPackagesP, const ctScene &aScene, std::string *aErrorP)
{
    if (aScene.package.empty())
        return true;
    std::vector<kbKsfEntry> &pack = (*aPackagesP)[aScene.package];
    for (const kbKsfEntry &e : aScene.textures.entries) {
        std::string name = kbKsfName(e.name);
        const kbKsfEntry *have = nullptr;
        for (const kbKsfEntry &f : pack)
            if (kbKsfName(f.name) == name)
                have = &f;
        if (!have)
            pack.push_back(e);
        else if (have->data != e.data) {
            *aErrorP = aScene.package + ": scene " + aScene.number + " brings another picture named " + name;
            return false;
        }
    }
    return true;
}

float ctNoise3(kbVec3 p, uint32_t aSeed)
{
    // Three crossed planes of periodic noise, enough for lumpy rocks.
    float a = kbFbm(p.x * 0.25f + 0.5f, p.y * 0.25f + 0.5f, 4, 3, aSeed);
    float b = kbFbm(p.y * 0.25f + 0.5f, p.z * 0.25f + 0.5f, 4, 3, aSeed + 11);
    float c = kbFbm(p.z * 0.25f + 0.5f, p.x * 0.25f + 0.5f, 4, 3, aSeed + 23);
    return (a + b + c) / 3.0f;
}

// A limb: a tapered capsule hanging from the origin down -Y.
static kbMesh _limb(float aLength, float aR0, float aR1, int aSlices)
{
    std::vector<kbPoint2> p;
    int n = 6;
    for (int i = 0; i <= n; i++) {
        float t = (float)i / n;
        float r = aR0 + (aR1 - aR0) * t;
        float bulge = std::sin(t * _pi) * 0.15f * aR0;
        p.push_back({r + bulge, -aLength * t});
    }
    p.insert(p.begin(), {aR0 * 0.6f, aR0 * 0.3f});
    p.insert(p.begin(), {0, aR0 * 0.45f});
    p.push_back({aR1 * 0.6f, -aLength - aR1 * 0.3f});
    p.push_back({0, -aLength - aR1 * 0.45f});
    return kbMeshLathe(p, aSlices);
}

kbVec3 ctHand(float aHeight) { return kbVec3(0, -aHeight * 0.16f, 0); }

kbRig ctFighterRig(const ctFighterLook &aLook, float aHeight)
{
    float h = aHeight;
    int s = aLook.detail;
    kbRig rig;
    auto body = [&](const kbMesh &m, uint32_t color, const std::string &tex) {
        kbSurface surf = kbSurfaceOf(m, color, tex);
        return kbBodyOf({surf});
    };
    // Hips and sash.
    kbMesh hips = kbMeshLathe({{0, -h * 0.06f}, {h * 0.1f, -h * 0.05f}, {h * 0.11f, 0}, {h * 0.1f, h * 0.05f}, {0, h * 0.06f}}, s);
    kbMeshTransform(&hips, kbVec3(), kbVec3(), kbVec3(1, 1, 0.7f));
    int hipsI = rig.Add(aLook.prefix + "Hips", body(hips, aLook.trim, ""), -1, kbVec3());
    // Torso: a robe widening to the shoulders.
    kbMesh torso = kbMeshLathe({{h * 0.1f, 0}, {h * 0.115f, h * 0.1f}, {h * 0.13f, h * 0.2f}, {h * 0.12f, h * 0.26f},
                                {h * 0.05f, h * 0.29f}, {h * 0.035f, h * 0.31f}, {0, h * 0.31f}},
                               s);
    kbMeshTransform(&torso, kbVec3(), kbVec3(), kbVec3(1.15f, 1, 0.72f));
    int torsoI = rig.Add(aLook.prefix + "Torso", body(torso, aLook.robe, aLook.robeTex), hipsI, kbVec3(0, h * 0.04f, 0));
    // Head with a cloth hood and a pale face band.
    kbSurface skull = kbSurfaceOf(kbMeshSphere(h * 0.065f, s, s / 2 + 2), aLook.robe, aLook.robeTex);
    kbMeshTransform(&skull.mesh, kbVec3(0, h * 0.07f, 0), kbVec3(), kbVec3(0.95f, 1.1f, 1));
    kbMesh band = kbMeshCylinder(h * 0.062f, h * 0.03f, s, 1, false);
    kbMeshTransform(&band, kbVec3(0, h * 0.08f, h * 0.006f));
    kbSurface face = kbSurfaceOf(band, aLook.skin);
    int headI = rig.Add(aLook.prefix + "Head", kbBodyOf({skull, face}), torsoI, kbVec3(0, h * 0.31f, 0));
    (void)headI;
    // Arms hang from the shoulders; the forearm ends in a fist.
    for (int side = 0; side < 2; side++) {
        float x = side == 0 ? -h * 0.15f : h * 0.15f;
        std::string sn = side == 0 ? "R" : "L";
        int up = rig.Add(aLook.prefix + "UpperArm" + sn, body(_limb(h * 0.16f, h * 0.04f, h * 0.032f, s), aLook.robe, aLook.robeTex),
                         torsoI, kbVec3(x, h * 0.26f, 0));
        kbSurface sleeve = kbSurfaceOf(_limb(h * 0.15f, h * 0.032f, h * 0.026f, s), aLook.robe, aLook.robeTex);
        kbSurface fist = kbSurfaceOf(kbMeshSphere(h * 0.03f, s, s / 2 + 1), aLook.skin);
        kbMeshTransform(&fist.mesh, ctHand(h), kbVec3(), kbVec3(0.9f, 1.1f, 1));
        rig.Add(aLook.prefix + "Forearm" + sn, kbBodyOf({sleeve, fist}), up, kbVec3(0, -h * 0.16f, 0));
    }
    for (int side = 0; side < 2; side++) {
        float x = side == 0 ? -h * 0.06f : h * 0.06f;
        std::string sn = side == 0 ? "R" : "L";
        int th = rig.Add(aLook.prefix + "Thigh" + sn, body(_limb(h * 0.24f, h * 0.06f, h * 0.045f, s), aLook.robe, aLook.robeTex),
                         hipsI, kbVec3(x, -h * 0.02f, 0));
        kbSurface shin = kbSurfaceOf(_limb(h * 0.24f, h * 0.042f, h * 0.032f, s), aLook.trim);
        kbMesh foot = kbMeshBox(kbVec3(h * 0.06f, h * 0.035f, h * 0.12f), 2);
        kbMeshTransform(&foot, kbVec3(0, -h * 0.26f, h * 0.03f));
        kbSurface footS = kbSurfaceOf(foot, 0x202020);
        rig.Add(aLook.prefix + "Shin" + sn, kbBodyOf({shin, footS}), th, kbVec3(0, -h * 0.24f, 0));
    }
    return rig;
}

std::shared_ptr<kbShapeBody> ctSwordBody(float aLength, const std::string &aMetalTex)
{
    float L = aLength;
    // Slightly curved single-edged blade: a thin extrusion along a gentle arc.
    std::vector<kbPoint2> section = {{0, L * 0.016f}, {L * 0.004f, 0}, {0, -L * 0.014f}, {-L * 0.004f, 0}};
    std::vector<kbVec3> path;
    std::vector<float> scale;
    for (int i = 0; i <= 12; i++) {
        float t = i / 12.0f;
        path.push_back(kbVec3(0, L * 0.04f * t * t, L * 0.18f + L * t));
        scale.push_back(i == 12 ? 0.05f : 1.0f - 0.35f * t);
    }
    kbSurface blade = kbSurfaceOf(kbMeshExtrude(section, path, scale), 0xD8DCE4, aMetalTex);
    blade.specular = 1.0f;
    blade.twoSided = true;
    kbMesh grip = kbMeshCylinder(L * 0.016f, L * 0.2f, 8, 4);
    kbMeshTransform(&grip, kbVec3(0, 0, L * 0.06f), kbVec3(_pi / 2, 0, 0));
    kbSurface gripS = kbSurfaceOf(grip, 0x30201A);
    kbMesh guard = kbMeshCylinder(L * 0.045f, L * 0.012f, 12, 1);
    kbMeshTransform(&guard, kbVec3(0, 0, L * 0.165f), kbVec3(_pi / 2, 0, 0), kbVec3(1, 1, 0.7f));
    kbSurface guardS = kbSurfaceOf(guard, 0xB08830);
    guardS.specular = 0.6f;
    return kbBodyOf({blade, gripS, guardS});
}

std::shared_ptr<kbShapeBody> ctShipBody(float aLength, int aDetail, uint32_t aColor, const std::string &aHullTex,
                                        const std::string &aGlowTex)
{
    float L = aLength;
    int s = aDetail;
    // Fuselage: a lathe along Z, pointed nose, wide middle, engine block at the back.
    std::vector<kbPoint2> prof;
    for (int i = 0; i <= s; i++) {
        float t = (float)i / s;  // 0 nose .. 1 tail
        float r = L * 0.09f * std::pow(std::sin(std::min(1.0f, t * 1.6f) * _pi / 2), 0.7f) * (t > 0.85f ? 1 - (t - 0.85f) * 2 : 1);
        prof.push_back({r, L * (0.5f - t)});
    }
    prof.front().a = 0;
    prof.push_back({0, -L * 0.5f});
    kbMesh body = kbMeshLathe(prof, s);
    kbMeshTransform(&body, kbVec3(), kbVec3(_pi / 2, 0, 0), kbVec3(1, 0.7f, 1));
    kbSurface hull = kbSurfaceOf(body, aColor, aHullTex);
    hull.specular = 0.5f;
    // Swept wings and a tail fin.
    std::vector<kbPoint2> wing = {{L * 0.06f, L * 0.15f}, {L * 0.46f, -L * 0.2f}, {L * 0.5f, -L * 0.3f},
                                  {L * 0.06f, -L * 0.3f}};
    kbMesh wings;
    for (int side = 0; side < 2; side++) {
        kbMesh w = kbMeshSlab(wing, L * 0.02f);
        kbMeshTransform(&w, kbVec3(), kbVec3(0, 0, side ? -0.08f : 0.08f), kbVec3(side ? -1.0f : 1.0f, 1, 1));
        kbMeshAppend(&wings, w);
    }
    kbMesh fin = kbMeshSlab({{0, -L * 0.12f}, {L * 0.22f, -L * 0.38f}, {L * 0.22f, -L * 0.46f}, {0, -L * 0.44f}}, L * 0.015f);
    kbMeshTransform(&fin, kbVec3(0, L * 0.04f, 0), kbVec3(0, 0, _pi / 2));
    kbMeshAppend(&wings, fin);
    kbSurface wingS = kbSurfaceOf(wings, kbShade(aColor << 8 | 0xFF, 0.85f) >> 8, aHullTex);
    wingS.specular = 0.3f;
    // Cockpit canopy.
    kbMesh canopy = kbMeshSphere(L * 0.06f, s, s / 2 + 2);
    kbMeshTransform(&canopy, kbVec3(0, L * 0.05f, L * 0.14f), kbVec3(), kbVec3(0.8f, 0.6f, 1.8f));
    kbSurface canopyS = kbSurfaceOf(canopy, 0x203048);
    canopyS.specular = 1.0f;
    // Engines and their glow.
    kbMesh engines, glow;
    for (int side = 0; side < 2; side++) {
        float x = side ? L * 0.11f : -L * 0.11f;
        kbMesh e = kbMeshCylinder(L * 0.05f, L * 0.3f, s, 2);
        kbMeshTransform(&e, kbVec3(x, -L * 0.01f, -L * 0.3f), kbVec3(_pi / 2, 0, 0));
        kbMeshAppend(&engines, e);
        kbMesh g = kbMeshSphere(L * 0.042f, s, 4);
        kbMeshTransform(&g, kbVec3(x, -L * 0.01f, -L * 0.45f), kbVec3(), kbVec3(1, 1, 0.5f));
        kbMeshAppend(&glow, g);
    }
    kbSurface engineS = kbSurfaceOf(engines, 0x50545A, aHullTex);
    kbSurface glowS = kbSurfaceOf(glow, 0x60C0FF, aGlowTex);
    glowS.emissive = kbColor(0x60B0FF);
    return kbBodyOf({hull, wingS, canopyS, engineS, glowS});
}

std::shared_ptr<kbShapeBody> ctCruiserBody(float aLength, int aDetail, const std::string &aHullTex,
                                           const std::string &aLightsTex)
{
    float L = aLength;
    int s = aDetail;
    // A long wedge hull swept along Z with a tapering section.
    std::vector<kbPoint2> section = {{-0.12f * L, 0}, {-0.08f * L, 0.05f * L}, {0.08f * L, 0.05f * L}, {0.12f * L, 0},
                                     {0.06f * L, -0.04f * L}, {-0.06f * L, -0.04f * L}};
    std::vector<kbVec3> path;
    std::vector<float> scale;
    for (int i = 0; i <= s; i++) {
        float t = (float)i / s;
        path.push_back(kbVec3(0, 0, L * (t - 0.5f)));
        scale.push_back(0.25f + 0.75f * std::sqrt(1 - t * 0.92f));
    }
    kbSurface hull = kbSurfaceOf(kbMeshExtrude(section, path, scale), 0x8C9098, aHullTex);
    hull.specular = 0.3f;
    kbMesh tower = kbMeshBox(kbVec3(0.08f * L, 0.09f * L, 0.16f * L), 3);
    kbMeshTransform(&tower, kbVec3(0, 0.09f * L, -0.28f * L));
    kbMesh deck = kbMeshBox(kbVec3(0.14f * L, 0.025f * L, 0.3f * L), 4);
    kbMeshTransform(&deck, kbVec3(0, 0.055f * L, -0.1f * L));
    kbMeshAppend(&tower, deck);
    kbSurface towerS = kbSurfaceOf(tower, 0xA0A4AC, aLightsTex);
    towerS.emissive = kbColor(0x202020);
    // Turrets along the spine.
    kbMesh turrets;
    for (int i = 0; i < 4; i++) {
        kbMesh dome = kbMeshSphere(0.025f * L, s, s / 2);
        kbMeshTransform(&dome, kbVec3(0, 0.05f * L, L * (0.25f - i * 0.12f)), kbVec3(), kbVec3(1, 0.6f, 1));
        kbMeshAppend(&turrets, dome);
        for (int b = -1; b <= 1; b += 2) {
            kbMesh barrel = kbMeshCylinder(0.004f * L, 0.06f * L, 6, 1);
            kbMeshTransform(&barrel, kbVec3(b * 0.008f * L, 0.06f * L, L * (0.28f - i * 0.12f)), kbVec3(_pi / 2, 0, 0));
            kbMeshAppend(&turrets, barrel);
        }
    }
    kbSurface turretS = kbSurfaceOf(turrets, 0x686C74, aHullTex);
    kbMesh engines, glow;
    for (int i = 0; i < 3; i++) {
        float x = (i - 1) * 0.07f * L;
        kbMesh e = kbMeshCylinder(0.03f * L, 0.1f * L, s, 2);
        kbMeshTransform(&e, kbVec3(x, 0, -0.5f * L), kbVec3(_pi / 2, 0, 0));
        kbMeshAppend(&engines, e);
        kbMesh g = kbMeshSphere(0.027f * L, s, 4);
        kbMeshTransform(&g, kbVec3(x, 0, -0.55f * L), kbVec3(), kbVec3(1, 1, 0.4f));
        kbMeshAppend(&glow, g);
    }
    kbSurface engineS = kbSurfaceOf(engines, 0x505458, aHullTex);
    kbSurface glowS = kbSurfaceOf(glow, 0xFF9050);
    glowS.emissive = kbColor(0xFF8040);
    return kbBodyOf({hull, towerS, turretS, engineS, glowS});
}

std::shared_ptr<kbShapeBody> ctAsteroidBody(float aRadius, int aDetail, uint32_t aSeed, const std::string &aTex)
{
    kbMesh m = kbMeshSphere(aRadius, aDetail * 2, aDetail);
    float r = aRadius;
    kbMeshDisplace(&m, [r, aSeed](kbVec3 p) {
        kbVec3 q = p * (1.0f / r);
        return (ctNoise3(q, aSeed) - 0.5f) * r * 0.9f + (ctNoise3(q * 3.0f, aSeed + 5) - 0.5f) * r * 0.25f;
    });
    kbMeshTransform(&m, kbVec3(), kbVec3(), kbVec3(1.0f, 0.8f + (aSeed % 5) * 0.05f, 1.1f));
    kbMeshFacet(&m);
    kbSurface s = kbSurfaceOf(m, 0x9A8E80, aTex);
    return kbBodyOf({s});
}

std::shared_ptr<kbShapeBody> ctLanternBody(float aHeight, int aDetail, const std::string &aStoneTex)
{
    float h = aHeight;
    kbMesh m = kbMeshLathe({{0, 0}, {h * 0.22f, 0}, {h * 0.22f, h * 0.06f}, {h * 0.12f, h * 0.08f}, {h * 0.07f, h * 0.12f},
                            {h * 0.06f, h * 0.45f}, {h * 0.16f, h * 0.48f}, {h * 0.16f, h * 0.52f}},
                           aDetail);
    kbMesh box = kbMeshBox(kbVec3(h * 0.22f, h * 0.2f, h * 0.22f), 2);
    kbMeshTransform(&box, kbVec3(0, h * 0.62f, 0));
    kbMesh roof = kbMeshLathe({{h * 0.3f, h * 0.72f}, {h * 0.32f, h * 0.75f}, {h * 0.12f, h * 0.88f}, {h * 0.04f, h * 0.92f},
                               {h * 0.06f, h * 0.97f}, {0, h * 1.0f}},
                              aDetail);
    kbMeshAppend(&m, roof);
    kbSurface stone = kbSurfaceOf(m, 0xB0AEA4, aStoneTex);
    kbSurface light = kbSurfaceOf(box, 0xFFD890);
    light.emissive = kbColor(0xC08838);
    return kbBodyOf({stone, light});
}

std::shared_ptr<kbShapeBody> ctTreeBody(float aHeight, int aDetail, const std::string &aBarkTex, const std::string &aLeafTex)
{
    float h = aHeight;
    kbMesh trunk = kbMeshCylinder(h * 0.04f, h * 0.5f, aDetail, 3);
    kbMeshTransform(&trunk, kbVec3(0, h * 0.25f, 0));
    kbMesh leaves;
    for (int i = 0; i < 3; i++) {
        float y = h * (0.3f + i * 0.2f), r = h * (0.3f - i * 0.07f);
        kbMesh c = kbMeshLathe({{0, y}, {r, y + h * 0.05f}, {r * 0.6f, y + h * 0.2f}, {0, y + h * 0.32f}}, aDetail);
        kbMeshAppend(&leaves, c);
    }
    kbMeshDisplace(&leaves, [h](kbVec3 p) { return (ctNoise3(p * (4.0f / h), 3) - 0.5f) * h * 0.08f; });
    return kbBodyOf({kbSurfaceOf(trunk, 0x6A4A30, aBarkTex), kbSurfaceOf(leaves, 0x3C6A34, aLeafTex)});
}

int ctAddFlyer(kbScene *aSceneP, const std::string &aName, std::shared_ptr<kbShapeBody> aBody, const kbCurve &aPath,
               float aBank, const std::string &aPathName)
{
    kbCurve aim = [aPath](int f) {
        kbVec3 d = aPath(f + 1) - aPath(f - 1);
        return kbAimAngles(d);
    };
    int carrier = kbAddShape(aSceneP, aPathName.empty() ? aName + "Path" : aPathName, nullptr, -1, aPath, aim);
    // Roll follows the turn: the change of heading over a few frames.
    kbCurve roll = [aPath, aBank](int f) {
        kbVec3 d0 = aPath(f) - aPath(f - 4), d1 = aPath(f + 4) - aPath(f);
        float h0 = std::atan2(d0.x, d0.z), h1 = std::atan2(d1.x, d1.z);
        float turn = h1 - h0;
        while (turn > _pi)
            turn -= 2 * _pi;
        while (turn < -_pi)
            turn += 2 * _pi;
        return kbVec3(0, 0, std::max(-1.2f, std::min(1.2f, -turn * aBank)));
    };
    return kbAddShape(aSceneP, aName, aBody, carrier, kbConstant(kbVec3()), roll);
}

std::shared_ptr<kbShapeBody> ctSkyDome(float aRadius, int aSlices, const std::string &aTex, int aRings, float aRise,
                                       float aSink, float aFade)
{
    std::vector<kbPoint2> p;
    for (int i = 0; i <= aRings; i++) {
        float a = _pi / 2 * i / aRings;
        p.push_back({aRadius * std::cos(a), aRadius * std::sin(a) * aRise - aRadius * aSink});
    }
    p.back().a = 0;
    kbMesh m = kbMeshLathe(p, aSlices);
    for (_vertexDef &v : m.vertices)
        v.nx = -v.nx, v.ny = -v.ny, v.nz = -v.nz, v.v0 = v.v1 = 1.0f - std::max(0.0f, v.vy) / (aRadius * aFade);
    kbMeshOrient(&m);
    kbSurface s = kbSurfaceOf(m, 0x000000, aTex);
    s.diffuse = kbColor(0x000000);
    s.emissive = kbColor(0xFFFFFF);
    return kbBodyOf({s});
}

ctPoolMeshes ctPoolBasin(const ctPoolLook &aLook)
{
    const float in = aLook.in, rim = aLook.rim, cx = aLook.cx, cz = aLook.cz;
    ctPoolMeshes out;
    out.floor = kbMeshPlane(in * 2, in * 2, aLook.floorDiv, aLook.floorDiv, aLook.floorRepeat);
    kbMeshTransform(&out.floor, kbVec3(cx, 0, cz));
    for (int side = 0; side < 4; side++) {
        kbMesh w = kbMeshPlane(in * 2, rim, aLook.wallDivX, aLook.wallDivY, 1);
        for (_vertexDef &v : w.vertices)
            v.u0 = v.u1 = v.vx * aLook.wallRepeat, v.v0 = v.v1 = v.vz * aLook.wallRepeat;
        kbMeshTransform(&w, kbVec3(0, rim / 2, 0), kbVec3(-_pi / 2, 0, 0));  // faces -Z
        kbMeshTransform(&w, kbVec3(cx, 0, cz) + kbRotate(kbVec3(0, 0, in), kbVec3(0, side * _pi / 2, 0)),
                        kbVec3(0, side * _pi / 2, 0));
        kbMeshAppend(&out.walls, w);
    }
    const float o = aLook.out;
    const float bands[4][4] = {{-o, -o, o, -in}, {-o, in, o, o}, {-o, -in, -in, in}, {in, -in, o, in}};
    for (const auto &b : bands) {
        float w = b[2] - b[0], d = b[3] - b[1];
        kbMesh p = kbMeshPlane(w, d, std::max(2, (int)(w * aLook.deckDiv)), std::max(2, (int)(d * aLook.deckDiv)), 1);
        for (_vertexDef &v : p.vertices)
            v.u0 = v.u1 = (v.vx + b[0] + w / 2) / aLook.deckTileU, v.v0 = v.v1 = (v.vz + b[1] + d / 2) / aLook.deckTileV;
        kbMeshTransform(&p, kbVec3(cx + b[0] + w / 2, rim, cz + b[1] + d / 2));
        kbMeshAppend(&out.deck, p);
    }
    for (int side = 0; side < 4; side++) {
        kbMesh l = kbMeshBox(kbVec3(in * 2 + aLook.lipOver, aLook.lipHigh, aLook.lipDeep), aLook.lipDiv);
        kbMeshTransform(&l, kbVec3(0, rim + aLook.lipHigh / 2, in + aLook.lipOut));
        kbMeshTransform(&l, kbVec3(cx, 0, cz), kbVec3(0, side * _pi / 2, 0));
        kbMeshAppend(&out.lip, l);
    }
    return out;
}

kbSurface ctMaskFace(float aRadius, int aSlices, int aStacks, const std::string &aTex)
{
    // Only the triangles in front of the face and above the chin.
    kbMesh m = kbMeshSphere(aRadius, aSlices, aStacks);
    kbMesh half;
    for (size_t t = 0; t + 2 < m.indices.size(); t += 3) {
        bool front = true;
        for (int k = 0; k < 3; k++)
            front = front && m.vertices[m.indices[t + k]].vz > 0.02f && m.vertices[m.indices[t + k]].vy > -0.12f;
        if (front)
            half.indices.insert(half.indices.end(), {m.indices[t], m.indices[t + 1], m.indices[t + 2]});
    }
    half.vertices = m.vertices;
    kbSurface face = kbSurfaceOf(half, 0xF0E8E0, aTex);
    face.twoSided = true;
    return face;
}

kbSurface ctMaskHorns(int aSlices, kbVec3 aAt, float aScale)
{
    kbMesh horns;
    for (int s = -1; s <= 1; s += 2) {
        kbMesh h = kbMeshLathe({{0.05f, 0}, {0.035f, 0.12f}, {0.0f, 0.25f}}, aSlices);
        kbMeshTransform(&h, kbVec3(s * aAt.x, aAt.y, aAt.z), kbVec3(0.3f, 0, -s * 0.5f), kbVec3(aScale, aScale, aScale));
        kbMeshAppend(&horns, h);
    }
    return kbSurfaceOf(horns, 0xC03020);
}

std::shared_ptr<kbShapeBody> ctShurikenBody(const std::string &aSteelTex)
{
    std::vector<kbPoint2> star;
    for (int i = 0; i < 8; i++) {
        float r = i % 2 ? 0.05f : 0.17f, a = _pi * i / 4;
        star.push_back({r * std::cos(a), r * std::sin(a)});
    }
    kbSurface s = kbSurfaceOf(kbMeshSlab(star, 0.012f), 0xB8BCC8, aSteelTex);
    s.specular = 1.0f;
    return kbBodyOf({s});
}

void ctAddBolt(kbScene *aSceneP, const std::string &aId, int aParentA, const kbCurve &aAtA, int aParentB, const kbCurve &aAtB,
               const std::vector<float> &aShow)
{
    int a = kbAddShape(aSceneP, "thand" + aId + "a", nullptr, aParentA, aAtA);
    int b = kbAddShape(aSceneP, "thand" + aId + "b", nullptr, aParentB, aAtB);
    aSceneP->shapes[a].dissolve = aShow;
    aSceneP->shapes[b].dissolve = aShow;
}

std::vector<float> ctBursts(int aFrameCnt, std::initializer_list<std::pair<int, int>> aFromTo)
{
    std::vector<float> d(aFrameCnt, 1.0f);
    for (auto w : aFromTo)
        for (int f = w.first; f < w.second && f < aFrameCnt; f++)
            d[f] = 0.0f;
    return d;
}
