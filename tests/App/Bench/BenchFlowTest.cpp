// Benchmark and demo runs played through flow 0 on a real device, with small scene packages
// written for the test: which rows play, which scores are stored, Challenge Mode, music and the
// Continuous Loop, closing the window, and damaged packages.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "App/App/Appflow.h"
#include "App/Bench/BENCH.h"
#include "App/CtrlPanel/CtrlPanel.h"
#include "ScenePackage.h"
#include "System/Draw/DrawMan.h"
#include "System/Flow/FLOWMAN.h"
#include "System/Sound/Sound.h"
#include "System/Sys/SYSCAPS.h"
#include "System/Sys/SYSTEM.h"

namespace {

std::string gHome;  // the test's starting folder, with the built content
std::string gWork;  // the folder the runs play in

using fx::SceneFile;
using fx::WriteFile;

void WriteScene(const char *aNum, uint16_t aFrameCnt)
{
    ASSERT_TRUE(WriteFile(gWork + "\\Data\\Ksx\\" + aNum + ".ksx", SceneFile(aFrameCnt)));
}

void RemoveScenes()
{
    WIN32_FIND_DATAA fd;
    const std::string dir = gWork + "\\Data\\Ksx\\";
    HANDLE h = FindFirstFileA((dir + "*.ksx").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return;
    do
        DeleteFileA((dir + fd.cFileName).c_str());
    while (FindNextFileA(h, &fd));
    FindClose(h);
}

LRESULT CALLBACK WinProc(HWND aWin, UINT aMsg, WPARAM aWParam, LPARAM aLParam)
{
    switch (aMsg) {
    case WM_KEYDOWN:
        if (aWParam == VK_ESCAPE) {
            PostMessageA(aWin, WM_CLOSE, 0, 0);
            return 0;
        }
        break;
    case WM_ACTIVATEAPP:
        if (aWParam)
            sysWork.status |= SYS_ACTIVE;
        else
            sysWork.status &= ~SYS_ACTIVE;
        return 0;
    case WM_CLOSE:
        DestroyWindow(aWin);
        return 0;
    case WM_DESTROY:
        sysWork.rootWinH = nullptr;
        sysWork.status &= ~SYS_ACTIVE;
        sSysExit();
        return 0;
    }
    return DefWindowProcA(aWin, aMsg, aWParam, aLParam);
}

// What a helper thread does while the run plays.
struct Watch {
    HWND win = nullptr;
    volatile LONG stop = 0;
    std::vector<long> steps;      // each row as it comes up
    bool musicBusy = false;       // a music voice was loaded while the first demo row played
    bool challengeIdle = true;    // no loop ran while Challenge Mode waited
    long closeAtStep = -1;        // close the window once this row is playing
    long closeAfterMs = 20000;    // close the window after this long in any case
    long keyAfterMs = -1;         // Challenge Mode: a key this long after the first row came up
    long closeAtRepeat = -1;      // close once the steps came round to this row again
    long escapeAfterMs = -1;      // press Escape this long after the start
    long inactiveMs = -1;         // the program is in the background this long from the first row
    DWORD rowMs[BENCH_ROW_NUM] = {};  // when each row came up
};

DWORD WINAPI Watcher(LPVOID aP)
{
    Watch *w = (Watch *)aP;
    const DWORD start = GetTickCount();
    DWORD firstRow = 0;
    long last = -1;
    bool keySent = false, closed = false, backSent = false, frontSent = false;
    while (!w->stop) {
        const long step = benchClass.GetStep();
        const DWORD now = GetTickCount();
        if (step != last) {
            w->steps.push_back(step);
            last = step;
            if (!firstRow)
                firstRow = now;
            if (step >= 0 && step < BENCH_ROW_NUM)
                w->rowMs[step] = now;
            if (w->closeAtRepeat >= 0 && step == w->closeAtRepeat && !closed &&
                std::count(w->steps.begin(), w->steps.end(), step) > 1) {
                PostMessageA(w->win, WM_CLOSE, 0, 0);
                closed = true;
            }
        }
        if (step == 0 && bgmVoiceNum >= 0 && soundClassP)
            w->musicBusy = true;
        if (w->keyAfterMs >= 0 && !keySent && firstRow) {
            const DWORD waited = now - firstRow;
            if (waited > 300 && waited < (DWORD)w->keyAfterMs) {
                if (gLoopCnt != 0)
                    w->challengeIdle = false;
                PostMessageA(w->win, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
            }
            if (waited >= (DWORD)w->keyAfterMs) {
                PostMessageA(w->win, WM_KEYDOWN, 'A', 0);
                keySent = true;
            }
        }
        if (w->inactiveMs >= 0 && firstRow && !backSent) {
            PostMessageA(w->win, WM_ACTIVATEAPP, FALSE, 0);
            backSent = true;
        }
        if (backSent && !frontSent && now - firstRow >= (DWORD)w->inactiveMs) {
            PostMessageA(w->win, WM_ACTIVATEAPP, TRUE, 0);
            frontSent = true;
        }
        if (!closed && w->escapeAfterMs >= 0 && now - start >= (DWORD)w->escapeAfterMs) {
            PostMessageA(w->win, WM_KEYDOWN, VK_ESCAPE, 0);
            closed = true;
        }
        if (!closed && ((w->closeAtStep >= 0 && step == w->closeAtStep && gLoopCnt > 5) ||
                        now - start > (DWORD)w->closeAfterMs)) {
            PostMessageA(w->win, WM_CLOSE, 0, 0);
            closed = true;
        }
        Sleep(5);
    }
    return 0;
}

class BenchFlow : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        char dir[MAX_PATH];
        GetCurrentDirectoryA(sizeof dir, dir);
        gHome = dir;
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        gWork = std::string(temp) + "KestrelBenchFlow";
        for (const char *sub : {"", "\\Data", "\\Data\\Ksx", "\\Data\\Ksf", "\\Data\\Kss"})
            CreateDirectoryA((gWork + sub).c_str(), nullptr);
        // The built music, when the content is there.
        for (const char *kss : {"01.kss", "02.kss"})
            CopyFileA((gHome + "\\Data\\Kss\\" + kss).c_str(), (gWork + "\\Data\\Kss\\" + kss).c_str(), FALSE);
        SetCurrentDirectoryA(gWork.c_str());
        std::memset(&sysWork, 0, sizeof sysWork);
        sysWork.instH = GetModuleHandleA(nullptr);
        HMODULE dll = LoadLibraryA("DDRAW.DLL");
        ASSERT_NE(dll, nullptr);
        sysDirectDrawCreateExP = (_directDrawCreateExProc)(void *)GetProcAddress(dll, "DirectDrawCreateEx");
        ASSERT_TRUE(sSysMakeCaps());
        WNDCLASSA wc = {};
        wc.lpfnWndProc = WinProc;
        wc.hInstance = sysWork.instH;
        wc.hbrBackground = (HBRUSH)GetStockObject(BLACK_BRUSH);
        wc.lpszClassName = "KestrelBenchFlow";
        RegisterClassA(&wc);
    }
    static void TearDownTestSuite()
    {
        RemoveScenes();
        SetCurrentDirectoryA(gHome.c_str());
        sSysReleaseCaps();
    }

    void SetUp() override
    {
        // A package the runtime cannot load would end every run before it starts: a fault, not a skip.
        kbBytes file = SceneFile(3);
        uint8_t *def = entryKsxMem(file.data(), (long)file.size());
        ASSERT_NE(def, nullptr);
        long loaded;
        {
            Scene probe;
            loaded = probe.Load((_sceneDef *)def, nullptr, "", nullptr, 0);
        }
        std::free(def);
        ASSERT_GE(loaded, 0) << "the scene runtime refuses a package of 3 frames";
        RemoveScenes();
        sysWork.status = SYS_FULLSPEC;
        cpInitWork();
        // Scenes of a few frames need no minimum loading screen.
        for (long s = 0; s < DEMO_ROW_NUM; ++s) {
            for (_becnhDef *row : {&benchDef[s % BENCH_ROW_NUM], &demoDef[s], &lightDef[s], &lightBenchDef[s % 11]})
                if (row->sceneOptionDefP)
                    row->sceneOptionDefP->waitTime = 0;
        }
    }
    void TearDown() override
    {
        benchFreeSceneAll();
        cpFreeWork();
    }

    // Plays one run as WinMain does and returns when it ended.
    void Run(Watch *aWatchP, bool aDemoB)
    {
        if (aDemoB)
            sysWork.status |= SYS_DEMO;
        entryKsfDrawHook(); // as WinMain does before the panel
        benchLoadSceneAll();
        sysWork.rootWinH = CreateWindowExA(0, "KestrelBenchFlow", "Bench flow", 0x00CA0000 | WS_VISIBLE, 0, 0, 640,
                                           480, nullptr, nullptr, sysWork.instH, nullptr);
        ASSERT_NE(sysWork.rootWinH, nullptr);
        sysWork.status |= SYS_ACTIVE;
        sSysSetWinRect(640, 480);
        SetForegroundWindow(sysWork.rootWinH);
        GUID hal = IID_IDirect3DHALDevice;
        _sysDDCaps *driver = sSysGetCurDDCaps();
        ASSERT_NE(driver, nullptr);
        ASSERT_EQ(sDrawManInit(640, 480, 16, driver->guidP, &hal, 0, aDemoB ? 1 : 0), 0);
        sFlowManInit(flowTbl);
        sysWork.status |= SYS_READY;
        cpClearScoreAll();
        benchClass.Init();
        aWatchP->win = sysWork.rootWinH;
        HANDLE thread = CreateThread(nullptr, 0, Watcher, aWatchP, 0, nullptr);
        sysWork.status |= SYS_RUN;
        while (sysWork.status & SYS_RUN)
            sFlowCtrl();
        InterlockedExchange(&aWatchP->stop, 1);
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        benchClass.Exit();
        sFlowManExit();
        sDrawManExit();
        if (sysWork.rootWinH)
            DestroyWindow(sysWork.rootWinH);
        sysWork.rootWinH = nullptr;
        sysWork.status &= ~(SYS_READY | SYS_DEMO);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }

    static std::vector<int> Scored()
    {
        std::vector<int> s;
        for (int i = 0; i < CP_TEST_NUM; ++i)
            if (cpWork.score[i].useB)
                s.push_back(i);
        return s;
    }
};

TEST_F(BenchFlow, OnlyTwoDGraphicsTickedPlaysItThenTheClosingRowAndStoresOneScore)
{
    WriteScene("21", 15);
    WriteScene("27", 6);
    cpWork.env[0].benchTestOption = (1u << 7) | (1u << 10);
    Watch w;
    Run(&w, false);
    EXPECT_EQ(w.steps, (std::vector<long>{7, 10}));
    EXPECT_EQ(Scored(), (std::vector<int>{7}));
    const _cpScore &s = cpWork.score[7];
    EXPECT_GT(s.fpsAve, 0.0);
    EXPECT_EQ(s.score, (int32_t)(32.0 * s.fpsAve));
    EXPECT_EQ(sysWork.rootWinH, nullptr);  // the run closed its window by itself
}

TEST_F(BenchFlow, ClosingTheWindowDuringTheSecondTestKeepsTheFirstScore)
{
    WriteScene("21", 15);
    WriteScene("24", 3000);  // long enough to be closed in the middle
    WriteScene("27", 6);
    cpWork.env[0].benchTestOption = (1u << 7) | (1u << 8) | (1u << 10);
    Watch w;
    w.closeAtStep = 8;
    Run(&w, false);
    EXPECT_EQ(w.steps, (std::vector<long>{7, 8}));
    EXPECT_EQ(Scored(), (std::vector<int>{7}));
}

TEST_F(BenchFlow, ChallengeModeWaitsForAKeyAndIgnoresMouseMoves)
{
    WriteScene("21", 6);
    WriteScene("27", 3);
    cpWork.env[0].benchTestOption = (1u << 7) | (1u << 10);
    cpWork.env[0].benchOption = CP_OPTION_CHALLENGE;
    Watch w;
    w.keyAfterMs = 1500;
    const DWORD t0 = GetTickCount();
    Run(&w, false);
    EXPECT_GE(GetTickCount() - t0, 1500u);
    EXPECT_TRUE(w.challengeIdle);
    EXPECT_EQ(w.steps, (std::vector<long>{7, 10}));
    EXPECT_EQ(Scored(), (std::vector<int>{7}));
}

TEST_F(BenchFlow, NoSceneTimePassesWhileTheProgramIsInTheBackground)
{
    WriteScene("21", 30);  // one second
    WriteScene("27", 3);
    cpWork.env[0].benchTestOption = (1u << 7) | (1u << 10);
    Watch w;
    w.inactiveMs = 1500;
    Run(&w, false);
    EXPECT_EQ(w.steps, (std::vector<long>{7, 10}));
    // The second of play comes after the time in the background.
    EXPECT_GE(w.rowMs[10] - w.rowMs[7], 2400u);
    EXPECT_EQ(Scored(), (std::vector<int>{7}));
}

TEST_F(BenchFlow, DemoPlaysEveryRowInOrderWithMusicAndTheLoopWraps)
{
    static const char *const scenes[] = {"01", "02", "03", "04", "05", "06", "07", "08", "09", "10", "11",
                                         "12", "13", "14", "15", "16", "17", "18", "28", "20", "22", "26"};
    for (const char *s : scenes)
        WriteScene(s, 3);
    cpWork.env[0].demoOption = CP_OPTION_LOOP | CP_OPTION_BGM;
    Watch w;
    w.closeAtRepeat = 1;  // close once the second pass reaches row 1
    Run(&w, true);
    std::vector<long> expected;
    for (long s = 0; s < 22; ++s)
        expected.push_back(s);
    expected.push_back(0);
    expected.push_back(1);
    EXPECT_EQ(w.steps, expected);
    EXPECT_TRUE(Scored().empty());  // the demo scores nothing
    if (GetFileAttributesA("Data\\Kss\\01.kss") != INVALID_FILE_ATTRIBUTES) {
        EXPECT_TRUE(w.musicBusy);
    }
}

TEST_F(BenchFlow, EscapeEndsTheDemo)
{
    WriteScene("01", 3000);
    Watch w;
    w.escapeAfterMs = 1000;
    const DWORD t0 = GetTickCount();
    Run(&w, true);
    EXPECT_LT(GetTickCount() - t0, 15000u);
    EXPECT_EQ(w.steps, (std::vector<long>{0}));
}

// A package that reads whole but whose scene cannot be built leaves its row unscored, and the
// run goes on to the next row and ends by itself, not in a frame loop without a scene.
TEST_F(BenchFlow, ASceneThatCannotBeBuiltIsSkippedUnscoredAndTheRunGoesOn)
{
    const kbBytes unbuildable = fx::UnbuildableSceneFile(15);
    uint8_t *def = entryKsxMem(unbuildable.data(), (long)unbuildable.size());
    ASSERT_NE(def, nullptr) << "the package reads";
    long loaded;
    {
        Scene probe;
        loaded = probe.Load((_sceneDef *)def, nullptr, "", nullptr, 0);
    }
    std::free(def);
    ASSERT_LT(loaded, 0) << "its scene cannot be built";
    ASSERT_TRUE(WriteFile(gWork + "\\Data\\Ksx\\21.ksx", unbuildable));
    WriteScene("24", 15);
    WriteScene("27", 3);
    cpWork.env[0].benchTestOption = (1u << 7) | (1u << 8) | (1u << 10);
    for (uint32_t option : {0u, (uint32_t)CP_OPTION_CHALLENGE}) {
        SCOPED_TRACE(option);
        cpWork.env[0].benchOption = option;
        Watch w;
        if (option)
            w.keyAfterMs = 1500;  // answers the prompt of the next row
        w.closeAfterMs = 15000;
        const DWORD t0 = GetTickCount();
        Run(&w, false);
        EXPECT_LT(GetTickCount() - t0, 15000u) << "the run ended by itself";
        EXPECT_EQ(w.steps, (std::vector<long>{7, 8, 10}));
        EXPECT_EQ(Scored(), (std::vector<int>{8}));
        benchFreeSceneAll();
    }
}

TEST_F(BenchFlow, DamagedPackagesNeverCrashTheRunAndScoreNothingWithoutFrames)
{
    const kbBytes good = SceneFile(15);
    std::vector<kbBytes> bad;
    for (size_t cut : {size_t(0), size_t(7), size_t(16), size_t(40), good.size() - 1})
        bad.emplace_back(good.begin(), good.begin() + cut);
    kbBytes flipped = good;
    for (size_t i = 0; i < flipped.size(); i += 5)
        flipped[i] ^= 0xA5;
    bad.push_back(flipped);
    for (size_t k = 0; k < bad.size(); ++k) {
        SCOPED_TRACE(k);
        ASSERT_TRUE(WriteFile(gWork + "\\Data\\Ksx\\21.ksx", bad[k]));
        WriteScene("27", 3);
        cpWork.env[0].benchTestOption = (1u << 7) | (1u << 10);
        Watch w;
        w.closeAfterMs = 4000;
        Run(&w, false);
        ASSERT_FALSE(w.steps.empty());
        EXPECT_EQ(w.steps[0], 7);
        if (k + 1 < bad.size()) {
            EXPECT_TRUE(Scored().empty());  // a package cut short has no frames to score
        }
        benchFreeSceneAll();
    }
}

} // namespace
