#include "App/CtrlPanel/CtrlPanel.h"

#include <commdlg.h>
#include <mmsystem.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "App/App/Appflow.h"
#include "App/Bench/BENCH.h"
#include "App/View/ViewLW.h"
#include "System/Env/Env.h"
#include "System/Sys/SYSFOLDER.h"
#include "System/Sys/SYSTEM.h"
#include "resource.h"

_cpWork cpWork;

enum {
    CP_TIMER_ID = 1,
    CP_IDLE_LIMIT = 180000, // Auto Demo starts after three idle minutes
    WM_CP_SHOWSCORE = WM_USER + 1,
    CP_COLOR_REF = 1,  // bar colours: columns of the bar picture
    CP_COLOR_NONE = 2,
    CP_COLOR_USER = 3,
};

static const char _ksfName[] = "Data\\Ksf\\09.ksf";
static uint32_t _idleLimit = CP_IDLE_LIMIT;
static HBITMAP _pictureH[3]; // bitmap resources of the main dialog

static int _dialogId(int aEnglish, int aJapanese)
{
    return sSysJapanese() ? aJapanese : aEnglish;
}

static const char *_warningCaption(void)
{
    return sSysJapanese() ? "警告" : "Warning";
}

static HFONT _createFont(int aSize, int aWeight, const char *aFace)
{
    static const struct { int size, height; } heightTbl[] = {
        {8, -11}, {9, -12}, {10, -13}, {12, -16}, {14, -19}, {16, -21},
        {18, -24}, {20, -27}, {22, -29}, {24, -32},
    };
    int height = -19;
    for (const auto &row : heightTbl)
        if (row.size == aSize)
            height = row.height;
    LOGFONTA font = {};
    font.lfHeight = height;
    font.lfWeight = aWeight;
    font.lfCharSet = ANSI_CHARSET;
    font.lfOutPrecision = OUT_STROKE_PRECIS;
    font.lfClipPrecision = CLIP_STROKE_PRECIS;
    font.lfQuality = DRAFT_QUALITY;
    font.lfPitchAndFamily = VARIABLE_PITCH | FF_ROMAN;
    std::strncpy(font.lfFaceName, aFace, LF_FACESIZE - 1);
    return CreateFontIndirectA(&font);
}

void cpInitWork(void)
{
    std::memset(&cpWork, 0, sizeof cpWork);
    _cpEnv &env = cpWork.env[0];
    env.mainOption = CP_MAIN_SCREEN;
    env.cpuOption = 0xFFFFFFFF;
    env.demoOption = CP_OPTION_LOOP | CP_OPTION_BGM;
    env.benchOption = 0;
    env.benchTestOption = 0xFFFFFFFF;
    if (!(sysWork.status & SYS_FULLSPEC))
        env.benchTestOption &= ~0x2Au; // the three High tests need the FullSpec content
    env.renderingOption = 0xFFFFFFFF;
    env.deviceOption = SYS_DEVICE_TNLHAL;
    env.displayOption = 0x2;
    cpWork.scoreUseB = 0;
    cpWork.lastStep = -1;
    cpWork.idleTime = 0;
    cpWork.boldFontH = _createFont(8, 700, "Verdana");
    uint32_t w, h, d;
    cpWork.barBitmapH = (HBITMAP)loadKsfFile(_ksfName, "Data\\Com\\Bar.bmp", &w, &h, &d);

    // Tests wait seconds, not minutes, for Auto Demo.
    char limit[16];
    if (GetEnvironmentVariableA("KESTREL_AUTODEMO_MS", limit, sizeof limit) > 0 && std::atoi(limit) > 0)
        _idleLimit = (uint32_t)std::atoi(limit);
}

void cpFreeWork(void)
{
    if (cpWork.boldFontH)
        DeleteObject(cpWork.boldFontH);
    if (cpWork.barBitmapH)
        DeleteObject(cpWork.barBitmapH);
    cpWork.boldFontH = nullptr;
    cpWork.barBitmapH = nullptr;
    for (HBITMAP &picture : _pictureH) {
        if (picture)
            DeleteObject(picture);
        picture = nullptr;
    }
}

void cpClearScoreAll(void)
{
    std::memset(cpWork.score, 0, sizeof cpWork.score);
    std::memset(&cpWork.overallScore, 0, sizeof cpWork.overallScore);
    cpWork.scoreUseB = 0;
    cpWork.lastStep = -1;
    gLoopCnt = 0;
}

void cpSetScore(int aStep, float aFpsPeak, float aFpsAve, float aCps, float aFrameTime)
{
    if (!cpStoreScore(cpWork.score, aStep, aFpsPeak, aFpsAve, aCps, aFrameTime))
        return;
    cpWork.scoreUseB = 1;
    cpWork.lastStep = aStep;
}

void cpSetOverallScore(void)
{
    cpMakeOverallScore(cpWork.score, &cpWork.overallScore);
}

// ---- System texts

static std::string _makeCpuStr(void)
{
    return sysWork.caps.cpuInfo.cpuName;
}

