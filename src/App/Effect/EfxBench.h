#ifndef KESTREL_APP_EFFECT_EFXBENCH_H
#define KESTREL_APP_EFFECT_EFXBENCH_H

// What the benchmark and demo scenes draw over themselves: the full-screen fade, the glowing
// feathers of the sword scene and the attractor points of the closing ninja scene. Each draw
// leaves the device's states as it found them.

#include <cstdint>

#include "App/Bench/BenchCore.h"

enum EfxFadeBlend {
    EFX_FADE_BLACK,  // darkens by the alpha alone (zero, inverse source alpha)
    EFX_FADE_ALPHA,  // blends the colour in (source alpha, inverse source alpha)
};

// The fade quad for the current screen size.
void sEfxFadeInit(void);
// The whole screen in aColor (0xAARRGGBB).
void sEfxFadeDraw(uint32_t aColor, EfxFadeBlend aBlend);

// aNum feathers, each a textured quad at its matrix; aTexNum a texture page or -1.
void sEfxFeatherDraw(const _benchFeather *aFeatherP, long aNum, long aTexNum);

// aNum points in world space.
void sEfxPointDraw(const _benchPoint *aPointP, long aNum);

#endif
