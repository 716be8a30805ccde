// Post-processing: triangles that cover each polygon exactly, strips and fans that draw every
// triangle once with the file's winding, and normals within the smoothing angle.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <vector>

#include "KbLwo.h"
#include "LW/OBJ2/OBJ2.h"

namespace {

double area2(const std::vector<double> &xy, int a, int b, int c)
{
    return (xy[b * 2] - xy[a * 2]) * (xy[c * 2 + 1] - xy[a * 2 + 1]) - (xy[b * 2 + 1] - xy[a * 2 + 1]) * (xy[c * 2] - xy[a * 2]);
}

double polyArea2(const std::vector<double> &xy)
{
    double s = 0;
    int n = (int)xy.size() / 2;
    for (int i = 0; i < n; ++i) {
        int j = (i + 1) % n;
        s += xy[i * 2] * xy[j * 2 + 1] - xy[j * 2] * xy[i * 2 + 1];
    }
    return s;
}

// n - 2 triangles, none turned against the outline, areas adding up to the polygon's.
void expectCovers(const char *aWhat, const std::vector<double> &xy)
{
    int n = (int)xy.size() / 2;
    std::vector<int32_t> t((n - 2) * 3);
    ASSERT_EQ(OBJ2_triangulate(xy.data(), n, t.data()), n - 2) << aWhat;
    double total = polyArea2(xy), sum = 0;
    double sign = total < 0 ? -1 : 1;
    for (int i = 0; i < n - 2; ++i) {
        for (int k = 0; k < 3; ++k) ASSERT_TRUE(t[i * 3 + k] >= 0 && t[i * 3 + k] < n) << aWhat;
        double a = area2(xy, t[i * 3], t[i * 3 + 1], t[i * 3 + 2]) * sign;
        EXPECT_GE(a, -1e-9 * std::fabs(total)) << aWhat << " triangle " << i << " is inverted";
        sum += a;
    }
    EXPECT_NEAR(sum, std::fabs(total), 1e-9 * std::fabs(total)) << aWhat;
}

std::vector<double> reversed(const std::vector<double> &xy)
{
    std::vector<double> r;
    for (int i = (int)xy.size() / 2 - 1; i >= 0; --i) {
        r.push_back(xy[i * 2]);
        r.push_back(xy[i * 2 + 1]);
    }
    return r;
}

} // namespace

TEST(Obj2Triangulate, CoversConvexConcaveCollinearAndSelfTouchingOutlines)
{
    std::vector<std::pair<const char *, std::vector<double>>> cases = {
        {"square", {0, 0, 1, 0, 1, 1, 0, 1}},
        {"regular octagon", {}},
        {"arrow (one reflex corner)", {0, 0, 4, 2, 0, 4, 1, 2}},
        {"comb (split and merge corners)", {0, 0, 10, 0, 10, 5, 8, 5, 8, 1, 6, 1, 6, 5, 4, 5, 4, 1, 2, 1, 2, 5, 0, 5}},
        {"comb upside down", {0, 5, 0, 0, 2, 0, 2, 4, 4, 4, 4, 0, 6, 0, 6, 4, 8, 4, 8, 0, 10, 0, 10, 5}},
        {"collinear corners on every side", {0, 0, 1, 0, 2, 0, 3, 0, 3, 1, 3, 2, 2, 2, 1, 2, 0, 2, 0, 1}},
        {"collinear corner in a notch", {0, 0, 4, 0, 4, 4, 2, 2, 1, 1, 0, 4}},
        {"horizontal runs", {0, 0, 2, 0, 2, 1, 3, 1, 3, 2, 1, 2, 1, 1, 0, 1}},
        // A square with a square hole joined by a doubled bridge: corners (1,1) and (0,0) repeat.
        {"self-touching (hole through a bridge)", {0, 0, 4, 0, 4, 4, 0, 4, 0, 0, 1, 1, 1, 3, 3, 3, 3, 1, 1, 1}},
        {"self-touching bow tie at one point", {0, 0, 2, 1, 4, 0, 4, 2, 2, 1, 0, 2}},
        {"spiral", {}},
        {"star (the builder's nozzle)", {}},
    };
    for (int k = 0; k < 8; ++k) {
        cases[1].second.push_back(std::cos(k * M_PI / 4));
        cases[1].second.push_back(std::sin(k * M_PI / 4));
    }
    for (int k = 0; k < 40; ++k) {
        double a = k * 0.35, r = 1 + k * 0.25;
        cases[10].second.push_back(r * std::cos(a));
        cases[10].second.push_back(r * std::sin(a));
    }
    for (int k = 39; k >= 0; --k) {
        double a = k * 0.35, r = 1.6 + k * 0.25;
        cases[10].second.push_back(r * std::cos(a));
        cases[10].second.push_back(r * std::sin(a));
    }
    for (int k = 0; k < 24; ++k) {
        double r = (k & 1) ? 0.13 : 0.28;
        cases[11].second.push_back(r * std::cos(k * M_PI / 12));
        cases[11].second.push_back(r * std::sin(k * M_PI / 12));
    }
    for (const auto &c : cases) {
        expectCovers(c.first, c.second);
        expectCovers(c.first, reversed(c.second));
    }
}

