#ifndef KESTREL_TOOLS_BUILDER_KBANIM_H
#define KESTREL_TOOLS_BUILDER_KBANIM_H

// Animation of the scene toolkit: smooth curves through keys, motions baked to one key per frame,
// rigs of parts posed at key frames, cameras that follow a path and look at a moving target,
// lights and fog.

#include <functional>

#include "KbMesh.h"

// A Catmull-Rom curve through (frame, value) keys; held flat before the first and after the last.
class kbSpline {
public:
    kbSpline() = default;
    kbSpline(std::initializer_list<std::pair<float, kbVec3>> aKeys) : _keys(aKeys) {}
    kbSpline &Key(float aFrame, kbVec3 aValue);
    kbVec3 At(float aFrame) const;
    bool Empty() const { return _keys.empty(); }

private:
    std::vector<std::pair<float, kbVec3>> _keys;  // in frame order
};

typedef std::function<kbVec3(int)> kbCurve;

kbCurve kbConstant(kbVec3 aValue);
kbCurve kbCurveOf(const kbSpline &aSpline);

// One key per frame for each animated channel (a single key for a constant one), and index runs
// that step through them over aFrameCnt frames. The base pose is frame 0.
kbMotion kbBakeMotion(int aFrameCnt, const kbCurve &aTrans, const kbCurve &aAngle, const kbCurve &aScale = kbCurve());
void kbApplyMotion(_sceneShapeDef *aDefP, kbVec3 aTrans, kbVec3 aAngle, kbVec3 aScale);

// Adds a shape; returns its index. aBody null makes a locator that only carries a name.
int kbAddShape(kbScene *aSceneP, const std::string &aName, std::shared_ptr<kbShapeBody> aBody, int aParent,
               const kbCurve &aTrans, const kbCurve &aAngle = kbCurve(), const kbCurve &aScale = kbCurve());

// A rig: parts hung from one another at pivots, each with its own pose curve. Parts become shapes
// in the order they were added, parents first.
class kbRig {
public:
    struct Part {
        std::string name;
        std::shared_ptr<kbShapeBody> body;
        int parent;      // index in the rig, -1 for the root
        kbVec3 pivot;    // position in the parent's space
        kbSpline angle;  // pose (radians) at key frames
        kbCurve extra;   // optional extra rotation added each frame (idle sway)
    };
    int Add(const std::string &aName, std::shared_ptr<kbShapeBody> aBody, int aParent, kbVec3 aPivot);
    Part &operator[](int aI) { return _parts[aI]; }
    int Size() const { return (int)_parts.size(); }
    // Poses part aPart at aFrame.
    void Pose(int aPart, float aFrame, kbVec3 aAngle) { _parts[aPart].angle.Key(aFrame, aAngle); }
    // Puts the rig in the scene with the root following aRootTrans / aRootAngle; returns the
    // shape index of each part.
    std::vector<int> Place(kbScene *aSceneP, int aParentShape, const kbCurve &aRootTrans, const kbCurve &aRootAngle,
                           kbVec3 aScale = kbVec3(1, 1, 1)) const;
    // World position of a point in part aPart's space at aFrame, with the root curves given.
    kbVec3 WorldOf(int aPart, kbVec3 aLocal, int aFrame, const kbCurve &aRootTrans, const kbCurve &aRootAngle) const;

private:
    std::vector<Part> _parts;
};

// The scene's camera on a path, looking at a target shape that moves on its own path (a locator
// named aTargetName). fov in radians.
void kbAddCamera(kbScene *aSceneP, const kbCurve &aEye, const kbCurve &aTarget, float aFov,
                 const std::string &aTargetName = "CameraTarget");

// Lights. The direction of a directional or spot light is stored as its angle.
kbLight kbLightDirectional(kbVec3 aDir, uint32_t aRgb, float aIntensity);
kbLight kbLightPoint(kbVec3 aPos, uint32_t aRgb, float aIntensity, float aRange);
void kbAddLight(kbScene *aSceneP, const kbLight &aLight);

// A scene header: frames, 30 fps, ambient, clip distances and background.
void kbSceneBegin(kbScene *aSceneP, int aFrameCnt, float aNear, float aFar, uint32_t aBackColor, uint32_t aAmbient,
                  float aAmbientIntensity);
void kbSceneFog(kbScene *aSceneP, float aMin, float aMax, uint32_t aColor);
// Fills the scene's polygon and vertex totals from its placed shapes.
void kbSceneCount(kbScene *aSceneP);

// A dissolve track of aFrameCnt entries: visible (0) between aOn and aOff, hidden (1) elsewhere.
std::vector<float> kbDissolveWindow(int aFrameCnt, int aOn, int aOff);

#endif
