// Quality numbers of a run of measurement records, per channel: count, mean, sample standard
// deviation, extremes, the tolerance limits in force, capability indices and the share of
// records outside their limits.
#pragma once

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
// for an empty window; sigma needs two records, Cp and Cpk a sigma above zero.
struct ChannelStats {
    long long n = 0;
    std::optional<double> mean, sigma, min, max;
    std::optional<int> low, high;  // the limits of the window's last record
    std::optional<double> cp, cpk;
    long long out = 0;  // records outside their own record's limits
    std::optional<double> outPercent;
};

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
    int low_ = 0, high_ = 0;
};

// The numbers over a window of samples of one channel, in order.
ChannelStats StatsOf(std::span<const ChannelSample> samples);

// The shortest text that reads back as the same double, with a '.' whatever the locale.
std::string NumberText(double value);
