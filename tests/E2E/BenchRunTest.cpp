// Benchmark and demo runs of the real Kestrel.exe on scene packages written for the test, some
// of them damaged: the program keeps running, Escape brings the panel back, Exit ends it.

#include "Driver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ScenePackage.h"

namespace {

constexpr int IDC_EXIT = 1026, IDC_RUNDEMO = 1030, IDC_RUNBENCH = 1031;

std::string gExe;   // the built program
std::string gWork;  // the folder it runs in

using fx::SceneFile;
using fx::WriteFile;

class BenchRun : public ::testing::Test {
protected:
    drv::Process kestrel;

    static void SetUpTestSuite()
    {
        char dir[MAX_PATH];
        GetCurrentDirectoryA(sizeof dir, dir);
        gExe = std::string(dir) + "\\Kestrel.exe";
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        gWork = std::string(temp) + "KestrelBenchRun";
        for (const char *sub : {"", "\\Data", "\\Data\\Ksx", "\\Data\\Ksf", "\\Data\\Kss"})
            CreateDirectoryA((gWork + sub).c_str(), nullptr);
        // Every benchmark package, each damaged in its own way or whole.
        const kbBytes good = SceneFile(30);
        kbBytes flipped = good;
        for (size_t i = 3; i < flipped.size(); i += 7)
            flipped[i] ^= 0x5A;
        const struct {
            const char *num;
            kbBytes data;
        } files[] = {
            {"23", kbBytes(good.begin(), good.begin() + 5)},
            {"05", kbBytes(good.begin(), good.begin() + 16)},
            {"10", kbBytes(good.begin(), good.end() - 1)},
            {"19", flipped},
            {"21", good},
            {"24", kbBytes()},
            {"27", good},
            {"01", flipped},
            {"02", kbBytes(good.begin(), good.begin() + 40)},
        };
        for (const auto &f : files)
            ASSERT_TRUE(WriteFile(gWork + "\\Data\\Ksx\\" + f.num + ".ksx", f.data));
    }

    void TearDown() override { kestrel.Kill(); }

    // Starts a run from the panel, lets it play, ends it with Escape and leaves the program.
    void RunAndEscape(int aButton, DWORD aPlayMs)
    {
        ASSERT_TRUE(kestrel.Start(gExe.c_str(), gWork.c_str()));
        HWND dlg = kestrel.WaitWindow("#32770", "Kestrel FullSpec");
        ASSERT_NE(dlg, nullptr);
        drv::Click(dlg, aButton);
        HWND render = kestrel.WaitWindow("Kestrel FullSpec", "Kestrel FullSpec");
        ASSERT_NE(render, nullptr);
        Sleep(aPlayMs);
        ASSERT_TRUE(kestrel.Running());
        if (IsWindow(render))
            drv::PressKey(render, VK_ESCAPE);
        dlg = kestrel.WaitWindow("#32770", "Kestrel FullSpec");
        ASSERT_NE(dlg, nullptr);
        drv::Click(dlg, IDC_EXIT);
        DWORD code = 99;
        ASSERT_TRUE(kestrel.WaitExit(20000, &code));
        EXPECT_EQ(code, 0u);
    }
};

TEST_F(BenchRun, BenchmarkOverDamagedPackagesKeepsRunningAndEscapeEndsIt)
{
    RunAndEscape(IDC_RUNBENCH, 4000);
}

TEST_F(BenchRun, DemoOverDamagedPackagesKeepsRunningAndEscapeEndsIt)
{
    RunAndEscape(IDC_RUNDEMO, 4000);
}

} // namespace
