#include "Library/Stats/StatsLib.h"

#include <algorithm>
#include <cmath>
#include <vector>

// scipy.stats.t.ppf(0.975, df) for df 1..30 (scipy 1.10, Debian 12), rounded to 6 places; the
// printed tables agree to their 3.
static const double _t975Tbl[30] = {
    12.706205, 4.302653, 3.182446, 2.776445, 2.570582, 2.446912, 2.364624, 2.306004, 2.262157, 2.228139,
    2.200985,  2.178813, 2.160369, 2.144787, 2.131450, 2.119905, 2.109816, 2.100922, 2.093024, 2.085963,
    2.079614,  2.073873, 2.068658, 2.063899, 2.059539, 2.055529, 2.051831, 2.048407, 2.045230, 2.042272,
};

// The Windows runtime's exp and lgamma use instructions beyond the processor floor; these two
// keep to log and pow, which it has at the floor. Lanczos (g = 7, 9 terms), good to ~1e-15 for
// the arguments Student's t needs (df / 2 and 1/2, never below 1/2).
static double _exp(double aX)
{
    return std::pow(2.718281828459045, aX);
}

static double _lgamma(double aX)
{
    static const double coefTbl[9] = {0.99999999999980993,  676.5203681218851,     -1259.1392167224028,
                                      771.32342877765313,   -176.61502916214059,   12.507343278686905,
                                      -0.13857109526572012, 9.9843695780195716e-6, 1.5056327351493116e-7};
    const double x = aX - 1;
    double sum = coefTbl[0];
    for (int i = 1; i < 9; ++i)
        sum += coefTbl[i] / (x + i);
    const double t = x + 7.5;
    return 0.91893853320467274178 + (x + 0.5) * std::log(t) - t + std::log(sum);
}

static bool _finite(double aV)
{
    return std::isfinite(aV);
}

static double _median(std::vector<double> &aV)
{
    std::sort(aV.begin(), aV.end());
    const size_t n = aV.size();
    return n % 2 ? aV[n / 2] : (aV[n / 2 - 1] + aV[n / 2]) * 0.5;
}

long sStatsSummary(const double *aValP, long aCnt, _statsSet *aSetP)
{
    if (aCnt <= 0)
        return -1;
    std::vector<double> v(aValP, aValP + aCnt);
    double sum = 0;
    for (double x : v) {
        if (!_finite(x))
            return -1;
        sum += x;
    }
    _statsSet s = {};
    s.n = aCnt;
    s.mean = sum / aCnt;
    // Two passes: the squares of deviations, not of values, keep large scores exact.
    double ss = 0;
    for (double x : v)
        ss += (x - s.mean) * (x - s.mean);
    s.median = _median(v);
    s.min = v.front();
    s.max = v.back();
    if (aCnt > 1) {
        s.sd = std::sqrt(ss / (aCnt - 1));
        s.cv = s.mean != 0 ? s.sd / std::fabs(s.mean) : 0;
        s.ciHalf = sStatsT975(aCnt - 1) * s.sd / std::sqrt((double)aCnt);
    }
    s.ciLow = s.mean - s.ciHalf;
    s.ciHigh = s.mean + s.ciHalf;
    *aSetP = s;
    return 0;
}

// Continued fraction of the regularized incomplete beta function (modified Lentz).
static double _betaFraction(double aA, double aB, double aX)
{
    const double tiny = 1e-300;
    double c = 1, d = 1 - (aA + aB) * aX / (aA + 1);
    d = 1 / (std::fabs(d) < tiny ? tiny : d);
    double h = d;
    for (int m = 1; m <= 300; ++m) {
        const double m2 = 2.0 * m;
        double num = m * (aB - m) * aX / ((aA + m2 - 1) * (aA + m2));
        d = 1 + num * d;
        c = 1 + num / c;
        d = 1 / (std::fabs(d) < tiny ? tiny : d);
        c = std::fabs(c) < tiny ? tiny : c;
        h *= d * c;
        num = -(aA + m) * (aA + aB + m) * aX / ((aA + m2) * (aA + m2 + 1));
        d = 1 + num * d;
        c = 1 + num / c;
        d = 1 / (std::fabs(d) < tiny ? tiny : d);
        c = std::fabs(c) < tiny ? tiny : c;
        const double step = d * c;
        h *= step;
        if (std::fabs(step - 1) < 1e-15)
            break;
    }
    return h;
}

