#ifndef KESTREL_TOOLS_BUILDER_KBMESH_H
#define KESTREL_TOOLS_BUILDER_KBMESH_H

// Meshes of the scene toolkit: triangle soups with normals and texture coordinates, made from
// primitives, lathes, extrusions along paths and height fields, placed and merged, then turned
// into shape bodies (one ability per material, vertex sets split below 65536 vertices).

#include <functional>
#include <string>

#include "KbScene.h"

struct kbVec3 {
    float x = 0, y = 0, z = 0;
    kbVec3() = default;
    kbVec3(float aX, float aY, float aZ) : x(aX), y(aY), z(aZ) {}
};
kbVec3 operator+(kbVec3 a, kbVec3 b);
kbVec3 operator-(kbVec3 a, kbVec3 b);
kbVec3 operator*(kbVec3 a, float s);
float kbDot(kbVec3 a, kbVec3 b);
kbVec3 kbCross(kbVec3 a, kbVec3 b);
float kbLength(kbVec3 a);
kbVec3 kbNormalize(kbVec3 a);
kbVec3 kbLerp(kbVec3 a, kbVec3 b, float t);
// Rotation as the scene applies it to shapes: about X, then Y, then Z (radians, row vectors).
kbVec3 kbRotate(kbVec3 aV, kbVec3 aAngle);
// Angles (pitch, heading, 0) that turn the +Z nose of a model toward aDir.
kbVec3 kbAimAngles(kbVec3 aDir);

struct kbMesh {
    std::vector<_vertexDef> vertices;
    std::vector<uint32_t> indices;  // triangle list
    uint32_t Triangles() const { return (uint32_t)(indices.size() / 3); }
};

// A 2D point of a profile or cross-section.
struct kbPoint2 {
    float a = 0, b = 0;
};

// Primitives, centred on the origin. aDiv subdivides each face edge.
kbMesh kbMeshBox(kbVec3 aSize, int aDiv = 1);
kbMesh kbMeshSphere(float aRadius, int aSlices, int aStacks);
kbMesh kbMeshCylinder(float aRadius, float aHeight, int aSlices, int aStacks = 1, bool aCaps = true);
// A grid in the XZ plane facing +Y.
kbMesh kbMeshPlane(float aWidth, float aDepth, int aDivX, int aDivZ, float aUvRepeat = 1.0f);
// Revolves a profile of (radius, height) points around Y; v runs along the profile.
kbMesh kbMeshLathe(const std::vector<kbPoint2> &aProfile, int aSlices, float aUvRepeatU = 1.0f);
// Sweeps a closed cross-section (x, y) along a path; aScale gives the section size at each path
// point (empty: 1). The section's y axis follows aUp.
kbMesh kbMeshExtrude(const std::vector<kbPoint2> &aSection, const std::vector<kbVec3> &aPath,
                     const std::vector<float> &aScale, kbVec3 aUp = kbVec3(0, 1, 0), bool aCaps = true);
// A flat polygon outline (x, z) given thickness in y: wings, fins, blades.
kbMesh kbMeshSlab(const std::vector<kbPoint2> &aOutline, float aThickness);
// A height field over the XZ plane, aDivX × aDivZ cells, heights from aHeight(x, z).
kbMesh kbMeshTerrain(float aWidth, float aDepth, int aDivX, int aDivZ, const std::function<float(float, float)> &aHeight,
                     float aUvRepeat = 1.0f);

// Moves every vertex by scale, then rotation (kbRotate), then translation.
void kbMeshTransform(kbMesh *aMeshP, kbVec3 aTrans, kbVec3 aAngle = kbVec3(), kbVec3 aScale = kbVec3(1, 1, 1));
void kbMeshAppend(kbMesh *aMeshP, const kbMesh &aOther);
// Pushes each vertex along its normal by aAmount(position); normals are then recomputed.
void kbMeshDisplace(kbMesh *aMeshP, const std::function<float(kbVec3)> &aAmount);
// Smooth normals from the faces, vertices welded by position.
void kbMeshSmoothNormals(kbMesh *aMeshP);
// Flat look: every triangle gets its own three vertices and face normal.
void kbMeshFacet(kbMesh *aMeshP);
// Winds every triangle so that its front faces the way its vertex normals point.
void kbMeshOrient(kbMesh *aMeshP);

// A surface of a body: mesh, material and optional texture.
struct kbSurface {
    kbMesh mesh;
    D3DCOLORVALUE diffuse = {1, 1, 1, 1};
    D3DCOLORVALUE emissive = {0, 0, 0, 0};
    float specular = 0;   // 0 none, else highlight strength with power 20
    bool twoSided = false;
    int blend = 0;        // 0 opaque, 1 additive, 2 alpha
    std::string texture;  // texture file name as requested, empty for none
    uint32_t texFlg = 0x1;
};

D3DCOLORVALUE kbColor(uint32_t aRgb, float aAlpha = 1.0f);
kbSurface kbSurfaceOf(const kbMesh &aMesh, uint32_t aRgb, const std::string &aTexture = std::string());

// The body of the surfaces, its box and counts filled in.
std::shared_ptr<kbShapeBody> kbBodyOf(const std::vector<kbSurface> &aSurfaces);

#endif
