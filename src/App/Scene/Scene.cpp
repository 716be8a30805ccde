// The scene class: life, frames, records into objects, drawing, accessors and callbacks.

#include "App/Scene/Scene.h"

#include <ddraw.h>
#include <d3d.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Library/Coord/COORDLIB.h"
#include "Common/DEBUGWIN.h"
#include "System/Draw/DrawMan.h"
#include "System/Particle/Particle.h"
#include "System/Shape/Shape.h"
#include "System/Sound/Sound.h"
#include "System/Sprite/Sprite.h"
#include "System/Texture/TEXMAN.h"
#include "App/Scene/SceneInt.h"

int64_t gSceneFrameTime = 0;

int64_t mGetPerformanceCounter(void)
{
    LARGE_INTEGER v;
    QueryPerformanceCounter(&v);
    return v.QuadPart;
}

static const float _PI = 3.14159265358979f;

bool _sceneSoundOn(void)
{
    return soundClassP != nullptr && soundClassP->GetDsP() != nullptr;
}

static bool _musicLoaded(void)
{
    return bgmVoiceNum != -1;
}

void _sceneDebugMsg(const char *aFormatP, ...)
{
    char text[300];
    va_list args;
    va_start(args, aFormatP);
    std::vsnprintf(text, sizeof text, aFormatP, args);
    va_end(args);
    sDebugWinPrintMsg(text);
}

_coord *_sceneCoordOf(_sceneShape *aShapeP)
{
    return aShapeP != nullptr && aShapeP->shapeP != nullptr ? aShapeP->shapeP->GetCoordPtr() : nullptr;
}

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
    if (run == SCENE_CLOCK_STARTED && _sceneSoundOn() && _musicLoaded())
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
        if ((_status & SCENE_FADE_MUSIC) && _sceneSoundOn() && _musicLoaded()) {
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
    const bool sound = _sceneSoundOn();
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
    if (_coord *super = _sceneCoordOf(l->parentP)) {
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
    if (_coord *super = _sceneCoordOf(c->parentP)) {
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
    if (_coord *t = _sceneCoordOf(c->targetP)) {
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
    if (FAILED(DEBUGWIN_CHECK(dev->GetCaps(&desc))) || !(desc.dwVertexProcessingCaps & D3DVTXPCAPS_DIRECTIONALLIGHTS)) {
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
    _sceneDebugMsg("MIN:(%f)", v.start);
    _sceneDebugMsg("MAX:(%f)", v.end);
    _sceneDebugMsg("DEN:(%f)", v.density);
    _sceneDebugMsg("COL:(%x)", (unsigned)v.color);
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
        HRESULT hr = DEBUGWIN_CHECK(suf->Lock(nullptr, &ddsd, DDLOCK_WRITEONLY | DDLOCK_WAIT, nullptr));
        if (FAILED(hr)) {
            result = hr;
            break;
        }
        sDrawCountLock(DDLOCK_WRITEONLY, (DWORD)(ddsd.lPitch * (long)ddsd.dwHeight));
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
