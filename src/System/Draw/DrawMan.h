#ifndef KESTREL_SYSTEM_DRAW_DRAWMAN_H
#define KESTREL_SYSTEM_DRAW_DRAWMAN_H

// The draw manager: the DirectDraw object and its surfaces, the Direct3D device and Z-buffer,
// the frame's clear / begin / end / present, recovery from lost surfaces, screen-mode changes,
// debug text, and the shared rendering objects: camera, 32 lights with their spotlight maps,
// font, the 512-entry image registry, the world and view nodes, and the per-scene registries of
// shapes, particle systems and shadow casters. One file a concern: DrawManDevice (device, modes),
// DrawManPresent (frame, present, restore), DrawManCamera, DrawManLight, DrawManText,
// DrawManRegistry, DrawManSpot (light and shadow maps, the spotlight pass), DrawManShadowVol,
// DrawManState (the device's render and stage states: every set goes through it).

#include <windows.h>
#include <ddraw.h>
#include <d3d.h>

#include <algorithm>
#include <cstdint>

#include "Library/Coord/COORDLIB.h"
#include "Common/D3DTYPES.h"
#include "Common/VertexFormat.h"
#include "Library/Draw/DrawCore.h"

enum : uint32_t {
    DRAW_STAT_INIT = 0x1,          // draw manager initialised
    DRAW_STAT_DDRAW = 0x2,         // DirectDraw part ready
    DRAW_STAT_D3D = 0x4,           // Direct3D part ready
    DRAW_STAT_TNLHAL = 0x1000000,  // device types: only ever set
    DRAW_STAT_HAL = 0x2000000,
    DRAW_STAT_RGB = 0x4000000,
    DRAW_STAT_REF = 0x8000000,
    DRAW_STAT_FULLSCREEN = 0x20000000,
    DRAW_STAT_TRIPLE = 0x40000000,
    DRAW_STAT_CLEAR = 0x80000000,  // clearing enabled
};

enum {
    DRAW_LIGHT_MAX = 32,
    DRAW_FILE_MAX = 512,
    DRAW_FILE_NAME = 32,
    DRAW_MAP_SIZE = 512,      // spotlight shadow and light maps
    DRAW_FLIP_MAX = 32000,    // present attempts of one present
    DRAW_FLIP_WAIT_MS = 2000, // and the longest it keeps trying: sleeping attempts add up
    DRAW_TEXT_SIZE = 256,
};

enum { DRAW_SHADOW_SPOTMAP = 2 };

// Shapes and particle systems belong to the object model; the registries only hold them.
class _shape;
class _particle;
struct _particleDef;

class _drawCamera {
public:
    _drawCamera();
    long Update(void);
    void SetViewMatrix(const D3DMATRIX *aMatP) { _viewMatrix = *aMatP; }
    void SetProjMatrix(const D3DMATRIX *aMatP) { _projMatrix = *aMatP; }
    D3DMATRIX GetViewMatrix(void) const { return _viewMatrix; }
    D3DMATRIX GetProjMatrix(void) const { return _projMatrix; }
    float GetNear(void) const { return _nearDist; }
    void SetEyePos(const D3DVECTOR &aPos) { _eyePos = aPos; }
    void SetLookAtPos(const D3DVECTOR &aPos) { _lookAtPos = aPos; }
    void SetUpVec(const D3DVECTOR &aVec) { _upVec = aVec; }
    void SetFovAngle(float aFovAngle) { _fovAngle = aFovAngle; }
    void SetNearFar(float aNear, float aFar) { _nearDist = aNear, _farDist = aFar; }

    uint16_t _status;
    float _nearDist;
    float _farDist;
    float _fovAngle;  // radians
    D3DMATRIX _projMatrix;
    D3DVECTOR _eyePos;
    D3DVECTOR _lookAtPos;
    D3DVECTOR _upVec;
    D3DMATRIX _viewMatrix;
};

class _drawLight {
public:
    _drawLight();
    long SetEnable(long aEnableB);
    long GetEnable(void) const { return _status & 1; }
    void SetShadowType(uint16_t aShadowType) { _shadowType = aShadowType; }
    D3DLIGHT7 *GetLight(void) { return &_light; }
    void SetLight(const D3DLIGHT7 *aLightP) { _light = *aLightP; }
    long Update(void);
    long InitMapTexture(void);
    long FreeMapTexture(void);
    long DrawMapTexture(void);

