// Read-outs: the curve point within reach, or the trace nearest the pointer in its record.
#include "graph_readout.h"

#include <qcustomplot.h>

#include <QPoint>
#include <algorithm>
#include <cmath>
#include <vector>

#include "graph_files.h"

namespace qtor {

constexpr int kReadOutReach = 12;  // pixels from a point that still read it out

QString GraphReadOut(const QCustomPlot& plot, const GraphModel& graph, const QPoint& pos) {
    if (!plot.axisRect()->rect().contains(pos)) return {};
    const double x = plot.xAxis->pixelToCoord(pos.x());
    const QString xName =
        graph.xTitle.empty() ? QStringLiteral("x") : QString::fromStdString(graph.xTitle);
    // The curve point nearest the pointer, if it is within reach.
    double best = kReadOutReach;
    QString text;
    int index = 0;
    for (const PlotItem& p : graph.plots) {
        if (p.isRect) continue;
        ++index;
        const CurveModel& c = p.curve;
        for (size_t i = 0; i < std::min(c.x.size(), c.y.size()); ++i) {
            const double d = std::hypot(plot.xAxis->coordToPixel(c.x[i]) - pos.x(),
                                        plot.yAxis->coordToPixel(c.y[i]) - pos.y());
            if (d >= best) continue;
            best = d;
            const QString name =
                c.name.empty() ? QString("curve %1").arg(index) : QString::fromStdString(c.name);
            text =
                QString("%1: %2\n%3 %4").arg(name, NumberText(c.y[i]), xName, NumberText(c.x[i]));
        }
    }
    if (!text.isEmpty()) return text;
    return QString("%1 %2").arg(xName).arg(std::lround(x));
}

QString StripReadOut(const QCustomPlot& plot, const StripChartModel& strip, const QPoint& pos) {
    if (!plot.axisRect()->rect().contains(pos)) return {};
    const double x = plot.xAxis->pixelToCoord(pos.x());
    const double pixelY = pos.y();
    const StripChartModel& m = strip;
    const StripHistory& h = m.history;
    const long long at = std::llround(x);  // records from the newest (0)
    std::vector<double> values;
    long long record = -1;
    if (m.paused && h.total > 0) {
        record = m.pausedAt - 1 + at;
        if (record < h.first() || record >= h.total) return {};
        for (int t = 0; t < h.traces; ++t) values.push_back(h.value(record, t));
    } else {
        for (const auto& t : m.traces) {
            const long long size = static_cast<long long>(t.size());
            const long long k = size - 1 + at;
            if (k < 0 || k >= size) return {};
            values.push_back(t[size_t(k)]);
        }
        if (h.total + at - 1 >= h.first() && h.total > 0) record = h.total - 1 + at;
    }
    if (values.empty()) return {};
    // The trace drawn nearest the pointer.
    size_t nearest = 0;
    for (size_t t = 1; t < values.size(); ++t) {
        if (std::abs(plot.yAxis->coordToPixel(values[t]) - pixelY) <
            std::abs(plot.yAxis->coordToPixel(values[nearest]) - pixelY))
            nearest = t;
    }
    const QString name = nearest < m.traceNames.size()
                             ? QString::fromStdString(m.traceNames[nearest])
                             : QString("trace %1").arg(nearest + 1);
    QString text = QString("%1: %2\nrecord %3").arg(name, NumberText(values[nearest])).arg(at);
    if (record >= 0) text += "  " + LocalTimeText(h.time(record)).mid(11);
    return text;
}

}  // namespace qtor
