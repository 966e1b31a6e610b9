// What graphs and strip charts keep of what is plotted, and what reaches the screen.
#include <gtest/gtest.h>
#include <qcustomplot.h>

#include <QApplication>
#include <QImage>
#include <QTemporaryDir>
#include <QWidget>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "QtorKMBscope10.h"
#include "graph_model.h"
#include "graph_view.h"
#include "toolkit.h"
#include "toolkit_internal.h"

namespace {

const QByteArray kPanelPath = QByteArray(QTOR_BIN_DIR) + "/" + kPanelFile;

class ToolkitGraphs : public testing::Test {
  protected:
    void SetUp() override {
        main_ = LoadPanel(0, kPanelPath.constData(), PANEL);
        ASSERT_GT(main_, 0);
    }
    void TearDown() override { DiscardPanel(main_); }
    const GraphModel& Model(int control) {
        const GraphModel* m = GetGraphModel(main_, control);
        EXPECT_NE(m, nullptr);
        return *m;
    }
    int main_ = -1;
};

TEST_F(ToolkitGraphs, AxesStartFromThePanelFileAndFollowManualScaling) {
    for (int g : {GRAPH_VideoA, GRAPH_VideoB}) {
        EXPECT_EQ(Model(g).x.min, 0);
        EXPECT_EQ(Model(g).x.max, 1024);
        EXPECT_EQ(Model(g).y.min, 0);
        EXPECT_EQ(Model(g).y.max, 1);
        EXPECT_EQ(Model(g).cursors.size(), 2u);
    }
    EXPECT_EQ(SetAxisScalingMode(main_, GRAPH_Buffer, VAL_XAXIS, VAL_MANUAL, 1, 128), 0);
    EXPECT_EQ(SetAxisScalingMode(main_, GRAPH_Buffer, VAL_LEFT_YAXIS, VAL_MANUAL, -39, 40), 0);
    EXPECT_EQ(Model(GRAPH_Buffer).x.min, 1);
    EXPECT_EQ(Model(GRAPH_Buffer).x.max, 128);
    EXPECT_EQ(Model(GRAPH_Buffer).y.min, -39);
    EXPECT_EQ(Model(GRAPH_Buffer).y.max, 40);
    // An empty or reversed range leaves the axis as it was.
    EXPECT_LT(SetAxisScalingMode(main_, GRAPH_Buffer, VAL_LEFT_YAXIS, VAL_MANUAL, 50, 50), 0);
    EXPECT_LT(SetAxisScalingMode(main_, GRAPH_Buffer, VAL_LEFT_YAXIS, VAL_MANUAL, 60, 50), 0);
    EXPECT_EQ(Model(GRAPH_Buffer).y.min, -39);
    EXPECT_EQ(Model(GRAPH_Buffer).y.max, 40);
    // Graph operations are refused on controls that are not graphs.
    EXPECT_EQ(GetGraphModel(main_, BTNRun), nullptr);
    EXPECT_EQ(GetGraphModel(main_, STRIP_RawA), nullptr);
    EXPECT_EQ(GetStripChartModel(main_, GRAPH_VideoA), nullptr);
    const double xy[2] = {0, 1};
    EXPECT_LT(PlotXY(main_, NEDITeachA, xy, xy, 2, VAL_THIN_LINE, VAL_NO_POINT, VAL_SOLID, 1, 0),
              0);
    EXPECT_LT(PlotRectangle(main_, STRIP_RawA, 0, 0, 1, 1, 0, 0), 0);
}

TEST_F(ToolkitGraphs, PlotsRectanglesAndDeletionKeepCursors) {
    const unsigned short x[4] = {0, 8, 16, 65535};
    const unsigned short y[4] = {1, 2, 1023, 65535};
    const double yd[4] = {0.5, 1.5, 2.5, -1};
    const int a =
        PlotXY(main_, GRAPH_CurveA, x, y, 4, VAL_THIN_LINE, VAL_SIMPLE_DOT, VAL_SOLID, 1, VAL_BLUE);
    const int b =
        PlotXY(main_, GRAPH_CurveA, x, yd, 4, VAL_FAT_LINE, VAL_NO_POINT, VAL_DASH, 1, VAL_RED);
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);
    EXPECT_NE(a, b);
    const GraphModel& m = Model(GRAPH_CurveA);
    ASSERT_EQ(m.plots.size(), 2u);
    EXPECT_EQ(m.plots[0].handle, a);
    EXPECT_FALSE(m.plots[0].isRect);
    EXPECT_EQ(m.plots[0].curve.x, (std::vector<double>{0, 8, 16, 65535}));
    EXPECT_EQ(m.plots[0].curve.y, (std::vector<double>{1, 2, 1023, 65535}));
    EXPECT_EQ(m.plots[0].curve.pointStyle, VAL_SIMPLE_DOT);
    EXPECT_EQ(m.plots[0].curve.color, VAL_BLUE);
    EXPECT_EQ(m.plots[1].curve.y, (std::vector<double>{0.5, 1.5, 2.5, -1}));
    EXPECT_EQ(m.plots[1].curve.plotStyle, VAL_FAT_LINE);
    EXPECT_EQ(m.plots[1].curve.lineStyle, VAL_DASH);

