// The US National Weather Service office's own forecast for tomorrow: a
// second opinion on the high, the low and the rain chance, for US places.
#include "service/WeatherService.h"

#include "service/ServiceHosts.h"
#include "service/SourceSupport.h"

#include <algorithm>

namespace nbr {

using nlohmann::json;
using source::member;
using source::secondsSince;

namespace {

constexpr double kNwsDayReuseSeconds = 1800;

// Period temperature in degrees Celsius; none when it is absent or not a
// number, or its unit is of another type. The forecast is asked for in the
// service's default US units, so a unit left out or null is Fahrenheit.
std::optional<double> periodCelsius(const json& period) {
    const std::optional<double> t = source::number(period, "temperature");
    if (!t) return std::nullopt;
    const double value = *t;
    const json* unitMember = member(period, "temperatureUnit");
    if (unitMember && !unitMember->is_null() && !unitMember->is_string()) return std::nullopt;
    const std::string u = unitMember && unitMember->is_string() ? unitMember->get<std::string>() : "F";
    return !u.empty() && u[0] == 'F' ? (value - 32) * 5 / 9 : value;
}

}  // namespace

void WeatherService::fetchNwsOpinion(const GeoLocation& loc, WeatherData& data) {
    if (!source::usPlace(loc) || data.daily.size() < 2) return;
    const std::string date = data.daily[1].date.substr(0, 10);
    const std::string key = loc.cacheKey();

    std::string url;
    {
        std::lock_guard<std::mutex> lock(nwsMutex);
        const auto hit = nwsCache.find(key);
        if (hit != nwsCache.end() && secondsSince(hit->second.stamp) < kNwsDayReuseSeconds &&
            hit->second.forecast.date == date) {
            data.nws = hit->second.forecast;
            return;
        }
        const auto known = nwsForecastUrls.find(key);
        if (known != nwsForecastUrls.end()) url = known->second;
    }

    if (url.empty()) {
        const std::string points = httpGet(serviceBase(service::Nws) + "/points/" + formatFixed(loc.latitude, 4) +
                                           "," + formatFixed(loc.longitude, 4));
        if (points.empty()) return;
        url = parseNwsForecastUrl(points);
        // The URL comes from the reply: it must lead back to the same service.
        if (url.empty() || !urlOnService(url, service::Nws)) return;
        std::lock_guard<std::mutex> lock(nwsMutex);
        nwsForecastUrls[key] = url;
    }

    const std::string body = httpGet(url);
    if (body.empty()) return;
    data.nws = parseNwsDaily(body, date);
    if (!data.nws.valid) return;
    std::lock_guard<std::mutex> lock(nwsMutex);
    nwsCache[key] = NwsCacheEntry{std::chrono::steady_clock::now(), data.nws};
}

std::string WeatherService::parseNwsForecastUrl(const std::string& body) {
    const json j = json::parse(body, nullptr, false);
    const json* props = source::object(j, "properties");
    return props ? source::textOr(*props, "forecast") : std::string();
}

ProviderForecast WeatherService::parseNwsDaily(const std::string& body, const std::string& date) {
    ProviderForecast result;
    const json j = json::parse(body, nullptr, false);
    const json* props = source::object(j, "properties");
    const json* periods = props ? member(*props, "periods") : nullptr;
    if (!periods || !periods->is_array()) return result;

    double rainChance = -1;
    bool daySeen = false, nightSeen = false;
    for (const json& period : *periods) {
        // A period of another shape is passed over.
        if (!period.is_object()) continue;
        const auto start = source::text(period, "startTime");
        if (!start || start->size() < 10 || start->compare(0, 10, date) != 0) continue;
        const json* daytime = member(period, "isDaytime");
        if (daytime && !daytime->is_boolean()) continue;
        // A period without a readable temperature still gives its rain chance.
        if (const json* pop = source::object(period, "probabilityOfPrecipitation"))
            if (const auto v = source::number(*pop, "value")) rainChance = std::max(rainChance, *v);
        const auto celsius = periodCelsius(period);
        if (!celsius) continue;
        if (daytime && daytime->get<bool>()) {
            result.temperatureMax = *celsius;
            daySeen = true;
        } else {
            result.temperatureMin = *celsius;
            nightSeen = true;
        }
    }
    if (daySeen && nightSeen) {
        result.valid = true;
        result.source = "nws";
        result.date = date;
        result.precipitationProbability = rainChance;
    }
    return result;
}

}  // namespace nbr
