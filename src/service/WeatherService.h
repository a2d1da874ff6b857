// TEMPORARY stand-in until the data service lands; replaced on merge.
#pragma once

#include "model/WeatherTypes.h"

#include <atomic>
#include <optional>
#include <string>
#include <vector>

namespace nbr {

class WeatherService {
public:
    std::string httpGet(const std::string& url);
    static void setCaBundlePath(const std::string& path);
    static const std::string& caBundlePath();
    std::optional<WeatherData> fetchWeather(const GeoLocation& loc);
    std::vector<GeoLocation> geocode(const std::string& query);
    std::atomic<bool> abortFlag{false};
    std::string negPath, starFactsPath, issTlePath;
};

}  // namespace nbr
