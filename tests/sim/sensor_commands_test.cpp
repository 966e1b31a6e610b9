// The simulated sensor answers each command with the frame the host expects.
#include <gtest/gtest.h>

#include <string>

#include "sim_test_util.h"

using namespace simtest;
using sim::Sensor;
using sim::Words;

namespace {

Words Counting(std::uint16_t from) {
    Words w{};
    for (int k = 0; k < sim::kWords; ++k) w[k] = std::uint16_t(from + k);
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
            EXPECT_EQ(sim::GetWord(&reply[0]), sim::kReplySync) << "command " << c.command;
            EXPECT_EQ(sim::GetWord(&reply[2]), c.command);
        }
    }
    EXPECT_EQ(s.Log().size(), std::size(cases));
}

TEST(SensorCommands, ParameterSetsRoundTripThroughRamAndEepromSeparately) {
    Sensor s;
    EXPECT_EQ(Payload(Exchange(s, sim::kReadRam)), Sensor::DefaultParameters());
    EXPECT_EQ(Payload(Exchange(s, sim::kReadEeprom)), Sensor::DefaultParameters());

    Exchange(s, sim::kWriteRam, Counting(100));
    Exchange(s, sim::kWriteEeprom, Counting(900));
    EXPECT_EQ(Payload(Exchange(s, sim::kReadRam)), Counting(100));
    EXPECT_EQ(Payload(Exchange(s, sim::kReadEeprom)), Counting(900));
    EXPECT_EQ(s.Ram(), Counting(100));
    EXPECT_EQ(s.Eeprom(), Counting(900));
    // A read request's payload does not overwrite the set it reads.
    Exchange(s, sim::kReadRam, Counting(7));
    EXPECT_EQ(s.Ram(), Counting(100));
}

TEST(SensorCommands, EchoReturnsPayloadWithReplySync) {
    Sensor s;
    Words w = Counting(0xFF00);
    const auto reply = Exchange(s, sim::kEcho, w);
    EXPECT_EQ(reply[0], 0x00);
    EXPECT_EQ(reply[1], 0xAA);
    EXPECT_EQ(Payload(reply), w);
}

TEST(SensorCommands, TeachTakesSetPointsFromMeasuredValues) {
    Sensor s;
    const double t = 2.5;
    const Words record = s.Measure(t);
    const auto reply = Exchange(s, sim::kTeach, {}, t);
    EXPECT_EQ(s.Ram()[sim::kTValA], record[sim::kAvalue]);
    EXPECT_EQ(s.Ram()[sim::kTValB], record[sim::kBvalue]);
    EXPECT_NE(record[sim::kAvalue], 512) << "pick a time where teaching changes something";
    EXPECT_EQ(Payload(reply), s.Ram());
    // The next record reports the taught set-points.
    const Words after = Payload(Exchange(s, sim::kMeasure, {}, t));
    EXPECT_EQ(after[sim::kRecTValA], record[sim::kAvalue]);
    EXPECT_EQ(after[sim::kRecTValB], record[sim::kBvalue]);
}

TEST(SensorCommands, FirmwareTextOneCharacterPerWordLowByte) {
    Sensor s;
    s.FirmwareText() = "V1.2";
    const auto reply = Exchange(s, sim::kFirmware);
    ASSERT_EQ(reply.size(), 72u);
    const std::uint8_t head[] = {0x00, 'V', 0x00, '1', 0x00, '.', 0x00, '2'};
    EXPECT_TRUE(std::equal(std::begin(head), std::end(head), reply.begin()));
    for (std::size_t i = 8; i < reply.size(); ++i) EXPECT_EQ(reply[i], 0) << i;

    // Longer than 36 characters: only the first 36 fit.
    s.FirmwareText() = std::string(40, 'x');
    const auto full = Exchange(s, sim::kFirmware);
    ASSERT_EQ(full.size(), 72u);
    EXPECT_EQ(full[71], 'x');
}

