// Faults the simulated sensor can inject into its reply to one command number.
#pragma once

#include <optional>
#include <string>

namespace sim {

enum class FaultKind {
    kNoReply,    // the command is carried out, the reply is not sent
    kLate,       // arg = extra delay in seconds
    kCut,        // arg = number of reply bytes kept
    kLengthen,   // arg = number of bytes appended
    kWrongSync,  // arg = the sync word sent instead (default 0xAA00)
    kGarbage,    // random bytes of the reply's length
    kHangUp,     // the sensor side disappears
    kIgnore,     // the command is neither carried out nor answered
};

struct Fault {
    FaultKind kind = FaultKind::kNoReply;
    double arg = 0.0;
    bool once = false;  // cleared after it fired
};

struct FaultSpec {
    int command = 0;
    Fault fault;
};

// Parses "CMD:KIND[:ARG]", KIND one of noreply, late, cut, lengthen, badsync, garbage, hangup,
// ignore. On a write (1, 3), late delays the store itself: an EEPROM that takes time to store.
// Returns nullopt with a reason in *error when the text is not understood.
std::optional<FaultSpec> ParseFault(const std::string& text, bool once, std::string* error);
const char* FaultKindName(FaultKind kind);

}  // namespace sim
