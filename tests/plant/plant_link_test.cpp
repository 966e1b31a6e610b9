// The plant link in this process against a real broker: what a broker that goes away, or a
// program restarted meanwhile, does to the events, the records and the status.
#include "plant_link.h"

#include <gtest/gtest.h>

#include "broker.h"
#include "protocol.h"

namespace {

// A live record: A and B as given, both against 412..612.
Record Rec(long long index, int a, int b) {
    Record r;
    r.words[protocol::kAvalue] = static_cast<std::uint16_t>(a);
    r.words[protocol::kBvalue] = static_cast<std::uint16_t>(b);
    r.words[protocol::kRecTTol] = 100;
    r.words[protocol::kRecTValA] = 512;
    r.words[protocol::kRecTValB] = 512;
    r.index = index;
    r.time = "2026-12-09T03:00:00." + std::to_string(100 + index % 900);
    return r;
}

class PlantLinkTest : public ::testing::Test {
  protected:
    void SetUp() override { dir = TestFolder("qtor-plant-"); }
    void TearDown() override { fs::remove_all(dir); }
    PlantSettings Settings(int port) const {
        PlantSettings s;
        s.url = "mqtt://127.0.0.1:" + std::to_string(port);
        s.station = "line/7";  // a slash is no topic level of its own
        s.queueFolder = (dir / "settings").string();
        return s;
    }
    fs::path dir;
};

// Feeds records at about the line's pace for `seconds`, from index `*next` on; `outside`
// decides which lie outside their limits.
void Feed(PlantLink& plant, long long* next, double seconds,
          const std::function<bool(long long)>& outside) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        const long long i = (*next)++;
        plant.Take(Rec(i, outside(i) ? 700 : 512, 500));
        Until([] { return false; }, 0.04);
    }
}

TEST_F(PlantLinkTest, EventsWhileTheBrokerIsAwayArriveOnceInOrderAndDroppedRecordsAreCounted) {
    Broker broker(dir / "broker");
    ASSERT_TRUE(broker.Start());
    Subscriber sub(broker.port());
    ASSERT_TRUE(Until([&] { return sub.Subscribed(); }, 5));
    PlantLink plant("qtor-test 1");
    std::string why;
    ASSERT_TRUE(plant.Start(Settings(broker.port()), &why)) << why;
    const std::string station = "line_7";
    EXPECT_EQ(plant.Station(), station);
    ASSERT_TRUE(Until([&] { return plant.GetState() == PlantLink::State::kConnected; }, 10));
    EXPECT_EQ(plant.StateText(), "MQTT: connected to 127.0.0.1");
    plant.LinkChanged({LinkHealth::kConnected, 1, "FW 1.0"});
    plant.RunStarted();
    long long next = 0;
    Feed(plant, &next, 1.0, [](long long) { return false; });
    const long long upTo = next;
    ASSERT_TRUE(Until([&] { return RecordIndexes(sub, station).size() >= std::size_t(upTo); }, 5));
    std::vector<long long> all(static_cast<std::size_t>(upTo));
    std::iota(all.begin(), all.end(), 0);
    EXPECT_EQ(RecordIndexes(sub, station), all) << "every record, in order, none twice";

    broker.Stop();
    ASSERT_TRUE(Until([&] { return plant.GetState() == PlantLink::State::kRetrying; }, 5));
    EXPECT_EQ(plant.StateText().rfind("MQTT: retrying in ", 0), 0u) << plant.StateText();
    EXPECT_NE(plant.StateText().find(" s: connection "), std::string::npos) << plant.StateText();
    // Ten seconds away: an alarm of A begins and ends, the line is lost and comes back, a
    // parameter set is written; records go on meanwhile.
    const long long awayFrom = next;
    Feed(plant, &next, 4.0,
         [awayFrom](long long i) { return i >= awayFrom + 10 && i < awayFrom + 20; });
    plant.LinkChanged({LinkHealth::kNoReply, 1, "Timeout RS232-Line!"});
    plant.LinkChanged({LinkHealth::kConnected, 1, "FW 1.0"});
    std::uint16_t before[16] = {200, 200, 512, 512, 1, 1, 1, 512, 512, 100, 1, 0, 1000, 0, 0, 0};
    std::uint16_t after[16];
    std::copy(before, before + 16, after);
    after[9] = 80;
    plant.ParametersWritten("RAM", before, after, true);
    Feed(plant, &next, 6.0, [](long long) { return false; });
    const long long away = next - awayFrom;
    EXPECT_EQ(plant.EventsWaiting(), 5u) << "alarm begin and end, line lost and back, a write";
    ASSERT_TRUE(broker.Start());
    // Used within its back-off step: tries at 1, 2, 4 and 8 s after the stop.
    ASSERT_TRUE(Until([&] { return plant.GetState() == PlantLink::State::kConnected; }, 20));
    ASSERT_TRUE(Until([&] { return sub.Payloads(station, "event").size() >= 6; }, 10));
    Until([] { return false; }, 0.5);  // anything twice would come now

    std::vector<std::string> kinds;
    long long seq = 0;
    for (const std::string& p : sub.Payloads(station, "event")) {
        const QJsonObject e = Json(p);
        EXPECT_EQ(e["seq"].toInteger(), ++seq) << "once each, in order: " << p;
        kinds.push_back(e["kind"].toString().toStdString() +
                        (e.contains("state") ? "-" + e["state"].toString().toStdString() : ""));
    }
    EXPECT_EQ(kinds, (std::vector<std::string>{"alarm-begin", "alarm-end", "link-lost", "link-back",
                                               "params-written", "records-dropped"}));
    const QJsonObject dropped = Json(sub.Payloads(station, "event").back());
    EXPECT_EQ(dropped["count"].toInteger(), away) << "every record of the time away";
    const QJsonObject written = Json(sub.Payloads(station, "event")[4]);
    EXPECT_EQ(written["changes"].toArray().size(), 1);
    EXPECT_EQ(written["changes"][0]["word"].toString(), "tTol");
    EXPECT_EQ(written["changes"][0]["old"].toInt(), 100);
    EXPECT_EQ(written["changes"][0]["new"].toInt(), 80);
    EXPECT_TRUE(written["verified"].toBool());
    // Records flow again, and the queue on disk is empty.
    const long long back = next;
    Feed(plant, &next, 0.5, [](long long) { return false; });
    ASSERT_TRUE(Until(
        [&] {
            const auto i = RecordIndexes(sub, station);
            return !i.empty() && i.back() == next - 1;
        },
        5));
    EXPECT_GE(RecordIndexes(sub, station).size(), std::size_t(upTo + next - back));
    EXPECT_EQ(plant.EventsWaiting(), 0u);

    plant.Stop();
    ASSERT_TRUE(Until(
        [&] {
            const auto s = sub.Payloads(station, "status");
            return !s.empty() && Json(s.back())["state"] == "offline";
        },
        5));
}

