// The texture manager on a real device under Wine: sharing, compositing, the registry, restore,
// movies and bad files.

#include <gtest/gtest.h>

#include <cstring>

#include "DeviceFixture.h"
#include "System/Draw/DrawMan.h"
#include "System/Texture/TEXMAN.h"

namespace {

class TexMan : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(fx::Open(640, 480, 32, false, false), 0);
        sTexManInit(256, 256);
    }
    void TearDown() override
    {
        sTexManExit();
        fx::Close();
    }
    static long Entry(const std::string &aName, uint16_t aFlg, uint32_t aColor = 0, float aOpacity = 1.0f,
                      const _pageInfo *aInfoP = nullptr, const std::string &aAlpha = "")
    {
        return sTexPageEntry(aName.c_str(), aAlpha.c_str(), aFlg, aColor, aOpacity, aInfoP);
    }
    static uint32_t Alpha(long aPage, long aX, long aY)
    {
        uint32_t alpha = 0;
        fx::ReadRaw(sTexGetSurfacePtr(aPage), aX, aY, &alpha);
        return alpha;
    }
    static uint32_t Rgb(long aPage, long aX, long aY) { return fx::ReadRgb(sTexGetSurfacePtr(aPage), aX, aY); }
};

TEST_F(TexMan, EqualRequestsShareAPage)
{
    const std::string bmp = fx::Bmp("kt_share.bmp", fx::Flat(64, 64, 0x102030FF));
    const long a = Entry(bmp, 0x0001);
    ASSERT_NE(a, -1);
    EXPECT_EQ(Entry(bmp, 0x0001), a);
    const long b = Entry(bmp, 0x0003);
    EXPECT_NE(b, -1);
    EXPECT_NE(b, a);
    EXPECT_EQ(texMan.pageCnt, 2);
    // Colour keys and projection data tell requests apart; a request without projection data
    // takes any page with the flag.
    const long k1 = Entry(bmp, 0x0041, 0x000000);
    const long k2 = Entry(bmp, 0x0041, 0xFFFFFF);
    EXPECT_NE(k1, k2);
    EXPECT_EQ(Entry(bmp, 0x0041, 0xFFFFFF), k2);
    _pageInfo p1 = {}, p2 = {};
    p1.wrpw = 1.0f;
    p2.wrpw = 2.0f;
    const long j1 = Entry(bmp, 0x0401, 0, 1.0f, &p1);
    const long j2 = Entry(bmp, 0x0401, 0, 1.0f, &p2);
    EXPECT_NE(j1, j2);
    EXPECT_EQ(Entry(bmp, 0x0401, 0, 1.0f, nullptr), j1);
    EXPECT_EQ(std::memcmp(&sTexGetPagePtr(j2)->pageInfo, &p2, sizeof p2), 0);
    // Opacity requests share only with equal opacity.
    const long o1 = Entry(bmp, 0x0081, 0, 0.5f);
    EXPECT_EQ(Entry(bmp, 0x0081, 0, 0.5f), o1);
    EXPECT_NE(Entry(bmp, 0x0081, 0, 0.25f), o1);
}

TEST_F(TexMan, TexturesAreSizedAndFormattedByTheirFlags)
{
    const std::string tga = fx::Tga("kt_size.tga", fx::Flat(100, 60, 0x336699FF));
    uint32_t tw, th;
    sDrawCalcTexSize(100, 60, &tw, &th);
    const long p16 = Entry(tga, 0x0001), p32 = Entry(tga, 0x0003);
    ASSERT_NE(p16, -1);
    ASSERT_NE(p32, -1);
    uint32_t w, h;
    fx::SurfaceSize(sTexGetSurfacePtr(p16), &w, &h);
    EXPECT_EQ(w, tw);
    EXPECT_EQ(h, th);
    EXPECT_EQ(fx::SurfaceBits(sTexGetSurfacePtr(p16)), 16u);
    EXPECT_EQ(fx::SurfaceBits(sTexGetSurfacePtr(p32)), 32u);
    EXPECT_EQ(Rgb(p32, 0, 0), 0x336699u);
    EXPECT_EQ(Rgb(p32, 99, 59), 0x336699u);
    // A bitmap without the texture flag keeps its own size.
    const std::string bmp = fx::Bmp("kt_plain.bmp", fx::Flat(100, 60, 0x336699FF));
    const long plain = Entry(bmp, 0x0002);
    ASSERT_NE(plain, -1);
    fx::SurfaceSize(sTexGetSurfacePtr(plain), &w, &h);
    EXPECT_EQ(w, 100u);
    EXPECT_EQ(h, 60u);
}

