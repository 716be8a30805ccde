// Meshes for drawing: triangle fans around busy points, then triangle strips grown across shared
// edges, then line strips and point runs. Every drawable polygon of the layer lands in exactly one
// mesh, with its corners in drawing order and the winding of the file.

#include <algorithm>
#include <cstring>
#include <vector>

#include "LW/OBJ2/OBJ2Int.h"

namespace {

struct _meshBuild {
    st_OBJ2 *o;
    st_LayerData *l;
    const st_MeshOpt *opt;
    std::vector<int32_t> tris;    // polygon number of each triangle
    std::vector<int32_t> neigh;   // across edge k (corner k to k + 1): triangle, or -1
    std::vector<int32_t> used;    // 0 free, >0 taken
    std::vector<int32_t> trial;   // stamp of the growth attempt that holds it
    int32_t stamp = 0;
    int32_t key = 0;
    int32_t stripNodes = 0;
    int32_t indices = 0;

    const int32_t *corners(int32_t t) const { return l->polygons[tris[t]].points; }

    bool isFree(int32_t t) const { return t >= 0 && !used[t] && trial[t] != stamp; }

    // The edge of t that joins points a and b, or -1.
    int edgeOf(int32_t t, int32_t a, int32_t b) const
    {
        const int32_t *c = corners(t);
        for (int k = 0; k < 3; ++k) {
            int32_t x = c[k], y = c[(k + 1) % 3];
            if ((x == a && y == b) || (x == b && y == a)) return k;
        }
        return -1;
    }

    int32_t third(int32_t t, int32_t a, int32_t b) const
    {
        const int32_t *c = corners(t);
        for (int k = 0; k < 3; ++k) {
            if (c[k] != a && c[k] != b) return c[k];
        }
        return c[0];
    }

    int32_t cornerOf(int32_t pol, int32_t pnt) const
    {
        const st_PolygonData *p = &l->polygons[pol];
        for (int32_t k = 0; k < p->numPnts; ++k) {
            if (p->points[k] == pnt) return k;
        }
        return 0;
    }

    // Triangles joined across each edge when the neighbour runs the edge the other way (same
    // winding) and has the same surface.
    void buildNeighbours()
    {
        struct rec {
            int32_t lo, hi, t, k;
        };
        std::vector<rec> e;
        e.reserve(tris.size() * 3);
        for (size_t t = 0; t < tris.size(); ++t) {
            const int32_t *c = corners((int32_t)t);
            for (int k = 0; k < 3; ++k) {
                int32_t a = c[k], b = c[(k + 1) % 3];
                if (a == b) continue;
                e.push_back(rec{a < b ? a : b, a < b ? b : a, (int32_t)t, k});
            }
        }
        std::sort(e.begin(), e.end(), [](const rec &x, const rec &y) {
            return x.lo != y.lo ? x.lo < y.lo : (x.hi != y.hi ? x.hi < y.hi : x.t < y.t);
        });
        neigh.assign(tris.size() * 3, -1);
        for (size_t i = 0; i < e.size();) {
            size_t j = i;
            while (j < e.size() && e[j].lo == e[i].lo && e[j].hi == e[i].hi) ++j;
            for (size_t a = i; a < j; ++a) {
                if (neigh[e[a].t * 3 + e[a].k] >= 0) continue;
                const int32_t *ca = corners(e[a].t);
                for (size_t b = a + 1; b < j; ++b) {
                    if (neigh[e[b].t * 3 + e[b].k] >= 0 || e[b].t == e[a].t) continue;
                    const int32_t *cb = corners(e[b].t);
                    bool opposite = ca[e[a].k] == cb[(e[b].k + 1) % 3];
                    if (!opposite || l->polygons[tris[e[a].t]].surf_no != l->polygons[tris[e[b].t]].surf_no) continue;
                    neigh[e[a].t * 3 + e[a].k] = e[b].t;
                    neigh[e[b].t * 3 + e[b].k] = e[a].t;
                    break;
                }
            }
            i = j;
        }
    }

    int32_t freeNeighbours(int32_t t) const
    {
        int32_t n = 0;
        for (int k = 0; k < 3; ++k) n += isFree(neigh[t * 3 + k]) ? 1 : 0;
        return n;
    }

