// Every command of the sensor link, as frames through the real serial stack to
// qtor-sensor-sim on a pseudo-terminal.
// Pseudo-terminals: POSIX systems only.
#if !defined(_WIN32)
#include <gtest/gtest.h>

#include <string>

#include "../serial/serial_sim_process.h"
#include "event_loop.h"
#include "port_table.h"
#include "protocol.h"
#include "rs232.h"
#include "timer.h"

namespace {

constexpr int kPort = 3;

class SensorLink : public ::testing::Test {
  protected:
    void SetUp() override {
        // The object held still: replies taken apart in time show it in the same place.
        sim_ = std::make_unique<SimProcess>(
            std::vector<std::string>{"--instant", "--firmware", "E2E FW 2.1", "--hold", "0"});
        ASSERT_FALSE(sim_->path().empty());
        PortTableReset();
        PortTableSetDevice(kPort, sim_->path());
        ASSERT_EQ(OpenComConfig(kPort, nullptr, 19200, NOPARITY, 8, 1, 4096, 4096), 0);
        ASSERT_EQ(SetComTime(kPort, 2.0), 0);
        ASSERT_EQ(SetCTSMode(kPort, LWRS_HWHANDSHAKE_OFF), 0);
        ASSERT_EQ(FlushInQ(kPort), 0);
        ASSERT_EQ(FlushOutQ(kPort), 0);
    }
    void TearDown() override {
        CloseCom(kPort);
        PortTableReset();
        EXPECT_EQ(sim_->Stop(SIGTERM), 0);
    }

    // Sends one command frame and reads `replyBytes` back (0: checks that nothing comes).
    std::vector<std::uint8_t> Exchange(int command, const protocol::Words& words,
                                       std::size_t replyBytes) {
        const protocol::Frame f =
            protocol::EncodeFrame(protocol::kCommandSync, std::uint16_t(command), words);
        EXPECT_EQ(ComWrt(kPort, f.data(), 36), 36);
        std::vector<std::uint8_t> reply(replyBytes + 1);
        if (replyBytes == 0) {
            Delay(0.05);
            EXPECT_EQ(GetInQLen(kPort), 0) << "command " << command << " has no reply";
            return {};
        }
        const int n = ComRd(kPort, reply.data(), static_cast<int>(replyBytes));
        EXPECT_EQ(n, static_cast<int>(replyBytes)) << "command " << command;
        reply.resize(n > 0 ? n : 0);
        Delay(0.02);
        EXPECT_EQ(GetInQLen(kPort), 0) << "command " << command << " sent more than expected";
        return reply;
    }

    std::unique_ptr<SimProcess> sim_;
};

protocol::Words Words(std::initializer_list<std::uint16_t> first) {
    protocol::Words w{};
    std::copy(first.begin(), first.end(), w.begin());
    return w;
}

std::vector<std::uint16_t> Block(const std::vector<std::uint8_t>& bytes) {
    std::vector<std::uint16_t> w;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) w.push_back(protocol::GetWord(&bytes[i]));
    return w;
}

