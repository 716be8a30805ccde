#include "App/CtrlPanel/CtrlPanelCore.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "System/Env/Env.h"

const _cpBenchInfo cpBenchInfo[CP_TEST_NUM] = {
    {"Game1 (Low)", 24632, 6.2f},  {"Game1 (High)", 24632, 6.2f},  {"Game2 (Low)", 17782, 5.8f},
    {"Game2 (High)", 17782, 5.8f}, {"Game3 (Low)", 8122, 6.2f},    {"Game3 (High)", 8122, 6.2f},
    {"The Surface", 10788, 2.1f},  {"2D Graphics", 18232, 6.2f},   {"Space Fighter", 55258, 4.3f},
    {"Your Fighter", 18232, 6.2f},
};

const double cpRefScoreRate[CP_TEST_NUM + 1] = {
    1.0 / 612,  1.0 / 612,  1.0 / 4103, 1.0 / 1780, 1.0 / 7436, 1.0 / 3676,
    1.0 / 3825, 1.0 / 1820, 1.0 / 4766, 1.0 / 4705, 1.0 / 3333.5,
};

const char *const cpRefSystemText = "AMD Athlon(tm) Processor <800.00MHz>\rCanopus SPECTRA F11";

const char *const cpDeviceOptionName[4] = {
    "Direct3D Hardware T&L", "Direct3D Software T&L", "Software Rasterizer", "Reference Rasterizer",
};

const char *const cpDisplayOptionName[CP_DISPLAY_NUM] = {
    "640 * 480 / 16bit color",   "640 * 480 / 32bit color",   "800 * 600 / 16bit color",
    "800 * 600 / 32bit color",   "960 * 720 / 16bit color",   "960 * 720 / 32bit color",
    "1024 * 768 / 16bit color",  "1024 * 768 / 32bit color",  "1280 * 960 / 16bit color",
    "1280 * 960 / 32bit color",  "1280 * 1024 / 16bit color", "1280 * 1024 / 32bit color",
    "1600 * 900 / 16bit color",  "1600 * 900 / 32bit color",  "1600 * 1200 / 16bit color",
    "1600 * 1200 / 32bit color", "1920 * 1080 / 16bit color", "1920 * 1080 / 32bit color",
    "1920 * 1200 / 16bit color", "1920 * 1200 / 32bit color",
};

int cpStoreScore(_cpScore *aScoresP, int aStep, double aFpsPeak, double aFpsAve, double aCps, double aFrameTime)
{
    if (aStep < 0 || aStep >= CP_TEST_NUM)
        return 0;
    _cpScore &s = aScoresP[aStep];
    s.useB = 1;
    s.fpsPeak = aFpsPeak;
    s.fpsAve = aFpsAve;
    s.cps = aCps;
    s.frameTime = aFrameTime;
    s.score = (int32_t)(32.0 * aFpsAve);
    return 1;
}

int cpMakeOverallScore(const _cpScore *aScoresP, _cpScore *aOverallP)
{
    double peak = 0, ave = 0, cps = 0;
    int64_t score = 0;
    int count = 0;
    for (int i = 0; i < CP_TEST_NUM; ++i) {
        const _cpScore &s = aScoresP[i];
        if (!s.useB)
            continue;
        peak += s.fpsPeak, ave += s.fpsAve, cps += s.cps, score += s.score;
        ++count;
    }
    // Both editions count ten rows; the Light edition never fills the three High ones.
    if (count != CP_TEST_NUM)
        return 0;
    aOverallP->useB = 1;
    aOverallP->fpsPeak = peak / 10;
    aOverallP->fpsAve = ave / 10;
    aOverallP->score = (int32_t)(score / 10);
    aOverallP->cps = cps / 10;
    return 1;
}

