#include "ResultsCore.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "App/CtrlPanel/CtrlPanelCore.h"

static_assert((int)RESULTS_TEST_NUM == (int)CP_TEST_NUM, "one summary row per benchmark test");

const char *sResultsTestName(int aTest)
{
    return aTest >= 0 && aTest < RESULTS_TEST_NUM ? cpBenchInfo[aTest].nameP : "?";
}

double sResultsRefScore(int aTest)
{
    return aTest >= 0 && aTest <= RESULTS_TEST_NUM ? 1.0 / cpRefScoreRate[aTest] : 0;
}

static int _testOf(const std::string &aName)
{
    for (int i = 0; i < RESULTS_TEST_NUM; ++i)
        if (aName == cpBenchInfo[i].nameP)
            return i;
    return -1;
}

static std::string _format(const char *aFormatP, double aA, double aB = 0, double aC = 0)
{
    char text[128];
    std::snprintf(text, sizeof text, aFormatP, aA, aB, aC);
    return text;
}

static int _readFile(const std::string &aPath, size_t aMax, std::string *aTextP, std::string *aErrP)
{
    FILE *in = std::fopen(aPath.c_str(), "rb");
    if (!in) {
        *aErrP = aPath + ": cannot be opened";
        return -1;
    }
    std::string text;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, in)) > 0) {
        text.append(buf, n);
        if (text.size() > aMax) {
            std::fclose(in);
            *aErrP = aPath + ": larger than " + std::to_string(aMax) + " bytes";
            return -1;
        }
    }
    const bool bad = std::ferror(in) != 0;
    std::fclose(in);
    if (bad) {
        *aErrP = aPath + ": read error";
        return -1;
    }
    aTextP->swap(text);
    return 0;
}

static int _refused(const std::string &aPath, const _statsError &aE, std::string *aErrP)
{
    *aErrP = aPath + ":" + std::to_string(aE.line) + ": " + aE.reason;
    return -1;
}

static std::string _baseName(const std::string &aPath)
{
    const size_t cut = aPath.find_last_of("/\\");
    return cut == std::string::npos ? aPath : aPath.substr(cut + 1);
}

int sResultsRead(const std::string &aName, const std::string &aText, _resultsFetch aFetch, void *aCtxP,
                 _resultsRun *aRunP, std::string *aIdentityP, std::string *aErrP)
{
    const std::string &text = aText;
    _resultsRun run = {};
    run.source = _baseName(aName);
    run.label = run.source;
    _statsError e;
    const auto startsWith = [&](const char *aP) { return text.compare(0, std::strlen(aP), aP) == 0; };
    if (startsWith("Kestrel Ver ")) {
        _resultsPass pass = {};
        if (sStatsReadResults(text.data(), text.size(), &pass.results, &e))
            return _refused(aName, e, aErrP);
        run.passes.push_back(pass);
        *aIdentityP = "results\n" + text;
    } else if (startsWith("test,frame,")) {
        _resultsPass pass = {};
        if (sStatsReadFrames(text.data(), text.size(), &pass.frames, &e))
            return _refused(aName, e, aErrP);
        run.passes.push_back(pass);
        *aIdentityP = "frames\n" + text;
    } else if (startsWith("Kestrel run record")) {
        _statsRecord rec;
        if (sStatsReadRecord(text.data(), text.size(), &rec, &e))
            return _refused(aName, e, aErrP);
        run.args = rec.args;
        run.wine = rec.wine;
        run.direct3d = rec.direct3d;
        *aIdentityP = "record\n" + text;
        // Each run's files are its own: one file named for many runs would store its frames many
        // times over from a small record.
        std::vector<std::string> named;
        for (const _statsRecordRun &r : rec.runs) {
            _resultsPass pass = {};
            pass.seconds = r.seconds;
            for (int t = 0; t < RESULTS_TEST_NUM && t < STATS_BUSY_TESTS; ++t)
                pass.busy[t] = r.busy[t];
            for (int k = 0; k < 2; ++k) {
                std::string name = k ? r.frames : r.results;
                if (name.empty())
                    continue;
                for (char &c : name)
                    c = c == '\\' || c == '/' ? '/' : c;
                if (std::find(named.begin(), named.end(), name) != named.end()) {
                    *aErrP = aName + ": " + name + " is named for more than one run";
                    return -1;
                }
                named.push_back(name);
                std::string body;
                if (aFetch(aCtxP, name, &body, aErrP))
                    return -1;
                const long rc = k ? sStatsReadFrames(body.data(), body.size(), &pass.frames, &e)
                                  : sStatsReadResults(body.data(), body.size(), &pass.results, &e);
                if (rc)
                    return _refused(name, e, aErrP);
                *aIdentityP += "\n" + std::to_string(body.size()) + "\n" + body;
            }
            run.passes.push_back(pass);
        }
    } else {
        *aErrP = aName + ":1: not a Kestrel results file, frame-time record or run record";
        return -1;
    }
    *aRunP = run;
    return 0;
}

int sResultsLoad(const std::string &aPath, _resultsRun *aRunP, std::string *aIdentityP, std::string *aErrP)
{
    std::string text;
    if (_readFile(aPath, (size_t)STATS_FRAMES_MAX * 100, &text, aErrP))
        return -1;
    const size_t cut = aPath.find_last_of("/\\");
    std::string folder = cut == std::string::npos ? "" : aPath.substr(0, cut + 1);
    // A record's files are found beside it, and named by their path when refused.
    const _resultsFetch fetch = [](void *aCtxP, const std::string &aName, std::string *aTextP, std::string *aFetchErrP) {
        return _readFile(*(std::string *)aCtxP + aName, (size_t)STATS_FRAMES_MAX * 100, aTextP, aFetchErrP);
    };
    if (sResultsRead(aPath, text, fetch, &folder, aRunP, aIdentityP, aErrP) == 0)
        return 0;
    // The reader names a record's file as the record does; the command line names it by path.
    if (!folder.empty() && aErrP->compare(0, aPath.size(), aPath) != 0 && aErrP->compare(0, folder.size(), folder) != 0)
        *aErrP = folder + *aErrP;
    return -1;
}

long sResultsStage(const _resultsRun &aRun)
{
    // The runner's options as it recorded them, word by word.
    const std::string &args = aRun.args;
    for (size_t at = 0; at < args.size();) {
        const size_t end = std::min(args.find(' ', at), args.size());
        if (args.compare(at, end - at, "--until-stable") == 0)
            return STATS_STAGE_RUNS;
        at = end + 1;
    }
    return 0;
}

