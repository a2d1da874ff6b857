// TEMPORARY stand-in until the saved-place facade lands; replaced on merge.
#pragma once

#include "foundation/Config.h"
#include "service/WeatherService.h"

namespace nbr {

class LocationManager {
public:
    LocationManager(Config& c, WeatherService& s) : config_(c), service_(s) {}
    const std::vector<SavedLocation>& locations() const { return config_.locations; }
    bool hasLocations() const { return !config_.locations.empty(); }
    const SavedLocation& activeLocation() const { return config_.locations[config_.activeLocationIndex]; }
    int activeIndex() const { return config_.activeLocationIndex; }
    void setActive(int i) { if (i >= 0 && i < (int)config_.locations.size()) { config_.activeLocationIndex = i; config_.save(); } }
    void addLocation(const GeoLocation& g) { SavedLocation s; static_cast<GeoLocation&>(s) = g; s.isDefault = config_.locations.empty(); config_.locations.push_back(s); config_.save(); }
    void removeLocation(int i) { if (i >= 0 && i < (int)config_.locations.size()) { config_.locations.erase(config_.locations.begin() + i); if (config_.activeLocationIndex >= (int)config_.locations.size()) config_.activeLocationIndex = config_.locations.empty() ? 0 : (int)config_.locations.size() - 1; config_.save(); } }
    void updateActive(const GeoLocation& g) { auto& a = config_.locations[config_.activeLocationIndex]; bool d = a.isDefault; static_cast<GeoLocation&>(a) = g; a.isDefault = d; config_.save(); }

private:
    Config& config_;
    [[maybe_unused]] WeatherService& service_;
};

}  // namespace nbr
