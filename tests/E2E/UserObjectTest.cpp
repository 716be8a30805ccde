// The user's own object as a user brings it: chosen in the Benchmark Setting dialog through the
// file dialog, shown there, and drawn by "Your Fighter" in place of the row's ship. The run plays
// a short scene written for the test, so that the replaced ship is known by its colour.

#include "Driver.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "KbAnim.h"
#include "KbLwo.h"
#include "KbMesh.h"
#include "KbScene.h"

namespace {

constexpr int IDC_EXIT = 1026, IDC_BENCHSET = 1028, IDC_RUNBENCH = 1031, IDC_BENCH_LOOP = 1127,
              IDC_BENCH_TEST0 = 1132, IDC_BENCH_OBJOPEN = 1051, IDC_BENCH_OBJPATH = 1052;

std::string gWork;  // the folder the program runs in

bool Japanese() { return GetSystemDefaultLangID() == 1041; }

bool WriteFile(const std::string &aPath, const kbBytes &aData)
{
    FILE *fp = std::fopen(aPath.c_str(), "wb");
    if (!fp)
        return false;
    const bool ok = std::fwrite(aData.data(), 1, aData.size(), fp) == aData.size();
    std::fclose(fp);
    return ok;
}

// "Your Fighter" in short: a red box named as the replaceable ship, in front of a still camera.
kbBytes ShipScene()
{
    kbScene sc;
    const int frames = 900;
    kbSceneBegin(&sc, frames, 1.0f, 1000.0f, 0x000000, 0x404040, 1.0f);
    auto box = kbBodyOf({kbSurfaceOf(kbMeshBox(kbVec3(16, 8, 24)), 0xFF0000)});
    kbAddShape(&sc, "Ship_change2_", box, -1, kbConstant(kbVec3(0, 0, 0)), kbConstant(kbVec3(0.4f, 0.6f, 0)));
    // The replaced shape keeps its key tables.
    for (kbShape &s : sc.shapes)
        if (s.motion.runs.empty())
            s.motion = kbBakeMotion(frames, kbConstant(kbVec3(0, 0, 0)), kbConstant(kbVec3(0.4f, 0.6f, 0)),
                                    kbConstant(kbVec3(1, 1, 1)));
    kbAddCamera(&sc, kbConstant(kbVec3(0, 10, -45)), kbConstant(kbVec3(0, 0, 0)), 1.0f);
    kbAddLight(&sc, kbLightDirectional(kbVec3(-0.3f, -0.5f, 0.8f), 0xFFFFFF, 1.0f));
    kbSceneCount(&sc);
    kbBytes out;
    std::string error;
    EXPECT_TRUE(kbKsxWrite(sc, &out, &error)) << error;
    return out;
}

bool CopyFileTo(const std::string &aFrom, const std::string &aTo) { return CopyFileA(aFrom.c_str(), aTo.c_str(), FALSE) != 0; }

// The text of an edit control of another process: only the control itself knows it.
std::string ControlText(HWND aDlg, int aId)
{
    char text[512] = "";
    DWORD_PTR got = 0;
    SendMessageTimeoutA(GetDlgItem(aDlg, aId), WM_GETTEXT, sizeof text, (LPARAM)text, SMTO_ABORTIFHUNG, 5000, &got);
    return text;
}

// Pixels of a window's client area as the screen shows them, 0xRRGGBB.
std::vector<uint32_t> Grab(HWND aWin, int *aWP, int *aHP)
{
    RECT rc;
    GetClientRect(aWin, &rc);
    POINT origin = {0, 0};
    ClientToScreen(aWin, &origin);
    const int w = rc.right, h = rc.bottom;
    *aWP = w;
    *aHP = h;
    std::vector<uint32_t> px;
    if (w <= 0 || h <= 0)
        return px;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void *bits = nullptr;
    HBITMAP bmp = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w, h, screen, origin.x, origin.y, SRCCOPY);
    GdiFlush();
    px.assign((const uint32_t *)bits, (const uint32_t *)bits + (size_t)w * h);
    for (uint32_t &p : px)
        p &= 0xFFFFFF;
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return px;
}

struct Counts {
    int red = 0;   // the test's ship
    int grey = 0;  // the sample fighter's panels: lit, not red
};

// The middle half of the frame, where the ship flies.
Counts Count(const std::vector<uint32_t> &aPx, int aW, int aH)
{
    Counts c;
    for (int y = aH / 4; y < aH * 3 / 4; ++y) {
        for (int x = aW / 4; x < aW * 3 / 4; ++x) {
            const uint32_t p = aPx[(size_t)y * aW + x];
            const int r = p >> 16 & 255, g = p >> 8 & 255, b = p & 255;
            if (r > 90 && g < r / 3 && b < r / 3)
                ++c.red;
            else if (g > 50 && b > 50 && r < g + 40)
                ++c.grey;
        }
    }
    return c;
}

