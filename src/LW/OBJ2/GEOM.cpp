// Geometry: layers, points, polygons, edges, meshes, and moving, scaling and sorting the whole
// object.

#include <cstdlib>
#include <cstring>

#include "LW/OBJ2/OBJ2Int.h"

// ---- layers

static st_LayerData *_newLayer(st_OBJ2 *o, int32_t aLayerNo)
{
    st_LayerData *l = (st_LayerData *)o->mem->alloc(o->mem, sizeof(st_LayerData));
    if (!l) {
        o->error = OBJ_MEM_ERROR;
        return nullptr;
    }
    l->idx = o->numLayers;
    l->layer_no = aLayerNo;
    l->parent_no = -1;
    std::memcpy(l->poltype, "FACE", 5);
    st_LayerData **tail = &o->layerList;
    while (*tail) tail = &(*tail)->nextLayer;
    *tail = l;
    o->numLayers++;
    o->layer = l;
    return l;
}

static st_LayerData *_nextLayer(st_OBJ2 *o, st_LayerData *aLayerP)
{
    return aLayerP ? aLayerP->nextLayer : o->layerList;
}

static st_LayerData *_lastLayer(st_OBJ2 *o)
{
    st_LayerData *l = o->layerList;
    while (l && l->nextLayer) l = l->nextLayer;
    return l;
}

static int32_t _layerCount(st_OBJ2 *o) { return o->numLayers; }

static st_LayerData *_getLayer(st_OBJ2 *o, int32_t aIdx)
{
    st_LayerData *l = o->layerList;
    while (l && l->idx != aIdx) l = l->nextLayer;
    return l;
}

static int32_t _setLayer(st_OBJ2 *o, int32_t aIdx)
{
    st_LayerData *l = _getLayer(o, aIdx);
    if (!l) {
        o->error = OBJ_PARM_ERROR;
        return -1;
    }
    o->layer = l;
    return 0;
}

static void _getPivot(st_OBJ2 *o, double aPivot[3])
{
    for (int i = 0; i < 3; ++i) aPivot[i] = o->layer ? o->layer->pivot[i] : 0.0;
}

static void _setPivot(st_OBJ2 *o, const double aPivot[3])
{
    if (o->layer) std::memcpy(o->layer->pivot, aPivot, sizeof(o->layer->pivot));
}

static int32_t _getParent(st_OBJ2 *o) { return o->layer ? o->layer->parent_no : -1; }
static void _setParent(st_OBJ2 *o, int32_t aParent)
{
    if (o->layer) o->layer->parent_no = aParent;
}

static void _calcBBox(st_OBJ2 *o)
{
    st_LayerData *l = o->layer;
    if (!l) return;
    if (l->numPnts == 0) {
        std::memset(l->bbox, 0, sizeof(l->bbox));
        return;
    }
    for (int k = 0; k < 3; ++k) l->bbox[k] = l->bbox[k + 3] = l->points[0].position[k];
    for (int32_t i = 1; i < l->numPnts; ++i) {
        for (int k = 0; k < 3; ++k) {
            double v = l->points[i].position[k];
            if (v < l->bbox[k]) l->bbox[k] = v;
            if (v > l->bbox[k + 3]) l->bbox[k + 3] = v;
        }
    }
}

static void _getBBox(st_OBJ2 *o, double aBox[6])
{
    for (int i = 0; i < 6; ++i) aBox[i] = o->layer ? o->layer->bbox[i] : 0.0;
}

