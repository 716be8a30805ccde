// A user's object as a shape body: what the benchmark's user-object test receives.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "App/App/AppCore.h"
#include "App/View/ViewLW.h"
#include "KbLwo.h"

namespace {

struct TempDir {
    std::string path;
    TempDir()
    {
        char tmpl[] = "/tmp/viewlwXXXXXX";
        path = mkdtemp(tmpl);
    }
    ~TempDir() { std::system(("rm -rf " + path).c_str()); }
    std::string write(const std::string &aName, const std::vector<uint8_t> &aBytes) const
    {
        std::string p = path + "/" + aName;
        EXPECT_TRUE(kbLwoSave(p, aBytes));
        return p;
    }
};

// A 24-bit bitmap header of the given size (the pixels do not matter here).
std::vector<uint8_t> bmp(int w, int h)
{
    std::vector<uint8_t> b(54 + w * h * 3, 0);
    b[0] = 'B';
    b[1] = 'M';
    b[18] = (uint8_t)w;
    b[22] = (uint8_t)h;
    b[26] = 1;
    b[28] = 24;
    return b;
}

// The body's triangles as point positions, each rotated to start at its least vertex.
std::vector<std::vector<float>> triangles(const _shapeDef *d)
{
    std::vector<std::vector<float>> out;
    for (int32_t a = 0; a < d->abilityDefNum; ++a) {
        const _primVertexDefSet *vs = d->abilityDefP[a]->vertexDefSetP;
        const _vertexDef *v = (const _vertexDef *)vs->vertexP;
        for (int32_t s = 0; s < vs->indexSetNum; ++s) {
            const _primIndexDefSet *is = &vs->indexSetP[s];
            if (is->primitiveType != 4) continue;
            for (int32_t i = 0; i < is->indexNum; i += 3) {
                std::vector<float> t;
                for (int k = 0; k < 3; ++k) {
                    const _vertexDef &p = v[is->indexP[i + k]];
                    t.insert(t.end(), {p.vx, p.vy, p.vz});
                }
                out.push_back(t);
            }
        }
    }
    return out;
}

KbLwoModel triangleSoup(int aTris, int aLines)
{
    KbLwoModel m;
    m.surfaces.resize(1);
    m.surfaces[0].name = "Soup";
    for (int i = 0; i < aTris; ++i) {
        float x = (float)(i % 100), z = (float)(i / 100);
        uint32_t a = m.addPoint(x, 0, z), b = m.addPoint(x, 0, z + 0.5f), c = m.addPoint(x + 0.5f, 0, z);
        m.addFace({a, b, c}, 0, 0, 1, 0);
    }
    for (int i = 0; i < aLines; ++i) {
        uint32_t a = m.addPoint((float)i, 1, 0), b = m.addPoint((float)i, 2, 0);
        m.addFace({a, b}, 0, 0, 1, 0);
    }
    return m;
}

} // namespace