    uint16_t _status;  // bit 0: enabled
    uint16_t _lightNum;
    D3DLIGHT7 _light;
    uint16_t _shadowType;
    long _shadowTexNum;  // -1 none
    long _lightTexNum;   // -1 none
    D3DMATRIX _viewMatrix;
    D3DMATRIX _projMatrix;

private:
    bool _isSpotMap(void) const;
};

class _drawFont {
public:
    _drawFont();
    ~_drawFont();
    long Update(void);
    HFONT GetFontHandle(void) const { return _fontH; }

    uint16_t _status;
    LOGFONTA _logFont;
    HFONT _fontH;
};

// Registry types of an image.
enum { DRAW_FILE_BITMAP = 1, DRAW_FILE_PIXELS = 2, DRAW_FILE_PIXELS2 = 3 };

class _drawFile {
public:
    _drawFile();
    ~_drawFile();
    long EntryImage(const char *aFileNameP, void *aImageP, uint32_t aWidth, uint32_t aHeight, uint32_t aDepth,
                    uint16_t aType, uint32_t aKey);
    long Delete(void);
    long GetEnable(void) const { return _status & 1; }
    long GetInfo(void **aImageP, uint32_t *aWidthP, uint32_t *aHeightP, uint32_t *aDepthP) const;
    const char *GetName(void) const { return _name; }
    uint32_t GetKey(void) const { return _key; }

    uint16_t _status;  // bit 0: in use
    uint16_t _type;    // DRAW_FILE_BITMAP: a bitmap handle; otherwise a heap block
    uint16_t _fileNum;
    uint32_t _width;
    uint32_t _height;
    uint32_t _depth;
    uint32_t _key;
    char _name[DRAW_FILE_NAME];
    void *_imageP;
};

struct _shapeInfo {
    _shape *shapeP;
};

struct _particleInfo {
    _particle *particleP;
    _particleDef *defP;
    char name[32];
};

// One casting shape of the frame, read by the shadow receivers.
struct _shadowCast {
    D3DMATRIX invMat;  // inverse of the caster's world matrix
    uint32_t type;
    float sizeU;
    float sizeV;
    long texNum;  // -1 none
    uint32_t lightMask;
};

// The shadow volume of one vertex set.
struct _shadowVol {
    IDirect3DVertexBuffer7 *vertBufP;
    uint16_t *indexP;
    uint16_t *sideIndexP;
    uint16_t *capIndexP;
    uint32_t vertCnt;
    uint32_t sideIndexCnt;
    uint32_t capIndexCnt;
    uint32_t id;
};

struct _spotLightInfo {
    D3DMATRIX screenMatrix;
};

// What the light passes need of a shape. The shape module fills it in (sDrawSetShapeOps);
// without it the passes draw nothing.
enum : uint32_t { DRAW_SHAPE_SHADOWMAP = 0x4, DRAW_SHAPE_SPOTLIGHT = 0x8 };
enum : uint16_t { DRAW_SHAPE_NORENDERSTATE = 4, DRAW_SHAPE_NOMATERIAL = 8 };
struct _drawShapeOps {
    uint32_t (*statusP)(_shape *aShapeP);
    const D3DMATRIX *(*worldP)(_shape *aShapeP);
    const D3DVECTOR *(*boxP)(_shape *aShapeP);  // the 8 corners of its bounding box
    long (*drawP)(_shape *aShapeP, uint16_t aDrawFlg, const D3DMATRIX *aMatP);
    long (*spotLightDrawP)(_shape *aShapeP, _spotLightInfo *aInfoP);
};
void sDrawSetShapeOps(const _drawShapeOps *aOpsP);

// The texture manager's pages, in which the spotlight pass keeps its maps; the texture manager
// sets them when it starts. Null: no pages (an entry fails, a page has no surface).
struct _drawPageOps {
    long (*entryP)(IDirectDrawSurface7 *aSufP, uint16_t aDrawFlg);  // a page holding the surface, or -1
    void (*freeP)(long aPageNum);
    IDirectDrawSurface7 *(*surfaceP)(long aPageNum);
};
void sDrawSetPageOps(const _drawPageOps *aOpsP);

