#ifndef KESTREL_APP_SPACE_SPACECORE_H
#define KESTREL_APP_SPACE_SPACECORE_H

// The star field, lens, trails, galaxy placement and warp streaks without the device. Stars are
// pre-transformed points the processor moves every frame.

#include <cstdint>

#include "Common/D3DTYPES.h"

// Option word 2 of the space scene.
enum : uint32_t {
    SPACE_OPT_TRAIL = 0x1,      // five layers drawn as lines
    SPACE_OPT_SPEED_ONE = 0x2,  // every star moves at speed 1.0
    SPACE_OPT_NO_LENS = 0x4,    // no bulge within 100 pixels of the centre
};
enum { SPACE_LAYER_NUM = 5, WARP_STAR_NUM = 2048, GALAXY_TBL_NUM = 6 };

struct _STAR_VERTEX {
    float x, y, z, rhw;
    uint32_t col;
};
enum { STAR_FVF = 0x44 };

struct _galaxyTable {
    char texName[260];
    float width, height, initX, initY, scrSpeed;
};
extern const _galaxyTable _galaxyTbl[GALAXY_TBL_NUM];

// Depth and rhw every star vertex carries.
float sSpaceStarZ(void);
float sSpaceStarRhw(void);

struct _starField {
    long num;       // N
    long option;    // word 2
    long width, height;
    long initFlg;
    _STAR_VERTEX *_starVertP;   // N, or 5 x N with trails (layer k of star i at k x N + i)
    D3DVECTOR *_starVertDefP;   // home positions
    float *_starScrSpeedP;      // N
    uint16_t *_starIndexP;      // 8 x N with trails
    long indexCnt;
};

// The star field of a space scene of aWidth x aHeight pixels, drawn from the rand() sequence in a
// fixed order (the scene reseeds it first). aSpeedMul is word 3 (0 for none). 0 when it cannot
// be had.
long sSpaceStarInit(_starField *aFieldP, long aNum, long aOption, long aSpeedMul, long aWidth, long aHeight);
void sSpaceStarFree(_starField *aFieldP);
// The lens bulge applied to a point; stars near the centre stay with SPACE_OPT_NO_LENS.
void sSpaceLens(float *aXP, float *aYP, long aWidth, long aHeight, long aOption);
// One frame: stars placed for the camera angles (degrees: x pitch, y heading).
void sSpaceStarExec(_starField *aFieldP, const D3DVECTOR *aAngleP);
// The galaxy centre of row aRow for the camera angles.
void sSpaceGalaxyPos(const _galaxyTable *aRowP, long aWidth, long aHeight, const D3DVECTOR *aAngleP,
                     float *aXP, float *aYP);

// Warp: 2048 stars in two layers, the streak start and the moving head, and a fade quad.
struct _warpField {
    long width, height;
    long initFlg;
    _STAR_VERTEX *_starVertP;   // 4096
    D3DVECTOR *_starVertDefP;   // 2048
    uint16_t *_starIndexP;      // 4096
    _STAR_VERTEX _screenVert[4];
};
long sWarpInit(_warpField *aFieldP, long aWidth, long aHeight);
void sWarpFree(_warpField *aFieldP);
// Frame aFrame of a scene of aFrameCnt frames.
void sWarpExec(_warpField *aFieldP, long aFrame, long aFrameCnt);
// Alpha of the fade quad at aFrame: 0 up to frame 90, 255 on the last frame.
uint32_t sWarpFadeAlpha(long aFrame, long aFrameCnt);

#endif
