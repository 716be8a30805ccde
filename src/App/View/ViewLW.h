#ifndef KESTREL_APP_VIEW_VIEWLW_H
#define KESTREL_APP_VIEW_VIEWLW_H

// A user's LightWave object turned into a shape body definition that the object model draws like
// any packaged shape: one ability per surface, one vertex set per ability, triangle lists and
// point lists of 16-bit indices.

#include <cstdint>

#include "App/Scene/SceneCore.h"

// What the benchmark's user-object test accepts from a converted body.
enum {
    VIEW_LWO_MAX_POLY = 10000,    // polyCnt
    VIEW_LWO_MAX_VERTEX = 32767   // vertexCnt
};

// Allocation record of a converted body (its workP): one zero-filled block per kind, null when
// the count is 0. viewFreeLwo frees exactly these blocks and the _shapeDef.
struct _shapeWork {
    void *objP;             // always null here
    void *morphTargetObjP;  // always null here
    int32_t abilityDefCnt;
    int32_t textureDefCnt;
    int32_t indexSetDefCnt;
    int32_t indexDefCnt;
    int32_t vertexSetDefCnt;
    int32_t vertexDefCnt;
    _abilityDef **abilitySetDefP;
    _abilityDef *abilityDefP;
    _textureSet *textureDefP;
    _primVertexDefSet *vertexSetDefP;
    _primIndexDefSet *indexSetDefP;
    uint16_t *indexDefP;
    _vertexDef *vertexDefP;
    _vertexDef *morphVertexDefP;  // always null here
};

// 1 when the object opens and has exactly one layer, else 0 (the Benchmark Setting dialog asks
// this when the user picks a file).
int viewCheckLwo(const char *aPathP);

// Converts the object at aPathP ("folder\name.lwo"). S_OK with *aShapeDefPP set, texture file
// names rewritten to "folder\file" and bit 0x1000 set in their texFlg; E_FAIL with *aShapeDefPP
// null after telling the user "%s Read Failure" (Japanese "%sの読み込みに失敗") over the render
// window.
long viewLoadLwo(const char *aPathP, _shapeDef **aShapeDefPP);

// Called at most every 33 ms during a conversion so that the window stays alive (the loading
// screen sets it; null calls nothing).
extern void (*viewLwoProgressHook)(void);

// Frees a body that viewLoadLwo made; null does nothing.
void viewFreeLwo(_shapeDef *aShapeDefP);

// 1 when a converted body fits the user-object test (polyCnt <= 10000, vertexCnt <= 32767).
int viewLwoWithinLimits(const _shapeDef *aShapeDefP);

// The uniform scale that makes aNewP's largest bounding-box extent equal aReplacedP's (1.0 when
// either box is empty), so a user's object takes the place of the shape it replaces.
double viewLwoScaleFactor(const _shapeDef *aReplacedP, const _shapeDef *aNewP);

#endif
