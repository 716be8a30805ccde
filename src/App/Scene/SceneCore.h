#ifndef KESTREL_APP_SCENE_SCENECORE_H
#define KESTREL_APP_SCENE_SCENECORE_H

// Scene definition records: the tree rooted in _sceneDef that scene packages hold verbatim and
// Scene::Load reads. In a package every pointer field is a 32-bit offset that the package reader
// turns into an address in place, so the in-memory layout must be the package layout: the
// static_asserts below pin every size and field offset.

#include <cstddef>
#include <cstdint>

#include "Common/D3DTYPES.h"

static_assert(sizeof(void *) == 4, "scene packages are relocated in place: pointers must be 32 bits");

// Draw flags passed down from the scene to shapes, abilities and primitives.
enum _shapeDrawFlg {
    ShapeDrawFlgNil = 1,               // opaque pass
    ShapeDrawFlgAlpha = 2,             // translucent pass
    ShapeDrawFlgNotRenderState = 4,    // leave render states alone
    ShapeDrawFlgNotMaterial = 8,       // leave the material alone
    ShapeDrawFlgShadowReceive = 16,    // no receiver pass
    ShapeDrawFlgNoBoundingBox = 32,    // no box culling
    ShapeDrawFlgBoundingBoxLoose = 64  // loose box culling
};

enum _blendingMode {
    BlendingModeNil = 0,
    BlendingModeTransparency = 1,
    BlendingModeAdditive = 2,
    BlendingModeSubtractive = 3,
    BlendingModeMultiply = 4,
    BlendingModeAddSmooth = 5,
    BlendingModeSubSmooth = 6
};

enum _primitiveKind {
    PrimitiveKindNil = 0,
    PrimitiveKindBumpMap = 1,
    PrimitiveKindEnvMap = 2,
    PrimitiveKindDotPoly = 3
};

enum _effectOptions {
    EffectOptionsNil = 0,
    EffectOptionsFReflect = 0x100,
    EffectOptionsFLight = 0x200,
    EffectOptionsGlow = 0x400,
    EffectOptionsBlur = 0x800,
    EffectOptionsAImage = 0x800
};

// _sceneOptionDef.status bits.
enum {
    SCENE_OPT_CLOSING_SCREEN = 0x0001,  // the loading screen is the plain closing picture
    SCENE_OPT_PROGRESS_BAR = 0x0002,    // the loading screen shows a progress bar
    SCENE_OPT_BENCH_SCREEN = 0x0004,    // benchmark screen with the previous test's result
    SCENE_OPT_NO_BOX = 0x0008,          // shapes are drawn with ShapeDrawFlgNoBoundingBox
    SCENE_OPT_SKIP_SCREEN = 0x0010,     // with 0x0004: no loading screen while benchmark option 0x1 is set
    SCENE_OPT_LOOSE_BOX = 0x0020        // shapes are drawn with ShapeDrawFlgBoundingBoxLoose
};

// Fog modes and primitive types as the definitions store them (the Direct3D values). Enumerated
// fields are kept as 32-bit integers so that any stored value can be read safely.
enum {
    SCENE_FOG_NONE = 0,
    SCENE_FOG_EXP = 1,
    SCENE_FOG_EXP2 = 2,
    SCENE_FOG_LINEAR = 3
};

enum { SCENE_NAME_SIZE = 260 };

struct _sceneVectorDef {
    float vx, vy, vz;
};

// One run of the key index sequence: steps added to the three key indices on each frame.
struct _sceneIndexDef {
    int16_t trans;
    int16_t angle;
    int16_t scale;
    uint16_t length;
};

// The motion head: the first 68 bytes of every object definition.
struct _sceneMotionDef {
    _sceneVectorDef trans;
    _sceneVectorDef angle;  // radians
    _sceneVectorDef scale;
    uint32_t transFrameCnt;
    _sceneVectorDef *transFrameP;
    uint32_t angleFrameCnt;
    _sceneVectorDef *angleFrameP;
    uint32_t scaleFrameCnt;
    _sceneVectorDef *scaleFrameP;
    uint32_t indexCnt;
    _sceneIndexDef *indexP;
};

struct _renderState {
    uint32_t type;   // Direct3D render-state type
    uint32_t state;
};

struct _pageInfo {
    uint16_t proj;
    uint16_t axis;
    float texSize[3];
    float texCenter[3];
    float wrpw;
    float wrph;
    int32_t refNum;
};

struct _texInfoRect {
    int32_t left, top, right, bottom;
};

struct _texInfo {
    uint16_t status;
    int16_t pageNum;
    _texInfoRect rect;
    uint16_t speedU;
    uint16_t speedV;
    uint16_t offsetU;
    uint16_t offsetV;
    uint16_t scrCnt;
};

struct _textureSet {
    char fileName[SCENE_NAME_SIZE];
    char alphaFileName[SCENE_NAME_SIZE];
    uint32_t texFlg;
    uint32_t color;  // 0x00RRGGBB
    float opacity;
    _pageInfo pageInfo;
    _texInfo info;
    uint32_t texUVIndex;
    uint32_t texOp;  // D3DTEXTUREOP
    uint32_t texArg1;
    uint32_t texArg2;
    uint32_t alphaOp;  // D3DTEXTUREOP
    uint32_t alphaArg1;
    uint32_t alphaArg2;
    int16_t texNum;      // filled in when the binding is registered
    int32_t texPageNum;  // filled in when the binding is registered
};

