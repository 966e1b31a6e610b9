// qtor-report: the capability report of a recording as a PDF. `qtor-ctl report` runs it, so
// that qtor-ctl itself loads no GUI library.
#pragma once

#include <ostream>
#include <string>
#include <vector>

extern const char* const kReportUsageText;

// Exit statuses, those of qtor-ctl, which passes them on as its own.
enum ReportExit : int { kReportOk = 0, kReportUsage = 2, kReportFile = 4 };

// Runs one command line (the arguments after the program name); messages go to `err`. Needs
// the GUI application object.
int RunReport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

class CapabilityCollector;

// The rows of the recording at `path`, one by one into `collector`, in memory bounded by its
// longest line. False with the message after the file's name in *why and the exit status in
// *status; an incomplete last line left out is said in *note.
bool CollectRecording(const std::string& path, CapabilityCollector& collector, std::string* why,
                      std::string* note, int* status);
