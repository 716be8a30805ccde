// Coordinate hierarchy, view and projection builders, decompositions.

#include "Common/DrawLink.h"
#include "../Maths/MathsTestUtil.h"

#include "Library/Coord/COORDLIB.h"

using namespace mtest;

namespace {

bool sameBits(const D3DMATRIX &aA, const D3DMATRIX &aB)
{
    return memcmp(&aA, &aB, sizeof aA) == 0;
}

D3DMATRIX unit()
{
    D3DMATRIX m;
    sMatrixCreateUnit(&m);
    return m;
}

_stat3d stat(float aTx, float aTy, float aTz, float aRx, float aRy, float aRz, float aSx, float aSy,
             float aSz)
{
    return {aTx, aTy, aTz, aRx, aRy, aRz, aSx, aSy, aSz};
}

// S × R(type) × T in double.
DMat localRef(int aType, const _stat3d &aS)
{
    static const int order[4][3] = {{0, 1, 2}, {2, 1, 0}, {1, 0, 2}, {0, 2, 1}};
    const double angle[3] = {aS.rx, aS.ry, aS.rz};
    DMat m = dscale(aS.sx, aS.sy, aS.sz);
    if (aType >= 0 && aType <= 3)
        for (int axis : order[aType])
            m = dmul(m, drot(axis, angle[axis]));
    return dmul(m, dtranslate(aS.tx, aS.ty, aS.tz));
}

// Angles equal modulo 360.
double angleDiff(double aA, double aB)
{
    const double d = std::fmod(std::fabs(aA - aB), 360.0);
    return std::fmin(d, 360.0 - d);
}

D3DMATRIX gCameraView;
bool gHaveCamera;
long getView(D3DMATRIX *aMatP)
{
    if (!gHaveCamera)
        return 0;
    *aMatP = gCameraView;
    return 1;
}
D3DMATRIX gDeviceView;
int gDeviceViewCalls;
void setViewTransform(const D3DMATRIX *aMatP)
{
    gDeviceView = *aMatP;
    gDeviceViewCalls++;
}

} // namespace

class CoordTree : public VariantTest {
protected:
    void SetUp() override
    {
        VariantTest::SetUp();
        drawManLink = {};
        gHaveCamera = false;
        gDeviceViewCalls = 0;
    }
    void TearDown() override
    {
        drawManLink = {};
        VariantTest::TearDown();
    }
    // A node with a state, its local matrix built and updated (clean).
    void Place(_coord *aC, _coord *aSuperP, const _stat3d &aS)
    {
        sCoordInit(aSuperP, aC);
        aC->nowStat = aS;
        sCoordMakeLocalMatrixAuto(aC);
        sCoordUpdate(aC);
    }
};

TEST_P(CoordTree, FreshNodeIsIdentityWithUnitScaleAndDirty)
{
    _coord parent, c;
    memset(&c, 0xA5, sizeof c);
    sCoordInit(&parent, &c);
    EXPECT_TRUE(sameBits(c.local, unit()));
    EXPECT_TRUE(sameBits(c.world, unit()));
    EXPECT_TRUE(sameBits(c.view, unit()));
    EXPECT_EQ(c.superP, &parent);
    EXPECT_EQ(c.nextP, nullptr);
    EXPECT_EQ(c.flg, COORD_FLG_DIRTY);
    EXPECT_EQ(c.type, 0);
    const _stat3d now = stat(0, 0, 0, 0, 0, 0, 1, 1, 1), zero = {};
    EXPECT_EQ(memcmp(&c.nowStat, &now, sizeof now), 0);
    EXPECT_EQ(memcmp(&c.movStat, &zero, sizeof zero), 0);
}

TEST_P(CoordTree, UpdateOfACleanNodeChangesNothingEvenIfItsParentMoved)
{
    _coord p, c;
    Place(&p, nullptr, stat(1, 2, 3, 10, 20, 30, 1, 1, 1));
    Place(&c, &p, stat(4, 5, 6, 0, 45, 0, 2, 2, 2));
    const _coord before = c;
    p.nowStat.tx = 100;
    sCoordMakeLocalMatrixAuto(&p);
    sCoordUpdate(&p);
    sCoordUpdate(&c);
    EXPECT_EQ(memcmp(&c, &before, sizeof c), 0);
}

