// Reader of the airport station reports.
#include "SourceFixtures.h"
#include "service/WeatherService.h"

#include <nlohmann/json.hpp>

namespace nbr {
namespace {

using nlohmann::json;
using test::filledFixture;
using WS = WeatherService;

// A place's reports as the stand-in service sends them.
std::string reports(const char* placeId) {
    std::string text = filledFixture(std::string("awc/") + placeId + ".json", placeId);
    for (size_t pos; (pos = text.find("{{unix}}")) != std::string::npos;) text.replace(pos, 8, "1733572800");
    return text;
}

TEST(StationReader, NearestReportWithItsUnitsConverted) {
    const StationObs bos = WS::parseMetar(reports("boston"), 42.3584, -71.0598);
    ASSERT_TRUE(bos.valid);
    EXPECT_EQ(bos.id, "KBOS");
    EXPECT_NEAR(bos.distanceKm, haversineKm(42.3584, -71.0598, 42.3606, -71.0097), 1e-9);
    EXPECT_DOUBLE_EQ(bos.temperature, 3.3);
    EXPECT_DOUBLE_EQ(bos.windSpeed, 13 * 1.852);
    EXPECT_DOUBLE_EQ(bos.windGusts, 24 * 1.852);
    EXPECT_DOUBLE_EQ(bos.visibilityKm, 10 * 1.60934);  // "10+"
    const StationObs osl = WS::parseMetar(reports("oslo"), 59.9127, 10.7461);
    EXPECT_EQ(osl.id, "ENGM");
    EXPECT_DOUBLE_EQ(osl.temperature, -1.0);
    EXPECT_EQ(osl.windGusts, -1);
}

TEST(StationReader, CandidatesAndTies) {
    const auto report = [](const char* id, double lat, json extra = json::object()) {
        json r = {{"icaoId", id}, {"lat", lat}, {"lon", 0.0}, {"temp", 5.0}};
        r.update(extra);
        return r;
    };
    // Equal distances: the first wins; no value carries over from a farther report.
    json list = {report("FAR", 0.5, {{"wgst", 30}, {"visib", 3}}), report("TIE1", 0.1), report("TIE2", -0.1),
                 report("NOTEMP", 0.0, {{"temp", nullptr}}), 7, report("TXT", 0.2)};
    StationObs o = WS::parseMetar(list.dump(), 0, 0);
    EXPECT_EQ(o.id, "TIE1");
    EXPECT_EQ(o.windGusts, -1);
    EXPECT_EQ(o.visibilityKm, -1);
    o = WS::parseMetar(json::array({report("FAR", 0.5, {{"wgst", 30}, {"visib", 3}, {"icaoId", 5}})}).dump(), 0, 0);
    EXPECT_EQ(o.id, "");
    EXPECT_DOUBLE_EQ(o.windGusts, 30 * 1.852);
    EXPECT_DOUBLE_EQ(o.visibilityKm, 3 * 1.60934);
    EXPECT_FALSE(WS::parseMetar("{\"error\":\"bad bbox\"}", 0, 0).valid);
}

}  // namespace
}  // namespace nbr
