// Graph and strip-chart operations: argument checks and conversions in front of GraphView.
#include <QString>

#include "graph_model.h"
#include "graph_view.h"
#include "toolkit.h"
#include "toolkit_internal.h"

using namespace qtor;

namespace {

GraphView* View(int panel, int control, bool strip) {
    Control* c = FindControl(panel, control);
    return c && c->view && c->view->isStrip() == strip ? c->view : nullptr;
}

template <typename X, typename Y>
int Plot(int panel, int control, const X* x, const Y* y, int count, PlotStyle plotStyle,
         PointStyle pointStyle, LineStyle lineStyle, int pointFrequency, int color) {
    GraphView* v = View(panel, control, false);
    if (!v) return kErrNotGraph;
    if (count < 0 || (count > 0 && (!x || !y))) return kErrBadValue;
    (void)pointFrequency;  // markers, when asked for, go on every point
    CurveModel c;
    c.x.assign(x, x + count);
    c.y.assign(y, y + count);
    c.plotStyle = plotStyle;
    c.pointStyle = pointStyle;
    c.lineStyle = lineStyle;
    c.color = color;
    return v->addCurve(std::move(c));
}

}  // namespace

int PlotXY(int panel, int control, const unsigned short* x, const unsigned short* y, int count,
           PlotStyle plotStyle, PointStyle pointStyle, LineStyle lineStyle, int pointFrequency,
           int color) {
    return Plot(panel, control, x, y, count, plotStyle, pointStyle, lineStyle, pointFrequency,
                color);
}

int PlotXY(int panel, int control, const unsigned short* x, const double* y, int count,
           PlotStyle plotStyle, PointStyle pointStyle, LineStyle lineStyle, int pointFrequency,
           int color) {
    return Plot(panel, control, x, y, count, plotStyle, pointStyle, lineStyle, pointFrequency,
                color);
}

int PlotXY(int panel, int control, const double* x, const double* y, int count, PlotStyle plotStyle,
           PointStyle pointStyle, LineStyle lineStyle, int pointFrequency, int color) {
    return Plot(panel, control, x, y, count, plotStyle, pointStyle, lineStyle, pointFrequency,
                color);
}

int PlotStripChart(int panel, int control, const double* y, int count, int start, int skip) {
    GraphView* v = View(panel, control, true);
    if (!v) return kErrNotGraph;
    if (count < 0 || start < 0 || skip < 0 || (count > 0 && !y)) return kErrBadValue;
    v->appendStrip(y, count, start, skip);
    return 0;
}

int PlotStripChartRecord(int panel, int control, const double* values, int count, double timeMs) {
    GraphView* v = View(panel, control, true);
    if (!v) return kErrNotGraph;
    if (count < 1 || !values) return kErrBadValue;
    v->addRecord(values, count, timeMs);
    return 0;
}

int ClearStripChart(int panel, int control) {
    GraphView* v = View(panel, control, true);
    if (!v) return kErrNotGraph;
    v->clearStrip();
    return 0;
}

int PlotRectangle(int panel, int control, double x1, double y1, double x2, double y2,
                  int frameColor, int fillColor) {
    GraphView* v = View(panel, control, false);
    if (!v) return kErrNotGraph;
    return v->addRect({x1, y1, x2, y2, frameColor, fillColor});
}

int DeleteGraphPlot(int panel, int control, int plotHandle, int refresh) {
    (void)refresh;  // drawing is always coalesced to the next screen refresh
    GraphView* v = View(panel, control, false);
    if (!v) return kErrNotGraph;
    return v->deletePlot(plotHandle) ? 0 : kErrBadValue;
}

int SetGraphCursor(int panel, int control, int cursor, double x, double y) {
    GraphView* v = View(panel, control, false);
    if (!v) return kErrNotGraph;
    return v->setCursor(cursor, x, y) ? 0 : kErrBadValue;
}

int SetCursorAttribute(int panel, int control, int cursor, CursorAttribute attribute, int value) {
    GraphView* v = View(panel, control, false);
    if (!v) return kErrNotGraph;
    if (attribute != ATTR_CURSOR_POINT_STYLE) return kErrBadAttribute;
    return v->setCursorPointStyle(cursor, value) ? 0 : kErrBadValue;
}

int SetTraceAttribute(int panel, int control, int trace, TraceAttribute attribute, int value) {
    GraphView* v = View(panel, control, true);
    if (!v) return kErrNotGraph;
    if (attribute == ATTR_TRACE_LINE_STYLE)
        return v->setTraceStyle(trace, value) ? 0 : kErrBadValue;
    if (attribute != ATTR_TRACE_COLOR) return kErrBadAttribute;
    return v->setTraceColor(trace, value) ? 0 : kErrBadValue;
}

int SetPlotAttribute(int panel, int control, int plotHandle, PlotAttribute attribute,
                     const char* value) {
    GraphView* v = View(panel, control, false);
    if (!v) return kErrNotGraph;
    if (attribute != ATTR_PLOT_LG_TEXT) return kErrBadAttribute;
    return v->setCurveName(plotHandle, value ? value : "") ? 0 : kErrBadValue;
}

int SetAxisScalingMode(int panel, int control, Axis axis, ScalingMode mode, double min,
                       double max) {
    Control* c = FindControl(panel, control);
    if (!c || !c->view) return kErrNotGraph;
    if (mode != VAL_MANUAL) return 0;  // autoscaling keeps the last range
    if (!(min < max)) return kErrBadValue;
    c->view->setAxisRange(axis == VAL_LEFT_YAXIS, min, max);
    return 0;
}

const GraphModel* GetGraphModel(int panel, int control) {
    GraphView* v = View(panel, control, false);
    return v ? &v->graph() : nullptr;
}

const StripChartModel* GetStripChartModel(int panel, int control) {
    GraphView* v = View(panel, control, true);
    return v ? &v->strip() : nullptr;
}

int SaveGraphImage(int panel, int control, const char* path) {
    Control* c = FindControl(panel, control);
    if (!c || !c->view) return kErrNotGraph;
    return c->view->saveImage(QString::fromLocal8Bit(path ? path : "")) ? 0 : kErrBadValue;
}

int ExportGraphData(int panel, int control, const char* path) {
    Control* c = FindControl(panel, control);
    if (!c || !c->view) return kErrNotGraph;
    return c->view->exportCsv(QString::fromLocal8Bit(path ? path : "")) ? 0 : kErrBadValue;
}
