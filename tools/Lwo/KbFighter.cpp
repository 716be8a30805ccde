// The sample fighter and the large measurement object.

#include <cmath>

#include "KbLwo.h"

namespace {

const float _pi = 3.14159265358979f;

enum { HULL, WING, CANOPY, ENGINE, GLOW, LIGHT };

// Hull section scale at z: a long ogive nose, a body that narrows slightly to the tail.
float _hullScale(float z)
{
    if (z >= 1.0f) {
        float t = (z - 1.0f) / 4.0f;
        return std::sqrt(t < 1.0f ? 1.0f - t * t : 0.0f);
    }
    return 1.0f - 0.25f * (1.0f - z) / 5.0f;
}

// A flat part of thickness 2h from an outline in the plane (u, v), placed by aPlace.
template <typename P> void _slab(KbLwoModel &m, const float (*aOutline)[2], int aNum, float h, uint32_t aSurf, P aPlace,
                                 const float aUp[3])
{
    std::vector<uint32_t> top, bot;
    for (int i = 0; i < aNum; ++i) {
        float a[3], b[3];
        aPlace(aOutline[i][0], aOutline[i][1], h, a);
        aPlace(aOutline[i][0], aOutline[i][1], -h, b);
        top.push_back(m.addPoint(a[0], a[1], a[2]));
        bot.push_back(m.addPoint(b[0], b[1], b[2]));
    }
    m.addFace(top, aSurf, aUp[0], aUp[1], aUp[2]);
    m.addFace(bot, aSurf, -aUp[0], -aUp[1], -aUp[2]);
    // Sides face away from the outline's centre.
    float cu = 0, cv = 0;
    for (int i = 0; i < aNum; ++i) {
        cu += aOutline[i][0] / aNum;
        cv += aOutline[i][1] / aNum;
    }
    for (int i = 0; i < aNum; ++i) {
        int j = (i + 1) % aNum;
        float mu = (aOutline[i][0] + aOutline[j][0]) * 0.5f - cu, mv = (aOutline[i][1] + aOutline[j][1]) * 0.5f - cv;
        float o[3], c[3];
        aPlace(cu + mu, cv + mv, 0, o);
        aPlace(cu, cv, 0, c);
        m.addFace({top[i], top[j], bot[j], bot[i]}, aSurf, o[0] - c[0], o[1] - c[1], o[2] - c[2]);
    }
}

void _engine(KbLwoModel &m, float x, float y)
{
    const int seg = 12, st = 6;
    const float z0 = -4.3f, z1 = -1.0f;
    std::vector<uint32_t> ring[st];
    for (int s = 0; s < st; ++s) {
        float z = z0 + (z1 - z0) * s / (st - 1);
        float r = 0.3f * (s == st - 1 ? 0.8f : 1.0f);
        for (int k = 0; k < seg; ++k) {
            float a = 2 * _pi * k / seg;
            ring[s].push_back(m.addPoint(x + r * std::cos(a), y + r * std::sin(a), z));
        }
    }
    for (int s = 0; s + 1 < st; ++s) {
        for (int k = 0; k < seg; ++k) {
            int k1 = (k + 1) % seg;
            float a = 2 * _pi * (k + 0.5f) / seg;
            m.addFace({ring[s][k], ring[s][k1], ring[s + 1][k1], ring[s + 1][k]}, ENGINE, std::cos(a), std::sin(a), 0);
        }
    }
    m.addFace(ring[st - 1], ENGINE, 0, 0, 1);
    // Inset dark cap, and the nozzle's glowing star in front of it.
    std::vector<uint32_t> cap, star;
    for (int k = 0; k < seg; ++k) {
        float a = 2 * _pi * k / seg;
        cap.push_back(m.addPoint(x + 0.3f * std::cos(a), y + 0.3f * std::sin(a), z0 + 0.05f));
    }
    for (int k = 0; k < seg * 2; ++k) {
        float a = 2 * _pi * k / (seg * 2), r = (k & 1) ? 0.13f : 0.28f;
        star.push_back(m.addPoint(x + r * std::cos(a), y + r * std::sin(a), z0 - 0.01f));
    }
    m.addFace(cap, ENGINE, 0, 0, -1);
    m.addFace(star, GLOW, 0, 0, -1);
}

} // namespace

