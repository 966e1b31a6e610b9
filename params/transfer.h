// Parameter target selection, send and get, and the popup switch.
#pragma once

#include <string>
#include <vector>

int CC_RBTRam(int panel, int control, int event, void* callbackData, int eventData1,
              int eventData2);
int CC_RBTEeprom(int panel, int control, int event, void* callbackData, int eventData1,
                 int eventData2);
int CC_RBTFile(int panel, int control, int event, void* callbackData, int eventData1,
               int eventData2);
int CC_BIN_Sw_ParaSelect(int panel, int control, int event, void* callbackData, int eventData1,
                         int eventData2);
int CC_BTNSend(int panel, int control, int event, void* callbackData, int eventData1,
               int eventData2);
int CC_BTNGet(int panel, int control, int event, void* callbackData, int eventData1,
              int eventData2);

// Selects RAM as target on the radio buttons and in `target`.
void SelectRamTarget();

// "Parameters sent - read-back differs: <names>!" for the differing packet words, the names as
// the panels show them, as many as fit the status line.
std::string ReadBackDiffersText(const std::vector<int>& words);
