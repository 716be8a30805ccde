// The rooftop fight, the sliding-door interior and the Light hall battle: what the demo's cues and
// callbacks rely on, checked on the scenes as the builder makes them.

#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "DemoNightFight.h"

namespace {

const std::vector<ctScene> &_scenes()
{
    static const std::vector<ctScene> all = [] {
        std::vector<ctScene> v;
        ctDemoNightFight(&v);
        v.push_back(ctGame2());
        return v;
    }();
    return all;
}

const ctScene &_scene(const std::string &aNumber)
{
    for (const ctScene &s : _scenes())
        if (s.number == aNumber)
            return s;
    static ctScene none;
    ADD_FAILURE() << "no scene " << aNumber;
    return none;
}

int _find(const kbScene &aScene, const std::string &aName)
{
    for (size_t i = 0; i < aScene.shapes.size(); i++)
        if (aName == aScene.shapes[i].def.name)
            return (int)i;
    return -1;
}

// A shape's pose at a frame the way the runtime steps it: the first frame already carries the
// first run's step.
void _pose(const kbScene &aScene, int aShape, int aFrame, kbVec3 *aTransP, kbVec3 *aAngleP, kbVec3 *aScaleP)
{
    const kbShape &s = aScene.shapes[aShape];
    *aTransP = kbVec3(s.def.trans.vx, s.def.trans.vy, s.def.trans.vz);
    *aAngleP = kbVec3(s.def.angle.vx, s.def.angle.vy, s.def.angle.vz);
    *aScaleP = kbVec3(s.def.scale.vx, s.def.scale.vy, s.def.scale.vz);
    const kbMotion &m = s.motion;
    if (m.runs.empty())
        return;
    int t = 0, a = 0, c = 0, f = 0;
    for (const _sceneIndexDef &r : m.runs)
        for (int k = 0; k < r.length && f <= aFrame; k++, f++)
            t += r.trans, a += r.angle, c += r.scale;
    auto key = [](const std::vector<_sceneVectorDef> &aKeys, int aI, kbVec3 *aOutP) {
        if (!aKeys.empty()) {
            const _sceneVectorDef &k = aKeys[std::min(std::max(aI, 0), (int)aKeys.size() - 1)];
            *aOutP = kbVec3(k.vx, k.vy, k.vz);
        }
    };
    key(m.transKeys, t, aTransP);
    key(m.angleKeys, a, aAngleP);
    key(m.scaleKeys, c, aScaleP);
}

kbVec3 _world(const kbScene &aScene, int aShape, int aFrame, kbVec3 aLocal = kbVec3())
{
    kbVec3 p = aLocal;
    for (int i = aShape, depth = 0; i >= 0 && depth < 64; i = aScene.shapes[i].def.parentShapeNum, depth++) {
        kbVec3 t, a, s;
        _pose(aScene, i, aFrame, &t, &a, &s);
        p = kbRotate(kbVec3(p.x * s.x, p.y * s.y, p.z * s.z), a) + t;
    }
    return p;
}

// Where a world point lands on a 640 x 480 screen through the scene's camera; false behind the
// near plane.
bool _project(const kbScene &aScene, int aFrame, kbVec3 aPoint, float *aXP, float *aYP)
{
    const kbCamera &cam = aScene.cameras.back();
    kbVec3 eye(cam.def.trans.vx, cam.def.trans.vy, cam.def.trans.vz);
    if (!cam.motion.runs.empty()) {
        kbScene one;
        one.shapes.resize(1);
        one.shapes[0].def.trans = cam.def.trans;
        one.shapes[0].motion = cam.motion;
        kbVec3 a, s;
        _pose(one, 0, aFrame, &eye, &a, &s);
    }
    kbVec3 look = _world(aScene, cam.def.targetShapeNum, aFrame);
    kbVec3 fwd = kbNormalize(look - eye), right = kbNormalize(kbCross(kbVec3(0, 1, 0), fwd)), up = kbCross(fwd, right);
    kbVec3 d = aPoint - eye;
    float z = kbDot(d, fwd);
    if (z <= aScene.def.nearDist)
        return false;
    float yScale = 1.0f / std::tan(cam.def.fovAngle / 2), xScale = yScale * 480 / 640;
    *aXP = 320 + 320 * kbDot(d, right) / z * xScale;
    *aYP = 240 - 240 * kbDot(d, up) / z * yScale;
    return true;
}

bool _onScreen(const kbScene &aScene, int aFrame, kbVec3 aPoint)
{
    float x, y;
    return _project(aScene, aFrame, aPoint, &x, &y) && x >= 0 && x < 640 && y >= 0 && y < 480;
}

bool _moves(const kbScene &aScene, int aShape, int aFrom, int aTo, int *aStillP)
{
    for (int f = aFrom; f < aTo; f++) {
        kbVec3 t0, t1, a, s;
        _pose(aScene, aShape, f, &t0, &a, &s);
        _pose(aScene, aShape, f + 1, &t1, &a, &s);
        if (kbLength(t1 - t0) < 1e-5f) {
            *aStillP = f + 1;
            return false;
        }
    }
    return true;
}

}  // namespace

