// Scene packages (.ksx): loading, and the walk that checks every offset before relocating.

#include "App/App/AppCore.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "App/App/AppInt.h"
#include "Common/DEBUGWIN.h"
#include "Common/VertexFormat.h"

static uint8_t *_loadKsx(const char *aNameP, long *aSizeP)
{
    long fileSize;
    FILE *fileP = _openSized(aNameP, &fileSize);
    if (fileP == nullptr)
        return nullptr;
    uint8_t *dataP = nullptr;
    _ksxHead head;
    if (fread(&head, 1, sizeof(head), fileP) == sizeof(head)) {
        _encodeBuf(&head, sizeof(head), KSX_HEAD_KEY);
        // The header's size may not promise more than the file holds.
        if (head.size > 0 && head.size <= fileSize - (long)sizeof(head)) {
            dataP = (uint8_t *)malloc(head.size);
            if (dataP != nullptr && fread(dataP, 1, head.size, fileP) != (size_t)head.size) {
                free(dataP);
                dataP = nullptr;
            }
        }
    }
    fclose(fileP);
    if (dataP != nullptr)
        *aSizeP = head.size;
    return dataP;
}

uint8_t *loadKsx(const char *aNameP)
{
    long size;
    return _loadKsx(aNameP, &size);
}

namespace {

// A growable list (malloc based: the readers do not throw).
template <class T>
struct _list {
    T *p = nullptr;
    uint32_t n = 0, cap = 0;
    ~_list() { free(p); }
    bool Push(const T &aValue)
    {
        if (n == cap) {
            uint32_t newCap = cap ? cap * 2 : 256;
            T *newP = (T *)realloc(p, sizeof(T) * newCap);
            if (newP == nullptr)
                return false;
            p = newP;
            cap = newCap;
        }
        p[n++] = aValue;
        return true;
    }
};

// How a region of the package may be shared. Exclusive regions hold pointer fields, counts or
// names, so a second claim would mean a second fix-up; texture sets and emitter bodies hold no
// pointers and may be shared whole. Plain data (key tables, tracks, vertices, indices) is only
// read and claims nothing.
enum { _REGION_EXCLUSIVE = 0, _REGION_TEXSET = 1, _REGION_PARTICLE = 2, _REGION_DATA = 3 };

struct _region {
    uint32_t at, size, kind;
};

struct _ksxWalk {
    uint8_t *baseP;
    uint32_t size;
    _list<uint32_t> fields;  // positions of the pointer fields to fix up
    _list<_region> regions;
};

}  // namespace

static uint32_t _word(const _ksxWalk *aWalkP, uint32_t aAt)
{
    uint32_t v;
    memcpy(&v, aWalkP->baseP + aAt, sizeof(v));
    return v;
}

static int32_t _long(const _ksxWalk *aWalkP, uint32_t aAt)
{
    return (int32_t)_word(aWalkP, aAt);
}

static uint16_t _half(const _ksxWalk *aWalkP, uint32_t aAt)
{
    uint16_t v;
    memcpy(&v, aWalkP->baseP + aAt, sizeof(v));
    return v;
}

// Checks the pointer field at aFieldAt that refers to aCount records of aElemSize bytes and
// records it for fix-up. The target offset comes back in *aTargetP (0 for null).
static bool _pointer(_ksxWalk *aWalkP, uint32_t aFieldAt, uint64_t aCount, uint32_t aElemSize, uint32_t aAlign,
                     uint32_t aKind, bool aNullOk, uint32_t *aTargetP = nullptr)
{
    uint32_t v = _word(aWalkP, aFieldAt);
    if (aTargetP != nullptr)
        *aTargetP = v;
    if (v == 0)
        return aNullOk || aCount == 0;
    uint64_t bytes = aCount * aElemSize;
    if (v % aAlign != 0 || v >= aWalkP->size || bytes > aWalkP->size - v)
        return false;
    if (!aWalkP->fields.Push(aFieldAt))
        return false;
    if (aKind != _REGION_DATA && bytes > 0)
        return aWalkP->regions.Push({v, (uint32_t)bytes, aKind});
    return true;
}

static bool _named(const _ksxWalk *aWalkP, uint32_t aAt)
{
    return memchr(aWalkP->baseP + aAt, 0, SCENE_NAME_SIZE) != nullptr;
}

static bool _shapeIndex(int32_t aNum, uint32_t aShapeCnt)
{
    return aNum == -1 || (aNum >= 0 && (uint32_t)aNum < aShapeCnt);
}

