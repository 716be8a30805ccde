#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "App/App/AppCore.h"
#include "Content.h"

// The models and scenes the content builder makes: bodies the engine can draw (indices inside
// their sets, finite positions, boxes that hold them, faces toward their normals), motions that
// cover each scene's frames, and packages the program reads back.

namespace {

// The first broken rule of a body, or empty.
std::string BodyFault(const kbShapeBody &aBody)
{
    if (aBody.abilities.empty())
        return "no surface";
    uint32_t polys = 0;
    for (const kbAbility &a : aBody.abilities)
        for (const kbVertexSet &vs : a.vertexSets) {
            if (vs.vertices.size() != (size_t)vs.vertexNum * sizeof(_vertexDef) || vs.vertexNum > 65535)
                return "vertex set size";
            const _vertexDef *v = reinterpret_cast<const _vertexDef *>(vs.vertices.data());
            for (uint32_t i = 0; i < vs.vertexNum; i++) {
                if (!std::isfinite(v[i].vx) || !std::isfinite(v[i].vy) || !std::isfinite(v[i].vz) ||
                    !std::isfinite(v[i].nx))
                    return "a vertex that is not a number";
                if (v[i].vx < aBody.def.minX - 1e-4 || v[i].vx > aBody.def.maxX + 1e-4 ||
                    v[i].vy < aBody.def.minY - 1e-4 || v[i].vy > aBody.def.maxY + 1e-4 ||
                    v[i].vz < aBody.def.minZ - 1e-4 || v[i].vz > aBody.def.maxZ + 1e-4)
                    return "a vertex outside the body's box";
            }
            for (const kbIndexSet &is : vs.indexSets) {
                if (is.indices.size() % 3)
                    return "a partial triangle";
                for (uint16_t i : is.indices)
                    if (i >= vs.vertexNum)
                        return "an index past its vertex set";
                size_t against = 0;
                for (size_t t = 0; t < is.indices.size(); t += 3) {
                    const _vertexDef &p = v[is.indices[t]], &q = v[is.indices[t + 1]], &r = v[is.indices[t + 2]];
                    const kbVec3 n = kbCross(kbVec3(q.vx - p.vx, q.vy - p.vy, q.vz - p.vz),
                                             kbVec3(r.vx - p.vx, r.vy - p.vy, r.vz - p.vz));
                    const kbVec3 s(p.nx + q.nx + r.nx, p.ny + q.ny + r.ny, p.nz + q.nz + r.nz);
                    if (kbLength(n) > 1e-8f && kbDot(n, s) < 0)
                        against++;
                }
                // Lumps pushed into a rock can fold the odd small triangle; a mirrored or inside-out
                // part turns them all.
                if (against * 50 > is.indices.size() / 3)
                    return std::to_string(against) + " triangles wound against their normals";
                polys += (uint32_t)(is.indices.size() / 3);
            }
        }
    if (polys != aBody.def.polyCnt)
        return "polygon count " + std::to_string(aBody.def.polyCnt) + " for " + std::to_string(polys);
    return "";
}

long Covered(const kbMotion &aM, bool *aPastP)
{
    long frames = 0, t = 0, a = 0, s = 0;
    *aPastP = false;
    for (const _sceneIndexDef &r : aM.runs)
        for (int k = 0; k < r.length; k++, frames++) {
            t += r.trans, a += r.angle, s += r.scale;
            if (t >= (long)aM.transKeys.size() || a >= (long)aM.angleKeys.size() || s >= (long)aM.scaleKeys.size())
                *aPastP = true;
        }
    return frames;
}

} // namespace

