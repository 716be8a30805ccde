#ifndef KESTREL_SYSTEM_D3DFRAME_D3DUTIL_H
#define KESTREL_SYSTEM_D3DFRAME_D3DUTIL_H

// Matrix and material helpers in the style of the Direct3D 7 utility routines. Angles in radians.

#include "Common/D3DTYPES.h"

void D3DUtil_SetIdentityMatrix(D3DMATRIX &aMat);
// Zeroes the whole material, then diffuse = ambient = (r, g, b, a).
void D3DUtil_InitMaterial(D3DMATERIAL7 &aMtrl, float aR = 0.0f, float aG = 0.0f, float aB = 0.0f,
                          float aA = 1.0f);
// Perspective projection; E_INVALIDARG with the matrix untouched when near and far are within
// 0.01 or the sine of half the field of view is below 0.01.
HRESULT D3DUtil_SetProjectionMatrix(D3DMATRIX &aMat, float aFov, float aAspect, float aNearPlane,
                                    float aFarPlane);

#endif
