#include "trace_file.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "field_text.h"

namespace {

constexpr std::string_view kDiscarded = "(discarded)";
constexpr std::size_t kShortestLine = sizeof "0 RX 00\n" - 1;

// The value of a hex digit, -1 for any other character: one look-up per digit, as an hour's
// trace holds some 20 MB of hex. Capitals are taken too, for a trace edited by hand.
const std::array<std::int8_t, 256> kHex = [] {
    std::array<std::int8_t, 256> t{};
    t.fill(-1);
    for (int c = 0; c < 10; ++c) t['0' + c] = static_cast<std::int8_t>(c);
    for (int c = 0; c < 6; ++c) {
        t['a' + c] = static_cast<std::int8_t>(10 + c);
        t['A' + c] = static_cast<std::int8_t>(10 + c);
    }
    return t;
}();

int Hex(char c) { return kHex[static_cast<unsigned char>(c)]; }

std::string_view FirstWord(std::string_view text) { return text.substr(0, text.find(' ')); }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Seconds as written: digits, then a point and digits. from_chars alone would take "1e3",
// "inf" or "-1".
bool Seconds(std::string_view field, double* value) {
    std::size_t i = 0;
    while (i < field.size() && IsDigit(field[i])) ++i;
    if (i == 0) return false;
    if (i < field.size()) {
        if (field[i] != '.' || i + 1 == field.size()) return false;
        for (++i; i < field.size(); ++i)
            if (!IsDigit(field[i])) return false;
    }
    const auto r = std::from_chars(field.data(), field.data() + field.size(), *value,
                                   std::chars_format::fixed);
    return r.ec == std::errc() && r.ptr == field.data() + field.size();
}

// The name a command frame is traced with; nullptr for bytes that are no command frame.
const char* CommandNameOf(const std::vector<std::uint8_t>& bytes) {
    if (bytes.size() != protocol::kFrameBytes ||
        protocol::GetWord(bytes.data()) != protocol::kCommandSync)
        return nullptr;
    return protocol::CommandName(protocol::GetWord(bytes.data() + 2));
}

// Parses one line into `entry`; false with the reason in `why`.
bool ParseLine(std::string_view line, TraceEntry* entry, std::string* why) {
    if (line.empty()) {
        *why = "empty line";
        return false;
    }
    std::size_t space = line.find(' ');
    const std::string_view time = line.substr(0, space);
    if (time.empty()) {
        *why = "no time";
        return false;
    }
    if (!Seconds(time, &entry->time)) {
        *why = "time " + QuotedField(time) + " is not seconds";
        return false;
    }
    // A replay waits for each time in turn: one no trace can reach would wait for ever.
    if (entry->time > kLatestTraceTime) {
        *why = "time " + QuotedField(time) + " is beyond any trace's";
        return false;
    }
    if (space == std::string_view::npos) {
        *why = "no direction, expected TX or RX";
        return false;
    }
    line.remove_prefix(space + 1);
    space = line.find(' ');
    const std::string_view direction = line.substr(0, space);
    if (direction == "TX") {
        entry->direction = TraceDirection::kTx;
    } else if (direction == "RX") {
        entry->direction = TraceDirection::kRx;
    } else {
        *why = "unknown direction " + QuotedField(direction) + ", expected TX or RX";
        return false;
    }
    line.remove_prefix(space == std::string_view::npos ? line.size() : space);
    // The bytes, each " hh", up to the first field that is none: the note, if any.
    std::vector<std::uint8_t>& bytes = entry->bytes;
    bytes.reserve(line.size() / 3);
    std::size_t at = 0;
    for (; at + 3 <= line.size() && line[at] == ' '; at += 3) {
        if (at + 3 < line.size() && line[at + 3] != ' ') break;
        const int high = Hex(line[at + 1]);
        const int low = Hex(line[at + 2]);
        if (high < 0 || low < 0) break;
        bytes.push_back(static_cast<std::uint8_t>(high << 4 | low));
    }
    const std::string_view note = at < line.size() ? line.substr(at + 1) : std::string_view();
    const bool hasNote = at < line.size();
    if (bytes.empty() && !hasNote) {
        *why = "no bytes";
        return false;
    }
    const char* name = entry->direction == TraceDirection::kTx ? CommandNameOf(bytes) : nullptr;
    if (name) {
        if (!hasNote) {
            *why = std::string("no note, expected the command's name \"") + name + "\"";
            return false;
        }
        if (note != name) {
            *why = "note " + QuotedField(note) + " is not the command's name \"" + name + "\"";
            return false;
        }
    } else if (hasNote) {
        if (entry->direction == TraceDirection::kRx && note == kDiscarded && !bytes.empty()) {
            entry->discarded = true;
        } else {
            *why = "byte " + QuotedField(FirstWord(note)) + " is not two hex digits";
            return false;
        }
    }
    return true;
}

// What the sensor answers a command with, in bytes.
std::size_t ReplyBytes(int command) {
    switch (command) {
        case protocol::kWriteRam:
        case protocol::kWriteEeprom: return 0;
        case protocol::kFirmware: return protocol::kFirmwareBytes;
        case protocol::kDataBlock: return protocol::kBlockBytes;
        default: return protocol::kFrameBytes;
    }
}

// The reply's words as the program takes them; nothing of a reply cut short.
void Decode(TraceExchange* x) {
    if (!x->Whole() || x->reply.empty()) return;
    const std::uint8_t* r = x->reply.data();
    if (x->replyBytes == protocol::kFrameBytes) {
        x->words.resize(protocol::kWords);
        protocol::DecodePayload(r, x->words.data());
        return;
    }
    x->words.resize(x->replyBytes / 2);
    for (std::size_t i = 0; i < x->words.size(); ++i) x->words[i] = protocol::GetWord(r + 2 * i);
    if (x->command == protocol::kFirmware) {
        for (const std::uint16_t w : x->words) {
            const char c = static_cast<char>(w & 0xFF);
            if (c == '\0') break;
            x->firmware += c;
        }
    }
}

}  // namespace

