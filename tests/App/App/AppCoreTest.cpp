#include "App/App/AppCore.h"

#include <gtest/gtest.h>

#include <string>

namespace {

uint32_t nowMs;
uint32_t _clock(void) { return nowMs; }

class Fps : public ::testing::Test {
protected:
    float fps = -1, ave = -1, peak = -1;
    void SetUp() override
    {
        appMilliClockP = _clock;
        clearFps();
    }
    void Frames(int aCount, uint32_t aStepMs)
    {
        for (int i = 0; i < aCount; ++i) {
            nowMs += aStepMs;
            calcFps(&fps, &ave, &peak);
        }
    }
};

TEST_F(Fps, FirstMeasurementSpansTheTimeSinceStartAndEntersTheAverage)
{
    nowMs = 100000; // 100 s since system start
    calcFps(&fps, &ave, &peak);
    EXPECT_NEAR(fps, 1.0 / 100.0, 1e-6);
    EXPECT_FLOAT_EQ(ave, fps);
    EXPECT_FLOAT_EQ(peak, fps);
}

TEST_F(Fps, RateIsHeldWithinASecondAndRefreshedAfterIt)
{
    nowMs = 100000;
    calcFps(&fps, &ave, &peak);
    Frames(60, 10); // 0.6 s of frames: held
    EXPECT_NEAR(fps, 0.01, 1e-6);
    const float heldAve = ave;
    Frames(2, 10);
    EXPECT_FLOAT_EQ(ave, heldAve);
    Frames(39, 10); // 1.01 s since the measurement: refreshed
    EXPECT_NEAR(fps, 101 / 1.01, 0.5);
    EXPECT_NEAR(ave, (0.01 + fps) / 2, 1e-3);
    EXPECT_FLOAT_EQ(peak, fps);
}

TEST_F(Fps, ExactlyOneSecondIsNotYetAMeasurement)
{
    nowMs = 100000;
    calcFps(&fps, &ave, &peak);
    Frames(1, 1000);
    EXPECT_NEAR(fps, 0.01, 1e-6); // strictly more than a second is needed
}

TEST_F(Fps, PeakKeepsTheHighestRate)
{
    nowMs = 100000;
    calcFps(&fps, &ave, &peak);
    Frames(201, 5);  // ~200 fps
    const float high = fps;
    Frames(51, 20);  // ~50 fps
    EXPECT_LT(fps, high);
    EXPECT_FLOAT_EQ(peak, high);
}

// The rate counts whole milliseconds: 101 frames 10 ms apart are 100 fps at any uptime, also
// past 2^24 ms and across the 2^32 wrap, where seconds in a float lose the millisecond.
TEST_F(Fps, RateIsExactAtAnyUptime)
{
    for (uint32_t start : {100000u, (1u << 24) + 1u, 0x40000003u, 0xFFFFFF00u}) {
        clearFps();
        nowMs = start;
        calcFps(&fps, &ave, &peak);
        Frames(101, 10);
        EXPECT_NEAR(fps, 100.0f, 0.01f) << start;
        Frames(101, 20);
        EXPECT_NEAR(fps, 50.0f, 0.01f) << start;
    }
}

} // namespace
