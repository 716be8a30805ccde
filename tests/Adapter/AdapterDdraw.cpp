// A ddraw.dll for tests only: it loads the system's DirectDraw and makes it answer, and refuse,
// as the adapter named by KESTREL_ADAPTER would (AdapterProfiles.h). Placed beside Kestrel.exe
// in a test's own folder; under Wine it is taken only with WINEDLLOVERRIDES=ddraw=n,b.
//
// The real objects are handed out unchanged; the layer replaces a few entries of their method
// tables, so every pointer Kestrel passes back to DirectDraw is the runtime's own.
//
// KESTREL_ADAPTER_LOG=<file> appends one line per refusal, so a test can tell the failed calls
// it caused from any other. KESTREL_ADAPTER_PACE=<n> runs the program's millisecond clock n
// times faster, so a benchmark scene reaches its end (and its score) in a fraction of its time.

#define CINTERFACE
#define COBJMACROS
#include <windows.h>
#include <ddraw.h>
#include <d3d.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>

#include "AdapterProfiles.h"

typedef HRESULT(WINAPI *_createExProc)(GUID *, void **, REFIID, IUnknown *);
typedef HRESULT(WINAPI *_createProc)(GUID *, IDirectDraw **, IUnknown *);
typedef HRESULT(WINAPI *_enumExAProc)(LPDDENUMCALLBACKEXA, void *, DWORD);
typedef HRESULT(WINAPI *_enumAProc)(LPDDENUMCALLBACKA, void *);
typedef HRESULT(WINAPI *_clipperProc)(DWORD, IDirectDrawClipper **, IUnknown *);
typedef DWORD(WINAPI *_timeProc)(void);

static HMODULE _realDll;
static const _adapterDef *_def;
static volatile LONG _usedBytes; // video memory of the surfaces alive
static DWORD _pace = 1, _paceBase;
static _timeProc _realTime;

// ---- The refusal log

static void _log(const char *aFormatP, ...)
{
    char path[MAX_PATH];
    const DWORD n = GetEnvironmentVariableA("KESTREL_ADAPTER_LOG", path, sizeof path);
    if (n == 0 || n >= sizeof path)
        return;
    FILE *fp = std::fopen(path, "ab");
    if (!fp)
        return;
    va_list args;
    va_start(args, aFormatP);
    std::vfprintf(fp, aFormatP, args);
    va_end(args);
    std::fputc('\n', fp);
    std::fclose(fp);
}

static HRESULT _refuse(HRESULT aResult, const char *aName, const char *aWhat)
{
    _log("refused %s: %s (0x%08lX)", aWhat, aName, (unsigned long)aResult);
    return aResult;
}
#define REFUSE(hr, what) _refuse(hr, #hr, what)

// ---- Method-table entries

// Replaces one entry of an object's method table; the first original is kept (the runtime's
// variants of one method, e.g. with and without the FPU set-up, all do the same work).
template <typename F> static void _hook(F *aSlotP, F aHook, F *aOrigP)
{
    if (*aSlotP == aHook)
        return;
    if (!*aOrigP)
        *aOrigP = *aSlotP;
    DWORD old;
    if (VirtualProtect(aSlotP, sizeof *aSlotP, PAGE_READWRITE, &old)) {
        *aSlotP = aHook;
        VirtualProtect(aSlotP, sizeof *aSlotP, old, &old);
    }
}

// ---- Formats

struct _fmtDef {
    uint32_t bit;
    DWORD flags, fourCC, bits, r, g, b, a;
};
static const _fmtDef _texFmtTbl[] = {
    {ADAPTER_TF_DXT, DDPF_FOURCC, MAKEFOURCC('D', 'X', 'T', '1'), 0, 0, 0, 0, 0},
    {ADAPTER_TF_DXT, DDPF_FOURCC, MAKEFOURCC('D', 'X', 'T', '3'), 0, 0, 0, 0, 0},
    {ADAPTER_TF_DXT, DDPF_FOURCC, MAKEFOURCC('D', 'X', 'T', '5'), 0, 0, 0, 0, 0},
    {ADAPTER_TF_P8, DDPF_RGB | DDPF_PALETTEINDEXED8, 0, 8, 0, 0, 0, 0},
    {ADAPTER_TF_565, DDPF_RGB, 0, 16, 0xF800, 0x07E0, 0x001F, 0},
    {ADAPTER_TF_X1555, DDPF_RGB, 0, 16, 0x7C00, 0x03E0, 0x001F, 0},
    {ADAPTER_TF_A1555, DDPF_RGB | DDPF_ALPHAPIXELS, 0, 16, 0x7C00, 0x03E0, 0x001F, 0x8000},
    {ADAPTER_TF_A4444, DDPF_RGB | DDPF_ALPHAPIXELS, 0, 16, 0x0F00, 0x00F0, 0x000F, 0xF000},
    {ADAPTER_TF_X8888, DDPF_RGB, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0},
    {ADAPTER_TF_A8888, DDPF_RGB | DDPF_ALPHAPIXELS, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},
};

