#include "App/Bom/Bom.h"

#include <windows.h>
#include <d3d.h>

#include "App/App/AppCore.h"
#include "Common/DEBUGWIN.h"
#include "Library/Draw/DrawCore.h"
#include "Library/Matrix/MATLIB.h"
#include "System/Draw/DrawMan.h"

static const char _bomKsf[] = "Data\\Ksf\\10.ksf";
static IDirectDrawSurface7 *_bomTexA[BOM_TEX_A_NUM];
static IDirectDrawSurface7 *_bomTexB[BOM_TEX_B_NUM];
static D3DMATRIX _bomScreenMat;

static void _releaseTex(void)
{
    for (long n = 0; n < BOM_TEX_A_NUM; n++) {
        if (_bomTexA[n] != nullptr)
            _bomTexA[n]->Release();
        _bomTexA[n] = nullptr;
    }
    for (long n = 0; n < BOM_TEX_B_NUM; n++) {
        if (_bomTexB[n] != nullptr)
            _bomTexB[n]->Release();
        _bomTexB[n] = nullptr;
    }
}

long BomRest(void)
{
    _releaseTex();
    long ok = 1;
    char name[64];
    for (long n = 0; n < BOM_TEX_A_NUM; n++) {
        sBomTexName(0, n, name, sizeof(name));
        _bomTexA[n] = loadKsf(_bomKsf, name, nullptr, DRAW_FLG_TEXTURE | DRAW_FLG_BLT);
        ok = ok && _bomTexA[n] != nullptr;
    }
    for (long n = 0; n < BOM_TEX_B_NUM; n++) {
        sBomTexName(1, n, name, sizeof(name));
        _bomTexB[n] = loadKsf(_bomKsf, name, nullptr, DRAW_FLG_TEXTURE | DRAW_FLG_BLT);
        ok = ok && _bomTexB[n] != nullptr;
    }
    return ok;
}

long BomInit(void)
{
    _bomOffset = (float)drawMan.screenWidth * 0.0015625f * 100.0f;
    if (!BomRest()) {
        _releaseTex();
        return 0;
    }
    if (!sBomPoolAlloc()) {
        _releaseTex();
        return 0;
    }
    return 1;
}

void BomRelease(void)
{
    sBomPoolFree();
    _releaseTex();
}

static IDirectDrawSurface7 *_picture(const _bomOne &aOne)
{
    const _bomTexTable &t = _bomTexTbl[aOne._texType];
    if (aOne._texNum < 0)
        return nullptr;
    if (t.texSet == 0)
        return aOne._texNum < BOM_TEX_A_NUM ? _bomTexA[aOne._texNum] : nullptr;
    return aOne._texNum < BOM_TEX_B_NUM ? _bomTexB[aOne._texNum] : nullptr;
}

static void _bomDraw(void)
{
    IDirect3DDevice7 *dev = drawMan.d3dDevP;
    if (dev == nullptr || _bomWorkP == nullptr)
        return;
    D3DMATRIX world, view, proj;
    sMatrixCreateUnit(&world);
    sDrawSetTransform(D3DTRANSFORMSTATE_WORLD, &world);
    sDrawGetTransform(D3DTRANSFORMSTATE_VIEW, &view);
    sDrawGetTransform(D3DTRANSFORMSTATE_PROJECTION, &proj);
    sMatrixMul(&world, &view, &_bomScreenMat);
    sMatrixMul(&_bomScreenMat, &proj, &_bomScreenMat);

    _drawStateScope scope;
    sDrawOpenStates(&scope);
    sDrawSetState(D3DRENDERSTATE_COLORKEYENABLE, TRUE);
    sDrawSetState(D3DRENDERSTATE_SPECULARENABLE, FALSE);
    sDrawSetState(D3DRENDERSTATE_ALPHATESTENABLE, FALSE);
    sDrawSetState(D3DRENDERSTATE_ZWRITEENABLE, FALSE);
    sDrawSetStage(0, DRAW_STAGE_TEXCOLOR_DIFFALPHA);
    sDrawSetStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    sDrawSetStage(1, DRAW_STAGE_OFF);
    sDrawSetBlend(DRAW_BLEND_ALPHAADD);
    const float w = (float)drawMan.screenWidth, h = (float)drawMan.screenHeight;
    for (long n = 0; n < BOM_ONE_MAX; n++) {
        const _bomOne &o = _bomWorkP[n];
        if (!(o._status & BOM_ONE_STAT_PLAY))
            continue;
        _bomVertex v[4];
        IDirectDrawSurface7 *texP = _picture(o);
        if (texP == nullptr || !sBomSpriteQuad(&o, &_bomScreenMat, w, h, _bomOffset, v))
            continue;
        sDrawSetTexture(0, texP);
        sDrawCountDrawUp(D3DPT_TRIANGLESTRIP, BOM_FVF, 4, 0);
        DEBUGWIN_CHECK(dev->DrawPrimitive(D3DPT_TRIANGLESTRIP, BOM_FVF, v, 4, 0));
    }
    sDrawSetTexture(0, nullptr);
    sDrawCloseStates(&scope);
}

void BomSceneDraw(void)
{
    if (_bomWorkP == nullptr || !sDrawBeginScene())
        return;
    _bomDraw();
    sDrawEndScene();
}

void BomSceneRest(void)
{
    if (_bomEnableFlg)
        BomRest();
}
