#include "App/Space/Space.h"

#include <windows.h>
#include <d3d.h>

#include <cstdlib>
#include <cstring>

#include "App/App/AppCore.h"
#include "App/Effect/Effect.h"
#include "App/Scene/Scene.h"
#include "App/Space/SpaceCore.h"
#include "Common/DEBUGWIN.h"
#include "Library/Draw/DrawCore.h"
#include "Library/Vec/VECLIB.h"
#include "System/D3DFrame/d3dutil.h"
#include "System/Draw/DrawMan.h"
#include "System/Texture/TEXMAN.h"

static const char _galaxyKsf[] = "Data\\Ksf\\Galaxy.ksf";

// One space or warp scene runs at a time.
static _starField _space;
static long _spaceFrame = -1;
static long _galaxyTexNum = -1;
static long _galaxyRow = -1;
float _galaxyPosX, _galaxyPosY;
static _warpField _warp;

struct _galaxyVertex {
    float x, y, z, rhw;
    uint32_t color, specular;
    float tu, tv;
};

static long _word(const uint32_t *aOptionP, long aNum)
{
    return aOptionP != nullptr ? (long)(int32_t)aOptionP[aNum] : -1;
}

static void _cameraAngle(D3DVECTOR *aAngleP)
{
    aAngleP->x = aAngleP->y = aAngleP->z = 0.0f;
    if (drawMan.cameraP != nullptr)
        sVecSearchAngle(&drawMan.cameraP->_eyePos, &drawMan.cameraP->_lookAtPos, aAngleP);
}

static void _setInitFlg(uint8_t *aWorkP, long aFlg)
{
    if (aWorkP != nullptr) {
        const int32_t v = (int32_t)aFlg;
        memcpy(aWorkP, &v, sizeof(v));
    }
}

void *Space_init(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP)
{
    srand(11);
    if (_word(aOptionP, 4) != -1)
        EffectNeyaSceneInit(aSceneP, aFrameNum, aWorkP, aOptionP);
    sSpaceStarFree(&_space);
    sSpaceStarInit(&_space, _word(aOptionP, 1), _word(aOptionP, 2), _word(aOptionP, 3), drawMan.screenWidth,
                   drawMan.screenHeight);
    _spaceFrame = -1;
    _galaxyTexNum = -1;
    _galaxyRow = _word(aOptionP, 0);
    if (_galaxyRow >= 0 && _galaxyRow < GALAXY_TBL_NUM) {
        const _galaxyTable &row = _galaxyTbl[_galaxyRow];
        uint32_t w = 0, h = 0, d = 0;
        HBITMAP bmp = (HBITMAP)loadKsfFile(_galaxyKsf, row.texName, &w, &h, &d);
        if (bmp != nullptr) {
            // A device without textures of the picture's own depth gets it at 32 or 16 bits.
            const uint32_t depths[3] = {d, 32, 16};
            for (long n = 0; n < 3 && _galaxyTexNum < 0; n++)
                _galaxyTexNum = sTexPageBmpEntry(bmp, w, h, depths[n], DRAW_FLG_TEXTURE | DRAW_FLG_BLT);
            if (_galaxyTexNum < 0)
                DeleteObject(bmp);
        }
        if (_galaxyTexNum >= 0) {
            _galaxyPosX = (float)drawMan.screenWidth * row.initX;
            _galaxyPosY = (float)drawMan.screenHeight * row.initY;
        }
    }
    _setInitFlg(aWorkP, 0);
    return nullptr;
}

void *Space_exec(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP)
{
    D3DVECTOR angle;
    _cameraAngle(&angle);
    // The trails age by advanced frames, not by calls.
    if ((long)aFrameNum != _spaceFrame || _space.initFlg == 0) {
        sSpaceStarExec(&_space, &angle);
        _spaceFrame = aFrameNum;
        _setInitFlg(aWorkP, 1);
    }
    if (_word(aOptionP, 4) != -1)
        EffectNeyaSceneExec(aSceneP, aFrameNum, aWorkP, aOptionP);
    if (_galaxyTexNum != -1)
        sSpaceGalaxyPos(&_galaxyTbl[_galaxyRow], drawMan.screenWidth, drawMan.screenHeight, &angle, &_galaxyPosX,
                        &_galaxyPosY);
    return nullptr;
}

static void _starMaterial(void)
{
    D3DMATERIAL7 mtrl;
    D3DUtil_InitMaterial(mtrl, 5.0f, 5.0f, 5.0f, 1.0f);
    mtrl.emissive.r = mtrl.emissive.g = mtrl.emissive.b = 10.0f;
    sDrawSetMaterial(&mtrl);
    sDrawSetState(D3DRENDERSTATE_LASTPIXEL, TRUE);
    sDrawSetState(D3DRENDERSTATE_ALPHABLENDENABLE, FALSE);
    sDrawSetTexture(0, nullptr);
    sDrawSetStage(0, DRAW_STAGE_OFF);
}

