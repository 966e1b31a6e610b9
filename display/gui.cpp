#include "gui.h"

#include <ctime>
#include <string>

#include "QtorKMBscope10.h"
#include "arrays.h"
#include "graph_model.h"
#include "toolkit.h"

namespace {

constexpr double kToleranceBandTop = 0.35;
constexpr int kStripPoints = 101;
constexpr int kStripTraces = 5;

}  // namespace

void Gui::PlotDataCurve(int graph, const PlotArrays& plots, const std::uint16_t* samples,
                        const std::uint16_t* thresholds) {
    const int p = panelHandle;
    SetAxisScalingMode(p, graph, VAL_XAXIS, VAL_MANUAL, 1.0, 1024.0);
    SetAxisScalingMode(p, graph, VAL_LEFT_YAXIS, VAL_MANUAL, 0.0, 1023.0);
    DeleteGraphPlot(p, graph, VAL_ALL_PLOTS, VAL_IMMEDIATE_DRAW);
    const int video = PlotXY(p, graph, plots.xArray, samples, MAXPOINT, VAL_FAT_LINE,
                             VAL_SIMPLE_DOT, VAL_SOLID, 1, VAL_RED);
    const int threshold = PlotXY(p, graph, plots.xArray, thresholds, MAXPOINT, VAL_FAT_LINE,
                                 VAL_SIMPLE_DOT, VAL_SOLID, 1, VAL_DK_GREEN);
    SetPlotAttribute(p, graph, video, ATTR_PLOT_LG_TEXT, "Video signal");
    SetPlotAttribute(p, graph, threshold, ATTR_PLOT_LG_TEXT, "Threshold");
}

// Five traces per sample: upper limit, lower limit, set-point, measured value, set-point.
void Gui::PlotRawGraph(int chart, double* history, int tVal, int tTol, int value, int valueColor,
                       bool zoom, double timeMs) {
    const int p = panelHandle;
    Shift(history, kHistory, -5, history);
    const StripLimits lim = StripChartLimits(tVal, tTol);
    history[495] = lim.upper;
    history[496] = lim.lower;
    history[497] = tVal;
    history[498] = value;
    history[499] = tVal;
    SetCtrlAttribute(p, chart, ATTR_POINTS_PER_SCREEN, kStripPoints);
    SetCtrlAttribute(p, chart, ATTR_SCROLL_MODE, 1);
    if (!zoom) {
        SetAxisScalingMode(p, chart, VAL_LEFT_YAXIS, VAL_MANUAL, 0.0, ccdmaxpixel);
    } else if (lim.low < lim.high) {
        SetAxisScalingMode(p, chart, VAL_LEFT_YAXIS, VAL_MANUAL, lim.low, lim.high);
    }
    const int colors[kStripTraces] = {VAL_DK_GREEN, VAL_DK_GREEN, VAL_BLACK, valueColor, VAL_RED};
    // The limits are dashed: told from the set-point by their shape where colours are not.
    const int styles[kStripTraces] = {VAL_DASH, VAL_DASH, VAL_SOLID, VAL_SOLID, VAL_SOLID};
    for (int t = 0; t < kStripTraces; ++t) {
        SetTraceAttribute(p, chart, t + 1, ATTR_TRACE_COLOR, colors[t]);
        SetTraceAttribute(p, chart, t + 1, ATTR_TRACE_LINE_STYLE, styles[t]);
    }
    SetCtrlAttribute(p, chart, ATTR_NUM_TRACES, kStripTraces);
    // A chart that shows the history already takes the newest sample alone: the same picture
    // as the whole window appended again, without rebuilding it. A chart just started or
    // cleared takes the whole window once.
    const StripChartModel* shown = GetStripChartModel(p, chart);
    if (shown && shown->appendedPoints > 0)
        PlotStripChart(p, chart, history + kHistory - kStripTraces, kStripTraces, 0, 0);
    else
        PlotStripChart(p, chart, history, kHistory, 0, 0);
    // The chart's long history takes the newest sample once: scrolled back over and exported.
    PlotStripChartRecord(p, chart, history + kHistory - kStripTraces, kStripTraces, timeMs);
}

void Gui::DrawWindow(int graph, const ToleranceWindow& w) {
    if (!w.drawn) return;
    PlotRectangle(panelHandle, graph, w.low, 0.0, w.high, kToleranceBandTop, VAL_GREEN, VAL_GREEN);
}

void Gui::PlotDATACurveA(const PlotArrays& plots) {
    PlotDataCurve(GRAPH_CurveA, plots, plots.adcbufA, plots.thdArrayA);
}