    EXPECT_EQ(DeleteGraphPlot(main_, GRAPH_CurveA, a, VAL_IMMEDIATE_DRAW), 0);
    ASSERT_EQ(m.plots.size(), 1u);
    EXPECT_EQ(m.plots[0].handle, b);
    EXPECT_LT(DeleteGraphPlot(main_, GRAPH_CurveA, a, VAL_IMMEDIATE_DRAW), 0);

    const GraphModel& v = Model(GRAPH_VideoA);
    EXPECT_EQ(SetGraphCursor(main_, GRAPH_VideoA, 1, 300, 1.0), 0);
    EXPECT_EQ(SetGraphCursor(main_, GRAPH_VideoA, 2, 88, 0.5), 0);
    EXPECT_EQ(SetCursorAttribute(main_, GRAPH_VideoA, 2, ATTR_CURSOR_POINT_STYLE, VAL_SOLID_CIRCLE),
              0);
    EXPECT_LT(SetGraphCursor(main_, GRAPH_VideoA, 3, 0, 0), 0);
    EXPECT_LT(SetGraphCursor(main_, GRAPH_VideoA, 0, 0, 0), 0);
    const int r = PlotRectangle(main_, GRAPH_VideoA, 600, 0, 400, 1, VAL_RED, VAL_RED);
    EXPECT_GT(r, 0);
    PlotRectangle(main_, GRAPH_VideoA, 1000, 0, 1024, 1, VAL_RED, VAL_RED);
    // A rectangle drawn over others keeps those still in sight: the bar reaching past its
    // right edge, not the one it hides wholly.
    PlotRectangle(main_, GRAPH_VideoA, 0, 0, 1023, 1, VAL_GRAY, VAL_GRAY);
    ASSERT_EQ(v.plots.size(), 2u);
    EXPECT_TRUE(v.plots[0].isRect);
    EXPECT_EQ(v.plots[0].rect.x1, 1000);
    EXPECT_EQ(v.plots[0].rect.x2, 1024);
    EXPECT_EQ(v.plots[1].rect.fillColor, VAL_GRAY);
    for (int read = 0; read < 100; ++read)
        PlotRectangle(main_, GRAPH_VideoA, 0, 0, 1023, 1, VAL_GRAY, VAL_GRAY);
    EXPECT_EQ(v.plots.size(), 2u) << "covered again and again, the graph does not grow";

    EXPECT_EQ(DeleteGraphPlot(main_, GRAPH_VideoA, VAL_ALL_PLOTS, VAL_IMMEDIATE_DRAW), 0);
    EXPECT_TRUE(v.plots.empty());
    ASSERT_EQ(v.cursors.size(), 2u);
    EXPECT_EQ(v.cursors[0].x, 300);
    EXPECT_EQ(v.cursors[0].y, 1.0);
    EXPECT_EQ(v.cursors[1].x, 88);
    EXPECT_EQ(v.cursors[1].pointStyle, VAL_SOLID_CIRCLE);
    // Handles keep counting: a stale handle never names a new plot.
    EXPECT_GT(PlotRectangle(main_, GRAPH_VideoA, 0, 0, 1, 1, 0, 0), r);
    // The other graph is untouched.
    EXPECT_TRUE(Model(GRAPH_VideoB).plots.empty());
}

