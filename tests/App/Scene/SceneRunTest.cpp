#include <gtest/gtest.h>

#include <windows.h>
#include <mmsystem.h>
#include <ddraw.h>
#include <d3d.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "App/App/AppCore.h"
#include "App/CtrlPanel/CtrlPanel.h"
#include "App/Scene/Scene.h"
#include "KbAvi.h"
#include "KbImage.h"
#include "KbKsf.h"
#include "KbScene.h"
#include "DeviceFixture.h"
#include "System/Draw/DrawMan.h"
#include "System/Particle/Particle.h"
#include "System/Sound/Sound.h"
#include "System/Texture/TEXMAN.h"

// A scene written with the content builder, loaded and played on the real device: poses, light
// tracks, a camera riding a parent, a sprite, an emitter, fog, a movie on frames 10-20, cues;
// the loading screens; damaged packages; and load/destroy cycles that must leave nothing behind.

namespace {

// ---------------------------------------------------------------- files

std::string _scratch;

void WriteBytes(const std::string &aPath, const std::vector<uint8_t> &aData)
{
    FILE *f = std::fopen(aPath.c_str(), "wb");
    ASSERT_NE(f, nullptr) << aPath;
    if (!aData.empty())
        std::fwrite(aData.data(), 1, aData.size(), f);
    std::fclose(f);
}

std::vector<uint8_t> Bmp(uint32_t aWidth, uint32_t aHeight, uint32_t aRgb)
{
    kbImage image = kbImageMake(aWidth, aHeight, aRgb << 8 | 0xFF);
    kbBytes out;
    std::string error;
    EXPECT_TRUE(kbBmpWrite(image, 24, &out, &error)) << error;
    return out;
}

// A short silent-ish mono wave.
std::vector<uint8_t> Wave(uint32_t aSamples)
{
    std::vector<uint8_t> b;
    auto put32 = [&](uint32_t v) {
        for (int i = 0; i < 4; i++)
            b.push_back((uint8_t)(v >> (8 * i)));
    };
    auto put16 = [&](uint16_t v) {
        b.push_back((uint8_t)v);
        b.push_back((uint8_t)(v >> 8));
    };
    const uint32_t data = aSamples * 2;
    b.insert(b.end(), {'R', 'I', 'F', 'F'});
    put32(36 + data);
    b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(16);
    put16(1);
    put16(1);
    put32(22050);
    put32(44100);
    put16(2);
    put16(16);
    b.insert(b.end(), {'d', 'a', 't', 'a'});
    put32(data);
    for (uint32_t i = 0; i < aSamples; i++)
        put16((uint16_t)((i % 64) * 64));
    return b;
}

// ---------------------------------------------------------------- the scene

const uint16_t kFrames = 40;
const uint32_t kBack = 0x000020;
const uint32_t kMovieLen = 30;

// Movie frame k: its own colour; the 16-bit clip has ten frames of its own colours.
uint32_t MovieRgb(uint32_t aK)
{
    return (aK * 53 & 0xFF) << 16 | (255 - aK * 8) << 8 | 0x80;
}
uint32_t Movie16Rgb(uint32_t aK)
{
    return (0x20 + aK * 16) << 16 | 0x40 << 8 | (0xF0 - aK * 16);
}

std::shared_ptr<kbShapeBody> QuadBody(float aSize, D3DCOLORVALUE aDiffuse, D3DCOLORVALUE aEmissive,
                                      const _textureSet *aTexP = nullptr)
{
    auto body = std::make_shared<kbShapeBody>();
    body->def.nextNum = body->def.childNum = -1;
    body->def.minX = body->def.minY = -aSize;
    body->def.maxX = body->def.maxY = aSize;
    body->def.minZ = -0.01;
    body->def.maxZ = 0.01;
    body->def.vertexCnt = 4;
    body->def.polyCnt = 2;
    kbAbility a;
    a.def.abilityStatus = 0x2;
    a.def.material.diffuse = aDiffuse;
    a.def.material.emissive = aEmissive;
    a.def.srcBlend = D3DBLEND_SRCALPHA;
    a.def.destBlend = D3DBLEND_INVSRCALPHA;
    if (aTexP)
        a.texSets.push_back(*aTexP);
    const float corner[4][2] = {{-1, 1}, {1, 1}, {-1, -1}, {1, -1}};
    std::vector<_vertexDef> v(4);
    for (int i = 0; i < 4; i++) {
        const float u = (corner[i][0] + 1) * 0.5f, w = (1 - corner[i][1]) * 0.5f;
        v[i] = {corner[i][0] * aSize, corner[i][1] * aSize, 0, 0, 0, -1, u, w, u, w};
    }
    kbVertexSet set = kbVertexSetOf(v);
    kbIndexSet index;
    index.indices = {0, 1, 2, 1, 3, 2};
    set.indexSets.push_back(index);
    a.vertexSets.push_back(set);
    body->abilities.push_back(a);
    return body;
}

// Two keys, the first for frames 0-19 and the second for 20-39.
kbMotion TwoPoses(_sceneVectorDef aFirst, _sceneVectorDef aSecond)
{
    kbMotion m;
    m.transKeys = {aFirst, aSecond};
    m.angleKeys = {{0, 0, 0}};
    m.scaleKeys = {{1, 1, 1}};
    m.runs = {{0, 0, 0, 20}, {1, 0, 0, 1}, {0, 0, 0, 19}};
    return m;
}

enum { kRig, kMover, kScreen, kScreen16, kShapeCnt };

kbScene BuildScene()
{
    kbScene s;
    s.def.frameCnt = kFrames;
    s.def.frameStep = 1;
    s.def.fps = 30.0f;
    s.def.nearDist = 1.0f;
    s.def.farDist = 100.0f;
    s.def.backColor = kBack;
    s.def.illuminate.ambientColor = 0x000000;
    s.def.illuminate.ambientIntensity = 0.0f;
    s.def.fog.mode = 3;  // linear, well behind everything drawn
    s.def.fog.minDist = 100.0f;
    s.def.fog.maxDist = 200.0f;
    s.def.fog.color = 0x808080;

    kbShape rig;  // a bodiless node the camera rides on
    kbSetName(rig.def.name, "rig");
    rig.def.trans = {0, 0, -10};
    s.shapes.push_back(rig);

    kbShape mover;
    kbSetName(mover.def.name, "mover");
    mover.body = QuadBody(1.0f, {1, 1, 1, 1}, {0, 0, 0, 0});
    mover.motion = TwoPoses({-2.5f, -1, 0}, {2.5f, -1, 0});
    s.shapes.push_back(mover);

    kbShape screen;
    kbSetName(screen.def.name, "screen");
    _textureSet movie = kbTextureSet("movie.avi", 0x401);
    screen.body = QuadBody(1.0f, {0, 0, 0, 1}, {1, 1, 1, 0}, &movie);
    screen.def.trans = {0, 2, 0};
    s.shapes.push_back(screen);

    kbShape screen16;
    kbSetName(screen16.def.name, "screen16");
    _textureSet movie16 = kbTextureSet("movie16.avi", 0x401);
    screen16.body = QuadBody(0.8f, {0, 0, 0, 1}, {1, 1, 1, 0}, &movie16);
    screen16.def.trans = {0, -3.1f, 0};
    s.shapes.push_back(screen16);

    kbLight light;
    light.def.type = D3DLIGHT_DIRECTIONAL;
    light.def.angle = {0, 0, 1};
    light.def.color = {0.2f, 0.2f, 0.2f, 1};
    light.def.intensity = 1.0f;
    for (uint16_t f = 0; f < kFrames; f++) {
        light.colors.push_back(f < 20 ? D3DCOLORVALUE{1, 0, 0, 1} : D3DCOLORVALUE{0, 1, 0, 1});
        light.intensities.push_back(f < 20 ? 0.5f : 1.0f);
    }
    s.lights.push_back(light);

    kbCamera camera;
    camera.def.parentShapeNum = kRig;
    camera.def.fovAngle = 0.78539816f;
    camera.def.focalDistance = 10.0f;
    s.cameras.push_back(camera);

    auto spriteBody = std::make_shared<kbSpriteBody>();
    spriteBody->def.spriteStatus = 0x1;  // a screen sprite, its texture's size
    spriteBody->def.posX[0] = spriteBody->def.posY[0] = 1.0f;
    _textureSet spriteTex = kbTextureSet("Data\\Tex\\sprite.bmp", 0x1);
    spriteTex.info.rect = {0, 0, 16, 16};
    spriteBody->texSets.push_back(spriteTex);
    kbSprite sprite;
    kbSetName(sprite.def.name, "marker");
    sprite.body = spriteBody;
    sprite.def.trans = {0.85f, 0.15f, 0};
    for (uint16_t f = 0; f < kFrames; f++)
        sprite.pattern.push_back(f < 30 ? 0u : 0xFFFFFFFFu);
    s.sprites.push_back(sprite);

    auto emitter = std::make_shared<_particleDef>();
    emitter->particleStatus = 0x4;  // one birth every birthRate frames
    emitter->workNum = 32;
    emitter->texSet = kbTextureSet("Data\\Tex\\spark.bmp", 0x1);
    emitter->birthRate = 2;
    emitter->size = {0.2f, 0.2f, 0.2f};
    emitter->initScaleMin = emitter->initScaleMax = 1.0f;
    emitter->scaleMin = emitter->scaleMax = 1.0f;
    emitter->colorStart = emitter->colorEnd = {1, 1, 1, 1};
    emitter->lifeMin = 30;
    emitter->lifeMax = 30;
    kbParticle particle;
    kbSetName(particle.def.name, "sparks");
    particle.body = emitter;
    particle.def.trans = {-2.5f, 2.5f, 0};
    s.particles.push_back(particle);

    s.def.vertexCnt = 12;
    s.def.polyCnt = 6;
    return s;
}

std::vector<uint8_t> Package(const kbScene &aScene)
{
    kbBytes out;
    std::string error;
    EXPECT_TRUE(kbKsxWrite(aScene, &out, &error)) << error;
    return out;
}

const _sceneSeDef kCues[] = {
    {5, "cue.wav", 100},
    {8, "cue.wav", 90},
    {-1, "", 0},
};

_sceneAviDef kMovieBinding = {"movie.avi", 0, 10, 20, 1.0f};
// Two clip frames a scene frame, looping past the clip's ten frames.
_sceneAviDef kMovie16Binding = {"movie16.avi", 2, 25, 39, 2.0f};

// ---------------------------------------------------------------- fixture

class SceneRun : public ::testing::Test {
protected:
    static bool deviceB;

