// The quality numbers of a run: both channels' statistics for the run so far, debounced alarms
// (a channel stays marked until acknowledged) and the last events, kept for the station to
// show and the recording to write. The arithmetic is core's (run_quality.h).
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>

#include "alarms.h"
#include "run_quality.h"
#include "stats.h"

class Quality {
  public:
    static constexpr std::size_t kEventsKept = 1000;

    // Records in a row outside before an alarm (K); takes effect at the next start.
    long long alarmAfter = 3;
    // Hears of every event as it is made (the recording writes it beside its rows).
    std::function<void(const AlarmEvent&)> onEvent;

    // A run starts: numbers and alarms afresh, events kept.
    void StartRun();
    // One record: its 16 words, its index and time text (the recording's, when one runs).
    void Add(const std::uint16_t* words, long long index, const std::string& time);
    // The run ended: an alarm still on becomes its event.
    void EndRun();
    // The link was lost after the last record, noticed at `time`.
    void LinkLost(const std::string& time);
    // The events listed so far are forgotten (a replay lists its file's own).
    void ClearEvents() {
        events_.clear();
        ++changes_;
    }
    // A click on the channel's mark: the alarm is seen.
    void Acknowledge(Channel c) { alarmed_[Index(c)] = false; }

    ChannelStats Stats(Channel c) const { return run_.Stats(c); }
    bool Alarmed(Channel c) const { return alarmed_[Index(c)]; }
    // The last record of the channel lay outside its limits.
    bool Outside(Channel c) const { return run_.Outside(c); }
    bool Running() const { return running_; }
    const std::deque<AlarmEvent>& Events() const { return events_; }
    // Grows whenever what an operator sees of the alarms and events changes.
    unsigned long Changes() const { return changes_; }

  private:
    static int Index(Channel c) { return RunQuality::Index(c); }
    void Event(const AlarmEvent& event);

    RunQuality run_;
    bool alarmed_[2] = {false, false};
    bool running_ = false;
    long long lastIndex_ = -1;
    std::deque<AlarmEvent> events_;
    unsigned long changes_ = 0;
};
