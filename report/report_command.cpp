#include "report_command.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "capability.h"
#include "capability_report.h"
#include "input_file.h"
#include "qtor_version.h"
#include "recording_file.h"

const char* const kReportUsageText =
    "Usage: qtor-report FILE.csv --pdf OUT.pdf [--title TEXT] [--alarm-after K]\n"
    "The capability report of a recording (as qtor-ctl record and the program's run-mode\n"
    "recording write it) as a PDF, A4: the recording's name, SHA-256, first and last time and\n"
    "what FILE-info.json beside it holds; per channel A and B the numbers of qtor-ctl stats,\n"
    "a histogram with the limits, the set-point and the normal curves, the individuals and\n"
    "the moving ranges; then the alarms' events. OUT.pdf is replaced if it exists.\n"
    "\n"
    "Options:\n"
    "  --pdf OUT.pdf    where the report goes (never the recording itself)\n"
    "  --title TEXT     the report's title (default \"Capability report\")\n"
    "  --alarm-after K  rows in a row outside that make an alarm (default 3)\n"
    "  --help, --version\n"
    "\n"
    "Exit status: 0 success; 2 usage error, or FILE is no recording (the message names the\n"
    "line); 4 file error.\n";

namespace {

struct Request {
    std::string file, pdf, title = "Capability report";
    long long alarmAfter = 3;
};

bool Parse(const std::vector<std::string>& args, Request* r, std::string* why) {
    bool titled = false;
    std::vector<std::string> files;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--pdf" || a == "--title" || a == "--alarm-after") {
            if (i + 1 >= args.size()) {
                *why = a + " needs a value";
                return false;
            }
            const std::string& v = args[++i];
            if (a == "--pdf") r->pdf = v;
            if (a == "--title") r->title = v, titled = true;
            if (a == "--alarm-after") {
                const bool digits =
                    !v.empty() && v.size() <= 12 &&
                    std::all_of(v.begin(), v.end(), [](char c) { return c >= '0' && c <= '9'; });
                if (!digits || std::stoll(v) < 1) {
                    *why = "--alarm-after needs a whole number of at least 1";
                    return false;
                }
                r->alarmAfter = std::stoll(v);
            }
        } else if (a.rfind("--", 0) == 0) {
            *why = "unknown option " + a;
            return false;
        } else {
            files.push_back(a);
        }
    }
    if (files.size() != 1 || r->pdf.empty()) {
        *why = "needs one recording and --pdf OUT.pdf";
        return false;
    }
    if (titled && r->title.empty()) {
        *why = "--title needs a text";
        return false;
    }
    r->file = files[0];
    return true;
}

// Both name one file, or would once the report is written.
bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    if (std::filesystem::equivalent(a, b, ec)) return true;
    const auto ca = std::filesystem::weakly_canonical(a, ec);
    const auto cb = std::filesystem::weakly_canonical(b, ec);
    return !ec && ca == cb;
}

}  // namespace

bool CollectRecording(const std::string& path, CapabilityCollector& collector, std::string* why,
                      std::string* note, int* status) {
    std::ifstream in;
    if (const std::string refused = OpenRegularFile(path, &in); !refused.empty()) {
        *why = refused;
        *status = kReportFile;
        return false;
    }
    RecordingReader reader(in, true);
    RecordingRow row;
    while (reader.Next(&row)) collector.Add(row.words.data(), row.index, row.time);
    if (!reader.Refusal().Ok()) {
        *why = reader.Refusal().Error();
        *status = reader.ReadFailed() ? kReportFile : kReportUsage;
        return false;
    }
    if (reader.LeftOut())
        *note = "line " + std::to_string(reader.LeftOut()) + ": incomplete last line left out";
    return true;
}

int RunReport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    for (const std::string& a : args) {
        if (a == "--help" || a == "-h") {
            out << kReportUsageText;
            return kReportOk;
        }
        if (a == "--version") {
            out << "qtor-report " << kQtorVersion << "\n";
            return kReportOk;
        }
    }
    Request r;
    std::string why;
    if (!Parse(args, &r, &why)) {
        err << "qtor-report: " << why << "\n" << kReportUsageText;
        return kReportUsage;
    }
    if (SameFile(r.file, r.pdf)) {
        err << "qtor-report: " << r.pdf << ": is the recording itself; the report goes elsewhere\n";
        return kReportUsage;
    }
    CapabilityCollector collector(r.alarmAfter);
    int status = kReportOk;
    std::string note;
    if (!CollectRecording(r.file, collector, &why, &note, &status)) {
        err << "qtor-report: " << r.file << ": " << why << "\n";
        return status;
    }
    if (!note.empty()) err << "qtor-report: " << r.file << ": " << note << "\n";
    ReportHeader header;
    header.title = r.title;
    if (!RecordingReportHeader(r.file, &header, &why)) {
        err << "qtor-report: " << r.file << ": " << why << "\n";
        return kReportFile;
    }
    if (!WriteCapabilityReport(collector.Finish(), header, r.pdf, &why)) {
        err << "qtor-report: " << r.pdf << ": " << why << "\n";
        return kReportFile;
    }
    return kReportOk;
}
