#include "link_view.h"

#include <cstdio>
#include <filesystem>
#include <string>

#include "QtorKMBscope10.h"
#include "device_watch.h"
#include "event_loop.h"
#include "port_table.h"
#include "rs232.h"
#include "state_colours.h"
#include "timer.h"
#include "toolkit.h"
#include "trace.h"

namespace {

// Pale backgrounds, dark text: the state's word is always there too, colour only helps.
constexpr int kGreen = colours::kGood;
constexpr int kAmber = colours::kWarning;
constexpr int kRed = colours::kFailed;
constexpr int kViolet = colours::kSimulated;
constexpr int kGrey = colours::kNone;

constexpr double kRetryPause = 1.0;  // between two connects to a device that flaps

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

}  // namespace

void FillPortSelector(const PanelHandles& panels, int com) {
    const int p = panels.panelHandle;
    ClearListCtrl(p, DropDCom);
    int index = 0;
    bool listed = false;
    for (const PortEntry& port : PortTableList()) {
        // What the system knows of the device, so that an operator can tell adapters apart.
        std::string label = "COM" + std::to_string(port.number) + "  " + port.device;
        std::string about = port.description;
        for (const std::string& more : {port.manufacturer, port.serialNumber})
            if (!more.empty()) about += (about.empty() ? "" : ", ") + more;
        if (!about.empty()) label += "  " + about;
        if (port.gone) label += "  (gone)";
        InsertListItem(p, DropDCom, index++, label.c_str(), port.number);
        listed |= port.number == com;
    }
    // The port in use is shown even when it has no device, so the selector never names
    // another port than the one the program talks to.
    if (!listed) {
        const std::string label = "COM" + std::to_string(com) + "  (no device)";
        InsertListItem(p, DropDCom, 0, label.c_str(), com);
    }
    SetCtrlVal(p, DropDCom, com);
}

LinkView::LinkView(SensorLink& link, Gui& gui, const PanelHandles& panels)
    : link_(link), gui_(gui), panels_(panels) {}

LinkView::~LinkView() {
    StopWaiting();
    if (lostHandler_) RemoveComDeviceLostHandler(lostHandler_);
    if (deviceWatch_) StopWatchingDevices(deviceWatch_);
    link_.trace.onFailure = nullptr;
}

void LinkView::StopWaiting() {
    if (watch_.periodic) StopPeriodic(watch_.periodic);
    watch_ = Watch{};
    if (deviceWatch_) WatchDevicePath(deviceWatch_, "");
}

bool LinkView::DeviceBack() const {
    if (watch_.pathNamed) {
        std::error_code ec;
        return std::filesystem::exists(watch_.path, ec);
    }
    const auto list = PortTableList();
    const PortEntry* e = Entry(list, watch_.port);
    return e && !e->gone;
}

Task<> LinkView::Reconnect() {
    if (!watch_.waiting || link_.com != watch_.port) co_return;
    link_.ShowStatus("Init COM-Port ...");
    CloseCom(link_.com);
    if (reconnect_) co_await reconnect_();
    // The device answered the open: it is back, whatever its sensor says.
    const LinkHealth h = link_.Health().health;
    if (h == LinkHealth::kConnected || h == LinkHealth::kNoReply) {
        StopWaiting();
        co_return;
    }
    // Back but not yet to be opened (another program probing it, permissions not yet set):
    // no device event may follow, so look again once a second.
    if (watch_.waiting && !watch_.periodic)
        watch_.periodic = StartPeriodic(1.0, [this] { CheckReturn(); });
}

void LinkView::CheckReturn() {
    if (!watch_.waiting) return;
    if (!DeviceBack() || Timer() - watch_.lastAttempt < kRetryPause) return;
    watch_.lastAttempt = Timer();
    // As a port pick does, and behind anything that holds the line; a user's pick under the
    // same key replaces it.
    link_.WhenLineFree("port", ActionKind::kAction, [this] { return Reconnect(); });
}

