#include "Library/Draw/DrawLibDecode.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Library/Format/FORMLIB.h"
#include "System/Debug/DEBUGWIN.h"

// The whole file in a new buffer; null when it cannot be opened or read.
static uint8_t *_readFile(const char *aNameP, long *aSizeP)
{
    FILE *fileP = fopen(aNameP, "rb");
    if (fileP == nullptr)
        return nullptr;
    uint8_t *bufP = nullptr;
    long size = -1;
    if (fseek(fileP, 0, SEEK_END) == 0)
        size = ftell(fileP);
    if (size >= 0 && fseek(fileP, 0, SEEK_SET) == 0) {
        bufP = (uint8_t *)malloc(size > 0 ? (size_t)size : 1);
        if (bufP != nullptr && fread(bufP, 1, (size_t)size, fileP) != (size_t)size) {
            free(bufP);
            bufP = nullptr;
        }
    }
    fclose(fileP);
    *aSizeP = size;
    return bufP;
}

// Pixel memory for aWidth x aHeight pixels (both > 0).
static uint32_t *_allocPixels(uint32_t aWidth, uint32_t aHeight)
{
    if ((uint64_t)aWidth * aHeight * sizeof(uint32_t) > SIZE_MAX / 2)
        return nullptr;
    return (uint32_t *)malloc((size_t)aWidth * aHeight * sizeof(uint32_t));
}

// Converts the pixels of an expanded KSM block (aBodySize bytes).
static uint32_t *_ksmPixels(const uint8_t *aBodyP, uint32_t aBodySize, uint32_t *aWidthP, uint32_t *aHeightP,
                            uint32_t *aDepthP)
{
    if (aBodySize < sizeof(_ninjaHead) + sizeof(_ksmHead))
        return nullptr;
    _ksmHead head;
    memcpy(&head, aBodyP + sizeof(_ninjaHead), sizeof(head));
    if (head.width <= 0 || head.height <= 0 || (head.depth != 8 && head.depth != 24) || head.headSize < 0 ||
        head.colorSize < 0)
        return nullptr;
    uint64_t colorAt = sizeof(_ninjaHead) + (uint64_t)head.headSize;
    uint64_t pixelAt = colorAt + (uint64_t)head.colorSize;
    uint64_t count = (uint64_t)head.width * (uint64_t)head.height;
    uint64_t bytes = count * (uint64_t)(head.depth / 8);
    if (pixelAt > aBodySize || bytes > aBodySize - pixelAt)
        return nullptr;

    const uint8_t *srcP = aBodyP + pixelAt;
    uint32_t *imageP = _allocPixels((uint32_t)head.width, (uint32_t)head.height);
    if (imageP == nullptr)
        return nullptr;
    if (head.depth == 24) {
        for (uint64_t i = 0; i < count; i++, srcP += 3)
            imageP[i] = (uint32_t)srcP[0] << 24 | (uint32_t)srcP[1] << 16 | (uint32_t)srcP[2] << 8 | 0xFF;
    } else {
        const uint8_t *paletteP = aBodyP + colorAt;
        uint32_t colors = (uint32_t)head.colorSize / sizeof(_ksmRGB);
        for (uint64_t i = 0; i < count; i++) {
            uint32_t index = srcP[i];
            if (index >= colors) {
                free(imageP);
                return nullptr;
            }
            const uint8_t *rgbP = paletteP + index * sizeof(_ksmRGB);
            imageP[i] = (uint32_t)rgbP[0] << 24 | (uint32_t)rgbP[1] << 16 | (uint32_t)rgbP[2] << 8 | 0xFF;
        }
    }
    *aWidthP = (uint32_t)head.width;
    *aHeightP = (uint32_t)head.height;
    *aDepthP = (uint32_t)head.depth;
    return imageP;
}

uint32_t *sDrawDecodeKsm(const void *aDataP, long aSize, uint32_t *aWidthP, uint32_t *aHeightP, uint32_t *aDepthP)
{
    if (aDataP == nullptr || aSize < (long)sizeof(_ninjaHead))
        return nullptr;
    _ninjaHead head;
    memcpy(&head, aDataP, sizeof(head));
    if (head.type != FORMAT_TYPE_KSM || head.size < (int32_t)sizeof(head) || head.size > aSize)
        return nullptr;
    if (head.compress == FORMAT_STORED)
        return _ksmPixels((const uint8_t *)aDataP, (uint32_t)head.size, aWidthP, aHeightP, aDepthP);

    uint8_t *bodyP = sFormatExtract(aDataP, head.size);
    if (bodyP == nullptr)
        return nullptr;
    uint32_t *imageP = _ksmPixels(bodyP, (uint32_t)head.expSize, aWidthP, aHeightP, aDepthP);
    free(bodyP);
    return imageP;
}

