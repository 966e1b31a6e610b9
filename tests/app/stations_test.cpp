// Two stations in one event loop, each with its own panels and its own qtor-sensor-sim on a
// pseudo-terminal paced at 19200 baud, driven through their panels' callbacks as a user's
// clicks drive them: both run at the line's pace, Stop on one leaves the other running, and one
// unplugged leaves the other going and connects again by itself when it comes back.
#include <gtest/gtest.h>

#include <QTest>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "../serial/serial_sim_process.h"
#include "QtorKMBscope10.h"
#include "commands.h"
#include "event_loop.h"
#include "exchange.h"
#include "files.h"
#include "link_view.h"
#include "port_table.h"
#include "record_csv.h"
#include "rs232.h"
#include "sensor.h"
#include "sensors.h"
#include "startup.h"
#include "station.h"
#include "toolkit.h"
#include "toolkit_internal.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

// Measure commands and their records on `link` until `until`; counts the records.
Task<> BareLoop(SensorLink& link, Clock::time_point until, long long* records) {
    const std::uint16_t none[PNUM] = {};
    while (Clock::now() < until) {
        Exchange measure(link);
        co_await measure.Write(protocol::kMeasure, none, Discard::kInThenOut);
        const Received got = co_await measure.Frame(Tie::kReplyWins);
        *records += got.ok();
    }
}

class TwoStations : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (loaded[0].panelHandle > 0) return;
        RegisterCallbacks();
        const std::string file = std::string(QTOR_BIN_DIR) + "/" + kPanelFile;
        for (PanelHandles& p : loaded) ASSERT_EQ(LoadPanels(file.c_str(), &p), 0);
    }

    void SetUp() override {
        PortTableReset();
        for (int i = 0; i < 2; ++i) {
            paths[i] = (fs::temp_directory_path() /
                        ("qtor-station-" + std::to_string(i) + "-" + std::to_string(getpid())))
                           .string();
            Plug(i);
            PortTableSetDevice(i + 1, paths[i]);
            stations[i] = std::make_unique<Station>(i + 1);
            Station& s = *stations[i];
            s.AdoptPanels(loaded[i]);
            InitVars(s);
            FillPortSelector(s.panels, s.link.com);
        }
    }

    void TearDown() override {
        for (auto& s : stations) {
            s->link.CancelActivities();
            s->link.CloseLine();
            s.reset();
        }
        for (int i = 0; i < 2; ++i) {
            sims[i].reset();
            fs::remove(paths[i]);
        }
    }

    // A sensor at the other end of link path `i`, paced as a UART is.
    void Plug(int i) {
        sims[i] = std::make_unique<SimProcess>(
            std::vector<std::string>{"--link", paths[i], "--hold", std::to_string(1 + 4 * i)});
        ASSERT_FALSE(sims[i]->path().empty());
    }
    void Unplug(int i) { ASSERT_EQ(sims[i]->Stop(SIGTERM), 0); }

    void Press(int i, int control, int event) {
        CallCtrlCallback(stations[i]->panels.panelHandle, control, event);
    }
    // Runs the event loop for `seconds` of the wall clock, or until `done` holds.
    static void RunFor(double seconds, const std::function<bool()>& done = {}) {
        const auto end = Clock::now() + std::chrono::milliseconds(static_cast<int>(seconds * 1000));
        while (Clock::now() < end && !(done && done())) ProcessSystemEvents(0.05);
    }
    long long Records(int i) const { return stations[i]->quality.Stats(Channel::kA).n; }
    LinkHealth Health(int i) const { return stations[i]->link.Health().health; }

    static inline PanelHandles loaded[2];
    std::string paths[2];
    std::unique_ptr<SimProcess> sims[2];
    std::unique_ptr<Station> stations[2];
};

