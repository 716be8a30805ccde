// Surfaces and their materials and texture layers, and the clips and envelopes they draw on.

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "LW/OBJ2/OBJ2Int.h"

// ---- surfaces and materials

static int32_t _surfCount(st_OBJ2 *o) { return o->numSurfs; }

// LightWave's default surface: light grey, fully diffuse.
static void _surfDefaults(st_SurfaceData *s)
{
    s->colr[0] = s->colr[1] = s->colr[2] = 200.0f / 255.0f;
    s->diff = 1.0f;
    s->glos = 0.4f;
    s->side = 1;
    s->material.rclip = -1;
}

static st_SurfaceData *_newSurf(st_OBJ2 *o, const char *aName)
{
    if (_objGrow(o, (void **)&o->surfaces, &o->maxSurfs, o->numSurfs + 1, sizeof(st_SurfaceData *)) < 0) return nullptr;
    st_SurfaceData *s = (st_SurfaceData *)o->mem->alloc(o->mem, sizeof(st_SurfaceData));
    if (!s) {
        o->error = OBJ_MEM_ERROR;
        return nullptr;
    }
    _objCopyName(s->name, aName, sizeof(s->name));
    _surfDefaults(s);
    o->surfaces[o->numSurfs++] = s;
    return s;
}

st_SurfaceData *_objGetSurf(st_OBJ2 *o, int32_t aIdx)
{
    return (aIdx >= 0 && aIdx < o->numSurfs) ? o->surfaces[aIdx] : nullptr;
}

static int32_t _findSurf(st_OBJ2 *o, const char *aName)
{
    for (int32_t i = 0; i < o->numSurfs; ++i) {
        if (std::strcmp(o->surfaces[i]->name, aName) == 0) return i;
    }
    return -1;
}

void _objClearSurfs(st_OBJ2 *o)
{
    for (int32_t i = 0; i < o->numSurfs; ++i) {
        st_TextureLayer *t = o->surfaces[i]->material.tlayrs;
        while (t) {
            st_TextureLayer *n = t->next;
            o->mem->free(o->mem, t);
            t = n;
        }
        o->mem->free(o->mem, o->surfaces[i]);
    }
    o->mem->free(o->mem, o->surfaces);
    o->surfaces = nullptr;
    o->numSurfs = o->maxSurfs = 0;
}

static st_MaterialData *_getMaterial(st_OBJ2 *o, int32_t aIdx)
{
    st_SurfaceData *s = _objGetSurf(o, aIdx);
    return s ? &s->material : nullptr;
}

static int32_t _mtlLayCount(st_OBJ2 *o, int32_t aIdx)
{
    st_MaterialData *m = _getMaterial(o, aIdx);
    return m ? m->num_layrs : 0;
}

static st_TextureLayer *_getTexture(st_OBJ2 *o, int32_t aSurf, int32_t aLayr)
{
    st_MaterialData *m = _getMaterial(o, aSurf);
    st_TextureLayer *t = m ? m->tlayrs : nullptr;
    for (int32_t i = 0; t && i < aLayr; ++i) t = t->next;
    return t;
}

st_TextureLayer *_objNewTexture(st_OBJ2 *o, st_SurfaceData *s)
{
    st_TextureLayer *t = (st_TextureLayer *)o->mem->alloc(o->mem, sizeof(st_TextureLayer));
    if (!t) {
        o->error = OBJ_MEM_ERROR;
        return nullptr;
    }
    t->opac = 1.0f;
    t->size[0] = t->size[1] = t->size[2] = 1.0f;
    t->wrpw = t->wrph = 1.0f;
    t->wrap_w = t->wrap_h = 1;
    t->clip = -1;
    t->axis = 2;
    std::strcpy(t->timg, "(none)");
    std::strcpy(t->talp, "(none)");
    std::strcpy(t->tref, "(none)");
    for (int k = 0; k < 4; ++k) t->tmat[k][k] = 1.0;
    st_TextureLayer **tail = &s->material.tlayrs;
    while (*tail) tail = &(*tail)->next;
    *tail = t;
    t->layr = s->material.num_layrs++;
    return t;
}

