#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "App/App/AppCore.h"
#include "KbAnim.h"
#include "KbTexture.h"

static kbVec3 _p(const _vertexDef &v) { return kbVec3(v.vx, v.vy, v.vz); }

// Every triangle's front (clockwise on screen, as the device culls) faces away from aCentre.
static int _inwardFaces(const kbMesh &aMesh, kbVec3 aCentre)
{
    int bad = 0;
    for (size_t t = 0; t + 2 < aMesh.indices.size(); t += 3) {
        kbVec3 a = _p(aMesh.vertices[aMesh.indices[t]]), b = _p(aMesh.vertices[aMesh.indices[t + 1]]),
               c = _p(aMesh.vertices[aMesh.indices[t + 2]]);
        kbVec3 n = kbCross(b - a, c - a);
        if (kbLength(n) < 1e-9f)
            continue;
        if (kbDot(n, (a + b + c) * (1.0f / 3) - aCentre) <= 0)
            bad++;
    }
    return bad;
}

TEST(KbMesh, ClosedPrimitivesFaceOutward)
{
    EXPECT_EQ(_inwardFaces(kbMeshBox(kbVec3(2, 1, 3), 3), kbVec3()), 0);
    EXPECT_EQ(_inwardFaces(kbMeshSphere(1.5f, 16, 8), kbVec3()), 0);
    EXPECT_EQ(_inwardFaces(kbMeshCylinder(0.5f, 2, 12, 3), kbVec3()), 0);
    EXPECT_EQ(_inwardFaces(kbMeshSlab({{-1, -1}, {1, -1}, {1, 1}, {-1, 1}}, 0.2f), kbVec3()), 0);
    kbMesh tube = kbMeshExtrude({{-0.2f, -0.2f}, {0.2f, -0.2f}, {0.2f, 0.2f}, {-0.2f, 0.2f}}, {{0, 0, -2}, {0, 0, 0}, {0, 0, 2}}, {});
    EXPECT_EQ(_inwardFaces(tube, kbVec3()), 0);
    // A mirrored copy must be rewound, or it would be culled from the front.
    kbMesh box = kbMeshBox(kbVec3(1, 1, 1), 2);
    kbMeshTransform(&box, kbVec3(5, 0, 0), kbVec3(0.3f, 0.2f, 0.1f), kbVec3(-1, 2, 1));
    EXPECT_EQ(_inwardFaces(box, kbVec3(5, 0, 0)), 0);
}

TEST(KbMesh, TerrainFacesUpAndFollowsItsHeights)
{
    kbMesh t = kbMeshTerrain(10, 10, 8, 8, [](float x, float z) { return 0.1f * x + 0.05f * z; });
    EXPECT_EQ(t.Triangles(), 128u);
    EXPECT_EQ(_inwardFaces(t, kbVec3(0, -100, 0)), 0);
    for (const _vertexDef &v : t.vertices) {
        EXPECT_NEAR(v.vy, 0.1f * v.vx + 0.05f * v.vz, 1e-4f);
        EXPECT_GT(v.ny, 0.9f);
    }
}

TEST(KbMesh, BodiesSplitLargeMeshesIntoSixteenBitSetsAndCountHonestly)
{
    kbMesh big = kbMeshTerrain(100, 60, 200, 180, [](float, float) { return 0.0f; });  // 36381 vertices
    kbMesh twice = big;
    kbMeshTransform(&twice, kbVec3(0, 5, 0));
    kbMeshAppend(&big, twice);
    ASSERT_GT(big.vertices.size(), 65536u);
    auto body = kbBodyOf({kbSurfaceOf(big, 0xFFFFFF, "Data\\Tex\\a.bmp"), kbSurfaceOf(kbMeshBox(kbVec3(1, 1, 1)), 0xFF0000)});
    ASSERT_EQ(body->abilities.size(), 2u);
    uint32_t polys = 0;
    for (const kbAbility &a : body->abilities)
        for (const kbVertexSet &vs : a.vertexSets) {
            EXPECT_LE(vs.vertexNum, 65535u);
            for (const kbIndexSet &is : vs.indexSets)
                for (uint16_t i : is.indices)
                    EXPECT_LT(i, vs.vertexNum);
            polys += (uint32_t)(vs.indexSets[0].indices.size() / 3);
        }
    EXPECT_GT(body->abilities[0].vertexSets.size(), 1u);
    EXPECT_EQ(polys, big.Triangles() + 12);
    EXPECT_EQ(body->def.polyCnt, polys);
    EXPECT_EQ(body->abilities[0].texSets.size(), 1u);
    EXPECT_TRUE(body->abilities[1].texSets.empty());
    EXPECT_DOUBLE_EQ(body->def.minX, -50);
    EXPECT_DOUBLE_EQ(body->def.maxY, 5);
}

