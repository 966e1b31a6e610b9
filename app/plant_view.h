// The program's plant link: one broker for the window, a station name and topics per sensor.
// Its settings come from the settings file, the command line (--mqtt, --mqtt-password-file)
// and the "Plant link..." dialog; each station shows its broker's state in the status bar.
#pragma once

#include <functional>
#include <string>

class Station;

struct PlantConfig {
    std::string url;      // empty: publishing is off
    std::string station;  // empty: HOST-PORT for each sensor
    std::string caFile, certFile, keyFile;
    std::string user, password;
};

// The window's settings, read at start-up and written with the other settings.
PlantConfig& ProgramPlantConfig();
void ReadPlantSettings();
void WritePlantSettings();
// Reads the password from `file` (only its owner may read it) into the window's settings;
// false with why.
bool TakePlantPasswordFile(const std::string& file, std::string* why);

// The station's topics' root: the name set (the first sensor's own; the others' with their
// port's name after it), or HOST-PORT.
std::string PlantStationName(const PlantConfig& config, const Station& s, bool first);
// Starts, restarts or stops the station's plant link as `config` says; false with why (a bad
// address) on standard error and in the status bar.
bool ApplyPlant(Station& s, const PlantConfig& config, bool first);
// The broker's state in the status bar, in words and colour; hidden while publishing is off.
void ShowPlantState(Station& s);

int CC_BTNPlant(int panel, int control, int event, void* callbackData, int eventData1,
                int eventData2);
