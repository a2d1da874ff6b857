// How long the main loop waits per turn, and when it schedules a refresh,
// driven by an injected clock.
#include "app/App.h"

#include <gtest/gtest.h>

namespace nbr {
namespace {

using namespace std::chrono_literals;

TEST(FramePacingTest, FirstMatchingRuleDecidesTheWait) {
    PacingState s;
    s.sinceInput = 10s;
    EXPECT_EQ(frameTimeoutFor(s), 250);
    s.busy = true;
    EXPECT_EQ(frameTimeoutFor(s), 100);
    s.sinceInput = 499ms;
    EXPECT_EQ(frameTimeoutFor(s), 16);
    s.sinceInput = 500ms;
    EXPECT_EQ(frameTimeoutFor(s), 100);
    s.animating = true;
    EXPECT_EQ(frameTimeoutFor(s), 16);
    s.animating = false;
    s.radarOpen = true;
    EXPECT_EQ(frameTimeoutFor(s), 16);
    s.minimized = true;  // nothing drawn: the slow wait wins over everything else
    EXPECT_EQ(frameTimeoutFor(s), 200);
    s.minimized = false;
    s.hidden = true;
    EXPECT_EQ(frameTimeoutFor(s), 200);
}

// A turn builds a frame only when something it shows may have changed: not
// before the second the last frame named, and once in that second.
TEST(FramePacingTest, QuietTurnsBeforeTheNamedSecondBuildNothing) {
    FrameBuildState quiet;
    quiet.changed = quiet.lastDiffered = false;
    quiet.sinceInput = 1s;
    quiet.builtSecond = 100;
    quiet.timedChange = 130;
    quiet.second = 129;
    EXPECT_FALSE(frameBuildNeeded(quiet));
    FrameBuildState built = quiet;
    built.second = built.timedChange = 100;
    EXPECT_FALSE(frameBuildNeeded(built));
    const std::pair<const char*, void (*)(FrameBuildState&)> reasons[] = {
        {"events or results", [](FrameBuildState& s) { s.changed = true; }},
        {"frames not settled", [](FrameBuildState& s) { s.lastDiffered = true; }},
        {"something moving", [](FrameBuildState& s) { s.moving = true; }},
        {"input under a second ago", [](FrameBuildState& s) { s.sinceInput = 999ms; }},
        {"the named second", [](FrameBuildState& s) { s.second = 130; }},
        {"a wall clock set back", [](FrameBuildState& s) { s.second = 99; }},
    };
    for (const auto& [why, apply] : reasons) {
        FrameBuildState s = quiet;
        apply(s);
        EXPECT_TRUE(frameBuildNeeded(s)) << why;
    }
}

class AppClockTest : public ::testing::Test {
protected:
    void SetUp() override {
        app.now = [this] { return t; };
        app.wallClock = [this] { return std::chrono::system_clock::time_point(std::chrono::seconds(wall)); };
        app.lastInput = t;
        app.lastRefresh = t;
        app.lastRefreshWall = wall;
    }
    void addPlace() {
        SavedLocation p;
        p.name = "Here";
        p.latitude = 10;
        p.longitude = 20;
        app.config.locations.push_back(p);
    }
    size_t drainRequests() {
        size_t n = 0;
        while (app.requestQueue.tryPop()) ++n;
        return n;
    }

