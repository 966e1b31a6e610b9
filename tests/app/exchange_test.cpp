// One exchange on the line at a time, and a parameter path that says only what is true: a
// button pressed while the line is busy waits its turn, a send is read back before it is
// reported, a line check shows the target it chose.
#include <algorithm>

#include "../serial/serial_sim_process.h"
#include "app_fixture.h"
#include "modes.h"
#include "parameter_callbacks.h"
#include "run_task.h"
#include "sensor_link.h"
#include "teach.h"
#include "transfer.h"

namespace {

using sim::Fault;
using sim::FaultKind;

class OneExchange : public AppTest {
  protected:
    void TearDown() override {
        SetTestClockStep(0);
        AppTest::TearDown();
    }
    void Stop() { Fire(BTNStop, EVENT_LEFT_CLICK); }
    void Teach() { Fire(ButtonTeach, EVENT_COMMIT); }
    void Send() { Fire(BTNSend, EVENT_LEFT_CLICK); }
    void Pick(int port) {
        SetCtrlVal(panels.panelHandle, DropDCom, port);
        Fire(DropDCom, EVENT_VAL_CHANGED);
    }
    std::vector<int> Radios() {
        return {Value(panels.panelHandle, RBTRam), Value(panels.panelHandle, RBTEeprom),
                Value(panels.panelHandle, RBTFile)};
    }
    // Index of the first frame with `command` in the sensor's log, or -1.
    int Find(int command) const {
        const auto& log = sensor->Log();
        for (std::size_t i = 0; i < log.size(); ++i)
            if (log[i].command == command) return static_cast<int>(i);
        return -1;
    }
};

TEST_F(OneExchange, TeachInRunModeIsCarriedOutBetweenTwoCyclesAndTheModeGoesOn) {
    Connect();
    sensor->Hold(1.0);  // the records after the teach show the taught place, however slow the run
    const int tolerance = sensor->Ram()[9];
    When([this] { return CountCommand(8) >= 5; }, [this] { Teach(); });
    When([this] { return CountCommand(6) == 1 && CountCommand(8) >= Find(6) + 5; },
         [this] { Stop(); });
    Fire(BTNRun, EVENT_COMMIT);

    const auto& log = sensor->Log();
    const int teach = Find(6);
    ASSERT_GT(teach, 0);
    ASSERT_LT(teach + 2, static_cast<int>(log.size()));
    EXPECT_EQ(log[teach - 1].command, 8);
    EXPECT_EQ(log[teach + 1].command, 2) << "the taught set-points are read back at once";
    EXPECT_EQ(log[teach + 2].command, 8) << "then the mode goes on";
    EXPECT_EQ(CountCommand(6), 1);
    EXPECT_EQ(CountCommand(2), 1);
    // Every later command carries the taught set-points and the tolerance as it was: no record
    // was taken for the parameter set.
    for (std::size_t i = teach + 2; i < log.size(); ++i) {
        EXPECT_EQ(log[i].words[7], sensor->Ram()[7]) << i;
        EXPECT_EQ(log[i].words[8], sensor->Ram()[8]) << i;
        EXPECT_EQ(log[i].words[9], tolerance) << i;
    }
    EXPECT_EQ(params.tValA, sensor->Ram()[7]);
    EXPECT_EQ(GetGraphModel(panels.panelHandle, GRAPH_VideoA)->cursors[0].x, params.tValA);
}

TEST_F(OneExchange, TeachInVideoModeWaitsForTheCycleToEnd) {
    // Paced, so that the press lands while a block read waits for its reply.
    PortTableSetSimulated(1, true);
    Connect();
    When([this] { return CountCommand(9) >= 2; }, [this] { Teach(); });
    When([this] { return CountCommand(6) == 1 && CountCommand(8) >= Find(6) / 5 + 2; },
         [this] { Stop(); });
    Fire(BTNVideo, EVENT_COMMIT);

    std::vector<int> commands = Commands();
    const int teach = Find(6);
    ASSERT_GT(teach, 0);
    EXPECT_NE(StatusLine(), "Timeout RS232-Line!");
    // Whole cycles before the teach, the read-back right after it, whole cycles again after.
    commands.erase(commands.begin() + teach, commands.begin() + teach + 2);
    ASSERT_EQ(commands.size() % 5, 0u);
    for (std::size_t c = 0; c < commands.size(); c += 5) {
        EXPECT_EQ(commands[c], 8) << c;
        for (int b = 1; b <= 4; ++b) EXPECT_EQ(commands[c + b], 9) << c + b;
    }
    EXPECT_EQ(sensor->Log()[teach + 1].command, 2);
    EXPECT_EQ(params.tValB, sensor->Ram()[8]);
}

TEST_F(OneExchange, ButtonsPressedDuringAGetWaitForIt) {
    Connect();
    sensor->SetFault(2, Fault{FaultKind::kLate, 0.2, true});
    When([this] { return CountCommand(2) == 1; },
         [this] {
             Teach();
             Fire(ButtonReset, EVENT_COMMIT);
         });
    CallCtrlCallback(panels.panelHandle, BTNGet, EVENT_COMMIT);
    std::vector<int> whenTheGetEnded;
    link.WhenIdle([&] { whenTheGetEnded = Commands(); });
    Settle();
    EXPECT_EQ(whenTheGetEnded, (std::vector<int>{2})) << "nothing else went out during the wait";
    Pump(0.1);
    EXPECT_EQ(Commands(), (std::vector<int>{2, 6, 2, 11}));
    EXPECT_EQ(StatusLine(), "Reset Max/Min OK!");
}

TEST_F(OneExchange, PortsPickedDuringAConnectWaitAndTheLastPickWins) {
    PortTableSetSimulated(2, false);
    PortTableSetSimulated(3, false);
    sim::Sensor* second = PortSimSensor(2);
    sim::Sensor* third = PortSimSensor(3);
    second->SetFault(5, Fault{FaultKind::kLate, 0.2, true});
    FillPortSelector(panels, link.com);
    When([second] { return !second->Log().empty(); },
         [this] {
             Pick(3);
             Pick(1);
             FillPortSelector(panels, link.com);  // a rescan meanwhile shows the port in use again
         });
    Pick(2);
    std::vector<int> got;
    for (const auto& f : second->Log()) got.push_back(f.command);
    EXPECT_EQ(got, (std::vector<int>{5, 2, 7})) << "the connect under way was not cut short";
    Pump(0.1);
    EXPECT_TRUE(third->Log().empty()) << "a pick overtaken by a later one is dropped";
    EXPECT_EQ(link.com, 1);
    EXPECT_EQ(Commands(), (std::vector<int>{5, 2, 7}));
    EXPECT_EQ(StatusLine(), sensor->FirmwareText());
}

// Writes `order` through the claimed exchange and waits for its reply.
Task<WaitResult> WriteAndWait(Exchange& e, SensorLink& link, int order) {
    co_await e.Write(order, link.pp, Discard::kInThenOut);
    const Received reply = co_await e.Frame(Tie::kReplyWins);
    co_return reply.result;
}

TEST_F(OneExchange, NoCommandIsWrittenWhileAnotherAwaitsItsReply) {
    Connect();
    {
        Exchange first(link);
        EXPECT_FALSE(first.refused());
        Exchange second(link);
        EXPECT_TRUE(second.refused());
        EXPECT_EQ(RunTask(second.Write(11, link.pp, Discard::kInThenOut)), kLineBusy);
        EXPECT_EQ(second.written(), kLineBusy);
        EXPECT_EQ(RunTask(WriteAndWait(first, link, 8)), WaitResult::kReply);
    }
    Exchange after(link);
    EXPECT_FALSE(after.refused());
    EXPECT_EQ(RunTask(WriteAndWait(after, link, 11)), WaitResult::kReply);
    EXPECT_EQ(Commands(), (std::vector<int>{8, 11}));
}

// A port closed while an exchange awaits its reply (its device vanished) ends the wait at
// once, and the state its closer gave stays.
TEST_F(OneExchange, APortClosedDuringAWaitEndsItAndKeepsTheLinkState) {
    Connect();
    sensor->SetFault(8, Fault{FaultKind::kNoReply, 0, false});
    When([] { return true; },
         [this] {
             CloseCom(1);
             link.ReportLink(LinkHealth::kDisconnected, 1, kDeviceVanished);
         });
    const double start = Timer();
    Exchange measure(link);
    EXPECT_EQ(RunTask(WriteAndWait(measure, link, 8)), WaitResult::kTimeOut);
    EXPECT_LT(Timer() - start, 0.5 * TIMEOUT);
    EXPECT_EQ(link.Health().health, LinkHealth::kDisconnected);
}

TEST_F(OneExchange, ALineCheckShowsTheRamTargetItChose) {
    ConnectStrict();
    SetCtrlVal(panels.panelHandle, RBTEeprom, 1);
    Fire(RBTEeprom, EVENT_VAL_CHANGED);
    ASSERT_EQ(Radios(), (std::vector<int>{0, 1, 0}));
    FillPortSelector(panels, link.com);
    Pick(1);
    EXPECT_EQ(station.target, RAM);
    EXPECT_EQ(Radios(), (std::vector<int>{1, 0, 0}));
    sensor->ClearLog();
    Send();
    EXPECT_EQ(Commands(), (std::vector<int>{1, 2}));
}

TEST_F(OneExchange, ASendIsReportedOnlyAsWhatTheReadBackShows) {
    ConnectStrict();
    SetCtrlVal(panels.panelHandle, NEDITeachA, 640);
    SetCtrlVal(panels.panelPopUp, NEDITSTime, 12345);

    // The sensor keeps its old set: the names of what differs, as the panels show them.
    sensor->SetFault(1, Fault{FaultKind::kIgnore});
    Send();
    EXPECT_EQ(Commands(), (std::vector<int>{1, 2, 2})) << "a difference is confirmed once";
    EXPECT_EQ(StatusLine(), "Parameters sent - read-back differs: Set-point A, Time setting!");

    // An EEPROM is given time to store its set before it is asked for it.
    sensor->ClearLog();
    SetCtrlVal(panels.panelHandle, RBTEeprom, 1);
    Fire(RBTEeprom, EVENT_VAL_CHANGED);
    sensor->SetEepromStoreSeconds(0.04);
    Send();
    ASSERT_EQ(Commands(), (std::vector<int>{3, 4}));
    EXPECT_GE(sensor->Log()[1].time - sensor->Log()[0].time, 0.049) << "asked after a pause";
    EXPECT_EQ(StatusLine(), "Parameters sent and verified!");
    EXPECT_EQ(sensor->Eeprom()[7], 640);

    // A store that outlasts the time-out is asked about once more, not reported as a time-out.
    sensor->ClearLog();
    sensor->SetEepromStoreSeconds(2.0);
    SetTestClockStep(0.1);
    SetCtrlVal(panels.panelHandle, NEDITeachA, 650);
    Send();
    EXPECT_EQ(Commands(), (std::vector<int>{3, 4, 4}));
    EXPECT_EQ(StatusLine(), "Parameters sent and verified!");

    // No reply: the time-out, not "Line Ok!".
    sensor->SetFault(4, Fault{FaultKind::kNoReply});
    Send();
    EXPECT_EQ(StatusLine(), "Timeout-RS-232...");
}

// A teach pressed while a send waits for its read-back follows it; both reach the sensor whole.
TEST_F(OneExchange, ATeachRightAfterASendFindsTheSetWritten) {
    ConnectStrict();
    sensor->Hold(1.0);
    SetCtrlVal(panels.panelHandle, NEDITTolLeff, 77);
    When([this] { return CountCommand(1) == 1; }, [this] { Teach(); });
    Send();
    Pump(0.2);
    EXPECT_EQ(Commands(), (std::vector<int>{1, 2, 6, 2}));
    EXPECT_EQ(sensor->Ram()[9], 77);
    EXPECT_EQ(params.tTol, 77);
    EXPECT_EQ(params.tValA, sensor->Ram()[7]);
}

// Through the real serial stack to qtor-sensor-sim, paced and as strict as a UART: every send,
// idle and between two run-mode cycles, reaches the sensor whole. The values change from send
// to send, so a write that went astray would show in its read-back.
TEST_F(OneExchange, SendsThroughAPseudoTerminalReachTheSensorWhole) {
    constexpr int kSends = 10;
    SimProcess sim({});
    ASSERT_FALSE(sim.path().empty());
    PortTableSetDevice(1, sim.path());
    RunTask(InitRS232(link, params));
    ASSERT_EQ(StatusLine(), "Q-TOR SIM V1.0");
    auto sendNext = [this](int i) {
        const int radio = i % 2 ? RBTEeprom : RBTRam;
        SetCtrlVal(panels.panelHandle, radio, 1);
        (i % 2 ? CC_RBTEeprom : CC_RBTRam)(panels.panelHandle, radio, EVENT_VAL_CHANGED, nullptr, 0,
                                           0);
        SetCtrlVal(panels.panelHandle, NEDITeachA, 400 + i);
        Send();
    };
    int verified = 0;
    for (int i = 0; i < kSends; ++i) {
        sendNext(i);
        verified += StatusLine() == "Parameters sent and verified!";
    }
    EXPECT_EQ(verified, kSends) << "idle";

    int served = 0;
    verified = 0;
    bool waiting = false;
    QTimer timer;
    timer.setInterval(10);
    auto next = [&] {
        const std::string s = StatusLine();
        const bool outcome = s == "Parameters sent and verified!" ||
                             s.rfind("Parameters sent - ", 0) == 0 || s == "Timeout-RS-232...";
        if (waiting && !outcome) return;
        if (waiting) {
            ++served;
            verified += s == "Parameters sent and verified!";
        }
        waiting = served < kSends;
        if (waiting) {
            sendNext(served + 1);
        } else {
            timer.stop();
            Stop();
        }
    };
    QObject::connect(&timer, &QTimer::timeout, [&] {
        // Pressed from the event loop, as a user's clicks are.
        insideWhen = true;
        next();
        insideWhen = false;
    });
    timer.start();
    Fire(BTNRun, EVENT_COMMIT);
    EXPECT_EQ(served, kSends);
    EXPECT_EQ(verified, kSends) << "during run mode";
}

TEST(ReadBackText, NamesAsManyWordsAsFitTheStatusLine) {
    EXPECT_EQ(ReadBackDiffersText({0}), "Parameters sent - read-back differs: Power A!");
    std::vector<int> all(PNUM);
    for (int k = 0; k < PNUM; ++k) all[k] = k;
    const std::string text = ReadBackDiffersText(all);
    EXPECT_LE(text.size(), 71u) << text;
    EXPECT_EQ(text.rfind("Parameters sent - read-back differs: Power A, ", 0), 0u) << text;
    EXPECT_NE(text.find(" more!"), std::string::npos) << text;
}

}  // namespace
