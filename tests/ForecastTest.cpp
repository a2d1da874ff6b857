#include "ReplayEnv.h"
#include "service/WeatherService.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <ctime>
#include <thread>

namespace nbr {
namespace {

using nlohmann::json;
using replay::Reply;
using test::ReplayTest;

constexpr char kQuery[] =
    "&current=temperature_2m,relative_humidity_2m,apparent_temperature,precipitation,rain,showers,snowfall,"
    "weather_code,cloud_cover,pressure_msl,dew_point_2m,visibility,uv_index,wind_speed_10m,wind_direction_10m,"
    "wind_gusts_10m&hourly=temperature_2m,weather_code,precipitation_probability,precipitation,snowfall,uv_index,"
    "surface_pressure,wind_speed_10m,wind_direction_10m,snow_depth,freezing_level_height,cloud_cover"
    "&minutely_15=precipitation,weather_code&daily=weather_code,temperature_2m_max,temperature_2m_min,"
    "precipitation_sum,rain_sum,snowfall_sum,precipitation_probability_max,sunrise,sunset,uv_index_max,"
    "daylight_duration&timezone=auto&past_days=1&forecast_days=7";

class ForecastTest : public ReplayTest {
protected:
    // The reply the server gives for `loc`, as JSON.
    json replyFor(const GeoLocation& loc) {
        WeatherService raw;
        const std::string body = raw.httpGet(server.url("forecast", "/v1/forecast?latitude=" +
                                                                         formatFixed(loc.latitude, 6) + "&longitude=" +
                                                                         formatFixed(loc.longitude, 6) + kQuery));
        server.clearRequests();
        return json::parse(body);
    }

    // Serves `body` for every forecast request.
    void serve(const std::string& body) { server.setReply("forecast", "/v1/forecast", Reply::json(body)); }

