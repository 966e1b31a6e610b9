#include "startup.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "QtorKMBscope10.h"
#include "commands.h"
#include "mapping.h"
#include "port_table.h"
#include "qtor_version.h"
#include "replay_callbacks.h"
#include "station.h"
#include "toolkit.h"
#include "trace.h"

namespace {

constexpr int kInfoBlue = 0x0080FF;
constexpr const char* kUsage =
    "Usage: qtor-kmb [--port DEVICE ... | --demo [N]] [--record FILE.csv] [--trace FILE]\n"
    "                [--alarm-after K] [--replay FILE [--speed 1|10|max]]\n"
    "                [--mqtt URL [--mqtt-password-file FILE]] [--help] [--version]\n"
    "Front-end for a Q-TOR optical line sensor on an RS-232 line.\n"
    "  --port DEVICE  use DEVICE (a serial port or pseudo-terminal path) as port 1; given\n"
    "                 again, a sensor each, on ports 2, 3, ... in that order\n"
    "  --demo [N]     N built-in simulated sensors (1 by default), paced at 19200 baud\n"
    "  --record FILE  record every run-mode record to the new CSV file FILE, and the\n"
    "                 alarms' events to FILE-events.csv beside it; with several sensors\n"
    "                 each its own, its name before the extension (run-COM1.csv)\n"
    "  --alarm-after K  an alarm needs K records in a row outside the tolerance (default 3)\n"
    "  --trace FILE   write every frame on the line to the new file FILE (seconds, TX or\n"
    "                 RX, hex bytes); an existing FILE is refused\n"
    "  --replay FILE  play back a recording or a protocol trace instead of a sensor (no\n"
    "                 port is opened); --speed: real time (1, the default), ten times, or\n"
    "                 as fast as the displays go (max). A file that is not one: status 2\n"
    "  --mqtt URL     publish each sensor's records, statistics, alarms and parameter\n"
    "                 set to the MQTT broker at URL (mqtt://HOST[:PORT] or\n"
    "                 mqtts://HOST[:PORT]) for this run; see also Plant link...\n"
    "  --mqtt-password-file FILE  the broker's password, in a file only its owner may read\n"
    "  --help         show this text\n"
    "  --version      show the version\n"
    "SIGINT and SIGTERM close the main panel, as its close box does.\n";

}  // namespace

Parsed ParseCommandLine(int argc, char** argv, Options* options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help") {
            std::fputs(kUsage, stdout);
            return Parsed::Exit;
        }
        if (arg == "--version") {
            std::printf("Q-TOR KMB-Dored Version %s\n", kQtorVersion);
            return Parsed::Exit;
        }
        if (arg == "--demo") {
            // --demo N: N simulated sensors; alone, one.
            options->demo = 1;
            if (i + 1 < argc &&
                std::string(argv[i + 1]).find_first_not_of("0123456789") == std::string::npos) {
                options->demo = std::atoi(argv[++i]);
                if (options->demo < 1 || options->demo > 16) {
                    std::fprintf(stderr, "qtor-kmb: --demo takes 1 to 16 sensors\n");
                    return Parsed::Error;
                }
            }
        } else if (arg == "--port" && i + 1 < argc) {
            options->ports.emplace_back(argv[++i]);
        } else if (arg == "--record" && i + 1 < argc) {
            options->record = argv[++i];
        } else if (arg == "--trace" && i + 1 < argc) {
            options->trace = argv[++i];
        } else if (arg == "--replay" && i + 1 < argc) {
            options->replay = argv[++i];
        } else if (arg == "--speed" && i + 1 < argc) {
            const std::string speed = argv[++i];
            if (speed == "1") {
                options->speed = Replay::Speed::kReal;
            } else if (speed == "10") {
                options->speed = Replay::Speed::kTen;
            } else if (speed == "max") {
                options->speed = Replay::Speed::kMax;
            } else {
                std::fprintf(stderr, "qtor-kmb: --speed is 1, 10 or max\n");
                return Parsed::Error;
            }
        } else if (arg == "--mqtt" && i + 1 < argc) {
            options->mqtt = argv[++i];
            MqttTarget target;
            std::string why;
            if (!ParseMqttUrl(options->mqtt, &target, &why)) {
                std::fprintf(stderr, "qtor-kmb: --mqtt: %s\n", why.c_str());
                return Parsed::Error;
            }
        } else if (arg == "--mqtt-password-file" && i + 1 < argc) {
            options->mqttPasswordFile = argv[++i];
        } else if (arg == "--alarm-after" && i + 1 < argc) {
            char* end = nullptr;
            const std::string value = argv[++i];
            options->alarmAfter = std::strtoll(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || options->alarmAfter < 1) {
                std::fprintf(stderr,
                             "qtor-kmb: --alarm-after needs a whole number of at least 1\n");
                return Parsed::Error;
            }
        } else {
            std::fprintf(stderr, "qtor-kmb: unknown option '%s' (see --help)\n", arg.c_str());
            return Parsed::Error;
        }
    }
    return Parsed::Run;
}