struct _vertexDef {
    float vx, vy, vz;
    float nx, ny, nz;
    float u0, v0;
    float u1, v1;
};

struct _primIndexDefSet {
    int32_t indexNum;
    uint16_t *indexP;
    uint32_t primitiveType;  // D3DPRIMITIVETYPE
};

struct _primVertexDefSet {
    int32_t vertexNum;
    void *vertexP;  // laid out by vertexType
    uint32_t vertexType;
    void *morphVertexP;  // same count, laid out by morphVertexType, or null
    uint32_t morphVertexType;
    int32_t indexSetNum;
    _primIndexDefSet *indexSetP;
};

struct _abilityDef {
    uint32_t abilityStatus;
    D3DMATERIAL7 material;
    int32_t texStageNum;
    _textureSet *texSetP;
    _renderState rendStat[5];
    uint32_t srcBlend;
    uint32_t destBlend;
    int32_t vertexDefSetNum;
    _primVertexDefSet *vertexDefSetP;
};

// Never part of a package.
struct _shadowCastDef {
    const char *fileNameP;
    uint32_t color;
    uint32_t sizeU;
    uint32_t sizeV;
    uint32_t lightMask;  // bit n: light n casts this shadow
};

// Never part of a package.
struct _shapeEffectDef {
    uint16_t option;     // _effectOptions
    uint16_t glowBlend;  // _blendingMode
    uint32_t glowCnt;
    float glowScale;
    D3DCOLORVALUE glowColor;
    D3DCOLORVALUE glowEmissive;
    uint16_t blurBlend;  // _blendingMode
    uint32_t blurCnt;
    uint32_t blurFrameRate;
    float blurAlphaBias;
    D3DCOLORVALUE blurEmissive;
};

struct _shapeDef {
    uint32_t shapeStatus;
    int32_t abilityDefNum;
    _abilityDef **abilityDefP;
    _shadowCastDef *shadowCastDefP;  // always null in a package
    _shapeEffectDef *effectDefP;     // always null in a package
    int32_t nextNum;
    int32_t childNum;
    uint32_t reserve;  // alignment of the box
    double minX, minY, minZ;
    double maxX, maxY, maxZ;
    uint32_t vertexCnt;
    uint32_t polyCnt;
    void *workP;  // run-time work pointer; stored as 0
    uint32_t reserve2;
};

struct _spriteDef {
    uint32_t spriteStatus;
    uint32_t texSetNum;
    _textureSet *texSetP;
    float posX[4];
    float posY[4];
    uint32_t srcBlend;
    uint32_t destBlend;
};

struct _particleVector {
    float x, y, z;
};

struct _particleDef {
    uint32_t particleStatus;
    int32_t workNum;
    _textureSet texSet;
    int32_t birthRate;
    _particleVector size;
    float initSpeedMin, initSpeedMax;
    float spreadMin, spreadMax;
    float gridAngle;
    float initRotateMin, initRotateMax;
    float rotateMin, rotateMax;
    float initScaleMin, initScaleMax;
    float scaleMin, scaleMax;
    D3DCOLORVALUE colorStart;
    D3DCOLORVALUE colorEnd;
    uint32_t lifeMin, lifeMax;
    float gravityAcceleration;
    _particleVector gravityOrientation;
    float flickerAngleMin, flickerAngleMax;
    float centripetalForceMin, centripetalForceMax;
    float birthDirForceMin, birthDirForceMax;
};

// A movie played onto a texture page of a shape (never in a package).
struct _sceneAviDef {
    const char *fileNameP;
    uint16_t type;  // 0 stop, 1 hold the last frame, 2 loop
    uint16_t startFrame;
    uint16_t endFrame;
    float frameUnit;  // movie frames per scene frame
};

struct _sceneShapeDef {
    _sceneVectorDef trans;
    _sceneVectorDef angle;
    _sceneVectorDef scale;
    uint32_t transFrameCnt;
    _sceneVectorDef *transFrameP;
    uint32_t angleFrameCnt;
    _sceneVectorDef *angleFrameP;
    uint32_t scaleFrameCnt;
    _sceneVectorDef *scaleFrameP;
    uint32_t indexCnt;
    _sceneIndexDef *indexP;
    uint32_t aviCnt;
    _sceneAviDef *aviDefP;
    uint32_t dissolveFrameCnt;
    float *dissolveFrameP;
    uint32_t morphFrameCnt;
    float *morphFrameP;
    uint32_t shadowOptions;
    int32_t parentShapeNum;
    _shapeDef *defP;
    char name[SCENE_NAME_SIZE];
};

struct _sceneLightDef {
    _sceneVectorDef trans;
    _sceneVectorDef angle;
    _sceneVectorDef scale;
    uint32_t transFrameCnt;
    _sceneVectorDef *transFrameP;
    uint32_t angleFrameCnt;
    _sceneVectorDef *angleFrameP;
    uint32_t scaleFrameCnt;
    _sceneVectorDef *scaleFrameP;
    uint32_t indexCnt;
    _sceneIndexDef *indexP;
    int32_t parentShapeNum;
    D3DCOLORVALUE *colorP;  // scene length, or null
    float *intensityP;      // scene length, or null
    uint32_t type;          // D3DLIGHTTYPE
    uint16_t fallOffType;
    uint16_t shadowType;
    D3DCOLORVALUE baseColor;
    D3DCOLORVALUE color;
    float range;
    float intensity;
    float fallOff;
    float coneAngle;
    float edgeAngle;
};