void cpCheckOption(_cpEnv *aEnvP, uint32_t aDeviceMask, uint32_t aDisplayMask)
{
    const uint32_t devices = aDeviceMask & 0x3; // the two rasterizers are never offered
    if (devices && !(aEnvP->deviceOption & devices))
        aEnvP->deviceOption = devices & (0u - devices);
    const uint32_t displays = aDisplayMask & ((1u << CP_DISPLAY_NUM) - 1);
    if (displays && !(aEnvP->displayOption & displays))
        aEnvP->displayOption = displays & (0u - displays);
}

void cpSplitLine(const char *aTextP, char *aFirstP, const char **aRestPP)
{
    const size_t len = std::strlen(aTextP);
    if (len <= CP_LINE_MAX) {
        std::memcpy(aFirstP, aTextP, len + 1);
        *aRestPP = nullptr;
        return;
    }
    // Without a space the text is cut at the line's end.
    size_t cut = CP_LINE_MAX, rest = CP_LINE_MAX;
    for (size_t i = CP_LINE_MAX; i-- > 0;) {
        if (aTextP[i] == ' ') {
            cut = i;
            rest = i + 1;
            break;
        }
    }
    std::memcpy(aFirstP, aTextP, cut);
    aFirstP[cut] = '\0';
    *aRestPP = aTextP + rest;
}

std::string cpMakeClockStr(uint32_t aHz)
{
    char text[64] = "";
    const double c = aHz;
    if (aHz == 0xFFFFFFFF)
        return text;
    if (c > 1e9)
        std::snprintf(text, sizeof text, "%.3f GHz", c * 1e-9);
    else if (c > 1e6)
        std::snprintf(text, sizeof text, "%.2f MHz", c * 1e-6);
    else if (c > 1e3)
        std::snprintf(text, sizeof text, "%.2f KHz", c * 1e-3);
    else
        std::snprintf(text, sizeof text, "%d Hz", (int)aHz);
    return text;
}

const char *cpMakeDirectXVerStr(uint32_t aVersion)
{
    switch (aVersion) {
    case 0:
        return "No DirectX installed";
    case 0x700:
        return "DirectX 7";
    case 0x800:
        return "DirectX 8";
    }
    return "Less than DirectX 7";
}

static const char *const _divider =
    "------------------------------------------------------------------------------\n";

// A label, the value from column 28 on (a format without values is the value itself), a newline.
static void _printLine(std::string &aOut, const char *aLabelP, const char *aFormatP, ...)
{
    aOut += aLabelP;
    if (aFormatP[0]) {
        for (size_t col = std::strlen(aLabelP); col < CP_LABEL_COLUMN; ++col)
            aOut += ' ';
        va_list args, count;
        va_start(args, aFormatP);
        va_copy(count, args);
        const int len = std::vsnprintf(nullptr, 0, aFormatP, count);
        va_end(count);
        if (len > 0) {
            std::string value((size_t)len + 1, '\0');
            std::vsnprintf(&value[0], value.size(), aFormatP, args);
            value.resize((size_t)len);
            aOut += value;
        }
        va_end(args);
    }
    aOut += '\n';
}

static void _section(std::string &aOut, const char *aTitleP)
{
    aOut += _divider;
    aOut += aTitleP;
    aOut += _divider;
}

static const char *_yesNo(uint32_t aWord, uint32_t aBit)
{
    return (aWord & aBit) ? "Yes" : "No";
}

