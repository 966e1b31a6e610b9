#include "alarms.h"

#include <algorithm>
#include <utility>

AlarmDetector::AlarmDetector(std::string channel, long long alarmAfter)
    : channel_(std::move(channel)), alarmAfter_(std::max(alarmAfter, 1LL)) {}

AlarmStep AlarmDetector::Add(long long index, std::string_view time, const ChannelSample& sample) {
    AlarmStep step;
    if (!sample.Outside()) {
        if (Active()) step.ended = std::move(run_);
        run_ = AlarmEvent{};
        return step;
    }
    const double distance =
        sample.value < sample.low ? sample.low - sample.value : sample.value - sample.high;
    if (run_.records == 0) {
        run_.channel = channel_;
        run_.first = index;
        run_.time = time;
        run_.low = sample.low;
        run_.high = sample.high;
        run_.worst = sample.value;
        worstDistance_ = distance;
    } else if (distance > worstDistance_) {
        run_.worst = sample.value;
        worstDistance_ = distance;
    }
    run_.last = index;
    ++run_.records;
    step.started = run_.records == alarmAfter_;
    return step;
}

std::optional<AlarmEvent> AlarmDetector::Finish() {
    std::optional<AlarmEvent> event;
    if (Active()) event = std::move(run_);
    run_ = AlarmEvent{};
    return event;
}

AlarmEvent LinkLostEvent(std::string time, long long lastIndex) {
    AlarmEvent e;
    e.channel = "link";
    e.first = e.last = lastIndex;
    e.time = std::move(time);
    return e;
}

namespace {

// Quoted only when the text would otherwise break the row.
std::string CsvCell(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

}  // namespace

std::string AlarmEventsCsvHeader() { return "channel,first,last,records,worst,low,high,time\n"; }

std::string AlarmEventCsvRow(const AlarmEvent& e) {
    std::string row = CsvCell(e.channel) + "," + std::to_string(e.first) + "," +
                      std::to_string(e.last) + "," + std::to_string(e.records) + ",";
    if (!e.IsLink())
        row += NumberText(e.worst) + "," + std::to_string(e.low) + "," + std::to_string(e.high);
    else
        row += ",,";
    return row + "," + CsvCell(e.time) + "\n";
}