    // A mesh from points, each node naming the triangle (or polygon) that brought it.
    int addMesh(int32_t aType, int32_t aSurf, const std::vector<int32_t> &aPnts, const std::vector<int32_t> &aPols)
    {
        if (_objGrow(o, (void **)&l->meshes, &l->maxMesh, l->numMesh + 1, sizeof(st_MeshData)) < 0) return -1;
        st_MeshData *m = &l->meshes[l->numMesh];
        std::memset(m, 0, sizeof(*m));
        m->key = key++;
        m->surf_no = aSurf;
        m->type = aType;
        m->num_node = (int32_t)aPnts.size();
        st_MeshNode *nodes = (st_MeshNode *)st_MemconPool(o->mem, (uint32_t)(sizeof(st_MeshNode) * aPnts.size()));
        if (!nodes) {
            o->error = OBJ_MEM_ERROR;
            return -1;
        }
        for (size_t i = 0; i < aPnts.size(); ++i) {
            st_MeshNode *n = &nodes[i];
            n->pnt_no = aPnts[i];
            n->pol_no = aPols[i];
            n->ivert = cornerOf(aPols[i], aPnts[i]);
            n->prev = i ? &nodes[i - 1] : nullptr;
            n->next = i + 1 < aPnts.size() ? &nodes[i + 1] : nullptr;
        }
        m->nodes = nodes;
        l->numMesh++;
        if (aType == MESH_TRI_STRIP || aType == MESH_TRI_FAN) indices += m->num_node * 3 - 6;
        if (aType == MESH_POINTS) indices += m->num_node;
        if (aType == MESH_TRI_STRIP) stripNodes += m->num_node;
        return 0;
    }

    std::vector<int32_t> triPols(const std::vector<int32_t> &aTris) const
    {
        // Nodes 0..2 come with the first triangle, each later node with its own.
        std::vector<int32_t> pols;
        for (size_t i = 0; i < aTris.size(); ++i) {
            if (i == 0) {
                pols.push_back(tris[aTris[0]]);
                pols.push_back(tris[aTris[0]]);
            }
            pols.push_back(tris[aTris[i]]);
        }
        return pols;
    }

    int fans()
    {
        std::vector<std::vector<int32_t>> around(l->numPnts);
        for (size_t t = 0; t < tris.size(); ++t) {
            const int32_t *c = corners((int32_t)t);
            for (int k = 0; k < 3; ++k) around[c[k]].push_back((int32_t)t);
        }
        for (int32_t p = 0; p < l->numPnts; ++p) {
            if ((int32_t)around[p].size() < opt->min_fan) continue;
            for (int32_t t0 : around[p]) {
                if (used[t0]) continue;
                const int32_t *c = corners(t0);
                int r = c[0] == p ? 0 : (c[1] == p ? 1 : 2);
                std::vector<int32_t> rim = {c[(r + 1) % 3], c[(r + 2) % 3]};
                std::vector<int32_t> ts = {t0};
                ++stamp;
                trial[t0] = stamp;
                // Forward across (last rim point, p), backward across (p, first rim point).
                for (int32_t cur = t0;;) {
                    if (opt->max_node > 0 && (int32_t)rim.size() + 1 >= opt->max_node) break;
                    int e = edgeOf(cur, rim.back(), p);
                    int32_t nb = e >= 0 ? neigh[cur * 3 + e] : -1;
                    if (!isFree(nb)) break;
                    rim.push_back(third(nb, rim.back(), p));
                    ts.push_back(nb);
                    trial[nb] = stamp;
                    cur = nb;
                }
                for (int32_t cur = t0;;) {
                    if (opt->max_node > 0 && (int32_t)rim.size() + 1 >= opt->max_node) break;
                    int e = edgeOf(cur, p, rim.front());
                    int32_t nb = e >= 0 ? neigh[cur * 3 + e] : -1;
                    if (!isFree(nb)) break;
                    rim.insert(rim.begin(), third(nb, rim.front(), p));
                    ts.insert(ts.begin(), nb);
                    trial[nb] = stamp;
                    cur = nb;
                }
                // Short fans draw no better than strips.
                if (ts.size() < 3) continue;
                std::vector<int32_t> pnts = {p};
                pnts.insert(pnts.end(), rim.begin(), rim.end());
                for (int32_t t : ts) used[t] = 1;
                if (addMesh(MESH_TRI_FAN, l->polygons[tris[t0]].surf_no, pnts, triPols(ts)) < 0) return -1;
            }
        }
        return 0;
    }

