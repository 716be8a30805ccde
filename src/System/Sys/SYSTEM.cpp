#include "System/Sys/SYSTEM.h"

#include "Common/DEBUGWIN.h"

#include <mmsystem.h>
#include <objbase.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "System/Flow/FLOWMAN.h"
#include "resource.h"

_sysWork sysWork;

static const char _szTopName[] = "Top";
char _szProgName[256] = "Kestrel";

_directDrawCreateExProc sysDirectDrawCreateExP;

char msgWork[MSG_WORK_SIZE];

static uint32_t _clockOffset(void)
{
    char text[16];
    const DWORD n = GetEnvironmentVariableA("KESTREL_CLOCK_MS", text, sizeof text);
    return n > 0 && n < sizeof text ? (uint32_t)std::strtoul(text, nullptr, 10) : 0;
}

// Read once, without a guarded local static: its guard would pull the runtime's P6 code in.
// Threads that race here compute the same value.
static uint32_t _clockOffsetMs;
static int _clockReadB;

uint32_t sSysMilliTime(void)
{
    if (!_clockReadB) {
        _clockOffsetMs = _clockOffset();
        _clockReadB = 1;
    }
    return timeGetTime() + _clockOffsetMs;
}

void printMsg(HWND aOwner, const char *aCaption, const char *aFormat, ...)
{
    if (!aFormat || !aFormat[0])
        return;
    va_list args;
    va_start(args, aFormat);
    // Bounded: a text longer than the buffer is cut, never written past it.
    std::vsnprintf(msgWork, sizeof msgWork, aFormat, args);
    va_end(args);
    const WORD lang = sSysJapanese() ? SYS_LANG_JAPANESE : SYS_LANG_ENGLISH;
    MessageBoxExA(aOwner, msgWork, aCaption, MB_ICONEXCLAMATION, lang);
}

// A window with a caption, a system menu and a minimise box: not sizeable, not maximisable.
static const DWORD _windowedStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

// The key messages as they were before WM_UNICHAR joined them (WM_KEYLAST of this SDK is one more).
static const UINT _keyLast = WM_SYSDEADCHAR + 1;

// Start-up messages: English, Japanese.
static const char *const _sysMsgTbl[][2] = {
    {"DirectX 7.0 or later version is required.", "DirectX7.0以上が必要です"},
    {"Hardware Check Failure", "ハードウェアのチェックに失敗しました"},
    {"The program can not be run because of insufficient hardware functions.",
     "ハードウェアの機能が不足しているので、プログラムを実行できません"},
};

void sSysMessage(_sysMsg aMsg)
{
    const int lang = sSysJapanese() ? 1 : 0;
    printMsg(nullptr, lang ? "警告" : "Warning", "%s", _sysMsgTbl[aMsg][lang]);
}

// Keeps DDRAW.DLL loaded for the program's life once a DirectDraw 7 object could be made.
static long _loadLibrary(void)
{
    HMODULE dll = LoadLibraryA("DDRAW.DLL");
    if (!dll)
        return 0;
    auto create = (_directDrawCreateExProc)(void *)GetProcAddress(dll, "DirectDrawCreateEx");
    IDirectDraw7 *dd = nullptr;
    if (!create || FAILED(create(nullptr, (void **)&dd, IID_IDirectDraw7, nullptr)) || !dd) {
        FreeLibrary(dll);
        return 0;
    }
    dd->Release();
    sysWork.dllInstH = dll;
    sysDirectDrawCreateExP = create;
    return 1;
}

static void _freeLibrary(void)
{
    if (sysWork.dllInstH) {
        FreeLibrary(sysWork.dllInstH);
        sysWork.dllInstH = nullptr;
        sysDirectDrawCreateExP = nullptr;
    }
}

bool (*sysProtectP)(void);

static bool _checkProtect(void)
{
    return sysProtectP && sysProtectP();
}

void _moveCenterPos(HWND aWindow)
{
    RECT desktop, window;
    GetWindowRect(GetDesktopWindow(), &desktop);
    GetWindowRect(aWindow, &window);
    const int x = (desktop.right - (window.right - window.left)) / 2;
    const int y = (desktop.bottom - (window.bottom - window.top)) / 2;
    SetWindowPos(aWindow, nullptr, x, y, 0, 0, SWP_SHOWWINDOW | SWP_NOZORDER | SWP_NOSIZE);
}

void sSysSetWinRect(long aWidth, long aHeight)
{
    HWND win = sysWork.rootWinH;
    RECT window, client;
    GetWindowRect(win, &window);
    GetClientRect(win, &client);
    window.right += aWidth - (client.right - client.left);
    window.bottom += aHeight - (client.bottom - client.top);
    MoveWindow(win, window.left, window.top, window.right - window.left, window.bottom - window.top, TRUE);
    SetRect(&sysWork.winRect, 0, 0, aWidth, aHeight);
    POINT p = {0, 0};
    ClientToScreen(win, &p);
    SetRect(&sysWork.clientRect, p.x, p.y, p.x + aWidth, p.y + aHeight);
}

