#include "KbSample.h"

#include <string>

#include "Common/VertexFormat.h"

static std::shared_ptr<kbShapeBody> _body(uint32_t aVertexCnt, uint32_t aSeed)
{
    auto body = std::make_shared<kbShapeBody>();
    body->def.shapeStatus = 0x1 | aSeed;
    body->def.nextNum = -1;
    body->def.childNum = -1;
    body->def.minX = body->def.minY = body->def.minZ = -1.0;
    body->def.maxX = body->def.maxY = body->def.maxZ = 1.0;
    for (int a = 0; a < 2; a++) {
        kbAbility ability;
        ability.def.abilityStatus = 0x10 + a;
        ability.def.material.diffuse = {1.0f, 0.5f, 0.25f, 1.0f};
        ability.def.material.power = 8.0f + a;
        ability.def.srcBlend = 5;
        ability.def.destBlend = 6;
        ability.texSets.push_back(kbTextureSet("Data\\Tex\\body" + std::to_string(aSeed) + ".bmp", 0x1));
        if (a == 1)
            ability.texSets.push_back(kbTextureSet("Data\\Tex\\env.tga", 0x3));
        std::vector<_vertexDef> vertices(aVertexCnt);
        for (uint32_t v = 0; v < aVertexCnt; v++)
            vertices[v] = {(float)v, (float)aSeed, (float)a, 0, 1, 0, v * 0.125f, 0.5f, 0, 0};
        kbVertexSet set = kbVertexSetOf(vertices);
        if (a == 1) {
            // Lit vertices as the morph target: position, reserved, diffuse, specular, one set.
            set.morphVertexType = 0x002 | 0x020 | 0x040 | 0x080 | 0x100;
            set.morphVertices.assign((size_t)sFvfGetSize(set.morphVertexType) * aVertexCnt, (uint8_t)(0x40 + aSeed));
        }
        for (int i = 0; i < 2; i++) {
            kbIndexSet indexSet;
            indexSet.primitiveType = i == 0 ? 4 : 5;
            for (uint32_t k = 0; k + 2 < aVertexCnt; k++) {
                indexSet.indices.push_back((uint16_t)k);
                indexSet.indices.push_back((uint16_t)(k + 1));
                indexSet.indices.push_back((uint16_t)(k + 2));
            }
            set.indexSets.push_back(indexSet);
        }
        ability.vertexSets.push_back(set);
        ability.vertexSets.push_back(kbVertexSetOf(std::vector<_vertexDef>(3)));
        body->abilities.push_back(ability);
    }
    body->def.vertexCnt = aVertexCnt * 2 + 6;
    body->def.polyCnt = aVertexCnt > 2 ? (aVertexCnt - 2) * 4 : 0;
    return body;
}

static kbMotion _motion(uint32_t aSeed)
{
    kbMotion m;
    for (int k = 0; k < 4; k++) {
        m.transKeys.push_back({(float)k, (float)aSeed, 0});
        m.angleKeys.push_back({0, k * 0.5f, 0});
        m.scaleKeys.push_back({1, 1, 1.0f + k});
    }
    m.runs.push_back({0, 0, 0, 1});
    m.runs.push_back({1, 1, 1, 3});
    return m;
}

