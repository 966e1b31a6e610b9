// Injected faults distort exactly the reply they are set on.
#include <gtest/gtest.h>

#include "faults.h"
#include "sim_test_util.h"

using namespace simtest;
using sim::Fault;
using sim::FaultKind;
using sim::Sensor;

namespace {

std::vector<sim::Reply> Send(Sensor& s, int command, double t = 1.0) {
    const auto frame = CommandFrame(command);
    return s.Feed(frame.data(), frame.size(), t);
}

TEST(SensorFaults, EachKindChangesOnlyItsCommand) {
    const auto clean = Exchange(*std::make_unique<Sensor>(), protocol::kEcho);
    {
        Sensor s;
        s.SetFault(protocol::kEcho, {FaultKind::kNoReply, 0, false});
        EXPECT_TRUE(Send(s, protocol::kEcho).empty());
        EXPECT_EQ(Send(s, protocol::kReadRam).size(), 1u) << "other commands unaffected";
        EXPECT_EQ(s.Log().size(), 2u) << "the command was still received";
    }
    {
        Sensor s;
        s.SetFault(protocol::kEcho, {FaultKind::kLate, 0.25, false});
        const auto r = Send(s, protocol::kEcho);
        ASSERT_EQ(r.size(), 1u);
        EXPECT_DOUBLE_EQ(r[0].delay, 0.25);
        EXPECT_EQ(r[0].bytes, clean);
    }
    {
        Sensor s;
        s.SetFault(protocol::kEcho, {FaultKind::kCut, 35, false});
        const auto r = Exchange(s, protocol::kEcho);
        EXPECT_EQ(r, std::vector<std::uint8_t>(clean.begin(), clean.begin() + 35));
    }
    {
        Sensor s;
        s.SetFault(protocol::kFirmware, {FaultKind::kLengthen, 1, false});
        EXPECT_EQ(Exchange(s, protocol::kFirmware).size(), 73u);
        EXPECT_EQ(Exchange(s, protocol::kEcho), clean);
    }
    {
        Sensor s;
        s.SetFault(protocol::kEcho, {FaultKind::kWrongSync, 0, false});
        auto r = Exchange(s, protocol::kEcho);
        EXPECT_EQ(r[0], 0xAA);
        EXPECT_EQ(r[1], 0x00);
        EXPECT_TRUE(std::equal(r.begin() + 2, r.end(), clean.begin() + 2));
        s.SetFault(protocol::kEcho, {FaultKind::kWrongSync, 0x0055, false});
        EXPECT_EQ(protocol::GetWord(Exchange(s, protocol::kEcho).data()), 0x0055);
    }
    {
        Sensor s;
        s.SetFault(protocol::kDataBlock, {FaultKind::kGarbage, 0, false});
        const auto a = Exchange(s, protocol::kDataBlock);
        const auto b = Exchange(s, protocol::kDataBlock);
        ASSERT_EQ(a.size(), 128u);
        EXPECT_NE(a, b) << "fresh garbage each time";
        EXPECT_NE(a, Exchange(*std::make_unique<Sensor>(), protocol::kDataBlock));
    }
}

TEST(SensorFaults, HangUpSilencesTheSensorForGood) {
    Sensor s;
    s.SetFault(protocol::kReadRam, {FaultKind::kHangUp, 0, true});
    EXPECT_EQ(Send(s, protocol::kEcho).size(), 1u);
    const auto r = Send(s, protocol::kReadRam);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_TRUE(r[0].hangUp);
    EXPECT_TRUE(r[0].bytes.empty());
    EXPECT_TRUE(s.HungUp());
    EXPECT_TRUE(Send(s, protocol::kEcho).empty());
    EXPECT_EQ(s.Log().size(), 2u);
}

TEST(SensorFaults, OnceFaultFiresOnlyOnceAndWaitsForAReply) {
    Sensor s;
    s.SetFault(protocol::kWriteRam, {FaultKind::kNoReply, 0, true});  // 1 never answers anyway
    Send(s, protocol::kWriteRam);
    s.SetFault(protocol::kEcho, {FaultKind::kNoReply, 0, true});
    EXPECT_TRUE(Send(s, protocol::kEcho).empty());
    EXPECT_EQ(Send(s, protocol::kEcho).size(), 1u);

    s.SetFault(protocol::kEcho, {FaultKind::kNoReply, 0, false});
    EXPECT_TRUE(Send(s, protocol::kEcho).empty());
    EXPECT_TRUE(Send(s, protocol::kEcho).empty());
    s.ClearFaults();
    EXPECT_EQ(Send(s, protocol::kEcho).size(), 1u);
}

TEST(FaultParsing, AcceptsTheDocumentedForms) {
    struct Case {
        const char* text;
        int command;
        FaultKind kind;
        double arg;
    } cases[] = {
        {"5:noreply", 5, FaultKind::kNoReply, 0},
        {"2:late:0.5", 2, FaultKind::kLate, 0.5},
        {"7:cut:10", 7, FaultKind::kCut, 10},
        {"8:lengthen:4", 8, FaultKind::kLengthen, 4},
        {"5:badsync", 5, FaultKind::kWrongSync, 0},
        {"5:badsync:0x55", 5, FaultKind::kWrongSync, 85},
        {"9:garbage", 9, FaultKind::kGarbage, 0},
        {"11:hangup", 11, FaultKind::kHangUp, 0},
    };
    for (const auto& c : cases) {
        std::string error;
        const auto spec = sim::ParseFault(c.text, true, &error);
        ASSERT_TRUE(spec) << c.text << ": " << error;
        EXPECT_EQ(spec->command, c.command) << c.text;
        EXPECT_EQ(spec->fault.kind, c.kind) << c.text;
        EXPECT_DOUBLE_EQ(spec->fault.arg, c.arg) << c.text;
        EXPECT_TRUE(spec->fault.once);
    }
}

TEST(FaultParsing, RejectsMalformedText) {
    for (const char* text :
         {"", "5", "5:", "x:noreply", "0:noreply", "5:explode", "2:late", "7:cut:abc", "7:cut:-3",
          "5:noreply:1x", "7:lengthen:1e9", "9:cut:1e30", "5:badsync:70000", "2:late:1e300"}) {
        std::string error;
        EXPECT_FALSE(sim::ParseFault(text, false, &error)) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
}

}  // namespace
