// The results store and what is made from it: a file goes in whole or not at all, the same run
// twice is stored once, a refused file is named with its line, the comparison marks only real
// differences, and the report page carries every test and score with names escaped.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include "ResultsFixtures.h"

using namespace rt;

namespace {

class ResultsStore : public ::testing::TestWithParam<const char *> {};

} // namespace

TEST_P(ResultsStore, ImportIsWholeOrNothingAndOnce)
{
    Dir dir;
    Db db(GetParam());
    ASSERT_EQ(db.error, "");
    const _storeOps &ops = *db.ops;
    const std::string rec = _record(dir, "A", "Adapter A", kMachineA, 10);
    _storeHandle h = {};
    std::string err;
    ASSERT_EQ(sStoreOpen(ops, db.where, &h, &err), 0) << err;
    _resultsRun run;
    std::string identity;
    ASSERT_EQ(sResultsLoad(rec, &run, &identity, &err), 0) << err;
    ASSERT_EQ(run.passes.size(), 3u);
    // What the runner adds under Wine: the version, the Direct3D settings, the shares of a core.
    run.wine = "8.0";
    run.direct3d = "csmt=0";
    run.passes[1].busy[6] = 0.9;
    run.passes[2].busy[0] = 0.05;

    // A write that fails half-way leaves nothing behind, at every point it can fail.
    for (long after : {0L, 1L, 5L, 40L, 80L}) {
        storeFaultAfter = after;
        long id = 0;
        EXPECT_EQ(sStoreImport(&h, run, sStoreHash(identity), &id, &err), -1) << after;
        storeFaultAfter = -1;
        for (const char *table : {"run", "pass", "field", "score", "frames", "busy"})
            EXPECT_EQ(_count(h, table), 0) << table << " after a fault at row " << after;
    }
    long id = 0, again = 0;
    ASSERT_EQ(sStoreImport(&h, run, sStoreHash(identity), &id, &err), 1) << err;
    EXPECT_EQ(sStoreImport(&h, run, sStoreHash(identity), &again, &err), 0);
    EXPECT_EQ(again, id);
    EXPECT_EQ(_count(h, "run"), 1);
    EXPECT_EQ(_count(h, "pass"), 3);

    // What comes back is what went in.
    _resultsRun back;
    ASSERT_EQ(sStoreLoad(&h, id, &back, &err), 1) << err;
    ASSERT_EQ(back.passes.size(), 3u);
    EXPECT_EQ(back.args, "--runs 3 --frametime");
    EXPECT_EQ(back.wine, "8.0");
    EXPECT_EQ(back.direct3d, "csmt=0");
    EXPECT_NEAR(back.passes[1].busy[6], 0.9, 1e-6);
    EXPECT_NEAR(back.passes[2].busy[0], 0.05, 1e-6);
    EXPECT_EQ(back.passes[0].busy[6], -1);
    EXPECT_TRUE(sResultsDisturbed(back.passes[1], 6));
    EXPECT_EQ(back.passes[1].results.tests[7].score, run.passes[1].results.tests[7].score);
    EXPECT_EQ(sStatsField(back.passes[0].results.system, "Display Adapter"), "Adapter A");
    ASSERT_EQ(back.passes[2].frames.size(), run.passes[2].frames.size());
    EXPECT_EQ(back.passes[2].frames[100].deltaMs, run.passes[2].frames[100].deltaMs);
    EXPECT_EQ(ops.load(h.store, id + 1, &back, &err), 0);
    sStoreClose(&h);

    // Reopening finds the schema in place and applies nothing twice.
    ASSERT_EQ(sStoreOpen(ops, db.where, &h, &err), 0) << err;
    EXPECT_EQ(ops.version(h.store, &err), storeSchemaVersion);

    // A frame row whose count does not match its bytes (one off, or off by 2^32, which a 32-bit
    // size would wrap to a match) is refused, never read past.
    for (const char *damage : {"count + 1", "count + 4294967296"}) {
        std::vector<std::vector<std::string>> rows;
        const std::string set = std::string("UPDATE frames SET count = ") + damage + ";";
        ASSERT_EQ(ops.query(h.store, set.c_str(), {}, &rows, &err), 0) << err;
        EXPECT_EQ(ops.load(h.store, id, &back, &err), -1) << damage;
        EXPECT_NE(err.find("damaged"), std::string::npos) << err;
        const std::string undo = std::string("UPDATE frames SET count = count - (") + damage + " - count);";
        ASSERT_EQ(ops.query(h.store, undo.c_str(), {}, &rows, &err), 0) << err;
        EXPECT_EQ(ops.load(h.store, id, &back, &err), 1) << err;
    }
    sStoreClose(&h);
}

