#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "KbAnim.h"

// Animation of the scene toolkit: key order, baked runs that cover the scene exactly, cameras,
// lights, dissolve windows and scene totals.

namespace {

// Frames the runs of a motion cover, and whether any step reads past a key table.
long Covered(const kbMotion &aM, bool *aPastP)
{
    long frames = 0;
    long t = 0, a = 0, s = 0;
    *aPastP = false;
    for (const _sceneIndexDef &r : aM.runs)
        for (int k = 0; k < r.length; k++, frames++) {
            t += r.trans, a += r.angle, s += r.scale;
            if (t >= (long)aM.transKeys.size() || a >= (long)aM.angleKeys.size() || s >= (long)aM.scaleKeys.size())
                *aPastP = true;
        }
    return frames;
}

} // namespace

TEST(KbSplineKeys, KeysGivenInAnyOrderAreHitAndAReKeyReplaces)
{
    kbSpline s;
    s.Key(30, kbVec3(3, 0, 0)).Key(0, kbVec3(0, 0, 0)).Key(10, kbVec3(1, 5, 0)).Key(20, kbVec3(2, 0, 0));
    for (int k = 0; k <= 3; k++)
        EXPECT_NEAR(s.At(10.0f * k).x, (float)k, 1e-5f) << "key at " << 10 * k;
    EXPECT_NEAR(s.At(10).y, 5, 1e-5f);
    s.Key(10, kbVec3(1, -5, 0));
    EXPECT_NEAR(s.At(10).y, -5, 1e-5f) << "the new value replaces the old key";
    // Monotone keys give a curve that does not run backwards between them.
    for (float f = 0; f < 30; f += 0.5f)
        EXPECT_LE(s.At(f).x, s.At(f + 0.5f).x + 1e-4f) << f;
    // Eases in and out: at rest on the first and last key.
    EXPECT_LT(s.At(0.5f).x - s.At(0).x, s.At(15.5f).x - s.At(15).x);

    kbSpline one{{5, {1, 2, 3}}};
    EXPECT_NEAR(one.At(-100).y, 2, 1e-6f);
    EXPECT_NEAR(one.At(100).z, 3, 1e-6f);
    EXPECT_TRUE(kbSpline().Empty());
    EXPECT_NEAR(kbSpline().At(3).x, 0, 1e-6f);
}

TEST(KbBakedMotion, RunsCoverEveryFrameOfTheSceneAndNeverReadPastTheirKeys)
{
    for (int frames : {1, 2, 3, 30, 1552}) {
        const kbCurve move = [](int f) { return kbVec3((float)f, 0, 0); };
        const kbCurve spin = [](int f) { return kbVec3(0, 0.01f * f, 0); };
        const kbCurve grow = [](int f) { return kbVec3(1 + f * 0.1f, 1, 1); };
        const kbMotion cases[] = {
            kbBakeMotion(frames, move, kbCurve()),
            kbBakeMotion(frames, kbCurve(), spin),
            kbBakeMotion(frames, move, spin, grow),
            kbBakeMotion(frames, kbConstant(kbVec3(1, 2, 3)), kbConstant(kbVec3()), kbConstant(kbVec3(2, 2, 2))),
        };
        for (const kbMotion &m : cases) {
            bool past = false;
            EXPECT_EQ(Covered(m, &past), frames);
            EXPECT_FALSE(past) << frames << " frames";
        }
        // A still channel keeps one key; a scale left out is unit.
        EXPECT_EQ(cases[0].scaleKeys.size(), 1u);
        EXPECT_EQ(cases[0].scaleKeys[0].vx, 1.0f);
        EXPECT_EQ(cases[3].transKeys.size(), 1u);
        EXPECT_EQ(cases[3].transKeys[0].vz, 3.0f);
    }
}

