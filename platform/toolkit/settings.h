// Settings remembered between runs: text values under keys, kept with QSettings in the user's
// configuration folder (INI format), or in the file SetSettingsFile names.
#pragma once

#include <string>

// Keeps the settings in `path` instead (tests; empty: the user's configuration folder again).
void SetSettingsFile(const std::string& path);
// False when the key is missing or the settings file cannot be read as settings at all.
bool ReadSetting(const std::string& key, std::string* value);
void WriteSetting(const std::string& key, const std::string& value);
// Drops every setting, so that a file of another version or a garbled one is replaced whole.
void ClearSettings();
// Writes the settings to their file now; negative when that fails.
int SaveSettings();

// A panel's place and size on screen as text, and back. A place that no longer fits the
// screens (one was unplugged, the resolution dropped) or that is not a place at all is refused
// with a negative result. A panel given its place is not centred when first shown.
std::string GetPanelPlacement(int panel);
int SetPanelPlacement(int panel, const std::string& placement);
