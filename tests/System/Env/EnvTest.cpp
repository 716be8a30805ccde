#include "System/Env/Env.h"

#include <gtest/gtest.h>

#include <cpuid.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace {

// One processor as its registers describe it, modelled on the part it is named after; rows
// marked "made up" bend one value to probe one rule.
struct CpuRow {
    const char *label;
    const char *vendor;  // null: no CPUID instruction
    uint32_t sig;        // function 1 eax
    uint32_t edx1;       // function 1 edx
    uint32_t maxExt;     // function 0x80000000 eax
    uint32_t edxExt;     // function 0x80000001 edx
    const char *brand;   // functions 0x80000002..4, null for zeros
    const char *wantName;
    uint32_t wantEx;
};

const uint32_t kFM = ENV_EX_FPU | ENV_EX_MMX;
const uint32_t kSse = kFM | ENV_EX_SSE;
const uint32_t kSse2 = kSse | ENV_EX_SSE2;
const uint32_t kAmd3d = kFM | ENV_EX_3DNOW;
const uint32_t kAmdE3d = kAmd3d | ENV_EX_E3DNOW;
const char kP4Brand[] = "              Intel(R) Pentium(R) 4 CPU 1500MHz";
const char k48[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuv";

// The period processors a user may run Kestrel on, with the registers they report (Intel P6
// parts answer function 0x80000000 with their cache descriptors).
const CpuRow kPeriodCpus[] = {
    {"Pentium MMX", "GenuineIntel", 0x543, 0x008001BF, 0x543, 0, nullptr, "MMX Pentium", kFM},
    {"Pentium II", "GenuineIntel", 0x652, 0x0183F9FF, 0x03020101, 0, nullptr,
     "PentiumII or PentiumII Xeon or Celeron [model5]", kFM},
    {"Pentium III", "GenuineIntel", 0x672, 0x0387F9FF, 0x03020101, 0, nullptr,
     "PentiumIII or PentiumIII Xeon [model7]", kSse},
    {"Pentium 4, brand without its leading spaces", "GenuineIntel", 0xF12, 0x3FEBFBFF, 0x80000004, 0, kP4Brand,
     "Intel(R) Pentium(R) 4 CPU 1500MHz", kSse2},
    {"K6-2", "AuthenticAMD", 0x58C, 0x008021BF, 0x80000005, 0x808029BF, "AMD-K6(tm) 3D processor",
     "AMD-K6(tm) 3D processor", kAmd3d},
    {"K6-III", "AuthenticAMD", 0x591, 0x008021BF, 0x80000006, 0x808029BF, "AMD-K6(tm) 3D+ Processor",
     "AMD-K6(tm) 3D+ Processor", kAmd3d},
    {"Athlon", "AuthenticAMD", 0x642, 0x0183F9FF, 0x80000018, 0xC1C3F9FF, "AMD Athlon(tm) Processor",
     "AMD Athlon(tm) Processor", kAmdE3d},
    {"Athlon XP keeps its SSE", "AuthenticAMD", 0x662, 0x0383FBFF, 0x80000008, 0xC1C3FBFF,
     "   AMD Athlon(tm) XP 1800+", "AMD Athlon(tm) XP 1800+", kAmdE3d | ENV_EX_SSE},
    {"Athlon 64 keeps its SSE and SSE2", "AuthenticAMD", 0xF48, 0x078BFBFF, 0x80000018, 0xE3D3FBFF,
     "AMD Athlon(tm) 64 Processor 3200+", "AMD Athlon(tm) 64 Processor 3200+", kAmdE3d | ENV_EX_SSE | ENV_EX_SSE2},
    {"VIA C3 Samuel 2", "CentaurHauls", 0x673, 0x00803035, 0x80000006, 0x80803035, "VIA Samuel 2",
     "VIA Samuel 2", kAmd3d},
    {"VIA C3 Nehemiah", "CentaurHauls", 0x698, 0x0381B93F, 0x80000006, 0, "VIA Nehemiah", "VIA Nehemiah", kSse},
    {"Transmeta Crusoe", "GenuineTMx86", 0x543, 0x0080893F, 0x80000006, 0x0080893F,
     "Transmeta(tm) Crusoe(tm) Processor TM5800", "Transmeta(tm) Crusoe(tm) Processor TM5800", kFM},
    {"6x86MX", "CyrixInstead", 0x600, 0x0080A135, 0, 0, nullptr, "6x86MX", kFM},
    {"WinChip C6", "CentaurHauls", 0x541, 0x008001B5, 0, 0, nullptr, "IDT WinChip C6", kFM},
};

// Rows that bend one value to probe one rule.
const CpuRow kRuleCpus[] = {
    {"no CPUID", nullptr, 0, 0, 0, 0, nullptr, "Unknown", 0},
    {"Intel ignores 3DNow!-like extended bits", "GenuineIntel", 0x686, 0x0383FBFF, 0x80000001, 0xC0C00001, nullptr,
     "PentiumIII or PentiumIII Xeon or Celeron [model8]", kSse},
    {"OverDrive 0x1532 has no 0x530 row", "GenuineIntel", 0x1532, 0x1, 0, 0, nullptr, "Unknown", ENV_EX_FPU},
    {"OverDrive 0x1543 takes the plain row", "GenuineIntel", 0x1543, 0x008001BF, 0, 0, nullptr, "MMX Pentium", kFM},
    {"no extended functions, SSE from function 1", "AuthenticAMD", 0x501, 0x06800001, 0, 0, nullptr,
     "AMD-K5 model0", kSse2},
    {"K6-2 extended leaf without brand keeps the table name", "AuthenticAMD", 0x58C, 0x008021BF, 0x80000001,
     0x808029BF, nullptr, "AMD-K6-2", kAmd3d},
    {"FPU and MMX from the extended leaf alone", "AuthenticAMD", 0x580, 0, 0x80000001, 0x00800001, nullptr,
     "AMD-K6-2", kFM},
    {"bit 30 without bit 22", "AuthenticAMD", 0x580, 0, 0x80000001, 0xC0800001, nullptr, "AMD-K6-2", kAmd3d},
    {"bit 22 without bit 30", "AuthenticAMD", 0x580, 0, 0x80000001, 0x80C00001, nullptr, "AMD-K6-2", kAmd3d},
    {"an answer outside 0x8000xxxx is no extended function", "AuthenticAMD", 0x580, 0x008021BF, 0x80860004,
     0x808029BF, "ignored", "AMD-K6-2", kFM},
    {"WinChip 2 without brand", "CentaurHauls", 0x585, 0x008001B5, 0x80000001, 0x80800135, nullptr, "IDT WinChip2",
     kAmd3d},
    {"other vendor keeps Unknown", "UMC UMC UMC ", 0x412, 0x1, 0, 0, nullptr, "Unknown", ENV_EX_FPU},
    {"other vendor on the extended path", "Geode by NSC", 0x540, 0x0080A135, 0x80000005, 0x80808135,
     "Geode(TM) Integrated Processor", "Geode(TM) Integrated Processor", kAmd3d},
    {"brand of 48 characters kept whole", "AuthenticAMD", 0x580, 0, 0x80000004, 0, k48, k48, 0},
    {"blank brand keeps the table name", "AuthenticAMD", 0x580, 0, 0x80000004, 0, "      ", "AMD-K6-2", 0},
};

const CpuRow *gCpu;

uint32_t _text(const char *aText, size_t aAt)
{
    uint32_t v = 0;
    size_t n = strlen(aText);
    for (size_t i = 0; i < 4; ++i) {
        v |= (aAt + i < n ? (uint32_t)(unsigned char)aText[aAt + i] : 0u) << (8 * i);
    }
    return v;
}

long _recordedCheck(void) { return gCpu->vendor ? 1 : 0; }

// Leaves answer whatever the row holds, even past the highest function it announces.
void _recordedCpuId(uint32_t aFunc, CpuId *aId)
{
    *aId = CpuId{};
    if (aFunc == 0) {
        *aId = {1, _text(gCpu->vendor, 0), _text(gCpu->vendor, 8), _text(gCpu->vendor, 4)};
    } else if (aFunc == 1) {
        aId->eax = gCpu->sig;
        aId->edx = gCpu->edx1;
    } else if (aFunc == 0x80000000) {
        aId->eax = gCpu->maxExt;
    } else if (aFunc == 0x80000001) {
        aId->edx = gCpu->edxExt;
    } else if (aFunc >= 0x80000002 && aFunc <= 0x80000004 && gCpu->brand) {
        size_t at = (aFunc - 0x80000002) * 16;
        *aId = {_text(gCpu->brand, at), _text(gCpu->brand, at + 4), _text(gCpu->brand, at + 8),
                _text(gCpu->brand, at + 12)};
    }
}

struct RecordedCpu : ::testing::Test {
    void SetUp() override
    {
        _envCpuHooks hooks = {_recordedCheck, _recordedCpuId, nullptr, nullptr};
        sEnvSetCpuHooks(&hooks);
    }
    void TearDown() override { sEnvSetCpuHooks(nullptr); }
};

void _expectSurvey(const CpuRow &aRow)
{
    gCpu = &aRow;
    _cpuInfo info;
    memset(&info, 0x5A, sizeof(info));
    sEnvGetCpuInfo(&info);
    EXPECT_STREQ(aRow.vendor ? aRow.vendor : "Unknown", info.venderId) << aRow.label;
    EXPECT_STREQ(aRow.wantName, info.cpuName) << aRow.label;
    EXPECT_EQ(aRow.wantEx, info.exFanc) << aRow.label;
}

TEST_F(RecordedCpu, PeriodProcessorsShowTheirNameAndEveryExtension)
{
    for (const CpuRow &row : kPeriodCpus)
        _expectSurvey(row);
}

TEST_F(RecordedCpu, VendorNameAndExtensionRules)
{
    for (const CpuRow &row : kRuleCpus)
        _expectSurvey(row);
}

uint64_t gTsc[2];
int gTscReads;
uint32_t gWaitMs;
uint64_t _recordedTsc(void) { return gTsc[gTscReads++ % 2]; }
void _recordedWait(uint32_t aMs) { gWaitMs = aMs; }

TEST(RecordedClock, TicksOfOneSecond)
{
    const struct {
        const char *label;
        bool cpuId;
        uint32_t edx1;
        uint64_t t0, t1;
        int64_t want;
        uint32_t waitMs;
    } kRows[] = {
        {"no CPUID", false, 0x10, 0, 1, -1, 0},
        {"no time-stamp counter", true, 0x0080A125, 0, 1, -1, 0},
        {"733 MHz", true, 0x10, 1000, 1000 + 733000000ull, 733000000, 1000},
        {"above 4 GHz, full width", true, 0x10, 1ull << 40, (1ull << 40) + 4500000000ull, 4500000000ll, 1000},
        {"counter went backwards", true, 0x10, 5000000000ull, 1000, -1, 1000},
    };
    for (const auto &r : kRows) {
        CpuRow cpu = {"", r.cpuId ? "GenuineIntel" : nullptr, 0x672, r.edx1, 0, 0, nullptr, nullptr, 0};
        gCpu = &cpu;
        gTsc[0] = r.t0;
        gTsc[1] = r.t1;
        gTscReads = 0;
        gWaitMs = 0;
        _envCpuHooks hooks = {_recordedCheck, _recordedCpuId, _recordedTsc, _recordedWait};
        sEnvSetCpuHooks(&hooks);
        EXPECT_EQ(r.want, sEnvGetClock()) << r.label;
        EXPECT_EQ(r.waitMs, gWaitMs) << r.label;
        sEnvSetCpuHooks(nullptr);
    }
}

// ---- the processor this runs on ----

// The processors the tests are run on under qemu-i386, known by their signature: no machine of
// today reports family 5 or qemu's athlon model.
struct QemuCpu {
    const char *cpu;  // qemu's -cpu argument
    const char *vendor;
    uint32_t sig;
    const char *wantName;
    uint32_t wantEx;
};
const QemuCpu kQemuCpus[] = {
    {"athlon", "AuthenticAMD", 0x623, "QEMU Virtual CPU version 2.5+", kAmdE3d | ENV_EX_SSE | ENV_EX_SSE2},
    {"pentium,+mmx,+cmov", "GenuineIntel", 0x543, "MMX Pentium", kFM},
    {"pentium,+mmx,+cmov,+3dnow,vendor=AuthenticAMD,family=5,model=8,stepping=12", "AuthenticAMD", 0x58C,
     "AMD-K6-2", kAmd3d},
};

const QemuCpu *_qemuCpu(const _cpuInfo &aInfo)
{
    unsigned sig = 0, b, c, d;
    __get_cpuid(1, &sig, &b, &c, &d);
    for (const QemuCpu &q : kQemuCpus)
        if (sig == q.sig && strcmp(aInfo.venderId, q.vendor) == 0)
            return &q;
    return nullptr;
}

bool _underQemu(const _cpuInfo &aInfo)
{
    return _qemuCpu(aInfo) != nullptr;
}

TEST(RealCpu, QemuProcessorsAreSurveyedAsTheirModels)
{
    _cpuInfo info;
    sEnvGetCpuInfo(&info);
    const QemuCpu *q = _qemuCpu(info);
    if (!q) {
        GTEST_SKIP() << "not running under qemu: " << info.cpuName;
    }
    EXPECT_STREQ(q->wantName, info.cpuName) << q->cpu;
    EXPECT_EQ(q->wantEx, info.exFanc) << q->cpu;
}

// The kernel's time-stamp counter rate in MHz: its calibration messages, or "cpu MHz" where no
// frequency scaling can make that figure differ from the counter.
double _kernelTscMhz(void)
{
    const char kRefined[] = "tsc: Refined TSC clocksource calibration: ";
    const char kDetected[] = "tsc: Detected ";
    double mhz = 0;
    char line[512];
    if (FILE *p = popen("dmesg 2>/dev/null", "r")) {
        while (fgets(line, sizeof(line), p)) {
            const char *at;
            double v;
            if ((at = strstr(line, kRefined)) && sscanf(at + strlen(kRefined), "%lf", &v) == 1) {
                mhz = v;
            } else if ((at = strstr(line, kDetected)) && sscanf(at + strlen(kDetected), "%lf", &v) == 1 &&
                       mhz == 0) {
                mhz = v;
            }
        }
        pclose(p);
    }
    struct stat st;
    if (mhz > 0 || stat("/sys/devices/system/cpu/cpu0/cpufreq", &st) == 0) {
        return mhz;
    }
    if (FILE *f = fopen("/proc/cpuinfo", "r")) {
        while (mhz == 0 && fgets(line, sizeof(line), f)) {
            if (sscanf(line, "cpu MHz : %lf", &mhz) != 1) {
                mhz = 0;
            }
        }
        fclose(f);
    }
    return mhz;
}

TEST(RealClock, WithinFivePercentOfTheKernel)
{
    _cpuInfo info;
    sEnvGetCpuInfo(&info);
    if (_underQemu(info)) {
        GTEST_SKIP() << "qemu's counter follows the host, not the emulated processor";
    }
    double kernel = _kernelTscMhz();
    if (kernel <= 0) {
        GTEST_SKIP() << "the kernel reports no usable figure for the time-stamp counter";
    }
    int64_t hz = sEnvGetClock();
    ASSERT_GT(hz, 0);
    double measured = hz / 1e6;
    printf("clock %.3f MHz, kernel %.3f MHz\n", measured, kernel);
    EXPECT_LT(std::fabs(measured - kernel) / kernel, 0.05);
}

}  // namespace