TEST(ViewLw, TheSampleFighterBecomesOneAbilityPerSurface)
{
    TempDir dir;
    KbLwoModel m = kbLwoFighter();
    dir.write("hull.bmp", bmp(64, 32));
    for (bool lwob : {false, true}) {
        std::string path = dir.write(lwob ? "fighter_lwob.lwo" : "fighter.lwo", lwob ? kbLwoWriteLwob(m) : kbLwoWriteLwo2(m));
        EXPECT_EQ(viewCheckLwo(path.c_str()), 1);
        _shapeDef *d = nullptr;
        ASSERT_EQ(viewLoadLwo(path.c_str(), &d), S_OK);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->abilityDefNum, 6);
        EXPECT_EQ(d->shapeStatus, 0u);
        EXPECT_EQ(d->nextNum, -1);
        EXPECT_EQ(d->childNum, -1);
        int32_t tris = 0;
        for (const auto &p : m.polys) tris += p.size() >= 3 ? (int32_t)p.size() - 2 : 0;
        EXPECT_EQ(d->polyCnt, (uint32_t)tris + 2);  // and the two navigation lights
        EXPECT_TRUE(viewLwoWithinLimits(d));
        EXPECT_FLOAT_EQ(d->maxZ, 5.0);
        EXPECT_FLOAT_EQ(d->minX, -4.2);
        uint32_t vertices = 0;
        for (int32_t a = 0; a < d->abilityDefNum; ++a) {
            const _abilityDef *ab = d->abilityDefP[a];
            ASSERT_EQ(ab->vertexDefSetNum, 1);
            const _primVertexDefSet *vs = ab->vertexDefSetP;
            EXPECT_EQ(vs->vertexType, 530u);
            vertices += vs->vertexNum;
            for (int32_t s = 0; s < vs->indexSetNum; ++s) {
                for (int32_t i = 0; i < vs->indexSetP[s].indexNum; ++i) ASSERT_LT(vs->indexSetP[s].indexP[i], vs->vertexNum);
            }
            EXPECT_TRUE(ab->abilityStatus & 2);
        }
        EXPECT_EQ(vertices, d->vertexCnt);
        EXPECT_EQ((int32_t)triangles(d).size(), tris);
        // Hull: one colour stage, its image beside the object with its size read from the file.
        const _abilityDef *hull = d->abilityDefP[0];
        ASSERT_EQ(hull->texStageNum, 1);
        EXPECT_EQ(std::string(hull->texSetP[0].fileName), dir.path + "/hull.bmp");
        EXPECT_EQ(hull->texSetP[0].texFlg, 0x1401u);
        EXPECT_EQ(hull->texSetP[0].texOp, 4u);
        EXPECT_EQ(hull->texSetP[0].info.rect.right, 63);
        EXPECT_EQ(hull->texSetP[0].info.rect.bottom, 31);
        EXPECT_EQ(hull->texSetP[0].texNum, -1);
        // Canopy: no texture, translucent; glow: two-sided; lights: points.
        const _abilityDef *canopy = d->abilityDefP[2];
        EXPECT_EQ(canopy->texStageNum, 0);
        EXPECT_EQ(canopy->texSetP, nullptr);
        EXPECT_TRUE(canopy->abilityStatus & 1);
        EXPECT_EQ(canopy->srcBlend, 5u);
        EXPECT_EQ(canopy->destBlend, 6u);
        EXPECT_TRUE(d->abilityDefP[4]->abilityStatus & 0x10);
        const _abilityDef *lights = d->abilityDefP[5];
        EXPECT_EQ(lights->abilityStatus & 0x90, 0x90u);
        ASSERT_EQ(lights->vertexDefSetP->indexSetNum, 1);
        EXPECT_EQ(lights->vertexDefSetP->indexSetP[0].primitiveType, 1u);
        // UV from the map (or the matching projection), v turned over.
        const _vertexDef *v = (const _vertexDef *)hull->vertexDefSetP->vertexP;
        for (int32_t i = 0; i < hull->vertexDefSetP->vertexNum; i += 17) {
            EXPECT_NEAR(v[i].u0, v[i].vx / 10.0f + 0.5f, 1e-5);
            EXPECT_NEAR(v[i].v0, -(0.5f - v[i].vz / 10.0f), 1e-5);
            EXPECT_EQ(v[i].u0, v[i].u1);
        }
        viewFreeLwo(d);
    }
}

TEST(ViewLw, ObjectsOtherThanOneLayerAreRefused)
{
    TempDir dir;
    KbLwoModel m = kbLwoFighter();
    m.layers = 2;
    std::string path = dir.write("two.lwo", kbLwoWriteLwo2(m));
    EXPECT_EQ(viewCheckLwo(path.c_str()), 0);
    _shapeDef *d = (_shapeDef *)1;
    EXPECT_EQ(viewLoadLwo(path.c_str(), &d), (long)E_FAIL);
    EXPECT_EQ(d, nullptr);
    std::string junk = dir.write("junk.lwo", {'F', 'O', 'R', 'M', 0, 0, 0, 4, 'J', 'U', 'N', 'K'});
    EXPECT_EQ(viewCheckLwo(junk.c_str()), 0);
    EXPECT_EQ(viewLoadLwo(junk.c_str(), &d), (long)E_FAIL);
    EXPECT_EQ(viewCheckLwo((dir.path + "/missing.lwo").c_str()), 0);
    viewFreeLwo(nullptr);
}