class UserObject : public ::testing::Test {
protected:
    drv::Process kestrel;
    HWND main = nullptr;

    static void SetUpTestSuite()
    {
        char dir[MAX_PATH];
        GetCurrentDirectoryA(sizeof dir, dir);
        const std::string bin = dir;
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        gWork = std::string(temp) + "KestrelUserObject";
        for (const char *sub : {"", "\\Data", "\\Data\\Ksx", "\\Data\\Ksf", "\\Data\\Kss", "\\Data\\Lwo"})
            CreateDirectoryA((gWork + sub).c_str(), nullptr);
        ASSERT_TRUE(CopyFileTo(bin + "\\Kestrel.exe", gWork + "\\Kestrel.exe"));
        // The sample object and its panel images, as the content builder installs them.
        for (const char *f : {"fighter.lwo", "fighter_lwob.lwo", "hull.bmp", "wing.bmp"})
            ASSERT_TRUE(CopyFileTo(bin + "\\Data\\Lwo\\" + f, gWork + "\\Data\\Lwo\\" + f)) << f;
        ASSERT_TRUE(WriteFile(gWork + "\\Data\\Ksx\\25.ksx", ShipScene()));
        // Not an object at all.
        ASSERT_TRUE(WriteFile(gWork + "\\Data\\Lwo\\broken.lwo",
                              kbBytes{'F', 'O', 'R', 'M', 0, 0, 1, 0, 'L', 'W', 'O', '2', 'P', 'N', 'T', 'S', 0, 0}));
    }

    void TearDown() override { kestrel.Kill(); }

    void Start()
    {
        ASSERT_TRUE(kestrel.Start((gWork + "\\Kestrel.exe").c_str(), gWork.c_str()));
        main = kestrel.WaitWindow("#32770", "Kestrel FullSpec");
        ASSERT_NE(main, nullptr);
    }
    HWND OpenBenchSetting()
    {
        drv::Click(main, IDC_BENCHSET);
        return kestrel.WaitDialogWith(IDC_BENCH_LOOP, 10000);
    }
    static bool Close(HWND aDlg, int aButton)
    {
        drv::Click(aDlg, aButton);
        return drv::WaitFor(10000, [](void *w) { return !IsWindow((HWND)w); }, aDlg);
    }
    // Chooses a file through the dialog's own file dialog, by the path a user would type.
    void Choose(HWND aBench, const std::string &aPath)
    {
        drv::Click(aBench, IDC_BENCH_OBJOPEN);
        HWND open = kestrel.WaitWindow("#32770", "Open Object File", 10000);
        ASSERT_NE(open, nullptr);
        drv::ChooseFile(open, aPath);
        ASSERT_TRUE(drv::WaitFor(10000, [](void *w) { return !IsWindow((HWND)w); }, open));
    }
    // Only "Your Fighter" runs; its frames are sampled while it plays. With aLongestP, the
    // longest the render window took to answer a message while the run loaded and played.
    Counts RunYourFighter(DWORD *aLongestP = nullptr)
    {
        Counts most;
        HWND bench = OpenBenchSetting();
        EXPECT_NE(bench, nullptr);
        if (!bench)
            return most;
        for (int i = 0; i < 9; ++i)
            drv::SetCheck(bench, IDC_BENCH_TEST0 + i, false);
        EXPECT_TRUE(Close(bench, IDOK));
        drv::Click(main, IDC_RUNBENCH);
        HWND render = kestrel.WaitWindow("Kestrel FullSpec", "Kestrel FullSpec");
        EXPECT_NE(render, nullptr);
        if (!render)
            return most;
        int seen = 0;
        for (int shot = 0; shot < 40 && seen < 3 && IsWindow(render); ++shot) {
            for (DWORD start = GetTickCount(); GetTickCount() - start < 400;) {
                const DWORD asked = GetTickCount();
                DWORD_PTR got = 0;
                SendMessageTimeoutA(render, WM_NULL, 0, 0, SMTO_BLOCK, 15000, &got);
                const DWORD took = GetTickCount() - asked;
                if (aLongestP && took > *aLongestP)
                    *aLongestP = took;
                Sleep(20);
            }
            int w = 0, h = 0;
            const std::vector<uint32_t> px = Grab(render, &w, &h);
            if (px.empty())
                continue;
            const Counts c = Count(px, w, h);
            // The loading screen fills the frame with its grey; the scene comes after it.
            if (c.grey > w * h / 4 * 9 / 10)
                continue;
            most.red = c.red > most.red ? c.red : most.red;
            most.grey = c.grey > most.grey ? c.grey : most.grey;
            seen += c.red > 2000 || c.grey > 1500;
        }
        EXPECT_EQ(drv::FindMessageBox(kestrel.Id()), nullptr) << "the run showed a message";
        if (IsWindow(render))
            drv::PressKey(render, VK_ESCAPE);
        main = kestrel.WaitWindow("#32770", "Kestrel FullSpec");
        EXPECT_NE(main, nullptr);
        return most;
    }
    void Exit()
    {
        drv::Click(main, IDC_EXIT);
        DWORD code = 99;
        ASSERT_TRUE(kestrel.WaitExit(20000, &code));
        EXPECT_EQ(code, 0u);
    }
};

