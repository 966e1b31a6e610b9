#include "replay_callbacks.h"

#include <cstdio>
#include <memory>

#include "QtorKMBscope10.h"
#include "arrays.h"
#include "commands.h"
#include "files.h"
#include "ranges.h"
#include "record_time.h"
#include "station.h"
#include "timer.h"
#include "toolkit.h"

namespace {

// What the steps since the last drawing changed.
struct Scene {
    long long records = 0;  // run-mode records so far
    bool bars = false, curves = false, buffer = false;
    double sliderAt = -1;  // when the slider was last moved
};

// Milliseconds since the epoch of a recording's local time text; negative when it is none.
double RecordTimeMs(const std::string& time) {
    RecordTime t;
    return ParseRecordTime(time, &t) ? LocalMilliseconds(t) : -1;
}

void Show(const Station& s, std::initializer_list<int> controls, int visible) {
    for (int c : controls) SetCtrlAttribute(s.panels.panelHandle, c, ATTR_VISIBLE, visible);
}

// A record to the consumers run mode's records go to, shown when the replay draws.
void PlayRecord(Station& s, Scene& scene, const std::uint16_t* words, long long index,
                const std::string& time) {
    CopyPPtoRAWVars(words, s.meas, s.params);
    s.HandRecord(words, index, time, RecordTimeMs(time), false);
    ++scene.records;
}

// An exchange of a trace where the live frame went.
void Exchanged(Station& s, Scene& scene, std::size_t i) {
    const std::vector<TraceExchange>& all = s.replay.Exchanges();
    const TraceExchange& e = all[i];
    if (!e.Whole()) return;
    switch (e.command) {
        case protocol::kMeasure:
            // A record followed by block reads belongs to a video or data-buffer cycle.
            if (i + 1 < all.size() && all[i + 1].command == protocol::kDataBlock) {
                CopyPPtoRAWVars(e.words.data(), s.meas, s.params);
                scene.bars = true;
            } else {
                char time[32];
                std::snprintf(time, sizeof time, "%.3f s", e.time);
                PlayRecord(s, scene, e.words.data(), scene.records, time);
            }
            break;
        case protocol::kDataBlock: {
            const int start = e.request[0], selector = e.request[1];
            if (start < 0 || start + 64 > MAXPOINT) break;
            for (int k = 0; k < 64; ++k) {
                if (selector == MASTER) s.plots.adcbufA[start + k] = e.words[k];
                if (selector == SLAVE) s.plots.adcbufB[start + k] = e.words[k];
                if (selector == MVBUF) s.plots.databuf[start + k] = e.words[k];
            }
            if (start == 64 && selector == SLAVE) scene.curves = true;
            if (start == 64 && selector == MVBUF) scene.buffer = true;
            break;
        }
        case protocol::kReadRam:
        case protocol::kReadEeprom:
            CopyPPtoVars(e.words.data(), s.params);
            ShowParameterRead(s.link);
            break;
        default: break;
    }
}

void Draw(Station& s, Scene& scene) {
    if (scene.bars) s.gui.PlotVIDEOBarGraph(s.meas, s.params, s.plots);
    s.records.Show();
    if (scene.curves) {
        Show(s, {STRIP_RawA, STRIP_RawB, GRAPH_Buffer}, 0);
        Show(s, {GRAPH_CurveA, GRAPH_CurveB}, 1);
        s.DrawVideoLines();
    }
    if (scene.buffer) {
        const ParameterSet& p = s.params;
        Show(s, {STRIP_RawA, GRAPH_Buffer}, 1);
        Show(s, {GRAPH_CurveA, GRAPH_CurveB}, 0);
        s.DrawDataBuffer(DataBufferLines(p.eModeA, p.tValA, p.tValB, p.tTol));
    }
    // Taken elsewhere while it stands, no later drawing would bring the numbers and the
    // channels' states up to date: they are shown at once.
    if (scene.records > 0 && !s.replay.Playing()) s.ShowQuality(true);
    scene.bars = scene.curves = scene.buffer = false;
    // The slider follows four times a second, or at the end.
    if (Timer() - scene.sliderAt >= 0.25 || s.replay.Position() == s.replay.Size()) {
        scene.sliderAt = Timer();
        SetCtrlVal(s.panels.panelHandle, SLIDE_Position, static_cast<int>(s.replay.Position()));
    }
}

}  // namespace

