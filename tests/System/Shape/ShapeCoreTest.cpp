#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "Library/Matrix/MATLIB.h"
#include "System/Shape/ShapeCore.h"

namespace {

D3DVECTOR V(float aX, float aY, float aZ)
{
    D3DVECTOR v;
    v.x = aX, v.y = aY, v.z = aZ;
    return v;
}

D3DMATRIX Unit()
{
    D3DMATRIX m;
    sMatrixCreateUnit(&m);
    return m;
}

// (p, 1) x m divided by w.
D3DVECTOR Project(const D3DMATRIX &aM, const D3DVECTOR &aP)
{
    const float x = aP.x * aM._11 + aP.y * aM._21 + aP.z * aM._31 + aM._41;
    const float y = aP.x * aM._12 + aP.y * aM._22 + aP.z * aM._32 + aM._42;
    const float z = aP.x * aM._13 + aP.y * aM._23 + aP.z * aM._33 + aM._43;
    const float w = aP.x * aM._14 + aP.y * aM._24 + aP.z * aM._34 + aM._44;
    return V(x / w, y / w, z / w);
}

TEST(ShapeStatus, ShadowOptionsMakeCastersAndLitShapes)
{
    const struct {
        uint32_t status, option, result;
    } rows[] = {
        {0x00, 0x2, 0x04}, {0x20, 0x2, 0x20},  // texture-shadow casters stay out of the maps
        {0x02, 0x2, 0x02}, {0x00, 0x4, 0x08},  {0x22, 0x6, 0x2A}, {0x10, 0x0, 0x10},
    };
    for (const auto &r : rows)
        EXPECT_EQ(r.result, sShapeStatusWithOptions(r.status, r.option)) << std::hex << r.status << "/" << r.option;
}

TEST(ShapeBox, CornersInTheStatedOrder)
{
    _shapeDef def = {};
    def.minX = -1, def.minY = -2, def.minZ = -3;
    def.maxX = 4, def.maxY = 5, def.maxZ = 6;
    D3DVECTOR box[8];
    sShapeBoxCorners(&def, box);
    const float want[8][3] = {{-1, 5, 6},  {4, 5, 6},  {-1, 5, -3},  {4, 5, -3},
                              {-1, -2, 6}, {4, -2, 6}, {-1, -2, -3}, {4, -2, -3}};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(want[i][0], box[i].x) << i;
        EXPECT_EQ(want[i][1], box[i].y) << i;
        EXPECT_EQ(want[i][2], box[i].z) << i;
    }
}

TEST(ShapeReceive, PlaneOfTheFirstThreeVertices)
{
    _vertexDef v[3] = {};
    v[0].vx = 0, v[0].vz = 0;
    v[1].vx = 2, v[1].vz = 0;
    v[2].vx = 0, v[2].vz = -2;
    v[0].vy = v[1].vy = v[2].vy = 1.5f;
    _primVertexDefSet set = {3, v, 0x212, nullptr, 0, 0, nullptr};
    _abilityDef abl = {};
    abl.vertexDefSetNum = 1;
    abl.vertexDefSetP = &set;
    _abilityDef *abls[1] = {&abl};
    _shapeDef def = {};
    def.abilityDefNum = 1;
    def.abilityDefP = abls;

    ShadowReceive r;
    ASSERT_EQ(0, sShapeReceivePlane(&def, &r));
    // (1, 0, 0) x (-0.707, 0, -0.707): the plane faces up.
    EXPECT_NEAR(0.0f, r.normal.x, 1e-6f);
    EXPECT_NEAR(std::sqrt(0.5f), r.normal.y, 1e-6f);
    EXPECT_NEAR(0.0f, r.normal.z, 1e-6f);
    EXPECT_EQ(1.5f, r.pos.y);

    set.vertexNum = 2;
    EXPECT_EQ(-1, sShapeReceivePlane(&def, &r));
    set.vertexNum = 3;
    abls[0] = nullptr;
    EXPECT_EQ(-1, sShapeReceivePlane(&def, &r));
    def.abilityDefNum = 0;
    EXPECT_EQ(-1, sShapeReceivePlane(&def, &r));
    EXPECT_EQ(-1, sShapeReceivePlane(nullptr, &r));
}

