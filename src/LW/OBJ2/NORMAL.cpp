// Normals: the face normal of a polygon, and corner normals flat or smoothed within a surface's
// smoothing angle.

#include <cmath>
#include <cstring>

#include "LW/OBJ2/OBJ2Int.h"

// Newell's normal: the file's polygons run clockwise seen from the front in a left-handed world,
// which is counter-clockwise about the front normal in plain arithmetic.
void _objFaceNormal(st_LayerData *l, const st_PolygonData *p, double aN[3])
{
    double n[3] = {0, 0, 0};
    for (int32_t i = 0; i < p->numPnts; ++i) {
        const double *a = l->points[p->points[i]].position;
        const double *b = l->points[p->points[(i + 1) % p->numPnts]].position;
        n[0] += (a[1] - b[1]) * (a[2] + b[2]);
        n[1] += (a[2] - b[2]) * (a[0] + b[0]);
        n[2] += (a[0] - b[0]) * (a[1] + b[1]);
    }
    double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    if (p->numPnts < 3 || !(len > 1e-300)) {
        aN[0] = aN[1] = aN[2] = NAN;
        return;
    }
    for (int k = 0; k < 3; ++k) aN[k] = n[k] / len;
}

int _objFinite3(const double *v)
{
    return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]);
}

static int32_t _normCount(st_OBJ2 *o) { return o->layer ? o->layer->numNorms : 0; }

static int32_t _addNormal(st_OBJ2 *o, const double aVec[3])
{
    st_LayerData *l = o->layer;
    if (!l) return -1;
    if (_objGrow(o, (void **)&l->normals, &l->maxNorms, l->numNorms + 1, sizeof(st_NormalData)) < 0) return -1;
    st_NormalData *n = &l->normals[l->numNorms];
    std::memset(n, 0, sizeof(*n));
    std::memcpy(n->vector, aVec, sizeof(n->vector));
    l->edit++;
    return l->numNorms++;
}

// Reuses an equal normal among the last few (neighbouring corners of one face share theirs).
static int32_t _compNormal(st_OBJ2 *o, const double aVec[3])
{
    st_LayerData *l = o->layer;
    if (!l) return -1;
    for (int32_t i = l->numNorms - 1; i >= 0 && i >= l->numNorms - 4; --i) {
        if (std::memcmp(l->normals[i].vector, aVec, sizeof(double) * 3) == 0) return i;
    }
    return _addNormal(o, aVec);
}

static st_NormalData *_normalInfo(st_OBJ2 *o, int32_t aIdx)
{
    st_LayerData *l = o->layer;
    return (l && aIdx >= 0 && aIdx < l->numNorms) ? &l->normals[aIdx] : nullptr;
}

static void _clearNormal(st_OBJ2 *o)
{
    st_LayerData *l = o->layer;
    if (!l) return;
    l->numNorms = 0;
    l->edit++;
    for (int32_t i = 0; i < l->numPols; ++i) {
        for (int32_t k = 0; k < l->polygons[i].numPnts; ++k) l->polygons[i].normals[k] = -1;
    }
}

static int32_t _makeNormal(st_OBJ2 *o, uint32_t aFlags)
{
    st_LayerData *l = o->layer;
    if (!l) return -1;
    _clearNormal(o);
    for (int32_t i = 0; i < l->numPols; ++i) _objFaceNormal(l, &l->polygons[i], l->polygons[i].face);
    if (!(aFlags & OBJ2_NORMAL_SMOOTH)) {
        for (int32_t i = 0; i < l->numPols; ++i) {
            st_PolygonData *p = &l->polygons[i];
            for (int32_t k = 0; k < p->numPnts; ++k) {
                if ((p->normals[k] = _compNormal(o, p->face)) < 0) return -1;
            }
        }
        return 0;
    }
    // Polygons on each point, then every corner averages the faces of its surface within the
    // surface's smoothing angle.
    int32_t *start = (int32_t *)o->mem->alloc(o->mem, sizeof(int32_t) * (l->numPnts + 1));
    int32_t total = _objIndexCount(o);
    int32_t *users = (int32_t *)o->mem->alloc(o->mem, sizeof(int32_t) * (total ? total : 1));
    if (!start || !users) {
        o->mem->free(o->mem, start);
        o->mem->free(o->mem, users);
        o->error = OBJ_MEM_ERROR;
        return -1;
    }
    for (int32_t i = 0; i < l->numPols; ++i) {
        for (int32_t k = 0; k < l->polygons[i].numPnts; ++k) start[l->polygons[i].points[k] + 1]++;
    }
    for (int32_t i = 0; i < l->numPnts; ++i) start[i + 1] += start[i];
    int32_t *fill = (int32_t *)o->mem->alloc(o->mem, sizeof(int32_t) * (l->numPnts ? l->numPnts : 1));
    if (!fill) {
        o->mem->free(o->mem, start);
        o->mem->free(o->mem, users);
        o->error = OBJ_MEM_ERROR;
        return -1;
    }
    for (int32_t i = 0; i < l->numPols; ++i) {
        for (int32_t k = 0; k < l->polygons[i].numPnts; ++k) {
            int32_t pt = l->polygons[i].points[k];
            users[start[pt] + fill[pt]++] = i;
        }
    }
    int32_t rc = 0;
    for (int32_t i = 0; i < l->numPols && rc == 0; ++i) {
        st_PolygonData *p = &l->polygons[i];
        const st_MaterialData *mt = (p->surf_no >= 0 && p->surf_no < o->numSurfs) ? &o->surfaces[p->surf_no]->material : nullptr;
        double limit = (mt && (mt->flags & OBJ2_MTL_SMOOTH)) ? std::cos((double)mt->sman) : 2.0;
        for (int32_t k = 0; k < p->numPnts && rc == 0; ++k) {
            double n[3] = {p->face[0], p->face[1], p->face[2]};
            if (_objFinite3(n) && limit < 1.5) {
                int32_t pt = p->points[k];
                for (int32_t u = start[pt]; u < start[pt + 1]; ++u) {
                    const st_PolygonData *q = &l->polygons[users[u]];
                    if (q == p || q->surf_no != p->surf_no || !_objFinite3(q->face)) continue;
                    double d = q->face[0] * p->face[0] + q->face[1] * p->face[1] + q->face[2] * p->face[2];
                    if (d > limit) {
                        for (int c = 0; c < 3; ++c) n[c] += q->face[c];
                    }
                }
                double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
                if (len > 1e-300) {
                    for (int c = 0; c < 3; ++c) n[c] /= len;
                } else {
                    for (int c = 0; c < 3; ++c) n[c] = p->face[c];
                }
            }
            if ((p->normals[k] = _compNormal(o, n)) < 0) rc = -1;
        }
    }
    o->mem->free(o->mem, fill);
    o->mem->free(o->mem, start);
    o->mem->free(o->mem, users);
    return rc;
}

// This file's entries in the operation table.
void _objNormalOps(st_OBJ2 *o)
{
    o->normCount = _normCount;
    o->addNormal = _addNormal;
    o->compNormal = _compNormal;
    o->normalInfo = _normalInfo;
    o->makeNormal = _makeNormal;
    o->clearNormal = _clearNormal;
}