void sSysExit(void)
{
    flowMan.status |= FLOW_REQUEST;
    sysWork.status &= ~SYS_RUN;
}

long sSysEventCtrl(void)
{
    if (!PeekMessageA(&sysWork.eventMsg, nullptr, 0, 0, PM_NOREMOVE))
        return 0;
    if (_checkProtect() && (sysWork.status & SYS_FULLSCREEN)) {
        MSG key;
        if (PeekMessageA(&key, nullptr, WM_KEYFIRST, _keyLast, PM_NOREMOVE)) {
            const unsigned code = key.wParam & 0xFF;
            const bool swallow = (code == VK_ESCAPE && (GetKeyState(VK_CONTROL) & 0x8000)) ||
                                 code == VK_LWIN || code == VK_RWIN ||
                                 (key.message == WM_SYSKEYUP && (code == VK_TAB || code == VK_ESCAPE));
            if (swallow) {
                PeekMessageA(&key, key.hwnd, key.message, key.message, PM_REMOVE);
                return 0;
            }
        }
    }
    if (!PeekMessageA(&sysWork.eventMsg, nullptr, 0, 0, PM_REMOVE))
        return 0;
    TranslateMessage(&sysWork.eventMsg);
    DispatchMessageA(&sysWork.eventMsg);
    return 1;
}

