#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "KbSlide.h"

// The content builder's slide encoder: the worked example and the codes of distances and lengths.

namespace {

typedef std::vector<uint8_t> Bytes;

TEST(SlideEncode, WorkedExampleIsThreeLiteralsAndOneMatch)
{
    const char *text = "abcabcabc";
    for (const kbSlideLevel *level : {&kbSlideFast, &kbSlideLazy, &kbSlideDefault})
        EXPECT_EQ(kbSlideEncode((const uint8_t *)text, 9, *level), Bytes({0x98, 0x30, 0x71, 0x8C, 0xF0, 0x0F}));
}

TEST(SlideEncode, CodesCoverTheirRanges)
{
    // (value, code, extra bits, extra) at the edges of the ranges.
    struct Row {
        bool distance;
        uint32_t value, code, extraBits, extra;
    } rows[] = {
        {true, 1, 0, 0, 0},     {true, 4, 3, 0, 0},         {true, 5, 4, 1, 0},     {true, 6, 4, 1, 1},
        {true, 7, 5, 1, 0},     {true, 8193, 26, 12, 0},    {true, 12288, 26, 12, 4095},
        {true, 12289, 27, 12, 0}, {true, 16383, 27, 12, 4094},
        {false, 3, 0, 0, 0},    {false, 10, 7, 0, 0},       {false, 11, 8, 1, 0},   {false, 17, 11, 1, 0},
        {false, 19, 12, 2, 0},  {false, 35, 16, 3, 0},      {false, 67, 20, 4, 0},  {false, 131, 24, 5, 0},
        {false, 227, 27, 5, 0}, {false, 258, 27, 5, 31},
    };
    for (const Row &r : rows) {
        uint32_t code, extraBits, extra;
        if (r.distance)
            kbSlideDistanceCode(r.value, &code, &extraBits, &extra);
        else
            kbSlideLengthCode(r.value, &code, &extraBits, &extra);
        EXPECT_EQ(code, r.code) << r.value;
        EXPECT_EQ(extraBits, r.extraBits) << r.value;
        EXPECT_EQ(extra, r.extra) << r.value;
    }
}

} // namespace
