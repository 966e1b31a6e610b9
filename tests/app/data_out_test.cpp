// What leaves the program as files: run-mode recordings and graph exports, and what a write
// that fails leaves behind.
#include "data_out.h"

#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QDateTime>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "app_fixture.h"
#include "gui.h"
#include "link_view.h"
#include "modes.h"
#include "read_file.h"
#include "recording.h"
#include "run_task.h"
#include "toolkit_internal.h"
#include "trace.h"

namespace fs = std::filesystem;

namespace {

using sim::Fault;
using sim::FaultKind;

// The header, the record's words in the order they come.
const char* const kHeader =
    "time,index,Avalue,Bvalue,Mvalue,tTol,tValA,tValB,tVal,edcntA,edcntB,leftA,rightA,rightB,"
    "leftB,anaMax,anaMin,sIndex";

std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string f; std::getline(in, f, ',');) fields.push_back(f);
    return fields;
}

// The complete lines of a file (a cut last line is left out).
std::vector<std::string> Lines(const fs::path& file) {
    const std::string text = ReadFile(file);
    std::vector<std::string> lines;
    for (size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1)
        lines.push_back(text.substr(at, end - at));
    return lines;
}

// Local time as the rows give it.
std::string Now() {
    return QDateTime::currentDateTime().toString("yyyy-MM-ddTHH:mm:ss.zzz").toStdString();
}

class DataOut : public AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        dir = fs::temp_directory_path() / ("qtor-data-out-" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        std::ofstream(dir / "plain") << "a file where a folder should be\n";
    }
    void TearDown() override {
        station.recorder.Stop();
        link.trace.Stop();
        SetCtrlVal(panels.panelHandle, TOGBTN_Record, 0);
        SetCtrlVal(panels.panelHandle, TOGBTN_Trace, 0);
        HidePanel(panels.panelHandle);
        AppTest::TearDown();
        fs::remove_all(dir);
    }
    void Answer(const fs::path& file) {
        SetFileDialogHook([this, file](const FileDialogRequest& r, std::string* path) {
            asked = r;
            *path = file.string();
            return 1;
        });
    }
    // Record switched on with the mouse, the dialog answered with `file`.
    void RecordTo(const fs::path& file) {
        Answer(file);
        SetCtrlVal(panels.panelHandle, TOGBTN_Record, 1);
        Fire(TOGBTN_Record, EVENT_COMMIT);
    }
    // The measurement records the sensor sent for the first `frames` frames of its log: the
    // log replayed on `replay`, a copy of the sensor taken before them.
    std::vector<protocol::Words> Sent(sim::Sensor replay, size_t frames) const {
        std::vector<protocol::Words> records;
        for (size_t i = 0; i < frames; ++i) {
            const sim::ReceivedFrame& f = sensor->Log()[i];
            const auto reply = replay.Handle(f.command, f.words, f.time);
            if (f.command == protocol::kMeasure && reply)
                records.push_back(protocol::DecodePayload(reply->bytes.data()));
        }
        return records;
    }
    // Row i of `lines` (after the header) carries record i of `sent` under its names, the
    // times in the order the records came.
    static void ExpectRows(const std::vector<std::string>& lines,
                           const std::vector<protocol::Words>& sent) {
        ASSERT_LE(lines.size() - 1, sent.size());
        const std::regex stamp(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3})");
        for (size_t i = 1; i < lines.size(); ++i) {
            const std::vector<std::string> f = Split(lines[i]);
            ASSERT_EQ(f.size(), 18u) << lines[i];
            ASSERT_TRUE(std::regex_match(f[0], stamp)) << f[0];
            ASSERT_GE(f[0], i > 1 ? Split(lines[i - 1])[0] : "") << i;
            ASSERT_EQ(f[1], std::to_string(i - 1)) << "index since the recording started";
            for (size_t w = 0; w < 16; ++w)
                ASSERT_EQ(f[2 + w], std::to_string(sent[i - 1][w])) << "row " << i - 1 << ", " << w;
        }
    }
    fs::path dir;
    FileDialogRequest asked;
};

