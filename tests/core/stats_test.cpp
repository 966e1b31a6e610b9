// Quality numbers per channel against tables computed by hand, and against a two-pass
// reference for long runs with a tiny spread around a large mean.
#include "stats.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

namespace {

// The numbers to five significant digits, "-" where undefined.
std::string Text(const ChannelStats& s) {
    const auto f = [](const auto& v) {
        char t[32] = "-";
        if (v) std::snprintf(t, sizeof t, "%.5g", static_cast<double>(*v));
        return std::string(t);
    };
    return "n " + std::to_string(s.n) + " mean " + f(s.mean) + " sigma w " + f(s.sigmaWithin) +
           " o " + f(s.sigma) + " min " + f(s.min) + " max " + f(s.max) + " limits " + f(s.low) +
           ".." + f(s.high) + " | cp " + f(s.cp) + " cpk " + f(s.cpk) + " ci " + f(s.cpkLow) +
           ".." + f(s.cpkHigh) + " pp " + f(s.pp) + " ppk " + f(s.ppk) + " | ppm w " +
           f(s.ppmWithin) + " o " + f(s.ppmOverall) + " obs " + f(s.ppmObserved) + " out " +
           std::to_string(s.out) + " " + f(s.outPercent) + "%";
}

// Within: the mean moving range of consecutive records / 1.128; overall: the sample standard
// deviation. Cp, Cpk by the within sigma, Pp, Ppk by the overall one; Cpk's interval is
// Cpk -/+ 1.96 sqrt(1/9n + Cpk^2/2(n-1)); the expected ppm are both normal tails.
TEST(ChannelStats, MatchesHandComputedTables) {
    const std::pair<std::vector<ChannelSample>, const char*> cases[] = {
        // Moving ranges 2, 4, 6, 8: sigma w = 5 / 1.128; deviations 0, 2, -2, 4, -4: sigma o =
        // sqrt(40 / 4). Cp = 100 / 6 sigma; Cpk takes the nearer limit, 30 / 3 sigma. The lower
        // limit 6.8 and 9.5 sigmas away, the upper far beyond.
        {{{500, 470, 570}, {502, 470, 570}, {498, 470, 570}, {504, 470, 570}, {496, 470, 570}},
         "n 5 mean 500 sigma w 4.4326 o 3.1623 min 496 max 504 limits 470..570 | cp 3.76 cpk 2.256 "
         "ci 0.6656..3.8464 pp 5.2705 ppk 3.1623 | ppm w 6.5287e-06 o 1.1908e-15 obs 0 out 0 0%"},
        // On a limit is inside, a step beyond is out. Moving ranges 1, 101, 1; sigma o =
        // sqrt((2 50^2 + 2 51^2) / 3).
        {{{470, 470, 570}, {469, 470, 570}, {570, 470, 570}, {571, 470, 570}},
         "n 4 mean 520 sigma w 30.437 o 58.315 min 469 max 571 limits 470..570 | cp 0.54757 "
         "cpk 0.54757 ci 0.001051..1.0941 pp 0.2858 ppk 0.2858 | ppm w 1.0044e+05 o 3.9122e+05 "
         "obs 5e+05 out 2 50%"},
        // Each record by its own limits, the indices by the last's: 590 is inside 400..600,
        // though above 500..550. Moving ranges 0, 10, 60; sigma o = sqrt((20^2 + 20^2 + 10^2 +
        // 50^2) / 3); Cpk = -20 / 3 sigma.
        {{{590, 400, 600}, {590, 400, 600}, {580, 400, 600}, {520, 500, 550}},
         "n 4 mean 570 sigma w 20.686 o 33.665 min 520 max 590 limits 500..550 | cp 0.40286 "
         "cpk -0.32229 ci -0.73848..0.093905 pp 0.24754 ppk -0.19803 | ppm w 8.3355e+05 "
         "o 7.4257e+05 obs 0 out 0 0%"},
        {{{512, 412, 612}, {512, 412, 612}, {512, 412, 612}},
         "n 3 mean 512 sigma w 0 o 0 min 512 max 512 limits 412..612 | cp - cpk - ci -..- pp - "
         "ppk - | ppm w - o - obs 0 out 0 0%"},
        {{{700, 412, 612}},
         "n 1 mean 700 sigma w - o - min 700 max 700 limits 412..612 | cp - cpk - ci -..- pp - "
         "ppk - | ppm w - o - obs 1e+06 out 1 100%"},
        {{},
         "n 0 mean - sigma w - o - min - max - limits -..- | cp - cpk - ci -..- pp - ppk - | "
         "ppm w - o - obs - out 0 -%"},
    };
    for (const auto& [samples, want] : cases) EXPECT_EQ(Text(StatsOf(samples)), want);
}

// The normal model's tails against the tables: 0.27 % beyond three sigma either side, the
// "3.4 ppm" of a process at six sigma shifted by 1.5, and two per billion beyond six.
TEST(ChannelStats, ExpectedPpmMatchesTheNormalTables) {
    EXPECT_NEAR(PpmOutside(500, 10, 470, 530), 2699.796, 1e-3);
    EXPECT_NEAR(PpmOutside(1.5, 1, -6, 6), 3.3977, 1e-4);
    EXPECT_NEAR(PpmOutside(-1.5, 1, -6, 6), 3.3977, 1e-4);
    EXPECT_NEAR(PpmOutside(0, 1, -6, 6), 1.9732e-3, 1e-7);
}

// The streaming accumulator against two passes: the mean first, then the squared deviations.
void ExpectMatchesTwoPass(const std::vector<double>& values) {
    double sum = 0, squares = 0;
    for (double v : values) sum += v;
    const double mean = sum / static_cast<double>(values.size());
    for (double v : values) squares += (v - mean) * (v - mean);
    const double sigma = std::sqrt(squares / static_cast<double>(values.size() - 1));
    ChannelAccumulator acc;
    for (double v : values) acc.Add(v, 1, 1023);
    const ChannelStats s = acc.Stats();
    ASSERT_TRUE(s.mean && s.sigma);
    EXPECT_NEAR(*s.mean, mean, 1e-9 * std::fabs(mean));
    EXPECT_NEAR(*s.sigma, sigma, 1e-9 * sigma);
}

// A plain sum of squares loses sigma to cancellation here (0.1 and 3e-7 off).
TEST(ChannelStats, LongRunsWithATinySpreadKeepTheirSigma) {
    std::mt19937_64 rng(7);
    std::normal_distribution<double> noise(0.0, 0.5);
    std::vector<double> values(2'000'000);
    for (double& v : values) v = 1e6 + noise(rng);
    ExpectMatchesTwoPass(values);
    std::uniform_real_distribution<double> spread(-0.5, 0.5);
    for (double& v : values) v = 512 + spread(rng);
    ExpectMatchesTwoPass(values);
}

}  // namespace
