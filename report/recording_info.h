// What a recording's information file (NAME-info.json beside NAME.csv) says of the run that
// made it: the program, the line, the firmware, the start and the parameter set.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "recording_file.h"

struct InfoSummary {
    std::string program, port, device, firmware, started;
    std::optional<long long> alarmAfter;
    // The parameter set at the start, name and value, in word order.
    std::vector<std::pair<std::string, std::string>> parameters;
    long long laterWrites = 0;  // parameter sets written after the start
};

// The information file at `path`; nothing, with the reason in *why, when it is missing or is
// no such file. What a field lacks stays empty.
std::optional<InfoSummary> ReadInfoSummary(const std::string& path, std::string* why);
