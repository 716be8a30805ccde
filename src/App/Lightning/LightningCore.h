#ifndef KESTREL_APP_LIGHTNING_LIGHTNINGCORE_H
#define KESTREL_APP_LIGHTNING_LIGHTNINGCORE_H

// The bolt without the device: pairing of thandNNa/thandNNb shapes by name, the per-frame shaking
// of the bone and shake offsets, the ribbon's indices and its screen-space rows.

#include <cstdint>

#include "App/Scene/SceneCore.h"
#include "Common/D3DTYPES.h"

struct _lightningAllScnTable {
    float polyWidth;
    int32_t vertHeightCnt;
};
enum { LIGHTNING_SCN_TBL_NUM = 5, LIGHTNING_STRAND_NUM = 5 };
extern const _lightningAllScnTable gLightningAllScnTbl[LIGHTNING_SCN_TBL_NUM];

// One row of the bolt.
struct _thund {
    D3DVECTOR baseTrans;  // on the straight line between the ends
    float boneTransX;     // arch offset
    float shakeTransX;    // jitter offset
};

// Pre-transformed ribbon vertex (XYZRHW | DIFFUSE | SPECULAR | TEX1).
struct _lightningVertex {
    float x, y, z, rhw;
    uint32_t diffuse, specular;
    float tu, tv;
};
enum { LIGHTNING_FVF = 0x1C4 };

// 1 when the name starts with "thand".
long _jodgName1(const char *aStrP);
// Copies the one or two characters after "thand" up to the letter 'a' or 'b' into aBeamP (three
// bytes) and returns the letter; 0 when there is none, or more than two characters before it.
char _jodgName2(const char *aStrP, char *aBeamP);
// The shape j (searched from the first) that ends the bolt starting at shape aCnt, or -1. aStrP
// receives the shared prefix ("thandNN"), aStrSize bytes at most.
long _jodgName(const _sceneDef *aSceneDefP, long aCnt, long aShapeCnt, char *aStrP, long aStrSize);

// The bolt's arithmetic state; the rows are owned by the caller.
struct _lightningCore {
    int16_t _vertexHeightCnt;  // rows
    int16_t _divCnt;
    float _polyWidthRange;
    float _polyHeightRange;
    float _thunderWidth;
    float _thunderWidthMax;
    _thund *_thunderBaseP;                             // rows
    _thund *_thunderWorkP[LIGHTNING_STRAND_NUM];       // rows each
};

// The fixed part of one strand's 2 x aRows vertices: rhw 1, white, texture coordinates across
// (0, 1) and along (0 .. 1) the bolt; positions zero.
void sLightningVertexInit(_lightningVertex *aVertP, long aRows);
// Indices of the ribbon: two triangles per row gap; aIndexP holds 6 x (rows - 1).
void sLightningIndices(long aRows, uint16_t *aIndexP);
// Rebuilds the five strands between aP1P (start) and aP2P (end), drawing from rand().
void sLightningShake(_lightningCore *aCoreP, const D3DVECTOR *aP1P, const D3DVECTOR *aP2P);
// 1 when neither end is half dissolved or more.
long sLightningVisible(float aDissolveStart, float aDissolveEnd);
// Half width in pixels of a row aDist from the eye (1.0 when aDist is 0).
float sLightningHalfWidth(float aDist, float aPolyWidth, float aRatioDisp);
// The point where the segment from aPosP along aPosVectorP meets the plane z = aNear (camera
// space); 0 when the segment does not reach it.
long _intersectLinePlane(const D3DVECTOR *aPosP, const D3DVECTOR *aPosVectorP, float aNear, D3DVECTOR *aResP);

// Camera-space to screen: x, y in pixels, z the depth-buffer value; 0 when behind the eye.
long sLightningProject(const D3DMATRIX *aProjP, float aWidth, float aHeight, const D3DVECTOR *aCamP,
                       float *aSxP, float *aSyP, float *aSzP);
// One strand's vertices (x, y, z only; 2 per row). The rows' offsets move the points across the
// bolt in the camera's screen plane; rows behind the near plane are moved onto it along the bolt.
// 0 when the whole strand lies behind the near plane.
long sLightningStrandVertices(const _thund *aRowsP, long aRows, const D3DMATRIX *aViewP,
                              const D3DMATRIX *aProjP, float aNear, float aWidth, float aHeight,
                              float aPolyWidth, float aRatioDisp, _lightningVertex *aVertP);
// 1 when the rectangle spanned by two screen points overlaps the screen.
long sLightningOnScreen(float aX1, float aY1, float aX2, float aY2, float aWidth, float aHeight);

#endif
