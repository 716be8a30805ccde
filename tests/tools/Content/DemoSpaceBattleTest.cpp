// The battle scenes against the program's explosion tables and the demo table's sound cues: every
// blast is where a ship is, on screen at its frame, and inside its scene.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "App/Bench/BenchCue.h"
#include "App/Bom/BomCore.h"
#include "DemoSpaceBattle.h"

namespace {

const dsbBuilt &Built(int aScene, bool aLight)
{
    static std::map<int, dsbBuilt> cache;
    int key = aScene * 2 + (aLight ? 1 : 0);
    auto it = cache.find(key);
    if (it == cache.end())
        it = cache.emplace(key, dsbScene(aScene, aLight)).first;
    return it->second;
}

// Scene and explosion table of each battle scene with explosions.
const int kExplosive[4][2] = {{13, 1}, {16, 2}, {17, 3}, {18, 4}};

const _bomScnAll &Table(int aTable, bool aLight)
{
    return aLight ? gBomScnAllTblL[aTable] : gBomScnAllTbl[aTable];
}

float Dist(kbVec3 a, kbVec3 b)
{
    return kbLength(a - b);
}

// Heading and pitch of the camera as the star field reads them (degrees).
void Turn(const kbScene &aScene, int aFrame, float *aHeadingP, float *aPitchP)
{
    kbVec3 eye, look;
    dsbCamera(aScene, aFrame, &eye, &look);
    kbVec3 d = look - eye;
    *aHeadingP = std::atan2(d.x, d.z) * 57.29578f;
    *aPitchP = std::atan2(d.y, std::sqrt(d.x * d.x + d.z * d.z)) * 57.29578f;
}

// The frames of one of the demo's cue lists, up to its closing row.
std::vector<int> CueFrames(const _sceneSeDef *aList)
{
    std::vector<int> out;
    for (const _sceneSeDef *row = aList; row->frameNum >= 0; ++row)
        out.push_back(row->frameNum);
    return out;
}

}  // namespace

TEST(DemoSpaceBattle, ExplosionTablesHoldTheBlastsTheScenesStage)
{
    for (const auto &e : kExplosive)
        for (bool light : {false, true}) {
            const dsbBuilt &b = Built(e[0], light);
            const _bomScnAll &t = Table(e[1], light);
            ASSERT_EQ((long)b.blasts.size(), t.cnt) << e[0] << (light ? " Light" : "");
            for (long c = 0; c < t.cnt; c++) {
                const _bomScnTable &cue = t.tblP[c];
                const dsbBlast &s = b.blasts[c];
                std::string at = std::to_string(e[0]) + (light ? "L" : "") + " cue " + std::to_string(c);
                EXPECT_EQ(cue.frameCnt, s.frame) << at;
                EXPECT_EQ(cue.bomType, s.bomType) << at;
                EXPECT_EQ(cue.texType, s.texType) << at;
                EXPECT_LT(Dist(kbVec3(cue.bomParam.trans.x, cue.bomParam.trans.y, cue.bomParam.trans.z), s.pos), 1.0f) << at;
                EXPECT_NEAR(cue.bomParam.scale, s.scale, 0.05f) << at;
                EXPECT_NEAR(cue.bomParam.texScale, s.texScale, 0.05f) << at;
                EXPECT_NEAR(cue.bomParam.coef, s.coef, 0.05f) << at;
                if (c > 0) {
                    EXPECT_GE(cue.frameCnt, t.tblP[c - 1].frameCnt) << at;
                }
            }
        }
}

TEST(DemoSpaceBattle, ExplosionsAreOnScreenAtTheirFramesAndPlayOutInsideTheScene)
{
    for (const auto &e : kExplosive)
        for (bool light : {false, true}) {
            const kbScene &sc = Built(e[0], light).scene.scene;
            const _bomScnAll &t = Table(e[1], light);
            for (long c = 0; c < t.cnt; c++) {
                const _bomScnTable &cue = t.tblP[c];
                std::string at = std::to_string(e[0]) + (light ? "L" : "") + " cue " + std::to_string(c);
                kbVec3 p(cue.bomParam.trans.x, cue.bomParam.trans.y, cue.bomParam.trans.z);
                float x = -1, y = -1;
                EXPECT_TRUE(dsbProject(sc, cue.frameCnt, p, &x, &y)) << at << " is behind the eye";
                EXPECT_TRUE(x >= 0 && x < 640 && y >= 0 && y < 480) << at << " at " << x << ", " << y;
                // A blast lives up to about 75 frames after its cue.
                EXPECT_LE(cue.frameCnt + 75, (int)sc.def.frameCnt) << at;
            }
        }
}

