// What made a recording, kept beside it as NAME-info.json: the program and its version, the
// port and its device, the sensor's firmware, the alarms' K, when the recording started, and
// the parameter set at the start and after each later write to the sensor. A report or a
// reader years later knows from it which sensor, set and program the rows came from.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "model.h"
#include "recording_file.h"

struct RecordingInfo {
    std::string program;  // "qtor-kmb 2.4.0"
    std::string port;     // "COM1"
    std::string device;   // what the port opens, "/dev/ttyUSB0"; "" when unknown
    std::string firmware;
    std::string started;  // local time, as the rows give theirs
    long long alarmAfter = 3;
    struct Set {
        std::string time;
        std::string target;  // "start", "RAM" or "EEPROM"
        std::array<std::uint16_t, PNUM> words{};
    };
    std::vector<Set> parameters;  // at the start, then each write
};

// The info as one JSON object, the parameter set under the words' names in packet order.
std::string RecordingInfoJson(const RecordingInfo& info);
// Writes `path` whole: a temporary file beside it, then renamed over it, so that a reader or a
// crash never meets half a file. False with the reason in *error.
bool WriteRecordingInfo(const std::string& path, const RecordingInfo& info, std::string* error);
