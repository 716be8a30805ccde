// Reading: a file or memory image opened as LWO2 or LWOB, the post-processing the options ask
// for, and the FORM and point helpers both format readers share.

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "LW/OBJ2/OBJ2Int.h"

// ---- shared by the LWO2 and LWOB readers

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

// ---- opening

int32_t _objReadFile(const char *aPath, uint8_t **aDataPP, uint32_t *aSizeP)
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
    int32_t err = _objReadFile(aPath, &data, &size);
    _objCopyName(o->name, aPath, sizeof(o->name));
    if (err != OBJ_NO_ERROR) {
        o->error = (uint8_t)err;
        _objCopyName(o->errfile, aPath, sizeof(o->errfile));
        return -1;
    }
    int32_t rc = _objLoadMem(o, data, size, aType, aOptP);
    std::free(data);
    return rc;
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
    _objCopyName(o->name, aName, sizeof(o->name));
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
    int32_t err = _objReadFile(aPath, &data, &size);
    if (err != OBJ_NO_ERROR) {
        if (aErrorP) *aErrorP = (OBJError)err;
        return nullptr;
    }
    st_OBJ2 *o = _openWith(data, size, aPath, aOptP, aErrorP);
    std::free(data);
    return o;
}

// This file's entries in the operation table.
void _objLoadOps(st_OBJ2 *o)
{
    o->loadObj = _loadObj;
}
