#ifndef KESTREL_TOOLS_BUILDER_KBIMAGE_H
#define KESTREL_TOOLS_BUILDER_KBIMAGE_H

// Pictures of the content builder and the image files made from them: Windows bitmaps (8, 24 and
// 32 bits), Targa files (types 2 and 10) and KSM packed images (stored, run-length, slide).

#include <string>

#include "KbBytes.h"
#include "KbSlide.h"

// Pixels are 0xRRGGBBAA, rows top to bottom. An indexed picture also has a palette (0xRRGGBBAA
// entries) and one index per pixel; its pixels are the palette entries.
struct kbImage {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint32_t> pixels;
    std::vector<uint32_t> palette;
    std::vector<uint8_t> indices;
};

kbImage kbImageMake(uint32_t aWidth, uint32_t aHeight, uint32_t aColor = 0x000000FF);
kbImage kbImageIndexed(uint32_t aWidth, uint32_t aHeight, const std::vector<uint32_t> &aPalette,
                       const std::vector<uint8_t> &aIndices);
// Gives the picture a palette of its own colours; false when it has more than 256.
bool kbImageIndex(kbImage *aImageP);

// Windows bitmap, bottom-up, uncompressed: depth 8 (needs a palette), 24 or 32.
bool kbBmpWrite(const kbImage &aImage, int aDepth, kbBytes *aOutP, std::string *aErrorP);

// Targa: type 2 or 10, depth 24 or 32, rows bottom-up unless aTopDown; aId goes into the ID field.
bool kbTargaWrite(const kbImage &aImage, int aType, int aDepth, bool aTopDown, kbBytes *aOutP,
                  std::string *aErrorP, const std::string &aId = std::string());

enum { KB_KSM_STORED = 0, KB_KSM_RUNLENGTH = 1, KB_KSM_SLIDE = 3 };

// KSM: depth 8 (needs a palette) or 24, stored or packed; aName goes into the header.
bool kbKsmWrite(const kbImage &aImage, int aDepth, int aCompress, const std::string &aName, kbBytes *aOutP,
                std::string *aErrorP, const kbSlideLevel &aLevel = kbSlideDefault);

// A packed block around an expanded one (a _ninjaHead and its body): method 1 or 3.
kbBytes kbPackBlock(const kbBytes &aExpanded, int aCompress, const kbSlideLevel &aLevel = kbSlideDefault);

#endif
