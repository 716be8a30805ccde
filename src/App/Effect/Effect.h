#ifndef KESTREL_APP_EFFECT_EFFECT_H
#define KESTREL_APP_EFFECT_EFFECT_H

// Combined effect scenes: the room scene, the shape effect and the cloud layer (scene callbacks).

#include <cstdint>

#include "App/Scene/SceneCore.h"

// Scene callbacks: (scene, frame number, work area, option words).
void *EffectNeyaSceneInit(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP);
void *EffectNeyaSceneExec(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP);
void *EffectNeyaSceneDraw(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP);
void *EffectNeyaSceneExit(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP);
void *EffectNeyaSceneRest(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP);
void *EffectShapeSceneInit(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP);
void *EffectShapeSceneExec(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP);
void *EffectShapeSceneDraw(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP);
void *EffectShapeSceneExit(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP);
void *EffectShapeSceneRest(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP);
void *EfxCloudSceneInit(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP);
void *EfxCloudSceneExec(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP);
void *EfxCloudSceneDraw(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP);
void *EfxCloudSceneExit(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP);
void *EfxCloudSceneRest(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *aWorkP, uint32_t *aOptionP);

#endif
