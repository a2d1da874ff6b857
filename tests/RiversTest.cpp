// Readers of the river-discharge and stream-gauge replies.
#include "SourceFixtures.h"
#include "service/WeatherService.h"

namespace nbr {
namespace {

using test::filledFixture;
using WS = WeatherService;

TEST(RiverReaders, DischargeOfTodayAndTheWeeksHighest) {
    const auto boston = WS::parseFlood(filledFixture("flood/boston.json", "boston"));
    ASSERT_TRUE(boston);
    EXPECT_TRUE(boston->valid);
    EXPECT_DOUBLE_EQ(boston->riverDischarge, 14.82);
    EXPECT_DOUBLE_EQ(boston->riverDischargeMax, 21.46);  // the null day is skipped
    EXPECT_FALSE(boston->hasGauge);
    EXPECT_EQ(boston->gaugeDischarge, -1);
    EXPECT_FALSE(WS::parseFlood(filledFixture("flood/oslo.json", "oslo")));  // all null: nothing here

    const auto first = [](const char* rd) { return WS::parseFlood(std::string("{\"daily\":{\"river_discharge\":") + rd + "}}"); };
    EXPECT_DOUBLE_EQ(first("[5.0,null,7.5,6.0]")->riverDischargeMax, 7.5);
    EXPECT_DOUBLE_EQ(first("[2.0,1.0]")->riverDischargeMax, 2.0);
    for (const char* rd : {"[null,3.0]", "[]", "\"5\"", "null"}) EXPECT_FALSE(first(rd)) << rd;
    EXPECT_FALSE(WS::parseFlood("{\"error\":true,\"reason\":\"x\"}"));
    EXPECT_FALSE(WS::parseFlood("{\"daily\":null}"));
    // Unreadable replies throw: no flag for them.
    for (const char* body : {"<html></html>", "[1]", "{\"daily\":5}", "{\"error\":\"yes\",\"daily\":{}}"})
        EXPECT_THROW(WS::parseFlood(body), std::exception) << body;
}

TEST(RiverReaders, NearestGaugeWithinRangeAndItsNewestReadings) {
    const std::string reply = filledFixture("usgswater/boston.json", "boston");
    FloodInfo f;
    WS::parseUsgsGauge(reply, 42.3584, -71.0598, f);
    EXPECT_TRUE(f.hasGauge);
    EXPECT_EQ(f.gaugeSite, "ABERJONA RIVER AT WINCHESTER, MA");
    EXPECT_NEAR(f.gaugeDistanceKm, haversineKm(42.3584, -71.0598, 42.44731, -71.1389), 1e-9);
    EXPECT_DOUBLE_EQ(f.gaugeDischarge, 36.9 * 0.0283168);
    EXPECT_DOUBLE_EQ(f.gaugeHeight, 2.39 * 0.3048);

    // Beside the other site: its newest discharge is a no-data value, so only
    // the gauge height is taken.
    FloodInfo w;
    WS::parseUsgsGauge(reply, 42.37, -71.23, w);
    EXPECT_EQ(w.gaugeSite, "CHARLES RIVER AT WALTHAM, MA");
    EXPECT_EQ(w.gaugeDischarge, -1);
    EXPECT_DOUBLE_EQ(w.gaugeHeight, 4.10 * 0.3048);

    // 50 km is in range, a little more is not.
    const double lat50 = 42.44731 + 50.0 / 12742.0 * 2 * 180 / 3.14159265358979;
    FloodInfo edge, beyond;
    WS::parseUsgsGauge(reply, lat50 - 1e-6, -71.1389, edge);
    WS::parseUsgsGauge(reply, lat50 + 0.001, -71.1389, beyond);
    EXPECT_TRUE(edge.hasGauge);
    EXPECT_FALSE(beyond.hasGauge);
}

TEST(RiverReaders, RealGaugeReply) {
    NIMBREL_REAL_REPLY(reply, "usgs/waterservices_iv_01491000_01645000_2019_trimmed-by-upstream.json");
    FloodInfo f;
    WS::parseUsgsGauge(reply, 39.10, -77.30, f);
    EXPECT_TRUE(f.hasGauge);
    EXPECT_EQ(f.gaugeSite, "SENECA CREEK AT DAWSONVILLE, MD");
    EXPECT_DOUBLE_EQ(f.gaugeDischarge, 474 * 0.0283168);
    EXPECT_DOUBLE_EQ(f.gaugeHeight, 3.13 * 0.3048);
    FloodInfo far;
    WS::parseUsgsGauge(reply, 38.5, -77.0, far);  // both sites farther than 50 km
    EXPECT_FALSE(far.hasGauge);
}

}  // namespace
}  // namespace nbr
