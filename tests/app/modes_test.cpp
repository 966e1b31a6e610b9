// Run, video and data-buffer mode against the simulated sensor.
#include "modes.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app_fixture.h"
#include "parameter_callbacks.h"
#include "read_file.h"
#include "teach.h"
#include "transfer.h"

namespace fs = std::filesystem;

namespace {

using sim::Fault;
using sim::FaultKind;

class Modes : public AppTest {
  protected:
    void Click(int control, int event) { Fire(control, event); }
    void StopWhen(std::function<bool()> condition) {
        When(condition, [this] { Click(BTNStop, EVENT_LEFT_CLICK); });
    }
    long long StripRecords(int chart) const {
        const StripChartModel* m = GetStripChartModel(panels.panelHandle, chart);
        return m ? m->history.total : -1;  // a record a sample
    }
};

TEST_F(Modes, RunModeDrawsEveryRecordUntilStoppedByMouse) {
    Connect();
    const long long before = StripRecords(STRIP_RawA);
    const long long beforeB = StripRecords(STRIP_RawB);
    StopWhen([this] { return CountCommand(8) >= 50; });
    Click(BTNRun, EVENT_COMMIT);

    EXPECT_EQ(station.stop_flag, 1);
    const int sent = CountCommand(8);
    EXPECT_GE(sent, 50);
    // Every reply is drawn; the last command may have been outstanding when stop came.
    const long long drawn = StripRecords(STRIP_RawA) - before;
    EXPECT_GE(drawn, sent - 1);
    EXPECT_LE(drawn, sent);
    EXPECT_EQ(StripRecords(STRIP_RawB) - beforeB, drawn);
    EXPECT_EQ(Commands().size(), static_cast<size_t>(sent)) << "only measure commands";
    for (int c : {BTNRun, BTNVideo, BTNGet, BTNData, BTNSend}) EXPECT_FALSE(Dimmed(c)) << c;
    EXPECT_EQ(Value(panels.panelHandle, NUM_Avalue), meas.Avalue);
}

TEST_F(Modes, KeyboardStopDoesNotEndTheRunButTheMouseDoes) {
    Connect();
    When([this] { return CountCommand(8) >= 5; }, [this] { Click(BTNStop, EVENT_COMMIT); });
    StopWhen([this] { return CountCommand(8) >= 30; });
    Click(BTNRun, EVENT_COMMIT);
    EXPECT_GE(CountCommand(8), 30);
}

TEST_F(Modes, RunModeCarriesAParameterChangeInTheNextCommand) {
    ConnectStrict();
    When([this] { return CountCommand(8) >= 5; },
         [this] {
             SetCtrlVal(panels.panelPopUp, NEDITPowerA, 432);
             station.target = RAM;
             Fire(BTNSend, EVENT_LEFT_CLICK);
         });
    StopWhen([this] { return CountCommand(8) >= 15; });
    Click(BTNRun, EVENT_COMMIT);
    const auto& log = sensor->Log();
    size_t send = 0;
    while (send < log.size() && log[send].command != 1) ++send;
    ASSERT_LT(send, log.size()) << "the send reached the sensor";
    EXPECT_EQ(log[send].words[0], 432);
    for (size_t i = 0; i < send; ++i) EXPECT_EQ(log[i].words[0], 200);
    for (size_t i = send + 1; i < log.size(); ++i) EXPECT_EQ(log[i].words[0], 432) << i;
    EXPECT_EQ(sensor->Ram()[0], 432);
}

TEST_F(Modes, SilencedSensorEndsRunModeLeavingTheLockSetAsItWas) {
    Connect();
    SetTestClockStep(0.1);
    double silencedAt = 0;
    When([this] { return CountCommand(8) >= 10; },
         [this, &silencedAt] {
             silencedAt = Timer();
             sensor->SetFault(8, Fault{FaultKind::kNoReply});
         });
    Click(BTNRun, EVENT_COMMIT);
    ASSERT_GT(silencedAt, 0);
    EXPECT_LT(Timer() - silencedAt, TIMEOUT + 0.5) << "ended by the first time-out";
    EXPECT_EQ(StatusLine(), "Timeout RS232-Line!");
    EXPECT_EQ(station.stop_flag, 1);
    EXPECT_FALSE(Dimmed(BTNRun));
    EXPECT_TRUE(Dimmed(BTNVideo));
    EXPECT_TRUE(Dimmed(BTNGet));
    EXPECT_TRUE(Dimmed(BTNData));
    EXPECT_FALSE(Dimmed(BTNSend));
    Click(BTNStop, EVENT_LEFT_CLICK);
    for (int c : {BTNRun, BTNVideo, BTNGet, BTNData, BTNSend}) EXPECT_FALSE(Dimmed(c));
}

TEST_F(Modes, VideoModeReadsFourBlocksPerCycleAndForcesRam) {
    Connect();
    station.target = EEPROM;
    SetCtrlVal(panels.panelHandle, RBTEeprom, 1);
    SetCtrlVal(panels.panelHandle, RBTRam, 0);
    // The sensor falls silent after three cycles: the mode ends by its time-out.
    SetTestClockStep(0.1);
    When([this] { return CountCommand(8) >= 3; },
         [this] { sensor->SetFault(8, Fault{FaultKind::kNoReply}); });
    Click(BTNVideo, EVENT_COMMIT);
    EXPECT_EQ(StatusLine(), "Timeout RS232-Line!");

    const auto& log = sensor->Log();
    ASSERT_GE(log.size(), 11u);
    ASSERT_EQ(log.size() % 5, 1u) << "the last measure command went unanswered";
    const int order[4][2] = {{0, MASTER}, {64, MASTER}, {0, SLAVE}, {64, SLAVE}};
    for (size_t c = 0; c + 5 <= log.size(); c += 5) {
        EXPECT_EQ(log[c].command, 8);
        for (int b = 0; b < 4; ++b) {
            EXPECT_EQ(log[c + 1 + b].command, 9);
            EXPECT_EQ(log[c + 1 + b].words[0], order[b][0]);
            EXPECT_EQ(log[c + 1 + b].words[1], order[b][1]);
        }
    }
    // Both curves show the buffers of the last cycle.
    const auto lastA = sensor->Video(1, log[log.size() - 5].time);
    const GraphModel* a = GetGraphModel(panels.panelHandle, GRAPH_CurveA);
    ASSERT_NE(a, nullptr);
    ASSERT_EQ(a->plots.size(), 2u);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(a->plots[0].curve.y[i], lastA[i]);
    EXPECT_EQ(station.target, RAM);
    EXPECT_EQ(Value(panels.panelHandle, RBTRam), 1);
    EXPECT_EQ(Value(panels.panelHandle, RBTEeprom), 0);
    EXPECT_FALSE(Dimmed(BTNRun));
    EXPECT_FALSE(Dimmed(BTNVideo));
    EXPECT_FALSE(Dimmed(BTNData));
    EXPECT_TRUE(Dimmed(BTNSend));
    EXPECT_TRUE(Dimmed(BTNGet));
    Fire(BTNStop, EVENT_LEFT_CLICK);
    EXPECT_FALSE(Dimmed(BTNSend));
    EXPECT_FALSE(Dimmed(BTNGet));
}

TEST_F(Modes, VideoStopDuringTheWaitStillCompletesTheCycle) {
    Connect();
    sensor->SetFault(8, Fault{FaultKind::kLate, 0.2});
    StopWhen([this] { return CountCommand(8) >= 1; });
    Click(BTNVideo, EVENT_COMMIT);
    EXPECT_EQ(Commands(), (std::vector<int>{8, 9, 9, 9, 9}));
}

// The sensor's ring: word 0 is the slot of the newest value, slot k (1..127) holds base + k.
std::vector<std::uint16_t> Ring(int newest, int base) {
    std::vector<std::uint16_t> ring(MAXPOINT);
    ring[0] = static_cast<std::uint16_t>(newest);
    for (int k = 1; k < MAXPOINT; ++k) ring[k] = static_cast<std::uint16_t>(base + k);
    return ring;
}

TEST_F(Modes, DataBufferAcquisitionIsDrawnInRingOrderAndRecorded) {
    Connect();
    const fs::path dir = fs::temp_directory_path() / "qtor-data-mode";
    fs::create_directories(dir);
    const fs::path file = dir / "QTORMeasure.dat";
    fs::remove(file);
    SetFileDialogHook([&](const FileDialogRequest& r, std::string* path) {
        EXPECT_EQ(r.title, "Q-TOR-Measurement-Data-File");
        EXPECT_EQ(r.defaultName, "QTORMeasure.dat");
        *path = file.string();
        return 1;
    });
    SetCtrlVal(panels.panelPopUp, CHECKFile, 1);
    FirePopup(CHECKFile, EVENT_COMMIT);
    ASSERT_TRUE(fs::exists(file)) << "ticking records the current (zero) buffer at once";
    const auto drawn = [this] {
        const GraphModel* g = GetGraphModel(panels.panelHandle, GRAPH_Buffer);
        EXPECT_NE(g, nullptr);
        EXPECT_EQ(g ? g->plots.size() : 0u, 4u);
        return g && g->plots.size() == 4u ? g->plots[3].curve.y : std::vector<double>{};
    };

    // The drawing starts at the position word's slot; the first two points repeat the third,
    // and the position word's own place shows slot 1.
    sensor->SetRing(Ring(127, 2000));
    Click(BTNData, EVENT_COMMIT);
    std::vector<double> expected = {2001, 2001, 2001};
    for (int v = 2002; v <= 2126; ++v) expected.push_back(v);
    EXPECT_EQ(drawn(), expected);

    sensor->SetRing(Ring(5, 1000));
    Click(BTNData, EVENT_COMMIT);
    expected = {1007, 1007, 1007};
    for (int v = 1008; v <= 1127; ++v) expected.push_back(v);
    for (int v : {1001, 1001, 1002, 1003, 1004}) expected.push_back(v);
    ASSERT_EQ(expected.size(), static_cast<size_t>(MAXPOINT));
    EXPECT_EQ(drawn(), expected);

    // Both halves of the measured-value buffer, each fetch after its own record.
    EXPECT_EQ(Commands(), (std::vector<int>{8, 9, 9, 8, 9, 9}));
    for (size_t i : {1u, 2u, 4u, 5u}) {
        EXPECT_EQ(sensor->Log()[i].words[0], i % 3 == 1 ? 0 : 64) << i;
        EXPECT_EQ(sensor->Log()[i].words[1], MVBUF) << i;
    }
    EXPECT_EQ(StatusLine(), "Data[64] block received!");

    std::string text;
    char row[16];
    for (double v : expected) {
        std::snprintf(row, sizeof row, "%4d\n", static_cast<int>(v));
        text += row;
    }
    EXPECT_EQ(ReadFile(file), text) << "the second fetch rewrote the file";
    fs::remove_all(dir);
}

TEST_F(Modes, FailedBlockReadKeepsItsTextAndDoesNotRewriteTheFile) {
    Connect();
    SetTestClockStep(0.1);
    const fs::path file = fs::temp_directory_path() / "qtor-data-fail.dat";
    std::ofstream(file) << "old\n";
    files.measurement_file = file.string();
    SetCtrlVal(panels.panelPopUp, CHECKFile, 1);
    sensor->SetFault(9, Fault{FaultKind::kCut, 20, true});  // only the first block fails
    Click(BTNData, EVENT_COMMIT);
    EXPECT_EQ(StatusLine(), "Timeout-RS-232 while reading 64 data-words!");
    std::ifstream in(file);
    std::string first;
    std::getline(in, first);
    EXPECT_EQ(first, "old");
    fs::remove(file);
}

TEST_F(Modes, SilentSensorEndsDataModeBeforeAnyBlockRead) {
    Connect();
    SetTestClockStep(0.1);
    sensor->SetFault(8, Fault{FaultKind::kNoReply});
    Click(BTNData, EVENT_COMMIT);
    EXPECT_EQ(StatusLine(), "Timeout RS232-Line!");
    EXPECT_EQ(station.stop_flag, 1);
    EXPECT_EQ(Commands(), (std::vector<int>{8}));
}

}  // namespace
