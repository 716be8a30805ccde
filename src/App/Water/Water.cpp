#include "App/Water/Water.h"

// Entry points of the scene tables and the scene runtime; the effect fills them in.

void *WaterSceneInit(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    return nullptr;
}

void *WaterSceneExec(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    return nullptr;
}

void *WaterSceneDraw(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    return nullptr;
}

void *WaterSceneExit(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    return nullptr;
}

void *WaterSceneRest(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    return nullptr;
}
