// The draw manager's 32 lights: each one a device light that may carry a spotlight map
// (DrawManSpot.cpp).

#include "System/Draw/DrawMan.h"

#include "Common/DEBUGWIN.h"
#include "System/D3DFrame/d3dutil.h"

_drawLight::_drawLight()
    : _status(0), _lightNum(0), _light(), _shadowType(0), _shadowTexNum(-1), _lightTexNum(-1), _viewMatrix(),
      _projMatrix()
{
    D3DUtil_SetIdentityMatrix(_viewMatrix);
    D3DUtil_SetIdentityMatrix(_projMatrix);
}

long _drawLight::SetEnable(long aEnableB)
{
    if (aEnableB)
        _status |= 1;
    else
        _status &= ~1;
    if (drawMan.d3dDevP)
        DEBUGWIN_CHECK(drawMan.d3dDevP->LightEnable(_lightNum, aEnableB ? TRUE : FALSE));
    return 0;
}

bool _drawLight::_isSpotMap(void) const
{
    return _shadowType == DRAW_SHADOW_SPOTMAP && _light.dltType == D3DLIGHT_SPOT;
}