TEST_P(CoordTree, DirtyChildOfACleanParentComposesWithItsWorldAndView)
{
    gHaveCamera = true;
    gCameraView = unit();
    sMatrixTranslate(&gCameraView, 0, 0, 50);
    drawManLink.getViewMatrixP = getView;
    _coord p, c;
    Place(&p, nullptr, stat(1, 2, 3, 10, 20, 30, 1, 2, 1));
    Place(&c, &p, stat(4, 5, 6, 0, 45, 0, 2, 2, 2));
    EXPECT_EQ(c.flg & COORD_FLG_DIRTY, 0);
    EXPECT_LE(maxDiff(p.view, dmul(dmat(p.local), dmat(gCameraView))), 1e-4)
        << "root: local × camera";
    EXPECT_LE(maxDiff(c.world, dmul(dmat(c.local), dmat(p.world))), 1e-4);
    EXPECT_LE(maxDiff(c.view, dmul(dmat(c.local), dmat(p.view))), 1e-4);

    gHaveCamera = false; // no camera: a root's view is its world
    sCoordMakeLocalMatrixAuto(&p);
    sCoordUpdate(&p);
    EXPECT_TRUE(sameBits(p.view, p.world));
}

TEST_P(CoordTree, DirtyParentContributesItsLocalAndKeepsItsOwnMatrices)
{
    _coord g, p, c;
    Place(&g, nullptr, stat(10, 0, 0, 0, 90, 0, 1, 1, 1));
    Place(&p, &g, stat(0, 5, 0, 30, 0, 0, 1, 1, 1));
    p.nowStat.tz = 7; // moved, not yet updated
    sCoordMakeLocalMatrixAuto(&p);
    const D3DMATRIX pWorld = p.world, pView = p.view;
    sCoordInit(&p, &c);
    c.nowStat = stat(1, 1, 1, 0, 0, 15, 3, 3, 3);
    sCoordMakeLocalMatrixAuto(&c);
    sCoordUpdate(&c);
    EXPECT_LE(maxDiff(c.world, dmul(dmul(dmat(c.local), dmat(p.local)), dmat(g.world))), 1e-4);
    EXPECT_LE(maxDiff(c.view, dmul(dmul(dmat(c.local), dmat(p.local)), dmat(g.view))), 1e-4);
    EXPECT_TRUE(sameBits(p.world, pWorld));
    EXPECT_TRUE(sameBits(p.view, pView));
    EXPECT_NE(p.flg & COORD_FLG_DIRTY, 0);
}

TEST_P(CoordTree, LocalMatrixIsScaleRotationTranslationInTheTypesOrder)
{
    Rand rnd(59);
    for (int type : {0, 1, 2, 3, 4, -1}) {
        for (int i = 0; i < 50; i++) {
            const _stat3d s = stat(rnd.Next(-50, 50), rnd.Next(-50, 50), rnd.Next(-50, 50),
                                   rnd.Next(0, 360), rnd.Next(0, 360), rnd.Next(0, 360),
                                   rnd.Next(0.1f, 4), rnd.Next(0.1f, 4), rnd.Next(0.1f, 4));
            _coord c;
            sCoordInit(nullptr, &c);
            c.type = static_cast<int16_t>(type);
            c.flg = 0;
            sCoordMakeLocalMatrix(&c, &s);
            ASSERT_LE(maxDiff(c.local, localRef(type, s)), 2e-4) << "type " << type;
            ASSERT_EQ(c.flg, COORD_FLG_DIRTY);
        }
    }
}