TEST_F(ToolkitGraphs, StripChartScrollsKeepingTheNewestPointsPerTrace) {
    ASSERT_EQ(SetCtrlAttribute(main_, STRIP_RawA, ATTR_POINTS_PER_SCREEN, 101), 0);
    ASSERT_EQ(SetCtrlAttribute(main_, STRIP_RawA, ATTR_SCROLL_MODE, 1), 0);
    ASSERT_EQ(SetCtrlAttribute(main_, STRIP_RawA, ATTR_NUM_TRACES, 5), 0);
    const int colors[5] = {VAL_DK_GREEN, VAL_DK_GREEN, VAL_BLACK, VAL_GREEN, VAL_RED};
    for (int t = 0; t < 5; ++t)
        EXPECT_EQ(SetTraceAttribute(main_, STRIP_RawA, t + 1, ATTR_TRACE_COLOR, colors[t]), 0);
    EXPECT_EQ(SetAxisScalingMode(main_, STRIP_RawA, VAL_LEFT_YAXIS, VAL_MANUAL, 600, 1023), 0);

    // Sample k of trace t carries 1000 k + t; each call appends 100 samples.
    std::vector<double> history(500);
    int sample = 0;
    for (int call = 0; call < 3; ++call) {
        for (int k = 0; k < 100; ++k, ++sample)
            for (int t = 0; t < 5; ++t) history[5 * k + t] = 1000.0 * sample + t;
        ASSERT_EQ(PlotStripChart(main_, STRIP_RawA, history.data(), 500, 0, 0), 0);
    }
    const StripChartModel* m = GetStripChartModel(main_, STRIP_RawA);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->numTraces, 5);
    EXPECT_EQ(m->pointsPerScreen, 101);
    EXPECT_EQ(m->appendedPoints, 300);
    EXPECT_EQ(m->traceColors, std::vector<int>(colors, colors + 5));
    EXPECT_EQ(m->y.min, 600);
    EXPECT_EQ(m->y.max, 1023);
    ASSERT_EQ(m->traces.size(), 5u);
    for (int t = 0; t < 5; ++t) {
        const std::deque<double>& d = m->traces[t];
        ASSERT_EQ(d.size(), 101u) << "trace " << t + 1;
        EXPECT_EQ(d.back(), 1000.0 * 299 + t) << "newest last";
        EXPECT_EQ(d.front(), 1000.0 * 199 + t) << "oldest of the screen first";
    }
    // Every other value from index 1: trace 1 gets 1, 5, 9; trace 2 gets 3, 7.
    ASSERT_EQ(SetCtrlAttribute(main_, STRIP_RawB, ATTR_NUM_TRACES, 2), 0);
    const double y[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    PlotStripChart(main_, STRIP_RawB, y, 5, 1, 1);
    const StripChartModel* b = GetStripChartModel(main_, STRIP_RawB);
    EXPECT_EQ(b->traces[0], (std::deque<double>{1, 5, 9}));
    EXPECT_EQ(b->traces[1], (std::deque<double>{3, 7}));
    EXPECT_EQ(b->appendedPoints, 2);
    // Fewer points per screen drops the oldest at once.
    SetCtrlAttribute(main_, STRIP_RawA, ATTR_POINTS_PER_SCREEN, 10);
    EXPECT_EQ(m->traces[3].size(), 10u);
    EXPECT_EQ(m->traces[3].back(), 1000.0 * 299 + 3);
}

