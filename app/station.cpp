#include "station.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <initializer_list>
#include <vector>

#include "QtorKMBscope10.h"
#include "arrays.h"
#include "commands.h"
#include "graph_model.h"
#include "mapping.h"
#include "operator_level.h"
#include "port_table.h"
#include "qtor_version.h"
#include "quality_text.h"
#include "system_files.h"
#include "timer.h"
#include "toolkit.h"
#include "transfer.h"
#include "user_input.h"

namespace {

constexpr double kQualityPeriod = 0.25;  // the numbers are shown at most four times a second

// The channel's numbers over the records a paused strip chart shows: its history holds each
// record's limits (traces 0 and 1) and value (trace 3).
ChannelStats StatsInView(int panel, int chart) {
    const StripChartModel* m = GetStripChartModel(panel, chart);
    if (!m || !m->paused || m->history.traces < 4) return {};
    const StripHistory& h = m->history;
    // Record n is drawn at n - pausedAt + 1.
    const long long from =
        std::max(h.first(), m->pausedAt - 1 + std::llround(std::ceil(m->shown.min)));
    const long long to =
        std::min(h.total - 1, m->pausedAt - 1 + std::llround(std::floor(m->shown.max)));
    std::vector<ChannelSample> samples;
    for (long long n = from; n <= to; ++n) {
        samples.push_back(
            {h.value(n, 3), static_cast<int>(h.value(n, 1)), static_cast<int>(h.value(n, 0))});
    }
    return StatsOf(samples);
}

}  // namespace

Station::Station(int com)
    : link(com),
      linkView(link, gui, panels),
      oplock(StoredKey{}, AuditTrail{}, [](const std::string& action) { return AuditNow(action); }),
      plant(std::string("qtor-kmb ") + kQtorVersion) {}

Station::~Station() {
    // "offline" to the broker; nothing of it is shown any more.
    plant.stateChanged = nullptr;
    plant.Stop();
    if (lockWatch) CancelCall(lockWatch);
    if (inputListener) RemoveUserInputListener(inputListener);
    oplock.Lock("close", Timer());
    // The link's views point into this station; the link outlives none of it by much, but a
    // notification or drain that still runs must show nothing.
    link.views = LinkViews{};
    for (int panel : {panels.panelHandle, panels.panelPopUp})
        if (panel > 0) SetPanelCallbackData(panel, nullptr);
}

void Station::AdoptPanels(PanelHandles loaded) {
    panels = loaded;
    gui.panelHandle = panels.panelHandle;
    SetPanelCallbackData(panels.panelHandle, this);
    SetPanelCallbackData(panels.panelPopUp, this);
    // Paused, A and B are looked at over the same records.
    SetCtrlAttribute(panels.panelHandle, STRIP_RawA, ATTR_TIME_AXIS_LINK, STRIP_RawB);
    SetCtrlAttribute(panels.panelHandle, STRIP_RawB, ATTR_TIME_AXIS_LINK, STRIP_RawA);
    link.views.status = [this](const char* text) {
        SetCtrlVal(panels.panelHandle, TEXT_Status, text);
    };
    link.views.showParameters = [this] {
        SetPanelValues(panels, params, plots, gui);
        std::uint16_t words[PNUM];
        ParameterWords(params, words);
        plant.ParametersRead(words);
    };
    link.views.drawToleranceWindow = [this] { DrawToleranceWindow(); };
    link.views.selectRamTarget = [this] { target = SelectRamTarget(panels); };
    recorder.describe = [this] {
        RecordingInfo info;
        info.program = std::string("qtor-kmb ") + kQtorVersion;
        info.port = Name();
        info.device = PortTableDevice(link.com);
        info.firmware = link.szVersion;
        info.started = RecordTimeText(std::chrono::system_clock::now());
        info.alarmAfter = quality.alarmAfter;
        RecordingInfo::Set& set = info.parameters.emplace_back();
        set.time = info.started;
        set.target = "start";
        ParameterWords(params, set.words.data());
        return info;
    };
    link.views.parametersWritten = [this](int written, const std::uint16_t* words) {
        recorder.RecordParameters(written == EEPROM ? "EEPROM" : "RAM", words);
    };
    recorder.onFailure = [this](const std::string& path) {
        SetCtrlVal(panels.panelHandle, TOGBTN_Record, 0);
        ShowStatusWithName("Recording stopped, write failed:", path);
    };
    // A replay's events are the file's, not new ones of this sensor.
    quality.onEvent = [this](const AlarmEvent& event) {
        if (!replay.Loaded()) recorder.RecordEvent(event);
    };
    for (RecordConsumer* c :
         std::initializer_list<RecordConsumer*>{&charts, &recording, &numbers, &capability, &plant})
        records.Register(c);
    plant.alarmAfter = [this] { return quality.alarmAfter; };
    ApplyParameterRanges(panels);
    linkView.Install([this] { return InitRS232(link, params); });
    link.views.health = [this](const LinkStatus& st) {
        linkView.Show(st);
        plant.LinkChanged(st);
        // A line that fails while records come is an event of the run.
        if (quality.Running() &&
            (st.health == LinkHealth::kNoReply || st.health == LinkHealth::kDisconnected))
            quality.LinkLost(RecordTimeText(std::chrono::system_clock::now()));
    };
    ShowQuality(true);
}

