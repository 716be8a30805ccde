#include "System/Primitive/PrimitiveCore.h"

#include <cmath>
#include <cstring>

#include "Library/Maths/MathsLib.h"
#include "Library/Matrix/MATLIB.h"
#include "Library/Vec/VECLIB.h"

static const float _PI = 3.14159265359f;
static const float _PI_2 = 1.570796326795f;
static const float _INV_2PI = 0.15915494309188485f;
static const float _INV_PI = 0.3183098861837697f;

// ---------------------------------------------------------------- vertex sizes

long sPrimGetLayout(uint32_t aVertexType, _primLayout *aLayoutP)
{
    static const long posSize[8] = {0, 12, 16, 16, 20, 24, 28, 32};
    _primLayout l;
    std::memset(&l, 0xFF, sizeof l);
    const long posCode = (long)((aVertexType & PRIM_FVF_POSITION_MASK) >> 1);
    const long texNum = (long)((aVertexType >> PRIM_FVF_TEXCOUNT_SHIFT) & 0xF);
    if (posCode == 0 || texNum > 8)
        return -1;
    long at = 0;
    l.pos = at;
    at += posSize[posCode];
    if (aVertexType & PRIM_FVF_NORMAL) {
        l.normal = at;
        at += 12;
    }
    if (aVertexType & PRIM_FVF_RESERVED1)
        at += 4;
    if (aVertexType & PRIM_FVF_DIFFUSE) {
        l.diffuse = at;
        at += 4;
    }
    if (aVertexType & PRIM_FVF_SPECULAR) {
        l.specular = at;
        at += 4;
    }
    static const long texSize[4] = {8, 12, 16, 4};
    l.texNum = texNum;
    for (long i = 0; i < texNum; ++i) {
        l.tex[i] = at;
        l.texSize[i] = texSize[(aVertexType >> (16 + 2 * i)) & 3];
        at += l.texSize[i];
    }
    l.size = at;
    *aLayoutP = l;
    return 0;
}

// ---------------------------------------------------------------- blending

void sPrimGetBlendingMode(long aBlend, uint32_t *aSrcBlendP, uint32_t *aDstBlendP)
{
    static const uint32_t tbl[7][2] = {
        {PRIM_BLEND_ONE, PRIM_BLEND_ZERO},            // Nil
        {PRIM_BLEND_SRCALPHA, PRIM_BLEND_INVSRCALPHA}, // Transparency
        {PRIM_BLEND_ONE, PRIM_BLEND_ONE},              // Additive
        {PRIM_BLEND_INVSRCALPHA, PRIM_BLEND_SRCALPHA}, // Subtractive
        {PRIM_BLEND_SRCALPHA, PRIM_BLEND_DESTALPHA},   // Multiply
        {PRIM_BLEND_ONE, PRIM_BLEND_INVSRCALPHA},      // AddSmooth
        {PRIM_BLEND_ONE, PRIM_BLEND_SRCALPHA},         // SubSmooth
    };
    const long row = (aBlend >= 0 && aBlend < 7) ? aBlend : 0;
    *aSrcBlendP = tbl[row][0];
    *aDstBlendP = tbl[row][1];
}

// ---------------------------------------------------------------- projected coordinates

void _XYZtoH(float aX, float aY, float aZ, float *aHP)
{
    (void)aY;
    if (aX == 0.0f && aZ == 0.0f)
        *aHP = 0.0f;
    else if (aZ == 0.0f)
        *aHP = aX < 0.0f ? _PI_2 : -_PI_2;
    else if (aZ < 0.0f)
        *aHP = _PI - gMathsAtanPtr(aX / aZ);
    else
        *aHP = -gMathsAtanPtr(aX / aZ);
}

void _XYZtoHP(float aX, float aY, float aZ, float *aHP, float *aPP)
{
    if (aX == 0.0f && aZ == 0.0f) {
        *aHP = 0.0f;
        *aPP = aY == 0.0f ? 0.0f : (aY < 0.0f ? -_PI_2 : _PI_2);
        return;
    }
    _XYZtoH(aX, aY, aZ, aHP);
    const float d = gMathsSqrtPtr(aX * aX + aZ * aZ);
    if (d == 0.0f)
        *aPP = aY < 0.0f ? -_PI_2 : _PI_2;
    else
        *aPP = gMathsAtanPtr(aY / d);
}

