// The draw manager on a real device under Wine: every offered mode, presenting, mode changes,
// lost surfaces, text, the loading bar, the registries and the spotlight maps.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "App/App/Appflow.h"
#include "Common/DEBUGWIN.h"
#include "DeviceFixture.h"
#include "System/Draw/DrawMan.h"
#include "System/Sys/SysCore.h"
#include "System/Sys/SYSTEM.h"
#include "System/Texture/TEXMAN.h"

namespace {

const uint32_t kRed = 0xFF0000;

class DrawMan : public ::testing::Test {
protected:
    void TearDown() override { fx::Close(); }
};

int gCallBacks;
void CountCallBack() { ++gCallBacks; }

// Clears the back buffer red and presents it: the back buffer and the front surface (at the
// window's client area when windowed) read red.
void ExpectRedPresent(const char *aWhat)
{
    sDrawSetBackColor(255, 0, 0);
    EXPECT_EQ(drawMan.backCol, 0xFF0000u) << aWhat;
    sDrawClear();
    EXPECT_EQ(fx::ReadRgb(drawMan.backP, 5, 5), kRed) << aWhat;
    EXPECT_EQ(fx::ReadRgb(drawMan.backP, drawMan.screenWidth - 1, drawMan.screenHeight - 1), kRed) << aWhat;
    sDrawFlipBuffer();
    long x = 5, y = 5;
    if (!(drawMan.status & DRAW_STAT_FULLSCREEN))
        x += sysWork.clientRect.left, y += sysWork.clientRect.top;
    EXPECT_EQ(fx::ReadRgb(drawMan.frontP, x, y), kRed) << aWhat;
}

TEST_F(DrawMan, EveryOfferedModeOpensClearsAndPresents)
{
    int opened = 0;
    for (const _displayMode &mode : _displayTbl) {
        for (int full = 1; full >= 0; --full) {
            // Windowed runs draw into the desktop's format, in every size whose window fits on it.
            const bool fits = mode.width + 2 * GetSystemMetrics(SM_CXFIXEDFRAME) <= GetSystemMetrics(SM_CXSCREEN) &&
                              mode.height + GetSystemMetrics(SM_CYCAPTION) + 2 * GetSystemMetrics(SM_CYFIXEDFRAME) <=
                                  GetSystemMetrics(SM_CYSCREEN);
            if (full ? !fx::ModeOffered(mode.width, mode.height, mode.depth) : !fits)
                continue;
            for (int triple = 0; triple < 2; ++triple) {
                char what[64];
                std::snprintf(what, sizeof what, "%dx%dx%d %s %s", mode.width, mode.height, mode.depth,
                              full ? "full screen" : "windowed", triple ? "triple" : "double");
                ASSERT_EQ(fx::Open(mode.width, mode.height, mode.depth, full, triple), 0) << what;
                const uint32_t want = DRAW_STAT_INIT | DRAW_STAT_DDRAW | DRAW_STAT_D3D | DRAW_STAT_HAL |
                                      DRAW_STAT_CLEAR | (full ? (uint32_t)DRAW_STAT_FULLSCREEN : 0u) |
                                      (triple ? (uint32_t)DRAW_STAT_TRIPLE : 0u);
                EXPECT_EQ(drawMan.status, want) << what;
                EXPECT_EQ(drawMan.thirdP != nullptr, triple == 1) << what;
                EXPECT_EQ(drawMan.clipP != nullptr, full == 0) << what;
                EXPECT_FLOAT_EQ(drawMan.vanishX, mode.width * 0.5f) << what;
                EXPECT_FLOAT_EQ(drawMan.vanishY, mode.height * 0.5f) << what;
                uint32_t w, h;
                fx::SurfaceSize(drawMan.backP, &w, &h);
                EXPECT_EQ((long)w, (long)mode.width) << what;
                EXPECT_EQ((long)h, (long)mode.height) << what;
                if (full) {
                    EXPECT_EQ(fx::SurfaceBits(drawMan.backP), (uint32_t)mode.depth) << what;
                }
                EXPECT_NE(drawMan.zBufP, nullptr) << what;
                ExpectRedPresent(what);
                fx::Close();
                ++opened;
            }
        }
    }
    EXPECT_GE(opened, 8);
}

TEST_F(DrawMan, AModeThatCannotBeOpenedFailsAndLeavesNothingOpen)
{
    EXPECT_EQ(fx::Open(4096, 3072, 16, true, false), -1);
    EXPECT_EQ(drawMan.status & DRAW_STAT_INIT, 0u);
    EXPECT_EQ(drawMan.ddrawP, nullptr);
    EXPECT_EQ(drawMan.d3dDevP, nullptr);
    EXPECT_EQ(drawMan.cameraP, nullptr);
    EXPECT_EQ(drawMan.fileP[0], nullptr);
    fx::Close();
    ASSERT_EQ(fx::Open(640, 480, 16, true, false), 0); // and the display is usable again
    ExpectRedPresent("after the failed open");
}

TEST_F(DrawMan, ModeChangeRebuildsTheDeviceAndCallsTheRestoreHook)
{
    ASSERT_EQ(fx::Open(640, 480, 16, true, false), 0);
    gCallBacks = 0;
    drawMan.texCallBackP = CountCallBack;
    ASSERT_TRUE(fx::ModeOffered(800, 600, 32));
    ASSERT_EQ(sDrawChangeScreenMode(800, 600, 32, 1), 0);
    EXPECT_EQ(gCallBacks, 1);
    EXPECT_EQ(drawMan.screenWidth, 800);
    EXPECT_EQ(drawMan.screenDepth, 32);
    EXPECT_FLOAT_EQ(drawMan.vanishX, 400.0f);
    EXPECT_FLOAT_EQ(drawMan.vanishY, 300.0f);
    uint32_t w, h;
    fx::SurfaceSize(drawMan.backP, &w, &h);
    EXPECT_EQ(w, 800u);
    EXPECT_EQ(fx::SurfaceBits(drawMan.backP), 32u);
    sSysSetWinRect(800, 600);
    ExpectRedPresent("after the change");
}

TEST_F(DrawMan, AModeThatCannotBeHadKeepsTheOldOne)
{
    ASSERT_EQ(fx::Open(640, 480, 16, true, false), 0);
    gCallBacks = 0;
    drawMan.texCallBackP = CountCallBack;
    EXPECT_EQ(sDrawChangeScreenMode(4096, 3072, 16, 1), -1);
    EXPECT_EQ(drawMan.screenWidth, 640);
    EXPECT_EQ(drawMan.screenHeight, 480);
    EXPECT_EQ(drawMan.screenDepth, 16);
    EXPECT_FLOAT_EQ(drawMan.vanishX, 320.0f);
    EXPECT_FLOAT_EQ(drawMan.vanishY, 240.0f);
    EXPECT_NE(drawMan.status & DRAW_STAT_FULLSCREEN, 0u);
    EXPECT_EQ(drawMan.status & (DRAW_STAT_INIT | DRAW_STAT_DDRAW | DRAW_STAT_D3D), 0x7u);
    EXPECT_EQ(gCallBacks, 1); // the rebuilt device reloads its textures too
    ExpectRedPresent("after the refused change");
}

TEST_F(DrawMan, ChangeScreenModeOfTheFlowSwitchesOnlyToOfferedModes)
{
    sysDirectDrawCreateExP = DirectDrawCreateEx; // what the start-up finds in the loaded library
    ASSERT_EQ(sSysMakeCaps(), 1);
    ASSERT_EQ(fx::Open(640, 480, 16, true, false), 0);
    _sysDDCaps *driver = sSysGetCurDDCaps();
    ASSERT_NE(driver, nullptr);
    gCallBacks = 0;
    drawMan.texCallBackP = CountCallBack;
    EXPECT_EQ(changeScreenMode(640, 480, 16), 1);
    EXPECT_EQ(gCallBacks, 0); // the mode already set touches nothing
    EXPECT_EQ(changeScreenMode(700, 500, 16), 0); // not in the display table
    uint32_t option = 0;
    ASSERT_EQ(sSysGetDisplayOption(1024, 768, 16, &option), 1);
    const uint32_t offered = driver->displayOption;
    driver->displayOption &= ~option;
    EXPECT_EQ(changeScreenMode(1024, 768, 16), 0); // not offered by the driver
    driver->displayOption = offered;
    if (offered & option) {
        EXPECT_EQ(changeScreenMode(1024, 768, 16), 1);
        EXPECT_EQ(sysWork.caps.displayOption, option);
        EXPECT_EQ(sysWork.winRect.right, 1024);
        EXPECT_EQ(drawMan.screenWidth, 1024);
        EXPECT_EQ(gCallBacks, 1);
        ExpectRedPresent("1024x768 by the flow");
    }
    fx::Close();
    sSysReleaseCaps();
}

// Another program taking the display loses every surface; the next present restores them and
// reloads the textures through the hook.
TEST_F(DrawMan, LostSurfacesAreRestoredByTheNextPresent)
{
    ASSERT_EQ(fx::Open(640, 480, 16, true, false), 0);
    gCallBacks = 0;
    drawMan.texCallBackP = CountCallBack;
    HWND other = CreateWindowExA(0, "STATIC", "other", WS_POPUP | WS_VISIBLE, 0, 0, 800, 600, nullptr, nullptr,
                                 nullptr, nullptr);
    IDirectDraw7 *dd = nullptr;
    ASSERT_TRUE(SUCCEEDED(DirectDrawCreateEx(nullptr, (void **)&dd, IID_IDirectDraw7, nullptr)));
    dd->SetCooperativeLevel(other, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN);
    dd->SetDisplayMode(800, 600, 32, 0, 0);
    fx::Pump();
    EXPECT_EQ(drawMan.frontP->IsLost(), DDERR_SURFACELOST);
    // While the other program holds the display, a present tries one restore and drops the frame.
    sDrawFlipBuffer();
    EXPECT_EQ(gCallBacks, 1);
    gCallBacks = 0;
    dd->RestoreDisplayMode();
    dd->SetCooperativeLevel(other, DDSCL_NORMAL);
    dd->Release();
    DestroyWindow(other);
    fx::Pump();
    SetForegroundWindow(fx::Window());
    drawMan.flipErr = 0;
    // The display comes back with the window's activation, which may take a few messages.
    for (int i = 0; i < 100 && drawMan.frontP->IsLost() == DDERR_SURFACELOST; ++i) {
        sDrawFlipBuffer();
        fx::Pump();
        Sleep(20);
    }
    EXPECT_GE(gCallBacks, 1);
    EXPECT_GE(drawMan.flipErr, 2);
    EXPECT_EQ(drawMan.frontP->IsLost(), DD_OK);
    EXPECT_EQ(drawMan.backP->IsLost(), DD_OK);
    ExpectRedPresent("after the loss");
}

TEST_F(DrawMan, ShowTextPutsRedPixelsWhereTheTextIs)
{
    ASSERT_EQ(fx::Open(640, 480, 32, false, false), 0);
    sDrawSetBackColor(0, 0, 0);
    sDrawClear();
    sDrawShowText(20, 20, "");  // nothing for an empty format
    sDrawShowText(20, 20, "%s %d", "KESTREL", 42);
    int inside = 0, outside = 0, other = 0;
    uint32_t pitch = 0;
    const std::vector<uint32_t> shot = fx::Snapshot(drawMan.backP, &pitch);
    ASSERT_FALSE(shot.empty());
    for (long y = 0; y < 120; y += 1) {
        for (long x = 0; x < 400; x += 1) {
            const uint32_t p = shot[y * pitch + x];
            if (p == 0)
                continue;
            const bool in = x >= 20 && y >= 20 && y < 20 + 40;
            if ((p & 0xFFFF) != 0)
                ++other; // anti-aliased edges are red too, just darker
            else if (in)
                ++inside;
            else
                ++outside;
        }
    }
    EXPECT_GT(inside, 100);
    EXPECT_EQ(outside, 0);
    EXPECT_EQ(other, 0);
    // A text longer than the buffer is cut, not written past it.
    char longText[600];
    std::memset(longText, 'W', sizeof longText - 1);
    longText[sizeof longText - 1] = '\0';
    sDrawShowText(0, 100, "%s", longText);
    drawFps(59.94f, 60.0f, "title");
    EXPECT_EQ(fx::ReadRgb(drawMan.backP, 630, 470), 0u);
}

// A loop that only clears and presents, alternating red and blue; its speed is bench_present's.
// Every present lands on the first attempt and the front surface ends on the last colour.
void ClearPresentLoop(bool aFull, const char *aWhat)
{
    ASSERT_EQ(fx::Open(640, 480, 16, aFull, false), 0) << aWhat;
    const int frames = 30;
    for (int i = 0; i < frames; ++i) {
        sDrawSetBackColor(i & 1 ? 0 : 255, 0, i & 1 ? 255 : 0);
        sDrawClear();
        sDrawFlipBuffer();
    }
    long x = 5, y = 5;
    if (!aFull)
        x += sysWork.clientRect.left, y += sysWork.clientRect.top;
    EXPECT_EQ(fx::ReadRgb(drawMan.frontP, x, y), 0x0000FFu) << aWhat;
    EXPECT_EQ(drawMan.flipErr, 1) << aWhat;
    fx::Close();
}

TEST_F(DrawMan, ClearAndPresentLoopPresentsEveryFrame)
{
    ClearPresentLoop(true, "full screen");
    ClearPresentLoop(false, "windowed");
}

TEST_F(DrawMan, ImageRegistryLooksNamesUpInLowerCase)
{
    ASSERT_EQ(fx::Open(640, 480, 16, false, false), 0);
    void *a = std::malloc(16), *b = std::malloc(16);
    drawMan.fileP[3]->EntryImage("tex.bmp", a, 2, 2, 32, DRAW_FILE_PIXELS, sDrawFileMakeKey("tex.bmp"));
    drawMan.fileP[7]->EntryImage("Tex.bmp", b, 2, 2, 32, DRAW_FILE_PIXELS, sDrawFileMakeKey("Tex.bmp"));
    EXPECT_EQ(sDrawFileCheckList("Data\\Image\\Tex.bmp"), 3);
    EXPECT_EQ(sDrawFileCheckList("TEX.BMP"), 3);
    EXPECT_EQ(sDrawFileCheckList("xet.bmp"), -1); // same key, another name
    EXPECT_EQ(sDrawFileCheckList("other.bmp"), -1);
    void *image = nullptr;
    uint32_t w = 0, h = 0, d = 0;
    EXPECT_EQ(drawMan.fileP[3]->GetInfo(&image, &w, &h, &d), 1);
    EXPECT_EQ(image, a);
    EXPECT_EQ(d, 32u);
    // An image of a type the registry cannot free stays where it is.
    void *c = std::malloc(16);
    drawMan.fileP[9]->EntryImage("odd.bin", c, 1, 1, 8, 7, 0);
    EXPECT_EQ(drawMan.fileP[9]->Delete(), E_INVALIDARG);
    EXPECT_EQ(drawMan.fileP[9]->GetEnable(), 1);
    drawMan.fileP[9]->_type = DRAW_FILE_PIXELS;
    EXPECT_EQ(drawMan.fileP[3]->Delete(), 0);
    EXPECT_EQ(drawMan.fileP[3]->GetEnable(), 0);
    EXPECT_EQ(drawMan.fileP[3]->GetInfo(&image, &w, &h, &d), 0);
    EXPECT_EQ(sDrawFileCheckList("tex.bmp"), -1);
    EXPECT_EQ(drawMan.fileP[3]->Delete(), 0); // not in use: nothing to do
}

TEST_F(DrawMan, ShapeParticleAndShadowCastRegistries)
{
    ASSERT_EQ(fx::Open(640, 480, 16, false, false), 0);
    sDrawInitShapeInfo(4);
    _shape *shape = (_shape *)&drawMan; // any address: the registry only holds it
    sDrawEntryShapeInfo(3, shape);
    sDrawEntryShapeInfo(4, shape); // out of range: ignored
    ASSERT_NE(sDrawGetShapeInfo(3), nullptr);
    EXPECT_EQ(sDrawGetShapeInfo(3)->shapeP, shape);
    EXPECT_EQ(sDrawGetShapeInfo(0)->shapeP, nullptr);
    EXPECT_EQ(sDrawGetShapeInfo(4), nullptr);
    sDrawFreeShapeInfo();
    EXPECT_EQ(drawMan.shapeInfoMax, 0);
    EXPECT_EQ(sDrawGetShapeInfo(0), nullptr);

    sDrawInitParticleInfo(2);
    sDrawEntryParticleInfo(1, nullptr, nullptr, "a very long particle system name, longer than 32");
    ASSERT_NE(sDrawGetParticleInfo(1), nullptr);
    EXPECT_EQ(std::strlen(sDrawGetParticleInfo(1)->name), 31u);
    EXPECT_EQ(sDrawGetParticleInfo(2), nullptr);
    sDrawFreeParticleInfo();

    sDrawInitShadowCast(2, 3);
    EXPECT_EQ(drawMan.shadowCastMax, 6);
    _coord node;
    sCoordInit(nullptr, &node);
    node.world._41 = 5.0f;
    for (int i = 0; i < 8; ++i)
        sDrawEntryShadowCast(&node, 1.0f, 2.0f, i);
    EXPECT_EQ(drawMan.shadowCastCnt, 6); // a full table drops the rest
    EXPECT_EQ(drawMan.shadowCastP[5].texNum, 5);
    EXPECT_FLOAT_EQ(drawMan.shadowCastP[0].invMat._41, -5.0f);
    sDrawStartShadowCastFrame();
    sDrawEntryShadowCast(&node, 3.0f, 4.0f, -1);
    EXPECT_EQ(drawMan.shadowCastCnt, 1);
    EXPECT_FLOAT_EQ(drawMan.shadowCastP[0].sizeU, 3.0f);
    EXPECT_EQ(drawMan.shadowCastP[0].texNum, -1);
    sDrawFreeShadowCast();
    EXPECT_EQ(drawMan.shadowCastMax, 0);
}

TEST_F(DrawMan, CameraAndLightsTalkToTheDevice)
{
    ASSERT_EQ(fx::Open(640, 480, 16, false, false), 0);
    _drawCamera &camera = *drawMan.cameraP;
    EXPECT_FLOAT_EQ(camera._fovAngle, 0.7853982f);
    EXPECT_FLOAT_EQ(camera._farDist, 256.0f);
    for (int i = 0; i < DRAW_LIGHT_MAX; ++i) {
        EXPECT_EQ(drawMan.lightP[i]->_lightNum, i);
        EXPECT_EQ(drawMan.lightP[i]->_shadowTexNum, -1);
    }
    EXPECT_NE(drawMan.fontP->GetFontHandle(), nullptr);
    D3DVECTOR eye = {}, at = {};
    eye.z = -10.0f;
    camera.SetEyePos(eye);
    camera.SetLookAtPos(at);
    camera.Update();
    D3DMATRIX view;
    drawMan.d3dDevP->GetTransform(D3DTRANSFORMSTATE_VIEW, &view);
    EXPECT_FLOAT_EQ(view._43, 10.0f);
    D3DMATRIX proj;
    drawMan.d3dDevP->GetTransform(D3DTRANSFORMSTATE_PROJECTION, &proj);
    EXPECT_FLOAT_EQ(proj._34, 1.0f);
    EXPECT_FLOAT_EQ(proj._11, proj._22 * 0.75f); // aspect = 480 / 640
    // Eye on the look-at point: the previous view stays.
    camera.SetEyePos(at);
    camera.Update();
    EXPECT_FLOAT_EQ(camera.GetViewMatrix()._43, 10.0f);
    _drawLight &light = *drawMan.lightP[2];
    light.GetLight()->dltType = D3DLIGHT_POINT;
    light.GetLight()->dcvDiffuse.r = 1.0f;
    light.GetLight()->dvRange = 100.0f;
    light.GetLight()->dvAttenuation0 = 1.0f;
    light.Update();
    light.SetEnable(1);
    BOOL on = FALSE;
    EXPECT_TRUE(SUCCEEDED(drawMan.d3dDevP->GetLightEnable(2, &on)));
    EXPECT_TRUE(on);
    EXPECT_EQ(light.GetEnable(), 1);
    light.SetEnable(0);
    drawMan.d3dDevP->GetLightEnable(2, &on);
    EXPECT_FALSE(on);
}

// Device calls the recorder saw of one kind.
long Sets(const std::vector<fx::Call> &aCalls)
{
    long n = 0;
    for (const fx::Call &c : aCalls)
        n += c.kind == fx::Call::SetState || c.kind == fx::Call::SetStage;
    return n;
}

DWORD DeviceState(D3DRENDERSTATETYPE aType)
{
    DWORD v = 0xDEADBEEF;
    drawMan.d3dDevP->GetRenderState(aType, &v);
    return v;
}

DWORD DeviceStage(DWORD aStage, D3DTEXTURESTAGESTATETYPE aType)
{
    DWORD v = 0xDEADBEEF;
    drawMan.d3dDevP->GetTextureStageState(aStage, aType, &v);
    return v;
}

// The copy of the device's states: a set of the value in force does not reach the device, one
// after the copy was forgotten (device opened, surfaces restored) does, and nested scopes give
// back exactly what was in force when each opened.
TEST_F(DrawMan, StateCopySkipsValuesInForceAndScopesGiveStatesBack)
{
    ASSERT_EQ(fx::Open(640, 480, 16, false, false), 0);
    struct Step {
        const char *what;
        bool known;  // the copy holds the states before the step (else it was just forgotten)
        void (*run)();
        long sets;   // device calls the step makes
        long redundant = 0;  // of those, sets of the value last sent (counted for the frame record)
    };
    const Step steps[] = {
        {"first set after forgetting", false, [] { sDrawSetState(D3DRENDERSTATE_ZBIAS, 3); }, 1},
        {"the same value again", true, [] { sDrawSetState(D3DRENDERSTATE_ZBIAS, 3); }, 0},
        {"another value", true, [] { sDrawSetState(D3DRENDERSTATE_ZBIAS, 4); }, 1},
        {"stage state twice", true, [] {
             sDrawSetStageState(1, D3DTSS_COLOROP, D3DTOP_ADD);
             sDrawSetStageState(1, D3DTSS_COLOROP, D3DTOP_ADD);
         }, 1},
        {"blend presets", true, [] {
             sDrawSetBlend(DRAW_BLEND_OFF);
             sDrawSetBlend(DRAW_BLEND_ADDITIVE);
             sDrawSetBlend(DRAW_BLEND_ADDITIVE);
         }, 4},
        {"stage preset", true, [] { sDrawSetStage(0, DRAW_STAGE_OFF); }, 2},
        {"forgotten after a restore", true, [] {
             sDrawRestoreSurface();
             sDrawSetState(D3DRENDERSTATE_ZBIAS, 4);
         }, 1, 1},
    };
    sDrawSetState(D3DRENDERSTATE_ALPHABLENDENABLE, TRUE);
    sDrawSetState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA);
    sDrawSetStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    for (const Step &s : steps) {
        fx::Start();  // forgets the copy
        if (s.known) {
            sDrawGetState(D3DRENDERSTATE_ZBIAS);
            sDrawGetState(D3DRENDERSTATE_ALPHABLENDENABLE);
            sDrawGetState(D3DRENDERSTATE_SRCBLEND);
            sDrawGetState(D3DRENDERSTATE_DESTBLEND);
            sDrawGetStageState(0, D3DTSS_COLOROP);
            sDrawGetStageState(0, D3DTSS_ALPHAOP);
            sDrawGetStageState(1, D3DTSS_COLOROP);
        }
        const uint32_t redundant = drawMan.state.redundantCnt;
        s.run();
        EXPECT_EQ(Sets(fx::Stop()), s.sets) << s.what;
        EXPECT_EQ((long)(drawMan.state.redundantCnt - redundant), s.redundant) << s.what;
    }
    EXPECT_EQ(DeviceState(D3DRENDERSTATE_ZBIAS), 4u);
    EXPECT_EQ(DeviceState(D3DRENDERSTATE_DESTBLEND), (DWORD)D3DBLEND_ONE);

