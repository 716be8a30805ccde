#ifndef KESTREL_APP_BOM_BOMCORE_H
#define KESTREL_APP_BOM_BOMCORE_H

// Explosions without the device: the type and picture tables, the cue tables, the pools of bases
// and sprites and their motion, the cue firing and each sprite's screen quad.

#include <cstdint>

#include "Common/D3DTYPES.h"

enum {
    BOM_BASE_MAX = 20,
    BOM_ONE_MAX = 1200,
    BOM_TYPE_NUM = 13,
    BOM_TEX_TYPE_NUM = 4,
    BOM_TEX_PAT_MAX = 16,
    BOM_SCN_TBL_NUM = 6,
};
enum : uint16_t { BOM_STAT_ACTIVE = 0x1 };
enum : uint16_t { BOM_ONE_STAT_INIT = 0x1, BOM_ONE_STAT_PLAY = 0x2 };

struct _bomReqParam {
    D3DVECTOR trans;
    D3DVECTOR rotate;  // degrees
    float scale;
    float texScale;
    float coef;
};

// One cue: at frame frameCnt an explosion of bomType with the pictures of texType.
struct _bomScnTable {
    int32_t frameCnt;
    int16_t bomType;
    int16_t texType;
    _bomReqParam bomParam;
};
struct _bomScnAll {
    long cnt;
    const _bomScnTable *tblP;
};
extern const _bomScnAll gBomScnAllTbl[BOM_SCN_TBL_NUM];
extern const _bomScnAll gBomScnAllTblL[BOM_SCN_TBL_NUM];

struct _bomParam {
    float _rotate;
    float _rotateMov;
    float _scale;
    float _scaleMov;
    uint16_t _alpha;
    uint16_t _alphaMov;
};

class _bomBaseOne;
typedef void (*_bomReqProc)(_bomBaseOne *aOneP, long aNum, long aCnt, const _bomReqParam *aParamP);
typedef void (*_bomExecProc)(_bomBaseOne *aOneP);

struct _bomTable {
    int16_t bomBaseWorkCnt;
    int16_t bomBaseOneFrameCnt;
    _bomReqProc reqP;
    _bomExecProc execP;
};
extern const _bomTable _bomTbl[BOM_TYPE_NUM];

struct _bomTexTable {
    int16_t texMaxNum;
    int16_t texFrmMax;
    int16_t texSet;  // 0: set A (15 pictures), 1: set B (16)
    const int16_t *patP;  // frames each picture shows
};
extern const _bomTexTable _bomTexTbl[BOM_TEX_TYPE_NUM];
enum { BOM_TEX_A_NUM = 15, BOM_TEX_B_NUM = 16 };
// Picture n of set A or B inside the image package.
void sBomTexName(long aSet, long aNum, char *aNameP, long aSize);

class _bomBaseOne {
public:
    D3DVECTOR _trans, _transMov, _rotate, _rotateMov;
    float _scale, _texScale;
    uint16_t _status;
    int16_t _bomType, _texType, _frameCnt;
    int32_t _callNum;
    int32_t _refCon[4];

    void Run(void);
};

class _bomBase {
public:
    uint16_t _status;
    int16_t _bomType;
    _bomBaseOne *_bomBaseOneP;
    int16_t _bomBaseOneCnt;

    // 1 when the base took the request.
    long Reqest(const _bomReqParam *aParamP, long aBomType, long aTexType);
    void Run(void);
    void Release(void);
};

class _bomOne {
public:
    D3DVECTOR _trans;
    _bomParam _param;
    uint16_t _status;
    int16_t _texType, _texNum, _texFrameCnt, _frameCnt, _reserv;

    // 1 when the sprite started.
    long Reqest(const D3DVECTOR *aTransP, const _bomParam *aParamP, long aTexType);
    void Run(void);
    void Update(void);
};

void __bomBaseReq00(_bomBaseOne *aOneP, long aNum, long aCnt, const _bomReqParam *aParamP);
void __bomBaseReq01(_bomBaseOne *aOneP, long aNum, long aCnt, const _bomReqParam *aParamP);
void __bomBaseOneExec00(_bomBaseOne *aOneP);
void __bomBaseOneExec01(_bomBaseOne *aOneP);

// Module state of the running scene.
extern long _bomEnableFlg;
extern uint8_t *_bomCallStatusP;
extern long _bomCallStatusCnt;
extern _bomBase *_bomBaseWorkP;
extern _bomOne *_bomWorkP;
extern long _bomNowFramePos, _bomOldFramePos;
extern float _bomOffset;

// The pools (every sprite initialised); 1, or 0 when they cannot be had.
long sBomPoolAlloc(void);
void sBomPoolFree(void);
long _callBom(const _bomReqParam *aParamP, long aBomType, long aTexType);
long _callBomTex(const D3DVECTOR *aTransP, const _bomParam *aParamP, long aTexType);
void _bomRun(void);

void BomSceneInit(const _bomScnAll *aScnTblP);
void BomSceneExec(long aFramePos, const _bomScnAll *aScnTblP);
void BomSceneExit(const _bomScnAll *aScnTblP);

// Pre-transformed sprite vertex (XYZRHW | DIFFUSE | TEX1).
struct _bomVertex {
    float x, y, z, rhw;
    uint32_t color;
    float tu, tv;
};
enum { BOM_FVF = 0x144 };
// The sprite's screen-facing quad in triangle-strip order; 0 when it is behind the eye.
long sBomSpriteQuad(const _bomOne *aOneP, const D3DMATRIX *aScreenMatP, float aWidth, float aHeight,
                    float aOffset, _bomVertex *aVertP);

#endif
