#include "KbMesh.h"

#include <cmath>
#include <cstring>
#include <map>
#include <tuple>

static const float _pi = 3.14159265358979f;

kbVec3 operator+(kbVec3 a, kbVec3 b) { return kbVec3(a.x + b.x, a.y + b.y, a.z + b.z); }
kbVec3 operator-(kbVec3 a, kbVec3 b) { return kbVec3(a.x - b.x, a.y - b.y, a.z - b.z); }
kbVec3 operator*(kbVec3 a, float s) { return kbVec3(a.x * s, a.y * s, a.z * s); }
float kbDot(kbVec3 a, kbVec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
kbVec3 kbCross(kbVec3 a, kbVec3 b) { return kbVec3(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x); }
float kbLength(kbVec3 a) { return std::sqrt(kbDot(a, a)); }
kbVec3 kbNormalize(kbVec3 a)
{
    float l = kbLength(a);
    return l > 1e-12f ? a * (1.0f / l) : kbVec3(0, 1, 0);
}
kbVec3 kbLerp(kbVec3 a, kbVec3 b, float t) { return a + (b - a) * t; }

kbVec3 kbRotate(kbVec3 v, kbVec3 aAngle)
{
    // Row vector times RotX, RotY, RotZ as the left-handed matrices build them.
    float c = std::cos(aAngle.x), s = std::sin(aAngle.x);
    v = kbVec3(v.x, v.y * c - v.z * s, v.y * s + v.z * c);
    c = std::cos(aAngle.y), s = std::sin(aAngle.y);
    v = kbVec3(v.x * c + v.z * s, v.y, -v.x * s + v.z * c);
    c = std::cos(aAngle.z), s = std::sin(aAngle.z);
    v = kbVec3(v.x * c - v.y * s, v.x * s + v.y * c, v.z);
    return v;
}

kbVec3 kbAimAngles(kbVec3 aDir)
{
    float h = std::sqrt(aDir.x * aDir.x + aDir.z * aDir.z);
    return kbVec3(-std::atan2(aDir.y, h), std::atan2(aDir.x, aDir.z), 0);
}

static _vertexDef _vertex(kbVec3 p, kbVec3 n, float u, float v)
{
    return _vertexDef{p.x, p.y, p.z, n.x, n.y, n.z, u, v, u, v};
}

static kbVec3 _pos(const _vertexDef &v) { return kbVec3(v.vx, v.vy, v.vz); }
static kbVec3 _nrm(const _vertexDef &v) { return kbVec3(v.nx, v.ny, v.nz); }

// Quads of a (aCols + 1) × (aRows + 1) vertex grid starting at aBase.
static void _gridIndices(kbMesh *m, uint32_t aBase, int aCols, int aRows)
{
    for (int r = 0; r < aRows; r++)
        for (int c = 0; c < aCols; c++) {
            uint32_t a = aBase + r * (aCols + 1) + c, b = a + 1, d = a + aCols + 1, e = d + 1;
            m->indices.insert(m->indices.end(), {a, b, d, b, e, d});
        }
}

kbMesh kbMeshPlane(float aWidth, float aDepth, int aDivX, int aDivZ, float aUvRepeat)
{
    return kbMeshTerrain(aWidth, aDepth, aDivX, aDivZ, [](float, float) { return 0.0f; }, aUvRepeat);
}

kbMesh kbMeshTerrain(float aWidth, float aDepth, int aDivX, int aDivZ, const std::function<float(float, float)> &aHeight,
                     float aUvRepeat)
{
    kbMesh m;
    for (int r = 0; r <= aDivZ; r++)
        for (int c = 0; c <= aDivX; c++) {
            float u = (float)c / aDivX, v = (float)r / aDivZ;
            float x = (u - 0.5f) * aWidth, z = (0.5f - v) * aDepth;
            m.vertices.push_back(_vertex(kbVec3(x, aHeight(x, z), z), kbVec3(0, 1, 0), u * aUvRepeat, v * aUvRepeat));
        }
    _gridIndices(&m, 0, aDivX, aDivZ);
    kbMeshSmoothNormals(&m);
    kbMeshOrient(&m);
    return m;
}

kbMesh kbMeshBox(kbVec3 aSize, int aDiv)
{
    kbMesh m;
    if (aDiv < 1)
        aDiv = 1;
    kbVec3 h = aSize * 0.5f;
    // Each face: normal, u axis, v axis.
    const kbVec3 faces[6][3] = {{{1, 0, 0}, {0, 0, -1}, {0, -1, 0}},  {{-1, 0, 0}, {0, 0, 1}, {0, -1, 0}},
                                {{0, 1, 0}, {1, 0, 0}, {0, 0, -1}},   {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}},
                                {{0, 0, 1}, {1, 0, 0}, {0, -1, 0}},   {{0, 0, -1}, {-1, 0, 0}, {0, -1, 0}}};
    for (const auto &f : faces) {
        uint32_t base = (uint32_t)m.vertices.size();
        for (int r = 0; r <= aDiv; r++)
            for (int c = 0; c <= aDiv; c++) {
                float u = (float)c / aDiv, v = (float)r / aDiv;
                kbVec3 p = f[0] + f[1] * (u * 2 - 1) + f[2] * (v * 2 - 1);
                m.vertices.push_back(_vertex(kbVec3(p.x * h.x, p.y * h.y, p.z * h.z), f[0], u, v));
            }
        _gridIndices(&m, base, aDiv, aDiv);
    }
    kbMeshOrient(&m);
    return m;
}

