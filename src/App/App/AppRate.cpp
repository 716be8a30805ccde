// The frame-rate counter and its millisecond clock.

#include "App/App/AppCore.h"

#include <ctime>

// Milliseconds from a clock that only moves forward. On Windows the runtime's clock() counts
// elapsed time in milliseconds (every system of the era has it); the platform layer replaces
// this with timeGetTime once it runs.
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
static double lastTime;
static uint64_t frames;
static double fpsAve;
static double fpsAveTotal;
static double fpsAveCnt;

void clearFps(void)
{
    fps = fpsPeak = lastTime = 0.0;
    frames = 0;
    fpsAve = fpsAveTotal = fpsAveCnt = 0.0;
}

void calcFps(float *aFps, float *aFpsAve, float *aFpsPeak)
{
    float t = (float)(appMilliClockP() * 0.001);
    frames += 1;
    if (t - lastTime > 1.0) {
        fps = (double)frames / (t - lastTime);
        lastTime = t;
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
