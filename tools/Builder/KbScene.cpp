#include "KbScene.h"

#include <cstring>
#include <map>

#include "App/App/AppCore.h"
#include "Common/VertexFormat.h"

bool kbSetName(char *aFieldP, size_t aFieldSize, const std::string &aName)
{
    if (aName.size() >= aFieldSize)
        return false;
    memset(aFieldP, 0, aFieldSize);
    memcpy(aFieldP, aName.c_str(), aName.size());
    return true;
}

_textureSet kbTextureSet(const std::string &aFileName, uint32_t aTexFlg)
{
    _textureSet set;
    memset(&set, 0, sizeof(set));
    kbSetName(set.fileName, aFileName);
    set.texFlg = aTexFlg;
    set.color = 0xFFFFFF;
    set.opacity = 1.0f;
    set.pageInfo.refNum = -1;
    set.pageInfo.wrpw = 1.0f;
    set.pageInfo.wrph = 1.0f;
    set.info.pageNum = -1;
    set.texOp = 4;  // modulate
    set.texArg1 = 2;  // texture
    set.texArg2 = 0;  // diffuse
    set.alphaOp = 2;  // select arg 1
    set.alphaArg1 = 2;
    set.alphaArg2 = 0;
    set.texNum = -1;
    set.texPageNum = -1;
    return set;
}

kbShape::kbShape()
{
    def.parentShapeNum = -1;
    def.scale = {1, 1, 1};
}

kbLight::kbLight()
{
    def.parentShapeNum = -1;
    def.scale = {1, 1, 1};
    def.type = 1;  // point
}

kbCamera::kbCamera()
{
    def.parentShapeNum = -1;
    def.targetShapeNum = -1;
    def.scale = {1, 1, 1};
}

kbSprite::kbSprite()
{
    def.parentShapeNum = -1;
    def.scale = {1, 1, 1};
}

kbParticle::kbParticle()
{
    def.parentShapeNum = -1;
    def.scale = {1, 1, 1};
}

kbVertexSet kbVertexSetOf(const std::vector<_vertexDef> &aVertices)
{
    kbVertexSet set;
    set.vertexType = 0x002 | 0x010 | 0x200;  // position, normal, two texture sets
    set.vertexNum = (uint32_t)aVertices.size();
    kbPutBytes(set.vertices, aVertices.data(), aVertices.size() * sizeof(_vertexDef));
    return set;
}

namespace {

// Lays records out in the package data and remembers where their pointer fields point.
class _ksxPacker {
public:
    kbBytes data;
    std::string error;

    // Appends a record (or array) and returns its offset; 0 for nothing.
    uint32_t Put(const void *aP, size_t aSize, size_t aAlign = 4)
    {
        if (aSize == 0)
            return 0;
        uint32_t at = (uint32_t)kbAlign(data, aAlign);
        kbPutBytes(data, aP, aSize);
        return at;
    }
    template <class T>
    uint32_t PutArray(const std::vector<T> &aV)
    {
        return Put(aV.data(), aV.size() * sizeof(T));
    }
    // Stores an offset into the pointer field at aFieldAt.
    void Link(uint32_t aFieldAt, uint32_t aTarget) { kbSet32(data, aFieldAt, aTarget); }
    void Count(uint32_t aFieldAt, uint32_t aCount) { kbSet32(data, aFieldAt, aCount); }
    bool Fail(const std::string &aText)
    {
        if (error.empty())
            error = aText;
        return false;
    }
};

}  // namespace

static void _putMotion(_ksxPacker &aPack, uint32_t aAt, const kbMotion &aMotion)
{
    aPack.Count(aAt + offsetof(_sceneMotionDef, transFrameCnt), (uint32_t)aMotion.transKeys.size());
    aPack.Link(aAt + offsetof(_sceneMotionDef, transFrameP), aPack.PutArray(aMotion.transKeys));
    aPack.Count(aAt + offsetof(_sceneMotionDef, angleFrameCnt), (uint32_t)aMotion.angleKeys.size());
    aPack.Link(aAt + offsetof(_sceneMotionDef, angleFrameP), aPack.PutArray(aMotion.angleKeys));
    aPack.Count(aAt + offsetof(_sceneMotionDef, scaleFrameCnt), (uint32_t)aMotion.scaleKeys.size());
    aPack.Link(aAt + offsetof(_sceneMotionDef, scaleFrameP), aPack.PutArray(aMotion.scaleKeys));
    aPack.Count(aAt + offsetof(_sceneMotionDef, indexCnt), (uint32_t)aMotion.runs.size());
    aPack.Link(aAt + offsetof(_sceneMotionDef, indexP), aPack.PutArray(aMotion.runs));
}

