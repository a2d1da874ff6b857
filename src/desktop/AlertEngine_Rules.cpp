// The alert rules: severe weather, temperature swings, rain, snow, hail, wind
// and freezing precipitation from one record, and the sky events of the
// night. Each alert concerns one day of the place's calendar: it carries that
// date and ends with that day on the place's clock, wherever the computer is.
#include "desktop/AlertEngine.h"

#include "foundation/PlaceTime.h"
#include "model/Dates.h"
#include "model/SkyEvents.h"
#include "model/WeatherCodes.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace nbr {

namespace {

int64_t nowOr(int64_t now) {
    return now != 0 ? now
                    : std::chrono::duration_cast<std::chrono::seconds>(
                          std::chrono::system_clock::now().time_since_epoch())
                          .count();
}

// The date `days` after the place's date at `now`.
std::string placeDay(int days, int64_t now, const PlaceClock& clock) {
    return addDays(clock.dateOf(now), days);
}

// The date of daily entry `i`: the forecast's own, or, when it has none that
// reads, the place's date at `now` plus `i` days.
std::string forecastDay(const WeatherData& data, size_t i, int64_t now, const PlaceClock& clock) {
    const std::string own = i < data.daily.size() ? addDays(data.daily[i].date, 0) : std::string();
    return own.empty() ? placeDay(static_cast<int>(i), now, clock) : own;
}

// The last second (23:59:59) of a date on the place's clock.
std::chrono::system_clock::time_point endOfDay(const std::string& date, const PlaceClock& clock) {
    int y = 0, m = 0, d = 0;
    int64_t day = 0;
    if (!parseIsoDate(date, y, m, d) || !daysSinceEpoch(y, m, d, day)) return {};
    return timePointOf(clock.instantOf((day + 1) * 86400) - 1).value_or(std::chrono::system_clock::time_point{});
}

WeatherAlert dayAlert(AlertKind kind, const char* title, std::string message, const WeatherData& data,
                      const std::string& date, const PlaceClock& clock) {
    WeatherAlert a;
    a.kind = kind;
    a.title = title;
    a.message = std::move(message);
    a.location = data.location.name;
    a.placeKey = data.location.cacheKey();
    a.dayKey = date;
    a.expires = endOfDay(date, clock);
    return a;
}

bool hasHail(int code) { return code == 96 || code == 99; }

}  // namespace

bool AlertEngine::isSevereWeatherCode(int code) const {
    static constexpr int kSevere[] = {56, 57, 65, 66, 67, 75, 82, 86, 95, 96, 99};
    return std::find(std::begin(kSevere), std::end(kSevere), code) != std::end(kSevere);
}

bool AlertEngine::hasFreezingPrecipitation(int code) const {
    return code == 56 || code == 57 || code == 66 || code == 67;
}

bool AlertEngine::hasHighWind(const WeatherData& data, double thresholdKmh) const {
    return knownAmount(data.windGusts) && data.windGusts > thresholdKmh;
}

TempSwing AlertEngine::findTempSwing(std::span<const DailyForecast> daily, double thresholdC) const {
    TempSwing result;
    double best = 0.0;
    // A swing is measured only between temperatures the service gave.
    const auto known = [](double a, double b) { return knownTemperature(a) && knownTemperature(b); };
    for (size_t i = 1; i <= 3 && i < daily.size(); ++i) {
        const double rise = known(daily[i].temperatureMax, daily[i - 1].temperatureMin)
                                ? daily[i].temperatureMax - daily[i - 1].temperatureMin
                                : 0.0;
        if (rise > thresholdC && rise > best) {
            best = rise;
            result = {true, true, daily[i].temperatureMax, static_cast<int>(i)};
        }
        const double drop = known(daily[i - 1].temperatureMax, daily[i].temperatureMin)
                                ? daily[i - 1].temperatureMax - daily[i].temperatureMin
                                : 0.0;
        if (drop > thresholdC && drop > best) {
            best = drop;
            result = {true, false, daily[i].temperatureMin, static_cast<int>(i)};
        }
    }
    return result;
}

