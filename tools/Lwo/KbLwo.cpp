// Writers for both object generations.

#include "KbLwo.h"

#include <cmath>
#include <cstdio>
#include <cstring>

uint32_t KbLwoModel::addPoint(float x, float y, float z)
{
    points.push_back(x);
    points.push_back(y);
    points.push_back(z);
    return (uint32_t)(points.size() / 3 - 1);
}

void KbLwoModel::addFace(std::vector<uint32_t> aPnts, uint32_t aSurf, float dx, float dy, float dz)
{
    // Newell's normal of the corners as given; the file wants it along the outward direction.
    double n[3] = {0, 0, 0};
    for (size_t i = 0; i < aPnts.size(); ++i) {
        const float *a = &points[aPnts[i] * 3], *b = &points[aPnts[(i + 1) % aPnts.size()] * 3];
        n[0] += (a[1] - b[1]) * (a[2] + b[2]);
        n[1] += (a[2] - b[2]) * (a[0] + b[0]);
        n[2] += (a[0] - b[0]) * (a[1] + b[1]);
    }
    if (n[0] * dx + n[1] * dy + n[2] * dz < 0) {
        std::vector<uint32_t> r(aPnts.rbegin(), aPnts.rend());
        aPnts = r;
    }
    polys.push_back(aPnts);
    polySurf.push_back(aSurf);
}

namespace {

struct _out {
    std::vector<uint8_t> b;
    void u1(uint32_t v) { b.push_back((uint8_t)v); }
    void u2(uint32_t v) { u1(v >> 8); u1(v); }
    void u4(uint32_t v) { u2(v >> 16); u2(v); }
    void f4(float f)
    {
        uint32_t v;
        std::memcpy(&v, &f, 4);
        u4(v);
    }
    void id(const char *s) { b.insert(b.end(), s, s + 4); }
    void s0(const std::string &s)
    {
        b.insert(b.end(), s.begin(), s.end());
        u1(0);
        if ((s.size() + 1) & 1) u1(0);
    }
    void vx(uint32_t v)
    {
        if (v < 0xFF00) u2(v);
        else u4(v | 0xFF000000u);
    }
    void append(const _out &o) { b.insert(b.end(), o.b.begin(), o.b.end()); }
    // A chunk with a 32-bit (or a sub-chunk with a 16-bit) length, padded to even.
    void chunk(const char *aId, const _out &aBody, bool aShort = false)
    {
        id(aId);
        if (aShort) u2((uint32_t)aBody.b.size());
        else u4((uint32_t)aBody.b.size());
        append(aBody);
        if (aBody.b.size() & 1) u1(0);
    }
};

std::vector<uint8_t> _form(const char *aType, const _out &aBody)
{
    _out f;
    f.id("FORM");
    f.u4((uint32_t)aBody.b.size() + 4);
    f.id(aType);
    f.append(aBody);
    return f.b;
}

_out _pnts(const KbLwoModel &m)
{
    _out p;
    for (float v : m.points) p.f4(v);
    return p;
}

} // namespace

