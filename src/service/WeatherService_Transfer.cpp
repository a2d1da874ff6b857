// TEMPORARY stand-in until the data service lands; replaced on merge.
#include "service/WeatherService.h"

namespace nbr {
namespace { std::string g_ca; }
std::string WeatherService::httpGet(const std::string&) { return {}; }
void WeatherService::setCaBundlePath(const std::string& p) { g_ca = p; }
const std::string& WeatherService::caBundlePath() { return g_ca; }
std::optional<WeatherData> WeatherService::fetchWeather(const GeoLocation&) { return std::nullopt; }
std::vector<GeoLocation> WeatherService::geocode(const std::string&) { return {}; }
}  // namespace nbr
