// K index, aurora outlook and solar activity: the readers' rules, the real
// replies, and the fetchers against the stand-in services with their caches.
#include "ReplayEnv.h"
#include "service/WeatherService.h"

#include <nlohmann/json.hpp>

namespace nbr {
namespace {

using nlohmann::json;
using replay::Reply;
using test::utcSeconds;

TEST(SpaceWeatherReaders, KIndexShapesGiveTheLastValueOrNone) {
    const std::pair<const char*, double> cases[] = {
        {R"([["time_tag","Kp"],["2024-05-01 00:00","1.67"],["2024-05-01 03:00","3.33x"]])", 3.33},
        {R"([["time_tag","Kp"]])", -1},                              // header alone
        {R"([["time_tag","Kp"],["2024-05-01 03:00",3.33]])", -1},    // number, not text
        {R"([["time_tag","Kp"],["2024-05-01 03:00","-1"]])", -1},
        {R"([["time_tag","Kp"],["2024-05-01 03:00","inf"]])", -1},
        // The product's other form, rows of objects, is not read.
        {R"([{"time_tag":"2024-05-01T00:00:00","Kp":1.67},{"time_tag":"2024-05-01T03:00:00","Kp":3.33}])", -1},
    };
    for (const auto& [body, kp] : cases) EXPECT_DOUBLE_EQ(WeatherService::parseKpTable(body), kp) << body;
    EXPECT_DOUBLE_EQ(WeatherService::parseGfzKp(R"({"Kp":[1.333,2.667]})"), 2.667);
    EXPECT_DOUBLE_EQ(WeatherService::parseGfzKp(R"({"Kp":[1.333,null]})"), -1);
    test::TimeZone zone("XST-5:30");  // midnight UTC of yesterday, whatever the zone
    EXPECT_EQ(WeatherService::kpFallbackStart(utcSeconds(2024, 3, 1, 0, 10)), "2024-02-29T00:00:00Z");
    EXPECT_EQ(WeatherService::kpFallbackStart(utcSeconds(2024, 3, 1, 23, 59)), "2024-02-29T00:00:00Z");
}

TEST(SpaceWeatherReaders, AuroraCellsAndForecastRows) {
    // Each cell's probability names it: longitude * 1000 + latitude + 90.
    json coords = json::array();
    for (int lon = 0; lon < 360; ++lon)
        for (int lat = -90; lat <= 90; ++lat) coords.push_back({lon, lat, lon * 1000 + lat + 90});
    const std::string grid = json{{"coordinates", coords}}.dump();
    const double cells[][3] = {{42.36, -71.06, 289132}, {0, -0.3, 90},     {0, 179.6, 180090},
                               {90.4, 10, 10180},       {-91, 10, 10000}, {0.5, 0.5, 1091}};
    for (const auto& c : cells) EXPECT_DOUBLE_EQ(WeatherService::parseAuroraProb(grid, c[0], c[1]), c[2]) << c[0] << "," << c[1];
    std::reverse(coords.begin(), coords.end());  // another order: found by the scan
    EXPECT_DOUBLE_EQ(WeatherService::parseAuroraProb(json{{"coordinates", coords}}.dump(), 42.36, -71.06), 289132);

    json rows = {{{"time_tag", "2025-01-12T09:00:00"}, {"kp", 8.0}, {"observed", "estimated"}},  // before now
                 {{"time_tag", "2025-01-12T15:00:00"}, {"kp", 7.0}, {"observed", "observed"}},
                 {{"time_tag", "2025-01-12T15:00:00"}, {"kp", 7.5}, {"observed", 1}},
                 {{"time_tag", "2025-01-12T12:00:00"}, {"kp", 2.0}}};
    for (int i = 0; i < 20; ++i)
        rows.push_back({{"time_tag", "2025-01-13T" + std::to_string(10 + i)}, {"kp", i < 15 ? 3.0 : 6.0}});
    // 12:00 and 15 rows of 3.0 are the 16 counted; the 6.0 rows come later.
    EXPECT_DOUBLE_EQ(WeatherService::parseKpForecastMax(rows.dump(), "2025-01-12T12:00:00"), 3.0);
    rows.erase(rows.begin() + 3, rows.end());
    EXPECT_DOUBLE_EQ(WeatherService::parseKpForecastMax(rows.dump(), "2025-01-12T12:00:00"), -1);
}

TEST(SpaceWeatherReaders, FlareAgeAcrossMidnightAndFlux) {
    test::TimeZone zone("EST5EDT");  // the local zone changes nothing
    const struct {
        const char* body;
        const char* cls;
        double hours;
    } cases[] = {
        // The last strong flare wins over a later C flare.
        {R"([{"max_class":"M1.2","max_time":"2024-03-10T23:00:00Z"},{"max_class":"C9.9","max_time":"2024-03-11T00:10Z"}])",
         "M1.2", 1.5},
        {R"([{"max_class":"","current_class":"X1.1","max_time":"2024-03-10T22:30:00Z"}])", "X1.1", 2.0},
        {R"([{"max_class":"M5.0","max_time":"","begin_time":"2024-03-10T11:05:00Z"}])", "M5.0", 13.0 + 25.0 / 60},
        {R"([{"max_class":"M5.0","time_tag":"2024-03-10"}])", "M5.0", 24.5},
        {R"([{"max_class":"M5.0","max_time":"2024-03-10T19:30:00-05:00"}])", "M5.0", 0.0},
        {R"([{"max_class":"M5.0","max_time":"2024-03"}])", "M5.0", -1},
        {R"([{"max_class":"M5.0","max_time":"2024-03-10 23:00"}])", "M5.0", 1.5},
        {R"([{"max_class":"M5.0","max_time":"2024-03-99999999999T23:00Z"}])", "M5.0", -1},
        {R"([{"max_class":"B1.0"},{"max_class":7},"text",null])", "", -1},
    };
    for (const auto& c : cases) {
        SolarActivity s;
        WeatherService::parseSolarFlares(c.body, utcSeconds(2024, 3, 11, 0, 30), s);
        EXPECT_EQ(s.flareClass, c.cls) << c.body;
        EXPECT_NEAR(s.flareHoursAgo, c.hours, 1e-9) << c.body;
    }
    EXPECT_DOUBLE_EQ(WeatherService::parseRadioFlux(R"({"Flux":"152"})"), 152);
    EXPECT_DOUBLE_EQ(WeatherService::parseRadioFlux(R"({"Flux":"0"})"), -1);
}

TEST(SpaceWeatherReaders, RealReplies) {
    const std::string dir = test::realFixturesDir() + "/swpc/";
    const std::string kp1m = test::readFile(dir + "planetary_k_index_1m_2026-07-09.json");
    const std::string ovation = test::readFile(dir + "ovation_aurora_latest_2025-01-12.json");
    const std::string xrays = test::readFile(dir + "xrays-6-hour_2023-05-29.json");
    if (kp1m.empty() || ovation.empty() || xrays.empty()) GTEST_SKIP() << "real replies not present";
    // Rows of objects whose "kp" is a text such as "1M": no value, never a misread number.
    EXPECT_DOUBLE_EQ(WeatherService::parseKpTable(kp1m), -1);
    EXPECT_DOUBLE_EQ(WeatherService::parseKpForecastMax(kp1m, "2026-07-09T00:00:00"), -1);
    const json coords = json::parse(ovation)["coordinates"];
    ASSERT_EQ(coords.size(), 360u * 181u);
    EXPECT_DOUBLE_EQ(WeatherService::parseAuroraProb(ovation, 69.65, 18.96), coords[19 * 181 + 160][2].get<double>());
    SolarActivity s;  // X-ray fluxes hold no flare classes
    WeatherService::parseSolarFlares(xrays, utcSeconds(2023, 5, 29, 18), s);
    EXPECT_FALSE(s.valid);
}

class SpaceWeatherFetch : public test::ReplayTest {};

TEST_F(SpaceWeatherFetch, BlocksFilledAndSharedCachesKept) {
    WeatherService service;
    WeatherData boston, oslo;
    EXPECT_DOUBLE_EQ(service.fetchKpIndex(), 2.67);
    service.fetchAurora(place("boston"), boston);
    service.fetchSolarActivity(boston);
    EXPECT_TRUE(boston.hasAurora);
    EXPECT_DOUBLE_EQ(boston.auroraProbability, 0);  // 42 N lies outside the generated oval
    EXPECT_DOUBLE_EQ(boston.kpForecastMax, 5.33);   // observed and past rows do not count
    EXPECT_EQ(boston.solar.flareClass, "M2.4");
    EXPECT_NEAR(boston.solar.flareHoursAgo, 29.0, 0.05);
    EXPECT_DOUBLE_EQ(boston.solar.radioFlux, 152);

    // Another place within the caches' ages: only the uncached flares and flux are asked again.
    service.fetchAurora(place("oslo"), oslo);
    service.fetchSolarActivity(oslo);
    EXPECT_DOUBLE_EQ(service.fetchKpIndex(), 2.67);
    EXPECT_GT(oslo.auroraProbability, 0);
    EXPECT_DOUBLE_EQ(oslo.kpForecastMax, 5.33);
    for (const char* path : {"/products/noaa-planetary-k-index.json", "/json/ovation_aurora_latest.json",
                             "/products/noaa-planetary-k-index-forecast.json"})
        EXPECT_EQ(server.count("swpc", path), 1u) << path;
    EXPECT_EQ(server.count("swpc", "/json/goes/primary/xray-flares-7-day.json"), 2u);
    EXPECT_EQ(server.count("gfz"), 0u);

    // Each kept value is reused a second short of its age and asked again a
    // second past it.
    const struct {
        std::chrono::steady_clock::time_point* stamp;
        int age;
        const char* path;
    } caches[] = {{&service.kpStamp, 900, "/products/noaa-planetary-k-index.json"},
                  {&service.ovationStamp, 1200, "/json/ovation_aurora_latest.json"},
                  {&service.kpForecastStamp, 3600, "/products/noaa-planetary-k-index-forecast.json"}};
    for (const auto& c : caches) {
        for (const int age : {c.age - 1, c.age + 1}) {
            *c.stamp = test::secondsAgo(age);
            service.fetchKpIndex();
            service.fetchAurora(place("oslo"), oslo);
        }
        EXPECT_EQ(server.count("swpc", c.path), 2u) << c.path;
    }
}

TEST_F(SpaceWeatherFetch, FallbackAndFailuresKeepNothing) {
    WeatherService service;
    // The table in its rows-of-objects form: the GFZ service answers.
    server.setReply("swpc", "/products/noaa-planetary-k-index.json", Reply::json(R"([{"Kp":1.67},{"Kp":2.0}])"));
    EXPECT_DOUBLE_EQ(service.fetchKpIndex(), 4.333);
    EXPECT_EQ(server.requests().back().param("end"), "2100-01-01T00:00:00Z");

    // Everything failing: nothing kept, asked again, the record left unset.
    WeatherService fresh;
    server.clearRequests();
    server.setReply("swpc", "/products/noaa-planetary-k-index.json", Reply::html());
    server.setReply("gfz", "/app/json/", Reply::json(R"({"Kp":[2.0,null]})"));
    server.setReply("swpc", "/json/ovation_aurora_latest.json", Reply::html());
    server.setReply("swpc", "/products/noaa-planetary-k-index-forecast.json", Reply::json("[]"));
    server.setReply("swpc", "/json/goes/primary/xray-flares-7-day.json", Reply::json("{\"truncated\": [1, 2"));
    server.setReply("swpc", "/products/summary/10cm-flux.json", Reply::withStatus(503));
    WeatherData data;
    for (int i = 0; i < 2; ++i) {
        EXPECT_LT(fresh.fetchKpIndex(), 0);
        fresh.fetchAurora(place("boston"), data);
    }
    fresh.fetchSolarActivity(data);
    EXPECT_FALSE(data.hasAurora);
    EXPECT_DOUBLE_EQ(data.kpForecastMax, -1);
    EXPECT_FALSE(data.solar.valid);
    // A portal's page is not kept as the grid.
    EXPECT_EQ(server.count("swpc", "/json/ovation_aurora_latest.json"), 2u);
    EXPECT_EQ(server.count("swpc", "/products/noaa-planetary-k-index.json"), 2u);

    // The flux alone, without a flare, makes the solar block.
    server.setReply("swpc", "/products/summary/10cm-flux.json", Reply::json(R"({"Flux":"152"})"));
    fresh.fetchSolarActivity(data);
    EXPECT_TRUE(data.solar.valid);
}

}  // namespace
}  // namespace nbr
