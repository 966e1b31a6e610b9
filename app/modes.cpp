#include "modes.h"

#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "QtorKMBscope10.h"
#include "arrays.h"
#include "commands.h"
#include "exchange.h"
#include "operator_level.h"
#include "paramfiles.h"
#include "ranges.h"
#include "station.h"
#include "toolkit.h"
#include "transfer.h"

namespace {

void Dim(const Station& s, std::initializer_list<int> controls, int dimmed) {
    for (int c : controls) SetCtrlAttribute(s.panels.panelHandle, c, ATTR_DIMMED, dimmed);
}

void Show(const Station& s, std::initializer_list<int> controls, int visible) {
    for (int c : controls) SetCtrlAttribute(s.panels.panelHandle, c, ATTR_VISIBLE, visible);
}

// Both halves of channel A's video line, then of channel B's.
std::vector<std::pair<int, int>> VideoBlocks() {
    return {{0, MASTER}, {64, MASTER}, {0, SLAVE}, {64, SLAVE}};
}
// Both halves of the measured-value buffer.
std::vector<std::pair<int, int>> BufferBlocks() { return {{0, MVBUF}, {64, MVBUF}}; }

// Writes the measure command with `words` and waits for its record; the record, or a time-out
// that has stopped the mode. A reply in the pass that runs out of time is too late.
Task<Received> MeasureRecord(Station& s, const std::uint16_t* words) {
    Exchange measure(s.link);
    co_await measure.Write(protocol::kMeasure, words, Discard::kInThenOut);
    const Received record = co_await measure.Frame(Tie::kTimeOutWins);
    if (!record.ok()) {
        s.link.ShowStatus("Timeout RS232-Line!");
        s.stop_flag = 1;
    }
    co_return record;
}

Task<> RunMode(Station& s) {
    SensorLink& link = s.link;
    ModeScope mode(link);
    // A new run is watched live: a pause left on from the last one ends.
    if (s.Toggled(TOGBTN_Pause)) {
        SetCtrlVal(s.panels.panelHandle, TOGBTN_Pause, 0);
        CallCtrlCallback(s.panels.panelHandle, TOGBTN_Pause, EVENT_COMMIT);
    }
    Show(s, {STRIP_RawA, STRIP_RawB, GRAPH_Buffer, GRAPH_VideoA, GRAPH_VideoB}, 1);
    Show(s, {GRAPH_CurveA, GRAPH_CurveB}, 0);
    Dim(s, {BTNRun, BTNVideo, BTNGet, BTNData}, 1);
    CopyVarsToPP(s.params, link.pp);
    auto measure = std::make_unique<Exchange>(link);
    const int written = co_await measure->Write(protocol::kMeasure, link.pp, Discard::kInThenOut);
    if (written == kFrameBytes) link.ShowStatus("Line Ok!");
    s.stop_flag = 0;
    s.StartRun();
    for (;;) {
        const Received record = co_await measure->Frame(Tie::kReplyWins, &s.stop_flag);
        if (record.result == WaitResult::kTimeOut) {
            link.ShowStatus("Timeout RS232-Line!");
            s.stop_flag = 1;
        }
        if (!record.ok()) break;
        measure.reset();
        // Into the measurement variables first: the next command carries the record's
        // set-points and tolerance.
        CopyPPtoRAWVars(record.words, s.meas, s.params);
        // Between two cycles the line is free: buttons pressed meanwhile are carried out now,
        // and the next command carries what they changed. The record goes to the strip charts,
        // bar graphs, values, recording, statistics and whatever else takes the station's
        // records while the next command crosses the line, so that none of them holds up the
        // sensor; before the actions, though, which may change what it is drawn against.
        const bool actions = link.ActionsWaiting();
        if (actions) s.TakeRecord(record.words);
        co_await link.ServeQueuedActions();
        if (s.stop_flag != 0) {
            if (!actions) s.TakeRecord(record.words);
            break;
        }
        CopyVarsToPP(s.params, link.pp);
        measure = std::make_unique<Exchange>(link);
        co_await measure->Write(protocol::kMeasure, link.pp, Discard::kInThenOut);
        if (!actions) s.TakeRecord(record.words);
    }
    measure.reset();
    s.EndRun();
    co_await link.FlushQueues();
    Dim(s, {BTNRun}, 0);
    co_await link.ServeQueuedActions();  // pressed in the pass that ended the mode
}

Task<> VideoMode(Station& s) {
    SensorLink& link = s.link;
    ModeScope mode(link);
    Show(s, {STRIP_RawA, STRIP_RawB, GRAPH_Buffer}, 0);
    Show(s, {GRAPH_CurveA, GRAPH_CurveB}, 1);
    Dim(s, {BTNRun, BTNVideo, BTNGet, BTNData, BTNSend}, 1);
    s.target = SelectRamTarget(s.panels);
    s.stop_flag = 0;
    while (s.stop_flag == 0) {
        // pp is sent as it is: the record of the previous cycle.
        const Received record = co_await MeasureRecord(s, link.pp);
        if (record.ok()) {
            CopyPPtoRAWVars(record.words, s.meas, s.params);
            co_await ReadBlocks(link, VideoBlocks(), s.plots, nullptr);
            s.DrawVideoLines();
            s.gui.PlotVIDEOBarGraph(s.meas, s.params, s.plots);
        }
        // The event loop has its turn between two cycles, whatever came meanwhile.
        co_await link.Yield();
        co_await link.ServeQueuedActions();
    }
    Dim(s, {BTNRun, BTNVideo, BTNData}, 0);
    link.InstallRxNotification();
    co_await link.DiscardQueues(Discard::kOutThenIn);
    co_await link.ServeQueuedActions();  // pressed in the cycle that ended the mode
}

Task<> DataBufferAcquisition(Station& s) {
    SensorLink& link = s.link;
    PlotArrays& plots = s.plots;
    Show(s, {STRIP_RawA, GRAPH_Buffer}, 1);
    Show(s, {GRAPH_CurveA, GRAPH_CurveB}, 0);
    s.stop_flag = 0;
    const Received record = co_await MeasureRecord(s, link.pp);
    if (!record.ok()) co_return;
    CopyPPtoRAWVars(record.words, s.meas, s.params);
    const BufferLines lines =
        DataBufferLines(s.params.eModeA, s.params.tValA, s.params.tValB, s.params.tTol);
    s.meas.tVal = static_cast<std::uint16_t>(lines.centre);
    s.gui.PlotVIDEOBarGraph(s.meas, s.params, plots);
    std::string failure;
    const bool complete = co_await ReadBlocks(link, BufferBlocks(), plots, &failure);
    if (!complete) {
        // A later good block must not hide that the buffer is not whole.
        link.SetStatus(failure.c_str());
        link.ShowStatus(link.szStatus);
    }
    s.DrawDataBuffer(lines);
    for (int i = 0; i < MAXPOINT; ++i) {
        plots.dummybuf[i] = static_cast<std::uint16_t>(plots.newbuf[i]);
    }
    int recording = 0;
    GetCtrlVal(s.panels.panelPopUp, CHECKFile, &recording);
    if (recording == 1 && complete) WriteMeasurementFile(link, s.files, plots);
}

}  // namespace

