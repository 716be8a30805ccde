#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "App/App/AppCore.h"
#include "ContentCheck.h"
#include "KbAnim.h"
#include "KbAvi.h"
#include "KbImage.h"
#include "KbKsf.h"

namespace {

// A small scene that obeys every rule of the first benchmark scene except its length and budget.
kbScene _scene()
{
    kbScene sc;
    kbSceneBegin(&sc, 300, 1, 1000, 0, 0x808080, 0.5f);
    auto blade = [] { return kbBodyOf({kbSurfaceOf(kbMeshBox(kbVec3(0.1f, 0.1f, 1)), 0xFFFFFF)}); };
    int l = kbAddShape(&sc, "L_Sword", blade(), -1, [](int f) { return kbVec3((float)f, 0, 0); });
    kbAddShape(&sc, "R_sword", blade(), -1, kbConstant(kbVec3(0, 0, 5)));
    kbAddShape(&sc, "s_img1", nullptr, l, kbConstant(kbVec3(0, 0, 1)));
    kbAddShape(&sc, "e_img1", nullptr, l, kbConstant(kbVec3(0, 0, 0)));
    kbAddCamera(&sc, kbConstant(kbVec3(0, 5, -10)), kbConstant(kbVec3()), 0.9f);
    kbSceneCount(&sc);
    return sc;
}

ccSceneRules _rules()
{
    ccSceneRules r = ccBenchmarkScenes()[0];
    r.polygons = 0;
    return r;
}

ccFindings _check(const kbScene &aScene, const ccSceneRules &aRules)
{
    kbBytes file;
    std::string err;
    ccFindings out;
    if (!kbKsxWrite(aScene, &file, &err)) {
        out.push_back("writer: " + err);
        return out;
    }
    uint8_t *data = entryKsxMem(file.data(), (long)file.size());
    if (!data) {
        out.push_back("reader refused it");
        return out;
    }
    ccCheckScene(data, (long)file.size() - 16, aRules, &out);
    free(data);
    return out;
}

bool _mentions(const ccFindings &aFindings, const std::string &aText)
{
    for (const std::string &f : aFindings)
        if (f.find(aText) != std::string::npos)
            return true;
    return false;
}

}  // namespace

TEST(ContentCheck, ASoundSceneHasNoFindings)
{
    ccFindings f = _check(_scene(), _rules());
    EXPECT_TRUE(f.empty()) << (f.empty() ? "" : f[0]);
}

TEST(ContentCheck, NamesTheCallbacksLookUpMustBeExact)
{
    kbScene sc = _scene();
    kbSetName(sc.shapes[1].def.name, "R_Sword");  // wrong case
    EXPECT_TRUE(_mentions(_check(sc, _rules()), "\"R_sword\""));
    sc = _scene();
    kbSetName(sc.shapes[3].def.name, "e_img2");  // the pair is broken
    EXPECT_TRUE(_mentions(_check(sc, _rules()), "has no e_img1"));
}

TEST(ContentCheck, AccidentalLocatorNamesAreFound)
{
    kbScene sc = _scene();
    auto box = kbBodyOf({kbSurfaceOf(kbMeshBox(kbVec3(1, 1, 1)), 0xFFFFFF)});
    kbAddShape(&sc, "Blade_img1", box, -1, kbConstant(kbVec3()));
    kbAddShape(&sc, "thandle", kbBodyOf({kbSurfaceOf(kbMeshBox(kbVec3(1, 1, 1)), 0xFFFFFF)}), -1, kbConstant(kbVec3()));
    kbAddShape(&sc, "Hull_change2_", kbBodyOf({kbSurfaceOf(kbMeshBox(kbVec3(1, 1, 1)), 0xFFFFFF)}), -1, kbConstant(kbVec3()));
    ccFindings f = _check(sc, _rules());
    EXPECT_TRUE(_mentions(f, "Blade_img1: holds \"e_img\""));
    EXPECT_TRUE(_mentions(f, "thandle: starts with \"thand\""));
    EXPECT_TRUE(_mentions(f, "Hull_change2_: holds \"_change2_\""));
    // A locator with a body would be drawn and share bodies by name.
    sc = _scene();
    sc.shapes[2].body = box;
    EXPECT_TRUE(_mentions(_check(sc, _rules()), "s_img1: a locator should have no body"));
}

TEST(ContentCheck, LengthsRunsAndBudgetsAreMeasured)
{
    ccSceneRules r = _rules();
    r.minFrames = 301;
    EXPECT_TRUE(_mentions(_check(_scene(), r), "300 frames, at least 301"));
    kbScene sc = _scene();
    sc.shapes[0].motion.runs.back().length -= 5;  // the runs stop short of the scene
    EXPECT_TRUE(_mentions(_check(sc, _rules()), "key runs total 295 frames"));
    sc = _scene();
    sc.shapes[0].motion.runs.back().trans = 2;  // would read past the key table
    EXPECT_TRUE(_mentions(_check(sc, _rules()), "leaves its table"));
    r = _rules();
    r.polygons = 100;  // the scene has 24
    EXPECT_TRUE(_mentions(_check(_scene(), r), "not within 10 %"));
    r.polygons = 25;
    EXPECT_FALSE(_mentions(_check(_scene(), r), "not within 10 %"));
}

