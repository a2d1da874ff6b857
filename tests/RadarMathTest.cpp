// The radar map's pure parts: projection and tile arithmetic, the frame list,
// the basemap readers, and the texts of the time label and the wind badge.
#include "model/Basemap.h"
#include "model/MapTiles.h"
#include "model/RadarFrames.h"
#include "platform/TimeZones.h"
#include "ui/RadarView.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace nbr {
namespace {

using namespace maptiles;

// World pixels computed with y = W/2 - W/(2 pi) ln(tan(pi/4 + lat/2)), a
// different form of the same projection, in Python.
TEST(RadarMathTest, ProjectionMatchesIndependentlyComputedPixels) {
    const struct {
        double lon, lat;
        int z;
        double x, y;
    } cases[] = {
        {-71.0598, 42.3584, 5, 2478.9947733333333, 3030.004431896225},    // Boston
        {-71.0598, 42.3584, 7, 9915.979093333333, 12120.0177275849},
        {10.7522, 59.9139, 3, 1085.168071111111, 595.7168188372002},      // Oslo
        {151.2093, -33.8688, 12, 964717.0082133333, 629242.3326656377},   // Sydney
        {0, 0, 4, 2048, 2048},
        {-180, 85.0511287798, 3, 0, 0},                                    // the world's corner
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.lon << "," << c.lat << " z" << c.z);
        EXPECT_NEAR(lonToX(c.lon, c.z), c.x, 1e-6);
        EXPECT_NEAR(latToY(c.lat, c.z), c.y, 1e-6);
        EXPECT_NEAR(xToLon(c.x, c.z), c.lon, 1e-9);
        EXPECT_NEAR(yToLat(c.y, c.z), c.lat, 1e-9);
    }
    // Tile edges: column 9 of 32 starts at -78.75; rows 11 and 12 at zoom 5.
    EXPECT_DOUBLE_EQ(xToLon(9 * 256, 5), -78.75);
    EXPECT_NEAR(yToLat(11 * 256, 5), 48.92249926375825, 1e-9);
    EXPECT_NEAR(yToLat(12 * 256, 5), 40.97989806962013, 1e-9);
}

TEST(RadarMathTest, VisibleAndFetchedTileRanges) {
    // Boston at zoom 5 on a 700 x 500 canvas.
    const TileRange v = visibleTiles(2478.99, 3030.0, 700, 500);
    EXPECT_EQ(v, (TileRange{8, 11, 10, 12}));
    // Negative pixels floor to negative tiles.
    EXPECT_EQ(visibleTiles(100, 100, 700, 500), (TileRange{-1, 1, -1, 1}));

    EXPECT_EQ(fetchZoom(5), 5);
    EXPECT_EQ(fetchZoom(12), 7);
    EXPECT_EQ(fetchRange({100, 103, 40, 41}, 9), (TileRange{25, 25, 10, 10}));
    EXPECT_EQ(fetchRange({-3, 2, 0, 1}, 8), (TileRange{-2, 1, 0, 0}));  // arithmetic shift
    EXPECT_EQ(fetchRange({8, 11, 10, 12}, 5), (TileRange{8, 11, 10, 12}));

    EXPECT_TRUE(tileExists(3, 0, 0));
    EXPECT_TRUE(tileExists(3, 7, 7));
    EXPECT_FALSE(tileExists(3, -1, 0));
    EXPECT_FALSE(tileExists(3, 8, 0));
    EXPECT_FALSE(tileExists(3, 0, 8));
    EXPECT_FALSE(tileExists(40, 0, 0));
}

TEST(RadarMathTest, FrameOrderAndSteps) {
    EXPECT_EQ(wantedFrames(3, 5, true), (std::vector<int>{3, 4, 0, 1, 2}));
    EXPECT_EQ(wantedFrames(3, 5, false), (std::vector<int>{3}));
    EXPECT_EQ(wantedFrames(9, 5, false), (std::vector<int>{0}));  // out of range: the first
    EXPECT_TRUE(wantedFrames(0, 0, true).empty());
    EXPECT_EQ(stepFrame(0, 8, -1), 7);
    EXPECT_EQ(stepFrame(7, 8, +1), 0);
}

