#include "App/CtrlPanel/CtrlPanel.h"

#include <mmsystem.h>

#include <cstdio>
#include <cstring>

#include "App/App/Appflow.h"
#include "App/Bench/BENCH.h"
#include "System/Sys/SYSTEM.h"
#include "resource.h"

_cpWork cpWork;

enum {
    CP_TIMER_ID = 1,
    CP_IDLE_LIMIT = 180000, // Auto Demo starts after three idle minutes
    CP_LINE_MAX = 26,       // longest system text on one line of the panel
    WM_CP_SHOWSCORE = WM_USER + 1,
};

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
}

void cpFreeWork(void)
{
    if (cpWork.boldFontH)
        DeleteObject(cpWork.boldFontH);
    if (cpWork.barBitmapH)
        DeleteObject(cpWork.barBitmapH);
    cpWork.boldFontH = nullptr;
    cpWork.barBitmapH = nullptr;
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
    if (aStep < 0 || aStep >= CP_TEST_NUM)
        return;
    _cpScore &s = cpWork.score[aStep];
    s.useB = 1;
    s.fpsPeak = aFpsPeak;
    s.fpsAve = aFpsAve;
    s.cps = aCps;
    s.frameTime = aFrameTime;
    s.score = (int32_t)(32.0 * s.fpsAve);
    cpWork.scoreUseB = 1;
    cpWork.lastStep = aStep;
}

void cpSetOverallScore(void)
{
    double peak = 0, ave = 0, cps = 0;
    int64_t score = 0;
    int count = 0;
    for (const _cpScore &s : cpWork.score) {
        if (!s.useB)
            continue;
        peak += s.fpsPeak, ave += s.fpsAve, cps += s.cps, score += s.score;
        ++count;
    }
    if (count != CP_TEST_NUM)
        return;
    _cpScore &o = cpWork.overallScore;
    o.useB = 1;
    o.fpsPeak = peak / 10;
    o.fpsAve = ave / 10;
    o.score = (int32_t)(score / 10);
    o.cps = cps / 10;
}

static void _makeCpuStr(char *aText)
{
    std::sprintf(aText, "%s", sysWork.caps.cpuInfo.cpuName);
}

static void _makeClockStr(char *aText)
{
    const uint32_t c = sysWork.caps.cpuClock;
    if (c == 0xFFFFFFFF)
        return;
    if (c > 1e9)
        std::sprintf(aText, "%.3f GHz", c * 1e-9);
    else if (c > 1e6)
        std::sprintf(aText, "%.2f MHz", c * 1e-6);
    else if (c > 1e3)
        std::sprintf(aText, "%.2f KHz", c * 1e-3);
    else
        std::sprintf(aText, "%d Hz", (int)c);
}

static void _makeFreeMemoryStr(char *aText)
{
    std::sprintf(aText, "Free Memory  : %d KB", cpWork.freeMem);
}

static void _makeTotalMemoryStr(char *aText)
{
    std::sprintf(aText, "Total Memory : %d KB", cpWork.totalMem);
}

static void _makeDisplayStr(char *aText)
{
    const _sysDDCaps *driver = sSysGetCurDDCaps();
    std::sprintf(aText, "%.63s", driver ? driver->devInfo.szDescription : "");
}

static void _makeVideoMemoryStr(char *aText)
{
    const _sysDDCaps *driver = sSysGetCurDDCaps();
    std::sprintf(aText, "Free VRAM : %d KB", driver ? (int)(driver->freeVramSize / 1024) : 0);
}

// Shows aText in aFirst, or, when longer than a line, broken at the last space within the
// first 26 characters into aFirst and aSecond. Returns the control that comes next.
static int _setSplitText(HWND aDlg, const char *aText, int aFirst, int aSecond, int aAfterSplit)
{
    const size_t len = std::strlen(aText);
    if (len <= CP_LINE_MAX) {
        SetDlgItemTextA(aDlg, aFirst, aText);
        return aSecond;
    }
    size_t cut = CP_LINE_MAX;
    size_t rest = CP_LINE_MAX;
    for (size_t i = CP_LINE_MAX; i-- > 0;) {
        if (aText[i] == ' ') {
            cut = i;
            rest = i + 1;
            break;
        }
    }
    char first[CP_LINE_MAX + 1];
    std::memcpy(first, aText, cut);
    first[cut] = '\0';
    SetDlgItemTextA(aDlg, aFirst, first);
    SetDlgItemTextA(aDlg, aSecond, aText + rest);
    return aAfterSplit;
}

static void _mainDlgMakeSystem(HWND aDlg)
{
    char text[256];
    _makeCpuStr(text);
    const int clockItem = _setSplitText(aDlg, text, IDC_CP_SYS_CPU1, IDC_CP_SYS_CPU2, IDC_CP_SYS_CPU3);
    // No measured clock leaves the line empty rather than repeating the processor name.
    text[0] = '\0';
    _makeClockStr(text);
    SetDlgItemTextA(aDlg, clockItem, text);
    _makeFreeMemoryStr(text);
    SetDlgItemTextA(aDlg, IDC_CP_SYS_FREEMEM, text);
    _makeTotalMemoryStr(text);
    SetDlgItemTextA(aDlg, IDC_CP_SYS_TOTALMEM, text);
    _makeDisplayStr(text);
    const int vramItem = _setSplitText(aDlg, text, IDC_CP_SYS_DISP1, IDC_CP_SYS_DISP2, IDC_CP_SYS_DISP3);
    _makeVideoMemoryStr(text);
    SetDlgItemTextA(aDlg, vramItem, text);
}

