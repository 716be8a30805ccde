#ifndef KESTREL_APP_APP_APPFLOW_H
#define KESTREL_APP_APP_APPFLOW_H

// The flow table and the routines every flow shares: messages to the user, and (with the draw
// manager) the screen mode, the number texture and frame-rate display.

#include <windows.h>

#include "App/App/AppCore.h"
#include "System/Flow/FLOWMAN.h"
#include "System/Sys/SYSTEM.h"

// Row 0 is the benchmark and demo flow, row 1 the viewer.
extern const _flowDef flowTbl[];

// Sets the image packages' hook to the draw manager's registry and the image loaders; the program
// does this at start, so that bitmaps load from packages before any device exists (the control
// panel's pictures). Registering images and making surfaces work only while the draw manager is up.
void entryKsfDrawHook(void);

// A flow's frame loop until a change of flow is requested: aFrameP and the messages while the
// program is active, aStopP and a wait for the next message while it is in the background.
void sAppRunFlow(void (*aFrameP)(void), void (*aStopP)(void));

// Switches the render window to a mode of the display table: 1 when it now runs in that mode,
// 0 when the mode cannot be had (the previous one is kept).
long changeScreenMode(long aWidth, long aHeight, long aDepth);
// Registers the digit font of the interface package as the number texture (colour 0 transparent).
void entryNumberTex(void);
// Frame rate, its average and an optional title in the top-left corner.
void drawFps(float aFps, float aFpsAve, const char *aTitleP);

#endif
