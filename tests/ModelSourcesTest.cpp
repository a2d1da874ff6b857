// The model sources against the stand-in services: the model series and
// their spread, the ensemble, the run-to-run trend and the seasonal outlook.
// The generated replies' numbers are known in advance (replay/ModelReplies.h);
// the hand-written replies below pin down the rules one at a time.
#include "ReplayEnv.h"
#include "replay/ModelReplies.h"
#include "service/WeatherService.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <map>
#include <optional>
#include <thread>

namespace nbr {
namespace {

using nlohmann::json;
using replay::Reply;
using test::ReplayTest;
namespace gen = replay::models;

constexpr double kEps = 1e-9;
const double NaN = std::nan("");

// Equal, or both NaN.
::testing::AssertionResult same(double want, double got) {
    if ((std::isnan(want) && std::isnan(got)) || std::fabs(want - got) <= kEps) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "want " << want << ", got " << got;
}

// A record with `n` days from 2026-03-01.
WeatherData recordWithDays(size_t n) {
    WeatherData d;
    for (size_t i = 0; i < n; ++i) {
        DailyForecast day;
        day.date = "2026-03-" + std::string(i < 9 ? "0" : "") + std::to_string(i + 1);
        d.daily.push_back(day);
    }
    return d;
}

// An hourly reply over `days` days from 2026-03-01; each column gives every
// hour's value, nullopt for null (in "time": that hour's time null).
using Column = std::vector<std::optional<double>>;
std::string hourlyReply(int days, const std::map<std::string, Column>& columns) {
    json hourly = {{"time", json::array()}};
    for (int d = 0; d < days; ++d)
        for (int h = 0; h < 24; ++h) hourly["time"].push_back(gen::hourText(20513 + d, h));  // 2026-03-01
    for (const auto& [key, col] : columns) {
        if (key == "time") {
            for (size_t h = 0; h < col.size(); ++h) hourly["time"][h] = col[h] ? hourly["time"][h] : json();
            continue;
        }
        json& a = hourly[key] = json::array();
        for (const auto& v : col) a.push_back(v ? json(*v) : json(nullptr));
    }
    return json{{"hourly", hourly}}.dump();
}

// 24 hours holding `total` in the first hour; hours from `count` on are null.
Column oneDay(double total, int count = 24) {
    Column c(24, 0.0);
    c[0] = total;
    for (int h = count; h < 24; ++h) c[static_cast<size_t>(h)] = std::nullopt;
    return c;
}

// "latitude=…&longitude=…" of a place with `decimals` decimals.
std::string coordinates(const GeoLocation& loc, int decimals) {
    return "latitude=" + formatFixed(loc.latitude, decimals) + "&longitude=" + formatFixed(loc.longitude, decimals);
}

int64_t unixDay() {
    return std::chrono::duration_cast<std::chrono::hours>(std::chrono::system_clock::now().time_since_epoch())
               .count() /
           24;
}

class ModelSourcesTest : public ReplayTest {
protected:
    WeatherData baseRecord(const char* id) {
        auto d = svc.fetchWeather(place(id));
        EXPECT_TRUE(d);
        server.clearRequests();
        return d ? *d : WeatherData();
    }
    std::string lastTarget() {
        const auto reqs = server.requests();
        return reqs.empty() ? std::string() : reqs.back().target;
    }
    WeatherService svc;
};

// ---- Model series ---------------------------------------------------------------------

TEST_F(ModelSourcesTest, ModelSeriesFromTheGeneratedReplies) {
    for (const char* id : {"boston", "oslo", "halifax"}) {
        SCOPED_TRACE(id);
        WeatherData d = baseRecord(id);
        ASSERT_EQ(d.daily.size(), 7u);
        const WeatherData before = d;
        const GeoLocation loc = place(id);
        svc.fetchUncertaintyBand(loc, d);
        EXPECT_EQ(lastTarget(), "/forecast/v1/forecast?" + coordinates(loc, 6) +
                                    "&daily=temperature_2m_max,temperature_2m_min,precipitation_probability_max"
                                    "&models=icon_seamless,gfs_seamless,ecmwf_ifs04,gem_seamless,jma_seamless"
                                    "&timezone=auto&forecast_days=7");

        // In order of each model's first number: the rain-chance keys come
        // first, and GEM and JMA have none.
        std::vector<std::string> order;
        for (const auto& s : d.modelSeries) order.push_back(s.model);
        EXPECT_EQ(order, (std::vector<std::string>{"ecmwf_ifs04", "gfs_seamless", "icon_seamless", "gem_seamless",
                                                   "jma_seamless"}));
        for (const auto& s : d.modelSeries) {
            const int m = static_cast<int>(std::find(gen::kModels.begin(), gen::kModels.end(), s.model) -
                                           gen::kModels.begin());
            ASSERT_LT(m, 5);
            ASSERT_EQ(s.highs.size(), 7u);
            ASSERT_EQ(s.lows.size(), 7u);
            ASSERT_EQ(s.precipitationProbabilities.size(), 7u);
            for (int i = 0; i < 7; ++i) {
                EXPECT_TRUE(same(gen::modelValue(id, gen::Daily::High, m, i), s.highs[i])) << s.model << i;
                EXPECT_TRUE(same(gen::modelValue(id, gen::Daily::Low, m, i), s.lows[i])) << s.model << i;
                EXPECT_TRUE(same(gen::modelValue(id, gen::Daily::Pop, m, i), s.precipitationProbabilities[i]));
            }
        }
        for (int i = 0; i < 7; ++i) {
            double hMin = 1e9, hMax = -1e9, lMin = 1e9, lMax = -1e9;
            for (int m = 0; m < 5; ++m) {
                const double h = gen::modelValue(id, gen::Daily::High, m, i);
                const double l = gen::modelValue(id, gen::Daily::Low, m, i);
                if (!std::isnan(h)) hMin = std::min(hMin, h), hMax = std::max(hMax, h);
                if (!std::isnan(l)) lMin = std::min(lMin, l), lMax = std::max(lMax, l);
            }
            const DailyForecast& day = d.daily[i];
            ASSERT_TRUE(day.hasModelSpread);
            EXPECT_EQ(day.highMin, hMin);
            EXPECT_EQ(day.highMax, hMax);
            EXPECT_EQ(day.lowMin, lMin);
            EXPECT_EQ(day.lowMax, lMax);
            EXPECT_EQ(day.temperatureMax, std::clamp(before.daily[i].temperatureMax, hMin, hMax));
            EXPECT_EQ(day.temperatureMin, std::clamp(before.daily[i].temperatureMin, lMin, lMax));
        }
    }
}

TEST(ModelSeries, SpreadAndSeriesRules) {
    // Own highs 30 and 26 against model highs 25, 27, 28; one high only on
    // day 3 and one low only on day 4; a null-only model; a key without a
    // model; arrays longer and shorter than the four days.
    const std::string body = json{{"daily",
                                   {{"temperature_2m_max_a", {25.0, 25.0, 25.0, 25.0, 99.0}},
                                    {"temperature_2m_max_b", {27.0, 27.0}},
                                    {"temperature_2m_max_c", {28.0, 28.0, nullptr, 28.0}},
                                    {"temperature_2m_max", {24.0, nullptr}},
                                    {"temperature_2m_min_a", {10.0, 10.0, 10.0}},
                                    {"temperature_2m_min_b", {12.0, 12.0, 12.0, 12.0}},
                                    {"temperature_2m_min_z", {nullptr, nullptr, nullptr}},
                                    {"temperature_2m_min_a_extra", "not a list"},
                                    {"time", {"2026-03-01", "2026-03-02", "2026-03-03", "2026-03-04"}}}}}
                                 .dump();
    WeatherData d = recordWithDays(4);
    d.daily[0].temperatureMax = 30.0;
    d.daily[1].temperatureMax = kUnknownTemperature;  // stays unknown, never the models' low end
    d.daily[2].temperatureMax = 20.0;
    d.daily[0].temperatureMin = 5.0;
    d.daily[1].temperatureMin = 11.0;
    d.modelSeries.push_back({"old", {1, 2, 3}, {1, 2, 3}, {1, 2, 3}});
    WeatherService::parseUncertaintyBand(body, d);

    EXPECT_TRUE(d.daily[0].hasModelSpread);
    EXPECT_EQ(d.daily[0].highMin, 24.0);  // the key without a model still counts for the day
    EXPECT_EQ(d.daily[0].highMax, 28.0);
    EXPECT_EQ(d.daily[0].temperatureMax, 28.0);
    EXPECT_EQ(d.daily[0].temperatureMin, 10.0);
    EXPECT_EQ(d.daily[1].temperatureMax, kUnknownTemperature);
    EXPECT_TRUE(d.daily[1].hasModelSpread);
    EXPECT_EQ(d.daily[1].temperatureMin, 11.0);
    EXPECT_FALSE(d.daily[2].hasModelSpread);  // one high only
    EXPECT_EQ(d.daily[2].temperatureMax, 20.0);
    EXPECT_FALSE(d.daily[3].hasModelSpread);  // one low only

    ASSERT_EQ(d.modelSeries.size(), 3u);  // a, b, c; no "old", no null-only "z", none without a name
    EXPECT_EQ(d.modelSeries[0].model, "a");
    EXPECT_EQ(d.modelSeries[0].highs, (std::vector<double>{25.0, 25.0, 25.0, 25.0}));
    EXPECT_TRUE(std::isnan(d.modelSeries[0].precipitationProbabilities[0]));
    EXPECT_EQ(d.modelSeries[1].model, "b");
    EXPECT_TRUE(same(NaN, d.modelSeries[1].highs[2]));
    EXPECT_EQ(d.modelSeries[1].lows, (std::vector<double>{12.0, 12.0, 12.0, 12.0}));
    EXPECT_EQ(d.modelSeries[2].model, "c");
    EXPECT_TRUE(std::isnan(d.modelSeries[2].highs[2]));
}

TEST(ModelSeries, UnusableRepliesChangeNothing) {
    for (const char* body : {R"({"error":true,"daily":{"temperature_2m_max_a":[1,2]}})", R"({"hourly":{}})"}) {
        SCOPED_TRACE(body);
        WeatherData d = recordWithDays(2);
        d.modelSeries.push_back({"kept", {1, 2}, {0, 1}, {10, 20}});
        WeatherService::parseUncertaintyBand(body, d);
        ASSERT_EQ(d.modelSeries.size(), 1u);
        EXPECT_EQ(d.modelSeries[0].model, "kept");
    }
}

TEST_F(ModelSourcesTest, NoDaysNoRequest) {
    WeatherData d;
    d.modelSeries.push_back({"kept", {}, {}, {}});
    const GeoLocation loc = place("boston");
    svc.fetchUncertaintyBand(loc, d);
    svc.fetchEnsemble(loc, d);
    svc.fetchRunTrend(loc, d);
    EXPECT_EQ(server.requests().size(), 0u);
    EXPECT_EQ(d.modelSeries.size(), 1u);
}

// ---- Ensemble ---------------------------------------------------------------------------

TEST_F(ModelSourcesTest, EnsembleFromTheGeneratedReplies) {
    for (const char* id : {"boston", "oslo", "halifax"}) {
        SCOPED_TRACE(id);
        WeatherData d = baseRecord(id);
        const GeoLocation loc = place(id);
        svc.fetchUncertaintyBand(loc, d);
        svc.fetchEnsemble(loc, d);
        EXPECT_EQ(lastTarget(), "/ensemble/v1/ensemble?" + coordinates(loc, 6) +
                                    "&hourly=precipitation,temperature_2m&models=gfs_seamless&forecast_days=7"
                                    "&timezone=auto");
        ASSERT_EQ(d.modelSeries.size(), 6u);
        const ModelDailySeries& ens = d.modelSeries.back();
        ASSERT_EQ(ens.model, "ens");

        for (int day = 0; day < 7; ++day) {
            SCOPED_TRACE(day);
            std::vector<double> totals, maxima, minima;
            for (int m = 0; m < gen::kEnsembleMembers; ++m) {
                const gen::HoursOfDay md = gen::ensembleMember(id, m, day);
                if (md.endHour < 20) continue;
                totals.push_back(md.rainT / 10.0);
                maxima.push_back(md.highT / 10.0);
                minima.push_back(md.lowT / 10.0);
            }
            std::sort(totals.begin(), totals.end());
            std::sort(maxima.begin(), maxima.end());
            std::sort(minima.begin(), minima.end());
            const size_t n = totals.size();
            EXPECT_EQ(n, day == 3 ? 29u : 31u);
            const auto rank = [&](double p) { return totals[std::min<size_t>(size_t(p * (n - 1) + 0.5), n - 1)]; };
            const long wet = std::count_if(totals.begin(), totals.end(), [](double t) { return t >= 1.0; });
            const DailyForecast& f = d.daily[day];
            EXPECT_EQ(f.ensembleMembers, n);
            EXPECT_EQ(f.ensembleWetMembers, wet);
            EXPECT_NEAR(f.ensembleP10, rank(0.1), kEps);
            EXPECT_NEAR(f.ensembleP50, rank(0.5), kEps);
            EXPECT_NEAR(f.ensembleP90, rank(0.9), kEps);
            EXPECT_NEAR(ens.precipitationProbabilities[day], wet * 100.0 / n, kEps);
            EXPECT_EQ(ens.highs[day], maxima[n / 2]);  // 30 on day 3: the upper middle
            EXPECT_EQ(ens.lows[day], minima[n / 2]);
        }

        // Within three hours the kept reply is read again: no request, the
        // same fields, still one "ens".
        server.clearRequests();
        WeatherData again = d;
        for (auto& day : again.daily) day.ensembleMembers = 0;
        svc.fetchEnsemble(loc, again);
        svc.fetchEnsemble(loc, again);
        EXPECT_EQ(server.count("ensemble"), 0u);
        EXPECT_EQ(again.modelSeries.size(), 6u);
        for (int day = 0; day < 7; ++day) EXPECT_EQ(again.daily[day].ensembleMembers, d.daily[day].ensembleMembers);
    }
}

TEST_F(ModelSourcesTest, EnsembleKeptForThreeHoursAndOnlyWhenReadable) {
    const GeoLocation loc = place("oslo");
    WeatherData d = baseRecord("oslo");
    server.setReply("ensemble", "/v1/ensemble", Reply::json("{\"hourly\":{\"time\":\"broken\"}}"));
    svc.fetchEnsemble(loc, d);
    svc.fetchEnsemble(loc, d);
    EXPECT_EQ(server.count("ensemble"), 2u);  // the unreadable reply was not kept
    EXPECT_EQ(d.daily[0].ensembleMembers, 0u);

    server.clearReplies();
    d.daily.resize(8);  // a longer forecast still asks for a week
    svc.fetchEnsemble(loc, d);
    EXPECT_EQ(server.requests().back().param("forecast_days"), "7");
    EXPECT_EQ(server.count("ensemble"), 3u);
    EXPECT_EQ(d.daily[0].ensembleMembers, 31u);
    {
        std::lock_guard<std::mutex> lock(svc.ensembleCacheMutex);
        svc.ensembleCache[loc.cacheKey()].stamp -= WeatherService::kEnsembleMaxAge;
    }
    svc.fetchEnsemble(loc, d);
    EXPECT_EQ(server.count("ensemble"), 4u);
}

TEST(Ensemble, PercentilesWetCountAndMemberRules) {
    // The ten totals of the worked example, one member each on day 1; day 2
    // has exactly five whole members (the sixth lacks its last hour: unknown,
    // not 1.5 mm); day 3 four.
    const std::vector<double> example = {0.0, 0.2, 1.0, 2.5, 4.0, 6.0, 9.0, 12.0, 15.0, 30.0};
    std::map<std::string, Column> cols;
    for (size_t m = 0; m < example.size(); ++m) {
        Column rain = oneDay(example[m]);
        const Column day2 = oneDay(1.5, m < 5 ? 24 : m == 5 ? 23 : 0);
        const Column day3 = oneDay(2.0, m < 4 ? 24 : 0);
        rain.insert(rain.end(), day2.begin(), day2.end());
        rain.insert(rain.end(), day3.begin(), day3.end());
        cols["precipitation_m" + std::to_string(m)] = rain;
        // Five temperature members on day 1 with highs 1..5; on day 2 five,
        // one with a null hour; on day 3 five, without rain members enough.
        Column temp(72, std::nullopt);
        for (int h = 0; h < 24 && m < 5; ++h) temp[static_cast<size_t>(h)] = h == 15 ? m + 1.0 : 0.0;
        for (int h = 24; h < 72 && m < 5; ++h) temp[static_cast<size_t>(h)] = h == 60 ? 7.0 + m : -1.0;
        if (m == 4) temp[30] = std::nullopt;
        cols["temperature_2m_m" + std::to_string(m)] = temp;
    }
    WeatherData d = recordWithDays(4);  // the fourth day is not in the reply
    d.daily[3].ensembleMembers = 7;
    d.modelSeries.push_back({"ens", {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}});
    ASSERT_TRUE(WeatherService::parseEnsemble(hourlyReply(3, cols), d));

    EXPECT_EQ(d.daily[0].ensembleMembers, 10u);
    EXPECT_EQ(d.daily[0].ensembleWetMembers, 8);  // 1.0 mm counts as wet
    EXPECT_EQ(d.daily[0].ensembleP10, 0.2);
    EXPECT_EQ(d.daily[0].ensembleP50, 6.0);
    EXPECT_EQ(d.daily[0].ensembleP90, 15.0);
    EXPECT_EQ(d.daily[1].ensembleMembers, 5u);
    EXPECT_EQ(d.daily[2].ensembleMembers, 0u);  // four members: unchanged
    EXPECT_EQ(d.daily[2].ensembleP50, -1.0);
    EXPECT_EQ(d.daily[3].ensembleMembers, 7u);  // beyond the reply: unchanged

    ASSERT_EQ(d.modelSeries.size(), 1u);  // replaced, not added
    const ModelDailySeries& ens = d.modelSeries[0];
    EXPECT_EQ(ens.highs[0], 3.0);  // five members: the third-lowest high
    EXPECT_EQ(ens.lows[0], 0.0);
    EXPECT_EQ(ens.precipitationProbabilities[0], 80.0);
    EXPECT_TRUE(std::isnan(ens.highs[1]));  // four whole temperature members
    EXPECT_EQ(ens.precipitationProbabilities[1], 100.0);
    EXPECT_EQ(ens.highs[2], 9.0);  // the temperatures stand on their own members
    EXPECT_EQ(ens.lows[2], -1.0);
    EXPECT_TRUE(std::isnan(ens.precipitationProbabilities[2]));
    EXPECT_TRUE(std::isnan(ens.precipitationProbabilities[3]));
}

TEST(Ensemble, RainAndTemperatureEachNeedFiveKnownMembers) {
    // Temperatures stand without rain; a first hour without its time: no day (not 0 mm over 23 hours).
    std::map<std::string, Column> four, temps, timeless{{"time", Column{std::nullopt}}};
    for (int m = 0; m < 5; ++m) {
        if (m < 4) four["precipitation_m" + std::to_string(m)] = oneDay(3.0);
        temps["temperature_2m_m" + std::to_string(m)] = oneDay(m + 1.0);
        timeless["precipitation_m" + std::to_string(m)] = oneDay(3.0);
    }
    const struct { std::string body; bool usable; double high, low; } rows[] = {
        {hourlyReply(1, four), false, NaN, NaN}, {R"({"error":true,"hourly":{}})", false, NaN, NaN},
        {hourlyReply(1, temps), true, 3.0, 0.0}, {hourlyReply(1, timeless), true, NaN, NaN}};
    for (const auto& r : rows) {
        WeatherData d = recordWithDays(1);
        EXPECT_EQ(WeatherService::parseEnsemble(r.body, d), r.usable) << r.body;
        EXPECT_EQ(d.daily[0].ensembleMembers, 0u) << r.body;
        EXPECT_TRUE(same(r.high, d.modelSeries.empty() ? NaN : d.modelSeries[0].highs[0])) << r.body;
        EXPECT_TRUE(same(r.low, d.modelSeries.empty() ? NaN : d.modelSeries[0].lows[0])) << r.body;
    }
}

// ---- Run trend ---------------------------------------------------------------------------

TEST_F(ModelSourcesTest, RunTrendFromTheGeneratedReplies) {
    for (const char* id : {"boston", "oslo", "halifax"}) {
        SCOPED_TRACE(id);
        WeatherData d = baseRecord(id);
        const GeoLocation loc = place(id);
        svc.fetchRunTrend(loc, d);
        EXPECT_EQ(lastTarget(), "/previousruns/v1/forecast?" + coordinates(loc, 6) +
                                    "&hourly=temperature_2m,temperature_2m_previous_day1,"
                                    "temperature_2m_previous_day2,precipitation,precipitation_previous_day1,"
                                    "precipitation_previous_day2&models=best_match&forecast_days=7&timezone=auto");
        // The run of two days before covers days 0-3; day 4 lacks one rain
        // hour and day 5 half the day there, so those compare with one day
        // back; no older run reaches day 6.
        for (int day = 0; day < 7; ++day) {
            SCOPED_TRACE(day);
            const DailyForecast& f = d.daily[day];
            const int back = day <= 3 ? 2 : day <= 5 ? 1 : 0;
            ASSERT_EQ(f.hasRunTrend, back != 0);
            if (!back) continue;
            const gen::HoursOfDay now = gen::runDay(id, 0, day), old = gen::runDay(id, back, day);
            EXPECT_EQ(f.runTrendDaysBack, back);
            EXPECT_NEAR(f.runTrendTempDelta, (now.highT - old.highT) / 10.0, kEps);
            EXPECT_NEAR(f.runTrendPrecipDelta, (now.rainT - old.rainT) / 10.0, kEps);
        }
    }
}

TEST(RunTrend, OlderRunPreferredAndHourRules) {
    // Day 1: 24.0 and 3.0 mm now against 21.5 and 5.0 two days back; day 2:
    // the current run has 19 rain hours, so only its high changes; hours of
    // the day before the record are ignored (the reply starts a day early).
    Column now(72, 0.0), nowRain(72, 0.0), back2(72, 0.0), back2Rain(72, 0.0), back1(72, 0.0), back1Rain(72, 0.0);
    now[0] = 40.0;  // the day before the record
    now[24 + 15] = 24.0;
    nowRain[24 + 3] = 3.0;
    back2[24 + 15] = 21.5;
    back2Rain[24 + 3] = 5.0;
    for (int h = 48 + 19; h < 72; ++h) nowRain[static_cast<size_t>(h)] = std::nullopt;
    back1[24 + 15] = 30.0;
    const std::string body = hourlyReply(3, {{"temperature_2m", now},
                                             {"precipitation", nowRain},
                                             {"temperature_2m_previous_day1", back1},
                                             {"precipitation_previous_day1", back1Rain},
                                             {"temperature_2m_previous_day2", back2},
                                             {"precipitation_previous_day2", back2Rain}});
    WeatherData d = recordWithDays(3);
    d.daily.erase(d.daily.begin());  // the record starts on 2026-03-02
    WeatherService::parseRunTrend(body, d);
    ASSERT_TRUE(d.daily[0].hasRunTrend);
    EXPECT_EQ(d.daily[0].runTrendDaysBack, 2);
    EXPECT_NEAR(d.daily[0].runTrendTempDelta, 2.5, kEps);
    EXPECT_NEAR(d.daily[0].runTrendPrecipDelta, -2.0, kEps);
    EXPECT_EQ(d.daily[1].runTrendDaysBack, 2);
    EXPECT_TRUE(same(NaN, d.daily[1].runTrendPrecipDelta));
}

TEST(RunTrend, UnknownDaysLeaveOnlyTheirOwnQuantityOut) {
    // Each day: highs 20, 19, 18 from the newest run back; rain 3.0 + 2.6, 4.0, 14.0 mm. A row nulls hours of
    // one column (no hours: drops it).
    std::map<std::string, Column> base{{"time", Column(48, 0.0)}};
    const double high[] = {20.0, 19.0, 18.0}, rain[] = {3.0, 4.0, 14.0}, max = std::numeric_limits<double>::max();
    for (int run = 0; run < 3; ++run) {
        Column& t = base[gen::runTemperatureKey(run)] = Column(48, 0.0);
        Column& r = base[gen::runPrecipitationKey(run)] = Column(48, 0.0);
        for (size_t day : {0u, 24u}) t[day + 15] = high[run], r[day + 3] = rain[run], r[day + 4] = run ? 0.0 : 2.6;
    }
    const struct { const char* key; std::vector<size_t> hours; std::optional<double> value; std::array<int, 2> back;
                   std::array<double, 2> temp, precip; } rows[] = {
        {"", {}, {}, {2, 2}, {2.0, 2.0}, {-8.4, -8.4}},
        {"precipitation", {4}, {}, {2, 2}, {2.0, 2.0}, {NaN, -8.4}},  // not -11.0
        {"precipitation", {}, {}, {2, 2}, {2.0, 2.0}, {NaN, NaN}},
        {"temperature_2m", {40}, {}, {2, 2}, {2.0, NaN}, {-8.4, -8.4}},
        {"precipitation_previous_day2", {30}, {}, {2, 1}, {2.0, 1.0}, {-8.4, 1.6}},  // the run knowing more
        // Rain summing past the largest double is no total.
        {"precipitation_previous_day2", {0, 1}, max, {1, 2}, {1.0, 2.0}, {1.6, -8.4}},
        {"precipitation", {24, 25}, max, {2, 2}, {2.0, 2.0}, {-8.4, NaN}},
        {"time", {4}, {}, {0, 2}, {0.0, 2.0}, {0.0, -8.4}},  // an unknown hour of its day: not -11.0 over 23
        {"time", {24}, {}, {2, 0}, {2.0, 0.0}, {-8.4, 0.0}},
    };
    for (const auto& r : rows) {
        std::map<std::string, Column> cols = base;
        if (r.hours.empty()) cols.erase(r.key);
        for (size_t h : r.hours) cols[r.key][h] = r.value;
        WeatherData d = recordWithDays(2);
        WeatherService::parseRunTrend(hourlyReply(2, cols), d);
        for (size_t day = 0; day < 2; ++day) {
            EXPECT_EQ(d.daily[day].runTrendDaysBack, r.back[day]) << r.key << day;
            EXPECT_TRUE(same(r.temp[day], d.daily[day].runTrendTempDelta)) << r.key << day;
            EXPECT_TRUE(same(r.precip[day], d.daily[day].runTrendPrecipDelta)) << r.key << day;
        }
    }
}

// ---- Seasonal --------------------------------------------------------------------------------

TEST_F(ModelSourcesTest, SeasonalFromTheGeneratedRepliesAndItsDayLongCache) {
    for (const char* id : {"boston", "oslo", "halifax"}) {
        SCOPED_TRACE(id);
        const GeoLocation loc = place(id);
        WeatherData d;  // no days needed
        svc.fetchSeasonal(loc, d);
        EXPECT_EQ(lastTarget(),
                  "/seasonal/v1/seasonal?" + coordinates(loc, 4) + "&daily=temperature_2m_max&forecast_days=92");
        ASSERT_EQ(d.seasonalDates.size(), 92u);
        ASSERT_EQ(d.seasonalHighs.size(), 92u);
        EXPECT_EQ(d.seasonalDates[0], gen::dateOfDay(unixDay()));
        for (int day = 0; day < 92; ++day) {
            double sum = 0;
            int n = 0;
            for (int m = 0; m < gen::kSeasonalMembers; ++m) {
                const double v = gen::seasonalHigh(id, m, day);
                if (!std::isnan(v)) sum += v, ++n;
            }
            EXPECT_EQ(n, day == 91 ? 0 : day >= 46 ? 26 : 51);
            EXPECT_NEAR(d.seasonalHighs[day], n ? sum / n : 0.0, kEps) << day;
            EXPECT_EQ(d.seasonalDates[day].empty(), n == 0) << day;
        }

        server.clearRequests();
        WeatherData again;
        svc.fetchSeasonal(loc, again);
        EXPECT_EQ(server.count("seasonal"), 0u);
        EXPECT_EQ(again.seasonalDates, d.seasonalDates);
        EXPECT_EQ(again.seasonalHighs, d.seasonalHighs);
        {
            std::lock_guard<std::mutex> lock(svc.seasonalCacheMutex);
            svc.seasonalCache[loc.cacheKey()].stamp -= WeatherService::kSeasonalMaxAge;
        }
        svc.fetchSeasonal(loc, again);
        EXPECT_EQ(server.count("seasonal"), 1u);
    }
}

TEST_F(ModelSourcesTest, SeasonalReplyWithoutDatesIsNotKept) {
    const GeoLocation loc = place("halifax");
    server.setReply("seasonal", "/v1/seasonal", Reply::json(R"({"daily":{"temperature_2m_max":[1,2]}})"));
    WeatherData d;
    d.seasonalDates = {"2026-01-01"};
    svc.fetchSeasonal(loc, d);
    svc.fetchSeasonal(loc, d);
    EXPECT_EQ(server.count("seasonal"), 2u);
    EXPECT_TRUE(d.seasonalDates.empty());
    EXPECT_TRUE(d.seasonalHighs.empty());
}

TEST(Seasonal, MeansNullsAndBlocks) {
    const auto read = [](const std::string& body) {
        std::pair<std::vector<std::string>, std::vector<double>> out{{"stale"}, {9.0}};
        WeatherService::parseSeasonal(body, out.first, out.second);
        return out;
    };
    const std::string members = R"("temperature_2m_max":[20.0,null,5],"temperature_2m_max_member01":[22.0,null],)"
                                R"("temperature_2m_max_member02":[null,null,7],"temperature_2m_min":[100,100,100])";
    for (const char* block : {"daily", "six_hourly"}) {
        SCOPED_TRACE(block);
        const auto [dates, highs] =
            read(std::string(R"({")") + block + R"(":{"time":["2026-03-01","2026-03-02",null],)" + members + "}}");
        EXPECT_EQ(dates, (std::vector<std::string>{"2026-03-01", "", ""}));
        EXPECT_EQ(highs, (std::vector<double>{21.0, 0.0, 6.0}));
    }
    for (const char* body : {R"({"daily":{"temperature_2m_max":[1]}})", R"({"hourly":{"time":["x"]}})"}) {
        const auto [dates, highs] = read(body);
        EXPECT_TRUE(dates.empty() && highs.empty()) << body;
    }
}

}  // namespace
}  // namespace nbr

namespace nbr {
namespace {

// As the enrichment runs them: the model series and the ensemble on one
// thread, the run trend on another, into the same record; and several
// refreshes of one place at once sharing the ensemble and seasonal caches.
class ModelSourcesConcurrency : public ReplayTest {};

TEST_F(ModelSourcesConcurrency, SourcesShareARecordAndTheCaches) {
    WeatherService svc;
    const GeoLocation loc = place("halifax");
    const auto base = svc.fetchWeather(loc);
    ASSERT_TRUE(base);
    std::vector<WeatherData> records(3, *base);
    std::vector<std::thread> threads;
    for (WeatherData& d : records) {
        threads.emplace_back([&] {
            svc.fetchUncertaintyBand(loc, d);
            svc.fetchEnsemble(loc, d);
            svc.fetchSeasonal(loc, d);
        });
        threads.emplace_back([&] { svc.fetchRunTrend(loc, d); });
    }
    for (auto& t : threads) t.join();
    for (const WeatherData& d : records) {
        EXPECT_EQ(d.modelSeries.size(), 6u);
        EXPECT_EQ(d.seasonalDates.size(), 92u);
        EXPECT_TRUE(d.daily[0].hasRunTrend);
        EXPECT_TRUE(d.daily[0].hasModelSpread);
        EXPECT_EQ(d.daily[0].ensembleMembers, 31u);
    }
    EXPECT_EQ(svc.ensembleCache.size(), 1u);
    EXPECT_EQ(svc.seasonalCache.size(), 1u);
}

}  // namespace
}  // namespace nbr