TEST_P(CoordTree, GetGlobalMatrixWalksUpToTheRequestedLevel)
{
    gHaveCamera = true;
    gCameraView = unit();
    sMatrixRotateY(&gCameraView, 30);
    drawManLink.getViewMatrixP = getView;
    const _stat3d states[4] = {stat(1, 0, 0, 0, 0, 10, 1, 1, 1), stat(0, 2, 0, 20, 0, 0, 2, 2, 2),
                               stat(0, 0, 3, 0, 30, 0, 1, 1, 1), stat(4, 4, 4, 5, 5, 5, 1, 1, 1)};
    const struct {
        long level;
        int nodes; // how many nodes, from the child up, take part
        bool camera;
    } cases[] = {{0, 4, false}, {-1, 4, true}, {-2, 4, false}, {1, 2, false},
                 {2, 3, false}, {3, 4, false}, {10, 4, false}};
    for (const auto &c : cases) {
        // root <- a <- b <- child, every local stale (identity) and every node clean
        _coord n[4];
        for (int i = 3; i >= 0; i--) {
            sCoordInit(i == 3 ? nullptr : &n[i + 1], &n[i]);
            n[i].nowStat = states[i];
            n[i].flg = 0;
        }
        D3DMATRIX out;
        sCoordGetGlobalMatrix(&n[0], &out, c.level);
        DMat ref = didentity();
        for (int i = 0; i < c.nodes; i++)
            ref = dmul(ref, localRef(0, states[i]));
        if (c.camera)
            ref = dmul(ref, dmat(gCameraView));
        EXPECT_LE(maxDiff(out, ref), 1e-4) << "level " << c.level;
        for (int i = 0; i < 4; i++) {
            const bool visited = i < c.nodes;
            EXPECT_EQ(n[i].flg & COORD_FLG_DIRTY, visited ? COORD_FLG_DIRTY : 0)
                << c.level << " node " << i;
            EXPECT_EQ(sameBits(n[i].local, unit()), !visited) << c.level << " node " << i;
        }
    }
}

TEST_P(CoordTree, StandByUpdateBringsTheViewNodeUpAndLoadsTheDeviceView)
{
    _coord *viewP = nullptr;
    _coord viewRec, worldRec;
    drawManLink.viewPP = &viewP;
    drawManLink.worldRecP = &worldRec;
    drawManLink.setViewTransformP = setViewTransform;

    sCoordStandByUpdate(); // no view node yet: nothing happens
    EXPECT_EQ(gDeviceViewCalls, 0);

    memset(&worldRec, 0xA5, sizeof worldRec);
    sCoordInitWorld();
    EXPECT_TRUE(sameBits(worldRec.world, unit()));
    EXPECT_EQ(worldRec.superP, nullptr);
    sCoordInitView(&viewRec);
    EXPECT_EQ(viewP, &viewRec);

    viewRec.movStat = stat(0, 0, -5, 0, 370, 0, 0, 0, 0);
    sCoordStandByUpdate();
    EXPECT_FLOAT_EQ(viewRec.nowStat.tz, -5);
    EXPECT_NEAR(viewRec.nowStat.ry, 10, 1e-4);
    EXPECT_EQ(viewRec.flg & COORD_FLG_DIRTY, 0);
    EXPECT_LE(maxDiff(viewRec.world, localRef(0, viewRec.nowStat)), 1e-5);
    EXPECT_EQ(gDeviceViewCalls, 1);
    EXPECT_TRUE(sameBits(gDeviceView, unit())); // no camera

    gHaveCamera = true;
    gCameraView = unit();
    sMatrixTranslate(&gCameraView, 1, 2, 3);
    drawManLink.getViewMatrixP = getView;
    sCoordStandByUpdate();
    EXPECT_TRUE(sameBits(gDeviceView, gCameraView));

    drawManLink.setViewTransformP = nullptr; // no device: the node is still brought up to date
    viewRec.movStat.tx = 1;
    sCoordStandByUpdate();
    EXPECT_FLOAT_EQ(viewRec.nowStat.tx, 1);
    EXPECT_EQ(gDeviceViewCalls, 2);

    _coord other;
    sCoordInit(nullptr, &other);
    sCoordSetView(&other);
    EXPECT_EQ(viewP, &other);
}

