#include "ctl_report.h"

#include <sstream>

#include "companion.h"
#include "ctl_output.h"

int RunReportProgram(const ReportRequest& request, std::ostream& out, std::ostream& err) {
    std::vector<std::string> args = {request.file, "--pdf", request.pdf, "--alarm-after",
                                     std::to_string(request.alarmAfter)};
    if (request.title) args.insert(args.end(), {"--title", *request.title});
    const CompanionRun run = RunCompanion("qtor-report", args);
    if (!run.started) {
        err << "qtor-ctl: qtor-report " << run.failure
            << (run.failure == "not found" ? " beside qtor-ctl or on PATH" : "") << "\n";
        return kCtlFile;
    }
    out << run.out;
    // The user asked qtor-ctl: its messages say so.
    const std::string own = "qtor-report: ";
    std::istringstream lines(run.err);
    for (std::string line; std::getline(lines, line);)
        err << (line.rfind(own, 0) == 0 ? "qtor-ctl: " + line.substr(own.size()) : line) << "\n";
    if (run.crashed) {
        err << "qtor-ctl: qtor-report ended abnormally\n";
        return kCtlFile;
    }
    return run.status;
}