TEST(Obj2Triangulate, DegenerateOutlinesStillGiveEveryTriangle)
{
    std::vector<double> line = {0, 0, 1, 0, 2, 0, 3, 0};
    std::vector<int32_t> t(6);
    EXPECT_EQ(OBJ2_triangulate(line.data(), 4, t.data()), 2);
    EXPECT_EQ(OBJ2_triangulate(line.data(), 2, t.data()), -1);
}

namespace {

struct Fighter {
    KbLwoModel model = kbLwoFighter();
    st_OBJ2 *o = nullptr;
    explicit Fighter(uint32_t aOpe, bool aLwob = false)
    {
        st_OBJ2_option opt = {aOpe, {0}, 0, 0, 10, 255, 8, 0, 2};
        std::vector<uint8_t> f = aLwob ? kbLwoWriteLwob(model) : kbLwoWriteLwo2(model);
        o = OBJ2_openMem(f.data(), (uint32_t)f.size(), "fighter", &opt);
    }
    ~Fighter() { OBJ2_close(&o); }
};

double dot(const double *a, const double *b)
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

} // namespace

TEST(Obj2Post, TripleAllKeepsEachPolygonsAreaAndFacing)
{
    Fighter f(0);
    ASSERT_NE(f.o, nullptr);
    st_OBJ2 *o = f.o;
    int32_t before = o->polyCount(o);
    // Expected: every n-gon gives n - 2 triangles facing like it, with the same vector area.
    std::vector<std::vector<double>> area(before, std::vector<double>(3, 0.0));
    int32_t want = 0;
    for (int32_t i = 0; i < before; ++i) {
        const st_PolygonData *p = o->polyInfo(o, i);
        want += p->numPnts >= 3 ? p->numPnts - 2 : 1;
        o->getFace(o, i, area[i].data());
    }
    std::vector<double> va(before * 3, 0.0);  // Newell vector area of the originals
    for (int32_t i = 0; i < before; ++i) {
        const st_PolygonData *p = o->polyInfo(o, i);
        for (int32_t k = 0; k < p->numPnts; ++k) {
            const double *a = o->pointInfo(o, p->points[k])->position, *b = o->pointInfo(o, p->points[(k + 1) % p->numPnts])->position;
            va[i * 3] += (a[1] - b[1]) * (a[2] + b[2]);
            va[i * 3 + 1] += (a[2] - b[2]) * (a[0] + b[0]);
            va[i * 3 + 2] += (a[0] - b[0]) * (a[1] + b[1]);
        }
    }
    ASSERT_EQ(o->tripleAll(o, 0), 0);
    ASSERT_EQ(o->polyCount(o), want);
    // Pieces after the originals came from polygons in order; map each triangle to its source
    // through its surface and corners being a subset of the source's.
    std::vector<double> sum(before * 3, 0.0);
    for (int32_t i = 0; i < o->polyCount(o); ++i) {
        const st_PolygonData *p = o->polyInfo(o, i);
        ASSERT_LE(p->numPnts, 3);
        if (p->numPnts < 3) continue;
        int32_t src = i;
        if (i >= before) {
            // Find the original whose triangle 0 sits at its index: search back by shared corners.
            for (int32_t s = 0; s < before; ++s) {
                const KbLwoModel &m = f.model;
                if (m.polys[s].size() <= 3 || m.polySurf[s] != (uint32_t)p->surf_no) continue;
                int hits = 0;
                for (int k = 0; k < 3; ++k) hits += std::count(m.polys[s].begin(), m.polys[s].end(), (uint32_t)p->points[k]) ? 1 : 0;
                if (hits == 3) {
                    src = s;
                    break;
                }
            }
        }
        double n[3];
        o->getFace(o, i, n);
        double d = dot(n, area[src].data());
        EXPECT_TRUE(!(d < 0.999)) << "triangle " << i << " of polygon " << src << " is turned over";
        const double *a = o->pointInfo(o, p->points[0])->position, *b = o->pointInfo(o, p->points[1])->position,
                     *c = o->pointInfo(o, p->points[2])->position;
        double u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]}, v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
        sum[src * 3] += u[1] * v[2] - u[2] * v[1];
        sum[src * 3 + 1] += u[2] * v[0] - u[0] * v[2];
        sum[src * 3 + 2] += u[0] * v[1] - u[1] * v[0];
    }
    for (int32_t i = 0; i < before; ++i) {
        if (f.model.polys[i].size() < 3) continue;
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(sum[i * 3 + k], va[i * 3 + k], 1e-4) << "polygon " << i;
    }
}

