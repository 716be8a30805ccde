#ifndef KESTREL_TOOLS_MOVIE_KBAVI_H
#define KESTREL_TOOLS_MOVIE_KBAVI_H

// AVI clips of the content builder: one video stream of uncompressed frames (16-bit 5-5-5 or
// 24-bit), with an index, as Video for Windows reads them.

#include <cstdint>
#include <string>
#include <vector>

typedef std::vector<uint8_t> kbAviBytes;

// A frame is width x height pixels 0xRRGGBBAA, rows top to bottom (alpha is not stored).
struct kbAviClip {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t rate = 30;  // frames per second
    std::vector<std::vector<uint32_t>> frames;
};

// The clip as an AVI file of aDepth (16 or 24) bits per pixel; false with a message when the clip
// is empty, a frame has the wrong size or the depth is another.
bool kbAviWrite(const kbAviClip &aClip, int aDepth, kbAviBytes *aOutP, std::string *aErrorP);

#endif
