// A row's time text taken apart as the replay takes it: its fields, the seconds between two
// rows across a midnight and a leap day, the local milliseconds across minutes and hours.
#include "record_time.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>

namespace {

RecordTime Parsed(const char* text) {
    RecordTime t;
    EXPECT_TRUE(ParseRecordTime(text, &t)) << text;
    return t;
}

TEST(RecordTime, FieldsAndTheSecondsBetweenRows) {
    const RecordTime t = Parsed("2026-12-07T19:35:31.123");
    EXPECT_EQ(t.year * 10000 + t.month * 100 + t.day, 20261207);
    EXPECT_EQ(t.hour * 100 + t.minute, 1935);
    EXPECT_DOUBLE_EQ(t.seconds, 31.123);
    EXPECT_NEAR(NaiveSeconds(Parsed("2028-03-01T00:00:01.5")) -
                    NaiveSeconds(Parsed("2028-02-28T23:59:59.000")),
                86400 + 2.5, 1e-6)
        << "2028 has a 29th of February";
    RecordTime none;
    for (const char* text : {"", "t0", "2026-12-07 19:35:31.123", "2026-12-07T19:35:",
                             "2026-12-07T19:35:31x", "2026-12-07T19:35:-1", "-2026-12-07T19:35:31"})
        EXPECT_FALSE(ParseRecordTime(text, &none)) << text;
}

// Each minute's start comes from the system once; the milliseconds within it are added.
TEST(RecordTime, LocalMillisecondsAgreeWithTheSystemAcrossMinutesAndHours) {
    for (const char* text :
         {"2026-12-07T19:59:58.999", "2026-12-07T19:59:59.500", "2026-12-07T20:00:00.000",
          "2026-12-07T20:01:07.250", "2026-12-07T19:59:00.001", "2026-12-08T20:00:00.000"}) {
        const RecordTime t = Parsed(text);
        std::tm tm{};
        tm.tm_year = t.year - 1900;
        tm.tm_mon = t.month - 1;
        tm.tm_mday = t.day;
        tm.tm_hour = t.hour;
        tm.tm_min = t.minute;
        tm.tm_sec = static_cast<int>(t.seconds);
        tm.tm_isdst = -1;
        const double expected = static_cast<double>(std::mktime(&tm)) * 1000.0 +
                                std::round((t.seconds - tm.tm_sec) * 1000.0);
        EXPECT_EQ(LocalMilliseconds(t), expected) << text;
    }
}

}  // namespace
