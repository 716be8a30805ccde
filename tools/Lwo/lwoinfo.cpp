// Reads a LightWave object with the program's own reader and settings and prints what the import
// would see, one "key value" a line; a refused object prints its error text and exits with 1.

#include <cstdio>

#include "LW/OBJ2/OBJ2.h"
#include "ToolArgs.h"

static const char _usage[] = "usage: lwoinfo <object.lwo>\n";

int main(int argc, char **argv)
{
    const int common = sToolArgsCommon(argc, argv, "lwoinfo", _usage);
    if (common >= 0)
        return common;
    if (argc != 2)
        return sToolArgsUsage(_usage);
    // The import's reader settings, with triangles made here after the polygons were counted.
    st_OBJ2_option opt = {46 & ~OBJ2_OPE_TRIPLE, {0}, 0, 0, 10, 255, 8, 0, 2};
    OBJError err = OBJ_NO_ERROR;
    st_OBJ2 *o = OBJ2_open(argv[1], &opt, &err);
    if (!o) {
        std::printf("error %s\n", OBJ2_errorText(err));
        return 1;
    }
    std::printf("format %s\n", o->type == LWO2_FILE ? "LWO2" : "LWOB");
    std::printf("layers %d\n", (int)o->layerCount(o));
    long pnts = 0, pols = 0, bySize[4] = {0, 0, 0, 0}, tris = 0;
    long strips = 0, stripIdx = 0, fans = 0, fanIdx = 0, lines = 0, points = 0;
    const st_MeshOpt mopt = {3, 1, 0, 4, nullptr};
    int rc = 0;
    for (int32_t l = 0; l < o->layerCount(o) && rc == 0; ++l) {
        o->setLayer(o, l);
        int32_t c[4];
        pnts += o->pointCount(o);
        pols += o->polyStat(o, c);
        for (int k = 0; k < 4; ++k) bySize[k] += c[k];
        if (o->tripleAll(o, 2) < 0 || o->makeMeshes(o, &mopt) < 0) {
            rc = 1;
            break;
        }
        o->polyStat(o, c);
        tris += c[2];
        for (int32_t m = 0; m < o->meshCount(o); ++m) {
            const st_MeshData *md = o->meshInfo(o, m);
            switch (md->type) {
            case MESH_TRI_STRIP: ++strips; stripIdx += md->num_node; break;
            case MESH_TRI_FAN: ++fans; fanIdx += md->num_node; break;
            case MESH_LINE_STRIP: ++lines; break;
            default: ++points; break;
            }
        }
    }
    if (rc) {
        std::printf("error %s\n", o->errorStr(o));
        OBJ2_close(&o);
        return 1;
    }
    std::printf("points %ld\npolygons %ld\n", pnts, pols);
    std::printf("polygons.1 %ld\npolygons.2 %ld\npolygons.3 %ld\npolygons.4+ %ld\n", bySize[0], bySize[1], bySize[2], bySize[3]);
    std::printf("surfaces %d\n", (int)o->surfCount(o));
    for (int32_t s = 0; s < o->surfCount(o); ++s) std::printf("surface %s\n", o->getSurf(o, s)->name);
    std::printf("triangles %ld\n", tris);
    std::printf("strips %ld\nstrip_indices %ld\nfans %ld\nfan_indices %ld\n", strips, stripIdx, fans, fanIdx);
    std::printf("line_strips %ld\npoint_runs %ld\n", lines, points);
    OBJ2_close(&o);
    return 0;
}
