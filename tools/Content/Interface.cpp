// The interface pictures (image package 09): digits, loading and result screens, the Challenge
// prompt, the test thumbnails and data cards, logos, the bar colours and the dialog banner.

#include <cmath>
#include <cstdio>

#include "Content.h"
#include "KestrelVersion.h"

// Black is the transparent colour of most of these, so drawn black is lifted a step.
static const uint32_t _ink = 0x000000;

// The benchmark tests as the results name them.
struct _test {
    const char *name, *mode;
    int polygons;
    double megabytes;
};
static const _test _tests[10] = {{"Game1 (Low)", "640 x 480 x 16", 24632, 6.2},  {"Game1 (High)", "1280 x 1024 x 16", 24632, 6.2},
                                 {"Game2 (Low)", "640 x 480 x 16", 17782, 5.8},  {"Game2 (High)", "1280 x 1024 x 16", 17782, 5.8},
                                 {"Game3 (Low)", "640 x 480 x 16", 8122, 6.2},   {"Game3 (High)", "1280 x 1024 x 16", 8122, 6.2},
                                 {"The Surface", "640 x 480 x 32", 10788, 2.1},  {"2D Graphics", "640 x 480 x 16", 0, 0},
                                 {"Space Fighter", "640 x 480 x 16", 55258, 4.3}, {"Your Fighter", "640 x 480 x 16", -1, -1}};

static kbImage _black(uint32_t aW, uint32_t aH) { return kbImageMake(aW, aH, 0x000000FF); }

// Draws aText into the box, shrunk (never stretched) to fit, centred.
static void _fit(kbImage *aImageP, float aX0, float aY0, float aX1, float aY1, uint32_t aColor, const std::string &aText,
                 bool aBold = true)
{
    float h = aY1 - aY0;
    float w = kbTextWidth(aText, h * 1.25f, aBold);
    float size = h * 1.25f;
    if (w > aX1 - aX0)
        size *= (aX1 - aX0) / w, w = aX1 - aX0;
    kbDrawText(aImageP, aX0 + (aX1 - aX0 - w) / 2, aY0 + (h - size * 0.8f) / 2 - size * 0.1f, size, aColor, aText, aBold);
}

// A glyph squeezed or widened into exactly the cell [aX0, aX1) × [aY0, aY1): drawn large, then
// box-filtered down, so narrow columns still get a full-height glyph.
static void _glyph(kbImage *aImageP, int aX0, int aX1, int aY0, int aY1, uint32_t aTop, uint32_t aBottom,
                   const std::string &aText)
{
    const int scale = 8;
    int cw = (aX1 - aX0) * scale, ch = (aY1 - aY0) * scale;
    kbImage big = _black(cw, ch);
    float size = ch * 1.3f;
    float w = kbTextWidth(aText, size);
    kbImage wide = _black((uint32_t)std::ceil(w) + 4, (uint32_t)(size * 1.4f));
    kbDrawText(&wide, 2, 0, size, 0xFFFFFF, aText);
    // Crop to the ink, then stretch the ink over the cell.
    int left = (int)wide.width, right = -1, top = (int)wide.height, bottom = -1;
    for (uint32_t y = 0; y < wide.height; y++)
        for (uint32_t x = 0; x < wide.width; x++)
            if ((wide.pixels[y * wide.width + x] >> 24) > 8) {
                left = std::min(left, (int)x), right = std::max(right, (int)x);
                top = std::min(top, (int)y), bottom = std::max(bottom, (int)y);
            }
    if (right < left)
        return;
    int inkW = right - left + 1, inkH = bottom - top + 1;
    for (int y = 0; y < ch; y++)
        for (int x = 0; x < cw; x++)
            big.pixels[y * cw + x] = wide.pixels[(top + y * inkH / ch) * wide.width + left + x * inkW / cw];
    for (int y = aY0; y < aY1; y++)
        for (int x = aX0; x < aX1; x++) {
            uint32_t sum = 0;
            for (int yy = 0; yy < scale; yy++)
                for (int xx = 0; xx < scale; xx++)
                    sum += big.pixels[((y - aY0) * scale + yy) * cw + (x - aX0) * scale + xx] >> 24;
            float k = sum / (255.0f * scale * scale);
            float t = (float)(y - aY0) / std::max(1, aY1 - aY0 - 1);
            uint32_t c = kbMixColor((aTop << 8) | 0xFF, (aBottom << 8) | 0xFF, t);
            uint32_t &p = aImageP->pixels[y * aImageP->width + x];
            p = kbMixColor(p, c, k);
        }
}