TEST(ContentCheck, TheReplaceableShipNeedsOneNameABoxAndKeyFrames)
{
    ccSceneRules r = ccBenchmarkScenes()[6];
    kbScene sc = _scene();
    kbAddShape(&sc, "Ship_change2_", kbBodyOf({kbSurfaceOf(kbMeshBox(kbVec3(1, 1, 2)), 0xFFFFFF)}), -1, kbConstant(kbVec3()));
    ccFindings f = _check(sc, r);
    EXPECT_TRUE(_mentions(f, "key frames of its own"));
    sc.shapes.back().motion = kbBakeMotion(300, [](int f) { return kbVec3(0, 0, (float)f); }, kbConstant(kbVec3()),
                                           kbConstant(kbVec3(1, 1, 1)));
    EXPECT_FALSE(_mentions(_check(sc, r), "_change2_"));
    kbAddShape(&sc, "Wing_Change2_", nullptr, -1, kbConstant(kbVec3()));
    EXPECT_TRUE(_mentions(_check(sc, r), "2 shapes hold \"_change2_\""));
}

TEST(ContentCheck, SpaceScenesNeedABlackSkyAndTheWaterARootShapeZero)
{
    kbScene sc = _scene();
    sc.def.backColor = 0x000010;
    EXPECT_TRUE(_mentions(_check(sc, ccBenchmarkScenes()[2]), "black background"));
    ccSceneRules water = ccBenchmarkScenes()[3];
    water.polygons = 0;
    sc = _scene();
    EXPECT_FALSE(_mentions(_check(sc, water), "root shape"));
    sc.shapes[0].def.parentShapeNum = 1;
    EXPECT_TRUE(_mentions(_check(sc, water), "shape 0 must be a root shape"));
}

TEST(ContentCheck, PicturesComeBackThroughThePackageReaderWithTheirDepth)
{
    kbImage img = kbImageMake(16, 8, 0x00FF00FF);
    img.pixels[0] = 0xFF000000 | 0xFF;
    kbKsfEntry a, b;
    std::string err;
    a.name = "a.bmp";
    b.name = "b.bmp";
    ASSERT_TRUE(kbBmpWrite(img, 32, &a.data, &err));
    ASSERT_TRUE(kbBmpWrite(img, 24, &b.data, &err));
    kbBytes pack;
    ASSERT_TRUE(kbKsfWrite({a, b}, &pack, &err));
    ccPicture p;
    ASSERT_TRUE(ccLoadPicture(pack, "Data\\Com\\A.bmp", &p));
    EXPECT_EQ(p.depth, 32u);
    EXPECT_EQ(p.width, 16u);
    EXPECT_EQ(p.pixels[0], 0xFF0000u);
    EXPECT_EQ(p.pixels[1], 0x00FF00u);
    ASSERT_TRUE(ccLoadPicture(pack, "b.bmp", &p));
    EXPECT_EQ(p.depth, 24u);
    EXPECT_FALSE(ccLoadPicture(pack, "c.bmp", &p));
    pack.resize(pack.size() - 10);  // a cut package gives nothing rather than garbage
    EXPECT_FALSE(ccLoadPicture(pack, "b.bmp", &p));
}

TEST(ContentCheck, ClipsAreReadFromTheirHeadersAndCutFilesRefused)
{
    kbAviClip clip;
    clip.width = 12, clip.height = 6, clip.rate = 15;
    for (int k = 0; k < 3; k++)
        clip.frames.push_back(std::vector<uint32_t>(12 * 6, 0x102030FF));
    struct {
        int depth;
        size_t cut;  // bytes taken off the end
        const char *poke;  // replaces the first four bytes
        bool ok;
    } cases[] = {
        {24, 0, nullptr, true},
        {16, 0, nullptr, true},
        {24, 8, nullptr, false},       // the index is cut short
        {16, 0, "RIFX", false},        // not a RIFF file
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.depth);
        kbAviBytes avi;
        std::string err;
        ASSERT_TRUE(kbAviWrite(clip, c.depth, &avi, &err)) << err;
        avi.resize(avi.size() - c.cut);
        if (c.poke)
            std::memcpy(avi.data(), c.poke, 4);
        ccClip got;
        EXPECT_EQ(ccReadAvi(avi, &got), c.ok);
        if (c.ok) {
            EXPECT_EQ(got.width, 12u);
            EXPECT_EQ(got.height, 6u);
            EXPECT_EQ(got.depth, (uint32_t)c.depth);
            EXPECT_EQ(got.frames, 3u);
            EXPECT_EQ(got.rate, 15u);
            EXPECT_EQ(got.compression, 0u);
        }
    }
}
