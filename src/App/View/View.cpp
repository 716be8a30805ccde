#include "App/View/View.h"

#include <windows.h>

#include "App/CtrlPanel/CtrlPanel.h"
#include "System/Flow/FLOWMAN.h"
#include "System/Sys/SYSTEM.h"

void viewFlowInit(void)
{
    cpClearScoreAll();
}

// The viewer shows no scene of its own in this program; it keeps the window responsive until
// the run ends or another flow is requested.
void viewFlowExec(void)
{
    while (!(flowMan.status & FLOW_REQUEST)) {
        if (!sSysEventCtrl())
            WaitMessage();
    }
}

void viewFlowExit(void)
{
}