TEST_F(DataOut, RunModeRecordsEveryRecordTheSensorSentOnceInOrder) {
    // A zone half an hour off any whole-hour one: a stamp in UTC or without the offset shows.
    const std::string zone = std::getenv("TZ") ? std::getenv("TZ") : "";
    setenv("TZ", "QTR-5:30", 1);
    tzset();
    Connect();
    const sim::Sensor before = *sensor;
    RecordTo(dir / "run.csv");
    EXPECT_EQ(StatusLine(), "Recording run mode to run.csv");
    EXPECT_EQ(asked.defaultName, "QTORrecord.csv");
    // The sensor falls silent after a few hundred records: run mode ends by its time-out,
    // so no reply is left unread at the end.
    size_t answered = 0;
    SetTestClockStep(0.1);
    When([this] { return CountCommand(8) >= 300; },
         [this, &answered] {
             answered = sensor->Log().size();
             sensor->SetFault(8, Fault{FaultKind::kNoReply});
         });
    const std::string from = Now();
    Fire(BTNRun, EVENT_COMMIT);
    const std::string to = Now();
    EXPECT_EQ(StatusLine(), "Timeout RS232-Line!");
    EXPECT_TRUE(station.recorder.Recording()) << "the end of run mode does not end the recording";
    // Every row is in the file once run mode has ended.
    const std::vector<std::string> lines = Lines(dir / "run.csv");
    SetCtrlVal(panels.panelHandle, TOGBTN_Record, 0);
    Fire(TOGBTN_Record, EVENT_COMMIT);
    EXPECT_EQ(StatusLine(), "Recording ended: run.csv");
    zone.empty() ? unsetenv("TZ") : setenv("TZ", zone.c_str(), 1);
    tzset();

    const std::vector<protocol::Words> sent = Sent(before, answered);
    ASSERT_GE(sent.size(), 300u);
    ASSERT_EQ(lines.size(), sent.size() + 1) << "one row per record, none missing, none twice";
    EXPECT_EQ(lines[0], kHeader);
    ExpectRows(lines, sent);
    EXPECT_GE(lines[1].substr(0, 23), from) << "local time";
    EXPECT_LE(lines.back().substr(0, 23), to);
}

// Beside the rows, what made them: the sensor's firmware and set when the recording began,
// then each set sent meanwhile with its target; an existing info file is somebody's.
TEST_F(DataOut, ARecordingSaysWhatMadeItAndEachSetSentMeanwhile) {
    Connect();
    station.quality.alarmAfter = 7;
    RecordTo(dir / "run.csv");
    const auto info = [this] {
        QFile f(QString::fromStdString((dir / "run-info.json").string()));
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return QJsonDocument::fromJson(f.readAll()).object();
    };
    const auto set = [](const QJsonValue& entry, const char* name) {
        return entry.toObject()["set"].toObject()[name].toInt();
    };
    EXPECT_EQ(info()["firmware"].toString().toStdString(), sensor->FirmwareText());
    EXPECT_EQ(info()["port"].toString().toStdString(), station.Name());
    EXPECT_EQ(info()["alarm_after"].toInt(), 7);
    EXPECT_EQ(set(info()["parameters"].toArray().at(0), "tValA"), sensor->Ram()[7]);

    SetCtrlVal(panels.panelHandle, NEDITeachA, 640);
    Fire(BTNSend, EVENT_LEFT_CLICK);
    const QJsonArray sets = info()["parameters"].toArray();
    ASSERT_EQ(sets.size(), 2);
    EXPECT_EQ(sets.at(1).toObject()["target"].toString(), "RAM");
    EXPECT_EQ(set(sets.at(1), "tValA"), 640);
    EXPECT_NE(set(sets.at(0), "tValA"), 640) << "the first set stays as it was";
    station.recorder.Stop();

    std::string error;
    fs::remove(dir / "run.csv");
    fs::remove(dir / "run-events.csv");
    EXPECT_FALSE(station.recorder.Start((dir / "run.csv").string(), true, &error));
    EXPECT_EQ(error, (dir / "run-info.json").string() + " exists; not overwritten");
    EXPECT_FALSE(fs::exists(dir / "run.csv")) << "refused before the recording is made";
}

