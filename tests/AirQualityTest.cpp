// Reader of the air-quality reply.
#include "service/WeatherService.h"

#include <gtest/gtest.h>

namespace nbr {
namespace {

using WS = WeatherService;

TEST(AirQualityReader, IndicesDecideValidityAndAPollutantOfAnotherTypeSpoilsTheReply) {
    // A pollutant without a value (null) is not known; the rest is read.
    const AirQuality eu =
        WS::parseAirQuality("{\"current\":{\"us_aqi\":null,\"european_aqi\":12,\"birch_pollen\":\"high\"}}");
    EXPECT_TRUE(eu.valid);
    EXPECT_EQ(eu.usAqi, -1);
    EXPECT_EQ(eu.birchPollen, -1);
    EXPECT_FALSE(WS::parseAirQuality("{\"current\":{\"us_aqi\":-1,\"pm10\":3}}").valid);
    EXPECT_FALSE(WS::parseAirQuality("{\"error\":true,\"current\":{\"us_aqi\":5}}").valid);
    EXPECT_FALSE(WS::parseAirQuality("{\"latitude\":1}").valid);
    for (const char* body : {"{\"current\":{\"ozone\":\"12\"}}",
                             "{\"current\":{\"pm2_5\":true}}", "{\"current\":[]}", "[]", "<html>"})
        EXPECT_THROW(WS::parseAirQuality(body), std::exception) << body;
}

}  // namespace
}  // namespace nbr