    WeatherService svc;
};

TEST_F(ForecastTest, AsksForTheForecastWithTheFixedQuery) {
    ASSERT_TRUE(svc.fetchWeather(place("boston")));
    GeoLocation far;
    far.name = "Nowhere";
    far.latitude = 52.52;
    far.longitude = -0.127;
    EXPECT_FALSE(svc.fetchWeather(far));  // the server knows no such place
    const auto reqs = server.requests();
    ASSERT_EQ(reqs.size(), 2u);
    EXPECT_EQ(reqs[0].target, std::string("/forecast/v1/forecast?latitude=42.358400&longitude=-71.059800") + kQuery);
    EXPECT_EQ(reqs[1].target, std::string("/forecast/v1/forecast?latitude=52.520000&longitude=-0.127000") + kQuery);
    EXPECT_NE(logText().find("http: status 404"), std::string::npos);
}

// Every member the forecast fills, checked against the reply it came from.
TEST_F(ForecastTest, FillsTheRecordFromARealisticReply) {
    for (const char* id : {"boston", "oslo", "halifax"}) {
        SCOPED_TRACE(id);
        const GeoLocation loc = place(id);
        const json r = replyFor(loc);
        const auto got = svc.fetchWeather(loc);
        ASSERT_TRUE(got);
        const WeatherData& d = *got;
        const json& c = r["current"];

        EXPECT_EQ(d.location.cacheKey(), loc.cacheKey());
        EXPECT_EQ(d.location.timezone, loc.timezone);
        json noZone = r;  // a name that is no zone leaves the place's own
        noZone["timezone"] = "localtime";
        EXPECT_EQ(WeatherService::parseWeatherResponse(noZone.dump(), loc).location.timezone, loc.timezone);
        EXPECT_EQ(d.utcOffsetSeconds, r["utc_offset_seconds"].get<int>());
        EXPECT_EQ(d.time, c["time"].get<std::string>());
        EXPECT_DOUBLE_EQ(d.temperature, c["temperature_2m"].get<double>());
        EXPECT_DOUBLE_EQ(d.relativeHumidity, c["relative_humidity_2m"].get<double>());
        EXPECT_DOUBLE_EQ(d.apparentTemperature, c["apparent_temperature"].get<double>());
        EXPECT_DOUBLE_EQ(d.precipitation, c["precipitation"].get<double>());
        EXPECT_DOUBLE_EQ(d.rain, c["rain"].get<double>());
        EXPECT_DOUBLE_EQ(d.snowfall, c["snowfall"].get<double>());
        EXPECT_EQ(d.weatherCode, c["weather_code"].get<int>());
        EXPECT_DOUBLE_EQ(d.cloudCover, c["cloud_cover"].get<double>());
        EXPECT_DOUBLE_EQ(d.pressureMsl, c["pressure_msl"].get<double>());
        EXPECT_DOUBLE_EQ(d.dewPoint, c["dew_point_2m"].get<double>());
        EXPECT_DOUBLE_EQ(d.visibility, c["visibility"].get<double>());
        EXPECT_DOUBLE_EQ(d.uvIndex, c["uv_index"].get<double>());
        EXPECT_DOUBLE_EQ(d.windSpeed, c["wind_speed_10m"].get<double>());
        EXPECT_DOUBLE_EQ(d.windDirection, c["wind_direction_10m"].get<double>());
        EXPECT_DOUBLE_EQ(d.windGusts, c["wind_gusts_10m"].get<double>());

        // Hourly: from the hour holding the current time to the reply's end.
        const json& h = r["hourly"];
        const std::string now = d.time;
        size_t start = 0;
        while (start + 1 < h["time"].size() && h["time"][start + 1].get<std::string>() <= now) ++start;
        ASSERT_EQ(d.hourly.size(), h["time"].size() - start);
        EXPECT_GT(start, 2u);  // the reply starts yesterday
        EXPECT_TRUE(d.hasPressureTrend);
        EXPECT_NEAR(d.pressureTrend3h,
                    h["surface_pressure"][start].get<double>() - h["surface_pressure"][start - 3].get<double>(), 1e-9);
        for (size_t k = 0; k < 24; ++k) {
            const HourlyForecast& e = d.hourly[k];
            const size_t j = start + k;
            EXPECT_EQ(e.time, h["time"][j].get<std::string>());
            EXPECT_DOUBLE_EQ(e.temperature, h["temperature_2m"][j].get<double>());
            EXPECT_EQ(e.weatherCode, h["weather_code"][j].get<int>());
            EXPECT_DOUBLE_EQ(e.precipitation, h["precipitation"][j].get<double>());
            EXPECT_DOUBLE_EQ(e.snowfall, h["snowfall"][j].get<double>());
            EXPECT_DOUBLE_EQ(e.precipitationProbability, h["precipitation_probability"][j].get<double>());
            EXPECT_DOUBLE_EQ(e.uvIndex, h["uv_index"][j].get<double>());
            EXPECT_DOUBLE_EQ(e.surfacePressure, h["surface_pressure"][j].get<double>());
            EXPECT_DOUBLE_EQ(e.windSpeed, h["wind_speed_10m"][j].get<double>());
            EXPECT_DOUBLE_EQ(e.windDirection, h["wind_direction_10m"][j].get<double>());
            EXPECT_DOUBLE_EQ(e.snowDepth, h["snow_depth"][j].get<double>());
            EXPECT_DOUBLE_EQ(e.freezingLevelHeight, h["freezing_level_height"][j].get<double>());
            EXPECT_DOUBLE_EQ(e.cloudCover, h["cloud_cover"][j].get<double>());
            EXPECT_EQ(e.tempCorrection, 0);
            EXPECT_EQ(e.rawPrecipitationProbability, -1);
        }
        // The current time is on a quarter hour: the list starts at it.
        const json& m = r["minutely_15"];
        ASSERT_EQ(d.minutely15.size(), 8u);
        EXPECT_EQ(d.minutely15[0].time, now);
        size_t q = 0;
        while (m["time"][q].get<std::string>() != now) ++q;
        for (size_t k = 0; k < 8; ++k) {
            EXPECT_EQ(d.minutely15[k].time, m["time"][q + k].get<std::string>());
            EXPECT_DOUBLE_EQ(d.minutely15[k].precipitation, m["precipitation"][q + k].get<double>());
            EXPECT_EQ(d.minutely15[k].weatherCode, m["weather_code"][q + k].get<int>());
        }

        // Daily: today first, yesterday kept aside.
        const json& dl = r["daily"];
        ASSERT_EQ(dl["time"].size(), 8u);
        ASSERT_EQ(d.daily.size(), 7u);
        EXPECT_EQ(d.daily[0].date, now.substr(0, 10));
        EXPECT_TRUE(d.hasYesterday);
        EXPECT_DOUBLE_EQ(d.yesterdayHigh, dl["temperature_2m_max"][0].get<double>());
        EXPECT_DOUBLE_EQ(d.yesterdayLow, dl["temperature_2m_min"][0].get<double>());
        EXPECT_DOUBLE_EQ(d.yesterdayPrecip, dl["precipitation_sum"][0].get<double>());
        for (size_t k = 0; k < 7; ++k) {
            const DailyForecast& e = d.daily[k];
            const size_t j = k + 1;
            EXPECT_EQ(e.date, dl["time"][j].get<std::string>());
            EXPECT_EQ(e.weatherCode, dl["weather_code"][j].get<int>());
            EXPECT_DOUBLE_EQ(e.temperatureMax, dl["temperature_2m_max"][j].get<double>());
            EXPECT_DOUBLE_EQ(e.temperatureMin, dl["temperature_2m_min"][j].get<double>());
            EXPECT_DOUBLE_EQ(e.precipitationSum, dl["precipitation_sum"][j].get<double>());
            EXPECT_DOUBLE_EQ(e.rainSum, dl["rain_sum"][j].get<double>());
            EXPECT_DOUBLE_EQ(e.snowfallSum, dl["snowfall_sum"][j].get<double>());
            EXPECT_DOUBLE_EQ(e.precipitationProbabilityMax, dl["precipitation_probability_max"][j].get<double>());
            EXPECT_EQ(e.sunrise, dl["sunrise"][j].get<std::string>());
            EXPECT_EQ(e.sunset, dl["sunset"][j].get<std::string>());
            EXPECT_DOUBLE_EQ(e.uvIndexMax, dl["uv_index_max"][j].get<double>());
            EXPECT_DOUBLE_EQ(e.daylightDuration, dl["daylight_duration"][j].get<double>());
            EXPECT_EQ(e.ownPrecipitationProbability, -1);
        }
        // Untouched by the base forecast.
        EXPECT_FALSE(d.enriched);
        EXPECT_FALSE(d.airQuality.valid);
        EXPECT_EQ(d.kpIndex, -1);
    }
}

TEST_F(ForecastTest, SecondFetchWithinTenMinutesUsesTheCache) {
    const GeoLocation boston = place("boston");
    ASSERT_TRUE(svc.fetchWeather(boston));
    ASSERT_TRUE(svc.fetchWeather(boston));
    EXPECT_EQ(server.count("forecast"), 1u);

    // Same coordinates under another name: a place of its own.
    GeoLocation home = boston;
    home.name = "Home";
    ASSERT_TRUE(svc.fetchWeather(home));
    EXPECT_EQ(server.count("forecast"), 2u);
    EXPECT_EQ(svc.forecastCache.size(), 2u);
}

TEST_F(ForecastTest, FreshForUnderTenMinutesStaleFromTen) {
    const GeoLocation boston = place("boston");
    const auto first = svc.fetchWeather(boston);
    ASSERT_TRUE(first);
    const auto setAge = [&](std::chrono::seconds age) {
        std::lock_guard<std::mutex> lock(svc.forecastCacheMutex);
        svc.forecastCache[boston.cacheKey()].fetchedAt = std::chrono::system_clock::now() - age;
    };
    setAge(std::chrono::seconds(9 * 60 + 59));
    EXPECT_TRUE(svc.hasFreshCache(boston, 10));
    ASSERT_TRUE(svc.fetchWeather(boston));
    EXPECT_EQ(server.count("forecast"), 1u);

    setAge(std::chrono::seconds(-60));  // the wall clock set back since
    EXPECT_FALSE(svc.hasFreshCache(boston, 10));
    setAge(std::chrono::seconds(10 * 60));
    EXPECT_FALSE(svc.hasFreshCache(boston, 10));
    EXPECT_TRUE(svc.getCached(boston));  // the age is not looked at
    const auto second = svc.fetchWeather(boston);
    ASSERT_TRUE(second);
    EXPECT_EQ(server.count("forecast"), 2u);
    EXPECT_TRUE(svc.hasFreshCache(boston, 10));

    // A young reply made before the place's midnight is not served as today's.
    svc.forecastCache[boston.cacheKey()].time = "2000-01-01T23:45";
    EXPECT_FALSE(svc.hasFreshCache(boston, 10));
    ASSERT_TRUE(svc.fetchWeather(boston));
    EXPECT_EQ(server.count("forecast"), 3u);

    svc.clearCache();
    EXPECT_FALSE(svc.getCached(boston));
}

TEST_F(ForecastTest, FailedRefreshKeepsTheCachedRecord) {
    const GeoLocation boston = place("boston");
    const auto good = svc.fetchWeather(boston);
    ASSERT_TRUE(good);
    {
        std::lock_guard<std::mutex> lock(svc.forecastCacheMutex);
        svc.forecastCache[boston.cacheKey()].fetchedAt -= std::chrono::minutes(11);
    }
    server.setReply("forecast", "/v1/forecast", Reply::html());
    EXPECT_FALSE(svc.fetchWeather(boston));
    const auto kept = svc.getCached(boston);
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->time, good->time);
    EXPECT_EQ(kept->hourly.size(), good->hourly.size());
}

TEST_F(ForecastTest, ThirtyThirdPlaceEvictsTheOldest) {
    const auto t0 = std::chrono::system_clock::now();
    std::lock_guard<std::mutex> lock(svc.forecastCacheMutex);
    for (int i = 0; i < 33; ++i) {
        WeatherData d;
        d.location.name = "P" + std::to_string(i);
        // Stored out of age order: P5 is the oldest.
        d.fetchedAt = t0 + std::chrono::seconds(i == 5 ? -100 : i);
        svc.storeForecastLocked(d.location.cacheKey(), d);
        EXPECT_LE(svc.forecastCache.size(), 32u);
    }
    EXPECT_EQ(svc.forecastCache.size(), 32u);
    WeatherData p5;
    p5.location.name = "P5";
    EXPECT_EQ(svc.forecastCache.count(p5.location.cacheKey()), 0u);
    WeatherData p32;
    p32.location.name = "P32";
    EXPECT_EQ(svc.forecastCache.count(p32.location.cacheKey()), 1u);

    // Overwriting a place already cached evicts nothing.
    p32.fetchedAt = t0 + std::chrono::seconds(100);
    svc.storeForecastLocked(p32.location.cacheKey(), p32);
    EXPECT_EQ(svc.forecastCache.size(), 32u);
}

// Replies that must give no record, leave the cache alone and not crash.
TEST_F(ForecastTest, BrokenRepliesGiveNoRecord) {
    const GeoLocation boston = place("boston");
    const std::string good = replyFor(boston).dump();
    const auto edited = [&](auto change) {
        json j = json::parse(good);
        change(j);
        return j.dump();
    };
    const std::vector<std::pair<const char*, std::string>> bodies = {
        {"error reply", R"({"error":true,"reason":"Latitude must be in range of -90 to 90°. Given: 142.0."})"},
        {"error without reason", R"({"error":true})"},
        {"truncated", good.substr(0, good.size() / 2)},
        {"html", Reply::html().body},
        {"root array", "[1,2,3]"},
        {"root number", "42"},
        {"string in number array",
         edited([](json& j) { j["hourly"]["temperature_2m"][30] = "3.1"; })},
        {"string code", edited([](json& j) { j["daily"]["weather_code"][2] = "61"; })},
        {"number in string array", edited([](json& j) { j["daily"]["sunrise"][1] = 7; })},
        {"current is an array", edited([](json& j) { j["current"] = json::array({1, 2}); })},
        {"hourly is a string", edited([](json& j) { j["hourly"] = "none"; })},
        {"column is an object", edited([](json& j) { j["daily"]["temperature_2m_max"] = json::object(); })},
        {"current value text", edited([](json& j) { j["current"]["wind_speed_10m"] = "calm"; })},
        {"offset text", edited([](json& j) { j["utc_offset_seconds"] = "-18000"; })},
        // Numbers no int can hold are no codes (converting them is undefined).
        {"huge current code", edited([](json& j) { j["current"]["weather_code"] = 1e300; })},
        {"huge hourly code", edited([](json& j) { j["hourly"]["weather_code"][3] = 4294967296.0; })},
        {"huge offset", edited([](json& j) { j["utc_offset_seconds"] = 9223372036854775807LL; })},
        {"error not a flag", edited([](json& j) { j["error"] = "yes"; })},
    };
    for (const auto& [what, body] : bodies) {
        SCOPED_TRACE(what);
        serve(body);
        EXPECT_FALSE(svc.fetchWeather(boston));
        EXPECT_TRUE(svc.forecastCache.empty());
        EXPECT_ANY_THROW(WeatherService::parseWeatherResponse(body, boston));
    }
    EXPECT_EQ(server.count("forecast"), bodies.size());
}

// A null element, or a null or absent current value, is not known: the rest
// of the reply is read.
TEST_F(ForecastTest, NullElementsTakeTheFieldsMissingValue) {
    const GeoLocation boston = place("boston");
    json j = replyFor(boston);
    const std::string now = j["current"]["time"];
    size_t start = 0;
    while (j["hourly"]["time"][start + 1].get<std::string>() <= now) ++start;
    j["hourly"]["temperature_2m"][start] = nullptr;
    j["hourly"]["snow_depth"][start + 1] = nullptr;
    j["hourly"]["cloud_cover"][start + 2] = nullptr;
    j["hourly"]["surface_pressure"][start] = nullptr;  // no trend without it
    j["hourly"]["time"][start + 23] = nullptr;  // an hour that cannot be placed is left out
    size_t quarter = 0;
    while (j["minutely_15"]["time"][quarter] != now) ++quarter;
    j["minutely_15"]["time"][quarter + 2] = nullptr;
    for (auto& [key, col] : j["hourly"].items())  // the fourth hour: no values, the temperatures end before it
        if (key != "time") col[start + 3] = nullptr;
    j["hourly"]["temperature_2m"].get_ref<json::array_t&>().resize(start + 3);
    j["minutely_15"]["precipitation"] = json::array({nullptr, nullptr});
    j["minutely_15"].erase("weather_code");
    j["daily"]["temperature_2m_max"][0] = nullptr;  // yesterday's high unknown
    j["daily"]["sunrise"][2] = nullptr;
    j["daily"]["precipitation_probability_max"][3] = nullptr;
    j["daily"]["weather_code"][4] = nullptr;
    for (auto& [key, col] : j["daily"].items())  // tomorrow: no values, no rain sums at all
        if (key != "time") col[2] = nullptr;
    j["daily"].erase("rain_sum");
    j["current"]["temperature_2m"] = j["current"]["weather_code"] = j["current"]["visibility"] = nullptr;
    j["current"].erase("dew_point_2m");
    serve(j.dump());

    const auto d = svc.fetchWeather(boston);
    ASSERT_TRUE(d);
    ASSERT_GT(d->hourly.size(), 24u);
    EXPECT_EQ(d->hourly[0].temperature, kUnknownTemperature);
    EXPECT_EQ(d->hourly[1].snowDepth, -1);
    EXPECT_EQ(d->hourly[2].cloudCover, -1);
    EXPECT_EQ(d->hourly[23].time, j["hourly"]["time"][start + 24]);
    EXPECT_EQ(d->hourly[23].windSpeed, j["hourly"]["wind_speed_10m"][start + 24]);
    EXPECT_DOUBLE_EQ(d->hourly[1].temperature, j["hourly"]["temperature_2m"][start + 1].get<double>());
    const HourlyForecast& e = d->hourly[3];
    EXPECT_EQ(e.temperature + e.weatherCode, kUnknownTemperature + kUnknownCode);
    for (double v : {e.precipitationProbability, e.precipitation, e.snowfall, e.uvIndex, e.surfacePressure,
                     e.windSpeed, e.windDirection, e.freezingLevelHeight})
        EXPECT_EQ(v, kUnknownAmount);
    EXPECT_FALSE(d->hasPressureTrend);
    EXPECT_EQ(d->minutely15.size(), 7u);  // one without its time
    for (const MinutelyForecast& q : d->minutely15)  // null, then past the list's end
        EXPECT_EQ(q.precipitation + q.weatherCode, kUnknownAmount + kUnknownCode) << q.time;
    EXPECT_FALSE(d->hasYesterday);
    EXPECT_EQ(d->yesterdayPrecip, -1);
    ASSERT_EQ(d->daily.size(), 7u);
    EXPECT_EQ(d->daily[1].sunrise, "");
    EXPECT_EQ(d->daily[2].precipitationProbabilityMax, -1);  // missing, not 0 %
    EXPECT_EQ(d->daily[3].weatherCode, kUnknownCode);
    const DailyForecast& t = d->daily[1];
    EXPECT_EQ(t.temperatureMax + t.temperatureMin + t.weatherCode, 2 * kUnknownTemperature + kUnknownCode);
    for (double v : {t.precipitationSum, t.rainSum, t.snowfallSum, t.uvIndexMax, t.daylightDuration})
        EXPECT_EQ(v, kUnknownAmount);
    EXPECT_EQ(d->daily[0].sunrise, j["daily"]["sunrise"][1].get<std::string>());
    EXPECT_EQ(d->temperature + d->dewPoint, 2 * kUnknownTemperature);
    EXPECT_EQ(d->visibility + d->weatherCode, 2 * kUnknownAmount);
    EXPECT_DOUBLE_EQ(d->relativeHumidity, j["current"]["relative_humidity_2m"].get<double>());
}

// ---- The parse rules on hand-made replies ---------------------------------------

std::string hoursFrom(const std::string& day, int count) {
    json times = json::array(), pressure = json::array(), temp = json::array();
    for (int i = 0; i < count; ++i) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%sT%02d:00", day.c_str(), i);
        times.push_back(buf);
        pressure.push_back(1000.0 + i * i);
        temp.push_back(i * 0.5);
    }
    return json{{"time", times}, {"surface_pressure", pressure}, {"temperature_2m", temp}}.dump();
}

