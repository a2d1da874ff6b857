#include "model/Dates.h"
#include "model/WeatherTypes.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <locale>

#include <cmath>
#include <thread>

namespace nbr {
namespace {

using namespace std::chrono;

TEST(GeoLocationTest, CacheKeyUsesNameAndFourDecimalCoordinates) {
    GeoLocation home;
    home.name = "Home";
    home.latitude = 40.7128;
    home.longitude = -74.006;
    EXPECT_EQ(home.cacheKey(), "Home@40.7128,-74.0060");

    GeoLocation oslo;
    oslo.name = "Oslo";
    oslo.latitude = 59.91273;
    oslo.longitude = 10.74609;
    EXPECT_EQ(oslo.cacheKey(), "Oslo@59.9127,10.7461");

    EXPECT_EQ(GeoLocation{}.cacheKey(), "@0.0000,0.0000");

    GeoLocation odd = home;
    odd.name = "A|B@C";
    EXPECT_EQ(odd.cacheKey(), "A|B@C@40.7128,-74.0060");
}

TEST(GeoLocationTest, CacheKeyIgnoresEverythingButNameAndCoordinates) {
    GeoLocation a;
    a.name = "Home";
    a.latitude = 1;
    GeoLocation b = a;
    b.country = "US";
    b.admin1 = "MA";
    b.timezone = "America/New_York";
    b.customLabel = true;
    EXPECT_EQ(a.cacheKey(), b.cacheKey());
    b.name = "Work";
    EXPECT_NE(a.cacheKey(), b.cacheKey());
}

TEST(GeoLocationTest, CacheKeyIsLocaleIndependent) {
    // A decimal-comma locale (Debian's locales-all, installed by the set-up)
    // must be there, or this test would prove nothing.
    std::locale comma;
    try {
        comma = std::locale("de_DE.UTF-8");
    } catch (const std::runtime_error&) {
        FAIL() << "locale de_DE.UTF-8 is not installed (tools/setup.sh installs locales-all)";
    }
    const std::locale old = std::locale::global(comma);
    // Both the C++ and the C library now write a decimal comma.
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 1.5);
    const bool cComma = std::string(probe) == "1,5";
    const bool cxxComma = std::use_facet<std::numpunct<char>>(std::locale()).decimal_point() == ',';
    GeoLocation g;
    g.name = "X";
    g.latitude = 1234.5;
    const std::string key = g.cacheKey();
    std::locale::global(old);
    EXPECT_TRUE(cComma) << probe;
    EXPECT_TRUE(cxxComma);
    EXPECT_EQ(key, "X@1234.5000,0.0000");
}

TEST(WeatherAlertTest, DeduplicationKeyRules) {
    WeatherAlert official;
    official.kind = Official;
    official.official = true;
    official.id = "A1";
    official.dayKey = "2024-06-30";
    official.location = "Oslo";
    EXPECT_EQ(official.deduplicationKey(), "OFFICIAL|A1");

    // No id: falls back to kind, place and the issue day.
    official.id.clear();
    official.dayKey.clear();
    official.issued = system_clock::time_point(seconds(86400 + 43200));
    EXPECT_EQ(official.deduplicationKey(), "7|Oslo|1");
    official.issued = system_clock::time_point(seconds(-43200));
    EXPECT_EQ(official.deduplicationKey(), "7|Oslo|0");

    WeatherAlert rain;
    rain.kind = RainExpected;
    rain.location = "Oslo";
    rain.dayKey = "2024-06-30";
    rain.id = "ignored";
    EXPECT_EQ(rain.deduplicationKey(), "2|Oslo|2024-06-30");
    rain.issued = system_clock::now();
    EXPECT_EQ(rain.deduplicationKey(), "2|Oslo|2024-06-30");
    rain.dayKey = "2024-07-01";
    EXPECT_EQ(rain.deduplicationKey(), "2|Oslo|2024-07-01");
    // Of a place: by its key, the place the key names.
    rain.placeKey = "Oslo@59.9100,10.7500";
    EXPECT_EQ(rain.deduplicationKey(), "2|Oslo@59.9100,10.7500|2024-07-01");
    EXPECT_EQ(alertKeyPlace(rain.deduplicationKey()), "Oslo@59.9100,10.7500");

    // A renamed place's keys, and only its own, go by the new name: key,
    // old name, the key renamed ("" for none).
    const char* renames[][3] = {{"2|Oslo|2024-07-01", "Oslo", "2|Home|2024-07-01"}, {"2|A|B|7", "A|B", "2|Home|7"},
                                {"2|A|B|7", "A", ""}, {"2|Oslo Fjord|7", "Oslo", ""}, {"OFFICIAL|Oslo|7", "Oslo", ""},
                                {"2|Oslo", "Oslo", ""}, {"2|Oslo@1.0000,2.0000|7", "Oslo", ""},
                                {"2|Oslo@1.0000,2.0000|7", "Oslo@1.0000,2.0000", "2|Home|7"}};
    for (const auto& r : renames) EXPECT_EQ(renamedAlertKey(r[0], r[1], "Home").value_or(""), r[2]) << r[0];
}

TEST(WeatherDataTest, DefaultsCarryTheMissingValueMarkers) {
    WeatherData d;
    EXPECT_FALSE(d.airQuality.valid);
    EXPECT_EQ(d.airQuality.usAqi, -1);
    EXPECT_EQ(d.airQuality.ragweedPollen, -1);
    EXPECT_EQ(d.auroraProbability, -1);
    EXPECT_EQ(d.kpForecastMax, -1);
    EXPECT_EQ(d.kpIndex, -1);
    EXPECT_EQ(d.yesterdayPrecip, -1);
    EXPECT_EQ(d.solar.flareHoursAgo, -1);
    EXPECT_EQ(d.solar.radioFlux, -1);
    EXPECT_EQ(d.station.windSpeed, -1);
    EXPECT_EQ(d.station.visibilityKm, -1);
    EXPECT_EQ(d.station.temperature, -999);
    EXPECT_EQ(d.tides.waterTemperature, -999);
    EXPECT_EQ(d.tides.buoyWaterTemperature, -999);
    EXPECT_EQ(d.tides.waveHeight, -1);
    EXPECT_EQ(d.flood.gaugeHeight, -1);
    EXPECT_EQ(d.nws.precipitationProbability, -1);
    EXPECT_EQ(d.skill.rainFactor, 1.0);
    EXPECT_FALSE(d.skill.valid);
    EXPECT_TRUE(d.insights.streakAbove);
    EXPECT_EQ(d.insights.monthRain, -1);
    EXPECT_EQ(d.insights.monthRainTypical, -1);
    EXPECT_EQ(d.fetchedAt, system_clock::time_point{});
    EXPECT_TRUE(d.hourly.empty() && d.daily.empty() && d.modelSeries.empty());

    HourlyForecast h;
    EXPECT_EQ(h.rawPrecipitationProbability, -1);
    EXPECT_EQ(h.snowDepth, -1);
    EXPECT_EQ(h.freezingLevelHeight, -1);
    EXPECT_EQ(h.cloudCover, -1);
    EXPECT_EQ(h.tempCorrection, 0);

    DailyForecast day;
    EXPECT_EQ(day.ownPrecipitationProbability, -1);
    EXPECT_EQ(day.ensembleP10, -1);
    EXPECT_EQ(day.ensembleP50, -1);
    EXPECT_EQ(day.ensembleP90, -1);
    EXPECT_EQ(day.amountFactor, 1.0);
    EXPECT_EQ(day.rawPrecipitationProbability, 0);

    ModelSkillEntry m;
    EXPECT_EQ(m.brier, -1);
}

TEST(WeatherDataTest, CopiesAreIndependentAcrossThreads) {
    WeatherData src;
    src.location.name = "Oslo";
    src.daily.resize(7);
    src.hourly.resize(24);
    src.modelSeries.push_back({"icon_seamless", {1, 2}, {0, 1}, {NAN, 50}});
    src.skill.models.push_back({"nws", 10, 1.5, 12, 0.2});
    src.quakes.events.push_back({5.1, 100, "somewhere", 2});

    WeatherData copy;
    std::thread([&] { copy = src; }).join();
    copy.daily.clear();
    copy.hourly.clear();
    copy.modelSeries[0].highs.clear();
    copy.skill.models.clear();
    copy.quakes.events.clear();
    EXPECT_EQ(src.daily.size(), 7u);
    EXPECT_EQ(src.hourly.size(), 24u);
    EXPECT_EQ(src.modelSeries[0].highs.size(), 2u);
    EXPECT_EQ(src.skill.models.size(), 1u);
    EXPECT_EQ(src.quakes.events.size(), 1u);
}

TEST(DatesTest, AddDaysCrossesMonthAndYearEnds) {
    EXPECT_EQ(addDays("2024-02-28", 1), "2024-02-29");
    EXPECT_EQ(addDays("2023-02-28", 1), "2023-03-01");
    EXPECT_EQ(addDays("2024-12-31", 1), "2025-01-01");
    EXPECT_EQ(addDays("2025-01-01", -1), "2024-12-31");
    EXPECT_EQ(addDays("2024-03-01", -366), "2023-03-01");
    EXPECT_EQ(addDays("1900-03-01", -1), "1900-02-28");  // not a leap year
    EXPECT_EQ(addDays("2000-03-01", -1), "2000-02-29");  // leap year
    // A day past the month's end carries into the next month.
    EXPECT_EQ(addDays("2024-04-31", 0), "2024-05-01");
    EXPECT_EQ(addDays("2024-6-5", 0), "2024-06-05");
}

// Oslo's clock in 2027: 02:00-03:00 is skipped on 28 March and shown twice
// on 31 October.
TEST(DatesTest, AClockReadingIsTakenTheFirstTimeItIsShown) {
    const auto utc = [](int month, int day, int hour, int minute) {
        int64_t t = 0;
        EXPECT_TRUE(utcSecondsOf(2027, month, day, hour, minute, 0, t));
        return t;
    };
    const OffsetAt oslo = [&](int64_t t) { return t >= utc(3, 28, 1, 0) && t < utc(10, 31, 1, 0) ? 7200 : 3600; };
    const struct { int64_t local, want; } rows[] = {
        {utc(10, 31, 2, 30), utc(10, 31, 0, 30)},  // shown twice: the first, in summer time
        {utc(10, 31, 3, 30), utc(10, 31, 2, 30)},
        {utc(3, 28, 2, 30), utc(3, 28, 1, 30)},  // skipped: by the offset from before
        {utc(7, 1, 12, 0), utc(7, 1, 10, 0)}};
    for (const auto& r : rows) EXPECT_EQ(unixOfLocal(r.local, oslo), r.want) << r.local;
}

TEST(DatesTest, AddDaysRejectsWhatIsNotADate) {
    EXPECT_EQ(addDays("", 1), "");
    EXPECT_EQ(addDays("2024-13-01", 1), "");
    EXPECT_EQ(addDays("2024-00-10", 1), "");
    EXPECT_EQ(addDays("2024-01-32", 1), "");
    EXPECT_EQ(addDays("2024-01-00", 1), "");
    EXPECT_EQ(addDays("yesterday", 1), "");
    EXPECT_EQ(addDays("2024-01", 1), "");
    EXPECT_EQ(addDays("2147483647-01-01", 1), "");
    EXPECT_EQ(addDays("2024-01-01", 2147483647), "");
}

}  // namespace
}  // namespace nbr
