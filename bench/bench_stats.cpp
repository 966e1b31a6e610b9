// Times `qtor-ctl stats` on a one-hour recording (95,000 rows, as run mode records at the
// line's pace), the recording reader alone, and the cost a record of the accumulators and
// alarms the program runs on every record. Prints figures; asserts nothing.
//
//   build/bin/bench_stats [rows] [runs]
//   build/bin/bench_stats --write FILE [rows]   writes the recording only, for farm-bench:
//     farm-bench -n 5 -- build/bin/qtor-ctl stats FILE   (a day: 2,300,000 rows, ~190 MB)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "alarms.h"
#include "ctl.h"
#include "record_csv.h"
#include "recording_file.h"
#include "stats.h"

namespace {

// A run with noise around the set-points and now and then a few records outside.
bool WriteRecording(const std::string& path, long long rows) {
    RecordWriter writer;
    std::string why;
    if (!writer.Open(path, false, &why)) {
        std::fprintf(stderr, "bench_stats: %s\n", why.c_str());
        return false;
    }
    std::mt19937 rng(1);
    std::normal_distribution<double> noise(0, 12);
    for (long long i = 0; i < rows; ++i) {
        const bool stray = i % 5000 >= 4990;
        std::uint16_t words[16] = {};
        words[0] = static_cast<std::uint16_t>(512 + noise(rng) + (stray ? 120 : 0));
        words[1] = static_cast<std::uint16_t>(498 + noise(rng));
        words[2] = static_cast<std::uint16_t>((words[0] + words[1]) / 2);
        words[3] = 60;
        words[4] = words[5] = words[6] = 512;
        words[7] = words[8] = 2;
        words[15] = static_cast<std::uint16_t>(i);
        if (!writer.Add(words)) return false;
    }
    return writer.Close();
}

// The first of `runs` timings of `work` (a fresh process's heap: what one qtor-ctl run pays),
// then the median and fastest of the rest, in milliseconds.
void Time(const char* what, int runs, const std::function<void()>& work) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        work();
        const auto t1 = std::chrono::steady_clock::now();
        ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    const double first = ms.front();
    std::vector<double> rest(ms.begin() + 1, ms.end());
    std::sort(rest.begin(), rest.end());
    std::printf("%-36s first %6.1f ms", what, first);
    if (!rest.empty())
        std::printf("   then median %6.1f ms, fastest %6.1f ms (%zu runs)", rest[rest.size() / 2],
                    rest.front(), rest.size());
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::string(argv[1]) == "--write")
        return WriteRecording(argv[2], argc > 3 ? std::atoll(argv[3]) : 2300000) ? 0 : 1;
    const long long rows = argc > 1 ? std::atoll(argv[1]) : 95000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 7;
    if (rows < 1 || runs < 1) {
        std::fprintf(stderr, "usage: bench_stats [rows] [runs]\n");
        return 2;
    }
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    const std::filesystem::path file = std::filesystem::temp_directory_path() /
                                       ("qtor-bench-stats-" + std::to_string(stamp) + ".csv");
    if (!WriteRecording(file.string(), rows)) return 1;
    std::printf("bench_stats %lld %d: %lld rows, %.1f MB in %s\n", rows, runs, rows,
                static_cast<double>(std::filesystem::file_size(file)) / 1e6, file.string().c_str());

    std::size_t read = 0;
    Time("reader (ReadRecording, file)", runs, [&] {
        std::ifstream in(file, std::ios::binary);
        read = ReadRecording(in).rows.size();
    });
    std::string text;
    {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream all;
        all << in.rdbuf();
        text = all.str();
    }
    Time("reader (ParseRecording, in memory)", runs,
         [&] { read = ParseRecording(text).rows.size(); });
    // What the program pays on every record: both channels' numbers and alarms.
    const Recording recording = ParseRecording(text);
    double perRecordNs = 0;
    long long events = 0;
    Time("per record: accumulators and alarms", runs, [&] {
        const auto t0 = std::chrono::steady_clock::now();
        ChannelAccumulator a, b;
        AlarmDetector alarmA("A"), alarmB("B");
        for (const RecordingRow& row : recording.rows) {
            const RecordSamples s(row.words.data());
            a.Add(s.a);
            b.Add(s.b);
            events += alarmA.Add(row.index, row.time, s.a).ended.has_value();
            events += alarmB.Add(row.index, row.time, s.b).ended.has_value();
        }
        const std::chrono::duration<double, std::nano> took = std::chrono::steady_clock::now() - t0;
        perRecordNs = took.count() / static_cast<double>(recording.rows.size());
    });
    std::printf("  %.0f ns a record (the last run), %lld events seen\n", perRecordNs, events);
    int status = 0;
    std::string output;
    for (const bool json : {false, true}) {
        std::vector<std::string> args = {"stats", file.string()};
        if (json) args.push_back("--json");
        Time(json ? "qtor-ctl stats FILE --json" : "qtor-ctl stats FILE", runs, [&] {
            std::ostringstream out, err;
            status = RunCtl(args, out, err);
            output = out.str() + err.str();
        });
    }
    std::printf("rows read %zu, stats status %d; its output:\n%s", read, status, output.c_str());
    std::filesystem::remove(file);
    return status;
}