// However narrow the graph, its legend stays clear of its title and inside the plot: off
// centre, then on more lines.
TEST_F(ToolkitGraphs, ALegendNeverRunsOverTheTitle) {
    DisplayPanel(main_);
    const double x[2] = {1, 128}, y[2] = {500, 500};
    for (const char* name : {"Upper limit", "Lower limit", "Set-point", "Data"}) {
        const int h =
            PlotXY(main_, GRAPH_Buffer, x, y, 2, VAL_THIN_LINE, VAL_NO_POINT, VAL_SOLID, 1, 0);
        SetPlotAttribute(main_, GRAPH_Buffer, h, ATTR_PLOT_LG_TEXT, name);
    }
    QWidget* host = qtor::FindControl(main_, GRAPH_Buffer)->widget;
    auto* plot = host->findChild<QCustomPlot*>();
    ASSERT_NE(plot, nullptr);
    QTemporaryDir dir;
    for (int width : {900, 560, 420, 300}) {
        host->setFixedWidth(width);
        QApplication::processEvents();
        ASSERT_EQ(SaveGraphImage(main_, GRAPH_Buffer, dir.filePath("b.png").toLocal8Bit()), 0);
        plot->replot();  // laid out at this width
        QCPTextElement* title = nullptr;
        for (int i = 0; i < plot->plotLayout()->elementCount() && !title; ++i)
            if (auto* row = qobject_cast<QCPLayoutGrid*>(plot->plotLayout()->elementAt(i)))
                for (int k = 0; k < row->elementCount() && !title; ++k)
                    title = qobject_cast<QCPTextElement*>(row->elementAt(k));
        ASSERT_NE(title, nullptr);
        const int textWidth = QFontMetrics(title->font()).horizontalAdvance(title->text());
        QRect text(0, title->rect().top(), textWidth, title->rect().height());
        text.moveCenter(title->rect().center());
        const QRect legend = plot->legend->outerRect();
        EXPECT_FALSE(legend.intersects(text)) << width;
        EXPECT_LE(legend.right(), plot->width()) << width;
        EXPECT_GE(legend.left(), 0) << width;
    }
    host->setMinimumWidth(0);
    host->setMaximumWidth(QWIDGETSIZE_MAX);
    DeleteGraphPlot(main_, GRAPH_Buffer, VAL_ALL_PLOTS, VAL_IMMEDIATE_DRAW);
}

QColor PixelAt(QCustomPlot* plot, const QImage& image, double x, double y) {
    const QPoint p(int(plot->xAxis->coordToPixel(x)), int(plot->yAxis->coordToPixel(y)));
    const qreal dpr = image.devicePixelRatio();
    return image.pixelColor(int(p.x() * dpr), int(p.y() * dpr));
}

TEST_F(ToolkitGraphs, RectanglesAndCursorsReachTheScreen) {
    DisplayPanel(main_);
    QApplication::processEvents();
    PlotRectangle(main_, GRAPH_VideoA, 0, 0, 1023, 1, VAL_GRAY, VAL_GRAY);
    PlotRectangle(main_, GRAPH_VideoA, 600, 0, 400, 1, VAL_RED, VAL_RED);  // corners reversed
    SetGraphCursor(main_, GRAPH_VideoA, 2, 800, 0.5);
    SetCursorAttribute(main_, GRAPH_VideoA, 2, ATTR_CURSOR_POINT_STYLE, VAL_SOLID_CIRCLE);
    QTemporaryDir dir;
    ASSERT_EQ(SavePanelImage(main_, dir.filePath("main.png").toLocal8Bit().constData()), 0);
    EXPECT_FALSE(QImage(dir.filePath("main.png")).isNull());

    QWidget* host = qtor::FindControl(main_, GRAPH_VideoA)->widget;
    auto* plot = host->findChild<QCustomPlot*>();
    ASSERT_NE(plot, nullptr);
    const QImage image = plot->grab().toImage();
    EXPECT_EQ(PixelAt(plot, image, 500, 0.5), QColor(255, 0, 0));
    EXPECT_EQ(PixelAt(plot, image, 420, 0.25), QColor(255, 0, 0));
    EXPECT_EQ(PixelAt(plot, image, 300, 0.5), QColor(0xA0, 0xA0, 0xA0));
    EXPECT_EQ(PixelAt(plot, image, 700, 0.5), QColor(0xA0, 0xA0, 0xA0));
    EXPECT_NE(PixelAt(plot, image, 800, 0.5), QColor(0xA0, 0xA0, 0xA0)) << "cursor marker";

    // After deleting all plots, the background is gone but the cursor stays drawn.
    DeleteGraphPlot(main_, GRAPH_VideoA, VAL_ALL_PLOTS, VAL_IMMEDIATE_DRAW);
    ASSERT_EQ(SavePanelImage(main_, dir.filePath("main2.png").toLocal8Bit().constData()), 0);
    const QImage after = plot->grab().toImage();
    EXPECT_EQ(PixelAt(plot, after, 500, 0.5), QColor(255, 255, 255));
    EXPECT_NE(PixelAt(plot, after, 800, 0.5), QColor(255, 255, 255));
}

