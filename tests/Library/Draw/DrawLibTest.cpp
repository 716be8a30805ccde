// Image surfaces on a real device under Wine: normal maps, KSM and Targa surfaces, checked bitmaps,
// colour values, YUV, fog, render-target textures, the interface package's pictures.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "App/App/AppCore.h"
#include "App/App/Appflow.h"
#include "DeviceFixture.h"
#include "Library/Draw/DrawLib.h"
#include "System/Draw/DrawMan.h"
#include "System/Sys/SYSTEM.h"
#include "System/Texture/TEXMAN.h"

namespace {

class DrawLib : public ::testing::Test {
protected:
    void SetUp() override
    {
        // What the program sets at start: the packages' way to the registry and the loaders.
        entryKsfDrawHook();
        ASSERT_EQ(fx::Open(640, 480, 32, false, false), 0);
    }
    void TearDown() override
    {
        sTexManExit();
        fx::Close();
    }
};

DDPIXELFORMAT Rgb16(void)
{
    DDPIXELFORMAT f = {};
    f.dwSize = sizeof f;
    f.dwFlags = DDPF_RGB;
    f.dwRGBBitCount = 16;
    f.dwRBitMask = 0xF800, f.dwGBitMask = 0x07E0, f.dwBBitMask = 0x001F;
    return f;
}

DDPIXELFORMAT Argb32(void)
{
    DDPIXELFORMAT f = {};
    f.dwSize = sizeof f;
    f.dwFlags = DDPF_RGB | DDPF_ALPHAPIXELS;
    f.dwRGBBitCount = 32;
    f.dwRBitMask = 0xFF0000, f.dwGBitMask = 0xFF00, f.dwBBitMask = 0xFF, f.dwRGBAlphaBitMask = 0xFF000000;
    return f;
}

// A texture of that format filled with pixel memory.
IDirectDrawSurface7 *Texture(DDPIXELFORMAT aFormat, uint32_t aW, uint32_t aH, const std::vector<uint32_t> &aPixels)
{
    IDirectDrawSurface7 *suf = sDrawCreateSurface(aW, aH, &aFormat, DRAW_FLG_TEXTURE);
    if (suf)
        sDrawCopyRgba(suf, aPixels.data(), 0, 0, (long)aW, (long)aH);
    return suf;
}

TEST_F(DrawLib, FlatHeightImagesGiveTheUpNormal)
{
    const std::vector<uint32_t> flat(16 * 16, 0x808080FF);
    struct Row {
        DDPIXELFORMAT format;
        uint32_t normal, mask;
    } rows[] = {{Rgb16(), 16u << 10 | 31u << 5 | 16u, 0xFFFF}, {Argb32(), 0x80FF80, 0xFFFFFF}};
    for (const Row &r : rows) {
        IDirectDrawSurface7 *src = Texture(r.format, 16, 16, flat);
        ASSERT_NE(src, nullptr);
        IDirectDrawSurface7 *map = sDrawMakeHightSuf(src, 0);
        ASSERT_NE(map, nullptr);
        EXPECT_EQ(fx::SurfaceBits(map), r.format.dwRGBBitCount);
        for (long p : {0L, 7L, 15L})
            EXPECT_EQ(fx::ReadRaw(map, p, p) & r.mask, r.normal) << r.format.dwRGBBitCount << " at " << p;
        map->Release();
        src->Release();
    }
    // A step tilts the normals along it; the last column repeats itself.
    std::vector<uint32_t> step(16 * 16, 0x000000FF);
    for (int y = 0; y < 16; ++y)
        for (int x = 8; x < 16; ++x)
            step[y * 16 + x] = 0xFFFFFFFF;
    IDirectDrawSurface7 *src = Texture(Argb32(), 16, 16, step);
    IDirectDrawSurface7 *map = sDrawMakeHightSuf(src, 0);
    ASSERT_NE(map, nullptr);
    EXPECT_LT((fx::ReadRaw(map, 7, 3) >> 16) & 0xFF, 128u);
    EXPECT_EQ(fx::ReadRaw(map, 15, 3) & 0xFFFFFF, 0x80FF80u);
    map->Release();
    src->Release();
}

TEST_F(DrawLib, KsmImagesInEveryPackingBecomeSurfaces)
{
    std::vector<uint32_t> palette(201, 0x000000FF);
    palette[200] = 0x0A141EFF;
    const kbImage indexed = kbImageIndexed(6, 4, palette, std::vector<uint8_t>(24, 200));
    struct Row {
        const char *name;
        int depth, compress;
    } rows[] = {{"kt_k8s.ksm", 8, KB_KSM_STORED}, {"kt_k8r.ksm", 8, KB_KSM_RUNLENGTH},
                {"kt_k8z.ksm", 8, KB_KSM_SLIDE},  {"kt_k24s.ksm", 24, KB_KSM_STORED},
                {"kt_k24z.ksm", 24, KB_KSM_SLIDE}};
    DDPIXELFORMAT f = Argb32();
    for (const Row &r : rows) {
        const std::string path = fx::Ksm(r.name, indexed, r.depth, r.compress);
        uint32_t w = 0, h = 0, d = 0;
        uint32_t *pixels = sDrawLoadKsmFile(path.c_str(), &w, &h, &d);
        ASSERT_NE(pixels, nullptr) << r.name;
        EXPECT_EQ(pixels[0], 0x0A141EFFu) << r.name;
        std::free(pixels);
        IDirectDrawSurface7 *suf = sDrawLoadKsm(path.c_str(), &f, DRAW_FLG_TEXTURE);
        ASSERT_NE(suf, nullptr) << r.name;
        EXPECT_EQ(fx::ReadRgb(suf, 5, 3), 0x0A141Eu) << r.name;
        suf->Release();
    }
    // Pixels in the registry are taken without reading a file.
    uint32_t *held = (uint32_t *)std::malloc(4 * 4 * 4);
    for (int i = 0; i < 16; ++i)
        held[i] = 0x123456FF;
    drawMan.fileP[1]->EntryImage("held.ksm", held, 4, 4, 24, DRAW_FILE_PIXELS, sDrawFileMakeKey("held.ksm"));
    uint32_t w, h, d;
    EXPECT_EQ(_checkFileList("Data\\X\\HELD.KSM", &w, &h, &d), held);
    EXPECT_EQ(w, 4u);
    IDirectDrawSurface7 *suf = sDrawLoadKsm("Data\\X\\held.ksm", &f, DRAW_FLG_TEXTURE);
    ASSERT_NE(suf, nullptr);
    EXPECT_EQ(fx::ReadRgb(suf, 1, 1), 0x123456u);
    suf->Release();
    EXPECT_EQ(sDrawLoadKsm(fx::Write("kt_bad.ksm", {'@', 'K', 'S', 'M'}).c_str(), &f, 1), nullptr);
}

TEST_F(DrawLib, TargaSurfacesAreSizedForTheDevice)
{
    const std::string rle = fx::Tga("kt_rle.tga", fx::Halves(100, 60, 0xFF0000FF, 0x0000FFFF), 24, 10);
    DDPIXELFORMAT f = Argb32();
    IDirectDrawSurface7 *suf = sDrawLoadTarga(rle.c_str(), &f, DRAW_FLG_TEXTURE);
    ASSERT_NE(suf, nullptr);
    uint32_t tw, th, w, h;
    sDrawCalcTexSize(100, 60, &tw, &th);
    fx::SurfaceSize(suf, &w, &h);
    EXPECT_EQ(w, tw);
    EXPECT_EQ(h, th);
    EXPECT_EQ(fx::ReadRgb(suf, 10, 10), 0xFF0000u);
    EXPECT_EQ(fx::ReadRgb(suf, 90, 50), 0x0000FFu);
    suf->Release();
    const std::string mapped = fx::Write("kt_map.tga", {0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 4, 0, 8, 0});
    EXPECT_EQ(sDrawLoadTarga(mapped.c_str(), &f, DRAW_FLG_TEXTURE), nullptr);
    EXPECT_EQ(sDrawLoadTarga("kt_absent.tga", &f, DRAW_FLG_TEXTURE), nullptr);
}

// Puts a little-endian 32-bit value into a byte buffer.
void Set32(std::vector<uint8_t> &aB, size_t aAt, uint32_t aV)
{
    for (int i = 0; i < 4; ++i)
        aB[aAt + i] = (uint8_t)(aV >> (8 * i));
}

TEST_F(DrawLib, BitmapsHeldInMemoryAreCheckedBeforeUse)
{
    const std::vector<uint8_t> good = fx::BmpBytes(fx::Flat(10, 6, 0x204080FF), 24);
    uint32_t w = 0, h = 0, d = 0;
    HBITMAP bmp = (HBITMAP)sDrawLoadBitMapMem(good.data(), (long)good.size(), &w, &h, &d);
    ASSERT_NE(bmp, nullptr);
    EXPECT_EQ(w, 10u);
    EXPECT_EQ(h, 6u);
    EXPECT_EQ(d, 24u);
    DeleteObject(bmp);
    kbImage indexed = fx::Flat(5, 3, 0x112233FF);
    kbImageIndex(&indexed);
    const std::vector<uint8_t> eight = fx::BmpBytes(indexed, 8);
    bmp = (HBITMAP)sDrawLoadBitMapMem(eight.data(), (long)eight.size(), &w, &h, &d);
    ASSERT_NE(bmp, nullptr);
    EXPECT_EQ(d, 8u);
    DDPIXELFORMAT f = Argb32();
    IDirectDrawSurface7 *suf = sDrawLoadBitMapImage(bmp, w, h, d, &f, DRAW_FLG_TEXTURE);
    ASSERT_NE(suf, nullptr);
    EXPECT_EQ(fx::ReadRgb(suf, 0, 0), 0x112233u);
    suf->Release();
    DeleteObject(bmp);

    struct Row {
        const char *what;
        size_t at;
        uint32_t value;
        size_t size;
    } rows[] = {
        {"magic", 0, 0x4D41, 0},          {"cut pixels", 0, 0x4D42, good.size() - 5},
        {"header only", 0, 0x4D42, 20},   {"offset past the end", 10, 0x10000, 0},
        {"offset inside the header", 10, 20, 0}, {"zero width", 18, 0, 0},
        {"negative width", 18, 0xFFFFFFF6, 0},    {"zero height", 22, 0, 0},
        {"huge header", 14, 0x7FFFFFFF, 0},       {"odd depth", 28, 0x00010007, 0},
        {"run-length coded", 30, 1, 0},           {"too many colours", 46, 257, 0},
    };
    for (const Row &r : rows) {
        std::vector<uint8_t> bad = good;
        if (r.at == 0)
            bad[0] = (uint8_t)r.value, bad[1] = (uint8_t)(r.value >> 8);
        else
            Set32(bad, r.at, r.value);
        if (r.size)
            bad.resize(r.size);
        EXPECT_EQ(sDrawLoadBitMapMem(bad.data(), (long)bad.size(), &w, &h, &d), nullptr) << r.what;
    }
    EXPECT_EQ(sDrawLoadBitMapMem(nullptr, 100, &w, &h, &d), nullptr);
}

TEST_F(DrawLib, ColourValuesInTheSurfaceFormat)
{
    const std::vector<uint32_t> blue(8 * 8, 0x0000FFFF);
    struct Row {
        DDPIXELFORMAT format;
        COLORREF color;
        uint32_t value, mask;
    } rows[] = {{Rgb16(), RGB(255, 0, 0), 0xF800, 0xFFFF}, {Rgb16(), RGB(0, 255, 0), 0x07E0, 0xFFFF},
                {Argb32(), RGB(255, 0, 0), 0xFF0000, 0xFFFFFF}, {Argb32(), RGB(1, 2, 3), 0x010203, 0xFFFFFF}};
    for (const Row &r : rows) {
        IDirectDrawSurface7 *suf = Texture(r.format, 8, 8, blue);
        ASSERT_NE(suf, nullptr);
        const uint32_t before = fx::ReadRaw(suf, 0, 0);
        EXPECT_EQ(sDrawGetColor(suf, r.color) & r.mask, r.value) << std::hex << r.color;
        EXPECT_EQ(fx::ReadRaw(suf, 0, 0) & r.mask, before & r.mask); // pixel (0, 0) is put back (through GDI,
                                                                   // which writes no alpha)
        sDrawSetColorKey(suf, r.color);
        DDCOLORKEY key = {};
        EXPECT_TRUE(SUCCEEDED(suf->GetColorKey(DDCKEY_SRCBLT, &key)));
        EXPECT_EQ(key.dwColorSpaceLowValue & r.mask, r.value);
        EXPECT_EQ(key.dwColorSpaceHighValue, key.dwColorSpaceLowValue);
        suf->Release();
    }
    EXPECT_EQ(sDrawGetColor(nullptr, 0), 0u);
}

TEST_F(DrawLib, BitmapsCopyIntoYuvSurfaces)
{
    for (DWORD fourcc : {MAKEFOURCC('Y', 'U', 'Y', '2'), MAKEFOURCC('U', 'Y', 'V', 'Y')}) {
        DDSURFACEDESC2 ddsd = {};
        ddsd.dwSize = sizeof ddsd;
        ddsd.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        ddsd.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
        ddsd.dwWidth = 8;
        ddsd.dwHeight = 4;
        ddsd.ddpfPixelFormat.dwSize = sizeof ddsd.ddpfPixelFormat;
        ddsd.ddpfPixelFormat.dwFlags = DDPF_FOURCC;
        ddsd.ddpfPixelFormat.dwFourCC = fourcc;
        IDirectDrawSurface7 *suf = nullptr;
        if (FAILED(drawMan.ddrawP->CreateSurface(&ddsd, &suf, nullptr)))
            GTEST_SKIP() << "no YUV surfaces on this display";
        const std::vector<uint8_t> bytes = fx::BmpBytes(fx::Halves(4, 2, 0xFFFFFFFF, 0x000000FF), 24);
        uint32_t w, h, d;
        HBITMAP bmp = (HBITMAP)sDrawLoadBitMapMem(bytes.data(), (long)bytes.size(), &w, &h, &d);
        ASSERT_EQ(sDrawCopyBitMap(suf, bmp, 0, 0, 0, 0), 0);
        DDSURFACEDESC2 lock = {};
        lock.dwSize = sizeof lock;
        ASSERT_TRUE(SUCCEEDED(suf->Lock(nullptr, &lock, DDLOCK_WAIT | DDLOCK_READONLY, nullptr)));
        const uint8_t *p = (const uint8_t *)lock.lpSurface;
        const bool uyvy = fourcc == MAKEFOURCC('U', 'Y', 'V', 'Y');
        // Pixels 0-1 white, 6-7 black.
        EXPECT_EQ(p[uyvy ? 1 : 0], 255);
        EXPECT_EQ(p[uyvy ? 0 : 1], 128);
        EXPECT_EQ(p[12 + (uyvy ? 1 : 0)], 0);
        EXPECT_EQ(p[12 + (uyvy ? 2 : 3)], 128);
        suf->Unlock(nullptr);
        DeleteObject(bmp);
        suf->Release();
    }
}

TEST_F(DrawLib, FogIsEnteredWhenTheDeviceHasIt)
{
    D3DDEVICEDESC7 desc = {};
    drawMan.d3dDevP->GetCaps(&desc);
    const DWORD caps = desc.dpcTriCaps.dwRasterCaps;
    const bool table = (caps & D3DPRASTERCAPS_FOGTABLE) && (caps & D3DPRASTERCAPS_WFOG);
    EXPECT_EQ(sDrawTableFogEntry(D3DFOG_LINEAR, 0x00123456, 10.0f, 100.0f, 0.5f), table ? 1 : 0);
    DWORD v = 0;
    if (table) {
        drawMan.d3dDevP->GetRenderState(D3DRENDERSTATE_FOGTABLEMODE, &v);
        EXPECT_EQ(v, (DWORD)D3DFOG_LINEAR);
        drawMan.d3dDevP->GetRenderState(D3DRENDERSTATE_FOGCOLOR, &v);
        EXPECT_EQ(v, 0x00123456u);
        float end = 0.0f;
        drawMan.d3dDevP->GetRenderState(D3DRENDERSTATE_FOGEND, &v);
        std::memcpy(&end, &v, sizeof end);
        EXPECT_FLOAT_EQ(end, 100.0f);
    }
    const bool vertex = (caps & D3DPRASTERCAPS_FOGVERTEX) != 0;
    EXPECT_EQ(sDrawVertexFogEntry(D3DFOG_EXP, 0x00FFFFFF, 0.0f, 0.0f, 0.25f), vertex ? 1 : 0);
    if (vertex) {
        drawMan.d3dDevP->GetRenderState(D3DRENDERSTATE_FOGVERTEXMODE, &v);
        EXPECT_EQ(v, (DWORD)D3DFOG_EXP);
        drawMan.d3dDevP->GetRenderState(D3DRENDERSTATE_RANGEFOGENABLE, &v);
        EXPECT_EQ(v, (DWORD)TRUE);
        float density = 0.0f;
        drawMan.d3dDevP->GetRenderState(D3DRENDERSTATE_FOGDENSITY, &v);
        std::memcpy(&density, &v, sizeof density);
        EXPECT_FLOAT_EQ(density, 0.25f);
    }
}

TEST_F(DrawLib, RenderTargetTexturesTakeTheDrawing)
{
    IDirectDrawSurface7 *target = sDrawCreateTextureSurface(256, 256, -1);
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(fx::SurfaceBits(target), fx::SurfaceBits(drawMan.backP));
    IDirectDrawSurface7 *odd = sDrawCreateTextureSurface(64, 64, 24); // no 24-bit textures: 16
    ASSERT_NE(odd, nullptr);
    EXPECT_EQ(fx::SurfaceBits(odd), 16u);
    odd->Release();
    EXPECT_EQ(sDrawCreateTextureSurface(0, 64, 16), nullptr);

    ASSERT_EQ(sDrawChangeRenderTarget(target), 0);
    EXPECT_TRUE(sDrawHasDepth(target)); // a 640 x 480 depth buffer covers 256 x 256
    EXPECT_FALSE(sDrawHasDepth(drawMan.backP));
    drawMan.d3dDevP->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x0000FF00, 1.0f, 0);
    ASSERT_EQ(sDrawChangeRenderTarget(drawMan.backP), 0);
    EXPECT_TRUE(sDrawHasDepth(drawMan.backP));
    EXPECT_EQ(fx::ReadRgb(target, 100, 100), 0x00FF00u);
    EXPECT_EQ(sDrawChangeRenderTarget(nullptr), -1);
    target->Release();
    sDrawSetBackColor(255, 0, 0);
    sDrawClear();
    EXPECT_EQ(fx::ReadRgb(drawMan.backP, 5, 5), 0xFF0000u);
}

