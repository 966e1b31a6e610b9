#include "plant_view.h"

#include "QtorKMBscope10.h"
#include "files.h"
#include "gui.h"
#include "maintenance_key.h"
#include "settings.h"
#include "state_colours.h"
#include "station.h"
#include "system_files.h"
#include "toolkit.h"

namespace {

struct Key {
    const char* name;
    std::string PlantConfig::*field;
};
constexpr Key kKeys[] = {
    {"mqtt/url", &PlantConfig::url},           {"mqtt/station", &PlantConfig::station},
    {"mqtt/ca_file", &PlantConfig::caFile},    {"mqtt/cert_file", &PlantConfig::certFile},
    {"mqtt/key_file", &PlantConfig::keyFile},  {"mqtt/user", &PlantConfig::user},
    {"mqtt/password", &PlantConfig::password},
};

}  // namespace

PlantConfig& ProgramPlantConfig() {
    static PlantConfig config;
    return config;
}

namespace {

// What the settings file holds: the command line's broker and password are for one run.
PlantConfig& SavedPlantConfig() {
    static PlantConfig config;
    return config;
}

}  // namespace

void ReadPlantSettings() {
    PlantConfig& c = SavedPlantConfig();
    for (const Key& k : kKeys) ReadSetting(k.name, &(c.*k.field));
    ProgramPlantConfig() = c;
}

void WritePlantSettings() {
    const PlantConfig& c = SavedPlantConfig();
    for (const Key& k : kKeys) WriteSetting(k.name, c.*k.field);
}

bool TakePlantPasswordFile(const std::string& file, std::string* why) {
    std::string error;
    if (!ReadKeyFile(file, &ProgramPlantConfig().password, &error)) {
        // Its own words: the key file's say "key".
        *why = error.find("others may read") != std::string::npos
                   ? file + ": others may read it (chmod 600)"
                   : file + ": no password file";
        return false;
    }
    return true;
}

std::string PlantStationName(const PlantConfig& config, const Station& s, bool first) {
    if (config.station.empty()) return DefaultStationName(s.Name());
    return first ? config.station : config.station + "-" + s.Name();
}

bool ApplyPlant(Station& s, const PlantConfig& config, bool first) {
    s.plant.stateChanged = [&s] { ShowPlantState(s); };
    s.plant.Stop();
    if (config.url.empty()) {
        ShowPlantState(s);
        return true;
    }
    PlantSettings settings;
    settings.url = config.url;
    settings.station = PlantStationName(config, s, first);
    settings.credentials = {config.caFile, config.certFile, config.keyFile, config.user,
                            config.password};
    settings.queueFolder = SettingsFolder();
    std::string why;
    if (!s.plant.Start(settings, &why)) {
        std::fprintf(stderr, "qtor-kmb: plant link: %s\n", why.c_str());
        SetCtrlVal(s.panels.panelHandle, TEXT_Status, ("Plant link: " + why).substr(0, 71).c_str());
        ShowPlantState(s);
        return false;
    }
    // The line as it stands, and the set it last gave, once the broker is there.
    s.plant.LinkChanged(s.link.Health());
    if (s.link.Health().health == LinkHealth::kConnected) {
        std::uint16_t words[PNUM];
        ParameterWords(s.params, words);
        s.plant.ParametersRead(words);
    }
    return true;
}

void ShowPlantState(Station& s) {
    const int p = s.panels.panelHandle;
    if (p <= 0) return;
    const std::string text = s.plant.StateText();
    SetCtrlAttribute(p, TEXT_Mqtt, ATTR_VISIBLE, text.empty() ? 0 : 1);
    if (text.empty()) return;
    int colour = colours::kWarning;
    if (s.plant.GetState() == PlantLink::State::kConnected) colour = colours::kGood;
    if (s.plant.GetState() == PlantLink::State::kRetrying) colour = colours::kFailed;
    SetCtrlVal(p, TEXT_Mqtt, text.c_str());
    SetCtrlAttribute(p, TEXT_Mqtt, ATTR_TEXT_BGCOLOR, colour);
    SetCtrlAttribute(
        p, TEXT_Mqtt, ATTR_TOOLTIP,
        (text + "\nStation " + s.plant.Station() + ": topics qtor/" + s.plant.Station() + "/...")
            .c_str());
}

int CC_BTNPlant(int, int, int event, void* data, int, int) {
    if (event != EVENT_COMMIT || !data) return 0;
    Station& s = StationOf(data);
    PlantConfig c = ProgramPlantConfig();
    std::vector<FormField> fields = {
        {"Broker", c.url, "mqtt://HOST[:PORT] or mqtts://HOST[:PORT]; empty: off"},
        {"Station name", c.station, "empty: the host's name and the port's name"},
        {"CA file", c.caFile, "mqtts: empty for the system's authorities"},
        {"Client certificate", c.certFile, "optional"},
        {"Client key", c.keyFile, "optional"},
        {"User name", c.user, "optional"},
        {"Password", c.password, "optional; kept in the settings file", true},
    };
    if (FormPopup("Plant link",
                  "Records, statistics, alarms and the parameter set of every "
                  "sensor of this window go to the broker; nothing it sends "
                  "changes a sensor.",
                  &fields) != 1)
        return 0;
    std::string* values[] = {&c.url,     &c.station, &c.caFile,  &c.certFile,
                             &c.keyFile, &c.user,    &c.password};
    for (std::size_t i = 0; i < fields.size(); ++i) *values[i] = fields[i].value;
    MqttTarget target;
    std::string why;
    if (!c.url.empty() && !ParseMqttUrl(c.url, &target, &why)) {
        SetCtrlVal(s.panels.panelHandle, TEXT_Status, ("Plant link: " + why).substr(0, 71).c_str());
        return 0;
    }
    ProgramPlantConfig() = c;
    SavedPlantConfig() = c;
    WritePlantSettings();
    SaveSettings();
    if (s.everyStation)
        s.everyStation([&c](Station& each, bool first) { ApplyPlant(each, c, first); });
    else
        ApplyPlant(s, c, true);
    SetCtrlVal(s.panels.panelHandle, TEXT_Status,
               c.url.empty() ? "Plant link off" : "Plant link set");
    return 0;
}