    // One strip from t0 starting at corner s; nodes and triangles in drawing order.
    void grow(int32_t t0, int s, std::vector<int32_t> &aNodes, std::vector<int32_t> &aTris)
    {
        ++stamp;
        const int32_t *c = corners(t0);
        std::vector<int32_t> fwd = {c[s], c[(s + 1) % 3], c[(s + 2) % 3]}, ft = {t0};
        trial[t0] = stamp;
        int32_t limit = opt->max_node > 0 ? opt->max_node : 0x7fffffff;
        for (int32_t cur = t0; (int32_t)fwd.size() < limit;) {
            int32_t x = fwd[fwd.size() - 2], y = fwd.back();
            int e = edgeOf(cur, x, y);
            int32_t nb = e >= 0 ? neigh[cur * 3 + e] : -1;
            if (!isFree(nb)) break;
            fwd.push_back(third(nb, x, y));
            ft.push_back(nb);
            trial[nb] = stamp;
            cur = nb;
        }
        std::vector<int32_t> back, bt;  // prepended nodes, nearest first
        for (int32_t cur = t0, a = fwd[0], b = fwd[1]; (int32_t)(fwd.size() + back.size()) < limit;) {
            int e = edgeOf(cur, a, b);
            int32_t nb = e >= 0 ? neigh[cur * 3 + e] : -1;
            if (!isFree(nb)) break;
            int32_t w = third(nb, a, b);
            back.push_back(w);
            bt.push_back(nb);
            trial[nb] = stamp;
            b = a;
            a = w;
            cur = nb;
        }
        // Prepending an odd number of nodes would turn every triangle's winding over.
        if (back.size() & 1) {
            trial[bt.back()] = 0;
            back.pop_back();
            bt.pop_back();
        }
        aNodes.assign(back.rbegin(), back.rend());
        aNodes.insert(aNodes.end(), fwd.begin(), fwd.end());
        aTris.assign(bt.rbegin(), bt.rend());
        aTris.insert(aTris.end(), ft.begin(), ft.end());
    }

    int strips()
    {
        // Start where the free neighbours are fewest, so strips do not strand single triangles.
        std::vector<int32_t> bucket[4];
        for (size_t t = 0; t < tris.size(); ++t) {
            if (!used[t]) bucket[freeNeighbours((int32_t)t)].push_back((int32_t)t);
        }
        std::vector<int32_t> nodes, ts, bestNodes, bestTris;
        for (;;) {
            int32_t t0 = -1;
            for (int b = 0; b < 4 && t0 < 0; ++b) {
                while (!bucket[b].empty()) {
                    int32_t t = bucket[b].back();
                    bucket[b].pop_back();
                    if (!used[t] && freeNeighbours(t) == b) {
                        t0 = t;
                        break;
                    }
                    if (!used[t]) bucket[freeNeighbours(t)].push_back(t);
                }
            }
            if (t0 < 0) break;
            int tries = (opt->level & 1) ? 3 : 1;
            bestNodes.clear();
            for (int s = 0; s < tries; ++s) {
                grow(t0, s, nodes, ts);
                if (nodes.size() > bestNodes.size()) {
                    bestNodes = nodes;
                    bestTris = ts;
                }
            }
            ++stamp;  // forget the trials
            for (int32_t t : bestTris) used[t] = 1;
            for (int32_t t : bestTris) {
                for (int k = 0; k < 3; ++k) {
                    int32_t nb = neigh[t * 3 + k];
                    if (nb >= 0 && !used[nb]) bucket[freeNeighbours(nb)].push_back(nb);
                }
            }
            if (addMesh(MESH_TRI_STRIP, l->polygons[tris[t0]].surf_no, bestNodes, triPols(bestTris)) < 0) return -1;
        }
        return 0;
    }

