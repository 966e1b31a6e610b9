// The simulated sensor answers each command with the frame the host expects.
#include <gtest/gtest.h>

#include <string>

#include "sim_test_util.h"

using namespace simtest;
using protocol::Words;
using sim::Sensor;

namespace {

Words Counting(std::uint16_t from) {
    Words w{};
    for (int k = 0; k < protocol::kWords; ++k) w[k] = std::uint16_t(from + k);
    return w;
}

TEST(SensorCommands, ReplyLengthsAndHeaders) {
    Sensor s;
    struct Case {
        int command;
        std::size_t length;
    } cases[] = {{1, 0},  {2, 36}, {3, 0},  {4, 36},  {5, 36},
                 {6, 36}, {7, 72}, {8, 36}, {9, 128}, {11, 36}};
    for (const auto& c : cases) {
        const auto reply = Exchange(s, c.command, Counting(1));
        ASSERT_EQ(reply.size(), c.length) << "command " << c.command;
        if (c.length == 36) {
            EXPECT_EQ(protocol::GetWord(&reply[0]), protocol::kReplySync)
                << "command " << c.command;
            EXPECT_EQ(protocol::GetWord(&reply[2]), c.command);
        }
    }
    EXPECT_EQ(s.Log().size(), std::size(cases));
}

TEST(SensorCommands, ParameterSetsRoundTripThroughRamAndEepromSeparately) {
    Sensor s;
    EXPECT_EQ(Payload(Exchange(s, protocol::kReadRam)), Sensor::DefaultParameters());
    EXPECT_EQ(Payload(Exchange(s, protocol::kReadEeprom)), Sensor::DefaultParameters());

    Exchange(s, protocol::kWriteRam, Counting(100));
    Exchange(s, protocol::kWriteEeprom, Counting(900));
    EXPECT_EQ(Payload(Exchange(s, protocol::kReadRam)), Counting(100));
    EXPECT_EQ(Payload(Exchange(s, protocol::kReadEeprom)), Counting(900));
    EXPECT_EQ(s.Ram(), Counting(100));
    EXPECT_EQ(s.Eeprom(), Counting(900));
    // A read request's payload does not overwrite the set it reads.
    Exchange(s, protocol::kReadRam, Counting(7));
    EXPECT_EQ(s.Ram(), Counting(100));
}

// A sensor storing a set in its EEPROM answers what comes meanwhile once the store has ended,
// with the stored set; RAM writes keep nobody waiting.
TEST(SensorCommands, AnEepromStoreDelaysTheRepliesMeanwhile) {
    Sensor s;
    s.SetEepromStoreSeconds(0.04);
    const auto write = CommandFrame(protocol::kWriteEeprom, Counting(900));
    const auto read = CommandFrame(protocol::kReadEeprom);
    EXPECT_TRUE(s.Feed(write.data(), write.size(), 1.0).empty());
    EXPECT_EQ(s.Eeprom(), Sensor::DefaultParameters()) << "still storing";
    auto replies = s.Feed(read.data(), read.size(), 1.01);
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_NEAR(replies[0].delay, 0.03, 1e-9);
    EXPECT_EQ(Payload(replies[0].bytes), Counting(900));
    replies = s.Feed(read.data(), read.size(), 1.05);
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].delay, 0.0);

    const auto ram = CommandFrame(protocol::kWriteRam, Counting(100));
    const auto readRam = CommandFrame(protocol::kReadRam);
    s.Feed(ram.data(), ram.size(), 2.0);
    replies = s.Feed(readRam.data(), readRam.size(), 2.0);
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].delay, 0.0);
    EXPECT_EQ(Payload(replies[0].bytes), Counting(100));
}

TEST(SensorCommands, EchoReturnsPayloadWithReplySync) {
    Sensor s;
    Words w = Counting(0xFF00);
    const auto reply = Exchange(s, protocol::kEcho, w);
    EXPECT_EQ(reply[0], 0x00);
    EXPECT_EQ(reply[1], 0xAA);
    EXPECT_EQ(Payload(reply), w);
}

TEST(SensorCommands, TeachTakesSetPointsFromMeasuredValues) {
    Sensor s;
    const double t = 2.5;
    const Words record = s.Measure(t);
    const auto reply = Exchange(s, protocol::kTeach, {}, t);
    EXPECT_EQ(s.Ram()[protocol::kTValA], record[protocol::kAvalue]);
    EXPECT_EQ(s.Ram()[protocol::kTValB], record[protocol::kBvalue]);
    EXPECT_NE(record[protocol::kAvalue], 512) << "pick a time where teaching changes something";
    EXPECT_EQ(Payload(reply), s.Ram());
    // The next record reports the taught set-points.
    const Words after = Payload(Exchange(s, protocol::kMeasure, {}, t));
    EXPECT_EQ(after[protocol::kRecTValA], record[protocol::kAvalue]);
    EXPECT_EQ(after[protocol::kRecTValB], record[protocol::kBvalue]);
}

