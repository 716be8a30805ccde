// The flows' Windows side under Wine: the image packages' hook that the program sets at start,
// before any device exists.

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "App/App/AppCore.h"
#include "App/App/Appflow.h"
#include "DeviceFixture.h"
#include "System/Draw/DrawMan.h"

namespace {

const uint32_t kGreen = 0x00FF00FF;  // 0xRRGGBBAA

// An interface package of two bitmaps in the temporary folder.
std::string Package(void)
{
    std::vector<kbKsfEntry> entries = {{"Data\\Com\\Bar.bmp", fx::BmpBytes(fx::Flat(24, 8, kGreen), 24)},
                                       {"Data\\Com\\Right.bmp", fx::BmpBytes(fx::Flat(16, 4, 0x0000FFFF), 32)}};
    kbBytes pack;
    std::string error;
    EXPECT_TRUE(kbKsfWrite(entries, &pack, &error)) << error;
    return fx::Write("kt_hook.ksf", pack);
}

// The colour of a bitmap's pixel as 0xRRGGBB.
uint32_t BitmapPixel(HBITMAP aBitmapH, int aX, int aY)
{
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, aBitmapH);
    const COLORREF c = GetPixel(dc, aX, aY);
    SelectObject(dc, old);
    DeleteDC(dc);
    return (uint32_t)GetRValue(c) << 16 | (uint32_t)GetGValue(c) << 8 | GetBValue(c);
}

TEST(KsfDrawHook, BitmapsLoadFromPackagesBeforeAnyDevice)
{
    const std::string pack = Package();
    ASSERT_EQ(drawMan.status & DRAW_STAT_INIT, 0u);
    // Without the hook a bitmap cannot be made; the start-up sets it before the panel opens.
    setKsfDrawHook(nullptr);
    uint32_t w = 0, h = 0, d = 0;
    EXPECT_EQ(loadKsfFile(pack.c_str(), "Data\\Com\\Bar.bmp", &w, &h, &d), nullptr);
    entryKsfDrawHook();
    HBITMAP bmp = (HBITMAP)loadKsfFile(pack.c_str(), "Data\\Com\\Bar.bmp", &w, &h, &d);
    ASSERT_NE(bmp, nullptr);
    EXPECT_EQ(w, 24u);
    EXPECT_EQ(h, 8u);
    EXPECT_EQ(d, 24u);
    EXPECT_EQ(BitmapPixel(bmp, 3, 3), 0x00FF00u);
    DeleteObject(bmp);
    // Surfaces and the registry need the draw manager: nothing is made, nothing registered.
    EXPECT_EQ(loadKsf(pack.c_str(), "Data\\Com\\Bar.bmp", nullptr, DRAW_FLG_TEXTURE), nullptr);
    EXPECT_EQ(entryKsf(pack.c_str()), -1);
    EXPECT_EQ(sDrawFileCheckList("bar.bmp"), -1);
}

TEST(KsfDrawHook, TheRegistryAndSurfacesWorkWhileTheDrawManagerIsUp)
{
    const std::string pack = Package();
    entryKsfDrawHook();
    ASSERT_EQ(fx::Open(640, 480, 32, false, false), 0);
    entryKsf(pack.c_str());
    EXPECT_EQ(sDrawFileCheckList("Bar.bmp"), 0);
    EXPECT_EQ(sDrawFileCheckList("Data\\Com\\RIGHT.BMP"), 1);
    uint32_t w = 0, h = 0, d = 0;
    void *image = nullptr;
    ASSERT_EQ(drawMan.fileP[1]->GetInfo(&image, &w, &h, &d), 1);
    EXPECT_NE(image, nullptr);
    EXPECT_EQ(w, 16u);
    EXPECT_EQ(h, 4u);
    IDirectDrawSurface7 *suf = loadKsf(pack.c_str(), "Data\\Com\\Bar.bmp", nullptr, DRAW_FLG_TEXTURE);
    ASSERT_NE(suf, nullptr);
    EXPECT_EQ(fx::ReadRgb(suf, 2, 2), 0x00FF00u);
    suf->Release();
    fx::Close();

    // After the draw manager has gone the bitmaps still load.
    HBITMAP bmp = (HBITMAP)loadKsfFile(pack.c_str(), "Data\\Com\\Right.bmp", &w, &h, &d);
    ASSERT_NE(bmp, nullptr);
    EXPECT_EQ(BitmapPixel(bmp, 1, 1), 0x0000FFu);
    DeleteObject(bmp);
}

} // namespace
