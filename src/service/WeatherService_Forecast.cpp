// The base forecast of a place, its ten-minute cache, and the helpers every
// fetcher shares (distances, local times, coordinates in queries).
#include "service/WeatherService.h"

#include "foundation/PlaceTime.h"
#include "model/Dates.h"
#include "model/ReplyTime.h"
#include "platform/TimeZones.h"
#include "service/ServiceHosts.h"
#include "service/SourceSupport.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <ctime>
#include <stdexcept>
#include <type_traits>

namespace nbr {

using nlohmann::json;

namespace {

constexpr int kForecastMaxAgeMinutes = 10;
constexpr size_t kHourlySteps = 7 * 24;
constexpr size_t kQuarterHourSteps = 8;

constexpr char kForecastQuery[] =
    "&current=temperature_2m,relative_humidity_2m,apparent_temperature,precipitation,rain,showers,"
    "snowfall,weather_code,cloud_cover,pressure_msl,dew_point_2m,visibility,uv_index,wind_speed_10m,"
    "wind_direction_10m,wind_gusts_10m"
    "&hourly=temperature_2m,weather_code,precipitation_probability,precipitation,snowfall,uv_index,"
    "surface_pressure,wind_speed_10m,wind_direction_10m,snow_depth,freezing_level_height,cloud_cover"
    "&minutely_15=precipitation,weather_code"
    "&daily=weather_code,temperature_2m_max,temperature_2m_min,precipitation_sum,rain_sum,snowfall_sum,"
    "precipitation_probability_max,sunrise,sunset,uv_index_max,daylight_duration"
    "&timezone=auto&past_days=1&forecast_days=7";

[[noreturn]] void wrongType(const std::string& what, const json& value) {
    throw json::type_error::create(302, what + " has the wrong type", &value);
}

// A member that must be an object when present; null when absent.
const json* section(const json& root, const char* key) {
    auto it = root.find(key);
    if (it == root.end()) return nullptr;
    if (!it->is_object()) wrongType(key, *it);
    return &*it;
}

// A whole number that fits an int. The JSON library would convert any other
// number to int with undefined behaviour, so a fraction or a number out of
// range counts as a value of the wrong type.
int wholeNumber(const char* key, const json& v) {
    if (v.is_number_integer() && !v.is_number_unsigned()) {
        const int64_t i = v.get<int64_t>();
        if (i >= INT_MIN && i <= INT_MAX) return static_cast<int>(i);
    } else if (v.is_number_unsigned()) {
        if (v.get<uint64_t>() <= static_cast<uint64_t>(INT_MAX)) return static_cast<int>(v.get<uint64_t>());
    } else if (v.is_number_float()) {
        const double d = v.get<double>();
        if (std::isfinite(d) && d >= INT_MIN && d <= INT_MAX) return static_cast<int>(d);
    }
    wrongType(key, v);
}

// An int member; `missing` when absent.
int intMember(const json& obj, const char* key, int missing) {
    auto it = obj.find(key);
    return it == obj.end() || it->is_null() ? missing : wholeNumber(key, *it);
}

// An array member read whole; absent gives an empty list. A null element is a
// gap (the field's missing value is used for it); an element of another
// type, or a member that is not an array, throws.
template <typename T>
std::vector<std::optional<T>> column(const json& obj, const char* key) {
    std::vector<std::optional<T>> out;
    auto it = obj.find(key);
    if (it == obj.end()) return out;
    if (!it->is_array()) wrongType(key, *it);
    out.reserve(it->size());
    for (const json& v : *it) {
        if (v.is_null()) out.emplace_back();
        else if constexpr (std::is_same_v<T, int>) out.emplace_back(wholeNumber(key, v));
        else out.emplace_back(v.get<T>());
    }
    return out;
}

// Element `i` of a list read by column(); `unknown` when the service sent
// null there or the list stops short of it.
template <typename T>
T at(const std::vector<std::optional<T>>& col, size_t i, T unknown) {
    return i < col.size() && col[i] ? *col[i] : unknown;
}

// Member `field` of each entry from the list's elements `from` on (entry k
// takes element from + k): every value of the hourly, quarter-hour and daily
// lists is read here, so a gap is always the field's unknown.
template <typename Entry, typename T>
void fill(std::vector<Entry>& entries, size_t from, T Entry::*field, const std::vector<std::optional<T>>& col,
          std::type_identity_t<T> unknown) {
    for (size_t k = 0; k < entries.size(); ++k) entries[k].*field = at(col, from + k, unknown);
}

// Drops the entries whose time the service sent as null: an hour that cannot
// be placed is shown nowhere. The others keep the values of their own times.
template <typename Entry>
void dropUnplaced(std::vector<Entry>& entries) {
    std::erase_if(entries, [](const Entry& e) { return e.time.empty(); });
}

// The entry holding the present `now`: the last whose time is not after it
// in byte order (a time without a value is passed over); the first entry
// when `now` is empty or every time is later.
size_t holding(const std::vector<std::optional<std::string>>& times, const std::string& now) {
    size_t found = 0;
    if (now.empty()) return found;
    for (size_t i = 0; i < times.size(); ++i)
        if (times[i] && !times[i]->empty() && *times[i] <= now) found = i;
    return found;
}

// The offset the reply's times are written at: its own, or else the named
// zone's at the reply's present (the wall clock's when it states none). A
// reply with neither cannot place its times and is not readable.
int replyOffset(const json& root, const WeatherData& d) {
    const auto own = root.find("utc_offset_seconds");
    if (own != root.end() && !own->is_null()) return wholeNumber("utc_offset_seconds", *own);
    const PlaceClock zone = placeClock(d.location);
    if (!zone.known()) throw json::other_error::create(501, "no utc_offset_seconds and no zone", &root);
    return zone.offsetAt(zone.instantOf(d.time).value_or(source::unixNow()));
}

// A number of the current block; `unknown` when the service sent null or
// left it out. A value of another type throws, as the rest of the reply does.
double currentValue(const json& cur, const char* key, double unknown) {
    auto it = cur.find(key);
    return it == cur.end() || it->is_null() ? unknown : it->get<double>();
}

// The current block; every value it lacks is unknown, also when the reply
// has no block at all.
void readCurrent(const json& cur, WeatherData& d) {
    d.temperature = currentValue(cur, "temperature_2m", kUnknownTemperature);
    d.relativeHumidity = currentValue(cur, "relative_humidity_2m", kUnknownAmount);
    d.apparentTemperature = currentValue(cur, "apparent_temperature", kUnknownTemperature);
    d.precipitation = currentValue(cur, "precipitation", kUnknownAmount);
    d.rain = currentValue(cur, "rain", kUnknownAmount);
    d.snowfall = currentValue(cur, "snowfall", kUnknownAmount);
    d.weatherCode = intMember(cur, "weather_code", kUnknownCode);
    d.cloudCover = currentValue(cur, "cloud_cover", kUnknownAmount);
    d.pressureMsl = currentValue(cur, "pressure_msl", kUnknownAmount);
    d.dewPoint = currentValue(cur, "dew_point_2m", kUnknownTemperature);
    d.visibility = currentValue(cur, "visibility", kUnknownAmount);
    d.uvIndex = currentValue(cur, "uv_index", kUnknownAmount);
    d.windSpeed = currentValue(cur, "wind_speed_10m", kUnknownAmount);
    d.windDirection = currentValue(cur, "wind_direction_10m", kUnknownAmount);
    d.windGusts = currentValue(cur, "wind_gusts_10m", kUnknownAmount);
    const auto time = cur.find("time");
    d.time = time == cur.end() || time->is_null() ? std::string() : time->get<std::string>();
}

// The hours from the one holding the reply's present, up to a week: views
// take their slice as of their own now, so an old record still has hours.
void readHourly(const json& h, WeatherData& d) {
    using H = HourlyForecast;
    const auto time = column<std::string>(h, "time");
    const auto pressure = column<double>(h, "surface_pressure");
    const size_t start = holding(time, d.time);
    // The trend needs both pressures; a gap in either leaves it out.
    if (!d.time.empty() && start > 2 && start < pressure.size() && pressure[start] && pressure[start - 3]) {
        d.pressureTrend3h = *pressure[start] - *pressure[start - 3];
        d.hasPressureTrend = true;
    }
    d.hourly.resize(time.size() - std::min(time.size(), start));
    if (d.hourly.size() > kHourlySteps) d.hourly.resize(kHourlySteps);
    fill(d.hourly, start, &H::time, time, std::string());
    fill(d.hourly, start, &H::temperature, column<double>(h, "temperature_2m"), kUnknownTemperature);
    fill(d.hourly, start, &H::weatherCode, column<int>(h, "weather_code"), kUnknownCode);
    fill(d.hourly, start, &H::precipitation, column<double>(h, "precipitation"), kUnknownAmount);
    fill(d.hourly, start, &H::snowfall, column<double>(h, "snowfall"), kUnknownAmount);
    fill(d.hourly, start, &H::precipitationProbability, column<double>(h, "precipitation_probability"),
         kUnknownAmount);
    fill(d.hourly, start, &H::uvIndex, column<double>(h, "uv_index"), kUnknownAmount);
    fill(d.hourly, start, &H::surfacePressure, pressure, kUnknownAmount);
    fill(d.hourly, start, &H::windSpeed, column<double>(h, "wind_speed_10m"), kUnknownAmount);
    fill(d.hourly, start, &H::windDirection, column<double>(h, "wind_direction_10m"), kUnknownAmount);
    fill(d.hourly, start, &H::snowDepth, column<double>(h, "snow_depth"), kUnknownAmount);
    fill(d.hourly, start, &H::freezingLevelHeight, column<double>(h, "freezing_level_height"), kUnknownAmount);
    fill(d.hourly, start, &H::cloudCover, column<double>(h, "cloud_cover"), kUnknownAmount);
    dropUnplaced(d.hourly);
}

void readQuarterHours(const json& m, WeatherData& d) {
    using Q = MinutelyForecast;
    const auto time = column<std::string>(m, "time");
    const size_t start = holding(time, d.time);
    d.minutely15.resize(std::min(time.size() - std::min(time.size(), start), kQuarterHourSteps));
    fill(d.minutely15, start, &Q::time, time, std::string());
    fill(d.minutely15, start, &Q::precipitation, column<double>(m, "precipitation"), kUnknownAmount);
    fill(d.minutely15, start, &Q::weatherCode, column<int>(m, "weather_code"), kUnknownCode);
    dropUnplaced(d.minutely15);
}

void readDaily(const json& dl, WeatherData& d) {
    using D = DailyForecast;
    const auto time = column<std::string>(dl, "time");
    const auto tmax = column<double>(dl, "temperature_2m_max");
    const auto tmin = column<double>(dl, "temperature_2m_min");
    const auto precip = column<double>(dl, "precipitation_sum");
    const auto sunrise = column<std::string>(dl, "sunrise");
    const auto sunset = column<std::string>(dl, "sunset");

    // A null date is no date: an entry is today or yesterday by its own date
    // only, never by its place in the list.
    const size_t n = time.size();
    const auto dateAt = [&](size_t i) { return i < n && time[i] ? *time[i] : std::string(); };
    std::string today = d.time.substr(0, 10);
    std::string yesterday = addDays(today, -1);
    if (yesterday.empty()) {
        // No present: the list starts at yesterday (one past day is asked
        // for), when its first two dates say so.
        today.clear();
        if (!dateAt(1).empty() && addDays(dateAt(0), 1) == dateAt(1)) {
            today = dateAt(1);
            yesterday = dateAt(0);
        }
    }
    // The list from today's entry; without one, from the first entry not
    // known to be past (an entry without a date stays in the list).
    size_t t = 0;
    if (!today.empty()) {
        const auto own = std::find(time.begin(), time.end(), std::optional<std::string>(today));
        if (own != time.end()) t = static_cast<size_t>(own - time.begin());
        else
            while (t < n && !dateAt(t).empty() && dateAt(t) < today) ++t;
    }
    std::optional<size_t> y;
    if (t > 0 && !yesterday.empty() && dateAt(t - 1) == yesterday) y = t - 1;

    if (y) {
        d.yesterdaySunrise = at(sunrise, *y, std::string());
        d.yesterdaySunset = at(sunset, *y, std::string());
    }
    // Yesterday counts only with its high known.
    if (y && *y < tmax.size() && tmax[*y]) {
        d.hasYesterday = true;
        d.yesterdayHigh = *tmax[*y];
        d.yesterdayLow = at(tmin, *y, kUnknownTemperature);
        d.yesterdayPrecip = at(precip, *y, kUnknownAmount);
    }

    d.daily.resize(n - t);
    fill(d.daily, t, &D::date, time, std::string());
    fill(d.daily, t, &D::weatherCode, column<int>(dl, "weather_code"), kUnknownCode);
    fill(d.daily, t, &D::temperatureMax, tmax, kUnknownTemperature);
    fill(d.daily, t, &D::temperatureMin, tmin, kUnknownTemperature);
    fill(d.daily, t, &D::precipitationSum, precip, kUnknownAmount);
    fill(d.daily, t, &D::rainSum, column<double>(dl, "rain_sum"), kUnknownAmount);
    fill(d.daily, t, &D::snowfallSum, column<double>(dl, "snowfall_sum"), kUnknownAmount);
    fill(d.daily, t, &D::precipitationProbabilityMax, column<double>(dl, "precipitation_probability_max"),
         kUnknownAmount);
    fill(d.daily, t, &D::sunrise, sunrise, std::string());
    fill(d.daily, t, &D::sunset, sunset, std::string());
    fill(d.daily, t, &D::uvIndexMax, column<double>(dl, "uv_index_max"), kUnknownAmount);
    fill(d.daily, t, &D::daylightDuration, column<double>(dl, "daylight_duration"), kUnknownAmount);
}

// Reads an optionally signed decimal integer at `p` after optional blanks, as
// scanf's "%d" does, without its undefined behaviour on overflow.
bool scanInt(const char*& p, const char* end, int& out) {
    while (p < end && (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\f' || *p == '\v')) ++p;
    const char* q = p;
    if (q < end && *q == '+') ++q;
    auto [next, ec] = std::from_chars(q, end, out);
    if (ec != std::errc()) return false;
    p = next;
    return true;
}

}  // namespace

WeatherService::WeatherService() = default;
WeatherService::~WeatherService() = default;

// ---- Base forecast ------------------------------------------------------------

std::optional<WeatherData> WeatherService::fetchWeather(const GeoLocation& loc, ForecastFailure* why) {
    if (auto cached = freshCopy(loc, kForecastMaxAgeMinutes)) return cached;

    const std::string url = serviceBase(service::Forecast) + "/v1/forecast?latitude=" +
                            formatFixed(loc.latitude, 6) + "&longitude=" + formatFixed(loc.longitude, 6) +
                            kForecastQuery;
    const HttpReply reply = httpFetch(url);
    const auto failed = [&](ForecastFailure::Kind kind) {
        if (why) *why = {kind, reply.status};
        return std::nullopt;
    };
    if (reply.status == 0) return failed(reply.unreadable ? ForecastFailure::Unreadable : ForecastFailure::Unreachable);
    if (!reply.ok()) return failed(ForecastFailure::Answered);

    WeatherData data;
    try {
        data = parseWeatherResponse(reply.body, loc);
    } catch (const json::exception&) {
        return failed(ForecastFailure::Unreadable);
    } catch (const std::runtime_error&) {
        return failed(ForecastFailure::Answered);  // the service's own error reply
    } catch (const std::exception&) {
        return failed(ForecastFailure::Unreadable);
    }
    std::lock_guard<std::mutex> lock(forecastCacheMutex);
    storeForecastLocked(loc.cacheKey(), data);
    return data;
}

WeatherData WeatherService::parseWeatherResponse(const std::string& body, const GeoLocation& loc) {
    const json root = json::parse(body);
    if (root.value("error", false)) throw std::runtime_error(root.value("reason", std::string("weather API error")));

    WeatherData d;
    d.location = loc;
    // The zone the service names for the coordinates; a name the database
    // does not know leaves the place's own.
    const auto zone = root.find("timezone");
    if (zone != root.end() && zone->is_string() && platform::isZoneName(zone->get<std::string>()))
        d.location.timezone = zone->get<std::string>();
    d.fetchedAt = std::chrono::system_clock::now();
    const json* cur = section(root, "current");
    readCurrent(cur ? *cur : json::object(), d);
    d.utcOffsetSeconds = replyOffset(root, d);
    if (const json* h = section(root, "hourly")) readHourly(*h, d);
    if (const json* m = section(root, "minutely_15")) readQuarterHours(*m, d);
    if (const json* dl = section(root, "daily")) readDaily(*dl, d);
    return d;
}

// ---- Forecast cache -----------------------------------------------------------

bool WeatherService::hasFreshCache(const GeoLocation& loc, int maxAgeMinutes) const {
    return freshCopy(loc, maxAgeMinutes).has_value();
}

std::optional<WeatherData> WeatherService::freshCopy(const GeoLocation& loc, int maxAgeMinutes) const {
    std::optional<WeatherData> copy;
    {
        std::lock_guard<std::mutex> lock(forecastCacheMutex);
        auto it = forecastCache.find(loc.cacheKey());
        if (it == forecastCache.end()) return std::nullopt;
        const auto age = std::chrono::system_clock::now() - it->second.fetchedAt;
        // By the wall clock, which goes on while the computer sleeps; a clock
        // set back since leaves the age unknown.
        const auto minutes = std::chrono::duration_cast<std::chrono::minutes>(age).count();
        if (age.count() < 0 || minutes >= maxAgeMinutes) return std::nullopt;
        copy = it->second;
    }
    // A reply from before the place's midnight holds the day before as today.
    const int64_t now =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
    if (fromAnotherDay(*copy, now)) return std::nullopt;
    return copy;
}

bool WeatherService::fromAnotherDay(const WeatherData& data, int64_t now) {
    // The reply's present, written at its own offset, on the place's clock.
    const std::optional<int64_t> made = replyInstant(data, data.time);
    if (!made) return false;
    const PlaceClock clock = placeClock(data);
    return clock.dateOf(*made) != clock.dateOf(now);
}

std::optional<WeatherData> WeatherService::getCached(const GeoLocation& loc) const {
    std::lock_guard<std::mutex> lock(forecastCacheMutex);
    auto it = forecastCache.find(loc.cacheKey());
    if (it == forecastCache.end()) return std::nullopt;
    return it->second;
}

void WeatherService::clearCache() {
    std::lock_guard<std::mutex> lock(forecastCacheMutex);
    forecastCache.clear();
}

void WeatherService::storeForecastLocked(const std::string& key, const WeatherData& data) {
    forecastCache[key] = data;
    while (forecastCache.size() > kForecastCacheLimit) {
        auto oldest = forecastCache.begin();
        for (auto it = forecastCache.begin(); it != forecastCache.end(); ++it)
            if (it->second.fetchedAt < oldest->second.fetchedAt) oldest = it;
        forecastCache.erase(oldest);
    }
}

// ---- Shared helpers -----------------------------------------------------------

double haversineKm(double lat1, double lon1, double lat2, double lon2) {
    constexpr double r = 3.14159265358979 / 180.0;
    const double s1 = std::sin((lat2 - lat1) * r / 2);
    const double s2 = std::sin((lon2 - lon1) * r / 2);
    const double a = s1 * s1 + std::cos(lat1 * r) * std::cos(lat2 * r) * s2 * s2;
    return 12742.0 * std::asin(std::min(std::sqrt(a), 1.0));
}

namespace {

// The fields of "YYYY-MM-DD[THH:MM[:SS]]" into a broken-down time (the time
// part may stop early); `rest` is left after the last field read. False when
// fewer than three numbers read.
bool readIsoFields(const std::string& text, std::tm& tm, const char*& rest) {
    static constexpr char kSeparators[] = {'-', '-', 'T', ':', ':'};
    int v[6] = {0, 0, 0, 0, 0, 0};
    const char* p = text.data();
    const char* end = p + text.size();
    int count = 0;
    while (count < 6 && scanInt(p, end, v[count])) {
        ++count;
        if (count == 6 || p >= end || *p != kSeparators[count - 1]) break;
        ++p;
    }
    rest = p;
    if (count < 3) return false;
    if (v[0] < INT_MIN + 1900 || v[1] == INT_MIN) return false;
    tm = std::tm{};
    tm.tm_year = v[0] - 1900;
    tm.tm_mon = v[1] - 1;
    tm.tm_mday = v[2];
    tm.tm_hour = v[3];
    tm.tm_min = v[4];
    tm.tm_sec = v[5];
    return true;
}

}  // namespace

std::chrono::system_clock::time_point parseIsoTime(const std::string& text, const PlaceClock& clock) {
    std::tm tm{};
    const char* rest = nullptr;
    if (!readIsoFields(text, tm, rest)) return {};
    const std::optional<int> offset =
        zoneSuffixOffset(std::string_view(rest, static_cast<size_t>(text.data() + text.size() - rest)));
    // The fields as a UTC calendar time: the instant itself once the suffix's
    // offset is taken off, or else the reading of the place's clock.
    const std::time_t t = timegm(&tm);
    if (t == static_cast<std::time_t>(-1)) return {};
    const int64_t instant = offset ? t - *offset : clock.instantOf(t);
    return timePointOf(instant).value_or(std::chrono::system_clock::time_point{});
}

std::string formatFixed(double value, int decimals) {
    char buf[400];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    if (ec != std::errc()) return {};
    return std::string(buf, end);
}

}  // namespace nbr
