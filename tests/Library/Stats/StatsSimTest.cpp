// Whether the intervals and the comparison keep their word, on runs drawn from known
// distributions: normal, and skewed either way (a lognormal, and its mirror image, for runs that
// now and then fall short), at coefficients of variation of 2 to 15 %. Fixed seeds: the same
// draws every time. Prints the figures it checks.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "Library/Stats/StatsLib.h"

namespace {

enum class Shape { Normal, Right, Left };

struct Source {
    std::mt19937 rng;
    std::normal_distribution<double> z{0, 1};
    explicit Source(unsigned aSeed) : rng(aSeed) {}
    // One run of mean aMean and coefficient of variation aCv.
    double Draw(Shape aShape, double aMean, double aCv)
    {
        if (aShape == Shape::Normal)
            return aMean * (1 + aCv * z(rng));
        const double s2 = std::log(1 + aCv * aCv);
        const double v = aMean * std::exp(-s2 / 2 + std::sqrt(s2) * z(rng));
        return aShape == Shape::Right ? v : 2 * aMean - v;
    }
    std::vector<double> Runs(Shape aShape, double aMean, double aCv, long aN)
    {
        std::vector<double> v;
        for (long i = 0; i < aN; ++i)
            v.push_back(Draw(aShape, aMean, aCv));
        return v;
    }
};

const char *const kShapeName[] = {"normal", "right-skewed", "left-skewed"};

// A set repeated until stable as the runner makes it: the first stage, then as many runs as it
// asks for (at most aMax); its summary.
_statsSet Staged(Source &aSrc, Shape aShape, double aCv, double aPct, long aMax)
{
    std::vector<double> v = aSrc.Runs(aShape, 1000, aCv, STATS_STAGE_RUNS);
    _statsSet first, all;
    sStatsSummary(v.data(), STATS_STAGE_RUNS, &first);
    const long need = std::min(sStatsStageRuns(first, aPct), aMax);
    while ((long)v.size() < need)
        v.push_back(aSrc.Draw(aShape, 1000, aCv));
    sStatsSummaryStaged(v.data(), (long)v.size(), STATS_STAGE_RUNS, &all);
    return all;
}

} // namespace

// 95 % intervals hold 95 % of the time, within 2 %: of five runs, and of sets repeated until their
// mean is known to +-3 % (or +-5 %) or ten runs are done.
TEST(StatsSim, IntervalsCoverTheirNinetyFivePercent)
{
    const int trials = 4000;
    Source src(20261208);
    std::printf("%-13s %5s %9s %16s %16s\n", "shape", "CV", "5 runs", "until +-3 % (n)", "until +-5 % (n)");
    for (Shape shape : {Shape::Normal, Shape::Right, Shape::Left})
        for (double cv : {0.02, 0.05, 0.10, 0.15}) {
            int fixed = 0, staged3 = 0, staged5 = 0;
            double runs3 = 0, runs5 = 0;
            for (int t = 0; t < trials; ++t) {
                const std::vector<double> v = src.Runs(shape, 1000, cv, 5);
                _statsSet s;
                sStatsSummary(v.data(), 5, &s);
                fixed += s.ciLow <= 1000 && 1000 <= s.ciHigh;
                const _statsSet a = Staged(src, shape, cv, 3, 10), b = Staged(src, shape, cv, 5, 10);
                staged3 += a.ciLow <= 1000 && 1000 <= a.ciHigh;
                staged5 += b.ciLow <= 1000 && 1000 <= b.ciHigh;
                runs3 += a.n, runs5 += b.n;
            }
            const double c[3] = {100.0 * fixed / trials, 100.0 * staged3 / trials, 100.0 * staged5 / trials};
            std::printf("%-13s %4.0f%% %8.1f%% %10.1f%% (%3.1f) %10.1f%% (%3.1f)\n", kShapeName[(int)shape], cv * 100,
                        c[0], c[1], runs3 / trials, c[2], runs5 / trials);
            for (double cover : c)
                EXPECT_NEAR(cover, 95.0, 2.0) << kShapeName[(int)shape] << " CV " << cv;
        }
}

namespace {

// The share of comparisons of ten tests (aN runs a side, CV 5 %, set B aRatio x set A) with any
// difference marked real, and the share of all differences marked real.
void Compare(Source &aSrc, Shape aShape, long aN, double aRatio, int aTrials, double *aAnyP, double *aFoundP)
{
    enum { TESTS = 10 };
    long any = 0, found = 0;
    for (int t = 0; t < aTrials; ++t) {
        _statsSet a[TESTS], b[TESTS];
        for (int i = 0; i < TESTS; ++i) {
            const std::vector<double> va = aSrc.Runs(aShape, 1000, 0.05, aN), vb = aSrc.Runs(aShape, 1000 * aRatio, 0.05, aN);
            sStatsSummary(va.data(), aN, &a[i]);
            sStatsSummary(vb.data(), aN, &b[i]);
        }
        _statsDiff d[TESTS];
        sStatsCompare(a, b, TESTS, d);
        long real = 0;
        for (const _statsDiff &x : d)
            real += x.mark == '*';
        any += real > 0;
        found += real;
    }
    *aAnyP = 100.0 * any / aTrials;
    *aFoundP = 100.0 * found / (aTrials * (double)TESTS);
}

} // namespace

// Ten tests, CV 5 %: with no real difference at most 5 % of comparisons mark any (the
// false-discovery rate, with every difference null, is the chance of any mark); with every test
// 10 % apart at least 60 % of the differences are found with five runs a side.
TEST(StatsSim, ComparisonsHoldTheirFalseAlarmsAndFindTenPercent)
{
    const int trials = 10000;
    Source src(5);
    double any = 0, found = 0;
    Compare(src, Shape::Normal, 5, 1.0, trials, &any, &found);
    std::printf("no difference, 5 runs a side: %.2f %% of comparisons mark any\n", any);
    EXPECT_LE(any, 5.0);
    Compare(src, Shape::Normal, 5, 1.1, trials, &any, &found);
    std::printf("10 %% apart, 5 runs a side: %.1f %% of differences found\n", found);
    EXPECT_GE(found, 60.0);
    // The same on skewed runs, and with ten runs a side (the README's figures).
    for (Shape shape : {Shape::Right, Shape::Left}) {
        Compare(src, shape, 5, 1.0, trials / 4, &any, &found);
        std::printf("%s, no difference, 5 runs a side: %.2f %% mark any\n", kShapeName[(int)shape], any);
        EXPECT_LE(any, 6.0) << kShapeName[(int)shape];
    }
    Compare(src, Shape::Normal, 10, 1.0, trials / 4, &any, &found);
    std::printf("no difference, 10 runs a side: %.2f %% of comparisons mark any\n", any);
    EXPECT_LE(any, 6.0);
    Compare(src, Shape::Normal, 10, 1.1, trials / 4, &any, &found);
    std::printf("10 %% apart, 10 runs a side: %.1f %% of differences found\n", found);
    EXPECT_GE(found, 90.0);
}
