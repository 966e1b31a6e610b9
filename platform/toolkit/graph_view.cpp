// GraphView's model side: construction from the panel file and the graph and strip-chart
// operations, which change the model and leave the drawing to the refresh.
#include "graph_view.h"

#include <qcustomplot.h>

#include <QMenu>
#include <QToolTip>
#include <QWidget>
#include <algorithm>
#include <chrono>

#include "graph_files.h"
#include "graph_readout.h"
#include "toolkit.h"

namespace qtor {

namespace {

constexpr int kCursors = 2;
constexpr int kLeastShown = 10;  // records a paused strip chart shows at least

}  // namespace

GraphView::GraphView(QWidget* host, bool strip)
    : QObject(host), host_(host), strip_(strip), scratch_(new QVector<QCPGraphData>) {
    graph_.xTitle = host->property("xTitle").toString().toStdString();
    graph_.yTitle = host->property("yTitle").toString().toStdString();
    graph_.x = {host->property("xMin").toDouble(), host->property("xMax").toDouble()};
    graph_.y = {host->property("yMin").toDouble(), host->property("yMax").toDouble()};
    if (strip_) {
        StripChartModel& m = stripModel_;
        m.y = graph_.y;
        m.xTitle = graph_.xTitle;
        m.yTitle = graph_.yTitle;
        m.traceColors.assign(1, VAL_BLACK);
        m.traceStyles.assign(1, VAL_SOLID);
        m.traces.resize(1);
        for (const QString& name : host->property("traces").toString().split(';'))
            if (!name.isEmpty()) m.traceNames.push_back(name.trimmed().toStdString());
        m.history.capacity = std::max(0, host->property("history").toInt());
    } else {
        graph_.cursors.resize(kCursors);
        cursorPlaced_.assign(kCursors, false);
    }
    buildPlot();
    if (strip_) {
        connect(plot_->xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this,
                [this](const QCPRange& r) {
                    if (!clamping_ && stripModel_.paused) showRange(r.lower, r.upper);
                });
    }

    // Pointing reads the data out; the context menu saves it.
    plot_->setMouseTracking(true);
    connect(plot_, &QCustomPlot::mouseMove, this, [this](QMouseEvent* e) {
        const QString text = readOut(e->pos());
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(e->globalPosition().toPoint(), text, plot_);
    });
    plot_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(plot_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { showMenu(pos); });

    host->installEventFilter(this);
    markDirty();
}

int GraphView::addCurve(CurveModel&& curve) {
    PlotItem item;
    item.handle = nextHandle_++;
    item.curve = std::move(curve);
    graph_.plots.push_back(std::move(item));
    plotsDirty_ = true;
    markDirty();
    return graph_.plots.back().handle;
}

namespace {

// True when `p` lies wholly inside the area of `r`: drawn over by an opaque `r`, it could not
// be seen again.
bool Covers(const RectModel& r, const PlotItem& p) {
    const double left = std::min(r.x1, r.x2), right = std::max(r.x1, r.x2);
    const double bottom = std::min(r.y1, r.y2), top = std::max(r.y1, r.y2);
    auto inside = [&](double x, double y) {
        return x >= left && x <= right && y >= bottom && y <= top;
    };
    if (p.isRect) return inside(p.rect.x1, p.rect.y1) && inside(p.rect.x2, p.rect.y2);
    const std::size_t n = std::min(p.curve.x.size(), p.curve.y.size());
    for (std::size_t i = 0; i < n; ++i)
        if (!inside(p.curve.x[i], p.curve.y[i])) return false;
    return true;
}

}  // namespace

int GraphView::addRect(const RectModel& rect) {
    // A background drawn over everything keeps only what is still visible: a graph that is
    // covered again and again (a parameter read per click) does not grow without end.
    graph_.plots.erase(std::remove_if(graph_.plots.begin(), graph_.plots.end(),
                                      [&rect](const PlotItem& p) { return Covers(rect, p); }),
                       graph_.plots.end());
    PlotItem item;
    item.handle = nextHandle_++;
    item.isRect = true;
    item.rect = rect;
    graph_.plots.push_back(std::move(item));
    plotsDirty_ = true;
    markDirty();
    return graph_.plots.back().handle;
}

bool GraphView::deletePlot(int handle) {
    if (handle == VAL_ALL_PLOTS) {
        graph_.plots.clear();
    } else {
        auto it = std::find_if(graph_.plots.begin(), graph_.plots.end(),
                               [handle](const PlotItem& p) { return p.handle == handle; });
        if (it == graph_.plots.end()) return false;
        graph_.plots.erase(it);
    }
    plotsDirty_ = true;
    markDirty();
    return true;
}

bool GraphView::setCurveName(int handle, const std::string& name) {
    auto it = std::find_if(graph_.plots.begin(), graph_.plots.end(),
                           [handle](const PlotItem& p) { return p.handle == handle; });
    if (it == graph_.plots.end() || it->isRect) return false;
    if (it->curve.name == name) return true;
    it->curve.name = name;
    plotsDirty_ = true;
    markDirty();
    return true;
}

bool GraphView::setCursor(int cursor, double x, double y) {
    if (cursor < 1 || cursor > int(graph_.cursors.size())) return false;
    graph_.cursors[cursor - 1].x = x;
    graph_.cursors[cursor - 1].y = y;
    cursorPlaced_[cursor - 1] = true;
    cursorsDirty_ = true;
    markDirty();
    return true;
}

bool GraphView::setCursorPointStyle(int cursor, int style) {
    if (cursor < 1 || cursor > int(graph_.cursors.size())) return false;
    graph_.cursors[cursor - 1].pointStyle = style;
    cursorsDirty_ = true;
    markDirty();
    return true;
}

void GraphView::setAxisRange(bool yAxis, double min, double max) {
    AxisRange& r = strip_ ? stripModel_.y : (yAxis ? graph_.y : graph_.x);
    if (strip_ && !yAxis) return;              // a strip chart's x axis is its screen width
    if (r.min == min && r.max == max) return;  // set on every record, rarely changed
    r = {min, max};
    axesDirty_ = true;
    if (!stripModel_.paused) markDirty();  // a paused chart takes it when it goes on
}

void GraphView::appendStrip(const double* y, int count, int start, int skip) {
    StripChartModel& m = stripModel_;
    const int traces = m.numTraces;
    const size_t keep = size_t(std::max(1, m.pointsPerScreen));
    const long step = long(skip) + 1;
    if (stripPhase_ == 0 && step == 1 && count % traces == 0) {
        // Whole samples, as a strip chart is fed on every record: one trace at a time, the
        // points about to scroll out dropped at once.
        const size_t rounds = size_t(count / traces);
        const size_t first = rounds > keep ? rounds - keep : 0;
        for (int t = 0; t < traces; ++t) {
            std::deque<double>& d = m.traces[size_t(t)];
            const size_t incoming = rounds - first;
            const size_t drop =
                std::min(d.size(), d.size() + incoming > keep ? d.size() + incoming - keep : 0);
            d.erase(d.begin(), d.begin() + std::ptrdiff_t(drop));
            for (size_t r = first; r < rounds; ++r) d.push_back(y[start + long(r) * traces + t]);
        }
        m.appendedPoints += (long long)rounds;
        stripDirty_ = true;
        if (!m.paused) markDirty();
        return;
    }
    for (int i = 0; i < count; ++i) {
        std::deque<double>& t = m.traces[stripPhase_];
        t.push_back(y[start + i * step]);
        if (t.size() > keep) t.pop_front();
        if (++stripPhase_ == traces) {
            stripPhase_ = 0;
            ++m.appendedPoints;
        }
    }
    stripDirty_ = true;
    if (!m.paused) markDirty();
}

void GraphView::addRecord(const double* values, int count, double timeMs) {
    StripHistory& h = stripModel_.history;
    if (h.capacity <= 0 || count < 1) return;
    if (count != h.traces) {  // another layout of records starts a new history
        h.traces = count;
        h.total = 0;
        h.values.assign(std::size_t(h.capacity) * count, 0.0);
        h.times.assign(std::size_t(h.capacity), 0.0);
    }
    const std::size_t slot = std::size_t(h.total % h.capacity);
    std::copy(values, values + count, h.values.begin() + std::ptrdiff_t(slot * count));
    h.times[slot] = timeMs >= 0 ? timeMs
                                : double(std::chrono::duration_cast<std::chrono::milliseconds>(
                                             std::chrono::system_clock::now().time_since_epoch())
                                             .count());
    ++h.total;
}

void GraphView::clearStrip() {
    StripChartModel& m = stripModel_;
    for (auto& t : m.traces) t.clear();
    m.appendedPoints = 0;
    m.history.total = 0;
    m.pausedAt = 0;
    stripPhase_ = 0;
    stripDirty_ = true;
    markDirty();
}

void GraphView::setPointsPerScreen(int points) {
    if (points < 1 || points == stripModel_.pointsPerScreen) return;
    stripModel_.pointsPerScreen = points;
    for (auto& t : stripModel_.traces)
        while (t.size() > size_t(points)) t.pop_front();
    stripDirty_ = axesDirty_ = true;
    if (!stripModel_.paused) markDirty();
}

void GraphView::setNumTraces(int traces) {
    if (traces < 1 || traces == stripModel_.numTraces) return;
    stripModel_.numTraces = traces;
    stripModel_.traces.resize(traces);
    stripModel_.traceColors.resize(traces, VAL_BLACK);
    stripModel_.traceStyles.resize(traces, VAL_SOLID);
    stripPhase_ = 0;
    stripDirty_ = true;
    if (!stripModel_.paused) markDirty();
}

bool GraphView::setTraceColor(int trace, int color) {
    if (trace < 1) return false;
    if (trace > int(stripModel_.traceColors.size()))
        stripModel_.traceColors.resize(trace, VAL_BLACK);  // colours may come before the count
    if (stripModel_.traceColors[trace - 1] == color) return true;
    stripModel_.traceColors[trace - 1] = color;
    stripDirty_ = true;
    if (!stripModel_.paused) markDirty();
    return true;
}

bool GraphView::setTraceStyle(int trace, int lineStyle) {
    if (trace < 1 || (lineStyle != VAL_SOLID && lineStyle != VAL_DASH)) return false;
    std::vector<int>& styles = stripModel_.traceStyles;
    if (trace > int(styles.size())) styles.resize(trace, VAL_SOLID);
    if (styles[trace - 1] == lineStyle) return true;
    styles[trace - 1] = lineStyle;
    stripDirty_ = true;
    if (!stripModel_.paused) markDirty();
    return true;
}

void GraphView::setPaused(bool paused) {
    StripChartModel& m = stripModel_;
    if (!strip_ || paused == m.paused) return;
    m.paused = paused;
    if (paused) {
        m.pausedAt = m.history.total;
        m.shown = {-double(std::max(1, m.pointsPerScreen) - 1), 0.0};
        historyDrawn_ = -1;
        plot_->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    } else {
        plot_->setInteractions({});
    }
    axesDirty_ = stripDirty_ = true;
    markDirty();
}

void GraphView::showRange(double from, double to) {
    StripChartModel& m = stripModel_;
    if (!m.paused) return;
    const StripHistory& h = m.history;
    double lo = -double(std::max(1, m.pointsPerScreen) - 1), hi = 0;
    if (h.total > 0) {
        lo = double(h.first() - m.pausedAt + 1);
        hi = double(h.total - m.pausedAt);
    }
    double width = std::clamp(to - from, std::min<double>(kLeastShown, hi - lo), hi - lo);
    from = std::clamp(from, lo, hi - width);
    m.shown = {from, from + width};
    if (historyDrawn_ != h.total) syncHistory();  // records that came meanwhile can be reached
    clamping_ = true;
    plot_->xAxis->setRange(m.shown.min, m.shown.max);
    clamping_ = false;
    plot_->replot(QCustomPlot::rpQueuedReplot);
    layersReplotted_ = true;
    if (rangeFollower_ && !following_) {
        following_ = true;
        rangeFollower_(m.shown.min, m.shown.max);
        following_ = false;
    }
}

void GraphView::showMenu(const QPoint& pos) {
    if (!menuHandler_) return;
    auto* menu = new QMenu(plot_);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    auto handler = menuHandler_;
    menu->addAction(QStringLiteral("Save image..."), [handler] { handler(EVENT_SAVE_IMAGE); });
    menu->addAction(QStringLiteral("Export data..."), [handler] { handler(EVENT_EXPORT_DATA); });
    menu->popup(plot_->mapToGlobal(pos));
}

bool GraphView::saveImage(const QString& path) {
    if (host_->isVisible()) renderNow();
    return SavePlotImage(plot_, path);
}

bool GraphView::exportCsv(const QString& path) {
    return strip_ ? ExportStripCsv(stripModel_, path) : ExportGraphCsv(graph_, cursorPlaced_, path);
}

QString GraphView::readOut(const QPoint& pos) const {
    return strip_ ? StripReadOut(*plot_, stripModel_, pos) : GraphReadOut(*plot_, graph_, pos);
}

}  // namespace qtor
