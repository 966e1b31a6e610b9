// Teach, reset of max/min, and the zoom toggle.
#pragma once

int CC_ButtonTeach(int panel, int control, int event, void* callbackData, int eventData1,
                   int eventData2);
int CC_ButtonReset(int panel, int control, int event, void* callbackData, int eventData1,
                   int eventData2);
int CC_TOGBTN_Zoom(int panel, int control, int event, void* callbackData, int eventData1,
                   int eventData2);
