#include <gtest/gtest.h>

#include "ViewerCore.h"

static long Parse(std::vector<std::string> aArgs, _viewArgs *aOutP, std::string *aErrP)
{
    return sViewParseArgs(aArgs, aOutP, aErrP);
}

TEST(ViewerArgs, NumbersNamePackagesInDataAndPathsStayAsWritten)
{
    _viewArgs a;
    std::string err;
    ASSERT_EQ(Parse({"23", "03", "--bench", "0", "--frames", "0,mid,end", "--out", "shots", "--size", "320x240"}, &a,
                    &err),
              0)
        << err;
    EXPECT_EQ(a.scenePath, "Data\\Ksx\\23.ksx");
    EXPECT_EQ(a.imagePath, "Data\\Ksf\\03.ksf");
    EXPECT_TRUE(a.imageGiven);
    EXPECT_EQ(a.table, VIEW_TABLE_BENCH);
    EXPECT_EQ(a.row, 0);
    EXPECT_EQ(a.width, 320);
    EXPECT_EQ(a.height, 240);
    EXPECT_FALSE(a.bmp);

    ASSERT_EQ(Parse({"C:\\work\\my.ksx", "-", "--demo", "20", "--light"}, &a, &err), 0) << err;
    EXPECT_EQ(a.scenePath, "C:\\work\\my.ksx");
    EXPECT_TRUE(a.imageGiven);
    EXPECT_TRUE(a.imagePath.empty()) << "- means no image package";
    EXPECT_EQ(a.table, VIEW_TABLE_DEMO);
    EXPECT_TRUE(a.light);
    EXPECT_TRUE(a.frames.empty()) << "interactive";

    ASSERT_EQ(Parse({"l05"}, &a, &err), 0);
    EXPECT_EQ(a.scenePath, "Data\\Ksx\\l05.ksx");
    EXPECT_FALSE(a.imageGiven);
    EXPECT_EQ(a.table, VIEW_TABLE_NONE);
    EXPECT_EQ(sViewBaseName("Data\\Ksx\\l05.ksx"), "l05");
    EXPECT_EQ(sViewBaseName("out/x.y.ksx"), "x.y");
}

TEST(ViewerArgs, BadCommandLinesAreRefusedWithTheReason)
{
    const struct {
        std::vector<std::string> args;
        const char *reason;
    } cases[] = {
        {{}, "no scene package"},
        {{"23", "03", "extra"}, "more than"},
        {{"23", "--bench"}, "needs a row number"},
        {{"23", "--bench", "x1"}, "not a row number"},
        {{"23", "--bench", "-1"}, "not a row number"},
        {{"23", "--size", "640"}, "not a size"},
        {{"23", "--size", "9999x480"}, "not a size"},
        {{"23", "--size", "0x0"}, "not a size"},
        {{"23", "--format", "gif"}, "neither png nor bmp"},
        {{"23", "--frames", "1"}, "go together"},
        {{"23", "--out", "d"}, "go together"},
        {{"23", "--fast"}, "unknown option"},
    };
    for (const auto &c : cases) {
        _viewArgs a;
        std::string err;
        EXPECT_EQ(Parse(c.args, &a, &err), -1) << c.reason;
        EXPECT_NE(err.find(c.reason), std::string::npos) << err;
    }
}

TEST(ViewerFrames, ListsResolveNamesSortAndStayInsideTheScene)
{
    std::vector<long> f;
    std::string err;
    ASSERT_EQ(sViewFrameList("end,0,mid,start,120", 272, &f, &err), 0) << err;
    EXPECT_EQ(f, (std::vector<long>{0, 120, 136, 271}));
    ASSERT_EQ(sViewFrameList("mid,end", 1, &f, &err), 0);
    EXPECT_EQ(f, (std::vector<long>{0}));
    for (const char *bad : {"272", "0,,5", "", "-3", "end+1", "1e3"})
        EXPECT_EQ(sViewFrameList(bad, 272, &f, &err), -1) << bad;
    EXPECT_EQ(sViewFrameList("start", 0, &f, &err), -1) << "a scene without frames has nothing to capture";
}

TEST(ViewerFrames, FileNamesCarrySceneAndFourDigitFrame)
{
    EXPECT_EQ(sViewFrameFile("docs\\gallery", "23", 7, false), "docs\\gallery\\23_0007.png");
    EXPECT_EQ(sViewFrameFile("out\\", "l05", 1551, true), "out\\l05_1551.bmp");
    EXPECT_EQ(sViewFrameFile("", "05", 12345, false), "05_12345.png");
}

TEST(ViewerPixels, ChannelsWidenToEightBitsForEveryBackBufferFormat)
{
    // 5-6-5, 5-5-5 and 8-8-8 back buffers.
    EXPECT_EQ(sViewPixelRgb(0xFFFF, 0xF800, 0x07E0, 0x001F), 0xFFFFFFu & 0xFFFFFF);
    EXPECT_EQ(sViewPixelRgb(0xF800, 0xF800, 0x07E0, 0x001F), 0xFF0000u);
    EXPECT_EQ(sViewPixelRgb(0x0400, 0xF800, 0x07E0, 0x001F), 0x008200u) << "32 of 63 is 130 of 255";
    EXPECT_EQ(sViewPixelRgb(0x7C1F, 0x7C00, 0x03E0, 0x001F), 0xFF00FFu);
    EXPECT_EQ(sViewPixelRgb(0x12345678, 0xFF0000, 0xFF00, 0xFF), 0x345678u) << "alpha bits are dropped";
    EXPECT_EQ(sViewPixelRgb(0xFFFFFFFF, 0, 0, 0), 0u) << "a format without colour masks reads black";
}
