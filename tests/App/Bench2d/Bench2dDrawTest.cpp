// One metaball frame on the real device under Wine, read back from the back buffer.

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "DeviceFixture.h"
#include "App/Bench2d/Bench2d.h"
#include "KbImage.h"
#include "KbKsf.h"
#include "System/Draw/DrawMan.h"
#include "System/Sys/SYSTEM.h"

namespace {

const long kW = 640, kH = 480;

// Sixteen well-separated colours along the diagonals: any displacement (s, s) with s in 1..7
// moves a pixel to another colour.
uint32_t stripe(long aX, long aY)
{
    static const uint32_t colours[16] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF,
                                         0xFFFFFF, 0x000000, 0x800000, 0x008000, 0x000080, 0x808000,
                                         0x800080, 0x008080, 0x808080, 0xFF8000};
    return colours[(aX + aY) & 15];
}

// The picture package written into a fresh folder that becomes the working folder.
class Bench2dDraw : public ::testing::Test {
protected:
    char _oldDir[MAX_PATH] = {};

    void SetUp() override
    {
        ASSERT_TRUE(fx::EnterTempFolder("kestrel_bench2d", _oldDir));
        kbImage pic = kbImageMake(kW, kH);
        for (long y = 0; y < kH; y++)
            for (long x = 0; x < kW; x++)
                pic.pixels[y * kW + x] = stripe(x, y) << 8 | 0xFF;
        ASSERT_EQ("", fx::PicturePackage("Data\\Ksf\\06.ksf", "siro.bmp", pic));
        ASSERT_EQ(0, fx::OpenScene(kW, kH));
    }
    void TearDown() override
    {
        _bench2DInfo.Release();
        fx::Close();
        SetCurrentDirectoryA(_oldDir);
    }
};

TEST_F(Bench2dDraw, OneFrameDisplacesThePictureUnderTheBallsOnly)
{
    sysWork.caps.cpuOption = BENCH2D_OPT_MMX;
    srand(17);
    ASSERT_EQ(1, _bench2DInfo.Init());
    fx::Clear(0x202020);
    _bench2DInfo.Run();
    _bench2DInfo.Draw();

    // The same balls after one frame, and the field they make.
    std::vector<_ballRec> balls(BENCH2D_BALL_CNT);
    std::vector<uint8_t> kernels[BENCH2D_BALL_KIND];
    for (int c = 0; c < BENCH2D_BALL_KIND; c++) {
        kernels[c].resize(ballInfo[c].diameter * ballInfo[c].diameter);
        sBench2dMakeKernel(kernels[c].data(), ballInfo[c].diameter);
    }
    std::vector<uint8_t> field(kW * kH, 0);
    srand(17);
    sBench2dInitBalls(balls.data(), kW, kH);
    for (auto &b : balls) {
        sBench2dMoveBall(&b, ballInfo[b.num].diameter, kW, kH);
        sBench2dAddBall(_conputMetaNormal, &b, kernels[b.num].data(), field.data(), kW, kH);
    }

    long displaced = 0, still = 0, wrong = 0;
    for (long y = 0; y < kH; y += 3) {
        for (long x = 0; x < kW; x += 3) {
            const long s = field[y * kW + x] >> 5;
            const long sx = x + s < kW ? x + s : kW - 1, sy = y + s < kH ? y + s : kH - 1;
            const uint32_t got = fx::Pixel(x, y);
            if (fx::Distance(stripe(sx, sy), got) > 24) {
                if (++wrong < 5)
                    ADD_FAILURE() << x << "," << y << " shift " << s << std::hex << " got " << got;
            }
            (s ? displaced : still)++;
        }
    }
    EXPECT_EQ(0, wrong);
    EXPECT_GT(displaced, 1000);
    EXPECT_GT(still, 1000);

    int64_t mn, mx, avr, cnt;
    _bench2DInfo.GetBenchTime(&mn, &mx, &avr, &cnt);
    EXPECT_EQ(2, cnt);  // one field and one copy
    EXPECT_GT(avr, 0);
}

TEST_F(Bench2dDraw, WithoutThePictureTheTestIsNotReadyAndDrawsNothing)
{
    ASSERT_TRUE(DeleteFileA("Data\\Ksf\\06.ksf"));
    EXPECT_EQ(0, _bench2DInfo.Init());
    EXPECT_EQ(0u, _bench2DInfo.GetStatus() & BENCH2D_STAT_READY);
    fx::Clear(0x202020);
    _bench2DInfo.Run();
    _bench2DInfo.Draw();
    EXPECT_LE(fx::Distance(0x202020, fx::Pixel(320, 240)), 8);
    int64_t mn, mx, avr, cnt;
    _bench2DInfo.GetBenchTime(&mn, &mx, &avr, &cnt);
    EXPECT_EQ(0, mn + mx + avr + cnt);
}

}  // namespace
