// Loading a scene: its records and tracks copied from the definition, its objects built, its
// music and sound-effect cues.

#include "App/Scene/Scene.h"

#include <mmsystem.h>
#include <ddraw.h>
#include <d3d.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "App/CtrlPanel/CtrlPanel.h"
#include "Library/Coord/COORDLIB.h"
#include "Common/DEBUGWIN.h"
#include "System/Draw/DrawMan.h"
#include "System/Particle/Particle.h"
#include "System/Shape/Shape.h"
#include "System/Sound/Sound.h"
#include "System/Sys/SYSTEM.h"
#include "System/Sprite/Sprite.h"
#include "System/Texture/TEXMAN.h"
#include "App/Scene/SceneInt.h"

static const char _soundFolder[] = "Data\\Kss\\";

static D3DVECTOR _vec(const _sceneVectorDef &aV)
{
    D3DVECTOR r;
    r.x = aV.vx, r.y = aV.vy, r.z = aV.vz;
    return r;
}

// A copy of a definition's track, owned by the scene; null when the definition has none. *aFailP
// is set when memory runs out.
template <class T>
static T *_copyTrack(const T *aSrcP, uint32_t aCount, bool *aFailP)
{
    if (aSrcP == nullptr || aCount == 0)
        return nullptr;
    T *p = (T *)std::malloc(sizeof(T) * (size_t)aCount);
    if (p == nullptr) {
        *aFailP = true;
        return nullptr;
    }
    std::memcpy(p, aSrcP, sizeof(T) * (size_t)aCount);
    return p;
}

// Base pose and expanded frames of any object; false when its key data leaves its tables.
template <class R, class D>
static bool _loadMotion(R *aRecP, const D &aDef)
{
    aRecP->trans = _vec(aDef.trans);
    aRecP->angle = _vec(aDef.angle);
    aRecP->scale = _vec(aDef.scale);
    const _sceneMotionDef motion = sSceneGetMotion(aDef);
    const long n = sSceneExpandKeys(&motion, &aRecP->frameP);
    if (n < 0)
        return false;
    aRecP->frameCnt = (uint32_t)n;
    return true;
}

static _sceneShape *_parentOf(_sceneShape *aShapeP, uint16_t aShapeCnt, int32_t aNum)
{
    return aShapeP != nullptr && aNum >= 0 && aNum < (int32_t)aShapeCnt ? &aShapeP[aNum] : nullptr;
}

// ---------------------------------------------------------------- loading

