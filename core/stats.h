// Quality numbers of a run of measurement records, per channel: count, mean, the within and the
// overall spread, extremes, the tolerance limits in force, capability and performance indices,
// and the share of records outside their limits, expected and observed.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

enum class Channel { kA, kB };

// One channel of one record: the measured value and that record's limits as the strip chart
// draws them. A value equal to a limit is inside.
struct ChannelSample {
    double value = 0;
    int low = 0, high = 0;
    bool Outside() const { return value < low || value > high; }
};

// A measurement record (its 16 words in packet order) seen per channel.
struct RecordSamples {
    explicit RecordSamples(const std::uint16_t* words);
    ChannelSample a, b;
    const ChannelSample& Of(Channel c) const { return c == Channel::kA ? a : b; }
};

// The numbers of one channel over a window of records. Everything but n and out is undefined
// for an empty window; the spreads need two records, the indices and the expected ppm a
// spread above zero.
//
// sigmaWithin is the mean moving range of consecutive records over d2 = 1.128, the short-term
// spread of individual values; sigma is the sample standard deviation (n - 1), the overall
// spread. Cp and Cpk are taken with the within spread, Pp and Ppk with the overall one, both
// against the limits of the window's last record.
struct ChannelStats {
    long long n = 0;
    std::optional<double> mean, sigma, sigmaWithin, min, max;
    std::optional<int> low, high;  // the limits of the window's last record
    std::optional<double> cp, cpk, pp, ppk;
    std::optional<double> cpkLow, cpkHigh;  // Cpk's 95 % confidence interval
    // Parts per million outside the limits, expected by the normal model with either spread.
    std::optional<double> ppmWithin, ppmOverall;
    long long out = 0;  // records outside their own record's limits
    std::optional<double> outPercent, ppmObserved;
};

// The moving-range constant for subgroups of two.
inline constexpr double kD2 = 1.128;

// Takes the records one by one, in constant time and space: fit for every record as it comes.
// Welford's update keeps the spread exact enough for millions of values with a tiny spread
// around a large mean, where a plain sum of squares would cancel away.
class ChannelAccumulator {
  public:
    void Add(double value, int low, int high) {
        ++n_;
        const double d = value - mean_;
        mean_ += d / static_cast<double>(n_);
        m2_ += d * (value - mean_);
        if (n_ == 1 || value < min_) min_ = value;
        if (n_ == 1 || value > max_) max_ = value;
        if (value < low || value > high) ++out_;
        if (n_ > 1) movingRanges_ += std::fabs(value - last_);
        last_ = value;
        low_ = low;
        high_ = high;
    }
    void Add(const ChannelSample& s) { Add(s.value, s.low, s.high); }
    void Reset() { *this = ChannelAccumulator{}; }
    long long Count() const { return n_; }
    ChannelStats Stats() const;

  private:
    long long n_ = 0, out_ = 0;
    double mean_ = 0, m2_ = 0, min_ = 0, max_ = 0;
    double last_ = 0, movingRanges_ = 0;  // whole pixels, as a rule: the sum stays exact
    int low_ = 0, high_ = 0;
};

// Parts per million of a normal distribution below `low` or above `high`.
double PpmOutside(double mean, double sigma, double low, double high);

// The numbers over a window of samples of one channel, in order.
ChannelStats StatsOf(std::span<const ChannelSample> samples);

// The shortest text that reads back as the same double, with a '.' whatever the locale.
std::string NumberText(double value);
// A channel's numbers as a JSON object, undefined ones null: `sigma` is the overall spread,
// `cp`/`cpk` are taken with the within one, as the field reads them; Pp and Ppk carry the
// overall.
std::string ChannelStatsJson(const ChannelStats& s);