struct _sceneCameraDef {
    _sceneVectorDef trans;
    _sceneVectorDef angle;
    _sceneVectorDef scale;
    uint32_t transFrameCnt;
    _sceneVectorDef *transFrameP;
    uint32_t angleFrameCnt;
    _sceneVectorDef *angleFrameP;
    uint32_t scaleFrameCnt;
    _sceneVectorDef *scaleFrameP;
    uint32_t indexCnt;
    _sceneIndexDef *indexP;
    int32_t parentShapeNum;
    float *zoomFactorP;  // scene length, or null
    _sceneVectorDef lookAt;
    _sceneVectorDef eyePos;
    float fovAngle;
    float focalDistance;
    uint16_t width;
    uint16_t height;
    int32_t targetShapeNum;
};

struct _sceneSpriteDef {
    _sceneVectorDef trans;
    _sceneVectorDef angle;
    _sceneVectorDef scale;
    uint32_t transFrameCnt;
    _sceneVectorDef *transFrameP;
    uint32_t angleFrameCnt;
    _sceneVectorDef *angleFrameP;
    uint32_t scaleFrameCnt;
    _sceneVectorDef *scaleFrameP;
    uint32_t indexCnt;
    _sceneIndexDef *indexP;
    uint32_t patternFrameCnt;
    uint32_t *patternFrameP;
    int32_t parentShapeNum;
    _spriteDef *defP;
    char name[SCENE_NAME_SIZE];
};

struct _sceneParticleDef {
    _sceneVectorDef trans;
    _sceneVectorDef angle;
    _sceneVectorDef scale;
    uint32_t transFrameCnt;
    _sceneVectorDef *transFrameP;
    uint32_t angleFrameCnt;
    _sceneVectorDef *angleFrameP;
    uint32_t scaleFrameCnt;
    _sceneVectorDef *scaleFrameP;
    uint32_t indexCnt;
    _sceneIndexDef *indexP;
    int32_t parentShapeNum;
    _particleDef *defP;
    char name[SCENE_NAME_SIZE];
};

struct _sceneIlluminateDef {
    uint32_t ambientColor;  // 0x00RRGGBB
    float ambientIntensity;
    float *ambientIntensityP;  // scene length, or null
};

struct _sceneFogDef {
    uint32_t mode;  // D3DFOGMODE; 0 turns fog off whatever the rest holds
    float minDist;
    float maxDist;
    float minAmount;
    float maxAmount;
    uint32_t color;  // 0x00RRGGBB
    int32_t backDropB;
    float *minDistP;
    float *maxDistP;
    float *minAmountP;
    float *maxAmountP;
};

struct _sceneDef {
    uint16_t frameCnt;
    uint16_t frameStep;
    float fps;
    uint16_t shapeCnt;
    uint16_t lightCnt;
    uint16_t cameraCnt;
    uint16_t spriteCnt;
    uint16_t particleCnt;
    _sceneShapeDef *shapeP;
    _sceneLightDef *lightP;
    _sceneCameraDef *cameraP;
    _sceneSpriteDef *spriteP;
    _sceneParticleDef *particleP;
    _sceneIlluminateDef illuminate;
    _sceneFogDef fog;
    uint32_t vertexMax;
    uint32_t vertexCnt;
    uint32_t polyCnt;
    float nearDist;
    float farDist;
    uint32_t backColor;  // 0x00RRGGBB
};

// Per-scene callback: the Scene (untyped), the frame number, the work area (null without one) and
// the scene's five option words. The result is not read.
typedef void *(*_sceneProc)(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP);

struct _sceneOptionDef {
    uint16_t status;    // SCENE_OPT_ bits
    uint16_t workSize;  // bytes of zero-filled work area; 0 for none
    uint32_t waitTime;  // least ms the loading screen stays up
    _sceneProc initProcP;
    _sceneProc execProcP;
    _sceneProc drawProcP;
    _sceneProc exitProcP;
    _sceneProc restProcP;
};

// One sound-effect cue; a list ends with a row whose frameNum is -1.
struct _sceneSeDef {
    int32_t frameNum;
    char fileName[SCENE_NAME_SIZE];  // file in Data\Kss\ .
    int32_t vol;
};

// One expanded pose: trans, angle (radians), scale.
struct _sceneFrame {
    float tx, ty, tz;
    float rx, ry, rz;
    float sx, sy, sz;
};

// Poses beyond this many can never be reached by a 16-bit frame number.
const long SCENE_FRAME_MAX = 65536;

// The motion head of any object definition.
template <class T>
inline _sceneMotionDef sSceneGetMotion(const T &aDef)
{
    _sceneMotionDef m;
    m.trans = aDef.trans;
    m.angle = aDef.angle;
    m.scale = aDef.scale;
    m.transFrameCnt = aDef.transFrameCnt;
    m.transFrameP = aDef.transFrameP;
    m.angleFrameCnt = aDef.angleFrameCnt;
    m.angleFrameP = aDef.angleFrameP;
    m.scaleFrameCnt = aDef.scaleFrameCnt;
    m.scaleFrameP = aDef.scaleFrameP;
    m.indexCnt = aDef.indexCnt;
    m.indexP = aDef.indexP;
    return m;
}

// Expands the key index runs of one object into one pose per frame (malloc'd, the caller frees).
// Returns the frame count (0 and a null array when the object has no frames and keeps its base
// pose), or -1 with a null array when a key index leaves its table or memory runs out.
long sSceneExpandKeys(const _sceneMotionDef *aMotionP, _sceneFrame **aFramePP);