TEST_F(ToolkitGraphs, StripChartsKeepALongHistoryAndExportAllOfIt) {
    QTemporaryDir dir;
    for (const auto& [chart, value] : {std::pair{STRIP_RawA, "Value A"}, {STRIP_RawB, "Value B"}}) {
        const StripChartModel* m = GetStripChartModel(main_, chart);
        ASSERT_NE(m, nullptr);
        const long long kept = m->history.capacity;
        ASSERT_GE(kept, 16000) << "ten minutes of records at 26 a second";
        // More than it holds: the oldest are dropped, the rest kept in order.
        for (long long n = 0; n < kept + 1234; ++n) {
            const double v[5] = {10.0 * n, 10.0 * n + 1, 10.0 * n + 2, 10.0 * n + 3, 10.0 * n + 4};
            ASSERT_EQ(PlotStripChartRecord(main_, chart, v, 5), 0);
        }
        EXPECT_EQ(m->history.size(), kept);
        EXPECT_EQ(m->history.first(), 1234);
        const QString path = dir.filePath(QString("strip%1.csv").arg(chart));
        ASSERT_EQ(ExportGraphData(main_, chart, path.toLocal8Bit().constData()), 0);
        std::ifstream in(path.toStdString());
        std::vector<std::string> lines;
        for (std::string l; std::getline(in, l);) lines.push_back(l);
        ASSERT_EQ(lines.size(), size_t(kept) + 1);
        EXPECT_EQ(lines[0], std::string("record,time,Upper limit,Lower limit,Set-point,") + value +
                                ",Set-point (red)");
        // Record n: its number, the time it came, its values.
        const auto row = [](long long n) {
            std::string values;
            for (int t = 0; t < 5; ++t) values += "," + std::to_string(10 * n + t);
            return std::regex(std::to_string(n) + R"(,\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3})" +
                              values);
        };
        EXPECT_TRUE(std::regex_match(lines[1], row(1234))) << lines[1];
        EXPECT_TRUE(std::regex_match(lines.back(), row(kept + 1233))) << lines.back();
    }
    std::ofstream(dir.filePath("plain").toStdString()) << "not a folder";
    EXPECT_LT(ExportGraphData(main_, STRIP_RawA, dir.filePath("plain/x.csv").toLocal8Bit()), 0);
}

