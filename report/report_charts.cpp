#include "report_charts.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace report {

namespace {

constexpr double kTitleHeight = 14;
constexpr double kLeftAxis = 42, kBottomAxis = 24, kRightLabels = 62;

QPen Pen(const QColor& colour, double width, Qt::PenStyle style = Qt::SolidLine) {
    QPen pen(colour, width, style, Qt::FlatCap, Qt::MiterJoin);
    if (style == Qt::DashLine) pen.setDashPattern({5, 3});
    return pen;
}

QString Number(double v, int decimals) { return QString::number(v, 'f', decimals); }

int DecimalsOf(double step) {
    return step >= 1 ? 0 : static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
}

// The data range of a chart mapped onto its plot rectangle.
struct Frame {
    QRectF plot;
    double x0 = 0, x1 = 1, y0 = 0, y1 = 1;
    double X(double x) const { return plot.left() + (x - x0) / (x1 - x0) * plot.width(); }
    double Y(double y) const { return plot.bottom() - (y - y0) / (y1 - y0) * plot.height(); }
};

void DrawTitle(QPainter& p, const QRectF& area, const QString& title, const QString& note) {
    p.setPen(Qt::black);
    p.setFont(ReportFont(8.5, true));
    const QRectF row(area.left(), area.top(), area.width(), kTitleHeight);
    p.drawText(row, Qt::AlignLeft | Qt::AlignTop, title);
    const double used = p.fontMetrics().horizontalAdvance(title);
    p.setFont(ReportFont(7));
    p.setPen(kGrey);
    p.drawText(row.adjusted(used + 8, 1.2, 0, 0), Qt::AlignLeft | Qt::AlignTop, note);
}

// Grid lines and labels at the ticks, the axes' titles, a frame round the plot.
void DrawAxes(QPainter& p, const Frame& f, const Ticks& xs, const Ticks& ys, const QString& xTitle,
              const QString& yTitle) {
    p.setFont(ReportFont(6.5));
    const QColor grid(0xE6, 0xE6, 0xE6);
    const int yDecimals = DecimalsOf(ys.step), xDecimals = DecimalsOf(xs.step);
    for (double y : ys.at) {
        p.setPen(Pen(grid, 0.5));
        p.drawLine(QPointF(f.plot.left(), f.Y(y)), QPointF(f.plot.right(), f.Y(y)));
        p.setPen(kGrey);
        p.drawText(QRectF(f.plot.left() - kLeftAxis, f.Y(y) - 5, kLeftAxis - 4, 10),
                   Qt::AlignRight | Qt::AlignVCenter, Number(y, yDecimals));
    }
    for (double x : xs.at) {
        p.setPen(Pen(kRule, 0.5));
        p.drawLine(QPointF(f.X(x), f.plot.bottom()), QPointF(f.X(x), f.plot.bottom() + 3));
        p.setPen(kGrey);
        p.drawText(QRectF(f.X(x) - 40, f.plot.bottom() + 3, 80, 10),
                   Qt::AlignHCenter | Qt::AlignTop, Number(x, xDecimals));
    }
    p.setPen(Pen(kRule, 0.6));
    p.setBrush(Qt::NoBrush);
    p.drawRect(f.plot);
    p.setPen(kGrey);
    p.drawText(QRectF(f.plot.left(), f.plot.bottom() + 13, f.plot.width(), 10),
               Qt::AlignHCenter | Qt::AlignTop, xTitle);
    p.save();
    p.translate(f.plot.left() - kLeftAxis + 2, f.plot.center().y());
    p.rotate(-90);
    p.drawText(QRectF(-f.plot.height() / 2, 0, f.plot.height(), 10),
               Qt::AlignHCenter | Qt::AlignTop, yTitle);
    p.restore();
}

// A horizontal reference line across the plot with its label in the right margin; labels that
// would overlap are moved apart.
struct RefLine {
    double y;
    QString label;
    QPen pen;
};

void DrawRefLines(QPainter& p, const Frame& f, std::vector<RefLine> lines) {
    std::sort(lines.begin(), lines.end(), [](const RefLine& a, const RefLine& b) {
        return a.y > b.y;  // top first
    });
    std::vector<double> at;
    at.reserve(lines.size());
    for (const RefLine& l : lines) at.push_back(f.Y(l.y));
    constexpr double kGap = 8.5;
    for (std::size_t i = 1; i < at.size(); ++i) at[i] = std::max(at[i], at[i - 1] + kGap);
    // Pushed below the plot, the labels move up together.
    const double overflow = at.empty() ? 0 : at.back() - f.plot.bottom();
    if (overflow > 0)
        for (double& y : at) y -= overflow;
    p.setFont(ReportFont(6.5));
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const double y = f.Y(lines[i].y);
        p.setPen(lines[i].pen);
        p.drawLine(QPointF(f.plot.left(), y), QPointF(f.plot.right(), y));
        p.setPen(Qt::black);
        p.drawText(QRectF(f.plot.right() + 4, at[i] - 5, kRightLabels - 4, 10),
                   Qt::AlignLeft | Qt::AlignVCenter, lines[i].label);
    }
}

