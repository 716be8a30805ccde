// LWOB objects, the older layout: one layer, surfaces named in SRFS and numbered from 1 in the
// polygons, fixed-point surface values and texture settings as a flat run of sub-chunks.

#include <cmath>
#include <cstring>

#include "LW/OBJ2/OBJ2Int.h"

namespace {

const struct {
    const char *id;
    int32_t chan;
} _texTbl[] = {{"CTEX", OBJ2_CHAN_COLR}, {"DTEX", OBJ2_CHAN_DIFF}, {"LTEX", OBJ2_CHAN_LUMI}, {"STEX", OBJ2_CHAN_SPEC},
               {"RTEX", OBJ2_CHAN_REFL}, {"TTEX", OBJ2_CHAN_TRAN}, {"BTEX", OBJ2_CHAN_BUMP}};

const struct {
    const char *name;
    int32_t proj;
} _projTbl[] = {{"Planar Image Map", OBJ2_PROJ_PLANAR}, {"Cylindrical Image Map", OBJ2_PROJ_CYLINDRICAL},
                {"Spherical Image Map", OBJ2_PROJ_SPHERICAL}, {"Cubic Image Map", OBJ2_PROJ_CUBIC},
                {"Front Projection Image Map", OBJ2_PROJ_FRONT}};

int _readSurf(st_OBJ2 *o, _objReader &c)
{
    char name[OBJ2_NAME_SIZE];
    if (!c.s0(name, sizeof(name))) return _objFail(o, OBJ_BAD_FILE);
    int32_t idx = o->findSurf(o, name);
    st_SurfaceData *s = idx >= 0 ? o->getSurf(o, idx) : o->newSurf(o, name);
    if (!s) return -1;
    uint32_t flag = 0;
    int haveSman = 0;
    st_TextureLayer *t = nullptr;  // the layer the texture sub-chunks describe; null for procedurals
    while (c.left() >= 6) {
        char id[5];
        c.id4(id);
        uint32_t len = c.u2();
        if (len > c.left()) return _objFail(o, OBJ_BAD_FILE);
        _objReader r{c.p, c.p + len, 0};
        c.skip(len + (len & 1));
        struct {
            const char *fixed, *real;
            float *dst;
        } scalars[] = {{"LUMI", "VLUM", &s->lumi}, {"DIFF", "VDIF", &s->diff}, {"SPEC", "VSPC", &s->spec},
                       {"REFL", "VRFL", &s->refl}, {"TRAN", "VTRN", &s->tran}};
        int done = 0;
        for (const auto &e : scalars) {
            if (!std::memcmp(id, e.fixed, 4)) {
                *e.dst = r.u2() / 256.0f;
                done = 1;
            } else if (!std::memcmp(id, e.real, 4)) {
                *e.dst = r.f4();
                done = 1;
            }
        }
        if (!done) {
            int32_t texChan = -1;
            for (const auto &e : _texTbl) {
                if (!std::memcmp(id, e.id, 4)) texChan = e.chan;
            }
            if (texChan >= 0) {
                char type[OBJ2_NAME_SIZE];
                if (!r.s0(type, sizeof(type))) return _objFail(o, OBJ_BAD_FILE);
                t = nullptr;
                for (const auto &p : _projTbl) {
                    if (std::strcmp(type, p.name) == 0) {
                        if (!(t = _objNewTexture(o, s))) return -1;
                        t->chan = texChan;
                        t->proj = p.proj;
                        t->flags |= OBJ2_TXL_ENABLED;
                    }
                }
            } else if (!std::memcmp(id, "COLR", 4)) {
                for (int k = 0; k < 3; ++k) s->colr[k] = r.u1() / 255.0f;
            } else if (!std::memcmp(id, "FLAG", 4)) {
                flag = r.u2();
            } else if (!std::memcmp(id, "GLOS", 4)) {
                uint32_t g = r.u2();
                s->glos = g > 4 ? (float)((std::log2((double)g) - 2.0) / 10.0) : 0.0f;
            } else if (!std::memcmp(id, "SMAN", 4)) {
                s->sman = r.f4();
                haveSman = 1;
            } else if (!std::memcmp(id, "RIMG", 4)) {
                if (!r.s0(s->material.rimg, sizeof(s->material.rimg))) return _objFail(o, OBJ_BAD_FILE);
            } else if (t && !std::memcmp(id, "TIMG", 4)) {
                if (!r.s0(t->timg, sizeof(t->timg))) return _objFail(o, OBJ_BAD_FILE);
            } else if (t && !std::memcmp(id, "TALP", 4)) {
                if (!r.s0(t->talp, sizeof(t->talp))) return _objFail(o, OBJ_BAD_FILE);
            } else if (t && !std::memcmp(id, "TFLG", 4)) {
                uint32_t f = r.u2();
                t->axis = (f & 1) ? 0 : ((f & 2) ? 1 : 2);
                t->nega = (f & 16) ? 1 : 0;
            } else if (t && !std::memcmp(id, "TSIZ", 4)) {
                for (int k = 0; k < 3; ++k) t->size[k] = r.f4();
            } else if (t && !std::memcmp(id, "TCTR", 4)) {
                for (int k = 0; k < 3; ++k) t->cntr[k] = r.f4();
            } else if (t && !std::memcmp(id, "TWRP", 4)) {
                t->wrap_w = r.u2();
                t->wrap_h = r.u2();
            } else if (t && !std::memcmp(id, "TOPC", 4)) {
                t->opac = r.f4();
            }
        }
        if (r.bad) return _objFail(o, OBJ_BAD_FILE);
    }
    // FLAG: 4 smoothing, 256 two-sided, 512 additive.
    if (flag & 4) {
        if (!haveSman) s->sman = (float)(89.5 * 3.14159265358979323846 / 180.0);
    } else {
        s->sman = 0.0f;
    }
    s->side = (flag & 256) ? 3 : 1;
    s->adtr = (flag & 512) ? 1.0f : 0.0f;
    return 0;
}

int _readPols(st_OBJ2 *o, _objReader &c, int32_t aPntCount)
{
    st_LayerData *l = o->layer;
    st_PTagData *tags = o->newPTag(o, "SURF");
    if (!tags) return -1;
    int32_t pts[1023];
    while (c.left() > 0) {
        int32_t n = c.u2();
        if (c.bad) return _objFail(o, OBJ_BAD_FILE);
        if (n == 0 || n >= 1023) return _objFail(o, OBJ_BAD_POLYGON);
        for (int32_t k = 0; k < n; ++k) {
            uint32_t v = c.u2();
            if (c.bad) return _objFail(o, OBJ_BAD_FILE);
            if (v >= (uint32_t)aPntCount) return _objFail(o, OBJ_BAD_NPOINT);
            pts[k] = (int32_t)v;
        }
        int32_t surf = (int16_t)c.u2();
        if (c.bad) return _objFail(o, OBJ_BAD_FILE);
        // A negative surface announces detail polygons; they follow as ordinary ones.
        if (surf < 0) {
            surf = -surf;
            c.u2();
            if (c.bad) return _objFail(o, OBJ_BAD_FILE);
        }
        if (surf < 1 || surf > o->numTags) return _objFail(o, OBJ_BAD_FILE);
        int32_t pi = o->addPoly(o, n, pts, -1);
        if (pi < 0) return -1;
        if (o->addPTag(o, tags, pi, surf - 1) < 0) return -1;
    }
    (void)l;
    return 0;
}

} // namespace

