// content_check <Data folder>
// Reads the content back with the program's own readers and lists every broken rule; exit code 1
// when there is any (or the folder is missing), 0 when the content is sound.

#include <cstdio>
#include <sys/stat.h>

#include "ContentCheck.h"

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: content_check <Data folder>\n");
        return 2;
    }
    struct stat st;
    if (stat(argv[1], &st) != 0 || !S_ISDIR(st.st_mode)) {
        std::fprintf(stderr, "content_check: no Data folder at %s (the content builders write it after the builds)\n", argv[1]);
        return 1;
    }
    ccFindings findings;
    ccCheckData(argv[1], &findings);
    for (const std::string &f : findings)
        std::printf("%s\n", f.c_str());
    std::printf("%zu findings\n", findings.size());
    return findings.empty() ? 0 : 1;
}
