// Pre-transformed vertices from a scene package, drawn by the primitives on the real device under
// Wine: the reader checks the vertex array with one size and the vertex set fills its buffer with
// it, so a position of four floats must reach the device whole.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "App/App/AppCore.h"
#include "DeviceFixture.h"
#include "KbSample.h"
#include "KbScene.h"
#include "System/Draw/DrawMan.h"
#include "System/Primitive/Primitive.h"

namespace {

const uint32_t kBack = 0x202020;

struct ScreenVertex {
    float x, y, z, rhw;
    uint32_t diffuse;
};

class PretransformedDraw : public fx::DeviceTest {};

TEST_F(PretransformedDraw, PackageQuadFillsItsScreenRectangle)
{
    // A quad on pixels 100..300 x 100..300: green on the left half, blue on the right, so a short
    // or shifted copy of the vertices shows as a wrong colour or nothing.
    const ScreenVertex quad[4] = {{100, 100, 0.5f, 1, 0xFF00FF00u}, {300, 100, 0.5f, 1, 0xFF0000FFu},
                                  {100, 300, 0.5f, 1, 0xFF00FF00u}, {300, 300, 0.5f, 1, 0xFF0000FFu}};
    kbScene scene = kbSampleScene(1, 4, 2);
    kbVertexSet &set = scene.shapes[0].body->abilities[0].vertexSets[0];
    set = kbVertexSet{};
    set.vertexType = D3DFVF_XYZRHW | D3DFVF_DIFFUSE;
    set.vertexNum = 4;
    kbPutBytes(set.vertices, quad, sizeof quad);
    kbIndexSet strip;
    strip.primitiveType = D3DPT_TRIANGLESTRIP;
    strip.indices = {0, 1, 2, 3};
    set.indexSets.push_back(strip);

    kbBytes file;
    std::string error;
    ASSERT_TRUE(kbKsxWrite(scene, &file, &error)) << error;
    uint8_t *dataP = entryKsxMem(file.data(), (long)file.size());
    ASSERT_NE(nullptr, dataP) << "the reader refused the pre-transformed vertex set";
    const _sceneDef *defP = (const _sceneDef *)dataP;
    const _primVertexDefSet *vdefP = defP->shapeP[0].defP->abilityDefP[0]->vertexDefSetP;
    ASSERT_EQ((uint32_t)(D3DFVF_XYZRHW | D3DFVF_DIFFUSE), vdefP->vertexType);

    _primVertexSet prim;
    ASSERT_EQ(0, prim.Init(vdefP, 0, 0));
    sDrawSetState(D3DRENDERSTATE_ZENABLE, FALSE);
    sDrawSetState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
    sDrawSetStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    sDrawSetStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    fx::Clear(kBack);
    if (fx::Begin()) {
        prim.Draw();
        fx::End();
    }
    // Near each edge the colour is mostly that edge's (shaded across the quad).
    EXPECT_LE(fx::Distance(0x00FF00u, fx::Pixel(104, 200)), 12) << std::hex << fx::Pixel(104, 200);
    EXPECT_LE(fx::Distance(0x0000FFu, fx::Pixel(296, 200)), 12) << std::hex << fx::Pixel(296, 200);
    EXPECT_EQ(kBack, fx::Pixel(90, 200));
    EXPECT_EQ(kBack, fx::Pixel(200, 310));
    sDrawSetState(D3DRENDERSTATE_ZENABLE, TRUE);
    sDrawSetState(D3DRENDERSTATE_CULLMODE, D3DCULL_CCW);
    sDrawSetStage(0, DRAW_STAGE_MODULATE);
    free(dataP);
}

}  // namespace