// One shape body: its abilities, their texture sets and vertex sets, and those sets' index sets.
static bool _loadShapeDef(_ksxWalk *aWalkP, uint32_t aBodyAt)
{
    if (_word(aWalkP, aBodyAt + offsetof(_shapeDef, shadowCastDefP)) != 0 ||
        _word(aWalkP, aBodyAt + offsetof(_shapeDef, effectDefP)) != 0 ||
        _word(aWalkP, aBodyAt + offsetof(_shapeDef, workP)) != 0)
        return false;
    int32_t abilityNum = _long(aWalkP, aBodyAt + offsetof(_shapeDef, abilityDefNum));
    uint32_t listAt;
    if (abilityNum < 0 || !_pointer(aWalkP, aBodyAt + offsetof(_shapeDef, abilityDefP), (uint32_t)abilityNum,
                                    sizeof(_abilityDef *), 4, _REGION_EXCLUSIVE, false, &listAt))
        return false;
    for (int32_t a = 0; a < abilityNum; a++) {
        uint32_t abilityAt;
        if (!_pointer(aWalkP, listAt + 4 * a, 1, sizeof(_abilityDef), 4, _REGION_EXCLUSIVE, false, &abilityAt))
            return false;
        int32_t stageNum = _long(aWalkP, abilityAt + offsetof(_abilityDef, texStageNum));
        int32_t setNum = _long(aWalkP, abilityAt + offsetof(_abilityDef, vertexDefSetNum));
        uint32_t setAt;
        if (stageNum < 0 || setNum < 0 ||
            !_pointer(aWalkP, abilityAt + offsetof(_abilityDef, texSetP), (uint32_t)stageNum, sizeof(_textureSet), 4,
                      _REGION_TEXSET, false) ||
            !_pointer(aWalkP, abilityAt + offsetof(_abilityDef, vertexDefSetP), (uint32_t)setNum,
                      sizeof(_primVertexDefSet), 4, _REGION_EXCLUSIVE, false, &setAt))
            return false;
        for (int32_t v = 0; v < setNum; v++) {
            uint32_t at = setAt + v * (uint32_t)sizeof(_primVertexDefSet);
            int32_t vertexNum = _long(aWalkP, at + offsetof(_primVertexDefSet, vertexNum));
            long vertexSize = sFvfGetSize(_word(aWalkP, at + offsetof(_primVertexDefSet, vertexType)));
            int32_t indexSetNum = _long(aWalkP, at + offsetof(_primVertexDefSet, indexSetNum));
            if (vertexNum < 0 || vertexSize < 0 || indexSetNum < 0 ||
                !_pointer(aWalkP, at + offsetof(_primVertexDefSet, vertexP), (uint32_t)vertexNum,
                          (uint32_t)vertexSize, 4, _REGION_DATA, false))
                return false;
            if (_word(aWalkP, at + offsetof(_primVertexDefSet, morphVertexP)) != 0) {
                long morphSize = sFvfGetSize(_word(aWalkP, at + offsetof(_primVertexDefSet, morphVertexType)));
                if (morphSize < 0 || !_pointer(aWalkP, at + offsetof(_primVertexDefSet, morphVertexP),
                                               (uint32_t)vertexNum, (uint32_t)morphSize, 4, _REGION_DATA, true))
                    return false;
            }
            uint32_t indexSetAt;
            if (!_pointer(aWalkP, at + offsetof(_primVertexDefSet, indexSetP), (uint32_t)indexSetNum,
                          sizeof(_primIndexDefSet), 4, _REGION_EXCLUSIVE, false, &indexSetAt))
                return false;
            for (int32_t i = 0; i < indexSetNum; i++) {
                uint32_t iat = indexSetAt + i * (uint32_t)sizeof(_primIndexDefSet);
                int32_t indexNum = _long(aWalkP, iat + offsetof(_primIndexDefSet, indexNum));
                if (indexNum < 0 || !_pointer(aWalkP, iat + offsetof(_primIndexDefSet, indexP), (uint32_t)indexNum,
                                              sizeof(uint16_t), 2, _REGION_DATA, false))
                    return false;
            }
        }
    }
    return true;
}

