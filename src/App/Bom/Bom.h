#ifndef KESTREL_APP_BOM_BOM_H
#define KESTREL_APP_BOM_BOM_H

// Explosions: pools of bases and sprites fired from cue tables, drawn as additive picture
// sequences.

#include <cstdint>

#include "App/Bom/BomCore.h"
#include "App/Scene/SceneCore.h"

// Pools and pictures for one scene run; 1, or 0 when they cannot be had.
long BomInit(void);
// (Re)loads the pictures; 0 when any is missing.
long BomRest(void);
// Frees the pools and pictures.
void BomRelease(void);

// Scene callbacks besides the portable BomSceneInit, BomSceneExec and BomSceneExit.
void BomSceneDraw(void);
void BomSceneRest(void);

#endif