struct _zDef {
    uint32_t bit;
    DWORD flags, bits, stencil, zMask, sMask;
};
static const _zDef _zFmtTbl[] = {
    {ADAPTER_Z16, DDPF_ZBUFFER, 16, 0, 0xFFFF, 0},
    {ADAPTER_Z24, DDPF_ZBUFFER, 32, 0, 0xFFFFFF, 0},
    {ADAPTER_Z24S8, DDPF_ZBUFFER | DDPF_STENCILBUFFER, 32, 8, 0xFFFFFF, 0xFF000000},
    {ADAPTER_Z32, DDPF_ZBUFFER, 32, 0, 0xFFFFFFFF, 0},
};

static DDPIXELFORMAT _texFormat(const _fmtDef &aFmt)
{
    DDPIXELFORMAT pf = {};
    pf.dwSize = sizeof pf;
    pf.dwFlags = aFmt.flags;
    pf.dwFourCC = aFmt.fourCC;
    pf.dwRGBBitCount = aFmt.bits;
    pf.dwRBitMask = aFmt.r;
    pf.dwGBitMask = aFmt.g;
    pf.dwBBitMask = aFmt.b;
    pf.dwRGBAlphaBitMask = aFmt.a;
    return pf;
}

static DDPIXELFORMAT _zFormat(const _zDef &aFmt)
{
    DDPIXELFORMAT pf = {};
    pf.dwSize = sizeof pf;
    pf.dwFlags = aFmt.flags;
    pf.dwZBufferBitDepth = aFmt.bits;
    pf.dwStencilBitDepth = aFmt.stencil;
    pf.dwZBitMask = aFmt.zMask;
    pf.dwStencilBitMask = aFmt.sMask;
    return pf;
}

static bool _texFormatOffered(const DDPIXELFORMAT &aPf)
{
    const DWORD kinds = DDPF_RGB | DDPF_ALPHAPIXELS | DDPF_FOURCC | DDPF_PALETTEINDEXED8;
    for (const _fmtDef &f : _texFmtTbl) {
        if (!(_def->texFormats & f.bit) || (aPf.dwFlags & kinds) != f.flags)
            continue;
        if (f.flags & DDPF_FOURCC) {
            if (aPf.dwFourCC == f.fourCC)
                return true;
        } else if (aPf.dwRGBBitCount == f.bits && (f.bits == 8 || (aPf.dwRBitMask == f.r && aPf.dwGBitMask == f.g &&
                                                                 aPf.dwBBitMask == f.b &&
                                                                 (!(f.flags & DDPF_ALPHAPIXELS) ||
                                                                  aPf.dwRGBAlphaBitMask == f.a)))) {
            return true;
        }
    }
    return false;
}

static bool _zFormatOffered(const DDPIXELFORMAT &aPf)
{
    for (const _zDef &f : _zFmtTbl)
        if ((_def->zFormats & f.bit) && (aPf.dwFlags & (DDPF_ZBUFFER | DDPF_STENCILBUFFER)) == f.flags &&
            aPf.dwZBufferBitDepth == f.bits && aPf.dwZBitMask == f.zMask)
            return true;
    return false;
}

static bool _modeOffered(DWORD aW, DWORD aH, DWORD aBpp)
{
    const uint32_t depth = aBpp == 16 ? (uint32_t)ADAPTER_MODE16 : aBpp == 32 ? (uint32_t)ADAPTER_MODE32 : 0u;
    return (_def->modes & depth) && aW <= _def->modeMaxW && aH <= _def->modeMaxH;
}

static DWORD _heapBytes(void)
{
    return _def->vramMB * 1024u * 1024u;
}

// ---- Video memory: each counted surface carries a token whose last release returns its bytes

static const GUID _tokenGuid = {0x5f0c2d71, 0x3a4e, 0x4b7a, {0x9d, 0x21, 0x6e, 0x0b, 0x77, 0x42, 0x18, 0xc3}};

struct _vramToken {
    IUnknown iface;
    LONG ref;
    LONG bytes;
};