// The material the renderer uses, from a surface's raw values.
void _objMakeMaterial(st_OBJ2 *o, st_SurfaceData *s)
{
    st_MaterialData *m = &s->material;
    _objCopyName(m->surf, s->name, sizeof(m->surf));
    for (int k = 0; k < 3; ++k) {
        m->colr[k] = s->colr[k];
        m->diff[k] = s->colr[k] * s->diff;
        m->spec[k] = s->spec;
        m->emis[k] = s->colr[k] * s->lumi;
    }
    m->colr[3] = m->spec[3] = m->emis[3] = 1.0f;
    m->diff[3] = 1.0f - s->tran;
    // Glossiness 0..1 as a specular power of 4..4096.
    m->shin[0] = m->shin[1] = m->shin[2] = (float)std::pow(2.0, 10.0 * s->glos + 2.0);
    m->shin[3] = 1.0f;
    m->refl = s->refl;
    m->tran = s->tran;
    m->sman = s->sman;
    m->flags = 0;
    if (s->sman > 0.0f) m->flags |= OBJ2_MTL_SMOOTH;
    if (s->side & 2) m->flags |= OBJ2_MTL_DOUBLE;
    if (s->adtr > 0.0f) m->flags |= OBJ2_MTL_ADDITIVE;
    if (m->rclip >= 0 || (m->rimg[0] && std::strcmp(m->rimg, "(none)") != 0)) {
        if (m->rclip >= 0) {
            const st_ClipData *c = o->getClip(o, m->rclip);
            if (c) _objCopyName(m->rimg, c->name, sizeof(m->rimg));
        }
        if (m->rimg[0] && std::strcmp(m->rimg, "(none)") != 0) m->flags |= OBJ2_MTL_ENVMAP;
    }
    m->clayr = nullptr;
    for (st_TextureLayer *t = m->tlayrs; t; t = t->next) {
        if (t->clip >= 0) {
            const st_ClipData *c = o->getClip(o, t->clip);
            if (c) _objCopyName(t->timg, c->name, sizeof(t->timg));
        }
        if (!m->clayr && t->chan == OBJ2_CHAN_COLR) m->clayr = t;
    }
}

static st_SurfaceData *_surfNext(st_OBJ2 *o, st_SurfaceData *aSurfP)
{
    if (!aSurfP) return o->numSurfs ? o->surfaces[0] : nullptr;
    for (int32_t i = 0; i + 1 < o->numSurfs; ++i) {
        if (o->surfaces[i] == aSurfP) return o->surfaces[i + 1];
    }
    return nullptr;
}

static const char *_surfInfo(st_OBJ2 *o, int32_t aIdx, int32_t *aPolsP, int32_t *aLayrsP)
{
    st_SurfaceData *s = _objGetSurf(o, aIdx);
    if (!s) {
        o->error = OBJ_PARM_ERROR;
        return nullptr;
    }
    if (aPolsP) {
        *aPolsP = 0;
        for (int32_t i = 0; o->layer && i < o->layer->numPols; ++i) *aPolsP += o->layer->polygons[i].surf_no == aIdx;
    }
    if (aLayrsP) *aLayrsP = s->material.num_layrs;
    return s->name;
}

static int32_t _setSurf(st_OBJ2 *o, int32_t aPol, int32_t aSurf)
{
    st_PolygonData *p = _objPolyInfo(o, aPol);
    if (!p || aSurf < 0 || aSurf >= o->numSurfs) return _objParmError(o);
    p->surf_no = aSurf;
    p->surface = o->surfaces[aSurf]->name;
    return 0;
}

// Scale, then bank (z), pitch (x), heading (y), then the move to the centre: a point on the
// object is (x, y, z, 1) times the matrix. Sizes of 0 stand for 1, as in the projection.
static int32_t _setTMatrix(st_OBJ2 *o, int32_t aSurf, int32_t aLayr)
{
    st_TextureLayer *t = _getTexture(o, aSurf, aLayr);
    if (!t || aLayr < 0) return _objParmError(o);
    double ch = std::cos(t->rota[0]), sh = std::sin(t->rota[0]);
    double cp = std::cos(t->rota[1]), sp = std::sin(t->rota[1]);
    double cb = std::cos(t->rota[2]), sb = std::sin(t->rota[2]);
    double rz[3][3] = {{cb, sb, 0}, {-sb, cb, 0}, {0, 0, 1}};
    double rx[3][3] = {{1, 0, 0}, {0, cp, sp}, {0, -sp, cp}};
    double ry[3][3] = {{ch, 0, -sh}, {0, 1, 0}, {sh, 0, ch}};
    double a[3][3], r[3][3];
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            a[i][j] = 0;
            for (int k = 0; k < 3; ++k) a[i][j] += rz[i][k] * rx[k][j];
        }
    }
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            r[i][j] = 0;
            for (int k = 0; k < 3; ++k) r[i][j] += a[i][k] * ry[k][j];
        }
    }
    std::memset(t->tmat, 0, sizeof(t->tmat));
    for (int i = 0; i < 3; ++i) {
        double sz = t->size[i] != 0.0f ? t->size[i] : 1.0;
        for (int j = 0; j < 3; ++j) t->tmat[i][j] = sz * r[i][j];
        t->tmat[3][i] = t->cntr[i];
    }
    t->tmat[3][3] = 1.0;
    return 0;
}

