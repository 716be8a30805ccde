#include "Library/Matrix/MATLIB.h"

#include <cmath>
#include <xmmintrin.h>

#include "Common/DrawLink.h"
#include "Library/Maths/MathsLib.h"
#include "Library/Vec/VECLIB.h"

void (*sMatrixMul)(const D3DMATRIX *aM1P, const D3DMATRIX *aM2P,
                   D3DMATRIX *aOutP) = sMatrixMulNormal;
void (*sMatrixApplyVector)(const D3DMATRIX *aMatP, const D3DVECTOR *aSrcP,
                           D3DVECTOR *aDstP) = sMatrixApplyVectorNormal;
void (*sMatrixRotateXYZ)(D3DMATRIX *aMatP, float aDegX, float aDegY,
                         float aDegZ) = sMatrixRotateXYZNormal;
void (*sMatrixScale)(D3DMATRIX *aMatP, float aX, float aY, float aZ) = sMatrixScaleNormal;

struct _matrixFuncRow {
    void (*mulP)(const D3DMATRIX *, const D3DMATRIX *, D3DMATRIX *);
    void (*applyVectorP)(const D3DMATRIX *, const D3DVECTOR *, D3DVECTOR *);
    void (*rotateXYZP)(D3DMATRIX *, float, float, float);
    void (*scaleP)(D3DMATRIX *, float, float, float);
};

// Indexed by _mathsVariant.
static const _matrixFuncRow _matrixFuncTbl[3] = {
    {sMatrixMulNormal, sMatrixApplyVectorNormal, sMatrixRotateXYZNormal, sMatrixScaleNormal},
    {sMatrixMulSSE, sMatrixApplyVectorSSE, sMatrixRotateXYZNormal, sMatrixScaleNormal},
    {sMatrixMul3DNow, sMatrixApplyVector3DNow, sMatrixRotateXYZ3DNow, sMatrixScale3DNow},
};

void sMatrixSetFuncPtr(DWORD aCpuOption)
{
    const _matrixFuncRow &row = _matrixFuncTbl[sMathsGetVariant(aCpuOption)];
    sMatrixMul = row.mulP;
    sMatrixApplyVector = row.applyVectorP;
    sMatrixRotateXYZ = row.rotateXYZP;
    sMatrixScale = row.scaleP;
}

// The sixteen elements as a row-major array.
static inline float *_elem(D3DMATRIX *aMatP)
{
    return &aMatP->_11;
}

static inline const float *_elem(const D3DMATRIX *aMatP)
{
    return &aMatP->_11;
}

// ---------------------------------------------------------------------------------------------
// Normal

void sMatrixMulNormal(const D3DMATRIX *aM1P, const D3DMATRIX *aM2P, D3DMATRIX *aOutP)
{
    const float *a = _elem(aM1P);
    const float *b = _elem(aM2P);
    D3DMATRIX work;
    float *w = _elem(&work);
    for (int i = 0; i < 16; i += 4) {
        for (int j = 0; j < 4; j++)
            w[i + j] =
                a[i] * b[j] + a[i + 1] * b[4 + j] + a[i + 2] * b[8 + j] + a[i + 3] * b[12 + j];
    }
    *aOutP = work;
}

void sMatrixApplyVectorNormal(const D3DMATRIX *aMatP, const D3DVECTOR *aSrcP, D3DVECTOR *aDstP)
{
    const float x = aSrcP->x;
    const float y = aSrcP->y;
    const float z = aSrcP->z;
    aDstP->x = x * aMatP->_11 + y * aMatP->_21 + z * aMatP->_31 + aMatP->_41;
    aDstP->y = x * aMatP->_12 + y * aMatP->_22 + z * aMatP->_32 + aMatP->_42;
    aDstP->z = x * aMatP->_13 + y * aMatP->_23 + z * aMatP->_33 + aMatP->_43;
}

// Rx × Ry × Rz as nine terms, rows padded to four so that the packed variant can read pairs.
static void _rotateXYZTerms(float aDegX, float aDegY, float aDegZ, float aR[12])
{
    const float degToRad = 0.017453292f;
    const float ax = aDegX * degToRad;
    const float ay = aDegY * degToRad;
    const float az = aDegZ * degToRad;
    const float sx = std::sin(ax), cx = std::cos(ax);
    const float sy = std::sin(ay), cy = std::cos(ay);
    const float sz = std::sin(az), cz = std::cos(az);
    aR[0] = cy * cz;
    aR[1] = cy * sz;
    aR[2] = -sy;
    aR[3] = 0.0f;
    aR[4] = sx * sy * cz - cx * sz;
    aR[5] = sx * sy * sz + cx * cz;
    aR[6] = sx * cy;
    aR[7] = 0.0f;
    aR[8] = cx * sy * cz + sx * sz;
    aR[9] = cx * sy * sz - sx * cz;
    aR[10] = cx * cy;
    aR[11] = 0.0f;
}

