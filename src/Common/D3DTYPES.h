#ifndef KESTREL_COMMON_D3DTYPES_H
#define KESTREL_COMMON_D3DTYPES_H

// The Direct3D 7 value types that the portable core uses as its own vector, matrix, colour,
// material and light records. On Windows they come from the platform headers; elsewhere the
// same layout is declared here, so that records and packages match byte for byte.

#include <cstdint>

#ifdef _WIN32
#include <windows.h>
#include <d3dtypes.h>
#else

typedef float D3DVALUE;
typedef uint32_t D3DCOLOR;
typedef int32_t HRESULT;
typedef uint32_t DWORD;
typedef uint16_t WORD;
typedef uint8_t BYTE;
typedef int32_t BOOL;

#ifndef S_OK
#define S_OK ((HRESULT)0)
#define E_FAIL ((HRESULT)0x80004005)
#define E_INVALIDARG ((HRESULT)0x80070057)
#define E_OUTOFMEMORY ((HRESULT)0x8007000E)
#define SUCCEEDED(hr) ((HRESULT)(hr) >= 0)
#define FAILED(hr) ((HRESULT)(hr) < 0)
#endif

typedef struct _D3DVECTOR {
    union { D3DVALUE x; D3DVALUE dvX; };
    union { D3DVALUE y; D3DVALUE dvY; };
    union { D3DVALUE z; D3DVALUE dvZ; };
} D3DVECTOR, *LPD3DVECTOR;

typedef struct _D3DMATRIX {
    D3DVALUE _11, _12, _13, _14;
    D3DVALUE _21, _22, _23, _24;
    D3DVALUE _31, _32, _33, _34;
    D3DVALUE _41, _42, _43, _44;
} D3DMATRIX, *LPD3DMATRIX;

typedef struct _D3DCOLORVALUE {
    union { D3DVALUE r; D3DVALUE dvR; };
    union { D3DVALUE g; D3DVALUE dvG; };
    union { D3DVALUE b; D3DVALUE dvB; };
    union { D3DVALUE a; D3DVALUE dvA; };
} D3DCOLORVALUE, *LPD3DCOLORVALUE;

typedef struct _D3DMATERIAL7 {
    union { D3DCOLORVALUE diffuse; D3DCOLORVALUE dcvDiffuse; };
    union { D3DCOLORVALUE ambient; D3DCOLORVALUE dcvAmbient; };
    union { D3DCOLORVALUE specular; D3DCOLORVALUE dcvSpecular; };
    union { D3DCOLORVALUE emissive; D3DCOLORVALUE dcvEmissive; };
    union { D3DVALUE power; D3DVALUE dvPower; };
} D3DMATERIAL7, *LPD3DMATERIAL7;

typedef enum _D3DLIGHTTYPE {
    D3DLIGHT_POINT = 1,
    D3DLIGHT_SPOT = 2,
    D3DLIGHT_DIRECTIONAL = 3,
    D3DLIGHT_PARALLELPOINT = 4,
    D3DLIGHT_FORCE_DWORD = 0x7fffffff
} D3DLIGHTTYPE;

typedef struct _D3DLIGHT7 {
    D3DLIGHTTYPE dltType;
    D3DCOLORVALUE dcvDiffuse;
    D3DCOLORVALUE dcvSpecular;
    D3DCOLORVALUE dcvAmbient;
    D3DVECTOR dvPosition;
    D3DVECTOR dvDirection;
    D3DVALUE dvRange;
    D3DVALUE dvFalloff;
    D3DVALUE dvAttenuation0;
    D3DVALUE dvAttenuation1;
    D3DVALUE dvAttenuation2;
    D3DVALUE dvTheta;
    D3DVALUE dvPhi;
} D3DLIGHT7, *LPD3DLIGHT7;

#endif

static_assert(sizeof(D3DVECTOR) == 12, "D3DVECTOR layout");
static_assert(sizeof(D3DMATRIX) == 64, "D3DMATRIX layout");
static_assert(sizeof(D3DCOLORVALUE) == 16, "D3DCOLORVALUE layout");
static_assert(sizeof(D3DMATERIAL7) == 68, "D3DMATERIAL7 layout");
static_assert(sizeof(D3DLIGHT7) == 104, "D3DLIGHT7 layout");

// Component-wise vector operators that the program uses. The platform header declares its own
// set when D3D_OVERLOADS is defined; Kestrel does not define it.
#if defined(__cplusplus) && !defined(D3D_OVERLOADS)
inline _D3DVECTOR operator+(const _D3DVECTOR &aA, const _D3DVECTOR &aB)
{
    _D3DVECTOR r;
    r.x = aA.x + aB.x;
    r.y = aA.y + aB.y;
    r.z = aA.z + aB.z;
    return r;
}

inline _D3DVECTOR operator-(const _D3DVECTOR &aA, const _D3DVECTOR &aB)
{
    _D3DVECTOR r;
    r.x = aA.x - aB.x;
    r.y = aA.y - aB.y;
    r.z = aA.z - aB.z;
    return r;
}

inline _D3DVECTOR operator-(const _D3DVECTOR &aA)
{
    _D3DVECTOR r;
    r.x = -aA.x;
    r.y = -aA.y;
    r.z = -aA.z;
    return r;
}

inline _D3DVECTOR operator*(const _D3DVECTOR &aA, D3DVALUE aS)
{
    _D3DVECTOR r;
    r.x = aA.x * aS;
    r.y = aA.y * aS;
    r.z = aA.z * aS;
    return r;
}

inline _D3DVECTOR operator*(D3DVALUE aS, const _D3DVECTOR &aA)
{
    return aA * aS;
}

inline _D3DVECTOR operator/(const _D3DVECTOR &aA, D3DVALUE aS)
{
    _D3DVECTOR r;
    r.x = aA.x / aS;
    r.y = aA.y / aS;
    r.z = aA.z / aS;
    return r;
}

inline _D3DVECTOR &operator+=(_D3DVECTOR &aA, const _D3DVECTOR &aB)
{
    aA.x += aB.x;
    aA.y += aB.y;
    aA.z += aB.z;
    return aA;
}

inline _D3DVECTOR &operator/=(_D3DVECTOR &aA, D3DVALUE aS)
{
    aA.x /= aS;
    aA.y /= aS;
    aA.z /= aS;
    return aA;
}
#endif

#endif
