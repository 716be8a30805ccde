#include "System/Env/Env.h"

#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <time.h>
#endif

const tagID_Table AMD_ID_Table[] = {
    {0x480, "Am486 WT"},
    {0x490, "Am486 WB"},
    {0x4E0, "Am5x86 WT"},
    {0x4F0, "Am5x86 WB"},
    {0x500, "AMD-K5 model0"},
    {0x510, "AMD-K5 model1"},
    {0x520, "AMD-K5 model2"},
    {0x530, "AMD-K5 model3"},
    {0x560, "AMD-K6 (0.35u)"},
    {0x570, "AMD-K6 (0.25u)"},
    {0x580, "AMD-K6-2"},
    {0x590, "AMD-K6-3(Sharptooth)"},
    {0, "Unknown"},
};

const tagID_Table CYRIX_ID_Table[] = {
    {0x440, "MediaGX"},
    {0x520, "6x86"},
    {0x600, "6x86MX"},
    {0, "Unknown"},
};

const tagID_Table IDT_ID_Table[] = {
    {0x540, "IDT WinChip C6"},
    {0x580, "IDT WinChip2"},
    {0, "Unknown"},
};

// The 0x1xxx rows are OverDrive parts; the key never keeps that bit, so they stay unmatched.
const tagID_Table INTEL_ID_Table[] = {
    {0x440, "i486SL"},
    {0x470, "WriteBack Enhanced DX2"},
    {0x480, "DX4"},
    {0x510, "Pentium"},
    {0x520, "Pentium"},
    {0x1510, "Pentium ODP for Pentium"},
    {0x1520, "Pentium ODP for Pentium"},
    {0x1530, "Pentium ODP for i486"},
    {0x540, "MMX Pentium"},
    {0x1540, "MMX Pentium ODP for Pentium"},
    {0x610, "PentiumPro"},
    {0x630, "PentiumII [model3]"},
    {0x650, "PentiumII or PentiumII Xeon or Celeron [model5]"},
    {0x660, "Celeron [model6]"},
    {0x670, "PentiumIII or PentiumIII Xeon [model7]"},
    {0x680, "PentiumIII or PentiumIII Xeon or Celeron [model8]"},
    {0x6A0, "PentiumIII Xeon [modelA]"},
    {0x1630, "PentiumII ODP"},
    {0, "Unknown"},
};

// ---- the real processor ----

// CPUID exists when the ID flag (EFLAGS bit 21) can be toggled; 386s and early 486s hold it.
static long _realCheckCpuId(void)
{
#if defined(__i386__)
    uint32_t before, after;
    __asm__ volatile("pushfl\n\t"
                     "popl %0\n\t"
                     "movl %0, %1\n\t"
                     "xorl $0x200000, %1\n\t"
                     "pushl %1\n\t"
                     "popfl\n\t"
                     "pushfl\n\t"
                     "popl %1\n\t"
                     "pushl %0\n\t"
                     "popfl"
                     : "=&r"(before), "=&r"(after)
                     :
                     : "cc", "memory");
    return ((before ^ after) & 0x200000) ? 1 : 0;
#elif defined(__x86_64__)
    return 1;
#else
    return 0;
#endif
}

static void _realGetCpuId(uint32_t aFunc, CpuId *aId)
{
#if defined(__i386__) || defined(__x86_64__)
    // ebx may be the PIC register on i386, so it is saved by hand.
    uint32_t a, b, c, d;
    __asm__ volatile(
#if defined(__i386__)
        "xchgl %%ebx, %1\n\t"
        "cpuid\n\t"
        "xchgl %%ebx, %1"
#else
        "xchgq %%rbx, %q1\n\t"
        "cpuid\n\t"
        "xchgq %%rbx, %q1"
#endif
        : "=a"(a), "=&r"(b), "=c"(c), "=d"(d)
        : "0"(aFunc), "2"(0u));
    aId->eax = a;
    aId->ebx = b;
    aId->ecx = c;
    aId->edx = d;
#else
    (void)aFunc;
    *aId = CpuId{};
#endif
}

static uint64_t _realReadTsc(void)
{
#if defined(__i386__) || defined(__x86_64__)
    uint32_t lo, hi;
    __asm__ volatile("rdtsc" : "=a"(lo), "=d"(hi));
    return ((uint64_t)hi << 32) | lo;
#else
    return 0;
#endif
}

static void _realWait(uint32_t aMs)
{
#ifdef _WIN32
    Sleep(aMs);
#else
    timespec left = {(time_t)(aMs / 1000), (long)(aMs % 1000) * 1000000L};
    // A signal must not cut the measured interval short.
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
#endif
}

static _envCpuHooks _envHooks = {_realCheckCpuId, _realGetCpuId, _realReadTsc, _realWait};

void sEnvSetCpuHooks(const _envCpuHooks *aHooks)
{
    _envHooks.checkCpuIdP = (aHooks && aHooks->checkCpuIdP) ? aHooks->checkCpuIdP : _realCheckCpuId;
    _envHooks.getCpuIdP = (aHooks && aHooks->getCpuIdP) ? aHooks->getCpuIdP : _realGetCpuId;
    _envHooks.readTscP = (aHooks && aHooks->readTscP) ? aHooks->readTscP : _realReadTsc;
    _envHooks.waitP = (aHooks && aHooks->waitP) ? aHooks->waitP : _realWait;
}

