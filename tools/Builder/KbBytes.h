#ifndef KESTREL_TOOLS_BUILDER_KBBYTES_H
#define KESTREL_TOOLS_BUILDER_KBBYTES_H

// Byte buffers of the content builder: little-endian writing, scrambling, files.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

typedef std::vector<uint8_t> kbBytes;

void kbPut16(kbBytes &aOut, uint32_t aValue);
void kbPut32(kbBytes &aOut, uint32_t aValue);
void kbPutBytes(kbBytes &aOut, const void *aDataP, size_t aSize);
// Pads with zeros to a multiple of aAlign; returns the new size.
size_t kbAlign(kbBytes &aOut, size_t aAlign);
void kbSet32(kbBytes &aOut, size_t aAt, uint32_t aValue);

// XORs every whole little-endian word of [aAt, aAt + aSize) with aKey.
void kbScramble(kbBytes &aOut, size_t aAt, size_t aSize, uint32_t aKey);

// Writes the bytes to aPath, creating its folders; false (with a message) on failure.
bool kbWriteFile(const std::string &aPath, const kbBytes &aData, std::string *aErrorP);
bool kbReadFile(const std::string &aPath, kbBytes *aDataP);

#endif
