#ifndef KESTREL_APP_BENCH_BENCHCORE_H
#define KESTREL_APP_BENCH_BENCHCORE_H

// The arithmetic of benchmark and demo runs that needs no device: the loop rate of a test, the
// choice of the next row, the Challenge Mode input rule and blink, the fade quads' alpha, the
// seeded generator with the feathers and attractors of the ninja scenes, and the frame-time
// record with its summary.

#include <cstddef>
#include <cstdint>

#include "App/Scene/SceneCore.h"
#include "Common/D3DTYPES.h"

enum {
    BENCH_ROW_NUM = 11,  // rows of a benchmark table
    DEMO_ROW_NUM = 25,   // rows of a demo table
    BENCH_STEP_FAIL = 0xFFFF,  // a screen-mode change left the draw manager unusable
};

// ---- Table rows ---------------------------------------------------------------------------

// Row flags.
enum : uint16_t {
    BENCH_ROW_USEROBJ = 0x0001,    // the user's object may replace the "_change2_" shape
    BENCH_ROW_FADEBGM = 0x0002,    // fade the music out at the end of the scene
    BENCH_ROW_NOSCORE = 0x0004,    // not scored; no Challenge Mode wait
    BENCH_ROW_TEXPATH = 0x0008,    // imagePathP is the texture folder
    BENCH_ROW_ENTRYKSF = 0x0010,   // register the image package imagePathP before loading
    BENCH_ROW_CLEARFILE = 0x0020,  // clear the image registry after the scene
    BENCH_ROW_CPULOGO = 0x0040,    // demo: processor logos over the scene
    BENCH_ROW_URLLOGO = 0x0080,    // demo: web-address logo over the scene
};

struct _becnhDef {
    uint16_t status;
    _sceneDef *sceneDefP;  // null until loaded
    _sceneOptionDef *sceneOptionDefP;
    uint32_t sceneOptionFlg[5];
    const char *titleP;
    const char *dataPathP;   // scene package
    const char *imagePathP;  // image package or texture folder; may be null
    uint32_t width, height, depth;
    char soundName[SCENE_NAME_SIZE];
    _sceneSeDef *seP;
};

// Row aStep of a table of aRowNum rows, or null.
_becnhDef *sBenchTableRow(_becnhDef *aTblP, long aRowNum, long aStep);
// 1 when the row names a scene (loaded or by its package).
int sBenchRowHasScene(const _becnhDef *aRowP);

typedef _sceneDef *(*_benchLoadProc)(const char *aPathP);
typedef void (*_benchFreeProc)(_sceneDef *aDefP);
enum { BENCH_SCENE_INFO_MAX = 36 };

// Loads the scene package of every row of the tables in order; rows naming the same package
// (exact comparison) share the first row's definition. Returns the number of packages loaded.
long sBenchLoadScenes(_becnhDef *const *aTblP, const long *aRowNumP, long aTblNum, _benchLoadProc aLoadP);
// Frees every definition of the tables once and clears it from every row.
void sBenchFreeScenes(_becnhDef *const *aTblP, const long *aRowNumP, long aTblNum, _benchFreeProc aFreeP);

// ---- User object ------------------------------------------------------------------------

// Index of the first shape whose name holds "_change2_" in any letter case, or -1.
long sBenchChangeShape(const _sceneDef *aDefP);
// Scale that gives body aNewP, on average over the three axes, the size of aOldP. Axes on which
// either body is flat are left out of the mean; 1.0 when none is left.
float sBenchScaleFactor(const _shapeDef *aOldP, const _shapeDef *aNewP);

// ---- Movie screens -----------------------------------------------------------------------

// Packages carry no movie bindings, so the scene tables keep them: a shape of this name plays
// the clip its texture set names (a movie page, flags 0x0401) on the binding's frames.
struct _benchMovie {
    const char *shapeNameP;
    _sceneAviDef avi;
};
// The table's bindings; *aCntP gets their number.
const _benchMovie *sBenchMovieTbl(long *aCntP);
// Gives every shape of aDefP named in the table its binding; returns how many shapes were bound.
long sBenchBindMovies(_sceneDef *aDefP);

// ---- Score ------------------------------------------------------------------------------

// Mean performance-counter ticks per computed scene frame (64-bit integer division); 0 when no
// frame was computed.
double sBenchFrameTime(int64_t aSceneFrameTime, int64_t aSceneFrameCnt);
// Loops per second of scene time: the scene's whole-number rate times loops per scene frame;
// 0 for a scene without frames.
float sBenchFpsAve(long aSceneFps, uint64_t aLoopCnt, long aSceneFrameCnt);

