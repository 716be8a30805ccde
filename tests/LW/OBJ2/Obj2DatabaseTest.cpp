// The database operations beyond reading: polygon sets, sharing tables, writing objects back,
// surface, clip and envelope edits, UV maps from named maps and view files, second handles.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <unistd.h>

#include "KbLwo.h"
#include "LW/OBJ2/OBJ2.h"

namespace {

st_OBJ2 *openBytes(const std::vector<uint8_t> &aBytes)
{
    OBJError err;
    st_OBJ2 *o = OBJ2_openMem(aBytes.data(), (uint32_t)aBytes.size(), "test.lwo", nullptr, &err);
    EXPECT_NE(o, nullptr) << OBJ2_errorText(err);
    return o;
}

std::string tempPath(const char *aName)
{
    return std::string(::testing::TempDir()) + "obj2db_" + std::to_string(getpid()) + "_" + aName;
}

void writeText(const std::string &aPath, const char *aText)
{
    FILE *f = std::fopen(aPath.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs(aText, f);
    std::fclose(f);
}

// An empty database with one layer, built through the table.
st_OBJ2 *emptyObject()
{
    st_OBJ2 *o = OBJ2_new();
    o->newLayer(o, 0);
    o->newSurf(o, "A");
    o->newSurf(o, "B");
    return o;
}

int32_t addPoint(st_OBJ2 *o, double x, double y, double z)
{
    const double p[3] = {x, y, z};
    return o->addPoint(o, p);
}

std::set<int32_t> run(const int32_t *aP, int32_t aN) { return std::set<int32_t>(aP, aP + aN); }

} // namespace

TEST(Obj2Db, PolygonSetsFromTagsAndFilesFeedTheMeshes)
{
    KbLwoModel m = kbLwoFighter();
    st_OBJ2 *o = openBytes(kbLwoWriteLwo2(m));
    ASSERT_NE(o, nullptr);
    const int32_t wing = o->findTag(o, "Wing");
    ASSERT_GE(wing, 0);
    st_PolySet *s = o->ptagSelect(o, "SURF", wing);
    ASSERT_NE(s, nullptr);
    EXPECT_STREQ(s->name, "Wing");
    int32_t want = 0;
    for (size_t i = 0; i < m.polys.size(); ++i) want += m.surfaces[m.polySurf[i]].name == "Wing";
    ASSERT_EQ(s->count, want);
    EXPECT_EQ(s->pols[s->count], -1);
    for (int32_t i = 0; i < s->count; ++i) EXPECT_EQ(o->ptagGetTag(o, "SURF", s->pols[i]), wing);
    EXPECT_EQ(o->ptagGetTag(o, "PART", 0), -1);
    EXPECT_EQ(o->ptagSelect(o, "PART", 0), nullptr);

    const std::string path = tempPath("wing.pset");
    ASSERT_EQ(o->savePSet(o, s, path.c_str()), 0);
    ASSERT_EQ(o->loadPSet(o, path.c_str()), 1);
    st_PolySet *back = o->nextPSet(o, o->nextPSet(o, nullptr));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(o->nextPSet(o, back), nullptr);
    EXPECT_STREQ(back->name, (std::string("obj2db_") + std::to_string(getpid()) + "_wing").c_str());
    ASSERT_EQ(back->count, s->count);
    EXPECT_EQ(std::memcmp(back->pols, s->pols, sizeof(int32_t) * (s->count + 1)), 0);

    // Meshes of the set hold exactly the set's triangles.
    ASSERT_EQ(o->tripleAll(o, 2), 0);
    std::vector<int32_t> sel;
    for (int32_t i = 0; i < o->polyCount(o); ++i) {
        if (o->polSurfNum(o, i) == o->findSurf(o, "Wing")) sel.push_back(i);
    }
    sel.push_back(-1);
    const st_MeshOpt opt = {3, 1, 0, 4, sel.data()};
    ASSERT_GT(o->makeMeshes(o, &opt), 0);
    std::set<int32_t> inMeshes;
    for (int32_t k = 0; k < o->meshCount(o); ++k) {
        for (st_MeshNode *n = o->meshInfo(o, k)->nodes; n; n = n->next) inMeshes.insert(n->pol_no);
    }
    EXPECT_EQ(inMeshes, std::set<int32_t>(sel.begin(), sel.end() - 1));

    // Damaged set files are refused with their error and add nothing.
    const struct {
        const char *text;
        OBJError error;
    } bad[] = {{"SET 1 0\n", OBJ_BAD_FILE},       {"PSET 2\n0\n", OBJ_BAD_FILE},
               {"PSET 2\n0 0\n", OBJ_BAD_FILE},   {"PSET 1\n99999999\n", OBJ_BAD_POLYGON},
               {"PSET 1\n-1\n", OBJ_BAD_POLYGON}, {"PSET 99999999\n0\n", OBJ_BAD_FILE}};
    for (const auto &b : bad) {
        writeText(path, b.text);
        EXPECT_EQ(o->loadPSet(o, path.c_str()), -1) << b.text;
        EXPECT_EQ(o->error, b.error) << b.text;
    }
    std::remove(path.c_str());
    EXPECT_EQ(o->loadPSet(o, path.c_str()), -1);
    EXPECT_EQ(o->error, OBJ_OPEN_ERROR);
    EXPECT_EQ(o->savePSet(o, s, "/nonexistent-folder/x.pset"), -1);
    EXPECT_EQ(o->error, OBJ_OPEN_ERROR);
    int32_t sets = 0;
    for (st_PolySet *p = o->nextPSet(o, nullptr); p; p = o->nextPSet(o, p)) ++sets;
    EXPECT_EQ(sets, 2);
    OBJ2_close(&o);
}

TEST(Obj2Db, SharingTablesFollowTheLayerAsItChanges)
{
    st_OBJ2 *o = emptyObject();
    // Two quads on a shared edge (1-4).
    for (int i = 0; i < 6; ++i) addPoint(o, i % 3, i / 3, 0);
    const int32_t q0[4] = {0, 3, 4, 1}, q1[4] = {1, 4, 5, 2};
    ASSERT_EQ(o->addPoly(o, 4, q0, 0), 0);
    ASSERT_EQ(o->addPoly(o, 4, q1, 0), 1);
    int32_t n = 0;
    const int32_t *r = o->polUsers(o, 1, &n);
    EXPECT_EQ(run(r, n), (std::set<int32_t>{0, 1}));
    r = o->pntUsers(o, 4, &n);
    EXPECT_EQ(run(r, n), (std::set<int32_t>{1, 3, 5}));
    r = o->pntShareInfo(o, 0, &n);
    EXPECT_EQ(run(r, n), (std::set<int32_t>{0}));

    // A new point on point 0 and a polygon using it: the tables are built again.
    ASSERT_EQ(addPoint(o, 0, 0, 0), 6);
    const int32_t tri[3] = {6, 3, 0};
    ASSERT_EQ(o->addPoly(o, 3, tri, 1), 2);
    r = o->pntShareInfo(o, 6, &n);
    EXPECT_EQ(run(r, n), (std::set<int32_t>{0, 6}));
    r = o->polUsers(o, 0, &n);
    EXPECT_EQ(run(r, n), (std::set<int32_t>{0, 2}));
    r = o->pntUsers(o, 0, &n);
    EXPECT_EQ(run(r, n), (std::set<int32_t>{1, 3, 6}));

    // Face normals: the quads share theirs, the triangle (degenerate: 6 lies on 0) has none and
    // its corners still group together.
    ASSERT_EQ(o->makeNormal(o, 0), 0);
    const int32_t *nrm = o->polNorms(o, 0);
    r = o->nrmShareInfo(o, nrm[0], &n);
    std::set<int32_t> same = run(r, n);
    EXPECT_EQ(same.count(o->polNorms(o, 1)[0]), 1u);
    std::set<int32_t> users;
    for (int32_t k : same) {
        r = o->nrmUsers(o, k, &n);
        users.insert(r, r + n);
    }
    EXPECT_EQ(users, (std::set<int32_t>{0, 1}));
    const int32_t *bad = o->polNorms(o, 2);
    EXPECT_TRUE(std::isnan(o->normalInfo(o, bad[0])->vector[0]));
    r = o->nrmShareInfo(o, bad[0], &n);
    EXPECT_EQ(run(r, n).count(bad[2]), 1u);

    // Items outside the layer are refused, not read.
    EXPECT_EQ(o->polUsers(o, 7, &n), nullptr);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(o->error, OBJ_PARM_ERROR);
    EXPECT_EQ(o->nrmUsers(o, -1, &n), nullptr);
    EXPECT_EQ(o->pntShareInfo(o, 1 << 30, &n), nullptr);

    // Freed tables come back on the next question.
    o->freePolUsers(o);
    o->freePntUsers(o);
    o->freeNrmUsers(o);
    o->freePntShare(o);
    o->freeNrmShare(o);
    r = o->polUsers(o, 4, &n);
    EXPECT_EQ(run(r, n), (std::set<int32_t>{0, 1}));
    OBJ2_close(&o);
}

TEST(Obj2Db, SavedObjectsReadBackWithTheirGeometrySurfacesAndImages)
{
    KbLwoModel m = kbLwoFighter();
    const std::string path = tempPath("saved.lwo");
    for (int gen = 0; gen < 2; ++gen) {
        st_OBJ2 *o = openBytes(gen ? kbLwoWriteLwob(m) : kbLwoWriteLwo2(m));
        ASSERT_NE(o, nullptr);
        ASSERT_EQ(o->saveObj(o, path.c_str(), LWO2_FILE), 0) << gen;
        st_OBJ2 *b = OBJ2_open(path.c_str(), nullptr);
        ASSERT_NE(b, nullptr) << gen;
        EXPECT_EQ(b->type, LWO2_FILE);
        ASSERT_EQ(b->pointCount(b), o->pointCount(o));
        ASSERT_EQ(b->polyCount(b), o->polyCount(o));
        ASSERT_EQ(b->surfCount(b), o->surfCount(o));
        for (int32_t i = 0; i < o->pointCount(o); ++i) {
            for (int k = 0; k < 3; ++k) ASSERT_EQ(b->pointInfo(b, i)->position[k], o->pointInfo(o, i)->position[k]);
        }
        for (int32_t i = 0; i < o->polyCount(o); ++i) {
            int32_t na = 0, nb = 0;
            const int32_t *pa = o->polPnts(o, i, &na), *pb = b->polPnts(b, i, &nb);
            ASSERT_EQ(na, nb);
            EXPECT_EQ(std::memcmp(pa, pb, sizeof(int32_t) * na), 0);
            EXPECT_STREQ(o->polSurf(o, i), b->polSurf(b, i));
        }
        for (int32_t s = 0; s < o->surfCount(o); ++s) {
            const st_MaterialData *x = o->getMaterial(o, s), *y = b->getMaterial(b, s);
            EXPECT_STREQ(x->surf, y->surf);
            EXPECT_EQ(std::memcmp(x->diff, y->diff, sizeof(x->diff)), 0) << x->surf;
            EXPECT_EQ(std::memcmp(x->emis, y->emis, sizeof(x->emis)), 0) << x->surf;
            EXPECT_EQ(x->sman, y->sman);
            EXPECT_EQ(x->flags, y->flags) << x->surf;
            ASSERT_EQ(x->num_layrs, y->num_layrs) << x->surf;
            for (st_TextureLayer *t = x->tlayrs, *u = y->tlayrs; t; t = t->next, u = u->next) {
                EXPECT_STREQ(t->timg, u->timg);
                EXPECT_EQ(t->chan, u->chan);
                EXPECT_EQ(t->proj, u->proj);
                EXPECT_EQ(std::memcmp(t->size, u->size, sizeof(t->size)), 0);
            }
        }
        EXPECT_EQ(b->vmapCount(b), o->vmapCount(o));
        OBJ2_close(&b);
        OBJ2_close(&o);
    }
    std::remove(path.c_str());

    // What cannot be written is refused, and nothing claims success.
    st_OBJ2 *o = emptyObject();
    EXPECT_EQ(o->saveObj(o, path.c_str(), LWOB_FILE), -1);
    EXPECT_EQ(o->error, OBJ_PARM_ERROR);
    EXPECT_EQ(o->saveObj(o, "/nonexistent-folder/x.lwo", LWO2_FILE), -1);
    EXPECT_EQ(o->error, OBJ_OPEN_ERROR);
    std::vector<int32_t> many(1100, 0);
    addPoint(o, 0, 0, 0);
    ASSERT_GE(o->addPoly(o, (int32_t)many.size(), many.data(), 0), 0);
    EXPECT_EQ(o->saveObj(o, path.c_str(), LWO2_FILE), -1);
    EXPECT_EQ(o->error, OBJ_BAD_POLYGON);
    FILE *f = std::fopen(path.c_str(), "rb");
    EXPECT_EQ(f, nullptr);
    if (f) std::fclose(f);
    OBJ2_close(&o);
}

TEST(Obj2Db, SurfacesClipsAndEnvelopesEditInPlace)
{
    st_OBJ2 *o = emptyObject();
    o->newSurf(o, "0first");
    for (int i = 0; i < 3; ++i) addPoint(o, i, i * i, 0);
    const int32_t tri[3] = {0, 1, 2};
    o->addPoly(o, 3, tri, 1);  // B
    o->addPoly(o, 3, tri, 2);  // 0first
    int32_t pols = -1, layrs = -1;
    EXPECT_STREQ(o->surfInfo(o, 1, &pols, &layrs), "B");
    EXPECT_EQ(pols, 1);
    EXPECT_EQ(layrs, 0);
    EXPECT_EQ(o->surfInfo(o, 3, &pols, &layrs), nullptr);

    // Renaming keeps names unique; the polygons follow their surface through sorting.
    EXPECT_EQ(o->renameSurf(o, 0, "B"), -1);
    EXPECT_EQ(o->error, OBJ_PARM_ERROR);
    EXPECT_EQ(o->renameSurf(o, 0, ""), -1);
    ASSERT_EQ(o->renameSurf(o, 1, "Zed"), 0);
    EXPECT_STREQ(o->polSurf(o, 0), "Zed");
    ASSERT_EQ(o->sortSurfs(o), 0);
    EXPECT_STREQ(o->getSurf(o, 0)->name, "0first");
    EXPECT_STREQ(o->getSurf(o, 2)->name, "Zed");
    EXPECT_STREQ(o->getSurf(o, o->polSurfNum(o, 0))->name, "Zed");
    EXPECT_STREQ(o->getSurf(o, o->polSurfNum(o, 1))->name, "0first");
    EXPECT_EQ(o->surfNext(o, o->getSurf(o, 1)), o->getSurf(o, 2));
    EXPECT_EQ(o->surfNext(o, o->getSurf(o, 2)), nullptr);
    ASSERT_EQ(o->setSurf(o, 1, 1), 0);
    EXPECT_STREQ(o->polSurf(o, 1), "A");
    EXPECT_EQ(o->setSurf(o, 1, 3), -1);
    EXPECT_EQ(o->setSurf(o, 2, 0), -1);

    // Texture layers and their images.
    EXPECT_EQ(o->setTxtLayrs(o, 1, 3), 3);
    EXPECT_EQ(o->mtlLayCount(o, 1), 3);
    const int32_t idx = o->newClipIndex(o);
    ASSERT_NE(o->newClip(o, idx, "Images/a.bmp"), nullptr);
    EXPECT_EQ(o->newClip(o, idx, "again"), nullptr);
    ASSERT_NE(o->newClip(o, o->newClipIndex(o), "Images/b.bmp"), nullptr);
    EXPECT_EQ(o->getClipNo(o, idx), 0);
    EXPECT_EQ(o->getClipIndex(o, 1), idx + 1);
    EXPECT_EQ(o->getClipIndex(o, 2), -1);
    ASSERT_EQ(o->setClip(o, 1, 2, idx), 0);
    EXPECT_EQ(o->setClip(o, 1, 3, idx), -1);
    EXPECT_EQ(o->setClip(o, 1, 0, 99), -1);
    ASSERT_EQ(o->setClipName(o, idx, "Images/c.bmp"), 0);
    EXPECT_STREQ(o->getTexture(o, 1, 2)->timg, "Images/c.bmp");
    EXPECT_EQ(o->setTxtLayrs(o, 1, 1), 1);
    EXPECT_EQ(o->getTexture(o, 1, 1), nullptr);
    o->getSurf(o, 1)->lumi = 0.5f;
    EXPECT_FLOAT_EQ(o->newMaterial(o, 1)->emis[0], 0.5f * o->getSurf(o, 1)->colr[0]);
    ASSERT_EQ(o->clrMaterial(o, 1), 0);
    EXPECT_EQ(o->mtlLayCount(o, 1), 0);
    EXPECT_EQ(o->getMaterial(o, 1)->emis[0], 0.0f);
    EXPECT_STREQ(o->getMaterial(o, 1)->surf, "A");

    // Texture matrix: size, then heading, then the centre.
    st_TextureLayer *t = o->newTexture(o, 0);
    ASSERT_NE(t, nullptr);
    t->size[0] = 2;
    t->size[1] = 3;
    t->size[2] = 4;
    t->cntr[0] = 5;
    t->rota[0] = (float)(M_PI / 2);
    ASSERT_EQ(o->setTMatrix(o, 0, 0), 0);
    EXPECT_NEAR(t->tmat[0][2], -2.0, 1e-6);  // x turns to -z
    EXPECT_NEAR(t->tmat[1][1], 3.0, 1e-6);
    EXPECT_NEAR(t->tmat[2][0], 4.0, 1e-6);
    EXPECT_EQ(t->tmat[3][0], 5.0);
    EXPECT_EQ(o->setTMatrix(o, 0, 1), -1);

    // Envelopes keep rising keys only.
    ASSERT_NE(o->newEnvelope(o, 1, 3), nullptr);
    EXPECT_EQ(o->newEnvelope(o, 1, 3), nullptr);
    const float keys[] = {0, 1, 1, 2, 3, 0};
    ASSERT_EQ(o->setEnvelope(o, 1, 3, keys), 0);
    EXPECT_EQ(o->getEnvelope(o, 1)->numKeys, 3);
    const float back[] = {0, 1, 2, 2, 1, 0};
    EXPECT_EQ(o->setEnvelope(o, 1, 3, back), -1);
    const float nan[] = {0, NAN};
    EXPECT_EQ(o->setEnvelope(o, 1, 1, nan), -1);
    EXPECT_EQ(o->setEnvelope(o, 2, 1, keys), -1);
    EXPECT_EQ(o->getEnvelope(o, 1)->numKeys, 3);  // a refused edit keeps the keys
    EXPECT_EQ(o->getEnvelope(o, 1)->keys[4], 3.0f);
    OBJ2_close(&o);
}

TEST(Obj2Db, EdgesVertexMapsTagsAndColoursWalkInOrder)
{
    st_OBJ2 *o = emptyObject();
    for (int i = 0; i < 4; ++i) addPoint(o, i & 1, i >> 1, 0);
    const int32_t a[3] = {0, 2, 1}, b[3] = {1, 2, 3};
    o->addPoly(o, 3, a, 0);
    o->addPoly(o, 3, b, 0);
    ASSERT_EQ(o->makeEdges(o), 0);
    std::set<std::pair<int32_t, int32_t>> at2;
    for (int32_t e = o->edgeNext(o, 2, -1); e >= 0; e = o->edgeNext(o, 2, e)) {
        const st_EdgeData *d = o->edgeInfo(o, e);
        at2.insert({d->pnts[0], d->pnts[1]});
    }
    EXPECT_EQ(at2, (std::set<std::pair<int32_t, int32_t>>{{0, 2}, {1, 2}, {2, 3}}));
    EXPECT_EQ(o->edgeNext(o, 4, -1), -1);
    EXPECT_EQ(o->error, OBJ_PARM_ERROR);

    st_VMapData *uv = o->newVMap(o, "TXUV", 2, "uv", 0);
    o->newVMap(o, "WGHT", 1, "w", 0);
    st_VMapData *uv2 = o->newVMap(o, "TXUV", 2, "uv2", 1);
    ASSERT_NE(uv2, nullptr);
    uv = o->getVMap(o, "TXUV", "uv", 0);  // the list may have moved
    EXPECT_EQ(o->vmapNext(o, nullptr, "TXUV"), uv);
    EXPECT_EQ(o->vmapNext(o, uv, "TXUV"), o->getVMap(o, "TXUV", "uv2", 1));
    EXPECT_EQ(o->vmapNext(o, o->getVMap(o, "TXUV", "uv2", 1), nullptr), nullptr);
    EXPECT_STREQ(o->vmapNext(o, uv, nullptr)->name, "w");

    st_PTagData *surf = o->newPTag(o, "SURF");
    o->newPTag(o, "PART");
    surf = o->getPTag(o, "SURF");
    EXPECT_EQ(o->ptagNext(o, nullptr), surf);
    EXPECT_EQ(std::string(o->ptagNext(o, surf)->type), "PART");
    EXPECT_EQ(o->ptagNext(o, o->ptagNext(o, surf)), nullptr);

    const uint8_t red[4] = {255, 0, 0, 51};
    const int32_t c = o->addColori(o, red);
    EXPECT_FLOAT_EQ(o->colorInfo(o, c)->rgba[3], 0.2f);
    EXPECT_EQ(o->compColor(o, o->colorInfo(o, c)->rgba), c);
    const float blue[4] = {0, 0, 1, 1};
    EXPECT_EQ(o->compColor(o, blue), c + 1);
    OBJ2_close(&o);
}

TEST(Obj2Db, UvMapsFromANamedVertexMapOrAViewFile)
{
    KbLwoModel m = kbLwoFighter();
    st_OBJ2 *o = openBytes(kbLwoWriteLwo2(m));
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(o->makeUVmap(o, "Nope"), -1);
    EXPECT_EQ(o->error, OBJ_NO_TXTMAP);
    int32_t corners = 0;
    for (int32_t i = 0; i < o->polyCount(o); ++i) corners += o->polyInfo(o, i)->numPnts;
    ASSERT_EQ(o->makeUVmap(o, "Top"), corners);
    const int32_t *maps = o->polMaps(o, 3);
    const st_MapData *e = o->mapInfo(o, maps[0]);
    const int32_t pnt = o->polyInfo(o, 3)->points[0];
    EXPECT_EQ(e->pnt, pnt);
    EXPECT_EQ(e->u, (double)m.uv[pnt * 2]);
    EXPECT_EQ(e->v, (double)m.uv[pnt * 2 + 1]);
    // Corners on one point share their entry.
    EXPECT_LT(o->mapCount(o), corners);
    ASSERT_EQ(o->setUVmap(o, maps[0], 0.25, 0.75), 0);
    EXPECT_EQ(o->mapInfo(o, maps[0])->v, 0.75);
    EXPECT_EQ(o->setUVmap(o, o->mapCount(o), 0, 0), -1);
    const int32_t fresh = o->compUVmap(o, 0.5, 0.5, pnt, 0);
    EXPECT_EQ(fresh, o->mapCount(o) - 1);
    EXPECT_EQ(o->compUVmap(o, 0.5, 0.5, pnt, 0), fresh);
    EXPECT_EQ(o->compUVmap(o, 0.5, 0.5, pnt, 1), fresh + 1);

    // A view file maps the corners of one surface only.
    const std::string path = tempPath("wing.uv");
    const int32_t wing = o->findSurf(o, "Wing");
    int32_t p0 = -1;
    for (int32_t i = 0; i < o->polyCount(o) && p0 < 0; ++i) {
        if (o->polSurfNum(o, i) == wing) p0 = i;
    }
    ASSERT_GE(p0, 0);
    const int32_t w0 = o->polyInfo(o, p0)->points[0];
    writeText(path, ("UVIEW 1\n" + std::to_string(w0) + " 0.5 -2\n").c_str());
    ASSERT_GE(o->loadUView(o, wing, path.c_str()), 1);
    EXPECT_EQ(o->mapInfo(o, o->polMaps(o, p0)[0])->v, -2.0);
    EXPECT_STREQ(o->getMaterial(o, wing)->uview_file, path.c_str());
    for (int32_t i = 0; i < o->polyCount(o); ++i) {
        const st_PolygonData *p = o->polyInfo(o, i);
        for (int32_t k = 0; k < p->numPnts; ++k) {
            if (p->points[k] == w0 && p->surf_no != wing) {
                ASSERT_NE(o->mapInfo(o, p->maps[k]), nullptr);
                EXPECT_NE(o->mapInfo(o, p->maps[k])->v, -2.0);
            }
        }
    }
    const struct {
        std::string text;
        OBJError error;
    } bad[] = {{"UV 1\n0 0 0\n", OBJ_BAD_FILE},
               {"UVIEW 2\n0 0 0\n", OBJ_BAD_FILE},
               {"UVIEW 1\n0 nan 0\n", OBJ_BAD_FILE},
               {"UVIEW 1\n" + std::to_string(o->pointCount(o)) + " 0 0\n", OBJ_BAD_NPOINT},
               {"UVIEW 1\n-1 0 0\n", OBJ_BAD_NPOINT}};
    for (const auto &b : bad) {
        writeText(path, b.text.c_str());
        EXPECT_EQ(o->loadUView(o, wing, path.c_str()), -1) << b.text;
        EXPECT_EQ(o->error, b.error) << b.text;
    }
    std::remove(path.c_str());
    EXPECT_EQ(o->loadUView(o, wing, path.c_str()), -1);
    EXPECT_EQ(o->error, OBJ_OPEN_ERROR);
    EXPECT_EQ(o->loadUView(o, 99, path.c_str()), -1);
    EXPECT_EQ(o->error, OBJ_PARM_ERROR);
    OBJ2_close(&o);
}

TEST(Obj2Db, AnInstanceReadsTheSameDatabaseAndCannotGrowItsLists)
{
    KbLwoModel m = kbLwoFighter();
    st_OBJ2 *o = openBytes(kbLwoWriteLwo2(m));
    ASSERT_NE(o, nullptr);
    st_OBJ2 *i = o->instObj(o);
    ASSERT_NE(i, nullptr);
    EXPECT_EQ(i->polyCount(i), o->polyCount(o));
    EXPECT_EQ(i->getSurf(i, 0), o->getSurf(o, 0));
    EXPECT_EQ(i->newSurf(i, "New"), nullptr);
    EXPECT_EQ(i->error, OBJ_DB_ERROR);
    EXPECT_EQ(i->newLayer(i, 3), nullptr);
    i->clearSurfs(i);
    EXPECT_EQ(o->surfCount(o), (int32_t)m.surfaces.size());
    // Work on the shared layer shows through both handles.
    ASSERT_EQ(i->tripleAll(i, 2), 0);
    EXPECT_EQ(o->polyCount(o), i->polyCount(i));
    OBJ2_close(&i);
    EXPECT_EQ(o->surfCount(o), (int32_t)m.surfaces.size());
    EXPECT_NE(o->polyInfo(o, 0), nullptr);

    char *text = nullptr;
    size_t size = 0;
    FILE *f = open_memstream(&text, &size);
    o->info(o, f);
    o->dumpObj(o, f);
    std::fclose(f);
    const std::string s(text, size);
    std::free(text);
    EXPECT_NE(s.find("format LWO2\nlayers 1\n"), std::string::npos);
    EXPECT_NE(s.find("surface 0 \"Hull\""), std::string::npos);
    EXPECT_NE(s.find("vmap TXUV 2 \"Top\" point"), std::string::npos);
    OBJ2_close(&o);
}
