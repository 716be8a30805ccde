#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "KbMesh.h"

// Mesh generators of the scene toolkit: counts, index bounds, unit normals that agree with the
// winding, and the shapes they promise.

namespace {

kbVec3 Pos(const _vertexDef &v) { return kbVec3(v.vx, v.vy, v.vz); }
kbVec3 Nrm(const _vertexDef &v) { return kbVec3(v.nx, v.ny, v.nz); }

// Every index inside the vertices, whole triangles, finite positions, unit normals, and each
// face's front (cross of its edges) on the side its vertex normals point to. The first broken
// rule, or empty.
std::string Sound(const kbMesh &aMesh)
{
    if (aMesh.indices.size() % 3)
        return "a partial triangle";
    for (uint32_t i : aMesh.indices)
        if (i >= aMesh.vertices.size())
            return "index " + std::to_string(i) + " past " + std::to_string(aMesh.vertices.size()) + " vertices";
    for (const _vertexDef &v : aMesh.vertices) {
        if (!std::isfinite(v.vx) || !std::isfinite(v.vy) || !std::isfinite(v.vz))
            return "a position that is not a number";
        if (std::fabs(kbLength(Nrm(v)) - 1.0f) > 1e-3f)
            return "a normal of length " + std::to_string(kbLength(Nrm(v)));
    }
    for (size_t t = 0; t < aMesh.indices.size(); t += 3) {
        const _vertexDef &a = aMesh.vertices[aMesh.indices[t]], &b = aMesh.vertices[aMesh.indices[t + 1]],
                         &c = aMesh.vertices[aMesh.indices[t + 2]];
        const kbVec3 n = kbCross(Pos(b) - Pos(a), Pos(c) - Pos(a));
        if (kbLength(n) > 1e-7f && kbDot(n, Nrm(a) + Nrm(b) + Nrm(c)) < 0)
            return "triangle " + std::to_string(t / 3) + " wound against its normals";
    }
    return "";
}

const std::vector<kbPoint2> kVase = {{0, 0}, {0.6f, 0}, {0.8f, 0.4f}, {0.3f, 1.2f}, {0.45f, 1.6f}, {0, 1.6f}};
const std::vector<kbPoint2> kSquare = {{-0.2f, -0.2f}, {0.2f, -0.2f}, {0.2f, 0.2f}, {-0.2f, 0.2f}};

} // namespace

TEST(KbMeshGenerators, EveryGeneratorGivesASoundMesh)
{
    const struct {
        const char *name;
        kbMesh mesh;
    } meshes[] = {
        {"box", kbMeshBox(kbVec3(1, 2, 3), 4)},
        {"sphere", kbMeshSphere(2, 12, 7)},
        {"cylinder", kbMeshCylinder(1, 3, 9, 2)},
        {"open cylinder", kbMeshCylinder(1, 3, 9, 2, false)},
        {"plane", kbMeshPlane(4, 2, 5, 3, 2)},
        {"lathe", kbMeshLathe(kVase, 16)},
        {"extrude", kbMeshExtrude(kSquare, {{0, 0, 0}, {1, 0.5f, 1}, {2, 0, 3}, {2, 2, 4}}, {1, 2, 1, 0.5f})},
        {"extrude up the up vector", kbMeshExtrude(kSquare, {{0, 0, 0}, {0, 3, 0}}, {})},
        {"slab", kbMeshSlab({{0, 0}, {2, 0}, {2.5f, 1}, {1, 2}, {-0.5f, 1}}, 0.1f)},
        {"terrain", kbMeshTerrain(8, 8, 6, 6, [](float x, float z) { return std::sin(x) * std::cos(z); })},
    };
    for (const auto &m : meshes) {
        EXPECT_GT(m.mesh.Triangles(), 0u) << m.name;
        EXPECT_EQ(Sound(m.mesh), "") << m.name;
    }
}