long Scene::Load(_sceneDef *aDefP, const _sceneOptionDef *aOptionDefP, const char *aSoundNameP,
                 const _sceneSeDef *aSeDefP, uint32_t aSoundFlg, const _sceneRunOpt *aRunP)
{
    // A second Load starts from nothing.
    _release();
    _status &= (uint16_t)~(SCENE_ENDED | SCENE_AMBIENT_CHANGED | SCENE_FOG_CHANGED | SCENE_FADE_MUSIC |
                           SCENE_DRAW_NO_BOX | SCENE_DRAW_LOOSE_BOX);
    _initProcP = _execProcP = _drawProcP = _exitProcP = _restProcP = nullptr;
    const uint32_t startTime = sSysMilliTime();

    if (aDefP != nullptr) {
        if (_loadObjects(aDefP, aOptionDefP, aRunP) != 0) {
            _release();
            return E_INVALIDARG;
        }
        _loadSound(aSoundNameP, aSeDefP, aSoundFlg);

        bool fail = false;
        _illuminate.ambientColor = aDefP->illuminate.ambientColor;
        _illuminate.ambientIntensity = aDefP->illuminate.ambientIntensity;
        _illuminate.ambientIntensityP = _copyTrack(aDefP->illuminate.ambientIntensityP, _frameCnt, &fail);
        const _sceneFogDef &fog = aDefP->fog;
        _fog.mode = fog.mode;
        _fog.minDist = fog.minDist;
        _fog.maxDist = fog.maxDist;
        _fog.minAmount = fog.minAmount;
        _fog.maxAmount = fog.maxAmount;
        _fog.color = fog.color;
        _fog.backDropB = fog.backDropB;
        _fog.minDistP = _copyTrack(fog.minDistP, _frameCnt, &fail);
        _fog.maxDistP = _copyTrack(fog.maxDistP, _frameCnt, &fail);
        _fog.minAmountP = _copyTrack(fog.minAmountP, _frameCnt, &fail);
        _fog.maxAmountP = _copyTrack(fog.maxAmountP, _frameCnt, &fail);
        if (fail) {
            sDebugWinPrintMsg("シーントラック確保失敗 ");
            _release();
            return E_INVALIDARG;
        }
        sDrawInitShadowCast(_lightCnt, _shapeCnt);
    }

    if (aOptionDefP != nullptr) {
        _workSize = aOptionDefP->workSize;
        _initProcP = aOptionDefP->initProcP;
        _execProcP = aOptionDefP->execProcP;
        _drawProcP = aOptionDefP->drawProcP;
        _exitProcP = aOptionDefP->exitProcP;
        _restProcP = aOptionDefP->restProcP;
        if (_workSize > 0 && (_workP = (uint8_t *)std::calloc(1, _workSize)) == nullptr) {
            sDebugWinPrintMsg("シーンワーク確保失敗 ");
            _release();
            return E_INVALIDARG;
        }
        const uint32_t bench = aRunP ? aRunP->benchOption : 0;
        if (!((bench & CP_OPTION_CHALLENGE) && (bench & CP_OPTION_LOOP)))
            _keepLoadingScreen(startTime, aOptionDefP->waitTime);
    }

    _status |= SCENE_LOADED | SCENE_START;
    return 0;
}