static void _frame(kbImage *aImageP, int aX0, int aY0, int aX1, int aY1, uint32_t aColor)
{
    kbFillRect(aImageP, aX0 - 2, aY0 - 2, aX1 + 2, aY0, aColor);
    kbFillRect(aImageP, aX0 - 2, aY1, aX1 + 2, aY1 + 2, aColor);
    kbFillRect(aImageP, aX0 - 2, aY0, aX0, aY1, aColor);
    kbFillRect(aImageP, aX1, aY0, aX1 + 2, aY1, aColor);
}

// The common backdrop of the full-screen pictures: deep blue with a faint hexagon weave.
static kbImage _backdrop(uint32_t aSeed)
{
    kbImage img = kbImageMake(640, 480);
    for (int y = 0; y < 480; y++)
        for (int x = 0; x < 640; x++) {
            float v = y / 480.0f, u = x / 640.0f;
            uint32_t c = kbMixColor(kbRgb(12, 22, 52), kbRgb(4, 6, 16), v);
            float n = kbFbm(u, v, 4, 4, aSeed);
            c = kbMixColor(c, kbRgb(40, 70, 130), std::max(0.0f, n - 0.55f) * 1.5f);
            float hx = std::fmod(x + (y / 24 % 2) * 12.0f, 24.0f);
            if (hx < 1 || y % 24 == 0)
                c = kbShade(c, 1.25f);
            img.pixels[y * 640 + x] = c;
        }
    return img;
}

// A stylised kestrel: wings spread, drawn as filled triangles.
static void _bird(kbImage *aImageP, float aCx, float aCy, float aSize, uint32_t aColor)
{
    const float tri[][6] = {{-1.0f, -0.2f, -0.1f, -0.05f, -0.15f, 0.2f}, {1.0f, -0.2f, 0.1f, -0.05f, 0.15f, 0.2f},
                            {-0.1f, -0.05f, 0.1f, -0.05f, 0.0f, 0.55f},  {-0.08f, -0.05f, 0.08f, -0.05f, 0.0f, -0.3f},
                            {-0.12f, 0.5f, 0.12f, 0.5f, 0.0f, 0.35f},     {-0.7f, -0.16f, -0.45f, -0.1f, -0.9f, 0.1f},
                            {0.7f, -0.16f, 0.45f, -0.1f, 0.9f, 0.1f}};
    for (const auto &t : tri) {
        float xs[3] = {aCx + t[0] * aSize, aCx + t[2] * aSize, aCx + t[4] * aSize};
        float ys[3] = {aCy + t[1] * aSize, aCy + t[3] * aSize, aCy + t[5] * aSize};
        int x0 = (int)std::min({xs[0], xs[1], xs[2]}), x1 = (int)std::max({xs[0], xs[1], xs[2]}) + 1;
        int y0 = (int)std::min({ys[0], ys[1], ys[2]}), y1 = (int)std::max({ys[0], ys[1], ys[2]}) + 1;
        float area = (xs[1] - xs[0]) * (ys[2] - ys[0]) - (xs[2] - xs[0]) * (ys[1] - ys[0]);
        if (area == 0)
            continue;
        for (int y = std::max(0, y0); y < std::min((int)aImageP->height, y1); y++)
            for (int x = std::max(0, x0); x < std::min((int)aImageP->width, x1); x++) {
                float px = x + 0.5f, py = y + 0.5f;
                float w0 = ((xs[1] - px) * (ys[2] - py) - (xs[2] - px) * (ys[1] - py)) / area;
                float w1 = ((xs[2] - px) * (ys[0] - py) - (xs[0] - px) * (ys[2] - py)) / area;
                if (w0 >= 0 && w1 >= 0 && w0 + w1 <= 1)
                    aImageP->pixels[y * aImageP->width + x] = (aColor << 8) | 0xFF;
            }
    }
}

static kbImage _loadingScreen()
{
    kbImage img = _backdrop(901);
    _bird(&img, 320, 170, 150, 0xE8B040);
    _fit(&img, 120, 250, 520, 310, 0xFFFFFF, "KESTREL");
    _fit(&img, 170, 318, 470, 340, 0xA8C0E8, "3D Benchmark", false);
    _fit(&img, 400, 432, 630, 452, 0xC8D8F0, "Now Loading...");
    // The trough the progress bar fills: x 5 .. 515, y 462 .. 470.
    kbFillRect(&img, 2, 459, 519, 473, 0x506080);
    kbFillRect(&img, 4, 461, 517, 471, 0x000000);
    return img;
}

