#include "KbPicture.h"

#include <algorithm>
#include <cmath>

uint32_t kbRgb(uint32_t aR, uint32_t aG, uint32_t aB, uint32_t aA)
{
    return std::min(aR, 255u) << 24 | std::min(aG, 255u) << 16 | std::min(aB, 255u) << 8 | std::min(aA, 255u);
}

static uint32_t _channel(uint32_t aColor, int aShift)
{
    return (aColor >> aShift) & 0xFF;
}

static uint32_t _mix(uint32_t aA, uint32_t aB, float aT)
{
    auto mix = [&](int aShift) {
        return (uint32_t)std::lround(_channel(aA, aShift) + (float)((int)_channel(aB, aShift) - (int)_channel(aA, aShift)) * aT);
    };
    return kbRgb(mix(24), mix(16), mix(8), mix(0));
}

// Smooth value noise on a lattice of aCell pixels, 0..1.
class _valueNoise {
public:
    _valueNoise(uint32_t aW, uint32_t aH, uint32_t aCell, uint32_t aSeed) : _cell(aCell)
    {
        _cols = aW / aCell + 2;
        _rows = aH / aCell + 2;
        kbRandom random(aSeed);
        _values.resize((size_t)_cols * _rows);
        for (float &v : _values)
            v = (float)random.Below(1024) / 1023.0f;
    }
    float At(uint32_t aX, uint32_t aY) const
    {
        uint32_t cx = aX / _cell, cy = aY / _cell;
        float fx = (float)(aX % _cell) / _cell, fy = (float)(aY % _cell) / _cell;
        fx = fx * fx * (3 - 2 * fx);
        fy = fy * fy * (3 - 2 * fy);
        float a = _v(cx, cy), b = _v(cx + 1, cy), c = _v(cx, cy + 1), d = _v(cx + 1, cy + 1);
        return (a + (b - a) * fx) + ((c + (d - c) * fx) - (a + (b - a) * fx)) * fy;
    }

private:
    float _v(uint32_t aX, uint32_t aY) const { return _values[(size_t)aY * _cols + aX]; }
    uint32_t _cell, _cols, _rows;
    std::vector<float> _values;
};

kbImage kbPictureSky(uint32_t aWidth, uint32_t aHeight, uint32_t aTop, uint32_t aBottom, uint32_t aSeed)
{
    kbImage image = kbImageMake(aWidth, aHeight);
    _valueNoise coarse(aWidth, aHeight, 32, aSeed), fine(aWidth, aHeight, 8, aSeed + 1);
    for (uint32_t y = 0; y < aHeight; y++)
        for (uint32_t x = 0; x < aWidth; x++) {
            uint32_t base = _mix(aTop, aBottom, (float)y / std::max(1u, aHeight - 1));
            float cloud = coarse.At(x, y) * 0.75f + fine.At(x, y) * 0.25f;
            cloud = std::max(0.0f, cloud - 0.55f) * 2.2f;
            image.pixels[(size_t)y * aWidth + x] = _mix(base, kbRgb(250, 250, 255), std::min(1.0f, cloud));
        }
    return image;
}

kbImage kbPictureTiles(uint32_t aWidth, uint32_t aHeight, uint32_t aTileW, uint32_t aTileH, uint32_t aColor,
                       uint32_t aSeed)
{
    kbImage image = kbImageMake(aWidth, aHeight);
    kbRandom random(aSeed);
    uint32_t mortar = _mix(aColor, kbRgb(40, 40, 40), 0.7f);
    std::vector<uint32_t> shade((aWidth / aTileW + 2) * (aHeight / aTileH + 2));
    for (uint32_t &s : shade)
        s = _mix(aColor, kbRgb(255, 255, 255), (float)random.Below(5) / 20.0f);
    for (uint32_t y = 0; y < aHeight; y++) {
        uint32_t row = y / aTileH;
        uint32_t offset = (row & 1) ? aTileW / 2 : 0;
        for (uint32_t x = 0; x < aWidth; x++) {
            uint32_t col = (x + offset) / aTileW;
            bool line = y % aTileH == 0 || (x + offset) % aTileW == 0;
            uint32_t c = line ? mortar : shade[row * (aWidth / aTileW + 2) + col];
            // A little grain on a quarter of the pixels, in four steps.
            if (!line && random.Below(4) == 0)
                c = _mix(c, kbRgb(0, 0, 0), (float)random.Below(4) / 24.0f);
            image.pixels[(size_t)y * aWidth + x] = c;
        }
    }
    return image;
}

