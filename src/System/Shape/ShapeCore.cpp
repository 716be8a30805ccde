#include "System/Shape/ShapeCore.h"

#include <cstring>

#include "Library/Matrix/MATLIB.h"
#include "Library/Vec/VECLIB.h"
#include "System/Primitive/PrimitiveCore.h"

uint32_t sShapeStatusWithOptions(uint32_t aShapeStatus, uint32_t aShadowOption)
{
    uint32_t s = aShapeStatus;
    // Shadow-volume shapes and texture-shadow casters stay out of the spotlight maps.
    if ((aShadowOption & SHAPE_OPT_CASTERS) && !(s & (SHAPE_STAT_CASTSHADOW | SHAPE_STAT_SHADOWVOL)))
        s |= SHAPE_STAT_CASTER;
    if (aShadowOption & SHAPE_OPT_SPOTLIT)
        s |= SHAPE_STAT_SPOTLIT;
    return s;
}

void sShapeBoxCorners(const _shapeDef *aDefP, D3DVECTOR aBoxA[8])
{
    const float x[2] = {(float)aDefP->minX, (float)aDefP->maxX};
    const float y[2] = {(float)aDefP->maxY, (float)aDefP->minY};
    const float z[2] = {(float)aDefP->maxZ, (float)aDefP->minZ};
    for (int i = 0; i < 8; ++i) {
        aBoxA[i].x = x[i & 1];
        aBoxA[i].z = z[(i >> 1) & 1];
        aBoxA[i].y = y[i >> 2];
    }
}

long sShapeReceivePlane(const _shapeDef *aDefP, ShadowReceive *aReceiveP)
{
    if (!aDefP || aDefP->abilityDefNum < 1 || !aDefP->abilityDefP || !aDefP->abilityDefP[0])
        return -1;
    const _abilityDef *abl = aDefP->abilityDefP[0];
    if (abl->vertexDefSetNum < 1 || !abl->vertexDefSetP)
        return -1;
    const _primVertexDefSet &set = abl->vertexDefSetP[0];
    _primLayout l;
    if (set.vertexNum < 3 || !set.vertexP || sPrimGetLayout(set.vertexType, &l) != 0)
        return -1;
    D3DVECTOR p[3];
    for (int i = 0; i < 3; ++i)
        std::memcpy(&p[i], (const uint8_t *)set.vertexP + i * l.size + l.pos, sizeof p[i]);
    D3DVECTOR e1 = p[1] - p[0], e2 = p[2] - p[1];
    sVecNormalize(&e1);
    sVecNormalize(&e2);
    sVecCrossProduct(&e1, &e2, &aReceiveP->normal);
    aReceiveP->pos = p[0];
    return 0;
}

void sShapeWorldPlane(const ShadowReceive *aReceiveP, const D3DMATRIX *aWorldP, float aPlaneA[4])
{
    D3DVECTOR p;
    sMatrixApplyVector(aWorldP, &aReceiveP->pos, &p);
    const D3DVECTOR &n = aReceiveP->normal;
    aPlaneA[0] = n.x;
    aPlaneA[1] = n.y;
    aPlaneA[2] = n.z;
    aPlaneA[3] = -(n.x * p.x + n.y * p.y + n.z * p.z);
}

void _createShadowMatrix(D3DMATRIX *aMatP, const float aPlaneA[4], const float aLightPosA[4])
{
    const float d = aPlaneA[0] * aLightPosA[0] + aPlaneA[1] * aLightPosA[1] + aPlaneA[2] * aLightPosA[2] +
                    aPlaneA[3] * aLightPosA[3];
    float *m = &aMatP->_11;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            m[i * 4 + j] = (i == j ? d : 0.0f) - aPlaneA[i] * aLightPosA[j];
}

