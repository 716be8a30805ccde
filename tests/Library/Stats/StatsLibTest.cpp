// Reference figures from scipy 1.10.1 (Debian 12's python3-scipy), computed with
//   scipy.stats.t.ppf, scipy.stats.t.sf, scipy.stats.ttest_ind(equal_var=False), scipy.stats.gmean
// and numpy's std(ddof=1); the frame figures are worked by hand beside each case.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "Library/Stats/StatsLib.h"

TEST(StatsSummary, ThreeRunsMatchScipy)
{
    // Your Fighter's three runs from the issue: 1989, 2596, 2328.
    const double runs[] = {2596, 1989, 2328};
    _statsSet s;
    ASSERT_EQ(sStatsSummary(runs, 3, &s), 0);
    EXPECT_EQ(s.n, 3);
    EXPECT_NEAR(s.mean, 2304.3333333333335, 1e-9);
    EXPECT_EQ(s.median, 2328);
    EXPECT_EQ(s.min, 1989);
    EXPECT_EQ(s.max, 2596);
    EXPECT_NEAR(s.sd, 304.19127754314934, 1e-9);
    EXPECT_NEAR(s.cv, 304.19127754314934 / 2304.3333333333335, 1e-12);
    // scipy.stats.t.interval(0.95, 2, loc=mean, scale=sem)
    EXPECT_NEAR(s.ciLow, 1548.6803091744664, 1e-3);
    EXPECT_NEAR(s.ciHigh, 3059.9863574922006, 1e-3);
}

TEST(StatsSummary, EdgeCases)
{
    const struct {
        std::vector<double> v;
        long result;
        double median, sd, ciHalf;
    } caseTbl[] = {
        {{5}, 0, 5, 0, 0},                  // one run: no spread, no interval
        {{1, 2, 3, 4}, 0, 2.5, 1.2909944487358056, 2.0543},  // even count: middle pair's mean
        {{7, 7, 7}, 0, 7, 0, 0},
        {{}, -1, 0, 0, 0},
        {{1, NAN}, -1, 0, 0, 0},
        {{1, INFINITY}, -1, 0, 0, 0},
    };
    for (const auto &c : caseTbl) {
        _statsSet s = {};
        ASSERT_EQ(sStatsSummary(c.v.data(), (long)c.v.size(), &s), c.result);
        if (c.result)
            continue;
        EXPECT_EQ(s.median, c.median);
        EXPECT_NEAR(s.sd, c.sd, 1e-12);
        // 1,2,3,4: t(0.975, 3) = 3.182446 x 1.2909944 / 2
        EXPECT_NEAR(s.ciHalf, c.ciHalf, 1e-4);
    }
}

TEST(StatsT, QuantilesAndTailsMatchScipy)
{
    // Beyond the table the quantile comes from the distribution: scipy.stats.t.ppf(0.975, df).
    EXPECT_NEAR(sStatsT975(1), 12.706205, 1e-6);
    EXPECT_NEAR(sStatsT975(30), 2.042272, 1e-6);
    EXPECT_NEAR(sStatsT975(40), 2.0210753829953374, 1e-6);
    EXPECT_NEAR(sStatsT975(100), 1.9839715184496334, 1e-6);
    EXPECT_NEAR(sStatsT975(1000), 1.9623390808264074, 1e-6);
    // The table and the distribution agree where both exist: the tail at each tabled t is 0.05.
    for (long df = 1; df <= 30; ++df)
        EXPECT_NEAR(sStatsTwoSidedP(sStatsT975(df), (double)df), 0.05, 2e-7) << df;
    // 2 * scipy.stats.t.sf(|t|, df), real degrees of freedom as Welch's test gives them.
    const struct { double t, df, p; } pTbl[] = {
        {2.0, 3.5, 0.1261385225759135},   {0.5, 1, 0.7048327646991336},   {-10, 2.2, 0.007104463710258443},
        {1.96, 1000, 0.05027318495574871}, {3.0, 7.0, 0.019942126131992522}, {0, 5, 1.0},
    };
    for (const auto &c : pTbl)
        EXPECT_NEAR(sStatsTwoSidedP(c.t, c.df), c.p, 1e-9) << c.t << " " << c.df;
}

