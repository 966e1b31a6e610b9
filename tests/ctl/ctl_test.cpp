// qtor-ctl's commands against the in-process simulated sensor: what goes on the wire, what is
// printed, and the exit status of each way a command can fail.
#include "ctl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

#include "port_table.h"
#include "record_csv.h"
#include "sensor.h"
#include "timer.h"

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

// The value of `key` in the object `channel` of stats' JSON ("events" for the first event);
// NaN when it is null or missing.
double JsonNumber(const std::string& json, const std::string& channel, const std::string& key) {
    const std::size_t object = json.find("\"" + channel + "\":");
    const std::size_t at = json.find("\"" + key + "\":", object);
    if (object == std::string::npos || at == std::string::npos) return std::nan("");
    const char* begin = json.data() + at + key.size() + 3;
    double v = 0;
    const auto r = std::from_chars(begin, json.data() + json.size(), v);
    return r.ec == std::errc() ? v : std::nan("");
}

// What stats must say for one channel of `rows` (value, set-point and tolerance per row),
// computed the plain way: two passes, limits clamped as the strip chart clamps them.
struct Reference {
    double n, mean, sigma, min, max, low, high, cp, cpk, out, outPct;
};
Reference Expected(const std::vector<std::array<int, 3>>& rows) {
    Reference r{};
    r.n = static_cast<double>(rows.size());
    double sum = 0;
    r.min = 1e9;
    r.max = -1e9;
    for (const auto& [v, tVal, tTol] : rows) {
        sum += v;
        r.min = std::min<double>(r.min, v);
        r.max = std::max<double>(r.max, v);
        if (v < std::max(tVal - tTol, 1) || v > std::min(tVal + tTol, 1023)) ++r.out;
    }
    r.mean = sum / r.n;
    double squares = 0;
    for (const auto& row : rows) squares += (row[0] - r.mean) * (row[0] - r.mean);
    r.sigma = std::sqrt(squares / (r.n - 1));
    r.low = std::max(rows.back()[1] - rows.back()[2], 1);
    r.high = std::min(rows.back()[1] + rows.back()[2], 1023);
    r.cp = (r.high - r.low) / (6 * r.sigma);
    r.cpk = std::min(r.high - r.mean, r.mean - r.low) / (3 * r.sigma);
    r.outPct = 100 * r.out / r.n;
    return r;
}

void ExpectStats(const std::string& json, const std::string& channel, const Reference& want) {
    const std::pair<const char*, double> fields[] = {
        {"n", want.n},     {"mean", want.mean}, {"sigma", want.sigma},   {"min", want.min},
        {"max", want.max}, {"low", want.low},   {"high", want.high},     {"cp", want.cp},
        {"cpk", want.cpk}, {"out", want.out},   {"out_pct", want.outPct}};
    for (const auto& [key, value] : fields) {
        EXPECT_NEAR(JsonNumber(json, channel, key), value, 1e-9 * std::max(1.0, std::fabs(value)))
            << channel << " " << key << " in " << json;
    }
}

class CtlStats : public Ctl {
  protected:
    int Stats(const std::vector<std::string>& args) {
        std::ostringstream o, e;
        const int status = RunCtl(args, o, e);
        out = o.str();
        err = e.str();
        return status;
    }
};

