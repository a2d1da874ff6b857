// Reader of the air-quality reply.
#include "SourceFixtures.h"
#include "service/WeatherService.h"

namespace nbr {
namespace {

using test::filledFixture;
using WS = WeatherService;

TEST(AirQualityReader, PollutantsEverywhereAndPollenWhereMeasured) {
    const AirQuality oslo = WS::parseAirQuality(filledFixture("airquality/oslo.json", "oslo"));
    EXPECT_TRUE(oslo.valid);
    const double expected[] = {29, 21, 4.8, 7.3, 52.0, 18.6, 0.7, 168.0, 2.4, 31.5, 6.1, 0, 0, 0};
    const double got[] = {oslo.usAqi, oslo.europeanAqi, oslo.pm2_5, oslo.pm10, oslo.ozone, oslo.nitrogenDioxide,
                          oslo.sulphurDioxide, oslo.carbonMonoxide, oslo.alderPollen, oslo.birchPollen,
                          oslo.grassPollen, oslo.mugwortPollen, oslo.olivePollen, oslo.ragweedPollen};
    for (size_t i = 0; i < 14; ++i) EXPECT_DOUBLE_EQ(got[i], expected[i]) << i;

    const AirQuality boston = WS::parseAirQuality(filledFixture("airquality/boston.json", "boston"));
    EXPECT_TRUE(boston.valid);
    EXPECT_DOUBLE_EQ(boston.usAqi, 38);
    for (double p : {boston.alderPollen, boston.birchPollen, boston.grassPollen, boston.mugwortPollen,
                     boston.olivePollen, boston.ragweedPollen})
        EXPECT_EQ(p, -1);  // null pollen outside the measured regions
}

TEST(AirQualityReader, IndicesDecideValidityAndAMissingPollutantSpoilsTheReply) {
    const AirQuality eu = WS::parseAirQuality("{\"current\":{\"european_aqi\":12,\"birch_pollen\":\"high\"}}");
    EXPECT_TRUE(eu.valid);
    EXPECT_EQ(eu.usAqi, -1);
    EXPECT_EQ(eu.birchPollen, -1);
    EXPECT_FALSE(WS::parseAirQuality("{\"current\":{\"us_aqi\":-1,\"pm10\":3}}").valid);
    EXPECT_FALSE(WS::parseAirQuality("{\"error\":true,\"current\":{\"us_aqi\":5}}").valid);
    EXPECT_FALSE(WS::parseAirQuality("{\"latitude\":1}").valid);
    for (const char* body : {"{\"current\":{\"us_aqi\":null}}", "{\"current\":{\"ozone\":\"12\"}}",
                             "{\"current\":{\"pm2_5\":true}}", "{\"current\":[]}", "[]", "<html>"})
        EXPECT_THROW(WS::parseAirQuality(body), std::exception) << body;
}

}  // namespace
}  // namespace nbr
