#ifndef KESTREL_SYSTEM_PRIMITIVE_PRIMITIVECORE_H
#define KESTREL_SYSTEM_PRIMITIVE_PRIMITIVECORE_H

// The arithmetic of the primitives that needs no device: vertex sizes and layouts of flexible
// vertex formats, the blending table, projected and sphere-map texture coordinates, the DOT3
// per-vertex light colours, the texture-stage walk and the spotlight triangle filter. The
// vertex sets of Primitive.cpp call these on their locked buffers.

#include <cstdint>

#include "Common/D3DTYPES.h"
#include "Common/VertexFormat.h"

// The transmission word a primitive is made with: what its shape asks for (a shadow volume) and
// the geometry kind its ability's status gives.
enum : uint32_t {
    PRIM_TRANS_SHADOWVOL = 0x1,
    PRIM_TRANS_BUMP = 0x2,
    PRIM_TRANS_ENV = 0x4,
    PRIM_TRANS_DOTPOLY = 0x8,
};

// Flexible vertex format bits (the Direct3D 7 values).
enum : uint32_t {
    PRIM_FVF_XYZ = 0x002,
    PRIM_FVF_POSITION_MASK = 0x00E,
    PRIM_FVF_NORMAL = 0x010,
    PRIM_FVF_RESERVED1 = 0x020,
    PRIM_FVF_DIFFUSE = 0x040,
    PRIM_FVF_SPECULAR = 0x080,
    PRIM_FVF_TEXCOUNT_SHIFT = 8,
    PRIM_FVF_TEXCOUNT_MASK = 0xF00,
};

// Blend factors and primitive types (the Direct3D 7 values).
enum : uint32_t {
    PRIM_BLEND_ZERO = 1,
    PRIM_BLEND_ONE = 2,
    PRIM_BLEND_SRCALPHA = 5,
    PRIM_BLEND_INVSRCALPHA = 6,
    PRIM_BLEND_DESTALPHA = 7,
};
enum : uint32_t {
    PRIM_PT_POINTLIST = 1,
    PRIM_PT_LINELIST = 2,
    PRIM_PT_LINESTRIP = 3,
    PRIM_PT_TRIANGLELIST = 4,
    PRIM_PT_TRIANGLESTRIP = 5,
    PRIM_PT_TRIANGLEFAN = 6,
};

// Texture-set flags that the primitives read.
enum : uint32_t {
    PRIM_TEX_ENVMAP = 0x8,        // sphere environment-mapped stage
    PRIM_TEX_PROJECTED = 0x800,   // coordinates projected again every frame
};

// Vertex size of a format the vertex sets hold (sFvfGetSize: a pre-transformed position is 16
// bytes, a coordinate set 4 to 16); -1 for a word the reader refuses.
inline long sPrimGetStructSize(uint32_t aVertexType)
{
    return sFvfGetSize(aVertexType);
}

// Byte offsets inside one vertex of any format by the full Direct3D rules (position codes
// 2..14, coordinate-set size codes); -1 for a part the format lacks.
struct _primLayout {
    long size;
    long pos;
    long normal;
    long diffuse;
    long specular;
    long texNum;
    long tex[8];
    long texSize[8];
};
// 0, or -1 for a format that cannot describe a drawable vertex (no position, more than eight
// coordinate sets).
long sPrimGetLayout(uint32_t aVertexType, _primLayout *aLayoutP);

// _blendingMode to Direct3D source and destination factors; unknown modes give (one, zero).
void sPrimGetBlendingMode(long aBlend, uint32_t *aSrcBlendP, uint32_t *aDstBlendP);

// Projection kinds and axes of a page's projection data.
enum { PRIM_PROJ_PLANAR = 0, PRIM_PROJ_CYLINDRICAL = 1, PRIM_PROJ_SPHERICAL = 2 };
enum { PRIM_AXIS_X = 0, PRIM_AXIS_Y = 1, PRIM_AXIS_Z = 2 };

