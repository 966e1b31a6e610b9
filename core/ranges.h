// The arithmetic behind the graphs' ranges and marks: data-buffer zoom and lines, strip-chart
// limits and tolerance windows. Integer arithmetic of at least 32 bits, on the values passed.
#pragma once

// The Y range of the data-buffer graph with zoom on, for the 128 values of `data`; false when
// the range would be empty and the full range stays.
struct ZoomRange {
    int low = 0, high = 0;
};
bool DataBufferZoom(const double* data, int ccdmaxpixel, ZoomRange* range);

// Centre and limits of the data-buffer graph for an evaluation mode.
struct BufferLines {
    int centre = 0, upper = 0, lower = 0;
};
BufferLines DataBufferLines(int eModeA, int tValA, int tValB, int tTol);

// Limits and zoom window of a strip chart for set-point `tVal` and tolerance `tTol`.
struct StripLimits {
    int upper = 0, lower = 0, low = 0, high = 0;
};
StripLimits StripChartLimits(int tVal, int tTol);

// Tolerance windows [low, high] of one evaluation mode, per video graph; `drawn` false where
// the mode draws nothing on that graph. posA and posB are the last measured values.
struct ToleranceWindow {
    bool drawn = false;
    double low = 0, high = 0;
};
struct ToleranceWindows {
    ToleranceWindow a, b;
};
struct ToleranceInputs {
    int tValA = 0, tValB = 0, tTol = 0, edcntA = 0, edcntB = 0;
};
ToleranceWindows ToleranceWindowsFor(int evalMode, const ToleranceInputs& in, int posA, int posB);
