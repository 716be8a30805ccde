#ifndef KESTREL_TOOLS_CONTENT_DEMOWATEREND_H
#define KESTREL_TOOLS_CONTENT_DEMOWATEREND_H

// The water part, the duel among the ruins and the ending, one builder per story with the Light
// edition made from the same code.

#include "Content.h"

ctScene ctDemoDawn(bool aLight);    // 28, l18: dawn over the lake
ctScene ctDemoPool(bool aLight);    // 20, l19: the sunlit pool
ctScene ctDemoRuins(bool aLight);   // 22, l16: the duel among the ruins
ctScene ctDemoEnding();             // 26, both editions

// The duel's beats: the first frame of each exchange, and the sound offsets within one (a swing
// that misses, the blades meeting, the blow that lands, two blasts).
enum { CT_RUINS_ROUNDS = 5 };
extern const int ctRuinsRound[CT_RUINS_ROUNDS];
extern const int ctRuinsBeat[5];
// Where a blast at aFrame is seen: behind the pair, off to one side by aSide (-1..1), at the
// given depth step aStep (0, 1, 2 for the blasts of one cluster).
kbVec3 ctRuinsBlastSpot(int aFrame, float aSide, int aStep);

#endif
