// Several sensors in one window, each on its own qtor-sensor-sim pseudo-terminal paced at
// 19200 baud: the bare exchange loop on all lines at once, then run mode on all of them
// through their panels. Prints each sensor's record rate against the bare loop's and the
// program's CPU share (the simulators' own work is theirs); asserts nothing.
//
//   QT_QPA_PLATFORM=offscreen build/bin/bench_sensors [seconds] [sensors ...]
// (default: 8 seconds, 1 2 4 sensors).
#include <QApplication>
#include <QProcess>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "QtorKMBscope10.h"
#include "commands.h"
#include "exchange.h"
#include "port_table.h"
#include "rs232.h"
#include "sensors.h"
#include "startup.h"
#include "station.h"
#include "toolkit.h"

namespace {

using Clock = std::chrono::steady_clock;

void RunFor(double seconds) {
    const auto end = Clock::now() + std::chrono::milliseconds(static_cast<int>(seconds * 1000));
    while (Clock::now() < end) ProcessSystemEvents(0.05);
}

Task<> BareLoop(SensorLink& link, Clock::time_point until, long long* records) {
    const std::uint16_t none[PNUM] = {};
    while (Clock::now() < until) {
        Exchange measure(link);
        co_await measure.Write(protocol::kMeasure, none, Discard::kInThenOut);
        const Received got = co_await measure.Frame(Tie::kReplyWins);
        *records += got.ok();
    }
}

// One case: `n` simulators, `n` sensors in one window.
void Case(int n, double seconds) {
    std::vector<std::unique_ptr<QProcess>> sims;
    PortTableReset();
    for (int i = 0; i < n; ++i) {
        auto sim = std::make_unique<QProcess>();
        sim->start(QCoreApplication::applicationDirPath() + "/qtor-sensor-sim",
                   {"--hold", QString::number(i)});
        if (!sim->waitForReadyRead(5000)) {
            std::printf("qtor-sensor-sim did not start\n");
            return;
        }
        PortTableSetDevice(i + 1, sim->readLine().trimmed().toStdString());
        sims.push_back(std::move(sim));
    }
    {
        Sensors sensors;
        for (int i = 1; i <= n; ++i) sensors.Add(i, true);
        for (std::size_t i = 0; i < sensors.Count(); ++i) StartLine(sensors.At(i), Options{});
        DisplayPanel(sensors.Window());
        RunFor(3);
        std::vector<long long> bare(static_cast<std::size_t>(n), 0);
        std::vector<Task<>> loops;
        const auto until =
            Clock::now() + std::chrono::milliseconds(static_cast<int>(seconds * 1000));
        for (std::size_t i = 0; i < sensors.Count(); ++i)
            loops.push_back(BareLoop(sensors.At(i).link, until, &bare[i]));
        std::clock_t c0 = std::clock();
        for (Task<>& t : loops) t.Start();
        RunFor(seconds + 0.5);
        const double bareCpu = double(std::clock() - c0) / CLOCKS_PER_SEC / (seconds + 0.5);
        c0 = std::clock();
        for (std::size_t i = 0; i < sensors.Count(); ++i)
            CallCtrlCallback(sensors.At(i).panels.panelHandle, BTNRun, EVENT_COMMIT);
        RunFor(seconds);
        const double runCpu = double(std::clock() - c0) / CLOCKS_PER_SEC / seconds;
        double worst = 1e9;
        for (std::size_t i = 0; i < sensors.Count(); ++i) {
            const double share =
                double(sensors.At(i).quality.Stats(Channel::kA).n) / std::max(1.0, double(bare[i]));
            worst = std::min(worst, share);
        }
        std::printf(
            "%d sensor%s  bare loop CPU %5.1f %%  run mode CPU %5.1f %% of one core  "
            "slowest sensor %5.1f %% of its bare loop's records\n",
            n, n == 1 ? " " : "s", 100 * bareCpu, 100 * runCpu, 100 * worst);
        for (std::size_t i = 0; i < sensors.Count(); ++i)
            CallCtrlCallback(sensors.At(i).panels.panelHandle, BTNStop, EVENT_LEFT_CLICK);
        RunFor(1);
        for (std::size_t i = 0; i < sensors.Count(); ++i) sensors.At(i).link.CloseLine();
    }
    for (auto& sim : sims) {
        sim->terminate();
        sim->waitForFinished(3000);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::stod(argv[1]) : 8.0;
    std::vector<int> counts;
    for (int i = 2; i < argc; ++i) counts.push_back(std::stoi(argv[i]));
    if (counts.empty()) counts = {1, 2, 4};
    if (InitPlatform(argc, argv) < 0) return 1;
    RegisterCallbacks();
    std::printf("command: QT_QPA_PLATFORM=%s %s %.1f\n",
                qEnvironmentVariable("QT_QPA_PLATFORM").toUtf8().constData(), argv[0], seconds);
    for (int n : counts) Case(n, seconds);
    return 0;
}