int32_t LWOB_load(st_OBJ2 *o, const uint8_t *aDataP, uint32_t aSize)
{
    _objReader r{};
    if (_objOpenForm(o, aDataP, aSize, "LWOB", &r) < 0) return -1;
    if (!o->newLayer(o, 0)) return -1;
    int rc = _objChunks(o, r, [&](const char *id, _objReader &c, uint32_t len) {
        if (!std::memcmp(id, "PNTS", 4)) {
            return _objReadPoints(o, c, len);
        } else if (!std::memcmp(id, "SRFS", 4)) {
            char name[OBJ2_NAME_SIZE];
            while (c.left() > 0) {
                if (!c.s0(name, sizeof(name))) return _objFail(o, OBJ_BAD_FILE);
                if (o->addTag(o, name) < 0 || (o->findSurf(o, name) < 0 && !o->newSurf(o, name))) return -1;
            }
        } else if (!std::memcmp(id, "POLS", 4)) {
            return _readPols(o, c, o->layer->numPnts);
        } else if (!std::memcmp(id, "SURF", 4)) {
            return _readSurf(o, c);
        } else {
            // CRVS and anything newer: not drawn.
            _objDebug(o, "%s [%d]\n", id, (int)len);
            c.p = c.end;
        }
        return 0;
    });
    if (rc < 0) return -1;
    return _lwoFinish(o);
}