TEST(DemoSpaceBattle, EveryBlastIsWhereAShipIsAndTheDeadStayDead)
{
    for (const auto &e : kExplosive)
        for (bool light : {false, true}) {
            const kbScene &sc = Built(e[0], light).scene.scene;
            const _bomScnAll &t = Table(e[1], light);
            for (long c = 0; c < t.cnt; c++) {
                const _bomScnTable &cue = t.tblP[c];
                int f = cue.frameCnt;
                kbVec3 p(cue.bomParam.trans.x, cue.bomParam.trans.y, cue.bomParam.trans.z);
                bool found = false;
                for (size_t s = 0; s < sc.shapes.size() && !found; s++) {
                    const kbShape &sh = sc.shapes[s];
                    if (!sh.body || std::string(sh.def.name) == "Wreck")
                        continue;
                    if (!sh.dissolve.empty() && sh.dissolve[f - 1] >= 0.5f)
                        continue;
                    const _shapeDef &d = sh.body->def;
                    float reach = (float)std::max({d.maxX - d.minX, d.maxY - d.minY, d.maxZ - d.minZ}) * 0.6f;
                    found = Dist(dsbShapeWorld(sc, (int)s, f), p) <= reach;
                }
                EXPECT_TRUE(found) << e[0] << (light ? "L" : "") << " cue " << c << " at frame " << f << " hits nothing";
            }
            // A ship hidden once is never seen again.
            for (const kbShape &sh : sc.shapes) {
                if (sh.dissolve.empty() || !sh.body)
                    continue;
                bool gone = false;
                for (float v : sh.dissolve) {
                    if (gone && std::string(sh.def.name) != "Bolt" && std::string(sh.def.name) != "RedBolt") {
                        EXPECT_GE(v, 0.5f) << sh.def.name;
                    }
                    bool wasSeen = v < 0.5f;
                    if (!wasSeen && std::string(sh.def.name) != "Wreck")
                        gone = true;
                }
            }
        }
}

TEST(DemoSpaceBattle, SoundCuesAreTheDemoTablesAndInTheirRanges)
{
    struct {
        const char *name;
        const _sceneSeDef *list;
        int scene, count, from, to;
    } lists[] = {{"ss2_6SeDef", ss2_6SeDef, 13, 19, 4, 117},
                 {"ss3_3SeDef", ss3_3SeDef, 16, 17, 80, 170},
                 {"ss4_1SeDef", ss4_1SeDef, 17, 56, 60, 550},
                 {"ss4_2SeDef", ss4_2SeDef, 18, 40, 5, 220}};
    for (const auto &l : lists) {
        std::vector<int> frames = CueFrames(l.list);
        ASSERT_EQ((int)frames.size(), l.count) << l.name;
        const std::vector<int> &staged = Built(l.scene, false).cues;
        ASSERT_LE(staged.size(), frames.size());
        for (size_t i = 0; i < frames.size(); i++) {
            if (l.scene == 18 && i == 25) {
                EXPECT_EQ(frames[i], 505);  // the great blast; the rest wait behind it
            } else {
                EXPECT_GE(frames[i], l.from) << l.name << " row " << i;
                EXPECT_LE(frames[i], l.to) << l.name << " row " << i;
            }
            if (i < staged.size()) {
                EXPECT_EQ(frames[i], staged[i]) << l.name << " row " << i << " is not where the scene stages it";
            }
            if (i > 0 && i < staged.size()) {
                EXPECT_GE(frames[i], frames[i - 1]) << l.name << " row " << i << " would hold back the rows after it";
            }
        }
        EXPECT_LE(frames[std::min(staged.size(), frames.size()) - 1] + 1, (int)Built(l.scene, false).scene.scene.def.frameCnt);
    }
}

TEST(DemoSpaceBattle, StarFieldScenesTurnTheirCameraUnderAnEmptyBlackSky)
{
    const int minFrames[6] = {118, 1, 1, 171, 551, 506};
    for (int n = 13; n <= 18; n++) {
        const kbScene &sc = Built(n, false).scene.scene;
        EXPECT_GE((int)sc.def.frameCnt, minFrames[n - 13]) << n;
        EXPECT_GE((int)sc.def.frameCnt, 46) << n << ": the music fades over the last 45 frames";
        EXPECT_EQ(sc.def.backColor, 0u) << n;
        EXPECT_EQ(sc.cameras.size(), 1u) << n;
        float h0, p0, hMin = 1e9f, hMax = -1e9f, pMin = 1e9f, pMax = -1e9f;
        Turn(sc, 0, &h0, &p0);
        for (int f = 0; f < (int)sc.def.frameCnt; f += 5) {
            float h, p;
            Turn(sc, f, &h, &p);
            float dh = std::remainder(h - h0, 360.0f);
            hMin = std::min(hMin, dh), hMax = std::max(hMax, dh), pMin = std::min(pMin, p), pMax = std::max(pMax, p);
        }
        EXPECT_GT(hMax - hMin + pMax - pMin, 15.0f) << n << ": the stars would stand still";
        // Nothing spans the sky behind the stars.
        for (const kbShape &sh : sc.shapes)
            if (sh.body) {
                EXPECT_LT(sh.body->def.maxX - sh.body->def.minX, sc.def.farDist * 0.5) << n << " " << sh.def.name;
            }
    }
}

