#include "System/Sys/SYSCAPS.h"

#include <cstring>
#include <new>

#include "Common/DEBUGWIN.h"
#include "System/Sys/SYSTEM.h"

// Device GUIDs by device bit, in bit order.
static const GUID *const _deviceGuidTbl[] = {
    &IID_IDirect3DTnLHalDevice, &IID_IDirect3DHALDevice, &IID_IDirect3DRGBDevice, &IID_IDirect3DRefDevice,
};

static void _copyName(char (&aDst)[64], const char *aSrc)
{
    std::strncpy(aDst, aSrc ? aSrc : "", sizeof aDst - 1);
    aDst[sizeof aDst - 1] = '\0';
}

static uint32_t _getDXVersion(void)
{
    HMODULE dll = LoadLibraryA("DDRAW.DLL");
    if (!dll)
        return 0;
    uint32_t version = 0;
    auto create = (_directDrawCreateExProc)(void *)GetProcAddress(dll, "DirectDrawCreateEx");
    IDirectDraw7 *dd = nullptr;
    if (create && SUCCEEDED(create(nullptr, (void **)&dd, IID_IDirectDraw7, nullptr)) && dd) {
        dd->Release();
        version = 0x700;
        if (HMODULE d3d8 = LoadLibraryA("D3D8.DLL")) {
            version = 0x800;
            FreeLibrary(d3d8);
        }
    }
    FreeLibrary(dll);
    return version;
}

static HRESULT WINAPI _modeEnumCallback(DDSURFACEDESC2 *aDesc, void *aContext)
{
    auto *driver = static_cast<_sysDDCaps *>(aContext);
    const DWORD need = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    uint32_t option;
    if ((aDesc->dwFlags & need) == need && (aDesc->ddpfPixelFormat.dwFlags & DDPF_RGB) &&
        sSysGetDisplayOption((int)aDesc->dwWidth, (int)aDesc->dwHeight, (int)aDesc->ddpfPixelFormat.dwRGBBitCount,
                             &option))
        driver->displayOption |= option;
    return DDENUMRET_OK;
}

static HRESULT CALLBACK _d3dEnumDevicesCallback(LPSTR aDesc, LPSTR aName, D3DDEVICEDESC7 *aDevDesc, void *aContext)
{
    (void)aDesc;
    auto *driver = static_cast<_sysDDCaps *>(aContext);
    // The record holds 16 devices; further ones are left out rather than written past the end.
    if (driver->d3dCapsCnt >= SYS_D3D_MAX)
        return D3DENUMRET_OK;
    auto *device = new (std::nothrow) _sysD3DCaps();
    if (!device)
        return D3DENUMRET_OK;
    _copyName(device->name, aName);
    device->guid = aDevDesc->deviceGUID;
    device->desc = *aDevDesc;
    for (unsigned bit = 0; bit < 4; ++bit)
        if (IsEqualGUID(device->guid, *_deviceGuidTbl[bit]))
            driver->deviceOption |= 1u << bit;
    driver->d3dCaps[driver->d3dCapsCnt++] = device;
    return D3DENUMRET_OK;
}

static BOOL WINAPI _ddEnumCallback(GUID *aGuid, LPSTR aDesc, LPSTR aName, void *aContext, HMONITOR aMonitor)
{
    (void)aDesc, (void)aContext, (void)aMonitor;
    _sysCaps &caps = sysWork.caps;
    if (caps.ddCapsCnt >= SYS_DD_MAX || !sysDirectDrawCreateExP)
        return DDENUMRET_OK;
    IDirectDraw7 *dd = nullptr;
    if (FAILED(DEBUGWIN_CHECK(sysDirectDrawCreateExP(aGuid, (void **)&dd, IID_IDirectDraw7, nullptr))) || !dd)
        return DDENUMRET_OK;

    auto *driver = new (std::nothrow) _sysDDCaps();
    DDCAPS hel;
    std::memset(&hel, 0, sizeof hel);
    hel.dwSize = sizeof hel;
    if (driver) {
        driver->drvCaps.dwSize = sizeof driver->drvCaps;
        DWORD total = 0, free = 0;
        DDSCAPS2 vidCaps = {};
        vidCaps.dwCaps = DDSCAPS_VIDEOMEMORY;
        if (SUCCEEDED(DEBUGWIN_CHECK(dd->GetCaps(&driver->drvCaps, &hel))) &&
            SUCCEEDED(DEBUGWIN_CHECK(dd->GetDeviceIdentifier(&driver->devInfo, 0))) &&
            SUCCEEDED(DEBUGWIN_CHECK(dd->EnumDisplayModes(0, nullptr, driver, _modeEnumCallback)))) {
            DEBUGWIN_CHECK(dd->GetAvailableVidMem(&vidCaps, &total, &free));
            _copyName(driver->name, aName);
            if (aGuid) {
                driver->guid = *aGuid;
                driver->guidP = &driver->guid;
            }
            driver->helCaps = hel;
            driver->totalVramSize = total;
            driver->freeVramSize = free;
            caps.ddCaps[caps.ddCapsCnt++] = driver;

            IDirect3D7 *d3d = nullptr;
            if (SUCCEEDED(DEBUGWIN_CHECK(dd->QueryInterface(IID_IDirect3D7, (void **)&d3d))) && d3d) {
                DEBUGWIN_CHECK(d3d->EnumDevices(_d3dEnumDevicesCallback, driver));
                d3d->Release();
            }
        } else {
            delete driver;
        }
    }
    dd->Release();
    return DDENUMRET_OK;
}

