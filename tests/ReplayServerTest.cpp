// The stand-in web services themselves: which place a request is about, and
// the limits of the utility routes.
#include "ReplayEnv.h"

#include <gtest/gtest.h>

#include <httplib.h>

namespace nbr::test {
namespace {

using replay::placeOfRequest;

std::multimap<std::string, std::string> params(std::initializer_list<std::pair<std::string, std::string>> list) {
    return {list.begin(), list.end()};
}

const char* idOf(const replay::Place* p) { return p ? p->id.c_str() : "none"; }

TEST(ReplayPlaceTest, CoordinatesAreReadAsOnePairFromTheRequestItself) {
    struct Case {
        const char* path;
        std::multimap<std::string, std::string> query;
        const char* expected;
    };
    const Case cases[] = {
        {"/v1/forecast", params({{"latitude", "42.3584"}, {"longitude", "-71.0598"}}), "boston"},
        {"/v1/forecast", params({{"latitude", "59.9127"}, {"longitude", "10.7461"}}), "oslo"},
        {"/weatherapi/x", params({{"lat", "44.65"}, {"lon", "-63.58"}}), "halifax"},
        {"/alerts/active", params({{"point", "42.3584,-71.0598"}}), "boston"},
        {"/points/42.3584,-71.0598", {}, "boston"},
        {"/api/data/metar", params({{"bbox", "41.4,-72.1,43.4,-70.1"}}), "boston"},   // lat,lon,lat,lon
        {"/nwis/iv/", params({{"bBox", "-72.1,41.4,-70.1,43.4"}}), "boston"},         // lon,lat,lon,lat
        // Stockholm: its numbers, and Oslo's longitude hidden in a parameter
        // name or another parameter, pick no place.
        {"/v1/forecast", params({{"latitude", "59.3293"}, {"longitude", "18.0686"},
                                 {"hourly", "wind_speed_10m,temperature_2m"}}), "none"},
        {"/v1/forecast", params({{"latitude", "59.9127"}, {"timezone", "10.7461"}}), "none"},
        {"/v1/forecast", params({{"latitude", "59.9127"}, {"longitude", "oslo"}}), "none"},
        {"/gridpoints/BOX/71,90/forecast", {}, "none"},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(idOf(placeOfRequest(c.path, c.query)), c.expected) << c.path;
}

class ReplayServerTest : public ReplayTest {};

TEST_F(ReplayServerTest, AnUnknownPlaceGets404AndAKnownOneItsForecast) {
    httplib::Client client("127.0.0.1", server.port());
    const auto stockholm = client.Get(
        "/forecast/v1/forecast?latitude=59.3293&longitude=18.0686&hourly=wind_speed_10m&timezone=auto");
    ASSERT_TRUE(stockholm);
    EXPECT_EQ(stockholm->status, 404);
    const auto oslo = client.Get("/forecast/v1/forecast?latitude=59.9127&longitude=10.7461&hourly=wind_speed_10m");
    ASSERT_TRUE(oslo);
    EXPECT_EQ(oslo->status, 200);
    ASSERT_EQ(server.requests().size(), 2u);
    EXPECT_EQ(server.requests()[0].place, nullptr);
    EXPECT_STREQ(idOf(server.requests()[1].place), "oslo");
}

TEST_F(ReplayServerTest, ByteRouteRefusesMoreThan64MiB) {
    httplib::Client client("127.0.0.1", server.port());
    const auto big = client.Get("/test/bytes/" + std::to_string((64ull << 20) + 1));
    ASSERT_TRUE(big);
    EXPECT_EQ(big->status, 400);
    const auto huge = client.Get("/test/bytes/99999999999999999999999");
    ASSERT_TRUE(huge);
    EXPECT_EQ(huge->status, 400);
}

}  // namespace
}  // namespace nbr::test
