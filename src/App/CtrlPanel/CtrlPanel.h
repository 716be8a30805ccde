#ifndef KESTREL_APP_CTRLPANEL_CTRLPANEL_H
#define KESTREL_APP_CTRLPANEL_CTRLPANEL_H

// The control panel: the user's system, the options, the start of a demo or a benchmark, and
// the scores of the last run.

#include <windows.h>

#include "App/CtrlPanel/CtrlPanelCore.h"

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

// The demo and benchmark settings: 1 when closed with OK.
long cpOpenCtrlPanelDemo(HWND aOwner);
long cpOpenCtrlPanelBench(HWND aOwner);
// The results: 1 when closed with 1; an open results dialog is only brought forward.
long cpOpenCtrlPanelScore(HWND aOwner);

void cpSetScore(int aStep, float aFpsPeak, float aFpsAve, float aCps, float aFrameTime);
void cpSetOverallScore(void);
void cpClearScoreAll(void);

#endif
