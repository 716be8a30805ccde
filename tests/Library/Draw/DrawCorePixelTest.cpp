// Pixel arithmetic of the draw manager and the image loaders, and file-name splitting.

#include "Library/Draw/DrawCore.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

const _drawMasks k565 = {0xF800, 0x07E0, 0x001F, 0};
const _drawMasks k1555 = {0x7C00, 0x03E0, 0x001F, 0x8000};
const _drawMasks k8888 = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};
const _drawMasks k888 = {0xFF0000, 0xFF00, 0xFF, 0};

TEST(DrawPixel, ShiftAndWidthOfMasks)
{
    struct Row {
        uint32_t mask, shift, width;
    } rows[] = {{0, 0, 0}, {0x001F, 0, 5}, {0x07E0, 5, 6}, {0xF800, 11, 5}, {0x8000, 15, 1}, {0xFF000000, 24, 8}};
    for (const Row &r : rows) {
        EXPECT_EQ(sDrawGetShiftNum(r.mask), r.shift) << std::hex << r.mask;
        EXPECT_EQ(sDrawGetMaskWidth(r.mask), r.width) << std::hex << r.mask;
    }
}

TEST(DrawPixel, PackRgbaKeepsTheTopBitsOfEachChannel)
{
    struct Row {
        uint32_t rgba;
        const _drawMasks *masks;
        uint32_t expected;
    } rows[] = {
        {0xFF0000FF, &k565, 0xF800},     {0x00FF00FF, &k565, 0x07E0},       {0x0000FFFF, &k565, 0x001F},
        {0x84868AFF, &k565, 0x8431},     {0xFFFFFF00, &k1555, 0x7FFF},      {0xFFFFFFFF, &k1555, 0xFFFF},
        {0x11223344, &k8888, 0x44112233}, {0x0A141EFF, &k888, 0x000A141E},
    };
    for (const Row &r : rows)
        EXPECT_EQ(sDrawPackRgba(r.rgba, *r.masks), r.expected) << std::hex << r.rgba;
}

TEST(DrawPixel, TextureSizeFollowsTheDeviceLimits)
{
    struct Row {
        _drawTexCaps caps;
        uint32_t w, h, tw, th;
    } rows[] = {
        {{DRAW_TEXCAPS_POW2, 1024, 1024}, 100, 60, 128, 64},
        {{DRAW_TEXCAPS_POW2, 1024, 1024}, 1, 1, 1, 1},
        {{DRAW_TEXCAPS_POW2, 1024, 1024}, 256, 257, 256, 512},
        {{DRAW_TEXCAPS_SQUAREONLY, 1024, 1024}, 128, 64, 128, 128},
        {{DRAW_TEXCAPS_POW2 | DRAW_TEXCAPS_SQUAREONLY, 1024, 1024}, 100, 60, 128, 128},
        {{0, 0, 0}, 640, 480, 256, 256},     // a reported 0 means 256
        {{0, 2048, 2048}, 640, 480, 640, 480}, // no rounding without the power-of-two bit
        {{DRAW_TEXCAPS_POW2, 512, 128}, 640, 480, 512, 128},
    };
    for (const Row &r : rows) {
        uint32_t tw = 0, th = 0;
        sDrawCalcTexSizeCaps(r.caps, r.w, r.h, &tw, &th);
        EXPECT_EQ(tw, r.tw) << r.w << "x" << r.h;
        EXPECT_EQ(th, r.th) << r.w << "x" << r.h;
    }
}

TEST(DrawPixel, FlatHeightImageGivesTheUpNormal)
{
    // 16 bits: (16, 31, 16) in 5-5-5; 32 bits: (128, 255, 128).
    EXPECT_EQ(sDrawNormalPixel(10, 10, 10, 0, true), (16u << 10) | (31u << 5) | 16u);
    EXPECT_EQ(sDrawNormalPixel(200, 200, 200, 0, false), 0x80FF80u);
}

TEST(DrawPixel, SlopesTiltTheNormal)
{
    // Rising to the right: du = h00 - h01 < 0; rising downwards: dv = h10 - h00 > 0.
    const uint32_t right = sDrawNormalPixel(0, 127, 0, 0, false);
    EXPECT_LT((right >> 16) & 0xFF, 128u);
    EXPECT_EQ(right & 0xFF, 128u);
    const uint32_t down = sDrawNormalPixel(0, 0, 127, 0, false);
    EXPECT_GT(down & 0xFF, 128u);
    // du = -127, dz = 127: both scaled by 127 / (127 * sqrt 2) = 89.8 -> -89 and 89.
    EXPECT_EQ(right, (uint32_t)(128 - 89) << 16 | (uint32_t)(128 + 89) << 8 | 128u);
    // A level that cancels the depth on a flat spot leaves the bias, not a division by zero.
    EXPECT_EQ(sDrawNormalPixel(5, 5, 5, 15, true), (16u << 10) | (16u << 5) | 16u);
}

