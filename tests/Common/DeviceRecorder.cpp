// The recording device of the Wine tests: every call passed on to the real device, the calls the
// tests look at logged, and the time spent inside the real device summed.

#include "DeviceFixture.h"

#include "System/Draw/DrawMan.h"

namespace fx {

static std::vector<Call> _log;
static LARGE_INTEGER _spent;
static bool _record;
// Calls of this kind get this result without reaching the real device (S_OK: none refused).
static Call::Kind _refuseKind;
static HRESULT _refuseResult = S_OK;

class Recorder final : public IDirect3DDevice7 {
public:
    explicit Recorder(IDirect3DDevice7 *aRealP) : _realP(aRealP) {}
    IDirect3DDevice7 *_realP;

// Each call is passed on; the time inside the real device is summed.
#define FX_PASS(expr)                                  \
    LARGE_INTEGER t0, t1;                              \
    QueryPerformanceCounter(&t0);                      \
    HRESULT hr = _realP->expr;                         \
    QueryPerformanceCounter(&t1);                      \
    _spent.QuadPart += t1.QuadPart - t0.QuadPart;      \
    return hr

    HRESULT WINAPI QueryInterface(REFIID riid, void **ppv) override { FX_PASS(QueryInterface(riid, ppv)); }
    ULONG WINAPI AddRef() override { return 1; }
    ULONG WINAPI Release() override { return 1; }
    HRESULT WINAPI GetCaps(D3DDEVICEDESC7 *d) override { FX_PASS(GetCaps(d)); }
    HRESULT WINAPI EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK cb, void *ctx) override
    {
        FX_PASS(EnumTextureFormats(cb, ctx));
    }
    HRESULT WINAPI BeginScene() override { FX_PASS(BeginScene()); }
    HRESULT WINAPI EndScene() override { FX_PASS(EndScene()); }
    HRESULT WINAPI GetDirect3D(IDirect3D7 **d) override { FX_PASS(GetDirect3D(d)); }
    HRESULT WINAPI SetRenderTarget(IDirectDrawSurface7 *s, DWORD f) override { FX_PASS(SetRenderTarget(s, f)); }
    HRESULT WINAPI GetRenderTarget(IDirectDrawSurface7 **s) override { FX_PASS(GetRenderTarget(s)); }
    HRESULT WINAPI Clear(DWORD n, D3DRECT *r, DWORD f, D3DCOLOR c, D3DVALUE z, DWORD s) override
    {
        FX_PASS(Clear(n, r, f, c, z, s));
    }
    HRESULT WINAPI SetTransform(D3DTRANSFORMSTATETYPE s, D3DMATRIX *m) override { FX_PASS(SetTransform(s, m)); }
    HRESULT WINAPI GetTransform(D3DTRANSFORMSTATETYPE s, D3DMATRIX *m) override { FX_PASS(GetTransform(s, m)); }
    HRESULT WINAPI SetViewport(D3DVIEWPORT7 *v) override { FX_PASS(SetViewport(v)); }
    HRESULT WINAPI MultiplyTransform(D3DTRANSFORMSTATETYPE s, D3DMATRIX *m) override
    {
        FX_PASS(MultiplyTransform(s, m));
    }
    HRESULT WINAPI GetViewport(D3DVIEWPORT7 *v) override { FX_PASS(GetViewport(v)); }
    HRESULT WINAPI SetMaterial(D3DMATERIAL7 *m) override { FX_PASS(SetMaterial(m)); }
    HRESULT WINAPI GetMaterial(D3DMATERIAL7 *m) override { FX_PASS(GetMaterial(m)); }
    HRESULT WINAPI SetLight(DWORD i, D3DLIGHT7 *l) override { FX_PASS(SetLight(i, l)); }
    HRESULT WINAPI GetLight(DWORD i, D3DLIGHT7 *l) override { FX_PASS(GetLight(i, l)); }
    HRESULT WINAPI SetRenderState(D3DRENDERSTATETYPE t, DWORD v) override
    {
        if (_record)
            _log.push_back({Call::SetState, (DWORD)t, v, 0});
        if (_refuseResult != S_OK && _refuseKind == Call::SetState)
            return _refuseResult;
        FX_PASS(SetRenderState(t, v));
    }
    HRESULT WINAPI GetRenderState(D3DRENDERSTATETYPE t, LPDWORD v) override { FX_PASS(GetRenderState(t, v)); }
    HRESULT WINAPI BeginStateBlock() override { FX_PASS(BeginStateBlock()); }
    HRESULT WINAPI EndStateBlock(LPDWORD h) override { FX_PASS(EndStateBlock(h)); }
    HRESULT WINAPI PreLoad(IDirectDrawSurface7 *s) override { FX_PASS(PreLoad(s)); }
    HRESULT WINAPI DrawPrimitive(D3DPRIMITIVETYPE p, DWORD fvf, void *v, DWORD n, DWORD f) override
    {
        if (_record)
            _log.push_back({Call::Draw, (DWORD)p, n, 0});
        if (_refuseResult != S_OK && _refuseKind == Call::Draw)
            return _refuseResult;
        FX_PASS(DrawPrimitive(p, fvf, v, n, f));
    }
    HRESULT WINAPI DrawIndexedPrimitive(D3DPRIMITIVETYPE p, DWORD fvf, void *v, DWORD n, WORD *i, DWORD ni,
                                        DWORD f) override
    {
        if (_record)
            _log.push_back({Call::Draw, (DWORD)p, n, ni});
        if (_refuseResult != S_OK && _refuseKind == Call::Draw)
            return _refuseResult;
        FX_PASS(DrawIndexedPrimitive(p, fvf, v, n, i, ni, f));
    }
    HRESULT WINAPI SetClipStatus(D3DCLIPSTATUS *c) override { FX_PASS(SetClipStatus(c)); }
    HRESULT WINAPI GetClipStatus(D3DCLIPSTATUS *c) override { FX_PASS(GetClipStatus(c)); }
    HRESULT WINAPI DrawPrimitiveStrided(D3DPRIMITIVETYPE p, DWORD fvf, D3DDRAWPRIMITIVESTRIDEDDATA *d, DWORD n,
                                        DWORD f) override
    {
        FX_PASS(DrawPrimitiveStrided(p, fvf, d, n, f));
    }
    HRESULT WINAPI DrawIndexedPrimitiveStrided(D3DPRIMITIVETYPE p, DWORD fvf, D3DDRAWPRIMITIVESTRIDEDDATA *d,
                                               DWORD n, WORD *i, DWORD ni, DWORD f) override
    {
        FX_PASS(DrawIndexedPrimitiveStrided(p, fvf, d, n, i, ni, f));
    }
    HRESULT WINAPI DrawPrimitiveVB(D3DPRIMITIVETYPE p, IDirect3DVertexBuffer7 *vb, DWORD s, DWORD n,
                                   DWORD f) override
    {
        if (_record)
            _log.push_back({Call::Draw, (DWORD)p, n, 0});
        if (_refuseResult != S_OK && _refuseKind == Call::Draw)
            return _refuseResult;
        FX_PASS(DrawPrimitiveVB(p, vb, s, n, f));
    }
    HRESULT WINAPI DrawIndexedPrimitiveVB(D3DPRIMITIVETYPE p, IDirect3DVertexBuffer7 *vb, DWORD s, DWORD n,
                                          WORD *i, DWORD ni, DWORD f) override
    {
        if (_record)
            _log.push_back({Call::Draw, (DWORD)p, n, ni});
        if (_refuseResult != S_OK && _refuseKind == Call::Draw)
            return _refuseResult;
        FX_PASS(DrawIndexedPrimitiveVB(p, vb, s, n, i, ni, f));
    }
    HRESULT WINAPI ComputeSphereVisibility(D3DVECTOR *c, D3DVALUE *r, DWORD n, DWORD f, DWORD *ret) override
    {
        FX_PASS(ComputeSphereVisibility(c, r, n, f, ret));
    }
    HRESULT WINAPI GetTexture(DWORD s, IDirectDrawSurface7 **t) override { FX_PASS(GetTexture(s, t)); }
    HRESULT WINAPI SetTexture(DWORD s, IDirectDrawSurface7 *t) override
    {
        if (_record)
            _log.push_back({Call::SetTexture, s, (DWORD)(uintptr_t)t, 0});
        if (_refuseResult != S_OK && _refuseKind == Call::SetTexture)
            return _refuseResult;
        FX_PASS(SetTexture(s, t));
    }
    HRESULT WINAPI GetTextureStageState(DWORD s, D3DTEXTURESTAGESTATETYPE t, LPDWORD v) override
    {
        FX_PASS(GetTextureStageState(s, t, v));
    }
    HRESULT WINAPI SetTextureStageState(DWORD s, D3DTEXTURESTAGESTATETYPE t, DWORD v) override
    {
        if (_record)
            _log.push_back({Call::SetStage, s, (DWORD)t, v});
        if (_refuseResult != S_OK && _refuseKind == Call::SetStage)
            return _refuseResult;
        FX_PASS(SetTextureStageState(s, t, v));
    }
    HRESULT WINAPI ValidateDevice(LPDWORD p) override { FX_PASS(ValidateDevice(p)); }
    HRESULT WINAPI ApplyStateBlock(DWORD h) override { FX_PASS(ApplyStateBlock(h)); }
    HRESULT WINAPI CaptureStateBlock(DWORD h) override { FX_PASS(CaptureStateBlock(h)); }
    HRESULT WINAPI DeleteStateBlock(DWORD h) override { FX_PASS(DeleteStateBlock(h)); }
    HRESULT WINAPI CreateStateBlock(D3DSTATEBLOCKTYPE t, LPDWORD h) override { FX_PASS(CreateStateBlock(t, h)); }
    HRESULT WINAPI Load(IDirectDrawSurface7 *d, POINT *p, IDirectDrawSurface7 *s, RECT *r, DWORD f) override
    {
        FX_PASS(Load(d, p, s, r, f));
    }
    HRESULT WINAPI LightEnable(DWORD i, WINBOOL e) override { FX_PASS(LightEnable(i, e)); }
    HRESULT WINAPI GetLightEnable(DWORD i, WINBOOL *e) override { FX_PASS(GetLightEnable(i, e)); }
    HRESULT WINAPI SetClipPlane(DWORD i, D3DVALUE *p) override { FX_PASS(SetClipPlane(i, p)); }
    HRESULT WINAPI GetClipPlane(DWORD i, D3DVALUE *p) override { FX_PASS(GetClipPlane(i, p)); }
    HRESULT WINAPI GetInfo(DWORD i, void *p, DWORD n) override { FX_PASS(GetInfo(i, p, n)); }
#undef FX_PASS
};

static Recorder *_recorder;

static void _insert(bool aRecord)
{
    _log.clear();
    _spent.QuadPart = 0;
    _record = aRecord;
    // Every state set from here on reaches the device, so the log holds the whole setup of a draw.
    sDrawInvalidateStates();
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
    _refuseResult = S_OK;
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

void Refuse(Call::Kind aKind, HRESULT aResult)
{
    _refuseKind = aKind;
    _refuseResult = aResult;
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

} // namespace fx
