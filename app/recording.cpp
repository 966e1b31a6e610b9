#include "recording.h"

#include "event_loop.h"

Recorder::~Recorder() {
    if (flushTimer_ > 0) StopPeriodic(flushTimer_);
}

void Recorder::Failed() {
    const std::string path = writer_.Path();
    writer_.Close();
    events_.Close();
    if (onFailure) onFailure(path);
}

bool Recorder::Start(const std::string& path, bool refuseExisting, std::string* error) {
    Stop();
    if (!writer_.Open(path, refuseExisting, error)) return false;
    if (!events_.Open(EventsPathFor(path), AlarmEventsCsvHeader(), refuseExisting, error)) {
        writer_.Close();
        return false;
    }
    if (flushTimer_ <= 0) flushTimer_ = StartPeriodic(0.5, [this] { FlushRecording(); });
    return true;
}

bool Recorder::Stop() {
    const bool events = events_.Close();
    return writer_.Close() && events;
}

void Recorder::RecordMeasurement(const std::string& time, const std::uint16_t* words) {
    if (writer_.IsOpen() && !writer_.Add(time, words)) Failed();
}

void Recorder::RecordEvent(const AlarmEvent& event) {
    if (events_.IsOpen() && !events_.Add(AlarmEventCsvRow(event))) Failed();
}

void Recorder::FlushRecording() {
    if (writer_.IsOpen() && !(writer_.Flush() && events_.Flush())) Failed();
}
