// Readers of the river-discharge and stream-gauge replies.
#include "SourceFixtures.h"
#include "service/WeatherService.h"

namespace nbr {
namespace {

using WS = WeatherService;

TEST(RiverReaders, FirstValueDecidesAndUnreadableRepliesThrow) {
    const auto first = [](const char* rd) { return WS::parseFlood(std::string("{\"daily\":{\"river_discharge\":") + rd + "}}"); };
    EXPECT_EQ(first("[5.0,null,7.5,6.0]")->riverDischargeMax, 7.5);
    EXPECT_EQ(first("[2.0,1.0]")->riverDischargeMax, 2.0);
    const auto unknownNow = first("[null,668.9,691,null]");  // not the next day's value; the peak stays
    EXPECT_EQ(unknownNow->riverDischarge, -1);
    EXPECT_EQ(unknownNow->riverDischargeMax, 691);
    EXPECT_EQ(first("[\"5\",3]")->riverDischarge, -1);
    for (const char* rd : {"[null,null]", "[]", "\"5\"", "null"}) EXPECT_FALSE(first(rd)) << rd;
    EXPECT_FALSE(WS::parseFlood("{\"error\":true,\"reason\":\"x\"}"));
    EXPECT_FALSE(WS::parseFlood("{\"daily\":null}"));
    for (const char* body : {"<html></html>", "[1]", "{\"daily\":5}", "{\"error\":\"yes\",\"daily\":{}}"})
        EXPECT_THROW(WS::parseFlood(body), std::exception) << body;
}

TEST(RiverReaders, GaugeRangeAndNoDataReadings) {
    const std::string reply = test::filledFixture("usgswater/boston.json", "boston");
    // Beside the Charles River gauge: its newest discharge is a no-data value,
    // so only the gauge height is taken.
    FloodInfo w;
    WS::parseUsgsGauge(reply, 42.37, -71.23, w);
    EXPECT_EQ(w.gaugeSite, "CHARLES RIVER AT WALTHAM, MA");
    EXPECT_EQ(w.gaugeDischarge, -1);
    EXPECT_DOUBLE_EQ(w.gaugeHeight, 4.10 * 0.3048);
    // 50 km north of the Aberjona gauge is in range, a little more is not.
    const double lat50 = 42.44731 + 50.0 / 6371.0 * 180 / 3.14159265358979;
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
    EXPECT_EQ(f.gaugeSite, "SENECA CREEK AT DAWSONVILLE, MD");
    EXPECT_DOUBLE_EQ(f.gaugeDischarge, 474 * 0.0283168);
    EXPECT_DOUBLE_EQ(f.gaugeHeight, 3.13 * 0.3048);
    FloodInfo far;
    WS::parseUsgsGauge(reply, 38.5, -77.0, far);  // both sites farther than 50 km
    EXPECT_FALSE(far.hasGauge);
}

}  // namespace
}  // namespace nbr
