#ifndef KESTREL_SYSTEM_D3DFRAME_D3DMATH_H
#define KESTREL_SYSTEM_D3DFRAME_D3DMATH_H

#include "Common/D3DTYPES.h"

// out = (v, 1) × m divided by w. E_INVALIDARG with out untouched when |w| < 1e-5.
// aDest may be aSrc.
HRESULT D3DMath_VectorMatrixMultiply(D3DVECTOR &aDest, const D3DVECTOR &aSrc,
                                     const D3DMATRIX &aMat);

#endif