TEST_F(TwoStations, RunAtTheLinesPaceStopAndUnplugOneLeaveTheOtherGoing) {
    // Both connect at once, each through its own link.
    for (int i = 0; i < 2; ++i) ASSERT_EQ(StartLine(*stations[i], Options{}), 0);
    RunFor(10, [this] { return !stations[0]->link.Active() && !stations[1]->link.Active(); });
    for (int i = 0; i < 2; ++i) ASSERT_EQ(Health(i), LinkHealth::kConnected) << i;

    // The pace the lines allow: the bare exchange loop on both at once.
    constexpr double kBare = 5.0, kRun = 20.0;
    long long bare[2] = {0, 0};
    {
        const auto until = Clock::now() + std::chrono::milliseconds(static_cast<int>(kBare * 1000));
        Task<> loops[2] = {BareLoop(stations[0]->link, until, &bare[0]),
                           BareLoop(stations[1]->link, until, &bare[1])};
        int ended = 0;
        for (Task<>& t : loops) t.Start([&ended] { ++ended; });
        RunFor(kBare + 3, [&ended] { return ended == 2; });
        ASSERT_EQ(ended, 2);
    }

    // Run mode on both through their panels.
    for (int i = 0; i < 2; ++i) Press(i, BTNRun, EVENT_COMMIT);
    RunFor(kRun);
    for (int i = 0; i < 2; ++i) {
        const double bareRate = static_cast<double>(bare[i]) / kBare;
        const double runRate = static_cast<double>(Records(i)) / kRun;
        EXPECT_GE(runRate, 0.98 * bareRate)
            << "station " << i << ": " << runRate << " records/s against " << bareRate;
    }
    // The two sensors' objects stand at different places: each station shows its own.
    EXPECT_NE(stations[0]->meas.leftA, stations[1]->meas.leftA);

    // Stop on the first: the second runs on.
    Press(0, BTNStop, EVENT_LEFT_CLICK);
    RunFor(1, [this] { return !stations[0]->link.Active(); });
    ASSERT_FALSE(stations[0]->link.Active());
    const long long stopped = Records(0), running = Records(1);
    RunFor(2);
    EXPECT_EQ(Records(0), stopped);
    EXPECT_GT(Records(1), running + 30) << "the second station kept its pace";

    // The first runs again and is unplugged: it ends, the second goes on; plugged in again, the
    // first connects by itself.
    Press(0, BTNRun, EVENT_COMMIT);
    RunFor(1);
    Unplug(0);
    RunFor(2, [this] { return Health(0) == LinkHealth::kDisconnected; });
    EXPECT_EQ(Health(0), LinkHealth::kDisconnected);
    EXPECT_TRUE(stations[0]->linkView.Waiting());
    const long long meanwhile = Records(1);
    RunFor(2);
    EXPECT_GT(Records(1), meanwhile + 30) << "the second station did not wait for the first";
    Plug(0);
    RunFor(5, [this] { return Health(0) == LinkHealth::kConnected; });
    EXPECT_EQ(Health(0), LinkHealth::kConnected) << stations[0]->linkView.State();
    EXPECT_EQ(Health(1), LinkHealth::kConnected);
    EXPECT_TRUE(stations[1]->link.ModeRunning());

    Press(1, BTNStop, EVENT_LEFT_CLICK);
    RunFor(2, [this] { return !stations[1]->link.Active(); });
    EXPECT_FALSE(stations[1]->link.Active());
}

