// The object database: allocation container, handle and operation table, layers, points,
// polygons, tags, vertex maps, surfaces and materials, normals, UV maps, colours and edges.

#include "LW/OBJ2/OBJ2.h"

#include <cmath>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "LW/OBJ2/OBJ2Int.h"

// ---- allocation container

static int32_t _memFind(st_Memcon *aMemP, void *aPtr)
{
    // Recent blocks are the ones that grow and get freed.
    for (int32_t i = aMemP->count - 1; i >= 0; --i) {
        if (aMemP->pointers[i] == aPtr) return i;
    }
    return -1;
}

static int _memRecord(st_Memcon *aMemP, void *aPtr, uint32_t aSize)
{
    if (aMemP->count == aMemP->capacity) {
        int32_t cap = aMemP->capacity * 2;
        uint32_t *sizes = (uint32_t *)std::realloc(aMemP->sizes, sizeof(uint32_t) * cap);
        if (!sizes) return -1;
        aMemP->sizes = sizes;
        void **ptrs = (void **)std::realloc(aMemP->pointers, sizeof(void *) * cap);
        if (!ptrs) return -1;
        aMemP->pointers = ptrs;
        aMemP->capacity = cap;
    }
    aMemP->sizes[aMemP->count] = aSize;
    aMemP->pointers[aMemP->count] = aPtr;
    aMemP->count++;
    aMemP->used_size += aSize;
    return 0;
}

static void *_memAlloc(st_Memcon *aMemP, uint32_t aSize)
{
    void *p = std::calloc(1, aSize ? aSize : 1);
    if (!p) return nullptr;
    if (_memRecord(aMemP, p, aSize) < 0) {
        std::free(p);
        return nullptr;
    }
    return p;
}

static void *_memRealloc(st_Memcon *aMemP, void *aPtr, uint32_t aSize)
{
    if (!aPtr) return _memAlloc(aMemP, aSize);
    int32_t i = _memFind(aMemP, aPtr);
    if (i < 0) return nullptr;
    void *p = std::realloc(aPtr, aSize ? aSize : 1);
    if (!p) return nullptr;
    uint32_t old = aMemP->sizes[i];
    if (aSize > old) std::memset((uint8_t *)p + old, 0, aSize - old);
    aMemP->pointers[i] = p;
    aMemP->used_size += aSize - old;
    aMemP->sizes[i] = aSize;
    return p;
}

static void _memFree(st_Memcon *aMemP, void *aPtr)
{
    if (!aPtr) return;
    int32_t i = _memFind(aMemP, aPtr);
    if (i < 0) return;
    std::free(aPtr);
    aMemP->used_size -= aMemP->sizes[i];
    aMemP->pointers[i] = nullptr;
    aMemP->sizes[i] = 0;
}

st_Memcon *st_MemconNew(void)
{
    st_Memcon *m = (st_Memcon *)std::calloc(1, sizeof(st_Memcon));
    if (!m) return nullptr;
    m->capacity = OBJ2_MEMCON_RECORDS;
    m->sizes = (uint32_t *)std::calloc(m->capacity, sizeof(uint32_t));
    m->pointers = (void **)std::calloc(m->capacity, sizeof(void *));
    if (!m->sizes || !m->pointers) {
        std::free(m->sizes);
        std::free(m->pointers);
        std::free(m);
        return nullptr;
    }
    m->alloc = _memAlloc;
    m->realloc = _memRealloc;
    m->free = _memFree;
    return m;
}

void st_MemconDelete(st_Memcon *aMemP)
{
    if (!aMemP) return;
    for (int32_t i = 0; i < aMemP->count; ++i) std::free(aMemP->pointers[i]);
    std::free(aMemP->sizes);
    std::free(aMemP->pointers);
    std::free(aMemP);
}

void *st_MemconPool(st_Memcon *aMemP, uint32_t aSize)
{
    aSize = (aSize + 7u) & ~7u;
    if (aSize > aMemP->poolLeft) {
        uint32_t chunk = aSize > 65536u ? aSize : 65536u;
        uint8_t *p = (uint8_t *)aMemP->alloc(aMemP, chunk);
        if (!p) return nullptr;
        aMemP->poolP = p;
        aMemP->poolLeft = chunk;
    }
    void *r = aMemP->poolP;
    aMemP->poolP += aSize;
    aMemP->poolLeft -= aSize;
    return r;
}

// ---- shared helpers

int _objFail(st_OBJ2 *o, int32_t aError)
{
    if (o->error == OBJ_NO_ERROR) o->error = (uint8_t)aError;
    return -1;
}

int _objOpenForm(st_OBJ2 *o, const uint8_t *aDataP, uint32_t aSize, const char *aType, _objReader *aBodyP)
{
    if (aSize < 12 || std::memcmp(aDataP, "FORM", 4) != 0 || std::memcmp(aDataP + 8, aType, 4) != 0)
        return _objFail(o, OBJ_UNKNOWN_TYPE);
    _objReader r{aDataP + 4, aDataP + aSize, 0};
    uint32_t formLen = r.u4();
    if (formLen < 4) return _objFail(o, OBJ_BAD_FILE);
    if (formLen > aSize - 8) return _objFail(o, OBJ_READ_ERROR);  // cut short
    *aBodyP = _objReader{aDataP + 12, aDataP + 8 + formLen, 0};
    return 0;
}

