// Run-mode recording: every measurement record run mode receives becomes a row of a CSV file
// (the layout qtor-ctl's record writes, link/record_csv.h), from the command line
// (--record FILE) or the main panel's Record toggle; the alarms' events go to NAME-events.csv
// beside it, and what made the recording to NAME-info.json.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "alarms.h"
#include "record_csv.h"
#include "record_info.h"

class Recorder {
  public:
    Recorder() = default;
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // Creates `path` with its header row, its events file and its info file (what `describe`
    // gives), and records into them from now on, ending a recording under way. With
    // `refuseExisting` an existing file is left alone. False, with the reason in *error, when a
    // file cannot be created.
    bool Start(const std::string& path, bool refuseExisting, std::string* error);
    // Writes what is buffered and closes the file; false when rows did not reach it.
    bool Stop();
    bool Recording() const { return writer_.IsOpen(); }
    // Rows written since the recording started: the index of the next row.
    long long Rows() const { return writer_.Count(); }
    // The time text of the last row written.
    const std::string& LastTime() const { return writer_.LastTime(); }
    const std::string& Path() const { return writer_.Path(); }

    // One row for the record in `words` (its 16 words as received). A failed write ends the
    // recording, keeping what was written, and calls onFailure with the file's path.
    void RecordMeasurement(const std::string& time, const std::uint16_t* words);
    // One row of the events file.
    void RecordEvent(const AlarmEvent& event);
    // A parameter set written to the sensor ("RAM" or "EEPROM") joins the info file.
    void RecordParameters(const std::string& target, const std::uint16_t* words);
    // Writes what is buffered (run mode calls it when it ends; a timer does so every half
    // second, so an unplugged sensor or a crash loses at most the last second).
    void FlushRecording();

    std::function<void(const std::string& path)> onFailure;
    // What a recording starts with: the program, the port, the sensor and its set.
    std::function<RecordingInfo()> describe;

  private:
    void Failed();
    RecordWriter writer_;
    CsvAppender events_;
    RecordingInfo info_;
    int flushTimer_ = 0;
};
