// Times the capability report apart from reading a file: records collected one by one (a day
// at the line's pace by default) and the PDF written from them, with the process's memory
// before and after, which the collector must leave nearly flat. Prints figures; asserts
// nothing.
//
//   QT_QPA_PLATFORM=offscreen build/bin/bench_report [records] [runs]
#include <QGuiApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "capability.h"
#include "capability_report.h"
#include "protocol.h"

namespace {

// The resident memory of this process in MiB (Linux; -1 elsewhere).
double ResidentMiB(const char* field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field, 0) == 0) return std::atof(line.c_str() + std::strlen(field)) / 1024;
    return -1;
}

// A run near the set-points with noise, an excursion of 36 records every 5760 (four minutes).
CapabilityData Collect(long long records, double* seconds) {
    std::mt19937 rng(1);
    std::normal_distribution<double> noise(0, 15);
    CapabilityCollector collector;
    const std::string time = "2026-12-08T12:00:00.000";
    const auto t0 = std::chrono::steady_clock::now();
    for (long long i = 0; i < records; ++i) {
        const int excursion = i > 5000 && i % 5760 < 36 ? 180 : 0;
        std::uint16_t w[protocol::kWords] = {};
        w[protocol::kAvalue] = static_cast<std::uint16_t>(512 + noise(rng) + excursion);
        w[protocol::kBvalue] = static_cast<std::uint16_t>(520 + noise(rng) + excursion);
        w[protocol::kRecTTol] = 100;
        w[protocol::kRecTValA] = w[protocol::kRecTValB] = w[protocol::kTVal] = 512;
        collector.Add(w, i, time);
    }
    CapabilityData data = collector.Finish();
    *seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    return data;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const long long records = argc > 1 ? std::atoll(argv[1]) : 2'300'000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    if (records < 1 || runs < 1) {
        std::fprintf(stderr, "usage: bench_report [records] [runs]\n");
        return 2;
    }
    const std::filesystem::path pdf =
        std::filesystem::temp_directory_path() /
        ("qtor-bench-report-" +
         std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + ".pdf");
    std::printf("bench_report %lld %d\n", records, runs);
    std::vector<double> collect, write;
    const double before = ResidentMiB("VmRSS:");
    for (int run = 0; run < runs; ++run) {
        double seconds = 0;
        const CapabilityData data = Collect(records, &seconds);
        collect.push_back(seconds);
        const auto t0 = std::chrono::steady_clock::now();
        std::string error;
        ReportHeader header;
        header.source = "bench";
        if (!WriteCapabilityReport(data, header, pdf.string(), &error)) {
            std::fprintf(stderr, "bench_report: %s\n", error.c_str());
            return 1;
        }
        write.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
        if (run == 0)
            std::printf("events %lld (%zu listed), PDF %.1f KB\n", data.eventCount,
                        data.events.size(),
                        static_cast<double>(std::filesystem::file_size(pdf)) / 1e3);
    }
    std::sort(collect.begin(), collect.end());
    std::sort(write.begin(), write.end());
    std::printf("collect: median %.3f s (%.0f ns a record), fastest %.3f s\n", collect[runs / 2],
                1e9 * collect[runs / 2] / static_cast<double>(records), collect.front());
    std::printf("write PDF: median %.3f s, fastest %.3f s\n", write[runs / 2], write.front());
    std::printf("resident before %.1f MiB, after %.1f MiB, peak %.1f MiB\n", before,
                ResidentMiB("VmRSS:"), ResidentMiB("VmHWM:"));
    std::filesystem::remove(pdf);
    return 0;
}
