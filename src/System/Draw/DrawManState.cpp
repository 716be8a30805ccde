// The draw manager's copy of the device's render and texture-stage states: every set goes through
// here, and one that would change nothing is not sent.

#include "System/Draw/DrawMan.h"

#include <cstring>

#include "Common/DEBUGWIN.h"

void sDrawInvalidateStates(void)
{
    _drawStateCache &c = drawMan.state;
    std::memset(c.rsKnown, 0, sizeof c.rsKnown);
    std::memset(c.tssKnown, 0, sizeof c.tssKnown);
    _drawForgetBinds(false);
}

static DWORD _getState(uint16_t aStage, uint16_t aType);

void sDrawForgetSentStates(void)
{
    _drawStateCache &c = drawMan.state;
    std::memset(c.rsSent, 0, sizeof c.rsSent);
    std::memset(c.tssSent, 0, sizeof c.tssSent);
    _drawForgetBinds(true);
}

void _drawCountDraw(D3DPRIMITIVETYPE aType, DWORD aCnt, DWORD aBytes)
{
    // Primitives from vertices: points, line list, line strip, triangle list, strip, fan.
    static const struct {
        D3DPRIMITIVETYPE type;
        DWORD per, less;
    } kinds[] = {{D3DPT_POINTLIST, 1, 0},    {D3DPT_LINELIST, 2, 0},     {D3DPT_LINESTRIP, 1, 1},
                 {D3DPT_TRIANGLELIST, 3, 0}, {D3DPT_TRIANGLESTRIP, 1, 2}, {D3DPT_TRIANGLEFAN, 1, 2}};
    _drawCount &n = drawMan.count;
    n.drawCalls++;
    n.uploadBytes += aBytes;
    for (const auto &k : kinds)
        if (k.type == aType && aCnt > k.less)
            n.primitives += (aCnt - k.less) / k.per;
}

void _drawCountLock(DWORD aFlags, DWORD aBytes)
{
    _drawCount &n = drawMan.count;
    n.locks++;
    if (!(aFlags & DDLOCK_WRITEONLY))
        n.readBacks++;
    if (!(aFlags & DDLOCK_READONLY))
        n.uploadBytes += aBytes;
}

// Keeps the value a state has before the open scope first changes it.
static void _remember(_drawStateScope *aScopeP, uint16_t aStage, uint16_t aType)
{
    for (long i = 0; i < aScopeP->cnt; i++)
        if (aScopeP->saved[i].stage == aStage && aScopeP->saved[i].type == aType)
            return;
    if (aScopeP->cnt >= DRAW_SCOPE_MAX) {
        drawMan.state.lostCnt++;
        return;
    }
    aScopeP->saved[aScopeP->cnt++] = {aStage, aType, _getState(aStage, aType)};
}

// The one place a state reaches the device. States outside the copy are always sent.
static void _setState(uint16_t aStage, uint16_t aType, DWORD aValue)
{
    IDirect3DDevice7 *dev = drawMan.d3dDevP;
    if (dev == nullptr)
        return;
    _drawStateCache &c = drawMan.state;
    uint32_t *valueP = nullptr;
    uint8_t *knownP = nullptr;
    if (aStage == DRAW_RENDER && aType < DRAW_RS_MAX) {
        valueP = &c.rs[aType];
        knownP = &c.rsKnown[aType];
    } else if (aStage != DRAW_RENDER && aStage < DRAW_STAGE_MAX && aType < DRAW_TSS_MAX) {
        valueP = &c.tss[aStage][aType];
        knownP = &c.tssKnown[aStage][aType];
    }
    if (knownP != nullptr && *knownP && *valueP == aValue) {
        c.skipCnt++;
        return;
    }
    if (c.scopeP != nullptr)
        _remember(c.scopeP, aStage, aType);
    uint8_t *sentP = nullptr;
    if (knownP != nullptr) {
        sentP = aStage == DRAW_RENDER ? &c.rsSent[aType] : &c.tssSent[aStage][aType];
        // The copy forgot it, but the device still holds what was last sent.
        if (*sentP && *valueP == aValue)
            c.redundantCnt++;
    }
    const HRESULT hr = aStage == DRAW_RENDER
                           ? DEBUGWIN_CHECK(dev->SetRenderState((D3DRENDERSTATETYPE)aType, aValue))
                           : DEBUGWIN_CHECK(dev->SetTextureStageState(aStage, (D3DTEXTURESTAGESTATETYPE)aType, aValue));
    c.sentCnt++;
    if (knownP == nullptr)
        return;
    // A refused set leaves the device's value unknown.
    *valueP = aValue;
    *knownP = SUCCEEDED(hr) ? 1 : 0;
    *sentP = *knownP;
}

