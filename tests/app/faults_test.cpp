// Line faults that strike while an acquisition mode runs: late, garbled and short replies, a
// sensor that hangs up, the main panel closed and the port changed from inside the loop.
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app_fixture.h"
#include "modes.h"
#include "parameter_callbacks.h"
#include "run_task.h"
#include "serial_hooks.h"
#include "transfer.h"

namespace {

using sim::Fault;
using sim::FaultKind;

class Faults : public AppTest {
  protected:
    void TearDown() override {
        *live_ = false;
        AppTest::TearDown();
    }

    // When(), but an action still pending once the test has ended is dropped: a fallback that
    // was not needed, or one a failing test never reached, must not act in a later test.
    void Guarded(std::function<bool()> condition, std::function<void()> action) {
        auto live = live_;
        When([live, condition] { return !*live || condition(); },
             [live, action] {
                 if (*live) action();
             });
    }

    // Runs a mode; a mode that does not end by itself or by the test's stop is ended after a
    // while, so that the test fails instead of hanging.
    void Run() { WithFallback(BTNRun); }
    void Video() { WithFallback(BTNVideo); }
    void WithFallback(int control) {
        auto armed = std::make_shared<bool>(true);
        auto used = std::make_shared<bool>(false);
        // Wall-clock time: the test clock may run far ahead of it.
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(8);
        When([armed, end] { return !*armed || std::chrono::steady_clock::now() > end; },
             [this, armed, used] {
                 if (!*armed) return;
                 *used = true;
                 Stop();
             });
        Fire(control, EVENT_COMMIT);
        *armed = false;
        EXPECT_FALSE(*used) << "the mode ended only by the test's fallback";
    }
    void Stop() { Fire(BTNStop, EVENT_LEFT_CLICK); }

    long long StripRecords() const {
        const StripChartModel* m = GetStripChartModel(panels.panelHandle, STRIP_RawA);
        return m ? m->history.total : -1;  // a record a sample
    }

    // Sets `fault` on `command` once `commands` measure commands have reached the sensor;
    // *at receives that count and the time.
    void FaultAfter(int commands, int command, Fault fault, int* at, double* when = nullptr) {
        Guarded([this, commands] { return CountCommand(8) >= commands; },
                [this, command, fault, at, when] {
                    *at = CountCommand(8);
                    if (when) *when = Timer();
                    sensor->SetFault(command, fault);
                });
    }

    // A port that a hang-up left behind: nothing goes out, nothing comes in, nothing blocks.
    static void ExpectDeadPort(int port) {
        EXPECT_GE(ComErrorCount(port), 1);
        EXPECT_LE(ComErrorCount(port), 3) << "the vanished device is reported a handful of times";
        std::uint8_t frame[kFrameBytes] = {0x00, 0x55, 0x00, 0x05};
        EXPECT_LT(ComWrt(port, frame, kFrameBytes), 0);
        EXPECT_LT(GetInQLen(port), 0);
        std::uint8_t in[kFrameBytes] = {};
        const double t0 = Timer();
        EXPECT_LE(ComRd(port, in, kFrameBytes), 0);
        EXPECT_LT(Timer() - t0, 0.5) << "a read on a dead port does not wait for its time-out";
    }

