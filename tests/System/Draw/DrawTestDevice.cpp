#include "DrawTestDevice.h"

#include <d3d.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "System/Draw/DrawMan.h"
#include "Library/Draw/DrawCore.h"
#include "System/Sys/SYSTEM.h"

namespace dt {

static const char _className[] = "KestrelDrawTest";
static GUID _halGuid = IID_IDirect3DHALDevice;

GUID *HalGuid()
{
    return &_halGuid;
}

HWND Window()
{
    return sysWork.rootWinH;
}

static LRESULT CALLBACK _proc(HWND aWin, UINT aMsg, WPARAM aWParam, LPARAM aLParam)
{
    return DefWindowProcA(aWin, aMsg, aWParam, aLParam);
}

void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

long Open(long aWidth, long aHeight, long aDepth, bool aFull, bool aTriple)
{
    static bool registered = false;
    if (!registered) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = _proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hCursor = LoadCursorA(nullptr, (LPCSTR)IDC_ARROW);
        wc.hbrBackground = (HBRUSH)GetStockObject(BLACK_BRUSH);
        wc.lpszClassName = _className;
        RegisterClassA(&wc);
        registered = true;
    }
    const DWORD style = aFull ? (WS_POPUP | WS_VISIBLE) : (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_VISIBLE);
    sysWork.rootWinH = CreateWindowExA(0, _className, "Draw test", style, 0, 0, (int)aWidth, (int)aHeight, nullptr,
                                       nullptr, GetModuleHandleA(nullptr), nullptr);
    if (aFull)
        sysWork.status |= SYS_FULLSCREEN;
    else
        sysWork.status &= ~SYS_FULLSCREEN;
    sysWork.status |= SYS_ACTIVE;
    ShowWindow(sysWork.rootWinH, SW_SHOW);
    SetForegroundWindow(sysWork.rootWinH);
    sSysSetWinRect(aWidth, aHeight);
    Pump();
    const long result = sDrawManInit(aWidth, aHeight, aDepth, nullptr, &_halGuid, aFull ? 1 : 0, aTriple ? 1 : 0);
    Pump();
    return result;
}

void Close()
{
    sDrawManExit();
    if (sysWork.rootWinH)
        DestroyWindow(sysWork.rootWinH);
    sysWork.rootWinH = nullptr;
    Pump();
}

static bool _lock(IDirectDrawSurface7 *aSufP, DDSURFACEDESC2 *aDescP)
{
    std::memset(aDescP, 0, sizeof *aDescP);
    aDescP->dwSize = sizeof *aDescP;
    return aSufP && SUCCEEDED(aSufP->Lock(nullptr, aDescP, DDLOCK_WAIT | DDLOCK_READONLY, nullptr));
}

static uint32_t _widen(uint32_t aPixel, uint32_t aMask)
{
    if (!aMask)
        return 0xFF;
    const uint32_t width = sDrawGetMaskWidth(aMask);
    const uint32_t v = (aPixel & aMask) >> sDrawGetShiftNum(aMask);
    if (width >= 8)
        return v >> (width - 8);
    return v * 255 / ((1u << width) - 1);
}

uint32_t ReadRaw(IDirectDrawSurface7 *aSufP, long aX, long aY, uint32_t *aAlphaP)
{
    DDSURFACEDESC2 ddsd;
    if (!_lock(aSufP, &ddsd))
        return 0xFFFFFFFF;
    const uint8_t *row = (const uint8_t *)ddsd.lpSurface + aY * ddsd.lPitch;
    uint32_t p = 0;
    switch (ddsd.ddpfPixelFormat.dwRGBBitCount) {
    case 8:
        p = row[aX];
        break;
    case 16:
        p = ((const uint16_t *)row)[aX];
        break;
    case 24:
        p = row[aX * 3] | row[aX * 3 + 1] << 8 | row[aX * 3 + 2] << 16;
        break;
    default:
        p = ((const uint32_t *)row)[aX];
    }
    if (aAlphaP) {
        const bool alpha = ddsd.ddpfPixelFormat.dwFlags & DDPF_ALPHAPIXELS;
        *aAlphaP = alpha ? _widen(p, ddsd.ddpfPixelFormat.dwRGBAlphaBitMask) : 0xFF;
    }
    aSufP->Unlock(nullptr);
    return p;
}

