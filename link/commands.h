// Device commands of the sensor link: connect, echo check, firmware text, 64-word block read,
// max/min reset and parameter read. Each runs to completion (send, wait, evaluate, report) and
// writes its outcome to the status line.
#pragma once

#include <cstdint>
#include <vector>

#include "model.h"

void InitRS232(int port);
int CheckComLine(int port);
int GetFirmwareInfo();
int ReadData64(int start, int selector);
void ResetMaxMin();
void PushGET(int target);

// The steps behind InitRS232, for callers that need to know which one failed.
// Opens `port` with the line's settings and installs the receive notification; returns the
// open's result (negative: an error code for OpenErrorText).
int OpenLine(int port);
enum class ConnectResult { kConnected, kCannotOpen, kNoEcho, kNoParameters, kNoFirmware };
// The connect sequence: open, echo check, parameter read from RAM, firmware text. szStatus
// holds the outcome's text; InitRS232 is this and showing it.
ConnectResult Connect(int port);

// The exchange of a parameter read: true, and the set in the parameter variables, when the
// reply came. PushGET is this (for RAM and EEPROM) and ShowParameterRead.
bool ReadParameters(int target);
// The exchange of ResetMaxMin: true when the sensor answered in time.
bool ResetExtremes();
// Range-corrects and shows the parameter set, shows szStatus and draws the tolerance window.
void ShowParameterRead();

// Writes `words` into the sensor's RAM or EEPROM, then reads the same target back and
// compares; a difference is confirmed by a second read 100 ms later.
struct WriteCheck {
    bool replied = false;        // the read-back came
    std::vector<int> differing;  // packet words that differ
    std::uint16_t readBack[PNUM] = {};
};
WriteCheck WriteParameters(int target, const std::uint16_t* words);

// The commands that read and write the parameter set of a target (RAM or EEPROM).
int ReadCommand(int target);
int WriteCommand(int target);

// Text the status line shows for a negative open result.
const char* OpenErrorText(int code);

// Shows `text` at once where the link's outcomes go (the main panel's status line).
void ShowStatus(const char* text);
// Where ShowStatus writes; none by default. The link knows nothing of the panels.
void SetStatusView(void (*show)(const char* text));

// How a parameter read shows its result. The link knows nothing of the panels: the parameter
// mapping installs these at start-up. `showParameters` range-corrects and shows the set;
// `drawToleranceWindow` draws the window for the evaluation mode on the panel;
// `selectRamTarget` shows RAM as the parameter target once a line check has chosen it.
struct ParameterView {
    void (*showParameters)() = nullptr;
    void (*drawToleranceWindow)() = nullptr;
    void (*selectRamTarget)() = nullptr;
};
void SetParameterView(ParameterView view);
