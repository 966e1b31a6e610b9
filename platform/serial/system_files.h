// What the operator lock and the audit trail need of the system: a line appended so that it
// survives a crash, who is logged in, the local time with its offset, who may read a file, and
// a secret read from the terminal without echo.
#pragma once

#include <chrono>
#include <string>

// Appends `bytes` to `path` (created when missing), flushed and synced to the disk before it
// returns; false with the reason in *error. Nothing already in the file is touched.
bool AppendDurably(const std::string& path, const std::string& bytes, std::string* error);
// The system user running the program; "unknown" when the system does not say.
std::string SystemUserName();
// This computer's name on the network; "localhost" when the system gives none.
std::string HostName();
// "2026-12-09T01:02:03.456+01:00": the local time with its offset from UTC.
std::string LocalTimeWithOffset(std::chrono::system_clock::time_point when);
// True when group and others may neither read nor write `path` (always true where the system
// has no such modes).
bool OnlyOwnerMayAccess(const std::string& path);
// True when `path` may be written by its owner only, and that owner is the administrator.
bool WritableOnlyByAdministrator(const std::string& path);
bool RunningAsAdministrator();
// True when standard input is a terminal.
bool StandardInputIsTerminal();
// Shows `prompt` on standard error and reads one line from the terminal with echo off;
// false at the end of input.
bool ReadSecretFromTerminal(const std::string& prompt, std::string* line);
// The folder the programs keep their settings in ("~/.config/qtor" on Linux).
std::string SettingsFolder();
