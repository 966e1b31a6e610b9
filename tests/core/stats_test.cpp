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
    return "n " + std::to_string(s.n) + " mean " + f(s.mean) + " sigma " + f(s.sigma) + " min " +
           f(s.min) + " max " + f(s.max) + " limits " + f(s.low) + ".." + f(s.high) + " cp " +
           f(s.cp) + " cpk " + f(s.cpk) + " out " + std::to_string(s.out) + " " + f(s.outPercent) +
           "%";
}

TEST(ChannelStats, MatchesHandComputedTables) {
    const std::pair<std::vector<ChannelSample>, const char*> cases[] = {
        // Deviations 0, 2, -2, 4, -4: sigma = sqrt(40 / 4); Cp = 100 / 6 sigma; Cpk takes the
        // nearer limit, 30 / 3 sigma.
        {{{500, 470, 570}, {502, 470, 570}, {498, 470, 570}, {504, 470, 570}, {496, 470, 570}},
         "n 5 mean 500 sigma 3.1623 min 496 max 504 limits 470..570 cp 5.2705 cpk 3.1623 out 0 0%"},
        // On a limit is inside, a step beyond is out. sigma = sqrt((2 50^2 + 2 51^2) / 3).
        {{{470, 470, 570}, {469, 470, 570}, {570, 470, 570}, {571, 470, 570}},
         "n 4 mean 520 sigma 58.315 min 469 max 571 limits 470..570 cp 0.2858 cpk 0.2858 out 2 "
         "50%"},
        // Each record by its own limits, Cp and Cpk by the last's: 590 is inside 400..600, though
        // above 500..550. sigma = sqrt((20^2 + 20^2 + 10^2 + 50^2) / 3); Cpk = -20 / 3 sigma.
        {{{590, 400, 600}, {590, 400, 600}, {580, 400, 600}, {520, 500, 550}},
         "n 4 mean 570 sigma 33.665 min 520 max 590 limits 500..550 cp 0.24754 cpk -0.19803 out 0 "
         "0%"},
        {{{512, 412, 612}, {512, 412, 612}, {512, 412, 612}},
         "n 3 mean 512 sigma 0 min 512 max 512 limits 412..612 cp - cpk - out 0 0%"},
        {{{700, 412, 612}},
         "n 1 mean 700 sigma - min 700 max 700 limits 412..612 cp - cpk - out 1 100%"},
        {{}, "n 0 mean - sigma - min - max - limits -..- cp - cpk - out 0 -%"},
    };
    for (const auto& [samples, want] : cases) EXPECT_EQ(Text(StatsOf(samples)), want);
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