TEST(DemoSpaceBattle, LightningArcsReachBetweenTheCapitalShipsAtTheirWidth)
{
    for (bool light : {false, true}) {
        const kbScene &sc = Built(17, light).scene.scene;
        int pairs = 0, seen = 0;
        for (size_t a = 0; a < sc.shapes.size(); a++) {
            std::string name = sc.shapes[a].def.name;
            if (name.size() != 8 || name.compare(0, 5, "thand") || name[7] != 'a')
                continue;
            for (size_t b = 0; b < sc.shapes.size(); b++) {
                if (std::string(sc.shapes[b].def.name) != name.substr(0, 7) + "b")
                    continue;
                pairs++;
                EXPECT_EQ(sc.shapes[a].body, nullptr);
                EXPECT_EQ(sc.shapes[b].body, nullptr);
                EXPECT_GE(sc.shapes[a].def.parentShapeNum, 0);
                EXPECT_GE(sc.shapes[b].def.parentShapeNum, 0);
                for (int f = 0; f < (int)sc.def.frameCnt; f++) {
                    if (sc.shapes[a].dissolve[f] >= 0.5f)
                        continue;
                    kbVec3 eye, look;
                    dsbCamera(sc, f, &eye, &look);
                    float x, y;
                    kbVec3 end = dsbShapeWorld(sc, (int)b, f);
                    if (!dsbProject(sc, f, end, &x, &y) || x < 0 || x >= 640 || y < 0 || y >= 480)
                        continue;
                    seen++;
                    float d = Dist(eye, end);
                    EXPECT_GE(d, 200.0f) << name << " frame " << f;
                    EXPECT_LE(d, 12000.0f) << name << " frame " << f;
                }
            }
        }
        EXPECT_GE(pairs, 1);
        EXPECT_GT(seen, 100) << "the arcs are hardly ever on screen";
    }
}

TEST(DemoSpaceBattle, LightScenesKeepTheStoryWithinTheirBudget)
{
    double full = 0;
    for (int n = 13; n <= 18; n++) {
        const dsbBuilt &f = Built(n, false);
        kbBytes ksx;
        std::string err;
        ASSERT_TRUE(kbKsxWrite(f.scene.scene, &ksx, &err)) << err;
        full += ksx.size();
        EXPECT_EQ(f.scene.package, "04.ksf");
        if (n == 15)
            continue;
        const dsbBuilt &l = Built(n, true);
        EXPECT_EQ(l.scene.scene.def.frameCnt, f.scene.scene.def.frameCnt) << n;
        EXPECT_LE(l.scene.scene.def.polyCnt, f.scene.scene.def.polyCnt * 0.6) << n;
        EXPECT_LE(l.scene.textures.Megabytes(), 4.0) << n;
        for (const auto &img : l.scene.textures.images) {
            EXPECT_LE(std::max(img.second.width, img.second.height), 256u) << n << " " << img.first;
        }
        // The Light blasts are a subset of the FullSpec ones, frame for frame.
        for (const dsbBlast &b : l.blasts) {
            bool same = false;
            for (const dsbBlast &c : f.blasts)
                same = same || (c.frame == b.frame && Dist(c.pos, b.pos) < 1);
            EXPECT_TRUE(same) << n << " Light blast at " << b.frame;
        }
        std::vector<std::string> names, lightNames;
        for (const kbShape &s : f.scene.scene.shapes)
            if (std::string(s.def.name).compare(0, 5, "thand") == 0)
                names.push_back(s.def.name);
        for (const kbShape &s : l.scene.scene.shapes)
            if (std::string(s.def.name).compare(0, 5, "thand") == 0)
                lightNames.push_back(s.def.name);
        EXPECT_EQ(names, lightNames) << n;
    }
    EXPECT_LE(full, 8.0 * 1024 * 1024);
    // New pictures of the shared space package.
    double fresh = 0;
    std::map<std::string, bool> seen;
    for (int n = 13; n <= 18; n++)
        for (const auto &img : Built(n, false).scene.textures.images)
            if (img.first.compare(0, 3, "g3_") != 0 && !seen[img.first]) {
                seen[img.first] = true;
                fresh += img.second.width * img.second.height * 2.0;
            }
    EXPECT_LE(fresh, 3.0 * 1024 * 1024);
}
