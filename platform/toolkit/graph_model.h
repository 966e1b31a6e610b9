// What a graph or strip chart shows, kept beside its drawing so that tests can read it.
#pragma once

#include <algorithm>
#include <deque>
#include <string>
#include <vector>

struct CurveModel {
    std::vector<double> x, y;
    int plotStyle = 0;   // PlotStyle
    int pointStyle = 0;  // PointStyle
    int lineStyle = 0;   // LineStyle
    int color = 0;
    std::string name;  // legend text; curves without one stay out of the legend
};

struct RectModel {
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    int frameColor = 0, fillColor = 0;
};

struct CursorModel {
    double x = 0, y = 0;
    int pointStyle = 0;  // PointStyle
};

struct AxisRange {
    double min = 0, max = 0;
};

// One entry per plot in drawing order: a curve or a rectangle.
struct PlotItem {
    int handle = 0;
    bool isRect = false;
    CurveModel curve;
    RectModel rect;
};

struct GraphModel {
    std::vector<PlotItem> plots;
    std::vector<CursorModel> cursors;  // cursor n is cursors[n - 1]
    AxisRange x, y;
    std::string xTitle, yTitle;  // axis titles with their units, from the panel file
};

// The long memory of a strip chart: one sample of every trace per record, the newest
// `capacity` records in a ring of fixed size, each with the wall-clock time it was added.
struct StripHistory {
    int capacity = 0;
    int traces = 0;
    long long total = 0;         // records ever added; record n is the (n + 1)th
    std::vector<double> values;  // capacity x traces, slot s at s * traces
    std::vector<double> times;   // milliseconds since the epoch, per slot

    long long size() const { return std::min<long long>(total, capacity); }
    long long first() const { return total - size(); }  // number of the oldest record kept
    // Record number n (first() <= n < total).
    double value(long long n, int trace) const {
        return values[std::size_t(n % capacity) * traces + trace];
    }
    double time(long long n) const { return times[std::size_t(n % capacity)]; }
};

struct StripChartModel {
    int numTraces = 1;
    int pointsPerScreen = 100;
    std::vector<int> traceColors;            // trace n is traceColors[n - 1]
    std::vector<int> traceStyles;            // LineStyle of trace n at traceStyles[n - 1]
    std::vector<std::string> traceNames;     // from the panel file; for read-outs and export
    std::vector<std::deque<double>> traces;  // the points on screen, oldest first
    long long appendedPoints = 0;            // points per trace ever appended
    AxisRange y;
    std::string xTitle, yTitle;
    StripHistory history;
    // Paused: the drawing stays as it was while points and records keep coming; the time
    // axis (records, 0 the newest when paused) can then be dragged and zoomed over the history.
    bool paused = false;
    long long pausedAt = 0;  // history.total when paused
    AxisRange shown;         // the time axis drawn while paused, relative to pausedAt
};

// The model of a graph or strip-chart control, or nullptr if the control is not one.
const GraphModel* GetGraphModel(int panel, int control);
const StripChartModel* GetStripChartModel(int panel, int control);