MTEST_INSTANTIATE_VARIANTS(CoordTree);

TEST(CoordUpdateStat, AddsTheStepWrapsAnglesAndClearsTheStep)
{
    const struct {
        float now, mov, out; // applied to every angle
    } angles[] = {{350, 20, 10}, {10, -20, 350}, {0, 720, 0}, {359, 0.5f, 359.5f}};
    for (const auto &a : angles) {
        _coord c;
        sCoordInit(nullptr, &c);
        c.nowStat = stat(1, 2, 3, a.now, a.now, a.now, 1, 1, 1);
        c.movStat = stat(0.5f, -2, 10, a.mov, a.mov, a.mov, 0.25f, -0.5f, 1);
        sCoordUpdateStat(&c);
        const _stat3d want = stat(1.5f, 0, 13, a.out, a.out, a.out, 1.25f, 0.5f, 2), zero = {};
        const float *got = &c.nowStat.tx, *exp = &want.tx;
        for (int i = 0; i < 9; i++)
            EXPECT_NEAR(got[i], exp[i], 1e-4) << a.now << " + " << a.mov << " field " << i;
        EXPECT_EQ(memcmp(&c.movStat, &zero, sizeof zero), 0);
    }
}

// ---------------------------------------------------------------------------------------------
// Projection and view builders

TEST(CoordProjection, RefusesDegeneratePlanesAndAngles)
{
    const struct {
        float fov, nearZ, farZ;
    } bad[] = {{1.0f, 5, 5},   {1.0f, 5, 5.009f}, {1.0f, 5.009f, 5},
               {0.0f, 1, 100}, {0.01f, 1, 100},   {static_cast<float>(2 * kPi), 1, 100}};
    for (const auto &b : bad) {
        D3DMATRIX m;
        memset(&m, 0xA5, sizeof m);
        const D3DMATRIX before = m;
        EXPECT_EQ(sCoordSetProjectionMatrix(&m, b.fov, 1, b.nearZ, b.farZ), E_INVALIDARG) << b.fov;
        EXPECT_TRUE(sameBits(m, before));
    }
}

TEST(CoordProjection, BuildsTheLeftHandedPerspective)
{
    D3DMATRIX m;
    memset(&m, 0xA5, sizeof m);
    ASSERT_EQ(sCoordSetProjectionMatrix(&m, static_cast<float>(kPi / 2), 1, 1, 101), 0);
    DMat want = {};
    want.e[0][0] = 1;
    want.e[1][1] = 1;
    want.e[2][2] = 1.01;
    want.e[2][3] = 1;
    want.e[3][2] = -1.01;
    EXPECT_LE(maxDiff(m, want), 1e-6);

    ASSERT_EQ(sCoordSetProjectionMatrix(&m, static_cast<float>(kPi / 3), 0.75f, 2, 50), 0);
    EXPECT_NEAR(m._22, std::sqrt(3.0), 1e-6);
    EXPECT_NEAR(m._11, 0.75 * std::sqrt(3.0), 1e-6);
    EXPECT_NEAR(m._43, -50.0 / 48 * 2, 1e-6);
}