void LinkView::StartWaiting(int port) {
    if (watch_.waiting && watch_.port == port) return;
    StopWaiting();
    watch_.waiting = true;
    watch_.port = port;
    watch_.path = PortTableDevice(port);
    watch_.pathNamed = !PortTableIsListed(port);
    if (deviceWatch_) WatchDevicePath(deviceWatch_, watch_.path);
    // A device named by path may come back where no folder is watched: look once a second,
    // which costs a file-system lookup.
    if (watch_.pathNamed) watch_.periodic = StartPeriodic(1.0, [this] { CheckReturn(); });
}

void LinkView::Show(const LinkStatus& st) {
    const int p = panels_.panelHandle;
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
    state_ = state;
    // One line in the status bar; the tooltip holds it whole.
    std::string text = Elided(where, 22) + " - " + Elided(state, 28);
    std::string tip = where + "\n" + state;
    if (!traceProblem_.empty()) {
        text = "trace stopped - " + text;
        tip += "\n" + traceProblem_;
    }
    SetCtrlVal(p, TEXT_Link, text.c_str());
    SetCtrlAttribute(p, TEXT_Link, ATTR_TEXT_BGCOLOR, colour);
    SetCtrlAttribute(p, TEXT_Link, ATTR_TOOLTIP, tip.c_str());
    if (st.health == LinkHealth::kNoReply || st.health == LinkHealth::kDisconnected ||
        st.health == LinkHealth::kCannotOpen)
        gui_.MarkValuesStale();
    if (st.health == LinkHealth::kDisconnected && st.port == link_.com) StartWaiting(st.port);
}

void LinkView::OnLost(int port) {
    if (port == link_.com) link_.ReportLink(LinkHealth::kDisconnected, port, kDeviceVanished);
}

void LinkView::OnDevices(bool devices) {
    // The folder of a listed device being waited for changed: the list may differ.
    if (devices || (watch_.waiting && !watch_.pathNamed)) RescanPorts();
    // A device named by path that disappeared while open has been unplugged, even if the
    // port has not failed yet.
    const int com = link_.com;
    if (!watch_.waiting && ComIsOpen(com) && !PortSimSensor(com) && !PortTableIsListed(com)) {
        std::error_code ec;
        if (!std::filesystem::exists(PortTableDevice(com), ec)) {
            CloseCom(com);
            link_.ReportLink(LinkHealth::kDisconnected, com, kDeviceVanished);
        }
    }
    CheckReturn();
}

void LinkView::Install(Activity reconnect) {
    reconnect_ = std::move(reconnect);
    if (!lostHandler_) lostHandler_ = OnComDeviceLost([this](int port) { OnLost(port); });
    if (!deviceWatch_) deviceWatch_ = WatchDevices([this](bool devices) { OnDevices(devices); });
    link_.trace.onFailure = [this](const std::string& why) { TraceFailed(why); };
    Show(link_.Health());
}

void LinkView::ShowReplay(const std::string& name) {
    StopWaiting();
    state_ = "Replay: " + name;
    const int p = panels_.panelHandle;
    SetCtrlVal(p, TEXT_Link, Elided(state_, 52).c_str());
    SetCtrlAttribute(p, TEXT_Link, ATTR_TEXT_BGCOLOR, kViolet);
    SetCtrlAttribute(p, TEXT_Link, ATTR_TOOLTIP,
                     (state_ + "\nno sensor: a file played back").c_str());
}

void LinkView::RescanPorts() {
    PortTableRescan();
    FillPortSelector(panels_, link_.com);
}

void LinkView::TraceStarted() {
    traceProblem_.clear();
    SetCtrlVal(panels_.panelHandle, TOGBTN_Trace, 1);
    Show(link_.Health());
}

void LinkView::TraceFailed(const std::string& why) {
    traceProblem_ = why;
    SetCtrlVal(panels_.panelHandle, TOGBTN_Trace, 0);
    Show(link_.Health());
}
