// Run mode's quality numbers and alarms against a sensor whose channel A leaves its tolerance
// window for five records: what the panel shows, the events file beside the recording, and
// qtor-ctl stats on that recording against numbers computed here.
#include <charconv>
#include <cmath>
#include <filesystem>
#include <sstream>

#include "app_fixture.h"
#include "ctl.h"
#include "quality_text.h"
#include "read_file.h"
#include "recording_file.h"
#include "replay_callbacks.h"
#include "startup.h"

namespace fs = std::filesystem;

namespace {

class QualityNumbers : public AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        dir = fs::temp_directory_path() / ("qtor-quality-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        AppTest::TearDown();
        fs::remove_all(dir);
    }
    std::string Text(int control) const {
        std::string s;
        GetCtrlVal(panels.panelHandle, control, &s);
        return s;
    }
    int Colour(int control) const {
        int c = 0;
        GetCtrlAttribute(panels.panelHandle, control, ATTR_TEXT_BGCOLOR, &c);
        return c;
    }
    // The station takes the options of this command line, as the program does.
    void CommandLine(std::vector<std::string> args) {
        args.insert(args.begin(), "qtor-kmb");
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        Options options;
        ASSERT_EQ(ParseCommandLine(static_cast<int>(argv.size()), argv.data(), &options),
                  Parsed::Run);
        ASSERT_EQ(ApplyOptions(station, options), 0);
    }
    // Runs run mode until the sensor has answered `records` measure commands.
    void Run(int records) {
        When([this, records] { return CountCommand(8) >= records; },
             [this] { Fire(BTNStop, EVENT_LEFT_CLICK); });
        Fire(BTNRun, EVENT_COMMIT);
    }
    // The number `key` of `channel` in qtor-ctl stats' JSON.
    static double Json(const std::string& json, const std::string& channel,
                       const std::string& key) {
        const std::size_t at = json.find("\"" + key + "\":", json.find("\"" + channel + "\":{"));
        double v = std::nan("");
        if (at != std::string::npos)
            std::from_chars(json.data() + at + key.size() + 3, json.data() + json.size(), v);
        return v;
    }
    fs::path dir;
};

