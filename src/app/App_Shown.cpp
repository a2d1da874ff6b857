// The record the dashboard and the tray show: the active place's own last
// good record, or, while there is none, an empty one of that place.
#include "app/App.h"

#include "model/UnitText.h"
#include "model/Utf8.h"
#include "model/WeatherCodes.h"
#include "ui/Panel_Current.h"
#include "ui/Panel_Places.h"
#include "ui/Units.h"

namespace nbr {

std::string trayTooltipOf(const WeatherData& w, const std::vector<SavedLocation>& places, const Config& config,
                          int64_t now) {
    const std::string asOf = panel::conditionsAsOf(w, config, now);
    return units::temp(config, w.temperature) + " " + conditionText(w.weatherCode) +
           (asOf.empty() ? "" : " (" + asOf + ")") + " - " + panel::placeName(w.location, places);
}

std::string trayBadgeText(const WeatherData& w, const Config& config) {
    if (!knownTemperature(w.temperature)) return "--";
    return numberText("%.0f", shownDegrees(w.temperature, config.useFahrenheit));
}

const WeatherData& recordToShow(const GeoLocation* place, const WeatherData& last, WeatherData& blank) {
    if (!place) {
        blank.location = GeoLocation{};
        return blank;
    }
    const std::string key = place->cacheKey();
    if (last.location.cacheKey() == key) return last;
    // The place's own clock is its zone's: the empty record reports none.
    if (blank.location.cacheKey() != key || blank.location.timezone != place->timezone) blank.location = *place;
    return blank;
}

const WeatherData& App::shownRecord() {
    const GeoLocation* place = locationManager.hasLocations() ? &locationManager.activeLocation() : nullptr;
    const WeatherData& shown = recordToShow(place, weather, placeRecord);
    if (&shown != trayRecord || shown.location.cacheKey() != trayPlaceKey) showInTray(shown);
    return shown;
}

void App::refreshTray() {
    trayRecord = nullptr;
    (void)shownRecord();
}

void App::showInTray(const WeatherData& shown) {
    trayRecord = &shown;
    trayPlaceKey = shown.location.cacheKey();
    trayChangesAt = 0;
    if (&shown != &weather) {
        // A place without weather: its name alone, the program's own icon.
        tray.setTooltip(shown.location.name.empty()
                            ? u""
                            : utf8ToWide("No data - " + panel::placeName(shown.location, locationManager.locations())));
        if (!windowIcon.empty()) {
            tray.setIcon(windowIcon);
            if (window) platform::gui::setWindowIcon(window, windowIcon);
        }
        trayIcon = {};
        tray.setQuickLook(TrayQuickLook{});
        return;
    }
    const std::int64_t now = wallSeconds();
    tray.setTooltip(utf8ToWide(trayTooltipOf(weather, locationManager.locations(), config, now)));
    const std::int64_t asOf = conditionsAsOfFrom(weather);
    trayChangesAt = asOf > now ? asOf : 0;
    platform::RgbaImage badge = createBadgeIcon(trayBadgeText(weather, config));
    if (!badge.empty()) {
        tray.setIcon(badge);
        // The same badge marks the window in the desktop's task list.
        if (window) platform::gui::setWindowIcon(window, badge);
        trayIcon = std::move(badge);
    }
    tray.setQuickLook(quickLookOf(weather, config, now));
}

}  // namespace nbr
