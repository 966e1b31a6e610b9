// The real serial stack over a pseudo-terminal served by qtor-sensor-sim.
// Pseudo-terminals: POSIX systems only.
#if !defined(_WIN32)
#include <gtest/gtest.h>

#include <cstdio>

#include "port_table.h"
#include "serial_hooks.h"
#include "serial_sim_process.h"
#include "serial_test_util.h"

using namespace serialtest;

namespace {

constexpr int kPort = 5;

class PtyPort : public ::testing::Test {
  protected:
    void Start(std::vector<std::string> args) {
        sim_ = std::make_unique<SimProcess>(args);
        ASSERT_FALSE(sim_->path().empty()) << "qtor-sensor-sim printed no path";
        PortTableReset();
        PortTableSetDevice(kPort, sim_->path());
        ASSERT_EQ(Open(kPort), 0) << sim_->path();
        ASSERT_EQ(SetComTime(kPort, 2.0), 0);
        ASSERT_EQ(FlushInQ(kPort), 0);
    }
    void TearDown() override {
        CloseCom(kPort);
        PortTableReset();
        if (sim_) {
            EXPECT_EQ(sim_->Stop(SIGTERM), 0) << "the sensor program ends cleanly";
        }
    }
    std::unique_ptr<SimProcess> sim_;
};

// Part of a frame already taken in when the notification is installed: the rest must still
// wake the program, however the port waits for whole frames.
TEST_F(PtyPort, NotificationFiresForAFrameAlreadyPartlyTakenIn) {
    Start({});  // paced: the reply crosses the line byte by byte
    ASSERT_EQ(Send(kPort, protocol::kEcho), 36);
    ASSERT_TRUE(PumpUntil([] { return GetInQLen(kPort) >= 10; }, 2.0));
    const int taken = GetInQLen(kPort);
    ASSERT_LT(taken, 36) << "the reply came too fast to split it";
    Recorder r;
    ASSERT_EQ(r.Install(kPort), 0);
    EXPECT_TRUE(PumpUntil([&] { return r.calls == 1; }, 1.0));
    EXPECT_EQ(r.frame.size(), 36u);
    if (r.frame.size() == 36u) {
        EXPECT_EQ(protocol::GetWord(&r.frame[0]), protocol::kReplySync);
    }
}

TEST_F(PtyPort, NotificationAfterWholeReplyFrame) {
    Start({"--instant"});
    Recorder r;
    ASSERT_EQ(r.Install(kPort), 0);
    protocol::Words w{};
    w[15] = 0xBEEF;
    double total = 0;
    for (int i = 1; i <= 10; ++i) {
        const double t0 = Timer();
        ASSERT_EQ(Send(kPort, protocol::kEcho, w), 36);
        ASSERT_TRUE(PumpUntil([&] { return r.calls == i; }, 2.0)) << "exchange " << i;
        total += Timer() - t0;
        ASSERT_EQ(r.frame.size(), 36u);
        EXPECT_EQ(protocol::GetWord(&r.frame[0]), protocol::kReplySync);
        EXPECT_EQ(protocol::GetWord(&r.frame[34]), 0xBEEF);
        EXPECT_EQ(r.queueAtCall, 36);
    }
    std::printf("[ figure   ] pty round trip, write to notification: %.3f ms\n",
                1000.0 * total / 10);
    EXPECT_EQ(ComErrorCount(kPort), 0);
}

TEST_F(PtyPort, QueueLengthSeesBytesTheSystemHoldsWithoutPumping) {
    Start({"--instant", "--fault", "5:lengthen:4"});
    Recorder r;
    ASSERT_EQ(r.Install(kPort), 0);
    ASSERT_EQ(Send(kPort, protocol::kEcho), 36);
    const double t0 = Timer();
    while (GetInQLen(kPort) < 40 && Timer() - t0 < 2.0) Delay(0.002);
    EXPECT_EQ(GetInQLen(kPort), 40);
    EXPECT_EQ(r.calls, 0);
    ASSERT_TRUE(PumpUntil([&] { return r.calls > 0; }, 1.0));
    PumpFor(0.05);
    EXPECT_EQ(r.calls, 1) << "a 40-byte reply notifies once";
    EXPECT_EQ(GetInQLen(kPort), 0);

    // Read directly, with the notification removed, as the block reads do.
    ASSERT_EQ(InstallComCallback(kPort, 0, 0, 0, nullptr, nullptr), 0);
    protocol::Words req{};
    req[1] = 1;
    ASSERT_EQ(Send(kPort, protocol::kDataBlock, req), 36);
    std::uint8_t block[128];
    EXPECT_EQ(ComRd(kPort, block, 128), 128);
}

TEST_F(PtyPort, PacedExchangeTakesTwoFrameTimes) {
    Start({});
    std::uint8_t buf[36];
    const double t0 = Timer();
    ASSERT_EQ(Send(kPort, protocol::kEcho), 36);
    ASSERT_EQ(ComRd(kPort, buf, 36), 36);
    const double elapsed = Timer() - t0;
    std::printf("[ figure   ] paced pty echo: %.2f ms (line time 37.5 ms)\n", 1000.0 * elapsed);
    EXPECT_GE(elapsed, 0.0375 - 0.002);
}

TEST_F(PtyPort, HostMayCloseAndReopenTheTerminal) {
    Start({"--instant"});
    std::uint8_t buf[36];
    for (int round = 0; round < 3; ++round) {
        ASSERT_EQ(Send(kPort, protocol::kEcho), 36);
        ASSERT_EQ(ComRd(kPort, buf, 36), 36) << "round " << round;
        ASSERT_EQ(CloseCom(kPort), 0);
        Delay(0.06);  // long enough for the program to notice nobody is there
        ASSERT_EQ(Open(kPort), 0);
        ASSERT_EQ(SetComTime(kPort, 2.0), 0);
    }
    ASSERT_TRUE(sim_->running());
}

// The far end vanishes: by a hang-up fault, or by the program being killed.
void ExpectVanished(int port) {
    Recorder r;
    InstallComCallback(port, LWRS_RECEIVE, 36, 0x55, &Recorder::Callback, &r);
    PumpFor(0.3);
    std::uint8_t buf[36] = {};
    EXPECT_EQ(GetInQLen(port), kComNotOpen);
    EXPECT_LT(ComWrt(port, buf, 36), 0);
    EXPECT_LT(ComRd(port, buf, 36), 0);
    EXPECT_EQ(r.calls, 0);
    EXPECT_GE(ComErrorCount(port), 1);
    EXPECT_LE(ComErrorCount(port), 5) << "the port must close on the first read error";
    std::printf("[ figure   ] errors reported after the far end vanished: %d\n",
                ComErrorCount(port));
    EXPECT_EQ(CloseCom(port), 0);
}

TEST_F(PtyPort, HangUpFaultClosesThePort) {
    Start({"--instant", "--fault", "5:hangup"});
    ASSERT_EQ(Send(kPort, protocol::kEcho), 36);
    EXPECT_EQ(sim_->Wait(2.0), 0) << "a hang-up ends the program with status 0";
    ExpectVanished(kPort);
}

TEST_F(PtyPort, KilledSensorProgramClosesThePort) {
    Start({"--instant"});
    ASSERT_EQ(sim_->Stop(SIGKILL), 128 + SIGKILL);
    ExpectVanished(kPort);
    sim_.reset();
}

TEST(SensorProgram, RejectsBadFaultText) {
    const std::string cmd =
        std::string(QTOR_BIN_DIR) + "/qtor-sensor-sim --fault 5:explode 2>/dev/null";
    const int status = std::system(cmd.c_str());
    EXPECT_NE(status, 0);
}

}  // namespace

#endif
