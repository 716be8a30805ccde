#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "App/App/AppCore.h"
#include "KbAnim.h"
#include "KbImage.h"
#include "KbKsf.h"
#include "KbPicture.h"
#include "KbSample.h"

// The builder's package and image writers read back by the program's own readers: image packages
// through the registry hook, Targa and KSM files through the decoders, scene packages through the
// relocating reader; and the writers' refusals.

namespace {

// What the registry was handed, slot by slot.
struct Registered {
    long slot;
    std::string name;
    uint32_t width, height, depth;
    uint16_t type;
    std::vector<uint32_t> pixels;
};
std::vector<Registered> gRegistered;

long RecordImage(long aSlot, const char *aNameP, void *aImageP, uint32_t aWidth, uint32_t aHeight, uint32_t aDepth,
                 uint16_t aType, uint32_t)
{
    Registered r{aSlot, aNameP, aWidth, aHeight, aDepth, aType, {}};
    if (aType == KSF_TYPE_TARGA) {
        const uint32_t *px = static_cast<const uint32_t *>(aImageP);
        r.pixels.assign(px, px + (size_t)aWidth * aHeight);
        std::free(aImageP);
    } else {
        delete static_cast<int *>(aImageP);
    }
    gRegistered.push_back(r);
    return 0;
}

// A bitmap "loader" that only notes that it was asked.
void *NoteBitmap(const uint8_t *aDataP, long aSize, uint32_t *aWidthP, uint32_t *aHeightP, uint32_t *aDepthP)
{
    *aWidthP = aSize > 22 ? (uint32_t)(aDataP[18] | aDataP[19] << 8) : 0;
    *aHeightP = aSize > 22 ? (uint32_t)(aDataP[22] | aDataP[23] << 8) : 0;
    *aDepthP = aSize > 28 ? aDataP[28] : 0;
    return new int(1);
}

kbBytes Tga(const kbImage &aImage, int aType, int aDepth, bool aTopDown)
{
    kbBytes out;
    std::string err;
    EXPECT_TRUE(kbTargaWrite(aImage, aType, aDepth, aTopDown, &out, &err)) << err;
    return out;
}

kbBytes Bmp(const kbImage &aImage, int aDepth)
{
    kbBytes out;
    std::string err;
    EXPECT_TRUE(kbBmpWrite(aImage, aDepth, &out, &err)) << err;
    return out;
}

kbImage Pattern(uint32_t aW, uint32_t aH, uint32_t aSeed)
{
    kbImage img = kbImageMake(aW, aH);
    kbRandom r(aSeed);
    for (uint32_t &p : img.pixels)
        p = r.Next() | 0x80;  // partly transparent at most
    return img;
}

std::vector<uint32_t> Opaque(std::vector<uint32_t> aPixels)
{
    for (uint32_t &p : aPixels)
        p |= 0xFF;
    return aPixels;
}

} // namespace

TEST(KbKsfWrite, EveryEntryReachesItsRegistrySlotThroughTheProgramsReader)
{
    const kbImage a = Pattern(7, 5, 1), b = Pattern(16, 16, 2), c = Pattern(3, 9, 3);
    const std::vector<kbKsfEntry> entries = {
        {"Data\\Com\\First.TGA", Tga(a, 2, 32, false)},
        {"Data/Bom/second.bmp", Bmp(b, 24)},
        {"third.tga", Tga(c, 10, 24, true)},
        {"notes.txt", {'h', 'i', '!', '!', '!'}},  // neither picture kind: skipped, keeps its slot
        {"x.tga", {1, 2, 3}},                      // shorter than a scrambled word
    };
    kbBytes pack;
    std::string err;
    ASSERT_TRUE(kbKsfWrite(entries, &pack, &err)) << err;

    _ksfDrawHook hook = {};
    hook.entryImageP = RecordImage;
    hook.loadBitMapP = NoteBitmap;
    setKsfDrawHook(&hook);
    gRegistered.clear();
    entryKsfMem(pack.data(), (long)pack.size());
    setKsfDrawHook(nullptr);

    ASSERT_EQ(gRegistered.size(), 3u);
    EXPECT_EQ(gRegistered[0].slot, 0);
    EXPECT_EQ(gRegistered[0].name, "first.tga") << "folders dropped, lower case";
    EXPECT_EQ(gRegistered[0].type, KSF_TYPE_TARGA);
    EXPECT_EQ(gRegistered[0].depth, 32u);
    EXPECT_EQ(gRegistered[0].pixels, a.pixels) << "32-bit Targa keeps its alpha";
    EXPECT_EQ(gRegistered[1].slot, 1);
    EXPECT_EQ(gRegistered[1].name, "second.bmp");
    EXPECT_EQ(gRegistered[1].type, KSF_TYPE_BITMAP);
    EXPECT_EQ(gRegistered[1].width, 16u);
    EXPECT_EQ(gRegistered[1].depth, 24u);
    EXPECT_EQ(gRegistered[2].slot, 2);
    EXPECT_EQ(gRegistered[2].pixels, Opaque(c.pixels)) << "run-length, top-down, 24-bit";

    // A request names the picture with any folder and case; the package is not registered for it.
    uint32_t w = 0, h = 0, d = 0;
    void *img = loadKsfFileMem(pack.data(), (long)pack.size(), "Data\\SF_Ninja\\THIRD.tga", &w, &h, &d);
    ASSERT_NE(img, nullptr);
    EXPECT_EQ(w, 3u);
    EXPECT_EQ(h, 9u);
    EXPECT_EQ(std::vector<uint32_t>((uint32_t *)img, (uint32_t *)img + 27), Opaque(c.pixels));
    std::free(img);
    EXPECT_EQ(loadKsfFileMem(pack.data(), (long)pack.size(), "fourth.tga", &w, &h, &d), nullptr);
}

