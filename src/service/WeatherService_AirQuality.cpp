// Air quality: the current pollution indices, pollutant concentrations and
// pollen counts at the place, from the air-quality service.
#include "service/WeatherService.h"

#include "service/ServiceHosts.h"

#include <nlohmann/json.hpp>

namespace nbr {

using nlohmann::json;

namespace {

constexpr char kVariables[] =
    "us_aqi,european_aqi,pm2_5,pm10,ozone,nitrogen_dioxide,sulphur_dioxide,carbon_monoxide,alder_pollen,"
    "birch_pollen,grass_pollen,mugwort_pollen,olive_pollen,ragweed_pollen";

}  // namespace

AirQuality WeatherService::parseAirQuality(const std::string& body) {
    AirQuality aq;
    const json root = json::parse(body);
    if (root.value("error", false)) return aq;  // a root that is not an object throws here
    const auto cur = root.find("current");
    if (cur == root.end()) return aq;
    if (!cur->is_object()) throw json::type_error::create(302, "current has the wrong type", &*cur);

    // A pollutant the service has no value of (null or absent) is not known;
    // one of another type makes the reply unusable.
    const auto pollutant = [&](const char* key) {
        const auto it = cur->find(key);
        if (it == cur->end() || it->is_null()) return -1.0;
        if (!it->is_number()) throw json::type_error::create(302, std::string(key) + " is not a number", &*it);
        return it->get<double>();
    };
    // Pollen is only measured in some regions: null or another type is "none".
    const auto pollen = [&](const char* key) {
        const auto it = cur->find(key);
        return it != cur->end() && it->is_number() ? it->get<double>() : -1.0;
    };
    aq.usAqi = pollutant("us_aqi");
    aq.europeanAqi = pollutant("european_aqi");
    aq.pm2_5 = pollutant("pm2_5");
    aq.pm10 = pollutant("pm10");
    aq.ozone = pollutant("ozone");
    aq.nitrogenDioxide = pollutant("nitrogen_dioxide");
    aq.sulphurDioxide = pollutant("sulphur_dioxide");
    aq.carbonMonoxide = pollutant("carbon_monoxide");
    aq.alderPollen = pollen("alder_pollen");
    aq.birchPollen = pollen("birch_pollen");
    aq.grassPollen = pollen("grass_pollen");
    aq.mugwortPollen = pollen("mugwort_pollen");
    aq.olivePollen = pollen("olive_pollen");
    aq.ragweedPollen = pollen("ragweed_pollen");
    aq.valid = aq.usAqi >= 0 || aq.europeanAqi >= 0;
    return aq;
}

void WeatherService::fetchAirQuality(const GeoLocation& loc, WeatherData& data) {
    const std::string body = httpGet(serviceBase(service::AirQuality) + "/v1/air-quality?latitude=" +
                                     formatFixed(loc.latitude, 6) + "&longitude=" + formatFixed(loc.longitude, 6) +
                                     "&current=" + kVariables + "&timezone=auto");
    if (body.empty()) return;
    try {
        data.airQuality = parseAirQuality(body);
    } catch (...) {
        // Unusable reply: the record keeps its block.
    }
}

}  // namespace nbr
