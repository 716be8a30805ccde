// The control panel as a user works it: the settings dialogs, the benchmark's test choice, the
// Light edition's tests, the object file and Auto Demo.

#include "Driver.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

const char *const kExe = "Kestrel.exe";
constexpr int IDC_AUTODEMO = 1005, IDC_EXIT = 1026, IDC_DEMOSET = 1027, IDC_BENCHSET = 1028;
constexpr int IDC_DEMO_LOOP = 1033, IDC_DEMO_BGM = 1034, IDC_DEMO_PROTECT = 1035, IDC_DEMO_DISPLAY = 1212;
constexpr int IDC_BENCH_LOOP = 1127, IDC_BENCH_BGM = 1128, IDC_BENCH_PROTECT = 1203, IDC_BENCH_CHALLENGE = 1217,
              IDC_BENCH_FRAMETIME = 1218, IDC_BENCH_TEST0 = 1132, IDC_BENCH_OBJOPEN = 1051,
              IDC_BENCH_OBJPATH = 1052;

bool Japanese() { return GetSystemDefaultLangID() == 1041; }

class CtrlPanel : public ::testing::Test {
protected:
    drv::Process kestrel;
    HWND main = nullptr;

    void TearDown() override
    {
        kestrel.Kill();
        drv::SetVideoMemory(0);
        std::remove("CtrlPanelTest.lwo");
    }
    void Start(const char *aTitle = "Kestrel FullSpec", const std::vector<std::string> &aEnv = {})
    {
        ASSERT_TRUE(kestrel.Start(kExe, ".", aEnv));
        main = kestrel.WaitWindow("#32770", aTitle);
        ASSERT_NE(main, nullptr);
    }
    HWND OpenDialog(int aButton, int aControlInside)
    {
        drv::Click(main, aButton);
        return kestrel.WaitDialogWith(aControlInside, 10000);
    }
    // Closes a dialog with a button and waits until it is gone.
    static bool Close(HWND aDlg, int aButton)
    {
        drv::Click(aDlg, aButton);
        return drv::WaitFor(10000, [](void *w) { return !IsWindow((HWND)w); }, aDlg);
    }
    // The dialog answers a click in its own time.
    static bool Disabled(HWND aDlg, int aId)
    {
        return drv::WaitFor(5000, [](void *w) { return !IsWindowEnabled((HWND)w); }, GetDlgItem(aDlg, aId));
    }
    std::string Message(HWND *aBoxP)
    {
        *aBoxP = kestrel.WaitMessageBox(10000);
        return *aBoxP ? drv::MessageText(*aBoxP) : "(no message)";
    }
    void Exit()
    {
        drv::Click(main, IDC_EXIT);
        DWORD code = 99;
        ASSERT_TRUE(kestrel.WaitExit(20000, &code));
        EXPECT_EQ(code, 0u);
    }
};

TEST_F(CtrlPanel, DemoSettingKeepsWhatTheUserSetAndCancelKeepsTheOldSetting)
{
    Start();
    HWND demo = OpenDialog(IDC_DEMOSET, IDC_DEMO_LOOP);
    ASSERT_NE(demo, nullptr);
    EXPECT_TRUE(drv::Checked(demo, IDC_DEMO_LOOP));
    EXPECT_TRUE(drv::Checked(demo, IDC_DEMO_BGM));
    EXPECT_FALSE(drv::Checked(demo, IDC_DEMO_PROTECT));
    const LRESULT modes = SendDlgItemMessageA(demo, IDC_DEMO_DISPLAY, CB_GETCOUNT, 0, 0);
    ASSERT_GT(modes, 2);
    EXPECT_EQ(SendDlgItemMessageA(demo, IDC_DEMO_DISPLAY, CB_GETCURSEL, 0, 0), 1); // 640 * 480 / 32bit
    drv::SetCheck(demo, IDC_DEMO_LOOP, false);
    drv::SetCheck(demo, IDC_DEMO_PROTECT, true);
    SendDlgItemMessageA(demo, IDC_DEMO_DISPLAY, CB_SETCURSEL, 2, 0);
    ASSERT_TRUE(Close(demo, IDOK));

    demo = OpenDialog(IDC_DEMOSET, IDC_DEMO_LOOP);
    ASSERT_NE(demo, nullptr);
    EXPECT_FALSE(drv::Checked(demo, IDC_DEMO_LOOP));
    EXPECT_TRUE(drv::Checked(demo, IDC_DEMO_PROTECT));
    EXPECT_EQ(SendDlgItemMessageA(demo, IDC_DEMO_DISPLAY, CB_GETCURSEL, 0, 0), 2);
    drv::SetCheck(demo, IDC_DEMO_BGM, false);
    ASSERT_TRUE(Close(demo, IDCANCEL));

    demo = OpenDialog(IDC_DEMOSET, IDC_DEMO_LOOP);
    ASSERT_NE(demo, nullptr);
    EXPECT_TRUE(drv::Checked(demo, IDC_DEMO_BGM));
    ASSERT_TRUE(Close(demo, IDCANCEL));
    Exit();
}

