#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "System/Particle/ParticleCore.h"

namespace {

// The emitter's motion without an image.
struct Emitter : _particleBase {
    long Init(_particleDef *aDefP)
    {
        const long r = _InitMotion(aDefP, nullptr);
        if (r == 0)
            _status |= PARTICLE_STAT_INIT;
        return r;
    }
    long Alive() const
    {
        long n = 0;
        for (long i = 0; i < GetNum(); ++i)
            n += (GetWork(i)->status & PARTICLE_WORK_ALIVE) ? 1 : 0;
        return n;
    }
};

// A calm emitter: one slot, one birth per step, straight up at speed 1, no spread, no forces,
// long life.
_particleDef Calm()
{
    _particleDef d;
    std::memset(&d, 0, sizeof d);
    d.particleStatus = 0;
    d.workNum = 1;
    d.birthRate = 1;
    d.initSpeedMin = d.initSpeedMax = 1.0f;
    d.initScaleMin = d.initScaleMax = 1.0f;
    d.lifeMin = 100;
    d.lifeMax = 101;
    d.colorStart.r = d.colorStart.a = 1.0f;
    return d;
}

// The next aCount values of the sequence that srand(aSeed) starts.
std::vector<int> Sequence(unsigned aSeed, int aCount)
{
    std::srand(aSeed);
    std::vector<int> r(aCount);
    for (int &v : r)
        v = sParticleRand();
    std::srand(aSeed);
    return r;
}

const int kBirthDraws = 12;  // position x3, speed, heading, spread, sign, scale, growth, life, two pulls
const int kStepDraws = 2;    // the two flicker angles

TEST(ParticleMove, SameFrameTwiceChangesNothing)
{
    _particleDef d = Calm();
    d.workNum = 4;
    Emitter e;
    ASSERT_EQ(0, e.Init(&d));
    const std::vector<int> seq = Sequence(7, 256);
    e.Move(5);
    std::vector<_particleWork> before(e._workP, e._workP + 4);
    e.Move(5);
    e.Move(4);  // an older frame changes nothing either
    EXPECT_EQ(0, std::memcmp(before.data(), e._workP, sizeof(_particleWork) * 4));
    // Frame 5 as the first frame is six steps (from the construction's 0xFFFFFFFF).
    EXPECT_EQ(seq.at(4 * kBirthDraws + (1 + 2 + 3 + 4 + 4 + 4) * kStepDraws), sParticleRand());
}

TEST(ParticleMove, LongJumpSimulatesEightSteps)
{
    _particleDef d = Calm();
    Emitter e;
    ASSERT_EQ(0, e.Init(&d));
    e.Move(0);
    ASSERT_EQ(1, e.Alive());
    EXPECT_FLOAT_EQ(1.0f, e.GetWork(0)->coord.nowStat.ty);
    e.Move(20);
    EXPECT_FLOAT_EQ(9.0f, e.GetWork(0)->coord.nowStat.ty);
    EXPECT_EQ(100 - 9, e.GetWork(0)->lifeCnt);
}

TEST(ParticleMove, DrawsFollowTheFixedOrder)
{
    _particleDef d = Calm();
    d.size.x = 4.0f, d.size.y = 2.0f, d.size.z = 8.0f;
    d.lifeMin = 10, d.lifeMax = 50;
    d.initScaleMin = 0.5f, d.initScaleMax = 1.5f;
    Emitter e;
    ASSERT_EQ(0, e.Init(&d));
    e.SetTransX(10.0f);
    const std::vector<int> r = Sequence(1234, 256);
    e.Move(0);
    const _particleWork &p = *e.GetWork(0);
    const float k = PARTICLE_RAND_K;
    EXPECT_FLOAT_EQ((float)r[0] * 4.0f * k + 10.0f - 2.0f, p.birthPos.x);
    EXPECT_FLOAT_EQ((float)r[1] * 2.0f * k + 0.0f - 1.0f, p.birthPos.y);
    EXPECT_FLOAT_EQ((float)r[2] * 8.0f * k + 0.0f - 4.0f, p.birthPos.z);
    EXPECT_FLOAT_EQ((float)r[7] * 1.0f * k + 0.5f + 0.0f, p.coord.nowStat.sx);  // no growth
    EXPECT_EQ((int32_t)((uint32_t)r[9] % 40u + 10u) - 1, p.lifeCnt);
    EXPECT_EQ(r.at(kBirthDraws + kStepDraws), sParticleRand());
}

TEST(ParticleMove, FullPoolLosesBirthsWithoutDrawing)
{
    _particleDef d = Calm();
    d.workNum = 3;
    d.birthRate = 5;
    Emitter e;
    ASSERT_EQ(0, e.Init(&d));
    const std::vector<int> seq = Sequence(99, 256);
    e.Move(0);
    EXPECT_EQ(3, e.Alive());
    EXPECT_EQ(seq.at(3 * kBirthDraws + 3 * kStepDraws), sParticleRand());
}

TEST(ParticleMove, FreedSlotIsReusedOnlyInALaterStep)
{
    _particleDef d = Calm();
    d.lifeMin = d.lifeMax = 1;  // life exactly 1
    Emitter e;
    ASSERT_EQ(0, e.Init(&d));
    e.Move(0);  // born, one step left
    EXPECT_EQ(1, e.Alive());
    e.Move(1);  // the pool is full when births come; then the particle dies
    EXPECT_EQ(0, e.Alive());
    e.Move(2);
    EXPECT_EQ(1, e.Alive());
}

TEST(ParticleMove, ParticleBornWithNoLifeDiesBeforeMoving)
{
    _particleDef d = Calm();
    d.lifeMin = d.lifeMax = 0;
    Emitter e;
    ASSERT_EQ(0, e.Init(&d));
    e.Move(0);
    EXPECT_EQ(0, e.Alive());
    EXPECT_EQ(0.0f, e.GetWork(0)->coord.nowStat.ty);
}

TEST(ParticleMove, EqualLifeBoundsGiveExactlyThatLife)
{
    _particleDef d = Calm();
    d.workNum = 6;
    d.birthRate = 6;
    d.lifeMin = d.lifeMax = 10;
    Emitter e;
    ASSERT_EQ(0, e.Init(&d));
    EXPECT_EQ(11u, e._lifeMax);
    e.Move(0);
    for (long i = 0; i < 6; ++i)
        EXPECT_EQ(9, e.GetWork(i)->lifeCnt) << i;
}

TEST(ParticleMove, PeriodicBirthsOnMultiplesOfTheRate)
{
    _particleDef d = Calm();
    d.particleStatus = PARTICLE_STAT_PERIODIC;
    d.workNum = 16;
    d.birthRate = 3;
    Emitter e;
    ASSERT_EQ(0, e.Init(&d));
    const long want[] = {1, 1, 1, 2, 2, 2};
    for (uint32_t f = 0; f < 6; ++f) {
        e.Move(f);
        EXPECT_EQ(want[f], e.Alive()) << f;
    }
    // Frames 6 to 9 in one call: every sub-step sees frame 9, so each gives a birth.
    e.Move(9);
    EXPECT_EQ(2 + 4, e.Alive());
    // No period at all: nothing is born.
    d.birthRate = 0;
    Emitter none;
    ASSERT_EQ(0, none.Init(&d));
    none.Move(0);
    EXPECT_EQ(0, none.Alive());
}

TEST(ParticleMove, NoBirthsAtZeroScale)
{
    _particleDef d = Calm();
    d.birthRate = 10;
    Emitter e;
    ASSERT_EQ(0, e.Init(&d));
    e.SetScaleX(0.0f);
    e.Move(0);
    EXPECT_EQ(0, e.Alive());
    e.SetScaleX(0.35f);  // 10 x 0.35 = 3.5: three births, one slot
    e.Move(1);
    EXPECT_EQ(1, e.Alive());
}

TEST(ParticleMove, ZeroFlickerNeverTurnsButDrawsTwice)
{
    _particleDef d = Calm();
    Emitter e;
    ASSERT_EQ(0, e.Init(&d));
    const std::vector<int> seq = Sequence(5, 256);
    e.Move(0);
    e.Move(3);
    const _particleWork &p = *e.GetWork(0);
    EXPECT_EQ(0.0f, p.move.x);
    EXPECT_EQ(1.0f, p.move.y);
    EXPECT_EQ(seq.at(kBirthDraws + 4 * kStepDraws), sParticleRand());
}

TEST(ParticleMove, FlickerTurnsTheVelocity)
{
    _particleDef d = Calm();
    d.flickerAngleMin = d.flickerAngleMax = 10.0f;
    Emitter e;
    ASSERT_EQ(0, e.Init(&d));
    std::srand(11);
    e.Move(0);
    const _particleWork &p = *e.GetWork(0);
    EXPECT_NEAR(1.0f, std::sqrt(p.move.x * p.move.x + p.move.y * p.move.y + p.move.z * p.move.z), 1e-5f);
    EXPECT_LT(p.move.y, 0.999f);
}

TEST(ParticleMove, GravityPullsAndColourFades)
{
    _particleDef d = Calm();
    d.initSpeedMin = d.initSpeedMax = 0.0f;
    d.gravityAcceleration = 0.5f;
    d.gravityOrientation.y = -2.0f;  // normalised when set
    d.lifeMin = d.lifeMax = 4;
    d.colorStart.r = 1.0f, d.colorStart.a = 1.0f;
    d.colorEnd.r = 0.0f, d.colorEnd.a = 0.2f;
    Emitter e;
    ASSERT_EQ(0, e.Init(&d));
    EXPECT_EQ(-1.0f, e._gravityOrientation.y);
    e.Move(0);
    e.Move(1);
    e.Move(2);
    const _particleWork &p = *e.GetWork(0);
    // Moves of 0, -0.5, -1 over three steps.
    EXPECT_FLOAT_EQ(-1.5f, p.coord.nowStat.ty);
    EXPECT_FLOAT_EQ(-1.5f, p.move.y);
    EXPECT_FLOAT_EQ(1.0f - 3 * 0.25f, p.col.r);
    EXPECT_FLOAT_EQ(1.0f - 3 * 0.2f, p.col.a);
}

TEST(ParticleMove, PullsDoNotOvershoot)
{
    _particleDef d = Calm();
    d.initSpeedMin = d.initSpeedMax = 0.0f;
    d.size.x = 4.0f;
    d.centripetalForceMin = d.centripetalForceMax = 100.0f;
    Emitter e;
    ASSERT_EQ(0, e.Init(&d));
    e.SetTransY(3.0f);
    std::srand(3);
    e.Move(0);
    const _particleWork &p = *e.GetWork(0);
    EXPECT_EQ(0.0f, p.coord.nowStat.tx);
    EXPECT_EQ(3.0f, p.coord.nowStat.ty);

    // A weak pull back to the birth point after drifting one unit.
    d.centripetalForceMin = d.centripetalForceMax = 0.0f;
    d.birthDirForceMin = d.birthDirForceMax = 0.25f;
    d.initSpeedMin = d.initSpeedMax = 1.0f;
    Emitter b;
    ASSERT_EQ(0, b.Init(&d));
    b.Move(0);
    EXPECT_FLOAT_EQ(b.GetWork(0)->birthPos.y + 0.75f, b.GetWork(0)->coord.nowStat.ty);
}

TEST(ParticleMove, EmitterOrientationTurnsTheBirthDirection)
{
    _particleDef d = Calm();
    Emitter e;
    ASSERT_EQ(0, e.Init(&d));
    e.SetAngleZ(90.0f);
    e.Move(0);
    const _particleWork &p = *e.GetWork(0);
    EXPECT_NEAR(-1.0f, p.move.x, 1e-5f);
    EXPECT_NEAR(0.0f, p.move.y, 1e-5f);
    EXPECT_NEAR(-1.0f, p.coord.nowStat.tx, 1e-5f);
}

TEST(ParticleMove, SpreadConeAndGrid)
{
    _particleDef d = Calm();
    d.workNum = 50;
    d.birthRate = 50;
    d.spreadMin = 20.0f, d.spreadMax = 40.0f;
    d.gridAngle = 15.0f;
    Emitter e;
    ASSERT_EQ(0, e.Init(&d));
    std::srand(21);
    e.Move(0);
    for (long i = 0; i < 50; ++i) {
        const D3DVECTOR &m = e.GetWork(i)->move;
        const float lean = std::acos(m.y) * 57.29578f;  // from +y
        // Snapped down to 15 or 30 degrees.
        EXPECT_TRUE(std::fabs(lean - 15.0f) < 0.01f || std::fabs(lean - 30.0f) < 0.01f) << lean;
    }
}

TEST(ParticleInit, EmptyDefinitionsLeaveTheEmitterIdle)
{
    Emitter none;
    EXPECT_EQ(-1, none.Init(nullptr));
    _particleDef d = Calm();
    d.workNum = 0;
    Emitter empty;
    EXPECT_EQ(-1, empty.Init(&d));
    EXPECT_EQ(0u, empty.GetStatus() & PARTICLE_STAT_INIT);
    const std::vector<int> seq = Sequence(8, 256);
    empty.Move(0);
    empty.Update();
    EXPECT_EQ(seq.at(0), sParticleRand());
}

TEST(ParticleInit, ParametersDoNotResizeThePool)
{
    _particleDef d = Calm();
    d.workNum = 2;
    d.birthRate = 10;
    Emitter e;
    ASSERT_EQ(0, e.Init(&d));
    d.workNum = 500;
    e.SetParameter(&d);
    EXPECT_EQ(2, e.GetNum());
    e.Move(0);
    EXPECT_EQ(2, e.Alive());

    _particleDef back;
    std::memset(&back, 0, sizeof back);
    e.GetParameter(&back);
    EXPECT_EQ(500, back.workNum);
    EXPECT_EQ(10, back.birthRate);
    EXPECT_EQ(101u, back.lifeMax);
    EXPECT_EQ(1.0f, back.initSpeedMax);
}

TEST(ParticleUpdate, LivingParticlesGetTheirMatrices)
{
    _particleDef d = Calm();
    Emitter e;
    ASSERT_EQ(0, e.Init(&d));
    e.Move(0);
    e.Update();
    const _particleWork &p = *e.GetWork(0);
    EXPECT_FLOAT_EQ(1.0f, p.coord.world._42);
    EXPECT_EQ(0, p.coord.flg & COORD_FLG_DIRTY);
}

}  // namespace
