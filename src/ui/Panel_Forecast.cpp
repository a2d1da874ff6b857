#include "ui/Panel_Forecast.h"

#include "foundation/PlaceTime.h"
#include "model/Dates.h"
#include "model/ReplyTime.h"
#include "model/SunSpan.h"
#include "model/WeatherCodes.h"
#include "ui/Units.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <optional>
#include <utility>

namespace nbr::panel {

namespace {

const char* const kWeekdays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

// The clock text of an instant on a place's clock.
std::string clockAt(const PlaceClock& clock, int64_t at, bool use24) {
    const int minute = clock.minuteOfDay(at);
    return clockHM(minute / 60, minute % 60, use24);
}

// "YYYY-MM-DDTHH": the hour a local time falls in.
std::string hourPart(const std::string& time) { return time.substr(0, 13); }

std::string dhm(const char* label, int d) {
    return printed("%s %dh %02dm", label, d / 3600, (d % 3600) / 60);
}

}  // namespace

std::string forecastRunOut(size_t kept, size_t ahead, const char* what) {
    if (kept == 0 || ahead > 0) return {};
    return std::string("No ") + what + " ahead: the kept forecast has run out.";
}

int hourOf(const std::string& iso) {
    if (iso.size() <= 12) return 0;
    int h = 0;
    if (std::sscanf(iso.c_str() + 11, "%d", &h) != 1 || h < 0 || h > 23) return 0;
    return h;
}

namespace {

// "3PM" or "15:00" for an hour of the day; `spaced`: "3 PM".
std::string hourLabel(int hour, bool use24, bool spaced) {
    if (use24) return printed("%02d:00", hour);
    return printed(spaced ? "%d %s" : "%d%s", hour % 12 == 0 ? 12 : hour % 12, hour < 12 ? "AM" : "PM");
}

// The hour of an entry on the place's clock; 0 for a time that does not read
// (a text of 12 characters or less).
int shownHour(const HourlyForecast& h, const RecordClock& clock) {
    if (h.time.size() <= 12) return 0;
    const std::optional<int64_t> t = clock.instantOf(h.time);
    return t ? clock.place.minuteOfDay(*t) / 60 : hourOf(h.time);
}

// The reply's own "YYYY-MM-DDTHH" at `now`: the hour of the entry that holds
// it, as the reply writes that entry.
std::string replyHourAt(const RecordClock& clock, long long now) {
    return hourPart(PlaceClock::fixed(clock.replyOffset).minuteOf(now));
}

}  // namespace

HourCells hourCells(const HourlyForecast& h, bool now, const Config& cfg, const RecordClock& clock) {
    HourCells c;
    c.hour = now ? "Now" : hourLabel(shownHour(h, clock), cfg.use24hClock, false);
    c.temperature = units::temp(cfg, h.temperature);
    c.condition = weatherCodeToShortString(h.weatherCode);
    c.rain = units::chance(h.precipitationProbability);
    return c;
}

std::vector<HourCells> hourStrip(std::span<const HourlyForecast> hours, const Config& cfg, const RecordClock& clock,
                                 long long now) {
    const std::string hourNow = replyHourAt(clock, now);
    std::vector<HourCells> cells;
    cells.reserve(hours.size());
    for (const HourlyForecast& h : hours)
        cells.push_back(hourCells(h, h.time.size() >= 13 && hourPart(h.time) == hourNow, cfg, clock));
    return cells;
}

// What hourCells reads, the first hour's time included: the strip moves on
// with the hour holding now. The place's clock enters by its offsets over
// the day the strip spans: a change of them within it is a change of the
// zone.
InputKey hourStripInputs(std::span<const HourlyForecast> hours, const Config& cfg, const RecordClock& clock,
                         long long now) {
    InputKey key(cfg.use24hClock, cfg.useFahrenheit, hours.size(), replyHourAt(clock, now), clock.replyOffset,
                 clock.place.offsetAt(now), clock.place.offsetAt(now + 86400));
    for (const HourlyForecast& h : hours)
        key.add(h.time).add(h.temperature).add(h.weatherCode).add(h.precipitationProbability);
    return key;
}

std::vector<Line> hourlyTooltip(const HourlyForecast& h, const Config& cfg, const RecordClock& clock) {
    std::vector<Line> out;
    bool sep = false;
    if (h.time.size() > 12) {
        out.push_back({hourLabel(shownHour(h, clock), cfg.use24hClock, true)});
        sep = true;
    }
    // Each line only with its value known; the first one carries the
    // separator below the hour.
    const auto add = [&](std::string text, Tone tone = Tone::Normal) {
        out.push_back({std::move(text), tone, sep});
        sep = false;
    };
    if (knownCode(h.weatherCode)) add(std::string("Condition: ") + weatherCodeToString(h.weatherCode));
    if (knownTemperature(h.temperature)) add("Temp: " + units::temp(cfg, h.temperature));
    if (knownAmount(h.precipitationProbability)) add("Precip chance: " + units::chance(h.precipitationProbability));
    if (h.precipitation > 0) add("Precip: " + units::precip(cfg, h.precipitation));
    if (h.snowfall > 0) add("Snow: " + units::snow(cfg, h.snowfall));
    // "No precipitation" only when both amounts are known to be none.
    if (knownAmount(h.precipitation) && knownAmount(h.snowfall) && !(h.precipitation > 0) && !(h.snowfall > 0))
        add("No precipitation", Tone::Dim);
    if (knownAmount(h.windSpeed)) add("Wind: " + units::wind(cfg, h.windSpeed, h.windDirection));
    return out;
}

std::vector<float> hourlyChartLevels(std::span<const HourlyForecast> hours, bool fahrenheit) {
    if (hours.size() < 2) return {};
    std::vector<float> v;
    v.reserve(hours.size());
    float mx = -1e9f, mn = 1e9f;
    for (const HourlyForecast& h : hours) {
        if (!knownTemperature(h.temperature)) {
            v.push_back(std::nanf(""));
            continue;
        }
        float t = static_cast<float>(h.temperature);
        if (fahrenheit) t = t * 9.0f / 5.0f + 32.0f;
        v.push_back(t);
        mx = std::max(mx, t);
        mn = std::min(mn, t);
    }
    if (mx - mn < 1.0f) {
        mx += 0.5f;
        mn -= 0.5f;
    }
    for (float& t : v) t = (t - mn) / (mx - mn);
    return v;
}

int dailyColumns(size_t days) { return static_cast<int>(std::min<size_t>(days, 7)); }

std::string placeToday(const WeatherData& data, long long nowEpoch) { return placeClock(data).dateOf(nowEpoch); }

std::string dayHeader(const DailyForecast& d, const std::string& today, bool showDates) {
    if (d.date.size() < 10) return {};
    int y = 0, m = 0, day = 0;
    int64_t n = 0;
    if (std::sscanf(d.date.c_str(), "%d-%d-%d", &y, &m, &day) != 3 || !daysSinceEpoch(y, m, day, n)) return {};
    // 1970-01-01 was a Thursday.
    const int weekday = static_cast<int>(((n % 7) + 7 + 4) % 7);
    const std::string name = d.date.compare(0, 10, today) == 0 ? "Today" : kWeekdays[weekday];
    return showDates ? printed("%s %d", name.c_str(), day) : name;
}

std::string dayTemperatures(const DailyForecast& d, const Config& cfg) {
    return units::temp(cfg, d.temperatureMax) + "/" + units::temp(cfg, d.temperatureMin);
}

Line dayConfidence(const DailyForecast& d) {
    if (!d.hasModelSpread) return {};
    const double s = std::max(d.highMax - d.highMin, d.lowMax - d.lowMin);
    if (s < 3) return {"high", Tone::Live};
    if (s < 7) return {"med", Tone::Amber};
    return {"low", Tone::Dim};
}

Line dayRain(const DailyForecast& d) {
    const bool disagree = d.popConsensus && d.popMax - d.popMin >= 30;
    return {units::chance(d.precipitationProbabilityMax), disagree ? Tone::Amber : Tone::Normal};
}

int forecastLead(const WeatherData& data, const DailyForecast& d) {
    return daysBetween(data.time.substr(0, 10), d.date).value_or(-1);
}

std::vector<Line> dailyTooltip(const DailyForecast& d, int lead, const ForecastSkill* skill, const Config& cfg,
                               const RecordClock& clock) {
    std::vector<Line> out;
    out.push_back({"Date: " + d.date});
    if (knownCode(d.weatherCode)) out.push_back({std::string("Condition: ") + weatherCodeToString(d.weatherCode)});
    out.push_back({"High: " + units::temp(cfg, d.temperatureMax) + "   Low: " + units::temp(cfg, d.temperatureMin),
                   Tone::Normal, true});
    if (d.corrected)
        out.push_back({"Adjusted: high " + units::tempDelta(cfg, d.highCorrection) + ", low " +
                           units::tempDelta(cfg, d.lowCorrection) + " (local forecast-error correction)",
                       Tone::Live});
    if (d.hasModelSpread) {
        out.push_back({"Model range  high " + units::temp(cfg, d.highMin) + "-" + units::temp(cfg, d.highMax) +
                           ", low " + units::temp(cfg, d.lowMin) + "-" + units::temp(cfg, d.lowMax),
                       Tone::Dim});
        if (skill && lead >= 1 && lead <= 6 && skill->leads[lead].n > 9) {
            const double m = ((d.highMax - d.highMin) + (d.lowMax - d.lowMin)) / 2.0;
            const double e = (skill->leads[lead].maeHigh + skill->leads[lead].maeLow) / 2.0;
            const double shown = cfg.useFahrenheit ? e * 1.8 : e;
            if (m <= 3.0 && e <= 1.5)
                out.push_back({printed("Confidence: high (tight model spread, local err %.1f deg)", shown), Tone::Live});
            else if (m <= 6.0 && e <= 2.5)
                out.push_back({printed("Confidence: fair (moderate model spread, local err %.1f deg)", shown), Tone::Dim});
            else
                out.push_back({"Confidence: low (wide model spread - treat as a range)", Tone::Amber});
        }
    }
    out.push_back({"Precip Chance: " + units::chance(d.precipitationProbabilityMax), Tone::Normal, true});
    if (d.popConsensus) {
        const int n = static_cast<int>(d.popSources);
        if (d.popMax - d.popMin >= 30)
            out.push_back({printed("Sources disagree: %.0f-%.0f%% across %d", d.popMin, d.popMax, n), Tone::Amber});
        else
            out.push_back({printed("Consensus of %d sources (%.0f-%.0f%%)", n, d.popMin, d.popMax), Tone::Dim});
    }
    if (d.popCalibrated)
        out.push_back(
            {printed("Calibrated to local rain frequency (raw forecast %.0f%%)", d.rawPrecipitationProbability),
             Tone::Live});
    if (d.ensembleMembers > 0) {
        const int members = static_cast<int>(d.ensembleMembers);
        if (d.ensembleWetMembers >= 1 && d.ensembleP50 > 0.05)
            out.push_back({printed("Ensemble: %d/%d members wet, typ %s (%s-%s)", d.ensembleWetMembers, members,
                                 units::precip(cfg, d.ensembleP50).c_str(), units::precip(cfg, d.ensembleP10).c_str(),
                                 units::precip(cfg, d.ensembleP90).c_str()),
                           Tone::Dim});
        else
            out.push_back({printed("Ensemble: %d/%d members wet", d.ensembleWetMembers, members), Tone::Dim});
    }
    if (d.hasRunTrend) {
        // "Steady" only when both changes are known and small; a change the
        // runs do not tell is left out, and with one of them unknown the
        // other is told however small it is.
        const double temp = d.runTrendTempDelta, precip = d.runTrendPrecipDelta;
        const bool tempKnown = knownChange(temp), precipKnown = knownChange(precip);
        const bool moved = (tempKnown && std::fabs(temp) >= 2.0) || (precipKnown && std::fabs(precip) >= 3.0);
        if (tempKnown && precipKnown && !moved) {
            out.push_back({"Run trend: steady over recent model runs", Tone::Dim});
        } else if (tempKnown || precipKnown) {
            std::string t = "Run trend:";
            if (tempKnown && (std::fabs(temp) >= 0.5 || !precipKnown))
                t += " high " + units::tempDelta(cfg, temp) + " deg";
            if (precipKnown)
                t += printed<48>("%s precip %s", t.back() == ':' ? "" : ",", units::precipDelta(cfg, precip).c_str());
            out.push_back({t + printed<32>(" vs %dd-ago run", d.runTrendDaysBack), moved ? Tone::Amber : Tone::Dim});
        }
    }
    if (d.precipitationSum > 0) {
        out.push_back({"Total Precip: " + units::precip(cfg, d.precipitationSum)});
        // A factor of 0 would divide by zero; such a scaling was never applied.
        if (d.amountScaled && d.amountFactor != 0.0)
            out.push_back({printed("Scaled x%.1f for local amount bias (forecast %s)", d.amountFactor,
                                 units::precip(cfg, d.precipitationSum / d.amountFactor).c_str()),
                           Tone::Live});
    }
    if (d.rainSum > 0) out.push_back({"Rain: " + units::precip(cfg, d.rainSum)});
    if (d.snowfallSum > 0) out.push_back({"Snowfall: " + units::snow(cfg, d.snowfallSum)});
    if (d.uvIndexMax > 0) out.push_back({printed("Max UV: %.0f (%s)", d.uvIndexMax, uvCategory(d.uvIndexMax))});
    if (!d.sunrise.empty() || !d.sunset.empty()) {
        const SunTimes sun = sunTimes(d, clock, cfg.use24hClock);
        out.push_back({sun.word.empty() ? "Sunrise: " + sun.rise + "   Sunset: " + sun.set : sun.word, Tone::Normal, true});
    }
    return out;
}

SunTimes sunTimes(const DailyForecast& d, const RecordClock& clock, bool use24) {
    const SunDay day = sunDayOf(clock.replyOffset, d);
    if (day.kind == SunDay::MidnightSun) return {{}, {}, "Midnight sun"};
    if (day.kind == SunDay::PolarNight) return {{}, {}, "Polar night"};
    // A text without its clock time shows nothing.
    const auto shown = [&](const std::string& t) {
        const std::optional<int64_t> at = t.size() >= 16 ? clock.instantOf(t) : std::nullopt;
        return at ? clockAt(clock.place, *at, use24) : formatClock(t, use24);
    };
    return {shown(d.sunrise), shown(d.sunset), {}};
}

SunTrack sunTrack(const WeatherData& data, long long nowEpoch, bool use24) {
    SunTrack t;
    const PlaceClock clock = placeClock(data);
    const SunNow sun = sunAt(data, clock, nowEpoch);
    if (sun.kind == SunNow::Unknown) return t;
    t.show = true;
    t.day = sun.sunUp();
    // The sun steps once a minute, with the countdown: moved every second it
    // would shift by a hundredth of a pixel and make every idle frame new.
    const long long minute = nowEpoch - ((nowEpoch % 60) + 60) % 60;
    // Counted between instants: a day on which the clock changes is 23 or 25
    // hours long.
    const int left = static_cast<int>(std::min<int64_t>(sun.next - nowEpoch, INT_MAX));
    switch (sun.kind) {
    case SunNow::Day:
        t.fraction = static_cast<float>(minute - sun.rise) / static_cast<float>(sun.set - sun.rise);
        t.countdown = {dhm("Sunset in", left), Tone::Amber};
        break;
    case SunNow::MidnightSun:
        t.fraction = 0.5f;  // high all day
        t.countdown = {"Midnight sun", Tone::Amber};
        break;
    default:
        t.beforeRise = sun.hasSpan && nowEpoch < sun.rise;
        // No countdown past what the record holds.
        t.countdown = {sun.hasNext ? dhm("Sunrise in", left) : sun.polarAhead ? "Polar night" : "", Tone::Accent};
        break;
    }
    // Whole minutes left are shown: they drop one second past the minute. A
    // word is looked at again each minute.
    t.changesIn = sun.hasNext ? left % 60 + 1 : static_cast<int>(60 - (nowEpoch - minute));
    if (!sun.hasSpan) return t;  // no sunrise or sunset today: no clock labels, no golden hours
    t.hasSpan = true;
    const auto hm = [&](int64_t at) { return clockAt(clock, at, use24); };
    t.riseText = hm(sun.rise);
    t.setText = hm(sun.set);
    // The soft light of the first and last 45 minutes; a day shorter than both
    // is soft light throughout.
    constexpr int64_t kGolden = 2700;
    t.goldenHours = "Golden hour (soft light):\n  " + hm(sun.rise) + " - ";
    if (sun.set - sun.rise < 2 * kGolden) t.goldenHours += hm(sun.set);
    else t.goldenHours += hm(sun.rise + kGolden) + "\n  " + hm(sun.set - kGolden) + " - " + hm(sun.set);
    return t;
}

float sunTrackerMinWidth(float lineH) { return 170.0f * lineH / 16.0f; }

SunTrackerLayout sunTrackerLayout(const SunTrack& t, float x, float y, float availW, float availH, float countdownW,
                                  float lineH) {
    SunTrackerLayout l;
    const float s = l.scale = lineH / 16.0f;
    l.width = std::max(sunTrackerMinWidth(lineH), availW);
    l.height = std::clamp(availH, 96.0f * s, 150.0f * s);
    l.centreX = x + l.width / 2;
    l.countdown = {l.centreX - countdownW / 2, y + 2 * s, l.centreX + countdownW / 2, y + 2 * s + lineH};
    // The clock labels' line under the horizon.
    l.horizon = y + l.height - lineH - 10 * s;
    // The arc's top with the sun on it clears the countdown by a small gap;
    // the ends leave room for the clock labels beside the area's edges.
    const float reach = 11 * s;  // the sun's rays
    l.radius = std::max(0.0f, std::min(l.width / 2 - 26 * s, l.horizon - (l.countdown.y1 + 2 * s + reach)));
    if (t.day) {
        const float a = (1.0f - t.fraction) * std::numbers::pi_v<float>;
        l.markerX = l.centreX + l.radius * std::cos(a), l.markerY = l.horizon - l.radius * std::sin(a);
        l.marker = {l.markerX - reach, l.markerY - reach, l.markerX + reach, l.markerY + reach};
    } else {
        // Below the horizon: under the sunrise or the sunset, or in the
        // middle on a day that has neither.
        l.markerX = !t.hasSpan ? l.centreX : t.beforeRise ? l.centreX - l.radius : l.centreX + l.radius;
        l.markerY = l.horizon + 9 * s;
        const float dot = 5 * s;
        l.marker = {l.markerX - dot, l.markerY - dot, l.markerX + dot, l.markerY + dot};
    }
    return l;
}

bool isNightAt(const WeatherData& data, long long nowEpoch) {
    const PlaceClock clock = placeClock(data);
    const SunNow sun = sunAt(data, clock, nowEpoch);
    if (sun.kind != SunNow::Unknown) return !sun.sunUp();
    const int t = clock.minuteOfDay(nowEpoch) * 60;
    return t < 6 * 3600 || t >= 19 * 3600;
}

}  // namespace nbr::panel
