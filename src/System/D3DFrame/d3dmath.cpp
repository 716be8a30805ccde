#include "System/D3DFrame/d3dmath.h"

#include <cmath>

HRESULT D3DMath_VectorMatrixMultiply(D3DVECTOR &aDest, const D3DVECTOR &aSrc, const D3DMATRIX &aMat)
{
    const float x = aSrc.x * aMat._11 + aSrc.y * aMat._21 + aSrc.z * aMat._31 + aMat._41;
    const float y = aSrc.x * aMat._12 + aSrc.y * aMat._22 + aSrc.z * aMat._32 + aMat._42;
    const float z = aSrc.x * aMat._13 + aSrc.y * aMat._23 + aSrc.z * aMat._33 + aMat._43;
    const float w = aSrc.x * aMat._14 + aSrc.y * aMat._24 + aSrc.z * aMat._34 + aMat._44;
    if (std::fabs(w) < 1e-5f)
        return E_INVALIDARG;
    aDest.x = x / w;
    aDest.y = y / w;
    aDest.z = z / w;
    return S_OK;
}
