// The object inspector as a user runs it: every key for both sample generations, the same
// geometry from each, and the reason a refused object is refused.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <unistd.h>

#include "KbLwo.h"

namespace {

struct Result {
    int status = -1;
    std::map<std::string, std::string> keys;
    std::string text;
};

Result inspect(const std::string &aPath)
{
    Result r;
    const char *tool = std::getenv("LWOINFO");
    if (!tool) {
        ADD_FAILURE() << "LWOINFO names no inspector";
        return r;
    }
    const std::string cmd = std::string(tool) + " '" + aPath + "'";
    FILE *p = popen(cmd.c_str(), "r");
    if (!p) return r;
    char line[512];
    while (std::fgets(line, sizeof line, p)) {
        r.text += line;
        std::string s(line);
        if (!s.empty() && s.back() == '\n') s.pop_back();
        const size_t sp = s.find(' ');
        if (sp == std::string::npos) continue;
        const std::string key = s.substr(0, sp), value = s.substr(sp + 1);
        // Repeated keys (one "surface" a line) are kept in order.
        r.keys[key] = r.keys.count(key) ? r.keys[key] + "," + value : value;
    }
    const int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

std::string tempFile(const char *aName, const std::vector<uint8_t> &aBytes)
{
    const std::string path = std::string(::testing::TempDir()) + "lwoinfo_" + std::to_string(getpid()) + "_" + aName;
    EXPECT_TRUE(kbLwoSave(path, aBytes));
    return path;
}

long num(const Result &aR, const char *aKey)
{
    auto it = aR.keys.find(aKey);
    EXPECT_NE(it, aR.keys.end()) << "missing key " << aKey << " in\n" << aR.text;
    return it == aR.keys.end() ? -1 : std::atol(it->second.c_str());
}

} // namespace

TEST(LwoInfo, BothSampleGenerationsPrintEveryKeyAndTheSameGeometry)
{
    const KbLwoModel m = kbLwoFighter();
    long bySize[4] = {0, 0, 0, 0}, tris = 0;
    for (const auto &p : m.polys) {
        bySize[p.size() >= 4 ? 3 : p.size() - 1]++;
        tris += p.size() >= 3 ? (long)p.size() - 2 : 0;
    }
    std::string names;
    for (const auto &s : m.surfaces) names += (names.empty() ? "" : ",") + s.name;

    Result gen[2];
    const std::string paths[2] = {tempFile("fighter.lwo", kbLwoWriteLwo2(m)), tempFile("fighter_lwob.lwo", kbLwoWriteLwob(m))};
    for (int g = 0; g < 2; ++g) {
        const Result &r = gen[g] = inspect(paths[g]);
        SCOPED_TRACE(paths[g]);
        EXPECT_EQ(r.status, 0) << r.text;
        EXPECT_EQ(r.keys.at("format"), g ? "LWOB" : "LWO2");
        EXPECT_EQ(num(r, "layers"), 1);
        EXPECT_EQ(num(r, "points"), (long)m.points.size() / 3);
        EXPECT_EQ(num(r, "polygons"), (long)m.polys.size());
        EXPECT_EQ(num(r, "polygons.1"), bySize[0]);
        EXPECT_EQ(num(r, "polygons.2"), bySize[1]);
        EXPECT_EQ(num(r, "polygons.3"), bySize[2]);
        EXPECT_EQ(num(r, "polygons.4+"), bySize[3]);
        EXPECT_EQ(num(r, "surfaces"), (long)m.surfaces.size());
        EXPECT_EQ(r.keys.at("surface"), names);
        EXPECT_EQ(num(r, "triangles"), tris);
        // Every triangle sits in exactly one strip or fan: a run of n indices draws n - 2.
        const long strips = num(r, "strips"), fans = num(r, "fans");
        EXPECT_GT(strips, 0);
        EXPECT_GT(fans, 0);
        EXPECT_EQ(num(r, "strip_indices") - 2 * strips + num(r, "fan_indices") - 2 * fans, tris);
        EXPECT_EQ(num(r, "line_strips") > 0, bySize[1] > 0);
        EXPECT_EQ(num(r, "point_runs") > 0, bySize[0] > 0);
        std::remove(paths[g].c_str());
    }
    for (const char *k : {"points", "polygons", "triangles", "strips", "strip_indices", "fans", "fan_indices"})
        EXPECT_EQ(gen[0].keys.at(k), gen[1].keys.at(k)) << k;
}

TEST(LwoInfo, RefusedObjectsPrintTheirErrorAndFail)
{
    const struct {
        const char *name;
        std::vector<uint8_t> bytes;
        const char *error;
    } cases[] = {
        {"text.lwo", {'n', 'o', 't', ' ', 'a', 'n', ' ', 'o', 'b', 'j'}, "error unknown type\n"},
        // A FORM that claims more than the file holds.
        {"cut.lwo", {'F', 'O', 'R', 'M', 0, 0, 1, 0, 'L', 'W', 'O', '2', 'P', 'N', 'T', 'S'}, "error file read error\n"},
    };
    for (const auto &c : cases) {
        const std::string path = tempFile(c.name, c.bytes);
        const Result r = inspect(path);
        EXPECT_EQ(r.status, 1) << c.name;
        EXPECT_EQ(r.text, c.error) << c.name;
        std::remove(path.c_str());
    }
    const Result missing = inspect(std::string(::testing::TempDir()) + "lwoinfo-no-such-object.lwo");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.text, "error file open error\n");
}
