#include "App/Scene/Scene.h"

#include <mmsystem.h>
#include <ddraw.h>
#include <d3d.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "App/App/AppCore.h"
#include "App/CtrlPanel/CtrlPanel.h"
#include "Library/Coord/COORDLIB.h"
#include "Common/DEBUGWIN.h"
#include "System/Draw/DrawMan.h"
#include "System/Particle/Particle.h"
#include "System/Shape/Shape.h"
#include "System/Sound/Sound.h"
#include "System/Sprite/Sprite.h"
#include "System/Texture/TEXMAN.h"

int64_t gSceneFrameTime = 0;

int64_t mGetPerformanceCounter(void)
{
    LARGE_INTEGER v;
    QueryPerformanceCounter(&v);
    return v.QuadPart;
}

static const float _PI = 3.14159265358979f;
static const char _soundFolder[] = "Data\\Kss\\";

static bool _soundOn(void)
{
    return soundClassP != nullptr && soundClassP->GetDsP() != nullptr;
}

static bool _musicLoaded(void)
{
    return bgmVoiceNum != -1;
}

static void _debugMsg(const char *aFormatP, ...)
{
    char text[300];
    va_list args;
    va_start(args, aFormatP);
    std::vsnprintf(text, sizeof text, aFormatP, args);
    va_end(args);
    sDebugWinPrintMsg(text);
}

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

static _coord *_coordOf(_sceneShape *aShapeP)
{
    return aShapeP != nullptr && aShapeP->shapeP != nullptr ? aShapeP->shapeP->GetCoordPtr() : nullptr;
}

static void _drawLodingBar(const _sceneOptionDef *aOptionDefP, long aPercent);

// ---------------------------------------------------------------- life

Scene::Scene()
{
    _status = 0;
    _prevTime = 0;
    _addTime = 0.0f;
    _framePos = _frameCnt = _frameStep = 0;
    _fps = 30.0f;
    _shapeCnt = _lightCnt = _cameraCnt = _spriteCnt = _particleCnt = 0;
    _shapeP = nullptr;
    _lightP = nullptr;
    _cameraP = nullptr;
    _spriteP = nullptr;
    _particleP = nullptr;
    std::memset(&_illuminate, 0, sizeof _illuminate);
    _illuminate.ambientColor = 0xFFFFFF;
    _illuminate.ambientIntensity = 0.1f;
    std::memset(&_fog, 0, sizeof _fog);
    _fog.mode = 0;
    _fog.minDist = 0.0f;
    _fog.maxDist = 2000.0f;
    _fog.minAmount = 0.0f;
    _fog.maxAmount = 0.5f;
    _fog.color = 0x00FF00;
    _seCnt = 0;
    _seP = _curSeP = nullptr;
    _vertexCnt = _polyCnt = 0;
    _nearDist = _farDist = 0.0f;
    _backColor = 0;
    _cps = 0.0;
    _workSize = 0;
    _workP = nullptr;
    _initProcP = _execProcP = _drawProcP = _exitProcP = _restProcP = nullptr;
    std::memset(_sceneOptionFlg, 0, sizeof _sceneOptionFlg);
    _drawHeldB = false;
}

Scene::~Scene()
{
    _release();
}