    std::shared_ptr<bool> live_ = std::make_shared<bool>(true);
};

TEST_F(Faults, ReplyLateByLessThanTheTimeOutKeepsRunModeGoing) {
    Connect();
    int faultAt = -1;
    long long drawnAtFault = 0;
    Guarded([this] { return CountCommand(8) >= 3; },
            [this, &faultAt, &drawnAtFault] {
                faultAt = CountCommand(8);
                drawnAtFault = StripRecords();
                sensor->SetFault(8, Fault{FaultKind::kLate, 1.4});
            });
    // Two late replies answered, and the loop sent the next command after each.
    Guarded([this, &faultAt] { return faultAt > 0 && CountCommand(8) >= faultAt + 3; },
            [this] { Stop(); });
    Run();

    ASSERT_GT(faultAt, 0);
    const auto& log = sensor->Log();
    ASSERT_GE(static_cast<int>(log.size()), faultAt + 3);
    for (int k = faultAt; k < faultAt + 2; ++k) {
        EXPECT_GE(log[k + 1].time - log[k].time, 1.4) << "command " << k << " was answered late";
    }
    EXPECT_GE(StripRecords() - drawnAtFault, 2) << "the late records were drawn";
    EXPECT_EQ(StatusLine(), "Line Ok!") << "no time-out";
    EXPECT_EQ(station.stop_flag, 1);
}

TEST_F(Faults, ReplyLateByMoreThanTheTimeOutEndsRunMode) {
    Connect();
    int faultAt = -1;
    double faultTime = 0;
    FaultAfter(3, 8, Fault{FaultKind::kLate, 1.6}, &faultAt, &faultTime);
    Run();

    ASSERT_GT(faultAt, 0);
    EXPECT_LT(Timer() - faultTime, 2.5);
    EXPECT_EQ(StatusLine(), "Timeout RS232-Line!");
    EXPECT_EQ(station.stop_flag, 1);
    EXPECT_EQ(CountCommand(8), faultAt + 1) << "no command after the one answered too late";
}

TEST_F(Faults, HangUpDuringRunModeEndsItByTimeOutAndLeavesThePortDead) {
    Connect();
    SetTestClockStep(0.1);  // time-outs pass in a few event pumps
    int faultAt = -1;
    double faultTime = 0;
    FaultAfter(5, 8, Fault{FaultKind::kHangUp}, &faultAt, &faultTime);
    Run();

    ASSERT_GT(faultAt, 0);
    EXPECT_TRUE(sensor->HungUp());
    EXPECT_LT(Timer() - faultTime, 2.5);
    EXPECT_EQ(StatusLine(), "Timeout RS232-Line!");
    EXPECT_EQ(station.stop_flag, 1);
    ExpectDeadPort(1);

    // Connecting again ends, one way or the other, with a text the user can read.
    const double t0 = Timer();
    RunTask(InitRS232(link, params));
    EXPECT_LT(Timer() - t0, 2.5);
    const std::string status = StatusLine();
    const std::vector<std::string> defined = {"Timeout-RS-232...", "Port is not open",
                                              sensor->FirmwareText()};
    EXPECT_TRUE(std::find(defined.begin(), defined.end(), status) != defined.end() ||
                status.rfind("Cannot open port", 0) == 0)
        << status;
}

TEST_F(Faults, HangUpDuringVideoModeEndsItByTimeOutAndLeavesThePortDead) {
    Connect();
    SetTestClockStep(0.1);  // time-outs pass in a few event pumps
    int faultAt = -1;
    double faultTime = 0;
    FaultAfter(2, 8, Fault{FaultKind::kHangUp}, &faultAt, &faultTime);
    Video();

    ASSERT_GT(faultAt, 0);
    EXPECT_TRUE(sensor->HungUp());
    EXPECT_LT(Timer() - faultTime, 2.5) << "no block read waited on the dead line";
    EXPECT_EQ(StatusLine(), "Timeout RS232-Line!");
    EXPECT_EQ(station.stop_flag, 1);
    const std::vector<int> commands = Commands();
    ASSERT_FALSE(commands.empty());
    EXPECT_EQ(commands.back(), 8) << "no block read after the unanswered measure command";
    EXPECT_EQ(CountCommand(9), 4 * (CountCommand(8) - 1));
    ExpectDeadPort(1);
    // The mode's end leaves the buttons it owns usable again.
    EXPECT_FALSE(Dimmed(BTNRun));
    EXPECT_FALSE(Dimmed(BTNVideo));
}

TEST_F(Faults, GarbledRepliesAreDrawnAndRunModeGoesOn) {
    Connect();
    int faultAt = -1;
    long long drawnAtFault = 0;
    Guarded([this] { return CountCommand(8) >= 3; },
            [this, &faultAt, &drawnAtFault] {
                faultAt = CountCommand(8);
                drawnAtFault = StripRecords();
                sensor->SetFault(8, Fault{FaultKind::kGarbage});
            });
    Guarded([this, &faultAt] { return faultAt > 0 && CountCommand(8) >= faultAt + 20; },
            [this] { Stop(); });
    Run();

    ASSERT_GT(faultAt, 0);
    EXPECT_GE(CountCommand(8), faultAt + 20);
    EXPECT_EQ(StatusLine(), "Line Ok!") << "garbage is still a whole reply: no time-out";
    const long long garbled = StripRecords() - drawnAtFault;
    EXPECT_GE(garbled, 19);
    // The value trace of the strip chart holds the decoded words; the sensor's own records
    // never exceed the line's 1024 pixels, 16 random bits nearly always do.
    const StripChartModel* m = GetStripChartModel(panels.panelHandle, STRIP_RawA);
    ASSERT_NE(m, nullptr);
    ASSERT_GE(m->traces.size(), 4u);
    const auto& values = m->traces[3];
    ASSERT_FALSE(values.empty());
    EXPECT_EQ(values.back(), meas.Avalue);
    const auto n = std::min<std::size_t>(values.size(), static_cast<std::size_t>(garbled));
    EXPECT_GT(*std::max_element(values.end() - n, values.end()), 1024.0);
}

TEST_F(Faults, ShortReplyEndsRunModeByTimeOutAndTheLineRecovers) {
    Connect();
    SetTestClockStep(0.1);  // time-outs pass in a few event pumps
    int faultAt = -1;
    double faultTime = 0;
    FaultAfter(3, 8, Fault{FaultKind::kCut, 20}, &faultAt, &faultTime);
    Run();

    ASSERT_GT(faultAt, 0);
    EXPECT_LT(Timer() - faultTime, 2.5);
    EXPECT_EQ(StatusLine(), "Timeout RS232-Line!") << "20 bytes never make a frame";
    EXPECT_EQ(CountCommand(8), faultAt + 1);
    EXPECT_EQ(station.linkView.State(), "no reply");

    // The stray 20 bytes must not shift the next frame, and the line answers again.
    sensor->ClearFaults();
    sensor->Ram()[0] = 345;
    RunTask(PushGET(link, RAM, params));
    EXPECT_EQ(StatusLine(), "Parameter-frame received! - Line Ok!");
    EXPECT_EQ(params.powerA, 345);
    EXPECT_EQ(params.sTime, sensor->Ram()[12]);
    EXPECT_EQ(station.linkView.State(), "simulated: " + sensor->FirmwareText());
}

TEST_F(Faults, ClosingTheMainPanelDuringRunModeEndsTheLoopAndTheEventLoop) {
    Connect();
    SetTestClockStep(0.1);  // time-outs pass in a few event pumps
    double closedAt = 0;
    Guarded([this] { return CountCommand(8) >= 5; },
            [this, &closedAt] {
                closedAt = Timer();
                Fire(0, EVENT_CLOSE);
            });
    Run();

    const bool closed = closedAt > 0;
    EXPECT_TRUE(closed);
    EXPECT_LT(Timer() - closedAt, 2.5);
    EXPECT_EQ(StatusLine(), "Timeout RS232-Line!");
    std::uint8_t frame[kFrameBytes] = {0x00, 0x55, 0x00, 0x05};
    EXPECT_LT(ComWrt(1, frame, kFrameBytes), 0) << "the port was closed";

    // The quit asked for inside the loop is kept for the event loop, which ends at once. If it
    // was lost, the guard ends the loop so the test fails instead of hanging.
    if (closed) {
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [] { QuitUserInterface(-5); });
        guard.start(3000);
        const double t0 = Timer();
        EXPECT_EQ(RunUserInterface(), 0);
        EXPECT_LT(Timer() - t0, 1.0);
        guard.stop();
    }
}