// ---- Row search ---------------------------------------------------------------------------

// 1 when row aStep may play now (in the benchmark: its test is ticked, the display offers its
// mode, and it names a scene).
typedef long (*_benchPlayableProc)(void *aCtxP, long aStep);

// The first row a benchmark run starts with: the first playable row, else 0.
long sBenchFirstStep(long aRowNum, _benchPlayableProc aPlayableP, void *aCtxP);
// The row after aStep, wrapping to 0 with Continuous Loop; -1 ends the run (after a failed mode
// change, at the end of the table, or once the search came round to aStep again).
long sBenchNextStep(long aStep, long aRowNum, int aLoopB, _benchPlayableProc aPlayableP, void *aCtxP);

// ---- Challenge Mode -----------------------------------------------------------------------

enum {
    BENCH_BLINK_ON = 15,     // ticks the prompt is lit, then as many dark
    BENCH_TICK_MS = 33,      // a tick or a present once more than this many ms passed
};
// 1 when a dispatched message starts the test: quit, a key or any mouse button (not a move).
int sBenchChallengeEnds(uint32_t aMsg);
// Prompt colour of blink tick aTick (0..29).
uint32_t sBenchBlinkColor(long aTick);

// ---- Fades --------------------------------------------------------------------------------

// Fade over the last frames: 255 * (f - aStart) / (aFrameCnt - 1 - aStart), 255 on the last
// frame, 0 before aStart + 1; clamped to 0..255.
uint32_t sBenchFadeOutAlpha(long aFrame, long aStart, long aFrameCnt);
// The benchmark feather scene's fade: 255 * (f - 270) / (aFrameCnt - 270) from frame 271.
uint32_t sBenchFeatherFadeAlpha(long aFrame, long aFrameCnt);
// The white fade-in below frame 80: 255 * (1 - f * 0.0125).
uint32_t sBenchFadeInAlpha(long aFrame);
// Quad colours: a fade to black (alpha only) and a fade from or to white.
inline uint32_t sBenchFadeBlack(uint32_t aAlpha) { return aAlpha << 24; }
inline uint32_t sBenchFadeWhite(uint32_t aAlpha) { return (aAlpha << 24) | 0xFFFFFF; }

// ---- Seeded generator -------------------------------------------------------------------

// The classic C library generator: the same seed gives the same sequence on every platform.
void sBenchSrand(uint32_t aSeed);
long sBenchRand(void);  // 0..32767
float sBenchRandUnit(void);  // sBenchRand() / 32767

// ---- Feathers (benchmark sf_ninja) --------------------------------------------------------

enum { BENCH_FEATHER_NUM = 4200, BENCH_SWORD_NUM = 2 };

struct _benchFeather {
    D3DVECTOR pos;
    float scale;
    float spare;
    float spin;         // degrees per frame
    float speed;
    float targetSpeed;
    float swordDist[BENCH_SWORD_NUM];  // distance to each sword at the previous frame
    D3DMATRIX mat;
};

// Seeds the generator with 511 and makes aNum feathers.
void sBenchFeatherInit(_benchFeather *aFeatherP, long aNum);
// One new frame position aFrame. aSwordP[i] is sword i's world position, or null when the
// scene has no such shape (sword 0 "L_Sword", sword 1 "R_sword").
void sBenchFeatherMove(_benchFeather *aFeatherP, long aNum, long aFrame, const D3DVECTOR *const aSwordP[2]);

// ---- Attractors (benchmark ninja_last) ----------------------------------------------------

enum { BENCH_ATTRACTOR_NUM = 16, BENCH_POINT_NUM = 4000 };

struct _benchAttractor {
    float dist;
    float speed;
    float height;
    float climb;
    float angle;  // degrees
    float turn;   // degrees per frame
    float pull;
    D3DVECTOR pos;
};

// A point as drawn: position and colour.
struct _benchPoint {
    float x, y, z;
    uint32_t color;
};

// Seeds the generator with 11, makes the attractors and fills the points that fall inside the
// circle (the rest stay zero). Returns the number of points filled.
long sBenchAttractorInit(_benchAttractor *aAttrP, _benchPoint *aPointP);
// One new frame position: the attractors move, each point is drawn to its nearest one.
void sBenchAttractorMove(_benchAttractor *aAttrP, _benchPoint *aPointP, long aPointNum);

