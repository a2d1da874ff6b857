// The US forecast office's day and its forecast discussion: the readers'
// rules, the real replies, and the fetchers against the stand-in service.
#include "ReplayEnv.h"
#include "service/WeatherService.h"

#include <nlohmann/json.hpp>

namespace nbr {
namespace {

using nlohmann::json;
using replay::Reply;
using test::ReplayTest;

const std::string kReal = test::realFixturesDir();

json period(const std::string& start, bool day, json temperature, json unit, json pop) {
    json p = {{"startTime", start}, {"isDaytime", day}, {"temperature", temperature}};
    if (!unit.is_null()) p["temperatureUnit"] = unit;
    p["probabilityOfPrecipitation"] = {{"unitCode", "wmoUnit:percent"}, {"value", pop}};
    return p;
}

std::string periods(std::initializer_list<json> list) {
    json all = json::array();
    for (const json& p : list) all.push_back(p);
    return json{{"properties", {{"periods", all}}}}.dump();
}

TEST(NwsDay, TomorrowsPeriodsGiveHighLowAndRainChance) {
    const std::string date = "2024-05-02";
    // Day and night of the date; today's and the day after's periods do not count.
    ProviderForecast f = WeatherService::parseNwsDaily(
        periods({period("2024-05-01T18:00:00-04:00", false, 40, "F", 90),
                 period("2024-05-02T06:00:00-04:00", true, 77, "F", nullptr),
                 period("2024-05-02T18:00:00-04:00", false, 50, "F", 40),
                 period("2024-05-03T06:00:00-04:00", true, 90, "F", 100)}),
        date);
    EXPECT_TRUE(f.valid);
    EXPECT_EQ(f.source, "nws");
    EXPECT_EQ(f.date, date);
    EXPECT_DOUBLE_EQ(f.temperatureMax, 25);
    EXPECT_DOUBLE_EQ(f.temperatureMin, 10);
    EXPECT_DOUBLE_EQ(f.precipitationProbability, 40);

    // No rain chance anywhere: still valid, chance -1; a unit other than F is
    // taken as it is; an absent unit counts as F.
    f = WeatherService::parseNwsDaily(periods({period("2024-05-02T06:00", true, 21, "C", nullptr),
                                               period("2024-05-02T18:00", false, 50, nullptr, nullptr)}),
                                      date);
    EXPECT_TRUE(f.valid);
    EXPECT_DOUBLE_EQ(f.temperatureMax, 21);
    EXPECT_DOUBLE_EQ(f.temperatureMin, 10);
    EXPECT_DOUBLE_EQ(f.precipitationProbability, -1);

    // Only the night: copied but not valid.
    f = WeatherService::parseNwsDaily(periods({period("2024-05-02T18:00", false, 50, "F", 30)}), date);
    EXPECT_FALSE(f.valid);
    EXPECT_DOUBLE_EQ(f.temperatureMin, 10);
    EXPECT_DOUBLE_EQ(f.temperatureMax, 0);
    EXPECT_EQ(f.source, "");

    // Short start texts and periods of the wrong shape never count.
    f = WeatherService::parseNwsDaily(
        periods({period("2024-05-0", true, 70, "F", 10), json("period"), period("2024-05-02T06:00", true, "77", "F", 10),
                 period("2024-05-02T18:00", false, 50, "F", 10)}),
        date);
    EXPECT_FALSE(f.valid);
    for (const char* body : {"", "[]", R"({"properties":[]})", R"({"properties":{"periods":{}}})", "<html>"})
        EXPECT_FALSE(WeatherService::parseNwsDaily(body, date).valid) << body;

    EXPECT_EQ(WeatherService::parseNwsForecastUrl(R"({"properties":{"forecast":"https://x/f"}})"), "https://x/f");
    EXPECT_EQ(WeatherService::parseNwsForecastUrl(R"({"properties":{"forecast":7}})"), "");
}

TEST(ForecastDiscussion, OfficeListAndProduct) {
    EXPECT_EQ(WeatherService::parseAfdOffice(R"({"properties":{"cwa":"BOX","gridId":"XYZ"}})"), "BOX");
    EXPECT_EQ(WeatherService::parseAfdOffice(R"({"properties":{"cwa":"","gridId":"TAE"}})"), "TAE");
    EXPECT_EQ(WeatherService::parseAfdOffice(R"({"properties":{"gridId":"TAE"}})"), "TAE");
    EXPECT_EQ(WeatherService::parseAfdOffice(R"({"id":"x"})"), "");
    // An office id is put into a path: anything but a short code is refused.
    EXPECT_EQ(WeatherService::parseAfdOffice(R"({"properties":{"cwa":"../../alerts?x="}})"), "");
    EXPECT_EQ(WeatherService::parseAfdOffice(R"({"properties":{"cwa":5}})"), "");

    const auto list = WeatherService::parseAfdList(
        R"({"@graph":[{"@id":"https://h/products/1","issuanceTime":"2024-07-30T21:04:00+00:00"},{"@id":"https://h/products/2"}]})");
    EXPECT_EQ(list.url, "https://h/products/1");
    EXPECT_EQ(list.issued, "2024-07-30T21:04:00+00:00");
    EXPECT_EQ(WeatherService::parseAfdList(R"({"@graph":[]})").url, "");
    EXPECT_EQ(WeatherService::parseAfdList(R"({"@graph":[{"@id":3}]})").url, "");
    EXPECT_EQ(WeatherService::parseAfdProduct(R"({"productText":"TEXT"})"), "TEXT");
    EXPECT_EQ(WeatherService::parseAfdProduct(R"({"productText":null})"), "");
}

TEST(NwsReal, RealRepliesRead) {
    const std::string points = test::readFile(kReal + "/nws/points_30_-85_pynws.json");
    const std::string grid = test::readFile(kReal + "/nws/gridpoints_TAE_58_65_raw_2022-02.json");
    const std::string fgz = test::readFile(kReal + "/nws/products_types_AFD_locations_FGZ_2024-07.json");
    const std::string tbw = test::readFile(kReal + "/nws/products_types_AFD_locations_TBW_2024.json");
    const std::string product = test::readFile(kReal + "/nws/products_AFD_KOKX_2024-08-06T1808Z.json");
    if (points.empty() || grid.empty() || fgz.empty() || tbw.empty() || product.empty())
        GTEST_SKIP() << "real replies not present";
    EXPECT_EQ(WeatherService::parseNwsForecastUrl(points), "https://api.weather.gov/gridpoints/TAE/58,65/forecast");
    EXPECT_EQ(WeatherService::parseAfdOffice(points), "TAE");
    // Raw grid data has no periods: no day, nothing thrown.
    EXPECT_FALSE(WeatherService::parseNwsDaily(grid, "2022-02-10").valid);
    const auto first = WeatherService::parseAfdList(fgz);
    EXPECT_EQ(first.url, "https://api.weather.gov/products/798a1c6b-1317-4a4c-bb68-71091b3003da");
    EXPECT_EQ(first.issued, "2024-07-30T21:04:00+00:00");
    EXPECT_EQ(WeatherService::parseAfdList(tbw).url,
              "https://api.weather.gov/products/775e1b6c-abb0-4245-afd7-d4b12ade9240");
    const std::string text = WeatherService::parseAfdProduct(product);
    EXPECT_NE(text.find("Area Forecast Discussion"), std::string::npos);
    EXPECT_NE(text.find(".SYNOPSIS..."), std::string::npos);
}

class NwsFetch : public ReplayTest {
protected:
    WeatherData forecastOf(WeatherService& service, const GeoLocation& where) {
        auto d = service.fetchWeather(where);
        EXPECT_TRUE(d.has_value());
        return d.value_or(WeatherData{});
    }
};

TEST_F(NwsFetch, BostonGetsTheOfficeDayAndDiscussionOnceWithinTheirAges) {
    WeatherService service;
    const GeoLocation boston = place("boston");
    WeatherData data = forecastOf(service, boston);
    ASSERT_GE(data.daily.size(), 2u);

    service.fetchNwsOpinion(boston, data);
    ASSERT_TRUE(data.nws.valid);
    EXPECT_EQ(data.nws.date, data.daily[1].date.substr(0, 10));
    EXPECT_DOUBLE_EQ(data.nws.temperatureMax, 10);            // 50 F
    EXPECT_NEAR(data.nws.temperatureMin, 20.0 / 9.0, 1e-9);  // 36 F
    EXPECT_DOUBLE_EQ(data.nws.precipitationProbability, 60);

    service.fetchForecastDiscussion(boston, data);
    EXPECT_EQ(data.afdOffice, "BOX");
    EXPECT_NE(data.afdText.find("Area Forecast Discussion"), std::string::npos);
    EXPECT_EQ(data.afdIssued.size(), 20u);

    // The points lookups: 4 decimals for the day, 6 for the discussion.
    EXPECT_EQ(server.count("nws", "/points/42.3584,-71.0598"), 1u);
    EXPECT_EQ(server.count("nws", "/points/42.358400,-71.059800"), 1u);

    // Again within 30 minutes: the day from the cache, the discussion after
    // its points lookup only.
    WeatherData again = forecastOf(service, boston);
    service.fetchNwsOpinion(boston, again);
    service.fetchForecastDiscussion(boston, again);
    EXPECT_TRUE(again.nws.valid);
    EXPECT_EQ(again.afdText, data.afdText);
    EXPECT_EQ(server.count("nws", "/gridpoints/BOX/71,90/forecast"), 1u);
    EXPECT_EQ(server.count("nws", "/products/types/AFD/locations/BOX"), 1u);
    EXPECT_EQ(server.count("nws", "/points/42.358400,-71.059800"), 2u);

    // The day has moved on: a new forecast, the same URL without a lookup.
    {
        std::lock_guard<std::mutex> lock(service.nwsMutex);
        service.nwsCache[boston.cacheKey()].forecast.date = "2000-01-01";
    }
    service.fetchNwsOpinion(boston, again);
    EXPECT_EQ(server.count("nws", "/gridpoints/BOX/71,90/forecast"), 2u);
    EXPECT_EQ(server.count("nws", "/points/42.3584,-71.0598"), 1u);
}

TEST_F(NwsFetch, OtherCountriesAreNotAskedAndBadRepliesChangeNothing) {
    WeatherService service;
    for (const char* id : {"oslo", "halifax"}) {
        WeatherData data = forecastOf(service, place(id));
        service.fetchNwsOpinion(place(id), data);
        service.fetchForecastDiscussion(place(id), data);
        EXPECT_FALSE(data.nws.valid);
        EXPECT_EQ(data.afdText, "");
    }
    GeoLocation lower = place("boston");
    lower.country = "us";
    WeatherData data = forecastOf(service, place("boston"));
    service.fetchNwsOpinion(lower, data);
    service.fetchForecastDiscussion(lower, data);
    EXPECT_EQ(server.count("nws"), 0u);

    // A forecast URL on another host is not followed or kept, nor a product
    // URL elsewhere.
    server.setReply("nws", "/points/42.3584,-71.0598",
                    Reply::json(R"({"properties":{"forecast":"http://198.51.100.7/gridpoints/BOX/71,90/forecast"}})"));
    server.setReply("nws", "/products/types/AFD/locations/BOX",
                    Reply::json(R"({"@graph":[{"@id":"https://elsewhere.example/products/1","issuanceTime":"t"}]})"));
    const GeoLocation boston = place("boston");
    service.fetchNwsOpinion(boston, data);
    service.fetchForecastDiscussion(boston, data);
    EXPECT_FALSE(data.nws.valid);
    EXPECT_TRUE(service.nwsForecastUrls.empty());
    EXPECT_EQ(data.afdText, "");
    EXPECT_TRUE(service.afdCache.empty());

    // HTML, truncated and empty replies: the blocks stay as they were.
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

}  // namespace
}  // namespace nbr