// The device's render and texture-stage states as last set through the draw manager, so that a
// set that changes nothing is not sent. Every state is unknown (sent on its next set) after the
// device opens and after its surfaces are restored.
enum { DRAW_RS_MAX = 256, DRAW_STAGE_MAX = 8, DRAW_TSS_MAX = 32, DRAW_SCOPE_MAX = 96 };
struct _drawStateScope;
struct _drawStateCache {
    uint32_t rs[DRAW_RS_MAX];
    uint32_t tss[DRAW_STAGE_MAX][DRAW_TSS_MAX];
    uint8_t rsKnown[DRAW_RS_MAX];
    uint8_t tssKnown[DRAW_STAGE_MAX][DRAW_TSS_MAX];
    uint32_t sentCnt;  // sets that reached the device
    uint32_t skipCnt;  // sets skipped as already in force
    uint32_t lostCnt;  // changes a full scope could not give back
    uint32_t redundantCnt;  // sent sets that repeated the value last sent since the device opened
    _drawStateScope *scopeP;  // the innermost open scope, or null
    // The value last sent of each state, kept across forgetting (sDrawInvalidateStates).
    uint8_t rsSent[DRAW_RS_MAX];
    uint8_t tssSent[DRAW_STAGE_MAX][DRAW_TSS_MAX];
};

// The draw manager's copy of what is bound on the device besides states: the texture of each
// stage, the world, view and projection transforms, the material and the viewport. A set that
// would change nothing is skipped; forgetting (sDrawInvalidateStates) makes the next set of each
// go to the device again.
enum { DRAW_BIND_TEXTURE, DRAW_BIND_TRANSFORM, DRAW_BIND_MATERIAL, DRAW_BIND_VIEWPORT, DRAW_BIND_SCENE, DRAW_BIND_KINDS };
enum { DRAW_TRANSFORM_MAX = 4 };  // world 1, view 2, projection 3
struct _drawBindCache {
    IDirectDrawSurface7 *tex[DRAW_STAGE_MAX];
    D3DMATRIX transform[DRAW_TRANSFORM_MAX];
    D3DMATERIAL7 material;
    D3DVIEWPORT7 viewport;
    uint8_t texKnown[DRAW_STAGE_MAX];
    uint8_t transformKnown[DRAW_TRANSFORM_MAX];
    uint8_t materialKnown;
    uint8_t viewportKnown;
    uint8_t sceneOpen;  // between a begin and its end
    // The same per kind as the state copy's counts; a scene's begin or end asked for twice is a skip.
    uint32_t sentCnt[DRAW_BIND_KINDS];
    uint32_t skipCnt[DRAW_BIND_KINDS];
    uint32_t redundantCnt[DRAW_BIND_KINDS];
    // The values stay across forgetting: these say they are the device's since it opened (what
    // counts a sent set as redundant).
    uint8_t texSent[DRAW_STAGE_MAX];
    uint8_t transformSent[DRAW_TRANSFORM_MAX];
    uint8_t materialSent;
    uint8_t viewportSent;
};

// The device work of the frames being recorded, counted where the calls are made while countOn
// is set (the frame-time record samples it after each present; off, the counting is one test).
struct _drawCount {
    uint32_t drawCalls;
    uint32_t primitives;
    uint32_t texChanges;   // SetTexture calls
    uint32_t locks;        // surface and vertex-buffer locks
    uint32_t readBacks;    // locks that ask for the contents (not write-only)
    uint32_t uploadBytes;  // vertices and indices handed over by pointer, and bytes written by locks
};

struct _drawMan {
    uint32_t status;
    long flipErr;  // most present attempts one present needed
    long screenWidth;
    long screenHeight;
    long screenDepth;
    GUID *drvGuidP;  // null: primary display driver
    GUID *devGuidP;
    IDirectDraw7 *ddrawP;
    IDirectDrawSurface7 *frontP;
    IDirectDrawSurface7 *backP;   // render target
    IDirectDrawSurface7 *thirdP;
    IDirectDrawClipper *clipP;
    IDirectDrawPalette *palP;
    PALETTEENTRY palEntry[256];
    IDirect3D7 *d3dP;
    IDirect3DDevice7 *d3dDevP;
    IDirectDrawSurface7 *zBufP;
    D3DMATRIX projMatrix;
    D3DVECTOR viewVec;
    D3DVECTOR viewPos;
    float vanishX;  // projection centre: half the screen
    float vanishY;
    float projection;
    float ground;
    uint32_t backCol;  // 0x00RRGGBB
    D3DMATRIX curMatrix;
    _coord worldRec;
    _coord viewRec;
    _coord *viewP;
    _coord *entryP;
    void (*texCallBackP)(void);         // after surfaces were restored or recreated
    const char *(*textCallBackP)(void); // the flows' title hook; not called here
    uint16_t shadowCastMax;
    uint16_t shadowCastCnt;
    _shadowCast *shadowCastP;
    uint16_t shapeInfoMax;
    _shapeInfo *shapeInfoP;
    uint16_t particleInfoMax;
    _particleInfo *particleInfoP;
    long numberTexNum;
    _drawCamera *cameraP;
    _drawLight *lightP[DRAW_LIGHT_MAX];
    _drawFont *fontP;
    _drawFile *fileP[DRAW_FILE_MAX];
    _drawStateCache state;
    _drawBindCache bind;
    uint32_t countOn;
    _drawCount count;
};

