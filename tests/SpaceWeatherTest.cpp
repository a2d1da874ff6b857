// K index, aurora outlook and solar activity: the readers' rules, the real
// replies, and the fetchers against the stand-in services with their caches.
#include "ReplayEnv.h"
#include "service/WeatherService.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <ctime>

namespace nbr {
namespace {

using nlohmann::json;
using replay::Reply;
using test::ReplayTest;

const std::string kReal = test::realFixturesDir();

// Sets TZ for the test's lifetime.
class TimeZone {
public:
    explicit TimeZone(const char* tz) {
        if (const char* old = std::getenv("TZ")) saved_ = old, had_ = true;
        setenv("TZ", tz, 1);
        tzset();
    }
    ~TimeZone() {
        if (had_) setenv("TZ", saved_.c_str(), 1);
        else unsetenv("TZ");
        tzset();
    }

private:
    std::string saved_;
    bool had_ = false;
};

int64_t utc(int y, int mo, int d, int h = 0, int mi = 0) {
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    return static_cast<int64_t>(timegm(&tm));
}

TEST(KpIndex, TableShapesGiveTheLastValueOrNone) {
    struct Case {
        const char* body;
        double kp;
    };
    const Case cases[] = {
        {R"([["time_tag","Kp"],["2024-05-01 00:00","1.67"],["2024-05-01 03:00","3.33"]])", 3.33},
        {R"([["time_tag","Kp","a"],["2024-05-01 03:00","2.67abc","7"]])", 2.67},  // leading number
        {R"([["time_tag","Kp"]])", -1},                                            // header alone
        {R"([["time_tag","Kp"],["2024-05-01 03:00",3.33]])", -1},                  // number, not text
        {R"([["time_tag","Kp"],["2024-05-01 03:00","-1"]])", -1},
        {R"([["time_tag","Kp"],["2024-05-01 03:00","n/a"]])", -1},
        {R"([["time_tag","Kp"],["2024-05-01 03:00","inf"]])", -1},
        // The product's other form: rows of objects are not read.
        {R"([{"time_tag":"2024-05-01T00:00:00","Kp":1.67},{"time_tag":"2024-05-01T03:00:00","Kp":3.33}])", -1},
        {"<!DOCTYPE html><html></html>", -1},
        {"", -1},
    };
    for (const Case& c : cases) EXPECT_DOUBLE_EQ(WeatherService::parseKpTable(c.body), c.kp) << c.body;

    EXPECT_DOUBLE_EQ(WeatherService::parseGfzKp(R"({"datetime":["a","b"],"Kp":[1.333,2.667]})"), 2.667);
    EXPECT_DOUBLE_EQ(WeatherService::parseGfzKp(R"({"Kp":[1.333,null]})"), -1);
    EXPECT_DOUBLE_EQ(WeatherService::parseGfzKp(R"({"Kp":[]})"), -1);
    EXPECT_DOUBLE_EQ(WeatherService::parseGfzKp(R"({"Kp":"2"})"), -1);
    EXPECT_DOUBLE_EQ(WeatherService::parseGfzKp(R"([1,2])"), -1);

    // Midnight UTC of yesterday, whatever the machine's zone.
    TimeZone zone("XST-5:30");
    EXPECT_EQ(WeatherService::kpFallbackStart(utc(2024, 3, 1, 0, 10)), "2024-02-29T00:00:00Z");
    EXPECT_EQ(WeatherService::kpFallbackStart(utc(2024, 3, 1, 23, 59)), "2024-02-29T00:00:00Z");
    EXPECT_EQ(WeatherService::kpFallbackStart(utc(2025, 1, 1, 0, 0)), "2024-12-31T00:00:00Z");
}

TEST(AuroraOutlook, GridCellsAndForecastRows) {
    // A small grid in the usual layout, probability = longitude + latitude
    // offset so that every cell is recognisable.
    json coords = json::array();
    for (int lon = 0; lon < 360; ++lon)
        for (int lat = -90; lat <= 90; ++lat) coords.push_back({lon, lat, lon * 1000 + lat + 90});
    const std::string grid = json{{"coordinates", coords}}.dump();
    struct Cell {
        double lat, lon;
        double expected;
    };
    const Cell cells[] = {
        {42.36, -71.06, 289 * 1000 + 132},  // Boston: 288.94 -> 289
        {0, -0.3, 0 * 1000 + 90},           // 359.7 -> 360 -> 0
        {0, 179.6, 180 * 1000 + 90},
        {90.4, 10, 10 * 1000 + 180},
        {-91, 10, 10 * 1000 + 0},
        {0.5, 0.5, 1 * 1000 + 91},  // halves away from zero
        {0, 359.5, 0 * 1000 + 90},
    };
    for (const Cell& c : cells)
        EXPECT_DOUBLE_EQ(WeatherService::parseAuroraProb(grid, c.lat, c.lon), c.expected) << c.lat << "," << c.lon;

    // Another order: found by the scan.
    json reversed = coords;
    std::reverse(reversed.begin(), reversed.end());
    EXPECT_DOUBLE_EQ(WeatherService::parseAuroraProb(json{{"coordinates", reversed}}.dump(), 42.36, -71.06),
                     289 * 1000 + 132);
    EXPECT_DOUBLE_EQ(WeatherService::parseAuroraProb(R"({"coordinates":[[0,0,"5"]]})", 0, 0), -1);
    EXPECT_DOUBLE_EQ(WeatherService::parseAuroraProb(R"({"coordinates":{}})", 0, 0), -1);
    EXPECT_DOUBLE_EQ(WeatherService::parseAuroraProb(R"({"other":[]})", 0, 0), -1);
    EXPECT_DOUBLE_EQ(WeatherService::parseAuroraProb(grid, NAN, 0), -1);

    const std::string now = "2025-01-12T12:00:00";
    json rows = json::array();
    rows.push_back({{"time_tag", "2025-01-12T09:00:00"}, {"kp", 8.0}, {"observed", "estimated"}});  // before now
    rows.push_back({{"time_tag", "2025-01-12T15:00:00"}, {"kp", 7.0}, {"observed", "observed"}});
    rows.push_back(json::array({"2025-01-12T15:00:00", "9.0", "predicted"}));  // old row form: skipped
    rows.push_back({{"time_tag", "2025-01-12T12:00:00"}, {"kp", 2.0}, {"observed", "predicted"}});
    for (int i = 0; i < 20; ++i)
        rows.push_back({{"time_tag", "2025-01-13T" + std::to_string(10 + i) + ":00:00"}, {"kp", i < 15 ? 3.0 : 6.0},
                        {"observed", "predicted"}});
    // Rows counted: 12:00 (2.0), then 15 of 3.0 make 16; the 6.0 rows come later.
    EXPECT_DOUBLE_EQ(WeatherService::parseKpForecastMax(rows.dump(), now), 3.0);
    EXPECT_DOUBLE_EQ(WeatherService::parseKpForecastMax(
                         R"([{"time_tag":"2025-01-12T03:00:00","kp":5,"observed":"observed"}])", now),
                     -1);
    EXPECT_DOUBLE_EQ(WeatherService::parseKpForecastMax(
                         R"([{"time_tag":"2025-01-13T03:00:00","kp":5,"observed":1}])", now),
                     -1);
    EXPECT_DOUBLE_EQ(WeatherService::parseKpForecastMax(
                         R"([{"time_tag":"2025-01-13T03:00:00","kp":4.67}])", now),
                     4.67);
}

TEST(SolarActivity, StrongestRecentFlareAndFlux) {
    TimeZone zone("EST5EDT");  // a local zone must change nothing
    const int64_t now = utc(2024, 3, 11, 0, 30);  // just after midnight UTC
    struct Case {
        const char* body;
        const char* cls;
        double hours;
    };
    const Case cases[] = {
        // The last strong flare wins over a later C flare.
        {R"([{"max_class":"X1.0","max_time":"2024-03-09T12:00:00Z"},{"max_class":"M1.2","max_time":"2024-03-10T23:00:00Z"},
            {"max_class":"C9.9","max_time":"2024-03-11T00:10:00Z"}])", "M1.2", 1.5},
        {R"([{"max_class":"","current_class":"X1.1","max_time":"2024-03-10T22:30:00Z"}])", "X1.1", 2.0},
        {R"([{"max_class":"M5.0","max_time":"","begin_time":"2024-03-10T11:05:00Z"}])", "M5.0", 13.0 + 25.0 / 60},
        {R"([{"max_class":"M5.0","max_time":"","begin_time":"","time_tag":"2024-03-10"}])", "M5.0", 24.5},
        {R"([{"max_class":"M5.0","max_time":"2024-03-10T19:30:00-05:00"}])", "M5.0", 0.0},  // numeric offset
        {R"([{"max_class":"M5.0","max_time":"2024-03"}])", "M5.0", -1},
        {R"([{"max_class":"M5.0","max_time":"2024-03-11T02:30:00Z"}])", "M5.0", -2.0},  // in the future
        {R"([{"max_class":"M5.0","max_time":"1969-12-31T00:00:00Z"}])", "M5.0", -1},
        {R"([{"max_class":"B1.0"},{"max_class":7},"text",null])", "", -1},
    };
    for (const Case& c : cases) {
        SolarActivity s;
        WeatherService::parseSolarFlares(c.body, now, s);
        EXPECT_EQ(s.flareClass, c.cls) << c.body;
        EXPECT_NEAR(s.flareHoursAgo, c.hours, 1e-9) << c.body;
        EXPECT_EQ(s.valid, *c.cls != 0) << c.body;
    }
    EXPECT_DOUBLE_EQ(WeatherService::parseRadioFlux(R"({"Flux":"152","TimeStamp":"x"})"), 152);
    EXPECT_DOUBLE_EQ(WeatherService::parseRadioFlux(R"({"Flux":148.5})"), 148.5);
    EXPECT_DOUBLE_EQ(WeatherService::parseRadioFlux(R"({"Flux":"0"})"), -1);
    EXPECT_DOUBLE_EQ(WeatherService::parseRadioFlux(R"({"Flux":-3})"), -1);
    EXPECT_DOUBLE_EQ(WeatherService::parseRadioFlux(R"({"Flux":null})"), -1);
    EXPECT_DOUBLE_EQ(WeatherService::parseRadioFlux(R"([{"Flux":"152"}])"), -1);
}

TEST(SpaceWeatherReal, RealRepliesRead) {
    const std::string kp1m = test::readFile(kReal + "/swpc/planetary_k_index_1m_2026-07-09.json");
    const std::string ovation = test::readFile(kReal + "/swpc/ovation_aurora_latest_2025-01-12.json");
    const std::string xrays = test::readFile(kReal + "/swpc/xrays-6-hour_2023-05-29.json");
    if (kp1m.empty() || ovation.empty() || xrays.empty()) GTEST_SKIP() << "real replies not present";
    // Rows of objects whose "kp" is a text such as "1M": not the table form,
    // so no value (the fetcher falls back), never a misread number.
    EXPECT_DOUBLE_EQ(WeatherService::parseKpTable(kp1m), -1);
    EXPECT_DOUBLE_EQ(WeatherService::parseKpForecastMax(kp1m, "2026-07-09T00:00:00"), -1);
    // The real grid: direct index and scan agree with the file's own entries.
    const json grid = json::parse(ovation);
    const auto& coords = grid["coordinates"];
    ASSERT_EQ(coords.size(), 360u * 181u);
    const json& tromso = coords[19 * 181 + (70 + 90)];
    EXPECT_DOUBLE_EQ(WeatherService::parseAuroraProb(ovation, 69.65, 18.96), tromso[2].get<double>());
    const json& boston = coords[289 * 181 + (42 + 90)];
    EXPECT_DOUBLE_EQ(WeatherService::parseAuroraProb(ovation, 42.36, -71.06), boston[2].get<double>());
    // X-ray fluxes are not a flare list: no flare found, nothing thrown.
    SolarActivity s;
    WeatherService::parseSolarFlares(xrays, utc(2023, 5, 29, 18), s);
    EXPECT_FALSE(s.valid);
}

class SpaceWeatherFetch : public ReplayTest {};

TEST_F(SpaceWeatherFetch, BostonBlocksFilledAndCachesKept) {
    WeatherService service;
    WeatherData data;
    const GeoLocation boston = place("boston");

    EXPECT_DOUBLE_EQ(service.fetchKpIndex(), 2.67);
    service.fetchAurora(boston, data);
    service.fetchSolarActivity(data);

    EXPECT_TRUE(data.hasAurora);
    // The generated oval: 42 degrees is 25 from 67, outside it.
    EXPECT_DOUBLE_EQ(data.auroraProbability, 0);
    EXPECT_DOUBLE_EQ(data.kpForecastMax, 5.33);  // the observed 4.33 and past rows do not count
    EXPECT_TRUE(data.solar.valid);
    EXPECT_EQ(data.solar.flareClass, "M2.4");
    EXPECT_NEAR(data.solar.flareHoursAgo, 29.0, 0.05);
    EXPECT_DOUBLE_EQ(data.solar.radioFlux, 152);
    EXPECT_EQ(server.count("gfz"), 0u);

    // Another place within the caches' ages: no new K index, grid or forecast.
    WeatherData oslo;
    service.fetchAurora(place("oslo"), oslo);
    EXPECT_DOUBLE_EQ(service.fetchKpIndex(), 2.67);
    EXPECT_TRUE(oslo.hasAurora);
    EXPECT_GT(oslo.auroraProbability, 0);  // 60 degrees north lies in the oval
    EXPECT_DOUBLE_EQ(oslo.kpForecastMax, 5.33);
    EXPECT_EQ(server.count("swpc", "/products/noaa-planetary-k-index.json"), 1u);
    EXPECT_EQ(server.count("swpc", "/json/ovation_aurora_latest.json"), 1u);
    EXPECT_EQ(server.count("swpc", "/products/noaa-planetary-k-index-forecast.json"), 1u);

    // The flare list and the flux have no cache.
    service.fetchSolarActivity(oslo);
    EXPECT_EQ(server.count("swpc", "/json/goes/primary/xray-flares-7-day.json"), 2u);
}

TEST_F(SpaceWeatherFetch, KpFallsBackAndFailuresAreNotKept) {
    WeatherService service;
    // The table in its rows-of-objects form: the GFZ service answers.
    server.setReply("swpc", "/products/noaa-planetary-k-index.json",
                    Reply::json(R"([{"time_tag":"2024-05-01T00:00:00","Kp":1.67,"a_running":6}])"));
    EXPECT_DOUBLE_EQ(service.fetchKpIndex(), 4.333);
    ASSERT_EQ(server.count("gfz"), 1u);
    const replay::Request gfz = server.requests().back();
    EXPECT_EQ(gfz.param("end"), "2100-01-01T00:00:00Z");
    EXPECT_EQ(gfz.param("start").size(), 20u);

    // Both failing: negative, nothing kept, the next call asks again.
    WeatherService fresh;
    server.clearRequests();
    server.setReply("swpc", "/products/noaa-planetary-k-index.json", Reply::html());
    server.setReply("gfz", "/app/json/", Reply::json(R"({"Kp":[2.0,null]})"));
    EXPECT_LT(fresh.fetchKpIndex(), 0);
    EXPECT_LT(fresh.fetchKpIndex(), 0);
    EXPECT_EQ(server.count("swpc"), 2u);
    EXPECT_DOUBLE_EQ(fresh.kpValue, -1);
}

TEST_F(SpaceWeatherFetch, UnreadableGridIsNotKeptAndRecordStaysUnset) {
    WeatherService service;
    server.setReply("swpc", "/json/ovation_aurora_latest.json", Reply::html());
    server.setReply("swpc", "/products/noaa-planetary-k-index-forecast.json", Reply::json("[]"));
    server.setReply("swpc", "/json/goes/primary/xray-flares-7-day.json", Reply::json("{\"truncated\": [1, 2"));
    server.setReply("swpc", "/products/summary/10cm-flux.json", Reply::withStatus(503));
    WeatherData data;
    service.fetchAurora(place("boston"), data);
    service.fetchAurora(place("boston"), data);
    EXPECT_FALSE(data.hasAurora);
    EXPECT_DOUBLE_EQ(data.auroraProbability, -1);
    EXPECT_DOUBLE_EQ(data.kpForecastMax, -1);
    // A portal's page is not kept as the grid: asked again; so is the empty forecast.
    EXPECT_EQ(server.count("swpc", "/json/ovation_aurora_latest.json"), 2u);
    EXPECT_EQ(server.count("swpc", "/products/noaa-planetary-k-index-forecast.json"), 2u);
    service.fetchSolarActivity(data);
    EXPECT_FALSE(data.solar.valid);
    EXPECT_EQ(data.solar.flareClass, "");
    EXPECT_DOUBLE_EQ(data.solar.radioFlux, -1);
}

}  // namespace
}  // namespace nbr