TEST(ForecastParseTest, HourlyStartsAtTheHourHoldingNow) {
    GeoLocation loc;
    const std::string hourly = hoursFrom("2024-05-01", 24);
    const auto parse = [&](const std::string& now) {
        return WeatherService::parseWeatherResponse(
            R"({"utc_offset_seconds":0,"current":{"time":")" + now + R"("},"hourly":)" + hourly + "}", loc);
    };
    WeatherData d = parse("2024-05-01T14:15");
    ASSERT_EQ(d.hourly.size(), 10u);  // 14:00, holding 14:15, to 23:00, the end of the reply
    EXPECT_EQ(d.hourly[0].time, "2024-05-01T14:00");
    EXPECT_DOUBLE_EQ(d.hourly[0].temperature, 7.0);
    EXPECT_TRUE(d.hasPressureTrend);
    EXPECT_DOUBLE_EQ(d.pressureTrend3h, 14.0 * 14 - 11.0 * 11);
    EXPECT_EQ(d.hourly[0].snowDepth, -1);  // columns absent from the reply
    EXPECT_EQ(d.hourly[0].weatherCode, kUnknownCode);

    d = parse("2024-05-01T14:00");
    EXPECT_EQ(d.hourly[0].time, "2024-05-01T14:00");

    for (const char* now : {"2024-04-30T23:00", ""}) {
        SCOPED_TRACE(now);
        d = parse(now);
        ASSERT_EQ(d.hourly.size(), 24u);
        EXPECT_EQ(d.hourly[0].time, "2024-05-01T00:00");
        EXPECT_FALSE(d.hasPressureTrend);
    }
    const std::string week = R"({"utc_offset_seconds":0,"current":{"time":"2024-05-01T00:00"},"hourly":)" +
                             hoursFrom("2024-05-01", 200) + "}";
    EXPECT_EQ(WeatherService::parseWeatherResponse(week, loc).hourly.size(), 168u);  // a week at most
    d = parse("2024-05-01T02:00");
    EXPECT_EQ(d.hourly[0].time, "2024-05-01T02:00");
    EXPECT_FALSE(d.hasPressureTrend);
    d = parse("2024-05-01T03:00");
    EXPECT_TRUE(d.hasPressureTrend);
}

