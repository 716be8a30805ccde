#ifndef KESTREL_APP_APP_APPFLOW_H
#define KESTREL_APP_APP_APPFLOW_H

// The flow table and the routines every flow shares: messages to the user, and (with the draw
// manager) the screen mode, loading screen and frame-rate display.

#include <windows.h>

#include "App/App/AppflowUtil.h"
#include "System/Flow/FLOWMAN.h"

// Row 0 is the benchmark and demo flow, row 1 the viewer.
extern const _flowDef flowTbl[];

enum { MSG_WORK_SIZE = 1024 };
extern char msgWork[MSG_WORK_SIZE];

// Formatted message box with an exclamation icon, in the system's language; an empty format
// shows nothing.
void printMsg(HWND aOwner, const char *aCaption, const char *aFormat, ...);

#endif
