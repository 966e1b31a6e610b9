#include "capability.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "protocol.h"

DecimatedSeries::DecimatedSeries(std::size_t maxBuckets)
    // Pairwise merging needs an even number of buckets.
    : max_(std::max<std::size_t>(2, maxBuckets & ~std::size_t{1})) {
    buckets_.reserve(max_);
}

void DecimatedSeries::Add(long long index, double value) {
    if (!buckets_.empty() && buckets_.back().count < width_) {
        SeriesBucket& b = buckets_.back();
        b.min = std::min(b.min, value);
        b.max = std::max(b.max, value);
        ++b.count;
        return;
    }
    if (buckets_.size() == max_) {
        for (std::size_t i = 0; i < max_ / 2; ++i) {
            const SeriesBucket left = buckets_[2 * i], right = buckets_[2 * i + 1];
            buckets_[i] = {left.first, left.count + right.count, std::min(left.min, right.min),
                           std::max(left.max, right.max)};
        }
        buckets_.resize(max_ / 2);
        width_ *= 2;
    }
    buckets_.push_back({index, 1, value, value});
}

CapabilityCollector::ChannelState::ChannelState() : counts(65536, 0) {}

CapabilityCollector::CapabilityCollector(long long alarmAfter) : quality_(alarmAfter) {
    data_.alarmAfter = std::max(1LL, alarmAfter);  // as the alarm detector takes it
}

void CapabilityCollector::Keep(AlarmEvent event) {
    ++data_.eventCount;
    if (data_.events.size() < kMaxEvents) data_.events.push_back(std::move(event));
}

void CapabilityCollector::Add(const std::uint16_t* words, long long index,
                              const std::string& time) {
    RunQuality::Step step = quality_.Add(words, index, time);
    for (auto& ended : step.ended)
        if (ended) Keep(std::move(*ended));
    const std::uint16_t values[2] = {words[protocol::kAvalue], words[protocol::kBvalue]};
    const std::uint16_t setPoints[2] = {words[protocol::kRecTValA], words[protocol::kRecTValB]};
    for (int i = 0; i < 2; ++i) {
        ChannelState& c = channels_[i];
        const double value = values[i];
        ++c.counts[values[i]];
        c.individuals.Add(index, value);
        if (data_.records > 0) c.movingRanges.Add(index, std::fabs(value - c.last));
        c.last = value;
        c.setPoint = setPoints[i];
    }
    if (data_.records == 0) data_.firstTime = time;
    data_.lastTime = time;
    ++data_.records;
}

CapabilityData CapabilityCollector::Finish() {
    for (AlarmEvent& e : quality_.Finish()) Keep(std::move(e));
    for (Channel c : {Channel::kA, Channel::kB}) {
        const int i = RunQuality::Index(c);
        ChannelCapability& out = data_.channels[i];
        const ChannelState& state = channels_[i];
        out.stats = quality_.Stats(c);
        for (int v = 0; v < static_cast<int>(state.counts.size()); ++v)
            if (state.counts[v] > 0) out.histogram.push_back({v, state.counts[v]});
        out.individuals = state.individuals.Buckets();
        out.movingRanges = state.movingRanges.Buckets();
        if (data_.records > 0) out.setPoint = state.setPoint;
    }
    return std::move(data_);
}
