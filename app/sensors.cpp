#include "sensors.h"

#include <algorithm>
#include <cstdio>

#include "QtorKMBscope10.h"
#include "commands.h"
#include "event_loop.h"
#include "files.h"
#include "link_view.h"
#include "operator_level.h"
#include "plant_view.h"
#include "port_table.h"
#include "quality_text.h"
#include "remembered.h"
#include "rs232.h"
#include "settings.h"
#include "startup.h"
#include "state_colours.h"
#include "toolkit.h"

namespace {

constexpr double kRefreshPeriod = 0.25;  // the overview follows four times a second
constexpr std::size_t kTabLabel = 28;    // characters of a tab's label

using namespace colours;

std::string Cut(const std::string& s, std::size_t n) {
    return s.size() <= n ? s : s.substr(0, n - 3) + "...";
}

const char* LinkWords(const Station& s) {
    if (s.replay.Loaded()) return "replay";
    switch (s.link.Health().health) {
        case LinkHealth::kNone: return "no port opened";
        case LinkHealth::kConnected: return PortSimSensor(s.link.com) ? "simulated" : "connected";
        case LinkHealth::kNoReply: return "no reply";
        case LinkHealth::kDisconnected: return "disconnected";
        case LinkHealth::kCannotOpen: return "cannot open";
    }
    return "";
}

bool LinkFailed(const Station& s) {
    const LinkHealth h = s.link.Health().health;
    return !s.replay.Loaded() && (h == LinkHealth::kNoReply || h == LinkHealth::kDisconnected ||
                                  h == LinkHealth::kCannotOpen);
}

std::string ChannelWords(Channel c, ChannelState state, int value) {
    std::string text = c == Channel::kA ? "A " : "B ";
    text += value >= 0 ? std::to_string(value) : "-";
    if (state != ChannelState::kNone)
        text += " " + ChannelStateText(c, state).substr(2);  // "OK", "OUT", "ALARM"
    return text;
}

}  // namespace

void Sensors::Overview::Take(const Record& record) {
    a = record.words[protocol::kAvalue];
    b = record.words[protocol::kBvalue];
}

Sensors::~Sensors() {
    if (refresh_) StopPeriodic(refresh_);
    std::vector<PanelHandles> panels;
    for (std::size_t i = 0; i < stations_.size(); ++i) {
        stations_[i]->link.CancelActivities();
        stations_[i]->records.Unregister(overviews_[i].get());
        panels.push_back(stations_[i]->panels);
    }
    stations_.clear();  // the stations go before their panels
    for (const PanelHandles& p : panels) {
        DiscardPanel(p.panelPopUp);
        DiscardPanel(p.panelHandle);
    }
    if (tabbed_) DiscardPanel(tabbed_);
}

Station* Sensors::Add(int com, bool portGiven) {
    PanelHandles loaded;
    if (LoadPanels(kPanelFile, &loaded) < 0) return nullptr;
    auto station = std::make_unique<Station>(com);
    Station& s = *station;
    s.AdoptPanels(loaded);
    LoadLock(s, KeyFilesInForce());
    InitVars(s);
    s.files.proj_dir = GetProjectDir();
    // The first station keeps the keys it always had; the others have their own.
    if (!stations_.empty())
        s.remembered.SetPrefix("sensor" + std::to_string(stations_.size() + 1) + "/");
    s.remembered.RestoreSettings(portGiven, s.files, s.link.com);
    if (PortTaken(s.link.com, nullptr)) s.link.com = com;
    FillPortSelector(s.panels, s.link.com);
    s.addSensor = [this, &s] { PickAndAdd(s); };
    s.removeSensor = [this, &s] { Remove(s); };
    s.portTaken = [this, &s](int port) { return PortTaken(port, &s); };
    s.everyStation = [this](const std::function<void(Station&, bool)>& fn) {
        for (std::size_t i = 0; i < stations_.size(); ++i) fn(*stations_[i], i == 0);
    };
    ApplyPlant(s, ProgramPlantConfig(), stations_.empty());
    auto overview = std::make_unique<Overview>();
    s.records.Register(overview.get());
    stations_.push_back(std::move(station));
    overviews_.push_back(std::move(overview));
    if (stations_.size() == 2) {
        tabbed_ = NewTabbedPanel("Q-TOR KMB-Dored", "CC_SENSORS");
        SetPanelCallbackData(tabbed_, this);
        Station& first = *stations_.front();
        const int visible = PanelShown(first.panels.panelHandle);
        PutInTab(first);
        if (visible) DisplayPanel(tabbed_);
        refresh_ = StartPeriodic(kRefreshPeriod, [this] { Refresh(); });
    }
    if (tabbed_) PutInTab(s);
    DimRemove();
    Refresh();
    return &s;
}