// I_x(a, b).
static double _betaRegularized(double aA, double aB, double aX)
{
    if (aX <= 0)
        return 0;
    if (aX >= 1)
        return 1;
    const double front = _exp(_lgamma(aA + aB) - _lgamma(aA) - _lgamma(aB) + aA * std::log(aX) +
                              aB * std::log(1 - aX));
    // The fraction converges fast on one side of the mean; the symmetry gives the other.
    if (aX < (aA + 1) / (aA + aB + 2))
        return front * _betaFraction(aA, aB, aX) / aA;
    return 1 - front * _betaFraction(aB, aA, 1 - aX) / aB;
}

double sStatsTwoSidedP(double aT, double aDf)
{
    if (!(aDf > 0) || std::isnan(aT))
        return 1;
    if (std::isinf(aT))
        return 0;
    return _betaRegularized(aDf * 0.5, 0.5, aDf / (aDf + aT * aT));
}

double sStatsT975(long aDf)
{
    if (aDf < 1)
        aDf = 1;
    if (aDf <= 30)
        return _t975Tbl[aDf - 1];
    // Beyond the table: the t where the two-sided p is 0.05, by bisection (p falls as t grows).
    double lo = 1.95, hi = _t975Tbl[29];
    for (int i = 0; i < 60; ++i) {
        const double mid = (lo + hi) * 0.5;
        (sStatsTwoSidedP(mid, (double)aDf) > 0.05 ? lo : hi) = mid;
    }
    return (lo + hi) * 0.5;
}

// A set that repeats one value has measured no noise (relative to its mean, so large scores
// that print alike count too).
static bool _flat(const _statsSet &aS)
{
    return !(aS.sd > std::fabs(aS.mean) * 1e-12);
}

long sStatsWelch(const _statsSet &aA, const _statsSet &aB, _statsWelch *aOutP)
{
    if (aA.n < 2 || aB.n < 2)
        return -1;
    _statsWelch w = {};
    const bool flatA = _flat(aA), flatB = _flat(aB);
    w.spreadB = !(flatA && flatB);
    if (!w.spreadB) {
        w.df = (double)(aA.n + aB.n - 2);
        w.p = 1;
        *aOutP = w;
        return 0;
    }
    double va = aA.sd * aA.sd / aA.n, vb = aB.sd * aB.sd / aB.n;
    if (flatA || flatB) {
        // The still set borrows the other's variance; only the other's runs measured it.
        const _statsSet &noisy = flatA ? aB : aA;
        const double s2 = noisy.sd * noisy.sd;
        va = s2 / aA.n, vb = s2 / aB.n;
        w.df = (double)(noisy.n - 1);
    } else {
        w.df = (va + vb) * (va + vb) / (va * va / (aA.n - 1) + vb * vb / (aB.n - 1));
    }
    w.t = (aA.mean - aB.mean) / std::sqrt(va + vb);
    w.p = sStatsTwoSidedP(w.t, w.df);
    *aOutP = w;
    return 0;
}

void sStatsAdjustBh(const double *aPP, long aCnt, double *aAdjP)
{
    std::vector<long> order;
    for (long i = 0; i < aCnt; ++i) {
        aAdjP[i] = -1;
        if (aPP[i] >= 0)
            order.push_back(i);
    }
    // Step up from the largest p: each adjusted p is the least of m / rank x p over its rank and above.
    std::sort(order.begin(), order.end(), [&](long aL, long aR) { return aPP[aL] < aPP[aR]; });
    const double m = (double)order.size();
    double least = 1;
    for (long k = (long)order.size() - 1; k >= 0; --k) {
        const long i = order[(size_t)k];
        least = std::min(least, aPP[i] * m / (double)(k + 1));
        aAdjP[i] = least;
    }
}

