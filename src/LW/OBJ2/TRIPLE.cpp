// Polygons of more than three corners into triangles: the polygon is cut into y-monotone pieces
// by a sweep over its corners (start, end, split, merge and regular corners, with the left edges
// the sweep line crosses kept in order), and each piece is triangulated with a stack. A result
// that does not cover the polygon exactly (self-crossing outlines) falls back to ear clipping and
// last to a fan, so every polygon always yields n - 2 triangles of its own winding.

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "LW/OBJ2/OBJ2Int.h"

namespace {

struct _pt {
    double x, y;
};

double _orient(const _pt &a, const _pt &b, const _pt &c)
{
    return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
}

struct _tri {
    const std::vector<_pt> &p;
    std::vector<int32_t> &out;

    // Emitted counter-clockwise (in the working orientation).
    void add(int32_t a, int32_t b, int32_t c)
    {
        if (_orient(p[a], p[b], p[c]) < 0) {
            int32_t t = b;
            b = c;
            c = t;
        }
        out.push_back(a);
        out.push_back(b);
        out.push_back(c);
    }
};

// Sweep order: higher y first, then lower x.
bool _above(const _pt &a, const _pt &b)
{
    return a.y > b.y || (a.y == b.y && a.x < b.x);
}

enum { V_START, V_END, V_SPLIT, V_MERGE, V_REGULAR };

double _xAt(const _pt &a, const _pt &b, double y)
{
    if (a.y == b.y) return a.x > b.x ? a.x : b.x;
    return a.x + (b.x - a.x) * (y - a.y) / (b.y - a.y);
}

// Diagonals that cut the counter-clockwise polygon into monotone pieces; false when the outline
// is not simple enough for the sweep.
bool _monotoneDiagonals(const std::vector<_pt> &p, std::vector<int32_t> &aDiag)
{
    int32_t n = (int32_t)p.size();
    std::vector<int32_t> order(n);
    for (int32_t i = 0; i < n; ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](int32_t a, int32_t b) { return _above(p[a], p[b]) || (!_above(p[b], p[a]) && a < b); });
    std::vector<int> type(n);
    for (int32_t i = 0; i < n; ++i) {
        const _pt &pr = p[(i + n - 1) % n], &v = p[i], &nx = p[(i + 1) % n];
        bool prBelow = _above(v, pr), nxBelow = _above(v, nx);
        bool convex = _orient(pr, v, nx) > 0;
        if (prBelow && nxBelow) type[i] = convex ? V_START : V_SPLIT;
        else if (!prBelow && !nxBelow) type[i] = convex ? V_END : V_MERGE;
        else type[i] = V_REGULAR;
    }
    // Active left edges, named by their first corner (edge i runs from i to i + 1).
    std::vector<int32_t> active;
    std::vector<int32_t> helper(n, -1);
    auto remove = [&](int32_t e) {
        for (size_t k = 0; k < active.size(); ++k) {
            if (active[k] == e) {
                active.erase(active.begin() + k);
                return true;
            }
        }
        return false;
    };
    auto leftOf = [&](int32_t v) {
        int32_t best = -1;
        double bx = 0;
        for (int32_t e : active) {
            int32_t f = (e + 1) % n;
            if (e == v || f == v) continue;
            double x = _xAt(p[e], p[f], p[v].y);
            if (x <= p[v].x + 1e-12 * (1 + std::fabs(p[v].x)) && (best < 0 || x > bx)) {
                best = e;
                bx = x;
            }
        }
        return best;
    };
    auto fixup = [&](int32_t e, int32_t v) {
        if (helper[e] >= 0 && type[helper[e]] == V_MERGE) {
            aDiag.push_back(v);
            aDiag.push_back(helper[e]);
        }
    };
    for (int32_t v : order) {
        int32_t prevEdge = (v + n - 1) % n;
        switch (type[v]) {
        case V_START:
            active.push_back(v);
            helper[v] = v;
            break;
        case V_END:
            if (helper[prevEdge] < 0) return false;
            fixup(prevEdge, v);
            if (!remove(prevEdge)) return false;
            break;
        case V_SPLIT: {
            int32_t e = leftOf(v);
            if (e < 0) return false;
            aDiag.push_back(v);
            aDiag.push_back(helper[e]);
            helper[e] = v;
            active.push_back(v);
            helper[v] = v;
            break;
        }
        case V_MERGE: {
            if (helper[prevEdge] < 0) return false;
            fixup(prevEdge, v);
            if (!remove(prevEdge)) return false;
            int32_t e = leftOf(v);
            if (e < 0) return false;
            fixup(e, v);
            helper[e] = v;
            break;
        }
        default:
            // The interior lies to the right when the outline runs downward here.
            if (_above(p[(v + n - 1) % n], p[v])) {
                if (helper[prevEdge] < 0) return false;
                fixup(prevEdge, v);
                if (!remove(prevEdge)) return false;
                active.push_back(v);
                helper[v] = v;
            } else {
                int32_t e = leftOf(v);
                if (e < 0) return false;
                fixup(e, v);
                helper[e] = v;
            }
            break;
        }
    }
    return true;
}