KbLwoModel kbLwoFighter(void)
{
    KbLwoModel m;
    m.surfaces.resize(6);
    KbLwoSurface &hull = m.surfaces[HULL];
    hull.name = "Hull";
    hull.color[0] = 0.62f; hull.color[1] = 0.66f; hull.color[2] = 0.72f;
    hull.spec = 0.5f;
    hull.glos = 0.5f;
    hull.smoothAngle = 60.0f * _pi / 180.0f;
    hull.image = "Images\\hull.bmp";
    hull.proj = 5;
    hull.axis = 1;
    hull.size[0] = hull.size[1] = hull.size[2] = 10.0f;
    KbLwoSurface &wing = m.surfaces[WING];
    wing.name = "Wing";
    wing.color[0] = 0.35f; wing.color[1] = 0.42f; wing.color[2] = 0.55f;
    wing.spec = 0.3f;
    wing.image = "Images\\wing.bmp";
    wing.proj = 0;
    wing.axis = 1;
    wing.size[0] = wing.size[1] = wing.size[2] = 10.0f;
    KbLwoSurface &canopy = m.surfaces[CANOPY];
    canopy.name = "Canopy";
    canopy.color[0] = 0.2f; canopy.color[1] = 0.45f; canopy.color[2] = 0.8f;
    canopy.spec = 0.9f;
    canopy.glos = 0.8f;
    canopy.tran = 0.35f;
    canopy.smoothAngle = 89.5f * _pi / 180.0f;
    KbLwoSurface &engine = m.surfaces[ENGINE];
    engine.name = "Engine";
    engine.color[0] = 0.25f; engine.color[1] = 0.25f; engine.color[2] = 0.28f;
    engine.spec = 0.4f;
    engine.smoothAngle = 45.0f * _pi / 180.0f;
    KbLwoSurface &glow = m.surfaces[GLOW];
    glow.name = "Glow";
    glow.color[0] = 1.0f; glow.color[1] = 0.55f; glow.color[2] = 0.15f;
    glow.lumi = 1.0f;
    glow.doubleSided = true;
    KbLwoSurface &light = m.surfaces[LIGHT];
    light.name = "NavLight";
    light.color[0] = 1.0f; light.color[1] = 0.2f; light.color[2] = 0.2f;
    light.lumi = 1.0f;

    // Hull: sections of 20 corners, flattened underneath, closed by the nose tip and a tail cap.
    const int seg = 20, st = 20;
    const float zt = -4.0f, zn = 4.8f;
    std::vector<uint32_t> ring[st];
    for (int s = 0; s < st; ++s) {
        float z = zt + (zn - zt) * s / (st - 1), f = _hullScale(z);
        for (int k = 0; k < seg; ++k) {
            float a = 2 * _pi * k / seg, c = std::cos(a), sn = std::sin(a);
            float y = sn > 0 ? 0.55f * sn : 0.4f * sn;
            ring[s].push_back(m.addPoint(0.75f * f * c, f * y, z));
        }
    }
    for (int s = 0; s + 1 < st; ++s) {
        for (int k = 0; k < seg; ++k) {
            int k1 = (k + 1) % seg;
            float a = 2 * _pi * (k + 0.5f) / seg;
            m.addFace({ring[s][k], ring[s][k1], ring[s + 1][k1], ring[s + 1][k]}, HULL, std::cos(a), std::sin(a), 0.1f);
        }
    }
    uint32_t tip = m.addPoint(0, 0, 5.0f);
    for (int k = 0; k < seg; ++k) {
        float a = 2 * _pi * (k + 0.5f) / seg;
        m.addFace({ring[st - 1][k], ring[st - 1][(k + 1) % seg], tip}, HULL, std::cos(a), std::sin(a), 1.0f);
    }
    m.addFace(ring[0], ENGINE, 0, 0, -1);

    // Canopy: an upper half ellipsoid over the cockpit.
    const int clon = 16, clat = 5;
    std::vector<uint32_t> crow[clat];
    for (int i = 0; i < clat; ++i) {
        float phi = (_pi / 2) * i / clat;
        for (int k = 0; k < clon; ++k) {
            float th = 2 * _pi * k / clon;
            crow[i].push_back(m.addPoint(0.32f * std::cos(phi) * std::cos(th), 0.42f + 0.3f * std::sin(phi),
                                         1.8f + 1.3f * std::cos(phi) * std::sin(th)));
        }
    }
    uint32_t ctop = m.addPoint(0, 0.72f, 1.8f);
    for (int i = 0; i < clat; ++i) {
        for (int k = 0; k < clon; ++k) {
            int k1 = (k + 1) % clon;
            float th = 2 * _pi * (k + 0.5f) / clon;
            float dx = std::cos(th) / 0.32f, dz = std::sin(th) / 1.3f, dy = (float)(i + 1) / clat;
            if (i + 1 < clat) m.addFace({crow[i][k], crow[i][k1], crow[i + 1][k1], crow[i + 1][k]}, CANOPY, dx, dy, dz);
            else m.addFace({crow[i][k], crow[i][k1], ctop}, CANOPY, dx, dy, dz);
        }
    }

    // Wings: a cranked planform with a notch in the trailing edge (concave), mirrored.
    static const float wingOutline[][2] = {{0.6f, 2.0f}, {4.0f, -1.5f}, {4.2f, -2.3f}, {2.6f, -2.0f},
                                           {2.2f, -1.2f}, {1.6f, -2.6f}, {0.6f, -2.8f}};
    const float up[3] = {0, 1, 0};
    for (int side = -1; side <= 1; side += 2) {
        _slab(m, wingOutline, 7, 0.05f, WING, [side](float u, float v, float h, float *p) {
            p[0] = side * u;
            p[1] = -0.1f + h + 0.04f * u;
            p[2] = v;
        }, up);
    }
    // Tail fins: swept, with a cut-out near the root (concave), canted outward.
    static const float finOutline[][2] = {{-0.8f, 0.3f}, {-3.0f, 1.9f}, {-3.7f, 1.9f}, {-3.4f, 1.0f},
                                          {-3.9f, 0.7f}, {-4.0f, 0.3f}};
    for (int side = -1; side <= 1; side += 2) {
        const float out[3] = {(float)side, 0, 0};
        _slab(m, finOutline, 6, 0.03f, WING, [side](float u, float v, float h, float *p) {
            p[0] = side * (0.45f + 0.3f * (v - 0.3f)) + h;
            p[1] = v;
            p[2] = u;
        }, out);
    }
    _engine(m, 1.0f, -0.35f);
    _engine(m, -1.0f, -0.35f);
    // Navigation lights at the wing tips: single-point polygons.
    m.addFace({m.addPoint(4.1f, 0.12f, -1.9f)}, LIGHT, 0, 1, 0);
    m.addFace({m.addPoint(-4.1f, 0.12f, -1.9f)}, LIGHT, 0, 1, 0);

    // A top-down UV map over the whole craft, the same as the planar projections LWOB files get.
    m.uvName = "Top";
    for (size_t i = 0; i < m.points.size() / 3; ++i) {
        m.uv.push_back(m.points[i * 3] / 10.0f + 0.5f);
        m.uv.push_back(0.5f - m.points[i * 3 + 2] / 10.0f);
    }
    return m;
}