static std::string _makeClockStr(void)
{
    return cpMakeClockStr(sysWork.caps.cpuClock);
}

static std::string _makeDisplayStr(void)
{
    const _sysDDCaps *driver = sSysGetCurDDCaps();
    char text[64];
    std::snprintf(text, sizeof text, "%.63s", driver ? driver->devInfo.szDescription : "");
    return text;
}

static int32_t _freeVram(void)
{
    const _sysDDCaps *driver = sSysGetCurDDCaps();
    return driver ? (int32_t)(driver->freeVramSize / 1024) : 0;
}

// Shows aText in aFirst, or broken over aFirst and aSecond when it is longer than a line.
// Returns the control that comes next.
static int _setSplitText(HWND aDlg, const std::string &aText, int aFirst, int aSecond, int aAfterSplit)
{
    char first[CP_LINE_MAX + 1];
    const char *rest = nullptr;
    cpSplitLine(aText.c_str(), first, &rest);
    SetDlgItemTextA(aDlg, aFirst, first);
    if (!rest)
        return aSecond;
    SetDlgItemTextA(aDlg, aSecond, rest);
    return aAfterSplit;
}

static void _mainDlgMakeSystem(HWND aDlg)
{
    char text[64];
    // No measured clock leaves the line empty rather than repeating the processor name.
    const int clockItem = _setSplitText(aDlg, _makeCpuStr(), IDC_CP_SYS_CPU1, IDC_CP_SYS_CPU2, IDC_CP_SYS_CPU3);
    SetDlgItemTextA(aDlg, clockItem, _makeClockStr().c_str());
    std::snprintf(text, sizeof text, "Free Memory  : %d KB", (int)cpWork.freeMem);
    SetDlgItemTextA(aDlg, IDC_CP_SYS_FREEMEM, text);
    std::snprintf(text, sizeof text, "Total Memory : %d KB", (int)cpWork.totalMem);
    SetDlgItemTextA(aDlg, IDC_CP_SYS_TOTALMEM, text);
    const int vramItem =
        _setSplitText(aDlg, _makeDisplayStr(), IDC_CP_SYS_DISP1, IDC_CP_SYS_DISP2, IDC_CP_SYS_DISP3);
    std::snprintf(text, sizeof text, "Free VRAM : %d KB", (int)_freeVram());
    SetDlgItemTextA(aDlg, vramItem, text);
}

// ---- Drawing

// A bar from the bar picture: colour n is the 8 x 32 column at x = 8n. aColorB -1 draws one bar
// over the full height; with both colours, B is a 2-pixel reference line under A.
static void _drawBar(HDC aDC, int aW, int aH, int aColorA, int aColorB, double aRateA, double aRateB, int aUseB)
{
    if (!cpWork.barBitmapH)
        return;
    HDC src = CreateCompatibleDC(aDC);
    HGDIOBJ old = SelectObject(src, cpWork.barBitmapH);
    SetStretchBltMode(aDC, COLORONCOLOR);
    auto column = [&](int aColor, int aX, int aY, int aWidth, int aHeight) {
        if (aWidth > 0 && aHeight > 0)
            StretchBlt(aDC, aX, aY, aWidth, aHeight, src, 8 * aColor, 0, 8, 32, SRCCOPY);
    };
    if (aUseB) {
        const double rateA = std::min(1.0, std::max(0.005, aRateA));
        const double rateB = std::min(1.0, std::max(0.005, aRateB));
        if (aColorA != -1 && aColorB != -1) {
            column(aColorA, 0, 0, (int)((aW - 3) * rateA), aH - 5);
            column(aColorB, 0, aH - 5, (int)((aW - 3) * rateB), 2);
        } else {
            if (aColorA != -1)
                column(aColorA, 0, 0, (int)((aW - 3) * rateA), aH - 3);
            if (aColorB != -1)
                column(aColorB, 0, 0, (int)((aW - 3) * rateB), aH - 3);
        }
    } else {
        column(CP_COLOR_NONE, 0, 0, aW - 3, aH - 3);
    }
    SelectObject(src, old);
    DeleteDC(src);
}

static void _drawScore(HDC aDC, RECT aRect, HWND aItem)
{
    char text[32];
    GetWindowTextA(aItem, text, sizeof text);
    HGDIOBJ old = SelectObject(aDC, cpWork.boldFontH);
    SetBkMode(aDC, TRANSPARENT);
    SetTextColor(aDC, GetSysColor(COLOR_BTNTEXT));
    DrawTextA(aDC, text, -1, &aRect, DT_RIGHT | DT_SINGLELINE | DT_VCENTER);
    SelectObject(aDC, old);
}

