#ifndef KESTREL_TESTS_LIBRARY_DRAW_FUZZTESTUTIL_H
#define KESTREL_TESTS_LIBRARY_DRAW_FUZZTESTUTIL_H

// Shared by the image fuzzers: an image from untrusted bytes is refused, or decoded into exactly
// width x height pixels at one of the two depths its format allows.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

typedef uint32_t *(*fuzzImageDecode)(const void *aDataP, long aSize, uint32_t *aWidthP, uint32_t *aHeightP,
                                     uint32_t *aDepthP);

// Every pixel handed out is read into it, so the sanitizers check all of them.
inline volatile uint32_t fuzzImageSink;

inline void fuzzImage(fuzzImageDecode aDecodeP, const uint8_t *aDataP, size_t aSize, uint32_t aDepthA,
                      uint32_t aDepthB)
{
    uint32_t width, height, depth;
    uint32_t *imageP = aDecodeP(aDataP, (long)aSize, &width, &height, &depth);
    if (imageP == nullptr)
        return;
    if (depth != aDepthA && depth != aDepthB)
        abort();
    uint32_t sum = 0;
    for (uint32_t i = 0; i < width * height; i++)
        sum += imageP[i];
    fuzzImageSink = sum;
    free(imageP);
}

#endif
