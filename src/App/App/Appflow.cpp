#include "App/App/Appflow.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include <ddraw.h>
#include <d3d.h>

#include "App/App/AppCore.h"
#include "App/Bench/BENCH.h"
#include "App/View/View.h"
#include "Library/Draw/DrawLib.h"
#include "System/Draw/DrawMan.h"
#include "System/Sys/SYSTEM.h"
#include "System/Texture/TEXMAN.h"

const _flowDef flowTbl[] = {
    {benchFlowInit, benchFlowExec, benchFlowExit},
    {viewFlowInit, viewFlowExec, viewFlowExit},
    {nullptr, nullptr, nullptr},
};

static uint32_t _ksfTime(void)
{
    return timeGetTime();
}

// An image package hands its images to the registry slot by slot; a slot's old image goes. With
// no draw manager there is no slot, and the image is given back here.
static long _ksfEntryImage(long aSlot, const char *aFileNameP, void *aImageP, uint32_t aWidth, uint32_t aHeight,
                           uint32_t aDepth, uint16_t aType, uint32_t aKey)
{
    if (aSlot < 0 || aSlot >= DRAW_FILE_MAX || !drawMan.fileP[aSlot]) {
        if (aType == KSF_TYPE_BITMAP)
            DeleteObject((HGDIOBJ)aImageP);
        else
            std::free(aImageP);
        return -1;
    }
    drawMan.fileP[aSlot]->Delete();
    return drawMan.fileP[aSlot]->EntryImage(aFileNameP, aImageP, aWidth, aHeight, aDepth, aType, aKey);
}

void entryKsfDrawHook(void)
{
    static const _ksfDrawHook hook = {
        _ksfTime,
        sDrawFlipBuffer,
        sDrawFileMakeKey,
        _ksfEntryImage,
        sDrawLoadBitMapMem,
        sDrawLoadBitMapMemSurface,
        sDrawLoadTargaImage,
    };
    setKsfDrawHook(&hook);
}

void sAppRunFlow(void (*aFrameP)(void), void (*aStopP)(void))
{
    while (!(flowMan.status & FLOW_REQUEST)) {
        if (sysWork.status & SYS_ACTIVE) {
            aFrameP();
            sSysEventCtrl();
        } else {
            aStopP();
            // In the background: wait for the next message instead of spinning.
            if (!sSysEventCtrl())
                MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        }
    }
}

