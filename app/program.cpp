// The program's logic entry: the command line, the stations of the window, the event loop,
// and what is kept at the end; and the table of every callback the panel file names.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "QtorKMBscope10.h"
#include "commands.h"
#include "data_out.h"
#include "modes.h"
#include "operator_level.h"
#include "parameter_callbacks.h"
#include "plant_view.h"
#include "port_table.h"
#include "remembered.h"
#include "replay_callbacks.h"
#include "sensor.h"
#include "sensors.h"
#include "signals.h"
#include "startup.h"
#include "station.h"
#include "teach.h"
#include "toolkit.h"

void RegisterCallbacks() {
    struct Entry {
        const char* name;
        CtrlCallbackPtr fn;
    };
    static const Entry kCallbacks[] = {
        {"CC_PANEL", CC_PANEL},
        {"CC_POPUP", CC_POPUP},
        {"CC_DropDCom", CC_DropDCom},
        {"CC_BTNRun", CC_BTNRun},
        {"CC_BTNStop", CC_BTNStop},
        {"CC_BTNVideo", CC_BTNVideo},
        {"CC_BTNData", CC_BTNData},
        {"CC_ButtonTeach", CC_ButtonTeach},
        {"CC_ButtonReset", CC_ButtonReset},
        {"CC_TOGBTN_Zoom", CC_TOGBTN_Zoom},
        {"CC_RBTRam", CC_RBTRam},
        {"CC_RBTEeprom", CC_RBTEeprom},
        {"CC_RBTFile", CC_RBTFile},
        {"CC_BIN_Sw_ParaSelect", CC_BIN_Sw_ParaSelect},
        {"CC_BTNSend", CC_BTNSend},
        {"CC_BTNGet", CC_BTNGet},
        {"CC_CHECKFile", CC_CHECKFile},
        {"CC_NEDITVideoThdA", CC_NEDITVideoThdA},
        {"CC_NEDITVideoThdB", CC_NEDITVideoThdB},
        {"CC_NEDITeachA", CC_NEDITeachA},
        {"CC_NEDITeachB", CC_NEDITeachB},
        {"CC_NEDITTolLeff", CC_NEDITTolLeff},
        {"CC_DropEvalMode", CC_DropEvalMode},
        {"CC_DropAnaMode", CC_DropAnaMode},
        {"CC_TOGBTN_Pause", CC_TOGBTN_Pause},
        {"CC_TOGBTN_Record", CC_TOGBTN_Record},
        {"CC_GraphMenu", CC_GraphMenu},
        {"CC_TOGBTN_Trace", CC_TOGBTN_Trace},
        {"CC_BTNStateA", CC_BTNStateA},
        {"CC_BTNStateB", CC_BTNStateB},
        {"CC_BTNOpenRecording", CC_BTNOpenRecording},
        {"CC_TOGBTN_Play", CC_TOGBTN_Play},
        {"CC_DropSpeed", CC_DropSpeed},
        {"CC_SLIDE_Position", CC_SLIDE_Position},
        {"CC_SENSORS", CC_SENSORS},
        {"CC_BTNAddSensor", CC_BTNAddSensor},
        {"CC_BTNReport", CC_BTNReport},
        {"CC_BTNPlant", CC_BTNPlant},
        {"CC_BTNRemoveSensor", CC_BTNRemoveSensor},
        {"CC_BTNUnlock", CC_BTNUnlock},
        {"CC_BTNLock", CC_BTNLock},
    };
    for (const Entry& e : kCallbacks) RegisterCallback(e.name, e.fn);
}

int OpenStation(Station& s) {
    RegisterCallbacks();
    PanelHandles loaded;
    if (LoadPanels(kPanelFile, &loaded) < 0) return -1;
    s.AdoptPanels(loaded);
    LoadLock(s, KeyFilesInForce());
    InitVars(s);
    return 0;
}