KbLwoModel kbLwoLarge(int aPolys)
{
    KbLwoModel m;
    KbLwoSurface s;
    s.name = "Body";
    s.smoothAngle = 1.0f;
    m.surfaces.push_back(s);
    s.name = "Caps";
    m.surfaces.push_back(s);
    int lat = (int)std::sqrt(aPolys / 1.6), lon = aPolys / (lat > 0 ? lat : 1);
    if (lat < 3) lat = 3;
    if (lon < 6) lon = 6;
    std::vector<std::vector<uint32_t>> rows(lat + 1);
    for (int i = 0; i <= lat; ++i) {
        float phi = -_pi / 2 * 0.9f + _pi * 0.9f * i / lat;
        for (int k = 0; k < lon; ++k) {
            float th = 2 * _pi * k / lon;
            float r = 10.0f + 0.6f * std::sin(th * 7) * std::cos(phi * 5);
            rows[i].push_back(m.addPoint(r * std::cos(phi) * std::cos(th), r * std::sin(phi), r * std::cos(phi) * std::sin(th)));
        }
    }
    for (int i = 0; i < lat; ++i) {
        for (int k = 0; k < lon; ++k) {
            int k1 = (k + 1) % lon;
            const float *p = &m.points[rows[i][k] * 3];
            m.addFace({rows[i][k], rows[i][k1], rows[i + 1][k1], rows[i + 1][k]}, 0, p[0], p[1], p[2]);
        }
    }
    // Wavy rims make the caps concave; they are split so that no polygon exceeds 1022 corners.
    for (int end = 0; end < 2; ++end) {
        const std::vector<uint32_t> &r = rows[end ? lat : 0];
        uint32_t centre = m.addPoint(0, end ? 12.0f : -12.0f, 0);
        for (int k0 = 0; k0 < lon; k0 += 500) {
            std::vector<uint32_t> fan = {centre};
            for (int k = k0; k <= k0 + 500 && k <= lon; ++k) fan.push_back(r[k % lon]);
            m.addFace(fan, 1, 0, end ? 1.0f : -1.0f, 0);
        }
    }
    return m;
}
