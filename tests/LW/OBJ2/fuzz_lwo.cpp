// Any bytes through both readers and the import's post-processing: no crash, no read outside the
// input, and a refused file leaves nothing behind. What reads must also write and read back with
// the same counts. Inputs that begin like a polygon-set or UV view file go to those readers, on a
// small object of their own.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "LW/OBJ2/OBJ2.h"

namespace {

std::string _temp(const char *aKind)
{
    return "/tmp/fuzz_lwo_" + std::to_string(getpid()) + aKind;
}

bool _writeTemp(const std::string &aPath, const uint8_t *aDataP, size_t aSize)
{
    FILE *f = std::fopen(aPath.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(aDataP, 1, aSize, f) == aSize;
    return std::fclose(f) == 0 && ok;
}

// A grid of quads on two surfaces, with a few sets and maps to disturb.
void _textFiles(const uint8_t *aDataP, size_t aSize)
{
    const std::string path = _temp(".txt");
    if (!_writeTemp(path, aDataP, aSize)) return;
    st_OBJ2 *o = OBJ2_new();
    o->newLayer(o, 0);
    o->newSurf(o, "A");
    o->newSurf(o, "B");
    for (int i = 0; i < 16; ++i) {
        const double p[3] = {(double)(i & 3), (double)(i >> 2), 0};
        o->addPoint(o, p);
    }
    for (int i = 0; i < 9; ++i) {
        int32_t c = i % 3 + (i / 3) * 4;
        const int32_t q[4] = {c, c + 4, c + 5, c + 1};
        o->addPoly(o, 4, q, i & 1);
    }
    if (o->loadPSet(o, path.c_str()) >= 0) {
        st_PolySet *s = o->nextPSet(o, nullptr);
        if (!s || s->pols[s->count] != -1) std::abort();
        for (int32_t i = 0; i < s->count; ++i) {
            if (s->pols[i] < 0 || s->pols[i] >= o->polyCount(o)) std::abort();
        }
        const st_MeshOpt mopt = {3, 1, 0, 4, s->pols};
        o->tripleAll(o, 2);
        o->makeMeshes(o, &mopt);
    }
    if (o->loadUView(o, 1, path.c_str()) >= 0) {
        for (int32_t i = 0; i < o->polyCount(o); ++i) {
            const st_PolygonData *p = o->polyInfo(o, i);
            for (int32_t k = 0; k < p->numPnts; ++k) {
                if (p->maps[k] >= 0 && !o->mapInfo(o, p->maps[k])) std::abort();
            }
        }
    }
    OBJ2_close(&o);
    std::remove(path.c_str());
}

// The database's own queries over everything that was read.
void _walk(st_OBJ2 *o)
{
    int32_t n = 0;
    for (int32_t p = 0; p < o->pointCount(o); ++p) {
        o->polUsers(o, p, &n);
        o->pntUsers(o, p, &n);
        o->pntShareInfo(o, p, &n);
    }
    for (int32_t k = 0; k < o->normCount(o); ++k) {
        o->nrmUsers(o, k, &n);
        o->nrmShareInfo(o, k, &n);
    }
    for (st_PTagData *t = o->ptagNext(o, nullptr); t; t = o->ptagNext(o, t)) {
        for (int32_t i = 0; i < t->count && i < 8; ++i) o->ptagSelect(o, t->type, t->tags[i]);
    }
    o->makeUVmap(o, "");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *aDataP, size_t aSize)
{
    if (aSize > (1u << 20)) return 0;
    if ((aSize >= 4 && std::memcmp(aDataP, "PSET", 4) == 0) || (aSize >= 5 && std::memcmp(aDataP, "UVIEW", 5) == 0)) {
        _textFiles(aDataP, aSize);
        return 0;
    }
    st_OBJ2_option opt = {46, {0}, 0, 0, 10, 255, 8, 0, 2};
    OBJError err;
    st_OBJ2 *o = OBJ2_openMem(aDataP, (uint32_t)aSize, "fuzz", &opt, &err);
    if (!o) return 0;
    const st_MeshOpt mopt = {3, 1, 0, 4, nullptr};
    long pnts = 0, pols = 0;
    for (int32_t l = 0; l < o->layerCount(o); ++l) {
        o->setLayer(o, l);
        pnts += o->pointCount(o);
        pols += o->polyCount(o);
        o->makeNormal(o, OBJ2_NORMAL_SMOOTH);
        o->makeMeshes(o, &mopt);
        o->calcBBox(o);
        _walk(o);
    }
    o->sortSurfs(o);
    const std::string path = _temp(".lwo");
    if (o->saveObj(o, path.c_str(), LWO2_FILE) == 0) {
        st_OBJ2 *b = OBJ2_open(path.c_str(), nullptr);
        if (!b) std::abort();
        long bp = 0, bq = 0;
        for (int32_t l = 0; l < b->layerCount(b); ++l) {
            b->setLayer(b, l);
            bp += b->pointCount(b);
            bq += b->polyCount(b);
        }
        if (b->layerCount(b) != o->layerCount(o) || bp != pnts || bq != pols) std::abort();
        OBJ2_close(&b);
    }
    std::remove(path.c_str());
    OBJ2_close(&o);
    return 0;
}
