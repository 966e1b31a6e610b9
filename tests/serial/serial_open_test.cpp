// Opening ports: error codes, their texts, the port table, operations on closed ports.
#include <gtest/gtest.h>

#include <map>

#include "port_table.h"
#include "sensor.h"
#include "serial_test_util.h"

using namespace serialtest;

namespace {

class SerialOpen : public ::testing::Test {
  protected:
    void SetUp() override { PortTableReset(); }
    void TearDown() override {
        for (int n = 1; n <= kMaxPorts; ++n) CloseCom(n);
        PortTableReset();
    }
    static int UnmappedNumber() {
        for (int n = kMaxPorts; n >= 1; --n)
            if (PortTableDevice(n).empty()) return n;
        return 0;
    }
};

TEST_F(SerialOpen, RejectsBadNumbersAndSettings) {
    EXPECT_EQ(Open(0), kComInvalidPort);
    EXPECT_EQ(Open(-1), kComInvalidPort);
    EXPECT_EQ(Open(kMaxPorts + 1), kComInvalidPort);

    const int sim = PortTableSimulatedNumber();
    EXPECT_EQ(OpenComConfig(sim, nullptr, 12345, NOPARITY, 8, 1, 4096, 4096), kComInvalidParameter);
    EXPECT_EQ(OpenComConfig(sim, nullptr, 19200, 7, 8, 1, 4096, 4096), kComInvalidParameter);
    EXPECT_EQ(OpenComConfig(sim, nullptr, 19200, NOPARITY, 9, 1, 4096, 4096), kComInvalidParameter);
    EXPECT_EQ(OpenComConfig(sim, nullptr, 19200, NOPARITY, 8, 3, 4096, 4096), kComInvalidParameter);
    EXPECT_EQ(OpenComConfig(sim, nullptr, 19200, NOPARITY, 8, 1, -1, 4096), kComInvalidParameter);
    EXPECT_EQ(GetInQLen(sim), kComNotOpen) << "a refused open leaves the port closed";
}

TEST_F(SerialOpen, NumberWithoutDeviceAndDeviceThatCannotOpen) {
    const int free = UnmappedNumber();
    ASSERT_GT(free, 0);
    EXPECT_EQ(Open(free), kComNoPortFound);

    PortTableSetDevice(free, "/nonexistent/qtor-tty");
    EXPECT_EQ(PortTableDevice(free), "/nonexistent/qtor-tty");
    EXPECT_EQ(Open(free), kComCannotOpen);
    // A device name given to the call itself wins over the table.
    EXPECT_EQ(Open(PortTableSimulatedNumber(), "/nonexistent/qtor-tty2"), kComCannotOpen);
}

TEST_F(SerialOpen, OperationsOnClosedPorts) {
    const int n = PortTableSimulatedNumber();
    std::uint8_t buf[4] = {};
    EXPECT_EQ(CloseCom(n), 0) << "closing a closed port is harmless";
    EXPECT_EQ(ComWrt(n, buf, 4), kComNotOpen);
    EXPECT_EQ(ComRd(n, buf, 4), kComNotOpen);
    EXPECT_EQ(GetInQLen(n), kComNotOpen);
    EXPECT_EQ(FlushInQ(n), kComNotOpen);
    EXPECT_EQ(FlushOutQ(n), kComNotOpen);
    EXPECT_EQ(SetComTime(n, 2.0), kComNotOpen);
    EXPECT_EQ(SetCTSMode(n, LWRS_HWHANDSHAKE_OFF), kComNotOpen);
    EXPECT_EQ(InstallComCallback(n, LWRS_RECEIVE, 36, 0x55, &Recorder::Callback, nullptr),
              kComNotOpen);
    EXPECT_EQ(ComWrt(kMaxPorts + 1, buf, 4), kComInvalidPort);
    EXPECT_EQ(CloseCom(0), kComInvalidPort);
}

TEST_F(SerialOpen, PortTableEndsWithTheSimulatedSensor) {
    auto list = PortTableList();
    ASSERT_FALSE(list.empty());
    EXPECT_TRUE(list.back().simulated);
    EXPECT_EQ(list.back().number, PortTableSimulatedNumber());
    EXPECT_EQ(PortTableDevice(list.back().number), "simulated sensor");
    for (std::size_t i = 0; i + 1 < list.size(); ++i) {
        EXPECT_FALSE(list[i].simulated);
        EXPECT_FALSE(list[i].device.empty());
        EXPECT_LT(list[i].number, PortTableSimulatedNumber());
    }
    EXPECT_NE(PortSimSensor(PortTableSimulatedNumber()), nullptr);

    // Put elsewhere, the sensor leaves its default number; paths are listed too.
    PortTableSetSimulated(kMaxPorts, false);
    PortTableSetDevice(kMaxPorts - 1, "/dev/pts/999");
    list = PortTableList();
    EXPECT_EQ(list.back().number, kMaxPorts);
    EXPECT_TRUE(list.back().simulated);
    EXPECT_EQ(std::count_if(list.begin(), list.end(), [](auto& e) { return e.simulated; }), 1);
    EXPECT_EQ(PortTableDevice(kMaxPorts - 1), "/dev/pts/999");
    EXPECT_NE(PortSimSensor(kMaxPorts), nullptr);
    EXPECT_EQ(PortSimSensor(kMaxPorts - 1), nullptr);

    // The sensor keeps its memory across reopenings of the port.
    PortSimSensor(kMaxPorts)->Ram()[0] = 42;
    ASSERT_EQ(Open(kMaxPorts), 0);
    ASSERT_EQ(CloseCom(kMaxPorts), 0);
    ASSERT_EQ(Open(kMaxPorts), 0);
    EXPECT_EQ(PortSimSensor(kMaxPorts)->Ram()[0], 42);

    PortTableReset();
    EXPECT_EQ(PortTableDevice(kMaxPorts - 1), "");
    EXPECT_TRUE(PortTableList().back().simulated);
}

// Devices the system lists keep their numbers while they stay: a device added takes the lowest
// free number, and the number of one that went (its port closed) is free again.
TEST_F(SerialOpen, ListedDevicesKeepTheirNumbersAsOthersComeAndGo) {
    std::vector<ListedPort> listed = {{"/dev/ttyB"}, {"/dev/ttyD"}};
    PortTableSetListing([&listed] { return listed; });
    auto numbers = [] {
        std::map<std::string, int> n;
        for (const PortEntry& e : PortTableList()) n[e.device] = e.number;
        return n;
    };
    PortTableRescan();
    EXPECT_EQ(numbers(), (std::map<std::string, int>{
                             {"/dev/ttyB", 1}, {"/dev/ttyD", 2}, {"simulated sensor", 3}}));
    listed = {{"/dev/ttyB"}, {"/dev/ttyC"}, {"/dev/ttyD"}};
    PortTableRescan();
    EXPECT_EQ(numbers(),
              (std::map<std::string, int>{
                  {"/dev/ttyB", 1}, {"/dev/ttyD", 2}, {"/dev/ttyC", 3}, {"simulated sensor", 4}}));
    listed = {{"/dev/ttyA"}, {"/dev/ttyC"}, {"/dev/ttyD"}};
    PortTableRescan();
    EXPECT_EQ(numbers(),
              (std::map<std::string, int>{
                  {"/dev/ttyA", 1}, {"/dev/ttyD", 2}, {"/dev/ttyC", 3}, {"simulated sensor", 4}}));
    PortTableSetListing({});
}

TEST_F(SerialOpen, ReopeningAnOpenPortStartsAfresh) {
    PortTableSetSimulated(1, false);
    ASSERT_EQ(Open(1), 0);
    Recorder r;
    ASSERT_EQ(r.Install(1), 0);
    ASSERT_EQ(Send(1, protocol::kEcho), 36);
    ASSERT_EQ(Open(1), 0);  // closes and reopens: the notification and the reply are gone
    PumpFor(0.05);
    EXPECT_EQ(r.calls, 0);
    EXPECT_EQ(GetInQLen(1), 0);
    EXPECT_EQ(Send(1, protocol::kEcho), 36);
    EXPECT_EQ(GetInQLen(1), 36);
}

}  // namespace
