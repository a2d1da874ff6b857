// The second forecast service's local day and the merged earthquake
// catalogues: the readers' rules, the real replies, and the fetchers against
// the stand-in services.
#include "ReplayEnv.h"
#include "SourceFixtures.h"
#include "service/SourceSupport.h"
#include "service/WeatherService.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <map>
#include <cstdio>
#include <ctime>

namespace nbr {
namespace {

using nlohmann::json;
using replay::Reply;
using test::ReplayTest;

using test::utcSeconds;

// A Locationforecast reply of `n` instants an hour apart from `first`
// ("YYYY-MM-DDTHH"), temperatures from `temps` (5 where it ends).
std::string series(int day, int firstHour, int n, const std::vector<double>& temps = {}) {
    json ts = json::array();
    for (int k = 0; k < n; ++k) {
        const int h = firstHour + k;
        char time[32];
        std::snprintf(time, sizeof time, "2024-05-%02dT%02d:00:00Z", day + h / 24, h % 24);
        const double t = k < static_cast<int>(temps.size()) ? temps[k] : 5.0;
        ts.push_back({{"time", time}, {"data", {{"instant", {{"details", {{"air_temperature", t}}}}}}}});
    }
    return json{{"properties", {{"timeseries", ts}}}}.dump();
}

TEST(MetNorway, LocalDayAcrossOffsets) {
    // 18 instants from the given UTC hour: on which local day they fall.
    const struct {
        int day, hour, offset;
        const char* localDay;
    } cases[] = {
        {2, 3, -18000, "2024-05-01"},  // 03:00 UTC to 20:00 UTC at -5 h: 22:00 on the 1st onwards
        {2, 5, -18000, "2024-05-02"},
        {1, 19, 19800, "2024-05-02"},  // +5:30: 19:00 UTC is 00:30 of the 2nd
        {2, 0, -1830, "2024-05-01"},   // 00:00 UTC is 23:29:30 of the 1st
    };
    for (const auto& c : cases) {
        const std::string body = series(c.day, c.hour, 1) ;
        json one = json::parse(body);
        json& ts = one["properties"]["timeseries"];
        for (int i = 1; i < 18; ++i) ts.push_back(ts[0]);  // 18 samples of that instant
        EXPECT_TRUE(WeatherService::parseMetNorway(one.dump(), c.localDay, PlaceClock::fixed(c.offset)).valid)
            << c.hour << " " << c.offset;
    }

    // 17 samples are too few; 18 give the day's high and low.
    EXPECT_FALSE(WeatherService::parseMetNorway(series(2, 0, 17), "2024-05-02", PlaceClock()).valid);
    std::vector<double> temps(25, 6.0);
    temps[0] = -20.0;  // 23:00 of the day before
    temps[4] = 4.0, temps[15] = 9.5, temps[21] = 7.0;
    const ProviderForecast f = WeatherService::parseMetNorway(series(1, 23, 25, temps), "2024-05-02T00:00", PlaceClock());
    ASSERT_TRUE(f.valid);
    EXPECT_EQ(f.source, "metnorway");
    EXPECT_EQ(f.date, "2024-05-02");
    EXPECT_DOUBLE_EQ(f.temperatureMax, 9.5);
    EXPECT_DOUBLE_EQ(f.temperatureMin, 4.0);
    EXPECT_DOUBLE_EQ(f.precipitationProbability, -1);
    // Times without minutes give nothing.
    std::string noMinutes = series(2, 0, 24);
    for (size_t at; (at = noMinutes.find(":00:00Z")) != std::string::npos;) noMinutes.erase(at, 7);
    EXPECT_FALSE(WeatherService::parseMetNorway(noMinutes, "2024-05-02", PlaceClock()).valid);
}

TEST(Earthquakes, CatalogueRulesAndMerge) {
    const int64_t now = utcSeconds(2024, 3, 10, 12);
    const double lat = 42.3584, lon = -71.0598;
    // USGS: five features, only the first three kept, in reply order.
    json usgs = {{"features", json::array()}};
    for (int i = 0; i < 5; ++i)
        usgs["features"].push_back({{"properties", {{"mag", 3.0 + i}, {"place", "p" + std::to_string(i)},
                                                    {"time", (now - 3600.0 * (i + 1)) * 1000.0}}},
                                    {"geometry", {{"coordinates", {lon, lat + 1.0, 5}}}}});
    usgs["features"][1].erase("geometry");
    usgs["features"][2]["geometry"]["coordinates"] = {lon, -215.68, 5};  // no place on Earth: skipped
    QuakeInfo q = WeatherService::parseQuakes(usgs.dump(), lat, lon, now);
    ASSERT_TRUE(q.valid);
    ASSERT_EQ(q.events.size(), 3u);
    EXPECT_EQ(q.events[0].place, "p0");
    EXPECT_NEAR(q.events[0].distanceKm, 111.2, 0.1);
    EXPECT_DOUBLE_EQ(q.events[1].distanceKm, -1);  // no geometry: unknown
    EXPECT_EQ(q.events[2].place, "p3");
    EXPECT_DOUBLE_EQ(q.events[2].hoursAgo, 4.0);
    usgs["features"][0]["properties"].erase("time");  // no time: not one of the past week
    EXPECT_EQ(WeatherService::parseQuakes(usgs.dump(), lat, lon, now).events[0].place, "p1");
    EXPECT_FALSE(WeatherService::parseQuakes(R"({"features":{}})", lat, lon, now).valid);

    // EMSC: magnitude and distance limits, times without seconds, largest first.
    const double dLat500 = 500.0 / 111.19492664455873;  // 500 km due north
    json emsc = {{"features", json::array()}};
    const auto add = [&](double mag, double qlat, const char* time, const char* region) {
        emsc["features"].push_back({{"properties", {{"mag", mag}, {"lat", qlat}, {"lon", lon}, {"time", time}, {"flynn_region", region}}}});
    };
    add(2.4, lat, "2024-03-10T06:00:00.0Z", "small");
    const auto [edgeLat, edgeLon] = test::pointAtKm(lat, lon, 500.0);
    add(2.5, edgeLat, "2024-03-10T06:00:00.0Z", "edge");
    emsc["features"].back()["properties"]["lon"] = edgeLon;
    add(3.0, lat + dLat500 * 500.5 / 500, "2024-03-10T06:00:00.0Z", "far");
    add(4.4, lat, "2024-03-10T05:50Z", "no seconds");
    add(3.3, lat, "2024-03-10T05", "short");
    add(3.6, lat, "2024-03-10T07:00:00+01:00", "offset");
    add(4.9, lat + 360.0, "2024-03-10T06:00:00Z", "impossible");  // would read as the place itself
    add(2.5, lat, "2024-03-10T06:00:00Z", "");
    emsc["features"].back()["properties"]["flynn_region"] = nullptr;  // kept, unnamed
    add(4.0, lat, "2024-03-10T06:00:00Z", "");
    emsc["features"].back()["properties"]["flynn_region"] = 5;  // another type: skipped
    QuakeInfo e = WeatherService::parseEmscQuakes(emsc.dump(), lat, lon, now);
    ASSERT_EQ(e.events.size(), 4u);
    EXPECT_EQ(e.events[0].place, "no seconds");
    EXPECT_NEAR(e.events[0].hoursAgo, 6.0 + 10.0 / 60, 1e-9);
    EXPECT_EQ(e.events[1].place, "offset");
    EXPECT_DOUBLE_EQ(e.events[1].hoursAgo, 6.0);
    EXPECT_EQ(e.events[2].place, "edge");
    EXPECT_EQ(e.events[3].place, "");

    // Merge: the EMSC M4.4 ten minutes after the USGS M4.1 is the same
    // event; an M4.7 then is not (0.6 apart); at most five, largest first.
    QuakeInfo target;
    target.valid = true;
    target.events = {{4.1, 10, "usgs", 6.0}, {3.0, 20, "a", 1}, {2.9, 20, "b", 2}};
    QuakeInfo other;
    other.valid = true;
    // "emsc again" repeats "emsc other", added earlier in this merge.
    other.events = {{4.4, 11, "emsc same", 6.0 + 10.0 / 60}, {4.7, 11, "emsc other", 6.0}, {2.6, 1, "c", 50},
                    {4.9, 11, "emsc again", 6.1}, {2.5, 1, "d", 60}};
    WeatherService::mergeQuakes(target, other);
    ASSERT_EQ(target.events.size(), 5u);
    EXPECT_EQ(target.events[0].place, "emsc other");
    EXPECT_EQ(target.events[1].place, "usgs");
    EXPECT_EQ(target.events[4].place, "c");
    QuakeInfo none;  // a block that is not valid adds nothing
    WeatherService::mergeQuakes(none, QuakeInfo{});
    EXPECT_FALSE(none.valid);

    // The start date is the UTC day a week back, whatever the local zone.
    test::TimeZone zone("XST-5:30");
    EXPECT_EQ(WeatherService::quakeStartDate(utcSeconds(2024, 3, 10, 0, 30)), "2024-03-03");
    EXPECT_EQ(WeatherService::quakeStartDate(utcSeconds(2024, 3, 10, 23, 59)), "2024-03-03");
    EXPECT_EQ(WeatherService::quakeStartDate(utcSeconds(2024, 3, 7, 0, 0)), "2024-02-29");
}

TEST(MetNoQuakesReal, RealRepliesRead) {
    const std::string dir = test::realFixturesDir();
    const std::string metno = test::readFile(dir + "/metno/locationforecast_compact_60N_11E_2024-02-04.json");
    const std::string japan = test::readFile(dir + "/usgs/fdsn_event_query_japan_2020-2025_generated-2025-01-28.geojson");
    if (metno.empty() || japan.empty()) GTEST_SKIP() << "real replies not present";
    // Hourly samples cover the whole next day in Oslo (UTC+1).
    const ProviderForecast f = WeatherService::parseMetNorway(metno, "2024-02-05", PlaceClock::fixed(3600));
    ASSERT_TRUE(f.valid);
    EXPECT_LT(f.temperatureMin, f.temperatureMax);
    // Ages from the first event's own time, distance from its own point.
    const QuakeInfo q = WeatherService::parseQuakes(japan, 37.0, 140.0, 1735326605808 / 1000 + 7200);
    ASSERT_TRUE(q.valid);
    ASSERT_EQ(q.events.size(), 3u);
    EXPECT_EQ(q.events[0].place, "50 km E of Tomioka, Japan");
    EXPECT_NEAR(q.events[0].hoursAgo, 2.0, 0.001);
    EXPECT_NEAR(q.events[0].distanceKm, 150, 50);
    json nulled = json::parse(japan);
    nulled["features"][0]["properties"]["place"] = nullptr;  // kept, unnamed
    EXPECT_EQ(WeatherService::parseQuakes(nulled.dump(), 37.0, 140.0, 1735326605808 / 1000 + 7200).events[0].place, "");
    nulled["features"][0]["properties"]["place"] = 5;  // another type: skipped
    const QuakeInfo skipped = WeatherService::parseQuakes(nulled.dump(), 37.0, 140.0, 1735326605808 / 1000 + 7200);
    ASSERT_EQ(skipped.events.size(), 3u);
    EXPECT_EQ(skipped.events[0].place, q.events[1].place);
}

class MetNoQuakesFetch : public ReplayTest {};

TEST_F(MetNoQuakesFetch, EveryPlaceGetsTomorrowAndMergedQuakes) {
    WeatherService service;
    for (const char* id : {"boston", "oslo", "halifax"}) {
        const GeoLocation where = place(id);
        auto data = service.fetchWeather(where);
        ASSERT_TRUE(data.has_value()) << id;
        service.fetchMetNorway(where, *data);
        ASSERT_TRUE(data->metNorway.valid) << id;
        EXPECT_EQ(data->metNorway.date, data->daily[1].date.substr(0, 10));
        // The generated swing is 5 degrees either side of the place's base.
        EXPECT_NEAR(data->metNorway.temperatureMax - data->metNorway.temperatureMin, 10.0, 0.6) << id;

        service.fetchQuakes(where, *data);
        ASSERT_TRUE(data->quakes.valid);
        // USGS 4.1, 3.4, 2.9 and EMSC's own 3.8; its repeat of the 4.1, the
        // M2.4 and the far M5.2 are left out.
        ASSERT_EQ(data->quakes.events.size(), 4u) << id;
        EXPECT_EQ(data->quakes.events[0].place, "Gulf of Maine");
        EXPECT_EQ(data->quakes.events[1].place, "REGION TO THE SOUTHWEST");
        EXPECT_NEAR(data->quakes.events[1].hoursAgo, 75.25, 0.02);
        EXPECT_NEAR(data->quakes.events[0].hoursAgo, 6.0, 0.01);
    }
    EXPECT_EQ(server.requests()[server.requests().size() - 2].param("latitude"), "44.6488");
    // Both catalogues: within 500 km, from M2.5, over the week back.
    const std::string start = WeatherService::quakeStartDate(source::unixNow());
    const std::map<std::string, std::map<std::string, std::string>> asked = {
        {"usgsquake",
         {{"maxradiuskm", "500"}, {"minmagnitude", "2.5"}, {"orderby", "magnitude"}, {"limit", "5"}, {"starttime", start}}},
        {"emsc", {{"maxradius", "4.5"}, {"minmag", "2.5"}, {"orderby", "time"}, {"limit", "10"}, {"start", start}}}};
    for (const auto& r : server.requests()) {
        if (!asked.count(r.service)) continue;
        for (const auto& [key, value] : asked.at(r.service)) EXPECT_EQ(r.param(key), value) << r.target;
    }

    // Within 30 minutes the same day comes from the cache; quakes are asked every time.
    const GeoLocation oslo = place("oslo");
    auto again = service.fetchWeather(oslo);
    service.fetchMetNorway(oslo, *again);
    service.fetchQuakes(oslo, *again);
    EXPECT_TRUE(again->metNorway.valid);
    EXPECT_EQ(server.count("metno"), 3u);
    // Kept 30 minutes, and only for the day it holds.
    WeatherService::MetNoCacheEntry& kept = service.metNoCache[oslo.cacheKey()];
    for (const int age : {1799, 1801}) {
        kept.stamp = test::secondsAgo(age);
        service.fetchMetNorway(oslo, *again);
    }
    EXPECT_EQ(server.count("metno"), 4u);
    kept.forecast.date = "2000-01-01";
    service.fetchMetNorway(oslo, *again);
    EXPECT_EQ(server.count("metno"), 5u);
    EXPECT_EQ(server.count("usgsquake"), 4u);
    EXPECT_EQ(server.count("emsc"), 4u);
}

TEST_F(MetNoQuakesFetch, FailedRepliesLeaveOrReplaceBlocksAsExpected) {
    WeatherService service;
    const GeoLocation boston = place("boston");
    auto data = service.fetchWeather(boston);
    ASSERT_TRUE(data.has_value());

    // One forecast day only: nothing asked.
    WeatherData oneDay = *data;
    oneDay.daily.resize(1);
    service.fetchMetNorway(boston, oneDay);
    EXPECT_EQ(server.count("metno"), 0u);

    // A malformed reply replaces the block with an invalid one and is not kept.
    server.setReply("metno", "/weatherapi/locationforecast/2.0/compact", Reply::json(R"({"properties":{"timeseries":[)"));
    data->metNorway.valid = true;
    service.fetchMetNorway(boston, *data);
    EXPECT_FALSE(data->metNorway.valid);
    EXPECT_TRUE(service.metNoCache.empty());

    // USGS failing, EMSC answering: its events alone, valid.
    server.setReply("usgsquake", "/fdsnws/event/1/query", Reply::withStatus(500));
    service.fetchQuakes(boston, *data);
    ASSERT_TRUE(data->quakes.valid);
    ASSERT_EQ(data->quakes.events.size(), 2u);
    EXPECT_EQ(data->quakes.events[0].place, "GULF OF MAINE");
    // USGS as HTML: replaced by an invalid block, then EMSC HTML leaves it so.
    server.setReply("usgsquake", "/fdsnws/event/1/query", Reply::html());
    server.setReply("emsc", "/fdsnws/event/1/query", Reply::html());
    service.fetchQuakes(boston, *data);
    EXPECT_FALSE(data->quakes.valid);
    EXPECT_TRUE(data->quakes.events.empty());
}

}  // namespace
}  // namespace nbr
