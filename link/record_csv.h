// The CSV layout of recorded measurement records, shared by the program's run-mode recording
// and qtor-ctl: a header row, then one row per record with the local time (ISO 8601 with
// milliseconds), the record's index since recording started and the record's 16 words under
// their names. core/recording_file.h reads it back.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include "recording_file.h"

// "time,index,Avalue,Bvalue,...,sIndex" and a line break.
std::string RecordCsvHeader();
// A record's time as its row gives it: local time, ISO 8601 with milliseconds.
std::string RecordTimeText(std::chrono::system_clock::time_point when);
// One row for `words` (the 16 words of a measurement record) received at `when`.
std::string RecordCsvRow(std::chrono::system_clock::time_point when, long long index,
                         const std::uint16_t* words);
// The same with the time as its text gives it.
std::string RecordCsvRow(const std::string& time, long long index, const std::uint16_t* words);
// The events file beside a recording: "run.csv" gives "run-events.csv".
std::string EventsPathFor(const std::string& recordingPath);

// Appends rows to a CSV file, written through a buffer that is flushed at least once a
// second, so a crash or an unplugged sensor loses at most the last second.
class CsvAppender {
  public:
    CsvAppender() = default;
    ~CsvAppender();
    CsvAppender(const CsvAppender&) = delete;
    CsvAppender& operator=(const CsvAppender&) = delete;

    // Creates `path` and writes `header`. With `refuseExisting` an existing file is left
    // alone and the open fails. False with the reason in *error.
    bool Open(const std::string& path, const std::string& header, bool refuseExisting,
              std::string* error);
    // Writes one row (its line break included); false once a write has failed (what was
    // written before stays).
    bool Add(const std::string& row);
    // Writes what is buffered; false when that fails.
    bool Flush();
    // Writes what is buffered and closes the file; false when any row did not reach it.
    bool Close();
    bool IsOpen() const { return file_ != nullptr; }
    bool Failed() const { return failed_; }
    const std::string& Path() const { return path_; }

  private:
    std::FILE* file_ = nullptr;
    std::string path_;
    bool failed_ = false;
    std::chrono::steady_clock::time_point lastFlush_{};
};

// A recording of measurement records: a header, then a row per record, indexed from 0.
class RecordWriter {
  public:
    bool Open(const std::string& path, bool refuseExisting, std::string* error);
    // Writes one row with the time now, or with `time`; false once a write has failed.
    bool Add(const std::uint16_t* words);
    bool Add(const std::string& time, const std::uint16_t* words);
    bool Flush() { return file_.Flush(); }
    bool Close() { return file_.Close(); }
    bool IsOpen() const { return file_.IsOpen(); }
    bool Failed() const { return file_.Failed(); }
    // Rows written: the index the next row gets.
    long long Count() const { return index_; }
    // The time text of the last row written.
    const std::string& LastTime() const { return lastTime_; }
    const std::string& Path() const { return file_.Path(); }

  private:
    CsvAppender file_;
    long long index_ = 0;
    std::string lastTime_;
};
