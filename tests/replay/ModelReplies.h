// Generated replies of the Open-Meteo model services: five global models'
// daily values, the 31-member ensemble, three model runs and the seasonal
// model's members. Every number comes from a fixed pseudo-random sequence
// seeded by the place and the day's position in the reply (not the date), so
// tests know every value in advance through the functions below, and the
// replies look the same on every day.
//
// Header-only: the benchmarks build replies with it too.
#pragma once

#include <nlohmann/json.hpp>

#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace nbr::replay::models {

// ---- Shapes ---------------------------------------------------------------------

inline constexpr std::array<const char*, 5> kModels = {"icon_seamless", "gfs_seamless", "ecmwf_ifs04",
                                                       "gem_seamless", "jma_seamless"};
inline constexpr int kEnsembleMembers = 31;
inline constexpr int kSeasonalMembers = 51;
inline constexpr int kSeasonalDays = 92;
inline constexpr int kRuns = 3;  // current, one day back, two days back

// The place a reply is for.
struct Where {
    std::string id;  // seeds the numbers
    double latitude = 0;
    double longitude = 0;
    int utcOffset = 0;  // seconds
    std::string timezone = "GMT";
    std::string abbreviation = "GMT";
};

// ---- Numbers ----------------------------------------------------------------------

// A fixed value in [0, 1) for the place and up to four numbers.
inline double noise(std::string_view place, int a, int b = 0, int c = 0, int d = 0) {
    uint64_t h = 1469598103934665603ull;
    for (unsigned char ch : place) h = (h ^ ch) * 1099511628211ull;
    for (int v : {a, b, c, d}) {
        h ^= static_cast<uint64_t>(static_cast<uint32_t>(v)) + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2);
        h += 0x9e3779b97f4a7c15ull;
        h = (h ^ (h >> 30)) * 0xbf58476d1ce4e5b9ull;
        h = (h ^ (h >> 27)) * 0x94d049bb133111ebull;
        h ^= h >> 31;
    }
    return static_cast<double>(h >> 11) / 9007199254740992.0;
}

// Typical December high and low by place (degrees C), and how often a day is wet.
struct Climate {
    double high, low, wetness;
};
inline Climate climateOf(std::string_view place) {
    if (place == "boston") return {6.0, -1.0, 0.45};
    if (place == "oslo") return {-3.0, -7.5, 0.35};
    if (place == "halifax") return {3.5, -2.5, 0.55};
    return {12.0, 4.0, 0.3};
}

inline int tenths(double v) { return static_cast<int>(std::lround(v * 10)); }
inline constexpr double kNull = std::numeric_limits<double>::quiet_NaN();

// Shape of a day's temperature between its low (0, at 06:00) and its high
// (1, at 15:00).
inline double dayCurve(int hour) {
    constexpr double pi = 3.14159265358979;
    if (hour >= 6 && hour <= 15) return (1 - std::cos(pi * (hour - 6) / 9)) / 2;
    const int since = hour > 15 ? hour - 15 : hour + 9;
    return (1 + std::cos(pi * since / 15)) / 2;
}

// An hour's temperature on a day running from lowT to highT (tenths).
inline double hourTemperature(int lowT, int highT, int hour) {
    return (lowT + static_cast<int>(std::lround((highT - lowT) * dayCurve(hour)))) / 10.0;
}

// An hour's share of a daily rain total of `totalT` tenths that falls in
// `length` hours from `start`.
inline double hourRain(int totalT, int start, int length, int hour) {
    if (hour < start || hour >= start + length) return 0.0;
    const int k = hour - start;
    return (totalT / length + (k < totalT % length ? 1 : 0)) / 10.0;
}

// A daily rain total in tenths of a mm: wet totals from 1.1 mm, dry ones below
// 0.9 mm, so no total sits on the 1.0 mm line.
inline int rainTotal(bool wet, double u) {
    return wet ? 11 + static_cast<int>(u * u * 140) : static_cast<int>(u * 9);
}