static DWORD _getState(uint16_t aStage, uint16_t aType)
{
    IDirect3DDevice7 *dev = drawMan.d3dDevP;
    _drawStateCache &c = drawMan.state;
    const bool kept = aStage == DRAW_RENDER ? aType < DRAW_RS_MAX : aStage < DRAW_STAGE_MAX && aType < DRAW_TSS_MAX;
    if (kept) {
        const bool known = aStage == DRAW_RENDER ? c.rsKnown[aType] : c.tssKnown[aStage][aType];
        if (known)
            return aStage == DRAW_RENDER ? c.rs[aType] : c.tss[aStage][aType];
    }
    DWORD value = 0;
    if (dev == nullptr)
        return 0;
    const HRESULT hr = aStage == DRAW_RENDER
                           ? DEBUGWIN_CHECK(dev->GetRenderState((D3DRENDERSTATETYPE)aType, &value))
                           : DEBUGWIN_CHECK(dev->GetTextureStageState(aStage, (D3DTEXTURESTAGESTATETYPE)aType, &value));
    if (FAILED(hr) || !kept)
        return value;
    if (aStage == DRAW_RENDER) {
        c.rs[aType] = value;
        c.rsKnown[aType] = 1;
    } else {
        c.tss[aStage][aType] = value;
        c.tssKnown[aStage][aType] = 1;
    }
    return value;
}

void sDrawSetState(D3DRENDERSTATETYPE aType, DWORD aValue)
{
    _setState(DRAW_RENDER, (uint16_t)aType, aValue);
}

void sDrawSetStageState(DWORD aStage, D3DTEXTURESTAGESTATETYPE aType, DWORD aValue)
{
    if (aStage < DRAW_RENDER)
        _setState((uint16_t)aStage, (uint16_t)aType, aValue);
}

DWORD sDrawGetState(D3DRENDERSTATETYPE aType)
{
    return _getState(DRAW_RENDER, (uint16_t)aType);
}

DWORD sDrawGetStageState(DWORD aStage, D3DTEXTURESTAGESTATETYPE aType)
{
    return aStage < DRAW_RENDER ? _getState((uint16_t)aStage, (uint16_t)aType) : 0;
}

void sDrawSetStates(const _drawStateRow *aRowP, long aCnt)
{
    for (long i = 0; aRowP != nullptr && i < aCnt; i++)
        _setState(aRowP[i].stage, aRowP[i].type, aRowP[i].value);
}

struct _blendRow {
    DWORD enable;
    DWORD src;
    DWORD dest;
};

static const _blendRow _blendTable[DRAW_BLEND_PRESETS] = {
    {FALSE, 0, 0},
    {TRUE, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA},
    {TRUE, D3DBLEND_ONE, D3DBLEND_ONE},
    {TRUE, D3DBLEND_SRCALPHA, D3DBLEND_ONE},
    {TRUE, D3DBLEND_INVSRCALPHA, D3DBLEND_SRCALPHA},
    {TRUE, D3DBLEND_SRCALPHA, D3DBLEND_DESTALPHA},
    {TRUE, D3DBLEND_ONE, D3DBLEND_INVSRCALPHA},
    {TRUE, D3DBLEND_ONE, D3DBLEND_SRCALPHA},
    {TRUE, D3DBLEND_ZERO, D3DBLEND_SRCALPHA},
    {TRUE, D3DBLEND_SRCCOLOR, D3DBLEND_INVSRCCOLOR},
};