// A test a pass ran: ticked in its options, or scored (a file without the ticks).
static bool _ran(const _resultsPass &aPass, const _statsTestResult &aT)
{
    return aT.scoredB || sStatsField(aPass.results.options, ("Benchmark Tests/" + aT.name).c_str()) == "Yes";
}

unsigned sResultsRan(const _resultsRun &aRun)
{
    unsigned ran = 0;
    for (const _resultsPass &pass : aRun.passes)
        for (const _statsTestResult &t : pass.results.tests) {
            const int i = _testOf(t.name);
            if (i >= 0 && _ran(pass, t))
                ran |= 1u << i;
        }
    return ran;
}

bool sResultsDisturbed(const _resultsPass &aPass, int aTest)
{
    return aTest >= 0 && aTest < RESULTS_TEST_NUM && aPass.busy[aTest] > RESULTS_BUSY_LIMIT;
}

void sResultsSummarise(const _resultsRun &aRun, _resultsSum *aSumP)
{
    _resultsSum sum = {};
    sum.stage = sResultsStage(aRun);
    std::vector<double> overall;
    std::vector<double> deltas[RESULTS_TEST_NUM], loops[RESULTS_TEST_NUM], loopsDisturbed[RESULTS_TEST_NUM];
    long passNo = 0;
    for (const _resultsPass &pass : aRun.passes) {
        ++passNo;
        for (const _statsTestResult &t : pass.results.tests) {
            const int i = _testOf(t.name);
            if (i < 0 || !_ran(pass, t))
                continue;
            _resultsTestSum &s = sum.test[i];
            s.ranB = 1;
            sum.ran |= 1u << i;
            if (!t.scoredB) {
                s.gapPass = s.gapPass ? s.gapPass : passNo;
                continue;
            }
            if (t.score == 0 && !s.zeroPass)
                s.zeroPass = passNo;
            const bool disturbed = sResultsDisturbed(pass, i);
            (disturbed ? s.disturbedValues : s.values).push_back((double)t.score);
            (disturbed ? loopsDisturbed[i] : loops[i]).push_back(t.fps);
        }
        if (pass.results.overallB)
            overall.push_back((double)pass.results.overall);
        for (const _statsFrame &f : pass.frames)
            if (f.test >= 0 && f.test < RESULTS_TEST_NUM)
                deltas[f.test].push_back(f.deltaMs);
    }
    for (int i = 0; i < RESULTS_TEST_NUM; ++i) {
        _resultsTestSum &t = sum.test[i];
        // A test only ever scored disturbed still shows what it scored, marked as such.
        if (t.values.empty() && !t.disturbedValues.empty()) {
            t.values.swap(t.disturbedValues);
            loops[i].swap(loopsDisturbed[i]);
            t.disturbedOnlyB = 1;
        }
        t.scoresB = sStatsSummaryStaged(t.values.data(), (long)t.values.size(), sum.stage, &t.score) == 0;
        t.framesB = sStatsFrames(deltas[i].data(), (long)deltas[i].size(), &t.frames) == 0;
        for (double l : loops[i])
            t.loopRate += l / (double)loops[i].size();
    }
    sum.index = sResultsIndex(sum, sum.ran, &sum.indexWhy);
    sum.overallB = !overall.empty() && overall.size() == aRun.passes.size() &&
                   sStatsSummary(overall.data(), (long)overall.size(), &sum.overall) == 0;
    *aSumP = sum;
}

double sResultsIndex(const _resultsSum &aSum, unsigned aTests, std::string *aWhyP)
{
    double score[RESULTS_TEST_NUM], ref[RESULTS_TEST_NUM];
    long n = 0;
    aWhyP->clear();
    for (int i = 0; i < RESULTS_TEST_NUM; ++i) {
        if (!((aTests >> i) & 1))
            continue;
        const _resultsTestSum &t = aSum.test[i];
        const std::string name = sResultsTestName(i);
        // A test left out would raise the index of the set that lacks it.
        if (!t.scoresB || t.gapPass)
            *aWhyP = "no score for " + name + (t.gapPass ? " in run " + std::to_string(t.gapPass) : std::string());
        else if (t.zeroPass)
            *aWhyP = name + " scored 0 in run " + std::to_string(t.zeroPass);
        if (!aWhyP->empty())
            return 0;
        score[n] = t.score.mean;
        ref[n++] = sResultsRefScore(i);
    }
    if (!n) {
        *aWhyP = "no test scored";
        return 0;
    }
    return sStatsIndex(score, ref, n);
}

unsigned sResultsUnsettled(const _resultsSum &aSum, unsigned aTests, double aPct)
{
    unsigned open = 0;
    for (int i = 0; i < RESULTS_TEST_NUM; ++i) {
        if (!((aTests >> i) & 1))
            continue;
        const _resultsTestSum &t = aSum.test[i];
        if (!t.scoresB || t.disturbedOnlyB || t.score.n < 2 || !(t.score.mean > 0) ||
            t.score.ciHalf * 100.0 > aPct * t.score.mean)
            open |= 1u << i;
    }
    return open;
}

long sResultsStageRuns(const _resultsRun &aRun, unsigned aTests, double aPct)
{
    _resultsSum sum;
    sResultsSummarise(aRun, &sum);
    long most = STATS_STAGE_RUNS;
    for (int i = 0; i < RESULTS_TEST_NUM; ++i) {
        if (!((aTests >> i) & 1))
            continue;
        const std::vector<double> &v = sum.test[i].values;
        _statsSet first;
        if (v.size() < (size_t)STATS_STAGE_RUNS || sStatsSummary(v.data(), STATS_STAGE_RUNS, &first))
            return STATS_STAGE_MAX;
        most = std::max(most, sStatsStageRuns(first, aPct));
    }
    return most;
}

// "12345 +/-678" for a set, "-" without one. ASCII only: the Windows build's narrow strings are
// in the Japanese code page, and the page and the console both read this.
static std::string _meanCi(const _statsSet &aS, bool aHave)
{
    if (!aHave)
        return "-";
    return aS.n > 1 ? _format("%.0f +/-%.0f", aS.mean, aS.ciHalf) : _format("%.0f", aS.mean);
}

// A test has a row in a comparison when any of the compared sets scored it.
static bool _anyScored(const std::vector<_resultsSum> &aSums, int aTest)
{
    for (const _resultsSum &s : aSums)
        if (s.test[aTest].scoresB)
            return true;
    return false;
}

