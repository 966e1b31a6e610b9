#include "recording.h"

#include <algorithm>
#include <filesystem>

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
    const std::string infoPath = InfoPathFor(path);
    // Refused before the recording is made, which would then block the next start.
    for (const std::string& beside : {EventsPathFor(path), infoPath}) {
        if (std::error_code ec; refuseExisting && std::filesystem::exists(beside, ec)) {
            *error = beside + " exists; not overwritten";
            return false;
        }
    }
    if (!writer_.Open(path, refuseExisting, error)) return false;
    info_ = describe ? describe() : RecordingInfo{};
    if (!events_.Open(EventsPathFor(path), AlarmEventsCsvHeader(), refuseExisting, error) ||
        !WriteRecordingInfo(infoPath, info_, error)) {
        writer_.Close();
        events_.Close();
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
    if (!writer_.IsOpen()) return;
    const bool first = writer_.Count() == 0;
    if (!writer_.Add(time, words)) return Failed();
    // A recording started before the sensor answered (--record) learns its firmware and set
    // with its first row.
    if (first && describe) {
        RecordingInfo now = describe();
        now.started = info_.started;
        info_ = std::move(now);
        if (std::string error; !WriteRecordingInfo(InfoPathFor(writer_.Path()), info_, &error))
            Failed();
    }
}

void Recorder::RecordEvent(const AlarmEvent& event) {
    if (events_.IsOpen() && !events_.Add(AlarmEventCsvRow(event))) Failed();
}

void Recorder::RecordParameters(const std::string& target, const std::uint16_t* words) {
    if (!writer_.IsOpen()) return;
    RecordingInfo::Set& set = info_.parameters.emplace_back();
    set.time = RecordTimeText(std::chrono::system_clock::now());
    set.target = target;
    std::copy(words, words + PNUM, set.words.begin());
    if (std::string error; !WriteRecordingInfo(InfoPathFor(writer_.Path()), info_, &error))
        Failed();
}

void Recorder::FlushRecording() {
    if (writer_.IsOpen() && !(writer_.Flush() && events_.Flush())) Failed();
}
