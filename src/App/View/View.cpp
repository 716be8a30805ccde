#include "App/View/View.h"

#include <windows.h>
#include <mmsystem.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "App/App/AppCore.h"
#include "App/App/Appflow.h"
#include "App/CtrlPanel/CtrlPanel.h"
#include "System/Draw/DrawMan.h"
#include "System/Flow/FLOWMAN.h"
#include "System/Sys/SYSTEM.h"
#include "System/Texture/TEXMAN.h"

View viewClass;

void viewSetScene(const char *aScenePathP, const char *aImagePathP)
{
    std::snprintf(viewClass._scenePath, sizeof viewClass._scenePath, "%s", aScenePathP ? aScenePathP : "");
    std::snprintf(viewClass._imagePath, sizeof viewClass._imagePath, "%s", aImagePathP ? aImagePathP : "");
}

long View::Init(void)
{
    _defP = nullptr;
    _sceneP = nullptr;
    _milliSeconds = 0;
    return 0;
}

long View::Exit(void)
{
    Change();
    return 0;
}

long View::Ready(void)
{
    _milliSeconds = sSysMilliTime();
    return 0;
}

long View::Load(void)
{
    if (!_scenePath[0])
        return E_FAIL;
    if (!_defP)
        _defP = (_sceneDef *)entryKsx(_scenePath);
    if (!_defP)
        return E_FAIL;
    if (_imagePath[0])
        entryKsf(_imagePath);
    Scene *scene = new (std::nothrow) Scene();
    if (!scene || scene->Load(_defP, nullptr, "", nullptr, 0) < 0) {
        delete scene;
        return E_FAIL;
    }
    _sceneP = scene;
    for (long i = 0; i < _sceneP->GetLightCnt(); ++i)
        _sceneP->SetLight(i);
    if (drawMan.cameraP)
        drawMan.cameraP->SetNearFar(_sceneP->GetNear(), _sceneP->GetFar());
    _sceneP->SetIlluminate();
    _sceneP->SetFog();
    const uint32_t back = _sceneP->GetBackColor();
    sDrawSetBackColor((back >> 16) & 0xFF, (back >> 8) & 0xFF, back & 0xFF);
    return 0;
}

long View::Frame(void)
{
    _milliSeconds = sSysMilliTime();
    if (!_sceneP)
        return 0;
    const uint16_t status = _sceneP->Frame(_milliSeconds);
    if (status & 0x0008)
        sceneUpdateAll(_sceneP, status);
    // At its end the scene starts again.
    if ((status & 0x0004) && !(flowMan.status & FLOW_REQUEST))
        sFlowChgGoAuto(1);
    return 0;
}

long View::Render(void)
{
    sDrawClear();
    if (_sceneP)
        _sceneP->Render();
    sDrawFlipBuffer();
    return 0;
}

long View::Stop(void)
{
    _milliSeconds = sSysMilliTime();
    if (_sceneP)
        _sceneP->SetPrevTime(_milliSeconds);
    return 0;
}

long View::Change(void)
{
    delete _sceneP;
    _sceneP = nullptr;
    free(_defP);
    _defP = nullptr;
    return 0;
}

static void _viewRestTex(void)
{
    sTexPageRestoreAll();
}

// The window title while the viewer plays: the package and the frame.
static const char *_viewTitle(void)
{
    static char title[MAX_PATH + 48];
    const Scene *scene = viewClass.GetScene();
    std::snprintf(title, sizeof title, "%s  %u / %u", viewClass._scenePath, scene ? scene->GetFramePos() : 0u,
                  scene ? scene->GetFrameCnt() : 0u);
    return title;
}

void viewFlowInit(void)
{
    sTexManInit(256, 256);
    entryNumberTex();
    drawMan.texCallBackP = _viewRestTex;
    drawMan.textCallBackP = _viewTitle;
    cpClearScoreAll();
}

void viewFlowExec(void)
{
    viewClass.Ready();
    viewClass.Load();
    sAppRunFlow(
        [] {
            viewClass.Frame();
            viewClass.Render();
        },
        [] { viewClass.Stop(); });
    viewClass.Change();
}

void viewFlowExit(void)
{
    drawMan.texCallBackP = nullptr;
    drawMan.textCallBackP = nullptr;
    sTexManExit();
}
