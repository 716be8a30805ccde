#ifndef KESTREL_LW_OBJ2_OBJ2_H
#define KESTREL_LW_OBJ2_OBJ2_H

// LightWave object reader: LWO2 and LWOB files into an in-memory database of layers, points,
// polygons, polygon tags, vertex maps, surfaces, clips and envelopes, with materials derived from
// the surfaces and the post-processing the renderer needs (triangles, normals, UV maps, vertex
// colours, edges, strips and fans). The handle is a record that carries its operations.

#include <cstdint>
#include <cstdio>

enum OBJError {
    OBJ_NO_ERROR = 0,
    OBJ_MEM_ERROR = 1,
    OBJ_OPEN_ERROR = 2,
    OBJ_DISK_FULL = 3,
    OBJ_UNKNOWN_TYPE = 4,
    OBJ_READ_ERROR = 5,
    OBJ_WRITE_ERROR = 6,
    OBJ_BAD_FILE = 7,
    OBJ_PARM_ERROR = 8,
    OBJ_DB_ERROR = 9,
    OBJ_BAD_TIM = 10,
    OBJ_BAD_POLYGON = 11,
    OBJ_BAD_NPOINT = 12,
    OBJ_NO_TXTMAP = 13
};

enum OBJType { UNKNOWN_FILE = 0, LWOB_FILE = 1, LWO2_FILE = 2 };

enum MeshType { MESH_TRI_STRIP = 0, MESH_TRI_FAN = 1, MESH_LINE_STRIP = 2, MESH_POINTS = 3 };

// Texture channels (st_TextureLayer.chan).
enum {
    OBJ2_CHAN_NONE = 0,
    OBJ2_CHAN_COLR = 1,
    OBJ2_CHAN_DIFF = 2,
    OBJ2_CHAN_LUMI = 4,
    OBJ2_CHAN_SPEC = 8,
    OBJ2_CHAN_REFL = 16,
    OBJ2_CHAN_TRAN = 32,
    OBJ2_CHAN_BUMP = 64,
    OBJ2_CHAN_TRNL = 128
};

// Post-processing selected by st_OBJ2_option.ope_code, applied per layer after reading.
enum {
    OBJ2_OPE_SORT = 0x01,
    OBJ2_OPE_TRIPLE = 0x02,
    OBJ2_OPE_UVMAP = 0x04,
    OBJ2_OPE_NORMAL = 0x08,
    OBJ2_OPE_EDGE = 0x10,
    OBJ2_OPE_COLOR = 0x20
};

// st_MaterialData.flags.
enum {
    OBJ2_MTL_SMOOTH = 0x0001,    // smoothing angle applies
    OBJ2_MTL_ENVMAP = 0x0008,    // reflection image: sphere-mapped
    OBJ2_MTL_DOUBLE = 0x0020,    // two-sided
    OBJ2_MTL_ADDITIVE = 0x8000   // additive transparency
};

// st_TextureLayer.flags.
enum {
    OBJ2_TXL_ENABLED = 0x0004,   // an image layer that draws
    OBJ2_TXL_UVMAP = 0x0008      // coordinates come from a vertex map (txuv)
};

// Texture projections (st_TextureLayer.proj).
enum {
    OBJ2_PROJ_PLANAR = 0,
    OBJ2_PROJ_CYLINDRICAL = 1,
    OBJ2_PROJ_SPHERICAL = 2,
    OBJ2_PROJ_CUBIC = 3,
    OBJ2_PROJ_FRONT = 4,
    OBJ2_PROJ_UV = 5
};

// makeNormal flags: 0 gives every corner its face normal; SMOOTH averages the corners on a
// point within the surface's smoothing angle.
enum { OBJ2_NORMAL_SMOOTH = 0x01 };

// st_MeshOpt.flags.
enum { OBJ2_MESH_FANS = 0x01, OBJ2_MESH_SORT = 0x02 };

enum { OBJ2_NAME_SIZE = 256 };

