#ifndef KESTREL_TOOLS_BUILDER_KBSAMPLE_H
#define KESTREL_TOOLS_BUILDER_KBSAMPLE_H

// A complete sample scene that uses every record and every pointer field of a scene package:
// shapes sharing bodies by name, abilities with texture sets and vertex, morph and index sets,
// lights and cameras with scene-length tracks, sprites sharing a body, emitters, ambient and fog
// tracks. Tests, fuzz seeds and benchmarks build on it; aShapeCnt and aVertexCnt scale it.

#include "KbScene.h"

kbScene kbSampleScene(uint32_t aShapeCnt = 3, uint32_t aVertexCnt = 8, uint16_t aFrameCnt = 6);

#endif