namespace {

// The ports of the sensors the program starts with: those the command line gives (devices, then
// --demo's simulated sensors), or the set remembered from the last run.
std::vector<int> StartPorts(const Options& options) {
    std::vector<int> ports;
    for (const std::string& device : options.ports) {
        const int n = static_cast<int>(ports.size()) + 1;
        PortTableSetDevice(n, device);
        ports.push_back(n);
    }
    for (int i = 0; i < options.demo; ++i) {
        const int n = static_cast<int>(ports.size()) + 1;
        PortTableSetSimulated(n, true);
        // Each sensor's object elsewhere on its path, so that their records differ.
        if (sim::Sensor* sensor = PortSimSensor(n)) sensor->SetPhase(2.7 * i);
        ports.push_back(n);
    }
    if (ports.empty())
        for (int n = 1; n <= RememberedSensorCount(); ++n) ports.push_back(n);
    return ports;
}

// The record and trace files of each sensor: the names given, or, with several sensors, each
// sensor's name put before the extension. Every one that exists is refused before any is made.
bool ApplyOptionsToAll(Sensors& sensors, const Options& options) {
    std::vector<Options> each;
    for (std::size_t i = 0; i < sensors.Count(); ++i) {
        Options mine = options;
        const std::string name = sensors.At(i).Name();
        if (sensors.Count() > 1 && !mine.record.empty())
            mine.record = PerSensorPath(mine.record, name);
        if (sensors.Count() > 1 && !mine.trace.empty())
            mine.trace = PerSensorPath(mine.trace, name);
        for (const auto& [path, what] :
             {std::pair{&mine.record, "record"}, {&mine.trace, "trace"}}) {
            if (std::error_code ec; !path->empty() && std::filesystem::exists(*path, ec)) {
                std::fprintf(stderr, "qtor-kmb: cannot %s: %s exists; not overwritten\n", what,
                             path->c_str());
                return false;
            }
        }
        each.push_back(std::move(mine));
    }
    for (std::size_t i = 0; i < sensors.Count(); ++i)
        if (ApplyOptions(sensors.At(i), each[i]) < 0) return false;
    return true;
}

}  // namespace

int WinMain(int argc, char** argv) {
    Options options;
    const Parsed parsed = ParseCommandLine(argc, argv, &options);
    if (parsed == Parsed::Exit) return 0;
    if (parsed == Parsed::Error) return -1;
    if (InitPlatform(argc, argv) < 0) return -1;  // it has said why on standard error
    const bool portsGiven = options.demo > 0 || !options.ports.empty();
    const std::vector<int> ports = StartPorts(options);
    // Nobody reads a simulated sensor's frame log in the program: keeping none keeps the
    // memory flat however long a demonstration runs.
    for (int number = 1; number <= kMaxPorts; ++number)
        if (sim::Sensor* sensor = PortSimSensor(number)) sensor->SetLogLimit(0);
    RegisterCallbacks();
    // The plant link's settings, and for this run the command line's broker and password.
    ReadPlantSettings();
    if (!options.mqtt.empty()) ProgramPlantConfig().url = options.mqtt;
    if (std::string why; !options.mqttPasswordFile.empty() &&
                         !TakePlantPasswordFile(options.mqttPasswordFile, &why)) {
        std::fprintf(stderr, "qtor-kmb: %s\n", why.c_str());
        return -1;
    }
    Sensors sensors;
    for (int com : ports) {
        if (!sensors.Add(com, portsGiven)) return -1;
    }
    if (!ApplyOptionsToAll(sensors, options)) return -1;
    OnTerminationRequest([&sensors] {
        if (sensors.Tabbed())
            sensors.CloseAll();
        else
            CallCtrlCallback(sensors.At(0).panels.panelHandle, 0, EVENT_CLOSE);
    });
    // A replay is the first sensor's; the others connect.
    Options others = options;
    others.replay.clear();
    for (std::size_t i = 0; i < sensors.Count(); ++i)
        if (const int status = StartLine(sensors.At(i), i == 0 ? options : others); status != 0)
            return status;
    // The window is shown once every sensor has answered, or its line check has given up.
    auto connecting = std::make_shared<std::size_t>(sensors.Count());
    const int shownTab = portsGiven ? 0 : RememberedShownTab();
    for (std::size_t i = 0; i < sensors.Count(); ++i) {
        sensors.At(i).link.WhenIdle([&sensors, connecting, shownTab] {
            if (--*connecting > 0) return;
            Station& first = sensors.At(0);
            first.remembered.RestorePlacement(sensors.Window());
            if (shownTab > 0 && static_cast<std::size_t>(shownTab) < sensors.Count())
                sensors.Show(sensors.At(static_cast<std::size_t>(shownTab)));
            DisplayPanel(sensors.Window());
            for (std::size_t k = 0; k < sensors.Count(); ++k)
                sensors.At(k).remembered.RestorePopup(sensors.At(k).panels);
        });
    }
    RunUserInterface();
    OnTerminationRequest(nullptr);
    sensors.SaveSettings(portsGiven);
    for (std::size_t i = 0; i < sensors.Count(); ++i) {
        Station& s = sensors.At(i);
        if (!s.recorder.Stop())
            std::fprintf(stderr, "qtor-kmb: the recording's last rows were not written\n");
        s.link.CloseLine();
        s.link.trace.Stop();
    }
    return 0;
}