// One picture of the image package stretched over the control, aKey transparent.
static void _drawLogo(HDC aDC, RECT aRect, const char *aKsfP, const char *aImageP, COLORREF aKey)
{
    uint32_t w = 0, h = 0, d = 0;
    HBITMAP bmp = (HBITMAP)loadKsfFile(aKsfP, aImageP, &w, &h, &d);
    if (!bmp)
        return;
    HDC src = CreateCompatibleDC(aDC);
    HGDIOBJ old = SelectObject(src, bmp);
    TransparentBlt(aDC, aRect.left, aRect.top, aRect.right - aRect.left, aRect.bottom - aRect.top, src, 0, 0, (int)w,
                   (int)h, aKey);
    SelectObject(src, old);
    DeleteDC(src);
    DeleteObject(bmp);
}

static void _clearItem(const DRAWITEMSTRUCT *aDraw)
{
    FillRect(aDraw->hDC, &aDraw->rcItem, GetSysColorBrush(COLOR_BTNFACE));
}

// ---- Main dialog

// The idle clock's reading; 0 means Auto Demo is off, so the one millisecond in 49.7 days that
// reads 0 is taken as 1.
static uint32_t _idleNow(void)
{
    return sSysMilliTime() | 1u;
}

static void CALLBACK _checkIdleCallBack(HWND aDlg, UINT aMsg, UINT_PTR aId, DWORD aTime)
{
    (void)aMsg, (void)aId, (void)aTime;
    if (cpWork.idleTime == 0)
        return;
    const uint32_t now = _idleNow();
    if (GetActiveWindow() != cpWork.mainDlgH || cpWork.demoDlgH || cpWork.benchDlgH || cpWork.scoreDlgH) {
        cpWork.idleTime = now;
        return;
    }
    if (now - cpWork.idleTime > _idleLimit) {
        // Once per visit: the timer no longer checks.
        KillTimer(aDlg, cpWork.timerID);
        cpWork.timerID = SetTimer(aDlg, CP_TIMER_ID, 1000, nullptr);
        cpWork.idleTime = 0;
        PostMessageA(aDlg, WM_COMMAND, IDC_CP_RUNDEMO, 0);
    }
}

static void _setCheck(HWND aDlg, int aItem, bool aOn)
{
    CheckDlgButton(aDlg, aItem, aOn ? BST_CHECKED : BST_UNCHECKED);
}

static bool _getCheck(HWND aDlg, int aItem)
{
    return IsDlgButtonChecked(aDlg, aItem) == BST_CHECKED;
}

// Sets or clears aBit of *aWordP as the box aItem is checked.
static void _readCheck(HWND aDlg, int aItem, uint32_t *aWordP, uint32_t aBit)
{
    if (_getCheck(aDlg, aItem))
        *aWordP |= aBit;
    else
        *aWordP &= ~aBit;
}

// Closes a sub-dialog and forgets its handle.
static void _endDialog(HWND aDlg, HWND *aDlgHP, INT_PTR aResult)
{
    *aDlgHP = nullptr;
    EndDialog(aDlg, aResult);
}

static INT_PTR _dialogBox(HWND aOwner, int aEnglish, int aJapanese, DLGPROC aProc)
{
    return DialogBoxParamA(sysWork.instH, MAKEINTRESOURCEA(_dialogId(aEnglish, aJapanese)), aOwner, aProc, 0);
}

