#include "Library/Coord/COORDLIB.h"

#include <cmath>
#include <cstring>

#include "Common/DrawLink.h"
#include "Library/Matrix/MATLIB.h"
#include "Library/Vec/VECLIB.h"

// The current camera's view matrix, identity without a camera.
static void _cameraView(D3DMATRIX *aMatP)
{
    if (drawManLink.getViewMatrixP == nullptr || drawManLink.getViewMatrixP(aMatP) == 0)
        sMatrixCreateUnit(aMatP);
}

void sCoordInit(_coord *aSuperP, _coord *aCoordP)
{
    memset(aCoordP, 0, sizeof *aCoordP);
    sMatrixCreateUnit(&aCoordP->local);
    sMatrixCreateUnit(&aCoordP->world);
    sMatrixCreateUnit(&aCoordP->view);
    aCoordP->superP = aSuperP;
    aCoordP->flg |= COORD_FLG_DIRTY;
    aCoordP->nowStat.sx = 1.0f;
    aCoordP->nowStat.sy = 1.0f;
    aCoordP->nowStat.sz = 1.0f;
}

void sCoordInitWorld()
{
    if (drawManLink.worldRecP != nullptr)
        sCoordInit(nullptr, drawManLink.worldRecP);
}

void sCoordInitView(_coord *aCoordP)
{
    sCoordInit(nullptr, aCoordP);
    sCoordSetView(aCoordP);
}

void sCoordSetView(_coord *aCoordP)
{
    if (drawManLink.viewPP != nullptr)
        *drawManLink.viewPP = aCoordP;
}

void sCoordUpdateStat(_coord *aCoordP)
{
    _stat3d *now = &aCoordP->nowStat;
    _stat3d *mov = &aCoordP->movStat;
    now->tx += mov->tx;
    now->ty += mov->ty;
    now->tz += mov->tz;
    now->rx += mov->rx;
    now->ry += mov->ry;
    now->rz += mov->rz;
    now->sx += mov->sx;
    now->sy += mov->sy;
    now->sz += mov->sz;
    now->rx = sVecClipAngle(now->rx);
    now->ry = sVecClipAngle(now->ry);
    now->rz = sVecClipAngle(now->rz);
    memset(mov, 0, sizeof *mov);
}

// Single-axis orders of the rotation types 1-3 (0 = X, 1 = Y, 2 = Z), first applied first.
static void (*const _rotAxisTbl[3])(D3DMATRIX *, float) = {sMatrixRotateX, sMatrixRotateY,
                                                           sMatrixRotateZ};
static const int _rotOrderTbl[3][3] = {
    {2, 1, 0}, // type 1: Z, Y, X
    {1, 0, 2}, // type 2: Y, X, Z
    {0, 2, 1}, // type 3: X, Z, Y
};

void sCoordMakeLocalMatrix(_coord *aCoordP, const _stat3d *aStatP)
{
    D3DMATRIX *m = &aCoordP->local;
    sMatrixCreateUnit(m);
    sMatrixScale(m, aStatP->sx, aStatP->sy, aStatP->sz);
    if (aCoordP->type == 0) {
        sMatrixRotateXYZ(m, aStatP->rx, aStatP->ry, aStatP->rz);
    } else if (aCoordP->type >= 1 && aCoordP->type <= 3) {
        const float angle[3] = {aStatP->rx, aStatP->ry, aStatP->rz};
        for (int axis : _rotOrderTbl[aCoordP->type - 1])
            _rotAxisTbl[axis](m, angle[axis]);
    }
    sMatrixTranslate(m, aStatP->tx, aStatP->ty, aStatP->tz);
    aCoordP->flg |= COORD_FLG_DIRTY;
}

void sCoordMakeLocalMatrixAuto(_coord *aCoordP)
{
    sCoordMakeLocalMatrix(aCoordP, &aCoordP->nowStat);
}

