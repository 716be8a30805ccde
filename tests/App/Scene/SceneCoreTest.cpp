#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "App/Scene/SceneCore.h"

namespace {

// Key tables whose entry k holds (k, k + 1000, k + 2000) in the three components.
std::vector<_sceneVectorDef> Keys(uint32_t aCount, float aBase)
{
    std::vector<_sceneVectorDef> keys(aCount);
    for (uint32_t k = 0; k < aCount; k++)
        keys[k] = {aBase + k, aBase + k + 1000, aBase + k + 2000};
    return keys;
}

struct Expansion {
    long count = 0;
    _sceneFrame *frames = nullptr;
    ~Expansion() { free(frames); }
};

struct Motion {
    std::vector<_sceneVectorDef> trans = Keys(64, 0), angle = Keys(64, 100), scale = Keys(64, 200);
    std::vector<_sceneIndexDef> runs;
    _sceneMotionDef Def()
    {
        _sceneMotionDef m{};
        m.transFrameCnt = (uint32_t)trans.size();
        m.transFrameP = trans.empty() ? nullptr : trans.data();
        m.angleFrameCnt = (uint32_t)angle.size();
        m.angleFrameP = angle.empty() ? nullptr : angle.data();
        m.scaleFrameCnt = (uint32_t)scale.size();
        m.scaleFrameP = scale.empty() ? nullptr : scale.data();
        m.indexCnt = (uint32_t)runs.size();
        m.indexP = runs.empty() ? nullptr : runs.data();
        return m;
    }
    void Expand(Expansion *aOutP)
    {
        _sceneMotionDef m = Def();
        aOutP->count = sSceneExpandKeys(&m, &aOutP->frames);
    }
};

// The trans, angle and scale key indices of each expanded frame.
std::vector<std::vector<int>> Indices(const Expansion &aE)
{
    std::vector<std::vector<int>> v;
    for (long j = 0; j < aE.count; j++)
        v.push_back({(int)aE.frames[j].tx, (int)aE.frames[j].rx - 100, (int)aE.frames[j].sx - 200});
    return v;
}

TEST(SceneExpandKeys, RunsAddTheirStepsFrameByFrame)
{
    struct Row {
        const char *what;
        std::vector<_sceneIndexDef> runs;
        std::vector<std::vector<int>> indices;
    } rows[] = {
        {"a first run of one frame with no step, then steps of one",
         {{0, 0, 0, 1}, {1, 1, 1, 4}},
         {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}, {3, 3, 3}, {4, 4, 4}}},
        {"the first frame already carries the first step",
         {{1, 0, 2, 2}, {0, 1, -1, 3}},
         {{1, 0, 2}, {2, 0, 4}, {2, 1, 3}, {2, 2, 2}, {2, 3, 1}}},
        {"a run of length 0 still lends its steps to one frame",
         {{1, 1, 1, 2}, {5, 5, 5, 0}, {1, 0, 0, 2}},
         {{1, 1, 1}, {2, 2, 2}, {7, 7, 7}, {8, 7, 7}}},
        {"one long run", {{2, 0, 1, 3}}, {{2, 0, 1}, {4, 0, 2}, {6, 0, 3}}},
    };
    for (Row &r : rows) {
        Motion m;
        m.runs = r.runs;
        Expansion e;
        m.Expand(&e);
        EXPECT_EQ(Indices(e), r.indices) << r.what;
    }
}

TEST(SceneExpandKeys, PoseComesFromTheThreeTables)
{
    Motion m;
    m.runs = {{3, 4, 5, 1}};
    Expansion e;
    m.Expand(&e);
    ASSERT_EQ(e.count, 1);
    const _sceneFrame &f = e.frames[0];
    EXPECT_EQ((std::vector<float>{f.tx, f.ty, f.tz, f.rx, f.ry, f.rz, f.sx, f.sy, f.sz}),
              (std::vector<float>{3, 1003, 2003, 104, 1104, 2104, 205, 1205, 2205}));
}

TEST(SceneExpandKeys, NoFramesKeepTheBasePose)
{
    struct Row {
        const char *what;
        void (*setup)(Motion &);
    } rows[] = {
        {"no runs", [](Motion &m) { m.runs.clear(); }},
        {"no position table", [](Motion &m) { m.trans.clear(); }},
        {"no rotation table", [](Motion &m) { m.angle.clear(); }},
        {"no scale table", [](Motion &m) { m.scale.clear(); }},
        {"runs of length 0 only", [](Motion &m) { m.runs = {{1, 1, 1, 0}, {1, 1, 1, 0}}; }},
    };
    for (const Row &r : rows) {
        Motion m;
        m.runs = {{1, 1, 1, 3}};
        r.setup(m);
        Expansion e;
        m.Expand(&e);
        EXPECT_EQ(e.count, 0) << r.what;
        EXPECT_EQ(e.frames, nullptr) << r.what;
    }
}

TEST(SceneExpandKeys, IndicesOutsideTheirTablesFail)
{
    struct Row {
        const char *what;
        std::vector<_sceneIndexDef> runs;
        uint32_t transCnt;
        long count;
    } rows[] = {
        {"past the end of the position table", {{1, 0, 0, 4}}, 4, -1},
        {"negative", {{0, 0, 0, 1}, {0, -1, 0, 1}}, 4, -1},
        {"the last entry is still inside", {{1, 0, 0, 3}}, 4, 3},
    };
    for (const Row &r : rows) {
        Motion m;
        m.trans = Keys(r.transCnt, 0);
        m.runs = r.runs;
        Expansion e;
        m.Expand(&e);
        EXPECT_EQ(e.count, r.count) << r.what;
        EXPECT_EQ(e.frames == nullptr, r.count < 0) << r.what;
    }
}

TEST(SceneExpandKeys, SumsAreSixteenBitSigned)
{
    // 32767 + 1 wraps to -32768, which no table can hold.
    Motion m;
    m.trans = Keys(32769, 0);
    m.runs = {{32767, 0, 0, 1}, {1, 0, 0, 1}};
    Expansion e;
    m.Expand(&e);
    EXPECT_EQ(e.count, -1);
}

TEST(SceneExpandKeys, StopsWhereSixteenBitFrameNumbersEnd)
{
    Motion m;
    m.runs = {{0, 0, 0, 65535}, {0, 0, 0, 65535}};
    Expansion e;
    m.Expand(&e);
    EXPECT_EQ(e.count, SCENE_FRAME_MAX);
}

TEST(SceneSeCount, CountsRowsBeforeTheEndRow)
{
    _sceneSeDef endOnly[] = {{-1, "", 0}};
    _sceneSeDef three[] = {{10, "s00.kss", 127}, {5, "s01.kss", 120}, {20, "s02.kss", 127}, {-1, "", 0}};
    EXPECT_EQ(sSceneSeCount(endOnly), 0);
    EXPECT_EQ(sSceneSeCount(three), 3);
    EXPECT_EQ(sSceneSeCount(nullptr), 0);
}

}  // namespace
