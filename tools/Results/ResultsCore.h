#ifndef KESTREL_TOOLS_RESULTS_RESULTSCORE_H
#define KESTREL_TOOLS_RESULTS_RESULTSCORE_H

// Sets of repeated benchmark runs as the runner makes them and the results store keeps them:
// each test's spread and frame times, the comparison of sets, and the report page. Portable: the
// runner builds it on Windows, kestrel-results natively.

#include <string>
#include <vector>

#include "Library/Stats/StatsFile.h"
#include "Library/Stats/StatsLib.h"

enum { RESULTS_TEST_NUM = 10 };

// A test is disturbed when other processes took more than this share of one core while it played:
// its score is shown, marked, and left out of the test's mean, interval and CV.
#define RESULTS_BUSY_LIMIT 0.25

// One pass of the benchmark: its results file and, when recorded, its frame times.
struct _resultsPass {
    _statsResults results;
    std::vector<_statsFrame> frames;
    double seconds;  // 0 when not known
    // Per test, the share of one core other processes took while it played; -1 not known.
    double busy[RESULTS_TEST_NUM] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
};

// A set of passes on one machine with one set of options: what a runner session or one imported
// file gives.
struct _resultsRun {
    long id;              // store id, 0 outside a store
    std::string label;    // what the page and table call it
    std::string source;   // the file it came from
    std::string args;     // the runner's options, when known
    std::string wine;     // Wine's version, when the runner ran under Wine and said so
    std::string direct3d; // Wine's Direct3D settings then ("name=value, ..."), empty: none set
    std::vector<_resultsPass> passes;
};

struct _resultsTestSum {
    int scoresB;              // at least one pass scored the test
    _statsSet score;          // over the passes that scored it undisturbed (all when none did)
    std::vector<double> values;
    std::vector<double> disturbedValues; // scores of disturbed passes
    int disturbedOnlyB;       // every score is disturbed: the set is made of them
    int framesB;
    _statsFrames frames;      // every pass's frames of the test, pooled
    int ranB;                 // a pass ticked or scored it
    long gapPass, zeroPass;   // first pass (from 1) that ran it without a score, that scored 0; 0 none
    double loopRate;          // mean over the scored passes of what the results file calls "FPS
                              // Average": passes through the frame loop per second, not frames shown
};

struct _resultsSum {
    _resultsTestSum test[RESULTS_TEST_NUM];
    unsigned ran;             // tests the set ran
    double index;             // Kestrel Index over the tests ran, 0 when it has none
    std::string indexWhy;     // why there is none
    int overallB;             // every pass has the overall score
    _statsSet overall;
    long stage;               // the set was repeated until stable: runs of its first stage; else 0
};

// A test's name and the reference system's score, in benchmark row order (the program's tables).
const char *sResultsTestName(int aTest);
double sResultsRefScore(int aTest);

// Reads a results file, a frame-time record or a runner's run record (with the files it names,
// found beside it) into a run. *aIdentityP receives the bytes that make the run what it is (the
// files' contents), for the store's content hash. 0, or -1 with "file:line: reason" in *aErrP.
int sResultsLoad(const std::string &aPath, _resultsRun *aRunP, std::string *aIdentityP, std::string *aErrP);

// The same from a text already read, named aName; a run record's files come from aFetch (by the
// name the record gives, "/" between folders): 0, or -1 with the reason.
// (A plain function and its context: the runner links no exception runtime.)
typedef int (*_resultsFetch)(void *aCtxP, const std::string &aName, std::string *aTextP, std::string *aErrP);
int sResultsRead(const std::string &aName, const std::string &aText, _resultsFetch aFetch, void *aCtxP,
                 _resultsRun *aRunP, std::string *aIdentityP, std::string *aErrP);

// Whether test aTest of a pass was disturbed (other processes above RESULTS_BUSY_LIMIT).
bool sResultsDisturbed(const _resultsPass &aPass, int aTest);

void sResultsSummarise(const _resultsRun &aRun, _resultsSum *aSumP);

// The first stage of a set made by repeating until stable (the runner's --until-stable):
// STATS_STAGE_RUNS, or 0 for a set of a fixed count.
long sResultsStage(const _resultsRun &aRun);

// Tests ticked or scored in any pass: what the edition and the options let the set run.
unsigned sResultsRan(const _resultsRun &aRun);

// The Kestrel Index of aSum over the tests aTests: 0 with the reason in *aWhyP when a test has no
// score in some pass or scored 0, or aTests is empty.
double sResultsIndex(const _resultsSum &aSum, unsigned aTests, std::string *aWhyP);

// Of aTests, those whose mean is not yet known to +-aPct % (95 % interval), or that have fewer
// than two scored passes: those a repeat-until-stable run has not settled.
unsigned sResultsUnsettled(const _resultsSum &aSum, unsigned aTests, double aPct);

// Runs in all a set repeated until stable needs, judged from its first STATS_STAGE_RUNS passes:
// the most any of aTests needs for +-aPct %; STATS_STAGE_MAX when a test lacks first-stage scores.
long sResultsStageRuns(const _resultsRun &aRun, unsigned aTests, double aPct);

// The comparison table: every test's mean and 95 % interval per set, its CV and runs, and each
// later set's difference from the first with its p adjusted over every difference of the
// comparison (Benjamini-Hochberg); marks as sStatsCompare gives them. The Kestrel Index over the
// tests every set ran, or n/a with the reason.
std::string sResultsCompareText(const std::vector<_resultsRun> &aRuns);

// The report: one self-contained HTML page (inline SVG and CSS, no script).
std::string sResultsReportHtml(const std::vector<_resultsRun> &aRuns, const std::string &aMadeBy);

// Text as UTF-8: bytes that are not as U+FFFD.
std::string sResultsUtf8(const std::string &aText);
// Text made safe for HTML: markup characters as entities, bytes that are not UTF-8 as U+FFFD.
std::string sResultsHtml(const std::string &aText);

#endif