TEST(RadarMathTest, CoarserTilePartsAndTrimming) {
    // Zoom 9 tile (101, 46) from its zoom-7 parent (25, 11): the second quarter
    // across and the third down.
    TilePart p = coarserPart(9, 101, 46, 7);
    EXPECT_EQ(p.x, 25);
    EXPECT_EQ(p.y, 11);
    EXPECT_FLOAT_EQ(p.u0, 0.25f);
    EXPECT_FLOAT_EQ(p.u1, 0.5f);
    EXPECT_FLOAT_EQ(p.v0, 0.5f);
    EXPECT_FLOAT_EQ(p.v1, 0.75f);

    const TileRange vis{100, 103, 40, 42};  // at zoom 9
    EXPECT_TRUE(keepOnTrim(9, 98, 44, 9, vis));    // 2 outside still kept
    EXPECT_FALSE(keepOnTrim(9, 97, 41, 9, vis));
    EXPECT_FALSE(keepOnTrim(9, 101, 45, 9, vis));
    EXPECT_TRUE(keepOnTrim(7, 25, 10, 9, vis));    // the range at zoom 7 is 25..25, 10..10
    EXPECT_TRUE(keepOnTrim(7, 27, 12, 9, vis));
    EXPECT_FALSE(keepOnTrim(7, 28, 10, 9, vis));
    EXPECT_FALSE(keepOnTrim(10, 200, 80, 9, vis));  // finer than the view
}

TEST(RadarMathTest, WindCompassAndCaption) {
    const struct {
        double deg;
        const char* name;
    } names[] = {{11.24, "N"}, {11.25, "NNE"}, {202.5, "SSW"}, {340, "NNW"}, {348.75, "N"},
                 {-10, "N"},   {-20, "NNW"},   {-348.75, "NNE"}, {765, "NE"}};
    for (const auto& c : names) EXPECT_EQ(windCompass(c.deg), c.name) << c.deg;

    EXPECT_EQ(radarWindCaption(350, 20, 26, false), "N 20 g26 km/h");
    EXPECT_EQ(radarWindCaption(350, 20, 25, false), "N 20 km/h");
    EXPECT_EQ(radarWindCaption(90, 40, 60, true), "E 25 g37 mph");
    EXPECT_EQ(radarWindCaption(90, 40, 48, true), "E 25 mph");  // 29.8 mph is not 5 above 24.9
}

TEST(RadarMathTest, TimeLabelTexts) {
    const std::int64_t now = 1767258300;  // 2026-01-01 09:05 UTC
    const PlaceClock utc = PlaceClock::fixed(0);
    const struct {
        std::int64_t t;
        bool nowcast;
        const char* text;
        RadarTimeLabel::Tone tone;
        bool use24 = false;
        const PlaceClock* clock = nullptr;  // UTC when none
    } cases[] = {
        {now, false, "9:05 AM  (now)", RadarTimeLabel::Live},
        {now - 179, false, "9:02 AM  (now)", RadarTimeLabel::Live},
        {now - 180, false, "9:02 AM  (-3 min)", RadarTimeLabel::Fg},
        {now + 1800, true, "9:35 AM  (+30 min forecast)", RadarTimeLabel::Amber},
        {now + 8 * 3600, false, "5:05 PM  (+480 min)", RadarTimeLabel::Fg},
        {now + 8 * 3600, false, "17:05  (+480 min)", RadarTimeLabel::Fg, true},
        {0, true, "forecast", RadarTimeLabel::Amber},
        {-5, false, "", RadarTimeLabel::Live},
    };
    for (const auto& c : cases) {
        const RadarTimeLabel l = radarTimeLabel(c.t, c.nowcast, now, c.clock ? *c.clock : utc, c.use24);
        EXPECT_EQ(l.text, c.text);
        EXPECT_EQ(l.tone, c.tone) << c.text;
    }
    // On the place's clock, whatever the computer's, across its spring change
    // (Oslo, 2027-03-28 01:00 UTC); a clock not known yet says UTC.
    setenv("TZ", "America/New_York", 1);
    tzset();
    const PlaceClock oslo(platform::zoneOffsets("Europe/Oslo"));
    const std::int64_t change = 1806195600;
    EXPECT_EQ(radarTimeLabel(change - 600, false, change, oslo, true).text, "01:50  (-10 min)");
    EXPECT_EQ(radarTimeLabel(change + 600, true, change, oslo, true).text, "03:10  (+10 min forecast)");
    EXPECT_EQ(radarTimeLabel(change, false, change, PlaceClock(), false).text, "1:00 AM UTC  (now)");
    unsetenv("TZ");
    tzset();
}