uint32_t *sDrawLoadKsmFile(const char *aKsmNameP, uint32_t *aWidthP, uint32_t *aHeightP, uint32_t *aDepthP)
{
    long size;
    uint8_t *fileP = _readFile(aKsmNameP, &size);
    if (fileP == nullptr)
        return nullptr;
    uint32_t *imageP = sDrawDecodeKsm(fileP, size, aWidthP, aHeightP, aDepthP);
    if (imageP == nullptr)
        sDebugWinPrintMsg("KSM image refused");
    free(fileP);
    return imageP;
}

// One Targa pixel (blue, green, red[, alpha]) as 0xRRGGBBAA.
static inline uint32_t _targaPixel(const uint8_t *aSrcP, uint32_t aBytes)
{
    uint32_t alpha = aBytes == 4 ? aSrcP[3] : 0xFF;
    return (uint32_t)aSrcP[2] << 24 | (uint32_t)aSrcP[1] << 16 | (uint32_t)aSrcP[0] << 8 | alpha;
}

uint32_t *sDrawDecodeTarga(const void *aDataP, long aSize, uint32_t *aWidthP, uint32_t *aHeightP, uint32_t *aDepthP)
{
    if (aDataP == nullptr || aSize < (long)sizeof(_targaHeader))
        return nullptr;
    _targaHeader head;
    memcpy(&head, aDataP, sizeof(head));
    if (head.ColormapType != 0 || (head.ImageType != TARGA_TRUECOLOR && head.ImageType != TARGA_TRUECOLOR_RLE) ||
        (head.PixelDepth != 24 && head.PixelDepth != 32) || head.ImageWidth == 0 || head.ImageHeight == 0)
        return nullptr;
    uint32_t width = head.ImageWidth, height = head.ImageHeight;
    uint32_t bytes = head.PixelDepth / 8;
    uint32_t dataAt = sizeof(head) + head.IDLength;
    if (dataAt > (uint32_t)aSize)
        return nullptr;
    const uint8_t *srcP = (const uint8_t *)aDataP + dataAt;
    const uint8_t *endP = (const uint8_t *)aDataP + aSize;
    uint32_t count = width * height;
    uint32_t avail = (uint32_t)(endP - srcP);
    // Refuse before allocating what the file could never fill.
    if (head.ImageType == TARGA_TRUECOLOR ? (uint64_t)count * bytes > avail
                                          : (uint64_t)(count + 127) / 128 * (1 + bytes) > avail)
        return nullptr;

    uint32_t *imageP = _allocPixels(width, height);
    if (imageP == nullptr)
        return nullptr;
    bool topDown = (head.ImageDescriptor & TARGA_TOP_DOWN) != 0;
    // Pixels come in file order; p counts them and picks the destination row.
    uint32_t p = 0, x = 0, row = 0;
    uint32_t *dstP = imageP + (topDown ? 0 : (height - 1) * width);
    auto put = [&](uint32_t aValue) {
        dstP[x] = aValue;
        if (++x == width) {
            x = 0;
            if (++row < height)
                dstP = imageP + (topDown ? row : height - 1 - row) * width;
        }
        p++;
    };
    if (head.ImageType == TARGA_TRUECOLOR) {
        for (uint32_t i = 0; i < count; i++, srcP += bytes)
            put(_targaPixel(srcP, bytes));
    } else {
        while (p < count) {
            if (srcP >= endP)
                break;
            uint32_t h = *srcP++;
            uint32_t n = (h & 0x7F) + 1;
            if (n > count - p)
                break;
            if (h & 0x80) {
                if ((uint32_t)(endP - srcP) < bytes)
                    break;
                uint32_t value = _targaPixel(srcP, bytes);
                srcP += bytes;
                while (n--)
                    put(value);
            } else {
                if ((uint32_t)(endP - srcP) < n * bytes)
                    break;
                for (; n > 0; n--, srcP += bytes)
                    put(_targaPixel(srcP, bytes));
            }
        }
        if (p < count) {
            free(imageP);
            return nullptr;
        }
    }
    *aWidthP = width;
    *aHeightP = height;
    *aDepthP = head.PixelDepth;
    return imageP;
}

uint32_t *sDrawLoadTargaFile(const char *aTgaNameP, uint32_t *aWidthP, uint32_t *aHeightP, uint32_t *aDepthP)
{
    long size;
    uint8_t *fileP = _readFile(aTgaNameP, &size);
    if (fileP == nullptr)
        return nullptr;
    uint32_t *imageP = sDrawDecodeTarga(fileP, size, aWidthP, aHeightP, aDepthP);
    if (imageP == nullptr)
        sDebugWinPrintMsg("Targa image refused");
    free(fileP);
    return imageP;
}

long sDrawGetTargaSize(const char *aTgaNameP, uint32_t *aWidthP, uint32_t *aHeightP, uint32_t *aDepthP)
{
    uint32_t *imageP = sDrawLoadTargaFile(aTgaNameP, aWidthP, aHeightP, aDepthP);
    if (imageP == nullptr)
        return -1;
    free(imageP);
    return 0;
}