int _objReadPoints(st_OBJ2 *o, _objReader &c, uint32_t aLen)
{
    if (aLen % 12) _objDebug(o, "??? %d != %d\n", (int)(aLen / 12 * 12), (int)aLen);
    uint32_t n = aLen / 12;
    st_LayerData *l = o->layer;
    if (_objGrow(o, (void **)&l->points, &l->maxPnts, l->numPnts + (int32_t)n, sizeof(st_PointData)) < 0) return -1;
    for (uint32_t i = 0; i < n; ++i) {
        double p[3];
        for (int k = 0; k < 3; ++k) p[k] = c.f4();
        if (o->addPoint(o, p) < 0) return -1;
    }
    return 0;
}

int _objGrow(st_OBJ2 *o, void **aArrP, int32_t *aMaxP, int32_t aNeed, uint32_t aElem)
{
    if (aNeed <= *aMaxP) return 0;
    int64_t cap = *aMaxP ? *aMaxP : 16;
    while (cap < aNeed) cap *= 2;
    if (cap * (int64_t)aElem > 0x7fffffff) {
        o->error = OBJ_MEM_ERROR;
        return -1;
    }
    void *p = o->mem->realloc(o->mem, *aArrP, (uint32_t)(cap * aElem));
    if (!p) {
        o->error = OBJ_MEM_ERROR;
        return -1;
    }
    *aArrP = p;
    *aMaxP = (int32_t)cap;
    return 0;
}

void _objDebug(st_OBJ2 *o, const char *aFormat, ...)
{
    if (!o->debug) return;
    va_list ap;
    va_start(ap, aFormat);
    std::vfprintf(o->debug, aFormat, ap);
    va_end(ap);
}

static void _copyName(char *aDstP, const char *aSrcP, size_t aSize)
{
    size_t n = aSrcP ? strnlen(aSrcP, aSize - 1) : 0;
    if (n) std::memmove(aDstP, aSrcP, n);
    aDstP[n] = 0;
}

static const char *const _errorTexts[] = {
    "no error", "memory error", "file open error", "disk full", "unknown type", "file read error",
    "file write error", "bad file format", "function param error", "object database error",
    "tim file open failed", "bad polygon data", "bad point number", "no texture map"};

const char *OBJ2_errorText(int32_t aError)
{
    if (aError < 0 || aError >= (int32_t)(sizeof(_errorTexts) / sizeof(_errorTexts[0]))) return "unknown error";
    return _errorTexts[aError];
}

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

static void _clearLayers(st_OBJ2 *o)
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

// ---- tags

static int32_t _tagCount(st_OBJ2 *o) { return o->numTags; }

static int32_t _addTag(st_OBJ2 *o, const char *aName)
{
    if (_objGrow(o, (void **)&o->tagData, &o->maxTags, o->numTags + 1, sizeof(char *)) < 0) return -1;
    size_t n = std::strlen(aName);
    if (n > OBJ2_NAME_SIZE - 1) n = OBJ2_NAME_SIZE - 1;
    char *s = (char *)st_MemconPool(o->mem, (uint32_t)n + 1);
    if (!s) {
        o->error = OBJ_MEM_ERROR;
        return -1;
    }
    std::memcpy(s, aName, n);
    o->tagData[o->numTags] = s;
    return o->numTags++;
}

static const char *_getTag(st_OBJ2 *o, int32_t aIdx)
{
    return (aIdx >= 0 && aIdx < o->numTags) ? o->tagData[aIdx] : nullptr;
}

static int32_t _findTag(st_OBJ2 *o, const char *aName)
{
    for (int32_t i = 0; i < o->numTags; ++i) {
        if (std::strcmp(o->tagData[i], aName) == 0) return i;
    }
    return -1;
}

