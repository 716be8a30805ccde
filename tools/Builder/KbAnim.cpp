#include "KbAnim.h"

#include <algorithm>
#include <cmath>

kbSpline &kbSpline::Key(float aFrame, kbVec3 aValue)
{
    auto it = std::lower_bound(_keys.begin(), _keys.end(), aFrame,
                               [](const std::pair<float, kbVec3> &k, float f) { return k.first < f; });
    if (it != _keys.end() && it->first == aFrame)
        it->second = aValue;
    else
        _keys.insert(it, std::make_pair(aFrame, aValue));
    return *this;
}

kbVec3 kbSpline::At(float aFrame) const
{
    if (_keys.empty())
        return kbVec3();
    if (aFrame <= _keys.front().first)
        return _keys.front().second;
    if (aFrame >= _keys.back().first)
        return _keys.back().second;
    size_t i = 0;
    while (i + 1 < _keys.size() && _keys[i + 1].first <= aFrame)
        i++;
    const kbVec3 &p1 = _keys[i].second, &p2 = _keys[i + 1].second;
    // End tangents mirror the neighbour so motion eases into the first and last keys.
    kbVec3 p0 = i > 0 ? _keys[i - 1].second : p1 - (p2 - p1) * 0.0f;
    kbVec3 p3 = i + 2 < _keys.size() ? _keys[i + 2].second : p2;
    float f0 = i > 0 ? _keys[i - 1].first : _keys[i].first - 1, f1 = _keys[i].first, f2 = _keys[i + 1].first,
          f3 = i + 2 < _keys.size() ? _keys[i + 2].first : f2 + 1;
    float t = (aFrame - f1) / (f2 - f1);
    // Tangents scaled to the key spacing so uneven keys do not overshoot.
    kbVec3 m1 = (p2 - p0) * ((f2 - f1) / (f2 - f0));
    kbVec3 m2 = (p3 - p1) * ((f2 - f1) / (f3 - f1));
    if (i == 0)
        m1 = kbVec3();
    if (i + 2 >= _keys.size())
        m2 = kbVec3();
    float t2 = t * t, t3 = t2 * t;
    return p1 * (2 * t3 - 3 * t2 + 1) + m1 * (t3 - 2 * t2 + t) + p2 * (-2 * t3 + 3 * t2) + m2 * (t3 - t2);
}

kbCurve kbConstant(kbVec3 aValue)
{
    return [aValue](int) { return aValue; };
}

kbCurve kbCurveOf(const kbSpline &aSpline)
{
    return [aSpline](int f) { return aSpline.At((float)f); };
}

static std::vector<_sceneVectorDef> _track(int aFrameCnt, const kbCurve &aCurve, kbVec3 aDefault, bool *aMovesP)
{
    std::vector<_sceneVectorDef> keys;
    kbVec3 first = aCurve ? aCurve(0) : aDefault;
    keys.push_back({first.x, first.y, first.z});
    *aMovesP = false;
    if (!aCurve)
        return keys;
    for (int f = 1; f < aFrameCnt; f++) {
        kbVec3 v = aCurve(f);
        keys.push_back({v.x, v.y, v.z});
        if (v.x != first.x || v.y != first.y || v.z != first.z)
            *aMovesP = true;
    }
    if (!*aMovesP)
        keys.resize(1);
    return keys;
}

kbMotion kbBakeMotion(int aFrameCnt, const kbCurve &aTrans, const kbCurve &aAngle, const kbCurve &aScale)
{
    kbMotion m;
    bool t, a, s;
    m.transKeys = _track(aFrameCnt, aTrans, kbVec3(), &t);
    m.angleKeys = _track(aFrameCnt, aAngle, kbVec3(), &a);
    m.scaleKeys = _track(aFrameCnt, aScale, kbVec3(1, 1, 1), &s);
    // Frame 0 reads key 0; each later frame steps the moving channels by one.
    m.runs.push_back({0, 0, 0, 1});
    if (aFrameCnt > 1)
        m.runs.push_back({(int16_t)(t ? 1 : 0), (int16_t)(a ? 1 : 0), (int16_t)(s ? 1 : 0), (uint16_t)(aFrameCnt - 1)});
    return m;
}

