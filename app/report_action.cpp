#include "report_action.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "QtorKMBscope10.h"
#include "capability_report.h"
#include "files.h"
#include "graph_model.h"
#include "protocol.h"
#include "record_csv.h"
#include "report_command.h"
#include "station.h"
#include "toolkit.h"

void CapabilityOfRecords::RunStarted() {
    collector_ = CapabilityCollector(s_.quality.alarmAfter);
    records_ = 0;
}

void CapabilityOfRecords::Take(const Record& record) {
    collector_.Add(record.words.data(), record.index, record.time);
    ++records_;
}

CapabilityData CapabilityOfRecords::SoFar() const {
    return CapabilityCollector(collector_).Finish();
}

namespace {

// The records a paused pair of strip charts shows, from their histories: per record the value,
// the set-point and the limits (traces 3, 2, 1 and 0). The tolerance is the limits' distance
// from the set-point on the side the window's edge did not clip. False when not paused.
bool CollectView(const Station& s, CapabilityCollector* collector, long long* count) {
    const int p = s.panels.panelHandle;
    const StripChartModel* a = GetStripChartModel(p, STRIP_RawA);
    const StripChartModel* b = GetStripChartModel(p, STRIP_RawB);
    if (!a || !b || !a->paused || a->history.traces < 4 || b->history.traces < 4) return false;
    const StripHistory& ha = a->history;
    const StripHistory& hb = b->history;
    // Record n is drawn at n - pausedAt + 1; the charts' axes are linked.
    const long long from =
        std::max({ha.first(), hb.first(), a->pausedAt - 1 + std::llround(std::ceil(a->shown.min))});
    const long long to = std::min(
        {ha.total - 1, hb.total - 1, a->pausedAt - 1 + std::llround(std::floor(a->shown.max))});
    *count = 0;
    for (long long n = from; n <= to; ++n) {
        std::uint16_t words[protocol::kWords] = {};
        const auto word = [](double v) { return static_cast<std::uint16_t>(std::lround(v)); };
        const double setA = ha.value(n, 2);
        words[protocol::kAvalue] = word(ha.value(n, 3));
        words[protocol::kBvalue] = word(hb.value(n, 3));
        words[protocol::kRecTValA] = word(setA);
        words[protocol::kRecTValB] = word(hb.value(n, 2));
        words[protocol::kRecTTol] = word(std::max(ha.value(n, 0) - setA, setA - ha.value(n, 1)));
        const auto when = std::chrono::system_clock::time_point(
            std::chrono::duration_cast<std::chrono::system_clock::duration>(
                std::chrono::duration<double, std::milli>(ha.time(n))));
        collector->Add(words, n, RecordTimeText(when));
        ++*count;
    }
    return true;
}

// What the station's recording would say of what made these records: the sensor as it is now.
InfoSummary LiveInfo(const Station& s) {
    const RecordingInfo now = s.recorder.describe ? s.recorder.describe() : RecordingInfo{};
    InfoSummary info;
    info.program = now.program;
    info.port = now.port;
    info.device = now.device;
    info.firmware = now.firmware;
    info.started = now.started;
    info.alarmAfter = now.alarmAfter;
    if (!now.parameters.empty())
        for (int k = 0; k < PNUM; ++k)
            info.parameters.emplace_back(kParameterNames[k],
                                         std::to_string(now.parameters[0].words[k]));
    return info;
}

}  // namespace

int CC_BTNReport(int, int, int event, void* data, int, int) {
    if (event != EVENT_COMMIT || !data) return 0;
    Station& s = StationOf(data);
    CapabilityData report;
    ReportHeader header;
    std::string why;
    CapabilityCollector view(s.quality.alarmAfter);
    long long inView = 0;
    if (CollectView(s, &view, &inView)) {
        report = view.Finish();
        header.source = std::to_string(inView) + " records in view of " + s.Name();
        header.info = LiveInfo(s);
    } else if (s.replay.Loaded() && !s.replay.IsTrace()) {
        CapabilityCollector whole(s.quality.alarmAfter);
        std::string note;
        int status = 0;
        if (!CollectRecording(s.replay.Path(), whole, &why, &note, &status) ||
            !RecordingReportHeader(s.replay.Path(), &header, &why)) {
            s.ShowStatusWithName("No report, cannot read:", s.replay.Path());
            return 0;
        }
        report = whole.Finish();
    } else if (s.capability.Records() > 0) {
        report = s.capability.SoFar();
        header.source = "run of " + s.Name();
        if (s.recorder.Recording()) header.source += ", recording " + FileNameOf(s.recorder.Path());
        header.info = LiveInfo(s);
    } else {
        s.link.ShowStatus("No records for a report yet");
        return 0;
    }
    std::string path;
    if (FileSelectPopup(s.files.DialogFolder(s.files.export_dir), "QTORreport.pdf", "*.pdf",
                        "Q-TOR-Capability-Report", VAL_OK_BUTTON, &path) < 1)
        return 0;
    s.files.export_dir = FolderOf(path);
    if (!WriteCapabilityReport(report, header, path, &why))
        s.ShowStatusWithName("Report not written, cannot write:", path);
    else
        s.ShowStatusWithName("Report written to", path);
    return 0;
}
