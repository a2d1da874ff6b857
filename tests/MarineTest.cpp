// Readers of the marine, tide and buoy replies: the rules a fuzzer cannot
// judge, and the real buoy files. The stand-in services' realistic replies
// are checked through the fetchers (EnrichmentSourcesTest).
#include "SourceFixtures.h"
#include "service/WeatherService.h"

#include <algorithm>

namespace nbr {
namespace {

using WS = WeatherService;

TEST(MarineReaders, NothingHereIsToldApartFromNoAnswer) {
    // Well-formed replies without a usable value: nothing (the caller flags the place).
    for (const char* body : {"{\"current\":{\"wave_height\":null}}", "{\"current\":{\"wave_height\":-1}}",
                             "{\"current\":{\"wave_height\":true}}", "{\"error\":true}", "{\"latitude\":1}", "[]"})
        EXPECT_FALSE(WS::parseMarineWave(body)) << body;
    EXPECT_EQ(WS::parseMarineWave("{\"current\":{\"wave_height\":0}}"), 0.0);
    for (const char* body : {"{\"data\":[]}", "{\"data\":[{\"v\":\"\"}]}", "{\"data\":[{\"v\":7}]}", "{\"data\":[1]}"})
        EXPECT_FALSE(WS::parseWaterTemperature(body)) << body;
    // Not JSON at all (a web page, a cut transfer): thrown, so no flag is set.
    for (const char* body : {"<html><body>Service Unavailable</body></html>", "{\"current\":{\"wave_hei"}) {
        EXPECT_THROW(WS::parseMarineWave(body), std::exception) << body;
        EXPECT_THROW(WS::parseWaterTemperature(body), std::exception) << body;
    }
    // A short time is dropped but the tide stays; a height that is no number
    // is unknown; a time that is not text ends the list.
    const auto events = WS::parseTidePredictions(
        "{\"predictions\":[{\"t\":\"2024-05-01 9:05\",\"v\":\"\",\"type\":\"H\"},"
        "{\"t\":\"2024-05-01 14:07\",\"v\":null,\"type\":\"X\"},{\"t\":5,\"v\":\"1\",\"type\":\"L\"}]}");
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].time, "");
    EXPECT_TRUE(events[0].high);
    EXPECT_EQ(events[1].time, "14:07");
    EXPECT_FALSE(events[1].height);
    // An entry that is no object, or without its kind, is no tide: no invented low tide.
    EXPECT_TRUE(WS::parseTidePredictions("{\"predictions\":[7,{\"t\":\"2024-05-01 14:07\"}]}").empty());

    // A null time or kind costs only that tide.
    EXPECT_EQ(WS::parseTidePredictions(R"({"predictions":[{"t":null,"type":"H"},{"t":"2024-05-01 1:00","type":null},)"
                                       R"({"t":"2024-05-01 14:07","type":"L"}]})").size(), 1u);

    // Station ids go into request paths: only short codes of letters and digits.
    const auto stations = WS::parseTideStations(
        R"({"stations":[{"id":"../x"},{"id":"12345678901234567"},{"id":"8443970","lat":42.35,"lng":-71.05},
            {"id":"8443971"},{"id":"8443972","lat":null,"lng":1},{"id":"8443973","lat":1,"lng":1}]})");
    ASSERT_EQ(stations.size(), 2u);  // those without coordinates are nowhere
    EXPECT_EQ(stations[0].id + stations[1].id, "84439708443973");
    const char* nulls = R"({"stations":[{"id":null,"lat":1,"lng":1},{"id":"1","name":null,"lat":1,"lng":1}]})";
    EXPECT_EQ(WS::parseTideStations(nulls).size(), 2u);  // a null id or name costs only that value
}

TEST(BuoyReaders, TablePositionsAndTheNewestObservation) {
    const auto one = [](const std::string& line) { return WS::parseBuoyTable("# header\n\n" + line + "\n"); };
    const auto south = one("X|a|b|c|d|e|12.5 S 23.25 E (12&#176;30' S)|");
    ASSERT_EQ(south.size(), 1u);
    EXPECT_EQ(south[0].latitude, -12.5);
    EXPECT_EQ(south[0].longitude, 23.25);
    for (const char* line : {"X|a|b|c|d|44.794 N 87.313 W", "X|a|b|c|d|e|N 44 W 87", "X|a|b|c|d|e|44.794 N",
                             "../X|a|b|c|d|e|12.5 S 23.25 E", "|a|b|c|d|e|12.5 S 23.25 E"})
        EXPECT_TRUE(one(line).empty()) << line;

    const auto read = [](const std::string& row, double& wave, double& water) {
        return WS::parseNdbcRealtime("#YY  MM DD hh mm WDIR WSPD GST  WVHT ...\n" + row, wave, water);
    };
    double wave = 0, water = 0;
    EXPECT_TRUE(read("2024 05 01 12 00 250 7.0 9.0 MM 6 4.6 90 1011.8 3.1 12.3\n", wave, water));
    EXPECT_EQ(wave, -1);
    EXPECT_EQ(water, 12.3);
    EXPECT_TRUE(read("2024 05 01 12 00 250 7.0 9.0 0 6 4.6 90 1011.8 3.1 95\n", wave, water));
    EXPECT_EQ(wave, 0);
    EXPECT_EQ(water, -999);  // 95 degrees is no reading
    EXPECT_FALSE(read("2024 05 01 12 00 250 7.0 9.0 99 6 4.6 90 1011.8 3.1 MM\n", wave, water));
    // A newest row one column short spoils the file, however good the next.
    EXPECT_FALSE(read("2024 05 01 12 00 250 7.0 9.0 1.0 6 4.6 90 1011.8 3.1\n"
                      "2024 05 01 11 50 250 7.0 9.0 1.0 6 4.6 90 1011.8 3.1 8.0\n",
                      wave, water));
}

TEST(BuoyReaders, RealStationTableAndObservationFile) {
    NIMBREL_REAL_REPLY(table, "ndbc/station_table_2024-08.txt");
    const auto stations = WS::parseBuoyTable(table);
    ASSERT_GT(stations.size(), 1000u);
    EXPECT_EQ(stations[0].id, "0y2w3");
    EXPECT_EQ(stations[0].name, "Sturgeon Bay CG Station, WI");
    EXPECT_EQ(stations[0].latitude, 44.794);
    EXPECT_EQ(stations[0].longitude, -87.313);
    const auto s = std::find_if(stations.begin(), stations.end(), [](auto& b) { return b.id == "14040"; });
    ASSERT_NE(s, stations.end());
    EXPECT_EQ(s->latitude, -8.0);

    NIMBREL_REAL_REPLY(obs, "ndbc/realtime2_44013.txt");
    double wave = 0, water = 0;
    EXPECT_TRUE(WS::parseNdbcRealtime(obs, wave, water));  // newest row: no waves, water 13.9
    EXPECT_EQ(wave, -1);
    EXPECT_EQ(water, 13.9);
}

}  // namespace
}  // namespace nbr
