#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>

#include "App/Bench/BenchCue.h"
#include "App/Bom/BomCore.h"
#include "DemoWaterEnd.h"

namespace {

// The scenes are built once for the whole file.
const std::map<std::string, ctScene> &_scenes()
{
    static const std::map<std::string, ctScene> all = [] {
        std::vector<ctScene> v;
        ctDemoWaterEnd(&v);
        std::map<std::string, ctScene> m;
        for (ctScene &s : v)
            m[s.number] = s;
        return m;
    }();
    return all;
}
const ctScene &_scene(const std::string &aNumber) { return _scenes().at(aNumber); }

int _find(const kbScene &aScene, const std::string &aName)
{
    for (size_t i = 0; i < aScene.shapes.size(); i++)
        if (aName == aScene.shapes[i].def.name)
            return (int)i;
    return -1;
}

// The key a motion reaches at a frame: running sums of the run steps, the first frame included.
kbVec3 _key(const std::vector<_sceneVectorDef> &aKeys, const kbMotion &aMotion, int aFrame, int16_t _sceneIndexDef::*aStep,
            kbVec3 aBase)
{
    if (aKeys.empty() || aMotion.runs.empty())
        return aBase;
    int at = 0, f = 0;
    for (const _sceneIndexDef &r : aMotion.runs)
        for (int k = 0; k < r.length && f <= aFrame; k++, f++)
            at += r.*aStep;
    at = std::max(0, std::min(at, (int)aKeys.size() - 1));
    return kbVec3(aKeys[at].vx, aKeys[at].vy, aKeys[at].vz);
}

// A point in a shape's space carried to the world at a frame, through its parents.
kbVec3 _world(const kbScene &aScene, int aShape, int aFrame, kbVec3 aLocal = kbVec3())
{
    kbVec3 p = aLocal;
    for (int i = aShape; i >= 0; i = aScene.shapes[i].def.parentShapeNum) {
        const kbShape &s = aScene.shapes[i];
        kbVec3 t = _key(s.motion.transKeys, s.motion, aFrame, &_sceneIndexDef::trans, kbVec3(s.def.trans.vx, s.def.trans.vy, s.def.trans.vz));
        kbVec3 a = _key(s.motion.angleKeys, s.motion, aFrame, &_sceneIndexDef::angle, kbVec3(s.def.angle.vx, s.def.angle.vy, s.def.angle.vz));
        kbVec3 c = _key(s.motion.scaleKeys, s.motion, aFrame, &_sceneIndexDef::scale, kbVec3(s.def.scale.vx, s.def.scale.vy, s.def.scale.vz));
        p = kbRotate(kbVec3(p.x * c.x, p.y * c.y, p.z * c.z), a) + t;
    }
    return p;
}

// Where a world point lands on a 640 x 480 view of the scene's camera; false behind the near plane.
bool _onScreen(const kbScene &aScene, int aFrame, kbVec3 aP, float *aXP = nullptr, float *aYP = nullptr)
{
    const kbCamera &cam = aScene.cameras.at(0);
    kbVec3 eye = _key(cam.motion.transKeys, cam.motion, aFrame, &_sceneIndexDef::trans,
                      kbVec3(cam.def.trans.vx, cam.def.trans.vy, cam.def.trans.vz));
    kbVec3 target = _world(aScene, cam.def.targetShapeNum, aFrame);
    kbVec3 fwd = kbNormalize(target - eye), right = kbNormalize(kbCross(kbVec3(0, 1, 0), fwd)), up = kbCross(fwd, right);
    kbVec3 d = aP - eye;
    float z = kbDot(d, fwd);
    if (z <= aScene.def.nearDist)
        return false;
    float k = 1.0f / std::tan(cam.def.fovAngle / 2);
    float x = kbDot(d, right) / z * k * 0.75f, y = kbDot(d, up) / z * k;
    if (aXP)
        *aXP = 320 * (1 + x);
    if (aYP)
        *aYP = 240 * (1 - y);
    return std::fabs(x) <= 1 && std::fabs(y) <= 1;
}

struct _cue {
    int frame;
    std::string file;
};
// One of the demo's cue lists, up to its closing row.
std::vector<_cue> _cues(const _sceneSeDef *aList)
{
    std::vector<_cue> out;
    for (const _sceneSeDef *row = aList; row->frameNum >= 0; ++row)
        out.push_back({(int)row->frameNum, std::string(row->fileName, strnlen(row->fileName, sizeof row->fileName))});
    return out;
}

std::set<std::string> _names(const kbScene &aScene)
{
    std::set<std::string> n;
    for (const kbShape &s : aScene.shapes)
        n.insert(s.def.name);
    return n;
}

std::set<std::string> _textures(const kbScene &aScene)
{
    std::set<std::string> n;
    for (const kbShape &s : aScene.shapes)
        if (s.body)
            for (const kbAbility &a : s.body->abilities)
                for (const _textureSet &t : a.texSets)
                    if (t.fileName[0])
                        n.insert(t.fileName);
    return n;
}

}  // namespace

