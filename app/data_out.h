// What leaves the program besides the sensor's frames: the run-mode recording (Record toggle),
// the protocol trace (Trace toggle), and every graph's image or data from its context menu;
// and the pause of the strip charts.
#pragma once

int CC_TOGBTN_Record(int panel, int control, int event, void* callbackData, int eventData1,
                     int eventData2);
int CC_TOGBTN_Trace(int panel, int control, int event, void* callbackData, int eventData1,
                    int eventData2);
int CC_GraphMenu(int panel, int control, int event, void* callbackData, int eventData1,
                 int eventData2);
int CC_TOGBTN_Pause(int panel, int control, int event, void* callbackData, int eventData1,
                    int eventData2);
// A click on a channel's state acknowledges its alarm.
int CC_BTNStateA(int panel, int control, int event, void* callbackData, int eventData1,
                 int eventData2);
int CC_BTNStateB(int panel, int control, int event, void* callbackData, int eventData1,
                 int eventData2);
