#ifndef KESTREL_TOOLS_CONTENT_DEMONIGHTFIGHT_H
#define KESTREL_TOOLS_CONTENT_DEMONIGHTFIGHT_H

// The rooftop fight and the sliding-door interior, each in both editions.

#include "Content.h"

ctScene ctNightRooftop(bool aLight);   // 03, l21
ctScene ctNightInterior(bool aLight);  // 04, l02

#endif