std::vector<uint8_t> kbLwoWriteLwo2(const KbLwoModel &m)
{
    _out body, tags;
    for (const auto &s : m.surfaces) tags.s0(s.name);
    body.chunk("TAGS", tags);
    std::vector<std::string> images;
    for (const auto &s : m.surfaces) {
        if (!s.image.empty()) images.push_back(s.image);
    }
    for (size_t i = 0; i < images.size(); ++i) {
        _out clip, stil;
        clip.u4((uint32_t)i + 1);
        stil.s0(images[i]);
        clip.chunk("STIL", stil, true);
        body.chunk("CLIP", clip);
    }
    for (int layer = 0; layer < m.layers; ++layer) {
        _out layr;
        layr.u2((uint32_t)layer);
        layr.u2(0);
        layr.f4(0);
        layr.f4(0);
        layr.f4(0);
        layr.s0(layer ? "Extra" : "Fighter");
        body.chunk("LAYR", layr);
        body.chunk("PNTS", _pnts(m));
        if (!m.uvName.empty() && m.uv.size() == m.points.size() / 3 * 2) {
            _out vmap;
            vmap.id("TXUV");
            vmap.u2(2);
            vmap.s0(m.uvName);
            for (size_t i = 0; i < m.uv.size() / 2; ++i) {
                vmap.vx((uint32_t)i);
                vmap.f4(m.uv[i * 2]);
                vmap.f4(m.uv[i * 2 + 1]);
            }
            body.chunk("VMAP", vmap);
        }
        _out pols, ptag;
        pols.id("FACE");
        for (const auto &p : m.polys) {
            pols.u2((uint32_t)p.size());
            for (uint32_t v : p) pols.vx(v);
        }
        body.chunk("POLS", pols);
        ptag.id("SURF");
        for (size_t i = 0; i < m.polys.size(); ++i) {
            ptag.vx((uint32_t)i);
            ptag.u2(m.polySurf[i]);
        }
        body.chunk("PTAG", ptag);
    }
    uint32_t clipNo = 0;
    for (const auto &s : m.surfaces) {
        _out surf, sub;
        surf.s0(s.name);
        surf.s0("");
        sub = _out();
        sub.f4(s.color[0]);
        sub.f4(s.color[1]);
        sub.f4(s.color[2]);
        sub.vx(0);
        surf.chunk("COLR", sub, true);
        const struct {
            const char *id;
            float v;
        } scalars[] = {{"DIFF", s.diff}, {"LUMI", s.lumi}, {"SPEC", s.spec}, {"GLOS", s.glos}, {"TRAN", s.tran}};
        for (const auto &e : scalars) {
            sub = _out();
            sub.f4(e.v);
            sub.vx(0);
            surf.chunk(e.id, sub, true);
        }
        if (s.smoothAngle > 0) {
            sub = _out();
            sub.f4(s.smoothAngle);
            surf.chunk("SMAN", sub, true);
        }
        if (s.doubleSided) {
            sub = _out();
            sub.u2(3);
            surf.chunk("SIDE", sub, true);
        }
        if (!s.image.empty()) {
            _out blok, head, hsub, t;
            head.s0("\x80");
            hsub.id("COLR");
            head.chunk("CHAN", hsub, true);
            hsub = _out();
            hsub.u2(1);
            head.chunk("ENAB", hsub, true);
            hsub = _out();
            hsub.u2(0);
            hsub.f4(1.0f);
            hsub.vx(0);
            head.chunk("OPAC", hsub, true);
            blok.chunk("IMAP", head, true);
            _out tmap;
            t = _out();
            for (float v : s.center) t.f4(v);
            t.vx(0);
            tmap.chunk("CNTR", t, true);
            t = _out();
            for (float v : s.size) t.f4(v);
            t.vx(0);
            tmap.chunk("SIZE", t, true);
            blok.chunk("TMAP", tmap, true);
            t = _out();
            t.u2((uint32_t)s.proj);
            blok.chunk("PROJ", t, true);
            t = _out();
            t.u2((uint32_t)s.axis);
            blok.chunk("AXIS", t, true);
            t = _out();
            t.vx(++clipNo);
            blok.chunk("IMAG", t, true);
            if (s.proj == 5) {
                t = _out();
                t.s0(m.uvName);
                blok.chunk("VMAP", t, true);
            }
            surf.chunk("BLOK", blok, true);
        }
        body.chunk("SURF", surf);
    }
    return _form("LWO2", body);
}

std::vector<uint8_t> kbLwoWriteLwob(const KbLwoModel &m)
{
    _out body, srfs, pols;
    body.chunk("PNTS", _pnts(m));
    for (const auto &s : m.surfaces) srfs.s0(s.name);
    body.chunk("SRFS", srfs);
    for (size_t i = 0; i < m.polys.size(); ++i) {
        pols.u2((uint32_t)m.polys[i].size());
        for (uint32_t v : m.polys[i]) pols.u2(v);
        pols.u2(m.polySurf[i] + 1);
    }
    body.chunk("POLS", pols);
    for (const auto &s : m.surfaces) {
        _out surf, sub;
        surf.s0(s.name);
        sub.u1((uint32_t)std::lround(s.color[0] * 255));
        sub.u1((uint32_t)std::lround(s.color[1] * 255));
        sub.u1((uint32_t)std::lround(s.color[2] * 255));
        sub.u1(0);
        surf.chunk("COLR", sub, true);
        sub = _out();
        sub.u2((s.smoothAngle > 0 ? 4u : 0u) | (s.doubleSided ? 256u : 0u));
        surf.chunk("FLAG", sub, true);
        const struct {
            const char *id;
            float v;
        } scalars[] = {{"VDIF", s.diff}, {"VLUM", s.lumi}, {"VSPC", s.spec}, {"VTRN", s.tran}};
        for (const auto &e : scalars) {
            sub = _out();
            sub.f4(e.v);
            surf.chunk(e.id, sub, true);
        }
        sub = _out();
        sub.u2((uint32_t)std::lround(std::pow(2.0, 10.0 * s.glos + 2.0)));
        surf.chunk("GLOS", sub, true);
        if (s.smoothAngle > 0) {
            sub = _out();
            sub.f4(s.smoothAngle);
            surf.chunk("SMAN", sub, true);
        }
        if (!s.image.empty()) {
            sub = _out();
            sub.s0("Planar Image Map");
            surf.chunk("CTEX", sub, true);
            sub = _out();
            sub.s0(s.image);
            surf.chunk("TIMG", sub, true);
            sub = _out();
            sub.u2(s.axis == 0 ? 1u : (s.axis == 1 ? 2u : 4u));
            surf.chunk("TFLG", sub, true);
            sub = _out();
            for (float v : s.size) sub.f4(v);
            surf.chunk("TSIZ", sub, true);
            sub = _out();
            for (float v : s.center) sub.f4(v);
            surf.chunk("TCTR", sub, true);
        }
        body.chunk("SURF", surf);
    }
    return _form("LWOB", body);
}

bool kbLwoSave(const std::string &aPath, const std::vector<uint8_t> &aBytes)
{
    FILE *f = std::fopen(aPath.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(aBytes.data(), 1, aBytes.size(), f) == aBytes.size();
    return std::fclose(f) == 0 && ok;
}
