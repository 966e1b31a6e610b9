#include "record_time.h"

#include <charconv>
#include <cmath>
#include <ctime>

namespace {

// Digits up to `end` (or the text's end when end is 0) into *value; the text moves past them.
bool Number(std::string_view* text, char end, int* value) {
    const char* first = text->data();
    const char* last = first + text->size();
    const auto r = std::from_chars(first, last, *value);
    if (r.ec != std::errc() || r.ptr == first || *value < 0) return false;
    text->remove_prefix(static_cast<std::size_t>(r.ptr - first));
    if (end == 0) return true;
    if (text->empty() || text->front() != end) return false;
    text->remove_prefix(1);
    return true;
}

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar.
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

}  // namespace

bool ParseRecordTime(std::string_view text, RecordTime* t) {
    if (!Number(&text, '-', &t->year) || !Number(&text, '-', &t->month) ||
        !Number(&text, 'T', &t->day) || !Number(&text, ':', &t->hour) ||
        !Number(&text, ':', &t->minute))
        return false;
    const char* first = text.data();
    const char* last = first + text.size();
    if (first == last || *first < '0' || *first > '9') return false;
    const auto r = std::from_chars(first, last, t->seconds, std::chars_format::fixed);
    return r.ec == std::errc() && r.ptr == last;
}

double NaiveSeconds(const RecordTime& t) {
    return static_cast<double>(DaysFromCivil(t.year, static_cast<unsigned>(t.month),
                                             static_cast<unsigned>(t.day))) *
               86400.0 +
           t.hour * 3600.0 + t.minute * 60.0 + t.seconds;
}

double LocalMilliseconds(const RecordTime& t) {
    static RecordTime minute{};
    static double minuteMs = -1;
    if (minuteMs < 0 || t.year != minute.year || t.month != minute.month || t.day != minute.day ||
        t.hour != minute.hour || t.minute != minute.minute) {
        std::tm tm{};
        tm.tm_year = t.year - 1900;
        tm.tm_mon = t.month - 1;
        tm.tm_mday = t.day;
        tm.tm_hour = t.hour;
        tm.tm_min = t.minute;
        tm.tm_isdst = -1;
        const std::time_t at = std::mktime(&tm);
        if (at == static_cast<std::time_t>(-1)) return -1;
        minute = t;
        minuteMs = static_cast<double>(at) * 1000.0;
    }
    return minuteMs + std::floor(t.seconds * 1000.0 + 0.5);
}