// The Trace toggle starts the protocol trace into the file chosen and ends it; a file that
// cannot be written leaves the toggle off and says so.
TEST_F(DataOut, TraceToggleTracesTheLineUntilSwitchedOff) {
    const auto toggle = [this](int on) {
        SetCtrlVal(panels.panelHandle, TOGBTN_Trace, on);
        Fire(TOGBTN_Trace, EVENT_COMMIT);
    };
    Answer(dir / "plain" / "t.txt");
    toggle(1);
    EXPECT_FALSE(link.trace.Tracing());
    EXPECT_EQ(Value(panels.panelHandle, TOGBTN_Trace), 0);
    EXPECT_EQ(StatusLine(), "Trace not started, cannot write: t.txt");

    Answer(dir / "line.txt");
    toggle(1);
    EXPECT_EQ(asked.filter, "*.txt");
    EXPECT_EQ(files.record_dir, dir.string()) << "the next dialog opens where this one ended";
    EXPECT_EQ(StatusLine(), "Tracing the line to line.txt");
    Connect();
    toggle(0);
    EXPECT_FALSE(link.trace.Tracing());
    EXPECT_EQ(StatusLine(), "Trace ended");
    RunTask(InitRS232(link, params));  // after the trace: not in the file
    const std::vector<std::string> lines = Lines(dir / "line.txt");
    ASSERT_EQ(lines.size(), 6u) << "echo, RAM read and firmware read, each sent and answered";
    EXPECT_NE(lines[0].find(" TX "), std::string::npos);
    EXPECT_EQ(lines[0].substr(lines[0].size() - 5), " echo");
    EXPECT_NE(lines[1].find(" RX "), std::string::npos);
}

TEST_F(DataOut, AFailedWriteEndsTheRecordingKeepingItsRowsWhileRunModeGoesOn) {
    // Files that cannot be made: nothing is recorded and the toggle goes back off.
    for (const auto& [file, name] : {std::pair<fs::path, std::string>{"/dev/full", "full"},
                                     {dir / "plain" / "x.csv", "x.csv"}}) {
        RecordTo(file);
        EXPECT_EQ(StatusLine(), "Recording not started, cannot write: " + name);
        EXPECT_EQ(Value(panels.panelHandle, TOGBTN_Record), 0);
        EXPECT_FALSE(station.recorder.Recording());
    }

    Connect();
    const sim::Sensor before = *sensor;
    RecordTo(dir / "cut.csv");
    ASSERT_TRUE(station.recorder.Recording());
    // The file may not grow past 8 KiB: the write that crosses it fails as on a full disk.
    rlimit oldLimit{};
    getrlimit(RLIMIT_FSIZE, &oldLimit);
    const rlimit limit{8192, oldLimit.rlim_max};
    setrlimit(RLIMIT_FSIZE, &limit);
    const auto oldSignal = signal(SIGXFSZ, SIG_IGN);
    When([this] { return CountCommand(8) >= 3000; }, [this] { Fire(BTNStop, EVENT_LEFT_CLICK); });
    Fire(BTNRun, EVENT_COMMIT);
    setrlimit(RLIMIT_FSIZE, &oldLimit);
    signal(SIGXFSZ, oldSignal);

    EXPECT_GE(CountCommand(8), 3000) << "run mode went on";
    EXPECT_LT(station.recorder.Rows(), 1000);
    EXPECT_EQ(StatusLine(), "Recording stopped, write failed: cut.csv");
    EXPECT_EQ(Value(panels.panelHandle, TOGBTN_Record), 0);
    EXPECT_FALSE(station.recorder.Recording());
    const std::vector<std::string> lines = Lines(dir / "cut.csv");
    ASSERT_GE(lines.size(), 40u) << "what was written stays";
    ExpectRows(lines, Sent(before, sensor->Log().size()));

    // Rows still buffered when the toggle goes off must reach the file, or it says so.
    RecordTo(dir / "last.csv");
    const rlimit headerOnly{fs::file_size(dir / "last.csv"), oldLimit.rlim_max};
    setrlimit(RLIMIT_FSIZE, &headerOnly);
    signal(SIGXFSZ, SIG_IGN);
    for (int i = 0; i < 3; ++i)
        station.recorder.RecordMeasurement(RecordTimeText(std::chrono::system_clock::now()),
                                           link.pp);
    SetCtrlVal(panels.panelHandle, TOGBTN_Record, 0);
    Fire(TOGBTN_Record, EVENT_COMMIT);
    setrlimit(RLIMIT_FSIZE, &oldLimit);
    signal(SIGXFSZ, oldSignal);
    EXPECT_EQ(StatusLine(), "Recording stopped, write failed: last.csv");
}

