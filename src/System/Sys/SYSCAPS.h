#ifndef KESTREL_SYSTEM_SYS_SYSCAPS_H
#define KESTREL_SYSTEM_SYS_SYSCAPS_H

// The machine survey: processor, DirectX version, DirectDraw drivers with their capabilities,
// display modes out of the display table, video memory and Direct3D devices.

#include <windows.h>
#include <ddraw.h>
#include <d3d.h>

#include "System/Env/Env.h"
#include "System/Sys/SysCore.h"

enum { SYS_DD_MAX = 16, SYS_D3D_MAX = 16 };

// Direct3D device bits of a driver's and of the chosen deviceOption.
enum : uint32_t {
    SYS_DEVICE_TNLHAL = 0x1,
    SYS_DEVICE_HAL = 0x2,
    SYS_DEVICE_RGB = 0x4,
    SYS_DEVICE_REF = 0x8,
};

struct _sysD3DCaps {
    char name[64];
    GUID guid;
    D3DDEVICEDESC7 desc;
};

struct _sysDDCaps {
    char name[64];
    GUID guid;
    GUID *guidP;            // null for the primary display driver
    DDCAPS drvCaps;
    DDCAPS helCaps;
    DDDEVICEIDENTIFIER2 devInfo;
    uint32_t deviceOption;  // Direct3D device bits present
    uint32_t displayOption; // display table bits offered
    uint32_t totalVramSize;
    uint32_t freeVramSize;
    uint32_t d3dCapsCnt;
    _sysD3DCaps *d3dCaps[SYS_D3D_MAX];
};

struct _sysCaps {
    _cpuInfo cpuInfo;
    uint32_t cpuClock;        // Hz, 0xFFFFFFFF when not measured
    uint32_t cpuOption;       // code paths chosen in the control panel
    uint32_t renderingOption;
    uint32_t deviceOption;    // the chosen Direct3D device, one bit
    uint32_t displayOption;   // the chosen display mode, one bit
    int32_t curDdNum;         // -1 none
    int32_t curD3dNum;        // -1 none
    uint32_t ddCapsCnt;
    _sysDDCaps *ddCaps[SYS_DD_MAX];
};

static_assert(sizeof(DDCAPS) == 380, "DDCAPS of DirectX 7");

// The DirectDrawCreateEx entry of the library kept loaded at start-up.
typedef HRESULT(WINAPI *_directDrawCreateExProc)(GUID *, void **, REFIID, IUnknown *);
extern _directDrawCreateExProc sysDirectDrawCreateExP;

long sSysMakeCaps(void);
void sSysReleaseCaps(void);
long sSysGetD3dDeviceGuid(uint32_t aDeviceOption, GUID *aGuid);
_sysDDCaps *sSysGetCurDDCaps(void);
_sysD3DCaps *sSysGetCurD3DCaps(void);
// Memory in KB: kind 0 physical, 1 virtual, 2 both (each summed before dividing).
void sSysGetSystemMemory(long aKind, uint32_t *aTotal, uint32_t *aFree);

#endif