    // Lines chained end to start, and points in runs, each within one surface.
    int linesAndPoints(const std::vector<int32_t> &aLines, const std::vector<int32_t> &aPoints)
    {
        std::vector<int32_t> pnts, pols;
        int32_t surf = -1;
        for (int32_t pl : aLines) {
            const st_PolygonData *p = &l->polygons[pl];
            bool joins = !pnts.empty() && p->surf_no == surf && pnts.back() == p->points[0] &&
                         (opt->max_node <= 0 || (int32_t)pnts.size() < opt->max_node);
            if (!joins) {
                if (!pnts.empty() && addMesh(MESH_LINE_STRIP, surf, pnts, pols) < 0) return -1;
                pnts = {p->points[0]};
                pols = {pl};
                surf = p->surf_no;
            }
            pnts.push_back(p->points[1]);
            pols.push_back(pl);
        }
        if (!pnts.empty() && addMesh(MESH_LINE_STRIP, surf, pnts, pols) < 0) return -1;
        pnts.clear();
        pols.clear();
        std::vector<int32_t> sorted(aPoints);
        std::stable_sort(sorted.begin(), sorted.end(), [&](int32_t a, int32_t b) { return l->polygons[a].surf_no < l->polygons[b].surf_no; });
        for (int32_t pl : sorted) {
            const st_PolygonData *p = &l->polygons[pl];
            if (!pnts.empty() && (p->surf_no != surf || (opt->max_node > 0 && (int32_t)pnts.size() >= opt->max_node))) {
                if (addMesh(MESH_POINTS, surf, pnts, pols) < 0) return -1;
                pnts.clear();
                pols.clear();
            }
            surf = p->surf_no;
            pnts.push_back(p->points[0]);
            pols.push_back(pl);
        }
        if (!pnts.empty() && addMesh(MESH_POINTS, surf, pnts, pols) < 0) return -1;
        return 0;
    }
};

const st_MeshOpt _defaultMeshOpt = {OBJ2_MESH_FANS | OBJ2_MESH_SORT, 1, 0, 4, nullptr};

} // namespace

int32_t _objMakeMeshes(st_OBJ2 *o, const st_MeshOpt *aOptP)
{
    st_LayerData *l = o->layer;
    if (!l) {
        o->error = OBJ_PARM_ERROR;
        return -1;
    }
    l->numMesh = 0;
    if (l->numEdges == 0 && o->makeEdges(o) < 0) return -1;
    _meshBuild b;
    b.o = o;
    b.l = l;
    b.opt = aOptP ? aOptP : &_defaultMeshOpt;
    std::vector<char> chosen(l->numPols, b.opt->selpols ? 0 : 1);
    if (b.opt->selpols) {
        for (const int32_t *s = b.opt->selpols; *s >= 0; ++s) {
            if (*s < l->numPols) chosen[*s] = 1;
        }
    }
    std::vector<int32_t> lines, points;
    int32_t skipped = 0;
    for (int32_t i = 0; i < l->numPols; ++i) {
        const st_PolygonData *p = &l->polygons[i];
        if (!chosen[i] || (p->flags & OBJ2_POLY_HIDDEN)) continue;
        if (p->numPnts == 3) b.tris.push_back(i);
        else if (p->numPnts == 2) lines.push_back(i);
        else if (p->numPnts == 1) points.push_back(i);
        else ++skipped;  // not triangulated: tripleAll first
    }
    if (skipped) _objDebug(o, "UNTRIANGULATED %d\n", (int)skipped);
    b.used.assign(b.tris.size(), 0);
    b.trial.assign(b.tris.size(), 0);
    b.buildNeighbours();
    if ((b.opt->flags & OBJ2_MESH_FANS) && b.fans() < 0) return -1;
    if (b.strips() < 0 || b.linesAndPoints(lines, points) < 0) return -1;
    if (b.opt->flags & OBJ2_MESH_SORT) o->sortMeshes(o);
    _objDebug(o, "RESULT %d/%d/%d\n", (int)l->numPnts, (int)b.stripNodes, (int)b.indices);
    return l->numMesh;
}