TEST(Obj2Post, StripsAndFansDrawEveryTriangleOnceWithItsWinding)
{
    for (bool lwob : {false, true}) {
        Fighter f(OBJ2_OPE_TRIPLE, lwob);
        ASSERT_NE(f.o, nullptr);
        st_OBJ2 *o = f.o;
        for (const st_MeshOpt &opt : {st_MeshOpt{3, 1, 0, 4, nullptr}, st_MeshOpt{0, 0, 0, 4, nullptr}, st_MeshOpt{1, 1, 7, 3, nullptr}}) {
            ASSERT_GT(o->makeMeshes(o, &opt), 0);
            // Each triangle as its cyclic corner sequence, rotated to start at its least point.
            auto key = [](int32_t a, int32_t b, int32_t c) {
                while (a > b || a > c) {
                    int32_t t = a;
                    a = b;
                    b = c;
                    c = t;
                }
                return std::vector<int32_t>{a, b, c};
            };
            std::multiset<std::vector<int32_t>> want, got;
            std::multiset<int32_t> pointsWant, pointsGot;
            for (int32_t i = 0; i < o->polyCount(o); ++i) {
                const st_PolygonData *p = o->polyInfo(o, i);
                if (p->numPnts == 3) want.insert(key(p->points[0], p->points[1], p->points[2]));
                if (p->numPnts == 1) pointsWant.insert(p->points[0]);
            }
            std::set<int32_t> polsSeen;
            for (int32_t m = 0; m < o->meshCount(o); ++m) {
                const st_MeshData *md = o->meshInfo(o, m);
                std::vector<int32_t> n;
                for (const st_MeshNode *nd = md->nodes; nd; nd = nd->next) {
                    n.push_back(nd->pnt_no);
                    const st_PolygonData *p = o->polyInfo(o, nd->pol_no);
                    ASSERT_EQ(p->points[nd->ivert], nd->pnt_no);
                    ASSERT_EQ(p->surf_no, md->surf_no);
                }
                ASSERT_EQ((int32_t)n.size(), md->num_node);
                if (opt.max_node > 0) {
                    EXPECT_LE(md->num_node, opt.max_node);
                }
                for (size_t pos = 0; md->type <= MESH_TRI_FAN && pos + 2 < n.size(); ++pos) {
                    if (md->type == MESH_TRI_FAN) got.insert(key(n[0], n[pos + 1], n[pos + 2]));
                    else if (pos & 1) got.insert(key(n[pos], n[pos + 2], n[pos + 1]));
                    else got.insert(key(n[pos], n[pos + 1], n[pos + 2]));
                }
                if (md->type == MESH_POINTS) pointsGot.insert(n.begin(), n.end());
            }
            EXPECT_TRUE(want == got) << (lwob ? "LWOB" : "LWO2") << " fans " << opt.flags << ": " << want.size() << " triangles, "
                                     << got.size() << " drawn";
            EXPECT_TRUE(pointsWant == pointsGot);
            EXPECT_EQ(pointsWant.size(), 2u);
        }
    }
}

