// Benchmark and demo runs of the real Kestrel.exe on scene packages written for the test, some
// of them damaged: the program keeps running, the run log shows every damaged scene unscored,
// Escape brings the panel back, Exit ends it.

#include "Driver.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "ScenePackage.h"

namespace {

constexpr int IDC_EXIT = 1026, IDC_RUNDEMO = 1030, IDC_RUNBENCH = 1031;

std::string gExe;   // the built program
std::string gWork;  // the folder it runs in
std::string gLog;   // the run log Kestrel appends to

// Packages written damaged (19 reads whole, but its scene cannot be built); "21" and "27" are whole.
const std::set<std::string> kDamaged = {"23", "05", "10", "19", "24", "01", "02"};

std::string ReadLog()
{
    return drv::ReadFile(gLog);
}

bool LogHas(void *aWhatP)
{
    return ReadLog().find(*(const std::string *)aWhatP) != std::string::npos;
}

// Package number of a start line ("start bench 3 Data\Ksx\10.ksx ..."), or "".
std::string PackageOf(const std::string &aLine)
{
    const size_t at = aLine.find("Data\\Ksx\\");
    return at == std::string::npos ? std::string() : aLine.substr(at + 9, 2);
}

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
        gLog = gWork + "\\run.log";
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
            {"19", fx::UnbuildableSceneFile(30)},
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

    // Starts a run from the panel, lets it play until the log shows aUntil (a whole package
    // reached past the damaged ones), ends it with Escape and leaves the program.
    void RunAndEscape(int aButton, const std::string &aUntil)
    {
        DeleteFileA(gLog.c_str());
        ASSERT_TRUE(kestrel.Start(gExe.c_str(), gWork.c_str(), {"KESTREL_RUNLOG=" + gLog}));
        HWND dlg = kestrel.WaitWindow("#32770", "Kestrel FullSpec");
        ASSERT_NE(dlg, nullptr);
        drv::Click(dlg, aButton);
        HWND render = kestrel.WaitWindow("Kestrel FullSpec", "Kestrel FullSpec");
        ASSERT_NE(render, nullptr);
        std::string until = aUntil;
        EXPECT_TRUE(drv::WaitFor(60000, LogHas, &until)) << "never reached: " << aUntil << "\n" << ReadLog();
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

    // Every row that started on a damaged package says it failed and its end (if any) is not
    // scored; returns how many damaged rows started.
    int ExpectDamagedUnscored()
    {
        std::istringstream lines(ReadLog());
        std::string line, package;
        int damaged = 0;
        while (std::getline(lines, line)) {
            if (line.compare(0, 6, "start ") == 0) {
                package = PackageOf(line);
                if (kDamaged.count(package)) {
                    ++damaged;
                    EXPECT_NE(line.find(" failed"), std::string::npos) << line;
                }
            } else if (line.compare(0, 4, "end ") == 0 && kDamaged.count(package)) {
                EXPECT_EQ(line.find(" scored"), std::string::npos) << package << ": " << line;
            }
        }
        return damaged;
    }
};

TEST_F(BenchRun, BenchmarkOverDamagedPackagesScoresNoneOfThemAndEscapeEndsIt)
{
    // 21 is the first whole package of the table, after the damaged ones.
    RunAndEscape(IDC_RUNBENCH, "Data\\Ksx\\21.ksx");
    // 23, 05, 10 and 19 at least (their second resolution rows when the display offers them).
    EXPECT_GE(ExpectDamagedUnscored(), 4) << ReadLog();
}

TEST_F(BenchRun, DemoOverDamagedPackagesKeepsRunningAndEscapeEndsIt)
{
    // 03 is missing: the demo went past both damaged packages to it.
    RunAndEscape(IDC_RUNDEMO, "Data\\Ksx\\03.ksx");
    EXPECT_GE(ExpectDamagedUnscored(), 2) << ReadLog();
}

} // namespace