static uint32_t _putTextureSets(_ksxPacker &aPack, const std::vector<_textureSet> &aSets)
{
    return aPack.PutArray(aSets);
}

static uint32_t _putShapeBody(_ksxPacker &aPack, const kbShapeBody &aBody)
{
    _shapeDef def = aBody.def;
    def.abilityDefNum = (int32_t)aBody.abilities.size();
    def.abilityDefP = nullptr;
    def.shadowCastDefP = nullptr;
    def.effectDefP = nullptr;
    def.workP = nullptr;
    def.reserve = 0;
    def.reserve2 = 0;
    uint32_t bodyAt = aPack.Put(&def, sizeof(def), 8);
    std::vector<uint32_t> abilityAt(aBody.abilities.size());
    for (size_t a = 0; a < aBody.abilities.size(); a++) {
        const kbAbility &ability = aBody.abilities[a];
        _abilityDef rec = ability.def;
        rec.texStageNum = (int32_t)ability.texSets.size();
        rec.texSetP = nullptr;
        rec.vertexDefSetNum = (int32_t)ability.vertexSets.size();
        rec.vertexDefSetP = nullptr;
        abilityAt[a] = aPack.Put(&rec, sizeof(rec));
        aPack.Link(abilityAt[a] + offsetof(_abilityDef, texSetP), _putTextureSets(aPack, ability.texSets));
        std::vector<_primVertexDefSet> sets(ability.vertexSets.size());
        for (size_t v = 0; v < sets.size(); v++) {
            const kbVertexSet &vs = ability.vertexSets[v];
            memset(&sets[v], 0, sizeof(sets[v]));
            sets[v].vertexNum = (int32_t)vs.vertexNum;
            sets[v].vertexType = vs.vertexType;
            sets[v].morphVertexType = vs.morphVertexType;
            sets[v].indexSetNum = (int32_t)vs.indexSets.size();
        }
        uint32_t setAt = aPack.PutArray(sets);
        aPack.Link(abilityAt[a] + offsetof(_abilityDef, vertexDefSetP), setAt);
        for (size_t v = 0; v < sets.size(); v++) {
            const kbVertexSet &vs = ability.vertexSets[v];
            uint32_t at = setAt + (uint32_t)(v * sizeof(_primVertexDefSet));
            aPack.Link(at + offsetof(_primVertexDefSet, vertexP), aPack.Put(vs.vertices.data(), vs.vertices.size()));
            aPack.Link(at + offsetof(_primVertexDefSet, morphVertexP),
                       aPack.Put(vs.morphVertices.data(), vs.morphVertices.size()));
            std::vector<_primIndexDefSet> indexSets(vs.indexSets.size());
            for (size_t i = 0; i < indexSets.size(); i++) {
                memset(&indexSets[i], 0, sizeof(indexSets[i]));
                indexSets[i].indexNum = (int32_t)vs.indexSets[i].indices.size();
                indexSets[i].primitiveType = vs.indexSets[i].primitiveType;
            }
            uint32_t indexSetAt = aPack.PutArray(indexSets);
            aPack.Link(at + offsetof(_primVertexDefSet, indexSetP), indexSetAt);
            for (size_t i = 0; i < indexSets.size(); i++)
                aPack.Link(indexSetAt + (uint32_t)(i * sizeof(_primIndexDefSet)) + offsetof(_primIndexDefSet, indexP),
                           aPack.PutArray(vs.indexSets[i].indices));
        }
    }
    // The body points to an array of pointers to its abilities.
    aPack.Link(bodyAt + offsetof(_shapeDef, abilityDefP), aPack.PutArray(abilityAt));
    return bodyAt;
}

