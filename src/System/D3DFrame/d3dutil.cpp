#include "System/D3DFrame/d3dutil.h"

#include <cmath>
#include <cstring>

void D3DUtil_SetIdentityMatrix(D3DMATRIX &aMat)
{
    memset(&aMat, 0, sizeof aMat);
    aMat._11 = aMat._22 = aMat._33 = aMat._44 = 1.0f;
}

void D3DUtil_InitMaterial(D3DMATERIAL7 &aMtrl, float aR, float aG, float aB, float aA)
{
    memset(&aMtrl, 0, sizeof aMtrl);
    aMtrl.diffuse.r = aMtrl.ambient.r = aR;
    aMtrl.diffuse.g = aMtrl.ambient.g = aG;
    aMtrl.diffuse.b = aMtrl.ambient.b = aB;
    aMtrl.diffuse.a = aMtrl.ambient.a = aA;
}

HRESULT D3DUtil_SetProjectionMatrix(D3DMATRIX &aMat, float aFov, float aAspect, float aNearPlane,
                                    float aFarPlane)
{
    if (std::fabs(aFarPlane - aNearPlane) < 0.01f)
        return E_INVALIDARG;
    const float s = std::sin(aFov / 2.0f);
    if (std::fabs(s) < 0.01f)
        return E_INVALIDARG;
    const float c = std::cos(aFov / 2.0f);
    const float w = aAspect * (c / s);
    const float h = 1.0f * (c / s);
    const float q = aFarPlane / (aFarPlane - aNearPlane);
    memset(&aMat, 0, sizeof aMat);
    aMat._11 = w;
    aMat._22 = h;
    aMat._33 = q;
    aMat._34 = 1.0f;
    aMat._43 = -q * aNearPlane;
    return S_OK;
}
