// Two sensors on two ports in one process: each link keeps its own line, packet, busy flag and
// state, so both run at once and one that is unplugged leaves the other going.
#include <gtest/gtest.h>

#include <cmath>

#include "exchange.h"
#include "port_table.h"
#include "rs232.h"
#include "sensor.h"
#include "timer.h"

namespace {

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
    const std::uint16_t none[PNUM] = {};
    // One run-mode cycle on both lines at once: both commands out, then both records.
    auto cycle = [&](Received* ra, Received* rb) {
        Exchange ea(a, protocol::kMeasure, none, Discard::kInThenOut);
        Exchange eb(b, protocol::kMeasure, none, Discard::kInThenOut);
        EXPECT_FALSE(eb.refused()) << "a busy line does not hold up another one";
        *ra = ea.AwaitFrame(Tie::kReplyWins);
        *rb = eb.AwaitFrame(Tie::kReplyWins);
    };

    constexpr int kCycles = 20;
    for (int i = 0; i < kCycles; ++i) {
        Received ra, rb;
        cycle(&ra, &rb);
        ASSERT_TRUE(ra.ok() && rb.ok()) << i;
        EXPECT_EQ(ra.words[protocol::kSIndex], i);
        EXPECT_EQ(rb.words[protocol::kSIndex], i);
        EXPECT_EQ(ra.words[protocol::kLeftA], sensorA->View(1.0).leftA);
        EXPECT_EQ(rb.words[protocol::kLeftA], sensorB->View(5.0).leftA);
    }
    // Both commands of a cycle were on their lines at once, not one after the other's reply.
    ASSERT_EQ(sensorA->Log().size(), sensorB->Log().size());
    for (std::size_t i = 0; i < sensorA->Log().size(); ++i)
        EXPECT_LT(std::abs(sensorA->Log()[i].time - sensorB->Log()[i].time), 0.01) << i;

    // A is unplugged in the middle of an exchange: it fails at once, B goes on.
    sensorA->SetFault(protocol::kMeasure, sim::Fault{sim::FaultKind::kHangUp});
    for (int i = 0; i < 5; ++i) {
        Received ra, rb;
        cycle(&ra, &rb);
        EXPECT_FALSE(ra.ok());
        EXPECT_TRUE(rb.ok()) << i;
    }
    EXPECT_EQ(b.Health().health, LinkHealth::kNone) << "B never stopped answering";
    EXPECT_TRUE(ComDeviceLost(1));
    EXPECT_TRUE(ComIsOpen(2));
}

}  // namespace
