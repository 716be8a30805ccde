#ifndef KESTREL_SYSTEM_SYS_SYSTEM_H
#define KESTREL_SYSTEM_SYS_SYSTEM_H

// The start-up's services: the global system record, the machine check, the hidden top window
// and the render window, the message pump, messages to the user and the end of a run. The
// program's entry and its run loop are the application's (App/App/AppMain.cpp).

#include <windows.h>

#include "System/Sys/SYSCAPS.h"

enum : uint32_t {
    SYS_RUN = 0x01,        // the frame loop keeps running while set
    SYS_ACTIVE = 0x02,     // frames are computed and drawn only while set
    SYS_READY = 0x04,      // draw manager and flow manager are up
    SYS_FULLSCREEN = 0x08, // exclusive full-screen mode
    SYS_DEMO = 0x10,       // demo mode; clear means benchmark mode
    SYS_FULLSPEC = 0x40,   // FullSpec content; clear means Light content
};

// Language ids of the two languages: Japanese (Japan), else English (United States).
enum {
    SYS_LANG_JAPANESE = MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN),
    SYS_LANG_ENGLISH = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
};

struct _sysWork {
    uint32_t status;
    HINSTANCE instH;
    HMODULE dllInstH;   // DirectDraw library kept loaded for the program's life
    int32_t cmdshow;
    uint32_t prevTask;  // reserved
    HHOOK hookH;        // reserved
    HWND topWinH;       // hidden "Top" window
    HWND rootWinH;      // render window; null while no run is in progress
    RECT winRect;       // source rectangle of a windowed present
    RECT clientRect;    // render window's client area in screen coordinates
    POINT mousePos;
    MSG eventMsg;       // the last message looked at by the pump
    uint16_t langID;
    OSVERSIONINFOA verInfo;
    uint32_t directXVer; // 0, 0x700 or 0x800
    uint32_t exeState;   // previous thread execution state, restored at exit
    _sysCaps caps;
};

extern _sysWork sysWork;
extern char _szProgName[256];

// Sends the diagnostic texts to the debugger, and to the file KESTREL_LOG names (the viewer
// calls it on its own; sSysStart does for Kestrel).
void sSysOpenDebugLog(void);
// Start of the program: zeroes sysWork, keeps the display awake, starts COM and opens the hidden
// top window (unless an earlier instance exists).
void sSysStart(HINSTANCE aInst, HINSTANCE aPrevInst, int aCmdShow);
// 1 when DirectDraw 7 can be made, the capabilities were gathered and the machine can run the
// program (SYS_FULLSPEC set for the FullSpec content, the edition added to the title); else 0
// after telling the user why.
long sSysCheckMachine(void);
// End of the program: gives back what sSysStart and sSysCheckMachine took. The exit code.
int sSysFinish(void);

// Opens the render window of one run in the run's screen size (a benchmark takes the 640 x 480
// x 16 mode when it exists), active.
void sSysOpenRun(void);

// What the render window asks of the device that draws into it; the draw manager sets both when
// it starts, and each does nothing while its device is not up.
struct _sysDrawHook {
    void (*restoreLostP)(void);  // the front surface was lost to another program: bring all back
    // While another program has the display: shows the last frame again (full screen: returns to
    // the desktop's surface); 1 when the device is up.
    long (*showLastP)(bool aFullScreen);
};
extern _sysDrawHook sysDrawHook;

// The start-up's warnings to the user.
enum _sysMsg { SYS_MSG_NO_DIRECTX, SYS_MSG_CAPS_FAILURE, SYS_MSG_INSUFFICIENT };
void sSysMessage(_sysMsg aMsg);

// While it answers true, the render window ignores Escape and F12 and, in a full-screen run, the
// pump swallows the task-switching keys. Null: never.
extern bool (*sysProtectP)(void);

enum { MSG_WORK_SIZE = 1024 };
extern char msgWork[MSG_WORK_SIZE];

// Formatted message box with an exclamation icon, in the system's language; an empty format
// shows nothing.
void printMsg(HWND aOwner, const char *aCaption, const char *aFormat, ...);

// The program's millisecond clock: timeGetTime, moved on by KESTREL_CLOCK_MS milliseconds when a
// test sets it (as if Windows had been up that much longer). It wraps every 49.7 days: readings
// are compared only through their 32-bit unsigned difference, never stored in a float.
uint32_t sSysMilliTime(void);

// Pumps at most one message: 1 when one was dispatched, 0 otherwise.
long sSysEventCtrl(void);
// Ends the current run.
void sSysExit(void);
// Sizes the render window so that its client area is aWidth x aHeight.
void sSysSetWinRect(long aWidth, long aHeight);

// Centres a window (the render window, the panel's dialogs) on the desktop.
void _moveCenterPos(HWND aWindow);

// True while Japanese texts and dialogs are in use.
inline bool sSysJapanese(void) { return sysWork.langID == SYS_LANG_JAPANESE; }

#endif
