#ifndef KESTREL_APP_WATER_WATER_H
#define KESTREL_APP_WATER_WATER_H

// The water surface: a mass-spring net with refraction and sky passes (scene callbacks).

#include <cstdint>

#include "App/Scene/SceneCore.h"

// Scene callbacks: (scene, frame number, work area, option words).
void *WaterSceneInit(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP);
void *WaterSceneExec(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP);
void *WaterSceneDraw(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP);
void *WaterSceneExit(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP);
void *WaterSceneRest(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP);

#endif
