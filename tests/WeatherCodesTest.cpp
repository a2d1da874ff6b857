#include "model/PlaceClock.h"
#include "model/WeatherCodes.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <string>

namespace nbr {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(WeatherCodeTest, KnownCodesHaveTextsAndCells) {
    // 28 codes of 0..99 are known; each has a short text and a cell of the 6 x 5 sheet.
    int known = 0;
    for (int code = 0; code <= 99; ++code) {
        if (std::string(weatherCodeToString(code)) == "Unknown") continue;
        SCOPED_TRACE(code);
        ++known;
        EXPECT_STRNE(weatherCodeToShortString(code), "--");
        for (bool night : {false, true}) {
            EXPECT_GE(weatherCodeToIconCell(code, night), 0);
            EXPECT_LE(weatherCodeToIconCell(code, night), 29);
        }
    }
    EXPECT_EQ(known, 28);

    EXPECT_STREQ(weatherCodeToString(0), "Clear Sky");
    EXPECT_STREQ(weatherCodeToShortString(2), "PtCloud");
    EXPECT_STREQ(weatherCodeToString(99), "Severe Thunderstorm w/ Hail");
    EXPECT_STREQ(weatherCodeToShortString(86), "SnowShw");
    // Night cells exist only for clear to overcast, showers and thunder.
    const int nightCells[][3] = {{0, 0, 24}, {1, 1, 25}, {2, 2, 26}, {3, 3, 27}, {80, 9, 28}, {81, 9, 28},
                                 {95, 12, 29}, {82, 8, 8}, {45, 4, 4}, {96, 17, 17}};
    for (const auto& c : nightCells) {
        SCOPED_TRACE(c[0]);
        EXPECT_EQ(weatherCodeToIconCell(c[0], false), c[1]);
        EXPECT_EQ(weatherCodeToIconCell(c[0], true), c[2]);
    }
    // Dense drizzle and moderate rain share a cell.
    EXPECT_EQ(weatherCodeToIconCell(55, false), 7);
    EXPECT_EQ(weatherCodeToIconCell(63, false), 7);
}

TEST(WeatherCodeTest, CodesOutsideTheTableGiveFixedFallbacks) {
    for (int code : {4, 100, -1, 50, 98, INT_MIN, INT_MAX}) {
        SCOPED_TRACE(code);
        EXPECT_STREQ(weatherCodeToString(code), "Unknown");
        EXPECT_STREQ(weatherCodeToShortString(code), "--");
        EXPECT_EQ(weatherCodeToIconCell(code, false), -1);
        EXPECT_EQ(weatherCodeToIconCell(code, true), -1);
    }
}

TEST(CategoryTest, UvBandsAreOpenAtTheTop) {
    EXPECT_STREQ(uvCategory(-1), "Low");
    EXPECT_STREQ(uvCategory(0), "Low");
    EXPECT_STREQ(uvCategory(2.99), "Low");
    EXPECT_STREQ(uvCategory(3.0), "Moderate");
    EXPECT_STREQ(uvCategory(5.99), "Moderate");
    EXPECT_STREQ(uvCategory(6.0), "High");
    EXPECT_STREQ(uvCategory(8.0), "Very High");
    EXPECT_STREQ(uvCategory(10.99), "Very High");
    EXPECT_STREQ(uvCategory(11.0), "Extreme");
    EXPECT_STREQ(uvCategory(kInf), "Extreme");
    // A missing reading is never shown as extreme.
    EXPECT_STREQ(uvCategory(kNaN), "--");
}

TEST(CategoryTest, AqiBandsAreClosedAtTheTop) {
    struct Case {
        double aqi;
        const char* category;
        const char* guidance;
    };
    const Case cases[] = {
        {-1, "--", ""},
        {-0.01, "--", ""},
        {0, "Good", "Good - air is clean, enjoy the outdoors."},
        {50.0, "Good", "Good - air is clean, enjoy the outdoors."},
        {50.5, "Moderate", "Moderate - fine for most; sensitive folks ease up."},
        {100, "Moderate", "Moderate - fine for most; sensitive folks ease up."},
        {100.01, "Unhealthy (Sensitive)", "Sensitive groups: limit prolonged exertion."},
        {150, "Unhealthy (Sensitive)", "Sensitive groups: limit prolonged exertion."},
        {151, "Unhealthy", "Unhealthy - everyone limit prolonged exertion."},
        {200, "Unhealthy", "Unhealthy - everyone limit prolonged exertion."},
        {201, "Very Unhealthy", "Very unhealthy - stay indoors if you can."},
        {300, "Very Unhealthy", "Very unhealthy - stay indoors if you can."},
        {300.5, "Hazardous", "Hazardous - avoid outdoor exertion."},
        {1e9, "Hazardous", "Hazardous - avoid outdoor exertion."},
        {kInf, "Hazardous", "Hazardous - avoid outdoor exertion."},
        {kNaN, "--", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.aqi);
        EXPECT_STREQ(aqiCategory(c.aqi), c.category);
        EXPECT_STREQ(aqiHealthGuidance(c.aqi), c.guidance);
    }
}

TEST(CategoryTest, PressureTrendNeedsAFullHectopascal) {
    EXPECT_EQ(classifyPressureTrend(1.0), 2);
    EXPECT_EQ(classifyPressureTrend(5.0), 2);
    EXPECT_EQ(classifyPressureTrend(0.99), 1);
    EXPECT_EQ(classifyPressureTrend(0.0), 1);
    EXPECT_EQ(classifyPressureTrend(-0.99), 1);
    EXPECT_EQ(classifyPressureTrend(-1.0), 0);
    EXPECT_EQ(classifyPressureTrend(-7.5), 0);
    EXPECT_EQ(classifyPressureTrend(kNaN), 1);
}

TEST(CategoryTest, WindBearingToEightPoints) {
    EXPECT_STREQ(windDirectionToString(0), "N");
    EXPECT_STREQ(windDirectionToString(22.49), "N");
    EXPECT_STREQ(windDirectionToString(22.5), "NE");
    EXPECT_STREQ(windDirectionToString(90), "E");
    EXPECT_STREQ(windDirectionToString(135), "SE");
    EXPECT_STREQ(windDirectionToString(180), "S");
    EXPECT_STREQ(windDirectionToString(225), "SW");
    EXPECT_STREQ(windDirectionToString(270), "W");
    EXPECT_STREQ(windDirectionToString(337.49), "NW");
    EXPECT_STREQ(windDirectionToString(337.5), "N");
    EXPECT_STREQ(windDirectionToString(359), "N");
    EXPECT_STREQ(windDirectionToString(360), "N");
    EXPECT_STREQ(windDirectionToString(720), "N");
    EXPECT_STREQ(windDirectionToString(450), "E");
    EXPECT_STRNE(windDirectionToString(1e300), "N/A");
}

TEST(CategoryTest, WindBearingWithoutAValueIsNotAvailable) {
    EXPECT_STREQ(windDirectionToString(-0.1), "N/A");
    EXPECT_STREQ(windDirectionToString(-1), "N/A");
    EXPECT_STREQ(windDirectionToString(kNaN), "N/A");
    EXPECT_STREQ(windDirectionToString(kInf), "N/A");
    EXPECT_STREQ(windDirectionToString(-kInf), "N/A");
}

constexpr int64_t kFirstStep = 1796638500;  // 2026-12-07 10:15 UTC

// Quarter hours from kFirstStep, written at the reply's offset of -5 h.
WeatherData withSteps(std::initializer_list<double> mm) {
    WeatherData d;
    d.utcOffsetSeconds = -5 * 3600;
    for (double v : mm) {
        MinutelyForecast m;
        m.time = PlaceClock::fixed(d.utcOffsetSeconds).minuteOf(kFirstStep + 900 * int64_t(d.minutely15.size()));
        m.precipitation = v;
        d.minutely15.push_back(m);
    }
    return d;
}

void expectNowcast(const WeatherData& d, int state, int minutes, int64_t now = kFirstStep, int reach = -1) {
    const PrecipNowcast n = computePrecipNowcast(d, now);
    EXPECT_EQ(n.state, state) << now - kFirstStep;
    EXPECT_EQ(n.minutes, minutes) << now - kFirstStep;
    EXPECT_TRUE(reach < 0 || n.reachMinutes == reach) << n.reachMinutes << " minutes told";
}

TEST(NowcastTest, EmptyOrUniformSeries) {
    expectNowcast(WeatherData{}, PrecipNowcast::NoData, 0);
    expectNowcast(withSteps({0.0}), PrecipNowcast::Dry, 0);
    expectNowcast(withSteps({0.3}), PrecipNowcast::Continuing, 0);
    // 0.05 mm is still dry: only more than that is wet.
    expectNowcast(withSteps({0.05, 0.05, 0.05, 0.05, 0.05, 0.05, 0.05, 0.05}), PrecipNowcast::Dry, 0);
    expectNowcast(withSteps({0.06, 0.2, 1.0, 0.051}), PrecipNowcast::Continuing, 0);
}

TEST(NowcastTest, FirstChangeGivesTheMinutes) {
    expectNowcast(withSteps({0.0, 0.0, 0.3}), PrecipNowcast::StartsSoon, 30);
    expectNowcast(withSteps({0.0, 0.06}), PrecipNowcast::StartsSoon, 15);
    expectNowcast(withSteps({0.2, 0.1, 0.0}), PrecipNowcast::EndsSoon, 30);
    expectNowcast(withSteps({0.2, 0.05, 0.4}), PrecipNowcast::EndsSoon, 15);
    // Only the first change counts, and the whole series is scanned.
    expectNowcast(withSteps({0, 0, 0, 0, 0, 0, 0, 0.5}), PrecipNowcast::StartsSoon, 105);
    expectNowcast(withSteps({0, 0.5, 0, 0.5}), PrecipNowcast::StartsSoon, 15);
}

// The step holding the present is "now"; a step covers its quarter hour, and
// steps that no longer reach the present say nothing (an old record).
TEST(NowcastTest, CountedFromThePresent) {
    const WeatherData d = withSteps({0, 0, 0.3, 0.3, 0});
    const struct { int64_t after; int state, minutes, reach = -1; } rows[] = {
        {-1, PrecipNowcast::NoData, 0},           {20 * 60, PrecipNowcast::StartsSoon, 10},
        {29 * 60 + 1, PrecipNowcast::StartsSoon, 1}, {30 * 60, PrecipNowcast::EndsSoon, 30},
        {74 * 60 + 59, PrecipNowcast::Dry, 0},    {75 * 60, PrecipNowcast::NoData, 0},
        {2 * 3600, PrecipNowcast::NoData, 0},     {60 * 60 + 30, PrecipNowcast::Dry, 0, 14}};
    for (const auto& r : rows) expectNowcast(d, r.state, r.minutes, kFirstStep + r.after, r.reach);
}

// What falls is named by the first wet step's code: the one that starts it,
// or the present one while it is wet; neither while that code is not known.
TEST(NowcastTest, SnowWhenTheFirstWetStepHasASnowCode) {
    const struct { double mm0, mm1; int code0, code1; const char* what; } rows[] = {
        {0, 0.3, 0, 71, "Snow"},     {0, 0.3, 73, 61, "Rain"},   {0.3, 0, 86, 0, "Snow"}, {0.3, 0.3, 85, 61, "Snow"},
        {0.2, 0.2, 70, 70, "Rain"},  {0.2, 0.2, 78, 78, "Rain"}, {0, 0.3, 71, kUnknownCode, "Precipitation"},
        {0.3, 0.3, kUnknownCode, 71, "Precipitation"}};
    for (const auto& r : rows) {
        WeatherData d = withSteps({r.mm0, r.mm1});
        d.minutely15[0].weatherCode = r.code0, d.minutely15[1].weatherCode = r.code1;
        EXPECT_STREQ(computePrecipNowcast(d, kFirstStep).what(), r.what) << r.code0 << " " << r.code1;
    }
}

// An unknown amount is neither wet nor dry: the record tells only up to it,
// or up to a gap in time, and claims no change past it.
TEST(NowcastTest, UnknownAmountsAreNeitherWetNorDry) {
    expectNowcast(withSteps({kNaN, kNaN}), PrecipNowcast::NoData, 0);
    expectNowcast(withSteps({0.5, kNaN}), PrecipNowcast::Continuing, 0, kFirstStep, 15);
    expectNowcast(withSteps({0, kInf}), PrecipNowcast::StartsSoon, 15);
    expectNowcast(withSteps({0.5, 0.5, kUnknownAmount, 0}), PrecipNowcast::Continuing, 0, kFirstStep, 30);
    WeatherData gap = withSteps({0.3, 0, 0});
    gap.minutely15.erase(gap.minutely15.begin() + 1);  // 10:15, then 10:45
    expectNowcast(gap, PrecipNowcast::Continuing, 0, kFirstStep, 15);
}

}  // namespace
}  // namespace nbr
