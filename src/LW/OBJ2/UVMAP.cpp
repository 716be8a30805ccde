// UV maps: each polygon's maps per texture channel and layer, built by projection or from
// TXUV vertex maps, or read from a UVIEW text file.

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "LW/OBJ2/OBJ2Int.h"

static int32_t _mapCount(st_OBJ2 *o) { return o->layer ? o->layer->numMaps : 0; }

static int32_t _addUVmap(st_OBJ2 *o, double aU, double aV, int32_t aPnt, int32_t aSurf)
{
    st_LayerData *l = o->layer;
    if (!l) return -1;
    if (_objGrow(o, (void **)&l->maps, &l->maxMaps, l->numMaps + 1, sizeof(st_MapData)) < 0) return -1;
    st_MapData *m = &l->maps[l->numMaps];
    std::memset(m, 0, sizeof(*m));
    m->u = aU;
    m->v = aV;
    m->pnt = aPnt;
    m->surface = aSurf;
    return l->numMaps++;
}

static st_MapData *_mapInfo(st_OBJ2 *o, int32_t aIdx)
{
    st_LayerData *l = o->layer;
    return (l && aIdx >= 0 && aIdx < l->numMaps) ? &l->maps[aIdx] : nullptr;
}

static void _clearUVmap(st_OBJ2 *o)
{
    st_LayerData *l = o->layer;
    if (!l) return;
    l->numMaps = 0;
    for (int32_t i = 0; i < l->numPols; ++i) l->polygons[i].polms = nullptr;
}

static st_PolygonMap *_getPolymap(st_OBJ2 *o, int32_t aPol, int32_t aChan, int32_t aLayr)
{
    st_PolygonData *p = _objPolyInfo(o, aPol);
    if (!p) return nullptr;
    for (st_PolygonMap *m = p->polms; m; m = m->next) {
        if (m->chan == aChan && m->layr == aLayr) return m;
    }
    return nullptr;
}

static st_PolygonMap *_addPolymap(st_OBJ2 *o, int32_t aPol, int32_t aChan, int32_t aLayr)
{
    st_PolygonData *p = _objPolyInfo(o, aPol);
    if (!p) {
        o->error = OBJ_PARM_ERROR;
        return nullptr;
    }
    st_PolygonMap *m = _getPolymap(o, aPol, aChan, aLayr);
    if (m) return m;
    m = (st_PolygonMap *)st_MemconPool(o->mem, sizeof(st_PolygonMap) + sizeof(int32_t) * p->numPnts);
    if (!m) {
        o->error = OBJ_MEM_ERROR;
        return nullptr;
    }
    m->chan = aChan;
    m->layr = aLayr;
    m->maps = (int32_t *)(m + 1);
    for (int32_t i = 0; i < p->numPnts; ++i) m->maps[i] = -1;
    m->next = p->polms;
    p->polms = m;
    return m;
}

// Projection of one point by a texture layer: planar, cylindrical, spherical and cubic around the
// layer's centre, scaled by its size and repeated by its wrap counts.
static void _project(const st_TextureLayer *t, const double aPos[3], const double aFace[3], double *aU, double *aV)
{
    double p[3];
    for (int k = 0; k < 3; ++k) {
        double s = t->size[k] != 0.0f ? t->size[k] : 1.0;
        p[k] = (aPos[k] - t->cntr[k]) / s;
    }
    int axis = t->axis;
    int proj = t->proj;
    if (proj == OBJ2_PROJ_CUBIC) {
        double ax = std::fabs(aFace[0]), ay = std::fabs(aFace[1]), az = std::fabs(aFace[2]);
        axis = (ax >= ay && ax >= az) ? 0 : (ay >= az ? 1 : 2);
        if (!_objFinite3(aFace)) axis = 2;
        proj = OBJ2_PROJ_PLANAR;
    }
    // (a, b) span the plane across the axis, h runs along it.
    double a, b, h;
    if (axis == 0) {
        a = p[2]; b = p[1]; h = p[0];
    } else if (axis == 1) {
        a = p[0]; b = p[2]; h = p[1];
    } else {
        a = p[0]; b = p[1]; h = p[2];
    }
    double wu = t->wrpw > 0.0f ? t->wrpw : 1.0, wv = t->wrph > 0.0f ? t->wrph : 1.0;
    const double pi = 3.14159265358979323846;
    if (proj == OBJ2_PROJ_CYLINDRICAL) {
        *aU = (std::atan2(a, -b) / (2 * pi) + 0.5) * wu;
        *aV = h + 0.5;
    } else if (proj == OBJ2_PROJ_SPHERICAL) {
        double r = std::sqrt(a * a + b * b);
        *aU = (std::atan2(a, -b) / (2 * pi) + 0.5) * wu;
        *aV = (std::atan2(h, r) / pi + 0.5) * wv;
    } else {
        *aU = a + 0.5;
        *aV = 0.5 - b;
    }
}

