#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "App/Effect/EffectCore.h"

TEST(CloudColour, ZeroSaturationIsBlackAndTheSkyHueIsBlue)
{
    uint8_t r = 1, g = 1, b = 1;
    _hsi2rgb(3.665191411972046f, 0.0f, 200.0f, &r, &g, &b);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(g, 0);
    EXPECT_EQ(b, 0);
    _hsi2rgb(3.665191411972046f, 0.3f, 200.0f, &r, &g, &b);
    EXPECT_NEAR(r, 140, 1);
    EXPECT_NEAR(g, 168, 1);
    EXPECT_EQ(b, 200);
}

TEST(CloudPlasma, SameOnEveryRunWithTheSeedCellKept)
{
    std::vector<uint8_t> a(65536), b(65536), cnt(65536);
    _drawCloudGrid(a.data(), cnt.data());
    srand(1);  // whatever ran before does not matter
    _drawCloudGrid(b.data(), nullptr);
    EXPECT_EQ(a, b);
    EXPECT_EQ(a[0], 120);
    EXPECT_EQ(cnt[0], 0);
    for (long n = 1; n < 65536; n++)
        ASSERT_EQ(cnt[n], 1) << "cell " << n;
}

TEST(CloudPlasma, ColouredPictureIsTransposed)
{
    std::vector<uint8_t> g(65536);
    _drawCloudGrid(g.data(), nullptr);
    std::vector<CloudPixel> c(65536);
    _drawCloud(c.data());
    // Grid cell (x 3, y 7) lands at 3 x 256 + 7.
    uint8_t r, gg, b;
    _hsi2rgb(3.665191411972046f, 0.3f, (float)g[7 * 256 + 3], &r, &gg, &b);
    EXPECT_EQ(c[3 * 256 + 7].b, b);
    EXPECT_EQ(c[3 * 256 + 7].r, r);
}

TEST(CloudTables, FalloffAndProducts)
{
    std::vector<uint8_t> f(65536), m(65536);
    sCloudFalloff(f.data());
    sCloudMultTable(m.data());
    EXPECT_EQ(f[128 * 256 + 128], 255);
    EXPECT_LT(f[0], f[64 * 256 + 64]);
    EXPECT_EQ(m[255 * 256 + 255], 254);
    EXPECT_EQ(m[128 * 256 + 2], 1);
    EXPECT_EQ(m[0 * 256 + 200], 0);
}

TEST(CloudCompose, OverlayIsClippedAndShowsAtAQuarterOverTheCloud)
{
    std::vector<CloudPixel> draw(65536), cloud(65536);
    std::vector<uint8_t> fall(65536, 255), mult(65536);
    sCloudMultTable(mult.data());
    for (auto &p : cloud)
        p = CloudPixel{100, 100, 100, 0};
    // A 64 x 64 white overlay at (32, -32) keeps only its lower 32 rows.
    std::vector<CloudPixel> moon(64 * 64, CloudPixel{200, 200, 200, 0});
    sCloudCompose(draw.data(), cloud.data(), fall.data(), mult.data(), moon.data(), 64, 64, 32, -32, 0, 0);
    const uint8_t plain = mult[100 * 256 + 255];
    EXPECT_EQ(draw[0 * 256 + 32].r, plain + 50);
    EXPECT_EQ(draw[31 * 256 + 95].g, plain + 50);
    EXPECT_EQ(draw[32 * 256 + 32].r, plain);  // below the overlay
    EXPECT_EQ(draw[0 * 256 + 96].r, plain);   // right of it
    EXPECT_EQ(draw[0 * 256 + 31].r, plain);
    // Saturates instead of wrapping.
    for (auto &p : cloud)
        p = CloudPixel{255, 255, 255, 0};
    std::vector<CloudPixel> white(16, CloudPixel{255, 255, 255, 0});
    sCloudCompose(draw.data(), cloud.data(), fall.data(), mult.data(), white.data(), 4, 4, 0, 0, 0, 0);
    EXPECT_EQ(draw[0].r, 255);
}

