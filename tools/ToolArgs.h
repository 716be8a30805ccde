// What every command-line program of Kestrel answers alike: --help prints the usage and --version
// the version, both to standard output, and the program ends with 0. Bad arguments are each
// program's own: the usage on standard error and exit code 1.
#pragma once

#include <cstdio>
#include <cstring>

#include "KestrelVersion.h"

#define TOOL_EXIT_USAGE 1

// -1 when neither was asked for (the program goes on), otherwise the exit code.
inline int sToolArgsCommon(int aArgc, char **aArgv, const char *aNameP, const char *aUsageP)
{
    for (int i = 1; i < aArgc; ++i) {
        if (!std::strcmp(aArgv[i], "--help") || !std::strcmp(aArgv[i], "-h") || !std::strcmp(aArgv[i], "/?")) {
            std::fputs(aUsageP, stdout);
            return 0;
        }
        if (!std::strcmp(aArgv[i], "--version")) {
            std::printf("%s (Kestrel) %s\n", aNameP, KESTREL_VERSION);
            return 0;
        }
    }
    return -1;
}

// Bad arguments: the usage on standard error.
inline int sToolArgsUsage(const char *aUsageP)
{
    std::fputs(aUsageP, stderr);
    return TOOL_EXIT_USAGE;
}
