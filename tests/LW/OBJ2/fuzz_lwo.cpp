// Any bytes through both readers and the import's post-processing: no crash, no read outside the
// input, and a refused file leaves nothing behind.

#include <cstddef>
#include <cstdint>

#include "LW/OBJ2/OBJ2.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *aDataP, size_t aSize)
{
    if (aSize > (1u << 20)) return 0;
    st_OBJ2_option opt = {46, {0}, 0, 0, 10, 255, 8, 0, 2};
    OBJError err;
    st_OBJ2 *o = OBJ2_openMem(aDataP, (uint32_t)aSize, "fuzz", &opt, &err);
    if (!o) return 0;
    const st_MeshOpt mopt = {3, 1, 0, 4, nullptr};
    for (int32_t l = 0; l < o->layerCount(o); ++l) {
        o->setLayer(o, l);
        o->makeNormal(o, OBJ2_NORMAL_SMOOTH);
        o->makeMeshes(o, &mopt);
        o->calcBBox(o);
    }
    OBJ2_close(&o);
    return 0;
}