    sDrawSetState(D3DRENDERSTATE_ZBIAS, 0);
    sDrawSetState(D3DRENDERSTATE_CULLMODE, D3DCULL_CCW);
    sDrawSetStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    _drawStateScope outer, inner;
    sDrawOpenStates(&outer);
    sDrawSetState(D3DRENDERSTATE_ZBIAS, 5);
    sDrawOpenStates(&inner);
    sDrawSetState(D3DRENDERSTATE_ZBIAS, 6);
    sDrawSetState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
    sDrawSetStage(0, DRAW_STAGE_OFF);
    sDrawCloseStates(&inner);
    EXPECT_EQ(DeviceState(D3DRENDERSTATE_ZBIAS), 5u) << "inner scope gives back the outer's value";
    EXPECT_EQ(DeviceState(D3DRENDERSTATE_CULLMODE), (DWORD)D3DCULL_CCW);
    EXPECT_EQ(DeviceStage(0, D3DTSS_COLOROP), (DWORD)D3DTOP_MODULATE);
    sDrawCloseStates(&outer);
    EXPECT_EQ(DeviceState(D3DRENDERSTATE_ZBIAS), 0u) << "a give-back is not remembered by the outer scope";
    EXPECT_EQ(DeviceState(D3DRENDERSTATE_CULLMODE), (DWORD)D3DCULL_CCW);
    EXPECT_EQ(drawMan.state.scopeP, nullptr);
    EXPECT_EQ(drawMan.state.lostCnt, 0u);
}