// ---- Model series ---------------------------------------------------------------

enum class Daily { High, Low, Pop };

// A model's value for a day; NaN where the reply has null: GEM and JMA give
// no rain chance, JMA nothing on a 7th day and later.
inline double modelValue(std::string_view place, Daily what, int model, int day) {
    const Climate c = climateOf(place);
    static constexpr double bias[] = {0.3, -0.8, 0.0, 1.2, -0.4};
    const std::string_view name = kModels[static_cast<size_t>(model)];
    if (name == "jma_seamless" && day >= 6) return kNull;
    switch (what) {
    case Daily::High:
        return tenths(c.high + 0.4 * day + bias[model] + 3 * (noise(place, 1, model, day) - 0.5)) / 10.0;
    case Daily::Low:
        return tenths(c.low + 0.2 * day + bias[model] / 2 + 2 * (noise(place, 2, model, day) - 0.5)) / 10.0;
    case Daily::Pop:
        if (name == "gem_seamless" || name == "jma_seamless") return kNull;
        return std::round(100 * c.wetness * (0.4 + 1.2 * noise(place, 3, day)) * (0.8 + 0.4 * noise(place, 4, model, day)));
    }
    return kNull;
}

// ---- Ensemble ---------------------------------------------------------------------

// A day of hourly values, as the ensemble's members and the model runs give
// them: temperature from lowT to highT (tenths), rain of rainT tenths in
// `rainLength` hours from `rainStart`; hours outside [firstHour, endHour) are
// null in both, and rain hours from `rainNullFrom` on too.
struct HoursOfDay {
    int highT = 0;
    int lowT = 0;
    int rainT = 0;
    int rainStart = 0;
    int rainLength = 1;
    int firstHour = 0;
    int endHour = 24;
    int rainNullFrom = 24;
};

// Appends the day's 24 hours to a temperature list and a rain list.
inline void appendHours(const HoursOfDay& d, nlohmann::json& temp, nlohmann::json& rain) {
    for (int h = 0; h < 24; ++h) {
        const bool in = h >= d.firstHour && h < d.endHour;
        temp.push_back(in ? nlohmann::json(hourTemperature(d.lowT, d.highT, h)) : nlohmann::json(nullptr));
        rain.push_back(in && h < d.rainNullFrom ? nlohmann::json(hourRain(d.rainT, d.rainStart, d.rainLength, h))
                                                : nlohmann::json(nullptr));
    }
}

// The ensemble's members on day `day` of the reply. On the fourth day the
// last two members stop at 18:00 (18 hours each), as a late-arriving run does.
inline HoursOfDay ensembleMember(std::string_view place, int member, int day) {
    const Climate c = climateOf(place);
    const double wetChance = std::min(1.0, c.wetness * (0.2 + 1.6 * noise(place, 10, day)));
    HoursOfDay m;
    m.rainT = rainTotal(noise(place, 11, day, member) < wetChance, noise(place, 12, day, member));
    m.rainStart = static_cast<int>(noise(place, 13, day, member) * 12);
    m.rainLength = 4 + static_cast<int>(noise(place, 14, day, member) * 8);
    m.lowT = tenths(c.low + 0.3 * day + 4 * (noise(place, 15, day, member) - 0.5));
    m.highT = m.lowT + 30 + static_cast<int>(noise(place, 16, day, member) * 50);
    if (day == 3 && member >= kEnsembleMembers - 2) m.endHour = 18;
    return m;
}

inline std::string memberKey(const char* variable, int member) {
    if (member == 0) return variable;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s_member%02d", variable, member);
    return buf;
}

// "YYYY-MM-DD" of a day number (days since 1970-01-01).
inline std::string dateOfDay(int64_t dayNumber) {
    const std::chrono::year_month_day ymd{std::chrono::sys_days{std::chrono::days{dayNumber}}};
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02u", static_cast<int>(ymd.year()), static_cast<unsigned>(ymd.month()),
                  static_cast<unsigned>(ymd.day()));
    return buf;
}