kbMesh kbMeshSphere(float aRadius, int aSlices, int aStacks)
{
    std::vector<kbPoint2> profile;
    for (int i = 0; i <= aStacks; i++) {
        float a = _pi * i / aStacks;
        profile.push_back({aRadius * std::sin(a), -aRadius * std::cos(a)});
    }
    return kbMeshLathe(profile, aSlices);
}

kbMesh kbMeshCylinder(float aRadius, float aHeight, int aSlices, int aStacks, bool aCaps)
{
    std::vector<kbPoint2> profile;
    if (aCaps)
        profile.push_back({0, -aHeight / 2});
    for (int i = 0; i <= aStacks; i++)
        profile.push_back({aRadius, -aHeight / 2 + aHeight * i / aStacks});
    if (aCaps)
        profile.push_back({0, aHeight / 2});
    return kbMeshLathe(profile, aSlices);
}

kbMesh kbMeshLathe(const std::vector<kbPoint2> &aProfile, int aSlices, float aUvRepeatU)
{
    kbMesh m;
    int rows = (int)aProfile.size() - 1;
    if (rows < 1 || aSlices < 3)
        return m;
    float total = 0;
    std::vector<float> along(1, 0.0f);
    for (int i = 1; i <= rows; i++) {
        total += std::hypot(aProfile[i].a - aProfile[i - 1].a, aProfile[i].b - aProfile[i - 1].b);
        along.push_back(total);
    }
    for (int i = 0; i <= rows; i++)
        for (int s = 0; s <= aSlices; s++) {
            float t = 2 * _pi * s / aSlices;
            kbVec3 p(aProfile[i].a * std::sin(t), aProfile[i].b, aProfile[i].a * std::cos(t));
            m.vertices.push_back(_vertex(p, kbVec3(std::sin(t), 0, std::cos(t)), aUvRepeatU * s / aSlices,
                                         total > 0 ? along[i] / total : 0));
        }
    _gridIndices(&m, 0, aSlices, rows);
    // Normals from the profile's slope, pointing away from the axis.
    for (int i = 0; i <= rows; i++) {
        const kbPoint2 &p0 = aProfile[i > 0 ? i - 1 : i], &p1 = aProfile[i < rows ? i + 1 : i];
        float da = p1.a - p0.a, db = p1.b - p0.b;
        float nr = db, ny = -da;  // perpendicular of the profile tangent
        if (nr < 0 || (nr == 0 && ny * (aProfile[i].b) < 0))
            nr = -nr, ny = -ny;
        float l = std::hypot(nr, ny);
        if (l < 1e-9f)
            nr = 0, ny = aProfile[i].b >= 0 ? 1.0f : -1.0f, l = 1;
        for (int s = 0; s <= aSlices; s++) {
            _vertexDef &v = m.vertices[i * (aSlices + 1) + s];
            float t = 2 * _pi * s / aSlices;
            v.nx = nr / l * std::sin(t);
            v.ny = ny / l;
            v.nz = nr / l * std::cos(t);
        }
    }
    // Poles: straight up or down. A radius computed as sin(pi) is not exactly zero but is still
    // on the axis.
    for (int i : {0, rows})
        if (std::fabs(aProfile[i].a) < 1e-6f)
            for (int s = 0; s <= aSlices; s++) {
                _vertexDef &v = m.vertices[i * (aSlices + 1) + s];
                v.nx = v.nz = 0;
                v.ny = i == 0 ? -1.0f : 1.0f;
            }
    kbMeshOrient(&m);
    return m;
}

