// Image packages (.ksf): one image found and decoded, or the whole package registered.

#include "App/App/AppCore.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "App/App/AppInt.h"
#include "Library/Draw/DrawCore.h"

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

// Reads one entry from the current position into aBufP, first word unscrambled.
static bool _readEntryInto(_ksfSource *aSrcP, const _ksfInfo *aInfoP, uint8_t *aBufP)
{
    if (!_sourceRead(aSrcP, aBufP, aInfoP->size))
        return false;
    _encodeBuf(aBufP, aInfoP->size < 4 ? aInfoP->size : 4, KSF_ENTRY_KEY);
    return true;
}

// The bytes of one entry, read from the current position, with the first word unscrambled.
static uint8_t *_readEntry(_ksfSource *aSrcP, const _ksfInfo *aInfoP)
{
    uint8_t *bufP = (uint8_t *)malloc(aInfoP->size > 0 ? (size_t)aInfoP->size : 1);
    if (bufP != nullptr && !_readEntryInto(aSrcP, aInfoP, bufP)) {
        free(bufP);
        return nullptr;
    }
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
    long largest = 1;
    for (long i = 0; i < dir.cnt; i++) {
        const _ksfInfo &info = dir.infoP[i];
        if (!_entryNamed(&info) || info.size < 0 || info.pos != pos || info.size > aSrcP->size - pos)
            return;
        pos += info.size;
        largest = info.size > largest ? info.size : largest;
    }
    // One buffer for every entry: the decoders copy what they keep, and a fresh block per image
    // would cost the system a page fault for every page of every image.
    uint8_t *bufP = (uint8_t *)malloc((size_t)largest);
    if (bufP == nullptr)
        return;

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
            break;
        if (!_readEntryInto(aSrcP, &info, bufP))
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
        if (imageP != nullptr && _drawHook.entryImageP != nullptr)
            _drawHook.entryImageP(i, info.name, imageP, width, height, depth, type, key);
    }
    free(bufP);
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
