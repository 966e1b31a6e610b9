// Debounced alarms: when they start, what their events hold, and the events file's rows.
#include "alarms.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::string Said(const AlarmEvent& e) {
    return " [" + e.channel + " " + std::to_string(e.first) + ".." + std::to_string(e.last) + " x" +
           std::to_string(e.records) + " worst " + NumberText(e.worst) + " in " +
           std::to_string(e.low) + ".." + std::to_string(e.high) + " at " + e.time + "]";
}

// Record i has index 100 + i and time "t<i>". What the detector said: "start@i" where an
// alarm started, each event where it ended, "end" and the event Finish delivered.
std::string Feed(const std::vector<ChannelSample>& records, long long alarmAfter) {
    AlarmDetector d("A", alarmAfter);
    std::string said;
    for (int i = 0; i < static_cast<int>(records.size()); ++i) {
        const AlarmStep step = d.Add(100 + i, "t" + std::to_string(i), records[i]);
        if (step.started) said += " start@" + std::to_string(i);
        if (step.ended) said += Said(*step.ended);
    }
    if (auto last = d.Finish()) said += " end" + Said(*last);
    return said;
}

std::vector<ChannelSample> In400To600(const std::vector<double>& values) {
    std::vector<ChannelSample> r;
    for (double v : values) r.push_back({v, 400, 600});
    return r;
}

TEST(AlarmDetector, StartsAfterKRecordsOutsideAndReportsEachExcursionOnce) {
    // 350 is the worst: 50 below the window, 640 only 40 above.
    const auto five = In400To600({500, 610, 620, 350, 640, 605, 500});
    EXPECT_EQ(Feed(five, 3), " start@3 [A 101..105 x5 worst 350 in 400..600 at t1]");
    EXPECT_EQ(Feed(five, 10), "");
    EXPECT_EQ(Feed(In400To600({610, 620, 500, 610, 620, 500}), 3), "") << "inside restarts";
    EXPECT_EQ(Feed(In400To600({600, 400, 600}), 1), "") << "on a limit is inside";
    EXPECT_EQ(Feed(In400To600({500, 601, 500, 399}), 0),
              " start@1 [A 101..101 x1 worst 601 in 400..600 at t1] start@3 end [A 103..103 x1 "
              "worst 399 in 400..600 at t3]")
        << "K = 0 counts as 1";
    // Distances 10, 10 and 55, each from its own record's limits; the event keeps the first's.
    EXPECT_EQ(Feed({{610, 400, 600}, {560, 400, 550}, {555, 400, 500}, {555, 400, 600}}, 2),
              " start@1 [A 100..102 x3 worst 555 in 400..600 at t0]");
}

TEST(AlarmDetector, FinishForgetsAShortRunAndStartsAfresh) {
    EXPECT_EQ(Feed(In400To600({500, 610, 620}), 3), "") << "two of three open at the end";
    AlarmDetector d("B", 2);
    d.Add(1, "a", {700, 400, 600});
    EXPECT_FALSE(d.Finish());
    EXPECT_FALSE(d.Add(2, "b", {700, 400, 600}).started) << "one outside since the end";
}

TEST(AlarmEvents, CsvRows) {
    const AlarmEvent a{"A", 7, 11, 5, 612.5, 400, 600, "2026-12-07T19:35:31.123"};
    EXPECT_EQ(AlarmEventsCsvHeader() + AlarmEventCsvRow(a) +
                  AlarmEventCsvRow(LinkLostEvent("19:40:02, \"cable\"", 41)),
              "channel,first,last,records,worst,low,high,time\n"
              "A,7,11,5,612.5,400,600,2026-12-07T19:35:31.123\n"
              "link,41,41,0,,,,\"19:40:02, \"\"cable\"\"\"\n");
}

}  // namespace