TEST(CloudCompose, CloudDriftsWithTheShifts)
{
    std::vector<CloudPixel> draw(65536), cloud(65536);
    std::vector<uint8_t> fall(65536, 255), mult(65536);
    sCloudMultTable(mult.data());
    cloud[(1 << 8) | 253] = CloudPixel{255, 0, 0, 0};
    // Shifts -3, +1: the cloud pixel at row 1, column 253 shows at row 0, column 0.
    sCloudCompose(draw.data(), cloud.data(), fall.data(), mult.data(), nullptr, 0, 0, 0, 0, -3, 1);
    EXPECT_EQ(draw[0].r, 254);
}

// The composition as the plain rule states it: clear, lay the overlay, add the cloud.
static void ComposeByTheRule(CloudPixel *aDrawP, const CloudPixel *aCloudP, const uint8_t *aFallP,
                             const uint8_t *aMultP, const CloudPixel *aBmP, long aBmW, long aBmH, long aX, long aY,
                             long aXShift, long aYShift)
{
    memset(aDrawP, 0, sizeof(CloudPixel) * 65536);
    for (long i = 0; aBmP != nullptr && i < aBmH; i++)
        for (long j = 0; j < aBmW; j++)
            if (aX + j >= 0 && aX + j < 256 && aY + i >= 0 && aY + i < 256) {
                CloudPixel &d = aDrawP[(aY + i) * 256 + aX + j];
                d.r = aBmP[i * aBmW + j].r, d.g = aBmP[i * aBmW + j].g, d.b = aBmP[i * aBmW + j].b;
            }
    for (long i = 0; i < 256; i++)
        for (long j = 0; j < 256; j++) {
            const CloudPixel c = aCloudP[(((i + aYShift) & 0xFF) << 8) | ((j + aXShift) & 0xFF)];
            const long f = aFallP[i * 256 + j];
            CloudPixel &d = aDrawP[i * 256 + j];
            const long r = (d.r >> 2) + aMultP[c.r * 256 + f], g = (d.g >> 2) + aMultP[c.g * 256 + f],
                       b = (d.b >> 2) + aMultP[c.b * 256 + f];
            d.r = (uint8_t)(r > 255 ? 255 : r), d.g = (uint8_t)(g > 255 ? 255 : g), d.b = (uint8_t)(b > 255 ? 255 : b);
        }
}

TEST(CloudCompose, EqualsThePlainRuleWhereverTheOverlayLies)
{
    std::vector<CloudPixel> cloud(65536), moon(64 * 48);
    std::vector<uint8_t> fall(65536), mult(65536);
    _drawCloud(cloud.data());
    sCloudFalloff(fall.data());
    sCloudMultTable(mult.data());
    srand(3);
    for (auto &p : moon)
        p = CloudPixel{(uint8_t)rand(), (uint8_t)rand(), (uint8_t)rand(), (uint8_t)rand()};
    const long places[][2] = {{32, -32}, {0, 0}, {-20, 100}, {220, 230}, {300, 10}, {10, -48}, {-64, -64}};
    for (const auto &at : places) {
        SCOPED_TRACE(::testing::Message() << at[0] << "," << at[1]);
        std::vector<CloudPixel> want(65536), got(65536, CloudPixel{9, 9, 9, 9});
        ComposeByTheRule(want.data(), cloud.data(), fall.data(), mult.data(), moon.data(), 64, 48, at[0], at[1], -7, 5);
        sCloudCompose(got.data(), cloud.data(), fall.data(), mult.data(), moon.data(), 64, 48, at[0], at[1], -7, 5);
        ASSERT_EQ(0, memcmp(want.data(), got.data(), sizeof(CloudPixel) * 65536));
    }
    std::vector<CloudPixel> want(65536), got(65536, CloudPixel{9, 9, 9, 9});
    ComposeByTheRule(want.data(), cloud.data(), fall.data(), mult.data(), nullptr, 0, 0, 0, 0, 300, -2);
    sCloudCompose(got.data(), cloud.data(), fall.data(), mult.data(), nullptr, 0, 0, 0, 0, 300, -2);
    ASSERT_EQ(0, memcmp(want.data(), got.data(), sizeof(CloudPixel) * 65536));
}