Trace ParseTrace(std::string_view text) {
    Trace t;
    if (text.empty()) {
        t.errorLine = 1;
        t.reason = "empty file, expected a trace";
        return t;
    }
    // One pass to count the lines spares the copies of a growing vector; a flood of line breaks
    // reserves no more than that many shortest lines would.
    const auto lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
    t.entries.reserve(std::min(lines, text.size() / kShortestLine));
    long long number = 0;
    for (;;) {
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos) break;  // none left, or one still being written
        ++number;
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        TraceEntry entry;
        std::string why;
        const bool taken = line.size() <= kLongestTraceLine && ParseLine(line, &entry, &why);
        if (!taken) {
            if (why.empty())
                why = "longer than " + std::to_string(kLongestTraceLine) +
                      " characters, no trace's line is";
            t.entries = {};
            t.errorLine = number;
            t.reason = std::move(why);
            return t;
        }
        t.entries.push_back(std::move(entry));
        text.remove_prefix(end + 1);
    }
    return t;
}

std::vector<TraceExchange> TraceExchanges(const std::vector<TraceEntry>& entries) {
    std::vector<TraceExchange> out;
    // An exchange is large: moving them as the vector grows would cost as much as the pairing.
    out.reserve(static_cast<std::size_t>(
        std::count_if(entries.begin(), entries.end(),
                      [](const TraceEntry& e) { return e.direction == TraceDirection::kTx; })));
    bool reading = false;  // the last exchange's reply is being read
    for (const TraceEntry& e : entries) {
        if (e.direction == TraceDirection::kTx) {
            if (reading) Decode(&out.back());
            reading = CommandNameOf(e.bytes) != nullptr;
            if (!reading) continue;
            TraceExchange& x = out.emplace_back();
            x.time = e.time;
            x.command = protocol::GetWord(e.bytes.data() + 2);
            x.request = protocol::DecodePayload(e.bytes.data());
            x.replyBytes = ReplyBytes(x.command);
            x.reply.reserve(x.replyBytes);
        } else if (reading && !e.discarded) {
            std::vector<std::uint8_t>& reply = out.back().reply;
            const std::size_t take = std::min(e.bytes.size(), out.back().replyBytes - reply.size());
            reply.insert(reply.end(), e.bytes.begin(),
                         e.bytes.begin() + static_cast<std::ptrdiff_t>(take));
        }
    }
    if (reading) Decode(&out.back());
    return out;
}