namespace {

// A panel file that lacks a control the program addresses is as unusable as a missing one.
bool HasControls(int panel, int panelId) {
    for (const ControlEntry& c : kControlTable) {
        if (c.panel != panelId) continue;
        int visible = 0;
        if (GetCtrlAttribute(panel, c.constant, ATTR_VISIBLE, &visible) < 0) {
            std::fprintf(stderr, "qtor-kmb: %s: panel %d has no control %s (%d)\n", kPanelFile,
                         panelId, c.name, c.constant);
            return false;
        }
    }
    return true;
}

}  // namespace

int LoadPanels(const char* file, PanelHandles* loaded) {
    loaded->panelHandle = LoadPanel(0, file, PANEL);
    if (loaded->panelHandle < 0) return -1;
    loaded->panelPopUp = LoadPanel(0, file, POPUP);
    if (loaded->panelPopUp < 0) return -1;
    // A callback name the program lacks would leave its control dead without a word.
    if (CheckPanelCallbacks(loaded->panelHandle) < 0 ||
        CheckPanelCallbacks(loaded->panelPopUp) < 0 || !HasControls(loaded->panelHandle, PANEL) ||
        !HasControls(loaded->panelPopUp, POPUP)) {
        return -1;
    }
    return 0;
}

void ShowInfoText(int panel, const char* text, int left, int top, int pointSize) {
    const int id = NewCtrl(panel, CTRL_TEXT_MSG, "", top, left);
    SetCtrlAttribute(panel, id, ATTR_TEXT_FONT, VAL_APP_META_FONT);
    SetCtrlAttribute(panel, id, ATTR_TEXT_BGCOLOR, kInfoBlue);
    SetCtrlAttribute(panel, id, ATTR_TEXT_COLOR, VAL_WHITE);
    SetCtrlAttribute(panel, id, ATTR_TEXT_POINT_SIZE, pointSize);
    SetCtrlVal(panel, id, text);
}

void InitVars(Station& s) {
    const int p = s.panels.panelHandle;
    s.params = StartParameters();
    s.target = RAM;
    s.stop_flag = 1;
    s.link.SetStatus("InitVars");
    s.link.ShowStatus(s.link.szStatus);
    SetCtrlVal(s.panels.panelPopUp, DropEPoti, 1);
    SetCtrlVal(p, BIN_Sw_ParaSelect, 1);
    SetCtrlVal(p, TOGBTN_Zoom, 1);
    ShowInfoText(p, "PC-SOFTWARE: Q-TOR Series", 15, 8, 11);
    ShowInfoText(p, "Dored Line Sensors Ltd.", 15, 21, 11);
    ShowInfoText(p, "Phone +44 1632 960000", 15, 36, 11);
    ShowInfoText(p, "Q-TOR KMB-Dored", 165, 22, 20);
    ShowInfoText(p, "Version 1.0", 345, 30, 11);
    GetPanelValues(s.panels, s.params);
    DeleteGraphPlot(p, GRAPH_VideoA, VAL_ALL_PLOTS, VAL_IMMEDIATE_DRAW);
    DeleteGraphPlot(p, GRAPH_VideoB, VAL_ALL_PLOTS, VAL_IMMEDIATE_DRAW);
    SetGraphCursor(p, GRAPH_VideoA, 1, s.params.tValA, 1.0);
    SetGraphCursor(p, GRAPH_VideoB, 1, s.params.tValB, 1.0);
    for (int i = 0; i < MAXPOINT; ++i) s.plots.dxArray[i] = static_cast<std::uint16_t>(i);
    for (int i = 0; i < MAXPOINT; ++i) {
        s.plots.xArray[i] = static_cast<std::uint16_t>(8 * i);
        s.plots.thdArrayA[i] = s.params.vThdA;
        s.plots.thdArrayB[i] = s.params.vThdB;
    }
}

