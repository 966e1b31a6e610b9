// The demonstration sensor looks like a process a line runs: nearly every record inside its
// tolerance, capable as a good process is, and an excursion every four minutes that alarms.
#include <gtest/gtest.h>

#include <vector>

#include "run_quality.h"
#include "sensor.h"

namespace {

// `seconds` of records at the line's pace (24 a second) from a fresh simulated sensor, moving
// as it does unasked, or swept.
struct DemoRun {
    explicit DemoRun(double seconds, bool sweep = false) {
        sim::Sensor sensor;
        if (sweep) sensor.SetMotion(sim::Sensor::Motion::kSweep);
        const long long records = static_cast<long long>(seconds * 24);
        for (long long i = 0; i < records; ++i) {
            const protocol::Words words = sensor.Measure(static_cast<double>(i) / 24);
            RunQuality::Step step = quality.Add(words.data(), i, "t");
            for (auto& ended : step.ended)
                if (ended) events.push_back(*ended);
        }
        for (AlarmEvent& e : quality.Finish()) events.push_back(e);
    }
    RunQuality quality;
    std::vector<AlarmEvent> events;
};

TEST(DemoProcess, IsCapableAndAlarmsOnlyOnItsExcursions) {
    // The first 600 records, what `qtor-ctl --demo record --count 600` takes.
    {
        const DemoRun first(25);
        for (Channel c : {Channel::kA, Channel::kB}) {
            const ChannelStats s = first.quality.Stats(c);
            EXPECT_LT(*s.outPercent, 5.0);
            EXPECT_GT(*s.cpk, 1.0);
        }
        EXPECT_TRUE(first.events.empty());
    }
    // Ten minutes: two excursions of 1.5 s, each an alarm of both channels, and nothing else.
    const DemoRun day(600);
    for (Channel c : {Channel::kA, Channel::kB}) {
        const ChannelStats s = day.quality.Stats(c);
        EXPECT_GE(*s.cpk, 1.3);
        EXPECT_LE(*s.cpk, 2.0);
        EXPECT_LT(*s.ppk, *s.cpk) << "the drift and the excursions widen the overall spread";
        EXPECT_LT(*s.outPercent, 1.0);
    }
    ASSERT_EQ(day.events.size(), 4u);
    for (const AlarmEvent& e : day.events) {
        const long long start = e.first / 24;
        EXPECT_TRUE(start == 200 || start == 440) << e.channel << " " << e.first;
        EXPECT_NEAR(e.records, 36, 2);
    }
    // The sweep, for those who ask for it, lies outside more often than not.
    const DemoRun sweep(30, true);
    EXPECT_GT(*sweep.quality.Stats(Channel::kA).outPercent, 50.0);
}

}  // namespace
