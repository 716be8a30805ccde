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
    return sSysMilliTime();
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

void drawFps(float aFps, float aFpsAve, const char *aTitleP)
{
    if (aTitleP)
        sDrawShowText(20, 20, "%7.2f fps / %7.2f fps    %s", aFps, aFpsAve, aTitleP);
    else
        sDrawShowText(20, 20, "%7.2f fps / %7.2f fps", aFps, aFpsAve);
}