void Scene::_release(void)
{
    // The draw manager's registries and light slots are this scene's only when it loaded.
    if (_drawHeldB) {
        sDrawFreeShapeInfo();
        sDrawFreeParticleInfo();
        sDrawFreeShadowCast();
        sDrawSetState(D3DRENDERSTATE_FOGENABLE, FALSE);
        sDrawSetState(D3DRENDERSTATE_LIGHTING, FALSE);
        for (long i = 0; i < _lightCnt && i < DRAW_LIGHT_MAX; i++) {
            if (_drawLight *slot = drawMan.lightP[i]) {
                slot->SetEnable(0);
                slot->FreeMapTexture();
            }
        }
        _drawHeldB = false;
    }
    for (long i = 0; _shapeP && i < _shapeCnt; i++) {
        _sceneShape &s = _shapeP[i];
        std::free(s.frameP);
        std::free(s.aviP);
        std::free(s.dissolveFrameP);
        std::free(s.morphFrameP);
    }
    for (long i = 0; _lightP && i < _lightCnt; i++) {
        std::free(_lightP[i].frameP);
        std::free(_lightP[i].colorP);
        std::free(_lightP[i].intensityP);
    }
    for (long i = 0; _cameraP && i < _cameraCnt; i++) {
        std::free(_cameraP[i].frameP);
        std::free(_cameraP[i].zoomFactorP);
    }
    for (long i = 0; _spriteP && i < _spriteCnt; i++) {
        std::free(_spriteP[i].frameP);
        std::free(_spriteP[i].patternFrameP);
    }
    for (long i = 0; _particleP && i < _particleCnt; i++)
        std::free(_particleP[i].frameP);
    std::free(_illuminate.ambientIntensityP);
    std::free(_fog.minDistP);
    std::free(_fog.maxDistP);
    std::free(_fog.minAmountP);
    std::free(_fog.maxAmountP);
    _illuminate.ambientIntensityP = nullptr;
    _fog.minDistP = _fog.maxDistP = _fog.minAmountP = _fog.maxAmountP = nullptr;

    // Children hang under their parents' nodes, so the objects go after every record is done with.
    for (long i = 0; _spriteP && i < _spriteCnt; i++)
        delete _spriteP[i].spriteP;
    for (long i = 0; _particleP && i < _particleCnt; i++)
        delete _particleP[i].particleP;
    for (long i = 0; _shapeP && i < _shapeCnt; i++)
        delete _shapeP[i].shapeP;
    std::free(_shapeP);
    std::free(_lightP);
    std::free(_cameraP);
    std::free(_spriteP);
    std::free(_particleP);
    _shapeP = nullptr;
    _lightP = nullptr;
    _cameraP = nullptr;
    _spriteP = nullptr;
    _particleP = nullptr;
    _shapeCnt = _lightCnt = _cameraCnt = _spriteCnt = _particleCnt = 0;

    std::free(_seP);
    _seP = _curSeP = nullptr;
    _seCnt = 0;
    std::free(_workP);
    _workP = nullptr;
    _workSize = 0;
    _status &= (uint16_t)~(SCENE_LOADED | SCENE_START);
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
    const uint32_t startTime = timeGetTime();

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
            _debugMsg("シェイプ %ld のキーが範囲外", i);
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
        _drawLodingBar(aOptionDefP, 10 + 70 * i / _shapeCnt);
    }
    for (long i = 0; i < _shapeCnt; i++)
        _shapeP[i].shapeP->ConnectCoordSuper(_coordOf(_shapeP[i].parentP));
    _drawLodingBar(aOptionDefP, 80);

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
        if (d.defP != nullptr && (s.spriteP = new (std::nothrow) _sprite(d.defP, _coordOf(s.parentP))) == nullptr)
            return -1;
        _drawLodingBar(aOptionDefP, 80 + 10 * i / _spriteCnt);
    }
    _drawLodingBar(aOptionDefP, 90);

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
            if ((p.particleP = new (std::nothrow) _particle(d.defP, _coordOf(p.parentP))) == nullptr)
                return -1;
            sDrawEntryParticleInfo((uint16_t)i, p.particleP, d.defP, d.name);
        }
        _drawLodingBar(aOptionDefP, 90 + 10 * i / _particleCnt);
    }
    _drawLodingBar(aOptionDefP, 100);
    return 0;
}

