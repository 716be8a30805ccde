// Reading both object generations into the database, and refusing damaged files cleanly.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "KbLwo.h"
#include "LW/OBJ2/OBJ2.h"

namespace {

st_OBJ2 *openBytes(const std::vector<uint8_t> &aBytes, OBJError *aErrP = nullptr, const st_OBJ2_option *aOptP = nullptr)
{
    return OBJ2_openMem(aBytes.data(), (uint32_t)aBytes.size(), "test.lwo", aOptP, aErrP);
}

// A minimal LWO2 file built chunk by chunk, for damaging one piece at a time.
struct Lwo2 {
    std::vector<uint8_t> body;
    void u1(uint32_t v) { body.push_back((uint8_t)v); }
    void u2(uint32_t v) { u1(v >> 8); u1(v); }
    void u4(uint32_t v) { u2(v >> 16); u2(v); }
    void f4(float f) { uint32_t v; std::memcpy(&v, &f, 4); u4(v); }
    void id(const char *s) { body.insert(body.end(), s, s + 4); }
    void chunk(const char *aId, const std::vector<uint8_t> &aData)
    {
        id(aId);
        u4((uint32_t)aData.size());
        body.insert(body.end(), aData.begin(), aData.end());
        if (aData.size() & 1) u1(0);
    }
    std::vector<uint8_t> file() const
    {
        Lwo2 f;
        f.id("FORM");
        f.u4((uint32_t)body.size() + 4);
        f.id("LWO2");
        f.body.insert(f.body.end(), body.begin(), body.end());
        return f.body;
    }
};

std::vector<uint8_t> bytes(std::initializer_list<int> aList)
{
    std::vector<uint8_t> v;
    for (int b : aList) v.push_back((uint8_t)b);
    return v;
}

std::vector<uint8_t> be(float f)
{
    uint32_t v;
    std::memcpy(&v, &f, 4);
    return bytes({(int)(v >> 24) & 255, (int)(v >> 16) & 255, (int)(v >> 8) & 255, (int)v & 255});
}

// Four points of a unit square, a TAGS list with one name, one quad tagged 0.
Lwo2 square()
{
    Lwo2 w;
    w.chunk("TAGS", bytes({'S', 'k', 'i', 'n', 0, 0}));
    std::vector<uint8_t> pnts;
    const float pts[4][3] = {{0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}};
    for (auto &p : pts) {
        for (float f : p) {
            auto b = be(f);
            pnts.insert(pnts.end(), b.begin(), b.end());
        }
    }
    w.chunk("PNTS", pnts);
    w.chunk("POLS", bytes({'F', 'A', 'C', 'E', 0, 4, 0, 0, 0, 1, 0, 2, 0, 3}));
    w.chunk("PTAG", bytes({'S', 'U', 'R', 'F', 0, 0, 0, 0}));
    return w;
}

void expectSameGeometry(st_OBJ2 *o, const KbLwoModel &m)
{
    ASSERT_EQ(o->layerCount(o), 1);
    ASSERT_EQ(o->pointCount(o), (int32_t)(m.points.size() / 3));
    ASSERT_EQ(o->polyCount(o), (int32_t)m.polys.size());
    ASSERT_EQ(o->surfCount(o), (int32_t)m.surfaces.size());
    for (int32_t i = 0; i < o->pointCount(o); ++i) {
        for (int k = 0; k < 3; ++k) ASSERT_EQ(o->pointInfo(o, i)->position[k], (double)m.points[i * 3 + k]);
    }
    for (int32_t i = 0; i < o->polyCount(o); ++i) {
        int32_t n = 0;
        const int32_t *p = o->polPnts(o, i, &n);
        ASSERT_EQ(n, (int32_t)m.polys[i].size());
        for (int32_t k = 0; k < n; ++k) ASSERT_EQ(p[k], (int32_t)m.polys[i][k]);
        ASSERT_STREQ(o->polSurf(o, i), m.surfaces[m.polySurf[i]].name.c_str());
    }
}

} // namespace

TEST(Obj2Read, BothGenerationsOfTheFighterReadBackExactly)
{
    KbLwoModel m = kbLwoFighter();
    OBJError err;
    st_OBJ2 *o = openBytes(kbLwoWriteLwo2(m), &err);
    ASSERT_NE(o, nullptr) << OBJ2_errorText(err);
    EXPECT_EQ(o->type, LWO2_FILE);
    expectSameGeometry(o, m);
    const st_MaterialData *hull = o->getMaterial(o, 0);
    EXPECT_STREQ(hull->surf, "Hull");
    EXPECT_TRUE(hull->flags & OBJ2_MTL_SMOOTH);
    EXPECT_NEAR(hull->sman, 60.0 * M_PI / 180.0, 1e-6);
    ASSERT_NE(hull->tlayrs, nullptr);
    EXPECT_EQ(hull->tlayrs->chan, OBJ2_CHAN_COLR);
    EXPECT_EQ(hull->tlayrs->proj, OBJ2_PROJ_UV);
    EXPECT_STREQ(hull->tlayrs->timg, "Images\\hull.bmp");
    EXPECT_STREQ(hull->tlayrs->txuv, "Top");
    EXPECT_TRUE(o->getMaterial(o, 4)->flags & OBJ2_MTL_DOUBLE);
    EXPECT_FLOAT_EQ(o->getMaterial(o, 2)->diff[3], 0.65f);  // the canopy lets light through
    OBJ2_close(&o);
    EXPECT_EQ(o, nullptr);

    // The older generation is found through the fallback.
    o = openBytes(kbLwoWriteLwob(m), &err);
    ASSERT_NE(o, nullptr) << OBJ2_errorText(err);
    EXPECT_EQ(o->type, LWOB_FILE);
    expectSameGeometry(o, m);
    EXPECT_NEAR(o->getMaterial(o, 0)->sman, 60.0 * M_PI / 180.0, 1e-6);
    EXPECT_STREQ(o->getMaterial(o, 1)->tlayrs->timg, "Images\\wing.bmp");
    OBJ2_close(&o);
}

