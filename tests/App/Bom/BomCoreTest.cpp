#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "App/Bom/BomCore.h"

namespace {

struct Pools : ::testing::Test {
    void SetUp() override
    {
        srand(3);
        ASSERT_TRUE(sBomPoolAlloc());
    }
    void TearDown() override
    {
        BomSceneExit(nullptr);
        sBomPoolFree();
    }
    static long Playing(void)
    {
        long n = 0;
        for (long i = 0; i < BOM_ONE_MAX; i++)
            n += (_bomWorkP[i]._status & BOM_ONE_STAT_PLAY) != 0;
        return n;
    }
    static long Bases(void)
    {
        long n = 0;
        for (long i = 0; i < BOM_BASE_MAX; i++)
            n += (_bomBaseWorkP[i]._status & BOM_STAT_ACTIVE) != 0;
        return n;
    }
};

_bomScnTable Cue(int32_t aFrame, int16_t aType = 9, int16_t aTex = 0)
{
    _bomScnTable c{};
    c.frameCnt = aFrame;
    c.bomType = aType;
    c.texType = aTex;
    c.bomParam.trans.z = -1000.0f;
    c.bomParam.scale = 50.0f;
    c.bomParam.texScale = 1.0f;
    c.bomParam.coef = 1.0f;
    return c;
}

}  // namespace

TEST(BomTables, CueCountsOfBothEditions)
{
    const long full[6] = {2, 7, 3, 63, 38, 29}, light[6] = {2, 3, 1, 29, 9, 15};
    for (long t = 0; t < BOM_SCN_TBL_NUM; t++) {
        EXPECT_EQ(gBomScnAllTbl[t].cnt, full[t]);
        EXPECT_EQ(gBomScnAllTblL[t].cnt, light[t]);
        for (long c = 0; c < gBomScnAllTbl[t].cnt; c++) {
            const _bomScnTable &cue = gBomScnAllTbl[t].tblP[c];
            EXPECT_GE(cue.bomType, 0);
            EXPECT_LT(cue.bomType, BOM_TYPE_NUM);
            EXPECT_LT(cue.texType, BOM_TEX_TYPE_NUM);
        }
    }
    // Each picture sequence fills exactly its sprite's life.
    for (long t = 0; t < BOM_TEX_TYPE_NUM; t++) {
        long sum = 0;
        for (long p = 0; p < _bomTexTbl[t].texMaxNum && sum < _bomTexTbl[t].texFrmMax; p++)
            sum += _bomTexTbl[t].patP[p];
        EXPECT_EQ(sum, _bomTexTbl[t].texFrmMax) << t;
    }
    char name[64];
    sBomTexName(0, 14, name, sizeof(name));
    EXPECT_STREQ(name, "Data\\Bom\\_bomb_14.bmp");
    sBomTexName(1, 0, name, sizeof(name));
    EXPECT_STREQ(name, "Data\\Bom\\_Bomb_B000.bmp");
}

TEST_F(Pools, SkippedCueFiresOnTheFirstFrameAtOrAfterIt)
{
    const _bomScnTable cues[2] = {Cue(5), Cue(50)};
    const _bomScnAll tbl = {2, cues};
    BomSceneInit(&tbl);
    BomSceneExec(3, &tbl);
    EXPECT_EQ(Bases(), 0);
    BomSceneExec(9, &tbl);  // jumped over frame 5
    EXPECT_EQ(_bomCallStatusP[0], 1);
    EXPECT_EQ(_bomCallStatusP[1], 0);
    EXPECT_EQ(Bases(), 1);
    BomSceneExec(9, &tbl);  // fired cues stay fired
    EXPECT_EQ(Bases(), 1);
}

TEST_F(Pools, CueWaitsWhileEveryBaseIsBusy)
{
    const _bomScnTable any = Cue(0);
    for (long n = 0; n < BOM_BASE_MAX; n++)
        ASSERT_TRUE(_callBom(&any.bomParam, 9, 0));
    EXPECT_FALSE(_callBom(&any.bomParam, 9, 0));
    const _bomScnTable cues[1] = {Cue(1)};
    const _bomScnAll tbl = {1, cues};
    BomSceneInit(&tbl);
    BomSceneExec(1, &tbl);
    EXPECT_EQ(_bomCallStatusP[0], 0);
    // Type 9 lives eight frames; then the bases free up and the cue goes off.
    long frame = 1;
    while (_bomCallStatusP[0] == 0 && frame < 40)
        BomSceneExec(++frame, &tbl);
    EXPECT_EQ(_bomCallStatusP[0], 1);
    EXPECT_LE(frame, 12);
}

TEST_F(Pools, SpritePoolRunsOutWithoutHarm)
{
    _bomParam p{};
    p._alpha = 255;
    const D3DVECTOR at = {{0.0f}, {0.0f}, {0.0f}};
    for (long n = 0; n < BOM_ONE_MAX; n++)
        ASSERT_TRUE(_callBomTex(&at, &p, 0));
    EXPECT_FALSE(_callBomTex(&at, &p, 0));
    EXPECT_EQ(Playing(), BOM_ONE_MAX);
    EXPECT_FALSE(_callBomTex(&at, &p, 7));  // no such picture set
}

