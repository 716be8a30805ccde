#include <gtest/gtest.h>

#include "System/Ability/AbilityCore.h"

namespace {

TEST(AbilityPass, OpaqueAndTranslucentAbilitiesTakeTheirOwnPass)
{
    const struct {
        uint32_t status, flg;
        bool draws;
    } rows[] = {
        {0x0, 1, true},  {0x0, 2, false},  {0x1, 1, false}, {0x1, 2, true},
        {0x0, 12, true}, {0x1, 12, true},  // the shadow map draws every ability
        {0x3, 17, false}, {0x2, 65, true},
    };
    for (const auto &r : rows)
        EXPECT_EQ(r.draws, sAbilityDrawsInPass(r.status, r.flg)) << std::hex << r.status << "/" << r.flg;
}

TEST(AbilityRenderState, StatusBitsInTheOrderTheyAreSet)
{
    _renderState t[ABL_STATE_TBL_NUM];
    sAbilityStateTable(0x1 | 0x2 | 0x10 | 0x20 | 0x40, 5, 6, t);
    const _renderState translucent[ABL_STATE_TBL_NUM] = {
        {9, 2}, {22, 1}, {41, 1}, {29, 1}, {27, 1}, {14, 0}, {19, 5}, {20, 6},
    };
    for (int i = 0; i < ABL_STATE_TBL_NUM; ++i) {
        EXPECT_EQ(translucent[i].type, t[i].type) << i;
        EXPECT_EQ(translucent[i].state, t[i].state) << i;
    }
    // Opaque: flat, counter-clockwise culling, no key or specular, and one/zero blending
    // whatever the ability's factors.
    sAbilityStateTable(0x0, 5, 6, t);
    const _renderState opaque[ABL_STATE_TBL_NUM] = {
        {9, 1}, {22, 3}, {41, 0}, {29, 0}, {27, 0}, {14, 1}, {19, 2}, {20, 1},
    };
    for (int i = 0; i < ABL_STATE_TBL_NUM; ++i) {
        EXPECT_EQ(opaque[i].type, t[i].type) << i;
        EXPECT_EQ(opaque[i].state, t[i].state) << i;
    }
}

TEST(AbilityTransmission, GeometryKindFromTheStatus)
{
    EXPECT_EQ(0x0u, sAbilityTransmission(0x0, 0));
    EXPECT_EQ(0x1u, sAbilityTransmission(0x0, 1));
    EXPECT_EQ(0x3u, sAbilityTransmission(0x4, 1));
    EXPECT_EQ(0x4u, sAbilityTransmission(0x8, 0));
    EXPECT_EQ(0x8u, sAbilityTransmission(0x80, 0));
    EXPECT_EQ(0xEu, sAbilityTransmission(0x8C, 0));
}

struct Alpha {
    uint32_t status;
    D3DMATERIAL7 mtrl;
    _abilityRenderState rs;
    float authored;
    Alpha(uint32_t aStatus, float aAuthored) : status(aStatus), mtrl(), rs(), authored(aAuthored)
    {
        mtrl.diffuse.a = aAuthored;
        rs.srcBlend = 2;
        rs.destBlend = 2;
    }
    void Change(long aFlg, uint32_t aSrc, uint32_t aDst, float aVal)
    {
        sAbilityChangeAlpha(&status, &mtrl, &rs, authored, aFlg, aSrc, aDst, aVal);
    }
};

TEST(AbilityChangeAlpha, AuthoredOpaqueMovesToTheTranslucentPassAndBack)
{
    Alpha a(0x10002, 1.0f);
    a.Change(1, 5, 6, 0.5f);
    EXPECT_EQ(0x10003u, a.status);
    EXPECT_EQ(0.5f, a.mtrl.diffuse.a);
    EXPECT_EQ(5u, a.rs.srcBlend);
    EXPECT_EQ(6u, a.rs.destBlend);
    a.Change(0, 2, 2, 1.0f);
    EXPECT_EQ(0x10002u, a.status);
    EXPECT_EQ(1.0f, a.mtrl.diffuse.a);
}

TEST(AbilityChangeAlpha, AuthoredTranslucentKeepsItsBlendFactors)
{
    Alpha a(0x10001, 0.6f);
    a.Change(1, 5, 6, 0.5f);
    EXPECT_EQ(0x10001u, a.status);
    EXPECT_FLOAT_EQ(0.3f, a.mtrl.diffuse.a);
    EXPECT_EQ(2u, a.rs.srcBlend);
    EXPECT_EQ(2u, a.rs.destBlend);
    a.Change(0, 2, 2, 1.0f);
    EXPECT_EQ(0x10001u, a.status);  // stays translucent
    EXPECT_FLOAT_EQ(0.6f, a.mtrl.diffuse.a);
}

}  // namespace
