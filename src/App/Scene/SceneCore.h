#ifndef KESTREL_APP_SCENE_SCENECORE_H
#define KESTREL_APP_SCENE_SCENECORE_H

// The scene runtime's records and arithmetic over the stored scene records (Common/SceneDef.h):
// key expansion, the frame clock, per-frame tracks, lights, fog, camera, loading screen and movies.

#include <cstddef>
#include <cstdint>

#include "Common/SceneDef.h"

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

// Moves the clock to aNow (ms): clears the advanced bit, starts a pending scene, adds the time
// elapsed since prevTime (a signed 32-bit difference: across the timer's wrap it counts forward,
// a reading behind prevTime adds nothing) and steps whole frames (late frames are skipped), wraps or clamps the frame, remembers
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

static_assert(sizeof(_sceneFrame) == 36, "_sceneFrame");

#endif