TEST_F(UserObject, TheChosenSampleShowsItsPathAndFliesInPlaceOfTheShip)
{
    // Without an object the row's own red ship flies.
    Start();
    const Counts own = RunYourFighter();
    Exit();
    EXPECT_GT(own.red, 2000);

    Start();
    HWND bench = OpenBenchSetting();
    ASSERT_NE(bench, nullptr);
    const std::string path = gWork + "\\Data\\Lwo\\fighter.lwo";
    Choose(bench, path);
    EXPECT_EQ(drv::FindMessageBox(kestrel.Id()), nullptr);
    EXPECT_EQ(ControlText(bench, IDC_BENCH_OBJPATH), path);
    ASSERT_TRUE(Close(bench, IDOK));
    // Shown again when the dialog opens the next time.
    bench = OpenBenchSetting();
    ASSERT_NE(bench, nullptr);
    EXPECT_EQ(ControlText(bench, IDC_BENCH_OBJPATH), path);
    ASSERT_TRUE(Close(bench, IDCANCEL));

    const Counts user = RunYourFighter();
    Exit();
    EXPECT_LT(user.red, own.red / 20) << "the red ship still flies";
    EXPECT_GT(user.grey, 1500) << "the sample fighter is not drawn";
}

TEST_F(UserObject, AnObjectNearThePolygonLimitConvertsBehindAWindowThatAnswers)
{
    // A wavy sphere of about 9,970 triangles, just inside the 10,000 the run accepts.
    const std::string path = gWork + "\\Data\\Lwo\\large.lwo";
    ASSERT_TRUE(WriteFile(path, kbLwoWriteLwo2(kbLwoLarge(4900))));
    Start();
    HWND bench = OpenBenchSetting();
    ASSERT_NE(bench, nullptr);
    Choose(bench, path);
    EXPECT_EQ(drv::FindMessageBox(kestrel.Id()), nullptr);
    ASSERT_TRUE(Close(bench, IDOK));
    DWORD longest = 0;
    const Counts user = RunYourFighter(&longest);
    Exit();
    EXPECT_LT(user.red, 200) << "the object was refused and the red ship flies";
    EXPECT_GT(user.grey, 1500) << "the object is not drawn";
    // The loading screen stays up its 5 s without answering; the conversion before it answers.
    EXPECT_LT(longest, 6500u) << "the window went unanswered while the object converted";
}

TEST_F(UserObject, ARefusedFileShowsItsReadFailureAndTheChoiceBeforeItStays)
{
    Start();
    HWND bench = OpenBenchSetting();
    ASSERT_NE(bench, nullptr);
    const std::string good = gWork + "\\Data\\Lwo\\fighter_lwob.lwo", bad = gWork + "\\Data\\Lwo\\broken.lwo";
    Choose(bench, good);
    EXPECT_EQ(ControlText(bench, IDC_BENCH_OBJPATH), good);
    Choose(bench, bad);
    HWND box = kestrel.WaitMessageBox(10000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(drv::MessageText(box), bad + (Japanese() ? u8"の読み込みに失敗" : " Read Failure"));
    EXPECT_EQ(drv::WindowText(box), Japanese() ? u8"警告" : "Warning");
    ASSERT_TRUE(Close(box, IDOK));
    EXPECT_EQ(ControlText(bench, IDC_BENCH_OBJPATH), good);
    ASSERT_TRUE(Close(bench, IDOK));
    bench = OpenBenchSetting();
    ASSERT_NE(bench, nullptr);
    EXPECT_EQ(ControlText(bench, IDC_BENCH_OBJPATH), good);
    ASSERT_TRUE(Close(bench, IDCANCEL));
    Exit();
}

} // namespace