// Is b inside the corner at position i of piece (counter-clockwise)?
bool _inCone(const std::vector<_pt> &p, const std::vector<int32_t> &piece, size_t i, int32_t b)
{
    size_t m = piece.size();
    const _pt &a = p[piece[i]], &pr = p[piece[(i + m - 1) % m]], &nx = p[piece[(i + 1) % m]], &q = p[b];
    if (_orient(pr, a, nx) >= 0) return _orient(a, q, pr) > 0 && _orient(q, a, nx) > 0;
    return !(_orient(a, q, nx) >= 0 && _orient(q, a, pr) >= 0);
}

bool _splitPieces(const std::vector<_pt> &p, const std::vector<int32_t> &aDiag, std::vector<std::vector<int32_t>> &aPieces)
{
    int32_t n = (int32_t)p.size();
    aPieces.assign(1, std::vector<int32_t>(n));
    for (int32_t i = 0; i < n; ++i) aPieces[0][i] = i;
    for (size_t d = 0; d + 1 < aDiag.size(); d += 2) {
        int32_t a = aDiag[d], b = aDiag[d + 1];
        bool done = false;
        for (size_t k = 0; k < aPieces.size() && !done; ++k) {
            std::vector<int32_t> &pc = aPieces[k];
            size_t ia = pc.size(), ib = pc.size();
            for (size_t i = 0; i < pc.size(); ++i) {
                if (pc[i] == a) ia = i;
                if (pc[i] == b) ib = i;
            }
            if (ia == pc.size() || ib == pc.size() || !_inCone(p, pc, ia, b)) continue;
            std::vector<int32_t> one, two;
            for (size_t i = ia;; i = (i + 1) % pc.size()) {
                one.push_back(pc[i]);
                if (i == ib) break;
            }
            for (size_t i = ib;; i = (i + 1) % pc.size()) {
                two.push_back(pc[i]);
                if (i == ia) break;
            }
            if (one.size() < 3 || two.size() < 3) return false;
            pc = one;
            aPieces.push_back(two);
            done = true;
        }
        if (!done) return false;
    }
    return true;
}

// Stack triangulation of one y-monotone counter-clockwise piece.
bool _monotoneTriangulate(const std::vector<_pt> &p, const std::vector<int32_t> &pc, _tri &t)
{
    size_t m = pc.size();
    size_t top = 0, bot = 0;
    for (size_t i = 1; i < m; ++i) {
        if (_above(p[pc[i]], p[pc[top]])) top = i;
        if (_above(p[pc[bot]], p[pc[i]])) bot = i;
    }
    // Counter-clockwise from the top runs down the left chain.
    std::vector<char> left(p.size(), 0);
    for (size_t i = top; i != bot; i = (i + 1) % m) left[pc[i]] = 1;
    std::vector<int32_t> u(pc);
    std::sort(u.begin(), u.end(), [&](int32_t a, int32_t b) { return _above(p[a], p[b]) || (!_above(p[b], p[a]) && a < b); });
    // The chains must each run monotonically, else the piece was not monotone.
    for (size_t i = top; i != bot; i = (i + 1) % m) {
        if (!_above(p[pc[i]], p[pc[(i + 1) % m]])) return false;
    }
    for (size_t i = bot; i != top; i = (i + 1) % m) {
        if (!_above(p[pc[(i + 1) % m]], p[pc[i]])) return false;
    }
    std::vector<int32_t> st;
    st.push_back(u[0]);
    st.push_back(u[1]);
    for (size_t j = 2; j + 1 < m; ++j) {
        int32_t v = u[j];
        if (left[v] != left[st.back()]) {
            for (size_t k = 0; k + 1 < st.size(); ++k) t.add(v, st[k], st[k + 1]);
            st.clear();
            st.push_back(u[j - 1]);
            st.push_back(v);
        } else {
            int32_t last = st.back();
            st.pop_back();
            while (!st.empty()) {
                int32_t w = st.back();
                double o = left[v] ? _orient(p[w], p[last], p[v]) : _orient(p[v], p[last], p[w]);
                if (o <= 0) break;
                t.add(v, last, w);
                last = w;
                st.pop_back();
            }
            st.push_back(last);
            st.push_back(v);
        }
    }
    for (size_t k = 0; k + 1 < st.size(); ++k) t.add(u[m - 1], st[k], st[k + 1]);
    return true;
}

