#ifndef KESTREL_APP_CTRLPANEL_CTRLPANELCORE_H
#define KESTREL_APP_CTRLPANEL_CTRLPANELCORE_H

// What the control panel keeps and computes without the platform: the options, the scores and
// their overall score, the system texts and the results file's text.

#include <cstddef>
#include <cstdint>
#include <string>

enum : uint32_t {
    CP_MAIN_AUTODEMO = 0x1,
    CP_MAIN_SCREEN = 0x2,

    CP_CPU_MMX = 0x1,
    CP_CPU_SSE = 0x2,
    CP_CPU_SSE2 = 0x4,
    CP_CPU_3DNOW = 0x8,
    CP_CPU_E3DNOW = 0x10,

    // Demo and benchmark options.
    CP_OPTION_LOOP = 0x1,
    CP_OPTION_BGM = 0x2,
    CP_OPTION_PROTECT = 0x4,
    CP_OPTION_CHALLENGE = 0x8, // benchmark only
    CP_OPTION_FRAMETIME = 0x10, // benchmark only: write the frame-time record
};

enum {
    CP_TEST_NUM = 10,
    CP_LINE_MAX = 26,   // longest system text on one line of the panel
    CP_LABEL_COLUMN = 28, // where the values of the results file start
    CP_DISPLAY_NUM = 20,
};

struct _cpEnv {
    uint32_t mainOption;
    uint32_t cpuOption;
    uint32_t demoOption;
    uint32_t benchOption;
    uint32_t benchTestOption; // bit n: benchmark row n runs
    uint32_t renderingOption;
    uint32_t deviceOption;
    uint32_t displayOption;
    char objFilePath[260];
};

struct _cpScore {
    int useB;
    double fpsPeak;
    double fpsAve;
    double cps;
    double frameTime;
    int32_t score;
    int32_t polyCnt; // reserved
    int32_t texSize; // reserved
};

struct _cpBenchInfo {
    const char *nameP;
    int32_t polyCnt;
    float texSize; // MB
};

extern const _cpBenchInfo cpBenchInfo[CP_TEST_NUM];
// Reciprocals of the reference system's scores, per test and (last) overall; the bars use them.
extern const double cpRefScoreRate[CP_TEST_NUM + 1];
extern const char *const cpRefSystemText;
extern const char *const cpDeviceOptionName[4];
extern const char *const cpDisplayOptionName[CP_DISPLAY_NUM];

// Stores one test's result; only rows 0..9 exist. 1 when stored.
int cpStoreScore(_cpScore *aScoresP, int aStep, double aFpsPeak, double aFpsAve, double aCps, double aFrameTime);
// The overall score from exactly ten stored tests; 0 (aOverallP untouched) otherwise.
int cpMakeOverallScore(const _cpScore *aScoresP, _cpScore *aOverallP);

// Keeps the device and display options among those the driver offers (device bits 0x1 and 0x2,
// the 20 display bits); with nothing offered an option stays.
void cpCheckOption(_cpEnv *aEnvP, uint32_t aDeviceMask, uint32_t aDisplayMask);

// A system text too long for one line is broken at the last space within its first 26
// characters. aFirstP (at least 27 chars) receives the first line; *aRestPP the second line, or
// null when the text fits on one.
void cpSplitLine(const char *aTextP, char *aFirstP, const char **aRestPP);

// Clock text of aHz; 0xFFFFFFFF (not measured) gives an empty text.
std::string cpMakeClockStr(uint32_t aHz);
const char *cpMakeDirectXVerStr(uint32_t aVersion);

// Everything the results file shows.
struct _cpResultInfo {
    const char *cpuNameP;
    const char *clockP;
    const char *adapterP;
    int32_t freeMem, totalMem, freeVram; // KB
    uint32_t directXVer;
    uint32_t cpuSupport; // ENV_EX_* bits of the processor
    const _cpEnv *envP;
    const _cpScore *scoresP; // CP_TEST_NUM
    const _cpScore *overallP;
};

// The results file's text, lines ending in '\n'.
std::string cpMakeResultsText(const _cpResultInfo &aInfo);

#endif