TEST_F(TexMan, ColourKeyGivesAlphaZeroOnlyToTheKeyColour)
{
    const std::string never = fx::Bmp("kt_never.bmp", fx::Flat(32, 32, 0x102030FF));
    const long p = Entry(never, 0x0041, RGB(255, 0, 255));
    ASSERT_NE(p, -1);
    for (long y = 0; y < 32; y += 7)
        for (long x = 0; x < 32; x += 7)
            EXPECT_EQ(Alpha(p, x, y), 0xFFu) << x << "," << y;
    const std::string half = fx::Bmp("kt_half.bmp", fx::Halves(32, 32, 0x000000FF, 0xFF8000FF));
    const long q = Entry(half, 0x0041, RGB(0, 0, 0));
    ASSERT_NE(q, -1);
    EXPECT_EQ(Alpha(q, 3, 3), 0u);
    EXPECT_EQ(Alpha(q, 28, 3), 0xFFu);
    EXPECT_EQ(Rgb(q, 28, 3), 0xFF8000u);
}

TEST_F(TexMan, AlphaImagesNegativesAndInvertedAlpha)
{
    const std::string color = fx::Bmp("kt_color.bmp", fx::Flat(32, 32, 0x0A141EFF));
    const std::string alpha = fx::Bmp("kt_alpha.bmp", fx::Halves(32, 32, 0x000040FF, 0x0000C0FF));
    const std::string small = fx::Bmp("kt_small.bmp", fx::Flat(16, 16, 0x000040FF));
    const long a = Entry(color, 0x0005, 0, 1.0f, nullptr, alpha);
    ASSERT_NE(a, -1);
    EXPECT_EQ(Alpha(a, 2, 2), 0x40u);
    EXPECT_EQ(Alpha(a, 30, 2), 0xC0u);
    EXPECT_EQ(Rgb(a, 2, 2), 0x0A141Eu);
    const long inv = Entry(color, 0x0205, 0, 1.0f, nullptr, alpha);
    EXPECT_EQ(Alpha(inv, 2, 2), 0xBFu);
    EXPECT_EQ(Alpha(inv, 30, 2), 0x3Fu);
    // An alpha image of another size is ignored: the page is as without one.
    const long plain = Entry(color, 0x0003);
    const long ignored = Entry(color, 0x0005, 0, 1.0f, nullptr, small);
    ASSERT_NE(ignored, -1);
    EXPECT_EQ(Alpha(ignored, 2, 2), Alpha(plain, 2, 2));
    const long neg = Entry(color, 0x0103);
    EXPECT_EQ(Rgb(neg, 5, 5), 0xF5EBE1u);
    EXPECT_EQ(Alpha(neg, 5, 5), Alpha(plain, 5, 5));
    // The key comes after the opacity: a keyed page has full or no alpha whatever the opacity.
    const long faded = Entry(color, 0x00C1, RGB(1, 2, 3), 0.5f);
    EXPECT_EQ(Alpha(faded, 5, 5), 0xFFu);
}

TEST_F(TexMan, TheRegistryIsAskedBeforeTheFile)
{
    uint32_t *pixels = (uint32_t *)std::malloc(8 * 8 * 4);
    for (int i = 0; i < 64; ++i)
        pixels[i] = 0x11AA55FF;
    drawMan.fileP[5]->EntryImage("only.tga", pixels, 8, 8, 32, DRAW_FILE_PIXELS, sDrawFileMakeKey("only.tga"));
    const long p = Entry("Data\\Nowhere\\Only.tga", 0x0003);
    ASSERT_NE(p, -1);
    EXPECT_EQ(Rgb(p, 4, 4), 0x11AA55u);
    // A registered bitmap handle serves a bitmap request.
    uint32_t w, h, d;
    const std::vector<uint8_t> bytes = fx::BmpBytes(fx::Flat(8, 8, 0xCC3300FF));
    HBITMAP bmp = (HBITMAP)sDrawLoadBitMapMem(bytes.data(), (long)bytes.size(), &w, &h, &d);
    ASSERT_NE(bmp, nullptr);
    drawMan.fileP[6]->EntryImage("only.bmp", bmp, w, h, d, DRAW_FILE_BITMAP, sDrawFileMakeKey("only.bmp"));
    const long q = Entry("only.bmp", 0x0003);
    ASSERT_NE(q, -1);
    EXPECT_EQ(Rgb(q, 4, 4), 0xCC3300u);
}

