// The refresh pipeline on the worker, run directly against the stand-in
// services, and the application of its results on the first thread.
#include "ReplayEnv.h"
#include "app/App.h"
#include "model/Dates.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

namespace nbr::test {
namespace {

class RefreshPipelineTest : public ReplayTest {
protected:
    void SetUp() override {
        ReplayTest::SetUp();
        app.historyStore.dir = tmp_.path() + "/history";
        app.archiveStore.dir = tmp_.path() + "/archive";
    }
    App::WorkRequest request(const char* id) {
        App::WorkRequest r;
        r.location = place(id);
        return r;
    }
    std::vector<App::WorkResult> drain() {
        std::vector<App::WorkResult> out;
        while (auto r = app.resultQueue.tryPop()) out.push_back(std::move(*r));
        return out;
    }
    App app;
};

// A place with little history of its own borrows the skill of the nearest
// other saved place closer than 50 km that has ten or more scored days.
TEST_F(RefreshPipelineTest, ANeighbourLendsItsSkillOnlyFromCloseAndWithEnoughDays) {
    const double exactly50 = 0.44966080295936567;  // degrees north of (0, 0)
    ASSERT_EQ(haversineKm(0, 0, exactly50, 0), 50.0);
    const struct {
        double latitude;
        int scoredDays;
        bool seeded;
    } cases[] = {{0.4496, 10, true}, {exactly50, 10, false}, {0.4496, 9, false}, {0, 30, false}};
    for (size_t i = 0; i < std::size(cases); ++i) {
        App::WorkRequest r;
        r.location.name = "Here";
        SavedLocation other;  // {0, 0}: the place itself under its own key
        other.name = cases[i].latitude == 0 ? "Here" : "Near" + std::to_string(i);
        other.latitude = cases[i].latitude;
        r.savedLocations = {other};
        auto& log = app.historyStore.logFor(other.cacheKey());
        for (int d = 0; d < cases[i].scoredDays; ++d) {
            log.truth.push_back({addDays("2024-01-01", d), 10, 0, 3, false});
            log.fcst.push_back({addDays("2024-01-01", d - 1), addDays("2024-01-01", d), 1, 12, 0, 30, 1.5, 0});
        }
        WeatherData data;
        app.maybeSeedFromNeighbor(r, data);
        EXPECT_EQ(data.skill.seeded, cases[i].seeded) << i;
    }
}

TEST_F(RefreshPipelineTest, QuickThenFinalResultWithEveryAlertInOrder) {
    server.setReply("update", "/nimbrel-latest.json", replay::Reply::json(R"({"version":"1.4.10"})"));
    App::WorkRequest r = request("boston");
    r.tuning.gustKmh = -1;  // any wind raises High Wind: a rule alert for sure
    app.handleFetchWeather(r);
    std::vector<App::WorkResult> got = drain();
    ASSERT_EQ(got.size(), 2u);
    ASSERT_TRUE(got[0].weather && got[1].weather);
    EXPECT_FALSE(got[0].weather->enriched);
    EXPECT_TRUE(got[1].weather->enriched);
    EXPECT_TRUE(got[1].weather->popConsensusApplied);
    EXPECT_TRUE(got[0].newerVersion.empty());
    EXPECT_EQ(got[1].newerVersion, "1.4.10");

    // Quick: the rule alerts only. Final: official, then rules, then sky.
    ASSERT_FALSE(got[0].alerts.empty());
    for (const WeatherAlert& a : got[0].alerts) EXPECT_FALSE(a.official);
    ASSERT_GE(got[1].alerts.size(), 2 + got[0].alerts.size());
    EXPECT_TRUE(got[1].alerts[0].official);
    EXPECT_TRUE(got[1].alerts[1].official);
    for (size_t i = 0; i < got[0].alerts.size(); ++i)
        EXPECT_EQ(got[1].alerts[2 + i].deduplicationKey(), got[0].alerts[i].deduplicationKey());
    for (size_t i = 2 + got[0].alerts.size(); i < got[1].alerts.size(); ++i)
        EXPECT_EQ(got[1].alerts[i].kind, AlertKind::SkyEvent);

    // The history log and the archive were written; the archive carries the
    // normals of today into the record.
    EXPECT_TRUE(std::filesystem::exists(app.historyStore.pathFor(r.location.cacheKey())));
    EXPECT_TRUE(std::filesystem::exists(app.archiveStore.pathFor(r.location.cacheKey())));
    EXPECT_TRUE(got[1].weather->normals.valid);

    // The version is checked once per run.
    app.handleFetchWeather(r);
    got = drain();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_TRUE(got[1].newerVersion.empty());
    EXPECT_EQ(server.count("update"), 1u);
}

TEST_F(RefreshPipelineTest, SwitchesOffLearningAndAlertsAndStopsAtShutDown) {
    App::WorkRequest r = request("halifax");
    r.historyEnabled = false;
    r.alertsEnabled = false;
    app.handleFetchWeather(r);
    std::vector<App::WorkResult> got = drain();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_TRUE(got[0].alerts.empty());
    EXPECT_TRUE(got[1].alerts.empty());
    EXPECT_EQ(server.count("eccc"), 0u);
    EXPECT_FALSE(std::filesystem::exists(app.historyStore.pathFor(r.location.cacheKey())));
    EXPECT_TRUE(got[1].weather->normals.valid);  // the archive works without learning

    // A stop between the stages: the quick result only.
    app.workerRunning = false;
    app.handleFetchWeather(request("oslo"));
    got = drain();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_FALSE(got[0].weather->enriched);
}

// Renamed in the edit window, a place keeps what is stored under its name:
// its scored history with the corrections it gives, its archive and source
// flags, and the alert already dismissed, which is not raised again.
TEST_F(RefreshPipelineTest, ARenamedPlaceKeepsItsHistoryAndItsDismissedAlerts) {
    app.alertEngine.setStatePath(tmp_.path() + "/alert_state.json", app.locationManager.locations());
    app.config.alertGustKmh = -1;  // any wind raises High Wind
    app.renderer = std::make_unique<UIRenderer>(app.locationManager, app.config);
    app.locationManager.addLocation(place("boston"));
    const std::string oldKey = app.locationManager.activeLocation().cacheKey();
    HistoryStore::Log& log = app.historyStore.logFor(oldKey);  // three weeks, each day-ahead high too warm
    for (int d = 0; d < 21; ++d) {
        log.truth.push_back({addDays("2024-01-01", d), 10, 0, 3, false});
        log.fcst.push_back({addDays("2024-01-01", d - 1), addDays("2024-01-01", d), 1, 11, 0, 30, 1.5, 0});
    }
    ASSERT_TRUE(app.historyStore.rewrite(oldKey, log));
    app.historyStore.logs.clear();  // read from the file from now on
    app.weatherService.negSet(oldKey, WeatherService::kNegBuoy);
    const auto work = [&] {  // the worker's part, in order
        while (auto r = app.requestQueue.tryPop())
            r->kind == App::WorkKind::RenamePlace ? app.movePlaceFiles(*r) : app.handleFetchWeather(*r);
        app.updateFromBackground();
    };
    app.requestWeatherUpdate(app.locationManager.activeLocation());
    work();
    const WeatherData before = app.weather;
    ASSERT_GE(before.skill.leads[1].n, 21);
    ASSERT_TRUE(before.daily[1].corrected);
    std::string windKey;
    for (const WeatherAlert& a : app.alerts)
        if (a.kind == AlertKind::HighWind) windKey = a.deduplicationKey();
    ASSERT_FALSE(windKey.empty());
    app.renderer->actions.acknowledgeKey = windKey;
    app.processEvents();
    const size_t filed = app.notifications.size();
    app.renderer->openEdit();
    std::strcpy(app.renderer->editName, "Downtown");
    app.renderer->saveEdit();
    app.processEvents();
    work();
    const std::string newKey = app.locationManager.activeLocation().cacheKey();
    EXPECT_EQ(app.weather.location.name, "Downtown");
    EXPECT_EQ(app.weather.skill.leads[1].n, before.skill.leads[1].n);
    EXPECT_EQ(app.weather.history.size(), before.history.size());
    EXPECT_EQ(app.weather.daily[1].highCorrection, before.daily[1].highCorrection);
    EXPECT_TRUE(app.weatherService.negHas(newKey, WeatherService::kNegBuoy));
    EXPECT_EQ(server.count("archive"), 1u);  // the archive came along: not fetched again
    const std::string renamedKey = renamedAlertKey(windKey, oldKey, newKey).value_or("");
    EXPECT_EQ(app.notifications.size(), filed);
    EXPECT_EQ(app.acknowledgedKeys, std::set<std::string>{renamedKey});
    EXPECT_NE(readFile(tmp_.path() + "/alert_state.json").find(renamedKey), std::string::npos);

    // Renamed again while a second entry of the same place is saved: that
    // entry keeps the history and the dismissed alert.
    const GeoLocation downtown = app.locationManager.activeLocation();
    app.locationManager.addLocation(downtown);
    app.renderer->openEdit();
    std::strcpy(app.renderer->editName, "Uptown");
    app.renderer->saveEdit();
    app.processEvents();
    work();
    EXPECT_GE(app.historyStore.logFor(newKey).truth.size(), 21u);
    EXPECT_EQ(app.acknowledgedKeys.count(renamedKey), 1u);
}

// Moved in the edit window, a place starts anew: no zone until the new
// spot's forecast names one (then kept with the saved place), none of the
// old spot's record or alerts, nor its told and dismissed alert keys unless
// a second entry still stands there.
TEST_F(RefreshPipelineTest, AMovedPlaceStartsAnewInTheZoneItsForecastNames) {
    const std::string state = tmp_.path() + "/alert_state.json";
    app.alertEngine.setStatePath(state, app.locationManager.locations());
    app.config.alertGustKmh = -1;  // any wind raises High Wind
    app.renderer = std::make_unique<UIRenderer>(app.locationManager, app.config);
    app.locationManager.addLocation(place("boston"));
    const auto work = [&] {
        while (auto r = app.requestQueue.tryPop()) app.handleFetchWeather(*r);
        app.updateFromBackground();
    };
    app.requestWeatherUpdate(app.locationManager.activeLocation());
    work();
    ASSERT_FALSE(app.notifications.empty());
    app.renderer->actions.acknowledgeKey = app.notifications[0].alert.deduplicationKey();
    app.processEvents();
    const auto moveTo = [&](double latitude, double longitude) {
        app.renderer->openEdit();
        app.renderer->editLatitude = latitude, app.renderer->editLongitude = longitude;
        app.renderer->saveEdit();
        app.processEvents();
    };
    moveTo(place("oslo").latitude, place("oslo").longitude);
    EXPECT_EQ(app.locationManager.activeLocation().timezone, "");
    EXPECT_TRUE(app.shownRecord().daily.empty() && app.alerts.empty() && app.notifications.empty());
    EXPECT_TRUE(app.acknowledgedKeys.empty());
    EXPECT_EQ(readFile(state).find("|Boston|"), std::string::npos);
    // An official time without an offset is on the clock the forecast names: 12:00 in Oslo is 11:00 UTC.
    server.setReply("nws", "/alerts/active",
                    replay::Reply::json(R"({"features":[{"properties":{"id":"w","ends":"2030-01-01T12:00:00"}}]})"));
    work();
    ASSERT_TRUE(!app.alerts.empty() && app.alerts[0].official);
    EXPECT_EQ(std::chrono::system_clock::to_time_t(app.alerts[0].expires), 1893495600);
    EXPECT_EQ(&app.shownRecord(), &app.weather);
    EXPECT_EQ(app.locationManager.activeLocation().timezone, "Europe/Oslo");
    EXPECT_NE(readFile(dataDir() + "/config.json").find("Europe/Oslo"), std::string::npos);
    ASSERT_FALSE(app.notifications.empty());  // told like a new place's
    const std::string told = app.notifications[0].alert.deduplicationKey();

    app.locationManager.addLocation(app.locationManager.activeLocation());
    moveTo(59.95, 10.8);
    EXPECT_NE(readFile(state).find(told), std::string::npos);
}

// The error says what the service answered (no answer: WorkerConcurrency).
TEST_F(RefreshPipelineTest, AFailedForecastIsOneErrorResultAndNothingLogged) {
    App::WorkRequest typed;  // coordinates the service has no forecast for
    typed.location = {"Typed", "", "", 52.52, -0.127, "", false};
    const char* cut = "Couldn't reach the weather service - check your connection.";  // the network failed
    const struct { std::optional<replay::Reply> reply; App::WorkRequest asked; const char* error; bool soon{}; } rows[] = {
        {replay::Reply::withStatus(500), request("boston"), "The weather service answered with an error (HTTP 500).", true},
        {std::nullopt, typed, "The weather service has no forecast for this place (HTTP 404)."},
        {replay::Reply::html(), request("boston"), "The weather service sent a reply that could not be read."},
        {replay::Reply::json("{}").cutShort(), request("boston"), cut, true},  // one byte of two
        {replay::Reply::json("{").cutShort(), request("boston"), cut, true}};  // nothing after the headers
    for (const auto& row : rows) {
        SCOPED_TRACE(&row - rows);
        server.clearReplies();
        if (row.reply) server.setReply("forecast", "/v1/forecast", *row.reply);
        app.handleFetchWeather(row.asked);
        const std::vector<App::WorkResult> got = drain();
        ASSERT_EQ(got.size(), 1u) << row.error;
        EXPECT_FALSE(got[0].weather);
        EXPECT_EQ(got[0].place.value_or(GeoLocation{}).cacheKey(), row.asked.location.cacheKey());
        EXPECT_EQ(got[0].error, row.error);
        EXPECT_EQ(got[0].retrySoon, row.soon) << row.error;  // tried again soon
    }
    EXPECT_FALSE(std::filesystem::exists(app.historyStore.dir));
}

TEST(ArchiveFillTest, LastYearHighsAndTheRunOfObservedHighs) {
    std::vector<ArchiveStore::Day> days;
    for (std::string d = "2022-01-01"; d <= "2024-03-10"; d = ArchiveStore::addDays(d, 1))
        days.push_back({d, 10.0 + static_cast<double>(days.size() % 17), 0, 0});
    const auto highOn = [&](const std::string& date) {
        for (const auto& d : days)
            if (d.date == date) return d.tmax;
        return -999.0;
    };
    const auto row = [](const char* date, bool observed, double high) {
        HistoryDay h;
        h.date = date;
        h.hasObserved = observed;
        h.observedHigh = high;
        return h;
    };
    struct Case {
        std::vector<HistoryDay> rows;
        std::vector<double> series;  // empty: no analog search
        const char* end;
    };
    const Case cases[] = {
        // Yesterday and the two days before observed; a fourth is not used.
        {{row("2024-03-06", true, 1), row("2024-03-07", true, 2), row("2024-03-08", true, 3), row("2024-03-09", true, 4)},
         {2, 3, 4}, "2024-03-09"},
        // Yesterday not observed: the run ends the day before.
        {{row("2024-03-07", true, 2), row("2024-03-08", true, 3), row("2024-03-09", false, 0)}, {2, 3}, "2024-03-08"},
        // Only yesterday: too short at both ends.
        {{row("2024-03-09", true, 4)}, {}, ""},
    };
    for (const Case& c : cases) {
        WeatherData data;
        data.history = {row("2024-02-29", false, 0)};  // no 29 February a year before
        data.history.insert(data.history.end(), c.rows.begin(), c.rows.end());
        App app;
        app.applyArchive(days, "2024-03-10", "2024-03-09", data);
        EXPECT_TRUE(data.normals.valid);
        for (const HistoryDay& h : data.history) {
            if (h.date == "2024-02-29") {
                EXPECT_FALSE(h.hasLastYear);
                continue;
            }
            EXPECT_TRUE(h.hasLastYear) << h.date;
            EXPECT_EQ(h.lastYearHigh, highOn("2023" + h.date.substr(4))) << h.date;
        }
        const AnalogOutlook expected =
            c.series.empty() ? AnalogOutlook{} : ArchiveStore::computeAnalogs(days, c.series, c.end);
        EXPECT_EQ(data.analogs.valid, expected.valid) << c.end;
        EXPECT_EQ(data.analogs.matches, expected.matches) << c.end;
        EXPECT_EQ(data.analogs.nextHighs, expected.nextHighs) << c.end;
    }
}

}  // namespace
}  // namespace nbr::test