TEST_F(Faults, PortChangedFromInsideRunModeLeavesAWorkingLink) {
    Connect();
    FillPortSelector(panels, link.com);
    SetCtrlVal(panels.panelHandle, DropDCom, 1);
    double changedAt = 0;
    std::size_t logAtChange = 0;
    Guarded([this] { return CountCommand(8) >= 5; },
            [this, &changedAt, &logAtChange] {
                changedAt = Timer();
                logAtChange = sensor->Log().size();
                Fire(DropDCom, EVENT_COMMIT);
            });
    // Going on with the new port is as good as ending by the time-out; this ends the former
    // soon, before the unpaced records fill the sensor's bounded log.
    Guarded([&changedAt] { return changedAt > 0 && Timer() > changedAt + 0.3; },
            [this] { Stop(); });
    Run();

    ASSERT_GT(changedAt, 0);
    EXPECT_LT(Timer() - changedAt, 2.5);
    EXPECT_EQ(link.com, 1);
    // The port was connected afresh inside the loop: echo, parameters, firmware.
    std::vector<int> after;
    const auto& log = sensor->Log();
    for (std::size_t i = logAtChange; i < log.size(); ++i)
        if (log[i].command != 8) after.push_back(log[i].command);
    EXPECT_EQ(after, (std::vector<int>{5, 2, 7}));

    RunTask(PushGET(link, RAM, params));
    EXPECT_EQ(StatusLine(), "Parameter-frame received! - Line Ok!");
}

