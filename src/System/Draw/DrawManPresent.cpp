// The draw manager's frame: clearing, the begin and end of a scene, the present (blit or flip)
// and bringing lost surfaces back.

#include "System/Draw/DrawMan.h"

#include "Common/DEBUGWIN.h"
#include "System/Sys/SYSTEM.h"

void sDrawClear(void)
{
    if ((drawMan.status & DRAW_STAT_CLEAR) && drawMan.d3dDevP)
        DEBUGWIN_CHECK(
            drawMan.d3dDevP->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, drawMan.backCol, 1.0f, 0));
}

// A begin inside an open scene is refused without asking the device (which would refuse it too),
// an end outside one is skipped; both count as skips.
int sDrawBeginScene(void)
{
    _drawBindCache &b = drawMan.bind;
    if (!drawMan.d3dDevP)
        return 0;
    if (b.sceneOpen) {
        b.skipCnt[DRAW_BIND_SCENE]++;
        return 0;
    }
    b.sentCnt[DRAW_BIND_SCENE]++;
    if (FAILED(DEBUGWIN_CHECK(drawMan.d3dDevP->BeginScene())))
        return 0;
    b.sceneOpen = 1;
    return 1;
}

void sDrawEndScene(void)
{
    _drawBindCache &b = drawMan.bind;
    if (!drawMan.d3dDevP)
        return;
    if (!b.sceneOpen) {
        b.skipCnt[DRAW_BIND_SCENE]++;
        return;
    }
    b.sceneOpen = 0;
    b.sentCnt[DRAW_BIND_SCENE]++;
    DEBUGWIN_CHECK(drawMan.d3dDevP->EndScene());
}

void sDrawSetBackColor(long aR, long aG, long aB)
{
    drawMan.backCol = (uint32_t)((aR & 0xFF) << 16 | (aG & 0xFF) << 8 | (aB & 0xFF));
}

static HRESULT _restoreSurface(void)
{
    const HRESULT hr = drawMan.ddrawP ? DEBUGWIN_CHECK(drawMan.ddrawP->RestoreAllSurfaces()) : DDERR_NOTINITIALIZED;
    // A driver may bring the device back with its own states.
    sDrawInvalidateStates();
    if (drawMan.texCallBackP)
        drawMan.texCallBackP();
    sPrintMsgFile("Restore");
    return hr;
}

void sDrawRestoreSurface(void)
{
    _restoreSurface();
}

static void _updateClientRect(void)
{
    if (drawMan.status & DRAW_STAT_FULLSCREEN) {
        sysWork.clientRect = sysWork.winRect;
        return;
    }
    POINT p = {0, 0};
    ClientToScreen(sysWork.rootWinH, &p);
    SetRect(&sysWork.clientRect, p.x, p.y, p.x + sysWork.winRect.right, p.y + sysWork.winRect.bottom);
}

static bool _surfacesLost(void)
{
    return DEBUGWIN_EXPECT(drawMan.frontP->IsLost(), DDERR_SURFACELOST) == DDERR_SURFACELOST ||
           DEBUGWIN_EXPECT(drawMan.backP->IsLost(), DDERR_SURFACELOST) == DDERR_SURFACELOST;
}

// Results a present outlasts by trying again: the device still busy with an earlier frame, or
// surfaces that come back. Any other result fails again however often it is asked.
static const HRESULT _presentTransient[] = {
    DDERR_WASSTILLDRAWING,
    DDERR_SURFACEBUSY,
    DDERR_SURFACELOST,
    DDERR_VERTICALBLANKINPROGRESS,
};

static bool _presentMayMend(HRESULT aResult)
{
    for (HRESULT r : _presentTransient)
        if (aResult == r)
            return true;
    return false;
}

// Failed attempts give up the processor's turn only while few; later ones sleep a tick so that a
// busy driver gets the processor it needs to finish.
enum { _PRESENT_SPIN = 8 };

static void _present(bool aDirect)
{
    if (!(drawMan.status & DRAW_STAT_DDRAW) || !drawMan.frontP || !drawMan.backP)
        return;
    const bool full = (drawMan.status & DRAW_STAT_FULLSCREEN) != 0;
    const bool triple = !aDirect && (drawMan.status & DRAW_STAT_TRIPLE) && drawMan.thirdP;
    if (triple) {
        HRESULT hr = DDERR_SURFACELOST;
        if (!_surfacesLost())
            hr = DEBUGWIN_CHECK(
                drawMan.thirdP->Blt(&sysWork.winRect, drawMan.backP, &sysWork.winRect, DDBLT_WAIT, nullptr));
        if (hr == DDERR_SURFACELOST && FAILED(_restoreSurface()))
            return;
    }
    long attempts = 0;
    const DWORD start = GetTickCount();
    for (;;) {
        ++attempts;
        _updateClientRect();
        HRESULT hr;
        // Some drivers take a present onto a lost surface without a word; asking first restores
        // the surfaces here, as a driver that reports the loss would.
        if (_surfacesLost())
            hr = DDERR_SURFACELOST;
        else if (!triple)
            hr = DEBUGWIN_CHECK(
                drawMan.frontP->Blt(&sysWork.clientRect, drawMan.backP, &sysWork.winRect, DDBLT_WAIT, nullptr));
        else if (full)
            hr = DEBUGWIN_EXPECT(drawMan.frontP->Flip(nullptr, 0), DDERR_WASSTILLDRAWING);
        else
            hr = DEBUGWIN_EXPECT(drawMan.frontP->Blt(&sysWork.clientRect, drawMan.thirdP, &sysWork.winRect, 0, nullptr),
                                 DDERR_WASSTILLDRAWING);
        // While another program holds the display the surfaces cannot come back: this frame is
        // dropped rather than reloading every texture thousands of times.
        if (hr == DDERR_SURFACELOST && FAILED(_restoreSurface()))
            break;
        if (SUCCEEDED(hr) || !_presentMayMend(hr) || attempts >= DRAW_FLIP_MAX ||
            GetTickCount() - start >= DRAW_FLIP_WAIT_MS)
            break;
        Sleep(attempts < _PRESENT_SPIN ? 0 : 1);
    }
    if (attempts > drawMan.flipErr)
        drawMan.flipErr = attempts;
}

void sDrawFlipBuffer(void)
{
    _present(false);
}

void sDrawFlipBufferDirect(void)
{
    _present(true);
}
