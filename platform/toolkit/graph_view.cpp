#include "graph_view.h"

#include <qcustomplot.h>

#include <QEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cmath>

#include "graph_files.h"
#include "graph_plot.h"
#include "graph_readout.h"
#include "toolkit.h"

namespace qtor {

namespace {

constexpr int kCursors = 2;
constexpr int kLeastShown = 10;  // records a paused strip chart shows at least

QColor Rgb(int c) { return QColor((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF); }

std::vector<GraphView*>& Pending() {
    static std::vector<GraphView*> pending;
    return pending;
}

struct IndicatorHooks {
    std::function<void()> show;
    std::function<bool()> pending;
};
IndicatorHooks& Indicators() {
    static IndicatorHooks hooks;
    return hooks;
}

}  // namespace

int RefreshIntervalMs() {
    qreal hz = 60;
    if (auto* screen = QGuiApplication::primaryScreen(); screen && screen->refreshRate() > 1)
        hz = screen->refreshRate();
    return std::max(4, int(1000.0 / hz));
}

// One timer for all views and indicators: whatever changed since the last refresh is drawn
// once, all in one repaint of the window.
void ScheduleRefresh() {
    static QTimer* timer = [] {
        auto* t = new QTimer(QCoreApplication::instance());
        t->setSingleShot(true);
        t->setInterval(std::max(RefreshIntervalMs(), kRefreshMs));
        // Digits changing faster than five times a second cannot be read: they are shown at
        // every other refresh.
        QObject::connect(t, &QTimer::timeout, [] {
            static bool digits = false;
            FlushDirtyViews();
            digits = !digits;
            const IndicatorHooks& indicators = Indicators();
            if (digits && indicators.show) indicators.show();
            if (indicators.pending && indicators.pending()) ScheduleRefresh();
        });
        return t;
    }();
    if (!timer->isActive()) timer->start();
}

void SetIndicatorRefresh(std::function<void()> show, std::function<bool()> pending) {
    Indicators() = {std::move(show), std::move(pending)};
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
    plot_ = new CachedPlot(host);
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
    plot_->setAutoAddPlottableToLegend(false);

    const QColor titleColor(host->property("titleColor").toString());
    const QString title = host->property("title").toString();
    QFont small = plot_->font();
    small.setPointSizeF(std::max(7.0, small.pointSizeF() - 1));
    for (QCPAxis* axis : {plot_->xAxis, plot_->yAxis}) {
        axis->setTickLabelFont(small);
        axis->setLabelFont(small);
        axis->setLabelPadding(1);
    }
    graph_.xTitle = host->property("xTitle").toString().toStdString();
    graph_.yTitle = host->property("yTitle").toString().toStdString();
    plot_->xAxis->setLabel(QString::fromStdString(graph_.xTitle));
    plot_->yAxis->setLabel(QString::fromStdString(graph_.yTitle));
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
        text->setLayer("axes");  // drawn with the axes, not again with every new record
        if (titleColor.isValid()) text->setTextColor(titleColor);
        // The legend sits in the title row, at its right, in one line: off the data, so that
        // no curve runs through its text.
        // An empty element as wide as the legend on the left keeps the title centred.
        auto* row = new QCPLayoutGrid;
        plot_->plotLayout()->addElement(0, 0, row);
        plot_->plotLayout()->setRowSpacing(0);
        legendBalance_ = new QCPLayoutElement(plot_);
        row->addElement(0, 0, legendBalance_);
        row->addElement(0, 1, text);
        plot_->axisRect()->insetLayout()->take(plot_->legend);
        row->addElement(0, 2, plot_->legend);
        row->setColumnStretchFactors({0.001, 1, 0.001});
        plot_->legend->setFillOrder(QCPLayoutGrid::foColumnsFirst);
        plot_->legend->setBorderPen(Qt::NoPen);
        plot_->legend->setBrush(Qt::NoBrush);
        plot_->legend->setMargins(QMargins(4, 0, 8, 0));
    }
    plot_->legend->setFont(small);
    plot_->legend->setIconSize(18, 8);
    plot_->legend->setVisible(false);
    if (plot_->axisRect()->insetLayout()->elementCount() > 0)  // a graph without a title row
        plot_->axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignRight);

