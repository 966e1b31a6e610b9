// Plot routines: video curves, data buffer, video bar graphs, raw strip charts and the
// tolerance window, drawn from the program-wide model on the main panel.
#pragma once

#include <cstdint>

void PlotDATACurveA(const std::uint16_t* samples);
void PlotDATACurveB(const std::uint16_t* samples);
void PlotDATABuffer(const double* data);
void PlotVIDEOBarGraph();
void PlotRAWGraphA();
void PlotRAWGraphB();
void PlotTOLWindow(int evalMode, int posA, int posB);

// The Y range of the data-buffer graph with zoom on; false when the range would be empty and
// the full range stays.
struct ZoomRange {
    int low = 0, high = 0;
};
bool DataBufferZoom(const double* data, int ccdmaxpixel, ZoomRange* range);

// Limits and zoom window of a strip chart for set-point `tVal` and tolerance `tTol`.
struct StripLimits {
    int upper = 0, lower = 0, low = 0, high = 0;
};
StripLimits StripChartLimits(int tVal, int tTol);

// Tolerance windows [low, high] of one evaluation mode, per video graph; `drawn` false where
// the mode draws nothing on that graph.
struct ToleranceWindow {
    bool drawn = false;
    double low = 0, high = 0;
};
struct ToleranceWindows {
    ToleranceWindow a, b;
};
ToleranceWindows ToleranceWindowsFor(int evalMode, int posA, int posB);
