// Texts and choices of the places bar, the first-run prompt and the search
// and edit windows.
#pragma once

#include "model/WeatherTypes.h"
#include "ui/PanelText.h"

#include <cstddef>
#include <string>
#include <vector>

namespace nbr::panel {

// The name, region and country that are known, joined by ", ".
std::string placeNameRegionCountry(const GeoLocation& place);
// A custom-labelled place shows its name alone; others add the region and
// the country when they are known.
std::string placeTitle(const GeoLocation& place);
// The title of the saved place whose key is `placeKey` where another saved
// place goes by its name; empty where its name tells it apart, or when no
// saved place has that key.
std::string sharedNameTitle(const std::string& placeKey, const std::vector<SavedLocation>& places);
// What names `place` on a line of its own weather (the tray, the mini
// strip): its name, or that title where its name is shared.
std::string placeName(const GeoLocation& place, const std::vector<SavedLocation>& places);

// "UTC+5:45", "UTC-3", "UTC+0".
std::string utcOffsetText(int seconds);

// "<local clock>  <offset>" at `nowEpoch` for the bar, by the place's clock
// at that instant; empty while the clock is not known (an empty record of a
// place whose zone is not known).
std::string placeClockText(const WeatherData& data, long long nowEpoch, bool use24);

// The next start of a minute after `nowEpoch`, by the wall clock or by the
// place's clock (`offsetSeconds` ahead of UTC then), whichever comes first:
// when the clock texts change.
long long nextMinuteStart(long long nowEpoch, int offsetSeconds);

// Count on the mailbox badge: "" for none, "1".."9", then "9+".
std::string mailboxBadge(int unread);

// One line of the search results list; the suffix keeps the lines apart.
std::string searchResultLabel(const GeoLocation& place, std::size_t index);

// What the search window says in place of its results: that a search runs,
// why the last one failed (`failure`), or that the service found no place;
// nothing before the first answer and while there are results to pick.
Line searchNote(bool searching, bool answered, const std::string& failure, bool hasResults);

// The coordinate entry of the search window: it can be added when in range
// and not the empty 0, 0; the range hint shows when it is out of range.
struct CoordinateEntry {
    bool valid = false;
    bool showHint = false;
};
CoordinateEntry checkCoordinateEntry(double latitude, double longitude);

// The place a coordinate entry adds: named by the label, or "Custom
// location" when it is empty.
GeoLocation coordinatePlace(const std::string& label, double latitude, double longitude);

// The active place as the edit window saves it (region, country and time
// zone kept). A name other than the place's title is marked as typed by the
// user; the title left as it was keeps the place's own name.
GeoLocation editedPlace(const GeoLocation& active, const std::string& name, double latitude, double longitude);

// Whether the edit window's Save takes effect.
bool canSaveEdit(const std::string& name, double latitude, double longitude);

}  // namespace nbr::panel
