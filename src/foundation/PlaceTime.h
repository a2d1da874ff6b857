// The clocks of places and of their records, from the system's zone database.
#pragma once

#include "model/PlaceClock.h"
#include "model/ReplyTime.h"
#include "model/WeatherTypes.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace nbr {

// A place's own clock: its zone's, when the zone is one the system knows;
// otherwise not known.
PlaceClock placeClock(const GeoLocation& place);

// The clock a record is read by: its place's zone's; while the zone is not
// known, the offset the forecast reported, once a forecast has arrived.
PlaceClock placeClock(const WeatherData& data);

// The clock of the place keyed `placeKey` (its cacheKey): the shown record's
// clock for its own place, else the saved place's zone; not known when the
// place or its zone is not.
PlaceClock placeClockOf(const std::string& placeKey, const std::vector<SavedLocation>& places,
                        const WeatherData& shown);

// The record's times as its place reads them: written at the reply's offset,
// shown on the place's clock.
RecordClock recordClock(const WeatherData& data);

// The daily entry of the place's date at `now` (Unix seconds); null when the
// record holds none, as an old record past the place's midnight may not:
// readers of "today" then show nothing rather than another day's values.
const DailyForecast* todayOf(const WeatherData& data, int64_t now);

// The record as of `now` (Unix seconds), whatever moment it was fetched at.
// Each reader of "the coming hours", "the coming days" or "tomorrow" takes
// its slice here, never from the front of the lists.
//
// hoursFrom(data, now, count), the hours from the one holding `now`, needs no
// zone: it is declared in model/ReplyTime.h, included above.
//
// The days from the place's date at `now` on; empty when the record holds
// none of them.
std::span<const DailyForecast> daysFrom(const WeatherData& data, int64_t now);
// The entry of the place's date plus `days` at `now`; null when the record
// holds none (todayOf is dayAhead(data, now, 0)).
const DailyForecast* dayAhead(const WeatherData& data, int64_t now, int days);

}  // namespace nbr
