// The US forecast office's day and its forecast discussion: the readers'
// rules, the real replies, and the fetchers against the stand-in service.
#include "ReplayEnv.h"
#include "service/WeatherService.h"

#include <nlohmann/json.hpp>

#include <thread>

namespace nbr {
namespace {

using nlohmann::json;
using replay::Reply;
using test::ReplayTest;

json period(const std::string& start, bool day, json temperature, json unit, json pop) {
    json p = {{"startTime", start}, {"isDaytime", day}, {"temperature", temperature}};
    if (!unit.is_null()) p["temperatureUnit"] = unit;
    p["probabilityOfPrecipitation"] = {{"unitCode", "wmoUnit:percent"}, {"value", pop}};
    return p;
}

ProviderForecast day(std::initializer_list<json> list) {
    json all = json::array();
    for (const json& p : list) all.push_back(p);
    return WeatherService::parseNwsDaily(json{{"properties", {{"periods", all}}}}.dump(), "2024-05-02");
}

TEST(NwsReaders, TomorrowsPeriodsGiveHighLowAndRainChance) {
    // Only the date's day and night count; the unit spelt either way.
    ProviderForecast f = day({period("2024-05-01T18:00:00-04:00", false, 40, "F", 90),
                              period("2024-05-02T06:00:00-04:00", true, 77, "F", nullptr),
                              period("2024-05-02T18:00:00-04:00", false, 50, "Fahrenheit", 40),
                              period("2024-05-03T06:00:00-04:00", true, 90, "F", 100)});
    EXPECT_TRUE(f.valid);
    EXPECT_EQ(f.source, "nws");
    EXPECT_EQ(f.date, "2024-05-02");
    EXPECT_DOUBLE_EQ(f.temperatureMax, 25);
    EXPECT_DOUBLE_EQ(f.temperatureMin, 10);
    EXPECT_DOUBLE_EQ(f.precipitationProbability, 40);

    // No chance anywhere: -1; a unit other than F is kept, none counts as F.
    f = day({period("2024-05-02T06:00", true, 21, "C", nullptr), period("2024-05-02T18:00", false, 50, nullptr, nullptr)});
    EXPECT_TRUE(f.valid);
    EXPECT_DOUBLE_EQ(f.temperatureMax, 21);
    EXPECT_DOUBLE_EQ(f.temperatureMin, 10);
    EXPECT_DOUBLE_EQ(f.precipitationProbability, -1);
    json night = period("2024-05-02T18:00", false, 50, "F", 30);
    night["temperatureUnit"] = nullptr;  // that default too
    EXPECT_DOUBLE_EQ(day({period("2024-05-02T06:00", true, 21, "C", nullptr), night}).temperatureMin, 10);

    // The night alone is not a day; short starts and odd periods never count.
    f = day({period("2024-05-02T18:00", false, 50, "F", 30)});
    EXPECT_FALSE(f.valid);
    EXPECT_DOUBLE_EQ(f.temperatureMin, 10);
    EXPECT_FALSE(day({period("2024-05-0", true, 70, "F", 10), json("period"),
                      period("2024-05-02T06:00", true, "77", "F", 10), period("2024-05-02T18:00", false, 50, "F", 10),
                      json{{"startTime", "2024-05-02T06:00"}, {"isDaytime", true}}})  // no temperature
                     .valid);
}

TEST(NwsReaders, DiscussionOfficeListAndProduct) {
    EXPECT_EQ(WeatherService::parseAfdOffice(R"({"properties":{"cwa":"","gridId":"TAE"}})"), "TAE");
    EXPECT_EQ(WeatherService::parseAfdOffice(R"({"properties":{"cwa":"BOX","gridId":"XYZ"}})"), "BOX");
    // The office id goes into a path: anything but a short code is refused.
    EXPECT_EQ(WeatherService::parseAfdOffice(R"({"properties":{"cwa":"../../alerts?x="}})"), "");
    EXPECT_EQ(WeatherService::parseAfdList(R"({"@graph":[]})").url, "");
    EXPECT_EQ(WeatherService::parseAfdList(R"({"@graph":[{"@id":3}]})").url, "");
    EXPECT_EQ(WeatherService::parseAfdProduct(R"({"productText":null})"), "");
}

TEST(NwsReaders, RepliedUrlsStayOnTheService) {
    test::ServiceBaseScope real("");
    EXPECT_TRUE(urlOnService("https://api.weather.gov/products/1", service::Nws));
    for (const char* url : {"https://api.weather.gov.example.com/products/1", "http://api.weather.gov/products/1",
                            "https://api.weather.gov", "https://api.weather.gov@example.com/x", "/products/1"})
        EXPECT_FALSE(urlOnService(url, service::Nws)) << url;
}

TEST(NwsReaders, RealReplies) {
    const std::string dir = test::realFixturesDir() + "/nws/";
    const std::string points = test::readFile(dir + "points_30_-85_pynws.json");
    const std::string grid = test::readFile(dir + "gridpoints_TAE_58_65_raw_2022-02.json");
    const std::string fgz = test::readFile(dir + "products_types_AFD_locations_FGZ_2024-07.json");
    const std::string tbw = test::readFile(dir + "products_types_AFD_locations_TBW_2024.json");
    const std::string product = test::readFile(dir + "products_AFD_KOKX_2024-08-06T1808Z.json");
    if (points.empty() || grid.empty() || fgz.empty() || tbw.empty() || product.empty())
        GTEST_SKIP() << "real replies not present";
    EXPECT_EQ(WeatherService::parseNwsForecastUrl(points), "https://api.weather.gov/gridpoints/TAE/58,65/forecast");
    EXPECT_EQ(WeatherService::parseAfdOffice(points), "TAE");
    EXPECT_FALSE(WeatherService::parseNwsDaily(grid, "2022-02-10").valid);  // raw grid data has no periods
    const auto first = WeatherService::parseAfdList(fgz);
    EXPECT_EQ(first.url, "https://api.weather.gov/products/798a1c6b-1317-4a4c-bb68-71091b3003da");
    EXPECT_EQ(first.issued, "2024-07-30T21:04:00+00:00");
    json list = json::parse(fgz);
    list["@graph"][0]["issuanceTime"] = nullptr;  // costs only the time
    EXPECT_EQ(WeatherService::parseAfdList(list.dump()).url, first.url);
    list["@graph"][0]["@id"] = nullptr;  // costs only that entry
    EXPECT_EQ(WeatherService::parseAfdList(list.dump()).url, list["@graph"][1]["@id"]);
    EXPECT_EQ(WeatherService::parseAfdList(tbw).url, "https://api.weather.gov/products/775e1b6c-abb0-4245-afd7-d4b12ade9240");
    EXPECT_NE(WeatherService::parseAfdProduct(product).find(".SYNOPSIS..."), std::string::npos);
}

class NwsFetch : public ReplayTest {
protected:
    WeatherData forecastOf(WeatherService& service, const char* id) {
        auto d = service.fetchWeather(place(id));
        EXPECT_TRUE(d && d->daily.size() >= 2) << id;
        return d.value_or(WeatherData{});
    }
};

TEST_F(NwsFetch, BostonGetsTheOfficeDayAndDiscussionOnceWithinTheirAges) {
    WeatherService service;
    const GeoLocation boston = place("boston");
    WeatherData data = forecastOf(service, "boston");
    service.fetchNwsOpinion(boston, data);
    service.fetchForecastDiscussion(boston, data);
    ASSERT_TRUE(data.nws.valid);
    EXPECT_EQ(data.nws.date, data.daily[1].date.substr(0, 10));
    EXPECT_DOUBLE_EQ(data.nws.temperatureMax, 10);            // 50 F
    EXPECT_NEAR(data.nws.temperatureMin, 20.0 / 9.0, 1e-9);  // 36 F
    EXPECT_DOUBLE_EQ(data.nws.precipitationProbability, 60);
    EXPECT_EQ(data.afdOffice, "BOX");
    EXPECT_NE(data.afdText.find("Area Forecast Discussion"), std::string::npos);
    EXPECT_EQ(data.afdIssued.size(), 20u);

    // Again within 30 minutes: the day from the cache, the discussion after
    // its points lookup (6 decimals; the day's has 4) only.
    WeatherData again = forecastOf(service, "boston");
    service.fetchNwsOpinion(boston, again);
    service.fetchForecastDiscussion(boston, again);
    EXPECT_TRUE(again.nws.valid);
    EXPECT_EQ(again.afdText, data.afdText);
    EXPECT_EQ(server.count("nws", "/points/42.3584,-71.0598"), 1u);
    EXPECT_EQ(server.count("nws", "/points/42.358400,-71.059800"), 2u);
    EXPECT_EQ(server.count("nws", "/gridpoints/BOX/71,90/forecast"), 1u);
    EXPECT_EQ(server.count("nws", "/products/types/AFD/locations/BOX"), 1u);

    // The discussion is kept per office, whatever the place, and the day per
    // place, each for less than 30 minutes.
    GeoLocation neighbour = boston;
    neighbour.name = "Cambridge";
    service.fetchForecastDiscussion(neighbour, again);
    EXPECT_EQ(server.count("nws", "/products/types/AFD/locations/BOX"), 1u);
    for (const int age : {1799, 1800}) {
        service.afdCache["BOX"].stamp = service.nwsCache[boston.cacheKey()].stamp = test::secondsAgo(age);
        service.fetchForecastDiscussion(neighbour, again);
        service.fetchNwsOpinion(boston, again);
    }
    EXPECT_EQ(server.count("nws", "/products/types/AFD/locations/BOX"), 2u);
    EXPECT_EQ(server.count("nws", "/gridpoints/BOX/71,90/forecast"), 2u);

    // The day has moved on: a new forecast from the kept URL, no lookup.
    service.nwsCache[boston.cacheKey()].forecast.date = "2000-01-01";
    service.fetchNwsOpinion(boston, again);
    EXPECT_EQ(server.count("nws", "/gridpoints/BOX/71,90/forecast"), 3u);
    EXPECT_EQ(server.count("nws", "/points/42.3584,-71.0598"), 1u);
}

TEST_F(NwsFetch, OtherPlacesAreNotAskedAndBadRepliesChangeNothing) {
    WeatherService service;
    for (const char* id : {"oslo", "halifax"}) {
        WeatherData data = forecastOf(service, id);
        service.fetchNwsOpinion(place(id), data);
        service.fetchForecastDiscussion(place(id), data);
    }
    GeoLocation boston = place("boston");
    boston.country = "us";
    WeatherData data = forecastOf(service, "boston");
    service.fetchNwsOpinion(boston, data);
    service.fetchForecastDiscussion(boston, data);
    EXPECT_EQ(server.count("nws"), 0u);

    // URLs of replies that lead elsewhere are neither followed nor kept.
    boston.country = "US";
    server.setReply("nws", "/points/42.3584,-71.0598",
                    Reply::json(R"({"properties":{"forecast":"http://198.51.100.7/gridpoints/BOX/71,90/forecast"}})"));
    server.setReply("nws", "/products/types/AFD/locations/BOX",
                    Reply::json(R"({"@graph":[{"@id":"https://elsewhere.example/products/1","issuanceTime":"t"}]})"));
    service.fetchNwsOpinion(boston, data);
    service.fetchForecastDiscussion(boston, data);
    EXPECT_TRUE(service.nwsForecastUrls.empty());

    // A web page for the forecast, a truncated product: nothing kept.
    server.clearReplies();
    server.setReply("nws", "/gridpoints/BOX/71,90/forecast", Reply::html());
    server.setReply("nws", "/products/4f1c7b0e-2d1a-4c55-9f7e-0a6b3c2d1e01", Reply::json(R"({"productText":"")"));
    service.fetchNwsOpinion(boston, data);
    service.fetchForecastDiscussion(boston, data);
    EXPECT_FALSE(data.nws.valid);
    EXPECT_TRUE(service.nwsCache.empty());
    EXPECT_EQ(data.afdText, "");
    EXPECT_TRUE(service.afdCache.empty());
}

class EnrichmentSourcesConcurrency : public NwsFetch {};

// Enrichment threads of several refreshes share the service's caches.
TEST_F(EnrichmentSourcesConcurrency, SourcesShareTheirCachesAcrossThreads) {
    WeatherService service;
    const WeatherData base = forecastOf(service, "boston");
    std::vector<WeatherData> records(4, base);
    std::vector<std::thread> threads;
    for (WeatherData& d : records)
        threads.emplace_back([&service, &d, where = place("boston")] {
            d.kpIndex = service.fetchKpIndex();
            service.fetchAurora(where, d);
            service.fetchNwsOpinion(where, d);
            service.fetchForecastDiscussion(where, d);
            service.fetchMetNorway(where, d);
        });
    for (std::thread& t : threads) t.join();
    for (const WeatherData& d : records) {
        EXPECT_DOUBLE_EQ(d.kpIndex, 2.67);
        EXPECT_TRUE(d.hasAurora && d.nws.valid && d.metNorway.valid);
        EXPECT_EQ(d.afdOffice, "BOX");
    }
}

}  // namespace
}  // namespace nbr
