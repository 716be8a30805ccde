#include "App/Bench2d/Bench2d.h"

// Entry points of the scene tables and the scene runtime; the effect fills them in.

void *Bench2DSceneInit(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    return nullptr;
}

void *Bench2DSceneExec(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    return nullptr;
}

void *Bench2DSceneDraw(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    return nullptr;
}

void *Bench2DSceneExit(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    return nullptr;
}

void *Bench2DSceneRest(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    return nullptr;
}
