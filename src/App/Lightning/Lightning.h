#ifndef KESTREL_APP_LIGHTNING_LIGHTNING_H
#define KESTREL_APP_LIGHTNING_LIGHTNING_H

// Lightning bolts between thandNNa/thandNNb shape pairs.

#include <cstdint>

#include "App/Scene/SceneCore.h"

// Rebuilds the bolt list from the shape names of a scene definition; called while a scene loads.
void LightningLoad(const _sceneDef *aSceneDefP, long aShapeCnt);

#endif
