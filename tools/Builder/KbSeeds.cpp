// Writes small builder output as seeds for the readers' fuzz corpora:
//   builder_seeds <folder>  ->  <folder>/{ksx,ksf,extract,ksm,targa}/...
#include <cstdio>
#include <string>

#include "KbImage.h"
#include "KbKsf.h"
#include "KbPicture.h"
#include "KbSample.h"
#include "ToolArgs.h"

static bool _write(const std::string &aPath, const kbBytes &aData)
{
    std::string error;
    if (!kbWriteFile(aPath, aData, &error)) {
        fprintf(stderr, "%s\n", error.c_str());
        return false;
    }
    return true;
}

static const char _usage[] = "usage: builder_seeds <folder>\n";

int main(int aArgc, char **aArgv)
{
    const int common = sToolArgsCommon(aArgc, aArgv, "builder_seeds", _usage);
    if (common >= 0)
        return common;
    if (aArgc != 2)
        return sToolArgsUsage(_usage);
    std::string out = aArgv[1];
    std::string error;
    bool ok = true;
    kbBytes bytes;

    // Scene packages: empty, small sample, sample without sprites and emitters.
    kbScene empty;
    empty.def.frameCnt = 1;
    empty.def.fps = 30;
    ok = ok && kbKsxWrite(empty, &bytes, &error) && _write(out + "/ksx/empty.ksx", bytes);
    ok = ok && kbKsxWrite(kbSampleScene(1, 3, 2), &bytes, &error) && _write(out + "/ksx/one.ksx", bytes);
    ok = ok && kbKsxWrite(kbSampleScene(3, 4, 3), &bytes, &error) && _write(out + "/ksx/three.ksx", bytes);
    kbScene shapesOnly = kbSampleScene(2, 3, 1);
    shapesOnly.sprites.clear();
    shapesOnly.particles.clear();
    shapesOnly.lights.clear();
    ok = ok && kbKsxWrite(shapesOnly, &bytes, &error) && _write(out + "/ksx/shapes.ksx", bytes);

    // Pictures, small so that fuzzing stays fast.
    kbImage glow = kbPictureGlow(5, 3, kbRgb(255, 200, 100));
    kbImage indexed = kbPictureIndexed(7, 4, 6, 1);
    kbImage sky = kbPictureSky(9, 5, kbRgb(20, 40, 120), kbRgb(200, 220, 255), 2);
    for (int type : {2, 10})
        for (int depth : {24, 32})
            for (bool topDown : {false, true}) {
                ok = ok && kbTargaWrite(type == 2 ? glow : sky, type, depth, topDown, &bytes, &error,
                                        topDown ? "id" : "") &&
                     _write(out + "/targa/t" + std::to_string(type) + "_" + std::to_string(depth) +
                                (topDown ? "_top.tga" : "_bottom.tga"),
                            bytes);
            }
    for (int compress : {0, 1, 3})
        for (int depth : {8, 24}) {
            std::string name = "k" + std::to_string(compress) + "_" + std::to_string(depth) + ".ksm";
            ok = ok && kbKsmWrite(depth == 8 ? indexed : sky, depth, compress, name, &bytes, &error, kbSlideFast) &&
                 _write(out + "/ksm/" + name, bytes);
            if (compress != 0)
                ok = ok && _write(out + "/extract/" + name, bytes);
        }
    // The worked example as a slide block.
    kbBytes abc;
    kbPut32(abc, 16 + 9);
    kbPut32(abc, 0x4D534B40);
    kbPut32(abc, 0);
    kbPut32(abc, 16 + 9);
    kbPutBytes(abc, "abcabcabc", 9);
    ok = ok && _write(out + "/extract/abc.blk", kbPackBlock(abc, KB_KSM_SLIDE));

    // Image packages: Targa, bitmap and a kind the readers skip.
    std::vector<kbKsfEntry> entries(4);
    entries[0].name = "Data\\Com\\Glow.tga";
    ok = ok && kbTargaWrite(glow, 10, 32, false, &entries[0].data, &error);
    entries[1].name = "pic.bmp";
    ok = ok && kbBmpWrite(indexed, 8, &entries[1].data, &error);
    entries[2].name = "sky.tga";
    ok = ok && kbTargaWrite(sky, 2, 24, true, &entries[2].data, &error);
    entries[3].name = "notes.txt";
    entries[3].data = {'h', 'i'};
    ok = ok && kbKsfWrite(entries, &bytes, &error) && _write(out + "/ksf/four.ksf", bytes);
    entries.resize(1);
    ok = ok && kbKsfWrite(entries, &bytes, &error) && _write(out + "/ksf/one.ksf", bytes);
    ok = ok && kbKsfWrite({}, &bytes, &error) && _write(out + "/ksf/empty.ksf", bytes);

    if (!ok) {
        fprintf(stderr, "builder_seeds: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
