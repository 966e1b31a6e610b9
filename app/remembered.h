// What the program remembers between runs (in the user's configuration folder): the last port
// by its device, the folders last used for parameter, measurement, recording and export files,
// the main panel's place and size, and whether the parameter popup was shown. Settings of
// another format or a garbled file are ignored: the defaults stand.
#pragma once

#include "panels.h"
#include "paramfiles.h"

class Remembered {
  public:
    // Takes the remembered folders into `files` and, unless `portGiven` (--port or --demo),
    // the remembered port into `com` when the port table still lists its device. Before the
    // port is opened.
    void RestoreSettings(bool portGiven, FilePaths& files, int& com);
    // Puts the main panel where it was, if that still fits the screens; before it is shown.
    void RestorePlacement(const PanelHandles& panels) const;
    // Shows the popup if it was shown at the end of the last run; after the main panel is shown.
    void RestorePopup(const PanelHandles& panels) const;
    // Writes the settings; the port only when it was not given on the command line or the user
    // has picked one since.
    void SaveSettingsAtExit(const PanelHandles& panels, const FilePaths& files, int com) const;
    // The user picked a port in the selector: it is remembered even in a run with --port or
    // --demo.
    void PortPicked() { portGiven_ = false; }

  private:
    bool Read(const char* key, std::string* value) const;
    void ReadFolder(const char* key, std::string* folder) const;
    bool portGiven_ = false;
    bool valid_ = false;  // the settings file read at start-up was ours
};
