#ifndef KESTREL_APP_BENCH2D_BENCH2D_H
#define KESTREL_APP_BENCH2D_BENCH2D_H

// The 2D test: metaballs displacing a picture (scene callbacks).

#include <cstdint>

#include "App/Bench2d/Bench2dCore.h"
#include "App/Scene/SceneCore.h"

struct IDirectDrawSurface7;

// The background picture.
struct _surfRec {
    int16_t posX, posY, movX, movY;
    IDirectDrawSurface7 *surfP;
    _b2dRect rect;
};

struct _ballSurfRec {
    uint8_t *dataP;  // diameter × diameter kernel bytes
};

struct _surfInfo {
    char fileName[64];
    long sysMemFlg;
};
extern const _surfInfo surfInfo;

class _bench2D {
public:
    _bench2D();
    ~_bench2D();
    long Init(void);
    void Run(void);
    void Draw(void);
    long Rest(void);
    void Release(void);
    // Field building and copy together: minimum, maximum, rate and count, each the sum of the two.
    void GetBenchTime(int64_t *aTimeMinP, int64_t *aTimeMaxP, int64_t *aTimeArvP, int64_t *aLoopCntP);
    void GetBenchDrawTime(int64_t *aTimeMinP, int64_t *aTimeMaxP, int64_t *aTimeArvP, int64_t *aLoopCntP);
    uint32_t GetStatus(void) const { return _status; }

private:
    long _loadBmp(const char *aFileNameP, _surfRec *aSurfP, long aSysFlg);
    void _benchBegin(void);
    void _benchEnd(void);
    void _benchDrawBegin(void);
    void _benchDrawEnd(void);
    long _makeMetaBall(long aDiameter, long aCnt);
    void _ballFase00Run(void);
    void _surfFase00Run(void);

    uint32_t _status;
    _metaProc _conMetaP;
    _bltProc _bltSurfP;
    _ballSurfRec *_ballDrawP;
    _ballRec *_ballP;
    _surfRec *_surfP;
    uint8_t *_metaP;
    long _metaWidth, _metaHeight;
    _mathsTime _time;
    _mathsTime _timeDrwa;
};

extern _bench2D _bench2DInfo;

long _createSurface(IDirectDrawSurface7 **aDDSurfPP, long aWidth, long aHeight, long aSysFlg);
long _copyBmpToSurface(void *aBmpH, IDirectDrawSurface7 *aDDSurfP);

// Scene callbacks: (scene, frame number, work area, option words).
void *Bench2DSceneInit(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP);
void *Bench2DSceneExec(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP);
void *Bench2DSceneDraw(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP);
void *Bench2DSceneExit(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP);
void *Bench2DSceneRest(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP);

#endif