// Every later set's difference from the first, test by test, decided as one family.
struct _family {
    std::vector<std::vector<_statsDiff>> diff;  // [set][test]; set 0 has none
    long tested = 0, real = 0;
};

static _family _decide(const std::vector<_resultsSum> &aSums)
{
    std::vector<_statsSet> a, b;
    std::vector<std::pair<size_t, int>> where;
    const _statsSet none = {};
    for (size_t r = 1; r < aSums.size(); ++r)
        for (int i = 0; i < RESULTS_TEST_NUM; ++i) {
            if (!_anyScored(aSums, i))
                continue;
            const _resultsTestSum &ta = aSums[0].test[i], &tb = aSums[r].test[i];
            a.push_back(ta.scoresB ? ta.score : none);
            b.push_back(tb.scoresB ? tb.score : none);
            where.emplace_back(r, i);
        }
    std::vector<_statsDiff> out(a.size());
    sStatsCompare(a.data(), b.data(), (long)a.size(), out.data());
    _family f;
    f.diff.assign(aSums.size(), std::vector<_statsDiff>(RESULTS_TEST_NUM, _statsDiff{0, -1, -1, '-'}));
    for (size_t k = 0; k < out.size(); ++k) {
        f.diff[where[k].first][where[k].second] = out[k];
        f.tested += out[k].p >= 0;
        f.real += out[k].mark == '*';
    }
    return f;
}

// The Kestrel Index of every set over the tests all of them ran, so that sets are indexed alike.
struct _common {
    unsigned tests = (1u << RESULTS_TEST_NUM) - 1;
    int count = 0;
    std::string leftOut;             // tests some set did not run, and where
    std::vector<double> index;       // 0: n/a
    std::vector<std::string> why;
};

static _common _commonIndex(const std::vector<_resultsSum> &aSums)
{
    _common c;
    for (const _resultsSum &s : aSums)
        c.tests &= s.ran;
    for (int i = 0; i < RESULTS_TEST_NUM; ++i) {
        c.count += (c.tests >> i) & 1;
        std::string missing;
        bool any = false;
        for (size_t r = 0; r < aSums.size(); ++r) {
            any |= (aSums[r].ran >> i) & 1;
            if (!((aSums[r].ran >> i) & 1))
                missing += (missing.empty() ? "[" : ", [") + std::to_string(r + 1) + "]";
        }
        if (any && !missing.empty())
            c.leftOut += (c.leftOut.empty() ? "" : "; ") + std::string(sResultsTestName(i)) + " (not run in " +
                         missing + ")";
    }
    for (const _resultsSum &s : aSums) {
        std::string why;
        c.index.push_back(c.tests ? sResultsIndex(s, c.tests, &why) : 0);
        c.why.push_back(c.tests ? why : "no test ran in every set");
    }
    return c;
}

// An adjusted p as printed: "-" when not tested.
static std::string _pText(double aP)
{
    if (aP < 0)
        return "-";
    return aP < 0.0001 ? std::string("<0.0001") : _format("%.4f", aP);
}

static std::string _setNote(const _resultsSum &aSum)
{
    return aSum.stage ? ", until stable: intervals from its first " + std::to_string(aSum.stage) + " runs' spread"
                      : std::string();
}

static int _disturbedCnt(const _resultsTestSum &aT)
{
    return (int)(aT.disturbedOnlyB ? aT.values.size() : aT.disturbedValues.size());
}

// Which sets had disturbed tests, and what became of their scores.
static std::string _disturbedNote(const std::vector<_resultsRun> &aRuns, const std::vector<_resultsSum> &aSums,
                                  const char *aBreakP)
{
    std::string out;
    for (size_t r = 0; r < aSums.size(); ++r)
        for (int i = 0; i < RESULTS_TEST_NUM; ++i) {
            const _resultsTestSum &t = aSums[r].test[i];
            if (!_disturbedCnt(t))
                continue;
            out += aBreakP + ("[" + std::to_string(r + 1) + "] " + sResultsTestName(i) + ": " +
                              std::to_string(_disturbedCnt(t)) + " of " + std::to_string(aRuns[r].passes.size()) +
                              " run(s) disturbed, " +
                              (t.disturbedOnlyB ? "no other runs: the figures are of disturbed runs"
                                                : "left out of the figures"));
        }
    if (!out.empty())
        out = std::string(aBreakP) + "Disturbed: other processes took more than " +
              _format("%.0f", RESULTS_BUSY_LIMIT * 100) + " % of a core while the test played." + out;
    return out;
}

