// What the program remembers between runs (in the user's configuration folder): the last port
// by its device, the folders last used for parameter, measurement, recording and export files,
// the main panel's place and size, and whether the parameter popup was shown. Settings of
// another format or a garbled file are ignored: the defaults stand.
#pragma once

#include <string>
#include <utility>

#include "panels.h"
#include "paramfiles.h"

class Remembered {
  public:
    // The keys of every station but the first go under "sensorN/".
    void SetPrefix(std::string prefix) { prefix_ = std::move(prefix); }
    // Takes the remembered folders into `files` and, unless `portGiven` (--port or --demo),
    // the remembered port into `com` when the port table still lists its device. Before the
    // port is opened.
    void RestoreSettings(bool portGiven, FilePaths& files, int& com);
    // Puts the main panel (or the window holding the stations' tabs) where it was, if that
    // still fits the screens; before it is shown.
    void RestorePlacement(int window) const;
    // Shows the popup if it was shown at the end of the last run; after the main panel is shown.
    void RestorePopup(const PanelHandles& panels) const;
    // The port to remember: the one in use, unless it was given on the command line and the
    // user has not picked one since (the one remembered before then). Read before the
    // settings are cleared for writing.
    std::string PortToSave(int com) const;
    // Writes the station's keys into the settings being written; `window` is the main panel
    // or the window of the tabs.
    void Write(const PanelHandles& panels, const FilePaths& files, const std::string& port,
               int window) const;
    // Writes the settings of a single station and saves them.
    void SaveSettingsAtExit(const PanelHandles& panels, const FilePaths& files, int com) const;
    // The user picked a port in the selector: it is remembered even in a run with --port or
    // --demo.
    void PortPicked() { portGiven_ = false; }

  private:
    bool Read(const char* key, std::string* value) const;
    void ReadFolder(const char* key, std::string* folder) const;
    std::string prefix_;
    bool portGiven_ = false;
    bool valid_ = false;  // the settings file read at start-up was ours
};

// The settings of several stations: cleared (unless `clear` is false and they are of this
// format) and marked with their format before the stations write their keys, then the set
// (how many, which tab was shown) and a save.
void StartWritingSettings(bool clear = true);
void FinishWritingSettings(int sensors, int shownTab);
// The set remembered last time: how many stations (1 when none was) and the tab shown (0: the
// first); nothing of another format.
int RememberedSensorCount();
int RememberedShownTab();
