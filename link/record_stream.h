// Measurement records as they leave a station: every record, from the sensor or from a replay,
// is handed as a value to each consumer registered with the stream (charts, values, recording,
// statistics and alarms, a publisher, a report). A new consumer is one registration; no mode
// knows who takes its records.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "model.h"

struct Record {
    std::array<std::uint16_t, PNUM> words{};  // as received, in packet order
    long long index = 0;  // its number in the run, or its row in the recording being written
    std::string time;     // local time text, as a recording's row gives it
    double timeMs = -1;   // when it was taken, in milliseconds since the epoch; -1: now
    bool live = true;     // from the sensor, not played back
};

class RecordConsumer {
  public:
    virtual ~RecordConsumer() = default;
    // A run starts (run mode, or a replay from its start): what is kept of the last one ends.
    virtual void RunStarted() {}
    // Every record, in order; cheap: drawing waits for Show.
    virtual void Take(const Record& record) = 0;
    // Show what the records since the last call changed: after each live record, and at most
    // thirty times a second in a fast replay.
    virtual void Show() {}
    virtual void RunEnded() {}
};

class RecordStream {
  public:
    // The consumers are called in the order they registered.
    void Register(RecordConsumer* consumer) { consumers_.push_back(consumer); }
    void Unregister(RecordConsumer* consumer) { std::erase(consumers_, consumer); }

    void RunStarted() {
        for (RecordConsumer* c : consumers_) c->RunStarted();
    }
    void Hand(const Record& record) {
        for (RecordConsumer* c : consumers_) c->Take(record);
    }
    void Show() {
        for (RecordConsumer* c : consumers_) c->Show();
    }
    void RunEnded() {
        for (RecordConsumer* c : consumers_) c->RunEnded();
    }

  private:
    std::vector<RecordConsumer*> consumers_;
};
