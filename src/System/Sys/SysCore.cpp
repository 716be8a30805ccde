#include "System/Sys/SysCore.h"

#include <cstdio>
#include <cstring>

const _displayMode _displayTbl[DISPLAY_MODE_NUM] = {
    {640, 480, 16, 0x0001},   {640, 480, 32, 0x0002},   {800, 600, 16, 0x0004},
    {800, 600, 32, 0x0008},   {960, 720, 16, 0x0010},   {960, 720, 32, 0x0020},
    {1024, 768, 16, 0x0040},  {1024, 768, 32, 0x0080},  {1280, 960, 16, 0x0100},
    {1280, 960, 32, 0x0200},  {1280, 1024, 16, 0x0400}, {1280, 1024, 32, 0x0800},
    {1600, 900, 16, 0x1000},  {1600, 900, 32, 0x2000},  {1600, 1200, 16, 0x4000},
    {1600, 1200, 32, 0x8000},
};

long sSysGetDisplaySize(uint32_t aOption, int *aWidth, int *aHeight, int *aDepth)
{
    for (const _displayMode &mode : _displayTbl) {
        if (mode.option == aOption) {
            *aWidth = mode.width;
            *aHeight = mode.height;
            *aDepth = mode.depth;
            return 1;
        }
    }
    return 0;
}

long sSysGetDisplayOption(int aWidth, int aHeight, int aDepth, uint32_t *aOption)
{
    for (const _displayMode &mode : _displayTbl) {
        if (mode.width == aWidth && mode.height == aHeight && mode.depth == aDepth) {
            *aOption = mode.option;
            return 1;
        }
    }
    return 0;
}

uint32_t sSysAddVideoSize(uint32_t aDesktopBytes, uint32_t aVramBytes)
{
    uint32_t sum = aDesktopBytes + aVramBytes;
    return sum < aDesktopBytes ? UINT32_MAX : sum;
}

_sysGrade sSysGradeHardware(uint32_t aVideoBytes, uint32_t aPhysicalBytes)
{
    const uint32_t mib = 1u << 20;
    if (aVideoBytes >= 28 * mib && aPhysicalBytes >= 120 * mib)
        return SYS_GRADE_FULLSPEC;
    if (aVideoBytes >= 12 * mib && aPhysicalBytes >= 44 * mib)
        return SYS_GRADE_LIGHT;
    return SYS_GRADE_NONE;
}

long sSysForceLightListed(const char *aListPath, const char *aDescription)
{
    FILE *fp = std::fopen(aListPath, "rt");
    if (!fp)
        return 0;
    char line[512];
    long listed = 0;
    while (std::fgets(line, sizeof line, fp)) {
        size_t len = std::strlen(line);
        if (len && line[len - 1] == '\n')
            line[len - 1] = '\0';
        if (std::strstr(aDescription, line)) {
            listed = 1;
            break;
        }
    }
    std::fclose(fp);
    return listed;
}