TEST(KbKsfWrite, NamesTheReaderCannotFindAreRefused)
{
    kbBytes pack;
    std::string err;
    const kbBytes one = {0, 1, 2, 3};
    EXPECT_FALSE(kbKsfWrite({{"Data\\A.bmp", one}, {"a.BMP", one}}, &pack, &err)) << "one name after lower-casing";
    EXPECT_NE(err.find("two images"), std::string::npos);
    EXPECT_FALSE(kbKsfWrite({{std::string(28, 'n') + ".bmp", one}}, &pack, &err)) << "32 characters";
    EXPECT_TRUE(kbKsfWrite({{std::string(27, 'n') + ".bmp", one}}, &pack, &err)) << "31 characters fit";
    EXPECT_FALSE(kbKsfWrite({{"Data\\Com\\", one}}, &pack, &err)) << "a folder without a name";
    std::vector<kbKsfEntry> many(513, kbKsfEntry{"", one});
    for (size_t i = 0; i < many.size(); i++)
        many[i].name = "p" + std::to_string(i) + ".bmp";
    EXPECT_FALSE(kbKsfWrite(many, &pack, &err));
    many.pop_back();
    EXPECT_TRUE(kbKsfWrite(many, &pack, &err)) << "512 entries, one a registry slot";
    EXPECT_EQ(kbKsfName("Data\\SF_Ninja/Fulea.BMP"), "fulea.bmp");
}

TEST(KbImageFiles, TargaAndKsmComeBackThroughTheProgramsDecoders)
{
    const kbImage img = Pattern(13, 6, 9);
    for (int type : {2, 10})
        for (int depth : {24, 32})
            for (bool topDown : {false, true}) {
                const kbBytes file = Tga(img, type, depth, topDown);
                uint32_t w, h, d;
                uint32_t *px = sDrawDecodeTarga(file.data(), (long)file.size(), &w, &h, &d);
                ASSERT_NE(px, nullptr) << type << " " << depth;
                EXPECT_EQ(w, 13u);
                EXPECT_EQ(h, 6u);
                EXPECT_EQ(d, (uint32_t)depth);
                const std::vector<uint32_t> got(px, px + 13 * 6);
                EXPECT_EQ(got, depth == 32 ? img.pixels : Opaque(img.pixels)) << type << " " << depth << " " << topDown;
                std::free(px);
            }

    // KSM: 24-bit and paletted, stored, run-length and slide coded.
    kbImage flat = kbImageMake(40, 30, 0x204080FF);
    for (uint32_t i = 0; i < 40; i++)
        flat.pixels[i * 7 % flat.pixels.size()] = 0xFFFFFFFF;
    kbImage indexed = flat;
    ASSERT_TRUE(kbImageIndex(&indexed));
    for (int depth : {8, 24})
        for (int compress : {KB_KSM_STORED, KB_KSM_RUNLENGTH, KB_KSM_SLIDE}) {
            kbBytes file;
            std::string err;
            ASSERT_TRUE(kbKsmWrite(depth == 8 ? indexed : flat, depth, compress, "test", &file, &err)) << err;
            uint32_t w, h, d;
            uint32_t *px = sDrawDecodeKsm(file.data(), (long)file.size(), &w, &h, &d);
            ASSERT_NE(px, nullptr) << depth << " " << compress;
            EXPECT_EQ(w, 40u);
            EXPECT_EQ(h, 30u);
            EXPECT_EQ(d, (uint32_t)depth);
            EXPECT_EQ(std::vector<uint32_t>(px, px + 40 * 30), flat.pixels) << depth << " " << compress;
            std::free(px);
            // Byte runs pack a flat paletted picture; the slide coder packs both.
            if (compress == KB_KSM_SLIDE || (compress == KB_KSM_RUNLENGTH && depth == 8)) {
                EXPECT_LT(file.size(), 40u * 30 * (depth / 8) / 2) << "a mostly flat picture packs smaller";
            }
        }
    std::string err;
    kbBytes file;
    EXPECT_FALSE(kbKsmWrite(flat, 8, KB_KSM_STORED, "x", &file, &err)) << "8 bits need a palette";
    EXPECT_FALSE(kbTargaWrite(img, 3, 24, false, &file, &err)) << "only types 2 and 10";
}

