#include "App/AfterImage/AfterImage.h"

#include <windows.h>
#include <d3d.h>

#include <new>

#include "App/AfterImage/AfterImageCore.h"
#include "App/Scene/Scene.h"
#include "Common/DEBUGWIN.h"
#include "Library/Coord/COORDLIB.h"
#include "System/D3DFrame/d3dutil.h"
#include "System/Draw/DrawMan.h"
#include "System/Shape/Shape.h"

// Scene shape record aNum, or null outside the scene.
static _sceneShape *_shapeOf(Scene *aSceneP, long aNum)
{
    if (aSceneP == nullptr || aSceneP->_shapeP == nullptr || aNum < 0 || aNum >= aSceneP->GetShapeCnt())
        return nullptr;
    return &aSceneP->_shapeP[aNum];
}

// World position of a scene shape: the translation row of its coordinate node's world matrix.
static long _worldPos(Scene *aSceneP, long aNum, D3DVECTOR *aPosP, float *aDissolveP)
{
    _sceneShape *shapeP = _shapeOf(aSceneP, aNum);
    if (shapeP == nullptr || shapeP->shapeP == nullptr)
        return 0;
    D3DMATRIX m;
    sCoordGetGlobalMatrix(shapeP->shapeP->GetCoordPtr(), &m, 0);
    aPosP->x = m._41;
    aPosP->y = m._42;
    aPosP->z = m._43;
    *aDissolveP = shapeP->dissolveRate;
    return 1;
}

void *AfterImage_init(uint8_t *aSceneP, uint16_t, uint8_t *, uint32_t *aOptionP)
{
    Scene *sceneP = (Scene *)aSceneP;
    const uint32_t colour = aOptionP != nullptr ? aOptionP[0] : 0;
    delete[] _imgIndexP;
    _imgIndexP = new (std::nothrow) uint16_t[IMG_INDEX_NUM];
    if (_imgIndexP != nullptr)
        sAfterImageIndices(_imgIndexP);
    _prevFrame = -1;
    if (sceneP == nullptr || _imgInfoP == nullptr)
        return nullptr;
    for (uint32_t n = 0; n < _imgInfoCnt; n++) {
        _imgInfo &info = _imgInfoP[n];
        delete[] info.imgVertP;
        info.imgVertP = new (std::nothrow) _IMG_VERTEX[IMG_VERT_NUM];
        info.initFlg = 0;
        if (info.imgVertP == nullptr)
            return nullptr;
        D3DVECTOR s, e;
        float ds, de;
        if (!_worldPos(sceneP, info.startNum, &s, &ds) || !_worldPos(sceneP, info.endNum, &e, &de))
            return nullptr;
        sAfterImageInitVertex(info.imgVertP, colour, &s, &e);
    }
    return nullptr;
}

void *AfterImage_exec(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *, uint32_t *)
{
    Scene *sceneP = (Scene *)aSceneP;
    if (sceneP == nullptr || _imgInfoP == nullptr || !sAfterImageNewFrame(aFrameNum))
        return nullptr;
    for (uint32_t n = 0; n < _imgInfoCnt; n++) {
        _imgInfo &info = _imgInfoP[n];
        D3DVECTOR s, e;
        float ds, de;
        if (!_worldPos(sceneP, info.startNum, &s, &ds) || !_worldPos(sceneP, info.endNum, &e, &de))
            return nullptr;
        sAfterImageStep(&info, &s, &e, ds, de);
    }
    return nullptr;
}

void *AfterImage_draw(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    IDirect3DDevice7 *dev = drawMan.d3dDevP;
    if (_imgInfoCnt == 0 || _imgInfoP == nullptr || _imgIndexP == nullptr || dev == nullptr || !sDrawBeginScene())
        return nullptr;
    D3DMATRIX world;
    D3DUtil_SetIdentityMatrix(world);
    sDrawSetTransform(D3DTRANSFORMSTATE_WORLD, &world);
    _drawStateScope scope;
    sDrawOpenStates(&scope);
    sDrawSetState(D3DRENDERSTATE_LIGHTING, FALSE);
    sDrawSetBlend(DRAW_BLEND_ADDITIVE);
    sDrawSetState(D3DRENDERSTATE_ZWRITEENABLE, FALSE);
    sDrawSetState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
    sDrawSetTexture(0, nullptr);
    sDrawSetStage(0, DRAW_STAGE_OFF);
    for (uint32_t n = 0; n < _imgInfoCnt; n++) {
        const _imgInfo &info = _imgInfoP[n];
        if (info.imgVertP != nullptr) {
            sDrawCountDrawUp(D3DPT_TRIANGLELIST, IMG_FVF, IMG_VERT_NUM, IMG_INDEX_NUM);
            DEBUGWIN_CHECK(dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, IMG_FVF, info.imgVertP, IMG_VERT_NUM,
                                                     _imgIndexP, IMG_INDEX_NUM, 0));
        }
    }
    sDrawCloseStates(&scope);
    sDrawEndScene();
    return nullptr;
}

void *AfterImage_exit(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    // The pairs stay for a scene that starts again without loading.
    sAfterImageFree();
    return nullptr;
}
