// The space battle and its finale (13-18; Light l10, l11, l13, l14, l15).

#include "Content.h"

void ctDemoSpaceBattle(std::vector<ctScene> *aOutP)
{
    (void)aOutP;
}
