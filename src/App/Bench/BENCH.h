#ifndef KESTREL_APP_BENCH_BENCH_H
#define KESTREL_APP_BENCH_BENCH_H

// The benchmark and demo flow (flow 0): the rows of the current scene table played one after
// another, timed and scored in benchmark mode.

#include <windows.h>
#include <ddraw.h>

#include <cstdint>

#include "App/Bench/BENCHTBL.h"
#include "App/Scene/Scene.h"
#include "Common/D3DTYPES.h"

class Bench {
public:
    long Init(void);
    long Exit(void);
    long Ready(void);
    // 0, or E_FAIL when the scene could not be loaded.
    long Load(void);
    long Frame(void);
    long Render(void);
    long Stop(void);
    long Change(void);
    void SetStep(uint16_t aStep) { _step = aStep; }
    uint16_t GetStep(void) const { return _step; }
    Scene *GetScene(void) { return _sceneP; }

    uint16_t _status;  // 0x02 processor logos, 0x04 web-address logo (demo)
    uint16_t _step;    // BENCH_STEP_FAIL after a failed screen-mode change
    uint32_t _milliSeconds;
    D3DMATRIX _rootMat, _saveMat;
    uint16_t _defStatus;
    float _fps;
    float _fpsPeak;
    float _fpsAve;
    Scene *_sceneP;
    _shapeDef *_saveShapeDefP;
    int32_t _saveShapeNum;
    char _beforeBgmName[SCENE_NAME_SIZE];
    IDirectDrawSurface7 *_athlonSufP, *_duronSufP, *_urlSufP;

private:
    void _challengeWait(uint32_t aLoadStart);
    void _drawLogos(void);
    void _frameRecordStart(void);
    void _frameRecordPresent(int64_t aPresentTicks);
    void _frameRecordEnd(int aKeepB);
};

extern Bench benchClass;
extern uint64_t gLoopCnt;        // loops since the scene's timing was last reset
extern int64_t gSceneFrameCnt;   // scene frames computed

enum { BENCH_STATUS_CPULOGO = 0x02, BENCH_STATUS_URLLOGO = 0x04 };

void benchFlowInit(void);
void benchFlowExec(void);
void benchFlowExit(void);

// Error sink of the run: the text goes to the diagnostic sink; nothing is shown.
void sPrintError(HWND aWin, const char *aCaptionP, const char *aFormatP, ...);

#endif
