#include "run_quality.h"

RunQuality::RunQuality(long long alarmAfter)
    : detectors_{{AlarmDetector("A", alarmAfter), AlarmDetector("B", alarmAfter)}} {}

RunQuality::Step RunQuality::Add(const std::uint16_t* words, long long index,
                                 const std::string& time) {
    const RecordSamples samples(words);
    Step step;
    for (Channel c : {Channel::kA, Channel::kB}) {
        const ChannelSample& s = samples.Of(c);
        const int i = Index(c);
        acc_[i].Add(s);
        outside_[i] = s.Outside();
        AlarmStep alarm = detectors_[i].Add(index, time, s);
        step.started[i] = alarm.started;
        step.ended[i] = std::move(alarm.ended);
    }
    return step;
}

std::vector<AlarmEvent> RunQuality::Finish() {
    std::vector<AlarmEvent> events;
    for (AlarmDetector& d : detectors_)
        if (auto event = d.Finish()) events.push_back(*event);
    return events;
}

RowsQuality EvaluateRows(const std::vector<RecordingRow>& rows, long long last,
                         long long alarmAfter) {
    const std::size_t from =
        last > 0 && static_cast<std::size_t>(last) < rows.size() ? rows.size() - last : 0;
    RunQuality run(alarmAfter);
    RowsQuality result;
    for (std::size_t i = from; i < rows.size(); ++i) {
        const RecordingRow& row = rows[i];
        RunQuality::Step step = run.Add(row.words.data(), row.index, row.time);
        for (auto& ended : step.ended)
            if (ended) result.events.push_back(std::move(*ended));
    }
    for (AlarmEvent& e : run.Finish()) result.events.push_back(std::move(e));
    result.a = run.Stats(Channel::kA);
    result.b = run.Stats(Channel::kB);
    return result;
}