TEST(DemoWaterEnd, EveryScenePlaysLongEnoughFromItsPackage)
{
    const std::map<std::string, std::pair<std::string, int>> want = {
        {"28", {"14.ksf", 1}},  {"20", {"05.ksf", 1552}}, {"22", {"03.ksf", 671}}, {"26", {"08.ksf", 471}},
        {"l18", {"l20.ksf", 1}}, {"l19", {"05.ksf", 1552}}, {"l16", {"l06.ksf", 671}}};
    ASSERT_EQ(_scenes().size(), want.size());
    for (const auto &w : want) {
        const ctScene &s = _scene(w.first);
        EXPECT_EQ(s.package, w.second.first) << w.first;
        EXPECT_GE((int)s.scene.def.frameCnt, w.second.second) << w.first;
        EXPECT_GE((int)s.scene.def.frameCnt, 46) << w.first;  // the music fade of the last 45 frames
        EXPECT_EQ(s.scene.cameras.size(), 1u) << w.first;
        std::string err;
        kbBytes data;
        EXPECT_TRUE(kbKsxData(s.scene, &data, &err)) << w.first << ": " << err;
    }
}

TEST(DemoWaterEnd, LightScenesKeepTheirCounterpartsStoryInHalfTheWork)
{
    for (auto pair : {std::make_pair("28", "l18"), std::make_pair("20", "l19"), std::make_pair("22", "l16")}) {
        const ctScene &full = _scene(pair.first), &light = _scene(pair.second);
        EXPECT_EQ(full.scene.def.frameCnt, light.scene.def.frameCnt) << pair.second;
        std::set<std::string> a = _names(full.scene), b = _names(light.scene);
        EXPECT_EQ(a, b) << pair.second;
        EXPECT_LE(light.scene.def.polyCnt, full.scene.def.polyCnt * 0.6) << pair.second;
        EXPECT_LE(light.textures.Megabytes(), 4.0) << pair.second;
        for (const auto &img : light.textures.images)
            EXPECT_LE(std::max(img.second.width, img.second.height), 256u) << pair.second << " " << img.first;
        // The duel's blows must fall on the same frames.
        for (const char *n : {"s_img1", "s_img2"}) {
            int fi = _find(full.scene, n), li = _find(light.scene, n);
            if (fi < 0)
                continue;
            ASSERT_GE(li, 0);
            for (int f : {315, 400, 500, 642})
                EXPECT_LT(kbLength(_world(full.scene, fi, f) - _world(light.scene, li, f)), 1.0f) << n << " at " << f;
        }
    }
}

TEST(DemoWaterEnd, BudgetsHold)
{
    size_t ksx = 0;
    for (const char *n : {"28", "20", "22", "26"}) {
        kbBytes data;
        std::string err;
        ASSERT_TRUE(kbKsxData(_scene(n).scene, &data, &err));
        ksx += data.size();
    }
    EXPECT_LE(ksx, 6u * 1024 * 1024);
    // New pictures in the packages shared with the benchmark scenes, and the demo's own packages.
    auto added = [](const ctScene &s, const std::string &aPrefix) {
        double b = 0;
        for (const auto &img : s.textures.images)
            if (img.first.compare(0, aPrefix.size(), aPrefix) == 0)
                b += img.second.width * img.second.height * 2.0;
        return b / (1024 * 1024);
    };
    EXPECT_LE(added(_scene("20"), "d20_"), 2.0);
    EXPECT_LE(added(_scene("22"), "d22_"), 2.0);
    EXPECT_LE(_scene("26").textures.Megabytes(), 4.0);
    EXPECT_LE(_scene("28").textures.Megabytes(), 4.0);
}

