// content_check <Data folder> [--only 02,03,l20]
// Reads the content back with the program's own readers and lists every broken rule; exit code 1
// when there is any (or the folder is missing), 0 when the content is sound.

#include <cstdio>
#include <string>
#include <vector>
#include <sys/stat.h>

#include "ContentCheck.h"
#include "ToolArgs.h"

static const char _usage[] = "usage: content_check <Data folder> [--only 02,03,l20]\n";

int main(int argc, char **argv)
{
    const int common = sToolArgsCommon(argc, argv, "content_check", _usage);
    if (common >= 0)
        return common;
    if (argc < 2)
        return sToolArgsUsage(_usage);
    struct stat st;
    if (stat(argv[1], &st) != 0 || !S_ISDIR(st.st_mode)) {
        std::fprintf(stderr, "content_check: no Data folder at %s (the content builders write it after the builds)\n", argv[1]);
        return 1;
    }
    // --only limits the scene checks to some packages, for an author working on a few.
    std::vector<std::string> only;
    bool limited = argc >= 4 && std::string(argv[2]) == "--only";
    if (limited) {
        std::string list = argv[3];
        for (size_t at = 0; at <= list.size();) {
            size_t comma = list.find(',', at);
            if (comma == std::string::npos)
                comma = list.size();
            if (comma > at)
                only.push_back(list.substr(at, comma - at));
            at = comma + 1;
        }
    }
    ccFindings findings;
    ccCheckData(argv[1], &findings, limited ? &only : nullptr);
    for (const std::string &f : findings)
        std::printf("%s\n", f.c_str());
    std::printf("%zu findings\n", findings.size());
    return findings.empty() ? 0 : 1;
}