TEST(SensorCommands, FirmwareTextOneCharacterPerWordLowByte) {
    Sensor s;
    s.FirmwareText() = "V1.2";
    const auto reply = Exchange(s, protocol::kFirmware);
    ASSERT_EQ(reply.size(), 72u);
    const std::uint8_t head[] = {0x00, 'V', 0x00, '1', 0x00, '.', 0x00, '2'};
    EXPECT_TRUE(std::equal(std::begin(head), std::end(head), reply.begin()));
    for (std::size_t i = 8; i < reply.size(); ++i) EXPECT_EQ(reply[i], 0) << i;

    // Longer than 36 characters: only the first 36 fit.
    s.FirmwareText() = std::string(40, 'x');
    const auto full = Exchange(s, protocol::kFirmware);
    ASSERT_EQ(full.size(), 72u);
    EXPECT_EQ(full[71], 'x');
}

TEST(SensorCommands, MeasurementRecordAgreesWithParameterSetAndEdges) {
    Sensor s;
    s.Ram()[protocol::kTTol] = 77;
    s.Ram()[protocol::kTValA] = 400;
    s.Ram()[protocol::kTValB] = 410;
    for (double t : {0.0, 1.3, 3.7, 6.1}) {
        const Words r = Payload(Exchange(s, protocol::kMeasure, {}, t));
        const sim::ObjectView v = s.View(t);
        EXPECT_EQ(r[protocol::kRecTTol], 77);
        EXPECT_EQ(r[protocol::kRecTValA], 400);
        EXPECT_EQ(r[protocol::kRecTValB], 410);
        EXPECT_EQ(r[protocol::kLeftA], v.leftA);
        EXPECT_EQ(r[protocol::kRightA], v.rightA);
        EXPECT_EQ(r[protocol::kRightB], v.rightB);  // channel B: right edge first
        EXPECT_EQ(r[protocol::kLeftB], v.leftB);
        EXPECT_LT(r[protocol::kLeftA], r[protocol::kRightA]);
        EXPECT_LE(r[protocol::kRightA], protocol::kPixels);
        EXPECT_EQ(r[protocol::kAvalue], (r[protocol::kLeftA] + r[protocol::kRightA]) / 2);
        EXPECT_EQ(r[protocol::kBvalue], (r[protocol::kLeftB] + r[protocol::kRightB]) / 2);
        EXPECT_EQ(r[protocol::kEdcntA], 2);
        EXPECT_EQ(r[protocol::kEdcntB], 2);
        EXPECT_LE(r[protocol::kAnaMin], r[protocol::kAvalue]);
        EXPECT_GE(r[protocol::kAnaMax], r[protocol::kAvalue]);
    }
}

TEST(SensorCommands, ObjectMovesSoDisplaysChange) {
    Sensor s;
    const Words a = s.Measure(0.0);
    const Words b = s.Measure(2.0);
    EXPECT_NE(a[protocol::kAvalue], b[protocol::kAvalue]);
    EXPECT_EQ(b[protocol::kSIndex], a[protocol::kSIndex] + 1);
}

TEST(SensorCommands, CombinedValueCentredOn512InModeThree) {
    Sensor s;
    s.Ram()[protocol::kEvalMode] = 3;
    s.Ram()[protocol::kTValA] = 300;
    const double t = 1.0;
    const Words r = s.Measure(t);
    EXPECT_EQ(r[protocol::kMvalue], 512 + r[protocol::kAvalue] - 300);

    // At the set-point the combined value sits exactly on 512.
    s.Ram()[protocol::kTValA] = r[protocol::kAvalue];
    EXPECT_EQ(s.Measure(t)[protocol::kMvalue], 512);

    // Far from the set-point it stays on the pixel scale.
    s.Ram()[protocol::kTValA] = 0;
    EXPECT_LE(s.Measure(t)[protocol::kMvalue], protocol::kPixels);

    s.Ram()[protocol::kEvalMode] = 1;
    const Words m1 = s.Measure(t);
    EXPECT_EQ(m1[protocol::kMvalue], (m1[protocol::kAvalue] + m1[protocol::kBvalue]) / 2);
}

TEST(SensorCommands, ResetMaxMinRestartsExtremaAtCurrentValue) {
    Sensor s;
    s.SetMotion(Sensor::Motion::kSweep);
    for (double t = 0; t < 8.0; t += 0.5) s.Measure(t);  // a whole swing of the object
    const Words wide = s.Measure(8.0);
    EXPECT_GT(wide[protocol::kAnaMax] - wide[protocol::kAnaMin], 200);

    const Words reset = Payload(Exchange(s, protocol::kResetMaxMin, {}, 8.0));
    EXPECT_EQ(reset[protocol::kAnaMax], reset[protocol::kAvalue]);
    EXPECT_EQ(reset[protocol::kAnaMin], reset[protocol::kAvalue]);
}