TEST(DemoNightFight, ScenesAreLongEnoughForTheirCuesAndFades)
{
    // 03 reaches the second clash and the end of the cloud gap; 04 and the hall battle their fades.
    const std::pair<const char *, int> need[] = {{"03", 820}, {"l21", 820}, {"04", 1002}, {"l02", 1002}};
    for (const auto &n : need) {
        const kbScene &sc = _scene(n.first).scene;
        EXPECT_GE((int)sc.def.frameCnt, n.second) << n.first;
        EXPECT_EQ(30.0f, sc.def.fps) << n.first;
        ASSERT_EQ(1u, sc.cameras.size()) << n.first;
    }
    EXPECT_EQ(_scene("03").scene.def.frameCnt, _scene("l21").scene.def.frameCnt);
    EXPECT_EQ(_scene("04").scene.def.frameCnt, _scene("l02").scene.def.frameCnt);
    EXPECT_EQ(_scene("05").scene.def.frameCnt, _scene("l22").scene.def.frameCnt);
}

TEST(DemoNightFight, EverySwordTrailEndRidesItsSwordAndDrawsNothing)
{
    for (const char *n : {"03", "l21", "04", "l02", "l22"}) {
        const kbScene &sc = _scene(n).scene;
        int pairs = 0;
        for (int k = 1; k <= 8; k++) {
            int s = _find(sc, "s_img" + std::to_string(k)), e = _find(sc, "e_img" + std::to_string(k));
            ASSERT_EQ(s < 0, e < 0) << n << " pair " << k;
            if (s < 0)
                continue;
            pairs++;
            for (int i : {s, e}) {
                EXPECT_FALSE(sc.shapes[i].body) << n << " " << sc.shapes[i].def.name;
                int parent = sc.shapes[i].def.parentShapeNum;
                ASSERT_GE(parent, 0) << n << " " << sc.shapes[i].def.name;
                EXPECT_LT(parent, i) << "parents come first";
                EXPECT_TRUE(sc.shapes[parent].body) << n << " " << sc.shapes[i].def.name << " rides nothing drawn";
            }
            EXPECT_EQ(sc.shapes[s].def.parentShapeNum, sc.shapes[e].def.parentShapeNum) << "tip and hilt of one blade";
            // The tip lies a blade's length from the hilt at every frame.
            for (int f : {0, 300, 700}) {
                float len = kbLength(_world(sc, s, f) - _world(sc, e, f));
                EXPECT_GT(len, 0.8f) << n << " frame " << f;
                EXPECT_LT(len, 1.3f) << n << " frame " << f;
            }
        }
        EXPECT_GE(pairs, 1) << n;
    }
}