TEST(ForecastParseTest, WithoutCurrentTheReplyStartsEverything) {
    GeoLocation loc;
    loc.name = "X";
    const std::string body = R"({"timezone":"Pacific/Honolulu","hourly":)" + hoursFrom("2024-05-01", 30) +
                             R"(,"minutely_15":{"time":["a","b","c","d","e","f","g","h","i","j"],"precipitation":[0.1]},
        "daily":{"time":["2024-04-30","2024-05-01","2024-05-02"],"temperature_2m_max":[11.5,12.5],
                 "temperature_2m_min":[1.5],"weather_code":[3,61,2]}})";
    const WeatherData d = WeatherService::parseWeatherResponse(body, loc);
    EXPECT_EQ(d.time, "");
    EXPECT_EQ(d.temperature + d.windSpeed, kUnknownTemperature + kUnknownAmount);  // no current block
    EXPECT_EQ(d.location.name, "X");
    EXPECT_EQ(d.utcOffsetSeconds, -36000);  // no offset and no present: the zone's now
    ASSERT_EQ(d.hourly.size(), 30u);
    EXPECT_EQ(d.hourly[0].time, "2024-05-01T00:00");
    ASSERT_EQ(d.minutely15.size(), 8u);
    EXPECT_DOUBLE_EQ(d.minutely15[0].precipitation, 0.1);
    EXPECT_EQ(d.minutely15[1].precipitation, kUnknownAmount);
    ASSERT_EQ(d.daily.size(), 2u);  // today is the second entry
    EXPECT_EQ(d.daily[0].date, "2024-05-01");
    EXPECT_DOUBLE_EQ(d.daily[0].temperatureMax, 12.5);
    EXPECT_EQ(d.daily[0].temperatureMin, kUnknownTemperature);  // shorter column
    EXPECT_EQ(d.daily[1].temperatureMax, kUnknownTemperature);
    EXPECT_EQ(d.daily[1].sunrise, "");
    EXPECT_TRUE(d.hasYesterday);
    EXPECT_DOUBLE_EQ(d.yesterdayHigh, 11.5);
    EXPECT_DOUBLE_EQ(d.yesterdayLow, 1.5);
    EXPECT_EQ(d.yesterdayPrecip, -1);
}

