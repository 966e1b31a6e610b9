#include "graph_view.h"

#include <qcustomplot.h>

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <algorithm>
#include <cmath>

#include "toolkit.h"

namespace qtor {

namespace {

constexpr int kCursors = 2;

QColor Rgb(int c) { return QColor((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF); }

// One timer for all views: whatever was plotted since the last screen refresh is drawn once.
std::vector<GraphView*>& Pending() {
    static std::vector<GraphView*> pending;
    return pending;
}

QTimer* RepaintTimer() {
    static QTimer* timer = nullptr;
    if (!timer) {
        timer = new QTimer(QCoreApplication::instance());
        timer->setSingleShot(true);
        timer->setInterval(RefreshIntervalMs());
        timer->setTimerType(Qt::PreciseTimer);
        QObject::connect(timer, &QTimer::timeout, [] { FlushDirtyViews(); });
    }
    return timer;
}

}  // namespace

int RefreshIntervalMs() {
    qreal hz = 60;
    if (auto* screen = QGuiApplication::primaryScreen(); screen && screen->refreshRate() > 1)
        hz = screen->refreshRate();
    return std::max(4, int(1000.0 / hz));
}

void FlushDirtyViews() {
    std::vector<GraphView*> views;
    views.swap(Pending());
    for (GraphView* v : views) {
        v->scheduled_ = false;
        v->flush();
    }
}

GraphView::GraphView(QWidget* host, bool strip)
    : QObject(host), host_(host), strip_(strip), scratch_(new QVector<QCPGraphData>) {
    auto* layout = new QVBoxLayout(host);
    layout->setContentsMargins(0, 0, 0, 0);
    plot_ = new QCustomPlot(host);
    layout->addWidget(plot_);
    plot_->setNoAntialiasingOnDrag(true);
    // The data has a buffer of its own, so a new record redraws only the data; axes and grid
    // share the buffer below it with the legend and overlay layers, so that each repaint
    // composes as few buffers as possible.
    plot_->moveLayer(plot_->layer("axes"), plot_->layer("grid"), QCustomPlot::limAbove);
    plot_->moveLayer(plot_->layer("legend"), plot_->layer("axes"), QCustomPlot::limAbove);
    plot_->moveLayer(plot_->layer("overlay"), plot_->layer("legend"), QCustomPlot::limAbove);
    plot_->layer("main")->setMode(QCPLayer::lmBuffered);
    plot_->setNotAntialiasedElements(QCP::aeAll);
    plot_->setAttribute(Qt::WA_TransparentForMouseEvents);  // display only, like the panel's graphs

    const QColor titleColor(host->property("titleColor").toString());
    const QString title = host->property("title").toString();
    QFont small = plot_->font();
    small.setPointSizeF(std::max(7.0, small.pointSizeF() - 1));
    for (QCPAxis* axis : {plot_->xAxis, plot_->yAxis}) axis->setTickLabelFont(small);
    // Short graphs (y 0..1) carry their title on the left axis instead of a title row.
    const bool compact = host->property("yMax").toDouble() <= 1.0;
    if (compact) {
        plot_->yAxis->setTicks(false);
        plot_->yAxis->setTickLabels(false);
        plot_->yAxis->setLabel(title);
        QFont bold = small;
        bold.setBold(true);
        plot_->yAxis->setLabelFont(bold);
        if (titleColor.isValid()) plot_->yAxis->setLabelColor(titleColor);
        plot_->axisRect()->setAutoMargins(QCP::msLeft | QCP::msBottom);
        plot_->axisRect()->setMargins(QMargins(0, 6, 12, 0));
    } else if (!title.isEmpty()) {
        plot_->plotLayout()->insertRow(0);
        QFont bold = small;
        bold.setBold(true);
        auto* text = new QCPTextElement(plot_, title, bold);
        if (titleColor.isValid()) text->setTextColor(titleColor);
        plot_->plotLayout()->addElement(0, 0, text);
        plot_->plotLayout()->setRowSpacing(0);
    }

    graph_.x = {host->property("xMin").toDouble(), host->property("xMax").toDouble()};
    graph_.y = {host->property("yMin").toDouble(), host->property("yMax").toDouble()};
    if (strip_) {
        stripModel_.y = graph_.y;
        stripModel_.traceColors.assign(1, VAL_BLACK);
        stripModel_.traces.resize(1);
    } else {
        plot_->addLayer("cursors", plot_->layer("main"), QCustomPlot::limAbove);
        plot_->layer("cursors")->setMode(QCPLayer::lmBuffered);
        graph_.cursors.resize(kCursors);
        cursorPlaced_.assign(kCursors, false);
        for (int i = 0; i < kCursors; ++i) {
            auto* line = new QCPItemStraightLine(plot_);
            line->setPen(QPen(i == 0 ? QColor(0, 0, 0) : QColor(200, 0, 200), 1));
            line->setVisible(false);
            line->setLayer("cursors");
            auto* marker = new QCPItemTracer(plot_);
            marker->setStyle(QCPItemTracer::tsNone);
            marker->setPen(QPen(QColor(0, 0, 0)));
            marker->setBrush(i == 0 ? QColor(255, 255, 0) : QColor(255, 0, 255));
            marker->setSize(9);
            marker->setVisible(false);
            marker->setLayer("cursors");
            cursorItems_.push_back({line, marker});
        }
    }
    host->installEventFilter(this);
    markDirty();
}

GraphView::~GraphView() {
    auto& p = Pending();
    p.erase(std::remove(p.begin(), p.end(), this), p.end());
    delete scratch_;
}

bool GraphView::eventFilter(QObject* watched, QEvent* event) {
    // A hidden graph is not redrawn; bring it up to date when it appears.
    if (watched == host_ && event->type() == QEvent::Show) markDirty();
    return false;
}

void GraphView::markDirty() {
    if (scheduled_) return;
    scheduled_ = true;
    Pending().push_back(this);
    QTimer* timer = RepaintTimer();
    if (!timer->isActive()) timer->start();
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
    markDirty();
}

void GraphView::appendStrip(const double* y, int count, int start, int skip) {
    StripChartModel& m = stripModel_;
    const int traces = m.numTraces;
    const size_t keep = size_t(std::max(1, m.pointsPerScreen));
    const long step = long(skip) + 1;
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
    markDirty();
}

void GraphView::setPointsPerScreen(int points) {
    if (points < 1 || points == stripModel_.pointsPerScreen) return;
    stripModel_.pointsPerScreen = points;
    for (auto& t : stripModel_.traces)
        while (t.size() > size_t(points)) t.pop_front();
    stripDirty_ = axesDirty_ = true;
    markDirty();
}

void GraphView::setNumTraces(int traces) {
    if (traces < 1 || traces == stripModel_.numTraces) return;
    stripModel_.numTraces = traces;
    stripModel_.traces.resize(traces);
    stripModel_.traceColors.resize(traces, VAL_BLACK);
    stripPhase_ = 0;
    stripDirty_ = true;
    markDirty();
}

bool GraphView::setTraceColor(int trace, int color) {
    if (trace < 1) return false;
    if (trace > int(stripModel_.traceColors.size()))
        stripModel_.traceColors.resize(trace, VAL_BLACK);  // colours may come before the count
    if (stripModel_.traceColors[trace - 1] == color) return true;
    stripModel_.traceColors[trace - 1] = color;
    stripDirty_ = true;
    markDirty();
    return true;
}

void GraphView::syncAxes() {
    if (strip_) {
        plot_->xAxis->setRange(0, std::max(1, stripModel_.pointsPerScreen - 1));
        plot_->yAxis->setRange(stripModel_.y.min, stripModel_.y.max);
    } else {
        plot_->xAxis->setRange(graph_.x.min, graph_.x.max);
        plot_->yAxis->setRange(graph_.y.min, graph_.y.max);
    }
}

// Curves and rectangles are kept in pools and reused: adding or removing an item would
// invalidate the layer's buffer and force a full replot on every record.
void GraphView::syncPlots() {
    size_t rects = 0, curves = 0;
    for (const PlotItem& p : graph_.plots) {
        if (p.isRect) {
            if (rects == rectItems_.size()) {
                auto* item = new QCPItemRect(plot_);
                item->setClipToAxisRect(true);
                item->setLayer("main");
                rectItems_.push_back(item);
            }
            QCPItemRect* item = rectItems_[rects++];
            const RectModel& r = p.rect;
            // Corners in either order span the same area.
            item->topLeft->setCoords(std::min(r.x1, r.x2), std::max(r.y1, r.y2));
            item->bottomRight->setCoords(std::max(r.x1, r.x2), std::min(r.y1, r.y2));
            item->setPen(QPen(Rgb(r.frameColor), 1));
            item->setBrush(Rgb(r.fillColor));
            item->setVisible(true);
            continue;
        }
        if (curves == curveItems_.size()) {
            curveItems_.push_back(new QCPCurve(plot_->xAxis, plot_->yAxis));
        }
        QCPCurve* curve = curveItems_[curves++];
        const CurveModel& c = p.curve;
        QPen pen(Rgb(c.color), c.plotStyle == VAL_FAT_LINE ? 2.0 : 1.0);
        if (c.lineStyle == VAL_DASH) pen.setStyle(Qt::DashLine);
        curve->setPen(pen);
        if (c.pointStyle == VAL_SIMPLE_DOT)
            curve->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, Rgb(c.color), 3));
        else if (c.pointStyle == VAL_SOLID_CIRCLE)
            curve->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, Rgb(c.color), 7));
        else
            curve->setScatterStyle(QCPScatterStyle());
        const int n = int(std::min(c.x.size(), c.y.size()));
        QVector<QCPCurveData> data(n);
        for (int i = 0; i < n; ++i) data[i] = QCPCurveData(i, c.x[i], c.y[i]);
        curve->data()->set(data, true);
        curve->setVisible(true);
    }
    for (size_t i = rects; i < rectItems_.size(); ++i) rectItems_[i]->setVisible(false);
    for (size_t i = curves; i < curveItems_.size(); ++i) curveItems_[i]->setVisible(false);
}