kbScene kbSampleScene(uint32_t aShapeCnt, uint32_t aVertexCnt, uint16_t aFrameCnt)
{
    kbScene scene;
    scene.def.frameCnt = aFrameCnt;
    scene.def.frameStep = 1;
    scene.def.fps = 30.0f;
    scene.def.illuminate.ambientColor = 0x203040;
    scene.def.illuminate.ambientIntensity = 0.5f;
    scene.def.fog.mode = SCENE_FOG_LINEAR;
    scene.def.fog.minDist = 10;
    scene.def.fog.maxDist = 100;
    scene.def.fog.color = 0x808080;
    scene.def.nearDist = 1.0f;
    scene.def.farDist = 1000.0f;
    scene.def.backColor = 0x102030;
    for (uint32_t f = 0; f < aFrameCnt; f++) {
        scene.ambientIntensity.push_back(0.5f + f * 0.01f);
        scene.fogMinDist.push_back(10.0f + f);
        scene.fogMaxDist.push_back(100.0f + f);
        scene.fogMinAmount.push_back(0.0f);
        scene.fogMaxAmount.push_back(1.0f);
    }

    // Shapes: every other one shares the body of the name "shared"; the others have their own.
    auto shared = _body(aVertexCnt, 0);
    for (uint32_t i = 0; i < aShapeCnt; i++) {
        kbShape shape;
        bool sharing = i % 2 == 0;
        kbSetName(shape.def.name, sharing ? "shared" : "shape" + std::to_string(i));
        shape.body = sharing ? shared : _body(aVertexCnt, i + 1);
        shape.def.parentShapeNum = i > 0 ? (int32_t)(i - 1) : -1;
        shape.def.trans = {(float)i, 0, 0};
        shape.def.shadowOptions = i;
        shape.motion = _motion(i);
        if (i == 1) {
            shape.dissolve = {0.0f, 0.5f, 1.0f};
            shape.morph = {1.0f, 0.0f};
        }
        scene.shapes.push_back(shape);
        scene.def.vertexCnt += shape.body->def.vertexCnt;
        scene.def.polyCnt += shape.body->def.polyCnt;
    }
    if (aShapeCnt > 0) {
        kbShape bare;  // a shape without a body
        kbSetName(bare.def.name, "null_marker");
        bare.def.parentShapeNum = 0;
        scene.shapes.push_back(bare);
    }
    scene.def.vertexMax = aVertexCnt * 2 + 6;

    kbLight light;
    light.def.type = 2;
    light.def.color = {1, 1, 1, 1};
    light.def.range = 500;
    light.def.intensity = 1.5f;
    light.def.coneAngle = 0.4f;
    light.def.edgeAngle = 0.1f;
    light.def.parentShapeNum = aShapeCnt > 0 ? 0 : -1;
    light.motion = _motion(7);
    for (uint32_t f = 0; f < aFrameCnt; f++) {
        light.colors.push_back({1.0f, f * 0.1f, 0.5f, 1.0f});
        light.intensities.push_back(1.0f + f);
    }
    scene.lights.push_back(light);
    kbLight plain;  // no tracks, no motion
    plain.def.type = 3;
    scene.lights.push_back(plain);

    kbCamera camera;
    camera.def.fovAngle = 0.785f;
    camera.def.focalDistance = 50;
    camera.def.width = 640;
    camera.def.height = 480;
    camera.def.lookAt = {0, 0, 0};
    camera.def.eyePos = {0, 10, -50};
    camera.def.targetShapeNum = aShapeCnt > 0 ? 0 : -1;
    camera.motion = _motion(9);
    for (uint32_t f = 0; f < aFrameCnt; f++)
        camera.zoom.push_back(0.7f + f * 0.01f);
    scene.cameras.push_back(camera);

    auto spriteBody = std::make_shared<kbSpriteBody>();
    spriteBody->def.spriteStatus = 0x3;
    spriteBody->texSets.push_back(kbTextureSet("Data\\Tex\\flare.bmp"));
    spriteBody->texSets.push_back(kbTextureSet("Data\\Tex\\flare2.bmp"));
    for (int c = 0; c < 4; c++) {
        spriteBody->def.posX[c] = c & 1 ? 1.0f : -1.0f;
        spriteBody->def.posY[c] = c & 2 ? 1.0f : -1.0f;
    }
    for (int s = 0; s < 2; s++) {
        kbSprite sprite;
        kbSetName(sprite.def.name, "flare");
        sprite.body = spriteBody;
        sprite.pattern = {0, 1, 0, 1};
        sprite.motion = _motion(11 + s);
        scene.sprites.push_back(sprite);
    }
    kbSprite empty;  // a sprite without a body gives no sprite object
    kbSetName(empty.def.name, "nothing");
    scene.sprites.push_back(empty);

    auto emitter = std::make_shared<_particleDef>();
    emitter->texSet = kbTextureSet("Data\\Tex\\spark.tga", 0x3);
    emitter->workNum = 64;
    emitter->birthRate = 4;
    emitter->lifeMin = 10;
    emitter->lifeMax = 20;
    emitter->colorStart = {1, 1, 1, 1};
    for (int p = 0; p < 2; p++) {
        kbParticle particle;
        kbSetName(particle.def.name, "spark" + std::to_string(p));
        particle.body = emitter;  // emitters may share one body
        particle.motion = _motion(20 + p);
        scene.particles.push_back(particle);
    }
    return scene;
}