TEST(CloudUpload, FieldsPackIntoSixteenAndThirtyTwoBitPixels)
{
    std::vector<CloudPixel> draw(65536, CloudPixel{0xFF, 0x80, 0x08, 0});
    _cloudFormat f{};
    sCloudMaskShift(0xF800, &f.rShift, &f.rBit);
    sCloudMaskShift(0x07E0, &f.gShift, &f.gBit);
    sCloudMaskShift(0x001F, &f.bShift, &f.bBit);
    EXPECT_EQ(f.rShift, 11);
    EXPECT_EQ(f.rBit, 3);
    EXPECT_EQ(f.gBit, 2);
    f.bitCount = 16;
    std::vector<uint8_t> surf(4 * 2 * 2 + 8, 0xCC);
    sCloudUpload(draw.data(), surf.data(), 8, 2, 2, &f);
    uint16_t px;
    memcpy(&px, &surf[8], 2);
    EXPECT_EQ(px, (0x1F << 11) | (0x20 << 5) | 0x01);
    EXPECT_EQ(surf[4], 0xCC);  // past the width stays
    f.bitCount = 24;
    std::vector<uint8_t> untouched(16, 0xCC);
    sCloudUpload(draw.data(), untouched.data(), 8, 2, 2, &f);
    EXPECT_EQ(untouched[0], 0xCC);
}

TEST(CloudFade, BlackAtTheStartFullFromFrameThirtyTwo)
{
    EXPECT_EQ(sCloudBright(0), 0);
    EXPECT_EQ(sCloudBright(31), 248);
    EXPECT_EQ(sCloudBright(32), 255);
    EXPECT_EQ(sCloudBright(9000), 255);
    CloudVertex v[4];
    sCloudQuad(v, 640, 480);
    EXPECT_EQ(v[3].x, 639.0f);
    EXPECT_EQ(v[3].tv, 0.75f);
    EXPECT_EQ(v[0].color, 0xFFFFFFu & 0xFFFFFF);
    sCloudSetBright(v, sCloudBright(0));
    EXPECT_EQ(v[2].color, 0u);
}

TEST(EffectNeya, RowsNameTheLightningAndCueTablesOfTheEdition)
{
    EXPECT_EQ(sEffectNeyaRow(-1, 1), nullptr);
    EXPECT_EQ(sEffectNeyaRow(11, 1), nullptr);
    EXPECT_EQ(sEffectNeyaRow(0, 1)->lightningTblP, nullptr);
    EXPECT_EQ(sEffectNeyaRow(4, 1)->lightningTblP, &gLightningAllScnTbl[3]);
    EXPECT_EQ(sEffectNeyaRow(4, 1)->bomTblP->cnt, 63);
    EXPECT_EQ(sEffectNeyaRow(4, 0)->bomTblP->cnt, 29);
    EXPECT_EQ(sEffectNeyaRow(9, 0)->bomTblP->cnt, 15);
    EXPECT_EQ(sEffectNeyaRow(10, 0)->lightningTblP->vertHeightCnt, 160);
}

TEST(EffectShape, HanMenBlursFromFrame255ToTheLastFrame)
{
    const EffectDef *d = sEffectShapeFind("HanMen");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(sEffectShapeFind("hanmen"), nullptr);
    EXPECT_EQ(sEffectShapeOption(d, 254, 600), 0u);
    EXPECT_EQ(sEffectShapeOption(d, 255, 600), (uint32_t)EffectOptionsBlur);
    EXPECT_EQ(sEffectShapeOption(d, 599, 600), (uint32_t)EffectOptionsBlur);
    EXPECT_EQ(sEffectShapeOption(d, 600, 600), 0u);
    const EffectDef *boss = sEffectShapeFind("Boss02");
    EXPECT_EQ(sEffectShapeOption(boss, 0, 1000), (uint32_t)EffectOptionsBlur);
    EXPECT_EQ(sEffectShapeOption(boss, 481, 1000), 0u);
    EXPECT_EQ(boss->effect.blurFrameRate, 2u);
    EXPECT_FLOAT_EQ(boss->effect.blurEmissive.r, 1.0f);
}
