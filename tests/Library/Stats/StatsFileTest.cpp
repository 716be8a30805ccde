// The readers of a run's files: what Kestrel and the runner write reads back whole; cut, altered
// and hostile files are refused with the line and the reason.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "App/Bench/BenchCore.h"
#include "App/CtrlPanel/CtrlPanelCore.h"
#include "Library/Stats/StatsFile.h"
#include "System/Env/Env.h"

namespace {

// A results file as the program writes it: tests 6 and 7 scored, the rest not run.
std::string _resultsText(const char *aAdapterP = "Wine D3D <\"&'>")
{
    static _cpEnv env = {};
    env.benchTestOption = 0xC0;
    static _cpScore scores[CP_TEST_NUM] = {};
    cpStoreScore(scores, 6, 120, 95.5, 0, 0);
    cpStoreScore(scores, 7, 3000, 2300.25, 0, 0);
    static _cpScore overall = {};
    _cpResultInfo info = {"Test CPU", "1.000 GHz", aAdapterP, 1000, 2000, 3000, 0x700, ENV_EX_SSE2,
                          &env, scores, &overall};
    return cpMakeResultsText(info);
}

std::string _replace(std::string aText, const std::string &aFrom, const std::string &aTo)
{
    const size_t at = aText.find(aFrom);
    EXPECT_NE(at, std::string::npos) << aFrom;
    if (at != std::string::npos)
        aText.replace(at, aFrom.size(), aTo);
    return aText;
}

std::string _framesText()
{
    std::string text = BENCH_FRAME_HEAD "\n";
    char line[160];
    for (int test = 6; test <= 7; ++test)
        for (int i = 0; i < 50; ++i) {
            _benchFrameRec rec = {test, i, i * 16.5, 16.5, 2.0, 10.0, 1.0, {}};
            sBenchFrameLine(line, sizeof line, &rec);
            text += line;
        }
    return text;
}

std::string _recordText()
{
    _statsRecord rec;
    rec.started = "2026-12-08 04:43:23";
    rec.args = "--tests 6,7 --runs 2";
    rec.stablePct = 3;
    rec.wine = "8.0";
    rec.direct3d = "csmt=0, VideoMemorySize=16";
    rec.runs.push_back({1, 61.5, "Kestrel-1.txt", "KestrelFrames-1.csv"});
    rec.runs.push_back({2, 60.5, "sub/Kestrel-2.txt", ""});
    rec.runs[0].busy[6] = 0.042;
    rec.runs[0].busy[7] = 0.97;
    return sStatsWriteRecord(rec);
}

} // namespace

TEST(StatsReadResults, ReadsWhatKestrelWrites)
{
    const std::string text = _resultsText();
    _statsResults r;
    _statsError err;
    ASSERT_EQ(sStatsReadResults(text.data(), text.size(), &r, &err), 0) << err.line << ": " << err.reason;
    EXPECT_EQ(r.version, "1.2");
    EXPECT_EQ(sStatsField(r.system, "Display Adapter"), "Wine D3D <\"&'>");
    EXPECT_EQ(sStatsField(r.options, "Benchmark Tests/2D Graphics"), "Yes");
    EXPECT_EQ(sStatsField(r.options, "Benchmark Tests/Game1 (Low)"), "No");
    ASSERT_EQ(r.tests.size(), (size_t)CP_TEST_NUM);
    for (int i = 0; i < CP_TEST_NUM; ++i)
        EXPECT_EQ(r.tests[i].name, cpBenchInfo[i].nameP);
    EXPECT_TRUE(r.tests[6].scoredB);
    EXPECT_EQ(r.tests[6].score, 3056);
    EXPECT_NEAR(r.tests[6].fps, 95.5, 1e-9);
    EXPECT_EQ(r.tests[7].score, 73608);
    EXPECT_FALSE(r.tests[0].scoredB);
    EXPECT_FALSE(r.overallB);
    // Line ends written on Windows read the same.
    std::string crlf;
    for (char c : text)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    ASSERT_EQ(sStatsReadResults(crlf.data(), crlf.size(), &r, &err), 0) << err.reason;
    EXPECT_EQ(r.tests[7].score, 73608);
}