static void _freeLayer(st_OBJ2 *o, st_LayerData *l)
{
    st_Memcon *m = o->mem;
    m->free(m, l->points);
    m->free(m, l->polygons);
    m->free(m, l->normals);
    m->free(m, l->maps);
    m->free(m, l->edges);
    m->free(m, l->colors);
    m->free(m, l->meshes);
    for (int32_t i = 0; i < l->numPTags; ++i) {
        m->free(m, l->ptags[i].pols);
        m->free(m, l->ptags[i].tags);
    }
    m->free(m, l->ptags);
    for (int32_t i = 0; i < l->numVMaps; ++i) {
        m->free(m, l->vmaps[i].pnts);
        m->free(m, l->vmaps[i].pols);
        m->free(m, l->vmaps[i].values);
    }
    m->free(m, l->vmaps);
    for (st_PolySet *ps = l->polsets; ps;) {
        st_PolySet *n = ps->next;
        m->free(m, ps->pols);
        m->free(m, ps);
        ps = n;
    }
    for (int k = 0; k < OBJ2_SHARE_NUM; ++k) _objFreeShare(o, l, k);
    m->free(m, l);
}

void _objClearLayers(st_OBJ2 *o)
{
    st_LayerData *l = o->layerList;
    while (l) {
        st_LayerData *n = l->nextLayer;
        _freeLayer(o, l);
        l = n;
    }
    o->layerList = o->layer = nullptr;
    o->numLayers = 0;
}

// ---- points

static int32_t _pointCount(st_OBJ2 *o) { return o->layer ? o->layer->numPnts : 0; }

static int32_t _addPoint(st_OBJ2 *o, const double aPos[3])
{
    st_LayerData *l = o->layer;
    if (!l) {
        o->error = OBJ_DB_ERROR;
        return -1;
    }
    if (_objGrow(o, (void **)&l->points, &l->maxPnts, l->numPnts + 1, sizeof(st_PointData)) < 0) return -1;
    st_PointData *p = &l->points[l->numPnts];
    std::memset(p, 0, sizeof(*p));
    p->edge_no = -1;
    std::memcpy(p->position, aPos, sizeof(p->position));
    l->edit++;
    return l->numPnts++;
}

static st_PointData *_pointInfo(st_OBJ2 *o, int32_t aIdx)
{
    st_LayerData *l = o->layer;
    return (l && aIdx >= 0 && aIdx < l->numPnts) ? &l->points[aIdx] : nullptr;
}

static void _clearPoints(st_OBJ2 *o)
{
    if (!o->layer) return;
    o->layer->numPnts = 0;
    o->layer->edit++;
}

// ---- polygons

static int32_t _polyCount(st_OBJ2 *o) { return o->layer ? o->layer->numPols : 0; }

int32_t _objIndexCount(st_OBJ2 *o)
{
    int32_t n = 0;
    if (o->layer) {
        for (int32_t i = 0; i < o->layer->numPols; ++i) n += o->layer->polygons[i].numPnts;
    }
    return n;
}

static int32_t _addPoly(st_OBJ2 *o, int32_t aNumPnts, const int32_t *aPnts, int32_t aSurfNo)
{
    st_LayerData *l = o->layer;
    if (!l) {
        o->error = OBJ_DB_ERROR;
        return -1;
    }
    if (aNumPnts <= 0) {
        o->error = OBJ_BAD_POLYGON;
        return -1;
    }
    for (int32_t i = 0; i < aNumPnts; ++i) {
        if (aPnts[i] < 0 || aPnts[i] >= l->numPnts) {
            o->error = OBJ_BAD_NPOINT;
            return -1;
        }
    }
    if (_objGrow(o, (void **)&l->polygons, &l->maxPols, l->numPols + 1, sizeof(st_PolygonData)) < 0) return -1;
    // points, normals, maps and colours: one pool block, four runs.
    int32_t *arr = (int32_t *)st_MemconPool(o->mem, (uint32_t)aNumPnts * 4u * sizeof(int32_t));
    if (!arr) {
        o->error = OBJ_MEM_ERROR;
        return -1;
    }
    st_PolygonData *p = &l->polygons[l->numPols];
    std::memset(p, 0, sizeof(*p));
    p->idx = l->numPols;
    p->numPnts = aNumPnts;
    p->points = arr;
    p->normals = arr + aNumPnts;
    p->maps = arr + aNumPnts * 2;
    p->colors = arr + aNumPnts * 3;
    for (int32_t i = 0; i < aNumPnts; ++i) {
        p->points[i] = aPnts[i];
        p->normals[i] = p->maps[i] = p->colors[i] = -1;
    }
    p->surf_no = aSurfNo;
    p->surface = (aSurfNo >= 0 && aSurfNo < o->numSurfs) ? o->surfaces[aSurfNo]->name : nullptr;
    p->edge_no = -1;
    l->edit++;
    return l->numPols++;
}

