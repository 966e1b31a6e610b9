// What the capability report is drawn from: thinned series that keep every extreme of the
// stretch each bucket covers, the distribution of values, the set-point and the events, both
// channels apart.
#include "capability.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "protocol.h"

namespace {

// Each bucket against the plain minimum and maximum of the records it covers: from its first
// index up to the next bucket's. Together the buckets cover every record once, in order, and
// all but the last are as wide as the series says.
void ExpectBucketsCover(const DecimatedSeries& series, const std::vector<double>& values,
                        std::size_t maxBuckets) {
    const std::vector<SeriesBucket>& b = series.Buckets();
    ASSERT_LE(b.size(), maxBuckets);
    ASSERT_FALSE(b.empty());
    long long at = 0;
    for (std::size_t i = 0; i < b.size(); ++i) {
        EXPECT_EQ(b[i].first, at) << "bucket " << i;
        if (i + 1 < b.size()) {
            EXPECT_EQ(b[i].count, series.Width()) << "bucket " << i;
        }
        EXPECT_GE(b[i].count, 1);
        const auto from = values.begin() + at, to = from + b[i].count;
        ASSERT_LE(at + b[i].count, static_cast<long long>(values.size()));
        EXPECT_EQ(b[i].min, *std::min_element(from, to)) << "bucket " << i;
        EXPECT_EQ(b[i].max, *std::max_element(from, to)) << "bucket " << i;
        at += b[i].count;
    }
    EXPECT_EQ(at, static_cast<long long>(values.size()));
}

TEST(DecimatedSeries, MergingKeepsEveryExtremeOfEachBucket) {
    // Four buckets: 1 2 3 4 fills them; 5 merges them to (1 2)(3 4) and opens a third.
    {
        DecimatedSeries s(4);
        for (int v : {1, 2, 3, 4}) s.Add(v - 1, v);
        EXPECT_EQ(s.Width(), 1);
        EXPECT_EQ(s.Buckets().size(), 4u);
        s.Add(4, 5);
        ASSERT_EQ(s.Buckets().size(), 3u);
        EXPECT_EQ(s.Width(), 2);
        EXPECT_EQ(s.Buckets()[1].first, 2);
        EXPECT_EQ(s.Buckets()[1].min, 3);
        EXPECT_EQ(s.Buckets()[1].max, 4);
        EXPECT_EQ(s.Buckets()[2].count, 1);
    }
    // Lengths across several doublings, noise with single spikes up and down at odd places:
    // a merge that keeps one side's extreme, or drops the odd bucket, shows here.
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> noise(490, 510);
    for (std::size_t maxBuckets : {4u, 6u, 1024u}) {
        for (int n : {1, 2, 5, 6, 7, 13, 24, 25, 100, 1000, 5000}) {
            DecimatedSeries s(maxBuckets);
            std::vector<double> values;
            for (int i = 0; i < n; ++i) {
                double v = noise(rng);
                if (i % 37 == 11) v = 900;
                if (i % 53 == 29) v = 50;
                values.push_back(v);
                s.Add(i, v);
            }
            SCOPED_TRACE("max " + std::to_string(maxBuckets) + ", n " + std::to_string(n));
            ExpectBucketsCover(s, values, maxBuckets);
        }
    }
    // A day at the line's pace stays within its buckets: constant memory.
    DecimatedSeries day(1000);
    for (long long i = 0; i < 2'300'000; ++i) day.Add(i, static_cast<double>(i % 1000));
    EXPECT_LE(day.Buckets().size(), 1000u);
    EXPECT_GT(day.Buckets().size(), 500u) << "merged only when full";
}

// A record with the values and set-points of both channels, the tolerance for both.
std::array<std::uint16_t, 16> Record(int a, int b, int tValA, int tValB, int tol) {
    std::array<std::uint16_t, 16> w{};
    w[protocol::kAvalue] = static_cast<std::uint16_t>(a);
    w[protocol::kBvalue] = static_cast<std::uint16_t>(b);
    w[protocol::kRecTValA] = static_cast<std::uint16_t>(tValA);
    w[protocol::kRecTValB] = static_cast<std::uint16_t>(tValB);
    w[protocol::kRecTTol] = static_cast<std::uint16_t>(tol);
    w[protocol::kTVal] = 999;  // no channel's set-point
    return w;
}

TEST(CapabilityCollector, HistogramSetPointAndMovingRangesPerChannel) {
    // A: 500 502 498 502 700 700 700 503 (three outside 460..540 in a row: one alarm), its
    // set-point moved to 505 by the last record. B: 300 310 300, 301.
    const int a[] = {500, 502, 498, 502, 700, 700, 700, 503};
    const int b[] = {300, 310, 300, 301, 301, 301, 301, 301};
    CapabilityCollector collector(3);
    for (int i = 0; i < 8; ++i) {
        const auto w = Record(a[i], b[i], i < 7 ? 500 : 505, 300, 40);
        collector.Add(w.data(), 100 + i, "t" + std::to_string(i));
    }
    const CapabilityData d = collector.Finish();
    EXPECT_EQ(d.records, 8);
    EXPECT_EQ(d.firstTime, "t0");
    EXPECT_EQ(d.lastTime, "t7");
    EXPECT_EQ(d.alarmAfter, 3);

    const ChannelCapability& ca = d.Of(Channel::kA);
    const ChannelCapability& cb = d.Of(Channel::kB);
    EXPECT_EQ(ca.setPoint, 505);
    EXPECT_EQ(cb.setPoint, 300);
    const auto bins = [](const ChannelCapability& c) {
        std::vector<std::pair<int, long long>> v;
        for (const HistogramBin& h : c.histogram) v.emplace_back(h.value, h.count);
        return v;
    };
    using Bins = std::vector<std::pair<int, long long>>;
    EXPECT_EQ(bins(ca), (Bins{{498, 1}, {500, 1}, {502, 2}, {503, 1}, {700, 3}}));
    EXPECT_EQ(bins(cb), (Bins{{300, 2}, {301, 5}, {310, 1}}));
    EXPECT_EQ(ca.stats.n, 8);
    EXPECT_EQ(cb.stats.max, 310);
    EXPECT_EQ(ca.stats.low, 465) << "the last record's limits";

    // Eight records fit the buckets one each: the moving ranges are those of A, from the second
    // record on, each under that record's index.
    ASSERT_EQ(ca.individuals.size(), 8u);
    EXPECT_EQ(ca.individuals[4].first, 104);
    EXPECT_EQ(ca.individuals[4].max, 700);
    const double ranges[] = {2, 4, 4, 198, 0, 0, 197};
    ASSERT_EQ(ca.movingRanges.size(), 7u);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(ca.movingRanges[i].first, 101 + i);
        EXPECT_EQ(ca.movingRanges[i].max, ranges[i]) << i;
    }
    EXPECT_EQ(cb.movingRanges[0].max, 10);

