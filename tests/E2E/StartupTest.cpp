// The program as a user meets it: start-up, the hardware check, the main dialog, a run and Exit.

#include "Driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

namespace {

const char *const kExe = "Kestrel.exe";
constexpr int IDC_EXIT = 1026, IDC_RUNDEMO = 1030, IDC_RUNBENCH = 1031;

bool Japanese() { return GetSystemDefaultLangID() == 1041; }

class Startup : public ::testing::Test {
protected:
    drv::Process kestrel;
    void TearDown() override
    {
        kestrel.Kill();
        drv::SetVideoMemory(0);
        std::remove("Data\\ForceLightList");
    }
    // Closes the program with Exit and expects it to end with code 0.
    void ExitFrom(HWND aDlg)
    {
        drv::Click(aDlg, IDC_EXIT);
        DWORD code = 99;
        ASSERT_TRUE(kestrel.WaitExit(20000, &code));
        EXPECT_EQ(code, 0u);
    }
};

TEST_F(Startup, WellEquippedMachineGetsTheFullSpecPanel)
{
    ASSERT_TRUE(kestrel.Start(kExe));
    HWND dlg = kestrel.WaitWindow("#32770", "Kestrel FullSpec");
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(drv::WindowText(GetDlgItem(dlg, IDC_RUNDEMO)), Japanese() ? u8"デモ実行" : "Run Demo");
    EXPECT_EQ(drv::WindowText(GetDlgItem(dlg, IDC_EXIT)), Japanese() ? u8"終了" : "Exit");
    EXPECT_EQ(drv::WindowText(GetDlgItem(dlg, 1198)).rfind("Free Memory  : ", 0), 0u);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(dlg, 1006))); // the Screen box stays hidden
    ExitFrom(dlg);
}

TEST_F(Startup, SmallVideoMemoryStopsWithTheInsufficientHardwareMessage)
{
    ASSERT_TRUE(drv::SetVideoMemory(1)); // desktop plus video memory far below 12 MiB
    ASSERT_TRUE(kestrel.Start(kExe));
    HWND box = kestrel.WaitMessageBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(drv::WindowText(box), Japanese() ? u8"警告" : "Warning");
    const auto texts = drv::ChildTexts(box, "Static");
    const std::string expected =
        Japanese() ? u8"ハードウェアの機能が不足しているので、プログラムを実行できません"
                   : "The program can not be run because of insufficient hardware functions.";
    EXPECT_NE(std::find(texts.begin(), texts.end(), expected), texts.end()) << ::testing::PrintToString(texts);
    EXPECT_EQ(kestrel.FindWindow("#32770", "Kestrel FullSpec"), nullptr);
    drv::Click(box, IDOK);
    DWORD code = 99;
    ASSERT_TRUE(kestrel.WaitExit(20000, &code));
    EXPECT_EQ(code, 0u);
}

TEST_F(Startup, ModestVideoMemoryGetsTheLightEdition)
{
    // Wine reports the memory left after the desktop, so desktop plus video is what is set:
    // 16 MiB lies between the 12 MiB of the Light content and the 28 MiB of the FullSpec one.
    ASSERT_TRUE(drv::SetVideoMemory(16));
    ASSERT_TRUE(kestrel.Start(kExe));
    HWND dlg = kestrel.WaitWindow("#32770", "Kestrel Light");
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(drv::WindowText(GetDlgItem(dlg, IDC_RUNDEMO)), Japanese() ? u8"デモ実行 (Light)" : "Run Demo (Light)");
    ExitFrom(dlg);
}

TEST_F(Startup, ForceLightListNamingTheAdapterGivesTheLightEdition)
{
    const std::string adapter = drv::AdapterDescription();
    ASSERT_GT(adapter.size(), 4u);
    CreateDirectoryA("Data", nullptr);
    FILE *fp = std::fopen("Data\\ForceLightList", "wt");
    ASSERT_NE(fp, nullptr);
    std::fprintf(fp, "Savage4\n%s\nVoodoo3\n", adapter.substr(2, adapter.size() - 4).c_str());
    std::fclose(fp);
    ASSERT_TRUE(kestrel.Start(kExe));
    HWND dlg = kestrel.WaitWindow("#32770", "Kestrel Light");
    ASSERT_NE(dlg, nullptr);
    ExitFrom(dlg);
}

