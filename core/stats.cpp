#include "stats.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "protocol.h"
#include "ranges.h"

namespace {

ChannelSample SampleOf(std::uint16_t value, std::uint16_t setPoint, std::uint16_t tolerance) {
    const StripLimits limits = StripChartLimits(setPoint, tolerance);
    return {static_cast<double>(value), limits.lower, limits.upper};
}

}  // namespace

RecordSamples::RecordSamples(const std::uint16_t* words)
    : a(SampleOf(words[protocol::kAvalue], words[protocol::kRecTValA], words[protocol::kRecTTol])),
      b(SampleOf(words[protocol::kBvalue], words[protocol::kRecTValB], words[protocol::kRecTTol])) {
}

ChannelStats ChannelAccumulator::Stats() const {
    ChannelStats s;
    s.n = n_;
    s.out = out_;
    if (n_ == 0) return s;
    s.mean = mean_;
    s.min = min_;
    s.max = max_;
    s.low = low_;
    s.high = high_;
    s.outPercent = 100.0 * static_cast<double>(out_) / static_cast<double>(n_);
    if (n_ < 2) return s;
    const double sigma = std::sqrt(m2_ / static_cast<double>(n_ - 1));
    s.sigma = sigma;
    if (sigma > 0) {
        s.cp = (high_ - low_) / (6 * sigma);
        s.cpk = std::min(high_ - mean_, mean_ - low_) / (3 * sigma);
    }
    return s;
}

ChannelStats StatsOf(std::span<const ChannelSample> samples) {
    ChannelAccumulator acc;
    for (const ChannelSample& s : samples) acc.Add(s);
    return acc.Stats();
}

std::string NumberText(double value) {
    char text[32];
    const std::to_chars_result r = std::to_chars(text, text + sizeof text, value);
    return {text, r.ptr};
}
