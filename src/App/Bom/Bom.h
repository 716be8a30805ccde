#ifndef KESTREL_APP_BOM_BOM_H
#define KESTREL_APP_BOM_BOM_H

// Explosions: pools of bases and sprites fired from cue tables.

#include <cstdint>

#include "App/Scene/SceneCore.h"

// Pools and pictures for one scene run; 1, or 0 when they cannot be had.
long BomInit(void);
// Frees the pools and pictures.
void BomRelease(void);

#endif
