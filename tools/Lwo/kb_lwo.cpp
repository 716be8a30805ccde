// Content builder: the sample fighter in both object generations and its two panel textures,
// written to <Data>/Lwo.

#include <cstdio>
#include <string>
#include <sys/stat.h>

#include "KbLwo.h"
#include "ToolArgs.h"

namespace {

// A 24-bit bitmap of hull or wing panels: plates with darker seams and a few rivet rows.
std::vector<uint8_t> _panelBmp(int aSize, uint8_t aR, uint8_t aG, uint8_t aB, int aPlate)
{
    int row = aSize * 3;
    std::vector<uint8_t> b(54 + row * aSize, 0);
    auto put32 = [&](int at, uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = (uint8_t)(v >> (8 * i));
    };
    b[0] = 'B';
    b[1] = 'M';
    put32(2, (uint32_t)b.size());
    put32(10, 54);
    put32(14, 40);
    put32(18, (uint32_t)aSize);
    put32(22, (uint32_t)aSize);
    b[26] = 1;
    b[28] = 24;
    put32(34, (uint32_t)(row * aSize));
    for (int y = 0; y < aSize; ++y) {
        for (int x = 0; x < aSize; ++x) {
            int shade = 255;
            if (x % aPlate == 0 || y % aPlate == 0) shade = 150;
            else if ((x % aPlate == 3 || y % aPlate == 3) && ((x + y) & 3) == 0) shade = 190;
            else shade = 235 + ((x / aPlate + y / aPlate) % 3) * 10;
            if (shade > 255) shade = 255;
            uint8_t *p = &b[54 + y * row + x * 3];
            p[0] = (uint8_t)(aB * shade / 255);
            p[1] = (uint8_t)(aG * shade / 255);
            p[2] = (uint8_t)(aR * shade / 255);
        }
    }
    return b;
}

} // namespace

static const char _usage[] = "usage: kb_lwo <Data folder>\n";

int main(int argc, char **argv)
{
    const int common = sToolArgsCommon(argc, argv, "kb_lwo", _usage);
    if (common >= 0)
        return common;
    if (argc < 2)
        return sToolArgsUsage(_usage);
    std::string dir = std::string(argv[1]) + "/Lwo";
    mkdir(dir.c_str(), 0755);
    KbLwoModel m = kbLwoFighter();
    bool ok = kbLwoSave(dir + "/fighter.lwo", kbLwoWriteLwo2(m)) && kbLwoSave(dir + "/fighter_lwob.lwo", kbLwoWriteLwob(m)) &&
              kbLwoSave(dir + "/hull.bmp", _panelBmp(64, 200, 205, 215, 16)) &&
              kbLwoSave(dir + "/wing.bmp", _panelBmp(64, 170, 180, 200, 32));
    if (!ok) {
        std::fprintf(stderr, "kb_lwo: cannot write %s\n", dir.c_str());
        return 1;
    }
    std::printf("kb_lwo: %zu points, %zu polygons\n", m.points.size() / 3, m.polys.size());
    return 0;
}
