#include "recording_file.h"

#include <charconv>
#include <limits>
#include <sstream>

#include "field_text.h"

namespace {

constexpr int kColumns = 2 + protocol::kWords;
// No row is shorter than "t,0," and 16 one-digit words: a text's size bounds its rows, and one
// reservation spares the copies of a growing vector (pages never touched cost nothing).
constexpr std::size_t kShortestRow = 4 + 2 * protocol::kWords;

// Digits only, the whole field: from_chars alone would take "12abc" as 12.
template <typename T>
bool Unsigned(std::string_view field, T max, T* value) {
    unsigned long long v = 0;
    const char* end = field.data() + field.size();
    const auto r = std::from_chars(field.data(), end, v);
    if (field.empty() || r.ec != std::errc() || r.ptr != end ||
        v > static_cast<unsigned long long>(max))
        return false;
    *value = static_cast<T>(v);
    return true;
}

// Parses one row into `row`; false with the reason in `why`.
bool ParseRow(std::string_view line, RecordingRow* row, std::string* why) {
    if (line.empty()) {
        *why = "empty line";
        return false;
    }
    std::string_view fields[kColumns];
    int count = 0;
    std::size_t at = 0;
    for (;;) {
        const std::size_t comma = line.find(',', at);
        const std::string_view field =
            line.substr(at, comma == std::string_view::npos ? std::string_view::npos : comma - at);
        if (count < kColumns) fields[count] = field;
        ++count;
        if (comma == std::string_view::npos) break;
        at = comma + 1;
    }
    if (count != kColumns) {
        *why = std::to_string(count) + " values, expected " + std::to_string(kColumns);
        return false;
    }
    if (fields[0].empty()) {
        *why = "no time";
        return false;
    }
    if (!Unsigned(fields[1], std::numeric_limits<long long>::max(), &row->index)) {
        *why = "index " + QuotedField(fields[1]) + " is not a whole number from 0";
        return false;
    }
    for (int k = 0; k < protocol::kWords; ++k) {
        if (!Unsigned(fields[2 + k], std::uint16_t{0xFFFF}, &row->words[k])) {
            *why = std::string(protocol::kRecordWordNames[k]) + " " + QuotedField(fields[2 + k]) +
                   " is not a word 0..65535";
            return false;
        }
    }
    row->time.assign(fields[0]);
    return true;
}

}  // namespace

std::string PathBeside(const std::string& recordingPath, const std::string& suffix) {
    const std::size_t slash = recordingPath.find_last_of("/\\");
    const std::size_t dot = recordingPath.rfind('.');
    const bool extension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    return (extension ? recordingPath.substr(0, dot) : recordingPath) + suffix;
}

std::string InfoPathFor(const std::string& recordingPath) {
    return PathBeside(recordingPath, "-info.json");
}

std::string RecordingHeader() {
    std::string h = "time,index";
    for (const char* name : protocol::kRecordWordNames) h += std::string(",") + name;
    return h;
}

bool ParseRecordingRow(std::string_view line, RecordingRow* row, std::string* why) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return ParseRow(line, row, why);
}

RecordingReader::RecordingReader(std::istream& in, bool takeLast)
    : lines_(in, kLongestRecordingLine), takeLast_(takeLast), header_(RecordingHeader()) {}

bool RecordingReader::Fail(long long line, std::string why) {
    refusal_.errorLine = line;
    refusal_.reason = std::move(why);
    done_ = true;
    return false;
}

bool RecordingReader::Next(RecordingRow* row) {
    while (!done_) {
        std::string_view line;
        const LineReader::Got got = lines_.Next(&line);
        switch (got) {
            case LineReader::Got::kEnd:
                done_ = true;
                if (!started_) return Fail(1, "empty file, expected a recording's header");
                return false;
            case LineReader::Got::kReadError:
                readFailed_ = true;
                return Fail(lines_.Number() + 1, "cannot be read");
            case LineReader::Got::kTooLong:
                return Fail(lines_.Number(), "longer than " +
                                                 std::to_string(kLongestRecordingLine) +
                                                 " characters, no recording's line is");
            case LineReader::Got::kLine:
            case LineReader::Got::kLast: break;
        }
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!started_) {
            // A header is written whole, so one without its line break still counts.
            started_ = true;
            if (line != header_) return Fail(1, "not a recording's header");
            continue;
        }
        std::string why;
        if (got == LineReader::Got::kLast) {
            done_ = true;
            if (takeLast_ && ParseRow(line, row, &why)) return true;
            leftOut_ = lines_.Number();
            return false;
        }
        if (!ParseRow(line, row, &why)) return Fail(lines_.Number(), why);
        return true;
    }
    return false;
}

namespace {

Recording ReadAll(RecordingReader& reader, std::size_t expectedRows) {
    Recording r;
    r.rows.reserve(expectedRows);
    RecordingRow row;
    while (reader.Next(&row)) r.rows.push_back(row);
    if (!reader.Refusal().Ok()) {
        static_cast<LineRefusal&>(r) = reader.Refusal();
        r.rows = {};
    }
    return r;
}

}  // namespace

Recording ParseRecording(std::string_view text) {
    std::istringstream in{std::string(text)};
    RecordingReader reader(in, false);
    return ReadAll(reader, text.size() / kShortestRow);
}

Recording ReadRecording(std::istream& in) {
    std::size_t expected = 0;
    const std::streampos at = in.tellg();  // -1 for a stream that cannot seek: no reservation
    if (at != std::streampos(-1)) {
        if (in.seekg(0, std::ios::end)) {
            const std::streamoff left = in.tellg() - at;
            if (left > 0) expected = static_cast<std::size_t>(left / kShortestRow);
        }
        in.clear();
        in.seekg(at);
    }
    RecordingReader reader(in, false);
    return ReadAll(reader, expected);
}
