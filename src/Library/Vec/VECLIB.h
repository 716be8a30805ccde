#ifndef KESTREL_LIBRARY_VEC_VECLIB_H
#define KESTREL_LIBRARY_VEC_VECLIB_H

// Three-component vector routines. The hot ones are dispatch pointers that hold the Normal
// functions from program load; sVecSetFuncPtr points them at the SSE or 3DNow! variants.
// Angles are degrees.

#include "Common/D3DTYPES.h"

extern void (*sVecNormalize)(D3DVECTOR *aVecP);
extern void (*sVecDotProduct)(const D3DVECTOR *aAP, const D3DVECTOR *aBP, float *aOutP);
extern float (*sVecDotProductRet)(const D3DVECTOR *aAP, const D3DVECTOR *aBP);
// aOutP may be aAP or aBP.
extern void (*sVecCrossProduct)(const D3DVECTOR *aAP, const D3DVECTOR *aBP, D3DVECTOR *aOutP);
extern float (*sVecMagnitude)(const D3DVECTOR *aAP);

// Sets every vector pointer from the processor option word (sysWork.caps.cpuOption):
// 0x8 3DNow!, else 0x2 SSE, else Normal.
void sVecSetFuncPtr(DWORD aCpuOption);

// Normal: zero stays unchanged. SSE: unrefined estimate (about 12 bits); components that are not
// finite afterwards (zero or denormal length) become 0. 3DNow!: refined estimates.
void sVecNormalizeNormal(D3DVECTOR *aVecP);
void sVecNormalizeSSE(D3DVECTOR *aVecP);
void sVecNormalize3DNow(D3DVECTOR *aVecP);
void sVecDotProductNormal(const D3DVECTOR *aAP, const D3DVECTOR *aBP, float *aOutP);
void sVecDotProductSSE(const D3DVECTOR *aAP, const D3DVECTOR *aBP, float *aOutP);
void sVecDotProduct3DNow(const D3DVECTOR *aAP, const D3DVECTOR *aBP, float *aOutP);
float sVecDotProductRetNormal(const D3DVECTOR *aAP, const D3DVECTOR *aBP);
float sVecDotProductRet3DNow(const D3DVECTOR *aAP, const D3DVECTOR *aBP);
void sVecCrossProductNormal(const D3DVECTOR *aAP, const D3DVECTOR *aBP, D3DVECTOR *aOutP);
void sVecCrossProductSSE(const D3DVECTOR *aAP, const D3DVECTOR *aBP, D3DVECTOR *aOutP);
void sVecCrossProduct3DNow(const D3DVECTOR *aAP, const D3DVECTOR *aBP, D3DVECTOR *aOutP);
// A NaN length is returned as 0.
float sVecMagnitudeNormal(const D3DVECTOR *aAP);
float sVecMagnitude3DNow(const D3DVECTOR *aAP);

// Turns src about Z, then Y, then X by the angles of aAngleP; aDstP may be aSrcP.
void sVecRotate(const D3DVECTOR *aAngleP, const D3DVECTOR *aSrcP, D3DVECTOR *aDstP);
// aDeg wrapped into [0, 360).
float sVecClipAngle(float aDeg);
// Heading of (h, v) from the -v axis (0) through +h (90), +v (180), -h (270); (0, 0) gives 180.
void sVecHV2Angle(float aH, float aV, float *aAngleP);
// Rotation angles about X (x) and Y (y) of the direction aFromP - aToP; z is 0.
void sVecSearchAngle(const D3DVECTOR *aFromP, const D3DVECTOR *aToP, D3DVECTOR *aAngleP);

#endif
