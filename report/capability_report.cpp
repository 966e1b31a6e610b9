#include "capability_report.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <algorithm>
#include <cmath>

#include "qtor_version.h"
#include "report_charts.h"

namespace {

using report::ReportFont;

// A4 in points, the painter's unit on this page.
constexpr double kPageWidth = 595.28, kPageHeight = 841.89;
constexpr double kLeft = 48, kRight = kPageWidth - 48, kTop = 44, kBottom = kPageHeight - 50;
constexpr double kWidth = kRight - kLeft;
constexpr double kRow = 11.5;       // a row of the header's and the numbers' tables
constexpr double kEventRow = 10.5;  // a row of the events' table
constexpr double kChannelHeight = 544;
constexpr double kEventsHead = 46;  // the events' title, explanation and column names

QString Q(const std::string& s) { return QString::fromStdString(s); }

QString Fixed(const std::optional<double>& v, int decimals) {
    return v ? QString::number(*v, 'f', decimals) : QString("-");
}

// Whole numbers without separators, as qtor-ctl prints them: a search for 14400 finds them.
QString Count(long long n) { return QString::number(n); }

// "3 records in a row outside", "1 record outside".
QString AlarmRule(long long k) {
    return k == 1 ? QString("1 record outside") : Count(k) + " records in a row outside";
}

// Event rows on each page, the first of them on page `firstPage` (1-based).
struct EventPages {
    int firstPage = 2;
    std::vector<int> rows;  // per page from firstPage
};

EventPages PlanEvents(long long rows) {
    EventPages plan;
    const double afterB = kTop + kChannelHeight + 16;
    const int onB = static_cast<int>(std::floor((kBottom - afterB - kEventsHead) / kEventRow));
    const int perPage = static_cast<int>(std::floor((kBottom - kTop - kEventsHead) / kEventRow));
    // Three rows or fewer below channel B would look lost: the events then start a page.
    int first = onB;
    if (onB < std::min<long long>(rows, 4)) {
        plan.firstPage = 3;
        first = perPage;
    }
    for (long long left = rows; left > 0;) {
        const int take =
            static_cast<int>(std::min<long long>(left, plan.rows.empty() ? first : perPage));
        plan.rows.push_back(take);
        left -= take;
    }
    return plan;
}

class Document {
  public:
    Document(QPdfWriter& writer, const ReportHeader& header, int pages)
        : writer_(writer), header_(header), pages_(pages) {}
    bool Begin() {
        if (!p_.begin(&writer_)) return false;
        Footer();
        return true;
    }
    void NewPage() {
        writer_.newPage();
        ++page_;
        Footer();
    }
    bool End() { return p_.end(); }
    QPainter& Painter() { return p_; }
    double Header(const CapabilityData& data);
    double Channel(const char* name, const ChannelCapability& c, double y);
    void Events(const CapabilityData& data, const EventPages& plan, double y);

  private:
    void Footer();
    // A label in grey and its value, the value elided where it does not fit.
    void Field(double x, double y, double labelWidth, double width, const QString& label,
               const QString& value);
    double Section(double y, const QString& title, const QString& note);