TEST(DemoWaterEnd, PoolBasinHoldsTheWaterSheet)
{
    for (const char *n : {"20", "l19"}) {
        const kbScene &sc = _scene(n).scene;
        ASSERT_FALSE(sc.shapes.empty());
        const kbShape &pool = sc.shapes[0];
        EXPECT_EQ(pool.def.parentShapeNum, -1) << n;
        kbVec3 base(pool.def.trans.vx, pool.def.trans.vy, pool.def.trans.vz);
        EXPECT_LT(kbLength(_world(sc, 0, 0) - base), 1e-4f) << n;  // frame 0 is the base pose
        // The sheet spans base + (-2.75 .. 2.64, 0.75, -2.64 .. 2.75): inside the opening, above
        // the floor, below the rim.
        const _shapeDef &box = pool.body->def;
        (void)box;
        float minX = 1e9f, maxX = -1e9f, minZ = 1e9f, maxZ = -1e9f, minY = 1e9f;
        for (const kbAbility &a : pool.body->abilities)
            for (const kbVertexSet &v : a.vertexSets) {
                const _vertexDef *vp = reinterpret_cast<const _vertexDef *>(v.vertices.data());
                for (uint32_t i = 0; i < v.vertexNum; i++)
                    if (vp[i].vy < 0.5f) {
                        minX = std::min(minX, vp[i].vx), maxX = std::max(maxX, vp[i].vx);
                        minZ = std::min(minZ, vp[i].vz), maxZ = std::max(maxZ, vp[i].vz);
                        minY = std::min(minY, vp[i].vy);
                    }
            }
        EXPECT_LE(minX, -2.75f + 0.05f) << n;
        EXPECT_GE(maxX, 2.64f - 0.05f) << n;
        EXPECT_LE(minZ, -2.64f + 0.05f) << n;
        EXPECT_GE(maxZ, 2.75f - 0.05f) << n;
        EXPECT_LT(minY, 0.75f) << n;
        // The camera looks down on the water from outside it, never from under the sheet.
        for (int f = 0; f < (int)sc.def.frameCnt; f += 50) {
            kbVec3 eye = _key(sc.cameras[0].motion.transKeys, sc.cameras[0].motion, f, &_sceneIndexDef::trans, kbVec3());
            EXPECT_GT(eye.y, 1.0f) << n << " frame " << f;
        }
    }
}

TEST(DemoWaterEnd, LightPoolFindsEveryPictureInTheFullPackage)
{
    std::set<std::string> full;
    for (const auto &img : _scene("20").textures.images)
        full.insert(img.first);
    for (const auto &img : ctSurface().textures.images)
        full.insert(img.first);
    for (const std::string &t : _textures(_scene("l19").scene))
        EXPECT_TRUE(full.count(t)) << t;
    EXPECT_TRUE(_scene("l19").textures.entries.size() <= _scene("20").textures.entries.size());
}

