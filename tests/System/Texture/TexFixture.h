#ifndef KESTREL_TESTS_SYSTEM_TEXTURE_TEXFIXTURE_H
#define KESTREL_TESTS_SYSTEM_TEXTURE_TEXFIXTURE_H

// Image files for the texture tests, written by the content builder into the temporary folder:
// bitmaps, Targa files, KSM images, AVI clips and image packages.

#include <cstdint>
#include <string>
#include <vector>

#include "KbAvi.h"
#include "KbImage.h"
#include "KbKsf.h"

namespace tf {

// Writes the bytes to the temporary folder under aName; the full path.
std::string Write(const std::string &aName, const std::vector<uint8_t> &aData);

// Pictures of one colour (0xRRGGBBAA) or of two halves (left, right).
kbImage Flat(uint32_t aWidth, uint32_t aHeight, uint32_t aRgba);
kbImage Halves(uint32_t aWidth, uint32_t aHeight, uint32_t aLeft, uint32_t aRight);

std::string Bmp(const std::string &aName, const kbImage &aImage, int aDepth = 24);
std::string Tga(const std::string &aName, const kbImage &aImage, int aDepth = 32, int aType = 2);
std::string Ksm(const std::string &aName, const kbImage &aImage, int aDepth, int aCompress);
std::string Avi(const std::string &aName, const kbAviClip &aClip, int aDepth);
std::vector<uint8_t> BmpBytes(const kbImage &aImage, int aDepth = 24);

} // namespace tf

#endif