static const st_VMapData *_findUVMap(st_OBJ2 *o, const char *aName, int32_t aPerPoly)
{
    st_LayerData *l = o->layer;
    for (int32_t i = 0; i < l->numVMaps; ++i) {
        const st_VMapData *v = &l->vmaps[i];
        if (v->perPoly == aPerPoly && std::memcmp(v->type, "TXUV", 4) == 0 && v->dim == 2 &&
            (!aName[0] || std::strcmp(v->name, aName) == 0))
            return v;
    }
    return nullptr;
}

static int32_t _buildUVmap(st_OBJ2 *o, uint32_t aChannel, uint32_t aNumLayrs, uint32_t aFlags)
{
    (void)aFlags;
    st_LayerData *l = o->layer;
    if (!l) return -1;
    _clearUVmap(o);
    for (int32_t i = 0; i < l->numPols; ++i) {
        st_PolygonData *p = &l->polygons[i];
        if (p->surf_no < 0 || p->surf_no >= o->numSurfs) continue;
        const st_MaterialData *mt = &o->surfaces[p->surf_no]->material;
        int32_t layr = 0;
        for (const st_TextureLayer *t = mt->tlayrs; t && layr < (int32_t)aNumLayrs; t = t->next, ++layr) {
            if (!(t->chan & (int32_t)aChannel)) continue;
            const st_VMapData *vmap = nullptr, *vmad = nullptr;
            if (t->proj == OBJ2_PROJ_UV) {
                vmad = _findUVMap(o, t->txuv, 1);
                vmap = _findUVMap(o, t->txuv, 0);
                if (!vmap && !vmad) continue;  // the map the layer names is not in this layer
            }
            st_PolygonMap *pm = _addPolymap(o, i, t->chan, layr);
            if (!pm) return -1;
            for (int32_t k = 0; k < p->numPnts; ++k) {
                int32_t pt = p->points[k];
                double u = 0, v = 0;
                if (t->proj == OBJ2_PROJ_UV) {
                    float uv[2] = {0, 0};
                    if (!(vmad && _objGetVMapData(o, vmad, pt, i, uv)) && vmap) _objGetVMapData(o, vmap, pt, -1, uv);
                    u = uv[0];
                    v = uv[1];
                } else {
                    _project(t, l->points[pt].position, p->face, &u, &v);
                }
                if ((pm->maps[k] = _addUVmap(o, u, v, pt, p->surf_no)) < 0) return -1;
            }
        }
        // The polygon's own corner maps are those of its first mapped layer.
        st_PolygonMap *first = p->polms;
        while (first && first->next) first = first->next;
        if (first) {
            for (int32_t k = 0; k < p->numPnts; ++k) p->maps[k] = first->maps[k];
        }
    }
    return 0;
}

static st_PolygonMap *_polUVmap(st_OBJ2 *o, int32_t aPol, int32_t aChan, int32_t aLayr)
{
    return _getPolymap(o, aPol, aChan, aLayr);
}

// Reuses an entry of the same point, surface and coordinates among the most recent ones: the
// corners of neighbouring polygons on one point come close together.
static int32_t _compUVmap(st_OBJ2 *o, double aU, double aV, int32_t aPnt, int32_t aSurf)
{
    st_LayerData *l = o->layer;
    if (!l) return -1;
    for (int32_t i = l->numMaps - 1; i >= 0 && i >= l->numMaps - 16; --i) {
        const st_MapData *m = &l->maps[i];
        if (m->pnt == aPnt && m->surface == aSurf && m->u == aU && m->v == aV) return i;
    }
    return _addUVmap(o, aU, aV, aPnt, aSurf);
}

static int32_t _setUVmap(st_OBJ2 *o, int32_t aIdx, double aU, double aV)
{
    st_MapData *m = _mapInfo(o, aIdx);
    if (!m) return _objParmError(o);
    m->u = aU;
    m->v = aV;
    return 0;
}

static int32_t _makeUVmap(st_OBJ2 *o, const char *aName)
{
    st_LayerData *l = o->layer;
    if (!l) {
        o->error = OBJ_DB_ERROR;
        return -1;
    }
    const char *name = aName ? aName : "";
    const st_VMapData *vmap = _findUVMap(o, name, 0), *vmad = _findUVMap(o, name, 1);
    if (!vmap && !vmad) {
        o->error = OBJ_NO_TXTMAP;
        return -1;
    }
    // A per-polygon map alone still names its map; the point map of the same name goes with it.
    if (!vmap && name[0] == 0) vmap = _findUVMap(o, vmad->name, 0);
    if (!vmad && name[0] == 0) vmad = _findUVMap(o, vmap->name, 1);
    int32_t found = 0;
    for (int32_t i = 0; i < l->numPols; ++i) {
        st_PolygonData *p = &l->polygons[i];
        for (int32_t k = 0; k < p->numPnts; ++k) {
            float uv[2] = {0, 0};
            int32_t pt = p->points[k];
            int hit = (vmad && _objGetVMapData(o, vmad, pt, i, uv)) || (vmap && _objGetVMapData(o, vmap, pt, -1, uv));
            if (!hit) {
                p->maps[k] = -1;
                continue;
            }
            if ((p->maps[k] = _compUVmap(o, uv[0], uv[1], pt, p->surf_no)) < 0) return -1;
            found++;
        }
    }
    return found;
}

