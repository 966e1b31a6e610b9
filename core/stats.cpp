#include "stats.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <string>
#include <type_traits>

#include "protocol.h"
#include "ranges.h"

namespace {

ChannelSample SampleOf(std::uint16_t value, std::uint16_t setPoint, std::uint16_t tolerance) {
    const StripLimits limits = StripChartLimits(setPoint, tolerance);
    return {static_cast<double>(value), limits.lower, limits.upper};
}

}  // namespace

double PpmOutside(double mean, double sigma, double low, double high) {
    // Each tail by erfc, which keeps far tails that 1 - Phi would round to nothing.
    const double root2 = std::sqrt(2.0);
    return 1e6 * 0.5 *
           (std::erfc((mean - low) / (sigma * root2)) + std::erfc((high - mean) / (sigma * root2)));
}

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
    s.ppmObserved = 1e6 * static_cast<double>(out_) / static_cast<double>(n_);
    if (n_ < 2) return s;
    const double sigma = std::sqrt(m2_ / static_cast<double>(n_ - 1));
    const double within = movingRanges_ / static_cast<double>(n_ - 1) / kD2;
    s.sigma = sigma;
    s.sigmaWithin = within;
    // A spread of zero, either way, is a window of one value: nothing to index against.
    if (sigma > 0 && within > 0) {
        const double width = high_ - low_, nearer = std::min(high_ - mean_, mean_ - low_);
        s.cp = width / (6 * within);
        s.cpk = nearer / (3 * within);
        s.pp = width / (6 * sigma);
        s.ppk = nearer / (3 * sigma);
        const double n = static_cast<double>(n_);
        const double half = 1.96 * std::sqrt(1 / (9 * n) + *s.cpk * *s.cpk / (2 * (n - 1)));
        s.cpkLow = *s.cpk - half;
        s.cpkHigh = *s.cpk + half;
        s.ppmWithin = PpmOutside(mean_, within, low_, high_);
        s.ppmOverall = PpmOutside(mean_, sigma, low_, high_);
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

namespace {

template <typename T>
std::string Json(const std::optional<T>& v) {
    if (!v) return "null";
    if constexpr (std::is_floating_point_v<T>)
        return NumberText(*v);
    else
        return std::to_string(*v);
}

}  // namespace

std::string ChannelStatsJson(const ChannelStats& s) {
    const bool any = s.n > 0;
    return "{\"n\":" + std::to_string(s.n) + ",\"mean\":" + Json(s.mean) +
           ",\"sigma\":" + Json(s.sigma) + ",\"sigma_within\":" + Json(s.sigmaWithin) +
           ",\"sigma_overall\":" + Json(s.sigma) + ",\"min\":" + Json(s.min) +
           ",\"max\":" + Json(s.max) + ",\"low\":" + Json(s.low) + ",\"high\":" + Json(s.high) +
           ",\"cp\":" + Json(s.cp) + ",\"cpk\":" + Json(s.cpk) + ",\"pp\":" + Json(s.pp) +
           ",\"ppk\":" + Json(s.ppk) + ",\"cpk_low\":" + Json(s.cpkLow) +
           ",\"cpk_high\":" + Json(s.cpkHigh) + ",\"ppm_within\":" + Json(s.ppmWithin) +
           ",\"ppm_overall\":" + Json(s.ppmOverall) + ",\"ppm_observed\":" + Json(s.ppmObserved) +
           ",\"out\":" + (any ? std::to_string(s.out) : "null") +
           ",\"out_pct\":" + Json(s.outPercent) + "}";
}