void Sensors::PutInTab(Station& s) {
    InsertPanelTab(tabbed_, s.panels.panelHandle, -1, s.Name().c_str());
}

void Sensors::DimRemove() {
    for (const auto& s : stations_)
        SetCtrlAttribute(s->panels.panelHandle, BTNRemoveSensor, ATTR_DIMMED, stations_.size() < 2);
}

void Sensors::PickAndAdd(Station& from) {
    std::vector<std::string> labels;
    std::vector<int> numbers;
    for (const PortEntry& port : PortTableList()) {
        std::string label = "COM" + std::to_string(port.number) + "  " + port.device;
        if (!port.description.empty()) label += "  " + port.description;
        if (PortTaken(port.number, nullptr)) label += "  (in use here)";
        labels.push_back(label);
        numbers.push_back(port.number);
    }
    int picked = -1;
    if (ListSelectPopup("Add sensor on port", labels, &picked) < 1 || picked < 0 ||
        picked >= static_cast<int>(numbers.size()))
        return;
    const int com = numbers[static_cast<std::size_t>(picked)];
    if (PortTaken(com, nullptr)) {
        const std::string text = "COM" + std::to_string(com) + " is used by another sensor";
        from.link.ShowStatus(text.c_str());
        return;
    }
    Station* s = Add(com, true);
    if (!s) {
        from.link.ShowStatus("Cannot load the panels of another sensor");
        return;
    }
    s->remembered.PortPicked();  // picked by the user: remembered for the next start
    s->link.ShowStatus("Init COM-Port ...");
    s->link.WhenLineFree("port", ActionKind::kAction,
                         [s] { return InitRS232(s->link, s->params); });
    Show(*s);
}

void Sensors::Remove(Station& s) {
    if (stations_.size() < 2) {
        s.link.ShowStatus("The last sensor stays");
        return;
    }
    // Its mode ends as Stop ends it; what waits for its turn is forgotten.
    s.stop_flag = 1;
    s.link.DropQueued();
    s.link.Wake();
    s.replay.Close();
    s.link.WhenIdle([this, p = &s] { PostToEventLoop([this, p] { Finish(p); }); });
}

void Sensors::Finish(Station* s) {
    auto it = std::find_if(stations_.begin(), stations_.end(),
                           [s](const auto& owned) { return owned.get() == s; });
    if (it == stations_.end()) return;
    const std::size_t i = static_cast<std::size_t>(it - stations_.begin());
    const PanelHandles panels = s->panels;
    s->recorder.Stop();
    s->link.trace.Stop();
    s->link.CloseLine();
    s->records.Unregister(overviews_[i].get());
    RemovePanelTab(tabbed_, panels.panelHandle);
    stations_.erase(it);  // the station goes before its panels
    overviews_.erase(overviews_.begin() + static_cast<std::ptrdiff_t>(i));
    DiscardPanel(panels.panelPopUp);
    DiscardPanel(panels.panelHandle);
    if (stations_.size() == 1) {
        // One sensor again: its main panel is a window of its own, as it always was.
        Station& last = *stations_.front();
        std::string placement = GetPanelPlacement(tabbed_);
        RemovePanelTab(tabbed_, last.panels.panelHandle);
        StopPeriodic(refresh_);
        refresh_ = 0;
        DiscardPanel(tabbed_);
        tabbed_ = 0;
        SetPanelPlacement(last.panels.panelHandle, placement);
        DisplayPanel(last.panels.panelHandle);
    }
    DimRemove();
    Refresh();
}

Station* Sensors::Shown() const {
    if (stations_.empty()) return nullptr;
    if (!tabbed_) return stations_.front().get();
    const int panel = GetShownPanelTab(tabbed_);
    for (const auto& s : stations_)
        if (s->panels.panelHandle == panel) return s.get();
    return stations_.front().get();
}

void Sensors::Show(Station& s) {
    if (tabbed_) ShowPanelTab(tabbed_, s.panels.panelHandle);
}

bool Sensors::PortTaken(int com, const Station* except) const {
    return std::any_of(stations_.begin(), stations_.end(), [com, except](const auto& s) {
        return s.get() != except && s->link.com == com;
    });
}

int Sensors::Window() const {
    if (tabbed_) return tabbed_;
    return stations_.empty() ? 0 : stations_.front()->panels.panelHandle;
}

void Sensors::CloseAll() {
    auto open = std::make_shared<std::size_t>(stations_.size());
    for (const auto& s : stations_) {
        s->link.DropQueued();
        s->link.CloseLine();
        s->link.WhenIdle([open] {
            if (--*open == 0) QuitUserInterface(0);
        });
    }
}

