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

// Welch's unequal-variance t test of two sets' means.
enum { STATS_DIFFER_ALPHA_PERCENT = 5 };
struct _statsWelch {
    double t;      // (mean A - mean B) / standard error
    double df;     // Welch-Satterthwaite
    double p;      // two-sided
    int differB;   // p < 0.05
};
// 0, or -1 when a set has fewer than two runs (no noise to compare against).
long sStatsWelch(const _statsSet &aA, const _statsSet &aB, _statsWelch *aOutP);

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
// over the tests with a score (> 0), so the reference system reads 100 and a test twice as fast
// moves it by the same factor whatever the test. 0 when no test has a score.
double sStatsIndex(const double *aScoreP, const double *aRefP, long aCnt);

#endif
