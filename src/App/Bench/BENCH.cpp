#include "App/Bench/BENCH.h"

#include <windows.h>

#include "System/Flow/FLOWMAN.h"
#include "System/Sys/SYSTEM.h"

int gLoopCnt;

void benchFlowInit(void)
{
}

// Keeps the render window alive and responsive until the run is ended (Escape, F12, closing).
void benchFlowExec(void)
{
    while (!(flowMan.status & FLOW_REQUEST)) {
        if (!sSysEventCtrl())
            WaitMessage();
    }
}

void benchFlowExit(void)
{
}
