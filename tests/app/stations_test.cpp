// Two stations in one event loop, each with its own panels and its own qtor-sensor-sim on a
// pseudo-terminal paced at 19200 baud, driven through their panels' callbacks as a user's
// clicks drive them: both run at the line's pace, Stop on one leaves the other running, and one
// unplugged leaves the other going and connects again by itself when it comes back.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "../serial/serial_sim_process.h"
#include "QtorKMBscope10.h"
#include "commands.h"
#include "event_loop.h"
#include "exchange.h"
#include "link_view.h"
#include "port_table.h"
#include "rs232.h"
#include "startup.h"
#include "station.h"
#include "toolkit.h"

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

}  // namespace
