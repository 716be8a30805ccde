// The sample fighter, converted as the user-object test converts it, drawn by the real device.

#include <gtest/gtest.h>

#include "../../System/Shape/ObjTest.h"
#include "App/View/ViewLW.h"
#include "System/Draw/DrawMan.h"
#include "System/Shape/Shape.h"

namespace {

const uint32_t kBack = 0x000000;

} // namespace

TEST(ViewLwDraw, TheSampleFighterDrawsWithGlowingNozzles)
{
    ASSERT_EQ(0, ot::Open());
    for (const char *path : {"Data\\Lwo\\fighter.lwo", "Data\\Lwo\\fighter_lwob.lwo"}) {
        _shapeDef *def = nullptr;
        ASSERT_EQ(S_OK, viewLoadLwo(path, &def)) << path;
        {
            _shape s(def, 0);
            // Seen from behind, 15 units away: the whole craft is in view, nozzles towards us.
            s.SetTransZ(15.0f);
            s.MakeLocalMatrix();
            s.Update();
            ot::Clear(kBack);
            if (ot::Begin()) {
                s.Draw(ShapeDrawFlgNil, nullptr);
                s.Draw(ShapeDrawFlgAlpha, nullptr);
                ot::End();
            }
            int drawn = 0;
            for (long y = 0; y < 480; y += 4) {
                for (long x = 0; x < 640; x += 4) drawn += ot::Pixel(x, y) != kBack ? 1 : 0;
            }
            EXPECT_GT(drawn, 300) << path;
            // The glow is emissive: orange whatever the lights do.
            POINT n = ot::Screen(1.0f, -0.35f, 15.0f - 4.31f);
            uint32_t c = ot::Pixel(n.x, n.y);
            EXPECT_GT((c >> 16) & 255, 150u) << path << std::hex << " " << c;
            EXPECT_LT(c & 255, 100u) << path << std::hex << " " << c;
        }
        viewFreeLwo(def);
    }
    ot::Close();
}
