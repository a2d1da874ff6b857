// What follows a saved place through an edit (the keys of its alerts, its
// history, archive and source flags) and what goes with it when it is
// removed (its toasts and notifications).
#include "app/App.h"

#include "foundation/Logger.h"

#include <algorithm>

namespace nbr {

void App::followEditedPlace(const GeoLocation& before) {
    const GeoLocation& after = locationManager.activeLocation();
    const std::string oldKey = before.cacheKey(), newKey = after.cacheKey();
    if (oldKey == newKey) return;
    // The old spot's alerts are not the new one's: they go as with a removal.
    if (!sameSpot(before, after)) {
        forgetRemovedPlace(before);
        return;
    }
    // Another saved entry of the very place keeps what it shares with this one.
    const bool keyShared = std::any_of(locationManager.locations().begin(), locationManager.locations().end(),
                                       [&oldKey](const SavedLocation& p) { return p.cacheKey() == oldKey; });
    if (!keyShared) forgottenPlaces.insert(oldKey);
    alertEngine.renamePlace(before, after, keyShared);
    {
        std::lock_guard<std::mutex> lock(dataMutex);
        const std::vector<std::string> acked = alertEngine.acknowledgedKeys(0);
        acknowledgedKeys = std::set<std::string>(acked.begin(), acked.end());
        // The place's shown and filed alerts go by its new name, and a
        // notice still to be told by its new key.
        const auto follow = [&](WeatherAlert& a) {
            if (a.placeKey != oldKey) return;
            a.placeKey = newKey;
            a.location = after.name;
        };
        for (WeatherAlert& a : alerts) follow(a);
        for (WeatherAlert& a : visibleAlerts) follow(a);
        for (Notification& n : notifications) {
            if (n.alert.placeKey != oldKey) continue;
            const bool pending = pendingToastKeys.erase(n.alert.deduplicationKey()) > 0;
            follow(n.alert);
            if (pending) pendingToastKeys.insert(n.alert.deduplicationKey());
        }
        alertsDirty = true;
    }
    // The stored files tell of the spot the place stands on: they follow a
    // new name there.
    WorkRequest r;
    r.kind = WorkKind::RenamePlace;
    r.location = after;
    r.oldKey = oldKey;
    r.keepOld = keyShared;
    requestQueue.push(std::move(r));
}

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
    // This spot's told and dismissed alerts are forgotten, so that a place
    // of that name saved later, or this one at the spot it moved to, has its
    // alerts filed and told anew.
    for (const std::string& k : alertEngine.forgetPlace(removed)) acknowledgedKeys.erase(k);
}

bool App::placeGone(const GeoLocation& place) const {
    const std::string key = place.cacheKey();
    if (!forgottenPlaces.count(key)) return false;
    return std::none_of(locationManager.locations().begin(), locationManager.locations().end(),
                        [&key](const SavedLocation& p) { return p.cacheKey() == key; });
}

void App::movePlaceFiles(const WorkRequest& request) {
    const std::string newKey = request.location.cacheKey();
    const char* from = request.oldKey.c_str();
    const char* to = newKey.c_str();
    const auto report = [&](const char* what, PlaceFileMove m) {
        if (m == PlaceFileMove::Moved) Log::info("%s of %s moved to %s", what, from, to);
        else if (m == PlaceFileMove::Copied) Log::info("%s of %s copied to %s", what, from, to);
        else if (m == PlaceFileMove::KeptExisting)
            Log::warn("%s of %s left under its old name: %s has one already", what, from, to);
        else if (m == PlaceFileMove::Failed) Log::warn("%s of %s could not be moved to %s", what, from, to);
    };
    report("history", historyStore.renamePlace(request.oldKey, newKey, request.keepOld));
    report("archive", archiveStore.renamePlace(request.oldKey, newKey, request.keepOld));
    weatherService.negRename(request.oldKey, newKey, request.keepOld);
}

}  // namespace nbr
