// qtor-ctl's commands against the in-process simulated sensor: what goes on the wire, what is
// printed, and the exit status of each way a command can fail.
#include "ctl.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

#include "ctl_output.h"
#include "model.h"
#include "port_table.h"
#include "record_csv.h"
#include "sensor.h"
#include "timer.h"

#ifdef __unix__
#include <sys/stat.h>
#endif

namespace fs = std::filesystem;

namespace {

constexpr int kPort = 7;

class Ctl : public ::testing::Test {
  protected:
    void SetUp() override {
        PortTableReset();
        PortTableSetSimulated(kPort, false);
        sensor = PortSimSensor(kPort);
        ASSERT_NE(sensor, nullptr);
        dir = fs::temp_directory_path() /
              ("qtor-ctl-" +
               std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        SetTestClockStep(0);
        fs::remove_all(dir);
    }
    // Runs qtor-ctl on the simulated port; its output lands in out and err.
    int Run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--port", std::to_string(kPort)});
        std::ostringstream o, e;
        const int status = RunCtl(args, o, e);
        out = o.str();
        err = e.str();
        return status;
    }
    std::vector<int> Commands() const {
        std::vector<int> c;
        for (const auto& f : sensor->Log()) c.push_back(f.command);
        return c;
    }
    std::string File(const std::string& name, const std::string& text) {
        const fs::path p = dir / name;
        std::ofstream(p, std::ios::binary) << text;
        return p.string();
    }
    static std::string Lines(const std::vector<int>& values) {
        std::string s;
        for (int v : values) s += std::to_string(v) + "\n";
        return s;
    }
    sim::Sensor* sensor = nullptr;
    fs::path dir;
    std::string out, err;
};

TEST_F(Ctl, GetWritesTheParameterFileAndSendVerifiesIt) {
    sensor->Ram()[9] = 5000;  // a tolerance out of range: corrected as a read would
    const std::string file = (dir / "set.cfg").string();
    ASSERT_EQ(Run({"get", "ram", file}), kCtlOk) << err;
    EXPECT_EQ(Commands(), (std::vector<int>{5, 2})) << "line check, then the read";
    std::ifstream in(file);
    std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(text.substr(0, 10), " 200\n 200\n");
    EXPECT_NE(text.find("\n 128\n"), std::string::npos) << text;
    EXPECT_NE(err.find("tTol 5000 corrected to 128"), std::string::npos) << err;

    sensor->ClearLog();
    const std::string changed =
        File("new.cfg", Lines({250, 200, 500, 510, 0, 3, 4, 600, 610, 50, 2, 1, 900, 0, 0, 7}));
    PortTableSetSimulated(kPort,
                          true);  // as strict as hardware: a discard loses what is on the way
    ASSERT_EQ(Run({"send", "eeprom", changed}), kCtlOk) << err;
    EXPECT_EQ(out, "verified\n");
    EXPECT_EQ(Commands(), (std::vector<int>{5, 3, 4}));
    EXPECT_EQ(sensor->Log()[1].words[15], 7);
    EXPECT_EQ(sensor->Eeprom()[7], 600);

    ASSERT_EQ(Run({"compare", "eeprom", changed}), kCtlOk);
    EXPECT_EQ(out, "") << "nothing differs";
    ASSERT_EQ(Run({"--json", "compare", "ram", "eeprom"}), kCtlDiffers);
    EXPECT_NE(out.find("{\"word\":0,\"name\":\"powerA\",\"first\":200,\"second\":250}"),
              std::string::npos)
        << out;
}

TEST_F(Ctl, ABadFileNeverReachesTheSensor) {
    const std::vector<std::pair<std::string, std::string>> bad = {
        {(dir / "missing.cfg").string(), "unreadable"},
        {File("short.cfg", Lines({200, 200, 512})), "incomplete"},
        {File("garbled.cfg", "200\n200\nabc\n"), "incomplete"},
        {File("wide.cfg", Lines({200, 70000, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1})),
         "16-bit"}};
    for (const auto& [file, why] : bad) {
        EXPECT_EQ(Run({"send", "ram", file}), kCtlFile) << file;
        EXPECT_NE(err.find(why), std::string::npos) << err;
    }
    EXPECT_TRUE(sensor->Log().empty()) << "not even the line check";
    EXPECT_EQ(Run({"get", "ram", (dir / "no-folder" / "x.cfg").string()}), kCtlFile);
}

TEST_F(Ctl, AReadBackThatDiffersNamesTheWords) {
    sensor->SetFault(1, sim::Fault{sim::FaultKind::kIgnore});
    const std::string file =
        File("set.cfg", Lines({200, 200, 512, 512, 1, 1, 1, 640, 512, 100, 1, 0, 1000, 0, 0, 0}));
    EXPECT_EQ(Run({"send", "ram", file}), kCtlDiffers);
    EXPECT_EQ(out, "tValA\n");
    EXPECT_EQ(Commands(), (std::vector<int>{5, 1, 2, 2})) << "confirmed by a second read";
    EXPECT_EQ(Run({"--json", "send", "ram", file}), kCtlDiffers);
    EXPECT_EQ(out,
              "{\"target\":\"ram\",\"verified\":false,\"differs\":[{\"name\":\"tValA\","
              "\"sent\":640,\"read\":512}]}\n");
    sensor->ClearFault(1);
    EXPECT_EQ(Run({"--json", "send", "ram", file}), kCtlOk);
    EXPECT_EQ(out, "{\"target\":\"ram\",\"verified\":true,\"differs\":[]}\n");
}

TEST_F(Ctl, LinkFailuresEndWithStatusThreeAndTheProgramsText) {
    SetTestClockStep(0.1);  // time-outs pass in a few event pumps
    sensor->SetFault(5, sim::Fault{sim::FaultKind::kNoReply, 0, true});
    EXPECT_EQ(Run({"info"}), kCtlLink);
    EXPECT_EQ(err, "qtor-ctl: Timeout-RS-232...\n");
    sensor->SetFault(5, sim::Fault{sim::FaultKind::kWrongSync, 0, true});
    EXPECT_EQ(Run({"get", "ram"}), kCtlLink);
    EXPECT_EQ(err, "qtor-ctl: read error - not sync byte 0xAA!\n");
    sensor->SetFault(2, sim::Fault{sim::FaultKind::kGarbage, 0, true});
    EXPECT_EQ(Run({"get", "ram"}), kCtlLink) << "a garbled reply is no parameter set";
    // A read-back that never comes is a link failure, not a difference.
    sensor->SetFault(2, sim::Fault{sim::FaultKind::kNoReply});
    const std::string set =
        File("set.cfg", Lines({200, 200, 512, 512, 1, 1, 1, 600, 512, 100, 1, 0, 1000, 0, 0, 0}));
    EXPECT_EQ(Run({"send", "ram", set}), kCtlLink);
    EXPECT_EQ(err, "qtor-ctl: Timeout-RS-232...\n");
    sensor->ClearFault(2);
    sensor->SetFault(8, sim::Fault{sim::FaultKind::kNoReply, 0, true});
    EXPECT_EQ(Run({"record", "--count", "2"}), kCtlLink);
    EXPECT_EQ(err, "qtor-ctl: Timeout RS232-Line!\n");
    sensor->SetFault(9, sim::Fault{sim::FaultKind::kCut, 100, true});
    EXPECT_EQ(Run({"buffer"}), kCtlLink);
    EXPECT_EQ(err, "qtor-ctl: Timeout-RS-232 while reading 64 data-words!\n");

    std::ostringstream o, e;
    EXPECT_EQ(RunCtl({"--port", "/nonexistent/ttyQTOR", "info"}, o, e), kCtlLink);
    EXPECT_EQ(e.str(), "qtor-ctl: Cannot open port - no such device\n");
}

TEST_F(Ctl, UsageErrorsEndWithStatusTwoAndTheUsage) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{"bogus"},
                                                 {"get"},
                                                 {"get", "flash"},
                                                 {"record"},
                                                 {"record", "--count", "0"},
                                                 {"info", "--frobnicate"},
                                                 {"send", "ram"},
                                                 {"info", "--csv", "x.csv"},
                                                 {}}) {
        EXPECT_EQ(Run(args), kCtlUsage) << (args.empty() ? "" : args[0]);
        EXPECT_NE(err.find("Usage: qtor-ctl"), std::string::npos);
    }
    EXPECT_TRUE(sensor->Log().empty());
}