TEST(DemoWaterEnd, DuelBlowsAndBlastsAreSeenWhenHeard)
{
    std::vector<_cue> cues = _cues(sfNinjyaSeDef);
    ASSERT_EQ(cues.size(), 25u);
    for (size_t i = 0; i < cues.size(); i++) {
        EXPECT_GE(cues[i].frame, 315);
        EXPECT_LE(cues[i].frame, 670);
        if (i) {
            EXPECT_GT(cues[i].frame, cues[i - 1].frame);
        }
    }
    for (const char *n : {"22", "l16"}) {
        const kbScene &sc = _scene(n).scene;
        bool light = n[0] == 'l';
        const _bomScnAll &tbl = (light ? gBomScnAllTblL : gBomScnAllTbl)[5];
        EXPECT_EQ(tbl.cnt, light ? 15 : 29) << n;
        int s1 = _find(sc, "s_img1"), s2 = _find(sc, "s_img2"), e1 = _find(sc, "e_img1"), e2 = _find(sc, "e_img2");
        ASSERT_TRUE(s1 >= 0 && s2 >= 0 && e1 >= 0 && e2 >= 0);
        EXPECT_EQ(sc.shapes[s1].body, nullptr);
        EXPECT_EQ(sc.shapes[e2].body, nullptr);
        for (const _cue &c : cues) {
            if (c.file == "s04.kss" || c.file == "s06.kss") {
                // A blast goes off on the frame the sound plays.
                bool blast = false;
                for (long k = 0; k < tbl.cnt; k++)
                    blast = blast || tbl.tblP[k].frameCnt == c.frame;
                EXPECT_TRUE(blast) << n << " cue " << c.frame;
            } else {
                // Both blades are in the picture for swings, clashes and blows.
                for (int s : {s1, s2})
                    EXPECT_TRUE(_onScreen(sc, c.frame, _world(sc, s, c.frame))) << n << " " << sc.shapes[s].def.name << " at " << c.frame;
            }
        }
        // The blades meet at the clash: tips and hilts within a blade's reach of each other.
        for (const _cue &c : cues) {
            if (c.file == "s02.kss") {
                EXPECT_LT(kbLength(_world(sc, s1, c.frame) - _world(sc, s2, c.frame)), 180.0f) << n << " clash at " << c.frame;
            }
        }
        // Every blast is inside the scene and in view of the camera when it goes off, above the floor.
        for (long k = 0; k < tbl.cnt; k++) {
            const _bomScnTable &b = tbl.tblP[k];
            EXPECT_GE(b.frameCnt, 0);
            EXPECT_LT(b.frameCnt, (int)sc.def.frameCnt);
            kbVec3 p(b.bomParam.trans.x, b.bomParam.trans.y, b.bomParam.trans.z);
            EXPECT_TRUE(_onScreen(sc, b.frameCnt, p)) << n << " blast " << k << " at " << b.frameCnt;
            EXPECT_GT(p.y, 0.0f);
            EXPECT_GE(b.bomType, 0);
            EXPECT_LT(b.bomType, BOM_TYPE_NUM);
            EXPECT_GE(b.texType, 0);
            EXPECT_LT(b.texType, BOM_TEX_TYPE_NUM);
        }
    }
    // The Light blasts are a selection of the full ones.
    for (long k = 0; k < gBomScnAllTblL[5].cnt; k++) {
        bool found = false;
        for (long j = 0; j < gBomScnAllTbl[5].cnt; j++)
            found = found || std::memcmp(&gBomScnAllTblL[5].tblP[k], &gBomScnAllTbl[5].tblP[j], sizeof(_bomScnTable)) == 0;
        EXPECT_TRUE(found) << k;
    }
}

TEST(DemoWaterEnd, EndingMovesItsBlurredShapesInsideTheirWindows)
{
    const kbScene &sc = _scene("26").scene;
    const int last = (int)sc.def.frameCnt - 1;
    const struct {
        const char *name;
        int from, to;
    } rows[] = {{"Boss02", 0, 480}, {"HanMen", 255, last}, {"Shuriken01", 140, 500}};
    for (const auto &r : rows) {
        int s = _find(sc, r.name);
        ASSERT_GE(s, 0) << r.name;
        // Moving through most of its window, so the trail shows.
        int moving = 0, steps = 0;
        for (int f = r.from; f + 5 <= std::min(r.to, last); f += 5, steps++)
            moving += kbLength(_world(sc, s, f + 5) - _world(sc, s, f)) > 0.005f;
        EXPECT_GT(moving, steps / 2) << r.name;
    }
    std::vector<_cue> cues = _cues(endingSeDef);
    ASSERT_EQ(cues.size(), 5u);
    for (const _cue &c : cues) {
        EXPECT_GE(c.frame, 165);
        EXPECT_LE(c.frame, 470);
        EXPECT_LT(c.frame, (int)sc.def.frameCnt);
    }
    // The star is in view as it whips past and as it strikes the post; the mask when it lifts.
    int star = _find(sc, "Shuriken01"), mask = _find(sc, "HanMen");
    for (const _cue &c : cues) {
        if (c.file != "s00.kss")
            continue;
        int who = c.frame == 317 ? mask : star;
        EXPECT_TRUE(_onScreen(sc, c.frame, _world(sc, who, c.frame))) << c.frame;
    }
}