static bool _checkVertexSets(_ksxPacker &aPack, const kbShapeBody &aBody)
{
    for (const kbAbility &ability : aBody.abilities)
        for (const kbVertexSet &vs : ability.vertexSets) {
            long size = sFvfGetSize(vs.vertexType);
            if (size < 0 || vs.vertices.size() != (size_t)size * vs.vertexNum)
                return aPack.Fail("vertex data does not match its count and layout");
            long morphSize = sFvfGetSize(vs.morphVertexType);
            if (!vs.morphVertices.empty() && (morphSize < 0 || vs.morphVertices.size() != (size_t)morphSize * vs.vertexNum))
                return aPack.Fail("morph vertex data does not match its count and layout");
        }
    return true;
}

// Same name, same body; different names, different bodies (each body is fixed up once, by name).
template <class O>
static bool _checkSharing(_ksxPacker &aPack, const std::vector<O> &aObjects, const char *aKindP)
{
    std::map<std::string, const void *> byName;
    std::map<const void *, std::string> byBody;
    for (const O &o : aObjects) {
        if (!memchr(o.def.name, 0, sizeof(o.def.name)))
            return aPack.Fail(std::string(aKindP) + " name without an end");
        if (!o.body)
            continue;
        std::string name = o.def.name;
        auto n = byName.emplace(name, o.body.get());
        auto b = byBody.emplace(o.body.get(), name);
        if (n.first->second != o.body.get() || b.first->second != name)
            return aPack.Fail(std::string(aKindP) + " bodies must be shared by name: " + name);
    }
    return true;
}

static bool _checkTrack(_ksxPacker &aPack, size_t aSize, uint32_t aFrameCnt, const char *aWhatP)
{
    if (aSize != 0 && aSize != aFrameCnt)
        return aPack.Fail(std::string(aWhatP) + " track must have one entry per scene frame");
    return true;
}

