// Reading the times and days of a weather record. The forecast service writes
// every local time of one reply at the one offset it reported
// (`WeatherData::utcOffsetSeconds`, the one in force when it answered), also
// for the hours and days past a daylight-saving change: a time of the record
// names an instant by that offset, and the place's clock then says what the
// instant reads there.
#pragma once

#include "model/PlaceClock.h"
#include "model/WeatherTypes.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace nbr {

// The instant a local time of the record's forecast reply names; none when
// the text is no time.
std::optional<int64_t> replyInstant(const WeatherData& data, const std::string& time);

// A record's times as its place reads them.
struct RecordClock {
    int replyOffset = 0;  // the offset the reply's times are written at
    PlaceClock place;     // the clock that shows them

    // The instant a reply's time names; none when the text is no time.
    std::optional<int64_t> instantOf(const std::string& replyTime) const;
};

// The hours from the one holding `now` (Unix seconds; an hour covers the 60
// minutes from the instant its time names), at most `count`; empty once the
// record's hours no longer reach now. Each reader of "the coming hours"
// takes its slice here, never from the front of the list.
std::span<const HourlyForecast> hoursFrom(const WeatherData& data, int64_t now, size_t count = 24);

// The hours of the `hours` hours from the one holding `now`, by their times:
// an hour missing from the record (its time was null) or past its end leaves
// the slice shorter, never lets a later hour in.
std::span<const HourlyForecast> hoursWithin(const WeatherData& data, int64_t now, int hours);

// The hours from the one holding `now` to the end of the place's day `date`
// ("YYYY-MM-DD") on `place`'s clock: the part of that day still to come. The
// slice stops before the first hour not known to start within the day.
std::span<const HourlyForecast> hoursLeftIn(const WeatherData& data, const PlaceClock& place, const std::string& date,
                                            int64_t now);

// The second a record was fetched at on the wall clock (rounded up); 0
// before a fetch.
int64_t fetchedSecond(std::chrono::system_clock::time_point fetchedAt);

// The instant the record's current conditions held: their own time, or the
// fetch's while that is not known; 0 before a fetch.
int64_t conditionsSecond(const WeatherData& data);
// The first second at which those conditions are more than an hour old; 0
// before a fetch.
int64_t conditionsAsOfFrom(const WeatherData& data);
// Whether they are that old at `now` (Unix seconds): from then on they are
// shown with their time, and what is said of the present comes from the
// hour holding now instead.
bool conditionsOld(const WeatherData& data, int64_t now);

// The daily entry of `date` ("YYYY-MM-DD"); null when the record has none.
const DailyForecast* dayOn(const WeatherData& data, const std::string& date);

}  // namespace nbr