void out3(_tri &t, int32_t a, int32_t b, int32_t c)
{
    t.out.push_back(a);
    t.out.push_back(b);
    t.out.push_back(c);
}

bool _inTriangle(const _pt &a, const _pt &b, const _pt &c, const _pt &q)
{
    return _orient(a, b, q) >= 0 && _orient(b, c, q) >= 0 && _orient(c, a, q) >= 0;
}

// Ear clipping for what the sweep refused. Corners that coincide with an ear's own (outlines that
// touch themselves) block it at first; only when no ear is left do they not, and then an ear may
// not take more area than what remains. A fan from the best root finishes whatever has no ear.
void _earClip(const std::vector<_pt> &p, _tri &t)
{
    std::vector<int32_t> r(p.size());
    for (size_t i = 0; i < r.size(); ++i) r[i] = (int32_t)i;
    double rem = 0;
    for (size_t i = 0; i < p.size(); ++i) {
        const _pt &a = p[i], &b = p[(i + 1) % p.size()];
        rem += a.x * b.y - b.x * a.y;
    }
    double tol = 1e-9 * std::fabs(rem);
    long budget = 4000000;
    while (r.size() > 3 && budget > 0) {
        size_t m = r.size();
        bool cut = false;
        for (int lenient = 0; lenient < 2 && !cut; ++lenient) {
            for (size_t i = 0; i < m && !cut; ++i) {
                int32_t a = r[(i + m - 1) % m], b = r[i], c = r[(i + 1) % m];
                double area = _orient(p[a], p[b], p[c]);
                if (area <= 0 || area > rem + tol) continue;
                bool ear = true;
                for (size_t k = 0; k < m && ear; ++k) {
                    int32_t q = r[k];
                    --budget;
                    if (q == a || q == b || q == c) continue;
                    const _pt &s = p[q];
                    bool same = (s.x == p[a].x && s.y == p[a].y) || (s.x == p[b].x && s.y == p[b].y) || (s.x == p[c].x && s.y == p[c].y);
                    if (same && lenient) continue;
                    if (_inTriangle(p[a], p[b], p[c], s)) ear = false;
                }
                if (ear) {
                    t.add(a, b, c);
                    rem -= area;
                    r.erase(r.begin() + i);
                    cut = true;
                }
            }
        }
        if (!cut) break;
    }
    size_t m = r.size(), root = 0;
    double worst = -1e300;
    for (size_t s = 0; s < m && m > 3; ++s) {
        double low = 1e300;
        for (size_t i = 1; i + 1 < m; ++i) {
            double a = _orient(p[r[s]], p[r[(s + i) % m]], p[r[(s + i + 1) % m]]);
            if (a < low) low = a;
        }
        if (low > worst) {
            worst = low;
            root = s;
        }
    }
    for (size_t i = 1; i + 1 < m; ++i) {
        int32_t a = r[root], b = r[(root + i) % m], c = r[(root + i + 1) % m];
        // Kept as the outline has it, even when that is turned over: the count must stay n - 2.
        out3(t, a, b, c);
    }
}