class CoordViewMatrix : public VariantTest {
protected:
    // Eye to the origin, look-at onto +z, an orthonormal basis.
    void ExpectLookAt(const D3DMATRIX &aM, const D3DVECTOR &aEye, const D3DVECTOR &aAt)
    {
        D3DVECTOR e, a;
        sMatrixApplyVectorNormal(&aM, &aEye, &e);
        sMatrixApplyVectorNormal(&aM, &aAt, &a);
        const double dist = std::sqrt(double(aAt.x - aEye.x) * (aAt.x - aEye.x) +
                                      double(aAt.y - aEye.y) * (aAt.y - aEye.y) +
                                      double(aAt.z - aEye.z) * (aAt.z - aEye.z));
        EXPECT_NEAR(e.x, 0, 1e-4);
        EXPECT_NEAR(e.y, 0, 1e-4);
        EXPECT_NEAR(e.z, 0, 1e-4);
        EXPECT_NEAR(a.x, 0, 1e-4);
        EXPECT_NEAR(a.y, 0, 1e-4);
        EXPECT_NEAR(a.z, dist, 1e-4 * dist);
        const DMat d = dmat(aM);
        const DMat gram = dmul(d, [&] {
            DMat t = d; // transpose of the rotation part
            for (int i = 0; i < 3; i++)
                for (int j = 0; j < 3; j++)
                    t.e[i][j] = d.e[j][i];
            for (int i = 0; i < 4; i++)
                t.e[3][i] = t.e[i][3] = 0;
            t.e[3][3] = 1;
            return t;
        }());
        for (int i = 0; i < 3; i++)
            for (int j = 0; j < 3; j++)
                EXPECT_NEAR(gram.e[i][j], i == j ? 1 : 0, 1e-5);
        EXPECT_EQ(aM._14, 0.0f);
        EXPECT_EQ(aM._24, 0.0f);
        EXPECT_EQ(aM._34, 0.0f);
        EXPECT_EQ(aM._44, 1.0f);
    }
};

TEST_P(CoordViewMatrix, LooksFromEyeToLookAtWithUpKeptUp)
{
    const D3DVECTOR eye = vec(3, 4, -10), at = vec(-2, 1, 6), up = vec(0, 1, 0);
    D3DMATRIX m;
    ASSERT_EQ(sCoordSetViewMatrix(&m, &eye, &at, &up), 0);
    ExpectLookAt(m, eye, at);
    D3DVECTOR above = vec(eye.x, eye.y + 1, eye.z), v;
    sMatrixApplyVectorNormal(&m, &above, &v);
    EXPECT_GT(v.y, 0.9f);   // up stays on screen-up
    EXPECT_GT(m._11, 0.9f); // +x of the world is to the right when looking along +z
}

TEST_P(CoordViewMatrix, UpParallelToTheViewFallsBackToYThenZ)
{
    const struct {
        D3DVECTOR eye, at, up, wantUp;
        const char *what;
    } cases[] = {
        {vec(0, 0, 0), vec(5, 0, 0), vec(2, 0, 0), vec(0, 1, 0), "up along the view: world Y"},
        {vec(0, 0, 0), vec(5, 0, 0), vec(0, 0, 0), vec(0, 1, 0), "no up at all: world Y"},
        {vec(1, 1, 1), vec(1, 9, 1), vec(0, 1, 0), vec(0, 0, 1), "looking along Y: world Z"},
        {vec(1, 1, 1), vec(1, -9, 1), vec(0, -3, 0), vec(0, 0, 1), "looking down: world Z"},
    };
    for (const auto &c : cases) {
        D3DMATRIX m;
        ASSERT_EQ(sCoordSetViewMatrix(&m, &c.eye, &c.at, &c.up), 0) << c.what;
        EXPECT_NEAR(m._12, c.wantUp.x, 1e-5) << c.what;
        EXPECT_NEAR(m._22, c.wantUp.y, 1e-5) << c.what;
        EXPECT_NEAR(m._32, c.wantUp.z, 1e-5) << c.what;
        ExpectLookAt(m, c.eye, c.at);
    }
}

TEST_P(CoordViewMatrix, EyeOnTheLookAtPointIsRefused)
{
    const D3DVECTOR eye = vec(1, 2, 3), up = vec(0, 1, 0);
    const D3DVECTOR near1 = vec(1, 2, 3.0000001f);
    D3DMATRIX m;
    memset(&m, 0xA5, sizeof m);
    const D3DMATRIX before = m;
    EXPECT_EQ(sCoordSetViewMatrix(&m, &eye, &eye, &up), E_INVALIDARG);
    EXPECT_EQ(sCoordSetViewMatrix(&m, &eye, &near1, &up), E_INVALIDARG);
    EXPECT_TRUE(sameBits(m, before));
}

MTEST_INSTANTIATE_VARIANTS(CoordViewMatrix);