    graph_.x = {host->property("xMin").toDouble(), host->property("xMax").toDouble()};
    graph_.y = {host->property("yMin").toDouble(), host->property("yMax").toDouble()};
    if (strip_) {
        StripChartModel& m = stripModel_;
        m.y = graph_.y;
        m.xTitle = graph_.xTitle;
        m.yTitle = graph_.yTitle;
        m.traceColors.assign(1, VAL_BLACK);
        m.traces.resize(1);
        for (const QString& name : host->property("traces").toString().split(';'))
            if (!name.isEmpty()) m.traceNames.push_back(name.trimmed().toStdString());
        m.history.capacity = std::max(0, host->property("history").toInt());
        plot_->axisRect()->setRangeDrag(Qt::Horizontal);
        plot_->axisRect()->setRangeZoom(Qt::Horizontal);
        connect(plot_->xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this,
                [this](const QCPRange& r) {
                    if (!clamping_ && stripModel_.paused) showRange(r.lower, r.upper);
                });
    } else {
        graph_.cursors.resize(kCursors);
        cursorPlaced_.assign(kCursors, false);
        for (int i = 0; i < kCursors; ++i) {
            auto* line = new QCPItemStraightLine(plot_);
            line->setPen(QPen(i == 0 ? QColor(0, 0, 0) : QColor(200, 0, 200), 1));
            line->setVisible(false);
            line->setLayer("main");  // one buffer less to compose on every repaint
            auto* marker = new QCPItemTracer(plot_);
            marker->setStyle(QCPItemTracer::tsNone);
            marker->setPen(QPen(QColor(0, 0, 0)));
            marker->setBrush(i == 0 ? QColor(255, 255, 0) : QColor(255, 0, 255));
            marker->setSize(9);
            marker->setVisible(false);
            marker->setLayer("main");
            cursorItems_.push_back({line, marker});
        }
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
    ScheduleRefresh();
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

void GraphView::addRecord(const double* values, int count) {
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
    h.times[slot] = double(std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::system_clock::now().time_since_epoch())
                               .count());
    ++h.total;
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
}

void GraphView::syncAxes() {
    if (strip_) {
        const StripChartModel& m = stripModel_;
        clamping_ = true;
        if (m.paused) {
            plot_->xAxis->setRange(m.shown.min, m.shown.max);
        } else {
            plot_->xAxis->setRange(-double(std::max(1, m.pointsPerScreen) - 1), 0);
            plot_->yAxis->setRange(m.y.min, m.y.max);
        }
        clamping_ = false;
    } else {
        plot_->xAxis->setRange(graph_.x.min, graph_.x.max);
        plot_->yAxis->setRange(graph_.y.min, graph_.y.max);
    }
}

// Curves and rectangles are kept in pools and reused: adding or removing an item would
// invalidate the layer's buffer and force a full replot on every record.
void GraphView::syncPlots() {
    size_t rects = 0, curves = 0;
    const size_t pooled = rectItems_.size() + curveItems_.size();
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
        if (curve->pen() != pen || curve->name() != QString::fromStdString(c.name))
            legendDirty_ = true;
        curve->setPen(pen);
        curve->setName(QString::fromStdString(c.name));
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
        if (!curve->visible()) legendDirty_ = true;
        curve->setVisible(true);
    }
    // Cursors stay on top of curves and rectangles added to the layer after them.
    if (rectItems_.size() + curveItems_.size() != pooled) {
        for (CursorItems& c : cursorItems_) {
            for (QCPLayerable* item :
                 {static_cast<QCPLayerable*>(c.line), static_cast<QCPLayerable*>(c.marker)}) {
                item->setLayer(plot_->layer("overlay"));
                item->setLayer(plot_->layer("main"));
            }
        }
    }
    for (size_t i = rects; i < rectItems_.size(); ++i) rectItems_[i]->setVisible(false);
    for (size_t i = curves; i < curveItems_.size(); ++i) {
        if (curveItems_[i]->visible()) legendDirty_ = true;
        curveItems_[i]->setVisible(false);
    }
}