// Paused, a chart's drawing stays while records go on into its history and its screen; it
// says PAUSED on its face, and a chart linked to it follows its time axis.
TEST_F(ToolkitGraphs, APausedStripChartKeepsItsDrawing) {
    DisplayPanel(main_);
    SetCtrlAttribute(main_, STRIP_RawA, ATTR_NUM_TRACES, 5);
    SetAxisScalingMode(main_, STRIP_RawA, VAL_LEFT_YAXIS, VAL_MANUAL, 0, 1023);
    // Trace 1 dashed: its line has gaps where a solid one has none.
    EXPECT_EQ(SetTraceAttribute(main_, STRIP_RawA, 1, ATTR_TRACE_LINE_STYLE, VAL_DASH), 0);
    EXPECT_LT(SetTraceAttribute(main_, STRIP_RawA, 1, ATTR_TRACE_LINE_STYLE, 7), 0);
    for (int t = 1; t <= 5; ++t) SetTraceAttribute(main_, STRIP_RawA, t, ATTR_TRACE_COLOR, VAL_RED);
    auto* plot = qtor::FindControl(main_, STRIP_RawA)->widget->findChild<QCustomPlot*>();
    ASSERT_NE(plot, nullptr);
    long long n = 0;
    const auto feed = [this, &n](int records) {
        for (int end = int(n) + records; n < end; ++n) {
            // A value that jumps about, so that every new record shows.
            const double v[5] = {900, 100, 500, double(200 + (n * 37) % 600), 500};
            PlotStripChart(main_, STRIP_RawA, v, 5, 0, 0);
            PlotStripChartRecord(main_, STRIP_RawA, v, 5);
        }
        QApplication::processEvents();
    };
    // What is on screen once the chart has drawn itself (saving an image draws it at once).
    QTemporaryDir dir;
    const auto drawn = [&] {
        EXPECT_EQ(SaveGraphImage(main_, STRIP_RawA, dir.filePath("s.png").toLocal8Bit()), 0);
        return plot->grab().toImage();
    };
    feed(150);
    const QImage live = drawn();
    // The share of red in every pixel column from record -90 to -10: sampled once a record,
    // a dash pattern in step with the records' spacing would read as solid.
    const auto reds = [plot](const QImage& image, double y) {
        const int from = int(plot->xAxis->coordToPixel(-90));
        const int to = int(plot->xAxis->coordToPixel(-10));
        const int row = int(plot->yAxis->coordToPixel(y));
        const qreal dpr = image.devicePixelRatio();
        int n = 0;
        for (int x = from; x <= to; ++x)
            n += image.pixelColor(int(x * dpr), int(row * dpr)) == QColor(255, 0, 0);
        return 100 * n / (to - from + 1);
    };
    EXPECT_GT(reds(live, 500), 95) << "a solid line";
    EXPECT_LT(reds(live, 900), 85) << "a dashed line";
    EXPECT_GT(reds(live, 900), 35) << "a dashed line";
    // The mark's place, the top of the plot's middle.
    const auto markAt = [plot](const QImage& image) {
        const QRect r = plot->axisRect()->rect();
        const qreal dpr = image.devicePixelRatio();
        return image.pixelColor(int(r.center().x() * dpr), int((r.top() + 4) * dpr));
    };
    EXPECT_NE(markAt(live), QColor(0xFF, 0xE2, 0xA0));
    SetCtrlAttribute(main_, STRIP_RawA, ATTR_PAUSED, 1);
    const QImage paused = drawn();
    EXPECT_EQ(markAt(paused), QColor(0xFF, 0xE2, 0xA0)) << "PAUSED on the chart";
    feed(60);
    const StripChartModel* m = GetStripChartModel(main_, STRIP_RawA);
    EXPECT_EQ(m->history.total, 210);
    EXPECT_EQ(m->traces[3].back(), 200 + (209 * 37) % 600);
    EXPECT_TRUE(drawn() == paused);

    // Linked, B shows the records A is dragged or zoomed to, while both are paused.
    EXPECT_EQ(SetCtrlAttribute(main_, STRIP_RawA, ATTR_TIME_AXIS_LINK, STRIP_RawB), 0);
    EXPECT_LT(SetCtrlAttribute(main_, STRIP_RawA, ATTR_TIME_AXIS_LINK, GRAPH_Buffer), 0);
    for (long long k = 0; k < n; ++k) {
        const double v[5] = {1, 2, 3, 4, 5};
        PlotStripChartRecord(main_, STRIP_RawB, v, 5);
    }
    const StripChartModel* b = GetStripChartModel(main_, STRIP_RawB);
    plot->xAxis->setRange(-100, -70);  // as a drag does
    EXPECT_EQ(m->shown.min, -100);
    EXPECT_EQ(b->shown.max, 0) << "B is not paused: it stays";
    SetCtrlAttribute(main_, STRIP_RawB, ATTR_PAUSED, 1);
    auto* plotB = qtor::FindControl(main_, STRIP_RawB)->widget->findChild<QCustomPlot*>();
    QWheelEvent wheel(QPointF(plot->axisRect()->center()),
                      plot->mapToGlobal(plot->axisRect()->center()), QPoint(), QPoint(0, 120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(plot, &wheel);
    EXPECT_LT(m->shown.max - m->shown.min, 30) << "zoomed in";
    EXPECT_EQ(b->shown.min, m->shown.min);
    EXPECT_EQ(b->shown.max, m->shown.max);
    EXPECT_EQ(plotB->xAxis->range().lower, m->shown.min);
    SetCtrlAttribute(main_, STRIP_RawA, ATTR_TIME_AXIS_LINK, 0);
    SetCtrlAttribute(main_, STRIP_RawB, ATTR_PAUSED, 0);

    SetCtrlAttribute(main_, STRIP_RawA, ATTR_PAUSED, 0);
    const QImage goneOn = drawn();
    EXPECT_FALSE(goneOn == paused) << "going on shows the records that came";
    EXPECT_FALSE(goneOn == live);
    EXPECT_NE(markAt(goneOn), QColor(0xFF, 0xE2, 0xA0));
}

}  // namespace