static void _mainDlgInit(HWND aDlg)
{
    _cpEnv &env = cpWork.env[0];
    cpWork.mainDlgH = aDlg;
    SetWindowTextA(aDlg, "Kestrel");
    cpWork.timerID = SetTimer(aDlg, CP_TIMER_ID, 1000, _checkIdleCallBack);
    cpWork.monPowerB = 0;
    _setCheck(aDlg, IDC_CP_AUTODEMO, env.mainOption & CP_MAIN_AUTODEMO);
    cpWork.idleTime = (env.mainOption & CP_MAIN_AUTODEMO) ? _idleNow() : 0;
    _setCheck(aDlg, IDC_CP_SCREEN, env.mainOption & CP_MAIN_SCREEN);
    ShowWindow(GetDlgItem(aDlg, IDC_CP_SCREEN), SW_HIDE);

    // Processor boxes: only what the processor supports can be ticked.
    const uint32_t has = sysWork.caps.cpuInfo.exFanc;
    if (!(has & ENV_EX_SSE2))
        env.cpuOption &= ~CP_CPU_SSE2;
    if (has & ENV_EX_SSE2)
        SetDlgItemTextA(aDlg, IDC_CP_SSE, "SSE2");
    if (has & ENV_EX_E3DNOW)
        SetDlgItemTextA(aDlg, IDC_CP_3DNOW, "Enhanced 3DNow!");
    static const struct { int item; uint32_t need; uint32_t option; } cpuTbl[] = {
        {IDC_CP_MMX, ENV_EX_MMX, CP_CPU_MMX},
        {IDC_CP_SSE, ENV_EX_SSE, CP_CPU_SSE | CP_CPU_SSE2},
        {IDC_CP_3DNOW, ENV_EX_3DNOW, CP_CPU_3DNOW},
        {IDC_CP_E3DNOW, ENV_EX_E3DNOW, CP_CPU_E3DNOW},
    };
    for (const auto &row : cpuTbl) {
        const bool supported = (has & row.need) != 0;
        EnableWindow(GetDlgItem(aDlg, row.item), supported);
        _setCheck(aDlg, row.item, supported && (env.cpuOption & row.option));
    }

    static const int pictureTbl[3][2] = {
        {IDC_CP_PIC1, IDB_CP_BANNER}, {IDC_CP_PIC2, IDB_CP_EMBLEM1}, {IDC_CP_PIC3, IDB_CP_EMBLEM2}};
    for (int i = 0; i < 3; ++i) {
        if (!_pictureH[i])
            _pictureH[i] = LoadBitmapA(sysWork.instH, MAKEINTRESOURCEA(pictureTbl[i][1]));
        SendDlgItemMessageA(aDlg, pictureTbl[i][0], STM_SETIMAGE, IMAGE_BITMAP, (LPARAM)_pictureH[i]);
    }

    uint32_t total = 0, free = 0;
    sSysGetSystemMemory(0, &total, &free);
    cpWork.totalMem = (int32_t)total;
    cpWork.freeMem = (int32_t)free;
    _mainDlgMakeSystem(aDlg);
    _moveCenterPos(aDlg);
    if (cpWork.scoreUseB)
        PostMessageA(aDlg, WM_CP_SHOWSCORE, 0, 0);

    char title[256];
    GetWindowTextA(aDlg, title, sizeof title - 16);
    std::strcat(title, (sysWork.status & SYS_FULLSPEC) ? " FullSpec" : " Light");
    SetWindowTextA(aDlg, title);
    if (!(sysWork.status & SYS_FULLSPEC)) {
        GetDlgItemTextA(aDlg, IDC_CP_RUNDEMO, title, sizeof title - 16);
        std::strcat(title, " (Light)");
        SetDlgItemTextA(aDlg, IDC_CP_RUNDEMO, title);
    }
    PostMessageA(aDlg, WM_SETICON, ICON_BIG, (LPARAM)LoadIconA(sysWork.instH, MAKEINTRESOURCEA(IDI_KESTREL)));
}

static void _closeScoreDlg(void)
{
    if (cpWork.scoreDlgH) {
        EndDialog(cpWork.scoreDlgH, 2);
        cpWork.scoreDlgH = nullptr;
    }
}

static void _mainDlgClose(HWND aDlg, INT_PTR aResult)
{
    _closeScoreDlg();
    cpWork.mainDlgH = nullptr;
    KillTimer(aDlg, cpWork.timerID);
    EndDialog(aDlg, aResult);
}

// Reads the options of the main dialog and starts the run.
static void _mainDlgRun(HWND aDlg)
{
    _cpEnv &env = cpWork.env[0];
    // SSE2 has no box of its own: it keeps its start value.
    const struct { int item; uint32_t *word; uint32_t bit; } boxTbl[] = {
        {IDC_CP_AUTODEMO, &env.mainOption, CP_MAIN_AUTODEMO},
        {IDC_CP_SCREEN, &env.mainOption, CP_MAIN_SCREEN},
        {IDC_CP_MMX, &env.cpuOption, CP_CPU_MMX},
        {IDC_CP_SSE, &env.cpuOption, CP_CPU_SSE},
        {IDC_CP_3DNOW, &env.cpuOption, CP_CPU_3DNOW},
        {IDC_CP_E3DNOW, &env.cpuOption, CP_CPU_E3DNOW},
    };
    for (const auto &box : boxTbl)
        _readCheck(aDlg, box.item, box.word, box.bit);
    if (env.mainOption & CP_MAIN_SCREEN)
        sysWork.status |= SYS_FULLSCREEN;
    else
        sysWork.status &= ~SYS_FULLSCREEN;
    if (const _sysDDCaps *driver = sSysGetCurDDCaps())
        cpCheckOption(&env, driver->deviceOption, driver->displayOption);
    _mainDlgClose(aDlg, 1);
}

