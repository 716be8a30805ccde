// The draw manager's copy of what is bound on the device besides its states: textures,
// transforms, the material and the viewport go to the device through here, and one that would
// change nothing is not sent.

#include "System/Draw/DrawMan.h"

#include <cstring>

#include "Common/DEBUGWIN.h"

// Whether a set of aSize bytes at aNewP can be skipped against the copy at aCopyP, counting it;
// false when it has to be sent (counted as redundant when it repeats what the device holds).
static bool _skip(int aKind, uint8_t aKnown, uint8_t aSent, const void *aCopyP, const void *aNewP, size_t aSize)
{
    _drawBindCache &b = drawMan.bind;
    const bool same = std::memcmp(aCopyP, aNewP, aSize) == 0;
    if (aKnown && same) {
        b.skipCnt[aKind]++;
        return true;
    }
    if (aSent && same)
        b.redundantCnt[aKind]++;
    b.sentCnt[aKind]++;
    return false;
}

void sDrawSetTexture(DWORD aStage, IDirectDrawSurface7 *aSufP)
{
    IDirect3DDevice7 *dev = drawMan.d3dDevP;
    if (dev == nullptr)
        return;
    _drawBindCache &b = drawMan.bind;
    if (aStage >= DRAW_STAGE_MAX) {
        b.sentCnt[DRAW_BIND_TEXTURE]++;
        sDrawCountTexture();
        DEBUGWIN_CHECK(dev->SetTexture(aStage, aSufP));
        return;
    }
    if (_skip(DRAW_BIND_TEXTURE, b.texKnown[aStage], b.texSent[aStage], &b.tex[aStage], &aSufP, sizeof aSufP))
        return;
    sDrawCountTexture();
    const HRESULT hr = DEBUGWIN_CHECK(dev->SetTexture(aStage, aSufP));
    // A refused set leaves the device's texture unknown.
    b.tex[aStage] = aSufP;
    b.texKnown[aStage] = b.texSent[aStage] = SUCCEEDED(hr) ? 1 : 0;
}

void sDrawSetTransform(D3DTRANSFORMSTATETYPE aType, const D3DMATRIX *aMatP)
{
    IDirect3DDevice7 *dev = drawMan.d3dDevP;
    if (dev == nullptr || aMatP == nullptr)
        return;
    _drawBindCache &b = drawMan.bind;
    const DWORD t = (DWORD)aType;
    if (t >= DRAW_TRANSFORM_MAX) {
        b.sentCnt[DRAW_BIND_TRANSFORM]++;
        DEBUGWIN_CHECK(dev->SetTransform(aType, (D3DMATRIX *)aMatP));
        return;
    }
    if (_skip(DRAW_BIND_TRANSFORM, b.transformKnown[t], b.transformSent[t], &b.transform[t], aMatP, sizeof *aMatP))
        return;
    const HRESULT hr = DEBUGWIN_CHECK(dev->SetTransform(aType, (D3DMATRIX *)aMatP));
    b.transform[t] = *aMatP;
    b.transformKnown[t] = b.transformSent[t] = SUCCEEDED(hr) ? 1 : 0;
}

void sDrawGetTransform(D3DTRANSFORMSTATETYPE aType, D3DMATRIX *aMatP)
{
    IDirect3DDevice7 *dev = drawMan.d3dDevP;
    _drawBindCache &b = drawMan.bind;
    const DWORD t = (DWORD)aType;
    if (t < DRAW_TRANSFORM_MAX && b.transformKnown[t]) {
        *aMatP = b.transform[t];
        return;
    }
    if (dev == nullptr || FAILED(DEBUGWIN_CHECK(dev->GetTransform(aType, aMatP))) || t >= DRAW_TRANSFORM_MAX)
        return;
    b.transform[t] = *aMatP;
    b.transformKnown[t] = 1;
}

void sDrawSetMaterial(const D3DMATERIAL7 *aMtrlP)
{
    IDirect3DDevice7 *dev = drawMan.d3dDevP;
    if (dev == nullptr || aMtrlP == nullptr)
        return;
    _drawBindCache &b = drawMan.bind;
    if (_skip(DRAW_BIND_MATERIAL, b.materialKnown, b.materialSent, &b.material, aMtrlP, sizeof *aMtrlP))
        return;
    const HRESULT hr = DEBUGWIN_CHECK(dev->SetMaterial((D3DMATERIAL7 *)aMtrlP));
    b.material = *aMtrlP;
    b.materialKnown = b.materialSent = SUCCEEDED(hr) ? 1 : 0;
}

void sDrawSetViewport(const D3DVIEWPORT7 *aVpP)
{
    IDirect3DDevice7 *dev = drawMan.d3dDevP;
    if (dev == nullptr || aVpP == nullptr)
        return;
    _drawBindCache &b = drawMan.bind;
    if (_skip(DRAW_BIND_VIEWPORT, b.viewportKnown, b.viewportSent, &b.viewport, aVpP, sizeof *aVpP))
        return;
    const HRESULT hr = DEBUGWIN_CHECK(dev->SetViewport((D3DVIEWPORT7 *)aVpP));
    b.viewport = *aVpP;
    b.viewportKnown = b.viewportSent = SUCCEEDED(hr) ? 1 : 0;
}

void sDrawGetViewport(D3DVIEWPORT7 *aVpP)
{
    IDirect3DDevice7 *dev = drawMan.d3dDevP;
    _drawBindCache &b = drawMan.bind;
    if (b.viewportKnown) {
        *aVpP = b.viewport;
        return;
    }
    if (dev == nullptr || FAILED(DEBUGWIN_CHECK(dev->GetViewport(aVpP))))
        return;
    b.viewport = *aVpP;
    b.viewportKnown = 1;
}

void sDrawForgetViewport(void)
{
    drawMan.bind.viewportKnown = 0;
    drawMan.bind.viewportSent = 0;
}

void _drawForgetBinds(bool aSentB)
{
    _drawBindCache &b = drawMan.bind;
    std::memset(b.texKnown, 0, sizeof b.texKnown);
    std::memset(b.transformKnown, 0, sizeof b.transformKnown);
    b.materialKnown = b.viewportKnown = 0;
    if (!aSentB)
        return;
    std::memset(b.texSent, 0, sizeof b.texSent);
    std::memset(b.transformSent, 0, sizeof b.transformSent);
    b.materialSent = b.viewportSent = 0;
    b.sceneOpen = 0;
}
