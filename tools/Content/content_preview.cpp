// content_preview <scene number> <frame> <out.png> [width height]
// Renders one frame of a benchmark scene in software, to judge it while authoring.

#include <cstdio>
#include <cstdlib>
#include <string>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include "Content.h"
#include "ToolArgs.h"

static const char _usage[] = "usage: content_preview <scene> <frame> <out.png> [width height]\n";

int main(int argc, char **argv)
{
    const int common = sToolArgsCommon(argc, argv, "content_preview", _usage);
    if (common >= 0)
        return common;
    if (argc < 4)
        return sToolArgsUsage(_usage);
    std::string n = argv[1];
    std::vector<std::pair<std::string, kbBytes>> loose;
    ctScene s = n == "23" ? ctGame1() : n == "05" ? ctGame2() : n == "10" ? ctGame3() : n == "19" ? ctSurface()
              : n == "24" ? ctFighter(false) : n == "25" ? ctFighter(true) : n == "27" ? ctClosing(&loose) : ctEmpty2d();
    int w = argc > 5 ? std::atoi(argv[4]) : 320, h = argc > 5 ? std::atoi(argv[5]) : 240;
    if (std::getenv("PREVIEW_SHAPES")) {
        std::map<std::string, std::pair<int, uint32_t>> byName;
        for (const kbShape &sh : s.scene.shapes)
            if (sh.body) {
                auto &e = byName[sh.def.name];
                e.first++;
                e.second += sh.body->def.polyCnt;
            }
        for (const auto &e : byName)
            std::printf("%-20s x%-3d %6u\n", e.first.c_str(), e.second.first, e.second.second);
    }
    kbImage img = ctPreview(s, std::atoi(argv[2]), w, h);
    // The program draws stars and galaxies behind space scenes, and the 2D test over its picture.
    if (s.scene.shapes.empty() && s.textures.images.count("siro.bmp")) {
        const kbImage &siro = s.textures.images["siro.bmp"];
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++)
                img.pixels[y * w + x] = siro.pixels[(y * siro.height / h) * siro.width + x * siro.width / w];
    } else if (s.scene.def.backColor == 0 && (n == "10" || n == "24" || n == "25")) {
        kbImage stars = kbTexStars(256, 77);
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++)
                if ((img.pixels[y * w + x] >> 8) == 0)
                    img.pixels[y * w + x] = stars.pixels[(y % 256) * 256 + x % 256];
    }
    std::vector<uint8_t> rgb;
    for (uint32_t p : img.pixels)
        rgb.insert(rgb.end(), {(uint8_t)(p >> 24), (uint8_t)(p >> 16), (uint8_t)(p >> 8)});
    if (!stbi_write_png(argv[3], w, h, 3, rgb.data(), w * 3))
        return 1;
    std::printf("scene %s: %u polygons, %.2f MB textures\n", n.c_str(), s.scene.def.polyCnt, s.textures.Megabytes());
    return 0;
}