TEST(ContentModels, EveryModelIsABodyTheEngineCanDraw)
{
    const struct {
        const char *name;
        std::shared_ptr<kbShapeBody> body;
    } models[] = {
        {"sword", ctSwordBody(1.2f, "metal.bmp")},
        {"ship", ctShipBody(6, 12, 0x8090A0, "hull.bmp", "glow.bmp")},
        {"plain ship", ctShipBody(6, 4, 0x8090A0, "", "")},
        {"cruiser", ctCruiserBody(60, 10, "hull.bmp", "lights.bmp")},
        {"asteroid", ctAsteroidBody(3, 3, 7, "rock.bmp")},
        {"lantern", ctLanternBody(2, 8, "stone.bmp")},
        {"tree", ctTreeBody(5, 8, "bark.bmp", "leaf.bmp")},
    };
    for (const auto &m : models) {
        ASSERT_TRUE(m.body) << m.name;
        EXPECT_EQ(BodyFault(*m.body), "") << m.name;
        EXPECT_GT(m.body->def.polyCnt, 20u) << m.name;
    }
    // Standing models rest on y = 0; ships point their nose along +Z.
    EXPECT_NEAR(models[5].body->def.minY, 0.0, 0.05);
    EXPECT_NEAR(models[6].body->def.minY, 0.0, 0.05);
    EXPECT_GT(models[1].body->def.maxZ, -models[1].body->def.minZ * 0.5);

    const ctFighterLook look = {"A_", 0x803020, 0x202020, 0xE0B090, "", 8};
    const kbRig rig = ctFighterRig(look, 1.8f);
    ASSERT_EQ(rig.Size(), (int)CT_PARTS);
    kbRig parts = rig;
    for (int i = 0; i < parts.Size(); i++) {
        const kbRig::Part &p = parts[i];
        EXPECT_EQ(p.name.rfind("A_", 0), 0u) << p.name << ": every part carries the fighter's prefix";
        EXPECT_LT(p.parent, i) << p.name << ": parents come first";
        if (p.body) {
            EXPECT_EQ(BodyFault(*p.body), "") << p.name;
        }
    }
}

TEST(ContentScenes, BenchmarkScenesCoverTheirFramesAndReadBack)
{
    std::vector<std::pair<std::string, kbBytes>> loose;
    const ctScene scenes[] = {ctGame1(), ctGame2(), ctGame3(), ctSurface(), ctEmpty2d(),
                              ctFighter(false), ctFighter(true), ctClosing(&loose)};
    for (const ctScene &cs : scenes) {
        const kbScene &sc = cs.scene;
        const long frames = sc.def.frameCnt;
        ASSERT_GT(frames, 0) << cs.number;
        auto check = [&](const kbMotion &aM, const std::string &aWhat) {
            if (aM.runs.empty())
                return;
            bool past = false;
            EXPECT_EQ(Covered(aM, &past), frames) << cs.number << " " << aWhat;
            EXPECT_FALSE(past) << cs.number << " " << aWhat;
        };
        for (const kbShape &s : sc.shapes) {
            check(s.motion, s.def.name);
            if (!s.dissolve.empty()) {
                EXPECT_EQ((long)s.dissolve.size(), frames) << cs.number << " " << s.def.name;
            }
            EXPECT_LT(s.def.parentShapeNum, (int)sc.shapes.size()) << cs.number << " " << s.def.name;
        }
        for (const kbCamera &c : sc.cameras)
            check(c.motion, "camera");
        for (const kbLight &l : sc.lights)
            check(l.motion, "light");

        kbBytes file;
        std::string err;
        ASSERT_TRUE(kbKsxWrite(sc, &file, &err)) << cs.number << ": " << err;
        uint8_t *data = entryKsxMem(file.data(), (long)file.size());
        ASSERT_NE(data, nullptr) << cs.number;
        EXPECT_EQ(reinterpret_cast<const _sceneDef *>(data)->shapeCnt, sc.shapes.size());
        std::free(data);
        // Every texture a shape names is in the scene's own image package (or a loose file).
        for (const kbShape &s : sc.shapes)
            if (s.body)
                for (const kbAbility &a : s.body->abilities)
                    for (const _textureSet &t : a.texSets) {
                        const std::string name = kbKsfName(t.fileName);
                        bool found = false;
                        for (const kbKsfEntry &e : cs.textures.entries)
                            found = found || kbKsfName(e.name) == name;
                        for (const auto &l : loose)
                            found = found || kbKsfName(l.first) == name;
                        EXPECT_TRUE(found) << cs.number << ": " << t.fileName;
                    }
    }
}

TEST(ContentScenes, PreviewsShowSomethingAndDependOnTheFrame)
{
    const ctScene game3 = ctGame3();
    const kbImage a = ctPreview(game3, 10, 96, 72), b = ctPreview(game3, game3.scene.def.frameCnt - 10, 96, 72);
    ASSERT_EQ(a.pixels.size(), 96u * 72);
    size_t lit = 0, moved = 0;
    for (size_t i = 0; i < a.pixels.size(); i++) {
        lit += (a.pixels[i] >> 8) != (a.pixels[0] >> 8) ? 1 : 0;
        moved += a.pixels[i] != b.pixels[i] ? 1 : 0;
    }
    EXPECT_GT(lit, a.pixels.size() / 50) << "the preview is a flat fill";
    EXPECT_GT(moved, 0u) << "frame 10 and the end look the same";
    EXPECT_EQ(ctPreview(game3, 10, 96, 72).pixels, a.pixels);
}