// Number of cues before the row whose frameNum is -1 (0 for a null list).
long sSceneSeCount(const _sceneSeDef *aSeP);

// Byte size of one vertex of a flexible vertex format word; -1 for a word that names no valid
// layout (reserved bits, more than eight texture sets).
long sSceneFvfSize(uint32_t aVertexType);

// ---------------------------------------------------------------- the scene runtime's records

// Scene status bits.
enum : uint16_t {
    SCENE_LOADED = 0x0001,           // Load succeeded; Frame and Render do nothing without it
    SCENE_START = 0x0002,            // the next Frame starts the clock and the music
    SCENE_ENDED = 0x0004,            // the last frame was reached (never while looping)
    SCENE_ADVANCED = 0x0008,         // the last Frame moved the frame (or started, or is frame-locked)
    SCENE_LOOP = 0x0010,             // frames and own-length tracks wrap
    SCENE_HIDDEN = 0x0020,           // Render draws nothing
    SCENE_PAUSED = 0x0040,           // Frame does nothing
    SCENE_FRAME_LOCKED = 0x0080,     // the owner moves the frame; every Frame counts as advanced
    SCENE_AMBIENT_CHANGED = 0x0100,  // a frame changed the ambient intensity (the owner clears it)
    SCENE_FOG_CHANGED = 0x0200,      // a frame changed a fog value (the owner clears it)
    SCENE_FADE_MUSIC = 0x0400,       // fade the music over the last frames, silence at the end
    SCENE_DRAW_NO_BOX = 0x0800,      // shapes drawn with ShapeDrawFlgNoBoundingBox
    SCENE_DRAW_LOOSE_BOX = 0x1000    // shapes drawn with ShapeDrawFlgBoundingBoxLoose
};

// _sceneShape.status bits.
enum : uint16_t { SCENE_SHAPE_HIDDEN = 0x0001 };  // a movie-bound shape outside its movies' frames

// Music fades over this many frames before the last one.
const long SCENE_FADE_FRAMES = 45;

// The engine objects the runtime records own; only the Windows build defines them.
class _shape;
class _sprite;
class _particle;
class _soundSE;

// A movie playing onto a texture page of a shape.
struct _sceneAvi {
    long texPageNum;  // -1 when no page plays that movie
    uint16_t type;    // past the movie's end: 0 inactive, 1 hold the last frame, 2 loop
    uint16_t startFrame;
    uint16_t endFrame;
    float frameUnit;  // movie frames per scene frame
};

// Every runtime object starts with a pose (trans, angle in radians, scale: nine floats, the order
// of _sceneFrame) and its expanded frames.
struct _sceneShape {
    uint16_t status;
    D3DVECTOR trans;
    D3DVECTOR angle;
    D3DVECTOR scale;
    uint32_t frameCnt;
    _sceneFrame *frameP;
    uint32_t aviCnt;
    _sceneAvi *aviP;
    float dissolveRate;
    uint32_t dissolveFrameCnt;
    float *dissolveFrameP;
    float morphRate;
    uint32_t morphFrameCnt;
    float *morphFrameP;
    _sceneShape *parentP;
    _shape *shapeP;
    const char *nameP;  // the definition's name
};

struct _sceneLight {
    D3DVECTOR trans;
    D3DVECTOR angle;  // used as the light's direction
    D3DVECTOR scale;
    uint32_t frameCnt;
    _sceneFrame *frameP;
    _sceneShape *parentP;
    D3DCOLORVALUE *colorP;  // scene length, or null
    float *intensityP;      // scene length, or null
    D3DLIGHTTYPE type;
    uint16_t fallOffType;
    uint16_t shadowType;
    D3DCOLORVALUE baseColor;
    D3DCOLORVALUE color;
    float range;
    float intensity;
    float fallOff;
    float coneAngle;
    float edgeAngle;
};

struct _sceneCamera {
    D3DVECTOR trans;
    D3DVECTOR angle;
    D3DVECTOR scale;
    uint32_t frameCnt;
    _sceneFrame *frameP;
    _sceneShape *parentP;
    float *zoomFactorP;  // scene length, or null
    D3DVECTOR lookAt;    // the vectors last handed to the draw camera
    D3DVECTOR eyePos;
    D3DVECTOR upVec;
    float fovAngle;
    float focalDistance;
    uint16_t width;
    uint16_t height;
    _sceneShape *targetP;
};

struct _sceneSprite {
    D3DVECTOR trans;
    D3DVECTOR angle;
    D3DVECTOR scale;
    uint32_t frameCnt;
    _sceneFrame *frameP;
    uint32_t pattern;
    uint32_t patternFrameCnt;
    uint32_t *patternFrameP;
    _sceneShape *parentP;
    _sprite *spriteP;  // null without a body
};

struct _sceneParticle {
    D3DVECTOR trans;
    D3DVECTOR angle;
    D3DVECTOR scale;
    uint32_t frameCnt;
    _sceneFrame *frameP;
    _sceneShape *parentP;
    _particle *particleP;  // null without a body
};

struct _sceneIlluminate {
    uint32_t ambientColor;  // 0x00RRGGBB
    float ambientIntensity;
    float *ambientIntensityP;  // scene length, or null
};

struct _sceneFog {
    uint32_t mode;  // 0: no fog
    float minDist;
    float maxDist;
    float minAmount;
    float maxAmount;
    uint32_t color;  // 0x00RRGGBB
    int32_t backDropB;
    float *minDistP;  // scene length, or null, like the three below
    float *maxDistP;
    float *minAmountP;
    float *maxAmountP;
};

