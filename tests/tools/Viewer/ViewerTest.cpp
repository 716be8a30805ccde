// KsxView.exe started as a content author starts it, on the packages the build wrote into Data:
// frames captured in frame-locked time show the scene, differ from frame to frame and come out
// byte for byte the same on every run; the hangar screens' clips step at their own rates;
// missing and damaged packages end it with a message.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "KbAnim.h"
#include "KbMesh.h"
#include "KbScene.h"

namespace {

std::string gTemp;  // the test's own folder

std::vector<uint8_t> ReadAll(const std::string &aPath)
{
    std::vector<uint8_t> data;
    FILE *fp = std::fopen(aPath.c_str(), "rb");
    if (!fp)
        return data;
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, fp)) > 0)
        data.insert(data.end(), buf, buf + n);
    std::fclose(fp);
    return data;
}

// Runs the viewer with aArgs from the program folder; its exit code, and what it wrote to its
// error stream in aErrP.
DWORD RunViewer(const std::string &aArgs, std::string *aErrP = nullptr)
{
    const std::string errPath = gTemp + "\\stderr.txt";
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    HANDLE err = CreateFileA(errPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = err;
    si.hStdError = err;
    PROCESS_INFORMATION pi = {};
    std::string cmd = "KsxView.exe " + aArgs;
    std::vector<char> line(cmd.begin(), cmd.end());
    line.push_back(0);
    DWORD code = 0xDEAD;
    if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
        if (WaitForSingleObject(pi.hProcess, 60000) == WAIT_TIMEOUT)
            TerminateProcess(pi.hProcess, 0xDEAD);
        GetExitCodeProcess(pi.hProcess, &code);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    CloseHandle(err);
    if (aErrP) {
        const std::vector<uint8_t> text = ReadAll(errPath);
        aErrP->assign(text.begin(), text.end());
    }
    return code;
}

// The 24-bit pixels of a bitmap file, with its size.
struct Picture {
    long width = 0, height = 0;
    std::vector<uint32_t> rgb;
};

Picture ReadBmp(const std::vector<uint8_t> &aFile)
{
    Picture p;
    if (aFile.size() < 54 || aFile[0] != 'B' || aFile[1] != 'M')
        return p;
    int32_t w, h;
    uint32_t off;
    uint16_t bits;
    std::memcpy(&off, &aFile[10], 4);
    std::memcpy(&w, &aFile[18], 4);
    std::memcpy(&h, &aFile[22], 4);
    std::memcpy(&bits, &aFile[28], 2);
    const size_t pitch = ((size_t)w * 3 + 3) & ~(size_t)3;
    if (bits != 24 || w <= 0 || h <= 0 || off + pitch * (size_t)h > aFile.size())
        return p;
    p.width = w;
    p.height = h;
    for (long y = 0; y < h; ++y)
        for (long x = 0; x < w; ++x) {
            const uint8_t *b = &aFile[off + (size_t)y * pitch + (size_t)x * 3];
            p.rgb.push_back((uint32_t)b[2] << 16 | (uint32_t)b[1] << 8 | b[0]);
        }
    return p;
}

class Viewer : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        gTemp = std::string(temp) + "KestrelViewerTest";
        CreateDirectoryA(gTemp.c_str(), nullptr);
    }
    void SetUp() override
    {
        if (GetFileAttributesA("Data\\Ksx\\23.ksx") == INVALID_FILE_ATTRIBUTES)
            GTEST_SKIP() << "no built content beside the program";
    }
};