static LRESULT CALLBACK _topWinCallBack(HWND aWin, UINT aMsg, WPARAM aWParam, LPARAM aLParam)
{
    switch (aMsg) {
    case WM_SYSCOMMAND:
        switch (aWParam & 0xFFF0) {
        case SC_KEYMENU:
            return 0;
        case SC_TASKLIST:
            if (sysWork.status & SYS_FULLSCREEN)
                return 0;
            break;
        }
        break;
    case WM_DESTROY:
        sysWork.topWinH = nullptr;
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(aWin, aMsg, aWParam, aLParam);
}

_sysDrawHook sysDrawHook;

// The front surface is lost after another program had the display: bring every surface back.
static void _restoreLostFront(void)
{
    if (sysDrawHook.restoreLostP)
        sysDrawHook.restoreLostP();
}

static LRESULT CALLBACK _rootWinCallBack(HWND aWin, UINT aMsg, WPARAM aWParam, LPARAM aLParam)
{
    const bool fullScreen = (sysWork.status & SYS_FULLSCREEN) != 0;
    switch (aMsg) {
    case WM_CREATE:
        sysWork.status |= SYS_ACTIVE;
        _moveCenterPos(aWin);
        break;
    case WM_ACTIVATEAPP:
        if (aWParam) {
            sysWork.status |= SYS_ACTIVE;
            _restoreLostFront();
        } else {
            sysWork.status &= ~SYS_ACTIVE;
        }
        break;
    case WM_PAINT:
        // While another program has the display, the last frame is shown again.
        if (!(sysWork.status & SYS_ACTIVE) && sysDrawHook.showLastP && sysDrawHook.showLastP(fullScreen) &&
            fullScreen) {
            DrawMenuBar(aWin);
            RedrawWindow(aWin, nullptr, nullptr, RDW_FRAME);
        }
        break;
    case WM_KEYDOWN:
        if (!_checkProtect() && (aWParam == VK_ESCAPE || aWParam == VK_F12)) {
            PostMessageA(aWin, WM_CLOSE, 0, 0);
            return 0;
        }
        break;
    case WM_CLOSE:
        DestroyWindow(aWin);
        return 0;
    case WM_DESTROY:
        sysWork.rootWinH = nullptr;
        sysWork.status &= ~SYS_ACTIVE;
        sSysExit();
        return 0;
    case WM_SYSCOMMAND:
        switch (aWParam & 0xFFF0) {
        case SC_SIZE:
        case SC_MOVE:
        case SC_MAXIMIZE:
            if (fullScreen)
                return 1;
            break;
        case SC_TASKLIST:
            if (fullScreen)
                return 0;
            break;
        case SC_KEYMENU:
            return 0;
        case SC_SCREENSAVE:
        case SC_MONITORPOWER:
            _restoreLostFront();
            return 0;
        }
        break;
    }
    return DefWindowProcA(aWin, aMsg, aWParam, aLParam);
}

static ATOM _registerClass(const char *aName, WNDPROC aProc)
{
    WNDCLASSA wc = {};
    wc.style = 0;
    wc.lpfnWndProc = aProc;
    wc.hInstance = sysWork.instH;
    wc.hIcon = LoadIconA(sysWork.instH, MAKEINTRESOURCEA(IDI_KESTREL));
    wc.hCursor = LoadCursorA(nullptr, (LPCSTR)IDC_ARROW);
    wc.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
    wc.lpszClassName = aName;
    return RegisterClassA(&wc);
}

static long _forceLightCheck(const _sysDDCaps *aDriver)
{
    return sSysForceLightListed("Data\\ForceLightList", aDriver->devInfo.szDescription);
}

// 1 when the machine can run Kestrel; sets SYS_FULLSPEC when it can run the FullSpec content.
static long _checkHardware(void)
{
    const _sysDDCaps *driver = sSysGetCurDDCaps();
    if (!driver || !(driver->deviceOption & (SYS_DEVICE_TNLHAL | SYS_DEVICE_HAL)))
        return 0;
    MEMORYSTATUS mem = {};
    mem.dwLength = sizeof mem;
    GlobalMemoryStatus(&mem);

    uint32_t desktop = 0;
    if (HDC dc = GetDC(GetDesktopWindow())) {
        desktop = (uint32_t)GetDeviceCaps(dc, HORZRES) * (uint32_t)GetDeviceCaps(dc, VERTRES) *
                  (uint32_t)(GetDeviceCaps(dc, BITSPIXEL) / 8);
        ReleaseDC(GetDesktopWindow(), dc);
    }
    const uint32_t video = sSysAddVideoSize(desktop, driver->totalVramSize);
    switch (sSysGradeHardware(video, (uint32_t)mem.dwTotalPhys)) {
    case SYS_GRADE_FULLSPEC:
        if (!_forceLightCheck(driver))
            sysWork.status |= SYS_FULLSPEC;
        return 1;
    case SYS_GRADE_LIGHT:
        return 1;
    default:
        return 0;
    }
}

void sSysOpenRun(void)
{
    uint32_t option;
    if (!(sysWork.status & SYS_DEMO) && sSysGetDisplayOption(640, 480, 16, &option))
        sysWork.caps.displayOption = option;
    _registerClass(_szProgName, _rootWinCallBack);
    int width = 640, height = 480, depth = 16;
    sSysGetDisplaySize(sysWork.caps.displayOption, &width, &height, &depth);
    const DWORD style = (sysWork.status & SYS_FULLSCREEN) ? (WS_POPUP | WS_VISIBLE) : _windowedStyle;
    sysWork.rootWinH = CreateWindowExA(0, _szProgName, _szProgName, style, CW_USEDEFAULT, CW_USEDEFAULT,
                                       width, height, nullptr, nullptr, sysWork.instH, nullptr);
    ShowWindow(sysWork.rootWinH, sysWork.cmdshow);
    UpdateWindow(sysWork.rootWinH);
    sSysSetWinRect(width, height);
    SetActiveWindow(sysWork.rootWinH);
}

// The diagnostic texts go to the debugger; to a file as well when KESTREL_LOG names one.
static void _debugOut(const char *aText)
{
    OutputDebugStringA(aText);
}

void sSysOpenDebugLog(void)
{
    sDebugWinSetOutput(_debugOut);
    char path[MAX_PATH];
    const DWORD n = GetEnvironmentVariableA("KESTREL_LOG", path, sizeof path);
    if (n > 0 && n < sizeof path)
        sDebugWinOpenLog(path);
}

void sSysStart(HINSTANCE aInst, HINSTANCE aPrevInst, int aCmdShow)
{
    sSysOpenDebugLog();
    std::memset(&sysWork, 0, sizeof sysWork);
    sysWork.instH = aInst;
    sysWork.cmdshow = aCmdShow;
    sysWork.status |= SYS_FULLSCREEN;
    sysWork.verInfo.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    GetVersionExA(&sysWork.verInfo);
    sysWork.langID = GetSystemDefaultLangID();
    sysWork.exeState = SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED | ES_DISPLAY_REQUIRED);
    CoInitialize(nullptr);

    if (!aPrevInst) {
        _registerClass(_szTopName, _topWinCallBack);
        sysWork.topWinH = CreateWindowExA(0, _szTopName, _szTopName, _windowedStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                                          640, 480, nullptr, nullptr, aInst, nullptr);
        UpdateWindow(sysWork.topWinH);
    }
}

long sSysCheckMachine(void)
{
    if (!_loadLibrary()) {
        sSysMessage(SYS_MSG_NO_DIRECTX);
        return 0;
    }
    if (!sSysMakeCaps()) {
        sSysMessage(SYS_MSG_CAPS_FAILURE);
        return 0;
    }
    if (!_checkHardware()) {
        sSysMessage(SYS_MSG_INSUFFICIENT);
        return 0;
    }
    std::strcat(_szProgName, (sysWork.status & SYS_FULLSPEC) ? " FullSpec" : " Light");
    return 1;
}

int sSysFinish(void)
{
    sSysReleaseCaps();
    _freeLibrary();
    CoUninitialize();
    SetThreadExecutionState(sysWork.exeState);
    sDebugWinCloseLog();
    return (int)sysWork.eventMsg.wParam;
}
