// The rooftop fight and the sliding-door interior (03, 04; Light l21, l02, and l22 for the hall battle).

#include "Content.h"

void ctDemoNightFight(std::vector<ctScene> *aOutP)
{
    (void)aOutP;
}
