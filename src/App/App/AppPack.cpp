// What both package readers share: the scrambling and the measured open.

#include "App/App/AppCore.h"

#include <cstdio>

#include "App/App/AppInt.h"

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
FILE *_openSized(const char *aNameP, long *aSizeP)
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