TEST(Obj2Post, StripsAreLongOnARegularGrid)
{
    KbLwoModel m = kbLwoLarge(4000);
    std::vector<uint8_t> f = kbLwoWriteLwo2(m);
    st_OBJ2_option opt = {OBJ2_OPE_TRIPLE, {0}, 0, 0, 0, 1, 1, 0, 0};
    st_OBJ2 *o = OBJ2_openMem(f.data(), (uint32_t)f.size(), "grid", &opt);
    ASSERT_NE(o, nullptr);
    st_MeshOpt mo = {0, 1, 0, 4, nullptr};
    o->makeMeshes(o, &mo);
    int32_t tris = 0, nodes = 0, strips = 0;
    for (int32_t i = 0; i < o->meshCount(o); ++i) {
        const st_MeshData *md = o->meshInfo(o, i);
        if (md->type != MESH_TRI_STRIP) continue;
        tris += md->num_node - 2;
        nodes += md->num_node;
        ++strips;
    }
    // A grid strips well: on average far more than the three nodes of a lone triangle.
    EXPECT_LT(nodes, tris * 13 / 10);
    OBJ2_close(&o);
    (void)strips;
}

TEST(Obj2Post, SmoothedNormalsStayWithinTheSurfacesAngle)
{
    Fighter f(OBJ2_OPE_TRIPLE);
    ASSERT_NE(f.o, nullptr);
    st_OBJ2 *o = f.o;
    ASSERT_EQ(o->makeNormal(o, 0), 0);
    // Flat: every corner has its face normal.
    for (int32_t i = 0; i < o->polyCount(o); ++i) {
        const st_PolygonData *p = o->polyInfo(o, i);
        if (p->numPnts < 3) continue;
        for (int32_t k = 0; k < p->numPnts; ++k) {
            const st_NormalData *n = o->normalInfo(o, p->normals[k]);
            ASSERT_NE(n, nullptr);
            EXPECT_NEAR(dot(n->vector, p->face), 1.0, 1e-9);
        }
    }
    ASSERT_EQ(o->makeNormal(o, OBJ2_NORMAL_SMOOTH), 0);
    int smoothed = 0;
    for (int32_t i = 0; i < o->polyCount(o); ++i) {
        const st_PolygonData *p = o->polyInfo(o, i);
        if (p->numPnts < 3) continue;
        const st_MaterialData *mt = o->getMaterial(o, p->surf_no);
        for (int32_t k = 0; k < p->numPnts; ++k) {
            const double *n = o->normalInfo(o, p->normals[k])->vector;
            EXPECT_NEAR(dot(n, n), 1.0, 1e-9);
            if (!(mt->flags & OBJ2_MTL_SMOOTH)) {
                EXPECT_NEAR(dot(n, p->face), 1.0, 1e-9);  // the wings stay flat
                continue;
            }
            // The corner normal is the mean of its own face and the faces of the same surface on
            // its point that lie within the angle.
            double sum[3] = {0, 0, 0};
            for (int32_t j = 0; j < o->polyCount(o); ++j) {
                const st_PolygonData *q = o->polyInfo(o, j);
                if (q->numPnts < 3 || q->surf_no != p->surf_no) continue;
                if (std::find(q->points, q->points + q->numPnts, p->points[k]) == q->points + q->numPnts) continue;
                if (j != i && dot(q->face, p->face) <= std::cos(mt->sman)) continue;
                for (int c = 0; c < 3; ++c) sum[c] += q->face[c];
            }
            double len = std::sqrt(dot(sum, sum));
            for (int c = 0; c < 3; ++c) ASSERT_NEAR(n[c], sum[c] / len, 1e-9);
            if (dot(n, p->face) < 0.9999) ++smoothed;
        }
    }
    EXPECT_GT(smoothed, 100);
}
