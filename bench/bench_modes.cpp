// Measures run mode and video mode against the in-process simulated sensor, paced at the
// line's 19200 baud and unpaced, next to a bare exchange loop on the same simulated line.
// Prints figures; asserts nothing.
//
//   QT_QPA_PLATFORM=offscreen build/bin/bench_modes [seconds-per-case] [case ...]
// Cases: paced-raw paced-run paced-run-nostats paced-run-nocharts paced-video unpaced-raw
// unpaced-run (all when none is named).
//   QT_QPA_PLATFORM=offscreen build/bin/bench_modes SECONDS port=PATH [device-raw device-run
//   device-record]
// runs the bare loop, run mode and run mode recording to a CSV file against a sensor on the
// serial device PATH instead (for example qtor-sensor-sim's pseudo-terminal), so the figures
// leave out the simulation's work. Without QT_QPA_PLATFORM the panel is on the X server.
//   QT_QPA_PLATFORM=offscreen build/bin/bench_modes SECONDS mqtt=URL [broker-pid=PID]
// runs, in one run, the bare loop and run mode with publishing off, publishing to the broker
// at URL, to that broker stopped with SIGSTOP (a broker that takes nothing; with its PID),
// and to a broker that is absent.
#include <signal.h>

#include <QApplication>
#include <QDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "QtorKMBscope10.h"
#include "commands.h"
#include "graph_model.h"
#include "plant_view.h"
#include "port_table.h"
#include "rs232.h"
#include "run_task.h"
#include "sensor.h"
#include "startup.h"
#include "station.h"
#include "timer.h"
#include "toolkit.h"