extern _drawMan drawMan;

// 0, or -1 with nothing left open. aFullFlg 1: full screen; aBuffFlg 1: triple buffering.
long sDrawManInit(long aWidth, long aHeight, long aDepth, GUID *aDrvGuidP, GUID *aDevGuidP, long aFullFlg,
                  long aBuffFlg);
void sDrawManExit(void);
void sDrawClear(void);
int sDrawBeginScene(void);
void sDrawEndScene(void);
void sDrawFlipBuffer(void);
// Presents by the plain blit also with triple buffering (while a loading bar is drawn).
void sDrawFlipBufferDirect(void);
void sDrawRestoreSurface(void);
// 0, or -1 with the previous mode rebuilt.
long sDrawChangeScreenMode(long aWidth, long aHeight, long aDepth, long aFullFlg);
void sDrawSetBackColor(long aR, long aG, long aB);
// printf-style text in red onto the back buffer.
void sDrawShowText(long aPosX, long aPosY, const char *aFormatP, ...);
// Debug hooks: they take the text and show nothing.
void sPrintMsgFile(const char *aFormatP, ...);
void _dwError(const char *aFormatP);

void sDrawInitShapeInfo(uint16_t aShapeNum);
void sDrawFreeShapeInfo(void);
void sDrawEntryShapeInfo(uint16_t aShapeNum, _shape *aShapeP);
_shapeInfo *sDrawGetShapeInfo(uint16_t aShapeNum);
void sDrawInitParticleInfo(uint16_t aParticleNum);
void sDrawFreeParticleInfo(void);
void sDrawEntryParticleInfo(uint16_t aParticleNum, _particle *aParticleP, _particleDef *aDefP, const char *aName);
_particleInfo *sDrawGetParticleInfo(uint16_t aParticleNum);
void sDrawInitShadowCast(uint16_t aLightNum, uint16_t aShapeNum);
void sDrawFreeShadowCast(void);
void sDrawStartShadowCastFrame(void);
void sDrawEntryShadowCast(_coord *aShapeCoordP, float aSizeU, float aSizeV, long aTexNum);

// ---------------------------------------------------------------- render and stage states

// One state of a table: a render state (stage DRAW_RENDER) or a texture-stage state.
enum : uint16_t { DRAW_RENDER = 0xFFFF };
struct _drawStateRow {
    uint16_t stage;  // DRAW_RENDER, or the texture stage
    uint16_t type;   // D3DRENDERSTATETYPE or D3DTEXTURESTAGESTATETYPE
    uint32_t value;
};

// Named blend setups (alpha-blend enable, source, destination; _blendingMode names where they
// have one). DRAW_BLEND_OFF turns blending off and leaves the factors as they are.
enum {
    DRAW_BLEND_OFF,
    DRAW_BLEND_TRANSPARENCY,  // source alpha, inverse source alpha
    DRAW_BLEND_ADDITIVE,      // one, one
    DRAW_BLEND_ALPHAADD,      // source alpha, one
    DRAW_BLEND_SUBTRACTIVE,   // inverse source alpha, source alpha
    DRAW_BLEND_MULTIPLY,      // source alpha, destination alpha
    DRAW_BLEND_ADDSMOOTH,     // one, inverse source alpha
    DRAW_BLEND_SUBSMOOTH,     // one, source alpha
    DRAW_BLEND_SHADE,         // zero, source alpha: darkens by the source's alpha
    DRAW_BLEND_COLORKEEP,     // source colour, inverse source colour
    DRAW_BLEND_PRESETS,
};

// Named texture-stage setups: colour and alpha operations with their arguments.
enum {
    DRAW_STAGE_OFF,             // colour and alpha disabled
    DRAW_STAGE_COLOROFF,        // colour disabled (alpha left as it is)
    DRAW_STAGE_MODULATE,        // colour and alpha texture × diffuse
    DRAW_STAGE_MODULATE_CUR,    // colour texture × current, alpha current (× current)
    DRAW_STAGE_TEXCOLOR_DIFFALPHA,  // colour texture × diffuse, alpha diffuse
    DRAW_STAGE_PRESETS,
};