std::string Sensors::OverviewText(const Station& s) const {
    std::size_t i = 0;
    while (i < stations_.size() && stations_[i].get() != &s) ++i;
    const Overview* o = i < overviews_.size() ? overviews_[i].get() : nullptr;
    std::string head = s.Name();
    if (s.link.szVersion[0]) head += " " + std::string(s.link.szVersion);
    std::string line = LinkWords(s);
    line += " - " + s.ModeName();
    // Values of a line that failed are old: they are said to be.
    const bool old = LinkFailed(s) && o && o->a >= 0;
    return Cut(head, kTabLabel) + "\n" + line + "\n" +
           ChannelWords(Channel::kA, s.State(Channel::kA), o ? o->a : -1) + "  " +
           ChannelWords(Channel::kB, s.State(Channel::kB), o ? o->b : -1) + (old ? " (old)" : "");
}

int Sensors::OverviewColour(const Station& s) const {
    const ChannelState a = s.State(Channel::kA), b = s.State(Channel::kB);
    if (a == ChannelState::kAlarm || b == ChannelState::kAlarm) return kAlarm;
    const LinkHealth h = s.link.Health().health;
    if (!s.replay.Loaded() && (h == LinkHealth::kDisconnected || h == LinkHealth::kCannotOpen))
        return kFailed;
    if (a == ChannelState::kOut || b == ChannelState::kOut) return kWarning;
    if (!s.replay.Loaded() && h == LinkHealth::kNoReply) return kWarning;
    if (s.replay.Loaded() || (h == LinkHealth::kConnected && PortSimSensor(s.link.com)))
        return kSimulated;
    return h == LinkHealth::kConnected ? kGood : kNone;
}

void Sensors::Refresh() {
    if (!tabbed_) return;
    for (const auto& s : stations_) {
        const int panel = s->panels.panelHandle;
        std::string label = s->Name();
        if (s->link.szVersion[0]) label += " " + std::string(s->link.szVersion);
        label = Cut(label, kTabLabel);
        if (LinkFailed(*s)) label += std::string(" - ") + LinkWords(*s);
        const std::string tip =
            s->Name() + " " + PortTableDevice(s->link.com) + "\n" + s->linkView.State();
        SetPanelTabLabel(tabbed_, panel, label.c_str(), tip.c_str());
        SetPanelTabOverview(tabbed_, panel, OverviewText(*s).c_str(), OverviewColour(*s),
                            tip.c_str());
    }
}

void Sensors::SaveSettings(bool portsGiven) const {
    if (stations_.empty()) return;
    if (stations_.size() == 1 && !portsGiven) {
        const Station& s = *stations_.front();
        s.remembered.SaveSettingsAtExit(s.panels, s.files, s.link.com);
        return;
    }
    std::vector<std::string> ports;
    for (const auto& s : stations_) ports.push_back(s->remembered.PortToSave(s->link.com));
    // Ports given on the command line leave the remembered set as it was: only the first
    // station's folders and the window's place are written over it.
    const std::size_t written = portsGiven ? 1 : stations_.size();
    const int count = RememberedSensorCount(), tab = RememberedShownTab();
    StartWritingSettings(!portsGiven);
    int shown = 0;
    for (std::size_t i = 0; i < written; ++i) {
        const Station& s = *stations_[i];
        s.remembered.Write(s.panels, s.files, ports[i], i == 0 ? Window() : 0);
    }
    for (std::size_t i = 0; i < stations_.size(); ++i)
        if (stations_[i].get() == Shown()) shown = static_cast<int>(i);
    if (portsGiven)
        FinishWritingSettings(count, tab);
    else
        FinishWritingSettings(static_cast<int>(stations_.size()), shown);
}

std::string PerSensorPath(const std::string& path, const std::string& name) {
    const std::size_t slash = path.find_last_of("/\\");
    const std::size_t dot = path.rfind('.');
    const bool extension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    if (!extension) return path + "-" + name;
    return path.substr(0, dot) + "-" + name + path.substr(dot);
}

int CC_SENSORS(int, int, int event, void* data, int, int) {
    if (event == EVENT_CLOSE && data) static_cast<Sensors*>(data)->CloseAll();
    return 0;
}

int CC_BTNAddSensor(int, int, int event, void* data, int, int) {
    if (event != EVENT_COMMIT || !data) return 0;
    Station& s = StationOf(data);
    if (s.addSensor) s.addSensor();
    return 0;
}

int CC_BTNRemoveSensor(int, int, int event, void* data, int, int) {
    if (event != EVENT_COMMIT || !data) return 0;
    Station& s = StationOf(data);
    if (s.removeSensor) s.removeSensor();
    return 0;
}