long Scene::_loadObjects(_sceneDef *aDefP, const _sceneOptionDef *aOptionDefP, const _sceneRunOpt *aRunP)
{
    const _sceneDef &def = *aDefP;
    _frameCnt = def.frameCnt;
    _frameStep = def.frameStep;
    _fps = def.fps;
    _vertexCnt = def.vertexCnt;
    _polyCnt = def.polyCnt;
    _nearDist = def.nearDist;
    _farDist = def.farDist;
    _backColor = def.backColor;

    sDrawInitShapeInfo(def.shapeCnt);
    sDrawInitParticleInfo(def.particleCnt);
    _drawHeldB = true;
    if (aRunP && aRunP->loadProcP)
        aRunP->loadProcP(aDefP, def.shapeCnt);

    if (aOptionDefP != nullptr) {
        if (aOptionDefP->status & SCENE_OPT_NO_BOX)
            _status |= SCENE_DRAW_NO_BOX;
        if (aOptionDefP->status & SCENE_OPT_LOOSE_BOX)
            _status |= SCENE_DRAW_LOOSE_BOX;
    }

    // Each array is counted only once it exists, so a failure part way leaves nothing to trip on.
    bool fail = false;
    if (def.shapeCnt && (def.shapeP == nullptr ||
                         (_shapeP = (_sceneShape *)std::calloc(def.shapeCnt, sizeof(_sceneShape))) == nullptr))
        return -1;
    _shapeCnt = def.shapeCnt;
    for (long i = 0; i < _shapeCnt; i++) {
        const _sceneShapeDef &d = def.shapeP[i];
        _sceneShape &s = _shapeP[i];
        if (!_loadMotion(&s, d)) {
            _sceneDebugMsg("シェイプ %ld のキーが範囲外", i);
            return -1;
        }
        s.parentP = _parentOf(_shapeP, _shapeCnt, d.parentShapeNum);
        s.shapeP = new (std::nothrow) _shape(d.defP, d.shadowOptions);
        if (s.shapeP == nullptr)
            return -1;
        s.nameP = d.name;
        if (d.aviCnt && d.aviDefP) {
            if ((s.aviP = (_sceneAvi *)std::calloc(d.aviCnt, sizeof(_sceneAvi))) == nullptr)
                return -1;
            s.aviCnt = d.aviCnt;
            for (uint32_t k = 0; k < d.aviCnt; k++) {
                const _sceneAviDef &a = d.aviDefP[k];
                s.aviP[k].texPageNum = sTexPageCheckEntry(a.fileNameP);
                s.aviP[k].type = a.type;
                s.aviP[k].startFrame = a.startFrame;
                s.aviP[k].endFrame = a.endFrame;
                s.aviP[k].frameUnit = a.frameUnit;
            }
        }
        s.dissolveFrameP = _copyTrack(d.dissolveFrameP, d.dissolveFrameCnt, &fail);
        s.dissolveFrameCnt = s.dissolveFrameP ? d.dissolveFrameCnt : 0;
        s.morphFrameP = _copyTrack(d.morphFrameP, d.morphFrameCnt, &fail);
        s.morphFrameCnt = s.morphFrameP ? d.morphFrameCnt : 0;
        if (fail)
            return -1;
        sDrawEntryShapeInfo((uint16_t)i, s.shapeP);
        _sceneDrawLodingBar(aOptionDefP, 10 + 70 * i / _shapeCnt);
    }
    for (long i = 0; i < _shapeCnt; i++)
        _shapeP[i].shapeP->ConnectCoordSuper(_sceneCoordOf(_shapeP[i].parentP));
    _sceneDrawLodingBar(aOptionDefP, 80);

    if (def.lightCnt && (def.lightP == nullptr ||
                         (_lightP = (_sceneLight *)std::calloc(def.lightCnt, sizeof(_sceneLight))) == nullptr))
        return -1;
    _lightCnt = def.lightCnt;
    for (long i = 0; i < _lightCnt; i++) {
        const _sceneLightDef &d = def.lightP[i];
        _sceneLight &l = _lightP[i];
        if (!_loadMotion(&l, d))
            return -1;
        l.parentP = _parentOf(_shapeP, _shapeCnt, d.parentShapeNum);
        l.colorP = _copyTrack(d.colorP, _frameCnt, &fail);
        l.intensityP = _copyTrack(d.intensityP, _frameCnt, &fail);
        l.type = (D3DLIGHTTYPE)d.type;
        l.fallOffType = d.fallOffType;
        l.shadowType = d.shadowType;
        l.baseColor = d.baseColor;
        l.color = d.color;
        l.range = d.range;
        l.intensity = d.intensity;
        l.fallOff = d.fallOff;
        l.coneAngle = d.coneAngle;
        l.edgeAngle = d.edgeAngle;
        if (fail)
            return -1;
    }

    if (def.cameraCnt && (def.cameraP == nullptr ||
                          (_cameraP = (_sceneCamera *)std::calloc(def.cameraCnt, sizeof(_sceneCamera))) == nullptr))
        return -1;
    _cameraCnt = def.cameraCnt;
    for (long i = 0; i < _cameraCnt; i++) {
        const _sceneCameraDef &d = def.cameraP[i];
        _sceneCamera &c = _cameraP[i];
        if (!_loadMotion(&c, d))
            return -1;
        c.parentP = _parentOf(_shapeP, _shapeCnt, d.parentShapeNum);
        c.lookAt = _vec(d.lookAt);
        c.eyePos = _vec(d.eyePos);
        c.fovAngle = d.fovAngle;
        c.focalDistance = d.focalDistance;
        c.width = d.width;
        c.height = d.height;
        c.targetP = _parentOf(_shapeP, _shapeCnt, d.targetShapeNum);
        c.zoomFactorP = _copyTrack(d.zoomFactorP, _frameCnt, &fail);
        if (fail)
            return -1;
    }

    if (def.spriteCnt && (def.spriteP == nullptr ||
                          (_spriteP = (_sceneSprite *)std::calloc(def.spriteCnt, sizeof(_sceneSprite))) == nullptr))
        return -1;
    _spriteCnt = def.spriteCnt;
    for (long i = 0; i < _spriteCnt; i++) {
        const _sceneSpriteDef &d = def.spriteP[i];
        _sceneSprite &s = _spriteP[i];
        if (!_loadMotion(&s, d))
            return -1;
        s.patternFrameP = _copyTrack(d.patternFrameP, d.patternFrameCnt, &fail);
        s.patternFrameCnt = s.patternFrameP ? d.patternFrameCnt : 0;
        s.parentP = _parentOf(_shapeP, _shapeCnt, d.parentShapeNum);
        if (fail)
            return -1;
        if (d.defP != nullptr && (s.spriteP = new (std::nothrow) _sprite(d.defP, _sceneCoordOf(s.parentP))) == nullptr)
            return -1;
        _sceneDrawLodingBar(aOptionDefP, 80 + 10 * i / _spriteCnt);
    }
    _sceneDrawLodingBar(aOptionDefP, 90);

    if (def.particleCnt &&
        (def.particleP == nullptr ||
         (_particleP = (_sceneParticle *)std::calloc(def.particleCnt, sizeof(_sceneParticle))) == nullptr))
        return -1;
    _particleCnt = def.particleCnt;
    for (long i = 0; i < _particleCnt; i++) {
        const _sceneParticleDef &d = def.particleP[i];
        _sceneParticle &p = _particleP[i];
        if (!_loadMotion(&p, d))
            return -1;
        p.parentP = _parentOf(_shapeP, _shapeCnt, d.parentShapeNum);
        if (d.defP != nullptr) {
            if ((p.particleP = new (std::nothrow) _particle(d.defP, _sceneCoordOf(p.parentP))) == nullptr)
                return -1;
            sDrawEntryParticleInfo((uint16_t)i, p.particleP, d.defP, d.name);
        }
        _sceneDrawLodingBar(aOptionDefP, 90 + 10 * i / _particleCnt);
    }
    _sceneDrawLodingBar(aOptionDefP, 100);
    return 0;
}