TEST_F(SensorLink, EveryCommandIsAnsweredAsTheHostExpects) {
    // 5: echo with the reply sync word.
    auto r = Exchange(5, Words({1, 2, 3}), 36);
    ASSERT_EQ(r.size(), 36u);
    EXPECT_EQ(protocol::GetWord(&r[0]), 0x00AA);
    EXPECT_EQ(protocol::DecodePayload(r.data()), Words({1, 2, 3}));

    // 1 and 2: RAM; 3 and 4: EEPROM, kept apart.
    const protocol::Words ram = Words({250, 240, 500, 510, 0, 3, 4, 600, 610, 50, 2, 1, 900});
    const protocol::Words eeprom = Words({100, 100, 300, 300, 1, 2, 8, 400, 410, 80, 3, 2, 700});
    Exchange(1, ram, 0);
    Exchange(3, eeprom, 0);
    EXPECT_EQ(protocol::DecodePayload(Exchange(2, {}, 36).data()), ram);
    EXPECT_EQ(protocol::DecodePayload(Exchange(4, {}, 36).data()), eeprom);

    // 8: a measurement record that carries the RAM set's tolerance and set-points.
    r = Exchange(8, {}, 36);
    protocol::Words rec = protocol::DecodePayload(r.data());
    EXPECT_EQ(rec[protocol::kRecTTol], 50);
    EXPECT_EQ(rec[protocol::kRecTValA], 600);
    EXPECT_EQ(rec[protocol::kRecTValB], 610);
    EXPECT_EQ(rec[protocol::kMvalue], 512 + rec[protocol::kAvalue] - 600)
        << "mode 3 centres on 512";
    EXPECT_LT(rec[protocol::kLeftA], rec[protocol::kRightA]);

    // 6: teach takes the set-points from the current measured values.
    r = Exchange(6, {}, 36);
    const protocol::Words taught = protocol::DecodePayload(Exchange(2, {}, 36).data());
    EXPECT_NE(taught[protocol::kTValA], 600);
    EXPECT_EQ(taught[protocol::kTValA], rec[protocol::kAvalue]);
    EXPECT_EQ(taught[protocol::kTValB], rec[protocol::kBvalue]);

    // 7: firmware text, one character in the low byte of each of 36 words.
    r = Exchange(7, {}, 72);
    std::string text;
    for (std::size_t i = 1; i < r.size() && r[i]; i += 2) text += char(r[i]);
    EXPECT_EQ(text, "E2E FW 2.1");

    // 9: video of A and B and the measured-value ring, 64 words each.
    for (std::uint16_t selector : {1, 0, 2}) {
        for (std::uint16_t start : {0, 64}) {
            const auto words = Block(Exchange(9, Words({start, selector}), 128));
            ASSERT_EQ(words.size(), 64u);
            for (auto w : words) EXPECT_LE(w, 1024);
        }
    }
    // The shadow on A's video lies between the edges the record reported: samples of pixels
    // wholly inside are dark, those wholly outside bright.
    auto video = Block(Exchange(9, Words({0, 1}), 128));
    const auto second = Block(Exchange(9, Words({64, 1}), 128));
    video.insert(video.end(), second.begin(), second.end());
    ASSERT_EQ(video.size(), 128u);
    int dark = 0;
    for (int i = 0; i < 128; ++i) {
        if (8 * i >= rec[protocol::kLeftA] && 8 * i + 8 <= rec[protocol::kRightA]) {
            EXPECT_LT(video[i], 300) << i;
            ++dark;
        } else if (8 * i + 8 <= rec[protocol::kLeftA] || 8 * i >= rec[protocol::kRightA]) {
            EXPECT_GT(video[i], 700) << i;
        }
    }
    EXPECT_GE(dark, 8);

    // 11: reset of max and min.
    r = Exchange(11, {}, 36);
    rec = protocol::DecodePayload(r.data());
    EXPECT_EQ(rec[protocol::kAnaMax], rec[protocol::kAvalue]);
    EXPECT_EQ(rec[protocol::kAnaMin], rec[protocol::kAvalue]);
}

// The receive notification over the real line: the way the program waits for replies.
struct Flag {
    int calls = 0;
    std::vector<std::uint8_t> frame = std::vector<std::uint8_t>(36);
    static void Callback(int port, int, void* data) {
        auto* f = static_cast<Flag*>(data);
        ComRd(port, f->frame.data(), 36);
        FlushInQ(port);
        ++f->calls;
    }
};

TEST_F(SensorLink, RepliesArriveThroughTheNotification) {
    Flag flag;
    ASSERT_EQ(InstallComCallback(kPort, 0x8006, 36, 0x55, &Flag::Callback, &flag), 0);
    for (int command : {2, 4, 5, 6, 8, 11}) {
        const int before = flag.calls;
        const protocol::Frame f =
            protocol::EncodeFrame(protocol::kCommandSync, std::uint16_t(command), {});
        ASSERT_EQ(ComWrt(kPort, f.data(), 36), 36);
        const double t0 = Timer();
        while (flag.calls == before && Timer() - t0 < 1.5) ProcessSystemEvents();
        ASSERT_EQ(flag.calls, before + 1) << "command " << command;
        EXPECT_EQ(protocol::GetWord(&flag.frame[2]), command);
    }
}

}  // namespace

#endif
