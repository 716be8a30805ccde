#include "App/Space/Space.h"

// Entry points of the scene tables and the scene runtime; the effect fills them in.

void *Space_init(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    return nullptr;
}

void *Space_exec(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    return nullptr;
}

void *Space_draw(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    return nullptr;
}

void *Space_exit(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    return nullptr;
}

void *Space_rest(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    return nullptr;
}

void *Warp_init(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    return nullptr;
}

void *Warp_exec(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    return nullptr;
}

void *Warp_draw(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    return nullptr;
}

void *Warp_exit(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    return nullptr;
}
