// A recording or a trace played back through the displays instead of a sensor: what the
// panels show at the end, what a strip chart exports, and files that are refused.
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app_fixture.h"
#include "ctl.h"
#include "read_file.h"
#include "record_csv.h"
#include "recording_file.h"
#include "replay_callbacks.h"
#include "startup.h"

namespace fs = std::filesystem;

#ifdef __unix__
#include <sys/stat.h>
#endif

namespace {

class Replays : public AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        dir = fs::temp_directory_path() / ("qtor-replay-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        PortTableSetSimulated(2, false);  // the files come from a sensor on another port
    }
    void TearDown() override {
        station.replay.Close();
        AppTest::TearDown();
        CloseCom(2);
        fs::remove_all(dir);
    }
    // Runs qtor-ctl on the simulated sensor of port 2.
    void Ctl(std::vector<std::string> args) {
        args.insert(args.begin(), {"--port", "2"});
        std::ostringstream out, err;
        ASSERT_EQ(RunCtl(args, out, err), kCtlOk) << err.str();
    }
    // Pumps events until the replay has said it is done, for at most ten seconds of the wall
    // clock (the test clock may run faster).
    void UntilDone() {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < end && StatusLine().rfind("Replay done", 0) != 0)
            ProcessSystemEvents();
    }
    fs::path dir;
};

TEST_F(Replays, ARecordingGoesThroughTheRunModeDisplaysAndExportsAsItWasRecorded) {
    const std::string file = (dir / "run.csv").string();
    Ctl({"record", "--count", "300", "--csv", file});
    std::istringstream in(ReadFile(file));
    const Recording rec = ReadRecording(in);
    ASSERT_EQ(rec.rows.size(), 300u);

    std::string error;
    ASSERT_TRUE(StartReplay(station, file, Replay::Speed::kMax, &error)) << error;
    UntilDone();
    EXPECT_EQ(StatusLine(), "Replay done: 300 records");
    EXPECT_TRUE(sensor->Log().empty()) << "no frame to the sensor";
    EXPECT_FALSE(ComIsOpen(1)) << "no port opened";
    EXPECT_EQ(station.linkView.State(), "Replay: run.csv");
    const RecordingRow& last = rec.rows.back();
    EXPECT_EQ(Value(panels.panelHandle, NUM_Avalue), last.words[protocol::kAvalue]);
    EXPECT_EQ(Value(panels.panelHandle, NUM_rightB), last.words[protocol::kRightB]);
    EXPECT_EQ(station.quality.Stats(Channel::kA).n, 300);

    // Channel A's history: a row per record with its time, limits, set-point and value.
    const std::string csv = (dir / "a.csv").string();
    ASSERT_EQ(ExportGraphData(panels.panelHandle, STRIP_RawA, csv.c_str()), 0);
    std::istringstream exported(ReadFile(csv));
    std::string row;
    std::getline(exported, row);
    for (const RecordingRow& r : rec.rows) {
        ASSERT_TRUE(std::getline(exported, row));
        const int tVal = r.words[protocol::kRecTValA], tTol = r.words[protocol::kRecTTol];
        const StripLimits lim = StripChartLimits(tVal, tTol);
        const std::string expected =
            std::to_string(r.index) + "," + r.time + "," + std::to_string(lim.upper) + "," +
            std::to_string(lim.lower) + "," + std::to_string(tVal) + "," +
            std::to_string(r.words[protocol::kAvalue]) + "," + std::to_string(tVal);
        ASSERT_EQ(row, expected);
    }
    EXPECT_FALSE(std::getline(exported, row)) << "no row but the recording's";

    // The slider goes back to record 100: the displays and numbers are as they were there.
    SetCtrlVal(panels.panelHandle, SLIDE_Position, 100);
    Fire(SLIDE_Position, EVENT_VAL_CHANGED);
    EXPECT_EQ(station.quality.Stats(Channel::kA).n, 100);
    EXPECT_EQ(GetStripChartModel(panels.panelHandle, STRIP_RawA)->history.total, 100);
    EXPECT_EQ(Value(panels.panelHandle, NUM_Avalue), rec.rows[99].words[protocol::kAvalue]);
}

