#ifndef KESTREL_COMMON_DRAWLINK_H
#define KESTREL_COMMON_DRAWLINK_H

// The link from the portable core up to the platform's draw manager: the maths, coordinate and
// object arithmetic read the camera and vanishing point through it without depending on the
// device layer.

#include "Common/D3DTYPES.h"

struct _coord;

// The draw manager (drawMan) as the maths core sees it. The Windows draw manager fills this in
// sDrawManInit and zeroes it in sDrawManExit; zeroed (tools, tests, between runs) it means no
// camera, no device and no world or view node:
//  - camera hooks return 1 with the current camera's value (drawMan.cameraP: GetViewMatrix,
//    GetProjMatrix, GetNear), or 0 when there is no camera; callers then use identity matrices
//    and a near distance of 0;
//  - setViewTransformP loads the device's view transform (SetTransform with the view state);
//  - the pointers lead to drawMan.vanishX, drawMan.vanishY, drawMan.worldRec and drawMan.viewP.
struct _drawManLink {
    long (*getViewMatrixP)(D3DMATRIX *aMatP);
    long (*getProjMatrixP)(D3DMATRIX *aMatP);
    long (*getNearP)(float *aNearP);
    void (*setViewTransformP)(const D3DMATRIX *aMatP);
    const float *vanishXP;
    const float *vanishYP;
    _coord *worldRecP;
    _coord **viewPP;
};
extern _drawManLink drawManLink;

#endif
