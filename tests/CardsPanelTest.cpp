// What the carousel's data cards show for records made here: texts, colours
// and tooltips, one group of cases per card.
#include "ui/Panel_Cards.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace nbr {
namespace {

using panel::CardLine;
using panel::CardTone;

std::vector<std::string> texts(const std::vector<CardLine>& lines) {
    std::vector<std::string> out;
    for (const CardLine& l : lines) out.push_back(l.text);
    return out;
}

const CardLine* findLine(const std::vector<CardLine>& lines, const std::string& prefix) {
    for (const CardLine& l : lines)
        if (l.text.rfind(prefix, 0) == 0) return &l;
    return nullptr;
}

Config metric() {
    Config c;
    c.useFahrenheit = false;
    c.windUnit = 1;
    c.pressureUnit = 1;
    c.precipUnit = 1;
    return c;
}

TEST(AirCard, IndexColourBandsAndMissingPollutants) {
    const struct {
        double aqi;
        CardTone tone;
    } bands[] = {{0, CardTone::Live}, {50, CardTone::Live}, {50.5, CardTone::Amber}, {100, CardTone::Amber},
                 {101, CardTone::Error}, {350, CardTone::Error}};
    for (const auto& b : bands) EXPECT_EQ(panel::aqiTone(b.aqi), b.tone) << b.aqi;

    WeatherData d;
    d.airQuality.valid = true;
    d.airQuality.usAqi = 42;
    d.airQuality.pm2_5 = 8.4;
    d.airQuality.pm10 = -1;
    d.airQuality.ozone = 61;
    d.airQuality.carbonMonoxide = 212;
    const panel::TableCard card = panel::airCard(d);
    ASSERT_EQ(card.head.size(), 2u);
    EXPECT_EQ(card.head[0].text, "US AQI 42  (Good)");
    EXPECT_EQ(card.head[0].tone, CardTone::Live);
    EXPECT_TRUE(card.head[1].sameLine);
    EXPECT_EQ(texts(card.cells),
              (std::vector<std::string>{"PM2.5 8", "PM10 --", "O3 61", "NO2 --", "SO2 --", "CO 212"}));
    EXPECT_EQ(card.cells[1].tone, CardTone::Disabled);
    ASSERT_EQ(card.foot.size(), 1u);
    EXPECT_EQ(card.foot[0].tone, CardTone::Dim);
    EXPECT_TRUE(card.foot[0].wrapped);
}

TEST(PollenCard, EachPollenHasItsOwnBoundsAndMissingOnesAreLeftOut) {
    EXPECT_EQ(panel::pollenTone(20, 20, 50), CardTone::Amber);  // grass 20
    EXPECT_EQ(panel::pollenTone(20, 30, 90), CardTone::Live);   // birch 20
    EXPECT_EQ(panel::pollenTone(90, 30, 90), CardTone::Error);
    WeatherData d;
    d.airQuality.valid = true;
    d.airQuality.grassPollen = 55;
    d.airQuality.birchPollen = 20;
    d.airQuality.ragweedPollen = 0;
    const panel::TableCard card = panel::pollenCard(d);
    EXPECT_EQ(texts(card.cells), (std::vector<std::string>{"Grass 55", "Birch 20", "Ragweed 0"}));
    EXPECT_EQ(card.cells[0].tone, CardTone::Error);
    EXPECT_EQ(card.cells[1].tone, CardTone::Live);
    EXPECT_EQ(card.foot.back().text, "green = low, amber = moderate, red = high");
}

TEST(TidesCard, PredictionsWavesWaterAndBuoyInBothUnitSystems) {
    WeatherData d;
    TideInfo& t = d.tides;
    t.valid = t.hasPredictions = true;
    t.stationName = "Boston, MA";
    t.events = {{"04:12", true, 3.21}, {"10:30", false, -0.1}, {"dawn", true, 3.0}};
    t.waveHeight = 1.2;
    t.waterTemperature = 6.4;
    t.hasBuoy = true;
    t.buoyId = "44013";
    t.buoyDistanceKm = 30;
    t.buoyWaveHeight = 1.5;
    t.buoyWaterTemperature = 6.0;
    Config imperial;
    imperial.use24hClock = false;
    EXPECT_EQ(texts(panel::tidesCard(d, imperial)),
              (std::vector<std::string>{"Boston, MA", "High  4:12 AM  (10.5 ft)", "Low   10:30 AM  (-0.3 ft)",
                                        "High  dawn  (9.8 ft)", "Waves ~3.9 ft", "(model)", "Water 44F at Boston, MA",
                                        "Buoy 44013 (19 mi):", "waves 4.9 ft", " water 43F"}));
    Config m = metric();
    m.use24hClock = true;
    const auto lines = panel::tidesCard(d, m);
    EXPECT_EQ(texts(lines)[1], "High  04:12  (3.2 m)");
    EXPECT_EQ(lines.back().text, " water 6C");
    EXPECT_EQ(lines.back().tooltip, "Measured by the buoy, vs the marine model's waves");
    EXPECT_TRUE(findLine(lines, "Waves ~1.2 m")->spacingBefore);

    // Predictions without station or events: only the wave line, after spacing.
    t.stationName.clear();
    t.events.clear();
    t.hasBuoy = false;
    t.waterTemperature = -999;
    const auto bare = panel::tidesCard(d, m);
    EXPECT_EQ(texts(bare), (std::vector<std::string>{"Waves ~1.2 m", "(model)"}));
    EXPECT_TRUE(bare[0].spacingBefore);

    // A buoy alone is data: no "no data" line; nothing at all gives that line alone.
    t.hasPredictions = false;
    t.waveHeight = -1;
    t.hasBuoy = true;
    t.buoyWaveHeight = -1;
    t.buoyWaterTemperature = -999;
    EXPECT_EQ(texts(panel::tidesCard(d, m)), (std::vector<std::string>{"Buoy 44013 (30 km):"}));
    EXPECT_EQ(panel::tidesCard(d, m).back().tooltip, "Measured by the buoy, vs the marine model's waves");
    t.hasBuoy = false;
    EXPECT_EQ(texts(panel::tidesCard(d, m)), (std::vector<std::string>{"No tide / marine data here."}));
}

TEST(RiverCard, RisingOnlyAboveOneAndAHalfTimesAFlowingRiverAndGaugeLines) {
    struct Case {
        double now, peak;
        const char* second;
        CardTone tone;
    } cases[] = {{10, 16, "Rising: peaks near 16.0 m3/s this week", CardTone::Amber},
                 {10, 15, "7-day peak: 15.0 m3/s", CardTone::Normal},
                 {0, 5, "7-day peak: 5.0 m3/s", CardTone::Normal}};
    for (const Case& c : cases) {
        WeatherData d;
        d.flood.valid = true;
        d.flood.riverDischarge = c.now;
        d.flood.riverDischargeMax = c.peak;
        const auto lines = panel::riverCard(d, metric());
        ASSERT_EQ(lines.size(), 3u);
        EXPECT_EQ(lines[1].text, c.second);
        EXPECT_EQ(lines[1].tone, c.tone);
        EXPECT_EQ(lines[2].text, "(modelled - GloFAS)");
    }
    WeatherData d;
    d.flood.valid = d.flood.hasGauge = true;
    d.flood.gaugeSite = "Charles River at Waltham";
    d.flood.gaugeDistanceKm = 16.1;
    d.flood.gaugeDischarge = 7.25;
    d.flood.gaugeHeight = 1.5;
    const auto gauge = panel::riverCard(d, Config{});
    EXPECT_EQ(texts(gauge), (std::vector<std::string>{"Gauge: Charles River at Waltham", "  measured 7.25 m3/s",
                                                      "  stage 4.9 ft", "(USGS gauge, 10 mi away)"}));
    EXPECT_FALSE(gauge[0].spacingBefore);  // no modelled lines above it
    d.flood.riverDischarge = 3;
    d.flood.riverDischargeMax = 3;
    EXPECT_TRUE(findLine(panel::riverCard(d, metric()), "Gauge:")->spacingBefore);
    EXPECT_EQ(texts(panel::riverCard(d, metric()))[5], "  stage 1.50 m");
}

TEST(AlmanacCard, TodayAgainstNormalAndTheSeasonalOutlook) {
    struct Case {
        double todayHigh, anomaly;
        bool fahrenheit;
        const char* today;
        CardTone todayTone;
        const char* outlook;
        CardTone outlookTone;
    } cases[] = {
        {25, 0.3, true, "Today's high runs 9 above average", CardTone::Amber,
         "Next 3 months lean warmer (about +1 deg)", CardTone::Amber},  // 0.3 C = 0.54 F
        {19.5, 0.3, false, "Today's high is about average.", CardTone::Disabled, "Next 3 months look near normal",
         CardTone::Disabled},
        {17, -1.2, false, "Today's high runs 3 below average", CardTone::Live,
         "Next 3 months lean cooler (about -1 deg)", CardTone::Accent},
    };
    for (const Case& c : cases) {
        WeatherData d;
        d.normals = {true, 20, 11};
        d.daily.resize(1);
        d.daily[0].temperatureMax = c.todayHigh;
        d.seasonalAnomaly = {true, 30, c.anomaly};
        Config cfg = metric();
        cfg.useFahrenheit = c.fahrenheit;
        const auto lines = panel::almanacCard(d, cfg, 1780000000);
        EXPECT_EQ(lines[0].text, c.fahrenheit ? "Normal: high 68F / low 52F" : "Normal: high 20C / low 11C");
        EXPECT_EQ(lines[1].text, c.today);
        EXPECT_EQ(lines[1].tone, c.todayTone);
        EXPECT_EQ(lines[2].text, c.outlook);
        EXPECT_EQ(lines[2].tone, c.outlookTone);
        EXPECT_EQ(lines.back().text, "(10-year average for this date)");
    }
    WeatherData bare;
    bare.normals = {true, 20, 11};
    const auto lines = panel::almanacCard(bare, metric(), 1780000000);
    EXPECT_EQ(findLine(lines, "Today"), nullptr);
    EXPECT_EQ(findLine(lines, "Next 3"), nullptr);
}

TEST(TrendsCard, AnalogsAndTheRowsOfOtherSourcesLineUp) {
    WeatherData d;
    d.analogs.valid = true;
    d.analogs.years = 10;
    d.analogs.matches = 14;
    d.analogs.nextHighAvg = 12;
    d.analogs.nextLowAvg = 4;
    d.analogs.trendAvg = -1.5;
    d.analogs.rainPct = 30;
    d.analogs.nextHighs = {14, 10, 12};
    d.daily.resize(2);
    d.daily[1].temperatureMax = 13;
    d.daily[1].temperatureMin = 5;
    d.nws = {true, "nws", "", 14, 6, 40};
    const Config m = metric();
    auto lines = panel::trendsCard(d, m);
    EXPECT_EQ(texts(lines),
              (std::vector<std::string>{"Similar stretches, 10-yr archive (n=14):", "Next day: 12C / 4C avg",
                                        " trend: cooling (-1.5)", "Rain next day: 30% of matches",
                                        "Tomorrow  nws:        14C / 6C  rain 40%",
                                        "          Open-Meteo: 13C / 5C"}));
    const CardLine& trend = lines[2];
    EXPECT_EQ(trend.tone, CardTone::Live);
    EXPECT_EQ(trend.tipHistogram, (std::vector<float>{10, 12, 14}));  // sorted
    EXPECT_EQ(trend.tipLines.back().text, "min 10C   avg 12C   max 14C");
    EXPECT_TRUE(lines[4].spacingBefore);

    // Both providers: the nws row starts with spaces; every value at column 23.
    d.metNorway = {true, "metno", "", 15, 7, -1};
    d.nws.precipitationProbability = -1;
    lines = panel::trendsCard(d, m);
    const size_t n = lines.size();
    EXPECT_EQ(lines[n - 3].text, "Tomorrow  MET Norway: 15C / 7C");
    EXPECT_EQ(lines[n - 2].text, "          nws:        14C / 6C");
    for (size_t k = n - 3; k < n; ++k) EXPECT_EQ(lines[k].text.find_first_of("0123456789"), 22u) << lines[k].text;

    // A one-day list shows only the analogs; a flat trend is disabled.
    d.daily.resize(1);
    d.analogs.trendAvg = 0.5;
    lines = panel::trendsCard(d, m);
    EXPECT_EQ(findLine(lines, "Tomorrow"), nullptr);
    EXPECT_EQ(findLine(lines, " trend: flat")->tone, CardTone::Disabled);
    d.analogs.trendAvg = 1.0;
    EXPECT_EQ(findLine(panel::trendsCard(d, m), " trend: warming (+1.0)")->tone, CardTone::Amber);
}

TEST(RecordsCard, RecordYearsStreakAndMonthRain) {
    WeatherData d;
    ArchiveInsights& i = d.insights;
    i.valid = true;
    i.years = 30;
    i.recordHigh = 35;
    i.recordHighYear = 2005;
    i.recordLow = -12;
    i.recordLowYear = 1999;
    i.hasLastYear = true;
    i.lastYearHigh = 21;
    i.lastYearLow = 12;
    i.lastYearPrecip = 1.0;
    i.streakDays = 3;
    i.streakAbove = false;
    i.monthRain = 42;
    i.monthRainTypical = 80;
    i.monthRainByYear = {60, 120, 35};
    const auto lines = panel::recordsCard(d, metric());
    EXPECT_EQ(texts(lines), (std::vector<std::string>{"This date, 30-yr archive:", "Record: 35C ('05)  /  -12C ('99)",
                                                      "Last year: 21C / 12C  (rain)", "Streak: 3 days ", "below",
                                                      " seasonal average", "Month rain: 42.0 mm of 80.0 mm typical"}));
    EXPECT_EQ(lines[4].tone, CardTone::Accent);
    EXPECT_TRUE(lines[4].sameLine && lines[4].joined);
    EXPECT_EQ(lines.back().tipLines.back().text, "range 35.0 mm - 120.0 mm");
    EXPECT_EQ(lines.back().tipHistogram.size(), 3u);

    i.streakDays = 0;
    i.monthRainByYear.clear();
    i.lastYearPrecip = 0.9;
    const auto quiet = panel::recordsCard(d, Config{});
    EXPECT_EQ(findLine(quiet, "Streak"), nullptr);
    EXPECT_EQ(findLine(quiet, "Last year")->text, "Last year: 70F / 54F");
    EXPECT_TRUE(findLine(quiet, "Month rain")->tipLines.size() == 1);  // no range without years
}

TEST(PlanCard, ScoresWithTheirColoursAndNoRowsWithoutDailyData) {
    WeatherData d;
    d.time = "2026-06-01T12:00";
    d.cloudCover = 5;
    d.relativeHumidity = 40;
    d.daily.resize(1);
    d.daily[0].precipitationProbabilityMax = 0;
    d.daily[0].temperatureMax = 21;
    d.daily[0].temperatureMin = 11;
    d.hourly.resize(24);
    const auto lines = panel::planCard(d, 1780000000);
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[0].text, "Stargazing ");
    for (size_t row = 0; row < 3; ++row) {
        const CardLine& score = lines[row * 3 + 1];
        const int s = std::stoi(score.text);
        EXPECT_EQ(score.tone, s >= 8 ? CardTone::Live : s < 5 ? CardTone::Error : CardTone::Amber) << score.text;
        EXPECT_EQ(score.text.substr(2, 4), "/10 ");
    }
    EXPECT_EQ(lines[3].text, "Laundry    ");
    EXPECT_EQ(lines.back().text, "(scored from clouds, moon, rain odds, humidity, air)");