TEST_F(Faults, FailedBlockReadDoesNotEndVideoMode) {
    Connect();
    int cyclesAtFault = -1;
    int failing = -1;  // index, among the block reads, of the one cut short
    Guarded([this] { return CountCommand(8) >= 2; },
            [this, &cyclesAtFault, &failing] {
                cyclesAtFault = CountCommand(8);
                failing = CountCommand(9);
                sensor->SetFault(9, Fault{FaultKind::kCut, 20, true});
            });
    const auto twoCyclesLater = [this, &cyclesAtFault] {
        return cyclesAtFault > 0 && CountCommand(8) >= cyclesAtFault + 3;
    };
    Guarded(twoCyclesLater, [this] { Stop(); });
    Video();

    ASSERT_GT(cyclesAtFault, 0);
    EXPECT_EQ(station.stop_flag, 1);
    EXPECT_NE(StatusLine(), "Timeout RS232-Line!");
    const auto& log = sensor->Log();
    // Whole cycles only, each measure command followed by its four block reads, and at least
    // two of them after the one with the failed read.
    ASSERT_EQ(log.size() % 5, 0u);
    ASSERT_GE(log.size(), static_cast<std::size_t>(5 * (cyclesAtFault + 3)));
    for (std::size_t c = 0; c < log.size(); c += 5) {
        EXPECT_EQ(log[c].command, 8) << c;
        for (int b = 1; b <= 4; ++b) EXPECT_EQ(log[c + b].command, 9) << c + b;
    }
    // The short block waited out its time-out, then the cycle went on.
    const std::size_t at = static_cast<std::size_t>(failing + failing / 4 + 1);
    ASSERT_LT(at + 1, log.size());
    EXPECT_GE(log[at + 1].time - log[at].time, 1.5);

    // The last cycle's curves are whole and in step: the stray bytes were not taken for data.
    const std::size_t n = log.size();
    const GraphModel* a = GetGraphModel(panels.panelHandle, GRAPH_CurveA);
    const GraphModel* b = GetGraphModel(panels.panelHandle, GRAPH_CurveB);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    ASSERT_FALSE(a->plots.empty());
    ASSERT_FALSE(b->plots.empty());
    const auto a0 = sensor->Video(MASTER, log[n - 4].time);
    const auto a1 = sensor->Video(MASTER, log[n - 3].time);
    const auto b0 = sensor->Video(SLAVE, log[n - 2].time);
    const auto b1 = sensor->Video(SLAVE, log[n - 1].time);
    for (int i = 0; i < 64; ++i) {
        EXPECT_EQ(a->plots[0].curve.y[i], a0[i]) << i;
        EXPECT_EQ(a->plots[0].curve.y[64 + i], a1[64 + i]) << 64 + i;
        EXPECT_EQ(b->plots[0].curve.y[i], b0[i]) << i;
        EXPECT_EQ(b->plots[0].curve.y[64 + i], b1[64 + i]) << 64 + i;
    }
}

}  // namespace