// The interface package with the two pictures that the flows load.
std::string InterfaceFolder(void)
{
    const std::string root = fx::TempPath("kt_ui");
    CreateDirectoryA(root.c_str(), nullptr);
    CreateDirectoryA((root + "\\Data").c_str(), nullptr);
    CreateDirectoryA((root + "\\Data\\Ksf").c_str(), nullptr);
    kbImage numbers = fx::Halves(64, 16, 0x000000FF, 0xFFFFFFFF);
    std::vector<kbKsfEntry> entries = {{"Data\\Com\\Numbers.bmp", fx::BmpBytes(numbers, 32)},
                                       {"Data\\Com\\NowLoading.bmp", fx::BmpBytes(fx::Flat(64, 16, 0x00FF00FF), 32)}};
    kbBytes pack;
    std::string error;
    EXPECT_TRUE(kbKsfWrite(entries, &pack, &error)) << error;
    FILE *fp = std::fopen((root + "\\Data\\Ksf\\09.ksf").c_str(), "wb");
    std::fwrite(pack.data(), 1, pack.size(), fp);
    std::fclose(fp);
    return root;
}

TEST_F(DrawLib, InterfacePicturesFromThePackage)
{
    const std::string root = InterfaceFolder();
    char saved[MAX_PATH];
    GetCurrentDirectoryA(sizeof saved, saved);
    ASSERT_TRUE(SetCurrentDirectoryA(root.c_str()));
    sTexManInit(256, 256);
    entryNumberTex();
    EXPECT_NE(drawMan.numberTexNum, -1);
    IDirectDrawSurface7 *numbers = sTexGetSurfacePtr(drawMan.numberTexNum);
    ASSERT_NE(numbers, nullptr);
    DDCOLORKEY key = {1, 1};
    EXPECT_TRUE(SUCCEEDED(numbers->GetColorKey(DDCKEY_SRCBLT, &key)));
    EXPECT_EQ(key.dwColorSpaceLowValue & 0xFFFFFF, 0u);

    // entryKsf hands every picture to the image registry, slot by slot.
    entryKsf("Data\\Ksf\\09.ksf");
    EXPECT_EQ(sDrawFileCheckList("Numbers.bmp"), 0);
    EXPECT_EQ(sDrawFileCheckList("Data\\Com\\NOWLOADING.BMP"), 1);
    EXPECT_EQ(drawMan.fileP[1]->_type, DRAW_FILE_BITMAP);
    const long page = sTexPageEntry("nowloading.bmp", "", 0x0003, 0, 1.0f, nullptr);
    EXPECT_NE(page, -1);
    EXPECT_EQ(fx::ReadRgb(sTexGetSurfacePtr(page), 4, 4), 0x00FF00u);

    // Without the package (a folder with no Data) nothing is registered.
    const std::string empty = fx::TempPath("kt_ui_none");
    CreateDirectoryA(empty.c_str(), nullptr);
    ASSERT_TRUE(SetCurrentDirectoryA(empty.c_str()));
    drawMan.numberTexNum = -1;
    entryNumberTex();
    EXPECT_EQ(drawMan.numberTexNum, -1);
    SetCurrentDirectoryA(saved);
}

TEST_F(DrawLib, NothingIsMadeWithoutTheDrawManager)
{
    const std::string bmp = fx::Bmp("kt_off.bmp", fx::Flat(8, 8, 0x808080FF));
    fx::Close();
    DDPIXELFORMAT f = Argb32();
    EXPECT_EQ(sDrawLoadBitMap(bmp.c_str(), &f, 1), nullptr);
    EXPECT_EQ(sDrawCreateSurface(8, 8, &f, 1), nullptr);
    EXPECT_EQ(sDrawCreateTextureSurface(8, 8, 16), nullptr);
    uint32_t w = 0, h = 0, d = 0;
    EXPECT_EQ(sDrawGetBitMapSize(bmp.c_str(), &w, &h, &d), 0);
    EXPECT_EQ(w, 8u);
    EXPECT_EQ(sDrawGetBitMapSize("kt_none.bmp", &w, &h, &d), -1);
}

} // namespace