// Keeps the device and display options among those the driver offers.
static void _checkOption(uint32_t aDeviceMask, uint32_t aDisplayMask)
{
    _cpEnv &env = cpWork.env[0];
    const uint32_t devices = aDeviceMask & (SYS_DEVICE_TNLHAL | SYS_DEVICE_HAL);
    if (!(env.deviceOption & devices) && devices)
        env.deviceOption = devices & (0u - devices);
    const uint32_t displays = aDisplayMask & 0xFFFFF;
    if (!(env.displayOption & displays) && displays)
        env.displayOption = displays & (0u - displays);
}

static void CALLBACK _checkIdleCallBack(HWND aDlg, UINT aMsg, UINT_PTR aId, DWORD aTime)
{
    (void)aMsg, (void)aId, (void)aTime;
    if (cpWork.idleTime == 0)
        return;
    const uint32_t now = timeGetTime();
    if (GetActiveWindow() != cpWork.mainDlgH || cpWork.demoDlgH || cpWork.benchDlgH || cpWork.scoreDlgH) {
        cpWork.idleTime = now;
        return;
    }
    if (now - cpWork.idleTime > CP_IDLE_LIMIT) {
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

static void _mainDlgInit(HWND aDlg)
{
    _cpEnv &env = cpWork.env[0];
    cpWork.mainDlgH = aDlg;
    SetWindowTextA(aDlg, "Kestrel");
    cpWork.timerID = SetTimer(aDlg, CP_TIMER_ID, 1000, _checkIdleCallBack);
    cpWork.monPowerB = 0;
    _setCheck(aDlg, IDC_CP_AUTODEMO, env.mainOption & CP_MAIN_AUTODEMO);
    cpWork.idleTime = (env.mainOption & CP_MAIN_AUTODEMO) ? timeGetTime() : 0;
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
    ShowWindow(GetDlgItem(aDlg, IDC_CP_E3DNOW), SW_HIDE);
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
    PostMessageA(aDlg, WM_SETICON, ICON_BIG, (LPARAM)LoadIconA(sysWork.instH, MAKEINTRESOURCEA(1000)));
}

static void _mainDlgClose(HWND aDlg, INT_PTR aResult)
{
    if (cpWork.scoreDlgH) {
        DestroyWindow(cpWork.scoreDlgH);
        cpWork.scoreDlgH = nullptr;
    }
    cpWork.mainDlgH = nullptr;
    KillTimer(aDlg, cpWork.timerID);
    EndDialog(aDlg, aResult);
}

// Reads the options of the main dialog and starts the run.
static void _mainDlgRun(HWND aDlg)
{
    _cpEnv &env = cpWork.env[0];
    const struct { int item; uint32_t *word; uint32_t bit; } boxTbl[] = {
        {IDC_CP_AUTODEMO, &env.mainOption, CP_MAIN_AUTODEMO},
        {IDC_CP_SCREEN, &env.mainOption, CP_MAIN_SCREEN},
        {IDC_CP_MMX, &env.cpuOption, CP_CPU_MMX},
        {IDC_CP_SSE, &env.cpuOption, CP_CPU_SSE},
        {IDC_CP_3DNOW, &env.cpuOption, CP_CPU_3DNOW},
        {IDC_CP_E3DNOW, &env.cpuOption, CP_CPU_E3DNOW},
    };
    for (const auto &box : boxTbl) {
        if (_getCheck(aDlg, box.item))
            *box.word |= box.bit;
        else
            *box.word &= ~box.bit;
    }
    if (env.mainOption & CP_MAIN_SCREEN)
        sysWork.status |= SYS_FULLSCREEN;
    else
        sysWork.status &= ~SYS_FULLSCREEN;
    if (const _sysDDCaps *driver = sSysGetCurDDCaps())
        _checkOption(driver->deviceOption, driver->displayOption);
    _mainDlgClose(aDlg, 1);
}

static INT_PTR CALLBACK _mainDlgCallback(HWND aDlg, UINT aMsg, WPARAM aWParam, LPARAM aLParam)
{
    (void)aLParam;
    if (aMsg != WM_INITDIALOG && _getCheck(aDlg, IDC_CP_AUTODEMO))
        cpWork.idleTime = timeGetTime();
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
    case WM_CP_SHOWSCORE:
        cpWork.env[1] = cpWork.env[0];
        cpSetOverallScore();
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(aWParam)) {
        case IDC_CP_AUTODEMO:
            cpWork.idleTime = _getCheck(aDlg, IDC_CP_AUTODEMO) ? timeGetTime() : 0;
            return TRUE;
        case IDC_CP_HELP:
            WinExec(sSysJapanese() ? "rundll32.exe url.dll,FileProtocolHandler Html\\help_j.html"
                                   : "rundll32.exe url.dll,FileProtocolHandler Html\\help.html",
                    SW_SHOWNORMAL);
            return TRUE;
        case IDC_CP_EXIT:
            _mainDlgClose(aDlg, 2);
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
    const int dialog = sSysJapanese() ? IDD_MAIN_J : IDD_MAIN_E;
    if (DialogBoxParamA(sysWork.instH, MAKEINTRESOURCEA(dialog), aOwner, _mainDlgCallback, 0) != 1)
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
