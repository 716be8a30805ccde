#include "App/Bench/BenchCore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

TEST(BenchScore, LoopRateIsSceneRateTimesLoopsPerFrame)
{
    // 30 fps scene of 300 frames run in 1234 loops: 30 * 1234 / 300 = 123.4 loops per second.
    EXPECT_FLOAT_EQ(sBenchFpsAve(30, 1234, 300), 123.4f);
}

TEST(BenchScore, SceneRateIsTakenAsAWholeNumber)
{
    // The caller passes the scene's truncated rate; 29 loops per frame of a 29 fps scene.
    EXPECT_FLOAT_EQ(sBenchFpsAve(29, 2900, 100), 841.0f);
}

TEST(BenchScore, FrameTimeIsAnIntegerMeanAndEmptyScenesGiveZero)
{
    EXPECT_DOUBLE_EQ(sBenchFrameTime(1000, 3), 333.0);
    EXPECT_DOUBLE_EQ(sBenchFrameTime(1000, 0), 0.0);
    EXPECT_FLOAT_EQ(sBenchFpsAve(30, 500, 0), 0.0f);
}

// A benchmark table: ticked tests, offered modes and rows that name a scene.
struct Table {
    uint32_t ticked;
    uint32_t offered;
    uint32_t named;
};

long Playable(void *aCtxP, long aStep)
{
    const Table *t = (const Table *)aCtxP;
    const uint32_t bit = 1u << aStep;
    return (t->ticked & bit) && (t->offered & bit) && (t->named & bit);
}

long Any(void *, long) { return 1; }

std::vector<long> Steps(Table aTable, int aLoopB, int aMax = 30)
{
    std::vector<long> steps;
    long s = sBenchFirstStep(BENCH_ROW_NUM, Playable, &aTable);
    while (s >= 0 && (int)steps.size() < aMax) {
        steps.push_back(s);
        s = sBenchNextStep(s, BENCH_ROW_NUM, aLoopB, Playable, &aTable);
    }
    return steps;
}

TEST(BenchRowSearch, OnlyTwoDGraphicsTickedPlaysItThenTheClosingRow)
{
    Table t = {(1u << 7) | (1u << 10), 0x7FF, 0x7FF};
    EXPECT_EQ(Steps(t, 0), (std::vector<long>{7, 10}));
}

TEST(BenchRowSearch, RowWhoseModeIsMissingIsSkipped)
{
    Table t = {0x7FF, 0x7FF & ~(1u << 1) & ~(1u << 3) & ~(1u << 5), 0x7FF};
    EXPECT_EQ(Steps(t, 0), (std::vector<long>{0, 2, 4, 6, 7, 8, 9, 10}));
}

TEST(BenchRowSearch, EmptyRowsAreSkipped)
{
    Table t = {0x7FF, 0x7FF, 0x7FF & ~(1u << 4)};
    EXPECT_EQ(Steps(t, 0), (std::vector<long>{0, 1, 2, 3, 5, 6, 7, 8, 9, 10}));
}

TEST(BenchRowSearch, NothingPlayableStartsAtRowZeroAndLoopEndsAfterOnePass)
{
    Table t = {1u << 3, 0, 0x7FF};
    EXPECT_EQ(sBenchFirstStep(BENCH_ROW_NUM, Playable, &t), 0);
    EXPECT_EQ(sBenchNextStep(0, BENCH_ROW_NUM, 1, Playable, &t), -1);
    EXPECT_EQ(sBenchNextStep(6, BENCH_ROW_NUM, 1, Playable, &t), -1);
}

TEST(BenchRowSearch, ContinuousLoopWrapsToTheFirstPlayableRow)
{
    Table t = {(1u << 2) | (1u << 7), 0x7FF, 0x7FF};
    EXPECT_EQ(Steps(t, 1, 6), (std::vector<long>{2, 7, 2, 7, 2, 7}));
    // A single playable row plays again and again.
    Table one = {1u << 5, 0x7FF, 0x7FF};
    EXPECT_EQ(Steps(one, 1, 3), (std::vector<long>{5, 5, 5}));
}

TEST(BenchRowSearch, FailedModeChangeEndsTheRun)
{
    EXPECT_EQ(sBenchNextStep(BENCH_STEP_FAIL, BENCH_ROW_NUM, 1, Any, nullptr), -1);
}