// A refused device call and a present that cannot succeed are each named once in the log, with
// their place and result, and the recovery still runs: a refused state is sent again, and a
// present that trying again cannot mend is given up at once instead of tried 32000 times.
// The copy of what is bound: a texture, transform, material or viewport in force is not sent
// again, a restore makes the next set go out (counted as a repeat of what the device holds), and a
// scene is begun and ended once.
TEST_F(DrawMan, BindCopySkipsWhatIsInForceAndScenesOpenOnce)
{
    ASSERT_EQ(fx::Open(640, 480, 16, false, false), 0);
    _drawBindCache &b = drawMan.bind;
    D3DMATRIX m = {};
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    m._41 = 2.0f;
    D3DMATERIAL7 mtrl = {};
    mtrl.diffuse.r = 0.5f;
    D3DVIEWPORT7 vp = {0, 0, 320, 240, 0.0f, 1.0f};
    fx::Start();
    sDrawSetTexture(0, nullptr);
    sDrawSetTexture(0, nullptr);
    sDrawSetTexture(1, nullptr);
    long textures = 0;
    for (const fx::Call &c : fx::Stop())
        textures += c.kind == fx::Call::SetTexture;
    EXPECT_EQ(textures, 2);
    for (int pass = 0; pass < 2; ++pass) {
        uint32_t sent[DRAW_BIND_KINDS], skip[DRAW_BIND_KINDS];
        std::memcpy(sent, b.sentCnt, sizeof sent);
        std::memcpy(skip, b.skipCnt, sizeof skip);
        const uint32_t redundant = b.redundantCnt[DRAW_BIND_TRANSFORM];
        for (int twice = 0; twice < 2; ++twice) {
            sDrawSetTransform(D3DTRANSFORMSTATE_WORLD, &m);
            sDrawSetMaterial(&mtrl);
            sDrawSetViewport(&vp);
        }
        for (int kind : {DRAW_BIND_TRANSFORM, DRAW_BIND_MATERIAL, DRAW_BIND_VIEWPORT}) {
            EXPECT_EQ(b.sentCnt[kind] - sent[kind], 1u) << kind;
            EXPECT_EQ(b.skipCnt[kind] - skip[kind], 1u) << kind;
        }
        // The second pass follows a restore: its first set repeats what the device holds.
        EXPECT_EQ(b.redundantCnt[DRAW_BIND_TRANSFORM] - redundant, pass == 0 ? 0u : 1u);
        sDrawRestoreSurface();
    }
    D3DMATRIX onDevice = {};
    drawMan.d3dDevP->GetTransform(D3DTRANSFORMSTATE_WORLD, &onDevice);
    EXPECT_EQ(onDevice._41, 2.0f);
    D3DVIEWPORT7 got = {};
    sDrawGetViewport(&got);
    EXPECT_EQ(got.dwWidth, 320u);
    const D3DVIEWPORT7 full = {0, 0, 640, 480, 0.0f, 1.0f};
    sDrawSetViewport(&full);

    const uint32_t sceneSkips = b.skipCnt[DRAW_BIND_SCENE];
    ASSERT_EQ(sDrawBeginScene(), 1);
    EXPECT_EQ(sDrawBeginScene(), 0) << "a scene inside a scene is refused";
    sDrawEndScene();
    sDrawEndScene();
    EXPECT_EQ(b.skipCnt[DRAW_BIND_SCENE] - sceneSkips, 2u);
    ASSERT_EQ(sDrawBeginScene(), 1) << "the device's scene was ended once";
    sDrawEndScene();
}

