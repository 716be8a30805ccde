#include "DeviceFixture.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "App/App/Appflow.h"
#include "Library/Draw/DrawCore.h"
#include "Library/Matrix/MATLIB.h"
#include "System/Draw/DrawMan.h"
#include "System/Sys/SYSTEM.h"
#include "System/Texture/TEXMAN.h"

namespace fx {

static const char _className[] = "KestrelDeviceTest";
static GUID _halGuid = IID_IDirect3DHALDevice;
static bool _texMan;  // OpenScene started the texture manager

// ---------------------------------------------------------------- window and device

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

static void _openWindow(long aWidth, long aHeight, bool aFull)
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
    sysWork.rootWinH = CreateWindowExA(0, _className, "Device test", style, 0, 0, (int)aWidth, (int)aHeight, nullptr,
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
}

long Open(long aWidth, long aHeight, long aDepth, bool aFull, bool aTriple)
{
    entryKsfDrawHook(); // as the program does at start
    _openWindow(aWidth, aHeight, aFull);
    const long result = sDrawManInit(aWidth, aHeight, aDepth, nullptr, &_halGuid, aFull ? 1 : 0, aTriple ? 1 : 0);
    Pump();
    return result;
}

long OpenScene(long aWidth, long aHeight)
{
    entryKsfDrawHook(); // as the program does at start
    _openWindow(aWidth, aHeight, false);
    // Another program on the same display (a full-screen test) can hold the device for a moment.
    long result = -1;
    for (int attempt = 0; attempt < 10 && result != 0; ++attempt) {
        if (attempt)
            Sleep(500);
        result = sDrawManInit(aWidth, aHeight, 32, nullptr, &_halGuid, 0, 0);
    }
    if (result != 0)
        return -1;
    sTexManInit(256, 256);
    _texMan = true;
    D3DVECTOR eye = {}, at = {}, up = {};
    eye.z = -10.0f;
    up.y = 1.0f;
    drawMan.cameraP->SetEyePos(eye);
    drawMan.cameraP->SetLookAtPos(at);
    drawMan.cameraP->SetUpVec(up);
    drawMan.cameraP->SetFovAngle(0.78539816f);
    drawMan.cameraP->SetNearFar(1.0f, 100.0f);
    drawMan.cameraP->Update();
    sDrawSetState(D3DRENDERSTATE_LIGHTING, TRUE);
    sDrawSetState(D3DRENDERSTATE_AMBIENT, 0);
    sDrawSetState(D3DRENDERSTATE_ZENABLE, TRUE);
    sDrawSetState(D3DRENDERSTATE_ZFUNC, D3DCMP_LESSEQUAL);
    Pump();
    return 0;
}

void Close()
{
    if (_texMan)
        sTexManExit();
    _texMan = false;
    sDrawManExit();
    if (sysWork.rootWinH)
        DestroyWindow(sysWork.rootWinH);
    sysWork.rootWinH = nullptr;
    Pump();
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

// ---------------------------------------------------------------- pixels

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

uint32_t Pixel(long aX, long aY)
{
    return ReadRgb(drawMan.backP, aX, aY);
}

int Distance(uint32_t aA, uint32_t aB)
{
    int d = 0;
    for (int s = 0; s < 24; s += 8) {
        const int c = std::abs((int)((aA >> s) & 0xFF) - (int)((aB >> s) & 0xFF));
        d = c > d ? c : d;
    }
    return d;
}

uint32_t Blend(uint32_t aA, uint32_t aB, float aW)
{
    uint32_t out = 0;
    for (int s = 0; s < 24; s += 8) {
        const float c = ((aA >> s) & 0xFF) * aW + ((aB >> s) & 0xFF) * (1.0f - aW);
        out |= (uint32_t)(c + 0.5f) << s;
    }
    return out;
}

// ---------------------------------------------------------------- scene

void Clear(uint32_t aRgb)
{
    drawMan.backCol = aRgb;
    sDrawClear();
}

bool Begin()
{
    return sDrawBeginScene() != 0;
}

void End()
{
    sDrawEndScene();
}

POINT Screen(float aX, float aY, float aZ)
{
    D3DMATRIX unit;
    sMatrixCreateUnit(&unit);
    D3DVECTOR p = {}, s;
    p.x = aX, p.y = aY, p.z = aZ;
    sMatrixRotTransPers(&unit, &p, &s);
    POINT pt = {(LONG)s.x, (LONG)s.y};
    return pt;
}

_textureSet TexSet(const std::string &aFileP, uint32_t aUVIndex)
{
    _textureSet t;
    std::memset(&t, 0, sizeof t);
    std::snprintf(t.fileName, sizeof t.fileName, "%s", aFileP.c_str());
    t.texFlg = 0x1001;  // texture surface, name used as given
    t.opacity = 1.0f;
    t.pageInfo.refNum = -1;
    t.info.rect.right = 16;
    t.info.rect.bottom = 16;
    t.texUVIndex = aUVIndex;
    t.texOp = D3DTOP_MODULATE;
    t.texArg1 = D3DTA_TEXTURE;
    t.texArg2 = D3DTA_DIFFUSE;
    t.alphaOp = D3DTOP_SELECTARG2;
    t.alphaArg1 = D3DTA_TEXTURE;
    t.alphaArg2 = D3DTA_DIFFUSE;
    t.texNum = -1;
    t.texPageNum = -1;
    return t;
}

Quad::Quad(uint32_t aRgb, float aSize, float aX, float aY, float aZ)
{
    const float corner[4][2] = {{-1, 1}, {1, 1}, {-1, -1}, {1, -1}};
    for (int i = 0; i < 4; ++i) {
        _vertexDef &v = vertex[i];
        v.vx = aX + corner[i][0] * aSize;
        v.vy = aY + corner[i][1] * aSize;
        v.vz = aZ;
        v.nx = v.ny = 0.0f;
        v.nz = -1.0f;
        v.u0 = v.u1 = (corner[i][0] + 1) * 0.5f;
        v.v0 = v.v1 = (1 - corner[i][1]) * 0.5f;
    }
    const uint16_t idx[6] = {0, 1, 2, 1, 3, 2};
    std::memcpy(index, idx, sizeof index);
    indexSet = {6, index, D3DPT_TRIANGLELIST};
    vertexSet = {4, vertex, 0x212, nullptr, 0, 1, &indexSet};
    std::memset(&ability, 0, sizeof ability);
    ability.abilityStatus = 0x2;
    ability.material.diffuse.a = 1.0f;
    ability.material.emissive.r = ((aRgb >> 16) & 0xFF) / 255.0f;
    ability.material.emissive.g = ((aRgb >> 8) & 0xFF) / 255.0f;
    ability.material.emissive.b = (aRgb & 0xFF) / 255.0f;
    ability.srcBlend = D3DBLEND_SRCALPHA;
    ability.destBlend = D3DBLEND_INVSRCALPHA;
    ability.vertexDefSetNum = 1;
    ability.vertexDefSetP = &vertexSet;
    abilityTbl[0] = &ability;
    std::memset(&def, 0, sizeof def);
    def.abilityDefNum = 1;
    def.abilityDefP = abilityTbl;
    def.nextNum = def.childNum = -1;
    def.minX = aX - aSize, def.maxX = aX + aSize;
    def.minY = aY - aSize, def.maxY = aY + aSize;
    def.minZ = aZ - 0.01, def.maxZ = aZ + 0.01;
    def.vertexCnt = 4;
    def.polyCnt = 2;
}

void Quad::Alpha(float aA)
{
    ability.material.diffuse.a = aA;
    if (aA < 1.0f)
        ability.abilityStatus |= 0x1;
    else
        ability.abilityStatus &= ~0x1u;
}

void Quad::Flip()
{
    const uint16_t idx[6] = {0, 2, 1, 1, 2, 3};
    std::memcpy(index, idx, sizeof index);
}

void Quad::Textures(const std::vector<_textureSet> &aSets)
{
    texSet = aSets;
    ability.texStageNum = (int32_t)texSet.size();
    ability.texSetP = texSet.data();
}

// ---------------------------------------------------------------- image files

std::string TempPath(const std::string &aName)
{
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    return std::string(dir) + aName;
}

std::string Write(const std::string &aName, const std::vector<uint8_t> &aData)
{
    const std::string path = TempPath(aName);
    FILE *fp = std::fopen(path.c_str(), "wb");
    if (fp) {
        std::fwrite(aData.data(), 1, aData.size(), fp);
        std::fclose(fp);
    }
    return path;
}

kbImage Flat(uint32_t aWidth, uint32_t aHeight, uint32_t aRgba)
{
    return kbImageMake(aWidth, aHeight, aRgba);
}

kbImage Halves(uint32_t aWidth, uint32_t aHeight, uint32_t aLeft, uint32_t aRight)
{
    kbImage image = kbImageMake(aWidth, aHeight, aLeft);
    for (uint32_t y = 0; y < aHeight; ++y)
        for (uint32_t x = aWidth / 2; x < aWidth; ++x)
            image.pixels[y * aWidth + x] = aRight;
    return image;
}

std::vector<uint8_t> BmpBytes(const kbImage &aImage, int aDepth)
{
    kbBytes out;
    std::string error;
    kbBmpWrite(aImage, aDepth, &out, &error);
    return out;
}

std::string Bmp(const std::string &aName, const kbImage &aImage, int aDepth)
{
    return Write(aName, BmpBytes(aImage, aDepth));
}

std::string Tga(const std::string &aName, const kbImage &aImage, int aDepth, int aType)
{
    kbBytes out;
    std::string error;
    kbTargaWrite(aImage, aType, aDepth, false, &out, &error);
    return Write(aName, out);
}

std::string Ksm(const std::string &aName, const kbImage &aImage, int aDepth, int aCompress)
{
    kbBytes out;
    std::string error;
    kbImage image = aImage;
    if (aDepth == 8 && image.palette.empty())
        kbImageIndex(&image);
    kbKsmWrite(image, aDepth, aCompress, aName, &out, &error);
    return Write(aName, out);
}

std::string Avi(const std::string &aName, const kbAviClip &aClip, int aDepth)
{
    kbAviBytes out;
    std::string error;
    kbAviWrite(aClip, aDepth, &out, &error);
    return Write(aName, out);
}

std::string Bitmap(const char *aNameP, uint32_t aRgb)
{
    return Bmp(aNameP, Flat(16, 16, aRgb << 8 | 0xFF), 24);
}

bool EnterTempFolder(const std::string &aName, char *aOldDirP)
{
    GetCurrentDirectoryA(MAX_PATH, aOldDirP);
    const std::string dir = TempPath(aName);
    CreateDirectoryA(dir.c_str(), nullptr);
    return SetCurrentDirectoryA(dir.c_str()) != 0;
}

std::string PicturePackage(const std::string &aPath, const std::string &aName, const kbImage &aImage)
{
    kbKsfEntry entry;
    entry.name = aName;
    std::string err;
    kbBytes pack;
    if (!kbBmpWrite(aImage, 24, &entry.data, &err) || !kbKsfWrite({entry}, &pack, &err) ||
        !kbWriteFile(aPath, pack, &err))
        return err.empty() ? "cannot write " + aPath : err;
    return "";
}

} // namespace fx