// A vertical reference line over the plot, its label above the plot; labels that would overlap
// are moved apart, and none leaves the plot's width.
struct Mark {
    double x;
    QString label;
    QPen pen;
};

void DrawMarks(QPainter& p, const Frame& f, std::vector<Mark> marks) {
    std::sort(marks.begin(), marks.end(), [](const Mark& a, const Mark& b) { return a.x < b.x; });
    p.setFont(ReportFont(6.5));
    std::vector<double> left, width;
    for (const Mark& m : marks) {
        width.push_back(p.fontMetrics().horizontalAdvance(m.label));
        left.push_back(f.X(m.x) - width.back() / 2);
    }
    constexpr double kGap = 6;
    for (std::size_t i = 0; i < marks.size(); ++i) {
        left[i] = std::max(left[i], f.plot.left());
        if (i > 0) left[i] = std::max(left[i], left[i - 1] + width[i - 1] + kGap);
    }
    for (std::size_t i = marks.size(); i-- > 0;) {
        left[i] = std::min(left[i], f.plot.right() - width[i]);
        if (i + 1 < marks.size()) left[i] = std::min(left[i], left[i + 1] - width[i] - kGap);
    }
    for (std::size_t i = 0; i < marks.size(); ++i) {
        p.setPen(marks[i].pen);
        const double x = f.X(marks[i].x);
        p.drawLine(QPointF(x, f.plot.top()), QPointF(x, f.plot.bottom()));
        p.setPen(Qt::black);
        p.drawText(QRectF(left[i], f.plot.top() - 11, width[i] + 1, 10),
                   Qt::AlignLeft | Qt::AlignVCenter, marks[i].label);
    }
}

// The plot inside a chart's area: the title above, `labels` more for marks, the axes' labels
// left and below, the reference lines' labels right.
Frame FrameIn(const QRectF& area, double labels = 0) {
    Frame f;
    const double top = kTitleHeight + 4 + labels;
    f.plot = QRectF(area.left() + kLeftAxis, area.top() + top,
                    area.width() - kLeftAxis - kRightLabels, area.height() - top - kBottomAxis);
    return f;
}

void DrawEmpty(QPainter& p, const Frame& f) {
    p.setPen(Pen(kRule, 0.6));
    p.drawRect(f.plot);
    p.setPen(kGrey);
    p.setFont(ReportFont(8));
    p.drawText(f.plot, Qt::AlignCenter, "No records");
}

// Whole numbers without separators, as qtor-ctl prints them: a search for 14400 finds them.
QString Count(long long n) { return QString::number(n); }

// The buckets of a series as a band from each bucket's minimum to its maximum, drawn at the
// bucket's middle record; with one record a bucket the band is the line of the values.
void DrawBand(QPainter& p, const Frame& f, const std::vector<SeriesBucket>& buckets) {
    QPolygonF upper, lower;
    for (const SeriesBucket& b : buckets) {
        const double x = f.X(static_cast<double>(b.first) + static_cast<double>(b.count - 1) / 2);
        upper << QPointF(x, f.Y(b.max));
        lower << QPointF(x, f.Y(b.min));
    }
    QPolygonF band = upper;
    for (auto it = lower.rbegin(); it != lower.rend(); ++it) band << *it;
    p.setPen(Qt::NoPen);
    p.setBrush(kAccentPale);
    p.drawPolygon(band);
    p.setBrush(Qt::NoBrush);
    p.setPen(Pen(kAccent, 0.5));
    p.drawPolyline(upper);
    p.drawPolyline(lower);
}

// The records' index range of a series, never empty.
std::pair<double, double> IndexRange(const std::vector<SeriesBucket>& buckets) {
    const double first = static_cast<double>(buckets.front().first);
    const double last = static_cast<double>(buckets.back().first + buckets.back().count - 1);
    return last > first ? std::pair{first, last} : std::pair{first - 0.5, first + 0.5};
}

// What the band of a series shows: every one of `count` values, or each bucket's extremes.
QString BucketNote(const std::vector<SeriesBucket>& buckets, long long count, const QString& what) {
    const long long width = buckets.front().count;  // all full but the last
    if (width <= 1) return Count(count) + " " + what;
    return Count(count) + " " + what + "; the band spans the lowest to the highest of each " +
           Count(width) + " in a row";
}

}  // namespace