// Bodies are shared by name: among the objects of one kind that have a body, the first of each
// name fixes the body up and the others must point to that same body.
static bool _shareByName(_ksxWalk *aWalkP, uint32_t aArrayAt, uint32_t aCount, uint32_t aRecSize,
                         uint32_t aNameAt, uint32_t aDefAt, bool (*aFixP)(_ksxWalk *, uint32_t))
{
    uint32_t *orderP = (uint32_t *)malloc(sizeof(uint32_t) * (aCount ? aCount : 1));
    if (orderP == nullptr)
        return false;
    uint32_t n = 0;
    for (uint32_t i = 0; i < aCount; i++)
        if (_word(aWalkP, aArrayAt + i * aRecSize + aDefAt) != 0)
            orderP[n++] = i;
    const char *baseP = (const char *)aWalkP->baseP;
    std::sort(orderP, orderP + n, [&](uint32_t a, uint32_t b) {
        int c = strcmp(baseP + aArrayAt + a * aRecSize + aNameAt, baseP + aArrayAt + b * aRecSize + aNameAt);
        return c != 0 ? c < 0 : a < b;
    });
    bool ok = true;
    for (uint32_t k = 0; k < n && ok; k++) {
        uint32_t at = aArrayAt + orderP[k] * aRecSize;
        if (k > 0) {
            uint32_t firstAt = aArrayAt + orderP[k - 1] * aRecSize;
            if (strcmp(baseP + at + aNameAt, baseP + firstAt + aNameAt) == 0) {
                ok = _word(aWalkP, at + aDefAt) == _word(aWalkP, firstAt + aDefAt);
                continue;
            }
        }
        ok = aFixP(aWalkP, _word(aWalkP, at + aDefAt));
    }
    free(orderP);
    return ok;
}

static bool _shapeBody(_ksxWalk *aWalkP, uint32_t aBodyAt)
{
    // The body pointer itself was recorded with the shape; claim and walk the body.
    return aWalkP->regions.Push({aBodyAt, sizeof(_shapeDef), _REGION_EXCLUSIVE}) && _loadShapeDef(aWalkP, aBodyAt);
}

static bool _spriteBody(_ksxWalk *aWalkP, uint32_t aBodyAt)
{
    return aWalkP->regions.Push({aBodyAt, sizeof(_spriteDef), _REGION_EXCLUSIVE}) &&
           _pointer(aWalkP, aBodyAt + offsetof(_spriteDef, texSetP), _word(aWalkP, aBodyAt + offsetof(_spriteDef, texSetNum)),
                    sizeof(_textureSet), 4, _REGION_TEXSET, false);
}

// Shape parents must not loop, or the coordinate frames would hang under themselves.
static bool _parentsAcyclic(const _ksxWalk *aWalkP, uint32_t aShapeAt, uint32_t aShapeCnt)
{
    uint8_t *stateP = (uint8_t *)calloc(aShapeCnt ? aShapeCnt : 1, 1);  // 1 on the current path, 2 done
    if (stateP == nullptr)
        return false;
    bool ok = true;
    for (uint32_t i = 0; i < aShapeCnt && ok; i++) {
        int32_t s = (int32_t)i;
        while (s != -1 && stateP[s] == 0) {
            stateP[s] = 1;
            s = _long(aWalkP, aShapeAt + s * (uint32_t)sizeof(_sceneShapeDef) + offsetof(_sceneShapeDef, parentShapeNum));
        }
        if (s != -1 && stateP[s] == 1)
            ok = false;
        for (s = (int32_t)i; s != -1 && stateP[s] == 1;
             s = _long(aWalkP, aShapeAt + s * (uint32_t)sizeof(_sceneShapeDef) + offsetof(_sceneShapeDef, parentShapeNum)))
            stateP[s] = 2;
    }
    free(stateP);
    return ok;
}

// The checks of one record, as a table walked by _checkFields.
enum : uint8_t {
    _FIELD_POINTER,  // a pointer to count records, checked and recorded for fix-up
    _FIELD_PARENT,   // a shape number: -1 or a shape of the scene
    _FIELD_NAME,     // a NUL-terminated name
    _FIELD_ZERO,     // a word that must be 0
    _FIELD_MOTION,   // the motion head at the record's start
};

// Where a pointer field's record count comes from.
enum : uint8_t {
    _COUNT_ONE,     // one record
    _COUNT_FRAMES,  // one per frame of the scene
    _COUNT_WORD,    // the 32-bit count at countAt of the same record
};

struct _fieldDesc {
    uint8_t kind;
    uint8_t countFrom;
    uint8_t region;
    bool nullOk;
    uint32_t at;
    uint32_t countAt;
    uint32_t elemSize;
};