static int32_t _renameSurf(st_OBJ2 *o, int32_t aIdx, const char *aName)
{
    st_SurfaceData *s = _objGetSurf(o, aIdx);
    if (!s || !aName || !aName[0] || strnlen(aName, OBJ2_NAME_SIZE) >= OBJ2_NAME_SIZE) return _objParmError(o);
    int32_t other = _findSurf(o, aName);
    if (other >= 0 && other != aIdx) return _objParmError(o);  // names key the polygons' surfaces
    // Polygons point at the surface's own name, so they follow.
    _objCopyName(s->name, aName, sizeof(s->name));
    _objCopyName(s->material.surf, aName, sizeof(s->material.surf));
    return 0;
}

static st_MaterialData *_newMaterial(st_OBJ2 *o, int32_t aIdx)
{
    st_SurfaceData *s = _objGetSurf(o, aIdx);
    if (!s) {
        o->error = OBJ_PARM_ERROR;
        return nullptr;
    }
    _objMakeMaterial(o, s);
    return &s->material;
}

static void _freeTextures(st_OBJ2 *o, st_TextureLayer *t)
{
    while (t) {
        st_TextureLayer *n = t->next;
        o->mem->free(o->mem, t);
        t = n;
    }
}

static int32_t _clrMaterial(st_OBJ2 *o, int32_t aIdx)
{
    st_SurfaceData *s = _objGetSurf(o, aIdx);
    if (!s) return _objParmError(o);
    _freeTextures(o, s->material.tlayrs);
    char name[OBJ2_NAME_SIZE], source[OBJ2_NAME_SIZE];
    std::memcpy(name, s->name, sizeof(name));
    std::memcpy(source, s->source, sizeof(source));
    std::memset(s, 0, sizeof(*s));
    std::memcpy(s->name, name, sizeof(name));
    std::memcpy(s->source, source, sizeof(source));
    _surfDefaults(s);
    _objMakeMaterial(o, s);
    return 0;
}

static st_TextureLayer *_newTexture(st_OBJ2 *o, int32_t aSurf)
{
    st_SurfaceData *s = _objGetSurf(o, aSurf);
    if (!s) {
        o->error = OBJ_PARM_ERROR;
        return nullptr;
    }
    return _objNewTexture(o, s);
}

static int32_t _setTxtLayrs(st_OBJ2 *o, int32_t aSurf, int32_t aNum)
{
    st_SurfaceData *s = _objGetSurf(o, aSurf);
    if (!s || aNum < 0 || aNum > 0xFFFF) return _objParmError(o);
    st_MaterialData *m = &s->material;
    if (aNum < m->num_layrs) {
        st_TextureLayer **at = &m->tlayrs;
        for (int32_t i = 0; i < aNum; ++i) at = &(*at)->next;
        _freeTextures(o, *at);
        *at = nullptr;
        m->num_layrs = aNum;
        // The colour layer may have been among those dropped.
        m->clayr = nullptr;
        for (st_TextureLayer *t = m->tlayrs; t && !m->clayr; t = t->next) {
            if (t->chan == OBJ2_CHAN_COLR) m->clayr = t;
        }
    }
    while (m->num_layrs < aNum) {
        if (!_objNewTexture(o, s)) return -1;
    }
    return m->num_layrs;
}

static const st_OBJ2 *_sortObj;

static int _surfOrder(const void *a, const void *b)
{
    int32_t x = *(const int32_t *)a, y = *(const int32_t *)b;
    int c = std::strcmp(_sortObj->surfaces[x]->name, _sortObj->surfaces[y]->name);
    return c ? c : (x < y ? -1 : (x > y ? 1 : 0));
}

