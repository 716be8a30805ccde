// A shape of 20 000 triangles drawn again and again at 640 x 480 under the real device: frames
// per second, and the share of the frame spent in Kestrel's own code rather than in the device.
// Run under Wine from the folder of Kestrel.exe: bench_shape [frames]

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "DeviceFixture.h"
#include "System/Draw/DrawMan.h"
#include "System/Shape/Shape.h"

namespace {

// A 101 x 101 vertex grid over [-3, 3]^2 at z = 0, 100 x 100 cells of two triangles.
struct Grid {
    std::vector<_vertexDef> vertex;
    std::vector<uint16_t> index;
    _primIndexDefSet indexSet;
    _primVertexDefSet vertexSet;
    _abilityDef ability;
    _abilityDef *abilityTbl[1];
    _shapeDef def;

    explicit Grid(uint32_t aAbilityStatus)
    {
        const int n = 101;
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x) {
                _vertexDef v = {};
                v.vx = -3.0f + 6.0f * x / (n - 1);
                v.vy = 3.0f - 6.0f * y / (n - 1);
                v.nx = 0.3f * v.vx / 3.0f;
                v.ny = 0.3f * v.vy / 3.0f;
                v.nz = -0.9f;
                v.u0 = v.u1 = (float)x / (n - 1);
                v.v0 = v.v1 = (float)y / (n - 1);
                vertex.push_back(v);
            }
        for (int y = 0; y + 1 < n; ++y)
            for (int x = 0; x + 1 < n; ++x) {
                const uint16_t a = (uint16_t)(y * n + x), b = (uint16_t)(a + 1), c = (uint16_t)(a + n),
                               d = (uint16_t)(c + 1);
                index.insert(index.end(), {a, b, c, b, d, c});
            }
        indexSet = {(int32_t)index.size(), index.data(), D3DPT_TRIANGLELIST};
        vertexSet = {(int32_t)vertex.size(), vertex.data(), 0x212, nullptr, 0, 1, &indexSet};
        ability = _abilityDef{};
        ability.abilityStatus = aAbilityStatus;
        ability.material.diffuse.r = ability.material.diffuse.g = ability.material.diffuse.b = 0.8f;
        ability.material.diffuse.a = 1.0f;
        ability.material.ambient = ability.material.diffuse;
        ability.vertexDefSetNum = 1;
        ability.vertexDefSetP = &vertexSet;
        abilityTbl[0] = &ability;
        def = _shapeDef{};
        def.abilityDefNum = 1;
        def.abilityDefP = abilityTbl;
        def.minX = def.minY = -3.0, def.maxX = def.maxY = 3.0;
        def.polyCnt = (uint32_t)(index.size() / 3);
        def.vertexCnt = (uint32_t)vertex.size();
    }
};

double Seconds()
{
    LARGE_INTEGER t, f;
    QueryPerformanceCounter(&t);
    QueryPerformanceFrequency(&f);
    return (double)t.QuadPart / (double)f.QuadPart;
}

void Run(const char *aNameP, uint32_t aAbilityStatus, int aFrames)
{
    Grid g(aAbilityStatus);
    _shape s(&g.def, 0);
    fx::StartTiming();
    double present = 0.0;
    const double t0 = Seconds();
    for (int f = 0; f < aFrames; ++f) {
        s.SetAngleZ((float)f);
        s.MakeLocalMatrix();
        s.Update();
        sDrawClear();
        if (sDrawBeginScene()) {
            s.Draw(ShapeDrawFlgNil, nullptr);
            sDrawEndScene();
        }
        // The present is DirectDraw's blit (and the wait for the frame): the driver's time.
        const double p0 = Seconds();
        sDrawFlipBuffer();
        present += Seconds() - p0;
    }
    const double total = Seconds() - t0, device = fx::DeviceSeconds(), own = total - device - present;
    fx::StopTiming();
    std::printf("%-6s %u triangles, %d frames at 640x480: %.1f frames/s; per frame %.2f ms in Kestrel's own code "
                "(%.1f%%), %.2f ms in device calls, %.2f ms presenting\n",
                aNameP, g.def.polyCnt, aFrames, aFrames / total, 1000.0 * own / aFrames, 100.0 * own / total,
                1000.0 * device / aFrames, 1000.0 * present / aFrames);
}

} // namespace

int main(int aArgc, char **aArgv)
{
    const int frames = aArgc > 1 ? std::atoi(aArgv[1]) : 200;
    if (fx::OpenScene(640, 480) != 0) {
        std::printf("no device\n");
        return 1;
    }
    D3DLIGHT7 l = {};
    l.dltType = D3DLIGHT_DIRECTIONAL;
    l.dcvDiffuse.r = l.dcvDiffuse.g = l.dcvDiffuse.b = 1.0f;
    l.dvDirection.x = 0.3f, l.dvDirection.y = -0.3f, l.dvDirection.z = 1.0f;
    drawMan.lightP[0]->SetLight(&l);
    drawMan.lightP[0]->Update();
    drawMan.lightP[0]->SetEnable(1);
    Run("plain", ABL_STAT_GOURAUD, frames);
    Run("DOT3", ABL_STAT_GOURAUD | ABL_STAT_BUMP, frames);
    fx::Close();
    return 0;
}
