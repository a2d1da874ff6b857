#include "foundation/LocationManager.h"

#include "service/WeatherService.h"

namespace nbr {

LocationManager::LocationManager(Config& config, WeatherService& service) : config(config), service(service) {}

const std::vector<SavedLocation>& LocationManager::locations() const { return config.locations; }

bool LocationManager::hasLocations() const { return !config.locations.empty(); }

const GeoLocation& LocationManager::activeLocation() const {
    return config.locations[static_cast<size_t>(config.activeLocationIndex)];
}

int LocationManager::activeIndex() const { return config.activeLocationIndex; }

void LocationManager::cycleNext() {
    const int count = static_cast<int>(config.locations.size());
    if (count > 1) config.setActiveLocationIndex((config.activeLocationIndex + 1) % count);
}

void LocationManager::cyclePrev() {
    const int count = static_cast<int>(config.locations.size());
    if (count > 1) config.setActiveLocationIndex((config.activeLocationIndex + count - 1) % count);
}

void LocationManager::setActive(int index) { config.setActiveLocationIndex(index); }

void LocationManager::addLocation(const GeoLocation& place) {
    SavedLocation saved;
    static_cast<GeoLocation&>(saved) = place;
    saved.isDefault = config.locations.empty();
    config.addLocation(saved);
}

void LocationManager::removeLocation(size_t index) { config.removeLocation(index); }

void LocationManager::updateActive(const GeoLocation& place) {
    config.updateLocation(static_cast<size_t>(config.activeLocationIndex), place);
}

std::vector<GeoLocation> LocationManager::search(const std::string& query) { return service.geocode(query); }

}  // namespace nbr