TEST(ViewLw, NamesChoosePlaneAndSpriteShapes)
{
    TempDir dir;
    std::vector<uint8_t> f = kbLwoWriteLwo2(triangleSoup(2, 0));
    struct {
        const char *name;
        uint32_t status;
    } cases[] = {{"a_plane_b.lwo", 16}, {"a_sprite_plane_.lwo", 64}, {"plain.v2.lwo", 0}};
    for (const auto &c : cases) {
        _shapeDef *d = nullptr;
        ASSERT_EQ(viewLoadLwo(dir.write(c.name, f).c_str(), &d), S_OK) << c.name;
        EXPECT_EQ(d->shapeStatus, c.status) << c.name;
        const _renderState *rs = d->abilityDefP[0]->rendStat;
        if (c.status == 16) {
            EXPECT_EQ(rs[0].type, 27u); EXPECT_EQ(rs[0].state, 1u);
            EXPECT_EQ(rs[1].type, 19u); EXPECT_EQ(rs[1].state, 1u);
            EXPECT_EQ(rs[2].type, 20u); EXPECT_EQ(rs[2].state, 2u);
            EXPECT_EQ(rs[3].type, 14u); EXPECT_EQ(rs[3].state, 0u);
        }
        viewFreeLwo(d);
    }
}

TEST(ViewLw, LimitsAtTenThousandPolygonsAndThirtyTwoThousandVertices)
{
    TempDir dir;
    struct {
        int tris, lines;
        bool within;
    } cases[] = {{10000, 0, true}, {10001, 0, false}, {1, 16382, true}, {1, 16383, false}};
    for (const auto &c : cases) {
        _shapeDef *d = nullptr;
        ASSERT_EQ(viewLoadLwo(dir.write("soup.lwo", kbLwoWriteLwo2(triangleSoup(c.tris, c.lines))).c_str(), &d), S_OK);
        EXPECT_EQ(d->polyCnt, (uint32_t)c.tris);
        EXPECT_EQ(d->vertexCnt, (uint32_t)(c.tris * 3 + c.lines * 2));
        EXPECT_EQ(viewLwoWithinLimits(d), c.within ? 1 : 0) << c.tris << " triangles, " << c.lines << " lines";
        viewFreeLwo(d);
    }
}

TEST(ViewLw, StripIndicesKeepEveryTrianglesWinding)
{
    TempDir dir;
    KbLwoModel m;
    m.surfaces.resize(1);
    m.surfaces[0].name = "Quad";
    uint32_t a = m.addPoint(0, 0, 0), b = m.addPoint(0, 0, 1), c = m.addPoint(1, 0, 0), e = m.addPoint(1, 0, 1);
    m.polys = {{a, b, c}, {b, e, c}};
    m.polySurf = {0, 0};
    _shapeDef *d = nullptr;
    ASSERT_EQ(viewLoadLwo(dir.write("quad.lwo", kbLwoWriteLwo2(m)).c_str(), &d), S_OK);
    const _primVertexDefSet *vs = d->abilityDefP[0]->vertexDefSetP;
    EXPECT_EQ(vs->vertexNum, 4);  // one strip of four nodes
    ASSERT_EQ(vs->indexSetP[0].indexNum, 6);
    auto rot = [](std::vector<float> t) {
        while (!(t[0] <= t[3] && t[0] <= t[6]) || (t[0] == t[3] && t[2] > t[5]) || (t[0] == t[6] && t[2] > t[8]))
            t = {t[3], t[4], t[5], t[6], t[7], t[8], t[0], t[1], t[2]};
        return t;
    };
    std::vector<std::vector<float>> want = {rot({0, 0, 0, 0, 0, 1, 1, 0, 0}), rot({0, 0, 1, 1, 0, 1, 1, 0, 0})}, got;
    for (auto &t : triangles(d)) got.push_back(rot(t));
    std::sort(want.begin(), want.end());
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, want);
    viewFreeLwo(d);
}