TEST(KbMeshGenerators, CountsFollowTheDivisions)
{
    // Grids share their seam vertices: (div + 1)^2 a face, two triangles a cell.
    kbMesh box = kbMeshBox(kbVec3(1, 1, 1), 3);
    EXPECT_EQ(box.vertices.size(), 6u * 16);
    EXPECT_EQ(box.Triangles(), 6u * 9 * 2);
    kbMesh plane = kbMeshPlane(2, 2, 4, 3);
    EXPECT_EQ(plane.vertices.size(), 5u * 4);
    EXPECT_EQ(plane.Triangles(), 4u * 3 * 2);
    // A lathe: (rows + 1) rings of (slices + 1) vertices, the seam doubled for its texture.
    kbMesh vase = kbMeshLathe(kVase, 16);
    EXPECT_EQ(vase.vertices.size(), kVase.size() * 17);
    EXPECT_EQ(vase.Triangles(), (kVase.size() - 1) * 16 * 2);
    // An extrusion: rings along the path, a fan cap of centre plus ring at each end.
    kbMesh bar = kbMeshExtrude(kSquare, {{0, 0, 0}, {0, 0, 1}, {0, 0, 2}}, {});
    EXPECT_EQ(bar.vertices.size(), 3u * 5 + 2 * 5);
    EXPECT_EQ(bar.Triangles(), 2u * 4 * 2 + 2 * 4);
    kbMesh open = kbMeshExtrude(kSquare, {{0, 0, 0}, {0, 0, 1}}, {}, kbVec3(0, 1, 0), false);
    EXPECT_EQ(open.Triangles(), 4u * 2);
    // A slab: two fan caps and a quad a side.
    kbMesh slab = kbMeshSlab(kSquare, 0.1f);
    EXPECT_EQ(slab.Triangles(), 2u * 4 + 4 * 2);
}

TEST(KbMeshGenerators, TooFewPointsGiveAnEmptyMeshNotAFault)
{
    EXPECT_EQ(kbMeshLathe({{1, 0}}, 8).Triangles(), 0u);
    EXPECT_EQ(kbMeshLathe(kVase, 2).Triangles(), 0u);
    EXPECT_EQ(kbMeshExtrude({{0, 0}, {1, 0}}, {{0, 0, 0}, {0, 0, 1}}, {}).Triangles(), 0u);
    EXPECT_EQ(kbMeshExtrude(kSquare, {{0, 0, 0}}, {}).Triangles(), 0u);
    EXPECT_EQ(kbMeshSlab({{0, 0}, {1, 1}}, 1).Triangles(), 0u);
    EXPECT_EQ(kbMeshBox(kbVec3(1, 1, 1), 0).Triangles(), 12u) << "no division is one division";
}

TEST(KbMeshShapes, LatheAndSphereNormalsPointAwayFromTheAxis)
{
    kbMesh vase = kbMeshLathe(kVase, 24);
    for (const _vertexDef &v : vase.vertices) {
        const float radial = v.vx * v.nx + v.vz * v.nz;
        EXPECT_GE(radial, -1e-4f) << "normal turned toward the axis at y " << v.vy;
    }
    // The base (profile going outward at y 0) faces down, the top faces up.
    EXPECT_NEAR(vase.vertices[0].ny, -1.0f, 1e-5f);
    EXPECT_NEAR(vase.vertices.back().ny, 1.0f, 1e-5f);

    kbMesh ball = kbMeshSphere(2.5f, 16, 9);
    for (const _vertexDef &v : ball.vertices) {
        EXPECT_NEAR(kbLength(Pos(v)), 2.5f, 1e-4f);
        const kbVec3 out = kbNormalize(Pos(v));
        EXPECT_GT(kbDot(out, Nrm(v)), 0.98f);
    }
}