long changeScreenMode(long aWidth, long aHeight, long aDepth)
{
    if (drawMan.screenWidth == aWidth && drawMan.screenHeight == aHeight && drawMan.screenDepth == aDepth)
        return 1;
    uint32_t option;
    if (!sSysGetDisplayOption((int)aWidth, (int)aHeight, (int)aDepth, &option))
        return 0;
    const _sysDDCaps *driver = sSysGetCurDDCaps();
    if (!driver || !(driver->displayOption & option))
        return 0;
    if (sDrawChangeScreenMode(aWidth, aHeight, aDepth, (drawMan.status & DRAW_STAT_FULLSCREEN) ? 1 : 0) != 0)
        return 0;
    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    const int x = (int)((desktop.right - aWidth) / 2);
    const int y = (int)((desktop.bottom - aHeight) / 2);
    SetWindowPos(sysWork.rootWinH, nullptr, x, y, (int)aWidth, (int)aHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    sSysSetWinRect(aWidth, aHeight);
    sysWork.caps.displayOption = option;
    return 1;
}

static const char _interfacePack[] = "Data\\Ksf\\09.ksf";

// A picture of the interface package as a bitmap page; -1 when it is missing.
static long _entryInterfaceTex(const char *aImageNameP)
{
    uint32_t w = 0, h = 0, d = 0;
    HBITMAP bmp = (HBITMAP)loadKsfFile(_interfacePack, aImageNameP, &w, &h, &d);
    if (!bmp)
        return -1;
    const long page = sTexPageBmpEntry(bmp, w, h, d, DRAW_FLG_TEXTURE | DRAW_FLG_BLT);
    if (page == -1)
        DeleteObject(bmp);
    return page;
}

void entryNumberTex(void)
{
    const long page = _entryInterfaceTex("Data\\Com\\Numbers.bmp");
    if (page == -1)
        return;
    drawMan.numberTexNum = page;
    if (IDirectDrawSurface7 *suf = sTexGetSurfacePtr(page))
        sDrawSetColorKey(suf, 0);
}

// A pre-transformed, coloured, textured vertex (0x1C4).
struct _loadingVertex {
    float x, y, z, rhw;
    D3DCOLOR color;
    D3DCOLOR specular;
    float tu, tv;
};

void showLoadingScreen(void)
{
    uint32_t w = 0, h = 0, d = 0;
    HBITMAP bmp = (HBITMAP)loadKsfFile(_interfacePack, "Data\\Com\\NowLoading.bmp", &w, &h, &d);
    if (!bmp)
        return;
    sDrawSetBackColor(0, 0, 0);
    sDrawClear();
    const long page = sTexPageBmpEntry(bmp, w, h, d, DRAW_FLG_TEXTURE | DRAW_FLG_BLT);
    if (page == -1) {
        DeleteObject(bmp);
        return;
    }
    IDirectDrawSurface7 *suf = sTexGetSurfacePtr(page);
    IDirect3DDevice7 *dev = drawMan.d3dDevP;
    if (!suf || !dev)
        return;
    const float sw = (float)drawMan.screenWidth, sh = (float)drawMan.screenHeight;
    const float x1 = sw * 0.6f, x2 = sw * 0.9f, y1 = sh * 0.7f, y2 = sh * 0.78f;
    _loadingVertex quad[4] = {
        {x1, y1, 0.0f, 1.0f, 0x00FFFFFF, 0, 0.0f, 0.0f},
        {x2, y1, 0.0f, 1.0f, 0x00FFFFFF, 0, 1.0f, 0.0f},
        {x1, y2, 0.0f, 1.0f, 0x00FFFFFF, 0, 0.0f, 1.0f},
        {x2, y2, 0.0f, 1.0f, 0x00FFFFFF, 0, 1.0f, 1.0f},
    };
    if (!sDrawBeginScene())
        return;
    _drawStateScope scope;
    sDrawOpenStates(&scope);
    sDrawSetBlend(DRAW_BLEND_OFF);
    dev->SetTexture(0, suf);
    sDrawSetStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    sDrawSetStage(0, DRAW_STAGE_MODULATE_CUR);
    sDrawSetStage(1, DRAW_STAGE_OFF);
    dev->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX1, quad, 4,
                       0);
    sDrawCloseStates(&scope);
    sDrawEndScene();
}

void showLoadingBar(long aPercent, uint32_t aBarColor, uint32_t aGuideColor)
{
    IDirect3DDevice7 *dev = drawMan.d3dDevP;
    if (dev) {
        const double w = (double)drawMan.screenWidth, h = (double)drawMan.screenHeight;
        // 1 - 0.8 in double is just under 0.2: at 640 the left edge is 63, not 64.
        const long left = (long)(w * (1.0 - 0.8) * 0.5);
        const long top = (long)(h * 0.8);
        const long bottom = (long)(h * 0.03 + top);
        D3DRECT guide = {left, top, (long)(w * 0.8 + left), bottom};
        dev->Clear(1, &guide, D3DCLEAR_TARGET, aGuideColor, 1.0f, 0);
        D3DRECT bar = {left, top, (long)(aPercent * (w * 0.8) * 0.01 + left), bottom};
        dev->Clear(1, &bar, D3DCLEAR_TARGET, aBarColor, 1.0f, 0);
    }
    sSysEventCtrl();
}

void drawLodingBar(long aPercent, uint32_t aBarColor, uint32_t aGuideColor)
{
    if (aPercent == 0)
        showLoadingScreen();
    showLoadingBar(aPercent, aBarColor, aGuideColor);
    sDrawFlipBuffer();
}

void drawFps(float aFps, float aFpsAve, const char *aTitleP)
{
    if (aTitleP)
        sDrawShowText(20, 20, "%7.2f fps / %7.2f fps    %s", aFps, aFpsAve, aTitleP);
    else
        sDrawShowText(20, 20, "%7.2f fps / %7.2f fps", aFps, aFpsAve);
}