// Every block the reader allocates: zero-filled and recorded, so that tearing the container down
// frees everything at once.
struct st_Memcon {
    FILE *log;
    int32_t count;        // records in use (freed records are not reused)
    uint32_t used_size;   // live bytes
    uint32_t *sizes;
    void **pointers;
    int32_t capacity;     // grows past the first 32768 records rather than losing blocks
    void *(*alloc)(st_Memcon *aMemP, uint32_t aSize);
    void *(*realloc)(st_Memcon *aMemP, void *aPtr, uint32_t aSize);
    void (*free)(st_Memcon *aMemP, void *aPtr);
    // Small, long-lived arrays (polygon corners, mesh nodes) come from chunks of this pool.
    uint8_t *poolP;
    uint32_t poolLeft;
};

enum { OBJ2_MEMCON_RECORDS = 32768 };

st_Memcon *st_MemconNew(void);
void st_MemconDelete(st_Memcon *aMemP);
// Pool memory: zero-filled, freed with the container only.
void *st_MemconPool(st_Memcon *aMemP, uint32_t aSize);

struct st_PointData {
    void *userData;
    uint32_t flags;
    int32_t edge_no;
    double position[3];
};

struct st_PolygonMap {
    int32_t chan;
    int32_t layr;
    int32_t *maps;  // one UV entry per corner
    st_PolygonMap *next;
};

enum { OBJ2_POLY_HIDDEN = 0x01 };  // st_PolygonData.flags: not a face (bones, curves)

struct st_PolygonData {
    void *userData;
    uint16_t flags_l;  // the 6 flag bits of the LWO2 vertex-count word
    uint32_t flags;
    int32_t idx;
    const char *surface;
    int32_t surf_no;
    int32_t key;
    int32_t numPnts;
    int32_t *points;
    int32_t *normals;
    int32_t *maps;
    int32_t *colors;
    int32_t edge_no;
    st_PolygonMap *polms;
    double face[3];
};

struct st_NormalData {
    void *userData;
    uint32_t flags;
    double vector[3];
};

struct st_MapData {
    void *userData;
    uint32_t flags;
    double u, v, w;
    int32_t pnt;
    int32_t surface;
};

struct st_ColorData {
    void *userData;
    uint32_t flags;
    float rgba[4];
};

struct st_EdgeData {
    void *userData;
    uint32_t flags;
    int32_t pnts[2];
    int32_t pols[2];  // first two polygons on the edge; -1 when fewer
    int32_t numPols;
};

struct st_MeshNode {
    uint32_t flags;
    int32_t ivert;   // corner within the polygon
    int32_t pnt_no;
    int32_t pol_no;
    st_MeshNode *next;
    st_MeshNode *prev;
};

struct st_MeshData {
    void *userData;
    uint32_t flags;
    int32_t key;
    int32_t surf_no;
    int32_t type;  // MeshType
    int32_t num_node;
    st_MeshNode *nodes;
};

struct st_PTagData {
    char type[5];
    int32_t count;
    int32_t max;
    int32_t *pols;
    int32_t *tags;
};

struct st_VMapData {
    char type[5];
    int32_t dim;
    char name[OBJ2_NAME_SIZE];
    int32_t perPoly;  // VMAD: entries also name a polygon
    int32_t count;
    int32_t max;
    int32_t *pnts;
    int32_t *pols;     // -1 for VMAP entries
    float *values;     // dim per entry
};

// A named set of polygons of one layer; 'pols' ends with -1, so it serves as st_MeshOpt.selpols.
struct st_PolySet {
    char name[OBJ2_NAME_SIZE];
    int32_t count;
    int32_t *pols;
    st_PolySet *next;
};

// One table of the sharing operations: for every row (a point or a normal) a run of 'list'
// from start[row] to start[row + 1]. 'rowOf' maps an item to its row where items share rows
// (points at one position); 'edit' is the layer's edit count it was built at.
struct st_ShareTbl {
    int32_t edit;
    int32_t rows;
    int32_t *start;
    int32_t *list;
    int32_t *rowOf;
};

enum { OBJ2_SHARE_POLUSERS, OBJ2_SHARE_PNTUSERS, OBJ2_SHARE_NRMUSERS, OBJ2_SHARE_PNT, OBJ2_SHARE_NRM, OBJ2_SHARE_NUM };