TEST(SensorCommands, MeasurementRecordAgreesWithParameterSetAndEdges) {
    Sensor s;
    s.Ram()[sim::kTTol] = 77;
    s.Ram()[sim::kTValA] = 400;
    s.Ram()[sim::kTValB] = 410;
    for (double t : {0.0, 1.3, 3.7, 6.1}) {
        const Words r = Payload(Exchange(s, sim::kMeasure, {}, t));
        const sim::ObjectView v = s.View(t);
        EXPECT_EQ(r[sim::kRecTTol], 77);
        EXPECT_EQ(r[sim::kRecTValA], 400);
        EXPECT_EQ(r[sim::kRecTValB], 410);
        EXPECT_EQ(r[sim::kLeftA], v.leftA);
        EXPECT_EQ(r[sim::kRightA], v.rightA);
        EXPECT_EQ(r[sim::kRightB], v.rightB);  // channel B: right edge first
        EXPECT_EQ(r[sim::kLeftB], v.leftB);
        EXPECT_LT(r[sim::kLeftA], r[sim::kRightA]);
        EXPECT_LE(r[sim::kRightA], sim::kPixels);
        EXPECT_EQ(r[sim::kAvalue], (r[sim::kLeftA] + r[sim::kRightA]) / 2);
        EXPECT_EQ(r[sim::kBvalue], (r[sim::kLeftB] + r[sim::kRightB]) / 2);
        EXPECT_EQ(r[sim::kEdcntA], 2);
        EXPECT_EQ(r[sim::kEdcntB], 2);
        EXPECT_LE(r[sim::kAnaMin], r[sim::kAvalue]);
        EXPECT_GE(r[sim::kAnaMax], r[sim::kAvalue]);
    }
}

TEST(SensorCommands, ObjectMovesSoDisplaysChange) {
    Sensor s;
    const Words a = s.Measure(0.0);
    const Words b = s.Measure(2.0);
    EXPECT_NE(a[sim::kAvalue], b[sim::kAvalue]);
    EXPECT_EQ(b[sim::kSIndex], a[sim::kSIndex] + 1);
}

TEST(SensorCommands, CombinedValueCentredOn512InModeThree) {
    Sensor s;
    s.Ram()[sim::kEvalMode] = 3;
    s.Ram()[sim::kTValA] = 300;
    const double t = 1.0;
    const Words r = s.Measure(t);
    EXPECT_EQ(r[sim::kMvalue], 512 + r[sim::kAvalue] - 300);

    // At the set-point the combined value sits exactly on 512.
    s.Ram()[sim::kTValA] = r[sim::kAvalue];
    EXPECT_EQ(s.Measure(t)[sim::kMvalue], 512);

    // Far from the set-point it stays on the pixel scale.
    s.Ram()[sim::kTValA] = 0;
    EXPECT_LE(s.Measure(t)[sim::kMvalue], sim::kPixels);

    s.Ram()[sim::kEvalMode] = 1;
    const Words m1 = s.Measure(t);
    EXPECT_EQ(m1[sim::kMvalue], (m1[sim::kAvalue] + m1[sim::kBvalue]) / 2);
}

TEST(SensorCommands, ResetMaxMinRestartsExtremaAtCurrentValue) {
    Sensor s;
    for (double t = 0; t < 8.0; t += 0.5) s.Measure(t);  // a whole swing of the object
    const Words wide = s.Measure(8.0);
    EXPECT_GT(wide[sim::kAnaMax] - wide[sim::kAnaMin], 200);

    const Words reset = Payload(Exchange(s, sim::kResetMaxMin, {}, 8.0));
    EXPECT_EQ(reset[sim::kAnaMax], reset[sim::kAvalue]);
    EXPECT_EQ(reset[sim::kAnaMin], reset[sim::kAvalue]);
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
            const auto words = BlockWords(Exchange(s, sim::kDataBlock, req, t));
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
    const auto first = BlockWords(Exchange(s, sim::kDataBlock, req, 10.0));
    const auto later =
        BlockWords(Exchange(s, sim::kDataBlock, req, 10.0 + 5 * Sensor::kRingPeriod));
    ASSERT_EQ(first.size(), 64u);
    EXPECT_GE(first[0], 1);
    EXPECT_LE(first[0], 127);
    EXPECT_EQ((later[0] - first[0] + 127) % 127, 5);

    // The newest slot holds the value measured now, at the pixel scale.
    const auto ring = s.Ring(10.0);
    EXPECT_EQ(ring[ring[0]], s.Measure(10.0)[sim::kAvalue]);
    for (int i = 1; i < 128; ++i) EXPECT_LE(ring[i], sim::kPixels);

    // Second half of the ring: words 64..127.
    req[0] = 64;
    const auto second = BlockWords(Exchange(s, sim::kDataBlock, req, 10.0));
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
    const auto frame = CommandFrame(sim::kEcho, Counting(3));
    bytes.insert(bytes.end(), frame.begin(), frame.end());
    const auto replies = s.Feed(bytes.data(), bytes.size(), 1.0);
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(Payload(replies[0].bytes), Counting(3));
}

TEST(SensorFraming, FramesSplitAcrossFeedsAndBackToBack) {
    Sensor s;
    auto bytes = CommandFrame(sim::kEcho, Counting(1));
    const auto second = CommandFrame(sim::kReadRam);
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
    EXPECT_EQ(s.Log()[1].command, sim::kReadRam);
}

}  // namespace