void sDrawSetBlend(long aPreset)
{
    if (aPreset < 0 || aPreset >= DRAW_BLEND_PRESETS)
        return;
    const _blendRow &b = _blendTable[aPreset];
    if (!b.enable) {
        _setState(DRAW_RENDER, D3DRENDERSTATE_ALPHABLENDENABLE, FALSE);
        return;
    }
    sDrawSetBlendFactors(b.src, b.dest);
}

void sDrawSetBlendFactors(DWORD aSrcBlend, DWORD aDestBlend)
{
    _setState(DRAW_RENDER, D3DRENDERSTATE_ALPHABLENDENABLE, TRUE);
    _setState(DRAW_RENDER, D3DRENDERSTATE_SRCBLEND, aSrcBlend);
    _setState(DRAW_RENDER, D3DRENDERSTATE_DESTBLEND, aDestBlend);
}

// Each setup's states in the order they are set; the stage is the caller's.
struct _stagePreset {
    long cnt;
    struct {
        D3DTEXTURESTAGESTATETYPE type;
        DWORD value;
    } row[6];
};

static const _stagePreset _stageTable[DRAW_STAGE_PRESETS] = {
    {2, {{D3DTSS_COLOROP, D3DTOP_DISABLE}, {D3DTSS_ALPHAOP, D3DTOP_DISABLE}}},
    {1, {{D3DTSS_COLOROP, D3DTOP_DISABLE}}},
    {6,
     {{D3DTSS_COLOROP, D3DTOP_MODULATE},
      {D3DTSS_COLORARG1, D3DTA_TEXTURE},
      {D3DTSS_COLORARG2, D3DTA_DIFFUSE},
      {D3DTSS_ALPHAOP, D3DTOP_MODULATE},
      {D3DTSS_ALPHAARG1, D3DTA_TEXTURE},
      {D3DTSS_ALPHAARG2, D3DTA_DIFFUSE}}},
    {6,
     {{D3DTSS_COLOROP, D3DTOP_MODULATE},
      {D3DTSS_COLORARG1, D3DTA_TEXTURE},
      {D3DTSS_COLORARG2, D3DTA_CURRENT},
      {D3DTSS_ALPHAOP, D3DTOP_MODULATE},
      {D3DTSS_ALPHAARG1, D3DTA_CURRENT},
      {D3DTSS_ALPHAARG2, D3DTA_CURRENT}}},
    {5,
     {{D3DTSS_COLOROP, D3DTOP_MODULATE},
      {D3DTSS_COLORARG1, D3DTA_TEXTURE},
      {D3DTSS_COLORARG2, D3DTA_DIFFUSE},
      {D3DTSS_ALPHAOP, D3DTOP_SELECTARG1},
      {D3DTSS_ALPHAARG1, D3DTA_DIFFUSE}}},
};

void sDrawSetStage(DWORD aStage, long aPreset)
{
    if (aPreset < 0 || aPreset >= DRAW_STAGE_PRESETS || aStage >= DRAW_STAGE_MAX)
        return;
    const _stagePreset &p = _stageTable[aPreset];
    for (long i = 0; i < p.cnt; i++)
        _setState((uint16_t)aStage, (uint16_t)p.row[i].type, p.row[i].value);
}

void sDrawOpenStates(_drawStateScope *aScopeP)
{
    aScopeP->outerP = drawMan.state.scopeP;
    aScopeP->cnt = 0;
    drawMan.state.scopeP = aScopeP;
}

void sDrawCloseStates(_drawStateScope *aScopeP)
{
    _drawStateCache &c = drawMan.state;
    // Giving back is no change the outer scope has to remember.
    c.scopeP = nullptr;
    for (long i = aScopeP->cnt - 1; i >= 0; i--)
        _setState(aScopeP->saved[i].stage, aScopeP->saved[i].type, aScopeP->saved[i].value);
    aScopeP->cnt = 0;
    c.scopeP = aScopeP->outerP;
}
