#include "model/DayScores.h"
#include "model/PlaceClock.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cmath>
#include <functional>
#include <limits>
#include <string>

namespace nbr {
namespace {

constexpr int64_t kNewMoon = 947182440;                 // 2000-01-06 18:14 UTC
constexpr int64_t kFullMoon = kNewMoon + 1275721;       // half a mean month later
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

int64_t newMoonAt(int hh, int mm) { return kNewMoon - (18 * 60 + 14) * 60 + (hh * 60 + mm) * 60; }  // still dark

// A day with nothing to say: mild, dry, calm, no moon, twelve dry hours.
WeatherData quietDay(const std::string& time = "2026-03-02T10:00") {
    WeatherData d;
    d.time = time;
    d.weatherCode = 3;
    d.temperature = 14;
    d.apparentTemperature = 14;
    d.relativeHumidity = 40;
    d.cloudCover = 0;
    d.windSpeed = 5;
    d.windGusts = 10;
    DailyForecast today;
    today.date = "2026-03-02";
    today.weatherCode = 3;
    today.temperatureMax = 15;
    today.precipitationProbabilityMax = 0;
    today.uvIndexMax = 2;
    d.daily.push_back(today);
    for (int h = 10; h < 22; ++h)
        d.hourly.push_back({.time = "2026-03-02T" + std::to_string(h) + ":00", .precipitationProbability = 0});
    return d;
}

// The scores and the takeaway of a fresh record, whose first entry is today,
// at 2026-03-02 10:00 UTC, when the steps of fromNow below start.
constexpr int64_t kQuietNow = 1772445600;
DayScores computeDayScores(const WeatherData& d, const DailyForecast* today, int64_t moon,
                           const PlaceClock& place = {}) {
    return nbr::computeDayScores(d, today, place, moon);
}
DayScores computeDayScores(const WeatherData& d, int64_t moon) {
    return computeDayScores(d, d.daily.empty() ? nullptr : &d.daily[0], moon);
}
std::string dailyTakeaway(const WeatherData& d, const DailyForecast* today, int64_t now, bool imperial,
                          const PlaceClock& place = {}) {
    return nbr::dailyTakeaway(d, today, place, now, imperial);
}
std::string dailyTakeaway(const WeatherData& d, bool imperial) {
    return dailyTakeaway(d, d.daily.empty() ? nullptr : &d.daily[0], kQuietNow, imperial);
}
std::vector<MinutelyForecast> fromNow(std::vector<MinutelyForecast> steps) {
    static const char* const kTimes[] = {"2026-03-02T10:00", "2026-03-02T10:15", "2026-03-02T10:30"};
    for (size_t i = 0; i < steps.size(); ++i) steps[i].time = kTimes[i];
    return steps;
}

HourlyForecast hour(const std::string& time, double cloud, double pop = 0) {
    HourlyForecast h;
    h.time = time;
    h.cloudCover = cloud;
    h.precipitationProbability = pop;
    return h;
}

void expectScore(const DayScore& s, int score, const char* label, const std::string& reason) {
    EXPECT_EQ(s.score, score);
    EXPECT_STREQ(s.label, label);
    EXPECT_EQ(s.reason, reason);
}

TEST(DayScoresTest, NoDailyDataGivesNoScores) {
    WeatherData d = quietDay();
    d.daily.clear();
    const DayScores s = computeDayScores(d, kNewMoon);
    for (const DayScore* one : {&s.stargazing, &s.laundry, &s.running}) expectScore(*one, -1, "--", "");
    // The entry of the place's date counts (the second past midnight), and an
    // activity whose main input is not known has no score.
    d = quietDay();
    d.daily.push_back(d.daily[0]);
    d.daily[1].precipitationProbabilityMax = 40;
    EXPECT_EQ(computeDayScores(d, &d.daily[1], kNewMoon).stargazing.reason, "rain risk");
    // Each input not known takes the scores that need it (stargazing, laundry, running), and only those.
    const std::pair<void (*)(WeatherData&), std::array<int, 3>> gaps[] = {
        {[](WeatherData& w) { w.daily[0].precipitationProbabilityMax = kUnknownAmount; }, {-1, 10, -1}},
        {[](WeatherData& w) { w.relativeHumidity = kNaN; }, {10, -1, -1}},
        {[](WeatherData& w) { w.windSpeed = kUnknownAmount; }, {10, -1, 10}},
        {[](WeatherData& w) { w.windGusts = kUnknownAmount; }, {10, 10, -1}},
        {[](WeatherData& w) { w.apparentTemperature = kUnknownTemperature; }, {10, 10, -1}},
        {[](WeatherData& w) { w.cloudCover = kUnknownAmount; }, {-1, 10, 10}}};
    for (const auto& [unset, scores] : gaps) {
        unset(d = quietDay());
        const DayScores u = computeDayScores(d, kNewMoon);
        EXPECT_EQ((std::array{u.stargazing.score, u.laundry.score, u.running.score}), scores);
    }
}

TEST(DayScoresTest, StargazingFromCloudMoonAndRain) {
    WeatherData d = quietDay("2026-01-15T22:10");
    expectScore(computeDayScores(d, kNewMoon).stargazing, 10, "great", "clear and dark");

    d.cloudCover = 100;
    expectScore(computeDayScores(d, kFullMoon).stargazing, 0, "poor", "too cloudy");

    // Clear but a nearly full moon: 10 - 3 * 0.99.. = 7.0..
    d.cloudCover = 0;
    expectScore(computeDayScores(d, kFullMoon).stargazing, 7, "decent", "bright moon washes it out");

    // Rain risk costs 2: 10 - 24/12 - 2 = 6.
    d.cloudCover = 24;
    d.daily[0].precipitationProbabilityMax = 40;
    expectScore(computeDayScores(d, kNewMoon).stargazing, 6, "decent", "rain risk");
    d.daily[0].precipitationProbabilityMax = 39.9;
    expectScore(computeDayScores(d, kNewMoon).stargazing, 8, "great", "clear and dark");

    // Cloud 60 is "too cloudy" even when the moon is also bright.
    d.cloudCover = 60;
    EXPECT_EQ(computeDayScores(d, kFullMoon).stargazing.reason, "too cloudy");
}

TEST(DayScoresTest, StargazingByDayLooksAtTonightsCloud) {
    WeatherData d = quietDay("2026-01-15T14:00");
    d.cloudCover = 100;
    d.hourly = {hour("2000-01-06T14:00", 100), hour("2000-01-06T20:00", 0),
                hour("2000-01-06T21:00", -1),  // no value: skipped
                hour("2000-01-06T2", 0),       // too short: skipped
                hour("2000-01-06T22:00", 12), hour("2000-01-06T23:00", 90)};
    expectScore(computeDayScores(d, newMoonAt(14, 0)).stargazing, 9, "great", "clear and dark");

    // Late in the evening the hour holding now counts, or without its cover the current one.
    EXPECT_EQ(computeDayScores(d, newMoonAt(22, 10)).stargazing.score, 9);
    EXPECT_EQ(computeDayScores(d, newMoonAt(21, 30)).stargazing.score, 2);
    EXPECT_EQ(computeDayScores(d, newMoonAt(4, 59)).stargazing.score, 2);

    // From 5 to 20 of the present (whatever the reply's time), the evening hour counts.
    for (const char* t : {"2026-01-15T05:00", "2026-01-15T20:59", "", "2026-01-15", "2026-01-15T2", "2026-01-15Txx:00"}) {
        SCOPED_TRACE(t);
        d.time = t;
        EXPECT_EQ(computeDayScores(d, newMoonAt(5, 0)).stargazing.score, 9);
        EXPECT_EQ(computeDayScores(d, newMoonAt(20, 59)).stargazing.score, 9);
    }

    // Written at UTC and read on a clock an hour ahead (a daylight-saving day):
    // the 20:00 hour is its evening, and 20:30 is night there (the hour
    // holding it, without its cover, leaves the current one).
    EXPECT_EQ(computeDayScores(d, &d.daily[0], newMoonAt(14, 0), PlaceClock::fixed(3600)).stargazing.score, 10);
    d.hourly[1].cloudCover = kUnknownAmount;
    EXPECT_EQ(computeDayScores(d, &d.daily[0], newMoonAt(20, 30), PlaceClock::fixed(3600)).stargazing.score, 2);

    // No qualifying evening hour: the current cover stays.
    d.time = "2026-01-15T14:00";
    d.hourly = {hour("2000-01-06T14:00", 0), hour("2000-01-06T21:00", -1)};
    EXPECT_EQ(computeDayScores(d, newMoonAt(14, 0)).stargazing.score, 2);
}

TEST(DayScoresTest, LaundryFromRainChanceHumidityAndWind) {
    // Humidity 20, no rain chance, wind 12: 10 + 20/12 + 1 = 12.67, clamped to 10.
    WeatherData d = quietDay();
    d.relativeHumidity = 20;
    d.windSpeed = 12;
    expectScore(computeDayScores(d, kNewMoon).laundry, 10, "great", "dry hours ahead");

    // The wettest of the 12 hours from now counts; the 13th does not.
    d.relativeHumidity = 40;
    d.windSpeed = 10;  // not above 10: no bonus
    d.hourly.push_back(hour("2026-03-02T22:00", 0, 100));
    d.hourly[5].precipitationProbability = 48;
    expectScore(computeDayScores(d, kNewMoon).laundry, 6, "decent", "rain likely within 12 h");
    EXPECT_EQ(computeDayScores(d, kQuietNow + 6 * 3600 + 1800).laundry.score, 2);  // 16:30: to 22:00

    // An unknown or unreadable chance is no dry hour, nor is an hour the record lacks: no score.
    for (HourlyForecast& h : d.hourly) h.precipitationProbability = h.precipitationProbability == 48 ? kNaN : -1;
    expectScore(computeDayScores(d, kNewMoon).laundry, -1, "--", "");
    expectScore(computeDayScores(quietDay(), kQuietNow + 20 * 86400).laundry, -1, "--", "");

    // Damp air: 10 - (76 - 40) / 12 = 7.
    d.hourly = quietDay().hourly;
    d.relativeHumidity = 76;
    expectScore(computeDayScores(d, kNewMoon).laundry, 7, "decent", "air's too damp");
}

TEST(DayScoresTest, ScoreLabelsAndRounding) {
    // Laundry raw = 10 - (H - 40) / 12 makes any raw value easy to reach.
    auto laundryAt = [](double raw) {
        WeatherData d = quietDay();
        d.relativeHumidity = 40 + 12 * (10 - raw);
        return computeDayScores(d, kNewMoon).laundry;
    };
    EXPECT_STREQ(laundryAt(8).label, "great");
    EXPECT_STREQ(laundryAt(7).label, "decent");
    EXPECT_STREQ(laundryAt(5).label, "decent");
    EXPECT_STREQ(laundryAt(4).label, "poor");
    EXPECT_EQ(laundryAt(7.5).score, 8);
    EXPECT_EQ(laundryAt(7.49).score, 7);
    EXPECT_EQ(laundryAt(-0.51).score, 0);
    EXPECT_EQ(laundryAt(-30).score, 0);
    EXPECT_EQ(laundryAt(10.4).score, 10);

    // An unreadable or unknown humidity gives no score, never a drier one.
    WeatherData d = quietDay();
    for (const double h : {kNaN, kUnknownAmount}) {
        d.relativeHumidity = h;
        expectScore(computeDayScores(d, kNewMoon).laundry, -1, "--", "");
    }
}

TEST(DayScoresTest, RunningFromFeelsLikeHumidityAirWindAndRain) {
    // Feels-like 30, humidity 50, no air data, gusts 20, rain chance 10: 10 - 12/3 = 6.
    WeatherData d = quietDay();
    d.apparentTemperature = 30;
    d.relativeHumidity = 50;
    d.windGusts = 20;
    d.daily[0].precipitationProbabilityMax = 10;
    expectScore(computeDayScores(d, kNewMoon).running, 6, "decent", "heat - go early or late");

    // Cold: 10 - (5 - (-7)) / 3 = 6.
    d.apparentTemperature = -7;
    expectScore(computeDayScores(d, kNewMoon).running, 6, "decent", "bundle up");

    // Muggy: 10 - (90 - 60) / 10 = 7; gusts above 40 cost 2; rain chance 60 costs 1.
    d.apparentTemperature = 12;
    d.relativeHumidity = 90;
    expectScore(computeDayScores(d, kNewMoon).running, 7, "decent", "muggy");
    d.windGusts = 41;
    d.daily[0].precipitationProbabilityMax = 60;
    EXPECT_EQ(computeDayScores(d, kNewMoon).running.score, 4);

    // Poor air comes first and costs (AQI - 100) / 25, but only from a valid block.
    d = quietDay();
    d.airQuality.usAqi = 200;
    expectScore(computeDayScores(d, kNewMoon).running, 10, "great", "comfortable out");
    d.airQuality.valid = true;
    d.apparentTemperature = 30;
    expectScore(computeDayScores(d, kNewMoon).running, 2, "poor", "air quality is rough");
    d.airQuality.usAqi = 100;
    EXPECT_EQ(computeDayScores(d, kNewMoon).running.reason, "heat - go early or late");
}

TEST(PhraseVariantTest, ChoiceFollowsDateAndSeed) {
    const auto five = {"a", "b", "c", "d", "e"};
    EXPECT_STREQ(phraseVariant("2026-01-15T09:00", 1, five), "e");
    EXPECT_STREQ(phraseVariant("2026-01-15T09:00", 8, five), "d");
    // Only the first ten bytes (the date) count.
    EXPECT_STREQ(phraseVariant("2026-01-15T23:59", 1, five), "e");
    EXPECT_STREQ(phraseVariant("2026-01-15", 8, five), "d");
    // An empty key hashes to the offset basis.
    EXPECT_STREQ(phraseVariant("", 1, five), "d");
    // Bytes above 0x7f are taken unsigned; negative seeds wrap.
    const auto seven = {"0", "1", "2", "3", "4", "5", "6"};
    EXPECT_STREQ(phraseVariant("\xc3\xa9\xff" "2026", 3, seven), "0");
    EXPECT_STREQ(phraseVariant("\xc3\xa9\xff" "2026", -1, seven), "3");
    EXPECT_STREQ(phraseVariant("2026-01-15", 1, {}), "");
    EXPECT_STREQ(phraseVariant("2026-01-15", 1, {"only"}), "only");
}

TEST(TakeawayTest, RulesInOrder) {
    // Each step adds a condition that outranks the ones already present.
    WeatherData d = quietDay();
    EXPECT_EQ(dailyTakeaway(d, false), "Overcast and holding.");

    d.hourly[4].precipitationProbability = 60;  // 14:00
    EXPECT_EQ(dailyTakeaway(d, false), "Rain likely before the day is out.");
    // Drizzle or an unknown code is no dry present (no "Dry now" phrase); conditions over an hour old (from
    // the fetch while their time is unknown) give way to the hour holding now, which tells no gusts.
    const char* notDry = "An umbrella by the door wouldn't hurt - rain likely.";
    const auto fetched = [](int64_t t) { return std::chrono::system_clock::time_point(std::chrono::seconds(t)); };
    const std::tuple<std::function<void(WeatherData&)>, int64_t, const char*> presents[] = {
        {[](WeatherData& w) { w.weatherCode = 51, w.precipitation = 0; }, kQuietNow, notDry},
        {[](WeatherData& w) { w.weatherCode = kUnknownCode; }, kQuietNow, notDry},
        {[&](WeatherData& w) { w.windGusts = 60, w.fetchedAt = fetched(kQuietNow); }, kQuietNow + 3601, notDry},
        {[&](WeatherData& w) { w.windGusts = 60, w.time = "", w.fetchedAt = fetched(kQuietNow - 3601); }, kQuietNow,
         "Keep plans flexible - rain is probable today."}};
    for (const auto& [change, now, says] : presents) {
        WeatherData w = d;
        change(w);
        EXPECT_EQ(dailyTakeaway(w, &w.daily[0], now, false), says) << w.weatherCode << " " << w.time;
    }
    d.daily[0].weatherCode = 73;  // a day of snow
    EXPECT_EQ(dailyTakeaway(d, false), "Snow likely before the day is out.");
    d.daily[0].weatherCode = quietDay().daily[0].weatherCode;

    d.windGusts = 48;
    EXPECT_EQ(dailyTakeaway(d, false), "Breezy with gusty winds - secure loose items.");

    d.daily[0].uvIndexMax = 6;
    EXPECT_EQ(dailyTakeaway(d, false), "The midday sun means business - SPF up.");

    d.hasYesterday = true;
    d.yesterdayHigh = 7;  // today 15: 8 warmer
    EXPECT_EQ(dailyTakeaway(d, false), "Noticeably warmer than yesterday.");
    d.yesterdayHigh = 23;
    EXPECT_EQ(dailyTakeaway(d, false), "Cooler air moved in overnight - layer up.");

    d.airQuality.valid = true;
    d.airQuality.pm2_5 = 55;
    EXPECT_EQ(dailyTakeaway(d, false), "Hazy with smoke - sensitive groups take it easy.");

    const MinutelyForecast wet{"", 0.5, 61}, dry{"", 0, 3};
    d.minutely15 = fromNow({wet, wet});
    EXPECT_EQ(dailyTakeaway(d, false), "Rain in progress - shoes will notice.");
    d.minutely15 = fromNow({dry, wet});
    EXPECT_EQ(dailyTakeaway(d, false), "Rain on the doorstep - umbrella recommended.");
    d.minutely15[1].weatherCode = 85;  // snow showers
    EXPECT_EQ(dailyTakeaway(d, false), "Snow on the doorstep - dress warm.");
    d.minutely15 = fromNow({d.minutely15[1], d.minutely15[1]});
    EXPECT_EQ(dailyTakeaway(d, false), "Snow in progress - roads will notice.");
    d.minutely15[0].weatherCode = kUnknownCode;  // rain or snow: not told
    EXPECT_EQ(dailyTakeaway(d, false), "Hazy with smoke - sensitive groups take it easy.");

    // Dry and rain-ending nowcasts have no phrase of their own.
    d.minutely15 = fromNow({wet, dry});
    EXPECT_EQ(dailyTakeaway(d, false), "Hazy with smoke - sensitive groups take it easy.");
    d.minutely15 = fromNow({dry, dry});
    EXPECT_EQ(dailyTakeaway(d, false), "Hazy with smoke - sensitive groups take it easy.");
}

TEST(TakeawayTest, ThresholdsAndUnits) {
    WeatherData d = quietDay();
    // 4.5 degC warmer is 8.1 display degrees in Fahrenheit, but not in Celsius.
    d.hasYesterday = true;
    d.yesterdayHigh = 20;
    d.daily[0].temperatureMax = 24.5;
    EXPECT_EQ(dailyTakeaway(d, true), "Noticeably warmer than yesterday.");
    EXPECT_EQ(dailyTakeaway(d, false), "Overcast and holding.");
    d.daily[0].temperatureMax = 15.5;
    EXPECT_EQ(dailyTakeaway(d, true), "Cooler air moved in overnight - layer up.");
    EXPECT_EQ(dailyTakeaway(d, false), "Overcast and holding.");
    d.daily[0].temperatureMax = kUnknownTemperature;  // an unknown high on either side is no change
    EXPECT_EQ(dailyTakeaway(d, true), "Overcast and holding.");
    d.daily[0].temperatureMax = 40, d.yesterdayHigh = kUnknownTemperature;
    EXPECT_EQ(dailyTakeaway(d, false), "Overcast and holding.");
    d.hasYesterday = false;
    d.daily[0].temperatureMax = 40;
    EXPECT_EQ(dailyTakeaway(d, false), "Overcast and holding.");
    // Past midnight the second entry is today, compared with the first; with
    // no entry for the day, nothing is said about it.
    d.daily.push_back(d.daily[0]);
    d.daily[1].temperatureMax = 32, d.daily[1].uvIndexMax = 8;
    EXPECT_EQ(dailyTakeaway(d, &d.daily[1], kQuietNow, false), "Cooler air moved in overnight - layer up.");
    EXPECT_EQ(dailyTakeaway(d, nullptr, kQuietNow, false), "Overcast and holding.");
    d.daily.pop_back();

    // Strong sun only counts from 7 to 16 of the present hour on the place's clock.
    d.daily[0].uvIndexMax = 8;
    const auto at = [&](int64_t now, const PlaceClock& place = {}) {
        return dailyTakeaway(d, &d.daily[0], now, false, place);
    };
    EXPECT_EQ(at(kQuietNow + 7 * 3600), "Overcast and holding.");
    EXPECT_EQ(at(kQuietNow - 3 * 3600 - 60), "Overcast and holding.");
    EXPECT_EQ(at(kQuietNow + 7 * 3600 - 60), "The midday sun means business - SPF up.");
    d.utcOffsetSeconds = 3600;  // written at +1 before a change to +2: 05:59 UTC is 07:59 there
    EXPECT_EQ(at(kQuietNow - 4 * 3600 - 60, PlaceClock::fixed(7200)), "The midday sun means business - SPF up.");
    d.daily[0].uvIndexMax = 5.99;
    EXPECT_EQ(dailyTakeaway(d, false), "Overcast and holding.");

    d.windGusts = 47.9;
    d.hourly[4].precipitationProbability = 59.9;
    d.airQuality.valid = true;
    d.airQuality.pm2_5 = 54.9;
    EXPECT_EQ(dailyTakeaway(d, false), "Overcast and holding.");
    // Smoke needs a valid air block.
    d.airQuality.valid = false;
    d.airQuality.pm2_5 = 300;
    EXPECT_EQ(dailyTakeaway(d, false), "Overcast and holding.");
}

TEST(TakeawayTest, WithoutDailyDataOnlyCurrentRulesApply) {
    WeatherData d = quietDay("");
    d.daily.clear();
    d.hasYesterday = true;
    d.yesterdayHigh = -40;
    // An empty key hashes to the offset basis; a condition without a name is not told.
    EXPECT_EQ(dailyTakeaway(d, false), "Overcast and holding.");
    d.weatherCode = 1234;
    EXPECT_EQ(dailyTakeaway(d, false), "");
    d.windGusts = 60;
    EXPECT_EQ(dailyTakeaway(d, false), "Breezy with gusty winds - secure loose items.");
    EXPECT_EQ(dailyTakeaway(d, nullptr, kQuietNow + 12 * 3600, false), "");  // no hour ahead: nothing to tell
    const MinutelyForecast dry{"", 0, 3}, wet{"", 1, 61};
    d.minutely15 = fromNow({dry, dry, wet});
    EXPECT_EQ(dailyTakeaway(d, false), "Rain due any minute - time the errands.");
}

TEST(TakeawayTest, RainLaterIsOfTheHoursLeftInThePlacesDay) {
    WeatherData d = quietDay();
    d.daily[0].precipitationProbabilityMax = 96;  // the day's own highest chance is not what counts
    d.hourly[4].precipitationProbability = 70;    // 14:00
    d.hourly.push_back(hour("2026-03-02T23:00", -1, 80));
    const auto at = [&](int64_t now, int offset) {
        return dailyTakeaway(d, &d.daily[0], now, false, PlaceClock::fixed(offset));
    };
    EXPECT_EQ(at(kQuietNow + 4 * 3600 + 3540, 3600), "Rain likely before the day is out.");  // 14:59
    // At 15:00 only the 23:00 (UTC) hour is left: the day's on a clock at UTC, the next day's at UTC+1.
    EXPECT_EQ(at(kQuietNow + 5 * 3600, 0), "Rain likely before the day is out.");
    EXPECT_EQ(at(kQuietNow + 5 * 3600, 3600), "Overcast and holding.");
    d.daily[0].weatherCode = kUnknownCode;  // rain or snow: neither is named
    EXPECT_EQ(at(kQuietNow, 0), "Overcast and holding.");
}

}  // namespace
}  // namespace nbr