TEST(KbMeshShapes, ExtrusionFollowsItsPathAndScale)
{
    const std::vector<kbVec3> path = {{0, 0, 0}, {0, 0, 2}, {0, 0, 4}};
    kbMesh tube = kbMeshExtrude(kSquare, path, {1, 3, 1}, kbVec3(0, 1, 0), false);
    // Ring i of the section sits at path point i, its size scaled by aScale[i].
    for (int ring = 0; ring < 3; ring++) {
        const float scale = ring == 1 ? 3.0f : 1.0f;
        for (int k = 0; k < 4; k++) {
            const _vertexDef &v = tube.vertices[ring * 5 + k];
            EXPECT_NEAR(v.vz, path[ring].z, 1e-5f);
            EXPECT_NEAR(std::fabs(v.vx), 0.2f * scale, 1e-5f);
            EXPECT_NEAR(std::fabs(v.vy), 0.2f * scale, 1e-5f);
        }
    }
    // The section's y axis stays up when the path runs level.
    EXPECT_EQ(Sound(tube), "");
    EXPECT_NEAR(tube.vertices[2].vy, 0.2f, 1e-5f) << "section point (0.2, 0.2) is above the path";
}

TEST(KbMeshEdits, TransformScalesThenRotatesThenMoves)
{
    kbMesh m;
    m.vertices.push_back({});
    m.vertices[0].vx = 1;
    m.vertices[0].nx = 1;
    const float quarter = 1.5707963f;
    kbMeshTransform(&m, kbVec3(10, 0, 0), kbVec3(0, quarter, 0), kbVec3(2, 1, 1));
    const kbVec3 want = kbRotate(kbVec3(2, 0, 0), kbVec3(0, quarter, 0)) + kbVec3(10, 0, 0);
    EXPECT_NEAR(m.vertices[0].vx, want.x, 1e-5f);
    EXPECT_NEAR(m.vertices[0].vz, want.z, 1e-5f);
    EXPECT_NEAR(kbLength(Nrm(m.vertices[0])), 1.0f, 1e-5f);

    // A squashed sphere keeps its normals perpendicular to the surface (inverse scale).
    kbMesh egg = kbMeshSphere(1, 16, 8);
    kbMeshTransform(&egg, kbVec3(), kbVec3(), kbVec3(1, 3, 1));
    EXPECT_EQ(Sound(egg), "");
    for (const _vertexDef &v : egg.vertices) {
        const kbVec3 grad = kbNormalize(kbVec3(v.vx, v.vy / 9.0f, v.vz));  // of x² + (y/3)² + z²
        EXPECT_GT(kbDot(grad, Nrm(v)), 0.999f);
    }
}

TEST(KbMeshEdits, AppendFacetDisplaceAndOrientKeepMeshesSound)
{
    kbMesh a = kbMeshBox(kbVec3(1, 1, 1)), b = kbMeshSphere(1, 8, 4);
    const size_t av = a.vertices.size(), at = a.Triangles();
    kbMeshAppend(&a, b);
    EXPECT_EQ(a.vertices.size(), av + b.vertices.size());
    EXPECT_EQ(a.Triangles(), at + b.Triangles());
    EXPECT_EQ(Sound(a), "") << "appended indices are rebased";

    // Facets: three vertices of their own a triangle, each with the face normal.
    kbMesh f = kbMeshSphere(1, 8, 4);
    const uint32_t tris = f.Triangles();
    kbMeshFacet(&f);
    EXPECT_EQ(f.vertices.size(), tris * 3u);
    EXPECT_EQ(Sound(f), "");
    for (size_t t = 0; t < f.indices.size(); t += 3) {
        const _vertexDef &p = f.vertices[f.indices[t]], &q = f.vertices[f.indices[t + 1]], &r = f.vertices[f.indices[t + 2]];
        const kbVec3 n = kbCross(Pos(q) - Pos(p), Pos(r) - Pos(p));
        if (kbLength(n) < 1e-6f)
            continue;  // the poles' slivers
        EXPECT_GT(kbDot(kbNormalize(n), Nrm(p)), 0.9999f);
        EXPECT_EQ(p.nx, r.nx);
    }

    // Pushing a sphere out along its normals by a constant grows its radius by that much.
    kbMesh s = kbMeshSphere(1, 16, 8);
    kbMeshDisplace(&s, [](kbVec3) { return 0.5f; });
    for (const _vertexDef &v : s.vertices)
        EXPECT_NEAR(kbLength(Pos(v)), 1.5f, 1e-4f);
    EXPECT_EQ(Sound(s), "");

    // Reversed triangles come back to the side their normals give.
    kbMesh r = kbMeshBox(kbVec3(2, 2, 2), 2);
    for (size_t t = 0; t < r.indices.size(); t += 3)
        std::swap(r.indices[t + 1], r.indices[t + 2]);
    EXPECT_NE(Sound(r), "");
    kbMeshOrient(&r);
    EXPECT_EQ(Sound(r), "");
}