TEST(KbAnim, SplinePassesThroughItsKeysAndHoldsOutsideThem)
{
    kbSpline s{{10, {0, 0, 0}}, {20, {10, 2, 0}}, {40, {0, 4, 1}}};
    EXPECT_NEAR(s.At(20).x, 10, 1e-4f);
    EXPECT_NEAR(s.At(40).y, 4, 1e-4f);
    EXPECT_NEAR(s.At(0).x, 0, 1e-6f);
    EXPECT_NEAR(s.At(99).z, 1, 1e-6f);
    // Smooth: no jump between neighbouring frames.
    for (float f = 10; f < 40; f += 1)
        EXPECT_LT(kbLength(s.At(f + 1) - s.At(f)), 2.0f);
}

TEST(KbAnim, BakedMotionStepsOneKeyPerFrameOnlyWhereItMoves)
{
    kbMotion m = kbBakeMotion(100, [](int f) { return kbVec3((float)f, 0, 0); }, kbConstant(kbVec3(0, 1, 0)));
    ASSERT_EQ(m.transKeys.size(), 100u);
    EXPECT_EQ(m.angleKeys.size(), 1u);
    EXPECT_EQ(m.scaleKeys.size(), 1u);
    int total = 0, t = 0, a = 0;
    for (const _sceneIndexDef &r : m.runs)
        for (int k = 0; k < r.length; k++, total++) {
            t += r.trans, a += r.angle;
            EXPECT_EQ(m.transKeys[t].vx, (float)total);  // frame f reads key f
            EXPECT_EQ(a, 0);
        }
    EXPECT_EQ(total, 100);
}

TEST(KbAnim, AimAnglesTurnTheNoseOntoTheDirection)
{
    for (kbVec3 d : {kbVec3(1, 0, 0), kbVec3(0, 0, -1), kbVec3(1, 1, 1), kbVec3(-2, -1, 0.5f)}) {
        kbVec3 nose = kbRotate(kbVec3(0, 0, 1), kbAimAngles(d));
        kbVec3 want = kbNormalize(d);
        EXPECT_NEAR(nose.x, want.x, 1e-5f);
        EXPECT_NEAR(nose.y, want.y, 1e-5f);
        EXPECT_NEAR(nose.z, want.z, 1e-5f);
    }
}

TEST(KbAnim, RigPlacesPartsUnderTheirParentsAndTracksTheirWorldPositions)
{
    kbScene sc;
    kbSceneBegin(&sc, 50, 1, 100, 0, 0, 1);
    kbRig rig;
    int root = rig.Add("Body", kbBodyOf({kbSurfaceOf(kbMeshBox(kbVec3(1, 1, 1)), 0xFFFFFF)}), -1, kbVec3());
    int arm = rig.Add("Arm", kbBodyOf({kbSurfaceOf(kbMeshBox(kbVec3(0.2f, 1, 0.2f)), 0xFFFFFF)}), root, kbVec3(1, 0.5f, 0));
    rig.Pose(arm, 0, kbVec3(0, 0, 0));
    rig.Pose(arm, 49, kbVec3(-1.5f, 0, 0));
    kbCurve trans = [](int f) { return kbVec3((float)f, 0, 0); };
    kbCurve turn = kbConstant(kbVec3(0, 1.0f, 0));
    std::vector<int> shapes = rig.Place(&sc, -1, trans, turn);
    ASSERT_EQ(shapes.size(), 2u);
    EXPECT_EQ(sc.shapes[shapes[1]].def.parentShapeNum, shapes[0]);
    EXPECT_EQ(sc.shapes[shapes[1]].motion.angleKeys.size(), 50u);
    // The hand at frame 49: arm rotation, then pivot, then the root's turn and position.
    kbVec3 want = kbRotate(kbRotate(kbVec3(0, -1, 0), kbVec3(-1.5f, 0, 0)) + kbVec3(1, 0.5f, 0), kbVec3(0, 1, 0)) + kbVec3(49, 0, 0);
    kbVec3 got = rig.WorldOf(arm, kbVec3(0, -1, 0), 49, trans, turn);
    EXPECT_NEAR(got.x, want.x, 1e-4f);
    EXPECT_NEAR(got.y, want.y, 1e-4f);
    EXPECT_NEAR(got.z, want.z, 1e-4f);
}

