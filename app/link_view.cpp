#include "link_view.h"

#include <cstdio>
#include <filesystem>
#include <string>

#include "QtorKMBscope10.h"
#include "commands.h"
#include "device_watch.h"
#include "event_loop.h"
#include "exchange.h"
#include "files.h"
#include "gui.h"
#include "link_state.h"
#include "model.h"
#include "paramfiles.h"
#include "port_table.h"
#include "rs232.h"
#include "startup.h"
#include "timer.h"
#include "toolkit.h"
#include "trace.h"

namespace {

// Pale backgrounds, dark text: the state's word is always there too, colour only helps.
constexpr int kGreen = 0xC8ECC8;
constexpr int kAmber = 0xFFE2A0;
constexpr int kRed = 0xF2C2C2;
constexpr int kViolet = 0xDCD4F6;
constexpr int kGrey = 0xE4E4E4;

constexpr double kRetryPause = 1.0;  // between two connects to a device that flaps

struct Watch {
    bool waiting = false;
    int port = 0;
    std::string path;        // the device as the port table names it
    bool pathNamed = false;  // put on the number by path, not listed by the system
    double lastAttempt = -1e9;
    int periodic = 0;
};

Watch g_watch;
std::string g_state = "no port opened";
std::string g_traceProblem;

std::string Elided(const std::string& s, std::size_t n) {
    if (s.size() <= n) return s;
    const std::size_t head = (n - 3) / 2;
    return s.substr(0, head) + "..." + s.substr(s.size() - (n - 3 - head));
}

const PortEntry* Entry(const std::vector<PortEntry>& list, int port) {
    for (const PortEntry& e : list)
        if (e.number == port) return &e;
    return nullptr;
}

void StopWaiting() {
    if (g_watch.periodic) StopPeriodic(g_watch.periodic);
    g_watch = Watch{};
    WatchDevicePath("");
}

bool DeviceBack() {
    if (g_watch.pathNamed) {
        std::error_code ec;
        return std::filesystem::exists(g_watch.path, ec);
    }
    const auto list = PortTableList();
    const PortEntry* e = Entry(list, g_watch.port);
    return e && !e->gone;
}

void CheckReturn();

void Reconnect() {
    if (!g_watch.waiting || line.com != g_watch.port) return;
    ShowStatus("Init COM-Port ...");
    CloseCom(line.com);
    InitRS232(line.com);
    // The device answered the open: it is back, whatever its sensor says.
    const LinkHealth h = CurrentLinkStatus().health;
    if (h == LinkHealth::kConnected || h == LinkHealth::kNoReply) {
        StopWaiting();
        return;
    }
    // Back but not yet to be opened (another program probing it, permissions not yet set):
    // no device event may follow, so look again once a second.
    if (g_watch.waiting && !g_watch.periodic) g_watch.periodic = StartPeriodic(1.0, CheckReturn);
}

void CheckReturn() {
    if (!g_watch.waiting) return;
    if (!DeviceBack() || Timer() - g_watch.lastAttempt < kRetryPause) return;
    g_watch.lastAttempt = Timer();
    // As a port pick does, and behind anything that holds the line; a user's pick under the
    // same key replaces it.
    WhenLineFree("port", ActionKind::kAction, Reconnect);
}

void StartWaiting(int port) {
    if (g_watch.waiting && g_watch.port == port) return;
    StopWaiting();
    g_watch.waiting = true;
    g_watch.port = port;
    g_watch.path = PortTableDevice(port);
    g_watch.pathNamed = !PortTableIsListed(port);
    WatchDevicePath(g_watch.path);
    // A device named by path may come back where no folder is watched: look once a second,
    // which costs a file-system lookup.
    if (g_watch.pathNamed) g_watch.periodic = StartPeriodic(1.0, CheckReturn);
}

void Show(const LinkStatus& st) {
    const int p = panels.panelHandle;
    const bool simulated = PortSimSensor(st.port) != nullptr;
    std::string where = "COM" + std::to_string(st.port);
    const std::string device = simulated ? "simulated sensor" : PortTableDevice(st.port);
    if (!device.empty()) where += " " + device;
    std::string state;
    int colour = kGrey;
    switch (st.health) {
        case LinkHealth::kNone: state = "no port opened"; break;
        case LinkHealth::kConnected:
            state = simulated ? "simulated: " + st.detail : "connected: " + st.detail;
            colour = simulated ? kViolet : kGreen;
            break;
        case LinkHealth::kNoReply:
            state = "no reply";
            colour = kAmber;
            break;
        case LinkHealth::kDisconnected:
            state = "disconnected - waiting for it";
            colour = kRed;
            break;
        case LinkHealth::kCannotOpen:
            state = "cannot open: " + st.detail;
            colour = kRed;
            std::fprintf(stderr, "qtor-kmb: cannot open %s: %s\n", device.c_str(),
                         st.detail.c_str());
            break;
    }
    g_state = state;
    // One line in the status bar; the tooltip holds it whole.
    std::string text = Elided(where, 22) + " - " + Elided(state, 28);
    std::string tip = where + "\n" + state;
    if (!g_traceProblem.empty()) {
        text = "trace stopped - " + text;
        tip += "\n" + g_traceProblem;
    }
    SetCtrlVal(p, TEXT_Link, text.c_str());
    SetCtrlAttribute(p, TEXT_Link, ATTR_TEXT_BGCOLOR, colour);
    SetCtrlAttribute(p, TEXT_Link, ATTR_TOOLTIP, tip.c_str());
    if (st.health == LinkHealth::kNoReply || st.health == LinkHealth::kDisconnected ||
        st.health == LinkHealth::kCannotOpen)
        MarkValuesStale();
    if (st.health == LinkHealth::kDisconnected && st.port == line.com) StartWaiting(st.port);
}

void OnLost(int port) {
    if (port == line.com) ReportLink(LinkHealth::kDisconnected, port, kDeviceVanished);
}

void OnDevices(bool devices) {
    if (devices) RescanPorts();
    // A device named by path that disappeared while open has been unplugged, even if the
    // port has not failed yet.
    if (!g_watch.waiting && ComIsOpen(line.com) && !PortSimSensor(line.com) &&
        !PortTableIsListed(line.com)) {
        std::error_code ec;
        if (!std::filesystem::exists(PortTableDevice(line.com), ec)) {
            CloseCom(line.com);
            ReportLink(LinkHealth::kDisconnected, line.com, kDeviceVanished);
        }
    }
    CheckReturn();
}

}  // namespace