    static void SetUpTestSuite()
    {
        char tmp[MAX_PATH];
        GetTempPathA(sizeof tmp, tmp);
        _scratch = std::string(tmp) + "kestrel_scene_" + std::to_string(GetCurrentProcessId());
        for (const char *sub : {"", "\\Data", "\\Data\\Kss", "\\Data\\Ksf", "\\Data\\Ksx", "\\Data\\Tex"})
            CreateDirectoryA((_scratch + sub).c_str(), nullptr);
        // Package paths are relative to the program's folder.
        SetCurrentDirectoryA(_scratch.c_str());
        WriteBytes("Data\\Tex\\sprite.bmp", Bmp(16, 16, 0x0000FF));
        WriteBytes("Data\\Tex\\spark.bmp", Bmp(8, 8, 0xFFFFFF));
        WriteBytes("Data\\Kss\\cue.wav", Wave(2205));
        WriteBytes("Data\\Kss\\music.wav", Wave(22050));
        kbAviClip clip;
        clip.width = 24;  // the page is 32 x 16: frames are stretched
        clip.height = 12;
        for (uint32_t k = 0; k < kMovieLen; k++)
            clip.frames.push_back(std::vector<uint32_t>(24 * 12, MovieRgb(k) << 8 | 0xFF));
        kbAviBytes avi;
        std::string error;
        ASSERT_TRUE(kbAviWrite(clip, 24, &avi, &error)) << error;
        WriteBytes("movie.avi", avi);
        kbAviClip clip16;
        clip16.width = 20;  // stretched into a 32 x 16 page both ways
        clip16.height = 10;
        for (uint32_t k = 0; k < 10; k++)
            clip16.frames.push_back(std::vector<uint32_t>(20 * 10, Movie16Rgb(k) << 8 | 0xFF));
        ASSERT_TRUE(kbAviWrite(clip16, 16, &avi, &error)) << error;
        WriteBytes("movie16.avi", avi);
        WriteBytes("Data\\Ksx\\scene.ksx", Package(BuildScene()));

        deviceB = fx::OpenScene(640, 480) == 0;
        if (deviceB && !soundClassP) {
            soundClassP = new _sound();
            if (!soundClassP->GetDsP()) {
                delete soundClassP;
                soundClassP = nullptr;
            }
        }
    }

