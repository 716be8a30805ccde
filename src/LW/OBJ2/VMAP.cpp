// Tags, polygon tags and vertex maps, and the corner colours made from a layer's RGB or RGBA
// vertex map.

#include <cstring>

#include "LW/OBJ2/OBJ2Int.h"

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

void _objClearTags(st_OBJ2 *o)
{
    o->mem->free(o->mem, o->tagData);
    o->tagData = nullptr;
    o->numTags = o->maxTags = 0;
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
    _objCopyName(v->name, aName, sizeof(v->name));
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

int32_t _objGetVMapData(st_OBJ2 *o, const st_VMapData *v, int32_t aPnt, int32_t aPol, float *aValues)
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
    if (!t || !_objPolyInfo(o, aPol)) return -1;
    // Last entry wins, as when a file tags a polygon twice.
    for (int32_t i = t->count - 1; i >= 0; --i) {
        if (t->pols[i] == aPol) return t->tags[i];
    }
    return -1;
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
            if (rgb) _objGetVMapData(o, rgb, p->points[k], i, c);
            if ((p->colors[k] = _addColor(o, c)) < 0) return -1;
        }
    }
    return 0;
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

// This file's entries in the operation table.
void _objVMapOps(st_OBJ2 *o)
{
    o->tagCount = _tagCount;
    o->addTag = _addTag;
    o->getTag = _getTag;
    o->findTag = _findTag;
    o->clearTags = _objClearTags;
    o->colorCount = _colorCount;
    o->addColor = _addColor;
    o->colorInfo = _colorInfo;
    o->makeColor = _makeColor;
    o->clearColor = _clearColor;
    o->vmapCount = _vmapCount;
    o->newVMap = _newVMap;
    o->addVMap = _addVMap;
    o->getVMap = _getVMap;
    o->getVMapData = _objGetVMapData;
    o->clearVMap = _clearVMap;
    o->ptagCount = _ptagCount;
    o->newPTag = _newPTag;
    o->addPTag = _addPTag;
    o->getPTag = _getPTag;
    o->clearPTag = _clearPTag;
    o->addColori = _addColori;
    o->compColor = _compColor;
    o->vmapNext = _vmapNext;
    o->ptagNext = _ptagNext;
    o->ptagGetTag = _ptagGetTag;
}