TEST_F(PlantLinkTest, AProgramRestartedWhileTheBrokerIsDownLosesNoEvent) {
    Broker broker(dir / "broker");
    ASSERT_TRUE(broker.Start());
    {
        Subscriber sub(broker.port());
        ASSERT_TRUE(Until([&] { return sub.Subscribed(); }, 5));
    }
    broker.Stop();  // the subscription stays in the broker's store
    const std::string station = "line_7";
    {
        PlantLink plant("qtor-test 1");
        std::string why;
        ASSERT_TRUE(plant.Start(Settings(broker.port()), &why)) << why;
        plant.LinkChanged({LinkHealth::kConnected, 1, "FW 1.0"});
        plant.LinkChanged({LinkHealth::kDisconnected, 1, "the device vanished"});
        plant.LinkChanged({LinkHealth::kConnected, 1, "FW 1.0"});
        EXPECT_EQ(plant.EventsWaiting(), 2u);
        plant.Stop();
    }
    PlantLink again("qtor-test 1");
    std::string why;
    ASSERT_TRUE(again.Start(Settings(broker.port()), &why)) << why;
    EXPECT_EQ(again.EventsWaiting(), 2u) << "kept on disk";
    again.LinkChanged({LinkHealth::kConnected, 1, "FW 1.0"});
    again.LinkChanged({LinkHealth::kNoReply, 1, "Timeout RS232-Line!"});
    EXPECT_EQ(again.EventsWaiting(), 3u);
    ASSERT_TRUE(broker.Start());
    Subscriber sub(broker.port());
    ASSERT_TRUE(Until([&] { return sub.Payloads(station, "event").size() >= 3; }, 20));
    Until([] { return false; }, 0.5);
    std::vector<std::string> kinds;
    long long seq = 0;
    for (const std::string& p : sub.Payloads(station, "event")) {
        EXPECT_EQ(Json(p)["seq"].toInteger(), ++seq) << p;
        kinds.push_back(Json(p)["kind"].toString().toStdString());
    }
    EXPECT_EQ(kinds, (std::vector<std::string>{"link-lost", "link-back", "link-lost"}));
    EXPECT_EQ(again.EventsWaiting(), 0u);
}

}  // namespace