void sCoordUpdate(_coord *aCoordP)
{
    if (!(aCoordP->flg & COORD_FLG_DIRTY))
        return;
    D3DMATRIX m = aCoordP->local;
    const _coord *p = aCoordP->superP;
    // Dirty ancestors contribute their fresh local matrices; their own matrices stay as they are.
    while (p != nullptr && (p->flg & COORD_FLG_DIRTY)) {
        sMatrixMul(&m, &p->local, &m);
        p = p->superP;
    }
    if (p != nullptr) {
        sMatrixMul(&m, &p->world, &aCoordP->world);
        sMatrixMul(&m, &p->view, &aCoordP->view);
    } else {
        D3DMATRIX camera;
        _cameraView(&camera);
        aCoordP->world = m;
        sMatrixMul(&m, &camera, &aCoordP->view);
    }
    aCoordP->flg &= ~COORD_FLG_DIRTY;
}

void sCoordGetGlobalMatrix(_coord *aCoordP, D3DMATRIX *aOutP, long aLevel)
{
    sCoordMakeLocalMatrixAuto(aCoordP);
    D3DMATRIX m = aCoordP->local;
    long remaining = aLevel;
    for (_coord *p = aCoordP->superP; p != nullptr; p = p->superP) {
        if (aLevel > 0 && remaining-- == 0)
            break;
        sCoordMakeLocalMatrixAuto(p);
        sMatrixMul(&m, &p->local, &m);
    }
    if (aLevel == -1) {
        D3DMATRIX camera;
        _cameraView(&camera);
        sMatrixMul(&m, &camera, &m);
    }
    *aOutP = m;
}

void sCoordStandByUpdate()
{
    _coord *view = drawManLink.viewPP ? *drawManLink.viewPP : nullptr;
    if (view == nullptr)
        return;
    sCoordUpdateStat(view);
    sCoordMakeLocalMatrixAuto(view);
    sCoordUpdate(view);
    if (drawManLink.setViewTransformP != nullptr) {
        D3DMATRIX camera;
        _cameraView(&camera);
        drawManLink.setViewTransformP(&camera);
    }
}

long sCoordSetProjectionMatrix(D3DMATRIX *aProjMat, float aFovAngle, float aAspect,
                               float aNearPlane, float aFarPlane)
{
    if (std::fabs(aFarPlane - aNearPlane) < 0.01f)
        return E_INVALIDARG;
    const float half = aFovAngle * 0.5f;
    const float s = std::sin(half);
    if (std::fabs(s) < 0.01f)
        return E_INVALIDARG;
    const float h = std::cos(half) / s;
    const float w = aAspect * h;
    const float q = aFarPlane / (aFarPlane - aNearPlane);
    memset(aProjMat, 0, sizeof *aProjMat);
    aProjMat->_11 = w;
    aProjMat->_22 = h;
    aProjMat->_33 = q;
    aProjMat->_34 = 1.0f;
    aProjMat->_43 = -q * aNearPlane;
    return 0;
}

static void _vecSub(const D3DVECTOR *aAP, const D3DVECTOR *aBP, D3DVECTOR *aOutP)
{
    aOutP->x = aAP->x - aBP->x;
    aOutP->y = aAP->y - aBP->y;
    aOutP->z = aAP->z - aBP->z;
}

// a - d·b
static void _vecSubScaled(const D3DVECTOR *aAP, float aD, const D3DVECTOR *aBP, D3DVECTOR *aOutP)
{
    aOutP->x = aAP->x - aD * aBP->x;
    aOutP->y = aAP->y - aD * aBP->y;
    aOutP->z = aAP->z - aD * aBP->z;
}

static void _vecDiv(D3DVECTOR *aVP, float aD)
{
    aVP->x /= aD;
    aVP->y /= aD;
    aVP->z /= aD;
}

