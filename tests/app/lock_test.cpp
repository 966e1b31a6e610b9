// The operator lock through the panels: at Operator level nothing that changes the sensor
// reaches the line; the key unlocks, a Send then leaves its old and new words in the trail;
// five wrong keys refuse unlocking for a minute and idle time relocks (on the test clock).
#include <QApplication>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "../serial/serial_sim_process.h"
#include "app_fixture.h"
#include "maintenance_key.h"
#include "operator_level.h"

namespace fs = std::filesystem;

namespace {

class LockPanels : public AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        dir = fs::temp_directory_path() /
              ("qtor-lock-panels-" +
               std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        const KeyFiles files{"", (dir / "maintenance-key").string()};
        std::string error;
        ASSERT_TRUE(StoreKey(files.user, "line-42-key", &error)) << error;
        trail = (dir / "audit.jsonl").string();
        SetTestClockStep(1e-4);  // the idle check looks on the test clock
        LoadLock(station, files, trail);
        SetPasswordDialogHook([this](const std::string&, const std::string&, std::string* t) {
            ++prompts;
            *t = answer;
            return 1;
        });
    }
    void TearDown() override {
        SetPasswordDialogHook({});
        LoadLock(station, {"", ""});  // the panels as they were, for the next test
        AppTest::TearDown();
        fs::remove_all(dir);
    }
    std::string Text(int control) const {
        std::string s;
        GetCtrlVal(panels.panelHandle, control, &s);
        return s;
    }
    std::string Tip(int panel, int control) const {
        std::string s;
        GetCtrlAttribute(panel, control, ATTR_TOOLTIP, &s);
        return s;
    }
    bool PopupDimmed(int control) const {
        int v = 0;
        GetCtrlAttribute(panels.panelPopUp, control, ATTR_DIMMED, &v);
        return v != 0;
    }
    std::vector<std::string> TrailLines() const {
        std::ifstream in(trail);
        std::vector<std::string> lines;
        for (std::string l; std::getline(in, l);) lines.push_back(l);
        return lines;
    }
    void Unlock(const std::string& key) {
        answer = key;
        Fire(BTNUnlock, EVENT_COMMIT);
    }
    fs::path dir;
    std::string trail, answer;
    int prompts = 0;
};

TEST_F(LockPanels, OperatorLevelPutsNothingOnTheLineAndTheKeyLetsASendIntoTheTrail) {
    ConnectStrict();
    EXPECT_EQ(Text(TEXT_Level), "Operator level");
    for (int c : {BTNSend, ButtonTeach, ButtonReset, RBTFile, NEDITeachA})
        EXPECT_TRUE(Dimmed(c)) << c;
    EXPECT_TRUE(PopupDimmed(NEDITSTime));
    EXPECT_EQ(Tip(panels.panelHandle, BTNSend), "Locked: maintenance key needed");
    EXPECT_EQ(Tip(panels.panelPopUp, NEDITPowerA), "Locked: maintenance key needed");

    // Pressed all the same (a shortcut, a script of the panels): refused before the line.
    Fire(BTNSend, EVENT_LEFT_CLICK);
    EXPECT_EQ(StatusLine(), "Locked: maintenance key needed");
    Fire(ButtonTeach, EVENT_COMMIT);
    Fire(ButtonReset, EVENT_COMMIT);
    EXPECT_EQ(StatusLine(), "Locked: maintenance key needed");
    EXPECT_TRUE(sensor->Log().empty());
    EXPECT_FALSE(fs::exists(trail)) << "the trail as it was";

    Unlock("line-42-key");
    EXPECT_EQ(Text(TEXT_Level), "Maintenance level");
    EXPECT_FALSE(Dimmed(BTNSend));
    EXPECT_FALSE(PopupDimmed(NEDITSTime));
    EXPECT_NE(Tip(panels.panelHandle, BTNSend), "Locked: maintenance key needed");
    const int before = params.tValA;
    SetCtrlVal(panels.panelHandle, NEDITeachA, before + 40);
    Fire(BTNSend, EVENT_LEFT_CLICK);
    EXPECT_EQ(StatusLine(), "Parameters sent and verified!");
    EXPECT_EQ(CountCommand(protocol::kWriteRam), 1);

    Fire(BTNLock, EVENT_COMMIT);
    EXPECT_EQ(Text(TEXT_Level), "Operator level");
    EXPECT_TRUE(Dimmed(BTNSend));
    const std::vector<std::string> lines = TrailLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[0].find("\"action\":\"unlock\""), std::string::npos) << lines[0];
    const std::string word = std::string("{\"word\":\"") + kParameterNames[7] +
                             "\",\"old\":" + std::to_string(before) +
                             ",\"new\":" + std::to_string(before + 40) + "}";
    EXPECT_NE(lines[1].find("\"action\":\"send-ram\""), std::string::npos) << lines[1];
    EXPECT_NE(lines[1].find(word), std::string::npos) << lines[1];
    EXPECT_NE(lines[1].find("\"verified\":true"), std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find("\"action\":\"lock\""), std::string::npos) << lines[2];
    EXPECT_TRUE(VerifyAuditTrail(trail).ok);
}