// Three sensors in one window, each on its own paced pseudo-terminal sensor, the second and
// third added through the first one's Add sensor button: all run at the line's pace through
// their panels; Escape stops the shown one only; an alarm of a hidden tab stays on the overview
// until it is acknowledged; one unplugged says so on the overview and connects again by itself
// while the others keep their pace.
class ThreeSensors : public ::testing::Test {
  protected:
    void SetUp() override {
        RegisterCallbacks();
        PortTableReset();
        for (int i = 0; i < 3; ++i) {
            paths[i] = (fs::temp_directory_path() /
                        ("qtor-sensors-" + std::to_string(i) + "-" + std::to_string(getpid())))
                           .string();
            Plug(i);
            PortTableSetDevice(i + 1, paths[i]);
        }
    }
    void TearDown() override {
        SetListDialogHook({});
        for (std::size_t i = 0; i < sensors.Count(); ++i) sensors.At(i).link.CloseLine();
        for (int i = 0; i < 3; ++i) {
            sims[i].reset();
            fs::remove(paths[i]);
        }
    }
    void Plug(int i) {
        std::vector<std::string> args = {"--link", paths[i], "--hold", std::to_string(0.1 * i)};
        // The first sensor's channel A leaves its window from its 30th record on.
        if (i == 0) args.insert(args.end(), {"--excursion", "30:100000000"});
        sims[i] = std::make_unique<SimProcess>(args);
        ASSERT_FALSE(sims[i]->path().empty());
    }
    // The Add sensor button of the first sensor, its list answered with port `com`.
    void AddThrough(int com) {
        SetListDialogHook(
            [com](const std::string&, const std::vector<std::string>& entries, int* picked) {
                const std::string name = "COM" + std::to_string(com) + " ";
                for (std::size_t i = 0; i < entries.size(); ++i)
                    if (entries[i].rfind(name, 0) == 0) *picked = static_cast<int>(i);
                return 1;
            });
        CallCtrlCallback(sensors.At(0).panels.panelHandle, BTNAddSensor, EVENT_COMMIT);
    }
    void Press(std::size_t i, int control, int event) {
        CallCtrlCallback(sensors.At(i).panels.panelHandle, control, event);
    }
    static void RunFor(double seconds, const std::function<bool()>& done = {}) {
        const auto end = Clock::now() + std::chrono::milliseconds(static_cast<int>(seconds * 1000));
        while (Clock::now() < end && !(done && done())) ProcessSystemEvents(0.05);
    }
    bool AllIdle() const {
        for (std::size_t i = 0; i < sensors.Count(); ++i)
            if (sensors.At(i).link.Active()) return false;
        return true;
    }
    long long Records(std::size_t i) const { return sensors.At(i).quality.Stats(Channel::kB).n; }
    std::string Overview(std::size_t i) const {
        std::string text;
        GetPanelTabOverview(sensors.Tabbed(), sensors.At(i).panels.panelHandle, &text, nullptr);
        return text;
    }
    bool Says(std::size_t i, const std::string& words) const {
        return Overview(i).find(words) != std::string::npos;
    }

    std::string paths[3];
    std::unique_ptr<SimProcess> sims[3];
    Sensors sensors;
};