#define _PTR_COUNTED(aRec, aField, aCount, aElem) \
    {_FIELD_POINTER, _COUNT_WORD, _REGION_DATA, true, offsetof(aRec, aField), offsetof(aRec, aCount), sizeof(aElem)}
#define _PTR_FRAMES(aAt, aElem) {_FIELD_POINTER, _COUNT_FRAMES, _REGION_DATA, true, (uint32_t)(aAt), 0, sizeof(aElem)}
#define _PTR_ONE(aRec, aField, aElem, aRegion) \
    {_FIELD_POINTER, _COUNT_ONE, aRegion, true, offsetof(aRec, aField), 0, sizeof(aElem)}
#define _CHECK(aKind, aRec, aField) {aKind, 0, 0, false, offsetof(aRec, aField), 0, 0}
#define _MOTION {_FIELD_MOTION, 0, 0, false, 0, 0, 0}

static const _fieldDesc _motionFields[] = {
    _PTR_COUNTED(_sceneMotionDef, transFrameP, transFrameCnt, _sceneVectorDef),
    _PTR_COUNTED(_sceneMotionDef, angleFrameP, angleFrameCnt, _sceneVectorDef),
    _PTR_COUNTED(_sceneMotionDef, scaleFrameP, scaleFrameCnt, _sceneVectorDef),
    _PTR_COUNTED(_sceneMotionDef, indexP, indexCnt, _sceneIndexDef),
};

// The scene's own tables of one value a frame.
static const _fieldDesc _sceneFields[] = {
    _PTR_FRAMES(offsetof(_sceneDef, illuminate) + offsetof(_sceneIlluminateDef, ambientIntensityP), float),
    _PTR_FRAMES(offsetof(_sceneDef, fog) + offsetof(_sceneFogDef, minDistP), float),
    _PTR_FRAMES(offsetof(_sceneDef, fog) + offsetof(_sceneFogDef, maxDistP), float),
    _PTR_FRAMES(offsetof(_sceneDef, fog) + offsetof(_sceneFogDef, minAmountP), float),
    _PTR_FRAMES(offsetof(_sceneDef, fog) + offsetof(_sceneFogDef, maxAmountP), float),
};

static const _fieldDesc _shapeFields[] = {
    // Movie bindings are never relocated, so a package cannot carry any.
    _CHECK(_FIELD_ZERO, _sceneShapeDef, aviCnt),
    _CHECK(_FIELD_ZERO, _sceneShapeDef, aviDefP),
    _CHECK(_FIELD_PARENT, _sceneShapeDef, parentShapeNum),
    _CHECK(_FIELD_NAME, _sceneShapeDef, name),
    _MOTION,
    _PTR_COUNTED(_sceneShapeDef, dissolveFrameP, dissolveFrameCnt, float),
    _PTR_COUNTED(_sceneShapeDef, morphFrameP, morphFrameCnt, float),
    _PTR_ONE(_sceneShapeDef, defP, _shapeDef, _REGION_DATA),
};

static const _fieldDesc _lightFields[] = {
    _CHECK(_FIELD_PARENT, _sceneLightDef, parentShapeNum),
    _MOTION,
    _PTR_FRAMES(offsetof(_sceneLightDef, colorP), D3DCOLORVALUE),
    _PTR_FRAMES(offsetof(_sceneLightDef, intensityP), float),
};

static const _fieldDesc _cameraFields[] = {
    _CHECK(_FIELD_PARENT, _sceneCameraDef, parentShapeNum),
    _CHECK(_FIELD_PARENT, _sceneCameraDef, targetShapeNum),
    _MOTION,
    _PTR_FRAMES(offsetof(_sceneCameraDef, zoomFactorP), float),
};

static const _fieldDesc _spriteFields[] = {
    _CHECK(_FIELD_PARENT, _sceneSpriteDef, parentShapeNum),
    _CHECK(_FIELD_NAME, _sceneSpriteDef, name),
    _MOTION,
    _PTR_COUNTED(_sceneSpriteDef, patternFrameP, patternFrameCnt, uint32_t),
    _PTR_ONE(_sceneSpriteDef, defP, _spriteDef, _REGION_DATA),
};

static const _fieldDesc _particleFields[] = {
    _CHECK(_FIELD_PARENT, _sceneParticleDef, parentShapeNum),
    _CHECK(_FIELD_NAME, _sceneParticleDef, name),
    _MOTION,
    _PTR_ONE(_sceneParticleDef, defP, _particleDef, _REGION_PARTICLE),
};