TEST(DemoNightFight, RooftopCuesLandOnBladesInView)
{
    // The swish at 525 is the swordsman's leaping cut; the two clashes are both blades meeting.
    for (const char *n : {"03", "l21"}) {
        const kbScene &sc = _scene(n).scene;
        int hero = _find(sc, "s_img1"), guard = _find(sc, "s_img2");
        ASSERT_GE(hero, 0);
        ASSERT_GE(guard, 0);
        for (int f : {525, 770, 780})
            EXPECT_TRUE(_onScreen(sc, f, _world(sc, hero, f))) << n << " frame " << f;
        for (int f : {770, 780}) {
            EXPECT_TRUE(_onScreen(sc, f, _world(sc, guard, f))) << n << " frame " << f;
            // The blades cross: the tips are closer than a blade's length.
            EXPECT_LT(kbLength(_world(sc, hero, f) - _world(sc, guard, f)), 1.2f) << n << " frame " << f;
        }
        // The swish is a cut in motion: the tip travels fast around the cue.
        EXPECT_GT(kbLength(_world(sc, hero, 527) - _world(sc, hero, 521)), 0.5f) << n;
    }
}

TEST(DemoNightFight, RooftopSkyIsOpenExceptUnderTheFlash)
{
    // The clouds fill what nothing drew; while they are skipped the flash covers the screen.
    const ctScene &full = _scene("03");
    uint32_t back = (full.scene.def.backColor << 8) | 0xFF;
    // The upper half of the frame: where sky shows from the eye heights used here.
    auto sky = [back](const kbImage &aImage) {
        size_t n = 0, half = aImage.pixels.size() / 2;
        for (size_t i = 0; i < half; i++)
            n += aImage.pixels[i] == back;
        return (double)n / half;
    };
    for (int f : {20, 300, 650, 810})
        EXPECT_GT(sky(ctPreview(full, f, 80, 60)), 0.05) << "frame " << f;
    for (int f : {771, 775})
        EXPECT_EQ(0.0, sky(ctPreview(full, f, 80, 60))) << "frame " << f;
    // The Light edition draws no clouds and brings a sky of its own.
    const ctScene &light = _scene("l21");
    for (int f : {20, 300, 810})
        EXPECT_LT(sky(ctPreview(light, f, 80, 60)), 0.01) << "frame " << f;
    int flash = _find(full.scene, "Flash");
    ASSERT_GE(flash, 0);
    const std::vector<float> &d = full.scene.shapes[flash].dissolve;
    ASSERT_EQ(full.scene.def.frameCnt, d.size());
    for (size_t f = 0; f < d.size(); f++)
        EXPECT_EQ(f >= 771 && f <= 789, d[f] < 1.0f) << "frame " << f;
}

TEST(DemoNightFight, ShapeEffectNamesMoveThroughTheirWindows)
{
    // The blur trail stops at the first history entry whose translation did not change.
    struct _window {
        const char *name;
        int from, to;  // -1: to the end
    };
    const _window windows[] = {{"Boss02", 0, 480}, {"HanMen", 255, -1}, {"Shuriken01", 140, 500}};
    for (const char *n : {"04", "l02"}) {
        const kbScene &sc = _scene(n).scene;
        for (const _window &w : windows) {
            int i = _find(sc, w.name);
            ASSERT_GE(i, 0) << n << " " << w.name;
            EXPECT_TRUE(sc.shapes[i].body) << n << " " << w.name;
            EXPECT_EQ(-1, sc.shapes[i].def.parentShapeNum) << n << " " << w.name;
            int still = -1;
            int to = w.to < 0 ? (int)sc.def.frameCnt - 1 : w.to;
            EXPECT_TRUE(_moves(sc, i, w.from, to, &still)) << n << " " << w.name << " holds still at " << still;
        }
        int mask = _find(sc, "HanMen"), star = _find(sc, "Shuriken01"), lord = _find(sc, "Boss02");
        // The mask sits on the lord's face until it is cut away, and the thrown star is seen.
        EXPECT_LT(kbLength(_world(sc, mask, 200) - _world(sc, lord, 200)), 1.5f) << n;
        EXPECT_GT(kbLength(_world(sc, mask, 400) - _world(sc, lord, 400)), 1.0f) << n;
        EXPECT_TRUE(_onScreen(sc, 170, _world(sc, star, 170))) << n;
        EXPECT_TRUE(_onScreen(sc, 260, _world(sc, mask, 260))) << n;
    }
}