TEST_F(CtrlPanel, BenchmarkSettingKeepsWhatTheUserSetAndWarnsAboutMusic)
{
    Start();
    HWND bench = OpenDialog(IDC_BENCHSET, IDC_BENCH_LOOP);
    ASSERT_NE(bench, nullptr);
    for (int id : {IDC_BENCH_LOOP, IDC_BENCH_BGM, IDC_BENCH_PROTECT, IDC_BENCH_CHALLENGE, IDC_BENCH_FRAMETIME})
        EXPECT_FALSE(drv::Checked(bench, id)) << id;
    for (int i = 0; i < 10; ++i)
        EXPECT_TRUE(drv::Checked(bench, IDC_BENCH_TEST0 + i)) << i;
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(bench, IDC_BENCH_OBJOPEN)));

    drv::SetCheck(bench, IDC_BENCH_BGM, true);
    HWND box = nullptr;
    EXPECT_EQ(Message(&box), Japanese() ? u8"この機能をオンにすると、正確な測定ができない場合があります"
                                        : "If this function is enabled, test results may not be accurate.");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(drv::WindowText(box), Japanese() ? u8"警告" : "Warning");
    ASSERT_TRUE(Close(box, IDOK));

    drv::SetCheck(bench, IDC_BENCH_CHALLENGE, true);
    drv::SetCheck(bench, IDC_BENCH_FRAMETIME, true);
    drv::SetCheck(bench, IDC_BENCH_TEST0 + 2, false);
    drv::SetCheck(bench, IDC_BENCH_TEST0 + 9, false);
    EXPECT_TRUE(Disabled(bench, IDC_BENCH_OBJOPEN));
    EXPECT_TRUE(Disabled(bench, IDC_BENCH_OBJPATH));
    ASSERT_TRUE(Close(bench, IDOK));

    bench = OpenDialog(IDC_BENCHSET, IDC_BENCH_LOOP);
    ASSERT_NE(bench, nullptr);
    EXPECT_TRUE(drv::Checked(bench, IDC_BENCH_BGM));
    EXPECT_TRUE(drv::Checked(bench, IDC_BENCH_CHALLENGE));
    EXPECT_TRUE(drv::Checked(bench, IDC_BENCH_FRAMETIME));
    EXPECT_FALSE(drv::Checked(bench, IDC_BENCH_LOOP));
    EXPECT_FALSE(drv::Checked(bench, IDC_BENCH_TEST0 + 2));
    EXPECT_FALSE(drv::Checked(bench, IDC_BENCH_TEST0 + 9));
    EXPECT_TRUE(drv::Checked(bench, IDC_BENCH_TEST0 + 3));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(bench, IDC_BENCH_OBJOPEN)));
    ASSERT_TRUE(Close(bench, IDCANCEL));
    Exit();
}

