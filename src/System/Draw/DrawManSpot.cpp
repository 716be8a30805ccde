// The spotlight pass: a spotlight's shadow map (the marked shapes seen from the light) and light
// map (its cone), and the pass that lays both over the shapes it reaches.

#include "System/Draw/DrawMan.h"

#include <cmath>

#include "Common/DEBUGWIN.h"
#include "Library/Draw/DrawLib.h"
#include "Library/Matrix/MATLIB.h"
#include "System/D3DFrame/d3dutil.h"

static _drawShapeOps _shapeOps;

void sDrawSetShapeOps(const _drawShapeOps *aOpsP)
{
    _shapeOps = aOpsP ? *aOpsP : _drawShapeOps{};
}

static _drawPageOps _pageOps;

void sDrawSetPageOps(const _drawPageOps *aOpsP)
{
    _pageOps = aOpsP ? *aOpsP : _drawPageOps{};
}

static long _pageEntry(IDirectDrawSurface7 *aSufP, uint16_t aDrawFlg)
{
    return _pageOps.entryP ? _pageOps.entryP(aSufP, aDrawFlg) : -1;
}

static void _pageFree(long aPageNum)
{
    if (_pageOps.freeP)
        _pageOps.freeP(aPageNum);
}

static IDirectDrawSurface7 *_pageSurface(long aPageNum)
{
    return _pageOps.surfaceP ? _pageOps.surfaceP(aPageNum) : nullptr;
}

static D3DMATRIX _identity(void)
{
    D3DMATRIX m;
    D3DUtil_SetIdentityMatrix(m);
    return m;
}

// Fills the light map: full colour inside theta, fading to black at phi.
static long _fillLightMap(IDirectDrawSurface7 *aSufP, const D3DLIGHT7 &aLight)
{
    DDSURFACEDESC2 ddsd = {};
    ddsd.dwSize = sizeof ddsd;
    if (FAILED(DEBUGWIN_CHECK(aSufP->Lock(nullptr, &ddsd, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr))))
        return -1;
    const _drawMasks masks = sDrawSurfaceMasks(ddsd.ddpfPixelFormat);
    const bool bits16 = ddsd.ddpfPixelFormat.dwRGBBitCount == 16;
    const float ratio = aLight.dvPhi != 0.0f ? aLight.dvTheta / aLight.dvPhi : 0.0f;
    for (DWORD i = 0; i < ddsd.dwHeight; ++i) {
        uint8_t *row = (uint8_t *)ddsd.lpSurface + i * ddsd.lPitch;
        for (DWORD j = 0; j < ddsd.dwWidth; ++j) {
            const uint32_t texel = sDrawLightMapTexel((int)i, (int)j, ratio, aLight.dcvDiffuse.r, aLight.dcvDiffuse.g,
                                                      aLight.dcvDiffuse.b, masks, bits16);
            if (bits16)
                ((uint16_t *)row)[j] = (uint16_t)texel;
            else
                ((uint32_t *)row)[j] = texel;
        }
    }
    DEBUGWIN_CHECK(aSufP->Unlock(nullptr));
    return 0;
}

long _drawLight::InitMapTexture(void)
{
    if (!_isSpotMap() || !(drawMan.status & DRAW_STAT_INIT))
        return 0;
    FreeMapTexture();
    IDirectDrawSurface7 *shadow = sDrawCreateTextureSurface(DRAW_MAP_SIZE, DRAW_MAP_SIZE, -1);
    IDirectDrawSurface7 *light = sDrawCreateTextureSurface(DRAW_MAP_SIZE, DRAW_MAP_SIZE, -1);
    if (!shadow || !light || _fillLightMap(light, _light) != 0) {
        if (light)
            light->Release();
        if (shadow)
            shadow->Release();
        return 0;
    }
    _shadowTexNum = _pageEntry(shadow, DRAW_FLG_TEXTURE | DRAW_FLG_RENDER);
    _lightTexNum = _pageEntry(light, DRAW_FLG_TEXTURE);
    // A surface the texture manager could not take would be lost to everyone: give both back.
    if (_shadowTexNum == -1 || _lightTexNum == -1) {
        _pageFree(_shadowTexNum);
        _pageFree(_lightTexNum);
        _shadowTexNum = _lightTexNum = -1;
        light->Release();
        shadow->Release();
    }
    return 0;
}

