// The context menu of every graph and strip chart: its image (PNG or PDF, by the extension
// chosen) or its data as CSV, to a file chosen in a dialog. The pause of the strip charts.
#pragma once

int CC_GraphMenu(int panel, int control, int event, void* callbackData, int eventData1,
                 int eventData2);
int CC_TOGBTN_Pause(int panel, int control, int event, void* callbackData, int eventData1,
                    int eventData2);
