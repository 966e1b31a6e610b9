// qtor-ctl report end to end: qtor-report writes the PDF, which is read back with pdftotext,
// pdfinfo and pdffonts; its numbers must be those of qtor-ctl stats on the same recording.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <sstream>

#include "ctl.h"
#include "read_file.h"
#include "record_csv.h"

namespace fs = std::filesystem;

namespace {

struct Shell {
    int status = -1;
    std::string out;
};

// Runs a shell command line; its standard output, standard error left out.
Shell Sh(const std::string& command) {
    Shell r;
    FILE* p = popen((command + " 2>/dev/null").c_str(), "r");
    if (!p) return r;
    char buf[4096];
    for (std::size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) r.out.append(buf, n);
    const int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

std::string Quoted(const fs::path& p) { return "'" + p.string() + "'"; }

// The text of one page (0: all), laid out as on the page.
std::string PageText(const fs::path& pdf, int page = 0) {
    const std::string pages =
        page > 0 ? " -f " + std::to_string(page) + " -l " + std::to_string(page) : "";
    return Sh("pdftotext -layout" + pages + " " + Quoted(pdf) + " -").out;
}

// The number after the first `label` that has one; NaN if none.
double NumberAfter(const std::string& text, const std::string& label) {
    const std::regex number("(?:^|\\s)" + label + "\\s+(-?[0-9]+(?:\\.[0-9]+)?)(?=\\s|$)");
    std::smatch m;
    if (!std::regex_search(text, m, number)) return std::nan("");
    return std::stod(m[1]);
}

// The 16 names of the parameter set in word order, as the information file lists them.
const char* const kNames[16] = {
    "Power A",      "Power B",         "Video threshold A",  "Video threshold B",
    "Polarity",     "Evaluation mode", "Averaging",          "Set-point A",
    "Set-point B",  "Tolerance",       "Potentiometer mode", "Analog output mode",
    "Time setting", "Spare word 13",   "Spare word 14",      "Spare word 15"};

class Report : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("qtor-report-" +
               std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    int Ctl(const std::vector<std::string>& args) {
        std::ostringstream o, e;
        const int status = RunCtl(args, o, e);
        out = o.str();
        err = e.str();
        return status;
    }
    // `rows` records: A near 512 with noise, B near 300 then 340, A outside for rows 50 to 54.
    fs::path Recording(const std::string& name, int rows) {
        const fs::path file = dir / name;
        std::mt19937 rng(5);
        std::uniform_int_distribution<int> noise(-25, 25);
        RecordWriter writer;
        std::string why;
        EXPECT_TRUE(writer.Open(file.string(), true, &why)) << why;
        for (int i = 0; i < rows; ++i) {
            const int a = i >= 50 && i < 55 ? 600 + 4 * i - 200 : 512 + noise(rng);
            const int b = i < rows / 2 ? 300 + noise(rng) / 2 : 340 + noise(rng);
            const auto w = [](int v) { return static_cast<std::uint16_t>(v); };
            // Avalue, Bvalue, Mvalue, tTol, tValA, tValB, tVal.
            const std::uint16_t words[16] = {w(a), w(b), 0, 60, 512, w(i < rows / 2 ? 300 : 340),
                                             999};
            EXPECT_TRUE(writer.Add(words));
        }
        EXPECT_TRUE(writer.Close());
        return file;
    }
    void Info(const fs::path& recording, const std::string& text) {
        fs::path info = recording;
        info.replace_filename(recording.stem().string() + "-info.json");
        std::ofstream(info, std::ios::binary) << text;
    }
    static std::string InfoText() {
        std::string set;
        for (int k = 0; k < 16; ++k)
            set += std::string(k ? "," : "") + "\"" + kNames[k] + "\":" + std::to_string(100 + k);
        return "{\"program\":\"qtor-kmb 2.4.0\",\"port\":\"COM7\",\"device\":\"/dev/ttyUSB3\","
               "\"firmware\":\"KMB FW 4.2 line 3\",\"started\":\"2026-12-08T22:55:23.123\","
               "\"alarm_after\":3,\"parameters\":[{\"time\":\"2026-12-08T22:55:23.123\",\"set\":{" +
               set +
               "}},{\"time\":\"2026-12-08T23:00:00.000\",\"set\":{}},"
               "{\"time\":\"2026-12-08T23:01:00.000\",\"set\":{}}]}";
    }
    fs::path dir;
    std::string out, err;
};

TEST_F(Report, HoldsTheNumbersOfStatsTheHashAndTheInformationFile) {
    const fs::path csv = Recording("line3.csv", 300);
    Info(csv, InfoText());
    const fs::path pdf = dir / "line3.pdf";
    ASSERT_EQ(Ctl({"report", csv.string(), "--pdf", pdf.string(), "--title", "Line 3 capability"}),
              0)
        << err;
    EXPECT_EQ(err.find("qtor-ctl:"), std::string::npos) << err;
    ASSERT_EQ(Ctl({"--json", "stats", csv.string()}), 0) << err;
    const QJsonObject stats = QJsonDocument::fromJson(QByteArray::fromStdString(out)).object();
    ASSERT_FALSE(stats.isEmpty()) << out;

    // Each channel's numbers on its page, as stats gives them to the decimals shown.
    const std::pair<const char*, int> pages[] = {{"A", 1}, {"B", 2}};
    struct Number {
        const char *label, *key;
        int decimals;
    };
    const Number numbers[] = {{"n", "n", 0},
                              {"mean", "mean", 3},
                              {"sigma within", "sigma_within", 3},
                              {"sigma overall", "sigma_overall", 3},
                              {"low", "low", 0},
                              {"high", "high", 0},
                              {"out", "out", 0},
                              {"Cp", "cp", 3},
                              {"Cpk", "cpk", 3},
                              {"Pp", "pp", 3},
                              {"Ppk", "ppk", 3},
                              {"ppm within", "ppm_within", 1},
                              {"ppm overall", "ppm_overall", 1},
                              {"ppm observed", "ppm_observed", 1}};
    for (const auto& [channel, page] : pages) {
        const std::string text = PageText(pdf, page);
        ASSERT_NE(text.find(std::string("Channel ") + channel), std::string::npos) << text;
        const QJsonObject s = stats[channel].toObject();
        for (const auto& [label, key, decimals] : numbers) {
            const double want = s[key].toDouble();
            EXPECT_NEAR(NumberAfter(text, label), want,
                        0.5 * std::pow(10, -decimals) + 1e-9 * std::fabs(want))
                << channel << " " << label << "\n"
                << text;
        }
        // Neither channel's numbers are the other's.
        const double other = stats[channel == std::string("A") ? "B" : "A"]["mean"].toDouble();
        EXPECT_GT(std::fabs(NumberAfter(text, "mean") - other), 1) << channel;
    }

    const std::string first = PageText(pdf, 1);
    const std::string sha = Sh("sha256sum " + Quoted(csv)).out.substr(0, 64);
    EXPECT_TRUE(std::regex_search(first, std::regex("SHA-256\\s+" + sha + "\\n"))) << sha << "\n"
                                                                                   << first;
    for (const char* want : {"Line 3 capability", "line3.csv", "KMB FW 4.2 line 3",
                             "qtor-kmb 2.4.0", "COM7 (/dev/ttyUSB3)", "2026-12-08T22:55:23.123"})
        EXPECT_NE(first.find(want), std::string::npos) << want << "\n" << first;
    EXPECT_EQ(NumberAfter(first, "Records"), 300);
    EXPECT_EQ(NumberAfter(first, "Later writes"), 2);
    // The parameter set in word order, each name with its value.
    std::size_t at = 0;
    for (int k = 0; k < 16; ++k) {
        const std::size_t found = first.find(kNames[k], at);
        ASSERT_NE(found, std::string::npos) << kNames[k] << " after the words before it\n" << first;
        EXPECT_EQ(NumberAfter(first.substr(found), kNames[k]), 100 + k) << kNames[k];
        at = found;
    }

    // The events as stats lists them: A's excursion.
    const std::string second = PageText(pdf, 2);
    const QJsonArray events = stats["events"].toArray();
    ASSERT_FALSE(events.isEmpty());
    for (const QJsonValue& v : events) {
        const QJsonObject e = v.toObject();
        const std::string row = e["channel"].toString().toStdString() + "\\s+" +
                                std::to_string(e["first"].toInteger()) + "\\s+" +
                                std::to_string(e["last"].toInteger()) + "\\s+" +
                                std::to_string(e["records"].toInteger()) + "\\s+" +
                                std::to_string(e["worst"].toInteger()) + "\\s+" +
                                std::to_string(e["low"].toInteger()) + "\\.\\." +
                                std::to_string(e["high"].toInteger());
        EXPECT_TRUE(std::regex_search(second, std::regex(row))) << row << "\n" << second;
    }
    EXPECT_NE(second.find("Page 2 of 2"), std::string::npos);

    const std::string info = Sh("pdfinfo " + Quoted(pdf)).out;
    EXPECT_NE(info.find("Title:           Line 3 capability"), std::string::npos) << info;
    EXPECT_TRUE(std::regex_search(info, std::regex("Pages:\\s+2\\n"))) << info;
    EXPECT_TRUE(std::regex_search(info, std::regex("Page size:\\s+595 x 842 pts \\(A4\\)")))
        << info;
    // Every font embedded: the emb column of each row after the two header lines.
    std::istringstream fonts(Sh("pdffonts " + Quoted(pdf)).out);
    std::string line;
    std::getline(fonts, line);
    std::getline(fonts, line);
    int rows = 0;
    for (; std::getline(fonts, line); ++rows)
        EXPECT_TRUE(std::regex_search(line, std::regex("\\s+yes\\s+(yes|no)\\s+(yes|no)\\s+\\d")))
            << line;
    EXPECT_GE(rows, 1);

    ASSERT_EQ(Ctl({"report", csv.string(), "--pdf", pdf.string(), "--alarm-after", "10"}), 0)
        << err;
    const std::string quiet = PageText(pdf, 2);
    EXPECT_NE(quiet.find("No alarms"), std::string::npos) << quiet;
    EXPECT_NE(PageText(pdf, 1).find("Capability report"), std::string::npos) << "the default";
}

TEST_F(Report, RefusesWhatItCannotReportNamingTheFile) {
    const fs::path csv = Recording("run.csv", 20);
    const std::string pdf = (dir / "run.pdf").string();
    std::ofstream(pdf) << "an older report";
    const fs::path bad = dir / "notes.csv";
    std::ofstream(bad) << "time,index,something else\n1,2,3\n";
    EXPECT_EQ(Ctl({"report", bad.string(), "--pdf", pdf}), 2);
    EXPECT_NE(err.find("qtor-ctl: " + bad.string() + ": line 1: not a recording's header\n"),
              std::string::npos)
        << err;
    EXPECT_EQ(ReadFile(pdf), "an older report") << "a refused report leaves the old one";

    // The report never replaces its recording, however the path is spelt.
    const std::string spelt = (dir / "." / "run.csv").string();
    EXPECT_EQ(Ctl({"report", csv.string(), "--pdf", spelt}), 2);
    EXPECT_NE(err.find("qtor-ctl: " + spelt + ": is the recording itself"), std::string::npos)
        << err;
    EXPECT_EQ(ReadFile(csv).rfind(RecordCsvHeader(), 0), 0u);

    const std::string missing = (dir / "missing.csv").string();
    EXPECT_EQ(Ctl({"report", missing, "--pdf", pdf}), 4);
    EXPECT_NE(err.find("qtor-ctl: " + missing + ": cannot be opened"), std::string::npos) << err;
    const std::string nowhere = (dir / "no-folder" / "r.pdf").string();
    EXPECT_EQ(Ctl({"report", csv.string(), "--pdf", nowhere}), 4);
    EXPECT_NE(err.find("qtor-ctl: " + nowhere + ": cannot be written"), std::string::npos) << err;

    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"report", csv.string()},
          {"report", "--pdf", pdf},
          {"report", csv.string(), "--pdf", pdf, "--title", ""},
          {"stats", csv.string(), "--pdf", pdf}}) {
        EXPECT_EQ(Ctl(args), 2) << args.back();
        EXPECT_NE(err.find("Usage: qtor-ctl"), std::string::npos) << err;
    }

    // An existing report is replaced.
    ASSERT_EQ(Ctl({"report", csv.string(), "--pdf", pdf}), 0) << err;
    EXPECT_EQ(ReadFile(pdf).rfind("%PDF-", 0), 0u);
}

