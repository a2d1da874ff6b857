#include "ReplayEnv.h"
#include "service/WeatherService.h"

namespace nbr {
namespace {

using replay::Reply;
using test::ReplayTest;

class PlaceSearchTest : public ReplayTest {
protected:
    std::vector<GeoLocation> searchReply(const std::string& body) {
        server.setReply("geocoding", "/v1/search", Reply::json(body));
        return svc.geocode("anything");
    }
    WeatherService svc;
};

TEST_F(PlaceSearchTest, EscapesTheQueryByteByByte) {
    const auto found = svc.geocode("São Paulo");
    const auto reqs = server.requests();
    ASSERT_EQ(reqs.size(), 1u);
    EXPECT_EQ(reqs[0].target, "/geocoding/v1/search?name=S%C3%A3o%20Paulo&count=5&language=en&format=json");
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].name, "São Paulo");
    EXPECT_EQ(found[0].country, "BR");
    EXPECT_EQ(found[0].admin1, "São Paulo");
    EXPECT_DOUBLE_EQ(found[0].latitude, -23.5475);
    EXPECT_DOUBLE_EQ(found[0].longitude, -46.63611);
    EXPECT_EQ(found[0].timezone, "America/Sao_Paulo");
    EXPECT_FALSE(found[0].customLabel);

    svc.geocode("a&b=c/d?e+f~g_h.i-j");
    EXPECT_EQ(server.requests()[1].target,
              "/geocoding/v1/search?name=a%26b%3Dc%2Fd%3Fe%2Bf~g_h.i-j&count=5&language=en&format=json");
}

TEST_F(PlaceSearchTest, ReadsTheServicesResultsInOrder) {
    const auto found = svc.geocode("Boston");
    ASSERT_EQ(found.size(), 5u);  // six candidates, five asked for
    EXPECT_EQ(found[0].name, "Boston");
    EXPECT_EQ(found[0].country, "US");  // the code, not "United States"
    EXPECT_EQ(found[0].admin1, "Massachusetts");
    EXPECT_EQ(found[1].country, "GB");
    EXPECT_EQ(found[3].admin1, "");  // no region in the reply
    EXPECT_EQ(found[4].name, "Boston Corners");

    EXPECT_EQ(svc.geocode("Springfield").size(), 5u);
    const auto gib = svc.geocode("Gibraltar");
    ASSERT_EQ(gib.size(), 1u);
    EXPECT_EQ(gib[0].admin1, "");
    EXPECT_EQ(gib[0].timezone, "Europe/Gibraltar");
}

TEST_F(PlaceSearchTest, NothingFoundOrFailedIsAnEmptyList) {
    EXPECT_TRUE(svc.geocode("").empty());
    EXPECT_EQ(server.count("geocoding"), 0u);  // an empty query asks nothing

    // Found nothing: an empty list; could not tell: no list at all.
    EXPECT_TRUE(svc.geocode("Qwxzvillé").empty());  // the service's reply has no "results"
    EXPECT_TRUE(svc.searchPlaces("Qwxzvillé").value().empty());
    for (Reply failed : {Reply::withStatus(500), Reply::html()}) {
        server.setReply("geocoding", "/v1/search", failed);
        EXPECT_TRUE(svc.geocode("Boston").empty());
        EXPECT_FALSE(svc.searchPlaces("Boston"));
    }
    EXPECT_EQ(server.count("geocoding"), 6u);
    server.stop();  // nobody listening
    EXPECT_FALSE(svc.searchPlaces("Boston"));
}

TEST_F(PlaceSearchTest, ParseRulesForOddReplies) {
    const std::string one = R"({"name":"Oslo","country_code":"NO","latitude":59.91,"longitude":10.75})";
    EXPECT_TRUE(searchReply(R"({"results":null})").empty());
    EXPECT_TRUE(searchReply(R"({"results":[]})").empty());
    EXPECT_TRUE(searchReply("[]").empty());
    // An object in place of the array is walked over its values; a null
    // member counts as absent, and a result without coordinates is no place.
    const auto walked = searchReply(R"({"results":{"b":)" + one +
                                    R"(,"a":{"name":"Bergen","admin1":null,"latitude":60.39,"longitude":5.32},
                                        "c":{"name":null,"latitude":1},"d":{"name":"Atlantis"}}})");
    ASSERT_EQ(walked.size(), 2u);
    EXPECT_EQ(walked[0].name, "Bergen");
    EXPECT_EQ(walked[1].name, "Oslo");
    EXPECT_EQ(walked[0].country + walked[0].admin1, "");
    EXPECT_EQ(walked[0].latitude, 60.39);

    EXPECT_EQ(searchReply(R"({"results":[null,)" + one + "]}").size(), 1u);  // a null result is passed over
    // Duplicates stay; a result that is no place on Earth does not.
    EXPECT_EQ(searchReply(R"({"results":[)" + one + "," + one + "]}").size(), 2u);
    EXPECT_EQ(searchReply(R"({"results":[)" + one + R"(,{"name":"X","latitude":-215.68,"longitude":1}]})").size(), 1u);

    // One malformed element empties the whole result.
    for (const std::string& bad : {
             R"({"results":[)" + one + R"(,{"name":"X","latitude":"59.9"}]})",
             R"({"results":[)" + one + R"(,42]})",
             std::string(R"({"results":7})"),
             std::string(R"({"results":"Oslo"})"),
             std::string(R"({"results":[)") + one,
         }) {
        SCOPED_TRACE(bad);
        EXPECT_TRUE(searchReply(bad).empty());
        EXPECT_ANY_THROW(WeatherService::parseGeocodeResponse(bad));
    }
}

}  // namespace
}  // namespace nbr