    ASSERT_EQ(d.events.size(), 1u);
    EXPECT_EQ(d.eventCount, 1);
    EXPECT_EQ(d.events[0].channel, "A");
    EXPECT_EQ(d.events[0].first, 104);
    EXPECT_EQ(d.events[0].last, 106);
    EXPECT_EQ(d.events[0].time, "t4");
}

TEST(CapabilityCollector, EventsInTheOrderTheyEndedAndBoundedInNumber) {
    // B goes out first and A later, but A comes back first: A's event ends first. Both then
    // stay out to the end, where A's event comes before B's.
    {
        CapabilityCollector collector(2);
        const int a[] = {500, 500, 900, 900, 500, 900, 900};
        const int b[] = {500, 900, 900, 900, 900, 900, 900};
        for (int i = 0; i < 7; ++i) collector.Add(Record(a[i], b[i], 500, 500, 50).data(), i, "t");
        const CapabilityData d = collector.Finish();
        ASSERT_EQ(d.events.size(), 3u);
        EXPECT_EQ(d.events[0].channel + std::to_string(d.events[0].first), "A2");
        EXPECT_EQ(d.events[1].channel + std::to_string(d.events[1].first), "A5");
        EXPECT_EQ(d.events[2].channel + std::to_string(d.events[2].first), "B1");
    }
    // An alarm every four records for a long run: all counted, the first ones kept.
    CapabilityCollector collector(1);
    const long long excursions = CapabilityCollector::kMaxEvents + 500;
    for (long long i = 0; i < 4 * excursions; ++i)
        collector.Add(Record(i % 4 == 0 ? 900 : 500, 500, 500, 500, 50).data(), i, "t");
    const CapabilityData d = collector.Finish();
    EXPECT_EQ(d.eventCount, excursions);
    ASSERT_EQ(d.events.size(), CapabilityCollector::kMaxEvents);
    EXPECT_EQ(d.events.back().first, 4 * (excursions - 501));
}

TEST(CapabilityCollector, AnEmptyRunHasNoSetPointAndNoSeries) {
    const CapabilityData d = CapabilityCollector().Finish();
    EXPECT_EQ(d.records, 0);
    for (const ChannelCapability& c : d.channels) {
        EXPECT_FALSE(c.setPoint);
        EXPECT_TRUE(c.histogram.empty());
        EXPECT_TRUE(c.individuals.empty());
        EXPECT_FALSE(c.stats.mean);
    }
}

}  // namespace