TEST(BenchRowSearch, DemoPlaysEveryRowAndWrapsOnlyWithLoop)
{
    EXPECT_EQ(sBenchNextStep(3, DEMO_ROW_NUM, 0, Any, nullptr), 4);
    EXPECT_EQ(sBenchNextStep(24, DEMO_ROW_NUM, 0, Any, nullptr), -1);
    EXPECT_EQ(sBenchNextStep(24, DEMO_ROW_NUM, 1, Any, nullptr), 0);
}

TEST(BenchChallenge, KeysButtonsAndQuitStartTheTestButMovesDoNot)
{
    for (uint32_t m : {0x12u, 0x100u, 0x101u, 0x104u, 0x105u, 0x201u, 0x202u, 0x203u, 0x204u, 0x205u, 0x206u,
                       0x207u, 0x208u, 0x209u})
        EXPECT_TRUE(sBenchChallengeEnds(m)) << std::hex << m;
    for (uint32_t m : {0x200u, 0x102u, 0x103u, 0x106u, 0x0Fu, 0x113u, 0x20Au, 0x20Eu})
        EXPECT_FALSE(sBenchChallengeEnds(m)) << std::hex << m;
}

TEST(BenchChallenge, ThePromptBlinksFifteenOnFifteenOff)
{
    int lit = 0;
    for (long k = 0; k < 30; ++k)
        lit += sBenchBlinkColor(k) == 0xFFFFFFFFu;
    EXPECT_EQ(lit, 15);
    EXPECT_EQ(sBenchBlinkColor(14), 0xFFFFFFFFu);
    EXPECT_EQ(sBenchBlinkColor(15), 0u);
}

TEST(BenchFade, FadeOutRunsFromZeroToFullOverTheLastFrames)
{
    // Water: from frame 1551 of a 1651-frame scene.
    EXPECT_EQ(sBenchFadeOutAlpha(1550, 1550, 1651), 0u);
    EXPECT_EQ(sBenchFadeOutAlpha(1551, 1550, 1651), 2u);    // 255 / 100
    EXPECT_EQ(sBenchFadeOutAlpha(1600, 1550, 1651), 127u);  // 255 * 50 / 100
    EXPECT_EQ(sBenchFadeOutAlpha(1650, 1550, 1651), 255u);
    // A scene shorter than the fade start never fades and never divides by zero.
    EXPECT_EQ(sBenchFadeOutAlpha(500, 1000, 600), 0u);
    EXPECT_EQ(sBenchFadeOutAlpha(1001, 1000, 1001), 255u);
}

TEST(BenchFade, FeatherFadeAndWhiteFadeIn)
{
    EXPECT_EQ(sBenchFeatherFadeAlpha(270, 370), 0u);
    EXPECT_EQ(sBenchFeatherFadeAlpha(271, 370), 2u);
    EXPECT_EQ(sBenchFeatherFadeAlpha(320, 370), 127u);
    EXPECT_EQ(sBenchFeatherFadeAlpha(369, 370), 252u);  // this fade stops just short of black
    EXPECT_EQ(sBenchFadeInAlpha(0), 255u);
    EXPECT_EQ(sBenchFadeInAlpha(40), 127u);
    EXPECT_EQ(sBenchFadeInAlpha(79), 3u);  // 255 * 0.0125 = 3.19
    EXPECT_EQ(sBenchFadeBlack(127), 0x7F000000u);
    EXPECT_EQ(sBenchFadeWhite(127), 0x7FFFFFFFu);
}

TEST(BenchRandom, SeedGivesTheClassicSequence)
{
    sBenchSrand(1);
    EXPECT_EQ(sBenchRand(), 41);
    EXPECT_EQ(sBenchRand(), 18467);
    EXPECT_EQ(sBenchRand(), 6334);
    sBenchSrand(1);
    EXPECT_EQ(sBenchRand(), 41);
}