// The list pages newest first and filters by machine; tokens are known by their text only.
TEST_P(ResultsStore, ListsPagesAndChecksTokens)
{
    Dir dir;
    Db db(GetParam());
    ASSERT_EQ(db.error, "");
    _storeHandle h = {};
    std::string err;
    ASSERT_EQ(sStoreOpen(*db.ops, db.where, &h, &err), 0) << err;
    const struct { const char *prefix, *adapter; } runTbl[] = {
        {"A", "Adapter A"}, {"B", "Adapter B"}, {"C", "Adapter 50%_x"}};
    for (const auto &r : runTbl) {
        _resultsRun run;
        std::string identity;
        ASSERT_EQ(sResultsLoad(_record(dir, r.prefix, r.adapter, kMachineA, 10), &run, &identity, &err), 0) << err;
        long id;
        ASSERT_EQ(sStoreImport(&h, run, sStoreHash(identity), &id, &err), 1) << err;
    }
    EXPECT_EQ(sStoreCount(&h, &err), 3);
    const struct { long limit, before; const char *adapter; std::vector<long> ids; } pageTbl[] = {
        {10, 0, "", {3, 2, 1}}, {2, 3, "", {2, 1}}, {10, 0, "Adapter B", {2}},
        {10, 0, "50%_", {3}},   {10, 0, "0%x", {}},  {10, 1, "", {}},
    };
    for (const auto &p : pageTbl) {
        std::vector<_storeRunRow> rows;
        ASSERT_EQ(sStoreList(&h, _storeFilter{p.limit, p.before, p.adapter, ""}, &rows, &err), 0) << err;
        std::vector<long> ids;
        for (const _storeRunRow &r : rows)
            ids.push_back(r.id);
        EXPECT_EQ(ids, p.ids) << p.limit << " " << p.before << " " << p.adapter;
        if (!rows.empty() && rows[0].id == 3) {
            EXPECT_EQ(rows[0].passes, 3);
            EXPECT_EQ(rows[0].tests, 0x3FFu);
            EXPECT_EQ(rows[0].adapter, "Adapter 50%_x");
        }
    }
    std::string token, other;
    ASSERT_EQ(sStoreTokenAdd(&h, "lab", &token, &err), 0) << err;
    EXPECT_EQ(sStoreTokenAdd(&h, "lab", &other, &err), -1);  // one token a name
    EXPECT_EQ(sStoreTokenCheck(&h, token, &err), 1);
    for (const std::string &wrong : {std::string(), token.substr(1), sStoreHash(token), token + "0"})
        EXPECT_EQ(sStoreTokenCheck(&h, wrong, &err), 0) << wrong;
    EXPECT_EQ(_count(h, "token"), 1);
    // Withdrawn by name, it no longer writes.
    std::vector<std::string> names;
    ASSERT_EQ(sStoreTokenList(&h, &names, &err), 0) << err;
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(names[0].compare(0, 4, "lab\t"), 0) << names[0];
    EXPECT_EQ(sStoreTokenRemove(&h, "lab", &err), 1) << err;
    EXPECT_EQ(sStoreTokenRemove(&h, "lab", &err), 0);
    EXPECT_EQ(sStoreTokenCheck(&h, token, &err), 0);
    sStoreClose(&h);
}

