// kb_content <Data folder>
// Writes the benchmark and demo scenes of both editions (Ksx), their image packages (Ksf), the
// loose images of the closing scene, the interface and effect pictures and the help pages beside the Data folder, then logs
// every file with its size and each scene's length, polygons and texture megabytes.

#include <chrono>
#include <map>
#include <cstdio>

#include "Content.h"
#include "ToolArgs.h"

static const char _usage[] = "usage: kb_content <Data folder>\n";

int main(int argc, char **argv)
{
    const int common = sToolArgsCommon(argc, argv, "kb_content", _usage);
    if (common >= 0)
        return common;
    if (argc < 2)
        return sToolArgsUsage(_usage);
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
    game1.package = "03.ksf", game2.package = "02.ksf", game3.package = "04.ksf", surface.package = "05.ksf";
    flat.package = "06.ksf", fighter.package = user.package = "07.ksf";
    std::vector<ctScene> demo;
    for (void (*part)(std::vector<ctScene> *) : {ctDemoNightOpen, ctDemoNightFight, ctDemoSpaceOpen, ctDemoSpaceBattle, ctDemoWaterEnd})
        part(&demo);
    std::vector<const ctScene *> scenes = {&game1, &game2, &game3, &surface, &flat, &fighter, &user, &closing};
    for (const ctScene &s : demo)
        scenes.push_back(&s);
    bool ok = true;
    ctPackages packages;
    for (const ctScene *s : scenes)
        ok = ok && ctWriteScene(&out, *s) && ctAddToPackage(&packages, *s, &out.error);
    for (const auto &p : packages)
        ok = ok && ctWritePackage(&out, p.first, p.second);
    // The editions share their clips: each is written once, and two different files of one name are an error.
    std::map<std::string, const kbBytes *> sceneLoose;
    for (const ctScene *s : scenes)
        for (const auto &l : s->loose) {
            auto it = sceneLoose.emplace(l.first, &l.second).first;
            if (l.second.empty() || *it->second != l.second) {
                out.error = "scene " + s->number + ": " + l.first + (l.second.empty() ? " could not be made" : " differs from another scene's");
                ok = false;
            }
        }
    for (const auto &l : sceneLoose) {
        std::string path = l.first;  // the program's name of the file, written with the host's separator
        for (char &c : path)
            if (c == '\\')
                c = '/';
        loose.emplace_back(path, *l.second);
    }
    for (const auto &l : loose)
        ok = ok && out.Write(l.first, l.second);
    ok = ok && ctWriteInterface(&out, {&game1, &game2, &game3, &surface, &flat, &fighter, &user}) && ctWriteEffects(&out) &&
         ctWriteHelp(&out);
    if (!ok) {
        std::fprintf(stderr, "kb_content: %s\n", out.error.c_str());
        return 1;
    }
    size_t total = 0, ksx = 0;
    for (const auto &w : out.written) {
        std::printf("%10zu  %s\n", w.second, w.first.c_str());
        total += w.second;
        if (w.first.size() > 4 && w.first.compare(w.first.size() - 4, 4, ".ksx") == 0 && w.first.find("/l") == std::string::npos)
            ksx += w.second;
    }
    std::printf("%10zu  bytes in %zu files\n", total, out.written.size());
    std::printf("%10zu  bytes of FullSpec scene packages\n", ksx);
    for (const ctScene *s : scenes)
        std::printf("scene %s: %u frames (%.1f s), %u polygons, %u vertices, %.2f MB of textures\n", s->number.c_str(),
                    s->scene.def.frameCnt, s->scene.def.fps > 0 ? s->scene.def.frameCnt / s->scene.def.fps : 0.0,
                    s->scene.def.polyCnt, s->scene.def.vertexCnt, s->textures.Megabytes());
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("built in %.1f s\n", seconds);
    return 0;
}
