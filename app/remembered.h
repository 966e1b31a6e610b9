// What the program remembers between runs (in the user's configuration folder): the last port
// by its device, the folders last used for parameter, measurement, recording and export files,
// the main panel's place and size, and whether the parameter popup was shown. Settings of
// another format or a garbled file are ignored: the defaults stand.
#pragma once

// Takes the remembered folders and, unless `portGiven` (--port or --demo), the remembered port
// when the port table still lists its device. Before the port is opened.
void RestoreSettings(bool portGiven);
// Puts the main panel where it was, if that still fits the screens; before it is shown.
void RestorePlacement();
// Shows the popup if it was shown at the end of the last run; after the main panel is shown.
void RestorePopup();
// Writes the settings; the port only when it was not given on the command line or the user has
// picked one since.
void SaveSettingsAtExit();
// The user picked a port in the selector: it is remembered even in a run with --port or --demo.
void PortPicked();
