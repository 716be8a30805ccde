#include "System/Sys/SysCore.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

constexpr uint32_t MiB = 1024 * 1024;

TEST(DisplayTable, EveryRowMapsToItsBitAndBack)
{
    for (int n = 0; n < DISPLAY_MODE_NUM; ++n) {
        int w = 0, h = 0, d = 0;
        ASSERT_EQ(sSysGetDisplaySize(1u << n, &w, &h, &d), 1) << n;
        uint32_t option = 0;
        ASSERT_EQ(sSysGetDisplayOption(w, h, d, &option), 1);
        EXPECT_EQ(option, 1u << n);
    }
    int w = 0, h = 0, d = 0;
    sSysGetDisplaySize(0x400, &w, &h, &d);
    EXPECT_EQ(w * 10000 + h * 10 + d / 16, 1280 * 10000 + 1024 * 10 + 1);
}

TEST(DisplayTable, WordsThatAreNotOneRowFindNothingAndLeaveOutputs)
{
    int w = -1, h = -1, d = -1;
    EXPECT_EQ(sSysGetDisplaySize(0x3, &w, &h, &d), 0); // two bits set
    EXPECT_EQ(sSysGetDisplaySize(0, &w, &h, &d), 0);
    EXPECT_EQ(sSysGetDisplaySize(0x10000, &w, &h, &d), 0);
    EXPECT_EQ(w, -1);
    EXPECT_EQ(h, -1);
    EXPECT_EQ(d, -1);
    uint32_t option = 77;
    EXPECT_EQ(sSysGetDisplayOption(640, 480, 8, &option), 0); // 8 and 24 bits are not in the table
    EXPECT_EQ(sSysGetDisplayOption(640, 480, 24, &option), 0);
    EXPECT_EQ(option, 77u);
}

TEST(HardwareGrade, ThresholdsAreInclusiveAtTheirExactEdges)
{
    const struct { uint32_t video, physical; _sysGrade grade; } cases[] = {
        {28 * MiB, 120 * MiB, SYS_GRADE_FULLSPEC},
        {28 * MiB, 120 * MiB - 1, SYS_GRADE_LIGHT},
        {28 * MiB - 1, 120 * MiB, SYS_GRADE_LIGHT},
        {28 * MiB, 119 * MiB, SYS_GRADE_LIGHT},
        {12 * MiB, 44 * MiB, SYS_GRADE_LIGHT},
        {12 * MiB - 1, 44 * MiB, SYS_GRADE_NONE},
        {12 * MiB, 44 * MiB - 1, SYS_GRADE_NONE},
        {UINT32_MAX, UINT32_MAX, SYS_GRADE_FULLSPEC},
        {0, UINT32_MAX, SYS_GRADE_NONE},
    };
    for (const auto &c : cases)
        EXPECT_EQ(sSysGradeHardware(c.video, c.physical), c.grade) << c.video << " " << c.physical;
}

TEST(HardwareGrade, VideoSumSaturatesInsteadOfWrapping)
{
    const uint32_t desktop = 1600 * 1200 * 4;
    const uint32_t wineVram = 4095 * MiB; // what Wine reports by default
    EXPECT_EQ(sSysAddVideoSize(desktop, wineVram), UINT32_MAX);
    EXPECT_EQ(sSysGradeHardware(sSysAddVideoSize(desktop, wineVram), 512 * MiB), SYS_GRADE_FULLSPEC);
    EXPECT_EQ(sSysAddVideoSize(desktop, 16 * MiB), desktop + 16 * MiB);
    EXPECT_EQ(sSysAddVideoSize(UINT32_MAX, 1), UINT32_MAX);
    EXPECT_EQ(sSysAddVideoSize(0, 0), 0u);
}

class ForceLightList : public ::testing::Test {
protected:
    std::string path = ::testing::TempDir() + "kestrel_force_light_list";
    void Write(const char *aText)
    {
        FILE *fp = std::fopen(path.c_str(), "wb");
        ASSERT_NE(fp, nullptr);
        std::fputs(aText, fp);
        std::fclose(fp);
    }
    void TearDown() override { std::remove(path.c_str()); }
};

TEST_F(ForceLightList, AbsentFileListsNothing)
{
    std::remove(path.c_str());
    EXPECT_EQ(sSysForceLightListed(path.c_str(), "Any Adapter"), 0);
}

TEST_F(ForceLightList, LinesMatchAsSubstringsOfTheDescription)
{
    Write("Savage4\nVoodoo3\nRage 128");
    EXPECT_EQ(sSysForceLightListed(path.c_str(), "3dfx Voodoo3 3000"), 1);
    EXPECT_EQ(sSysForceLightListed(path.c_str(), "ATI Rage 128 Pro"), 1); // last line without newline
    EXPECT_EQ(sSysForceLightListed(path.c_str(), "NVIDIA GeForce GTX 470"), 0);
    EXPECT_EQ(sSysForceLightListed(path.c_str(), "voodoo3"), 0); // case counts
}

TEST_F(ForceLightList, EmptyLineMatchesEveryAdapter)
{
    Write("Savage4\n\nVoodoo3\n");
    EXPECT_EQ(sSysForceLightListed(path.c_str(), "NVIDIA GeForce GTX 470"), 1);
    Write("");
    EXPECT_EQ(sSysForceLightListed(path.c_str(), "NVIDIA GeForce GTX 470"), 0); // no line at all
}

TEST_F(ForceLightList, LongLinesAreReadInPiecesOf511)
{
    std::string line(600, 'x');
    Write((line + "\n").c_str());
    EXPECT_EQ(sSysForceLightListed(path.c_str(), "adapter xxxxx"), 0);
    EXPECT_EQ(sSysForceLightListed(path.c_str(), std::string(89, 'x').c_str()), 1); // the 89-byte tail
}

} // namespace