TEST_F(Ctl, RecordsVideoAndBufferAsCsvAndJson) {
    sensor->Hold(3.0);
    ASSERT_EQ(Run({"record", "--count", "3"}), kCtlOk) << err;
    EXPECT_EQ(Commands(), (std::vector<int>{5, 2, 8, 8, 8}));
    std::istringstream rows(out);
    std::string header, row;
    std::getline(rows, header);
    EXPECT_EQ(header + "\n", RecordCsvHeader());
    const auto record = sensor->Measure(3.0);
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(std::getline(rows, row));
        EXPECT_EQ(row.substr(23, 3), "," + std::to_string(i) + ",") << row;
        EXPECT_NE(row.find("," + std::to_string(record[protocol::kLeftA]) + ","),
                  std::string::npos);
    }
    EXPECT_FALSE(std::getline(rows, row)) << "no fourth record";

    // Into a file, the alarms' events go beside it: A outside for records 5 to 8 of the
    // sensor (rows 1 to 4 of this recording) is one excursion of four with K 2.
    sensor->Hold(0.0);  // inside the window but for the excursion
    sensor->SetExcursion(5, 4);
    const std::string recording = (dir / "r.csv").string();
    ASSERT_EQ(Run({"record", "--count", "8", "--csv", recording, "--alarm-after", "2"}), kCtlOk)
        << err;
    const std::string text = [&] {
        std::ifstream in(dir / "r-events.csv");
        return std::string((std::istreambuf_iterator<char>(in)), {});
    }();
    EXPECT_EQ(text.substr(0, text.find('\n')), "channel,first,last,records,worst,low,high,time");
    EXPECT_EQ(text.find("A,1,4,4,", 0), text.find('\n') + 1) << text;
    // And what made it: the sensor's firmware and set, K, the port and the program.
    const QJsonObject info = [&] {
        QFile f(QString::fromStdString((dir / "r-info.json").string()));
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return QJsonDocument::fromJson(f.readAll()).object();
    }();
    EXPECT_EQ(info["firmware"].toString().toStdString(), sensor->FirmwareText());
    EXPECT_EQ(info["alarm_after"].toInt(), 2);
    EXPECT_EQ(info["port"].toString().toStdString(), "COM" + std::to_string(kPort));
    EXPECT_TRUE(info["program"].toString().startsWith("qtor-ctl "));
    const QJsonObject set = info["parameters"].toArray().at(0).toObject()["set"].toObject();
    ASSERT_EQ(set.size(), PNUM);
    for (int k = 0; k < PNUM; ++k)
        EXPECT_EQ(set[kParameterNames[k]].toInt(), sensor->Ram()[k]) << kParameterNames[k];

    ASSERT_EQ(Run({"video", "--count", "1", "--csv", (dir / "v.csv").string()}), kCtlOk);
    std::ifstream video(dir / "v.csv");
    int lines = 0;
    for (std::string l; std::getline(video, l);) ++lines;
    EXPECT_EQ(lines, 1 + 128);

    std::vector<std::uint16_t> ring(128);
    ring[0] = 100;  // the oldest value sits at slot 100
    for (int k = 1; k < 128; ++k) ring[k] = static_cast<std::uint16_t>(1000 + k);
    sensor->SetRing(ring);
    ASSERT_EQ(Run({"--json", "buffer"}), kCtlOk) << err;
    EXPECT_EQ(
        out.rfind("{\"columns\":[\"index\",\"value\"],\"rows\":[[0,1102],[1,1102],[2,1102],", 0),
        0u)
        << out;
    EXPECT_NE(out.find("[27,1127],[28,1001],[29,1001],[30,1002]"), std::string::npos) << out;

    ASSERT_EQ(Run({"--json", "get", "eeprom"}), kCtlOk);
    EXPECT_NE(out.find("\"words\":[200,200,512,512,1,1,1,512,512,100,1,0,1000,0,0,0]"),
              std::string::npos);
    EXPECT_NE(out.find("\"names\":{\"powerA\":200,"), std::string::npos) << out;
}