// ---- identification ----

static long _checkCpuId(void)
{
    return _envHooks.checkCpuIdP();
}

static void _getCpuId(uint32_t aFunc, CpuId *aId)
{
    _envHooks.getCpuIdP(aFunc, aId);
}

static const char *_getCpuName(const tagID_Table *aTable, uint32_t aId)
{
    for (; aTable->ID != 0; ++aTable) {
        if (aTable->ID == aId) {
            return aTable->CPUName;
        }
    }
    return aTable->CPUName;
}

// Registers hold text in little-endian byte order, as the processor defines it.
static void _putRegText(char *aDst, uint32_t aReg)
{
    for (int i = 0; i < 4; ++i) {
        aDst[i] = (char)((aReg >> (8 * i)) & 0xFF);
    }
}

static void _copyName(char *aDst, size_t aSize, const char *aSrc)
{
    strncpy(aDst, aSrc, aSize - 1);
    aDst[aSize - 1] = '\0';
}

struct _vendorRow {
    const char *vendor;
    const tagID_Table *table;
};

static const _vendorRow _vendorTbl[] = {
    {"AuthenticAMD", AMD_ID_Table},
    {"GenuineIntel", INTEL_ID_Table},
    {"CyrixInstead", CYRIX_ID_Table},
    {"CentaurHauls", IDT_ID_Table},
};

void sEnvGetCpuInfo(_cpuInfo *aInfo)
{
    if (!aInfo) {
        return;
    }
    memset(aInfo, 0, sizeof(*aInfo));
    _copyName(aInfo->venderId, sizeof(aInfo->venderId), "Unknown");
    _copyName(aInfo->cpuName, sizeof(aInfo->cpuName), "Unknown");
    if (!_checkCpuId()) {
        return;
    }

    CpuId id;
    _getCpuId(0, &id);
    _putRegText(aInfo->venderId + 0, id.ebx);
    _putRegText(aInfo->venderId + 4, id.edx);
    _putRegText(aInfo->venderId + 8, id.ecx);
    aInfo->venderId[12] = '\0';

    CpuId std1;
    _getCpuId(1, &std1);
    uint32_t key = std1.eax & 0xFF0;

    long intelB = 0;
    for (const _vendorRow &row : _vendorTbl) {
        if (memcmp(aInfo->venderId, row.vendor, 12) == 0) {
            _copyName(aInfo->cpuName, sizeof(aInfo->cpuName), _getCpuName(row.table, key));
            intelB = (row.table == INTEL_ID_Table);
            break;
        }
    }

    _getCpuId(0x80000000, &id);
    // Processors without extended functions answer with whatever their highest standard
    // function holds (a Pentium II gives its cache descriptors), so only 0x8000xxxx counts.
    const uint32_t maxExt = (id.eax & 0xFFFF0000u) == 0x80000000u ? id.eax : 0;

    // Function 1 carries FPU, MMX, SSE and SSE2 in the same bits for every maker. 3DNow! and its
    // extensions exist only in the extended function of the makers that define it, which also
    // repeats the FPU and MMX bits; Intel keeps other meanings there.
    uint32_t ex = 0;
    if (std1.edx & (1u << 0)) ex |= ENV_EX_FPU;
    if (std1.edx & (1u << 23)) ex |= ENV_EX_MMX;
    if (std1.edx & (1u << 25)) ex |= ENV_EX_SSE;
    if (std1.edx & (1u << 26)) ex |= ENV_EX_SSE2;
    if (!intelB && maxExt >= 0x80000001) {
        _getCpuId(0x80000001, &id);
        if (id.edx & (1u << 0)) ex |= ENV_EX_FPU;
        if (id.edx & (1u << 23)) ex |= ENV_EX_MMX;
        if (id.edx & (1u << 31)) ex |= ENV_EX_3DNOW;
        if ((id.edx & 0x40400000) == 0x40400000) ex |= ENV_EX_E3DNOW;
    }
    aInfo->exFanc = ex;

    if (maxExt >= 0x80000004) {
        char brand[49];
        for (uint32_t f = 0; f < 3; ++f) {
            _getCpuId(0x80000002 + f, &id);
            _putRegText(brand + f * 16 + 0, id.eax);
            _putRegText(brand + f * 16 + 4, id.ebx);
            _putRegText(brand + f * 16 + 8, id.ecx);
            _putRegText(brand + f * 16 + 12, id.edx);
        }
        brand[48] = '\0';
        // Some makers right-justify the brand string.
        const char *text = brand;
        while (*text == ' ') {
            ++text;
        }
        // A blank brand string would hide the table's name.
        if (*text != '\0') {
            _copyName(aInfo->cpuName, sizeof(aInfo->cpuName), text);
        }
    }
}

// ---- clock ----

int64_t sEnvGetClock(void)
{
    if (!_checkCpuId()) {
        return -1;
    }
    CpuId std1;
    _getCpuId(1, &std1);
    if (!(std1.edx & 0x10)) {
        return -1;
    }
    uint64_t start = _envHooks.readTscP();
    _envHooks.waitP(1000);
    uint64_t end = _envHooks.readTscP();
    // A counter that went backwards (a move to an unsynchronised core) measured nothing.
    if (end < start) {
        return -1;
    }
    return (int64_t)(end - start);
}