// The triple the heading is taken of, per axis: the axis becomes the turning axis.
static void _axisTriple(uint16_t aAxis, const D3DVECTOR &aP, float *aOutP)
{
    switch (aAxis) {
    case PRIM_AXIS_X:
        aOutP[0] = aP.z, aOutP[1] = aP.x, aOutP[2] = -aP.y;
        break;
    case PRIM_AXIS_Y:
        aOutP[0] = -aP.x, aOutP[1] = aP.y, aOutP[2] = aP.z;
        break;
    default:
        aOutP[0] = -aP.x, aOutP[1] = aP.z, aOutP[2] = -aP.y;
        break;
    }
}

// v of the cylinder: along its axis.
static float _axisV(uint16_t aAxis, const D3DVECTOR &aP, const D3DVECTOR &aSize)
{
    if (aAxis == PRIM_AXIS_X)
        return -aP.x / aSize.x + 0.5f;
    if (aAxis == PRIM_AXIS_Y)
        return -aP.y / aSize.y + 0.5f;
    return -aP.z / aSize.z + 0.5f;
}

void _setUV(const D3DVECTOR *aPosP, float *aUVP, const _setUVWork *aSetUVWorkP)
{
    const _setUVWork &w = *aSetUVWorkP;
    D3DVECTOR rel;
    rel.x = aPosP->x - w.texCenter.x;
    rel.y = aPosP->y - w.texCenter.y;
    rel.z = aPosP->z - w.texCenter.z;
    D3DVECTOR p;
    sMatrixApplyVector(&w.refMat, &rel, &p);
    float t[3];
    switch (w.proj) {
    case PRIM_PROJ_PLANAR:
        aUVP[0] = w.axis == PRIM_AXIS_X ? p.z / w.texSize.z + 0.5f : p.x / w.texSize.x + 0.5f;
        aUVP[1] = w.axis == PRIM_AXIS_Y ? -p.z / w.texSize.z + 0.5f : -p.y / w.texSize.y + 0.5f;
        break;
    case PRIM_PROJ_CYLINDRICAL: {
        float h;
        _axisTriple(w.axis, p, t);
        _XYZtoH(t[0], t[1], t[2], &h);
        float u = 1.0f - h * _INV_2PI;
        if (w.wrpw != 1.0f)
            u *= w.wrpw;
        aUVP[0] = u;
        aUVP[1] = _axisV(w.axis, p, w.texSize);
        break;
    }
    case PRIM_PROJ_SPHERICAL: {
        float h, pitch;
        _axisTriple(w.axis, p, t);
        _XYZtoHP(t[0], t[1], t[2], &h, &pitch);
        float u = 1.0f - h * _INV_2PI;
        float v = 0.5f - pitch * _INV_PI;
        if (w.wrpw != 1.0f)
            u *= w.wrpw;
        if (w.wrph != 1.0f)
            v *= w.wrph;
        aUVP[0] = u;
        aUVP[1] = v;
        break;
    }
    default:
        break;
    }
}

// ---------------------------------------------------------------- sphere map

void sPrimSphereBasis(const D3DMATRIX *aMatP, D3DVECTOR aColP[3])
{
    const D3DMATRIX &m = *aMatP;
    aColP[0].x = m._11, aColP[0].y = m._21, aColP[0].z = m._31;
    aColP[1].x = m._12, aColP[1].y = m._22, aColP[1].z = m._32;
    aColP[2].x = m._13, aColP[2].y = m._23, aColP[2].z = m._33;
}

static float _dot(const D3DVECTOR &aA, const D3DVECTOR &aB)
{
    return aA.x * aB.x + aA.y * aB.y + aA.z * aB.z;
}

bool sPrimSphereUV(const D3DVECTOR *aNormalP, const D3DVECTOR aColP[3], float *aUVP)
{
    if (_dot(*aNormalP, aColP[2]) > 0.0f)
        return false;
    aUVP[0] = (1.0f + _dot(*aNormalP, aColP[0])) * 0.5f;
    aUVP[1] = (1.0f - _dot(*aNormalP, aColP[1])) * 0.5f;
    return true;
}

// ---------------------------------------------------------------- DOT3 colours

void sPrimDot3ObjectLight(const D3DMATRIX *aInvWorldP, const D3DLIGHT7 *aLightP, D3DLIGHT7 *aOutP)
{
    D3DLIGHT7 l = *aLightP;
    sMatrixApplyVector(aInvWorldP, &aLightP->dvPosition, &l.dvPosition);
    // A direction has no place: only the rotation and scale of the inverse apply.
    D3DMATRIX rot = *aInvWorldP;
    rot._41 = rot._42 = rot._43 = 0.0f;
    sMatrixApplyVector(&rot, &aLightP->dvDirection, &l.dvDirection);
    *aOutP = l;
}