#undef _PTR_COUNTED
#undef _PTR_FRAMES
#undef _PTR_ONE
#undef _CHECK
#undef _MOTION

// The scene's object lists, in the order they are walked. Objects that name a shared body are
// checked by name (_shareByName); shape parents also must not loop.
struct _listDesc {
    uint32_t pointerAt;  // of the list in _sceneDef
    uint32_t countAt;    // of its 16-bit count in _sceneDef
    uint32_t recSize;
    const _fieldDesc *fieldP;
    uint32_t fieldCnt;
    bool acyclic;
    uint32_t nameAt;  // shared bodies: the name and body pointer of a record, and the body's walk
    uint32_t bodyAt;
    bool (*bodyP)(_ksxWalk *aWalkP, uint32_t aBodyAt);
};

#define _LIST(aPtr, aCnt, aRec, aFields, aAcyclic) \
    {offsetof(_sceneDef, aPtr), offsetof(_sceneDef, aCnt), sizeof(aRec), aFields, \
     sizeof(aFields) / sizeof(aFields[0]), aAcyclic, 0, 0, nullptr}
#define _LIST_SHARED(aPtr, aCnt, aRec, aFields, aAcyclic, aBodyP) \
    {offsetof(_sceneDef, aPtr), offsetof(_sceneDef, aCnt), sizeof(aRec), aFields, \
     sizeof(aFields) / sizeof(aFields[0]), aAcyclic, offsetof(aRec, name), offsetof(aRec, defP), aBodyP}

static const _listDesc _sceneLists[] = {
    _LIST_SHARED(shapeP, shapeCnt, _sceneShapeDef, _shapeFields, true, _shapeBody),
    _LIST(lightP, lightCnt, _sceneLightDef, _lightFields, false),
    _LIST(cameraP, cameraCnt, _sceneCameraDef, _cameraFields, false),
    _LIST_SHARED(spriteP, spriteCnt, _sceneSpriteDef, _spriteFields, false, _spriteBody),
    _LIST(particleP, particleCnt, _sceneParticleDef, _particleFields, false),
};
#undef _LIST
#undef _LIST_SHARED

enum { _LIST_CNT = sizeof(_sceneLists) / sizeof(_sceneLists[0]) };

// Checks the fields of the record at aRecAt.
static bool _checkFields(_ksxWalk *aWalkP, uint32_t aRecAt, const _fieldDesc *aFieldP, uint32_t aFieldCnt,
                         uint32_t aFrameCnt, uint32_t aShapeCnt)
{
    for (uint32_t i = 0; i < aFieldCnt; i++) {
        const _fieldDesc &f = aFieldP[i];
        const uint32_t at = aRecAt + f.at;
        bool ok = false;
        switch (f.kind) {
        case _FIELD_POINTER: {
            const uint32_t count = f.countFrom == _COUNT_ONE      ? 1
                                   : f.countFrom == _COUNT_FRAMES ? aFrameCnt
                                                                  : _word(aWalkP, aRecAt + f.countAt);
            ok = _pointer(aWalkP, at, count, f.elemSize, 4, f.region, f.nullOk);
            break;
        }
        case _FIELD_PARENT:
            ok = _shapeIndex(_long(aWalkP, at), aShapeCnt);
            break;
        case _FIELD_NAME:
            ok = _named(aWalkP, at);
            break;
        case _FIELD_ZERO:
            ok = _word(aWalkP, at) == 0;
            break;
        case _FIELD_MOTION:
            ok = _checkFields(aWalkP, aRecAt, _motionFields, sizeof(_motionFields) / sizeof(_motionFields[0]),
                              aFrameCnt, aShapeCnt);
            break;
        }
        if (!ok)
            return false;
    }
    return true;
}