TEST(BenchFeather, FeathersStartInTheirBoxAndFallWithoutSwords)
{
    std::vector<_benchFeather> f(BENCH_FEATHER_NUM);
    sBenchFeatherInit(f.data(), BENCH_FEATHER_NUM);
    std::vector<_benchFeather> again(BENCH_FEATHER_NUM);
    sBenchFeatherInit(again.data(), BENCH_FEATHER_NUM);
    for (long i = 0; i < BENCH_FEATHER_NUM; ++i) {
        ASSERT_GE(f[i].pos.x, -1000.0f);
        ASSERT_LT(f[i].pos.x, 1000.0f);
        ASSERT_GE(f[i].pos.y, 0.0f);
        ASSERT_LT(f[i].pos.y, 500.0f);
        ASSERT_GE(f[i].scale, 1.0f);
        ASSERT_LE(f[i].scale, 2.0f);
        ASSERT_LE(f[i].spin, 4.0f);
        ASSERT_EQ(f[i].speed, f[i].targetSpeed);
        ASSERT_EQ(f[i].pos.x, again[i].pos.x);  // the same seed, the same field
    }
    const D3DVECTOR *none[2] = {nullptr, nullptr};
    const _benchFeather before = f[10];
    for (long frame = 1; frame <= 120; ++frame)
        sBenchFeatherMove(f.data(), BENCH_FEATHER_NUM, frame, none);
    EXPECT_LT(f[10].pos.y, before.pos.y);
    for (const _benchFeather &e : f) {
        ASSERT_TRUE(std::isfinite(e.pos.x) && std::isfinite(e.pos.y) && std::isfinite(e.pos.z));
        ASSERT_TRUE(std::isfinite(e.speed));
        ASSERT_TRUE(std::isfinite(e.mat._41));
    }
    // The matrix places the feather where it is.
    EXPECT_FLOAT_EQ(f[10].mat._41, f[10].pos.x);
    EXPECT_FLOAT_EQ(f[10].mat._42, f[10].pos.y);
    EXPECT_FLOAT_EQ(f[10].mat._43, f[10].pos.z);
}

TEST(BenchFeather, SwordPushesANearFeatherAwayWhileItRecedesAndPullsItWhileItNears)
{
    _benchFeather f[1];
    sBenchFeatherInit(f, 1);
    f[0].pos = {0.0f, 200.0f, 0.0f};
    f[0].speed = f[0].targetSpeed = 0.0f;
    f[0].swordDist[0] = 0.0f;  // first look: the distance "grew" from nothing
    const D3DVECTOR sword = {40.0f, 200.0f, 0.0f};
    const D3DVECTOR *swords[2] = {&sword, nullptr};
    sBenchFeatherMove(f, 1, 90, swords);  // cos 90 = 0, sin 90 = 1: the feather moves to z = 1
    const float d0 = f[0].swordDist[0];
    EXPECT_NEAR(d0, std::sqrt(40.0f * 40.0f + 1.0f), 1e-3);
    // Pushed away by a quarter of its offset from the sword.
    EXPECT_NEAR(f[0].pos.x, -10.0f, 1e-3);
    // Now it is farther than remembered only if it moved away; put it closer to be pulled.
    f[0].pos = {30.0f, 200.0f, 0.0f};
    sBenchFeatherMove(f, 1, 90, swords);
    EXPECT_GT(f[0].pos.x, 30.0f);  // toward the sword
    // Out of reach: no push, but the distance is still remembered.
    f[0].pos = {500.0f, 200.0f, 0.0f};
    sBenchFeatherMove(f, 1, 90, swords);
    EXPECT_FLOAT_EQ(f[0].pos.x, 500.0f);
    EXPECT_GT(f[0].swordDist[0], 400.0f);
}

TEST(BenchFeather, FeatherFarBelowTheFloorStaysFinite)
{
    _benchFeather f[1];
    sBenchFeatherInit(f, 1);
    f[0].pos = {0.0f, -80.0f, 0.0f};
    const D3DVECTOR *none[2] = {nullptr, nullptr};
    sBenchFeatherMove(f, 1, 0, none);  // frame 0: 0 mod 8 == 0 mod 7
    EXPECT_TRUE(std::isfinite(f[0].speed));
    EXPECT_TRUE(std::isfinite(f[0].pos.y));
}