TEST_F(QualityNumbers, AnExcursionIsCountedAlarmedListedAndWrittenBesideTheRecording) {
    Connect();
    sensor->Hold(0.0);  // the object rests on the set-points: inside, but for the excursion
    sensor->SetExcursion(300, 5);  // well after the first run's end, whatever it overshoots
    const std::string file = (dir / "run.csv").string();
    std::string error;
    ASSERT_TRUE(station.recorder.Start(file, true, &error)) << error;
    // Two runs into one recording: the excursion comes in the second, whose own count of
    // records starts again while the recording's rows go on.
    Run(20);
    Run(400);
    station.recorder.Stop();
    const Recording rec = [&] {
        std::istringstream in(ReadFile(file));
        return ReadRecording(in);
    }();
    ASSERT_TRUE(rec.Ok()) << rec.Error();
    std::vector<long long> outside;
    for (const RecordingRow& r : rec.rows)
        if (r.words[0] > r.words[4] + r.words[3]) outside.push_back(r.index);
    ASSERT_EQ(outside.size(), 5u);
    const std::string excursion =
        "A," + std::to_string(outside.front()) + "," + std::to_string(outside.back()) + ",5,";

    // The panel: the second run's numbers, channel A alarmed until the click, the event listed.
    char n[32];
    std::snprintf(n, sizeof n, "\nA      %8lld", station.quality.Stats(Channel::kA).n);
    EXPECT_LT(station.quality.Stats(Channel::kA).n, static_cast<long long>(rec.rows.size()));
    EXPECT_NE(Text(TEXT_Stats).find(n), std::string::npos) << Text(TEXT_Stats);
    EXPECT_EQ(Text(BTNStateA), "A ALARM");
    EXPECT_EQ(Text(BTNStateB), "B OK");
    Fire(BTNStateA, EVENT_COMMIT);
    EXPECT_EQ(Text(BTNStateA), "A OK");
    EXPECT_NE(Text(TEXT_Events).find("A  5 records"), std::string::npos) << Text(TEXT_Events);

    // The events file: the one excursion, naming the recording's rows.
    std::istringstream events(ReadFile(dir / "run-events.csv"));
    std::vector<std::string> rows;
    for (std::string row; std::getline(events, row);) rows.push_back(row);
    ASSERT_EQ(rows.size(), 2u) << ReadFile(dir / "run-events.csv");
    EXPECT_EQ(rows[1].rfind(excursion, 0), 0u) << rows[1] << " for " << excursion;

    // qtor-ctl stats on the recording: the numbers computed here, two passes over its rows.
    std::ostringstream out, err;
    ASSERT_EQ(RunCtl({"--json", "stats", file}, out, err), kCtlOk) << err.str();
    for (const auto& [channel, word] : {std::pair{"A", 0}, std::pair{"B", 1}}) {
        double sum = 0;
        for (const RecordingRow& r : rec.rows) sum += r.words[word];
        const double n = static_cast<double>(rec.rows.size());
        const double mean = sum / n;
        double squares = 0;
        for (const RecordingRow& r : rec.rows) squares += std::pow(r.words[word] - mean, 2);
        const double sigma = std::sqrt(squares / (n - 1));
        EXPECT_EQ(Json(out.str(), channel, "n"), n);
        EXPECT_NEAR(Json(out.str(), channel, "mean"), mean, 1e-9 * mean);
        EXPECT_NEAR(Json(out.str(), channel, "sigma"), sigma, 1e-9 * sigma);
        EXPECT_EQ(Json(out.str(), channel, "out"), channel == std::string("A") ? 5 : 0);
    }
    // Only A spreads: B stood still, so its capability is not defined. Cp is taken with the
    // within sigma (the moving ranges of consecutive records), Pp with the overall one.
    double ranges = 0;
    for (std::size_t i = 1; i < rec.rows.size(); ++i)
        ranges += std::abs(rec.rows[i].words[0] - rec.rows[i - 1].words[0]);
    const double within = ranges / static_cast<double>(rec.rows.size() - 1) / 1.128;
    EXPECT_NEAR(Json(out.str(), "A", "sigma_within"), within, 1e-9 * within);
    EXPECT_NEAR(Json(out.str(), "A", "cp"), 200 / (6 * within), 1e-9);
    EXPECT_NEAR(Json(out.str(), "A", "pp"), 200 / (6 * Json(out.str(), "A", "sigma")), 1e-9);
    EXPECT_NE(out.str().find("\"cp\":null"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("{\"channel\":\"A\",\"first\":" + std::to_string(outside.front()) +
                             ",\"last\":" + std::to_string(outside.back()) + ",\"records\":5"),
              std::string::npos)
        << out.str();
    std::ostringstream strict;
    ASSERT_EQ(RunCtl({"--json", "stats", file, "--alarm-after", "10"}, strict, err), kCtlOk);
    EXPECT_NE(strict.str().find("\"events\":[]"), std::string::npos) << strict.str();

    // Played back, the recording's records go into the numbers as run mode's did, and the
    // channels' states follow them: the alarm at the end, OUT where the replay is taken to
    // the excursion's first record.
    ASSERT_EQ(Text(BTNStateA), "A OK");
    std::string why;
    ASSERT_TRUE(StartReplay(station, file, Replay::Speed::kMax, &why)) << why;
    for (const double end = Timer() + 10; Timer() < end && station.replay.Playing();)
        ProcessSystemEvents();
    EXPECT_EQ(Text(BTNStateA), "A ALARM");
    EXPECT_EQ(Text(BTNStateB), "B OK");
    const int alarmColour = Colour(BTNStateA);
    std::size_t first = 0;
    while (first < rec.rows.size() && rec.rows[first].index != outside.front()) ++first;
    station.replay.Seek(first + 1);
    EXPECT_EQ(Text(BTNStateA), "A OUT");
    const int outColour = Colour(BTNStateA);
    station.replay.Seek(first);
    EXPECT_EQ(Text(BTNStateA), "A OK");
    // Each state in a colour of its own, besides its word.
    EXPECT_NE(outColour, Colour(BTNStateA));
    EXPECT_NE(outColour, alarmColour);
    EXPECT_NE(alarmColour, Colour(BTNStateA));
    EXPECT_EQ(Colour(BTNStateB), Colour(BTNStateA)) << "both OK";
    station.replay.Close();
}

// An alarm still on when its run ends is an event of that run, listed and written beside the
// recording; it stands through the next run's start until it is clicked.
TEST_F(QualityNumbers, AnAlarmOnWhenTheRunEndsIsAnEventAndStandsUntilClicked) {
    Connect();
    sensor->Hold(0.0);
    sensor->SetExcursion(10, 1000000);  // outside from record 10 to the end of the run
    const std::string file = (dir / "run.csv").string();
    std::string error;
    ASSERT_TRUE(station.recorder.Start(file, true, &error)) << error;
    Run(30);
    station.recorder.Stop();
    EXPECT_EQ(Text(BTNStateA), "A ALARM");
    ASSERT_EQ(station.quality.Events().size(), 1u);
    const AlarmEvent& event = station.quality.Events().back();
    EXPECT_EQ(event.channel, "A");
    EXPECT_EQ(event.first, 10);
    // From record 10 to the run's last, whichever that was when Stop came.
    EXPECT_GE(event.records, 15);
    EXPECT_EQ(event.records, station.quality.Stats(Channel::kA).n - 10);
    EXPECT_NE(Text(TEXT_Events).find("A  " + std::to_string(event.records) + " records"),
              std::string::npos)
        << Text(TEXT_Events);
    std::istringstream events(ReadFile(dir / "run-events.csv"));
    std::vector<std::string> rows;
    for (std::string row; std::getline(events, row);) rows.push_back(row);
    ASSERT_EQ(rows.size(), 2u) << ReadFile(dir / "run-events.csv");
    EXPECT_EQ(rows[1].rfind("A,10,", 0), 0u) << rows[1];

    // The next run lies inside: the alarm is still marked, until its click.
    sensor->SetExcursion(0, 0);
    sensor->ClearLog();
    Run(10);
    EXPECT_EQ(Text(BTNStateA), "A ALARM") << "a new run does not acknowledge an alarm";
    Fire(BTNStateA, EVENT_COMMIT);
    EXPECT_EQ(Text(BTNStateA), "A OK");
}

// --alarm-after K: five records outside make no alarm with K = 6, and one with K = 5.
TEST_F(QualityNumbers, TheCommandLinesAlarmAfterIsTheRunsK) {
    Connect();
    sensor->Hold(0.0);
    for (const auto& [k, alarmed] : {std::pair{"6", false}, std::pair{"5", true}}) {
        CommandLine({"--alarm-after", k});
        sensor->ClearLog();
        sensor->SetExcursion(sensor->Records() + 5, 5);
        Run(20);
        EXPECT_EQ(Text(BTNStateA), alarmed ? "A ALARM" : "A OK") << "K = " << k;
        EXPECT_EQ(station.quality.Events().size(), alarmed ? 1u : 0u) << "K = " << k;
    }
}

// A sensor that falls silent in run mode is a lost link: an event of the run.
TEST_F(QualityNumbers, ASilentSensorIsALostLinkInTheEvents) {
    Connect();
    sensor->Hold(0.0);
    SetTestClockStep(0.1);
    When([this] { return CountCommand(8) >= 10; },
         [this] { sensor->SetFault(8, sim::Fault{sim::FaultKind::kNoReply}); });
    Fire(BTNRun, EVENT_COMMIT);
    EXPECT_EQ(StatusLine(), "Timeout RS232-Line!");
    ASSERT_EQ(station.quality.Events().size(), 1u);
    EXPECT_TRUE(station.quality.Events().back().IsLink());
    EXPECT_NE(Text(TEXT_Events).find("link lost"), std::string::npos) << Text(TEXT_Events);
}

// The Statistics table: every number under its own heading, "-" where it is not defined, and
// every line within the label's 62 characters.
TEST(QualityTable, EachNumberStandsUnderItsHeading) {
    ChannelStats a;
    a.n = 1234;
    a.mean = 512.3;
    a.sigmaWithin = 1.5;
    a.sigma = 2.5;
    a.min = 500;
    a.max = 530;
    a.out = 7;
    a.outPercent = 0.6;
    a.cp = 1.11;
    a.cpk = 0.99;
    a.cpkLow = 0.81;
    a.cpkHigh = 1.17;
    a.pp = 0.67;
    a.ppk = 0.55;
    a.ppmWithin = 1234;
    a.ppmOverall = 56789;
    a.ppmObserved = 5673;
    const ChannelStats b;
    std::vector<std::string> lines;
    std::istringstream text(QualityTable(a, b, true));
    for (std::string line; std::getline(text, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), 6u);
    for (const std::string& line : lines) EXPECT_LE(line.size(), 62u) << line;
    EXPECT_EQ(lines[0].rfind("in view", 0), 0u);
    // The word of `row` whose end stands under the end of `heading` in line `head`.
    const auto under = [&](std::size_t head, const std::string& heading, std::size_t row) {
        std::size_t at = 0;
        const std::string& h = lines[head];
        while ((at = h.find(heading, at)) != std::string::npos &&
               !((at == 0 || h[at - 1] == ' ') &&
                 (at + heading.size() == h.size() || h[at + heading.size()] == ' ')))
            ++at;
        if (at == std::string::npos) return std::string("no heading ") + heading;
        const std::size_t end = at + heading.size();
        const std::size_t begin = lines[row].find_last_of(' ', end - 1) + 1;
        return lines[row].substr(begin, end - begin);
    };
    const std::pair<const char*, const char*> spread[] = {
        {"n", "1234"},  {"mean", "512.3"}, {"sigma w", "1.50"}, {"sigma o", "2.50"},
        {"min", "500"}, {"max", "530"},    {"out", "7"},        {"out%", "0.6"}};
    for (const auto& [heading, want] : spread) {
        EXPECT_EQ(under(0, heading, 1), want) << heading;
        EXPECT_EQ(under(0, heading, 2),
                  heading == std::string("n") || heading == std::string("out") ? "0" : "-")
            << heading;
    }
    const std::pair<const char*, const char*> capability[] = {
        {"Cp", "1.11"},  {"Cpk", "0.99"},   {"Cpk 95% CI", "0.81..1.17"}, {"Pp", "0.67"},
        {"Ppk", "0.55"}, {"ppm w", "1234"}, {"ppm o", "56789"},           {"ppm obs", "5673"}};
    for (const auto& [heading, want] : capability) {
        EXPECT_EQ(under(3, heading, 4), want) << heading;
        EXPECT_EQ(under(3, heading, 5), "-") << heading;
    }
}

}  // namespace