    static void TearDownTestSuite()
    {
        delete soundClassP;
        soundClassP = nullptr;
        if (deviceB)
            fx::Close();
    }

    void SetUp() override
    {
        if (!deviceB)
            GTEST_SKIP() << "no Direct3D device";
        sTexManInit(256, 256);
        cpWork.env[0].benchOption = 0;
        cpWork.lastStep = -1;
    }

    // The run's steps for an advanced frame, then the draw.
    static void Push(Scene &aScene)
    {
        for (long i = 0; i < aScene.GetShapeCnt(); i++) {
            aScene.SetShape(i);
            aScene.UpdateShape(i);
        }
        for (long i = 0; i < aScene.GetLightCnt(); i++)
            aScene.SetLight(i);
        for (long i = 0; i < aScene.GetCameraCnt(); i++)
            aScene.SetCamera(i);
        for (long i = 0; i < aScene.GetSpriteCnt(); i++) {
            aScene.SetSprite(i);
            aScene.UpdateSprite(i);
        }
        for (long i = 0; i < aScene.GetParticleCnt(); i++) {
            aScene.SetParticle(i);
            aScene.UpdateParticle(i);
        }
        aScene.SetIlluminate();
        aScene.SetFog();
    }

    static void Draw(Scene &aScene)
    {
        const uint32_t back = aScene.GetBackColor();
        sDrawSetBackColor(back >> 16 & 0xFF, back >> 8 & 0xFF, back & 0xFF);
        sDrawClear();
        aScene.Render();
    }

