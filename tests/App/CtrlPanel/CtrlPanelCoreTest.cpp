// The control panel's portable rules: scores, the overall score, system text lines, option checks
// and the results file's text, compared byte for byte with golden files.

#include "App/CtrlPanel/CtrlPanelCore.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "System/Env/Env.h"

namespace {

std::string ReadGolden(const char *aName)
{
    std::ifstream in(std::string("golden/") + aName, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// KESTREL_WRITE_GOLDEN=1 rewrites a golden file from the current output (for review in the diff).
void ExpectGolden(const char *aName, const std::string &aText)
{
    if (std::getenv("KESTREL_WRITE_GOLDEN")) {
        std::ofstream(std::string("golden/") + aName, std::ios::binary) << aText;
    }
    EXPECT_EQ(aText, ReadGolden(aName)) << aName;
}

struct Results {
    _cpEnv env = {};
    _cpScore scores[CP_TEST_NUM] = {};
    _cpScore overall = {};
    _cpResultInfo info = {};
    std::string clock = cpMakeClockStr(1533000000u);

    Results(uint32_t aSupport)
    {
        env.mainOption = CP_MAIN_SCREEN;
        env.cpuOption = 0xFFFFFFFF;
        env.benchTestOption = 0xFFFFFFFF;
        info.cpuNameP = "AMD Athlon(tm) XP 1800+";
        info.clockP = clock.c_str();
        info.adapterP = "Wine D3D Display Adapter";
        info.freeMem = 523412;
        info.totalMem = 1048048;
        info.freeVram = 61440;
        info.directXVer = 0x700;
        info.cpuSupport = aSupport;
        info.envP = &env;
        info.scoresP = scores;
        info.overallP = &overall;
    }
    std::string Text() { return cpMakeResultsText(info); }
};

TEST(CtrlPanelScore, ScoreIsThirtyTwoTimesTheAverageTruncatedAndOnlyRowsZeroToNineAreStored)
{
    _cpScore scores[CP_TEST_NUM + 1] = {};
    EXPECT_EQ(cpStoreScore(scores, 3, 80.0, 61.49, 1.5, 16.2), 1);
    EXPECT_EQ(scores[3].useB, 1);
    EXPECT_EQ(scores[3].score, 1967); // 32 * 61.49 = 1967.68
    EXPECT_DOUBLE_EQ(scores[3].frameTime, 16.2);
    EXPECT_EQ(cpStoreScore(scores, 10, 1, 1, 1, 1), 0);
    EXPECT_EQ(cpStoreScore(scores, -1, 1, 1, 1, 1), 0);
    EXPECT_EQ(scores[10].useB, 0);
}

TEST(CtrlPanelScore, OverallNeedsAllTenAndAveragesThem)
{
    _cpScore scores[CP_TEST_NUM] = {};
    _cpScore overall = {};
    for (int i = 0; i < CP_TEST_NUM; ++i) {
        if (i == 1 || i == 3 || i == 5)
            continue; // a Light run
        cpStoreScore(scores, i, 100 + i, 50 + i, 2, 20);
    }
    EXPECT_EQ(cpMakeOverallScore(scores, &overall), 0);
    EXPECT_EQ(overall.useB, 0);
    EXPECT_EQ(overall.score, 0);
    for (int i : {1, 3, 5})
        cpStoreScore(scores, i, 100 + i, 50 + i, 2, 20);
    ASSERT_EQ(cpMakeOverallScore(scores, &overall), 1);
    EXPECT_EQ(overall.useB, 1);
    EXPECT_DOUBLE_EQ(overall.fpsAve, 54.5);
    EXPECT_DOUBLE_EQ(overall.fpsPeak, 104.5);
    EXPECT_DOUBLE_EQ(overall.cps, 2);
    EXPECT_DOUBLE_EQ(overall.frameTime, 0);
    // The sum of the truncated scores, divided and truncated again: (1600 + ... + 1888) / 10.
    EXPECT_EQ(overall.score, 17440 / 10);
}

TEST(CtrlPanelText, TwentySixCharactersFitOnOneLineAndLongerBreaksAtTheLastSpace)
{
    char first[CP_LINE_MAX + 1];
    const char *rest = nullptr;
    cpSplitLine("AMD Athlon(tm) XP 1800+ ab", first, &rest); // 26
    EXPECT_STREQ(first, "AMD Athlon(tm) XP 1800+ ab");
    EXPECT_EQ(rest, nullptr);
    cpSplitLine("AMD Athlon(tm) XP 1800+ abc", first, &rest); // 27: last space at 23
    EXPECT_STREQ(first, "AMD Athlon(tm) XP 1800+");
    EXPECT_STREQ(rest, "abc");
    cpSplitLine("Intel(R) Pentium(R) 4 CPU 2.40GHz", first, &rest); // space at index 25
    EXPECT_STREQ(first, "Intel(R) Pentium(R) 4 CPU");
    EXPECT_STREQ(rest, "2.40GHz");
    cpSplitLine("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123", first, &rest); // no space: cut at the line's end
    EXPECT_STREQ(first, "ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    EXPECT_STREQ(rest, "0123");
    cpSplitLine("", first, &rest);
    EXPECT_STREQ(first, "");
    EXPECT_EQ(rest, nullptr);
}

TEST(CtrlPanelText, ClockAndDirectXTexts)
{
    EXPECT_EQ(cpMakeClockStr(1533000000u), "1.533 GHz");
    EXPECT_EQ(cpMakeClockStr(1000000000u), "1000.00 MHz");
    EXPECT_EQ(cpMakeClockStr(800050000u), "800.05 MHz");
    EXPECT_EQ(cpMakeClockStr(2500u), "2.50 KHz");
    EXPECT_EQ(cpMakeClockStr(1000u), "1000 Hz");
    EXPECT_EQ(cpMakeClockStr(0xFFFFFFFFu), "");
    EXPECT_STREQ(cpMakeDirectXVerStr(0), "No DirectX installed");
    EXPECT_STREQ(cpMakeDirectXVerStr(0x700), "DirectX 7");
    EXPECT_STREQ(cpMakeDirectXVerStr(0x800), "DirectX 8");
    EXPECT_STREQ(cpMakeDirectXVerStr(0x600), "Less than DirectX 7");
}

TEST(CtrlPanelOption, UnofferedDeviceAndDisplayFallBackToTheLowestOfferedBit)
{
    _cpEnv env = {};
    env.deviceOption = 0x1;
    env.displayOption = 0x2;
    cpCheckOption(&env, 0x2 | 0x4, 0x3FF);
    EXPECT_EQ(env.deviceOption, 0x2u); // 0x4 is never offered
    EXPECT_EQ(env.displayOption, 0x2u);
    cpCheckOption(&env, 0x3, 0x300);
    EXPECT_EQ(env.deviceOption, 0x2u);
    EXPECT_EQ(env.displayOption, 0x100u);
    cpCheckOption(&env, 0xC, 0xFFF00000); // nothing offered: the options stay
    EXPECT_EQ(env.deviceOption, 0x2u);
    EXPECT_EQ(env.displayOption, 0x100u);
}

TEST(CtrlPanelResults, AllTenScoredWithSse2AndEnhanced3DNowNames)
{
    Results r(ENV_EX_MMX | ENV_EX_SSE | ENV_EX_SSE2 | ENV_EX_3DNOW | ENV_EX_E3DNOW);
    r.env.cpuOption = CP_CPU_MMX | CP_CPU_SSE2 | CP_CPU_E3DNOW; // SSE box cleared, 3DNow! box cleared
    r.env.benchOption = CP_OPTION_LOOP | CP_OPTION_CHALLENGE | CP_OPTION_FRAMETIME;
    std::strcpy(r.env.objFilePath, "C:\\Objects\\Ship.lwo");
    for (int i = 0; i < CP_TEST_NUM; ++i)
        cpStoreScore(r.scores, i, 120.5 + i, 60.25 + 3 * i, 1.0, 16.6);
    ASSERT_EQ(cpMakeOverallScore(r.scores, &r.overall), 1);
    ExpectGolden("all_ten.txt", r.Text());
}

TEST(CtrlPanelResults, NoneScoredWithSseAnd3DNowNames)
{
    Results r(ENV_EX_MMX | ENV_EX_SSE | ENV_EX_3DNOW);
    r.env.cpuOption = CP_CPU_SSE | CP_CPU_3DNOW;
    r.env.benchOption = CP_OPTION_BGM | CP_OPTION_PROTECT;
    r.clock = cpMakeClockStr(0xFFFFFFFFu);
    r.info.clockP = r.clock.c_str();
    r.info.directXVer = 0x800;
    ExpectGolden("none.txt", r.Text());
}

TEST(CtrlPanelResults, LightEditionWithSevenScoresHasNoOverallScore)
{
    Results r(ENV_EX_MMX | ENV_EX_SSE);
    r.env.benchTestOption = 0xFFFFFFFF & ~0x2Au;
    for (int i = 0; i < CP_TEST_NUM; ++i)
        if (r.env.benchTestOption & (1u << i))
            cpStoreScore(r.scores, i, 90, 45.5 + i, 1.0, 22);
    EXPECT_EQ(cpMakeOverallScore(r.scores, &r.overall), 0);
    ExpectGolden("light_seven.txt", r.Text());
}

TEST(CtrlPanelResults, FreeMemoryValueStartsAtColumnTwentyEight)
{
    Results r(0);
    const std::string text = r.Text();
    EXPECT_NE(text.find("\nFree Memory                 523412 KB\n"), std::string::npos);
    EXPECT_EQ(text.rfind("Kestrel Ver 1.2 Results File\n\n---", 0), 0u);
}

} // namespace