// One cue; a list ends with (SCENE_SE_END, null).
struct _sceneSe {
    uint32_t frameNum;
    _soundSE *seObjP;
};
const uint32_t SCENE_SE_END = 0xFFFFFFFF;

// ---------------------------------------------------------------- frame clock

// The clock fields of a Scene.
struct _sceneClock {
    uint16_t status;
    uint32_t prevTime;  // ms
    float addTime;      // ms carried toward the next frame
    uint16_t framePos;
    uint16_t frameCnt;
    float fps;
};

enum {
    SCENE_CLOCK_IDLE = -1,   // not loaded, or paused: nothing moved
    SCENE_CLOCK_RAN = 0,     // ran; SCENE_ADVANCED tells whether the frame moved
    SCENE_CLOCK_STARTED = 1  // ran and started the scene: its music is due
};

// Moves the clock to aNow (ms): clears the advanced bit, starts a pending scene, adds the elapsed
// time and steps whole frames (late frames are skipped), wraps or clamps the frame, remembers
// aNow. A SCENE_CLOCK_ value.
long sSceneClockAdvance(_sceneClock *aClockP, uint32_t aNow);

// Sets the ended bit of a scene that is not looping and reached its last frame; 1 when it is set.
long sSceneClockEnd(_sceneClock *aClockP);

enum { SCENE_FADE_NONE = 0, SCENE_FADE_STEP = 1, SCENE_FADE_LAST = 2 };
// What the music does at this frame of a non-looping scene: lower by a step in the last
// SCENE_FADE_FRAMES frames before the last, stop on the last.
long sSceneFadeAction(uint16_t aFramePos, uint16_t aFrameCnt);

// Entry of a table of aCount entries for frame aFrame: wrapped when looping, else clamped; 0 for
// an empty table.
uint32_t sSceneTrackIndex(uint32_t aFrame, uint32_t aCount, bool aLoop);

// Number of cues from aCurP on that are due at aFramePos (each plays once, in list order).
uint32_t sSceneCueDue(const _sceneSe *aCurP, uint16_t aFramePos);

// ---------------------------------------------------------------- object records per frame

// Each copies the pose of its frame, then the tracks its kind has. aFramePos indexes tracks of
// scene length (aFrameCnt entries); own-length tables follow sSceneTrackIndex.
void sSceneShapeFrame(_sceneShape *aShapeP, uint16_t aFramePos, bool aLoop);
void sSceneLightFrame(_sceneLight *aLightP, uint16_t aFramePos, uint16_t aFrameCnt, bool aLoop);
void sSceneCameraFrame(_sceneCamera *aCameraP, uint16_t aFramePos, uint16_t aFrameCnt, bool aLoop);
void sSceneSpriteFrame(_sceneSprite *aSpriteP, uint16_t aFramePos, bool aLoop);
void sSceneParticleFrame(_sceneParticle *aParticleP, uint16_t aFramePos, bool aLoop);
// 1 when the frame's value differs from the current one (and was taken), else 0.
long sSceneIlluminateFrame(_sceneIlluminate *aIlluminateP, uint16_t aFramePos, uint16_t aFrameCnt);
long sSceneFogFrame(_sceneFog *aFogP, uint16_t aFramePos, uint16_t aFrameCnt);

// ---------------------------------------------------------------- lighting, fog, camera

// Spot angles at or above 175 degrees are held just below it.
const float SCENE_SPOT_MAX = 3.0543263f;
float sSceneSpotCap(float aAngle);

// The device light of a scene light at world position aPos.
void sSceneLightMake(const _sceneLight *aLightP, const D3DVECTOR &aPos, D3DLIGHT7 *aOutP);

// 0x00RRGGBB ambient colour times the intensity, each channel truncated and held to 0..255.
uint32_t sSceneAmbientColor(uint32_t aColor, float aIntensity);

struct _sceneFogValue {
    float start;
    float end;
    float density;
    uint32_t color;  // 0x00RRGGBB
};
_sceneFogValue sSceneFogValue(const _sceneFog *aFogP, uint32_t aBackColor);

// Look-at point and up vector of a camera at aPos with angles aAngle (radians): the look-at
// point is aFocalDistance along the rotated Z axis unless aTargetP gives it.
void sSceneCameraVectors(const D3DVECTOR &aPos, const D3DVECTOR &aAngle, float aFocalDistance,
                         const D3DVECTOR *aTargetP, D3DVECTOR *aLookAtP, D3DVECTOR *aUpVecP);

// ---------------------------------------------------------------- loading screen

struct _sceneRect {
    long left, top, right, bottom;
};

// A 640 x 480 reference position scaled to the screen (truncated).
long sSceneScaleX(long aX, long aScreenWidth);
long sSceneScaleY(long aY, long aScreenHeight);
// The loading bar at aPercent; aBenchB selects the benchmark screen's length.
_sceneRect sSceneLoadBarRect(long aScreenWidth, long aScreenHeight, long aPercent, bool aBenchB);
// Digits of a score (at most 9; negative scores show as 0): the count, digits in aDigitP.
long sSceneScoreDigits(int32_t aScore, uint8_t aDigitP[9]);
// Where digit aIndex of aCount goes on the result screen.
_sceneRect sSceneScoreDigitRect(long aScreenWidth, long aScreenHeight, long aCount, long aIndex);

