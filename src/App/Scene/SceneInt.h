#ifndef KESTREL_APP_SCENE_SCENEINT_H
#define KESTREL_APP_SCENE_SCENEINT_H

// Shared inside the scene runtime only (Scene, SceneLoad, SceneScreen).

#include "App/Scene/Scene.h"

struct _coord;

// The sound system is up and has a device.
bool _sceneSoundOn(void);
// printf-style text to the diagnostic sink.
void _sceneDebugMsg(const char *aFormatP, ...);
// The coordinate node of a shape record, or null when it has no shape.
_coord *_sceneCoordOf(_sceneShape *aShapeP);
// Draws the loading screen of the scene's options at aPercent (0 draws the picture) and flips.
void _sceneDrawLodingBar(const _sceneOptionDef *aOptionDefP, long aPercent);

#endif
