#include "ctl_stats.h"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

#include "alarms.h"
#include "ctl_output.h"
#include "recording_file.h"
#include "run_quality.h"

namespace {

using Result = RowsQuality;

// Numbers as text whatever the locale: the application object takes the user's.
std::string Fixed(const std::optional<double>& v, int decimals) {
    if (!v) return "-";
    char text[64];
    const auto r = std::to_chars(text, text + sizeof text, *v, std::chars_format::fixed, decimals);
    return {text, r.ptr};
}

template <typename T>
std::string Json(const std::optional<T>& v) {
    if (!v) return "null";
    if constexpr (std::is_floating_point_v<T>)
        return NumberText(*v);
    else
        return std::to_string(*v);
}

// One line of the text table: the channel left, the numbers right-aligned in their columns.
std::string TableRow(const std::vector<std::string>& cells) {
    constexpr std::size_t kWidth[] = {7, 9, 10, 9, 6, 6, 6, 6, 8, 8, 7, 7};
    std::string line;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const std::string gap(kWidth[i] > cells[i].size() ? kWidth[i] - cells[i].size() : 0, ' ');
        line += i == 0 ? cells[i] + gap : " " + gap + cells[i];
    }
    return line + "\n";
}

void PrintText(const Result& r, std::ostream& out) {
    out << TableRow({"channel", "n", "mean", "sigma", "min", "max", "low", "high", "Cp", "Cpk",
                     "out", "out %"});
    for (const auto& [name, s] : {std::pair<const char*, const ChannelStats&>{"A", r.a},
                                  std::pair<const char*, const ChannelStats&>{"B", r.b}}) {
        const bool any = s.n > 0;
        out << TableRow({name, std::to_string(s.n), Fixed(s.mean, 3), Fixed(s.sigma, 3),
                         Fixed(s.min, 0), Fixed(s.max, 0), any ? std::to_string(*s.low) : "-",
                         any ? std::to_string(*s.high) : "-", Fixed(s.cp, 3), Fixed(s.cpk, 3),
                         any ? std::to_string(s.out) : "-", Fixed(s.outPercent, 2)});
    }
    for (const AlarmEvent& e : r.events) {
        out << "alarm " << e.channel << ": records " << e.first << " to " << e.last << ", "
            << e.records << " outside from " << e.time << ", worst " << NumberText(e.worst)
            << " against " << e.low << ".." << e.high << "\n";
    }
}

std::string JsonChannel(const ChannelStats& s) {
    const bool any = s.n > 0;
    return "{\"n\":" + std::to_string(s.n) + ",\"mean\":" + Json(s.mean) +
           ",\"sigma\":" + Json(s.sigma) + ",\"min\":" + Json(s.min) + ",\"max\":" + Json(s.max) +
           ",\"low\":" + Json(s.low) + ",\"high\":" + Json(s.high) + ",\"cp\":" + Json(s.cp) +
           ",\"cpk\":" + Json(s.cpk) + ",\"out\":" + (any ? std::to_string(s.out) : "null") +
           ",\"out_pct\":" + Json(s.outPercent) + "}";
}

void PrintJson(const Result& r, std::ostream& out) {
    std::string events;
    for (const AlarmEvent& e : r.events) {
        events += std::string(events.empty() ? "" : ",") + "{\"channel\":" + JsonString(e.channel) +
                  ",\"first\":" + std::to_string(e.first) + ",\"last\":" + std::to_string(e.last) +
                  ",\"records\":" + std::to_string(e.records) +
                  ",\"worst\":" + NumberText(e.worst) + ",\"low\":" + std::to_string(e.low) +
                  ",\"high\":" + std::to_string(e.high) + ",\"time\":" + JsonString(e.time) + "}";
    }
    out << "{\"A\":" << JsonChannel(r.a) << ",\"B\":" << JsonChannel(r.b) << ",\"events\":["
        << events << "]}\n";
}

}  // namespace

int RunStats(const StatsRequest& request, std::ostream& out, std::ostream& err) {
    const std::string& path = request.file;
    std::error_code ec;
    std::ifstream in;
    if (!std::filesystem::is_directory(path, ec)) in.open(path, std::ios::binary);
    if (!in.is_open()) {
        err << "qtor-ctl: " << path << ": cannot be opened\n";
        return kCtlFile;
    }
    const Recording recording = ReadRecording(in);
    if (in.bad()) {
        err << "qtor-ctl: " << path << ": cannot be read\n";
        return kCtlFile;
    }
    if (!recording.Ok()) {
        err << "qtor-ctl: " << path << ": " << recording.Error() << "\n";
        return kCtlUsage;
    }
    const Result result = EvaluateRows(recording.rows, request.last, request.alarmAfter);
    if (request.json)
        PrintJson(result, out);
    else
        PrintText(result, out);
    return kCtlOk;
}