void sMatrixRotateXYZNormal(D3DMATRIX *aMatP, float aDegX, float aDegY, float aDegZ)
{
    if (aDegX == 0.0f && aDegY == 0.0f && aDegZ == 0.0f)
        return;
    float r[12];
    _rotateXYZTerms(aDegX, aDegY, aDegZ, r);
    float *m = _elem(aMatP);
    for (int i = 0; i < 16; i += 4) {
        const float a1 = m[i], a2 = m[i + 1], a3 = m[i + 2];
        m[i] = a1 * r[0] + a2 * r[4] + a3 * r[8];
        m[i + 1] = a1 * r[1] + a2 * r[5] + a3 * r[9];
        m[i + 2] = a1 * r[2] + a2 * r[6] + a3 * r[10];
    }
}

void sMatrixScaleNormal(D3DMATRIX *aMatP, float aX, float aY, float aZ)
{
    float *m = _elem(aMatP);
    for (int i = 0; i < 16; i += 4) {
        m[i] *= aX;
        m[i + 1] *= aY;
        m[i + 2] *= aZ;
    }
}

// ---------------------------------------------------------------------------------------------
// SSE: one row per register; the four result rows are complete before anything is stored.

// (x, y, z, w) × rows b0..b3
MATHS_TARGET_SSE static inline __m128 _sseRowTimes(__m128 aRow, __m128 aB0, __m128 aB1, __m128 aB2,
                                                   __m128 aB3)
{
    __m128 r = _mm_mul_ps(_mm_shuffle_ps(aRow, aRow, _MM_SHUFFLE(0, 0, 0, 0)), aB0);
    r = _mm_add_ps(r, _mm_mul_ps(_mm_shuffle_ps(aRow, aRow, _MM_SHUFFLE(1, 1, 1, 1)), aB1));
    r = _mm_add_ps(r, _mm_mul_ps(_mm_shuffle_ps(aRow, aRow, _MM_SHUFFLE(2, 2, 2, 2)), aB2));
    return _mm_add_ps(r, _mm_mul_ps(_mm_shuffle_ps(aRow, aRow, _MM_SHUFFLE(3, 3, 3, 3)), aB3));
}

MATHS_TARGET_SSE void sMatrixMulSSE(const D3DMATRIX *aM1P, const D3DMATRIX *aM2P, D3DMATRIX *aOutP)
{
    const float *a = _elem(aM1P);
    const float *b = _elem(aM2P);
    const __m128 b0 = _mm_loadu_ps(b), b1 = _mm_loadu_ps(b + 4);
    const __m128 b2 = _mm_loadu_ps(b + 8), b3 = _mm_loadu_ps(b + 12);
    const __m128 r0 = _sseRowTimes(_mm_loadu_ps(a), b0, b1, b2, b3);
    const __m128 r1 = _sseRowTimes(_mm_loadu_ps(a + 4), b0, b1, b2, b3);
    const __m128 r2 = _sseRowTimes(_mm_loadu_ps(a + 8), b0, b1, b2, b3);
    const __m128 r3 = _sseRowTimes(_mm_loadu_ps(a + 12), b0, b1, b2, b3);
    float *out = _elem(aOutP);
    _mm_storeu_ps(out, r0);
    _mm_storeu_ps(out + 4, r1);
    _mm_storeu_ps(out + 8, r2);
    _mm_storeu_ps(out + 12, r3);
}

MATHS_TARGET_SSE void sMatrixApplyVectorSSE(const D3DMATRIX *aMatP, const D3DVECTOR *aSrcP,
                                            D3DVECTOR *aDstP)
{
    const float *m = _elem(aMatP);
    const __m128 x = _mm_load1_ps(&aSrcP->x);
    const __m128 y = _mm_load1_ps(&aSrcP->y);
    const __m128 z = _mm_load1_ps(&aSrcP->z);
    __m128 r = _mm_add_ps(_mm_mul_ps(x, _mm_loadu_ps(m)), _mm_mul_ps(y, _mm_loadu_ps(m + 4)));
    r = _mm_add_ps(r, _mm_add_ps(_mm_mul_ps(z, _mm_loadu_ps(m + 8)), _mm_loadu_ps(m + 12)));
    _mm_storel_pi(reinterpret_cast<__m64 *>(&aDstP->x), r);
    _mm_store_ss(&aDstP->z, _mm_movehl_ps(r, r));
}

