// Range arithmetic behind the data-buffer zoom, the strip-chart limits and the tolerance window.
#include "ranges.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

ZoomRange Zoom(double min, double max, bool* nonEmpty = nullptr) {
    std::vector<double> data(128, min);
    data[64] = max;
    ZoomRange r;
    const bool ok = DataBufferZoom(data.data(), 1024, &r);
    if (nonEmpty) *nonEmpty = ok;
    return r;
}

void ExpectRange(ZoomRange r, int low, int high) {
    EXPECT_EQ(r.low, low);
    EXPECT_EQ(r.high, high);
}

TEST(DataBufferZoom, WidensNarrowSpansAfterClamping) {
    ExpectRange(Zoom(500, 500), 460, 540);
    ExpectRange(Zoom(0, 0), -39, 40);  // low 0 raised to 1, then widened below 1
    ExpectRange(Zoom(500, 509), 451, 558);
    ExpectRange(Zoom(500, 510), 490, 520);
    ExpectRange(Zoom(100, 300), 1, 500);
    ExpectRange(Zoom(900, 1000), 800, 1024);
}

TEST(DataBufferZoom, DataFarAboveTheLineGiveNoRange) {
    bool nonEmpty = true;
    Zoom(3000, 3100, &nonEmpty);
    EXPECT_FALSE(nonEmpty);
}

TEST(StripChartLimits, ClampsLimitsAndWindow) {
    StripLimits s = StripChartLimits(1000, 100);
    EXPECT_EQ(s.upper, 1023);
    EXPECT_EQ(s.lower, 900);
    EXPECT_EQ(s.low, 600);
    EXPECT_EQ(s.high, 1023);

    s = StripChartLimits(5, 20);
    EXPECT_EQ(s.lower, 1);
    EXPECT_EQ(s.low, 1);
    EXPECT_EQ(s.high, 85);

    EXPECT_EQ(StripChartLimits(300, 300).lower, 1);
    EXPECT_EQ(StripChartLimits(500, 9).high, 540);
    EXPECT_EQ(StripChartLimits(500, 10).high, 540);
    EXPECT_EQ(StripChartLimits(500, 11).high, 544);
    // No 16-bit wrap-around: a large tolerance stays a large window.
    EXPECT_EQ(StripChartLimits(65535, 65535).upper, 1023);
    EXPECT_EQ(StripChartLimits(0, 65535).lower, 1);
}

void Expect(const ToleranceWindow& w, double low, double high) {
    EXPECT_TRUE(w.drawn);
    EXPECT_EQ(w.low, low);
    EXPECT_EQ(w.high, high);
}

TEST(ToleranceWindow, SingleChannelModesCorrectTheirEdges) {
    ToleranceInputs in{.tValA = 512, .tValB = 0, .tTol = 100};
    ToleranceWindows w = ToleranceWindowsFor(0, in, 0, 0);
    Expect(w.a, 412, 612);
    EXPECT_FALSE(w.b.drawn);

    in.tValA = 50;
    Expect(ToleranceWindowsFor(0, in, 0, 0).a, 1, 150);
    in.tValA = 100;
    Expect(ToleranceWindowsFor(0, in, 0, 0).a, 0, 200);  // exactly 0 stays 0

    in.tValB = 1000;
    w = ToleranceWindowsFor(1, in, 0, 0);
    Expect(w.b, 900, 1024);
    EXPECT_FALSE(w.a.drawn);
}

TEST(ToleranceWindow, ModeTwoMovesWindowsApartOnlyWithEdgesSeen) {
    ToleranceInputs in{.tValA = 512, .tValB = 300, .tTol = 101, .edcntA = 0, .edcntB = 3};
    ToleranceWindows w = ToleranceWindowsFor(2, in, 600, 400);
    Expect(w.a, 462, 562);
    Expect(w.b, 250, 350);

    in = {.tValA = 512, .tValB = 512, .tTol = 100, .edcntA = 2, .edcntB = 3};
    w = ToleranceWindowsFor(2, in, 600, 400);
    Expect(w.a, 562, 662);
    Expect(w.b, 362, 462);

    w = ToleranceWindowsFor(2, in, 400, 403);  // s = -3 / 2 = -1, not -2
    Expect(w.a, 461, 561);
    Expect(w.b, 463, 563);
}

TEST(ToleranceWindow, ModeThreeRunsFromLineStartAndOtherModesDrawNothing) {
    ToleranceInputs in{.tTol = 100};
    ToleranceWindows w = ToleranceWindowsFor(3, in, 0, 0);
    Expect(w.a, 1, 100);
    Expect(w.b, 1, 100);
    in.tTol = 0;
    Expect(ToleranceWindowsFor(3, in, 0, 0).a, 1, 0);
    for (int mode : {4, 7, -1}) {
        w = ToleranceWindowsFor(mode, in, 0, 0);
        EXPECT_FALSE(w.a.drawn);
        EXPECT_FALSE(w.b.drawn);
    }
}

TEST(DataBufferLines, CentreAndHalfWidthPerEvaluationMode) {
    BufferLines b = DataBufferLines(0, 500, 300, 100);
    EXPECT_EQ(b.centre, 300);
    EXPECT_EQ(b.upper, 400);
    EXPECT_EQ(b.lower, 200);
    b = DataBufferLines(1, 500, 300, 100);
    EXPECT_EQ(b.centre, 500);
    b = DataBufferLines(2, 500, 300, 1);
    EXPECT_EQ(b.upper, 501) << "half-width 0 is raised to 1";
    EXPECT_EQ(b.lower, 499);
    b = DataBufferLines(3, 900, 900, 100);
    EXPECT_EQ(b.centre, 512);
    EXPECT_EQ(DataBufferLines(1, 923, 0, 100).upper, 1023);
    EXPECT_EQ(DataBufferLines(1, 924, 0, 100).upper, 1024);
    EXPECT_EQ(DataBufferLines(1, 101, 0, 100).lower, 1);
    EXPECT_EQ(DataBufferLines(1, 100, 0, 100).lower, 1);
    EXPECT_EQ(DataBufferLines(1, 50, 0, 100).lower, 1);
}

}  // namespace