// Glyphs of the number font: 0-9 digits, 10 the decimal point, 11 and 12 marks.
enum { SCENE_GLYPH_NUM = 13, SCENE_GLYPH_POINT = 10, SCENE_GLYPH_HEIGHT = 16, SCENE_NUM_GLYPH_MAX = 16 };
extern const long sceneGlyphTbl[SCENE_GLYPH_NUM][2];  // source columns (from, to)
// The glyphs of aNum with aDecimals decimals (at most 4) and a trailing glyph aOption (-1 none);
// the count. aGlyphP has room for SCENE_NUM_GLYPH_MAX.
long sSceneNumGlyphs(double aNum, long aDecimals, long aOption, uint8_t *aGlyphP);
long sSceneGlyphWidth(long aGlyph);

// ---------------------------------------------------------------- movie textures

// Movie frame of a binding at aFramePos for a movie of aLength frames, or -1 when the binding
// is inactive.
long sSceneAviFrame(const _sceneAvi *aAviP, uint16_t aFramePos, uint32_t aLength);

// One movie pixel in a 16-bit surface (5-6-5 when aRgb565, else 5-5-5).
uint16_t sSceneAviPixel16(uint16_t aPixel555, bool aRgb565);
uint16_t sSceneAviPixel24(uint8_t aBlue, uint8_t aGreen, uint8_t aRed, bool aRgb565);

// Which source line fills each of aDstCnt lines when aSrcCnt lines are stretched (-1: the line
// keeps its contents).
void sSceneAviStretchMap(uint32_t aSrcCnt, uint32_t aDstCnt, int32_t *aMapP);

// A movie frame (rows in stored order, 4-byte aligned, 16, 24 or 32 bits) into a 16-bit surface
// image of aDstW x aDstH with aDstPitch bytes a row. 0, or -1 for a depth it cannot read.
long sSceneAviCopy(const uint8_t *aSrcP, uint32_t aSrcW, uint32_t aSrcH, uint32_t aSrcBits, uint8_t *aDstP,
                   uint32_t aDstW, uint32_t aDstH, long aDstPitch, bool aRgb565);

// Package layout.
#define SCENE_AT(rec, field, at) static_assert(offsetof(rec, field) == (at), #rec "." #field)
static_assert(sizeof(_sceneVectorDef) == 12, "_sceneVectorDef");
static_assert(sizeof(_sceneIndexDef) == 8, "_sceneIndexDef");
SCENE_AT(_sceneIndexDef, length, 6);
static_assert(sizeof(_sceneMotionDef) == 68, "_sceneMotionDef");
SCENE_AT(_sceneMotionDef, angle, 12);
SCENE_AT(_sceneMotionDef, scale, 24);
SCENE_AT(_sceneMotionDef, transFrameCnt, 36);
SCENE_AT(_sceneMotionDef, transFrameP, 40);
SCENE_AT(_sceneMotionDef, angleFrameCnt, 44);
SCENE_AT(_sceneMotionDef, angleFrameP, 48);
SCENE_AT(_sceneMotionDef, scaleFrameCnt, 52);
SCENE_AT(_sceneMotionDef, scaleFrameP, 56);
SCENE_AT(_sceneMotionDef, indexCnt, 60);
SCENE_AT(_sceneMotionDef, indexP, 64);

#define SCENE_MOTION_AT(rec)                              \
    SCENE_AT(rec, angle, 12);                             \
    SCENE_AT(rec, scale, 24);                             \
    SCENE_AT(rec, transFrameCnt, 36);                     \
    SCENE_AT(rec, transFrameP, 40);                       \
    SCENE_AT(rec, angleFrameCnt, 44);                     \
    SCENE_AT(rec, angleFrameP, 48);                       \
    SCENE_AT(rec, scaleFrameCnt, 52);                     \
    SCENE_AT(rec, scaleFrameP, 56);                       \
    SCENE_AT(rec, indexCnt, 60);                          \
    SCENE_AT(rec, indexP, 64)

static_assert(sizeof(_sceneDef) == 120, "_sceneDef");
SCENE_AT(_sceneDef, frameStep, 2);
SCENE_AT(_sceneDef, fps, 4);
SCENE_AT(_sceneDef, shapeCnt, 8);
SCENE_AT(_sceneDef, lightCnt, 10);
SCENE_AT(_sceneDef, cameraCnt, 12);
SCENE_AT(_sceneDef, spriteCnt, 14);
SCENE_AT(_sceneDef, particleCnt, 16);
SCENE_AT(_sceneDef, shapeP, 20);
SCENE_AT(_sceneDef, lightP, 24);
SCENE_AT(_sceneDef, cameraP, 28);
SCENE_AT(_sceneDef, spriteP, 32);
SCENE_AT(_sceneDef, particleP, 36);
SCENE_AT(_sceneDef, illuminate, 40);
SCENE_AT(_sceneDef, fog, 52);
SCENE_AT(_sceneDef, vertexMax, 96);
SCENE_AT(_sceneDef, vertexCnt, 100);
SCENE_AT(_sceneDef, polyCnt, 104);
SCENE_AT(_sceneDef, nearDist, 108);
SCENE_AT(_sceneDef, farDist, 112);
SCENE_AT(_sceneDef, backColor, 116);

