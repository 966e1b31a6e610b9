// Device commands of the sensor link: connect, echo check, firmware text, 64-word block read,
// max/min reset and parameter read. Each runs to completion (send, wait, evaluate, report) and
// writes its outcome to the status line.
#pragma once

void InitRS232(int port);
int CheckComLine(int port);
int GetFirmwareInfo();
int ReadData64(int start, int selector);
void ResetMaxMin();
void PushGET(int target);

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
