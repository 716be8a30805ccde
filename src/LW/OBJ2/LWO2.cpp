// LWO2 objects: an IFF FORM of chunks, all numbers big-endian, point and polygon indices of
// variable length. Every count, index and length is checked against what was read.

#include <cstring>

#include "LW/OBJ2/OBJ2Int.h"

namespace {

struct _lwo2State {
    int32_t pntsBase, pntsCount;  // the PNTS chunk that indices refer to
    int32_t polsBase, polsCount;  // the POLS chunk that PTAG and VMAD refer to
    int polsHidden;               // its polygons are not faces
};

st_LayerData *_layer(st_OBJ2 *o)
{
    return o->layer ? o->layer : o->newLayer(o, 0);
}

const struct {
    const char *id;
    int32_t chan;
} _chanTbl[] = {{"COLR", OBJ2_CHAN_COLR}, {"DIFF", OBJ2_CHAN_DIFF}, {"LUMI", OBJ2_CHAN_LUMI}, {"SPEC", OBJ2_CHAN_SPEC},
                {"REFL", OBJ2_CHAN_REFL}, {"TRAN", OBJ2_CHAN_TRAN}, {"BUMP", OBJ2_CHAN_BUMP}, {"TRNL", OBJ2_CHAN_TRNL}};

int32_t _chanOf(const char *aId)
{
    for (const auto &c : _chanTbl) {
        if (std::memcmp(c.id, aId, 4) == 0) return c.chan;
    }
    return OBJ2_CHAN_NONE;
}

// Walks sub-chunks (ID4, U2 length, even padding) of r, handing each to aFn with its own bounded
// reader. -1 when a sub-chunk claims more than is there.
template <typename F> int _subChunks(_objReader &r, F aFn)
{
    while (r.left() >= 6) {
        char id[5];
        r.id4(id);
        uint32_t len = r.u2();
        if (len > r.left()) return -1;
        _objReader s{r.p, r.p + len, 0};
        if (aFn(id, s) < 0 || s.bad) return -1;
        r.skip(len + (len & 1));
    }
    return 0;
}

int _readTmap(_objReader &r, st_TextureLayer *t)
{
    return _subChunks(r, [&](const char *id, _objReader &s) {
        float *dst = nullptr;
        if (!std::memcmp(id, "CNTR", 4)) dst = t->cntr;
        else if (!std::memcmp(id, "SIZE", 4)) dst = t->size;
        else if (!std::memcmp(id, "ROTA", 4)) dst = t->rota;
        if (dst) {
            for (int k = 0; k < 3; ++k) dst[k] = s.f4();
        }
        return 0;
    });
}

int _readBlock(st_OBJ2 *o, _objReader &r, st_SurfaceData *aSurfP)
{
    if (r.left() < 6) return -1;
    char hid[5];
    r.id4(hid);
    uint32_t hlen = r.u2();
    if (hlen > r.left()) return -1;
    _objReader h{r.p, r.p + hlen, 0};
    r.skip(hlen + (hlen & 1));
    // Only image maps become texture layers; procedurals, gradients and shaders are skipped.
    if (std::memcmp(hid, "IMAP", 4) != 0) return 0;
    st_TextureLayer *t = _objNewTexture(o, aSurfP);
    if (!t) return -1;
    t->flags |= OBJ2_TXL_ENABLED;
    char ord[OBJ2_NAME_SIZE];
    if (!h.s0(ord, sizeof(ord))) return -1;
    int rc = _subChunks(h, [&](const char *id, _objReader &s) {
        if (!std::memcmp(id, "CHAN", 4)) {
            char ch[5];
            s.id4(ch);
            t->chan = _chanOf(ch);
        } else if (!std::memcmp(id, "ENAB", 4)) {
            if (!s.u2()) t->flags &= ~OBJ2_TXL_ENABLED;
        } else if (!std::memcmp(id, "OPAC", 4)) {
            t->blend_mode = s.u2();
            t->opac = s.f4();
        } else if (!std::memcmp(id, "NEGA", 4)) {
            t->nega = s.u2();
        }
        return 0;
    });
    if (rc < 0) return -1;
    return _subChunks(r, [&](const char *id, _objReader &s) {
        if (!std::memcmp(id, "TMAP", 4)) return _readTmap(s, t);
        if (!std::memcmp(id, "PROJ", 4)) t->proj = s.u2();
        else if (!std::memcmp(id, "AXIS", 4)) t->axis = s.u2();
        else if (!std::memcmp(id, "IMAG", 4)) t->clip = (int32_t)s.vx();
        else if (!std::memcmp(id, "WRAP", 4)) {
            t->wrap_w = s.u2();
            t->wrap_h = s.u2();
        } else if (!std::memcmp(id, "WRPW", 4)) t->wrpw = s.f4();
        else if (!std::memcmp(id, "WRPH", 4)) t->wrph = s.f4();
        else if (!std::memcmp(id, "VMAP", 4)) {
            if (!s.s0(t->txuv, sizeof(t->txuv))) return -1;
            t->flags |= OBJ2_TXL_UVMAP;
        }
        return 0;
    });
}

int _readSurf(st_OBJ2 *o, _objReader &c)
{
    char name[OBJ2_NAME_SIZE], source[OBJ2_NAME_SIZE];
    if (!c.s0(name, sizeof(name)) || !c.s0(source, sizeof(source))) return _objFail(o, OBJ_BAD_FILE);
    int32_t idx = o->findSurf(o, name);
    st_SurfaceData *s = idx >= 0 ? o->getSurf(o, idx) : o->newSurf(o, name);
    if (!s) return -1;
    std::memcpy(s->source, source, sizeof(s->source));
    int rc = _subChunks(c, [&](const char *id, _objReader &r) {
        struct {
            const char *id;
            float *dst;
        } scalars[] = {{"DIFF", &s->diff}, {"LUMI", &s->lumi}, {"SPEC", &s->spec}, {"REFL", &s->refl},
                       {"TRAN", &s->tran}, {"TRNL", &s->trnl}, {"GLOS", &s->glos}, {"SMAN", &s->sman},
                       {"ADTR", &s->adtr}};
        for (const auto &e : scalars) {
            if (!std::memcmp(id, e.id, 4)) {
                *e.dst = r.f4();
                return 0;
            }
        }
        if (!std::memcmp(id, "COLR", 4)) {
            for (int k = 0; k < 3; ++k) s->colr[k] = r.f4();
        } else if (!std::memcmp(id, "SIDE", 4)) {
            s->side = r.u2();
        } else if (!std::memcmp(id, "RIMG", 4)) {
            s->material.rclip = (int32_t)r.vx();
        } else if (!std::memcmp(id, "BLOK", 4)) {
            return _readBlock(o, r, s);
        }
        return 0;
    });
    return rc < 0 ? _objFail(o, OBJ_BAD_FILE) : 0;
}

int _readClip(st_OBJ2 *o, _objReader &c)
{
    if (_objGrow(o, (void **)&o->clips, &o->maxClips, o->numClips + 1, sizeof(st_ClipData)) < 0) return -1;
    st_ClipData *clip = &o->clips[o->numClips];
    std::memset(clip, 0, sizeof(*clip));
    clip->index = (int32_t)c.u4();
    int rc = _subChunks(c, [&](const char *id, _objReader &r) {
        if (!std::memcmp(id, "STIL", 4) && !r.s0(clip->name, sizeof(clip->name))) return -1;
        return 0;
    });
    if (rc < 0 || c.bad) return _objFail(o, OBJ_BAD_FILE);
    o->numClips++;
    return 0;
}

int _readEnvl(st_OBJ2 *o, _objReader &c)
{
    if (_objGrow(o, (void **)&o->envelopes, &o->maxEnvs, o->numEnvs + 1, sizeof(st_EnvelopeData)) < 0) return -1;
    st_EnvelopeData *e = &o->envelopes[o->numEnvs];
    std::memset(e, 0, sizeof(*e));
    e->index = (int32_t)c.vx();
    int32_t maxKeys = 0;
    int rc = _subChunks(c, [&](const char *id, _objReader &r) {
        if (!std::memcmp(id, "TYPE", 4)) {
            e->type = r.u2();
        } else if (!std::memcmp(id, "KEY ", 4)) {
            float t = r.f4(), v = r.f4();
            if (_objGrow(o, (void **)&e->keys, &maxKeys, (e->numKeys + 1) * 2, sizeof(float)) < 0) return -1;
            e->keys[e->numKeys * 2] = t;
            e->keys[e->numKeys * 2 + 1] = v;
            e->numKeys++;
        }
        return 0;
    });
    o->numEnvs++;  // recorded even when bad, so its keys are freed with the rest
    if (rc < 0 || c.bad) return _objFail(o, o->error == OBJ_MEM_ERROR ? OBJ_MEM_ERROR : OBJ_BAD_FILE);
    return 0;
}

int _readLayr(st_OBJ2 *o, _objReader &c, _lwo2State &st)
{
    int32_t no = c.u2();
    st_LayerData *l = o->newLayer(o, no);
    if (!l) return -1;
    l->flags = c.u2();
    for (int k = 0; k < 3; ++k) l->pivot[k] = c.f4();
    if (c.bad || !c.s0(l->name, sizeof(l->name))) return _objFail(o, OBJ_BAD_FILE);
    if (c.left() >= 2) l->parent_no = (int16_t)c.u2();
    st = _lwo2State{0, 0, 0, 0, 0};
    return 0;
}

int _readPnts(st_OBJ2 *o, _objReader &c, _lwo2State &st, uint32_t aLen)
{
    if (!_layer(o)) return -1;
    st.pntsBase = o->layer->numPnts;
    st.pntsCount = 0;
    if (_objReadPoints(o, c, aLen) < 0) return -1;
    st.pntsCount = (int32_t)(aLen / 12);
    return 0;
}

int _readPols(st_OBJ2 *o, _objReader &c, _lwo2State &st)
{
    st_LayerData *l = _layer(o);
    if (!l) return -1;
    char type[5];
    c.id4(type);
    if (c.bad) return _objFail(o, OBJ_BAD_FILE);
    std::memcpy(l->poltype, type, 5);
    st.polsBase = l->numPols;
    st.polsCount = 0;
    // Faces and subdivision cages draw; curves, metaballs and bones do not.
    st.polsHidden = std::memcmp(type, "FACE", 4) != 0 && std::memcmp(type, "PTCH", 4) != 0;
    int32_t pts[1023];
    while (c.left() > 0) {
        uint16_t w = c.u2();
        int32_t n = w & 0x3FF;
        if (c.bad) return _objFail(o, OBJ_BAD_FILE);
        if (n == 0 || n >= 1023) return _objFail(o, OBJ_BAD_POLYGON);
        for (int32_t k = 0; k < n; ++k) {
            uint32_t v = c.vx();
            if (c.bad) return _objFail(o, OBJ_BAD_FILE);
            if (v >= (uint32_t)st.pntsCount) return _objFail(o, OBJ_BAD_NPOINT);
            pts[k] = st.pntsBase + (int32_t)v;
        }
        int32_t pi = o->addPoly(o, n, pts, -1);
        if (pi < 0) return -1;
        l->polygons[pi].flags_l = (uint16_t)(w >> 10);
        if (st.polsHidden) l->polygons[pi].flags |= OBJ2_POLY_HIDDEN;
        st.polsCount++;
    }
    return 0;
}

int _readPtag(st_OBJ2 *o, _objReader &c, _lwo2State &st)
{
    st_LayerData *l = _layer(o);
    if (!l) return -1;
    char type[5];
    c.id4(type);
    if (c.bad) return _objFail(o, OBJ_BAD_FILE);
    // Colour tags carry no tag index; every other kind names an entry of TAGS.
    int named = std::memcmp(type, "COLR", 4) != 0;
    st_PTagData *t = o->newPTag(o, type);
    if (!t) return -1;
    while (c.left() > 0) {
        uint32_t pol = c.vx();
        uint32_t tag = c.u2();
        if (c.bad) return _objFail(o, OBJ_BAD_FILE);
        if (pol >= (uint32_t)st.polsCount) return _objFail(o, OBJ_BAD_POLYGON);
        if (named && tag >= (uint32_t)o->numTags) return _objFail(o, OBJ_BAD_FILE);
        if (o->addPTag(o, t, st.polsBase + (int32_t)pol, (int32_t)tag) < 0) return -1;
    }
    return 0;
}

// The dimension each well-known map kind must have; -1 for kinds of any dimension.
int32_t _vmapDim(const char *aType)
{
    static const struct {
        const char *id;
        int32_t dim;
    } tbl[] = {{"TXUV", 2}, {"RGB ", 3}, {"RGBA", 4}, {"WGHT", 1}, {"MORF", 3}, {"SPOT", 3}, {"PICK", 0}};
    for (const auto &e : tbl) {
        if (std::memcmp(e.id, aType, 4) == 0) return e.dim;
    }
    return -1;
}

int _readVmap(st_OBJ2 *o, _objReader &c, _lwo2State &st, int aPerPoly)
{
    if (!_layer(o)) return -1;
    char type[5], name[OBJ2_NAME_SIZE];
    c.id4(type);
    int32_t dim = c.u2();
    if (c.bad || !c.s0(name, sizeof(name))) return _objFail(o, OBJ_BAD_FILE);
    int32_t want = _vmapDim(type);
    if (want >= 0 && dim != want) return _objFail(o, OBJ_BAD_FILE);
    st_VMapData *v = o->newVMap(o, type, dim, name, aPerPoly);
    if (!v) return -1;
    float vals[64];
    while (c.left() > 0) {
        uint32_t pnt = c.vx();
        uint32_t pol = aPerPoly ? c.vx() : 0;
        for (int32_t k = 0; k < dim; ++k) {
            float f = c.f4();
            if (k < 64) vals[k] = f;
        }
        if (c.bad) return _objFail(o, OBJ_BAD_FILE);
        if (pnt >= (uint32_t)st.pntsCount) return _objFail(o, OBJ_BAD_NPOINT);
        if (aPerPoly && pol >= (uint32_t)st.polsCount) return _objFail(o, OBJ_BAD_POLYGON);
        // Kinds the renderer reads are at most four wide; wider unknown kinds keep their points only.
        if (dim > 64) continue;
        if (o->addVMap(o, v, st.pntsBase + (int32_t)pnt, aPerPoly ? st.polsBase + (int32_t)pol : -1, vals) < 0) return -1;
    }
    return 0;
}

} // namespace