TEST(Obj2Read, UvMapsComeFromTheVertexMapOrTheProjection)
{
    KbLwoModel m = kbLwoFighter();
    st_OBJ2_option opt = {OBJ2_OPE_UVMAP, {0}, 0, 0, 10, 255, 8, 0, 0};
    // Hull polygons carry the TXUV map in LWO2 and the equal planar projection in LWOB.
    for (const auto &file : {kbLwoWriteLwo2(m), kbLwoWriteLwob(m)}) {
        st_OBJ2 *o = openBytes(file, nullptr, &opt);
        ASSERT_NE(o, nullptr);
        for (int32_t i = 0; i < o->polyCount(o); i += 37) {
            const st_PolygonData *p = o->polyInfo(o, i);
            if (p->surf_no != 0) continue;
            const st_PolygonMap *pm = o->getPolymap(o, i, OBJ2_CHAN_COLR, 0);
            ASSERT_NE(pm, nullptr);
            for (int32_t k = 0; k < p->numPnts; ++k) {
                const st_MapData *uv = o->mapInfo(o, pm->maps[k]);
                EXPECT_NEAR(uv->u, m.uv[p->points[k] * 2], 1e-6);
                EXPECT_NEAR(uv->v, m.uv[p->points[k] * 2 + 1], 1e-6);
            }
        }
        OBJ2_close(&o);
    }
}

TEST(Obj2Read, FourByteIndicesReachPointsPastTheTwoByteRange)
{
    KbLwoModel m = kbLwoLarge(70000);
    ASSERT_GT(m.points.size() / 3, 0xFF00u);
    st_OBJ2 *o = openBytes(kbLwoWriteLwo2(m));
    ASSERT_NE(o, nullptr);
    expectSameGeometry(o, m);
    OBJ2_close(&o);
}

TEST(Obj2Read, SeveralLayersAndUnknownChunksAreKept)
{
    KbLwoModel m = kbLwoFighter();
    m.layers = 2;
    std::vector<uint8_t> f = kbLwoWriteLwo2(m);
    st_OBJ2 *o = openBytes(f);
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(o->layerCount(o), 2);
    o->setLayer(o, 1);
    EXPECT_EQ(o->pointCount(o), (int32_t)(m.points.size() / 3));
    OBJ2_close(&o);

    Lwo2 w = square();
    w.chunk("XTRA", bytes({1, 2, 3}));
    o = openBytes(w.file());
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(o->polyCount(o), 1);
    OBJ2_close(&o);
}