    // Frame-locked: the owner picks the frame, every Frame call advances.
    static void Show(Scene &aScene, uint16_t aFrame, uint32_t *aClockP)
    {
        aScene.SetFramePos(aFrame);
        *aClockP += 33;
        aScene.Frame(*aClockP);
        ASSERT_TRUE(aScene.GetStatus() & SCENE_ADVANCED);
        ASSERT_EQ(aScene.GetFramePos(), aFrame);
        Push(aScene);
        Draw(aScene);
    }
};
bool SceneRun::deviceB = false;

POINT At(float aX, float aY, float aZ)
{
    return fx::Screen(aX, aY, aZ);
}

TEST_F(SceneRun, BuilderScenePlaysPosesTracksSpriteEmitterFogAndMovie)
{
    uint8_t *pack = entryKsx("Data\\Ksx\\scene.ksx");
    ASSERT_NE(pack, nullptr);
    _sceneDef *def = (_sceneDef *)pack;
    // Movie bindings never travel in a package; the scene table adds them.
    def->shapeP[kScreen].aviCnt = 1;
    def->shapeP[kScreen].aviDefP = &kMovieBinding;
    def->shapeP[kScreen16].aviCnt = 1;
    def->shapeP[kScreen16].aviDefP = &kMovie16Binding;
    {
        Scene scene;
        EXPECT_EQ(scene.GetFps(), 30);
        ASSERT_EQ(scene.Load(def, nullptr, nullptr, kCues, 0), 0);
        EXPECT_EQ(scene.GetStatus() & (SCENE_LOADED | SCENE_START), SCENE_LOADED | SCENE_START);
        EXPECT_EQ(scene.GetShapeCnt(), kShapeCnt);
        EXPECT_EQ(scene.GetFrameCnt(), kFrames);
        EXPECT_EQ(scene.GetPolygonCnt(), 6u);
        EXPECT_EQ(scene.GetFar(), 100.0f);
        EXPECT_EQ(scene.GetShape(kShapeCnt), nullptr);
        EXPECT_EQ(scene.SetShape(kShapeCnt), 0) << "an index past the count does nothing";
        ASSERT_NE(scene.GetShape(kScreen)->aviCnt, 0u);
        EXPECT_GE(scene.GetShape(kScreen)->aviP[0].texPageNum, 0) << "the movie's page was found by name";
        EXPECT_EQ(scene.GetShape(kMover)->frameCnt, kFrames);
        EXPECT_EQ(scene.GetCamera(0)->parentP, scene.GetShape(kRig));
        EXPECT_STREQ(scene.GetShape(kMover)->nameP, "mover");
        EXPECT_EQ(drawMan.shapeInfoP[kMover].shapeP, scene.GetShape(kMover)->shapeP);
        EXPECT_EQ(drawMan.particleInfoP[0].particleP, scene.GetParticle(0)->particleP);

        scene.SetStatus(scene.GetStatus() | SCENE_FRAME_LOCKED);
        uint32_t clock = 1000;
        scene.Frame(clock);  // starts at frame 0
        for (uint16_t f = 0; f <= 5; f++)
            Show(scene, f, &clock);

        // Frame 5: the mover on the left, lit red at half intensity; the camera rides the rig.
        const _sceneCamera *cam = scene.GetCamera(0);
        EXPECT_NEAR(cam->eyePos.z, -10.0f, 1e-4f);
        EXPECT_NEAR(cam->lookAt.z, 0.0f, 1e-4f);
        EXPECT_NEAR(cam->upVec.y, 1.0f, 1e-6f);
        const POINT left = At(-2.5f, -1, 0), right = At(2.5f, -1, 0);
        EXPECT_LE(fx::Distance(fx::Pixel(left.x, left.y), 0x800000), 3) << std::hex << fx::Pixel(left.x, left.y);
        EXPECT_LE(fx::Distance(fx::Pixel(right.x, right.y), kBack), 3);
        EXPECT_LE(fx::Distance(fx::Pixel(544, 72), 0x0000FF), 3) << "the sprite shows pattern 0";
        const POINT screen = At(0, 2, 0);
        EXPECT_LE(fx::Distance(fx::Pixel(screen.x, screen.y), kBack), 3) << "the movie shape waits for frame 10";
        EXPECT_TRUE(scene.GetShape(kScreen)->status & SCENE_SHAPE_HIDDEN);

        // Fog and ambient went to the device.
        IDirect3DDevice7 *dev = drawMan.d3dDevP;
        DWORD v = 0;
        dev->GetRenderState(D3DRENDERSTATE_FOGENABLE, &v);
        EXPECT_EQ(v, (DWORD)TRUE);
        DWORD table = 0, vertex = 0;
        dev->GetRenderState(D3DRENDERSTATE_FOGTABLEMODE, &table);
        dev->GetRenderState(D3DRENDERSTATE_FOGVERTEXMODE, &vertex);
        EXPECT_TRUE(table == D3DFOG_LINEAR || vertex == D3DFOG_LINEAR);
        float end = 0;
        dev->GetRenderState(D3DRENDERSTATE_FOGEND, (DWORD *)&end);
        EXPECT_EQ(end, 200.0f);
        dev->GetRenderState(D3DRENDERSTATE_AMBIENT, &v);
        EXPECT_EQ(v & 0xFFFFFF, 0u);

        // The emitter has been breeding since frame 0.
        const _particle *sparks = scene.GetParticle(0)->particleP;
        long alive = 0;
        for (long i = 0; i < sparks->GetNum(); i++)
            alive += sparks->GetWork(i)->status & PARTICLE_WORK_ALIVE ? 1 : 0;
        EXPECT_GT(alive, 0);

        // The movie: absent at 9, frame 5 of the clip at 15, absent again at 21.
        Show(scene, 9, &clock);
        EXPECT_LE(fx::Distance(fx::Pixel(screen.x, screen.y), kBack), 3);
        Show(scene, 15, &clock);
        EXPECT_FALSE(scene.GetShape(kScreen)->status & SCENE_SHAPE_HIDDEN);
        EXPECT_LE(fx::Distance(fx::Pixel(screen.x, screen.y), MovieRgb(5)), 12)
            << std::hex << fx::Pixel(screen.x, screen.y);
        Show(scene, 21, &clock);
        EXPECT_LE(fx::Distance(fx::Pixel(screen.x, screen.y), kBack), 3);
        const POINT screen16 = At(0, -3.1f, 0);
        EXPECT_LE(fx::Distance(fx::Pixel(screen16.x, screen16.y), kBack), 3) << "the 16-bit clip starts at 25";

        // Frame 25: moved right, lit full green; the sprite's pattern track still shows it.
        Show(scene, 25, &clock);
        EXPECT_LE(fx::Distance(fx::Pixel(right.x, right.y), 0x00FF00), 3) << std::hex << fx::Pixel(right.x, right.y);
        EXPECT_LE(fx::Distance(fx::Pixel(left.x, left.y), kBack), 3);
        EXPECT_EQ(scene.GetLight(0)->intensity, 1.0f);
        // Frame 35: the pattern track hides the sprite; the 16-bit clip looped round to its start.
        Show(scene, 35, &clock);
        EXPECT_LE(fx::Distance(fx::Pixel(544, 72), kBack), 3);
        EXPECT_LE(fx::Distance(fx::Pixel(screen16.x, screen16.y), Movie16Rgb(0)), 12)
            << std::hex << fx::Pixel(screen16.x, screen16.y);

        // Hidden scenes draw nothing.
        scene.SetStatus(scene.GetStatus() | SCENE_HIDDEN);
        Draw(scene);
        EXPECT_LE(fx::Distance(fx::Pixel(right.x, right.y), kBack), 3);
    }
    EXPECT_EQ(drawMan.shapeInfoP, nullptr) << "the registries went with the scene";
    EXPECT_EQ(drawMan.particleInfoP, nullptr);
    EXPECT_FALSE(drawMan.lightP[0]->GetEnable());
    std::free(pack);
}

TEST_F(SceneRun, CuesNamingOneFileLoadItOnceAndTheMusicStopsAtTheEnd)
{
    if (!soundClassP)
        GTEST_SKIP() << "no sound device";
    uint8_t *pack = entryKsx("Data\\Ksx\\scene.ksx");
    ASSERT_NE(pack, nullptr);
    {
        Scene scene;
        ASSERT_EQ(scene.Load((_sceneDef *)pack, nullptr, "music.wav", kCues, 0x3), 0);
        EXPECT_NE(bgmVoiceNum, -1);
        EXPECT_TRUE(scene.GetStatus() & SCENE_FADE_MUSIC);
        ASSERT_EQ(scene._seCnt, 3);
        _soundSE *first = scene._seP[0].seObjP, *second = scene._seP[1].seObjP;
        ASSERT_TRUE(first && second);
        EXPECT_EQ(first->_status, SOUNDSE_CREATED) << "loaded";
        EXPECT_EQ(second->_status, 0) << "a duplicate, not a second load";
        EXPECT_NE(second->GetDs2ndBuffP(), nullptr);
        EXPECT_EQ(scene._seP[2].frameNum, SCENE_SE_END);

        scene.SetStatus(scene.GetStatus() | SCENE_FRAME_LOCKED);
        scene.Frame(100);
        EXPECT_EQ(scene._curSeP, &scene._seP[0]);
        scene.SetFramePos(9);  // one jump passes both cues
        scene.Frame(133);
        EXPECT_EQ(scene._curSeP, &scene._seP[2]);

        scene.SetFramePos(kFrames - 1);
        scene.Frame(166);
        EXPECT_TRUE(scene.GetStatus() & SCENE_ENDED);
        EXPECT_EQ(bgmVoiceNum, -1) << "the music stopped at the last frame";
        EXPECT_EQ(scene._seP[0].seObjP, nullptr) << "no cue reaches the released effects";
        scene.SetFramePos(0);
        scene.Frame(200);  // must not touch the released effects
    }
    std::free(pack);
}

TEST_F(SceneRun, DamagedPackagesFailCleanly)
{
    const std::vector<uint8_t> good = Package(BuildScene());
    EXPECT_EQ(entryKsx("Data\\Ksx\\missing.ksx"), nullptr);
    std::vector<uint8_t> cut(good.begin(), good.begin() + good.size() / 2);
    WriteBytes("Data\\Ksx\\cut.ksx", cut);
    EXPECT_EQ(entryKsx("Data\\Ksx\\cut.ksx"), nullptr);
    std::vector<uint8_t> forged = good;
    forged[16 + offsetof(_sceneDef, shapeCnt)] = 0xFF;  // data follows the 16-byte header
    forged[16 + offsetof(_sceneDef, shapeCnt) + 1] = 0x7F;
    WriteBytes("Data\\Ksx\\forged.ksx", forged);
    EXPECT_EQ(entryKsx("Data\\Ksx\\forged.ksx"), nullptr);

    // Key runs that step past their tables pass the package reader; the scene refuses them.
    kbScene bad = BuildScene();
    bad.shapes[kMover].motion.runs = {{0, 0, 0, 1}, {3, 0, 0, 5}};
    std::vector<uint8_t> badPack = Package(bad);
    uint8_t *def = entryKsxMem(badPack.data(), (long)badPack.size());
    ASSERT_NE(def, nullptr);
    {
        Scene scene;
        EXPECT_EQ(scene.Load((_sceneDef *)def, nullptr, nullptr, nullptr, 0), E_INVALIDARG);
        EXPECT_FALSE(scene.GetStatus() & SCENE_LOADED);
        EXPECT_EQ(scene.GetShape(0), nullptr);
        EXPECT_EQ(scene.Frame(500), scene.GetStatus());
        EXPECT_EQ(scene.Render(), 0);
        EXPECT_EQ(scene.SetLight(0), 0);
    }
    std::free(def);
}

// Bytes in use on every heap of the process, once the device has worked off what it was given
// (its queue lives on the heap too).
size_t HeapBytes()
{
    fx::Pixel(0, 0);
    Sleep(20);
    HANDLE heaps[128];
    const DWORD n = GetProcessHeaps(128, heaps);
    size_t total = 0;
    for (DWORD i = 0; i < n && i < 128; i++) {
        if (!HeapLock(heaps[i]))
            continue;
        PROCESS_HEAP_ENTRY e = {};
        while (HeapWalk(heaps[i], &e))
            if (e.wFlags & PROCESS_HEAP_ENTRY_BUSY)
                total += e.cbData;
        HeapUnlock(heaps[i]);
    }
    return total;
}

// Open kernel handles, found by asking after every handle value (the system's own count is not
// kept everywhere).
long HandleCount()
{
    long n = 0;
    DWORD flags;
    for (uintptr_t h = 4; h < 0x10000; h += 4)
        if (GetHandleInformation((HANDLE)h, &flags))
            n++;
    return n;
}

// What the load hook saw, and whether the scene's shapes existed yet.
struct HookSeen {
    int calls;
    const _sceneDef *defP;
    long shapeCnt;
    bool shapesBuilt;
};
HookSeen hookSeen;

void RecordLoad(const _sceneDef *aDefP, long aShapeCnt)
{
    hookSeen.calls++;
    hookSeen.defP = aDefP;
    hookSeen.shapeCnt = aShapeCnt;
    hookSeen.shapesBuilt = aShapeCnt > 0 && drawMan.shapeInfoP && drawMan.shapeInfoP[0].shapeP != nullptr;
}

TEST_F(SceneRun, LoadHookOfTheRunOptionsSeesTheDefinitionBeforeTheObjects)
{
    const std::vector<uint8_t> file = Package(BuildScene());
    const _sceneRunOpt hooked = {CP_OPTION_CHALLENGE | CP_OPTION_LOOP, RecordLoad};
    const _sceneRunOpt plain = {CP_OPTION_CHALLENGE | CP_OPTION_LOOP, nullptr};
    const struct {
        const char *name;
        const _sceneRunOpt *runP;
        bool withDef;
        int calls;
    } rows[] = {
        {"hook", &hooked, true, 1},
        {"no hook", &plain, true, 0},
        {"no run options", nullptr, true, 0},
        {"no definition", &hooked, false, 0},
    };
    for (const auto &r : rows) {
        uint8_t *pack = entryKsxMem(file.data(), (long)file.size());
        ASSERT_NE(pack, nullptr);
        _sceneDef *def = r.withDef ? (_sceneDef *)pack : nullptr;
        hookSeen = HookSeen{};
        {
            Scene scene;
            ASSERT_EQ(scene.Load(def, nullptr, nullptr, nullptr, 0, r.runP), 0) << r.name;
            EXPECT_EQ(hookSeen.calls, r.calls) << r.name;
            if (r.calls) {
                EXPECT_EQ(hookSeen.defP, def) << r.name;
                EXPECT_EQ(hookSeen.shapeCnt, (long)def->shapeCnt) << r.name;
                EXPECT_FALSE(hookSeen.shapesBuilt) << r.name;
            }
        }
        std::free(pack);
    }
}

TEST_F(SceneRun, HundredLoadDestroyCyclesLeaveNoHandlesOrHeap)
{
    const std::vector<uint8_t> file = Package(BuildScene());
    const _sceneOptionDef option = {0, 64, 0, nullptr, nullptr, nullptr, nullptr, nullptr};
    const _sceneRunOpt run = {CP_OPTION_CHALLENGE | CP_OPTION_LOOP, nullptr};  // no loading screen to wait for
    // Pages are shared by equal requests, so the texture manager settles after the first scene;
    // everything the scene itself takes must come back each time.
    auto cycle = [&](uint16_t aFrame) {
        uint8_t *pack = entryKsxMem(file.data(), (long)file.size());
        ASSERT_NE(pack, nullptr);
        _sceneDef *def = (_sceneDef *)pack;
        def->shapeP[kScreen].aviCnt = 1;
        def->shapeP[kScreen].aviDefP = &kMovieBinding;
        Scene *scene = new Scene;
        ASSERT_EQ(scene->Load(def, &option, nullptr, kCues, 0, &run), 0);
        scene->SetStatus(scene->GetStatus() | SCENE_FRAME_LOCKED);
        scene->Frame(0);
        scene->SetFramePos(aFrame);
        scene->Frame(33);
        Push(*scene);
        Draw(*scene);
        delete scene;
        std::free(pack);
    };
    // The driver and the system libraries fill caches of their own over the first scenes, more or
    // fewer by what ran before in the process; counting starts once ten scenes in a row leave the
    // heap no larger.
    const uint16_t frames[] = {0, 12, 39};
    size_t settled = HeapBytes();
    for (int block = 0; block < 8; block++) {
        for (int i = 0; i < 10; i++)
            cycle(frames[i % 3]);
        const size_t now = HeapBytes();
        if (now <= settled)
            break;
        settled = now;
    }
    const long handlesBefore = HandleCount();
    const size_t heap0 = HeapBytes();
    for (int i = 0; i < 50; i++)
        cycle(frames[i % 3]);
    const size_t heap1 = HeapBytes();
    for (int i = 0; i < 50; i++)
        cycle(frames[i % 3]);
    const size_t heap2 = HeapBytes();
    const long handlesAfter = HandleCount();
    EXPECT_GT(handlesBefore, 0);
    EXPECT_LE(handlesAfter, handlesBefore + 2) << handlesBefore << " -> " << handlesAfter;
    // A leak grows the heap in both halves; the libraries' one-time growth (a step of about 15 KB
    // now and then) shows in one half only. Any block the scene takes, leaked once a cycle, is
    // above this.
    const long long first = (long long)heap1 - (long long)heap0, second = (long long)heap2 - (long long)heap1;
    EXPECT_LT(first < second ? first : second, 1024LL) << heap0 << " -> " << heap1 << " -> " << heap2;
    std::printf("[ handles %ld -> %ld, heap %lu -> %lu -> %lu bytes over 2 x 50 cycles ]\n", handlesBefore,
                handlesAfter, (unsigned long)heap0, (unsigned long)heap1, (unsigned long)heap2);
}

// ---------------------------------------------------------------- loading screens

const uint32_t kLoading = 0x203040, kResult = 0x404040, kStrip = 0x602060, kThumb = 0x00A0A0, kData = 0xA0A000,
               kTitle = 0xC0C0C0;

uint32_t DigitRgb(uint32_t aD)
{
    return (40 + aD * 20) << 16 | 0xC0 << 8 | 0x20;
}
uint32_t GlyphRgb(uint32_t aG)
{
    return 0x30 << 16 | (60 + aG * 15) << 8 | 0xE0;
}

class SceneLoadingScreen : public SceneRun {
protected:
    static void SetUpTestSuite()
    {
        SceneRun::SetUpTestSuite();
        // Digit cells and glyphs with a black (transparent) frame around their colour.
        kbImage digits = kbImageMake(640, 96, 0x000000FF);
        for (uint32_t d = 0; d < 10; d++)
            for (uint32_t y = 8; y < 88; y++)
                for (uint32_t x = 64 * d + 8; x < 64 * d + 56; x++)
                    digits.pixels[y * 640 + x] = DigitRgb(d) << 8 | 0xFF;
        kbImage glyphs = kbImageMake(169, 17, 0x000000FF);
        for (uint32_t g = 0; g < SCENE_GLYPH_NUM; g++)
            for (uint32_t y = 2; y < 14; y++)
                for (long x = sceneGlyphTbl[g][0] + 1; x < sceneGlyphTbl[g][1] - 1; x++)
                    glyphs.pixels[y * 169 + x] = GlyphRgb(g) << 8 | 0xFF;
        auto bmp = [](const kbImage &aImage) {
            kbBytes out;
            std::string error;
            kbBmpWrite(aImage, 24, &out, &error);
            return out;
        };
        std::vector<kbKsfEntry> entries = {
            {"Data\\Com\\NowLoading_fin.bmp", Bmp(64, 48, kLoading)},
            {"Data\\Com\\result3_fin.bmp", Bmp(64, 48, kResult)},
            {"Data\\Com\\r_NowLoading.bmp", Bmp(64, 8, kStrip)},
            {"Data\\Com\\r_Score.bmp", bmp(digits)},
            {"Data\\Com\\r_Number.bmp", bmp(glyphs)},
            {"Data\\Com\\r_FpsTitle.bmp", Bmp(128, 64, kTitle)},
            {"Data\\Com\\last_2.bmp", Bmp(32, 32, kThumb)},
            {"Data\\Com\\BenchMarkData04.bmp", Bmp(36, 40, kData)},
        };
        kbBytes pack;
        std::string error;
        ASSERT_TRUE(kbKsfWrite(entries, &pack, &error)) << error;
        WriteBytes("Data\\Ksf\\09.ksf", pack);
    }
};

TEST_F(SceneLoadingScreen, PlainScreenAndItsBarAt640x480)
{
    const _sceneOptionDef plain = {SCENE_OPT_CLOSING_SCREEN | SCENE_OPT_PROGRESS_BAR, 0, 0, nullptr, nullptr,
                                   nullptr, nullptr, nullptr};
    sceneDrawLodingScreen(&plain);
    EXPECT_LE(fx::Distance(fx::Pixel(320, 240), kLoading), 3);
    EXPECT_LE(fx::Distance(fx::Pixel(5, 462), kLoading), 3) << "no bar at 0 %";
    sceneDrawLodingStart(&plain);
    // 10 %: x 5 to 56, y 462 to 471.
    EXPECT_EQ(fx::Pixel(5, 462), 0x54FCAFu);
    EXPECT_EQ(fx::Pixel(55, 470), 0x54FCAFu);
    EXPECT_LE(fx::Distance(fx::Pixel(56, 466), kLoading), 3);
    EXPECT_LE(fx::Distance(fx::Pixel(30, 471), kLoading), 3);
    EXPECT_LE(fx::Distance(fx::Pixel(30, 461), kLoading), 3);
    EXPECT_LE(fx::Distance(fx::Pixel(4, 466), kLoading), 3);

    // Without a screen kind nothing is drawn.
    const _sceneOptionDef none = {SCENE_OPT_PROGRESS_BAR, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr};
    fx::Clear(0x112233);
    sceneDrawLodingStart(&none);
    EXPECT_EQ(fx::Pixel(5, 462), 0x112233u);
    sceneDrawLodingStart(nullptr);
    EXPECT_EQ(fx::Pixel(5, 462), 0x112233u);
}

TEST_F(SceneLoadingScreen, BenchmarkScreenShowsTheLastScoreRateAndPictures)
{
    const _sceneOptionDef bench = {SCENE_OPT_BENCH_SCREEN | SCENE_OPT_PROGRESS_BAR, 0, 0, nullptr, nullptr,
                                   nullptr, nullptr, nullptr};
    cpWork.lastStep = 3;
    cpWork.score[3].score = 1234;
    cpWork.score[3].fpsAve = 59.876;
    sceneDrawLodingScreen(&bench);
    // Four digits from x 197, each 64 wide, rows 192 to 288; black cell edges are transparent.
    for (int i = 0; i < 4; i++) {
        const long x = 197 + 64 * i;
        EXPECT_LE(fx::Distance(fx::Pixel(x + 32, 240), DigitRgb(i + 1)), 3) << "digit " << i;
        EXPECT_LE(fx::Distance(fx::Pixel(x + 2, 240), kResult), 3) << "digit " << i << " edge";
    }
    EXPECT_LE(fx::Distance(fx::Pixel(150, 240), kResult), 3);
    // The rate title and "59.87" with its mark from x 336, rows 112 to 128.
    EXPECT_LE(fx::Distance(fx::Pixel(260, 70), kTitle), 3);
    const long glyphX[] = {336, 349, 360, 364, 377, 388};
    const int glyph[] = {5, 9, 10, 8, 7, 11};
    for (int i = 0; i < 6; i++)
        EXPECT_LE(fx::Distance(fx::Pixel(glyphX[i] + 2, 120), GlyphRgb(glyph[i])), 3) << "glyph " << i;
    EXPECT_LE(fx::Distance(fx::Pixel(560, 200), kThumb), 3);
    EXPECT_LE(fx::Distance(fx::Pixel(560, 350), kData), 3);
    // The strip from 450 down with the benchmark's bar over it at 10 %.
    EXPECT_LE(fx::Distance(fx::Pixel(320, 455), kStrip), 3);
    sceneDrawLodingStart(&bench);
    EXPECT_EQ(fx::Pixel(54, 466), 0x54FCAFu);
    EXPECT_LE(fx::Distance(fx::Pixel(55, 466), kStrip), 3) << "the benchmark bar is a little shorter";

    // Before any test has finished: the plain picture.
    cpWork.lastStep = -1;
    sceneDrawLodingScreen(&bench);
    EXPECT_LE(fx::Distance(fx::Pixel(320, 240), kLoading), 3);

    // The challenge run blanks the strip instead of showing a bar.
    cpWork.env[0].benchOption = CP_OPTION_CHALLENGE;
    sceneDrawLodingStart(&bench);
    EXPECT_EQ(fx::Pixel(54, 466), 0u);
    EXPECT_EQ(fx::Pixel(320, 479), 0u);
    EXPECT_LE(fx::Distance(fx::Pixel(320, 449), kLoading), 3);

    // Skipped entirely in a looping benchmark when the scene asks for it.
    const _sceneOptionDef skip = {SCENE_OPT_BENCH_SCREEN | SCENE_OPT_SKIP_SCREEN | SCENE_OPT_PROGRESS_BAR, 0, 0,
                                  nullptr, nullptr, nullptr, nullptr, nullptr};
    cpWork.env[0].benchOption = CP_OPTION_LOOP;
    fx::Clear(0x112233);
    sceneDrawLodingScreen(&skip);
    EXPECT_EQ(fx::Pixel(320, 240), 0x112233u);
}

}  // namespace
