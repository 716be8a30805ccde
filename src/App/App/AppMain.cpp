// The program's entry: the start-up services of the system layer around the control panel and
// the runs of the flow table that it starts.

#include <windows.h>

#include "App/App/Appflow.h"
#include "App/App/AppCore.h"
#include "App/Bench/BENCH.h"
#include "App/CtrlPanel/CtrlPanel.h"
#include "App/View/View.h"
#include "Library/Maths/MathsLib.h"
#include "Library/Matrix/MATLIB.h"
#include "Library/Vec/VECLIB.h"
#include "System/Draw/DrawMan.h"
#include "System/Flow/FLOWMAN.h"
#include "System/Sys/SYSTEM.h"

// Protect mode keeps the task-switching keys away from the system during a full-screen run.
static bool _checkProtect(void)
{
    const _cpEnv &env = cpWork.env[0];
    const uint32_t option = (sysWork.status & SYS_DEMO) ? env.demoOption : env.benchOption;
    return (option & CP_OPTION_PROTECT) != 0;
}

// The maths variants of the chosen processor, the draw manager on the render window in the run's
// mode, the flow table. -1 after telling the user, with the window asked to close.
static long _runInit(void)
{
    int width = 640, height = 480, depth = 16;
    sMatrixSetFuncPtr(sysWork.caps.cpuOption);
    sVecSetFuncPtr(sysWork.caps.cpuOption);
    sMathsSetFuncPtr(sysWork.caps.cpuOption);
    sSysGetDisplaySize(sysWork.caps.displayOption, &width, &height, &depth);
    _sysDDCaps *driver = sSysGetCurDDCaps();
    _sysD3DCaps *device = sSysGetCurD3DCaps();
    if (!driver || !device ||
        sDrawManInit(width, height, depth, driver->guidP, &device->guid, (sysWork.status & SYS_FULLSCREEN) ? 1 : 0,
                     (sysWork.status & SYS_DEMO) ? 1 : 0) == -1) {
        sSysMessage(SYS_MSG_INSUFFICIENT);
        PostMessageA(sysWork.rootWinH, WM_CLOSE, 0, 0);
        return -1;
    }
    sFlowManInit(flowTbl);
    if (sysWork.status & SYS_FULLSCREEN)
        ShowCursor(FALSE);
    sysWork.status |= SYS_READY;
    return 0;
}

static void _runExit(void)
{
    if (!(sysWork.status & SYS_READY))
        return;
    sFlowManExit();
    sDrawManExit();
    if (sysWork.status & SYS_FULLSCREEN)
        ShowCursor(TRUE);
    sysWork.status &= ~SYS_READY;
}

// The control panel and the runs it starts, until the user leaves it.
static void _runLoop(void)
{
    while (cpOpenCtrlPanel(nullptr)) {
        sSysOpenRun();
        if (_runInit() == -1)
            continue;
        benchClass.Init();
        viewClass.Init();
        sysWork.status |= SYS_RUN;
        while (sysWork.status & SYS_RUN)
            sFlowCtrl();
        viewClass.Exit();
        benchClass.Exit();
        _runExit();
    }
}

int WINAPI WinMain(HINSTANCE aInst, HINSTANCE aPrevInst, LPSTR aCmdLine, int aCmdShow)
{
    (void)aCmdLine;
    sSysStart(aInst, aPrevInst, aCmdShow);
    sysProtectP = _checkProtect;
    appMilliClockP = sSysMilliTime;
    // The panel reads its pictures from the interface package before any device exists.
    entryKsfDrawHook();

    bool fullSpec = false;
    if (sSysCheckMachine()) {
        fullSpec = (sysWork.status & SYS_FULLSPEC) != 0;
        if (fullSpec)
            benchLoadSceneAll();
        cpInitWork();
        _runLoop();
    }

    cpFreeWork();
    if (fullSpec)
        benchFreeSceneAll();
    return sSysFinish();
}