static int32_t _sortSurfs(st_OBJ2 *o)
{
    int32_t n = o->numSurfs;
    if (n < 2) return 0;
    int32_t *order = (int32_t *)std::malloc(sizeof(int32_t) * 2 * (size_t)n);
    st_SurfaceData **sorted = (st_SurfaceData **)std::malloc(sizeof(st_SurfaceData *) * (size_t)n);
    if (!order || !sorted) {
        std::free(order);
        std::free(sorted);
        o->error = OBJ_MEM_ERROR;
        return -1;
    }
    int32_t *newOf = order + n;
    for (int32_t i = 0; i < n; ++i) order[i] = i;
    _sortObj = o;
    std::qsort(order, (size_t)n, sizeof(int32_t), _surfOrder);
    for (int32_t i = 0; i < n; ++i) {
        sorted[i] = o->surfaces[order[i]];
        newOf[order[i]] = i;
    }
    std::memcpy(o->surfaces, sorted, sizeof(st_SurfaceData *) * (size_t)n);
    auto remap = [&](int32_t v) { return (v >= 0 && v < n) ? newOf[v] : v; };
    for (st_LayerData *l = o->layerList; l; l = l->nextLayer) {
        for (int32_t i = 0; i < l->numPols; ++i) l->polygons[i].surf_no = remap(l->polygons[i].surf_no);
        for (int32_t i = 0; i < l->numMesh; ++i) l->meshes[i].surf_no = remap(l->meshes[i].surf_no);
        for (int32_t i = 0; i < l->numMaps; ++i) l->maps[i].surface = remap(l->maps[i].surface);
    }
    std::free(order);
    std::free(sorted);
    return 0;
}

// ---- clips and envelopes

static int32_t _clipCount(st_OBJ2 *o) { return o->numClips; }

static st_ClipData *_getClip(st_OBJ2 *o, int32_t aIndex)
{
    for (int32_t i = 0; i < o->numClips; ++i) {
        if (o->clips[i].index == aIndex) return &o->clips[i];
    }
    return nullptr;
}

void _objClearClips(st_OBJ2 *o)
{
    o->mem->free(o->mem, o->clips);
    o->clips = nullptr;
    o->numClips = o->maxClips = 0;
}

static int32_t _envlCount(st_OBJ2 *o) { return o->numEnvs; }

static st_EnvelopeData *_getEnvelope(st_OBJ2 *o, int32_t aIndex)
{
    for (int32_t i = 0; i < o->numEnvs; ++i) {
        if (o->envelopes[i].index == aIndex) return &o->envelopes[i];
    }
    return nullptr;
}

void _objClearEnvls(st_OBJ2 *o)
{
    for (int32_t i = 0; i < o->numEnvs; ++i) o->mem->free(o->mem, o->envelopes[i].keys);
    o->mem->free(o->mem, o->envelopes);
    o->envelopes = nullptr;
    o->numEnvs = o->maxEnvs = 0;
}

static int32_t _newClipIndex(st_OBJ2 *o)
{
    int32_t top = 0;
    for (int32_t i = 0; i < o->numClips; ++i) {
        if (o->clips[i].index > top) top = o->clips[i].index;
    }
    return top + 1;
}

static st_ClipData *_newClip(st_OBJ2 *o, int32_t aIndex, const char *aName)
{
    if (aIndex <= 0 || _getClip(o, aIndex)) {
        o->error = OBJ_PARM_ERROR;
        return nullptr;
    }
    if (_objGrow(o, (void **)&o->clips, &o->maxClips, o->numClips + 1, sizeof(st_ClipData)) < 0) return nullptr;
    st_ClipData *c = &o->clips[o->numClips++];
    std::memset(c, 0, sizeof(*c));
    c->index = aIndex;
    _objCopyName(c->name, aName, sizeof(c->name));
    return c;
}

static int32_t _setClip(st_OBJ2 *o, int32_t aSurf, int32_t aLayr, int32_t aIndex)
{
    st_TextureLayer *t = aLayr >= 0 ? _getTexture(o, aSurf, aLayr) : nullptr;
    const st_ClipData *c = _getClip(o, aIndex);
    if (!t || !c) return _objParmError(o);
    t->clip = aIndex;
    _objCopyName(t->timg, c->name, sizeof(t->timg));
    return 0;
}

static int32_t _getClipNo(st_OBJ2 *o, int32_t aIndex)
{
    for (int32_t i = 0; i < o->numClips; ++i) {
        if (o->clips[i].index == aIndex) return i;
    }
    return -1;
}