static kbImage _resultScreen()
{
    kbImage img = _backdrop(902);
    _fit(&img, 20, 14, 400, 46, 0xFFFFFF, "BENCHMARK RESULT");
    kbFillRect(&img, 20, 52, 620, 54, 0xE8B040);
    _fit(&img, 24, 226, 150, 254, 0xE8B040, "SCORE");
    _frame(&img, 160, 192, 490, 288, 0x405080);
    kbFillRect(&img, 160, 192, 490, 288, 0x000000);
    _frame(&img, 496, 140, 624, 268, 0x8090B0);
    _frame(&img, 488, 272, 632, 432, 0x8090B0);
    _fit(&img, 496, 120, 624, 136, 0xA8C0E8, "Test", false);
    _bird(&img, 90, 110, 40, 0x304060);
    kbFillRect(&img, 0, 450, 640, 480, 0x000000);
    return img;
}

static kbImage _thumbnail(const ctScene *aSceneP, int aFrame, bool aStars)
{
    kbImage img = ctPreview(*aSceneP, aFrame, 128, 128);
    if (aStars) {
        kbImage stars = kbTexStars(128, 77);
        for (size_t i = 0; i < img.pixels.size(); i++)
            if ((img.pixels[i] >> 8) == 0)
                img.pixels[i] = stars.pixels[i];
    }
    return img;
}

static kbImage _scaled(const kbImage &aSrc, uint32_t aW, uint32_t aH)
{
    kbImage out = kbImageMake(aW, aH);
    for (uint32_t y = 0; y < aH; y++)
        for (uint32_t x = 0; x < aW; x++) {
            // Box filter over the source footprint.
            uint32_t sx0 = x * aSrc.width / aW, sx1 = std::max(sx0 + 1, (x + 1) * aSrc.width / aW);
            uint32_t sy0 = y * aSrc.height / aH, sy1 = std::max(sy0 + 1, (y + 1) * aSrc.height / aH);
            uint32_t r = 0, g = 0, b = 0, n = 0;
            for (uint32_t yy = sy0; yy < sy1; yy++)
                for (uint32_t xx = sx0; xx < sx1; xx++) {
                    uint32_t p = aSrc.pixels[yy * aSrc.width + xx];
                    r += p >> 24, g += (p >> 16) & 255, b += (p >> 8) & 255, n++;
                }
            out.pixels[y * aW + x] = kbRgb(r / n, g / n, b / n);
        }
    return out;
}

static kbImage _dataCard(int aTest)
{
    const _test &t = _tests[aTest];
    kbImage img = kbImageMake(144, 160);
    for (int y = 0; y < 160; y++)
        for (int x = 0; x < 144; x++)
            img.pixels[y * 144 + x] = kbMixColor(kbRgb(24, 34, 70), kbRgb(8, 10, 24), y / 160.0f);
    kbFillRect(&img, 0, 0, 144, 26, 0x283C78);
    char num[16];
    std::snprintf(num, sizeof num, "TEST %d", aTest + 1);
    _fit(&img, 6, 4, 138, 22, 0xE8B040, num);
    _fit(&img, 4, 34, 140, 52, 0xFFFFFF, t.name);
    auto row = [&](int y, const char *label, const std::string &value) {
        kbDrawText(&img, 8, (float)y, 11, 0x90A8D0, label, false);
        _fit(&img, 8, y + 14.0f, 136, y + 28.0f, 0xFFFFFF, value);
    };
    row(60, "Mode", t.mode);
    char buf[32];
    if (t.polygons > 0)
        std::snprintf(buf, sizeof buf, "%d", t.polygons);
    row(92, "Polygons", t.polygons > 0 ? buf : t.polygons == 0 ? "2D only" : "Your object");
    if (t.megabytes > 0)
        std::snprintf(buf, sizeof buf, "%.1f MB", t.megabytes);
    row(124, "Textures", t.megabytes > 0 ? buf : t.megabytes == 0 ? "2D only" : "Your object");
    return img;
}

