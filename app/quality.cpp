#include "quality.h"

void Quality::StartRun() {
    run_ = RunQuality(alarmAfter);
    running_ = true;
    ++changes_;
}

void Quality::Add(const std::uint16_t* words, long long index, const std::string& time) {
    lastIndex_ = index;
    const RunQuality::Step step = run_.Add(words, index, time);
    for (int i : {0, 1}) {
        if (step.started[i]) {
            alarmed_[i] = true;
            ++changes_;
        }
        if (step.ended[i]) Event(*step.ended[i]);
    }
}

void Quality::EndRun() {
    for (const AlarmEvent& event : run_.Finish()) Event(event);
    running_ = false;
    ++changes_;
}

void Quality::LinkLost(const std::string& time) { Event(LinkLostEvent(time, lastIndex_)); }

void Quality::Event(const AlarmEvent& event) {
    events_.push_back(event);
    while (events_.size() > kEventsKept) events_.pop_front();
    ++changes_;
    if (onEvent) onEvent(event);
}