float sPrimSpotFactor(float aCos, const D3DLIGHT7 *aLightP)
{
    const float cosIn = std::cos(aLightP->dvTheta * 0.5f);
    const float cosOut = std::cos(aLightP->dvPhi * 0.5f);
    if (aCos < cosOut)
        return -1.0f;
    if (aCos >= cosIn)
        return 1.0f;
    return std::pow((aCos - cosOut) / (cosIn - cosOut), aLightP->dvFalloff);
}

void sPrimTangentRotation(const D3DVECTOR *aNormalP, D3DMATRIX *aRotP)
{
    float ax, az;
    sVecHV2Angle(aNormalP->z, -aNormalP->y, &ax);
    ax = sVecClipAngle(ax);
    D3DVECTOR angle = {};
    angle.x = -ax;
    D3DVECTOR n;
    sVecRotate(&angle, aNormalP, &n);
    sVecHV2Angle(-n.x, -n.y, &az);
    az = sVecClipAngle(az);
    sMatrixCreateUnit(aRotP);
    sMatrixRotateX(aRotP, -ax);
    sMatrixRotateZ(aRotP, -az);
}

// One channel: -1..1 to 1..255 around 128.
static uint32_t _dot3Channel(float aV)
{
    if (!(aV == aV))
        return 128;
    long c = (long)(aV * 127.9f) + 128;
    if (c > 255)
        c = 255;
    if (c < 0)
        c = 0;
    return (uint32_t)c;
}

static float _clamp1(float aV)
{
    return aV > 1.0f ? 1.0f : (aV < -1.0f ? -1.0f : aV);
}

uint32_t sPrimDot3Color(const D3DVECTOR *aPosP, const D3DVECTOR *aNormalP, const D3DLIGHT7 *aLightP,
                        long aLightNum)
{
    D3DMATRIX r;
    sPrimTangentRotation(aNormalP, &r);
    return sPrimDot3ColorRot(aPosP, &r, aLightP, aLightNum);
}

uint32_t sPrimDot3ColorRot(const D3DVECTOR *aPosP, const D3DMATRIX *aRotP, const D3DLIGHT7 *aLightP,
                           long aLightNum)
{
    const D3DMATRIX &r = *aRotP;
    D3DVECTOR sum = {};
    for (long i = 0; i < aLightNum; ++i) {
        const D3DLIGHT7 &l = aLightP[i];
        const bool directional = l.dltType == D3DLIGHT_DIRECTIONAL;
        D3DVECTOR lv;
        float s = 1.0f;
        if (directional) {
            lv.x = -l.dvDirection.x, lv.y = -l.dvDirection.y, lv.z = -l.dvDirection.z;
        } else {
            lv.x = l.dvPosition.x - aPosP->x;
            lv.y = l.dvPosition.y - aPosP->y;
            lv.z = l.dvPosition.z - aPosP->z;
            if (l.dltType == D3DLIGHT_SPOT) {
                D3DVECTOR a = lv, b;
                b.x = -l.dvDirection.x, b.y = -l.dvDirection.y, b.z = -l.dvDirection.z;
                sVecNormalize(&a);
                sVecNormalize(&b);
                s = sPrimSpotFactor(_dot(a, b), &l);
                if (s < 0.0f)
                    continue;
            }
        }
        D3DVECTOR lt;
        sMatrixApplyVector(&r, &lv, &lt);
        if (lt.y < 0.0f)
            continue;
        float weight = 1.0f;
        if (!directional) {
            const float dist = sVecMagnitude(&lt);
            if (dist > l.dvRange)
                continue;
            const float den = l.dvAttenuation0 + l.dvAttenuation1 * dist + l.dvAttenuation2 * dist * dist;
            if (!(den > 0.0f))
                continue;  // no attenuation given: the device would not light with it either
            weight = s / den;
        }
        const float colorWeight = (l.dcvDiffuse.r + l.dcvDiffuse.g + l.dcvDiffuse.b) * (1.0f / 3.0f);
        sVecNormalize(&lt);
        sum.x += lt.x * weight * colorWeight;
        sum.y += lt.y * weight * colorWeight;
        sum.z += lt.z * weight * colorWeight;
    }
    sVecNormalize(&sum);
    if (sum.x == 0.0f && sum.y == 0.0f && sum.z == 0.0f) {
        sum.y = 0.1f;
    } else {
        sum.x = _clamp1(sum.x * 1.1f);
        sum.y = _clamp1(sum.y * 1.1f);
        sum.z = _clamp1(sum.z * 1.1f);
    }
    return _dot3Channel(sum.x) << 16 | _dot3Channel(sum.y) << 8 | _dot3Channel(sum.z);
}