namespace {

struct Figures {
    double seconds = 0;
    double cpuSeconds = 0;
    long long records = 0;
};

void Connect(Station& s, bool paced) {
    CloseCom(1);
    PortTableReset();
    PortTableSetSimulated(1, paced);
    RunTask(InitRS232(s.link, s.params));
}

// A stop leaves the last reply on the line; a user's next click comes long after it has
// arrived and been discarded, so the next case waits for that too.
void Settle(Station& s) {
    const double end = Timer() + 0.2;
    while (Timer() < end) ProcessSystemEvents();
    FlushInQ(s.link.com);
}

// Runs the mode behind `button` for `seconds`, stopped by a left click on Stop from the event
// loop.
Figures RunMode(Station& s, int button, double seconds, long long (*count)(const Station&)) {
    const int panel = s.panels.panelHandle;
    QTimer::singleShot(static_cast<int>(seconds * 1000),
                       [panel] { CallCtrlCallback(panel, BTNStop, EVENT_LEFT_CLICK); });
    const long long before = count(s);
    const std::clock_t c0 = std::clock();
    const double t0 = Timer();
    CallCtrlCallback(panel, button, EVENT_COMMIT);
    while (s.link.Active()) ProcessSystemEvents(0.1);
    Figures f;
    f.seconds = Timer() - t0;
    f.cpuSeconds = static_cast<double>(std::clock() - c0) / CLOCKS_PER_SEC;
    f.records = count(s) - before;
    Settle(s);
    return f;
}

long long DrawnRecords(const Station& s) {
    const StripChartModel* m = GetStripChartModel(s.panels.panelHandle, STRIP_RawA);
    return m ? m->history.total : 0;
}

// The bare exchange: command 8, wait for the notification, next command; no drawing.
Figures RawExchange(Station& s, double seconds) {
    SensorLink& link = s.link;
    Figures f;
    const std::clock_t c0 = std::clock();
    const double t0 = Timer();
    while (Timer() - t0 < seconds) {
        FlushInQ(link.com);  // nothing is crossing after a reply: no wait before the discard
        FlushOutQ(link.com);
        const unsigned long before = link.FramesReceived();
        CopyVarsToPP(s.params, link.pp);
        link.FillTxBuf(protocol::kMeasure, link.pp);
        link.WriteFrame();
        const double sent = Timer();
        // Waits as the program's exchanges do: until the reply's event or the time-out.
        while (link.FramesReceived() == before && Timer() - sent < TIMEOUT)
            ProcessSystemEvents(std::clamp(TIMEOUT - (Timer() - sent), 0.001, 0.1));
        if (link.FramesReceived() != before) ++f.records;
    }
    f.seconds = Timer() - t0;
    f.cpuSeconds = static_cast<double>(std::clock() - c0) / CLOCKS_PER_SEC;
    return f;
}

long long MeasureCommands(const Station&) {
    long long n = 0;
    for (const auto& f : PortSimSensor(1)->Log()) n += f.command == protocol::kMeasure;
    return n;
}

// Mean time between consecutive measure commands at the sensor: one video cycle each.
double MeanCycle() {
    std::vector<double> at;
    for (const auto& f : PortSimSensor(1)->Log()) {
        if (f.command == protocol::kMeasure) at.push_back(f.time);
    }
    return at.size() < 2 ? 0.0 : (at.back() - at.front()) / static_cast<double>(at.size() - 1);
}

void Print(const char* name, const Figures& f, double lineLimit) {
    const double rate = f.records / f.seconds;
    char share[32] = "";
    if (lineLimit > 0)
        std::snprintf(share, sizeof share, "%5.1f %% of line limit", 100.0 * rate / lineLimit);
    std::printf("%-34s %9.1f /s  %-20s  CPU %5.1f %% of one core\n", name, rate, share,
                100.0 * f.cpuSeconds / f.seconds);
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::stod(argv[1]) : 5.0;
    std::vector<std::string> cases;
    std::string device, mqtt;
    int brokerPid = 0;
    for (int i = 2; i < argc; ++i) {
        const std::string c = argv[i];
        if (c.rfind("port=", 0) == 0)
            device = c.substr(5);
        else if (c.rfind("mqtt=", 0) == 0)
            mqtt = c.substr(5);
        else if (c.rfind("broker-pid=", 0) == 0)
            brokerPid = std::stoi(c.substr(11));
        else
            cases.push_back(c);
    }
    auto wanted = [&cases](const char* name) {
        return cases.empty() || std::find(cases.begin(), cases.end(), name) != cases.end();
    };
    if (InitPlatform(argc, argv) < 0) return 1;
    Station s;
    if (OpenStation(s) < 0) return 1;
    DisplayPanel(s.panels.panelHandle);

    // 36 bytes out and 36 back at 0.521 ms a byte.
    const double runLimit = 1.0 / (72 * 10.0 / 19200);
    // 36 + 36 + 4 x (36 + 128) bytes a cycle.
    const double videoLimit = 1.0 / ((72 + 4 * 164) * 10.0 / 19200);
    std::printf("command: QT_QPA_PLATFORM=%s %s %.1f\n",
                qEnvironmentVariable("QT_QPA_PLATFORM").toUtf8().constData(), argv[0], seconds);

    if (!device.empty()) {
        CloseCom(1);
        PortTableReset();
        PortTableSetDevice(1, device);
        RunTask(InitRS232(s.link, s.params));
        if (wanted("device-raw"))
            Print("device: bare exchange loop", RawExchange(s, seconds), runLimit);
        if (wanted("device-run"))
            Print("device: run mode, records", RunMode(s, BTNRun, seconds, DrawnRecords), runLimit);
        if (wanted("device-record")) {
            const std::string csv = QDir::temp().filePath("qtor-bench-record.csv").toStdString();
            std::remove(csv.c_str());
            std::string error;
            if (!s.recorder.Start(csv, false, &error)) {
                std::printf("cannot record: %s\n", error.c_str());
                return 1;
            }
            const Figures f = RunMode(s, BTNRun, seconds, DrawnRecords);
            const long long rows = s.recorder.Rows();
            s.recorder.Stop();
            Print("device: run mode, recording to CSV", f, runLimit);
            std::printf("%-34s %9lld rows for %lld records\n", "device: recorded", rows, f.records);
            std::remove(csv.c_str());
        }
        CloseCom(1);
        return 0;
    }

    if (!mqtt.empty()) {
        Connect(s, true);
        Print("paced: bare exchange loop", RawExchange(s, seconds), runLimit);
        Print("paced: run mode, publishing off", RunMode(s, BTNRun, seconds, DrawnRecords),
              runLimit);
        PlantConfig config;
        config.url = mqtt;
        config.station = "bench";
        ApplyPlant(s, config, true);
        const double until = Timer() + 5;
        while (s.plant.GetState() != PlantLink::State::kConnected && Timer() < until)
            ProcessSystemEvents(0.05);
        std::printf("%s\n", s.plant.StateText().c_str());
        Print("paced: run mode, publishing", RunMode(s, BTNRun, seconds, DrawnRecords), runLimit);
        if (brokerPid > 0) {
            kill(brokerPid, SIGSTOP);
            Print("paced: run mode, broker stopped", RunMode(s, BTNRun, seconds, DrawnRecords),
                  runLimit);
            kill(brokerPid, SIGCONT);
        }
        config.url = "mqtt://127.0.0.1:1";  // nobody listens there
        ApplyPlant(s, config, true);
        Print("paced: run mode, broker absent", RunMode(s, BTNRun, seconds, DrawnRecords),
              runLimit);
        std::printf("%s\n", s.plant.StateText().c_str());
        ApplyPlant(s, PlantConfig{}, true);
        CloseCom(1);
        return 0;
    }

    Connect(s, true);
    if (wanted("paced-raw")) Print("paced: bare exchange loop", RawExchange(s, seconds), runLimit);
    if (wanted("paced-run")) {
        Print("paced: run mode, records", RunMode(s, BTNRun, seconds, DrawnRecords), runLimit);
    }
    // The quality numbers and alarms off: what they cost is the difference to the case above.
    if (wanted("paced-run-nostats")) {
        s.records.Unregister(&s.numbers);
        Print("paced: run mode without statistics", RunMode(s, BTNRun, seconds, DrawnRecords),
              runLimit);
        s.records.Register(&s.numbers);
    }

    // Without the charts, then without any consumer of records: the mode's own cost beside the
    // bare loop, and what each consumer adds.
    if (wanted("paced-run-nocharts")) {
        s.records.Unregister(&s.charts);
        Print("paced: run mode without charts", RunMode(s, BTNRun, seconds, MeasureCommands),
              runLimit);
        s.records.Unregister(&s.numbers);
        s.records.Unregister(&s.recording);
        Print("paced: run mode, no consumer", RunMode(s, BTNRun, seconds, MeasureCommands),
              runLimit);
        for (RecordConsumer* c :
             {static_cast<RecordConsumer*>(&s.charts), static_cast<RecordConsumer*>(&s.recording),
              static_cast<RecordConsumer*>(&s.numbers)})
            s.records.Register(c);
    }
    // Video cycles are counted by the measure commands the sensor received.
    if (wanted("paced-video")) {
        PortSimSensor(1)->ClearLog();
        const Figures video = RunMode(s, BTNVideo, seconds, MeasureCommands);
        Print("paced: video mode, cycles", video, videoLimit);
        std::printf("%-34s %8.1f ms (line time %.1f ms)\n", "paced: video cycle, mean",
                    1000.0 * MeanCycle(), 1000.0 / videoLimit);
    }

    Connect(s, false);
    if (wanted("unpaced-raw")) Print("unpaced: bare exchange loop", RawExchange(s, seconds), 0);
    if (wanted("unpaced-run")) {
        Print("unpaced: run mode, records", RunMode(s, BTNRun, seconds, DrawnRecords), 0);
    }
    CloseCom(1);
    return 0;
}
