// The forecast-history window from skill and chart rows built by the history
// store, its chart geometry, and the constellation guide's list for tonight.
#include "GuiHarness.h"
#include "PlaceRecords.h"
#include "foundation/LocationManager.h"
#include "service/WeatherService.h"
#include "ui/Panel_Constellations.h"
#include "ui/Panel_History.h"
#include "ui/Panel_Sky.h"
#include "ui/UIRenderer.h"

#include <gtest/gtest.h>

#include <cmath>

namespace nbr {
namespace {

using panel::CardTone;

WeatherData recordWithLog(int days, double warm, int lead2) { return test::historyRecord(days, warm, lead2); }

TEST(HistoryWindow, StatusAndLeadRowsFromTheStoresSkill) {
    Config metric;
    metric.useFahrenheit = false;
    const WeatherData data = recordWithLog(14, 1.0, 5);
    ASSERT_EQ(data.history.size(), 14u);
    panel::HistoryView v = panel::historyView(data, metric);
    EXPECT_EQ(v.status.tone, CardTone::Live);  // 14 scored day-ahead forecasts
    ASSERT_GE(v.leads.size(), 2u);
    EXPECT_EQ(v.leads[0].cells, (std::vector<std::string>{"1 day", "14", "1.0 deg"}));
    EXPECT_EQ(v.leads[0].last.text, "runs warm +1.0");
    EXPECT_EQ(v.leads[1].last.text, "learning");  // too few two-day forecasts
    // In Fahrenheit the typical miss and the tendency are scaled.
    EXPECT_EQ(panel::historyView(data, Config{}).leads[0].cells[2], "1.8 deg");
    EXPECT_EQ(panel::historyView(data, Config{}).leads[0].last.text, "runs warm +1.8");
    EXPECT_EQ(panel::historyView(recordWithLog(14, -0.5, 0), metric).leads[0].last.text, "runs cool -0.5");
    EXPECT_EQ(panel::historyView(recordWithLog(14, 0.2, 0), metric).leads[0].last.text, "neutral");

    // Nine scored days are still learning, ten tune; seeded wins; no rows, no window body.
    EXPECT_EQ(panel::historyView(recordWithLog(9, 1.0, 0), metric).leads[0].last.text, "learning");
    EXPECT_EQ(panel::historyView(recordWithLog(9, 1.0, 0), metric).status.tone, CardTone::Disabled);
    EXPECT_EQ(panel::historyView(recordWithLog(10, 1.0, 0), metric).status.tone, CardTone::Live);
    WeatherData one = recordWithLog(1, 1.0, 0);
    EXPECT_FALSE(panel::historyView(one, metric).noHistory);
    EXPECT_FALSE(panel::historyChartScale(one.history, false).enough);
    one.skill.seeded = true;
    EXPECT_EQ(panel::historyView(one, metric).status.tone, CardTone::Amber);
    EXPECT_TRUE(panel::historyView(WeatherData{}, metric).noHistory);
}

TEST(HistoryWindow, RainFactorCalibrationAndModelRows) {
    WeatherData d = recordWithLog(3, 0, 0);
    ForecastSkill& s = d.skill;
    s.valid = true;
    const struct {
        double factor;
        int samples;
        bool shown;
    } rain[] = {{1.14, 20, false}, {0.85, 20, true}, {1.5, 9, false}, {1.5, 10, true}};
    for (const auto& r : rain) {
        s.rainFactor = r.factor;
        s.rainSamples = r.samples;
        EXPECT_EQ(panel::historyView(d, Config{}).hasRainLine, r.shown) << r.factor << " " << r.samples;
    }
    EXPECT_EQ(panel::historyView(d, Config{}).rainLine.text, "Rain amounts: actual ~1.5x forecast here (n=10)");

    s.popBins[0] = {11, 2};
    EXPECT_FALSE(panel::historyView(d, Config{}).hasCalibration);
    s.popBins[1] = {12, 3};
    s.popBins[4] = {11, 9};
    panel::HistoryView v = panel::historyView(d, Config{});
    ASSERT_TRUE(v.hasCalibration);
    ASSERT_EQ(v.popBins.size(), 3u);  // bins 2 and 3 are empty
    EXPECT_EQ(v.popBins[0].cells, (std::vector<std::string>{"0-20%", "11"}));
    EXPECT_EQ(v.popBins[0].last.text, "learning");
    EXPECT_EQ(v.popBins[1].last.text, "25%");  // percentages are not unit-scaled
    EXPECT_EQ(v.popBins[2].cells[0], "80-100%");

    s.models = {{"icon_seamless", 30, 1.25, 12, 0.12}, {"nws", 20, 2.0, 12, -1}, {"ens", 5, 1.0, 11, 0.2}};
    v = panel::historyView(d, Config{});
    ASSERT_EQ(v.models.size(), 3u);
    EXPECT_EQ(v.models[0].cells, (std::vector<std::string>{"icon_seamless", "30", "2.2 deg"}));
    EXPECT_EQ(v.models[0].last.text, "0.12");
    EXPECT_NE(v.models[0].last.tooltip.find("n=12"), std::string::npos);
    EXPECT_EQ(v.models[1].last.text, "--");
    EXPECT_EQ(v.models[2].last.text, "--");
}

TEST(HistoryChart, ScaleGeometryAndHover) {
    std::vector<HistoryDay> rows(3);
    rows[0] = {"2026-01-02", true, 10, 0, false, 0, 0, true, 12};
    rows[1] = {"2026-01-03", true, 8, -2, true, 9, -1, false, 0};
    rows[2] = {"2026-01-04", false, 0, 0, true, 20, 5, false, 0};
    const panel::ChartScale c = panel::historyChartScale(rows, false);
    ASSERT_TRUE(c.enough);
    EXPECT_EQ(c.min, -2);
    EXPECT_EQ(c.max, 20);
    const panel::ChartScale f = panel::historyChartScale(rows, true);
    EXPECT_FLOAT_EQ(f.min, 28.4f);
    EXPECT_FLOAT_EQ(f.max, 68);
    EXPECT_FLOAT_EQ(panel::chartY(100, -2, c), 100 + 130 - 8);
    EXPECT_FLOAT_EQ(panel::chartY(100, 20, c), 100 + 130 - 8 - 114);
    EXPECT_FLOAT_EQ(panel::chartX(0, 0), 8 + 23);

    // A flat range is widened to a degree.
    std::vector<HistoryDay> flat(2);
    flat[0] = {"2026-01-02", true, 5, 5, false, 0, 0, false, 0};
    flat[1] = flat[0];
    const panel::ChartScale w = panel::historyChartScale(flat, false);
    EXPECT_EQ(w.min, 4.5f);
    EXPECT_EQ(w.max, 5.5f);
    // A value that is not a number stays off the scale.
    flat[1].observedHigh = NAN;
    EXPECT_EQ(panel::historyChartScale(flat, false).max, 5.5f);

    EXPECT_EQ(panel::chartColumnAt(0, 0, 7, 50, 3), -1);
    EXPECT_EQ(panel::chartColumnAt(0, 0, 8, 50, 3), 0);
    EXPECT_EQ(panel::chartColumnAt(0, 0, 54, 50, 3), 1);
    EXPECT_EQ(panel::chartColumnAt(0, 0, 8 + 3 * 46, 50, 3), -1);
    EXPECT_EQ(panel::chartColumnAt(0, 0, 60, 130, 3), -1);
    EXPECT_EQ(panel::chartDateLabel("2026-01-04"), "01/04");

    Config metric;
    metric.useFahrenheit = false;
    std::vector<std::string> tip;
    for (const auto& l : panel::chartTooltip(rows[1], metric)) tip.push_back(l.text);
    EXPECT_EQ(tip, (std::vector<std::string>{"2026-01-03", "Actual:   8C / -2C", "Forecast: 9C / -1C  (day before)",
                                             "Miss: high +1.0, low +1.0 deg"}));
    EXPECT_EQ(panel::chartTooltip(rows[0], metric).back().text, "Last yr high: 12C");
}

// ---- Constellation guide ------------------------------------------------------

constexpr int64_t kJan15Utc0 = 1768435200;  // 2026-01-15 00:00 UTC

TEST(ConstellationGuide, PositionsForTenPmDuringTheDayElseNow) {
    WeatherData d;
    d.location.latitude = 42.36;
    d.location.longitude = -71.06;
    d.utcOffsetSeconds = -5 * 3600;
    const int64_t localMidnight = kJan15Utc0 + 5 * 3600;
    const struct {
        int localMinute;
        bool tenPm;
    } cases[] = {{3 * 60, false}, {4 * 60, true}, {20 * 60 + 59, true}, {21 * 60, false}};
    for (const auto& c : cases) {
        const int64_t now = localMidnight + c.localMinute * 60;
        const panel::StarGuide g = panel::starGuide(d, Config{}, now);
        EXPECT_EQ(g.when, c.tenPm ? localMidnight + 22 * 3600 : now) << c.localMinute;
        EXPECT_EQ(g.timeLabel, c.tenPm ? "at 10pm" : "now") << c.localMinute;
        EXPECT_EQ(g.month, 1);
    }
    Config c24;
    c24.use24hClock = true;
    EXPECT_EQ(panel::starGuide(d, c24, localMidnight + 12 * 3600).timeLabel, "at 22:00");
}

TEST(ConstellationGuide, InSeasonRowsForTheHemisphereHighestFirst) {
    for (double lat : {59.91, -33.9}) {
        WeatherData d;
        d.location.latitude = lat;
        d.location.longitude = 10;
        const panel::StarGuide g = panel::starGuide(d, Config{}, kJan15Utc0 + 12 * 3600);
        ASSERT_FALSE(g.rows.empty());
        EXPECT_EQ(static_cast<int>(g.rows.size()), panel::constellationsInSeason(1, lat));
        for (size_t i = 1; i < g.rows.size(); ++i) EXPECT_GE(g.rows[i - 1].altitude, g.rows[i].altitude);
        EXPECT_EQ(g.header, std::string("jan, ") + (lat < 0 ? "southern" : "northern") + " sky: " +
                                std::to_string(g.rows.size()) + " constellations in season");
        EXPECT_NE(g.subheader.find("directions at 10pm;"), std::string::npos);
    }
}

TEST(ConstellationGuide, PoorSkyPositionTextsTintsAndTooltips) {
    WeatherData d;
    d.location.latitude = 42;
    d.cloudCover = 60;  // no daily data: the cloud cover decides
    panel::StarGuide g = panel::starGuide(d, Config{}, kJan15Utc0);
    EXPECT_TRUE(g.poorSky);
    EXPECT_EQ(g.footer, "* sky visibility tonight: high cloud cover -- viewing may be impacted");
    d.cloudCover = 59;
    EXPECT_FALSE(panel::starGuide(d, Config{}, kJan15Utc0).poorSky);

    const Constellation& c0 = constellations().front();  // any row serves
    const struct {
        double alt;
        std::string text;
        float alpha, poorAlpha;
    } rows[] = {{4.9, "below horizon now", 0.55f, 0.275f},
                {14.9, "very low SW", 1.0f, 0.5f},
                {15, "SW, 15 deg up", 1.0f, 0.5f}};
    for (const auto& r : rows) {
        const panel::StarRow row{&c0, r.alt, 225};
        EXPECT_EQ(panel::starPositionText(row, "now"), r.text);
        EXPECT_FLOAT_EQ(panel::starTintAlpha(r.alt, false), r.alpha);
        EXPECT_FLOAT_EQ(panel::starTintAlpha(r.alt, true), r.poorAlpha);
    }

    const panel::StarRow low{&c0, 2, 90};
    std::unordered_map<std::string, std::string> facts;
    auto tip = panel::starTooltip(low, "at 10pm", facts);
    EXPECT_EQ(tip[0].text, c0.name);
    EXPECT_TRUE(tip[1].sameLine);
    EXPECT_EQ(tip[3].text, "below the horizon at 10pm -- try earlier or later in the season");
    EXPECT_EQ(tip[5].text, "fetching details from wikipedia...");
    facts[c0.name] = "A constellation.";
    tip = panel::starTooltip(panel::StarRow{&c0, 40, 180}, "now", facts);
    EXPECT_EQ(tip[3].text, "look S, about 40 deg above the horizon now");
    EXPECT_EQ(tip[5].text, "A constellation.");
    const std::string url = panel::starArticleUrl(c0), tail = std::string("/wiki/") + c0.articleSlug;
    EXPECT_EQ(url.substr(url.size() - tail.size()), tail);
}

TEST(ConstellationGuide, AsksForFactsOnceAndDrawsWithoutAtlases) {
    test::GuiContext gui(1000, 800);
    Config config;
    WeatherService service;
    LocationManager places{config, service};
    UIRenderer ui(places, config);
    ui.showStars = true;
    WeatherData d;
    d.location.latitude = 44.65;
    d.location.longitude = -63.57;
    d.cloudCover = 80;
    auto draw = [&] {
        gui.frame([&] {
            ImGui::Begin("host");
            ui.renderStarsWindow(d);
            ImGui::End();
        });
    };
    draw();
    EXPECT_TRUE(ui.consumeActions().fetchStarFacts);
    draw();
    draw();
    EXPECT_FALSE(ui.consumeActions().fetchStarFacts);  // once per run, also after a failed fetch
    EXPECT_TRUE(ui.starFactsRequested);
}

}  // namespace
}  // namespace nbr
