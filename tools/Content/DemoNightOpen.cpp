// The demo opens: the title, then the ninja night under clouds (01, 02; Light l01, l20).

#include "Content.h"

void ctDemoNightOpen(std::vector<ctScene> *aOutP)
{
    (void)aOutP;
}