kbImage kbPictureGlow(uint32_t aWidth, uint32_t aHeight, uint32_t aColor)
{
    kbImage image = kbImageMake(aWidth, aHeight, kbRgb(0, 0, 0, 0));
    float cx = (aWidth - 1) / 2.0f, cy = (aHeight - 1) / 2.0f;
    for (uint32_t y = 0; y < aHeight; y++)
        for (uint32_t x = 0; x < aWidth; x++) {
            float dx = (x - cx) / (cx + 0.5f), dy = (y - cy) / (cy + 0.5f);
            float d = std::sqrt(dx * dx + dy * dy);
            float t = std::max(0.0f, 1.0f - d);
            t = t * t;
            // Quantised to 32 levels, as painted glows are.
            t = std::floor(t * 32.0f) / 32.0f;
            uint32_t c = _mix(kbRgb(0, 0, 0, 0), aColor, t);
            image.pixels[(size_t)y * aWidth + x] = (c & 0xFFFFFF00) | (uint32_t)(t * 255.0f);
        }
    return image;
}

kbImage kbPicturePanel(uint32_t aWidth, uint32_t aHeight, uint32_t aSeed)
{
    kbImage image = kbImageMake(aWidth, aHeight, kbRgb(12, 16, 28));
    kbRandom random(aSeed);
    auto fill = [&](uint32_t aX0, uint32_t aY0, uint32_t aX1, uint32_t aY1, uint32_t aColor) {
        for (uint32_t y = aY0; y < std::min(aY1, aHeight); y++)
            for (uint32_t x = aX0; x < std::min(aX1, aWidth); x++)
                image.pixels[(size_t)y * aWidth + x] = aColor;
    };
    // Title band with a gradient, framed boxes, glyph rows.
    for (uint32_t y = 0; y < aHeight / 8; y++)
        fill(0, y, aWidth, y + 1, _mix(kbRgb(30, 60, 140), kbRgb(10, 20, 60), (float)y / (aHeight / 8)));
    for (uint32_t b = 0; b < 4; b++) {
        uint32_t x0 = random.Below(aWidth * 2 / 3), y0 = aHeight / 6 + random.Below(aHeight * 2 / 3);
        uint32_t x1 = x0 + aWidth / 6 + random.Below(aWidth / 4), y1 = y0 + aHeight / 10 + random.Below(aHeight / 6);
        fill(x0, y0, x1, y1, kbRgb(200, 200, 210));
        fill(x0 + 2, y0 + 2, x1 - 2, y1 - 2, kbRgb(24, 30, 48));
    }
    for (uint32_t row = 0; row < 6; row++) {
        uint32_t y = aHeight / 4 + row * aHeight / 10;
        for (uint32_t x = aWidth / 12; x + 8 < aWidth * 5 / 6; x += 9) {
            uint32_t glyph = random.Next();
            for (uint32_t gy = 0; gy < 10; gy++)
                for (uint32_t gx = 0; gx < 7; gx++)
                    if ((glyph >> ((gy * 7 + gx) % 32)) & 1)
                        fill(x + gx, y + gy, x + gx + 1, y + gy + 1, kbRgb(230, 220, 120));
        }
    }
    return image;
}

kbImage kbPictureIndexed(uint32_t aWidth, uint32_t aHeight, uint32_t aColors, uint32_t aSeed)
{
    aColors = std::max(2u, std::min(aColors, 256u));
    std::vector<uint32_t> palette(aColors);
    for (uint32_t i = 0; i < aColors; i++)
        palette[i] = _mix(kbRgb(20, 10, 60), kbRgb(250, 200, 90), (float)i / (aColors - 1));
    std::vector<uint8_t> indices((size_t)aWidth * aHeight);
    static const int _bayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    kbRandom random(aSeed);
    for (uint32_t y = 0; y < aHeight; y++)
        for (uint32_t x = 0; x < aWidth; x++) {
            float t = (float)y / std::max(1u, aHeight - 1) * (aColors - 1);
            uint32_t i = (uint32_t)(t + _bayer[y & 3][x & 3] / 16.0f);
            indices[(size_t)y * aWidth + x] = (uint8_t)std::min(i, aColors - 1);
        }
    for (int s = 0; s < 6; s++) {
        uint32_t cx = random.Below(aWidth), cy = random.Below(aHeight), r = 4 + random.Below(aWidth / 5 + 1);
        uint8_t c = (uint8_t)random.Below(aColors);
        for (uint32_t y = 0; y < aHeight; y++)
            for (uint32_t x = 0; x < aWidth; x++) {
                int dx = (int)x - (int)cx, dy = (int)y - (int)cy;
                if ((uint32_t)(dx * dx + dy * dy) <= r * r)
                    indices[(size_t)y * aWidth + x] = c;
            }
    }
    return kbImageIndexed(aWidth, aHeight, palette, indices);
}
