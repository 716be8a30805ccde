#include "System/Sprite/SpriteCore.h"

#include "Common/DrawLink.h"
#include "Library/Coord/COORDLIB.h"
#include "Library/Matrix/MATLIB.h"

bool sSpriteDrawsInPass(uint32_t aStatus, uint32_t aDrawFlg)
{
    const bool alpha = (aStatus & SPRITE_STAT_ALPHA) != 0;
    if (aDrawFlg == SpriteDrawFlgNil && alpha)
        return false;
    if (aDrawFlg == SpriteDrawFlgAlpha && !alpha)
        return false;
    return true;
}

static uint32_t _channel(float aV)
{
    const float c = aV * 255.0f;
    if (!(c > 0.0f))
        return 0;
    if (c >= 255.0f)
        return 255;
    return (uint32_t)(long)c;
}

uint32_t sSpriteColor(const D3DCOLORVALUE *aColP)
{
    return _channel(aColP->a) << 24 | _channel(aColP->r) << 16 | _channel(aColP->g) << 8 | _channel(aColP->b);
}

float sSpritePixel(float aV)
{
    if (!(aV == aV))
        return 0.0f;
    if (aV >= 32767.0f)
        return 32767.0f;
    if (aV <= -32768.0f)
        return -32768.0f;
    return (float)(int16_t)(long)aV;
}

void sSpriteScreenPos(uint32_t aStatus, const _texInfoRect *aRectP, float aScaleX, float aScaleY, float aScreenW,
                      float aScreenH, float aPosH, float aPosV, float aRotate, _spriteTlVertex aVertexA[4])
{
    float w, h;
    if (aStatus & SPRITE_STAT_FULLSCREEN) {
        w = aScreenW;
        h = aScreenH;
    } else {
        w = (float)(aRectP->right - aRectP->left) * aScaleX;
        h = (float)(aRectP->bottom - aRectP->top) * aScaleY;
    }
    const float z = (aStatus & SPRITE_STAT_BACK) ? SPRITE_BACK_Z : 0.0f;
    const float cx = aPosH * aScreenW, cy = aPosV * aScreenH;
    for (int i = 0; i < 4; ++i) {
        aVertexA[i].z = z;
        aVertexA[i].rhw = 1.0f;
    }
    if (aRotate == 0.0f) {
        const float left = cx - w * 0.5f, top = cy - h * 0.5f;
        aVertexA[0].x = left, aVertexA[0].y = top;
        aVertexA[1].x = left + w, aVertexA[1].y = top;
        aVertexA[2].x = left, aVertexA[2].y = top + h;
        aVertexA[3].x = left + w, aVertexA[3].y = top + h;
        return;
    }
    // Turned in the screen plane: screen y plays the part of z under a turn about Y.
    D3DMATRIX m;
    sMatrixCreateUnit(&m);
    sMatrixRotateY(&m, aRotate);
    const float hw = w * 0.5f, hh = h * 0.5f;
    const float ofs[4][2] = {{-hw, -hh}, {hw, -hh}, {-hw, hh}, {hw, hh}};
    for (int i = 0; i < 4; ++i) {
        D3DVECTOR v = {}, t;
        v.x = ofs[i][0];
        v.z = ofs[i][1];
        sMatrixApplyVector(&m, &v, &t);
        aVertexA[i].x = cx + t.x;
        aVertexA[i].y = cy + t.z;
    }
}

static void _cameraMatrix(long (*aGetP)(D3DMATRIX *), D3DMATRIX *aMatP)
{
    if (!aGetP || aGetP(aMatP) == 0)
        sMatrixCreateUnit(aMatP);
}

void sSpriteCameraToScreen(const D3DVECTOR *aSrcP, D3DVECTOR *aDstP)
{
    D3DMATRIX p;
    _cameraMatrix(drawManLink.getProjMatrixP, &p);
    const float x = aSrcP->x, y = aSrcP->y, z = aSrcP->z;
    const float cx = x * p._11 + y * p._21 + z * p._31 + p._41;
    const float cy = x * p._12 + y * p._22 + z * p._32 + p._42;
    const float cz = x * p._13 + y * p._23 + z * p._33 + p._43;
    const float cw = x * p._14 + y * p._24 + z * p._34 + p._44;
    const float vanishX = drawManLink.vanishXP ? *drawManLink.vanishXP : 0.0f;
    const float vanishY = drawManLink.vanishYP ? *drawManLink.vanishYP : 0.0f;
    aDstP->x = (cx / cw + 1.0f) * vanishX;
    aDstP->y = (1.0f - cy / cw) * vanishY;
    aDstP->z = cz;
}

long sSpriteWorldPos(const D3DMATRIX *aWorldP, const float aPosX[4], const float aPosY[4], float aRotate,
                     _spriteTlVertex aVertexA[4])
{
    const D3DVECTOR origin = {};
    D3DVECTOR p;
    const float w = sMatrixRotTransPers(aWorldP, &origin, &p);
    const float z = 1.0f / w * p.z;
    for (int i = 0; i < 4; ++i) {
        aVertexA[i].z = z;
        aVertexA[i].rhw = w;
    }
    D3DVECTOR scale;
    sCoordScaleDecomposition(aWorldP, &scale);
    const float s = (scale.x + scale.y + scale.z) * 0.3333333333333333f;
    if (!(p.z > 0.0f))
        return -1;
    D3DMATRIX view;
    _cameraMatrix(drawManLink.getViewMatrixP, &view);
    D3DVECTOR t, c;
    t.x = aWorldP->_41, t.y = aWorldP->_42, t.z = aWorldP->_43;
    sMatrixApplyVector(&view, &t, &c);
    D3DVECTOR corner[4];
    for (int i = 0; i < 4; ++i) {
        corner[i].x = s * aPosX[i];
        corner[i].y = s * aPosY[i];
        corner[i].z = c.z;
    }
    if (aRotate != 0.0f) {
        D3DMATRIX r;
        sMatrixCreateUnit(&r);
        sMatrixRotateZ(&r, aRotate);
        for (int i = 0; i < 4; ++i)
            sMatrixApplyVector(&r, &corner[i], &corner[i]);
    }
    for (int i = 0; i < 4; ++i) {
        corner[i].x += c.x;
        corner[i].y += c.y;
        D3DVECTOR scr;
        sSpriteCameraToScreen(&corner[i], &scr);
        aVertexA[i].x = sSpritePixel(scr.x);
        aVertexA[i].y = sSpritePixel(scr.y);
    }
    return 0;
}
