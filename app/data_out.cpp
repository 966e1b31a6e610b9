#include "data_out.h"

#include <string>

#include "QtorKMBscope10.h"
#include "files.h"
#include "operator_level.h"
#include "station.h"
#include "toolkit.h"
#include "trace.h"

namespace {

// A file name from the graph's own name: "STRIP_RawA" gives "QTOR-RawA".
std::string DefaultName(int control, const char* extension) {
    for (const ControlEntry& c : kControlTable) {
        if (c.panel != PANEL || c.constant != control) continue;
        const std::string name = c.name;
        return "QTOR-" + name.substr(name.find('_') + 1) + extension;
    }
    return std::string("QTOR-graph") + extension;
}

}  // namespace

int CC_TOGBTN_Record(int panel, int control, int event, void* data, int, int) {
    if (event != EVENT_COMMIT || !data) return 0;
    Station& s = StationOf(data);
    int on = 0;
    GetCtrlVal(panel, control, &on);
    if (on == 0) {
        if (s.recorder.Recording()) {
            const std::string path = s.recorder.Path();
            s.ShowStatusWithName(
                s.recorder.Stop() ? "Recording ended:" : "Recording stopped, write failed:", path);
        }
        return 0;
    }
    const std::string path = ChooseFileForToggle(s.files, panel, control, &s.files.record_dir,
                                                 "QTORrecord.csv", "*.csv", "Q-TOR-Record-File");
    if (path.empty()) return 0;
    std::string error;
    // The dialog has asked before replacing a file.
    if (!s.recorder.Start(path, false, &error)) {
        SetCtrlVal(panel, control, 0);
        s.ShowStatusWithName("Recording not started, cannot write:", path);
        return 0;
    }
    s.ShowStatusWithName("Recording run mode to", path);
    return 0;
}

int CC_TOGBTN_Trace(int panel, int control, int event, void* data, int, int) {
    if (event != EVENT_COMMIT || !data) return 0;
    Station& s = StationOf(data);
    int on = 0;
    GetCtrlVal(panel, control, &on);
    if (on == 0) {
        if (s.link.trace.Tracing()) {
            s.link.trace.Stop();
            s.link.ShowStatus("Trace ended");
        }
        return 0;
    }
    const std::string path = ChooseFileForToggle(s.files, panel, control, &s.files.record_dir,
                                                 "QTORtrace.txt", "*.txt", "Q-TOR-Line-Trace");
    if (path.empty()) return 0;
    std::string error;
    // The dialog has asked before replacing a file.
    if (!s.link.StartTrace(path, false, &error)) {
        SetCtrlVal(panel, control, 0);
        s.ShowStatusWithName("Trace not started, cannot write:", path);
        return 0;
    }
    s.linkView.TraceStarted();
    s.ShowStatusWithName("Tracing the line to", path);
    return 0;
}

int CC_GraphMenu(int panel, int control, int event, void* data, int, int) {
    const bool image = event == EVENT_SAVE_IMAGE;
    if ((!image && event != EVENT_EXPORT_DATA) || !data) return 0;
    Station& s = StationOf(data);
    std::string path;
    if (FileSelectPopup(s.files.DialogFolder(s.files.export_dir),
                        DefaultName(control, image ? ".png" : ".csv"),
                        image ? "*.png;*.pdf" : "*.csv",
                        image ? "Q-TOR-Graph-Image" : "Q-TOR-Graph-Data", VAL_OK_BUTTON, &path) < 1)
        return 0;
    s.files.export_dir = FolderOf(path);
    const int rc = image ? SaveGraphImage(panel, control, path.c_str())
                         : ExportGraphData(panel, control, path.c_str());
    if (rc < 0)
        s.ShowStatusWithName(
            image ? "Image not saved, cannot write:" : "Data not exported, cannot write:", path);
    else
        s.ShowStatusWithName(image ? "Image saved to" : "Data exported to", path);
    return 0;
}

// Acquisition and recording go on; the strip charts keep their drawing for scrolling back, and
// the numbers are those of the records in view.
int CC_TOGBTN_Pause(int panel, int control, int event, void* data, int, int) {
    if (event != EVENT_COMMIT) return 0;
    int paused = 0;
    GetCtrlVal(panel, control, &paused);
    for (int chart : {STRIP_RawA, STRIP_RawB}) SetCtrlAttribute(panel, chart, ATTR_PAUSED, paused);
    if (data) StationOf(data).ShowQuality(true);
    return 0;
}

namespace {

void Acknowledge(void* data, Channel c) {
    Station& s = StationOf(data);
    // An alarm seen is a fact of the line's record: it goes into the trail.
    if (s.quality.Alarmed(c) && s.oplock.Trail().Kept()) {
        AuditEntry e = StationEntry(s, "acknowledge");
        e.detail = c == Channel::kA ? "channel A" : "channel B";
        const std::string failed = KeepInTrail(s, e);
        if (!failed.empty()) s.link.ShowStatus(failed.c_str());
    }
    s.quality.Acknowledge(c);
    s.ShowQuality(true);
}

}  // namespace

int CC_BTNStateA(int, int, int event, void* data, int, int) {
    if (event == EVENT_COMMIT && data) Acknowledge(data, Channel::kA);
    return 0;
}

int CC_BTNStateB(int, int, int event, void* data, int, int) {
    if (event == EVENT_COMMIT && data) Acknowledge(data, Channel::kB);
    return 0;
}
