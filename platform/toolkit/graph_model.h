// What a graph or strip chart shows, kept beside its drawing so that tests can read it.
#pragma once

#include <deque>
#include <vector>

struct CurveModel {
    std::vector<double> x, y;
    int plotStyle = 0;   // PlotStyle
    int pointStyle = 0;  // PointStyle
    int lineStyle = 0;   // LineStyle
    int color = 0;
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
};

struct StripChartModel {
    int numTraces = 1;
    int pointsPerScreen = 100;
    std::vector<int> traceColors;            // trace n is traceColors[n - 1]
    std::vector<std::deque<double>> traces;  // the points on screen, oldest first
    long long appendedPoints = 0;            // points per trace ever appended
    AxisRange y;
};

// The model of a graph or strip-chart control, or nullptr if the control is not one.
const GraphModel* GetGraphModel(int panel, int control);
const StripChartModel* GetStripChartModel(int panel, int control);