TEST(BenchAttractor, PointsFillTheCircleAndGatherAtTheAttractors)
{
    std::vector<_benchAttractor> a(BENCH_ATTRACTOR_NUM);
    std::vector<_benchPoint> p(BENCH_POINT_NUM);
    const long n = sBenchAttractorInit(a.data(), p.data());
    // About pi / 4 of the square; the rest of the array stays zero.
    EXPECT_GT(n, 2800);
    EXPECT_LT(n, 3400);
    EXPECT_EQ(p[n - 1].color, 0xFF4480FFu);
    EXPECT_EQ(p[n].color, 0u);
    EXPECT_EQ(p[BENCH_POINT_NUM - 1].x, 0.0f);
    for (const _benchAttractor &e : a) {
        EXPECT_EQ(e.dist, 7.0f);
        EXPECT_LE(e.speed, 0.2f);
        EXPECT_LE(e.turn, 2.0f);
        EXPECT_FLOAT_EQ(e.pull, 0.002f);
    }
    const _benchAttractor first = a[0];
    sBenchAttractorMove(a.data(), p.data(), n);
    // The first attractor has come in by its speed and turned by its turn.
    EXPECT_FLOAT_EQ(a[0].dist, first.dist - first.speed);
    EXPECT_FLOAT_EQ(a[0].angle, first.angle + first.turn);
    const float r = std::sqrt((a[0].pos.x + 0.73f) * (a[0].pos.x + 0.73f) +
                              (a[0].pos.z + 0.132f) * (a[0].pos.z + 0.132f));
    EXPECT_NEAR(r, a[0].dist, 1e-4);
    // An attractor that reaches the centre starts again at the rim, on the floor.
    a[1].dist = a[1].speed * 0.5f;
    a[1].height = 0.1f;
    sBenchAttractorMove(a.data(), p.data(), n);
    EXPECT_EQ(a[1].dist, 7.0f);
    EXPECT_EQ(a[1].height, 0.0f);
    for (int k = 0; k < 20; ++k)
        sBenchAttractorMove(a.data(), p.data(), n);
    for (long i = 0; i < n; ++i)
        ASSERT_TRUE(std::isfinite(p[i].x) && std::isfinite(p[i].y));
}

TEST(BenchFrameRecord, LinesRoundTripAndMalformedLinesAreRefused)
{
    const _benchFrameRec rec = {7, 123, 4100.25, 16.5, 0.125, 2.5, 0.75, {4256, 26508, 101, 2, 790, 35, 3, 1, 4294967295u, {40, 12, 9, 1, 0}, {0, 0, 0, 7}}};
    char line[256];
    ASSERT_GT(sBenchFrameLine(line, sizeof line, &rec), 0);
    EXPECT_STREQ(line, "7,123,4100.250,16.500,0.125,2.500,0.750,4256,26508,101,2,790,35,3,1,4294967295,40,12,9,1,0,0,0,0,7\n");
    _benchFrameRec back = {};
    ASSERT_TRUE(sBenchFrameParse(line, &back));
    EXPECT_EQ(back.test, 7);
    EXPECT_EQ(back.framePos, 123);
    EXPECT_DOUBLE_EQ(back.deltaMs, 16.5);
    EXPECT_DOUBLE_EQ(back.drawMs, 2.5);
    EXPECT_DOUBLE_EQ(back.presentMs, 0.75);
    EXPECT_EQ(0, std::memcmp(&back.count, &rec.count, sizeof rec.count));
    // The header names one column a field, the counts last.
    EXPECT_EQ(std::string(BENCH_FRAME_HEAD).find("test,frame,ms,deltaMs,updateMs,drawMs,presentMs,"), 0u);
    EXPECT_EQ(std::count(line, line + std::strlen(line), ','),
              std::count(BENCH_FRAME_HEAD, BENCH_FRAME_HEAD + sizeof BENCH_FRAME_HEAD, ','));
    // Records of the earlier five and seven columns still read, without what they lack.
    ASSERT_TRUE(sBenchFrameParse("7,1,2,3,4\r\n", &back));
    EXPECT_DOUBLE_EQ(back.updateMs, 4.0);
    EXPECT_DOUBLE_EQ(back.drawMs, 0.0);
    EXPECT_EQ(0u, back.count.drawCalls);
    ASSERT_TRUE(sBenchFrameParse("7,1,2,3,4,5,6\n", &back));
    EXPECT_DOUBLE_EQ(back.presentMs, 6.0);
    EXPECT_EQ(0u, back.count.uploadBytes);
    // Records of the earlier nine counts read with the bound-object counts 0.
    ASSERT_TRUE(sBenchFrameParse("7,1,2,3,4,5,6,1,2,3,4,5,6,7,8,9\n", &back));
    EXPECT_EQ(9u, back.count.uploadBytes);
    EXPECT_EQ(0u, back.count.bindSkips[0]);
    EXPECT_EQ(0u, back.count.bindRedundant[3]);
    // Counts come all or not at all, as whole numbers that fit.
    const char *const badCounts[] = {
        "7,1,2,3,4,5,6,1\n",
        "7,1,2,3,4,5,6,1,2,3,4,5,6,7,8\n",
        "7,1,2,3,4,5,6,1,2,3,4,5,6,7,8,9,10\n",
        "7,1,2,3,4,5,6,1,2,3,4,5,6,7,8,-9\n",
        "7,1,2,3,4,5,6,1,2,3,4,5,6,7,8,4294967296\n",
        "7,1,2,3,4,5,6,1,2,3,4.5,5,6,7,8,9\n",
    };
    for (const char *bad : badCounts)
        EXPECT_FALSE(sBenchFrameParse(bad, &back)) << bad;
    EXPECT_FALSE(sBenchFrameParse(BENCH_FRAME_HEAD "\n", &back));
    EXPECT_FALSE(sBenchFrameParse("7,1,2", &back));
    EXPECT_FALSE(sBenchFrameParse("7,1,2,-3,4\n", &back));
    EXPECT_FALSE(sBenchFrameParse("7,1,2,3,4x\n", &back));
    EXPECT_FALSE(sBenchFrameParse("7,1,2,3,4,5\n", &back));
    EXPECT_FALSE(sBenchFrameParse("7,1,2,3,4,5,6,7\n", &back));
    EXPECT_FALSE(sBenchFrameParse("7,1,2,3,4,5,nan\n", &back));
    char tiny[8];
    EXPECT_EQ(sBenchFrameLine(tiny, sizeof tiny, &rec), -1);
}

