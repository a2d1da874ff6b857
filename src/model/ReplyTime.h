// Reading the times and days of a weather record. The forecast service writes
// every local time of one reply at the one offset it reported
// (`WeatherData::utcOffsetSeconds`, the one in force when it answered), also
// for the hours and days past a daylight-saving change: a time of the record
// names an instant by that offset, and the place's clock then says what the
// instant reads there.
#pragma once

#include "model/PlaceClock.h"
#include "model/WeatherTypes.h"

#include <cstdint>
#include <optional>
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

// The daily entry of `date` ("YYYY-MM-DD"); null when the record has none.
const DailyForecast* dayOn(const WeatherData& data, const std::string& date);

}  // namespace nbr
