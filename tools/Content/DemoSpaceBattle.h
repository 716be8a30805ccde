#ifndef KESTREL_TOOLS_CONTENT_DEMOSPACEBATTLE_H
#define KESTREL_TOOLS_CONTENT_DEMOSPACEBATTLE_H

// The space battle and its finale: what each scene stages, so the explosion cue tables of the
// program and the scenes can be checked against each other.

#include <cstdint>

#include "Content.h"

// One explosion a scene stages: the cue the program's table must hold for it.
struct dsbBlast {
    int frame;
    int16_t bomType, texType;
    kbVec3 pos, rotate;  // world position; rotation in degrees
    float scale, texScale, coef;
    bool light;  // kept in the Light edition's table
};

struct dsbBuilt {
    ctScene scene;
    std::vector<dsbBlast> blasts;  // in cue order; the Light scene lists only its own
    std::vector<int> cues;         // the sound cue frames the scene stages its events on
};

// Scene 13..18 of the demo, FullSpec or Light (no Light scene 15).
dsbBuilt dsbScene(int aScene, bool aLight);

// Where a point of shape aShape (in its own space) is in the world at a frame, read from the
// scene's keys and parents as the program plays them.
kbVec3 dsbShapeWorld(const kbScene &aScene, int aShape, int aFrame, kbVec3 aLocal = kbVec3());
// The camera's eye and look-at point at a frame.
void dsbCamera(const kbScene &aScene, int aFrame, kbVec3 *aEyeP, kbVec3 *aLookP);
// A world point on the 640 x 480 screen of the scene's camera; false when it is behind the near plane.
bool dsbProject(const kbScene &aScene, int aFrame, kbVec3 aWorld, float *aXP, float *aYP);

#endif
