#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "App/App/AppCore.h"
#include "KbImage.h"
#include "KbKsf.h"
#include "KbPicture.h"
#include "KbSample.h"
#include "KbScene.h"
#include "Library/Draw/DrawCore.h"

namespace {

typedef std::vector<uint8_t> Bytes;

std::string TempPath(const std::string &aName)
{
    return std::string(::testing::TempDir()) + aName;
}

TEST(EncodeBuf, WholeWordsOnlyAndItsOwnInverse)
{
    uint8_t buf[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    _encodeBuf(buf, 10, 0x11223344);
    EXPECT_EQ(Bytes(buf, buf + 10), Bytes({0x44, 0x32, 0x20, 0x12, 0x40, 0x36, 0x24, 0x16, 8, 9}));
    _encodeBuf(buf, 10, 0x11223344);
    EXPECT_EQ(Bytes(buf, buf + 10), Bytes({0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
}

// ---------------------------------------------------------------------------------------------
// Scene packages

Bytes KsxOf(const kbScene &aScene)
{
    Bytes file;
    std::string error;
    EXPECT_TRUE(kbKsxWrite(aScene, &file, &error)) << error;
    return file;
}

struct Loaded {
    uint8_t *p = nullptr;
    ~Loaded() { free(p); }
    const _sceneDef *Def() const { return (const _sceneDef *)p; }
};

// Checks that a relocated scene holds what the model says, and that every pointer lies in the data.
class SceneCheck {
public:
    SceneCheck(const uint8_t *aBaseP, size_t aSize) : _baseP(aBaseP), _size(aSize) {}

    template <class T>
    void In(const T *aP, size_t aCount, const char *aWhat)
    {
        if (aP == nullptr) {
            EXPECT_EQ(aCount, 0u) << aWhat << " is null but has entries";
            return;
        }
        const uint8_t *p = (const uint8_t *)aP;
        EXPECT_TRUE(p >= _baseP && p + aCount * sizeof(T) <= _baseP + _size) << aWhat << " points outside the data";
    }

    template <class T>
    void Same(const T *aP, const std::vector<T> &aV, const char *aWhat)
    {
        In(aP, aV.size(), aWhat);
        if (aP != nullptr && !aV.empty()) {
            EXPECT_EQ(memcmp(aP, aV.data(), aV.size() * sizeof(T)), 0) << aWhat;
        }
    }

    template <class D>
    void Motion(const D &aDef, const kbMotion &aM)
    {
        EXPECT_EQ(aDef.transFrameCnt, aM.transKeys.size());
        EXPECT_EQ(aDef.angleFrameCnt, aM.angleKeys.size());
        EXPECT_EQ(aDef.scaleFrameCnt, aM.scaleKeys.size());
        EXPECT_EQ(aDef.indexCnt, aM.runs.size());
        Same(aDef.transFrameP, aM.transKeys, "position keys");
        Same(aDef.angleFrameP, aM.angleKeys, "rotation keys");
        Same(aDef.scaleFrameP, aM.scaleKeys, "scale keys");
        In(aDef.indexP, aM.runs.size(), "index runs");
        for (size_t i = 0; aDef.indexP != nullptr && i < aM.runs.size(); i++)
            EXPECT_EQ(memcmp(&aDef.indexP[i], &aM.runs[i], sizeof(_sceneIndexDef)), 0);
    }

    void TexSets(const _textureSet *aP, const std::vector<_textureSet> &aSets)
    {
        Same(aP, aSets, "texture sets");
    }

    void Body(const _shapeDef *aP, const kbShapeBody &aBody)
    {
        In(aP, 1, "shape body");
        EXPECT_EQ(aP->shapeStatus, aBody.def.shapeStatus);
        EXPECT_EQ(aP->maxZ, aBody.def.maxZ);
        EXPECT_EQ(aP->polyCnt, aBody.def.polyCnt);
        EXPECT_EQ(aP->shadowCastDefP, nullptr);
        EXPECT_EQ(aP->effectDefP, nullptr);
        EXPECT_EQ(aP->workP, nullptr);
        ASSERT_EQ(aP->abilityDefNum, (int32_t)aBody.abilities.size());
        In(aP->abilityDefP, aBody.abilities.size(), "ability list");
        for (size_t a = 0; a < aBody.abilities.size(); a++) {
            const _abilityDef *ability = aP->abilityDefP[a];
            const kbAbility &model = aBody.abilities[a];
            In(ability, 1, "ability");
            EXPECT_EQ(ability->abilityStatus, model.def.abilityStatus);
            EXPECT_EQ(ability->material.power, model.def.material.power);
            EXPECT_EQ(ability->destBlend, model.def.destBlend);
            ASSERT_EQ(ability->texStageNum, (int32_t)model.texSets.size());
            TexSets(ability->texSetP, model.texSets);
            ASSERT_EQ(ability->vertexDefSetNum, (int32_t)model.vertexSets.size());
            In(ability->vertexDefSetP, model.vertexSets.size(), "vertex sets");
            for (size_t v = 0; v < model.vertexSets.size(); v++) {
                const _primVertexDefSet &set = ability->vertexDefSetP[v];
                const kbVertexSet &vs = model.vertexSets[v];
                EXPECT_EQ(set.vertexNum, (int32_t)vs.vertexNum);
                EXPECT_EQ(set.vertexType, vs.vertexType);
                Same((const uint8_t *)set.vertexP, vs.vertices, "vertices");
                Same((const uint8_t *)set.morphVertexP, vs.morphVertices, "morph vertices");
                ASSERT_EQ(set.indexSetNum, (int32_t)vs.indexSets.size());
                In(set.indexSetP, vs.indexSets.size(), "index sets");
                for (size_t i = 0; i < vs.indexSets.size(); i++) {
                    EXPECT_EQ(set.indexSetP[i].primitiveType, vs.indexSets[i].primitiveType);
                    EXPECT_EQ(set.indexSetP[i].indexNum, (int32_t)vs.indexSets[i].indices.size());
                    Same(set.indexSetP[i].indexP, vs.indexSets[i].indices, "indices");
                }
            }
        }
    }

    void Scene(const _sceneDef *aDefP, const kbScene &aScene)
    {
        const _sceneDef &d = *aDefP;
        EXPECT_EQ(d.frameCnt, aScene.def.frameCnt);
        EXPECT_EQ(d.fps, aScene.def.fps);
        EXPECT_EQ(d.backColor, aScene.def.backColor);
        EXPECT_EQ(d.fog.mode, aScene.def.fog.mode);
        EXPECT_EQ(d.polyCnt, aScene.def.polyCnt);
        ASSERT_EQ(d.shapeCnt, aScene.shapes.size());
        ASSERT_EQ(d.lightCnt, aScene.lights.size());
        ASSERT_EQ(d.cameraCnt, aScene.cameras.size());
        ASSERT_EQ(d.spriteCnt, aScene.sprites.size());
        ASSERT_EQ(d.particleCnt, aScene.particles.size());
        Same(d.illuminate.ambientIntensityP, aScene.ambientIntensity, "ambient track");
        Same(d.fog.minDistP, aScene.fogMinDist, "fog track");
        Same(d.fog.maxDistP, aScene.fogMaxDist, "fog track");
        Same(d.fog.minAmountP, aScene.fogMinAmount, "fog track");
        Same(d.fog.maxAmountP, aScene.fogMaxAmount, "fog track");

        In(d.shapeP, d.shapeCnt, "shapes");
        for (size_t i = 0; i < aScene.shapes.size(); i++) {
            const _sceneShapeDef &s = d.shapeP[i];
            const kbShape &m = aScene.shapes[i];
            EXPECT_STREQ(s.name, m.def.name);
            EXPECT_EQ(s.parentShapeNum, m.def.parentShapeNum);
            EXPECT_EQ(s.shadowOptions, m.def.shadowOptions);
            EXPECT_EQ(s.aviCnt, 0u);
            EXPECT_EQ(s.aviDefP, nullptr);
            Motion(s, m.motion);
            Same(s.dissolveFrameP, m.dissolve, "dissolve track");
            Same(s.morphFrameP, m.morph, "morph track");
            EXPECT_EQ(s.defP == nullptr, !m.body);
            if (s.defP != nullptr)
                Body(s.defP, *m.body);
            // Bodies are one per name.
            for (size_t j = 0; j < i; j++) {
                if (s.defP != nullptr && d.shapeP[j].defP != nullptr) {
                    EXPECT_EQ(s.defP == d.shapeP[j].defP, strcmp(s.name, d.shapeP[j].name) == 0) << i << " " << j;
                }
            }
        }
        In(d.lightP, d.lightCnt, "lights");
        for (size_t i = 0; i < aScene.lights.size(); i++) {
            const _sceneLightDef &l = d.lightP[i];
            EXPECT_EQ(l.type, aScene.lights[i].def.type);
            EXPECT_EQ(l.coneAngle, aScene.lights[i].def.coneAngle);
            Motion(l, aScene.lights[i].motion);
            Same(l.colorP, aScene.lights[i].colors, "light colours");
            Same(l.intensityP, aScene.lights[i].intensities, "light intensities");
        }
        In(d.cameraP, d.cameraCnt, "cameras");
        for (size_t i = 0; i < aScene.cameras.size(); i++) {
            const _sceneCameraDef &c = d.cameraP[i];
            EXPECT_EQ(c.targetShapeNum, aScene.cameras[i].def.targetShapeNum);
            EXPECT_EQ(c.eyePos.vz, aScene.cameras[i].def.eyePos.vz);
            Motion(c, aScene.cameras[i].motion);
            Same(c.zoomFactorP, aScene.cameras[i].zoom, "camera zoom");
        }
        In(d.spriteP, d.spriteCnt, "sprites");
        for (size_t i = 0; i < aScene.sprites.size(); i++) {
            const _sceneSpriteDef &s = d.spriteP[i];
            const kbSprite &m = aScene.sprites[i];
            EXPECT_STREQ(s.name, m.def.name);
            Motion(s, m.motion);
            Same(s.patternFrameP, m.pattern, "sprite patterns");
            EXPECT_EQ(s.defP == nullptr, !m.body);
            if (s.defP != nullptr) {
                In(s.defP, 1, "sprite body");
                EXPECT_EQ(s.defP->spriteStatus, m.body->def.spriteStatus);
                EXPECT_EQ(s.defP->texSetNum, m.body->texSets.size());
                TexSets(s.defP->texSetP, m.body->texSets);
            }
            for (size_t j = 0; j < i; j++) {
                if (s.defP != nullptr && d.spriteP[j].defP != nullptr) {
                    EXPECT_EQ(s.defP == d.spriteP[j].defP, strcmp(s.name, d.spriteP[j].name) == 0);
                }
            }
        }
        In(d.particleP, d.particleCnt, "emitters");
        for (size_t i = 0; i < aScene.particles.size(); i++) {
            const _sceneParticleDef &p = d.particleP[i];
            EXPECT_STREQ(p.name, aScene.particles[i].def.name);
            Motion(p, aScene.particles[i].motion);
            In(p.defP, 1, "emitter body");
            EXPECT_EQ(memcmp(p.defP, aScene.particles[i].body.get(), sizeof(_particleDef)), 0);
        }
    }

private:
    const uint8_t *_baseP;
    size_t _size;
};

TEST(EntryKsx, EveryRelocatedFieldReachesItsRecord)
{
    kbScene scene = kbSampleScene(5, 9, 6);
    Bytes file = KsxOf(scene);
    Loaded l;
    l.p = entryKsxMem(file.data(), (long)file.size());
    ASSERT_NE(l.p, nullptr);
    SceneCheck(l.p, file.size() - 16).Scene(l.Def(), scene);
}

TEST(EntryKsx, RelocatedKeysExpand)
{
    kbScene scene = kbSampleScene(2, 4, 6);
    Bytes file = KsxOf(scene);
    Loaded l;
    l.p = entryKsxMem(file.data(), (long)file.size());
    ASSERT_NE(l.p, nullptr);
    _sceneMotionDef motion = sSceneGetMotion(l.Def()->shapeP[1]);
    _sceneFrame *framesP = nullptr;
    ASSERT_EQ(sSceneExpandKeys(&motion, &framesP), 4);
    EXPECT_EQ(framesP[3].tx, 3.0f);
    EXPECT_EQ(framesP[3].sz, 4.0f);
    free(framesP);
}

TEST(EntryKsx, SceneWithEveryCountZeroRelocatesOnlyTheRoot)
{
    kbScene scene;
    scene.def.frameCnt = 30;
    scene.def.fps = 30;
    scene.def.backColor = 0x123456;
    Bytes file = KsxOf(scene);
    EXPECT_EQ(file.size(), 16u + sizeof(_sceneDef));
    Loaded l;
    l.p = entryKsxMem(file.data(), (long)file.size());
    ASSERT_NE(l.p, nullptr);
    const _sceneDef &d = *l.Def();
    EXPECT_EQ(d.shapeP, nullptr);
    EXPECT_EQ(d.lightP, nullptr);
    EXPECT_EQ(d.cameraP, nullptr);
    EXPECT_EQ(d.spriteP, nullptr);
    EXPECT_EQ(d.particleP, nullptr);
    EXPECT_EQ(d.illuminate.ambientIntensityP, nullptr);
    EXPECT_EQ(d.fog.maxAmountP, nullptr);
    EXPECT_EQ(d.backColor, 0x123456u);
}

TEST(EntryKsx, FromAFile)
{
    kbScene scene = kbSampleScene(3, 5, 4);
    Bytes data;
    ASSERT_TRUE(kbKsxData(scene, &data, nullptr));
    std::string path = TempPath("kestrel_scene.ksx");
    ASSERT_TRUE(kbWriteFile(path, KsxOf(scene), nullptr));
    Loaded raw;
    raw.p = loadKsx(path.c_str());
    ASSERT_NE(raw.p, nullptr);
    EXPECT_EQ(memcmp(raw.p, data.data(), data.size()), 0) << "loadKsx gives the data as stored";
    Loaded l;
    l.p = entryKsx(path.c_str());
    ASSERT_NE(l.p, nullptr);
    SceneCheck(l.p, data.size()).Scene(l.Def(), scene);
    remove(path.c_str());
    EXPECT_EQ(entryKsx(path.c_str()), nullptr) << "missing file";
    EXPECT_EQ(loadKsx(path.c_str()), nullptr) << "missing file";
}

// Damage done to the stored (not yet relocated) data of the sample scene.
class Damage {
public:
    explicit Damage(Bytes &aData) : d(aData) {}
    uint32_t W(uint32_t aAt) const
    {
        uint32_t v;
        memcpy(&v, d.data() + aAt, 4);
        return v;
    }
    void Set(uint32_t aAt, uint32_t aValue) { memcpy(d.data() + aAt, &aValue, 4); }
    void Set16(uint32_t aAt, uint16_t aValue) { memcpy(d.data() + aAt, &aValue, 2); }
    uint32_t Shape(int aI) const { return W(offsetof(_sceneDef, shapeP)) + aI * (uint32_t)sizeof(_sceneShapeDef); }
    uint32_t Body(int aI) const { return W(Shape(aI) + offsetof(_sceneShapeDef, defP)); }
    uint32_t Ability(int aShape, int aA) const { return W(W(Body(aShape) + offsetof(_shapeDef, abilityDefP)) + 4 * aA); }
    uint32_t VertexSet(int aShape) const { return W(Ability(aShape, 0) + offsetof(_abilityDef, vertexDefSetP)); }
    uint32_t Sprite(int aI) const { return W(offsetof(_sceneDef, spriteP)) + aI * (uint32_t)sizeof(_sceneSpriteDef); }
    uint32_t Particle(int aI) const
    {
        return W(offsetof(_sceneDef, particleP)) + aI * (uint32_t)sizeof(_sceneParticleDef);
    }
    uint32_t Camera(int aI) const { return W(offsetof(_sceneDef, cameraP)) + aI * (uint32_t)sizeof(_sceneCameraDef); }
    uint32_t Size() const { return (uint32_t)d.size(); }
    Bytes &d;
};

TEST(RelocKsx, RefusesDamagedDataAndLeavesItUntouched)
{
    // Shapes: 0 "shared" (body A), 1 "shape1" (body B), 2 "shared" (body A), 3 "shape3" (body C),
    // 4 "shared", 5 "null_marker" without a body; parents form the chain 0 <- 1 <- 2 ...
    Bytes good;
    ASSERT_TRUE(kbKsxData(kbSampleScene(5, 6, 6), &good, nullptr));
    struct Row {
        const char *what;
        std::function<void(Damage &)> damage;
    } rows[] = {
        {"shape array past the end", [](Damage &x) { x.Set(offsetof(_sceneDef, shapeP), x.Size() - 100); }},
        {"shape array at an odd offset", [](Damage &x) { x.Set(offsetof(_sceneDef, shapeP), x.Shape(0) + 2); }},
        {"more shapes than the data holds", [](Damage &x) { x.Set16(offsetof(_sceneDef, shapeCnt), 60000); }},
        {"shapes without their array", [](Damage &x) { x.Set(offsetof(_sceneDef, shapeP), 0); }},
        {"key table beyond the data",
         [](Damage &x) { x.Set(x.Shape(0) + offsetof(_sceneShapeDef, transFrameCnt), 1000000); }},
        {"index runs past the end", [](Damage &x) { x.Set(x.Shape(1) + offsetof(_sceneShapeDef, indexP), x.Size() - 4); }},
        {"dissolve track count wrapping the offset",
         [](Damage &x) { x.Set(x.Shape(1) + offsetof(_sceneShapeDef, dissolveFrameCnt), 0x40000000); }},
        {"two names share one body", [](Damage &x) { x.Set(x.Shape(1) + offsetof(_sceneShapeDef, defP), x.Body(3)); }},
        {"one name with two bodies", [](Damage &x) { x.Set(x.Shape(2) + offsetof(_sceneShapeDef, defP), x.Body(1)); }},
        {"a body on top of the scene root", [](Damage &x) { x.Set(x.Shape(1) + offsetof(_sceneShapeDef, defP), 8); }},
        {"lights on top of the shapes", [](Damage &x) { x.Set(offsetof(_sceneDef, lightP), x.Shape(0)); }},
        {"movie bindings", [](Damage &x) { x.Set(x.Shape(0) + offsetof(_sceneShapeDef, aviCnt), 1); }},
        {"a movie binding pointer", [](Damage &x) { x.Set(x.Shape(0) + offsetof(_sceneShapeDef, aviDefP), 16); }},
        {"a shadow-cast definition", [](Damage &x) { x.Set(x.Body(1) + offsetof(_shapeDef, shadowCastDefP), 16); }},
        {"an effect definition", [](Damage &x) { x.Set(x.Body(1) + offsetof(_shapeDef, effectDefP), 16); }},
        {"a work pointer", [](Damage &x) { x.Set(x.Body(0) + offsetof(_shapeDef, workP), 16); }},
        {"parent out of range", [](Damage &x) { x.Set(x.Shape(0) + offsetof(_sceneShapeDef, parentShapeNum), 6); }},
        {"parents in a loop", [](Damage &x) { x.Set(x.Shape(0) + offsetof(_sceneShapeDef, parentShapeNum), 2); }},
        {"a shape its own parent", [](Damage &x) { x.Set(x.Shape(3) + offsetof(_sceneShapeDef, parentShapeNum), 3); }},
        {"camera target out of range",
         [](Damage &x) { x.Set(x.Camera(0) + offsetof(_sceneCameraDef, targetShapeNum), 99); }},
        {"emitter parent out of range",
         [](Damage &x) { x.Set(x.Particle(0) + offsetof(_sceneParticleDef, parentShapeNum), -2); }},
        {"shape name without an end",
         [](Damage &x) { memset(x.d.data() + x.Shape(1) + offsetof(_sceneShapeDef, name), 'x', SCENE_NAME_SIZE); }},
        {"emitter name without an end",
         [](Damage &x) { memset(x.d.data() + x.Particle(1) + offsetof(_sceneParticleDef, name), 'x', SCENE_NAME_SIZE); }},
        {"texture name without an end",
         [](Damage &x) {
             memset(x.d.data() + x.W(x.Ability(1, 1) + offsetof(_abilityDef, texSetP)) + sizeof(_textureSet), 'x',
                    SCENE_NAME_SIZE);
         }},
        {"emitter texture name without an end",
         [](Damage &x) {
             uint32_t body = x.W(x.Particle(0) + offsetof(_sceneParticleDef, defP));
             memset(x.d.data() + body + offsetof(_particleDef, texSet) + offsetof(_textureSet, alphaFileName), 'x',
                    SCENE_NAME_SIZE);
         }},
        {"negative ability count", [](Damage &x) { x.Set(x.Body(1) + offsetof(_shapeDef, abilityDefNum), 0xFFFFFFFF); }},
        {"an ability listed twice", [](Damage &x) { x.Set(x.W(x.Body(1) + offsetof(_shapeDef, abilityDefP)) + 4, x.Ability(1, 0)); }},
        {"an ability of another body", [](Damage &x) { x.Set(x.W(x.Body(1) + offsetof(_shapeDef, abilityDefP)), x.Ability(0, 0)); }},
        {"a null ability", [](Damage &x) { x.Set(x.W(x.Body(1) + offsetof(_shapeDef, abilityDefP)), 0); }},
        {"vertex sets shared between abilities",
         [](Damage &x) {
             x.Set(x.Ability(1, 1) + offsetof(_abilityDef, vertexDefSetP), x.VertexSet(1));
             x.Set(x.Ability(1, 1) + offsetof(_abilityDef, vertexDefSetNum), 1);
         }},
        {"an unknown vertex layout", [](Damage &x) { x.Set(x.VertexSet(1) + offsetof(_primVertexDefSet, vertexType), 0x1002); }},
        {"an unknown morph layout",
         [](Damage &x) { x.Set(x.W(x.Ability(1, 1) + offsetof(_abilityDef, vertexDefSetP)) + offsetof(_primVertexDefSet, morphVertexType), 0xF00); }},
        {"vertices beyond the data", [](Damage &x) { x.Set(x.VertexSet(1) + offsetof(_primVertexDefSet, vertexNum), 0x100000); }},
        {"indices at an odd offset",
         [](Damage &x) {
             uint32_t set = x.W(x.VertexSet(1) + offsetof(_primVertexDefSet, indexSetP));
             x.Set(set + offsetof(_primIndexDefSet, indexP), x.W(set + offsetof(_primIndexDefSet, indexP)) + 1);
         }},
        {"negative index count",
         [](Damage &x) { x.Set(x.W(x.VertexSet(1) + offsetof(_primVertexDefSet, indexSetP)), 0x80000000); }},
        {"a sprite body under another name",
         [](Damage &x) { x.Set(x.Sprite(2) + offsetof(_sceneSpriteDef, defP), x.W(x.Sprite(0) + offsetof(_sceneSpriteDef, defP))); }},
        {"sprite texture sets beyond the data",
         [](Damage &x) { x.Set(x.W(x.Sprite(0) + offsetof(_sceneSpriteDef, defP)) + offsetof(_spriteDef, texSetNum), 99999); }},
        {"emitter body past the end", [](Damage &x) { x.Set(x.Particle(1) + offsetof(_sceneParticleDef, defP), x.Size() - 100); }},
        {"emitter body overlapping a shape body",
         [](Damage &x) { x.Set(x.Particle(1) + offsetof(_sceneParticleDef, defP), x.Body(1)); }},
        {"fog track past the end",
         [](Damage &x) { x.Set(offsetof(_sceneDef, fog) + offsetof(_sceneFogDef, minDistP), x.Size() - 20); }},
        {"light colour track past the end",
         [](Damage &x) { x.Set(x.W(offsetof(_sceneDef, lightP)) + offsetof(_sceneLightDef, colorP), x.Size() - 80); }},
    };
    for (const Row &r : rows) {
        Bytes data = good;
        Damage x(data);
        r.damage(x);
        Bytes before = data;
        EXPECT_EQ(relocKsx(data.data(), (long)data.size()), -1) << r.what;
        EXPECT_EQ(data, before) << r.what << ": data changed";
    }
    Bytes data = good;
    EXPECT_EQ(relocKsx(data.data(), (long)sizeof(_sceneDef) - 1), -1) << "shorter than the root";
    EXPECT_EQ(relocKsx(data.data(), (long)data.size()), 0) << "the undamaged data";
}

TEST(EntryKsxMem, RefusesDamagedHeaders)
{
    Bytes good = KsxOf(kbSampleScene(2, 4, 3));
    auto withSize = [&](int64_t aSize) {
        Bytes f = good;
        _ksxHead head;
        memcpy(&head, f.data(), 16);
        _encodeBuf(&head, 16, KSX_HEAD_KEY);
        head.size = (int32_t)aSize;
        _encodeBuf(&head, 16, KSX_HEAD_KEY);
        memcpy(f.data(), &head, 16);
        return f;
    };
    struct Row {
        const char *what;
        Bytes file;
    } rows[] = {
        {"size beyond the file", withSize((int64_t)good.size() - 15)},
        {"size 0", withSize(0)},
        {"negative size", withSize(-120)},
        {"data cut short", Bytes(good.begin(), good.end() - 1)},
        {"header cut short", Bytes(good.begin(), good.begin() + 12)},
        {"unscrambled header", Bytes(good)},
    };
    _encodeBuf(rows[5].file.data(), 16, KSX_HEAD_KEY);
    for (const Row &r : rows)
        EXPECT_EQ(entryKsxMem(r.file.data(), (long)r.file.size()), nullptr) << r.what;
}

// ---------------------------------------------------------------------------------------------
// Image packages

// A stand-in for the draw manager: records what the image packages hand it.
struct FakeDraw {
    struct Entry {
        long slot;
        std::string name;
        uint32_t width, height, depth;
        uint16_t type;
        uint32_t key;
        std::vector<uint32_t> pixels;  // Targa entries
        Bytes bitmap;                  // bitmap entries: the file as handed over
    };
    std::vector<Entry> entries;
    std::vector<Bytes> bitmaps;
    uint32_t clock = 0, clockStep = 0;
    int flips = 0;
    std::vector<uint32_t> targaPixels;
    uint32_t targaW = 0, targaH = 0, targaD = 0;
    _DDPIXELFORMAT *pixelFormat = nullptr;
    uint16_t drawFlg = 0;
};
FakeDraw *gFake = nullptr;
uint8_t gBitmapMarker, gSurfaceMarker;

_ksfDrawHook FakeHook()
{
    _ksfDrawHook hook{};
    hook.timeP = []() { return gFake->clock += gFake->clockStep; };
    hook.flipP = []() { gFake->flips++; };
    hook.makeKeyP = [](const char *aNameP) {
        uint32_t key = 0;
        for (const char *p = aNameP; *p; p++)
            key += (uint8_t)*p;
        return key;
    };
    hook.entryImageP = [](long aSlot, const char *aNameP, void *aImageP, uint32_t aW, uint32_t aH, uint32_t aD,
                          uint16_t aType, uint32_t aKey) -> long {
        FakeDraw::Entry e{aSlot, aNameP, aW, aH, aD, aType, aKey, {}, {}};
        if (aType == KSF_TYPE_TARGA) {
            e.pixels.assign((uint32_t *)aImageP, (uint32_t *)aImageP + aW * aH);
            free(aImageP);
        } else {
            e.bitmap = gFake->bitmaps.back();
        }
        gFake->entries.push_back(e);
        return 0;
    };
    hook.loadBitMapP = [](const uint8_t *aDataP, long aSize, uint32_t *aW, uint32_t *aH, uint32_t *aD) -> void * {
        gFake->bitmaps.push_back(Bytes(aDataP, aDataP + aSize));
        *aW = 11;
        *aH = 12;
        *aD = 8;
        return &gBitmapMarker;
    };
    hook.loadBitMapSurfaceP = [](const uint8_t *aDataP, long aSize, _DDPIXELFORMAT *aPixelP,
                                 uint16_t aDrawFlg) -> IDirectDrawSurface7 * {
        gFake->bitmaps.push_back(Bytes(aDataP, aDataP + aSize));
        gFake->pixelFormat = aPixelP;
        gFake->drawFlg = aDrawFlg;
        return (IDirectDrawSurface7 *)&gSurfaceMarker;
    };
    hook.loadTargaImageP = [](uint32_t *aImageP, uint32_t aW, uint32_t aH, uint32_t aD, _DDPIXELFORMAT *aPixelP,
                              uint16_t aDrawFlg) -> IDirectDrawSurface7 * {
        gFake->targaPixels.assign(aImageP, aImageP + aW * aH);
        gFake->targaW = aW;
        gFake->targaH = aH;
        gFake->targaD = aD;
        gFake->pixelFormat = aPixelP;
        gFake->drawFlg = aDrawFlg;
        return (IDirectDrawSurface7 *)&gSurfaceMarker;
    };
    return hook;
}

class KsfTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        glow = kbPictureGlow(9, 5, kbRgb(255, 160, 60));
        sky = kbPictureSky(6, 3, kbRgb(10, 20, 90), kbRgb(220, 230, 255), 5);
        std::string error;
        std::vector<kbKsfEntry> list(4);
        list[0].name = "Data\\Com\\Glow.tga";
        ASSERT_TRUE(kbTargaWrite(glow, 10, 32, false, &list[0].data, &error));
        list[1].name = "PIC.bmp";
        ASSERT_TRUE(kbBmpWrite(kbPictureIndexed(7, 3, 5, 1), 8, &list[1].data, &error));
        list[2].name = "sky.tga";
        ASSERT_TRUE(kbTargaWrite(sky, 2, 24, true, &list[2].data, &error));
        list[3].name = "notes.txt";
        list[3].data = {'n', 'o', 't', 'e'};
        entries = list;
        ASSERT_TRUE(kbKsfWrite(entries, &pack, &error)) << error;
        gFake = &fake;
    }
    void TearDown() override
    {
        setKsfDrawHook(nullptr);
        gFake = nullptr;
    }

    void *Load(const Bytes &aPack, const char *aName, uint32_t *aW = nullptr, uint32_t *aH = nullptr,
               uint32_t *aD = nullptr)
    {
        uint32_t w, h, d;
        return loadKsfFileMem(aPack.data(), (long)aPack.size(), aName, aW ? aW : &w, aH ? aH : &h, aD ? aD : &d);
    }

    // The directory of a package, unscrambled, and a way to put it back.
    std::vector<_ksfInfo> Directory(const Bytes &aPack)
    {
        _ksfHead head;
        memcpy(&head, aPack.data(), 16);
        _encodeBuf(&head, 16, KSF_HEAD_KEY);
        std::vector<_ksfInfo> dir(head.cnt);
        memcpy(dir.data(), aPack.data() + 16, dir.size() * sizeof(_ksfInfo));
        _encodeBuf(dir.data(), (long)(dir.size() * sizeof(_ksfInfo)), KSF_INFO_KEY);
        return dir;
    }
    void SetDirectory(Bytes &aPack, std::vector<_ksfInfo> aDir)
    {
        _encodeBuf(aDir.data(), (long)(aDir.size() * sizeof(_ksfInfo)), KSF_INFO_KEY);
        memcpy(aPack.data() + 16, aDir.data(), aDir.size() * sizeof(_ksfInfo));
    }
    void SetCount(Bytes &aPack, int32_t aCount)
    {
        _ksfHead head;
        memcpy(&head, aPack.data(), 16);
        _encodeBuf(&head, 16, KSF_HEAD_KEY);
        head.cnt = aCount;
        _encodeBuf(&head, 16, KSF_HEAD_KEY);
        memcpy(aPack.data(), &head, 16);
    }

    kbImage glow, sky;
    std::vector<kbKsfEntry> entries;
    Bytes pack;
    FakeDraw fake;
};

TEST_F(KsfTest, DirectoryNamesAreLowerCaseBaseNames)
{
    std::vector<_ksfInfo> dir = Directory(pack);
    ASSERT_EQ(dir.size(), 4u);
    EXPECT_STREQ(dir[0].name, "glow.tga");
    EXPECT_STREQ(dir[1].name, "pic.bmp");
    int32_t pos = 16 + 4 * 44;
    for (size_t i = 0; i < dir.size(); i++) {
        EXPECT_EQ(dir[i].pos, pos) << i;
        EXPECT_EQ(dir[i].size, (int32_t)entries[i].data.size()) << i;
        pos += dir[i].size;
    }
    EXPECT_EQ((size_t)pos, pack.size());
}

TEST_F(KsfTest, TargaEntriesDecodeIntoPixelMemory)
{
    struct Row {
        const char *request;
        const kbImage *image;
        uint32_t depth;
    } rows[] = {
        {"Data\\Com\\Glow.tga", &glow, 32},
        {"DATA\\COM\\GLOW.TGA", &glow, 32},
        {"glow.tga", &glow, 32},
        {"Data\\WaterScene\\Sky.TGA", &sky, 24},
    };
    for (const Row &r : rows) {
        uint32_t w, h, d;
        uint32_t *pixels = (uint32_t *)Load(pack, r.request, &w, &h, &d);
        ASSERT_NE(pixels, nullptr) << r.request;
        EXPECT_EQ(w, r.image->width);
        EXPECT_EQ(h, r.image->height);
        EXPECT_EQ(d, r.depth);
        std::vector<uint32_t> expect = r.image->pixels;
        if (r.depth == 24)
            for (uint32_t &p : expect)
                p |= 0xFF;
        EXPECT_EQ(std::vector<uint32_t>(pixels, pixels + w * h), expect) << r.request;
        free(pixels);
    }
}

TEST_F(KsfTest, LookupsThatFindNothing)
{
    const char *requests[] = {"notes.txt", "missing.tga", "Data\\Com\\", "", "Data\\Glow.tga\\",
                              "an_image_name_far_too_long_for_a_directory.tga"};
    for (const char *r : requests)
        EXPECT_EQ(Load(pack, r), nullptr) << r;
    EXPECT_EQ(Load(pack, "pic.bmp"), nullptr) << "bitmaps need the draw manager";
}

TEST_F(KsfTest, BitmapEntriesGoToTheDrawManager)
{
    _ksfDrawHook hook = FakeHook();
    setKsfDrawHook(&hook);
    uint32_t w, h, d;
    EXPECT_EQ(Load(pack, "Data\\Com\\Pic.bmp", &w, &h, &d), &gBitmapMarker);
    ASSERT_EQ(fake.bitmaps.size(), 1u);
    EXPECT_EQ(fake.bitmaps[0], entries[1].data) << "the bitmap file, first word unscrambled";
    EXPECT_EQ(w, 11u);
    EXPECT_EQ(h, 12u);
    EXPECT_EQ(d, 8u);
}

TEST_F(KsfTest, LoadKsfMakesSurfacesThroughTheDrawManager)
{
    std::string path = TempPath("kestrel_images.ksf");
    ASSERT_TRUE(kbWriteFile(path, pack, nullptr));
    _DDPIXELFORMAT *format = (_DDPIXELFORMAT *)&gBitmapMarker;
    EXPECT_EQ(loadKsf(path.c_str(), "glow.tga", format, 0x1001), nullptr) << "no draw manager yet";
    _ksfDrawHook hook = FakeHook();
    setKsfDrawHook(&hook);
    EXPECT_EQ(loadKsf(path.c_str(), "Data\\Com\\glow.tga", format, 0x1001), (IDirectDrawSurface7 *)&gSurfaceMarker);
    EXPECT_EQ(fake.targaPixels, glow.pixels);
    EXPECT_EQ(fake.targaW, 9u);
    EXPECT_EQ(fake.targaD, 32u);
    EXPECT_EQ(fake.pixelFormat, format);
    EXPECT_EQ(fake.drawFlg, 0x1001);
    EXPECT_EQ(loadKsf(path.c_str(), "pic.bmp", nullptr, 0x10), (IDirectDrawSurface7 *)&gSurfaceMarker);
    ASSERT_EQ(fake.bitmaps.size(), 1u);
    EXPECT_EQ(fake.bitmaps[0], entries[1].data);
    EXPECT_EQ(loadKsf(path.c_str(), "notes.txt", nullptr, 0), nullptr);
    EXPECT_EQ(loadKsf(path.c_str(), "none.bmp", nullptr, 0), nullptr);

    uint32_t w, h, d;
    uint32_t *pixels = (uint32_t *)loadKsfFile(path.c_str(), "SKY.TGA", &w, &h, &d);
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(w * h, 18u);
    free(pixels);
    remove(path.c_str());
    EXPECT_EQ(loadKsf(path.c_str(), "glow.tga", nullptr, 0), nullptr) << "missing package";
    EXPECT_EQ(loadKsfFile(path.c_str(), "glow.tga", &w, &h, &d), nullptr) << "missing package";
}

TEST_F(KsfTest, EntryKsfRegistersSlotByDirectoryEntry)
{
    EXPECT_EQ(entryKsfMem(pack.data(), (long)pack.size()), -1);
    EXPECT_TRUE(fake.entries.empty()) << "nothing without the draw manager";

    _ksfDrawHook hook = FakeHook();
    setKsfDrawHook(&hook);
    fake.clockStep = 20;
    EXPECT_EQ(entryKsfMem(pack.data(), (long)pack.size()), -1);
    ASSERT_EQ(fake.entries.size(), 3u) << "the text entry is skipped";
    const FakeDraw::Entry &g = fake.entries[0], &p = fake.entries[1], &s = fake.entries[2];
    EXPECT_EQ(g.slot, 0);
    EXPECT_EQ(g.name, "glow.tga");
    EXPECT_EQ(g.type, KSF_TYPE_TARGA);
    EXPECT_EQ(g.pixels, glow.pixels);
    EXPECT_EQ(g.depth, 32u);
    EXPECT_EQ(g.key, (uint32_t)('g' + 'l' + 'o' + 'w' + '.' + 't' + 'g' + 'a'));
    EXPECT_EQ(p.slot, 1);
    EXPECT_EQ(p.name, "pic.bmp");
    EXPECT_EQ(p.type, KSF_TYPE_BITMAP);
    EXPECT_EQ(p.bitmap, entries[1].data);
    EXPECT_EQ(p.width, 11u);
    EXPECT_EQ(s.slot, 2);
    EXPECT_EQ(s.height, 3u);
    EXPECT_GT(fake.flips, 0) << "the loading screen was kept alive";

    std::string path = TempPath("kestrel_entry.ksf");
    ASSERT_TRUE(kbWriteFile(path, pack, nullptr));
    fake.entries.clear();
    fake.clockStep = 0;
    fake.flips = 0;
    EXPECT_EQ(entryKsf(path.c_str()), -1);
    EXPECT_EQ(fake.entries.size(), 3u) << "from a file";
    EXPECT_EQ(fake.flips, 0) << "no present while no time passes";
    remove(path.c_str());
    fake.entries.clear();
    EXPECT_EQ(entryKsf(path.c_str()), -1);
    EXPECT_TRUE(fake.entries.empty()) << "missing package";
}

// Entries of falling and rising size share one read buffer: each must reach the registry as its
// own bytes, with nothing left over from a larger entry before it.
TEST_F(KsfTest, EntriesOfMixedSizesRegisterTheirOwnBytes)
{
    _ksfDrawHook hook = FakeHook();
    setKsfDrawHook(&hook);
    const kbImage big = kbPictureGlow(40, 30, kbRgb(200, 40, 10)), small = kbPictureGlow(3, 2, kbRgb(5, 250, 9));
    std::vector<kbKsfEntry> list(5);
    list[0].name = "big.bmp";
    ASSERT_TRUE(kbBmpWrite(kbPictureIndexed(64, 48, 7, 2), 24, &list[0].data, nullptr));
    list[1].name = "small.tga";
    ASSERT_TRUE(kbTargaWrite(small, 2, 32, false, &list[1].data, nullptr));
    list[2].name = "big.tga";
    ASSERT_TRUE(kbTargaWrite(big, 10, 32, false, &list[2].data, nullptr));
    list[3].name = "small.bmp";
    ASSERT_TRUE(kbBmpWrite(kbPictureIndexed(5, 3, 2, 1), 8, &list[3].data, nullptr));
    list[4].name = "glow.tga";
    ASSERT_TRUE(kbTargaWrite(glow, 10, 32, false, &list[4].data, nullptr));
    Bytes p;
    ASSERT_TRUE(kbKsfWrite(list, &p, nullptr));
    const std::string path = TempPath("kestrel_mixed.ksf");
    ASSERT_TRUE(kbWriteFile(path, p, nullptr));

    struct Row {
        const char *from;
        std::function<void()> entry;
    } rows[] = {
        {"memory", [&] { entryKsfMem(p.data(), (long)p.size()); }},
        {"file", [&] { entryKsf(path.c_str()); }},
    };
    for (const Row &r : rows) {
        fake.entries.clear();
        fake.bitmaps.clear();
        r.entry();
        ASSERT_EQ(fake.entries.size(), 5u) << r.from;
        EXPECT_EQ(fake.entries[0].bitmap, list[0].data) << r.from;
        EXPECT_EQ(fake.entries[1].pixels, small.pixels) << r.from;
        EXPECT_EQ(fake.entries[2].pixels, big.pixels) << r.from;
        EXPECT_EQ(fake.entries[3].bitmap, list[3].data) << r.from;
        EXPECT_EQ(fake.entries[4].pixels, glow.pixels) << r.from;
    }
    remove(path.c_str());
}

TEST_F(KsfTest, DamagedPackagesRegisterNothingAndFindNothing)
{
    _ksfDrawHook hook = FakeHook();
    setKsfDrawHook(&hook);
    struct Row {
        const char *what;
        std::function<void(Bytes &)> damage;
        bool lookupFails;  // the Targa entry "sky.tga" cannot be loaded either
    } rows[] = {
        {"entries not back to back",
         [&](Bytes &b) {
             auto d = Directory(b);
             std::swap(d[0].pos, d[1].pos);
             SetDirectory(b, d);
         },
         false},
        {"entry past the end of the file",
         [&](Bytes &b) {
             auto d = Directory(b);
             d[2].size += 1000;
             SetDirectory(b, d);
         },
         true},
        {"negative entry size",
         [&](Bytes &b) {
             auto d = Directory(b);
             d[2].size = -5;
             SetDirectory(b, d);
         },
         true},
        {"negative entry position",
         [&](Bytes &b) {
             auto d = Directory(b);
             d[2].pos = -16;
             SetDirectory(b, d);
         },
         true},
        {"name without an end",
         [&](Bytes &b) {
             auto d = Directory(b);
             memset(d[2].name, 'a', KSF_NAME_SIZE);
             SetDirectory(b, d);
         },
         true},
        {"directory longer than the file", [&](Bytes &b) { SetCount(b, 1000); }, true},
        {"negative count", [&](Bytes &b) { SetCount(b, -1); }, true},
        {"file cut short", [&](Bytes &b) { b.resize(b.size() - 1); }, false},
        {"file cut inside the directory", [&](Bytes &b) { b.resize(40); }, true},
    };
    for (const Row &r : rows) {
        Bytes b = pack;
        r.damage(b);
        fake.entries.clear();
        entryKsfMem(b.data(), (long)b.size());
        EXPECT_TRUE(fake.entries.empty()) << r.what;
        void *p = Load(b, "sky.tga");
        EXPECT_EQ(p == nullptr, r.lookupFails) << r.what;
        free(p);
    }
}

TEST_F(KsfTest, MoreEntriesThanRegistrySlotsRegisterNothing)
{
    _ksfDrawHook hook = FakeHook();
    setKsfDrawHook(&hook);
    std::vector<kbKsfEntry> many(KSF_ENTRY_MAX);
    for (size_t i = 0; i < many.size(); i++) {
        many[i].name = "i" + std::to_string(i) + ".tga";
        ASSERT_TRUE(kbTargaWrite(kbImageMake(1, 1), 2, 24, false, &many[i].data, nullptr));
    }
    Bytes full;
    ASSERT_TRUE(kbKsfWrite(many, &full, nullptr));
    entryKsfMem(full.data(), (long)full.size());
    EXPECT_EQ(fake.entries.size(), (size_t)KSF_ENTRY_MAX);
    EXPECT_EQ(fake.entries.back().slot, KSF_ENTRY_MAX - 1);

    many.push_back(many.back());
    many.back().name = "one_more.tga";
    EXPECT_FALSE(kbKsfWrite(many, &full, nullptr)) << "the builder refuses it";
    // Made by hand: 513 directory entries.
    Bytes over(16 + 513 * 44 + 18 * 513, 0);
    std::vector<_ksfInfo> dir(513);
    for (int i = 0; i < 513; i++) {
        snprintf(dir[i].name, sizeof(dir[i].name), "e%d.tga", i);
        dir[i].size = 18;
        dir[i].pos = 16 + 513 * 44 + 18 * i;
    }
    SetDirectory(over, dir);
    SetCount(over, 513);
    fake.entries.clear();
    entryKsfMem(over.data(), (long)over.size());
    EXPECT_TRUE(fake.entries.empty());
}

TEST_F(KsfTest, TinyEntriesAreReadSafely)
{
    std::vector<kbKsfEntry> tiny(2);
    tiny[0].name = "a.tga";
    tiny[0].data = {1, 2};
    tiny[1].name = "b.bmp";
    Bytes p;
    ASSERT_TRUE(kbKsfWrite(tiny, &p, nullptr));
    EXPECT_EQ(Load(p, "a.tga"), nullptr);
    _ksfDrawHook hook = FakeHook();
    setKsfDrawHook(&hook);
    entryKsfMem(p.data(), (long)p.size());
    ASSERT_EQ(fake.bitmaps.size(), 1u);
    EXPECT_TRUE(fake.bitmaps[0].empty());
}

TEST(SaveFile, WritesANewTemporaryFile)
{
    const char text[] = "package entry";
    char name1[260], name2[260];
    ASSERT_EQ(_saveFile(text, sizeof(text), name1), 0);
    ASSERT_EQ(_saveFile(text, sizeof(text), name2), 0);
    EXPECT_STRNE(name1, name2);
    std::string base = name1;
    base = base.substr(base.find_last_of("\\/") + 1);
    EXPECT_EQ(base.substr(0, 3), "Gen");
    EXPECT_EQ(base.substr(base.size() - 4), ".tmp");
    Bytes back;
    ASSERT_TRUE(kbReadFile(name1, &back));
    EXPECT_EQ(back, Bytes(text, text + sizeof(text)));
    EXPECT_EQ(remove(name1), 0);
    EXPECT_EQ(remove(name2), 0);
    EXPECT_EQ(_saveFile(nullptr, 4, name1), -1);
}

}  // namespace