TEST_F(TexMan, TheFolderPrefixIsUsedUnlessTheRequestSaysOtherwise)
{
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    const std::string path = fx::Bmp("kt_prefix.bmp", fx::Flat(8, 8, 0x00FF00FF));
    std::string folder(dir);
    if (!folder.empty() && folder.back() == '\\')
        folder.pop_back();
    sTexSetPath(folder.c_str());
    const long p = Entry("kt_prefix.bmp", 0x0001);
    EXPECT_NE(p, -1);
    EXPECT_STREQ(sTexGetPagePtr(p)->fileName, "kt_prefix.bmp");
    EXPECT_EQ(Entry("kt_prefix.bmp", 0x1001), -1); // unchanged name: not in the working folder
    EXPECT_NE(Entry(path, 0x1001), -1);
    sTexSetPath(nullptr); // a null path keeps the prefix
    EXPECT_STREQ(texMan.pathName, folder.c_str());
}

int gRestores;
void RestoreTextures()
{
    ++gRestores;
    sTexPageRestoreAll();
}

TEST_F(TexMan, RestoreRebuildsEveryPageFromItsRequest)
{
    const std::string bmp = fx::Bmp("kt_restore.bmp", fx::Halves(16, 16, 0x000000FF, 0x4080C0FF));
    const long keyed = Entry(bmp, 0x0041, RGB(0, 0, 0));
    const long faded = Entry(bmp, 0x0083, 0, 0.5f);
    const long height = Entry(bmp, 0x0023);
    uint32_t w, h, d;
    const std::vector<uint8_t> bytes = fx::BmpBytes(fx::Flat(8, 8, 0x30C060FF), 32);
    HBITMAP handle = (HBITMAP)sDrawLoadBitMapMem(bytes.data(), (long)bytes.size(), &w, &h, &d);
    const long bitmap = sTexPageBmpEntry(handle, w, h, d, 0x1001);
    ASSERT_NE(keyed, -1);
    ASSERT_NE(faded, -1);
    ASSERT_NE(height, -1);
    ASSERT_NE(bitmap, -1);
    const uint32_t heightPixel = fx::ReadRaw(sTexGetSurfacePtr(height), 2, 2);
    IDirectDrawSurface7 *old = sTexGetSurfacePtr(keyed);
    old->AddRef();
    gRestores = 0;
    drawMan.texCallBackP = RestoreTextures;
    sDrawRestoreSurface();
    EXPECT_EQ(gRestores, 1);
    EXPECT_NE(sTexGetSurfacePtr(keyed), old);
    old->Release();
    EXPECT_EQ(Alpha(keyed, 2, 2), 0u);
    EXPECT_EQ(Alpha(keyed, 12, 2), 0xFFu);
    EXPECT_EQ(Rgb(keyed, 12, 2), 0x4080C0u);
    EXPECT_EQ(Alpha(faded, 12, 2), Alpha(Entry(bmp, 0x0083, 0, 0.5f), 12, 2)); // opacity kept
    EXPECT_EQ(fx::ReadRaw(sTexGetSurfacePtr(height), 2, 2), heightPixel);      // still a normal map
    EXPECT_EQ(Rgb(bitmap, 4, 4), 0x30C060u);
    EXPECT_EQ(texMan.pageCnt, 4);
    // sTexManExit detaches the hook.
    sTexManExit();
    EXPECT_EQ(drawMan.texCallBackP, nullptr);
}

TEST_F(TexMan, MissingAndBrokenImagesGiveNoPage)
{
    std::vector<uint8_t> bytes = fx::BmpBytes(fx::Flat(32, 32, 0x808080FF));
    bytes.resize(bytes.size() / 2);
    const std::string cut = fx::Write("kt_cut.bmp", bytes);
    const std::string tga1 = fx::Write("kt_mapped.tga", {0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 4, 0, 8, 0});
    const std::string ksm = fx::Write("kt_garbage.ksm", std::vector<uint8_t>(100, 0x5A));
    struct Row {
        std::string name;
        uint16_t flags;
    } rows[] = {
        {"kt_absent.bmp", 0x0001}, {cut, 0x0001},           {tga1, 0x0001},
        {ksm, 0x0003},             {"kt_absent.avi", 0x0401}, {"picture.png", 0x0001},
        {"", 0x0001},
    };
    for (const Row &r : rows)
        EXPECT_EQ(Entry(r.name, r.flags), -1) << r.name;
    EXPECT_EQ(texMan.pageCnt, 0);
    EXPECT_EQ(sTexGetSurfacePtr(-1), nullptr);
    EXPECT_EQ(sTexGetPagePtr(300), nullptr);
    sTexPageFree(-1);
    sTexPageFree(7); // a free slot
    EXPECT_EQ(texMan.pageCnt, 0);
    EXPECT_EQ(sTexPageBmpEntry(nullptr, 8, 8, 16, 0x1001), -1);
}

