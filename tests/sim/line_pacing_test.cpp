// Line pacing with injected times: 19200 baud 8N1 moves a 36-byte frame in 18.75 ms.
#include <gtest/gtest.h>

#include "line.h"
#include "sim_test_util.h"

using namespace simtest;

namespace {

constexpr double kFrameTime = 36 * 10.0 / 19200.0;  // 18.75 ms

TEST(LinePacing, ByteTimeFromSettings) {
    EXPECT_DOUBLE_EQ(sim::ByteSeconds(19200, 8, false, 1), sim::kByteSeconds19200);
    EXPECT_NEAR(sim::kByteSeconds19200 * 36, 0.01875, 1e-12);
    EXPECT_DOUBLE_EQ(sim::ByteSeconds(9600, 7, true, 2), 11.0 / 9600.0);
}

TEST(LinePacing, BytesFollowBackToBackAndQueueBehindEachOther) {
    sim::LineQueue q(0.001);
    const std::uint8_t a[3] = {1, 2, 3};
    q.Push(a, 3, 10.0);
    q.Push(a, 1, 10.0005);  // still busy: waits for the third byte
    EXPECT_DOUBLE_EQ(q.DueOf(0), 10.001);
    EXPECT_DOUBLE_EQ(q.DueOf(2), 10.003);
    EXPECT_DOUBLE_EQ(q.DueOf(3), 10.004);
    EXPECT_EQ(q.CountDue(10.0025), 2u);
    q.Push(a, 1, 20.0);  // idle line: starts at once
    EXPECT_DOUBLE_EQ(q.DueOf(4), 20.001);

    std::uint8_t out[8];
    EXPECT_EQ(q.Take(out, 8, 10.0035), 3u);
    EXPECT_EQ(out[2], 3);
    q.DropDue(15.0);
    EXPECT_EQ(q.Size(), 1u);
}

TEST(LinePacing, FrameReachesSensorAfterFrameTimeAndReplyTakesAsLong) {
    sim::Sensor sensor;
    sim::Line link(sensor, sim::kByteSeconds19200);
    const auto frame = CommandFrame(protocol::kEcho);
    const double t0 = 100.0;
    link.HostWrite(frame.data(), frame.size(), t0);
    ASSERT_TRUE(link.SensorDoneAt());
    EXPECT_NEAR(*link.SensorDoneAt(), t0 + kFrameTime, 1e-9);

    link.Advance(t0 + kFrameTime - 1e-6);
    EXPECT_TRUE(sensor.Log().empty()) << "the last byte is still on the line";
    EXPECT_EQ(link.HostAvailable(t0 + kFrameTime + 0.0005), 0u);  // first reply byte not yet
    ASSERT_EQ(sensor.Log().size(), 1u);
    EXPECT_NEAR(sensor.Log()[0].time, t0 + kFrameTime, 1e-9);

    // The reply's bytes arrive one by one; the 36th at twice the frame time.
    ASSERT_TRUE(link.HostReadyAt(36));
    EXPECT_NEAR(*link.HostReadyAt(36), t0 + 2 * kFrameTime, 1e-9);
    EXPECT_EQ(link.HostAvailable(t0 + kFrameTime + 10.5 * sim::kByteSeconds19200), 10u);
    EXPECT_EQ(link.HostAvailable(t0 + 2 * kFrameTime - 1e-6), 35u);
    EXPECT_EQ(link.HostAvailable(t0 + 2 * kFrameTime + 1e-9), 36u);
}

TEST(LinePacing, InstantLineAnswersAtOnceAndLateReplyWaits) {
    sim::Sensor sensor;
    sensor.SetFault(protocol::kReadRam, {sim::FaultKind::kLate, 0.5, false});
    sim::Line link(sensor, 0.0);
    const auto echo = CommandFrame(protocol::kEcho);
    link.HostWrite(echo.data(), echo.size(), 3.0);
    EXPECT_EQ(link.HostAvailable(3.0), 36u);

    std::uint8_t buf[64];
    EXPECT_EQ(link.HostRead(buf, sizeof buf, 3.0), 36u);
    const auto read = CommandFrame(protocol::kReadRam);
    link.HostWrite(read.data(), read.size(), 4.0);
    EXPECT_EQ(link.HostAvailable(4.49), 0u);
    EXPECT_EQ(link.HostAvailable(4.5), 36u);
}

// An input discard drops what has arrived, an output discard what has not crossed yet.
TEST(LinePacing, DiscardsDropArrivedInputAndUncrossedOutput) {
    sim::Sensor sensor;
    sim::Line link(sensor, sim::kByteSeconds19200);
    const auto frame = CommandFrame(protocol::kMeasure);
    link.HostWrite(frame.data(), frame.size(), 0.0);
    const double mid = kFrameTime + 20 * sim::kByteSeconds19200 + 1e-6;
    EXPECT_EQ(link.HostAvailable(mid), 20u);
    link.HostFlushInput(mid);
    EXPECT_EQ(link.HostAvailable(mid), 0u);
    EXPECT_EQ(link.HostAvailable(1.0), 16u) << "bytes still on the line arrive later";

    // Discarded one byte short of crossing: the frame never reaches the sensor whole, and the
    // line is free at once for the next one.
    link.HostWrite(frame.data(), frame.size(), 2.0);
    const double cut = 2.0 + kFrameTime - sim::kByteSeconds19200 / 2;
    link.HostFlushOutput(cut);
    link.HostWrite(frame.data(), frame.size(), cut);
    ASSERT_TRUE(link.SensorDoneAt());
    EXPECT_NEAR(*link.SensorDoneAt(), cut + kFrameTime, 1e-9);
    EXPECT_EQ(sensor.Log().size(), 1u);

    // Discarded after it crossed: nothing is lost.
    link.HostFlushOutput(cut + kFrameTime + 1e-6);
    EXPECT_EQ(sensor.Log().size(), 2u);
}

// Through an adapter a frame starts crossing only after its hold, and a discard within that time
// drops it whole; the reply reaches the host a hold after it crossed.
TEST(LinePacing, AnAdapterHoldsBytesBothWays) {
    sim::Sensor sensor;
    constexpr double kHold = sim::kAdapterHold;
    ASSERT_GT(kHold, 0.001);
    sim::Line link(sensor, sim::kByteSeconds19200, kHold);
    const auto frame = CommandFrame(protocol::kEcho);
    link.HostWrite(frame.data(), frame.size(), 0.0);
    ASSERT_TRUE(link.SensorDoneAt());
    EXPECT_NEAR(*link.SensorDoneAt(), kHold + kFrameTime, 1e-9);
    link.Advance(1.0);
    ASSERT_TRUE(link.HostReadyAt(36));
    EXPECT_NEAR(*link.HostReadyAt(36), 2 * kHold + 2 * kFrameTime, 1e-9);

    // Discarded when the line time alone has passed: the held bytes are lost.
    link.HostWrite(frame.data(), frame.size(), 2.0);
    link.HostFlushOutput(2.0 + kFrameTime + 1e-6);
    link.Advance(3.0);
    EXPECT_EQ(sensor.Log().size(), 1u) << "the second frame never arrived whole";
}

TEST(LinePacing, HangUpStopsTheLinkAtItsMoment) {
    sim::Sensor sensor;
    sensor.SetFault(protocol::kEcho, {sim::FaultKind::kHangUp, 0, false});
    sim::Line link(sensor, sim::kByteSeconds19200);
    const auto frame = CommandFrame(protocol::kEcho);
    link.HostWrite(frame.data(), frame.size(), 0.0);
    EXPECT_FALSE(link.HungUp(kFrameTime / 2));
    link.Advance(1.0);
    EXPECT_FALSE(link.HungUp(kFrameTime - 1e-6));
    EXPECT_TRUE(link.HungUp(kFrameTime + 1e-6));
    EXPECT_EQ(link.HostAvailable(2.0), 0u);
    link.HostWrite(frame.data(), frame.size(), 2.0);  // goes nowhere
    EXPECT_FALSE(link.NextEvent());
}

}  // namespace
