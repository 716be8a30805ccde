#ifndef KESTREL_APP_SPACE_SPACE_H
#define KESTREL_APP_SPACE_SPACE_H

// Star field, galaxy and lens of the space scenes, and the warp scene (scene callbacks).

#include <cstdint>

#include "App/Scene/SceneCore.h"

// Scene callbacks: (scene, frame number, work area, option words).
void *Space_init(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP);
void *Space_exec(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP);
void *Space_draw(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP);
void *Space_exit(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP);
void *Space_rest(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP);
void *Warp_init(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP);
void *Warp_exec(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP);
void *Warp_draw(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP);
void *Warp_exit(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP);

#endif