int _lwoFinish(st_OBJ2 *o)
{
    for (st_LayerData *l = o->layerList; l; l = l->nextLayer) {
        o->layer = l;
        st_PTagData *t = o->getPTag(o, "SURF");
        if (t) {
            for (int32_t i = 0; i < t->count; ++i) {
                const char *name = o->getTag(o, t->tags[i]);
                if (!name) return _objFail(o, OBJ_BAD_FILE);
                int32_t s = o->findSurf(o, name);
                if (s < 0) {
                    if (!o->newSurf(o, name)) return -1;
                    s = o->numSurfs - 1;
                }
                l->polygons[t->pols[i]].surf_no = s;
            }
        }
        // Untagged faces still belong somewhere drawable.
        for (int32_t i = 0; i < l->numPols; ++i) {
            st_PolygonData *p = &l->polygons[i];
            if (p->surf_no >= 0) continue;
            int32_t s = o->findSurf(o, "Default");
            if (s < 0) {
                if (!o->newSurf(o, "Default")) return -1;
                s = o->numSurfs - 1;
            }
            p->surf_no = s;
        }
    }
    for (int32_t i = 0; i < o->numSurfs; ++i) _objMakeMaterial(o, o->surfaces[i]);
    for (st_LayerData *l = o->layerList; l; l = l->nextLayer) {
        for (int32_t i = 0; i < l->numPols; ++i) l->polygons[i].surface = o->surfaces[l->polygons[i].surf_no]->name;
    }
    o->layer = o->layerList;
    return 0;
}

