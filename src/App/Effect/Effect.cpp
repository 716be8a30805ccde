#include "App/Effect/Effect.h"

#include <new>

#include "App/Bom/Bom.h"
#include "App/Effect/EffectCore.h"
#include "App/Lightning/Lightning.h"
#include "App/Scene/Scene.h"
#include "System/Shape/Shape.h"
#include "System/Sys/SYSTEM.h"

// Scene shape record aNum, or null outside the scene.
static _sceneShape *_shapeOf(Scene *aSceneP, long aNum)
{
    if (aSceneP == nullptr || aSceneP->_shapeP == nullptr || aNum < 0 || aNum >= aSceneP->GetShapeCnt())
        return nullptr;
    return &aSceneP->_shapeP[aNum];
}

// Hands each shape of the scene that has a body and an effect row to aFn(shape, row).
template <typename F> static void _eachEffectShape(Scene *aSceneP, F aFn)
{
    if (aSceneP == nullptr)
        return;
    for (long n = 0; n < aSceneP->GetShapeCnt(); n++) {
        _sceneShape *shapeP = _shapeOf(aSceneP, n);
        if (shapeP == nullptr || shapeP->shapeP == nullptr)
            continue;
        if (const EffectDef *defP = sEffectShapeFind(shapeP->nameP))
            aFn(shapeP->shapeP, defP);
    }
}

// Row of the combined effect named by option word 4 (-1: none) in the running edition's table.
static const _efxNeyaScnTable *_neyaRow(const uint32_t *aOptionP)
{
    if (aOptionP == nullptr)
        return nullptr;
    return sEffectNeyaRow((int32_t)aOptionP[4], (sysWork.status & SYS_FULLSPEC) != 0);
}

void *EffectNeyaSceneInit(uint8_t *aSceneP, uint16_t, uint8_t *, uint32_t *aOptionP)
{
    const _efxNeyaScnTable *rowP = _neyaRow(aOptionP);
    if (rowP == nullptr)
        return nullptr;
    if (rowP->lightningTblP != nullptr)
        LightningSceneInit((Scene *)aSceneP, rowP->lightningTblP);
    if (rowP->bomTblP != nullptr) {
        // The pools and pictures live from the first scene with explosions until released.
        if (_bomBaseWorkP == nullptr)
            BomInit();
        BomSceneInit(rowP->bomTblP);
    }
    return nullptr;
}

void *EffectNeyaSceneExec(uint8_t *, uint16_t aFrameNum, uint8_t *, uint32_t *aOptionP)
{
    const _efxNeyaScnTable *rowP = _neyaRow(aOptionP);
    if (rowP == nullptr)
        return nullptr;
    if (rowP->lightningTblP != nullptr)
        LightningSceneExec();
    if (rowP->bomTblP != nullptr)
        BomSceneExec(aFrameNum, rowP->bomTblP);
    return nullptr;
}

void *EffectNeyaSceneDraw(uint8_t *, uint16_t, uint8_t *, uint32_t *aOptionP)
{
    if (_neyaRow(aOptionP) == nullptr)
        return nullptr;
    LightningSceneDraw();
    BomSceneDraw();
    return nullptr;
}

void *EffectNeyaSceneExit(uint8_t *, uint16_t, uint8_t *, uint32_t *aOptionP)
{
    const _efxNeyaScnTable *rowP = _neyaRow(aOptionP);
    if (rowP == nullptr)
        return nullptr;
    LightningSceneExit();
    BomSceneExit(rowP->bomTblP);
    return nullptr;
}

void *EffectNeyaSceneRest(uint8_t *, uint16_t, uint8_t *, uint32_t *aOptionP)
{
    if (_neyaRow(aOptionP) == nullptr)
        return nullptr;
    LightningSceneRest();
    BomSceneRest();
    return nullptr;
}

void *EffectShapeSceneInit(uint8_t *aSceneP, uint16_t, uint8_t *, uint32_t *)
{
    _eachEffectShape((Scene *)aSceneP, [](_shape *aShapeP, const EffectDef *aDefP) {
        if (aShapeP->GetEffectPtr() != nullptr)
            return;
        ShapeEffect *effectP = new (std::nothrow) ShapeEffect(aDefP->effect);
        if (effectP != nullptr)
            aShapeP->SetEffectPtr(effectP);
    });
    return nullptr;
}

void *EffectShapeSceneExec(uint8_t *aSceneP, uint16_t aFrameNum, uint8_t *, uint32_t *)
{
    Scene *sceneP = (Scene *)aSceneP;
    _eachEffectShape(sceneP, [&](_shape *aShapeP, const EffectDef *aDefP) {
        if (ShapeEffect *effectP = aShapeP->GetEffectPtr())
            effectP->option = sEffectShapeOption(aDefP, aFrameNum, sceneP->GetFrameCnt());
    });
    return nullptr;
}

void *EffectShapeSceneDraw(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    return nullptr;
}

void *EffectShapeSceneExit(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    return nullptr;
}

void *EffectShapeSceneRest(uint8_t *, uint16_t, uint8_t *, uint32_t *)
{
    return nullptr;
}
