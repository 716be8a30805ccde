#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "Library/Matrix/MATLIB.h"
#include "System/Primitive/PrimitiveCore.h"

namespace {

const float kPi = 3.14159265359f;

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

// The buffers are sized with the vertex size and walked with the layout: every format the
// layout accepts must give both the same size, or a fill or an update runs short or past the end.
TEST(PrimStructSize, AgreesWithTheLayoutOnEveryDrawableFormat)
{
    _primLayout l;
    for (uint32_t fvf = 0; fvf < 0x1000; ++fvf)
        for (uint32_t codes : {0u, 0x5555u, 0xAAAAu, 0xFFFFu, 0x1B1Bu}) {
            if (sPrimGetLayout(fvf | codes << 16, &l) == 0 && !(fvf & 0xF001)) {
                ASSERT_EQ(l.size, sPrimGetStructSize(fvf | codes << 16)) << std::hex << fvf << " " << codes;
            }
        }
}

TEST(PrimLayout, OffsetsFollowTheFullRules)
{
    _primLayout l;
    ASSERT_EQ(0, sPrimGetLayout(0x212, &l));
    EXPECT_EQ(40, l.size);
    EXPECT_EQ(0, l.pos);
    EXPECT_EQ(12, l.normal);
    EXPECT_EQ(-1, l.diffuse);
    EXPECT_EQ(2, l.texNum);
    EXPECT_EQ(24, l.tex[0]);
    EXPECT_EQ(32, l.tex[1]);

    // Pre-transformed, coloured, textured quad: 16 + 4 + 4 + 8.
    ASSERT_EQ(0, sPrimGetLayout(0x1C4, &l));
    EXPECT_EQ(32, l.size);
    EXPECT_EQ(16, l.diffuse);
    EXPECT_EQ(20, l.specular);
    EXPECT_EQ(24, l.tex[0]);

    // Position with three blend weights (20 bytes), a 3-float coordinate set (size code 1) and
    // a 2-float one.
    ASSERT_EQ(0, sPrimGetLayout(0x208 | (1u << 16), &l));
    EXPECT_EQ(20, l.tex[0]);
    EXPECT_EQ(12, l.texSize[0]);
    EXPECT_EQ(32, l.tex[1]);
    EXPECT_EQ(40, l.size);
}

TEST(PrimLayout, RejectsFormatsWithoutPositionOrWithTooManySets)
{
    _primLayout l;
    EXPECT_EQ(-1, sPrimGetLayout(0x110, &l));
    EXPECT_EQ(-1, sPrimGetLayout(0x902, &l));
}

TEST(PrimBlendingMode, TableAndUnknownModes)
{
    const struct {
        long mode;
        uint32_t src, dst;
    } rows[] = {
        {0, 2, 1}, {1, 5, 6}, {2, 2, 2}, {3, 6, 5}, {4, 5, 7}, {5, 2, 6}, {6, 2, 5}, {9, 2, 1}, {-1, 2, 1},
    };
    for (const auto &r : rows) {
        uint32_t src = 0, dst = 0;
        sPrimGetBlendingMode(r.mode, &src, &dst);
        EXPECT_EQ(r.src, src) << r.mode;
        EXPECT_EQ(r.dst, dst) << r.mode;
    }
}

TEST(PrimHeading, AxisAndDegenerateCases)
{
    const struct {
        float x, y, z, h;
    } rows[] = {
        {0, 5, 0, 0},              // on the axis
        {-1, 0, 0, kPi / 2},       // z = 0, x < 0
        {1, 0, 0, -kPi / 2},       // z = 0, x >= 0
        {0, 0, 1, 0},              // straight ahead
        {0, 0, -1, kPi},           // behind
        {1, 0, 1, -kPi / 4},       // z > 0: -atan(x / z)
        {1, 0, -1, kPi + kPi / 4}, // z < 0: pi - atan(x / z)
    };
    for (const auto &r : rows) {
        float h = 99;
        _XYZtoH(r.x, r.y, r.z, &h);
        EXPECT_NEAR(r.h, h, 1e-5f) << r.x << " " << r.y << " " << r.z;
    }
}

TEST(PrimHeading, PitchOnAndOffTheAxis)
{
    const struct {
        float x, y, z, h, p;
    } rows[] = {
        {0, -5, 0, 0, -kPi / 2},
        {0, 5, 0, 0, kPi / 2},
        {0, 0, 0, 0, 0},
        {0, 1, 1, 0, kPi / 4},
        {3, -4, 0, -kPi / 2, std::atan(-4.0f / 3.0f)},
    };
    for (const auto &r : rows) {
        float h = 99, p = 99;
        _XYZtoHP(r.x, r.y, r.z, &h, &p);
        EXPECT_NEAR(r.h, h, 1e-5f);
        EXPECT_NEAR(r.p, p, 1e-5f);
    }
}

_setUVWork Work(uint16_t aProj, uint16_t aAxis)
{
    _setUVWork w = {};
    w.proj = aProj;
    w.axis = aAxis;
    w.texSize = V(4, 6, 8);
    w.texCenter = V(10, 20, 30);
    w.wrpw = w.wrph = 1.0f;
    w.refNum = -1;
    w.refMat = Unit();
    return w;
}

TEST(PrimSetUV, ProjectionsAndAxes)
{
    const struct {
        uint16_t proj, axis;
        D3DVECTOR rel;  // position relative to texCenter
        float u, v;
    } rows[] = {
        // Planar: u across x (z on axis X), v down -z on axis Y, else down -y.
        {PRIM_PROJ_PLANAR, PRIM_AXIS_Y, V(2, 0, 0), 1.0f, 0.5f},
        {PRIM_PROJ_PLANAR, PRIM_AXIS_Y, V(0, 9, 4), 0.5f, 0.0f},
        {PRIM_PROJ_PLANAR, PRIM_AXIS_X, V(0, 3, 4), 1.0f, 0.0f},
        {PRIM_PROJ_PLANAR, PRIM_AXIS_Z, V(-2, -3, 0), 0.0f, 1.0f},
        // Cylindrical about Y: heading of (-x, y, z); v along the axis.
        {PRIM_PROJ_CYLINDRICAL, PRIM_AXIS_Y, V(0, 0, 1), 1.0f, 0.5f},
        {PRIM_PROJ_CYLINDRICAL, PRIM_AXIS_Y, V(1, 3, 0), 0.75f, 0.0f},
        {PRIM_PROJ_CYLINDRICAL, PRIM_AXIS_Y, V(0, -3, -1), 0.5f, 1.0f},
        // About X: heading of (z, x, -y); about Z: of (-x, z, -y).
        {PRIM_PROJ_CYLINDRICAL, PRIM_AXIS_X, V(2, -1, 0), 1.0f, 0.0f},
        {PRIM_PROJ_CYLINDRICAL, PRIM_AXIS_Z, V(1, 0, 4), 0.75f, 0.0f},
        // Spherical about Y: the pole maps to the top edge.
        {PRIM_PROJ_SPHERICAL, PRIM_AXIS_Y, V(0, 1, 0), 1.0f, 0.0f},
        {PRIM_PROJ_SPHERICAL, PRIM_AXIS_Y, V(0, 0, 1), 1.0f, 0.5f},
        {PRIM_PROJ_SPHERICAL, PRIM_AXIS_Y, V(0, -1, -1), 0.5f, 0.75f},
    };
    for (const auto &r : rows) {
        const _setUVWork w = Work(r.proj, r.axis);
        D3DVECTOR pos = V(w.texCenter.x + r.rel.x, w.texCenter.y + r.rel.y, w.texCenter.z + r.rel.z);
        float uv[2] = {-7, -7};
        _setUV(&pos, uv, &w);
        EXPECT_NEAR(r.u, uv[0], 1e-5f) << r.proj << "/" << r.axis << " (" << r.rel.x << "," << r.rel.y << ","
                                       << r.rel.z << ")";
        EXPECT_NEAR(r.v, uv[1], 1e-5f) << r.proj << "/" << r.axis;
    }
}

TEST(PrimSetUV, WrapCountsScaleCylinderAndSphere)
{
    _setUVWork w = Work(PRIM_PROJ_SPHERICAL, PRIM_AXIS_Y);
    w.wrpw = 2.0f;
    w.wrph = 3.0f;
    D3DVECTOR pos = V(w.texCenter.x + 1, w.texCenter.y, w.texCenter.z);  // heading pi/2
    float uv[2];
    _setUV(&pos, uv, &w);
    EXPECT_NEAR(0.75f * 2.0f, uv[0], 1e-5f);
    EXPECT_NEAR(0.5f * 3.0f, uv[1], 1e-5f);

    w.proj = PRIM_PROJ_CYLINDRICAL;
    _setUV(&pos, uv, &w);
    EXPECT_NEAR(1.5f, uv[0], 1e-5f);
    EXPECT_NEAR(0.5f, uv[1], 1e-5f);  // wrph does not touch the cylinder's v
}

TEST(PrimSetUV, ReferenceMatrixTurnsThePositionFirst)
{
    // The reference object turned by 90 degrees about Y: its inverse turns positions back.
    _setUVWork w = Work(PRIM_PROJ_PLANAR, PRIM_AXIS_Y);
    sMatrixRotateY(&w.refMat, 90.0f);
    D3DVECTOR pos = V(w.texCenter.x, w.texCenter.y, w.texCenter.z + 2.0f);
    float uv[2];
    _setUV(&pos, uv, &w);
    // (0, 0, 2) about Y by 90 degrees is (2, 0, 0) in the row-vector convention.
    EXPECT_NEAR(1.0f, uv[0], 1e-5f);
    EXPECT_NEAR(0.5f, uv[1], 1e-5f);
}

TEST(PrimSetUV, UnknownProjectionLeavesCoordinates)
{
    _setUVWork w = Work(7, PRIM_AXIS_Y);
    D3DVECTOR pos = V(1, 2, 3);
    float uv[2] = {0.25f, 0.75f};
    _setUV(&pos, uv, &w);
    EXPECT_EQ(0.25f, uv[0]);
    EXPECT_EQ(0.75f, uv[1]);
}

TEST(PrimSphereMap, FacingAndAwayNormals)
{
    D3DVECTOR c[3];
    const D3DMATRIX m = Unit();
    sPrimSphereBasis(&m, c);
    const struct {
        D3DVECTOR n;
        bool set;
        float u, v;
    } rows[] = {
        {V(0, 0, -1), true, 0.5f, 0.5f},
        {V(1, 0, 0), true, 1.0f, 0.5f},
        {V(0, 1, 0), true, 0.5f, 0.0f},
        {V(0, 0, 1), false, 0, 0},
    };
    for (const auto &r : rows) {
        float uv[2] = {9, 9};
        EXPECT_EQ(r.set, sPrimSphereUV(&r.n, c, uv));
        if (r.set) {
            EXPECT_NEAR(r.u, uv[0], 1e-6f);
            EXPECT_NEAR(r.v, uv[1], 1e-6f);
        } else {
            EXPECT_EQ(9.0f, uv[0]);
        }
    }
}

TEST(PrimSphereMap, BasisIsTheColumnsOfTheMatrix)
{
    D3DMATRIX m = Unit();
    sMatrixRotateY(&m, 90.0f);
    D3DVECTOR c[3];
    sPrimSphereBasis(&m, c);
    EXPECT_NEAR(m._13, c[2].x, 0);
    EXPECT_NEAR(m._23, c[2].y, 0);
    EXPECT_NEAR(m._33, c[2].z, 0);
    // Turned a quarter: a normal along +x now faces away from the viewer.
    const D3DVECTOR n = V(-1, 0, 0);
    float uv[2];
    EXPECT_FALSE(sPrimSphereUV(&n, c, uv));
}

D3DLIGHT7 Light(D3DLIGHTTYPE aType, D3DVECTOR aPos, D3DVECTOR aDir)
{
    D3DLIGHT7 l = {};
    l.dltType = aType;
    l.dcvDiffuse.r = l.dcvDiffuse.g = l.dcvDiffuse.b = 1.0f;
    l.dvPosition = aPos;
    l.dvDirection = aDir;
    l.dvRange = 1000.0f;
    l.dvAttenuation0 = 1.0f;
    l.dvFalloff = 1.0f;
    l.dvTheta = 0.5f;
    l.dvPhi = 1.0f;
    return l;
}

uint32_t Channel(uint32_t aColor, int aShift)
{
    return (aColor >> aShift) & 0xFF;
}

TEST(PrimDot3, SpotFactorInsideBetweenAndOutsideTheCones)
{
    D3DLIGHT7 l = Light(D3DLIGHT_SPOT, V(0, 0, 0), V(0, -1, 0));
    l.dvFalloff = 2.0f;
    const float cosIn = std::cos(0.25f), cosOut = std::cos(0.5f);
    EXPECT_EQ(1.0f, sPrimSpotFactor(1.0f, &l));
    EXPECT_EQ(1.0f, sPrimSpotFactor(cosIn, &l));
    const float half = (cosIn + cosOut) * 0.5f;
    EXPECT_NEAR(0.25f, sPrimSpotFactor(half, &l), 1e-5f);  // (1/2)^falloff
    EXPECT_LT(sPrimSpotFactor(cosOut - 0.01f, &l), 0.0f);
}

TEST(PrimDot3, LightsBehindTheSurfaceGiveTheRestColour)
{
    const D3DVECTOR q = V(0, 0, 0), n = V(0, 1, 0);
    const D3DLIGHT7 lights[] = {
        Light(D3DLIGHT_POINT, V(0, -5, 0), V(0, 0, 0)),
        Light(D3DLIGHT_DIRECTIONAL, V(0, 0, 0), V(0.3f, 1, 0)),
        Light(D3DLIGHT_SPOT, V(1, -4, 0), V(0, 1, 0)),
    };
    EXPECT_EQ(0x808C80u, sPrimDot3Color(&q, &n, lights, 3));
    EXPECT_EQ(0x808C80u, sPrimDot3Color(&q, &n, lights, 0));
}

TEST(PrimDot3, LightAlongTheNormalIsFullGreenWhateverTheNormal)
{
    // The tangent rotation turns every normal onto +y, so a light straight over the surface
    // always gives (128, 255, 128).
    const D3DVECTOR normals[] = {V(0, 1, 0), V(0, 0, 1), V(1, 0, 0), V(0, -1, 0), V(0.6f, 0, -0.8f)};
    for (const D3DVECTOR &n : normals) {
        const D3DVECTOR q = V(1, 2, 3);
        const D3DLIGHT7 dir = Light(D3DLIGHT_DIRECTIONAL, V(0, 0, 0), V(-n.x, -n.y, -n.z));
        const D3DLIGHT7 point = Light(D3DLIGHT_POINT, V(q.x + 4 * n.x, q.y + 4 * n.y, q.z + 4 * n.z), V(0, 0, 0));
        EXPECT_EQ(0x80FF80u, sPrimDot3Color(&q, &n, &dir, 1)) << n.x << " " << n.y << " " << n.z;
        EXPECT_EQ(0x80FF80u, sPrimDot3Color(&q, &n, &point, 1)) << n.x << " " << n.y << " " << n.z;
    }
}

TEST(PrimDot3, WeightsMixTwoLights)
{
    // Up normal; a directional light from +x and a spot light from +y. With the spot inside its
    // inner cone both weigh 1: the sum leans 45 degrees. Half-way between the cones (falloff 1)
    // the spot weighs 0.5 and the sum leans toward +x.
    const D3DVECTOR q = V(0, 0, 0), n = V(0, 1, 0);
    D3DLIGHT7 l[2] = {Light(D3DLIGHT_DIRECTIONAL, V(0, 0, 0), V(-1, 0, 0)),
                      Light(D3DLIGHT_SPOT, V(0, 1, 0), V(0, -1, 0))};
    const uint32_t inner = sPrimDot3Color(&q, &n, l, 2);
    const float c45 = std::sqrt(0.5f) * 1.1f;
    EXPECT_EQ((uint32_t)(long)(c45 * 127.9f) + 128, Channel(inner, 16));
    EXPECT_EQ(Channel(inner, 16), Channel(inner, 8));

    // Aim the spot so that the vertex lies half-way (in cosine) between the cones.
    const float cosIn = std::cos(0.25f), cosOut = std::cos(0.5f), a = (cosIn + cosOut) * 0.5f;
    const float s = std::sqrt(1.0f - a * a);
    l[1].dvDirection = V(s, -a, 0);
    const uint32_t half = sPrimDot3Color(&q, &n, l, 2);
    D3DVECTOR sum = V(1.0f, 0.5f, 0);  // weights 1 and 0.5 along +x and +y
    const float len = std::sqrt(sum.x * sum.x + sum.y * sum.y);
    EXPECT_EQ((uint32_t)(long)(std::fmin(sum.x / len * 1.1f, 1.0f) * 127.9f) + 128, Channel(half, 16));
    EXPECT_EQ((uint32_t)(long)(sum.y / len * 1.1f * 127.9f) + 128, Channel(half, 8));
}

TEST(PrimDot3, OutOfRangeAndUnattenuatedLightsAreSkipped)
{
    const D3DVECTOR q = V(0, 0, 0), n = V(0, 1, 0);
    D3DLIGHT7 far = Light(D3DLIGHT_POINT, V(0, 50, 0), V(0, 0, 0));
    far.dvRange = 10.0f;
    EXPECT_EQ(0x808C80u, sPrimDot3Color(&q, &n, &far, 1));
    D3DLIGHT7 none = Light(D3DLIGHT_POINT, V(0, 5, 0), V(0, 0, 0));
    none.dvAttenuation0 = 0.0f;
    EXPECT_EQ(0x808C80u, sPrimDot3Color(&q, &n, &none, 1));
}

TEST(PrimDot3, ObjectSpaceDirectionIgnoresTheObjectsPlace)
{
    // An object far from the origin and turned about Y: the light direction turns with the
    // inverse rotation only; its position moves as a point.
    D3DMATRIX world = Unit();
    sMatrixRotateY(&world, 90.0f);
    sMatrixTranslate(&world, 100.0f, 0.0f, 0.0f);
    D3DMATRIX inv;
    ASSERT_EQ(0, sMatrixInvert(&world, &inv));
    D3DLIGHT7 l = Light(D3DLIGHT_SPOT, V(100, 5, 0), V(1, 0, 0)), o;
    sPrimDot3ObjectLight(&inv, &l, &o);
    EXPECT_NEAR(0.0f, o.dvPosition.x, 1e-4f);
    EXPECT_NEAR(5.0f, o.dvPosition.y, 1e-4f);
    EXPECT_NEAR(0.0f, o.dvPosition.z, 1e-4f);
    const float len = std::sqrt(o.dvDirection.x * o.dvDirection.x + o.dvDirection.y * o.dvDirection.y +
                                o.dvDirection.z * o.dvDirection.z);
    EXPECT_NEAR(1.0f, len, 1e-5f);
    EXPECT_NEAR(0.0f, o.dvDirection.y, 1e-5f);
}

TEST(PrimStagePlan, PassesFollowTheDeviceLimit)
{
    const struct {
        long stages, limit;
        std::vector<std::pair<long, long>> passes;
    } rows[] = {
        {1, 8, {{0, 1}}},
        {3, 8, {{0, 3}}},
        {3, 2, {{0, 2}, {2, 1}}},
        {4, 2, {{0, 2}, {2, 2}}},
        {3, 1, {{0, 1}, {1, 1}, {2, 1}}},
        {5, 3, {{0, 3}, {3, 2}}},
        {3, 0, {{0, 3}}},   // no limit known
        {0, 2, {}},
    };
    for (const auto &r : rows) {
        _primStagePass pass[8];
        const long n = sPrimStagePlan(r.stages, r.limit, pass);
        ASSERT_EQ((long)r.passes.size(), n) << r.stages << "/" << r.limit;
        for (long i = 0; i < n; ++i) {
            EXPECT_EQ(r.passes[i].first, pass[i].first);
            EXPECT_EQ(r.passes[i].second, pass[i].count);
        }
    }
}

// A square of two triangles in the z = 0 plane, seen through an orthographic light.
TEST(PrimSpotLight, KeepsFacingTrianglesInsideTheLightSquare)
{
    const float pos[4][3] = {{-0.5f, 0.5f, 0}, {0.5f, 0.5f, 0}, {-0.5f, -0.5f, 0}, {0.5f, -0.5f, 0}};
    const uint16_t front[6] = {0, 1, 2, 1, 3, 2};  // clockwise in the light's view
    const uint16_t back[6] = {0, 2, 1, 1, 2, 3};
    D3DMATRIX m = Unit();
    sMatrixScale(&m, 2.0f, 2.0f, 2.0f);
    _primSpotVertex v[4];
    D3DVECTOR proj[4];
    uint16_t out[6];

    sPrimSpotLightProject((const uint8_t *)pos, 12, 4, &m, v, proj);
    // The vertices keep their own positions; the light square gives the coordinates.
    EXPECT_EQ(-0.5f, v[0].x);
    EXPECT_EQ(0.5f, v[0].y);
    EXPECT_EQ(0x80808080u, v[0].color);
    EXPECT_NEAR(0.0f, v[0].u, 1e-6f);
    EXPECT_NEAR(0.0f, v[0].v, 1e-6f);
    EXPECT_NEAR(1.0f, v[3].u, 1e-6f);
    EXPECT_NEAR(1.0f, v[3].v, 1e-6f);

    EXPECT_EQ(0, sPrimSpotLightFilter(v, proj, back, 6, out));
    ASSERT_EQ(6, sPrimSpotLightFilter(v, proj, front, 6, out));
    EXPECT_EQ(0, std::memcmp(front, out, sizeof out));

    // Moved off the light's square: nothing survives.
    sMatrixTranslate(&m, 3.0f, 0.0f, 0.0f);
    sPrimSpotLightProject((const uint8_t *)pos, 12, 4, &m, v, proj);
    EXPECT_EQ(0, sPrimSpotLightFilter(v, proj, front, 6, out));
}

TEST(PrimIndexSet, DamagedSetsAreRejected)
{
    const uint16_t idx[] = {0, 1, 2, 3};
    const struct {
        long num;
        const uint16_t *p;
        uint32_t type;
        long vertexNum;
        long result;
    } rows[] = {
        {4, idx, PRIM_PT_TRIANGLELIST, 4, 0},
        {3, idx, PRIM_PT_TRIANGLESTRIP, 3, 0},
        {0, nullptr, PRIM_PT_TRIANGLELIST, 0, 0},
        {4, idx, PRIM_PT_TRIANGLELIST, 3, -1},  // index 3 beyond three vertices
        {-1, idx, PRIM_PT_TRIANGLELIST, 4, -1},
        {2, nullptr, PRIM_PT_TRIANGLELIST, 4, -1},
        {4, idx, 0, 4, -1},
        {4, idx, 7, 4, -1},
    };
    for (const auto &r : rows)
        EXPECT_EQ(r.result, sPrimCheckIndexSet(r.num, r.p, r.type, r.vertexNum)) << r.num << "/" << r.vertexNum;
}

}  // namespace
