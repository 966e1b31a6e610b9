// The CSV layout of recorded measurement records, shared by the program's run-mode recording
// and qtor-ctl: a header row, then one row per record with the local time (ISO 8601 with
// milliseconds), the record's index since recording started and the record's 16 words under
// their names. core/recording_file.h reads it back.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

// "time,index,Avalue,Bvalue,...,sIndex" and a line break.
std::string RecordCsvHeader();
// One row for `words` (the 16 words of a measurement record) received at `when`.
std::string RecordCsvRow(std::chrono::system_clock::time_point when, long long index,
                         const std::uint16_t* words);

// Appends records to a CSV file, written through a buffer that is flushed at least once a
// second, so a crash or an unplugged sensor loses at most the last second.
class RecordWriter {
  public:
    RecordWriter() = default;
    ~RecordWriter();
    RecordWriter(const RecordWriter&) = delete;
    RecordWriter& operator=(const RecordWriter&) = delete;

    // Creates `path` and writes the header. With `refuseExisting` an existing file is left
    // alone and the open fails. False with the reason in *error.
    bool Open(const std::string& path, bool refuseExisting, std::string* error);
    // Writes one row; false once a write has failed (what was written before stays).
    bool Add(const std::uint16_t* words);
    // Writes what is buffered; false when that fails.
    bool Flush();
    // Writes what is buffered and closes the file; false when any row did not reach it.
    bool Close();
    bool IsOpen() const { return file_ != nullptr; }
    bool Failed() const { return failed_; }
    long long Count() const { return index_; }
    const std::string& Path() const { return path_; }

  private:
    std::FILE* file_ = nullptr;
    std::string path_;
    long long index_ = 0;
    bool failed_ = false;
    std::chrono::steady_clock::time_point lastFlush_{};
};
