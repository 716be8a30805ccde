// Image packages from untrusted bytes: lookups and whole-package registration read only what the
// file holds and hand over only what they decoded.
#include <cstdlib>
#include <cstring>

#include "App/App/AppCore.h"

static volatile uint32_t gSink;
static uint8_t gBitmap;

static void _touch(const uint8_t *aP, size_t aSize)
{
    for (size_t i = 0; i < aSize; i++)
        gSink += aP[i];
}

static _ksfDrawHook _hook()
{
    _ksfDrawHook hook{};
    static uint32_t clock = 0;
    hook.timeP = []() { return clock += 17; };
    hook.flipP = []() { gSink++; };
    hook.makeKeyP = [](const char *aNameP) { return (uint32_t)strlen(aNameP); };
    hook.entryImageP = [](long aSlot, const char *aNameP, void *aImageP, uint32_t aW, uint32_t aH, uint32_t,
                          uint16_t aType, uint32_t) -> long {
        if (aSlot < 0 || aSlot >= KSF_ENTRY_MAX || strlen(aNameP) >= KSF_NAME_SIZE)
            abort();
        if (aType == KSF_TYPE_TARGA) {
            _touch((const uint8_t *)aImageP, (size_t)aW * aH * 4);
            free(aImageP);
        }
        return 0;
    };
    hook.loadBitMapP = [](const uint8_t *aDataP, long aSize, uint32_t *aW, uint32_t *aH, uint32_t *aD) -> void * {
        _touch(aDataP, (size_t)aSize);
        *aW = *aH = *aD = 1;
        return &gBitmap;
    };
    return hook;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *aDataP, size_t aSize)
{
    static const _ksfDrawHook hook = _hook();
    setKsfDrawHook(&hook);
    entryKsfMem(aDataP, (long)aSize);
    static const char *const names[] = {"glow.tga", "Data\\Com\\pic.bmp", "sky.tga", "a.tga"};
    for (const char *name : names) {
        uint32_t w, h, d;
        void *imageP = loadKsfFileMem(aDataP, (long)aSize, name, &w, &h, &d);
        if (imageP != nullptr && imageP != &gBitmap) {
            _touch((const uint8_t *)imageP, (size_t)w * h * 4);
            free(imageP);
        }
    }
    return 0;
}
