// Plot routines: video curves, data buffer, video bar graphs, raw strip charts and the
// tolerance window, drawn on one main panel from what each routine is passed. The object keeps
// only the drawing's own state: whether the values are shown as old, and when the last record
// was drawn.
#pragma once

#include <cstdint>
#include <string>

#include "model.h"
#include "ranges.h"

class Gui {
  public:
    int panelHandle = 0;               // the main panel
    std::uint16_t ccdmaxpixel = 1024;  // full scale of the graphs

    // Channel A's (B's) video samples over xArray with the threshold line thdArrayA (B).
    void PlotDATACurveA(const PlotArrays& plots);
    void PlotDATACurveB(const PlotArrays& plots);
    // The 128 values of `data` with the data-buffer lines of `plots`; `zoom` narrows the range.
    void PlotDATABuffer(const PlotArrays& plots, const double* data, bool zoom);
    // The record's values and edges, the bars and cursors of both video graphs, and the
    // set-points and tolerance in their fields as `params.ePoti` selects. Stores the cursor
    // positions in plots.curposA/B.
    void PlotVIDEOBarGraph(const MeasurementRecord& meas, const ParameterSet& params,
                           PlotArrays& plots);
    // One sample of limits, set-point and value onto the channel's strip chart and history;
    // `timeMs` is when the record was taken (milliseconds since the epoch; negative: now).
    void PlotRAWGraphA(const MeasurementRecord& meas, const ParameterSet& params, PlotArrays& plots,
                       bool zoom, double timeMs = -1);
    void PlotRAWGraphB(const MeasurementRecord& meas, const ParameterSet& params, PlotArrays& plots,
                       bool zoom, double timeMs = -1);
    void PlotTOLWindow(int evalMode, int posA, int posB, const ParameterSet& params,
                       const MeasurementRecord& meas);

    // Shows the measured values, edges, bar graphs and strip charts as old, with the time of
    // the last record in their tooltips, until the next record is drawn (after a time-out, an
    // unplugged sensor, a port change).
    void MarkValuesStale();
    bool ValuesStale() const { return stale_; }

  private:
    void PlotDataCurve(int graph, const PlotArrays& plots, const std::uint16_t* samples,
                       const std::uint16_t* thresholds);
    void PlotRawGraph(int chart, double* history, int tVal, int tTol, int value, int valueColor,
                      bool zoom, double timeMs);
    void DrawWindow(int graph, const ToleranceWindow& w);
    void SetStale(bool stale);

    bool stale_ = false;
    std::string lastRecord_;  // local time of the last record drawn
};