TEST(ForecastParseTest, TodayAndYesterdayOnlyByTheirOwnDates) {
    // A null date is no date: no entry is today or yesterday by its place.
    const struct { const char* now; const char* dates; std::vector<std::string> days; bool yesterday; } rows[] = {
        {"2024-05-01T09:45", R"(["2024-05-01","2024-05-02"])", {"2024-05-01", "2024-05-02"}, false},
        {"2024-05-01T09:45", R"(["2024-04-30",null,"2024-05-02"])", {"", "2024-05-02"}, true},
        {"2024-05-01T09:45", R"([null,"2024-05-02"])", {"", "2024-05-02"}, false},  // never from tomorrow
        {"2024-05-01T09:45", R"([null,"2024-05-01","2024-05-02"])", {"2024-05-01", "2024-05-02"}, false},
        {"2024-05-01T09:45", R"(["2024-04-29","2024-05-01"])", {"2024-05-01"}, false},
        {"", R"([null,"2024-05-01","2024-05-02"])", {"", "2024-05-01", "2024-05-02"}, false},
        {"", R"(["2024-05-01"])", {"2024-05-01"}, false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.now) + " " + r.dates);
        const WeatherData d = WeatherService::parseWeatherResponse(
            std::string(R"({"utc_offset_seconds":0,"current":{"time":")") + r.now + R"("},"daily":{"time":)" +
                r.dates + R"(,"temperature_2m_max":[20,21,22]}})",
            GeoLocation{});
        std::vector<std::string> days;
        for (const DailyForecast& day : d.daily) days.push_back(day.date);
        EXPECT_EQ(days, r.days);
        EXPECT_EQ(d.hasYesterday, r.yesterday);
    }
    const WeatherData none = WeatherService::parseWeatherResponse(R"({"utc_offset_seconds":0})", GeoLocation{});
    EXPECT_TRUE(none.hourly.empty());
    EXPECT_TRUE(none.daily.empty());
}

