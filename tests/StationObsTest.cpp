// Reader of the airport station reports.
#include "service/WeatherService.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace nbr {
namespace {

using nlohmann::json;

json report(const char* id, double lat, json extra = json::object()) {
    json r = {{"icaoId", id}, {"lat", lat}, {"lon", 0.0}, {"temp", 5.0}};
    r.update(extra);
    return r;
}

TEST(StationReader, NearestCandidateWinsAndNothingCarriesOver) {
    // Equal distances: the first wins; no value carries over from a farther
    // report; a report with a latitude that reads as the place itself only by
    // wrapping around is never chosen.
    const json list = {report("FAR", 0.5, {{"wgst", 30}, {"visib", 3}}), report("TIE1", 0.1), report("TIE2", -0.1),
                       report("WRAPPED", 360.0), 7};
    StationObs o = WeatherService::parseMetar(list.dump(), 0, 0);
    EXPECT_EQ(o.id, "TIE1");
    EXPECT_EQ(o.windGusts, -1);
    EXPECT_EQ(o.visibilityKm, -1);
    // These values go into the history log: degrees from "temp" (not the dew
    // point), wind in km/h (not knots).
    o = WeatherService::parseMetar(json::array({report("FAR", 0.5,
                                                       {{"wgst", 30}, {"visib", 3}, {"icaoId", 5}, {"temp", 7.5},
                                                        {"dewp", 2.0}, {"wspd", 10}})})
                                       .dump(),
                                   0, 0);
    EXPECT_EQ(o.id, "");
    EXPECT_DOUBLE_EQ(o.temperature, 7.5);
    EXPECT_DOUBLE_EQ(o.windSpeed, 10 * 1.852);
    EXPECT_DOUBLE_EQ(o.windGusts, 30 * 1.852);
    EXPECT_DOUBLE_EQ(o.visibilityKm, 3 * 1.60934);
    EXPECT_FALSE(WeatherService::parseMetar("{\"error\":\"bad bbox\"}", 0, 0).valid);
    // A report without a numeric temperature is no candidate: the station's
    // newest report without one does not hide its older one with one.
    const json reports = json::array({report("TEXT", 0, {{"temp", "26"}}),
                                      report("KHNL", 0, {{"temp", nullptr}, {"wspd", 10}}),
                                      report("KHNL", 0, {{"temp", 26}})});
    o = WeatherService::parseMetar(reports.dump(), 0, 0);
    EXPECT_EQ(o.id, "KHNL");
    EXPECT_EQ(o.temperature, 26);
    EXPECT_EQ(o.windSpeed, -1);
}

}  // namespace
}  // namespace nbr
