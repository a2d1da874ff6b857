// What goes with a saved place when it is removed: its toasts and
// notifications.
#include "app/App.h"

#include <algorithm>

namespace nbr {

void App::forgetRemovedPlace(const GeoLocation& removed) {
    const std::string key = removed.cacheKey();
    for (const SavedLocation& p : locationManager.locations())
        if (p.cacheKey() == key) return;  // saved twice: the other entry still shows them
    forgottenPlaces.insert(key);
    const auto ofPlace = [&key](const WeatherAlert& a) { return a.placeKey == key; };
    std::lock_guard<std::mutex> lock(dataMutex);
    for (const Notification& n : notifications)
        if (ofPlace(n.alert)) pendingToastKeys.erase(n.alert.deduplicationKey());
    std::erase_if(notifications, [&](const Notification& n) { return ofPlace(n.alert); });
    std::erase_if(alerts, ofPlace);
    std::erase_if(visibleAlerts, ofPlace);
    alertsDirty = true;
}

bool App::placeGone(const GeoLocation& place) const {
    const std::string key = place.cacheKey();
    if (!forgottenPlaces.count(key)) return false;
    return std::none_of(locationManager.locations().begin(), locationManager.locations().end(),
                        [&key](const SavedLocation& p) { return p.cacheKey() == key; });
}

}  // namespace nbr
