// The saved places as the rest of the program sees them: a thin facade over
// the settings' place list and active index, plus place search. First thread
// only, like the settings object it refers to.
#pragma once

#include "foundation/Config.h"
#include "model/WeatherTypes.h"

#include <string>
#include <vector>

namespace nbr {

class WeatherService;

class LocationManager {
public:
    LocationManager(Config& config, WeatherService& service);

    const std::vector<SavedLocation>& locations() const;
    bool hasLocations() const;
    // The active place; only while hasLocations() is true.
    const GeoLocation& activeLocation() const;
    int activeIndex() const;

    // With more than one place, step the active place forward or back,
    // wrapping around; otherwise nothing.
    void cycleNext();
    void cyclePrev();
    void setActive(int index);

    // Saves the place at the end of the list (isDefault when the list was
    // empty). The active index does not move, except to 0 for a first place.
    void addLocation(const GeoLocation& place);
    void removeLocation(size_t index);
    // Replaces the active place's fields; nothing for an empty list.
    void updateActive(const GeoLocation& place);

    // Blocking place search on the calling thread.
    std::vector<GeoLocation> search(const std::string& query);

private:
    Config& config;
    WeatherService& service;
};

}  // namespace nbr