TEST(KbKsxWrite, SampleScenesOfEverySizeRoundTripThroughTheRelocatingReader)
{
    for (uint32_t shapes : {1u, 3u, 12u})
        for (uint16_t frames : {(uint16_t)1, (uint16_t)6, (uint16_t)90}) {
            const kbScene scene = kbSampleScene(shapes, 8, frames);
            kbBytes file;
            std::string err;
            ASSERT_TRUE(kbKsxWrite(scene, &file, &err)) << err;
            uint8_t *data = entryKsxMem(file.data(), (long)file.size());
            ASSERT_NE(data, nullptr) << shapes << " shapes, " << frames << " frames";
            const _sceneDef *def = reinterpret_cast<const _sceneDef *>(data);
            EXPECT_EQ(def->frameCnt, frames);
            EXPECT_EQ(def->shapeCnt, scene.shapes.size());
            EXPECT_EQ(def->lightCnt, scene.lights.size());
            EXPECT_EQ(def->cameraCnt, scene.cameras.size());
            EXPECT_EQ(def->spriteCnt, scene.sprites.size());
            EXPECT_EQ(def->particleCnt, scene.particles.size());
            for (size_t i = 0; i < scene.shapes.size(); i++) {
                EXPECT_STREQ(def->shapeP[i].name, scene.shapes[i].def.name);
                EXPECT_EQ(def->shapeP[i].transFrameCnt, scene.shapes[i].motion.transKeys.size());
                // Shapes of one name point at one body; others at their own.
                for (size_t j = 0; j < i; j++) {
                    if (def->shapeP[i].defP) {
                        EXPECT_EQ(def->shapeP[i].defP == def->shapeP[j].defP,
                                  std::strcmp(def->shapeP[i].name, def->shapeP[j].name) == 0 &&
                                      def->shapeP[j].defP != nullptr);
                    }
                }
            }
            std::free(data);
            // Two writes of one scene are the same bytes.
            kbBytes again;
            ASSERT_TRUE(kbKsxWrite(scene, &again, &err));
            EXPECT_TRUE(again == file);
        }
}

TEST(KbKsxWrite, ScenesThePackageCannotHoldAreRefused)
{
    kbScene base;
    kbSceneBegin(&base, 10, 1, 100, 0, 0, 1);
    kbAddShape(&base, "A", kbBodyOf({kbSurfaceOf(kbMeshBox(kbVec3(1, 1, 1)), 0xFFFFFF)}), -1, kbCurve());
    kbBytes out;
    std::string err;
    ASSERT_TRUE(kbKsxWrite(base, &out, &err)) << err;

    kbScene shortTrack = base;
    shortTrack.ambientIntensity.assign(9, 1.0f);
    EXPECT_FALSE(kbKsxWrite(shortTrack, &out, &err));
    EXPECT_NE(err.find("one entry per scene frame"), std::string::npos) << err;

    kbScene fog = base;
    fog.fogMaxDist.assign(11, 50.0f);
    EXPECT_FALSE(kbKsxWrite(fog, &out, &err));

    // Two names on one body would relocate it twice.
    kbScene shared = base;
    shared.shapes.push_back(shared.shapes[0]);
    kbSetName(shared.shapes[1].def.name, "B");
    EXPECT_FALSE(kbKsxWrite(shared, &out, &err));
    EXPECT_NE(err.find("shared by name"), std::string::npos) << err;

    // One name with two different bodies is as wrong.
    kbScene twoBodies = base;
    twoBodies.shapes.push_back(twoBodies.shapes[0]);
    twoBodies.shapes[1].body = kbBodyOf({kbSurfaceOf(kbMeshSphere(1, 6, 4), 0xFFFFFF)});
    EXPECT_FALSE(kbKsxWrite(twoBodies, &out, &err));

    char field[8];
    EXPECT_TRUE(kbSetName(field, "seven77"));
    EXPECT_STREQ(field, "seven77");
    EXPECT_FALSE(kbSetName(field, "eight888")) << "no room for the end";
}