std::string sResultsCompareText(const std::vector<_resultsRun> &aRuns)
{
    std::vector<_resultsSum> sums(aRuns.size());
    for (size_t r = 0; r < aRuns.size(); ++r)
        sResultsSummarise(aRuns[r], &sums[r]);
    const _family family = _decide(sums);
    const _common common = _commonIndex(sums);
    std::string out;
    char line[256];
    for (size_t r = 0; r < aRuns.size(); ++r) {
        const std::string id = aRuns[r].id > 0 ? "run " + std::to_string(aRuns[r].id) + ": " : std::string();
        std::snprintf(line, sizeof line, "[%u] %s%s (%u run%s%s)", (unsigned)r + 1, id.c_str(),
                      aRuns[r].label.c_str(), (unsigned)aRuns[r].passes.size(),
                      aRuns[r].passes.size() == 1 ? "" : "s", _setNote(sums[r]).c_str());
        out += line;
        // The machine beside it: what a comparison of two machines is about.
        if (!aRuns[r].passes.empty()) {
            const std::vector<_statsField> &sys = aRuns[r].passes[0].results.system;
            out += ": " + sStatsField(sys, "Display Adapter") + ", " + sStatsField(sys, "Processor Type");
        }
        // Under Wine its settings are part of the machine.
        if (!aRuns[r].wine.empty())
            out += ", Wine " + aRuns[r].wine + " (Direct3D: " +
                   (aRuns[r].direct3d.empty() ? std::string("none set") : aRuns[r].direct3d) + ")";
        out += '\n';
    }
    out += "\nmean +/-95 % interval (Student's t), CV and runs per set.\n";
    if (aRuns.size() > 1)
        out += "Later sets against [1]: the difference and Welch's p adjusted over all " +
               std::to_string(family.tested) +
               " differences of this comparison\n(Benjamini-Hochberg, false-discovery rate " +
               std::to_string((int)STATS_FDR_PERCENT) +
               " %: of the differences marked *, about 1 in 20 may be chance).\n"
               "  * real (adjusted p < 0.05)   ? fewer than two runs on a side: cannot be told\n"
               "  # neither set varies: no noise to judge by; the difference is what these runs gave,\n"
               "    neither real nor chance can be told (more runs, or runs that vary, can tell)\n"
               "  A set whose runs do not vary is taken to be as noisy as the set it is compared with.\n";
    out += '\n';
    std::snprintf(line, sizeof line, "%-16s", "Test");
    out += line;
    for (size_t r = 0; r < aRuns.size(); ++r) {
        std::snprintf(line, sizeof line, " %20s %6s %3s", ("[" + std::to_string(r + 1) + "]").c_str(), "CV", "n");
        out += line;
        if (r) {
            std::snprintf(line, sizeof line, " %9s %7s  ", "vs [1]", "adj p");
            out += line;
        }
    }
    out += '\n';
    for (int i = 0; i < RESULTS_TEST_NUM; ++i) {
        if (!_anyScored(sums, i))
            continue;
        std::snprintf(line, sizeof line, "%-16s", sResultsTestName(i));
        out += line;
        for (size_t r = 0; r < sums.size(); ++r) {
            const _resultsTestSum &t = sums[r].test[i];
            std::snprintf(line, sizeof line, " %20s %6s %3ld", _meanCi(t.score, t.scoresB).c_str(),
                          t.scoresB && t.score.n > 1 ? _format("%.1f%%", t.score.cv * 100).c_str() : "-",
                          t.scoresB ? t.score.n : 0L);
            out += line;
            if (r) {
                const _statsDiff &d = family.diff[r][(size_t)i];
                if (d.mark == '-')
                    std::snprintf(line, sizeof line, " %9s %7s  ", "-", "");
                else
                    std::snprintf(line, sizeof line, " %+8.1f%% %7s %c", d.pct, _pText(d.pAdj).c_str(), d.mark);
                out += line;
            }
        }
        out += '\n';
    }
    out += '\n';
    std::snprintf(line, sizeof line, "%-16s", "Kestrel Index");
    out += line;
    for (size_t r = 0; r < sums.size(); ++r) {
        // The count beside every index: indexes over different counts of tests do not compare.
        const std::string value = common.index[r] > 0 ? _format("%.1f", common.index[r]) + " (" +
                                                            std::to_string(common.count) + " tests)"
                                                      : std::string("n/a");
        std::snprintf(line, sizeof line, " %20s %6s %3s%s", value.c_str(), "", "", r ? "                   " : "");
        out += line;
    }
    out += "\n";
    std::snprintf(line, sizeof line, "%-16s", "Overall Score");
    out += line;
    for (size_t r = 0; r < sums.size(); ++r) {
        std::snprintf(line, sizeof line, " %20s %6s %3s%s", _meanCi(sums[r].overall, sums[r].overallB).c_str(), "", "",
                      r ? "                   " : "");
        out += line;
    }
    out += _disturbedNote(aRuns, sums, "\n");
    out += "\n\nKestrel Index over " + std::to_string(common.count) + " test" + (common.count == 1 ? "" : "s") +
           (aRuns.size() > 1 ? ", those every set ran" : ", those the set ran") +
           (common.leftOut.empty() ? std::string() : "; left out: " + common.leftOut) + ".\n";
    for (size_t r = 0; r < sums.size(); ++r)
        if (!(common.index[r] > 0))
            out += "Kestrel Index of [" + std::to_string(r + 1) + "] n/a: " + common.why[r] + ".\n";
    if (aRuns.size() > 1)
        out += std::to_string(family.real) + " of " + std::to_string(family.tested) +
               " differences real at a false-discovery rate of " + std::to_string((int)STATS_FDR_PERCENT) +
               " % (Benjamini-Hochberg).\n";
    out += "Kestrel Index: Kestrel's own measure beside the overall score, 100 x the geometric mean of\n"
           "each test's score over the reference system's (the reference reads 100; no test dominates it).\n";
    return out;
}

// ---- HTML ----------------------------------------------------------------------------------

