// The operator lock on the panels: Send, Teach, Reset, loading a parameter file and the
// parameter fields dimmed at Operator level, the level in the status bar, Unlock... and Lock,
// and the audit trail of the station's changes to its sensor.
#pragma once

#include <string>

class Station;

extern const char* const kLockedText;  // "Locked: maintenance key needed"

// The key in force from `files` and the trail in `trailPath` (empty: audit.jsonl in the
// settings folder, kept while a key is set); the station starts at Operator level.
struct KeyFiles;
void LoadLock(Station& s, const KeyFiles& files, const std::string& trailPath = "");

// Dims or undims what the level allows, and shows the level; at every change of level and
// after a mode has undimmed its buttons.
void ShowLevel(Station& s);
// True, with kLockedText on the status line, when the level refuses a change to the sensor.
bool RefusedByLock(Station& s);
// An entry of this station for the trail (program, port, firmware filled in).
struct AuditEntry;
AuditEntry StationEntry(const Station& s, const std::string& action);
// Appends `entry` to the station's trail; empty, or the text for the status line when it
// could not be written.
std::string KeepInTrail(const Station& s, const AuditEntry& entry);
// True when the trail can take the next entry; otherwise the status line says why.
bool TrailReady(Station& s);
// Any input at the panels; relocks after ten minutes without it (called by a periodic check).
void RelockIfIdle(Station& s);

int CC_BTNUnlock(int panel, int control, int event, void* callbackData, int eventData1,
                 int eventData2);
int CC_BTNLock(int panel, int control, int event, void* callbackData, int eventData1,
               int eventData2);
