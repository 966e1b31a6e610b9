// The acquisition modes: run (live records on the strip charts), video (the CCD lines of both
// channels) and data buffer (one fetch of the sensor's 128-value buffer), and the stop button.
#pragma once

int CC_BTNRun(int panel, int control, int event, void* callbackData, int eventData1,
              int eventData2);
int CC_BTNStop(int panel, int control, int event, void* callbackData, int eventData1,
               int eventData2);
int CC_BTNVideo(int panel, int control, int event, void* callbackData, int eventData1,
                int eventData2);
int CC_BTNData(int panel, int control, int event, void* callbackData, int eventData1,
               int eventData2);