uint32_t ReadRgb(IDirectDrawSurface7 *aSufP, long aX, long aY)
{
    DDSURFACEDESC2 ddsd;
    if (!_lock(aSufP, &ddsd))
        return 0xFFFFFFFF;
    aSufP->Unlock(nullptr);
    const uint32_t p = ReadRaw(aSufP, aX, aY);
    const DDPIXELFORMAT &f = ddsd.ddpfPixelFormat;
    return _widen(p, f.dwRBitMask) << 16 | _widen(p, f.dwGBitMask) << 8 | _widen(p, f.dwBBitMask);
}

std::vector<uint32_t> Snapshot(IDirectDrawSurface7 *aSufP, uint32_t *aPitchP)
{
    std::vector<uint32_t> rgb;
    DDSURFACEDESC2 ddsd;
    if (!_lock(aSufP, &ddsd))
        return rgb;
    const DDPIXELFORMAT &f = ddsd.ddpfPixelFormat;
    const uint32_t bytes = f.dwRGBBitCount / 8;
    rgb.resize((size_t)ddsd.dwWidth * ddsd.dwHeight);
    for (DWORD y = 0; y < ddsd.dwHeight; ++y) {
        const uint8_t *row = (const uint8_t *)ddsd.lpSurface + y * ddsd.lPitch;
        for (DWORD x = 0; x < ddsd.dwWidth; ++x) {
            const uint32_t p = bytes == 2 ? ((const uint16_t *)row)[x] : ((const uint32_t *)row)[x];
            rgb[y * ddsd.dwWidth + x] =
                _widen(p, f.dwRBitMask) << 16 | _widen(p, f.dwGBitMask) << 8 | _widen(p, f.dwBBitMask);
        }
    }
    aSufP->Unlock(nullptr);
    *aPitchP = ddsd.dwWidth;
    return rgb;
}

void SurfaceSize(IDirectDrawSurface7 *aSufP, uint32_t *aWidthP, uint32_t *aHeightP)
{
    DDSURFACEDESC2 ddsd = {};
    ddsd.dwSize = sizeof ddsd;
    aSufP->GetSurfaceDesc(&ddsd);
    *aWidthP = ddsd.dwWidth;
    *aHeightP = ddsd.dwHeight;
}

uint32_t SurfaceBits(IDirectDrawSurface7 *aSufP)
{
    DDSURFACEDESC2 ddsd = {};
    ddsd.dwSize = sizeof ddsd;
    aSufP->GetSurfaceDesc(&ddsd);
    return ddsd.ddpfPixelFormat.dwRGBBitCount;
}

struct _modeQuery {
    long w, h, d;
    bool found;
};

static HRESULT WINAPI _modeCallback(DDSURFACEDESC2 *aDescP, void *aContextP)
{
    _modeQuery *q = (_modeQuery *)aContextP;
    if ((long)aDescP->dwWidth == q->w && (long)aDescP->dwHeight == q->h &&
        (aDescP->ddpfPixelFormat.dwFlags & DDPF_RGB) && (long)aDescP->ddpfPixelFormat.dwRGBBitCount == q->d) {
        q->found = true;
        return DDENUMRET_CANCEL;
    }
    return DDENUMRET_OK;
}

bool ModeOffered(long aWidth, long aHeight, long aDepth)
{
    IDirectDraw7 *dd = nullptr;
    if (FAILED(DirectDrawCreateEx(nullptr, (void **)&dd, IID_IDirectDraw7, nullptr)))
        return false;
    _modeQuery q = {aWidth, aHeight, aDepth, false};
    dd->EnumDisplayModes(0, nullptr, &q, _modeCallback);
    dd->Release();
    return q.found;
}

const char *TempPath(const char *aNameP)
{
    static std::string path;
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    path = std::string(dir) + aNameP;
    return path.c_str();
}

} // namespace dt
