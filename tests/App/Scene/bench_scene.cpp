// The scene runtime's own costs under the real device: the frame update of a builder scene of 200
// animated shapes and 8 lights with colour and intensity tracks (gSceneFrameTime per advanced
// frame, beside the 33.3 ms a 30 fps frame lasts), and the load of a 10 MB scene package against
// reading its bytes. Run under Wine: bench_scene [frames]

#include <windows.h>
#include <mmsystem.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "App/App/AppCore.h"
#include "App/Scene/Scene.h"
#include "KbScene.h"
#include "DeviceFixture.h"
#include "System/Shape/Shape.h"
#include "System/Texture/TEXMAN.h"

namespace {

double Seconds(int64_t aTicks)
{
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return (double)aTicks / (double)f.QuadPart;
}

// A grid body of aSide x aSide vertices.
std::shared_ptr<kbShapeBody> Grid(uint32_t aSide)
{
    auto body = std::make_shared<kbShapeBody>();
    body->def.nextNum = body->def.childNum = -1;
    body->def.minX = body->def.minY = -1.0;
    body->def.maxX = body->def.maxY = 1.0;
    kbAbility a;
    a.def.material.diffuse = {0.8f, 0.8f, 0.8f, 1.0f};
    std::vector<_vertexDef> v;
    for (uint32_t y = 0; y < aSide; y++)
        for (uint32_t x = 0; x < aSide; x++) {
            const float fx = -1.0f + 2.0f * x / (aSide - 1), fy = 1.0f - 2.0f * y / (aSide - 1);
            v.push_back({fx, fy, 0, 0, 0, -1, (float)x / (aSide - 1), (float)y / (aSide - 1), 0, 0});
        }
    kbVertexSet set = kbVertexSetOf(v);
    kbIndexSet index;
    for (uint32_t y = 0; y + 1 < aSide; y++)
        for (uint32_t x = 0; x + 1 < aSide; x++) {
            const uint16_t p = (uint16_t)(y * aSide + x), q = (uint16_t)(p + 1), r = (uint16_t)(p + aSide),
                           s = (uint16_t)(r + 1);
            index.indices.insert(index.indices.end(), {p, q, r, q, s, r});
        }
    set.indexSets.push_back(index);
    a.vertexSets.push_back(set);
    body->abilities.push_back(a);
    body->def.vertexCnt = aSide * aSide;
    body->def.polyCnt = (aSide - 1) * (aSide - 1) * 2;
    return body;
}

// A key per frame for position, angle and scale.
kbMotion EveryFrame(uint16_t aFrames, uint32_t aSeed)
{
    kbMotion m;
    for (uint16_t f = 0; f < aFrames; f++) {
        const float t = f * 0.02f + aSeed;
        m.transKeys.push_back({(float)(aSeed % 20) - 10.0f + 0.1f * t, (float)(aSeed / 20) - 5.0f, 20.0f});
        m.angleKeys.push_back({0.01f * t, 0.02f * t, 0});
        m.scaleKeys.push_back({1, 1, 1});
    }
    m.runs = {{0, 0, 0, 1}, {1, 1, 1, (uint16_t)(aFrames - 1)}};
    return m;
}

kbScene Animated(uint32_t aShapes, uint32_t aLights, uint16_t aFrames)
{
    kbScene s;
    s.def.frameCnt = aFrames;
    s.def.fps = 30.0f;
    s.def.illuminate.ambientColor = 0x404040;
    s.def.illuminate.ambientIntensity = 0.2f;
    auto body = Grid(4);
    for (uint32_t i = 0; i < aShapes; i++) {
        kbShape shape;
        kbSetName(shape.def.name, "tile");
        shape.body = body;
        shape.motion = EveryFrame(aFrames, i);
        s.shapes.push_back(shape);
    }
    for (uint32_t i = 0; i < aLights; i++) {
        kbLight light;
        light.def.type = 1;
        light.def.fallOffType = 1;
        light.def.range = 50.0f;
        light.def.intensity = 1.0f;
        light.motion = EveryFrame(aFrames, 100 + i);
        for (uint16_t f = 0; f < aFrames; f++) {
            light.colors.push_back({1.0f, (f % 30) / 30.0f, 0.5f, 1.0f});
            light.intensities.push_back(0.5f + (f % 10) * 0.05f);
        }
        s.lights.push_back(light);
    }
    kbCamera camera;
    camera.def.fovAngle = 0.785f;
    camera.def.focalDistance = 20.0f;
    s.cameras.push_back(camera);
    return s;
}

std::vector<uint8_t> Package(const kbScene &aScene)
{
    kbBytes out;
    std::string error;
    if (!kbKsxWrite(aScene, &out, &error))
        std::printf("package: %s\n", error.c_str());
    return out;
}

void FrameCost(long aFrames)
{
    const uint16_t frames = 300;
    std::vector<uint8_t> file = Package(Animated(200, 8, frames));
    uint8_t *pack = entryKsxMem(file.data(), (long)file.size());
    if (!pack)
        return;
    Scene scene;
    if (scene.Load((_sceneDef *)pack, nullptr, nullptr, nullptr, 0) != 0) {
        std::free(pack);
        return;
    }
    scene.SetStatus(scene.GetStatus() | SCENE_LOOP);
    uint32_t clock = 0;
    scene.Frame(clock);
    long advanced = 0;
    int64_t push = 0;
    const int64_t before = gSceneFrameTime;
    for (long i = 0; i < aFrames; i++) {
        clock += 34;
        if (!(scene.Frame(clock) & SCENE_ADVANCED))
            continue;
        advanced++;
        // What the run does next with the records, timed apart for comparison.
        const int64_t t0 = mGetPerformanceCounter();
        for (long s = 0; s < scene.GetShapeCnt(); s++) {
            scene.SetShape(s);
            scene.UpdateShape(s);
        }
        for (long l = 0; l < scene.GetLightCnt(); l++)
            scene.SetLight(l);
        scene.SetCamera(0);
        push += mGetPerformanceCounter() - t0;
    }
    const double frameMs = Seconds(gSceneFrameTime - before) * 1000.0 / (advanced ? advanced : 1);
    const double pushMs = Seconds(push) * 1000.0 / (advanced ? advanced : 1);
    std::printf("Frame, 200 shapes + 8 lights: %.4f ms per advanced frame (%.3f %% of a 30 fps frame), "
                "%ld frames\n",
                frameMs, frameMs / (1000.0 / 30.0) * 100.0, advanced);
    std::printf("  pushing the records into the objects afterwards: %.4f ms per frame\n", pushMs);
    std::free(pack);
}

void LoadCost()
{
    // 48 distinct grid bodies of 64 x 64 vertices: about 10 MB of package.
    kbScene big;
    big.def.frameCnt = 30;
    big.def.fps = 30.0f;
    for (uint32_t i = 0; i < 48; i++) {
        kbShape shape;
        kbSetName(shape.def.name, "grid" + std::to_string(i));
        shape.body = Grid(64);
        shape.def.trans = {(float)(i % 8) * 2.5f - 9.0f, (float)(i / 8) * 2.5f - 6.0f, 30.0f};
        big.shapes.push_back(shape);
    }
    std::vector<uint8_t> file = Package(big);
    char tmp[MAX_PATH];
    GetTempPathA(sizeof tmp, tmp);
    const std::string path = std::string(tmp) + "kestrel_bench_scene.ksx";
    if (FILE *f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(file.data(), 1, file.size(), f);
        std::fclose(f);
    }
    double readBest = 1e9, loadBest = 1e9, relocBest = 1e9, shapeBest = 1e9, ksxBest = 1e9;
    for (int round = 0; round < 12; round++) {
        // Reading the bytes into fresh memory, as any reader of the file must.
        int64_t t0 = mGetPerformanceCounter();
        if (FILE *f = std::fopen(path.c_str(), "rb")) {
            uint8_t *buf = (uint8_t *)std::malloc(file.size());
            if (!buf || std::fread(buf, 1, file.size(), f) != file.size())
                std::printf("short read\n");
            std::free(buf);
            std::fclose(f);
        }
        const double read = Seconds(mGetPerformanceCounter() - t0);
        t0 = mGetPerformanceCounter();
        std::free(loadKsx(path.c_str()));
        const double ksx = Seconds(mGetPerformanceCounter() - t0);
        sTexManInit(256, 256);
        t0 = mGetPerformanceCounter();
        uint8_t *pack = entryKsx(path.c_str());
        const double reloc = Seconds(mGetPerformanceCounter() - t0);
        Scene *scene = new Scene;
        const long result = pack ? scene->Load((_sceneDef *)pack, nullptr, nullptr, nullptr, 0) : -1;
        const double load = Seconds(mGetPerformanceCounter() - t0);
        delete scene;
        // The shape objects alone, built from the same definitions.
        t0 = mGetPerformanceCounter();
        std::vector<_shape *> shapes;
        for (long i = 0; pack && i < ((_sceneDef *)pack)->shapeCnt; i++)
            shapes.push_back(new _shape(((_sceneDef *)pack)->shapeP[i].defP, 0));
        const double shape = Seconds(mGetPerformanceCounter() - t0);
        for (_shape *s : shapes)
            delete s;
        std::free(pack);
        sTexManExit();
        if (result != 0)
            std::printf("load failed\n");
        if (round == 0)
            continue;  // the file cache and the driver warm up
        readBest = read < readBest ? read : readBest;
        loadBest = load < loadBest ? load : loadBest;
        relocBest = reloc < relocBest ? reloc : relocBest;
        shapeBest = shape < shapeBest ? shape : shapeBest;
        ksxBest = ksx < ksxBest ? ksx : ksxBest;
    }
    std::printf("Load of a %.1f MB package: read %.2f ms, package read and relocated %.2f ms, with Scene::Load "
                "%.2f ms: %.2fx the read\n",
                file.size() / 1048576.0, readBest * 1000, relocBest * 1000, loadBest * 1000, loadBest / readBest);
    std::printf("  the package reader's read alone (loadKsx): %.2f ms\n", ksxBest * 1000);
    std::printf("  of which the shape objects alone (vertex buffers on the device): %.2f ms\n", shapeBest * 1000);
    DeleteFileA(path.c_str());
}

}  // namespace

int main(int argc, char **argv)
{
    const long frames = argc > 1 ? std::atol(argv[1]) : 3000;
    if (fx::OpenScene(640, 480) != 0) {
        std::printf("no Direct3D device\n");
        return 1;
    }
    FrameCost(frames);
    LoadCost();
    fx::Close();
    return 0;
}
