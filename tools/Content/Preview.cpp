// A small z-buffered rasteriser over the builder's own scene description, so a scene can be looked
// at while it is being made.

#include <algorithm>
#include <cmath>
#include <cstring>

#include "Content.h"

namespace {

struct _xform {
    kbVec3 t, a, s{1, 1, 1};
};

// Key index of each channel at a frame: running sums of the run steps.
void _keyIndex(const kbMotion &m, int aFrame, int *aT, int *aA, int *aS)
{
    int t = 0, a = 0, s = 0, f = 0;
    bool first = true;
    for (const _sceneIndexDef &r : m.runs)
        for (int k = 0; k < r.length && f <= aFrame; k++, f++) {
            if (!first || true) {
                t += r.trans, a += r.angle, s += r.scale;
            }
            first = false;
        }
    *aT = std::min(std::max(t, 0), (int)m.transKeys.size() - 1);
    *aA = std::min(std::max(a, 0), (int)m.angleKeys.size() - 1);
    *aS = std::min(std::max(s, 0), (int)m.scaleKeys.size() - 1);
}

_xform _pose(const _sceneShapeDef &d, const kbMotion &m, int aFrame)
{
    _xform x;
    x.t = kbVec3(d.trans.vx, d.trans.vy, d.trans.vz);
    x.a = kbVec3(d.angle.vx, d.angle.vy, d.angle.vz);
    x.s = kbVec3(d.scale.vx, d.scale.vy, d.scale.vz);
    if (!m.runs.empty()) {
        int t, a, s;
        _keyIndex(m, aFrame, &t, &a, &s);
        if (!m.transKeys.empty())
            x.t = kbVec3(m.transKeys[t].vx, m.transKeys[t].vy, m.transKeys[t].vz);
        if (!m.angleKeys.empty())
            x.a = kbVec3(m.angleKeys[a].vx, m.angleKeys[a].vy, m.angleKeys[a].vz);
        if (!m.scaleKeys.empty())
            x.s = kbVec3(m.scaleKeys[s].vx, m.scaleKeys[s].vy, m.scaleKeys[s].vz);
    }
    return x;
}

kbVec3 _apply(const std::vector<_xform> &aChain, kbVec3 p)
{
    for (const _xform &x : aChain)
        p = kbRotate(kbVec3(p.x * x.s.x, p.y * x.s.y, p.z * x.s.z), x.a) + x.t;
    return p;
}

kbVec3 _applyDir(const std::vector<_xform> &aChain, kbVec3 n)
{
    for (const _xform &x : aChain)
        n = kbRotate(kbVec3(n.x / x.s.x, n.y / x.s.y, n.z / x.s.z), x.a);
    return kbNormalize(n);
}

std::vector<_xform> _chain(const kbScene &sc, int aShape, int aFrame)
{
    std::vector<_xform> c;
    for (int i = aShape; i >= 0 && (int)c.size() < 64; i = sc.shapes[i].def.parentShapeNum)
        c.push_back(_pose(sc.shapes[i].def, sc.shapes[i].motion, aFrame));
    return c;
}

struct _vtx {
    float x, y, z, w;  // clip space
    kbVec3 n, p;
    float u, v;
};

}  // namespace

