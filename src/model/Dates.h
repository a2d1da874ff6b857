// Calendar-date arithmetic on "YYYY-MM-DD" texts.
#pragma once

#include <cstdint>
#include <string>

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

// Reads the leading "year-month-day" of a text (month 1-12, day 1-31; the day
// is not checked against its month).
bool parseIsoDate(const std::string& date, int& year, int& month, int& day);

// Day of the year of a date text, 1 for 1 January; 0 when it is no date.
int dayOfYear(const std::string& date);

}  // namespace nbr