TEST(BenchFrameRecord, SummaryGivesAverageOnePercentLowAndNinetyNinthPercentile)
{
    // 197 frames of 10 ms and three of 50 ms: 1970 + 150 ms for 200 frames.
    std::vector<double> d(197, 10.0);
    d.insert(d.begin() + 50, 50.0);
    d.insert(d.begin() + 120, 50.0);
    d.push_back(50.0);
    _benchFrameSum s = {};
    ASSERT_EQ(sBenchFrameSummary(d.data(), (long)d.size(), &s), 0);
    EXPECT_EQ(s.frameCnt, 200);
    EXPECT_NEAR(s.fpsAve, 200 * 1000.0 / 2120.0, 1e-9);
    EXPECT_NEAR(s.low1Fps, 20.0, 1e-9);   // the two slowest: 50 ms each
    EXPECT_NEAR(s.p99Ms, 50.0, 1e-9);     // rank 198 of 200 sorted is the first 50
    EXPECT_EQ(sBenchFrameSummary(d.data(), 0, &s), -1);
    // Fewer than a hundred frames: the single slowest frame is the 1 % low.
    const double few[3] = {10.0, 40.0, 20.0};
    ASSERT_EQ(sBenchFrameSummary(few, 3, &s), 0);
    EXPECT_NEAR(s.low1Fps, 25.0, 1e-9);
    EXPECT_NEAR(s.p99Ms, 40.0, 1e-9);
}

TEST(BenchFrameRecord, FileSummaryGroupsByTestAndSkipsBadLines)
{
    const char *path = "BenchFrameRecordTest.csv";
    FILE *fp = std::fopen(path, "wb");
    ASSERT_NE(fp, nullptr);
    std::fputs(BENCH_FRAME_HEAD "\n", fp);
    for (int i = 0; i < 10; ++i) {
        const _benchFrameRec r = {7, i, 20.0 * (i + 1), 20.0, 1.0, 3.0, 0.5, {(uint32_t)(10 + i), 0, 0, 0, 0, 0, 2, 0, 0, {}, {}}};
        char line[256];
        sBenchFrameLine(line, sizeof line, &r);
        std::fputs(line, fp);
    }
    std::fputs("garbage line\n", fp);
    const _benchFrameRec r = {10, 0, 5.0, 5.0, 0.5, 0.0, 0.0, {}};
    char line[256];
    sBenchFrameLine(line, sizeof line, &r);
    std::fputs(line, fp);
    std::fclose(fp);
    _benchFrameSum sum[4] = {};
    ASSERT_EQ(sBenchFrameSummaryFile(path, sum, 4), 2);
    EXPECT_EQ(sum[0].test, 7);
    EXPECT_EQ(sum[0].frameCnt, 10);
    EXPECT_NEAR(sum[0].fpsAve, 50.0, 1e-9);
    EXPECT_EQ(sum[1].test, 10);
    EXPECT_EQ(sBenchFrameSummaryFile(path, sum, 1), 1);
    // Where the time went: update 1 and draw 3 of every 20 ms frame of test 7.
    _benchFrameCost cost[4] = {};
    ASSERT_EQ(sBenchFrameCostFile(path, cost, 4), 2);
    EXPECT_EQ(cost[0].test, 7);
    EXPECT_EQ(cost[0].frameCnt, 10);
    EXPECT_NEAR(cost[0].drawMs, 3.0, 1e-9);
    EXPECT_NEAR(cost[0].presentMs, 0.5, 1e-9);
    EXPECT_NEAR(cost[0].ownShare, 0.2, 1e-9);
    EXPECT_NEAR(cost[0].count[0], 14.5, 1e-9);  // draw calls 10..19
    EXPECT_NEAR(cost[0].count[6], 2.0, 1e-9);   // locks
    EXPECT_NEAR(cost[1].ownShare, 0.1, 1e-9);
    EXPECT_EQ(sBenchFrameCostFile(path, cost, 1), 1);
    std::remove(path);
    EXPECT_EQ(sBenchFrameSummaryFile(path, sum, 4), -1);
    EXPECT_EQ(sBenchFrameCostFile(path, cost, 4), -1);
}

} // namespace