std::string sResultsUtf8(const std::string &aText)
{
    std::string out;
    const size_t n = aText.size();
    for (size_t i = 0; i < n;) {
        const unsigned char c = (unsigned char)aText[i];
        if (c < 0x80) {
            out += (char)c;
            ++i;
            continue;
        }
        // A whole, shortest-form UTF-8 sequence passes; anything else is one replacement character.
        const int len = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 && c < 0xF0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 0;
        bool ok = len > 0 && i + len <= n;
        for (int k = 1; ok && k < len; ++k)
            ok = ((unsigned char)aText[i + k] & 0xC0) == 0x80;
        if (ok && len == 3) {
            const unsigned char c1 = (unsigned char)aText[i + 1];
            ok = !(c == 0xE0 && c1 < 0xA0) && !(c == 0xED && c1 >= 0xA0);
        }
        if (ok && len == 4) {
            const unsigned char c1 = (unsigned char)aText[i + 1];
            ok = !(c == 0xF0 && c1 < 0x90) && !(c == 0xF4 && c1 >= 0x90);
        }
        if (ok) {
            out.append(aText, i, (size_t)len);
            i += (size_t)len;
        } else {
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
    return out;
}

std::string sResultsHtml(const std::string &aText)
{
    std::string out;
    for (char ch : sResultsUtf8(aText)) {
        const unsigned char c = (unsigned char)ch;
        switch (c) {
        case '&': out += "&amp;"; continue;
        case '<': out += "&lt;"; continue;
        case '>': out += "&gt;"; continue;
        case '"': out += "&quot;"; continue;
        case '\'': out += "&#39;"; continue;
        default: break;
        }
        out += c < 0x20 && c != '\t' && c != '\n' ? ' ' : ch;
    }
    return out;
}

namespace {

std::string _htmlCi(const _statsSet &aS, bool aHave)
{
    std::string text = _meanCi(aS, aHave);
    const size_t at = text.find("+/-");
    return at == std::string::npos ? text : text.replace(at, 3, "&plusmn;");
}

const char *const _colorTbl[] = {"#1f6fb4", "#e0701c", "#2e9a3a", "#c2313a", "#7d55b5", "#8a5a44", "#d257a8", "#6b6b6b"};
const char *_color(size_t aRun)
{
    return _colorTbl[aRun % (sizeof _colorTbl / sizeof _colorTbl[0])];
}

std::string _num(double aV, int aDigits = 1)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", aDigits, aV);
    return text;
}

// A round axis top at or above aMax.
double _niceTop(double aMax)
{
    if (!(aMax > 0))
        return 1;
    const double step = std::pow(10.0, std::floor(std::log10(aMax)));
    for (double m : {1.0, 1.5, 2.0, 2.5, 3.0, 4.0, 5.0, 6.0, 8.0, 10.0})
        if (m * step >= aMax)
            return m * step;
    return 10 * step;
}

const int W = 720, PAD_L = 56, PAD_R = 12;

std::string _svgOpen(int aHeight, const std::string &aLabel)
{
    return "<svg class=\"chart\" viewBox=\"0 0 " + std::to_string(W) + " " + std::to_string(aHeight) +
           "\" role=\"img\" aria-label=\"" + sResultsHtml(aLabel) + "\" xmlns=\"http://www.w3.org/2000/svg\">\n";
}

// Horizontal grid with values at the left; y grows down from aTop to aTop + aH.
std::string _yAxis(int aTop, int aH, double aMax, const char *aUnitP)
{
    std::string out;
    for (int k = 0; k <= 4; ++k) {
        const double v = aMax * k / 4;
        const int y = aTop + aH - aH * k / 4;
        out += "<line class=\"grid\" x1=\"" + std::to_string(PAD_L) + "\" x2=\"" + std::to_string(W - PAD_R) +
               "\" y1=\"" + std::to_string(y) + "\" y2=\"" + std::to_string(y) + "\"/><text class=\"ax\" x=\"" +
               std::to_string(PAD_L - 4) + "\" y=\"" + std::to_string(y + 4) + "\" text-anchor=\"end\">" +
               _num(v, v < 10 ? 1 : 0) + (k == 4 ? std::string(" ") + aUnitP : "") + "</text>\n";
    }
    return out;
}

// Per test: each set's mean as a bar with its 95 % interval and every run's score as a dot, and
// the reference system's score as a dashed line.
std::string _barChart(int aTest, const std::vector<_resultsRun> &aRuns, const std::vector<_resultsSum> &aSums)
{
    const int barH = 22, gap = 8, top = 8;
    const int h = top + (int)aRuns.size() * (barH + gap) + 24;
    double maxV = sResultsRefScore(aTest);
    for (const _resultsSum &s : aSums)
        if (s.test[aTest].scoresB)
            maxV = std::max({maxV, s.test[aTest].score.max, s.test[aTest].score.ciHigh});
    const double top_ = _niceTop(maxV * 1.05);
    const double plotW = W - PAD_L - PAD_R - 90;
    // An interval reaching below zero is cut at the axis.
    auto x = [&](double v) { return PAD_L + plotW * std::max(0.0, v) / top_; };
    std::string out = _svgOpen(h, std::string(sResultsTestName(aTest)) + " scores");
    for (int k = 0; k <= 4; ++k) {
        const double v = top_ * k / 4;
        out += "<line class=\"grid\" x1=\"" + _num(x(v)) + "\" x2=\"" + _num(x(v)) + "\" y1=\"" +
               std::to_string(top) + "\" y2=\"" + std::to_string(h - 20) + "\"/><text class=\"ax\" x=\"" +
               _num(x(v)) + "\" y=\"" + std::to_string(h - 6) + "\" text-anchor=\"middle\">" + _num(v, 0) +
               "</text>\n";
    }
    for (size_t r = 0; r < aRuns.size(); ++r) {
        const _resultsTestSum &t = aSums[r].test[aTest];
        const int y = top + (int)r * (barH + gap);
        out += "<text class=\"lbl\" x=\"" + std::to_string(PAD_L - 4) + "\" y=\"" + std::to_string(y + 15) +
               "\" text-anchor=\"end\">[" + std::to_string(r + 1) + "]</text>";
        if (!t.scoresB) {
            out += "<text class=\"ax\" x=\"" + std::to_string(PAD_L + 4) + "\" y=\"" + std::to_string(y + 15) +
                   "\">not run</text>\n";
            continue;
        }
        out += "<rect x=\"" + std::to_string(PAD_L) + "\" y=\"" + std::to_string(y) + "\" width=\"" +
               _num(x(t.score.mean) - PAD_L) + "\" height=\"" + std::to_string(barH) + "\" fill=\"" + _color(r) +
               "\" fill-opacity=\"0.75\"/>";
        if (t.score.n > 1) {
            const std::string yc = std::to_string(y + barH / 2);
            out += "<path class=\"ci\" d=\"M" + _num(x(t.score.ciLow)) + " " + yc + "H" + _num(x(t.score.ciHigh)) +
                   "M" + _num(x(t.score.ciLow)) + " " + std::to_string(y + 4) + "v" + std::to_string(barH - 8) +
                   "M" + _num(x(t.score.ciHigh)) + " " + std::to_string(y + 4) + "v" + std::to_string(barH - 8) +
                   "\"/>";
        }
        for (double v : t.values)
            out += "<circle cx=\"" + _num(x(v)) + "\" cy=\"" + std::to_string(y + barH / 2) + "\" r=\"2.5\" class=\"" +
                   (t.disturbedOnlyB ? "dot dist" : "dot") + "\"/>";
        for (double v : t.disturbedValues)
            out += "<circle cx=\"" + _num(x(v)) + "\" cy=\"" + std::to_string(y + barH / 2) +
                   "\" r=\"3.5\" class=\"dist\"><title>disturbed run</title></circle>";
        out += "<text class=\"val\" x=\"" + _num(x(std::max(t.score.ciHigh, t.score.max)) + 6) + "\" y=\"" +
               std::to_string(y + 15) + "\">" + _num(t.score.mean, 0) + "</text>\n";
    }
    const double ref = sResultsRefScore(aTest);
    out += "<line class=\"ref\" x1=\"" + _num(x(ref)) + "\" x2=\"" + _num(x(ref)) + "\" y1=\"" + std::to_string(top - 4) +
           "\" y2=\"" + std::to_string(h - 20) + "\"/><text class=\"ax\" x=\"" + _num(x(ref) + 3) + "\" y=\"" +
           std::to_string(top + 4) + "\">reference " + _num(ref, 0) + "</text>\n</svg>\n";
    return out;
}

// One pass's frames of a test, the first pass that has them.
std::vector<const _statsFrame *> _framesOf(const _resultsRun &aRun, int aTest)
{
    std::vector<const _statsFrame *> out;
    for (const _resultsPass &pass : aRun.passes) {
        for (const _statsFrame &f : pass.frames)
            if (f.test == aTest)
                out.push_back(&f);
        if (!out.empty())
            break;
    }
    return out;
}

// Frame time against time since the test started. Every pixel column draws the shortest and the
// longest frame that falls in it, so a single slow frame shows however many frames share the
// column.
std::string _frameLine(int aTest, const std::vector<_resultsRun> &aRuns)
{
    const int top = 8, plotH = 180, h = top + plotH + 26;
    const int plotW = W - PAD_L - PAD_R;
    std::vector<std::vector<const _statsFrame *>> frames;
    double maxMs = 0, maxT = 0;
    for (const _resultsRun &run : aRuns) {
        frames.push_back(_framesOf(run, aTest));
        for (const _statsFrame *f : frames.back())
            maxMs = std::max(maxMs, f->deltaMs), maxT = std::max(maxT, f->ms);
    }
    const double yTop = _niceTop(maxMs * 1.05);
    std::string out = _svgOpen(h, std::string(sResultsTestName(aTest)) + " frame times");
    out += _yAxis(top, plotH, yTop, "ms");
    const double secs = maxT / 1000.0;
    for (int k = 0; k <= 4; ++k)
        out += "<text class=\"ax\" x=\"" + std::to_string(PAD_L + plotW * k / 4) + "\" y=\"" + std::to_string(h - 8) +
               "\" text-anchor=\"middle\">" + _num(secs * k / 4, secs < 10 ? 1 : 0) + (k == 4 ? " s" : "") +
               "</text>\n";
    for (size_t r = 0; r < frames.size(); ++r) {
        if (frames[r].empty())
            continue;
        std::vector<double> lo((size_t)plotW, -1), hi((size_t)plotW, -1);
        for (const _statsFrame *f : frames[r]) {
            const size_t col = (size_t)std::min<double>(plotW - 1, maxT > 0 ? f->ms / maxT * plotW : 0);
            if (lo[col] < 0 || f->deltaMs < lo[col])
                lo[col] = f->deltaMs;
            hi[col] = std::max(hi[col], f->deltaMs);
        }
        auto y = [&](double ms) { return top + plotH - plotH * ms / yTop; };
        // Through each column's longest frame, then its shortest, column after column.
        std::string d;
        for (int c = 0; c < plotW; ++c) {
            if (lo[(size_t)c] < 0)
                continue;
            const std::string x = std::to_string(PAD_L + c) + ".5 ";
            d += (d.empty() ? "M" : "L") + x + _num(y(hi[(size_t)c]));
            if (lo[(size_t)c] != hi[(size_t)c])
                d += "L" + x + _num(y(lo[(size_t)c]));
        }
        out += "<path class=\"ft\" stroke=\"" + std::string(_color(r)) + "\" d=\"" + d + "\"/>\n";
    }
    out += "</svg>\n";
    return out;
}

// Frame time at each percentile of each set's pooled frames: the flat part is the usual frame,
// the rise at the right the slow ones.
std::string _percentileCurve(int aTest, const std::vector<_resultsRun> &aRuns)
{
    const int top = 8, plotH = 150, h = top + plotH + 26;
    const int plotW = W - PAD_L - PAD_R;
    std::vector<std::vector<double>> sorted;
    double maxMs = 0;
    for (const _resultsRun &run : aRuns) {
        sorted.emplace_back();
        for (const _resultsPass &pass : run.passes)
            for (const _statsFrame &f : pass.frames)
                if (f.test == aTest)
                    sorted.back().push_back(f.deltaMs);
        std::sort(sorted.back().begin(), sorted.back().end());
        if (!sorted.back().empty())
            maxMs = std::max(maxMs, sStatsPercentile(sorted.back().data(), (long)sorted.back().size(), 99.9));
    }
    const double yTop = _niceTop(maxMs * 1.05);
    std::string out = _svgOpen(h, std::string(sResultsTestName(aTest)) + " frame-time percentiles");
    out += _yAxis(top, plotH, yTop, "ms");
    static const double pctTbl[] = {0, 50, 90, 99, 99.9};
    // x: percentile on a scale that spreads the slow end, -log10(1 - p/100), up to 99.9.
    auto xOf = [&](double p) { return PAD_L + plotW * (-std::log10(std::max(1e-3, 1 - p / 100))) / 3.0; };
    for (double p : pctTbl)
        out += "<text class=\"ax\" x=\"" + _num(xOf(p)) + "\" y=\"" + std::to_string(h - 8) +
               "\" text-anchor=\"middle\">" + _num(p, p == 99.9 ? 1 : 0) + (p == 99.9 ? " %" : "") + "</text>\n";
    for (size_t r = 0; r < sorted.size(); ++r) {
        const std::vector<double> &v = sorted[r];
        if (v.empty())
            continue;
        std::string d;
        for (int k = 0; k <= 300; ++k) {
            const double p = 100.0 * (1 - std::pow(10.0, -3.0 * k / 300));
            const double ms = std::min(yTop, sStatsPercentile(v.data(), (long)v.size(), p));
            d += (k ? "L" : "M") + _num(xOf(p)) + " " + _num(top + plotH - plotH * ms / yTop);
        }
        out += "<path class=\"pc\" stroke=\"" + std::string(_color(r)) + "\" d=\"" + d + "\"/>\n";
    }
    out += "</svg>\n";
    return out;
}

const char *const _labelTbl[][2] = {
    {"Processor Type", "Processor"},     {"Processor Speed", "Speed"},  {"Total Memory", "Memory"},
    {"Display Adapter", "Display adapter"}, {"Free VRAM", "Free video memory"}, {"DirectX Version", "DirectX"},
};

const char *const _css =
    "body{font:14px/1.4 Verdana,Arial,sans-serif;margin:0 auto;padding:8px;max-width:980px;color:#222;background:#fff}"
    "h1{font-size:20px;margin:4px 0}h2{font-size:17px;margin:20px 0 4px;border-bottom:1px solid #999}"
    "h3{font-size:14px;margin:10px 0 2px}"
    "table{border-collapse:collapse;margin:4px 0;font-size:13px}td,th{border:1px solid #bbb;padding:2px 6px;"
    "text-align:left;vertical-align:top}td.n{text-align:right;white-space:nowrap}th{background:#eee}"
    ".wide{overflow-x:auto}.chart{width:100%;height:auto;max-width:720px;display:block;margin:2px 0}"
    ".grid{stroke:#ddd;stroke-width:1}.ax{font-size:11px;fill:#555}.lbl{font-size:12px;fill:#222}"
    ".val{font-size:12px;fill:#222}.ci{stroke:#000;stroke-width:1.5;fill:none}.dot{fill:#000;fill-opacity:.6}"
    ".ref{stroke:#000;stroke-dasharray:4 3;stroke-width:1.5}"
    ".ft{stroke-width:1.2;fill:none;stroke-linejoin:round}.pc{stroke-width:2;fill:none}.sw{display:inline-block;width:12px;height:12px;margin-right:4px}"
    ".dist{fill:none;stroke:#c00;stroke-width:1.5}.disturbed{color:#b00}"
    ".real{font-weight:bold;color:#b00}tr.differ td{font-weight:bold;background:#fff4d6}.note{font-size:12px;color:#555}";

} // namespace

std::string sResultsReportHtml(const std::vector<_resultsRun> &aRuns, const std::string &aMadeBy)
{
    std::vector<_resultsSum> sums(aRuns.size());
    for (size_t r = 0; r < aRuns.size(); ++r)
        sResultsSummarise(aRuns[r], &sums[r]);
    const _family family = _decide(sums);
    const _common common = _commonIndex(sums);
    std::string out = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n"
                      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                      "<title>Kestrel results</title>\n<style>";
    out += _css;
    out += "</style></head><body>\n<h1>Kestrel results</h1>\n<p class=\"note\">" + sResultsHtml(aMadeBy) +
           ". Scores are means over each set's runs with their 95 % interval (Student's t; a set repeated until "
           "stable takes its spread from its first " + std::to_string((int)STATS_STAGE_RUNS) + " runs).";
    if (aRuns.size() > 1)
        out += " Each later set's difference from set [1] comes with Welch's p adjusted over all " +
               std::to_string(family.tested) + " differences of this comparison (Benjamini-Hochberg, false-discovery "
               "rate " + std::to_string((int)STATS_FDR_PERCENT) + " %: of the differences marked real, about 1 in 20 "
               "may be chance); <span class=\"real\">*</span> marks a real one (adjusted p &lt; 0.05): " +
               std::to_string(family.real) + " of " + std::to_string(family.tested) + ". <b>?</b> marks one that cannot "
               "be told with fewer than two runs on a side; <b>#</b> one where neither set varies, so there is no noise "
               "to judge by: the difference is what these runs gave, and whether it is real or chance cannot be told. "
               "A set whose runs do not vary is taken to be "
               "as noisy as the set it is compared with.";
    out += "</p>\n";

    // Machines and options side by side, after the scores; a row whose sets differ is marked.
    std::string machines = "<h2>Machines and options</h2>\n<div class=\"wide\"><table><tr><th></th>";
    for (size_t r = 0; r < aRuns.size(); ++r)
        machines += "<th><span class=\"sw\" style=\"background:" + std::string(_color(r)) + "\"></span>[" +
                    std::to_string(r + 1) + "] " + sResultsHtml(aRuns[r].label) + "</th>";
    machines += "</tr>\n";
    auto row = [&](const std::string &aHead, auto aCell) {
        std::vector<std::string> cells;
        for (const _resultsRun &run : aRuns)
            cells.push_back(aCell(run));
        const bool differ = std::find_if(cells.begin(), cells.end(),
                                         [&](const std::string &aC) { return aC != cells[0]; }) != cells.end();
        machines += std::string(differ ? "<tr class=\"differ\">" : "<tr>") + "<th>" + sResultsHtml(aHead) + "</th>";
        for (const std::string &c : cells)
            machines += "<td>" + sResultsHtml(c) + "</td>";
        machines += "</tr>\n";
    };
    auto field = [](const _resultsRun &aR, bool aSystem, const std::string &aLabel) {
        return aR.passes.empty() ? std::string()
                                 : sStatsField(aSystem ? aR.passes[0].results.system : aR.passes[0].results.options,
                                               aLabel.c_str());
    };
    row("Source", [](const _resultsRun &aR) { return aR.source; });
    row("Runs", [](const _resultsRun &aR) { return std::to_string(aR.passes.size()); });
    row("Runner options", [](const _resultsRun &aR) { return aR.args.empty() ? std::string("-") : aR.args; });
    row("Wine", [](const _resultsRun &aR) { return aR.wine.empty() ? std::string("-") : aR.wine; });
    row("Wine Direct3D settings", [](const _resultsRun &aR) {
        return aR.direct3d.empty() ? std::string(aR.wine.empty() ? "-" : "none set") : aR.direct3d;
    });
    for (const auto &l : _labelTbl)
        row(l[1], [&](const _resultsRun &aR) { return field(aR, true, l[0]); });
    // The tests ticked, in one row; every other option label any set has, in the first set's order.
    const std::string testGroup = "Benchmark Tests/";
    row("Benchmark tests", [&](const _resultsRun &aR) {
        std::string ticked;
        for (int i = 0; i < RESULTS_TEST_NUM; ++i)
            if (field(aR, false, testGroup + sResultsTestName(i)) == "Yes")
                ticked += (ticked.empty() ? "" : ", ") + std::string(sResultsTestName(i));
        return ticked.empty() ? std::string("-") : ticked;
    });
    std::vector<std::string> labels;
    for (const _resultsRun &run : aRuns)
        if (!run.passes.empty())
            for (const _statsField &f : run.passes[0].results.options) {
                bool isTest = false;
                for (int i = 0; i < RESULTS_TEST_NUM; ++i)
                    isTest |= f.label == testGroup + sResultsTestName(i);
                if (!isTest && std::find(labels.begin(), labels.end(), f.label) == labels.end())
                    labels.push_back(f.label);
            }
    for (const std::string &l : labels)
        row(l, [&](const _resultsRun &aR) { return field(aR, false, l); });
    machines += "</table></div>\n";

    // The summary table.
    out += "<h2>Scores</h2>\n<div class=\"wide\"><table><tr><th>Test</th><th>Reference</th>";
    for (size_t r = 0; r < aRuns.size(); ++r)
        out += "<th>[" + std::to_string(r + 1) + "] mean &plusmn;95 %</th><th>CV</th><th>n</th>" +
               (r ? "<th>vs [1]</th><th>adj. p</th>" : std::string());
    out += "</tr>\n";
    for (int i = 0; i < RESULTS_TEST_NUM; ++i) {
        if (!_anyScored(sums, i))
            continue;
        out += "<tr><th>" + sResultsHtml(sResultsTestName(i)) + "</th><td class=\"n\">" +
               _num(sResultsRefScore(i), 0) + "</td>";
        for (size_t r = 0; r < aRuns.size(); ++r) {
            const _resultsTestSum &t = sums[r].test[i];
            out += "<td class=\"n\">" + _htmlCi(t.score, t.scoresB) + "</td><td class=\"n\">" +
                   (t.scoresB && t.score.n > 1 ? _num(t.score.cv * 100) + " %" : "-") + "</td><td class=\"n\">" +
                   std::to_string(t.scoresB ? t.score.n : 0) +
                   (t.disturbedOnlyB ? std::string(" <span class=\"disturbed\">all disturbed</span>")
                    : _disturbedCnt(t) ? " <span class=\"disturbed\">+" + std::to_string(_disturbedCnt(t)) +
                                             " disturbed</span>"
                                       : std::string()) +
                   "</td>";
            if (r) {
                const _statsDiff &d = family.diff[r][(size_t)i];
                out += "<td class=\"n\">" +
                       (d.mark != '-' ? _format("%+.1f %%", d.pct) +
                                            (d.mark == '*' ? " <span class=\"real\">*</span>"
                                                           : d.mark == ' ' ? std::string() : std::string(" ") + d.mark)
                                      : std::string("-")) +
                       "</td><td class=\"n\">" + _pText(d.pAdj) + "</td>";
            }
        }
        out += "</tr>\n";
    }
    out += "<tr><th>Overall Score</th><td class=\"n\">" + _num(sResultsRefScore(RESULTS_TEST_NUM), 1) + "</td>";
    for (size_t r = 0; r < aRuns.size(); ++r)
        out += "<td class=\"n\">" + _htmlCi(sums[r].overall, sums[r].overallB) +
               "</td><td></td><td></td>" + (r ? "<td></td><td></td>" : "");
    out += "</tr>\n<tr><th>Kestrel Index (" + std::to_string(common.count) + " test" +
           (common.count == 1 ? "" : "s") + ")</th><td class=\"n\">100</td>";
    for (size_t r = 0; r < aRuns.size(); ++r)
        out += "<td class=\"n\">" + (common.index[r] > 0 ? _num(common.index[r]) : std::string("n/a")) +
               "</td><td></td><td></td>" + (r ? "<td></td><td></td>" : "");
    const std::string dist = _disturbedNote(aRuns, sums, "<br>");
    out += "</tr></table></div>\n" +
           (dist.empty() ? std::string() : "<p class=\"note disturbed\">" + dist.substr(4) + "</p>\n") +
           "<p class=\"note\">Kestrel Index over " + std::to_string(common.count) + " test" +
           (common.count == 1 ? "" : "s") + (aRuns.size() > 1 ? ", those every set ran" : ", those the set ran") +
           (common.leftOut.empty() ? std::string() : "; left out: " + sResultsHtml(common.leftOut)) + ".";
    for (size_t r = 0; r < sums.size(); ++r)
        if (!(common.index[r] > 0))
            out += " Set [" + std::to_string(r + 1) + "] has none: " + sResultsHtml(common.why[r]) + ".";
    out += "</p>\n<p class=\"note\">The Overall Score is the program's own (the mean of all ten "
           "tests' scores, so the fastest tests weigh most). The Kestrel Index is Kestrel's own measure beside it: "
           "100 &times; the geometric mean of each test's score over the reference system's, so the reference "
           "reads 100 and no single test dominates.</p>\n";
    out += machines;

    // Per test: bars, frame-time line, percentile curve, lows.
    for (int i = 0; i < RESULTS_TEST_NUM; ++i) {
        bool scores = false, frames = false;
        for (const _resultsSum &s : sums)
            scores |= s.test[i].scoresB != 0, frames |= s.test[i].framesB != 0;
        if (!scores && !frames)
            continue;
        out += "<h2 id=\"test" + std::to_string(i) + "\">" + sResultsHtml(sResultsTestName(i)) + "</h2>\n";
        if (scores)
            out += _barChart(i, aRuns, sums);
        if (!frames)
            continue;
        out += "<h3>Frame times (first run of each set; every slow frame shows)</h3>\n" + _frameLine(i, aRuns);
        out += "<h3>Frame-time percentiles (all runs)</h3>\n" + _percentileCurve(i, aRuns);
        out += "<table><tr><th>Set</th><th>Frames</th><th>Presented fps</th><th>1 % low fps</th><th>0.1 % low fps</th>"
               "<th>99th percentile</th><th>Longest</th><th>Stutters</th><th>Loop rate</th></tr>\n";
        for (size_t r = 0; r < aRuns.size(); ++r) {
            const _resultsTestSum &t = sums[r].test[i];
            if (!t.framesB)
                continue;
            out += "<tr><th><span class=\"sw\" style=\"background:" + std::string(_color(r)) + "\"></span>[" +
                   std::to_string(r + 1) + "]</th><td class=\"n\">" + std::to_string(t.frames.frameCnt) +
                   "</td><td class=\"n\">" + _num(t.frames.fpsAve) + "</td><td class=\"n\">" +
                   _num(t.frames.low1Fps) + "</td><td class=\"n\">" + _num(t.frames.low01Fps) +
                   "</td><td class=\"n\">" + _num(t.frames.p99Ms, 2) + " ms</td><td class=\"n\">" +
                   _num(t.frames.maxMs, 2) + " ms</td><td class=\"n\">" + std::to_string(t.frames.stutterCnt) +
                   "</td><td class=\"n\">" + (t.scoresB ? _num(t.loopRate) + " /s" : std::string("-")) + "</td></tr>\n";
        }
        out += "</table>\n";
    }
    out += "<p class=\"note\">Presented fps: frames shown per second, from the frame-time record. Loop rate: passes "
           "through the frame loop per second, what the results file calls FPS Average and the score counts; a pass "
           "that shows no new frame counts there but not in the presented fps. Lows: the frame rate of the slowest 1 % "
           "(0.1 %) of presented frames, 1000 / their mean frame time, at least one frame. Stutters: frames longer "
           "than twice the median frame time.</p>\n"
           "</body></html>\n";
    return out;
}
