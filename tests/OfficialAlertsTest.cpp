// Official alerts by country, and the time texts they carry.
#include "ReplayEnv.h"
#include "foundation/PlaceTime.h"
#include "service/WeatherService.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace nbr::test {
namespace {

using std::chrono::system_clock;

int64_t unixOf(system_clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::seconds>(t.time_since_epoch()).count();
}
int64_t unixNow() { return unixOf(system_clock::now()); }
const PlaceClock kUtc;  // a place whose zone is not known

class OfficialAlertsTest : public ReplayTest {
protected:
    WeatherService svc;
};

TEST_F(OfficialAlertsTest, EachCountryAsksItsOwnServiceOnceIn180Seconds) {
    // Boston: the US service, with an alert whose "ends" and headline are null.
    const std::vector<WeatherAlert> us = svc.fetchOfficialAlerts(place("boston"));
    ASSERT_EQ(us.size(), 2u);
    EXPECT_EQ(server.requests().back().target,
              "/nws/alerts/active?status=actual&message_type=alert&point=42.358400,-71.059800");
    EXPECT_EQ(us[0].title, "Wind Advisory");
    EXPECT_EQ(us[0].message, "Wind Advisory issued by NWS Boston/Norton MA");
    EXPECT_EQ(us[0].id, "urn:oid:2.49.0.1.840.0.boston.wind.1");
    EXPECT_EQ(us[0].severity, "Moderate");
    EXPECT_NEAR(unixOf(us[0].expires), unixNow() + 20 * 3600, 120);  // "ends" before "expires"
    EXPECT_EQ(us[1].message, "Eastern Plymouth; Barnstable");         // null headline: the area
    EXPECT_NEAR(unixOf(us[1].expires), unixNow() + 8 * 3600, 120);    // null "ends": "expires"
    for (const WeatherAlert& a : us) {
        EXPECT_EQ(a.kind, AlertKind::Official);
        EXPECT_TRUE(a.official);
        EXPECT_EQ(a.location, "Boston");
        EXPECT_TRUE(a.dayKey.empty());
    }
    EXPECT_NE(us[0].deduplicationKey(), us[1].deduplicationKey());

    // Halifax and Oslo by the geocoder's two-letter codes.
    const std::vector<WeatherAlert> ca = svc.fetchOfficialAlerts(place("halifax"));
    ASSERT_EQ(ca.size(), 1u);
    EXPECT_EQ(server.requests().back().target,
              "/eccc/collections/alerts/items?f=json&bbox=-63.6252,44.5988,-63.5252,44.6988");
    EXPECT_EQ(ca[0].title, "rainfall warning in effect");
    EXPECT_EQ(ca[0].id, "urn:oid:2.49.0.1.124.halifax.rainfall.1");
    EXPECT_EQ(ca[0].location, "Halifax");
    EXPECT_NEAR(unixOf(ca[0].expires), unixNow() + 18 * 3600, 120);

    const std::vector<WeatherAlert> no = svc.fetchOfficialAlerts(place("oslo"));
    ASSERT_EQ(no.size(), 1u);
    EXPECT_EQ(server.requests().back().target, "/metno/weatherapi/metalerts/2.0/current.json?lat=59.9127&lon=10.7461");
    EXPECT_EQ(no[0].id, "2.49.0.1.578.0.oslo.ice.1");
    EXPECT_EQ(no[0].location, "Oslo");
    EXPECT_NEAR(unixOf(no[0].expires), unixNow() + 15 * 3600, 120);

    // Within 180 s every place is answered from the cache; a country without
    // a service asks nothing.
    const size_t asked = server.requests().size();
    EXPECT_EQ(svc.fetchOfficialAlerts(place("boston")).size(), 2u);
    EXPECT_EQ(svc.fetchOfficialAlerts(place("oslo")).size(), 1u);
    GeoLocation paris = place("oslo");
    paris.country = "FR";
    EXPECT_TRUE(svc.fetchOfficialAlerts(paris).empty());
    EXPECT_EQ(server.requests().size(), asked);
    for (const int age : {179, 181}) {
        svc.alertCache[place("oslo").cacheKey()].stamp = test::secondsAgo(age);
        svc.fetchOfficialAlerts(place("oslo"));
    }
    EXPECT_EQ(server.requests().size(), asked + 1);
}

TEST_F(OfficialAlertsTest, AFailedFetchIsAnEmptyListKeptFor180Seconds) {
    server.setReply("nws", "/alerts/active", replay::Reply::withStatus(503));
    EXPECT_TRUE(svc.fetchOfficialAlerts(place("boston")).empty());
    server.clearReplies();
    EXPECT_TRUE(svc.fetchOfficialAlerts(place("boston")).empty());
    EXPECT_EQ(server.count("nws"), 1u);
}

TEST(OfficialAlertReaders, UnreadableFeaturesAreSkippedAndReadingGoesOn) {
    const auto us = WeatherService::parseNwsAlerts(R"({"features":[
        {"id":"no-properties"},
        {"properties":{"id":"a","event":"Heat Advisory","severity":7}},
        {"id":"outer","properties":{"expires":"2024-07-18T20:00:00-07:00","areaDesc":"Maricopa"}},
        {"id":"outer","properties":{"id":"inner"}},
        {"id":7,"properties":{"id":"inner7"}}]})",
                                                   "Phoenix", kUtc);
    ASSERT_EQ(us.size(), 3u);
    // The alert's own id first, the feature's only when it has none; an odd
    // outer id does not cost an alert that has its own.
    EXPECT_EQ(us[0].id, "outer");
    EXPECT_EQ(us[1].id, "inner");
    EXPECT_EQ(us[2].id, "inner7");
    EXPECT_EQ(us[0].title, "Weather Alert");
    EXPECT_EQ(us[0].message, "Maricopa");
    EXPECT_EQ(unixOf(us[0].expires), 1721358000);  // 2024-07-19 03:00 UTC

    const std::string long401 = std::string(398, 'x') + "\xC3\xA9\xC3\xA9";  // cut inside a character
    const auto ca = WeatherService::parseCanadaAlerts(R"({"features":{
        "b":{"properties":{"event":"frost","description":")" + long401 + R"("}},
        "a":{"properties":{"headline":"","event":"fog"}},
        "c":{"properties":{"headline":null,"event":"wind","expires":17}},
        "d":{"properties":{"headline":"snowfall warning","expires":"2025-01-02T10:00:00Z"}}}})", kUtc);
    ASSERT_EQ(ca.size(), 2u);  // "a" has an empty headline, "c" a numeric expiry
    EXPECT_EQ(ca[0].title, "frost");
    EXPECT_EQ(ca[0].id, "frost");  // no identifier: the title
    EXPECT_EQ(ca[0].message, std::string(398, 'x') + "\xC3\xA9");
    EXPECT_EQ(ca[1].title, "snowfall warning");
    EXPECT_EQ(unixOf(ca[1].expires), 1735812000);

    const auto no = WeatherService::parseMetAlerts(R"({"features":[
        {"properties":{"event":"gale","description":"Strong wind"},"when":{"interval":["2025-01-01T00:00:00+00:00"]}},
        {"properties":{"title":"Flood","id":"f1"},"when":{"interval":["x","2025-01-02T06:00:00+01:00"]}}]})", kUtc);
    ASSERT_EQ(no.size(), 2u);
    EXPECT_EQ(no[0].title, "gale");
    EXPECT_EQ(no[0].expires, system_clock::time_point{});  // one-element interval: no expiry
    EXPECT_EQ(no[1].id, "f1");
    EXPECT_EQ(unixOf(no[1].expires), 1735794000);  // 05:00 UTC
}