    d.daily.clear();
    EXPECT_EQ(panel::planCard(d, 1780000000).size(), 1u);
}

TEST(QuakesCard, TwoEventsAtMostWithMagnitudeColours) {
    WeatherData d;
    d.quakes.valid = true;
    d.quakes.events = {{6.1, 120, "near Somewhere", 5}, {4.2, 80, "", 30}, {6.5, 10, "x", 1}};
    const auto lines = panel::quakesCard(d);
    EXPECT_EQ(texts(lines), (std::vector<std::string>{"Earthquakes within 500 km, past week:", "M6.1",
                                                      "120 km away, 5h ago", "  near Somewhere", "M4.2",
                                                      "80 km away, 30h ago", "(USGS)"}));
    EXPECT_EQ(lines[1].tone, CardTone::Error);
    EXPECT_EQ(lines[4].tone, CardTone::Amber);
    d.quakes.events = {{3.9, 1, "", 1}};
    EXPECT_EQ(panel::quakesCard(d)[1].tone, CardTone::Dim);
}

TEST(WinterCard, SnowDepthFreshSnowAndFreezingLevel) {
    WeatherData d;
    d.hourly.resize(24);
    d.hourly[0].snowDepth = 0.02;
    d.hourly[0].freezingLevelHeight = 850;
    for (auto& h : d.hourly) h.snowfall = 0.5;
    EXPECT_EQ(texts(panel::winterCard(d, metric())),
              (std::vector<std::string>{"Snow on the ground: 2 cm", "Next 24h: 12.0 cm of fresh snow",
                                        "Freezing level: 850 m up", "(rain below that altitude, snow above)"}));
    EXPECT_EQ(texts(panel::winterCard(d, Config{})),
              (std::vector<std::string>{"Snow on the ground: 0.8 in", "Next 24h: 4.7 in of fresh snow",
                                        "Freezing level: 2789 ft up", "(rain below that altitude, snow above)"}));
    d.hourly[0].snowDepth = 0.01;
    for (auto& h : d.hourly) h.snowfall = 0;
    d.hourly[0].freezingLevelHeight = -1;
    EXPECT_TRUE(panel::winterCard(d, metric()).empty());
}

TEST(DiscussionCard, OfficeLineWithTheIssueClock) {
    WeatherData d;
    d.afdText = "FXUS61 KBOX\n.SYNOPSIS...";
    d.afdOffice = "BOX";
    d.afdIssued = "2026-01-05T15:41:00-05:00";
    Config c;
    EXPECT_EQ(panel::discussionCard(d, c).officeLine, "WFO BOX  -  issued 3:41 PM");
    d.afdIssued = "bad";
    EXPECT_EQ(panel::discussionCard(d, c).officeLine, "WFO BOX");
    d.afdOffice.clear();
    EXPECT_EQ(panel::discussionCard(d, c).officeLine, "");
    EXPECT_EQ(*panel::discussionCard(d, c).text, d.afdText);
}

}  // namespace
}  // namespace nbr