static void _drawGalaxy(IDirect3DDevice7 *aDevP)
{
    IDirectDrawSurface7 *sufP = sTexGetSurfacePtr(_galaxyTexNum);
    if (sufP == nullptr)
        return;
    const _galaxyTable &row = _galaxyTbl[_galaxyRow];
    const float hw = (float)drawMan.screenWidth * row.width * 0.5f;
    const float hh = (float)drawMan.screenHeight * row.height * 0.5f;
    _galaxyVertex v[4];
    for (long n = 0; n < 4; n++) {
        const bool right = (n & 1) != 0, bottom = n >= 2;
        v[n].x = _galaxyPosX + (right ? hw : -hw);
        v[n].y = _galaxyPosY + (bottom ? hh : -hh);
        v[n].z = sSpaceStarZ();
        v[n].rhw = 1.0f;
        v[n].color = 0x7F7F7F7F;
        v[n].specular = 0x7F7F7F7F;
        v[n].tu = right ? 1.0f : 0.0f;
        v[n].tv = bottom ? 1.0f : 0.0f;
    }
    sDrawSetBlend(DRAW_BLEND_ADDITIVE);
    sDrawSetTexture(0, sufP);
    sDrawSetStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    sDrawSetStage(0, DRAW_STAGE_MODULATE_CUR);
    sDrawSetStage(1, DRAW_STAGE_OFF);
    sDrawCountDrawUp(D3DPT_TRIANGLESTRIP, D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX1, 4, 0);
    DEBUGWIN_CHECK(aDevP->DrawPrimitive(D3DPT_TRIANGLESTRIP,
                                        D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX1, v, 4, 0));
}

void *Space_draw(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP)
{
    IDirect3DDevice7 *dev = drawMan.d3dDevP;
    if (dev != nullptr && _space._starVertP != nullptr && sDrawBeginScene()) {
        _drawStateScope scope;
        sDrawOpenStates(&scope);
        if (_galaxyTexNum != -1)
            _drawGalaxy(dev);
        _starMaterial();
        const long n = _space.num;
        if (_space.option & SPACE_OPT_TRAIL) {
            sDrawCountDrawUp(D3DPT_LINELIST, STAR_FVF, (DWORD)(SPACE_LAYER_NUM * n), (DWORD)_space.indexCnt);
            DEBUGWIN_CHECK(dev->DrawIndexedPrimitive(D3DPT_LINELIST, STAR_FVF, _space._starVertP,
                                                     (DWORD)(SPACE_LAYER_NUM * n), _space._starIndexP,
                                                     (DWORD)_space.indexCnt, 0));
        } else {
            sDrawCountDrawUp(D3DPT_POINTLIST, STAR_FVF, (DWORD)n, 0);
            DEBUGWIN_CHECK(dev->DrawPrimitive(D3DPT_POINTLIST, STAR_FVF, _space._starVertP, (DWORD)n, 0));
        }
        // The top pixel row stays black.
        _STAR_VERTEX line[2];
        memset(line, 0, sizeof(line));
        line[1].x = (float)drawMan.screenWidth;
        line[0].z = line[1].z = sSpaceStarZ();
        line[0].rhw = line[1].rhw = sSpaceStarRhw();
        sDrawCountDrawUp(D3DPT_LINELIST, STAR_FVF, 2, 0);
        DEBUGWIN_CHECK(dev->DrawPrimitive(D3DPT_LINELIST, STAR_FVF, line, 2, 0));
        sDrawCloseStates(&scope);
        sDrawEndScene();
    }
    if (_word(aOptionP, 4) != -1)
        EffectNeyaSceneDraw(aSceneP, aFrameNum, aWorkP, aOptionP);
    return nullptr;
}

void *Space_exit(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP)
{
    sSpaceStarFree(&_space);
    if (_galaxyTexNum >= 0)
        sTexPageFree(_galaxyTexNum);
    _galaxyTexNum = -1;
    if (_word(aOptionP, 4) != -1)
        EffectNeyaSceneExit(aSceneP, aFrameNum, aWorkP, aOptionP);
    return nullptr;
}

void *Space_rest(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP)
{
    if (_word(aOptionP, 4) != -1)
        EffectNeyaSceneRest(aSceneP, aFrameNum, aWorkP, aOptionP);
    return nullptr;
}

void *Warp_init(uint8_t *, uint16_t, uint8_t *aWorkP, uint32_t *)
{
    sWarpFree(&_warp);
    sWarpInit(&_warp, drawMan.screenWidth, drawMan.screenHeight);
    _setInitFlg(aWorkP, 0);
    return nullptr;
}

void *Warp_exec(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *)
{
    Scene *sceneP = (Scene *)aSceneP;
    sWarpExec(&_warp, aFrameNum, sceneP != nullptr ? sceneP->GetFrameCnt() : 0);
    _setInitFlg(aWorkP, _warp.initFlg);
    return nullptr;
}

void *Warp_draw(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    IDirect3DDevice7 *dev = drawMan.d3dDevP;
    if (dev == nullptr || _warp._starVertP == nullptr || !sDrawBeginScene())
        return nullptr;
    _drawStateScope scope;
    sDrawOpenStates(&scope);
    _starMaterial();
    sDrawCountDrawUp(D3DPT_LINELIST, STAR_FVF, 2 * WARP_STAR_NUM, 2 * WARP_STAR_NUM);
    DEBUGWIN_CHECK(dev->DrawIndexedPrimitive(D3DPT_LINELIST, STAR_FVF, _warp._starVertP, 2 * WARP_STAR_NUM,
                                             _warp._starIndexP, 2 * WARP_STAR_NUM, 0));
    sDrawSetBlendFactors(D3DBLEND_ZERO, D3DBLEND_INVSRCALPHA);
    sDrawSetStage(0, DRAW_STAGE_OFF);
    sDrawCountDrawUp(D3DPT_TRIANGLESTRIP, STAR_FVF, 4, 0);
    DEBUGWIN_CHECK(dev->DrawPrimitive(D3DPT_TRIANGLESTRIP, STAR_FVF, _warp._screenVert, 4, 0));
    sDrawCloseStates(&scope);
    sDrawEndScene();
    return nullptr;
}

void *Warp_exit(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    sWarpFree(&_warp);
    return nullptr;
}