static HRESULT WINAPI _tokenQI(IUnknown *aThis, REFIID aIid, void **aOutPP)
{
    if (IsEqualGUID(aIid, IID_IUnknown)) {
        *aOutPP = aThis;
        aThis->lpVtbl->AddRef(aThis);
        return S_OK;
    }
    *aOutPP = nullptr;
    return E_NOINTERFACE;
}
static ULONG WINAPI _tokenAddRef(IUnknown *aThis)
{
    return (ULONG)InterlockedIncrement(&((_vramToken *)aThis)->ref);
}
static ULONG WINAPI _tokenRelease(IUnknown *aThis)
{
    _vramToken *token = (_vramToken *)aThis;
    const LONG ref = InterlockedDecrement(&token->ref);
    if (ref == 0) {
        InterlockedExchangeAdd(&_usedBytes, -token->bytes);
        delete token;
    }
    return (ULONG)ref;
}
static IUnknownVtbl _tokenVtbl = {_tokenQI, _tokenAddRef, _tokenRelease};

static void _attachToken(IDirectDrawSurface7 *aSufP, LONG aBytes)
{
    _vramToken *token = new _vramToken{{&_tokenVtbl}, 1, aBytes};
    InterlockedExchangeAdd(&_usedBytes, aBytes);
    IUnknown *unk = &token->iface;
    // With DDSPD_IUNKNOWNPOINTER the data is the interface itself; the surface holds a reference.
    if (FAILED(IDirectDrawSurface7_SetPrivateData(aSufP, _tokenGuid, unk, sizeof unk, DDSPD_IUNKNOWNPOINTER)))
        InterlockedExchangeAdd(&_usedBytes, -aBytes); // not tracked: not counted either
    unk->lpVtbl->Release(unk);
}

// ---- IDirectDraw7

static struct {
    HRESULT(WINAPI *QueryInterface)(IDirectDraw7 *, REFIID, void **);
    HRESULT(WINAPI *CreateSurface)(IDirectDraw7 *, DDSURFACEDESC2 *, IDirectDrawSurface7 **, IUnknown *);
    HRESULT(WINAPI *EnumDisplayModes)(IDirectDraw7 *, DWORD, DDSURFACEDESC2 *, void *, LPDDENUMMODESCALLBACK2);
    HRESULT(WINAPI *GetCaps)(IDirectDraw7 *, DDCAPS *, DDCAPS *);
    HRESULT(WINAPI *SetDisplayMode)(IDirectDraw7 *, DWORD, DWORD, DWORD, DWORD, DWORD);
    HRESULT(WINAPI *GetAvailableVidMem)(IDirectDraw7 *, DDSCAPS2 *, DWORD *, DWORD *);
    HRESULT(WINAPI *GetDeviceIdentifier)(IDirectDraw7 *, DDDEVICEIDENTIFIER2 *, DWORD);
} _dd7;

static struct {
    HRESULT(WINAPI *EnumDevices)(IDirect3D7 *, LPD3DENUMDEVICESCALLBACK7, void *);
    HRESULT(WINAPI *CreateDevice)(IDirect3D7 *, REFCLSID, IDirectDrawSurface7 *, IDirect3DDevice7 **);
    HRESULT(WINAPI *EnumZBufferFormats)(IDirect3D7 *, REFCLSID, LPD3DENUMPIXELFORMATSCALLBACK, void *);
} _d3d7;

static struct {
    HRESULT(WINAPI *GetCaps)(IDirect3DDevice7 *, D3DDEVICEDESC7 *);
    HRESULT(WINAPI *EnumTextureFormats)(IDirect3DDevice7 *, LPD3DENUMPIXELFORMATSCALLBACK, void *);
} _dev7;

static void _hookD3D(IDirect3D7 *aD3dP);

static HRESULT WINAPI _ddQueryInterface(IDirectDraw7 *aThis, REFIID aIid, void **aOutPP)
{
    const HRESULT hr = _dd7.QueryInterface(aThis, aIid, aOutPP);
    if (SUCCEEDED(hr) && IsEqualGUID(aIid, IID_IDirect3D7) && *aOutPP)
        _hookD3D((IDirect3D7 *)*aOutPP);
    return hr;
}

static DWORD _displayBpp(IDirectDraw7 *aThis)
{
    DDSURFACEDESC2 desc = {};
    desc.dwSize = sizeof desc;
    if (FAILED(IDirectDraw7_GetDisplayMode(aThis, &desc)))
        return 32;
    return desc.ddpfPixelFormat.dwRGBBitCount;
}

