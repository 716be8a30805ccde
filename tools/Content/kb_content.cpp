// kb_content <Data folder>
// Writes the benchmark scenes (Ksx), their image packages (Ksf), the loose images of the closing
// scene, the interface and effect pictures and the help pages beside the Data folder, then logs
// every file with its size and each test's polygons and texture megabytes.

#include <chrono>
#include <cstdio>

#include "Content.h"

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: kb_content <Data folder>\n");
        return 2;
    }
    auto start = std::chrono::steady_clock::now();
    if (!kbFontReady()) {
        std::fprintf(stderr, "kb_content: no TrueType font found (fonts-dejavu-core)\n");
        return 1;
    }
    ctOutput out;
    out.dataDir = argv[1];

    std::vector<std::pair<std::string, kbBytes>> loose;
    ctScene game1 = ctGame1(), game2 = ctGame2(), game3 = ctGame3(), surface = ctSurface(), flat = ctEmpty2d(),
            fighter = ctFighter(false), user = ctFighter(true), closing = ctClosing(&loose);
    const ctScene *scenes[] = {&game1, &game2, &game3, &surface, &flat, &fighter, &user, &closing};
    bool ok = true;
    for (const ctScene *s : scenes)
        ok = ok && ctWriteScene(&out, *s);
    // Scenes 24 and 25 share one package; the shared pictures go in once.
    std::vector<kbKsfEntry> ships = fighter.textures.entries;
    for (const kbKsfEntry &e : user.textures.entries) {
        bool have = false;
        for (const kbKsfEntry &f : ships)
            have = have || f.name == e.name;
        if (!have)
            ships.push_back(e);
    }
    ok = ok && ctWritePackage(&out, "03.ksf", game1.textures.entries) && ctWritePackage(&out, "02.ksf", game2.textures.entries) &&
         ctWritePackage(&out, "04.ksf", game3.textures.entries) && ctWritePackage(&out, "05.ksf", surface.textures.entries) &&
         ctWritePackage(&out, "06.ksf", flat.textures.entries) && ctWritePackage(&out, "07.ksf", ships);
    for (const auto &l : loose)
        ok = ok && out.Write(l.first, l.second);
    ok = ok && ctWriteInterface(&out, {&game1, &game2, &game3, &surface, &flat, &fighter, &user}) && ctWriteEffects(&out) &&
         ctWriteHelp(&out);
    if (!ok) {
        std::fprintf(stderr, "kb_content: %s\n", out.error.c_str());
        return 1;
    }
    size_t total = 0;
    for (const auto &w : out.written) {
        std::printf("%10zu  %s\n", w.second, w.first.c_str());
        total += w.second;
    }
    std::printf("%10zu  bytes in %zu files\n", total, out.written.size());
    for (const ctScene *s : scenes)
        std::printf("scene %s: %u frames, %u polygons, %u vertices, %.2f MB of textures\n", s->number.c_str(),
                    s->scene.def.frameCnt, s->scene.def.polyCnt, s->scene.def.vertexCnt, s->textures.Megabytes());
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("built in %.1f s\n", seconds);
    return 0;
}
