// Reading back a protocol trace, to replay a session: per line the seconds since the start,
// TX or RX, the bytes in hex, and a note (a command frame's name; "(discarded)" on bytes a
// queue discard dropped). Then each command frame paired with the reply that came to it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "line_refusal.h"
#include "protocol.h"

enum class TraceDirection : std::uint8_t { kTx, kRx };

struct TraceEntry {
    double time = 0;                  // seconds since the trace began
    std::vector<std::uint8_t> bytes;  // never empty
    TraceDirection direction = TraceDirection::kTx;
    bool discarded = false;  // RX only: dropped by a queue discard, read by no one
};

// The lines of a trace, or the first line that is not one.
struct Trace : LineRefusal {
    std::vector<TraceEntry> entries;
};

// No trace holds a longer line (a read's bytes, three characters each) or a later time (over a
// year, in seconds since it began): a file that does is refused.
inline constexpr std::size_t kLongestTraceLine = 1 << 20;
inline constexpr double kLatestTraceTime = 366.0 * 24 * 3600;

// A last line without its line break is still being written: it is left out. A trailing "\r"
// on a line is allowed. An empty text is refused on line 1.
Trace ParseTrace(std::string_view text);

// A command frame written and the reply that came to it.
struct TraceExchange {
    double time = 0;  // of the command frame
    int command = 0;  // protocol::Command
    // The frame's 16 words; for a data block word 0 is the start index, word 1 the selector.
    protocol::Words request{};
    std::size_t replyBytes = 0;  // what the command is answered with: 36, 72, 128, 0 for writes
    // The bytes read after the frame until the next one written, cut to replyBytes; fewer when
    // the sensor did not answer in full.
    std::vector<std::uint8_t> reply;
    // Of a whole reply only, as the program takes it: a frame's 16 payload words, a data
    // block's 64 words, the firmware reply's 36 words.
    std::vector<std::uint16_t> words;
    std::string firmware;  // the firmware text: each word's low byte up to the first zero

    bool Whole() const { return reply.size() == replyBytes; }
};

// Frames written that are no command (not 36 bytes, no command sync, an unknown number) pair
// with nothing and end the reply of the command before them.
std::vector<TraceExchange> TraceExchanges(const std::vector<TraceEntry>& entries);
