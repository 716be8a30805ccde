#ifndef KESTREL_APP_WATER_WATERCORE_H
#define KESTREL_APP_WATER_WATERCORE_H

// The water surface's arithmetic: the mass-spring net and its processor variants, the per-vertex
// normals, the refraction and sky texture coordinates, the drops and the refraction image size.

#include <cstdint>

#include "Common/D3DTYPES.h"

enum {
    WATER_GRID = 50,                                 // vertices per side
    WATER_VERTEX_CNT = WATER_GRID * WATER_GRID,      // 2500
    WATER_INDEX_CNT = (WATER_GRID - 1) * (WATER_GRID - 1) * 6,  // 14406
    WATER_DROP_FRAMES = 100,                         // a drop every this many frames
    WATER_DROP_CYCLE = 3000,                         // the drop counter wraps here
};

enum : uint32_t {
    WATER_STAT_READY = 0x1,
    WATER_FVF = 0x112,  // position, normal, one coordinate pair
};

// Bits of the processor option word that choose the spring step.
enum : uint32_t {
    WATER_OPT_SSE = 0x2,
    WATER_OPT_3DNOW = 0x8,
    WATER_OPT_E3DNOW = 0x10,
};

const float WATER_TEX_RANGE = 512.0f;  // side of the refraction texture
const float WATER_REFRACT = 10.5f;     // the eye term's weight in the refraction coordinates

// The vertex of both layers (the Direct3D untransformed, lit-by-device vertex).
struct _waterVertex {
    float x, y, z;
    float nx, ny, nz;
    float tu, tv;
};
static_assert(sizeof(_waterVertex) == 32, "vertex of format 0x112");

// Per vertex: only pos.y is used, as the vertical velocity.
struct _wave {
    D3DVECTOR pos;
};

// Spring step: (vertices, waves, columns, rows). Every variant subtracts from each wave the sum
// over the vertex's neighbours inside the grid of L·sin(π·(dy/L)/3.5), L the distance.
typedef void (*_waterWaveProc)(const _waterVertex *aVertP, _wave *aWaveP, long aWidth, long aHeight);
void _conputWaveNormal(const _waterVertex *aVertP, _wave *aWaveP, long aWidth, long aHeight);
// Packed single precision with a polynomial sine: within a few float roundings of Normal.
void _conputWaveSSE(const _waterVertex *aVertP, _wave *aWaveP, long aWidth, long aHeight);
// Reciprocal and reciprocal-square-root estimates (about 14 bits) and the FPU sine.
void _conputWave3DNow(const _waterVertex *aVertP, _wave *aWaveP, long aWidth, long aHeight);
void _conputWaveE3DNow(const _waterVertex *aVertP, _wave *aWaveP, long aWidth, long aHeight);

// 3DNow! (0x8) wins over SSE (0x2); Enhanced 3DNow! (0x10) overrides both.
_waterWaveProc sWaterSelectWave(uint32_t aCpuOption);

// The eight neighbour offsets (dx, dz), in the order the forces are summed.
extern const int8_t waterPosOffset[8][2];

// The triangle list of the grid: WATER_INDEX_CNT entries.
void sWaterMakeIndex(uint16_t *aIndexP);

// Divisor from the screen to the refraction image (2, 4 or 8) and that image's size.
long sWaterDispZip(long aScreenWidth, long aScreenHeight, float *aRendWidthP, float *aRendHeightP);

// The refraction texture's side for a device whose textures reach aMaxWidth x aMaxHeight:
// WATER_TEX_RANGE, or the largest power of two within both. The divisor and the image's size are
// scaled by the same step, so the image keeps its share of the texture and the coordinates that
// sample it stay in proportion.
float sWaterFitTexture(uint32_t aMaxWidth, uint32_t aMaxHeight, long *aZipP, float *aRendWidthP,
                       float *aRendHeightP);

// The rest surface: a flat grid of spacing aRange from the corner aTransP, each height jittered
// by one call of rand() within ±0.0025, normals up, coordinates across the grid.
void sWaterRestVertex(_waterVertex *aVertP, const D3DVECTOR *aTransP, float aRange);

// A drop of height aPower at column aPosX, row aPosY; 0 (nothing done) on or outside the border.
long sWaterDrop(_waterVertex *aVertP, long aPosX, long aPosY, float aPower, float aTransY);

// What the refraction coordinates need of the frame.
struct _waterTexParam {
    D3DMATRIX screenMat;  // world × view × projection
    float vanishX, vanishY;
    float dispZip;
    float rendWidth, rendHeight;
    float ratioWidth, ratioHeight;
    float texRange;
    D3DVECTOR eyePos;
};

// (src, 1) × M projected to the screen; returns |W|.
float sWaterRotTransPers(const D3DMATRIX *aScreenMatP, float aVanishX, float aVanishY, const D3DVECTOR *aSrcP,
                         D3DVECTOR *aDstP);

// Refraction coordinates of one vertex: its screen position in the refraction image bent by the
// normal and the eye. Outside the image they clamp to 0.1 on the low side.
void sWaterTexUV(const _waterTexParam *aParamP, _waterVertex *aVertP, const D3DVECTOR *aNormalP, float aRef);

// After the spring step: heights moved by a tenth of the waves, refraction coordinates from
// aNormalsP.
void sWaterMove(_waterVertex *aVertP, const _wave *aWavesP, const D3DVECTOR *aNormalsP,
                const _waterTexParam *aParamP);

// Sky coordinates: the flat grid's bent by the normals, limited to 0..1.
void sWaterSkyUV(_waterVertex *aSkyP, const D3DVECTOR *aNormalsP);

// New vertex normals from the triangles, accumulated onto aNormalsP; aNormalsP then holds the
// vertices' previous normals.
void sWaterNormals(_waterVertex *aVertP, const uint16_t *aIndexP, D3DVECTOR *aNormalsP);

#endif
