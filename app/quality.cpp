#include "quality.h"

void Quality::StartRun() {
    for (ChannelAccumulator& a : acc_) a.Reset();
    detectors_[0] = AlarmDetector("A", alarmAfter);
    detectors_[1] = AlarmDetector("B", alarmAfter);
    outside_[0] = outside_[1] = false;
    running_ = true;
    ++changes_;
}

void Quality::Add(const std::uint16_t* words, long long index, const std::string& time) {
    const RecordSamples samples(words);
    lastIndex_ = index;
    for (Channel c : {Channel::kA, Channel::kB}) {
        const ChannelSample& s = samples.Of(c);
        const int i = Index(c);
        acc_[i].Add(s);
        outside_[i] = s.Outside();
        const AlarmStep step = detectors_[i].Add(index, time, s);
        if (step.started) {
            alarmed_[i] = true;
            ++changes_;
        }
        if (step.ended) Event(*step.ended);
    }
}

void Quality::EndRun() {
    for (AlarmDetector& d : detectors_)
        if (auto event = d.Finish()) Event(*event);
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
