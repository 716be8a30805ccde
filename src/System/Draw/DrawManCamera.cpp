// The draw manager's camera: its view and projection matrices onto the device.

#include "System/Draw/DrawMan.h"

#include "Common/DEBUGWIN.h"
#include "System/D3DFrame/d3dutil.h"

_drawCamera::_drawCamera()
    : _status(1), _nearDist(1.0f), _farDist(256.0f), _fovAngle(3.14159265f / 4.0f), _projMatrix(), _eyePos(),
      _lookAtPos(), _upVec(), _viewMatrix()
{
    D3DUtil_SetIdentityMatrix(_projMatrix);
    D3DUtil_SetIdentityMatrix(_viewMatrix);
    _upVec.y = 1.0f;
}

long _drawCamera::Update(void)
{
    IDirect3DDevice7 *dev = drawMan.d3dDevP;
    if (!dev)
        return 0;
    D3DVIEWPORT7 vp = {};
    sDrawGetViewport(&vp);
    const float aspect = vp.dwWidth ? (float)vp.dwHeight / (float)vp.dwWidth : 1.0f;
    sCoordSetProjectionMatrix(&_projMatrix, _fovAngle, aspect, _nearDist, _farDist);
    sDrawSetTransform(D3DTRANSFORMSTATE_PROJECTION, &_projMatrix);
    sCoordSetViewMatrix(&_viewMatrix, &_eyePos, &_lookAtPos, &_upVec);
    sDrawSetTransform(D3DTRANSFORMSTATE_VIEW, &_viewMatrix);
    return 0;
}
