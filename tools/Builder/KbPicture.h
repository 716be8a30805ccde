#ifndef KESTREL_TOOLS_BUILDER_KBPICTURE_H
#define KESTREL_TOOLS_BUILDER_KBPICTURE_H

// Procedural pictures of the kinds the content is made of, deterministic for a seed: skies,
// tiled surfaces, glows on black, interface panels and paletted pictures.

#include "KbImage.h"

// A small deterministic generator (xorshift), so pictures never depend on the C library.
class kbRandom {
public:
    explicit kbRandom(uint32_t aSeed) : _state(aSeed ? aSeed : 0x9E3779B9u) {}
    uint32_t Next()
    {
        _state ^= _state << 13;
        _state ^= _state >> 17;
        _state ^= _state << 5;
        return _state;
    }
    // 0 .. aRange - 1
    uint32_t Below(uint32_t aRange) { return aRange ? Next() % aRange : 0; }

private:
    uint32_t _state;
};

uint32_t kbRgb(uint32_t aR, uint32_t aG, uint32_t aB, uint32_t aA = 0xFF);

// Vertical gradient from aTop to aBottom with soft value noise clouds.
kbImage kbPictureSky(uint32_t aWidth, uint32_t aHeight, uint32_t aTop, uint32_t aBottom, uint32_t aSeed);
// Bricks or tiles with mortar lines and a little grain.
kbImage kbPictureTiles(uint32_t aWidth, uint32_t aHeight, uint32_t aTileW, uint32_t aTileH, uint32_t aColor,
                       uint32_t aSeed);
// A radial glow on black (flares, feathers, explosions), alpha following brightness.
kbImage kbPictureGlow(uint32_t aWidth, uint32_t aHeight, uint32_t aColor);
// An interface panel: flat bands, framed boxes and blocky glyph rows on a dark ground.
kbImage kbPicturePanel(uint32_t aWidth, uint32_t aHeight, uint32_t aSeed);
// A paletted picture (at most aColors colours): dithered gradient bands with flat shapes.
kbImage kbPictureIndexed(uint32_t aWidth, uint32_t aHeight, uint32_t aColors, uint32_t aSeed);

#endif