void Scene::_loadSound(const char *aSoundNameP, const _sceneSeDef *aSeDefP, uint32_t aSoundFlg)
{
    char path[sizeof _soundFolder + SCENE_NAME_SIZE];
    if ((aSoundFlg & 0x1) && aSoundNameP != nullptr && _soundOn()) {
        soundClassP->StopAll();
        std::snprintf(path, sizeof path, "%s%s", _soundFolder, aSoundNameP);
        bgmVoiceNum = (int32_t)soundClassP->Load(path, 1, 120);
    }
    if (aSoundFlg & 0x2)
        _status |= SCENE_FADE_MUSIC;

    if (aSeDefP == nullptr || !_soundOn())
        return;
    const long n = sSceneSeCount(aSeDefP);
    if (n <= 0)
        return;
    _sceneSe *listP = (_sceneSe *)std::calloc((size_t)n + 1, sizeof(_sceneSe));
    soundClassP->ReleaseSE();
    _soundSE *objP = listP ? soundClassP->AllocSE((int32_t)n) : nullptr;
    if (objP == nullptr) {
        _debugMsg("%d SEオブジェクト生成失敗", (int)n);
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

// Keeps the loading screen up until waitTime has passed since loading began.
static uint32_t _lastFlipTime = 0;

void Scene::_keepLoadingScreen(uint32_t aStartTime, uint32_t aWaitTime)
{
    while ((int64_t)(int32_t)(_lastFlipTime - aStartTime) <= (int64_t)aWaitTime) {
        const uint32_t now = timeGetTime();
        if (now - _lastFlipTime > 33) {
            sDrawFlipBuffer();
            _lastFlipTime = now;
        } else {
            Sleep(1);
        }
    }
}

// ---------------------------------------------------------------- frames

uint16_t Scene::Frame(uint32_t aMilliSeconds)
{
    _sceneClock clock = {_status, _prevTime, _addTime, _framePos, _frameCnt, _fps};
    const long run = sSceneClockAdvance(&clock, aMilliSeconds);
    _status = clock.status;
    _prevTime = clock.prevTime;
    _addTime = clock.addTime;
    _framePos = clock.framePos;
    if (run == SCENE_CLOCK_IDLE)
        return _status;
    if (run == SCENE_CLOCK_STARTED && _soundOn() && _musicLoaded())
        soundClassP->Play((uint32_t)bgmVoiceNum);

    if (_status & SCENE_ADVANCED) {
        const int64_t t0 = mGetPerformanceCounter();
        sDrawStartShadowCastFrame();
        _updateRecords();
        gSceneFrameTime += mGetPerformanceCounter() - t0;
    }

    if (!(_status & SCENE_LOOP)) {
        const bool wasEnded = (_status & SCENE_ENDED) != 0;
        sSceneClockEnd(&clock);
        _status |= clock.status & SCENE_ENDED;
        if ((_status & SCENE_FADE_MUSIC) && _soundOn() && _musicLoaded()) {
            switch (sSceneFadeAction(_framePos, _frameCnt)) {
            case SCENE_FADE_STEP:
                soundClassP->SetBGMVolume(0, soundClassP->GetBGMVolume(0) - 1);
                break;
            case SCENE_FADE_LAST:
                if (!wasEnded) {
                    // Stopped voices are freed: the music is no longer loaded.
                    if (soundClassP->StopAll() == 0)
                        bgmVoiceNum = -1;
                    soundClassP->ReleaseSE();
                    // The effect objects are gone: no cue may reach them again.
                    if (_seP != nullptr) {
                        for (long i = 0; i < _seCnt; i++)
                            _seP[i].seObjP = nullptr;
                        _curSeP = &_seP[_seCnt - 1];
                    }
                }
                break;
            }
        }
    }
    return _status;
}

void Scene::_updateRecords(void)
{
    const bool loop = (_status & SCENE_LOOP) != 0;
    for (long i = 0; i < _shapeCnt; i++)
        sSceneShapeFrame(&_shapeP[i], _framePos, loop);
    for (long i = 0; i < _lightCnt; i++)
        sSceneLightFrame(&_lightP[i], _framePos, _frameCnt, loop);
    for (long i = 0; i < _cameraCnt; i++)
        sSceneCameraFrame(&_cameraP[i], _framePos, _frameCnt, loop);
    for (long i = 0; i < _spriteCnt; i++)
        sSceneSpriteFrame(&_spriteP[i], _framePos, loop);
    for (long i = 0; i < _particleCnt; i++)
        sSceneParticleFrame(&_particleP[i], _framePos, loop);
    if (sSceneIlluminateFrame(&_illuminate, _framePos, _frameCnt))
        _status |= SCENE_AMBIENT_CHANGED;
    if (sSceneFogFrame(&_fog, _framePos, _frameCnt))
        _status |= SCENE_FOG_CHANGED;
    const uint32_t due = sSceneCueDue(_curSeP, _framePos);
    const bool sound = _soundOn();
    for (uint32_t k = 0; k < due; k++, _curSeP++)
        if (sound && _curSeP->seObjP != nullptr)
            _curSeP->seObjP->Play();
}

// ---------------------------------------------------------------- records into objects

long Scene::SetShape(long aNum)
{
    _sceneShape *s = GetShape(aNum);
    if (s == nullptr || s->shapeP == nullptr)
        return 0;
    _shape *o = s->shapeP;
    const float deg = 180.0f * (1.0f / _PI);
    o->SetTransX(s->trans.x);
    o->SetTransY(s->trans.y);
    o->SetTransZ(s->trans.z);
    o->SetAngleX(s->angle.x * deg);
    o->SetAngleY(s->angle.y * deg);
    o->SetAngleZ(s->angle.z * deg);
    o->SetScaleX(s->scale.x);
    o->SetScaleY(s->scale.y);
    o->SetScaleZ(s->scale.z);
    o->MakeLocalMatrix();
    if (s->dissolveFrameP)
        o->Dissolve(s->dissolveRate);
    if (s->morphFrameP)
        o->Morph(s->morphRate);
    return 0;
}

long Scene::SetSprite(long aNum)
{
    _sceneSprite *s = GetSprite(aNum);
    if (s == nullptr || s->spriteP == nullptr)
        return 0;
    _sprite *o = s->spriteP;
    o->SetPosX(s->trans.x);
    o->SetPosY(s->trans.y);
    o->SetPosZ(s->trans.z);
    o->SetRotate(s->angle.z * 180.0f * (1.0f / _PI));
    o->MakeLocalMatrix();
    o->CangePattern(s->pattern);
    return 0;
}

long Scene::SetParticle(long aNum)
{
    _sceneParticle *p = GetParticle(aNum);
    if (p == nullptr || p->particleP == nullptr)
        return 0;
    _particle *o = p->particleP;
    const float deg = 180.0f * (1.0f / _PI);
    o->SetTransX(p->trans.x);
    o->SetTransY(p->trans.y);
    o->SetTransZ(p->trans.z);
    o->SetAngleX(p->angle.x * deg);
    o->SetAngleY(p->angle.y * deg);
    o->SetAngleZ(p->angle.z * deg);
    o->SetScaleX(p->scale.x);
    o->SetScaleY(p->scale.y);
    o->SetScaleZ(p->scale.z);
    o->Move(_framePos);
    if ((long)_framePos >= (long)_frameCnt - 1)
        o->ResetFrame();
    return 0;
}

// A temporary node under aSuperP with the given pose, made and brought up to date.
static void _tempCoord(_coord *aSuperP, const D3DVECTOR &aTrans, const D3DVECTOR &aAngleDeg, const D3DVECTOR &aScale,
                       _coord *aOutP)
{
    sCoordInit(aSuperP, aOutP);
    _stat3d &st = aOutP->nowStat;
    st.tx = aTrans.x, st.ty = aTrans.y, st.tz = aTrans.z;
    st.rx = aAngleDeg.x, st.ry = aAngleDeg.y, st.rz = aAngleDeg.z;
    st.sx = aScale.x, st.sy = aScale.y, st.sz = aScale.z;
    sCoordMakeLocalMatrixAuto(aOutP);
    sCoordUpdate(aOutP);
}

long Scene::SetLight(long aNum)
{
    _sceneLight *l = GetLight(aNum);
    if (l == nullptr || aNum >= DRAW_LIGHT_MAX || drawMan.lightP[aNum] == nullptr)
        return 0;
    D3DVECTOR pos = l->trans;
    if (_coord *super = _coordOf(l->parentP)) {
        const D3DVECTOR zero = {};
        _coord tmp;
        _tempCoord(super, l->trans, zero, l->scale, &tmp);
        pos.x = tmp.world._41, pos.y = tmp.world._42, pos.z = tmp.world._43;
    }
    D3DLIGHT7 light;
    sSceneLightMake(l, pos, &light);
    _drawLight *slot = drawMan.lightP[aNum];
    slot->SetEnable(1);
    slot->SetShadowType(l->shadowType);
    slot->SetLight(&light);
    slot->Update();
    return 0;
}

long Scene::SetCamera(long aNum)
{
    _sceneCamera *c = GetCamera(aNum);
    _drawCamera *cam = drawMan.cameraP;
    if (c == nullptr || cam == nullptr)
        return 0;
    D3DVECTOR pos = c->trans, angle = c->angle;
    if (_coord *super = _coordOf(c->parentP)) {
        const float deg = 180.0f * (1.0f / _PI);
        _coord tmp;
        _tempCoord(super, c->trans, c->angle * deg, c->scale, &tmp);
        _stat3d st;
        sCoordDecomposition(&tmp.world, &st);
        pos.x = st.tx, pos.y = st.ty, pos.z = st.tz;
        const float rad = _PI / 180.0f;
        angle.x = st.rx * rad, angle.y = st.ry * rad, angle.z = st.rz * rad;
    }
    D3DVECTOR target;
    const D3DVECTOR *targetP = nullptr;
    if (_coord *t = _coordOf(c->targetP)) {
        sCoordUpdate(t);
        target.x = t->world._41, target.y = t->world._42, target.z = t->world._43;
        targetP = &target;
    }
    sSceneCameraVectors(pos, angle, c->focalDistance, targetP, &c->lookAt, &c->upVec);
    c->eyePos = pos;
    cam->SetLookAtPos(c->lookAt);
    cam->SetEyePos(c->eyePos);
    cam->SetUpVec(c->upVec);
    cam->SetFovAngle(c->fovAngle);
    cam->Update();
    return 0;
}

long Scene::UpdateShape(long aNum)
{
    if (_sceneShape *s = GetShape(aNum))
        if (s->shapeP)
            s->shapeP->Update();
    return 0;
}

long Scene::UpdateSprite(long aNum)
{
    if (_sceneSprite *s = GetSprite(aNum))
        if (s->spriteP)
            s->spriteP->Update();
    return 0;
}

long Scene::UpdateParticle(long aNum)
{
    if (_sceneParticle *p = GetParticle(aNum))
        if (p->particleP)
            p->particleP->Update();
    return 0;
}

long Scene::SetIlluminate(void)
{
    IDirect3DDevice7 *dev = drawMan.d3dDevP;
    if (dev == nullptr)
        return 0;
    D3DDEVICEDESC7 desc = {};
    // Without lights of its own the device shows everything at full ambient.
    if (FAILED(dev->GetCaps(&desc)) || !(desc.dwVertexProcessingCaps & D3DVTXPCAPS_DIRECTIONALLIGHTS)) {
        sDrawSetState(D3DRENDERSTATE_AMBIENT, 0xFFFFFFFF);
        return 0;
    }
    sDrawSetState(D3DRENDERSTATE_LIGHTING, TRUE);
    sDrawSetState(D3DRENDERSTATE_AMBIENT, sSceneAmbientColor(_illuminate.ambientColor, _illuminate.ambientIntensity));
    return 0;
}

long Scene::SetFog(void)
{
    IDirect3DDevice7 *dev = drawMan.d3dDevP;
    if (_fog.mode == 0 || dev == nullptr)
        return 0;
    const _sceneFogValue v = sSceneFogValue(&_fog, _backColor);
    sDrawSetState(D3DRENDERSTATE_FOGENABLE, TRUE);
    if (!sDrawTableFogEntry(_fog.mode, v.color, v.start, v.end, v.density))
        sDrawVertexFogEntry(_fog.mode, v.color, v.start, v.end, v.density);
    _debugMsg("MIN:(%f)", v.start);
    _debugMsg("MAX:(%f)", v.end);
    _debugMsg("DEN:(%f)", v.density);
    _debugMsg("COL:(%x)", (unsigned)v.color);
    return 0;
}

// ---------------------------------------------------------------- drawing

long Scene::Render(void)
{
    if (!(_status & SCENE_LOADED) || (_status & SCENE_HIDDEN))
        return 0;
    DWORD option = 0;
    if (_status & SCENE_DRAW_NO_BOX)
        option |= ShapeDrawFlgNoBoundingBox;
    if (_status & SCENE_DRAW_LOOSE_BOX)
        option |= ShapeDrawFlgBoundingBoxLoose;
    if (!sDrawBeginScene())
        return 0;
    for (long i = 0; i < _shapeCnt; i++) {
        _sceneShape &s = _shapeP[i];
        if (s.aviCnt)
            _updateMovies(&s);
        if (!(s.status & SCENE_SHAPE_HIDDEN) && s.shapeP)
            s.shapeP->Draw(option | ShapeDrawFlgNil, nullptr);
    }
    for (long i = 0; i < _spriteCnt; i++)
        if (_spriteP[i].spriteP)
            _spriteP[i].spriteP->Draw(ShapeDrawFlgNil, nullptr);
    for (long i = 0; i < _shapeCnt; i++)
        if (!(_shapeP[i].status & SCENE_SHAPE_HIDDEN) && _shapeP[i].shapeP)
            _shapeP[i].shapeP->Draw(option | ShapeDrawFlgAlpha, nullptr);
    for (long i = 0; i < _spriteCnt; i++)
        if (_spriteP[i].spriteP)
            _spriteP[i].spriteP->Draw(ShapeDrawFlgAlpha, nullptr);
    for (long i = 0; i < _particleCnt; i++)
        if (_particleP[i].particleP)
            _particleP[i].particleP->Draw();
    for (long i = 0; i < _lightCnt && i < DRAW_LIGHT_MAX; i++)
        if (drawMan.lightP[i])
            drawMan.lightP[i]->DrawMapTexture();
    sDrawEndScene();
    return 0;
}

// The pixels of a packed device-independent bitmap, after its header and colour table; null for
// a layout the copy cannot read.
static const uint8_t *_dibPixels(const BITMAPINFOHEADER *aInfoP)
{
    if (aInfoP->biSize < sizeof(BITMAPINFOHEADER) || aInfoP->biSize > 1024 || aInfoP->biWidth <= 0 ||
        aInfoP->biHeight == 0 || aInfoP->biPlanes != 1)
        return nullptr;
    size_t table = 0;
    if (aInfoP->biCompression == BI_BITFIELDS) {
        // Only the 5-5-5 masks are read as such.
        const DWORD *maskP = (const DWORD *)((const uint8_t *)aInfoP + aInfoP->biSize);
        if (aInfoP->biBitCount != 16 || maskP[0] != 0x7C00 || maskP[1] != 0x03E0 || maskP[2] != 0x001F)
            return nullptr;
        table = aInfoP->biSize == sizeof(BITMAPINFOHEADER) ? 3 * sizeof(DWORD) : 0;
    } else if (aInfoP->biCompression != BI_RGB) {
        return nullptr;
    }
    table += (size_t)(aInfoP->biClrUsed > 256 ? 256 : aInfoP->biClrUsed) * sizeof(RGBQUAD);
    return (const uint8_t *)aInfoP + aInfoP->biSize + table;
}

long Scene::_updateMovies(_sceneShape *aShapeP)
{
    bool active = false;
    long result = 0;
    for (uint32_t k = 0; k < aShapeP->aviCnt && result == 0; k++) {
        const _sceneAvi &avi = aShapeP->aviP[k];
        _texPage *page = sTexGetPagePtr(avi.texPageNum);
        if (page == nullptr || page->aviInfoP == nullptr || page->aviInfoP->getFrameP == nullptr || !page->sufP)
            continue;
        const long m = sSceneAviFrame(&avi, _framePos, page->aviInfoP->streamInfo.dwLength);
        if (m < 0)
            continue;
        active = true;
        IDirectDrawSurface7 *suf = page->sufP;
        DDSURFACEDESC2 ddsd;
        std::memset(&ddsd, 0, sizeof ddsd);
        ddsd.dwSize = sizeof ddsd;
        HRESULT hr = suf->Lock(nullptr, &ddsd, DDLOCK_WRITEONLY | DDLOCK_WAIT, nullptr);
        if (FAILED(hr)) {
            result = hr;
            break;
        }
        const BITMAPINFOHEADER *info =
            (const BITMAPINFOHEADER *)AVIStreamGetFrame(page->aviInfoP->getFrameP, (LONG)m);
        const uint8_t *pixels = info ? _dibPixels(info) : nullptr;
        if (pixels == nullptr || ddsd.ddpfPixelFormat.dwRGBBitCount != 16 ||
            sSceneAviCopy(pixels, (uint32_t)info->biWidth,
                          (uint32_t)(info->biHeight < 0 ? -info->biHeight : info->biHeight), info->biBitCount,
                          (uint8_t *)ddsd.lpSurface, ddsd.dwWidth, ddsd.dwHeight, ddsd.lPitch,
                          ddsd.ddpfPixelFormat.dwGBitMask == 0x07E0) != 0)
            result = E_FAIL;
        suf->Unlock(nullptr);
    }
    if (active)
        aShapeP->status &= (uint16_t)~SCENE_SHAPE_HIDDEN;
    else
        aShapeP->status |= SCENE_SHAPE_HIDDEN;
    return result;
}

// ---------------------------------------------------------------- accessors and callbacks

_sceneShape *Scene::GetShape(long aNum)
{
    return _shapeP && aNum >= 0 && aNum < _shapeCnt ? &_shapeP[aNum] : nullptr;
}

_sceneLight *Scene::GetLight(long aNum)
{
    return _lightP && aNum >= 0 && aNum < _lightCnt ? &_lightP[aNum] : nullptr;
}

_sceneCamera *Scene::GetCamera(long aNum)
{
    return _cameraP && aNum >= 0 && aNum < _cameraCnt ? &_cameraP[aNum] : nullptr;
}

_sceneSprite *Scene::GetSprite(long aNum)
{
    return _spriteP && aNum >= 0 && aNum < _spriteCnt ? &_spriteP[aNum] : nullptr;
}

_sceneParticle *Scene::GetParticle(long aNum)
{
    return _particleP && aNum >= 0 && aNum < _particleCnt ? &_particleP[aNum] : nullptr;
}

void Scene::SetFramePos(long aFramePos)
{
    if (aFramePos >= 0 && aFramePos < _frameCnt)
        _framePos = (uint16_t)aFramePos;
}

void Scene::SetOptionFlg(long aNum, uint32_t aFlg)
{
    if (aNum >= 0 && aNum < 5)
        _sceneOptionFlg[aNum] = aFlg;
}

void Scene::_callProc(_sceneProc aProcP)
{
    if (aProcP)
        aProcP((uint8_t *)this, _framePos, _workP, _sceneOptionFlg);
}

void Scene::CallInit(void)
{
    _callProc(_initProcP);
}

void Scene::CallExec(void)
{
    _callProc(_execProcP);
}

void Scene::CallDraw(void)
{
    _callProc(_drawProcP);
}

void Scene::CallExit(void)
{
    _callProc(_exitProcP);
}

void Scene::CallRest(void)
{
    _callProc(_restProcP);
}

// ---------------------------------------------------------------- loading screen

static const char _interfacePack[] = "Data\\Ksf\\09.ksf";

struct _resultDef {
    const char *thumbNailBmpName;
    const char *BenchDataBmpName;
};

static const _resultDef _resultDefTbl[CP_TEST_NUM] = {
    {"Data\\Com\\sf_ninja_2.bmp", "Data\\Com\\BenchMarkData01.bmp"},
    {"Data\\Com\\sf_ninja_2.bmp", "Data\\Com\\BenchMarkData02.bmp"},
    {"Data\\Com\\last_2.bmp", "Data\\Com\\BenchMarkData03.bmp"},
    {"Data\\Com\\last_2.bmp", "Data\\Com\\BenchMarkData04.bmp"},
    {"Data\\Com\\space_21_2.bmp", "Data\\Com\\BenchMarkData05.bmp"},
    {"Data\\Com\\space_21_2.bmp", "Data\\Com\\BenchMarkData06.bmp"},
    {"Data\\Com\\water_2.bmp", "Data\\Com\\BenchMarkData07.bmp"},
    {"Data\\Com\\2d_2.bmp", "Data\\Com\\BenchMarkData08.bmp"},
    {"Data\\Com\\default_ship_2.bmp", "Data\\Com\\BenchMarkData09.bmp"},
    {"Data\\Com\\user_ship_2.bmp", "Data\\Com\\BenchMarkData10.bmp"},
};

enum { _BMP_OPAQUE = 0, _BMP_KEY_BLACK = 1, _BMP_KEY_WHITE = 2 };

// A picture of the interface package, loaded for this one call.
static IDirectDrawSurface7 *_loadBmp(const char *aBmpNameP, long aMode)
{
    IDirectDrawSurface7 *suf = loadKsf(_interfacePack, aBmpNameP, nullptr, 0);
    if (suf != nullptr && aMode != _BMP_OPAQUE) {
        DDCOLORKEY key;
        key.dwColorSpaceLowValue = key.dwColorSpaceHighValue = aMode == _BMP_KEY_BLACK ? 0 : 0xFFFFFFFF;
        suf->SetColorKey(DDCKEY_SRCBLT, &key);
    }
    return suf;
}

static void _blt(IDirectDrawSurface7 *aSufP, RECT *aSrcP, long aX, long aY, long aW, long aH, long aMode)
{
    RECT dst = {aX, aY, aX + aW, aY + aH};
    if (drawMan.backP && aW > 0 && aH > 0)
        drawMan.backP->Blt(&dst, aSufP, aSrcP, DDBLT_WAIT | (aMode != _BMP_OPAQUE ? DDBLT_KEYSRC : 0), nullptr);
}

static void _drawBmp(const char *aBmpNameP, long aPosX, long aPosY, long aWidth, long aHeight, long aMode)
{
    IDirectDrawSurface7 *suf = _loadBmp(aBmpNameP, aMode);
    if (suf == nullptr)
        return;
    _blt(suf, nullptr, aPosX, aPosY, aWidth, aHeight, aMode);
    suf->Release();
}

static void _drawNum(double aNum, long aPosX, long aPosY, long aOption, long aFloatingBeam, long aRightFlg)
{
    uint8_t glyph[SCENE_NUM_GLYPH_MAX];
    const long n = sSceneNumGlyphs(aNum, aFloatingBeam, aOption, glyph);
    IDirectDrawSurface7 *suf = _loadBmp("Data\\Com\\r_Number.bmp", _BMP_KEY_BLACK);
    if (suf == nullptr)
        return;
    long x = aPosX;
    if (aRightFlg == 1)
        for (long i = 0; i < n; i++)
            x -= sSceneGlyphWidth(glyph[i]);
    for (long i = 0; i < n; i++) {
        RECT src = {sceneGlyphTbl[glyph[i]][0], 0, sceneGlyphTbl[glyph[i]][1], SCENE_GLYPH_HEIGHT};
        const long w = sSceneGlyphWidth(glyph[i]);
        _blt(suf, &src, x, aPosY, w, SCENE_GLYPH_HEIGHT, _BMP_KEY_BLACK);
        x += w;
    }
    suf->Release();
}

// The score row of the last finished step: a test, or after the last test the overall score.
static const _cpScore *_lastScore(void)
{
    const int32_t step = cpWork.lastStep;
    if (step >= 0 && step < CP_TEST_NUM)
        return &cpWork.score[step];
    return step == CP_TEST_NUM ? &cpWork.overallScore : nullptr;
}

static void _drawResult(long aWidth, long aHeight)
{
    _drawBmp("Data\\Com\\result3_fin.bmp", 0, 0, aWidth, aHeight, _BMP_OPAQUE);
    if (const _cpScore *score = _lastScore()) {
        uint8_t digit[9];
        const long k = sSceneScoreDigits(score->score, digit);
        if (IDirectDrawSurface7 *suf = _loadBmp("Data\\Com\\r_Score.bmp", _BMP_KEY_BLACK)) {
            for (long i = 0; i < k; i++) {
                RECT src = {64 * digit[i], 0, 64 * digit[i] + 64, 96};
                const _sceneRect r = sSceneScoreDigitRect(aWidth, aHeight, k, i);
                _blt(suf, &src, r.left, r.top, r.right - r.left, r.bottom - r.top, _BMP_KEY_BLACK);
            }
            suf->Release();
        }
        _drawBmp("Data\\Com\\r_FpsTitle.bmp", sSceneScaleX(208, aWidth), sSceneScaleY(64, aHeight),
                 sSceneScaleX(128, aWidth), sSceneScaleY(64, aHeight), _BMP_KEY_BLACK);
        _drawNum(score->fpsAve, sSceneScaleX(336, aWidth), sSceneScaleY(112, aHeight), 11, 2, 0);
    }
    if (cpWork.lastStep >= 0 && cpWork.lastStep < CP_TEST_NUM) {
        const _resultDef &row = _resultDefTbl[cpWork.lastStep];
        _drawBmp(row.thumbNailBmpName, sSceneScaleX(496, aWidth), sSceneScaleY(140, aHeight),
                 sSceneScaleX(128, aWidth), sSceneScaleY(128, aHeight), _BMP_OPAQUE);
        _drawBmp(row.BenchDataBmpName, sSceneScaleX(488, aWidth), sSceneScaleY(272, aHeight),
                 sSceneScaleX(144, aWidth), sSceneScaleY(160, aHeight), _BMP_OPAQUE);
    }
}

static void _clearRect(long aLeft, long aTop, long aRight, long aBottom, uint32_t aColor)
{
    D3DRECT r = {aLeft, aTop, aRight, aBottom};
    if (drawMan.d3dDevP && aRight > aLeft && aBottom > aTop)
        drawMan.d3dDevP->Clear(1, &r, D3DCLEAR_TARGET, aColor, 1.0f, 0);
}

static void _drawLodingBar(const _sceneOptionDef *aOptionDefP, long aPercent)
{
    if (aOptionDefP == nullptr || drawMan.d3dDevP == nullptr || drawMan.backP == nullptr)
        return;
    const long w = drawMan.screenWidth, h = drawMan.screenHeight;
    const uint16_t status = aOptionDefP->status;
    const uint32_t bench = cpWork.env[0].benchOption;
    bool bar = false, benchScreen = false;
    if (status & SCENE_OPT_CLOSING_SCREEN) {
        if (aPercent == 0) {
            sDrawSetBackColor(0, 0, 0);
            sDrawClear();
            _drawBmp("Data\\Com\\NowLoading_fin.bmp", 0, 0, w, h, _BMP_OPAQUE);
        }
        bar = (status & SCENE_OPT_PROGRESS_BAR) != 0;
    } else if (status & SCENE_OPT_BENCH_SCREEN) {
        if ((status & SCENE_OPT_SKIP_SCREEN) && (bench & CP_OPTION_LOOP))
            return;
        benchScreen = true;
        if (aPercent == 0) {
            sDrawSetBackColor(0, 0, 0);
            sDrawClear();
            if (cpWork.lastStep == -1)
                _drawBmp("Data\\Com\\NowLoading_fin.bmp", 0, 0, w, h, _BMP_OPAQUE);
            else
                _drawResult(w, h);
        }
        if (!(bench & CP_OPTION_CHALLENGE)) {
            if (status & SCENE_OPT_PROGRESS_BAR) {
                if (aPercent == 0) {
                    const long top = (long)((double)h * 0.9395833);
                    _drawBmp("Data\\Com\\r_NowLoading.bmp", 0, top, w, h - top, _BMP_OPAQUE);
                }
                bar = true;
            }
        } else {
            _clearRect(0, h * 15 / 16, w, h, 0);  // 0.9375 of the height
        }
    } else {
        return;
    }
    if (bar) {
        const _sceneRect r = sSceneLoadBarRect(w, h, aPercent, benchScreen);
        _clearRect(r.left, r.top, r.right, r.bottom, 0x54FCAF);
    }
    const uint32_t now = timeGetTime();
    if (now - _lastFlipTime > 33 || aPercent < 5 || aPercent > 95) {
        sDrawFlipBufferDirect();
        _lastFlipTime = now;
    }
}

void sceneDrawLodingScreen(const _sceneOptionDef *aOptionDefP)
{
    _drawLodingBar(aOptionDefP, 0);
}

void sceneDrawLodingStart(const _sceneOptionDef *aOptionDefP)
{
    _drawLodingBar(aOptionDefP, 10);
}

void sceneUpdateAll(Scene *aSceneP, uint16_t aStatus)
{
    const long shapes = aSceneP->GetShapeCnt(), lights = aSceneP->GetLightCnt();
    const long cameras = aSceneP->GetCameraCnt(), sprites = aSceneP->GetSpriteCnt();
    const long particles = aSceneP->GetParticleCnt();
    for (long i = 0; i < shapes; ++i)
        aSceneP->SetShape(i);
    for (long i = 0; i < lights; ++i)
        aSceneP->SetLight(i);
    for (long i = 0; i < cameras; ++i)
        aSceneP->SetCamera(i);
    for (long i = 0; i < sprites; ++i)
        aSceneP->SetSprite(i);
    for (long i = 0; i < particles; ++i)
        aSceneP->SetParticle(i);
    for (long i = 0; i < shapes; ++i)
        aSceneP->UpdateShape(i);
    for (long i = 0; i < sprites; ++i)
        aSceneP->UpdateSprite(i);
    for (long i = 0; i < particles; ++i)
        aSceneP->UpdateParticle(i);
    if (aStatus & 0x0100)
        aSceneP->SetIlluminate();
    if (aStatus & 0x0200)
        aSceneP->SetFog();
    aSceneP->CallExec();
}
