// The alert rules with a fixed clock and time zone, one test per rule family.
#include "TestEnv.h"
#include "desktop/AlertEngine.h"
#include "model/Dates.h"

#include <gtest/gtest.h>

namespace nbr::test {
namespace {

// 2025-01-15 12:00 in New York (17:00 UTC).
constexpr int64_t kNow = 1736960400;
constexpr int64_t kEndOfToday = 1737003599;  // 23:59:59 local

int64_t unixOf(std::chrono::system_clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::seconds>(t.time_since_epoch()).count();
}

WeatherData record(int currentCode, std::vector<int> dayCodes, const std::string& first = "2025-01-15") {
    WeatherData d;
    d.location.name = "Boston";
    d.location.latitude = 42.36;
    d.location.timezone = "America/New_York";
    d.weatherCode = currentCode;
    for (int code : dayCodes) {
        DailyForecast day;
        day.date = addDays(first, static_cast<int>(d.daily.size()));
        day.weatherCode = code;
        day.temperatureMax = 5;
        day.temperatureMin = 0;
        d.daily.push_back(day);
    }
    return d;
}

std::vector<std::string> titles(const std::vector<WeatherAlert>& alerts, int windUnit = 1) {
    std::vector<std::string> out;
    for (const WeatherAlert& a : alerts)
        out.push_back(a.title + "@" + a.dayKey + ": " + alertMessageOn(a, {"", false, "", windUnit}));
    return out;
}

class AlertRulesTest : public ::testing::Test {
protected:
    TimeZone zone{"EST5EDT,M3.2.0,M11.1.0"};
    AlertEngine engine;
    AlertTuning tuning;
};

TEST_F(AlertRulesTest, SevereHailAndFreezingCodes) {
    using V = std::vector<std::string>;
    // 95 now and today, 96 tomorrow: severe now, forecast only for tomorrow,
    // hail on tomorrow's index.
    EXPECT_EQ(titles(engine.evaluate(record(95, {95, 96}), tuning, kNow)),
              (V{"Severe Weather@2025-01-15: Thunderstorm in Boston",
                 "Severe Weather Forecast@2025-01-16: Thunderstorm w/ Hail expected tomorrow in Boston",
                 "Hail Warning@2025-01-16: Thunderstorm with hail in Boston"}));
    // 96 now: severe and hail for today; 66 now: severe and freezing.
    EXPECT_EQ(titles(engine.evaluate(record(96, {}), tuning, kNow)).size(), 2u);
    const auto freezing = engine.evaluate(record(66, {}), tuning, kNow);
    ASSERT_EQ(freezing.size(), 2u);
    EXPECT_EQ(freezing[1].title, "Freezing Precipitation");
    EXPECT_EQ(freezing[1].kind, AlertKind::FreezingPrecipitation);
    // Hail on day 5 counts; a severe code on day 2 raises no forecast alert.
    const auto later = engine.evaluate(record(0, {0, 0, 65, 0, 0, 99}), tuning, kNow);
    ASSERT_EQ(later.size(), 1u);
    EXPECT_EQ(later[0].dayKey, "2025-01-20");
    // Rule 1 and rule 2 for today would share a key: same kind, place, day.
    const auto today = engine.evaluate(record(95, {82}), tuning, kNow);
    ASSERT_EQ(today.size(), 2u);
    EXPECT_EQ(today[0].deduplicationKey(), today[1].deduplicationKey());
    for (int code : {55, 100, -1}) EXPECT_FALSE(engine.isSevereWeatherCode(code)) << code;
}

TEST_F(AlertRulesTest, EveryAlertIsStampedWithTheLocalDay) {
    const auto alerts = engine.evaluate(record(95, {}), tuning, kNow);
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(unixOf(alerts[0].issued), kNow);
    EXPECT_EQ(unixOf(alerts[0].expires), kEndOfToday);
    EXPECT_EQ(alerts[0].location, "Boston");
    EXPECT_FALSE(alerts[0].official);
    // One second before midnight: still today, expiring a second later.
    const auto late = engine.evaluate(record(95, {}), tuning, kEndOfToday);
    EXPECT_EQ(late[0].dayKey, "2025-01-15");
    EXPECT_EQ(unixOf(late[0].expires), kEndOfToday);
    // Across the end of the month and of daylight saving.
    const WeatherAlert feb1 = engine.evaluate(record(0, {0, 96}, "2025-01-31"), tuning, 1738328400).at(0);
    EXPECT_EQ(feb1.dayKey, "2025-02-01");
    EXPECT_TRUE(alertMessageOn(feb1, {"2025-02-01", false, ""}).ends_with("expected today in Boston"));  // worded on its day
    const int64_t nov1 = 1730476800;  // 2024-11-01 12:00 EDT
    const auto dst = engine.evaluate(record(0, {0, 0, 0, 99}, "2024-11-01"), tuning, nov1);
    EXPECT_EQ(dst[0].dayKey, "2024-11-04");
    EXPECT_EQ(unixOf(dst[0].expires), 1730782799);  // 23:59:59 EST

    // Oslo's Monday record with the computer behind Oslo (Los Angeles) and
    // ahead (Auckland): keys and ends follow Oslo's days, so the computer's
    // midnight files nothing again; the aurora takes Oslo's date at the time.
    WeatherData oslo = record(0, {0});
    oslo.location = {"Oslo", "NO", "Oslo", 59.91, 10.75, "Europe/Oslo", false};
    oslo.daily[0].date = "2025-01-13";
    oslo.daily[0].rainSum = 3;
    oslo.kpIndex = 6;
    const int64_t mon = 1736726400;  // 2025-01-13 00:00 UTC
    const struct { const char* computer; int64_t now; bool filedBefore; const char* auroraDay; } rows[] = {
        {"PST8PDT", mon + 7 * 3600, false, "2025-01-13"}, {"PST8PDT", mon + 9 * 3600, true, "2025-01-13"},
        {"NZST-12NZDT,M9.5.0,M4.1.0/3", mon + 11 * 3600 + 1800, true, "2025-01-13"},  // Tuesday there
        {"PST8PDT", mon + 23 * 3600 + 1800, false, "2025-01-14"}};  // Oslo's Tuesday: Monday's rain has ended
    AlertEngine filed;
    for (const auto& r : rows) {
        TimeZone computer(r.computer);
        const auto alerts = engine.evaluate(oslo, tuning, r.now);
        EXPECT_EQ(engine.evaluateSkyEvents(oslo, r.now).at(0).dayKey, r.auroraDay) << r.now;
        if (r.auroraDay == std::string("2025-01-14")) { EXPECT_TRUE(alerts.empty()); continue; }  // Monday is past
        const WeatherAlert rain = alerts.at(0);
        EXPECT_EQ(rain.deduplicationKey() + " " + std::to_string(unixOf(rain.expires)), "2|Oslo@59.9100,10.7500|2025-01-13 1736809199");
        EXPECT_EQ(filed.alreadyNotified(rain, r.now), r.filedBefore) << r.now;
        filed.markNotified(rain, r.now);
    }
}

TEST_F(AlertRulesTest, TemperatureSwings) {
    constexpr double kU = kUnknownTemperature;
    struct Case {
        std::vector<std::pair<double, double>> highLow;
        bool imperial;
        const char* message;  // empty: none
        int day;
    };
    const Case cases[] = {
        {{{20, 10}, {21, 11}}, false, "Temps warming to 21C tomorrow in Boston", 1},
        {{{20, 10}, {21, 11}}, true, "Temps warming to 70F tomorrow in Boston", 1},
        {{{20, 10}, {12, 11}, {12, 2}, {10, 5}}, false, "Temps dropping to 2C in the next few days in Boston", 2},
        {{{20, 10}, {18.25, 11.75}}, false, "", 0},  // 8.25 both ways
        {{{20, 10}}, false, "", 0},
        {{{10, 0}, {18.5, 1.5}, {10, 0}, {30, 0}, {60, 0}}, false, "Temps warming to 30C in the next few days in Boston", 3},
        {{{20, 10}, {15, kU}}, false, "", 0},  // an unknown temperature is never one end of a swing
        {{{10, 0}, {kU, kU}, {10, 0}, {30, 0}}, false, "Temps warming to 30C in the next few days in Boston", 3},
        {{{9, 2}, {3, -0.3}}, false, "Temps dropping to 0C tomorrow in Boston", 1},  // never "-0", as the window
        {{{9, 2}, {3, -0.3}}, true, "Temps dropping to 31F tomorrow in Boston", 1},
        {{{-8, -10}, {-12, -17.9}}, true, "Temps dropping to 0F tomorrow in Boston", 1},  // -0.2F
    };
    for (const Case& c : cases) {
        WeatherData d = record(0, {});
        for (auto [hi, lo] : c.highLow) {
            DailyForecast day;
            day.date = addDays("2025-01-15", static_cast<int>(d.daily.size()));
            day.temperatureMax = hi;
            day.temperatureMin = lo;
            d.daily.push_back(day);
        }
        const auto alerts = engine.evaluate(d, tuning, kNow);
        if (!*c.message) {
            EXPECT_TRUE(alerts.empty()) << c.highLow.size();
            continue;
        }
        ASSERT_EQ(alerts.size(), 1u) << c.message;
        EXPECT_EQ(alertMessageOn(alerts[0], {"", c.imperial, ""}), c.message);
        EXPECT_EQ(alerts[0].kind, AlertKind::TemperatureChange);
        EXPECT_EQ(alerts[0].dayKey, "2025-01-1" + std::to_string(5 + c.day));
    }
    // Ties keep the earlier candidate: the rise over an equal drop.
    std::vector<DailyForecast> days(2);
    days[0].temperatureMin = 0, days[0].temperatureMax = 20, days[1].temperatureMax = 12, days[1].temperatureMin = 8;
    EXPECT_TRUE(engine.findTempSwing(days, 8.3).warming);
}

TEST_F(AlertRulesTest, RainSnowAndWindThresholds) {
    struct Case {
        double rain0, pop0, snow0, rain1, pop1, snow1, gust;
        int windUnit;  // as the settings': 0 mph, 1 km/h, 2 m/s, 3 knots
        std::vector<std::string> expected;
        int code0 = 0, code1 = 0;  // the days' weather codes
    };
    const Case cases[] = {
        {0, 61, 0, 5, 90, 0, 0, 1, {"Rain Expected@2025-01-15: Rain expected today in Boston"}},
        {1.0, 60, 0, 1.1, 0, 0, 0, 1, {"Rain Expected@2025-01-16: Rain expected tomorrow in Boston"}},
        {0, 0, 0.1, 0, 0, 3, 0, 1, {"Snow Expected@2025-01-15: Snowfall expected today in Boston"}},
        {0, 0, 0, 0, 0, 0, 64, 1, {}},
        {0, 0, 0, 0, 0, 0, 64.5, 1, {"High Wind@2025-01-15: Wind gusts over 64 km/h in Boston"}},
        {0, 0, 0, 0, 0, 0, 70, 0, {"High Wind@2025-01-15: Wind gusts over 40 mph in Boston"}},
        {0, 0, 0, 0, 0, 0, 70, 2, {"High Wind@2025-01-15: Wind gusts over 17.8 m/s in Boston"}},
        {0, 0, 0, 0, 0, 0, 70, 3, {"High Wind@2025-01-15: Wind gusts over 35 kn in Boston"}},
        // A day of snow does not count by its chance; its rain sum still does.
        {0, 90, 0, 0, 70, 0, 0, 1, {"Rain Expected@2025-01-16: Rain expected tomorrow in Boston"}, 85, 61},
        {1.5, 90, 0, 0, 0, 0, 0, 1, {"Rain Expected@2025-01-15: Rain expected today in Boston"}, 71},
        {0, 90, 0, 0, 0, 0, 0, 1, {}, kUnknownCode},  // nor does a day whose code is not known
    };
    for (const Case& c : cases) {
        WeatherData d = record(0, {0, 0});
        d.daily[0].rainSum = c.rain0, d.daily[0].precipitationProbabilityMax = c.pop0, d.daily[0].snowfallSum = c.snow0;
        d.daily[1].rainSum = c.rain1, d.daily[1].precipitationProbabilityMax = c.pop1, d.daily[1].snowfallSum = c.snow1;
        d.windGusts = c.gust;
        d.daily[0].weatherCode = c.code0, d.daily[1].weatherCode = c.code1;
        EXPECT_EQ(titles(engine.evaluate(d, tuning, kNow), c.windUnit), c.expected);
    }
    // A snow threshold of 2 cm: 2 exactly is not enough.
    AlertTuning two = tuning;
    two.snowCm = 2;
    WeatherData d = record(0, {0});
    d.daily[0].snowfallSum = 2;
    EXPECT_TRUE(engine.evaluate(d, two, kNow).empty());
}

TEST_F(AlertRulesTest, MeteorShowersAndAurora) {
    // Geminids peak on 14 December (zhr 120 or more).
    const int64_t dec14noon = 1734195600;  // 2024-12-14 12:00 EST
    WeatherData clear = record(0, {1, 3, 0}, "2024-12-14");
    struct Case {
        int64_t now;
        const char* message;
        const char* day;
    };
    const Case cases[] = {
        {dec14noon, "peaks tonight", "2024-12-14"},
        {dec14noon - 86400, "peaks tomorrow night", "2024-12-14"},
        {dec14noon - 2 * 86400, "peaks in 2 nights", "2024-12-14"},
        {dec14noon + 86400, "peaks tonight", "2024-12-15"},
    };
    for (const Case& c : cases) {
        const auto alerts = engine.evaluateSkyEvents(clear, c.now);
        ASSERT_EQ(alerts.size(), 1u) << c.message;
        EXPECT_EQ(alerts[0].title, "Meteor Shower");
        EXPECT_NE(alertMessageOn(alerts[0], {}).find(c.message), std::string::npos) << alerts[0].message;
        EXPECT_EQ(alerts[0].dayKey, c.day);
        EXPECT_NE(alertMessageOn(alerts[0], {c.day, false, ""}).find("peaks tonight"), std::string::npos) << c.message;
    }
    EXPECT_NE(engine.evaluateSkyEvents(clear, dec14noon)[0].message.find("/hr) - clear skies expected"),
              std::string::npos);
    EXPECT_TRUE(engine.evaluateSkyEvents(clear, dec14noon - 3 * 86400).empty());

    WeatherData north = record(0, {0});
    north.location.latitude = 65;
    north.kpIndex = 6;
    const auto aurora = engine.evaluateSkyEvents(north, kNow);
    ASSERT_EQ(aurora.size(), 1u);
    EXPECT_EQ(alertMessageOn(aurora[0], {}), "Aurora likely tonight (Kp 6) - clear skies expected");
    north.daily[0].weatherCode = kUnknownCode;  // no claim of clear skies
    EXPECT_EQ(alertMessageOn(engine.evaluateSkyEvents(north, kNow).at(0), {}), "Aurora likely tonight (Kp 6)");
    north.kpIndex = -1;
    EXPECT_TRUE(engine.evaluateSkyEvents(north, kNow).empty());
}

}  // namespace
}  // namespace nbr::test
