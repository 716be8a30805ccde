#include "App/Effect/EfxBench.h"

#include <windows.h>
#include <ddraw.h>
#include <d3d.h>

#include <cstring>

#include "Common/DEBUGWIN.h"
#include "System/Draw/DrawMan.h"
#include "System/Texture/TEXMAN.h"

// ---- Fade ----------------------------------------------------------------------------------

struct _fadeVertex {
    float x, y, z, rhw;
    uint32_t color;
};
static _fadeVertex _fadeQuad[4];

void sEfxFadeInit(void)
{
    const float w = (float)drawMan.screenWidth, h = (float)drawMan.screenHeight;
    const float xy[4][2] = {{0.0f, 0.0f}, {w, 0.0f}, {0.0f, h}, {w, h}};
    for (int i = 0; i < 4; ++i)
        _fadeQuad[i] = {xy[i][0], xy[i][1], 0.0f, 1.0f, 0};
}

void sEfxFadeDraw(uint32_t aColor, EfxFadeBlend aBlend)
{
    IDirect3DDevice7 *dev = drawMan.d3dDevP;
    if (!dev || !sDrawBeginScene())
        return;
    for (_fadeVertex &v : _fadeQuad)
        v.color = aColor;
    _drawStateScope scope;
    sDrawOpenStates(&scope);
    sDrawSetTexture(0, nullptr);
    sDrawSetStage(0, DRAW_STAGE_OFF);
    sDrawSetBlendFactors(aBlend == EFX_FADE_BLACK ? D3DBLEND_ZERO : D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
    sDrawCountDrawUp(D3DPT_TRIANGLESTRIP, D3DFVF_XYZRHW | D3DFVF_DIFFUSE, 4, 0);
    DEBUGWIN_CHECK(dev->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_XYZRHW | D3DFVF_DIFFUSE, _fadeQuad, 4, 0));
    sDrawCloseStates(&scope);
    sDrawEndScene();
}

// ---- Feathers ------------------------------------------------------------------------------

struct _featherVertex {
    float x, y, z;
    uint32_t color;
    float u, v;
};
static const _featherVertex _featherQuad[4] = {
    {-1.2f, -1.2f, 0.0f, 0x8F8F8F8F, 0.0f, 0.0f},
    {1.2f, -1.2f, 0.0f, 0x8F8F8F8F, 1.0f, 0.0f},
    {-1.2f, 1.2f, 0.0f, 0x8F8F8F8F, 0.0f, 1.0f},
    {1.2f, 1.2f, 0.0f, 0x8F8F8F8F, 1.0f, 1.0f},
};
static const WORD _featherIndex[6] = {0, 1, 2, 2, 1, 3};

// Feathers glow: texture colour by vertex colour, vertex alpha, both faces, no depth written.
static const _drawStateRow _featherStates[] = {
    {0, D3DTSS_COLOROP, D3DTOP_MODULATE},
    {0, D3DTSS_COLORARG1, D3DTA_TEXTURE},
    {0, D3DTSS_COLORARG2, D3DTA_DIFFUSE},
    {0, D3DTSS_ALPHAOP, D3DTOP_MODULATE},
    {0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE},
    {0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE},
    {1, D3DTSS_COLOROP, D3DTOP_DISABLE},
    {DRAW_RENDER, D3DRENDERSTATE_LIGHTING, FALSE},
    {DRAW_RENDER, D3DRENDERSTATE_ZWRITEENABLE, FALSE},
    {DRAW_RENDER, D3DRENDERSTATE_CULLMODE, D3DCULL_NONE},
};

void sEfxFeatherDraw(const _benchFeather *aFeatherP, long aNum, long aTexNum)
{
    IDirect3DDevice7 *dev = drawMan.d3dDevP;
    if (!dev || !aFeatherP || !sDrawBeginScene())
        return;
    _drawStateScope scope;
    sDrawOpenStates(&scope);
    sDrawSetBlend(DRAW_BLEND_ADDITIVE);
    sDrawSetStates(_featherStates, sizeof _featherStates / sizeof _featherStates[0]);
    sDrawSetTexture(0, aTexNum >= 0 ? sTexGetSurfacePtr(aTexNum) : nullptr);
    for (long i = 0; i < aNum; ++i) {
        D3DMATRIX m = aFeatherP[i].mat;
        sDrawSetTransform(D3DTRANSFORMSTATE_WORLD, &m);
        sDrawCountDrawUp(D3DPT_TRIANGLELIST, D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1, 4, 6);
        DEBUGWIN_CHECK(dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1,
                                                 (void *)_featherQuad, 4, (WORD *)_featherIndex, 6, 0));
    }
    sDrawSetTexture(0, nullptr);
    sDrawCloseStates(&scope);
    sDrawEndScene();
}

// ---- Attractor points ----------------------------------------------------------------------

void sEfxPointDraw(const _benchPoint *aPointP, long aNum)
{
    IDirect3DDevice7 *dev = drawMan.d3dDevP;
    if (!dev || !aPointP || aNum <= 0 || !sDrawBeginScene())
        return;
    D3DMATRIX unit;
    std::memset(&unit, 0, sizeof unit);
    unit._11 = unit._22 = unit._33 = unit._44 = 1.0f;
    sDrawSetTransform(D3DTRANSFORMSTATE_WORLD, &unit);
    _drawStateScope scope;
    sDrawOpenStates(&scope);
    sDrawSetTexture(0, nullptr);
    sDrawSetStage(0, DRAW_STAGE_COLOROFF);
    sDrawSetState(D3DRENDERSTATE_LIGHTING, FALSE);
    sDrawSetBlend(DRAW_BLEND_ADDITIVE);
    sDrawCountDrawUp(D3DPT_POINTLIST, D3DFVF_XYZ | D3DFVF_DIFFUSE, (DWORD)aNum, 0);
    DEBUGWIN_CHECK(dev->DrawPrimitive(D3DPT_POINTLIST, D3DFVF_XYZ | D3DFVF_DIFFUSE, (void *)aPointP, (DWORD)aNum, 0));
    sDrawCloseStates(&scope);
    sDrawEndScene();
}