    QPdfWriter& writer_;
    const ReportHeader& header_;
    QPainter p_;
    int page_ = 1, pages_;
};

void Document::Footer() {
    p_.setPen(QPen(report::kRule, 0.5));
    p_.drawLine(QPointF(kLeft, kBottom + 14), QPointF(kRight, kBottom + 14));
    p_.setFont(ReportFont(7));
    p_.setPen(report::kGrey);
    const QRectF row(kLeft, kBottom + 17, kWidth, 10);
    const QString left =
        Q(header_.title) + (header_.source.empty() ? "" : " - " + Q(header_.source));
    p_.drawText(row.adjusted(0, 0, -80, 0), Qt::AlignLeft | Qt::AlignTop,
                p_.fontMetrics().elidedText(left, Qt::ElideMiddle, static_cast<int>(kWidth - 90)));
    p_.drawText(row, Qt::AlignRight | Qt::AlignTop,
                "Page " + QString::number(page_) + " of " + QString::number(pages_));
}

void Document::Field(double x, double y, double labelWidth, double width, const QString& label,
                     const QString& value) {
    p_.setFont(ReportFont(7.5));
    p_.setPen(report::kGrey);
    p_.drawText(QRectF(x, y, labelWidth, kRow), Qt::AlignLeft | Qt::AlignVCenter, label);
    p_.setFont(ReportFont(8));
    p_.setPen(Qt::black);
    const double room = width - labelWidth;
    p_.drawText(QRectF(x + labelWidth, y, room, kRow), Qt::AlignLeft | Qt::AlignVCenter,
                p_.fontMetrics().elidedText(value, Qt::ElideMiddle, static_cast<int>(room)));
}

double Document::Section(double y, const QString& title, const QString& note) {
    p_.setFont(ReportFont(11, true));
    p_.setPen(Qt::black);
    p_.drawText(QRectF(kLeft, y, kWidth, 16), Qt::AlignLeft | Qt::AlignVCenter, title);
    const double used = p_.fontMetrics().horizontalAdvance(title);
    if (!note.isEmpty()) {
        p_.setFont(ReportFont(7.5));
        p_.setPen(report::kGrey);
        p_.drawText(QRectF(kLeft + used + 10, y + 1, kWidth - used - 10, 16),
                    Qt::AlignLeft | Qt::AlignVCenter, note);
    }
    p_.setPen(QPen(report::kAccent, 1.0));
    p_.drawLine(QPointF(kLeft, y + 18), QPointF(kRight, y + 18));
    return y + 24;
}

double Document::Header(const CapabilityData& data) {
    p_.setFont(ReportFont(17, true));
    p_.setPen(Qt::black);
    // A long title is cut with an ellipsis rather than run off the page; the PDF's own title
    // keeps it whole.
    p_.drawText(
        QRectF(kLeft, kTop, kWidth, 24), Qt::AlignLeft | Qt::AlignVCenter,
        p_.fontMetrics().elidedText(Q(header_.title), Qt::ElideRight, static_cast<int>(kWidth)));
    double y = kTop + 30;
    Field(kLeft, y, 74, kWidth, "Recording", header_.source.empty() ? "-" : Q(header_.source));
    y += kRow;
    if (!header_.sha256.empty()) {
        Field(kLeft, y, 74, kWidth, "SHA-256", Q(header_.sha256));
        y += kRow;
    }
    y += 4;
    // What the records say on the left, what the information file says on the right.
    const double half = kWidth / 2;
    QString alarmAfter = AlarmRule(data.alarmAfter);
    const InfoSummary* info = header_.info ? &*header_.info : nullptr;
    if (info && info->alarmAfter && *info->alarmAfter != data.alarmAfter)
        alarmAfter += " (recorded with " + Count(*info->alarmAfter) + ")";
    const std::pair<QString, QString> left[] = {
        {"Records", Count(data.records)},
        {"First record", data.records ? Q(data.firstTime) : "-"},
        {"Last record", data.records ? Q(data.lastTime) : "-"},
        {"Alarm after", alarmAfter}};
    for (int i = 0; i < 4; ++i)
        Field(kLeft, y + i * kRow, 74, half - 8, left[i].first, left[i].second);
    if (info) {
        QString port = Q(info->port);
        if (!info->device.empty())
            port += port.isEmpty() ? Q(info->device) : " (" + Q(info->device) + ")";
        const std::pair<QString, QString> right[] = {{"Program", Q(info->program)},
                                                     {"Port", port},
                                                     {"Firmware", Q(info->firmware)},
                                                     {"Started", Q(info->started)}};
        for (int i = 0; i < 4; ++i)
            Field(kLeft + half, y + i * kRow, 56, half, right[i].first,
                  right[i].second.isEmpty() ? "-" : right[i].second);
    } else {
        Field(kLeft + half, y, 56, half, "Information", Q(header_.noInfo));
    }
    y += 4 * kRow + 4;
    if (!info || info->parameters.empty()) return y + 6;

    // The parameter set at the start, four pairs to a row, in word order.
    p_.setFont(ReportFont(7.5));
    p_.setPen(report::kGrey);
    p_.drawText(QRectF(kLeft, y, 74, kRow), Qt::AlignLeft | Qt::AlignVCenter, "Parameters");
    p_.drawText(QRectF(kLeft, y + kRow, 74, kRow), Qt::AlignLeft | Qt::AlignVCenter,
                "at the start");
    const double column = (kWidth - 74) / 4;
    const auto& set = info->parameters;
    for (std::size_t i = 0; i < set.size(); ++i) {
        const double x = kLeft + 74 + static_cast<double>(i % 4) * column;
        const std::size_t line = i / 4;
        const double top = y + static_cast<double>(line) * kRow;
        p_.setFont(ReportFont(7));
        p_.setPen(report::kGrey);
        p_.drawText(QRectF(x, top, column - 30, kRow), Qt::AlignLeft | Qt::AlignVCenter,
                    p_.fontMetrics().elidedText(Q(set[i].first), Qt::ElideRight,
                                                static_cast<int>(column - 32)));
        p_.setFont(ReportFont(8));
        p_.setPen(Qt::black);
        p_.drawText(QRectF(x + column - 32, top, 26, kRow), Qt::AlignRight | Qt::AlignVCenter,
                    Q(set[i].second));
    }
    const std::size_t lines = (set.size() + 3) / 4;
    y += static_cast<double>(lines) * kRow;
    Field(kLeft, y, 74, kWidth, "Later writes",
          info->laterWrites == 0 ? QString("none: the set above held for the whole run")
                                 : Count(info->laterWrites) +
                                       (info->laterWrites == 1 ? " set written during the run"
                                                               : " sets written during the run"));
    return y + kRow + 10;
}

double Document::Channel(const char* name, const ChannelCapability& c, double y) {
    const ChannelStats& s = c.stats;
    const double top = y;
    y = Section(
        y, QString("Channel ") + name,
        "Cp, Cpk with sigma within (mean moving range / 1.128); Pp, Ppk with sigma overall");
    const bool any = s.n > 0;
    const QString none = "-";
    const std::pair<QString, QString> groups[4][6] = {
        {{"n", Count(s.n)},
         {"mean", Fixed(s.mean, 3)},
         {"sigma within", Fixed(s.sigmaWithin, 3)},
         {"sigma overall", Fixed(s.sigma, 3)},
         {"min", Fixed(s.min, 0)},
         {"max", Fixed(s.max, 0)}},
        {{"low", any ? QString::number(*s.low) : none},
         {"high", any ? QString::number(*s.high) : none},
         {"set-point", c.setPoint ? QString::number(*c.setPoint) : none},
         {"out", any ? Count(s.out) : none},
         {"out %", Fixed(s.outPercent, 2)},
         {"", ""}},
        {{"Cp", Fixed(s.cp, 3)},
         {"Cpk", Fixed(s.cpk, 3)},
         {"Cpk 95% CI", s.cpkLow ? Fixed(s.cpkLow, 3) + ".." + Fixed(s.cpkHigh, 3) : none},
         {"Pp", Fixed(s.pp, 3)},
         {"Ppk", Fixed(s.ppk, 3)},
         {"", ""}},
        {{"ppm within", Fixed(s.ppmWithin, 1)},
         {"ppm overall", Fixed(s.ppmOverall, 1)},
         {"ppm observed", Fixed(s.ppmObserved, 1)},
         {"", ""},
         {"", ""},
         {"", ""}}};
    const double width = kWidth / 4;
    for (int g = 0; g < 4; ++g) {
        const double x = kLeft + g * width;
        for (int r = 0; r < 6; ++r) {
            const auto& [label, value] = groups[g][r];
            if (label.isEmpty()) continue;
            const double rowTop = y + r * kRow;
            p_.setFont(ReportFont(7.5));
            p_.setPen(report::kGrey);
            p_.drawText(QRectF(x, rowTop, width, kRow), Qt::AlignLeft | Qt::AlignVCenter, label);
            // Cp and Cpk are what a reader looks for first.
            p_.setFont(ReportFont(8, g == 2 && r < 2));
            p_.setPen(Qt::black);
            p_.drawText(QRectF(x, rowTop, width - 14, kRow), Qt::AlignRight | Qt::AlignVCenter,
                        value);
        }
    }
    y += 6 * kRow + 10;
    report::DrawHistogram(p_, QRectF(kLeft, y, kWidth, 184), c);
    y += 184 + 8;
    report::DrawIndividuals(p_, QRectF(kLeft, y, kWidth, 126), c);
    y += 126 + 8;
    report::DrawMovingRanges(p_, QRectF(kLeft, y, kWidth, 112), c);
    return top + kChannelHeight;
}

void Document::Events(const CapabilityData& data, const EventPages& plan, double y) {
    if (plan.firstPage > page_) {
        NewPage();
        y = kTop;
    } else {
        y += 16;
    }
    QString note = "an alarm: " + AlarmRule(data.alarmAfter) + " the limits, until the next inside";
    if (data.eventCount > static_cast<long long>(data.events.size()))
        note = Count(data.eventCount) + " events, the first " +
               Count(static_cast<long long>(data.events.size())) + " listed; " + note;
    struct Column {
        const char* name;
        double width;
        int align;  // Qt::AlignLeft or Qt::AlignRight
    };
    const Column columns[] = {{"channel", 44, Qt::AlignLeft}, {"first", 56, Qt::AlignRight},
                              {"last", 56, Qt::AlignRight},   {"records", 50, Qt::AlignRight},
                              {"worst", 46, Qt::AlignRight},  {"limits", 70, Qt::AlignRight},
                              {"time", 0, Qt::AlignLeft}};
    const auto row = [&](double top, const std::vector<QString>& cells, bool head) {
        double x = kLeft;
        p_.setFont(ReportFont(head ? 7 : 7.5));
        p_.setPen(head ? report::kGrey : Qt::black);
        for (std::size_t i = 0; i < cells.size(); ++i) {
            const double w = columns[i].width > 0 ? columns[i].width : kRight - x;
            const double pad = columns[i].align == Qt::AlignLeft ? 12 : 0;
            p_.drawText(QRectF(x + pad, top, w - pad, kEventRow),
                        columns[i].align | Qt::AlignVCenter, cells[i]);
            x += w;
        }
    };
    const auto head = [&](double top, bool continued) {
        top = Section(top, continued ? "Events (continued)" : "Events", continued ? "" : note);
        std::vector<QString> names;
        for (const Column& c : columns) names.emplace_back(c.name);
        row(top, names, true);
        p_.setPen(QPen(report::kRule, 0.5));
        p_.drawLine(QPointF(kLeft, top + kEventRow + 1), QPointF(kRight, top + kEventRow + 1));
        return top + kEventRow + 4;
    };
    if (data.events.empty()) {
        y = Section(y, "Events", note);
        p_.setFont(ReportFont(8));
        p_.setPen(Qt::black);
        p_.drawText(QRectF(kLeft, y, kWidth, kEventRow), Qt::AlignLeft | Qt::AlignVCenter,
                    "No alarms");
        return;
    }
    y = head(y, false);
    std::size_t next = 0;
    for (std::size_t pageRows = 0; pageRows < plan.rows.size(); ++pageRows) {
        if (pageRows > 0) {
            NewPage();
            y = head(kTop, true);
        }
        for (int i = 0; i < plan.rows[pageRows] && next < data.events.size(); ++i, ++next) {
            const AlarmEvent& e = data.events[next];
            const bool link = e.IsLink();
            row(y,
                {Q(e.channel), Count(e.first), Count(e.last), link ? "-" : Count(e.records),
                 link ? "-" : QString::number(e.worst, 'g', 10),
                 link ? "-" : QString::number(e.low) + ".." + QString::number(e.high), Q(e.time)},
                false);
            y += kEventRow;
        }
    }
}

}  // namespace

