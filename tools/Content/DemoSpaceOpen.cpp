// The space part opens: the launch, the lightning, the warp (06, 07, 08, 09, 11, 12; Light l03-l09).

#include "Content.h"

void ctDemoSpaceOpen(std::vector<ctScene> *aOutP)
{
    (void)aOutP;
}