// ---- Frame-time record --------------------------------------------------------------------

// File beside the program, rewritten by every benchmark run with the option set.
#define BENCH_FRAME_FILE "KestrelFrames.csv"
#define BENCH_FRAME_HEAD                                                                                      \
    "test,frame,ms,deltaMs,updateMs,drawMs,presentMs,drawCalls,primitives,stateChanges,redundantStates," \
    "stateSkips,texChanges,locks,readBacks,uploadBytes," BENCH_FRAME_HEAD_BIND
// The columns added with the copy of what is bound: skipped sets and sent repeats of each kind.
#define BENCH_FRAME_HEAD_BIND                                                                    \
    "textureSkips,transformSkips,materialSkips,viewportSkips,sceneSkips,redundantTextures," \
    "redundantTransforms,redundantMaterials,redundantViewports"

// The device work of one frame, in the record's column order.
enum { BENCH_COUNT_NUM = 18, BENCH_COUNT_NUM_OLD = 9 };
struct _benchFrameCount {
    uint32_t drawCalls;        // draw calls
    uint32_t primitives;       // points, lines and triangles they draw
    uint32_t stateChanges;     // render and texture-stage states sent to the device
    uint32_t redundantStates;  // of those, sets of the value the device already held
    uint32_t stateSkips;       // sets asked for and not sent, as already in force
    uint32_t texChanges;       // textures set
    uint32_t locks;            // surface and vertex-buffer locks
    uint32_t readBacks;        // of those, locks not write-only (the contents are handed back)
    uint32_t uploadBytes;      // vertices and indices handed over by pointer, and bytes locked to write
    // Textures, transforms, materials and viewports asked for and not sent, as already in force,
    // and scene begins or ends asked for twice.
    uint32_t bindSkips[5];
    // Textures, transforms, materials and viewports sent with the value the device already held.
    uint32_t bindRedundant[4];
};

static_assert(sizeof(_benchFrameCount) == BENCH_COUNT_NUM * sizeof(uint32_t), "counts are read as an array");

// One presented frame of a test.
struct _benchFrameRec {
    int32_t test;       // benchmark row
    int32_t framePos;   // scene frame position shown
    double ms;          // since the test started
    double deltaMs;     // since the previous present (the first: since the start)
    double updateMs;    // scene update time spent on this frame
    double drawMs;      // scene and effect drawing, the device calls they make included
    double presentMs;   // the present itself
    _benchFrameCount count;
};

// One line of the file (with its newline): the length, or -1 when it does not fit.
long sBenchFrameLine(char *aBufP, size_t aSize, const _benchFrameRec *aRecP);
// Parses one line; 1 on success, 0 for the header or a malformed line. Lines of the earlier
// five or seven columns read with draw and present times and counts of 0, lines of the earlier
// nine counts with the bound-object counts 0.
int sBenchFrameParse(const char *aLineP, _benchFrameRec *aRecP);

struct _benchFrameSum {
    int32_t test;
    long frameCnt;
    double fpsAve;   // presented frames per second over the test
    double low1Fps;  // 1000 / mean of the slowest 1 % of frame times (at least one frame)
    double p99Ms;    // frame time at the 99th percentile (nearest rank)
};

// Where one test's frame time goes: means per presented frame, and the share of the whole frame
// time that the scene update and drawing took (at most the program's own share, since drawing
// includes the device calls it makes).
struct _benchFrameCost {
    int32_t test;
    long frameCnt;
    double deltaMs, updateMs, drawMs, presentMs;
    double ownShare;  // (update + draw) / frame time, 0..1
    double count[BENCH_COUNT_NUM];  // means of the counts, in the order of _benchFrameCount
};
// Costs of every test in a frame-time record file, in order of first appearance: the number of
// tests (at most aMax), or -1 when the file cannot be read.
long sBenchFrameCostFile(const char *aPathP, _benchFrameCost *aCostP, long aMax);

// Summary of one test's frame times (ms between presents); 0, or -1 with no frames.
long sBenchFrameSummary(const double *aDeltaMsP, long aCnt, _benchFrameSum *aSumP);
// Summaries of every test in a frame-time record file, in order of first appearance: the
// number of tests (at most aMax), or -1 when the file cannot be read.
long sBenchFrameSummaryFile(const char *aPathP, _benchFrameSum *aSumP, long aMax);

#endif