TEST_F(LockPanels, FiveWrongKeysRefuseTheSixthTryForAMinuteAndIdleTimeRelocks) {
    for (int i = 0; i < 5; ++i) {
        Unlock("guess");
        EXPECT_EQ(StatusLine(), "Wrong maintenance key") << i;
    }
    Unlock("line-42-key");
    EXPECT_EQ(prompts, 5) << "the sixth try is not even asked for";
    EXPECT_EQ(StatusLine().rfind("Too many wrong keys", 0), 0u) << StatusLine();
    EXPECT_EQ(Text(TEXT_Level), "Operator level");
    AdvanceTestClock(60.5);
    Unlock("line-42-key");
    EXPECT_EQ(Text(TEXT_Level), "Maintenance level");

    // A key pressed keeps the level; ten minutes without input relock, nothing pressed.
    AdvanceTestClock(300.0);
    QTest::keyClick(QApplication::topLevelWidgets().first(), Qt::Key_Shift);
    AdvanceTestClock(400.0);
    Pump(0.05);
    EXPECT_EQ(Text(TEXT_Level), "Maintenance level");
    AdvanceTestClock(201.0);
    Pump(0.05);
    EXPECT_EQ(Text(TEXT_Level), "Operator level");
    EXPECT_EQ(StatusLine(), "Locked after 10 minutes without input");
    Connect();
    Fire(ButtonReset, EVENT_COMMIT);
    EXPECT_EQ(StatusLine(), "Locked: maintenance key needed");
    EXPECT_EQ(Text(TEXT_Level), "Operator level");
    EXPECT_TRUE(sensor->Log().empty());
    const std::vector<std::string> lines = TrailLines();
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_NE(lines[6].find("\"action\":\"lock\",\"detail\":\"idle\""), std::string::npos)
        << lines[6];
}

TEST_F(LockPanels, ATrailThatCannotBeWrittenStopsASendBeforeTheLine) {
    ConnectStrict();
    Unlock("line-42-key");
    ASSERT_EQ(Text(TEXT_Level), "Maintenance level");
    // The trail's place taken by a folder: nothing can be appended any more.
    fs::remove(trail);
    fs::create_directories(trail);
    for (int control : {BTNSend, ButtonTeach, ButtonReset}) {
        Fire(control, control == BTNSend ? EVENT_LEFT_CLICK : EVENT_COMMIT);
        EXPECT_EQ(StatusLine(), "Audit trail cannot be written: nothing sent") << control;
    }
    EXPECT_TRUE(sensor->Log().empty());
}

TEST_F(LockPanels, AnAlarmAcknowledgedIsInTheTrailAtEitherLevel) {
    station.quality.StartRun();
    std::uint16_t words[PNUM] = {};
    words[0] = 1000;  // channel A far above its set-point and tolerance
    words[3] = 10;
    words[4] = 100;
    for (int i = 0; i < 3; ++i) station.quality.Add(words, i, "t");
    ASSERT_TRUE(station.quality.Alarmed(Channel::kA));
    Fire(BTNStateA, EVENT_COMMIT);
    EXPECT_FALSE(station.quality.Alarmed(Channel::kA));
    Fire(BTNStateA, EVENT_COMMIT);  // nothing left to acknowledge
    const std::vector<std::string> lines = TrailLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("\"action\":\"acknowledge\",\"detail\":\"channel A\""),
              std::string::npos)
        << lines[0];
}

// The same through the real serial stack: qtor-sensor-sim on a paced pseudo-terminal logs
// every frame it receives, and a locked Send, Teach or Reset leaves no frame there; unlocked,
// the Send's write is there and in the trail.
TEST_F(LockPanels, OnAPseudoTerminalALockedChangeWritesNothing) {
    const fs::path frames = dir / "frames.txt";
    SimProcess sim({"--verbose"}, frames.string());
    ASSERT_FALSE(sim.path().empty());
    PortTableSetDevice(1, sim.path());
    RunTask(InitRS232(link, params));
    ASSERT_EQ(link.Health().health, LinkHealth::kConnected) << StatusLine();
    const auto logged = [&frames] {
        std::ifstream in(frames);
        return std::string((std::istreambuf_iterator<char>(in)), {});
    };
    const auto settled = [this] {
        for (const double end = Timer() + 3; Timer() < end && link.Active();) Pump(0.01);
    };
    Fire(BTNSend, EVENT_LEFT_CLICK);
    Fire(ButtonTeach, EVENT_COMMIT);
    Fire(ButtonReset, EVENT_COMMIT);
    settled();
    EXPECT_EQ(StatusLine(), "Locked: maintenance key needed");
    for (const char* write : {"command 1:", "command 3:", "command 6:", "command 11:"})
        EXPECT_EQ(logged().find(write), std::string::npos) << write << "\n" << logged();
    EXPECT_FALSE(fs::exists(trail));

    Unlock("line-42-key");
    Fire(BTNSend, EVENT_LEFT_CLICK);
    settled();
    EXPECT_EQ(StatusLine(), "Parameters sent and verified!");
    EXPECT_NE(logged().find("command 1:"), std::string::npos) << logged();
    const std::vector<std::string> lines = TrailLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[1].find("\"action\":\"send-ram\""), std::string::npos) << lines[1];
    EXPECT_NE(lines[1].find("\"verified\":true"), std::string::npos) << lines[1];
    link.CloseLine();
    EXPECT_EQ(sim.Stop(SIGTERM), 0);
}

}  // namespace
