// Start-up, the panel shell and shutdown.
#pragma once

#include "panels.h"

class Station;

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