QFont ReportFont(double points, bool bold) {
    QFont font("DejaVu Sans");
    font.setPointSizeF(points);
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferNoHinting);
    // No ligatures: "ff" in a hash or "fi" in "file" would come out of the PDF as one sign,
    // which a search or a copy of the text no longer finds.
    font.setStyleStrategy(QFont::StyleStrategy(QFont::PreferOutline | QFont::PreferNoShaping));
    return font;
}

Ticks NiceTicks(double low, double high, int count, double minStep) {
    Ticks t;
    const double span = high > low ? high - low : 1;
    const double raw = span / std::max(count, 1);
    const double power = std::pow(10, std::floor(std::log10(raw)));
    double step = 10 * power;
    for (double m : {1.0, 2.0, 5.0})
        if (m * power >= raw) {
            step = m * power;
            break;
        }
    t.step = std::max(step, minStep);
    for (double v = std::ceil(low / t.step - 1e-9) * t.step; v <= high + 1e-9 * span; v += t.step)
        t.at.push_back(std::fabs(v) < 1e-12 * span ? 0 : v);
    return t;
}

int ClassWidth(double low, double high, int classes) {
    const double raw = (high - low + 1) / std::max(classes, 1);
    if (raw <= 1) return 1;
    return static_cast<int>(NiceTicks(0, raw * 10, 10).step);
}

void DrawHistogram(QPainter& p, const QRectF& area, const ChannelCapability& c) {
    const ChannelStats& s = c.stats;
    Frame f = FrameIn(area, 10);
    if (c.histogram.empty()) {
        DrawTitle(p, area, "Histogram", "");
        DrawEmpty(p, f);
        return;
    }
    double low = c.histogram.front().value, high = c.histogram.back().value;
    if (s.low) low = std::min<double>(low, *s.low), high = std::max<double>(high, *s.high);
    if (c.setPoint)
        low = std::min<double>(low, *c.setPoint), high = std::max<double>(high, *c.setPoint);
    const int w = ClassWidth(low, high, 45);
    // Class k holds the values k w .. (k + 1) w - 1; one empty class of margin on each side.
    const long long kFirst = static_cast<long long>(std::floor(low / w)) - 1;
    const long long kLast = static_cast<long long>(std::floor(high / w)) + 1;
    std::vector<long long> counts(static_cast<std::size_t>(kLast - kFirst + 1), 0);
    for (const HistogramBin& b : c.histogram) counts[b.value / w - kFirst] += b.count;
    const long long most = *std::max_element(counts.begin(), counts.end());
    const double n = static_cast<double>(s.n);
    // The normal curves as expected counts per class; a narrow one may rise above the bars, but
    // not beyond half as high again, so the bars stay readable.
    const auto peak = [&](const std::optional<double>& sigma) {
        return sigma && *sigma > 0 ? n * w / (*sigma * std::sqrt(2 * std::numbers::pi)) : 0.0;
    };
    const double top =
        std::min(std::max({static_cast<double>(most), peak(s.sigmaWithin), peak(s.sigma)}),
                 1.5 * static_cast<double>(most)) *
        1.08;
    f.x0 = static_cast<double>(kFirst * w) - 0.5;
    f.x1 = static_cast<double>((kLast + 1) * w) - 0.5;
    f.y0 = 0;
    f.y1 = top;
    DrawTitle(p, area, "Histogram",
              w == 1 ? "classes of one pixel" : "classes of " + QString::number(w) + " pixels");

    DrawAxes(p, f, NiceTicks(f.x0, f.x1, 9, w), NiceTicks(0, top, 4, 1), "value (pixel)",
             "records");
    p.save();
    p.setClipRect(f.plot);
    p.setPen(Pen(kAccent, 0.5));
    p.setBrush(kAccentPale);
    for (std::size_t i = 0; i < counts.size(); ++i) {
        if (counts[i] == 0) continue;
        const double from = static_cast<double>((kFirst + static_cast<long long>(i)) * w) - 0.5;
        p.drawRect(QRectF(QPointF(f.X(from), f.Y(static_cast<double>(counts[i]))),
                          QPointF(f.X(from + w), f.Y(0))));
    }
    const auto curve = [&](const std::optional<double>& sigma, const QPen& pen) {
        if (!sigma || *sigma <= 0 || !s.mean) return;
        QPolygonF line;
        for (int i = 0; i <= 300; ++i) {
            const double x = f.x0 + (f.x1 - f.x0) * i / 300, z = (x - *s.mean) / *sigma;
            line << QPointF(f.X(x), f.Y(peak(sigma) * std::exp(-z * z / 2)));
        }
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(line);
    };
    const QPen within = Pen(kAccent, 1.3), overall = Pen(Qt::black, 0.8);
    curve(s.sigma, overall);
    curve(s.sigmaWithin, within);
    p.restore();

    // Limits dashed, the set-point solid, their labels above the plot.
    std::vector<Mark> marks;
    if (s.low) {
        const QPen dashed = Pen(Qt::black, 0.9, Qt::DashLine);
        marks.push_back({static_cast<double>(*s.low), "low " + QString::number(*s.low), dashed});
        marks.push_back({static_cast<double>(*s.high), "high " + QString::number(*s.high), dashed});
    }
    if (c.setPoint)
        marks.push_back({static_cast<double>(*c.setPoint),
                         "set-point " + QString::number(*c.setPoint), Pen(kGrey, 0.9)});
    DrawMarks(p, f, marks);

    // The legend in the margin at the right.
    const auto key = [&](double y, const QPen& pen, const QString& text) {
        p.setPen(pen);
        const double x = f.plot.right() + 4;
        p.drawLine(QPointF(x, y), QPointF(x + 12, y));
        p.setPen(Qt::black);
        p.drawText(QRectF(x + 15, y - 5, kRightLabels - 15, 10), Qt::AlignLeft | Qt::AlignVCenter,
                   text);
    };
    const double y = f.plot.top() + 3;
    key(y, within, "normal,");
    p.drawText(QRectF(f.plot.right() + 19, y + 3, kRightLabels, 10),
               Qt::AlignLeft | Qt::AlignVCenter, "sigma within");
    key(y + 22, overall, "normal,");
    p.drawText(QRectF(f.plot.right() + 19, y + 25, kRightLabels, 10),
               Qt::AlignLeft | Qt::AlignVCenter, "sigma overall");
    key(y + 44, Pen(Qt::black, 0.9, Qt::DashLine), "limits");
    key(y + 58, Pen(kGrey, 0.9), "set-point");
}