st_PolygonData *_objPolyInfo(st_OBJ2 *o, int32_t aIdx)
{
    st_LayerData *l = o->layer;
    return (l && aIdx >= 0 && aIdx < l->numPols) ? &l->polygons[aIdx] : nullptr;
}

static int32_t _getFace(st_OBJ2 *o, int32_t aIdx, double aFace[3])
{
    st_PolygonData *p = _objPolyInfo(o, aIdx);
    if (!p) return -1;
    _objFaceNormal(o->layer, p, aFace);
    return 0;
}

static int32_t _polyStat(st_OBJ2 *o, int32_t aCounts[4])
{
    aCounts[0] = aCounts[1] = aCounts[2] = aCounts[3] = 0;
    if (!o->layer) return 0;
    for (int32_t i = 0; i < o->layer->numPols; ++i) {
        int32_t n = o->layer->polygons[i].numPnts;
        aCounts[n >= 4 ? 3 : n - 1]++;
    }
    return o->layer->numPols;
}

static const char *_polSurf(st_OBJ2 *o, int32_t aIdx)
{
    st_PolygonData *p = _objPolyInfo(o, aIdx);
    return p ? p->surface : nullptr;
}

static const int32_t *_polPnts(st_OBJ2 *o, int32_t aIdx, int32_t *aNumP)
{
    st_PolygonData *p = _objPolyInfo(o, aIdx);
    if (aNumP) *aNumP = p ? p->numPnts : 0;
    return p ? p->points : nullptr;
}

static const int32_t *_polNorms(st_OBJ2 *o, int32_t aIdx)
{
    st_PolygonData *p = _objPolyInfo(o, aIdx);
    return p ? p->normals : nullptr;
}

static const int32_t *_polMaps(st_OBJ2 *o, int32_t aIdx)
{
    st_PolygonData *p = _objPolyInfo(o, aIdx);
    return p ? p->maps : nullptr;
}

static const int32_t *_polColors(st_OBJ2 *o, int32_t aIdx)
{
    st_PolygonData *p = _objPolyInfo(o, aIdx);
    return p ? p->colors : nullptr;
}

static int32_t _polSurfNum(st_OBJ2 *o, int32_t aIdx)
{
    st_PolygonData *p = _objPolyInfo(o, aIdx);
    return p ? p->surf_no : -1;
}

static void _clearPolys(st_OBJ2 *o)
{
    if (!o->layer) return;
    o->layer->numPols = 0;
    o->layer->edit++;
}

// ---- edges: each undirected edge once, with the first two polygons that use it

static int32_t _edgeCount(st_OBJ2 *o) { return o->layer ? o->layer->numEdges : 0; }

static st_EdgeData *_edgeInfo(st_OBJ2 *o, int32_t aIdx)
{
    st_LayerData *l = o->layer;
    return (l && aIdx >= 0 && aIdx < l->numEdges) ? &l->edges[aIdx] : nullptr;
}

static void _clearEdges(st_OBJ2 *o)
{
    if (o->layer) o->layer->numEdges = 0;
}

