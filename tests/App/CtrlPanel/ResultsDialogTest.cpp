// The results dialog in this process: its score texts, and the results file written through the
// system's save dialog, also when the file in the way cannot be replaced (said, the earlier file
// kept, the dialog offered again).

#include "App/CtrlPanel/CtrlPanel.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "Driver.h"
#include "System/Env/Env.h"
#include "System/Sys/SYSTEM.h"
#include "resource.h"

namespace {

const char *const kFolder = "ResultsDialogTest.out";

std::string FullPath(const char *aName)
{
    char path[MAX_PATH];
    GetFullPathNameA((std::string(kFolder) + "\\" + aName).c_str(), sizeof path, path, nullptr);
    return path;
}

std::string ReadAll(const std::string &aPath)
{
    std::ifstream in(aPath, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

int FilesInFolder()
{
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(FullPath("*").c_str(), &data);
    int count = 0;
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            ++count;
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return count;
}

// A Win32 thread: the C++ runtime is built without std::thread (no winpthreads).
DWORD WINAPI PanelThread(LPVOID)
{
    CoInitialize(nullptr);
    cpOpenCtrlPanelScore(nullptr);
    CoUninitialize();
    return 0;
}

// The results dialog runs on its own thread, as the panel's modal loop would run it; the test
// thread is the user.
class ResultsDialog : public ::testing::Test {
protected:
    HANDLE panel = nullptr;
    HWND dlg = nullptr;
    char startFolder[MAX_PATH] = "";

    void SetUp() override
    {
        std::memset(&sysWork, 0, sizeof sysWork);
        sysWork.instH = GetModuleHandleA(nullptr);
        sysWork.langID = GetSystemDefaultLangID();
        sysWork.status = SYS_FULLSPEC;
        sysWork.directXVer = 0x700;
        std::strcpy(sysWork.caps.cpuInfo.cpuName, "Test Processor Model Twelve 2000");
        sysWork.caps.cpuInfo.exFanc = ENV_EX_MMX | ENV_EX_SSE | ENV_EX_SSE2;
        sysWork.caps.cpuClock = 2000000000u;
        cpInitWork();
        CreateDirectoryA(kFolder, nullptr);
        GetCurrentDirectoryA(sizeof startFolder, startFolder);
    }
    void TearDown() override
    {
        if (dlg)
            PostMessageA(dlg, WM_COMMAND, IDC_SCORE_EXIT, 0);
        if (panel) {
            WaitForSingleObject(panel, INFINITE);
            CloseHandle(panel);
            panel = nullptr;
        }
        cpFreeWork();
        WIN32_FIND_DATAA data;
        HANDLE find = FindFirstFileA((std::string(kFolder) + "\\*").c_str(), &data);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                const std::string path = std::string(kFolder) + "\\" + data.cFileName;
                SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(path.c_str());
            } while (FindNextFileA(find, &data));
            FindClose(find);
        }
    }
    // The run's scores as the panel takes them when it comes back.
    void Scores(std::initializer_list<int> aRows)
    {
        for (int row : aRows)
            cpSetScore(row, 100.0f + row, 50.0f + row, 1.0f, 20.0f);
        cpWork.env[1] = cpWork.env[0];
        cpSetOverallScore();
    }
    void Open()
    {
        panel = CreateThread(nullptr, 0, PanelThread, nullptr, 0, nullptr);
        ASSERT_NE(panel, nullptr);
        const DWORD start = GetTickCount();
        while (!(dlg = drv::FindDialogWith(GetCurrentProcessId(), IDC_SCORE_SAVE)) && GetTickCount() - start < 10000)
            Sleep(50);
        ASSERT_NE(dlg, nullptr);
    }
    // Save File, then the path typed into the save dialog.
    void Save(const std::string &aPath, bool aConfirmReplace)
    {
        drv::Click(dlg, IDC_SCORE_SAVE);
        HWND save = nullptr;
        const DWORD start = GetTickCount();
        while (!(save = FindWindowA("#32770", "Save Results File")) && GetTickCount() - start < 10000)
            Sleep(50);
        ASSERT_NE(save, nullptr);
        drv::ChooseFile(save, aPath);
        if (aConfirmReplace) {
            HWND box = nullptr;
            const DWORD wait = GetTickCount();
            while (!(box = drv::FindMessageBox(GetCurrentProcessId(), 2)) && GetTickCount() - wait < 10000)
                Sleep(50);
            ASSERT_NE(box, nullptr);
            drv::Click(box, IDYES);
        }
        const DWORD close = GetTickCount();
        while (IsWindow(save) && GetTickCount() - close < 10000)
            Sleep(50);
        ASSERT_FALSE(IsWindow(save));
        Sleep(200); // the file is written right after the save dialog closes
        // The program's Data folder is found from the current folder: saving must not move it.
        char folder[MAX_PATH] = "";
        GetCurrentDirectoryA(sizeof folder, folder);
        EXPECT_STREQ(folder, startFolder);
    }
    std::string Text(int aId) { return drv::WindowText(GetDlgItem(dlg, aId)); }
};

TEST_F(ResultsDialog, ShowsTheScoresOfACutShortRunAndNaForTheRest)
{
    Scores({0, 2, 4});
    Open();
    EXPECT_EQ(Text(IDC_SCORE_TEXT0 + 0), "1600");
    EXPECT_EQ(Text(IDC_SCORE_TEXT0 + 2), "1664");
    EXPECT_EQ(Text(IDC_SCORE_TEXT0 + 4), "1728");
    EXPECT_EQ(Text(IDC_SCORE_TEXT0 + 1), "n/a");
    EXPECT_EQ(Text(IDC_SCORE_TEXT0 + 9), "n/a");
    EXPECT_EQ(Text(IDC_SCORE_OVERALL_TEXT), "n/a"); // needs all ten
    EXPECT_EQ(Text(IDC_SCORE_GROUP), "Kestrel Score");
    EXPECT_EQ(Text(IDC_SCORE_OVERALL_GROUP), "Overall Score");
    EXPECT_EQ(Text(IDC_SCORE_USER), "Test Processor Model Twelve 2000 <2.000 GHz>\r");
    EXPECT_EQ(Text(IDC_SCORE_REF), "AMD Athlon(tm) Processor <800.00MHz>\rCanopus SPECTRA F11");
}

TEST_F(ResultsDialog, AllTenGiveTheOverallScore)
{
    Scores({0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    Open();
    EXPECT_EQ(Text(IDC_SCORE_OVERALL_TEXT), std::to_string((1600 + 1888) * 10 / 2 / 10));
}

TEST_F(ResultsDialog, SaveWritesTheResultsFileInTextMode)
{
    Scores({0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    cpWork.env[0].benchOption = CP_OPTION_CHALLENGE; // changed after the run: not in the file
    Open();
    const std::string path = FullPath("Kestrel.txt");
    Save(path, false);
    const std::string text = ReadAll(path);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.rfind("Kestrel Ver 1.2 Results File\r\n\r\n-----", 0), 0u);
    EXPECT_NE(text.find("\r\nProcessor Type              Test Processor Model Twelve 2000\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nProcessor Speed             2.000 GHz\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nSSE2                        Yes\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nChallenge Mode              No\r\n"), std::string::npos);
    EXPECT_NE(text.find("[Overall Score]\r\n------------------------------------------------------------------------------"
                        "\r\nKestrel Score               1744   Marks\r\n"),
              std::string::npos);
    EXPECT_EQ(FilesInFolder(), 1); // no temporary file left beside it
}

TEST_F(ResultsDialog, AFileThatCannotBeReplacedKeepsItsContent)
{
    Scores({6});
    Open();
    const std::string path = FullPath("Kept.txt");
    {
        std::ofstream(path, std::ios::binary) << "earlier results\r\n";
    }
    // Another program holds the file open without sharing it.
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    Save(path, true);
    // The failure is told, in the user's language, and the save dialog comes back for another
    // try; cancelling it leaves the results dialog open.
    HWND box = nullptr;
    for (DWORD start = GetTickCount(); !(box = drv::FindMessageBox(GetCurrentProcessId(), 1)) &&
                                       GetTickCount() - start < 10000;)
        Sleep(50);
    ASSERT_NE(box, nullptr);
    const std::string told = drv::MessageText(box);
    EXPECT_NE(told.find(path), std::string::npos) << told;
    EXPECT_NE(told.find(sSysJapanese() ? u8"の書き込みに失敗しました" : " Write Failure"), std::string::npos) << told;
    drv::Click(box, IDOK);
    HWND again = nullptr;
    for (DWORD start = GetTickCount(); !(again = FindWindowA("#32770", "Save Results File")) &&
                                       GetTickCount() - start < 10000;)
        Sleep(50);
    ASSERT_NE(again, nullptr);
    drv::Click(again, IDCANCEL);
    for (DWORD start = GetTickCount(); IsWindow(again) && GetTickCount() - start < 10000;)
        Sleep(50);
    EXPECT_FALSE(IsWindow(again));
    EXPECT_TRUE(IsWindowVisible(dlg));
    CloseHandle(held);
    EXPECT_EQ(ReadAll(path), "earlier results\r\n");
    EXPECT_EQ(FilesInFolder(), 1);

    // Once free, the same save replaces it.
    Save(path, true);
    EXPECT_EQ(ReadAll(path).rfind("Kestrel Ver 1.2 Results File", 0), 0u);
    EXPECT_EQ(FilesInFolder(), 1);
}

TEST_F(ResultsDialog, SaveDoesNothingBeforeAnyScore)
{
    Open();
    drv::Click(dlg, IDC_SCORE_SAVE);
    Sleep(1000);
    EXPECT_EQ(FindWindowA("#32770", "Save Results File"), nullptr);
    EXPECT_EQ(Text(IDC_SCORE_TEXT0 + 3), "n/a");
}

} // namespace
