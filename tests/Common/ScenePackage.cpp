#include "ScenePackage.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "KbScene.h"

namespace fx {

bool WriteFile(const std::string &aPath, const kbBytes &aData)
{
    FILE *fp = std::fopen(aPath.c_str(), "wb");
    if (!fp)
        return false;
    const bool ok = std::fwrite(aData.data(), 1, aData.size(), fp) == aData.size();
    return std::fclose(fp) == 0 && ok;
}

kbBytes SceneFile(uint16_t aFrameCnt)
{
    kbScene scene;
    scene.def.frameCnt = aFrameCnt;
    scene.def.fps = 30;
    scene.def.nearDist = 1.0f;
    scene.def.farDist = 1000.0f;
    kbBytes out;
    std::string error;
    EXPECT_TRUE(kbKsxWrite(scene, &out, &error)) << error;
    return out;
}

kbBytes UnbuildableSceneFile(uint16_t aFrameCnt)
{
    kbScene scene;
    scene.def.frameCnt = aFrameCnt;
    scene.def.fps = 30;
    scene.def.nearDist = 1.0f;
    scene.def.farDist = 1000.0f;
    kbLight light;
    light.motion.transKeys = light.motion.angleKeys = light.motion.scaleKeys = {_sceneVectorDef{}};
    light.motion.runs = {_sceneIndexDef{1, 0, 0, aFrameCnt}};
    scene.lights.push_back(light);
    kbBytes out;
    std::string error;
    EXPECT_TRUE(kbKsxWrite(scene, &out, &error)) << error;
    return out;
}

} // namespace fx
