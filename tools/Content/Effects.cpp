// Effect pictures: the two explosion animations (10), the lightning ribbon (13), the galaxies
// and the moon over the clouds.

#include <cmath>
#include <cstdio>

#include "Content.h"

// Set B: a blue-white plasma burst with a shock ring, for the second explosion kind.
static kbImage _plasma(uint32_t aSize, float aAge, uint32_t aSeed)
{
    kbImage img = kbImageMake(aSize, aSize);
    for (uint32_t y = 0; y < aSize; y++)
        for (uint32_t x = 0; x < aSize; x++) {
            float u = (x + 0.5f) / aSize * 2 - 1, v = (y + 0.5f) / aSize * 2 - 1;
            float r = std::sqrt(u * u + v * v);
            float ring = 0.15f + 0.8f * aAge;
            float n = kbFbm((x + 0.5f) / aSize, (y + 0.5f) / aSize, 4, 4, aSeed);
            float shock = std::exp(-std::pow((r - ring) / (0.05f + 0.05f * aAge), 2.0f)) * (1 - aAge);
            float core = std::max(0.0f, 1 - r / (0.5f * (1 - aAge) + 0.05f)) * (1 - aAge * 0.8f) * (0.7f + 0.6f * n);
            float k = std::min(1.0f, shock * (0.6f + 0.8f * n) + core);
            float rr = k * (0.55f + 0.45f * core), gg = k * (0.75f + 0.25f * core), bb = k;
            img.pixels[y * aSize + x] = kbRgb((uint32_t)(rr * 255), (uint32_t)(gg * 255), (uint32_t)(bb * 255));
        }
    return img;
}

bool ctWriteEffects(ctOutput *aOutP)
{
    bool ok = true;
    {
        std::vector<kbKsfEntry> e;
        for (int i = 0; i < 15; i++) {
            char name[32];
            std::snprintf(name, sizeof name, "_bomb_%02d.bmp", i);
            ok = ok && ctAddBitmap(&e, name, kbTexFire(128, i / 14.0f, 1000), 24);
        }
        for (int i = 0; i < 16; i++) {
            char name[32];
            std::snprintf(name, sizeof name, "_bomb_b%03d.bmp", i);
            ok = ok && ctAddBitmap(&e, name, _plasma(128, i / 15.0f, 1100), 24);
        }
        ok = ok && ctWritePackage(aOutP, "10.ksf", e);
    }
    {
        // A white-hot core along v fading to violet and then black at both edges.
        kbImage img = kbImageMake(32, 128);
        for (int y = 0; y < 128; y++)
            for (int x = 0; x < 32; x++) {
                float d = std::fabs((x + 0.5f) / 32 * 2 - 1);
                float flicker = 0.85f + 0.15f * kbNoise(0.5f, y / 128.0f, 32, 1301);
                float core = std::exp(-d * d * 40) * flicker, glow = std::max(0.0f, 1 - d) * 0.6f * flicker;
                glow *= glow;
                img.pixels[y * 32 + x] = kbRgb((uint32_t)std::min(255.0f, (core + glow * 0.6f) * 255),
                                               (uint32_t)std::min(255.0f, (core + glow * 0.5f) * 255),
                                               (uint32_t)std::min(255.0f, (core + glow) * 255));
            }
        std::vector<kbKsfEntry> e;
        ok = ok && ctAddBitmap(&e, "lightning.bmp", img, 24) && ctWritePackage(aOutP, "13.ksf", e);
    }
    {
        std::vector<kbKsfEntry> e;
        ok = ok && ctAddBitmap(&e, "galaxy01.bmp", kbTexGalaxy(512, 0x7090E0, 2, 1401), 32);
        ok = ok && ctAddBitmap(&e, "galaxy02.bmp", kbTexGalaxy(512, 0xE09070, 3, 1402), 32);
        ok = ok && ctAddBitmap(&e, "galaxy03.bmp", kbTexNebula(512, 0xD04878, 1403), 32);
        ok = ok && ctAddBitmap(&e, "galaxy04.bmp", kbTexNebula(512, 0x40A0A0, 1404), 32);
        ok = ok && ctWritePackage(aOutP, "Galaxy.ksf", e);
    }
    {
        // The moon: a cratered disc centred at (64, 80), radius 38, on black.
        kbImage img = kbImageMake(128, 128);
        for (int y = 0; y < 128; y++)
            for (int x = 0; x < 128; x++) {
                float dx = (x + 0.5f - 64) / 38, dy = (y + 0.5f - 80) / 38;
                float r2 = dx * dx + dy * dy;
                if (r2 > 1) {
                    float halo = std::max(0.0f, 1 - (std::sqrt(r2) - 1) * 4) * 0.25f;
                    img.pixels[y * 128 + x] = kbRgb((uint32_t)(halo * 200), (uint32_t)(halo * 210), (uint32_t)(halo * 230));
                    continue;
                }
                float z = std::sqrt(1 - r2);
                float light = 0.25f + 0.75f * std::max(0.0f, dx * -0.3f + dy * -0.2f + z * 0.93f);
                float maria = kbFbm(x / 128.0f, y / 128.0f, 4, 5, 1501);
                float k = light * (0.75f + 0.35f * maria - (maria < 0.45f ? 0.15f : 0.0f));
                img.pixels[y * 128 + x] = kbRgb((uint32_t)std::min(255.0f, k * 245), (uint32_t)std::min(255.0f, k * 240),
                                                (uint32_t)std::min(255.0f, k * 225));
            }
        kbBytes bytes;
        std::string err;
        ok = ok && kbBmpWrite(img, 24, &bytes, &err) && aOutP->Write("Data/Cloud/moon.bmp", bytes);
    }
    if (!ok && aOutP->error.empty())
        aOutP->error = "effect pictures could not be made";
    return ok;
}