TEST_F(Pools, TypeOneSpriteLivesFortyThreeFramesThroughItsPictures)
{
    _bomParam p{};
    p._alpha = 255;
    p._alphaMov = (uint16_t)-1;
    p._scaleMov = 1.0f;
    const D3DVECTOR at = {{0.0f}, {0.0f}, {0.0f}};
    ASSERT_TRUE(_callBomTex(&at, &p, 1));
    _bomOne &o = _bomWorkP[0];
    const int16_t want[15] = {2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3, 3, 4, 4, 4};
    long shown[16] = {};
    long frames = 1;  // the frame it starts on
    shown[o._texNum]++;
    for (long f = 1; f < 100 && (o._status & BOM_ONE_STAT_PLAY); f++) {
        _bomOldFramePos = f - 1;
        _bomNowFramePos = f;
        o.Run();
        if (o._status & BOM_ONE_STAT_PLAY) {
            frames++;
            shown[o._texNum]++;
        }
    }
    EXPECT_EQ(frames, 43);
    for (long n = 0; n < 15; n++)
        EXPECT_EQ(shown[n], want[n]) << "picture " << n;
    EXPECT_EQ(o._param._alpha, 255 - 42);
}

TEST_F(Pools, FramesThatDoNotAdvanceMoveNothing)
{
    const _bomScnTable cues[1] = {Cue(0, 0, 3)};
    const _bomScnAll tbl = {1, cues};
    BomSceneInit(&tbl);
    BomSceneExec(0, &tbl);
    BomSceneExec(1, &tbl);
    BomSceneExec(2, &tbl);
    const long sprites = Playing();
    EXPECT_GT(sprites, 0);
    _bomBaseOne before = _bomBaseWorkP[0]._bomBaseOneP[5];
    _bomOne sprite = _bomWorkP[0];
    BomSceneExec(2, &tbl);
    BomSceneExec(2, &tbl);
    EXPECT_EQ(Playing(), sprites);
    EXPECT_EQ(memcmp(&before._trans, &_bomBaseWorkP[0]._bomBaseOneP[5]._trans, sizeof(D3DVECTOR)), 0);
    EXPECT_EQ(before._frameCnt, _bomBaseWorkP[0]._bomBaseOneP[5]._frameCnt);
    EXPECT_EQ(sprite._frameCnt, _bomWorkP[0]._frameCnt);
    EXPECT_EQ(sprite._param._scale, _bomWorkP[0]._param._scale);
}

TEST_F(Pools, BaseSpreadsItsSubExplosionsAndFreesThemWhenDone)
{
    const _bomScnTable cue = Cue(0);
    ASSERT_TRUE(_callBom(&cue.bomParam, 3, 0));  // 16 sub-explosions, 16 frames
    _bomBase &b = _bomBaseWorkP[0];
    ASSERT_EQ(b._bomBaseOneCnt, 16);
    // Four rings: sector 1 is tilted to 45 degrees of heading.
    EXPECT_FLOAT_EQ(b._bomBaseOneP[4]._rotate.y, 45.0f);
    EXPECT_FLOAT_EQ(b._bomBaseOneP[12]._rotate.y, 315.0f);
    EXPECT_FLOAT_EQ(b._bomBaseOneP[0]._transMov.z, -60.0f);
    for (long f = 1; f <= 16; f++) {
        _bomOldFramePos = f - 1;
        _bomNowFramePos = f;
        _bomRun();
    }
    EXPECT_EQ(Bases(), 0);
    EXPECT_EQ(b._bomBaseOneP, nullptr);
    EXPECT_GT(Playing(), 0);
}

TEST(BomQuad, SpriteFacesTheScreenAndIsCulledBehindTheEye)
{
    D3DMATRIX m{};
    m._11 = m._22 = m._33 = 1.0f;
    m._34 = 1.0f;  // w = z
    _bomOne o{};
    o._trans.z = 10.0f;
    o._param._scale = 2.0f;
    o._param._alpha = 300;
    _bomVertex v[4];
    ASSERT_TRUE(sBomSpriteQuad(&o, &m, 640.0f, 480.0f, 100.0f, v));
    EXPECT_FLOAT_EQ(v[0].x, 320.0f - 20.0f);
    EXPECT_FLOAT_EQ(v[3].y, 240.0f + 20.0f);
    EXPECT_EQ(v[0].color >> 24, 255u);
    EXPECT_EQ(v[3].tu, 1.0f);
    o._trans.z = 0.00001f;
    EXPECT_FALSE(sBomSpriteQuad(&o, &m, 640.0f, 480.0f, 100.0f, v));
}

// The demo's tables played frame by frame: every cue goes off on its own frame (a free base is
// there), and the blasts never ask for more sprites than the pool holds.
TEST_F(Pools, DemoTablesFireOnTimeWithinThePools)
{
    for (long t = 1; t <= 4; t++)
        for (const _bomScnAll *all : {gBomScnAllTbl, gBomScnAllTblL}) {
            const _bomScnAll &tbl = all[t];
            BomSceneInit(&tbl);
            long last = 0, peak = 0;
            for (long c = 0; c < tbl.cnt; c++)
                last = tbl.tblP[c].frameCnt > last ? tbl.tblP[c].frameCnt : last;
            for (long f = 0; f <= last + 80; f++) {
                BomSceneExec(f, &tbl);
                for (long c = 0; c < tbl.cnt; c++)
                    if (tbl.tblP[c].frameCnt == f) {
                        EXPECT_EQ(_bomCallStatusP[c], 1) << "table " << t << " cue " << c << " waits";
                    }
                peak = Playing() > peak ? Playing() : peak;
            }
            EXPECT_LT(peak, BOM_ONE_MAX) << "table " << t << " runs out of sprites";
            EXPECT_EQ(Bases(), 0) << "table " << t << " still burning 80 frames after its last cue";
            BomSceneExit(&tbl);
        }
}
