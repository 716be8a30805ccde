#include "App/Lightning/LightningCore.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "Library/Matrix/MATLIB.h"
#include "Library/Vec/VECLIB.h"

const _lightningAllScnTable gLightningAllScnTbl[LIGHTNING_SCN_TBL_NUM] = {
    {0.5f, 30}, {4.0f, 40}, {8.5f, 16}, {40.0f, 60}, {0.12f, 160},
};

static const char _thandName[] = "thand";
enum { THAND_LEN = 5 };

// One draw of the shared sequence cut to the fifteen bits every platform gives.
static int _rand(void)
{
    return rand() & 0x7FFF;
}

long _jodgName1(const char *aStrP)
{
    return aStrP != nullptr && strncmp(aStrP, _thandName, THAND_LEN) == 0;
}

char _jodgName2(const char *aStrP, char *aBeamP)
{
    aBeamP[0] = 0;
    const char *p = aStrP + THAND_LEN;
    if (p[0] == 0)
        return 0;
    if (p[1] == 'a' || p[1] == 'b') {
        aBeamP[0] = p[0];
        aBeamP[1] = 0;
        return p[1];
    }
    if (p[1] != 0 && (p[2] == 'a' || p[2] == 'b')) {
        aBeamP[0] = p[0];
        aBeamP[1] = p[1];
        aBeamP[2] = 0;
        return p[2];
    }
    return 0;
}

// Shape names are fixed-size fields; read them only up to their end.
static void _shapeName(const _sceneDef *aSceneDefP, long aNum, char *aNameP)
{
    memcpy(aNameP, aSceneDefP->shapeP[aNum].name, SCENE_NAME_SIZE);
    aNameP[SCENE_NAME_SIZE - 1] = 0;
}

long _jodgName(const _sceneDef *aSceneDefP, long aCnt, long aShapeCnt, char *aStrP, long aStrSize)
{
    if (aSceneDefP == nullptr || aSceneDefP->shapeP == nullptr || aStrSize < 1)
        return -1;
    aStrP[0] = 0;
    char name[SCENE_NAME_SIZE];
    _shapeName(aSceneDefP, aCnt, name);
    if (!_jodgName1(name))
        return -1;
    char beam[3];
    if (_jodgName2(name, beam) != 'a')
        return -1;
    const size_t prefixLen = THAND_LEN + strlen(beam);
    if ((long)prefixLen >= aStrSize)
        return -1;
    memcpy(aStrP, name, prefixLen);
    aStrP[prefixLen] = 0;
    for (long j = 0; j < aShapeCnt; j++) {
        char other[SCENE_NAME_SIZE];
        _shapeName(aSceneDefP, j, other);
        if (strncmp(other, aStrP, prefixLen) != 0)
            continue;
        const char letter = other[prefixLen];
        const bool isLetter = (letter >= 'a' && letter <= 'z') || (letter >= 'A' && letter <= 'Z');
        if (isLetter && letter != 'a')
            return j;
    }
    return -1;
}

void sLightningVertexInit(_lightningVertex *aVertP, long aRows)
{
    for (long y = 0; y < aRows; y++) {
        for (long x = 0; x < 2; x++) {
            _lightningVertex &p = aVertP[y * 2 + x];
            memset(&p, 0, sizeof(p));
            p.rhw = 1.0f;
            p.diffuse = 0x00FFFFFF;
            p.specular = 0x00FFFFFF;
            p.tu = (float)x;
            p.tv = (float)y / (float)(aRows - 1);
        }
    }
}

void sLightningIndices(long aRows, uint16_t *aIndexP)
{
    for (long r = 0; r + 1 < aRows; r++) {
        uint16_t *p = aIndexP + r * 6;
        const uint16_t v = (uint16_t)(2 * r);
        p[0] = v;
        p[1] = (uint16_t)(v + 1);
        p[2] = (uint16_t)(v + 2);
        p[3] = (uint16_t)(v + 1);
        p[4] = (uint16_t)(v + 3);
        p[5] = (uint16_t)(v + 2);
    }
}