static void _clearTags(st_OBJ2 *o)
{
    o->mem->free(o->mem, o->tagData);
    o->tagData = nullptr;
    o->numTags = o->maxTags = 0;
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

static int32_t _indexCount(st_OBJ2 *o)
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

static st_PolygonData *_polyInfo(st_OBJ2 *o, int32_t aIdx)
{
    st_LayerData *l = o->layer;
    return (l && aIdx >= 0 && aIdx < l->numPols) ? &l->polygons[aIdx] : nullptr;
}

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

static int32_t _getFace(st_OBJ2 *o, int32_t aIdx, double aFace[3])
{
    st_PolygonData *p = _polyInfo(o, aIdx);
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
    st_PolygonData *p = _polyInfo(o, aIdx);
    return p ? p->surface : nullptr;
}

static const int32_t *_polPnts(st_OBJ2 *o, int32_t aIdx, int32_t *aNumP)
{
    st_PolygonData *p = _polyInfo(o, aIdx);
    if (aNumP) *aNumP = p ? p->numPnts : 0;
    return p ? p->points : nullptr;
}

static const int32_t *_polNorms(st_OBJ2 *o, int32_t aIdx)
{
    st_PolygonData *p = _polyInfo(o, aIdx);
    return p ? p->normals : nullptr;
}

static const int32_t *_polMaps(st_OBJ2 *o, int32_t aIdx)
{
    st_PolygonData *p = _polyInfo(o, aIdx);
    return p ? p->maps : nullptr;
}

static const int32_t *_polColors(st_OBJ2 *o, int32_t aIdx)
{
    st_PolygonData *p = _polyInfo(o, aIdx);
    return p ? p->colors : nullptr;
}

static int32_t _polSurfNum(st_OBJ2 *o, int32_t aIdx)
{
    st_PolygonData *p = _polyInfo(o, aIdx);
    return p ? p->surf_no : -1;
}

static st_PolygonMap *_getPolymap(st_OBJ2 *o, int32_t aPol, int32_t aChan, int32_t aLayr)
{
    st_PolygonData *p = _polyInfo(o, aPol);
    if (!p) return nullptr;
    for (st_PolygonMap *m = p->polms; m; m = m->next) {
        if (m->chan == aChan && m->layr == aLayr) return m;
    }
    return nullptr;
}

static st_PolygonMap *_addPolymap(st_OBJ2 *o, int32_t aPol, int32_t aChan, int32_t aLayr)
{
    st_PolygonData *p = _polyInfo(o, aPol);
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

static void _clearPolys(st_OBJ2 *o)
{
    if (!o->layer) return;
    o->layer->numPols = 0;
    o->layer->edit++;
}

// ---- normals

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

static int _finite3(const double *v)
{
    return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]);
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
    int32_t total = _indexCount(o);
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
            if (_finite3(n) && limit < 1.5) {
                int32_t pt = p->points[k];
                for (int32_t u = start[pt]; u < start[pt + 1]; ++u) {
                    const st_PolygonData *q = &l->polygons[users[u]];
                    if (q == p || q->surf_no != p->surf_no || !_finite3(q->face)) continue;
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

// ---- UV maps

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
        if (!_finite3(aFace)) axis = 2;
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

static int32_t _getVMapData(st_OBJ2 *o, const st_VMapData *aMapP, int32_t aPnt, int32_t aPol, float *aValues);

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
                    if (!(vmad && _getVMapData(o, vmad, pt, i, uv)) && vmap) _getVMapData(o, vmap, pt, -1, uv);
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

// ---- colours: from the layer's first RGB/RGBA vertex map, else the surface colour

static int32_t _colorCount(st_OBJ2 *o) { return o->layer ? o->layer->numColors : 0; }

static int32_t _addColor(st_OBJ2 *o, const float aRgba[4])
{
    st_LayerData *l = o->layer;
    if (!l) return -1;
    if (_objGrow(o, (void **)&l->colors, &l->maxColors, l->numColors + 1, sizeof(st_ColorData)) < 0) return -1;
    st_ColorData *c = &l->colors[l->numColors];
    std::memset(c, 0, sizeof(*c));
    std::memcpy(c->rgba, aRgba, sizeof(c->rgba));
    return l->numColors++;
}

static st_ColorData *_colorInfo(st_OBJ2 *o, int32_t aIdx)
{
    st_LayerData *l = o->layer;
    return (l && aIdx >= 0 && aIdx < l->numColors) ? &l->colors[aIdx] : nullptr;
}

static void _clearColor(st_OBJ2 *o)
{
    st_LayerData *l = o->layer;
    if (!l) return;
    l->numColors = 0;
    for (int32_t i = 0; i < l->numPols; ++i) {
        for (int32_t k = 0; k < l->polygons[i].numPnts; ++k) l->polygons[i].colors[k] = -1;
    }
}

static int32_t _makeColor(st_OBJ2 *o, uint32_t aFlags)
{
    (void)aFlags;
    st_LayerData *l = o->layer;
    if (!l) return -1;
    _clearColor(o);
    const st_VMapData *rgb = nullptr;
    for (int32_t i = 0; i < l->numVMaps && !rgb; ++i) {
        const st_VMapData *v = &l->vmaps[i];
        if ((std::memcmp(v->type, "RGB ", 4) == 0 && v->dim == 3) || (std::memcmp(v->type, "RGBA", 4) == 0 && v->dim == 4)) rgb = v;
    }
    for (int32_t i = 0; i < l->numPols; ++i) {
        st_PolygonData *p = &l->polygons[i];
        float base[4] = {1, 1, 1, 1};
        if (p->surf_no >= 0 && p->surf_no < o->numSurfs) std::memcpy(base, o->surfaces[p->surf_no]->material.colr, sizeof(base));
        for (int32_t k = 0; k < p->numPnts; ++k) {
            float c[4] = {base[0], base[1], base[2], base[3]};
            if (rgb) _getVMapData(o, rgb, p->points[k], i, c);
            if ((p->colors[k] = _addColor(o, c)) < 0) return -1;
        }
    }
    return 0;
}

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
    _copyName(s->name, aName, sizeof(s->name));
    _surfDefaults(s);
    o->surfaces[o->numSurfs++] = s;
    return s;
}

static st_SurfaceData *_getSurf(st_OBJ2 *o, int32_t aIdx)
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

static void _clearSurfs(st_OBJ2 *o)
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
    st_SurfaceData *s = _getSurf(o, aIdx);
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
    _copyName(m->surf, s->name, sizeof(m->surf));
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
            if (c) _copyName(m->rimg, c->name, sizeof(m->rimg));
        }
        if (m->rimg[0] && std::strcmp(m->rimg, "(none)") != 0) m->flags |= OBJ2_MTL_ENVMAP;
    }
    m->clayr = nullptr;
    for (st_TextureLayer *t = m->tlayrs; t; t = t->next) {
        if (t->clip >= 0) {
            const st_ClipData *c = o->getClip(o, t->clip);
            if (c) _copyName(t->timg, c->name, sizeof(t->timg));
        }
        if (!m->clayr && t->chan == OBJ2_CHAN_COLR) m->clayr = t;
    }
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

