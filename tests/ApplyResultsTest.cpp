// Applying weather results on the first thread: tray texts, alert filing
// once per key, the rain-soon notice and the cap of the notification list.
#include "PlaceRecords.h"
#include "TestEnv.h"
#include "app/App.h"
#include "foundation/PlaceTime.h"
#include "model/Utf8.h"
#include "ui/Panel_Current.h"
#include "ui/Panel_Forecast.h"
#include "ui/Panel_Status.h"

#include <gtest/gtest.h>

#include <functional>

namespace nbr::test {
namespace {

using std::chrono::system_clock;

constexpr int64_t kNoon = 1893499200;  // 2030-01-01 12:00 UTC, Boston's record's day

WeatherData boston() {
    WeatherData w;
    w.location.name = "Boston";
    w.location.admin1 = "Massachusetts";
    w.location.country = "US";
    w.temperature = 21.6;
    w.apparentTemperature = 20.2;
    w.weatherCode = 2;
    w.windSpeed = 20;
    w.windDirection = 270;
    DailyForecast today;
    today.date = "2030-01-01";
    today.temperatureMax = 25.4;
    today.temperatureMin = 14.6;
    today.precipitationProbabilityMax = 35;
    w.daily.push_back(today);
    return w;
}

Config units(bool fahrenheit, int windUnit) {
    Config c;
    c.useFahrenheit = fahrenheit;
    c.windUnit = windUnit;
    return c;
}

TEST(QuickLookTest, TextsFollowTheUnitsAndThePlace) {
    TrayQuickLook q = quickLookOf(boston(), units(false, 1), kNoon);
    EXPECT_EQ(q.heading, u"Boston, Massachusetts, US");
    EXPECT_EQ(q.temperature, u"22°C");
    EXPECT_EQ(trayBadgeText(boston(), units(false, 1)), "22");
    EXPECT_EQ(q.condition, u"Partly Cloudy");
    EXPECT_EQ(q.feelsLike, u"Feels like 20°");
    EXPECT_EQ(q.highLow, u"High 25°    Low 15°");
    EXPECT_EQ(q.wind, u"Wind W 20 km/h");
    EXPECT_EQ(q.rain, u"Rain 35%");
    EXPECT_TRUE(q.valid);
    WeatherData noChance = boston();
    noChance.daily[0].precipitationProbabilityMax = -1;  // the forecast gave none
    noChance.daily[0].temperatureMin = kUnknownTemperature;
    EXPECT_EQ(quickLookOf(noChance, units(false, 1), kNoon).rain, u"Rain --");
    EXPECT_EQ(quickLookOf(noChance, units(true, 1), kNoon).highLow, u"High 78°    Low --");
    // A day later the second entry is today's; a day after that none is.
    WeatherData old = boston();
    old.daily.push_back(old.daily[0]);
    old.daily[1].date = "2030-01-02", old.daily[1].temperatureMax = 30;
    EXPECT_EQ(quickLookOf(old, units(false, 1), kNoon + 86400).highLow, u"High 30°    Low 15°");
    EXPECT_TRUE(quickLookOf(old, units(false, 1), kNoon + 2 * 86400).rain.empty());
    // Values the service did not give.
    old.temperature = old.apparentTemperature = kUnknownTemperature, old.windDirection = kUnknownAmount;
    q = quickLookOf(old, units(false, 1), kNoon);
    EXPECT_EQ(q.temperature + q.feelsLike + q.wind, u"--Feels like --Wind 20 km/h");

    WeatherData w = boston();
    w.location.customLabel = true;
    w.daily.clear();
    q = quickLookOf(w, units(true, 2), kNoon);
    EXPECT_EQ(q.heading, u"Boston");
    EXPECT_EQ(q.temperature, u"71°F");
    EXPECT_EQ(trayBadgeText(w, units(true, 2)), "71");
    EXPECT_EQ(q.feelsLike, u"Feels like 68°");
    EXPECT_TRUE(q.highLow.empty());
    EXPECT_TRUE(q.rain.empty());
    EXPECT_EQ(q.wind, u"Wind W 5.6 m/s");
    for (int unit : {0, 7, -3}) EXPECT_EQ(quickLookOf(w, units(true, unit), kNoon).wind, u"Wind W 12 mph");
    EXPECT_EQ(quickLookOf(w, units(true, 3), kNoon).wind, u"Wind W 11 kn");
    w.temperature = -0.3;
    EXPECT_EQ(quickLookOf(w, units(false, 1), kNoon).temperature, u"0°C");  // never "-0"
}

class ApplyResultsTest : public DataDirTest {
protected:
    void SetUp() override {
        DataDirTest::SetUp();
        app.alertEngine.setStatePath(tmp_.path() + "/alert_state.json", app.locationManager.locations());
        app.tray.initialize({});
    }
    void apply(WeatherData w, std::vector<WeatherAlert> alerts) {
        App::WorkResult r;
        r.weather = std::move(w);
        r.alerts = std::move(alerts);
        app.resultQueue.push(std::move(r));
        app.updateFromBackground();
    }
    static WeatherAlert alert(const char* day, const char* message, int hoursLeft = 5) {
        WeatherAlert a;
        a.kind = AlertKind::RainExpected;
        a.title = "Rain Expected";
        a.message = message;
        a.location = "Boston";
        a.dayKey = day;
        a.expires = system_clock::now() + std::chrono::hours(hoursLeft);
        return a;
    }
    App app;
};

TEST_F(ApplyResultsTest, RecordTooltipAndBadge) {
    app.fetchInProgress = true;
    apply(boston(), {});
    EXPECT_FALSE(app.fetchInProgress);
    EXPECT_EQ(app.weather.location.name, "Boston");
    EXPECT_EQ(app.tray.tooltip(), u"71F Partly Cloudy - Boston");  // Fahrenheit by default
    EXPECT_FALSE(app.trayIcon.empty());
    EXPECT_TRUE(app.tray.currentQuickLook().valid);

    // A failed refresh keeps the record and says why.
    App::WorkResult failed;
    failed.error = "Couldn't reach the weather service - check your connection.";
    app.resultQueue.push(failed);
    app.updateFromBackground();
    EXPECT_EQ(app.status, failed.error);
    EXPECT_EQ(app.weather.location.name, "Boston");
}

// Oslo's record kept offline: the status keeps its age beside the error, the current block and the
// tray (turned by the poll) say when the conditions held, its advice speaks of the hour holding now,
// the strip and table say that they have run out.
TEST_F(ApplyResultsTest, AKeptRecordSaysHowOldItIs) {
    std::int64_t wall = 1768482600, fetched = wall;  // 2:10 PM on Jan 15 in Oslo, the conditions of 2:00
    app.wallClock = [&] { return system_clock::time_point(std::chrono::seconds(wall)); };
    app.config.useFahrenheit = false;
    WeatherData oslo = placeRecord(Place::Oslo);
    oslo.temperature = 22, oslo.weatherCode = 3, oslo.fetchedAt = app.wallClock();
    oslo.hourly[2].weatherCode = 61, oslo.hourly[2].precipitation = 0.6, oslo.hourly[2].precipitationProbability = 80;
    app.config.locations.push_back(SavedLocation{oslo.location});
    apply(oslo, {});
    app.status = "The weather service answered with an error (HTTP 500).";
    const std::string error = " ago - the weather service answered with an error (HTTP 500)",
                      out = " ahead: the kept forecast has run out.";
    const std::string dryNow = "Dry now; odds favor rain later on.";  // 4 PM: Rain 80%
    const struct { int64_t after; bool use24; std::string age, asOf, advice, hours, days; } rows[] = {
        {3000, false, "50 min", "", dryNow, "", ""},
        {3600, false, "1 hour", "2:00 PM, Jan 15", dryNow, "", ""},
        {7200, false, "2 hours", "2:00 PM, Jan 15", "Rain likely before the day is out.", "", ""},
        {84000, false, "23 hours", "2:00 PM, Jan 15", "Clear Sky - a quiet weather day.", "", ""},
        {86400, false, "1 day", "2:00 PM, Jan 15", "", "No hours" + out, ""},
        {6 * 86400, false, "6 days", "2:00 PM, Jan 15", "", "No hours" + out, ""},
        {8 * 86400, true, "8 days", "14:00, Jan 15", "", "No hours" + out, "No days" + out}};
    for (const auto& r : rows) {
        wall = fetched + r.after;
        app.scheduledRefresh();
        if (r.use24) app.config.use24hClock = true, app.refreshTray();  // as a change of the setting does
        EXPECT_EQ(panel::statusText(true, app.fetchInProgress, app.status, oslo.fetchedAt, wall).text, "Updated " + r.age + error);
        const std::string asOf = r.asOf.empty() ? "" : "as of " + r.asOf;
        EXPECT_EQ(panel::conditionsAsOf(app.weather, app.config, wall), asOf);
        EXPECT_EQ(app.tray.tooltip(), utf8ToWide("22C Overcast " + (asOf.empty() ? "" : "(" + asOf + ") ") + "- Oslo"));
        EXPECT_EQ(panel::currentAdvice(app.weather, todayOf(app.weather, wall), app.config, wall).text, r.advice);
        EXPECT_EQ(panel::forecastRunOut(oslo.hourly.size(), hoursFrom(oslo, wall).size(), "hours"), r.hours);
        EXPECT_EQ(panel::forecastRunOut(oslo.daily.size(), daysFrom(oslo, wall).size(), "days"), r.days);
    }
}

// Only the active place's own record is shown, else the place alone in its
// own zone (the tray too); a late answer or failure for another place is left out.
TEST_F(ApplyResultsTest, OnlyTheActivePlacesOwnRecordIsShown) {
    WeatherData b = boston(), late = boston();
    b.location = late.location = {"Boston", "US", "", 42.36, -71.06, "America/New_York", false};
    late.temperature = 30;
    const GeoLocation ph{"Boston", "PH", "Davao Oriental", 7.87, 126.37, "Asia/Manila", false};
    for (const GeoLocation& g : {b.location, GeoLocation{"Cabin", "", "", 61.2, 7.1, "", false}})  // typed: no zone
        app.config.locations.push_back(SavedLocation{g});
    const auto failFor = [&](const GeoLocation& g, const char* error) {
        App::WorkResult r;
        r.place = g, r.error = error;
        app.resultQueue.push(std::move(r)), app.updateFromBackground();
    };
    const auto fail = [&] { failFor(app.locationManager.activeLocation(), ""); };
    // Each step, the place then shown and its offset (standard, summer) when it has no record.
    const struct { std::function<void()> step; const char* place; int hours[2]; std::u16string tip; } rows[] = {
        {fail, "Boston", {-5, -4}, u"No data - Boston"},  // the first fetch fails
        {[&] { apply(b, {}); }, "Boston", {}, u"71F Partly Cloudy - Boston"},
        {[&] { app.locationManager.setActive(1), fail(); }, "Cabin", {0, 0}, u"No data - Cabin"},
        {[&] { app.fetchInProgress = true, apply(late, {alert("2030-01-01", "Rain")}); }, "Cabin", {0, 0},
         u"No data - Cabin"},
        {[&] { failFor(b.location, "Boston's failure"); }, "Cabin", {0, 0}, u"No data - Cabin"},
        {[&] { app.locationManager.setActive(0); }, "Boston", {}, u"71F Partly Cloudy - Boston"},
        // Beside another place of the name, each by its title.
        {[&] { app.config.locations.push_back(SavedLocation{ph}), app.locationManager.setActive(2); }, "Boston PH",
         {8, 8}, u"No data - Boston, Davao Oriental, PH"},
        {[&] { app.locationManager.setActive(0); }, "Boston", {}, u"71F Partly Cloudy - Boston, US"}};
    for (const auto& r : rows) {
        r.step();
        const WeatherData& shown = app.shownRecord();
        const bool own = r.tip.rfind(u"No data", 0) != 0;
        EXPECT_EQ(shown.location.cacheKey(), app.locationManager.activeLocation().cacheKey()) << r.place;
        EXPECT_EQ(&shown == &app.weather, own) << r.place;
        EXPECT_EQ(shown.daily.empty(), !own) << r.place;
        // The empty record reads its place's zone; a place without one has no clock.
        const PlaceClock clock = placeClock(shown);
        const int offset = own ? 0 : clock.offsetAt(std::time(nullptr));
        EXPECT_TRUE(offset == r.hours[0] * 3600 || offset == r.hours[1] * 3600) << r.place << offset;
        EXPECT_EQ(clock.known(), own || r.hours[0] != 0) << r.place;
        EXPECT_EQ(app.tray.tooltip(), r.tip);
        EXPECT_EQ(app.tray.currentQuickLook().valid, own);
    }
    EXPECT_DOUBLE_EQ(app.weather.temperature, b.temperature);  // the late answer and failure were left out,
    EXPECT_TRUE(app.fetchInProgress);                          // still waiting for the Cabin's own
    EXPECT_EQ(app.status, "Update failed");                    // the Cabin's own failure
    EXPECT_TRUE(app.notifications.empty());
}

TEST_F(ApplyResultsTest, AlertsAreFiledOncePerKeyAndRefreshedInPlace) {
    apply(boston(), {alert("2030-01-01", "Rain expected today"), alert("2030-01-02", "gone", -1)});
    ASSERT_EQ(app.notifications.size(), 1u);  // the expired one is not filed
    EXPECT_EQ(app.pendingToastKeys.size(), 1u);
    app.notifications[0].acknowledged = true;
    app.pendingToastKeys.clear();

    apply(boston(), {alert("2030-01-01", "Rain expected today, heavier")});
    ASSERT_EQ(app.notifications.size(), 1u);
    EXPECT_EQ(app.notifications[0].alert.message, "Rain expected today, heavier");
    EXPECT_TRUE(app.notifications[0].acknowledged);
    EXPECT_TRUE(app.pendingToastKeys.empty());

    // Remembered across a restart: not filed again.
    App again;
    again.alertEngine.setStatePath(tmp_.path() + "/alert_state.json", again.locationManager.locations());
    App::WorkResult r;
    r.weather = boston();
    r.alerts = {alert("2030-01-01", "x")};
    again.resultQueue.push(r);
    again.updateFromBackground();
    EXPECT_TRUE(again.notifications.empty());
    WeatherData elsewhere = boston();  // another Boston's alert of that kind and day is its own
    elsewhere.location.latitude = 40;
    apply(elsewhere, {alert("2030-01-01", "x")});
    EXPECT_EQ(app.pendingToastKeys, std::set<std::string>{app.notifications.at(1).alert.deduplicationKey()});

    // The list keeps the newest 50.
    std::vector<WeatherAlert> many;
    for (int i = 0; i < 60; ++i) many.push_back(alert(("day" + std::to_string(i)).c_str(), "m"));
    apply(boston(), many);
    ASSERT_EQ(app.notifications.size(), 50u);
    EXPECT_EQ(app.notifications.back().alert.dayKey, "day59");
}

// Removing a place takes its toasts and notifications along, and a refresh
// of it still under way brings none back; another Boston keeps its own, and
// so does the place while a second entry of it is saved.
TEST_F(ApplyResultsTest, ARemovedPlaceTakesItsToastsAndNotificationsAlong) {
    WeatherData elsewhere = boston();
    elsewhere.location.latitude = 40;
    app.locationManager.addLocation(boston().location);  // the active place
    app.locationManager.addLocation(elsewhere.location);
    app.locationManager.addLocation(boston().location);
    app.locationManager.setActive(1);
    apply(elsewhere, {alert("2030-01-02", "Rain there")});
    app.locationManager.setActive(0);
    apply(boston(), {alert("2030-01-01", "Rain here")});
    app.visibleAlerts = app.alerts;
    app.renderer = std::make_unique<UIRenderer>(app.locationManager, app.config);
    app.renderer->actions.removeActive = true;
    app.processEvents();
    EXPECT_EQ(app.notifications.size(), 2u);  // the other entry still shows them
    app.locationManager.setActive(1);
    app.renderer->actions.removeActive = true;
    app.processEvents();
    apply(boston(), {alert("2030-01-03", "Rain here later")});
    EXPECT_TRUE(app.alerts.empty() && app.visibleAlerts.empty());
    ASSERT_EQ(app.notifications.size(), 1u);
    EXPECT_EQ(app.notifications[0].alert.message, "Rain there");
    EXPECT_EQ(app.pendingToastKeys, std::set<std::string>{app.notifications[0].alert.deduplicationKey()});
    apply(elsewhere, {alert("2030-01-02", "Rain there"), alert("2030-01-01", "Rain there too")});
    EXPECT_EQ(app.notifications.size(), 2u);  // its own still told; the removed Boston's key forgotten

    // Another Boston saved and removed once the list is cleared: the one left keeps its filed and dismissed keys.
    const std::string dismissed = app.notifications[0].alert.deduplicationKey();
    app.renderer->actions.acknowledgeKey = dismissed, app.renderer->actions.clearNotifications = true;
    app.processEvents();
    app.locationManager.addLocation(boston().location);
    app.locationManager.setActive(app.locationManager.locations().size() - 1);
    app.renderer->actions.removeActive = true;
    app.processEvents();
    apply(elsewhere, {alert("2030-01-02", "Rain there"), alert("2030-01-01", "Rain there too")});
    EXPECT_TRUE(app.notifications.empty());
    EXPECT_TRUE(app.acknowledgedKeys.count(dismissed));
}

TEST_F(ApplyResultsTest, RainSoonIsAnnouncedOncePerShower) {
    app.wallClock = [] { return system_clock::from_time_t(kNoon - 2 * 3600); };
    const auto withRainIn = [](int steps, int code = 61) {
        WeatherData w = boston();
        for (int i = 0; i < 8; ++i) {  // quarter hours from 10:00, the present
            char time[32];
            std::snprintf(time, sizeof time, "2030-01-01T%02d:%02d", 10 + i / 4, i % 4 * 15);
            w.minutely15.push_back({time, i >= steps ? 0.4 : 0.0, code});
        }
        return w;
    };
    apply(withRainIn(3), {});  // 45 minutes away: not yet
    EXPECT_TRUE(app.notifications.empty());
    apply(withRainIn(2), {});  // 30 minutes
    ASSERT_EQ(app.notifications.size(), 1u);
    EXPECT_EQ(app.notifications[0].alert.title, "Rain Soon");
    EXPECT_EQ(alertMessageOn(app.notifications[0].alert, {}), "Rain starting in ~30 min in Boston");
    apply(withRainIn(2), {});  // the same first wet step
    EXPECT_EQ(app.notifications.size(), 1u);
    // Dry clears the shower; the next start is one again, but the alert
    // engine still remembers today's notice until it expires.
    apply(withRainIn(8), {});
    EXPECT_TRUE(app.lastRainKey.empty());
    apply(withRainIn(1), {});
    EXPECT_EQ(app.lastRainKey, app.weather.location.cacheKey() + "|2030-01-01T10:15");
    EXPECT_EQ(app.notifications.size(), 1u);
    WeatherData snow = withRainIn(1, 73);  // snow is announced as snow
    snow.location.name = "Oslo";
    apply(snow, {});
    const WeatherAlert& n = app.notifications.back().alert;
    EXPECT_EQ(n.title + ": " + alertMessageOn(n, {}), "Snow Soon: Snow starting in ~15 min in Oslo");
}

}  // namespace
}  // namespace nbr::test
