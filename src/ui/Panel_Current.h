// Texts and colours of the current-conditions panel: the advice line under
// the temperature, the metrics grid, the pressure line and the sun times.
#pragma once

#include "foundation/Config.h"
#include "model/ReplyTime.h"
#include "model/WeatherTypes.h"
#include "ui/PanelText.h"

#include <cstdint>
#include <string>
#include <vector>

namespace nbr::panel {

// Whether the record holds current conditions at all: before the first
// refresh of a place arrives there is nothing to show (rather than zeros).
bool hasCurrentConditions(const WeatherData& data);

// Once the conditions are old (conditionsOld), "as of 10:00 PM, Mar 27": the
// instant they held on the place's clock, in the clock setting's form; empty
// before.
std::string conditionsAsOf(const WeatherData& data, const Config& cfg, int64_t now);

// "(feels like 25F)"
std::string feelsLikeText(const WeatherData& data, const Config& cfg);

// The rain nowcast at `now` (Unix seconds) when rain starts, stops or goes
// on; otherwise the takeaway sentence of `today` (the entry of the place's
// date, null when the record holds none) in the accent colour.
Line currentAdvice(const WeatherData& data, const DailyForecast* today, const Config& cfg, int64_t now);

// The metric cells in grid order; rows whose condition fails are left out.
std::vector<Line> currentMetrics(const WeatherData& data, const Config& cfg);

// "Pressure 29.87 inHg (falling)"; empty when the record has no pressure.
std::string pressureLine(const WeatherData& data, const Config& cfg);
// A warning phrase on a steep three-hour fall; empty otherwise.
std::string pressureWarning(const WeatherData& data);

// Of `today`, the record's entry of the place's date: "Sun  6:58 AM - 4:12
// PM" on the place's clock, or "Sun  Midnight sun"; empty without the entry
// (null) or its sun times.
std::string sunLine(const WeatherData& data, const DailyForecast* today, const Config& cfg);
// "Daylight 9h 14m" of `today`; empty without the entry or a day length.
std::string daylightLine(const DailyForecast* today);

}  // namespace nbr::panel
