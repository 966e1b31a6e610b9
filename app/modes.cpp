#include "modes.h"

#include <initializer_list>
#include <memory>
#include <string>

#include "QtorKMBscope10.h"
#include "arrays.h"
#include "com232.h"
#include "commands.h"
#include "exchange.h"
#include "gui.h"
#include "model.h"
#include "paramfiles.h"
#include "ranges.h"
#include "recording.h"
#include "rs232.h"
#include "timer.h"
#include "toolkit.h"
#include "transfer.h"

namespace {

void Dim(std::initializer_list<int> controls, int dimmed) {
    for (int c : controls) SetCtrlAttribute(panels.panelHandle, c, ATTR_DIMMED, dimmed);
}

void Show(std::initializer_list<int> controls, int visible) {
    for (int c : controls) SetCtrlAttribute(panels.panelHandle, c, ATTR_VISIBLE, visible);
}

// Waits for the record of the measure command `measure`; false (and the mode stopped) on a
// time-out. A reply in the pass that runs out of time is too late.
bool AwaitRecord(Exchange& measure) {
    if (measure.AwaitFrame(Tie::kTimeOutWins) == WaitResult::kReply) return true;
    ShowStatus("Timeout RS232-Line!");
    line.stop_flag = 1;
    return false;
}

// Block reads poll the queue themselves, so the notification must not take their bytes.
bool ReadBlocks(std::initializer_list<std::pair<int, int>> blocks, std::string* failure) {
    RemoveRxNotification(line.com);
    FlushQueues(line.com);
    bool allRead = true;
    for (const auto& [start, selector] : blocks) {
        ReadData64(start, selector);
        if (line.nBytesR < 128 && allRead) {
            allRead = false;
            if (failure) *failure = line.szStatus;
        }
    }
    InstallRxNotification(line.com);
    return allRead;
}

}  // namespace

namespace {

void RunMode() {
    ModeScope mode;
    Show({STRIP_RawA, STRIP_RawB, GRAPH_Buffer, GRAPH_VideoA, GRAPH_VideoB}, 1);
    Show({GRAPH_CurveA, GRAPH_CurveB}, 0);
    Dim({BTNRun, BTNVideo, BTNGet, BTNData}, 1);
    CopyVarsToPP();
    auto measure =
        std::make_unique<Exchange>(line.com, protocol::kMeasure, line.pp, Discard::kInThenOut);
    if (measure->written() == kFrameBytes) ShowStatus("Line Ok!");
    line.stop_flag = 0;
    line.graphrefresh = 0;
    for (;;) {
        const WaitResult wait = measure->AwaitFrame(Tie::kReplyWins, &line.stop_flag);
        if (wait == WaitResult::kTimeOut) {
            ShowStatus("Timeout RS232-Line!");
            line.stop_flag = 1;
        }
        if (wait != WaitResult::kReply) break;
        measure.reset();
        // The record must leave pp before pp is refilled with the parameter set.
        CopyPPtoRAWVars();
        RecordMeasurement(line.pp);
        PlotVIDEOBarGraph();
        PlotRAWGraphA();
        PlotRAWGraphB();
        // Between two cycles the line is free: buttons pressed meanwhile are carried out now,
        // and the next command carries what they changed.
        ServeQueuedActions();
        line.graphrefresh = 0;
        if (line.stop_flag != 0) break;
        CopyVarsToPP();
        measure =
            std::make_unique<Exchange>(line.com, protocol::kMeasure, line.pp, Discard::kInThenOut);
    }
    measure.reset();
    FlushRecording();
    line.rx_flag = 0;
    FlushQueues(line.com);
    line.graphrefresh = 0;
    Dim({BTNRun}, 0);
    ServeQueuedActions();  // pressed in the pass that ended the mode
}

}  // namespace

int CC_BTNRun(int, int, int event, void*, int, int) {
    if (event == EVENT_COMMIT) WhenLineFree("run", ActionKind::kMode, RunMode);
    return 0;
}

int CC_BTNStop(int, int, int event, void*, int, int) {
    if (event != EVENT_LEFT_CLICK) return 0;
    line.stop_flag = 1;
    Dim({BTNVideo, BTNRun, BTNGet, BTNData, BTNSend}, 0);
    return 0;
}

namespace {

void VideoMode() {
    ModeScope mode;
    Show({STRIP_RawA, STRIP_RawB, GRAPH_Buffer}, 0);
    Show({GRAPH_CurveA, GRAPH_CurveB}, 1);
    Dim({BTNRun, BTNVideo, BTNGet, BTNData, BTNSend}, 1);
    SelectRamTarget();
    line.stop_flag = 0;
    while (line.stop_flag == 0) {
        bool recorded = false;
        {
            // pp is sent as it is: the record of the previous cycle.
            Exchange measure(line.com, protocol::kMeasure, line.pp, Discard::kInThenOut);
            recorded = AwaitRecord(measure);
        }
        if (recorded) {
            CopyPPtoRAWVars();
            ReadBlocks({{0, MASTER}, {64, MASTER}, {0, SLAVE}, {64, SLAVE}}, nullptr);
            PlotDATACurveA(plots.adcbufA);
            PlotDATACurveB(plots.adcbufB);
            PlotVIDEOBarGraph();
        }
        ProcessSystemEvents();
        ServeQueuedActions();
    }
    Dim({BTNRun, BTNVideo, BTNData}, 0);
    InstallRxNotification(line.com);
    DiscardQueues(line.com, Discard::kOutThenIn);
    ServeQueuedActions();  // pressed in the cycle that ended the mode
}

}  // namespace

int CC_BTNVideo(int, int, int event, void*, int, int) {
    if (event == EVENT_COMMIT) WhenLineFree("video", ActionKind::kMode, VideoMode);
    return 0;
}

namespace {

void DataBufferAcquisition() {
    Show({STRIP_RawA, GRAPH_Buffer}, 1);
    Show({GRAPH_CurveA, GRAPH_CurveB}, 0);
    bool recorded = false;
    {
        Exchange measure(line.com, protocol::kMeasure, line.pp, Discard::kInThenOut);
        line.stop_flag = 0;
        recorded = AwaitRecord(measure);
    }
    if (!recorded) return;
    CopyPPtoRAWVars();
    const BufferLines lines =
        DataBufferLines(params.eModeA, params.tValA, params.tValB, params.tTol);
    meas.tVal = static_cast<std::uint16_t>(lines.centre);
    PlotVIDEOBarGraph();
    std::string failure;
    const bool complete = ReadBlocks({{0, MVBUF}, {64, MVBUF}}, &failure);
    if (!complete) {
        // A later good block must not hide that the buffer is not whole.
        SetStatus(failure.c_str());
        ShowStatus(line.szStatus);
    }
    RingOrder(plots.databuf, plots.newbuf);
    Set1D(plots.tolArrayHI, MAXPOINT, lines.upper);
    Set1D(plots.tolArrayLO, MAXPOINT, lines.lower);
    Set1D(plots.teachArray, MAXPOINT, lines.centre);
    PlotDATABuffer(plots.newbuf);
    for (int i = 0; i < MAXPOINT; ++i) {
        plots.dummybuf[i] = static_cast<std::uint16_t>(plots.newbuf[i]);
    }
    int recording = 0;
    GetCtrlVal(panels.panelPopUp, CHECKFile, &recording);
    if (recording == 1 && complete) WriteMeasurementFile();
}

}  // namespace

int CC_BTNData(int, int, int event, void*, int, int) {
    if (event == EVENT_COMMIT) WhenLineFree("data", ActionKind::kAction, DataBufferAcquisition);
    return 0;
}
