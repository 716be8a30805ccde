// Every draw callback of the benchmark, demo and Light tables, played on its own scene package from
// the built Data on a real device: the device's render and texture-stage states are read back
// before and after each callback's draw and must be as the callback found them, and the draw
// manager's copy of them must agree with the device (nothing set past it).

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "DeviceFixture.h"
#include "App/AfterImage/AfterImage.h"
#include "App/App/AppCore.h"
#include "App/App/Appflow.h"
#include "App/Bench/BENCHTBL.h"
#include "App/Lightning/Lightning.h"
#include "App/Scene/Scene.h"
#include "System/Draw/DrawMan.h"
#include "System/Sys/SYSTEM.h"
#include "System/Texture/TEXMAN.h"

namespace {

struct StateName {
    uint16_t stage;  // DRAW_RENDER or a texture stage
    uint16_t type;
    const char *name;
};

#define RS(n) {DRAW_RENDER, D3DRENDERSTATE_##n, #n}
#define TS(s, n) {s, D3DTSS_##n, #n "@" #s}
// Every state the draw manager's setups and the effects touch.
const StateName kStates[] = {
    RS(ZENABLE), RS(ZWRITEENABLE), RS(ZFUNC), RS(ZBIAS), RS(ALPHABLENDENABLE), RS(SRCBLEND), RS(DESTBLEND),
    RS(ALPHATESTENABLE), RS(COLORKEYENABLE), RS(LIGHTING), RS(SPECULARENABLE), RS(FOGENABLE), RS(CULLMODE),
    RS(SHADEMODE), RS(FILLMODE), RS(LASTPIXEL), RS(AMBIENT), RS(EMISSIVEMATERIALSOURCE), RS(DITHERENABLE),
    RS(TEXTUREPERSPECTIVE), RS(NORMALIZENORMALS), RS(FOGCOLOR), RS(FOGTABLEMODE), RS(FOGVERTEXMODE),
    TS(0, COLOROP), TS(0, COLORARG1), TS(0, COLORARG2), TS(0, ALPHAOP), TS(0, ALPHAARG1), TS(0, ALPHAARG2),
    TS(0, TEXCOORDINDEX), TS(0, ADDRESS), TS(1, COLOROP), TS(1, COLORARG1), TS(1, COLORARG2), TS(1, ALPHAOP),
    TS(1, ALPHAARG1), TS(1, ALPHAARG2), TS(1, TEXCOORDINDEX), TS(2, COLOROP), TS(2, ALPHAOP),
};
#undef RS
#undef TS
const size_t kStateCnt = sizeof kStates / sizeof kStates[0];

std::vector<DWORD> DeviceStates()
{
    std::vector<DWORD> v(kStateCnt, 0xDEADBEEF);
    IDirect3DDevice7 *dev = drawMan.d3dDevP;
    for (size_t i = 0; i < kStateCnt; i++) {
        if (kStates[i].stage == DRAW_RENDER)
            dev->GetRenderState((D3DRENDERSTATETYPE)kStates[i].type, &v[i]);
        else
            dev->GetTextureStageState(kStates[i].stage, (D3DTEXTURESTAGESTATETYPE)kStates[i].type, &v[i]);
    }
    return v;
}

std::vector<DWORD> KeptStates()
{
    std::vector<DWORD> v(kStateCnt);
    for (size_t i = 0; i < kStateCnt; i++)
        v[i] = kStates[i].stage == DRAW_RENDER
                   ? sDrawGetState((D3DRENDERSTATETYPE)kStates[i].type)
                   : sDrawGetStageState(kStates[i].stage, (D3DTEXTURESTAGESTATETYPE)kStates[i].type);
    return v;
}

// The states that differ, by name.
std::string Differ(const std::vector<DWORD> &aA, const std::vector<DWORD> &aB)
{
    std::ostringstream out;
    for (size_t i = 0; i < kStateCnt; i++)
        if (aA[i] != aB[i])
            out << " " << kStates[i].name << " " << std::hex << aA[i] << "->" << aB[i] << std::dec;
    return out.str();
}

void LoadEffects(const _sceneDef *aDefP, long aShapeCnt)
{
    LightningLoad(aDefP, aShapeCnt);
    AfterImageLoad(aDefP, aShapeCnt);
}

// A row's images and textures go with it, as at the end of a run's scene.
void ReleaseRow(void)
{
    for (int i = 0; i < DRAW_FILE_MAX; ++i)
        if (drawMan.fileP[i])
            drawMan.fileP[i]->Delete();
    sTexManExit();
    sTexManInit(256, 256);
}

struct Table {
    const char *name;
    _becnhDef *rowP;
    long rowCnt;
    uint32_t sysStatus;
};

class BenchStates : public fx::DeviceTest {};

TEST_F(BenchStates, EveryDrawCallbackLeavesTheDeviceStatesAsItFoundThem)
{
    // The build writes the Data beside the tests; without it every row would pass unplayed.
    ASSERT_NE(GetFileAttributesA("Data\\Ksx"), INVALID_FILE_ATTRIBUTES) << "no built Data beside the test";
    entryKsfDrawHook();
    const Table tables[] = {
        {"bench", benchDef, BENCH_ROW_NUM, SYS_FULLSPEC},
        {"demo", demoDef, DEMO_ROW_NUM, SYS_FULLSPEC | SYS_DEMO},
        {"light bench", lightBenchDef, BENCH_ROW_NUM, 0},
        {"light", lightDef, DEMO_ROW_NUM, SYS_DEMO},
    };
    // Rows sharing callbacks and options are played once.
    std::set<std::tuple<void *, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t>> played;
    const uint32_t keep = sysWork.status;
    long rows = 0, draws = 0;
    for (const Table &t : tables) {
        for (long r = 0; r < t.rowCnt; r++) {
            _becnhDef &row = t.rowP[r];
            if (!row.sceneOptionDefP || !row.sceneOptionDefP->drawProcP || !row.dataPathP)
                continue;
            const uint32_t *o = row.sceneOptionFlg;
            if (!played.insert({(void *)row.sceneOptionDefP->drawProcP, o[0], o[1], o[2], o[3], o[4]}).second)
                continue;
            SCOPED_TRACE(std::string(t.name) + " row " + std::to_string(r) + " " + row.dataPathP);
            sysWork.status = (keep & ~(SYS_FULLSPEC | SYS_DEMO)) | t.sysStatus;
            _sceneDef *def = (_sceneDef *)entryKsx(row.dataPathP);
            ASSERT_NE(def, nullptr);
            if (row.imagePathP)
                entryKsf(row.imagePathP);
            _sceneOptionDef option = *row.sceneOptionDefP;
            option.waitTime = 0;
            const _sceneRunOpt run = {0, LoadEffects};
            {
                Scene scene;
                ASSERT_GE(scene.Load(def, &option, "", nullptr, 0, &run), 0);
                for (long i = 0; i < scene.GetLightCnt(); ++i)
                    scene.SetLight(i);
                scene.SetIlluminate();
                scene.SetFog();
                for (long j = 0; j < 5; ++j)
                    scene.SetOptionFlg(j, o[j]);
                scene.SetStatus((uint16_t)(scene.GetStatus() | SCENE_FRAME_LOCKED));
                scene.CallInit();
                const long frames = scene.GetFrameCnt();
                // Every frame stepped, every 16th (and the last) drawn.
                for (long f = 0; f < frames; f++) {
                    if (f > 0)
                        scene.SetFramePos(f);
                    const uint16_t status = scene.Frame(timeGetTime());
                    if (status & 0x0008)
                        sceneUpdateAll(&scene, status);
                    if (f % 16 != 0 && f != frames - 1)
                        continue;
                    sDrawClear();
                    scene.Render();
                    const std::vector<DWORD> before = DeviceStates();
                    scene.CallDraw();
                    const std::vector<DWORD> after = DeviceStates();
                    EXPECT_EQ(Differ(before, after), "") << "frame " << f << ": the draw left states changed";
                    EXPECT_EQ(Differ(KeptStates(), after), "") << "frame " << f << ": the copy disagrees";
                    draws++;
                }
                scene.CallExit();
            }
            ReleaseRow();
            std::free(def);
            rows++;
        }
    }
    sysWork.status = keep;
    EXPECT_EQ(drawMan.state.lostCnt, 0u) << "a scope too small to give everything back";
    EXPECT_GT(rows, 10);
    std::printf("draw callbacks checked: %ld rows, %ld draws\n", rows, draws);
}

// What the copy saves in one frame of the first benchmark scene (a number to read, not a limit).
TEST_F(BenchStates, CopySkipsRepeatedSetsInABenchmarkFrame)
{
    _becnhDef &row = benchDef[0];
    ASSERT_NE(row.dataPathP, nullptr);
    ASSERT_NE(GetFileAttributesA(row.dataPathP), INVALID_FILE_ATTRIBUTES) << row.dataPathP << " was not built";
    entryKsfDrawHook();
    const uint32_t keep = sysWork.status;
    sysWork.status |= SYS_FULLSPEC;
    _sceneDef *def = (_sceneDef *)entryKsx(row.dataPathP);
    ASSERT_NE(def, nullptr);
    if (row.imagePathP)
        entryKsf(row.imagePathP);
    _sceneOptionDef option = *row.sceneOptionDefP;
    option.waitTime = 0;
    const _sceneRunOpt run = {0, LoadEffects};
    {
        Scene scene;
        ASSERT_GE(scene.Load(def, &option, "", nullptr, 0, &run), 0);
        for (long i = 0; i < scene.GetLightCnt(); ++i)
            scene.SetLight(i);
        scene.SetIlluminate();
        scene.SetFog();
        for (long j = 0; j < 5; ++j)
            scene.SetOptionFlg(j, row.sceneOptionFlg[j]);
        scene.SetStatus((uint16_t)(scene.GetStatus() | SCENE_FRAME_LOCKED));
        scene.CallInit();
        const long mid = scene.GetFrameCnt() / 2;
        uint32_t sent = 0, skipped = 0;
        for (long f = 0; f <= mid; f++) {
            if (f > 0)
                scene.SetFramePos(f);
            const uint16_t status = scene.Frame(timeGetTime());
            if (status & 0x0008)
                sceneUpdateAll(&scene, status);
            if (f < mid - 1)
                continue;
            const uint32_t sent0 = drawMan.state.sentCnt, skip0 = drawMan.state.skipCnt;
            sDrawClear();
            scene.Render();
            scene.CallDraw();
            sent = drawMan.state.sentCnt - sent0;
            skipped = drawMan.state.skipCnt - skip0;
        }
        scene.CallExit();
        std::printf("%s frame %ld: %u state sets sent, %u skipped as already set\n", row.dataPathP, mid,
                    (unsigned)sent, (unsigned)skipped);
        EXPECT_GT(sent + skipped, 0u);
        EXPECT_EQ(drawMan.state.lostCnt, 0u);
    }
    ReleaseRow();
    std::free(def);
    sysWork.status = keep;
}

}  // namespace