struct st_LayerData {
    int32_t idx;
    int32_t layer_no;
    int32_t parent_no;
    char name[OBJ2_NAME_SIZE];
    uint32_t flags;
    double pivot[3];
    double bbox[6];  // min x, y, z, max x, y, z
    char poltype[5];
    int32_t numPnts, maxPnts;
    int32_t numPols, maxPols;
    int32_t numNorms, maxNorms;
    int32_t numMaps, maxMaps;
    int32_t numEdges, maxEdges;
    int32_t numColors, maxColors;
    int32_t numPTags, maxPTags;
    int32_t numVMaps, maxVMaps;
    int32_t numMesh, maxMesh;
    void *pntUserData;
    void *polUserData;
    st_PointData *points;
    st_PolygonData *polygons;
    st_NormalData *normals;
    st_MapData *maps;
    st_EdgeData *edges;
    st_ColorData *colors;
    st_MeshData *meshes;
    st_PTagData *ptags;
    st_VMapData *vmaps;
    st_PolySet *polsets;
    st_LayerData *nextLayer;
    // Counts changes of points, polygons and normals, so that the sharing tables know when they
    // are stale.
    int32_t edit;
    st_ShareTbl *share[OBJ2_SHARE_NUM];
};

struct st_TextureLayer {
    uint16_t flags;
    int32_t chan;
    int32_t layr;
    int32_t proj;
    int32_t axis;
    float opac;
    int32_t blend_mode;
    int32_t nega;
    float size[3];
    float cntr[3];
    float rota[3];
    float wrpw;
    float wrph;
    int32_t wrap_w;
    int32_t wrap_h;
    char timg[OBJ2_NAME_SIZE];
    char talp[OBJ2_NAME_SIZE];
    char tref[OBJ2_NAME_SIZE];
    char txuv[OBJ2_NAME_SIZE];
    double tmat[4][4];
    void *ipic;
    void *apic;
    void *userData;
    int32_t clip;  // image clip while reading; -1 none
    st_TextureLayer *next;
};

struct st_MaterialData {
    char surf[OBJ2_NAME_SIZE];
    int32_t type;
    uint16_t flags;
    int32_t time;
    float colr[4];
    float diff[4];
    float spec[4];
    float shin[4];
    float emis[4];
    float refl;
    float sman;  // radians
    float tran;
    char rimg[OBJ2_NAME_SIZE];
    char uview_file[OBJ2_NAME_SIZE];
    int32_t num_layrs;
    st_TextureLayer *tlayrs;
    st_TextureLayer *clayr;
    int32_t refs;
    void *rpic;
    void *userData;
    int32_t rclip;  // reflection clip while reading; -1 none
};

struct st_SurfaceData {
    char name[OBJ2_NAME_SIZE];
    char source[OBJ2_NAME_SIZE];
    // Raw surface values as read, before they become the material.
    float colr[3];
    float diff, lumi, spec, refl, tran, trnl, glos, sman, adtr;
    int32_t side;
    st_MaterialData material;
};

struct st_ClipData {
    int32_t index;
    char name[OBJ2_NAME_SIZE];
};

struct st_EnvelopeData {
    int32_t index;
    int32_t type;
    int32_t numKeys;
    float *keys;  // time, value pairs
};

struct st_OBJ2_option {
    uint32_t ope_code;
    char content[OBJ2_NAME_SIZE];
    uint32_t format_flags;
    uint32_t normal_flags;
    uint32_t uvmap_flags;
    uint16_t uvmap_channel;
    uint16_t uvmap_nlayrs;
    uint32_t color_flags;
    uint32_t triple_flags;
};

struct st_MeshOpt {
    uint32_t flags;
    uint32_t level;     // 1: grow each strip from all three edges of its start face, keep the longest
    int32_t max_node;   // 0: no limit
    int32_t min_fan;    // polygons on a point before it is fanned
    const int32_t *selpols;  // null: every polygon; else -1-terminated list
};

struct st_OBJ2;

struct st_OBJ2 {
    char name[OBJ2_NAME_SIZE - 1];
    char errfile[OBJ2_NAME_SIZE - 1];
    uint8_t error;  // OBJError
    uint8_t type;   // OBJType
    st_Memcon *mem;
    FILE *debug;
    uint32_t flags;  // bit 1: the database is shared, close leaves it alone
    void *userData;
    int32_t numLayers, numSurfs, numClips, numTags, numEnvs;
    int32_t maxSurfs, maxClips, maxTags, maxEnvs;
    st_LayerData *layerList;
    st_LayerData *layer;
    char **tagData;
    st_ClipData *clips;
    st_SurfaceData **surfaces;
    st_EnvelopeData *envelopes;

