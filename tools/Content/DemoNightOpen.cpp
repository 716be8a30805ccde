// The demo opens: the title, then the ninja night under clouds (01, 02; Light l01, l20).
// Both scenes stand in one castle town: a street of tiled houses running north (+Z) to the walled
// grounds of the lord's hall. The title looks down on it from a hill in the south; the night scene
// follows a ninja along the roofs of the west row, over the wall and onto the hall's roof.

#include <algorithm>
#include <cmath>

#include "DemoNightOpen.h"

static const float _pi = 3.14159265358979f;

static float _clamp01(float t) { return std::min(1.0f, std::max(0.0f, t)); }

static float _smooth(float a, float b, float f)
{
    float t = _clamp01((f - a) / (b - a));
    return t * t * (3 - 2 * t);
}

namespace {

// What differs between the editions.
struct _quality {
    bool light;
    int detail;    // slices of round parts
    uint32_t tex;  // side of the larger pictures
};

// The pictures the town is made of, by the names its surfaces ask for.
struct _townTex {
    std::string roof, wall, ground, stone, bark, leaf, shoji, lantern, wood;
};

// One house of the town: footprint aLen along its ridge (X) by aWid, walls up to eave.
struct _houseSpec {
    float len, wid, eave, rise;
    bool hip, upper;
};

const float _over = 0.7f;  // eaves overhang the walls

// The west row the ninja runs along: centres on Z, and which house kind stands there.
const float _rowX = -9.0f;
const int _rowCnt = 6;
float _rowZ(int aI) { return -36.0f + 13.0f * aI; }

const _houseSpec _kinds[3] = {
    {10.0f, 7.0f, 3.4f, 2.2f, false, false},
    {10.0f, 7.5f, 4.0f, 2.4f, false, true},
    {9.0f, 8.0f, 3.2f, 2.6f, true, false},
};

// The compound wall on Z = 40 and the hall behind it.
const float _wallZ = 40.0f, _wallH = 3.0f;
const kbVec3 _hall(-4.0f, 0, 58.0f);
const float _hallBase = 1.2f, _hallEave = 6.0f, _hallRise = 3.0f, _hallHalfD = 7.0f + 2.0f;
const float _upperBase = 10.8f, _upperRise = 3.0f;

// Height of a sagging roof above its eaves at (x, z) of a roof whose edges lie at hw, hd.
float _roofY(float x, float z, float hw, float hd, float aRise, bool aHip)
{
    float t = std::fabs(z) / hd;
    if (aHip)
        t = std::max(t, (std::fabs(x) - (hw - hd)) / hd);
    t = _clamp01(t);
    return aRise * std::pow(1 - t, 1.35f);
}

_vertexDef _vtx(kbVec3 p, kbVec3 n, float u, float v)
{
    _vertexDef d{};
    d.vx = p.x, d.vy = p.y, d.vz = p.z;
    d.nx = n.x, d.ny = n.y, d.nz = n.z;
    d.u0 = d.u1 = u;
    d.v0 = d.v1 = v;
    return d;
}

// A flat four-cornered piece facing aN, corners in order round its edge.
void _quad(kbMesh *aMeshP, kbVec3 a, kbVec3 b, kbVec3 c, kbVec3 d, kbVec3 aN, float aU0, float aV0, float aU1, float aV1)
{
    uint32_t base = (uint32_t)aMeshP->vertices.size();
    aMeshP->vertices.push_back(_vtx(a, aN, aU0, aV0));
    aMeshP->vertices.push_back(_vtx(b, aN, aU1, aV0));
    aMeshP->vertices.push_back(_vtx(c, aN, aU1, aV1));
    aMeshP->vertices.push_back(_vtx(d, aN, aU0, aV1));
    aMeshP->indices.insert(aMeshP->indices.end(), {base, base + 1, base + 2, base, base + 2, base + 3});
}

// A tiled roof, its eave edges at y = 0, ridge along X.
kbMesh _roofMesh(float aLen, float aWid, float aRise, bool aHip, int aDiv, float aOver = _over)
{
    float hw = aLen / 2 + aOver, hd = aWid / 2 + aOver;
    kbMesh m = kbMeshTerrain(hw * 2, hd * 2, aDiv * 2, aDiv,
                             [=](float x, float z) { return _roofY(x, z, hw, hd, aRise, aHip); }, 1);
    for (_vertexDef &v : m.vertices) {
        v.u0 = v.u1 = (v.vx + hw) / 2.5f;
        v.v0 = v.v1 = std::fabs(v.vz) / 2.0f;
    }
    return m;
}

// Walls round a footprint from the ground to aTop, plaster over boards; gable ends filled up to
// the roof of a gabled house.
kbMesh _wallsMesh(float aLen, float aWid, float aTop, float aRise, bool aGable)
{
    kbMesh m;
    float hx = aLen / 2, hz = aWid / 2;
    kbVec3 c[4] = {kbVec3(-hx, 0, -hz), kbVec3(hx, 0, -hz), kbVec3(hx, 0, hz), kbVec3(-hx, 0, hz)};
    for (int i = 0; i < 4; i++) {
        kbVec3 a = c[i], b = c[(i + 1) % 4];
        kbVec3 along = b - a;
        kbVec3 n = kbNormalize(kbVec3(along.z, 0, -along.x));
        float len = kbLength(along);
        _quad(&m, a + kbVec3(0, aTop, 0), b + kbVec3(0, aTop, 0), b, a, n, 0, 0, len / 3, 1);
    }
    if (aGable) {
        float hw = hx + _over, hd = hz + _over;
        for (int s = -1; s <= 1; s += 2) {
            int n = 8;
            for (int i = 0; i < n; i++) {
                float z0 = -hz + aWid * i / n, z1 = -hz + aWid * (i + 1) / n;
                float y0 = aTop + _roofY(hx, z0, hw, hd, aRise, false) - 0.1f,
                      y1 = aTop + _roofY(hx, z1, hw, hd, aRise, false) - 0.1f;
                kbVec3 p0(s * hx, aTop, z0), p1(s * hx, aTop, z1);
                _quad(&m, p0, p1, kbVec3(s * hx, y1, z1), kbVec3(s * hx, y0, z0), kbVec3((float)s, 0, 0), z0 / 3, 0.3f,
                      z1 / 3, 0.05f);
            }
        }
    }
    kbMeshOrient(&m);
    return m;
}

// A ridge cap along X with a raised tile at each end.
kbMesh _ridgeMesh(float aLength, float aY)
{
    kbMesh m = kbMeshBox(kbVec3(aLength, 0.28f, 0.42f));
    kbMeshTransform(&m, kbVec3(0, aY, 0));
    for (int s = -1; s <= 1; s += 2) {
        kbMesh e = kbMeshBox(kbVec3(0.3f, 0.55f, 0.5f));
        kbMeshTransform(&e, kbVec3(s * aLength / 2, aY + 0.15f, 0));
        kbMeshAppend(&m, e);
    }
    return m;
}

kbSurface _roofSurface(const kbMesh &aMesh, const _townTex &aTex)
{
    kbSurface s = kbSurfaceOf(aMesh, 0xB8C0CC, aTex.roof);
    s.twoSided = true;
    s.specular = 0.25f;
    return s;
}

kbSurface _glowSurface(const kbMesh &aMesh, const std::string &aTex, uint32_t aEmissive)
{
    kbSurface s = kbSurfaceOf(aMesh, 0x402818, aTex);
    s.emissive = kbColor(aEmissive);
    return s;
}

std::shared_ptr<kbShapeBody> _houseBody(const _houseSpec &aH, const _townTex &aTex, const _quality &aQ)
{
    std::vector<kbSurface> parts;
    kbMesh roof = _roofMesh(aH.len, aH.wid, aH.rise, aH.hip, aQ.light ? 5 : 10);
    kbMeshTransform(&roof, kbVec3(0, aH.eave - 0.1f, 0));
    parts.push_back(_roofSurface(roof, aTex));
    float ridgeLen = aH.hip ? std::max(0.6f, aH.len - aH.wid) : aH.len + 2 * _over;
    parts.push_back(kbSurfaceOf(_ridgeMesh(ridgeLen, aH.eave - 0.1f + aH.rise), 0x60646C, aTex.roof));
    parts.push_back(kbSurfaceOf(_wallsMesh(aH.len, aH.wid, aH.eave, aH.rise, !aH.hip), 0xFFFFFF, aTex.wall));
    // Lit paper windows on the street side (+Z), and a lattice above on two-storey houses.
    kbMesh win;
    float z = aH.wid / 2 + 0.04f;
    _quad(&win, kbVec3(-aH.len * 0.3f, 2.1f, z), kbVec3(aH.len * 0.1f, 2.1f, z), kbVec3(aH.len * 0.1f, 0.9f, z),
          kbVec3(-aH.len * 0.3f, 0.9f, z), kbVec3(0, 0, 1), 0, 0, 2, 1);
    if (aH.upper)
        _quad(&win, kbVec3(-aH.len * 0.35f, aH.eave - 0.5f, z), kbVec3(aH.len * 0.35f, aH.eave - 0.5f, z),
              kbVec3(aH.len * 0.35f, aH.eave - 1.2f, z), kbVec3(-aH.len * 0.35f, aH.eave - 1.2f, z), kbVec3(0, 0, 1), 0, 0,
              4, 0.6f);
    kbMeshOrient(&win);
    parts.push_back(_glowSurface(win, aTex.shoji, 0xB07838));
    return kbBodyOf(parts);
}

// Turns a model's +Z toward aDir about Y.
kbVec3 _facing(kbVec3 aDir) { return kbVec3(0, kbAimAngles(aDir).y, 0); }

// The lord's hall: a stone base, lit doors to the south, a hipped roof and an upper storey.
std::shared_ptr<kbShapeBody> _hallBody(const _townTex &aTex, const _quality &aQ)
{
    std::vector<kbSurface> parts;
    kbMesh base = kbMeshBox(kbVec3(26, _hallBase, 18), 2);
    for (_vertexDef &v : base.vertices)
        v.u0 = v.u1 = (v.vx + v.vz) / 3, v.v0 = v.v1 = v.vy / 3;
    kbMeshTransform(&base, kbVec3(0, _hallBase / 2, 0));
    kbMesh steps = kbMeshBox(kbVec3(6, _hallBase * 0.5f, 2));
    kbMeshTransform(&steps, kbVec3(0, _hallBase * 0.25f, -10));
    kbMeshAppend(&base, steps);
    parts.push_back(kbSurfaceOf(base, 0xA8A8A0, aTex.stone));
    kbMesh walls = _wallsMesh(22, 14, _hallEave - _hallBase, 0, false);
    kbMeshTransform(&walls, kbVec3(0, _hallBase, 0));
    parts.push_back(kbSurfaceOf(walls, 0xFFFFFF, aTex.wall));
    kbMesh posts;
    for (int i = 0; i <= 6; i++)
        for (int s = -1; s <= 1; s += 2) {
            kbMesh p = kbMeshBox(kbVec3(0.45f, _hallEave - _hallBase, 0.45f));
            kbMeshTransform(&p, kbVec3(-11 + i * 22.0f / 6, _hallBase + (_hallEave - _hallBase) / 2, s * 7.05f));
            kbMeshAppend(&posts, p);
        }
    parts.push_back(kbSurfaceOf(posts, 0xC0A080, aTex.wood));
    // The doors glow: somebody is awake inside.
    kbMesh doors;
    for (int i = 0; i < 4; i++) {
        float x0 = -7 + i * 3.6f;
        _quad(&doors, kbVec3(x0, 4.4f, -7.08f), kbVec3(x0 + 3.0f, 4.4f, -7.08f), kbVec3(x0 + 3.0f, _hallBase + 0.1f, -7.08f),
              kbVec3(x0, _hallBase + 0.1f, -7.08f), kbVec3(0, 0, -1), 0, 0, 1, 1);
    }
    kbMeshOrient(&doors);
    parts.push_back(_glowSurface(doors, aTex.shoji, 0xC08840));
    kbMesh low = _roofMesh(22, 14, _hallRise, true, aQ.light ? 8 : 16, _hallHalfD - 7.0f);
    kbMeshTransform(&low, kbVec3(0, _hallEave, 0));
    parts.push_back(_roofSurface(low, aTex));
    kbMesh upper = _wallsMesh(12, 6, _upperBase - 6.5f, 0, false);
    kbMeshTransform(&upper, kbVec3(0, 6.5f, 0));
    parts.push_back(kbSurfaceOf(upper, 0xFFFFFF, aTex.wall));
    kbMesh top = _roofMesh(12, 6, _upperRise, true, aQ.light ? 6 : 12);
    kbMeshTransform(&top, kbVec3(0, _upperBase, 0));
    parts.push_back(_roofSurface(top, aTex));
    kbMesh ridge = _ridgeMesh(12 - 6 + 0.6f, _upperBase + _upperRise);
    parts.push_back(kbSurfaceOf(ridge, 0x60646C, aTex.roof));
    // Gilded fish at the ridge ends.
    kbMesh fish;
    for (int s = -1; s <= 1; s += 2) {
        kbMesh f = kbMeshLathe({{0, 0}, {0.2f, 0.1f}, {0.28f, 0.5f}, {0.18f, 0.9f}, {0.3f, 1.2f}, {0, 1.25f}}, aQ.detail);
        kbMeshTransform(&f, kbVec3(s * 3.3f, _upperBase + _upperRise + 0.1f, 0), kbVec3(0, 0, -s * 0.25f));
        kbMeshAppend(&fish, f);
    }
    kbSurface gold = kbSurfaceOf(fish, 0xD0A040);
    gold.specular = 1.0f;
    parts.push_back(gold);
    return kbBodyOf(parts);
}

// A stretch of the compound wall along X, aLength long, with its little roof.
std::shared_ptr<kbShapeBody> _wallBody(float aLength, const _townTex &aTex, const _quality &aQ)
{
    kbMesh w = _wallsMesh(aLength, 0.8f, _wallH, 0, false);
    kbMesh cap = _roofMesh(aLength, 0.8f, 0.45f, false, aQ.light ? 2 : 3);
    kbMeshTransform(&cap, kbVec3(0, _wallH, 0));
    kbMesh footing = kbMeshBox(kbVec3(aLength, 0.6f, 1.0f));
    for (_vertexDef &v : footing.vertices)
        v.u0 = v.u1 = v.vx / 3;
    kbMeshTransform(&footing, kbVec3(0, 0.3f, 0));
    return kbBodyOf({kbSurfaceOf(w, 0xFFFFFF, aTex.wall), _roofSurface(cap, aTex), kbSurfaceOf(footing, 0xA0A098, aTex.stone),
                     kbSurfaceOf(_ridgeMesh(aLength + 2 * _over, _wallH + 0.45f), 0x60646C, aTex.roof)});
}

// The gate in the wall where the street ends.
std::shared_ptr<kbShapeBody> _gateBody(const _townTex &aTex, const _quality &aQ)
{
    kbMesh posts;
    for (int s = -1; s <= 1; s += 2)
        for (int b = -1; b <= 1; b += 2) {
            kbMesh p = kbMeshBox(kbVec3(0.5f, 4.6f, 0.5f));
            kbMeshTransform(&p, kbVec3(s * 3.0f, 2.3f, b * 1.0f));
            kbMeshAppend(&posts, p);
        }
    kbMesh beam = kbMeshBox(kbVec3(7.0f, 0.5f, 2.6f));
    kbMeshTransform(&beam, kbVec3(0, 4.4f, 0));
    kbMeshAppend(&posts, beam);
    kbMesh roof = _roofMesh(7.0f, 3.0f, 1.6f, false, aQ.light ? 4 : 8);
    kbMeshTransform(&roof, kbVec3(0, 4.6f, 0));
    return kbBodyOf({kbSurfaceOf(posts, 0x806050, aTex.wood), _roofSurface(roof, aTex),
                     kbSurfaceOf(_ridgeMesh(7.0f + 2 * _over, 6.2f), 0x60646C, aTex.roof)});
}

// A five-storey pagoda, about 25 high.
std::shared_ptr<kbShapeBody> _pagodaBody(const _townTex &aTex, const _quality &aQ)
{
    kbMesh roofs, walls;
    float y = 0.8f;
    for (int i = 0; i < 5; i++) {
        float w = 7.0f - i * 0.9f, h = i == 0 ? 3.4f : 2.6f;
        kbMesh box = _wallsMesh(w, w, h, 0, false);
        kbMeshTransform(&box, kbVec3(0, y, 0));
        kbMeshAppend(&walls, box);
        kbMesh r = _roofMesh(w + 1.4f, w + 1.4f, 1.4f, true, aQ.light ? 4 : 8);
        kbMeshTransform(&r, kbVec3(0, y + h, 0));
        kbMeshAppend(&roofs, r);
        y += h + 0.9f;
    }
    kbMesh spire = kbMeshLathe({{0.35f, 0}, {0.2f, 0.4f}, {0.12f, 5.0f}, {0.25f, 5.2f}, {0, 5.6f}}, aQ.detail);
    kbMeshTransform(&spire, kbVec3(0, y - 0.6f, 0));
    kbMesh base = kbMeshBox(kbVec3(9, 0.8f, 9));
    kbMeshTransform(&base, kbVec3(0, 0.4f, 0));
    kbSurface metal = kbSurfaceOf(spire, 0xA08048);
    metal.specular = 0.8f;
    return kbBodyOf({kbSurfaceOf(walls, 0xC07050, aTex.wood), _roofSurface(roofs, aTex), metal,
                     kbSurfaceOf(base, 0xA0A098, aTex.stone)});
}

// A paper lantern hanging from a cord, glowing.
std::shared_ptr<kbShapeBody> _paperLanternBody(const std::string &aTex, int aDetail, float aSize)
{
    float s = aSize;
    kbMesh l = kbMeshLathe({{0, -0.45f * s}, {0.12f * s, -0.44f * s}, {0.26f * s, -0.3f * s}, {0.3f * s, -0.1f * s},
                            {0.3f * s, 0.1f * s}, {0.26f * s, 0.3f * s}, {0.12f * s, 0.44f * s}, {0, 0.45f * s}},
                           aDetail);
    kbSurface paper = kbSurfaceOf(l, 0xFFE0A0, aTex);
    paper.emissive = kbColor(0xE0A050);
    kbMesh cord = kbMeshCylinder(0.015f, 0.6f, 4, 1);
    kbMeshTransform(&cord, kbVec3(0, 0.45f * s + 0.3f, 0));
    return kbBodyOf({paper, kbSurfaceOf(cord, 0x202020)});
}

// The town: ground, street, the two rows of houses and those behind, the wall, the hall, the
// pagoda, trees and lanterns with their light. Returns nothing; everything is placed.
void _town(kbScene *aSceneP, const _townTex &aTex, const _quality &aQ, bool aLanternLights)
{
    kbScene &sc = *aSceneP;
    kbMesh ground = kbMeshPlane(1000, 1000, 10, 10, 150);
    kbMesh street = kbMeshPlane(8, 110, 1, 8, 1);
    for (_vertexDef &v : street.vertices)
        v.u0 = v.u1 = v.vx / 4, v.v0 = v.v1 = v.vz / 4;
    kbMeshTransform(&street, kbVec3(0, 0.03f, -15));
    kbAddShape(&sc, "Ground", kbBodyOf({kbSurfaceOf(ground, 0x8C8C84, aTex.ground), kbSurfaceOf(street, 0x9C9890, aTex.stone)}),
               -1, kbConstant(kbVec3(0, 0, 20)));

    std::shared_ptr<kbShapeBody> houses[3];
    const char *names[3] = {"TownHouseA", "TownHouseB", "TownHouseC"};
    for (int k = 0; k < 3; k++)
        houses[k] = _houseBody(_kinds[k], aTex, aQ);
    // The west row (the ninja's road) alternates A and B, ridges along Z; fronts to the street.
    for (int i = 0; i < _rowCnt; i++)
        kbAddShape(&sc, names[i % 2], houses[i % 2], -1, kbConstant(kbVec3(_rowX, 0, _rowZ(i))),
                   kbConstant(_facing(kbVec3(1, 0, 0))));
    // The east row and the rows behind, in a fixed scatter of kinds.
    kbRandom rnd(0x02D02);
    std::vector<kbVec3> spots;
    for (int i = 0; i < 6; i++)
        spots.push_back(kbVec3(9.0f, 0, -36.0f + 13.0f * i));
    for (int side = -1; side <= 1; side += 2)
        for (int i = 0; i < (aQ.light ? 4 : 6); i++)
            spots.push_back(kbVec3(side * 21.0f, 0, -36.0f + 13.0f * i + (side > 0 ? 5.0f : 0.0f)));
    if (!aQ.light)
        for (int side = -1; side <= 1; side += 2)
            for (int i = 0; i < 5; i++)
                spots.push_back(kbVec3(side * 33.0f, 0, -30.0f + 14.0f * i));
    for (const kbVec3 &p : spots) {
        int k = (int)rnd.Below(3);
        kbVec3 face = p.x > 0 ? kbVec3(-1, 0, 0) : kbVec3(1, 0, 0);
        if (std::fabs(p.x) > 15 && rnd.Below(2))
            face = face * -1;
        kbAddShape(&sc, names[k], houses[k], -1, kbConstant(p), kbConstant(_facing(face)));
    }

    // The compound: wall stretches either side of the gate, and the sides running north.
    auto wallLong = _wallBody(38.0f, aTex, aQ);
    kbAddShape(&sc, "CompoundWall", wallLong, -1, kbConstant(kbVec3(-22.0f, 0, _wallZ)));
    kbAddShape(&sc, "CompoundWall", wallLong, -1, kbConstant(kbVec3(22.0f, 0, _wallZ)));
    auto wallSide = _wallBody(50.0f, aTex, aQ);
    for (int s = -1; s <= 1; s += 2)
        kbAddShape(&sc, "CompoundSide", wallSide, -1, kbConstant(kbVec3(s * 41.0f, 0, _wallZ + 25.0f)),
                   kbConstant(kbVec3(0, _pi / 2, 0)));
    kbAddShape(&sc, "Gate", _gateBody(aTex, aQ), -1, kbConstant(kbVec3(0, 0, _wallZ)));
    kbAddShape(&sc, "LordHall", _hallBody(aTex, aQ), -1, kbConstant(_hall));
    kbAddShape(&sc, "Pagoda", _pagodaBody(aTex, aQ), -1, kbConstant(kbVec3(-30.0f, 0, 72.0f)));

    // Pines in the grounds and between the back rows.
    auto pine = ctTreeBody(8.0f, aQ.light ? 6 : 10, aTex.bark, aTex.leaf);
    const kbVec3 trees[] = {{-20, 0, 50}, {14, 0, 47}, {22, 0, 64}, {-24, 0, 62}, {30, 0, 50}, {10, 0, 80},
                            {-14, 0, 82}, {-15, 0, -2}, {15, 0, 12}, {-27, 0, 20}, {27, 0, -20}, {-15, 0, -44},
                            {3, 0, 86},   {-38, 0, 88}};
    int treeCnt = aQ.light ? 7 : (int)(sizeof trees / sizeof trees[0]);
    for (int i = 0; i < treeCnt; i++) {
        float s = 0.8f + 0.08f * (i % 5);
        kbAddShape(&sc, "Pine", pine, -1, kbConstant(trees[i]), kbConstant(kbVec3(0, i * 1.3f, 0)), kbConstant(kbVec3(s, s, s)));
    }

    // Stone lanterns down both sides of the street, each with its warm light.
    auto lantern = ctLanternBody(1.8f, aQ.light ? 6 : 10, aTex.stone);
    int lanternCnt = 0;
    for (int i = 0; i < 6; i++)
        for (int s = -1; s <= 1; s += 2) {
            if (aQ.light && (i + (s > 0)) % 2)
                continue;
            kbVec3 p(s * 4.6f, 0, -30.5f + 13.0f * i);
            kbAddShape(&sc, "StoneLantern", lantern, -1, kbConstant(p));
            if (aLanternLights)
                kbAddLight(&sc, kbLightPoint(p + kbVec3(-s * 0.6f, 1.3f, 0), 0xFFA050, 0.9f, 7.0f));
            lanternCnt++;
        }
    // Paper lanterns at the gate and before the hall.
    auto paper = _paperLanternBody(aTex.lantern, aQ.detail, 0.9f);
    const kbVec3 hung[] = {{-2.2f, 3.7f, _wallZ - 1.4f}, {2.2f, 3.7f, _wallZ - 1.4f}, {-9.0f, 4.8f, _hall.z - 8.3f},
                           {1.0f, 4.8f, _hall.z - 8.3f}};
    for (int i = 0; i < 4; i++) {
        float ph = i * 1.1f;
        kbAddShape(&sc, "HangingLantern", paper, -1, kbConstant(hung[i]),
                   [ph](int f) { return kbVec3(0.05f * std::sin(f * 0.05f + ph), 0, 0.04f * std::cos(f * 0.043f + ph)); });
        if (aLanternLights)
            kbAddLight(&sc, kbLightPoint(hung[i] + kbVec3(0, -0.2f, -0.5f), 0xFFB060, 1.0f, 9.0f));
    }
}

_townTex _townTextures(ctTextures *aTexP, const std::string &aPrefix, uint32_t aSize, bool aGame2Pictures)
{
    _townTex t;
    uint32_t s = aSize, half = std::max(64u, aSize / 2);
    // Rows of round tiles: a ridge every tile, a shadow line under every course.
    kbImage roof = kbImageMake(s, s);
    kbImage grain = kbTexStone(s, 0x505868, 2201);
    for (uint32_t y = 0; y < s; y++)
        for (uint32_t x = 0; x < s; x++) {
            float u = (float)(x % (s / 8)) / (s / 8), v = (float)(y % (s / 8)) / (s / 8);
            float shade = 0.55f + 0.45f * std::sin(u * _pi) - (v > 0.85f ? 0.35f : 0.0f) + 0.1f * v;
            roof.pixels[y * s + x] = kbShade(kbMixColor(0x4A5262FF, grain.pixels[y * s + x], 0.35f), shade);
        }
    t.roof = aTexP->Add(aPrefix + "roof.bmp", roof);
    // Plaster above, dark boards below, a beam between and a post at one edge.
    kbImage plaster = kbTexPaper(s, 0xD8D2C4, 2202), boards = kbTexWood(s, 0x3A2A1E, 2203);
    kbImage wall = kbImageMake(s, s);
    for (uint32_t y = 0; y < s; y++)
        for (uint32_t x = 0; x < s; x++) {
            float v = (float)y / s, u = (float)x / s;
            uint32_t c = v < 0.55f ? plaster.pixels[y * s + x] : boards.pixels[x * s + y];
            if ((v > 0.52f && v < 0.6f) || u < 0.06f || v < 0.04f)
                c = kbShade(boards.pixels[y * s + x], 0.8f);
            wall.pixels[y * s + x] = c;
        }
    t.wall = aTexP->Add(aPrefix + "wall.bmp", wall);
    t.ground = aTexP->Add(aPrefix + "ground.bmp", kbTexGround(s, 0x5A5448, 2204));
    t.stone = aTexP->Add(aPrefix + "stone.bmp", kbTexStone(half, 0x8A8A84, 2205));
    t.bark = aTexP->Add(aPrefix + "bark.bmp", kbTexWood(std::max(64u, half / 2), 0x4A3828, 2206));
    t.leaf = aTexP->Add(aPrefix + "leaf.bmp", kbTexGround(half, 0x2E4A2A, 2207));
    if (aGame2Pictures) {
        // The hall's own pictures are already in the package; the same bytes go in once.
        t.shoji = aTexP->Add("g2_shoji.bmp", kbTexShoji(aSize * 2, 202));
        t.lantern = aTexP->Add("g2_lantern.bmp", kbTexPaper(aSize, 0xF0D8A0, 208));
        t.wood = aTexP->Add("g2_pillar.bmp", kbTexWood(aSize, 0x5A3520, 203));
    } else {
        t.shoji = aTexP->Add(aPrefix + "shoji.bmp", kbTexShoji(half, 202));
        t.lantern = aTexP->Add(aPrefix + "lantern.bmp", kbTexPaper(half, 0xF0D8A0, 208));
        t.wood = aTexP->Add(aPrefix + "pillar.bmp", kbTexWood(half, 0x5A3520, 203));
    }
    return t;
}

// Heights of the roofs the ninja runs on.
float _rowRidge(int aI)
{
    const _houseSpec &h = _kinds[aI % 2];
    return h.eave - 0.1f + h.rise + 0.14f;
}
float _hallRoofY(float aZ)
{
    return _hallEave + _roofY(0, aZ - _hall.z, 11 + 2.0f, _hallHalfD, _hallRise, true);
}

// The ninja's road: stands, runs and leaps, foot positions frame by frame.
class _route {
public:
    enum { STAND, RUN, LEAP };
    struct Step {
        int f0, f1, kind;
        kbVec3 a, b;
        float arc;
    };
    explicit _route(kbVec3 aStart) : _p(aStart) {}
    void Stand(int aFrames) { _add(aFrames, STAND, _p, 0); }
    void Run(kbVec3 aTo, float aSpeed) { _add(std::max(1, (int)std::lround(kbLength(aTo - _p) / aSpeed)), RUN, aTo, 0); }
    void Leap(kbVec3 aTo, int aFrames, float aArc) { _add(aFrames, LEAP, aTo, aArc); }
    int End() const { return _t; }
    const std::vector<Step> &Steps() const { return _steps; }
    const Step &At(int aFrame) const
    {
        for (const Step &s : _steps)
            if (aFrame < s.f1)
                return s;
        return _steps.back();
    }
    kbVec3 Feet(int aFrame) const
    {
        const Step &s = At(aFrame);
        float t = _clamp01((float)(aFrame - s.f0) / (s.f1 - s.f0));
        kbVec3 p = kbLerp(s.a, s.b, t);
        p.y += s.arc * 4 * t * (1 - t);
        return p;
    }
    // Heading of travel; a stand keeps the last one.
    kbVec3 Dir(int aFrame) const
    {
        kbVec3 d(0, 0, 1);
        for (const Step &s : _steps) {
            if (s.f0 > aFrame)
                break;
            kbVec3 m = s.b - s.a;
            m.y = 0;
            if (kbLength(m) > 0.01f)
                d = kbNormalize(m);
        }
        return d;
    }

private:
    void _add(int aFrames, int aKind, kbVec3 aTo, float aArc)
    {
        _steps.push_back({_t, _t + aFrames, aKind, _p, aTo, aArc});
        _t += aFrames;
        _p = aTo;
    }
    std::vector<Step> _steps;
    int _t = 0;
    kbVec3 _p;
};

_route _ninjaRoute()
{
    const float speed = 0.18f;
    float ridge0 = _rowRidge(0);
    _route r(kbVec3(_rowX, ridge0, _rowZ(0) - 5.0f));
    r.Stand(215);
    for (int i = 0; i < _rowCnt; i++) {
        r.Run(kbVec3(_rowX, _rowRidge(i), _rowZ(i) + 5.2f), speed);
        if (i + 1 < _rowCnt)
            r.Leap(kbVec3(_rowX, _rowRidge(i + 1), _rowZ(i + 1) - 5.2f), 14, 0.9f);
    }
    // Down onto the wall, then the long leap onto the hall's roof and up its slope.
    r.Leap(kbVec3(_rowX, _wallH + 0.45f + 0.14f, _wallZ), 22, 1.2f);
    r.Stand(6);
    r.Leap(kbVec3(_rowX + 0.5f, _hallRoofY(50.5f), 50.5f), 32, 3.0f);
    r.Stand(8);
    r.Run(kbVec3(_rowX + 1.0f, _hallRoofY(53.2f), 53.2f), 0.14f);
    r.Stand(CT_NIGHT_FRAMES - r.End());
    return r;
}

// Poses of a ninja rig along its road: crouched while it waits, the forward-leaning run with the
// arms swept back, tucked in the air, a crouch on landing, then the sword drawn at aDraw.
void _ninjaPoses(kbRig *aRigP, const _route &aRoute, int aDraw)
{
    kbRig &r = *aRigP;
    auto crouch = [&r](int f) {
        r.Pose(CT_TORSO, (float)f, kbVec3(0.55f, 0, 0));
        for (int side = 0; side < 2; side++) {
            float s = side ? 1.0f : -1.0f;
            r.Pose(side ? CT_THIGH_L : CT_THIGH_R, (float)f, kbVec3(-1.4f, 0, s * 0.25f));
            r.Pose(side ? CT_SHIN_L : CT_SHIN_R, (float)f, kbVec3(1.9f, 0, 0));
            r.Pose(side ? CT_UARM_L : CT_UARM_R, (float)f, kbVec3(-0.5f, 0, -s * 0.3f));
            r.Pose(side ? CT_FARM_L : CT_FARM_R, (float)f, kbVec3(-0.9f, 0, 0));
        }
    };
    auto tuck = [&r](int f) {
        r.Pose(CT_TORSO, (float)f, kbVec3(0.45f, 0, 0));
        r.Pose(CT_THIGH_R, (float)f, kbVec3(-1.5f, 0, 0));
        r.Pose(CT_SHIN_R, (float)f, kbVec3(1.7f, 0, 0));
        r.Pose(CT_THIGH_L, (float)f, kbVec3(-0.9f, 0, 0));
        r.Pose(CT_SHIN_L, (float)f, kbVec3(1.9f, 0, 0));
        r.Pose(CT_UARM_R, (float)f, kbVec3(0.9f, 0, 0.5f));
        r.Pose(CT_UARM_L, (float)f, kbVec3(0.9f, 0, -0.5f));
        r.Pose(CT_FARM_R, (float)f, kbVec3(-0.3f, 0, 0));
        r.Pose(CT_FARM_L, (float)f, kbVec3(-0.3f, 0, 0));
    };
    for (const _route::Step &s : aRoute.Steps()) {
        if (s.kind == _route::STAND) {
            crouch(s.f0);
            if (s.f1 - s.f0 > 20)
                crouch(s.f1 - 8);
        } else if (s.kind == _route::LEAP) {
            tuck(s.f0 + 2);
            tuck(s.f1 - 3);
        } else {
            // Stride of 16 frames: contact, passing, contact on the other foot, passing.
            for (int f = s.f0 + 2, k = 0; f < s.f1 - 1; f += 4, k++) {
                int ph = k % 4;
                float fr = (float)f;
                r.Pose(CT_TORSO, fr, kbVec3(0.5f, 0, 0));
                r.Pose(CT_UARM_R, fr, kbVec3(1.1f, 0, 0.35f));
                r.Pose(CT_UARM_L, fr, kbVec3(1.1f, 0, -0.35f));
                r.Pose(CT_FARM_R, fr, kbVec3(-0.2f, 0, 0));
                r.Pose(CT_FARM_L, fr, kbVec3(-0.2f, 0, 0));
                bool rightFront = ph == 0;
                if (ph == 0 || ph == 2) {
                    r.Pose(CT_THIGH_R, fr, kbVec3(rightFront ? -1.0f : 0.45f, 0, 0));
                    r.Pose(CT_THIGH_L, fr, kbVec3(rightFront ? 0.45f : -1.0f, 0, 0));
                    r.Pose(CT_SHIN_R, fr, kbVec3(rightFront ? 0.3f : 0.9f, 0, 0));
                    r.Pose(CT_SHIN_L, fr, kbVec3(rightFront ? 0.9f : 0.3f, 0, 0));
                } else {
                    bool rightUp = ph == 1;  // the back leg swings through, heel high
                    r.Pose(CT_THIGH_R, fr, kbVec3(rightUp ? -0.5f : -0.1f, 0, 0));
                    r.Pose(CT_THIGH_L, fr, kbVec3(rightUp ? -0.1f : -0.5f, 0, 0));
                    r.Pose(CT_SHIN_R, fr, kbVec3(rightUp ? 1.8f : 0.4f, 0, 0));
                    r.Pose(CT_SHIN_L, fr, kbVec3(rightUp ? 0.4f : 1.8f, 0, 0));
                }
            }
        }
    }
    // Rising out of the last crouch to draw over the shoulder and hold the blade before him.
    float d = (float)aDraw;
    r.Pose(CT_TORSO, d - 20, kbVec3(0.25f, 0, 0));
    r.Pose(CT_THIGH_R, d - 20, kbVec3(-0.7f, 0, 0.2f));
    r.Pose(CT_THIGH_L, d - 20, kbVec3(0.2f, 0, -0.2f));
    r.Pose(CT_SHIN_R, d - 20, kbVec3(0.9f, 0, 0));
    r.Pose(CT_SHIN_L, d - 20, kbVec3(0.5f, 0, 0));
    r.Pose(CT_UARM_R, d - 12, kbVec3(-2.7f, 0, -0.3f));
    r.Pose(CT_FARM_R, d - 12, kbVec3(-1.2f, 0, 0));
    r.Pose(CT_UARM_R, d, kbVec3(-2.9f, 0, -0.2f));
    r.Pose(CT_UARM_R, d + 12, kbVec3(-1.1f, 0, -0.2f));
    r.Pose(CT_FARM_R, d + 12, kbVec3(-0.5f, 0, 0));
    r.Pose(CT_UARM_L, d + 12, kbVec3(-0.9f, 0, 0.4f));
    r.Pose(CT_FARM_L, d + 12, kbVec3(-0.8f, 0, 0));
    r.Pose(CT_TORSO, d + 12, kbVec3(0.2f, 0, 0));
    r.Pose(CT_TORSO, (float)CT_NIGHT_FRAMES, kbVec3(0.2f, 0, 0));
    r.Pose(CT_UARM_R, (float)CT_NIGHT_FRAMES, kbVec3(-1.1f, 0, -0.2f));
}

// A walking watchman: legs and arms swing over a 32-frame step.
void _walkPoses(kbRig *aRigP, int aFrames, int aPhase)
{
    for (int f = 0; f <= aFrames; f += 8) {
        int ph = ((f + aPhase) / 8) % 4;
        float sw = ph == 0 ? 0.4f : ph == 2 ? -0.4f : 0.0f;
        aRigP->Pose(CT_THIGH_R, (float)f, kbVec3(-sw, 0, 0));
        aRigP->Pose(CT_THIGH_L, (float)f, kbVec3(sw, 0, 0));
        aRigP->Pose(CT_SHIN_R, (float)f, kbVec3(ph == 1 ? 0.6f : 0.1f, 0, 0));
        aRigP->Pose(CT_SHIN_L, (float)f, kbVec3(ph == 3 ? 0.6f : 0.1f, 0, 0));
        aRigP->Pose(CT_UARM_L, (float)f, kbVec3(-0.3f * sw, 0, 0.15f));
    }
    // The lantern hand held forward.
    aRigP->Pose(CT_UARM_R, 0, kbVec3(-0.5f, 0, -0.1f));
    aRigP->Pose(CT_FARM_R, 0, kbVec3(-0.6f, 0, 0));
    aRigP->Pose(CT_TORSO, 0, kbVec3(0.06f, 0, 0));
}

std::vector<float> _fadeTrack(int aFrames, float aNormal, float aBlack, int aFrom)
{
    std::vector<float> t(aFrames);
    for (int f = 0; f < aFrames; f++)
        t[f] = aNormal + (aBlack - aNormal) * _smooth((float)aFrom, (float)aFrames - 1, (float)f);
    return t;
}

// A night sky of its own for the scenes without clouds: a dome of stars over a dark gradient.
kbImage _skyPicture(uint32_t aSize, uint32_t aSeed)
{
    kbImage stars = kbTexStars(aSize, aSeed);
    kbImage img = kbImageMake(aSize, aSize);
    // v runs from the dome's foot (top rows) to its crown.
    for (uint32_t y = 0; y < aSize; y++) {
        float v = (float)y / (aSize - 1);
        float h = _clamp01((v - 0.5f) * 2);  // 0 at the horizon, 1 at the zenith
        uint32_t base = kbMixColor(0x2A3A5CFF, 0x03060EFF, std::pow(h, 0.5f));
        for (uint32_t x = 0; x < aSize; x++) {
            uint32_t s = stars.pixels[y * aSize + x];
            float k = v < 0.5f ? 0.0f : std::min(1.0f, h * 3);
            uint32_t r = std::min(255u, ((base >> 24) & 255) + (uint32_t)(((s >> 24) & 255) * k));
            uint32_t g = std::min(255u, ((base >> 16) & 255) + (uint32_t)(((s >> 16) & 255) * k));
            uint32_t b = std::min(255u, ((base >> 8) & 255) + (uint32_t)(((s >> 8) & 255) * k));
            img.pixels[y * aSize + x] = kbRgb(r, g, b);
        }
    }
    return img;
}

// The sky dome, the moon and its halo. Returns nothing; aMoon is where the moon hangs. With
// aSunP the moon's picture carries its phase, lit from that direction (the moon never turns,
// and no scene light may shade it alone), so that it reads as a ball where the camera dwells on it.
void _ownSky(kbScene *aSceneP, ctTextures *aTexP, const std::string &aPrefix, const _quality &aQ, kbVec3 aCentre,
             float aRadius, kbVec3 aMoon, kbVec3 aViewFrom, const kbVec3 *aSunP = nullptr)
{
    std::string skyT = aTexP->Add(aPrefix + "sky.bmp", _skyPicture(std::min(aQ.light ? 256u : 512u, aQ.tex * 2), 0x5EA5));
    kbMesh dome = kbMeshSphere(aRadius, aQ.light ? 16 : 32, aQ.light ? 8 : 16);
    // Two pictures round the dome keep the stars round: each spans as far as the crown is high.
    for (_vertexDef &v : dome.vertices)
        v.u0 = v.u1 = v.u0 * 2;
    for (_vertexDef &v : dome.vertices)
        v.nx = -v.nx, v.ny = -v.ny, v.nz = -v.nz;
    kbMeshOrient(&dome);
    kbSurface sky = kbSurfaceOf(dome, 0x000000, skyT);
    sky.emissive = kbColor(0xFFFFFF);
    kbAddShape(aSceneP, "NightSky", kbBodyOf({sky}), -1, kbConstant(aCentre));

    kbImage moonPic = kbTexStone(aQ.tex / 2, 0xC8C8C0, 0x300);
    for (uint32_t &p : moonPic.pixels)
        p = kbMixColor(p, 0xF4F2E8FF, 0.55f);
    if (aSunP) {
        // The sphere's texel at (u, v) faces (sin a sin t, -cos a, sin a cos t), a = pi v, t = 2 pi u.
        const kbVec3 sun = kbNormalize(*aSunP);
        for (uint32_t y = 0; y < moonPic.height; y++)
            for (uint32_t x = 0; x < moonPic.width; x++) {
                float a = _pi * (y + 0.5f) / moonPic.height, t = 2 * _pi * (x + 0.5f) / moonPic.width;
                float lit = kbDot(kbVec3(std::sin(a) * std::sin(t), -std::cos(a), std::sin(a) * std::cos(t)), sun);
                float k = std::max(0.0f, std::min(1.0f, (lit + 0.15f) / 0.6f));
                uint32_t &p = moonPic.pixels[y * moonPic.width + x];
                p = kbShade(p, 0.1f + 0.9f * k * k * (3 - 2 * k));
            }
    }
    std::string moonT = aTexP->Add(aPrefix + "moon.bmp", moonPic);
    kbSurface moon = kbSurfaceOf(kbMeshSphere(aRadius * 0.045f, aQ.detail * 2, aQ.detail), 0x000000, moonT);
    moon.emissive = kbColor(0xFFFFF4);
    kbAddShape(aSceneP, "Moon", kbBodyOf({moon}), -1, kbConstant(aMoon));

    std::string glowT = aTexP->Add(aPrefix + "halo.bmp", kbPictureGlow(aQ.tex / 2, aQ.tex / 2, 0x8090C0FF));
    kbMesh q = kbMeshPlane(aRadius * 0.45f, aRadius * 0.45f, 1, 1, 1);
    kbMeshTransform(&q, kbVec3(), kbVec3(-_pi / 2, 0, 0));
    kbSurface halo = kbSurfaceOf(q, 0xFFFFFF, glowT);
    halo.blend = 1;
    halo.twoSided = true;
    kbVec3 toward = aMoon - aViewFrom;
    kbAddShape(aSceneP, "MoonHalo", kbBodyOf({halo}), -1, kbConstant(aMoon - kbNormalize(toward) * (aRadius * 0.05f)),
               kbConstant(kbAimAngles(toward)));
}

// Capital letters built up in rows of blocks from the letter's own shape, standing on y = 0 and
// facing -Z. Returns the width.
float _letterMesh(const std::string &aChar, float aHeight, float aDepth, int aRows, kbMesh *aOutP)
{
    float textH = aRows * 1.45f;
    int w = (int)std::ceil(kbTextWidth(aChar, textH)) + 8, h = (int)std::ceil(textH * 1.3f);
    kbImage img = kbImageMake(w, h, 0x000000FF);
    kbDrawText(&img, 4, 2, textH, 0xFFFFFFFF, aChar);
    int top = h, bottom = -1, left = w, right = -1;
    auto on = [&](int x, int y) { return ((img.pixels[y * w + x] >> 24) & 255) > 120; };
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            if (on(x, y))
                top = std::min(top, y), bottom = std::max(bottom, y), left = std::min(left, x), right = std::max(right, x);
    if (bottom < 0)
        return 0;
    float cell = aHeight / (bottom - top + 1);
    float cx = (left + right + 1) * 0.5f;
    for (int y = top; y <= bottom; y++)
        for (int x = left; x <= right;) {
            if (!on(x, y)) {
                x++;
                continue;
            }
            int x0 = x;
            while (x <= right && on(x, y))
                x++;
            kbMesh b = kbMeshBox(kbVec3((x - x0) * cell, cell * 1.02f, aDepth));
            for (_vertexDef &v : b.vertices)
                v.u0 = v.u1 = (v.vx + (x0 + x) * 0.5f * cell) / aHeight, v.v0 = v.v1 = (y - top) / (float)(bottom - top + 1);
            kbMeshTransform(&b, kbVec3(((x0 + x) * 0.5f - cx) * cell, (bottom - y + 0.5f) * cell, 0));
            kbMeshAppend(aOutP, b);
        }
    return (right - left + 1) * cell;
}

// A picture of a line of text on black, for additive plates.
kbImage _textPicture(uint32_t aW, uint32_t aH, const std::string &aText, uint32_t aColor)
{
    kbImage img = kbImageMake(aW, aH, 0x000000FF);
    float th = aH * 0.62f;
    while (kbTextWidth(aText, th, false) > aW * 0.94f)
        th *= 0.95f;
    kbDrawText(&img, (aW - kbTextWidth(aText, th, false)) / 2, (aH - th) / 2, th, aColor, aText, false);
    return img;
}

ctScene _title(bool aLight)
{
    _quality q{aLight, aLight ? 6 : 12, aLight ? 128u : 256u};
    ctScene out = ctSceneOf(aLight, "01", "l01", "01.ksf", "l01.ksf");
    kbScene &sc = out.scene;
    ctTextures &tx = out.textures;
    const int frames = CT_TITLE_FRAMES;
    kbSceneBegin(&sc, frames, 0.5f, 1400.0f, 0x000000, 0x303850, 0.5f);
    // No haze; the fog only closes in over the last two seconds, taking the picture to black.
    kbSceneFog(&sc, 2000, 3000, 0x000000);
    sc.fogMinDist = _fadeTrack(frames, 2000, 0.0f, frames - 60);
    sc.fogMaxDist = _fadeTrack(frames, 3000, 0.5f, frames - 60);

    const kbVec3 eye0(0, 32, -125), moon(0, 250, 800), title(0, 37, -87);
    _townTex tt = _townTextures(&tx, "d01_", q.tex, false);
    // A waxing moon, lit from the right of the camera's view and a little toward it.
    const kbVec3 moonSun(0.85f, 0.3f, -0.45f);
    _ownSky(&sc, &tx, "d01_", q, kbVec3(0, 0, 0), 1000.0f, moon, eye0, &moonSun);
    _town(&sc, tt, q, true);
    // The hill the view is taken from, and a pine framing the left of the picture.
    kbMesh hill = kbMeshTerrain(160, 90, aLight ? 12 : 24, aLight ? 8 : 16, [](float x, float z) {
        float d = std::sqrt(x * x * 0.15f + (z + 10) * (z + 10));
        return std::max(0.0f, 24.0f * (1 - d / 45.0f)) + 1.5f * ctNoise3(kbVec3(x, 0, z) * 0.2f, 9);
    }, 12);
    kbAddShape(&sc, "Hill", kbBodyOf({kbSurfaceOf(hill, 0x707868, tt.ground)}), -1, kbConstant(kbVec3(0, 0, -130)));
    auto pine = ctTreeBody(12.0f, q.detail, tt.bark, tt.leaf);
    kbAddShape(&sc, "HillPine", pine, -1, kbConstant(kbVec3(-13, 18.5f, -112)), kbConstant(kbVec3(0, 0.4f, 0)));
    kbAddShape(&sc, "HillPine", pine, -1, kbConstant(kbVec3(16, 17.0f, -108)), kbConstant(kbVec3(0, 1.9f, 0)),
               kbConstant(kbVec3(0.8f, 0.8f, 0.8f)));

    // The title, letter by letter, rising into place in front of the moon.
    std::string metalT = tx.Add("d01_silver.bmp", kbTexMetal(q.tex, 0xB8C4DC, 0x7171));
    const std::string word = "KESTREL";
    std::vector<kbMesh> letters(word.size());
    std::vector<float> widths(word.size());
    float total = 0;
    for (size_t i = 0; i < word.size(); i++) {
        widths[i] = _letterMesh(word.substr(i, 1), 4.2f, 0.9f, aLight ? 22 : 40, &letters[i]);
        total += widths[i] + (i ? 0.7f : 0.0f);
    }
    float x = -total / 2;
    std::map<char, std::shared_ptr<kbShapeBody>> bodies;
    for (size_t i = 0; i < word.size(); i++) {
        char c = word[i];
        if (!bodies.count(c)) {
            kbSurface s = kbSurfaceOf(letters[i], 0xD0D8E8, metalT);
            s.specular = 1.0f;
            s.emissive = kbColor(0x303A58);
            bodies[c] = kbBodyOf({s});
        }
        float cx = x + widths[i] / 2;
        x += widths[i] + 0.7f;
        int at = 150 + (int)i * 16;
        kbVec3 rest = title + kbVec3(cx, 0, 0);
        kbCurve trans = [rest, at](int f) {
            float k = _smooth((float)at, (float)at + 50, (float)f);
            return rest + kbVec3(0, -30.0f * (1 - k), 10.0f * (1 - k));
        };
        kbCurve angle = [at](int f) {
            float k = _smooth((float)at, (float)at + 50, (float)f);
            return kbVec3(0.15f * std::sin(f * 0.013f) * k, (1 - k) * 2.2f, 0);
        };
        kbAddShape(&sc, std::string("Title") + c, bodies[c], -1, trans, angle);
    }
    // The line under the title, drawn open from the middle.
    std::string subT = tx.Add("d01_subtitle.bmp", _textPicture(q.tex * 2, q.tex / 4, "a night in the castle town", 0xC8D4F0FF));
    kbMesh plate = kbMeshPlane(18, 18.0f / 8, 1, 1, 1);
    kbMeshTransform(&plate, kbVec3(), kbVec3(-_pi / 2, 0, 0));
    for (_vertexDef &v : plate.vertices)
        v.u0 = v.u1 = 1 - v.u0;
    kbSurface subS = kbSurfaceOf(plate, 0xFFFFFF, subT);
    subS.blend = 1;
    subS.twoSided = true;
    kbAddShape(&sc, "Subtitle", kbBodyOf({subS}), -1, kbConstant(title + kbVec3(0, -2.6f, 0)), kbConstant(kbVec3(0, _pi, 0)),
               [](int f) {
                   float k = std::max(0.001f, _smooth(300, 345, (float)f));
                   return kbVec3(k, 1, 1);
               });

    // A kestrel crosses the moon at the start, beating and gliding.
    {
        kbRig bird;
        kbMesh body = kbMeshLathe({{0, -0.5f}, {0.08f, -0.4f}, {0.11f, 0.0f}, {0.09f, 0.25f}, {0.05f, 0.4f}, {0, 0.45f}}, q.detail);
        kbMeshTransform(&body, kbVec3(), kbVec3(_pi / 2, 0, 0));
        kbMesh tail = kbMeshSlab({{-0.05f, -0.4f}, {0.05f, -0.4f}, {0.15f, -0.85f}, {-0.15f, -0.85f}}, 0.02f);
        kbMeshAppend(&body, tail);
        int root = bird.Add("KestrelBody", kbBodyOf({kbSurfaceOf(body, 0x3A2E28)}), -1, kbVec3());
        for (int s = -1; s <= 1; s += 2) {
            kbMesh wing = kbMeshSlab({{0, 0.15f}, {s * 0.9f, 0.05f}, {s * 1.5f, -0.25f}, {s * 0.8f, -0.2f}, {0, -0.15f}}, 0.03f);
            int w = bird.Add(s < 0 ? "KestrelWingR" : "KestrelWingL", kbBodyOf({kbSurfaceOf(wing, 0x4A3A30)}), root,
                             kbVec3(s * 0.08f, 0.03f, 0.05f));
            for (int f = 0; f <= 240; f += 6) {
                bool glide = f > 100 && f < 170;
                float a = glide ? 0.1f : ((f / 6) % 2 ? 0.55f : -0.45f);
                bird.Pose(w, (float)f, kbVec3(0, 0, -s * a));
            }
        }
        kbVec3 toMoon = kbNormalize(moon - eye0), side = kbNormalize(kbCross(kbVec3(0, 1, 0), toMoon));
        kbVec3 cross = eye0 + toMoon * 50.0f;
        kbCurve path = [cross, side](int f) {
            float t = (f - 95) * 0.4f;
            return cross + side * t + kbVec3(0, 0.5f * std::sin(f * 0.05f) - t * 0.08f, 0);
        };
        kbCurve head = [side](int f) { return kbVec3(0.05f * std::sin(f * 0.21f), kbAimAngles(side).y, 0); };
        bird.Place(&sc, -1, path, head, kbVec3(2.2f, 2.2f, 2.2f));
    }

    // The camera: up at the moon and the bird, down to the letters as they rise, then over them to
    // the sleeping town.
    kbCurve eye = [eye0](int f) {
        kbVec3 e = eye0 + kbVec3(0, 0, 10.0f * _smooth(140, 420, (float)f));
        return kbLerp(e, kbVec3(0, 28, -128), _smooth(430, 700, (float)f));
    };
    kbCurve look = [moon, title](int f) {
        kbVec3 t = kbLerp(moon, title + kbVec3(0, 1.0f, 0), _smooth(110, 250, (float)f));
        return kbLerp(t, kbVec3(0, 16, 0), _smooth(440, 690, (float)f));
    };
    kbAddCamera(&sc, eye, look, 0.9f);
    // The moon behind the title rims it; a cold fill from the hill lets the letters read as silver.
    kbAddLight(&sc, kbLightDirectional(kbNormalize(kbVec3(0.2f, -0.45f, -1.0f)), 0xA8B8E0, 0.7f));
    kbAddLight(&sc, kbLightDirectional(kbNormalize(kbVec3(-0.25f, -0.35f, 1.0f)), 0x8090C0, 0.8f));
    kbSceneCount(&sc);
    return out;
}

ctScene _night(bool aLight)
{
    _quality q{aLight, aLight ? 6 : 12, aLight ? 256u : 512u};
    ctScene out = ctSceneOf(aLight, "02", "l20", "02.ksf", "l02.ksf");
    kbScene &sc = out.scene;
    ctTextures &tx = out.textures;
    const int frames = CT_NIGHT_FRAMES;
    // The clouds fill every pixel the town leaves at the far plane; the Light run has a dome instead.
    kbSceneBegin(&sc, frames, 0.1f, 600.0f, 0x0A1020, 0x283450, 0.55f);
    kbSceneFog(&sc, aLight ? 120.0f : 40.0f, aLight ? 1200.0f : 320.0f, 0x0C1426);

    _townTex tt = _townTextures(&tx, "d02_", q.tex, !aLight);
    _town(&sc, tt, q, true);
    const kbVec3 moonAt(-130, 200, 260);
    if (aLight)
        _ownSky(&sc, &tx, "d02_", q, kbVec3(0, -40, 20), 380.0f, moonAt, kbVec3(0, 8, -40));

    std::string heroT = aLight ? tx.Add("g2_hero.bmp", kbTexPaper(q.tex, 0x2A3050, 205))
                               : tx.Add("g2_hero.bmp", kbTexPaper(512, 0x2A3050, 205));
    std::string steelT = tx.Add("g2_steel.bmp", kbTexMetal(256, 0xC8CCD4, 209));
    std::string guardT = tx.Add("d02_guard.bmp", kbTexPaper(q.tex / 2, 0x5A3A28, 2208));

    // The ninja: the hall battle's swordsman, on his way there.
    _route road = _ninjaRoute();
    const int draw = 790;
    // Under the moon his dark robe needs a lighter material than the lantern-lit hall gives it.
    ctFighterLook heroLook{"Hero", 0x98A8D0, 0x303036, 0xE0C0A0, heroT, q.detail};
    kbRig hero = ctFighterRig(heroLook, 1.7f);
    for (int i = 0; i < hero.Size(); i++)
        for (kbAbility &a : hero[i].body->abilities)
            a.def.material.emissive = kbColor(0x141C2C);
    _ninjaPoses(&hero, road, draw);
    kbCurve heroRoot = [road](int f) {
        const _route::Step &s = road.At(f);
        kbVec3 p = road.Feet(f);
        float y = 0.93f;
        if (s.kind == _route::RUN)
            y = 0.86f + 0.06f * std::fabs(std::sin((f - s.f0) * _pi / 8));
        else if (s.kind == _route::STAND)
            y = f > draw - 20 ? 0.8f : 0.5f;
        else
            y = 0.75f;
        return p + kbVec3(0, y, 0);
    };
    kbCurve heroHead = [road](int f) { return _facing(road.Dir(f)); };
    std::vector<int> heroShapes = hero.Place(&sc, -1, heroRoot, heroHead);
    // The sword rides on his back until he draws it.
    auto sheathed = ctSwordBody(1.0f, steelT);
    int back = kbAddShape(&sc, "HeroSwordSheathed", sheathed, heroShapes[CT_TORSO], kbConstant(kbVec3(0.05f, 0.45f, -0.2f)),
                          kbConstant(kbVec3(2.4f, 0, 0.6f)));
    sc.shapes[back].dissolve = kbDissolveWindow(frames, 0, draw - 1);
    int blade = kbAddShape(&sc, "HeroSword", ctSwordBody(1.0f, steelT), heroShapes[CT_FARM_R], kbConstant(ctHand(1.7f)),
                           kbConstant(kbVec3(0.1f, 0, 0)));
    sc.shapes[blade].dissolve = kbDissolveWindow(frames, draw - 1, frames);

    // The one who waits on the upper roof.
    ctFighterLook rivalLook{"Rival", 0x301820, 0x100808, 0xC8A890, guardT, q.detail};
    kbRig rival = ctFighterRig(rivalLook, 1.8f);
    rival.Pose(CT_UARM_R, 0, kbVec3(-0.3f, 0, -0.25f));
    rival.Pose(CT_FARM_R, 0, kbVec3(-0.4f, 0, 0));
    rival.Pose(CT_UARM_L, 0, kbVec3(0.1f, 0, 0.2f));
    rival.Pose(CT_THIGH_R, 0, kbVec3(-0.2f, 0, -0.15f));
    rival.Pose(CT_THIGH_L, 0, kbVec3(0.15f, 0, 0.15f));
    rival[CT_TORSO].extra = [](int f) { return kbVec3(0.02f * std::sin(f * 0.04f), 0.05f * std::sin(f * 0.017f), 0); };
    kbVec3 rivalAt(_hall.x + 1.5f, _upperBase + _upperRise + 0.14f + 0.99f, _hall.z);
    std::vector<int> rivalShapes =
        rival.Place(&sc, -1, kbConstant(rivalAt), kbConstant(_facing(kbVec3(-0.6f, 0, -1))), kbVec3(1, 1, 1));
    kbAddShape(&sc, "RivalSword", ctSwordBody(1.1f, steelT), rivalShapes[CT_FARM_R], kbConstant(ctHand(1.8f)),
               kbConstant(kbVec3(1.2f, 0, 0)));

    // Two watchmen walk the street with a lantern, unaware.
    {
        ctFighterLook guardLook{"Guard", 0xC0A080, 0x40342A, 0xD0B090, guardT, q.detail};
        auto hand = _paperLanternBody(tt.lantern, q.detail, 0.5f);
        // Copies of one rig share its bodies, as shapes of one name must.
        const kbRig shared = ctFighterRig(guardLook, 1.65f);
        for (int g = 0; g < 2; g++) {
            kbRig guard = shared;
            _walkPoses(&guard, frames, g * 12);
            float x0 = g ? 1.6f : -1.2f, z0 = g ? 30.0f : 24.0f;
            kbCurve trans = [x0, z0](int f) { return kbVec3(x0, 0.9f + 0.02f * std::fabs(std::sin(f * _pi / 16)), z0 - f * 0.035f); };
            std::vector<int> gs = guard.Place(&sc, -1, trans, kbConstant(_facing(kbVec3(0, 0, -1))));
            kbAddShape(&sc, "GuardLantern", hand, gs[CT_FARM_R], kbConstant(ctHand(1.65f) + kbVec3(0, -0.45f, 0)),
                       [g](int f) { return kbVec3(0.12f * std::sin(f * 0.2f + g), 0, 0); });
        }
    }

    // Shots. Each lambda gives eye and target for its frames; the cuts fall between them.
    kbCurve heroAt = [heroRoot](int f) { return heroRoot(f); };
    auto shot = [heroAt, road](int f, bool aEye) -> kbVec3 {
        kbVec3 h = heroAt(f);
        if (f < 190) {
            // High over the south end of town, sinking as it drifts toward the hall.
            float k = _smooth(0, 189, (float)f);
            kbVec3 e = kbLerp(kbVec3(34, 40, -78), kbVec3(20, 19, -62), k);
            kbVec3 t = kbLerp(kbVec3(-4, 8, 40), kbVec3(-8, 6, -20), _smooth(40, 189, (float)f));
            return aEye ? e : t;
        }
        if (f < 300) {
            // On the first roof, low behind him as he rises and runs off.
            kbVec3 e(_rowX + 2.4f, _rowRidge(0) + 0.6f, _rowZ(0) - 10.0f + 0.03f * (f - 190));
            return aEye ? e : kbLerp(h + kbVec3(0, 0.4f, 0), kbVec3(_rowX, _rowRidge(0) + 0.8f, h.z), 0.3f);
        }
        if (f < 450) {
            // Across the street, abreast of him along the roofs.
            kbVec3 e(-3.6f, 7.8f, h.z - 4.0f);
            return aEye ? e : kbVec3(h.x, h.y, h.z + 2.0f);
        }
        if (f < 560) {
            // From the street, up at the leap over the alley.
            kbVec3 e(3.0f, 1.7f, 4.0f);
            return aEye ? e : h + kbVec3(0, 0.3f, 0);
        }
        if (f < 660) {
            // Close behind and above: the wall and the hall ahead.
            kbVec3 d = road.Dir(f);
            return aEye ? h + kbVec3(1.6f, 2.3f, 0) - d * 6.0f : h + d * 9.0f + kbVec3(0, 0.8f, 0);
        }
        if (f < 760) {
            // Wide from the court: the leap onto the hall.
            kbVec3 e(10.0f, 4.0f, 43.5f);
            return aEye ? e + kbVec3(-0.02f * (f - 660), 0.01f * (f - 660), 0) : kbLerp(h, kbVec3(-6, 7, 50), 0.3f);
        }
        // On the roof behind him: past his shoulder to the one who waits above.
        float k = _smooth(760, 869, (float)f);
        kbVec3 e = kbLerp(kbVec3(_rowX - 3.5f, 7.6f, 47.5f), kbVec3(_rowX - 2.2f, 7.9f, 49.5f), k);
        kbVec3 t = kbLerp(kbVec3(-5.5f, 10.5f, 56.0f), kbVec3(-4.0f, 12.0f, 57.0f), k);
        return aEye ? e : t;
    };
    kbAddCamera(&sc, [shot](int f) { return shot(f, true); }, [shot](int f) { return shot(f, false); }, 0.95f);

    // Cold moonlight from the upper west, behind the hall; the lanterns give the warmth.
    kbAddLight(&sc, kbLightDirectional(kbNormalize(kbVec3(0.45f, -0.6f, -0.55f)), 0x90A4D8, 0.75f));
    kbAddLight(&sc, kbLightDirectional(kbNormalize(kbVec3(-0.3f, -0.2f, 0.9f)), 0x405078, 0.55f));
    kbSceneCount(&sc);
    return out;
}

}  // namespace

ctScene ctDemoTitle(bool aLight) { return _title(aLight); }
ctScene ctDemoNinjaNight(bool aLight) { return _night(aLight); }

void ctDemoNightOpen(std::vector<ctScene> *aOutP)
{
    aOutP->push_back(ctDemoTitle(false));
    aOutP->push_back(ctDemoNinjaNight(false));
    aOutP->push_back(ctDemoTitle(true));
    aOutP->push_back(ctDemoNinjaNight(true));
}