TEST(KbAnim, ToolkitScenesLoadThroughTheProgramsPackageReader)
{
    kbScene sc;
    kbSceneBegin(&sc, 30, 0.5f, 500, 0x102030, 0x808080, 0.5f);
    kbSceneFog(&sc, 10, 100, 0x102030);
    int ship = kbAddShape(&sc, "Ship", kbBodyOf({kbSurfaceOf(kbMeshSphere(1, 8, 4), 0xFFFFFF, "Data\\Tex\\hull.bmp")}), -1,
                          [](int f) { return kbVec3(0, 0, f * 2.0f); });
    kbAddShape(&sc, "Tip", nullptr, ship, kbConstant(kbVec3(0, 0, 1)));
    sc.shapes.back().dissolve = kbDissolveWindow(30, 5, 10);
    kbAddCamera(&sc, [](int f) { return kbVec3(10, 5, (float)f); }, [](int f) { return kbVec3(0, 0, f * 2.0f); }, 0.9f);
    kbAddLight(&sc, kbLightDirectional(kbVec3(0, -1, 1), 0xFFFFFF, 1));
    kbSceneCount(&sc);
    kbBytes file;
    std::string err;
    ASSERT_TRUE(kbKsxWrite(sc, &file, &err)) << err;
    uint8_t *data = entryKsxMem(file.data(), (long)file.size());
    ASSERT_NE(data, nullptr);
    const _sceneDef *s = reinterpret_cast<const _sceneDef *>(data);
    EXPECT_EQ(s->frameCnt, 30);
    ASSERT_EQ(s->shapeCnt, 3);
    EXPECT_STREQ(s->shapeP[1].name, "Tip");
    EXPECT_EQ(s->shapeP[1].defP, nullptr);
    EXPECT_EQ(s->shapeP[1].parentShapeNum, 0);
    EXPECT_EQ(s->shapeP[1].dissolveFrameCnt, 30u);
    EXPECT_EQ(s->cameraP[0].targetShapeNum, 2);
    EXPECT_STREQ(s->shapeP[2].name, "CameraTarget");
    EXPECT_EQ(s->shapeP[0].transFrameCnt, 30u);
    EXPECT_FLOAT_EQ(s->shapeP[0].transFrameP[29].vz, 58.0f);
    EXPECT_EQ(s->polyCnt, 64u);
    EXPECT_STREQ(s->shapeP[0].defP->abilityDefP[0]->texSetP[0].fileName, "Data\\Tex\\hull.bmp");
    free(data);
}

TEST(KbTexture, TexturesAreRepeatableAndTileWithoutSeams)
{
    kbImage a = kbTexStone(64, 0x808080, 5), b = kbTexStone(64, 0x808080, 5), c = kbTexStone(64, 0x808080, 6);
    EXPECT_EQ(a.pixels, b.pixels);
    EXPECT_NE(a.pixels, c.pixels);
    // Across the wrap the step is no larger than between ordinary neighbours (noise is periodic).
    kbImage g = kbTexGround(128, 0x60A040, 9);
    auto lum = [&](uint32_t x, uint32_t y) { return (int)((g.pixels[y * 128 + x] >> 16) & 255); };
    long wrap = 0, inner = 0;
    for (uint32_t y = 0; y < 128; y++) {
        wrap += std::abs(lum(127, y) - lum(0, y));
        inner += std::abs(lum(64, y) - lum(63, y));
    }
    EXPECT_LT(wrap, inner * 3 + 128);
}

TEST(KbTexture, TextInksInsideItsBoxOnly)
{
    if (!kbFontReady())
        GTEST_SKIP() << "no TrueType font installed";
    kbImage img = kbImageMake(120, 40, 0x000000FF);
    kbDrawText(&img, 10, 5, 20, 0xFFFFFF, "Kestrel");
    float w = kbTextWidth("Kestrel", 20);
    EXPECT_GT(w, 40);
    EXPECT_LT(w, 100);
    int inked = 0;
    for (uint32_t y = 0; y < img.height; y++)
        for (uint32_t x = 0; x < img.width; x++)
            if (img.pixels[y * img.width + x] >> 8) {
                inked++;
                EXPECT_GE(x, 9u);
                EXPECT_LE(x, 12 + (uint32_t)w);
            }
    EXPECT_GT(inked, 100);
}