// Fan cap of a closed outline lying in a plane, facing aNormal.
static void _cap(kbMesh *m, const std::vector<kbVec3> &aRing, kbVec3 aNormal)
{
    kbVec3 c;
    for (const kbVec3 &p : aRing)
        c = c + p;
    c = c * (1.0f / aRing.size());
    uint32_t base = (uint32_t)m->vertices.size();
    m->vertices.push_back(_vertex(c, aNormal, 0.5f, 0.5f));
    for (size_t i = 0; i < aRing.size(); i++) {
        kbVec3 d = aRing[i] - c;
        m->vertices.push_back(_vertex(aRing[i], aNormal, 0.5f + d.x * 0.1f, 0.5f + d.z * 0.1f));
    }
    for (uint32_t i = 0; i < aRing.size(); i++)
        m->indices.insert(m->indices.end(), {base, base + 1 + i, base + 1 + (i + 1) % (uint32_t)aRing.size()});
}

kbMesh kbMeshExtrude(const std::vector<kbPoint2> &aSection, const std::vector<kbVec3> &aPath,
                     const std::vector<float> &aScale, kbVec3 aUp, bool aCaps)
{
    kbMesh m;
    int n = (int)aSection.size(), rows = (int)aPath.size() - 1;
    if (n < 3 || rows < 1)
        return m;
    std::vector<std::vector<kbVec3>> rings;
    float along = 0;
    for (int i = 0; i <= rows; i++) {
        kbVec3 t = kbNormalize(aPath[i < rows ? i + 1 : i] - aPath[i > 0 ? i - 1 : i]);
        kbVec3 side = kbCross(aUp, t);
        if (kbLength(side) < 1e-6f)
            side = kbCross(kbVec3(1, 0, 0), t);
        side = kbNormalize(side);
        kbVec3 up = kbNormalize(kbCross(t, side));
        float s = i < (int)aScale.size() ? aScale[i] : 1.0f;
        if (i > 0)
            along += kbLength(aPath[i] - aPath[i - 1]);
        std::vector<kbVec3> ring;
        for (int k = 0; k <= n; k++) {
            const kbPoint2 &q = aSection[k % n];
            kbVec3 p = aPath[i] + side * (q.a * s) + up * (q.b * s);
            ring.push_back(p);
            m.vertices.push_back(_vertex(p, kbNormalize(side * q.a + up * q.b), (float)k / n, along * 0.1f));
        }
        ring.pop_back();
        rings.push_back(ring);
    }
    _gridIndices(&m, 0, n, rows);
    kbMeshSmoothNormals(&m);
    if (aCaps) {
        _cap(&m, rings.front(), kbNormalize(aPath[0] - aPath[1]));
        _cap(&m, rings.back(), kbNormalize(aPath[rows] - aPath[rows - 1]));
    }
    kbMeshOrient(&m);
    return m;
}

kbMesh kbMeshSlab(const std::vector<kbPoint2> &aOutline, float aThickness)
{
    kbMesh m;
    size_t n = aOutline.size();
    if (n < 3)
        return m;
    std::vector<kbVec3> top, bottom;
    for (const kbPoint2 &p : aOutline) {
        top.push_back(kbVec3(p.a, aThickness / 2, p.b));
        bottom.push_back(kbVec3(p.a, -aThickness / 2, p.b));
    }
    _cap(&m, top, kbVec3(0, 1, 0));
    _cap(&m, bottom, kbVec3(0, -1, 0));
    for (size_t i = 0; i < n; i++) {
        size_t j = (i + 1) % n;
        kbVec3 e = top[j] - top[i];
        kbVec3 out = kbNormalize(kbVec3(e.z, 0, -e.x));
        kbVec3 c;
        for (const kbVec3 &p : top)
            c = c + p * (1.0f / n);
        if (kbDot(out, top[i] - c) < 0)
            out = out * -1;
        uint32_t b = (uint32_t)m.vertices.size();
        m.vertices.push_back(_vertex(top[i], out, 0, 0));
        m.vertices.push_back(_vertex(top[j], out, 1, 0));
        m.vertices.push_back(_vertex(bottom[i], out, 0, 1));
        m.vertices.push_back(_vertex(bottom[j], out, 1, 1));
        m.indices.insert(m.indices.end(), {b, b + 1, b + 2, b + 1, b + 3, b + 2});
    }
    kbMeshOrient(&m);
    return m;
}