long _drawLight::FreeMapTexture(void)
{
    const long nums[2] = {_shadowTexNum, _lightTexNum};
    for (long num : nums) {
        if (num == -1)
            continue;
        IDirectDrawSurface7 *suf = _pageSurface(num);
        _pageFree(num);
        if (suf)
            suf->Release();
    }
    _shadowTexNum = _lightTexNum = -1;
    return 0;
}

static D3DMATRIX _mul3(const D3DMATRIX &aA, const D3DMATRIX &aB, const D3DMATRIX &aC)
{
    D3DMATRIX ab, abc;
    sMatrixMul(&aA, &aB, &ab);
    sMatrixMul(&ab, &aC, &abc);
    return abc;
}

static void _drawShadowMap(_drawLight &aLight)
{
    IDirect3DDevice7 *dev = drawMan.d3dDevP;
    IDirectDrawSurface7 *suf = _pageSurface(aLight._shadowTexNum);
    if (!dev || !suf)
        return;
    D3DVIEWPORT7 savedVp = {};
    sDrawGetViewport(&savedVp);
    sDrawForgetViewport();  // a new target resets the viewport
    if (sDrawChangeRenderTarget(suf) != 0)
        return;
    D3DVIEWPORT7 vp = {0, 0, DRAW_MAP_SIZE, DRAW_MAP_SIZE, 0.0f, 1.0f};
    sDrawSetViewport(&vp);
    DEBUGWIN_CHECK(
        dev->Clear(0, nullptr, D3DCLEAR_TARGET | (sDrawHasDepth(suf) ? D3DCLEAR_ZBUFFER : 0), 0x80FFFFFF, 1.0f, 0));

    D3DMATRIX savedProj, savedView;
    sDrawGetTransform(D3DTRANSFORMSTATE_PROJECTION, &savedProj);
    sDrawGetTransform(D3DTRANSFORMSTATE_VIEW, &savedView);
    const D3DLIGHT7 &l = aLight._light;
    const float fov = std::tan(l.dvPhi * 0.5f) * 4.0f;
    D3DMATERIAL7 mtrl;
    D3DUtil_InitMaterial(mtrl, 0.2f, 0.2f, 0.2f, 0.2f);
    sDrawSetMaterial(&mtrl);
    const D3DMATRIX ident = _identity();
    sDrawSetTransform(D3DTRANSFORMSTATE_PROJECTION, &ident);
    sDrawSetTransform(D3DTRANSFORMSTATE_VIEW, &ident);
    D3DMATRIX camView = ident, camProj = ident;
    if (drawMan.cameraP) {
        camView = drawMan.cameraP->GetViewMatrix();
        camProj = drawMan.cameraP->GetProjMatrix();
        drawMan.cameraP->SetViewMatrix(&ident);
        drawMan.cameraP->SetProjMatrix(&ident);
    }
    sCoordSetProjectionMatrix(&aLight._projMatrix, fov, 1.0f, 1.0f, 512.0f);
    D3DVECTOR at = {};
    at.x = l.dvPosition.x + l.dvDirection.x;
    at.y = l.dvPosition.y + l.dvDirection.y;
    at.z = l.dvPosition.z + l.dvDirection.z;
    D3DVECTOR up = {};
    up.y = 1.0f;
    sCoordSetViewMatrix(&aLight._viewMatrix, &l.dvPosition, &at, &up);

    if (sDrawBeginScene()) {
        for (uint16_t i = 0; i < drawMan.shapeInfoMax; ++i) {
            _shape *shape = drawMan.shapeInfoP[i].shapeP;
            if (!shape || !_shapeOps.statusP || !_shapeOps.worldP || !_shapeOps.drawP)
                continue;
            if (!(_shapeOps.statusP(shape) & DRAW_SHAPE_SHADOWMAP))
                continue;
            const D3DMATRIX m = _mul3(*_shapeOps.worldP(shape), aLight._viewMatrix, aLight._projMatrix);
            _shapeOps.drawP(shape, DRAW_SHAPE_NORENDERSTATE | DRAW_SHAPE_NOMATERIAL, &m);
        }
        sDrawEndScene();
    }

    sDrawForgetViewport();  // a new target resets the viewport

    sDrawChangeRenderTarget(drawMan.backP);
    sDrawSetViewport(&savedVp);
    sDrawSetTransform(D3DTRANSFORMSTATE_PROJECTION, &savedProj);
    sDrawSetTransform(D3DTRANSFORMSTATE_VIEW, &savedView);
    if (drawMan.cameraP) {
        drawMan.cameraP->SetViewMatrix(&camView);
        drawMan.cameraP->SetProjMatrix(&camProj);
    }
}

