#ifndef KESTREL_SYSTEM_SHAPE_SHAPECORE_H
#define KESTREL_SYSTEM_SHAPE_SHAPECORE_H

// The arithmetic of shapes that needs no device: status from the shadow options, the bounding
// box corners, the receiver plane, planar shadow matrices, billboard matrices and the motion-blur
// history.

#include <cstdint>

#include "Common/SceneDef.h"
#include "Library/Coord/COORDLIB.h"
#include "Common/D3DTYPES.h"

// Shape status bits.
enum : uint32_t {
    SHAPE_STAT_SHADOWVOL = 0x2,   // vertex sets get shadow-volume records
    SHAPE_STAT_CASTER = 0x4,      // drawn into spotlight shadow maps and onto receivers
    SHAPE_STAT_SPOTLIT = 0x8,     // lit by the projected spotlight pass
    SHAPE_STAT_RECEIVER = 0x10,   // planar shadow receiver
    SHAPE_STAT_CASTSHADOW = 0x20, // casts a projected-texture shadow
    SHAPE_STAT_BILLBOARD = 0x40,
    SHAPE_STAT_INIT = 0x10000,
    SHAPE_STAT_DISSOLVED = 0x20000,
};
// Scene shadow options handed to a shape.
enum : uint32_t { SHAPE_OPT_CASTERS = 0x2, SHAPE_OPT_SPOTLIT = 0x4 };
enum { SHAPE_SAVE_STAT_NUM = 32 };

struct ShadowReceive {
    D3DVECTOR normal;  // the receiving plane in object space
    D3DVECTOR pos;
};

// Glow and blur settings with the recent world states (newest first).
struct ShapeEffect {
    uint32_t option;     // _effectOptions
    uint32_t glowBlend;  // _blendingMode
    uint32_t glowCnt;
    float glowScale;
    D3DCOLORVALUE glowColor;
    D3DCOLORVALUE glowEmissive;
    uint32_t blurBlend;  // _blendingMode
    uint32_t blurCnt;
    uint32_t blurFrameRate;  // history step in frames; 0 interpolates
    float blurAlphaBias;     // alpha of the first copy
    D3DCOLORVALUE blurEmissive;
    _stat3d saveStat[SHAPE_SAVE_STAT_NUM];
    uint32_t saveCnt;
};

// The definition's status with the scene's shadow options applied.
uint32_t sShapeStatusWithOptions(uint32_t aShapeStatus, uint32_t aShadowOption);

// Corners in the order the culling expects: the top face (max y) first, far z before near z.
void sShapeBoxCorners(const _shapeDef *aDefP, D3DVECTOR aBoxA[8]);

// The plane of the first three vertices of the first vertex set of the first ability; -1 when
// the definition has no such three vertices.
long sShapeReceivePlane(const _shapeDef *aDefP, ShadowReceive *aReceiveP);

// The plane (n, -n.p) of a receiver whose point is placed by aWorldP (the normal stays as it is).
void sShapeWorldPlane(const ShadowReceive *aReceiveP, const D3DMATRIX *aWorldP, float aPlaneA[4]);

// Flattens points onto the plane along the lines from the light (row vectors, w to divide by).
void _createShadowMatrix(D3DMATRIX *aMatP, const float aPlaneA[4], const float aLightPosA[4]);

// A billboard's world matrix: its own roll and scale, turned with the camera, at its place.
void sShapeBillboardMatrix(const D3DMATRIX *aWorldP, const D3DMATRIX *aViewP, float aRollZ, D3DMATRIX *aOutP);

// Shifts the history one place and stores the decomposition of aWorldP as the newest entry.
void sShapeSaveState(ShapeEffect *aEffectP, const D3DMATRIX *aWorldP);

// History entries the blur copies take (blurFrameRate > 0): every r-th entry from r - 1, until
// an empty entry or one where the object stood where it stands now. Returns how many.
long sShapeBlurHistory(const ShapeEffect *aEffectP, const D3DVECTOR *aCurTransP, long aIndexA[SHAPE_SAVE_STAT_NUM]);

// Positions of the interpolated copies (blurFrameRate 0): from the previous place toward the
// current one. Returns how many (0 when the history is too short or the object rests).
long sShapeBlurInterp(const ShapeEffect *aEffectP, const D3DVECTOR *aCurTransP,
                      D3DVECTOR aTransA[SHAPE_SAVE_STAT_NUM]);

// Glow copy aNum (1..glowCnt) of the translucent pass: its scale about the object's origin, growing
// to glowScale, and its alpha, fading from glowColor's alpha. False past the last copy.
bool sShapeGlowCopy(const ShapeEffect *aEffectP, long aNum, float *aScaleP, float *aAlphaP);

#endif