void sLightningShake(_lightningCore *aCoreP, const D3DVECTOR *aP1P, const D3DVECTOR *aP2P)
{
    const long rows = aCoreP->_vertexHeightCnt;
    if (rows < 3 || aCoreP->_thunderBaseP == nullptr)
        return;
    _thund *base = aCoreP->_thunderBaseP;
    const D3DVECTOR diff = {{aP1P->x - aP2P->x}, {aP1P->y - aP2P->y}, {aP1P->z - aP2P->z}};
    for (long s = 0; s < LIGHTNING_STRAND_NUM; s++) {
        aCoreP->_polyHeightRange = sVecMagnitude(&diff) / (float)(rows - 2);
        const float inv = 1.0f / (float)rows;
        for (long k = 0; k < rows; k++) {
            base[k].baseTrans.x = aP2P->x + diff.x * inv * (float)k;
            base[k].baseTrans.y = aP2P->y + diff.y * inv * (float)k;
            base[k].baseTrans.z = aP2P->z + diff.z * inv * (float)k;
        }
        const float half = 0.5f * aCoreP->_polyWidthRange;

        if (_rand() % 9 == 0) {
            const float max = aCoreP->_thunderWidthMax;
            const float w = (float)_rand() * (max * (1.0f / 32767.0f)) - max * 0.5f;
            aCoreP->_thunderWidth = (aCoreP->_thunderWidth - w) * 0.4f;
            (void)_rand();
            aCoreP->_divCnt = 1;
            // The amplitude may grow by half a unit a time but never past ten segment lengths.
            const float cap = 10.0f * aCoreP->_polyHeightRange;
            if (cap > aCoreP->_thunderWidthMax) {
                aCoreP->_thunderWidthMax += 0.5f;
                if (aCoreP->_thunderWidthMax > cap)
                    aCoreP->_thunderWidthMax = cap;
            } else {
                aCoreP->_thunderWidthMax = cap;
            }
        } else {
            aCoreP->_thunderWidth -= aCoreP->_thunderWidth * 0.0625f;
        }

        base[0].shakeTransX = 0.0f;
        base[rows - 1].shakeTransX = 0.0f;
        const long divCnt = aCoreP->_divCnt > 0 ? aCoreP->_divCnt : 1;
        const long arch = rows / divCnt;
        _thund *work = aCoreP->_thunderWorkP[s];
        for (long k = rows - 1; k >= 0; k--) {
            if (k > 0 && k < rows - 1) {
                base[k].shakeTransX += (base[k + 1].shakeTransX - base[k].shakeTransX) * 0.6f;
                base[k].shakeTransX += (base[k - 1].shakeTransX - base[k].shakeTransX) * 0.5f;
                base[k].boneTransX =
                    (float)sin(180.0 / (double)arch * (double)k * 0.01745329238474369) * aCoreP->_thunderWidth;
                if ((_rand() & 3) == 0) {
                    const float n = (float)_rand() * (aCoreP->_polyWidthRange * (1.0f / 32767.0f)) - half;
                    base[k + 1].shakeTransX += n;
                    base[k].shakeTransX += n;
                    base[k - 1].shakeTransX += n;
                }
            }
            if (work != nullptr)
                work[k] = base[k];
        }
    }
}

long sLightningVisible(float aDissolveStart, float aDissolveEnd)
{
    return aDissolveStart < 0.5f && aDissolveEnd < 0.5f;
}

float sLightningHalfWidth(float aDist, float aPolyWidth, float aRatioDisp)
{
    const float d = aDist == 0.0f ? 1.0f : aDist;
    return (1.0f / d) * (100.0f * aPolyWidth) * aRatioDisp;
}

long _intersectLinePlane(const D3DVECTOR *aPosP, const D3DVECTOR *aPosVectorP, float aNear, D3DVECTOR *aResP)
{
    if (aPosVectorP->z == 0.0f)
        return 0;
    const float t = (aNear - aPosP->z) / aPosVectorP->z;
    if (!(t >= 0.0f && t <= 1.0f))
        return 0;
    aResP->x = aPosP->x + aPosVectorP->x * t;
    aResP->y = aPosP->y + aPosVectorP->y * t;
    aResP->z = aNear;
    return 1;
}