// ---------------------------------------------------------------------------------------------
// 3DNow!: a row's columns 1-2 travel in one MMX register and columns 3-4 in another.

// One row of m1 (at byte offset R) times m2, into the work matrix.
#define MUL3DNOW_ROW(R)                 \
    "movd     " #R "+0(%0), %%mm0\n\t"  \
    "punpckldq %%mm0, %%mm0\n\t"        \
    "movq     %%mm0, %%mm1\n\t"         \
    "pfmul    0(%1), %%mm0\n\t"         \
    "pfmul    8(%1), %%mm1\n\t"         \
    "movd     " #R "+4(%0), %%mm2\n\t"  \
    "punpckldq %%mm2, %%mm2\n\t"        \
    "movq     %%mm2, %%mm3\n\t"         \
    "pfmul    16(%1), %%mm2\n\t"        \
    "pfmul    24(%1), %%mm3\n\t"        \
    "movd     " #R "+8(%0), %%mm4\n\t"  \
    "punpckldq %%mm4, %%mm4\n\t"        \
    "movq     %%mm4, %%mm5\n\t"         \
    "pfmul    32(%1), %%mm4\n\t"        \
    "pfmul    40(%1), %%mm5\n\t"        \
    "movd     " #R "+12(%0), %%mm6\n\t" \
    "punpckldq %%mm6, %%mm6\n\t"        \
    "movq     %%mm6, %%mm7\n\t"         \
    "pfmul    48(%1), %%mm6\n\t"        \
    "pfmul    56(%1), %%mm7\n\t"        \
    "pfadd    %%mm2, %%mm0\n\t"         \
    "pfadd    %%mm3, %%mm1\n\t"         \
    "pfadd    %%mm6, %%mm4\n\t"         \
    "pfadd    %%mm7, %%mm5\n\t"         \
    "pfadd    %%mm4, %%mm0\n\t"         \
    "pfadd    %%mm5, %%mm1\n\t"         \
    "movq     %%mm0, " #R "+0(%2)\n\t"  \
    "movq     %%mm1, " #R "+8(%2)\n\t"

void sMatrixMul3DNow(const D3DMATRIX *aM1P, const D3DMATRIX *aM2P, D3DMATRIX *aOutP)
{
    D3DMATRIX work;
    __asm__ __volatile__(MUL3DNOW_ROW(0) MUL3DNOW_ROW(16) MUL3DNOW_ROW(32)
                             MUL3DNOW_ROW(48) "femms\n\t"
                         :
                         : "r"(aM1P), "r"(aM2P), "r"(&work)
                         : "memory", MATHS_X87_CLOBBERS);
    *aOutP = work;
}

#undef MUL3DNOW_ROW

void sMatrixApplyVector3DNow(const D3DMATRIX *aMatP, const D3DVECTOR *aSrcP, D3DVECTOR *aDstP)
{
    __asm__ __volatile__("movd     0(%1), %%mm0\n\t"
                         "punpckldq %%mm0, %%mm0\n\t" // x x
                         "movd     4(%1), %%mm1\n\t"
                         "punpckldq %%mm1, %%mm1\n\t" // y y
                         "movd     8(%1), %%mm2\n\t"
                         "punpckldq %%mm2, %%mm2\n\t" // z z
                         "movq     %%mm0, %%mm3\n\t"
                         "pfmul    0(%0), %%mm0\n\t"
                         "pfmul    8(%0), %%mm3\n\t"
                         "movq     %%mm1, %%mm4\n\t"
                         "pfmul    16(%0), %%mm1\n\t"
                         "pfmul    24(%0), %%mm4\n\t"
                         "movq     %%mm2, %%mm5\n\t"
                         "pfmul    32(%0), %%mm2\n\t"
                         "pfmul    40(%0), %%mm5\n\t"
                         "pfadd    %%mm1, %%mm0\n\t"
                         "pfadd    %%mm4, %%mm3\n\t"
                         "pfadd    %%mm2, %%mm0\n\t"
                         "pfadd    %%mm5, %%mm3\n\t"
                         "pfadd    48(%0), %%mm0\n\t"
                         "pfadd    56(%0), %%mm3\n\t"
                         "movq     %%mm0, 0(%2)\n\t"
                         "movd     %%mm3, 8(%2)\n\t"
                         "femms\n\t"
                         :
                         : "r"(aMatP), "r"(aSrcP), "r"(aDstP)
                         : "memory", MATHS_X87_CLOBBERS);
}