TEST_F(Report, SaysSoWhenTheInformationFileIsMissingOrDamaged) {
    const fs::path csv = Recording("run.csv", 20);
    const fs::path pdf = dir / "run.pdf";
    ASSERT_EQ(Ctl({"report", csv.string(), "--pdf", pdf.string()}), 0) << err;
    std::string text = PageText(pdf, 1);
    EXPECT_TRUE(std::regex_search(text, std::regex("Information\\s+no information file\\n")))
        << text;

    std::string cut = InfoText();
    cut.resize(cut.size() / 2);
    Info(csv, cut);
    ASSERT_EQ(Ctl({"report", csv.string(), "--pdf", pdf.string()}), 0) << err;
    text = PageText(pdf, 1);
    EXPECT_NE(text.find("no information file (run-info.json damaged"), std::string::npos) << text;
    EXPECT_EQ(text.find("KMB FW"), std::string::npos);
}

TEST_F(Report, EventsRunOntoPagesOfTheirOwnAndAreCounted) {
    // 1100 alarms of one record each (K 1): every event counted, the first 1000 listed on
    // page 2 and the pages after it, each page numbered of them all.
    const fs::path csv = dir / "alarms.csv";
    RecordWriter writer;
    std::string why;
    ASSERT_TRUE(writer.Open(csv.string(), true, &why)) << why;
    for (int i = 0; i < 2200; ++i) {
        const std::uint16_t words[16] = {
            static_cast<std::uint16_t>(i % 2 ? 512 : 700), 300, 0, 60, 512, 300, 999};
        ASSERT_TRUE(writer.Add(words));
    }
    ASSERT_TRUE(writer.Close());
    const fs::path pdf = dir / "alarms.pdf";
    ASSERT_EQ(Ctl({"report", csv.string(), "--pdf", pdf.string(), "--alarm-after", "1"}), 0) << err;
    const std::string info = Sh("pdfinfo " + Quoted(pdf)).out;
    std::smatch m;
    ASSERT_TRUE(std::regex_search(info, m, std::regex("Pages:\\s+(\\d+)"))) << info;
    const int pages = std::stoi(m[1]);
    EXPECT_GT(pages, 3);
    const std::string all = PageText(pdf);
    EXPECT_NE(all.find("1100 events, the first 1000 listed"), std::string::npos);
    // Rows "A  first  last  1  700  452..572  time", in order, none twice, none left out.
    const std::regex row("\\n\\s*A\\s+([0-9]+)\\s+([0-9]+)\\s+1\\s+700\\s+452\\.\\.572\\s");
    long long expected = 0;
    for (auto it = std::sregex_iterator(all.begin(), all.end(), row); it != std::sregex_iterator();
         ++it, expected += 2) {
        ASSERT_EQ(std::stoll((*it)[1]), expected);
    }
    EXPECT_EQ(expected, 2 * 1000);
    for (int page = 1; page <= pages; ++page) {
        const std::string footer =
            "Page " + std::to_string(page) + " of " + std::to_string(pages) + "\n";
        EXPECT_NE(PageText(pdf, page).find(footer), std::string::npos) << footer;
    }
    EXPECT_NE(PageText(pdf, 3).find("Events (continued)"), std::string::npos);
}

