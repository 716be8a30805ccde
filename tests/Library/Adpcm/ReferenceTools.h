#ifndef KESTREL_TESTS_LIBRARY_ADPCM_REFERENCETOOLS_H
#define KESTREL_TESTS_LIBRARY_ADPCM_REFERENCETOOLS_H

// The programs the sound tests compare against: Debian's python3 (its audioop module is the
// reference ADPCM decoder) and sox, as the build found them. A missing one fails the test that
// needs it rather than skipping it: scripts/packages.txt installs both.

#include <cstdlib>
#include <string>

// The path ctest hands over in aVariable, else the plain command name.
inline std::string sTestTool(const char *aVariable, const char *aCommand)
{
    const char *path = std::getenv(aVariable);
    return std::string("'") + (path && *path ? path : aCommand) + "'";
}

inline std::string sTestPython(void)
{
    return sTestTool("KESTREL_PYTHON3", "python3");
}

inline std::string sTestSox(void)
{
    return sTestTool("KESTREL_SOX", "sox");
}

// Whether the command runs and exits with 0, its output thrown away.
inline bool sTestRuns(const std::string &aCommand)
{
    return std::system((aCommand + " >/dev/null 2>&1").c_str()) == 0;
}

#endif