TEST_F(Viewer, CapturedFramesShowTheSceneDifferAndRepeatByteForByte)
{
    // Game1 with its benchmark row: swords, after-images and feathers stepped frame by frame.
    const std::string a = gTemp + "\\a", b = gTemp + "\\b";
    for (const std::string &dir : {a, b}) {
        std::string err;
        ASSERT_EQ(RunViewer("23 --bench 0 --frames 12,45 --size 320x240 --format bmp --out " + dir, &err), 0u) << err;
    }
    std::vector<uint8_t> first[2], second[2];
    for (int i = 0; i < 2; ++i) {
        first[i] = ReadAll(a + (i ? "\\23_0045.bmp" : "\\23_0012.bmp"));
        second[i] = ReadAll(b + (i ? "\\23_0045.bmp" : "\\23_0012.bmp"));
        ASSERT_FALSE(first[i].empty());
        EXPECT_TRUE(first[i] == second[i]) << "frame " << (i ? 45 : 12) << " came out differently the second time";
    }
    const Picture p12 = ReadBmp(first[0]), p45 = ReadBmp(first[1]);
    ASSERT_EQ(p12.width, 320);
    ASSERT_EQ(p12.height, 240);
    ASSERT_EQ(p45.rgb.size(), p12.rgb.size());
    // Not blank: many colours, and no single colour covering nearly everything.
    for (const Picture *p : {&p12, &p45}) {
        std::set<uint32_t> colours(p->rgb.begin(), p->rgb.end());
        EXPECT_GT(colours.size(), 200u);
        size_t same = 0;
        for (uint32_t c : p->rgb)
            same += c == p->rgb[p->rgb.size() / 2] ? 1 : 0;
        EXPECT_LT(same, p->rgb.size() * 9 / 10);
    }
    size_t moved = 0;
    for (size_t i = 0; i < p12.rgb.size(); ++i)
        moved += p12.rgb[i] != p45.rgb[i] ? 1 : 0;
    EXPECT_GT(moved, p12.rgb.size() / 20) << "the scene moved between frames 12 and 45";
}

// A still camera on the two hangar screens, side by side and filling the view: the scene table
// binds the shapes by name, and their texture sets name the clips the content builder wrote.
std::vector<uint8_t> ScreensPackage()
{
    kbScene sc;
    kbSceneBegin(&sc, 60, 1.0f, 1000.0f, 0x000000, 0x000000, 0.0f);
    struct {
        const char *shape, *clip;
        float x;
    } screens[] = {{"BayScreenStatus", "Data\\Movie\\BayStatus.avi", -1.0f}, {"BayScreenRadar", "Data\\Movie\\BayRadar.avi", 1.0f}};
    for (const auto &s : screens) {
        kbMesh m;
        for (int i = 0; i < 4; i++) {
            _vertexDef v = {};
            v.vx = s.x + (i % 2 ? -1.0f : 1.0f), v.vy = (i / 2 ? 0.5f : -0.5f), v.nz = 1;
            v.u0 = (float)(i % 2), v.v0 = (float)(i / 2);
            m.vertices.push_back(v);
        }
        m.indices = {0, 1, 2, 2, 1, 3};
        kbMeshOrient(&m);
        kbSurface surf = kbSurfaceOf(m, 0x000000, s.clip);
        surf.emissive = kbColor(0xFFFFFF);
        surf.twoSided = true;
        surf.texFlg = 0x401;
        kbAddShape(&sc, s.shape, kbBodyOf({surf}), -1, kbConstant(kbVec3()));
    }
    kbAddCamera(&sc, kbConstant(kbVec3(0, 0, 2.6f)), kbConstant(kbVec3()), 1.2f);
    kbSceneCount(&sc);
    kbBytes out;
    std::string err;
    kbKsxWrite(sc, &out, &err);
    return out;
}