// One row (byte offset R) times the padded 3×3 terms, columns 1-3 written back.
#define ROT3DNOW_ROW(R)                \
    "movd     " #R "+0(%0), %%mm0\n\t" \
    "punpckldq %%mm0, %%mm0\n\t"       \
    "movq     %%mm0, %%mm1\n\t"        \
    "pfmul    0(%1), %%mm0\n\t"        \
    "pfmul    8(%1), %%mm1\n\t"        \
    "movd     " #R "+4(%0), %%mm2\n\t" \
    "punpckldq %%mm2, %%mm2\n\t"       \
    "movq     %%mm2, %%mm3\n\t"        \
    "pfmul    16(%1), %%mm2\n\t"       \
    "pfmul    24(%1), %%mm3\n\t"       \
    "movd     " #R "+8(%0), %%mm4\n\t" \
    "punpckldq %%mm4, %%mm4\n\t"       \
    "movq     %%mm4, %%mm5\n\t"        \
    "pfmul    32(%1), %%mm4\n\t"       \
    "pfmul    40(%1), %%mm5\n\t"       \
    "pfadd    %%mm2, %%mm0\n\t"        \
    "pfadd    %%mm3, %%mm1\n\t"        \
    "pfadd    %%mm4, %%mm0\n\t"        \
    "pfadd    %%mm5, %%mm1\n\t"        \
    "movq     %%mm0, " #R "+0(%0)\n\t" \
    "movd     %%mm1, " #R "+8(%0)\n\t"

void sMatrixRotateXYZ3DNow(D3DMATRIX *aMatP, float aDegX, float aDegY, float aDegZ)
{
    if (aDegX == 0.0f && aDegY == 0.0f && aDegZ == 0.0f)
        return;
    float r[12];
    _rotateXYZTerms(aDegX, aDegY, aDegZ, r);
    __asm__ __volatile__(ROT3DNOW_ROW(0) ROT3DNOW_ROW(16) ROT3DNOW_ROW(32)
                             ROT3DNOW_ROW(48) "femms\n\t"
                         :
                         : "r"(aMatP), "r"(r)
                         : "memory", MATHS_X87_CLOBBERS);
}

#undef ROT3DNOW_ROW

// Column 4 is never written.
#define SCALE3DNOW_ROW(R)              \
    "movq     " #R "+0(%0), %%mm2\n\t" \
    "pfmul    %%mm0, %%mm2\n\t"        \
    "movq     %%mm2, " #R "+0(%0)\n\t" \
    "movd     " #R "+8(%0), %%mm3\n\t" \
    "pfmul    %%mm1, %%mm3\n\t"        \
    "movd     %%mm3, " #R "+8(%0)\n\t"

void sMatrixScale3DNow(D3DMATRIX *aMatP, float aX, float aY, float aZ)
{
    const float scale[4] = {aX, aY, aZ, 0.0f};
    __asm__ __volatile__("movq     0(%1), %%mm0\n\t"
                         "movd     8(%1), %%mm1\n\t" SCALE3DNOW_ROW(0) SCALE3DNOW_ROW(16)
                             SCALE3DNOW_ROW(32) SCALE3DNOW_ROW(48) "femms\n\t"
                         :
                         : "r"(aMatP), "r"(scale)
                         : "memory", MATHS_X87_CLOBBERS);
}

#undef SCALE3DNOW_ROW

// ---------------------------------------------------------------------------------------------
// Direct routines

void sMatrixCreateUnit(D3DMATRIX *aMatP)
{
    float *m = _elem(aMatP);
    for (int i = 0; i < 16; i++)
        m[i] = (i % 5 == 0) ? 1.0f : 0.0f;
}

void sMatrixTranslate(D3DMATRIX *aMatP, float aX, float aY, float aZ)
{
    float *m = _elem(aMatP);
    for (int i = 0; i < 16; i += 4) {
        m[i] += m[i + 3] * aX;
        m[i + 1] += m[i + 3] * aY;
        m[i + 2] += m[i + 3] * aZ;
    }
}

// Single-axis rotations convert degrees through the double constant.
static void _sinCos(float aDeg, float *aSP, float *aCP)
{
    const double rad = aDeg * 0.017453292519944;
    *aSP = static_cast<float>(std::sin(rad));
    *aCP = static_cast<float>(std::cos(rad));
}