TEST(SensorCommands, VideoBlocksShowShadowBetweenEdges) {
    Sensor s;
    const double t = 1.7;
    const sim::ObjectView v = s.View(t);
    for (int selector : {1, 0}) {
        std::vector<std::uint16_t> samples;
        for (int start : {0, 64}) {
            Words req{};
            req[0] = std::uint16_t(start);
            req[1] = std::uint16_t(selector);
            const auto words = BlockWords(Exchange(s, protocol::kDataBlock, req, t));
            ASSERT_EQ(words.size(), 64u);
            samples.insert(samples.end(), words.begin(), words.end());
        }
        const int left = selector == 1 ? v.leftA : v.leftB;
        const int right = selector == 1 ? v.rightA : v.rightB;
        for (int i = 0; i < 128; ++i) {
            ASSERT_LE(samples[i], 1023);
            if (8 * i >= left && 8 * i + 8 <= right) {
                EXPECT_LT(samples[i], 200) << "inside the shadow, sample " << i;
            } else if (8 * i + 8 <= left || 8 * i >= right) {
                EXPECT_GT(samples[i], 700) << "lit, sample " << i;
            }
        }
    }
    // Channel B is offset from A, so the two blocks differ.
    EXPECT_NE(s.Video(1, t), s.Video(0, t));
}

TEST(SensorCommands, RingBlockPositionAdvancesAndHoldsMeasuredValues) {
    Sensor s;
    Words req{};
    req[1] = 2;
    const auto first = BlockWords(Exchange(s, protocol::kDataBlock, req, 10.0));
    const auto later =
        BlockWords(Exchange(s, protocol::kDataBlock, req, 10.0 + 5 * Sensor::kRingPeriod));
    ASSERT_EQ(first.size(), 64u);
    EXPECT_GE(first[0], 1);
    EXPECT_LE(first[0], 127);
    EXPECT_EQ((later[0] - first[0] + 127) % 127, 5);

    // The slot before the position (the one written last) holds the value measured now, at
    // the pixel scale.
    const auto ring = s.Ring(10.0);
    const int newest = ring[0] == 1 ? 127 : ring[0] - 1;
    EXPECT_EQ(ring[newest], s.Measure(10.0)[protocol::kAvalue]);
    for (int i = 1; i < 128; ++i) EXPECT_LE(ring[i], protocol::kPixels);

    // Second half of the ring: words 64..127.
    req[0] = 64;
    const auto second = BlockWords(Exchange(s, protocol::kDataBlock, req, 10.0));
    EXPECT_TRUE(std::equal(second.begin(), second.end(), ring.begin() + 64));
}

TEST(SensorFraming, UnknownCommandsAndJunkAreIgnored) {
    Sensor s;
    for (int command : {0, 10, 12, 0x7FFF}) {
        EXPECT_TRUE(Exchange(s, command).empty()) << command;
    }
    EXPECT_EQ(s.Log().size(), 4u);  // logged, not answered

    // Junk before a frame, including a lone 00 and a 55 without its 00, is skipped.
    std::vector<std::uint8_t> bytes = {0x12, 0x00, 0x00, 0x55 ^ 0xFF, 0x55, 0x00};
    const auto frame = CommandFrame(protocol::kEcho, Counting(3));
    bytes.insert(bytes.end(), frame.begin(), frame.end());
    const auto replies = s.Feed(bytes.data(), bytes.size(), 1.0);
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(Payload(replies[0].bytes), Counting(3));
}

TEST(SensorFraming, FramesSplitAcrossFeedsAndBackToBack) {
    Sensor s;
    auto bytes = CommandFrame(protocol::kEcho, Counting(1));
    const auto second = CommandFrame(protocol::kReadRam);
    bytes.insert(bytes.end(), second.begin(), second.end());
    std::vector<sim::Reply> replies;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        auto r = s.Feed(&bytes[i], 1, 0.001 * double(i));
        if (i == 35 || i == 71) {
            ASSERT_EQ(r.size(), 1u) << "a frame is complete at byte " << i;
        } else {
            ASSERT_TRUE(r.empty()) << i;
        }
        replies.insert(replies.end(), r.begin(), r.end());
    }
    EXPECT_EQ(Payload(replies[0].bytes), Counting(1));
    EXPECT_EQ(Payload(replies[1].bytes), Sensor::DefaultParameters());
    ASSERT_EQ(s.Log().size(), 2u);
    EXPECT_DOUBLE_EQ(s.Log()[0].time, 0.035);  // the time of the frame's last byte
    EXPECT_EQ(s.Log()[1].command, protocol::kReadRam);
}

}  // namespace