void sStatsCompare(const _statsSet *aAP, const _statsSet *aBP, long aCnt, _statsDiff *aOutP)
{
    std::vector<double> p((size_t)aCnt, -1), adj((size_t)aCnt, -1);
    for (long i = 0; i < aCnt; ++i) {
        const _statsSet &a = aAP[i], &b = aBP[i];
        _statsDiff d = {0, -1, -1, '-'};
        if (a.n > 0 && b.n > 0 && a.mean != 0) {
            d.pct = (b.mean - a.mean) * 100.0 / a.mean;
            _statsWelch w;
            if (sStatsWelch(a, b, &w))
                d.mark = '?';
            else if (!w.spreadB)
                d.mark = '#';
            else
                d.p = p[(size_t)i] = w.p;
        }
        aOutP[i] = d;
    }
    sStatsAdjustBh(p.data(), aCnt, adj.data());
    for (long i = 0; i < aCnt; ++i) {
        if (aOutP[i].p < 0)
            continue;
        aOutP[i].pAdj = adj[(size_t)i];
        aOutP[i].mark = adj[(size_t)i] * 100 < STATS_FDR_PERCENT ? '*' : ' ';
    }
}

long sStatsStageRuns(const _statsSet &aFirst, double aPct)
{
    if (!(aFirst.mean > 0) || !(aPct > 0) || aFirst.n < 2)
        return STATS_STAGE_MAX;
    const double root = sStatsT975(aFirst.n - 1) * aFirst.sd / (aPct / 100.0 * aFirst.mean);
    const double runs = std::ceil(root * root);
    if (!(runs < STATS_STAGE_MAX))
        return STATS_STAGE_MAX;
    return std::max(aFirst.n, (long)runs);
}

long sStatsSummaryStaged(const double *aValP, long aCnt, long aFirstCnt, _statsSet *aSetP)
{
    if (sStatsSummary(aValP, aCnt, aSetP))
        return -1;
    _statsSet first;
    if (aFirstCnt < 2 || aCnt < aFirstCnt || sStatsSummary(aValP, aFirstCnt, &first))
        return 0;
    aSetP->ciHalf = sStatsT975(aFirstCnt - 1) * first.sd / std::sqrt((double)aCnt);
    aSetP->ciLow = aSetP->mean - aSetP->ciHalf;
    aSetP->ciHigh = aSetP->mean + aSetP->ciHalf;
    return 0;
}

double sStatsPercentile(const double *aSortedP, long aCnt, double aPct)
{
    if (aCnt <= 0)
        return 0;
    long rank = (long)std::ceil(aPct / 100.0 * aCnt);
    rank = rank < 1 ? 1 : (rank > aCnt ? aCnt : rank);
    return aSortedP[rank - 1];
}

// 1000 / mean of the slowest aFraction of the sorted times (at least one frame).
static double _lowFps(const std::vector<double> &aSorted, double aFraction)
{
    const size_t n = aSorted.size();
    size_t k = (size_t)((double)n * aFraction);
    k = k < 1 ? 1 : k;
    double sum = 0;
    for (size_t i = n - k; i < n; ++i)
        sum += aSorted[i];
    return sum > 0 ? 1000.0 * (double)k / sum : 0;
}

long sStatsFrames(const double *aDeltaMsP, long aCnt, _statsFrames *aOutP)
{
    if (aCnt <= 0)
        return -1;
    std::vector<double> v(aDeltaMsP, aDeltaMsP + aCnt);
    double sum = 0;
    for (double x : v) {
        if (!_finite(x) || x < 0)
            return -1;
        sum += x;
    }
    _statsFrames f = {};
    f.frameCnt = aCnt;
    f.aveMs = sum / aCnt;
    f.fpsAve = sum > 0 ? 1000.0 * aCnt / sum : 0;
    f.medianMs = _median(v);
    f.maxMs = v.back();
    f.p99Ms = sStatsPercentile(v.data(), aCnt, 99);
    f.low1Fps = _lowFps(v, 0.01);
    f.low01Fps = _lowFps(v, 0.001);
    for (double x : v)
        f.stutterCnt += x > 2 * f.medianMs;
    *aOutP = f;
    return 0;
}

double sStatsIndex(const double *aScoreP, const double *aRefP, long aCnt)
{
    double logSum = 0;
    for (long i = 0; i < aCnt; ++i) {
        if (!(aScoreP[i] > 0) || !(aRefP[i] > 0) || !_finite(aScoreP[i]) || !_finite(aRefP[i]))
            return 0;
        logSum += std::log(aScoreP[i] / aRefP[i]);
    }
    return aCnt > 0 ? 100.0 * _exp(logSum / aCnt) : 0;
}