TEST(ShapeShadowMatrix, FlattensAlongTheLineFromTheLight)
{
    const float plane[4] = {0, 1, 0, 0};
    const float light[4] = {0, 10, 0, 1};
    D3DMATRIX m;
    _createShadowMatrix(&m, plane, light);
    const D3DVECTOR p = Project(m, V(1, 5, 0));
    EXPECT_NEAR(2.0f, p.x, 1e-6f);
    EXPECT_NEAR(0.0f, p.y, 1e-6f);
    EXPECT_NEAR(0.0f, p.z, 1e-6f);

    // A tilted plane through (0, 1, 0): every flattened point lies on it, on the light's line.
    const float n[3] = {0.0f, std::sqrt(0.5f), std::sqrt(0.5f)};
    const float tilted[4] = {n[0], n[1], n[2], -n[1]};
    const float lamp[4] = {3, 12, 2, 1};
    _createShadowMatrix(&m, tilted, lamp);
    const D3DVECTOR pts[] = {V(1, 4, -1), V(-2, 3, 0.5f), V(0.5f, 6, -3)};
    for (const D3DVECTOR &q : pts) {
        const D3DVECTOR s = Project(m, q);
        EXPECT_NEAR(0.0f, s.x * n[0] + s.y * n[1] + s.z * n[2] + tilted[3], 1e-4f);
        // s - lamp is parallel to q - lamp.
        const D3DVECTOR a = V(s.x - lamp[0], s.y - lamp[1], s.z - lamp[2]);
        const D3DVECTOR b = V(q.x - lamp[0], q.y - lamp[1], q.z - lamp[2]);
        EXPECT_NEAR(0.0f, a.y * b.z - a.z * b.y, 1e-3f);
        EXPECT_NEAR(0.0f, a.z * b.x - a.x * b.z, 1e-3f);
    }
}

TEST(ShapeShadowMatrix, WorldPlaneMovesThePointNotTheNormal)
{
    ShadowReceive r = {V(0, 1, 0), V(0, 2, 0)};
    D3DMATRIX w = Unit();
    sMatrixTranslate(&w, 5, -1, 0);
    float plane[4];
    sShapeWorldPlane(&r, &w, plane);
    EXPECT_EQ(0.0f, plane[0]);
    EXPECT_EQ(1.0f, plane[1]);
    EXPECT_EQ(-1.0f, plane[3]);  // y = 1
}

TEST(ShapeBillboard, KeepsRollAndScaleAndFacesTheCamera)
{
    // The object: scale 2, turned 30 degrees about Y, rolled 20 degrees, at (3, 1, 4).
    D3DMATRIX world = Unit();
    sMatrixScale(&world, 2, 2, 2);
    sMatrixRotateXYZ(&world, 0, 30, 20);
    sMatrixTranslate(&world, 3, 1, 4);
    // A camera turned 40 degrees about Y and 10 about X.
    D3DMATRIX cam = Unit();
    sMatrixRotateXYZ(&cam, 10, 40, 0);
    sMatrixTranslate(&cam, -5, 2, -8);
    D3DMATRIX view;
    ASSERT_EQ(0, sMatrixInvert(&cam, &view));

    const float roll = 20.0f;
    D3DMATRIX b;
    sShapeBillboardMatrix(&world, &view, roll, &b);
    EXPECT_NEAR(3.0f, b._41, 1e-4f);
    EXPECT_NEAR(1.0f, b._42, 1e-4f);
    EXPECT_NEAR(4.0f, b._43, 1e-4f);
    // In camera space only the roll and the scale remain.
    D3DMATRIX bv, want = Unit();
    sMatrixMul(&b, &view, &bv);
    sMatrixRotateZ(&want, roll);
    sMatrixScale(&want, 2, 2, 2);
    const float *g = &bv._11, *e = &want._11;
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            EXPECT_NEAR(e[row * 4 + col], g[row * 4 + col], 1e-4f) << row << "," << col;
}

ShapeEffect Moving(uint32_t aRate, uint32_t aCnt)
{
    ShapeEffect e;
    std::memset(&e, 0, sizeof e);
    e.blurFrameRate = aRate;
    e.blurCnt = aCnt;
    // The object moved 1 along x every frame: entry i is where it stood i + 1 frames ago.
    for (int i = 0; i < SHAPE_SAVE_STAT_NUM; ++i) {
        e.saveStat[i].tx = -(float)(i + 1);
        e.saveStat[i].sx = e.saveStat[i].sy = e.saveStat[i].sz = 1.0f;
    }
    return e;
}