static_assert(sizeof(_sceneIlluminateDef) == 12, "_sceneIlluminateDef");
SCENE_AT(_sceneIlluminateDef, ambientIntensity, 4);
SCENE_AT(_sceneIlluminateDef, ambientIntensityP, 8);
static_assert(sizeof(_sceneFogDef) == 44, "_sceneFogDef");
SCENE_AT(_sceneFogDef, minDist, 4);
SCENE_AT(_sceneFogDef, maxDist, 8);
SCENE_AT(_sceneFogDef, minAmount, 12);
SCENE_AT(_sceneFogDef, maxAmount, 16);
SCENE_AT(_sceneFogDef, color, 20);
SCENE_AT(_sceneFogDef, backDropB, 24);
SCENE_AT(_sceneFogDef, minDistP, 28);
SCENE_AT(_sceneFogDef, maxDistP, 32);
SCENE_AT(_sceneFogDef, minAmountP, 36);
SCENE_AT(_sceneFogDef, maxAmountP, 40);

static_assert(sizeof(_sceneShapeDef) == 364, "_sceneShapeDef");
SCENE_MOTION_AT(_sceneShapeDef);
SCENE_AT(_sceneShapeDef, aviCnt, 68);
SCENE_AT(_sceneShapeDef, aviDefP, 72);
SCENE_AT(_sceneShapeDef, dissolveFrameCnt, 76);
SCENE_AT(_sceneShapeDef, dissolveFrameP, 80);
SCENE_AT(_sceneShapeDef, morphFrameCnt, 84);
SCENE_AT(_sceneShapeDef, morphFrameP, 88);
SCENE_AT(_sceneShapeDef, shadowOptions, 92);
SCENE_AT(_sceneShapeDef, parentShapeNum, 96);
SCENE_AT(_sceneShapeDef, defP, 100);
SCENE_AT(_sceneShapeDef, name, 104);

static_assert(sizeof(_sceneAviDef) == 16, "_sceneAviDef");
SCENE_AT(_sceneAviDef, type, 4);
SCENE_AT(_sceneAviDef, startFrame, 6);
SCENE_AT(_sceneAviDef, endFrame, 8);
SCENE_AT(_sceneAviDef, frameUnit, 12);

static_assert(sizeof(_sceneLightDef) == 140, "_sceneLightDef");
SCENE_MOTION_AT(_sceneLightDef);
SCENE_AT(_sceneLightDef, parentShapeNum, 68);
SCENE_AT(_sceneLightDef, colorP, 72);
SCENE_AT(_sceneLightDef, intensityP, 76);
SCENE_AT(_sceneLightDef, type, 80);
SCENE_AT(_sceneLightDef, fallOffType, 84);
SCENE_AT(_sceneLightDef, shadowType, 86);
SCENE_AT(_sceneLightDef, baseColor, 88);
SCENE_AT(_sceneLightDef, color, 104);
SCENE_AT(_sceneLightDef, range, 120);
SCENE_AT(_sceneLightDef, intensity, 124);
SCENE_AT(_sceneLightDef, fallOff, 128);
SCENE_AT(_sceneLightDef, coneAngle, 132);
SCENE_AT(_sceneLightDef, edgeAngle, 136);

static_assert(sizeof(_sceneCameraDef) == 116, "_sceneCameraDef");
SCENE_MOTION_AT(_sceneCameraDef);
SCENE_AT(_sceneCameraDef, parentShapeNum, 68);
SCENE_AT(_sceneCameraDef, zoomFactorP, 72);
SCENE_AT(_sceneCameraDef, lookAt, 76);
SCENE_AT(_sceneCameraDef, eyePos, 88);
SCENE_AT(_sceneCameraDef, fovAngle, 100);
SCENE_AT(_sceneCameraDef, focalDistance, 104);
SCENE_AT(_sceneCameraDef, width, 108);
SCENE_AT(_sceneCameraDef, height, 110);
SCENE_AT(_sceneCameraDef, targetShapeNum, 112);

static_assert(sizeof(_sceneSpriteDef) == 344, "_sceneSpriteDef");
SCENE_MOTION_AT(_sceneSpriteDef);
SCENE_AT(_sceneSpriteDef, patternFrameCnt, 68);
SCENE_AT(_sceneSpriteDef, patternFrameP, 72);
SCENE_AT(_sceneSpriteDef, parentShapeNum, 76);
SCENE_AT(_sceneSpriteDef, defP, 80);
SCENE_AT(_sceneSpriteDef, name, 84);

static_assert(sizeof(_sceneParticleDef) == 336, "_sceneParticleDef");
SCENE_MOTION_AT(_sceneParticleDef);
SCENE_AT(_sceneParticleDef, parentShapeNum, 68);
SCENE_AT(_sceneParticleDef, defP, 72);
SCENE_AT(_sceneParticleDef, name, 76);

static_assert(sizeof(_shapeDef) == 96, "_shapeDef");
SCENE_AT(_shapeDef, abilityDefNum, 4);
SCENE_AT(_shapeDef, abilityDefP, 8);
SCENE_AT(_shapeDef, shadowCastDefP, 12);
SCENE_AT(_shapeDef, effectDefP, 16);
SCENE_AT(_shapeDef, nextNum, 20);
SCENE_AT(_shapeDef, childNum, 24);
SCENE_AT(_shapeDef, minX, 32);
SCENE_AT(_shapeDef, minY, 40);
SCENE_AT(_shapeDef, minZ, 48);
SCENE_AT(_shapeDef, maxX, 56);
SCENE_AT(_shapeDef, maxY, 64);
SCENE_AT(_shapeDef, maxZ, 72);
SCENE_AT(_shapeDef, vertexCnt, 80);
SCENE_AT(_shapeDef, polyCnt, 84);
SCENE_AT(_shapeDef, workP, 88);

