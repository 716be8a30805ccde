// One water frame on the real device under Wine, read back from the back buffer.

#include <gtest/gtest.h>

#include <windows.h>
#include <d3d.h>

#include <set>
#include <string>

#include "DeviceFixture.h"
#include "App/Scene/Scene.h"
#include "App/Water/Water.h"
#include "KbImage.h"
#include "KbKsf.h"
#include "System/D3DFrame/d3dutil.h"
#include "System/Draw/DrawMan.h"
#include "System/Sys/SYSTEM.h"

namespace {

const uint32_t kBack = 0x202020;
// The sky: two colours in vertical bands, so that a flat surface shows both.
const uint32_t kSkyA = 0xC0C0C0, kSkyB = 0x4080F0;

// Sky colour c drawn over the black refraction image with source colour and inverse source
// colour: c·c + 0·(1 - c).
uint32_t overBlack(uint32_t aSky)
{
    uint32_t out = 0;
    for (int sh = 0; sh <= 16; sh += 8) {
        const uint32_t c = aSky >> sh & 0xFF;
        out |= (c * c / 255) << sh;
    }
    return out;
}

class WaterDraw : public ::testing::Test {
protected:
    char _oldDir[MAX_PATH] = {};

    void SetUp() override
    {
        ASSERT_TRUE(fx::EnterTempFolder("kestrel_water", _oldDir));
        kbImage sky = kbImageMake(64, 64);
        for (uint32_t y = 0; y < 64; y++)
            for (uint32_t x = 0; x < 64; x++)
                sky.pixels[y * 64 + x] = ((x / 16) & 1 ? kSkyB : kSkyA) << 8 | 0xFF;
        ASSERT_EQ("", fx::PicturePackage("Data\\Ksf\\05.ksf", "se152.bmp", sky));
        ASSERT_EQ(0, fx::OpenScene(640, 480));

        // Looking down on the surface from above and in front.
        D3DMATRIX view = {}, proj;
        // Eye (0, 7, -5) toward (0, 0.75, 0): forward (0, -6.25, 5) normalised, right +x.
        const float fy = -6.25f / 8.0039f, fz = 5.0f / 8.0039f;
        const float uy = fz, uz = -fy;  // up = forward × right, turned
        view._11 = 1.0f;
        view._22 = uy, view._23 = fy;
        view._32 = uz, view._33 = fz;
        view._42 = -(uy * 7.0f + uz * -5.0f);
        view._43 = -(fy * 7.0f + fz * -5.0f);
        view._44 = 1.0f;
        D3DUtil_SetProjectionMatrix(proj, 0.9f, 0.75f, 1.0f, 100.0f);
        drawMan.d3dDevP->SetTransform(D3DTRANSFORMSTATE_VIEW, &view);
        drawMan.d3dDevP->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &proj);
        sDrawSetState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
    }
    void TearDown() override
    {
        _waterEffect.Release();
        fx::Close();
        SetCurrentDirectoryA(_oldDir);
    }
};

TEST_F(WaterDraw, OneFrameShowsTheSkyBlendedOverTheRefractionImage)
{
    Scene scene;
    sysWork.caps.cpuOption = 0;
    WaterSceneInit((uint8_t *)&scene, 0, nullptr, nullptr);
    ASSERT_EQ(WATER_STAT_READY, _waterEffect.GetStatus() & WATER_STAT_READY);
    EXPECT_TRUE(scene.GetStatus() & SCENE_HIDDEN);

    scene.SetStatus((uint16_t)(scene.GetStatus() | SCENE_ADVANCED));
    WaterSceneExec((uint8_t *)&scene, 0, nullptr, nullptr);
    fx::Clear(kBack);
    WaterSceneDraw((uint8_t *)&scene, 0, nullptr, nullptr);
    EXPECT_TRUE(scene.GetStatus() & SCENE_HIDDEN) << "the scene's own render stays hidden";

    // Across the middle of the screen: the two blended sky colours, nothing flat and nothing of
    // the bare sky.
    const uint32_t a = overBlack(kSkyA), b = overBlack(kSkyB);
    long seenA = 0, seenB = 0, other = 0;
    for (long x = 200; x < 440; x += 2) {
        const uint32_t p = fx::Pixel(x, 240);
        if (fx::Distance(p, a) <= 12)
            seenA++;
        else if (fx::Distance(p, b) <= 12)
            seenB++;
        else
            other++;
    }
    EXPECT_GT(seenA, 10);
    EXPECT_GT(seenB, 10);
    EXPECT_GT(seenA + seenB, other) << "filtered band edges only";
    // The refraction pass leaves the back buffer cleared to black; the scene (empty) draws
    // nothing over it outside the water.
    EXPECT_LE(fx::Distance(0x000000, fx::Pixel(2, 2)), 8);

    // The next frame, counted: the step works on the processor's copy, so each layer is locked
    // once, write-only, and nothing is read back; no state is sent twice.
    drawMan.count = {};
    const uint32_t redundant = drawMan.state.redundantCnt;
    drawMan.countOn = 1;
    WaterSceneExec((uint8_t *)&scene, 1, nullptr, nullptr);
    WaterSceneDraw((uint8_t *)&scene, 1, nullptr, nullptr);
    drawMan.countOn = 0;
    EXPECT_EQ(2u, drawMan.count.locks);
    EXPECT_EQ(0u, drawMan.count.readBacks);
    EXPECT_EQ(2u, drawMan.count.drawCalls);
    EXPECT_EQ(2u * 14406 / 3, drawMan.count.primitives);
    EXPECT_EQ(2u * (2500 * sizeof(D3DVERTEX) + 14406 * 2), drawMan.count.uploadBytes);
    EXPECT_EQ(redundant, drawMan.state.redundantCnt);

    // A drop fell on the first frame and the step was timed.
    int64_t mn, mx, avr, cnt;
    _waterEffect.GetBenchTime(&mn, &mx, &avr, &cnt);
    EXPECT_EQ(2, cnt);
    WaterSceneExit((uint8_t *)&scene, 0, nullptr, nullptr);
    EXPECT_EQ((double)avr, scene.GetCps());
    EXPECT_EQ(0, _waterEffect.GetStatus());
}

TEST_F(WaterDraw, WithoutTheSkyTheSceneHasNoWater)
{
    ASSERT_TRUE(DeleteFileA("Data\\Ksf\\05.ksf"));
    Scene scene;
    WaterSceneInit((uint8_t *)&scene, 0, nullptr, nullptr);
    EXPECT_EQ(0, _waterEffect.GetStatus() & WATER_STAT_READY);
    scene.SetStatus((uint16_t)(scene.GetStatus() | SCENE_ADVANCED));
    WaterSceneExec((uint8_t *)&scene, 0, nullptr, nullptr);
    fx::Clear(kBack);
    WaterSceneDraw((uint8_t *)&scene, 0, nullptr, nullptr);
    EXPECT_LE(fx::Distance(kBack, fx::Pixel(320, 240)), 8);
    int64_t mn, mx, avr, cnt;
    _waterEffect.GetBenchTime(&mn, &mx, &avr, &cnt);
    EXPECT_EQ(0, mn + mx + avr + cnt);
}

}  // namespace
