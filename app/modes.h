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

// Puts the 128 words of databuf into ring order in newbuf: word 0 holds the ring position,
// which is replaced by word 1; the first two ordered values are replaced by the third.
void RingOrder(double* databuf, double* newbuf);

// Centre and limits of the data-buffer graph for an evaluation mode.
struct BufferLines {
    int centre = 0, upper = 0, lower = 0;
};
BufferLines DataBufferLines(int eModeA, int tValA, int tValB, int tTol);