TEST_F(DrawMan, RefusedCallsAreLoggedOnceAndRecoveryStillRuns)
{
    ASSERT_EQ(fx::Open(640, 480, 16, false, false), 0);
    const std::string path = fx::TempPath("DrawManRefused.log");
    DeleteFileA(path.c_str());
    ASSERT_EQ(sDebugWinOpenLog(path.c_str()), 0);
    const uint32_t failures = sDebugWinFailureCount();

    fx::Start();
    fx::Refuse(fx::Call::SetState, D3DERR_CONFLICTINGRENDERSTATE);
    sDrawSetState(D3DRENDERSTATE_ZBIAS, 7);
    fx::Refuse(fx::Call::SetState, S_OK);
    sDrawSetState(D3DRENDERSTATE_ZBIAS, 7);
    sDrawSetState(D3DRENDERSTATE_ZBIAS, 7);
    EXPECT_EQ(Sets(fx::Stop()), 2) << "the refused value is sent again, then known";
    EXPECT_EQ(DeviceState(D3DRENDERSTATE_ZBIAS), 7u);

    // An empty source rectangle fails the same way every time.
    const RECT keep = sysWork.winRect;
    sysWork.winRect.left = sysWork.winRect.right;
    drawMan.flipErr = 0;
    sDrawFlipBuffer();
    sysWork.winRect = keep;
    EXPECT_EQ(drawMan.flipErr, 1);
    ExpectRedPresent("after the failed present");
    sDebugWinCloseLog();
    EXPECT_EQ(sDebugWinFailureCount() - failures, 2u);

    std::vector<std::string> lines;
    if (FILE *fp = std::fopen(path.c_str(), "r")) {
        char line[1024];
        while (std::fgets(line, sizeof line, fp))
            lines.push_back(line);
        std::fclose(fp);
    }
    const char *const want[][3] = {
        {"DrawManState.cpp(", "dev->SetRenderState((D3DRENDERSTATETYPE)aType, aValue) failed",
         "D3DERR_CONFLICTINGRENDERSTATE (0x88760821)"},
        {"DrawManPresent.cpp(",
         "drawMan.frontP->Blt(&sysWork.clientRect, drawMan.backP, &sysWork.winRect, DDBLT_WAIT, nullptr) failed",
         "DDERR_INVALIDRECT (0x88760096)"},
    };
    ASSERT_EQ(lines.size(), 2u) << (lines.empty() ? "" : lines[0]);
    for (size_t i = 0; i < 2; ++i)
        for (const char *part : want[i])
            EXPECT_NE(lines[i].find(part), std::string::npos) << part << "\n" << lines[i];
    DeleteFileA(path.c_str());
}