static HRESULT WINAPI _ddCreateSurface(IDirectDraw7 *aThis, DDSURFACEDESC2 *aDescP, IDirectDrawSurface7 **aSufPP,
                                       IUnknown *aOuterP)
{
    if (!aDescP)
        return _dd7.CreateSurface(aThis, aDescP, aSufPP, aOuterP);
    DDSURFACEDESC2 desc = *aDescP;
    const DWORD caps = desc.ddsCaps.dwCaps;
    const bool sized = (desc.dwFlags & (DDSD_WIDTH | DDSD_HEIGHT)) == (DDSD_WIDTH | DDSD_HEIGHT);
    const bool hasFormat = (desc.dwFlags & DDSD_PIXELFORMAT) != 0;
    char what[96];
    if ((caps & DDSCAPS_TEXTURE) && sized) {
        const DWORD w = desc.dwWidth, h = desc.dwHeight;
        std::snprintf(what, sizeof what, "CreateSurface texture %lux%lu", (unsigned long)w, (unsigned long)h);
        if (w > _def->texMax || h > _def->texMax)
            return REFUSE(DDERR_INVALIDPARAMS, what);
        if ((_def->texRules & ADAPTER_TEX_POW2) && ((w & (w - 1)) || (h & (h - 1))))
            return REFUSE(DDERR_INVALIDPARAMS, what);
        if ((_def->texRules & ADAPTER_TEX_SQUARE) && w != h)
            return REFUSE(DDERR_INVALIDPARAMS, what);
        if (hasFormat && !_texFormatOffered(desc.ddpfPixelFormat)) {
            std::snprintf(what, sizeof what, "CreateSurface texture format %lu-bit flags 0x%lX alpha 0x%lX",
                          (unsigned long)desc.ddpfPixelFormat.dwRGBBitCount, (unsigned long)desc.ddpfPixelFormat.dwFlags,
                          (unsigned long)desc.ddpfPixelFormat.dwRGBAlphaBitMask);
            return REFUSE(DDERR_INVALIDPIXELFORMAT, what);
        }
    }
    if ((caps & DDSCAPS_ZBUFFER) && hasFormat && !_zFormatOffered(desc.ddpfPixelFormat)) {
        std::snprintf(what, sizeof what, "CreateSurface Z-buffer %lu-bit", (unsigned long)desc.ddpfPixelFormat.dwZBufferBitDepth);
        return REFUSE(DDERR_INVALIDPIXELFORMAT, what);
    }
    // What the surface takes from the adapter's memory: the primary is the desktop's own
    // memory, its back buffers are not; managed textures and system memory take none.
    LONG bytes = 0;
    const bool managed = (desc.ddsCaps.dwCaps2 & (DDSCAPS2_TEXTUREMANAGE | DDSCAPS2_D3DTEXTUREMANAGE)) != 0;
    if (!(caps & DDSCAPS_SYSTEMMEMORY) && !managed) {
        const DWORD bpp = (caps & DDSCAPS_ZBUFFER) && hasFormat ? desc.ddpfPixelFormat.dwZBufferBitDepth
                          : hasFormat                           ? desc.ddpfPixelFormat.dwRGBBitCount
                                                                : _displayBpp(aThis);
        if (caps & DDSCAPS_PRIMARYSURFACE) {
            if ((desc.dwFlags & DDSD_BACKBUFFERCOUNT) && desc.dwBackBufferCount) {
                DDSURFACEDESC2 mode = {};
                mode.dwSize = sizeof mode;
                if (SUCCEEDED(IDirectDraw7_GetDisplayMode(aThis, &mode)))
                    bytes = (LONG)(mode.dwWidth * mode.dwHeight * (mode.ddpfPixelFormat.dwRGBBitCount / 8) *
                                   desc.dwBackBufferCount);
            }
        } else if (sized) {
            bytes = (LONG)(desc.dwWidth * desc.dwHeight * (bpp / 8));
        }
        if (bytes && (DWORD)(_usedBytes + bytes) > _heapBytes()) {
            if (!(caps & DDSCAPS_VIDEOMEMORY) && (caps & DDSCAPS_TEXTURE)) {
                // Without a placement the runtime falls back to system memory, as it did.
                desc.ddsCaps.dwCaps |= DDSCAPS_SYSTEMMEMORY;
                bytes = 0;
            } else {
                std::snprintf(what, sizeof what, "CreateSurface %ld bytes caps 0x%lX (%ld of %lu in use)", (long)bytes,
                              (unsigned long)caps, (long)_usedBytes, (unsigned long)_heapBytes());
                return REFUSE(DDERR_OUTOFVIDEOMEMORY, what);
            }
        }
    }
    const HRESULT hr = _dd7.CreateSurface(aThis, &desc, aSufPP, aOuterP);
    if (SUCCEEDED(hr) && bytes && aSufPP && *aSufPP)
        _attachToken(*aSufPP, bytes);
    return hr;
}