// ---------------------------------------------------------------- stage walk

bool sPrimStageEndsPass(long aStage, long aDevStage, long aStageNum, long aLimit)
{
    if (aLimit < 1)
        aLimit = 8;
    return aDevStage + 1 == aLimit || aStage == aStageNum - 1;
}

long sPrimStagePlan(long aStageNum, long aLimit, _primStagePass *aPassP)
{
    long passNum = 0, j = 0, first = 0;
    for (long i = 0; i < aStageNum; ++i, ++j) {
        if (sPrimStageEndsPass(i, j, aStageNum, aLimit)) {
            aPassP[passNum].first = first;
            aPassP[passNum].count = i - first + 1;
            ++passNum;
            first = i + 1;
            j = -1;
        }
    }
    return passNum;
}

// ---------------------------------------------------------------- spotlight geometry

void sPrimSpotLightProject(const uint8_t *aPosP, long aStride, long aVertexNum, const D3DMATRIX *aMatP,
                           _primSpotVertex *aOutP, D3DVECTOR *aProjP)
{
    const D3DMATRIX &m = *aMatP;
    for (long i = 0; i < aVertexNum; ++i) {
        float p[3];
        std::memcpy(p, aPosP + i * aStride, sizeof p);
        D3DVECTOR &pr = aProjP[i];
        pr.x = p[0] * m._11 + p[1] * m._21 + p[2] * m._31 + m._41;
        pr.y = p[0] * m._12 + p[1] * m._22 + p[2] * m._32 + m._42;
        pr.z = p[0] * m._13 + p[1] * m._23 + p[2] * m._33 + m._43;
        const float w = p[0] * m._14 + p[1] * m._24 + p[2] * m._34 + m._44;
        const float k = 1.0f / std::fabs(w);
        _primSpotVertex &o = aOutP[i];
        o.x = p[0], o.y = p[1], o.z = p[2];
        o.color = 0x80808080;
        o.u = (pr.x * k + 1.0f) * 0.5f;
        o.v = (1.0f - pr.y * k) * 0.5f;
    }
}

long sPrimSpotLightFilter(const _primSpotVertex *aVertexP, const D3DVECTOR *aProjP, const uint16_t *aIndexP,
                          long aIndexNum, uint16_t *aIndexOutP)
{
    long kept = 0;
    for (long t = 0; t + 2 < aIndexNum; t += 3) {
        const uint16_t i0 = aIndexP[t], i1 = aIndexP[t + 1], i2 = aIndexP[t + 2];
        D3DVECTOR e1 = aProjP[i1] - aProjP[i0];
        D3DVECTOR e2 = aProjP[i2] - aProjP[i1];
        sVecNormalize(&e1);
        sVecNormalize(&e2);
        if (!(e1.x * e2.y - e1.y * e2.x < 0.0f))
            continue;
        const _primSpotVertex &a = aVertexP[i0], &b = aVertexP[i1], &c = aVertexP[i2];
        const float minU = std::fmin(a.u, std::fmin(b.u, c.u)), maxU = std::fmax(a.u, std::fmax(b.u, c.u));
        const float minV = std::fmin(a.v, std::fmin(b.v, c.v)), maxV = std::fmax(a.v, std::fmax(b.v, c.v));
        if (!(minU < 1.0f && maxU >= 0.0f && minV < 1.0f && maxV >= 0.0f))
            continue;
        aIndexOutP[kept++] = i0;
        aIndexOutP[kept++] = i1;
        aIndexOutP[kept++] = i2;
    }
    return kept;
}

// ---------------------------------------------------------------- definitions

long sPrimCheckIndexSet(long aIndexNum, const uint16_t *aIndexP, uint32_t aPrimitiveType, long aVertexNum)
{
    if (aIndexNum < 0 || (aIndexNum > 0 && !aIndexP))
        return -1;
    if (aPrimitiveType < PRIM_PT_POINTLIST || aPrimitiveType > PRIM_PT_TRIANGLEFAN)
        return -1;
    for (long i = 0; i < aIndexNum; ++i)
        if ((long)aIndexP[i] >= aVertexNum)
            return -1;
    return 0;
}