TEST_F(Startup, ForceLightListNamingOtherAdaptersKeepsFullSpec)
{
    CreateDirectoryA("Data", nullptr);
    FILE *fp = std::fopen("Data\\ForceLightList", "wt");
    ASSERT_NE(fp, nullptr);
    std::fputs("Savage4\nVoodoo3\n", fp);
    std::fclose(fp);
    ASSERT_TRUE(kestrel.Start(kExe));
    HWND dlg = kestrel.WaitWindow("#32770", "Kestrel FullSpec");
    ASSERT_NE(dlg, nullptr);
    ExitFrom(dlg);
}

struct _renderQuery {
    drv::Process *process;
    HWND win;
};

TEST_F(Startup, RunDemoOpensTheRenderWindowAndEscapeBringsThePanelBack)
{
    ASSERT_TRUE(kestrel.Start(kExe));
    for (int visit = 0; visit < 2; ++visit) {
        HWND dlg = kestrel.WaitWindow("#32770", "Kestrel FullSpec");
        ASSERT_NE(dlg, nullptr) << visit;
        drv::Click(dlg, visit == 0 ? IDC_RUNDEMO : IDC_RUNBENCH);
        // Every run has a fresh render window with the same class and title.
        HWND render = kestrel.WaitWindow("Kestrel FullSpec", "Kestrel FullSpec");
        ASSERT_NE(render, nullptr) << visit;
        EXPECT_EQ(kestrel.FindWindow("#32770", "Kestrel FullSpec"), nullptr);
        drv::PressKey(render, VK_ESCAPE);
        _renderQuery q = {&kestrel, render};
        EXPECT_TRUE(drv::WaitFor(10000, [](void *c) { return !IsWindow(((_renderQuery *)c)->win); }, &q));
    }
    HWND dlg = kestrel.WaitWindow("#32770", "Kestrel FullSpec");
    ASSERT_NE(dlg, nullptr);
    ExitFrom(dlg);
}

TEST_F(Startup, F12EndsARunToo)
{
    ASSERT_TRUE(kestrel.Start(kExe));
    HWND dlg = kestrel.WaitWindow("#32770", "Kestrel FullSpec");
    ASSERT_NE(dlg, nullptr);
    drv::Click(dlg, IDC_RUNDEMO);
    HWND render = kestrel.WaitWindow("Kestrel FullSpec", "Kestrel FullSpec");
    ASSERT_NE(render, nullptr);
    drv::PressKey(render, VK_F12);
    dlg = kestrel.WaitWindow("#32770", "Kestrel FullSpec");
    ASSERT_NE(dlg, nullptr);
    ExitFrom(dlg);
}

TEST_F(Startup, WindowedRunHasACaptionedWindowWithTheScreenSizeAsClientArea)
{
    ASSERT_TRUE(kestrel.Start(kExe));
    HWND dlg = kestrel.WaitWindow("#32770", "Kestrel FullSpec");
    ASSERT_NE(dlg, nullptr);
    drv::SetCheck(dlg, 1006, false); // the hidden Screen box
    drv::Click(dlg, IDC_RUNBENCH);
    HWND render = kestrel.WaitWindow("Kestrel FullSpec", "Kestrel FullSpec");
    ASSERT_NE(render, nullptr);
    EXPECT_EQ(GetWindowLongA(render, GWL_STYLE) & 0x00CA0000, 0x00CA0000);
    // A benchmark run opens at 640 x 480; the window is sized right after it is shown.
    auto clientIs640x480 = [](void *aWin) {
        RECT client;
        GetClientRect((HWND)aWin, &client);
        return client.right - client.left == 640 && client.bottom - client.top == 480;
    };
    EXPECT_TRUE(drv::WaitFor(5000, clientIs640x480, render));
    drv::PressKey(render, VK_ESCAPE);
    dlg = kestrel.WaitWindow("#32770", "Kestrel FullSpec");
    ASSERT_NE(dlg, nullptr);
    ExitFrom(dlg);
}

TEST_F(Startup, ClosingThePanelLeavesTheProgram)
{
    ASSERT_TRUE(kestrel.Start(kExe));
    HWND dlg = kestrel.WaitWindow("#32770", "Kestrel FullSpec");
    ASSERT_NE(dlg, nullptr);
    PostMessageA(dlg, WM_CLOSE, 0, 0);
    DWORD code = 99;
    ASSERT_TRUE(kestrel.WaitExit(20000, &code));
    EXPECT_EQ(code, 0u);
}

} // namespace