int CC_BTNRun(int, int, int event, void* data, int, int) {
    if (event != EVENT_COMMIT || !data) return 0;
    Station& s = StationOf(data);
    s.link.WhenLineFree("run", ActionKind::kMode, [&s] { return RunMode(s); });
    return 0;
}

int CC_BTNStop(int, int, int event, void* data, int, int) {
    if (event != EVENT_LEFT_CLICK || !data) return 0;
    Station& s = StationOf(data);
    s.stop_flag = 1;
    s.link.Wake();  // a mode waiting for its record ends at once
    Dim(s, {BTNVideo, BTNRun, BTNGet, BTNData, BTNSend}, 0);
    ShowLevel(s);  // Send stays dimmed at Operator level
    return 0;
}

int CC_BTNVideo(int, int, int event, void* data, int, int) {
    if (event != EVENT_COMMIT || !data) return 0;
    Station& s = StationOf(data);
    s.link.WhenLineFree("video", ActionKind::kMode, [&s] { return VideoMode(s); });
    return 0;
}

int CC_BTNData(int, int, int event, void* data, int, int) {
    if (event != EVENT_COMMIT || !data) return 0;
    Station& s = StationOf(data);
    s.link.WhenLineFree("data", ActionKind::kAction, [&s] { return DataBufferAcquisition(s); });
    return 0;
}
