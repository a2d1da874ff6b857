// Calendar-date arithmetic on "YYYY-MM-DD" texts.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace nbr {

// Moves a date written year-month-day by `days` whole days in the proleptic
// Gregorian calendar. A day past the month's end (the 31st of a 30-day month)
// carries into the next month. Text that does not read as a date (month 1-12,
// day 1-31) gives "".
std::string addDays(const std::string& date, int days);

// Days from 1970-01-01 to year-month-day in the proleptic Gregorian calendar;
// a day past the month's end carries into the next month. False when the
// month is not 1-12, the day not 1-31 or the year out of reach.
bool daysSinceEpoch(int year, int month, int day, int64_t& days);

// Whole days from date `from` to date `to` (negative when `to` comes first);
// nothing when either is no date.
std::optional<int> daysBetween(const std::string& from, const std::string& to);

// Reads the leading "year-month-day" of a text (month 1-12, day 1-31; the day
// is not checked against its month).
bool parseIsoDate(const std::string& date, int& year, int& month, int& day);

// Day of the year of a date text, 1 for 1 January; 0 when it is no date.
int dayOfYear(const std::string& date);

// "YYYY-MM-DD" of the UTC calendar day that holds `unixSeconds`.
std::string utcDateOf(int64_t unixSeconds);

// Seconds a place's clock is ahead of UTC at a Unix time: its zone's offset,
// which changes with daylight saving.
using OffsetAt = std::function<int(int64_t)>;

// The same offset at every time.
OffsetAt fixedOffset(int seconds);

// "YYYY-MM-DD" of the place's calendar day that holds `unixSeconds`.
std::string localDateOf(int64_t unixSeconds, const OffsetAt& offsetAt);

// The Unix time at which the place's clock reads `localSeconds` (seconds from
// 1970-01-01 00:00 on that clock). A reading the clock shows twice is taken
// the first time; one it skips (the hour a change forward jumps over) is read
// with the offset from before the change.
int64_t unixOfLocal(int64_t localSeconds, const OffsetAt& offsetAt);

// Seconds since 1970-01-01 00:00 UTC of a UTC calendar time; false when the
// date does not read (as daysSinceEpoch) or a field is out of reach.
bool utcSecondsOf(int year, int month, int day, int hour, int minute, int second, int64_t& out);

// The system-clock time `unixSeconds` after 1970-01-01 00:00 UTC; none when
// a time point cannot hold it (it counts nanoseconds: roughly the years 1678
// to 2262). Every time read from outside goes through here.
std::optional<std::chrono::system_clock::time_point> timePointOf(int64_t unixSeconds);

// The offset from UTC in seconds named by a zone suffix at the start of
// `text`, after optional fractional seconds: "Z" is 0, "+05:30" and "+0530"
// are 19800, "-04" is -14400. None when there is no such suffix.
std::optional<int> zoneSuffixOffset(std::string_view text);

// The same for the suffix after the clock time of a whole ISO 8601 time
// ("2024-05-01T12:00:00.5-04:00"); none when it has no time or no suffix.
std::optional<int> isoZoneOffset(std::string_view text);

}  // namespace nbr