TEST_F(Viewer, MovieScreensStepAtTheirClipsRatesInBothDepths)
{
    if (GetFileAttributesA("Data\\Movie\\BayStatus.avi") == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "no built clips beside the program";
    const std::string pkg = gTemp + "\\screens.ksx", dir = gTemp + "\\screens";
    const std::vector<uint8_t> bytes = ScreensPackage();
    ASSERT_FALSE(bytes.empty());
    FILE *fp = std::fopen(pkg.c_str(), "wb");
    ASSERT_NE(fp, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), fp);
    std::fclose(fp);
    std::string err;
    ASSERT_EQ(RunViewer(pkg + " - --frames 30,31,32,33,34,35,36 --size 320x240 --format bmp --out " + dir, &err), 0u) << err;
    Picture p[7];
    for (int k = 0; k < 7; ++k) {
        char name[32];
        std::snprintf(name, sizeof name, "\\screens_%04d.bmp", 30 + k);
        p[k] = ReadBmp(ReadAll(dir + name));
        ASSERT_EQ(p[k].width, 320) << name;
    }
    // Pixels that changed from frame k to k + 1 in one half of the picture (the status clip shows
    // on the right half, seen from ahead, the radar on the left).
    auto changed = [&](int k, bool right) {
        size_t n = 0;
        for (long y = 0; y < 240; ++y)
            for (long x = right ? 160 : 0; x < (right ? 320 : 160); ++x)
                n += p[k].rgb[y * 320 + x] != p[k + 1].rgb[y * 320 + x] ? 1 : 0;
        return n;
    };
    // 24-bit status clip at 15 a second: a new picture on every second scene frame (30 is movie
    // frame 15). 16-bit radar at 10 a second: on every third.
    for (int k = 0; k < 6; ++k) {
        SCOPED_TRACE(30 + k);
        EXPECT_EQ(changed(k, true) > 50, (30 + k) % 2 == 1) << "status";
        EXPECT_EQ(changed(k, false) > 50, (30 + k) % 3 == 2) << "radar";
    }
    // The radar's sweep is green, the status panel's graph cyan: both clips reached the screen.
    size_t green = 0, cyan = 0;
    for (long y = 0; y < 240; ++y)
        for (long x = 0; x < 320; ++x) {
            const uint32_t c = p[0].rgb[y * 320 + x];
            const uint32_t r = c >> 16, g = (c >> 8) & 0xFF, b = c & 0xFF;
            green += x < 160 && g > 150 && r < 120 && b < 160 ? 1 : 0;
            cyan += x >= 160 && b > 150 && g > 120 && r < 100 ? 1 : 0;
        }
    EXPECT_GT(green, 100u);
    EXPECT_GT(cyan, 100u);
}

TEST_F(Viewer, MissingDamagedAndUnknownInputsEndWithAMessage)
{
    std::string err;
    EXPECT_EQ(RunViewer("99 --frames 0 --out " + gTemp + "\\c", &err), 2u);
    EXPECT_NE(err.find("not found"), std::string::npos) << err;

    // Half a package: the reader refuses it before any window opens.
    const std::vector<uint8_t> good = ReadAll("Data\\Ksx\\23.ksx");
    ASSERT_GT(good.size(), 100u);
    const std::string cut = gTemp + "\\cut.ksx";
    FILE *fp = std::fopen(cut.c_str(), "wb");
    ASSERT_NE(fp, nullptr);
    std::fwrite(good.data(), 1, good.size() / 2, fp);
    std::fclose(fp);
    EXPECT_EQ(RunViewer(cut + " 03 --frames 0 --out " + gTemp + "\\c", &err), 2u);
    EXPECT_NE(err.find("not a readable scene package"), std::string::npos) << err;

    EXPECT_EQ(RunViewer("23 nothere --frames 0 --out " + gTemp + "\\c", &err), 2u);
    EXPECT_NE(err.find("image package Data\\Ksf\\nothere.ksf not found"), std::string::npos) << err;

    // A scene package given as the image package registers nothing.
    EXPECT_EQ(RunViewer("23 Data\\Ksx\\23.ksx --frames 0 --out " + gTemp + "\\c", &err), 2u);
    EXPECT_NE(err.find("registers no images"), std::string::npos) << err;

    EXPECT_EQ(RunViewer("23 --bench 0 --frames 99999 --out " + gTemp + "\\c", &err), 1u);
    EXPECT_NE(err.find("not in the scene's"), std::string::npos) << err;
    EXPECT_EQ(RunViewer("23 --bench 12", &err), 1u);
    EXPECT_NE(err.find("no row 12"), std::string::npos) << err;
    EXPECT_EQ(RunViewer("--frames 1", &err), 1u);
    EXPECT_NE(err.find("usage"), std::string::npos) << err;
}

} // namespace
