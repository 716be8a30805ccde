#ifndef KESTREL_TOOLS_BUILDER_KBTEXTURE_H
#define KESTREL_TOOLS_BUILDER_KBTEXTURE_H

// Procedural textures of the scene toolkit. All tile seamlessly (noise is periodic over the
// picture) and depend only on their arguments. Plus text drawn with a TrueType font, for the
// interface pictures.

#include <string>

#include "KbImage.h"

// Periodic value noise in 0..1; aPeriod cells across the unit square.
float kbNoise(float aX, float aY, int aPeriod, uint32_t aSeed);
// Fractal sum of octaves, 0..1.
float kbFbm(float aX, float aY, int aPeriod, int aOctaves, uint32_t aSeed);

uint32_t kbMixColor(uint32_t aA, uint32_t aB, float aT);
uint32_t kbShade(uint32_t aColor, float aFactor);

kbImage kbTexWood(uint32_t aSize, uint32_t aColor, uint32_t aSeed);
kbImage kbTexPaper(uint32_t aSize, uint32_t aColor, uint32_t aSeed);
// Paper panels in a wooden lattice, as on sliding doors.
kbImage kbTexShoji(uint32_t aSize, uint32_t aSeed);
kbImage kbTexTatami(uint32_t aSize, uint32_t aSeed);
kbImage kbTexStone(uint32_t aSize, uint32_t aColor, uint32_t aSeed);
kbImage kbTexMetal(uint32_t aSize, uint32_t aColor, uint32_t aSeed);
// Riveted plates with panel lines and a few markings.
kbImage kbTexHull(uint32_t aSize, uint32_t aColor, uint32_t aSeed);
kbImage kbTexGround(uint32_t aSize, uint32_t aColor, uint32_t aSeed);
kbImage kbTexWater(uint32_t aSize, uint32_t aSeed);
kbImage kbTexSky(uint32_t aSize, uint32_t aTop, uint32_t aHorizon, uint32_t aSeed);
// Stars on black, with a faint band of dust.
kbImage kbTexStars(uint32_t aSize, uint32_t aSeed);
// A spiral galaxy or a nebula cloud on black.
kbImage kbTexGalaxy(uint32_t aSize, uint32_t aTint, int aArms, uint32_t aSeed);
kbImage kbTexNebula(uint32_t aSize, uint32_t aTint, uint32_t aSeed);
// One frame of a fire ball on black: aAge 0 (flash) .. 1 (smoke gone).
kbImage kbTexFire(uint32_t aSize, float aAge, uint32_t aSeed);
kbImage kbTexSmoke(uint32_t aSize, uint32_t aSeed);
// A planet disc with lit limb on black.
kbImage kbTexPlanet(uint32_t aSize, uint32_t aColor, uint32_t aSeed);
// Emissive panel: glowing windows or engine grille.
kbImage kbTexLights(uint32_t aSize, uint32_t aColor, uint32_t aSeed);

// Text. Font files are looked up among the system's TrueType fonts; false when none is found.
bool kbFontReady();
// Width in pixels of aText at aHeight pixels.
float kbTextWidth(const std::string &aText, float aHeight, bool aBold = true);
// Draws UTF-8 text with its top-left at (aX, aY), blending aColor by coverage.
void kbDrawText(kbImage *aImageP, float aX, float aY, float aHeight, uint32_t aColor, const std::string &aText,
                bool aBold = true);
void kbFillRect(kbImage *aImageP, int aX0, int aY0, int aX1, int aY1, uint32_t aColor);
// Blends aColor over the rect with alpha aAlpha (0..1).
void kbShadeRect(kbImage *aImageP, int aX0, int aY0, int aX1, int aY1, uint32_t aColor, float aAlpha);

#endif