// Sets a render state unless it is already in force.
void sDrawSetState(D3DRENDERSTATETYPE aType, DWORD aValue);
// Sets a texture-stage state unless it is already in force.
void sDrawSetStageState(DWORD aStage, D3DTEXTURESTAGESTATETYPE aType, DWORD aValue);
// The state in force: the one last set, else read from the device (and kept).
DWORD sDrawGetState(D3DRENDERSTATETYPE aType);
DWORD sDrawGetStageState(DWORD aStage, D3DTEXTURESTAGESTATETYPE aType);
// Every row of a table, in order.
void sDrawSetStates(const _drawStateRow *aRowP, long aCnt);
void sDrawSetBlend(long aPreset);
// Blending on with these factors.
void sDrawSetBlendFactors(DWORD aSrcBlend, DWORD aDestBlend);
void sDrawSetStage(DWORD aStage, long aPreset);

// The states changed while a scope is open are given back, in reverse order, when it closes: a
// draw opens one and leaves the device's states as it found them. Scopes nest.
struct _drawStateScope {
    _drawStateScope *outerP;
    long cnt;
    _drawStateRow saved[DRAW_SCOPE_MAX];  // the value each state had before its first change
};
void sDrawOpenStates(_drawStateScope *aScopeP);
void sDrawCloseStates(_drawStateScope *aScopeP);
// Forgets every state: the next set of each is sent.
void sDrawInvalidateStates(void);
// A new device: nothing has been sent to it (what counts a set as redundant).
void sDrawForgetSentStates(void);

// Texture of a stage, transform, material and viewport, each sent unless already in force; a
// texture sent counts as a texture change. The getters give the copy, else read the device (and
// keep what they read).
void sDrawSetTexture(DWORD aStage, IDirectDrawSurface7 *aSufP);
void sDrawSetTransform(D3DTRANSFORMSTATETYPE aType, const D3DMATRIX *aMatP);
void sDrawGetTransform(D3DTRANSFORMSTATETYPE aType, D3DMATRIX *aMatP);
void sDrawSetMaterial(const D3DMATERIAL7 *aMtrlP);
void sDrawSetViewport(const D3DVIEWPORT7 *aVpP);
void sDrawGetViewport(D3DVIEWPORT7 *aVpP);
// The device resets its viewport with a new render target: the next set is sent.
void sDrawForgetViewport(void);
// Forgets the copy of what is bound (the next set of each is sent); aSentB, a new device, also
// what was last sent and any open scene.
void _drawForgetBinds(bool aSentB);

// ---------------------------------------------------------------- device-work counts

void _drawCountDraw(D3DPRIMITIVETYPE aType, DWORD aCnt, DWORD aBytes);
void _drawCountLock(DWORD aFlags, DWORD aBytes);
// A draw of aCnt vertices (or indices) of aType, with aBytes handed over by pointer.
inline void sDrawCountDraw(D3DPRIMITIVETYPE aType, DWORD aCnt, DWORD aBytes)
{
    if (drawMan.countOn)
        _drawCountDraw(aType, aCnt, aBytes);
}
// A draw by pointer: aVertCnt vertices of aFvf and aIndexCnt 16-bit indices (0: not indexed).
inline void sDrawCountDrawUp(D3DPRIMITIVETYPE aType, DWORD aFvf, DWORD aVertCnt, DWORD aIndexCnt)
{
    if (drawMan.countOn)
        _drawCountDraw(aType, aIndexCnt ? aIndexCnt : aVertCnt, aVertCnt * (DWORD)std::max(0L, sFvfGetSize(aFvf)) + aIndexCnt * 2);
}
inline void sDrawCountTexture(void)
{
    if (drawMan.countOn)
        drawMan.count.texChanges++;
}
// A lock with its DDLOCK flags; aBytes, the size locked, counts as uploaded unless read-only.
inline void sDrawCountLock(DWORD aFlags, DWORD aBytes)
{
    if (drawMan.countOn)
        _drawCountLock(aFlags, aBytes);
}

// Slot of the registered image with the base name of aFileNameP (compared in lower case), or -1.
long sDrawFileCheckList(const char *aFileNameP);

_shadowVol *_primShadowCreateVol(uint32_t aVertNum);
void _primShadowFreeVol(_shadowVol **aVolPP);

#endif
