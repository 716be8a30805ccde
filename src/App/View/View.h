#ifndef KESTREL_APP_VIEW_VIEW_H
#define KESTREL_APP_VIEW_VIEW_H

// The viewer flow (flow 1): one scene package played on its own, over and over, for whoever
// authors scenes. Benchmark and demo runs never request it; WinMain still initialises the viewer
// with every run and releases whatever it holds afterwards.

#include <windows.h>

#include <cstdint>

#include "App/Scene/Scene.h"

class View {
public:
    // Forgets the previous scene's clock; keeps the package chosen with viewSetScene.
    long Init(void);
    // Releases the viewer's scene and its package, if it holds one.
    long Exit(void);
    long Ready(void);
    // 0, or E_FAIL when no package was chosen or it cannot be read.
    long Load(void);
    long Frame(void);
    long Render(void);
    long Stop(void);
    long Change(void);
    Scene *GetScene(void) { return _sceneP; }

    char _scenePath[MAX_PATH];
    char _imagePath[MAX_PATH];
    _sceneDef *_defP;
    Scene *_sceneP;
    uint32_t _milliSeconds;
};

extern View viewClass;

// The package the viewer plays next, and its image package (either may be null).
void viewSetScene(const char *aScenePathP, const char *aImagePathP);

void viewFlowInit(void);
void viewFlowExec(void);
void viewFlowExit(void);

#endif
