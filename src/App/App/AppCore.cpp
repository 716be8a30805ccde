#include "App/App/AppCore.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "Library/Draw/DrawCore.h"
#include "Common/DEBUGWIN.h"

// ---------------------------------------------------------------- frame rate

// Milliseconds from a clock that only moves forward. On Windows the runtime's clock() counts
// elapsed time in milliseconds (every system of the era has it); the platform layer replaces
// this with timeGetTime once it runs.
static uint32_t _steadyMilli(void)
{
#ifdef _WIN32
    static_assert(CLOCKS_PER_SEC == 1000, "the Windows runtime counts clock() in milliseconds");
    return (uint32_t)clock();
#else
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (uint32_t)now.tv_sec * 1000u + (uint32_t)(now.tv_nsec / 1000000);
#endif
}

uint32_t (*appMilliClockP)(void) = _steadyMilli;

static double fps;
static double fpsPeak;
static double lastTime;
static uint64_t frames;
static double fpsAve;
static double fpsAveTotal;
static double fpsAveCnt;

void clearFps(void)
{
    fps = fpsPeak = lastTime = 0.0;
    frames = 0;
    fpsAve = fpsAveTotal = fpsAveCnt = 0.0;
}

void calcFps(float *aFps, float *aFpsAve, float *aFpsPeak)
{
    float t = (float)(appMilliClockP() * 0.001);
    frames += 1;
    if (t - lastTime > 1.0) {
        fps = (double)frames / (t - lastTime);
        lastTime = t;
        frames = 0;
        fpsAveTotal += fps;
        fpsAveCnt += 1.0;
        fpsAve = fpsAveTotal / fpsAveCnt;
        if (fpsPeak < fps)
            fpsPeak = fps;
    }
    *aFps = (float)fps;
    *aFpsAve = (float)fpsAve;
    *aFpsPeak = (float)fpsPeak;
}

// ---------------------------------------------------------------- packages

void _encodeBuf(void *aBufP, long aSize, uint32_t aMagicNum)
{
    uint8_t *p = (uint8_t *)aBufP;
    for (long i = 0; i + 4 <= aSize; i += 4) {
        uint32_t w = (uint32_t)p[i] | (uint32_t)p[i + 1] << 8 | (uint32_t)p[i + 2] << 16 | (uint32_t)p[i + 3] << 24;
        w ^= aMagicNum;
        p[i] = (uint8_t)w;
        p[i + 1] = (uint8_t)(w >> 8);
        p[i + 2] = (uint8_t)(w >> 16);
        p[i + 3] = (uint8_t)(w >> 24);
    }
}

// Opens a file for binary reading and measures it.
static FILE *_openSized(const char *aNameP, long *aSizeP)
{
    if (aNameP == nullptr)
        return nullptr;
    FILE *fileP = fopen(aNameP, "rb");
    if (fileP == nullptr)
        return nullptr;
    long size = -1;
    if (fseek(fileP, 0, SEEK_END) == 0)
        size = ftell(fileP);
    if (size < 0 || fseek(fileP, 0, SEEK_SET) != 0) {
        fclose(fileP);
        return nullptr;
    }
    *aSizeP = size;
    return fileP;
}