std::string cpMakeResultsText(const _cpResultInfo &aInfo)
{
    const _cpEnv &env = *aInfo.envP;
    std::string out;
    char head[64];
    std::snprintf(head, sizeof head, "%s Ver %s Results File\n\n", "Kestrel", "1.2");
    out += head;

    _section(out, "[System]\n");
    _printLine(out, "Processor Type", "%s", aInfo.cpuNameP);
    _printLine(out, "Processor Speed", "%s", aInfo.clockP);
    _printLine(out, "Free Memory", "%d KB", aInfo.freeMem);
    _printLine(out, "Total Memory", "%d KB", aInfo.totalMem);
    _printLine(out, "Display Adapter", "%s", aInfo.adapterP);
    _printLine(out, "Free VRAM", "%d KB", aInfo.freeVram);
    _printLine(out, "DirectX Version", "%s", cpMakeDirectXVerStr(aInfo.directXVer));
    out += '\n';

    _section(out, "[Options]\n");
    out += "<CPU Options>\n";
    _printLine(out, "MMX", "%s", _yesNo(env.cpuOption, CP_CPU_MMX));
    if (aInfo.cpuSupport & ENV_EX_SSE2)
        _printLine(out, "SSE2", "%s", _yesNo(env.cpuOption, CP_CPU_SSE2));
    else
        _printLine(out, "SSE", "%s", _yesNo(env.cpuOption, CP_CPU_SSE));
    // Both names report the 3DNow! box, the only one the user sees.
    _printLine(out, (aInfo.cpuSupport & ENV_EX_E3DNOW) ? "Enhanced 3DNow!" : "3DNow!", "%s",
               _yesNo(env.cpuOption, CP_CPU_3DNOW));
    out += '\n';

    out += "<Benchmark Options>\n";
    _printLine(out, "Continuous Loop", "%s", _yesNo(env.benchOption, CP_OPTION_LOOP));
    _printLine(out, "BGM Enable", "%s", _yesNo(env.benchOption, CP_OPTION_BGM));
    _printLine(out, "Protect Mode", "%s", _yesNo(env.benchOption, CP_OPTION_PROTECT));
    _printLine(out, "Challenge Mode", "%s", _yesNo(env.benchOption, CP_OPTION_CHALLENGE));
    out += '\n';

    out += "<Benchmark Tests>\n";
    for (int i = 0; i < CP_TEST_NUM; ++i)
        _printLine(out, cpBenchInfo[i].nameP, "%s", _yesNo(env.benchTestOption, 1u << i));
    out += '\n';

    if (env.objFilePath[0])
        _printLine(out, "3D Object File", "%s", env.objFilePath);
    else
        _printLine(out, "3D Object File", "None");
    out += '\n';

    _section(out, "[Score]\n");
    for (int i = 0; i < CP_TEST_NUM; ++i) {
        const _cpBenchInfo &info = cpBenchInfo[i];
        const _cpScore &s = aInfo.scoresP[i];
        out += '<';
        out += info.nameP;
        out += ">\n";
        if (s.useB) {
            _printLine(out, "Kestrel Score", "%-6d Marks", s.score);
            _printLine(out, "FPS Average", "%-6.2f FPS", s.fpsAve);
            const char *resolution = "640 * 480 / 16bit color";
            if (i == 1 || i == 3 || i == 5)
                resolution = "1280 * 1024 / 16bit color";
            else if (i == 6)
                resolution = "640 * 480 / 32bit color";
            _printLine(out, "Display Resolution", resolution);
            if (i == 9) {
                // The user's own object: its counts are not the table's.
                _printLine(out, "Total Polygon Count", "None");
                _printLine(out, "Total Texture Size", "None");
            } else if (i != 7) {
                _printLine(out, "Total Polygon Count", "%-6d Counts", info.polyCnt);
                _printLine(out, "Total Texture Size", "%-6.1f MB", (double)info.texSize);
            }
        } else {
            _printLine(out, "Kestrel Score", "None");
            _printLine(out, "FPS Average", "None");
            if (i == 7) {
                _printLine(out, "Display Resolution", "None");
            } else {
                _printLine(out, "Total Polygon Count", "None");
                _printLine(out, "Total Texture Size", "None");
            }
        }
        out += '\n';
    }

    _section(out, "[Overall Score]\n");
    if (aInfo.overallP->useB) {
        _printLine(out, "Kestrel Score", "%-6d Marks", aInfo.overallP->score);
        _printLine(out, "FPS Average", "%-6.2f FPS", aInfo.overallP->fpsAve);
    } else {
        _printLine(out, "Kestrel Score", "None");
        _printLine(out, "FPS Average", "None");
    }
    return out;
}