void kbApplyMotion(_sceneShapeDef *aDefP, kbVec3 aTrans, kbVec3 aAngle, kbVec3 aScale)
{
    aDefP->trans = {aTrans.x, aTrans.y, aTrans.z};
    aDefP->angle = {aAngle.x, aAngle.y, aAngle.z};
    aDefP->scale = {aScale.x, aScale.y, aScale.z};
}

int kbAddShape(kbScene *aSceneP, const std::string &aName, std::shared_ptr<kbShapeBody> aBody, int aParent,
               const kbCurve &aTrans, const kbCurve &aAngle, const kbCurve &aScale)
{
    kbShape shape;
    kbSetName(shape.def.name, aName);
    shape.def.parentShapeNum = aParent;
    shape.body = aBody;
    int frames = aSceneP->def.frameCnt;
    kbVec3 t0 = aTrans ? aTrans(0) : kbVec3(), a0 = aAngle ? aAngle(0) : kbVec3(),
           s0 = aScale ? aScale(0) : kbVec3(1, 1, 1);
    kbApplyMotion(&shape.def, t0, a0, s0);
    kbMotion m = kbBakeMotion(frames, aTrans, aAngle, aScale);
    // A shape that never moves stays on its base pose.
    if (m.transKeys.size() > 1 || m.angleKeys.size() > 1 || m.scaleKeys.size() > 1)
        shape.motion = m;
    aSceneP->shapes.push_back(shape);
    return (int)aSceneP->shapes.size() - 1;
}

int kbRig::Add(const std::string &aName, std::shared_ptr<kbShapeBody> aBody, int aParent, kbVec3 aPivot)
{
    Part p;
    p.name = aName;
    p.body = aBody;
    p.parent = aParent;
    p.pivot = aPivot;
    _parts.push_back(p);
    return (int)_parts.size() - 1;
}

std::vector<int> kbRig::Place(kbScene *aSceneP, int aParentShape, const kbCurve &aRootTrans, const kbCurve &aRootAngle,
                              kbVec3 aScale) const
{
    std::vector<int> shapes;
    for (size_t i = 0; i < _parts.size(); i++) {
        const Part &p = _parts[i];
        kbCurve angle;
        if (!p.angle.Empty() || p.extra) {
            kbSpline s = p.angle;
            kbCurve extra = p.extra;
            kbCurve root = p.parent < 0 ? aRootAngle : kbCurve();
            angle = [s, extra, root](int f) {
                kbVec3 a = s.At((float)f);
                if (extra)
                    a = a + extra(f);
                if (root)
                    a = a + root(f);
                return a;
            };
        } else if (p.parent < 0)
            angle = aRootAngle;
        kbCurve trans = p.parent < 0 ? aRootTrans : kbConstant(p.pivot);
        int parent = p.parent < 0 ? aParentShape : shapes[p.parent];
        int n = kbAddShape(aSceneP, p.name, p.body, parent, trans, angle,
                           p.parent < 0 ? kbConstant(aScale) : kbCurve());
        shapes.push_back(n);
    }
    return shapes;
}

kbVec3 kbRig::WorldOf(int aPart, kbVec3 aLocal, int aFrame, const kbCurve &aRootTrans, const kbCurve &aRootAngle) const
{
    kbVec3 p = aLocal;
    for (int i = aPart; i >= 0; i = _parts[i].parent) {
        const Part &part = _parts[i];
        kbVec3 a = part.angle.At((float)aFrame);
        if (part.extra)
            a = a + part.extra(aFrame);
        if (part.parent < 0) {
            if (aRootAngle)
                a = a + aRootAngle(aFrame);
            p = kbRotate(p, a) + (aRootTrans ? aRootTrans(aFrame) : kbVec3());
        } else
            p = kbRotate(p, a) + part.pivot;
    }
    return p;
}

