// Words, labels and small classifications for numbers of the weather record:
// WMO weather codes, UV index, US air-quality index, pressure change, wind
// bearing, and the rain nowcast from the 15-minute series. Every text result
// points to a constant static string; nothing here keeps state.
#pragma once

#include "model/WeatherTypes.h"

#include <cstdint>

namespace nbr {

// What the next quarter hours hold, from WeatherData::minutely15, counted
// from the present: the step holding it is "now".
struct PrecipNowcast {
    enum State : int {
        NoData = 0,      // no step holds the present, or its precipitation is not known
        Dry = 1,         // dry now and in every later step told
        StartsSoon = 2,  // dry now, a later step is wet
        EndsSoon = 3,    // wet now, a later step is dry
        Continuing = 4,  // wet now and in every later step told
    };
    // The steps told are those that follow on from the present one without a
    // gap and with their precipitation known: a change is claimed only
    // within them.
    int state = NoData;
    // StartsSoon and EndsSoon: whole minutes, rounded up and at least 1, from
    // the present to the start of the first step whose wetness differs from
    // the present one. 0 otherwise.
    int minutes = 0;
    // StartsSoon and EndsSoon: that step's index in minutely15; -1 otherwise.
    int changeStep = -1;
    // Dry and Continuing: whole minutes (rounded down) from the present to
    // the end of the last step told, how far the record reaches; 0 otherwise.
    int reachMinutes = 0;
    // The first wet step's weather code is a snow code; is known at all.
    bool snow = false;
    bool named = false;
    // What falls, for the texts: "Snow" or "Rain", and "Precipitation" while
    // the code that would tell them apart is not known.
    const char* what() const { return !named ? "Precipitation" : snow ? "Snow" : "Rain"; }
};

// Whether a WMO code is one with a text and an icon.
bool namedCode(int code);
// Long text of a WMO code, "Unknown" for a code without one.
const char* weatherCodeToString(int code);
// The condition shown for a code of the record: its long text, "--" while
// the code is not known.
const char* conditionText(int code);
// Short label of a WMO code, "--" for a code without one.
const char* weatherCodeToShortString(int code);
// Cell of the weather-icon sheet (6 x 5 cells), -1 for a code without one.
int weatherCodeToIconCell(int code, bool night);
// Snow: codes 71 to 77, 85 and 86.
bool isSnowCode(int code);
// Whether weather of `code` with `precipitation` (mm) is dry: a known code of
// no precipitation, and no more than 0.05 mm where the amount is known.
bool isDryWeather(int code, double precipitation);

// "Low", "Moderate", "High", "Very High" or "Extreme"; "--" for NaN.
const char* uvCategory(double uv);
// US AQI band name; "--" for a negative value (the missing marker) or NaN.
const char* aqiCategory(double usAqi);
// One sentence of advice for the US AQI band; "" for a negative value or NaN.
const char* aqiHealthGuidance(double usAqi);

// 0 falling (at most -1.0 hPa), 2 rising (at least +1.0 hPa), else 1 steady.
int classifyPressureTrend(double deltaHpa);

// 8-point compass text of a bearing in degrees; "N/A" when negative or not finite.
const char* windDirectionToString(double degrees);

// A step is wet when its precipitation is above 0.05 mm. A step covers the
// quarter hour from the instant its time names; `now` is Unix seconds.
PrecipNowcast computePrecipNowcast(const WeatherData& data, int64_t now);

}  // namespace nbr