static int32_t _makeEdges(st_OBJ2 *o)
{
    st_LayerData *l = o->layer;
    if (!l) return -1;
    l->numEdges = 0;
    // Edges by their lower point: a chain per point through 'link'.
    int32_t *head = (int32_t *)o->mem->alloc(o->mem, sizeof(int32_t) * (l->numPnts ? l->numPnts : 1));
    int32_t total = _objIndexCount(o);
    int32_t *link = (int32_t *)o->mem->alloc(o->mem, sizeof(int32_t) * (total ? total : 1));
    if (!head || !link) {
        o->mem->free(o->mem, head);
        o->mem->free(o->mem, link);
        o->error = OBJ_MEM_ERROR;
        return -1;
    }
    for (int32_t i = 0; i < l->numPnts; ++i) head[i] = -1;
    int32_t rc = 0;
    for (int32_t i = 0; i < l->numPols && rc == 0; ++i) {
        st_PolygonData *p = &l->polygons[i];
        if (p->numPnts < 2) continue;
        int32_t ends = p->numPnts == 2 ? 1 : p->numPnts;
        for (int32_t k = 0; k < ends; ++k) {
            int32_t a = p->points[k], b = p->points[(k + 1) % p->numPnts];
            if (a == b) continue;
            int32_t lo = a < b ? a : b, hi = a < b ? b : a;
            int32_t e = head[lo];
            while (e >= 0 && l->edges[e].pnts[1] != hi) e = link[e];
            if (e < 0) {
                if (_objGrow(o, (void **)&l->edges, &l->maxEdges, l->numEdges + 1, sizeof(st_EdgeData)) < 0) {
                    rc = -1;
                    break;
                }
                e = l->numEdges++;
                st_EdgeData *d = &l->edges[e];
                std::memset(d, 0, sizeof(*d));
                d->pnts[0] = lo;
                d->pnts[1] = hi;
                d->pols[0] = d->pols[1] = -1;
                link[e] = head[lo];
                head[lo] = e;
                if (l->points[lo].edge_no < 0) l->points[lo].edge_no = e;
            }
            st_EdgeData *d = &l->edges[e];
            if (d->numPols < 2) d->pols[d->numPols] = i;
            d->numPols++;
            if (p->edge_no < 0) p->edge_no = e;
        }
    }
    o->mem->free(o->mem, head);
    o->mem->free(o->mem, link);
    return rc;
}

static int32_t _edgeNext(st_OBJ2 *o, int32_t aPnt, int32_t aEdge)
{
    st_LayerData *l = o->layer;
    if (!l || aPnt < 0 || aPnt >= l->numPnts || aEdge < -1) return _objParmError(o);
    for (int32_t e = aEdge + 1; e < l->numEdges; ++e) {
        if (l->edges[e].pnts[0] == aPnt || l->edges[e].pnts[1] == aPnt) return e;
    }
    return -1;
}

// ---- meshes (built in MESH.cpp)

static int32_t _meshCount(st_OBJ2 *o) { return o->layer ? o->layer->numMesh : 0; }

static st_MeshData *_meshInfo(st_OBJ2 *o, int32_t aIdx)
{
    st_LayerData *l = o->layer;
    return (l && aIdx >= 0 && aIdx < l->numMesh) ? &l->meshes[aIdx] : nullptr;
}

static st_MeshNode *_meshNode(st_OBJ2 *o, int32_t aMesh, int32_t aNode)
{
    st_MeshData *m = _meshInfo(o, aMesh);
    st_MeshNode *n = m ? m->nodes : nullptr;
    for (int32_t i = 0; n && i < aNode; ++i) n = n->next;
    return n;
}

static void _clearMeshes(st_OBJ2 *o)
{
    if (o->layer) o->layer->numMesh = 0;
}

static int _meshOrder(const void *a, const void *b)
{
    const st_MeshData *x = (const st_MeshData *)a, *y = (const st_MeshData *)b;
    if (x->surf_no != y->surf_no) return x->surf_no < y->surf_no ? -1 : 1;
    if (x->type != y->type) return x->type < y->type ? -1 : 1;
    return x->key < y->key ? -1 : (x->key > y->key ? 1 : 0);
}

