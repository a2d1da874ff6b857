// The second forecast service (MET Norway Locationforecast): tomorrow's high
// and low at the place, from its hourly series read on the place's local day.
#include "service/WeatherService.h"

#include "foundation/PlaceTime.h"
#include "model/Dates.h"
#include "service/ServiceHosts.h"
#include "service/SourceSupport.h"

#include <algorithm>
#include <cstdio>

namespace nbr {

using nlohmann::json;
using source::member;
using source::object;

namespace {

constexpr double kMetNoReuseSeconds = 1800;
// Fewer samples than this on the day miss part of it.
constexpr int kMinSamples = 18;
constexpr char kSourceLabel[] = "metnorway";

}  // namespace

void WeatherService::fetchMetNorway(const GeoLocation& loc, WeatherData& data) {
    if (data.daily.size() < 2 || data.daily[1].date.size() < 10) return;
    const std::string& tomorrow = data.daily[1].date;
    const std::string target = tomorrow.substr(0, 10);
    const std::string key = loc.cacheKey();
    {
        std::lock_guard<std::mutex> lock(metNoCacheMutex);
        const auto hit = metNoCache.find(key);
        if (hit != metNoCache.end() && source::secondsSince(hit->second.stamp) < kMetNoReuseSeconds &&
            hit->second.forecast.date == target) {
            data.metNorway = hit->second.forecast;
            return;
        }
    }

    const std::string body = httpGet(serviceBase(service::MetNo) + "/weatherapi/locationforecast/2.0/compact?lat=" +
                                     formatFixed(loc.latitude, 4) + "&lon=" + formatFixed(loc.longitude, 4));
    if (body.empty()) return;
    data.metNorway = parseMetNorway(body, tomorrow, placeClock(data));
    if (!data.metNorway.valid) return;
    std::lock_guard<std::mutex> lock(metNoCacheMutex);
    metNoCache[key] = MetNoCacheEntry{std::chrono::steady_clock::now(), data.metNorway};
}

ProviderForecast WeatherService::parseMetNorway(const std::string& body, const std::string& date,
                                                const PlaceClock& clock) {
    ProviderForecast result;
    if (date.size() < 10) return result;
    const json j = json::parse(body, nullptr, false);
    const json* props = object(j, "properties");
    const json* series = props ? member(*props, "timeseries") : nullptr;
    if (!series || !series->is_array()) return result;

    const std::string target = date.substr(0, 10);
    int n = 0;
    double low = 1e9, high = -1e9;
    for (const json& step : *series) {
        if (!step.is_object()) continue;
        const auto time = source::text(step, "time");
        if (!time) continue;
        int y = 0, mo = 0, d = 0, h = 0, mi = 0;
        if (std::sscanf(time->c_str(), "%d-%d-%dT%d:%d", &y, &mo, &d, &h, &mi) != 5) continue;
        // Clock fields this far out are no time of day; they would also
        // overflow the minute count.
        if (h < 0 || h > 48 || mi < 0 || mi > 120) continue;
        int64_t at = 0;
        if (!utcSecondsOf(y, mo, d, h, mi, 0, at) || clock.dateOf(at) != target) continue;

        const json* instant = object(step, "data") ? object(step["data"], "instant") : nullptr;
        const json* details = instant ? object(*instant, "details") : nullptr;
        const auto v = details ? source::number(*details, "air_temperature") : std::nullopt;
        if (!v) continue;
        ++n;
        low = std::min(low, *v);
        high = std::max(high, *v);
    }
    if (n >= kMinSamples) {
        result.valid = true;
        result.source = kSourceLabel;
        result.date = target;
        result.temperatureMax = high;
        result.temperatureMin = low;
    }
    return result;
}

}  // namespace nbr
