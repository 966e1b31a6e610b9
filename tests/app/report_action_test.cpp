// The panel's Report...: the run so far, or the records in view while paused, written as the
// capability report and read back with pdftotext; its numbers are those the run's records and
// the paused charts' histories give.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <regex>

#include "app_fixture.h"
#include "files.h"
#include "graph_model.h"

namespace fs = std::filesystem;

namespace {

std::string PdfText(const fs::path& pdf) {
    std::string text;
    FILE* p = popen(("pdftotext -layout '" + pdf.string() + "' - 2>/dev/null").c_str(), "r");
    if (!p) return text;
    char buf[4096];
    for (std::size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) text.append(buf, n);
    pclose(p);
    return text;
}

// The number after the first `label` that has one; NaN if none.
double NumberAfter(const std::string& text, const std::string& label) {
    const std::regex number("(?:^|\\s)" + label + "\\s+(-?[0-9]+(?:\\.[0-9]+)?)(?=\\s|$)");
    std::smatch m;
    return std::regex_search(text, m, number) ? std::stod(m[1]) : std::nan("");
}

class ReportAction : public AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        dir = fs::temp_directory_path() / ("qtor-report-action-" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        SetCtrlVal(panels.panelHandle, TOGBTN_Pause, 0);
        Fire(TOGBTN_Pause, EVENT_COMMIT);
        SetFileDialogHook(nullptr);
        AppTest::TearDown();
        fs::remove_all(dir);
    }
    // Report... pressed, the dialog answered with `name` in the test's folder.
    std::string Report(const std::string& name) {
        const fs::path pdf = dir / name;
        SetFileDialogHook([pdf](const FileDialogRequest&, std::string* path) {
            *path = pdf.string();
            return 1;
        });
        Fire(BTNReport, EVENT_COMMIT);
        return PdfText(pdf);
    }
    fs::path dir;
};

TEST_F(ReportAction, TheRunSoFarOrTheRecordsInViewWhilePaused) {
    EXPECT_EQ(Report("none.pdf"), "");
    EXPECT_EQ(StatusLine(), "No records for a report yet");

    Connect();
    // Stopped on the records taken: the 250th command may still be on the line at Stop.
    When([this] { return station.quality.Stats(Channel::kA).n >= 250; },
         [this] { Fire(BTNStop, EVENT_LEFT_CLICK); });
    Fire(BTNRun, EVENT_COMMIT);
    const ChannelStats run = station.quality.Stats(Channel::kA);
    ASSERT_GE(run.n, 250);
    std::string text = Report("run.pdf");
    EXPECT_EQ(StatusLine(), "Report written to run.pdf");
    EXPECT_EQ(NumberAfter(text, "Records"), run.n) << text;
    EXPECT_NEAR(NumberAfter(text, "mean"), *run.mean, 5e-4) << text;
    EXPECT_NE(text.find(sensor->FirmwareText()), std::string::npos) << "what made the records";

    // Paused: the 101 records the charts show, from their histories.
    SetCtrlVal(panels.panelHandle, TOGBTN_Pause, 1);
    Fire(TOGBTN_Pause, EVENT_COMMIT);
    const StripChartModel* a = GetStripChartModel(panels.panelHandle, STRIP_RawA);
    const StripChartModel* b = GetStripChartModel(panels.panelHandle, STRIP_RawB);
    ASSERT_TRUE(a && a->paused && b);
    const long long total = a->history.total;
    double sumA = 0, sumB = 0;
    long long outA = 0;
    for (long long n = total - 101; n < total; ++n) {
        const double v = a->history.value(n, 3);
        sumA += v;
        sumB += b->history.value(n, 3);
        outA += v < a->history.value(n, 1) || v > a->history.value(n, 0);
    }
    text = Report("view.pdf");
    EXPECT_EQ(NumberAfter(text, "Records"), 101) << text;
    const std::size_t channelB = text.find("Channel B");
    ASSERT_NE(channelB, std::string::npos) << text;
    EXPECT_NEAR(NumberAfter(text, "mean"), sumA / 101, 5e-4) << text;
    EXPECT_EQ(NumberAfter(text, "out"), outA) << "against each record's own limits\n" << text;
    EXPECT_NEAR(NumberAfter(text.substr(channelB), "mean"), sumB / 101, 5e-4) << text;
    EXPECT_NE(sumA, sumB) << "the channels apart";
}

}  // namespace
