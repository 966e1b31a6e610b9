// Replay in the program: a recording or a protocol trace, from --replay or "Open recording...",
// played back through the displays that run, video and data-buffer mode draw, instead of a
// sensor; and the replay's controls.
#pragma once

#include <string>

#include "replay.h"

class Station;

// Loads `path` and starts playing it at `speed` with the station's port closed; false with
// "line N: why" (or why the file cannot be read) in *error, the station left as it was.
bool StartReplay(Station& s, const std::string& path, Replay::Speed speed, std::string* error);

int CC_BTNOpenRecording(int panel, int control, int event, void* callbackData, int eventData1,
                        int eventData2);
int CC_TOGBTN_Play(int panel, int control, int event, void* callbackData, int eventData1,
                   int eventData2);
int CC_DropSpeed(int panel, int control, int event, void* callbackData, int eventData1,
                 int eventData2);
int CC_SLIDE_Position(int panel, int control, int event, void* callbackData, int eventData1,
                      int eventData2);