struct _modeCtx {
    void *ctx;
    LPDDENUMMODESCALLBACK2 cb;
};
static HRESULT WINAPI _modeFilter(DDSURFACEDESC2 *aDescP, void *aCtxP)
{
    const _modeCtx *ctx = (const _modeCtx *)aCtxP;
    if (!_modeOffered(aDescP->dwWidth, aDescP->dwHeight, aDescP->ddpfPixelFormat.dwRGBBitCount))
        return DDENUMRET_OK;
    return ctx->cb(aDescP, ctx->ctx);
}
static HRESULT WINAPI _ddEnumDisplayModes(IDirectDraw7 *aThis, DWORD aFlags, DDSURFACEDESC2 *aDescP, void *aCtxP,
                                          LPDDENUMMODESCALLBACK2 aCb)
{
    if (!aCb)
        return _dd7.EnumDisplayModes(aThis, aFlags, aDescP, aCtxP, aCb);
    _modeCtx ctx = {aCtxP, aCb};
    return _dd7.EnumDisplayModes(aThis, aFlags, aDescP, &ctx, _modeFilter);
}

static void _fixDDCaps(DDCAPS *aCapsP)
{
    if (!aCapsP || aCapsP->dwSize < offsetof(DDCAPS, dwVidMemFree) + sizeof(DWORD))
        return;
    aCapsP->dwVidMemTotal = _heapBytes();
    aCapsP->dwVidMemFree = _heapBytes() - (DWORD)_usedBytes;
}
static HRESULT WINAPI _ddGetCaps(IDirectDraw7 *aThis, DDCAPS *aHalP, DDCAPS *aHelP)
{
    const HRESULT hr = _dd7.GetCaps(aThis, aHalP, aHelP);
    if (SUCCEEDED(hr))
        _fixDDCaps(aHalP);
    return hr;
}

static HRESULT WINAPI _ddSetDisplayMode(IDirectDraw7 *aThis, DWORD aW, DWORD aH, DWORD aBpp, DWORD aRate,
                                        DWORD aFlags)
{
    if (!_modeOffered(aW, aH, aBpp)) {
        char what[64];
        std::snprintf(what, sizeof what, "SetDisplayMode %lux%lux%lu", (unsigned long)aW, (unsigned long)aH,
                      (unsigned long)aBpp);
        return REFUSE(DDERR_INVALIDMODE, what);
    }
    return _dd7.SetDisplayMode(aThis, aW, aH, aBpp, aRate, aFlags);
}

static HRESULT WINAPI _ddGetAvailableVidMem(IDirectDraw7 *aThis, DDSCAPS2 *aCapsP, DWORD *aTotalP, DWORD *aFreeP)
{
    const HRESULT hr = _dd7.GetAvailableVidMem(aThis, aCapsP, aTotalP, aFreeP);
    if (SUCCEEDED(hr)) {
        if (aTotalP)
            *aTotalP = _heapBytes();
        if (aFreeP)
            *aFreeP = _heapBytes() - (DWORD)_usedBytes;
    }
    return hr;
}

static HRESULT WINAPI _ddGetDeviceIdentifier(IDirectDraw7 *aThis, DDDEVICEIDENTIFIER2 *aIdP, DWORD aFlags)
{
    const HRESULT hr = _dd7.GetDeviceIdentifier(aThis, aIdP, aFlags);
    if (SUCCEEDED(hr) && aIdP) {
        lstrcpynA(aIdP->szDescription, _def->description, sizeof aIdP->szDescription);
        lstrcpynA(aIdP->szDriver, "adapter.drv", sizeof aIdP->szDriver);
        aIdP->dwVendorId = 0;
        aIdP->dwDeviceId = 0;
    }
    return hr;
}

static void _hookDDraw(IDirectDraw7 *aDdP)
{
    IDirectDraw7Vtbl *vt = aDdP->lpVtbl;
    _hook(&vt->QueryInterface, _ddQueryInterface, &_dd7.QueryInterface);
    _hook(&vt->CreateSurface, _ddCreateSurface, &_dd7.CreateSurface);
    _hook(&vt->EnumDisplayModes, _ddEnumDisplayModes, &_dd7.EnumDisplayModes);
    _hook(&vt->GetCaps, _ddGetCaps, &_dd7.GetCaps);
    _hook(&vt->SetDisplayMode, _ddSetDisplayMode, &_dd7.SetDisplayMode);
    _hook(&vt->GetAvailableVidMem, _ddGetAvailableVidMem, &_dd7.GetAvailableVidMem);
    _hook(&vt->GetDeviceIdentifier, _ddGetDeviceIdentifier, &_dd7.GetDeviceIdentifier);
}

// ---- IDirect3D7 and IDirect3DDevice7

