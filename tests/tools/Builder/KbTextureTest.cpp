#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "KbPicture.h"
#include "KbTexture.h"

// Procedural textures and pictures: the same arguments give the same pixels, another seed other
// pixels, the size asked for, and the ranges their users rely on.

namespace {

struct Generator {
    const char *name;
    std::function<kbImage(uint32_t aSeed)> make;
    bool onBlack;  // drawn additively: the border must be black
};

const std::vector<Generator> &Generators()
{
    static const std::vector<Generator> g = {
        {"wood", [](uint32_t s) { return kbTexWood(64, 0x8A5A30, s); }, false},
        {"paper", [](uint32_t s) { return kbTexPaper(64, 0xF0E8D0, s); }, false},
        {"shoji", [](uint32_t s) { return kbTexShoji(64, s); }, false},
        {"tatami", [](uint32_t s) { return kbTexTatami(64, s); }, false},
        {"stone", [](uint32_t s) { return kbTexStone(64, 0x808080, s); }, false},
        {"metal", [](uint32_t s) { return kbTexMetal(64, 0xA0A8B0, s); }, false},
        {"hull", [](uint32_t s) { return kbTexHull(64, 0x708090, s); }, false},
        {"ground", [](uint32_t s) { return kbTexGround(64, 0x60A040, s); }, false},
        {"water", [](uint32_t s) { return kbTexWater(64, s); }, false},
        {"sky", [](uint32_t s) { return kbTexSky(64, 0x2040A0, 0xC0D0F0, s); }, false},
        {"stars", [](uint32_t s) { return kbTexStars(64, s); }, false},
        {"galaxy", [](uint32_t s) { return kbTexGalaxy(64, 0x8090FF, 2, s); }, true},
        {"nebula", [](uint32_t s) { return kbTexNebula(64, 0xFF6040, s); }, false},
        {"fire", [](uint32_t s) { return kbTexFire(64, 0.3f, s); }, true},
        {"smoke", [](uint32_t s) { return kbTexSmoke(64, s); }, true},
        {"planet", [](uint32_t s) { return kbTexPlanet(64, 0x4080C0, s); }, false},
        {"lights", [](uint32_t s) { return kbTexLights(64, 0xFFD080, s); }, false},
        {"sky picture", [](uint32_t s) { return kbPictureSky(48, 32, 0x1020FFFF, 0xA0C0FFFF, s); }, false},
        {"tiles", [](uint32_t s) { return kbPictureTiles(48, 32, 12, 8, 0xB09070FF, s); }, false},
        {"panel", [](uint32_t s) { return kbPicturePanel(48, 32, s); }, false},
        {"indexed", [](uint32_t s) { return kbPictureIndexed(48, 32, 16, s); }, false},
    };
    return g;
}

uint32_t Rgb(uint32_t aPixel) { return aPixel >> 8; }

} // namespace

TEST(KbTextureGenerators, SameSeedSamePixelsOtherSeedOtherPixels)
{
    for (const Generator &g : Generators()) {
        const kbImage a = g.make(7), b = g.make(7), c = g.make(8);
        ASSERT_GT(a.width, 0u) << g.name;
        EXPECT_EQ(a.pixels.size(), (size_t)a.width * a.height) << g.name;
        EXPECT_EQ(a.pixels, b.pixels) << g.name;
        EXPECT_NE(a.pixels, c.pixels) << g.name << " ignores its seed";
        // Not a flat fill.
        size_t differ = 0;
        for (uint32_t p : a.pixels)
            differ += Rgb(p) != Rgb(a.pixels[0]) ? 1 : 0;
        EXPECT_GT(differ, a.pixels.size() / 10) << g.name;
    }
}

TEST(KbTextureGenerators, AdditivePicturesFadeToBlackAtTheirBorder)
{
    for (const Generator &g : Generators()) {
        if (!g.onBlack)
            continue;
        const kbImage img = g.make(3);
        uint32_t worst = 0;
        for (uint32_t i = 0; i < img.width; i++)
            for (uint32_t p : {img.pixels[i], img.pixels[(img.height - 1) * img.width + i]})
                for (int s = 8; s < 32; s += 8)
                    worst = std::max(worst, (p >> s) & 0xFF);
        EXPECT_LE(worst, 24u) << g.name << ": a bright border shows as a frame when drawn additively";
    }
    // Fire burns out: its last frame is all but dark.
    auto energy = [](const kbImage &aImg) {
        double e = 0;
        for (uint32_t p : aImg.pixels)
            e += ((p >> 24) & 0xFF) + ((p >> 16) & 0xFF) + ((p >> 8) & 0xFF);
        return e;
    };
    EXPECT_LT(energy(kbTexFire(64, 1.0f, 1)) * 20, energy(kbTexFire(64, 0.3f, 1)));
}

