#include "App/Scene/SceneCore.h"

#include <cstdlib>

long sSceneExpandKeys(const _sceneMotionDef *aMotionP, _sceneFrame **aFramePP)
{
    *aFramePP = nullptr;
    if (aMotionP->indexCnt == 0 || aMotionP->indexP == nullptr || aMotionP->transFrameP == nullptr ||
        aMotionP->angleFrameP == nullptr || aMotionP->scaleFrameP == nullptr)
        return 0;

    uint64_t total = 0;
    for (uint32_t i = 0; i < aMotionP->indexCnt; i++)
        total += aMotionP->indexP[i].length;
    if (total == 0)
        return 0;
    // A 16-bit frame number never reaches further, so longer runs add nothing a scene can show.
    long frameNum = total > SCENE_FRAME_MAX ? SCENE_FRAME_MAX : (long)total;

    _sceneFrame *frameP = (_sceneFrame *)malloc(sizeof(_sceneFrame) * (size_t)frameNum);
    if (frameP == nullptr)
        return -1;

    const _sceneIndexDef *runP = aMotionP->indexP;
    uint32_t run = 0;
    long used = 0;  // frames taken by the runs before the current one
    int16_t ti = 0, ai = 0, si = 0;
    for (long j = 0; j < frameNum; j++) {
        // At most one run is left per frame, so a run of length 0 still lends its steps to one frame.
        if (j - used >= runP[run].length) {
            used += runP[run].length;
            run++;
        }
        ti = (int16_t)(ti + runP[run].trans);
        ai = (int16_t)(ai + runP[run].angle);
        si = (int16_t)(si + runP[run].scale);
        if (ti < 0 || (uint32_t)ti >= aMotionP->transFrameCnt || ai < 0 ||
            (uint32_t)ai >= aMotionP->angleFrameCnt || si < 0 || (uint32_t)si >= aMotionP->scaleFrameCnt) {
            free(frameP);
            return -1;
        }
        const _sceneVectorDef &t = aMotionP->transFrameP[ti];
        const _sceneVectorDef &a = aMotionP->angleFrameP[ai];
        const _sceneVectorDef &s = aMotionP->scaleFrameP[si];
        frameP[j] = {t.vx, t.vy, t.vz, a.vx, a.vy, a.vz, s.vx, s.vy, s.vz};
    }
    *aFramePP = frameP;
    return frameNum;
}

long sSceneSeCount(const _sceneSeDef *aSeP)
{
    long n = 0;
    if (aSeP != nullptr)
        while (aSeP[n].frameNum != -1)
            n++;
    return n;
}

long sSceneFvfSize(uint32_t aVertexType)
{
    // Position formats by the three position bits: none, XYZ, XYZRHW, XYZ with 1..5 blend weights.
    static const long _positionSize[8] = {0, 12, 16, 16, 20, 24, 28, 32};
    // Texture-coordinate set sizes by their two format bits: 2, 3, 4 or 1 floats.
    static const long _texCoordSize[4] = {8, 12, 16, 4};

    if (aVertexType & 0xF001)  // reserved bits
        return -1;
    long size = _positionSize[(aVertexType >> 1) & 7];
    if (aVertexType & 0x010)  // normal
        size += 12;
    if (aVertexType & 0x020)  // reserved dword of lit vertices
        size += 4;
    if (aVertexType & 0x040)  // diffuse
        size += 4;
    if (aVertexType & 0x080)  // specular
        size += 4;
    uint32_t texCnt = (aVertexType >> 8) & 0xF;
    if (texCnt > 8)
        return -1;
    for (uint32_t i = 0; i < texCnt; i++)
        size += _texCoordSize[(aVertexType >> (16 + 2 * i)) & 3];
    return size;
}