static void _sortMeshes(st_OBJ2 *o)
{
    st_LayerData *l = o->layer;
    if (l && l->numMesh > 1) std::qsort(l->meshes, l->numMesh, sizeof(st_MeshData), _meshOrder);
}

// ---- global

static void _moveAll(st_OBJ2 *o, const double aMove[3])
{
    for (st_LayerData *l = o->layerList; l; l = l->nextLayer) {
        for (int32_t i = 0; i < l->numPnts; ++i) {
            for (int k = 0; k < 3; ++k) l->points[i].position[k] += aMove[k];
        }
        l->edit++;
    }
}

static void _scaleAll(st_OBJ2 *o, const double aScale[3])
{
    for (st_LayerData *l = o->layerList; l; l = l->nextLayer) {
        for (int32_t i = 0; i < l->numPnts; ++i) {
            for (int k = 0; k < 3; ++k) l->points[i].position[k] *= aScale[k];
        }
        l->edit++;
    }
}

static int _polOrder(const void *a, const void *b)
{
    const st_PolygonData *x = (const st_PolygonData *)a, *y = (const st_PolygonData *)b;
    if (x->surf_no != y->surf_no) return x->surf_no < y->surf_no ? -1 : 1;
    return x->idx < y->idx ? -1 : (x->idx > y->idx ? 1 : 0);
}

// Groups polygons by surface, keeping file order within a surface.
static void _sortPols(st_OBJ2 *o)
{
    st_LayerData *l = o->layer;
    if (!l || l->numPols < 2) return;
    std::qsort(l->polygons, l->numPols, sizeof(st_PolygonData), _polOrder);
    for (int32_t i = 0; i < l->numPols; ++i) l->polygons[i].idx = i;
    l->numMesh = 0;
    l->numEdges = 0;
    l->edit++;
}

// This file's entries in the operation table.
void _objGeomOps(st_OBJ2 *o)
{
    o->newLayer = _newLayer;
    o->nextLayer = _nextLayer;
    o->lastLayer = _lastLayer;
    o->layerCount = _layerCount;
    o->setLayer = _setLayer;
    o->getLayer = _getLayer;
    o->getPivot = _getPivot;
    o->setPivot = _setPivot;
    o->getParent = _getParent;
    o->setParent = _setParent;
    o->calcBBox = _calcBBox;
    o->getBBox = _getBBox;
    o->clearLayers = _objClearLayers;
    o->pointCount = _pointCount;
    o->addPoint = _addPoint;
    o->pointInfo = _pointInfo;
    o->clearPoints = _clearPoints;
    o->polyCount = _polyCount;
    o->indexCount = _objIndexCount;
    o->addPoly = _addPoly;
    o->polyInfo = _objPolyInfo;
    o->getFace = _getFace;
    o->polyStat = _polyStat;
    o->polSurf = _polSurf;
    o->polPnts = _polPnts;
    o->polNorms = _polNorms;
    o->polMaps = _polMaps;
    o->polColors = _polColors;
    o->polSurfNum = _polSurfNum;
    o->clearPolys = _clearPolys;
    o->edgeCount = _edgeCount;
    o->edgeInfo = _edgeInfo;
    o->makeEdges = _makeEdges;
    o->clearEdges = _clearEdges;
    o->meshCount = _meshCount;
    o->meshInfo = _meshInfo;
    o->meshNode = _meshNode;
    o->makeMeshes = _objMakeMeshes;
    o->clearMeshes = _clearMeshes;
    o->sortMeshes = _sortMeshes;
    o->moveAll = _moveAll;
    o->scaleAll = _scaleAll;
    o->polyTriple = _objPolyTriple;
    o->tripleAll = _objTripleAll;
    o->sortPols = _sortPols;
    o->edgeNext = _edgeNext;
}
