// Start-up, the panel shell and shutdown.
#pragma once

#include <string>
#include <vector>

#include "panels.h"
#include "replay.h"

class Station;

// What the command line asks for.
struct Options {
    std::vector<std::string> ports;  // devices for ports 1, 2, ...
    std::string record;              // CSV file run mode records to
    std::string trace;               // protocol trace file
    int demo = 0;                    // simulated sensors
    long long alarmAfter = 3;
    std::string replay;  // file played back instead of a sensor
    Replay::Speed speed = Replay::Speed::kReal;
    std::string mqtt;              // the broker for this run
    std::string mqttPasswordFile;  // its password, from a file
};
enum class Parsed { Run, Exit, Error };
// Reads the options; --help and --version print and give Exit, a bad option says why on
// standard error and gives Error.
Parsed ParseCommandLine(int argc, char** argv, Options* options);
// What the options ask of a station whose panels are adopted: the alarm's K, the recording
// and the trace (an existing file refused before either is made). -1 after saying why.
int ApplyOptions(Station& station, const Options& options);
// Starts the connect to the sensor, or plays back the file --replay names: 2 when it is
// refused.
int StartLine(Station& station, const Options& options);

// The program's logic entry: returns the process exit status (0 after a normal end, -1 when
// the platform or a panel cannot be initialised).
int WinMain(int argc, char** argv);

// Loads both panels and checks that they carry every control the program addresses and name
// only callbacks it registered; -1 after one line on standard error when they do not.
int LoadPanels(const char* file, PanelHandles* loaded);

// The station's start values, the information texts, the panel's parameter values and the
// initial cursors and plot arrays.
void InitVars(Station& s);
// For tools beside the program: registers the callbacks, loads both panels into `s` and gives
// it its start values; -1 when the panels cannot be loaded.
int OpenStation(Station& s);
void ShowInfoText(int panel, const char* text, int left, int top, int pointSize);
// Makes every callback of the panel file findable by name.
void RegisterCallbacks();

int CC_PANEL(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int CC_POPUP(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int CC_DropDCom(int panel, int control, int event, void* callbackData, int eventData1,
                int eventData2);
