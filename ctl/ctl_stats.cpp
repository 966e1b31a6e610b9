#include "ctl_stats.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <optional>
#include <vector>

#include "alarms.h"
#include "ctl_output.h"
#include "input_file.h"
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

// One line of a text table: the channel left, the numbers right-aligned in their columns.
std::string TableRow(const std::vector<std::size_t>& widths,
                     const std::vector<std::string>& cells) {
    std::string line;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const std::string gap(widths[i] > cells[i].size() ? widths[i] - cells[i].size() : 0, ' ');
        line += i == 0 ? cells[i] + gap : " " + gap + cells[i];
    }
    return line + "\n";
}

void PrintText(const Result& r, std::ostream& out) {
    using Row = std::pair<const char*, const ChannelStats&>;
    const Row rows[] = {Row{"A", r.a}, Row{"B", r.b}};
    // The spread and the counts, then the indices and the ppm outside.
    const std::vector<std::size_t> spread = {7, 9, 10, 12, 13, 6, 6, 6, 6, 8, 7};
    out << TableRow(spread, {"channel", "n", "mean", "sigma within", "sigma overall", "min", "max",
                             "low", "high", "out", "out %"});
    for (const auto& [name, s] : rows) {
        const bool any = s.n > 0;
        out << TableRow(spread,
                        {name, std::to_string(s.n), Fixed(s.mean, 3), Fixed(s.sigmaWithin, 3),
                         Fixed(s.sigma, 3), Fixed(s.min, 0), Fixed(s.max, 0),
                         any ? std::to_string(*s.low) : "-", any ? std::to_string(*s.high) : "-",
                         any ? std::to_string(s.out) : "-", Fixed(s.outPercent, 2)});
    }
    const std::vector<std::size_t> capability = {7, 7, 7, 15, 7, 7, 10, 11, 12};
    out << TableRow(capability, {"channel", "Cp", "Cpk", "Cpk 95% CI", "Pp", "Ppk", "ppm within",
                                 "ppm overall", "ppm observed"});
    for (const auto& [name, s] : rows) {
        const std::string ci = s.cpkLow ? Fixed(s.cpkLow, 3) + ".." + Fixed(s.cpkHigh, 3) : "-";
        out << TableRow(capability,
                        {name, Fixed(s.cp, 3), Fixed(s.cpk, 3), ci, Fixed(s.pp, 3), Fixed(s.ppk, 3),
                         Fixed(s.ppmWithin, 1), Fixed(s.ppmOverall, 1), Fixed(s.ppmObserved, 1)});
    }
    for (const AlarmEvent& e : r.events) {
        out << "alarm " << e.channel << ": records " << e.first << " to " << e.last << ", "
            << e.records << " outside from " << PrintableText(e.time) << ", worst "
            << NumberText(e.worst) << " against " << e.low << ".." << e.high << "\n";
    }
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
    out << "{\"A\":" << ChannelStatsJson(r.a) << ",\"B\":" << ChannelStatsJson(r.b)
        << ",\"events\":[" << events << "]}\n";
}

}  // namespace

namespace {

// A recording's rows in one pass, in memory bounded by its longest line: `skip` rows passed
// over, then up to `take` (all, when negative) into `run`. Returns the rows read, or minus the
// exit status with the message written to `err`.
long long FeedRows(const StatsRequest& request, long long skip, long long take, RunQuality* run,
                   std::vector<AlarmEvent>* events, std::ostream& err) {
    const std::string& path = request.file;
    std::ifstream in;
    if (const std::string why = OpenRegularFile(path, &in); !why.empty()) {
        err << "qtor-ctl: " << path << ": " << why << "\n";
        return -kCtlFile;
    }
    RecordingReader reader(in, true);
    RecordingRow row;
    long long rows = 0;
    while ((take < 0 || rows - skip < take) && reader.Next(&row)) {
        if (rows++ < skip || !run) continue;
        RunQuality::Step step = run->Add(row.words.data(), row.index, row.time);
        for (auto& ended : step.ended)
            if (ended) events->push_back(std::move(*ended));
    }
    if (!reader.Refusal().Ok()) {
        err << "qtor-ctl: " << path << ": " << reader.Refusal().Error() << "\n";
        return reader.ReadFailed() ? -kCtlFile : -kCtlUsage;
    }
    if (reader.LeftOut() && take < 0)
        err << "qtor-ctl: " << path << ": line " << reader.LeftOut()
            << ": incomplete last line left out\n";
    return rows;
}

}  // namespace

int RunStats(const StatsRequest& request, std::ostream& out, std::ostream& err) {
    // The last N rows: a first pass counts them, so that memory stays bounded however many.
    long long skip = 0, take = -1;
    if (request.last > 0) {
        const long long rows = FeedRows(request, 0, -1, nullptr, nullptr, err);
        if (rows < 0) return static_cast<int>(-rows);
        skip = std::max(0LL, rows - request.last);
        take = rows - skip;
    }
    RunQuality run(request.alarmAfter);
    Result result;
    if (const long long rows = FeedRows(request, skip, take, &run, &result.events, err); rows < 0)
        return static_cast<int>(-rows);
    for (AlarmEvent& e : run.Finish()) result.events.push_back(std::move(e));
    result.a = run.Stats(Channel::kA);
    result.b = run.Stats(Channel::kB);
    if (request.json)
        PrintJson(result, out);
    else
        PrintText(result, out);
    return kCtlOk;
}
