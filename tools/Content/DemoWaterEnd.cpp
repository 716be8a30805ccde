// The water part, the feathered duel and the ending (28, 20, 22, 26; Light l18, l19, l16).

#include "Content.h"

void ctDemoWaterEnd(std::vector<ctScene> *aOutP)
{
    (void)aOutP;
}