void DrawIndividuals(QPainter& p, const QRectF& area, const ChannelCapability& c) {
    const ChannelStats& s = c.stats;
    Frame f = FrameIn(area);
    if (c.individuals.empty()) {
        DrawTitle(p, area, "Individuals", "");
        DrawEmpty(p, f);
        return;
    }
    DrawTitle(p, area, "Individuals", BucketNote(c.individuals, s.n, "records"));
    std::tie(f.x0, f.x1) = IndexRange(c.individuals);
    double low = *s.min, high = *s.max;
    if (s.low) low = std::min<double>(low, *s.low), high = std::max<double>(high, *s.high);
    const double pad = std::max(0.06 * (high - low), 1.0);
    f.y0 = low - pad;
    f.y1 = high + pad;
    DrawAxes(p, f, NiceTicks(f.x0, f.x1, 8, 1), NiceTicks(f.y0, f.y1, 4, 1), "record",
             "value (pixel)");
    p.save();
    p.setClipRect(f.plot);
    DrawBand(p, f, c.individuals);
    p.restore();
    std::vector<RefLine> lines = {{*s.mean, "mean " + Number(*s.mean, 2), Pen(Qt::black, 0.8)}};
    if (s.low) {
        lines.push_back({static_cast<double>(*s.low), "low " + QString::number(*s.low),
                         Pen(Qt::black, 0.9, Qt::DashLine)});
        lines.push_back({static_cast<double>(*s.high), "high " + QString::number(*s.high),
                         Pen(Qt::black, 0.9, Qt::DashLine)});
    }
    DrawRefLines(p, f, lines);
}

void DrawMovingRanges(QPainter& p, const QRectF& area, const ChannelCapability& c) {
    const ChannelStats& s = c.stats;
    Frame f = FrameIn(area);
    if (c.movingRanges.empty()) {
        DrawTitle(p, area, "Moving range", "");
        DrawEmpty(p, f);
        return;
    }
    DrawTitle(
        p, area, "Moving range",
        "|x(i) - x(i-1)| of consecutive records; " + BucketNote(c.movingRanges, s.n - 1, "ranges"));
    std::tie(f.x0, f.x1) = IndexRange(c.movingRanges);
    double high = 0;
    for (const SeriesBucket& b : c.movingRanges) high = std::max(high, b.max);
    // The mean moving range is what the within sigma is made of: sigma within times d2.
    const double mean = s.sigmaWithin ? *s.sigmaWithin * kD2 : 0;
    f.y0 = 0;
    f.y1 = std::max({high, mean, 1.0}) * 1.06;
    DrawAxes(p, f, NiceTicks(f.x0, f.x1, 8, 1), NiceTicks(0, f.y1, 4, 1), "record", "moving range");
    p.save();
    p.setClipRect(f.plot);
    DrawBand(p, f, c.movingRanges);
    p.restore();
    DrawRefLines(p, f, {{mean, "mean " + Number(mean, 2), Pen(Qt::black, 0.8)}});
}

}  // namespace report
