// The ensemble's spread of daily rain: per day of the record, how many of the
// global ensemble's members cover it, how many of them are wet, and the 10th,
// 50th and 90th percentiles of their daily totals; plus the series "ens"
// (wet share as the rain chance, median member high and low) beside the
// model series.
#include "service/WeatherService.h"

#include "service/OpenMeteoReply.h"
#include "service/ServiceHosts.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string_view>

namespace nbr {

using nlohmann::json;

namespace {

constexpr size_t kMaxRequestDays = 7;
constexpr size_t kMinMembers = 5;
constexpr double kWetTotalMm = 1.0;
constexpr std::string_view kPrecipitationPrefix = "precipitation";
constexpr std::string_view kTemperaturePrefix = "temperature_2m";
constexpr char kEnsembleLabel[] = "ens";

// One member's days of one quantity; a day with an unknown hour is unknown.
using MemberDays = std::vector<std::optional<DayValues>>;

// The element of sorted, non-empty `v` at the nearest-rank position of p.
double percentile(const std::vector<double>& v, double p) {
    const size_t n = v.size();
    const size_t i = static_cast<size_t>(std::floor(p * static_cast<double>(n - 1) + 0.5));
    return v[std::min(i, n - 1)];
}

}  // namespace

void WeatherService::fetchEnsemble(const GeoLocation& loc, WeatherData& data) {
    if (data.daily.empty()) return;
    const std::string key = loc.cacheKey();
    std::string body;
    {
        std::lock_guard<std::mutex> lock(ensembleCacheMutex);
        auto it = ensembleCache.find(key);
        if (it != ensembleCache.end() && std::chrono::steady_clock::now() - it->second.stamp < kEnsembleMaxAge)
            body = it->second.body;
    }
    if (!body.empty()) {
        try {
            parseEnsemble(body, data);
        } catch (...) {
        }
        return;
    }

    const size_t days = std::min(data.daily.size(), kMaxRequestDays);
    const std::string url = serviceBase(service::Ensemble) + "/v1/ensemble?latitude=" +
                            formatFixed(loc.latitude, 6) + "&longitude=" + formatFixed(loc.longitude, 6) +
                            "&hourly=precipitation,temperature_2m&models=gfs_seamless&forecast_days=" +
                            std::to_string(days) + "&timezone=auto";
    body = httpGet(url);
    if (body.empty()) return;
    bool usable = false;
    try {
        usable = parseEnsemble(body, data);
    } catch (...) {
    }
    // Kept only when it could be read, so a broken reply is asked for again
    // next time instead of being reused for hours.
    if (!usable) return;
    std::lock_guard<std::mutex> lock(ensembleCacheMutex);
    EnsembleCacheEntry& entry = ensembleCache[key];
    entry.stamp = std::chrono::steady_clock::now();
    entry.body = std::move(body);
}

bool WeatherService::parseEnsemble(const std::string& body, WeatherData& data) {
    const size_t n = data.daily.size();
    json root;
    if (n == 0 || !readOpenMeteoRoot(body, root)) return false;
    const json* hourly = objectMember(root, "hourly");
    if (!hourly) return false;
    const auto time = hourly->find("time");
    if (time == hourly->end() || !time->is_array() || time->empty()) return false;
    const std::vector<HourOfDay> dayOf = dayOfEachTime(*time, data.daily);

    // Each quantity stands on its own members: a day without five known
    // rain totals may still have its highs and lows.
    std::vector<MemberDays> precipMembers, tempMembers;
    for (const auto& [key, values] : hourly->items()) {
        if (!values.is_array()) continue;
        const bool precip = std::string_view(key).starts_with(kPrecipitationPrefix);
        if (!precip && !std::string_view(key).starts_with(kTemperaturePrefix)) continue;
        (precip ? precipMembers : tempMembers).push_back(dayValues(values, dayOf, n));
    }
    if (precipMembers.size() < kMinMembers && tempMembers.size() < kMinMembers) return false;

    const double nan = std::numeric_limits<double>::quiet_NaN();
    ModelDailySeries ens;
    ens.model = kEnsembleLabel;
    ens.highs.assign(n, nan);
    ens.lows.assign(n, nan);
    ens.precipitationProbabilities.assign(n, nan);
    bool anyDay = false;
    std::vector<double> totals, maxima, minima;
    for (size_t d = 0; d < n; ++d) {
        totals.clear();
        // A total past the largest double is no total: that member does not count.
        for (const auto& member : precipMembers)
            if (member[d] && std::isfinite(member[d]->total)) totals.push_back(member[d]->total);
        if (totals.size() >= kMinMembers) {
            anyDay = true;
            std::sort(totals.begin(), totals.end());
            const auto wet =
                std::count_if(totals.begin(), totals.end(), [](double t) { return t >= kWetTotalMm; });
            DailyForecast& day = data.daily[d];
            day.ensembleMembers = static_cast<uint32_t>(totals.size());
            day.ensembleWetMembers = static_cast<int>(wet);
            day.ensembleP10 = percentile(totals, 0.1);
            day.ensembleP50 = percentile(totals, 0.5);
            day.ensembleP90 = percentile(totals, 0.9);
            ens.precipitationProbabilities[d] =
                static_cast<double>(wet) * 100.0 / static_cast<double>(totals.size());
        }

        maxima.clear();
        minima.clear();
        for (const auto& member : tempMembers) {
            if (!member[d]) continue;
            maxima.push_back(member[d]->high);
            minima.push_back(member[d]->low);
        }
        if (maxima.size() < kMinMembers) continue;
        anyDay = true;
        // For an even count the upper of the two middle values.
        const size_t mid = maxima.size() / 2;
        std::nth_element(maxima.begin(), maxima.begin() + static_cast<std::ptrdiff_t>(mid), maxima.end());
        std::nth_element(minima.begin(), minima.begin() + static_cast<std::ptrdiff_t>(mid), minima.end());
        ens.highs[d] = maxima[mid];
        ens.lows[d] = minima[mid];
    }
    if (!anyDay) return true;

    // Replaced in place when present, so a second reading never adds another.
    auto old = std::find_if(data.modelSeries.begin(), data.modelSeries.end(),
                            [](const ModelDailySeries& s) { return s.model == kEnsembleLabel; });
    if (old == data.modelSeries.end()) {
        data.modelSeries.push_back(std::move(ens));
    } else {
        old->highs = std::move(ens.highs);
        old->lows = std::move(ens.lows);
        old->precipitationProbabilities = std::move(ens.precipitationProbabilities);
    }
    return true;
}

}  // namespace nbr