void Gui::PlotDATACurveB(const PlotArrays& plots) {
    PlotDataCurve(GRAPH_CurveB, plots, plots.adcbufB, plots.thdArrayB);
}

void Gui::PlotDATABuffer(const PlotArrays& plots, const double* data, bool zoom) {
    const int p = panelHandle;
    SetAxisScalingMode(p, GRAPH_Buffer, VAL_XAXIS, VAL_MANUAL, 1.0, 128.0);
    SetAxisScalingMode(p, GRAPH_Buffer, VAL_LEFT_YAXIS, VAL_MANUAL, 0.0, ccdmaxpixel);
    DeleteGraphPlot(p, GRAPH_Buffer, VAL_ALL_PLOTS, VAL_IMMEDIATE_DRAW);
    if (!zoom) {
        SetAxisScalingMode(p, GRAPH_Buffer, VAL_LEFT_YAXIS, VAL_MANUAL, 0.0, ccdmaxpixel);
    } else {
        ZoomRange r;
        if (DataBufferZoom(data, ccdmaxpixel, &r)) {
            SetAxisScalingMode(p, GRAPH_Buffer, VAL_LEFT_YAXIS, VAL_MANUAL, r.low, r.high);
        }
    }
    const std::uint16_t* x = plots.dxArray;
    // Dashed limits and a solid set-point, as on the strip charts: told apart by shape too.
    // Level lines need no dots, which would fill the dashes' gaps.
    const int upper = PlotXY(p, GRAPH_Buffer, x, plots.tolArrayHI, MAXPOINT, VAL_FAT_LINE,
                             VAL_NO_POINT, VAL_DASH, 1, VAL_DK_GREEN);
    const int lower = PlotXY(p, GRAPH_Buffer, x, plots.tolArrayLO, MAXPOINT, VAL_FAT_LINE,
                             VAL_NO_POINT, VAL_DASH, 1, VAL_DK_GREEN);
    const int setPoint = PlotXY(p, GRAPH_Buffer, x, plots.teachArray, MAXPOINT, VAL_THIN_LINE,
                                VAL_NO_POINT, VAL_SOLID, 1, VAL_BLACK);
    const int values = PlotXY(p, GRAPH_Buffer, x, data, MAXPOINT, VAL_FAT_LINE, VAL_SIMPLE_DOT,
                              VAL_SOLID, 1, VAL_RED);
    // The legend names each line.
    SetPlotAttribute(p, GRAPH_Buffer, upper, ATTR_PLOT_LG_TEXT, "Upper limit");
    SetPlotAttribute(p, GRAPH_Buffer, lower, ATTR_PLOT_LG_TEXT, "Lower limit");
    SetPlotAttribute(p, GRAPH_Buffer, setPoint, ATTR_PLOT_LG_TEXT, "Set-point");
    SetPlotAttribute(p, GRAPH_Buffer, values, ATTR_PLOT_LG_TEXT, "Data");
}

namespace {

// The controls that show the latest record, and whether they show it as old.
constexpr int kLiveControls[] = {NUM_Bvalue,   NUM_Avalue, NUM_Mvalue, NUM_leftA,
                                 NUM_rightA,   NUM_leftB,  NUM_rightB, GRAPH_VideoA,
                                 GRAPH_VideoB, STRIP_RawA, STRIP_RawB};

}  // namespace

void Gui::SetStale(bool stale) {
    const std::string tip =
        stale ? (lastRecord_.empty() ? std::string("Old values: no record yet")
                                     : "Old values: last record at " + lastRecord_)
              : std::string();
    for (int c : kLiveControls) {
        SetCtrlAttribute(panelHandle, c, ATTR_STALE, stale ? 1 : 0);
        SetCtrlAttribute(panelHandle, c, ATTR_TOOLTIP, tip.c_str());
    }
    stale_ = stale;
}

void Gui::MarkValuesStale() { SetStale(true); }

