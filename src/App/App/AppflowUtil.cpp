#include "App/App/AppflowUtil.h"

#include <chrono>
#include <cstring>

static uint32_t _steadyMilli(void)
{
    using namespace std::chrono;
    return (uint32_t)duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
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

void splitFileName(char *aName, const char *aPath)
{
    size_t len = std::strlen(aPath);
    size_t out = 0;
    for (size_t i = len; i-- > 0;) {
        if (aPath[i] == '\\') {
            for (size_t j = i + 1; j < len; ++j)
                aName[out++] = aPath[j];
            break;
        }
    }
    aName[out] = '\0';
    if (out == 0)
        std::memcpy(aName, aPath, len + 1);
}