// Hubs and imports started together on one new database: each opens it, the schema is applied
// once. The processes wait on one pipe and start migrating when it closes.
TEST_P(ResultsStore, OpenersAtOnceMigrateOnce)
{
    enum { ROUNDS = 8, OPENERS = 4 };
    for (int round = 0; round < ROUNDS; ++round) {
        Db db(GetParam());
        ASSERT_EQ(db.error, "");
        int go[2];
        ASSERT_EQ(pipe(go), 0);
        std::vector<pid_t> openers;
        for (int k = 0; k < OPENERS; ++k) {
            const pid_t pid = fork();
            ASSERT_GE(pid, 0);
            if (pid == 0) {
                close(go[1]);
                char c;
                (void)!read(go[0], &c, 1);
                _storeHandle h = {};
                std::string err;
                const int rc = sStoreOpen(*db.ops, db.where, &h, &err);
                if (rc)
                    std::fprintf(stderr, "round %d opener %d: %s\n", round, k, err.c_str());
                else
                    sStoreClose(&h);
                _exit(rc ? 1 : 0);
            }
            openers.push_back(pid);
        }
        close(go[0]);
        close(go[1]);
        int failed = 0;
        for (pid_t pid : openers) {
            int status = 0;
            waitpid(pid, &status, 0);
            failed += !WIFEXITED(status) || WEXITSTATUS(status) != 0;
        }
        EXPECT_EQ(failed, 0) << "round " << round;
        _storeHandle h = {};
        std::string err;
        ASSERT_EQ(sStoreOpen(*db.ops, db.where, &h, &err), 0) << err;
        EXPECT_EQ(db.ops->version(h.store, &err), storeSchemaVersion) << "round " << round;
        EXPECT_EQ(_count(h, "kestrel_schema"), 1) << "round " << round;
        EXPECT_EQ(_count(h, "token"), 0) << "round " << round;
        sStoreClose(&h);
        if (failed)
            break;
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, ResultsStore, ::testing::Values("sqlite", "postgresql"),
                         [](const ::testing::TestParamInfo<const char *> &aI) { return std::string(aI.param); });

TEST(ResultsLoad, RefusesAFileOfARecordWithItsNameAndLine)
{
    Dir dir;
    const std::string rec = _record(dir, "A", "Adapter A", kMachineA, 10);
    // The second pass's results file cut short: the whole record is refused, naming that file.
    std::string text = _results(kMachineA[1], "Adapter A");
    dir.Write("A-2.txt", text.substr(0, text.find("[Overall Score]") - 200));
    _resultsRun run;
    std::string identity, err;
    EXPECT_EQ(sResultsLoad(rec, &run, &identity, &err), -1);
    EXPECT_NE(err.find("A-2.txt:"), std::string::npos) << err;
    EXPECT_EQ(sResultsLoad(dir.path + "/missing.txt", &run, &identity, &err), -1);
    EXPECT_EQ(sResultsLoad(dir.Write("x.bin", "\x7f" "ELF\n"), &run, &identity, &err), -1);
    EXPECT_NE(err.find("x.bin:1: not a Kestrel"), std::string::npos) << err;
}

TEST(ResultsCompare, MarksOnlyRealDifferences)
{
    Dir dir;
    std::vector<_resultsRun> runs(2);
    std::string identity, err;
    ASSERT_EQ(sResultsLoad(_record(dir, "A", "Adapter A", kMachineA, 10), &runs[0], &identity, &err), 0) << err;
    ASSERT_EQ(sResultsLoad(_record(dir, "B", "Adapter B", kMachineB, 12), &runs[1], &identity, &err), 0) << err;
    const std::string table = sResultsCompareText(runs);
    auto rowOf = [&](const char *aTest) {
        const size_t at = table.find(std::string(aTest) + " ");
        return at == std::string::npos ? std::string() : table.substr(at, table.find('\n', at) - at);
    };
    EXPECT_EQ(rowOf("Game1 (Low)").back(), '*') << table;     // 20 % and steady
    EXPECT_EQ(rowOf("Your Fighter").back(), ' ') << table;    // 10 % within its noise
    EXPECT_EQ(rowOf("2D Graphics").back(), ' ') << table;     // the same
    // The same score every run on both machines: no noise to judge by, so not called real.
    EXPECT_EQ(rowOf("Game1 (High)").back(), '#') << table;
    // The family is the three tests that vary; the adjusted p is printed and the method named.
    for (const char *want : {"adj p", "Benjamini-Hochberg", "1 of 3 differences real", "Kestrel Index over 10 tests"})
        EXPECT_NE(table.find(want), std::string::npos) << want << "\n" << table;

    // The reference system reads 100 on the index.
    _resultsSum sum;
    sResultsSummarise(runs[0], &sum);
    EXPECT_NEAR(sum.index, 100 * std::pow(40.0, 0.1), 1.0);
    // Known to +-5 %: all but noisy Your Fighter; to +-3 % not 2D Graphics either (+-3.1 %).
    EXPECT_EQ(sResultsUnsettled(sum, 0x3FF, 5.0), 1u << 9);
    EXPECT_EQ(sResultsUnsettled(sum, 0x3FF, 3.0), (1u << 9) | (1u << 7));
}

namespace {

const unsigned kLightTests = 0x3D5;  // no High test

// A Light edition's results file: the High tests neither ticked nor scored, the others at aScale
// x their reference score, aZeroTest (if any) scoring 0.
std::string _light(double aScale, int aZeroTest = -1)
{
    _cpEnv env = {};
    env.benchTestOption = kLightTests;
    _cpScore scores[CP_TEST_NUM] = {}, overall = {};
    for (int i = 0; i < CP_TEST_NUM; ++i)
        if ((kLightTests >> i) & 1)
            cpStoreScore(scores, i, 0, i == aZeroTest ? 0 : aScale / cpRefScoreRate[i] / 32.0, 0, 0);
    cpMakeOverallScore(scores, &overall);
    _cpResultInfo info = {"Test CPU", "1.000 GHz", "Adapter L", 1000, 2000, 3000, 0x700, ENV_EX_SSE2,
                          &env, scores, &overall};
    return cpMakeResultsText(info);
}

_resultsRun _set(const std::vector<std::string> &aTexts, const char *aArgs)
{
    _resultsRun run = {};
    run.label = "set";
    run.args = aArgs;
    for (const std::string &t : aTexts) {
        _resultsPass pass = {};
        _statsError e;
        EXPECT_EQ(sStatsReadResults(t.data(), t.size(), &pass.results, &e), 0) << e.line << ": " << e.reason;
        run.passes.push_back(pass);
    }
    return run;
}

} // namespace

// The index compares like with like: only the tests every set ran, their number beside it, and
// none at all for a set that lacks a score or scored 0, never a higher one.
TEST(ResultsCompare, IndexOverTheSameTestsOrNone)
{
    const std::vector<std::string> full = {_results(kMachineA[0], "A"), _results(kMachineA[1], "A"),
                                           _results(kMachineA[2], "A")};
    const std::vector<_resultsRun> runs = {_set(full, "--runs 3"),
                                           _set({_light(1.0), _light(1.01), _light(0.99)}, "--runs 3"),
                                           _set({_light(1.0), _light(1.01, 8), _light(0.99)}, "--runs 3")};
    const std::string table = sResultsCompareText(runs);
    EXPECT_NE(table.find("Kestrel Index over 7 tests, those every set ran; left out: Game1 (High) (not run in "
                         "[2], [3]); Game2 (High)"), std::string::npos) << table;
    EXPECT_NE(table.find("Kestrel Index of [3] n/a: Space Fighter scored 0 in run 2."), std::string::npos) << table;
    _resultsSum sum[3];
    for (int r = 0; r < 3; ++r)
        sResultsSummarise(runs[(size_t)r], &sum[r]);
    std::string why;
    // Over the Light tests the full set's index is its own over those seven: 2D Graphics at 40 x.
    EXPECT_NEAR(sResultsIndex(sum[0], kLightTests, &why), 100 * std::pow(40.0, 1.0 / 7), 1.0);
    EXPECT_EQ(sum[2].index, 0);
    EXPECT_EQ(sum[2].indexWhy, "Space Fighter scored 0 in run 2");
    // A test ticked but unscored in a pass is a missing score, not a test left out.
    _resultsRun gap = runs[1];
    for (_statsTestResult &t : gap.passes[1].results.tests)
        if (t.name == "Game2 (Low)")
            t.scoredB = 0;
    _resultsSum gapSum;
    sResultsSummarise(gap, &gapSum);
    EXPECT_EQ(gapSum.index, 0);
    EXPECT_EQ(gapSum.indexWhy, "no score for Game2 (Low) in run 2");
}

// Repeating until stable in the Light edition: the tests it ran settle, the High ones it cannot
// run are not waited for; the set's intervals take the first five runs' spread.
TEST(ResultsStage, LightEditionSettlesOnItsOwnTests)
{
    std::vector<std::string> texts;
    for (double scale : {1.0, 1.02, 0.98, 1.01, 0.99, 1.0, 1.0})
        texts.push_back(_light(scale));
    const _resultsRun run = _set(texts, "--until-stable 3 --max-runs 10");
    EXPECT_EQ(sResultsRan(run), kLightTests);
    EXPECT_EQ(sResultsStage(run), STATS_STAGE_RUNS);
    EXPECT_EQ(sResultsStage(_set(texts, "--runs 7")), 0);
    // CV about 1.6 % over the first five: (2.776 x 1.6 / 3)^2 = 2.2, so the first stage is enough.
    EXPECT_EQ(sResultsStageRuns(run, kLightTests, 3), STATS_STAGE_RUNS);
    EXPECT_EQ(sResultsStageRuns(run, 0x3FF, 3), STATS_STAGE_MAX);
    _resultsSum sum;
    sResultsSummarise(run, &sum);
    EXPECT_EQ(sResultsUnsettled(sum, kLightTests, 3), 0u);
    const _statsTestResult &t = run.passes[0].results.tests[0];
    ASSERT_EQ(t.name, "Game1 (Low)");
    std::vector<double> first;
    for (int k = 0; k < STATS_STAGE_RUNS; ++k)
        first.push_back((double)run.passes[(size_t)k].results.tests[0].score);
    _statsSet s;
    sStatsSummary(first.data(), STATS_STAGE_RUNS, &s);
    EXPECT_NEAR(sum.test[0].score.ciHalf, sStatsT975(STATS_STAGE_RUNS - 1) * s.sd / std::sqrt(7.0), 1e-9);
    EXPECT_NE(sResultsCompareText({run}).find("until stable: intervals from its first 5 runs' spread"),
              std::string::npos);
}

// A disturbed score is shown but left out of its test's figures, unless the test has no other;
// such a test never counts as settled.
TEST(ResultsSummary, LeavesDisturbedScoresOut)
{
    Dir dir;
    std::vector<_resultsRun> runs(1);
    std::string identity, err;
    ASSERT_EQ(sResultsLoad(_record(dir, "A", "Adapter A", kMachineA, 10), &runs[0], &identity, &err), 0) << err;
    _resultsRun &run = runs[0];
    run.passes[0].busy[0] = 0.8;                  // Game1 (Low): one of three disturbed
    run.passes[1].busy[0] = RESULTS_BUSY_LIMIT;   // at the mark: not above it
    for (_resultsPass &p : run.passes)
        p.busy[7] = 1.0;                          // 2D Graphics: every run disturbed
    _resultsSum sum;
    sResultsSummarise(run, &sum);
    EXPECT_EQ(sum.test[0].score.n, 2);
    EXPECT_EQ(sum.test[0].disturbedValues.size(), 1u);
    EXPECT_EQ(sum.test[0].disturbedValues[0], (double)run.passes[0].results.tests[0].score);
    EXPECT_FALSE(sum.test[0].disturbedOnlyB);
    EXPECT_EQ(sum.test[7].score.n, 3);
    EXPECT_TRUE(sum.test[7].disturbedOnlyB);
    EXPECT_EQ(sResultsUnsettled(sum, 1u << 7, 100.0), 1u << 7);
    EXPECT_EQ(sum.test[6].score.n, 3);

    const std::string table = sResultsCompareText(runs);
    EXPECT_NE(table.find("Game1 (Low): 1 of 3 run(s) disturbed, left out"), std::string::npos) << table;
    EXPECT_NE(table.find("2D Graphics: 3 of 3 run(s) disturbed, no other runs"), std::string::npos) << table;
    EXPECT_EQ(table.find("Wine"), std::string::npos) << table;  // not under Wine: nothing said
    run.wine = "8.0";
    EXPECT_NE(sResultsCompareText(runs).find("Wine 8.0 (Direct3D: none set)"), std::string::npos);
    const std::string page = sResultsReportHtml(runs, "test");
    EXPECT_NE(page.find("+1 disturbed"), std::string::npos);
    EXPECT_NE(page.find("all disturbed"), std::string::npos);
    EXPECT_NE(page.find("<td>8.0</td>"), std::string::npos);
    EXPECT_NE(page.find("<td>none set</td>"), std::string::npos);
}

TEST(ResultsReport, EscapesNamesAndCarriesEveryScore)
{
    Dir dir;
    std::vector<_resultsRun> runs(1);
    std::string identity, err;
    ASSERT_EQ(sResultsLoad(_record(dir, "A", "<script>alert(\"x\")</script> & 'GPU' \xff\xfe", kMachineA, 10),
                           &runs[0], &identity, &err), 0) << err;
    runs[0].label = "<b>label</b>";
    const std::string page = sResultsReportHtml(runs, "made by <test>");
    EXPECT_EQ(page.find("<script"), std::string::npos);
    EXPECT_EQ(page.find("<b>label"), std::string::npos);
    EXPECT_NE(page.find("&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt; &amp; &#39;GPU&#39; \xEF\xBF\xBD\xEF\xBF\xBD"),
              std::string::npos);
    EXPECT_NE(page.find("&lt;b&gt;label&lt;/b&gt;"), std::string::npos);
    // Nothing is fetched: no script, stylesheet, image or frame from anywhere.
    for (const char *fetch : {"<script", "<link", "src=", "<iframe", "url("})
        EXPECT_EQ(page.find(fetch), std::string::npos) << fetch;
    _resultsSum sum;
    sResultsSummarise(runs[0], &sum);
    for (int i = 0; i < RESULTS_TEST_NUM; ++i) {
        EXPECT_NE(page.find(sResultsHtml(sResultsTestName(i))), std::string::npos) << i;
        char mean[32];
        std::snprintf(mean, sizeof mean, "%.0f", sum.test[i].score.mean);
        EXPECT_NE(page.find(mean), std::string::npos) << i;
    }
    // The one 80 ms frame among 200 of 11 ms keeps its pixel column: on the 0..100 ms axis of
    // 180 pixels under a margin of 8, its column reaches y = 8 + 180 - 144 = 44.
    const size_t line = page.find("class=\"ft\"");
    ASSERT_NE(line, std::string::npos);
    EXPECT_NE(page.substr(line, page.find("/>", line) - line).find(".5 44.0L"), std::string::npos);
}

// Writes the browser check's inputs (driven by report-browser.sh): two machines' run records with
// their files, a report of both, one with a ten-minute frame record, and the texts each page
// must show.
TEST(ResultsReport, WritesBrowserInputs)
{
    const char *out = std::getenv("KESTREL_REPORT_DIR");
    if (!out)
        GTEST_SKIP() << "only for the browser check";
    Dir dir(out);
    std::vector<_resultsRun> runs(2);
    std::string identity, err;
    ASSERT_EQ(sResultsLoad(_record(dir, "A", "Adapter A", kMachineA, 10), &runs[0], &identity, &err), 0) << err;
    ASSERT_EQ(sResultsLoad(_record(dir, "B", "Adapter \"B\" <fast>", kMachineB, 12), &runs[1], &identity, &err), 0) << err;
    dir.Write("two.html", sResultsReportHtml(runs, "browser check"));
    std::string expect = "Adapter \"B\" <fast>\n";
    for (const _resultsRun &run : runs) {
        _resultsSum sum;
        sResultsSummarise(run, &sum);
        for (int i = 0; i < RESULTS_TEST_NUM; ++i) {
            char mean[32];
            std::snprintf(mean, sizeof mean, "%.0f", sum.test[i].score.mean);
            expect += std::string(sResultsTestName(i)) + "\n" + mean + "\n";
        }
    }
    dir.Write("two.expect", expect);
    // Ten minutes of 2D Graphics at 60 fps in each of three passes, one 120 ms frame in each.
    std::vector<_resultsRun> longRun(1, runs[0]);
    for (_resultsPass &p : longRun[0].passes) {
        p.frames.clear();
        double t = 0;
        for (long i = 0; i < 36000; ++i) {
            const double d = i == 20000 ? 120.0 : 16.7 + (i % 7) * 0.1;
            t += d;
            p.frames.push_back(_statsFrame{7, (int32_t)i, t, d, 1, 8, 1});
        }
    }
    dir.Write("long.html", sResultsReportHtml(longRun, "ten-minute record"));
}
