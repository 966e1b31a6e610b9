// What the plot routines leave on the real graphs, read from the graph models.
#include "app_fixture.h"
#include "gui.h"
#include "run_task.h"

namespace {

class Display : public AppTest {
  protected:
    const GraphModel& Graph(int control) const {
        const GraphModel* g = GetGraphModel(panels.panelHandle, control);
        EXPECT_NE(g, nullptr);
        return *g;
    }
    const StripChartModel& Strip(int control) const {
        const StripChartModel* s = GetStripChartModel(panels.panelHandle, control);
        EXPECT_NE(s, nullptr);
        return *s;
    }
};

TEST_F(Display, InitVarsSetsArraysAndCursorsFromThePanel) {
    SetCtrlVal(panels.panelHandle, NEDITeachA, 300);
    SetCtrlVal(panels.panelHandle, NEDITTolLeff, 40);
    InitVars(station);
    EXPECT_EQ(params.tValA, 300);
    EXPECT_EQ(params.tTol, 40);
    EXPECT_EQ(params.powerB, 200);
    EXPECT_EQ(params.ePoti, 1);
    EXPECT_EQ(Graph(GRAPH_VideoA).cursors[0].x, 300);
    EXPECT_EQ(plots.xArray[127], 1016);
    EXPECT_EQ(plots.dxArray[127], 127);
    EXPECT_EQ(StatusLine(), "InitVars");
    EXPECT_EQ(Value(panels.panelHandle, TOGBTN_Zoom), 1);
    SetCtrlVal(panels.panelHandle, NEDITeachA, 512);
    SetCtrlVal(panels.panelHandle, NEDITTolLeff, 100);
}

TEST_F(Display, ModeThreeMarksTheDeviationOnOneSideOnly) {
    params.eModeA = 3;
    meas.Mvalue = 600;
    station.gui.PlotVIDEOBarGraph(meas, params, plots);
    EXPECT_EQ(Graph(GRAPH_VideoA).cursors[1].x, 88);
    EXPECT_EQ(Graph(GRAPH_VideoA).cursors[1].pointStyle, VAL_SOLID_CIRCLE);
    EXPECT_EQ(Graph(GRAPH_VideoB).cursors[1].pointStyle, VAL_NO_POINT);

    meas.Mvalue = 500;
    station.gui.PlotVIDEOBarGraph(meas, params, plots);
    EXPECT_EQ(Graph(GRAPH_VideoB).cursors[1].x, 12);
    EXPECT_EQ(Graph(GRAPH_VideoB).cursors[1].pointStyle, VAL_SOLID_CIRCLE);
    EXPECT_EQ(Graph(GRAPH_VideoA).cursors[1].pointStyle, VAL_NO_POINT);

    meas.Mvalue = 512;
    station.gui.PlotVIDEOBarGraph(meas, params, plots);
    EXPECT_EQ(Graph(GRAPH_VideoB).cursors[1].x, 12) << "unchanged";
    EXPECT_EQ(Graph(GRAPH_VideoB).cursors[1].pointStyle, VAL_NO_POINT);

    params.eModeA = 1;
    SetGraphCursor(panels.panelHandle, GRAPH_VideoA, 2, 333, 1.0);
    meas.Mvalue = 900;
    station.gui.PlotVIDEOBarGraph(meas, params, plots);
    EXPECT_EQ(Graph(GRAPH_VideoA).cursors[1].x, 333);
}

TEST_F(Display, BarsReplaceEverythingPlottedAndCursorOneFollowsTheValue) {
    params.eModeA = 0;
    RunTask(PushGET(link, DATFILE, params));  // grey background and tolerance band
    ASSERT_GE(Graph(GRAPH_VideoA).plots.size(), 2u);
    meas = MeasurementRecord{.Avalue = 420, .Bvalue = 430, .Mvalue = 425};
    meas.leftA = 600;
    meas.rightA = 500;
    meas.rightB = 510;
    meas.leftB = 610;
    station.gui.PlotVIDEOBarGraph(meas, params, plots);
    const GraphModel& a = Graph(GRAPH_VideoA);
    ASSERT_EQ(a.plots.size(), 1u);
    EXPECT_EQ(a.plots[0].rect.fillColor, VAL_RED);
    EXPECT_EQ(a.plots[0].rect.x1, 600);
    EXPECT_EQ(a.plots[0].rect.x2, 500);
    EXPECT_EQ(a.cursors[0].x, 420);
    EXPECT_EQ(a.cursors[0].y, 0.75);
    EXPECT_EQ(plots.curposA, 420);
    EXPECT_EQ(a.x.min, 0);
    EXPECT_EQ(a.x.max, 1024);
    const GraphModel& b = Graph(GRAPH_VideoB);
    ASSERT_EQ(b.plots.size(), 1u);
    EXPECT_EQ(b.plots[0].rect.x1, 610);
    EXPECT_EQ(b.plots[0].rect.x2, 510);
    EXPECT_EQ(b.cursors[0].x, 430);
    // Every value in its own indicator.
    const std::vector<int> shown = {
        Value(panels.panelHandle, NUM_Avalue), Value(panels.panelHandle, NUM_Bvalue),
        Value(panels.panelHandle, NUM_Mvalue), Value(panels.panelHandle, NUM_leftA),
        Value(panels.panelHandle, NUM_rightA), Value(panels.panelHandle, NUM_leftB),
        Value(panels.panelHandle, NUM_rightB)};
    EXPECT_EQ(shown, (std::vector<int>{420, 430, 425, 600, 500, 610, 510}));
}

TEST_F(Display, PotiModeChoosesWhichFieldsFollowTheRecord) {
    auto fields = [this] {
        return std::vector<int>{Value(panels.panelHandle, NEDITTolLeff),
                                Value(panels.panelHandle, NEDITeachA),
                                Value(panels.panelHandle, NEDITeachB)};
    };
    params.tTol = 11;
    params.tValA = 22;
    params.tValB = 33;
    SetCtrlVal(panels.panelHandle, NEDITTolLeff, 1);
    SetCtrlVal(panels.panelHandle, NEDITeachA, 2);
    SetCtrlVal(panels.panelHandle, NEDITeachB, 3);
    params.ePoti = 1;
    station.gui.PlotVIDEOBarGraph(meas, params, plots);
    EXPECT_EQ(fields(), (std::vector<int>{11, 2, 3}));
    SetCtrlVal(panels.panelHandle, NEDITTolLeff, 1);
    params.ePoti = 2;
    station.gui.PlotVIDEOBarGraph(meas, params, plots);
    EXPECT_EQ(fields(), (std::vector<int>{1, 22, 33}));
    for (int poti : {0, 3, 4}) {
        SetCtrlVal(panels.panelHandle, NEDITTolLeff, 1);
        SetCtrlVal(panels.panelHandle, NEDITeachA, 2);
        params.ePoti = static_cast<std::uint16_t>(poti);
        station.gui.PlotVIDEOBarGraph(meas, params, plots);
        EXPECT_EQ(fields(), (std::vector<int>{11, 22, 33})) << poti;
    }
}

TEST_F(Display, StripChartKeepsTheHistoryAndZoomsAroundTheSetPoint) {
    params.tValA = 1000;
    params.tTol = 100;
    meas.Avalue = 2000;
    station.gui.PlotRAWGraphA(meas, params, plots, station.Toggled(TOGBTN_Zoom));
    EXPECT_EQ(plots.arrayNORM_A[495], 1023);
    EXPECT_EQ(plots.arrayNORM_A[496], 900);
    EXPECT_EQ(plots.arrayNORM_A[497], 1000);
    EXPECT_EQ(plots.arrayNORM_A[498], 2000);
    EXPECT_EQ(plots.arrayNORM_A[499], 1000);
    EXPECT_EQ(plots.arrayNORM_A[490], 0) << "the first record follows 99 empty samples";
    const StripChartModel& s = Strip(STRIP_RawA);
    EXPECT_EQ(s.numTraces, 5);
    EXPECT_EQ(s.pointsPerScreen, 101);
    EXPECT_EQ(s.y.min, 600);
    EXPECT_EQ(s.y.max, 1023);
    ASSERT_EQ(s.traceColors.size(), 5u);
    EXPECT_EQ(s.traceColors[3], VAL_GREEN);
    ASSERT_EQ(s.traces.size(), 5u);
    EXPECT_EQ(s.traces[3].back(), 2000);

    meas.Avalue = 10;
    SetCtrlVal(panels.panelHandle, TOGBTN_Zoom, 0);
    station.gui.PlotRAWGraphA(meas, params, plots, station.Toggled(TOGBTN_Zoom));
    EXPECT_EQ(plots.arrayNORM_A[493], 2000) << "the earlier sample moved down by five";
    // On screen: the 99 empty samples, the first record and the newest, in that order.
    const std::deque<double>& values = Strip(STRIP_RawA).traces[3];
    ASSERT_EQ(values.size(), 101u);
    EXPECT_EQ(values[98], 0);
    EXPECT_EQ(values[99], 2000);
    EXPECT_EQ(values[100], 10);
    EXPECT_EQ(Strip(STRIP_RawA).y.min, 0);
    EXPECT_EQ(Strip(STRIP_RawA).y.max, 1024);

    // Channel B draws its own set-point and value into its own history.
    params.tValB = 500;
    meas.Bvalue = 470;
    SetCtrlVal(panels.panelHandle, TOGBTN_Zoom, 1);
    station.gui.PlotRAWGraphB(meas, params, plots, station.Toggled(TOGBTN_Zoom));
    const StripChartModel& b = Strip(STRIP_RawB);
    ASSERT_EQ(b.traces.size(), 5u);
    const std::vector<double> last = {b.traces[0].back(), b.traces[1].back(), b.traces[2].back(),
                                      b.traces[3].back(), b.traces[4].back()};
    EXPECT_EQ(last, (std::vector<double>{600, 400, 500, 470, 500}));
    EXPECT_EQ(b.traceColors[3], VAL_BLUE);
    // Limits dashed, set-points and value solid.
    EXPECT_EQ(b.traceStyles,
              (std::vector<int>{VAL_DASH, VAL_DASH, VAL_SOLID, VAL_SOLID, VAL_SOLID}));
    EXPECT_EQ(b.y.min, 100);
    EXPECT_EQ(b.y.max, 900);
    EXPECT_EQ(plots.arrayNORM_A[498], 10) << "A's history is left alone";
    EXPECT_EQ(plots.arrayNORM_A[493], 2000);
}

TEST_F(Display, DataBufferDrawsLimitsSetPointAndDataOnTop) {
    std::vector<double> data(MAXPOINT, 500);
    data[9] = 509;
    for (int i = 0; i < MAXPOINT; ++i) {
        plots.tolArrayHI[i] = 560;
        plots.tolArrayLO[i] = 440;
        plots.teachArray[i] = 505;
    }
    station.gui.PlotDATABuffer(plots, data.data(), station.Toggled(TOGBTN_Zoom));
    const GraphModel& g = Graph(GRAPH_Buffer);
    ASSERT_EQ(g.plots.size(), 4u);
    const double expected[4] = {560, 440, 505, 509};
    const int colors[4] = {VAL_DK_GREEN, VAL_DK_GREEN, VAL_BLACK, VAL_RED};
    // The limits differ from the set-point by their shape, not by colour alone.
    const int styles[4] = {VAL_DASH, VAL_DASH, VAL_SOLID, VAL_SOLID};
    for (int k = 0; k < 4; ++k) {
        ASSERT_EQ(g.plots[k].curve.y.size(), static_cast<size_t>(MAXPOINT)) << k;
        EXPECT_EQ(g.plots[k].curve.y[9], expected[k]) << k;
        EXPECT_EQ(g.plots[k].curve.color, colors[k]) << k;
        EXPECT_EQ(g.plots[k].curve.lineStyle, styles[k]) << k;
        EXPECT_EQ(g.plots[k].curve.x[127], 127) << k;
    }
    EXPECT_EQ(g.plots[3].curve.y[0], 500);
    EXPECT_EQ(g.plots[3].curve.x[0], 0);
    EXPECT_EQ(g.y.min, 451);
    EXPECT_EQ(g.y.max, 558);
    EXPECT_EQ(g.x.min, 1);
    EXPECT_EQ(g.x.max, 128);
    SetCtrlVal(panels.panelHandle, TOGBTN_Zoom, 0);
    station.gui.PlotDATABuffer(plots, data.data(), station.Toggled(TOGBTN_Zoom));
    EXPECT_EQ(Graph(GRAPH_Buffer).y.max, 1024);
    SetCtrlVal(panels.panelHandle, TOGBTN_Zoom, 1);
}

TEST_F(Display, DataCurvesDrawSamplesThenThreshold) {
    plots.adcbufA[0] = 1100;
    for (auto& t : plots.thdArrayA) t = 512;
    station.gui.PlotDATACurveA(plots);
    const GraphModel& g = Graph(GRAPH_CurveA);
    ASSERT_EQ(g.plots.size(), 2u);
    EXPECT_EQ(g.plots[0].curve.color, VAL_RED);
    EXPECT_EQ(g.plots[0].curve.y[0], 1100) << "not clamped";
    EXPECT_EQ(g.plots[0].curve.x[127], 1016);
    EXPECT_EQ(g.plots[1].curve.color, VAL_DK_GREEN);
    EXPECT_EQ(g.plots[1].curve.y[64], 512);
    EXPECT_EQ(g.x.min, 1);
    EXPECT_EQ(g.y.max, 1023);
}

}  // namespace