TEST(KbTextureNoise, StaysInItsRangeAndRepeatsEveryPeriod)
{
    for (uint32_t seed : {0u, 1u, 99u})
        for (int period : {1, 3, 8}) {
            for (float y = 0; y < 1; y += 0.093f)
                for (float x = 0; x < 1; x += 0.071f) {
                    const float n = kbNoise(x, y, period, seed);
                    EXPECT_GE(n, 0.0f);
                    EXPECT_LE(n, 1.0f);
                    EXPECT_NEAR(kbNoise(x + 1, y, period, seed), n, 1e-3f);
                    EXPECT_NEAR(kbNoise(x, y - 1, period, seed), n, 1e-3f) << "negative coordinates wrap too";
                    const float f = kbFbm(x, y, period, 4, seed);
                    EXPECT_GE(f, 0.0f);
                    EXPECT_LE(f, 1.0f);
                }
        }
    EXPECT_NE(kbNoise(0.3f, 0.6f, 4, 1), kbNoise(0.3f, 0.6f, 4, 2));
}

TEST(KbTextureColour, MixAndShadeClampAndKeepAlpha)
{
    EXPECT_EQ(kbMixColor(0x000000FF, 0xFFFFFFFF, 0), 0x000000FFu);
    EXPECT_EQ(kbMixColor(0x000000FF, 0xFFFFFFFF, 1), 0xFFFFFFFFu);
    EXPECT_EQ(kbMixColor(0x000000FF, 0xFFFFFFFF, 7), 0xFFFFFFFFu) << "beyond 1 holds the end";
    EXPECT_EQ(kbMixColor(0x000000FF, 0xFFFFFFFF, -2), 0x000000FFu);
    EXPECT_EQ(kbMixColor(0x00000000, 0xC86400FF, 0.5f), 0x64320080u);
    EXPECT_EQ(kbShade(0x80402011, 2.0f), 0xFF804011u) << "alpha untouched";
    EXPECT_EQ(kbShade(0x80402011, 9.0f), 0xFFFFFF11u) << "channels clamp at 255";
    EXPECT_EQ(kbShade(0x80402011, -1.0f), 0x00000011u);
    EXPECT_EQ(kbRgb(1, 2, 3), 0x010203FFu);
}

TEST(KbPictures, GlowsIndexedPicturesAndTheRandomSourceKeepTheirPromises)
{
    // A glow: alpha follows brightness, opaque-bright in the middle, clear at the corners.
    const kbImage glow = kbPictureGlow(33, 33, 0xFF8040FF);
    const uint32_t mid = glow.pixels[16 * 33 + 16];
    EXPECT_GE(mid & 0xFF, 0xF0u);
    EXPECT_EQ(glow.pixels[0] & 0xFF, 0u);
    EXPECT_EQ(Rgb(glow.pixels[0]), 0u);
    for (uint32_t p : glow.pixels)
        EXPECT_LE((p >> 24) & 0xFF, (p & 0xFF) + 1) << "red never brighter than the alpha allows";

    // Paletted pictures use at most the colours asked for, each index inside the palette.
    for (uint32_t colours : {2u, 16u, 256u, 999u}) {
        const kbImage img = kbPictureIndexed(40, 24, colours, 5);
        EXPECT_LE(img.palette.size(), std::min(colours, 256u));
        ASSERT_EQ(img.indices.size(), img.pixels.size());
        for (size_t i = 0; i < img.indices.size(); i++) {
            ASSERT_LT(img.indices[i], img.palette.size());
            EXPECT_EQ(img.pixels[i], img.palette[img.indices[i]]);
        }
    }

    kbRandom r(0);  // seed 0 would stick at 0 for ever
    uint32_t seen = 0;
    for (int i = 0; i < 1000; i++) {
        const uint32_t v = r.Below(10);
        ASSERT_LT(v, 10u);
        seen |= 1u << v;
    }
    EXPECT_EQ(seen, 0x3FFu) << "every value of the range comes up";
    EXPECT_EQ(r.Below(0), 0u);
}
