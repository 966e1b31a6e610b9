// Debounced tolerance alarms per channel: a single stray record raises nothing, K records in a
// row outside their limits do. Pure: the caller feeds records and writes the events where it
// likes.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "stats.h"

// One excursion of a channel outside its limits, or a lost link (channel "link").
struct AlarmEvent {
    std::string channel;            // "A", "B" or "link"
    long long first = 0, last = 0;  // indexes of the first and the last record outside
    long long records = 0;          // records outside; 0 for a lost link
    double worst = 0;               // the value farthest below low or above high
    int low = 0, high = 0;          // the limits of the first record outside
    std::string time;               // time text of the first record outside
    bool IsLink() const { return channel == "link"; }
};

// What one record did to a channel's alarm.
struct AlarmStep {
    bool started = false;             // the K-th record outside in a row: the alarm is on
    std::optional<AlarmEvent> ended;  // the first record inside after an alarm: its event
};

class AlarmDetector {
  public:
    // `alarmAfter` (K) below 1 counts as 1.
    explicit AlarmDetector(std::string channel, long long alarmAfter = 3);

    AlarmStep Add(long long index, std::string_view time, const ChannelSample& sample);
    // The end of input: the event of an alarm still on, if any. The next record starts afresh.
    std::optional<AlarmEvent> Finish();
    bool Active() const { return run_.records >= alarmAfter_; }

  private:
    std::string channel_;
    long long alarmAfter_;
    AlarmEvent run_;  // the current run of records outside, while records > 0
    double worstDistance_ = 0;
};

// The event of a link lost after the record with index `lastIndex`, noticed at `time`.
AlarmEvent LinkLostEvent(std::string time, long long lastIndex);

// The events file: "channel,first,last,records,worst,low,high,time" and a line break, then one
// row per event (a lost link leaves worst, low and high empty).
std::string AlarmEventsCsvHeader();
std::string AlarmEventCsvRow(const AlarmEvent& event);
