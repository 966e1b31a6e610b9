#include "recording_file.h"

#include <charconv>
#include <limits>

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

// Takes the lines one by one; false once a line is refused.
class Parser {
  public:
    explicit Parser(Recording* r) : r_(r), header_(RecordingHeader()) {}

    // `terminated`: the line ended with a line break.
    bool Line(std::string_view line, bool terminated) {
        ++number_;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (number_ == 1) {
            // A header is written whole, so one without its line break still counts.
            if (line != header_) return Fail("not a recording's header");
            return true;
        }
        if (!terminated) return true;  // a row still being written
        RecordingRow row;
        std::string why;
        if (!ParseRow(line, &row, &why)) return Fail(why);
        r_->rows.push_back(std::move(row));
        return true;
    }
    void End(bool readError) {
        if (readError) {
            ++number_;
            Fail("cannot be read");
        } else if (number_ == 0) {
            Fail("empty file, expected a recording's header");
        }
    }

  private:
    bool Fail(std::string why) {
        r_->errorLine = number_ == 0 ? 1 : number_;
        r_->reason = std::move(why);
        r_->rows = {};
        return false;
    }
    Recording* r_;
    std::string header_;
    long long number_ = 0;
};

}  // namespace

std::string RecordingHeader() {
    std::string h = "time,index";
    for (const char* name : protocol::kRecordWordNames) h += std::string(",") + name;
    return h;
}

Recording ParseRecording(std::string_view text) {
    Recording r;
    r.rows.reserve(text.size() / kShortestRow);
    Parser p(&r);
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const bool terminated = end != std::string_view::npos;
        if (!p.Line(text.substr(0, end), terminated)) return r;
        text.remove_prefix(terminated ? end + 1 : text.size());
    }
    p.End(false);
    return r;
}

Recording ReadRecording(std::istream& in) {
    Recording r;
    const std::streampos at = in.tellg();  // -1 for a stream that cannot seek: no reservation
    if (at != std::streampos(-1)) {
        if (in.seekg(0, std::ios::end)) {
            const std::streamoff left = in.tellg() - at;
            if (left > 0) r.rows.reserve(static_cast<std::size_t>(left / kShortestRow));
        }
        in.clear();
        in.seekg(at);
    }
    Parser p(&r);
    std::string line;
    while (std::getline(in, line)) {
        // getline stops at the end of the stream without a line break too, and says so by eof.
        if (!p.Line(line, !in.eof())) return r;
    }
    p.End(in.bad());
    return r;
}
