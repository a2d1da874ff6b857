// Texts, colours and geometry numbers of the hourly strip, the 7-day table and
// the sun tracker.
#pragma once

#include "foundation/Config.h"
#include "model/LastAnswer.h"
#include "model/ReplyTime.h"
#include "model/WeatherTypes.h"
#include "ui/PanelText.h"

#include <span>
#include <string>
#include <vector>

namespace nbr::panel {

// What an empty strip or table says in its place: "No hours ahead: the kept
// forecast has run out." when the record keeps `kept` entries and none of
// them (`ahead`) from now on; empty otherwise.
std::string forecastRunOut(size_t kept, size_t ahead, const char* what);

// ---- Hourly strip ----

// The hour of a local time text (characters 11..), 0 when the text is 12
// characters or shorter.
int hourOf(const std::string& isoLocal);

// The four text rows of one hour's column: the hour reads "Now" when it is
// the hour that holds the present time, else the hour the place's clock
// shows then.
struct HourCells {
    std::string hour, temperature, condition, rain;
};
HourCells hourCells(const HourlyForecast& h, bool now, const Config& cfg, const RecordClock& clock);
// The cells of the hours shown at `now` (Unix seconds; the caller passes the
// record's hours from the one holding now, hoursFrom), and everything they
// are made of (what the strip remembers them by between frames). A column
// reads "Now" only while its hour holds the present time: the first one,
// unless the record's hours start after now.
std::vector<HourCells> hourStrip(std::span<const HourlyForecast> hours, const Config& cfg, const RecordClock& clock,
                                 long long now);
InputKey hourStripInputs(std::span<const HourlyForecast> hours, const Config& cfg, const RecordClock& clock,
                         long long now);

// The hour's tooltip; a value the record marks unknown is left out, or "--"
// beside a known one.
std::vector<Line> hourlyTooltip(const HourlyForecast& h, const Config& cfg, const RecordClock& clock);

// Heights of the temperature line's points, 0 (coldest) to 1 (warmest), in
// display degrees, scaled to the known temperatures; NaN for an hour whose
// temperature is unknown (no point drawn). A flat series sits at 0.5. Empty
// for fewer than 2 hours.
std::vector<float> hourlyChartLevels(std::span<const HourlyForecast> hours, bool fahrenheit);

// ---- 7-day table ----

// Columns shown: at most 7.
int dailyColumns(size_t days);

// The place's date ("YYYY-MM-DD") at `nowEpoch`, by its zone's offset then
// (the record's offset when the zone is not known).
std::string placeToday(const WeatherData& data, long long nowEpoch);

// "Today" for the day whose date is `today`, else the weekday name (a day
// already past included), with the day of month when asked for; empty for a
// date shorter than 10 characters or unreadable.
std::string dayHeader(const DailyForecast& d, const std::string& today, bool showDates);

// "45F/32F"; "--" for an unknown one.
std::string dayTemperatures(const DailyForecast& d, const Config& cfg);

// "high", "med" or "low" from the models' spread in degrees Celsius, whatever
// the display unit; empty text without a spread.
Line dayConfidence(const DailyForecast& d);

// "60%", in amber when the sources disagree by 30 points or more.
Line dayRain(const DailyForecast& d);

// How many days ahead of the record's own today (the date of the reply's
// present, whenever it is shown) the forecast of `d` was made; negative for a
// day before it, -1 when either date does not read.
int forecastLead(const WeatherData& data, const DailyForecast& d);

// The day's tooltip; `lead` as forecastLead gives it, for the local error of
// forecasts made that far ahead; `skill` may be null.
std::vector<Line> dailyTooltip(const DailyForecast& d, int lead, const ForecastSkill* skill, const Config& cfg,
                               const RecordClock& clock);

// A day's sunrise and sunset as the place's clock shows them ("" for a text
// without its time); for a day without either, "Midnight sun" or "Polar
// night" in `word` instead.
struct SunTimes {
    std::string rise, set, word;
};
SunTimes sunTimes(const DailyForecast& d, const RecordClock& clock, bool use24);

// ---- Sun tracker ----

struct SunTrack {
    bool show = false;      // the record tells the sun's day at the place now
    bool day = false;       // the sun is up
    bool hasSpan = false;   // the arc spans a sunrise and a sunset (none on a day without them)
    bool beforeRise = false;
    float fraction = 0;     // of the day gone, while `day`
    std::string riseText, setText;  // clock labels under the arc ends
    Line countdown;                 // "Sunset in 2h 05m", "Midnight sun", "Polar night"
    int changesIn = 0;              // seconds until the countdown reads differently
    std::string goldenHours;        // tooltip text; empty without a span
};
// The sunrise-to-sunset span that holds at `nowEpoch` (yesterday's, when its
// sunset falls after midnight, or today's); the countdown runs between
// instants, so it holds across a daylight-saving change, and to the next
// sunrise the record holds, none before a polar night.
SunTrack sunTrack(const WeatherData& data, long long nowEpoch, bool use24);

struct Box {
    float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};
struct SunTrackerLayout {
    float width = 0, height = 0;  // the area taken
    float scale = 1;              // of the marker and the margins
    float centreX = 0, horizon = 0, radius = 0;
    float markerX = 0, markerY = 0;  // the sun's centre, or the dot's below the horizon
    Box countdown, marker;           // the text's box; the sun's with its rays, or the dot's
};
// Where the tracker's parts go, in screen pixels, for an area at (x, y) with
// `availW` by `availH` free and a font whose lines are `lineH` high (its
// sizes and margins grow with the font). The countdown sits centred at the
// top; the arc is drawn low enough that the sun with its rays stays below
// the countdown at every hour, and the dot under the horizon does too.
SunTrackerLayout sunTrackerLayout(const SunTrack& t, float x, float y, float availW, float availH, float countdownW,
                                  float lineH);
// The narrowest area the tracker takes with that font.
float sunTrackerMinWidth(float lineH);

// Whether it is night at the place at `nowEpoch`, by the same span as the sun
// tracker; when the record tells nothing of the place's date, local hours
// before 6 and from 19.
bool isNightAt(const WeatherData& data, long long nowEpoch);

}  // namespace nbr::panel
