#include "Common/DEBUGWIN.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

static std::vector<std::string> seen;
static void _collect(const char *aText)
{
    if (std::string(aText) != "\n")
        seen.push_back(aText);
}

TEST(DebugWinResultName, NamesEveryFamilyAndOnlyKnownResults)
{
    const struct {
        uint32_t result;
        const char *name;
    } rows[] = {
        {0x887601C2, "DDERR_SURFACELOST"},   {0x8876021C, "DDERR_WASSTILLDRAWING"},
        {0x887602BC, "D3DERR_BADMAJORVERSION"}, {0x88780096, "DSERR_BUFFERLOST"},
        {0x80004005, "E_FAIL"},              {0x80070057, "E_INVALIDARG"},
        {0x8000FFFF, "E_UNEXPECTED"},        {0x88760005, "DDERR_ALREADYINITIALIZED"},
    };
    for (const auto &r : rows) {
        const char *name = sDebugWinResultName((int32_t)r.result);
        ASSERT_NE(name, nullptr) << std::hex << r.result;
        EXPECT_STREQ(name, r.name);
    }
    EXPECT_EQ(sDebugWinResultName(0), nullptr);
    EXPECT_EQ(sDebugWinResultName((int32_t)0x88760001), nullptr);
    EXPECT_EQ(sDebugWinResultName((int32_t)0xFFFFFFFF), nullptr);
}

// A failure says where, what and why; a repeat is reported on its 2nd, 4th, 8th… occurrence;
// successes and the caller's expected answer are silent; the log file keeps what was said.
TEST(DebugWinCheck, ReportsFailuresOnceEachDoublingAndLogsThem)
{
    const std::string log = ::testing::TempDir() + "debugwin.log";
    std::remove(log.c_str());
    ASSERT_EQ(sDebugWinOpenLog(log.c_str()), 0);
    sDebugWinSetOutput(_collect);
    seen.clear();
    const uint32_t before = sDebugWinFailureCount();

    EXPECT_EQ(sDebugWinCheck(0, "dev->BeginScene()", "a/b/Draw.cpp", 7), 0);
    EXPECT_EQ(sDebugWinCheck(1, "ds->Play()", "Sound.cpp", 8), 1);
    EXPECT_EQ(sDebugWinCheckExpect((int32_t)0x887601C2, (int32_t)0x887601C2, "s->IsLost()", "Draw.cpp", 9),
              (int32_t)0x887601C2);
    ASSERT_TRUE(seen.empty());

    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(DEBUGWIN_CHECK((int32_t)0x887601C2), (int32_t)0x887601C2);
    EXPECT_EQ(sDebugWinCheck((int32_t)0x12345678 | (int32_t)0x80000000, "x->Y(1, 2)", "c:\\src\\Z.cpp", 3),
              (int32_t)0x92345678);
    EXPECT_EQ(sDebugWinCheckExpect((int32_t)0x80004005, (int32_t)0x887601C2, "s->IsLost()", "Draw.cpp", 9),
              (int32_t)0x80004005);
    EXPECT_EQ(sDebugWinFailureCount() - before, 11u);

    const std::vector<std::string> want = {
        "DebugWinTest.cpp(55): (int32_t)0x887601C2 failed: DDERR_SURFACELOST (0x887601C2)",
        "DebugWinTest.cpp(55): (int32_t)0x887601C2 failed: DDERR_SURFACELOST (0x887601C2) [2 times]",
        "DebugWinTest.cpp(55): (int32_t)0x887601C2 failed: DDERR_SURFACELOST (0x887601C2) [4 times]",
        "DebugWinTest.cpp(55): (int32_t)0x887601C2 failed: DDERR_SURFACELOST (0x887601C2) [8 times]",
        "Z.cpp(3): x->Y(1, 2) failed: unknown result (0x92345678)",
        "Draw.cpp(9): s->IsLost() failed: E_FAIL (0x80004005)",
    };
    EXPECT_EQ(seen, want);

    sDebugWinCloseLog();
    sDebugWinSetOutput(nullptr);
    std::vector<std::string> logged;
    if (FILE *f = std::fopen(log.c_str(), "r")) {
        char line[600];
        while (std::fgets(line, sizeof line, f)) {
            std::string s(line);
            if (!s.empty() && s.back() == '\n')
                s.pop_back();
            logged.push_back(s);
        }
        std::fclose(f);
    }
    EXPECT_EQ(logged, want);
    EXPECT_EQ(sDebugWinOpenLog(""), -1);
    EXPECT_EQ(sDebugWinOpenLog((::testing::TempDir() + "no/such/folder/x.log").c_str()), -1);
}
