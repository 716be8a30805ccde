#ifndef KESTREL_APP_APP_APPFLOWUTIL_H
#define KESTREL_APP_APP_APPFLOWUTIL_H

// The shared routines of every flow that need no platform call: the frame-rate counter and
// file-name splitting.

#include <cstdint>

// Millisecond clock of the frame-rate counter (timeGetTime in the program; tests replace it).
extern uint32_t (*appMilliClockP)(void);

void clearFps(void);
// Counts one frame; refreshes the rate at most once a second and holds it in between.
void calcFps(float *aFps, float *aFpsAve, float *aFpsPeak);

// File-name part of a backslash path; the whole path when that part would be empty.
void splitFileName(char *aName, const char *aPath);

#endif
