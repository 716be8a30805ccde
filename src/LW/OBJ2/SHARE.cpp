// Polygon sets and the sharing tables of a layer: which polygons use a point, which points an
// edge joins to it, which polygons use a normal, and which points and normals are equal.

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "LW/OBJ2/OBJ2Int.h"

namespace {

int32_t _fail(st_OBJ2 *o, int32_t aError)
{
    o->error = (uint8_t)aError;
    return -1;
}

// ---- polygon sets

st_PolySet *_newSet(st_OBJ2 *o, const char *aName, const std::vector<int32_t> &aPols)
{
    st_LayerData *l = o->layer;
    st_PolySet *s = (st_PolySet *)o->mem->alloc(o->mem, sizeof(st_PolySet));
    int32_t *pols = (int32_t *)o->mem->alloc(o->mem, (uint32_t)(sizeof(int32_t) * (aPols.size() + 1)));
    if (!s || !pols) {
        o->mem->free(o->mem, s);
        o->mem->free(o->mem, pols);
        o->error = OBJ_MEM_ERROR;
        return nullptr;
    }
    _objCopyName(s->name, aName, sizeof(s->name));
    s->count = (int32_t)aPols.size();
    if (!aPols.empty()) std::memcpy(pols, aPols.data(), sizeof(int32_t) * aPols.size());
    pols[aPols.size()] = -1;
    s->pols = pols;
    st_PolySet **tail = &l->polsets;
    while (*tail) tail = &(*tail)->next;
    *tail = s;
    return s;
}

int32_t _setPosition(st_LayerData *l, const st_PolySet *aSetP)
{
    int32_t n = 0;
    for (const st_PolySet *s = l->polsets; s; s = s->next, ++n) {
        if (s == aSetP) return n;
    }
    return -1;
}

int32_t _loadPSet(st_OBJ2 *o, const char *aPath)
{
    st_LayerData *l = o->layer;
    if (!l) return _fail(o, OBJ_DB_ERROR);
    if (!aPath) return _fail(o, OBJ_PARM_ERROR);
    FILE *f = std::fopen(aPath, "rb");
    if (!f) {
        _objCopyName(o->errfile, aPath, sizeof(o->errfile));
        return _fail(o, OBJ_OPEN_ERROR);
    }
    char word[8] = {0};
    long count = -1;
    int32_t rc = 0;
    std::vector<int32_t> pols;
    // A set names each polygon at most once, so it is never longer than the layer.
    if (std::fscanf(f, "%7s %ld", word, &count) != 2 || std::strcmp(word, "PSET") != 0 || count < 0 || count > l->numPols) {
        rc = _fail(o, std::ferror(f) ? OBJ_READ_ERROR : OBJ_BAD_FILE);
    } else {
        std::vector<char> seen((size_t)l->numPols, 0);
        pols.reserve((size_t)count);
        for (long i = 0; i < count && rc == 0; ++i) {
            long v;
            if (std::fscanf(f, "%ld", &v) != 1) rc = _fail(o, std::ferror(f) ? OBJ_READ_ERROR : OBJ_BAD_FILE);
            else if (v < 0 || v >= l->numPols) rc = _fail(o, OBJ_BAD_POLYGON);
            else if (seen[(size_t)v]) rc = _fail(o, OBJ_BAD_FILE);
            else {
                seen[(size_t)v] = 1;
                pols.push_back((int32_t)v);
            }
        }
    }
    std::fclose(f);
    if (rc < 0) return -1;
    // The set is named after its file, without folder or extension.
    const char *base = aPath;
    for (const char *p = aPath; *p; ++p) {
        if (*p == '/' || *p == '\\') base = p + 1;
    }
    char name[OBJ2_NAME_SIZE];
    _objCopyName(name, base, sizeof(name));
    if (char *dot = std::strrchr(name, '.')) *dot = 0;
    st_PolySet *s = _newSet(o, name, pols);
    return s ? _setPosition(l, s) : -1;
}

int32_t _savePSet(st_OBJ2 *o, const st_PolySet *aSetP, const char *aPath)
{
    if (!aSetP || !aPath || aSetP->count < 0) return _fail(o, OBJ_PARM_ERROR);
    FILE *f = std::fopen(aPath, "wb");
    if (!f) {
        _objCopyName(o->errfile, aPath, sizeof(o->errfile));
        return _fail(o, OBJ_OPEN_ERROR);
    }
    bool ok = std::fprintf(f, "PSET %d\n", (int)aSetP->count) > 0;
    for (int32_t i = 0; i < aSetP->count && ok; ++i) ok = std::fprintf(f, "%d\n", (int)aSetP->pols[i]) > 0;
    int full = 0;
    if (!ok) full = errno == ENOSPC;
    if (std::fclose(f) != 0 && ok) {
        ok = false;
        full = errno == ENOSPC;
    }
    if (!ok) return _fail(o, full ? OBJ_DISK_FULL : OBJ_WRITE_ERROR);
    return 0;
}

st_PolySet *_nextPSet(st_OBJ2 *o, st_PolySet *aSetP)
{
    if (!o->layer) return nullptr;
    return aSetP ? aSetP->next : o->layer->polsets;
}

st_PolySet *_ptagSelect(st_OBJ2 *o, const char *aType, int32_t aTag)
{
    st_LayerData *l = o->layer;
    const st_PTagData *t = (l && aType) ? o->getPTag(o, aType) : nullptr;
    if (!t) {
        o->error = OBJ_PARM_ERROR;
        return nullptr;
    }
    // A polygon tagged twice keeps its last tag, as ptagGetTag reads it.
    std::vector<int32_t> last((size_t)l->numPols, -1);
    for (int32_t i = 0; i < t->count; ++i) {
        if (t->pols[i] >= 0 && t->pols[i] < l->numPols) last[(size_t)t->pols[i]] = t->tags[i];
    }
    std::vector<int32_t> pols;
    for (int32_t i = 0; i < l->numPols; ++i) {
        if (last[(size_t)i] == aTag) pols.push_back(i);
    }
    const char *tag = o->getTag(o, aTag);
    char name[OBJ2_NAME_SIZE];
    if (tag && std::memcmp(aType, "COLR", 4) != 0) _objCopyName(name, tag, sizeof(name));
    else std::snprintf(name, sizeof(name), "%.4s %d", aType, (int)aTag);
    return _newSet(o, name, pols);
}

// ---- sharing tables

// Rows of (row, item) pairs into a table; duplicates within a row are dropped.
int _fill(st_OBJ2 *o, st_ShareTbl *t, int32_t aRows, std::vector<std::pair<int32_t, int32_t>> &aPairs)
{
    std::sort(aPairs.begin(), aPairs.end());
    aPairs.erase(std::unique(aPairs.begin(), aPairs.end()), aPairs.end());
    t->rows = aRows;
    t->start = (int32_t *)o->mem->alloc(o->mem, (uint32_t)(sizeof(int32_t) * ((size_t)aRows + 1)));
    t->list = (int32_t *)o->mem->alloc(o->mem, (uint32_t)(sizeof(int32_t) * (aPairs.size() ? aPairs.size() : 1)));
    if (!t->start || !t->list) return -1;
    for (const auto &p : aPairs) t->start[p.first + 1]++;
    for (int32_t r = 0; r < aRows; ++r) t->start[r + 1] += t->start[r];
    for (size_t i = 0; i < aPairs.size(); ++i) t->list[i] = aPairs[i].second;
    return 0;
}

// Equal values compare equal (0 and -0 too); values that are not numbers sort after all others
// and equal one another, so that the order stays strict for the sort.
int _cmp3(const double *p, const double *q)
{
    for (int k = 0; k < 3; ++k) {
        bool pn = p[k] != p[k], qn = q[k] != q[k];
        if (pn != qn) return pn ? 1 : -1;
        if (pn) continue;
        if (p[k] != q[k]) return p[k] < q[k] ? -1 : 1;
    }
    return 0;
}

// Items grouped by equal values: one row per group, rowOf for every item.
template <typename Less, typename Same> int _groups(st_OBJ2 *o, st_ShareTbl *t, int32_t aNum, Less aLess, Same aSame)
{
    std::vector<int32_t> order((size_t)aNum);
    for (int32_t i = 0; i < aNum; ++i) order[(size_t)i] = i;
    std::sort(order.begin(), order.end(), aLess);
    t->rowOf = (int32_t *)o->mem->alloc(o->mem, (uint32_t)(sizeof(int32_t) * (aNum ? aNum : 1)));
    if (!t->rowOf) return -1;
    std::vector<std::pair<int32_t, int32_t>> pairs;
    pairs.reserve((size_t)aNum);
    int32_t row = -1;
    for (int32_t i = 0; i < aNum; ++i) {
        if (i == 0 || !aSame(order[(size_t)i - 1], order[(size_t)i])) ++row;
        t->rowOf[order[(size_t)i]] = row;
        pairs.emplace_back(row, order[(size_t)i]);
    }
    return _fill(o, t, row + 1, pairs);
}

int _build(st_OBJ2 *o, st_LayerData *l, int aKind, st_ShareTbl *t)
{
    std::vector<std::pair<int32_t, int32_t>> pairs;
    switch (aKind) {
    case OBJ2_SHARE_POLUSERS:
        for (int32_t i = 0; i < l->numPols; ++i) {
            for (int32_t k = 0; k < l->polygons[i].numPnts; ++k) pairs.emplace_back(l->polygons[i].points[k], i);
        }
        return _fill(o, t, l->numPnts, pairs);
    case OBJ2_SHARE_PNTUSERS:
        for (int32_t i = 0; i < l->numPols; ++i) {
            const st_PolygonData *p = &l->polygons[i];
            // A two-point polygon is one edge, not a way there and back.
            int32_t ends = p->numPnts == 2 ? 1 : (p->numPnts < 2 ? 0 : p->numPnts);
            for (int32_t k = 0; k < ends; ++k) {
                int32_t a = p->points[k], b = p->points[(k + 1) % p->numPnts];
                if (a == b) continue;
                pairs.emplace_back(a, b);
                pairs.emplace_back(b, a);
            }
        }
        return _fill(o, t, l->numPnts, pairs);
    case OBJ2_SHARE_NRMUSERS:
        for (int32_t i = 0; i < l->numPols; ++i) {
            for (int32_t k = 0; k < l->polygons[i].numPnts; ++k) {
                int32_t n = l->polygons[i].normals[k];
                if (n >= 0 && n < l->numNorms) pairs.emplace_back(n, i);
            }
        }
        return _fill(o, t, l->numNorms, pairs);
    case OBJ2_SHARE_PNT:
        return _groups(
            o, t, l->numPnts,
            [l](int32_t a, int32_t b) {
                int c = _cmp3(l->points[a].position, l->points[b].position);
                return c ? c < 0 : a < b;
            },
            [l](int32_t a, int32_t b) { return _cmp3(l->points[a].position, l->points[b].position) == 0; });
    default:
        return _groups(
            o, t, l->numNorms,
            [l](int32_t a, int32_t b) {
                int c = _cmp3(l->normals[a].vector, l->normals[b].vector);
                return c ? c < 0 : a < b;
            },
            [l](int32_t a, int32_t b) { return _cmp3(l->normals[a].vector, l->normals[b].vector) == 0; });
    }
}

// The table of one kind for the current layer, built again when the layer changed since.
const st_ShareTbl *_table(st_OBJ2 *o, int aKind)
{
    st_LayerData *l = o->layer;
    if (!l) {
        o->error = OBJ_DB_ERROR;
        return nullptr;
    }
    st_ShareTbl *t = l->share[aKind];
    if (t && t->edit == l->edit) return t;
    _objFreeShare(o, l, aKind);
    t = (st_ShareTbl *)o->mem->alloc(o->mem, sizeof(st_ShareTbl));
    if (!t) {
        o->error = OBJ_MEM_ERROR;
        return nullptr;
    }
    l->share[aKind] = t;
    if (_build(o, l, aKind, t) < 0) {
        _objFreeShare(o, l, aKind);
        o->error = OBJ_MEM_ERROR;
        return nullptr;
    }
    t->edit = l->edit;
    return t;
}

const int32_t *_lookup(st_OBJ2 *o, int aKind, int32_t aItem, int32_t aItems, int32_t *aNumP)
{
    if (aNumP) *aNumP = 0;
    st_LayerData *l = o->layer;
    if (l && (aItem < 0 || aItem >= aItems)) {
        o->error = OBJ_PARM_ERROR;
        return nullptr;
    }
    const st_ShareTbl *t = _table(o, aKind);
    if (!t) return nullptr;
    int32_t row = t->rowOf ? t->rowOf[aItem] : aItem;
    if (aNumP) *aNumP = t->start[row + 1] - t->start[row];
    return t->list + t->start[row];
}

int32_t _items(st_OBJ2 *o, bool aNormals)
{
    if (!o->layer) return 0;
    return aNormals ? o->layer->numNorms : o->layer->numPnts;
}

const int32_t *_polUsers(st_OBJ2 *o, int32_t aPnt, int32_t *aNumP)
{
    return _lookup(o, OBJ2_SHARE_POLUSERS, aPnt, _items(o, false), aNumP);
}

const int32_t *_pntUsers(st_OBJ2 *o, int32_t aPnt, int32_t *aNumP)
{
    return _lookup(o, OBJ2_SHARE_PNTUSERS, aPnt, _items(o, false), aNumP);
}

const int32_t *_nrmUsers(st_OBJ2 *o, int32_t aNrm, int32_t *aNumP)
{
    return _lookup(o, OBJ2_SHARE_NRMUSERS, aNrm, _items(o, true), aNumP);
}

const int32_t *_pntShareInfo(st_OBJ2 *o, int32_t aPnt, int32_t *aNumP)
{
    return _lookup(o, OBJ2_SHARE_PNT, aPnt, _items(o, false), aNumP);
}

const int32_t *_nrmShareInfo(st_OBJ2 *o, int32_t aNrm, int32_t *aNumP)
{
    return _lookup(o, OBJ2_SHARE_NRM, aNrm, _items(o, true), aNumP);
}

void _freeKind(st_OBJ2 *o, int aKind)
{
    if (o->layer) _objFreeShare(o, o->layer, aKind);
}

void _freePolUsers(st_OBJ2 *o) { _freeKind(o, OBJ2_SHARE_POLUSERS); }
void _freePntUsers(st_OBJ2 *o) { _freeKind(o, OBJ2_SHARE_PNTUSERS); }
void _freeNrmUsers(st_OBJ2 *o) { _freeKind(o, OBJ2_SHARE_NRMUSERS); }
void _freePntShare(st_OBJ2 *o) { _freeKind(o, OBJ2_SHARE_PNT); }
void _freeNrmShare(st_OBJ2 *o) { _freeKind(o, OBJ2_SHARE_NRM); }

} // namespace

void _objFreeShare(st_OBJ2 *o, st_LayerData *l, int aKind)
{
    st_ShareTbl *t = l->share[aKind];
    if (!t) return;
    o->mem->free(o->mem, t->start);
    o->mem->free(o->mem, t->list);
    o->mem->free(o->mem, t->rowOf);
    o->mem->free(o->mem, t);
    l->share[aKind] = nullptr;
}

void _objShareOps(st_OBJ2 *o)
{
    o->loadPSet = _loadPSet;
    o->savePSet = _savePSet;
    o->nextPSet = _nextPSet;
    o->ptagSelect = _ptagSelect;
    o->polUsers = _polUsers;
    o->pntUsers = _pntUsers;
    o->nrmUsers = _nrmUsers;
    o->freePolUsers = _freePolUsers;
    o->freePntUsers = _freePntUsers;
    o->freeNrmUsers = _freeNrmUsers;
    o->pntShareInfo = _pntShareInfo;
    o->nrmShareInfo = _nrmShareInfo;
    o->freePntShare = _freePntShare;
    o->freeNrmShare = _freeNrmShare;
}
