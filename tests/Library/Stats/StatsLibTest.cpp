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
        int differ;
    } caseTbl[] = {
        // Noisy Your Fighter against a steadier set: 10 % apart, yet not a real difference.
        {{1989, 2596, 2328}, {2500, 2610, 2555, 2590}, -1.4633942192699905, 2.0755299890303753, 0.2766095028566283, 0},
        // 2D Graphics on two machines: a real one.
        {{71586, 77328, 74010}, {60000, 61200, 59800}, 8.121431513548659, 2.2746900536501355, 0.010023215164311474, 1},
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
        EXPECT_EQ(w.differB, c.differ);
    }
    // One run has no noise to compare against; two noiseless sets differ exactly when their means do.
    const double one[] = {5}, same[] = {5, 5}, other[] = {6, 6};
    _statsSet s1, s2, s3;
    sStatsSummary(one, 1, &s1), sStatsSummary(same, 2, &s2), sStatsSummary(other, 2, &s3);
    _statsWelch w;
    EXPECT_EQ(sStatsWelch(s1, s2, &w), -1);
    ASSERT_EQ(sStatsWelch(s2, s2, &w), 0);
    EXPECT_EQ(w.differB, 0);
    ASSERT_EQ(sStatsWelch(s2, s3, &w), 0);
    EXPECT_EQ(w.differB, 1);
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

TEST(StatsIndex, GeometricMeanOverScoredTests)
{
    // scipy.stats.gmean([2.0, 0.5, 4.0]) = 1.5874010519681994; unscored tests are left out.
    const double score[] = {200, 50, 0, 400}, ref[] = {100, 100, 100, 100};
    EXPECT_NEAR(sStatsIndex(score, ref, 4), 158.74010519681994, 1e-9);
    // No single test dominates: a test 40 times its reference moves the index as any other would.
    const double one[] = {4000, 100}, two[] = {100, 4000};
    EXPECT_NEAR(sStatsIndex(one, ref, 2), sStatsIndex(two, ref, 2), 1e-9);
    const double none[] = {0, 0};
    EXPECT_EQ(sStatsIndex(none, ref, 2), 0);
}