// m = m × R where R turns column p into q: p' = p·c - q·s, q' = p·s + q·c.
static void _rotateColumns(D3DMATRIX *aMatP, int aP, int aQ, float aS, float aC)
{
    float *m = _elem(aMatP);
    for (int i = 0; i < 16; i += 4) {
        const float p = m[i + aP];
        const float q = m[i + aQ];
        m[i + aP] = p * aC - q * aS;
        m[i + aQ] = p * aS + q * aC;
    }
}

void sMatrixRotateX(D3DMATRIX *aMatP, float aDeg)
{
    if (aDeg == 0.0f)
        return;
    float s, c;
    _sinCos(aDeg, &s, &c);
    _rotateColumns(aMatP, 1, 2, s, c); // rows (1,0,0) (0,c,s) (0,-s,c)
}

void sMatrixRotateY(D3DMATRIX *aMatP, float aDeg)
{
    if (aDeg == 0.0f)
        return;
    float s, c;
    _sinCos(aDeg, &s, &c);
    _rotateColumns(aMatP, 2, 0, s, c); // rows (c,0,-s) (0,1,0) (s,0,c)
}

void sMatrixRotateZ(D3DMATRIX *aMatP, float aDeg)
{
    if (aDeg == 0.0f)
        return;
    float s, c;
    _sinCos(aDeg, &s, &c);
    _rotateColumns(aMatP, 0, 1, s, c); // rows (c,s,0) (-s,c,0) (0,0,1)
}

