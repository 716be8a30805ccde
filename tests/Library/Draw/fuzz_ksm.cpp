// KSM files from untrusted bytes: refused, or decoded into exactly width x height pixels.
#include <cstdlib>

#include "Library/Draw/DrawCore.h"

// Every byte handed out is read, so the sanitizers check all of it.
static volatile uint32_t _sink;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *aDataP, size_t aSize)
{
    uint32_t width, height, depth;
    uint32_t *imageP = sDrawDecodeKsm(aDataP, (long)aSize, &width, &height, &depth);
    if (imageP != nullptr) {
        if (depth != 8 && depth != 24)
            abort();
        uint32_t sum = 0;
        for (uint32_t i = 0; i < width * height; i++)
            sum += imageP[i];
        _sink = sum;
        free(imageP);
    }
    return 0;
}
