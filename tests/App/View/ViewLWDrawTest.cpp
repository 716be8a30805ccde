// The sample fighter, converted as the user-object test converts it, drawn by the real device.

#include <gtest/gtest.h>

#include "DeviceFixture.h"
#include "App/View/ViewLW.h"
#include "System/Draw/DrawMan.h"
#include "System/Shape/Shape.h"

namespace {

// Grey, so that unlit (black) parts of the craft count as drawn too.
const uint32_t kBack = 0x406080;

} // namespace

TEST(ViewLwDraw, TheSampleFighterDrawsWithGlowingNozzles)
{
    ASSERT_EQ(0, fx::OpenScene());
    for (const char *path : {"Data\\Lwo\\fighter.lwo", "Data\\Lwo\\fighter_lwob.lwo"}) {
        _shapeDef *def = nullptr;
        ASSERT_EQ(S_OK, viewLoadLwo(path, &def)) << path;
        {
            _shape s(def, 0);
            // Seen from behind, 15 units away: the whole craft is in view, nozzles towards us.
            s.SetTransZ(15.0f);
            s.MakeLocalMatrix();
            s.Update();
            fx::Clear(kBack);
            if (fx::Begin()) {
                s.Draw(ShapeDrawFlgNil, nullptr);
                s.Draw(ShapeDrawFlgAlpha, nullptr);
                fx::End();
            }
            int drawn = 0;
            for (long y = 0; y < 480; y += 8) {
                for (long x = 0; x < 640; x += 8) drawn += fx::Distance(fx::Pixel(x, y), kBack) > 8 ? 1 : 0;
            }
            EXPECT_GT(drawn, 15) << path;  // seen from behind the craft is small
            // The glow is emissive: orange whatever the lights do.
            POINT n = fx::Screen(1.0f, -0.35f, 15.0f - 4.31f);
            uint32_t c = fx::Pixel(n.x, n.y);
            EXPECT_GT((c >> 16) & 255, 150u) << path << std::hex << " " << c;
            EXPECT_LT(c & 255, 100u) << path << std::hex << " " << c;
        }
        viewFreeLwo(def);
    }
    fx::Close();
}
