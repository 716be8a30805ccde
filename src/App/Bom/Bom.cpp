#include "App/Bom/Bom.h"

// Entry points of the scene tables and the scene runtime; the effect fills them in.

long BomInit(void)
{
    return 0;
}

void BomRelease(void)
{
}
