// A graph or strip-chart control: the model of what is plotted, drawn with QCustomPlot.
//
// Operations change only the model and mark the view dirty; the drawing is brought up to date
// at the next refresh (ten times a second), so a fast acquisition loop costs model updates,
// not repaints. The operations are in graph_view.cpp, the drawing and the refresh in
// graph_draw.cpp.
#pragma once

#include <QObject>
#include <QPen>
#include <QString>
#include <QVector>
#include <functional>
#include <vector>

#include "graph_model.h"

class QWidget;
class QCustomPlot;
class QCPItemRect;
class QCPCurve;
class QCPItemStraightLine;
class QCPItemTracer;
class QCPGraph;
class QCPLayoutElement;
class QCPItemText;
class QMouseEvent;
class QPoint;
struct QCPGraphData;

namespace qtor {

// Graphs and numeric indicators are drawn at most this often (milliseconds): a fast
// acquisition costs model updates, and its drawing a fixed share of a core.
constexpr int kRefreshMs = 125;
// Draws what changed (views, indicators) at the next refresh, at most every kRefreshMs.
void ScheduleRefresh();
// Draws every view marked dirty since the last refresh.
void FlushDirtyViews();
// Milliseconds between two screen refreshes.
int RefreshIntervalMs();
// Numeric indicators are drawn by the same refresh, their digits at every other one: `show`
// puts the values set since on screen, and the refresh comes again while `pending` is true.
// The toolkit sets them before it first schedules a refresh for an indicator.
void SetIndicatorRefresh(std::function<void()> show, std::function<bool()> pending);

class GraphView : public QObject {
  public:
    // Builds the plot inside `host`, a placeholder widget whose properties give the title,
    // axis titles, initial axis ranges and, for strip charts, trace names and history size.
    GraphView(QWidget* host, bool strip);
    ~GraphView() override;

    bool isStrip() const { return strip_; }
    const GraphModel& graph() const { return graph_; }
    const StripChartModel& strip() const { return stripModel_; }
    QCustomPlot* plot() const { return plot_; }

    // Graph operations.
    int addCurve(CurveModel&& curve);
    int addRect(const RectModel& rect);
    bool deletePlot(int handle);  // VAL_ALL_PLOTS deletes every curve and rectangle
    bool setCursor(int cursor, double x, double y);
    bool setCursorPointStyle(int cursor, int style);
    bool setCurveName(int handle, const std::string& name);
    void setAxisRange(bool yAxis, double min, double max);

    // Strip-chart operations.
    void appendStrip(const double* y, int count, int start, int skip);
    void addRecord(const double* values, int count, double timeMs);
    void clearStrip();
    void setPointsPerScreen(int points);
    void setNumTraces(int traces);
    bool setTraceColor(int trace, int color);
    bool setTraceStyle(int trace, int lineStyle);
    void setPaused(bool paused);
    // While paused: shows records [from, to] of the time axis (0 the newest when paused),
    // kept inside the history.
    void showRange(double from, double to);
    // While paused, every range shown is handed to `follower` too (another chart's showRange).
    void setRangeFollower(std::function<void(double from, double to)> follower) {
        rangeFollower_ = std::move(follower);
    }

    // Files: an image by the path's extension, the data as CSV. False when not written.
    bool saveImage(const QString& path);
    bool exportCsv(const QString& path);
    // The read-out a pointer at `pos` (plot pixels) gets; empty away from the data.
    QString readOut(const QPoint& pos) const;

    // Where the context menu's entries go (EVENT_SAVE_IMAGE, EVENT_EXPORT_DATA); none: no menu.
    void setMenuHandler(std::function<void(int event)> handler) {
        menuHandler_ = std::move(handler);
    }

    // Brings the drawing up to date now and repaints (used before grabbing an image).
    void renderNow();
    // Called by the repaint scheduler.
    void flush();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void showMenu(const QPoint& pos);
    // Drawing.
    void buildPlot();
    void markDirty();
    void syncPlots();
    void syncCursors();
    void syncStrip();
    void syncHistory();
    void syncAxes();
    void syncLegend();
    void arrangeTitleRow();
    void syncPausedMark();
    QPen dataPen(int color, double width, int lineStyle) const;

    QWidget* host_;
    QCustomPlot* plot_;
    bool strip_;
    GraphModel graph_;
    StripChartModel stripModel_;
    int nextHandle_ = 1;
    int stripPhase_ = 0;  // trace that the next appended value belongs to (0-based)
    std::function<void(int)> menuHandler_;
    std::function<void(double, double)> rangeFollower_;
    bool following_ = false;  // handing a range on: the follower's own hand-on comes back

    bool plotsDirty_ = true, cursorsDirty_ = true, axesDirty_ = true, stripDirty_ = true;
    bool legendDirty_ = true;
    QCPLayoutElement* legendBalance_ = nullptr;  // left of the title, as wide as the legend
    QCPLayoutElement* titleText_ = nullptr;
    QCPItemText* pausedMark_ = nullptr;
    double penRatio_ = 0;  // the pixel ratio the pens were made for
    bool scheduled_ = false;
    bool layersReplotted_ = false;  // a full replot has filled every layer buffer
    bool clamping_ = false;
    long long historyDrawn_ = -1;  // history.total when the paused drawing was built
    std::vector<bool> cursorPlaced_;
    std::vector<QCPItemRect*> rectItems_;
    std::vector<QCPCurve*> curveItems_;
    struct CursorItems {
        QCPItemStraightLine* line;
        QCPItemTracer* marker;
    };
    std::vector<CursorItems> cursorItems_;
    std::vector<QCPGraph*> traceGraphs_;
    std::vector<QPen> tracePens_;  // the pen each trace graph was last given
    QVector<QCPGraphData>* scratch_;

    friend void FlushDirtyViews();
};

}  // namespace qtor