void InstallLinkView() {
    SetLinkStatusView(Show);
    OnComDeviceLost(OnLost);
    WatchDevices(OnDevices);
    OnComTraceFailure([](const std::string& why) {
        g_traceProblem = why;
        SetCtrlVal(panels.panelHandle, TOGBTN_Trace, 0);
        Show(CurrentLinkStatus());
    });
    Show(CurrentLinkStatus());
}

void LinkWatchPortPicked() { StopWaiting(); }

void RescanPorts() {
    PortTableRescan();
    FillPortSelector();
}

bool LinkWatchWaiting() { return g_watch.waiting; }

const char* LinkElementState() { return g_state.c_str(); }

void TraceStarted() {
    g_traceProblem.clear();
    SetCtrlVal(panels.panelHandle, TOGBTN_Trace, 1);
    Show(CurrentLinkStatus());
}

int CC_TOGBTN_Trace(int panel, int control, int event, void*, int, int) {
    if (event != EVENT_COMMIT) return 0;
    int on = 0;
    GetCtrlVal(panel, control, &on);
    if (on == 0) {
        if (ComTracing()) {
            StopComTrace();
            ShowStatus("Trace ended");
        }
        return 0;
    }
    const std::string path = ChooseFileForToggle(panel, control, &files.record_dir, "QTORtrace.txt",
                                                 "*.txt", "Q-TOR-Line-Trace");
    if (path.empty()) return 0;
    std::string error;
    if (!StartComTrace(path, &error)) {
        SetCtrlVal(panel, control, 0);
        ShowStatusWithName("Trace not started, cannot write:", path);
        return 0;
    }
    TraceStarted();
    ShowStatusWithName("Tracing the line to", path);
    return 0;
}
