#include <gtest/gtest.h>

#include <cpuid.h>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "App/Bench2d/Bench2dCore.h"

namespace {

bool cpuHasMMX()
{
    unsigned a, b, c, d;
    return __get_cpuid(1, &a, &b, &c, &d) && (d & (1u << 23));
}

// Every copy variant this processor runs.
struct CopyVariant {
    const char *name;
    _bltProc proc;
};
std::vector<CopyVariant> copyVariants()
{
    std::vector<CopyVariant> v = {{"Normal", _bltBackNormal}};
    unsigned a, b, c, d;
    if (__get_cpuid(1, &a, &b, &c, &d) && (d & (1u << 26)))
        v.push_back({"SSE2", _bltBackSSE2});
    return v;
}

std::vector<uint8_t> kernel(long aDiameter)
{
    std::vector<uint8_t> k(static_cast<size_t>(aDiameter * aDiameter));
    sBench2dMakeKernel(k.data(), aDiameter);
    return k;
}

TEST(Bench2dKernel, FullAtTheCentreAndEmptyFromTheRim)
{
    for (const _ballInfo &info : ballInfo) {
        const long d = info.diameter, r = d / 2;
        const auto k = kernel(d);
        EXPECT_EQ(255, k[r * d + r]) << d;
        EXPECT_EQ(0, k[r * d + 0]) << "rim, " << d;  // q = 1
        EXPECT_EQ(0, k[r]) << "rim, " << d;
        EXPECT_EQ(0, k[0]) << "corner, " << d;
        // (1 - q²)²·255 at q = 1/2: 143.4.
        EXPECT_EQ(143, k[r * d + r + r / 2]) << d;
        // Falls off from the centre along a row.
        for (long x = r; x + 1 < d; x++)
            ASSERT_GE(k[r * d + x], k[r * d + x + 1]);
    }
}

TEST(Bench2dField, OverlappingBallsSaturateAtFullAndMMXMatchesByteForByte)
{
    const long w = 640, h = 480;
    std::vector<uint8_t> plain(w * h), mmx(w * h);
    std::vector<uint8_t> kernels[BENCH2D_BALL_KIND];
    for (int c = 0; c < BENCH2D_BALL_KIND; c++)
        kernels[c] = kernel(ballInfo[c].diameter);
    std::vector<_ballRec> balls(BENCH2D_BALL_CNT);
    srand(3);
    sBench2dInitBalls(balls.data(), w, h);
    const bool withMMX = cpuHasMMX();
    for (int frame = 0; frame < 6; frame++) {
        for (auto &b : balls) {
            sBench2dMoveBall(&b, ballInfo[b.num].diameter, w, h);
            sBench2dAddBall(_conputMetaNormal, &b, kernels[b.num].data(), plain.data(), w, h);
            if (withMMX)
                sBench2dAddBall(_conputMetaMMX, &b, kernels[b.num].data(), mmx.data(), w, h);
        }
    }
    long full = 0;
    for (uint8_t v : plain)
        full += v == 255;
    EXPECT_GT(full, 100) << "six frames of 128 balls overlap somewhere";
    if (!withMMX)
        GTEST_SKIP() << "processor without MMX";
    EXPECT_EQ(0, memcmp(plain.data(), mmx.data(), plain.size()));

    // A rectangle that is not a multiple of 8 × 4 still gives the same bytes.
    const auto k = kernel(32);
    std::vector<uint8_t> a(64 * 64, 200), b(64 * 64, 200);
    const _b2dRect odd = {3, 5, 30, 31};
    _conputMetaNormal(&odd, a.data() + 64 + 1, 64, k.data(), 32);
    _conputMetaMMX(&odd, b.data() + 64 + 1, 64, k.data(), 32);
    EXPECT_EQ(0, memcmp(a.data(), b.data(), a.size()));
}

TEST(Bench2dBall, BouncesFlushWithTheEdges)
{
    _ballRec b = {600, 10, 5, -4, 1};  // 64 wide
    sBench2dMoveBall(&b, 64, 640, 480);
    EXPECT_EQ(576, b.posX);  // 605 + 64 > 640: flush right
    EXPECT_EQ(-5, b.movX);
    EXPECT_EQ(6, b.posY);
    b.posY = 2;
    sBench2dMoveBall(&b, 64, 640, 480);
    EXPECT_EQ(0, b.posY);
    EXPECT_EQ(4, b.movY);
    EXPECT_EQ(571, b.posX);
    // Exactly touching the edge is still inside.
    _ballRec c = {571, 412, 5, 4, 3};  // 128 wide
    sBench2dMoveBall(&c, 64, 640, 480);
    EXPECT_EQ(576, c.posX);
    EXPECT_EQ(5, c.movX);
}

TEST(Bench2dBall, StartsOnScreenWithNonZeroFlight)
{
    std::vector<_ballRec> balls(BENCH2D_BALL_CNT);
    srand(11);
    sBench2dInitBalls(balls.data(), 800, 600);
    for (int j = 0; j < BENCH2D_BALL_CNT; j++) {
        EXPECT_EQ(j % 4, balls[j].num);
        EXPECT_TRUE(balls[j].posX >= 0 && balls[j].posX < 800 && balls[j].posY >= 0 && balls[j].posY < 600);
        EXPECT_TRUE(balls[j].movX != 0 && balls[j].movY != 0);
        EXPECT_TRUE(balls[j].movX >= -5 && balls[j].movX <= 5);
    }
}

TEST(Bench2dBall, ABallLargerThanTheScreenIsClippedToTheField)
{
    std::vector<uint8_t> field(100 * 50 + 64, 0);  // guard bytes after the field
    const auto k = kernel(128);
    _ballRec b = {0, 0, 1, 1, 3};
    sBench2dMoveBall(&b, 128, 100, 50);  // flush: -28, -78
    sBench2dAddBall(_conputMetaNormal, &b, k.data(), field.data(), 100, 50);
    for (size_t i = 100 * 50; i < field.size(); i++)
        ASSERT_EQ(0, field[i]);
    EXPECT_EQ(-28, b.posX);
    EXPECT_EQ(-78, b.posY);
    EXPECT_EQ(k[78 * 128 + 28], field[0]);
    EXPECT_EQ(k[127 * 128 + 127], field[49 * 100 + 99]);
}

// A picture whose pixel (x, y) holds x + 1000·y.
struct Picture {
    long w, h;
    std::vector<uint32_t> pix;
    Picture(long aW, long aH) : w(aW), h(aH), pix(aW * aH)
    {
        for (long y = 0; y < h; y++)
            for (long x = 0; x < w; x++)
                pix[y * w + x] = static_cast<uint32_t>(x + 1000 * y);
    }
    _b2dPixels desc() { return {reinterpret_cast<uint8_t *>(pix.data()), w * 4, w, h, 4}; }
    uint32_t at(long aX, long aY) const { return pix[aY * w + aX]; }
};

TEST(Bench2dCopy, DisplacesByTheFieldRepeatsTheEdgesAndClearsTheField)
{
    for (const auto &v : copyVariants()) {
        SCOPED_TRACE(v.name);
        Picture src(640, 480), dst(640, 480);
        std::vector<uint8_t> field(640 * 480, 0);
        field[10 * 640 + 20] = 255;     // 7 pixels
        field[10 * 640 + 21] = 31;      // 0 pixels
        field[10 * 640 + 22] = 32;      // 1 pixel
        field[100 * 640 + 636] = 255;   // right edge
        field[476 * 640 + 5] = 224;     // bottom edge
        field[479 * 640 + 639] = 255;   // corner
        auto s = src.desc(), d = dst.desc();
        ASSERT_EQ(0, v.proc(field.data(), 640, 480, &s, &d));
        EXPECT_EQ(src.at(27, 17), dst.at(20, 10));
        EXPECT_EQ(src.at(21, 10), dst.at(21, 10));
        EXPECT_EQ(src.at(23, 11), dst.at(22, 10));
        EXPECT_EQ(src.at(639, 107), dst.at(636, 100));
        EXPECT_EQ(src.at(12, 479), dst.at(5, 476));
        EXPECT_EQ(src.at(639, 479), dst.at(639, 479));
        EXPECT_EQ(src.pix, [&] {  // everything else undisturbed
            auto e = dst.pix;
            for (auto p : {std::pair<long, long>{20, 10}, {22, 10}, {636, 100}, {5, 476}})
                e[p.second * 640 + p.first] = src.at(p.first, p.second);
            return e;
        }());
        for (uint8_t b : field)
            ASSERT_EQ(0, b);
    }
}

TEST(Bench2dCopy, OtherScreenSizesClipToTheSurfacesAndStillClearTheWholeField)
{
    for (const auto &v : copyVariants()) {
        SCOPED_TRACE(v.name);
        // 800 × 600 screen with a 640 × 480 picture: the field is read with its own row length.
        Picture src(640, 480), dst(800, 600);
        std::vector<uint32_t> before = dst.pix;
        std::vector<uint8_t> field(800 * 600, 0);
        field[10 * 800 + 20] = 255;
        field[10 * 800 + 700] = 255;   // right of the picture
        field[550 * 800 + 20] = 255;   // below it
        auto s = src.desc(), d = dst.desc();
        ASSERT_EQ(0, v.proc(field.data(), 800, 600, &s, &d));
        EXPECT_EQ(src.at(27, 17), dst.at(20, 10));
        EXPECT_EQ(src.at(639, 479), dst.at(639, 479));
        EXPECT_EQ(before[10 * 800 + 700], dst.at(700, 10)) << "outside the picture nothing is written";
        for (uint8_t b : field)
            ASSERT_EQ(0, b);

        // A smaller screen: the copy stops at the back buffer.
        Picture small(320, 200);
        std::vector<uint8_t> f2(320 * 200, 255);
        auto sd = small.desc();
        ASSERT_EQ(0, v.proc(f2.data(), 320, 200, &s, &sd));
        EXPECT_EQ(src.at(319, 199), small.at(318, 198));
        EXPECT_EQ(src.at(7, 7), small.at(0, 0));

        // Different pixel sizes: nothing copied, field cleared, failure reported.
        _b2dPixels half = {reinterpret_cast<uint8_t *>(dst.pix.data()), 1600, 800, 600, 2};
        field[5] = 9;
        const auto kept = dst.pix;
        EXPECT_EQ(-1, v.proc(field.data(), 800, 600, &s, &half));
        EXPECT_EQ(kept, dst.pix);
        EXPECT_EQ(0, field[5]);
    }
}

TEST(Bench2dCopy, SixteenBitPixelsMoveTwoBytes)
{
    for (const auto &v : copyVariants()) {
        SCOPED_TRACE(v.name);
        std::vector<uint16_t> src(64 * 8), dst(64 * 8, 0);
        for (size_t i = 0; i < src.size(); i++)
            src[i] = static_cast<uint16_t>(i);
        std::vector<uint8_t> field(64 * 8, 0);
        field[1 * 64 + 3] = 64;  // 2 pixels
        _b2dPixels s = {reinterpret_cast<uint8_t *>(src.data()), 128, 64, 8, 2};
        _b2dPixels d = {reinterpret_cast<uint8_t *>(dst.data()), 128, 64, 8, 2};
        ASSERT_EQ(0, v.proc(field.data(), 64, 8, &s, &d));
        EXPECT_EQ(src[3 * 64 + 5], dst[1 * 64 + 3]);
        EXPECT_EQ(src[1 * 64 + 4], dst[1 * 64 + 4]);
    }
}

// Every variant gives the per-pixel rule's picture byte for byte: fields of balls and of noise,
// every pixel size, widths that leave a ragged end, padded pitches, a field wider than the copy.
TEST(Bench2dCopy, EveryVariantEqualsThePixelRuleByteForByte)
{
    struct Case {
        long fieldW, fieldH, picW, picH, bpp;
        bool noise;
    };
    const Case cases[] = {
        {640, 480, 640, 480, 2, false}, {640, 480, 640, 480, 4, false}, {640, 480, 640, 480, 1, false},
        {640, 480, 640, 480, 3, false}, {61, 37, 61, 37, 2, true},     {61, 37, 61, 37, 4, true},
        {23, 9, 23, 9, 1, true},        {7, 5, 7, 5, 4, true},         {800, 600, 640, 480, 2, true},
        {40, 30, 33, 30, 3, true},
    };
    std::vector<uint8_t> kernels[BENCH2D_BALL_KIND];
    for (int n = 0; n < BENCH2D_BALL_KIND; n++)
        kernels[n] = kernel(ballInfo[n].diameter);
    for (const auto &c : cases) {
        for (const auto &v : copyVariants()) {
            SCOPED_TRACE(::testing::Message() << v.name << " " << c.fieldW << "x" << c.fieldH << " bpp " << c.bpp);
            srand(static_cast<unsigned>(c.fieldW * 7 + c.bpp));
            std::vector<uint8_t> field(static_cast<size_t>(c.fieldW * c.fieldH), 0);
            if (c.noise) {
                for (auto &b : field)
                    b = static_cast<uint8_t>(rand());
            } else {
                std::vector<_ballRec> balls(BENCH2D_BALL_CNT);
                sBench2dInitBalls(balls.data(), c.fieldW, c.fieldH);
                for (auto &b : balls)
                    sBench2dAddBall(_conputMetaNormal, &b, kernels[b.num].data(), field.data(), c.fieldW, c.fieldH);
            }
            const long pitch = c.picW * c.bpp + 12;  // padding the copy must not touch
            std::vector<uint8_t> src(static_cast<size_t>(pitch * c.picH)), dst(src.size(), 0xAB);
            for (auto &b : src)
                b = static_cast<uint8_t>(rand());
            std::vector<uint8_t> want = dst;
            const long w = c.picW < c.fieldW ? c.picW : c.fieldW, h = c.picH < c.fieldH ? c.picH : c.fieldH;
            for (long y = 0; y < h; y++)
                for (long x = 0; x < w; x++) {
                    const long sh = field[static_cast<size_t>(y * c.fieldW + x)] >> 5;
                    const long sx = x + sh < w ? x + sh : w - 1, sy = y + sh < h ? y + sh : h - 1;
                    memcpy(&want[static_cast<size_t>(y * pitch + x * c.bpp)], &src[static_cast<size_t>(sy * pitch + sx * c.bpp)],
                           static_cast<size_t>(c.bpp));
                }
            _b2dPixels s = {src.data(), pitch, c.picW, c.picH, c.bpp};
            _b2dPixels d = {dst.data(), pitch, c.picW, c.picH, c.bpp};
            ASSERT_EQ(0, v.proc(field.data(), c.fieldW, c.fieldH, &s, &d));
            ASSERT_EQ(want, dst);
            ASSERT_EQ(std::vector<uint8_t>(field.size(), 0), field);
        }
    }
}

TEST(Bench2dTime, ReportsZeroWithoutFramesAndARateWithThem)
{
    _mathsTime t;
    sMathsTimeInit(&t);
    int64_t mn, mx, avr, cnt;
    sBench2dTimeReport(&t, BENCH2D_RUN_FACTOR, &mn, &mx, &avr, &cnt);
    EXPECT_EQ(0, mn + mx + avr + cnt);
    sMathsTimeAdd(&t, 20000);
    sMathsTimeAdd(&t, 30000);
    sMathsTimeAdd(&t, 10001);
    sBench2dTimeReport(&t, BENCH2D_RUN_FACTOR, &mn, &mx, &avr, &cnt);
    EXPECT_EQ(10001, mn);
    EXPECT_EQ(30000, mx);
    EXPECT_EQ(3, cnt);
    EXPECT_EQ(100, avr);  // 10^7 / 20000 · 0.2
    sBench2dTimeReport(&t, BENCH2D_DRAW_FACTOR, &mn, &mx, &avr, &cnt);
    EXPECT_EQ(3500, avr);
    // Frames below one tick do not divide by zero.
    _mathsTime fast;
    sMathsTimeInit(&fast);
    sMathsTimeAdd(&fast, 1);
    sMathsTimeAdd(&fast, 0);
    sBench2dTimeReport(&fast, BENCH2D_DRAW_FACTOR, &mn, &mx, &avr, &cnt);
    EXPECT_EQ(70000000, avr);
}

}  // namespace