TEST(Obj2Read, DamagedFilesAreRefusedWithTheirError)
{
    struct Case {
        const char *what;
        std::vector<uint8_t> file;
        OBJError error;
    };
    std::vector<Case> cases;
    {
        std::vector<uint8_t> f = square().file();
        f.resize(f.size() - 5);
        cases.push_back({"cut short", f, OBJ_READ_ERROR});
    }
    {
        Lwo2 w = square();
        w.id("PNTS");
        w.u4(1000);  // claims more than the file holds
        std::vector<uint8_t> f = w.file();
        cases.push_back({"chunk past the end", f, OBJ_READ_ERROR});
    }
    {
        Lwo2 w = square();
        w.chunk("POLS", bytes({'F', 'A', 'C', 'E', 0, 3, 0, 0, 0, 1, 0, 9}));
        cases.push_back({"index beyond the points", w.file(), OBJ_BAD_NPOINT});
    }
    {
        Lwo2 w = square();
        w.chunk("POLS", bytes({'F', 'A', 'C', 'E', 0, 0}));
        cases.push_back({"polygon of no corners", w.file(), OBJ_BAD_POLYGON});
    }
    {
        Lwo2 w = square();
        std::vector<uint8_t> pols = bytes({'F', 'A', 'C', 'E', 0x03, 0xFF});
        for (int i = 0; i < 1023; ++i) {
            pols.push_back(0);
            pols.push_back((uint8_t)(i & 3));
        }
        w.chunk("POLS", pols);
        cases.push_back({"polygon of 1023 corners", w.file(), OBJ_BAD_POLYGON});
    }
    {
        Lwo2 w = square();
        w.chunk("PTAG", bytes({'S', 'U', 'R', 'F', 0, 0, 0, 5}));
        cases.push_back({"tag beyond the tag list", w.file(), OBJ_BAD_FILE});
    }
    {
        Lwo2 w = square();
        w.chunk("PTAG", bytes({'S', 'U', 'R', 'F', 0, 7, 0, 0}));
        cases.push_back({"polygon beyond the polygons", w.file(), OBJ_BAD_POLYGON});
    }
    {
        Lwo2 w = square();
        w.chunk("SURF", bytes({'S', 'k', 'i', 'n'}));
        cases.push_back({"surface name without terminator", w.file(), OBJ_BAD_FILE});
    }
    {
        Lwo2 w = square();
        std::vector<uint8_t> v = bytes({'T', 'X', 'U', 'V', 0, 3, 'U', 'V', 0, 0, 0, 0});
        for (int i = 0; i < 3; ++i) v.insert(v.end(), {0, 0, 0, 0});
        w.chunk("VMAP", v);
        cases.push_back({"UV map of three dimensions", w.file(), OBJ_BAD_FILE});
    }
    {
        Lwo2 w = square();
        w.chunk("VMAP", bytes({'T', 'X', 'U', 'V', 0, 2, 'U', 'V', 0, 0, 0, 9, 0, 0, 0, 0, 0, 0, 0, 0}));
        cases.push_back({"UV entry beyond the points", w.file(), OBJ_BAD_NPOINT});
    }
    {
        Lwo2 w = square();
        w.chunk("VMAP", bytes({'T', 'X', 'U', 'V', 0, 2, 'U', 'V', 0, 0, 0, 1, 0, 0}));
        cases.push_back({"UV entry cut short", w.file(), OBJ_BAD_FILE});
    }
    {
        Lwo2 w = square();
        w.chunk("SURF", bytes({'S', 'k', 'i', 'n', 0, 0, 0, 0, 'C', 'O', 'L', 'R', 0, 40, 0, 0}));
        cases.push_back({"surface value past its chunk", w.file(), OBJ_BAD_FILE});
    }
    cases.push_back({"not an object", bytes({'F', 'O', 'R', 'M', 0, 0, 0, 4, 'I', 'L', 'B', 'M'}), OBJ_UNKNOWN_TYPE});
    {
        KbLwoModel m = kbLwoFighter();
        std::vector<uint8_t> f = kbLwoWriteLwob(m);
        // The first polygon's surface number, after its corners, points past SRFS.
        size_t pols = 0;
        for (size_t i = 12; i + 4 < f.size(); ++i) {
            if (std::memcmp(&f[i], "POLS", 4) == 0) {
                pols = i + 8;
                break;
            }
        }
        ASSERT_NE(pols, 0u);
        size_t n = (f[pols] << 8) | f[pols + 1];
        f[pols + 2 + n * 2] = 0;
        f[pols + 3 + n * 2] = 99;
        cases.push_back({"older file with a surface beyond SRFS", f, OBJ_BAD_FILE});
    }
    for (const Case &c : cases) {
        OBJError err = OBJ_NO_ERROR;
        st_OBJ2 *o = openBytes(c.file, &err);
        EXPECT_EQ(o, nullptr) << c.what;
        EXPECT_EQ(err, c.error) << c.what << ": " << OBJ2_errorText(err);
        OBJ2_close(&o);
    }
}

TEST(Obj2Read, MissingFileAndErrorTexts)
{
    OBJError err;
    EXPECT_EQ(OBJ2_open("/nonexistent/x.lwo", nullptr, &err), nullptr);
    EXPECT_EQ(err, OBJ_OPEN_ERROR);
    EXPECT_STREQ(OBJ2_errorText(OBJ_BAD_FILE), "bad file format");
    EXPECT_STREQ(OBJ2_errorText(OBJ_BAD_POLYGON), "bad polygon data");
    // errorStr hands out the text once.
    st_OBJ2 *o = OBJ2_new();
    o->error = OBJ_MEM_ERROR;
    EXPECT_STREQ(o->errorStr(o), "memory error");
    EXPECT_STREQ(o->errorStr(o), "no error");
    OBJ2_close(&o);
}

TEST(Obj2Memcon, RecordsEveryBlockAndFreesThemAll)
{
    st_Memcon *m = st_MemconNew();
    std::vector<void *> blocks;
    // More blocks than the first record table holds: none may be lost.
    for (int i = 0; i < OBJ2_MEMCON_RECORDS + 10; ++i) blocks.push_back(m->alloc(m, 8));
    EXPECT_EQ(m->count, OBJ2_MEMCON_RECORDS + 10);
    EXPECT_EQ(m->used_size, 8u * (OBJ2_MEMCON_RECORDS + 10));
    uint8_t *p = (uint8_t *)m->realloc(m, blocks.back(), 64);
    for (int i = 8; i < 64; ++i) ASSERT_EQ(p[i], 0);  // grown part is zero-filled
    m->free(m, p);
    EXPECT_EQ(m->used_size, 8u * (OBJ2_MEMCON_RECORDS + 9));
    st_MemconDelete(m);  // the sanitizer reports anything left behind
}
