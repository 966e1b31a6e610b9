// Run-mode recording: every measurement record run mode receives becomes a row of a CSV file
// (the layout qtor-ctl's record writes, link/record_csv.h), from the command line
// (--record FILE) or the main panel's Record toggle.
#pragma once

#include <cstdint>
#include <string>

// Creates `path` with its header row and records into it from now on, ending a recording
// under way. With `refuseExisting` an existing file is left alone. False, with the reason in
// *error, when the file cannot be created.
bool StartRecording(const std::string& path, bool refuseExisting, std::string* error);
// Writes what is buffered and closes the file; false when rows did not reach it.
bool StopRecording();
bool Recording();
// Rows written since the recording started.
long long RecordedRows();

// One row for the record in `words` (its 16 words as received). A failed write ends the
// recording, keeping what was written, and says so on the status line.
void RecordMeasurement(const std::uint16_t* words);
// Writes what is buffered (run mode calls it when it ends; a timer does so every half second).
void FlushRecording();

int CC_TOGBTN_Record(int panel, int control, int event, void* callbackData, int eventData1,
                     int eventData2);
