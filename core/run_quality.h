// The quality numbers of a run of measurement records, taken one record at a time: both
// channels' statistics and their debounced alarms. The program's runs, its replays and
// qtor-ctl stats all take their numbers from here.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "alarms.h"
#include "recording_file.h"
#include "stats.h"

class RunQuality {
  public:
    explicit RunQuality(long long alarmAfter = 3);

    // What one record did: a channel's alarm came on, or an alarm's event ended.
    struct Step {
        bool started[2] = {false, false};  // A, B
        std::optional<AlarmEvent> ended[2];
    };
    // One record: its 16 words in packet order, its index and its time text.
    Step Add(const std::uint16_t* words, long long index, const std::string& time);
    // The end of the run: the events of alarms still on, A's first.
    std::vector<AlarmEvent> Finish();

    ChannelStats Stats(Channel c) const { return acc_[Index(c)].Stats(); }
    // The channel's last record lay outside its limits.
    bool Outside(Channel c) const { return outside_[Index(c)]; }
    static int Index(Channel c) { return c == Channel::kA ? 0 : 1; }

  private:
    std::array<ChannelAccumulator, 2> acc_;
    std::array<AlarmDetector, 2> detectors_;
    std::array<bool, 2> outside_ = {false, false};
};

// The numbers of a recording's rows, of the last `last` of them (0: all), and every event in
// the order the events ended.
struct RowsQuality {
    ChannelStats a, b;
    std::vector<AlarmEvent> events;
};
RowsQuality EvaluateRows(const std::vector<RecordingRow>& rows, long long last,
                         long long alarmAfter);