static void _fixDeviceDesc(D3DDEVICEDESC7 *aDescP)
{
    aDescP->dwMaxTextureWidth = aDescP->dwMaxTextureHeight = _def->texMax;
    aDescP->dwMaxTextureRepeat = _def->texMax;
    for (D3DPRIMCAPS *prim : {&aDescP->dpcLineCaps, &aDescP->dpcTriCaps}) {
        DWORD &tex = prim->dwTextureCaps;
        tex &= ~(D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_SQUAREONLY | D3DPTEXTURECAPS_NONPOW2CONDITIONAL);
        if (_def->texRules & ADAPTER_TEX_POW2)
            tex |= D3DPTEXTURECAPS_POW2;
        if (_def->texRules & ADAPTER_TEX_SQUARE)
            tex |= D3DPTEXTURECAPS_SQUAREONLY;
    }
    if (!(_def->devices & ADAPTER_DEV_TNL))
        aDescP->dwDevCaps &= ~(DWORD)D3DDEVCAPS_HWTRANSFORMANDLIGHT;
    DWORD z = 0;
    if (_def->zFormats & ADAPTER_Z16)
        z |= DDBD_16;
    if (_def->zFormats & (ADAPTER_Z24 | ADAPTER_Z24S8))
        z |= DDBD_24;
    if (_def->zFormats & ADAPTER_Z32)
        z |= DDBD_32;
    aDescP->dwDeviceZBufferBitDepth = z;
    aDescP->dwDeviceRenderBitDepth = (_def->modes & ADAPTER_MODE16 ? DDBD_16 : 0) | (_def->modes & ADAPTER_MODE32 ? DDBD_32 : 0);
    aDescP->wMaxTextureBlendStages = aDescP->wMaxSimultaneousTextures = (WORD)_def->stages;
}

struct _devCtx {
    void *ctx;
    LPD3DENUMDEVICESCALLBACK7 cb;
};
static HRESULT WINAPI _deviceFilter(char *aDescP, char *aNameP, D3DDEVICEDESC7 *aDevP, void *aCtxP)
{
    const _devCtx *ctx = (const _devCtx *)aCtxP;
    const bool tnl = IsEqualGUID(aDevP->deviceGUID, IID_IDirect3DTnLHalDevice);
    const bool hal = IsEqualGUID(aDevP->deviceGUID, IID_IDirect3DHALDevice);
    if ((tnl && !(_def->devices & ADAPTER_DEV_TNL)) || (hal && !(_def->devices & ADAPTER_DEV_HAL)))
        return D3DENUMRET_OK;
    D3DDEVICEDESC7 desc = *aDevP;
    if (tnl || hal)
        _fixDeviceDesc(&desc);
    return ctx->cb(aDescP, aNameP, &desc, ctx->ctx);
}
static HRESULT WINAPI _d3dEnumDevices(IDirect3D7 *aThis, LPD3DENUMDEVICESCALLBACK7 aCb, void *aCtxP)
{
    if (!aCb)
        return _d3d7.EnumDevices(aThis, aCb, aCtxP);
    _devCtx ctx = {aCtxP, aCb};
    return _d3d7.EnumDevices(aThis, _deviceFilter, &ctx);
}

static HRESULT WINAPI _devGetCaps(IDirect3DDevice7 *aThis, D3DDEVICEDESC7 *aDescP)
{
    const HRESULT hr = _dev7.GetCaps(aThis, aDescP);
    if (SUCCEEDED(hr) && aDescP && (IsEqualGUID(aDescP->deviceGUID, IID_IDirect3DTnLHalDevice) ||
                                    IsEqualGUID(aDescP->deviceGUID, IID_IDirect3DHALDevice)))
        _fixDeviceDesc(aDescP);
    return hr;
}

static bool _isHardware(IDirect3DDevice7 *aThis)
{
    D3DDEVICEDESC7 desc = {};
    return SUCCEEDED(_dev7.GetCaps(aThis, &desc)) && (IsEqualGUID(desc.deviceGUID, IID_IDirect3DTnLHalDevice) ||
                                                      IsEqualGUID(desc.deviceGUID, IID_IDirect3DHALDevice));
}

static HRESULT WINAPI _devEnumTextureFormats(IDirect3DDevice7 *aThis, LPD3DENUMPIXELFORMATSCALLBACK aCb, void *aCtxP)
{
    if (!aCb || !_isHardware(aThis))
        return _dev7.EnumTextureFormats(aThis, aCb, aCtxP);
    for (const _fmtDef &f : _texFmtTbl) {
        if (!(_def->texFormats & f.bit))
            continue;
        DDPIXELFORMAT pf = _texFormat(f);
        if (aCb(&pf, aCtxP) == D3DENUMRET_CANCEL)
            break;
    }
    return D3D_OK;
}