TEST_F(TexMan, AFullPageTableRefusesNewPages)
{
    sTexManInit(2, 2);
    const std::string a = fx::Bmp("kt_a.bmp", fx::Flat(4, 4, 0xFF0000FF));
    const std::string b = fx::Bmp("kt_b.bmp", fx::Flat(4, 4, 0x00FF00FF));
    const std::string c = fx::Bmp("kt_c.bmp", fx::Flat(4, 4, 0x0000FFFF));
    EXPECT_EQ(Entry(a, 1), 0);
    EXPECT_EQ(Entry(b, 1), 1);
    EXPECT_EQ(Entry(c, 1), -1);
    EXPECT_EQ(Entry(a, 1), 0); // sharing still works
    sTexPageFree(0);
    EXPECT_EQ(Entry(c, 1), 0); // the freed slot is taken again
}

TEST_F(TexMan, InfosAreSharedByPageAndRectangle)
{
    _texInfo info = {};
    info.rect = {0, 0, 32, 32};
    info.speedU = 3;
    EXPECT_EQ(sTexInfoEntry(-1, &info), -1);
    const long a = sTexInfoEntry(4, &info);
    ASSERT_NE(a, -1);
    EXPECT_EQ(sTexGetInfoPtr(a)->pageNum, 4);
    EXPECT_EQ(sTexGetInfoPtr(a)->speedU, 3);
    EXPECT_EQ(sTexInfoEntry(4, &info), a);
    EXPECT_NE(sTexInfoEntry(5, &info), a);
    info.rect.right = 16;
    const long b = sTexInfoEntry(4, &info);
    EXPECT_NE(b, a);
    EXPECT_EQ(texMan.texCnt, 3);
    sTexInfoFree(a);
    sTexInfoFree(a);
    EXPECT_EQ(texMan.texCnt, 2);
    EXPECT_EQ(sTexGetInfoPtr(a), nullptr);
}

kbAviClip Clip(uint32_t aW, uint32_t aH)
{
    kbAviClip clip;
    clip.width = aW;
    clip.height = aH;
    clip.rate = 15;
    const uint32_t colors[3] = {0xFF0000FF, 0x00FF00FF, 0x0000FFFF};
    for (uint32_t c : colors)
        clip.frames.push_back(std::vector<uint32_t>((size_t)aW * aH, c));
    clip.frames[1][0] = 0xFFFFFFFF; // top-left pixel of frame 1
    return clip;
}

TEST_F(TexMan, MoviesOpenTheirStreamsInBothDepths)
{
    for (int depth : {16, 24}) {
        const std::string name = fx::Avi(depth == 16 ? "kt_movie16.avi" : "kt_movie24.avi", Clip(100, 60), depth);
        const long page = Entry(name, 0x0401);
        ASSERT_NE(page, -1) << depth;
        _texPage *p = sTexGetPagePtr(page);
        ASSERT_NE(p->aviInfoP, nullptr);
        EXPECT_EQ(p->aviInfoP->streamInfo.dwLength, 3u);
        EXPECT_EQ(p->aviInfoP->streamInfo.rcFrame.right, 100);
        uint32_t tw, th, w, h;
        sDrawCalcTexSize(100, 60, &tw, &th);
        fx::SurfaceSize(p->sufP, &w, &h);
        EXPECT_EQ(w, tw);
        EXPECT_EQ(h, th);
        EXPECT_EQ(sTexPageCheckEntry(name.c_str()), page);
        EXPECT_EQ(sTexPageCheckEntry("other.avi"), -1);
        // Frames come out of the stream as bitmaps with the clip's pixels.
        BITMAPINFOHEADER *frame = (BITMAPINFOHEADER *)AVIStreamGetFrame(p->aviInfoP->getFrameP, 1);
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(frame->biWidth, 100);
        const uint8_t *bits = (const uint8_t *)frame + frame->biSize + frame->biClrUsed * 4;
        const uint32_t stride = ((frame->biWidth * frame->biBitCount / 8) + 3) & ~3u;
        const uint8_t *top = bits + stride * (frame->biHeight - 1);
        if (frame->biBitCount == 24) {
            EXPECT_EQ(top[0], 255);
            EXPECT_EQ(top[3], 0); // frame 1 is green
            EXPECT_EQ(top[4], 255);
        } else if (frame->biBitCount == 16) {
            EXPECT_EQ(top[0] | top[1] << 8, 0x7FFF);
            EXPECT_EQ(top[2] | top[3] << 8, 0x03E0);
        }
        sTexPageFree(page);
        EXPECT_EQ(sTexPageCheckEntry(name.c_str()), -1);
    }
}

} // namespace
