// Unit and clock texts of the dashboard.
#include "foundation/LocationManager.h"
#include "service/WeatherService.h"
#include "ui/UIRenderer.h"

#include <gtest/gtest.h>

namespace nbr {
namespace {

class FormatTest : public ::testing::Test {
protected:
    Config config;
    WeatherService service;
    LocationManager places{config, service};
    UIRenderer ui{places, config};
};

TEST_F(FormatTest, TemperatureInBothUnitsAndAValueRoundingToZeroHasNoMinus) {
    config.useFahrenheit = true;
    EXPECT_EQ(ui.formatTemp(0), "32F");
    EXPECT_EQ(ui.formatTemp(-40), "-40F");
    EXPECT_EQ(ui.formatTemp(21.4), "71F");  // 70.52
    EXPECT_EQ(ui.formatTemp(1.7e308), "--");  // beyond a double once converted
    EXPECT_EQ(ui.formatTemp(kUnknownTemperature), "--");
    config.useFahrenheit = false;
    EXPECT_EQ(ui.formatTemp(0), "0C");
    EXPECT_EQ(ui.formatTemp(-0.4), "0C");
    EXPECT_EQ(ui.formatTemp(-0.6), "-1C");
    EXPECT_EQ(ui.formatTemp(21.6), "22C");
}

TEST_F(FormatTest, TemperatureDifferenceAlwaysSignedWithoutUnit) {
    config.useFahrenheit = false;
    EXPECT_EQ(ui.formatTempDelta(0), "+0.0");
    EXPECT_EQ(ui.formatTempDelta(-2.25), "-2.2");
    EXPECT_EQ(ui.formatTempDelta(-0.04), "+0.0");
    config.useFahrenheit = true;
    EXPECT_EQ(ui.formatTempDelta(1.0), "+1.8");
    EXPECT_EQ(ui.formatTempDelta(-5.0), "-9.0");
    EXPECT_EQ(ui.formatTempDelta(-1.7e308), "--");
}

TEST_F(FormatTest, SpeedFollowsWindUnitAndUnknownUnitShowsMph) {
    const char* expected[] = {"6 mph", "10 km/h", "2.8 m/s", "5 kn"};
    for (int unit = 0; unit < 4; ++unit) {
        config.windUnit = unit;
        EXPECT_EQ(ui.formatSpeed(10), expected[unit]) << unit;
    }
    config.windUnit = 7;
    EXPECT_EQ(ui.formatSpeed(10), "6 mph");
    config.windUnit = -1;
    EXPECT_EQ(ui.formatSpeed(100), "62 mph");
}

TEST_F(FormatTest, PrecipitationSnowAndPressure) {
    config.precipUnit = 0;
    EXPECT_EQ(ui.formatPrecip(25.4), "1.00 in");
    EXPECT_EQ(ui.formatSnow(2.54), "1.0 in");
    config.precipUnit = 1;
    EXPECT_EQ(ui.formatPrecip(3.25), "3.2 mm");
    EXPECT_EQ(ui.formatSnow(12.0), "12.0 cm");
    config.pressureUnit = 0;
    EXPECT_EQ(ui.formatPressure(1013.25), "29.92 inHg");
    config.pressureUnit = 1;
    EXPECT_EQ(ui.formatPressure(1013.25), "1013 hPa");
    for (const std::string& t : {ui.formatPrecip(-1), ui.formatSnow(-1), ui.formatPressure(-1), ui.formatSpeed(-1),
                                 ui.formatVisibility(-1)})
        EXPECT_EQ(t, "--");  // a value the service did not give
}

TEST_F(FormatTest, VisibilityFollowsWindUnitNotAUnitOfItsOwn) {
    config.windUnit = 0;
    EXPECT_EQ(ui.formatVisibility(16093.44), "10 mi");
    config.windUnit = 1;
    EXPECT_EQ(ui.formatVisibility(16093.44), "16 km");
    config.windUnit = 3;
    EXPECT_EQ(ui.formatVisibility(24000), "24 km");
    // A wind unit outside the table shows as mph, so visibility is in miles.
    config.windUnit = 7;
    EXPECT_EQ(ui.formatVisibility(16093.44), "10 mi");
    config.pressureUnit = 2;
    config.precipUnit = -1;
    EXPECT_EQ(ui.formatPressure(1013.25), "29.92 inHg");
    EXPECT_EQ(ui.formatPrecip(25.4), "1.00 in");
}

TEST(ClockTest, TwelveAndTwentyFourHourTexts) {
    EXPECT_EQ(clockHM(0, 5, false), "12:05 AM");
    EXPECT_EQ(clockHM(0, 5, true), "00:05");
    EXPECT_EQ(clockHM(12, 0, false), "12:00 PM");
    EXPECT_EQ(clockHM(11, 59, false), "11:59 AM");
    EXPECT_EQ(clockHM(23, 7, false), "11:07 PM");
    EXPECT_EQ(clockHM(23, 7, true), "23:07");
}

TEST(ClockTest, FormatClockReadsTheTimeOfAnIsoLocalString) {
    EXPECT_EQ(formatClock("2026-03-01T00:05", false), "12:05 AM");
    EXPECT_EQ(formatClock("2026-03-01T00:05", true), "00:05");
    EXPECT_EQ(formatClock("2026-03-01T12:00", false), "12:00 PM");
    EXPECT_EQ(formatClock("2026-03-01T18:45:30", true), "18:45");
    EXPECT_EQ(formatClock("2026-03-01", false), "");
    EXPECT_EQ(formatClock("", true), "");
    EXPECT_EQ(formatClock("2026-03-01Txx:yy", true), "");
}

}  // namespace
}  // namespace nbr
