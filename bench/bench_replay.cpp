// Times a replay: a one-hour recording (95,000 rows at the line's pace; a day is 2,300,000)
// loaded and played at the highest speed through the program's displays, with the process's
// peak memory, and two jumps of the slider; then a
// replay at real time next to live run mode on the paced simulated sensor, CPU share of each.
// Prints figures; asserts nothing.
//
//   QT_QPA_PLATFORM=offscreen build/bin/bench_replay [rows] [seconds-per-1x-case]
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <random>
#include <string>

#ifdef __unix__
#include <sys/resource.h>
#endif

#include "QtorKMBscope10.h"
#include "commands.h"
#include "port_table.h"
#include "record_csv.h"
#include "replay_callbacks.h"
#include "run_task.h"
#include "startup.h"
#include "station.h"
#include "timer.h"
#include "toolkit.h"

namespace {

// Rows 37.9 ms apart, as run mode records them, with noise around the set-points.
bool WriteRecording(const std::string& path, long long rows) {
    CsvAppender file;
    std::string why;
    if (!file.Open(path, RecordCsvHeader(), false, &why)) {
        std::fprintf(stderr, "bench_replay: %s\n", why.c_str());
        return false;
    }
    std::mt19937 rng(1);
    std::normal_distribution<double> noise(0, 12);
    const auto start = std::chrono::system_clock::now();
    for (long long i = 0; i < rows; ++i) {
        std::uint16_t w[16] = {};
        w[0] = static_cast<std::uint16_t>(512 + noise(rng));
        w[1] = static_cast<std::uint16_t>(506 + noise(rng));
        w[2] = static_cast<std::uint16_t>((w[0] + w[1]) / 2);
        w[3] = 100;
        w[4] = w[5] = w[6] = 512;
        w[7] = w[8] = 2;
        w[9] = static_cast<std::uint16_t>(w[0] - 70);
        w[10] = static_cast<std::uint16_t>(w[0] + 70);
        w[11] = static_cast<std::uint16_t>(w[1] + 70);
        w[12] = static_cast<std::uint16_t>(w[1] - 70);
        w[15] = static_cast<std::uint16_t>(i);
        const auto when = start + std::chrono::microseconds(37900 * i);
        if (!file.Add(RecordCsvRow(
                std::chrono::time_point_cast<std::chrono::system_clock::duration>(when), i, w)))
            return false;
    }
    return file.Close();
}

double PeakMiB() {
#ifdef __unix__
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024.0;  // kilobytes on Linux
#else
    return 0;
#endif
}

void PumpWhile(const std::function<bool()>& going, double limit) {
    const double end = Timer() + limit;
    while (going() && Timer() < end) ProcessSystemEvents(0.05);
}

}  // namespace

int main(int argc, char** argv) {
    const long long rows = argc > 1 ? std::atoll(argv[1]) : 95000;
    const double seconds = argc > 2 ? std::atof(argv[2]) : 8.0;
    if (InitPlatform(argc, argv) < 0) return 1;
    Station s;
    if (OpenStation(s) < 0) return 1;
    DisplayPanel(s.panels.panelHandle);
    const std::string file =
        (std::filesystem::temp_directory_path() / "qtor-bench-replay.csv").string();
    if (!WriteRecording(file, rows)) return 1;
    std::printf("command: QT_QPA_PLATFORM=%s %s %lld %.1f\n",
                qEnvironmentVariable("QT_QPA_PLATFORM").toUtf8().constData(), argv[0], rows,
                seconds);
    std::printf("%-40s %.1f MiB\n", "peak memory before the replay", PeakMiB());

    Replay alone;
    std::string error;
    double t0 = Timer();
    if (!alone.Load(file, &error)) {
        std::fprintf(stderr, "bench_replay: %s\n", error.c_str());
        return 1;
    }
    std::printf("%-40s %7.1f ms\n", "load (read and check every row)", 1000 * (Timer() - t0));
    alone.Close();

    t0 = Timer();
    if (!StartReplay(s, file, Replay::Speed::kMax, &error)) return 1;
    PumpWhile([&s] { return s.replay.Playing(); }, 120);
    std::printf("%-40s %7.1f ms for %zu records (status \"%s\")\n",
                "load and replay at the highest speed", 1000 * (Timer() - t0), s.replay.Size(),
                [&s] {
                    static std::string text;
                    GetCtrlVal(s.panels.panelHandle, TEXT_Status, &text);
                    return text.c_str();
                }());
    std::printf("%-40s %.1f MiB\n", "peak memory of the process", PeakMiB());

    // The slider: a jump plays every record before it at once, read from the file.
    for (const std::size_t to : {s.replay.Size() / 2, s.replay.Size() / 10}) {
        t0 = Timer();
        s.replay.Seek(to);
        std::printf("%-40s %7.1f ms\n", ("seek to record " + std::to_string(to)).c_str(),
                    1000 * (Timer() - t0));
    }

    // Real time: the same recording from its start for `seconds`, then live run mode as long.
    // The file is loaded first: a replay's cost at real time is what it takes once playing.
    StartReplay(s, file, Replay::Speed::kReal, &error);
    std::clock_t c0 = std::clock();
    t0 = Timer();
    const std::size_t from = s.replay.Position();
    PumpWhile([] { return true; }, seconds);
    const double replayCpu = double(std::clock() - c0) / CLOCKS_PER_SEC / (Timer() - t0);
    const std::size_t played = s.replay.Position() - from;
    s.replay.Close();
    std::printf("%-40s %7.1f records/s  CPU %5.1f %% of one core\n", "replay at real time",
                played / (Timer() - t0), 100 * replayCpu);

    PortTableSetSimulated(1, true);
    s.link.com = 1;
    RunTask(InitRS232(s.link, s.params));
    const int panel = s.panels.panelHandle;
    QTimer::singleShot(static_cast<int>(seconds * 1000),
                       [panel] { CallCtrlCallback(panel, BTNStop, EVENT_LEFT_CLICK); });
    c0 = std::clock();
    t0 = Timer();
    CallCtrlCallback(panel, BTNRun, EVENT_COMMIT);
    while (s.link.Active()) ProcessSystemEvents(0.1);
    const double runCpu = double(std::clock() - c0) / CLOCKS_PER_SEC / (Timer() - t0);
    std::printf("%-40s %7.1f records/s  CPU %5.1f %% of one core\n", "live run mode, paced sensor",
                s.quality.Stats(Channel::kA).n / (Timer() - t0), 100 * runCpu);
    std::filesystem::remove(file);
    std::filesystem::remove(EventsPathFor(file));
    return 0;
}