// What _setUV needs of one projected stage.
struct _setUVWork {
    uint16_t proj;
    uint16_t axis;
    D3DVECTOR texSize;
    D3DVECTOR texCenter;
    float wrpw;
    float wrph;
    int32_t refNum;
    D3DMATRIX refMat;  // inverse world matrix of the reference object
};

// Texture coordinates of a position under a planar, cylindrical or spherical projection.
void _setUV(const D3DVECTOR *aPosP, float *aUVP, const _setUVWork *aSetUVWorkP);
// Heading (radians) of (x, z) about the y axis.
void _XYZtoH(float aX, float aY, float aZ, float *aHP);
// Heading and pitch (radians).
void _XYZtoHP(float aX, float aY, float aZ, float *aHP, float *aPP);

// Sphere map: the first three columns of the upper 3x3 of world x view.
void sPrimSphereBasis(const D3DMATRIX *aMatP, D3DVECTOR aColP[3]);
// Coordinates of a normal; false (uv untouched) when the normal faces away from the viewer.
bool sPrimSphereUV(const D3DVECTOR *aNormalP, const D3DVECTOR aColP[3], float *aUVP);

// DOT3 light colours. The lights are first taken into object space with the inverse world
// matrix: positions as points, directions without the translation.
void sPrimDot3ObjectLight(const D3DMATRIX *aInvWorldP, const D3DLIGHT7 *aLightP, D3DLIGHT7 *aOutP);
// Spot factor of a direction cosine a for a spot light: 1 inside the inner cone, the falloff
// curve between the cones, -1 outside the outer cone (the light is skipped).
float sPrimSpotFactor(float aCos, const D3DLIGHT7 *aLightP);
// The rotation that turns a normal onto +y.
void sPrimTangentRotation(const D3DVECTOR *aNormalP, D3DMATRIX *aRotP);
// Vertex colour 0x00RRGGBB of a vertex at aPosP with normal aNormalP under object-space lights.
uint32_t sPrimDot3Color(const D3DVECTOR *aPosP, const D3DVECTOR *aNormalP, const D3DLIGHT7 *aLightP,
                        long aLightNum);
// The same with the normal's tangent rotation already made (sPrimTangentRotation).
uint32_t sPrimDot3ColorRot(const D3DVECTOR *aPosP, const D3DMATRIX *aRotP, const D3DLIGHT7 *aLightP,
                           long aLightNum);

// Texture-stage walk: material stage i goes to device stage j; a pass ends when j + 1 reaches
// the device's limit or at the last stage, and the next pass starts again at device stage 0.
// aLimit < 1 means no limit is known: passes of up to eight stages.
bool sPrimStageEndsPass(long aStage, long aDevStage, long aStageNum, long aLimit);
struct _primStagePass {
    long first;  // first material stage of the pass
    long count;  // stages in the pass
};
// Number of passes written to aPassP (room for aStageNum entries).
long sPrimStagePlan(long aStageNum, long aLimit, _primStagePass *aPassP);

// Spotlight geometry: a projected vertex (position, colour 0x80808080, one coordinate pair).
struct _primSpotVertex {
    float x, y, z;
    uint32_t color;
    float u, v;
};
// Projects aVertexNum positions (aStride bytes apart) through aMatP: aOutP gets the position,
// the colour and the light-map coordinates, aProjP (room for aVertexNum) the projected position.
void sPrimSpotLightProject(const uint8_t *aPosP, long aStride, long aVertexNum, const D3DMATRIX *aMatP,
                           _primSpotVertex *aOutP, D3DVECTOR *aProjP);
// Appends to aIndexOutP the triangles of a list that face the light and touch the light's
// square; returns the number of indices appended.
long sPrimSpotLightFilter(const _primSpotVertex *aVertexP, const D3DVECTOR *aProjP, const uint16_t *aIndexP,
                          long aIndexNum, uint16_t *aIndexOutP);

// Checks one index set against the vertex count: 0, or -1 for a negative count, a missing
// array, an unknown primitive type or an index beyond the vertices.
long sPrimCheckIndexSet(long aIndexNum, const uint16_t *aIndexP, uint32_t aPrimitiveType, long aVertexNum);

#endif
