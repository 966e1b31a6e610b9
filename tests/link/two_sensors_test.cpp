// Two sensors on two ports in one process: each link keeps its own line, packet, busy flag and
// state, so both run at once and one that is unplugged leaves the other going.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "event_loop.h"
#include "exchange.h"
#include "port_table.h"
#include "rs232.h"
#include "sensor.h"
#include "timer.h"

namespace fs = std::filesystem;

namespace {

// `cycles` measure commands on `link`, each after the last one's record; what each wait brought.
Task<> Cycles(SensorLink& link, int cycles, std::vector<Received>* got) {
    const std::uint16_t none[PNUM] = {};
    for (int i = 0; i < cycles; ++i) {
        Exchange measure(link);
        co_await measure.Write(protocol::kMeasure, none, Discard::kInThenOut);
        got->push_back(co_await measure.Frame(Tie::kReplyWins));
    }
}

TEST(TwoSensors, RunSideBySideAndOneUnpluggedLeavesTheOtherGoing) {
    PortTableReset();
    PortTableSetSimulated(1, true);
    PortTableSetSimulated(2, true);
    sim::Sensor* sensorA = PortSimSensor(1);
    sim::Sensor* sensorB = PortSimSensor(2);
    ASSERT_NE(sensorA, sensorB);
    sensorA->Hold(1.0);
    sensorB->Hold(5.0);  // the object stands elsewhere: B's records differ from A's
    ASSERT_NE(sensorA->View(1.0).leftA, sensorB->View(5.0).leftA);
    SensorLink a(1), b(2);
    for (SensorLink* link : {&a, &b}) {
        ASSERT_EQ(OpenComConfig(link->com, "", 19200, NOPARITY, 8, 1, 4096, 4096), 0);
        link->InstallRxNotification();
    }
    // Each line runs its own cycles, one command and its record after the other, and neither
    // waits for the other: both are written before either reply has come.
    auto both = [&](int cycles, std::vector<Received>* ra, std::vector<Received>* rb) {
        Task<> ta = Cycles(a, cycles, ra);
        Task<> tb = Cycles(b, cycles, rb);
        int ended = 0;
        bool done = false;
        auto end = [&] { done = ++ended == 2; };
        ta.Start(end);
        tb.Start(end);
        RunEventLoopUntil(done);
    };

    // Each link traces its own line.
    const std::string traces[2] = {
        (fs::temp_directory_path() / ("qtor-trace-a-" + std::to_string(getpid()))).string(),
        (fs::temp_directory_path() / ("qtor-trace-b-" + std::to_string(getpid()))).string()};
    std::string why;
    ASSERT_TRUE(a.StartTrace(traces[0], false, &why)) << why;
    ASSERT_TRUE(b.StartTrace(traces[1], false, &why)) << why;

    constexpr int kCycles = 20;
    std::vector<Received> ra, rb;
    both(kCycles, &ra, &rb);
    a.trace.Stop();
    b.trace.Stop();
    for (const std::string& path : traces) {
        std::ifstream in(path);
        int tx = 0, rx = 0;
        for (std::string line; std::getline(in, line);) {
            tx += line.find(" TX 00 55 00 08 ") != std::string::npos;
            rx += line.find(" RX 00 aa ") != std::string::npos;
        }
        EXPECT_EQ(tx, kCycles) << path << ": its own commands only";
        EXPECT_EQ(rx, kCycles) << path;
        fs::remove(path);
    }
    ASSERT_EQ(ra.size(), static_cast<std::size_t>(kCycles));
    ASSERT_EQ(rb.size(), static_cast<std::size_t>(kCycles));
    for (int i = 0; i < kCycles; ++i) {
        ASSERT_TRUE(ra[i].ok() && rb[i].ok()) << i;
        EXPECT_EQ(ra[i].words[protocol::kSIndex], i);
        EXPECT_EQ(rb[i].words[protocol::kSIndex], i);
        EXPECT_EQ(ra[i].words[protocol::kLeftA], sensorA->View(1.0).leftA);
        EXPECT_EQ(rb[i].words[protocol::kLeftA], sensorB->View(5.0).leftA);
    }
    // The lines went side by side: the commands of each cycle reached both sensors at about
    // the same time, not one after the other's reply.
    ASSERT_EQ(sensorA->Log().size(), sensorB->Log().size());
    for (std::size_t i = 0; i < sensorA->Log().size(); ++i)
        EXPECT_LT(std::abs(sensorA->Log()[i].time - sensorB->Log()[i].time), 0.01) << i;

    // A is unplugged in the middle of an exchange: it fails at once, B goes on.
    sensorA->SetFault(protocol::kMeasure, sim::Fault{sim::FaultKind::kHangUp});
    ra.clear();
    rb.clear();
    both(5, &ra, &rb);
    for (int i = 0; i < 5; ++i) {
        EXPECT_FALSE(ra[i].ok());
        EXPECT_TRUE(rb[i].ok()) << i;
    }
    EXPECT_EQ(b.Health().health, LinkHealth::kNone) << "B never stopped answering";
    EXPECT_TRUE(ComDeviceLost(1));
    EXPECT_TRUE(ComIsOpen(2));
}

}  // namespace