inline std::string hourText(int64_t dayNumber, int hour) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "T%02d:00", hour);
    return dateOfDay(dayNumber) + buf;
}

// The local hours of `days` days from `firstDay`.
inline nlohmann::json hourTimes(int64_t firstDay, int days) {
    nlohmann::json time = nlohmann::json::array();
    for (int d = 0; d < days; ++d)
        for (int h = 0; h < 24; ++h) time.push_back(hourText(firstDay + d, h));
    return time;
}

inline nlohmann::json header(const Where& w) {
    return {{"latitude", w.latitude},         {"longitude", w.longitude},
            {"generationtime_ms", 2.417},     {"utc_offset_seconds", w.utcOffset},
            {"timezone", w.timezone},         {"timezone_abbreviation", w.abbreviation},
            {"elevation", 14.0}};
}

// The ensemble reply for `days` local days from `firstDay` (a day number),
// with `members` members (31 as the service has).
inline std::string ensembleReply(const Where& w, int64_t firstDay, int days, int members = kEnsembleMembers) {
    using nlohmann::json;
    json root = header(w);
    json hourly = {{"time", hourTimes(firstDay, days)}}, units = {{"time", "iso8601"}};
    for (int m = 0; m < members; ++m) {
        json rain = json::array(), temp = json::array();
        for (int d = 0; d < days; ++d) appendHours(ensembleMember(w.id, m, d), temp, rain);
        hourly[memberKey("precipitation", m)] = std::move(rain);
        hourly[memberKey("temperature_2m", m)] = std::move(temp);
        units[memberKey("precipitation", m)] = "mm";
        units[memberKey("temperature_2m", m)] = "°C";
    }
    root["hourly_units"] = std::move(units);
    root["hourly"] = std::move(hourly);
    return root.dump();
}

// ---- Model runs ---------------------------------------------------------------------

// Run `run` (days back) on reply day `day`. The run of two days before covers
// days 0 to 3 whole, has 19 rain hours on day 4 and half of day 5; the run of
// one day before covers days 0 to 5; older runs reach no further.
inline HoursOfDay runDay(std::string_view place, int run, int day) {
    const Climate c = climateOf(place);
    HoursOfDay r;
    const double drift = run == 0 ? 0.0 : 3 * (noise(place, 20, run, day) - 0.5) * (1 + 0.3 * day);
    r.highT = tenths(c.high + 0.4 * day + drift);
    r.lowT = r.highT - 35 - static_cast<int>(noise(place, 21, run, day) * 30);
    const double wetChance = std::min(1.0, c.wetness * (0.3 + 1.4 * noise(place, 22, day)));
    r.rainT = rainTotal(noise(place, 23, run, day) < wetChance, noise(place, 24, run, day));
    r.rainStart = static_cast<int>(noise(place, 25, run, day) * 10);
    r.rainLength = 6 + static_cast<int>(noise(place, 26, run, day) * 8);
    if (run == 2 && day == 4) r.rainNullFrom = 19;
    if (run == 2 && day == 5) r.firstHour = 12;
    if ((run == 2 && day >= 6) || (run == 1 && day >= 6)) r.endHour = 0;
    return r;
}

inline const char* runTemperatureKey(int run) {
    static constexpr const char* keys[] = {"temperature_2m", "temperature_2m_previous_day1",
                                           "temperature_2m_previous_day2"};
    return keys[run];
}
inline const char* runPrecipitationKey(int run) {
    static constexpr const char* keys[] = {"precipitation", "precipitation_previous_day1",
                                           "precipitation_previous_day2"};
    return keys[run];
}

