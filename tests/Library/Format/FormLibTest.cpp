#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "KbImage.h"
#include "KbPicture.h"
#include "KbSlide.h"
#include "Library/Format/FORMLIB.h"

namespace {

typedef std::vector<uint8_t> Bytes;

struct Freed {
    uint8_t *p;
    explicit Freed(uint8_t *aP) : p(aP) {}
    ~Freed() { free(p); }
};

// Decodes a payload into aSize bytes; false when the decoder refuses it.
bool Decode(const Bytes &aPayload, long aSize, Bytes *aOutP)
{
    Freed out(sFormatSlideDecode(aPayload.data(), (long)aPayload.size(), aSize));
    if (out.p == nullptr)
        return false;
    aOutP->assign(out.p, out.p + aSize);
    return true;
}

// Stream items written by hand.
struct Stream {
    Bytes bytes;
    kbBitWriter bits{bytes};
    Stream &Literal(uint8_t aByte)
    {
        bits.Put(aByte, 9);
        return *this;
    }
    Stream &Match(uint32_t aDistance, uint32_t aLength)
    {
        uint32_t code, extraBits, extra;
        bits.Put(1, 1);
        kbSlideDistanceCode(aDistance, &code, &extraBits, &extra);
        bits.Put(code, 5);
        bits.Put(extra, extraBits);
        kbSlideLengthCode(aLength, &code, &extraBits, &extra);
        bits.Put(code, 5);
        bits.Put(extra, extraBits);
        return *this;
    }
    Stream &Raw(uint32_t aValue, int aBits)
    {
        bits.Put(aValue, aBits);
        return *this;
    }
    Bytes End()
    {
        bits.Put(1, 1);
        bits.Put(31, 5);
        bits.Flush();
        return bytes;
    }
    Bytes Unended()
    {
        bits.Flush();
        return bytes;
    }
};

Bytes Block(int aCompress, const Bytes &aPayload, int32_t aExpSize)
{
    Bytes b;
    kbPut32(b, (uint32_t)(16 + aPayload.size()));
    kbPut32(b, (uint32_t)FORMAT_TYPE_KSM);
    kbPut16(b, 7);
    kbPut16(b, (uint32_t)aCompress);
    kbPut32(b, (uint32_t)aExpSize);
    b.insert(b.end(), aPayload.begin(), aPayload.end());
    return b;
}

TEST(SlideDecode, WorkedExampleGivesAbcAbcAbc)
{
    Bytes out;
    ASSERT_TRUE(Decode({0x98, 0x30, 0x71, 0x8C, 0xF0, 0x0F}, 9, &out));
    EXPECT_EQ(std::string(out.begin(), out.end()), "abcabcabc");
}

TEST(SlideDecode, HandWrittenStreams)
{
    struct Row {
        const char *what;
        Bytes payload;
        long size;
        bool ok;
        Bytes expect;  // the first bytes of the output
    };
    Bytes zeros(300, 0);
    Bytes elevenX(11, 'x');
    std::vector<Row> rows = {
        {"empty stream gives zeros", Stream().End(), 200, true, Bytes(200, 0)},
        {"distance 1 repeats the last byte", Stream().Literal('x').Match(1, 10).End(), 11, true, elevenX},
        {"overlapping copy repeats a pair", Stream().Literal('a').Literal('b').Match(2, 7).End(), 9, true,
         Bytes({'a', 'b', 'a', 'b', 'a', 'b', 'a', 'b', 'a'})},
        {"reaching before the start copies zeros", Stream().Literal('a').Match(5, 4).Literal('b').End(), 6, true,
         Bytes({'a', 0, 0, 0, 0, 'b'})},
        {"farthest distance and longest length", Stream().Literal('q').Match(16383, 258).End(), 259, true,
         Bytes({'q', 0, 0})},
        {"output shorter than the size is zero-filled", Stream().Literal('z').End(), 4, true, Bytes({'z', 0, 0, 0})},
        {"exactly the size", Stream().Literal('a').Match(1, 9).End(), 10, true, Bytes(10, 'a')},
        {"one byte more than the size", Stream().Literal('a').Match(1, 9).End(), 9, false, {}},
        {"distance 16384", Stream().Literal('a').Raw(1, 1).Raw(27, 5).Raw(4095, 12).Raw(0, 5).End(), 20, false, {}},
        {"distance code 28", Stream().Literal('a').Raw(1, 1).Raw(28, 5).Raw(0, 13).Raw(0, 5).End(), 20, false, {}},
        {"distance code 30", Stream().Literal('a').Raw(1, 1).Raw(30, 5).Raw(0, 14).Raw(0, 5).End(), 20, false, {}},
        {"length code 28", Stream().Literal('a').Raw(1, 1).Raw(0, 5).Raw(28, 5).Raw(0, 6).End(), 400, false, {}},
        {"length code 31", Stream().Literal('a').Raw(1, 1).Raw(0, 5).Raw(31, 5).End(), 400, false, {}},
        {"no end code", Stream().Literal('a').Literal('b').Unended(), 10, false, {}},
        {"empty payload", Bytes(), 0, false, {}},
        {"lone last byte is not a word", Bytes({0x00}), 1, false, {}},
    };
    for (const Row &r : rows) {
        Bytes out;
        bool ok = Decode(r.payload, r.size, &out);
        EXPECT_EQ(ok, r.ok) << r.what;
        if (ok && r.ok) {
            EXPECT_TRUE(std::equal(r.expect.begin(), r.expect.end(), out.begin())) << r.what;
        }
    }
}

TEST(SlideDecode, RefusesSizesThePayloadCannotDescribe)
{
    Bytes payload = Stream().End();  // 2 bytes
    Bytes out;
    EXPECT_TRUE(Decode(payload, 2 * FORMAT_SLIDE_RATIO, &out));
    EXPECT_FALSE(Decode(payload, 2 * FORMAT_SLIDE_RATIO + 1, &out));
    EXPECT_EQ(sFormatSlideDecode(payload.data(), 2, -1), nullptr);
    EXPECT_EQ(sFormatSlideDecode(nullptr, 0, 0), nullptr);
}

// Data whose repeats lie beyond the window, across its wrap and past the pending limit.
Bytes FarRepeats()
{
    kbRandom random(5);
    Bytes chunk(20000);
    for (uint8_t &b : chunk)
        b = (uint8_t)random.Below(256);
    Bytes data = chunk;
    data.insert(data.end(), chunk.begin(), chunk.end());  // repeats at distance 20000: out of reach
    data.insert(data.end(), 70000, 'r');
    data.insert(data.end(), chunk.begin(), chunk.begin() + 9000);
    data.insert(data.end(), chunk.begin(), chunk.begin() + 9000);  // repeats at 9000: in reach
    return data;
}

TEST(SlideRoundTrip, EncoderOutputDecodesToItsInput)
{
    kbImage sky = kbPictureSky(97, 61, kbRgb(10, 30, 90), kbRgb(230, 240, 255), 3);
    Bytes skyBytes((const uint8_t *)sky.pixels.data(), (const uint8_t *)(sky.pixels.data() + sky.pixels.size()));
    std::vector<std::pair<const char *, Bytes>> inputs = {
        {"empty", Bytes()},
        {"one byte", Bytes({42})},
        {"two bytes", Bytes({1, 2})},
        {"a long run", Bytes(100000, 7)},
        {"far repeats", FarRepeats()},
        {"a picture", skyBytes},
    };
    for (const auto &input : inputs)
        for (const kbSlideLevel *level : {&kbSlideFast, &kbSlideLazy, &kbSlideDefault}) {
            Bytes payload = kbSlideEncode(input.second.data(), input.second.size(), *level);
            Bytes out;
            ASSERT_TRUE(Decode(payload, (long)input.second.size(), &out)) << input.first;
            EXPECT_EQ(out, input.second) << input.first;
            EXPECT_EQ(payload.size() % 2, 0u) << input.first;
        }
}

TEST(SlideRoundTrip, LongRunsPackDensely)
{
    Bytes run(100000, 7);
    // About 16 bits per 258 bytes.
    EXPECT_LT(kbSlideEncode(run.data(), run.size()).size(), 100000u / 258 * 2 + 16);
}

TEST(FormatExtract, ExpandsBothMethodsBehindTheHeader)
{
    Bytes body = FarRepeats();
    body.resize(50000);
    for (int compress : {FORMAT_RUNLENGTH, FORMAT_SLIDE}) {
        Bytes payload = compress == FORMAT_SLIDE ? kbSlideEncode(body.data(), body.size())
                                                 : kbRunLengthEncode(body.data(), body.size());
        Bytes block = Block(compress, payload, (int32_t)(16 + body.size()));
        Freed out(sFormatExtract(block.data(), (long)block.size()));
        ASSERT_NE(out.p, nullptr) << compress;
        EXPECT_EQ(memcmp(out.p, block.data(), 16), 0) << "header copied unchanged";
        EXPECT_EQ(memcmp(out.p + 16, body.data(), body.size()), 0) << compress;
    }
}

TEST(FormatExtract, RunLengthPairs)
{
    struct Row {
        const char *what;
        Bytes payload;
        int32_t outSize;
        bool ok;
        Bytes expect;
    } rows[] = {
        {"pairs expand", {3, 'a', 1, 'b'}, 4, true, {'a', 'a', 'a', 'b'}},
        {"count 0 emits nothing", {0, 'x', 2, 'c'}, 2, true, {'c', 'c'}},
        {"short data leaves zeros", {1, 'd'}, 3, true, {'d', 0, 0}},
        {"longer than the block says", {3, 'a', 2, 'b'}, 4, false, {}},
        {"a lone last byte", {2, 'a', 1}, 2, false, {}},
        {"more than the pairs can make", {255, 'a'}, 256, false, {}},
    };
    for (const Row &r : rows) {
        Bytes block = Block(FORMAT_RUNLENGTH, r.payload, 16 + r.outSize);
        Freed out(sFormatExtract(block.data(), (long)block.size()));
        EXPECT_EQ(out.p != nullptr, r.ok) << r.what;
        if (out.p != nullptr && r.ok) {
            EXPECT_EQ(Bytes(out.p + 16, out.p + 16 + r.outSize), r.expect) << r.what;
        }
    }
}

TEST(FormatExtract, RefusesBlocksItCannotExpand)
{
    Bytes payload = Stream().Literal('a').End();
    struct Row {
        const char *what;
        Bytes block;
        long avail;
    } rows[] = {
        {"reserved method 2", Block(FORMAT_RESERVED, payload, 17), 0},
        {"stored block", Block(FORMAT_STORED, payload, 17), 0},
        {"unknown method", Block(9, payload, 17), 0},
        {"size beyond the bytes given", Block(FORMAT_SLIDE, payload, 17), -1},
        {"size below the header", Block(FORMAT_SLIDE, payload, 17), 0},
        {"expanded size below the header", Block(FORMAT_SLIDE, payload, 15), 0},
        {"expansion beyond what the payload can describe",
         Block(FORMAT_SLIDE, payload, 16 + (int32_t)payload.size() * FORMAT_SLIDE_RATIO + 1), 0},
        {"corrupt slide data", Block(FORMAT_SLIDE, Stream().Literal('a').Unended(), 17), 0},
    };
    rows[4].block[0] = 8;  // size 8
    for (Row &r : rows) {
        long avail = (long)r.block.size() + r.avail;
        Freed out(sFormatExtract(r.block.data(), avail));
        EXPECT_EQ(out.p, nullptr) << r.what;
    }
    EXPECT_EQ(sFormatExtract(payload.data(), 4), nullptr) << "shorter than a header";
    EXPECT_EQ(sFormatExtract(nullptr, 100), nullptr);
}

}  // namespace