void Gui::PlotVIDEOBarGraph(const MeasurementRecord& meas, const ParameterSet& params,
                            PlotArrays& plots) {
    const int p = panelHandle;
    const std::time_t now = std::time(nullptr);
    char stamp[16];
    std::strftime(stamp, sizeof stamp, "%H:%M:%S", std::localtime(&now));
    lastRecord_ = stamp;
    if (stale_) SetStale(false);
    SetCtrlVal(p, NUM_Bvalue, unsigned{meas.Bvalue});
    SetCtrlVal(p, NUM_Avalue, unsigned{meas.Avalue});
    SetCtrlVal(p, NUM_Mvalue, unsigned{meas.Mvalue});
    SetCtrlVal(p, NUM_leftA, unsigned{meas.leftA});
    SetCtrlVal(p, NUM_rightA, unsigned{meas.rightA});
    SetCtrlVal(p, NUM_leftB, unsigned{meas.leftB});
    SetCtrlVal(p, NUM_rightB, unsigned{meas.rightB});
    plots.curposA = meas.Avalue;
    plots.curposB = meas.Bvalue;
    for (int graph : {GRAPH_VideoA, GRAPH_VideoB}) {
        SetAxisScalingMode(p, graph, VAL_XAXIS, VAL_MANUAL, 0.0, 1024.0);
    }
    DeleteGraphPlot(p, GRAPH_VideoA, VAL_ALL_PLOTS, VAL_IMMEDIATE_DRAW);
    DeleteGraphPlot(p, GRAPH_VideoB, VAL_ALL_PLOTS, VAL_IMMEDIATE_DRAW);
    SetGraphCursor(p, GRAPH_VideoA, 1, plots.curposA, 0.75);
    SetGraphCursor(p, GRAPH_VideoB, 1, plots.curposB, 0.75);
    PlotRectangle(p, GRAPH_VideoA, meas.leftA, 0.0, meas.rightA, 1.0, VAL_RED, VAL_RED);
    PlotRectangle(p, GRAPH_VideoB, meas.leftB, 0.0, meas.rightB, 1.0, VAL_RED, VAL_RED);
    // Evaluation mode 3: cursor 2 shows the deviation of M from 512 on the side it lies.
    if (params.eModeA == 3) {
        if (meas.Mvalue > 512) {
            SetCursorAttribute(p, GRAPH_VideoB, 2, ATTR_CURSOR_POINT_STYLE, VAL_NO_POINT);
            SetCursorAttribute(p, GRAPH_VideoA, 2, ATTR_CURSOR_POINT_STYLE, VAL_SOLID_CIRCLE);
            SetGraphCursor(p, GRAPH_VideoA, 2, meas.Mvalue - 512, 0.5);
        } else if (meas.Mvalue < 512) {
            SetCursorAttribute(p, GRAPH_VideoA, 2, ATTR_CURSOR_POINT_STYLE, VAL_NO_POINT);
            SetCursorAttribute(p, GRAPH_VideoB, 2, ATTR_CURSOR_POINT_STYLE, VAL_SOLID_CIRCLE);
            SetGraphCursor(p, GRAPH_VideoB, 2, 512 - meas.Mvalue, 0.5);
        } else {
            SetCursorAttribute(p, GRAPH_VideoA, 2, ATTR_CURSOR_POINT_STYLE, VAL_NO_POINT);
            SetCursorAttribute(p, GRAPH_VideoB, 2, ATTR_CURSOR_POINT_STYLE, VAL_NO_POINT);
        }
    }
    if (params.ePoti == 1) {
        SetCtrlVal(p, NEDITTolLeff, unsigned{params.tTol});
    } else if (params.ePoti == 2) {
        SetCtrlVal(p, NEDITeachA, unsigned{params.tValA});
        SetCtrlVal(p, NEDITeachB, unsigned{params.tValB});
    } else {
        SetCtrlVal(p, NEDITTolLeff, unsigned{params.tTol});
        SetCtrlVal(p, NEDITeachA, unsigned{params.tValA});
        SetCtrlVal(p, NEDITeachB, unsigned{params.tValB});
    }
}

void Gui::PlotRAWGraphA(const MeasurementRecord& meas, const ParameterSet& params,
                        PlotArrays& plots, bool zoom, double timeMs) {
    PlotRawGraph(STRIP_RawA, plots.arrayNORM_A, params.tValA, params.tTol, meas.Avalue, VAL_GREEN,
                 zoom, timeMs);
}

void Gui::PlotRAWGraphB(const MeasurementRecord& meas, const ParameterSet& params,
                        PlotArrays& plots, bool zoom, double timeMs) {
    PlotRawGraph(STRIP_RawB, plots.arrayNORM_B, params.tValB, params.tTol, meas.Bvalue, VAL_BLUE,
                 zoom, timeMs);
}

void Gui::PlotTOLWindow(int evalMode, int posA, int posB, const ParameterSet& params,
                        const MeasurementRecord& meas) {
    const ToleranceInputs in{params.tValA, params.tValB, params.tTol, meas.edcntA, meas.edcntB};
    const ToleranceWindows w = ToleranceWindowsFor(evalMode, in, posA, posB);
    DrawWindow(GRAPH_VideoA, w.a);
    DrawWindow(GRAPH_VideoB, w.b);
}