std::vector<WeatherAlert> AlertEngine::evaluate(const WeatherData& data, const AlertTuning& tuning, int64_t now) const {
    now = nowOr(now);
    const PlaceClock clock = placeClock(data);
    // The days from the place's date at `now`: an old record's past days
    // never raise an alert.
    const std::span<const DailyForecast> days = daysFrom(data, now);
    const size_t past = data.daily.size() - days.size();
    const auto day = [&](size_t i) { return forecastDay(data, past + i, now, clock); };
    const std::string in = " in {place}";
    const size_t n = days.size();
    std::vector<WeatherAlert> out;

    if (isSevereWeatherCode(data.weatherCode))
        out.push_back(dayAlert(AlertKind::SevereWeather, "Severe Weather",
                               weatherCodeToString(data.weatherCode) + in, data, day(0), clock));

    for (size_t i = 0; i < std::min<size_t>(n, 2); ++i) {
        const int code = days[i].weatherCode;
        if (isSevereWeatherCode(code) && code != data.weatherCode)
            out.push_back(dayAlert(AlertKind::SevereWeather, "Severe Weather Forecast",
                                   std::string(weatherCodeToString(code)) + " expected {day}" + in, data,
                                   day(i), clock));
    }

    if (const TempSwing swing = findTempSwing(days, tuning.swingC); swing.found) {
        out.push_back(dayAlert(AlertKind::TemperatureChange, "Temperature Change",
                               std::string("Temps ") + (swing.warming ? "warming to" : "dropping to") + " {temp} {day}" +
                                   in,
                               data, day(static_cast<size_t>(swing.dayIndex)), clock));
        out.back().value = swing.temperature;
    }

    // A day of snow is not a rainy day by its chance of precipitation, and
    // neither is a day whose code is not known. No rule fires on a value the
    // service did not give.
    const auto rainy = [&](size_t i) {
        const DailyForecast& d = days[i];
        return (knownAmount(d.rainSum) && d.rainSum > 1.0) ||
               (knownAmount(d.precipitationProbabilityMax) && d.precipitationProbabilityMax > 60.0 &&
                knownCode(d.weatherCode) && !isSnowCode(d.weatherCode));
    };
    for (size_t i = 0; i < std::min<size_t>(n, 2); ++i) {
        if (!rainy(i)) continue;
        out.push_back(dayAlert(AlertKind::RainExpected, "Rain Expected",
                               "Rain expected {day}" + in, data, day(i), clock));
        break;
    }

    for (size_t i = 0; i < std::min<size_t>(n, 2); ++i) {
        if (!knownAmount(days[i].snowfallSum) || !(days[i].snowfallSum > tuning.snowCm)) continue;
        out.push_back(dayAlert(AlertKind::SnowExpected, "Snow Expected",
                               "Snowfall expected {day}" + in, data, day(i), clock));
        break;
    }

    int hailDay = hasHail(data.weatherCode) ? 0 : -1;
    for (size_t i = 0; hailDay < 0 && i < n; ++i)
        if (hasHail(days[i].weatherCode)) hailDay = static_cast<int>(i);
    if (hailDay >= 0)
        out.push_back(dayAlert(AlertKind::HailWarning, "Hail Warning", "Thunderstorm with hail" + in, data,
                               day(static_cast<size_t>(hailDay)), clock));

    if (hasHighWind(data, tuning.gustKmh)) {
        out.push_back(dayAlert(AlertKind::HighWind, "High Wind", "Wind gusts over {wind}" + in, data, day(0), clock));
        out.back().value = tuning.gustKmh;
    }

    if (hasFreezingPrecipitation(data.weatherCode))
        out.push_back(dayAlert(AlertKind::FreezingPrecipitation, "Freezing Precipitation",
                               weatherCodeToString(data.weatherCode) + in, data, day(0), clock));

    const std::string today = clock.dateOf(now);
    for (WeatherAlert& a : out) {
        a.issued = std::chrono::system_clock::from_time_t(static_cast<std::time_t>(now));
        a.madeOn = today;
    }
    return out;
}

std::vector<WeatherAlert> AlertEngine::evaluateSkyEvents(const WeatherData& data, int64_t now) const {
    now = nowOr(now);
    const PlaceClock clock = placeClock(data);
    std::vector<WeatherAlert> out;
    const auto clearOn = [&](int days) {
        const DailyForecast* d = dayAhead(data, now, days);
        return d && knownCode(d->weatherCode) && d->weatherCode < 2;
    };
    const auto skyAlert = [&](const char* title, std::string message, int day) {
        const std::string date = placeDay(day, now, clock);
        WeatherAlert a = dayAlert(AlertKind::SkyEvent, title, std::move(message), data, date, clock);
        a.issued = std::chrono::system_clock::now();
        a.madeOn = clock.dateOf(now);
        out.push_back(std::move(a));
    };

    const std::vector<ActiveShower> showers = activeMeteorShowers(now, clock.offsetAt(now));
    if (!showers.empty()) {
        const ActiveShower& s = showers.front();
        const int d = s.daysFromPeak;
        if (s.zhr >= 40 && d >= -1 && d <= 2) {
            const int e = std::max(d, 0);
            char msg[160];
            std::snprintf(msg, sizeof msg, "%s peaks {day} (up to ~%d/hr)", s.name, s.zhr);
            std::string message = msg;
            if (clearOn(e)) message += " - clear skies expected";
            skyAlert("Meteor Shower", std::move(message), e);
        }
    }

    if (auroraChance(data.kpIndex, data.location.latitude) == AuroraChance::Likely) {
        char msg[120];
        std::snprintf(msg, sizeof msg, "Aurora likely {day} (Kp %.0f)", data.kpIndex);
        std::string message = msg;
        if (clearOn(0)) message += " - clear skies expected";
        skyAlert("Aurora", std::move(message), 0);
    }
    return out;
}

}  // namespace nbr
