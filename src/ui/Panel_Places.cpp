#include "ui/Panel_Places.h"

#include "foundation/PlaceTime.h"
#include "model/Utf8.h"
#include "ui/PanelText.h"
#include "ui/Units.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

namespace nbr::panel {

std::string placeNameRegionCountry(const GeoLocation& place) {
    std::string t;
    for (const std::string* part : {&place.name, &place.admin1, &place.country}) {
        if (part->empty()) continue;
        if (!t.empty()) t += ", ";
        t += *part;
    }
    return t;
}

std::string placeTitle(const GeoLocation& place) {
    return place.customLabel ? place.name : placeNameRegionCountry(place);
}

namespace {

// Whether two or more saved places go by `name`: settled on the names alone,
// before any place's key is written out (most names are not shared).
bool nameShared(std::string_view name, const std::vector<SavedLocation>& places) {
    return std::count_if(places.begin(), places.end(), [&](const SavedLocation& p) { return p.name == name; }) > 1;
}

}  // namespace

std::string sharedNameTitle(const std::string& placeKey, const std::vector<SavedLocation>& places) {
    if (!nameShared(std::string_view(placeKey).substr(0, placeKey.rfind('@')), places)) return {};
    const auto own = std::find_if(places.begin(), places.end(),
                                  [&](const SavedLocation& p) { return p.cacheKey() == placeKey; });
    if (own == places.end() || std::none_of(places.begin(), places.end(), [&](const SavedLocation& p) {
            return p.name == own->name && !sameSpot(p, *own);
        }))
        return {};
    return placeTitle(*own);
}

std::string placeName(const GeoLocation& place, const std::vector<SavedLocation>& places) {
    if (!nameShared(place.name, places)) return place.name;
    const std::string title = sharedNameTitle(place.cacheKey(), places);
    return title.empty() ? place.name : title;
}

std::string utcOffsetText(int seconds) {
    const int h = seconds / 3600;
    const int m = std::abs(seconds - 3600 * h) / 60;
    // A negative offset under an hour has h == 0: the sign comes from the
    // seconds themselves.
    if (m != 0) return printed<32>("UTC%s%d:%02d", seconds < 0 ? "-" : "+", std::abs(h), m);
    return printed<32>("UTC%+d", h);
}

std::string placeClockText(const WeatherData& data, long long nowEpoch, bool use24) {
    const PlaceClock clock = placeClock(data);
    if (!clock.known()) return {};
    const int minute = clock.minuteOfDay(nowEpoch);
    return clockHM(minute / 60, minute % 60, use24) + "  " + utcOffsetText(clock.offsetAt(nowEpoch));
}

long long nextMinuteStart(long long nowEpoch, int offsetSeconds) {
    const auto next = [nowEpoch](long long offset) {
        return nowEpoch + 60 - (((nowEpoch + offset) % 60) + 60) % 60;
    };
    return std::min(next(0), next(offsetSeconds));
}

std::string mailboxBadge(int unread) {
    if (unread < 1) return {};
    if (unread > 9) return "9+";
    return std::to_string(unread);
}

std::string searchResultLabel(const GeoLocation& place, std::size_t index) {
    return placeNameRegionCountry(place) + "##" + std::to_string(index);
}

Line searchNote(bool searching, bool answered, const std::string& failure, bool hasResults) {
    if (searching) return {"Searching...", Tone::Dim};
    if (!failure.empty()) return {failure, Tone::Amber};
    if (answered && !hasResults) return {"No results. Try a different search.", Tone::Dim};
    return {};
}

CoordinateEntry checkCoordinateEntry(double latitude, double longitude) {
    const bool empty = latitude == 0.0 && longitude == 0.0;
    const bool inRange = coordinatesInRange(latitude, longitude);
    return {inRange && !empty, !inRange && !empty};
}

GeoLocation coordinatePlace(const std::string& label, double latitude, double longitude) {
    GeoLocation g;
    g.name = label.empty() ? "Custom location" : utf8Valid(label);
    g.latitude = latitude;
    g.longitude = longitude;
    return g;
}

GeoLocation editedPlace(const GeoLocation& active, const std::string& name, double latitude, double longitude) {
    GeoLocation g = active;
    g.latitude = latitude;
    g.longitude = longitude;
    // The name field opens with the place's title: left as it was, the name
    // stays the place's own (a geocoded place keeps its short name).
    const std::string typed = utf8Valid(name);
    if (typed == utf8Valid(placeTitle(active))) return g;
    g.name = typed;
    g.customLabel = true;
    return g;
}

bool canSaveEdit(const std::string& name, double latitude, double longitude) {
    return !name.empty() && coordinatesInRange(latitude, longitude);
}

}  // namespace nbr::panel