    // layers
    st_LayerData *(*newLayer)(st_OBJ2 *o, int32_t aLayerNo);
    st_LayerData *(*nextLayer)(st_OBJ2 *o, st_LayerData *aLayerP);
    st_LayerData *(*lastLayer)(st_OBJ2 *o);
    int32_t (*layerCount)(st_OBJ2 *o);
    int32_t (*setLayer)(st_OBJ2 *o, int32_t aIdx);
    st_LayerData *(*getLayer)(st_OBJ2 *o, int32_t aIdx);
    void (*getPivot)(st_OBJ2 *o, double aPivot[3]);
    void (*setPivot)(st_OBJ2 *o, const double aPivot[3]);
    int32_t (*getParent)(st_OBJ2 *o);
    void (*setParent)(st_OBJ2 *o, int32_t aParent);
    void (*calcBBox)(st_OBJ2 *o);
    void (*getBBox)(st_OBJ2 *o, double aBox[6]);
    // Polygon sets of the current layer. A set file is text: "PSET", the count, then that many
    // polygon numbers. loadPSet returns the new set's position in the layer's list.
    int32_t (*loadPSet)(st_OBJ2 *o, const char *aPath);
    int32_t (*savePSet)(st_OBJ2 *o, const st_PolySet *aSetP, const char *aPath);
    st_PolySet *(*nextPSet)(st_OBJ2 *o, st_PolySet *aSetP);  // null: the first
    void (*clearLayers)(st_OBJ2 *o);
    // tags
    int32_t (*tagCount)(st_OBJ2 *o);
    int32_t (*addTag)(st_OBJ2 *o, const char *aName);
    const char *(*getTag)(st_OBJ2 *o, int32_t aIdx);
    int32_t (*findTag)(st_OBJ2 *o, const char *aName);
    void (*clearTags)(st_OBJ2 *o);
    // points
    int32_t (*pointCount)(st_OBJ2 *o);
    int32_t (*addPoint)(st_OBJ2 *o, const double aPos[3]);
    st_PointData *(*pointInfo)(st_OBJ2 *o, int32_t aIdx);
    void (*clearPoints)(st_OBJ2 *o);
    // polygons
    int32_t (*polyCount)(st_OBJ2 *o);
    int32_t (*indexCount)(st_OBJ2 *o);
    int32_t (*addPoly)(st_OBJ2 *o, int32_t aNumPnts, const int32_t *aPnts, int32_t aSurfNo);
    st_PolygonData *(*polyInfo)(st_OBJ2 *o, int32_t aIdx);
    int32_t (*getFace)(st_OBJ2 *o, int32_t aIdx, double aFace[3]);
    int32_t (*polyStat)(st_OBJ2 *o, int32_t aCounts[4]);  // 1, 2, 3, more corners
    const char *(*polSurf)(st_OBJ2 *o, int32_t aIdx);
    const int32_t *(*polPnts)(st_OBJ2 *o, int32_t aIdx, int32_t *aNumP);
    const int32_t *(*polNorms)(st_OBJ2 *o, int32_t aIdx);
    const int32_t *(*polMaps)(st_OBJ2 *o, int32_t aIdx);
    const int32_t *(*polColors)(st_OBJ2 *o, int32_t aIdx);
    int32_t (*polSurfNum)(st_OBJ2 *o, int32_t aIdx);
    st_PolygonMap *(*addPolymap)(st_OBJ2 *o, int32_t aPol, int32_t aChan, int32_t aLayr);
    st_PolygonMap *(*getPolymap)(st_OBJ2 *o, int32_t aPol, int32_t aChan, int32_t aLayr);
    void (*clearPolys)(st_OBJ2 *o);
    // normals
    int32_t (*normCount)(st_OBJ2 *o);
    int32_t (*addNormal)(st_OBJ2 *o, const double aVec[3]);
    int32_t (*compNormal)(st_OBJ2 *o, const double aVec[3]);
    st_NormalData *(*normalInfo)(st_OBJ2 *o, int32_t aIdx);
    int32_t (*makeNormal)(st_OBJ2 *o, uint32_t aFlags);
    void (*clearNormal)(st_OBJ2 *o);
    // UV maps
    int32_t (*mapCount)(st_OBJ2 *o);
    int32_t (*addUVmap)(st_OBJ2 *o, double aU, double aV, int32_t aPnt, int32_t aSurf);
    // An equal entry among the most recent ones is reused (corners on one point come together).
    int32_t (*compUVmap)(st_OBJ2 *o, double aU, double aV, int32_t aPnt, int32_t aSurf);
    st_MapData *(*mapInfo)(st_OBJ2 *o, int32_t aIdx);
    int32_t (*setUVmap)(st_OBJ2 *o, int32_t aIdx, double aU, double aV);
    int32_t (*buildUVmap)(st_OBJ2 *o, uint32_t aChannel, uint32_t aNumLayrs, uint32_t aFlags);
    // Every polygon's corner maps from one TXUV vertex map (per-polygon entries first); an empty
    // name takes the layer's first. Returns the corners that found a value.
    int32_t (*makeUVmap)(st_OBJ2 *o, const char *aName);
    st_PolygonMap *(*polUVmap)(st_OBJ2 *o, int32_t aPol, int32_t aChan, int32_t aLayr);
    // Corner maps of one surface's polygons from a UV view file (text: "UVIEW", the count, then
    // that many "point u v" lines); the file's name is kept in the material's uview_file.
    int32_t (*loadUView)(st_OBJ2 *o, int32_t aSurf, const char *aPath);
    void (*clearUVmap)(st_OBJ2 *o);
    // colours
    int32_t (*colorCount)(st_OBJ2 *o);
    int32_t (*addColori)(st_OBJ2 *o, const uint8_t aRgba[4]);  // 0..255 per channel
    int32_t (*addColor)(st_OBJ2 *o, const float aRgba[4]);
    int32_t (*compColor)(st_OBJ2 *o, const float aRgba[4]);    // reuses an equal recent colour
    st_ColorData *(*colorInfo)(st_OBJ2 *o, int32_t aIdx);
    int32_t (*makeColor)(st_OBJ2 *o, uint32_t aFlags);
    void (*clearColor)(st_OBJ2 *o);
    // surfaces and materials
    int32_t (*surfCount)(st_OBJ2 *o);
    st_SurfaceData *(*newSurf)(st_OBJ2 *o, const char *aName);
    st_SurfaceData *(*getSurf)(st_OBJ2 *o, int32_t aIdx);
    st_SurfaceData *(*surfNext)(st_OBJ2 *o, st_SurfaceData *aSurfP);  // null: the first
    // The surface's name, with the current layer's polygons on it and its texture layers.
    const char *(*surfInfo)(st_OBJ2 *o, int32_t aIdx, int32_t *aPolsP, int32_t *aLayrsP);
    int32_t (*setSurf)(st_OBJ2 *o, int32_t aPol, int32_t aSurf);   // moves a polygon to a surface
    // A texture layer's matrix from its centre, rotation (heading, pitch, bank) and size.
    int32_t (*setTMatrix)(st_OBJ2 *o, int32_t aSurf, int32_t aLayr);
    int32_t (*renameSurf)(st_OBJ2 *o, int32_t aIdx, const char *aName);
    int32_t (*findSurf)(st_OBJ2 *o, const char *aName);
    void (*clearSurfs)(st_OBJ2 *o);
    // The material again from the surface's values (after they were changed).
    st_MaterialData *(*newMaterial)(st_OBJ2 *o, int32_t aIdx);
    st_MaterialData *(*getMaterial)(st_OBJ2 *o, int32_t aIdx);
    int32_t (*mtlLayCount)(st_OBJ2 *o, int32_t aIdx);
    // Surface and material back to the defaults, texture layers gone.
    int32_t (*clrMaterial)(st_OBJ2 *o, int32_t aIdx);
    st_TextureLayer *(*newTexture)(st_OBJ2 *o, int32_t aSurf);
    st_TextureLayer *(*getTexture)(st_OBJ2 *o, int32_t aSurf, int32_t aLayr);
    // Keeps the first aNum texture layers, adding default ones up to aNum.
    int32_t (*setTxtLayrs)(st_OBJ2 *o, int32_t aSurf, int32_t aNum);
    // clips: an index is the file's clip number, a number the position in the list
    int32_t (*clipCount)(st_OBJ2 *o);
    int32_t (*newClipIndex)(st_OBJ2 *o);  // an index no clip uses yet
    st_ClipData *(*newClip)(st_OBJ2 *o, int32_t aIndex, const char *aName);
    int32_t (*setClip)(st_OBJ2 *o, int32_t aSurf, int32_t aLayr, int32_t aIndex);  // image of a texture layer
    st_ClipData *(*getClip)(st_OBJ2 *o, int32_t aIndex);  // by clip index
    int32_t (*getClipNo)(st_OBJ2 *o, int32_t aIndex);
    int32_t (*setClipName)(st_OBJ2 *o, int32_t aIndex, const char *aName);
    int32_t (*getClipIndex)(st_OBJ2 *o, int32_t aNo);
    void (*clearClips)(st_OBJ2 *o);
    // envelopes: keys are (time, value) pairs in rising time
    int32_t (*envlCount)(st_OBJ2 *o);
    st_EnvelopeData *(*newEnvelope)(st_OBJ2 *o, int32_t aIndex, int32_t aType);
    int32_t (*setEnvelope)(st_OBJ2 *o, int32_t aIndex, int32_t aNumKeys, const float *aKeys);
    st_EnvelopeData *(*getEnvelope)(st_OBJ2 *o, int32_t aIndex);
    void (*clearEnvls)(st_OBJ2 *o);
    // edges
    int32_t (*edgeCount)(st_OBJ2 *o);
    st_EdgeData *(*edgeInfo)(st_OBJ2 *o, int32_t aIdx);
    int32_t (*makeEdges)(st_OBJ2 *o);
    // The next edge after aEdge (-1: from the start) that ends at point aPnt; -1 when none.
    int32_t (*edgeNext)(st_OBJ2 *o, int32_t aPnt, int32_t aEdge);
    void (*clearEdges)(st_OBJ2 *o);
    // meshes
    int32_t (*meshCount)(st_OBJ2 *o);
    st_MeshData *(*meshInfo)(st_OBJ2 *o, int32_t aIdx);
    st_MeshNode *(*meshNode)(st_OBJ2 *o, int32_t aMesh, int32_t aNode);
    int32_t (*makeMeshes)(st_OBJ2 *o, const st_MeshOpt *aOptP);
    void (*clearMeshes)(st_OBJ2 *o);
    void (*sortMeshes)(st_OBJ2 *o);
    // vertex maps
    int32_t (*vmapCount)(st_OBJ2 *o);
    st_VMapData *(*vmapNext)(st_OBJ2 *o, st_VMapData *aMapP, const char *aType);  // null type: any
    st_VMapData *(*newVMap)(st_OBJ2 *o, const char *aType, int32_t aDim, const char *aName, int32_t aPerPoly);
    int32_t (*addVMap)(st_OBJ2 *o, st_VMapData *aMapP, int32_t aPnt, int32_t aPol, const float *aValues);
    st_VMapData *(*getVMap)(st_OBJ2 *o, const char *aType, const char *aName, int32_t aPerPoly);
    // finds the values of a point (and polygon, for per-polygon maps first): 1 found, 0 not
    int32_t (*getVMapData)(st_OBJ2 *o, const st_VMapData *aMapP, int32_t aPnt, int32_t aPol, float *aValues);
    void (*clearVMap)(st_OBJ2 *o);
    // polygon tags
    int32_t (*ptagCount)(st_OBJ2 *o);
    st_PTagData *(*ptagNext)(st_OBJ2 *o, st_PTagData *aTagP);
    st_PTagData *(*newPTag)(st_OBJ2 *o, const char *aType);
    int32_t (*addPTag)(st_OBJ2 *o, st_PTagData *aTagP, int32_t aPol, int32_t aTag);
    st_PTagData *(*getPTag)(st_OBJ2 *o, const char *aType);
    // The polygons tagged aTag, as a new polygon set of the layer named after the tag.
    st_PolySet *(*ptagSelect)(st_OBJ2 *o, const char *aType, int32_t aTag);
    int32_t (*ptagGetTag)(st_OBJ2 *o, const char *aType, int32_t aPol);  // -1: untagged
    void (*clearPTag)(st_OBJ2 *o);
    // sharing, built on first use and again after the layer changed: polygons on a point, points
    // joined to a point by an edge, polygons using a normal, points at a point's position,
    // normals equal to a normal. Each gives its run and its length in *aNumP.
    const int32_t *(*polUsers)(st_OBJ2 *o, int32_t aPnt, int32_t *aNumP);
    const int32_t *(*pntUsers)(st_OBJ2 *o, int32_t aPnt, int32_t *aNumP);
    const int32_t *(*nrmUsers)(st_OBJ2 *o, int32_t aNrm, int32_t *aNumP);
    void (*freePolUsers)(st_OBJ2 *o);
    void (*freePntUsers)(st_OBJ2 *o);
    void (*freeNrmUsers)(st_OBJ2 *o);
    const int32_t *(*pntShareInfo)(st_OBJ2 *o, int32_t aPnt, int32_t *aNumP);
    const int32_t *(*nrmShareInfo)(st_OBJ2 *o, int32_t aNrm, int32_t *aNumP);
    void (*freePntShare)(st_OBJ2 *o);
    void (*freeNrmShare)(st_OBJ2 *o);
    // global
    void (*moveAll)(st_OBJ2 *o, const double aMove[3]);
    void (*scaleAll)(st_OBJ2 *o, const double aScale[3]);
    int32_t (*polyTriple)(st_OBJ2 *o, int32_t aPol);
    int32_t (*tripleAll)(st_OBJ2 *o, uint32_t aFlags);
    void (*sortPols)(st_OBJ2 *o);
    // Surfaces in name order; polygons and meshes follow their surface.
    int32_t (*sortSurfs)(st_OBJ2 *o);
    // file
    int32_t (*loadObj)(st_OBJ2 *o, const char *aPath, int32_t aType, const st_OBJ2_option *aOptP);
    // Writes the database as an LWO2 file (the only type written).
    int32_t (*saveObj)(st_OBJ2 *o, const char *aPath, int32_t aType);
    // A second handle on the same database with its own current layer; closing it leaves the
    // database alone, so it must be closed before the handle it came from.
    st_OBJ2 *(*instObj)(st_OBJ2 *o);
    void (*dumpObj)(st_OBJ2 *o, FILE *aOut);  // everything, readable
    const char *(*errorStr)(st_OBJ2 *o);
    void (*debug_printf)(st_OBJ2 *o, const char *aFormat, ...);
    void (*info)(st_OBJ2 *o, FILE *aOut);  // counts, one "key value" a line
};

