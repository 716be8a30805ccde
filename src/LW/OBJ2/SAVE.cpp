// Writing the database back as an LWO2 file, second handles on one database, and readable
// dumps of what was read.

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "LW/OBJ2/OBJ2Int.h"

namespace {

int32_t _fail(st_OBJ2 *o, int32_t aError)
{
    o->error = (uint8_t)aError;
    return -1;
}

// A big-endian IFF writer: chunks with 32-bit lengths, sub-chunks with 16-bit ones.
struct _writer {
    std::vector<uint8_t> b;
    bool tooLong = false;

    void u1(uint32_t v) { b.push_back((uint8_t)v); }
    void u2(uint32_t v) { u1(v >> 8); u1(v); }
    void u4(uint32_t v) { u2(v >> 16); u2(v); }
    void f4(float f)
    {
        uint32_t v;
        std::memcpy(&v, &f, 4);
        u4(v);
    }
    void id4(const char *s)
    {
        for (int i = 0; i < 4; ++i) u1(s[i] ? (uint8_t)s[i] : ' ');
    }
    void vx(uint32_t v)
    {
        if (v < 0xFF00) u2(v);
        else u4(v | 0xFF000000u);
    }
    void s0(const char *s)
    {
        size_t n = std::strlen(s);
        b.insert(b.end(), s, s + n);
        u1(0);
        if ((n + 1) & 1) u1(0);
    }
    size_t open(const char *aId, bool aSub)
    {
        id4(aId);
        size_t at = b.size();
        if (aSub) u2(0);
        else u4(0);
        return at;
    }
    void close(size_t aAt, bool aSub)
    {
        size_t len = b.size() - aAt - (aSub ? 2 : 4);
        if (aSub && len > 0xFFFF) tooLong = true;
        for (int i = aSub ? 1 : 3; i >= 0; --i) b[aAt + (aSub ? 1 : 3) - i] = (uint8_t)(len >> (8 * i));
        if (len & 1) u1(0);
    }
};

bool _named(const char *aName) { return aName[0] && std::strcmp(aName, "(none)") != 0; }

struct _clipOut {
    int32_t index;
    std::string name;
};

// Images named without a clip (objects of the older generation) get clips of their own.
int32_t _clipFor(st_OBJ2 *o, std::vector<_clipOut> &aClips, int32_t aClip, const char *aName)
{
    if (aClip >= 0 && o->getClip(o, aClip)) return aClip;
    if (!_named(aName)) return -1;
    for (const auto &c : aClips) {
        if (c.name == aName) return c.index;
    }
    int32_t top = o->newClipIndex(o);
    for (const auto &c : aClips) top = c.index >= top ? c.index + 1 : top;
    aClips.push_back({top, aName});
    return top;
}

void _writeSurf(st_OBJ2 *o, _writer &w, const st_SurfaceData *s, std::vector<_clipOut> &aClips)
{
    size_t at = w.open("SURF", false);
    w.s0(s->name);
    w.s0(s->source);
    auto sub = [&](const char *aId, float aV) {
        size_t a = w.open(aId, true);
        w.f4(aV);
        w.vx(0);
        w.close(a, true);
    };
    size_t c = w.open("COLR", true);
    for (int k = 0; k < 3; ++k) w.f4(s->colr[k]);
    w.vx(0);
    w.close(c, true);
    const struct {
        const char *id;
        float value;
    } shading[] = {{"DIFF", s->diff}, {"LUMI", s->lumi}, {"SPEC", s->spec}, {"REFL", s->refl},
                   {"TRAN", s->tran}, {"TRNL", s->trnl}, {"GLOS", s->glos}};
    for (const auto &e : shading)
        sub(e.id, e.value);
    size_t a = w.open("SMAN", true);
    w.f4(s->sman);
    w.close(a, true);
    a = w.open("ADTR", true);
    w.f4(s->adtr);
    w.close(a, true);
    a = w.open("SIDE", true);
    w.u2((uint32_t)s->side);
    w.close(a, true);
    const st_MaterialData *m = &s->material;
    int32_t rclip = _clipFor(o, aClips, m->rclip, m->rimg);
    if (rclip >= 0) {
        a = w.open("RIMG", true);
        w.vx((uint32_t)rclip);
        w.close(a, true);
    }
    static const char *const chanIds[] = {"COLR", "DIFF", "LUMI", "SPEC", "REFL", "TRAN", "BUMP", "TRNL"};
    for (const st_TextureLayer *t = m->tlayrs; t; t = t->next) {
        size_t blok = w.open("BLOK", true);
        size_t imap = w.open("IMAP", true);
        w.s0("\x80");
        const char *chan = "COLR";
        for (int k = 0; k < 8; ++k) {
            if (t->chan == (1 << k)) chan = chanIds[k];
        }
        size_t x = w.open("CHAN", true);
        w.id4(chan);
        w.close(x, true);
        x = w.open("ENAB", true);
        w.u2((t->flags & OBJ2_TXL_ENABLED) ? 1 : 0);
        w.close(x, true);
        x = w.open("OPAC", true);
        w.u2((uint32_t)t->blend_mode);
        w.f4(t->opac);
        w.vx(0);
        w.close(x, true);
        x = w.open("NEGA", true);
        w.u2((uint32_t)t->nega);
        w.close(x, true);
        w.close(imap, true);
        size_t tmap = w.open("TMAP", true);
        const struct {
            const char *id;
            const float *v;
        } vecs[] = {{"CNTR", t->cntr}, {"SIZE", t->size}, {"ROTA", t->rota}};
        for (const auto &v : vecs) {
            x = w.open(v.id, true);
            for (int k = 0; k < 3; ++k) w.f4(v.v[k]);
            w.vx(0);
            w.close(x, true);
        }
        w.close(tmap, true);
        x = w.open("PROJ", true);
        w.u2((uint32_t)t->proj);
        w.close(x, true);
        x = w.open("AXIS", true);
        w.u2((uint32_t)t->axis);
        w.close(x, true);
        int32_t clip = _clipFor(o, aClips, t->clip, t->timg);
        if (clip >= 0) {
            x = w.open("IMAG", true);
            w.vx((uint32_t)clip);
            w.close(x, true);
        }
        x = w.open("WRAP", true);
        w.u2((uint32_t)t->wrap_w);
        w.u2((uint32_t)t->wrap_h);
        w.close(x, true);
        x = w.open("WRPW", true);
        w.f4(t->wrpw);
        w.vx(0);
        w.close(x, true);
        x = w.open("WRPH", true);
        w.f4(t->wrph);
        w.vx(0);
        w.close(x, true);
        if (t->flags & OBJ2_TXL_UVMAP) {
            x = w.open("VMAP", true);
            w.s0(t->txuv);
            w.close(x, true);
        }
        w.close(blok, true);
    }
    w.close(at, false);
}

// One run of polygons as a POLS chunk with its surface tags; aFirstP gets the number the run's
// first polygon has in the file's chunk.
int32_t _writePols(st_OBJ2 *o, _writer &w, const st_LayerData *l, const std::vector<int32_t> &aPols, const char *aType)
{
    if (aPols.empty()) return 0;
    size_t at = w.open("POLS", false);
    w.id4(aType);
    for (int32_t i : aPols) {
        const st_PolygonData *p = &l->polygons[i];
        if (p->numPnts < 1 || p->numPnts >= 1023) return _fail(o, OBJ_BAD_POLYGON);
        w.u2((uint32_t)p->numPnts | ((uint32_t)(p->flags_l & 0x3F) << 10));
        for (int32_t k = 0; k < p->numPnts; ++k) {
            if (p->points[k] < 0 || p->points[k] >= l->numPnts) return _fail(o, OBJ_BAD_NPOINT);
            w.vx((uint32_t)p->points[k]);
        }
    }
    w.close(at, false);
    at = w.open("PTAG", false);
    w.id4("SURF");
    // Polygons without a surface stay untagged and read back on the default one.
    for (size_t n = 0; n < aPols.size(); ++n) {
        int32_t s = l->polygons[aPols[n]].surf_no;
        if (s < 0 || s >= o->numSurfs) continue;
        w.vx((uint32_t)n);
        w.u2((uint32_t)s);
    }
    w.close(at, false);
    return 0;
}

int32_t _writeLayer(st_OBJ2 *o, _writer &w, st_LayerData *l)
{
    size_t at = w.open("LAYR", false);
    w.u2((uint32_t)l->layer_no);
    w.u2(l->flags);
    for (int k = 0; k < 3; ++k) w.f4((float)l->pivot[k]);
    w.s0(l->name);
    if (l->parent_no >= 0) w.u2((uint32_t)l->parent_no);
    w.close(at, false);
    if (l->numPnts > 0x00FFFFFF || l->numPols > 0x00FFFFFF) return _fail(o, OBJ_DB_ERROR);
    at = w.open("PNTS", false);
    double box[6] = {0, 0, 0, 0, 0, 0};
    for (int32_t i = 0; i < l->numPnts; ++i) {
        for (int k = 0; k < 3; ++k) {
            double v = l->points[i].position[k];
            w.f4((float)v);
            if (i == 0 || v < box[k]) box[k] = v;
            if (i == 0 || v > box[k + 3]) box[k + 3] = v;
        }
    }
    w.close(at, false);
    at = w.open("BBOX", false);
    for (double v : box) w.f4((float)v);
    w.close(at, false);
    // Polygons that are not faces go first under their own kind, faces last, so that
    // per-polygon maps name the faces' chunk.
    std::vector<int32_t> hidden, faces;
    for (int32_t i = 0; i < l->numPols; ++i) (l->polygons[i].flags & OBJ2_POLY_HIDDEN ? hidden : faces).push_back(i);
    bool faceKind = std::memcmp(l->poltype, "FACE", 4) == 0 || std::memcmp(l->poltype, "PTCH", 4) == 0;
    if (_writePols(o, w, l, hidden, faceKind ? "CURV" : l->poltype) < 0) return -1;
    if (_writePols(o, w, l, faces, faceKind ? l->poltype : "FACE") < 0) return -1;
    std::vector<int32_t> faceNo((size_t)l->numPols, -1);
    for (size_t n = 0; n < faces.size(); ++n) faceNo[(size_t)faces[n]] = (int32_t)n;
    for (int32_t m = 0; m < l->numVMaps; ++m) {
        const st_VMapData *v = &l->vmaps[m];
        at = w.open(v->perPoly ? "VMAD" : "VMAP", false);
        w.id4(v->type);
        w.u2((uint32_t)v->dim);
        w.s0(v->name);
        for (int32_t i = 0; i < v->count; ++i) {
            if (v->pnts[i] < 0 || v->pnts[i] >= l->numPnts) return _fail(o, OBJ_BAD_NPOINT);
            if (v->perPoly && (v->pols[i] < 0 || v->pols[i] >= l->numPols || faceNo[(size_t)v->pols[i]] < 0)) continue;
            w.vx((uint32_t)v->pnts[i]);
            if (v->perPoly) w.vx((uint32_t)faceNo[(size_t)v->pols[i]]);
            for (int32_t k = 0; k < v->dim; ++k) w.f4(v->values[(size_t)i * v->dim + k]);
        }
        w.close(at, false);
    }
    return 0;
}

int32_t _saveObj(st_OBJ2 *o, const char *aPath, int32_t aType)
{
    if (!aPath || aType != LWO2_FILE) return _fail(o, OBJ_PARM_ERROR);
    if (!o->layerList) return _fail(o, OBJ_DB_ERROR);
    _writer w;
    w.id4("FORM");
    w.u4(0);
    w.id4("LWO2");
    // Surfaces are the tags the polygons name, in surface order.
    size_t at = w.open("TAGS", false);
    for (int32_t i = 0; i < o->numSurfs; ++i) w.s0(o->surfaces[i]->name);
    w.close(at, false);
    st_LayerData *keep = o->layer;
    int32_t rc = 0;
    for (st_LayerData *l = o->layerList; l && rc == 0; l = l->nextLayer) rc = _writeLayer(o, w, l);
    o->layer = keep;
    if (rc < 0) return -1;
    std::vector<_clipOut> clips;
    _writer surfs;
    for (int32_t i = 0; i < o->numSurfs; ++i) _writeSurf(o, surfs, o->surfaces[i], clips);
    if (surfs.tooLong) return _fail(o, OBJ_DB_ERROR);
    for (int32_t i = 0; i < o->numClips; ++i) {
        at = w.open("CLIP", false);
        w.u4((uint32_t)o->clips[i].index);
        size_t s = w.open("STIL", true);
        w.s0(o->clips[i].name);
        w.close(s, true);
        w.close(at, false);
    }
    for (const auto &c : clips) {
        at = w.open("CLIP", false);
        w.u4((uint32_t)c.index);
        size_t s = w.open("STIL", true);
        w.s0(c.name.c_str());
        w.close(s, true);
        w.close(at, false);
    }
    for (int32_t i = 0; i < o->numEnvs; ++i) {
        const st_EnvelopeData *e = &o->envelopes[i];
        at = w.open("ENVL", false);
        w.vx((uint32_t)e->index);
        size_t s = w.open("TYPE", true);
        w.u2((uint32_t)e->type);
        w.close(s, true);
        for (int32_t k = 0; k < e->numKeys; ++k) {
            s = w.open("KEY ", true);
            w.f4(e->keys[k * 2]);
            w.f4(e->keys[k * 2 + 1]);
            w.close(s, true);
        }
        w.close(at, false);
    }
    w.b.insert(w.b.end(), surfs.b.begin(), surfs.b.end());
    uint32_t form = (uint32_t)(w.b.size() - 8);
    for (int i = 0; i < 4; ++i) w.b[4 + i] = (uint8_t)(form >> (24 - 8 * i));
    FILE *f = std::fopen(aPath, "wb");
    if (!f) {
        _objCopyName(o->errfile, aPath, sizeof(o->errfile));
        return _fail(o, OBJ_OPEN_ERROR);
    }
    bool ok = std::fwrite(w.b.data(), 1, w.b.size(), f) == w.b.size();
    int full = ok ? 0 : errno == ENOSPC;
    if (std::fclose(f) != 0 && ok) {
        ok = false;
        full = errno == ENOSPC;
    }
    if (!ok) {
        _objCopyName(o->errfile, aPath, sizeof(o->errfile));
        return _fail(o, full ? OBJ_DISK_FULL : OBJ_WRITE_ERROR);
    }
    return 0;
}

// An instance shares the handle's lists of layers, tags, surfaces, clips and envelopes by
// copy of their pointers and counts, so it must not grow or clear them.
st_LayerData *_sharedNewLayer(st_OBJ2 *o, int32_t) { return o->error = OBJ_DB_ERROR, nullptr; }
void _sharedClear(st_OBJ2 *o) { o->error = OBJ_DB_ERROR; }
int32_t _sharedAddTag(st_OBJ2 *o, const char *) { return _fail(o, OBJ_DB_ERROR); }
st_SurfaceData *_sharedNewSurf(st_OBJ2 *o, const char *) { return o->error = OBJ_DB_ERROR, nullptr; }
st_ClipData *_sharedNewClip(st_OBJ2 *o, int32_t, const char *) { return o->error = OBJ_DB_ERROR, nullptr; }
st_EnvelopeData *_sharedNewEnvelope(st_OBJ2 *o, int32_t, int32_t) { return o->error = OBJ_DB_ERROR, nullptr; }
int32_t _sharedLoad(st_OBJ2 *o, const char *, int32_t, const st_OBJ2_option *) { return _fail(o, OBJ_DB_ERROR); }

st_OBJ2 *_instObj(st_OBJ2 *o)
{
    st_OBJ2 *n = (st_OBJ2 *)std::calloc(1, sizeof(st_OBJ2));
    if (!n) {
        o->error = OBJ_MEM_ERROR;
        return nullptr;
    }
    *n = *o;
    n->flags |= 1;
    n->error = OBJ_NO_ERROR;
    n->layer = o->layerList;
    n->newLayer = _sharedNewLayer;
    n->clearLayers = n->clearTags = n->clearSurfs = n->clearClips = n->clearEnvls = _sharedClear;
    n->addTag = _sharedAddTag;
    n->newSurf = _sharedNewSurf;
    n->newClip = _sharedNewClip;
    n->newEnvelope = _sharedNewEnvelope;
    n->loadObj = _sharedLoad;
    return n;
}

void _info(st_OBJ2 *o, FILE *aOut)
{
    if (!aOut) return;
    long pnts = 0, pols = 0;
    for (st_LayerData *l = o->layerList; l; l = l->nextLayer) {
        pnts += l->numPnts;
        pols += l->numPols;
    }
    std::fprintf(aOut, "name %s\n", o->name);
    std::fprintf(aOut, "format %s\n", o->type == LWO2_FILE ? "LWO2" : (o->type == LWOB_FILE ? "LWOB" : "unknown"));
    std::fprintf(aOut, "layers %d\npoints %ld\npolygons %ld\n", (int)o->numLayers, pnts, pols);
    std::fprintf(aOut, "surfaces %d\ntags %d\nclips %d\nenvelopes %d\n", (int)o->numSurfs, (int)o->numTags, (int)o->numClips,
                 (int)o->numEnvs);
}

void _dumpObj(st_OBJ2 *o, FILE *aOut)
{
    if (!aOut) return;
    _info(o, aOut);
    for (int32_t i = 0; i < o->numTags; ++i) std::fprintf(aOut, "tag %d %s\n", (int)i, o->tagData[i]);
    for (st_LayerData *l = o->layerList; l; l = l->nextLayer) {
        std::fprintf(aOut, "layer %d no %d parent %d name \"%s\" pivot %g %g %g\n", (int)l->idx, (int)l->layer_no,
                     (int)l->parent_no, l->name, l->pivot[0], l->pivot[1], l->pivot[2]);
        for (int32_t i = 0; i < l->numPnts; ++i) {
            const double *p = l->points[i].position;
            std::fprintf(aOut, " point %d %g %g %g\n", (int)i, p[0], p[1], p[2]);
        }
        for (int32_t i = 0; i < l->numPols; ++i) {
            const st_PolygonData *p = &l->polygons[i];
            std::fprintf(aOut, " polygon %d surface %d", (int)i, (int)p->surf_no);
            for (int32_t k = 0; k < p->numPnts; ++k) std::fprintf(aOut, " %d", (int)p->points[k]);
            std::fprintf(aOut, "\n");
        }
        for (int32_t i = 0; i < l->numVMaps; ++i) {
            const st_VMapData *v = &l->vmaps[i];
            std::fprintf(aOut, " vmap %.4s %d \"%s\" %s entries %d\n", v->type, (int)v->dim, v->name,
                         v->perPoly ? "polygon" : "point", (int)v->count);
        }
        for (int32_t i = 0; i < l->numPTags; ++i) {
            std::fprintf(aOut, " ptag %.4s entries %d\n", l->ptags[i].type, (int)l->ptags[i].count);
        }
    }
    for (int32_t i = 0; i < o->numSurfs; ++i) {
        const st_SurfaceData *s = o->surfaces[i];
        const st_MaterialData *m = &s->material;
        std::fprintf(aOut, "surface %d \"%s\" colour %g %g %g diffuse %g luminous %g specular %g smoothing %g layers %d\n",
                     (int)i, s->name, s->colr[0], s->colr[1], s->colr[2], s->diff, s->lumi, s->spec, s->sman,
                     (int)m->num_layrs);
        for (const st_TextureLayer *t = m->tlayrs; t; t = t->next) {
            std::fprintf(aOut, " texture channel %d projection %d axis %d image \"%s\" uv \"%s\"\n", (int)t->chan,
                         (int)t->proj, (int)t->axis, t->timg, t->txuv);
        }
    }
    for (int32_t i = 0; i < o->numClips; ++i) std::fprintf(aOut, "clip %d \"%s\"\n", (int)o->clips[i].index, o->clips[i].name);
    for (int32_t i = 0; i < o->numEnvs; ++i) {
        std::fprintf(aOut, "envelope %d type %d keys %d\n", (int)o->envelopes[i].index, (int)o->envelopes[i].type,
                     (int)o->envelopes[i].numKeys);
    }
}

} // namespace

void _objSaveOps(st_OBJ2 *o)
{
    o->saveObj = _saveObj;
    o->instObj = _instObj;
    o->dumpObj = _dumpObj;
    o->info = _info;
}
