// Scene packages from untrusted bytes: refused, or relocated so that every pointer, name and
// count the scene runtime follows stays inside the data.
#include <cstdlib>
#include <cstring>

#include "App/App/AppCore.h"
#include "Common/VertexFormat.h"

static volatile uint32_t gSink;

template <class T>
static void _touch(const T *aP, size_t aCount)
{
    const uint8_t *p = (const uint8_t *)aP;
    for (size_t i = 0; aP != nullptr && i < aCount * sizeof(T); i++)
        gSink += p[i];
}

template <class D>
static void _motion(const D &aDef)
{
    _touch(aDef.transFrameP, aDef.transFrameCnt);
    _touch(aDef.angleFrameP, aDef.angleFrameCnt);
    _touch(aDef.scaleFrameP, aDef.scaleFrameCnt);
    _touch(aDef.indexP, aDef.indexCnt);
    _sceneMotionDef motion = sSceneGetMotion(aDef);
    _sceneFrame *framesP = nullptr;
    long n = sSceneExpandKeys(&motion, &framesP);
    _touch(framesP, n > 0 ? (size_t)n : 0);
    free(framesP);
}

static void _texSets(const _textureSet *aP, size_t aCount)
{
    for (size_t i = 0; i < aCount; i++)
        gSink += (uint32_t)strlen(aP[i].fileName) + (uint32_t)strlen(aP[i].alphaFileName) + aP[i].texFlg;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *aDataP, size_t aSize)
{
    uint8_t *bufP = entryKsxMem(aDataP, (long)aSize);
    if (bufP == nullptr)
        return 0;
    const _sceneDef &d = *(const _sceneDef *)bufP;
    _touch(d.illuminate.ambientIntensityP, d.frameCnt);
    _touch(d.fog.minDistP, d.frameCnt);
    _touch(d.fog.maxDistP, d.frameCnt);
    _touch(d.fog.minAmountP, d.frameCnt);
    _touch(d.fog.maxAmountP, d.frameCnt);
    for (int i = 0; i < d.shapeCnt; i++) {
        const _sceneShapeDef &s = d.shapeP[i];
        _motion(s);
        _touch(s.dissolveFrameP, s.dissolveFrameCnt);
        _touch(s.morphFrameP, s.morphFrameCnt);
        gSink += (uint32_t)strlen(s.name);
        if (s.parentShapeNum != -1)
            gSink += d.shapeP[s.parentShapeNum].shadowOptions;
        if (s.defP == nullptr)
            continue;
        for (int a = 0; a < s.defP->abilityDefNum; a++) {
            const _abilityDef *ability = s.defP->abilityDefP[a];
            _texSets(ability->texSetP, ability->texStageNum);
            for (int v = 0; v < ability->vertexDefSetNum; v++) {
                const _primVertexDefSet &set = ability->vertexDefSetP[v];
                _touch((const uint8_t *)set.vertexP, set.vertexNum * (size_t)sFvfGetSize(set.vertexType));
                if (set.morphVertexP != nullptr)
                    _touch((const uint8_t *)set.morphVertexP, set.vertexNum * (size_t)sFvfGetSize(set.morphVertexType));
                for (int k = 0; k < set.indexSetNum; k++)
                    _touch(set.indexSetP[k].indexP, set.indexSetP[k].indexNum);
            }
        }
    }
    for (int i = 0; i < d.lightCnt; i++) {
        _motion(d.lightP[i]);
        _touch(d.lightP[i].colorP, d.frameCnt);
        _touch(d.lightP[i].intensityP, d.frameCnt);
    }
    for (int i = 0; i < d.cameraCnt; i++) {
        _motion(d.cameraP[i]);
        _touch(d.cameraP[i].zoomFactorP, d.frameCnt);
        if (d.cameraP[i].targetShapeNum != -1)
            gSink += d.shapeP[d.cameraP[i].targetShapeNum].shadowOptions;
    }
    for (int i = 0; i < d.spriteCnt; i++) {
        const _sceneSpriteDef &s = d.spriteP[i];
        _motion(s);
        _touch(s.patternFrameP, s.patternFrameCnt);
        gSink += (uint32_t)strlen(s.name);
        if (s.defP != nullptr)
            _texSets(s.defP->texSetP, s.defP->texSetNum);
    }
    for (int i = 0; i < d.particleCnt; i++) {
        _motion(d.particleP[i]);
        gSink += (uint32_t)strlen(d.particleP[i].name);
        if (d.particleP[i].defP != nullptr)
            _texSets(&d.particleP[i].defP->texSet, 1);
    }
    free(bufP);
    return 0;
}