// The legend lists the named curves on show, in drawing order.
void GraphView::syncLegend() {
    QCPLegend* legend = plot_->legend;
    legend->clearItems();
    for (QCPCurve* curve : curveItems_)
        if (curve->visible() && !curve->name().isEmpty()) curve->addToLegend(legend);
    legend->setVisible(legend->itemCount() > 0);
    if (legendBalance_) {
        const int width = legend->visible() ? legend->minimumOuterSizeHint().width() : 0;
        legendBalance_->setMinimumSize(width, 0);
    }
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
    while (int(traceGraphs_.size()) < m.numTraces) {
        traceGraphs_.push_back(plot_->addGraph());
        tracePens_.push_back(-1);
    }
    while (int(traceGraphs_.size()) > m.numTraces) {
        plot_->removeGraph(traceGraphs_.back());
        traceGraphs_.pop_back();
        tracePens_.pop_back();
    }
    for (int t = 0; t < m.numTraces; ++t) {
        // The newest point stands at 0, the older ones to its left. Inside a level run only
        // its ends are drawn: the same pixels, for a fraction of the cost (limits and
        // set-points are level for thousands of records).
        const std::deque<double>& points = m.traces[t];
        const int n = int(points.size());
        scratch_->resize(n);
        int kept = 0;
        for (int k = 0; k < n; ++k) {
            const double v = points[size_t(k)];
            if (kept >= 2 && v == (*scratch_)[kept - 1].value && v == (*scratch_)[kept - 2].value)
                --kept;  // the previous point lies inside the run
            (*scratch_)[kept++] = QCPGraphData(k - (n - 1), v);
        }
        scratch_->resize(kept);
        traceGraphs_[t]->data()->set(*scratch_, true);
        const int color = t < int(m.traceColors.size()) ? m.traceColors[t] : VAL_BLACK;
        if (tracePens_[t] != color) {
            traceGraphs_[t]->setPen(QPen(Rgb(color), 1.0));  // thin: drawn without a stroker
            tracePens_[t] = color;
        }
    }
}

// A paused chart draws its history: record n at n - pausedAt + 1, so the newest when paused
// stands at 0 as it did on screen.
void GraphView::syncHistory() {
    const StripChartModel& m = stripModel_;
    const StripHistory& h = m.history;
    historyDrawn_ = h.total;
    if (h.total == 0) {
        syncStrip();  // nothing recorded: the screen's points stay
        return;
    }
    if (traceGraphs_.empty()) syncStrip();
    const long long first = h.first();
    const int traces = std::min<int>(h.traces, int(traceGraphs_.size()));
    for (int t = 0; t < traces; ++t) {
        scratch_->resize(int(h.total - first));
        for (long long n = first; n < h.total; ++n)
            (*scratch_)[int(n - first)] = QCPGraphData(double(n - m.pausedAt + 1), h.value(n, t));
        traceGraphs_[t]->data()->set(*scratch_, true);
    }
}

void GraphView::flush() {
    if (!host_->isVisible()) return;  // redrawn when shown
    renderNow();
}

void GraphView::renderNow() {
    if (strip_ && stripModel_.paused) {
        // Points and records keep coming; the drawing changes only at the user's hand.
        if (historyDrawn_ < 0) syncHistory();
        if (axesDirty_ || !layersReplotted_) syncAxes();
        axesDirty_ = stripDirty_ = false;
        plot_->replot(QCustomPlot::rpQueuedRefresh);
        layersReplotted_ = true;
        return;
    }
    if (axesDirty_) syncAxes();
    if (strip_) {
        if (stripDirty_) syncStrip();
    } else {
        if (plotsDirty_) syncPlots();
        if (cursorsDirty_) syncCursors();
    }
    if (legendDirty_) syncLegend();
    // With the axes and legend unchanged only the data layer (curves, rectangles, cursors) is
    // drawn again; the axes, ticks, grid and legend keep their buffer.
    const bool full = axesDirty_ || legendDirty_ || !layersReplotted_;
    const bool dataChanged = plotsDirty_ || stripDirty_ || cursorsDirty_;
    axesDirty_ = plotsDirty_ = cursorsDirty_ = stripDirty_ = legendDirty_ = false;
    if (full) {
        plot_->replot(QCustomPlot::rpQueuedRefresh);
        layersReplotted_ = true;
        return;
    }
    if (dataChanged) static_cast<CachedPlot*>(plot_)->redrawData();
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