int CC_PANEL(int, int, int event, void* data, int, int) {
    if (event == EVENT_CLOSE && data) {
        // The activity under way ends at once on the closed port (a mode by its time-out, as
        // it would), and its last steps run before the event loop ends.
        SensorLink& link = StationOf(data).link;
        link.DropQueued();
        link.CloseLine();
        link.WhenIdle([] { QuitUserInterface(0); });
    }
    return 0;
}

int CC_POPUP(int, int, int event, void* data, int, int) {
    if (event == EVENT_CLOSE && data) {
        const PanelHandles& panels = StationOf(data).panels;
        HidePanel(panels.panelPopUp);
        SetCtrlVal(panels.panelHandle, BIN_Sw_ParaSelect, 1);
    }
    return 0;
}

namespace {

Task<> PickPort(Station& s, int picked) {
    s.replay.Close();  // a port picked ends a replay: the sensor again
    co_await s.link.CloseLineAfterFrame();
    if (picked > 0) s.link.com = picked;
    s.link.ShowStatus("Init COM-Port ...");
    co_await InitRS232(s.link, s.params);
}

}  // namespace

// A pick made while the line is busy (a connect under way, a mode) waits for it; of several
// such picks the last one wins, since each replaces the one still waiting.
int CC_DropDCom(int panel, int control, int event, void* data, int, int) {
    if (!data) return 0;
    Station& s = StationOf(data);
    if (event == EVENT_DROPPED) s.linkView.RescanPorts();
    if (event != EVENT_COMMIT && event != EVENT_VAL_CHANGED) return 0;
    s.remembered.PortPicked();
    s.linkView.PortPicked();
    s.gui.MarkValuesStale();
    // Read now: a rescan of the list before the pick is carried out resets the selector.
    // A selector that cannot be read keeps the port in use.
    int picked = 0;
    if (GetCtrlVal(panel, control, &picked) < 0) picked = 0;
    // Two sensors of one window never share a port.
    if (picked > 0 && picked != s.link.com && s.portTaken && s.portTaken(picked)) {
        const std::string text = "COM" + std::to_string(picked) + " is used by another sensor";
        s.link.ShowStatus(text.c_str());
        FillPortSelector(s.panels, s.link.com);
        return 0;
    }
    s.link.WhenLineFree("port", ActionKind::kAction, [&s, picked] { return PickPort(s, picked); });
    return 0;
}

int ApplyOptions(Station& station, const Options& options) {
    station.quality.alarmAfter = options.alarmAfter;
    // A file named on the command line that exists is somebody's data: never replaced, and
    // refused before the other file is made, which would then block the next start.
    for (const auto& [path, what] :
         {std::pair{&options.record, "record"}, {&options.trace, "trace"}}) {
        if (std::error_code ec; !path->empty() && std::filesystem::exists(*path, ec)) {
            std::fprintf(stderr, "qtor-kmb: cannot %s: %s exists; not overwritten\n", what,
                         path->c_str());
            return -1;
        }
    }
    if (!options.record.empty()) {
        std::string error;
        if (!station.recorder.Start(options.record, true, &error)) {
            std::fprintf(stderr, "qtor-kmb: cannot record: %s\n", error.c_str());
            return -1;
        }
        SetCtrlVal(station.panels.panelHandle, TOGBTN_Record, 1);
    }
    if (!options.trace.empty()) {
        std::string error;
        if (station.link.StartTrace(options.trace, true, &error)) {
            station.linkView.TraceStarted();
        } else {
            // Without its trace the program still runs: it says so and goes on.
            std::fprintf(stderr, "qtor-kmb: no trace: %s\n", error.c_str());
        }
    }
    return 0;
}

int StartLine(Station& station, const Options& options) {
    if (options.replay.empty()) {
        station.link.WhenLineFree("port", ActionKind::kAction,
                                  [&station] { return InitRS232(station.link, station.params); });
        return 0;
    }
    if (std::string error; !StartReplay(station, options.replay, options.speed, &error)) {
        std::fprintf(stderr, "qtor-kmb: %s: %s\n", options.replay.c_str(), error.c_str());
        return 2;
    }
    return 0;
}