// qtor-ctl finds qtor-report beside itself or on PATH, and says so when it finds neither; the
// report needs no display.
TEST_F(Report, QtorCtlFindsQtorReportOrSaysItCannot) {
    const fs::path csv = Recording("run.csv", 20);
    const fs::path alone = dir / "bin";
    fs::create_directories(alone);
    fs::copy_file(fs::path(QTOR_BIN_DIR) / "qtor-ctl", alone / "qtor-ctl");
    const std::string report = " report " + Quoted(csv) + " --pdf " + Quoted(dir / "r.pdf");
    const Shell lost = Sh("{ env PATH=/nonexistent " + Quoted(alone / "qtor-ctl") + report +
                          " 2>&1 >/dev/null; }");
    EXPECT_EQ(lost.status, 4);
    EXPECT_EQ(lost.out, "qtor-ctl: qtor-report not found beside qtor-ctl or on PATH\n");
    EXPECT_FALSE(fs::exists(dir / "r.pdf"));

    const Shell found = Sh(
        "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM PATH=" + std::string(QTOR_BIN_DIR) +
        ":/usr/bin:/bin " + Quoted(alone / "qtor-ctl") + report);
    EXPECT_EQ(found.status, 0);
    EXPECT_NE(PageText(dir / "r.pdf", 1).find("Channel A"), std::string::npos);
}

}  // namespace