static_assert(sizeof(_abilityDef) == 136, "_abilityDef");
SCENE_AT(_abilityDef, material, 4);
SCENE_AT(_abilityDef, texStageNum, 72);
SCENE_AT(_abilityDef, texSetP, 76);
SCENE_AT(_abilityDef, rendStat, 80);
SCENE_AT(_abilityDef, srcBlend, 120);
SCENE_AT(_abilityDef, destBlend, 124);
SCENE_AT(_abilityDef, vertexDefSetNum, 128);
SCENE_AT(_abilityDef, vertexDefSetP, 132);
static_assert(sizeof(_renderState) == 8, "_renderState");

static_assert(sizeof(_primVertexDefSet) == 28, "_primVertexDefSet");
SCENE_AT(_primVertexDefSet, vertexP, 4);
SCENE_AT(_primVertexDefSet, vertexType, 8);
SCENE_AT(_primVertexDefSet, morphVertexP, 12);
SCENE_AT(_primVertexDefSet, morphVertexType, 16);
SCENE_AT(_primVertexDefSet, indexSetNum, 20);
SCENE_AT(_primVertexDefSet, indexSetP, 24);
static_assert(sizeof(_primIndexDefSet) == 12, "_primIndexDefSet");
SCENE_AT(_primIndexDefSet, indexP, 4);
SCENE_AT(_primIndexDefSet, primitiveType, 8);
static_assert(sizeof(_vertexDef) == 40, "_vertexDef");
SCENE_AT(_vertexDef, u1, 32);

static_assert(sizeof(_textureSet) == 640, "_textureSet");
SCENE_AT(_textureSet, alphaFileName, 260);
SCENE_AT(_textureSet, texFlg, 520);
SCENE_AT(_textureSet, color, 524);
SCENE_AT(_textureSet, opacity, 528);
SCENE_AT(_textureSet, pageInfo, 532);
SCENE_AT(_textureSet, info, 572);
SCENE_AT(_textureSet, texUVIndex, 604);
SCENE_AT(_textureSet, texOp, 608);
SCENE_AT(_textureSet, texArg1, 612);
SCENE_AT(_textureSet, texArg2, 616);
SCENE_AT(_textureSet, alphaOp, 620);
SCENE_AT(_textureSet, alphaArg1, 624);
SCENE_AT(_textureSet, alphaArg2, 628);
SCENE_AT(_textureSet, texNum, 632);
SCENE_AT(_textureSet, texPageNum, 636);
static_assert(sizeof(_pageInfo) == 40, "_pageInfo");
SCENE_AT(_pageInfo, axis, 2);
SCENE_AT(_pageInfo, texSize, 4);
SCENE_AT(_pageInfo, texCenter, 16);
SCENE_AT(_pageInfo, wrpw, 28);
SCENE_AT(_pageInfo, wrph, 32);
SCENE_AT(_pageInfo, refNum, 36);
static_assert(sizeof(_texInfo) == 32, "_texInfo");
SCENE_AT(_texInfo, pageNum, 2);
SCENE_AT(_texInfo, rect, 4);
SCENE_AT(_texInfo, speedU, 20);
SCENE_AT(_texInfo, speedV, 22);
SCENE_AT(_texInfo, offsetU, 24);
SCENE_AT(_texInfo, offsetV, 26);
SCENE_AT(_texInfo, scrCnt, 28);

static_assert(sizeof(_spriteDef) == 52, "_spriteDef");
SCENE_AT(_spriteDef, texSetNum, 4);
SCENE_AT(_spriteDef, texSetP, 8);
SCENE_AT(_spriteDef, posX, 12);
SCENE_AT(_spriteDef, posY, 28);
SCENE_AT(_spriteDef, srcBlend, 44);
SCENE_AT(_spriteDef, destBlend, 48);

static_assert(sizeof(_particleDef) == 796, "_particleDef");
SCENE_AT(_particleDef, workNum, 4);
SCENE_AT(_particleDef, texSet, 8);
SCENE_AT(_particleDef, birthRate, 648);
SCENE_AT(_particleDef, size, 652);
SCENE_AT(_particleDef, initSpeedMin, 664);
SCENE_AT(_particleDef, scaleMax, 712);
SCENE_AT(_particleDef, colorStart, 716);
SCENE_AT(_particleDef, colorEnd, 732);
SCENE_AT(_particleDef, lifeMin, 748);
SCENE_AT(_particleDef, lifeMax, 752);
SCENE_AT(_particleDef, gravityAcceleration, 756);
SCENE_AT(_particleDef, gravityOrientation, 760);
SCENE_AT(_particleDef, flickerAngleMin, 772);
SCENE_AT(_particleDef, centripetalForceMin, 780);
SCENE_AT(_particleDef, birthDirForceMin, 788);
SCENE_AT(_particleDef, birthDirForceMax, 792);

static_assert(sizeof(_shadowCastDef) == 20, "_shadowCastDef");
static_assert(sizeof(_sceneSeDef) == 268, "_sceneSeDef");
SCENE_AT(_sceneSeDef, fileName, 4);
SCENE_AT(_sceneSeDef, vol, 264);
static_assert(sizeof(_sceneFrame) == 36, "_sceneFrame");
#undef SCENE_MOTION_AT
#undef SCENE_AT

#endif