TEST(OfficialAlertReaders, RealRepliesRead) {
    const std::filesystem::path real = NIMBREL_FIXTURES_REAL;
    if (!std::filesystem::exists(real)) GTEST_SKIP() << "no real replies beside the project";
    const auto us = WeatherService::parseNwsAlerts(readFile(real / "nws/alerts_active_point_33.25_-112.30_2024-07-18.json"),
                                                   "Phoenix", kUtc);
    ASSERT_EQ(us.size(), 2u);
    for (const WeatherAlert& a : us) {
        EXPECT_FALSE(a.id.empty());
        EXPECT_FALSE(a.title.empty());
        EXPECT_GT(unixOf(a.expires), 1721260800);  // after 2024-07-18
        EXPECT_LT(unixOf(a.expires), 1721606400);
    }
    // The Canadian and Norwegian feeds captured here are CAP XML, not the JSON
    // collections these readers take: nothing is read and nothing breaks.
    for (const auto& entry : std::filesystem::directory_iterator(real / "eccc"))
        EXPECT_TRUE(WeatherService::parseCanadaAlerts(readFile(entry.path()), kUtc).empty()) << entry.path();
    EXPECT_TRUE(WeatherService::parseMetAlerts(readFile(real / "metno/metalerts_cap_gale_2021-09-21.cap.xml"), kUtc)
                    .empty());
}

// Plain times are readings of the place's clock (Oslo), never the computer's.
TEST(IsoTimeTest, ZoneSuffixesAreUtcMinusTheOffsetAndPlainTimesOnThePlacesClock) {
    TimeZone zone("EST5EDT,M3.2.0,M11.1.0");
    GeoLocation oslo;
    oslo.timezone = "Europe/Oslo";
    struct Case {
        const char* text;
        int64_t expected;
    };
    const Case cases[] = {
        {"2025-01-02T10:00:00Z", 1735812000},
        {"2025-01-02T10:00:00.250Z", 1735812000},
        {"2025-01-02T10:00:00+05:30", 1735812000 - 19800},
        {"2025-01-02T10:00:00-0500", 1735812000 + 18000},
        {"2025-01-02T10:00:00-00:30", 1735812000 + 1800},
        {"2025-01-02T10:00:00+01", 1735812000 - 3600},
        {"2025-01-02T10:00:00", 1735812000 - 3600},  // Oslo winter
        {"2025-07-02T10:00", 1751450400 - 7200},      // Oslo summer
        {"2025-10-26T02:30", 1761438600},             // the repeated hour: the first time
        {"2025-01", 0},
        // Beyond what a time point holds: no time, so no expiry.
        {"2200-01-01T00:00:00Z", 7258118400},
        {"3000-01-01T00:00:00Z", 0},
        {"3000-01-01T00:00:00", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(unixOf(parseIsoTime(c.text, placeClock(oslo))), c.expected) << c.text;
    EXPECT_EQ(unixOf(parseIsoTime("2025-01-02T10:00:00", kUtc)), 1735812000);  // zone not known: UTC
}

}  // namespace
}  // namespace nbr::test
