#ifndef KESTREL_LIBRARY_MATRIX_MATLIB_H
#define KESTREL_LIBRARY_MATRIX_MATLIB_H

// 4×4 matrix routines in the Direct3D row-vector convention: a point is (x, y, z, 1) × M,
// translation sits in _41 _42 _43, and applying A then B is A × B. Angles are degrees.
// The hot operations are dispatch pointers that hold the Normal functions from program load;
// sMatrixSetFuncPtr points them at the SSE or 3DNow! variants.

#include "Common/D3DTYPES.h"

// aOutP may be aM1P or aM2P.
extern void (*sMatrixMul)(const D3DMATRIX *aM1P, const D3DMATRIX *aM2P, D3DMATRIX *aOutP);
// dst = (src, 1) × m, first three columns, no division by w; aDstP may be aSrcP.
extern void (*sMatrixApplyVector)(const D3DMATRIX *aMatP, const D3DVECTOR *aSrcP, D3DVECTOR *aDstP);
// m = m × Rx × Ry × Rz; all three angles exactly 0 leave m untouched.
extern void (*sMatrixRotateXYZ)(D3DMATRIX *aMatP, float aDegX, float aDegY, float aDegZ);
// m = m × S(x, y, z); column 4 unchanged.
extern void (*sMatrixScale)(D3DMATRIX *aMatP, float aX, float aY, float aZ);

// Sets every matrix pointer from the processor option word (sysWork.caps.cpuOption):
// 0x8 3DNow!, else 0x2 SSE, else Normal.
void sMatrixSetFuncPtr(DWORD aCpuOption);

void sMatrixMulNormal(const D3DMATRIX *aM1P, const D3DMATRIX *aM2P, D3DMATRIX *aOutP);
void sMatrixMulSSE(const D3DMATRIX *aM1P, const D3DMATRIX *aM2P, D3DMATRIX *aOutP);
void sMatrixMul3DNow(const D3DMATRIX *aM1P, const D3DMATRIX *aM2P, D3DMATRIX *aOutP);
void sMatrixApplyVectorNormal(const D3DMATRIX *aMatP, const D3DVECTOR *aSrcP, D3DVECTOR *aDstP);
void sMatrixApplyVectorSSE(const D3DMATRIX *aMatP, const D3DVECTOR *aSrcP, D3DVECTOR *aDstP);
void sMatrixApplyVector3DNow(const D3DMATRIX *aMatP, const D3DVECTOR *aSrcP, D3DVECTOR *aDstP);
void sMatrixRotateXYZNormal(D3DMATRIX *aMatP, float aDegX, float aDegY, float aDegZ);
void sMatrixRotateXYZ3DNow(D3DMATRIX *aMatP, float aDegX, float aDegY, float aDegZ);
void sMatrixScaleNormal(D3DMATRIX *aMatP, float aX, float aY, float aZ);
void sMatrixScale3DNow(D3DMATRIX *aMatP, float aX, float aY, float aZ);

void sMatrixCreateUnit(D3DMATRIX *aMatP);
// m = m × T(x, y, z).
void sMatrixTranslate(D3DMATRIX *aMatP, float aX, float aY, float aZ);
// m = m × R about one axis; an angle of exactly 0 leaves m untouched.
void sMatrixRotateX(D3DMATRIX *aMatP, float aDeg);
void sMatrixRotateY(D3DMATRIX *aMatP, float aDeg);
void sMatrixRotateZ(D3DMATRIX *aMatP, float aDeg);

// Inverse of an affine matrix: 0, or -1 with aDstP untouched when the last column is not
// (0, 0, 0, 1) within 0.001. The determinant is not tested. aDstP may be aSrcP.
long sMatrixInvert(const D3DMATRIX *aSrcP, D3DMATRIX *aDstP);

// Projects a point to screen coordinates through world × camera view × camera projection
// (identity without a camera): x, y in pixels about the vanishing point, z undivided. Returns w.
float sMatrixRotTransPers(const D3DMATRIX *aWorldP, const D3DVECTOR *aSrcP, D3DVECTOR *aDstP);

// Visibility of a bounding box given as 8 corner points: 1 possibly visible, 0 certainly not.
// CheckBox tests against the screen and the camera's near distance; CheckBoxLoose against a
// margin of half the screen on every side and z > 0.
long sMatrixCheckBox(const D3DMATRIX *aWorldP, const D3DMATRIX *aViewP, const D3DMATRIX *aProjP,
                     const D3DVECTOR *aBoxP);
long sMatrixCheckBoxLoose(const D3DMATRIX *aWorldP, const D3DMATRIX *aViewP,
                          const D3DMATRIX *aProjP, const D3DVECTOR *aBoxP);

#endif