long _drawLight::Update(void)
{
    if (!drawMan.d3dDevP)
        return 0;
    DEBUGWIN_CHECK(drawMan.d3dDevP->SetLight(_lightNum, &_light));
    if (_isSpotMap() && _shadowTexNum != -1)
        _drawShadowMap(*this);
    return 0;
}

// Stage states of one map: modulate the texture onto what the stages before made.
static void _mapStage(DWORD aStage, IDirectDrawSurface7 *aSufP)
{
    sDrawSetTexture(aStage, aSufP);
    sDrawSetStageState(aStage, D3DTSS_TEXCOORDINDEX, 0);
    sDrawSetStage(aStage, DRAW_STAGE_MODULATE_CUR);
}

long _drawLight::DrawMapTexture(void)
{
    IDirect3DDevice7 *dev = drawMan.d3dDevP;
    if (!dev || !_isSpotMap() || !GetEnable())
        return 0;
    _drawStateScope scope;
    sDrawOpenStates(&scope);
    sDrawSetState(D3DRENDERSTATE_ZBIAS, 8);
    sDrawSetState(D3DRENDERSTATE_LIGHTING, FALSE);
    sDrawSetBlendFactors(D3DBLEND_ONE, D3DBLEND_DESTALPHA);
    sDrawSetStageState(0, D3DTSS_ADDRESS, D3DTADDRESS_CLAMP);

    DWORD stage = 0;
    if (IDirectDrawSurface7 *shadow = _pageSurface(_shadowTexNum))
        _mapStage(stage++, shadow);
    if (IDirectDrawSurface7 *light = _pageSurface(_lightTexNum))
        _mapStage(stage++, light);
    sDrawSetStage(stage, DRAW_STAGE_OFF);
    D3DMATERIAL7 mtrl = {};
    mtrl.diffuse.r = mtrl.diffuse.g = mtrl.diffuse.b = mtrl.diffuse.a = 0.5f;
    mtrl.ambient = mtrl.specular = mtrl.emissive = mtrl.diffuse;
    mtrl.power = 0.5f;
    sDrawSetMaterial(&mtrl);

    D3DMATRIX view = _identity(), proj = _identity();
    if (drawMan.cameraP) {
        view = drawMan.cameraP->GetViewMatrix();
        proj = drawMan.cameraP->GetProjMatrix();
    }
    for (uint16_t i = 0; i < drawMan.shapeInfoMax; ++i) {
        _shape *shape = drawMan.shapeInfoP[i].shapeP;
        if (!shape || !_shapeOps.statusP || !_shapeOps.worldP || !_shapeOps.boxP || !_shapeOps.spotLightDrawP)
            continue;
        if (!(_shapeOps.statusP(shape) & DRAW_SHAPE_SPOTLIGHT))
            continue;
        const D3DMATRIX &world = *_shapeOps.worldP(shape);
        if (!sMatrixCheckBox(&world, &view, &proj, _shapeOps.boxP(shape)))
            continue;
        _spotLightInfo info;
        info.screenMatrix = _mul3(world, _viewMatrix, _projMatrix);
        _shapeOps.spotLightDrawP(shape, &info);
    }

    sDrawCloseStates(&scope);
    return 0;
}
