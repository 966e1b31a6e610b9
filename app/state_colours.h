// The pale backgrounds that go with states in words (the link element, the channels' marks,
// the overview of several sensors): one meaning, one colour, wherever it is shown.
#pragma once

namespace colours {

constexpr int kGood = 0xC8ECC8;       // connected, OK
constexpr int kWarning = 0xFFE2A0;    // no reply, OUT
constexpr int kFailed = 0xF2C2C2;     // disconnected, cannot open
constexpr int kAlarm = 0xFF7070;      // ALARM
constexpr int kSimulated = 0xDCD4F6;  // a simulated sensor or a replay, no real line
constexpr int kNone = 0xE4E4E4;       // nothing yet

}  // namespace colours