ChannelState Station::State(Channel c) const {
    return quality.Alarmed(c)        ? ChannelState::kAlarm
           : quality.Stats(c).n == 0 ? ChannelState::kNone
           : quality.Outside(c)      ? ChannelState::kOut
                                     : ChannelState::kOk;
}

std::string Station::ModeName() const {
    const std::string& key = link.ActivityKey();
    if (key == "run") return "Run";
    if (key == "video") return "Video";
    if (key == "data") return "Data buffer";
    if (replay.Loaded()) return "Replay";
    return "Idle";
}

bool Station::Toggled(int control) const {
    int on = 0;
    GetCtrlVal(panels.panelHandle, control, &on);
    return on != 0;
}

void Station::DrawToleranceWindow() {
    int mode = 0;
    GetCtrlVal(panels.panelPopUp, DropEvalMode, &mode);
    gui.PlotTOLWindow(mode, plots.curposA, plots.curposB, params, meas);
}

void Station::ShowStatusWithName(const std::string& text, const std::string& path) const {
    link.ShowStatus(StatusWithName(text, path).c_str());
}

void Station::StartRun() {
    runIndex_ = 0;
    records.RunStarted();
}

void Station::TakeRecord(const std::uint16_t* words) {
    // In a recording the events name the rows that hold their records.
    const long long index = recorder.Recording() ? recorder.Rows() : runIndex_;
    ++runIndex_;
    HandRecord(words, index, RecordTimeText(std::chrono::system_clock::now()), -1, true);
    records.Show();
}

void Station::HandRecord(const std::uint16_t* words, long long index, const std::string& time,
                         double timeMs, bool live) {
    Record r;
    std::copy(words, words + PNUM, r.words.begin());
    r.index = index;
    r.time = time;
    r.timeMs = timeMs;
    r.live = live;
    records.Hand(r);
}

void Station::EndRun() { records.RunEnded(); }

void Station::DrawVideoLines() {
    gui.PlotDATACurveA(plots);
    gui.PlotDATACurveB(plots);
}

void Station::DrawDataBuffer(const BufferLines& lines) {
    RingOrder(plots.databuf, plots.newbuf);
    Set1D(plots.tolArrayHI, MAXPOINT, lines.upper);
    Set1D(plots.tolArrayLO, MAXPOINT, lines.lower);
    Set1D(plots.teachArray, MAXPOINT, lines.centre);
    gui.PlotDATABuffer(plots, plots.newbuf, Toggled(TOGBTN_Zoom));
}

void ChartsOfRecords::Take(const Record& record) {
    const bool zoom = s_.Toggled(TOGBTN_Zoom);
    s_.gui.PlotRAWGraphA(s_.meas, s_.params, s_.plots, zoom, record.timeMs);
    s_.gui.PlotRAWGraphB(s_.meas, s_.params, s_.plots, zoom, record.timeMs);
    bars_ = true;
}

void ChartsOfRecords::Show() {
    if (!bars_) return;
    bars_ = false;
    s_.gui.PlotVIDEOBarGraph(s_.meas, s_.params, s_.plots);
}

void RecordingOfRecords::Take(const Record& record) {
    if (record.live) s_.recorder.RecordMeasurement(record.time, record.words.data());
}

void RecordingOfRecords::RunEnded() { s_.recorder.FlushRecording(); }

void NumbersOfRecords::RunStarted() {
    s_.quality.StartRun();
    s_.ShowQuality(true);
}

void NumbersOfRecords::Take(const Record& record) {
    s_.quality.Add(record.words.data(), record.index, record.time);
}

void NumbersOfRecords::Show() { s_.ShowQuality(); }

void NumbersOfRecords::RunEnded() {
    s_.quality.EndRun();
    s_.ShowQuality(true);
}

void Station::ShowQuality(bool now) {
    const double t = Timer();
    if (!now && qualityShownAt_ >= 0 && t - qualityShownAt_ < kQualityPeriod) return;
    qualityShownAt_ = t;
    const int p = panels.panelHandle;
    const bool paused = Toggled(TOGBTN_Pause);
    const ChannelStats a = paused ? StatsInView(p, STRIP_RawA) : quality.Stats(Channel::kA);
    const ChannelStats b = paused ? StatsInView(p, STRIP_RawB) : quality.Stats(Channel::kB);
    // Only what changed is set: a control set anew lays its panel out and paints again.
    std::string table = QualityTable(a, b, paused);
    if (table != shownTable_) {
        SetCtrlVal(p, TEXT_Stats, table.c_str());
        shownTable_ = std::move(table);
    }
    const int marks[2] = {BTNStateA, BTNStateB};
    for (Channel c : {Channel::kA, Channel::kB}) {
        const ChannelState state = State(c);
        const int i = c == Channel::kA ? 0 : 1;
        if (shownStates_[i] == static_cast<int>(state)) continue;
        shownStates_[i] = static_cast<int>(state);
        SetCtrlVal(p, marks[i], ChannelStateText(c, state).c_str());
        SetCtrlAttribute(p, marks[i], ATTR_TEXT_BGCOLOR, ChannelStateColour(state));
    }
    if (quality.Changes() != eventsShown_) {
        eventsShown_ = quality.Changes();
        SetCtrlVal(p, TEXT_Events, EventsText(quality.Events()).c_str());
    }
}

Station& StationOf(void* callbackData) { return *static_cast<Station*>(callbackData); }
