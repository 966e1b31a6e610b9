// qtor-ctl report: the capability report of a recording as a PDF. qtor-report draws it, since
// drawing needs Qt Gui, which qtor-ctl does not load.
#pragma once

#include <optional>
#include <ostream>
#include <string>

struct ReportRequest {
    std::string file, pdf;
    std::optional<std::string> title;
    long long alarmAfter = 3;
};

// Runs qtor-report with the request, passing on what it prints and its exit status (CtlExit).
int RunReportProgram(const ReportRequest& request, std::ostream& out, std::ostream& err);