static void _clearClips(st_OBJ2 *o)
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

static void _clearEnvls(st_OBJ2 *o)
{
    for (int32_t i = 0; i < o->numEnvs; ++i) o->mem->free(o->mem, o->envelopes[i].keys);
    o->mem->free(o->mem, o->envelopes);
    o->envelopes = nullptr;
    o->numEnvs = o->maxEnvs = 0;
}

// ---- vertex maps and polygon tags

static int32_t _vmapCount(st_OBJ2 *o) { return o->layer ? o->layer->numVMaps : 0; }

static st_VMapData *_newVMap(st_OBJ2 *o, const char *aType, int32_t aDim, const char *aName, int32_t aPerPoly)
{
    st_LayerData *l = o->layer;
    if (!l || aDim < 0) {
        o->error = OBJ_PARM_ERROR;
        return nullptr;
    }
    if (_objGrow(o, (void **)&l->vmaps, &l->maxVMaps, l->numVMaps + 1, sizeof(st_VMapData)) < 0) return nullptr;
    st_VMapData *v = &l->vmaps[l->numVMaps++];
    std::memset(v, 0, sizeof(*v));
    std::memcpy(v->type, aType, 4);
    v->dim = aDim;
    _copyName(v->name, aName, sizeof(v->name));
    v->perPoly = aPerPoly;
    return v;
}

static int32_t _addVMap(st_OBJ2 *o, st_VMapData *v, int32_t aPnt, int32_t aPol, const float *aValues)
{
    int32_t mp = v->max, mq = v->max, mv = v->max;
    if (_objGrow(o, (void **)&v->pnts, &mp, v->count + 1, sizeof(int32_t)) < 0) return -1;
    if (_objGrow(o, (void **)&v->pols, &mq, v->count + 1, sizeof(int32_t)) < 0) return -1;
    if (v->dim > 0 && _objGrow(o, (void **)&v->values, &mv, v->count + 1, sizeof(float) * v->dim) < 0) return -1;
    v->max = mp;
    v->pnts[v->count] = aPnt;
    v->pols[v->count] = aPol;
    if (v->dim > 0) std::memcpy(v->values + (size_t)v->count * v->dim, aValues, sizeof(float) * v->dim);
    return v->count++;
}

static st_VMapData *_getVMap(st_OBJ2 *o, const char *aType, const char *aName, int32_t aPerPoly)
{
    st_LayerData *l = o->layer;
    if (!l) return nullptr;
    for (int32_t i = 0; i < l->numVMaps; ++i) {
        st_VMapData *v = &l->vmaps[i];
        if (std::memcmp(v->type, aType, 4) == 0 && v->perPoly == aPerPoly && std::strcmp(v->name, aName) == 0) return v;
    }
    return nullptr;
}

static int32_t _getVMapData(st_OBJ2 *o, const st_VMapData *v, int32_t aPnt, int32_t aPol, float *aValues)
{
    (void)o;
    // Last entry wins, as when a file repeats a point.
    for (int32_t i = v->count - 1; i >= 0; --i) {
        if (v->pnts[i] == aPnt && (!v->perPoly || v->pols[i] == aPol)) {
            if (v->dim > 0) std::memcpy(aValues, v->values + (size_t)i * v->dim, sizeof(float) * v->dim);
            return 1;
        }
    }
    return 0;
}

static void _clearVMap(st_OBJ2 *o)
{
    st_LayerData *l = o->layer;
    if (!l) return;
    for (int32_t i = 0; i < l->numVMaps; ++i) {
        o->mem->free(o->mem, l->vmaps[i].pnts);
        o->mem->free(o->mem, l->vmaps[i].pols);
        o->mem->free(o->mem, l->vmaps[i].values);
    }
    l->numVMaps = 0;
}

static int32_t _ptagCount(st_OBJ2 *o) { return o->layer ? o->layer->numPTags : 0; }

static st_PTagData *_getPTag(st_OBJ2 *o, const char *aType)
{
    st_LayerData *l = o->layer;
    if (!l) return nullptr;
    for (int32_t i = 0; i < l->numPTags; ++i) {
        if (std::memcmp(l->ptags[i].type, aType, 4) == 0) return &l->ptags[i];
    }
    return nullptr;
}

