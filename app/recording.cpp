#include "recording.h"

#include "QtorKMBscope10.h"
#include "commands.h"
#include "event_loop.h"
#include "files.h"
#include "paramfiles.h"
#include "record_csv.h"
#include "toolkit.h"

namespace {

RecordWriter writer;
int flushTimer = 0;

void Failed() {
    const std::string path = writer.Path();
    writer.Close();
    SetCtrlVal(panels.panelHandle, TOGBTN_Record, 0);
    ShowStatusWithName("Recording stopped, write failed:", path);
}

// Rows reach the file at least once a second, also while no records come: an unplugged
// sensor or a crash loses at most the last second.
void FlushTick() {
    if (writer.IsOpen() && !writer.Flush()) Failed();
}

}  // namespace

bool StartRecording(const std::string& path, bool refuseExisting, std::string* error) {
    StopRecording();
    if (!writer.Open(path, refuseExisting, error)) return false;
    if (flushTimer <= 0) flushTimer = StartPeriodic(0.5, FlushTick);
    return true;
}

bool StopRecording() { return writer.Close(); }

bool Recording() { return writer.IsOpen(); }

long long RecordedRows() { return writer.Count(); }

void RecordMeasurement(const std::uint16_t* words) {
    if (writer.IsOpen() && !writer.Add(words)) Failed();
}

void FlushRecording() { FlushTick(); }

int CC_TOGBTN_Record(int panel, int control, int event, void*, int, int) {
    if (event != EVENT_COMMIT) return 0;
    int on = 0;
    GetCtrlVal(panel, control, &on);
    if (on == 0) {
        if (Recording()) {
            const std::string& path = writer.Path();  // kept after closing
            ShowStatusWithName(
                StopRecording() ? "Recording ended:" : "Recording stopped, write failed:", path);
        }
        return 0;
    }
    const std::string path = ChooseFileForToggle(panel, control, &files.record_dir,
                                                 "QTORrecord.csv", "*.csv", "Q-TOR-Record-File");
    if (path.empty()) return 0;
    std::string error;
    // The dialog has asked before replacing a file.
    if (!StartRecording(path, false, &error)) {
        SetCtrlVal(panel, control, 0);
        ShowStatusWithName("Recording not started, cannot write:", path);
        return 0;
    }
    ShowStatusWithName("Recording run mode to", path);
    return 0;
}
