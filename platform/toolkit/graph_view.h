// A graph or strip-chart control: the model of what is plotted, drawn with QCustomPlot.
//
// Operations change only the model and mark the view dirty; the drawing is brought up to date
// at most once per screen refresh, so a fast acquisition loop costs model updates, not repaints.
#pragma once

#include <QObject>
#include <QVector>
#include <vector>

#include "graph_model.h"

class QWidget;
class QCustomPlot;
class QCPItemRect;
class QCPCurve;
class QCPItemStraightLine;
class QCPItemTracer;
class QCPGraph;
struct QCPGraphData;

namespace qtor {

// Draws every view marked dirty since the last screen refresh.
void FlushDirtyViews();
// Milliseconds between two screen refreshes.
int RefreshIntervalMs();

class GraphView : public QObject {
  public:
    // Builds the plot inside `host`, a placeholder widget whose properties give the title
    // and the initial axis ranges.
    GraphView(QWidget* host, bool strip);
    ~GraphView() override;

    bool isStrip() const { return strip_; }
    const GraphModel& graph() const { return graph_; }
    const StripChartModel& strip() const { return stripModel_; }

    // Graph operations.
    int addCurve(CurveModel&& curve);
    int addRect(const RectModel& rect);
    bool deletePlot(int handle);  // VAL_ALL_PLOTS deletes every curve and rectangle
    bool setCursor(int cursor, double x, double y);
    bool setCursorPointStyle(int cursor, int style);
    void setAxisRange(bool yAxis, double min, double max);

    // Strip-chart operations.
    void appendStrip(const double* y, int count, int start, int skip);
    void setPointsPerScreen(int points);
    void setNumTraces(int traces);
    bool setTraceColor(int trace, int color);

    // Brings the drawing up to date now and repaints (used before grabbing an image).
    void renderNow();
    // Called by the repaint scheduler.
    void flush();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void markDirty();
    void syncPlots();
    void syncCursors();
    void syncStrip();
    void syncAxes();

    QWidget* host_;
    QCustomPlot* plot_;
    bool strip_;
    GraphModel graph_;
    StripChartModel stripModel_;
    int nextHandle_ = 1;
    int stripPhase_ = 0;  // trace that the next appended value belongs to (0-based)

    bool plotsDirty_ = true, cursorsDirty_ = true, axesDirty_ = true, stripDirty_ = true;
    bool scheduled_ = false;
    bool layersReplotted_ = false;  // a full replot has filled every layer buffer
    std::vector<bool> cursorPlaced_;
    std::vector<QCPItemRect*> rectItems_;
    std::vector<QCPCurve*> curveItems_;
    struct CursorItems {
        QCPItemStraightLine* line;
        QCPItemTracer* marker;
    };
    std::vector<CursorItems> cursorItems_;
    std::vector<QCPGraph*> traceGraphs_;
    QVector<QCPGraphData>* scratch_;

    friend void FlushDirtyViews();
};

}  // namespace qtor
