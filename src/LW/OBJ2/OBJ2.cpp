// The object database's handle: the allocation container every block comes from, the handle's
// life and operation table, and the error texts.

#include "LW/OBJ2/OBJ2.h"

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

// ---- errors and diagnostics

void _objDebug(st_OBJ2 *o, const char *aFormat, ...)
{
    if (!o->debug) return;
    va_list ap;
    va_start(ap, aFormat);
    std::vfprintf(o->debug, aFormat, ap);
    va_end(ap);
}

void _objCopyName(char *aDstP, const char *aSrcP, size_t aSize)
{
    size_t n = aSrcP ? strnlen(aSrcP, aSize - 1) : 0;
    if (n) std::memmove(aDstP, aSrcP, n);
    aDstP[n] = 0;
}

int32_t _objParmError(st_OBJ2 *o)
{
    o->error = OBJ_PARM_ERROR;
    return -1;
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

static const char *_errorStr(st_OBJ2 *o)
{
    const char *s = OBJ2_errorText(o->error);
    o->error = OBJ_NO_ERROR;
    return s;
}

// ---- the handle

st_OBJ2 *OBJ2_new(void)
{
    st_OBJ2 *o = (st_OBJ2 *)std::calloc(1, sizeof(st_OBJ2));
    if (!o) return nullptr;
    o->mem = st_MemconNew();
    if (!o->mem) {
        std::free(o);
        return nullptr;
    }
    _objGeomOps(o);
    _objNormalOps(o);
    _objUVMapOps(o);
    _objVMapOps(o);
    _objSurfOps(o);
    _objShareOps(o);
    _objSaveOps(o);
    _objLoadOps(o);
    o->errorStr = _errorStr;
    o->debug_printf = _objDebug;
    return o;
}

void OBJ2_close(st_OBJ2 **aObjPP)
{
    if (!aObjPP || !*aObjPP) return;
    st_OBJ2 *o = *aObjPP;
    if (!(o->flags & 1)) {
        // The container frees every block at once; the clears keep the counts honest first.
        _objClearLayers(o);
        _objClearSurfs(o);
        _objClearClips(o);
        _objClearTags(o);
        _objClearEnvls(o);
        st_MemconDelete(o->mem);
    }
    std::free(o);
    *aObjPP = nullptr;
}

// Empties the database for a second reading attempt.
void _objReset(st_OBJ2 *o)
{
    _objClearLayers(o);
    _objClearSurfs(o);
    _objClearClips(o);
    _objClearTags(o);
    _objClearEnvls(o);
    o->error = OBJ_NO_ERROR;
    o->type = UNKNOWN_FILE;
}