bool _covers(const std::vector<_pt> &p, const std::vector<int32_t> &aTris, double aArea)
{
    if (aTris.size() != (p.size() - 2) * 3) return false;
    double sum = 0, tol = 1e-9 * (std::fabs(aArea) + 1e-300);
    for (size_t i = 0; i < aTris.size(); i += 3) {
        double a = _orient(p[aTris[i]], p[aTris[i + 1]], p[aTris[i + 2]]) * 0.5;
        if (a < -tol) return false;
        sum += a;
    }
    return std::fabs(sum - aArea) <= 1e-7 * std::fabs(aArea) + 1e-300;
}

// Work lists reused between calls: most polygons are small and many. Plain file statics:
// objects are converted on one thread; thread-local storage would link the runtime's XP-only
// thread exit hook, and function statics its guard, which throws through the unwinder.
std::vector<_pt> _triPoints;
std::vector<int32_t> _triTris;
std::vector<double> _splitXY;
std::vector<int32_t> _splitTri, _splitSrcAll, _splitPolmMaps;
std::vector<st_PolygonMap> _splitPolms;

} // namespace

int32_t OBJ2_triangulate(const double *aXY, int32_t aNum, int32_t *aTris)
{
    if (aNum < 3) return -1;
    std::vector<_pt> &p = _triPoints;
    std::vector<int32_t> &tris = _triTris;
    p.resize(aNum);
    tris.clear();
    double area = 0;
    for (int32_t i = 0; i < aNum; ++i) p[i] = _pt{aXY[i * 2], aXY[i * 2 + 1]};
    for (int32_t i = 0; i < aNum; ++i) {
        const _pt &a = p[i], &b = p[(i + 1) % aNum];
        area += a.x * b.y - b.x * a.y;
    }
    area *= 0.5;
    // Work counter-clockwise: a clockwise outline is mirrored, which turns its triangles back to
    // clockwise in the original plane.
    bool mirror = area < 0;
    if (mirror) {
        for (auto &q : p) q.y = -q.y;
        area = -area;
    }
    _tri t{p, tris};
    bool ok = false;
    bool convex = area > 0 && std::isfinite(area);
    for (int32_t i = 0; i < aNum && convex; ++i) convex = _orient(p[(i + aNum - 1) % aNum], p[i], p[(i + 1) % aNum]) >= 0;
    if (aNum == 3) {
        t.add(0, 1, 2);
        ok = true;
    } else if (convex) {
        // Every corner turns the same way: a fan covers it exactly.
        for (int32_t i = 1; i + 1 < aNum; ++i) t.add(0, i, i + 1);
        ok = true;
    } else if (area > 0 && std::isfinite(area)) {
        std::vector<int32_t> diag;
        std::vector<std::vector<int32_t>> pieces;
        if (_monotoneDiagonals(p, diag) && _splitPieces(p, diag, pieces)) {
            ok = true;
            for (const auto &pc : pieces) {
                if (!_monotoneTriangulate(p, pc, t)) {
                    ok = false;
                    break;
                }
            }
            ok = ok && _covers(p, tris, area);
        }
        if (!ok) {
            tris.clear();
            _earClip(p, t);
        }
    } else {
        // No area to keep: a fan is as good as anything.
        for (int32_t i = 1; i + 1 < aNum; ++i) {
            tris.push_back(0);
            tris.push_back(i);
            tris.push_back(i + 1);
        }
    }
    std::memcpy(aTris, tris.data(), sizeof(int32_t) * tris.size());
    return (int32_t)(tris.size() / 3);
}

// ---- the database side

