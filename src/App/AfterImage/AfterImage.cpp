#include "App/AfterImage/AfterImage.h"

// Entry points of the scene tables and the scene runtime; the effect fills them in.

void *AfterImage_init(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    return nullptr;
}

void *AfterImage_exec(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    return nullptr;
}

void *AfterImage_draw(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    return nullptr;
}

void *AfterImage_exit(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    return nullptr;
}