bool kbKsxData(const kbScene &aScene, kbBytes *aDataP, std::string *aErrorP)
{
    _ksxPacker pack;
    const uint32_t frameCnt = aScene.def.frameCnt;
    bool ok = aScene.shapes.size() <= 0xFFFF && aScene.lights.size() <= 0xFFFF && aScene.cameras.size() <= 0xFFFF &&
              aScene.sprites.size() <= 0xFFFF && aScene.particles.size() <= 0xFFFF;
    if (!ok)
        pack.Fail("more than 65535 objects of one kind");
    ok = ok && _checkSharing(pack, aScene.shapes, "shape") && _checkSharing(pack, aScene.sprites, "sprite") &&
         _checkTrack(pack, aScene.ambientIntensity.size(), frameCnt, "ambient intensity") &&
         _checkTrack(pack, aScene.fogMinDist.size(), frameCnt, "fog") &&
         _checkTrack(pack, aScene.fogMaxDist.size(), frameCnt, "fog") &&
         _checkTrack(pack, aScene.fogMinAmount.size(), frameCnt, "fog") &&
         _checkTrack(pack, aScene.fogMaxAmount.size(), frameCnt, "fog");
    for (const kbShape &s : aScene.shapes)
        ok = ok && (!s.body || _checkVertexSets(pack, *s.body));
    for (const kbLight &l : aScene.lights)
        ok = ok && _checkTrack(pack, l.colors.size(), frameCnt, "light colour") &&
             _checkTrack(pack, l.intensities.size(), frameCnt, "light intensity");
    for (const kbCamera &c : aScene.cameras)
        ok = ok && _checkTrack(pack, c.zoom.size(), frameCnt, "camera zoom");
    for (const kbParticle &p : aScene.particles)
        ok = ok && (memchr(p.def.name, 0, sizeof(p.def.name)) != nullptr || pack.Fail("emitter name without an end"));
    if (!ok) {
        if (aErrorP != nullptr)
            *aErrorP = pack.error;
        return false;
    }

    // The root first: offset 0 is the scene definition, so no other record can be "null".
    _sceneDef root = aScene.def;
    root.shapeCnt = (uint16_t)aScene.shapes.size();
    root.lightCnt = (uint16_t)aScene.lights.size();
    root.cameraCnt = (uint16_t)aScene.cameras.size();
    root.spriteCnt = (uint16_t)aScene.sprites.size();
    root.particleCnt = (uint16_t)aScene.particles.size();
    root.shapeP = nullptr;
    root.lightP = nullptr;
    root.cameraP = nullptr;
    root.spriteP = nullptr;
    root.particleP = nullptr;
    root.illuminate.ambientIntensityP = nullptr;
    root.fog.minDistP = root.fog.maxDistP = root.fog.minAmountP = root.fog.maxAmountP = nullptr;
    pack.Put(&root, sizeof(root));
    const uint32_t fogAt = offsetof(_sceneDef, fog);
    pack.Link(offsetof(_sceneDef, illuminate) + offsetof(_sceneIlluminateDef, ambientIntensityP),
              pack.PutArray(aScene.ambientIntensity));
    pack.Link(fogAt + offsetof(_sceneFogDef, minDistP), pack.PutArray(aScene.fogMinDist));
    pack.Link(fogAt + offsetof(_sceneFogDef, maxDistP), pack.PutArray(aScene.fogMaxDist));
    pack.Link(fogAt + offsetof(_sceneFogDef, minAmountP), pack.PutArray(aScene.fogMinAmount));
    pack.Link(fogAt + offsetof(_sceneFogDef, maxAmountP), pack.PutArray(aScene.fogMaxAmount));

    // Shapes, with each body once.
    std::vector<_sceneShapeDef> shapes;
    for (const kbShape &s : aScene.shapes) {
        _sceneShapeDef r = s.def;
        r.aviCnt = 0;
        r.aviDefP = nullptr;
        r.dissolveFrameCnt = (uint32_t)s.dissolve.size();
        r.morphFrameCnt = (uint32_t)s.morph.size();
        r.dissolveFrameP = r.morphFrameP = nullptr;
        r.defP = nullptr;
        r.transFrameP = r.angleFrameP = r.scaleFrameP = nullptr;
        r.indexP = nullptr;
        shapes.push_back(r);
    }
    uint32_t shapeAt = pack.PutArray(shapes);
    pack.Link(offsetof(_sceneDef, shapeP), shapeAt);
    std::map<const kbShapeBody *, uint32_t> shapeBodies;
    for (size_t i = 0; i < aScene.shapes.size(); i++) {
        const kbShape &s = aScene.shapes[i];
        uint32_t at = shapeAt + (uint32_t)(i * sizeof(_sceneShapeDef));
        _putMotion(pack, at, s.motion);
        pack.Link(at + offsetof(_sceneShapeDef, dissolveFrameP), pack.PutArray(s.dissolve));
        pack.Link(at + offsetof(_sceneShapeDef, morphFrameP), pack.PutArray(s.morph));
        if (s.body) {
            auto it = shapeBodies.find(s.body.get());
            if (it == shapeBodies.end())
                it = shapeBodies.emplace(s.body.get(), _putShapeBody(pack, *s.body)).first;
            pack.Link(at + offsetof(_sceneShapeDef, defP), it->second);
        }
    }

    std::vector<_sceneLightDef> lights;
    for (const kbLight &l : aScene.lights) {
        _sceneLightDef r = l.def;
        r.colorP = nullptr;
        r.intensityP = nullptr;
        r.transFrameP = r.angleFrameP = r.scaleFrameP = nullptr;
        r.indexP = nullptr;
        lights.push_back(r);
    }
    uint32_t lightAt = pack.PutArray(lights);
    pack.Link(offsetof(_sceneDef, lightP), lightAt);
    for (size_t i = 0; i < aScene.lights.size(); i++) {
        uint32_t at = lightAt + (uint32_t)(i * sizeof(_sceneLightDef));
        _putMotion(pack, at, aScene.lights[i].motion);
        pack.Link(at + offsetof(_sceneLightDef, colorP), pack.PutArray(aScene.lights[i].colors));
        pack.Link(at + offsetof(_sceneLightDef, intensityP), pack.PutArray(aScene.lights[i].intensities));
    }

    std::vector<_sceneCameraDef> cameras;
    for (const kbCamera &c : aScene.cameras) {
        _sceneCameraDef r = c.def;
        r.zoomFactorP = nullptr;
        r.transFrameP = r.angleFrameP = r.scaleFrameP = nullptr;
        r.indexP = nullptr;
        cameras.push_back(r);
    }
    uint32_t cameraAt = pack.PutArray(cameras);
    pack.Link(offsetof(_sceneDef, cameraP), cameraAt);
    for (size_t i = 0; i < aScene.cameras.size(); i++) {
        uint32_t at = cameraAt + (uint32_t)(i * sizeof(_sceneCameraDef));
        _putMotion(pack, at, aScene.cameras[i].motion);
        pack.Link(at + offsetof(_sceneCameraDef, zoomFactorP), pack.PutArray(aScene.cameras[i].zoom));
    }

    std::vector<_sceneSpriteDef> sprites;
    for (const kbSprite &s : aScene.sprites) {
        _sceneSpriteDef r = s.def;
        r.patternFrameCnt = (uint32_t)s.pattern.size();
        r.patternFrameP = nullptr;
        r.defP = nullptr;
        r.transFrameP = r.angleFrameP = r.scaleFrameP = nullptr;
        r.indexP = nullptr;
        sprites.push_back(r);
    }
    uint32_t spriteAt = pack.PutArray(sprites);
    pack.Link(offsetof(_sceneDef, spriteP), spriteAt);
    std::map<const kbSpriteBody *, uint32_t> spriteBodies;
    for (size_t i = 0; i < aScene.sprites.size(); i++) {
        const kbSprite &s = aScene.sprites[i];
        uint32_t at = spriteAt + (uint32_t)(i * sizeof(_sceneSpriteDef));
        _putMotion(pack, at, s.motion);
        pack.Link(at + offsetof(_sceneSpriteDef, patternFrameP), pack.PutArray(s.pattern));
        if (s.body) {
            auto it = spriteBodies.find(s.body.get());
            if (it == spriteBodies.end()) {
                _spriteDef body = s.body->def;
                body.texSetNum = (uint32_t)s.body->texSets.size();
                body.texSetP = nullptr;
                uint32_t bodyAt = pack.Put(&body, sizeof(body));
                pack.Link(bodyAt + offsetof(_spriteDef, texSetP), _putTextureSets(pack, s.body->texSets));
                it = spriteBodies.emplace(s.body.get(), bodyAt).first;
            }
            pack.Link(at + offsetof(_sceneSpriteDef, defP), it->second);
        }
    }

    std::vector<_sceneParticleDef> particles;
    for (const kbParticle &p : aScene.particles) {
        _sceneParticleDef r = p.def;
        r.defP = nullptr;
        r.transFrameP = r.angleFrameP = r.scaleFrameP = nullptr;
        r.indexP = nullptr;
        particles.push_back(r);
    }
    uint32_t particleAt = pack.PutArray(particles);
    pack.Link(offsetof(_sceneDef, particleP), particleAt);
    std::map<const _particleDef *, uint32_t> particleBodies;
    for (size_t i = 0; i < aScene.particles.size(); i++) {
        const kbParticle &p = aScene.particles[i];
        uint32_t at = particleAt + (uint32_t)(i * sizeof(_sceneParticleDef));
        _putMotion(pack, at, p.motion);
        if (p.body) {
            auto it = particleBodies.find(p.body.get());
            if (it == particleBodies.end())
                it = particleBodies.emplace(p.body.get(), pack.Put(p.body.get(), sizeof(_particleDef))).first;
            pack.Link(at + offsetof(_sceneParticleDef, defP), it->second);
        }
    }
    kbAlign(pack.data, 4);
    *aDataP = std::move(pack.data);
    return true;
}

bool kbKsxWrite(const kbScene &aScene, kbBytes *aOutP, std::string *aErrorP)
{
    kbBytes data;
    if (!kbKsxData(aScene, &data, aErrorP))
        return false;
    if (data.size() > 0x7FFFFFFF) {
        if (aErrorP != nullptr)
            *aErrorP = "scene package larger than 2 GB";
        return false;
    }
    _ksxHead head;
    memset(&head, 0, sizeof(head));
    head.size = (int32_t)data.size();
    head.compress = 1;  // not read
    kbBytes &out = *aOutP;
    out.assign((const uint8_t *)&head, (const uint8_t *)&head + sizeof(head));
    kbScramble(out, 0, sizeof(head), KSX_HEAD_KEY);
    kbPutBytes(out, data.data(), data.size());
    return true;
}