TEST(KbMeshBodies, MaterialsBlendAndTexturesReachTheAbilities)
{
    kbSurface glass = kbSurfaceOf(kbMeshBox(kbVec3(1, 1, 1)), 0x3366FF, "Data\\Tex\\glass.bmp");
    glass.blend = 1;
    glass.twoSided = true;
    glass.specular = 0.5f;
    kbSurface plain = kbSurfaceOf(kbMeshSphere(1, 6, 4), 0xFF8000);
    auto body = kbBodyOf({glass, plain});
    ASSERT_EQ(body->abilities.size(), 2u);
    const kbAbility &g = body->abilities[0], &p = body->abilities[1];
    EXPECT_NEAR(p.def.material.diffuse.r, 1.0f, 1e-6f);
    EXPECT_NEAR(p.def.material.diffuse.g, 128 / 255.0f, 1e-6f);
    EXPECT_NEAR(p.def.material.diffuse.b, 0.0f, 1e-6f);
    ASSERT_EQ(g.texSets.size(), 1u);
    EXPECT_STREQ(g.texSets[0].fileName, "Data\\Tex\\glass.bmp");
    EXPECT_EQ(g.def.abilityStatus & 0x31, 0x31u) << "blended, two-sided, specular";
    EXPECT_EQ(p.def.abilityStatus & 0x31, 0u);
    EXPECT_EQ(g.def.srcBlend, 2u) << "additive: ONE, ONE";
    EXPECT_EQ(g.def.destBlend, 2u);
    EXPECT_EQ(g.def.texStageNum, 1);
    EXPECT_EQ(p.def.texStageNum, 0);
    // The body's box holds every vertex of every set.
    for (const kbAbility &ab : body->abilities)
        for (const kbVertexSet &vs : ab.vertexSets) {
            ASSERT_EQ(vs.vertices.size(), vs.vertexNum * sizeof(_vertexDef));
            const _vertexDef *v = reinterpret_cast<const _vertexDef *>(vs.vertices.data());
            for (uint32_t i = 0; i < vs.vertexNum; i++) {
                EXPECT_GE(v[i].vx, body->def.minX);
                EXPECT_LE(v[i].vx, body->def.maxX);
                EXPECT_GE(v[i].vy, body->def.minY);
                EXPECT_LE(v[i].vy, body->def.maxY);
            }
        }
    EXPECT_EQ(body->def.polyCnt, 12u + 6 * 4 * 2);

    // Surfaces without triangles add no ability; a body of none has an empty box at the origin.
    auto none = kbBodyOf({kbSurfaceOf(kbMesh(), 0xFFFFFF)});
    EXPECT_TRUE(none->abilities.empty());
    EXPECT_EQ(none->def.minX, 0.0);
    EXPECT_EQ(none->def.maxZ, 0.0);
    EXPECT_EQ(none->def.polyCnt, 0u);
}