TEST_F(ThreeSensors, RunAtTheLinesPaceAndEachKeepsItsOwnStopAlarmAndLink) {
    ASSERT_NE(sensors.Add(1, true), nullptr);
    ASSERT_EQ(StartLine(sensors.At(0), Options{}), 0);
    RunFor(10, [this] { return AllIdle(); });
    EXPECT_EQ(sensors.Tabbed(), 0) << "one sensor: its main panel is the window";
    AddThrough(2);
    AddThrough(3);
    ASSERT_EQ(sensors.Count(), 3u);
    ASSERT_GT(sensors.Tabbed(), 0);
    AddThrough(2);
    EXPECT_EQ(sensors.Count(), 3u) << "a port in use is refused";
    std::string status;
    GetCtrlVal(sensors.At(0).panels.panelHandle, TEXT_Status, &status);
    EXPECT_EQ(status, "COM2 is used by another sensor");
    RunFor(10, [this] { return AllIdle(); });
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(sensors.At(i).link.Health().health, LinkHealth::kConnected) << i;
        EXPECT_EQ(sensors.At(i).link.com, static_cast<int>(i) + 1);
    }
    DisplayPanel(sensors.Window());

    // The pace the lines allow: the bare exchange loop on all three at once.
    constexpr double kBare = 5.0, kRun = 20.0;
    long long bare[3] = {0, 0, 0};
    {
        const auto until = Clock::now() + std::chrono::milliseconds(static_cast<int>(kBare * 1000));
        std::vector<Task<>> loops;
        for (std::size_t i = 0; i < 3; ++i)
            loops.push_back(BareLoop(sensors.At(i).link, until, &bare[i]));
        int ended = 0;
        for (Task<>& t : loops) t.Start([&ended] { ++ended; });
        RunFor(kBare + 3, [&ended] { return ended == 3; });
        ASSERT_EQ(ended, 3);
    }
    for (std::size_t i = 0; i < 3; ++i) Press(i, BTNRun, EVENT_COMMIT);
    RunFor(kRun);
    for (std::size_t i = 0; i < 3; ++i) {
        const double bareRate = static_cast<double>(bare[i]) / kBare;
        const double runRate = static_cast<double>(Records(i)) / kRun;
        EXPECT_GE(runRate, 0.98 * bareRate)
            << "sensor " << i << ": " << runRate << " records/s against " << bareRate;
        EXPECT_TRUE(Says(i, " - Run")) << Overview(i);
    }
    EXPECT_NE(sensors.At(1).meas.leftA, sensors.At(2).meas.leftA) << "each shows its own object";

    // The first sensor's alarm, seen on the overview while another tab is shown, until it is
    // acknowledged in its own tab.
    sensors.Show(sensors.At(1));
    RunFor(0.5);
    EXPECT_TRUE(Says(0, "A ") && Says(0, "ALARM")) << Overview(0);
    EXPECT_FALSE(Says(1, "ALARM")) << Overview(1);
    int colour = 0, calm = 0;
    GetPanelTabOverview(sensors.Tabbed(), sensors.At(0).panels.panelHandle, nullptr, &colour);
    GetPanelTabOverview(sensors.Tabbed(), sensors.At(1).panels.panelHandle, nullptr, &calm);
    EXPECT_NE(colour, calm);
    ClickPanelTabOverview(sensors.Tabbed(), sensors.At(0).panels.panelHandle);
    RunFor(0.3);
    EXPECT_EQ(sensors.Shown(), &sensors.At(0)) << "a click on its entry shows its tab";
    Press(0, BTNStateA, EVENT_COMMIT);
    RunFor(0.5);
    EXPECT_TRUE(Says(0, "A ") && !Says(0, "ALARM")) << Overview(0);

    // Escape stops the sensor shown, and only that one.
    sensors.Show(sensors.At(1));
    RunFor(0.3);
    QTest::keyClick(qtor::FindPanel(sensors.Tabbed())->window, Qt::Key_Escape);
    RunFor(2, [this] { return !sensors.At(1).link.Active(); });
    EXPECT_FALSE(sensors.At(1).link.Active());
    sensors.Refresh();
    EXPECT_TRUE(Says(1, " - Idle")) << Overview(1);
    const long long stopped = Records(1), first = Records(0), third = Records(2);
    RunFor(2);
    EXPECT_EQ(Records(1), stopped);
    EXPECT_GT(Records(0), first + 30);
    EXPECT_GT(Records(2), third + 30);

    // The third is unplugged: the overview says so, the first keeps its pace; plugged in
    // again, the third connects by itself.
    ASSERT_EQ(sims[2]->Stop(SIGTERM), 0);
    RunFor(2, [this] { return sensors.At(2).link.Health().health == LinkHealth::kDisconnected; });
    sensors.Refresh();
    EXPECT_TRUE(Says(2, "disconnected")) << Overview(2);
    const long long meanwhile = Records(0);
    RunFor(2);
    EXPECT_GT(Records(0), meanwhile + 30) << "the first sensor did not wait for the third";
    Plug(2);
    RunFor(5, [this] { return sensors.At(2).link.Health().health == LinkHealth::kConnected; });
    EXPECT_EQ(sensors.At(2).link.Health().health, LinkHealth::kConnected);
    sensors.Refresh();
    EXPECT_TRUE(Says(2, "connected")) << Overview(2);

    Press(0, BTNStop, EVENT_LEFT_CLICK);
    RunFor(2, [this] { return AllIdle(); });
    EXPECT_TRUE(AllIdle());
}

// A sensor that does not answer at start-up holds up no other: the one that answers is
// connected and runs while the silent one's line check still waits, and the overview says
// which is which.
TEST(SilentAtStartUp, LeavesTheOtherSensorsWorking) {
    RegisterCallbacks();
    PortTableReset();
    PortTableSetSimulated(1, false);
    PortTableSetSimulated(2, false);
    PortSimSensor(2)->SetFault(protocol::kEcho, sim::Fault{sim::FaultKind::kNoReply});
    Sensors sensors;
    for (int n : {1, 2}) ASSERT_NE(sensors.Add(n, true), nullptr);
    for (std::size_t i = 0; i < 2; ++i) ASSERT_EQ(StartLine(sensors.At(i), Options{}), 0);
    const auto end = Clock::now() + std::chrono::seconds(5);
    while (Clock::now() < end && sensors.At(0).link.Active()) ProcessSystemEvents(0.05);
    EXPECT_EQ(sensors.At(0).link.Health().health, LinkHealth::kConnected);
    EXPECT_TRUE(sensors.At(1).link.Active()) << "the silent one still waits for its echo";
    CallCtrlCallback(sensors.At(0).panels.panelHandle, BTNRun, EVENT_COMMIT);
    while (Clock::now() < end && sensors.At(1).link.Active()) ProcessSystemEvents(0.05);
    EXPECT_EQ(sensors.At(1).link.Health().health, LinkHealth::kNoReply);
    EXPECT_GT(sensors.At(0).quality.Stats(Channel::kA).n, 10) << "the first ran meanwhile";
    sensors.Refresh();
    std::string first, second;
    GetPanelTabOverview(sensors.Tabbed(), sensors.At(0).panels.panelHandle, &first, nullptr);
    GetPanelTabOverview(sensors.Tabbed(), sensors.At(1).panels.panelHandle, &second, nullptr);
    EXPECT_NE(first.find("simulated - Run"), std::string::npos) << first;
    EXPECT_NE(second.find("no reply - Idle"), std::string::npos) << second;
    CallCtrlCallback(sensors.At(0).panels.panelHandle, BTNStop, EVENT_LEFT_CLICK);
    while (Clock::now() < end + std::chrono::seconds(2) && sensors.At(0).link.Active())
        ProcessSystemEvents(0.05);
    for (std::size_t i = 0; i < 2; ++i) sensors.At(i).link.CloseLine();
}

