// dsb_preview <scene 13..18> <light 0|1> <out.png> <frame>...
// A contact sheet of frames of one battle scene: the software rendering with stars behind, the
// lightning arcs as lines and each explosion as a rough fireball, to judge the staging.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include "DemoSpaceBattle.h"
#include "ToolArgs.h"

static void _disc(kbImage *aImgP, float aX, float aY, float aR, uint32_t aRgb, float aAlpha)
{
    int w = (int)aImgP->width, h = (int)aImgP->height;
    for (int y = std::max(0, (int)(aY - aR)); y <= std::min(h - 1, (int)(aY + aR)); y++)
        for (int x = std::max(0, (int)(aX - aR)); x <= std::min(w - 1, (int)(aX + aR)); x++) {
            float d = std::hypot(x - aX, y - aY) / aR;
            if (d > 1)
                continue;
            float a = aAlpha * (1 - d * d);
            uint32_t &p = aImgP->pixels[(size_t)y * w + x];
            uint32_t r = std::min(255u, (uint32_t)(((p >> 24) & 255) + ((aRgb >> 16) & 255) * a));
            uint32_t g = std::min(255u, (uint32_t)(((p >> 16) & 255) + ((aRgb >> 8) & 255) * a));
            uint32_t b = std::min(255u, (uint32_t)(((p >> 8) & 255) + (aRgb & 255) * a));
            p = kbRgb(r, g, b);
        }
}

static const char _usage[] = "usage: dsb_preview <scene> <light 0|1> <out.png> <frame>...\n";

int main(int argc, char **argv)
{
    const int common = sToolArgsCommon(argc, argv, "dsb_preview", _usage);
    if (common >= 0)
        return common;
    if (argc < 5)
        return sToolArgsUsage(_usage);
    dsbBuilt b = dsbScene(std::atoi(argv[1]), std::atoi(argv[2]) != 0);
    const kbScene &sc = b.scene.scene;
    const int tw = 320, th = 240, cols = 3, n = argc - 4, rows = (n + cols - 1) / cols;
    kbImage sheet = kbImageMake(tw * cols, th * rows, 0x202020FF);
    kbImage stars = kbTexStars(256, 77);
    for (int i = 0; i < n; i++) {
        int f = std::atoi(argv[4 + i]);
        kbImage img = ctPreview(b.scene, f, tw, th);
        for (int y = 0; y < th; y++)
            for (int x = 0; x < tw; x++)
                if ((img.pixels[y * tw + x] >> 8) == 0)
                    img.pixels[y * tw + x] = stars.pixels[(y % 256) * 256 + x % 256];
        // Lightning arcs.
        for (size_t s = 0; s < sc.shapes.size(); s++) {
            std::string name = sc.shapes[s].def.name;
            if (name.compare(0, 5, "thand") || name.back() != 'a' || sc.shapes[s].dissolve.empty() || sc.shapes[s].dissolve[f] >= 0.5f)
                continue;
            for (size_t t = 0; t < sc.shapes.size(); t++)
                if (std::string(sc.shapes[t].def.name) == name.substr(0, name.size() - 1) + "b") {
                    float x0, y0, x1, y1;
                    if (!dsbProject(sc, f, dsbShapeWorld(sc, (int)s, f), &x0, &y0) || !dsbProject(sc, f, dsbShapeWorld(sc, (int)t, f), &x1, &y1))
                        continue;
                    for (int k = 0; k <= 200; k++)
                        _disc(&img, (x0 + (x1 - x0) * k / 200) / 2, (y0 + (y1 - y0) * k / 200) / 2, 1.5f, 0xA0C0FF, 0.8f);
                }
        }
        // Explosions: a growing fireball over the spread the sub-explosions reach.
        for (const dsbBlast &e : b.blasts) {
            int age = f - e.frame;
            if (age < 0 || age > 45)
                continue;
            float x, y;
            if (!dsbProject(sc, f, e.pos, &x, &y))
                continue;
            kbVec3 eye, look;
            dsbCamera(sc, f, &eye, &look);
            float z = std::max(1.0f, kbDot(e.pos - eye, kbNormalize(look - eye)));
            float spread = 15 * e.scale * e.coef * std::min(1.0f, (age + 2) / 16.0f) / z * 437 / 2;
            float fade = 1 - age / 46.0f;
            _disc(&img, x / 2, y / 2, spread + 4, 0xFF8020, 0.9f * fade);
            _disc(&img, x / 2, y / 2, spread * 0.5f + 2, 0xFFF0B0, fade);
        }
        kbDrawText(&img, 4, 4, 14, 0xFFFFFFFF, std::to_string(f));
        int ox = (i % cols) * tw, oy = (i / cols) * th;
        for (int y = 0; y < th; y++)
            std::memcpy(&sheet.pixels[(size_t)(oy + y) * sheet.width + ox], &img.pixels[(size_t)y * tw], tw * 4);
    }
    std::vector<uint8_t> rgb;
    for (uint32_t p : sheet.pixels)
        rgb.insert(rgb.end(), {(uint8_t)(p >> 24), (uint8_t)(p >> 16), (uint8_t)(p >> 8)});
    if (!stbi_write_png(argv[3], (int)sheet.width, (int)sheet.height, 3, rgb.data(), (int)sheet.width * 3))
        return 1;
    std::printf("scene %s: %d frames, %u polygons, %.2f MB textures, %zu blasts\n", b.scene.number.c_str(), sc.def.frameCnt,
                sc.def.polyCnt, b.scene.textures.Megabytes(), b.blasts.size());
    for (const dsbBlast &e : b.blasts)
        std::printf("    {%d, %d, %d, {{{%.1ff}, {%.1ff}, {%.1ff}}, {{%.1ff}, {%.1ff}, {%.1ff}}, %.1ff, %.1ff, %.1ff}},\n", e.frame,
                    e.bomType, e.texType, e.pos.x, e.pos.y, e.pos.z, e.rotate.x, e.rotate.y, e.rotate.z, e.scale, e.texScale, e.coef);
    return 0;
}
