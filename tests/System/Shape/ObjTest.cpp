#include "ObjTest.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Library/Matrix/MATLIB.h"
#include "System/Draw/DrawMan.h"
#include "System/Sys/SYSTEM.h"
#include "System/Texture/TEXMAN.h"

namespace ot {

static const char _className[] = "KestrelObjectTest";
static GUID _halGuid = IID_IDirect3DHALDevice;

static LRESULT CALLBACK _proc(HWND aWin, UINT aMsg, WPARAM aWParam, LPARAM aLParam)
{
    return DefWindowProcA(aWin, aMsg, aWParam, aLParam);
}

static void _pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

long Open(long aWidth, long aHeight)
{
    static bool registered = false;
    if (!registered) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = _proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hbrBackground = (HBRUSH)GetStockObject(BLACK_BRUSH);
        wc.lpszClassName = _className;
        RegisterClassA(&wc);
        registered = true;
    }
    sysWork.rootWinH = CreateWindowExA(0, _className, "Object test", WS_CAPTION | WS_SYSMENU | WS_VISIBLE, 0, 0,
                                       (int)aWidth, (int)aHeight, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    sysWork.status = (sysWork.status & ~SYS_FULLSCREEN) | SYS_ACTIVE;
    ShowWindow(sysWork.rootWinH, SW_SHOW);
    sSysSetWinRect(aWidth, aHeight);
    _pump();
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
    D3DVECTOR eye = {}, at = {}, up = {};
    eye.z = -10.0f;
    up.y = 1.0f;
    drawMan.cameraP->SetEyePos(eye);
    drawMan.cameraP->SetLookAtPos(at);
    drawMan.cameraP->SetUpVec(up);
    drawMan.cameraP->SetFovAngle(0.78539816f);
    drawMan.cameraP->SetNearFar(1.0f, 100.0f);
    drawMan.cameraP->Update();
    IDirect3DDevice7 *dev = drawMan.d3dDevP;
    dev->SetRenderState(D3DRENDERSTATE_LIGHTING, TRUE);
    dev->SetRenderState(D3DRENDERSTATE_AMBIENT, 0);
    dev->SetRenderState(D3DRENDERSTATE_ZENABLE, TRUE);
    dev->SetRenderState(D3DRENDERSTATE_ZFUNC, D3DCMP_LESSEQUAL);
    _pump();
    return 0;
}

void Close()
{
    sTexManExit();
    sDrawManExit();
    if (sysWork.rootWinH)
        DestroyWindow(sysWork.rootWinH);
    sysWork.rootWinH = nullptr;
    _pump();
}

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

static uint32_t _widen(uint32_t aPixel, uint32_t aMask)
{
    if (!aMask)
        return 0;
    uint32_t shift = 0, bits = 0;
    while (!((aMask >> shift) & 1))
        ++shift;
    while ((aMask >> (shift + bits)) & 1)
        ++bits;
    const uint32_t v = (aPixel & aMask) >> shift;
    return bits >= 8 ? v >> (bits - 8) : (v * 255 + ((1u << bits) - 1) / 2) / ((1u << bits) - 1);
}

uint32_t Pixel(long aX, long aY)
{
    DDSURFACEDESC2 desc = {};
    desc.dwSize = sizeof desc;
    if (FAILED(drawMan.backP->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr)))
        return 0xFFFFFFFF;
    const DDPIXELFORMAT &pf = desc.ddpfPixelFormat;
    const uint8_t *row = (const uint8_t *)desc.lpSurface + aY * desc.lPitch;
    uint32_t px = 0;
    const uint32_t bytes = pf.dwRGBBitCount / 8;
    std::memcpy(&px, row + aX * bytes, bytes);
    drawMan.backP->Unlock(nullptr);
    return _widen(px, pf.dwRBitMask) << 16 | _widen(px, pf.dwGBitMask) << 8 | _widen(px, pf.dwBBitMask);
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

std::string Bitmap(const char *aNameP, uint32_t aRgb)
{
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    const std::string path = std::string(dir) + aNameP;
    const int w = 16, h = 16, stride = w * 3;
    BITMAPFILEHEADER fh = {};
    BITMAPINFOHEADER ih = {};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof ih;
    fh.bfSize = fh.bfOffBits + stride * h;
    ih.biSize = sizeof ih;
    ih.biWidth = w;
    ih.biHeight = h;
    ih.biPlanes = 1;
    ih.biBitCount = 24;
    std::vector<uint8_t> pixels(stride * h);
    for (int i = 0; i < w * h; ++i) {
        pixels[i * 3 + 0] = aRgb & 0xFF;
        pixels[i * 3 + 1] = (aRgb >> 8) & 0xFF;
        pixels[i * 3 + 2] = (aRgb >> 16) & 0xFF;
    }
    if (FILE *f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(&fh, sizeof fh, 1, f);
        std::fwrite(&ih, sizeof ih, 1, f);
        std::fwrite(pixels.data(), 1, pixels.size(), f);
        std::fclose(f);
    }
    return path;
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

// ---------------------------------------------------------------- recording device

static std::vector<Call> _log;
static LARGE_INTEGER _spent;
static bool _record;

class Recorder final : public IDirect3DDevice7 {
public:
    explicit Recorder(IDirect3DDevice7 *aRealP) : _realP(aRealP) {}
    IDirect3DDevice7 *_realP;

// Each call is passed on; the time inside the real device is summed.
#define OT_PASS(expr)                                  \
    LARGE_INTEGER t0, t1;                              \
    QueryPerformanceCounter(&t0);                      \
    HRESULT hr = _realP->expr;                         \
    QueryPerformanceCounter(&t1);                      \
    _spent.QuadPart += t1.QuadPart - t0.QuadPart;      \
    return hr

    HRESULT WINAPI QueryInterface(REFIID riid, void **ppv) override { OT_PASS(QueryInterface(riid, ppv)); }
    ULONG WINAPI AddRef() override { return 1; }
    ULONG WINAPI Release() override { return 1; }
    HRESULT WINAPI GetCaps(D3DDEVICEDESC7 *d) override { OT_PASS(GetCaps(d)); }
    HRESULT WINAPI EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK cb, void *ctx) override
    {
        OT_PASS(EnumTextureFormats(cb, ctx));
    }
    HRESULT WINAPI BeginScene() override { OT_PASS(BeginScene()); }
    HRESULT WINAPI EndScene() override { OT_PASS(EndScene()); }
    HRESULT WINAPI GetDirect3D(IDirect3D7 **d) override { OT_PASS(GetDirect3D(d)); }
    HRESULT WINAPI SetRenderTarget(IDirectDrawSurface7 *s, DWORD f) override { OT_PASS(SetRenderTarget(s, f)); }
    HRESULT WINAPI GetRenderTarget(IDirectDrawSurface7 **s) override { OT_PASS(GetRenderTarget(s)); }
    HRESULT WINAPI Clear(DWORD n, D3DRECT *r, DWORD f, D3DCOLOR c, D3DVALUE z, DWORD s) override
    {
        OT_PASS(Clear(n, r, f, c, z, s));
    }
    HRESULT WINAPI SetTransform(D3DTRANSFORMSTATETYPE s, D3DMATRIX *m) override { OT_PASS(SetTransform(s, m)); }
    HRESULT WINAPI GetTransform(D3DTRANSFORMSTATETYPE s, D3DMATRIX *m) override { OT_PASS(GetTransform(s, m)); }
    HRESULT WINAPI SetViewport(D3DVIEWPORT7 *v) override { OT_PASS(SetViewport(v)); }
    HRESULT WINAPI MultiplyTransform(D3DTRANSFORMSTATETYPE s, D3DMATRIX *m) override
    {
        OT_PASS(MultiplyTransform(s, m));
    }
    HRESULT WINAPI GetViewport(D3DVIEWPORT7 *v) override { OT_PASS(GetViewport(v)); }
    HRESULT WINAPI SetMaterial(D3DMATERIAL7 *m) override { OT_PASS(SetMaterial(m)); }
    HRESULT WINAPI GetMaterial(D3DMATERIAL7 *m) override { OT_PASS(GetMaterial(m)); }
    HRESULT WINAPI SetLight(DWORD i, D3DLIGHT7 *l) override { OT_PASS(SetLight(i, l)); }
    HRESULT WINAPI GetLight(DWORD i, D3DLIGHT7 *l) override { OT_PASS(GetLight(i, l)); }
    HRESULT WINAPI SetRenderState(D3DRENDERSTATETYPE t, DWORD v) override
    {
        if (_record)
            _log.push_back({Call::SetState, (DWORD)t, v, 0});
        OT_PASS(SetRenderState(t, v));
    }
    HRESULT WINAPI GetRenderState(D3DRENDERSTATETYPE t, LPDWORD v) override { OT_PASS(GetRenderState(t, v)); }
    HRESULT WINAPI BeginStateBlock() override { OT_PASS(BeginStateBlock()); }
    HRESULT WINAPI EndStateBlock(LPDWORD h) override { OT_PASS(EndStateBlock(h)); }
    HRESULT WINAPI PreLoad(IDirectDrawSurface7 *s) override { OT_PASS(PreLoad(s)); }
    HRESULT WINAPI DrawPrimitive(D3DPRIMITIVETYPE p, DWORD fvf, void *v, DWORD n, DWORD f) override
    {
        if (_record)
            _log.push_back({Call::Draw, (DWORD)p, n, 0});
        OT_PASS(DrawPrimitive(p, fvf, v, n, f));
    }
    HRESULT WINAPI DrawIndexedPrimitive(D3DPRIMITIVETYPE p, DWORD fvf, void *v, DWORD n, WORD *i, DWORD ni,
                                        DWORD f) override
    {
        if (_record)
            _log.push_back({Call::Draw, (DWORD)p, n, ni});
        OT_PASS(DrawIndexedPrimitive(p, fvf, v, n, i, ni, f));
    }
    HRESULT WINAPI SetClipStatus(D3DCLIPSTATUS *c) override { OT_PASS(SetClipStatus(c)); }
    HRESULT WINAPI GetClipStatus(D3DCLIPSTATUS *c) override { OT_PASS(GetClipStatus(c)); }
    HRESULT WINAPI DrawPrimitiveStrided(D3DPRIMITIVETYPE p, DWORD fvf, D3DDRAWPRIMITIVESTRIDEDDATA *d, DWORD n,
                                        DWORD f) override
    {
        OT_PASS(DrawPrimitiveStrided(p, fvf, d, n, f));
    }
    HRESULT WINAPI DrawIndexedPrimitiveStrided(D3DPRIMITIVETYPE p, DWORD fvf, D3DDRAWPRIMITIVESTRIDEDDATA *d,
                                               DWORD n, WORD *i, DWORD ni, DWORD f) override
    {
        OT_PASS(DrawIndexedPrimitiveStrided(p, fvf, d, n, i, ni, f));
    }
    HRESULT WINAPI DrawPrimitiveVB(D3DPRIMITIVETYPE p, IDirect3DVertexBuffer7 *vb, DWORD s, DWORD n,
                                   DWORD f) override
    {
        if (_record)
            _log.push_back({Call::Draw, (DWORD)p, n, 0});
        OT_PASS(DrawPrimitiveVB(p, vb, s, n, f));
    }
    HRESULT WINAPI DrawIndexedPrimitiveVB(D3DPRIMITIVETYPE p, IDirect3DVertexBuffer7 *vb, DWORD s, DWORD n,
                                          WORD *i, DWORD ni, DWORD f) override
    {
        if (_record)
            _log.push_back({Call::Draw, (DWORD)p, n, ni});
        OT_PASS(DrawIndexedPrimitiveVB(p, vb, s, n, i, ni, f));
    }
    HRESULT WINAPI ComputeSphereVisibility(D3DVECTOR *c, D3DVALUE *r, DWORD n, DWORD f, DWORD *ret) override
    {
        OT_PASS(ComputeSphereVisibility(c, r, n, f, ret));
    }
    HRESULT WINAPI GetTexture(DWORD s, IDirectDrawSurface7 **t) override { OT_PASS(GetTexture(s, t)); }
    HRESULT WINAPI SetTexture(DWORD s, IDirectDrawSurface7 *t) override
    {
        if (_record)
            _log.push_back({Call::SetTexture, s, (DWORD)(uintptr_t)t, 0});
        OT_PASS(SetTexture(s, t));
    }
    HRESULT WINAPI GetTextureStageState(DWORD s, D3DTEXTURESTAGESTATETYPE t, LPDWORD v) override
    {
        OT_PASS(GetTextureStageState(s, t, v));
    }
    HRESULT WINAPI SetTextureStageState(DWORD s, D3DTEXTURESTAGESTATETYPE t, DWORD v) override
    {
        if (_record)
            _log.push_back({Call::SetStage, s, (DWORD)t, v});
        OT_PASS(SetTextureStageState(s, t, v));
    }
    HRESULT WINAPI ValidateDevice(LPDWORD p) override { OT_PASS(ValidateDevice(p)); }
    HRESULT WINAPI ApplyStateBlock(DWORD h) override { OT_PASS(ApplyStateBlock(h)); }
    HRESULT WINAPI CaptureStateBlock(DWORD h) override { OT_PASS(CaptureStateBlock(h)); }
    HRESULT WINAPI DeleteStateBlock(DWORD h) override { OT_PASS(DeleteStateBlock(h)); }
    HRESULT WINAPI CreateStateBlock(D3DSTATEBLOCKTYPE t, LPDWORD h) override { OT_PASS(CreateStateBlock(t, h)); }
    HRESULT WINAPI Load(IDirectDrawSurface7 *d, POINT *p, IDirectDrawSurface7 *s, RECT *r, DWORD f) override
    {
        OT_PASS(Load(d, p, s, r, f));
    }
    HRESULT WINAPI LightEnable(DWORD i, WINBOOL e) override { OT_PASS(LightEnable(i, e)); }
    HRESULT WINAPI GetLightEnable(DWORD i, WINBOOL *e) override { OT_PASS(GetLightEnable(i, e)); }
    HRESULT WINAPI SetClipPlane(DWORD i, D3DVALUE *p) override { OT_PASS(SetClipPlane(i, p)); }
    HRESULT WINAPI GetClipPlane(DWORD i, D3DVALUE *p) override { OT_PASS(GetClipPlane(i, p)); }
    HRESULT WINAPI GetInfo(DWORD i, void *p, DWORD n) override { OT_PASS(GetInfo(i, p, n)); }
#undef OT_PASS
};

static Recorder *_recorder;

static void _insert(bool aRecord)
{
    _log.clear();
    _spent.QuadPart = 0;
    _record = aRecord;
    if (!_recorder) {
        _recorder = new Recorder(drawMan.d3dDevP);
        drawMan.d3dDevP = _recorder;
    }
}

static void _remove()
{
    if (_recorder) {
        drawMan.d3dDevP = _recorder->_realP;
        delete _recorder;
        _recorder = nullptr;
    }
    _record = false;
}

void Start()
{
    _insert(true);
}

std::vector<Call> Stop()
{
    _remove();
    return _log;
}

void StartTiming()
{
    _insert(false);
}

void StopTiming()
{
    _remove();
}

double DeviceSeconds()
{
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return (double)_spent.QuadPart / (double)f.QuadPart;
}

} // namespace ot