static HRESULT WINAPI _d3dEnumZBufferFormats(IDirect3D7 *aThis, REFCLSID aDevice, LPD3DENUMPIXELFORMATSCALLBACK aCb,
                                             void *aCtxP)
{
    const bool hardware =
        IsEqualGUID(aDevice, IID_IDirect3DTnLHalDevice) || IsEqualGUID(aDevice, IID_IDirect3DHALDevice);
    if (!aCb || !hardware)
        return _d3d7.EnumZBufferFormats(aThis, aDevice, aCb, aCtxP);
    for (const _zDef &f : _zFmtTbl) {
        if (!(_def->zFormats & f.bit))
            continue;
        DDPIXELFORMAT pf = _zFormat(f);
        if (aCb(&pf, aCtxP) == D3DENUMRET_CANCEL)
            break;
    }
    return D3D_OK;
}

static void _hookDevice(IDirect3DDevice7 *aDevP)
{
    IDirect3DDevice7Vtbl *vt = aDevP->lpVtbl;
    _hook(&vt->GetCaps, _devGetCaps, &_dev7.GetCaps);
    _hook(&vt->EnumTextureFormats, _devEnumTextureFormats, &_dev7.EnumTextureFormats);
}

static HRESULT WINAPI _d3dCreateDevice(IDirect3D7 *aThis, REFCLSID aDevice, IDirectDrawSurface7 *aTargetP,
                                       IDirect3DDevice7 **aDevPP)
{
    if ((IsEqualGUID(aDevice, IID_IDirect3DTnLHalDevice) && !(_def->devices & ADAPTER_DEV_TNL)) ||
        (IsEqualGUID(aDevice, IID_IDirect3DHALDevice) && !(_def->devices & ADAPTER_DEV_HAL)))
        return REFUSE(DDERR_INVALIDPARAMS, "CreateDevice of a device the adapter lacks");
    if (aTargetP) {
        DDSURFACEDESC2 desc = {};
        desc.dwSize = sizeof desc;
        if (SUCCEEDED(IDirectDrawSurface7_GetSurfaceDesc(aTargetP, &desc)) &&
            !_modeOffered(0, 0, desc.ddpfPixelFormat.dwRGBBitCount) &&
            !IsEqualGUID(aDevice, IID_IDirect3DRGBDevice) && !IsEqualGUID(aDevice, IID_IDirect3DRefDevice))
            return REFUSE(DDERR_INVALIDPIXELFORMAT, "CreateDevice on a render target of a depth the adapter lacks");
    }
    const HRESULT hr = _d3d7.CreateDevice(aThis, aDevice, aTargetP, aDevPP);
    if (SUCCEEDED(hr) && aDevPP && *aDevPP)
        _hookDevice(*aDevPP);
    return hr;
}

static void _hookD3D(IDirect3D7 *aD3dP)
{
    IDirect3D7Vtbl *vt = aD3dP->lpVtbl;
    _hook(&vt->EnumDevices, _d3dEnumDevices, &_d3d7.EnumDevices);
    _hook(&vt->CreateDevice, _d3dCreateDevice, &_d3d7.CreateDevice);
    _hook(&vt->EnumZBufferFormats, _d3dEnumZBufferFormats, &_d3d7.EnumZBufferFormats);
}

// ---- The paced clock

static DWORD WINAPI _pacedTime(void)
{
    const DWORD now = _realTime();
    return _paceBase + (now - _paceBase) * _pace;
}

// Points the program's import of winmm's timeGetTime at the paced clock.
static void _paceProgram(void)
{
    char text[16];
    const DWORD n = GetEnvironmentVariableA("KESTREL_ADAPTER_PACE", text, sizeof text);
    if (n == 0 || n >= sizeof text || std::strtoul(text, nullptr, 10) < 2)
        return;
    BYTE *base = (BYTE *)GetModuleHandleA(nullptr);
    const IMAGE_NT_HEADERS *nt = (const IMAGE_NT_HEADERS *)(base + ((const IMAGE_DOS_HEADER *)base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY &dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!dir.VirtualAddress)
        return;
    for (const IMAGE_IMPORT_DESCRIPTOR *imp = (const IMAGE_IMPORT_DESCRIPTOR *)(base + dir.VirtualAddress); imp->Name;
         ++imp) {
        if (lstrcmpiA((const char *)(base + imp->Name), "winmm.dll") != 0)
            continue;
        const IMAGE_THUNK_DATA *names = (const IMAGE_THUNK_DATA *)(base + imp->OriginalFirstThunk);
        IMAGE_THUNK_DATA *slots = (IMAGE_THUNK_DATA *)(base + imp->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            const IMAGE_IMPORT_BY_NAME *byName = (const IMAGE_IMPORT_BY_NAME *)(base + names->u1.AddressOfData);
            if (lstrcmpA((const char *)byName->Name, "timeGetTime") != 0)
                continue;
            // The program's imports are bound before any library starts: the slot holds the real one.
            _realTime = (_timeProc)(uintptr_t)slots->u1.Function;
            _pace = std::strtoul(text, nullptr, 10);
            _paceBase = _realTime();
            DWORD old;
            if (VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &old)) {
                slots->u1.Function = (DWORD)(uintptr_t)&_pacedTime;
                VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, old, &old);
            }
        }
    }
}

