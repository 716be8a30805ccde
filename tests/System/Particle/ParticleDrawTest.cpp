// Particle emitters drawn by the real device under Wine, pixels read back.

#include <gtest/gtest.h>

#include <cstring>

#include "DeviceFixture.h"
#include "System/Draw/DrawMan.h"
#include "System/Particle/Particle.h"

namespace {

const uint32_t kRed = 0xFF0000, kBack = 0x000000;
const int kTol = 8;

#define EXPECT_RGB(want, got) EXPECT_LE(fx::Distance((want), (got)), kTol) << std::hex << (want) << " / " << (got)

// Still particles of size 1 at the emitter, living aLife steps, drawn with a red texture.
_particleDef Still(uint32_t aStatus, uint32_t aLife)
{
    _particleDef d;
    std::memset(&d, 0, sizeof d);
    d.particleStatus = aStatus;
    d.workNum = 4;
    d.texSet = fx::TexSet(fx::Bitmap("kpar_red.bmp", kRed));
    d.birthRate = 1;
    d.initScaleMin = d.initScaleMax = 1.0f;
    d.lifeMin = d.lifeMax = aLife;
    d.colorStart.r = d.colorStart.g = d.colorStart.b = d.colorStart.a = 1.0f;
    d.colorEnd = d.colorStart;
    return d;
}

class ParticleDraw : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(0, fx::OpenScene()); }
    static void TearDownTestSuite() { fx::Close(); }
    void SetUp() override
    {
        ASSERT_NE(nullptr, drawMan.d3dDevP);
        // The quad shapes are lit by the scene's ambient light.
        sDrawSetState(D3DRENDERSTATE_AMBIENT, 0xFFFFFFFF);
    }
    void TearDown() override { sDrawSetState(D3DRENDERSTATE_AMBIENT, 0); }

    static void Frame(_particle &aP, uint32_t aFrame)
    {
        aP.Move(aFrame);
        aP.Update();
        fx::Clear(kBack);
        if (fx::Begin()) {
            aP.Draw();
            fx::End();
        }
    }
};

TEST_F(ParticleDraw, LivingParticlesAreDrawnAsSpritesOrQuads)
{
    for (uint32_t mode : {(uint32_t)PARTICLE_STAT_SPRITE, 0u}) {
        _particleDef d = Still(mode, 2);
        _particle p(&d, nullptr);
        ASSERT_NE(0u, p.GetStatus() & PARTICLE_STAT_INIT) << mode;
        p.SetTransX(1.0f);
        p.SetTransY(1.0f);
        const POINT at = fx::Screen(1.0f, 1.0f, 0.0f), edge = fx::Screen(1.4f, 1.4f, 0.0f);
        const POINT off = fx::Screen(1.7f, 1.0f, 0.0f);
        Frame(p, 0);
        EXPECT_RGB(kRed, fx::Pixel(at.x, at.y)) << mode;
        EXPECT_RGB(kRed, fx::Pixel(edge.x, edge.y)) << mode;
        EXPECT_RGB(kBack, fx::Pixel(off.x, off.y)) << mode;
        EXPECT_RGB(kBack, fx::Pixel(320, 240)) << mode;
        // Life 2: born on frame 0, gone after frame 2 (the pool being full meanwhile).
        Frame(p, 1);
        EXPECT_RGB(kRed, fx::Pixel(at.x, at.y)) << mode;
        p.SetScaleX(0.0f);  // no more births
        Frame(p, 2);
        Frame(p, 3);
        EXPECT_RGB(kBack, fx::Pixel(at.x, at.y)) << mode;
    }
}

TEST_F(ParticleDraw, MovingParticlesLeaveTheEmitter)
{
    _particleDef d = Still(PARTICLE_STAT_SPRITE, 50);
    d.initSpeedMin = d.initSpeedMax = 0.5f;  // straight up
    d.initScaleMin = d.initScaleMax = 0.5f;
    d.workNum = 1;
    _particle p(&d, nullptr);
    Frame(p, 0);
    Frame(p, 4);  // five steps: 2.5 units up
    const POINT up = fx::Screen(0.0f, 2.5f, 0.0f);
    EXPECT_RGB(kRed, fx::Pixel(up.x, up.y));
    EXPECT_RGB(kBack, fx::Pixel(320, 240));
}

TEST_F(ParticleDraw, EmptyEmitterNeitherMovesNorDraws)
{
    _particleDef d = Still(PARTICLE_STAT_SPRITE, 5);
    d.workNum = 0;
    _particle p(&d, nullptr);
    EXPECT_EQ(0u, p.GetStatus() & PARTICLE_STAT_INIT);
    Frame(p, 0);
    EXPECT_RGB(kBack, fx::Pixel(320, 240));
    _particle none(nullptr, nullptr);
    Frame(none, 0);
    EXPECT_RGB(kBack, fx::Pixel(320, 240));
}

} // namespace