TEST_F(DrawMan, SpotlightMapsAreMadeRenderedIntoAndFreed)
{
    ASSERT_EQ(fx::Open(640, 480, 32, false, false), 0);
    sTexManInit(16, 16);
    _drawLight &light = *drawMan.lightP[0];
    D3DLIGHT7 &l = *light.GetLight();
    l.dltType = D3DLIGHT_SPOT;
    l.dcvDiffuse.r = 1.0f;
    l.dcvDiffuse.g = 1.0f;
    l.dcvDiffuse.b = 1.0f;
    l.dvDirection.z = 1.0f;
    l.dvRange = 100.0f;
    l.dvAttenuation0 = 1.0f;
    l.dvTheta = 0.5f;
    l.dvPhi = 1.0f;
    light.SetShadowType(DRAW_SHADOW_SPOTMAP);
    light.InitMapTexture();
    ASSERT_NE(light._shadowTexNum, -1);
    ASSERT_NE(light._lightTexNum, -1);
    IDirectDrawSurface7 *map = sTexGetSurfacePtr(light._lightTexNum);
    ASSERT_NE(map, nullptr);
    uint32_t w, h;
    fx::SurfaceSize(map, &w, &h);
    EXPECT_EQ(w, 512u);
    EXPECT_EQ(fx::ReadRgb(map, 256, 256), 0xFFFFFFu);
    EXPECT_EQ(fx::ReadRgb(map, 0, 0), 0u);
    // The shadow map pass renders into its own target and gives the back buffer back.
    light.Update();
    IDirectDrawSurface7 *target = nullptr;
    drawMan.d3dDevP->GetRenderTarget(&target);
    EXPECT_EQ(target, drawMan.backP);
    if (target)
        target->Release();
    EXPECT_EQ(fx::ReadRgb(sTexGetSurfacePtr(light._shadowTexNum), 10, 10), 0xFFFFFFu);
    ExpectRedPresent("after the shadow map");
    light.SetEnable(1);
    EXPECT_EQ(light.DrawMapTexture(), 0);
    light.FreeMapTexture();
    EXPECT_EQ(light._shadowTexNum, -1);
    EXPECT_EQ(light._lightTexNum, -1);
    EXPECT_EQ(texMan.pageCnt, 0);
    sTexManExit();
}

TEST_F(DrawMan, ShadowVolumesHoldTheirBuffers)
{
    ASSERT_EQ(fx::Open(640, 480, 16, false, false), 0);
    _shadowVol *a = _primShadowCreateVol(10);
    _shadowVol *b = _primShadowCreateVol(4);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->id, a->id + 1);
    D3DVERTEXBUFFERDESC desc = {};
    desc.dwSize = sizeof desc;
    a->vertBufP->GetVertexBufferDesc(&desc);
    EXPECT_EQ(desc.dwNumVertices, 20u);
    EXPECT_EQ(desc.dwFVF, (DWORD)(D3DFVF_XYZ | D3DFVF_DIFFUSE));
    _primShadowFreeVol(&a);
    _primShadowFreeVol(&b);
    EXPECT_EQ(a, nullptr);
    _primShadowFreeVol(&a);
}

} // namespace
