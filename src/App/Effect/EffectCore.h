#ifndef KESTREL_APP_EFFECT_EFFECTCORE_H
#define KESTREL_APP_EFFECT_EFFECTCORE_H

// The cloud layer's picture work (plasma, colouring, falloff and product tables, composition and
// the write into a texture's pixels), the combined-effect rows and the shape-effect rows, without
// the device.

#include <cstdint>

#include "App/Bom/BomCore.h"
#include "App/Lightning/LightningCore.h"
#include "System/Shape/ShapeCore.h"

enum { CLOUD_SIZE = 256, CLOUD_FADE_FRAMES = 32 };

struct CloudPixel {
    uint8_t r, g, b, pad;
};

struct CloudVertex {
    float x, y, z, rhw;
    uint32_t color;
    uint32_t specular;
    float tu, tv;
};

// Hue h in radians, saturation s 0..1, intensity i 0..255; s exactly 0 gives black.
void _hsi2rgb(float aH, float aS, float aI, uint8_t *aRP, uint8_t *aGP, uint8_t *aBP);
// The 256 x 256 midpoint-displacement grid, g(x, y) at y x 256 + x; the same on every run. With
// aWriteCntP every cell's writes are counted there.
void _drawCloudGrid(uint8_t *aGridP, uint8_t *aWriteCntP);
// The coloured plasma, transposed (grid cell (x, y) at x x 256 + y).
void _drawCloud(CloudPixel *aCloudImageP);
// Radial falloff: 255 at the centre down toward 0 at a distance of 256.
void sCloudFalloff(uint8_t *aGladImageP);
// Entry a x 256 + b = a x b >> 8.
void sCloudMultTable(uint8_t *aMultTblP);
// Shift of a colour mask's lowest set bit and 8 minus the width of its run of set bits.
void sCloudMaskShift(uint32_t aMask, uint16_t *aShiftP, uint16_t *aBitP);

// The composition of one frame into aDrawImageP: the overlay (may be null) at (aX, aY), clipped,
// at a quarter brightness over the cloud scrolled by the shifts under the falloff.
void sCloudCompose(CloudPixel *aDrawImageP, const CloudPixel *aCloudImageP, const uint8_t *aGladImageP,
                   const uint8_t *aMultTblP, const CloudPixel *aBmImageP, long aBmWidth, long aBmHeight,
                   long aX, long aY, long aXShift, long aYShift);

// Pixel layout of the texture being written.
struct _cloudFormat {
    uint16_t rShift, gShift, bShift;
    uint16_t rBit, gBit, bBit;
    uint32_t bitCount;  // 16 or 32; anything else writes nothing
};
// Writes the composed picture into locked pixels (aPitch bytes a row), at most 256 x 256.
void sCloudUpload(const CloudPixel *aDrawImageP, uint8_t *aSurfaceP, long aPitch, long aWidth, long aHeight,
                  const _cloudFormat *aFormatP);

// The screen quad: the top 256 x 192 of the texture over the screen.
void sCloudQuad(CloudVertex *aVertexP, long aScWidth, long aScHeight);
void sCloudSetBright(CloudVertex *aVertexP, long aBright);
// Brightness at scene frame aFramePos: eight steps a frame, 255 from frame 32 on.
long sCloudBright(long aFramePos);

// Combined effect row: a lightning row and a cue table, each may be null.
struct _efxNeyaScnTable {
    const _lightningAllScnTable *lightningTblP;
    const _bomScnAll *bomTblP;
};
enum { EFX_NEYA_SCN_TBL_NUM = 11 };
extern const _efxNeyaScnTable _efxScnTbl[EFX_NEYA_SCN_TBL_NUM];
extern const _efxNeyaScnTable _efxScnTblL[EFX_NEYA_SCN_TBL_NUM];
// Row aRow of the edition's table; null for a row outside it.
const _efxNeyaScnTable *sEffectNeyaRow(long aRow, long aFullSpec);

// Shape effect rows: a motion blur switched on for a range of frames on shapes of this name.
struct EffectDef {
    const char *name;
    int32_t startFrame;
    int32_t endFrame;
    ShapeEffect effect;
};
enum { EFFECT_TBL_NUM = 3 };
extern const EffectDef _effectTbl[EFFECT_TBL_NUM];
// The first row named exactly aNameP, or null.
const EffectDef *sEffectShapeFind(const char *aNameP);
// The option the row gives at frame aFrame of a scene of aFrameCnt frames (0 outside its range).
uint32_t sEffectShapeOption(const EffectDef *aDefP, long aFrame, long aFrameCnt);

#endif
