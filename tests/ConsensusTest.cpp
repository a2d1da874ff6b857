// The consensus rain chance, the update check's version comparison and
// document, and the location request on the worker.
#include "FakeGeoClue.h"
#include "ReplayEnv.h"
#include "app/App.h"
#include "service/WeatherService.h"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>

namespace nbr::test {
namespace {

WeatherData threeDays(double own0, double own1, double own2) {
    WeatherData d;
    for (const auto& [date, pop] : {std::pair{"2025-05-01", own0}, {"2025-05-02", own1}, {"2025-05-03", own2}}) {
        DailyForecast day;
        day.date = date;
        day.precipitationProbabilityMax = pop;
        d.daily.push_back(day);
    }
    return d;
}

ModelDailySeries series(const char* model, std::vector<double> pops) {
    ModelDailySeries s;
    s.model = model;
    s.precipitationProbabilities = std::move(pops);
    return s;
}

ModelSkillEntry skill(const char* model, int n, double brier) {
    ModelSkillEntry e;
    e.model = model;
    e.brierN = n;
    e.brier = brier;
    return e;
}

TEST(ConsensusTest, PlainMeanWithoutSkillAndOnlyWithThreeValues) {
    const double nan = std::nan("");
    WeatherData d = threeDays(20, 30, 50);
    d.modelSeries = {series("icon_seamless", {40, 10, nan}), series("gfs_seamless", {60})};
    d.nws.valid = true;
    d.nws.date = "2025-05-02";
    d.nws.precipitationProbability = 50;
    d.daily[1].date = "2025-05-02T00:00";  // compared by its first ten characters
    WeatherService::applyPopConsensus(d);

    const DailyForecast& today = d.daily[0];
    EXPECT_TRUE(today.popConsensus);
    EXPECT_DOUBLE_EQ(today.precipitationProbabilityMax, 40);
    EXPECT_EQ(today.popMin, 20);
    EXPECT_EQ(today.popMax, 60);
    EXPECT_EQ(today.popSources, 3u);
    EXPECT_EQ(today.ownPrecipitationProbability, 20);
    // Tomorrow: own value, one model and the US office make three.
    EXPECT_TRUE(d.daily[1].popConsensus);
    EXPECT_DOUBLE_EQ(d.daily[1].precipitationProbabilityMax, 30);
    // The third day has only its own value (the model gave NaN).
    EXPECT_FALSE(d.daily[2].popConsensus);
    EXPECT_EQ(d.daily[2].precipitationProbabilityMax, 50);
    EXPECT_TRUE(d.popConsensusApplied);

    // A second call changes nothing.
    const double before = d.daily[0].precipitationProbabilityMax;
    d.daily[0].precipitationProbabilityMax = 99;
    WeatherService::applyPopConsensus(d);
    EXPECT_EQ(d.daily[0].precipitationProbabilityMax, 99);
    (void)before;
}

TEST(ConsensusTest, SkillWeightsWithTheMedianAsFallbackAndAFloor) {
    WeatherData d = threeDays(20, 0, 0);
    d.modelSeries = {series("icon_seamless", {40}), series("ecmwf_ifs025", {60})};
    // Eligible: icon 0.10, openmeteo 0.30 → fallback 0.30 (upper middle);
    // ecmwf has too few days and takes the fallback; gfs is not in play.
    d.skill.models = {skill("icon_seamless", 12, 0.10), skill("openmeteo", 30, 0.30), skill("ecmwf_ifs025", 11, 0.01)};
    WeatherService::applyPopConsensus(d);
    const double w = 1 / 0.30, wi = 1 / 0.10;
    EXPECT_NEAR(d.daily[0].precipitationProbabilityMax, (20 * w + 40 * wi + 60 * w) / (w + wi + w), 1e-9);

    // A score of 0.01 weighs as 0.05: at most 20. Tomorrow the US office
    // weighs by its own score.
    WeatherData e = threeDays(0, 0, 0);
    e.modelSeries = {series("a", {100, 100}), series("b", {100})};
    e.nws = {true, "nws", "2025-05-02", 0, 0, 100};
    e.skill.models = {skill("openmeteo", 20, 0.01), skill("a", 20, 1.0), skill("b", 20, 1.0), skill("nws", 20, 0.5)};
    WeatherService::applyPopConsensus(e);
    EXPECT_NEAR(e.daily[0].precipitationProbabilityMax, 200.0 / 22, 1e-9);
    EXPECT_NEAR(e.daily[1].precipitationProbabilityMax, 300.0 / 23, 1e-9);
}

TEST(ConsensusTest, CalibratedDaysWrongDatesAndMissingOwnValues) {
    WeatherData d = threeDays(-1, 10, 10);
    d.daily[0].popCalibrated = false;
    d.daily[2].popCalibrated = true;
    d.modelSeries = {series("a", {30, 30, 30}), series("b", {50, 50, 50}), series("c", {70})};
    d.nws.valid = true;
    d.nws.date = "2025-05-03";  // not tomorrow's date
    d.nws.precipitationProbability = 90;
    WeatherService::applyPopConsensus(d);
    // A missing own value is left out, not counted as 0 %.
    EXPECT_TRUE(d.daily[0].popConsensus);
    EXPECT_DOUBLE_EQ(d.daily[0].precipitationProbabilityMax, 50);
    EXPECT_EQ(d.daily[0].popMin, 30);
    EXPECT_EQ(d.daily[0].popSources, 3u);
    EXPECT_EQ(d.daily[0].ownPrecipitationProbability, -1);
    EXPECT_EQ(d.daily[1].popSources, 3u);  // own, a, b: the US office's other date is not used
    EXPECT_FALSE(d.daily[2].popConsensus);
    EXPECT_EQ(d.daily[2].precipitationProbabilityMax, 10);

    // Chances near the largest double overflow the mean: no consensus.
    WeatherData huge = threeDays(10, 10, 10);
    huge.modelSeries = {series("a", {1.7e308}), series("b", {1.7e308})};
    WeatherService::applyPopConsensus(huge);
    EXPECT_FALSE(huge.daily[0].popConsensus);
    EXPECT_EQ(huge.daily[0].precipitationProbabilityMax, 10);

    // A US office value marked not valid, or missing (-1), is no fourth value.
    for (const auto& [valid, pop] : {std::pair{false, 90.0}, {true, -1.0}}) {
        WeatherData e = threeDays(10, 10, 10);
        e.modelSeries = d.modelSeries;
        e.nws.valid = valid;
        e.nws.date = "2025-05-02";
        e.nws.precipitationProbability = pop;
        WeatherService::applyPopConsensus(e);
        EXPECT_EQ(e.daily[1].popSources, 3u) << valid << " " << pop;
        EXPECT_DOUBLE_EQ(e.daily[1].precipitationProbabilityMax, 30);
    }
}

TEST(UpdateCheckTest, VersionsCompareAsThreeNumbers) {
    struct Case {
        const char* a;
        const char* b;
        bool less;
    };
    const Case cases[] = {
        {"1.4.1", "1.4.2", true}, {"1.4.1", "1.4.1", false}, {"1.10.0", "1.9.9", false},
        {"1.9.9", "1.10.0", true}, {"1.4", "1.4.0", false},  {"1.4.0", "1.4", false},
        {"x", "0.0.1", true},      {"2.0.0-beta", "2.0.0", false},
        // Parts past the int range still compare as numbers.
        {"1.0.0", "4294967297.0.0", true}, {"4294967297.0.0", "1.0.0", false},
    };
    for (const Case& c : cases) EXPECT_EQ(WeatherService::versionLess(c.a, c.b), c.less) << c.a << " < " << c.b;
}

class UpdateDocumentTest : public ReplayTest {};

TEST_F(UpdateDocumentTest, OnlyAStringVersionCounts) {
    WeatherService svc;
    const std::pair<const char*, const char*> replies[] = {
        {R"({"version":"1.4.2","notes":"x"})", "1.4.2"},
        {R"({"version":142})", ""},
        {R"({"name":"Nimbrel"})", ""},
        {R"(["1.4.2"])", ""},
        {"<html>", ""},
    };
    for (const auto& [body, expected] : replies) {
        server.setReply("update", "/nimbrel-latest.json", replay::Reply::json(body));
        EXPECT_EQ(svc.fetchLatestVersion(), expected) << body;
    }
    svc.abortFlag = true;
    EXPECT_EQ(svc.fetchLatestVersion(), "");
}

TEST(UpdateCheckTest, WithoutADocumentAddressNothingIsAsked) {
    ServiceBaseScope none("");
    WeatherService svc;
    EXPECT_EQ(svc.fetchLatestVersion(), "");
}

class LocationConcurrency : public ReplayTest {};

TEST_F(LocationConcurrency, TheWorkerAnswersALocationRequestWithTheFailureText) {
    App app;
    app.startWorker();
    app.requestDetectLocation();
    std::optional<App::WorkResult> got;
    for (int i = 0; i < 500 && !got; ++i) {
        got = app.resultQueue.tryPop();
        if (!got) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    app.stopWorker();
    ASSERT_TRUE(got);
    EXPECT_EQ(got->kind, App::WorkKind::DetectLocation);
    EXPECT_FALSE(got->detected);
    EXPECT_EQ(got->error, "OS location unavailable");
}

TEST_F(LocationConcurrency, ClosingDuringTheWaitForAPositionEndsTheWorkerAtOnce) {
    TestSystemBus bus;
    if (!bus.ok()) GTEST_SKIP() << "dbus-daemon is not available";
    FakeGeoClue& service = bus.serve(FakeGeoClue::silent());
    ASSERT_TRUE(service.ready());
    App app;
    app.startWorker();
    app.requestDetectLocation();
    for (int i = 0; i < 200 && !service.seen().started; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(service.seen().started);
    const auto begun = std::chrono::steady_clock::now();
    app.stopWorker();
    EXPECT_LT(std::chrono::steady_clock::now() - begun, std::chrono::seconds(1));  // not the ten-second bound
}

}  // namespace
}  // namespace nbr::test