static st_PTagData *_newPTag(st_OBJ2 *o, const char *aType)
{
    st_PTagData *t = _getPTag(o, aType);
    if (t) return t;
    st_LayerData *l = o->layer;
    if (!l) return nullptr;
    if (_objGrow(o, (void **)&l->ptags, &l->maxPTags, l->numPTags + 1, sizeof(st_PTagData)) < 0) return nullptr;
    t = &l->ptags[l->numPTags++];
    std::memset(t, 0, sizeof(*t));
    std::memcpy(t->type, aType, 4);
    return t;
}

static int32_t _addPTag(st_OBJ2 *o, st_PTagData *t, int32_t aPol, int32_t aTag)
{
    int32_t mp = t->max, mt = t->max;
    if (_objGrow(o, (void **)&t->pols, &mp, t->count + 1, sizeof(int32_t)) < 0) return -1;
    if (_objGrow(o, (void **)&t->tags, &mt, t->count + 1, sizeof(int32_t)) < 0) return -1;
    t->max = mp;
    t->pols[t->count] = aPol;
    t->tags[t->count] = aTag;
    return t->count++;
}

static void _clearPTag(st_OBJ2 *o)
{
    st_LayerData *l = o->layer;
    if (!l) return;
    for (int32_t i = 0; i < l->numPTags; ++i) {
        o->mem->free(o->mem, l->ptags[i].pols);
        o->mem->free(o->mem, l->ptags[i].tags);
    }
    l->numPTags = 0;
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
    int32_t total = _indexCount(o);
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

// ---- file

static const char *_errorStr(st_OBJ2 *o)
{
    const char *s = OBJ2_errorText(o->error);
    o->error = OBJ_NO_ERROR;
    return s;
}

static int32_t _readFile(const char *aPath, uint8_t **aDataPP, uint32_t *aSizeP)
{
    FILE *f = std::fopen(aPath, "rb");
    if (!f) return OBJ_OPEN_ERROR;
    if (std::fseek(f, 0, SEEK_END) != 0) {
        std::fclose(f);
        return OBJ_READ_ERROR;
    }
    long size = std::ftell(f);
    // Objects this program draws are far below this; anything larger is not an object.
    if (size < 0 || size > 0x10000000L) {
        std::fclose(f);
        return size < 0 ? OBJ_READ_ERROR : OBJ_MEM_ERROR;
    }
    std::fseek(f, 0, SEEK_SET);
    uint8_t *d = (uint8_t *)std::malloc(size ? (size_t)size : 1);
    if (!d) {
        std::fclose(f);
        return OBJ_MEM_ERROR;
    }
    size_t got = std::fread(d, 1, (size_t)size, f);
    std::fclose(f);
    if (got != (size_t)size) {
        std::free(d);
        return OBJ_READ_ERROR;
    }
    *aDataPP = d;
    *aSizeP = (uint32_t)size;
    return OBJ_NO_ERROR;
}

// Post-processing in its fixed order, on every layer.
static int32_t _postProcess(st_OBJ2 *o, const st_OBJ2_option *aOptP)
{
    if (!aOptP) return 0;
    for (st_LayerData *l = o->layerList; l; l = l->nextLayer) {
        o->layer = l;
        uint32_t c = aOptP->ope_code;
        if ((c & OBJ2_OPE_UVMAP) && o->buildUVmap(o, aOptP->uvmap_channel, aOptP->uvmap_nlayrs, aOptP->uvmap_flags) < 0) return -1;
        if ((c & OBJ2_OPE_NORMAL) && o->makeNormal(o, aOptP->normal_flags) < 0) return -1;
        if ((c & OBJ2_OPE_COLOR) && o->makeColor(o, aOptP->color_flags) < 0) return -1;
        if ((c & OBJ2_OPE_TRIPLE) && o->tripleAll(o, aOptP->triple_flags) < 0) return -1;
        if (c & OBJ2_OPE_SORT) o->sortPols(o);
        if ((c & OBJ2_OPE_EDGE) && o->makeEdges(o) < 0) return -1;
    }
    o->layer = o->layerList;
    return 0;
}

int32_t _objLoadMem(st_OBJ2 *o, const uint8_t *aDataP, uint32_t aSize, int32_t aType, const st_OBJ2_option *aOptP)
{
    int32_t rc;
    if (aType == LWO2_FILE) {
        rc = LWO2_load(o, aDataP, aSize);
    } else if (aType == LWOB_FILE) {
        rc = LWOB_load(o, aDataP, aSize);
    } else {
        o->error = OBJ_PARM_ERROR;
        return -1;
    }
    if (rc < 0) return -1;
    o->type = (uint8_t)aType;
    if (_postProcess(o, aOptP) < 0) {
        if (o->error == OBJ_NO_ERROR) o->error = OBJ_DB_ERROR;
        return -1;
    }
    return 0;
}

static int32_t _loadObj(st_OBJ2 *o, const char *aPath, int32_t aType, const st_OBJ2_option *aOptP)
{
    uint8_t *data = nullptr;
    uint32_t size = 0;
    int32_t err = _readFile(aPath, &data, &size);
    _copyName(o->name, aPath, sizeof(o->name));
    if (err != OBJ_NO_ERROR) {
        o->error = (uint8_t)err;
        _copyName(o->errfile, aPath, sizeof(o->errfile));
        return -1;
    }
    int32_t rc = _objLoadMem(o, data, size, aType, aOptP);
    std::free(data);
    return rc;
}

static void _debugPrintf(st_OBJ2 *o, const char *aFormat, ...)
{
    if (!o->debug) return;
    va_list ap;
    va_start(ap, aFormat);
    std::vfprintf(o->debug, aFormat, ap);
    va_end(ap);
}

// Empties the database for a second reading attempt.
void _objReset(st_OBJ2 *o)
{
    _clearLayers(o);
    _clearSurfs(o);
    _clearClips(o);
    _clearTags(o);
    _clearEnvls(o);
    o->error = OBJ_NO_ERROR;
    o->type = UNKNOWN_FILE;
}

// ---- UV maps, colours, surfaces, materials, clips, envelopes, edges, maps and tags: the rest of
// the table

void _objCopyName(char *aDstP, const char *aSrcP, size_t aSize) { _copyName(aDstP, aSrcP, aSize); }

static int32_t _parmError(st_OBJ2 *o)
{
    o->error = OBJ_PARM_ERROR;
    return -1;
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
    if (!m) return _parmError(o);
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
            int hit = (vmad && _getVMapData(o, vmad, pt, i, uv)) || (vmap && _getVMapData(o, vmap, pt, -1, uv));
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
    int32_t err = _readFile(aPath, &d, &n);
    if (err != OBJ_NO_ERROR) {
        o->error = (uint8_t)err;
        _copyName(o->errfile, aPath, sizeof(o->errfile));
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
    st_SurfaceData *s = _getSurf(o, aSurf);
    if (!l || !s) return _parmError(o);
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
    if (rc >= 0) _copyName(s->material.uview_file, aPath, sizeof(s->material.uview_file));
done:
    std::free(at);
    std::free(uv);
    std::free(text);
    return rc;
}

static int32_t _addColori(st_OBJ2 *o, const uint8_t aRgba[4])
{
    const float c[4] = {aRgba[0] / 255.0f, aRgba[1] / 255.0f, aRgba[2] / 255.0f, aRgba[3] / 255.0f};
    return _addColor(o, c);
}

static int32_t _compColor(st_OBJ2 *o, const float aRgba[4])
{
    st_LayerData *l = o->layer;
    if (!l) return -1;
    for (int32_t i = l->numColors - 1; i >= 0 && i >= l->numColors - 16; --i) {
        if (std::memcmp(l->colors[i].rgba, aRgba, sizeof(float) * 4) == 0) return i;
    }
    return _addColor(o, aRgba);
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
    st_SurfaceData *s = _getSurf(o, aIdx);
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
    st_PolygonData *p = _polyInfo(o, aPol);
    if (!p || aSurf < 0 || aSurf >= o->numSurfs) return _parmError(o);
    p->surf_no = aSurf;
    p->surface = o->surfaces[aSurf]->name;
    return 0;
}

// Scale, then bank (z), pitch (x), heading (y), then the move to the centre: a point on the
// object is (x, y, z, 1) times the matrix. Sizes of 0 stand for 1, as in the projection.
static int32_t _setTMatrix(st_OBJ2 *o, int32_t aSurf, int32_t aLayr)
{
    st_TextureLayer *t = _getTexture(o, aSurf, aLayr);
    if (!t || aLayr < 0) return _parmError(o);
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
    st_SurfaceData *s = _getSurf(o, aIdx);
    if (!s || !aName || !aName[0] || strnlen(aName, OBJ2_NAME_SIZE) >= OBJ2_NAME_SIZE) return _parmError(o);
    int32_t other = _findSurf(o, aName);
    if (other >= 0 && other != aIdx) return _parmError(o);  // names key the polygons' surfaces
    // Polygons point at the surface's own name, so they follow.
    _copyName(s->name, aName, sizeof(s->name));
    _copyName(s->material.surf, aName, sizeof(s->material.surf));
    return 0;
}

static st_MaterialData *_newMaterial(st_OBJ2 *o, int32_t aIdx)
{
    st_SurfaceData *s = _getSurf(o, aIdx);
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
    st_SurfaceData *s = _getSurf(o, aIdx);
    if (!s) return _parmError(o);
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
    st_SurfaceData *s = _getSurf(o, aSurf);
    if (!s) {
        o->error = OBJ_PARM_ERROR;
        return nullptr;
    }
    return _objNewTexture(o, s);
}

static int32_t _setTxtLayrs(st_OBJ2 *o, int32_t aSurf, int32_t aNum)
{
    st_SurfaceData *s = _getSurf(o, aSurf);
    if (!s || aNum < 0 || aNum > 0xFFFF) return _parmError(o);
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
    _copyName(c->name, aName, sizeof(c->name));
    return c;
}

static int32_t _setClip(st_OBJ2 *o, int32_t aSurf, int32_t aLayr, int32_t aIndex)
{
    st_TextureLayer *t = aLayr >= 0 ? _getTexture(o, aSurf, aLayr) : nullptr;
    const st_ClipData *c = _getClip(o, aIndex);
    if (!t || !c) return _parmError(o);
    t->clip = aIndex;
    _copyName(t->timg, c->name, sizeof(t->timg));
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
    if (!c || !aName) return _parmError(o);
    _copyName(c->name, aName, sizeof(c->name));
    for (int32_t i = 0; i < o->numSurfs; ++i) {
        st_MaterialData *m = &o->surfaces[i]->material;
        if (m->rclip == aIndex) _copyName(m->rimg, c->name, sizeof(m->rimg));
        for (st_TextureLayer *t = m->tlayrs; t; t = t->next) {
            if (t->clip == aIndex) _copyName(t->timg, c->name, sizeof(t->timg));
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
    if (!e || aNumKeys < 0 || aNumKeys > 0x100000 || (aNumKeys && !aKeys)) return _parmError(o);
    for (int32_t i = 0; i < aNumKeys; ++i) {
        if (!std::isfinite(aKeys[i * 2]) || !std::isfinite(aKeys[i * 2 + 1])) return _parmError(o);
        if (i && !(aKeys[i * 2] > aKeys[i * 2 - 2])) return _parmError(o);
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

static int32_t _edgeNext(st_OBJ2 *o, int32_t aPnt, int32_t aEdge)
{
    st_LayerData *l = o->layer;
    if (!l || aPnt < 0 || aPnt >= l->numPnts || aEdge < -1) return _parmError(o);
    for (int32_t e = aEdge + 1; e < l->numEdges; ++e) {
        if (l->edges[e].pnts[0] == aPnt || l->edges[e].pnts[1] == aPnt) return e;
    }
    return -1;
}

static st_VMapData *_vmapNext(st_OBJ2 *o, st_VMapData *aMapP, const char *aType)
{
    st_LayerData *l = o->layer;
    if (!l || !l->numVMaps) return nullptr;
    int32_t i = 0;
    if (aMapP) {
        if (aMapP < l->vmaps || aMapP >= l->vmaps + l->numVMaps) return nullptr;
        i = (int32_t)(aMapP - l->vmaps) + 1;
    }
    for (; i < l->numVMaps; ++i) {
        if (!aType || std::memcmp(l->vmaps[i].type, aType, 4) == 0) return &l->vmaps[i];
    }
    return nullptr;
}

static st_PTagData *_ptagNext(st_OBJ2 *o, st_PTagData *aTagP)
{
    st_LayerData *l = o->layer;
    if (!l || !l->numPTags) return nullptr;
    if (!aTagP) return &l->ptags[0];
    if (aTagP < l->ptags || aTagP >= l->ptags + l->numPTags - 1) return nullptr;
    return aTagP + 1;
}

static int32_t _ptagGetTag(st_OBJ2 *o, const char *aType, int32_t aPol)
{
    const st_PTagData *t = aType ? _getPTag(o, aType) : nullptr;
    if (!t || !_polyInfo(o, aPol)) return -1;
    // Last entry wins, as when a file tags a polygon twice.
    for (int32_t i = t->count - 1; i >= 0; --i) {
        if (t->pols[i] == aPol) return t->tags[i];
    }
    return -1;
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

int32_t _objPolyTriple(st_OBJ2 *o, int32_t aPol);
int32_t _objTripleAll(st_OBJ2 *o, uint32_t aFlags);
int32_t _objMakeMeshes(st_OBJ2 *o, const st_MeshOpt *aOptP);

st_OBJ2 *OBJ2_new(void)
{
    st_OBJ2 *o = (st_OBJ2 *)std::calloc(1, sizeof(st_OBJ2));
    if (!o) return nullptr;
    o->mem = st_MemconNew();
    if (!o->mem) {
        std::free(o);
        return nullptr;
    }
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
    o->clearLayers = _clearLayers;
    o->tagCount = _tagCount;
    o->addTag = _addTag;
    o->getTag = _getTag;
    o->findTag = _findTag;
    o->clearTags = _clearTags;
    o->pointCount = _pointCount;
    o->addPoint = _addPoint;
    o->pointInfo = _pointInfo;
    o->clearPoints = _clearPoints;
    o->polyCount = _polyCount;
    o->indexCount = _indexCount;
    o->addPoly = _addPoly;
    o->polyInfo = _polyInfo;
    o->getFace = _getFace;
    o->polyStat = _polyStat;
    o->polSurf = _polSurf;
    o->polPnts = _polPnts;
    o->polNorms = _polNorms;
    o->polMaps = _polMaps;
    o->polColors = _polColors;
    o->polSurfNum = _polSurfNum;
    o->addPolymap = _addPolymap;
    o->getPolymap = _getPolymap;
    o->clearPolys = _clearPolys;
    o->normCount = _normCount;
    o->addNormal = _addNormal;
    o->compNormal = _compNormal;
    o->normalInfo = _normalInfo;
    o->makeNormal = _makeNormal;
    o->clearNormal = _clearNormal;
    o->mapCount = _mapCount;
    o->addUVmap = _addUVmap;
    o->mapInfo = _mapInfo;
    o->buildUVmap = _buildUVmap;
    o->polUVmap = _polUVmap;
    o->clearUVmap = _clearUVmap;
    o->colorCount = _colorCount;
    o->addColor = _addColor;
    o->colorInfo = _colorInfo;
    o->makeColor = _makeColor;
    o->clearColor = _clearColor;
    o->surfCount = _surfCount;
    o->newSurf = _newSurf;
    o->getSurf = _getSurf;
    o->findSurf = _findSurf;
    o->clearSurfs = _clearSurfs;
    o->getMaterial = _getMaterial;
    o->mtlLayCount = _mtlLayCount;
    o->getTexture = _getTexture;
    o->clipCount = _clipCount;
    o->getClip = _getClip;
    o->clearClips = _clearClips;
    o->envlCount = _envlCount;
    o->getEnvelope = _getEnvelope;
    o->clearEnvls = _clearEnvls;
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
    o->vmapCount = _vmapCount;
    o->newVMap = _newVMap;
    o->addVMap = _addVMap;
    o->getVMap = _getVMap;
    o->getVMapData = _getVMapData;
    o->clearVMap = _clearVMap;
    o->ptagCount = _ptagCount;
    o->newPTag = _newPTag;
    o->addPTag = _addPTag;
    o->getPTag = _getPTag;
    o->clearPTag = _clearPTag;
    o->moveAll = _moveAll;
    o->scaleAll = _scaleAll;
    o->polyTriple = _objPolyTriple;
    o->tripleAll = _objTripleAll;
    o->sortPols = _sortPols;
    o->sortSurfs = _sortSurfs;
    o->compUVmap = _compUVmap;
    o->setUVmap = _setUVmap;
    o->makeUVmap = _makeUVmap;
    o->loadUView = _loadUView;
    o->addColori = _addColori;
    o->compColor = _compColor;
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
    o->edgeNext = _edgeNext;
    o->vmapNext = _vmapNext;
    o->ptagNext = _ptagNext;
    o->ptagGetTag = _ptagGetTag;
    _objShareOps(o);
    _objSaveOps(o);
    o->loadObj = _loadObj;
    o->errorStr = _errorStr;
    o->debug_printf = _debugPrintf;
    return o;
}

void OBJ2_close(st_OBJ2 **aObjPP)
{
    if (!aObjPP || !*aObjPP) return;
    st_OBJ2 *o = *aObjPP;
    if (!(o->flags & 1)) {
        // The container frees every block at once; the clears keep the counts honest first.
        _clearLayers(o);
        _clearSurfs(o);
        _clearClips(o);
        _clearTags(o);
        _clearEnvls(o);
        st_MemconDelete(o->mem);
    }
    std::free(o);
    *aObjPP = nullptr;
}

static const st_OBJ2_option _defaultOption = {0, {0}, 0, 0, 0, 1, 1, 0, 0};

// LWO2 first, then LWOB; an "unknown type" from the second attempt does not hide the real
// trouble found by the first.
static st_OBJ2 *_openWith(const uint8_t *aDataP, uint32_t aSize, const char *aName, const st_OBJ2_option *aOptP,
                          OBJError *aErrorP)
{
    if (!aOptP) aOptP = &_defaultOption;
    st_OBJ2 *o = OBJ2_new();
    if (!o) {
        if (aErrorP) *aErrorP = OBJ_MEM_ERROR;
        return nullptr;
    }
    _copyName(o->name, aName, sizeof(o->name));
    if (_objLoadMem(o, aDataP, aSize, LWO2_FILE, aOptP) == 0) {
        if (aErrorP) *aErrorP = OBJ_NO_ERROR;
        return o;
    }
    OBJError first = (OBJError)o->error;
    _objReset(o);
    if (_objLoadMem(o, aDataP, aSize, LWOB_FILE, aOptP) == 0) {
        if (aErrorP) *aErrorP = OBJ_NO_ERROR;
        return o;
    }
    OBJError second = (OBJError)o->error;
    if (aErrorP) *aErrorP = first != OBJ_UNKNOWN_TYPE ? first : second;
    OBJ2_close(&o);
    return nullptr;
}

st_OBJ2 *OBJ2_openMem(const void *aDataP, uint32_t aSize, const char *aName, const st_OBJ2_option *aOptP, OBJError *aErrorP)
{
    return _openWith((const uint8_t *)aDataP, aSize, aName ? aName : "", aOptP, aErrorP);
}

st_OBJ2 *OBJ2_open(const char *aPath, const st_OBJ2_option *aOptP, OBJError *aErrorP)
{
    uint8_t *data = nullptr;
    uint32_t size = 0;
    int32_t err = _readFile(aPath, &data, &size);
    if (err != OBJ_NO_ERROR) {
        if (aErrorP) *aErrorP = (OBJError)err;
        return nullptr;
    }
    st_OBJ2 *o = _openWith(data, size, aPath, aOptP, aErrorP);
    std::free(data);
    return o;
}