long sLightningProject(const D3DMATRIX *aProjP, float aWidth, float aHeight, const D3DVECTOR *aCamP,
                       float *aSxP, float *aSyP, float *aSzP)
{
    const D3DMATRIX &m = *aProjP;
    const float x = aCamP->x, y = aCamP->y, z = aCamP->z;
    const float cx = x * m._11 + y * m._21 + z * m._31 + m._41;
    const float cy = x * m._12 + y * m._22 + z * m._32 + m._42;
    const float cz = x * m._13 + y * m._23 + z * m._33 + m._43;
    const float cw = x * m._14 + y * m._24 + z * m._34 + m._44;
    if (!(cw > 0.0f))
        return 0;
    const float inv = 1.0f / cw;
    *aSxP = aWidth * 0.5f * (1.0f + cx * inv);
    *aSyP = aHeight * 0.5f * (1.0f - cy * inv);
    *aSzP = cz * inv;
    return 1;
}

long sLightningStrandVertices(const _thund *aRowsP, long aRows, const D3DMATRIX *aViewP,
                              const D3DMATRIX *aProjP, float aNear, float aWidth, float aHeight,
                              float aPolyWidth, float aRatioDisp, _lightningVertex *aVertP)
{
    if (aRows < 2)
        return 0;
    D3DVECTOR first, last;
    sMatrixApplyVector(aViewP, &aRowsP[0].baseTrans, &first);
    sMatrixApplyVector(aViewP, &aRowsP[aRows - 1].baseTrans, &last);
    // The offsets run across the bolt as seen: perpendicular to it in the screen plane.
    D3DVECTOR across = {{-(last.y - first.y)}, {last.x - first.x}, {0.0f}};
    const float len = sqrtf(across.x * across.x + across.y * across.y);
    if (len > 1e-6f) {
        across.x /= len;
        across.y /= len;
    } else {
        across.x = 1.0f;
        across.y = 0.0f;
    }
    const D3DVECTOR *frontP = first.z >= aNear ? &first : (last.z >= aNear ? &last : nullptr);
    if (frontP == nullptr)
        return 0;

    enum { ROW_MAX = 1024 };
    float dist[ROW_MAX], px[ROW_MAX], py[ROW_MAX], pz[ROW_MAX];
    const long rows = aRows > ROW_MAX ? (long)ROW_MAX : aRows;
    for (long k = 0; k < rows; k++) {
        D3DVECTOR p;
        sMatrixApplyVector(aViewP, &aRowsP[k].baseTrans, &p);
        const float off = aRowsP[k].boneTransX + aRowsP[k].shakeTransX;
        p.x += across.x * off;
        p.y += across.y * off;
        if (p.z < aNear) {
            // Behind the near plane: slide toward the end in front until it meets the plane.
            const D3DVECTOR toward = {{frontP->x - p.x}, {frontP->y - p.y}, {frontP->z - p.z}};
            D3DVECTOR res;
            if (!_intersectLinePlane(&p, &toward, aNear, &res))
                res = *frontP;
            p = res;
        }
        dist[k] = sqrtf(p.x * p.x + p.y * p.y + p.z * p.z);
        if (!sLightningProject(aProjP, aWidth, aHeight, &p, &px[k], &py[k], &pz[k]))
            return 0;
    }
    for (long k = 0; k < rows; k++) {
        const long a = k + 1 < rows ? k : k - 1;
        float dx = px[a + 1] - px[a];
        float dy = py[a + 1] - py[a];
        const float dl = sqrtf(dx * dx + dy * dy);
        if (dl > 1e-6f) {
            dx /= dl;
            dy /= dl;
        } else {
            dx = 0.0f;
            dy = 1.0f;
        }
        const float hw = sLightningHalfWidth(dist[k], aPolyWidth, aRatioDisp);
        const float sx = px[k], sy = py[k], sz = pz[k];
        // Left is the direction turned by 90 degrees, right by 270.
        aVertP[2 * k].x = sx - dy * hw;
        aVertP[2 * k].y = sy + dx * hw;
        aVertP[2 * k + 1].x = sx + dy * hw;
        aVertP[2 * k + 1].y = sy - dx * hw;
        aVertP[2 * k].z = sz;
        aVertP[2 * k + 1].z = sz;
    }
    return 1;
}

long sLightningOnScreen(float aX1, float aY1, float aX2, float aY2, float aWidth, float aHeight)
{
    const float minX = aX1 < aX2 ? aX1 : aX2, maxX = aX1 < aX2 ? aX2 : aX1;
    const float minY = aY1 < aY2 ? aY1 : aY2, maxY = aY1 < aY2 ? aY2 : aY1;
    return !(maxX < 0.0f || maxY < 0.0f || minX >= aWidth || minY >= aHeight);
}