TEST(ForecastParseTest, WithoutAnOffsetTheZonesAtThePresent) {
    const auto offset = [](const std::string& zone, const std::string& now, const std::string& placeZone = "",
                           const std::string& own = "") {
        GeoLocation loc;
        loc.timezone = placeZone;
        const std::string body = "{" + own + R"("timezone":")" + zone + R"(","current":{"time":")" + now + "\"}}";
        return WeatherService::parseWeatherResponse(body, loc).utcOffsetSeconds;
    };
    EXPECT_EQ(offset("America/New_York", "2027-11-07T00:45"), -14400);
    EXPECT_EQ(offset("America/New_York", "2027-11-07T03:00"), -18000);         // after the change back
    EXPECT_EQ(offset("America/New_York", "2027-11-07T00:45", "", R"("utc_offset_seconds":null,)"), -14400);  // none
    EXPECT_EQ(offset("localtime", "2027-07-01T12:00", "Europe/Oslo"), 7200);  // no zone named: the place's own
    EXPECT_THROW(offset("localtime", ""), json::exception);                   // neither: its times cannot be placed
}

// ---- Shared helpers ------------------------------------------------------------

TEST(ServiceHelpersTest, HaversineDistances) {
    EXPECT_EQ(haversineKm(42.3584, -71.0598, 42.3584, -71.0598), 0.0);
    EXPECT_NEAR(haversineKm(0, 0, 0, 180), 12742.0 * 3.14159265358979 / 2, 1e-6);
    EXPECT_NEAR(haversineKm(90, 0, -90, 0), 20015.1, 0.1);
    EXPECT_NEAR(haversineKm(42.3584, -71.0598, 44.6488, -63.5752), 652.0, 5.0);  // Boston to Halifax
}