TEST_F(DataOut, GraphMenuSavesImagesAndDataAndSaysWhenItCannot) {
    DisplayPanel(panels.panelHandle);
    SetCtrlAttribute(panels.panelHandle, GRAPH_CurveA, ATTR_VISIBLE, 1);
    for (int i = 0; i < MAXPOINT; ++i) plots.adcbufA[i] = static_cast<std::uint16_t>(1000 - 7 * i);
    station.gui.PlotDATACurveA(plots);
    Pump(0.05);
    // The plot fills its control.
    const QWidget* plot = qtor::FindControl(panels.panelHandle, GRAPH_CurveA)->widget;
    const auto menu = [this](int event) { Fire(GRAPH_CurveA, event); };

    Answer(dir / "a.png");
    menu(EVENT_SAVE_IMAGE);
    EXPECT_EQ(asked.defaultName, "QTOR-CurveA.png");
    EXPECT_EQ(StatusLine(), "Image saved to a.png");
    const QImage png(QString::fromStdString((dir / "a.png").string()));
    ASSERT_FALSE(png.isNull());
    // Fit for a report: at least 1600 pixels wide, in the shape of the graph on screen.
    EXPECT_GE(png.width(), 1600);
    EXPECT_NEAR(double(png.height()) / png.width(), double(plot->height()) / plot->width(), 0.01);
    Answer(dir / "a.pdf");
    menu(EVENT_SAVE_IMAGE);
    EXPECT_EQ(ReadFile(dir / "a.pdf").rfind("%PDF-", 0), 0u);
    Answer(dir / "a.csv");
    menu(EVENT_EXPORT_DATA);
    EXPECT_EQ(asked.defaultName, "QTOR-CurveA.csv");
    EXPECT_EQ(StatusLine(), "Data exported to a.csv");
    const std::vector<std::string> lines = Lines(dir / "a.csv");
    ASSERT_EQ(lines.size(), MAXPOINT + 1u);
    EXPECT_EQ(lines[0], "pixel,Video signal,Threshold");
    for (int i = 0; i < MAXPOINT; ++i)
        ASSERT_EQ(lines[i + 1], std::to_string(8 * i) + "," + std::to_string(1000 - 7 * i) + "," +
                                    std::to_string(plots.thdArrayA[i]));

    // Into a folder that cannot be written: said so, the earlier files and the graph stay.
    const std::string csv = ReadFile(dir / "a.csv");
    Answer(dir / "plain" / "b.png");
    menu(EVENT_SAVE_IMAGE);
    EXPECT_EQ(StatusLine(), "Image not saved, cannot write: b.png");
    Answer(dir / "plain" / "b.csv");
    menu(EVENT_EXPORT_DATA);
    EXPECT_EQ(StatusLine(), "Data not exported, cannot write: b.csv");
    EXPECT_EQ(ReadFile(dir / "a.csv"), csv);
    EXPECT_EQ(GetGraphModel(panels.panelHandle, GRAPH_CurveA)->plots.size(), 2u);
    SetCtrlAttribute(panels.panelHandle, GRAPH_CurveA, ATTR_VISIBLE, 0);
}

}  // namespace
