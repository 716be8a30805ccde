#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "App/AfterImage/AfterImage.h"
#include "App/AfterImage/AfterImageCore.h"

namespace {

struct DefOf {
    std::vector<_sceneShapeDef> shapes;
    _sceneDef def{};
    explicit DefOf(const std::vector<std::string> &aNames)
    {
        for (const std::string &n : aNames) {
            _sceneShapeDef s{};
            strncpy(s.name, n.c_str(), SCENE_NAME_SIZE - 1);
            shapes.push_back(s);
        }
        def.shapeCnt = (uint16_t)shapes.size();
        def.shapeP = shapes.data();
    }
};

D3DVECTOR V(float aX, float aY, float aZ)
{
    D3DVECTOR v;
    v.x = aX;
    v.y = aY;
    v.z = aZ;
    return v;
}

}  // namespace

TEST(AfterImagePairs, NumberedStartAndEndShapesPair)
{
    DefOf d({"Blade_e_img1", "sword", "Blade_s_img1", "tip_s_img2", "x_e_img12"});
    AfterImageLoad(&d.def, (long)d.shapes.size());
    ASSERT_EQ(_imgInfoCnt, 1u);
    EXPECT_EQ(_imgInfoP[0].startNum, 2);
    EXPECT_EQ(_imgInfoP[0].endNum, 0);
}

TEST(AfterImagePairs, NinthPairIsIgnored)
{
    std::vector<std::string> names;
    for (int n = 1; n <= 9; n++) {
        names.push_back("s_img" + std::to_string(n));
        names.push_back("e_img" + std::to_string(n));
    }
    DefOf d(names);
    AfterImageLoad(&d.def, (long)d.shapes.size());
    EXPECT_EQ(_imgInfoCnt, 8u);
    EXPECT_EQ(_imgInfoP[7].startNum, 14);
    AfterImageLoad(nullptr, 0);
    EXPECT_EQ(_imgInfoCnt, 0u);
}

TEST(AfterImageColour, DefaultCyanAndGivenColourFadeAlongTheTrail)
{
    // Newest slot at full strength: (0.6, 0.235, 1.0, 0.862745) x 255.
    const uint32_t c = sAfterImageColour(0, 0);
    EXPECT_NEAR((double)(c >> 24), 153, 1);
    EXPECT_NEAR((double)((c >> 16) & 0xFF), 60, 1);
    EXPECT_NEAR((double)((c >> 8) & 0xFF), 255, 1);
    EXPECT_NEAR((double)(c & 0xFF), 220, 1);
    EXPECT_EQ(sAfterImageColour(0, 6), 0u);
    // End side a tenth as bright.
    EXPECT_EQ(sAfterImageColour(0xFF0000FF, 7), (25u << 24) | 25u);
    EXPECT_EQ(sAfterImageColour(0xFF0000FF, 0) >> 24, 255u);
    uint16_t idx[IMG_INDEX_NUM];
    sAfterImageIndices(idx);
    const uint16_t first[6] = {0, 1, 7, 1, 7, 8};
    EXPECT_EQ(memcmp(idx, first, sizeof(first)), 0);
    EXPECT_EQ(idx[35], 13);
}

TEST(AfterImageTrail, WaitsWhileDissolvingThenStartsCollapsedAndShifts)
{
    _IMG_VERTEX v[IMG_VERT_NUM];
    _imgInfo info{};
    info.imgVertP = v;
    const D3DVECTOR s0 = V(0, 0, 0), e0 = V(0, 10, 0);
    sAfterImageInitVertex(v, 0, &s0, &e0);
    const D3DVECTOR s1 = V(5, 0, 0), e1 = V(5, 10, 0);
    sAfterImageStep(&info, &s1, &e1, 0.0f, 0.5f);
    EXPECT_EQ(info.initFlg, 0);
    EXPECT_EQ(v[0].x, 0.0f);
    sAfterImageStep(&info, &s1, &e1, 0.49f, 0.0f);
    EXPECT_EQ(info.initFlg, 1);
    for (long n = 0; n < IMG_TRAIL; n++) {
        EXPECT_EQ(v[n].x, 5.0f);
        EXPECT_EQ(v[n + IMG_TRAIL].y, 10.0f);
    }
    const D3DVECTOR s2 = V(6, 0, 0), e2 = V(6, 10, 0);
    sAfterImageStep(&info, &s2, &e2, 0.9f, 0.9f);  // once started, dissolving does not stop it
    EXPECT_EQ(v[0].x, 6.0f);
    EXPECT_EQ(v[1].x, 5.0f);
    EXPECT_EQ(v[8].x, 5.0f);
    EXPECT_EQ(v[0].col, sAfterImageColour(0, 0));  // colours stay with their slots
}

TEST(AfterImageTrail, SameFrameTwiceIsOneStep)
{
    _prevFrame = -1;
    EXPECT_TRUE(sAfterImageNewFrame(0));
    EXPECT_FALSE(sAfterImageNewFrame(0));
    EXPECT_TRUE(sAfterImageNewFrame(1));
}