void GraphView::syncCursors() {
    for (size_t i = 0; i < cursorItems_.size(); ++i) {
        const CursorModel& c = graph_.cursors[i];
        CursorItems& items = cursorItems_[i];
        const bool shown = cursorPlaced_[i];
        items.line->setVisible(shown);
        items.line->point1->setCoords(c.x, 0);
        items.line->point2->setCoords(c.x, 1);
        items.marker->position->setCoords(c.x, c.y);
        switch (c.pointStyle) {
            case VAL_SOLID_CIRCLE:
                items.marker->setStyle(QCPItemTracer::tsCircle);
                items.marker->setSize(9);
                break;
            case VAL_SIMPLE_DOT:
                items.marker->setStyle(QCPItemTracer::tsCircle);
                items.marker->setSize(3);
                break;
            default: items.marker->setStyle(QCPItemTracer::tsNone);
        }
        items.marker->setVisible(shown && c.pointStyle != VAL_NO_POINT);
    }
}

void GraphView::syncStrip() {
    const StripChartModel& m = stripModel_;
    while (int(traceGraphs_.size()) < m.numTraces) traceGraphs_.push_back(plot_->addGraph());
    while (int(traceGraphs_.size()) > m.numTraces) {
        plot_->removeGraph(traceGraphs_.back());
        traceGraphs_.pop_back();
    }
    for (int t = 0; t < m.numTraces; ++t) {
        const std::deque<double>& points = m.traces[t];
        scratch_->resize(int(points.size()));
        int k = 0;
        for (double v : points) {
            (*scratch_)[k] = QCPGraphData(k, v);
            ++k;
        }
        traceGraphs_[t]->data()->set(*scratch_, true);
        const int color = t < int(m.traceColors.size()) ? m.traceColors[t] : VAL_BLACK;
        traceGraphs_[t]->setPen(QPen(Rgb(color), 1.5));
    }
}

void GraphView::flush() {
    if (!host_->isVisible()) return;  // redrawn when shown
    renderNow();
}

void GraphView::renderNow() {
    if (axesDirty_) syncAxes();
    if (strip_) {
        if (stripDirty_) syncStrip();
    } else {
        if (plotsDirty_) syncPlots();
        if (cursorsDirty_) syncCursors();
    }
    // With the axes unchanged only the data layer and the cursor layer are drawn again;
    // the axes, ticks and grid keep their buffer.
    const bool full = axesDirty_ || !layersReplotted_;
    const bool dataChanged = plotsDirty_ || stripDirty_;
    const bool cursorsChanged = cursorsDirty_;
    axesDirty_ = plotsDirty_ = cursorsDirty_ = stripDirty_ = false;
    if (full) {
        plot_->replot(QCustomPlot::rpQueuedRefresh);
        layersReplotted_ = true;
        return;
    }
    if (dataChanged) plot_->layer("main")->replot();
    if (cursorsChanged && plot_->layer("cursors")) plot_->layer("cursors")->replot();
}

}  // namespace qtor
