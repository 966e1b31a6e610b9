// Reading back a recording: the CSV the program's run-mode recording and `qtor-ctl record`
// write, a header line, then per record its time text, its index and its 16 words.
#pragma once

#include <array>
#include <cstdint>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

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

// A last line without its line break is a row still being written: it is left out. A trailing
// "\r" on a line is allowed.
Recording ParseRecording(std::string_view text);
Recording ReadRecording(std::istream& in);