TEST(KbSceneParts, ShapesCamerasAndLightsCarryWhatTheyWereGiven)
{
    kbScene sc;
    kbSceneBegin(&sc, 40, 0.5f, 800, 0x102030, 0x404040, 0.25f);
    EXPECT_EQ(sc.def.frameCnt, 40);
    EXPECT_EQ(sc.def.fps, 30.0f);
    EXPECT_EQ(sc.def.backColor, 0x102030u);
    kbSceneFog(&sc, 10, 90, 0x808080);
    EXPECT_EQ(sc.def.fog.mode, (uint32_t)SCENE_FOG_LINEAR);
    EXPECT_EQ(sc.def.fog.maxDist, 90.0f);

    // A shape that never moves keeps its base pose and no keys.
    const int still = kbAddShape(&sc, "Rock", nullptr, -1, kbConstant(kbVec3(1, 2, 3)), kbConstant(kbVec3(0, 1, 0)));
    EXPECT_TRUE(sc.shapes[still].motion.runs.empty());
    EXPECT_EQ(sc.shapes[still].def.trans.vy, 2.0f);
    EXPECT_EQ(sc.shapes[still].def.angle.vy, 1.0f);
    EXPECT_EQ(sc.shapes[still].def.scale.vx, 1.0f);
    EXPECT_EQ(sc.shapes[still].def.parentShapeNum, -1);

    // The camera: the eye baked on its path, the target a locator shape following its own.
    kbAddCamera(&sc, [](int f) { return kbVec3(0, 10, (float)-f); }, [](int f) { return kbVec3((float)f, 0, 0); }, 0.8f,
                "Aim");
    ASSERT_EQ(sc.cameras.size(), 1u);
    const kbCamera &cam = sc.cameras[0];
    ASSERT_GE(cam.def.targetShapeNum, 0);
    EXPECT_STREQ(sc.shapes[cam.def.targetShapeNum].def.name, "Aim");
    EXPECT_EQ(sc.shapes[cam.def.targetShapeNum].motion.transKeys.size(), 40u);
    EXPECT_EQ(cam.motion.transKeys.size(), 40u);
    EXPECT_EQ(cam.motion.transKeys[39].vz, -39.0f);
    EXPECT_NEAR(cam.def.focalDistance, std::sqrt(100.0f), 1e-5f);
    EXPECT_EQ(cam.def.fovAngle, 0.8f);

    // Lights: the direction of a directional light is stored normalised in its angle.
    const kbLight sun = kbLightDirectional(kbVec3(0, -3, 4), 0xFF8000, 0.9f);
    EXPECT_NEAR(sun.def.angle.vy, -0.6f, 1e-6f);
    EXPECT_NEAR(sun.def.angle.vz, 0.8f, 1e-6f);
    EXPECT_NEAR(sun.def.color.g, 128 / 255.0f, 1e-6f);
    const kbLight lamp = kbLightPoint(kbVec3(1, 2, 3), 0xFFFFFF, 1, 25);
    EXPECT_EQ(lamp.def.trans.vz, 3.0f);
    EXPECT_EQ(lamp.def.range, 25.0f);
    EXPECT_NE(lamp.def.type, sun.def.type);
}

TEST(KbSceneParts, DissolveWindowsAndTotals)
{
    const std::vector<float> w = kbDissolveWindow(10, 3, 6);
    ASSERT_EQ(w.size(), 10u);
    for (int f = 0; f < 10; f++)
        EXPECT_EQ(w[f], f >= 3 && f < 6 ? 0.0f : 1.0f) << f;
    EXPECT_EQ(kbDissolveWindow(5, -4, 99), std::vector<float>(5, 0.0f)) << "held inside the scene";
    EXPECT_EQ(kbDissolveWindow(5, 4, 2), std::vector<float>(5, 1.0f)) << "an empty window hides throughout";

    // Totals count each placed shape, bodies shared by name included; locators count nothing.
    kbScene sc;
    kbSceneBegin(&sc, 5, 1, 100, 0, 0, 1);
    auto box = kbBodyOf({kbSurfaceOf(kbMeshBox(kbVec3(1, 1, 1)), 0xFFFFFF)});
    auto ball = kbBodyOf({kbSurfaceOf(kbMeshSphere(1, 8, 4), 0xFFFFFF)});
    kbAddShape(&sc, "Box", box, -1, kbCurve());
    kbAddShape(&sc, "Box", box, -1, kbConstant(kbVec3(3, 0, 0)));
    kbAddShape(&sc, "Ball", ball, -1, kbCurve());
    kbAddShape(&sc, "Here", nullptr, -1, kbCurve());
    kbSceneCount(&sc);
    EXPECT_EQ(sc.def.polyCnt, 2 * box->def.polyCnt + ball->def.polyCnt);
    EXPECT_EQ(sc.def.vertexCnt, 2 * box->def.vertexCnt + ball->def.vertexCnt);
    EXPECT_EQ(sc.def.vertexMax, std::max(box->def.vertexCnt, ball->def.vertexCnt));
}
