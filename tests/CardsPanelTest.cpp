// What the carousel's data cards show for records made here: texts, colours
// and tooltips, one group of cases per card.
#include "model/PlaceClock.h"
#include "ui/Panel_Cards.h"

#include <gtest/gtest.h>

namespace nbr {
namespace {

using panel::CardLine;
using panel::CardTone;
using Texts = std::vector<std::string>;

Texts texts(const std::vector<CardLine>& lines) {
    Texts out;
    for (const CardLine& l : lines) out.push_back(l.text);
    return out;
}

constexpr int64_t kNoon = 1779969600;  // 2026-05-28 12:00 UTC

Config metric() {
    Config c;
    c.useFahrenheit = false;
    c.windUnit = c.pressureUnit = c.precipUnit = 1;
    return c;
}

TEST(AirAndPollenCards, ColourBandsAndMissingValues) {
    const std::pair<double, CardTone> bands[] = {
        {50, CardTone::Live}, {50.5, CardTone::Amber}, {100, CardTone::Amber}, {101, CardTone::Error}};
    for (const auto& [aqi, tone] : bands) EXPECT_EQ(panel::aqiTone(aqi), tone) << aqi;
    EXPECT_EQ(panel::pollenTone(20, 20, 50), CardTone::Amber);  // grass 20
    EXPECT_EQ(panel::pollenTone(20, 30, 90), CardTone::Live);   // birch 20

    WeatherData d;
    d.airQuality = {true, 42, -1, 8.4, -1, 61, -1, -1, -1, -1, 20, 55, -1, -1, 0};
    const panel::TableCard air = panel::airCard(d);
    EXPECT_EQ(air.head[0].text, "US AQI 42  (Good)");
    EXPECT_EQ(texts(air.cells), (Texts{"PM2.5 8", "PM10 --", "O3 61", "NO2 --", "SO2 --", "CO --"}));
    EXPECT_EQ(air.cells[1].tone, CardTone::Disabled);
    const panel::TableCard pollen = panel::pollenCard(d);
    EXPECT_EQ(texts(pollen.cells), (Texts{"Grass 55", "Birch 20", "Ragweed 0"}));
    EXPECT_EQ(pollen.cells[0].tone, CardTone::Error);
}

TEST(TidesCard, PredictionsWavesWaterAndBuoyInBothUnitSystems) {
    WeatherData d;
    d.tides = {true, true, "Boston, MA", {{"04:12", true, 3.21}, {"dawn", false, -0.1}}, 1.2, 6.4, true, "44013",
               30, 1.5, 6.0};
    EXPECT_EQ(texts(panel::tidesCard(d, Config{})),
              (Texts{"Boston, MA", "High  4:12 AM  (10.5 ft)", "Low   dawn  (-0.3 ft)", "Waves ~3.9 ft", "(model)",
                     "Water 44F at Boston, MA", "Buoy 44013 (19 mi):", "waves 4.9 ft", " water 43F"}));
    Config m = metric();
    m.use24hClock = true;
    EXPECT_EQ(panel::tidesCard(d, m)[1].text, "High  04:12  (3.2 m)");
    EXPECT_EQ(panel::tidesCard(d, m).back().tooltip, "Measured by the buoy, vs the marine model's waves");
    d.tides.events[0].height.reset();  // a tide without its height
    EXPECT_EQ(panel::tidesCard(d, m)[1].text, "High  04:12");

    // Predictions without station or events: the wave line alone, after spacing.
    d.tides = {true, true, "", {}, 1.2, -999, false, "", 0, -1, -999};
    EXPECT_EQ(texts(panel::tidesCard(d, m)), (Texts{"Waves ~1.2 m", "(model)"}));
    EXPECT_TRUE(panel::tidesCard(d, m)[0].spacingBefore);
    // A buoy alone is data; nothing at all gives the "no data" line alone.
    d.tides = {true, false, "", {}, -1, -999, true, "44013", 30, -1, -999};
    EXPECT_EQ(texts(panel::tidesCard(d, m)), (Texts{"Buoy 44013 (30 km):"}));
    d.tides.hasBuoy = false;
    EXPECT_EQ(texts(panel::tidesCard(d, m)), (Texts{"No tide / marine data here."}));
}

TEST(RiverCard, RisingOnlyAboveOneAndAHalfTimesAFlowingRiverAndGaugeLines) {
    const struct {
        double now, peak;
        const char* second;
    } cases[] = {{10, 16, "Rising: peaks near 16.0 m3/s this week"},
                 {10, 15, "7-day peak: 15.0 m3/s"},
                 {0, 5, "7-day peak: 5.0 m3/s"}};
    for (const auto& c : cases) {
        WeatherData d;
        d.flood.riverDischarge = c.now;
        d.flood.riverDischargeMax = c.peak;
        EXPECT_EQ(panel::riverCard(d, metric()).at(1).text, c.second);
    }
    WeatherData d;
    d.flood.riverDischargeMax = 668.9;  // today's flow unknown: the week's peak stays
    EXPECT_EQ(texts(panel::riverCard(d, metric())), (Texts{"7-day peak: 668.9 m3/s", "(modelled - GloFAS)"}));
    d.flood = {true, -1, -1, true, "Charles River", 16.1, 7.25, 1.5};
    const auto gauge = panel::riverCard(d, Config{});
    EXPECT_EQ(texts(gauge), (Texts{"Gauge: Charles River", "  measured 7.25 m3/s", "  stage 4.9 ft",
                                   "(USGS gauge, 10 mi away)"}));
    EXPECT_FALSE(gauge[0].spacingBefore);  // no modelled lines above it
}

TEST(AlmanacCard, TodayAgainstNormalAndTheSeasonalOutlook) {
    const struct {
        double todayHigh, normalHigh, anomaly;
        bool fahrenheit;
        const char *today, *outlook;  // today: null when the line is left out
        CardTone outlookTone;
    } cases[] = {
        // +0.3 C is 0.54 F: warmer in Fahrenheit, near normal in Celsius.
        {25, 20, 0.3, true, "Today's high runs 9 above average", "Next 3 months lean warmer (about +1 deg)",
         CardTone::Amber},
        {19.5, 20, 0.3, false, "Today's high is about average.", "Next 3 months look near normal", CardTone::Disabled},
        {17, 20, -1.2, false, "Today's high runs 3 below average", "Next 3 months lean cooler (about -1 deg)",
         CardTone::Accent},
        // No comparison with a high or a normal that is not known.
        {kUnknownTemperature, 20, 0.3, true, nullptr, "Next 3 months lean warmer (about +1 deg)", CardTone::Amber},
        {25, kUnknownTemperature, 0.3, false, nullptr, "Next 3 months look near normal", CardTone::Disabled},
    };
    for (const auto& c : cases) {
        WeatherData d;
        d.normals = {true, c.normalHigh, 11};
        d.daily.resize(1);
        d.daily[0].date = "2026-05-28";  // the place's date at the time below, on an unknown clock
        d.daily[0].temperatureMax = c.todayHigh;
        d.seasonalAnomaly = {true, 30, c.anomaly};
        Config cfg = metric();
        cfg.useFahrenheit = c.fahrenheit;
        const auto lines = panel::almanacCard(d, cfg, 1780000000);
        const size_t outlook = c.today ? 2 : 1;
        if (c.today) { EXPECT_EQ(lines[1].text, c.today); }
        EXPECT_EQ(lines[outlook].text, c.outlook);
        EXPECT_EQ(lines[outlook].tone, c.outlookTone);
    }
}

TEST(TrendsCard, AnalogsAndTheRowsOfOtherSourcesLineUp) {
    WeatherData d;
    d.analogs = {true, 14, 10, 12, 4, -1.5, 30, {14, 10, 12}};
    d.daily.resize(3);
    for (size_t i = 0; i < 3; ++i) d.daily[i].date = panel::textf("2026-05-%02zu", 28 + i);
    d.daily[1].temperatureMax = 13;
    d.daily[1].temperatureMin = 5;
    d.daily[2].temperatureMax = 16, d.daily[2].temperatureMin = kUnknownTemperature;
    d.nws = {true, "nws", "2026-05-29", 14, 6, 40};
    auto lines = panel::trendsCard(d, metric(), kNoon);
    EXPECT_EQ(texts(lines), (Texts{"Similar stretches, 10-yr archive (n=14):", "Next day: 12C / 4C avg",
                                   " trend: cooling (-1.5)", "Rain next day: 30% of matches",
                                   "Tomorrow  nws:        14C / 6C  rain 40%", "          Open-Meteo: 13C / 5C"}));
    EXPECT_EQ(lines[2].tipHistogram, (std::vector<float>{10, 12, 14}));  // sorted
    EXPECT_EQ(lines[2].tipLines.back().text, "min 10C   avg 12C   max 14C");

    // Both providers: the nws row starts with spaces; every value at column 23.
    d.metNorway = {true, "metno", "2026-05-29", 15, 7, -1};
    d.nws.precipitationProbability = -1;
    lines = panel::trendsCard(d, metric(), kNoon);
    const size_t n = lines.size();
    EXPECT_EQ(lines[n - 2].text, "          nws:        14C / 6C");
    for (size_t k = n - 3; k < n; ++k) EXPECT_EQ(lines[k].text.find_first_of("0123456789"), 22u) << lines[k].text;
    d.metNorway.date = "2026-05-30";  // a day on: only a view of the 30th beside the record's own, no analogs
    d.time = "2026-05-28T11:45";
    EXPECT_EQ(texts(panel::trendsCard(d, metric(), kNoon + 86400)),
              (Texts{"Tomorrow  MET Norway: 15C / 7C", "          Open-Meteo: 16C / --"}));
    d.daily.resize(1);  // one day: only the analogs
    EXPECT_EQ(panel::trendsCard(d, metric(), kNoon).size(), 4u);
}

TEST(RecordsPlanQuakesWinterDiscussionCards, LinesAndColours) {
    WeatherData d;
    d.insights = {true, 30, 35, -12, 2005, 1999, true, 21, 12, 1.0, 3, false, 42, 80, {60, 120, 35}};
    d.time = "2026-05-28T11:45";  // the archive's insights are of this date
    EXPECT_TRUE(panel::recordsCard(d, metric(), kNoon + 86400).empty());  // not "this date" any more
    const auto records = panel::recordsCard(d, metric(), kNoon);
    EXPECT_EQ(texts(records), (Texts{"This date, 30-yr archive:", "Record: 35C ('05)  /  -12C ('99)",
                                     "Last year: 21C / 12C  (rain)", "Streak: 3 days ", "below", " seasonal average",
                                     "Month rain: 42.0 mm of 80.0 mm typical"}));
    EXPECT_EQ(records[4].tone, CardTone::Accent);
    EXPECT_EQ(records.back().tipLines.back().text, "range 35.0 mm - 120.0 mm");

    d.time = "2026-06-01T12:00";
    d.cloudCover = 0, d.relativeHumidity = 40, d.apparentTemperature = 12, d.windSpeed = 5, d.windGusts = 10;
    d.daily.resize(1);
    d.daily[0].date = "2026-05-28", d.daily[0].precipitationProbabilityMax = 0;
    d.hourly.resize(24);
    for (size_t h = 0; h < 24; ++h) d.hourly[h].time = PlaceClock::fixed(0).minuteOf(kNoon + 3600 * int64_t(h));
    for (HourlyForecast& h : d.hourly) h.precipitationProbability = 0;
    const auto plan = panel::planCard(d, 1780000000);
    ASSERT_EQ(plan.size(), 10u);
    EXPECT_EQ(plan[0].text, "Stargazing ");
    d.daily.clear();
    EXPECT_EQ(panel::planCard(d, 1780000000).size(), 1u);  // no scores without daily data

    d.quakes.events = {{6.1, 120, "near Somewhere", 5}, {4.2, -1, "", 30}, {6.5, 10, "x", 1}};  // -1: no position
    const auto quakes = panel::quakesCard(d);
    EXPECT_EQ(texts(quakes), (Texts{"Earthquakes within 500 km, past week:", "M6.1", "120 km away, 5h ago",
                                    "  near Somewhere", "M4.2", "30h ago", "(USGS)"}));
    EXPECT_EQ(quakes[4].tone, CardTone::Amber);

    d.hourly[0].snowDepth = 0.02;
    d.hourly[0].freezingLevelHeight = 850;
    for (auto& h : d.hourly) h.snowfall = 0.5;
    EXPECT_EQ(texts(panel::winterCard(d, metric(), kNoon + 1800)),
              (Texts{"Snow on the ground: 2 cm", "Next 24h: 12.0 cm of fresh snow", "Freezing level: 850 m up",
                     "(rain below that altitude, snow above)"}));
    EXPECT_EQ(texts(panel::winterCard(d, Config{}, kNoon))[2], "Freezing level: 2789 ft up");
    d.hourly[5].snowfall = kUnknownAmount;  // adds none, nor do the 2 hours past the record's end: all told
    EXPECT_EQ(texts(panel::winterCard(d, metric(), kNoon + 2 * 3600)),
              (Texts{"Next 24h: 10.5 cm of fresh snow (3 h unknown)"}));
    EXPECT_TRUE(panel::winterCard(d, metric(), kNoon + 24 * 3600).empty());  // past the hours
    // The hour holding now is not in the record (its time was null): 24 hours by time, not to the 24th entry.
    EXPECT_EQ(texts(panel::winterCard(d, metric(), kNoon - 1800))[1], "Next 24h: 11.0 cm of fresh snow (2 h unknown)");

    // The issue time on the place's clock (UTC-5); a time without a zone is the place's own.
    d.afdOffice = "BOX";
    d.utcOffsetSeconds = -5 * 3600;
    const char* issued[][2] = {{"2026-01-05T15:41:00-05:00", "  -  issued 3:41 PM"},
                               {"2026-01-06T02:10:00.5Z", "  -  issued 9:10 PM"},
                               {"2026-01-05T15:41", "  -  issued 3:41 PM"},
                               {"bad", ""}};
    for (const auto& [when, text] : issued) {
        d.afdIssued = when;
        EXPECT_EQ(panel::discussionCard(d, Config{}).officeLine, std::string("WFO BOX") + text) << when;
    }
}

}  // namespace
}  // namespace nbr