long sMatrixInvert(const D3DMATRIX *aSrcP, D3DMATRIX *aDstP)
{
    const float eps = 0.001f;
    // Written as "not within" so that a NaN in the last column is refused as well.
    if (!(std::fabs(aSrcP->_44 - 1.0f) <= eps) || !(std::fabs(aSrcP->_14) <= eps) ||
        !(std::fabs(aSrcP->_24) <= eps) || !(std::fabs(aSrcP->_34) <= eps))
        return -1;

    const float a11 = aSrcP->_11, a12 = aSrcP->_12, a13 = aSrcP->_13;
    const float a21 = aSrcP->_21, a22 = aSrcP->_22, a23 = aSrcP->_23;
    const float a31 = aSrcP->_31, a32 = aSrcP->_32, a33 = aSrcP->_33;
    const float c11 = a22 * a33 - a23 * a32;
    const float c12 = a23 * a31 - a21 * a33;
    const float c13 = a21 * a32 - a22 * a31;
    const float det = a11 * c11 + a12 * c12 + a13 * c13;

    D3DMATRIX inv;
    inv._11 = c11 / det;
    inv._12 = (a13 * a32 - a12 * a33) / det;
    inv._13 = (a12 * a23 - a13 * a22) / det;
    inv._21 = c12 / det;
    inv._22 = (a11 * a33 - a13 * a31) / det;
    inv._23 = (a13 * a21 - a11 * a23) / det;
    inv._31 = c13 / det;
    inv._32 = (a12 * a31 - a11 * a32) / det;
    inv._33 = (a11 * a22 - a12 * a21) / det;
    inv._14 = inv._24 = inv._34 = 0.0f;
    inv._44 = 1.0f;
    const float tx = aSrcP->_41, ty = aSrcP->_42, tz = aSrcP->_43;
    inv._41 = -(tx * inv._11 + ty * inv._21 + tz * inv._31);
    inv._42 = -(tx * inv._12 + ty * inv._22 + tz * inv._32);
    inv._43 = -(tx * inv._13 + ty * inv._23 + tz * inv._33);
    *aDstP = inv;
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Projection and visibility: the current camera comes from the draw manager.

static void _cameraMatrix(long (*aGetP)(D3DMATRIX *), D3DMATRIX *aMatP)
{
    if (aGetP == nullptr || aGetP(aMatP) == 0)
        sMatrixCreateUnit(aMatP);
}

static float _cameraNear()
{
    float nearDist = 0.0f;
    if (drawManLink.getNearP == nullptr || drawManLink.getNearP(&nearDist) == 0)
        return 0.0f;
    return nearDist;
}

float sMatrixRotTransPers(const D3DMATRIX *aWorldP, const D3DVECTOR *aSrcP, D3DVECTOR *aDstP)
{
    D3DMATRIX view, proj, m;
    _cameraMatrix(drawManLink.getViewMatrixP, &view);
    _cameraMatrix(drawManLink.getProjMatrixP, &proj);
    sMatrixMul(aWorldP, &view, &m);
    sMatrixMul(&m, &proj, &m);

    const float x = aSrcP->x, y = aSrcP->y, z = aSrcP->z;
    const float cx = x * m._11 + y * m._21 + z * m._31 + m._41;
    const float cy = x * m._12 + y * m._22 + z * m._32 + m._42;
    const float cz = x * m._13 + y * m._23 + z * m._33 + m._43;
    const float cw = x * m._14 + y * m._24 + z * m._34 + m._44;
    const float vanishX = drawManLink.vanishXP ? *drawManLink.vanishXP : 0.0f;
    const float vanishY = drawManLink.vanishYP ? *drawManLink.vanishYP : 0.0f;
    aDstP->x = (cx / cw + 1.0f) * vanishX;
    aDstP->y = (1.0f - cy / cw) * vanishY;
    aDstP->z = cz;
    return cw;
}

// Screen-space extent of the 8 corners: u, v in 0..1 across the screen, largest undivided z.
struct _boxExtent {
    float minU, maxU, minV, maxV, maxZ;
};

static void _boxExtentInit(_boxExtent *aExtP)
{
    aExtP->minU = 2.0f;
    aExtP->maxU = -1.0f;
    aExtP->minV = 2.0f;
    aExtP->maxV = -1.0f;
    aExtP->maxZ = -2.0f;
}

static void _boxExtentAdd(_boxExtent *aExtP, float aX, float aY, float aZ, float aW)
{
    const float inv = 1.0f / std::fabs(aW);
    const float u = (aX * inv + 1.0f) * 0.5f;
    const float v = (1.0f - aY * inv) * 0.5f;
    if (u < aExtP->minU)
        aExtP->minU = u;
    if (u > aExtP->maxU)
        aExtP->maxU = u;
    if (v < aExtP->minV)
        aExtP->minV = v;
    if (v > aExtP->maxV)
        aExtP->maxV = v;
    if (aZ > aExtP->maxZ)
        aExtP->maxZ = aZ;
}

long sMatrixCheckBox(const D3DMATRIX *aWorldP, const D3DMATRIX *aViewP, const D3DMATRIX *aProjP,
                     const D3DVECTOR *aBoxP)
{
    D3DMATRIX m;
    sMatrixMul(aWorldP, aViewP, &m);
    sMatrixMul(&m, aProjP, &m);
    D3DVECTOR col[4];
    const float *e = _elem(&m);
    for (int k = 0; k < 4; k++) {
        col[k].x = e[k];
        col[k].y = e[4 + k];
        col[k].z = e[8 + k];
    }

    _boxExtent ext;
    _boxExtentInit(&ext);
    for (int i = 0; i < 8; i++) {
        const D3DVECTOR *p = &aBoxP[i];
        _boxExtentAdd(&ext, sVecDotProductRet(p, &col[0]) + m._41,
                      sVecDotProductRet(p, &col[1]) + m._42, sVecDotProductRet(p, &col[2]) + m._43,
                      sVecDotProductRet(p, &col[3]) + m._44);
    }
    return (_cameraNear() < ext.maxZ && ext.minU <= 1.0f && ext.maxU >= 0.0f && ext.minV <= 1.0f &&
            ext.maxV >= 0.0f)
               ? 1
               : 0;
}

long sMatrixCheckBoxLoose(const D3DMATRIX *aWorldP, const D3DMATRIX *aViewP,
                          const D3DMATRIX *aProjP, const D3DVECTOR *aBoxP)
{
    D3DMATRIX m;
    sMatrixMul(aWorldP, aViewP, &m);
    sMatrixMul(&m, aProjP, &m);

    _boxExtent ext;
    _boxExtentInit(&ext);
    for (int i = 0; i < 8; i++) {
        const float x = aBoxP[i].x, y = aBoxP[i].y, z = aBoxP[i].z;
        _boxExtentAdd(&ext, x * m._11 + y * m._21 + z * m._31 + m._41,
                      x * m._12 + y * m._22 + z * m._32 + m._42,
                      x * m._13 + y * m._23 + z * m._33 + m._43,
                      x * m._14 + y * m._24 + z * m._34 + m._44);
    }
    return (ext.maxZ > 0.0f && ext.minU <= 1.5f && ext.maxU >= -0.5f && ext.minV <= 1.5f &&
            ext.maxV >= -0.5f)
               ? 1
               : 0;
}