// Walks the scene in the order of its pointer fields, checking every one against the data: the
// lists' pointers, the scene's own tables, then list by list every record and the bodies.
static bool _loadSceneDef(_ksxWalk *aWalkP)
{
    if (aWalkP->size < sizeof(_sceneDef))
        return false;
    if (!aWalkP->regions.Push({0, sizeof(_sceneDef), _REGION_EXCLUSIVE}))
        return false;
    const uint32_t frameCnt = _half(aWalkP, offsetof(_sceneDef, frameCnt));
    const uint32_t shapeCnt = _half(aWalkP, offsetof(_sceneDef, shapeCnt));
    uint32_t listAt[_LIST_CNT];
    for (uint32_t l = 0; l < _LIST_CNT; l++) {
        const _listDesc &list = _sceneLists[l];
        if (!_pointer(aWalkP, list.pointerAt, _half(aWalkP, list.countAt), list.recSize, 4, _REGION_EXCLUSIVE, false,
                      &listAt[l]))
            return false;
    }
    if (!_checkFields(aWalkP, 0, _sceneFields, sizeof(_sceneFields) / sizeof(_sceneFields[0]), frameCnt, shapeCnt))
        return false;
    for (uint32_t l = 0; l < _LIST_CNT; l++) {
        const _listDesc &list = _sceneLists[l];
        const uint32_t count = _half(aWalkP, list.countAt);
        for (uint32_t i = 0; i < count; i++)
            if (!_checkFields(aWalkP, listAt[l] + i * list.recSize, list.fieldP, list.fieldCnt, frameCnt, shapeCnt))
                return false;
        if (list.acyclic && !_parentsAcyclic(aWalkP, listAt[l], count))
            return false;
        if (list.bodyP != nullptr &&
            !_shareByName(aWalkP, listAt[l], count, list.recSize, list.nameAt, list.bodyAt, list.bodyP))
            return false;
    }
    return true;
}

// Claimed regions may not overlap, except whole texture sets and emitter bodies shared as they
// are. The texture names of every distinct set are checked once here.
static bool _checkRegions(_ksxWalk *aWalkP)
{
    _region *regionP = aWalkP->regions.p;
    uint32_t n = aWalkP->regions.n;
    std::sort(regionP, regionP + n, [](const _region &a, const _region &b) {
        return a.at != b.at ? a.at < b.at : a.size != b.size ? a.size < b.size : a.kind < b.kind;
    });
    uint64_t end = 0;
    for (uint32_t i = 0; i < n; i++) {
        const _region &r = regionP[i];
        if (i > 0 && r.at < end) {
            const _region &q = regionP[i - 1];
            if (r.at != q.at || r.size != q.size || r.kind != q.kind || r.kind == _REGION_EXCLUSIVE)
                return false;
            continue;
        }
        end = (uint64_t)r.at + r.size;
        uint32_t setAt = r.kind == _REGION_PARTICLE ? r.at + offsetof(_particleDef, texSet) : r.at;
        uint32_t setCnt = r.kind == _REGION_TEXSET ? r.size / sizeof(_textureSet) : r.kind == _REGION_PARTICLE ? 1 : 0;
        for (uint32_t k = 0; k < setCnt; k++, setAt += sizeof(_textureSet))
            if (!_named(aWalkP, setAt + offsetof(_textureSet, fileName)) ||
                !_named(aWalkP, setAt + offsetof(_textureSet, alphaFileName)))
                return false;
    }
    return true;
}

long relocKsx(uint8_t *aDataP, long aSize)
{
    if (aDataP == nullptr || aSize <= 0)
        return -1;
    _ksxWalk walk;
    walk.baseP = aDataP;
    walk.size = (uint32_t)aSize;
    if (!_loadSceneDef(&walk) || !_checkRegions(&walk)) {
        sDebugWinPrintMsg("scene package: damaged data");
        return -1;
    }
    for (uint32_t i = 0; i < walk.fields.n; i++) {
        uint8_t *fieldP = aDataP + walk.fields.p[i];
        uint32_t v;
        memcpy(&v, fieldP, sizeof(v));
        void *addressP = aDataP + v;
        memcpy(fieldP, &addressP, sizeof(addressP));
    }
    return 0;
}

uint8_t *entryKsx(const char *aNameP)
{
    long size;
    uint8_t *dataP = _loadKsx(aNameP, &size);
    if (dataP != nullptr && relocKsx(dataP, size) != 0) {
        free(dataP);
        dataP = nullptr;
    }
    return dataP;
}

uint8_t *entryKsxMem(const void *aFileP, long aFileSize)
{
    if (aFileP == nullptr || aFileSize < (long)sizeof(_ksxHead))
        return nullptr;
    _ksxHead head;
    memcpy(&head, aFileP, sizeof(head));
    _encodeBuf(&head, sizeof(head), KSX_HEAD_KEY);
    if (head.size <= 0 || head.size > aFileSize - (long)sizeof(head))
        return nullptr;
    uint8_t *dataP = (uint8_t *)malloc(head.size);
    if (dataP == nullptr)
        return nullptr;
    memcpy(dataP, (const uint8_t *)aFileP + sizeof(head), head.size);
    if (relocKsx(dataP, head.size) != 0) {
        free(dataP);
        return nullptr;
    }
    return dataP;
}