TEST(DrawPixel, HeightIsTheMeanOfTheChannelsAtTheirOwnWidth)
{
    EXPECT_EQ(sDrawHeightOf(0xFFFF, k565), (31u + 63u + 31u) / 3);
    EXPECT_EQ(sDrawHeightOf(0x00306090, k888), (0x30u + 0x60u + 0x90u) / 3);
}

TEST(DrawPixel, CompositingStepsOnA32BitTexture)
{
    struct Row {
        const char *what;
        uint32_t pixel;
        uint16_t flags;
        uint8_t alpha;
        float opacity;
        uint32_t key;
        uint32_t expected;
    } rows[] = {
        {"negative keeps alpha", 0x12102030, DRAW_FLG_NEGATIVE, 0, 1.0f, 0, 0x12EFDFCF},
        {"alpha image", 0x00102030, DRAW_FLG_ALPHAIMAGE, 0x80, 1.0f, 0, 0x80102030},
        {"inverted alpha image", 0x00102030, DRAW_FLG_ALPHAIMAGE | DRAW_FLG_INVALPHA, 0x80, 1.0f, 0, 0x7F102030},
        {"inversion alone does nothing", 0x40102030, DRAW_FLG_INVALPHA, 0x80, 1.0f, 0, 0x40102030},
        {"opacity scales alpha", 0xFF102030, DRAW_FLG_OPACITY, 0, 0.5f, 0, 0x7F102030},
        {"key colour gets alpha 0", 0xFF00FF00, DRAW_FLG_COLORKEY, 0, 1.0f, 0x0000FF00, 0x0000FF00},
        {"other colours full alpha", 0x0000FE00, DRAW_FLG_COLORKEY, 0, 1.0f, 0x0000FF00, 0xFF00FE00},
        {"key read with alpha bits", 0x00000000, DRAW_FLG_COLORKEY, 0, 1.0f, 0xFF000000, 0x00000000},
        {"alpha image then opacity", 0x00102030, DRAW_FLG_ALPHAIMAGE | DRAW_FLG_OPACITY, 200, 0.5f, 0, 0x64102030},
        {"negative then key", 0xFFFFFFFF, DRAW_FLG_NEGATIVE | DRAW_FLG_COLORKEY, 0, 1.0f, 0, 0x00000000},
    };
    for (const Row &r : rows)
        EXPECT_EQ(sDrawCompositPixel(r.pixel, r.flags, k8888, false, r.alpha, r.opacity, r.key), r.expected) << r.what;
}

TEST(DrawPixel, CompositingOnA1555Texture)
{
    EXPECT_EQ(sDrawCompositPixel(0x0000, DRAW_FLG_COLORKEY, k1555, true, 0, 1.0f, 0x0001), 0x8000u);
    EXPECT_EQ(sDrawCompositPixel(0x8001, DRAW_FLG_COLORKEY, k1555, true, 0, 1.0f, 0x0001), 0x0001u);
    EXPECT_EQ(sDrawCompositPixel(0x0000, DRAW_FLG_ALPHAIMAGE, k1555, true, 0xFF, 1.0f, 0), 0x8000u);
    EXPECT_EQ(sDrawCompositPixel(0x801F, DRAW_FLG_NEGATIVE, k1555, true, 0, 1.0f, 0), 0xFFE0u);
    EXPECT_EQ(sDrawCompositPixel(0x8000, DRAW_FLG_OPACITY, k1555, true, 0, 0.5f, 0), 0x0000u);
}