namespace {

// A loader that counts what it was asked for and hands out distinct blocks.
std::vector<std::string> gLoaded;
std::vector<_sceneDef *> gFreed;
_sceneDef gDefs[8];

_sceneDef *CountingLoad(const char *aPathP)
{
    if (std::string(aPathP).find("missing") != std::string::npos)
        return nullptr;
    gLoaded.push_back(aPathP);
    return &gDefs[gLoaded.size() - 1];
}

void CountingFree(_sceneDef *aDefP) { gFreed.push_back(aDefP); }

_becnhDef Row(const char *aPathP)
{
    _becnhDef r = {};
    r.dataPathP = aPathP;
    return r;
}

TEST(BenchTables, RowsNamingOnePackageShareOneDefinitionFreedOnce)
{
    gLoaded.clear();
    gFreed.clear();
    _becnhDef demo[4] = {Row("Data\\Ksx\\05.ksx"), Row("Data\\Ksx\\22.ksx"), Row(nullptr), Row("Data\\Ksx\\missing.ksx")};
    _becnhDef bench[3] = {Row("Data\\Ksx\\23.ksx"), Row("Data\\Ksx\\23.ksx"), Row("Data\\Ksx\\05.ksx")};
    _becnhDef *const tbl[2] = {demo, bench};
    const long rows[2] = {4, 3};
    EXPECT_EQ(sBenchLoadScenes(tbl, rows, 2, CountingLoad), 3);
    EXPECT_EQ(gLoaded, (std::vector<std::string>{"Data\\Ksx\\05.ksx", "Data\\Ksx\\22.ksx", "Data\\Ksx\\23.ksx"}));
    EXPECT_EQ(bench[2].sceneDefP, demo[0].sceneDefP);
    EXPECT_EQ(bench[0].sceneDefP, bench[1].sceneDefP);
    EXPECT_EQ(demo[2].sceneDefP, nullptr);
    EXPECT_EQ(demo[3].sceneDefP, nullptr);  // missing: stays to be tried when it plays
    EXPECT_TRUE(sBenchRowHasScene(&demo[3]));
    EXPECT_FALSE(sBenchRowHasScene(&demo[2]));
    sBenchFreeScenes(tbl, rows, 2, CountingFree);
    EXPECT_EQ(gFreed.size(), 3u);
    for (const _becnhDef &r : demo)
        EXPECT_EQ(r.sceneDefP, nullptr);
    for (const _becnhDef &r : bench)
        EXPECT_EQ(r.sceneDefP, nullptr);
}

TEST(BenchTables, StepBeyondTheTableGivesNoRow)
{
    _becnhDef bench[BENCH_ROW_NUM] = {};
    _becnhDef demo[DEMO_ROW_NUM] = {};
    EXPECT_EQ(sBenchTableRow(bench, BENCH_ROW_NUM, 10), &bench[10]);
    EXPECT_EQ(sBenchTableRow(bench, BENCH_ROW_NUM, 11), nullptr);
    EXPECT_EQ(sBenchTableRow(demo, DEMO_ROW_NUM, 24), &demo[24]);
    EXPECT_EQ(sBenchTableRow(demo, DEMO_ROW_NUM, 25), nullptr);
    EXPECT_EQ(sBenchTableRow(demo, DEMO_ROW_NUM, -1), nullptr);
    EXPECT_EQ(sBenchTableRow(demo, DEMO_ROW_NUM, BENCH_STEP_FAIL), nullptr);
}

TEST(BenchUserObject, ChangeShapeIsFoundInAnyCaseAndUnterminatedNamesAreSafe)
{
    std::vector<_sceneShapeDef> shapes(3);
    std::memset(shapes.data(), 0, sizeof(_sceneShapeDef) * shapes.size());
    std::strcpy(shapes[0].name, "Body");
    std::memset(shapes[1].name, 'x', sizeof shapes[1].name);  // no terminator
    std::strcpy(shapes[2].name, "Ship_CHANGE2_Hull");
    _sceneDef def = {};
    def.shapeCnt = 3;
    def.shapeP = shapes.data();
    EXPECT_EQ(sBenchChangeShape(&def), 2);
    std::strcpy(shapes[2].name, "ship_change_2");
    EXPECT_EQ(sBenchChangeShape(&def), -1);
    EXPECT_EQ(sBenchChangeShape(nullptr), -1);
}

TEST(BenchUserObject, ScaleIsTheMeanOfTheAxisRatiosAndFlatAxesAreLeftOut)
{
    _shapeDef old = {}, user = {};
    old.maxX = 2, old.maxY = 4, old.maxZ = 6;
    user.maxX = 1, user.maxY = 1, user.maxZ = 1;
    EXPECT_FLOAT_EQ(sBenchScaleFactor(&old, &user), 4.0f);  // (2 + 4 + 6) / 3
    user.maxZ = 0;  // a flat object
    EXPECT_FLOAT_EQ(sBenchScaleFactor(&old, &user), 3.0f);
    _shapeDef point = {};
    EXPECT_FLOAT_EQ(sBenchScaleFactor(&old, &point), 1.0f);
}

} // namespace