// ---------------------------------------------------------------- scene packages

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
            long vertexSize = sSceneFvfSize(_word(aWalkP, at + offsetof(_primVertexDefSet, vertexType)));
            int32_t indexSetNum = _long(aWalkP, at + offsetof(_primVertexDefSet, indexSetNum));
            if (vertexNum < 0 || vertexSize < 0 || indexSetNum < 0 ||
                !_pointer(aWalkP, at + offsetof(_primVertexDefSet, vertexP), (uint32_t)vertexNum,
                          (uint32_t)vertexSize, 4, _REGION_DATA, false))
                return false;
            if (_word(aWalkP, at + offsetof(_primVertexDefSet, morphVertexP)) != 0) {
                long morphSize = sSceneFvfSize(_word(aWalkP, at + offsetof(_primVertexDefSet, morphVertexType)));
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

// ---------------------------------------------------------------- image packages

static _ksfDrawHook _drawHook;
static bool _drawHookSet = false;

void setKsfDrawHook(const _ksfDrawHook *aHookP)
{
    _drawHookSet = aHookP != nullptr;
    _drawHook = aHookP != nullptr ? *aHookP : _ksfDrawHook();
}

namespace {

// Where an image package's bytes come from: a file, or memory.
struct _ksfSource {
    FILE *fileP = nullptr;
    const uint8_t *memP = nullptr;
    long size = 0;
    long pos = 0;
    ~_ksfSource()
    {
        if (fileP != nullptr)
            fclose(fileP);
    }
};

struct _ksfDir {
    _ksfInfo *infoP = nullptr;
    long cnt = 0;
    ~_ksfDir() { free(infoP); }
};

}  // namespace

static bool _sourceRead(_ksfSource *aSrcP, void *aDstP, long aSize)
{
    if (aSize < 0 || aSize > aSrcP->size - aSrcP->pos)
        return false;
    if (aSrcP->fileP != nullptr) {
        if (fread(aDstP, 1, (size_t)aSize, aSrcP->fileP) != (size_t)aSize)
            return false;
    } else {
        memcpy(aDstP, aSrcP->memP + aSrcP->pos, (size_t)aSize);
    }
    aSrcP->pos += aSize;
    return true;
}

static bool _sourceSeek(_ksfSource *aSrcP, long aPos)
{
    if (aPos < 0 || aPos > aSrcP->size)
        return false;
    if (aSrcP->fileP != nullptr && aPos != aSrcP->pos && fseek(aSrcP->fileP, aPos, SEEK_SET) != 0)
        return false;
    aSrcP->pos = aPos;
    return true;
}

static bool _sourceOpen(_ksfSource *aSrcP, const char *aNameP)
{
    aSrcP->fileP = _openSized(aNameP, &aSrcP->size);
    return aSrcP->fileP != nullptr;
}

static bool _sourceMem(_ksfSource *aSrcP, const void *aPackP, long aPackSize)
{
    aSrcP->memP = (const uint8_t *)aPackP;
    aSrcP->size = aPackSize;
    return aPackP != nullptr && aPackSize >= 0;
}

// Header and directory, unscrambled; every name is kept NUL-terminated.
static bool _readDirectory(_ksfSource *aSrcP, _ksfDir *aDirP)
{
    _ksfHead head;
    if (!_sourceRead(aSrcP, &head, sizeof(head)))
        return false;
    _encodeBuf(&head, sizeof(head), KSF_HEAD_KEY);
    if (head.cnt < 0 || (int64_t)head.cnt * (int64_t)sizeof(_ksfInfo) > aSrcP->size - aSrcP->pos)
        return false;
    long bytes = head.cnt * (long)sizeof(_ksfInfo);
    aDirP->infoP = (_ksfInfo *)malloc(bytes > 0 ? bytes : 1);
    if (aDirP->infoP == nullptr || !_sourceRead(aSrcP, aDirP->infoP, bytes))
        return false;
    _encodeBuf(aDirP->infoP, bytes, KSF_INFO_KEY);
    aDirP->cnt = head.cnt;
    return true;
}

static bool _entryNamed(const _ksfInfo *aInfoP)
{
    return memchr(aInfoP->name, 0, KSF_NAME_SIZE) != nullptr;
}

// The part of the request after its last backslash, lower-cased; false when it cannot be the name
// of an entry.
static bool _requestName(const char *aImageNameP, char *aNameP)
{
    if (aImageNameP == nullptr)
        return false;
    const char *baseP = strrchr(aImageNameP, '\\');
    baseP = baseP != nullptr ? baseP + 1 : aImageNameP;
    size_t len = strlen(baseP);
    if (len >= KSF_NAME_SIZE)
        return false;
    for (size_t i = 0; i <= len; i++) {
        char c = baseP[i];
        aNameP[i] = (c >= 'A' && c <= 'Z') ? (char)(c - 'A' + 'a') : c;
    }
    return true;
}

// The bytes of one entry, read from the current position, with the first word unscrambled.
static uint8_t *_readEntry(_ksfSource *aSrcP, const _ksfInfo *aInfoP)
{
    uint8_t *bufP = (uint8_t *)malloc(aInfoP->size > 0 ? (size_t)aInfoP->size : 1);
    if (bufP == nullptr)
        return nullptr;
    if (!_sourceRead(aSrcP, bufP, aInfoP->size)) {
        free(bufP);
        return nullptr;
    }
    _encodeBuf(bufP, aInfoP->size < 4 ? aInfoP->size : 4, KSF_ENTRY_KEY);
    return bufP;
}

// Finds the requested image and reads its bytes.
static uint8_t *_findEntry(_ksfSource *aSrcP, const char *aImageNameP, _ksfInfo *aInfoP)
{
    char name[KSF_NAME_SIZE];
    _ksfDir dir;
    if (!_requestName(aImageNameP, name) || !_readDirectory(aSrcP, &dir))
        return nullptr;
    for (long i = 0; i < dir.cnt; i++) {
        const _ksfInfo &info = dir.infoP[i];
        if (!_entryNamed(&info) || strcmp(info.name, name) != 0)
            continue;
        if (info.size < 0 || info.pos < 0 || info.size > aSrcP->size - info.pos || !_sourceSeek(aSrcP, info.pos))
            return nullptr;
        *aInfoP = info;
        return _readEntry(aSrcP, &info);
    }
    return nullptr;
}

static void *_loadKsfFile(_ksfSource *aSrcP, const char *aImageNameP, uint32_t *aWidthP, uint32_t *aHeightP,
                          uint32_t *aDepthP)
{
    _ksfInfo info;
    uint8_t *bufP = _findEntry(aSrcP, aImageNameP, &info);
    if (bufP == nullptr)
        return nullptr;
    void *imageP = nullptr;
    if (strstr(info.name, ".bmp") != nullptr) {
        if (_drawHookSet && _drawHook.loadBitMapP != nullptr)
            imageP = _drawHook.loadBitMapP(bufP, info.size, aWidthP, aHeightP, aDepthP);
    } else if (strstr(info.name, ".tga") != nullptr) {
        imageP = sDrawDecodeTarga(bufP, info.size, aWidthP, aHeightP, aDepthP);
    }
    free(bufP);
    return imageP;
}

void *loadKsfFile(const char *aKsfNameP, const char *aImageNameP, uint32_t *aWidthP, uint32_t *aHeightP,
                  uint32_t *aDepthP)
{
    _ksfSource src;
    if (!_sourceOpen(&src, aKsfNameP))
        return nullptr;
    return _loadKsfFile(&src, aImageNameP, aWidthP, aHeightP, aDepthP);
}

void *loadKsfFileMem(const void *aPackP, long aPackSize, const char *aImageNameP, uint32_t *aWidthP,
                     uint32_t *aHeightP, uint32_t *aDepthP)
{
    _ksfSource src;
    if (!_sourceMem(&src, aPackP, aPackSize))
        return nullptr;
    return _loadKsfFile(&src, aImageNameP, aWidthP, aHeightP, aDepthP);
}

IDirectDrawSurface7 *loadKsf(const char *aKsfNameP, const char *aImageNameP, _DDPIXELFORMAT *aPixelP,
                             uint16_t aDrawFlg)
{
    _ksfSource src;
    _ksfInfo info;
    if (!_drawHookSet || !_sourceOpen(&src, aKsfNameP))
        return nullptr;
    uint8_t *bufP = _findEntry(&src, aImageNameP, &info);
    if (bufP == nullptr)
        return nullptr;
    IDirectDrawSurface7 *surfaceP = nullptr;
    if (strstr(info.name, ".bmp") != nullptr) {
        if (_drawHook.loadBitMapSurfaceP != nullptr)
            surfaceP = _drawHook.loadBitMapSurfaceP(bufP, info.size, aPixelP, aDrawFlg);
    } else if (strstr(info.name, ".tga") != nullptr && _drawHook.loadTargaImageP != nullptr) {
        uint32_t width, height, depth;
        uint32_t *imageP = sDrawDecodeTarga(bufP, info.size, &width, &height, &depth);
        if (imageP != nullptr)
            surfaceP = _drawHook.loadTargaImageP(imageP, width, height, depth, aPixelP, aDrawFlg);
        free(imageP);
    }
    free(bufP);
    return surfaceP;
}

static void _entryKsf(_ksfSource *aSrcP)
{
    _ksfDir dir;
    if (!_drawHookSet || !_readDirectory(aSrcP, &dir) || dir.cnt > KSF_ENTRY_MAX)
        return;
    // The entries are read one after the other, so the directory must describe them back to back.
    int64_t pos = aSrcP->pos;
    for (long i = 0; i < dir.cnt; i++) {
        const _ksfInfo &info = dir.infoP[i];
        if (!_entryNamed(&info) || info.size < 0 || info.pos != pos || info.size > aSrcP->size - pos)
            return;
        pos += info.size;
    }

    uint32_t lastTime = _drawHook.timeP != nullptr ? _drawHook.timeP() : 0;
    for (long i = 0; i < dir.cnt; i++) {
        const _ksfInfo &info = dir.infoP[i];
        // Keep the loading screen alive.
        if (_drawHook.timeP != nullptr && _drawHook.flipP != nullptr && _drawHook.timeP() - lastTime > 33) {
            _drawHook.flipP();
            lastTime = _drawHook.timeP();
        }
        // A skipped entry must not shift the ones after it.
        if (!_sourceSeek(aSrcP, info.pos))
            return;
        uint8_t *bufP = _readEntry(aSrcP, &info);
        if (bufP == nullptr)
            continue;
        uint32_t key = _drawHook.makeKeyP != nullptr ? _drawHook.makeKeyP(info.name) : 0;
        uint32_t width = 0, height = 0, depth = 0;
        void *imageP = nullptr;
        uint16_t type = 0;
        if (strstr(info.name, ".bmp") != nullptr) {
            type = KSF_TYPE_BITMAP;
            if (_drawHook.loadBitMapP != nullptr)
                imageP = _drawHook.loadBitMapP(bufP, info.size, &width, &height, &depth);
        } else if (strstr(info.name, ".tga") != nullptr) {
            type = KSF_TYPE_TARGA;
            imageP = sDrawDecodeTarga(bufP, info.size, &width, &height, &depth);
        }
        free(bufP);
        if (imageP != nullptr && _drawHook.entryImageP != nullptr)
            _drawHook.entryImageP(i, info.name, imageP, width, height, depth, type, key);
    }
}

long entryKsf(const char *aNameP)
{
    _ksfSource src;
    if (_sourceOpen(&src, aNameP))
        _entryKsf(&src);
    return -1;
}

long entryKsfMem(const void *aPackP, long aPackSize)
{
    _ksfSource src;
    if (_sourceMem(&src, aPackP, aPackSize))
        _entryKsf(&src);
    return -1;
}

// ---------------------------------------------------------------- temporary files

// The folder for temporary files, looked up as the system does (GetTempPath on Windows, the
// TMPDIR family elsewhere); the current folder when none of them names a folder.
static std::string _tempFolder(void)
{
#ifdef _WIN32
    static const char *const kNames[] = {"TMP", "TEMP", "USERPROFILE"};
#else
    static const char *const kNames[] = {"TMPDIR", "TMP", "TEMP", "TEMPDIR"};
#endif
    for (const char *name : kNames) {
        const char *value = getenv(name);
        struct stat info;
        if (value && *value && stat(value, &info) == 0 && (info.st_mode & S_IFMT) == S_IFDIR)
            return value;
    }
#ifdef _WIN32
    return ".";
#else
    return "/tmp";
#endif
}

long _saveFile(const void *aBufP, long aSize, char *aNameP)
{
    static uint32_t _unique = 0;
    if (aBufP == nullptr || aSize < 0 || aNameP == nullptr)
        return -1;
    std::string folder = _tempFolder();
    if (folder.back() != '/' && folder.back() != '\\')
#ifdef _WIN32
        folder += '\\';
#else
        folder += '/';
#endif
    if (_unique == 0)
        _unique = (uint32_t)time(nullptr) ^ (uint32_t)clock();
    for (int attempt = 0; attempt < 0x10000; attempt++) {
        uint32_t number = (_unique++ & 0xFFFF);
        char name[16];
        snprintf(name, sizeof(name), "Gen%04X.tmp", (unsigned)number);
        std::string path = folder + name;
        if (path.size() >= 260)
            return -1;
#ifdef _WIN32
        int fd = _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
#else
        int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
#endif
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return -1;
        }
        const uint8_t *p = (const uint8_t *)aBufP;
        long left = aSize;
        bool ok = true;
        while (left > 0 && ok) {
#ifdef _WIN32
            int n = _write(fd, p, (unsigned)(left > 0x10000000 ? 0x10000000 : left));
#else
            long n = write(fd, p, (size_t)left);
#endif
            ok = n > 0;
            if (ok) {
                p += n;
                left -= n;
            }
        }
#ifdef _WIN32
        ok = _close(fd) == 0 && ok;
#else
        ok = close(fd) == 0 && ok;
#endif
        if (!ok) {
            remove(path.c_str());
            return -1;
        }
        memcpy(aNameP, path.c_str(), path.size() + 1);
        return 0;
    }
    return -1;
}
