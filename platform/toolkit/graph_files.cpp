// Image and CSV export, each file written aside and put in place whole (QSaveFile).
#include "graph_files.h"

#include <qcustomplot.h>

#include <QDateTime>
#include <QFileInfo>
#include <QPdfWriter>
#include <QSaveFile>
#include <QStringList>
#include <QTextStream>
#include <algorithm>
#include <map>

namespace qtor {

namespace {

QString CsvField(const QString& s) {
    if (!s.contains(',') && !s.contains('"') && !s.contains('\n')) return s;
    return '"' + QString(s).replace("\"", "\"\"") + '"';
}

void WriteHeader(QTextStream& out, const QStringList& names) {
    QStringList fields;
    for (const QString& n : names) fields << CsvField(n);
    out << fields.join(',') << '\n';
}

// All of `text`, or else the file as it was.
bool WriteWhole(const QString& path, const QString& text) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    const QByteArray bytes = text.toUtf8();
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

}  // namespace

QString NumberText(double v) { return QString::number(v, 'g', 12); }

QString LocalTimeText(double msSinceEpoch) {
    return QDateTime::fromMSecsSinceEpoch(qint64(msSinceEpoch))
        .toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"));
}

bool SavePlotImage(QCustomPlot* plot, const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    const int w = std::max(plot->width(), 200), h = std::max(plot->height(), 120);
    // Written aside and put in place whole: a full disk leaves an earlier file as it was.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    bool ok = false;
    if (suffix == "pdf") {
        QPdfWriter pdf(&file);
        pdf.setResolution(72);
        pdf.setPageSize(QPageSize(QSizeF(w, h), QPageSize::Point));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        pdf.setCreator(QStringLiteral("Q-TOR KMB-Dored"));
        QCPPainter painter(&pdf);
        painter.setMode(QCPPainter::pmVectorized);
        painter.setMode(QCPPainter::pmNoCaching);
        plot->toPainter(&painter, w, h);
        ok = painter.end();
    } else {
        const char* format = suffix == "jpg" || suffix == "jpeg" ? "JPG"
                             : suffix == "bmp"                   ? "BMP"
                                                                 : "PNG";
        // Laid out as on screen, drawn at a resolution fit for a report or a printout.
        const double scale = std::max(1.0, double(kImageWidth) / w);
        ok = plot->toPixmap(w, h, scale).save(&file, format);
    }
    if (!ok) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool ExportStripCsv(const StripChartModel& strip, const QString& path) {
    QString text;
    QTextStream out(&text);
    const StripChartModel& m = strip;
    const StripHistory& h = m.history;
    const int traces = h.total > 0 ? h.traces : m.numTraces;
    QStringList names{h.total > 0 ? "record" : "point"};
    if (h.total > 0) names << "time";
    for (int t = 0; t < traces; ++t)
        names << (t < int(m.traceNames.size()) ? QString::fromStdString(m.traceNames[t])
                                               : QString("trace %1").arg(t + 1));
    WriteHeader(out, names);
    if (h.total > 0) {
        for (long long n = h.first(); n < h.total; ++n) {
            out << n << ',' << LocalTimeText(h.time(n));
            for (int t = 0; t < traces; ++t) out << ',' << NumberText(h.value(n, t));
            out << '\n';
        }
    } else {
        size_t points = 0;
        for (const auto& t : m.traces) points = std::max(points, t.size());
        for (size_t k = 0; k < points; ++k) {
            out << k;
            for (const auto& t : m.traces)
                out << ',' << (k < t.size() ? NumberText(t[k]) : QString());
            out << '\n';
        }
    }
    out.flush();
    return WriteWhole(path, text);
}

bool ExportGraphCsv(const GraphModel& graph, const std::vector<bool>& cursorPlaced,
                    const QString& path) {
    QString text;
    QTextStream out(&text);
    std::vector<const CurveModel*> curves;
    for (const PlotItem& p : graph.plots)
        if (!p.isRect) curves.push_back(&p.curve);
    if (!curves.empty()) {
        // One row per x any curve has, one column per curve.
        QStringList names{graph.xTitle.empty() ? QString("x")
                                               : QString::fromStdString(graph.xTitle)};
        std::map<double, std::vector<QString>> rows;
        for (size_t c = 0; c < curves.size(); ++c) {
            names << (curves[c]->name.empty() ? QString("curve %1").arg(c + 1)
                                              : QString::fromStdString(curves[c]->name));
            const size_t n = std::min(curves[c]->x.size(), curves[c]->y.size());
            for (size_t i = 0; i < n; ++i) {
                auto& row = rows[curves[c]->x[i]];
                row.resize(curves.size());
                if (row[c].isEmpty()) row[c] = NumberText(curves[c]->y[i]);
            }
        }
        WriteHeader(out, names);
        for (auto& [x, values] : rows) {
            values.resize(curves.size());
            out << NumberText(x);
            for (const QString& v : values) out << ',' << v;
            out << '\n';
        }
    } else {
        WriteHeader(out, {"item", "x1", "y1", "x2", "y2"});
        for (const PlotItem& p : graph.plots) {
            const RectModel& r = p.rect;
            out << "rectangle," << NumberText(r.x1) << ',' << NumberText(r.y1) << ','
                << NumberText(r.x2) << ',' << NumberText(r.y2) << '\n';
        }
        for (size_t i = 0; i < graph.cursors.size(); ++i) {
            if (!cursorPlaced[i]) continue;
            out << "cursor " << i + 1 << ',' << NumberText(graph.cursors[i].x) << ','
                << NumberText(graph.cursors[i].y) << ",,\n";
        }
    }
    out.flush();
    return WriteWhole(path, text);
}

}  // namespace qtor