void Scene::_loadSound(const char *aSoundNameP, const _sceneSeDef *aSeDefP, uint32_t aSoundFlg)
{
    char path[sizeof _soundFolder + SCENE_NAME_SIZE];
    if ((aSoundFlg & 0x1) && aSoundNameP != nullptr && _sceneSoundOn()) {
        soundClassP->StopAll();
        std::snprintf(path, sizeof path, "%s%s", _soundFolder, aSoundNameP);
        bgmVoiceNum = (int32_t)soundClassP->Load(path, 1, 120);
    }
    if (aSoundFlg & 0x2)
        _status |= SCENE_FADE_MUSIC;

    if (aSeDefP == nullptr || !_sceneSoundOn())
        return;
    const long n = sSceneSeCount(aSeDefP);
    if (n <= 0)
        return;
    _sceneSe *listP = (_sceneSe *)std::calloc((size_t)n + 1, sizeof(_sceneSe));
    soundClassP->ReleaseSE();
    _soundSE *objP = listP ? soundClassP->AllocSE((int32_t)n) : nullptr;
    if (objP == nullptr) {
        _sceneDebugMsg("%d SEオブジェクト生成失敗", (int)n);
        std::free(listP);
        return;
    }
    IDirectSound *ds = soundClassP->GetDsP();
    for (long i = 0; i < n; i++) {
        const _sceneSeDef &row = aSeDefP[i];
        listP[i].frameNum = (uint32_t)row.frameNum;
        listP[i].seObjP = &objP[i];
        long first = 0;
        while (first < i && std::strncmp(aSeDefP[first].fileName, row.fileName, SCENE_NAME_SIZE) != 0)
            first++;
        if (first < i) {
            objP[i].Duplicate(ds, &objP[first]);
        } else {
            std::snprintf(path, sizeof path, "%s%.*s", _soundFolder, (int)SCENE_NAME_SIZE, row.fileName);
            objP[i].Load(ds, path, row.vol);
        }
    }
    listP[n].frameNum = SCENE_SE_END;
    listP[n].seObjP = nullptr;
    _seP = _curSeP = listP;
    _seCnt = (uint16_t)(n + 1);
}