TEST(ViewLw, SmoothingAngleOfHalfATurnActsAsOneSeventyNinePointFive)
{
    TempDir dir;
    // Two triangles folded along the x axis; the angle between their normals is 180° - fold.
    for (double fold : {0.3, 1.0}) {
        KbLwoModel m;
        m.surfaces.resize(1);
        m.surfaces[0].name = "Fold";
        m.surfaces[0].smoothAngle = 3.14159265358979f;
        double t = fold * M_PI / 180.0;
        uint32_t p0 = m.addPoint(0, 0, 0), p1 = m.addPoint(1, 0, 0);
        uint32_t up = m.addPoint(0.5f, 1, 0), back = m.addPoint(0.5f, (float)std::cos(t), (float)std::sin(t));
        m.polys = {{p0, up, p1}, {p0, p1, back}};
        m.polySurf = {0, 0};
        _shapeDef *d = nullptr;
        ASSERT_EQ(viewLoadLwo(dir.write("fold.lwo", kbLwoWriteLwo2(m)).c_str(), &d), S_OK);
        const _primVertexDefSet *vs = d->abilityDefP[0]->vertexDefSetP;
        const _vertexDef *v = (const _vertexDef *)vs->vertexP;
        for (int32_t i = 0; i < vs->vertexNum; ++i) {
            if (v[i].vy != 0.0f || v[i].vz != 0.0f) continue;  // the shared edge's vertices
            double len = std::sqrt(v[i].nx * v[i].nx + v[i].ny * v[i].ny + v[i].nz * v[i].nz);
            if (fold < 0.5) {
                EXPECT_NEAR(len, 1.0, 1e-5) << "more than 179.5° apart: not smoothed";
            } else {
                // Averaged and not renormalised: the mean of two normals 179° apart is short.
                EXPECT_NEAR(len, std::cos((180.0 - fold) / 2 * M_PI / 180.0), 1e-4);
            }
        }
        viewFreeLwo(d);
    }
}

TEST(ViewLw, ScaleFactorMatchesTheLargestExtent)
{
    _shapeDef a{}, b{};
    a.maxX = 2; a.minX = -2; a.maxZ = 1;
    b.maxY = 8; b.maxX = 1;
    EXPECT_DOUBLE_EQ(viewLwoScaleFactor(&a, &b), 0.5);
    _shapeDef empty{};
    EXPECT_DOUBLE_EQ(viewLwoScaleFactor(&a, &empty), 1.0);
}

namespace {
uint32_t gClock = 0;
long gHookCalls = 0;
uint32_t _stepClock(void) { return gClock += 5; }
void _countHook(void) { gHookCalls++; }
}  // namespace

TEST(ViewLw, ALargeConversionKeepsCallingTheProgressHook)
{
    TempDir dir;
    const std::string path = dir.write("large.lwo", kbLwoWriteLwo2(kbLwoLarge(4900)));
    // A clock that moves 5 ms a look: the hook comes at most every 33 ms of it.
    struct {
        void (*hook)(void);
        bool called;
    } cases[] = {{_countHook, true}, {nullptr, false}};
    uint32_t (*saved)(void) = appMilliClockP;
    for (const auto &c : cases) {
        gHookCalls = 0;
        gClock = 0;
        appMilliClockP = _stepClock;
        viewLwoProgressHook = c.hook;
        _shapeDef *d = nullptr;
        const long result = viewLoadLwo(path.c_str(), &d);
        viewLwoProgressHook = nullptr;
        const uint32_t looked = gClock / 5;
        appMilliClockP = saved;
        ASSERT_EQ(result, S_OK);
        EXPECT_LE(d->polyCnt, 10000u);
        EXPECT_GT(d->polyCnt, 9900u);
        EXPECT_EQ(gHookCalls > 0, c.called);
        EXPECT_LE(gHookCalls, (long)(looked / 7 + 1)) << "more often than every 33 ms";
        viewFreeLwo(d);
    }
}