std::string listJson(int past, int nowcast, const char* host = "https://tiles.example") {
    std::string s = std::string("{\"host\":\"") + host + "\",\"radar\":{\"past\":[";
    for (int i = 0; i < past; ++i) s += (i ? "," : "") + ("{\"time\":" + std::to_string(1000 + i) + ",\"path\":\"/p" + std::to_string(i) + "\"}");
    s += "],\"nowcast\":[";
    for (int i = 0; i < nowcast; ++i) s += (i ? "," : "") + ("{\"time\":" + std::to_string(2000 + i) + ",\"path\":\"/n" + std::to_string(i) + "\"}");
    return s + "]}}";
}

TEST(RadarFramesTest, FrameListsAndTheFrameShownFirst) {
    auto list = radar::parseFrameList(listJson(10, 3));
    ASSERT_TRUE(list);
    ASSERT_EQ(list->frames.size(), 13u);
    EXPECT_EQ(list->pastCount, 10);
    EXPECT_FALSE(list->frames[9].nowcast);
    EXPECT_TRUE(list->frames[10].nowcast);
    EXPECT_EQ(list->frames[12].time, 2002);
    bool chosen = false;
    EXPECT_EQ(radar::chooseFrameIndex(chosen, 0, list->pastCount, 13), 9);
    EXPECT_TRUE(chosen);
    EXPECT_EQ(radar::chooseFrameIndex(chosen, 12, 10, 5), 4);  // a chosen index stays within the list

    list = radar::parseFrameList(listJson(0, 3));
    chosen = false;
    EXPECT_EQ(radar::chooseFrameIndex(chosen, 0, list->pastCount, 3), 2);
    list = radar::parseFrameList(listJson(0, 0));
    chosen = false;
    EXPECT_EQ(radar::chooseFrameIndex(chosen, 0, 0, 0), 0);
    EXPECT_EQ(radar::chooseFrameIndex(chosen, 4, 0, 0), 0);

    // Frames without a path or a time are dropped, the others stay; missing parts add nothing.
    list = radar::parseFrameList(R"({"host":"h","radar":{"past":[{"path":"","time":1},{"path":"/a"},null,)"
                                 R"({"path":null,"time":2},{"path":"/c","time":null},{"path":"/b","time":7}],)"
                                 R"("nowcast":[{"time":5}]}})");
    ASSERT_TRUE(list);
    ASSERT_EQ(list->frames.size(), 1u);
    EXPECT_EQ(list->frames[0].time, 7);
    EXPECT_EQ(list->pastCount, 1);
    // Huge and fractional times are held, not wrapped.
    list = radar::parseFrameList(R"({"radar":{"past":[{"path":"/a","time":1e30},{"path":"/b","time":12.9}]}})");
    ASSERT_TRUE(list);
    EXPECT_EQ(list->frames[0].time, INT64_MAX);
    EXPECT_EQ(list->frames[1].time, 12);

    // Malformed text or a member of the wrong type abandons the list.
    for (const char* bad : {"", "{", "[]", R"({"host":5})", R"({"radar":{"past":{}}})",
                            R"({"radar":{"past":[{"path":7}]}})", R"({"radar":{"nowcast":[{"path":"/a","time":"x"}]}})",
                            R"({"radar":{"past":[3]}})"})
        EXPECT_FALSE(radar::parseFrameList(bad)) << bad;
}

TEST(RadarFramesTest, OnlyHostCountOrPathsChangeTheList) {
    const auto a = *radar::parseFrameList(listJson(3, 1));
    radar::FrameList b = a;
    for (auto& f : b.frames) f.time += 600;
    b.frames[0].nowcast = true;
    EXPECT_FALSE(radar::frameListChanged(a.host, a.frames, b));
    b.frames[2].path = "/other";
    EXPECT_TRUE(radar::frameListChanged(a.host, a.frames, b));
    EXPECT_TRUE(radar::frameListChanged("https://elsewhere", a.frames, a));
    radar::FrameList shorter = a;
    shorter.frames.pop_back();
    EXPECT_TRUE(radar::frameListChanged(a.host, a.frames, shorter));
}

