#ifndef KESTREL_TOOLS_BUILDER_KBSCENE_H
#define KESTREL_TOOLS_BUILDER_KBSCENE_H

// The in-memory scene description of the content builder and its scene package (.ksx) writer.
// Objects start unparented (-1) with unit scale. Each object carries its definition record for the plain fields (pose, colours, names, flags);
// the writer fills in every count and pointer field from the arrays beside it.

#include <memory>
#include <string>

#include "Common/SceneDef.h"
#include "KbBytes.h"

struct kbMotion {
    std::vector<_sceneVectorDef> transKeys;
    std::vector<_sceneVectorDef> angleKeys;
    std::vector<_sceneVectorDef> scaleKeys;
    std::vector<_sceneIndexDef> runs;
};

struct kbIndexSet {
    uint32_t primitiveType = 4;  // triangle list
    std::vector<uint16_t> indices;
};

struct kbVertexSet {
    uint32_t vertexType = 0;
    uint32_t vertexNum = 0;
    kbBytes vertices;       // vertexNum vertices laid out by vertexType
    uint32_t morphVertexType = 0;
    kbBytes morphVertices;  // empty, or vertexNum vertices laid out by morphVertexType
    std::vector<kbIndexSet> indexSets;
};

// A vertex set of _vertexDef vertices (position, normal, two texture coordinate pairs).
kbVertexSet kbVertexSetOf(const std::vector<_vertexDef> &aVertices);

struct kbAbility {
    _abilityDef def{};  // status, material, render states, blending
    std::vector<_textureSet> texSets;
    std::vector<kbVertexSet> vertexSets;
};

struct kbShapeBody {
    _shapeDef def{};  // status, hierarchy links, box, counts
    std::vector<kbAbility> abilities;
};

struct kbShape {
    kbShape();
    _sceneShapeDef def{};  // pose, shadow options, parent, name
    kbMotion motion;
    std::vector<float> dissolve;
    std::vector<float> morph;
    std::shared_ptr<kbShapeBody> body;  // shapes of one name share one body
};

struct kbLight {
    kbLight();
    _sceneLightDef def{};
    kbMotion motion;
    std::vector<D3DCOLORVALUE> colors;  // empty, or one per scene frame
    std::vector<float> intensities;     // empty, or one per scene frame
};

struct kbCamera {
    kbCamera();
    _sceneCameraDef def{};
    kbMotion motion;
    std::vector<float> zoom;  // empty, or one per scene frame
};

struct kbSpriteBody {
    _spriteDef def{};
    std::vector<_textureSet> texSets;
};

struct kbSprite {
    kbSprite();
    _sceneSpriteDef def{};
    kbMotion motion;
    std::vector<uint32_t> pattern;
    std::shared_ptr<kbSpriteBody> body;  // sprites of one name share one body
};

struct kbParticle {
    kbParticle();
    _sceneParticleDef def{};
    kbMotion motion;
    std::shared_ptr<_particleDef> body;
};

struct kbScene {
    _sceneDef def{};  // frame count, rate, lights, fog, clip distances, colours, totals
    std::vector<kbShape> shapes;
    std::vector<kbLight> lights;
    std::vector<kbCamera> cameras;
    std::vector<kbSprite> sprites;
    std::vector<kbParticle> particles;
    // Tracks of scene length: empty, or one entry per frame.
    std::vector<float> ambientIntensity;
    std::vector<float> fogMinDist, fogMaxDist, fogMinAmount, fogMaxAmount;
};

// Copies a name into a fixed name field; false when it does not fit.
bool kbSetName(char *aFieldP, size_t aFieldSize, const std::string &aName);
template <size_t N>
bool kbSetName(char (&aField)[N], const std::string &aName)
{
    return kbSetName(aField, N, aName);
}

// A texture set naming an image, with the usual modulate stage.
_textureSet kbTextureSet(const std::string &aFileName, uint32_t aTexFlg = 0);

// The package data (relocatable scene image, offsets from its start) and the whole package file
// (scrambled header, then the data). Fails on counts beyond their fields, scene-length tracks of
// another length, or bodies shared against the name rule.
bool kbKsxData(const kbScene &aScene, kbBytes *aDataP, std::string *aErrorP);
bool kbKsxWrite(const kbScene &aScene, kbBytes *aOutP, std::string *aErrorP);

#endif
