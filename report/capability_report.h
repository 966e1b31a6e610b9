// The capability report of a run as a PDF: A4 portrait, drawn as vectors, its text searchable
// and its font embedded: a header saying where the records come from, then per channel
// the numbers, the histogram, the individuals and the moving ranges, then the alarms' events.
#pragma once

#include <optional>
#include <string>

#include "capability.h"
#include "recording_info.h"

struct ReportHeader {
    std::string title = "Capability report";
    std::string source;  // the recording's file name, or what the run was
    std::string sha256;  // of the recording, in hex; empty for a run that has no file
    std::optional<InfoSummary> info;
    std::string noInfo = "no information file";  // said instead of what an info file holds
};

// The header of a report on the recording at `csvPath`: its file name, its SHA-256 and what its
// information file holds. False with the reason in *error when the recording cannot be read.
bool RecordingReportHeader(const std::string& csvPath, ReportHeader* header, std::string* error);

// Writes the report to `pdfPath`, replacing a file there only once the new one is complete.
// Needs the GUI application object (offscreen will do). False with the reason in *error.
bool WriteCapabilityReport(const CapabilityData& data, const ReportHeader& header,
                           const std::string& pdfPath, std::string* error);