// Corners of polygon aPol projected onto the plane across its normal's largest axis, ordered so
// that the file's clockwise-from-front outline stays as it is.
int32_t _objPolyTriple(st_OBJ2 *o, int32_t aPol)
{
    st_LayerData *l = o->layer;
    if (!l || aPol < 0 || aPol >= l->numPols) {
        o->error = OBJ_PARM_ERROR;
        return -1;
    }
    st_PolygonData src = l->polygons[aPol];
    int32_t n = src.numPnts;
    if (n <= 3) return 0;
    double nrm[3];
    _objFaceNormal(l, &src, nrm);
    int ax = 2;
    if (std::isfinite(nrm[0])) {
        double x = std::fabs(nrm[0]), y = std::fabs(nrm[1]), z = std::fabs(nrm[2]);
        ax = (x >= y && x >= z) ? 0 : (y >= z ? 1 : 2);
    }
    int u = (ax + 1) % 3, v = (ax + 2) % 3;
    std::vector<double> &xy = _splitXY;
    std::vector<int32_t> &tri = _splitTri, &srcAll = _splitSrcAll, &polmMaps = _splitPolmMaps;
    std::vector<st_PolygonMap> &srcPolms = _splitPolms;
    xy.resize(n * 2);
    for (int32_t i = 0; i < n; ++i) {
        const double *q = l->points[src.points[i]].position;
        xy[i * 2] = q[u];
        xy[i * 2 + 1] = q[v];
    }
    tri.resize((n - 2) * 3);
    int32_t cnt = OBJ2_triangulate(xy.data(), n, tri.data());
    if (cnt <= 0) return 0;
    // The first triangle replaces the polygon, the rest follow at the end; every piece keeps the
    // source's surface, flags and per-corner data.
    srcAll.assign(src.points, src.points + n);
    srcAll.insert(srcAll.end(), src.normals, src.normals + n);
    srcAll.insert(srcAll.end(), src.maps, src.maps + n);
    srcAll.insert(srcAll.end(), src.colors, src.colors + n);
    const int32_t *srcPts = srcAll.data(), *srcNrm = srcPts + n, *srcMaps = srcPts + 2 * n, *srcCol = srcPts + 3 * n;
    srcPolms.clear();
    polmMaps.clear();
    for (st_PolygonMap *m = src.polms; m; m = m->next) {
        srcPolms.push_back(*m);
        polmMaps.insert(polmMaps.end(), m->maps, m->maps + n);
    }
    for (int32_t t = 0; t < cnt; ++t) {
        int32_t idx;
        int32_t pts[3] = {srcPts[tri[t * 3]], srcPts[tri[t * 3 + 1]], srcPts[tri[t * 3 + 2]]};
        if (t == 0) {
            idx = aPol;
            st_PolygonData *p = &l->polygons[idx];
            int32_t *arr = (int32_t *)st_MemconPool(o->mem, 12 * sizeof(int32_t));
            if (!arr) {
                o->error = OBJ_MEM_ERROR;
                return -1;
            }
            p->numPnts = 3;
            p->points = arr;
            p->normals = arr + 3;
            p->maps = arr + 6;
            p->colors = arr + 9;
            p->polms = nullptr;
            for (int k = 0; k < 3; ++k) p->points[k] = pts[k];
        } else {
            idx = o->addPoly(o, 3, pts, src.surf_no);
            if (idx < 0) return -1;
            st_PolygonData *p = &l->polygons[idx];
            p->surface = src.surface;
            p->flags = src.flags;
            p->flags_l = src.flags_l;
            p->key = src.key;
            p->userData = src.userData;
        }
        st_PolygonData *p = &l->polygons[idx];
        std::memcpy(p->face, src.face, sizeof(p->face));
        for (int k = 0; k < 3; ++k) {
            int32_t c = tri[t * 3 + k];
            p->normals[k] = srcNrm[c];
            p->maps[k] = srcMaps[c];
            p->colors[k] = srcCol[c];
        }
        for (size_t m = srcPolms.size(); m-- > 0;) {
            st_PolygonMap *pm = o->addPolymap(o, idx, srcPolms[m].chan, srcPolms[m].layr);
            if (!pm) return -1;
            for (int k = 0; k < 3; ++k) pm->maps[k] = polmMaps[m * n + tri[t * 3 + k]];
        }
    }
    l->edit++;
    return cnt;
}

int32_t _objTripleAll(st_OBJ2 *o, uint32_t aFlags)
{
    (void)aFlags;
    st_LayerData *l = o->layer;
    if (!l) return -1;
    int32_t n = l->numPols;
    for (int32_t i = 0; i < n; ++i) {
        if (l->polygons[i].numPnts > 3 && _objPolyTriple(o, i) < 0) return -1;
    }
    // Meshes and edges named the old polygons.
    l->numMesh = 0;
    l->numEdges = 0;
    return 0;
}