void kbMeshTransform(kbMesh *aMeshP, kbVec3 aTrans, kbVec3 aAngle, kbVec3 aScale)
{
    bool mirror = aScale.x * aScale.y * aScale.z < 0;
    for (_vertexDef &v : aMeshP->vertices) {
        kbVec3 p = kbRotate(kbVec3(v.vx * aScale.x, v.vy * aScale.y, v.vz * aScale.z), aAngle) + aTrans;
        // Normals transform by the inverse scale.
        kbVec3 n = kbNormalize(kbRotate(kbVec3(v.nx / aScale.x, v.ny / aScale.y, v.nz / aScale.z), aAngle));
        v.vx = p.x, v.vy = p.y, v.vz = p.z;
        v.nx = n.x, v.ny = n.y, v.nz = n.z;
    }
    if (mirror)
        kbMeshOrient(aMeshP);
}

void kbMeshAppend(kbMesh *aMeshP, const kbMesh &aOther)
{
    uint32_t base = (uint32_t)aMeshP->vertices.size();
    aMeshP->vertices.insert(aMeshP->vertices.end(), aOther.vertices.begin(), aOther.vertices.end());
    for (uint32_t i : aOther.indices)
        aMeshP->indices.push_back(base + i);
}

void kbMeshDisplace(kbMesh *aMeshP, const std::function<float(kbVec3)> &aAmount)
{
    for (_vertexDef &v : aMeshP->vertices) {
        kbVec3 p = _pos(v);
        kbVec3 q = p + _nrm(v) * aAmount(p);
        v.vx = q.x, v.vy = q.y, v.vz = q.z;
    }
    kbMeshSmoothNormals(aMeshP);
}

void kbMeshSmoothNormals(kbMesh *aMeshP)
{
    // Weld by position so seams of lathes and grids stay smooth.
    std::map<std::tuple<float, float, float>, kbVec3> sums;
    for (size_t t = 0; t + 2 < aMeshP->indices.size(); t += 3) {
        const _vertexDef &a = aMeshP->vertices[aMeshP->indices[t]], &b = aMeshP->vertices[aMeshP->indices[t + 1]],
                         &c = aMeshP->vertices[aMeshP->indices[t + 2]];
        kbVec3 n = kbCross(_pos(b) - _pos(a), _pos(c) - _pos(a));
        // Keep the side the generator meant.
        if (kbDot(n, _nrm(a) + _nrm(b) + _nrm(c)) < 0)
            n = n * -1;
        for (const _vertexDef *v : {&a, &b, &c}) {
            kbVec3 &s = sums[std::make_tuple(v->vx, v->vy, v->vz)];
            s = s + n;
        }
    }
    for (_vertexDef &v : aMeshP->vertices) {
        auto it = sums.find(std::make_tuple(v.vx, v.vy, v.vz));
        if (it == sums.end() || kbLength(it->second) < 1e-12f)
            continue;
        kbVec3 n = kbNormalize(it->second);
        v.nx = n.x, v.ny = n.y, v.nz = n.z;
    }
}

void kbMeshFacet(kbMesh *aMeshP)
{
    kbMesh out;
    for (size_t t = 0; t + 2 < aMeshP->indices.size(); t += 3) {
        _vertexDef a = aMeshP->vertices[aMeshP->indices[t]], b = aMeshP->vertices[aMeshP->indices[t + 1]],
                   c = aMeshP->vertices[aMeshP->indices[t + 2]];
        kbVec3 n = kbCross(_pos(b) - _pos(a), _pos(c) - _pos(a));
        if (kbDot(n, _nrm(a) + _nrm(b) + _nrm(c)) < 0)
            n = n * -1;
        n = kbNormalize(n);
        uint32_t base = (uint32_t)out.vertices.size();
        for (_vertexDef *v : {&a, &b, &c}) {
            v->nx = n.x, v->ny = n.y, v->nz = n.z;
            out.vertices.push_back(*v);
        }
        out.indices.insert(out.indices.end(), {base, base + 1, base + 2});
    }
    *aMeshP = out;
}

