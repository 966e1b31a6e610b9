// Plot routines: video curves, data buffer, video bar graphs, raw strip charts and the
// tolerance window, drawn from the program-wide model on the main panel.
#pragma once

#include <cstdint>

#include "ranges.h"

void PlotDATACurveA(const std::uint16_t* samples);
void PlotDATACurveB(const std::uint16_t* samples);
void PlotDATABuffer(const double* data);
void PlotVIDEOBarGraph();
void PlotRAWGraphA();
void PlotRAWGraphB();
void PlotTOLWindow(int evalMode, int posA, int posB);

// Shows the measured values, edges, bar graphs and strip charts as old, with the time of the
// last record in their tooltips, until the next record is drawn (after a time-out, an unplugged
// sensor, a port change).
void MarkValuesStale();
bool ValuesStale();
