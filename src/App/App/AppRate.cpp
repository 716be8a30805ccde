// The frame-rate counter and its millisecond clock.

#include "App/App/AppCore.h"

#include <ctime>

// Milliseconds from a clock that only moves forward. On Windows the runtime's clock() counts
// elapsed time in milliseconds (every system of the era has it); the platform layer replaces
// this with its own millisecond clock once it runs.
static uint32_t _steadyMilli(void)
{
#ifdef _WIN32
    static_assert(CLOCKS_PER_SEC == 1000, "the Windows runtime counts clock() in milliseconds");
    return (uint32_t)clock();
#else
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (uint32_t)now.tv_sec * 1000u + (uint32_t)(now.tv_nsec / 1000000);
#endif
}

uint32_t (*appMilliClockP)(void) = _steadyMilli;

static double fps;
static double fpsPeak;
static uint32_t lastMs;  // the clock at the last measurement (0 after clearFps)
static uint64_t frames;
static double fpsAve;
static double fpsAveTotal;
static double fpsAveCnt;

void clearFps(void)
{
    fps = fpsPeak = 0.0;
    lastMs = 0;
    frames = 0;
    fpsAve = fpsAveTotal = fpsAveCnt = 0.0;
}

void calcFps(float *aFps, float *aFpsAve, float *aFpsPeak)
{
    // Whole milliseconds and an unsigned difference: exact at any uptime and across the wrap.
    const uint32_t now = appMilliClockP(), elapsed = now - lastMs;
    frames += 1;
    if (elapsed > 1000) {
        fps = (double)frames * 1000.0 / (double)elapsed;
        lastMs = now;
        frames = 0;
        fpsAveTotal += fps;
        fpsAveCnt += 1.0;
        fpsAve = fpsAveTotal / fpsAveCnt;
        if (fpsPeak < fps)
            fpsPeak = fps;
    }
    *aFps = (float)fps;
    *aFpsAve = (float)fpsAve;
    *aFpsPeak = (float)fpsPeak;
}
