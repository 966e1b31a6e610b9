#include "remembered.h"

#include <filesystem>
#include <string>

#include "QtorKMBscope10.h"
#include "port_table.h"
#include "settings.h"
#include "toolkit.h"

namespace {

// Bumped when a key changes meaning; a file with another format is ignored whole.
constexpr const char* kFormat = "1";

}  // namespace

bool Remembered::Read(const char* key, std::string* value) const {
    return valid_ && ReadSetting(key, value);
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

void Remembered::RestorePlacement(const PanelHandles& panels) const {
    std::string placement;
    if (Read("window/main", &placement)) SetPanelPlacement(panels.panelHandle, placement);
}

void Remembered::RestorePopup(const PanelHandles& panels) const {
    std::string shown;
    if (!Read("window/popupShown", &shown) || shown != "1") return;
    SetCtrlVal(panels.panelHandle, BIN_Sw_ParaSelect, 0);
    DisplayPanel(panels.panelPopUp);
}

void Remembered::SaveSettingsAtExit(const PanelHandles& panels, const FilePaths& files,
                                    int com) const {
    std::string port;
    if (valid_ && !ReadSetting("port", &port)) port.clear();
    if (!portGiven_) port = PortTableDevice(com);
    // Another format's keys go with it.
    ClearSettings();
    WriteSetting("format", kFormat);
    if (!port.empty()) WriteSetting("port", port);
    WriteSetting("folders/parameters", files.param_dir);
    WriteSetting("folders/measurements", files.measure_dir);
    WriteSetting("folders/recordings", files.record_dir);
    WriteSetting("folders/exports", files.export_dir);
    WriteSetting("window/main", GetPanelPlacement(panels.panelHandle));
    int hidden = 1;
    GetCtrlVal(panels.panelHandle, BIN_Sw_ParaSelect, &hidden);
    WriteSetting("window/popupShown", hidden == 0 ? "1" : "0");
    SaveSettings();
}