kbImage ctPreview(const ctScene &aScene, int aFrame, int aWidth, int aHeight)
{
    const kbScene &sc = aScene.scene;
    uint32_t back = sc.def.backColor;
    kbImage img = kbImageMake(aWidth, aHeight, (back << 8) | 0xFF);
    std::vector<float> zbuf((size_t)aWidth * aHeight, 1e30f);
    if (sc.cameras.empty())
        return img;
    // Camera.
    const kbCamera &cam = sc.cameras.back();
    kbMotion cm = cam.motion;
    _sceneShapeDef cd{};
    cd.trans = cam.def.trans;
    cd.scale = {1, 1, 1};
    kbVec3 eye = _pose(cd, cm, aFrame).t;
    kbVec3 look = kbVec3(cam.def.lookAt.vx, cam.def.lookAt.vy, cam.def.lookAt.vz);
    if (cam.def.targetShapeNum >= 0)
        look = _apply(_chain(sc, cam.def.targetShapeNum, aFrame), kbVec3());
    kbVec3 fwd = kbNormalize(look - eye), right = kbNormalize(kbCross(kbVec3(0, 1, 0), fwd)), up = kbCross(fwd, right);
    float fov = cam.def.fovAngle > 0.01f ? cam.def.fovAngle : 0.785f;
    float yScale = 1.0f / std::tan(fov / 2), xScale = yScale * aHeight / aWidth;
    float nearD = std::max(sc.def.nearDist, 1e-3f);
    float amb = sc.def.illuminate.ambientIntensity;
    kbVec3 ambient = kbVec3(((sc.def.illuminate.ambientColor >> 16) & 255) / 255.0f * amb,
                            ((sc.def.illuminate.ambientColor >> 8) & 255) / 255.0f * amb,
                            (sc.def.illuminate.ambientColor & 255) / 255.0f * amb);
    for (size_t si = 0; si < sc.shapes.size(); si++) {
        const kbShape &shape = sc.shapes[si];
        if (!shape.body)
            continue;
        if (!shape.dissolve.empty() && shape.dissolve[std::min((size_t)aFrame, shape.dissolve.size() - 1)] >= 0.5f)
            continue;
        std::vector<_xform> chain = _chain(sc, (int)si, aFrame);
        for (const kbAbility &ab : shape.body->abilities) {
            const kbImage *tex = nullptr;
            if (!ab.texSets.empty()) {
                auto it = aScene.textures.images.find(kbKsfName(ab.texSets[0].fileName));
                if (it != aScene.textures.images.end())
                    tex = &it->second;
            }
            const D3DMATERIAL7 &mat = ab.def.material;
            bool additive = (ab.def.abilityStatus & 1) && ab.def.destBlend == 2;
            for (const kbVertexSet &vs : ab.vertexSets) {
                const _vertexDef *vd = reinterpret_cast<const _vertexDef *>(vs.vertices.data());
                std::vector<_vtx> tv(vs.vertexNum);
                for (uint32_t i = 0; i < vs.vertexNum; i++) {
                    kbVec3 p = _apply(chain, kbVec3(vd[i].vx, vd[i].vy, vd[i].vz)) - eye;
                    tv[i].p = p;
                    tv[i].n = _applyDir(chain, kbVec3(vd[i].nx, vd[i].ny, vd[i].nz));
                    float cx = kbDot(p, right), cy = kbDot(p, up), cz = kbDot(p, fwd);
                    tv[i].x = cx * xScale, tv[i].y = cy * yScale, tv[i].z = cz, tv[i].w = cz;
                    tv[i].u = vd[i].u0, tv[i].v = vd[i].v0;
                }
                for (const kbIndexSet &is : vs.indexSets)
                    for (size_t k = 0; k + 2 < is.indices.size(); k += 3) {
                        const _vtx *t3[3] = {&tv[is.indices[k]], &tv[is.indices[k + 1]], &tv[is.indices[k + 2]]};
                        if (t3[0]->w < nearD || t3[1]->w < nearD || t3[2]->w < nearD)
                            continue;
                        float sx[3], sy[3];
                        for (int j = 0; j < 3; j++) {
                            sx[j] = (t3[j]->x / t3[j]->w * 0.5f + 0.5f) * aWidth;
                            sy[j] = (0.5f - t3[j]->y / t3[j]->w * 0.5f) * aHeight;
                        }
                        float area = (sx[1] - sx[0]) * (sy[2] - sy[0]) - (sx[2] - sx[0]) * (sy[1] - sy[0]);
                        // Clockwise on screen is the front (y grows downward here, so area > 0).
                        if (area == 0 || (!(ab.def.abilityStatus & 0x10) && area < 0))
                            continue;
                        // Flat lighting per triangle.
                        kbVec3 n = kbNormalize(t3[0]->n + t3[1]->n + t3[2]->n);
                        kbVec3 lit = ambient;
                        for (const kbLight &l : sc.lights) {
                            kbVec3 dir;
                            if (l.def.type == 3)
                                dir = kbNormalize(kbVec3(l.def.angle.vx, l.def.angle.vy, l.def.angle.vz)) * -1;
                            else
                                dir = kbNormalize(kbVec3(l.def.trans.vx, l.def.trans.vy, l.def.trans.vz) - (t3[0]->p + eye));
                            float d = std::max(0.0f, kbDot(n, dir)) * l.def.intensity;
                            if (l.def.type != 3 && l.def.fallOffType == 1) {
                                kbVec3 to = kbVec3(l.def.trans.vx, l.def.trans.vy, l.def.trans.vz) - (t3[0]->p + eye);
                                float fr = l.def.range * 2 / 3;
                                d /= 1 + kbDot(to, to) / (fr * fr);
                            }
                            lit = lit + kbVec3(l.def.color.r, l.def.color.g, l.def.color.b) * d;
                        }
                        kbVec3 col(mat.diffuse.r * lit.x + mat.emissive.r, mat.diffuse.g * lit.y + mat.emissive.g,
                                   mat.diffuse.b * lit.z + mat.emissive.b);
                        int x0 = std::max(0, (int)std::floor(std::min({sx[0], sx[1], sx[2]})));
                        int x1 = std::min(aWidth - 1, (int)std::ceil(std::max({sx[0], sx[1], sx[2]})));
                        int y0 = std::max(0, (int)std::floor(std::min({sy[0], sy[1], sy[2]})));
                        int y1 = std::min(aHeight - 1, (int)std::ceil(std::max({sy[0], sy[1], sy[2]})));
                        for (int y = y0; y <= y1; y++)
                            for (int x = x0; x <= x1; x++) {
                                float px = x + 0.5f, py = y + 0.5f;
                                float w0 = ((sx[1] - px) * (sy[2] - py) - (sx[2] - px) * (sy[1] - py)) / area;
                                float w1 = ((sx[2] - px) * (sy[0] - py) - (sx[0] - px) * (sy[2] - py)) / area;
                                float w2 = 1 - w0 - w1;
                                if (w0 < 0 || w1 < 0 || w2 < 0)
                                    continue;
                                // Perspective-correct attributes.
                                float iw = w0 / t3[0]->w + w1 / t3[1]->w + w2 / t3[2]->w;
                                float z = 1 / iw;
                                float &zb = zbuf[(size_t)y * aWidth + x];
                                if (z >= zb && !additive)
                                    continue;
                                if (additive && z >= zb)
                                    continue;
                                kbVec3 c = col;
                                if (tex) {
                                    float u = (w0 * t3[0]->u / t3[0]->w + w1 * t3[1]->u / t3[1]->w + w2 * t3[2]->u / t3[2]->w) * z;
                                    float v = (w0 * t3[0]->v / t3[0]->w + w1 * t3[1]->v / t3[1]->w + w2 * t3[2]->v / t3[2]->w) * z;
                                    int tu = ((int)std::floor(u * tex->width) % (int)tex->width + tex->width) % tex->width;
                                    int tvv = ((int)std::floor(v * tex->height) % (int)tex->height + tex->height) % tex->height;
                                    uint32_t p = tex->pixels[(size_t)tvv * tex->width + tu];
                                    c = kbVec3(c.x * ((p >> 24) & 255) / 255.0f, c.y * ((p >> 16) & 255) / 255.0f,
                                               c.z * ((p >> 8) & 255) / 255.0f);
                                }
                                // Linear fog toward the back colour.
                                if (sc.def.fog.mode) {
                                    float f = std::min(1.0f, std::max(0.0f, (z - sc.def.fog.minDist) / (sc.def.fog.maxDist - sc.def.fog.minDist)));
                                    uint32_t fc = sc.def.fog.color;
                                    c = kbLerp(c, kbVec3(((fc >> 16) & 255) / 255.0f, ((fc >> 8) & 255) / 255.0f, (fc & 255) / 255.0f), f);
                                }
                                uint32_t &dst = img.pixels[(size_t)y * aWidth + x];
                                if (additive) {
                                    c = c + kbVec3(((dst >> 24) & 255) / 255.0f, ((dst >> 16) & 255) / 255.0f, ((dst >> 8) & 255) / 255.0f);
                                } else
                                    zb = z;
                                dst = kbRgb((uint32_t)(std::min(1.0f, c.x) * 255), (uint32_t)(std::min(1.0f, c.y) * 255),
                                            (uint32_t)(std::min(1.0f, c.z) * 255));
                            }
                    }
            }
        }
    }
    return img;
}
