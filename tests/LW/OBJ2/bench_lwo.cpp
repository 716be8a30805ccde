// Reading objects: read + triangles + smoothed normals against a general importer doing the same,
// and the strip index count against a general stripifier on the same triangles. The counts of
// points, polygons and surfaces must agree with the importer's before any time is reported.

#include <benchmark/benchmark.h>

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <meshoptimizer.h>

#include <array>
#include <set>
#include <vector>

#include "KbLwo.h"
#include "LW/OBJ2/OBJ2.h"

namespace {

struct Sample {
    const char *name;
    std::vector<uint8_t> bytes;
};

const std::vector<Sample> &samples()
{
    static std::vector<Sample> s = [] {
        KbLwoModel f = kbLwoFighter();
        return std::vector<Sample>{{"fighter_lwo2", kbLwoWriteLwo2(f)},
                                   {"fighter_lwob", kbLwoWriteLwob(f)},
                                   {"sphere100k_lwo2", kbLwoWriteLwo2(kbLwoLarge(100000))}};
    }();
    return s;
}

st_OBJ2 *readOurs(const Sample &s, uint32_t aOpe)
{
    st_OBJ2_option opt = {aOpe, {0}, 0, OBJ2_NORMAL_SMOOTH, 0, 1, 1, 0, 0};
    return OBJ2_openMem(s.bytes.data(), (uint32_t)s.bytes.size(), s.name, &opt);
}

// Distinct positions, as a general importer keeps no shared points.
size_t distinctPositions(const std::vector<std::array<float, 3>> &aPts)
{
    return std::set<std::array<float, 3>>(aPts.begin(), aPts.end()).size();
}

void BM_ReadTriangulateNormals(benchmark::State &state)
{
    const Sample &s = samples()[state.range(0)];
    state.SetLabel(s.name);
    for (auto _ : state) {
        st_OBJ2 *o = readOurs(s, OBJ2_OPE_TRIPLE | OBJ2_OPE_NORMAL);
        benchmark::DoNotOptimize(o);
        OBJ2_close(&o);
    }
}

void BM_AssimpReadTriangulateNormals(benchmark::State &state)
{
    const Sample &s = samples()[state.range(0)];
    state.SetLabel(s.name);
    // Counts first: a peer that reads a different object measures nothing.
    {
        Assimp::Importer imp;
        const aiScene *sc = imp.ReadFileFromMemory(s.bytes.data(), s.bytes.size(), 0, "lwo");
        st_OBJ2 *o = readOurs(s, 0);
        if (!sc || !o) {
            // The peer builds no scene from an older file without layers.
            state.SkipWithError(sc ? "object not read" : imp.GetErrorString());
            OBJ2_close(&o);
            return;
        }
        std::vector<std::array<float, 3>> theirs, ours;
        size_t faces = 0;
        std::set<unsigned> mats;
        for (unsigned m = 0; m < sc->mNumMeshes; ++m) {
            const aiMesh *mesh = sc->mMeshes[m];
            faces += mesh->mNumFaces;
            mats.insert(mesh->mMaterialIndex);
            for (unsigned v = 0; v < mesh->mNumVertices; ++v) theirs.push_back({mesh->mVertices[v].x, mesh->mVertices[v].y, mesh->mVertices[v].z});
        }
        for (int32_t i = 0; i < o->pointCount(o); ++i) {
            const double *p = o->pointInfo(o, i)->position;
            ours.push_back({(float)p[0], (float)p[1], (float)p[2]});
        }
        state.counters["points"] = (double)distinctPositions(ours);
        state.counters["points_peer"] = (double)distinctPositions(theirs);
        state.counters["polygons"] = o->polyCount(o);
        state.counters["polygons_peer"] = (double)faces;
        state.counters["surfaces"] = o->surfCount(o);
        state.counters["surfaces_peer"] = (double)mats.size();
        bool agree = distinctPositions(ours) == distinctPositions(theirs) && (size_t)o->polyCount(o) == faces &&
                     (size_t)o->surfCount(o) == mats.size();
        OBJ2_close(&o);
        if (!agree) {
            state.SkipWithError("points, polygons or surfaces differ from the peer's");
            return;
        }
    }
    for (auto _ : state) {
        Assimp::Importer imp;
        const aiScene *sc = imp.ReadFileFromMemory(s.bytes.data(), s.bytes.size(), aiProcess_Triangulate | aiProcess_GenSmoothNormals, "lwo");
        benchmark::DoNotOptimize(sc);
    }
}

// Strip nodes (each strip plus one restart) against the peer's strips with restart indices, on
// the same triangles (the peer's count includes its restarts too). Fans are left out so that strips carry every triangle.
void BM_StripIndexCount(benchmark::State &state)
{
    const Sample &s = samples()[state.range(0)];
    state.SetLabel(s.name);
    st_OBJ2 *o = readOurs(s, OBJ2_OPE_TRIPLE);
    if (!o) {
        state.SkipWithError("object not read");
        return;
    }
    const st_MeshOpt mo = {0, 1, 0, 4, nullptr};
    size_t ours = 0;
    for (auto _ : state) {
        o->makeMeshes(o, &mo);
        ours = 0;
        for (int32_t i = 0; i < o->meshCount(o); ++i) {
            const st_MeshData *md = o->meshInfo(o, i);
            if (md->type == MESH_TRI_STRIP) ours += md->num_node + 1;
        }
    }
    std::vector<unsigned> tris;
    for (int32_t i = 0; i < o->polyCount(o); ++i) {
        const st_PolygonData *p = o->polyInfo(o, i);
        if (p->numPnts == 3) tris.insert(tris.end(), {(unsigned)p->points[0], (unsigned)p->points[1], (unsigned)p->points[2]});
    }
    // The peer strips best from a vertex-cache order, as its documentation asks.
    meshopt_optimizeVertexCache(tris.data(), tris.data(), tris.size(), (size_t)o->pointCount(o));
    std::vector<unsigned> strip(meshopt_stripifyBound(tris.size()));
    size_t peer = meshopt_stripify(strip.data(), tris.data(), tris.size(), (size_t)o->pointCount(o), ~0u);
    state.counters["strip_indices"] = (double)ours;
    state.counters["strip_indices_peer"] = (double)peer;
    state.counters["ratio"] = (double)ours / (double)peer;
    OBJ2_close(&o);
}

} // namespace

BENCHMARK(BM_ReadTriangulateNormals)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AssimpReadTriangulateNormals)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StripIndexCount)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->Iterations(1);

BENCHMARK_MAIN();
