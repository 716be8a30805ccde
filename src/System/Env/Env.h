#ifndef KESTREL_SYSTEM_ENV_ENV_H
#define KESTREL_SYSTEM_ENV_ENV_H

#include <cstdint>

// exFanc: the instruction-set extensions that the maths routines and the control panel use.
enum : uint32_t {
    ENV_EX_FPU    = 0x01,
    ENV_EX_MMX    = 0x02,
    ENV_EX_SSE    = 0x04,
    ENV_EX_SSE2   = 0x08,
    ENV_EX_3DNOW  = 0x10,
    ENV_EX_E3DNOW = 0x20,
};

struct _cpuInfo {
    char venderId[16];      // 12-character vendor string, or "Unknown"
    char cpuName[56];       // brand string or table name, or "Unknown"
    uint32_t exFanc;        // ENV_EX_* bits
};
static_assert(sizeof(_cpuInfo) == 76, "_cpuInfo is part of the capability record");

// The four result registers of one CPUID call.
struct CpuId {
    uint32_t eax;
    uint32_t ebx;
    uint32_t ecx;
    uint32_t edx;
};

// One name-table row; ID is family and model (function 1 eax & 0xFF0). A row with ID 0 ends
// each table and names what nothing else matched.
struct tagID_Table {
    uint32_t ID;
    const char *CPUName;
};

extern const tagID_Table AMD_ID_Table[];
extern const tagID_Table CYRIX_ID_Table[];
extern const tagID_Table IDT_ID_Table[];
extern const tagID_Table INTEL_ID_Table[];

// Vendor, name and extension bits of the processor; never fails ("Unknown", no bits).
void sEnvGetCpuInfo(_cpuInfo *aInfo);

// Time-stamp counter ticks in one second (the clock in Hz), -1 when it cannot be measured.
// Blocks for one second.
int64_t sEnvGetClock(void);

// The processor behind the two calls above: the real instructions unless replaced, so that
// recorded register values of any processor can stand in for it. A null field keeps the real
// one; a null record restores them all.
struct _envCpuHooks {
    long (*checkCpuIdP)(void);                      // 1 when CPUID exists
    void (*getCpuIdP)(uint32_t aFunc, CpuId *aId);  // one CPUID call
    uint64_t (*readTscP)(void);                     // the time-stamp counter
    void (*waitP)(uint32_t aMs);                    // the wait between two counter readings
};
void sEnvSetCpuHooks(const _envCpuHooks *aHooks);

#endif
