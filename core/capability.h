// What a capability report shows of a run of records, collected one record at a time in constant
// memory: a day of records costs what a minute does. Per channel the quality numbers, the
// distribution of values, the individuals and their moving ranges thinned to a fixed number of
// buckets, and the set-point; the alarms' events and the run's first and last time.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "alarms.h"
#include "run_quality.h"
#include "stats.h"

// Records `first` up to the next bucket's first: their smallest and largest value.
struct SeriesBucket {
    long long first = 0;  // index of the bucket's first record
    long long count = 0;  // records in the bucket
    double min = 0, max = 0;
};

// A series thinned to at most `maxBuckets` buckets of equal width (the last one filling). When
// every bucket is full the neighbours merge pairwise and the width doubles, so each extreme
// survives in the bucket that holds it, whatever the length of the series.
class DecimatedSeries {
  public:
    explicit DecimatedSeries(std::size_t maxBuckets = 1024);
    void Add(long long index, double value);
    const std::vector<SeriesBucket>& Buckets() const { return buckets_; }
    long long Width() const { return width_; }  // records per full bucket

  private:
    std::size_t max_;
    long long width_ = 1;
    std::vector<SeriesBucket> buckets_;
};

// How often each whole value occurred, in ascending order of value.
struct HistogramBin {
    int value = 0;
    long long count = 0;
};

struct ChannelCapability {
    ChannelStats stats;
    std::vector<HistogramBin> histogram;
    std::vector<SeriesBucket> individuals;
    std::vector<SeriesBucket> movingRanges;  // |x(i) - x(i-1)|, the bucket of record i
    std::optional<int> setPoint;             // of the last record
};

struct CapabilityData {
    std::array<ChannelCapability, 2> channels;  // A, B
    const ChannelCapability& Of(Channel c) const { return channels[RunQuality::Index(c)]; }
    // The events in the order they ended, the first `kMaxEvents` of them; `eventCount` counts
    // them all.
    std::vector<AlarmEvent> events;
    long long eventCount = 0;
    long long records = 0;
    long long alarmAfter = 3;
    std::string firstTime, lastTime;
};

class CapabilityCollector {
  public:
    // A run with thousands of alarms still keeps only this many events.
    static constexpr std::size_t kMaxEvents = 1000;

    explicit CapabilityCollector(long long alarmAfter = 3);
    // One record: its 16 words in packet order, its index and its time text.
    void Add(const std::uint16_t* words, long long index, const std::string& time);
    // The run's data; alarms still on end here. The collector is spent afterwards.
    CapabilityData Finish();

  private:
    struct ChannelState {
        std::vector<long long> counts;  // per value 0..65535: no allocation per record
        DecimatedSeries individuals, movingRanges;
        double last = 0;
        int setPoint = 0;
        ChannelState();
    };
    void Keep(AlarmEvent event);

    RunQuality quality_;
    std::array<ChannelState, 2> channels_;
    CapabilityData data_;
};
