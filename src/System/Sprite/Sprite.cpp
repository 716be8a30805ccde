#include "System/Sprite/Sprite.h"

#include <cstring>
#include <new>

#include "Common/DEBUGWIN.h"
#include "System/D3DFrame/d3dutil.h"
#include "System/Draw/DrawMan.h"
#include "System/Primitive/Primitive.h"
#include "System/Texture/TEXMAN.h"

_sprite::_sprite()
    : _status(0), _curInfoNum(0), _texInfoNum(0), _texInfoP(nullptr), _scaleH(0.0f), _scaleV(0.0f), _material(),
      _srcBlend(D3DBLEND_ONE), _destBlend(D3DBLEND_ZERO)
{
    std::memset(&_coord, 0, sizeof _coord);
    std::memset(_vertex, 0, sizeof _vertex);
    std::memset(_posX, 0, sizeof _posX);
    std::memset(_posY, 0, sizeof _posY);
    D3DUtil_InitMaterial(_material, 1.0f, 1.0f, 1.0f, 1.0f);
}

_sprite::_sprite(_spriteDef *aSpriteDefP, struct _coord *aSuperP) : _sprite()
{
    Init(aSpriteDefP, aSuperP);
}

_sprite::~_sprite()
{
    delete[] _texInfoP;
}