void kbMeshOrient(kbMesh *aMeshP)
{
    // Front faces are clockwise on screen in the left-handed view: cross(b - a, c - a) points at
    // the viewer.
    for (size_t t = 0; t + 2 < aMeshP->indices.size(); t += 3) {
        const _vertexDef &a = aMeshP->vertices[aMeshP->indices[t]], &b = aMeshP->vertices[aMeshP->indices[t + 1]],
                         &c = aMeshP->vertices[aMeshP->indices[t + 2]];
        kbVec3 n = kbCross(_pos(b) - _pos(a), _pos(c) - _pos(a));
        if (kbDot(n, _nrm(a) + _nrm(b) + _nrm(c)) < 0)
            std::swap(aMeshP->indices[t + 1], aMeshP->indices[t + 2]);
    }
}

D3DCOLORVALUE kbColor(uint32_t aRgb, float aAlpha)
{
    return D3DCOLORVALUE{((aRgb >> 16) & 0xFF) / 255.0f, ((aRgb >> 8) & 0xFF) / 255.0f, (aRgb & 0xFF) / 255.0f, aAlpha};
}

kbSurface kbSurfaceOf(const kbMesh &aMesh, uint32_t aRgb, const std::string &aTexture)
{
    kbSurface s;
    s.mesh = aMesh;
    s.diffuse = kbColor(aRgb);
    s.texture = aTexture;
    return s;
}

std::shared_ptr<kbShapeBody> kbBodyOf(const std::vector<kbSurface> &aSurfaces)
{
    auto body = std::make_shared<kbShapeBody>();
    body->def.nextNum = -1;
    body->def.childNum = -1;
    double lo[3] = {1e30, 1e30, 1e30}, hi[3] = {-1e30, -1e30, -1e30};
    uint32_t vertexCnt = 0, polyCnt = 0;
    for (const kbSurface &s : aSurfaces) {
        if (s.mesh.indices.empty())
            continue;
        kbAbility ability;
        ability.def.abilityStatus = 0x2 | (s.twoSided ? 0x10 : 0) | (s.specular > 0 ? 0x20 : 0) | (s.blend ? 0x1 : 0);
        ability.def.material.diffuse = s.diffuse;
        ability.def.material.ambient = s.diffuse;
        float k = s.specular;
        ability.def.material.specular = {k, k, k, 1};
        ability.def.material.emissive = s.emissive;
        ability.def.material.power = 20.0f;
        ability.def.srcBlend = s.blend == 1 ? 2 : 5;   // ONE or SRCALPHA
        ability.def.destBlend = s.blend == 1 ? 2 : 6;  // ONE or INVSRCALPHA
        if (!s.texture.empty()) {
            ability.texSets.push_back(kbTextureSet(s.texture, s.texFlg));
            ability.def.texStageNum = 1;
        }
        // Split into vertex sets the 16-bit indices can address.
        size_t t = 0;
        while (t < s.mesh.indices.size()) {
            std::map<uint32_t, uint16_t> remap;
            std::vector<_vertexDef> vertices;
            kbIndexSet set;
            for (; t + 2 < s.mesh.indices.size() && vertices.size() < 65533; t += 3)
                for (int k3 = 0; k3 < 3; k3++) {
                    uint32_t i = s.mesh.indices[t + k3];
                    auto it = remap.find(i);
                    if (it == remap.end()) {
                        it = remap.emplace(i, (uint16_t)vertices.size()).first;
                        vertices.push_back(s.mesh.vertices[i]);
                    }
                    set.indices.push_back(it->second);
                }
            if (t + 2 >= s.mesh.indices.size())
                t = s.mesh.indices.size();
            for (const _vertexDef &v : vertices) {
                const float p[3] = {v.vx, v.vy, v.vz};
                for (int a = 0; a < 3; a++)
                    lo[a] = std::min(lo[a], (double)p[a]), hi[a] = std::max(hi[a], (double)p[a]);
            }
            vertexCnt += (uint32_t)vertices.size();
            polyCnt += (uint32_t)(set.indices.size() / 3);
            kbVertexSet vs = kbVertexSetOf(vertices);
            vs.indexSets.push_back(set);
            ability.vertexSets.push_back(vs);
        }
        body->abilities.push_back(ability);
    }
    if (vertexCnt == 0)
        for (int a = 0; a < 3; a++)
            lo[a] = hi[a] = 0;
    body->def.minX = lo[0], body->def.minY = lo[1], body->def.minZ = lo[2];
    body->def.maxX = hi[0], body->def.maxY = hi[1], body->def.maxZ = hi[2];
    body->def.vertexCnt = vertexCnt;
    body->def.polyCnt = polyCnt;
    return body;
}
