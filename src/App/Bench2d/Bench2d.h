#ifndef KESTREL_APP_BENCH2D_BENCH2D_H
#define KESTREL_APP_BENCH2D_BENCH2D_H

// The 2D test: metaballs displacing a picture (scene callbacks).

#include <cstdint>

#include "App/Scene/SceneCore.h"

// Scene callbacks: (scene, frame number, work area, option words).
void *Bench2DSceneInit(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP);
void *Bench2DSceneExec(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP);
void *Bench2DSceneDraw(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP);
void *Bench2DSceneExit(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP);
void *Bench2DSceneRest(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP);

#endif
