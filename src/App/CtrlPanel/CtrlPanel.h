#ifndef KESTREL_APP_CTRLPANEL_CTRLPANEL_H
#define KESTREL_APP_CTRLPANEL_CTRLPANEL_H

// The control panel: the user's system, the options, the start of a demo or a benchmark, and
// the scores of the last run.

#include <windows.h>

#include <cstdint>

enum : uint32_t {
    CP_MAIN_AUTODEMO = 0x1,
    CP_MAIN_SCREEN = 0x2,

    CP_CPU_MMX = 0x1,
    CP_CPU_SSE = 0x2,
    CP_CPU_SSE2 = 0x4,
    CP_CPU_3DNOW = 0x8,
    CP_CPU_E3DNOW = 0x10,

    // Demo and benchmark options.
    CP_OPTION_LOOP = 0x1,
    CP_OPTION_BGM = 0x2,
    CP_OPTION_PROTECT = 0x4,
    CP_OPTION_CHALLENGE = 0x8, // benchmark only
    CP_OPTION_FRAMETIME = 0x10, // benchmark only: write the frame-time record
};

enum { CP_TEST_NUM = 10 };

struct _cpEnv {
    uint32_t mainOption;
    uint32_t cpuOption;
    uint32_t demoOption;
    uint32_t benchOption;
    uint32_t benchTestOption; // bit n: benchmark row n runs
    uint32_t renderingOption;
    uint32_t deviceOption;
    uint32_t displayOption;
    char objFilePath[260];
};

struct _cpScore {
    int useB;
    double fpsPeak;
    double fpsAve;
    double cps;
    double frameTime;
    int32_t score;
    int32_t polyCnt; // reserved
    int32_t texSize; // reserved
};

struct _cpWork {
    _cpEnv env[2]; // options in force; the copy taken for the results file
    int scoreUseB;
    _cpScore score[CP_TEST_NUM];
    _cpScore overallScore;
    int32_t lastStep;
    HWND mainDlgH, demoDlgH, benchDlgH, scoreDlgH;
    HWND resultDlgH, resultTagDlgH; // reserved
    int32_t selCpuItem, selRenderingItem, selDeviceItem, selDisplayItem; // reserved
    int32_t freeMem, totalMem; // KB
    uint32_t idleTime;         // last activity for Auto Demo; 0 = off
    UINT_PTR timerID;
    HFONT boldFontH;
    HBITMAP barBitmapH;
    int monPowerB;
};

extern _cpWork cpWork;

void cpInitWork(void);
void cpFreeWork(void);
// The main dialog: 1 = run (a Direct3D device matched the options), 0 = leave the program.
long cpOpenCtrlPanel(HWND aOwner);

void cpSetScore(int aStep, float aFpsPeak, float aFpsAve, float aCps, float aFrameTime);
void cpSetOverallScore(void);
void cpClearScoreAll(void);

#endif
