#ifndef KESTREL_SYSTEM_SPRITE_SPRITECORE_H
#define KESTREL_SYSTEM_SPRITE_SPRITECORE_H

// The arithmetic of sprites that needs no device: the four screen corners of screen and world
// sprites, the projection of camera-space points and the packing of the vertex colour.

#include <cstdint>

#include "Common/SceneDef.h"
#include "Common/D3DTYPES.h"

// Sprite status bits.
enum : uint32_t {
    SPRITE_STAT_SCREEN = 0x1,     // placed by fractions of the screen (else a world sprite)
    SPRITE_STAT_ALPHA = 0x2,      // blended in the alpha pass (else opaque with alpha testing)
    SPRITE_STAT_BACK = 0x4,       // screen sprite behind everything
    SPRITE_STAT_COLORKEY = 0x8,
    SPRITE_STAT_FULLSCREEN = 0x10,
    SPRITE_STAT_INIT = 0x10000,
    SPRITE_STAT_HIDE = 0x20000,
};

enum _spriteDrawFlg { SpriteDrawFlgNil = 1, SpriteDrawFlgAlpha = 2 };

// A pre-transformed vertex: position with reciprocal w, diffuse, specular, one coordinate pair.
struct _spriteTlVertex {
    float x, y, z, rhw;
    uint32_t color;
    uint32_t specular;
    float tu, tv;
};
enum : uint32_t { SPRITE_FVF = 0x1C4 };
static_assert(sizeof(_spriteTlVertex) == 32, "vertex of format 0x1C4");

// Depth of a screen sprite drawn behind everything.
const float SPRITE_BACK_Z = 0.99999f;

// False when the sprite's kind does not draw in the pass aDrawFlg.
bool sSpriteDrawsInPass(uint32_t aStatus, uint32_t aDrawFlg);

// Diffuse colour of a floating colour: each channel times 255, truncated, limited to 0..255.
uint32_t sSpriteColor(const D3DCOLORVALUE *aColP);

// A world sprite's screen coordinate: whole pixels, within the 16-bit range.
float sSpritePixel(float aV);

// Screen sprite: centre (aPosH, aPosV) as fractions of the screen, angle aRotate (degrees), size
// the texture rectangle scaled by (aScaleX, aScaleY) or the whole screen (status 0x10).
void sSpriteScreenPos(uint32_t aStatus, const _texInfoRect *aRectP, float aScaleX, float aScaleY, float aScreenW,
                      float aScreenH, float aPosH, float aPosV, float aRotate, _spriteTlVertex aVertexA[4]);

// Projection of a camera-space point with the current camera (identity without one).
void sSpriteCameraToScreen(const D3DVECTOR *aSrcP, D3DVECTOR *aDstP);

// World sprite standing at the origin of aWorldP, corners (aPosX[i], aPosY[i]) scaled by the
// matrix's average scale and turned by aRotate (degrees) about the view axis. The depth and rhw
// are always written; the corners only when the origin lies in front of the viewer (result 0,
// else -1 with the previous corners kept).
long sSpriteWorldPos(const D3DMATRIX *aWorldP, const float aPosX[4], const float aPosY[4], float aRotate,
                     _spriteTlVertex aVertexA[4]);

#endif