TEST_F(CtrlPanel, OkWithNoTestTickedShowsTheMessageAndTheDialogStays)
{
    Start();
    HWND bench = OpenDialog(IDC_BENCHSET, IDC_BENCH_LOOP);
    ASSERT_NE(bench, nullptr);
    for (int i = 0; i < 10; ++i)
        drv::SetCheck(bench, IDC_BENCH_TEST0 + i, false);
    drv::Click(bench, IDOK);
    HWND box = nullptr;
    EXPECT_EQ(Message(&box), Japanese() ? u8"ベンチマークが一つも選択されていません" : "No Benchmark test is selected.");
    ASSERT_NE(box, nullptr);
    ASSERT_TRUE(Close(box, IDOK));
    EXPECT_TRUE(IsWindow(bench));
    EXPECT_TRUE(IsWindowVisible(bench));
    // Cancel leaves the tests as they were.
    ASSERT_TRUE(Close(bench, IDCANCEL));
    bench = OpenDialog(IDC_BENCHSET, IDC_BENCH_LOOP);
    ASSERT_NE(bench, nullptr);
    EXPECT_TRUE(drv::Checked(bench, IDC_BENCH_TEST0 + 4));
    ASSERT_TRUE(Close(bench, IDCANCEL));
    Exit();
}

TEST_F(CtrlPanel, AnUnusableObjectFileIsRefusedWithItsPath)
{
    {
        FILE *fp = std::fopen("CtrlPanelTest.lwo", "wb");
        ASSERT_NE(fp, nullptr);
        std::fputs("not an object", fp);
        std::fclose(fp);
    }
    char path[MAX_PATH];
    GetFullPathNameA("CtrlPanelTest.lwo", sizeof path, path, nullptr);
    Start();
    HWND bench = OpenDialog(IDC_BENCHSET, IDC_BENCH_LOOP);
    ASSERT_NE(bench, nullptr);
    drv::Click(bench, IDC_BENCH_OBJOPEN);
    HWND open = kestrel.WaitWindow("#32770", "Open Object File", 10000);
    ASSERT_NE(open, nullptr);
    drv::ChooseFile(open, path);
    HWND box = nullptr;
    EXPECT_EQ(Message(&box), std::string(path) + (Japanese() ? u8"の読み込みに失敗" : " Read Failure"));
    ASSERT_NE(box, nullptr);
    ASSERT_TRUE(Close(box, IDOK));
    EXPECT_EQ(drv::WindowText(GetDlgItem(bench, IDC_BENCH_OBJPATH)), ""); // the previous choice stays
    ASSERT_TRUE(Close(bench, IDCANCEL));
    Exit();
}

TEST_F(CtrlPanel, LightEditionsHighTestsCannotBeTicked)
{
    ASSERT_TRUE(drv::SetVideoMemory(16));
    Start("Kestrel Light");
    HWND bench = OpenDialog(IDC_BENCHSET, IDC_BENCH_LOOP);
    ASSERT_NE(bench, nullptr);
    for (int i = 0; i < 10; ++i) {
        const bool high = i == 1 || i == 3 || i == 5;
        EXPECT_EQ(IsWindowEnabled(GetDlgItem(bench, IDC_BENCH_TEST0 + i)) != 0, !high) << i;
        EXPECT_EQ(drv::Checked(bench, IDC_BENCH_TEST0 + i), !high) << i;
    }
    ASSERT_TRUE(Close(bench, IDOK));
    Exit();
}

TEST_F(CtrlPanel, AutoDemoStartsTheDemoAfterTheIdleTime)
{
    Start("Kestrel FullSpec", {"KESTREL_AUTODEMO_MS=1500"});
    // Untouched, nothing starts.
    Sleep(3000);
    EXPECT_EQ(kestrel.FindWindow("Kestrel FullSpec", "Kestrel FullSpec"), nullptr);
    SetForegroundWindow(main);
    drv::SetCheck(main, IDC_AUTODEMO, true);
    HWND render = kestrel.WaitWindow("Kestrel FullSpec", "Kestrel FullSpec", 20000);
    ASSERT_NE(render, nullptr);
    drv::PressKey(render, VK_ESCAPE);
    main = kestrel.WaitWindow("#32770", "Kestrel FullSpec");
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(drv::Checked(main, IDC_AUTODEMO)); // kept for the next visit
    Exit();
}

} // namespace
