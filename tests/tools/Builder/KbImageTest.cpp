#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "KbImage.h"
#include "KbPicture.h"

// The content builder's bitmap writer, read back as the system's bitmap loader reads.

namespace {

typedef std::vector<uint8_t> Bytes;

// What an opaque copy of a picture holds: alpha always 0xFF.
std::vector<uint32_t> Opaque(const kbImage &aImage)
{
    std::vector<uint32_t> v = aImage.pixels;
    for (uint32_t &p : v)
        p |= 0xFF;
    return v;
}

uint32_t Le(const Bytes &aB, size_t aAt, int aBytes)
{
    uint32_t v = 0;
    for (int i = aBytes - 1; i >= 0; i--)
        v = v << 8 | aB[aAt + i];
    return v;
}

// Reads back a bitmap the builder wrote, as the system's bitmap loader would: bottom-up rows
// padded to four bytes, blue-green-red order, palette entries blue-green-red-zero.
std::vector<uint32_t> ReadBmp(const Bytes &aFile, uint32_t *aDepthP)
{
    EXPECT_EQ(Le(aFile, 0, 2), 0x4D42u);
    EXPECT_EQ(Le(aFile, 2, 4), aFile.size());
    EXPECT_EQ(Le(aFile, 14, 4), 40u);
    uint32_t offBits = Le(aFile, 10, 4), width = Le(aFile, 18, 4), height = Le(aFile, 22, 4);
    uint32_t depth = Le(aFile, 28, 2), colors = Le(aFile, 46, 4);
    EXPECT_EQ(Le(aFile, 26, 2), 1u);
    EXPECT_EQ(Le(aFile, 30, 4), 0u) << "uncompressed";
    EXPECT_EQ(offBits, 54 + colors * 4);
    uint32_t rowSize = (width * depth / 8 + 3) & ~3u;
    EXPECT_EQ(aFile.size(), offBits + rowSize * height);
    std::vector<uint32_t> pixels;
    for (uint32_t y = 0; y < height; y++) {
        size_t row = offBits + (size_t)(height - 1 - y) * rowSize;
        for (uint32_t x = 0; x < width; x++) {
            if (depth == 8) {
                size_t entry = 54 + 4 * (size_t)aFile[row + x];
                pixels.push_back(aFile[entry + 2] << 24 | aFile[entry + 1] << 16 | aFile[entry] << 8 | 0xFF);
            } else {
                size_t at = row + x * (depth / 8);
                uint32_t alpha = depth == 32 ? aFile[at + 3] : 0xFF;
                pixels.push_back((uint32_t)aFile[at + 2] << 24 | aFile[at + 1] << 16 | aFile[at] << 8 | alpha);
            }
        }
        for (size_t pad = row + width * depth / 8; pad < row + rowSize; pad++)
            EXPECT_EQ(aFile[pad], 0) << "row padding";
    }
    *aDepthP = depth;
    return pixels;
}

TEST(BmpWrite, RowsPaddingPaletteAndDepths)
{
    kbImage indexed = kbPictureIndexed(5, 3, 7, 9);
    kbImage glow = kbPictureGlow(7, 5, kbRgb(200, 100, 50));
    struct Row {
        const kbImage *image;
        int depth;
    } rows[] = {{&indexed, 8}, {&glow, 24}, {&glow, 32}, {&indexed, 24}};
    for (const Row &r : rows) {
        Bytes file;
        std::string error;
        ASSERT_TRUE(kbBmpWrite(*r.image, r.depth, &file, &error)) << error;
        uint32_t depth = 0;
        std::vector<uint32_t> back = ReadBmp(file, &depth);
        EXPECT_EQ(depth, (uint32_t)r.depth);
        EXPECT_EQ(back, r.depth == 32 ? r.image->pixels : Opaque(*r.image)) << r.depth;
    }
    Bytes file;
    EXPECT_FALSE(kbBmpWrite(glow, 8, &file, nullptr)) << "8 bits need a palette";
    EXPECT_FALSE(kbBmpWrite(glow, 16, &file, nullptr));
}

} // namespace