void sShapeBillboardMatrix(const D3DMATRIX *aWorldP, const D3DMATRIX *aViewP, float aRollZ, D3DMATRIX *aOutP)
{
    _stat3d s;
    sCoordDecomposition(aWorldP, &s);
    D3DMATRIX inv;
    sMatrixCreateUnit(&inv);
    sMatrixInvert(aViewP, &inv);
    D3DVECTOR c;
    sCoordRotXYZDecomposition(&inv, &c);
    D3DMATRIX m;
    sMatrixCreateUnit(&m);
    sMatrixRotateXYZ(&m, 0.0f, 0.0f, aRollZ);
    sMatrixScale(&m, s.sx, s.sy, s.sz);
    sMatrixRotateXYZ(&m, c.x, c.y, c.z);
    sMatrixTranslate(&m, s.tx, s.ty, s.tz);
    *aOutP = m;
}

void sShapeSaveState(ShapeEffect *aEffectP, const D3DMATRIX *aWorldP)
{
    std::memmove(&aEffectP->saveStat[1], &aEffectP->saveStat[0], sizeof(_stat3d) * (SHAPE_SAVE_STAT_NUM - 1));
    sCoordDecomposition(aWorldP, &aEffectP->saveStat[0]);
    if (aEffectP->saveCnt < SHAPE_SAVE_STAT_NUM)
        ++aEffectP->saveCnt;
}

static bool _empty(const _stat3d &aStat)
{
    return aStat.sx == 0.0f || aStat.sy == 0.0f || aStat.sz == 0.0f;
}

long sShapeBlurHistory(const ShapeEffect *aEffectP, const D3DVECTOR *aCurTransP, long aIndexA[SHAPE_SAVE_STAT_NUM])
{
    const long r = (long)aEffectP->blurFrameRate;
    if (r <= 0)
        return 0;
    const long end = (long)aEffectP->blurCnt * r;
    long n = 0;
    for (long i = r - 1; i < end && i < SHAPE_SAVE_STAT_NUM; i += r) {
        const _stat3d &s = aEffectP->saveStat[i];
        if (_empty(s))
            break;
        if (s.tx == aCurTransP->x && s.ty == aCurTransP->y && s.tz == aCurTransP->z)
            break;
        aIndexA[n++] = i;
    }
    return n;
}

long sShapeBlurInterp(const ShapeEffect *aEffectP, const D3DVECTOR *aCurTransP,
                      D3DVECTOR aTransA[SHAPE_SAVE_STAT_NUM])
{
    const long cnt = (long)aEffectP->blurCnt;
    if (cnt <= 0 || _empty(aEffectP->saveStat[0]) || _empty(aEffectP->saveStat[1]))
        return 0;
    const _stat3d &prev = aEffectP->saveStat[1];
    D3DVECTOR d;
    d.x = (aCurTransP->x - prev.tx) / (float)cnt;
    d.y = (aCurTransP->y - prev.ty) / (float)cnt;
    d.z = (aCurTransP->z - prev.tz) / (float)cnt;
    if (d.x == 0.0f && d.y == 0.0f && d.z == 0.0f)
        return 0;
    const long n = cnt < (long)SHAPE_SAVE_STAT_NUM ? cnt : (long)SHAPE_SAVE_STAT_NUM;
    for (long i = 0; i < n; ++i) {
        const float k = (float)(cnt - i - 1);
        aTransA[i].x = prev.tx + k * d.x;
        aTransA[i].y = prev.ty + k * d.y;
        aTransA[i].z = prev.tz + k * d.z;
    }
    return n;
}

bool sShapeGlowCopy(const ShapeEffect *aEffectP, long aNum, float *aScaleP, float *aAlphaP)
{
    const long cnt = aEffectP->glowCnt < (uint32_t)SHAPE_SAVE_STAT_NUM ? (long)aEffectP->glowCnt : (long)SHAPE_SAVE_STAT_NUM;
    if (aNum < 1 || aNum > cnt)
        return false;
    const float k = (float)aNum / (float)cnt;
    *aScaleP = 1.0f + (aEffectP->glowScale - 1.0f) * k;
    *aAlphaP = aEffectP->glowColor.a * (float)(cnt - aNum + 1) / (float)cnt;
    return true;
}