st_OBJ2 *OBJ2_new(void);
// Opens a file as LWO2, then as LWOB; null when neither reads (the first real failure goes to
// *aErrorP when given). Null options: no post-processing, UV channel 1, one layer.
st_OBJ2 *OBJ2_open(const char *aPath, const st_OBJ2_option *aOptP, OBJError *aErrorP = nullptr);
// The same from bytes in memory (aName names it in messages).
st_OBJ2 *OBJ2_openMem(const void *aDataP, uint32_t aSize, const char *aName, const st_OBJ2_option *aOptP,
                      OBJError *aErrorP = nullptr);
void OBJ2_close(st_OBJ2 **aObjPP);
const char *OBJ2_errorText(int32_t aError);

// Readers into an empty handle: 0, else -1 with o->error set.
int32_t LWO2_load(st_OBJ2 *o, const uint8_t *aDataP, uint32_t aSize);
int32_t LWOB_load(st_OBJ2 *o, const uint8_t *aDataP, uint32_t aSize);

// Triangulates a simple polygon given in the plane (x, y pairs, counter-clockwise or not) into
// aTris (3 × (n − 2) corner numbers, each triangle wound like the polygon). Returns the number of
// triangles, or -1 when n < 3.
int32_t OBJ2_triangulate(const double *aXY, int32_t aNum, int32_t *aTris);

#endif