bool ctWriteInterface(ctOutput *aOutP, const std::vector<const ctScene *> &aTests)
{
    std::vector<kbKsfEntry> e;
    bool ok = true;
    // Digits for the viewer's counters: ten cells of 25 pixels on black, drawn as a texture.
    {
        kbImage img = _black(256, 32);
        for (int d = 0; d < 10; d++)
            _glyph(&img, d * 25 + 3, d * 25 + 22, 4, 28, 0xFFFFFF, 0xB0C8F0, std::string(1, (char)('0' + d)));
        ok = ok && ctAddBitmap(&e, "numbers.bmp", img, 32);
    }
    {
        kbImage img = _black(256, 64);
        kbFillRect(&img, 0, 0, 256, 64, 0x081028);
        kbFillRect(&img, 0, 60, 256, 64, 0xE8B040);
        _fit(&img, 10, 12, 246, 50, 0xFFFFFF, "NOW LOADING");
        ok = ok && ctAddBitmap(&e, "nowloading.bmp", img, 32);
    }
    ok = ok && ctAddBitmap(&e, "nowloading_fin.bmp", _loadingScreen(), 24);
    ok = ok && ctAddBitmap(&e, "result3_fin.bmp", _resultScreen(), 24);
    {
        kbImage img = _black(640, 96);
        for (int d = 0; d < 10; d++)
            _glyph(&img, d * 64 + 6, d * 64 + 58, 6, 90, 0xFFE890, 0xE07818, std::string(1, (char)('0' + d)));
        ok = ok && ctAddBitmap(&e, "r_score.bmp", img, 24);
    }
    {
        kbImage img = _black(128, 64);
        _fit(&img, 40, 30, 126, 46, 0xA8C0E8, "AVERAGE", false);
        _fit(&img, 60, 46, 126, 63, 0xFFFFFF, "FPS");
        ok = ok && ctAddBitmap(&e, "r_fpstitle.bmp", img, 24);
    }
    {
        // Glyph columns the result screen cuts the number picture by.
        static const int cols[14] = {0, 13, 19, 30, 42, 54, 67, 79, 90, 103, 114, 118, 142, 169};
        static const char *glyphs[13] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", ".", "fps", "pts"};
        kbImage img = _black(170, 17);
        for (int g = 0; g < 13; g++) {
            int x0 = cols[g] + (g == 10 ? 1 : 1), x1 = cols[g + 1] - 1;
            if (g == 10)
                _glyph(&img, x0, x1, 11, 16, 0xFFFFFF, 0xC8D8F0, glyphs[g]);
            else
                _glyph(&img, x0, x1, 1, 16, 0xFFFFFF, 0xC8D8F0, glyphs[g]);
        }
        ok = ok && ctAddBitmap(&e, "r_number.bmp", img, 24);
    }
    {
        kbImage img = kbImageMake(640, 30);
        for (int y = 0; y < 30; y++)
            for (int x = 0; x < 640; x++)
                img.pixels[y * 640 + x] = kbMixColor(kbRgb(20, 30, 64), kbRgb(6, 8, 20), y / 30.0f);
        kbFillRect(&img, 3, 10, 517, 22, 0x506080);
        kbFillRect(&img, 5, 12, 515, 21, 0x000000);
        _fit(&img, 526, 6, 636, 24, 0xC8D8F0, "Now Loading");
        ok = ok && ctAddBitmap(&e, "r_nowloading.bmp", img, 24);
    }
    {
        kbImage img = _black(128, 128);
        _fit(&img, 4, 4, 124, 28, 0x60C0FF, "CLICK TO NEXT");
        ok = ok && ctAddBitmap(&e, "r_clicktonext.bmp", img, 32);
    }
    // Thumbnails: a frame of each test's own scene.
    if (aTests.size() >= 7) {
        ok = ok && ctAddBitmap(&e, "sf_ninja_2.bmp", _thumbnail(aTests[0], 120, false), 24);
        ok = ok && ctAddBitmap(&e, "last_2.bmp", _thumbnail(aTests[1], 560, false), 24);
        ok = ok && ctAddBitmap(&e, "space_21_2.bmp", _thumbnail(aTests[2], 200, true), 24);
        ok = ok && ctAddBitmap(&e, "water_2.bmp", _thumbnail(aTests[3], 300, false), 24);
        const kbImage *siro = nullptr;
        auto it = aTests[4]->textures.images.find("siro.bmp");
        if (it != aTests[4]->textures.images.end())
            siro = &it->second;
        ok = ok && siro && ctAddBitmap(&e, "2d_2.bmp", _scaled(*siro, 128, 128), 24);
        ok = ok && ctAddBitmap(&e, "default_ship_2.bmp", _thumbnail(aTests[5], 400, true), 24);
        ok = ok && ctAddBitmap(&e, "user_ship_2.bmp", _thumbnail(aTests[6], 400, true), 24);
    }
    for (int t = 0; t < 10; t++) {
        char name[32];
        std::snprintf(name, sizeof name, "benchmarkdata%02d.bmp", t + 1);
        ok = ok && ctAddBitmap(&e, name, _dataCard(t), 24);
    }
    // Our own neutral badges: a generic chip, a generic speed mark on pure green (its key), and
    // the project's address on pure red (its key).
    {
        kbImage img = kbImageMake(73, 72);
        for (int y = 0; y < 72; y++)
            for (int x = 0; x < 73; x++)
                img.pixels[y * 73 + x] = kbMixColor(kbRgb(30, 40, 60), kbRgb(10, 12, 20), y / 72.0f);
        for (int i = 0; i < 6; i++) {
            kbFillRect(&img, 14 + i * 8, 6, 18 + i * 8, 14, 0xC0A060);
            kbFillRect(&img, 14 + i * 8, 58, 18 + i * 8, 66, 0xC0A060);
        }
        kbFillRect(&img, 10, 14, 63, 58, 0x2A2E36);
        kbFillRect(&img, 14, 18, 59, 54, 0x485060);
        _fit(&img, 16, 24, 57, 38, 0xFFFFFF, "CPU");
        _fit(&img, 16, 40, 57, 50, 0xE8B040, "POWERED", false);
        ok = ok && ctAddBitmap(&e, "logo_athlon.bmp", img, 24);
    }
    {
        kbImage img = kbImageMake(72, 72, kbRgb(0, 255, 0));
        for (int y = 0; y < 72; y++)
            for (int x = 0; x < 72; x++) {
                float d = std::hypot(x - 35.5f, y - 35.5f);
                if (d < 33)
                    img.pixels[y * 72 + x] = d > 30 ? kbRgb(200, 200, 210) : kbMixColor(kbRgb(40, 60, 110), kbRgb(16, 20, 40), y / 72.0f);
            }
        _bird(&img, 36, 28, 26, 0xE8B040);
        _fit(&img, 12, 44, 60, 58, 0xFFFFFF, "3D READY");
        ok = ok && ctAddBitmap(&e, "logo_duron2.bmp", img, 24);
    }
    {
        kbImage img = kbImageMake(196, 21, kbRgb(255, 0, 0));
        // Solid letters only: blended edges would pick up the key colour.
        kbImage text = _black(196, 21);
        // The strip names the program and its version: Kestrel has no web address to show.
        _fit(&text, 2, 2, 194, 19, 0xFFFFFF, std::string("Kestrel ") + KESTREL_VERSION);
        for (size_t i = 0; i < text.pixels.size(); i++)
            if ((text.pixels[i] >> 24) > 100)
                img.pixels[i] = kbRgb(250, 250, 250);
        ok = ok && ctAddBitmap(&e, "logo_url.bmp", img, 24);
    }
    {
        // Bar colours, 8 columns each: unused, the reference, a test that did not run, the user's system.
        kbImage img = kbImageMake(32, 32);
        const uint32_t colors[4] = {0x808080, 0x5878B8, 0x404448, 0xF08828};
        for (int y = 0; y < 32; y++)
            for (int x = 0; x < 32; x++) {
                float k = 1.25f - 0.5f * std::fabs(y - 10.0f) / 22.0f;
                img.pixels[y * 32 + x] = kbShade((colors[x / 8] << 8) | 0xFF, k);
            }
        ok = ok && ctAddBitmap(&e, "bar.bmp", img, 24);
    }
    {
        // The dialog's banner on pure red, its transparent colour.
        kbImage img = kbImageMake(160, 320, kbRgb(255, 0, 0));
        kbImage art = _black(160, 320);
        _bird(&art, 80, 110, 70, 0xE8B040);
        _fit(&art, 8, 200, 152, 236, 0xFFFFFF, "KESTREL");
        _fit(&art, 16, 244, 144, 262, 0x80A8E0, "3D BENCHMARK", false);
        for (size_t i = 0; i < art.pixels.size(); i++) {
            uint32_t p = art.pixels[i];
            if ((p >> 8) != 0)
                img.pixels[i] = (p >> 24) > 250 && ((p >> 16) & 255) < 5 ? kbRgb(250, 0, 0) : p;
        }
        ok = ok && ctAddBitmap(&e, "right.bmp", img, 24);
    }
    if (!ok) {
        aOutP->error = "09.ksf: a picture could not be made";
        return false;
    }
    return ctWritePackage(aOutP, "09.ksf", e);
}