bool StartReplay(Station& s, const std::string& path, Replay::Speed speed, std::string* error) {
    if (!s.replay.Load(path, error)) return false;
    // A row still being written when the file was opened waits for the next opening.
    if (s.replay.LeftOut())
        std::fprintf(stderr, "qtor-kmb: %s: line %lld: incomplete last line left out\n",
                     path.c_str(), s.replay.LeftOut());
    const int p = s.panels.panelHandle;
    s.link.CloseLine();
    s.linkView.ShowReplay(FileNameOf(path));
    auto scene = std::make_shared<Scene>();
    s.replay.onRestart = [&s, scene] {
        *scene = Scene{};
        ClearStripChart(s.panels.panelHandle, STRIP_RawA);
        ClearStripChart(s.panels.panelHandle, STRIP_RawB);
        // Played from the start again, the file's alarms and events are yet to come.
        s.quality.ClearEvents();
        for (Channel c : {Channel::kA, Channel::kB}) s.quality.Acknowledge(c);
        s.StartRun();
    };
    s.replay.onStep = [&s, scene](std::size_t i) {
        if (s.replay.IsTrace()) {
            Exchanged(s, *scene, i);
        } else {
            if (const RecordingRow* row = s.replay.Row(i))
                PlayRecord(s, *scene, row->words.data(), row->index, row->time);
        }
    };
    s.replay.onDraw = [&s, scene] { Draw(s, *scene); };
    s.replay.onDone = [&s, scene](std::size_t n) {
        s.EndRun();
        SetCtrlVal(s.panels.panelHandle, TOGBTN_Play, 0);
        const std::string text =
            "Replay done: " + std::to_string(n) + (s.replay.IsTrace() ? " frames" : " records");
        s.link.ShowStatus(text.c_str());
    };
    if (!s.replay.IsTrace()) {
        Show(s, {STRIP_RawA, STRIP_RawB, GRAPH_Buffer, GRAPH_VideoA, GRAPH_VideoB}, 1);
        Show(s, {GRAPH_CurveA, GRAPH_CurveB}, 0);
    }
    SetCtrlAttribute(p, SLIDE_Position, ATTR_MAX_VALUE, static_cast<int>(s.replay.Size()));
    SetCtrlVal(p, SLIDE_Position, 0);
    for (int c : {TOGBTN_Play, SLIDE_Position}) SetCtrlAttribute(p, c, ATTR_DIMMED, 0);
    SetCtrlVal(p, DropSpeed, static_cast<int>(speed));
    SetCtrlVal(p, TOGBTN_Play, 1);
    s.ShowStatusWithName("Replay of", path);
    s.replay.SetSpeed(speed);
    s.replay.Play();
    return true;
}

namespace {

// Started in its turn on the line, once no mode runs any more; the line is closed at once.
Task<> OpenReplay(Station& s, std::string path) {
    int speed = 0;
    GetCtrlVal(s.panels.panelHandle, DropSpeed, &speed);
    std::string error;
    if (!StartReplay(s, path, static_cast<Replay::Speed>(speed), &error))
        s.link.ShowStatus((FileNameOf(path) + ": " + error).c_str());
    co_return;
}

}  // namespace

// Live modes end first: the file is opened once no mode runs any more.
int CC_BTNOpenRecording(int, int, int event, void* data, int, int) {
    if (event != EVENT_COMMIT || !data) return 0;
    Station& s = StationOf(data);
    std::string path;
    if (FileSelectPopup(s.files.DialogFolder(s.files.record_dir), "QTORrecord.csv", "*.csv;*.txt",
                        "Q-TOR-Replay", VAL_LOAD_BUTTON, &path) < 1)
        return 0;
    s.files.record_dir = FolderOf(path);
    s.link.Wake();
    s.link.WhenLineFree("replay", ActionKind::kMode, [&s, path] { return OpenReplay(s, path); });
    return 0;
}

int CC_TOGBTN_Play(int panel, int control, int event, void* data, int, int) {
    if (event != EVENT_COMMIT || !data) return 0;
    Station& s = StationOf(data);
    int on = 0;
    GetCtrlVal(panel, control, &on);
    if (on)
        s.replay.Play();
    else
        s.replay.Pause();
    return 0;
}

int CC_DropSpeed(int panel, int control, int event, void* data, int, int) {
    if (event != EVENT_VAL_CHANGED || !data) return 0;
    int speed = 0;
    GetCtrlVal(panel, control, &speed);
    StationOf(data).replay.SetSpeed(static_cast<Replay::Speed>(speed));
    return 0;
}

int CC_SLIDE_Position(int panel, int control, int event, void* data, int, int) {
    if (event != EVENT_VAL_CHANGED || !data) return 0;
    int position = 0;
    GetCtrlVal(panel, control, &position);
    StationOf(data).replay.Seek(static_cast<std::size_t>(std::max(position, 0)));
    return 0;
}