TEST(StatsReadResults, RefusesCutAndHostileFiles)
{
    const std::string good = _resultsText();
    const size_t overallAt = good.find("[Overall Score]");
    const struct {
        std::string text;
        long line;  // -1: any
        const char *reason;
    } caseTbl[] = {
        {"", 0, "empty file"},
        {good.substr(0, good.size() - 1), -1, "no line end"},
        {good.substr(0, good.find('\n', good.find("<Your Fighter>\nKestrel Score")) + 1), -1, "lacks its score"},
        {good.substr(0, good.find("[Score]") - 80), -1, "ends before its [Score]"},
        {good.substr(0, good.find('\n', good.find("Kestrel Score", overallAt)) + 1), -1, "[Overall Score] score"},
        {"Some Other File\n" + good.substr(good.find('\n') + 1), 1, "not a Kestrel results file"},
        {_replace(good, "3056  ", "30x6  "), -1, "bad Kestrel Score"},
        {_replace(good, "3056  ", "-3056 "), -1, "bad Kestrel Score"},
        {_replace(good, "3056  ", "9999999999999 "), -1, "bad Kestrel Score"},
        {_replace(good, "95.50  FPS", "nan    FPS"), -1, "bad FPS Average"},
        {_replace(good, "<The Surface>", "<2D Graphics>"), -1, "appears twice"},
        {_replace(good, "[Score]", "[Scores]"), -1, "unknown section"},
        {_replace(good, "Test CPU", std::string("Test\0CPU", 8)), 6, "NUL byte"},
        {_replace(good, "Test CPU", "Test\x1b[2JCPU"), 6, "control character"},
        {_replace(good, "Test CPU", std::string(2000, 'A')), 6, "longer than"},
        {std::string(STATS_RESULTS_MAX + 1, '\n'), 0, "larger than"},
    };
    for (const auto &c : caseTbl) {
        _statsResults r;
        _statsError err;
        ASSERT_EQ(sStatsReadResults(c.text.data(), c.text.size(), &r, &err), -1) << c.reason;
        EXPECT_NE(err.reason.find(c.reason), std::string::npos) << c.reason << " / got: " << err.reason;
        if (c.line >= 0) {
            EXPECT_EQ(err.line, c.line) << c.reason;
        }
    }
}

TEST(StatsReadFrames, ReadsWhatKestrelWritesAndRefusesTheRest)
{
    const std::string good = _framesText();
    std::vector<_statsFrame> frames;
    _statsError err;
    ASSERT_EQ(sStatsReadFrames(good.data(), good.size(), &frames, &err), 0) << err.reason;
    ASSERT_EQ(frames.size(), 100u);
    EXPECT_EQ(frames[50].test, 7);
    EXPECT_NEAR(frames[49].ms, 49 * 16.5, 1e-9);
    EXPECT_NEAR(frames[49].drawMs, 10.0, 1e-9);
    const std::string older = "test,frame,ms,deltaMs,updateMs\n6,0,16.5,16.5,2.0\n";
    ASSERT_EQ(sStatsReadFrames(older.data(), older.size(), &frames, &err), 0) << err.reason;
    EXPECT_EQ(frames[0].presentMs, 0);

    const std::string head = BENCH_FRAME_HEAD "\n";
    // The record before the device counts: the same checks on its seven columns.
    const std::string head7 = "test,frame,ms,deltaMs,updateMs,drawMs,presentMs\n";
    // The record with the device counts but before the draw manager's skips: sixteen columns.
    const std::string head16 = head.substr(0, head.find(",textureSkips")) + "\n";
    const struct {
        std::string text;
        long line;
        const char *reason;
    } caseTbl[] = {
        {good.substr(0, good.size() - 5), 101, "no line end"},
        {head, 1, "no frames"},
        {"test;frame\n6;0\n", 1, "not a frame-time record"},
        {head7 + "6,0,1.0,1.0,0,0\n", 2, "6 fields where 7"},
        {head7 + "6,0,1.0,1.0,0,0,0,0\n", 2, "fields where 7"},
        {head7 + "6,0,1.0,1.0,0,0,x\n", 2, "bad presentMs"},
        {head7 + "6,0,1.0,-1.0,0,0,0\n", 2, "bad deltaMs"},
        {head7 + "6,0,1.0,inf,0,0,0\n", 2, "bad deltaMs"},
        {head7 + "99,0,1.0,1.0,0,0,0\n", 2, "bad test"},
        {head7 + "6,0,5.0,1.0,0,0,0\n6,1,4.0,1.0,0,0,0\n", 3, "time goes back"},
        {head7 + "6,0,1,1,0,0,0\n7,0,1,1,0,0,0\n6,1,2,1,0,0,0\n", 4, "appears again"},
        {head16 + "6,0,1.0,1.0,0,0,0\n", 2, "7 fields where 16"},
        {head16 + "6,0,1.0,1.0,0,0,0,1,2,3,0,5,6,0,0,-8\n", 2, "bad count \"-8\" in column 16"},
        {head + "6,0,1.0,1.0,0,0,0\n", 2, "7 fields where 25"},
        {head + "6,0,1.0,1.0,0,0,0,1,2,3,0,5,6,0,0,0,0,0,0,0,0,0,0,0,-8\n", 2, "bad count \"-8\" in column 25"},
        {head + "6,0,1.0,1.0,0,0,0,1,2,3,0,5,6,0,0,x,0,0,0,0,0,0,0,0,0\n", 2, "bad count"},
    };
    for (const auto &c : caseTbl) {
        ASSERT_EQ(sStatsReadFrames(c.text.data(), c.text.size(), &frames, &err), -1) << c.reason;
        EXPECT_NE(err.reason.find(c.reason), std::string::npos) << c.reason << " / got: " << err.reason;
        EXPECT_EQ(err.line, c.line) << c.reason;
    }
}