static INT_PTR CALLBACK _mainDlgCallback(HWND aDlg, UINT aMsg, WPARAM aWParam, LPARAM aLParam)
{
    if (aMsg != WM_INITDIALOG && cpWork.mainDlgH && _getCheck(aDlg, IDC_CP_AUTODEMO))
        cpWork.idleTime = _idleNow();
    switch (aMsg) {
    case WM_INITDIALOG:
        _mainDlgInit(aDlg);
        return TRUE;
    case WM_CLOSE:
        _mainDlgClose(aDlg, 2);
        return TRUE;
    case WM_SYSCOMMAND:
        if ((aWParam & 0xFFF0) == SC_MONITORPOWER)
            cpWork.monPowerB = 1;
        return FALSE;
    case WM_DRAWITEM: {
        const auto *draw = (const DRAWITEMSTRUCT *)aLParam;
        if (draw->CtlID != IDC_CP_LOGO)
            return FALSE;
        _clearItem(draw);
        _drawLogo(draw->hDC, draw->rcItem, _ksfName, "Right.bmp", 0x0000FF);
        return TRUE;
    }
    case WM_CP_SHOWSCORE:
        // The results of the run just ended; the file reports the options it ran with.
        cpWork.env[1] = cpWork.env[0];
        cpSetOverallScore();
        cpOpenCtrlPanelScore(GetParent(aDlg));
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(aWParam)) {
        case IDC_CP_AUTODEMO:
            cpWork.idleTime = _getCheck(aDlg, IDC_CP_AUTODEMO) ? _idleNow() : 0;
            return TRUE;
        case IDC_CP_HELP:
            WinExec(sSysJapanese() ? "rundll32.exe url.dll,FileProtocolHandler Html\\help_j.html"
                                   : "rundll32.exe url.dll,FileProtocolHandler Html\\help.html",
                    SW_SHOWNORMAL);
            return TRUE;
        case IDC_CP_EXIT:
            _mainDlgClose(aDlg, 2);
            return TRUE;
        case IDC_CP_DEMOSET:
            cpOpenCtrlPanelDemo(aDlg);
            return TRUE;
        case IDC_CP_BENCHSET:
            cpOpenCtrlPanelBench(aDlg);
            return TRUE;
        case IDC_CP_RESULTS:
            cpOpenCtrlPanelScore(GetParent(aDlg));
            return TRUE;
        case IDC_CP_RUNDEMO:
            sysWork.status |= SYS_DEMO;
            _mainDlgRun(aDlg);
            return TRUE;
        case IDC_CP_RUNBENCH:
            sysWork.status &= ~SYS_DEMO;
            _mainDlgRun(aDlg);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

long cpOpenCtrlPanel(HWND aOwner)
{
    if (_dialogBox(aOwner, IDD_MAIN_E, IDD_MAIN_J, _mainDlgCallback) != 1)
        return 0;
    _sysCaps &caps = sysWork.caps;
    const _cpEnv &env = cpWork.env[0];
    caps.cpuOption = env.cpuOption;
    caps.renderingOption = env.renderingOption;
    caps.deviceOption = env.deviceOption;
    caps.displayOption = env.displayOption;
    if (!(sysWork.status & SYS_DEMO))
        caps.deviceOption = SYS_DEVICE_HAL; // every benchmark measures the same device type

    caps.curD3dNum = -1;
    GUID guid;
    const _sysDDCaps *driver = sSysGetCurDDCaps();
    if (!driver || !sSysGetD3dDeviceGuid(caps.deviceOption, &guid))
        return 0;
    for (uint32_t i = 0; i < driver->d3dCapsCnt; ++i) {
        if (IsEqualGUID(driver->d3dCaps[i]->guid, guid)) {
            caps.curD3dNum = (int32_t)i;
            break;
        }
    }
    if (caps.curD3dNum < 0)
        return 0;
    cpClearScoreAll();
    return 1;
}

// ---- Demo Setting

static void _demoDlgMakeMenu(HWND aDlg)
{
    const _sysDDCaps *driver = sSysGetCurDDCaps();
    const uint32_t devices = driver ? driver->deviceOption : 0;
    const uint32_t displays = driver ? driver->displayOption : 0;
    const _cpEnv &env = cpWork.env[0];
    const struct { int item; uint32_t offered, current; int count; const char *const *names; } listTbl[] = {
        {IDC_DEMO_DEVICE, devices & (SYS_DEVICE_TNLHAL | SYS_DEVICE_HAL), env.deviceOption, 2, cpDeviceOptionName},
        {IDC_DEMO_DISPLAY, displays, env.displayOption, CP_DISPLAY_NUM, cpDisplayOptionName},
    };
    for (const auto &list : listTbl) {
        HWND box = GetDlgItem(aDlg, list.item);
        int selected = 0;
        for (int bit = 0; bit < list.count; ++bit) {
            if (!(list.offered & (1u << bit)))
                continue;
            const int index = (int)SendMessageA(box, CB_ADDSTRING, 0, (LPARAM)list.names[bit]);
            SendMessageA(box, CB_SETITEMDATA, index, (LPARAM)(1u << bit));
            if ((1u << bit) == list.current)
                selected = index;
        }
        SendMessageA(box, CB_SETCURSEL, selected, 0);
    }
}

// The option of the selected list entry, or aKeep when the list is empty.
static uint32_t _selectedOption(HWND aDlg, int aItem, uint32_t aKeep)
{
    const LRESULT index = SendDlgItemMessageA(aDlg, aItem, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR)
        return aKeep;
    return (uint32_t)SendDlgItemMessageA(aDlg, aItem, CB_GETITEMDATA, index, 0);
}

static const struct { int item; uint32_t bit; } _demoBoxTbl[] = {
    {IDC_DEMO_LOOP, CP_OPTION_LOOP}, {IDC_DEMO_BGM, CP_OPTION_BGM}, {IDC_DEMO_PROTECT, CP_OPTION_PROTECT}};

static INT_PTR CALLBACK _demoDlgCallback(HWND aDlg, UINT aMsg, WPARAM aWParam, LPARAM aLParam)
{
    (void)aLParam;
    _cpEnv &env = cpWork.env[0];
    switch (aMsg) {
    case WM_INITDIALOG:
        cpWork.demoDlgH = aDlg;
        for (const auto &box : _demoBoxTbl)
            _setCheck(aDlg, box.item, env.demoOption & box.bit);
        _demoDlgMakeMenu(aDlg);
        _moveCenterPos(aDlg);
        return TRUE;
    case WM_CLOSE:
        _endDialog(aDlg, &cpWork.demoDlgH, 2);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(aWParam)) {
        case IDOK:
            for (const auto &box : _demoBoxTbl)
                _readCheck(aDlg, box.item, &env.demoOption, box.bit);
            env.deviceOption = _selectedOption(aDlg, IDC_DEMO_DEVICE, env.deviceOption);
            env.displayOption = _selectedOption(aDlg, IDC_DEMO_DISPLAY, env.displayOption);
            _endDialog(aDlg, &cpWork.demoDlgH, 1);
            return TRUE;
        case IDCANCEL:
            _endDialog(aDlg, &cpWork.demoDlgH, 2);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

long cpOpenCtrlPanelDemo(HWND aOwner)
{
    return _dialogBox(aOwner, IDD_DEMO_E, IDD_DEMO_J, _demoDlgCallback) == 1;
}

// ---- Benchmark Setting

static const struct { int item; uint32_t bit; } _benchBoxTbl[] = {
    {IDC_BENCH_LOOP, CP_OPTION_LOOP},
    {IDC_BENCH_BGM, CP_OPTION_BGM},
    {IDC_BENCH_PROTECT, CP_OPTION_PROTECT},
    {IDC_BENCH_CHALLENGE, CP_OPTION_CHALLENGE},
    {IDC_BENCH_FRAMETIME, CP_OPTION_FRAMETIME},
};

static void _enableObjFile(HWND aDlg)
{
    const bool on = _getCheck(aDlg, IDC_BENCH_TEST9);
    EnableWindow(GetDlgItem(aDlg, IDC_BENCH_OBJOPEN), on);
    EnableWindow(GetDlgItem(aDlg, IDC_BENCH_OBJPATH), on);
}

// The file dialogs move the current folder to the chosen file's; the program finds its Data
// folder relative to it, so the folder is put back.
static BOOL _fileDialog(OPENFILENAMEA *aOfnP, bool aSave)
{
    char folder[MAX_PATH];
    const DWORD kept = GetCurrentDirectoryA(sizeof folder, folder);
    aOfnP->Flags |= OFN_NOCHANGEDIR;
    const BOOL chosen = aSave ? GetSaveFileNameA(aOfnP) : GetOpenFileNameA(aOfnP);
    if (kept > 0 && kept < sizeof folder)
        SetCurrentDirectoryA(folder);
    return chosen;
}

static void _openObjFile(HWND aDlg)
{
    char path[260] = "";
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = aDlg;
    ofn.lpstrFilter = "LightWave object files (*.lwo)\0*.lwo\0";
    ofn.lpstrFile = path;
    ofn.nMaxFile = sizeof path;
    ofn.lpstrTitle = "Open Object File";
    ofn.lpstrDefExt = "lwo";
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    if (!_fileDialog(&ofn, false))
        return;
    if (viewCheckLwo(path) != 1) {
        // The previous choice stays.
        printMsg(aDlg, _warningCaption(), sSysJapanese() ? "%sの読み込みに失敗" : "%s Read Failure", path);
        return;
    }
    std::snprintf(cpWork.env[0].objFilePath, sizeof cpWork.env[0].objFilePath, "%s", path);
    SetDlgItemTextA(aDlg, IDC_BENCH_OBJPATH, path);
}

static void _benchDlgInit(HWND aDlg)
{
    const _cpEnv &env = cpWork.env[0];
    cpWork.benchDlgH = aDlg;
    for (const auto &box : _benchBoxTbl)
        _setCheck(aDlg, box.item, env.benchOption & box.bit);
    for (int i = 0; i < CP_TEST_NUM; ++i)
        _setCheck(aDlg, IDC_BENCH_TEST0 + i, env.benchTestOption & (1u << i));
    if (env.objFilePath[0])
        SetDlgItemTextA(aDlg, IDC_BENCH_OBJPATH, env.objFilePath);
    if (!(sysWork.status & SYS_FULLSPEC)) {
        for (int row : {1, 3, 5}) {
            _setCheck(aDlg, IDC_BENCH_TEST0 + row, false);
            EnableWindow(GetDlgItem(aDlg, IDC_BENCH_TEST0 + row), FALSE);
        }
    }
    _enableObjFile(aDlg);
    _moveCenterPos(aDlg);
}

static bool _benchDlgOk(HWND aDlg)
{
    _cpEnv &env = cpWork.env[0];
    bool any = false;
    for (int i = 0; i < CP_TEST_NUM; ++i)
        any = any || _getCheck(aDlg, IDC_BENCH_TEST0 + i);
    if (!any) {
        printMsg(aDlg, _warningCaption(),
                 sSysJapanese() ? "ベンチマークが一つも選択されていません" : "No Benchmark test is selected.");
        return false;
    }
    for (const auto &box : _benchBoxTbl)
        _readCheck(aDlg, box.item, &env.benchOption, box.bit);
    // Bits above the ten tests keep their values: the closing row stays enabled.
    for (int i = 0; i < CP_TEST_NUM; ++i)
        _readCheck(aDlg, IDC_BENCH_TEST0 + i, &env.benchTestOption, 1u << i);
    return true;
}

static INT_PTR CALLBACK _benchDlgCallback(HWND aDlg, UINT aMsg, WPARAM aWParam, LPARAM aLParam)
{
    (void)aLParam;
    switch (aMsg) {
    case WM_INITDIALOG:
        _benchDlgInit(aDlg);
        return TRUE;
    case WM_CLOSE:
        _endDialog(aDlg, &cpWork.benchDlgH, 2);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(aWParam)) {
        case IDC_BENCH_BGM:
            if (_getCheck(aDlg, IDC_BENCH_BGM))
                printMsg(aDlg, _warningCaption(),
                         sSysJapanese() ? "この機能をオンにすると、正確な測定ができない場合があります"
                                        : "If this function is enabled, test results may not be accurate.");
            return TRUE;
        case IDC_BENCH_TEST9:
            _enableObjFile(aDlg);
            return TRUE;
        case IDC_BENCH_OBJOPEN:
            _openObjFile(aDlg);
            return TRUE;
        case IDOK:
            if (_benchDlgOk(aDlg))
                _endDialog(aDlg, &cpWork.benchDlgH, 1);
            return TRUE;
        case IDCANCEL:
            _endDialog(aDlg, &cpWork.benchDlgH, 2);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

long cpOpenCtrlPanelBench(HWND aOwner)
{
    return _dialogBox(aOwner, IDD_BENCH_E, IDD_BENCH_J, _benchDlgCallback) == 1;
}

// ---- Results

// Windows 98 and ME export MoveFileExA only as a stub that fails; there the earlier file is
// deleted first, once the new one is complete.
static bool _replaceFile(const char *aFromP, const char *aToP)
{
    if (MoveFileExA(aFromP, aToP, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    if (GetLastError() != ERROR_CALL_NOT_IMPLEMENTED)
        return false;
    if (GetFileAttributesA(aToP) != INVALID_FILE_ATTRIBUTES && !DeleteFileA(aToP))
        return false;
    return MoveFileA(aFromP, aToP) != 0;
}

// Writes the results text to a new file beside aPathP and only then puts it in aPathP's place,
// so a failed write never leaves a partial file where an earlier one was.
static int _saveFile(const char *aPathP)
{
    const _cpEnv &env = cpWork.env[1];
    const std::string cpu = _makeCpuStr(), clock = _makeClockStr(), adapter = _makeDisplayStr();
    _cpResultInfo info = {};
    info.cpuNameP = cpu.c_str();
    info.clockP = clock.c_str();
    info.adapterP = adapter.c_str();
    info.freeMem = cpWork.freeMem;
    info.totalMem = cpWork.totalMem;
    info.freeVram = _freeVram();
    info.directXVer = sysWork.directXVer;
    info.cpuSupport = sysWork.caps.cpuInfo.exFanc;
    info.envP = &env;
    info.scoresP = cpWork.score;
    info.overallP = &cpWork.overallScore;
    const std::string text = cpMakeResultsText(info);

    char folder[MAX_PATH], temp[MAX_PATH];
    char *name = nullptr;
    if (!GetFullPathNameA(aPathP, sizeof folder, folder, &name) || !name)
        return 0;
    *name = '\0';
    if (!GetTempFileNameA(folder, "kst", 0, temp))
        return 0;
    FILE *fp = std::fopen(temp, "wt");
    bool written = false;
    if (fp) {
        written = std::fwrite(text.data(), 1, text.size(), fp) == text.size();
        written = (std::fclose(fp) == 0) && written;
    }
    if (!written || !_replaceFile(temp, aPathP)) {
        DeleteFileA(temp);
        return 0;
    }
    return 1;
}

static void _saveResults(HWND aDlg)
{
    if (!cpWork.scoreUseB)
        return;
    char path[256] = "Kestrel.txt", title[256] = "", folder[MAX_PATH] = "";
    // The dialog opens where the program may write: its own folder, or the user's.
    sSysWriteFolder(nullptr, folder, sizeof folder);
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = aDlg;
    ofn.lpstrFilter = "Save Results File(*.txt)\0*.txt\0";
    ofn.lpstrFile = path;
    ofn.nMaxFile = sizeof path;
    ofn.lpstrFileTitle = title;
    ofn.nMaxFileTitle = sizeof title;
    ofn.lpstrTitle = "Save Results File";
    ofn.lpstrInitialDir = folder[0] ? folder : nullptr;
    ofn.lpstrDefExt = "txt";
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY;
    // A save that fails says so and offers the dialog again, for another name or folder; the
    // results dialog stays open either way.
    while (_fileDialog(&ofn, true) && !_saveFile(path))
        printMsg(aDlg, _warningCaption(),
                 sSysJapanese() ? "%sの書き込みに失敗しました。\n同じ名前の以前のファイルはそのまま残っています。"
                                : "%s Write Failure\n\nThe results file could not be saved there. An earlier file "
                                  "of that name is kept as it was.",
                 path);
}

static void _scoreDlgInit(HWND aDlg)
{
    cpWork.scoreDlgH = aDlg;
    // The bar picture may have become readable since start-up.
    if (!cpWork.barBitmapH) {
        uint32_t w, h, d;
        cpWork.barBitmapH = (HBITMAP)loadKsfFile(_ksfName, "Data\\Com\\Bar.bmp", &w, &h, &d);
    }
    char text[256];
    std::snprintf(text, sizeof text, "%s <%s>\r%s", _makeCpuStr().c_str(), _makeClockStr().c_str(),
                  _makeDisplayStr().c_str());
    SetDlgItemTextA(aDlg, IDC_SCORE_USER, text);
    SetDlgItemTextA(aDlg, IDC_SCORE_REF, cpRefSystemText);
    SetDlgItemTextA(aDlg, IDC_SCORE_GROUP, "Kestrel Score");
    SetDlgItemTextA(aDlg, IDC_SCORE_OVERALL_GROUP, "Overall Score");
    // The score texts are the controls' own texts, drawn in the bold font.
    for (int i = 0; i <= CP_TEST_NUM; ++i) {
        const _cpScore &s = i < CP_TEST_NUM ? cpWork.score[i] : cpWork.overallScore;
        const int item = i < CP_TEST_NUM ? IDC_SCORE_TEXT0 + i : IDC_SCORE_OVERALL_TEXT;
        std::snprintf(text, sizeof text, "%d", (int)s.score);
        SetDlgItemTextA(aDlg, item, s.useB ? text : "n/a");
    }
    _moveCenterPos(aDlg);
}

static void _scoreDlgDraw(const DRAWITEMSTRUCT *aDraw)
{
    const int id = (int)aDraw->CtlID;
    const int w = aDraw->rcItem.right - aDraw->rcItem.left, h = aDraw->rcItem.bottom - aDraw->rcItem.top;
    _clearItem(aDraw);
    if (id == IDC_SCORE_LEGEND_USER) {
        _drawBar(aDraw->hDC, w, h, CP_COLOR_USER, -1, 1.0, 0, 1);
    } else if (id == IDC_SCORE_LEGEND_REF) {
        _drawBar(aDraw->hDC, w, h, CP_COLOR_REF, -1, 1.0, 0, 1);
    } else if ((id >= IDC_SCORE_BAR0 && id < IDC_SCORE_BAR0 + CP_TEST_NUM) || id == IDC_SCORE_OVERALL_BAR) {
        const int row = id == IDC_SCORE_OVERALL_BAR ? CP_TEST_NUM : id - IDC_SCORE_BAR0;
        const _cpScore &s = row < CP_TEST_NUM ? cpWork.score[row] : cpWork.overallScore;
        // The reference system fills a fifth of the bar.
        _drawBar(aDraw->hDC, w, h, CP_COLOR_USER, CP_COLOR_REF, s.score * cpRefScoreRate[row] * 0.2, 0.2, s.useB);
    } else {
        _drawScore(aDraw->hDC, aDraw->rcItem, aDraw->hwndItem);
    }
}

static INT_PTR CALLBACK _scoreDlgCallback(HWND aDlg, UINT aMsg, WPARAM aWParam, LPARAM aLParam)
{
    switch (aMsg) {
    case WM_INITDIALOG:
        _scoreDlgInit(aDlg);
        return TRUE;
    case WM_DRAWITEM:
        _scoreDlgDraw((const DRAWITEMSTRUCT *)aLParam);
        return TRUE;
    case WM_ERASEBKGND:
        if (cpWork.monPowerB) {
            // The monitor came back: everything is drawn again.
            RedrawWindow(aDlg, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
            cpWork.monPowerB = 0;
        }
        return FALSE;
    case WM_CLOSE:
        _endDialog(aDlg, &cpWork.scoreDlgH, 2);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(aWParam)) {
        case IDC_SCORE_SAVE:
            _saveResults(aDlg);
            return TRUE;
        case IDC_SCORE_EXIT:
        case IDCANCEL:
            _endDialog(aDlg, &cpWork.scoreDlgH, 2);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

long cpOpenCtrlPanelScore(HWND aOwner)
{
    if (cpWork.scoreDlgH) {
        SetForegroundWindow(cpWork.scoreDlgH);
        return 0;
    }
    return _dialogBox(aOwner, IDD_SCORE_E, IDD_SCORE_J, _scoreDlgCallback) == 1;
}