// The previous-runs reply for `days` local days from `firstDay`.
inline std::string previousRunsReply(const Where& w, int64_t firstDay, int days) {
    using nlohmann::json;
    json root = header(w);
    json hourly = {{"time", hourTimes(firstDay, days)}}, units = {{"time", "iso8601"}};
    for (int run = 0; run < kRuns; ++run) {
        json temp = json::array(), rain = json::array();
        for (int d = 0; d < days; ++d) appendHours(runDay(w.id, run, d), temp, rain);
        hourly[runTemperatureKey(run)] = std::move(temp);
        hourly[runPrecipitationKey(run)] = std::move(rain);
        units[runTemperatureKey(run)] = "°C";
        units[runPrecipitationKey(run)] = "mm";
    }
    root["hourly_units"] = std::move(units);
    root["hourly"] = std::move(hourly);
    return root.dump();
}

// ---- Model series reply -----------------------------------------------------------

// The multi-model daily reply for `days` local days from `firstDay`.
inline std::string modelSeriesReply(const Where& w, int64_t firstDay, int days) {
    using nlohmann::json;
    json root = header(w);
    json daily = json::object(), units = {{"time", "iso8601"}};
    json& time = daily["time"] = json::array();
    for (int d = 0; d < days; ++d) time.push_back(dateOfDay(firstDay + d));
    static constexpr std::array<std::pair<Daily, const char*>, 3> vars{
        {{Daily::High, "temperature_2m_max"}, {Daily::Low, "temperature_2m_min"},
         {Daily::Pop, "precipitation_probability_max"}}};
    for (int m = 0; m < static_cast<int>(kModels.size()); ++m) {
        for (const auto& [what, name] : vars) {
            json values = json::array();
            for (int d = 0; d < days; ++d) {
                const double v = modelValue(w.id, what, m, d);
                if (std::isnan(v)) values.push_back(nullptr);
                else if (what == Daily::Pop) values.push_back(static_cast<int>(v));
                else values.push_back(v);
            }
            const std::string key = std::string(name) + "_" + kModels[static_cast<size_t>(m)];
            daily[key] = std::move(values);
            units[key] = what == Daily::Pop ? "%" : "°C";
        }
    }
    root["daily_units"] = std::move(units);
    root["daily"] = std::move(daily);
    return root.dump();
}

// ---- Seasonal -------------------------------------------------------------------------

// A seasonal member's high on reply day `day`; NaN for null. Members from 26
// on end after 46 days, and nobody gives the last day.
inline double seasonalHigh(std::string_view place, int member, int day) {
    if (day == kSeasonalDays - 1) return kNull;
    if (member >= 26 && day >= 46) return kNull;
    const Climate c = climateOf(place);
    constexpr double pi = 3.14159265358979;
    return tenths(c.high - 3 * std::sin(pi * day / kSeasonalDays) + 6 * (noise(place, 30, member, day) - 0.5)) /
           10.0;
}

// The seasonal reply: daily members over kSeasonalDays days from `firstDay`
// (a UTC day number, since the request names no time zone); fewer members or
// days for small samples.
inline std::string seasonalReply(const Where& w, int64_t firstDay, int members = kSeasonalMembers,
                                 int days = kSeasonalDays) {
    using nlohmann::json;
    Where utc = w;
    utc.utcOffset = 0;
    utc.timezone = utc.abbreviation = "GMT";
    json root = header(utc);
    json daily = json::object(), units = {{"time", "iso8601"}};
    json& time = daily["time"] = json::array();
    for (int d = 0; d < days; ++d) time.push_back(dateOfDay(firstDay + d));
    for (int m = 0; m < members; ++m) {
        json values = json::array();
        for (int d = 0; d < days; ++d) {
            const double v = seasonalHigh(w.id, m, d);
            if (std::isnan(v)) values.push_back(nullptr);
            else values.push_back(v);
        }
        daily[memberKey("temperature_2m_max", m)] = std::move(values);
        units[memberKey("temperature_2m_max", m)] = "°C";
    }
    root["daily_units"] = std::move(units);
    root["daily"] = std::move(daily);
    return root.dump();
}

}  // namespace nbr::replay::models