bool RecordingReportHeader(const std::string& csvPath, ReportHeader* header, std::string* error) {
    QFile file(Q(csvPath));
    if (!file.open(QIODevice::ReadOnly)) {
        *error = "cannot be opened";
        return false;
    }
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file)) {
        *error = "cannot be read";
        return false;
    }
    header->sha256 = hash.result().toHex().toStdString();
    header->source = QFileInfo(file).fileName().toStdString();
    std::string why;
    const std::string infoPath = InfoPathFor(csvPath);
    header->info = ReadInfoSummary(infoPath, &why);
    if (!header->info && why != "missing")
        header->noInfo = "no information file (" + QFileInfo(Q(infoPath)).fileName().toStdString() +
                         (why == "cannot be read" ? " cannot be read)" : " damaged)");
    return true;
}

bool WriteCapabilityReport(const CapabilityData& data, const ReportHeader& header,
                           const std::string& pdfPath, std::string* error) {
    QSaveFile file(Q(pdfPath));
    if (!file.open(QIODevice::WriteOnly)) {
        *error = "cannot be written: " + file.errorString().toStdString();
        return false;
    }
    const EventPages plan = PlanEvents(std::max(1LL, static_cast<long long>(data.events.size())));
    const int pages = plan.firstPage - 1 + static_cast<int>(plan.rows.size());
    {
        QPdfWriter writer(&file);
        writer.setPageLayout(
            QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
        writer.setResolution(72);  // one unit a point
        writer.setTitle(Q(header.title));
        writer.setCreator(QString("Q-TOR KMB-Dored ") + kQtorVersion);
        Document doc(writer, header, pages);
        if (!doc.Begin()) {
            *error = "cannot be written";
            return false;
        }
        const double y = doc.Header(data);
        doc.Channel("A", data.Of(Channel::kA), y);
        doc.NewPage();
        const double afterB = doc.Channel("B", data.Of(Channel::kB), kTop);
        doc.Events(data, plan, afterB);
        if (!doc.End()) {
            *error = "cannot be written";
            return false;
        }
    }
    if (!file.commit()) {
        *error = "cannot be written: " + file.errorString().toStdString();
        return false;
    }
    return true;
}