TEST(DrawPixel, LightMapIsFullInsideThetaFadingToPhiAndBlackOutside)
{
    // White light, theta / phi = 0.5.
    EXPECT_EQ(sDrawLightMapTexel(256, 256, 0.5f, 1, 1, 1, k8888, false), 0x7FFFFFFFu);
    EXPECT_EQ(sDrawLightMapTexel(0, 0, 0.5f, 1, 1, 1, k8888, false), 0u);
    EXPECT_EQ(sDrawLightMapTexel(256, 511, 0.5f, 1, 1, 1, k8888, false), 0u); // d = 255 / 254 > 1
    // d = 190.5 / 254 = 0.75: half way through the band, colour x 0.5, no alpha bits.
    const uint32_t band = sDrawLightMapTexel(256, 256 + 190, 0.5f, 1.0f, 0.5f, 0.0f, k8888, false);
    EXPECT_EQ(band >> 24, 0u);
    EXPECT_NEAR((int)((band >> 16) & 0xFF), 128, 2);
    EXPECT_NEAR((int)((band >> 8) & 0xFF), 64, 2);
    EXPECT_EQ(band & 0xFF, 0u);
    // 16 bits: packed by the masks, no alpha.
    EXPECT_EQ(sDrawLightMapTexel(256, 256, 0.5f, 1, 0, 0, k565, true), 0xF800u);
    // Colours beyond 1 are clamped; a cone without a band has no division by zero at its rim.
    EXPECT_EQ(sDrawLightMapTexel(256, 256, 0.5f, 2.0f, -1.0f, 0.0f, k8888, false), 0x7FFF0000u);
    EXPECT_EQ(sDrawLightMapTexel(256, 256 + 253, 1.0f, 1, 1, 1, k8888, false), 0x7FFFFFFFu);
    EXPECT_EQ(sDrawLightMapTexel(256, 256 + 254, 1.0f, 1, 1, 1, k8888, false), 0u);
}

TEST(DrawPixel, YuvPairsInBothByteOrders)
{
    const uint8_t white[3] = {255, 255, 255}, black[3] = {0, 0, 0}, red[3] = {255, 0, 0};
    uint8_t out[4];
    sDrawRgbPairToYuv(white, black, true, out);
    EXPECT_EQ(out[0], 128); // U of white
    EXPECT_EQ(out[1], 255); // Y0
    EXPECT_EQ(out[2], 128); // V of black
    EXPECT_EQ(out[3], 0);   // Y1
    sDrawRgbPairToYuv(red, red, false, out);
    EXPECT_EQ(out[0], 76);  // 0.299 x 255
    EXPECT_EQ(out[1], 92);  // 128 - 0.14 x 255
    EXPECT_EQ(out[2], 76);
    EXPECT_EQ(out[3], 219); // 128 + 0.36 x 255
}

TEST(DrawPixel, RegistryKeysIgnoreCase)
{
    EXPECT_EQ(sDrawFileMakeKey("Tex.BMP"), sDrawFileMakeKey("tex.bmp"));
    EXPECT_EQ(sDrawFileMakeKey("ab"), (uint32_t)('a' + 'b'));
    EXPECT_EQ(sDrawFileMakeKey("ab"), sDrawFileMakeKey("ba")); // only a quick filter
    EXPECT_EQ(sDrawFileMakeKey("\xE3\x81"), 0xE3u + 0x81u);    // bytes count unsigned
    EXPECT_EQ(sDrawFileMakeKey(""), 0u);
}

TEST(SplitFileName, CutsAtTheDestinationSize)
{
    struct Row {
        const char *path, *name;
    } rows[] = {{"Data\\Tex\\Tex.bmp", "Tex.bmp"}, {"Tex.bmp", "Tex.bmp"}, {"dir\\", "dir\\"}, {"", ""}};
    for (const Row &r : rows) {
        char name[260];
        splitFileName(name, r.path, sizeof name);
        EXPECT_STREQ(name, r.name) << r.path;
    }
    char small[8];
    splitFileName(small, "a\\verylongname.bmp", sizeof small);
    EXPECT_STREQ(small, "verylon");
    char one[1] = {'x'};
    splitFileName(one, "a\\b", sizeof one);
    EXPECT_STREQ(one, "");
}

TEST(SplitFileName, TakesThePartAfterTheLastBackslash)
{
    const struct { const char *path, *name; } cases[] = {
        {"a\\b\\c.bmp", "c.bmp"},
        {"c.bmp", "c.bmp"},
        {"dir\\", "dir\\"},
        {"\\x", "x"},
        {"", ""},
        {"Data\\Com\\Numbers.bmp", "Numbers.bmp"},
        {"a/b.bmp", "a/b.bmp"}, // only backslashes separate
    };
    for (const auto &c : cases) {
        char out[64] = "garbage";
        splitFileName(out, c.path, sizeof out);
        EXPECT_STREQ(out, c.name) << c.path;
    }
}

} // namespace
