#ifndef KESTREL_LIBRARY_COORD_COORDLIB_H
#define KESTREL_LIBRARY_COORD_COORDLIB_H

// Coordinate hierarchy: every placed object owns a _coord node that builds its local matrix
// (scale, rotation, translation) from its state and composes it with its parent's into
// node-to-world and node-to-view matrices. Also the projection and look-at view builders and the
// decompositions of a matrix back into a state.

#include <cstdint>

#include "Common/D3DTYPES.h"

struct _stat3d {
    float tx, ty, tz; // translation
    float rx, ry, rz; // rotation about X, Y, Z, degrees
    float sx, sy, sz; // scale
};
static_assert(sizeof(_stat3d) == 36, "_stat3d is nine floats");

enum {
    COORD_FLG_DIRTY = 0x0001, // local changed since world/view were last computed
};

struct _coord {
    _coord *nextP; // not followed by the coordinate routines
    uint16_t flg;  // COORD_FLG_*
    int16_t
        type; // rotation order of the local matrix: 0 X,Y,Z  1 Z,Y,X  2 Y,X,Z  3 X,Z,Y  other none
    _coord *superP; // parent, null for a root
    D3DMATRIX local;
    D3DMATRIX world;
    D3DMATRIX view;
    _stat3d nowStat;
    _stat3d movStat; // added to nowStat by sCoordUpdateStat
};

// Zero the node; identity local, world and view; scale 1; parent aSuperP; dirty.
void sCoordInit(_coord *aSuperP, _coord *aCoordP);
void sCoordInitWorld();
void sCoordInitView(_coord *aCoordP);
void sCoordSetView(_coord *aCoordP);
// nowStat += movStat, angles wrapped into [0, 360), movStat cleared.
void sCoordUpdateStat(_coord *aCoordP);
// local = S × R(type) × T from aStatP; marks the node dirty.
void sCoordMakeLocalMatrix(_coord *aCoordP, const _stat3d *aStatP);
void sCoordMakeLocalMatrixAuto(_coord *aCoordP);
// Recomputes world and view of a dirty node from its local matrix and its ancestors.
void sCoordUpdate(_coord *aCoordP);
// Rebuilds the locals up the chain: level 0 node-to-world, -1 node-to-view, n > 0 into the space
// of the n-th ancestor.
void sCoordGetGlobalMatrix(_coord *aCoordP, D3DMATRIX *aOutP, long aLevel);
// Brings the view node up to date and loads the device's view transform.
void sCoordStandByUpdate();

// Perspective projection (aFovAngle in radians). E_INVALIDARG with the matrix untouched when
// near and far are within 0.01 or the half angle's sine is below 0.01.
long sCoordSetProjectionMatrix(D3DMATRIX *aProjMat, float aFovAngle, float aAspect,
                               float aNearPlane, float aFarPlane);
// Left-handed look-at view. E_INVALIDARG with the matrix untouched when eye and look-at coincide.
long sCoordSetViewMatrix(D3DMATRIX *aViewMat, const D3DVECTOR *aEyePos, const D3DVECTOR *aLookAtPos,
                         const D3DVECTOR *aUpVec);

// Inverses of the type 0 local matrix, angles in degrees in [0, 360).
void sCoordDecomposition(const D3DMATRIX *aMatP, _stat3d *aStatP);
void sCoordRotXYZDecomposition(const D3DMATRIX *aMatP, D3DVECTOR *aAngleP);
void sCoordScaleDecomposition(const D3DMATRIX *aMatP, D3DVECTOR *aScaleP);

#endif
