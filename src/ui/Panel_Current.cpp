#include "ui/Panel_Current.h"

#include "foundation/PlaceTime.h"
#include "model/DayScores.h"
#include "model/WeatherCodes.h"
#include "ui/Panel_Forecast.h"
#include "ui/Units.h"

#include <algorithm>
#include <cstdio>

namespace nbr::panel {

namespace {

// Texts of the metrics grid fit in 64 bytes (a station id from a report is
// short); longer ones are cut there.
template <typename... Args>
std::string print64(const char* fmt, Args... args) {
    return printed<64>(fmt, args...);
}

Tone uvTone(double uv) {
    if (uv < 3.0) return Tone::Live;
    if (uv < 8.0) return Tone::Amber;
    return Tone::Error;
}

Tone aqiTone(double aqi) {
    if (aqi <= 50.0) return Tone::Live;
    if (aqi <= 100.0) return Tone::Amber;
    return Tone::Error;
}

}  // namespace

bool hasCurrentConditions(const WeatherData& data) {
    return data.fetchedAt.time_since_epoch().count() != 0 || !data.time.empty();
}

std::string conditionsAsOf(const WeatherData& data, const Config& cfg, int64_t now) {
    if (!conditionsOld(data, now)) return {};
    return "as of " + clockAndDate(placeClock(data), conditionsSecond(data), cfg.use24hClock);
}

std::string feelsLikeText(const WeatherData& data, const Config& cfg) {
    return "(feels like " + units::temp(cfg, data.apparentTemperature) + ")";
}

Line currentAdvice(const WeatherData& data, const DailyForecast* today, const Config& cfg, int64_t now) {
    const PrecipNowcast n = computePrecipNowcast(data, now);
    switch (n.state) {
    case PrecipNowcast::StartsSoon: return {print64("%s starting in ~%d min", n.what(), n.minutes), Tone::Amber};
    case PrecipNowcast::EndsSoon: return {print64("%s stopping in ~%d min", n.what(), n.minutes), Tone::Live};
    case PrecipNowcast::Continuing: {
        // Whole quarter hours of what the steps tell, as the steps go; less
        // than one step ahead claims nothing of what follows.
        const int told = n.reachMinutes / 15 * 15;
        if (told < 15) return {print64("%s now", n.what()), Tone::Amber};
        const int h = told / 60, m = told % 60;
        return {h == 0   ? print64("%s continuing for the next %d min", n.what(), m)
                : m == 0 ? print64("%s continuing for the next %dh", n.what(), h)
                         : print64("%s continuing for the next %dh %02dm", n.what(), h, m),
                Tone::Amber};
    }
    default: return {dailyTakeaway(data, today, placeClock(data), now, cfg.useFahrenheit), Tone::Accent};
    }
}

std::vector<Line> currentMetrics(const WeatherData& d, const Config& cfg) {
    std::vector<Line> m;
    m.push_back({"Humidity " + units::chance(d.relativeHumidity)});
    m.push_back({"Dew " + units::temp(cfg, d.dewPoint)});
    m.push_back({"Wind " + units::wind(cfg, d.windSpeed, d.windDirection)});
    m.push_back({"Gusts " + units::speed(cfg, d.windGusts)});
    m.push_back({"Precip " + units::precip(cfg, d.precipitation)});
    m.push_back({"Cloud " + units::chance(d.cloudCover)});
    if (d.visibility > 0) m.push_back({"Vis " + units::visibility(cfg, d.visibility)});
    if (d.snowfall > 0) m.push_back({"Snow " + units::snow(cfg, d.snowfall)});
    if (d.uvIndex >= 0.5) m.push_back({print64("UV %.0f %s", d.uvIndex, uvCategory(d.uvIndex)), uvTone(d.uvIndex)});
    const AirQuality& aq = d.airQuality;
    if (aq.valid && aq.usAqi >= 0)
        m.push_back({print64("Air %.0f %s", aq.usAqi, aqiCategory(aq.usAqi)), aqiTone(aq.usAqi)});
    if (aq.valid && aq.pm2_5 >= 35) m.push_back({print64("Haze: smoke likely (PM2.5 %.0f)", aq.pm2_5), Tone::Amber});
    const StationObs& st = d.station;
    if (st.valid) {
        const bool imperial = cfg.useFahrenheit;
        m.push_back({print64("Stn %s %s (%.0f %s)", st.id.c_str(), units::temp(cfg, st.temperature).c_str(),
                             imperial ? st.distanceKm * 0.621371 : st.distanceKm, imperial ? "mi" : "km")});
        if (st.windGusts > 0) m.push_back({"Stn gusts " + units::speed(cfg, st.windGusts)});
    }
    return m;
}

std::string pressureLine(const WeatherData& d, const Config& cfg) {
    if (!(d.pressureMsl > 0)) return {};
    std::string t = "Pressure " + units::pressure(cfg, d.pressureMsl);
    if (d.hasPressureTrend) {
        const int trend = classifyPressureTrend(d.pressureTrend3h);
        t += trend == 2 ? " (rising)" : trend == 0 ? " (falling)" : " (steady)";
    }
    return t;
}

std::string pressureWarning(const WeatherData& d) {
    if (!(d.pressureMsl > 0) || !d.hasPressureTrend || !(d.pressureTrend3h <= -3.0)) return {};
    return phraseVariant(d.time, 9,
                         {"Falling fast - headache-prone, take note",
                          "Pressure dropping quickly - migraine risk if sensitive",
                          "Fast barometer drop - joints and heads may feel it", "Steep pressure fall underway",
                          "Pressure sliding fast - weather-sensitive, heads up"});
}

std::string sunLine(const WeatherData& d, const DailyForecast* today, const Config& cfg) {
    if (!today) return {};
    const SunTimes sun = sunTimes(*today, recordClock(d), cfg.use24hClock);
    if (!sun.word.empty()) return "Sun  " + sun.word;
    if (sun.rise.empty() && sun.set.empty()) return {};
    return "Sun  " + sun.rise + " - " + sun.set;
}

std::string daylightLine(const DailyForecast* today) {
    if (!today || !(today->daylightDuration > 0)) return {};
    // Whole minutes; a nonsense length larger than an int holds is not a day.
    const double secs = today->daylightDuration;
    if (secs > 1e9) return {};
    const int m = static_cast<int>(secs / 60.0);
    return print64("Daylight %dh %02dm", m / 60, m % 60);
}

}  // namespace nbr::panel