TEST(StatsWelch, DecidesLikeScipy)
{
    const struct {
        std::vector<double> a, b;
        double t, df, p;
    } caseTbl[] = {
        // Noisy Your Fighter against a steadier set: 10 % apart, yet not a real difference.
        {{1989, 2596, 2328}, {2500, 2610, 2555, 2590}, -1.4633942192699905, 2.0755299890303753, 0.2766095028566283},
        // 2D Graphics on two machines: a real one.
        {{71586, 77328, 74010}, {60000, 61200, 59800}, 8.121431513548659, 2.2746900536501355, 0.010023215164311474},
        // A set that repeats one score borrows the other's variance: Student's t with the noisy
        // set's 3 degrees of freedom, t = -50 / (sd x sqrt(1/3 + 1/4)), p from t's closed form
        // at 3 degrees of freedom (1/2 + (x / (1 + x^2) + atan x) / pi at x = t / sqrt 3).
        {{1000, 1000, 1000}, {1030, 1060, 1040, 1070}, -3.5856858280031814, 3, 0.03713640630094028},
    };
    for (const auto &c : caseTbl) {
        _statsSet a, b;
        ASSERT_EQ(sStatsSummary(c.a.data(), (long)c.a.size(), &a), 0);
        ASSERT_EQ(sStatsSummary(c.b.data(), (long)c.b.size(), &b), 0);
        _statsWelch w;
        ASSERT_EQ(sStatsWelch(a, b, &w), 0);
        EXPECT_NEAR(w.t, c.t, 1e-9);
        EXPECT_NEAR(w.df, c.df, 1e-9);
        EXPECT_NEAR(w.p, c.p, 1e-9);
        EXPECT_EQ(w.spreadB, 1);
    }
    // One run has no noise to compare against; two sets that do not vary give no p at all.
    const double one[] = {5}, same[] = {5, 5}, other[] = {6, 6};
    _statsSet s1, s2, s3;
    sStatsSummary(one, 1, &s1), sStatsSummary(same, 2, &s2), sStatsSummary(other, 2, &s3);
    _statsWelch w;
    EXPECT_EQ(sStatsWelch(s1, s2, &w), -1);
    ASSERT_EQ(sStatsWelch(s2, s3, &w), 0);
    EXPECT_EQ(w.spreadB, 0);
    EXPECT_EQ(w.p, 1);
}

TEST(StatsCompare, AdjustsOverTheFamilyAndMarks)
{
    // Five tested (-1 is no test). By rank: 0.001 x 5, 0.01 x 5/2, then 0.03 x 5/3 and 0.04 x 5/4
    // both 0.05 (the step up keeps the smaller of a rank's and the next's), 0.2 x 5/5.
    const double p[] = {0.01, 0.04, -1, 0.03, 0.2, 0.001};
    const double adj[] = {0.025, 0.05, -1, 0.05, 0.2, 0.005};
    double out[6];
    sStatsAdjustBh(p, 6, out);
    for (int i = 0; i < 6; ++i)
        EXPECT_NEAR(out[i], adj[i], 1e-12) << i;

    // Every mark: real, within the noise, too few runs, no spread on either side, a set missing.
    const std::vector<double> base = {100, 101, 99, 100.5, 99.5}, far = {120, 121, 119, 120.5, 119.5},
                              near = {100.2, 101.1, 99.4, 100.4, 99.6}, flat = {100, 100, 100},
                              flat2 = {103, 103, 103}, lone = {100};
    const struct {
        const std::vector<double> *a, *b;
        char mark;
    } caseTbl[] = {{&base, &far, '*'}, {&base, &near, ' '}, {&base, &lone, '?'}, {&flat, &flat2, '#'},
                   {&base, nullptr, '-'}};
    const long n = sizeof caseTbl / sizeof caseTbl[0];
    _statsSet a[n] = {}, b[n] = {};
    for (long i = 0; i < n; ++i) {
        sStatsSummary(caseTbl[i].a->data(), (long)caseTbl[i].a->size(), &a[i]);
        if (caseTbl[i].b)
            sStatsSummary(caseTbl[i].b->data(), (long)caseTbl[i].b->size(), &b[i]);
    }
    _statsDiff d[n];
    sStatsCompare(a, b, n, d);
    for (long i = 0; i < n; ++i)
        EXPECT_EQ(d[i].mark, caseTbl[i].mark) << i;
    EXPECT_NEAR(d[3].pct, 3.0, 1e-12);
    EXPECT_EQ(d[3].pAdj, -1);
    // Two tested differences: the real one's p is doubled (rank 1 of 2).
    _statsWelch w;
    sStatsWelch(a[0], b[0], &w);
    EXPECT_NEAR(d[0].pAdj, 2 * w.p, 1e-15);
}