int32_t LWO2_load(st_OBJ2 *o, const uint8_t *aDataP, uint32_t aSize)
{
    _objReader r{};
    if (_objOpenForm(o, aDataP, aSize, "LWO2", &r) < 0) return -1;
    _lwo2State st{0, 0, 0, 0, 0};
    int rc = _objChunks(o, r, [&](const char *id, _objReader &c, uint32_t len) {
        if (!std::memcmp(id, "TAGS", 4)) {
            char name[OBJ2_NAME_SIZE];
            while (c.left() > 0) {
                if (!c.s0(name, sizeof(name))) return _objFail(o, OBJ_BAD_FILE);
                if (o->addTag(o, name) < 0) return -1;
            }
        } else if (!std::memcmp(id, "LAYR", 4)) {
            return _readLayr(o, c, st);
        } else if (!std::memcmp(id, "PNTS", 4)) {
            return _readPnts(o, c, st, len);
        } else if (!std::memcmp(id, "BBOX", 4)) {
            if (!_layer(o)) return -1;
            for (int k = 0; k < 6; ++k) o->layer->bbox[k] = c.f4();
            if (c.bad) return _objFail(o, OBJ_BAD_FILE);
        } else if (!std::memcmp(id, "POLS", 4)) {
            return _readPols(o, c, st);
        } else if (!std::memcmp(id, "PTAG", 4)) {
            return _readPtag(o, c, st);
        } else if (!std::memcmp(id, "VMAP", 4)) {
            return _readVmap(o, c, st, 0);
        } else if (!std::memcmp(id, "VMAD", 4)) {
            return _readVmap(o, c, st, 1);
        } else if (!std::memcmp(id, "SURF", 4)) {
            return _readSurf(o, c);
        } else if (!std::memcmp(id, "CLIP", 4)) {
            return _readClip(o, c);
        } else if (!std::memcmp(id, "ENVL", 4)) {
            return _readEnvl(o, c);
        } else {
            _objDebug(o, "%s [%d]\n", id, (int)len);
            c.p = c.end;
        }
        return 0;
    });
    if (rc < 0) return -1;
    if (!o->layerList && !o->newLayer(o, 0)) return -1;
    return _lwoFinish(o);
}
