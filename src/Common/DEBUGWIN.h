#ifndef KESTREL_COMMON_DEBUGWIN_H
#define KESTREL_COMMON_DEBUGWIN_H

#include <stdint.h>

// Diagnostic sink: modules report internal failures here. Nothing is shown to the user; the
// texts go to the debugger's output (installed by the platform layer) and, when asked for, to a
// log file.
void sDebugWinPrintMsg(const char *aText);

// Where the texts go besides the log: the Windows build installs OutputDebugStringA.
typedef void (*_debugWinOut)(const char *aText);
void sDebugWinSetOutput(_debugWinOut aOutP);

// Opens (appends to) the log file; 0 on success, -1 when it cannot be opened. A second open
// closes the first log.
int sDebugWinOpenLog(const char *aPathP);
void sDebugWinCloseLog(void);

// Every DirectDraw, Direct3D and DirectSound result passes here. A failure is reported with the
// call, its place and the result's name; the same failure at the same place is reported on its
// 1st, 2nd, 4th, 8th… occurrence so that a call failing every frame cannot flood the log.
// Returns aResult unchanged, so the caller keeps its own recovery.
int32_t sDebugWinCheck(int32_t aResult, const char *aCallP, const char *aFileP, int aLine);

// As sDebugWinCheck, but aAnswer is an answer the caller asks for (IsLost's DDERR_SURFACELOST,
// a probe's DDERR_NOTFOUND, a busy buffer's DDERR_WASSTILLDRAWING), not a failure.
int32_t sDebugWinCheckExpect(int32_t aResult, int32_t aAnswer, const char *aCallP, const char *aFileP, int aLine);

// The name of a DirectDraw, Direct3D, DirectSound or COM result ("DDERR_SURFACELOST"), or null.
const char *sDebugWinResultName(int32_t aResult);

// Number of failures reported since start (all occurrences, reported or not).
uint32_t sDebugWinFailureCount(void);

#define DEBUGWIN_CHECK(aCall) sDebugWinCheck((int32_t)(aCall), #aCall, __FILE__, __LINE__)
#define DEBUGWIN_EXPECT(aCall, aAnswer) \
    sDebugWinCheckExpect((int32_t)(aCall), (int32_t)(aAnswer), #aCall, __FILE__, __LINE__)

#endif
