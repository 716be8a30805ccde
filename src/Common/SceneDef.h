#ifndef KESTREL_COMMON_SCENEDEF_H
#define KESTREL_COMMON_SCENEDEF_H

// Scene definition records: the tree rooted in _sceneDef that scene packages hold verbatim, that
// the object model builds its shapes, sprites and particles from and the scene runtime reads. In
// a package every pointer field is a 32-bit offset that the package reader turns into an address
// in place, so the in-memory layout must be the package layout: the static_asserts below pin
// every size and field offset.

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
#undef SCENE_MOTION_AT
#undef SCENE_AT

#endif