TEST(RadarFramesTest, TileUrlsAreWholeAndHttpsOnly) {
    EXPECT_EQ(radar::tileUrl("https://tilecache.example", "/v2/radar/1700000000", 7, 38, 47),
              "https://tilecache.example/v2/radar/1700000000/256/7/38/47/4/1_1.png");
    // A long host is not cut (a fixed buffer once cut such URLs at 256 bytes).
    const std::string host = "https://" + std::string(300, 'h') + ".example";
    const std::string url = radar::tileUrl(host, "/p", 3, 1, 2);
    EXPECT_EQ(url, host + "/p/256/3/1/2/4/1_1.png");
    // Anything but https is never asked for, except the stand-in server.
    EXPECT_EQ(radar::tileUrl("http://tilecache.example", "/p", 3, 1, 2), "");
    EXPECT_EQ(radar::tileUrl("file:///etc", "/p", 3, 1, 2), "");
    EXPECT_EQ(radar::tileUrl("http://127.0.0.1:5/rainviewer", "/p", 3, 1, 2, "http://127.0.0.1:5"),
              "http://127.0.0.1:5/rainviewer/p/256/3/1/2/4/1_1.png");
}

TEST(RadarBasemapTest, LinesOfLineStringsAndMultiLineStrings) {
    std::vector<basemap::Polyline> lines;
    basemap::readLines(R"({"type":"FeatureCollection","features":[
        {"geometry":{"type":"LineString","coordinates":[[-71,42],[-70.5,42.5,10],[-70,41]]}},
        {"geometry":{"type":"MultiLineString","coordinates":[[[1,2],[3,4]],[[5,6]],[[7,8],"x",[9]]]}},
        {"geometry":{"type":"Polygon","coordinates":[[[0,0],[1,1],[0,0]]]}},
        {"geometry":null},
        {"properties":{}},
        {"geometry":{"type":"LineString","coordinates":[[0,0],[1e39,0],[2,2]]}},
        {"geometry":{"type":"LineString","coordinates":[[170,-16],[180,-16.5],[-180,-16.5],[-170,-17],[179,-17]]}}
    ]})", lines);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0].points.size(), 3u);
    EXPECT_FLOAT_EQ(lines[0].minLon, -71);
    EXPECT_FLOAT_EQ(lines[0].maxLon, -70);
    EXPECT_FLOAT_EQ(lines[0].minLat, 41);
    EXPECT_FLOAT_EQ(lines[0].maxLat, 42.5);
    EXPECT_EQ(lines[1].points.size(), 2u);  // [[5,6]] and the line with one good point are left out
    EXPECT_EQ(lines[2].points.size(), 2u);  // the point beyond float range is skipped
    EXPECT_FLOAT_EQ(lines[2].maxLon, 2);
    // Across the 180th meridian: a line on each side; the last point, alone again, is left out.
    EXPECT_TRUE(lines[3].minLon == 170 && lines[3].maxLon == 180 && lines[3].points.size() == 2);
    EXPECT_TRUE(lines[4].minLon == -180 && lines[4].maxLon == -170 && lines[4].points.size() == 2);

    // Appending: a second file adds to the same layer; bad text adds nothing.
    basemap::readLines(R"({"features":[{"geometry":{"type":"LineString","coordinates":[[0,0],[1,1]]}}]})", lines);
    basemap::readLines("not json", lines);
    basemap::readLines("", lines);
    EXPECT_EQ(lines.size(), 6u);
}

TEST(RadarBasemapTest, PlacesUpToTheFirstMalformedFeature) {
    std::vector<basemap::Place> places;
    basemap::readPlaces(R"({"features":[
        {"geometry":{"type":"Point","coordinates":[-71.06,42.36]},"properties":{"name":"Boston","scalerank":4}},
        {"geometry":{"type":"Point","coordinates":[10.75,59.91]},"properties":{"name":"Oslo","nameascii":"Oslo A"}},
        {"geometry":{"type":"LineString","coordinates":[[0,0],[1,1]]},"properties":{}},
        {"geometry":{"type":"Point","coordinates":[1,2]},"properties":{"scalerank":1e300}},
        {"geometry":{"type":"Point","coordinates":[1]},"properties":{"name":"Broken"}},
        {"geometry":{"type":"Point","coordinates":[3,4]},"properties":{"name":"After"}}
    ]})", places);
    ASSERT_EQ(places.size(), 3u);
    EXPECT_EQ(places[0].name, "Boston");
    EXPECT_EQ(places[0].scalerank, 4);
    EXPECT_FLOAT_EQ(places[0].lon, -71.06f);
    EXPECT_EQ(places[1].name, "Oslo A");
    EXPECT_EQ(places[1].scalerank, 10);
    EXPECT_EQ(places[2].scalerank, 10);  // out of int range: the default
    EXPECT_EQ(places[2].name, "");
}

}  // namespace
}  // namespace nbr