long sSysMakeCaps(void)
{
    _sysCaps &caps = sysWork.caps;
    caps.curDdNum = -1;
    caps.curD3dNum = -1;
    sEnvGetCpuInfo(&caps.cpuInfo);
    caps.cpuClock = (uint32_t)sEnvGetClock();
    sysWork.directXVer = _getDXVersion();

    DEBUGWIN_CHECK(DirectDrawEnumerateExA(_ddEnumCallback, nullptr,
                                          DDENUM_ATTACHEDSECONDARYDEVICES | DDENUM_DETACHEDSECONDARYDEVICES |
                                              DDENUM_NONDISPLAYDEVICES));
    if (caps.ddCapsCnt == 0)
        return 0;
    for (uint32_t i = 0; i < caps.ddCapsCnt; ++i) {
        const _sysDDCaps *d = caps.ddCaps[i];
        if ((d->drvCaps.dwCaps & DDCAPS_3D) && (d->drvCaps.ddsCaps.dwCaps & DDSCAPS_3DDEVICE)) {
            caps.curDdNum = (int32_t)i;
            return 1;
        }
    }
    for (uint32_t i = 0; i < caps.ddCapsCnt; ++i) {
        if (!caps.ddCaps[i]->guidP) {
            caps.curDdNum = (int32_t)i;
            return 1;
        }
    }
    return 0;
}

void sSysReleaseCaps(void)
{
    _sysCaps &caps = sysWork.caps;
    for (uint32_t i = 0; i < caps.ddCapsCnt; ++i) {
        _sysDDCaps *d = caps.ddCaps[i];
        for (uint32_t j = 0; j < d->d3dCapsCnt; ++j)
            delete d->d3dCaps[j];
        delete d;
        caps.ddCaps[i] = nullptr;
    }
    caps.ddCapsCnt = 0;
    caps.curDdNum = -1;
    caps.curD3dNum = -1;
}

long sSysGetD3dDeviceGuid(uint32_t aDeviceOption, GUID *aGuid)
{
    static const uint32_t order[] = {SYS_DEVICE_HAL, SYS_DEVICE_TNLHAL, SYS_DEVICE_RGB, SYS_DEVICE_REF};
    for (uint32_t bit : order) {
        if (aDeviceOption & bit) {
            unsigned index = 0;
            while ((1u << index) != bit)
                ++index;
            *aGuid = *_deviceGuidTbl[index];
            return 1;
        }
    }
    return 0;
}

_sysDDCaps *sSysGetCurDDCaps(void)
{
    const _sysCaps &caps = sysWork.caps;
    if (caps.curDdNum < 0 || (uint32_t)caps.curDdNum >= caps.ddCapsCnt)
        return nullptr;
    return caps.ddCaps[caps.curDdNum];
}

_sysD3DCaps *sSysGetCurD3DCaps(void)
{
    _sysDDCaps *driver = sSysGetCurDDCaps();
    const int32_t num = sysWork.caps.curD3dNum;
    if (!driver || num < 0 || (uint32_t)num >= driver->d3dCapsCnt)
        return nullptr;
    return driver->d3dCaps[num];
}

void sSysGetSystemMemory(long aKind, uint32_t *aTotal, uint32_t *aFree)
{
    MEMORYSTATUS mem = {};
    mem.dwLength = sizeof mem;
    GlobalMemoryStatus(&mem);
    // Sums in 64 bits: physical plus virtual passes 4 GiB on large machines.
    uint64_t total, free;
    switch (aKind) {
    case 0:
        total = mem.dwTotalPhys, free = mem.dwAvailPhys;
        break;
    case 1:
        total = mem.dwTotalVirtual, free = mem.dwAvailVirtual;
        break;
    case 2:
        total = (uint64_t)mem.dwTotalPhys + mem.dwTotalVirtual;
        free = (uint64_t)mem.dwAvailPhys + mem.dwAvailVirtual;
        break;
    default:
        return;
    }
    *aTotal = (uint32_t)(total / 1024);
    *aFree = (uint32_t)(free / 1024);
}
