#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "App/Scene/SceneCore.h"

// The scene's frame clock, its tracks and cues: everything Frame decides without a device.

namespace {

_sceneClock Loaded(uint16_t aFrameCnt, float aFps = 30.0f, uint16_t aExtra = 0)
{
    _sceneClock c{};
    c.status = SCENE_LOADED | SCENE_START | aExtra;
    c.frameCnt = aFrameCnt;
    c.fps = aFps;
    return c;
}

// Starts the clock at aStart and then calls it every aStep ms, aCalls times: the frame after
// each call.
std::vector<int> Calls(_sceneClock *aClockP, uint32_t aStart, uint32_t aStep, int aCalls)
{
    EXPECT_EQ(sSceneClockAdvance(aClockP, aStart), SCENE_CLOCK_STARTED);
    std::vector<int> pos;
    for (int i = 1; i <= aCalls; i++) {
        sSceneClockAdvance(aClockP, aStart + aStep * (uint32_t)i);
        pos.push_back(aClockP->framePos);
    }
    return pos;
}

TEST(SceneClock, HundredMsCallsAtThirtyAdvanceThreeAndCarryNothing)
{
    _sceneClock c = Loaded(1000);
    EXPECT_EQ(Calls(&c, 5000, 100, 4), (std::vector<int>{3, 6, 9, 12}));
    EXPECT_NEAR(c.addTime, 0.0f, 0.001f);
    EXPECT_TRUE(c.status & SCENE_ADVANCED);
    EXPECT_EQ(c.prevTime, 5400u);
}

TEST(SceneClock, SeventyMsCallsAdvanceTwoAndCarryAThird)
{
    _sceneClock c = Loaded(1000);
    std::vector<int> pos = Calls(&c, 0, 70, 1);
    EXPECT_EQ(pos, std::vector<int>{2});
    EXPECT_NEAR(c.addTime, 3.333f, 0.01f);
    // The carried time adds up: 770 ms is 23 frames, not 11 x 2.
    for (uint32_t t = 140; t <= 770; t += 70)
        sSceneClockAdvance(&c, t);
    EXPECT_EQ(c.framePos, 23);
}

TEST(SceneClock, ShortCallsWaitForAWholeFrame)
{
    _sceneClock c = Loaded(100);
    EXPECT_EQ(Calls(&c, 0, 10, 4), (std::vector<int>{0, 0, 0, 1}));
    sSceneClockAdvance(&c, 45);
    EXPECT_FALSE(c.status & SCENE_ADVANCED) << "a call that moves no frame is not advanced";
}

TEST(SceneClock, NonLoopingSceneEndsFromItsLastFrameAndStaysThere)
{
    _sceneClock c = Loaded(100);
    sSceneClockAdvance(&c, 0);
    sSceneClockAdvance(&c, 3267);  // frame 98
    ASSERT_EQ(c.framePos, 98);
    EXPECT_EQ(sSceneClockEnd(&c), 0);
    EXPECT_FALSE(c.status & SCENE_ENDED);
    sSceneClockAdvance(&c, 3320);
    EXPECT_EQ(c.framePos, 99);
    EXPECT_EQ(sSceneClockEnd(&c), 1);
    EXPECT_TRUE(c.status & SCENE_ENDED);
    sSceneClockAdvance(&c, 9000);
    EXPECT_EQ(c.framePos, 99);
    EXPECT_TRUE(c.status & SCENE_ENDED);
}

TEST(SceneClock, LoopingSceneWrapsAndNeverEnds)
{
    _sceneClock c = Loaded(100, 30.0f, SCENE_LOOP);
    sSceneClockAdvance(&c, 0);
    sSceneClockAdvance(&c, 3320);
    EXPECT_EQ(c.framePos, 99);
    EXPECT_EQ(sSceneClockEnd(&c), 0);
    sSceneClockAdvance(&c, 3334);
    EXPECT_EQ(c.framePos, 0);
    sSceneClockAdvance(&c, 3334 + 1000);
    EXPECT_EQ(c.framePos, 30);
    EXPECT_FALSE(c.status & SCENE_ENDED);
}

TEST(SceneClock, OneFrameSceneEndsAtOnce)
{
    _sceneClock c = Loaded(1);
    sSceneClockAdvance(&c, 77);
    EXPECT_EQ(c.framePos, 0);
    EXPECT_EQ(sSceneClockEnd(&c), 1);
}

TEST(SceneClock, UnloadedOrPausedSceneMovesNothing)
{
    for (uint16_t status : {(uint16_t)(SCENE_START | SCENE_ADVANCED),
                            (uint16_t)(SCENE_LOADED | SCENE_PAUSED | SCENE_ADVANCED)}) {
        _sceneClock c{};
        c.status = status;
        c.frameCnt = 100;
        c.fps = 30.0f;
        c.framePos = 7;
        c.prevTime = 10;
        EXPECT_EQ(sSceneClockAdvance(&c, 5000), SCENE_CLOCK_IDLE);
        EXPECT_EQ(c.framePos, 7);
        EXPECT_EQ(c.prevTime, 10u);
        EXPECT_FALSE(c.status & SCENE_ADVANCED) << "the advanced bit is always cleared";
    }
}

TEST(SceneClock, FrameLockedSceneIsAdvancedOnEveryCallAndKeepsItsFrame)
{
    _sceneClock c = Loaded(100, 30.0f, SCENE_FRAME_LOCKED);
    sSceneClockAdvance(&c, 0);
    c.framePos = 42;  // the owner sets the frame
    for (uint32_t t : {1u, 2u, 5000u}) {
        EXPECT_EQ(sSceneClockAdvance(&c, t), SCENE_CLOCK_RAN);
        EXPECT_TRUE(c.status & SCENE_ADVANCED);
        EXPECT_EQ(c.framePos, 42);
    }
    EXPECT_EQ(c.addTime, 0.0f);
}

TEST(SceneClock, MillisecondTimerWrapCountsForward)
{
    _sceneClock c = Loaded(100);
    sSceneClockAdvance(&c, 0xFFFFFFF0u);
    sSceneClockAdvance(&c, 0x50u);  // 96 ms later
    EXPECT_EQ(c.framePos, 2);
    EXPECT_NEAR(c.addTime, 29.33f, 0.01f);
}

// A run in the background holds its scene: every pass of the background loop moves the clock's
// last reading to the present, as Bench::Stop does. At any uptime, also across 2^24 ms (where a
// float stops holding every millisecond) and across the 2^32 wrap, the scene carries on from
// the frame it had: one second before and one after the switch are 50 frames, never the end.
TEST(SceneClock, BackgroundHoldKeepsTheFrameAtAnyUptime)
{
    const struct {
        const char *name;
        uint32_t start;
    } uptimes[] = {
        {"one minute", 60000u},
        {"reaching 2^24 ms in the background", (1u << 24) - 1500u},
        {"2^24 ms + 1", (1u << 24) + 1u},
        {"2^24 ms + 3", (1u << 24) + 3u},
        {"twelve days", 0x40000003u},
        {"wrapping in the background", 0xFFFFFFFFu - 1500u},
        {"wrapping while it plays", 0xFFFFFFFFu - 400u},
    };
    for (const auto &u : uptimes) {
        _sceneClock c = Loaded(1800, 25.0f);
        uint32_t t = u.start;
        sSceneClockAdvance(&c, t);
        for (int i = 0; i < 50; i++)
            sSceneClockAdvance(&c, t += 20);
        ASSERT_EQ(c.framePos, 25) << u.name;
        for (int i = 0; i < 60; i++)  // three seconds away
            c.prevTime = (t += 50);
        for (int i = 0; i < 50; i++) {
            sSceneClockAdvance(&c, t += 20);
            sSceneClockEnd(&c);
        }
        EXPECT_EQ(c.framePos, 50) << u.name;
        EXPECT_FALSE(c.status & SCENE_ENDED) << u.name;
    }
}

// The clock's last reading against the next: a reading behind the last one (a stamp the float
// rounded up: 16777219 ms is held as 16777220) adds no time, where the unsigned difference
// made it 49.7 days and jumped to the last frame.
TEST(SceneClock, AReadingBehindTheLastAddsNothingAndTheWrapCountsForward)
{
    const struct {
        uint32_t prev, now;
        int frame;
    } reads[] = {
        {16777220u, 16777219u, 6},
        {16777219u, 16777219u + 34u, 7},
        {0x00000010u, 0xFFFFFFF0u, 6},  // behind, across the wrap
        {0xFFFFFFF0u, 0x00000024u, 7},  // 52 ms forward, across the wrap
        {0x80000000u, 0x00000000u, 6},  // half the clock behind
    };
    for (const auto &r : reads) {
        _sceneClock c = Loaded(1800);
        c.status &= (uint16_t)~SCENE_START;
        c.framePos = 6;
        c.prevTime = r.prev;
        sSceneClockAdvance(&c, r.now);
        EXPECT_EQ(c.framePos, r.frame) << r.prev << " then " << r.now;
        EXPECT_EQ(sSceneClockEnd(&c), 0);
    }
}

TEST(SceneClock, LongStallNeverWrapsTheSixteenBitFrame)
{
    // 72 000 frames late: the 16-bit frame number would wrap to 6 464 and the scene jump back.
    _sceneClock c = Loaded(100);
    sSceneClockAdvance(&c, 0);
    sSceneClockAdvance(&c, 2400000);
    EXPECT_EQ(c.framePos, 99);
    // A loop keeps its phase: 65 542 frames into a 1000-frame loop is frame 542.
    _sceneClock l = Loaded(1000, 30.0f, SCENE_LOOP);
    sSceneClockAdvance(&l, 0);
    sSceneClockAdvance(&l, 2184734);
    EXPECT_EQ(l.framePos, 542);
    EXPECT_GE(l.addTime, 0.0f);
    EXPECT_LT(l.addTime, 33.34f);
}

TEST(SceneClock, EmptySceneAndUnusableRatesStayOnFrameZero)
{
    _sceneClock empty = Loaded(0);
    sSceneClockAdvance(&empty, 0);
    sSceneClockAdvance(&empty, 1000);
    EXPECT_EQ(empty.framePos, 0);
    EXPECT_EQ(sSceneClockEnd(&empty), 1);
    _sceneClock loop = Loaded(0, 30.0f, SCENE_LOOP);
    sSceneClockAdvance(&loop, 0);
    sSceneClockAdvance(&loop, 1000);
    EXPECT_EQ(loop.framePos, 0);

    for (float fps : {0.0f, -30.0f, NAN, INFINITY}) {
        _sceneClock c = Loaded(100, fps);
        sSceneClockAdvance(&c, 0);
        sSceneClockAdvance(&c, 100000);
        EXPECT_EQ(c.framePos, 0) << fps;
    }
}

TEST(SceneFade, MusicFadesOverTheFortyFiveFramesBeforeTheLast)
{
    EXPECT_EQ(sSceneFadeAction(54, 100), SCENE_FADE_NONE);
    EXPECT_EQ(sSceneFadeAction(55, 100), SCENE_FADE_STEP);
    EXPECT_EQ(sSceneFadeAction(98, 100), SCENE_FADE_STEP);
    EXPECT_EQ(sSceneFadeAction(99, 100), SCENE_FADE_LAST);
    // A scene shorter than the fade fades from its start.
    EXPECT_EQ(sSceneFadeAction(0, 30), SCENE_FADE_STEP);
    EXPECT_EQ(sSceneFadeAction(29, 30), SCENE_FADE_LAST);
    EXPECT_EQ(sSceneFadeAction(0, 1), SCENE_FADE_LAST);
    EXPECT_EQ(sSceneFadeAction(0, 0), SCENE_FADE_LAST);
}

TEST(SceneTrack, OwnLengthTablesClampOrWrap)
{
    struct Row {
        uint32_t frame, count;
        bool loop;
        uint32_t index;
    } rows[] = {
        {5, 0, false, 0}, {5, 0, true, 0},  {2, 4, false, 2}, {9, 4, false, 3},
        {9, 4, true, 1},  {3, 4, true, 3},  {0, 1, false, 0}, {65535, 7, true, 65535 % 7},
    };
    for (const Row &r : rows)
        EXPECT_EQ(sSceneTrackIndex(r.frame, r.count, r.loop), r.index) << r.frame << " of " << r.count;
}

TEST(SceneCue, SkippedStretchFiresEveryCueInItOnceInListOrder)
{
    // The cue at 20 holds back the one at 12 behind it.
    std::vector<_sceneSe> list = {{5, nullptr}, {5, nullptr}, {8, nullptr}, {20, nullptr},
                                  {12, nullptr}, {SCENE_SE_END, nullptr}};
    const _sceneSe *cur = list.data();
    std::vector<uint32_t> fired;
    for (uint16_t frame : {0, 4, 10, 15, 20, 21, 65535}) {
        const uint32_t n = sSceneCueDue(cur, frame);
        for (uint32_t k = 0; k < n; k++, cur++)
            fired.push_back(cur->frameNum);
        if (frame == 4) {
            EXPECT_EQ(n, 0u);
        }
        if (frame == 10) {
            EXPECT_EQ(n, 3u) << "one call plays every cue the jump passed";
        }
    }
    EXPECT_EQ(fired, (std::vector<uint32_t>{5, 5, 8, 20, 12}));
    EXPECT_EQ(cur->frameNum, SCENE_SE_END) << "the end entry is never due";
    EXPECT_EQ(sSceneCueDue(nullptr, 100), 0u);
}

// ---------------------------------------------------------------- records

std::vector<_sceneFrame> Poses(int aCount)
{
    std::vector<_sceneFrame> f(aCount);
    for (int i = 0; i < aCount; i++)
        f[i] = {(float)i, 0, 0, 0, (float)i * 0.1f, 0, 1, 1, (float)(i + 1)};
    return f;
}

TEST(SceneRecord, ShapesTakeTheirPoseAndOwnLengthTracks)
{
    std::vector<_sceneFrame> poses = Poses(10);
    float dissolve[4] = {0.0f, 0.25f, 0.5f, 0.75f};
    _sceneShape s{};
    s.trans = {7, 7, 7};
    s.frameCnt = 10;
    s.frameP = poses.data();
    s.dissolveFrameCnt = 4;
    s.dissolveFrameP = dissolve;
    s.morphRate = 0.9f;  // no morph track: kept
    sSceneShapeFrame(&s, 6, false);
    EXPECT_EQ(s.trans.x, 6.0f);
    EXPECT_FLOAT_EQ(s.angle.y, 0.6f);
    EXPECT_EQ(s.scale.z, 7.0f);
    EXPECT_EQ(s.dissolveRate, 0.75f) << "clamped to the last entry";
    EXPECT_EQ(s.morphRate, 0.9f);
    sSceneShapeFrame(&s, 13, true);
    EXPECT_EQ(s.trans.x, 3.0f);
    EXPECT_EQ(s.dissolveRate, 0.25f) << "wrapped";

    _sceneShape still{};
    still.trans = {1, 2, 3};
    sSceneShapeFrame(&still, 5, false);
    EXPECT_EQ(still.trans.y, 2.0f) << "no frames: the base pose stays";
}

TEST(SceneRecord, LightFollowsItsColourAndIntensityTracksFrameByFrame)
{
    const uint16_t frames = 4;
    D3DCOLORVALUE colors[frames] = {{1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 1}, {1, 1, 1, 1}};
    float intensity[frames] = {0.5f, 1.0f, 1.5f, 2.0f};
    _sceneLight l{};
    l.color = {0.2f, 0.3f, 0.4f, 1};
    l.intensity = 0.7f;
    _sceneLight plain = l;
    l.colorP = colors;
    l.intensityP = intensity;
    for (uint16_t f = 0; f < frames; f++) {
        sSceneLightFrame(&l, f, frames, false);
        EXPECT_EQ(l.color.g, colors[f].g);
        EXPECT_EQ(l.intensity, intensity[f]);
        sSceneLightFrame(&plain, f, frames, false);
        EXPECT_EQ(plain.color.g, 0.3f) << "without tracks the definition's values stay";
        EXPECT_EQ(plain.intensity, 0.7f);
    }
    // A frame the owner set past the scene's end reads the last entry, not past the copy.
    sSceneLightFrame(&l, 9, frames, false);
    EXPECT_EQ(l.intensity, 2.0f);
}

TEST(SceneRecord, CamerasSpritesAndEmittersTakeTheirTracks)
{
    std::vector<_sceneFrame> poses = Poses(3);
    float zoom[3] = {0.5f, 0.6f, 0.7f};
    _sceneCamera c{};
    c.frameCnt = 3;
    c.frameP = poses.data();
    c.zoomFactorP = zoom;
    sSceneCameraFrame(&c, 1, 3, false);
    EXPECT_EQ(c.fovAngle, 0.6f);
    EXPECT_EQ(c.trans.x, 1.0f);

    uint32_t pattern[2] = {4, 9};
    _sceneSprite s{};
    s.patternFrameCnt = 2;
    s.patternFrameP = pattern;
    sSceneSpriteFrame(&s, 5, false);
    EXPECT_EQ(s.pattern, 9u);
    sSceneSpriteFrame(&s, 5, true);
    EXPECT_EQ(s.pattern, 9u);
    sSceneSpriteFrame(&s, 4, true);
    EXPECT_EQ(s.pattern, 4u);

    _sceneParticle p{};
    p.frameCnt = 3;
    p.frameP = poses.data();
    sSceneParticleFrame(&p, 2, false);
    EXPECT_EQ(p.scale.z, 3.0f);
}

TEST(SceneRecord, AmbientAndFogReportOnlyRealChanges)
{
    float ambient[3] = {0.1f, 0.1f, 0.4f};
    _sceneIlluminate il{0xFFFFFF, 0.1f, ambient};
    EXPECT_EQ(sSceneIlluminateFrame(&il, 0, 3), 0);
    EXPECT_EQ(sSceneIlluminateFrame(&il, 1, 3), 0);
    EXPECT_EQ(sSceneIlluminateFrame(&il, 2, 3), 1);
    EXPECT_EQ(il.ambientIntensity, 0.4f);
    EXPECT_EQ(sSceneIlluminateFrame(&il, 2, 3), 0);

    float maxDist[2] = {2000.0f, 1500.0f};
    _sceneFog fog{};
    fog.maxDist = 2000.0f;
    fog.maxDistP = maxDist;
    EXPECT_EQ(sSceneFogFrame(&fog, 0, 2), 0);
    EXPECT_EQ(sSceneFogFrame(&fog, 1, 2), 1);
    EXPECT_EQ(fog.maxDist, 1500.0f);
    EXPECT_EQ(fog.minDist, 0.0f) << "values without a track stay";
}

}  // namespace
