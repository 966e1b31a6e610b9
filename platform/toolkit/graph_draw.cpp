// GraphView's drawing: the plot built from the model, synced to it at the refresh all views
// and indicators share.
#include <qcustomplot.h>

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <algorithm>

#include "graph_plot.h"
#include "graph_view.h"
#include "toolkit.h"

namespace qtor {

namespace {

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

// The plot fills its placeholder; the model gives it its titles, and a graph its cursors.
void GraphView::buildPlot() {
    auto* layout = new QVBoxLayout(host_);
    layout->setContentsMargins(0, 0, 0, 0);
    plot_ = new CachedPlot(host_);
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

    const QColor titleColor(host_->property("titleColor").toString());
    const QString title = host_->property("title").toString();
    QFont small = plot_->font();
    small.setPointSizeF(std::max(7.0, small.pointSizeF() - 1));
    for (QCPAxis* axis : {plot_->xAxis, plot_->yAxis}) {
        axis->setTickLabelFont(small);
        axis->setLabelFont(small);
        axis->setLabelPadding(1);
    }
    plot_->xAxis->setLabel(QString::fromStdString(graph_.xTitle));
    plot_->yAxis->setLabel(QString::fromStdString(graph_.yTitle));
    // Short graphs (y 0..1) carry their title on the left axis instead of a title row.
    const bool compact = host_->property("yMax").toDouble() <= 1.0;
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
        titleText_ = text;
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

    // The legend follows the plot's width.
    plot_->installEventFilter(this);

    if (strip_) {
        plot_->axisRect()->setRangeDrag(Qt::Horizontal);
        plot_->axisRect()->setRangeZoom(Qt::Horizontal);
        // A paused chart says so on its face: the values beside it go on.
        pausedMark_ = new QCPItemText(plot_);
        pausedMark_->setLayer("main");
        pausedMark_->position->setType(QCPItemPosition::ptAxisRectRatio);
        pausedMark_->position->setCoords(0.5, 0.0);
        pausedMark_->setPositionAlignment(Qt::AlignTop | Qt::AlignHCenter);
        pausedMark_->setText(QStringLiteral("PAUSED"));
        QFont bold = small;
        bold.setBold(true);
        pausedMark_->setFont(bold);
        pausedMark_->setColor(QColor(0x80, 0x30, 0x00));
        pausedMark_->setBrush(QColor(0xFF, 0xE2, 0xA0));
        pausedMark_->setPen(QPen(QColor(0x80, 0x30, 0x00)));
        pausedMark_->setPadding(QMargins(6, 1, 6, 1));
        pausedMark_->setVisible(false);
        return;
    }
    for (size_t i = 0; i < graph_.cursors.size(); ++i) {
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

GraphView::~GraphView() {
    auto& p = Pending();
    p.erase(std::remove(p.begin(), p.end(), this), p.end());
    delete scratch_;
}

bool GraphView::eventFilter(QObject* watched, QEvent* event) {
    // A hidden graph is not redrawn; bring it up to date when it appears.
    if (watched == host_ && event->type() == QEvent::Show) markDirty();
    // Laid out before the plot's own resize replots it.
    if (watched == plot_ && event->type() == QEvent::Resize) arrangeTitleRow();
    return false;
}

void GraphView::markDirty() {
    if (scheduled_) return;
    scheduled_ = true;
    Pending().push_back(this);
    ScheduleRefresh();
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
            item->setPen(dataPen(r.frameColor, 1.0, VAL_SOLID));
            item->setBrush(Rgb(r.fillColor));
            item->setVisible(true);
            continue;
        }
        if (curves == curveItems_.size()) {
            curveItems_.push_back(new QCPCurve(plot_->xAxis, plot_->yAxis));
        }
        QCPCurve* curve = curveItems_[curves++];
        const CurveModel& c = p.curve;
        const QPen pen = dataPen(c.color, c.plotStyle == VAL_FAT_LINE ? 2.0 : 1.0, c.lineStyle);
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

// A pen of `width` pixels as the screen counts them (thin ones drawn without a stroker on a
// screen of pixel ratio 1). QCustomPlot draws a pen of width 1 one device pixel wide whatever
// the ratio: on a screen of ratio 2 such a line would be half as thick as the text beside it.
// A hair wider, it is scaled with everything else.
QPen GraphView::dataPen(int color, double width, int lineStyle) const {
    QPen pen(Rgb(color), width);
    if (lineStyle == VAL_DASH) pen.setStyle(Qt::DashLine);
    if (plot_->devicePixelRatioF() > 1.0 && qFuzzyCompare(width, 1.0)) pen.setWidthF(1.02);
    return pen;
}

// The legend lists the named curves on show, in drawing order.
void GraphView::syncLegend() {
    QCPLegend* legend = plot_->legend;
    legend->clearItems();
    for (QCPCurve* curve : curveItems_)
        if (curve->visible() && !curve->name().isEmpty()) curve->addToLegend(legend);
    legend->setVisible(legend->itemCount() > 0);
    arrangeTitleRow();
}

// The legend shares the title row. A row too narrow for the title between the legend and a
// balance as wide (which keeps the title centred) drops the balance; one too narrow for the
// title and the legend in one line puts the legend on two lines or more, never over the title.
void GraphView::arrangeTitleRow() {
    if (!legendBalance_ || !titleText_) return;
    QCPLegend* legend = plot_->legend;
    if (!legend->visible()) {
        legendBalance_->setMinimumSize(0, 0);
        return;
    }
    const int room = plot_->width() - titleText_->minimumOuterSizeHint().width();
    const auto widthIn = [legend](int columns) {
        legend->setWrap(columns);
        legend->setFillOrder(QCPLayoutGrid::foColumnsFirst, true);
        return legend->minimumOuterSizeHint().width();
    };
    int columns = legend->itemCount();
    int width = widthIn(columns);
    while (columns > 1 && width > room) width = widthIn(--columns);
    legendBalance_->setMinimumSize(2 * width <= room ? width : 0, 0);
}

void GraphView::syncPausedMark() {
    if (pausedMark_) pausedMark_->setVisible(stripModel_.paused);
}

void GraphView::syncCursors() {
    for (size_t i = 0; i < cursorItems_.size(); ++i) {
        const CursorModel& c = graph_.cursors[i];
        CursorItems& items = cursorItems_[i];
        const bool shown = cursorPlaced_[i];
        items.line->setPen(dataPen(i == 0 ? VAL_BLACK : 0xC800C8, 1.0, VAL_SOLID));
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
        tracePens_.emplace_back(Qt::NoPen);
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
        const int style = t < int(m.traceStyles.size()) ? m.traceStyles[t] : VAL_SOLID;
        const QPen pen = dataPen(color, 1.0, style);
        if (tracePens_[t] != pen) {
            traceGraphs_[t]->setPen(pen);
            tracePens_[t] = pen;
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
    // On a screen of another pixel ratio than the pens were made for, they are made again.
    if (const qreal ratio = plot_->devicePixelRatioF(); ratio != penRatio_) {
        penRatio_ = ratio;
        std::fill(tracePens_.begin(), tracePens_.end(), QPen(Qt::NoPen));
        plotsDirty_ = cursorsDirty_ = stripDirty_ = axesDirty_ = true;
    }
    syncPausedMark();
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

}  // namespace qtor