void kbAddCamera(kbScene *aSceneP, const kbCurve &aEye, const kbCurve &aTarget, float aFov, const std::string &aTargetName)
{
    int target = kbAddShape(aSceneP, aTargetName, nullptr, -1, aTarget);
    kbCamera cam;
    int frames = aSceneP->def.frameCnt;
    kbVec3 e0 = aEye(0), t0 = aTarget(0);
    cam.def.trans = {e0.x, e0.y, e0.z};
    cam.def.eyePos = {e0.x, e0.y, e0.z};
    cam.def.lookAt = {t0.x, t0.y, t0.z};
    cam.def.fovAngle = aFov;
    cam.def.focalDistance = kbLength(t0 - e0);
    cam.def.width = 640;
    cam.def.height = 480;
    cam.def.targetShapeNum = target;
    cam.motion = kbBakeMotion(frames, aEye, kbCurve());
    aSceneP->cameras.push_back(cam);
}

kbLight kbLightDirectional(kbVec3 aDir, uint32_t aRgb, float aIntensity)
{
    kbLight l;
    l.def.type = 3;  // directional
    kbVec3 d = kbNormalize(aDir);
    l.def.angle = {d.x, d.y, d.z};
    l.def.color = kbColor(aRgb);
    l.def.baseColor = l.def.color;
    l.def.intensity = aIntensity;
    l.def.range = 1000;
    return l;
}

kbLight kbLightPoint(kbVec3 aPos, uint32_t aRgb, float aIntensity, float aRange)
{
    kbLight l;
    l.def.type = 1;
    l.def.trans = {aPos.x, aPos.y, aPos.z};
    l.def.color = kbColor(aRgb);
    l.def.baseColor = l.def.color;
    l.def.intensity = aIntensity;
    l.def.range = aRange;
    l.def.fallOffType = 1;
    return l;
}

void kbAddLight(kbScene *aSceneP, const kbLight &aLight) { aSceneP->lights.push_back(aLight); }

void kbSceneBegin(kbScene *aSceneP, int aFrameCnt, float aNear, float aFar, uint32_t aBackColor, uint32_t aAmbient,
                  float aAmbientIntensity)
{
    aSceneP->def.frameCnt = (uint16_t)aFrameCnt;
    aSceneP->def.frameStep = 1;
    aSceneP->def.fps = 30.0f;
    aSceneP->def.nearDist = aNear;
    aSceneP->def.farDist = aFar;
    aSceneP->def.backColor = aBackColor;
    aSceneP->def.illuminate.ambientColor = aAmbient;
    aSceneP->def.illuminate.ambientIntensity = aAmbientIntensity;
}

void kbSceneFog(kbScene *aSceneP, float aMin, float aMax, uint32_t aColor)
{
    aSceneP->def.fog.mode = SCENE_FOG_LINEAR;
    aSceneP->def.fog.minDist = aMin;
    aSceneP->def.fog.maxDist = aMax;
    aSceneP->def.fog.color = aColor;
}

void kbSceneCount(kbScene *aSceneP)
{
    uint32_t polys = 0, vertices = 0, most = 0;
    for (const kbShape &s : aSceneP->shapes)
        if (s.body) {
            polys += s.body->def.polyCnt;
            vertices += s.body->def.vertexCnt;
            most = std::max(most, s.body->def.vertexCnt);
        }
    aSceneP->def.polyCnt = polys;
    aSceneP->def.vertexCnt = vertices;
    aSceneP->def.vertexMax = most;
}

std::vector<float> kbDissolveWindow(int aFrameCnt, int aOn, int aOff)
{
    std::vector<float> out((size_t)aFrameCnt, 1.0f);
    for (int f = std::max(0, aOn); f < std::min(aFrameCnt, aOff); f++)
        out[f] = 0.0f;
    return out;
}
