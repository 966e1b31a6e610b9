// Debounced alarms: when they start, what their events hold, and the events file's rows.
#include "alarms.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// What a detector said over a run of records: positions where an alarm started, and every
// event, the one delivered by Finish last.
struct Trace {
    std::vector<int> started;
    std::vector<AlarmEvent> events;
};

// Record i has index 100 + i and time "t<i>".
Trace Feed(const std::vector<ChannelSample>& records, int alarmAfter) {
    AlarmDetector d("A", alarmAfter);
    Trace t;
    for (int i = 0; i < static_cast<int>(records.size()); ++i) {
        const AlarmStep step = d.Add(100 + i, "t" + std::to_string(i), records[i]);
        if (step.started) {
            t.started.push_back(i);
            EXPECT_TRUE(d.Active());
        }
        if (step.ended) t.events.push_back(*step.ended);
    }
    if (auto last = d.Finish()) t.events.push_back(*last);
    EXPECT_FALSE(d.Active()) << "Finish ends it";
    return t;
}

std::vector<ChannelSample> Values(const std::vector<double>& values) {
    std::vector<ChannelSample> r;
    for (double v : values) r.push_back({v, 400, 600});
    return r;
}

struct Want {
    long long first, last, records;
    double worst;
    int low, high;
    const char* time;
};

void Expect(const Trace& t, const std::vector<int>& started, const std::vector<Want>& events,
            const char* name) {
    EXPECT_EQ(t.started, started) << name;
    ASSERT_EQ(t.events.size(), events.size()) << name;
    for (std::size_t i = 0; i < events.size(); ++i) {
        const AlarmEvent& e = t.events[i];
        const Want& w = events[i];
        EXPECT_EQ(e.channel, "A") << name;
        EXPECT_EQ(e.first, w.first) << name;
        EXPECT_EQ(e.last, w.last) << name;
        EXPECT_EQ(e.records, w.records) << name;
        EXPECT_EQ(e.worst, w.worst) << name;
        EXPECT_EQ(e.low, w.low) << name;
        EXPECT_EQ(e.high, w.high) << name;
        EXPECT_EQ(e.time, w.time) << name;
    }
}

TEST(AlarmDetector, StartsAfterKRecordsOutsideAndReportsEachExcursionOnce) {
    // 350 is worse than 640: 50 below the window against 40 above it.
    Expect(Feed(Values({500, 610, 620, 350, 640, 605, 500, 500}), 3), {3},
           {{101, 105, 5, 350, 400, 600, "t1"}}, "five outside");
    Expect(Feed(Values({500, 610, 620, 350, 640, 605, 500, 500}), 10), {}, {}, "K above the run");
    Expect(Feed(Values({610, 620, 500, 610, 620, 500}), 3), {}, {},
           "a record inside starts the count again");
    Expect(Feed(Values({600, 400, 600, 400}), 1), {}, {}, "on a limit is inside");
    Expect(Feed(Values({500, 601, 500, 399}), 1), {1, 3},
           {{101, 101, 1, 601, 400, 600, "t1"}, {103, 103, 1, 399, 400, 600, "t3"}}, "K = 1");
    Expect(Feed(Values({500, 601}), 0), {1}, {{101, 101, 1, 601, 400, 600, "t1"}}, "K = 0 as 1");
    Expect(Feed(Values({610, 610, 500, 700, 700, 700}), 2), {1, 4},
           {{100, 101, 2, 610, 400, 600, "t0"}, {103, 105, 3, 700, 400, 600, "t3"}},
           "the second still open at the end");
}

TEST(AlarmDetector, JudgesEachRecordByItsOwnLimits) {
    // Distances 10, 10 and 55: the last is the worst, though the smallest value. The event
    // keeps the limits of its first record.
    const std::vector<ChannelSample> records = {
        {610, 400, 600}, {560, 400, 550}, {555, 400, 500}, {555, 400, 600}};
    Expect(Feed(records, 2), {1}, {{100, 102, 3, 555, 400, 600, "t0"}}, "limits change");
}

TEST(AlarmDetector, FinishForgetsAShortRun) {
    AlarmDetector d("B", 3);
    d.Add(1, "a", {700, 400, 600});
    d.Add(2, "b", {700, 400, 600});
    EXPECT_FALSE(d.Finish()) << "two of three: no alarm";
    EXPECT_FALSE(d.Add(3, "c", {700, 400, 600}).started) << "a new run after the end of input";
    d.Add(4, "d", {700, 400, 600});
    EXPECT_TRUE(d.Add(5, "e", {700, 400, 600}).started);
    const auto e = d.Finish();
    ASSERT_TRUE(e);
    EXPECT_EQ(e->channel, "B");
    EXPECT_EQ(e->first, 3);
    EXPECT_EQ(e->time, "c");
}

TEST(AlarmEvents, CsvRows) {
    AlarmEvent a;
    a.channel = "A";
    a.first = 7;
    a.last = 11;
    a.records = 5;
    a.worst = 612.5;
    a.low = 400;
    a.high = 600;
    a.time = "2026-12-07T19:35:31.123";
    EXPECT_EQ(AlarmEventsCsvHeader() + AlarmEventCsvRow(a) +
                  AlarmEventCsvRow(LinkLostEvent("19:40:02, \"cable\"", 41)),
              "channel,first,last,records,worst,low,high,time\n"
              "A,7,11,5,612.5,400,600,2026-12-07T19:35:31.123\n"
              "link,41,41,0,,,,\"19:40:02, \"\"cable\"\"\"\n");
}

}  // namespace