// ---- Start and the exported entry points

static bool _load(void)
{
    if (_realDll)
        return true;
    char path[MAX_PATH];
    const UINT n = GetSystemDirectoryA(path, MAX_PATH - 16);
    if (n == 0 || n >= MAX_PATH - 16)
        return false;
    lstrcatA(path, "\\ddraw.dll");
    _realDll = LoadLibraryA(path);
    return _realDll != nullptr;
}

template <typename F> static F _real(const char *aNameP)
{
    return _load() ? (F)(void *)GetProcAddress(_realDll, aNameP) : nullptr;
}

static bool _active(void)
{
    return !sAdapterPassThrough(_def);
}

// Every DirectDraw object made is also asked for its Direct3D side, so both are hooked before use.
static void _hookNew(IUnknown *aObjP)
{
    if (!_active() || !aObjP)
        return;
    IDirectDraw7 *dd = nullptr;
    if (FAILED(aObjP->lpVtbl->QueryInterface(aObjP, IID_IDirectDraw7, (void **)&dd)) || !dd)
        return;
    _hookDDraw(dd);
    IDirect3D7 *d3d = nullptr;
    if (SUCCEEDED(_dd7.QueryInterface(dd, IID_IDirect3D7, (void **)&d3d)) && d3d) {
        _hookD3D(d3d);
        IDirect3D7_Release(d3d);
    }
    IDirectDraw7_Release(dd);
}

extern "C" {

__declspec(dllexport) HRESULT WINAPI DirectDrawCreateEx(GUID *aGuidP, void **aOutPP, REFIID aIid, IUnknown *aOuterP)
{
    auto real = _real<_createExProc>("DirectDrawCreateEx");
    if (!real)
        return DDERR_GENERIC;
    const HRESULT hr = real(aGuidP, aOutPP, aIid, aOuterP);
    if (SUCCEEDED(hr) && aOutPP)
        _hookNew((IUnknown *)*aOutPP);
    return hr;
}

__declspec(dllexport) HRESULT WINAPI DirectDrawCreate(GUID *aGuidP, IDirectDraw **aOutPP, IUnknown *aOuterP)
{
    auto real = _real<_createProc>("DirectDrawCreate");
    if (!real)
        return DDERR_GENERIC;
    const HRESULT hr = real(aGuidP, aOutPP, aOuterP);
    if (SUCCEEDED(hr) && aOutPP)
        _hookNew((IUnknown *)*aOutPP);
    return hr;
}

__declspec(dllexport) HRESULT WINAPI DirectDrawEnumerateExA(LPDDENUMCALLBACKEXA aCb, void *aCtxP, DWORD aFlags)
{
    auto real = _real<_enumExAProc>("DirectDrawEnumerateExA");
    return real ? real(aCb, aCtxP, aFlags) : DDERR_GENERIC;
}

__declspec(dllexport) HRESULT WINAPI DirectDrawEnumerateA(LPDDENUMCALLBACKA aCb, void *aCtxP)
{
    auto real = _real<_enumAProc>("DirectDrawEnumerateA");
    return real ? real(aCb, aCtxP) : DDERR_GENERIC;
}

__declspec(dllexport) HRESULT WINAPI DirectDrawCreateClipper(DWORD aFlags, IDirectDrawClipper **aOutPP,
                                                            IUnknown *aOuterP)
{
    auto real = _real<_clipperProc>("DirectDrawCreateClipper");
    return real ? real(aFlags, aOutPP, aOuterP) : DDERR_GENERIC;
}

} // extern "C"

BOOL WINAPI DllMain(HINSTANCE aInst, DWORD aReason, void *aReserved)
{
    (void)aInst, (void)aReserved;
    if (aReason == DLL_PROCESS_ATTACH) {
        char name[64];
        const DWORD n = GetEnvironmentVariableA("KESTREL_ADAPTER", name, sizeof name);
        _def = n > 0 && n < sizeof name ? sAdapterFind(name) : nullptr;
        if (!_def)
            _def = &adapterDefTbl[0];
        _paceProgram();
    }
    return TRUE;
}