// Remove ends a sensor's mode, closes its port and its recording and takes its tab away; back
// to one sensor, its main panel is a window of its own again, and the last one stays.
TEST(RemoveSensor, EndsItsRunClosesItsPortAndFilesAndTheLastStays) {
    RegisterCallbacks();
    PortTableReset();
    for (int n : {1, 2, 3}) PortTableSetSimulated(n, false);
    Sensors sensors;
    for (int n : {1, 2, 3}) ASSERT_NE(sensors.Add(n, true), nullptr);
    for (std::size_t i = 0; i < 3; ++i) ASSERT_EQ(StartLine(sensors.At(i), Options{}), 0);
    const auto until = [](const std::function<bool()>& done) {
        const auto end = Clock::now() + std::chrono::seconds(5);
        while (Clock::now() < end && !done()) ProcessSystemEvents(0.01);
    };
    until([&] { return !sensors.At(0).link.Active() && !sensors.At(1).link.Active(); });
    const fs::path file = fs::temp_directory_path() / ("qtor-removed-" + std::to_string(getpid()));
    std::string error;
    ASSERT_TRUE(sensors.At(1).recorder.Start(file.string(), false, &error)) << error;
    CallCtrlCallback(sensors.At(1).panels.panelHandle, BTNRun, EVENT_COMMIT);
    until([&] { return sensors.At(1).quality.Stats(Channel::kA).n > 5; });
    const int removedPanel = sensors.At(1).panels.panelHandle;
    CallCtrlCallback(removedPanel, BTNRemoveSensor, EVENT_COMMIT);
    until([&] { return sensors.Count() == 2; });
    ASSERT_EQ(sensors.Count(), 2u);
    EXPECT_FALSE(ComIsOpen(2));
    EXPECT_EQ(PanelShown(removedPanel), 0);
    // Its recording was closed whole: every row it took is in the file.
    std::ifstream in(file);
    long long rows = -1;
    for (std::string line; std::getline(in, line);) ++rows;
    EXPECT_GT(rows, 5);
    EXPECT_EQ(sensors.At(1).link.com, 3) << "the others stay, in their order";

    CallCtrlCallback(sensors.At(0).panels.panelHandle, BTNRemoveSensor, EVENT_COMMIT);
    until([&] { return sensors.Count() == 1; });
    ASSERT_EQ(sensors.Count(), 1u);
    EXPECT_EQ(sensors.Tabbed(), 0) << "one sensor: no tabs";
    EXPECT_EQ(sensors.Window(), sensors.At(0).panels.panelHandle);
    CallCtrlCallback(sensors.At(0).panels.panelHandle, BTNRemoveSensor, EVENT_COMMIT);
    ProcessSystemEvents(0.01);
    EXPECT_EQ(sensors.Count(), 1u);
    std::string status;
    GetCtrlVal(sensors.At(0).panels.panelHandle, TEXT_Status, &status);
    EXPECT_EQ(status, "The last sensor stays");
    sensors.At(0).link.CloseLine();
    fs::remove(file);
    fs::remove(EventsPathFor(file.string()));
}

}  // namespace