long sCoordSetViewMatrix(D3DMATRIX *aViewMat, const D3DVECTOR *aEyePos, const D3DVECTOR *aLookAtPos,
                         const D3DVECTOR *aUpVec)
{
    const float minLen = 1e-6f;
    D3DVECTOR vView;
    _vecSub(aLookAtPos, aEyePos, &vView);
    float len = sVecMagnitude(&vView);
    if (len < minLen)
        return E_INVALIDARG;
    _vecDiv(&vView, len);

    // Up without its component along the view; world Y, then world Z when up is parallel.
    static const D3DVECTOR fallbackUp[2] = {{{0.0f}, {1.0f}, {0.0f}}, {{0.0f}, {0.0f}, {1.0f}}};
    D3DVECTOR vUp;
    _vecSubScaled(aUpVec, sVecDotProductRet(aUpVec, &vView), &vView, &vUp);
    len = sVecMagnitude(&vUp);
    for (int i = 0; i < 2 && len < minLen; i++) {
        _vecSubScaled(&fallbackUp[i], i == 0 ? vView.y : vView.z, &vView, &vUp);
        len = sVecMagnitude(&vUp);
    }
    if (len < minLen)
        return E_INVALIDARG;
    _vecDiv(&vUp, len);

    D3DVECTOR vRight;
    sVecCrossProduct(&vUp, &vView, &vRight);

    aViewMat->_11 = vRight.x;
    aViewMat->_21 = vRight.y;
    aViewMat->_31 = vRight.z;
    aViewMat->_12 = vUp.x;
    aViewMat->_22 = vUp.y;
    aViewMat->_32 = vUp.z;
    aViewMat->_13 = vView.x;
    aViewMat->_23 = vView.y;
    aViewMat->_33 = vView.z;
    aViewMat->_14 = aViewMat->_24 = aViewMat->_34 = 0.0f;
    aViewMat->_41 = -sVecDotProductRet(aEyePos, &vRight);
    aViewMat->_42 = -sVecDotProductRet(aEyePos, &vUp);
    aViewMat->_43 = -sVecDotProductRet(aEyePos, &vView);
    aViewMat->_44 = 1.0f;
    return 0;
}

static void _rowVector(const D3DMATRIX *aMatP, int aRow, D3DVECTOR *aOutP)
{
    const float *e = &aMatP->_11 + aRow * 4;
    aOutP->x = e[0];
    aOutP->y = e[1];
    aOutP->z = e[2];
}

void sCoordRotXYZDecomposition(const D3DMATRIX *aMatP, D3DVECTOR *aAngleP)
{
    float angle;
    D3DVECTOR r;
    D3DVECTOR turn;

    _rowVector(aMatP, 0, &r);
    sVecHV2Angle(r.y, -r.x, &angle);
    const float rz = sVecClipAngle(angle);

    turn.x = 0.0f;
    turn.y = 0.0f;
    turn.z = -rz;
    sVecRotate(&turn, &r, &r);
    sVecHV2Angle(-r.z, -r.x, &angle);
    const float ry = sVecClipAngle(angle);

    _rowVector(aMatP, 1, &r);
    turn.y = -ry;
    sVecRotate(&turn, &r, &r);
    sVecHV2Angle(r.z, -r.y, &angle);

    aAngleP->x = sVecClipAngle(angle);
    aAngleP->y = ry;
    aAngleP->z = rz;
}

void sCoordScaleDecomposition(const D3DMATRIX *aMatP, D3DVECTOR *aScaleP)
{
    D3DVECTOR r[3];
    for (int i = 0; i < 3; i++)
        _rowVector(aMatP, i, &r[i]);
    aScaleP->x = sVecMagnitude(&r[0]);
    aScaleP->y = sVecMagnitude(&r[1]);
    aScaleP->z = sVecMagnitude(&r[2]);
}

void sCoordDecomposition(const D3DMATRIX *aMatP, _stat3d *aStatP)
{
    D3DVECTOR scale, angle;
    sCoordScaleDecomposition(aMatP, &scale);
    sCoordRotXYZDecomposition(aMatP, &angle);
    aStatP->tx = aMatP->_41;
    aStatP->ty = aMatP->_42;
    aStatP->tz = aMatP->_43;
    aStatP->rx = angle.x;
    aStatP->ry = angle.y;
    aStatP->rz = angle.z;
    aStatP->sx = scale.x;
    aStatP->sy = scale.y;
    aStatP->sz = scale.z;
}