// Reads a whole small text file; null with the error set when it cannot.
static char *_readText(st_OBJ2 *o, const char *aPath)
{
    uint8_t *d = nullptr;
    uint32_t n = 0;
    int32_t err = _objReadFile(aPath, &d, &n);
    if (err != OBJ_NO_ERROR) {
        o->error = (uint8_t)err;
        _objCopyName(o->errfile, aPath, sizeof(o->errfile));
        return nullptr;
    }
    char *t = (char *)std::realloc(d, (size_t)n + 1);
    if (!t) {
        std::free(d);
        o->error = OBJ_MEM_ERROR;
        return nullptr;
    }
    t[n] = 0;
    return t;
}

// Numbers from a text: 0 when the next word is not one.
static int _nextLong(const char **aPP, long *aV)
{
    char *end = nullptr;
    long v = std::strtol(*aPP, &end, 10);
    if (end == *aPP) return 0;
    *aPP = end;
    *aV = v;
    return 1;
}

static int _nextDouble(const char **aPP, double *aV)
{
    char *end = nullptr;
    double v = std::strtod(*aPP, &end);
    if (end == *aPP || !std::isfinite(v)) return 0;
    *aPP = end;
    *aV = v;
    return 1;
}

// "<word>" followed by a count no larger than aLimit; -1 when the text is not such a file.
static long _textHeader(const char **aPP, const char *aWord, long aLimit)
{
    const char *p = *aPP;
    while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n') ++p;
    size_t n = std::strlen(aWord);
    if (std::strncmp(p, aWord, n) != 0) return -1;
    p += n;
    long count = 0;
    if (!_nextLong(&p, &count) || count < 0 || count > aLimit) return -1;
    *aPP = p;
    return count;
}

static int32_t _loadUView(st_OBJ2 *o, int32_t aSurf, const char *aPath)
{
    st_LayerData *l = o->layer;
    st_SurfaceData *s = _objGetSurf(o, aSurf);
    if (!l || !s) return _objParmError(o);
    char *text = _readText(o, aPath);
    if (!text) return -1;
    const char *p = text;
    long count = _textHeader(&p, "UVIEW", l->numPnts);
    int32_t *at = nullptr;
    double *uv = nullptr;
    int32_t rc = -1;
    if (count < 0) {
        o->error = OBJ_BAD_FILE;
        goto done;
    }
    // Each point's entry, or -1.
    at = (int32_t *)std::malloc(sizeof(int32_t) * (l->numPnts ? l->numPnts : 1));
    uv = (double *)std::malloc(sizeof(double) * 2 * (count ? count : 1));
    if (!at || !uv) {
        o->error = OBJ_MEM_ERROR;
        goto done;
    }
    for (int32_t i = 0; i < l->numPnts; ++i) at[i] = -1;
    for (long i = 0; i < count; ++i) {
        long pnt;
        if (!_nextLong(&p, &pnt) || !_nextDouble(&p, &uv[i * 2]) || !_nextDouble(&p, &uv[i * 2 + 1])) {
            o->error = OBJ_BAD_FILE;
            goto done;
        }
        if (pnt < 0 || pnt >= l->numPnts) {
            o->error = OBJ_BAD_NPOINT;
            goto done;
        }
        at[pnt] = (int32_t)i;
    }
    rc = 0;
    for (int32_t i = 0; i < l->numPols && rc >= 0; ++i) {
        st_PolygonData *q = &l->polygons[i];
        if (q->surf_no != aSurf) continue;
        for (int32_t k = 0; k < q->numPnts; ++k) {
            int32_t e = at[q->points[k]];
            if (e < 0) continue;
            if ((q->maps[k] = _compUVmap(o, uv[e * 2], uv[e * 2 + 1], q->points[k], aSurf)) < 0) {
                rc = -1;
                break;
            }
            rc++;
        }
    }
    if (rc >= 0) _objCopyName(s->material.uview_file, aPath, sizeof(s->material.uview_file));
done:
    std::free(at);
    std::free(uv);
    std::free(text);
    return rc;
}

// This file's entries in the operation table.
void _objUVMapOps(st_OBJ2 *o)
{
    o->addPolymap = _addPolymap;
    o->getPolymap = _getPolymap;
    o->mapCount = _mapCount;
    o->addUVmap = _addUVmap;
    o->mapInfo = _mapInfo;
    o->buildUVmap = _buildUVmap;
    o->polUVmap = _polUVmap;
    o->clearUVmap = _clearUVmap;
    o->compUVmap = _compUVmap;
    o->setUVmap = _setUVmap;
    o->makeUVmap = _makeUVmap;
    o->loadUView = _loadUView;
}
