// A station's plant link in the program: run mode's records and a Send's changed words reach a
// real broker, and the status bar shows the broker's state in words and colour.
#include "../plant/broker.h"
#include "app_fixture.h"
#include "plant_view.h"
#include "state_colours.h"

namespace {

class PlantPanels : public AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        dir = fs::temp_directory_path() / ("qtor-plant-panels-" + std::to_string(getpid()));
        fs::remove_all(dir);
    }
    void TearDown() override {
        ApplyPlant(station, PlantConfig{}, true);
        AppTest::TearDown();
        fs::remove_all(dir);
    }
    std::string Element(int* colour = nullptr, int* visible = nullptr) const {
        std::string text;
        GetCtrlVal(panels.panelHandle, TEXT_Mqtt, &text);
        if (colour) GetCtrlAttribute(panels.panelHandle, TEXT_Mqtt, ATTR_TEXT_BGCOLOR, colour);
        if (visible) GetCtrlAttribute(panels.panelHandle, TEXT_Mqtt, ATTR_VISIBLE, visible);
        return text;
    }
    fs::path dir;
};

TEST_F(PlantPanels, RunModesRecordsAndASendsWordsReachTheBrokerWhoseStateTheStatusBarShows) {
    Broker broker(dir / "broker");
    ASSERT_TRUE(broker.Start());
    Subscriber sub(broker.port());
    ASSERT_TRUE(Until([&] { return sub.Subscribed(); }, 5));
    ConnectStrict();
    int visible = 1;
    Element(nullptr, &visible);
    EXPECT_EQ(visible, 0) << "nothing while publishing is off";
    PlantConfig config;
    config.url = "mqtt://127.0.0.1:" + std::to_string(broker.port());
    config.station = "cell4";
    ASSERT_TRUE(ApplyPlant(station, config, true));
    int colour = 0;
    ASSERT_TRUE(Until([&] { return Element() == "MQTT: connected to 127.0.0.1"; }, 10))
        << Element();
    Element(&colour, &visible);
    EXPECT_EQ(colour, colours::kGood);
    EXPECT_EQ(visible, 1);

    auto indexes = [&sub] { return RecordIndexes(sub, "cell4"); };
    When([&] { return indexes().size() >= 30; }, [this] { Fire(BTNStop, EVENT_LEFT_CLICK); });
    Fire(BTNRun, EVENT_COMMIT);
    const long long n = station.quality.Stats(Channel::kA).n;
    ASSERT_TRUE(Until([&] { return static_cast<long long>(indexes().size()) >= n; }, 5));
    std::vector<long long> all(static_cast<std::size_t>(n));
    std::iota(all.begin(), all.end(), 0);
    EXPECT_EQ(indexes(), all) << "every record of the run, in order";

    SetCtrlVal(panels.panelHandle, NEDITeachA, 640);
    Fire(BTNSend, EVENT_LEFT_CLICK);
    ASSERT_TRUE(Until([&] { return !sub.Payloads("cell4", "event").empty(); }, 5));
    const QJsonObject written = Json(sub.Payloads("cell4", "event").back());
    EXPECT_EQ(written["kind"], "params-written");
    EXPECT_EQ(written["target"], "RAM");
    ASSERT_EQ(written["changes"].toArray().size(), 1);
    EXPECT_EQ(written["changes"][0]["word"], "tValA");
    EXPECT_EQ(written["changes"][0]["old"].toInt(), 512);
    EXPECT_EQ(written["changes"][0]["new"].toInt(), 640);
    EXPECT_TRUE(written["verified"].toBool());
    ASSERT_TRUE(Until(
        [&] {
            const auto p = sub.Payloads("cell4", "params");
            return !p.empty() && Json(p.back())["words"][7].toInt() == 640;
        },
        5));
    EXPECT_EQ(Json(sub.Payloads("cell4", "params").back())["firmware"].toString().toStdString(),
              sensor->FirmwareText());

    broker.Stop();
    ASSERT_TRUE(Until([&] { return Element().rfind("MQTT: retrying in ", 0) == 0; }, 5))
        << Element();
    EXPECT_NE(Element().find(" s: connection "), std::string::npos) << Element();
    Element(&colour);
    EXPECT_EQ(colour, colours::kFailed);
}

}  // namespace