TEST_F(Ctl, TeachPrintsTheNewSetPointsAndResetPrintsNothing) {
    sensor->Hold(2.0);
    ASSERT_EQ(Run({"teach"}), kCtlOk);
    EXPECT_EQ(out, "tValA " + std::to_string(sensor->Ram()[7]) + "\ntValB " +
                       std::to_string(sensor->Ram()[8]) + "\n");
    EXPECT_EQ(Commands(), (std::vector<int>{5, 6, 2}));
    sensor->ClearLog();
    ASSERT_EQ(Run({"reset"}), kCtlOk);
    EXPECT_EQ(out, "");
    EXPECT_EQ(Commands(), (std::vector<int>{5, 11}));
}

// The number `key` of the object `channel` in stats' JSON; NaN for null.
double JsonNumber(const std::string& json, const std::string& channel, const std::string& key) {
    const std::size_t at = json.find("\"" + key + "\":", json.find("\"" + channel + "\":"));
    double v = std::nan("");
    if (at != std::string::npos)
        std::from_chars(json.data() + at + key.size() + 3, json.data() + json.size(), v);
    return v;
}

// One channel of stats' JSON against the plain way over `rows` (value, set-point, tolerance):
// two passes, limits clamped as the strip chart clamps them; the within sigma from the moving
// ranges of consecutive rows, the overall one from the squares.
void ExpectStats(const std::string& json, const std::string& channel,
                 const std::vector<std::array<int, 3>>& rows) {
    const auto low = [](const std::array<int, 3>& r) { return std::max(r[1] - r[2], 1); };
    const auto high = [](const std::array<int, 3>& r) { return std::min(r[1] + r[2], 1023); };
    const double n = static_cast<double>(rows.size());
    double sum = 0, squares = 0, out = 0, min = 1e9, max = -1e9;
    for (const auto& r : rows) {
        sum += r[0];
        min = std::min<double>(min, r[0]);
        max = std::max<double>(max, r[0]);
        out += r[0] < low(r) || r[0] > high(r);
    }
    const double mean = sum / n;
    for (const auto& r : rows) squares += (r[0] - mean) * (r[0] - mean);
    double ranges = 0;
    for (std::size_t i = 1; i < rows.size(); ++i) ranges += std::abs(rows[i][0] - rows[i - 1][0]);
    const double sigma = std::sqrt(squares / (n - 1)), within = ranges / (n - 1) / 1.128,
                 lo = low(rows.back()), hi = high(rows.back());
    const std::pair<const char*, double> want[] = {
        {"n", n},
        {"mean", mean},
        {"sigma", sigma},
        {"sigma_overall", sigma},
        {"sigma_within", within},
        {"min", min},
        {"max", max},
        {"low", lo},
        {"high", hi},
        {"out", out},
        {"out_pct", 100 * out / n},
        {"ppm_observed", 1e6 * out / n},
        {"cp", (hi - lo) / (6 * within)},
        {"cpk", std::min(hi - mean, mean - lo) / (3 * within)},
        {"pp", (hi - lo) / (6 * sigma)},
        {"ppk", std::min(hi - mean, mean - lo) / (3 * sigma)}};
    for (const auto& [key, value] : want) {
        EXPECT_NEAR(JsonNumber(json, channel, key), value, 1e-9 * std::max(1.0, std::fabs(value)))
            << channel << " " << key;
    }
}

