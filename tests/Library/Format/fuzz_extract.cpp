// Packed blocks from untrusted bytes: sFormatExtract must refuse or expand within bounds.
#include <cstdlib>
#include <cstring>

#include "Library/Format/FORMLIB.h"

// Every byte handed out is read, so the sanitizers check all of it.
static volatile uint8_t _sink;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *aDataP, size_t aSize)
{
    uint8_t *outP = sFormatExtract(aDataP, (long)aSize);
    if (outP != nullptr) {
        int32_t expSize;
        memcpy(&expSize, outP + 12, sizeof(expSize));
        // Touch every byte so that a short allocation shows.
        uint8_t sum = 0;
        for (int32_t i = 0; i < expSize; i++)
            sum += outP[i];
        _sink = sum;
        free(outP);
    }
    if (aSize > 16) {
        // The payload alone, at a size taken from its first bytes.
        long size = (long)(aDataP[0] | aDataP[1] << 8);
        uint8_t *bodyP = sFormatSlideDecode(aDataP + 2, (long)aSize - 2, size);
        free(bodyP);
    }
    return 0;
}
