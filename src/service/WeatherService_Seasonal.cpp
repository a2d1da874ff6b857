// The seasonal outlook: for each of the next 92 days, the mean daily high of
// the seasonal model's members, kept for a day per place.
#include "service/WeatherService.h"

#include "service/OpenMeteoReply.h"
#include "service/ServiceHosts.h"

#include <algorithm>
#include <cmath>
#include <string_view>

namespace nbr {

using nlohmann::json;

namespace {

constexpr std::string_view kHighPrefix = "temperature_2m_max";

}  // namespace

void WeatherService::fetchSeasonal(const GeoLocation& loc, WeatherData& data) {
    const std::string key = loc.cacheKey();
    {
        std::lock_guard<std::mutex> lock(seasonalCacheMutex);
        auto it = seasonalCache.find(key);
        if (it != seasonalCache.end() && std::chrono::steady_clock::now() - it->second.stamp < kSeasonalMaxAge) {
            data.seasonalDates = it->second.dates;
            data.seasonalHighs = it->second.values;
            return;
        }
    }

    const std::string url = serviceBase(service::Seasonal) + "/v1/seasonal?latitude=" +
                            formatFixed(loc.latitude, 4) + "&longitude=" + formatFixed(loc.longitude, 4) +
                            "&daily=temperature_2m_max&forecast_days=92";
    const std::string body = httpGet(url);
    if (body.empty()) return;
    try {
        parseSeasonal(body, data.seasonalDates, data.seasonalHighs);
    } catch (...) {
        data.seasonalDates.clear();
        data.seasonalHighs.clear();
        return;
    }
    if (data.seasonalDates.empty()) return;

    std::lock_guard<std::mutex> lock(seasonalCacheMutex);
    SeasonalCacheEntry& entry = seasonalCache[key];
    entry.stamp = std::chrono::steady_clock::now();
    entry.dates = data.seasonalDates;
    entry.values = data.seasonalHighs;
}

void WeatherService::parseSeasonal(const std::string& body, std::vector<std::string>& dates,
                                   std::vector<double>& highs) {
    dates.clear();
    highs.clear();
    json root;
    if (!readOpenMeteoRoot(body, root)) return;
    auto block = root.find("daily");
    if (block == root.end()) block = root.find("six_hourly");
    if (block == root.end() || !block->is_object()) return;
    const auto time = block->find("time");
    if (time == block->end() || !time->is_array()) return;

    // A null date stays an empty text; any other element that is not a text
    // makes the list unreadable.
    std::vector<std::string> list;
    list.reserve(time->size());
    for (const json& t : *time) {
        if (t.is_string()) list.push_back(t.get<std::string>());
        else if (t.is_null()) list.emplace_back();
        else return;
    }
    const size_t n = list.size();
    if (n == 0) return;

    std::vector<double> sums(n, 0.0);
    std::vector<int> counts(n, 0);
    for (const auto& [key, values] : block->items()) {
        if (!std::string_view(key).starts_with(kHighPrefix) || !values.is_array()) continue;
        const size_t count = std::min(n, values.size());
        for (size_t i = 0; i < count; ++i) {
            const json& e = values[i];
            if (!e.is_number()) continue;
            sums[i] += e.get<double>();
            ++counts[i];
        }
    }

    // A sum past the largest double is no mean: the date has no value.
    highs.assign(n, 0.0);
    for (size_t i = 0; i < n; ++i) {
        const double mean = counts[i] == 0 ? 0.0 : sums[i] / counts[i];
        if (counts[i] == 0 || !std::isfinite(mean)) list[i].clear();
        else highs[i] = mean;
    }
    dates = std::move(list);
}

}  // namespace nbr
