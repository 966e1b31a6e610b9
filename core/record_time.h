// A recording row's time text, "2026-12-07T19:35:31.123" (local time), taken apart without
// sscanf: a replay reads one per record, millions in a day's recording.
#pragma once

#include <string_view>

struct RecordTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
    double seconds = 0;  // with the fraction
};

// False for a text of another form: numbers joined by '-', '-', 'T', ':', ':', the seconds
// with or without a fraction.
bool ParseRecordTime(std::string_view text, RecordTime* t);

// Seconds since 1970-01-01 as if the time were UTC: differences between rows need no zone.
double NaiveSeconds(const RecordTime& t);

// Milliseconds since the epoch of the time taken as local time; negative when the system
// cannot place it. mktime reads the zone's rules on every call: it is asked once a minute.
double LocalMilliseconds(const RecordTime& t);
