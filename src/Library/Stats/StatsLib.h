#ifndef KESTREL_LIBRARY_STATS_STATSLIB_H
#define KESTREL_LIBRARY_STATS_STATSLIB_H

// What repeated runs and frame-time records say once the noise is taken into account: each
// test's spread over its runs with a 95 % interval, the frame-time lows and stutters, whether two
// sets of runs differ beyond their noise, and Kestrel's own composite index. No platform call;
// the runner and the results store share it.

#include <cstddef>

// ---- Runs of one test ---------------------------------------------------------------------

struct _statsSet {
    long n;               // runs
    double mean, median, min, max;
    double sd;            // sample standard deviation (n - 1); 0 for one run
    double cv;            // sd / mean, a fraction; 0 for one run or a zero mean
    double ciHalf;        // half width of the 95 % interval of the mean; 0 for one run
    double ciLow, ciHigh; // mean -+ ciHalf
};

// Summary of aCnt values: 0, or -1 when there are none or one is not finite.
long sStatsSummary(const double *aValP, long aCnt, _statsSet *aSetP);

// Student's t at 0.975 (two-sided 95 %) for aDf degrees of freedom (at least 1): the table for
// 1..30, the distribution itself beyond.
double sStatsT975(long aDf);
// Two-sided p of Student's t with aDf (real, > 0) degrees of freedom: P(|T| >= |aT|).
double sStatsTwoSidedP(double aT, double aDf);

// Welch's unequal-variance t test of two sets' means. A set whose runs do not vary at all
// (integer scores that repeat) has measured no noise, not shown that it has none: it is taken to
// be as noisy as the other set. When neither varies there is no noise to judge by.
struct _statsWelch {
    double t;      // (mean A - mean B) / standard error
    double df;     // Welch-Satterthwaite; the varying set's runs - 1 when only one varies
    double p;      // two-sided; 1 when neither set varies
    int spreadB;   // 0: neither set varies, so p tells nothing
};
// 0, or -1 when a set has fewer than two runs (no noise to compare against).
long sStatsWelch(const _statsSet &aA, const _statsSet &aB, _statsWelch *aOutP);

// Benjamini-Hochberg adjusted p of aCnt p values: a difference is called real when its adjusted
// p is below the false-discovery rate. A negative p is no test: left out of the count, and its
// adjusted p is negative too.
void sStatsAdjustBh(const double *aPP, long aCnt, double *aAdjP);

// ---- Comparisons --------------------------------------------------------------------------

// The false-discovery rate every comparison holds over all its differences: of the differences
// it calls real, this share at most is expected to be chance.
enum { STATS_FDR_PERCENT = 5 };

struct _statsDiff {
    double pct;   // (B - A) / A in per cent; 0 with mark '-'
    double p;     // Welch's two-sided p; -1 when not tested
    double pAdj;  // adjusted over the family (Benjamini-Hochberg); -1 when not tested
    char mark;    // '*' real, ' ' within the noise, '?' fewer than two runs on a side,
                  // '#' neither set varies, '-' a set has no score (or A's mean is 0)
};
// Every pair aAP[i] against aBP[i] as one family: each difference, its p, its adjusted p and its
// mark, with the false-discovery rate over the family held at STATS_FDR_PERCENT.
void sStatsCompare(const _statsSet *aAP, const _statsSet *aBP, long aCnt, _statsDiff *aOutP);

// ---- Repeating until stable ---------------------------------------------------------------

// A set repeated until stable is made in two stages: STATS_STAGE_RUNS runs, whose spread sets how
// many runs in all the set needs for its mean's 95 % interval to be within the target; then the
// rest. The interval of the whole set takes its spread from the first stage only (Student's t
// with STATS_STAGE_RUNS - 1 degrees of freedom over the mean of all runs), so choosing the count
// from the data costs it no coverage.
enum { STATS_STAGE_RUNS = 5 };
// Runs in all for the mean's interval to be at most +-aPct % of the mean, judged from the first
// stage aFirst: at least aFirst.n; STATS_STAGE_MAX when the mean is not positive.
enum { STATS_STAGE_MAX = 1000000 };
long sStatsStageRuns(const _statsSet &aFirst, double aPct);
// Summary of aCnt values of which the first aFirstCnt were the first stage: as sStatsSummary, the
// interval from the first stage's spread. With fewer values than the first stage, or aFirstCnt
// below 2, the plain summary.
long sStatsSummaryStaged(const double *aValP, long aCnt, long aFirstCnt, _statsSet *aSetP);

// ---- Frame times of one test --------------------------------------------------------------

// Lows: 1000 / mean of the slowest 1 % (0.1 %) of frame times, at least one frame, so the rate
// those frames ran at. Percentile by nearest rank. A stutter is a frame longer than twice the
// median frame time.
struct _statsFrames {
    long frameCnt;
    double aveMs, medianMs, maxMs;
    double fpsAve;                 // frames / total time
    double low1Fps, low01Fps;
    double p99Ms;
    long stutterCnt;
};
// 0, or -1 with no frames or a frame time that is not finite or negative.
long sStatsFrames(const double *aDeltaMsP, long aCnt, _statsFrames *aOutP);

// Frame time at percentile aPct (0..100) by nearest rank of the sorted times aSortedP.
double sStatsPercentile(const double *aSortedP, long aCnt, double aPct);

// ---- Composite ----------------------------------------------------------------------------

// Kestrel's own index beside the overall score: 100 x the geometric mean of score / reference
// over the aCnt tests given, so the reference system reads 100 and a test twice as fast moves it
// by the same factor whatever the test. 0 (no index) when any score or reference is not positive:
// leaving a test out would raise the index of the set that lacks it.
double sStatsIndex(const double *aScoreP, const double *aRefP, long aCnt);

#endif
