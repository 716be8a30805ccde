// The write folder: the program's own while it takes a file, the user's application-data folder
// when it does not, and no probe file left behind either way.

#include "System/Sys/SYSFOLDER.h"

#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>

namespace {

std::string AppDataKestrel()
{
    char base[MAX_PATH] = "";
    SHGetSpecialFolderPathA(nullptr, base, CSIDL_APPDATA, TRUE);
    return std::string(base) + "\\Kestrel";
}

int FileCount(const std::string &aDir)
{
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((aDir + "\\*").c_str(), &found);
    int n = 0;
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    do
        n += !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    while (FindNextFileA(h, &found));
    FindClose(h);
    return n;
}

struct SysFolder : ::testing::Test {
    std::string dir;
    void SetUp() override
    {
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        dir = std::string(temp) + "KestrelFolderTest";
        CreateDirectoryA(dir.c_str(), nullptr);
    }
    void TearDown() override { RemoveDirectoryA(dir.c_str()); }
};

TEST_F(SysFolder, AWritableProgramFolderIsUsedAsItIsAndKeepsNoProbe)
{
    const struct { std::string given; } caseTbl[] = {{dir}, {dir + "\\"}};
    for (const auto &c : caseTbl) {
        char out[MAX_PATH];
        ASSERT_EQ(sSysWriteFolder(c.given.c_str(), out, sizeof out), dir.size()) << c.given;
        EXPECT_EQ(std::string(out), dir);
        EXPECT_EQ(FileCount(dir), 0);
    }
}

TEST_F(SysFolder, AFolderThatCannotBeWrittenSendsFilesToTheUsersFolder)
{
    // A program folder that takes no file: one that does not exist, or a file in its place.
    const std::string file = dir + "\\plain";
    HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    for (const std::string &given : {dir + "\\missing", file}) {
        char out[MAX_PATH];
        ASSERT_GT(sSysWriteFolder(given.c_str(), out, sizeof out), 0u) << given;
        EXPECT_EQ(std::string(out), AppDataKestrel());
        EXPECT_NE(GetFileAttributesA(out) & FILE_ATTRIBUTE_DIRECTORY, 0u);
        char path[MAX_PATH + 32];
        ASSERT_GT(sSysWritePath(given.c_str(), "KestrelFrames.csv", path, sizeof path), 0u);
        EXPECT_EQ(std::string(path), AppDataKestrel() + "\\KestrelFrames.csv");
    }
    DeleteFileA(file.c_str());
}

TEST_F(SysFolder, WithoutAFolderItIsTheRunningProgramsAndAPathThatDoesNotFitIsRefused)
{
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string own = self;
    own.resize(own.find_last_of('\\'));
    char out[MAX_PATH];
    ASSERT_GT(sSysWriteFolder(nullptr, out, sizeof out), 0u);
    EXPECT_EQ(std::string(out), own);

    char small[8] = "x";
    EXPECT_EQ(sSysWritePath(dir.c_str(), "KestrelFrames.csv", small, sizeof small), 0u);
    EXPECT_EQ(small[0], 0);
    EXPECT_EQ(sSysWriteFolder(dir.c_str(), small, sizeof small), 0u);
}

} // namespace
