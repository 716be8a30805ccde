#include "App/Scene/Scene.h"

#include <cstdlib>
#include <cstring>

int64_t gSceneFrameTime = 0;

int64_t mGetPerformanceCounter(void)
{
    LARGE_INTEGER v;
    QueryPerformanceCounter(&v);
    return v.QuadPart;
}

Scene::Scene()
{
    std::memset((void *)&_status, 0, (size_t)((uint8_t *)(_sceneOptionFlg + 5) - (uint8_t *)&_status));
    _fps = 30.0f;
    _illuminate.ambientColor = 0xFFFFFF;
    _illuminate.ambientIntensity = 0.1f;
    _fog.maxDist = 2000.0f;
    _fog.maxAmount = 0.5f;
    _fog.color = 0x00FF00;
}

Scene::~Scene() {}

long Scene::Load(_sceneDef *, const _sceneOptionDef *, const char *, const _sceneSeDef *, uint32_t) { return E_INVALIDARG; }
uint16_t Scene::Frame(uint32_t) { return _status; }
long Scene::SetShape(long) { return 0; }
long Scene::SetLight(long) { return 0; }
long Scene::SetCamera(long) { return 0; }
long Scene::SetSprite(long) { return 0; }
long Scene::SetParticle(long) { return 0; }
long Scene::UpdateShape(long) { return 0; }
long Scene::UpdateSprite(long) { return 0; }
long Scene::UpdateParticle(long) { return 0; }
long Scene::SetIlluminate(void) { return 0; }
long Scene::SetFog(void) { return 0; }
long Scene::Render(void) { return 0; }
_sceneShape *Scene::GetShape(long) { return nullptr; }
_sceneLight *Scene::GetLight(long) { return nullptr; }
_sceneCamera *Scene::GetCamera(long) { return nullptr; }
_sceneSprite *Scene::GetSprite(long) { return nullptr; }
_sceneParticle *Scene::GetParticle(long) { return nullptr; }
void Scene::SetFramePos(long) {}
void Scene::SetOptionFlg(long, uint32_t) {}
void Scene::CallInit(void) {}
void Scene::CallExec(void) {}
void Scene::CallDraw(void) {}
void Scene::CallExit(void) {}
void Scene::CallRest(void) {}

void sceneDrawLodingScreen(const _sceneOptionDef *) {}
void sceneDrawLodingStart(const _sceneOptionDef *) {}
