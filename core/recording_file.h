// Reading back a recording: the CSV the program's run-mode recording and `qtor-ctl record`
// write, a header line, then per record its time text, its index and its 16 words.
#pragma once

#include <array>
#include <cstdint>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

#include "line_reader.h"
#include "line_refusal.h"
#include "protocol.h"

struct RecordingRow {
    std::string time;
    long long index = 0;
    std::array<std::uint16_t, protocol::kWords> words{};
};

// The rows of a recording, or the first line that is not one.
struct Recording : LineRefusal {
    std::vector<RecordingRow> rows;
};

// "time,index,Avalue,...,sIndex", without a line break.
std::string RecordingHeader();

// A file beside a recording: "run.csv" and "-events.csv" give "run-events.csv".
std::string PathBeside(const std::string& recordingPath, const std::string& suffix);
// What made the recording, beside it: "run.csv" gives "run-info.json".
std::string InfoPathFor(const std::string& recordingPath);

// No row of a recording is longer: a longer line is refused, not read on.
inline constexpr std::size_t kLongestRecordingLine = 4096;

// A recording's rows one by one, in memory bounded by its longest line. A trailing "\r" on a
// line is allowed.
class RecordingReader {
  public:
    // A last line without its line break is a row still being written, or one whose writer
    // stopped. With `takeLast` it is taken when it is a whole row; else, or when it is not
    // one, it is left out (LeftOut()) instead of refused.
    RecordingReader(std::istream& in, bool takeLast);

    // The next row; false at the end, or at the first line that is no row (Refusal()).
    bool Next(RecordingRow* row);
    const LineRefusal& Refusal() const { return refusal_; }
    // The refusal is the stream's failure, not the file's content.
    bool ReadFailed() const { return readFailed_; }
    // The number of the incomplete last line left out; 0 when none was.
    long long LeftOut() const { return leftOut_; }
    // Where the row just handed out starts in the stream.
    std::uint64_t RowOffset() const { return lines_.Offset(); }

  private:
    bool Fail(long long line, std::string why);
    LineReader lines_;
    bool takeLast_;
    bool started_ = false, done_ = false;
    std::string header_;
    LineRefusal refusal_;
    long long leftOut_ = 0;
    bool readFailed_ = false;
};

// One row's line, without its line break; false with the reason in *why.
bool ParseRecordingRow(std::string_view line, RecordingRow* row, std::string* why);

// Every row at once, the incomplete last line left out. A refusal keeps no rows.
Recording ParseRecording(std::string_view text);
Recording ReadRecording(std::istream& in);
