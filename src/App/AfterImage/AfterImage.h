#ifndef KESTREL_APP_AFTERIMAGE_AFTERIMAGE_H
#define KESTREL_APP_AFTERIMAGE_AFTERIMAGE_H

// After-images: ribbons that trail the s_img/e_img shape pairs (scene callbacks).

#include <cstdint>

#include "App/Scene/SceneCore.h"

// Finds the s_img/e_img pairs of a scene definition; called while a scene loads.
void AfterImageLoad(const _sceneDef *aSceneDefP, long aShapeCnt);

// Scene callbacks: (scene, frame number, work area, option words).
void *AfterImage_init(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP);
void *AfterImage_exec(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP);
void *AfterImage_draw(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP);
void *AfterImage_exit(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP);

#endif