static int32_t _getClipIndex(st_OBJ2 *o, int32_t aNo)
{
    return (aNo >= 0 && aNo < o->numClips) ? o->clips[aNo].index : -1;
}

// Texture layers and reflection images drawn from the clip take its new name as well.
static int32_t _setClipName(st_OBJ2 *o, int32_t aIndex, const char *aName)
{
    st_ClipData *c = _getClip(o, aIndex);
    if (!c || !aName) return _objParmError(o);
    _objCopyName(c->name, aName, sizeof(c->name));
    for (int32_t i = 0; i < o->numSurfs; ++i) {
        st_MaterialData *m = &o->surfaces[i]->material;
        if (m->rclip == aIndex) _objCopyName(m->rimg, c->name, sizeof(m->rimg));
        for (st_TextureLayer *t = m->tlayrs; t; t = t->next) {
            if (t->clip == aIndex) _objCopyName(t->timg, c->name, sizeof(t->timg));
        }
    }
    return 0;
}

static st_EnvelopeData *_newEnvelope(st_OBJ2 *o, int32_t aIndex, int32_t aType)
{
    if (aIndex <= 0 || _getEnvelope(o, aIndex)) {
        o->error = OBJ_PARM_ERROR;
        return nullptr;
    }
    if (_objGrow(o, (void **)&o->envelopes, &o->maxEnvs, o->numEnvs + 1, sizeof(st_EnvelopeData)) < 0) return nullptr;
    st_EnvelopeData *e = &o->envelopes[o->numEnvs++];
    std::memset(e, 0, sizeof(*e));
    e->index = aIndex;
    e->type = aType;
    return e;
}

static int32_t _setEnvelope(st_OBJ2 *o, int32_t aIndex, int32_t aNumKeys, const float *aKeys)
{
    st_EnvelopeData *e = _getEnvelope(o, aIndex);
    if (!e || aNumKeys < 0 || aNumKeys > 0x100000 || (aNumKeys && !aKeys)) return _objParmError(o);
    for (int32_t i = 0; i < aNumKeys; ++i) {
        if (!std::isfinite(aKeys[i * 2]) || !std::isfinite(aKeys[i * 2 + 1])) return _objParmError(o);
        if (i && !(aKeys[i * 2] > aKeys[i * 2 - 2])) return _objParmError(o);
    }
    float *keys = nullptr;
    if (aNumKeys) {
        keys = (float *)o->mem->alloc(o->mem, sizeof(float) * 2 * (uint32_t)aNumKeys);
        if (!keys) {
            o->error = OBJ_MEM_ERROR;
            return -1;
        }
        std::memcpy(keys, aKeys, sizeof(float) * 2 * (size_t)aNumKeys);
    }
    o->mem->free(o->mem, e->keys);
    e->keys = keys;
    e->numKeys = aNumKeys;
    return 0;
}

// This file's entries in the operation table.
void _objSurfOps(st_OBJ2 *o)
{
    o->surfCount = _surfCount;
    o->newSurf = _newSurf;
    o->getSurf = _objGetSurf;
    o->findSurf = _findSurf;
    o->clearSurfs = _objClearSurfs;
    o->getMaterial = _getMaterial;
    o->mtlLayCount = _mtlLayCount;
    o->getTexture = _getTexture;
    o->clipCount = _clipCount;
    o->getClip = _getClip;
    o->clearClips = _objClearClips;
    o->envlCount = _envlCount;
    o->getEnvelope = _getEnvelope;
    o->clearEnvls = _objClearEnvls;
    o->sortSurfs = _sortSurfs;
    o->surfNext = _surfNext;
    o->surfInfo = _surfInfo;
    o->setSurf = _setSurf;
    o->setTMatrix = _setTMatrix;
    o->renameSurf = _renameSurf;
    o->newMaterial = _newMaterial;
    o->clrMaterial = _clrMaterial;
    o->newTexture = _newTexture;
    o->setTxtLayrs = _setTxtLayrs;
    o->newClipIndex = _newClipIndex;
    o->newClip = _newClip;
    o->setClip = _setClip;
    o->getClipNo = _getClipNo;
    o->setClipName = _setClipName;
    o->getClipIndex = _getClipIndex;
    o->newEnvelope = _newEnvelope;
    o->setEnvelope = _setEnvelope;
}