// A recording of `rows` records one second apart, channel A's value 100 + the row's index.
std::string OneASecond(const fs::path& dir, int rows) {
    const std::string file = (dir / "paced.csv").string();
    std::ofstream out(file, std::ios::binary);
    out << RecordCsvHeader();
    const auto t0 = std::chrono::system_clock::now();
    for (int i = 0; i < rows; ++i) {
        std::uint16_t words[PNUM] = {static_cast<std::uint16_t>(100 + i), 200, 0, 100, 512, 512};
        out << RecordCsvRow(t0 + std::chrono::seconds(i), i, words);
    }
    return file;
}

// On the test clock, which the event pumps move on: a replay at the recorded pace takes the
// recording's span, at ten times a tenth of it, and the last record is shown at the end. The
// speed comes from the command line as the program reads it. Play after the end starts again.
TEST_F(Replays, ARecordingPlaysAtItsPaceOrTenTimesItToItsLastRecord) {
    constexpr int kRows = 11;  // ten seconds
    const std::string file = OneASecond(dir, kRows);
    SetTestClockStep(0.05);
    for (const auto& [speed, span] : {std::pair{"1", 10.0}, std::pair{"10", 1.0}}) {
        std::vector<std::string> args = {"qtor-kmb", "--replay", file, "--speed", speed};
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        Options options;
        ASSERT_EQ(ParseCommandLine(static_cast<int>(argv.size()), argv.data(), &options),
                  Parsed::Run);
        const double t0 = Timer();
        ASSERT_EQ(StartLine(station, options), 0);
        UntilDone();
        const double took = Timer() - t0;
        EXPECT_EQ(StatusLine(), "Replay done: 11 records") << speed;
        EXPECT_GE(took, span) << "--speed " << speed << " finished early";
        EXPECT_LT(took, 1.5 * span + 0.3) << "--speed " << speed << " was slower";
        EXPECT_EQ(Value(panels.panelHandle, NUM_Avalue), 100 + kRows - 1) << speed;
        EXPECT_EQ(station.quality.Stats(Channel::kA).n, kRows) << speed;
    }

    // Play again after the end: from the first record, at ten times.
    SetCtrlVal(panels.panelHandle, TOGBTN_Play, 1);
    Fire(TOGBTN_Play, EVENT_COMMIT);
    EXPECT_LT(station.quality.Stats(Channel::kA).n, kRows);
    EXPECT_EQ(station.quality.Stats(Channel::kA).min, 100.0) << "the first record again";
    const double t0 = Timer();
    SetCtrlVal(panels.panelHandle, TEXT_Status, "");
    UntilDone();
    EXPECT_GE(Timer() - t0, 0.9);
    EXPECT_EQ(station.quality.Stats(Channel::kA).n, kRows);
    EXPECT_EQ(Value(panels.panelHandle, NUM_Avalue), 100 + kRows - 1);
}

// Counts what a consumer registered with the station is handed.
struct Taken : RecordConsumer {
    void RunStarted() override { ++starts; }
    void Take(const Record& r) override {
        indexes.push_back(r.index);
        lastA = r.words[protocol::kAvalue];
        live += r.live;
    }
    void RunEnded() override { ++ends; }
    std::vector<long long> indexes;
    int starts = 0, ends = 0, live = 0, lastA = -1;
};

// A consumer registered with the station takes every record of a run, in order, and the same
// records again when the run's recording is played back (not live then). A replay lists its
// file's events afresh, not below the live ones.
TEST_F(Replays, ARegisteredConsumerTakesEveryRecordOfARunAndOfItsReplay) {
    Connect();
    sensor->Hold(0.0);
    sensor->SetExcursion(10, 5);
    const std::string file = (dir / "taken.csv").string();
    std::string error;
    ASSERT_TRUE(station.recorder.Start(file, true, &error)) << error;
    Taken taken;
    station.records.Register(&taken);
    // Stopped on what the consumer took: the 40th command may still be on the line at Stop.
    When([&taken] { return taken.indexes.size() >= 40; },
         [this] { Fire(BTNStop, EVENT_LEFT_CLICK); });
    Fire(BTNRun, EVENT_COMMIT);
    station.recorder.Stop();
    const long long n = station.quality.Stats(Channel::kA).n;
    ASSERT_GE(n, 40);
    std::vector<long long> all(static_cast<std::size_t>(n));
    for (long long i = 0; i < n; ++i) all[static_cast<std::size_t>(i)] = i;
    EXPECT_EQ(taken.indexes, all);
    EXPECT_EQ(taken.live, n);
    EXPECT_EQ(taken.lastA, meas.Avalue);
    EXPECT_EQ(taken.starts, 1);
    EXPECT_EQ(taken.ends, 1);
    ASSERT_EQ(station.quality.Events().size(), 1u);

    taken = Taken{};
    ASSERT_TRUE(StartReplay(station, file, Replay::Speed::kMax, &error)) << error;
    UntilDone();
    EXPECT_EQ(taken.indexes, all) << "the same records, from the file";
    EXPECT_EQ(taken.live, 0);
    EXPECT_EQ(taken.starts, 1);
    EXPECT_EQ(taken.ends, 1);
    EXPECT_EQ(station.quality.Events().size(), 1u) << "the file's one event, listed once";
    station.records.Unregister(&taken);
}

