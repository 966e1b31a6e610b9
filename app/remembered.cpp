#include "remembered.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "QtorKMBscope10.h"
#include "plant_view.h"
#include "port_table.h"
#include "settings.h"
#include "toolkit.h"

namespace {

// Bumped when a key changes meaning; a file with another format is ignored whole.
constexpr const char* kFormat = "1";

}  // namespace

bool Remembered::Read(const char* key, std::string* value) const {
    return valid_ && ReadSetting(prefix_ + key, value);
}

void Remembered::ReadFolder(const char* key, std::string* folder) const {
    std::string value;
    std::error_code ec;
    if (Read(key, &value) && !value.empty() && std::filesystem::is_directory(value, ec))
        *folder = value;
}

void Remembered::RestoreSettings(bool portGiven, FilePaths& files, int& com) {
    portGiven_ = portGiven;
    std::string format;
    valid_ = ReadSetting("format", &format) && format == kFormat;
    ReadFolder("folders/parameters", &files.param_dir);
    ReadFolder("folders/measurements", &files.measure_dir);
    ReadFolder("folders/recordings", &files.record_dir);
    ReadFolder("folders/exports", &files.export_dir);
    std::string device;
    if (portGiven || !Read("port", &device) || device.empty()) return;
    for (const PortEntry& port : PortTableList()) {
        if (port.device == device) {
            com = port.number;
            return;
        }
    }
}

void Remembered::RestorePlacement(int window) const {
    std::string placement;
    if (Read("window/main", &placement)) SetPanelPlacement(window, placement);
}

void Remembered::RestorePopup(const PanelHandles& panels) const {
    std::string shown;
    if (!Read("window/popupShown", &shown) || shown != "1") return;
    SetCtrlVal(panels.panelHandle, BIN_Sw_ParaSelect, 0);
    DisplayPanel(panels.panelPopUp);
}

std::string Remembered::PortToSave(int com) const {
    std::string port;
    if (valid_ && !Read("port", &port)) port.clear();
    if (!portGiven_) port = PortTableDevice(com);
    return port;
}

void Remembered::Write(const PanelHandles& panels, const FilePaths& files, const std::string& port,
                       int window) const {
    const auto key = [this](const char* k) { return prefix_ + k; };
    if (!port.empty()) WriteSetting(key("port"), port);
    WriteSetting(key("folders/parameters"), files.param_dir);
    WriteSetting(key("folders/measurements"), files.measure_dir);
    WriteSetting(key("folders/recordings"), files.record_dir);
    WriteSetting(key("folders/exports"), files.export_dir);
    if (window > 0) WriteSetting(key("window/main"), GetPanelPlacement(window));
    int hidden = 1;
    GetCtrlVal(panels.panelHandle, BIN_Sw_ParaSelect, &hidden);
    WriteSetting(key("window/popupShown"), hidden == 0 ? "1" : "0");
}

void Remembered::SaveSettingsAtExit(const PanelHandles& panels, const FilePaths& files,
                                    int com) const {
    const std::string port = PortToSave(com);
    // Another format's keys go with it.
    StartWritingSettings();
    Write(panels, files, port, panels.panelHandle);
    FinishWritingSettings(1, 0);
}

namespace {

int RememberedNumber(const char* key, int fallback) {
    std::string format, value;
    if (!ReadSetting("format", &format) || format != kFormat || !ReadSetting(key, &value))
        return fallback;
    char* end = nullptr;
    const long n = std::strtol(value.c_str(), &end, 10);
    return end && *end == '\0' && n >= 0 && n < 1000 ? static_cast<int>(n) : fallback;
}

}  // namespace

void StartWritingSettings(bool clear) {
    std::string format;
    if (clear || !ReadSetting("format", &format) || format != kFormat) ClearSettings();
    WriteSetting("format", kFormat);
}

void FinishWritingSettings(int sensors, int shownTab) {
    WritePlantSettings();
    WriteSetting("sensors/count", std::to_string(sensors));
    WriteSetting("sensors/shown", std::to_string(shownTab));
    SaveSettings();
}

int RememberedSensorCount() { return std::max(1, RememberedNumber("sensors/count", 1)); }

int RememberedShownTab() { return RememberedNumber("sensors/shown", 0); }