// ---------------------------------------------------------------------------------------------
// Decompositions

class CoordDecomposition : public VariantTest {
protected:
    double AngleTol() const { return variant() == MathsVariant3DNow ? 0.05 : 2e-3; }
};

TEST_P(CoordDecomposition, ReturnsTheStateOfATypeZeroLocalMatrix)
{
    int checked = 0;
    for (float rx = 0; rx < 360; rx += 35)
        for (float ry = -80; ry <= 80; ry += 20)
            for (float rz = 5; rz < 360; rz += 50)
                for (const D3DVECTOR &s : {vec(1, 1, 1), vec(0.5f, 2, 3.5f), vec(4, 0.25f, 1)}) {
                    _coord c;
                    sCoordInit(nullptr, &c);
                    const _stat3d in = stat(12.5f, -3, 0.25f, rx, ry, rz, s.x, s.y, s.z);
                    sCoordMakeLocalMatrix(&c, &in);
                    _stat3d out;
                    sCoordDecomposition(&c.local, &out);
                    ASSERT_EQ(out.tx, in.tx);
                    ASSERT_EQ(out.ty, in.ty);
                    ASSERT_EQ(out.tz, in.tz);
                    ASSERT_NEAR(out.sx, in.sx, 2e-6 * in.sx);
                    ASSERT_NEAR(out.sy, in.sy, 2e-6 * in.sy);
                    ASSERT_NEAR(out.sz, in.sz, 2e-6 * in.sz);
                    ASSERT_LE(angleDiff(out.rx, rx), AngleTol()) << rx << " " << ry << " " << rz;
                    ASSERT_LE(angleDiff(out.ry, ry), AngleTol()) << rx << " " << ry << " " << rz;
                    ASSERT_LE(angleDiff(out.rz, rz), AngleTol()) << rx << " " << ry << " " << rz;
                    for (float a : {out.rx, out.ry, out.rz}) {
                        ASSERT_GE(a, 0.0f);
                        ASSERT_LT(a, 360.0f);
                    }
                    checked++;
                }
    EXPECT_GT(checked, 1000);
}

TEST_P(CoordDecomposition, AnglesBeyondNinetyGiveAnEquivalentRotation)
{
    for (float ry : {90.0f, 100.0f, 180.0f, 225.0f, 270.0f})
        for (float rx : {0.0f, 40.0f, 200.0f})
            for (float rz : {0.0f, 70.0f, 300.0f}) {
                _coord c;
                sCoordInit(nullptr, &c);
                const _stat3d in = stat(0, 0, 0, rx, ry, rz, 2, 1, 0.5f);
                sCoordMakeLocalMatrix(&c, &in);
                _stat3d out;
                sCoordDecomposition(&c.local, &out);
                ASSERT_LE(maxDiff(c.local, localRef(0, out)),
                          variant() == MathsVariant3DNow ? 2e-3 : 1e-4)
                    << rx << " " << ry << " " << rz;
            }
}

TEST_P(CoordDecomposition, PartialDecompositionsMatchTheWhole)
{
    _coord c;
    sCoordInit(nullptr, &c);
    const _stat3d in = stat(1, 2, 3, 15, 25, 35, 1.5f, 2.5f, 3.5f);
    sCoordMakeLocalMatrix(&c, &in);
    _stat3d all;
    D3DVECTOR angle, scale;
    sCoordDecomposition(&c.local, &all);
    sCoordRotXYZDecomposition(&c.local, &angle);
    sCoordScaleDecomposition(&c.local, &scale);
    EXPECT_EQ(bits(angle.x), bits(all.rx));
    EXPECT_EQ(bits(angle.y), bits(all.ry));
    EXPECT_EQ(bits(angle.z), bits(all.rz));
    EXPECT_EQ(bits(scale.x), bits(all.sx));
    EXPECT_EQ(bits(scale.y), bits(all.sy));
    EXPECT_EQ(bits(scale.z), bits(all.sz));
}

MTEST_INSTANTIATE_VARIANTS(CoordDecomposition);
