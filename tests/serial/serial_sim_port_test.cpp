// The in-process simulated sensor behind a port number: receive notification, queue and
// read semantics, pacing, faults and re-entrant callbacks.
#include <gtest/gtest.h>

#include "line.h"
#include "port_table.h"
#include "sensor.h"
#include "serial_hooks.h"
#include "serial_test_util.h"

using namespace serialtest;
using sim::FaultKind;

namespace {

constexpr int kPort = 1;
constexpr double kFrameTime = 36 * 10.0 / 19200.0;

class SimPort : public ::testing::Test {
  protected:
    void Start(bool paced) {
        PortTableReset();
        PortTableSetSimulated(kPort, paced);
        ASSERT_EQ(Open(kPort), 0);
        ASSERT_EQ(SetComTime(kPort, 2.0), 0);
        sensor = PortSimSensor(kPort);
        ASSERT_NE(sensor, nullptr);
    }
    void TearDown() override {
        CloseCom(kPort);
        PortTableReset();
    }
    sim::Sensor* sensor = nullptr;
};

TEST_F(SimPort, NotificationOnlyInsidePumpingOncePerFrame) {
    Start(false);
    Recorder r;
    ASSERT_EQ(r.Install(kPort), 0);
    protocol::Words w{};
    w[0] = 0x1234;
    ASSERT_EQ(Send(kPort, protocol::kEcho, w), 36);
    EXPECT_EQ(GetInQLen(kPort), 36) << "instant line: the reply is there at once";
    EXPECT_EQ(r.calls, 0) << "never inside a serial call";

    ASSERT_TRUE(PumpUntil([&] { return r.calls > 0; }, 1.0));
    EXPECT_EQ(r.lastEvent, LWRS_RECEIVE);
    EXPECT_EQ(r.queueAtCall, 36);
    ASSERT_EQ(r.frame.size(), 36u);
    EXPECT_EQ(protocol::GetWord(&r.frame[0]), protocol::kReplySync);
    EXPECT_EQ(protocol::GetWord(&r.frame[4]), 0x1234);
    PumpFor(0.05);
    EXPECT_EQ(r.calls, 1);

    // The sensor saw the frame the host wrote.
    ASSERT_EQ(sensor->Log().size(), 1u);
    EXPECT_EQ(sensor->Log()[0].command, protocol::kEcho);
    EXPECT_EQ(sensor->Log()[0].words, w);

    // A second exchange notifies again.
    ASSERT_EQ(Send(kPort, protocol::kReadRam), 36);
    ASSERT_TRUE(PumpUntil([&] { return r.calls == 2; }, 1.0));
    EXPECT_EQ(protocol::GetWord(&r.frame[4]), 200);  // powerA of the default set
}

TEST_F(SimPort, LongReplyNotifiesOnceShortReplyNever) {
    Start(false);
    Recorder r;
    ASSERT_EQ(r.Install(kPort), 0);
    sensor->SetFault(protocol::kEcho, {FaultKind::kLengthen, 4, false});
    Send(kPort, protocol::kEcho);
    PumpFor(0.1);
    EXPECT_EQ(r.calls, 1);
    EXPECT_EQ(GetInQLen(kPort), 0) << "the notification discarded the 4 extra bytes";

    sensor->SetFault(protocol::kEcho, {FaultKind::kCut, 35, false});
    Send(kPort, protocol::kEcho);
    PumpFor(0.1);
    EXPECT_EQ(r.calls, 1);
    EXPECT_EQ(GetInQLen(kPort), 35);

    // A notification that reads nothing is not repeated for the same bytes.
    Recorder idle;
    idle.readFrame = false;
    ASSERT_EQ(FlushInQ(kPort), 0);
    ASSERT_EQ(idle.Install(kPort), 0);
    sensor->ClearFaults();
    Send(kPort, protocol::kEcho);
    PumpFor(0.1);
    EXPECT_EQ(idle.calls, 1);
}

TEST_F(SimPort, TwoFramesInOneGoGiveTwoNotifications) {
    Start(false);
    Recorder r;
    r.readFrame = false;
    std::vector<std::vector<std::uint8_t>> frames;
    r.extra = [&](int port) {
        std::vector<std::uint8_t> f(36);
        ComRd(port, f.data(), 36);  // one frame; the next one stays waiting
        frames.push_back(f);
    };
    ASSERT_EQ(r.Install(kPort), 0);
    auto both = Frame(protocol::kEcho);
    const auto second = Frame(protocol::kReadEeprom);
    both.insert(both.end(), second.begin(), second.end());
    ASSERT_EQ(ComWrt(kPort, both.data(), 72), 72);
    ASSERT_TRUE(PumpUntil([&] { return r.calls == 2; }, 1.0));
    EXPECT_EQ(protocol::GetWord(&frames[0][2]), protocol::kEcho);
    EXPECT_EQ(protocol::GetWord(&frames[1][2]), protocol::kReadEeprom);
}

TEST_F(SimPort, PacedReplyArrivesByteByByteAtLineSpeed) {
    Start(true);
    Recorder r;
    ASSERT_EQ(r.Install(kPort), 0);
    const double t0 = Timer();
    ASSERT_EQ(Send(kPort, protocol::kEcho), 36);
    // Watch the queue grow without pumping: partial counts, never more than the time allows.
    bool sawPartial = false;
    int last = 0;
    while (Timer() - t0 < 2 * kFrameTime + 0.005) {
        const int n = GetInQLen(kPort);
        const double elapsed = Timer() - t0;
        ASSERT_GE(n, last);
        ASSERT_LE(n, std::max(0.0, (elapsed - kFrameTime) / sim::kByteSeconds19200) + 1);
        sawPartial = sawPartial || (n > 0 && n < 36);
        last = n;
        Delay(0.0005);
    }
    EXPECT_TRUE(sawPartial);
    EXPECT_EQ(GetInQLen(kPort), 36);
    EXPECT_EQ(r.calls, 0);
    ASSERT_TRUE(PumpUntil([&] { return r.calls > 0; }, 1.0));

    // Without anything waiting the notification comes at the 36th byte's due time.
    ASSERT_EQ(Send(kPort, protocol::kEcho), 36);
    const double t1 = Timer();
    ASSERT_TRUE(PumpUntil([&] { return r.calls == 2; }, 1.0));
    const double latency = Timer() - t1;
    EXPECT_GE(latency, 2 * kFrameTime);
    EXPECT_LT(latency, 2 * kFrameTime + 0.5) << "generous: shared machines stall";
}

TEST_F(SimPort, ReadWaitsWithoutPumpingAndTimesOut) {
    Start(true);
    Recorder r;
    ASSERT_EQ(r.Install(kPort), 0);
    std::uint8_t buf[64];
    Send(kPort, protocol::kEcho);
    const double t0 = Timer();
    EXPECT_EQ(ComRd(kPort, buf, 36), 36);
    EXPECT_GE(Timer() - t0, 2 * kFrameTime - 0.001);
    EXPECT_EQ(buf[1], 0xAA);
    PumpFor(0.05);
    EXPECT_EQ(r.calls, 0) << "the bytes were taken by the read, and no notification ran inside it";

    ASSERT_EQ(SetComTime(kPort, 0.2), 0);
    sensor->SetFault(protocol::kEcho, {FaultKind::kCut, 10, true});
    Send(kPort, protocol::kEcho);
    const double t1 = Timer();
    EXPECT_EQ(ComRd(kPort, buf, 36), 10) << "a short read returns what came";
    EXPECT_NEAR(Timer() - t1, 0.2, 0.1);
}

// As on a UART: an output discard loses what has not crossed, an input discard what arrived.
TEST_F(SimPort, DiscardsLoseUncrossedOutputAndArrivedInput) {
    Start(true);
    Send(kPort, protocol::kEcho);
    ASSERT_EQ(FlushOutQ(kPort), 0);
    Delay(2 * kFrameTime);
    EXPECT_TRUE(sensor->Log().empty()) << "discarded before it crossed";
    EXPECT_EQ(GetInQLen(kPort), 0);

    Send(kPort, protocol::kEcho);
    Delay(kFrameTime + 10 * sim::kByteSeconds19200);
    ASSERT_EQ(FlushOutQ(kPort), 0);  // the frame has crossed: nothing to lose
    const int arrived = GetInQLen(kPort);
    ASSERT_GT(arrived, 0);
    ASSERT_EQ(FlushInQ(kPort), 0);
    const int afterFlush = GetInQLen(kPort);
    EXPECT_LT(afterFlush, arrived);
    Delay(kFrameTime);
    const int rest = GetInQLen(kPort);
    EXPECT_GT(rest, 0);
    EXPECT_LT(rest, 36);
    ASSERT_EQ(sensor->Log().size(), 1u);
}

TEST_F(SimPort, CallbackMayCloseOrReinstallOrFlushOnItsOwnPort) {
    Start(false);
    {
        Recorder r;
        r.extra = [](int port) { EXPECT_EQ(CloseCom(port), 0); };
        ASSERT_EQ(r.Install(kPort), 0);
        Send(kPort, protocol::kEcho);
        ASSERT_TRUE(PumpUntil([&] { return r.calls > 0; }, 1.0));
        PumpFor(0.02);
        EXPECT_EQ(r.calls, 1);
        EXPECT_EQ(GetInQLen(kPort), kComNotOpen);
    }
    ASSERT_EQ(Open(kPort), 0);
    {
        Recorder r;
        r.extra = [](int port) { InstallComCallback(port, 0, 0, 0, nullptr, nullptr); };
        ASSERT_EQ(r.Install(kPort), 0);
        Send(kPort, protocol::kEcho);
        Send(kPort, protocol::kEcho);
        PumpFor(0.05);
        EXPECT_EQ(r.calls, 1) << "removed from inside itself";
    }
    {
        Recorder first, second;
        first.extra = [&](int port) { second.Install(port); };
        FlushInQ(kPort);
        ASSERT_EQ(first.Install(kPort), 0);
        Send(kPort, protocol::kEcho);
        ASSERT_TRUE(PumpUntil([&] { return first.calls == 1; }, 1.0));
        Send(kPort, protocol::kEcho);
        ASSERT_TRUE(PumpUntil([&] { return second.calls == 1; }, 1.0));
        EXPECT_EQ(first.calls, 1);
    }
    {
        // Reopening the port from inside the notification.
        Recorder r;
        r.extra = [](int port) { EXPECT_EQ(Open(port), 0); };
        ASSERT_EQ(r.Install(kPort), 0);
        Send(kPort, protocol::kEcho);
        ASSERT_TRUE(PumpUntil([&] { return r.calls > 0; }, 1.0));
        EXPECT_EQ(Send(kPort, protocol::kEcho), 36);
        PumpFor(0.02);
        EXPECT_EQ(r.calls, 1) << "reopened without a notification";
    }
}

TEST_F(SimPort, HangUpClosesThePortLikeAVanishedDevice) {
    Start(true);
    Recorder r;
    ASSERT_EQ(r.Install(kPort), 0);
    sensor->SetFault(protocol::kEcho, {FaultKind::kHangUp, 0, false});
    ASSERT_EQ(Send(kPort, protocol::kEcho), 36);
    EXPECT_GE(GetInQLen(kPort), 0) << "the frame has not reached the sensor yet";
    PumpFor(kFrameTime + 0.03);
    std::uint8_t buf[36] = {};
    EXPECT_EQ(GetInQLen(kPort), kComNotOpen);
    EXPECT_LT(ComWrt(kPort, buf, 36), 0);
    EXPECT_LT(ComRd(kPort, buf, 36), 0);
    EXPECT_LT(FlushInQ(kPort), 0);
    EXPECT_EQ(r.calls, 0);
    EXPECT_EQ(ComErrorCount(kPort), 1);
    EXPECT_EQ(CloseCom(kPort), 0);
}

TEST_F(SimPort, LateReplyArrivesAfterItsDelay) {
    Start(false);
    Recorder r;
    ASSERT_EQ(r.Install(kPort), 0);
    sensor->SetFault(protocol::kReadRam, {FaultKind::kLate, 0.15, true});
    const double t0 = Timer();
    Send(kPort, protocol::kReadRam);
    ASSERT_TRUE(PumpUntil([&] { return r.calls > 0; }, 1.0));
    EXPECT_GE(r.firstCallTime - t0, 0.15);
}

}  // namespace