TEST_F(CtlStats, NumbersAndAlarmsOfARecording) {
    // 300 records: A around 512 with one excursion of 5 records (rows 50 to 54); B's set-point
    // moves at row 200, and its first 200 values are inside their own limits but below the
    // last ones. B strays from row 47 to 54, and for two records at rows 100 and 101, too
    // few for an alarm.
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> noise(-30, 30);
    std::vector<std::array<int, 3>> a, b;
    RecordWriter writer;
    const std::string file = (dir / "run.csv").string();
    std::string why;
    ASSERT_TRUE(writer.Open(file, true, &why)) << why;
    for (int i = 0; i < 300; ++i) {
        const int tTol = 60, tValA = 512, tValB = i < 200 ? 300 : 340;
        const int va = i >= 50 && i < 55 ? 580 + 10 * i - 500 : 512 + noise(rng);
        const int vb = (i >= 47 && i < 55) || i == 100 || i == 101 ? 370 + i % 3
                       : i < 200                                   ? 270 + noise(rng) / 3
                                                                   : 330 + noise(rng);
        a.push_back({va, tValA, tTol});
        b.push_back({vb, tValB, tTol});
        std::uint16_t words[16] = {};
        words[protocol::kAvalue] = static_cast<std::uint16_t>(va);
        words[protocol::kBvalue] = static_cast<std::uint16_t>(vb);
        words[protocol::kRecTTol] = tTol;
        words[protocol::kRecTValA] = tValA;
        words[protocol::kRecTValB] = static_cast<std::uint16_t>(tValB);
        words[protocol::kTVal] = 999;  // not a set-point of either channel
        ASSERT_TRUE(writer.Add(words));
    }
    ASSERT_TRUE(writer.Close());

    ASSERT_EQ(Stats({"stats", file, "--json"}), kCtlOk) << err;
    ExpectStats(out, "A", Expected(a));
    ExpectStats(out, "B", Expected(b));
    // Rows 50 to 54 are 580 to 620, above 572.
    EXPECT_EQ(JsonNumber(out, "A", "out"), 5);
    EXPECT_EQ(JsonNumber(out, "B", "out"), 10);
    // Both end at row 55; they are listed in the order they began.
    ASSERT_EQ(std::count(out.begin(), out.end(), '{'), 5) << "A, B and two events: " << out;
    EXPECT_NE(out.find("\"events\":[{\"channel\":\"B\",\"first\":47,\"last\":54,\"records\":8,"
                       "\"worst\":372,\"low\":240,\"high\":360,\"time\":\"20"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("},{\"channel\":\"A\",\"first\":50,\"last\":54,\"records\":5,"
                       "\"worst\":620,\"low\":452,\"high\":572,\"time\":\"20"),
              std::string::npos)
        << out;
    ASSERT_EQ(Stats({"stats", "--alarm-after", "10", file, "--json"}), kCtlOk) << err;
    EXPECT_NE(out.find("\"events\":[]"), std::string::npos) << out;

    ASSERT_EQ(Stats({"--json", "stats", file, "--last", "120"}), kCtlOk) << err;
    ExpectStats(out, "A", Expected({a.end() - 120, a.end()}));
    ExpectStats(out, "B", Expected({b.end() - 120, b.end()}));
    EXPECT_NE(out.find("\"events\":[]"), std::string::npos) << "the excursion is earlier";

    ASSERT_EQ(Stats({"stats", file}), kCtlOk) << err;
    std::istringstream table(out);
    std::string line;
    std::getline(table, line);
    std::getline(table, line);
    std::istringstream cells(line);
    std::vector<std::string> a300{std::istream_iterator<std::string>(cells), {}};
    ASSERT_EQ(a300.size(), 12u) << line;
    EXPECT_EQ(a300[0] + " " + a300[1] + " " + a300[10], "A 300 5") << line;
    EXPECT_NE(out.find("\nalarm A: records 50 to 54, 5 outside from 20"), std::string::npos) << out;
    EXPECT_TRUE(sensor->Log().empty()) << "a recording needs no sensor";
}

TEST_F(CtlStats, AFileThatIsNoRecordingIsRefusedNamingTheLine) {
    std::string text = RecordCsvHeader();
    for (int i = 0; i < 8; ++i) {
        const std::uint16_t words[16] = {500, 500, 0, 100, 512, 512};
        text += RecordCsvRow(std::chrono::system_clock::now(), i, words);
        if (i == 5) text += "2026-12-07T19:35:31.123,6,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15\n";
    }
    const std::string broken = File("broken.csv", text);
    EXPECT_EQ(Stats({"stats", broken}), kCtlUsage);
    EXPECT_EQ(err, "qtor-ctl: " + broken + ": line 8: 17 values, expected 18\n");
    EXPECT_EQ(out, "");

    EXPECT_EQ(Stats({"stats", (dir / "missing.csv").string()}), kCtlFile);
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;

    ASSERT_EQ(Stats({"--json", "stats", File("empty.csv", RecordCsvHeader())}), kCtlOk) << err;
    const std::string empty =
        "{\"A\":{\"n\":0,\"mean\":null,\"sigma\":null,\"min\":null,\"max\":null,\"low\":null,"
        "\"high\":null,\"cp\":null,\"cpk\":null,\"out\":null,\"out_pct\":null},\"B\":{\"n\":0,";
    EXPECT_EQ(out.rfind(empty, 0), 0u) << out;

    for (const std::vector<std::string>& args : {std::vector<std::string>{"stats"},
                                                 {"stats", broken, broken},
                                                 {"stats", broken, "--last", "0"},
                                                 {"stats", broken, "--alarm-after", "x"},
                                                 {"info", "--alarm-after", "3"}}) {
        EXPECT_EQ(Stats(args), kCtlUsage) << args.back();
        EXPECT_NE(err.find("Usage: qtor-ctl"), std::string::npos);
    }
    EXPECT_TRUE(sensor->Log().empty());
}

}  // namespace
