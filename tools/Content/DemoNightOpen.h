#ifndef KESTREL_TOOLS_CONTENT_DEMONIGHTOPEN_H
#define KESTREL_TOOLS_CONTENT_DEMONIGHTOPEN_H

// The demo's opening: the title over the moonlit town (01, Light l01) and the ninja's run across the
// rooftops to the lord's hall (02, Light l20). Each scene is made from one function; aLight gives
// the reduced edition.

#include "Content.h"

ctScene ctDemoTitle(bool aLight);
ctScene ctDemoNinjaNight(bool aLight);

// Frames of the run, for the checks: the night scene fades to black from here.
enum { CT_NIGHT_FRAMES = 870, CT_NIGHT_FADE = 821, CT_TITLE_FRAMES = 720 };

#endif