TEST(StatsReadRecord, RoundTripAndRefusals)
{
    const std::string good = _recordText();
    _statsRecord r;
    _statsError err;
    ASSERT_EQ(sStatsReadRecord(good.data(), good.size(), &r, &err), 0) << err.reason;
    ASSERT_EQ(r.runs.size(), 2u);
    EXPECT_EQ(r.args, "--tests 6,7 --runs 2");
    EXPECT_EQ(r.stablePct, 3);
    EXPECT_EQ(r.runs[0].frames, "KestrelFrames-1.csv");
    EXPECT_EQ(r.runs[1].results, "sub/Kestrel-2.txt");
    EXPECT_TRUE(r.runs[1].frames.empty());
    EXPECT_EQ(r.runs[1].seconds, 60.5);
    EXPECT_EQ(r.wine, "8.0");
    EXPECT_EQ(r.direct3d, "csmt=0, VideoMemorySize=16");
    EXPECT_EQ(r.runs[0].busy[6], 0.042);
    EXPECT_EQ(r.runs[0].busy[7], 0.97);
    EXPECT_EQ(r.runs[0].busy[0], -1);  // not played: no share
    EXPECT_EQ(r.runs[1].busy[7], -1);  // a run without a busy line

    const struct {
        std::string text;
        const char *reason;
    } caseTbl[] = {
        {good.substr(0, good.rfind("run\t2")), "but 1 run lines"},
        {_replace(good, "Kestrel-1.txt", "../../etc/passwd"), "leaves the record's folder"},
        {_replace(good, "Kestrel-1.txt", "/etc/passwd"), "leaves the record's folder"},
        {_replace(good, "Kestrel-1.txt", "C:\\Windows\\x.txt"), "leaves the record's folder"},
        {_replace(good, "KestrelFrames-1.csv", "a\\..\\..\\b.csv"), "leaves the record's folder"},
        {_replace(good, "run\t2\t", "run\t3\t"), "out of order"},
        {_replace(good, "runs\t2", "runs\t1000000"), "bad or second run count"},
        {_replace(good, "Kestrel run record 1", "Kestrel run record 9"), "not a Kestrel run record"},
        {_replace(good, "stable\t3", "colour\tblue"), "unknown line"},
        {_replace(good, "busy\t1\t", "busy\t2\t"), "not after its run"},
        {_replace(good, "0.970", "-0.5"), "bad busy share"},
        {_replace(good, "0.970", "x"), "bad busy share"},
        {_replace(good, "\t0.970", ""), "unknown line"},
    };
    for (const auto &c : caseTbl) {
        ASSERT_EQ(sStatsReadRecord(c.text.data(), c.text.size(), &r, &err), -1) << c.reason;
        EXPECT_NE(err.reason.find(c.reason), std::string::npos) << c.reason << " / got: " << err.reason;
        EXPECT_GT(err.line, 0) << c.reason;
    }
}
