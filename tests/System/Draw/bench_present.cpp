// Frames per second of a loop that only clears and presents at 640 x 480 x 16, full screen and
// windowed, under the real device. Run under Wine from the folder of Kestrel.exe:
// bench_present [frames]

#include <cstdio>
#include <cstdlib>

#include "DeviceFixture.h"
#include "System/Draw/DrawMan.h"

namespace {

// Frames per second, or 0 when the device cannot be opened.
double Rate(bool aFull, int aFrames)
{
    if (fx::Open(640, 480, 16, aFull, false) != 0)
        return 0.0;
    for (int i = 0; i < 10; ++i) {
        sDrawClear();
        sDrawFlipBuffer();
    }
    LARGE_INTEGER freq, start, end;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&start);
    for (int i = 0; i < aFrames; ++i) {
        sDrawSetBackColor(i & 0xFF, 0, 255 - (i & 0xFF));
        sDrawClear();
        sDrawFlipBuffer();
    }
    QueryPerformanceCounter(&end);
    fx::Close();
    return aFrames * (double)freq.QuadPart / (double)(end.QuadPart - start.QuadPart);
}

} // namespace

int main(int aArgc, char **aArgv)
{
    const int frames = aArgc > 1 ? std::atoi(aArgv[1]) : 300;
    if (frames <= 0) {
        std::fprintf(stderr, "usage: bench_present [frames]\n");
        return 2;
    }
    const double full = Rate(true, frames);
    const double windowed = Rate(false, frames);
    std::printf("clear and present at 640x480x16, %d frames: full screen %.0f fps, windowed %.0f fps\n", frames, full,
                windowed);
    return full > 0.0 && windowed > 0.0 ? 0 : 1;
}
