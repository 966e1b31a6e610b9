// Quality numbers per channel against tables computed by hand, and against a two-pass
// reference for long runs with a tiny spread around a large mean.
#include "stats.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace {

using Opt = std::optional<double>;

void ExpectNear(const Opt& got, const Opt& want, const std::string& what) {
    ASSERT_EQ(got.has_value(), want.has_value()) << what;
    if (want) {
        EXPECT_NEAR(*got, *want, 1e-12 * std::max(1.0, std::fabs(*want))) << what;
    }
}

struct Case {
    const char* name;
    std::vector<ChannelSample> samples;
    long long n;
    Opt mean, sigma, min, max;
    std::optional<int> low, high;
    Opt cp, cpk;
    long long out;
    Opt outPercent;
};

TEST(ChannelStats, MatchesHandComputedTables) {
    const double r10 = std::sqrt(10.0);
    const std::vector<Case> cases = {
        // Deviations 0, 2, -2, 4, -4: squares sum to 40, sigma = sqrt(40 / 4). The set-point
        // sits off the mean, so Cpk takes the nearer limit (570 - 500 > 500 - 470).
        {"off-centre",
         {{500, 470, 570}, {502, 470, 570}, {498, 470, 570}, {504, 470, 570}, {496, 470, 570}},
         5,
         500.0,
         r10,
         496.0,
         504.0,
         470,
         570,
         100 / (6 * r10),
         30 / (3 * r10),
         0,
         0.0},
        // A value on a limit is inside; one step beyond is out.
        {"on the limits",
         {{470, 470, 570}, {469, 470, 570}, {570, 470, 570}, {571, 470, 570}},
         4,
         520.0,
         std::sqrt((2 * 50.0 * 50 + 2 * 51.0 * 51) / 3),
         469.0,
         571.0,
         470,
         570,
         100 / (6 * std::sqrt((2 * 50.0 * 50 + 2 * 51.0 * 51) / 3)),
         50 / (3 * std::sqrt((2 * 50.0 * 50 + 2 * 51.0 * 51) / 3)),
         2,
         50.0},
        // Each record is judged by its own limits; Cp and Cpk take the last record's. 590 is
        // inside 400..600 although it is above the last window 500..550.
        {"limits change",
         {{590, 400, 600}, {590, 400, 600}, {580, 400, 600}, {520, 500, 550}},
         4,
         570.0,
         std::sqrt((400.0 + 400 + 100 + 2500) / 3),
         520.0,
         590.0,
         500,
         550,
         50 / (6 * std::sqrt(3400.0 / 3)),
         -20 / (3 * std::sqrt(3400.0 / 3)),
         0,
         0.0},
        {"mean above the window: Cpk below zero",
         {{610, 400, 600}, {620, 400, 600}, {630, 400, 600}},
         3,
         620.0,
         10.0,
         610.0,
         630.0,
         400,
         600,
         200 / 60.0,
         -20 / 30.0,
         3,
         100.0},
        {"no spread: Cp and Cpk undefined",
         {{512, 412, 612}, {512, 412, 612}, {512, 412, 612}},
         3,
         512.0,
         0.0,
         512.0,
         512.0,
         412,
         612,
         {},
         {},
         0,
         0.0},
        {"one record: no sigma",
         {{700, 412, 612}},
         1,
         700.0,
         {},
         700.0,
         700.0,
         412,
         612,
         {},
         {},
         1,
         100.0},
        {"no records", {}, 0, {}, {}, {}, {}, {}, {}, {}, {}, 0, {}},
    };
    for (const Case& c : cases) {
        const ChannelStats s = StatsOf(c.samples);
        EXPECT_EQ(s.n, c.n) << c.name;
        ExpectNear(s.mean, c.mean, std::string(c.name) + ": mean");
        ExpectNear(s.sigma, c.sigma, std::string(c.name) + ": sigma");
        ExpectNear(s.min, c.min, std::string(c.name) + ": min");
        ExpectNear(s.max, c.max, std::string(c.name) + ": max");
        EXPECT_EQ(s.low, c.low) << c.name;
        EXPECT_EQ(s.high, c.high) << c.name;
        ExpectNear(s.cp, c.cp, std::string(c.name) + ": Cp");
        ExpectNear(s.cpk, c.cpk, std::string(c.name) + ": Cpk");
        EXPECT_EQ(s.out, c.out) << c.name;
        ExpectNear(s.outPercent, c.outPercent, std::string(c.name) + ": out %");
    }
}

TEST(ChannelStats, ARecordGivesEachChannelItsValueAndClampedLimits) {
    // Avalue, Bvalue, Mvalue, tTol, tValA, tValB, then words the numbers ignore.
    const std::uint16_t words[16] = {950, 30, 7, 100, 1000, 60, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9};
    const RecordSamples r(words);
    EXPECT_EQ(r.Of(Channel::kA).value, 950);
    EXPECT_EQ(r.Of(Channel::kA).low, 900);
    EXPECT_EQ(r.Of(Channel::kA).high, 1023) << "1100 is past the line's last pixel";
    EXPECT_EQ(r.Of(Channel::kB).value, 30);
    EXPECT_EQ(r.Of(Channel::kB).low, 1) << "-40 is before the first";
    EXPECT_EQ(r.Of(Channel::kB).high, 160);
    EXPECT_FALSE(r.Of(Channel::kA).Outside());
    EXPECT_FALSE(r.Of(Channel::kB).Outside());
}

// Two passes: the mean first, then the squared deviations from it.
void ExpectMatchesTwoPass(const std::vector<double>& values) {
    double sum = 0;
    for (double v : values) sum += v;
    const double mean = sum / static_cast<double>(values.size());
    double squares = 0;
    for (double v : values) squares += (v - mean) * (v - mean);
    const double sigma = std::sqrt(squares / static_cast<double>(values.size() - 1));

    ChannelAccumulator acc;
    for (double v : values) acc.Add(v, 1, 1023);
    const ChannelStats s = acc.Stats();
    ASSERT_TRUE(s.mean && s.sigma);
    EXPECT_NEAR(*s.mean, mean, 1e-9 * std::fabs(mean));
    EXPECT_NEAR(*s.sigma, sigma, 1e-9 * sigma);
}

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