TEST(DemoNightFight, LightEditionKeepsNamesAndCueTimingWithinItsBudget)
{
    const std::pair<const char *, const char *> pairs[] = {{"03", "l21"}, {"04", "l02"}, {"05", "l22"}};
    for (const auto &p : pairs) {
        const ctScene &full = _scene(p.first), &light = _scene(p.second);
        std::set<std::string> fullNames, lightNames;
        for (const kbShape &s : full.scene.shapes)
            fullNames.insert(s.def.name);
        for (const kbShape &s : light.scene.shapes)
            lightNames.insert(s.def.name);
        for (const std::string &n : fullNames)
            if (n == "Boss02" || n == "HanMen" || n == "Shuriken01" || n.compare(0, 5, "thand") == 0 || n.find("_img") != std::string::npos) {
                EXPECT_TRUE(lightNames.count(n)) << p.second << " lacks " << n;
            }
        // Locators and the named bodies follow the same paths in both editions.
        for (const std::string &n : {std::string("s_img1"), std::string("Boss02"), std::string("HanMen"), std::string("thand01a")}) {
            int a = _find(full.scene, n), b = _find(light.scene, n);
            if (a < 0)
                continue;
            ASSERT_GE(b, 0);
            for (int f : {100, 525, 665, 780}) {
                if (f < (int)full.scene.def.frameCnt) {
                    EXPECT_LT(kbLength(_world(full.scene, a, f) - _world(light.scene, b, f)), 0.01f) << p.second << " " << n << " " << f;
                }
            }
            if (!full.scene.shapes[a].dissolve.empty()) {
                EXPECT_EQ(full.scene.shapes[a].dissolve, light.scene.shapes[b].dissolve) << p.second << " " << n;
            }
        }
        EXPECT_LT(light.scene.def.polyCnt, full.scene.def.polyCnt * 0.6) << p.second;
        EXPECT_LE(light.textures.Megabytes(), 4.0) << p.second;
        for (const auto &img : light.textures.images)
            EXPECT_LE(std::max(img.second.width, img.second.height), 256u) << p.second << " " << img.first;
        EXPECT_EQ(light.package[0], 'l') << p.second;
    }
}

TEST(DemoNightFight, FullSpecStaysWithinItsShareOfMemory)
{
    // New pictures in the shared package, and the two scene packages held from start-up.
    double newTexels = 0;
    size_t ksx = 0;
    std::set<std::string> seen;
    for (const char *n : {"03", "04"}) {
        const ctScene &s = _scene(n);
        EXPECT_EQ("02.ksf", s.package);
        for (const auto &img : s.textures.images)
            if (img.first.compare(0, 1, "d") != 0) {
                EXPECT_EQ(0u, img.first.compare(0, 3, "g2_")) << img.first << " has no scene prefix";
            } else if (seen.insert(img.first).second) {
                newTexels += img.second.width * img.second.height * 2.0;
            }
        kbBytes bytes;
        std::string err;
        ASSERT_TRUE(kbKsxWrite(s.scene, &bytes, &err)) << err;
        ksx += bytes.size();
    }
    EXPECT_LE(newTexels, 3.0 * 1024 * 1024);
    EXPECT_LE(ksx, 7u * 1024 * 1024);
}