TEST(ShapeBlur, HistoryEntriesEveryRateFrames)
{
    const D3DVECTOR cur = V(0, 0, 0);
    const struct {
        uint32_t rate, cnt;
        std::vector<long> idx;
    } rows[] = {
        {2, 4, {1, 3, 5, 7}},
        {1, 3, {0, 1, 2}},
        {10, 5, {9, 19, 29}},  // the history ends at 32 entries
        {0, 4, {}},
    };
    for (const auto &r : rows) {
        const ShapeEffect e = Moving(r.rate, r.cnt);
        long idx[SHAPE_SAVE_STAT_NUM];
        const long n = sShapeBlurHistory(&e, &cur, idx);
        ASSERT_EQ((long)r.idx.size(), n) << r.rate << "/" << r.cnt;
        for (long i = 0; i < n; ++i)
            EXPECT_EQ(r.idx[i], idx[i]);
    }
}

TEST(ShapeBlur, HistoryStopsWhereTheObjectRestsOrTheHistoryEnds)
{
    const D3DVECTOR cur = V(0, 0, 0);
    long idx[SHAPE_SAVE_STAT_NUM];
    ShapeEffect e = Moving(2, 4);
    e.saveStat[5].tx = 0.0f;  // five frames ago it stood where it stands now
    EXPECT_EQ(2, sShapeBlurHistory(&e, &cur, idx));
    e = Moving(2, 4);
    e.saveStat[3].sy = 0.0f;  // not yet recorded
    EXPECT_EQ(1, sShapeBlurHistory(&e, &cur, idx));
    e = Moving(2, 4);
    for (auto &s : e.saveStat)
        s.tx = 0.0f;  // never moved
    EXPECT_EQ(0, sShapeBlurHistory(&e, &cur, idx));
}

TEST(ShapeBlur, InterpolatedCopiesRunFromThePreviousPlace)
{
    ShapeEffect e = Moving(0, 4);
    D3DVECTOR t[SHAPE_SAVE_STAT_NUM];
    // Previous place (entry 1) at x = -2, now at x = 2: steps of 1.
    const D3DVECTOR cur = V(2, 0, 0);
    ASSERT_EQ(4, sShapeBlurInterp(&e, &cur, t));
    EXPECT_FLOAT_EQ(1.0f, t[0].x);
    EXPECT_FLOAT_EQ(0.0f, t[1].x);
    EXPECT_FLOAT_EQ(-1.0f, t[2].x);
    EXPECT_FLOAT_EQ(-2.0f, t[3].x);

    const D3DVECTOR rest = V(-2, 0, 0);
    EXPECT_EQ(0, sShapeBlurInterp(&e, &rest, t));
    e.saveStat[1].sz = 0.0f;
    EXPECT_EQ(0, sShapeBlurInterp(&e, &cur, t));
}

TEST(ShapeBlur, SaveStateShiftsTheHistory)
{
    ShapeEffect e;
    std::memset(&e, 0, sizeof e);
    for (int k = 1; k <= 40; ++k) {
        D3DMATRIX w = Unit();
        sMatrixTranslate(&w, (float)k, 0, 0);
        sShapeSaveState(&e, &w);
    }
    EXPECT_EQ(40.0f, e.saveStat[0].tx);
    EXPECT_EQ(9.0f, e.saveStat[31].tx);
    EXPECT_NEAR(1.0f, e.saveStat[31].sx, 1e-6f);
    EXPECT_EQ((uint32_t)SHAPE_SAVE_STAT_NUM, e.saveCnt);
}

TEST(ShapeGlow, CopiesGrowToTheScaleAndFade)
{
    ShapeEffect e;
    std::memset(&e, 0, sizeof e);
    e.glowCnt = 4;
    e.glowScale = 1.4f;
    e.glowColor.a = 0.8f;
    const float scale[4] = {1.1f, 1.2f, 1.3f, 1.4f}, alpha[4] = {0.8f, 0.6f, 0.4f, 0.2f};
    float s, a;
    EXPECT_FALSE(sShapeGlowCopy(&e, 0, &s, &a));
    for (long k = 1; k <= 4; ++k) {
        ASSERT_TRUE(sShapeGlowCopy(&e, k, &s, &a));
        EXPECT_FLOAT_EQ(scale[k - 1], s);
        EXPECT_FLOAT_EQ(alpha[k - 1], a);
    }
    EXPECT_FALSE(sShapeGlowCopy(&e, 5, &s, &a));
    e.glowCnt = 0;
    EXPECT_FALSE(sShapeGlowCopy(&e, 1, &s, &a));
}

}  // namespace