long _sprite::Init(_spriteDef *aSpriteDefP, struct _coord *aSuperP)
{
    sCoordInit(aSuperP, &_coord);
    delete[] _texInfoP;
    _texInfoP = nullptr;
    _texInfoNum = 0;
    _curInfoNum = 0;
    _status = 0;
    if (!aSpriteDefP || aSpriteDefP->texSetNum == 0 || !aSpriteDefP->texSetP)
        return -1;
    _spriteDef &d = *aSpriteDefP;
    _texInfoP = new (std::nothrow) _spriteTexInfo[d.texSetNum];
    if (!_texInfoP)
        return -1;
    _status = d.spriteStatus & ~(DWORD)(SPRITE_STAT_INIT | SPRITE_STAT_HIDE);
    _texInfoNum = d.texSetNum;
    std::memcpy(_posX, d.posX, sizeof _posX);
    std::memcpy(_posY, d.posY, sizeof _posY);
    for (DWORD i = 0; i < _texInfoNum; ++i) {
        _textureSet &set = d.texSetP[i];
        _spriteTexInfo &t = _texInfoP[i];
        t.texNum = sPrimEntryTexSet(&set);
        t.texUVIndex = set.texUVIndex;
        t.texOp = set.texOp, t.texArg1 = set.texArg1, t.texArg2 = set.texArg2;
        t.alphaOp = set.alphaOp, t.alphaArg1 = set.alphaArg1, t.alphaArg2 = set.alphaArg2;
    }
    _srcBlend = d.srcBlend;
    _destBlend = d.destBlend;
    static const float uv[4][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
    for (int i = 0; i < 4; ++i) {
        _vertex[i].tu = uv[i][0];
        _vertex[i].tv = uv[i][1];
        _vertex[i].color = 0x00FFFFFF;
        _vertex[i].specular = 0x00FFFFFF;
    }
    _status |= SPRITE_STAT_INIT;
    return 0;
}

void _sprite::MakeLocalMatrix(void)
{
    sCoordMakeLocalMatrixAuto(&_coord);
}

void _sprite::Update(void)
{
    sCoordUpdate(&_coord);
}

void _sprite::ConnectCoordSuper(struct _coord *aSuperP)
{
    _coord.superP = aSuperP;
    _coord.flg |= COORD_FLG_DIRTY;
}

void _sprite::CangePattern(DWORD aPatternNum)
{
    if (aPatternNum == 0xFFFFFFFF) {
        _status |= SPRITE_STAT_HIDE;
    } else if (aPatternNum < _texInfoNum) {
        _status &= ~(DWORD)SPRITE_STAT_HIDE;
        _curInfoNum = aPatternNum;
    }
}

void _sprite::SetColor(const D3DCOLORVALUE *aColP)
{
    const uint32_t c = sSpriteColor(aColP);
    for (int i = 0; i < 4; ++i)
        _vertex[i].color = c;
}

void _sprite::SetScale(float aH, float aV)
{
    _scaleH = aH;
    _scaleV = aV;
}

bool _sprite::_pattern(_texInfo **aInfoPP, IDirectDrawSurface7 **aSufPP) const
{
    if (!_texInfoP || _curInfoNum >= _texInfoNum)
        return false;
    _texInfo *info = sTexGetInfoPtr(_texInfoP[_curInfoNum].texNum);
    IDirectDrawSurface7 *suf = info ? sTexGetSurfacePtr(info->pageNum) : nullptr;
    if (!suf)
        return false;
    *aInfoPP = info;
    *aSufPP = suf;
    return true;
}

void _sprite::_camera2screen(const D3DVECTOR *aSrcVecP, D3DVECTOR *aDstVecP)
{
    sSpriteCameraToScreen(aSrcVecP, aDstVecP);
}

void _sprite::_calcuPos(const D3DMATRIX *aMatrixP)
{
    _texInfo *info;
    IDirectDrawSurface7 *suf;
    if (!_pattern(&info, &suf))
        return;
    if (_status & SPRITE_STAT_SCREEN) {
        sSpriteScreenPos(_status, &info->rect, _posX[0], _posY[0], (float)drawMan.screenWidth,
                         (float)drawMan.screenHeight, _coord.nowStat.tx, _coord.nowStat.ty, _coord.nowStat.rz, _vertex);
    } else {
        sSpriteWorldPos(aMatrixP ? aMatrixP : &_coord.world, _posX, _posY, _coord.nowStat.rz, _vertex);
    }
}

void _sprite::Draw(DWORD aDrawFlg, const D3DMATRIX *aMatrixP)
{
    IDirect3DDevice7 *dev = drawMan.d3dDevP;
    if ((_status & SPRITE_STAT_HIDE) || !(_status & SPRITE_STAT_INIT) || !dev || !sSpriteDrawsInPass(_status, aDrawFlg))
        return;
    _calcuPos(aMatrixP);
    _texInfo *info;
    IDirectDrawSurface7 *suf;
    if (_pattern(&info, &suf)) {
        const _spriteTexInfo &t = _texInfoP[_curInfoNum];
        sDrawSetTexture(0, suf);
        sDrawSetStageState(0, D3DTSS_TEXCOORDINDEX, 0);
        sDrawSetStageState(0, D3DTSS_COLOROP, t.texOp);
        sDrawSetStageState(0, D3DTSS_COLORARG1, t.texArg1);
        sDrawSetStageState(0, D3DTSS_COLORARG2, t.texArg2);
        sDrawSetStageState(0, D3DTSS_ALPHAOP, t.alphaOp);
        sDrawSetStageState(0, D3DTSS_ALPHAARG1, t.alphaArg1);
        sDrawSetStageState(0, D3DTSS_ALPHAARG2, t.alphaArg2);
        sDrawSetStage(1, DRAW_STAGE_OFF);
    }
    sDrawSetState(D3DRENDERSTATE_SHADEMODE, D3DSHADE_GOURAUD);
    sDrawSetState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
    sDrawSetState(D3DRENDERSTATE_COLORKEYENABLE, (_status & SPRITE_STAT_COLORKEY) ? TRUE : FALSE);
    sDrawSetState(D3DRENDERSTATE_SPECULARENABLE, FALSE);
    if (_status & SPRITE_STAT_ALPHA) {
        sDrawSetState(D3DRENDERSTATE_ALPHABLENDENABLE, TRUE);
        sDrawSetState(D3DRENDERSTATE_ALPHATESTENABLE, FALSE);
        sDrawSetState(D3DRENDERSTATE_SRCBLEND, _srcBlend);
        sDrawSetState(D3DRENDERSTATE_DESTBLEND, _destBlend);
    } else {
        sDrawSetState(D3DRENDERSTATE_ALPHABLENDENABLE, FALSE);
        sDrawSetState(D3DRENDERSTATE_ALPHATESTENABLE, TRUE);
        sDrawSetState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_ONE);
        sDrawSetState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_ZERO);
    }
    sDrawSetMaterial(&_material);
    sDrawCountDrawUp(D3DPT_TRIANGLESTRIP, SPRITE_FVF, 4, 0);
    DEBUGWIN_CHECK(dev->DrawPrimitive(D3DPT_TRIANGLESTRIP, SPRITE_FVF, _vertex, 4, 0));
}