TEST(StatsStage, RunsForTheTargetAndTheFirstStagesInterval)
{
    // CV 5 % over the first five: (2.776445 x 5 / 3)^2 = 21.4 -> 22 runs for +-3 %; a steady
    // set needs no more than its first stage.
    const double first[] = {950, 1000, 1050, 1000, 1000};
    _statsSet s;
    ASSERT_EQ(sStatsSummary(first, 5, &s), 0);
    const double root = 2.776445 * s.sd / 30.0;
    EXPECT_EQ(sStatsStageRuns(s, 3), (long)std::ceil(root * root));
    EXPECT_EQ(sStatsStageRuns(s, 50), 5);
    _statsSet zero = s;
    zero.mean = 0;
    EXPECT_EQ(sStatsStageRuns(zero, 3), STATS_STAGE_MAX);
    // Eight runs of which five were the first stage: the mean of all eight, t(4) x the first
    // five's sd / sqrt(8).
    const double all[] = {950, 1000, 1050, 1000, 1000, 1200, 800, 1000};
    _statsSet staged, plain;
    ASSERT_EQ(sStatsSummaryStaged(all, 8, 5, &staged), 0);
    ASSERT_EQ(sStatsSummary(all, 8, &plain), 0);
    EXPECT_EQ(staged.mean, plain.mean);
    EXPECT_EQ(staged.sd, plain.sd);
    EXPECT_NEAR(staged.ciHalf, 2.776445 * s.sd / std::sqrt(8.0), 1e-4);
    // Fewer runs than the first stage: the plain interval.
    ASSERT_EQ(sStatsSummaryStaged(all, 3, 5, &staged), 0);
    ASSERT_EQ(sStatsSummary(all, 3, &plain), 0);
    EXPECT_EQ(staged.ciHalf, plain.ciHalf);
}

TEST(StatsFrames, LowsPercentileAndStutters)
{
    // 1000 frames: 990 of 10 ms, 9 of 30 ms, one of 100 ms.
    std::vector<double> t(990, 10.0);
    t.insert(t.begin() + 500, 9, 30.0);
    t.push_back(100.0);
    _statsFrames f;
    ASSERT_EQ(sStatsFrames(t.data(), (long)t.size(), &f), 0);
    EXPECT_EQ(f.frameCnt, 1000);
    EXPECT_NEAR(f.aveMs, (9900 + 270 + 100) / 1000.0, 1e-12);
    EXPECT_NEAR(f.fpsAve, 1000.0 * 1000 / 10270, 1e-9);
    EXPECT_EQ(f.medianMs, 10);
    EXPECT_EQ(f.maxMs, 100);
    // The slowest 1 % (10 frames): 100 + 9 x 30 = 370 ms -> 1000 x 10 / 370.
    EXPECT_NEAR(f.low1Fps, 10000.0 / 370, 1e-9);
    // The slowest 0.1 % is the one 100 ms frame.
    EXPECT_NEAR(f.low01Fps, 10.0, 1e-12);
    // Nearest rank 990 of 1000 is the last 10 ms frame.
    EXPECT_EQ(f.p99Ms, 10);
    EXPECT_EQ(f.stutterCnt, 10);
    // Fewer than 100 frames still take the slowest one.
    const double few[] = {10, 20, 40, 50};
    ASSERT_EQ(sStatsFrames(few, 4, &f), 0);
    EXPECT_NEAR(f.low1Fps, 20.0, 1e-12);
    EXPECT_EQ(f.stutterCnt, 0);
    // Exactly twice the median is no stutter; longer is.
    const double spike[] = {10, 10, 10, 20, 21};
    ASSERT_EQ(sStatsFrames(spike, 5, &f), 0);
    EXPECT_EQ(f.stutterCnt, 1);
    const double bad[] = {10, -1};
    EXPECT_EQ(sStatsFrames(bad, 2, &f), -1);
    EXPECT_EQ(sStatsFrames(bad, 0, &f), -1);
}

TEST(StatsIndex, GeometricMeanOrNone)
{
    // scipy.stats.gmean([2.0, 0.5, 4.0]) = 1.5874010519681994.
    const double score[] = {200, 50, 400}, ref[] = {100, 100, 100, 100};
    EXPECT_NEAR(sStatsIndex(score, ref, 3), 158.74010519681994, 1e-9);
    // No single test dominates: a test 40 times its reference moves the index as any other would.
    const double one[] = {4000, 100}, two[] = {100, 4000};
    EXPECT_NEAR(sStatsIndex(one, ref, 2), sStatsIndex(two, ref, 2), 1e-9);
    // A test that scored 0 gives no index, rather than a higher one without it.
    const double zero[] = {200, 50, 0, 400}, none[] = {0, 0};
    EXPECT_EQ(sStatsIndex(zero, ref, 4), 0);
    EXPECT_EQ(sStatsIndex(none, ref, 2), 0);
    EXPECT_EQ(sStatsIndex(score, ref, 0), 0);
}
