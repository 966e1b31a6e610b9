// Device commands of a sensor link: connect, echo check, firmware text, 64-word block read,
// max/min reset, parameter read and the verified write. Each is a task that runs to its end
// (send, wait, evaluate, report) when awaited and writes its outcome to the link's status
// line; the objects it is handed must live until it has ended.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "sensor_link.h"

// Opens the link's port (`com`) and runs the connect sequence; shows szStatus, with the
// system's reason when the port cannot be opened.
Task<> InitRS232(SensorLink& link, ParameterSet& params);
// The echo check with the current parameter set: 1 when the sensor answered with 0x00AA.
Task<int> CheckComLine(SensorLink& link, const ParameterSet& params);
Task<int> GetFirmwareInfo(SensorLink& link);
// Reads 64 words from `start` of block `selector` into adcbufA, adcbufB or databuf of `plots`.
Task<int> ReadData64(SensorLink& link, int start, int selector, PlotArrays& plots);
// Block reads poll the queue themselves, so the notification is removed while they run: the
// blocks (start, selector) in turn; false, with the first failure's text in *failure, when
// one did not come whole.
Task<bool> ReadBlocks(SensorLink& link, std::vector<std::pair<int, int>> blocks, PlotArrays& plots,
                      std::string* failure);
Task<> ResetMaxMin(SensorLink& link);
// Reads the parameter set of `target` into `params` (DATFILE: already loaded) and shows it.
Task<> PushGET(SensorLink& link, int target, ParameterSet& params);

// The steps behind InitRS232, for callers that need to know which one failed.
// Opens the link's port with the line's settings and installs the receive notification;
// returns the open's result (negative: an error code for OpenErrorText).
Task<int> OpenLine(SensorLink& link);
enum class ConnectResult { kConnected, kCannotOpen, kNoEcho, kNoParameters, kNoFirmware };
// The connect sequence on the link's port: open, echo check, parameter read from RAM, firmware
// text. szStatus holds the outcome's text; InitRS232 is this and showing it.
Task<ConnectResult> Connect(SensorLink& link, ParameterSet& params);

// The exchange of a parameter read: true, and the set in `params`, when the reply came.
// PushGET is this (for RAM and EEPROM) and ShowParameterRead.
Task<bool> ReadParameters(SensorLink& link, int target, ParameterSet& params);
// The exchange of ResetMaxMin: true when the sensor answered in time.
Task<bool> ResetExtremes(SensorLink& link);
// Range-corrects and shows the parameter set, shows szStatus and draws the tolerance window.
void ShowParameterRead(SensorLink& link);

// Writes `words` into the sensor's RAM or EEPROM, then reads the same target back and
// compares; a difference is confirmed by a second read 100 ms later.
struct WriteCheck {
    bool replied = false;        // the read-back came
    std::vector<int> differing;  // packet words that differ
    std::uint16_t readBack[PNUM] = {};
};
Task<WriteCheck> WriteParameters(SensorLink& link, int target, const std::uint16_t* words);

// The commands that read and write the parameter set of a target (RAM or EEPROM).
int ReadCommand(int target);
int WriteCommand(int target);

// Text the status line shows for a negative open result.
const char* OpenErrorText(int code);
// "<text>: <reason>" (the open's text and why, as the system tells), cut at a word with "..."
// to fit the status line; `text` alone without a reason.
std::string WithReason(const std::string& text, const std::string& reason);
