#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "KbImage.h"
#include "KbPicture.h"
#include "Library/Draw/DrawCore.h"
#include "Library/Format/FORMLIB.h"

namespace {

typedef std::vector<uint8_t> Bytes;

struct Decoded {
    uint32_t *pixels = nullptr;
    uint32_t width = 0, height = 0, depth = 0;
    ~Decoded() { free(pixels); }
    std::vector<uint32_t> Pixels() const { return std::vector<uint32_t>(pixels, pixels + width * height); }
};

void Ksm(const Bytes &aFile, Decoded *aOutP)
{
    aOutP->pixels = sDrawDecodeKsm(aFile.data(), (long)aFile.size(), &aOutP->width, &aOutP->height, &aOutP->depth);
}

void Targa(const Bytes &aFile, Decoded *aOutP)
{
    aOutP->pixels = sDrawDecodeTarga(aFile.data(), (long)aFile.size(), &aOutP->width, &aOutP->height, &aOutP->depth);
}

// What a KSM holds of a picture: colour only, alpha always 0xFF.
std::vector<uint32_t> Opaque(const kbImage &aImage)
{
    std::vector<uint32_t> v = aImage.pixels;
    for (uint32_t &p : v)
        p |= 0xFF;
    return v;
}

Bytes KsmOf(const kbImage &aImage, int aDepth, int aCompress)
{
    Bytes file;
    std::string error;
    EXPECT_TRUE(kbKsmWrite(aImage, aDepth, aCompress, "pic", &file, &error)) << error;
    return file;
}

TEST(KsmDecode, EveryPackingAndDepthGivesThePicture)
{
    // Odd sizes, one pixel, and a picture larger than the slide window.
    uint32_t sizes[][2] = {{1, 1}, {7, 3}, {33, 17}, {160, 120}};
    for (auto &size : sizes)
        for (int depth : {8, 24})
            for (int compress : {KB_KSM_STORED, KB_KSM_RUNLENGTH, KB_KSM_SLIDE}) {
                kbImage image = depth == 8 ? kbPictureIndexed(size[0], size[1], 200, 3)
                                           : kbPictureSky(size[0], size[1], kbRgb(9, 20, 99), kbRgb(200, 210, 250), 1);
                Decoded d;
                Ksm(KsmOf(image, depth, compress), &d);
                std::string what = std::to_string(size[0]) + "x" + std::to_string(size[1]) + " depth " +
                                   std::to_string(depth) + " packing " + std::to_string(compress);
                ASSERT_NE(d.pixels, nullptr) << what;
                EXPECT_EQ(d.width, size[0]) << what;
                EXPECT_EQ(d.height, size[1]) << what;
                EXPECT_EQ(d.depth, (uint32_t)depth) << what;
                EXPECT_EQ(d.Pixels(), Opaque(image)) << what;
            }
}

TEST(KsmDecode, PaletteEntryBecomesRgbWithFullAlpha)
{
    std::vector<uint32_t> palette(201, 0);
    palette[200] = kbRgb(10, 20, 30);
    Decoded d;
    Ksm(KsmOf(kbImageIndexed(2, 1, palette, {200, 0}), 8, KB_KSM_STORED), &d);
    ASSERT_NE(d.pixels, nullptr);
    EXPECT_EQ(d.pixels[0], 0x0A141EFFu);
    EXPECT_EQ(d.pixels[1], 0x000000FFu);
}

TEST(KsmDecode, TwentyFourBitPixelsAreRedGreenBlue)
{
    Decoded d;
    Ksm(KsmOf(kbImageMake(1, 1, kbRgb(0x12, 0x34, 0x56, 0x00)), 24, KB_KSM_STORED), &d);
    ASSERT_NE(d.pixels, nullptr);
    EXPECT_EQ(d.pixels[0], 0x123456FFu);
}

// Offsets of fields in a stored KSM file.
enum { NINJA_SIZE = 0, NINJA_TYPE = 4, NINJA_COMPRESS = 10, KSM_HEAD = 16 };

void Set16(Bytes &aB, size_t aAt, int aValue)
{
    aB[aAt] = (uint8_t)aValue;
    aB[aAt + 1] = (uint8_t)(aValue >> 8);
}

void Set32(Bytes &aB, size_t aAt, int64_t aValue)
{
    kbSet32(aB, aAt, (uint32_t)aValue);
}

TEST(KsmDecode, RefusesDamagedFiles)
{
    kbImage indexed = kbPictureIndexed(6, 4, 16, 2);
    const Bytes stored8 = KsmOf(indexed, 8, KB_KSM_STORED);
    struct Row {
        const char *what;
        void (*damage)(Bytes &);
        bool useTwentyFour;
    } rows[] = {
        {"not @KSM", [](Bytes &b) { b[NINJA_TYPE] = 'X'; }, false},
        {"depth 16", [](Bytes &b) { Set16(b, KSM_HEAD + 16, 16); }, false},
        {"depth 32", [](Bytes &b) { Set16(b, KSM_HEAD + 16, 32); }, true},
        {"width 0", [](Bytes &b) { Set16(b, KSM_HEAD + 12, 0); }, false},
        {"negative height", [](Bytes &b) { Set16(b, KSM_HEAD + 14, -4); }, false},
        {"pixels beyond the file", [](Bytes &b) { Set16(b, KSM_HEAD + 12, 300); }, false},
        {"palette beyond the file", [](Bytes &b) { Set32(b, KSM_HEAD + 4, 1 << 20); }, false},
        {"negative palette size", [](Bytes &b) { Set32(b, KSM_HEAD + 4, -64); }, false},
        {"header size beyond the file", [](Bytes &b) { Set32(b, KSM_HEAD + 0, 0x7FFFFFF0); }, false},
        {"negative header size", [](Bytes &b) { Set32(b, KSM_HEAD + 0, -16); }, false},
        {"index outside a short palette", [](Bytes &b) { Set32(b, KSM_HEAD + 4, 4); }, false},
        {"block size beyond the file", [](Bytes &b) { Set32(b, NINJA_SIZE, (int64_t)b.size() + 1); }, false},
        {"block size below a header", [](Bytes &b) { Set32(b, NINJA_SIZE, 12); }, false},
        {"reserved packing", [](Bytes &b) { Set16(b, NINJA_COMPRESS, 2); }, false},
        {"truncated", [](Bytes &b) { b.resize(40); }, false},
    };
    for (const Row &r : rows) {
        Bytes file = r.useTwentyFour ? KsmOf(kbImageMake(3, 3), 24, KB_KSM_STORED) : stored8;
        r.damage(file);
        Decoded d;
        Ksm(file, &d);
        EXPECT_EQ(d.pixels, nullptr) << r.what;
    }
}

TEST(KsmDecode, RefusesDamagedPackedData)
{
    kbImage image = kbPictureSky(20, 10, kbRgb(9, 20, 99), kbRgb(200, 210, 250), 1);
    for (int compress : {KB_KSM_RUNLENGTH, KB_KSM_SLIDE}) {
        Bytes file = KsmOf(image, 24, compress);
        // Run-length pairs cut in half, a slide stream without its end code.
        Bytes cut(file.begin(), file.end() - (compress == KB_KSM_SLIDE ? 2 : 1));
        Set32(cut, NINJA_SIZE, (int64_t)cut.size());
        Decoded d;
        Ksm(cut, &d);
        EXPECT_EQ(d.pixels, nullptr) << "payload cut short, packing " << compress;
        Bytes big = file;
        Set32(big, 12, 0x40000000);  // expanded size no payload could describe
        Decoded e;
        Ksm(big, &e);
        EXPECT_EQ(e.pixels, nullptr) << "forged expanded size, packing " << compress;
    }
}

std::string TempPath(const char *aName)
{
    return std::string(::testing::TempDir()) + aName;
}

TEST(KsmDecode, LoadsFromAFile)
{
    kbImage image = kbPictureIndexed(9, 5, 12, 7);
    std::string path = TempPath("kestrel_decode.ksm");
    ASSERT_TRUE(kbWriteFile(path, KsmOf(image, 8, KB_KSM_SLIDE), nullptr));
    Decoded d;
    d.pixels = sDrawLoadKsmFile(path.c_str(), &d.width, &d.height, &d.depth);
    ASSERT_NE(d.pixels, nullptr);
    EXPECT_EQ(d.Pixels(), Opaque(image));
    remove(path.c_str());
    EXPECT_EQ(sDrawLoadKsmFile(path.c_str(), &d.width, &d.height, &d.depth), nullptr) << "missing file";
}

Bytes TargaOf(const kbImage &aImage, int aType, int aDepth, bool aTopDown, const std::string &aId = "")
{
    Bytes file;
    std::string error;
    EXPECT_TRUE(kbTargaWrite(aImage, aType, aDepth, aTopDown, &file, &error, aId)) << error;
    return file;
}

TEST(TargaDecode, BothTypesDepthsAndRowOrders)
{
    kbImage image = kbPictureGlow(13, 7, kbRgb(255, 128, 40));
    image.pixels[0] = kbRgb(1, 2, 3, 4);  // a marked top-left corner
    for (int type : {TARGA_TRUECOLOR, TARGA_TRUECOLOR_RLE})
        for (int depth : {24, 32})
            for (bool topDown : {false, true}) {
                Decoded d;
                Targa(TargaOf(image, type, depth, topDown, topDown ? "an ID field" : ""), &d);
                std::string what = "type " + std::to_string(type) + " depth " + std::to_string(depth) +
                                   (topDown ? " top-down" : " bottom-up");
                ASSERT_NE(d.pixels, nullptr) << what;
                EXPECT_EQ(d.width, 13u);
                EXPECT_EQ(d.height, 7u);
                EXPECT_EQ(d.depth, (uint32_t)depth);
                std::vector<uint32_t> expect = depth == 32 ? image.pixels : Opaque(image);
                EXPECT_EQ(d.Pixels(), expect) << what;
            }
}

// A hand-made Targa header.
Bytes TargaHead(int aType, int aWidth, int aHeight, int aDepth, int aDescriptor = 0)
{
    Bytes b = {0, 0, (uint8_t)aType, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    kbPut16(b, (uint32_t)aWidth);
    kbPut16(b, (uint32_t)aHeight);
    b.push_back((uint8_t)aDepth);
    b.push_back((uint8_t)aDescriptor);
    return b;
}

TEST(TargaDecode, RunLengthPacketsMayRunOnIntoTheNextRow)
{
    // 2x2 top-down, one run packet of four blue pixels.
    Bytes file = TargaHead(10, 2, 2, 24, TARGA_TOP_DOWN);
    file.insert(file.end(), {0x83, 0xFF, 0x00, 0x00});
    Decoded d;
    Targa(file, &d);
    ASSERT_NE(d.pixels, nullptr);
    EXPECT_EQ(d.Pixels(), std::vector<uint32_t>(4, 0x0000FFFFu));
}

TEST(TargaDecode, RefusesWhatItCannotRead)
{
    struct Row {
        const char *what;
        Bytes file;
    } rows[] = {
        {"colour-mapped type 1", TargaHead(1, 2, 2, 24)},
        {"grey type 3", TargaHead(3, 2, 2, 24)},
        {"16-bit pixels", TargaHead(2, 2, 2, 16)},
        {"zero width", TargaHead(2, 0, 2, 24)},
        {"pixels missing", TargaHead(2, 2, 2, 24)},
        {"packet beyond the picture", TargaHead(10, 2, 1, 24)},
        {"packets end early", TargaHead(10, 2, 2, 24)},
        {"raw packet cut short", TargaHead(10, 2, 1, 24)},
        {"header cut short", Bytes(10, 0)},
        {"ID field beyond the file", TargaHead(2, 1, 1, 24)},
        {"forged size with few packets", TargaHead(10, 65535, 65535, 32)},
    };
    rows[0].file.insert(rows[0].file.end(), 12, 0);
    rows[1].file.insert(rows[1].file.end(), 12, 0);
    rows[2].file.insert(rows[2].file.end(), 8, 0);
    rows[4].file.insert(rows[4].file.end(), 9, 0);
    rows[5].file.insert(rows[5].file.end(), {0x82, 1, 2, 3});
    rows[6].file.insert(rows[6].file.end(), {0x81, 1, 2, 3});
    rows[7].file.insert(rows[7].file.end(), {0x01, 1, 2, 3});
    rows[9].file[0] = 200;
    rows[9].file.insert(rows[9].file.end(), {1, 2, 3});
    rows[10].file.insert(rows[10].file.end(), 4096, 0xFF);
    rows[2].file[1] = 0;
    for (const Row &r : rows) {
        Decoded d;
        Targa(r.file, &d);
        EXPECT_EQ(d.pixels, nullptr) << r.what;
    }
    Bytes colorMapped = TargaOf(kbImageMake(2, 2), 2, 24, false);
    colorMapped[1] = 1;
    Decoded d;
    Targa(colorMapped, &d);
    EXPECT_EQ(d.pixels, nullptr) << "a colour map";
}

TEST(TargaDecode, FileAndSizeQuery)
{
    kbImage image = kbPictureSky(31, 9, kbRgb(1, 2, 3), kbRgb(200, 100, 50), 4);
    std::string path = TempPath("kestrel_decode.tga");
    ASSERT_TRUE(kbWriteFile(path, TargaOf(image, 10, 32, false), nullptr));
    Decoded d;
    d.pixels = sDrawLoadTargaFile(path.c_str(), &d.width, &d.height, &d.depth);
    ASSERT_NE(d.pixels, nullptr);
    EXPECT_EQ(d.Pixels(), image.pixels);
    uint32_t w = 0, h = 0, depth = 0;
    EXPECT_EQ(sDrawGetTargaSize(path.c_str(), &w, &h, &depth), 0);
    EXPECT_EQ(w, 31u);
    EXPECT_EQ(h, 9u);
    EXPECT_EQ(depth, 32u);
    remove(path.c_str());
    EXPECT_EQ(sDrawGetTargaSize(path.c_str(), &w, &h, &depth), -1);
    EXPECT_EQ(sDrawLoadTargaFile(path.c_str(), &w, &h, &depth), nullptr);
}

}  // namespace