TEST_F(Ctl, StatsOfARecordingNeedNoSensor) {
    // 300 records: A around 512 with one excursion of 5 (rows 50 to 54: 580 to 620, above 572).
    // B's set-point moves at row 200: its earlier values are inside their own limits but below
    // the last ones; two stray at rows 100 and 101, too few for an alarm, and the last four are
    // above 400, an alarm still on when the recording ends.
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> noise(-30, 30);
    std::vector<std::array<int, 3>> a, b;
    const std::string file = (dir / "run.csv").string();
    RecordWriter writer;
    ASSERT_TRUE(writer.Open(file, true, &err)) << err;
    for (int i = 0; i < 300; ++i) {
        a.push_back({i >= 50 && i < 55 ? 80 + 10 * i : 512 + noise(rng), 512, 60});
        b.push_back({i == 100 || i == 101 ? 370
                     : i >= 296           ? 405
                     : i < 200            ? 270 + noise(rng) / 3
                                          : 330 + noise(rng),
                     i < 200 ? 300 : 340, 60});
        const auto w = [](int v) { return static_cast<std::uint16_t>(v); };
        // Avalue, Bvalue, Mvalue, tTol, tValA, tValB, then tVal, no channel's set-point.
        const std::uint16_t words[16] = {
            w(a.back()[0]), w(b.back()[0]), 0, 60, 512, w(b.back()[1]), 999};
        ASSERT_TRUE(writer.Add(words));
    }
    ASSERT_TRUE(writer.Close());

    ASSERT_EQ(Run({"stats", file, "--json"}), kCtlOk) << err;
    ExpectStats(out, "A", a);
    ExpectStats(out, "B", b);
    EXPECT_NE(out.find("\"events\":[{\"channel\":\"A\",\"first\":50,\"last\":54,\"records\":5,"
                       "\"worst\":620,\"low\":452,\"high\":572,\"time\":\"20"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("},{\"channel\":\"B\",\"first\":296,\"last\":299,\"records\":4,"),
              std::string::npos)
        << out;
    EXPECT_EQ(std::count(out.begin(), out.end(), '{'), 5) << "A, B and two events: " << out;
    ASSERT_EQ(Run({"stats", "--alarm-after", "10", file, "--json"}), kCtlOk) << err;
    EXPECT_NE(out.find("\"events\":[]"), std::string::npos) << out;

    ASSERT_EQ(Run({"--json", "stats", file, "--last", "120"}), kCtlOk) << err;
    ExpectStats(out, "A", {a.end() - 120, a.end()});
    ExpectStats(out, "B", {b.end() - 120, b.end()});

    ASSERT_EQ(Run({"stats", file}), kCtlOk) << err;
    std::istringstream table(out.substr(out.find("\nA ")));
    const std::vector<std::string> row{std::istream_iterator<std::string>(table), {}};
    ASSERT_GE(row.size(), 11u) << out;
    EXPECT_EQ(row[1] + " " + row[9], "300 5") << "n and out of A: " << out;
    EXPECT_NE(out.find("\nalarm A: records 50 to 54, 5 outside from 20"), std::string::npos) << out;
    EXPECT_TRUE(sensor->Log().empty());
}

TEST_F(Ctl, StatsRefusesAFileThatIsNoRecordingNamingTheLine) {
    std::string text = RecordCsvHeader();
    const std::uint16_t words[16] = {500, 500, 0, 100, 512, 512};
    for (int i = 0; i < 8; ++i)
        text += i == 6 ? "t,6,1,2,3\n" : RecordCsvRow(std::chrono::system_clock::now(), i, words);
    const std::string broken = File("broken.csv", text);
    EXPECT_EQ(Run({"stats", broken}), kCtlUsage);
    EXPECT_EQ(err, "qtor-ctl: " + broken + ": line 8: 5 values, expected 18\n");
    EXPECT_EQ(out, "");
    EXPECT_EQ(Run({"stats", (dir / "missing.csv").string()}), kCtlFile);

    ASSERT_EQ(Run({"--json", "stats", File("empty.csv", RecordCsvHeader())}), kCtlOk) << err;
    EXPECT_EQ(out.rfind("{\"A\":{\"n\":0,\"mean\":null,\"sigma\":null,\"sigma_within\":null,"
                        "\"sigma_overall\":null,\"min\":null,\"max\":null,\"low\":null,"
                        "\"high\":null,\"cp\":null,\"cpk\":null,\"pp\":null,\"ppk\":null,"
                        "\"cpk_low\":null,\"cpk_high\":null,\"ppm_within\":null,"
                        "\"ppm_overall\":null,\"ppm_observed\":null,\"out\":null,"
                        "\"out_pct\":null},\"B\":{\"n\":0,",
                        0),
              0u)
        << out;
    for (const std::vector<std::string>& args : {std::vector<std::string>{"stats"},
                                                 {"stats", broken, "--last", "0"},
                                                 {"info", "--alarm-after", "3"}})
        EXPECT_EQ(Run(args), kCtlUsage) << args.back();
    EXPECT_TRUE(sensor->Log().empty());
}

// A recording whose writer stopped before its last line break still counts that row; a last
// line cut short is left out and said so; what is no regular file is refused at once, so a
// FIFO without a writer cannot hang the command, nor an endless device fill its memory.
TEST_F(Ctl, StatsTakesAWholeLastRowAndRefusesWhatIsNoFile) {
    std::string text = RecordCsvHeader();
    const std::uint16_t words[16] = {500, 500, 0, 100, 512, 512};
    for (int i = 0; i < 200; ++i) text += RecordCsvRow(std::chrono::system_clock::now(), i, words);
    text.pop_back();
    ASSERT_EQ(Run({"--json", "stats", File("stopped.csv", text)}), kCtlOk) << err;
    EXPECT_EQ(out.rfind("{\"A\":{\"n\":200,", 0), 0u) << out;
    EXPECT_EQ(err, "");
    const std::string cut = File("cut.csv", text.substr(0, text.size() - 20));
    ASSERT_EQ(Run({"--json", "stats", cut, "--last", "500"}), kCtlOk) << err;
    EXPECT_EQ(out.rfind("{\"A\":{\"n\":199,", 0), 0u) << out;
    EXPECT_EQ(err, "qtor-ctl: " + cut + ": line 201: incomplete last line left out\n");

    EXPECT_EQ(Run({"stats", dir.string()}), kCtlFile);
    EXPECT_EQ(err, "qtor-ctl: " + dir.string() + ": is a directory\n");
#ifdef __unix__
    const std::string fifo = (dir / "fifo.csv").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(Run({"stats", fifo}), kCtlFile);
    EXPECT_EQ(err, "qtor-ctl: " + fifo + ": is not a regular file\n");
    EXPECT_EQ(Run({"stats", "/dev/zero"}), kCtlFile);
#endif
    std::string endless = RecordCsvHeader() + std::string(100000, '7');
    EXPECT_EQ(Run({"stats", File("endless.csv", endless)}), kCtlUsage);
    EXPECT_NE(err.find(": line 2: longer than 4096 characters"), std::string::npos) << err;
}

// What --json prints is JSON whatever a recording's fields hold: UTF-8 passes, a byte that is
// none (a stray or missing continuation, an overlong form, a surrogate, beyond U+10FFFF) is
// the replacement character, controls are escaped.
TEST(CtlJson, StringsAreValidJsonWhateverTheyHold) {
    const std::pair<std::string, std::string> cases[] = {
        {"\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80", "\"\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80\""},
        {"a\xff"
         "b",
         "\"a\\ufffdb\""},
        {"\xc0\xaf", "\"\\ufffd\\ufffd\""},
        {"\xed\xa0\x80", "\"\\ufffd\\ufffd\\ufffd\""},
        {"\xf4\x90\x80\x80", "\"\\ufffd\\ufffd\\ufffd\\ufffd\""},
        {"12:00\xe2\x82", "\"12:00\\ufffd\\ufffd\""},
        {"\"\\\x01", "\"\\\"\\\\\\u0001\""},
    };
    for (const auto& [text, want] : cases) EXPECT_EQ(JsonString(text), want) << want;
}

// Plain text for a terminal: a field's escape sequence is shown, not obeyed.
TEST(CtlText, ControlBytesAreShownNotSent) {
    EXPECT_EQ(PrintableText("12:00\x1b]0;owned\x07\x7f\xc3\xa9"),
              "12:00\\x1b]0;owned\\x07\\x7f\xc3\xa9");
}

}  // namespace