TEST_F(Replays, AVideoModeTraceReplaysIntoTheVideoCurves) {
    const std::string trace = (dir / "video.txt").string();
    Ctl({"--trace", trace, "video", "--count", "2"});
    std::string error;
    ASSERT_TRUE(StartReplay(station, trace, Replay::Speed::kMax, &error)) << error;
    UntilDone();
    EXPECT_EQ(StatusLine().rfind("Replay done: ", 0), 0u) << StatusLine();
    EXPECT_NE(StatusLine().find(" frames"), std::string::npos);
    // The second cycle's samples, as the sensor on port 2 gave them.
    const GraphModel* a = GetGraphModel(panels.panelHandle, GRAPH_CurveA);
    const GraphModel* b = GetGraphModel(panels.panelHandle, GRAPH_CurveB);
    ASSERT_TRUE(a && b && !a->plots.empty() && !b->plots.empty());
    for (int i = 0; i < MAXPOINT; ++i) {
        EXPECT_EQ(a->plots[0].curve.y[i], station.plots.adcbufA[i]);
        EXPECT_EQ(b->plots[0].curve.y[i], station.plots.adcbufB[i]);
    }
    // Each half block as the sensor on port 2 gave it at its moment.
    const auto& log = PortSimSensor(2)->Log();
    ASSERT_GE(log.size(), 4u);
    for (std::size_t f = log.size() - 4; f < log.size(); ++f) {
        ASSERT_EQ(log[f].command, protocol::kDataBlock);
        const int start = log[f].words[0], selector = log[f].words[1];
        const auto video = PortSimSensor(2)->Video(selector, log[f].time);
        const std::uint16_t* got =
            selector == MASTER ? station.plots.adcbufA : station.plots.adcbufB;
        for (int i = start; i < start + 64; ++i)
            ASSERT_EQ(got[i], video[i]) << selector << " " << i;
    }
    int visible = 0;
    GetCtrlAttribute(panels.panelHandle, GRAPH_CurveA, ATTR_VISIBLE, &visible);
    EXPECT_EQ(visible, 1);
}

TEST_F(Replays, AFileThatIsNoRecordingIsRefusedByItsFirstBadLine) {
    const std::string file = (dir / "broken.csv").string();
    Ctl({"record", "--count", "6", "--csv", file});
    std::string text = ReadFile(file);
    const std::size_t third = text.find('\n', text.find('\n', text.find('\n') + 1) + 1);
    text.insert(third + 1, "2026-12-07T10:00:00.000,x,1,2\n");
    std::ofstream(file, std::ios::binary) << text;
    std::string error;
    EXPECT_FALSE(StartReplay(station, file, Replay::Speed::kMax, &error));
    EXPECT_EQ(error.rfind("line 4: ", 0), 0u) << error;
    EXPECT_FALSE(station.replay.Loaded());

    // A recording still being written is played up to its last whole row.
    const std::string growing = (dir / "growing.csv").string();
    Ctl({"record", "--count", "5", "--csv", growing});
    std::ofstream(growing, std::ios::app | std::ios::binary) << "2026-12-07T10:00:00.000,5,51";
    testing::internal::CaptureStderr();
    ASSERT_TRUE(StartReplay(station, growing, Replay::Speed::kMax, &error)) << error;
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "qtor-kmb: " + growing + ": line 7: incomplete last line left out\n");
    UntilDone();
    EXPECT_EQ(StatusLine(), "Replay done: 5 records");

#ifdef __unix__
    // A FIFO without a writer would block the opening before the window is up.
    const std::string fifo = (dir / "fifo.csv").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(StartReplay(station, fifo, Replay::Speed::kMax, &error));
    EXPECT_EQ(error, "is not a regular file");
#endif
}

}  // namespace