TEST(ServiceHelpersTest, LocalIsoTimes) {
    const PlaceClock clock = PlaceClock::fixed(7200);
    const auto midnight = std::chrono::system_clock::from_time_t(1714521600 - 7200);  // 2024-05-01 at UTC+2
    EXPECT_EQ(parseIsoTime("2024-05-01", clock), midnight);
    EXPECT_EQ(parseIsoTime("2024-05-01T14:30", clock), midnight + std::chrono::minutes(14 * 60 + 30));
    EXPECT_EQ(parseIsoTime("2024-05-01T14:30:15Z", clock), midnight + std::chrono::seconds(16 * 3600 + 30 * 60 + 15));
    EXPECT_EQ(parseIsoTime("2024-05-01T14", clock), midnight + std::chrono::hours(14));
    const std::chrono::system_clock::time_point zero{};
    for (const char* bad : {"", "2024", "2024-05", "May 1 2024", "T14:00", "99999999999-01-01",
                            "2024-99999999999-01", "-2147483648--2147483648--2147483648"}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(parseIsoTime(bad, clock), zero);
    }
}

TEST(ServiceHelpersTest, FixedNotation) {
    EXPECT_EQ(formatFixed(52.52, 6), "52.520000");
    EXPECT_EQ(formatFixed(-0.127, 6), "-0.127000");
    EXPECT_EQ(formatFixed(42.35843, 4), "42.3584");
    EXPECT_EQ(formatFixed(-71.05977, 2), "-71.06");
}

// ---- Threads ---------------------------------------------------------------------

class ForecastConcurrency : public ReplayTest {};

TEST_F(ForecastConcurrency, ParallelFetchesShareOneCache) {
    WeatherService svc;
    const std::vector<GeoLocation> places = {place("boston"), place("oslo"), place("halifax")};
    std::vector<std::thread> threads;
    std::atomic<int> ok{0};
    for (int i = 0; i < 9; ++i) {
        threads.emplace_back([&, i] {
            const GeoLocation& loc = places[i % 3];
            for (int k = 0; k < 3; ++k) {
                const auto d = svc.fetchWeather(loc);
                if (d && d->location.name == loc.name && d->hourly.size() > 24) ++ok;
                svc.hasFreshCache(loc, 10);
                if (svc.getCached(loc)) ++ok;
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(ok.load(), 9 * 3 * 2);
    EXPECT_EQ(svc.forecastCache.size(), 3u);
    // Threads that miss at once may both fetch; later fetches hit the cache.
    EXPECT_GE(server.count("forecast"), 3u);
    EXPECT_LE(server.count("forecast"), 9u);
}

}  // namespace
}  // namespace nbr
