#include "App/Effect/Effect.h"

// Entry points of the scene tables and the scene runtime; the effect fills them in.

void *EffectNeyaSceneInit(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    return nullptr;
}

void *EffectNeyaSceneExec(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    return nullptr;
}

void *EffectNeyaSceneDraw(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    return nullptr;
}

void *EffectNeyaSceneExit(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    return nullptr;
}

void *EffectNeyaSceneRest(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    return nullptr;
}

void *EffectShapeSceneInit(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    return nullptr;
}

void *EffectShapeSceneExec(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    return nullptr;
}

void *EffectShapeSceneDraw(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    return nullptr;
}

void *EffectShapeSceneExit(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    return nullptr;
}

void *EffectShapeSceneRest(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    return nullptr;
}

void *EfxCloudSceneInit(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    return nullptr;
}

void *EfxCloudSceneExec(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    return nullptr;
}

void *EfxCloudSceneDraw(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    return nullptr;
}

void *EfxCloudSceneExit(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    return nullptr;
}

void *EfxCloudSceneRest(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    return nullptr;
}
