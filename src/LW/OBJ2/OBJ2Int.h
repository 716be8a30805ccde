#ifndef KESTREL_LW_OBJ2_OBJ2INT_H
#define KESTREL_LW_OBJ2_OBJ2INT_H

// Shared inside the reader only.

#include "LW/OBJ2/OBJ2.h"

int _objGrow(st_OBJ2 *o, void **aArrP, int32_t *aMaxP, int32_t aNeed, uint32_t aElem);
void _objDebug(st_OBJ2 *o, const char *aFormat, ...);
void _objFaceNormal(st_LayerData *l, const st_PolygonData *p, double aN[3]);
// All three coordinates are numbers (a degenerate face's normal is not).
int _objFinite3(const double *v);
st_TextureLayer *_objNewTexture(st_OBJ2 *o, st_SurfaceData *s);
void _objMakeMaterial(st_OBJ2 *o, st_SurfaceData *s);
void _objFreeShare(st_OBJ2 *o, st_LayerData *l, int aKind);
void _objCopyName(char *aDstP, const char *aSrcP, size_t aSize);
// Notes a bad argument; -1.
int32_t _objParmError(st_OBJ2 *o);
// Corners of all polygons of the current layer.
int32_t _objIndexCount(st_OBJ2 *o);
st_PolygonData *_objPolyInfo(st_OBJ2 *o, int32_t aIdx);
st_SurfaceData *_objGetSurf(st_OBJ2 *o, int32_t aIdx);
// The values of point aPnt (and polygon aPol for a per-polygon map) into aValues; 1 when found.
int32_t _objGetVMapData(st_OBJ2 *o, const st_VMapData *v, int32_t aPnt, int32_t aPol, float *aValues);
// A whole file in a new buffer (free()); an OBJ_ error code.
int32_t _objReadFile(const char *aPath, uint8_t **aDataPP, uint32_t *aSizeP);
// The object-wide lists, emptied by OBJ2_close and before a second reading attempt.
void _objClearLayers(st_OBJ2 *o);
void _objClearSurfs(st_OBJ2 *o);
void _objClearClips(st_OBJ2 *o);
void _objClearTags(st_OBJ2 *o);
void _objClearEnvls(st_OBJ2 *o);
void _objReset(st_OBJ2 *o);
// Operations kept in their own files, entered into the table by OBJ2_new.
void _objGeomOps(st_OBJ2 *o);
void _objNormalOps(st_OBJ2 *o);
void _objUVMapOps(st_OBJ2 *o);
void _objVMapOps(st_OBJ2 *o);
void _objSurfOps(st_OBJ2 *o);
void _objShareOps(st_OBJ2 *o);
void _objSaveOps(st_OBJ2 *o);
void _objLoadOps(st_OBJ2 *o);
int32_t _objPolyTriple(st_OBJ2 *o, int32_t aPol);
int32_t _objTripleAll(st_OBJ2 *o, uint32_t aFlags);
int32_t _objMakeMeshes(st_OBJ2 *o, const st_MeshOpt *aOptP);
int32_t _objLoadMem(st_OBJ2 *o, const uint8_t *aDataP, uint32_t aSize, int32_t aType, const st_OBJ2_option *aOptP);

// A bounded big-endian reader: every read checks what is left, and a short read sets 'bad'
// instead of reading past the end.
struct _objReader {
    const uint8_t *p;
    const uint8_t *end;
    int bad;

    uint32_t left() const { return (uint32_t)(end - p); }
    uint8_t u1()
    {
        if (left() < 1) { bad = 1; return 0; }
        return *p++;
    }
    uint16_t u2()
    {
        if (left() < 2) { bad = 1; p = end; return 0; }
        uint16_t v = (uint16_t)((p[0] << 8) | p[1]);
        p += 2;
        return v;
    }
    uint32_t u4()
    {
        if (left() < 4) { bad = 1; p = end; return 0; }
        uint32_t v = ((uint32_t)p[0] << 24) | ((uint32_t)p[1] << 16) | ((uint32_t)p[2] << 8) | p[3];
        p += 4;
        return v;
    }
    float f4()
    {
        uint32_t v = u4();
        float f;
        __builtin_memcpy(&f, &v, 4);
        return f;
    }
    // LWO2 variable-length index: 2 bytes, or 4 when the first byte is 0xFF.
    uint32_t vx()
    {
        if (left() >= 1 && p[0] == 0xFF) return u4() & 0x00FFFFFFu;
        return u2();
    }
    void id4(char aId[5])
    {
        uint32_t v = u4();
        aId[0] = (char)(v >> 24); aId[1] = (char)(v >> 16); aId[2] = (char)(v >> 8); aId[3] = (char)v; aId[4] = 0;
    }
    // Zero-terminated name padded to even length; 0 when the terminator is missing.
    int s0(char *aDstP, uint32_t aSize)
    {
        const uint8_t *z = p;
        while (z < end && *z) ++z;
        if (z >= end) { bad = 1; p = end; if (aSize) aDstP[0] = 0; return 0; }
        uint32_t n = (uint32_t)(z - p);
        uint32_t keep = n < aSize - 1 ? n : aSize - 1;
        __builtin_memcpy(aDstP, p, keep);
        aDstP[keep] = 0;
        uint32_t step = (n + 2) & ~1u;  // name, terminator, pad
        p = step <= left() ? p + step : end;
        return 1;
    }
    void skip(uint32_t n) { p = n <= left() ? p + n : end; }
};

// ---- shared by the LWO2 and LWOB readers

// Notes aError unless an earlier reason was noted; -1.
int _objFail(st_OBJ2 *o, int32_t aError);
// The chunks of an IFF FORM of type aType (four letters): 0 with aBodyP over them, or -1.
int _objOpenForm(st_OBJ2 *o, const uint8_t *aDataP, uint32_t aSize, const char *aType, _objReader *aBodyP);
// aLen / 12 points into the current layer, room made once; 0, or -1.
int _objReadPoints(st_OBJ2 *o, _objReader &c, uint32_t aLen);
// Surfaces from the polygon tags, defaults for names without a surface, then the materials.
int _lwoFinish(st_OBJ2 *o);

// Hands each chunk of a FORM body (ID4, U4 length, even padding) to aFn(id, reader, length). A
// chunk aFn refuses ends the walk, as a memory failure unless it noted a reason; 0, or -1.
template <typename F> int _objChunks(st_OBJ2 *o, _objReader &r, F aFn)
{
    while (r.left() >= 8) {
        char id[5];
        r.id4(id);
        uint32_t len = r.u4();
        if (len > r.left()) return _objFail(o, OBJ_READ_ERROR);
        _objReader c{r.p, r.p + len, 0};
        if (aFn(id, c, len) < 0) {
            if (o->error == OBJ_NO_ERROR) o->error = OBJ_MEM_ERROR;
            return -1;
        }
        if (c.p != c.end) _objDebug(o, "??? %d != %d\n", (int)(c.p - r.p), (int)len);
        r.skip(len + (len & 1));
    }
    return 0;
}

#endif