TEST(BenchMovies, ScreensNamedInTheTableGetTheirClipAndOthersStayUnbound)
{
    long cnt = 0;
    const _benchMovie *tbl = sBenchMovieTbl(&cnt);
    ASSERT_GE(cnt, 2);
    // Names are exact: a shape whose name only starts like a screen's is not one.
    struct {
        const char *name;
        long movie;  // table row it takes, -1 none
    } shapes[] = {{"HangarBay", -1}, {"BayScreenStatus", 0}, {"BayScreenRadar", 1}, {"BayScreenStatusX", -1}, {"", -1}};
    std::vector<_sceneShapeDef> defs(sizeof shapes / sizeof shapes[0]);
    for (size_t i = 0; i < defs.size(); i++) {
        std::memset(&defs[i], 0, sizeof defs[i]);
        std::strcpy(defs[i].name, shapes[i].name);
    }
    _sceneDef scene;
    std::memset(&scene, 0, sizeof scene);
    scene.shapeCnt = (uint32_t)defs.size();
    scene.shapeP = defs.data();
    EXPECT_EQ(sBenchBindMovies(&scene), 2);
    for (size_t i = 0; i < defs.size(); i++) {
        SCOPED_TRACE(shapes[i].name);
        if (shapes[i].movie < 0) {
            EXPECT_EQ(defs[i].aviCnt, 0u);
            EXPECT_EQ(defs[i].aviDefP, nullptr);
            continue;
        }
        ASSERT_EQ(defs[i].aviCnt, 1u);
        const _sceneAviDef &a = *defs[i].aviDefP;
        EXPECT_STREQ(a.fileNameP, tbl[shapes[i].movie].avi.fileNameP);
        EXPECT_EQ(a.type, 2) << "loops";
        EXPECT_EQ(a.startFrame, 0);
        EXPECT_EQ(a.endFrame, 0xFFFF) << "plays to the scene's end";
    }
    // Binding again changes nothing; a scene without shapes or no scene binds nothing.
    EXPECT_EQ(sBenchBindMovies(&scene), 2);
    _sceneDef empty;
    std::memset(&empty, 0, sizeof empty);
    EXPECT_EQ(sBenchBindMovies(&empty), 0);
    EXPECT_EQ(sBenchBindMovies(nullptr), 0);
}
