#ifndef KESTREL_SYSTEM_SYS_SYSTEM_H
#define KESTREL_SYSTEM_SYS_SYSTEM_H

// The program's spine: the global system record, the hidden top window and the render window,
// the message pump and the end of a run.

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