    App::Clock::time_point t = App::Clock::time_point{} + 1000h;
    std::int64_t wall = 1768517940;  // 2026-01-15 23:59 CET
    App app;
};

TEST_F(AppClockTest, InputMakesTheLoopFastForHalfASecond) {
    EXPECT_EQ(app.frameTimeoutMs(), 16);
    t += 499ms;
    EXPECT_EQ(app.frameTimeoutMs(), 16);
    t += 1ms;
    EXPECT_EQ(app.frameTimeoutMs(), 250);
    {
        std::lock_guard<std::mutex> lock(app.dataMutex);
        app.fetchInProgress = true;
    }
    EXPECT_EQ(app.frameTimeoutMs(), 100);
    {
        std::lock_guard<std::mutex> lock(app.dataMutex);
        app.fetchInProgress = false;
        app.visibleAlerts.push_back(WeatherAlert{});
    }
    EXPECT_EQ(app.frameTimeoutMs(), 100);
    app.hiddenToTray = true;
    EXPECT_EQ(app.frameTimeoutMs(), 200);
}

TEST_F(AppClockTest, HiddenWindowRefreshesOnTheBackgroundIntervalShownOnTheForeground) {
    addPlace();
    app.config.foregroundPollMinutes = 15;
    app.config.backgroundPollMinutes = 30;
    app.hiddenToTray = true;

    t += 16min;
    EXPECT_FALSE(app.scheduledRefresh());
    EXPECT_EQ(drainRequests(), 0u);
    t += 14min;  // 30 minutes since the last scheduled refresh
    EXPECT_FALSE(app.scheduledRefresh());  // still nothing drawn while hidden
    EXPECT_EQ(drainRequests(), 1u);
    EXPECT_EQ(app.lastRefresh, t);

    app.hiddenToTray = false;
    t += 14min + 59s;
    EXPECT_TRUE(app.scheduledRefresh());
    EXPECT_EQ(drainRequests(), 0u);
    t += 1s;
    EXPECT_TRUE(app.scheduledRefresh());
    EXPECT_EQ(drainRequests(), 1u);
    t += 1min;
    EXPECT_TRUE(app.scheduledRefresh());
    EXPECT_EQ(drainRequests(), 0u);
    // A sleep (steady clock held): the wall clock's hours refresh at once; set back, the steady 15 minutes hold.
    // A try answered with no connection (0) or 503 is made again soon, one at a time on either clock, the wait
    // doubling; 404 waits for the poll; a success (200) or the person's Refresh (asked) starts afresh. The
    // answer of an older try (late) while a newer one is out does not end its "Updating...", and a failure
    // of it does not count. Each step: whether a try is still shown as under way, and the status line's error.
    using Failure = WeatherService::ForecastFailure;
    const struct {
        std::chrono::seconds steady; int64_t wall; size_t requests; int answer = -1; bool asked{}, late{}, updating{};
    } steps[] = {
        {0min, 14 * 3600, 1, -1, {}, {}, true}, {0min, -3 * 3600, 0, -1, {}, {}, true}, {14min, 0, 0, -1, {}, {}, true},
        {1min, 0, 1, -1, {}, {}, true}, {0s, 8 * 3600, 1, 0}, {14s, 0, 0},
        {1s, 0, 1, 503}, {29s, 0, 0}, {1s, 0, 1, 404}, {14min, 0, 0}, {1min, 0, 1, 0}, {59s, 0, 0}, {1s, 0, 1, 0},
        {119s, 0, 0}, {1s, 0, 1, 0}, {240s, 0, 1, 0}, {0s, 480, 1, 0}, {15min, 0, 1, 0}, {0s, 0, 1, 0, true},
        {14s, 0, 0}, {1s, 0, 1, 0}, {30s, 0, 1, 200}, {15min, 0, 1, 0}, {15s, 0, 1}, {1min, 0, 0},
        {0s, 0, 1, 503, true, true, true}, {0s, 0, 0, 0}, {14s, 0, 0}, {1s, 0, 1}, {0s, 0, 1, 200, true, true, true},
        {0s, 0, 0, 200}};
    std::string error;
    for (const auto& s : steps) {
        t += s.steady, wall += s.wall;
        if (s.asked) app.requestWeatherUpdate(app.locationManager.activeLocation());
        EXPECT_TRUE(app.scheduledRefresh());
        EXPECT_EQ(drainRequests(), s.requests) << s.steady.count() << " " << s.wall;
        const Failure failure{s.answer ? Failure::Answered : Failure::Unreachable, s.answer};
        App::WorkResult r;
        r.request = app.newestWeatherRequest - (s.late ? 1 : 0);
        r.place = app.locationManager.activeLocation();
        r.retrySoon = retrySoon(failure);
        r.error = forecastFailureText(failure);
        if (s.answer == 200) error.clear();
        else if (s.answer >= 0 && !s.late) error = r.error;
        if (s.answer == 200) r.weather.emplace();
        if (s.answer >= 0) app.resultQueue.push(std::move(r)), app.updateFromBackground();
        EXPECT_EQ(app.fetchInProgress, s.updating) << s.steady.count() << " " << s.answer;
        EXPECT_EQ(app.status, error) << s.steady.count() << " " << s.answer;
    }
}

// Each of the place's midnights asks for the new day's forecast once per
// record, between polls, hidden or not, and turns the tray's day.
TEST_F(AppClockTest, ThePlacesNewDayRefreshesOnce) {
    addPlace();
    constexpr std::int64_t kOsloMidnight = 1768518000;  // 2026-01-16 00:00 CET
    static_cast<GeoLocation&>(app.weather.location) = app.config.locations[0];
    app.weather.location.timezone = "Europe/Oslo";
    app.weather.utcOffsetSeconds = 3600;  // the offset the reply's times are written at
    for (int d = 0; d < 3; ++d) {  // highs of 59, 61 and 63F from the 15th
        DailyForecast& day = app.weather.daily.emplace_back();
        day.date = "2026-01-1" + std::to_string(5 + d), day.temperatureMax = 15.0 + d;
    }
    const struct { std::int64_t at; bool hidden; const char* recordTime; size_t requests; const char16_t* tray; } rows[] = {
        {kOsloMidnight - 60, false, "2026-01-15T23:45", 0, u"High 59°"},
        {kOsloMidnight, false, "2026-01-15T23:45", 1, u"High 61°"},
        {kOsloMidnight + 60, false, "2026-01-15T23:45", 0, u"High 61°"},  // that fetch failed: the poll tries again
        {kOsloMidnight + 86400, true, "2026-01-15T23:45", 1, u"High 63°"}};  // and the next midnight
    wall = rows[0].at;
    (void)app.shownRecord();  // the tray shows the record
    for (const auto& r : rows) {
        wall = r.at;
        app.hiddenToTray = r.hidden;
        app.weather.time = r.recordTime;
        app.scheduledRefresh();
        EXPECT_EQ(drainRequests(), r.requests) << r.at - kOsloMidnight;
        EXPECT_EQ(app.tray.currentQuickLook().highLow.substr(0, 8), r.tray) << r.at - kOsloMidnight;
    }
}

TEST_F(AppClockTest, WithoutASavedPlaceNothingIsRequestedAndTheTimerStays) {
    const auto before = app.lastRefresh;
    t += 60min;
    EXPECT_TRUE(app.scheduledRefresh());
    EXPECT_EQ(drainRequests(), 0u);
    EXPECT_EQ(app.lastRefresh, before);
    bool inProgress = false;
    {
        std::lock_guard<std::mutex> lock(app.dataMutex);
        inProgress = app.fetchInProgress;
    }
    EXPECT_FALSE(inProgress);
}

TEST_F(AppClockTest, WeatherRequestCarriesCopiesOfPlaceAndSettings) {
    addPlace();
    app.config.useFahrenheit = false;
    app.config.historyEnabled = false;
    app.config.alertGustKmh = 80;
    app.config.alertSwingC = 5;
    app.config.alertSnowCm = 2;
    GeoLocation place = app.config.locations[0];
    place.customLabel = true;
    app.requestWeatherUpdate(place);
    std::optional<App::WorkRequest> r = app.requestQueue.tryPop();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->kind, App::WorkKind::FetchWeather);
    EXPECT_EQ(r->location.name, "Here");
    EXPECT_TRUE(r->location.customLabel);
    EXPECT_FALSE(r->historyEnabled);
    EXPECT_TRUE(r->alertsEnabled);
    EXPECT_EQ(r->tuning.gustKmh, 80);
    EXPECT_EQ(r->tuning.swingC, 5);
    EXPECT_EQ(r->tuning.snowCm, 2);
    ASSERT_EQ(r->savedLocations.size(), 1u);
    std::lock_guard<std::mutex> lock(app.dataMutex);
    EXPECT_TRUE(app.fetchInProgress);
}

TEST_F(AppClockTest, ResultsReplaceTheRecordOrKeepItWithAnErrorStatus) {
    App::WorkResult ok;
    ok.weather = WeatherData{};
    ok.weather->temperature = 12.5;
    ok.alerts.push_back(WeatherAlert{});
    App::WorkResult failed;
    failed.error = "Couldn't reach the weather service - check your connection.";
    App::WorkResult failedSilently;
    app.fetchInProgress = true;
    app.resultQueue.push(ok);
    app.resultQueue.push(failed);
    app.updateFromBackground();
    EXPECT_EQ(app.weather.temperature, 12.5);
    EXPECT_EQ(app.alerts.size(), 1u);
    EXPECT_EQ(app.status, failed.error);
    EXPECT_FALSE(app.fetchInProgress);
    app.resultQueue.push(failedSilently);
    app.updateFromBackground();
    EXPECT_EQ(app.status, "Update failed");
    EXPECT_EQ(app.weather.temperature, 12.5);
    EXPECT_EQ(app.resultQueue.size(), 0u);
}

}  // namespace
}  // namespace nbr
